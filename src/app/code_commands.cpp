// The command table's code utilities: trip, contract, extended, subcontract, route and vehicle
// codes, then the clean-ups of what no timetable uses any more.

#include "app/command_sections.h"
#include "app/parameters.h"
#include "utilities/clean_ups.h"
#include "utilities/code_assignment.h"
#include "utilities/vehicle_type.h"

#include <string>
#include <utility>

namespace tramela::app {

namespace {

using namespace parameters;

Parameter required(Parameter parameter) {
    parameter.required = true;
    return parameter;
}

// "--line L" or "--any-line": the line selection of the contract and extended-code dialogs.
// Without either the dialog is refused, as it is with no line chosen and the box clear.
std::vector<Parameter> lineSelection(std::string_view form) {
    Parameter line = fieldOption("--line",
                                 "LINEA",
                                 form,
                                 utilities::kLineField,
                                 "Codice aziendale della linea le cui corse ricevono i codici");
    line.excludes = {"--any-line"};
    Parameter any = fieldFlag("--any-line",
                              form,
                              utilities::kAnyLineField,
                              "1",
                              "Assegna i codici alle corse di qualsiasi linea");
    return {std::move(line), std::move(any)};
}

std::vector<Parameter> contractParameters() {
    std::vector<Parameter> list = lineSelection(utilities::kContractsFormId);
    list.push_back(required(fieldOption("--authority",
                                        "N",
                                        utilities::kContractsFormId,
                                        utilities::kAuthorityField,
                                        "Codice regionale dell'Ente gestore da assegnare")));
    return list;
}

std::vector<Parameter> extendedCodeParameters() {
    using namespace utilities;
    std::vector<Parameter> list = lineSelection(kExtendedCodesFormId);
    const std::pair<std::string_view, const char*> codes[] = {
        {kLotField, "Codice del Lotto di gara"},
        {kCompanyField, "Codice dell'Azienda di gestione"},
        {kSubcontractorField, "Codice dell'Azienda subappaltatrice"},
    };
    for (const auto& [field, help] : codes) {
        list.push_back(required(fieldOption(
            "--" + std::string(field), "N", kExtendedCodesFormId, field, std::string(help))));
    }
    return list;
}

// "--type U|X|W|F|T|N" chooses the mode button of the variant's dialog.
Parameter vehicleType(std::string_view form) {
    Parameter type = required(fieldOption("--type",
                                          "U|X|W|F|T|N",
                                          form,
                                          utilities::kVehicleTypeField,
                                          "Tipo mezzo: U Bus Urbano, X Bus Extraurbano, W "
                                          "Tramvia, F Funicolare, T Treno, N Traghetto"));
    for (const utilities::VehicleType& vehicle : utilities::kVehicleTypes) {
        type.choices.emplace_back(1, vehicle.code);
    }
    type.answer = [form = std::string(form)](ui::Answers& answers, const std::string& code) {
        answers.forms[form][std::string(utilities::kVehicleTypeField)] =
            std::string(utilities::vehicleTypeEntry(code).value_or(""));
    };
    return type;
}

Parameter vehicleLine() {
    Parameter line = fieldOption("--line",
                                 "LINEA",
                                 utilities::kVehicleLineFormId,
                                 utilities::kVehicleLineField,
                                 "Solo le corse di questa linea aziendale");
    line.excludes = {"--authority"};
    // The option that chooses a variant answers its dialog's field without being a key of its own.
    line.answers.clear();
    return line;
}

Parameter vehicleAuthority() {
    Parameter authority = fieldOption("--authority",
                                      "N",
                                      utilities::kVehicleAuthorityFormId,
                                      utilities::kVehicleAuthorityField,
                                      "Solo le corse di questo Ente (codice regionale)");
    authority.answers.clear();
    return authority;
}

std::vector<Parameter> periodParameters() {
    using namespace utilities;
    return {required(fieldOption(
                "--start", "GG/MM/AAAA", kPeriodFormId, kPeriodStartField, "Data di inizio")),
            required(fieldOption(
                "--end", "GG/MM/AAAA", kPeriodFormId, kPeriodEndField, "Data di fine"))};
}

} // namespace

std::vector<Command> codeCommands() {
    using namespace utilities;
    return {
        {.menuId = 5135,
         .label = "Assegnazione &Codici Corsa",
         .cli = "assign-trip-codes",
         .help = "Numera le corse 000001, 000002... per linea, verso, percorso e partenza",
         .entry = AssignTripCodes},
        {.menuId = 5136,
         .label = "Assegnazione Codici C&ontratto",
         .cli = "assign-contracts",
         .help = "Assegna l'Ente gestore alle corse di una linea o di tutte le linee",
         .parameters = contractParameters(),
         .entry = AssignContracts},
        {.menuId = 5154,
         .label = "Assegnazione Codifiche &Estese",
         .cli = "assign-extcodes",
         .help = "Assegna lotto, azienda di gestione e subappaltatrice alle corse",
         .parameters = extendedCodeParameters(),
         .entry = AssignExtendedCodes},
        {.menuId = 5165,
         .label = "Sistemazione &Subappalti Codice=0",
         .cli = "fix-subcontracts",
         .help = "Dove il subappalto è 0 assegna l'azienda di gestione",
         .entry = FixSubcontracts},
        {.menuId = 5149,
         .label = "Assegnazione Codici &Percorso da Linea",
         .cli = "assign-route-codes",
         .help = "Codici percorso dalla linea e dal verso delle corse (12_A_01)",
         .entry = AssignRouteCodes},
        {.menuId = 5138,
         .label = "Assegnazione &Tipo Mezzo (Aziendale)",
         .cli = "assign-vehicle",
         .help = "Senza --line né --authority: tutte le corse dell'azienda",
         .parameters = {vehicleType(kVehicleCompanyFormId), vehicleLine(), vehicleAuthority()},
         .entry = AssignVehicleToCompany},
        {.menuId = 5139,
         .label = "Assegnazione Tipo &Mezzo (Linea)",
         .cli = "assign-vehicle",
         .cliVariant = "--line",
         .parameters = {vehicleType(kVehicleLineFormId), vehicleLine(), vehicleAuthority()},
         .entry = AssignVehicleToLine},
        {.menuId = 5140,
         .label = "Assegnazione Tipo Mezzo (&Ente)",
         .cli = "assign-vehicle",
         .cliVariant = "--authority",
         .parameters = {vehicleType(kVehicleAuthorityFormId), vehicleLine(), vehicleAuthority()},
         .entry = AssignVehicleToAuthority},
        {.menuId = 5127,
         .label = "Pulizia Corse &Standard inutilizzate",
         .cli = "clean-standard-trips",
         .help = "Elimina le corse standard che nessuna corsa utilizza",
         .entry = CleanStandardTrips},
        {.menuId = 5129,
         .label = "Pulizia &Percorsi inutilizzati",
         .cli = "clean-routes",
         .help = "Elimina i percorsi che nessuna corsa né corsa standard utilizza",
         .entry = CleanRoutes},
        {.menuId = 5128,
         .label = "Pulizia &Fermate inutilizzate",
         .cli = "clean-stops",
         .help = "Elimina le fermate che nessun percorso né corsa standard utilizza",
         .entry = CleanStops},
        {.menuId = 5137,
         .label = "&Codici Corsa",
         .cli = "blank-trip-codes",
         .help = "Azzera i codici corsa di tutte le corse",
         .entry = BlankTripCodes},
        {.menuId = 5148,
         .label = "Pulizia Corse x &Periodo",
         .cli = "clean-period",
         .help = "Elimina le corse con un periodo di validità da --start a --end",
         .parameters = periodParameters(),
         .entry = CleanPeriod},
    };
}

} // namespace tramela::app
