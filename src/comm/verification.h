#pragma once

#include "ui/ui.h"

#include <string>
#include <string_view>
#include <vector>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::comm {

// The progress caption that the calling command shows just before the verification.
inline constexpr std::string_view kVerificationCaption = "Verifica Formale dei dati";

// The form of the communication that a verification guards.
enum class ExportKind { VkzXml, VkzTxt };

// The kind as messages name it: "VkzXml Level 1" / "VKZ-TXT v1".
std::string_view exportKindName(ExportKind kind);

// The findings of one verification: groups of codes of entries (one line of text each), kept in
// the order registered and found. An entry for a group or code not registered is dropped.
class VerificationLog {
public:
    struct Code {
        std::string name;
        std::vector<std::string> entries;
    };

    struct Group {
        std::string name;
        std::vector<Code> codes;
    };

    void registerGroup(std::string_view group);
    void registerCode(std::string_view group, std::string_view code);
    void add(std::string_view group, std::string_view code, std::string entry);

    // The entries of a code; empty when it has none or is not registered.
    const std::vector<std::string>& entries(std::string_view group, std::string_view code) const;

    bool hasEntries(std::string_view group, std::string_view code) const {
        return !entries(group, code).empty();
    }

    const std::vector<Group>& groups() const { return m_groups; }

private:
    Code* findCode(std::string_view group, std::string_view code);

    std::vector<Group> m_groups;
};

// What the checks found: the log and the two severities.
struct VerificationFindings {
    VerificationLog log;
    bool blocking = false;
    bool tolerable = false;
};

// Runs every check of the kind on the database and collects the findings; shows nothing but the
// query layer's own failures (a check whose query failed counts as a blocking finding).
VerificationFindings collectVerificationFindings(store::DatabaseConnection& connection,
                                                 ExportKind kind);

// True when the communication's general data (the master row with codice 0: sending date,
// protocol, responsible) are complete; otherwise shows why with the stop icon and gives false.
bool checkMasterRecord(store::DatabaseConnection& connection);

// The formal verification that precedes both exports: Done to go on with the export, Failed
// when blocking findings stop it, Cancelled when the user does not go on past tolerable ones.
// Tolerable findings ask whether to go on (the question keys::kProceed) when `ask` is set and
// only tell otherwise. Whenever something was found the report is offered
// (writeVerificationReport); without findings nothing is shown. Messages go to the
// connection's Ui.
ui::Outcome runFormalVerification(store::DatabaseConnection& connection, bool ask, ExportKind kind);

// Offers the save dialog "Report Errori Riscontrati" (the offer keys::kReport) and writes the
// log there (ISO-8859-1, CR LF). Declining writes nothing; a file that cannot be created is
// reported.
void writeVerificationReport(const VerificationLog& log, ExportKind kind, ui::Ui& ui);

// The menu's stand-alone verification: the general data first, then the verification of the
// text form of the communication. Failed when the general data are incomplete or blocking
// errors are found.
ui::Outcome VerifyCommand(workspace::Workspace& workspace);

} // namespace tramela::comm
