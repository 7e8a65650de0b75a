#include "gui/work_area.h"

#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <algorithm>

namespace tramela::gui {

namespace {

// The band ends this far above the bottom edge, leaving the bar's 20 pixels and one more free.
constexpr int kBandBottomGap = 21;
// Room above and below the text inside the band.
constexpr int kBandPadding = 5;

} // namespace

WorkArea::WorkArea(QWidget* parent)
    : QWidget(parent)
    , m_bar(new QProgressBar(this)) {
    setAutoFillBackground(true);
    m_bar->setRange(0, 100);
    m_bar->setTextVisible(false);
    m_bar->hide();
}

void WorkArea::setCaption(const QString& text) {
    m_caption = text;
    repaint();
}

void WorkArea::clearCaption() {
    if (!m_caption.isEmpty()) {
        m_caption.clear();
        update();
    }
}

QRect WorkArea::bandRect() const {
    const int textHeight = fontMetrics().height();
    const int bottom = height() - kBandBottomGap;
    const int top = bottom - textHeight - 2 * kBandPadding;
    return QRect(0, top, width(), bottom - top);
}

void WorkArea::setProgress(int percent) {
    if (percent < 0) {
        m_bar->hide();
        return;
    }
    m_bar->setValue(std::min(percent, 100));
    if (!m_bar->isVisible()) {
        m_bar->show();
    }
}

void WorkArea::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (m_caption.isEmpty()) {
        return;
    }
    QPainter painter(this);
    const QRect band = bandRect();
    painter.fillRect(band, kBandColour);
    // Centred when it fits; a text wider than the area starts at its left edge.
    const int textWidth = fontMetrics().horizontalAdvance(m_caption);
    const int x = textWidth < width() ? (width() - textWidth) / 2 : 0;
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(QPoint(x, band.top() + kBandPadding + fontMetrics().ascent()), m_caption);
}

void WorkArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_bar->setGeometry(0, height() - kBarHeight, width(), kBarHeight);
}

} // namespace tramela::gui
