#include "comm/gtfs/gtfs_import.h"

#include "comm/gtfs/feed_readers.h"
#include "comm/gtfs/feed_values.h"
#include "comm/gtfs/model_builder.h"
#include "comm/gtfs/model_writer.h"
#include "comm/gtfs/projection.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "ui/progress_bar.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <fmt/format.h>
#include <future>
#include <tuple>

namespace tramela::comm::gtfs {

namespace {

constexpr std::string_view kCaption = "Importazione GTFS";
constexpr std::string_view kNothingWritten = "Nessun dato è stato registrato.";

// The files of the feed in the order they are read. A required file must be there before
// anything is read; an optional one is skipped when missing, unless its alternative is missing
// too. A file read aside needs nothing the others give: it is read on a thread of its own while
// they are read, and its fault is told in its turn.
struct FeedFile {
    std::string_view name;
    bool required;
    std::string_view alternative;
    bool (*read)(const CsvInput&, Feed&, FeedError&);
    bool aside = false;
};

constexpr FeedFile kFeedFiles[] = {
    {"agency.txt", true, {}, readAgency},
    {"stops.txt", true, {}, readStops},
    {"routes.txt", true, {}, readRoutes},
    {"calendar.txt", false, "calendar_dates.txt", readCalendar},
    {"calendar_dates.txt", false, {}, readCalendarDates},
    {"trips.txt", true, {}, readTrips},
    {"stop_times.txt", true, {}, readStopTimes},
    {"frequencies.txt", false, {}, readFrequencies},
    {"shapes.txt", false, {}, readShapes, true},
};

// A file read aside, into a feed of its own, from a source of its own (an archive is not read
// by two threads at once).
struct AsideRead {
    Feed feed;
    FeedError error;
    std::future<bool> done;
};

void startAside(AsideRead& aside, const FeedFile& file, const std::filesystem::path& feed) {
    aside.done = std::async(std::launch::async, [&aside, &file, feed] {
        const auto source = FeedSource::open(feed, aside.error);
        return source && file.read(CsvInput(*source, file.name), aside.feed, aside.error);
    });
}

// Temporary files of the engine kept in memory while the feed is written: every insert into a
// table with relations keeps a statement journal, and a journal on disk costs several writes per
// row (1.9 million writes for 60,000 trips).
class MemoryTemporaries {
public:
    explicit MemoryTemporaries(store::DatabaseConnection& connection)
        : m_connection(connection) {
        m_connection.execute("PRAGMA temp_store=MEMORY");
    }

    MemoryTemporaries(const MemoryTemporaries&) = delete;
    MemoryTemporaries& operator=(const MemoryTemporaries&) = delete;

    ~MemoryTemporaries() { m_connection.execute("PRAGMA temp_store=DEFAULT"); }

private:
    store::DatabaseConnection& m_connection;
};

// How the import ended, told once the progress bar is hidden: a fault of the feed, another
// failure, or the closing summary.
struct Ending {
    bool imported = false;
    std::optional<FeedError> feedError;
    std::string text;
};

Ending feedFault(FeedError error) {
    return {false, std::move(error), {}};
}

Ending failure(std::string text) {
    return {false, std::nullopt, std::move(text)};
}

void showFeedError(ui::Ui& ui, const FeedError& error) {
    const std::string where = error.line > 0
                                  ? fmt::format("file {}, riga {}", error.file, error.line)
                                  : fmt::format("file {}", error.file);
    ui.Message(
        fmt::format(
            "Importazione GTFS non eseguita.\n\n{}: {}\n\n{}", where, error.text, kNothingWritten),
        ui::Icon::Stop,
        kCaption);
}

bool fail(ui::Ui& ui, std::string_view text) {
    ui.Message(fmt::format("Importazione GTFS non eseguita.\n\n{}\n\n{}", text, kNothingWritten),
               ui::Icon::Stop,
               kCaption);
    return false;
}

long rowCount(store::DatabaseConnection& connection, std::string_view table) {
    store::QueryCursor query(connection);
    query.SetSelect("COUNT(*)");
    query.SetFrom(table);
    std::int32_t count = -1;
    if (!query.Execute() || !query.hasRow() || !query.GetLong(0, count)) {
        return -1;
    }
    return count;
}

bool codeExists(store::DatabaseConnection& connection, std::string_view table, int code) {
    store::TableCursor cursor(&connection, table);
    const std::string key = std::to_string(code);
    return cursor.IsOpen() && cursor.SelectIndex("codice") && cursor.Seek({key});
}

// The planar system: the one asked for, or the UTM zone of the centre of the served stops.
int planarSystem(const ImportOptions& options, const Feed& feed) {
    if (options.epsg) {
        return *options.epsg;
    }
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
    for (const StopRecord& stop : feed.stops) {
        if (stop.served && stop.hasPosition) {
            minLat = std::min(minLat, stop.latitude);
            maxLat = std::max(maxLat, stop.latitude);
            minLon = std::min(minLon, stop.longitude);
            maxLon = std::max(maxLon, stop.longitude);
        }
    }
    return minLat > maxLat ? 32632 : utmZoneEpsg((minLon + maxLon) / 2, (minLat + maxLat) / 2);
}

// The rows written in each table and the adaptations made.
std::string summary(const ImportOptions& options,
                    int epsg,
                    const Model& model,
                    bool createMaster,
                    const Adaptations& adaptations) {
    std::string text =
        fmt::format("Importazione GTFS completata ({}, EPSG:{}).\n\n", options.feed.string(), epsg);
    const std::pair<const char*, size_t> counts[] = {
        {"comuni", model.municipalities.size()},
        {"local", model.localities.size()},
        {"fermate", model.servedStops},
        {"itiner", model.routes.size()},
        {"geoitin", model.routes.size()},
        {"fermitin", model.routeStopRows},
        {"cadenz", model.cadences.size()},
        {"calend", model.calendarRows},
        {"tesstd", model.standards.size()},
        {"detstd", model.standardRows},
        {"master", createMaster ? size_t{1} : size_t{0}},
        {"corse", model.trips.size()},
        {"period", model.trips.size()},
        {"extcod", model.trips.size()},
    };
    for (const auto& [table, count] : counts) {
        text += fmt::format("Registrate {} righe in {}\n", count, table);
    }
    return text + "\n" + adaptations.text();
}

// Reads the feed, builds the model and writes it in one transaction, the progress bar shown
// for as long as it takes.
Ending importFeed(workspace::Workspace& window,
                  const FeedSource& source,
                  const ImportOptions& options,
                  const Codes& codes,
                  bool createMaster) {
    ui::ProgressBar bar(window.ui());
    const auto steps = static_cast<std::int64_t>(std::size(kFeedFiles)) + 2;
    Feed feed;
    FeedError error;
    AsideRead asides[std::size(kFeedFiles)];
    for (size_t i = 0; i < std::size(kFeedFiles); ++i) {
        if (kFeedFiles[i].aside && source.has(kFeedFiles[i].name)) {
            startAside(asides[i], kFeedFiles[i], options.feed);
        }
    }
    for (size_t i = 0; i < std::size(kFeedFiles); ++i) {
        const FeedFile& file = kFeedFiles[i];
        window.ShowProgressCaption(fmt::format("Lettura {}", file.name));
        bar.set(static_cast<std::int64_t>(i), steps);
        if (!source.has(file.name)) {
            if (!file.alternative.empty() && !source.has(file.alternative)) {
                return feedFault({std::string(file.name),
                                  0,
                                  fmt::format("manca sia {} sia {}", file.name, file.alternative)});
            }
            continue;
        }
        if (file.aside) {
            if (!asides[i].done.get()) {
                return feedFault(std::move(asides[i].error));
            }
            // What a file read aside fills: the shapes.
            feed.shapes = std::move(asides[i].feed.shapes);
        } else if (!file.read(CsvInput(source, file.name), feed, error)) {
            return feedFault(std::move(error));
        }
    }
    if (feed.trips.empty()) {
        return feedFault({"trips.txt", 0, "il feed non contiene alcuna corsa"});
    }
    const int epsg = planarSystem(options, feed);
    std::string projectionError;
    const auto projection = Projection::create(epsg, &projectionError);
    if (!projection) {
        return failure(projectionError);
    }

    window.ShowProgressCaption("Costruzione percorsi e corse standard");
    Adaptations adaptations;
    Model model;
    if (!buildModel(feed, *projection, adaptations, model, error) ||
        !assignLocalities(options.localities, feed, adaptations, model, error)) {
        return feedFault(std::move(error));
    }

    window.ShowProgressCaption("Registrazione dati GTFS");
    bar.set(steps - 1, steps);
    const MemoryTemporaries temporaries(*window.connection());
    store::Transaction transaction(*window.connection());
    if (!transaction.active()) {
        return failure("Impossibile aprire la transazione.");
    }
    if (!writeModel(*window.connection(), feed.stops, model, codes, createMaster)) {
        transaction.rollback();
        return failure("Una riga è stata rifiutata dal database (vedi il messaggio precedente).");
    }
    if (!transaction.commit()) {
        return failure("La transazione non è stata confermata.");
    }
    return {true, std::nullopt, summary(options, epsg, model, createMaster, adaptations)};
}

} // namespace

bool ImportGtfs(workspace::Workspace& window, const ImportOptions& options) {
    ui::Ui& ui = window.ui();
    store::DatabaseConnection* connection = window.connection();
    if (connection == nullptr || !connection->IsOpen()) {
        return fail(ui, "Nessun database è connesso.");
    }
    static constexpr std::string_view kTables[] = {"master",
                                                   "cadenz",
                                                   "calend",
                                                   "tesstd",
                                                   "detstd",
                                                   "corse",
                                                   "extcod",
                                                   "period",
                                                   "regent",
                                                   "reglot",
                                                   "regazi",
                                                   "fermate",
                                                   "itiner",
                                                   "fermitin",
                                                   "geoitin",
                                                   "local",
                                                   "comuni"};
    for (const std::string_view table : kTables) {
        if (!connection->tableExists(table)) {
            return fail(ui,
                        fmt::format("Il database non contiene la tavola \"{}\": eseguire prima "
                                    "\"Crea Tavole Tramela\" (create-tables).",
                                    table));
        }
    }
    // A second import would duplicate every stop, route and trip: only an empty network is
    // filled.
    for (const std::string_view table : {"fermate",
                                         "itiner",
                                         "fermitin",
                                         "geoitin",
                                         "local",
                                         "comuni",
                                         "cadenz",
                                         "calend",
                                         "tesstd",
                                         "detstd",
                                         "corse",
                                         "period",
                                         "extcod"}) {
        const long count = rowCount(*connection, table);
        if (count != 0) {
            return fail(ui,
                        fmt::format("Il database contiene già dei dati (tavola \"{}\"): "
                                    "l'importazione GTFS si esegue solo su un database senza "
                                    "fermate, percorsi, cadenze e corse.",
                                    table));
        }
    }

    Codes codes;
    bool createMaster = true;
    {
        store::TableCursor master(connection, "master");
        std::string company;
        if (master.IsOpen() && master.SelectIndex("codice") && master.Seek({"0"}) &&
            master.GetFieldText("azienda", company)) {
            createMaster = false;
            codes.company = parseNumber<int>(company).value_or(0);
        }
    }
    codes.authority = options.authority.value_or(0);
    codes.lot = options.lot.value_or(0);
    codes.company = options.company.value_or(codes.company);
    codes.subcontractor = options.subcontractor.value_or(codes.company);
    for (const auto& [table, code, what] :
         {std::tuple{"regent", codes.authority, "l'ente"},
          std::tuple{"reglot", codes.lot, "il lotto"},
          std::tuple{"regazi", codes.company, "l'azienda"},
          std::tuple{"regazi", codes.subcontractor, "l'azienda subappaltatrice"}}) {
        if (!codeExists(*connection, table, code)) {
            return fail(ui,
                        fmt::format("Il codice {} del registro \"{}\" non esiste: {} indicato "
                                    "non è valido.",
                                    code,
                                    table,
                                    what));
        }
    }

    window.ShowProgressCaption("Lettura feed GTFS");
    FeedError error;
    const auto source = FeedSource::open(options.feed, error);
    if (!source) {
        showFeedError(ui, error);
        return false;
    }
    for (const FeedFile& file : kFeedFiles) {
        if (file.required && !source->has(file.name)) {
            showFeedError(ui, {std::string(file.name), 0, "manca il file obbligatorio del feed"});
            return false;
        }
    }
    const Ending ending = importFeed(window, *source, options, codes, createMaster);
    if (ending.feedError) {
        showFeedError(ui, *ending.feedError);
    } else if (!ending.imported) {
        fail(ui, ending.text);
    } else {
        ui.Message(ending.text, ui::Icon::Information, kCaption);
    }
    return ending.imported;
}

} // namespace tramela::comm::gtfs
