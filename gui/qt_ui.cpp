#include "gui/qt_ui.h"

#include "gui/form_dialog.h"
#include "gui/text.h"
#include "gui/wait_window.h"
#include "gui/work_area.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <iostream>

namespace tramela::gui {

namespace {

constexpr std::string_view kApplicationCaption = "TRAMELA";

QMessageBox::Icon boxIcon(ui::Icon icon) {
    switch (icon) {
    case ui::Icon::None:
        return QMessageBox::NoIcon;
    case ui::Icon::Stop:
        return QMessageBox::Critical;
    case ui::Icon::Exclamation:
        return QMessageBox::Warning;
    case ui::Icon::Information:
        return QMessageBox::Information;
    case ui::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtUi::QtUi(Mode mode)
    : m_mode(mode)
    , m_context(std::make_unique<QObject>()) {
    // The end of a command is the moment the main event loop has nothing left to do: a nested
    // loop (a message box shown by the command) does not count, nor do the events that the
    // command lets through at each step of its progress, since those never wait.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(
            dispatcher, &QAbstractEventDispatcher::aboutToBlock, m_context.get(), [this] {
                if (QThread::currentThread()->loopLevel() <= 1) {
                    endCommandDisplay();
                }
            });
    }
}

QtUi::~QtUi() {
    if (m_busy) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void QtUi::attach(QWidget* window, WorkArea* area) {
    m_window = window;
    m_area = area;
    if (m_ownedWait && !m_ownedWait->running()) {
        m_ownedWait.reset();
    }
}

WaitWindow* QtUi::waitWindow() {
    if (m_wait.isNull()) {
        if (m_window) {
            m_wait = new WaitWindow(m_window);
        } else {
            m_ownedWait = std::make_unique<WaitWindow>();
            m_wait = m_ownedWait.get();
        }
    }
    return m_wait;
}

void QtUi::prepareBox(QMessageBox& box,
                      std::string_view text,
                      ui::Icon icon,
                      std::string_view caption) const {
    box.setWindowTitle(caption.empty() ? defaultCaption() : toQString(caption));
    box.setIcon(boxIcon(icon));
    box.setTextFormat(Qt::PlainText);
    box.setText(toQString(text));
}

QString QtUi::defaultCaption() const {
    if (m_window && !m_window->windowTitle().isEmpty()) {
        return m_window->windowTitle();
    }
    return toQString(kApplicationCaption);
}

QWidget* QtUi::dialogOwner() const {
    // A refusal belongs over the dialog that caused it, not behind it over the main window.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return m_window;
}

int QtUi::runModal(QDialog& dialog) {
    // The user answers with the normal cursor, even in the middle of a busy command.
    const bool busy = m_busy;
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    const int result = dialog.exec();
    if (busy) {
        QGuiApplication::restoreOverrideCursor();
    }
    return result;
}

void QtUi::Message(std::string_view text, ui::Icon icon, std::string_view caption) {
    if (m_mode == Mode::Unattended) {
        std::cerr << text << (text.ends_with('\n') ? "" : "\n") << std::flush;
        return;
    }
    QMessageBox box(dialogOwner());
    prepareBox(box, text, icon, caption);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    runModal(box);
}

bool QtUi::Confirm(const ui::Question& question, std::string_view text, ui::Icon icon) {
    if (m_mode == Mode::Unattended) {
        std::cerr << text << (text.ends_with('\n') ? "" : "\n") << "Annulla\n" << std::flush;
        return false;
    }
    QMessageBox box(dialogOwner());
    prepareBox(box, text, icon, question.caption);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Annulla"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel);
    runModal(box);
    return box.clickedButton() == ok;
}

QString QtUi::filterText(const ui::FileFilter& filter) {
    QString caption = toQString(filter.caption);
    // The caption's own "(...)" names the original platform's patterns; the real ones follow.
    caption.remove(QRegularExpression(QStringLiteral("\\s*\\([^()]*\\)\\s*$")));
    QStringList patterns;
    for (const QString& pattern :
         toQString(filter.pattern)
             .split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)) {
        patterns << (pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
    }
    if (patterns.isEmpty()) {
        patterns << QStringLiteral("*");
    }
    return QStringLiteral("%1 (%2)").arg(caption, patterns.join(QLatin1Char(' ')));
}

void QtUi::configure(QFileDialog& dialog, const ui::FileDialog& request, bool save) const {
    dialog.setWindowTitle(toQString(request.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && request.mustExist ? QFileDialog::ExistingFile
                                                  : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    QStringList filters;
    for (const ui::FileFilter& filter : request.filters) {
        filters << filterText(filter);
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    dialog.setDefaultSuffix(toQString(request.defaultExtension));
    dialog.setDirectory(m_lastFolder.isEmpty() ? QDir::currentPath() : m_lastFolder);
    // An initial name such as "*.sqlite" was the original platform's way of filtering: the
    // filters do that here, and a pattern is no name to offer.
    const QString initial = toQString(request.initialName);
    if (!initial.isEmpty() && !initial.contains(QLatin1Char('*')) &&
        !initial.contains(QLatin1Char('?'))) {
        dialog.selectFile(initial);
    }
}

std::optional<std::filesystem::path> QtUi::chooseFile(const ui::FileDialog& request, bool save) {
    if (m_mode == Mode::Unattended) {
        return std::nullopt;
    }
    QFileDialog dialog(dialogOwner());
    configure(dialog, request, save);
    if (runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    m_lastFolder = QFileInfo(chosen).absolutePath();
    return toPath(chosen);
}

std::optional<std::filesystem::path> QtUi::OpenFile(const ui::FileDialog& dialog) {
    return chooseFile(dialog, false);
}

std::optional<std::filesystem::path> QtUi::SaveFile(const ui::FileDialog& dialog) {
    return chooseFile(dialog, true);
}

std::optional<ui::FormValues> QtUi::Form(const ui::FormSpec& spec) {
    if (m_mode == Mode::Unattended) {
        return std::nullopt;
    }
    FormDialog dialog(spec, dialogOwner());
    dialog.setRefusalHandler([this, &spec](const ui::Refusal& refusal) {
        Message(refusal.text, refusal.icon, refusal.caption.empty() ? spec.title : refusal.caption);
    });
    if (runModal(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.acceptedValues();
}

void QtUi::pumpEvents() {
    // Paint and timers only: the user cannot start anything while a command runs.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtUi::ProgressCaption(std::string_view text) {
    if (m_area) {
        m_area->setCaption(toQString(text));
    }
    pumpEvents();
}

void QtUi::Progress(int percent) {
    if (m_area) {
        m_area->setProgress(percent);
    }
    pumpEvents();
}

void QtUi::BeginBusy(bool showWaitWindow) {
    if (!m_busy) {
        m_busy = true;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    if (showWaitWindow && m_mode == Mode::Interactive) {
        waitWindow()->start();
    }
    pumpEvents();
}

void QtUi::endCommandDisplay() {
    if (m_busy) {
        m_busy = false;
        QGuiApplication::restoreOverrideCursor();
    }
    if (m_wait) {
        m_wait->stop();
    }
    if (m_area) {
        m_area->clearCaption();
        m_area->setProgress(-1);
    }
}

} // namespace tramela::gui
