#pragma once

#include "store/database_connection.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::workspace {

class Workspace;

// The company and communication header: the `master` row whose codice is 0, as texts.
struct CompanyHeader {
    std::string company;     // azienda, "%d"
    std::string companyName; // its denom in regazi, trailing blanks removed; empty when absent
    std::string date;        // p_data, the day the communication is sent: "GG/MM/AAAA" or empty
    std::string protocol;    // protoc, "%ld"; empty when absent or negative
    std::string responsible; // resple, trailing blanks removed
    std::string start;       // datini, first day of the period covered: "GG/MM/AAAA"
    std::string end;         // datfin, last day of the period covered: "GG/MM/AAAA"
};

// The id of the header dialog; its fields are "code" (the company list's edit part: the
// company's regional code, at most 4 digits), "date", "protocol", "responsible", "start", "end".
inline constexpr std::string_view kCompanyFormId = "company";

// The "Azienda" command: creates the header row when it is missing, asks for the header in its
// dialog, writes it on OK and rebuilds the main window's title. Every failure is shown where it
// is met; Annulla leaves the row as it was.
ui::Outcome EditCompanyHeader(Workspace& workspace);
// The header as the dialog would show it, told as text (created as the dialog would create it
// when the database has none), and the title rebuilt.
ui::Outcome ShowCompanyHeader(Workspace& workspace);

// The header as stored, for showing it; nothing when the row is missing (a missing table has
// been reported by the table layer).
std::optional<CompanyHeader> ReadCompanyHeader(store::DatabaseConnection& connection);

// The header for display, one caption and value a line:
// "Codice Regionale Azienda: 0042 - Autolinee Valmora\nData: 01/03/2009\n...".
std::string formatCompanyHeader(const CompanyHeader& header);

// The entries of the company list, "%04d - %s" (code, name), in order of name.
std::vector<std::string> companyListEntries(store::DatabaseConnection& connection);

} // namespace tramela::workspace
