#include "gui/wait_window.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tramela::gui {

namespace {

constexpr int kTickMilliseconds = 1000;

} // namespace

WaitWindow::WaitWindow(QWidget* parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_elapsed(new QLabel(this)) {
    setFrameStyle(QFrame::Box | QFrame::Raised);
    setLineWidth(2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    auto* what = new QLabel(QStringLiteral("Elaborazione in corso, attendere prego..."), this);
    what->setAlignment(Qt::AlignCenter);
    m_elapsed->setAlignment(Qt::AlignCenter);
    layout->addWidget(what);
    layout->addWidget(m_elapsed);
    m_ticker.setInterval(kTickMilliseconds);
    QObject::connect(&m_ticker, &QTimer::timeout, this, [this] { refresh(); });
}

void WaitWindow::start() {
    if (m_running) {
        return;
    }
    m_running = true;
    m_clock.start();
    m_elapsed->setText(elapsedText());
    adjustSize();
    if (QWidget* owner = parentWidget()) {
        const QRect area = owner->frameGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    m_ticker.start();
}

void WaitWindow::stop() {
    if (!m_running) {
        return;
    }
    m_running = false;
    m_ticker.stop();
    hide();
}

QString WaitWindow::elapsedText() const {
    const qint64 seconds = m_running ? m_clock.elapsed() / 1000 : 0;
    return QStringLiteral("Tempo trascorso: %1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void WaitWindow::refresh() {
    m_elapsed->setText(elapsedText());
    m_elapsed->repaint();
}

} // namespace tramela::gui
