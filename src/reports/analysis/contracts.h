#pragma once

#include "reports/report_document.h"
#include "ui/ui.h"
#include "workspace/report_header.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::workspace {
class Workspace;
}

namespace tramela::reports {

// The contract selection dialog: a line (empty: every line), a lot, a managing company and a
// subcontractor (each empty: all), and the basis of the distances.
inline constexpr std::string_view kContractsFormId = "contracts";
inline constexpr std::string_view kContractLineField = "line";
inline constexpr std::string_view kContractLotField = "lot";
inline constexpr std::string_view kContractCompanyField = "company";
inline constexpr std::string_view kContractSubcontractorField = "subcontractor";
inline constexpr std::string_view kCartographicField = "cartographic";
// The offer of the text export.
inline constexpr std::string_view kContractsTextKey = "txt";

struct ContractSelection {
    std::optional<std::string> line;
    std::optional<int> lot;
    std::optional<int> company;
    std::optional<int> subcontractor;
    bool cartographic = false;
};

ui::FormSpec contractsDialog();
// The selection the dialog's values give; nothing when the validator would refuse them.
std::optional<ContractSelection> contractSelectionOf(const ui::FormValues& values);

// One row of the report: a trip with its figures, or a totals row (label and the two sums).
struct ContractRow {
    bool totals = false;
    std::string label; // totals rows: "TOTALI L1 A", "TOTALI CONTRATTO"
    std::string line;
    std::string direction;
    std::int32_t id = 0;
    std::string vehicle; // the vehicle kind's name
    std::string code;
    std::string start;          // "h:mm"
    std::string length;         // km, two decimals, decimal comma
    std::string contractLength; // the same
    std::string duration;       // "45m", "1h 5m"
    std::string contractDuration;
    int days = 0;
    std::string periodLength; // km over the running days
    std::string periodTime;   // "187h 30m"
    std::string cadence;      // its one cadence, or "Plurima"
    std::string from;         // "GG/MM/AAAA"
    std::string to;
    double lengthSum = 0; // totals rows: metres
    long timeSum = 0;     // totals rows: minutes
};

// The trips of one agency with their totals rows, the contract's last.
struct ContractAgency {
    int code = 0;
    std::string name; // "*** INESISTENTE ***" when the register lacks it
    std::vector<ContractRow> rows;
};

// The report as data, built once: every output renders it.
struct ContractReport {
    ContractSelection selection;
    std::string companyName; // of the master record
    std::string companyLine; // "Azienda Gestione: %d - %s", when a company is chosen
    std::string subcontractorLine;
    std::vector<ContractAgency> agencies;
};

// Reads the trips of the selection with their running days. Nothing when a query failed (shown).
std::optional<ContractReport> buildContractReport(store::DatabaseConnection& connection,
                                                  const ContractSelection& selection);

// The text export, lines ended by "\n", UTF-8.
std::string contractText(const ContractReport& report, const workspace::ReportTime& time);

// The printed report: the selection and the basis under the heading, each agency opening with
// its row, trips and totals rows as in the text export.
ReportDocument contractDocument(ReportDocument document, const ContractReport& report);

// The menu command: the selection dialog and how to print, the report, its text export when a
// file is given, then the report previewed or printed.
ui::Outcome ContractTotals(workspace::Workspace& workspace);

} // namespace tramela::reports
