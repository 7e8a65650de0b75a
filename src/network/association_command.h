#pragma once

#include "network/stop_association.h"
#include "store/database_connection.h"
#include "ui/ui.h"

#include <optional>
#include <string_view>
#include <vector>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::network {

// The association analysis's captions, in the order its steps run.
inline constexpr std::string_view kRouteExtractionCaption = "Estrazione Percorsi";
inline constexpr std::string_view kStopAnalysisCaption = "Analisi Fermate";
inline constexpr std::string_view kSortingCaption = "Ordinamento Strutture di lavoro";
inline constexpr std::string_view kCompositionCaption = "Analisi Corse Standard";
inline constexpr std::string_view kSideCaption = "Analisi Verso Circolazione/Fermata";

// The report's offer (a confirmation answered with the report's file, ui::keys::kReport), its
// dialog of three choices and the save dialog, which asks the same key.
inline constexpr std::string_view kAssociationFormId = "stop-route-analysis";
inline constexpr std::string_view kFullReportField = "full";
inline constexpr std::string_view kAbsentField = "absent";
inline constexpr std::string_view kWrongField = "wrong";

// Every stop of the register, in ID order; a stop whose coordinates are missing or not finite
// numbers has no position. Nothing when the query failed (shown).
std::optional<std::vector<RegisterStop>> ReadRegisterStops(store::DatabaseConnection& connection);

// Appends to `association` every route of itiner with a sound geometry, in ID order; a corrupt
// geometry is shown ("Itinerari: Entità Lineare corrotta <ID> !!!") and its route skipped. False
// when a query failed (shown).
bool ReadAnalysedRoutes(store::DatabaseConnection& connection, StopAssociation& association);

// Marks the composition (fermitin) of every analysed route in `association`. False when a query
// failed (shown).
bool ReadCompositions(store::DatabaseConnection& connection, StopAssociation& association);

// "verifica associazione Fermate/Percorso": the association of every stop with every route in
// both directions of travel, then the offer of the report "Report Associazione Fermate
// Percorsi". Reads the database and writes nothing in it. Stops without coordinates are left out,
// said in a message and listed at the end of the report.
ui::Outcome StopRouteAnalysis(workspace::Workspace& workspace);

} // namespace tramela::network
