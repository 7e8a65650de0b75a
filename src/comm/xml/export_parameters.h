#pragma once

#include "calendar/service_days.h"
#include "store/date.h"
#include "ui/ui.h"

#include <array>
#include <optional>
#include <string_view>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::comm::xml {

// The id of the parameters dialog of the XML communication. Its fields: "from", "to" (the
// validity window, typed dates); "type" (radio, one of kCommunicationTypes); "lot" (the lot
// list's edit part); "authority_all", "company_all", "subcontractor_all", "line_all" (the "Tutto"
// boxes, "1" set) each with its list "authority", "company", "subcontractor", "line"; "mode"
// (radio: kTransmission or kLocalGeneration); "compression" (radio: kCompressed or
// kUncompressed).
inline constexpr std::string_view kExportParametersFormId = "export-xml";

// The radio entries, as the form's values hold them.
inline constexpr std::array<std::string_view, 4> kCommunicationTypes = {
    "Budget Contrattuale",
    "Piano di Servizio",
    "Progetto",
    "Test",
};
inline constexpr std::string_view kTransmission = "invio telematico";
inline constexpr std::string_view kLocalGeneration = "generazione locale";
inline constexpr std::string_view kCompressed = "compressione LZMA";
inline constexpr std::string_view kUncompressed = "non compresso";

// What the user chose for one communication.
struct ExportParameters {
    Date from;
    Date to;
    calendar::CommunicationFlags flags;
    calendar::SelectionFilters filters; // the lot is always set
    bool transmit = true;               // otherwise a local file
    bool compress = true;               // a local file compressed as well
};

// The dialog "Parametri Estrazione Comunicazione VkzXml", its lists filled from the database:
// lots from reglot, authorities from regent, companies (operating and subcontracting) from regazi,
// each code written "%04d"; lines are the company line codes the trips use. The window defaults
// to the two dates given (the header's period); the lot to the registered lot that most trips
// have, or to the register's first when no trip has one. Its validator refuses a bad date or a
// code not in its list (exclamation icon), checking the fields in the dialog's order.
ui::FormSpec exportParametersForm(store::DatabaseConnection& connection,
                                  const Date& defaultFrom,
                                  const Date& defaultTo);

// The parameters that a form's values give, checked against the form's own lists; nothing when
// the validator would refuse them.
std::optional<ExportParameters> exportParametersFromValues(const ui::FormSpec& form,
                                                           const ui::FormValues& values);

// The type's radio entry for a keyword of the command line ("BUDGET", "PLANNING", "PROJECT",
// "TEST"); nothing for any other word.
std::optional<std::string_view> communicationTypeEntry(std::string_view keyword);

} // namespace tramela::comm::xml
