#pragma once

#include "ui/ui.h"

#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::utilities {

// The bulk assignment of the trips' and routes' administrative codes. Each command asks first
// (a confirmation, ui::keys::kProceed, or its dialog), writes in one transaction and ends with a
// message box of counts; a row the tables refuse is shown by the table layer, skipped and not
// counted, and a failure or a cancel changes no row.

// "Assegnazione Codici Corsa": codes 000001, 000002... along the trips ordered by line code
// (as text: "12" before "3"), direction, route, departure and ID.
ui::Outcome AssignTripCodes(workspace::Workspace& window);

// "Codici Corsa" of the clean-ups: every trip code becomes a single blank.
ui::Outcome BlankTripCodes(workspace::Workspace& window);

// The dialogs of the contract and extended-code assignments share their line selection: the
// box kAnyLineField ("1": every trip) or one line of kLineField, the company line codes of the
// trips. Neither given is refused, as is a code not in its list.
inline constexpr std::string_view kAnyLineField = "any_line";
inline constexpr std::string_view kLineField = "line";

// "Assegnazione Codici Contratto": the dialog kContractsFormId, with the authority of regent in
// kAuthorityField, sets the authority (ente) of the trips of the line, or of every trip.
inline constexpr std::string_view kContractsFormId = "assign-contracts";
inline constexpr std::string_view kAuthorityField = "authority";
ui::Outcome AssignContracts(workspace::Workspace& window);

// "Assegnazione Codifiche Estese": the dialog kExtendedCodesFormId, with the lot (reglot), the
// operating and the subcontracting company (regazi), writes the extended codes of the trips of
// the line, or of every trip; a trip without them gets its row.
inline constexpr std::string_view kExtendedCodesFormId = "assign-extcodes";
inline constexpr std::string_view kLotField = "lot";
inline constexpr std::string_view kCompanyField = "company";
inline constexpr std::string_view kSubcontractorField = "subcontractor";
ui::Outcome AssignExtendedCodes(workspace::Workspace& window);

// "Sistemazione Subappalti Codice=0": the extended codes whose subcontracting company is 0 take
// the operating company.
ui::Outcome FixSubcontracts(workspace::Workspace& window);

// "Assegnazione Codici Percorso da Linea": each route's code from the line and direction of its
// trips ("12_A_01", or "12_01" without a direction), numbered in route ID order within each line
// and direction. Refused, with the first routes listed, when a route has trips of two lines or
// two directions, or has no trip.
ui::Outcome AssignRouteCodes(workspace::Workspace& window);

} // namespace tramela::utilities
