#include "gui/timetable_view.h"

#include "gui/edit_window_dialog.h"
#include "gui/text.h"
#include "network/timetable_entry.h"
#include "views/windows.h"
#include "workspace/workspace.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tramela::gui {

namespace {

constexpr auto kBandStyle = "background-color: rgb(0, 0, 192); color: white; font: bold;";

} // namespace

TimetableView::TimetableView(workspace::Workspace& core,
                             std::int32_t route,
                             views::EditWindow* owner,
                             QWidget* parent)
    : QDialog(parent)
    , m_core(core)
    , m_model(std::make_unique<views::TimetableWindow>(*core.connection(), route, owner)) {
    setModal(true);
    setWindowTitle(toQString(m_model->title()));
    m_opened = m_model->open();

    auto* layout = new QVBoxLayout(this);
    m_caption = new QLabel(this);
    m_caption->setStyleSheet(QString::fromLatin1(kBandStyle));
    m_caption->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(m_caption);

    m_grid = new QTableWidget(this);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grid->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { %1 }").arg(QString::fromLatin1(kBandStyle)));
    layout->addWidget(m_grid, 1);
    connect(m_grid, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (row >= 0 && column >= 0) {
            m_model->selectTrip(static_cast<size_t>(column));
            m_model->selectStop(static_cast<size_t>(row));
        }
    });
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = m_grid->indexAt(at);
        if (index.isValid()) {
            selectCell(index.row(), index.column());
        }
        contextMenu()->exec(m_grid->viewport()->mapToGlobal(at));
    });

    auto* buttons = new QHBoxLayout;
    auto* finish = new QPushButton(QStringLiteral("Fine"), this);
    finish->setAutoDefault(false);
    connect(finish, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addStretch(1);
    buttons->addWidget(finish);
    layout->addLayout(buttons);
    resize(1000, 600);
    sync();
}

TimetableView::~TimetableView() {
    m_model->close();
}

void TimetableView::selectCell(int stop, int trip) {
    m_grid->setCurrentCell(stop, trip);
    m_model->selectTrip(static_cast<size_t>(trip));
    m_model->selectStop(static_cast<size_t>(stop));
}

std::unique_ptr<QMenu> TimetableView::contextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    for (const views::MenuEntry& item : m_model->contextMenu()) {
        if (item.operation == views::Operation::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(toQString(item.label));
        action->setEnabled(item.enabled);
        connect(action, &QAction::triggered, this, [this, item] { run(item); });
    }
    return menu;
}

void TimetableView::run(const views::MenuEntry& item) {
    using views::Operation;
    switch (item.operation) {
    case Operation::Delete:
        m_model->deleteTrip();
        break;
    case Operation::Refresh:
        m_model->refresh();
        break;
    case Operation::Restore:
        m_model->restore();
        break;
    case Operation::Special:
    case Operation::Action:
        if (item.special == views::timetable::kPeriods) {
            const auto trip = m_model->selectedTrip();
            if (trip) {
                // The periods window works inside this window's transaction: its "Fine" keeps
                // its changes there, and "Ripristina" here takes them back.
                EditWindowDialog periods(
                    m_core, 0, views::periodWindow(m_model->columns()[*trip].trip), this);
                periods.exec();
                m_model->window().reload();
            }
        } else {
            m_model->run(item.special);
        }
        break;
    default:
        break;
    }
    sync();
}

void TimetableView::sync() {
    const auto& stops = m_model->stops();
    const auto& columns = m_model->columns();
    const auto& entries = m_model->window().entries();
    const QSignalBlocker quiet(m_grid);
    m_grid->clear();
    m_grid->setRowCount(static_cast<int>(stops.size()));
    m_grid->setColumnCount(static_cast<int>(columns.size()));
    QStringList rows;
    for (const views::TimetableStop& stop : stops) {
        rows << QStringLiteral("%1  %2").arg(toQString(stop.code), toQString(stop.name));
    }
    m_grid->setVerticalHeaderLabels(rows);
    QStringList heads;
    for (const views::TimetableColumn& column : columns) {
        heads << QStringLiteral("%1\n%2\n%3")
                     .arg(column.trip)
                     .arg(toQString(column.code))
                     .arg(
                         toQString(network::formatClockTime(network::minutesOfHhmm(column.start))));
    }
    m_grid->setHorizontalHeaderLabels(heads);
    for (size_t c = 0; c < columns.size(); ++c) {
        const bool deleted = c < entries.size() && entries[c].deleted;
        for (size_t k = 0; k < columns[c].cells.size(); ++k) {
            const views::TimetableCell& cell = columns[c].cells[k];
            auto* item = new QTableWidgetItem(toQString(cell.text));
            QFont font(QStringLiteral("Arial"));
            font.setBold(cell.fixed);
            font.setItalic(cell.passing);
            font.setStrikeOut(deleted);
            item->setFont(font);
            if (deleted || cell.passing) {
                item->setForeground(QColor(Qt::gray));
            }
            m_grid->setItem(static_cast<int>(k), static_cast<int>(c), item);
        }
    }
    const auto trip = m_model->selectedTrip();
    const auto stop = m_model->selectedStop();
    if (trip && stop) {
        m_grid->setCurrentCell(static_cast<int>(*stop), static_cast<int>(*trip));
    }
    QString caption = windowTitle();
    if (!m_model->validOn().empty()) {
        caption += QStringLiteral(" - corse valide il %1").arg(toQString(m_model->validOn()));
    }
    m_caption->setText(caption);
}

} // namespace tramela::gui
