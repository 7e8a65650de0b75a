#include "gui/register_window.h"

#include "gui/text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tramela::gui {

namespace {

Qt::Alignment alignment(reports::Align align) {
    switch (align) {
    case reports::Align::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case reports::Align::Center:
        return Qt::AlignCenter;
    case reports::Align::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// The grounds of the printed page, on the screen too.
QColor ground(reports::Shading shading) {
    switch (shading) {
    case reports::Shading::LightGrey:
        return QColor(192, 192, 192);
    case reports::Shading::Grey:
        return QColor(128, 128, 128);
    case reports::Shading::White:
        break;
    }
    return QColor();
}

} // namespace

RegisterWindow::RegisterWindow(const reports::ReportDocument& document,
                               std::function<void()> preview,
                               std::function<void()> print,
                               QWidget* parent)
    : QDialog(parent)
    , m_caption(new QLabel(this))
    , m_list(new QTableWidget(this)) {
    setWindowTitle(toQString(document.title));
    QStringList lines;
    for (const std::string& line : document.subheading) {
        lines << toQString(line);
    }
    m_caption->setText(lines.join('\n'));

    m_list->setColumnCount(static_cast<int>(document.columns.size()));
    m_list->setRowCount(static_cast<int>(document.rows.size()));
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->verticalHeader()->hide();
    QStringList captions;
    for (const reports::Column& column : document.columns) {
        captions << toQString(column.caption);
    }
    m_list->setHorizontalHeaderLabels(captions);
    for (std::size_t r = 0; r < document.rows.size(); ++r) {
        const reports::Row& row = document.rows[r];
        // A row across the whole width (a group's title): its one cell over every column.
        const std::size_t cells = row.spans ? 1 : document.columns.size();
        if (row.spans && document.columns.size() > 1) {
            m_list->setSpan(static_cast<int>(r), 0, 1, static_cast<int>(document.columns.size()));
        }
        for (std::size_t c = 0; c < cells; ++c) {
            // The window shows the cells as they are, without the units of the printed page.
            auto* item = new QTableWidgetItem(c < row.cells.size() ? toQString(row.cells[c]) : "");
            item->setTextAlignment(row.spans ? Qt::AlignLeft | Qt::AlignVCenter
                                             : alignment(document.columns[c].align));
            if (const QColor colour = ground(row.shading); colour.isValid()) {
                item->setBackground(colour);
            }
            if (row.total || row.spans) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            m_list->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    m_list->resizeColumnsToContents();
    m_list->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* previewButton =
        buttons->addButton(QStringLiteral("Anteprima di stampa"), QDialogButtonBox::ActionRole);
    QPushButton* printButton =
        buttons->addButton(QStringLiteral("Stampa"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole);
    connect(previewButton, &QPushButton::clicked, this, std::move(preview));
    connect(printButton, &QPushButton::clicked, this, std::move(print));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_caption);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    resize(900, 560);
}

} // namespace tramela::gui
