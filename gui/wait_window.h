#pragma once

#include <QElapsedTimer>
#include <QFrame>
#include <QTimer>

class QLabel;

namespace tramela::gui {

// The small window shown while a long command works: what is happening and for how long. It is
// repainted once a second whenever the command lets the event loop run, which long commands do
// at each step of their progress.
class WaitWindow : public QFrame {
public:
    explicit WaitWindow(QWidget* parent = nullptr);

    // Notes the start time and shows the window over its parent; nothing when already running.
    void start();
    void stop();

    bool running() const { return m_running; }

    // "Tempo trascorso: 01:05", minutes and seconds since start().
    QString elapsedText() const;

private:
    void refresh();

    QLabel* m_elapsed;
    QElapsedTimer m_clock;
    QTimer m_ticker;
    bool m_running = false;
};

} // namespace tramela::gui
