#include "gui/edit_window_dialog.h"

#include "app/registry.h"
#include "app/window_commands.h"
#include "calendar/calendar_commands.h"
#include "gui/route_drawing.h"
#include "gui/text.h"
#include "gui/timetable_view.h"
#include "views/window_support.h"
#include "views/windows.h"
#include "workspace/workspace.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace tramela::gui {

namespace {

// The header band and the status caption: white on dark blue.
constexpr auto kBandStyle = "background-color: rgb(0, 0, 192); color: white; font: bold;";

QFont listFont() {
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    return font;
}

// The captions of the buttons where the window has its own words for them.
QString buttonCaption(int menuId, const views::MenuEntry& item) {
    using views::Operation;
    if (menuId == 5110) {
        switch (item.operation) {
        case Operation::Insert:
            return QStringLiteral("Nuova Cadenza");
        case Operation::Modify:
            return QStringLiteral("Modifica Cadenza");
        case Operation::Delete:
            return QStringLiteral("Elimina Cadenza");
        default:
            break;
        }
    } else if (menuId == 5111) {
        if (item.operation == Operation::Insert) {
            return QStringLiteral("Nuova Voce");
        }
        if (item.operation == Operation::Delete) {
            return QStringLiteral("Elimina Voce");
        }
    } else if (menuId == 5156 && item.operation == Operation::Insert) {
        return QStringLiteral("Nuova Linea");
    }
    return toQString(item.label);
}

} // namespace

WindowListModel::WindowListModel(views::EditWindow& window, QObject* parent)
    : QAbstractTableModel(parent)
    , m_window(window) {}

int WindowListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_window.entries().size());
}

int WindowListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_window.source().headers().size());
}

QVariant WindowListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= m_window.entries().size()) {
        return {};
    }
    const views::ListEntry& entry = m_window.entries()[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return static_cast<size_t>(index.column()) < entry.columns.size()
                   ? toQString(entry.columns[static_cast<size_t>(index.column())])
                   : QString();
    case Qt::FontRole: {
        QFont font = listFont();
        font.setStrikeOut(entry.deleted);
        return font;
    }
    case Qt::ForegroundRole:
        return entry.deleted ? QVariant(QColor(Qt::gray)) : QVariant();
    default:
        return {};
    }
}

QVariant WindowListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const auto headers = m_window.source().headers();
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole &&
        static_cast<size_t>(section) < headers.size()) {
        return toQString(headers[static_cast<size_t>(section)]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void WindowListModel::changed() {
    beginResetModel();
    endResetModel();
}

EditWindowDialog::EditWindowDialog(workspace::Workspace& core,
                                   int menuId,
                                   std::unique_ptr<views::WindowSource> source,
                                   QWidget* parent,
                                   views::EditWindow* owner)
    : QDialog(parent)
    , m_core(core)
    , m_menuId(menuId) {
    setModal(true);
    setWindowTitle(toQString(source->title()));
    m_window = std::make_unique<views::EditWindow>(*core.connection(), std::move(source), owner);
    m_opened = m_window->open();

    auto* layout = new QVBoxLayout(this);
    m_caption = new QLabel(windowTitle(), this);
    m_caption->setStyleSheet(QString::fromLatin1(kBandStyle));
    m_caption->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(m_caption);

    m_model = new WindowListModel(*m_window, this);
    m_list = new QTableView(this);
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { %1 }").arg(QString::fromLatin1(kBandStyle)));
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setFont(listFont());
    m_list->verticalHeader()->setDefaultSectionSize(QFontMetrics(listFont()).height() + 4);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_split = new QSplitter(this);
    m_split->addWidget(m_list);
    layout->addWidget(m_split, 1);
    connect(m_list->selectionModel(),
            &QItemSelectionModel::currentRowChanged,
            this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    m_window->select(static_cast<size_t>(current.row()));
                    if (onSelected) {
                        onSelected();
                    }
                }
            });
    // Enter and a double click on a row modify it.
    connect(m_list, &QTableView::activated, this, [this] { run(views::Operation::Modify); });
    connect(m_list, &QTableView::doubleClicked, this, [this] { run(views::Operation::Modify); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (m_window->mode() != views::Mode::Browsing) {
            return; // while editing the list takes no context menu
        }
        const QModelIndex index = m_list->indexAt(at);
        if (index.isValid()) {
            m_list->selectRow(index.row());
        }
        contextMenu()->exec(m_list->viewport()->mapToGlobal(at));
    });

    // The detail panel.
    m_detail = new QWidget(this);
    auto* form = new QFormLayout(m_detail);
    for (const ui::FormField& field : m_window->fields()) {
        QWidget* editor = nullptr;
        if (field.kind == ui::FieldKind::Choice) {
            auto* box = new QComboBox(m_detail);
            box->setEditable(true);
            for (const std::string& entry : field.entries) {
                box->addItem(toQString(entry));
            }
            box->setCurrentIndex(-1);
            editor = box;
        } else if (field.kind == ui::FieldKind::Check) {
            editor = new QCheckBox(toQString(field.caption), m_detail);
        } else {
            auto* line = new QLineEdit(m_detail);
            if (field.maxLength > 0) {
                line->setMaxLength(field.maxLength);
            }
            editor = line;
        }
        editor->setObjectName(toQString(field.id));
        form->addRow(field.kind == ui::FieldKind::Check ? QString() : toQString(field.caption),
                     editor);
        m_fields.emplace_back(field.id, editor);
    }
    layout->addWidget(m_detail);

    // The command buttons: the menu's operations, then those of the detail panel.
    auto* buttons = new QHBoxLayout;
    const auto addButton = [&](const QString& caption, auto slot) {
        auto* button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
        QString plain = caption;
        m_buttons.emplace_back(toUtf8(plain.remove(QLatin1Char('&'))), button);
    };
    for (const views::MenuEntry& item : m_window->source().menu()) {
        if (item.operation == views::Operation::Separator ||
            item.operation == views::Operation::Order || !item.built) {
            continue;
        }
        addButton(buttonCaption(m_menuId, item),
                  [this, item] { run(item.operation, item.order, item.special); });
    }
    if (m_menuId == 5111) {
        addButton(QStringLiteral("Note"), [this] {
            ui::Outcome outcome = calendar::AnnotateDay(m_core);
            if (outcome == ui::Outcome::Done) {
                m_window->reload();
                sync();
            }
        });
        addButton(QStringLiteral("Generazione"), [this] {
            if (calendar::FillCalendar(m_core) == ui::Outcome::Done) {
                m_window->reload();
                sync();
            }
        });
    }
    addButton(QStringLiteral("Conferma"), [this] { confirm(); });
    addButton(QStringLiteral("Annulla"), [this] { cancelEditing(); });
    addButton(QStringLiteral("Fine"), [this] { finish(); });
    layout->addLayout(buttons);
    resize(900, 600);
    sync();
}

EditWindowDialog::~EditWindowDialog() = default;

void EditWindowDialog::addBeside(QWidget* widget) {
    m_split->addWidget(widget);
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 1);
    m_split->setSizes({600, 600}); // half each
}

QWidget* EditWindowDialog::field(std::string_view id) const {
    for (const auto& [name, editor] : m_fields) {
        if (name == id) {
            return editor;
        }
    }
    return nullptr;
}

QPushButton* EditWindowDialog::button(std::string_view name) const {
    for (const auto& [caption, button] : m_buttons) {
        if (caption == name) {
            return button;
        }
    }
    return nullptr;
}

std::unique_ptr<QMenu> EditWindowDialog::contextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    QMenu* submenu = nullptr;
    std::string submenuName;
    for (const views::MenuEntry& item : m_window->contextMenu()) {
        QMenu* target = menu.get();
        if (!item.submenu.empty()) {
            if (submenu == nullptr || submenuName != item.submenu) {
                submenu = menu->addMenu(toQString(item.submenu));
                submenuName = item.submenu;
            }
            target = submenu;
        }
        if (item.operation == views::Operation::Separator) {
            target->addSeparator();
            continue;
        }
        QAction* action = target->addAction(toQString(item.label));
        action->setEnabled(item.enabled);
        connect(action, &QAction::triggered, this, [this, item] {
            run(item.operation, item.order, item.special);
        });
    }
    return menu;
}

void EditWindowDialog::run(views::Operation operation, int order, const std::string& special) {
    using views::Operation;
    switch (operation) {
    case Operation::Insert:
        if (m_window->beginNew()) {
            showValues(m_window->values());
        }
        break;
    case Operation::Modify:
        if (m_window->beginModify()) {
            showValues(m_window->values());
        }
        break;
    case Operation::Delete:
        m_window->deleteSelected();
        break;
    case Operation::Refresh:
        m_window->refresh();
        break;
    case Operation::Restore:
        m_window->restore();
        break;
    case Operation::Order:
        m_window->setOrder(order);
        break;
    case Operation::Special:
        if (special == views::kComposition) {
            if (auto composition = makeCompositionWindow(m_core, *m_window, this)) {
                composition->exec();
            }
            break;
        }
        if (special == views::kTimetable) {
            openTimetable();
            break;
        }
        m_window->special(special);
        break;
    case Operation::Action:
        if (special == views::kFindTrip) {
            bool ok = false;
            const int trip = QInputDialog::getInt(this,
                                                  QStringLiteral("Ricerca Corsa per ID"),
                                                  QStringLiteral("ID Corsa"),
                                                  1,
                                                  0,
                                                  2147483647,
                                                  1,
                                                  &ok);
            if (ok) {
                views::selectRouteOfTrip(*m_window, trip);
            }
        } else {
            m_window->special(special);
        }
        break;
    case Operation::Separator:
        break;
    }
    sync();
}

// The timetable of the selected route, in this window's transaction; the routes are listed
// again when it closes.
void EditWindowDialog::openTimetable() {
    const views::ListEntry* entry = m_window->selectedEntry();
    if (entry == nullptr || entry->deleted) {
        return;
    }
    const auto route = views::support::wholeNumber(entry->keys[0]);
    if (!route) {
        return;
    }
    TimetableView timetable(m_core, *route, m_window.get(), this);
    if (timetable.opened()) {
        timetable.exec();
    }
    m_window->reload();
}

void EditWindowDialog::confirm() {
    if (m_window->confirm(typedValues())) {
        showValues({});
    }
    sync();
}

void EditWindowDialog::cancelEditing() {
    m_window->cancel();
    showValues({});
    sync();
}

void EditWindowDialog::finish() {
    if (m_window->mode() != views::Mode::Browsing) {
        return; // "Fine" belongs to browsing: the record being typed is confirmed or cancelled
    }
    m_window->close();
    accept();
}

void EditWindowDialog::reject() {
    // Esc cancels the record being typed; the window itself closes only with "Fine".
    if (m_window->mode() != views::Mode::Browsing) {
        cancelEditing();
    }
}

void EditWindowDialog::closeEvent(QCloseEvent* event) {
    if (!m_window->isOpen()) {
        event->accept(); // already closed with "Fine"
    } else if (m_window->mode() != views::Mode::Browsing) {
        event->ignore();
    } else {
        m_window->close();
        event->accept();
        QDialog::done(QDialog::Accepted);
    }
}

void EditWindowDialog::keyPressEvent(QKeyEvent* event) {
    if (m_window->mode() == views::Mode::Browsing && m_list->hasFocus()) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            run(views::Operation::Modify);
            return;
        }
        if (event->key() == Qt::Key_Delete) {
            run(views::Operation::Delete);
            return;
        }
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_window->mode() != views::Mode::Browsing) {
            confirm();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void EditWindowDialog::showValues(const ui::FormValues& values) {
    for (const auto& [id, editor] : m_fields) {
        const QString value = toQString(views::fieldValue(values, id));
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->setText(value);
        } else if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const int at = box->findText(value);
            box->setCurrentIndex(at);
            if (at < 0) {
                box->setEditText(value);
            }
        } else if (auto* check = qobject_cast<QCheckBox*>(editor)) {
            check->setChecked(value == QLatin1String("1"));
        }
    }
}

ui::FormValues EditWindowDialog::typedValues() const {
    ui::FormValues values;
    for (const auto& [id, editor] : m_fields) {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            values[id] = toUtf8(line->text());
        } else if (auto* box = qobject_cast<QComboBox*>(editor)) {
            values[id] = toUtf8(box->currentText());
        } else if (auto* check = qobject_cast<QCheckBox*>(editor)) {
            values[id] = std::string(1, check->isChecked() ? '1' : '0');
        }
    }
    return values;
}

void EditWindowDialog::sync() {
    const bool browsing = m_window->mode() == views::Mode::Browsing;
    m_model->changed();
    m_list->resizeColumnsToContents();
    m_list->horizontalHeader()->setStretchLastSection(true);
    if (const auto selected = m_window->selected()) {
        m_list->selectRow(static_cast<int>(*selected));
    }
    m_list->setEnabled(browsing);
    m_detail->setEnabled(!browsing);
    const auto menu = m_window->contextMenu();
    for (const auto& [name, button] : m_buttons) {
        bool enabled = browsing;
        for (const views::MenuEntry& item : menu) {
            QString plain = buttonCaption(m_menuId, item);
            if (toUtf8(plain.remove(QLatin1Char('&'))) == name) {
                enabled = item.enabled;
            }
        }
        if (name == "Conferma" || name == "Annulla") {
            enabled = !browsing;
        }
        button->setEnabled(enabled);
    }
    m_caption->setText(
        QStringLiteral("%1 - %2 voci").arg(windowTitle()).arg(m_window->entries().size()));
    if (onSynced) {
        onSynced();
    }
}

std::unique_ptr<EditWindowDialog>
makeEditWindow(workspace::Workspace& core, int menuId, QWidget* parent) {
    std::unique_ptr<views::WindowSource> source;
    switch (menuId) {
    case 5110:
        source = views::cadenceWindow();
        break;
    case 5111:
        source = views::calendarWindow();
        break;
    case 5119:
        source = views::routeWindow();
        break;
    case 5156:
        source = views::standardLineWindow();
        break;
    case 5157:
        source = views::lineLinkWindow();
        break;
    default:
        return nullptr;
    }
    if (core.connection() == nullptr) {
        return nullptr;
    }
    return std::make_unique<EditWindowDialog>(core, menuId, std::move(source), parent);
}

void installWindowOpener(QWidget* parent) {
    app::setWindowOpener([parent](workspace::Workspace& core, int menuId) {
        auto window = makeEditWindow(core, menuId, parent);
        if (!window || !window->opened()) {
            return ui::Outcome::Failed;
        }
        window->exec();
        return ui::Outcome::Done;
    });
}

} // namespace tramela::gui
