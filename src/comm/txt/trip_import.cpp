#include "comm/txt/trip_import.h"

#include "comm/txt/import_frame.h"
#include "comm/txt/record_importers.h"
#include "comm/txt/record_layouts.h"
#include "network/congruence.h"
#include "store/database_connection.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "ui/ui.h"
#include "workspace/workspace.h"

#include <fmt/format.h>
#include <string>
#include <unordered_map>
#include <vector>

namespace tramela::comm {

namespace {

constexpr std::string_view kTripProblems =
    "Si sono verificati problemi durante l'importazione delle Corse.";

// What a trip header carries besides what the congruence check needs.
struct TripHeader {
    std::string code;
    std::string line;
    std::string direction;
    long authority = 0;
    bool reclassified = false; // an unknown authority stored as 0
    long length = 0;           // metres
    long duration = 0;         // minutes
    long contractLength = 0;
    long contractDuration = 0;
};

// The trips of one run: the headers and, in the same order, what the congruence check and the
// standard-trip identification work on. A trip is found by its identifier; of two headers with
// one identifier the first takes the detail rows, so the second has none and fails the check.
struct TripImage {
    std::vector<TripHeader> headers;
    std::vector<network::TimetableTrip> trips;
    std::unordered_map<long, std::size_t> byId;

    network::TimetableTrip* find(long id) {
        const auto found = byId.find(id);
        return found == byId.end() ? nullptr : &trips[found->second];
    }
};

std::optional<std::filesystem::path> chooseTripFile(workspace::Workspace& window,
                                                    bool completeImport,
                                                    const RecordLayout& layout,
                                                    std::string title) {
    if (completeImport) {
        return combinedImportFolder() / layout.file;
    }
    std::string_view name = layout.file;
    name.remove_suffix(4); // ".TXT"
    ui::FileDialog dialog = importFileDialog(std::move(title), std::string(name));
    dialog.key = importFileKey(layout);
    return window.ui().OpenFile(dialog);
}

ImportPasses readHeaders(workspace::Workspace& window,
                         const std::filesystem::path& path,
                         const ImportMaster& master,
                         TripImage& image) {
    const RecordLayout& layout = tripHeaderLayout();
    const LayoutField& id = layoutField(layout, "corse.ID");
    const LayoutField& code = layoutField(layout, "corse.codcorsa");
    const LayoutField& authority = layoutField(layout, "corse.ente");
    const LayoutField& length = layoutField(layout, "corse.lung, integer metres");
    const LayoutField& duration = layoutField(layout, "corse.tempo, minutes");
    const LayoutField& contractLength = layoutField(layout, "corse.ct_lung, integer metres");
    const LayoutField& contractDuration = layoutField(layout, "corse.ct_tempo, minutes");
    const LayoutField& line = layoutField(layout, "corse.codlinea");
    const LayoutField& direction = layoutField(layout, "corse.verso, A or R");
    const LayoutField& route = layoutField(layout, "itiner.codperc");
    const auto authorities = loadCodeNumbers(*window.connection(), "regent", "codice");

    // An unknown or illegible authority is reclassified, an illegible contract code set to zero
    // (it is never stored); the identifier and the measures have nothing to stand for them.
    ImportSteps steps{
        .file = ImportFile::TripHeader,
        .layout = layout,
        .writeCaption = "Importazione Teste Corsa",
        .rules = {NumberRule{"corse.ID", ImportProblem::IllegalNumber, entry::kNonNumericTrip},
                  NumberRule{"corse.ente",
                             ImportProblem::UnknownAuthority,
                             entry::kNonNumericAuthority,
                             among(authorities),
                             entry::unknownAuthority},
                  NumberRule{"contract code, always 0000",
                             ImportProblem::NonNumericContract,
                             entry::kNonNumericContract},
                  NumberRule{"corse.lung, integer metres",
                             ImportProblem::IllegalNumber,
                             entry::kNonNumericLength},
                  NumberRule{"corse.tempo, minutes",
                             ImportProblem::IllegalNumber,
                             entry::kNonNumericDuration},
                  NumberRule{"corse.ct_lung, integer metres",
                             ImportProblem::IllegalNumber,
                             entry::kNonNumericContractLength},
                  NumberRule{"corse.ct_tempo, minutes",
                             ImportProblem::IllegalNumber,
                             entry::kNonNumericContractDuration}},
        .write =
            [&](std::string_view text) {
                // The first pass refused the file unless the identifier and the measures are
                // all digits.
                const auto number = [&](const LayoutField& field) {
                    return digitsValue(fieldIn(text, field)).value_or(0);
                };
                TripHeader header;
                header.code = requiredText(fieldIn(text, code));
                header.line = requiredText(fieldIn(text, line));
                header.direction = requiredText(fieldIn(text, direction));
                const RegisterCode authorityCode =
                    registerCode(fieldIn(text, authority), authorities);
                header.authority = authorityCode.code;
                header.reclassified = authorityCode.reclassified;
                header.length = number(length);
                header.duration = number(duration);
                header.contractLength = number(contractLength);
                header.contractDuration = number(contractDuration);
                network::TimetableTrip trip;
                const long identifier = number(id);
                trip.id = network::TripId{static_cast<std::int32_t>(identifier)};
                trip.routeCode = storedText(fieldIn(text, route));
                image.byId.try_emplace(identifier, image.trips.size());
                image.headers.push_back(std::move(header));
                image.trips.push_back(std::move(trip));
            },
    };
    return runImportPasses(window, path, master, steps);
}

ImportPasses readDetails(workspace::Workspace& window,
                         const std::filesystem::path& path,
                         const ImportMaster& master,
                         TripImage& image) {
    const RecordLayout& layout = tripDetailLayout();
    const LayoutField& id = layoutField(layout, "corse.ID");
    const LayoutField& sub = layoutField(layout, "detstd.sub");
    const LayoutField& code = layoutField(layout, "fermate.fermata");
    const LayoutField& name = layoutField(layout, "fermate.denom");
    const LayoutField& location = layoutField(layout, "fermate.ubicaz");
    const LayoutField& distance = layoutField(layout, "fermitin.condist, integer metres");
    const LayoutField& arrival = layoutField(layout, "arrival; 9999 on the first row");
    const LayoutField& departure = layoutField(layout, "departure; 9999 on the last row");
    const LayoutField& primary = layoutField(layout, "fermitin.primaria");
    const LayoutField& optional = layoutField(layout, "fermitin.facolt");
    const LayoutField& passes = layoutField(layout, "detstd.nonferma");

    // A row of a trip the header file did not declare, or whose identifier is illegible, is
    // ignored after the question.
    ImportSteps steps{
        .file = ImportFile::TripDetail,
        .layout = layout,
        .writeCaption = "Importazione Orari Corsa",
        .rules = {NumberRule{"corse.ID",
                             ImportProblem::UnknownTrip,
                             entry::kNonNumericTrip,
                             [&](long trip) { return image.find(trip) != nullptr; },
                             entry::unknownTrip},
                  NumberRule{
                      "detstd.sub", ImportProblem::IllegalNumber, entry::kNonNumericProgressive},
                  NumberRule{"fermitin.condist, integer metres",
                             ImportProblem::IllegalNumber,
                             entry::kNonNumericDistance},
                  TimeRule{"arrival; 9999 on the first row"},
                  TimeRule{"departure; 9999 on the last row"}},
        .write =
            [&](std::string_view text) {
                const auto identifier = digitsValue(fieldIn(text, id));
                network::TimetableTrip* trip = identifier ? image.find(*identifier) : nullptr;
                if (trip == nullptr) {
                    return; // the question announced that these rows are ignored
                }
                // The first pass refused the file unless these fields are all digits.
                const auto number = [&](const LayoutField& field) {
                    return static_cast<std::int32_t>(digitsValue(fieldIn(text, field)).value_or(0));
                };
                network::TimetableStop stop;
                stop.sub = number(sub);
                stop.code = storedText(fieldIn(text, code));
                stop.name = storedText(fieldIn(text, name));
                stop.location = storedText(fieldIn(text, location));
                stop.progressive = number(distance);
                stop.arrival = number(arrival);
                stop.departure = number(departure);
                stop.primary = fieldIn(text, primary) == "1";
                stop.optional = fieldIn(text, optional) == "1";
                stop.passes = fieldIn(text, passes) == "1";
                trip->stops.push_back(std::move(stop));
            },
    };
    return runImportPasses(window, path, master, steps);
}

// A trip needs every time that places it: the departure from its first stop, the arrival at its
// last and both times at every stop between. The file allows 9999 in any time field, but read as
// 99:99 it would give a standard trip offsets of thousands of minutes; such a trip is left out
// like one that does not fit its route, with a line of its own in the report. Gives those lines.
std::vector<std::string> leaveOutTripsWithoutTimes(std::vector<network::TimetableTrip>& trips) {
    constexpr std::int32_t kNoTime = 9999;
    std::vector<std::string> lines;
    for (network::TimetableTrip& trip : trips) {
        const std::size_t count = trip.stops.size();
        for (std::size_t k = 0; k < count; ++k) {
            const network::TimetableStop& stop = trip.stops[k];
            if ((k != 0 && stop.arrival == kNoTime) ||
                (k + 1 != count && stop.departure == kNoTime)) {
                lines.push_back(
                    fmt::format("Corsa ID={} sub={}; orario mancante", trip.id.value, stop.sub));
                trip.valid = false;
            }
        }
    }
    return lines;
}

// The congruence lines go into the import's error report with the check's heading in place of a
// file and neither line nor offset.
void offerCongruenceReport(workspace::Workspace& window, const network::CongruenceResult& result) {
    ImportErrors errors{std::filesystem::path(network::kCongruenceHeading)};
    for (const std::string& line : result.errors) {
        errors.add(
            ImportProblem::UnknownTrip, ImportErrors::kNoLine, ImportErrors::kNoOffset, line);
    }
    offerImportReport(
        errors, window.connection()->path(), window.ui(), network::kCongruenceReportKey);
}

// Sets primaria and facolt of every stop of every loaded route to the flags the trips gave it;
// a stop that no stored trip passes gets both false. Gives the rows updated.
long adjustRouteStops(workspace::Workspace& window, const network::RouteDefinitions& routes) {
    long total = 0;
    for (const network::RouteDefinition& route : routes.routes()) {
        total += static_cast<long>(route.stops.size());
    }
    window.ShowProgressCaption("Aggiustamento Fermate Primarie/Facoltative");
    window.ShowProgressBar();
    store::TableCursor fermitin(window.connection(), "fermitin");
    const bool indexed = fermitin.SelectIndex("codice");
    long adjusted = 0;
    long done = 0;
    for (const network::RouteDefinition& route : routes.routes()) {
        const std::string id = std::to_string(route.id.value);
        for (const network::RouteDefinitionStop& stop : route.stops) {
            const std::string sub = std::to_string(stop.sub);
            if (indexed && fermitin.Seek({id, sub}) && fermitin.Edit() &&
                fermitin.SetField("primaria", stop.primary ? "1" : "0") &&
                fermitin.SetField("facolt", stop.optional ? "1" : "0") && fermitin.Update()) {
                ++adjusted;
            }
            window.SetProgress(++done, total);
        }
    }
    return adjusted;
}

struct StoredTrips {
    long added = 0;
    long reclassified = 0; // of those added, the trips whose authority was unknown
};

// Adds a corse row for every trip that agrees with its route, up to the first row the database
// refuses (it has said why).
StoredTrips storeTrips(workspace::Workspace& window, const TripImage& image) {
    window.ShowProgressCaption("Registrazione Corse e Orari");
    window.ShowProgressBar();
    store::TableCursor corse(window.connection(), "corse");
    StoredTrips stored;
    const auto total = static_cast<std::int64_t>(image.trips.size());
    for (std::size_t i = 0; i < image.trips.size(); ++i) {
        const network::TimetableTrip& trip = image.trips[i];
        const TripHeader& header = image.headers[i];
        window.SetProgress(static_cast<std::int64_t>(i) + 1, total);
        if (!trip.valid || !trip.route || !trip.standard || trip.stops.empty()) {
            continue;
        }
        if (!(corse.AddNew() && corse.SetField("ID", std::to_string(trip.id.value)) &&
              corse.SetField("codcorsa", header.code) && corse.SetField("codlinea", header.line) &&
              corse.SetField("verso", header.direction) &&
              corse.SetField("parte", std::to_string(trip.stops.front().departure)) &&
              corse.SetField("ente", std::to_string(header.authority)) &&
              corse.SetField("lung", std::to_string(header.length)) &&
              corse.SetField("tempo", std::to_string(header.duration)) &&
              corse.SetField("ct_lung", std::to_string(header.contractLength)) &&
              corse.SetField("ct_tempo", std::to_string(header.contractDuration)) &&
              corse.SetField("id_perc", std::to_string(trip.route->value)) &&
              corse.SetField("standard", std::to_string(trip.standard->value)) &&
              corse.SetField("mezzo", " ") && corse.SetField("prevcor", "0") &&
              corse.SetField("nextcor", "0") && corse.Update())) {
            break;
        }
        ++stored.added;
        stored.reclassified += header.reclassified ? 1 : 0;
    }
    return stored;
}

// The closing of an import that wrote nothing: failed, or cancelled when the user did not go on
// past remediable problems of a file.
ui::Outcome endWithProblems(workspace::Workspace& window, bool declined = false) {
    window.ui().Message(kTripProblems, ui::Icon::Stop);
    return declined ? ui::Outcome::Cancelled : ui::Outcome::Failed;
}

} // namespace

ui::Outcome ImportTrips(workspace::Workspace& window, bool completeImport) {
    if (!window.isConnected()) {
        return ui::Outcome::Failed;
    }
    store::DatabaseConnection& connection = *window.connection();
    const auto master = readImportMaster(connection);
    if (!master) {
        return ui::Outcome::Failed;
    }
    ui::Ui& ui = window.ui();

    TripImage image;
    const auto headerPath =
        chooseTripFile(window, completeImport, tripHeaderLayout(), "Importazione Dati Testa Corsa");
    if (!headerPath) {
        return ui::Outcome::Cancelled;
    }
    const ImportPasses headers = readHeaders(window, *headerPath, *master, image);
    if (headers.read < 0) {
        return ui::Outcome::Failed;
    }
    // An empty file, a refused one or a Cancel at the question all leave no trip to go on with.
    if (image.trips.empty()) {
        return endWithProblems(window, headers.declined);
    }

    const auto detailPath = chooseTripFile(
        window, completeImport, tripDetailLayout(), "Importazione Dati Dettaglio Corsa");
    if (!detailPath) {
        return ui::Outcome::Cancelled;
    }
    const ImportPasses details = readDetails(window, *detailPath, *master, image);
    if (details.read < 0) {
        return ui::Outcome::Failed;
    }
    if (!details.written) {
        return endWithProblems(window, details.declined);
    }

    network::RouteDefinitions routes;
    if (!routes.Load(connection)) {
        return endWithProblems(window);
    }
    const std::vector<std::string> missingTimes = leaveOutTripsWithoutTimes(image.trips);
    network::CongruenceResult congruence = network::CheckCongruence(ui, routes, image.trips);
    congruence.errors.insert(congruence.errors.end(), missingTimes.begin(), missingTimes.end());
    const network::CongruenceOutcome outcome = network::AskCongruenceOutcome(ui, congruence);
    if (outcome.saveReport) {
        offerCongruenceReport(window, congruence);
    }
    if (!outcome.proceed) {
        return endWithProblems(window);
    }
    // Standard trips are numbered after those the database already holds, so that an import
    // into a database with standard trips does not clash with them.
    auto next = network::NextStandardTripId(connection);
    if (!next) {
        return endWithProblems(window);
    }
    network::IdentifyStandardTrips(ui, routes, image.trips, *next);

    long standardTrips = 0;
    for (const network::RouteDefinition& route : routes.routes()) {
        standardTrips += static_cast<long>(route.standardTrips.size());
    }
    std::int64_t standardRows = 0;
    for (const network::RouteDefinition& route : routes.routes()) {
        for (const network::StandardTrip& standard : route.standardTrips) {
            standardRows += static_cast<std::int64_t>(standard.rows.size());
        }
    }

    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return ui::Outcome::Failed;
    }
    network::StandardTripCounts stored = network::StoreStandardTrips(connection, routes);
    long adjusted = adjustRouteStops(window, routes);
    StoredTrips trips = storeTrips(window, image);

    // The trips that failed the check were left out with the user's consent; a row refused
    // among the rest (most often a trip the database holds: the same files imported twice) makes
    // the import fail with nothing of the files kept, not even the standard trips made for them,
    // and the combined import stops there.
    const bool success = stored.headers == standardTrips && stored.rows == standardRows &&
                         trips.added == congruence.validTrips;
    window.HideProgressBar();
    if (!success) {
        transaction.rollback();
        stored = {};
        adjusted = 0;
        trips = {};
    } else if (!transaction.commit()) {
        return ui::Outcome::Failed; // nothing was kept, and the connection has said why
    }
    std::string text = fmt::format("Risultato dell'importazione delle Corse:\n\n"
                                   "Lette {} righe Corsa\n"
                                   "Lette {} righe Orario\n\n"
                                   "Inserite {} righe Corsa Standard\n"
                                   "Inserite {} righe Tempi Corsa Standard\n"
                                   "Inserite {} righe Corsa\n",
                                   headers.read,
                                   details.read,
                                   stored.headers,
                                   stored.rows,
                                   trips.added);
    if (trips.reclassified > 0) {
        text +=
            fmt::format("Riclassificate {} righe Corsa con Ente sconosciuto\n", trips.reclassified);
    }
    text += fmt::format("Aggiustate {} righe Dettaglio Percorso\n", adjusted);
    if (!success) {
        text += "\n";
        text += kTripProblems;
        text += "\nNessuna riga è stata registrata: la base dati è rimasta com'era.";
    }
    ui.Message(text, success ? ui::Icon::Information : ui::Icon::Stop);
    return success ? ui::Outcome::Done : ui::Outcome::Failed;
}

ui::Outcome ImportAll(workspace::Workspace& window) {
    if (!window.isConnected()) {
        return ui::Outcome::Failed;
    }
    // One transaction around the six steps, each step's own nested in it: a step that fails
    // keeps the steps done before it, and a crash or a kill midway leaves the database as it
    // was before the import.
    store::Transaction whole(*window.connection());
    if (!whole.active()) {
        return ui::Outcome::Failed;
    }
    using Importer = ui::Outcome (*)(workspace::Workspace&, bool);
    ui::Outcome outcome = ui::Outcome::Done;
    for (const Importer importer : {ImportProtocol,
                                    ImportCadences,
                                    ImportCalendar,
                                    ImportTrips,
                                    ImportPeriods,
                                    ImportExtendedCodes}) {
        outcome = importer(window, true);
        if (outcome != ui::Outcome::Done) {
            break;
        }
    }
    if (!whole.commit()) {
        return ui::Outcome::Failed;
    }
    if (outcome != ui::Outcome::Done) {
        window.ui().Message("Il risultato dell'azione precedente rende impossibile completare "
                            "l'importazione dei dati.",
                            ui::Icon::Stop);
        return outcome;
    }
    window.ui().Message("L'importazione complessiva dei dati è terminata con successo.",
                        ui::Icon::Information);
    return ui::Outcome::Done;
}

} // namespace tramela::comm
