#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QProgressBar;

namespace tramela::gui {

// The client area of the main window: it carries the two facilities of long commands, the
// progress caption painted in a band at the foot of the area and the progress bar across its
// bottom edge.
class WorkArea : public QWidget {
public:
    static inline const QColor kBandColour{0, 0, 192};
    static constexpr int kBarHeight = 20;

    explicit WorkArea(QWidget* parent = nullptr);

    // Shows the phase of a long command; the area is repainted at once, so the text is on the
    // screen before the command goes on.
    void setCaption(const QString& text);
    void clearCaption();

    const QString& caption() const { return m_caption; }

    // The band the caption is painted in: the full width, from 21 + h + 10 to 21 pixels above
    // the bottom edge, h being the height of a line of the area's font.
    QRect bandRect() const;

    // 0..100 shows the bar at that position; a negative value hides it.
    void setProgress(int percent);

    QProgressBar* progressBar() const { return m_bar; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString m_caption;
    QProgressBar* m_bar;
};

} // namespace tramela::gui
