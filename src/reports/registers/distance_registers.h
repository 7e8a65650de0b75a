#pragma once

#include "reports/document_viewer.h"
#include "reports/report_document.h"
#include "ui/ui.h"

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

// A route's conventional (contract) length against its cartographic one, in metres.
struct CongruenceEntry {
    std::int32_t id = 0;
    std::string code;
    std::string name;
    double conventional = 0;
    double cartographic = 0;

    double difference() const { return cartographic - conventional; }

    // Per cent; not computable (NaN or infinite) when the conventional length is 0.
    double deviation() const { return cartographic * 100 / conventional - 100; }

    bool deviationComputable() const;
};

// Every route, by deviation, smallest first; routes whose deviation cannot be computed last.
std::vector<CongruenceEntry> congruenceList(store::DatabaseConnection& connection);

// A route that has stops, with the conventional progressive of its last stop.
struct ProgressiveRoute {
    std::int32_t id = 0;
    std::string code;
    double conventional = 0;
    double cartographic = 0;
    double lastProgressive = 0;
};

// A progressive that cannot be right; stop -1 for an entry about the route's ends.
struct ProgressiveError {
    std::size_t route = 0; // index in ProgressiveRegister::routes
    std::int32_t stop = -1;
    std::string stopCode;
    std::string stopName;
    std::string error;
};

struct ProgressiveRegister {
    std::vector<ProgressiveRoute> routes;
    std::vector<ProgressiveError> errors;
};

ProgressiveRegister progressiveRegister(store::DatabaseConnection& connection);

ReportDocument congruenceDocument(ReportDocument document,
                                  const std::vector<CongruenceEntry>& entries);
ReportDocument progressiveErrorsDocument(ReportDocument document, const ProgressiveRegister& reg);

// The dialog that asks how to print a register; its radio field "mode" holds "Anteprima di
// stampa" or "Stampa".
inline constexpr std::string_view kPrintTypeFormId = "print-type";
inline constexpr std::string_view kPrintModeField = "mode";
ui::FormSpec printTypeForm(std::string title);
// Asks how to print with that dialog; nothing when the dialog was left.
std::optional<PrintMode> askPrintMode(workspace::Workspace& workspace, std::string title);

// "verifica congruenza &Distanze" and "verifica &Errori Progressive": the dialog, the list,
// then the register previewed or printed.
ui::Outcome DistanceRegister(workspace::Workspace& workspace);
ui::Outcome ProgressiveErrors(workspace::Workspace& workspace);

} // namespace tramela::reports
