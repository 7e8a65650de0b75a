#pragma once

#include "reports/document_viewer.h"
#include "ui/ui.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

class QDialog;
class QFileDialog;
class QMessageBox;
class QObject;
class QWidget;

namespace tramela::gui {

class WaitWindow;
class WorkArea;

// The Ui port on Qt Widgets: message boxes, file dialogs, parameter dialogs drawn from their
// description, and the progress facilities of the main window. Everything runs on the
// user-interface thread; the progress calls let the event loop run so that a long command keeps
// the window painted.
class QtUi : public ui::Ui, public reports::DocumentViewer {
public:
    enum class Mode {
        Interactive, // real modal dialogs
        Unattended,  // nobody to answer: messages go to standard error, questions are cancelled
    };

    explicit QtUi(Mode mode = Mode::Interactive);
    ~QtUi() override;
    QtUi(const QtUi&) = delete;
    QtUi& operator=(const QtUi&) = delete;

    // The main window: the owner of the dialogs, whose title captions the messages, and the
    // area that carries the progress caption and bar.
    void attach(QWidget* window, WorkArea* area);

    void Message(std::string_view text, ui::Icon icon, std::string_view caption = {}) override;
    bool Confirm(const ui::Question& question, std::string_view text, ui::Icon icon) override;
    std::optional<std::filesystem::path> OpenFile(const ui::FileDialog& dialog) override;
    std::optional<std::filesystem::path> SaveFile(const ui::FileDialog& dialog) override;
    std::optional<ui::FormValues> Form(const ui::FormSpec& spec) override;
    void ProgressCaption(std::string_view text) override;
    void Progress(int percent) override;
    void BeginBusy(bool showWaitWindow) override;
    // A printed report in its register window, with a print preview or a print at once on the
    // printer chosen (document_view.cpp).
    ui::Outcome ShowDocument(const reports::ReportDocument& document,
                             reports::PrintMode mode) override;

    // The busy cursor is set (from BeginBusy until the event loop next waits for events).
    bool busy() const { return m_busy; }

    // The wait window: over the main window once attached.
    WaitWindow* waitWindow();
    // Ends what a command leaves on the screen: the busy cursor, the wait window, the progress
    // caption and bar. Called when the main event loop is about to wait for events.
    void endCommandDisplay();

    // A file dialog set up as a command asks for it: title, filters, default extension, the
    // initial name when it is a name and not a pattern, existence and overwrite rules.
    void configure(QFileDialog& dialog, const ui::FileDialog& request, bool save) const;
    // The filter line of a file dialog: "Database SQLite (*.sqlite)". The patterns are the
    // file system's: "*.*" (every file on the original platform) becomes "*".
    static QString filterText(const ui::FileFilter& filter);

    // The caption of a message box that names none: the main window's title, else "TRAMELA".
    QString defaultCaption() const;
    // A message box's caption, icon and plain text.
    void prepareBox(QMessageBox& box,
                    std::string_view text,
                    ui::Icon icon,
                    std::string_view caption) const;

private:
    std::optional<std::filesystem::path> chooseFile(const ui::FileDialog& request, bool save);
    int runModal(QDialog& dialog);
    QWidget* dialogOwner() const;
    void pumpEvents();
    void previewDocument(const reports::ReportDocument& document);
    ui::Outcome printDocument(const reports::ReportDocument& document);

    Mode m_mode;
    QPointer<QWidget> m_window;
    QPointer<WorkArea> m_area;
    QPointer<WaitWindow> m_wait;
    std::unique_ptr<WaitWindow> m_ownedWait; // before a main window is attached
    std::unique_ptr<QObject> m_context;      // owns the connection to the event loop
    QString m_lastFolder;
    bool m_busy = false;
};

} // namespace tramela::gui
