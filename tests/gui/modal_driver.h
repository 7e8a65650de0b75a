#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tramela::test {

// Plays the user in front of the modal windows a command opens: each one that appears is handed
// to the next step, which answers it as a user would. A window with no step left is recorded
// and closed, so that a test never hangs on a dialog it did not expect.
class ModalDriver {
public:
    using Step = std::function<void(QWidget* modal)>;

    ModalDriver() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(5);
    }

    ModalDriver& then(Step step) {
        m_steps.push_back(std::move(step));
        return *this;
    }

    // Every step was used and no window came unexpected.
    bool done() const { return m_steps.empty() && m_unexpected.empty(); }

private:
    void poll() {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (modal.isNull() || m_scheduled) {
            return;
        }
        // The step runs from the event queue, not inside this timer: a button it presses may
        // open a further modal window, whose own loop must keep polling.
        m_scheduled = true;
        QMetaObject::invokeMethod(
            &m_timer,
            [this, modal] {
                m_scheduled = false;
                if (modal.isNull() || !modal->isVisible()) {
                    return;
                }
                if (m_steps.empty()) {
                    m_unexpected.push_back(modal->windowTitle().toStdString());
                    static_cast<QDialog*>(modal.data())->reject();
                    return;
                }
                Step step = std::move(m_steps.front());
                m_steps.pop_front();
                step(modal);
            },
            Qt::QueuedConnection);
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    std::vector<std::string> m_unexpected;
    bool m_scheduled = false;
};

// What a message box showed.
struct ShownBox {
    std::string title;
    std::string text;
    int icon = -1; // QMessageBox::Icon
    QStringList buttons;
};

inline void press(QWidget* modal, const QString& buttonText) {
    for (QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
        if (button->text() == buttonText && button->isVisible()) {
            button->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << buttonText.toStdString();
    static_cast<QDialog*>(modal)->reject();
}

// Records the message box into `box` and presses `buttonText`.
inline ModalDriver::Step answerBox(ShownBox& box, const QString& buttonText = "OK") {
    return [&box, buttonText](QWidget* modal) {
        if (auto* shown = qobject_cast<QMessageBox*>(modal)) {
            box = {
                shown->windowTitle().toStdString(), shown->text().toStdString(), shown->icon(), {}};
            for (QAbstractButton* button : shown->buttons()) {
                box.buttons << button->text();
            }
        }
        press(modal, buttonText);
    };
}

// Types the path into a file dialog's name field and accepts it.
inline void chooseFile(QWidget* modal, const std::filesystem::path& path) {
    auto* name = modal->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_TRUE(qobject_cast<QFileDialog*>(modal) && name);
    name->setText(QString::fromStdString(path.string()));
    static_cast<QDialog*>(modal)->accept();
}

} // namespace tramela::test
