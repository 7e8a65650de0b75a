#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::ui {

enum class Icon { None, Stop, Exclamation, Information, Question };

// How a command ended, for the front end that started it: done, failed (a failure or a refusal
// was shown), or cancelled (the user answered Cancel, or left a dialog without an answer).
// Declining an offer (a report not saved) is not a cancellation.
enum class Outcome { Done, Failed, Cancelled };

// What a question is for, which decides how a front end that cannot ask answers it.
enum class QuestionKind {
    Confirmation, // go on with the command? Unanswered: Cancel, and the command is cancelled
    Offer,        // something more the command can give (a report): unanswered, declined
    Input,        // what the command needs to work (a file, its parameters): unanswered, an error
};

// The keys of the questions many commands ask. A command's other keys are declared beside it.
// A key is stable across versions and names one question of its command: a command that asks
// two questions of the same kind (a folder and a report) gives them two keys.
namespace keys {
inline constexpr std::string_view kProceed = "proceed"; // go on past what was found?
inline constexpr std::string_view kReport = "report";   // the report of the errors found
} // namespace keys

// A confirmation or offer as a command asks it.
struct Question {
    std::string key;
    QuestionKind kind = QuestionKind::Confirmation;
    std::string caption = {}; // the box's caption; empty: the application's name
};

// One entry of a file dialog's filter list: "Database SQLite (*.sqlite)" with pattern "*.sqlite".
struct FileFilter {
    std::string caption;
    std::string pattern;
};

// A file dialog as a command asks for it; the front end decides how to show it.
struct FileDialog {
    std::string key; // the question it answers, unique within its command
    QuestionKind kind = QuestionKind::Input;
    std::string title;
    std::string defaultExtension; // without the dot: "sqlite"
    std::string initialName;      // "*.sqlite"
    std::vector<FileFilter> filters;
    bool mustExist = false;        // open dialogs: the chosen file and its folder must exist
    bool confirmOverwrite = false; // save dialogs: ask before naming an existing file
};

// A refusal of a dialog's validator: shown by the front end, which keeps the dialog open.
struct Refusal {
    std::string text;
    Icon icon = Icon::Stop;
    std::string caption;
};

// The values of a parameter dialog, by field id. Texts as typed; check boxes "1"/"0";
// choice lists the text of their edit part; radio groups the chosen entry's text.
using FormValues = std::map<std::string, std::string, std::less<>>;

enum class FieldKind { Text, Date, Integer, Choice, Radio, Check };

struct FormField {
    std::string id; // key in FormValues; the command line's flag answers it
    std::string caption;
    FieldKind kind = FieldKind::Text;
    std::string value;                // initial value
    std::vector<std::string> entries; // choice list or radio entries
    int maxLength = 0;                // characters the field accepts; 0: no limit
    bool masked = false;              // a password: the front end does not show what is typed
};

// A button of a dialog besides OK and Cancel: it rewrites the values shown (restoring saved
// values, say) and leaves the dialog open.
struct FormAction {
    std::string id;
    std::string caption;
    std::function<FormValues(const FormValues&)> apply;
};

struct FormGroup {
    std::string caption; // empty: fields without a frame
    std::vector<FormField> fields;
};

// A parameter dialog as data: the GUI renders it, the command line fills it from flags, tests
// fill it from a script. The validator belongs to the core command that asks.
struct FormSpec {
    std::string id; // the question's key, unique within its command
    QuestionKind kind = QuestionKind::Input;
    std::string title;
    std::vector<FormGroup> groups;
    std::function<std::optional<Refusal>(const FormValues&)> validate;
    std::vector<FormAction> actions;
    // Whether a field accepts input while the dialog shows these values; absent: every field.
    std::function<bool(std::string_view fieldId, const FormValues&)> editable;

    FormValues initialValues() const;
    const FormField* field(std::string_view id) const;
};

// The port through which every command asks and tells; commands never know their front end.
class Ui {
public:
    virtual ~Ui() = default;

    virtual void Message(std::string_view text, Icon icon, std::string_view caption = {}) = 0;
    // OK / Cancel; true for OK.
    virtual bool Confirm(const Question& question, std::string_view text, Icon icon) = 0;
    virtual std::optional<std::filesystem::path> OpenFile(const FileDialog&) = 0;
    virtual std::optional<std::filesystem::path> SaveFile(const FileDialog&) = 0;
    // Shows the dialog until the validator accepts (values returned) or the user cancels.
    virtual std::optional<FormValues> Form(const FormSpec&) = 0;
    virtual void ProgressCaption(std::string_view text) = 0;
    // 0..100 shows the bar at that position; a negative value hides it.
    virtual void Progress(int percent) = 0;
    virtual void BeginBusy(bool showWaitWindow) = 0;
};

} // namespace tramela::ui
