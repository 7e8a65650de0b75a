#include "support/run_process.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::cli {
namespace {

using test::ProcessResult;

const std::filesystem::path kCorpus = std::filesystem::path(TRAMELA_TEST_DATA) / "malformed";

constexpr std::string_view kBlocking = "SONO STATI RILEVATI ERRORI BLOCCANTI";
constexpr std::string_view kRemediable = "SONO STATI RILEVATI ERRORI RIMEDIABILI";
constexpr std::string_view kNotToLayout = "non risulta corrispondere\nalle specifiche stabilite";
constexpr std::string_view kIllegalNumbers = "contiene dei valori NUMERICI illegali";
constexpr std::string_view kIllegalTimes = "contiene dei valori ORARIO illegali";
constexpr std::string_view kIllegalDates = "contiene dei valori DATA illegali";
constexpr std::string_view kCompany = "il Codice Regionale Azienda indicato nel file di testo";
constexpr std::string_view kNoTrips = "Si sono verificati problemi durante l'importazione delle "
                                      "Corse.";
constexpr std::string_view kDiscarded = "Righe scartate dal file";
constexpr std::string_view kUndecodable = "Il file non può essere decodificato con la passphrase";
constexpr std::string_view kAnomaly = "ATTENZIONE: è stata riscontrata una anomalia grave";

// A malformed file, the command that reads it, and how the command refuses it: its exit status
// and a piece of what it says. A blocking problem fails (1); a remediable one is asked about and
// nobody answers (3).
struct Case {
    std::string_view file;
    int exitCode;
    std::string_view says;
};

// What the database holds, row by row in every table, as one number.
std::size_t contentHash(const std::filesystem::path& database) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
    std::vector<std::string> tables;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name",
                       -1,
                       &statement,
                       nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    std::string content;
    for (const std::string& table : tables) {
        sqlite3_prepare_v2(
            db, ("SELECT * FROM \"" + table + "\" ORDER BY 1").c_str(), -1, &statement, nullptr);
        content += table + "\n";
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto* value = sqlite3_column_blob(statement, i);
                content.append(static_cast<const char*>(value),
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, i)));
                content += '\x1F';
            }
            content += '\n';
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return std::hash<std::string>{}(content);
}

class MalformedInputTest : public ::testing::Test {
protected:
    MalformedInputTest() {
        test::writeFile(dir / "settings.toml",
                        "[tramela]\nDirectory = \"" + (dir / "app").string() + "\"\n");
        const ProcessResult demo = runIn({"demo", "demo.sqlite"});
        EXPECT_EQ(demo.exitCode, 0) << demo.err;
        original = contentHash(dir / "demo.sqlite");
    }

    // Switches the cases that follow to an empty database with the system's tables, the only
    // kind the GTFS import fills.
    void startFromEmptyTables() {
        ASSERT_EQ(runIn({"new-database", "empty.sqlite"}).exitCode, 0);
        ASSERT_EQ(runIn({"--db", "empty.sqlite", "create-tables"}).exitCode, 0);
        starting = "empty.sqlite";
        original = contentHash(dir / starting);
    }

    ProcessResult runIn(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--settings", (dir / "settings.toml").string()});
        return test::runProcess(TRAMELA_CLI, arguments, dir.path());
    }

    // Runs the command on a fresh copy of the demonstration database and checks the refusal:
    // its exit status, its text, the database unchanged, the file read and never written.
    void expectRefused(const Case& c,
                       const std::function<std::vector<std::string>(std::string)>& command) {
        SCOPED_TRACE(c.file);
        const std::filesystem::path file = kCorpus / c.file;
        const std::string bytes = contentOf(file);
        std::filesystem::copy_file(
            dir / starting, dir / "d.sqlite", std::filesystem::copy_options::overwrite_existing);
        std::vector<std::string> arguments{"--db", "d.sqlite"};
        for (std::string& argument : command(file.string())) {
            arguments.push_back(std::move(argument));
        }
        const ProcessResult refused = runIn(arguments);
        EXPECT_EQ(refused.exitCode, c.exitCode) << refused.out << refused.err;
        EXPECT_NE((refused.out + refused.err).find(c.says), std::string::npos)
            << refused.out << refused.err;
        EXPECT_EQ(contentHash(dir / "d.sqlite"), original) << "the database changed";
        EXPECT_EQ(contentOf(file), bytes) << "the input was written";
    }

    // A file's bytes, or the names and bytes of the files of a folder.
    static std::string contentOf(const std::filesystem::path& path) {
        if (!std::filesystem::is_directory(path)) {
            return test::readFile(path);
        }
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        std::string content;
        for (const auto& file : files) {
            content += file.filename().string() + "\n" + test::readFile(file);
        }
        return content;
    }

    test::TempDir dir;
    std::string starting = "demo.sqlite";
    std::size_t original = 0;
};

std::function<std::vector<std::string>(std::string)> importing(std::string command) {
    return [command](std::string file) { return std::vector<std::string>{command, file}; };
}

TEST_F(MalformedInputTest, TheRecordFilesAreRefusedWithTheirMessageAndNothingWritten) {
    const Case protocol[] = {
        {"protocol/binary.txt", 1, kNotToLayout},
        {"protocol/end-before-start.txt", 1, kNotToLayout},
        {"protocol/february-31.txt", 1, kNotToLayout},
        {"protocol/letters-in-company.txt", 1, kNotToLayout},
        {"protocol/letters-in-protocol.txt", 1, kNotToLayout},
        {"protocol/long-line.txt", 1, kNotToLayout},
        {"protocol/nul-bytes.txt", 1, kNotToLayout},
        {"protocol/short-line.txt", 1, kNotToLayout},
    };
    for (const Case& c : protocol) {
        expectRefused(c, importing("import-protocol"));
    }
    const Case cadences[] = {
        {"cadences/company-changes.txt", 3, kCompany},
        {"cadences/letters-in-company.txt", 3, kCompany},
        {"cadences/lone-cr.txt", 1, kNotToLayout},
        {"cadences/only-a-mark.txt", 1, kNotToLayout},
        {"cadences/short-line.txt", 1, kNotToLayout},
        {"cadences/tab-padded.txt", 1, kNotToLayout},
    };
    for (const Case& c : cadences) {
        expectRefused(c, importing("import-cadences"));
    }
    const Case calendar[] = {
        {"calendar/company-changes.txt", 3, kRemediable},
        {"calendar/day-00.txt", 1, kIllegalDates},
        {"calendar/letters-in-day.txt", 1, kIllegalDates},
        {"calendar/month-13.txt", 1, kIllegalDates},
        {"calendar/outside-period.txt", 3, "non rientrano nel periodo dichiarato"},
        {"calendar/short-line.txt", 1, kBlocking},
        {"calendar/unknown-cadence.txt", 1, "CODICI CADENZA"},
        {"calendar/utf8-mark-then-short.txt", 1, kBlocking},
    };
    for (const Case& c : calendar) {
        expectRefused(c, importing("import-calendar"));
    }
    const Case periods[] = {
        {"periods/blank-line.txt", 1, kBlocking},
        {"periods/end-before-start.txt", 1, "terminano prima di iniziare"},
        {"periods/february-30.txt", 1, kIllegalDates},
        {"periods/letters-in-trip.txt", 3, "si riferiscono a corse inesistenti"},
        {"periods/short-line.txt", 1, kBlocking},
        {"periods/unknown-cadence.txt", 1, "CODICI CADENZA"},
        {"periods/unknown-trip.txt", 3, "si riferiscono a corse inesistenti"},
        {"periods/utf16.txt", 1, kNotToLayout},
    };
    for (const Case& c : periods) {
        expectRefused(c, importing("import-periods"));
    }
    const Case extendedCodes[] = {
        {"extcodes/binary.txt", 1, kNotToLayout},
        {"extcodes/letters-in-company.txt", 3, "Codici Azienda risultano sconosciuti"},
        {"extcodes/letters-in-lot.txt", 3, "Codici Lotto risultano sconosciuti"},
        {"extcodes/letters-in-trip.txt", 3, "si riferiscono a corse inesistenti"},
        {"extcodes/long-line.txt", 1, kNotToLayout},
        {"extcodes/short-line.txt", 1, kNotToLayout},
        {"extcodes/spaces-only.txt", 3, kCompany},
        {"extcodes/unknown-trip.txt", 3, "si riferiscono a corse inesistenti"},
    };
    for (const Case& c : extendedCodes) {
        expectRefused(c, importing("import-extcodes"));
    }
}

TEST_F(MalformedInputTest, TheTripFilesAreRefusedWithTheirMessageAndNothingWritten) {
    const std::string validHeaders = (kCorpus / "valid" / "RT_HDORA.TXT").string();
    const std::string validDetails = (kCorpus / "valid" / "RT_DTORA.TXT").string();
    const Case headers[] = {
        {"trip-headers/binary.txt", 1, kNotToLayout},
        {"trip-headers/empty.txt", 1, kNoTrips},
        {"trip-headers/letters-in-duration.txt", 1, kIllegalNumbers},
        {"trip-headers/letters-in-length.txt", 1, kIllegalNumbers},
        {"trip-headers/letters-in-trip.txt", 1, kIllegalNumbers},
        {"trip-headers/long-line.txt", 1, kNotToLayout},
        {"trip-headers/negative-length.txt", 1, kIllegalNumbers},
        {"trip-headers/short-line.txt", 1, kNotToLayout},
    };
    for (const Case& c : headers) {
        expectRefused(c, [&](std::string file) {
            return std::vector<std::string>{"import-trips", file, validDetails};
        });
    }
    const Case details[] = {
        {"trip-details/hour-25.txt", 1, kIllegalTimes},
        {"trip-details/letters-in-distance.txt", 1, kIllegalNumbers},
        {"trip-details/letters-in-stop-number.txt", 1, kIllegalNumbers},
        {"trip-details/letters-in-time.txt", 1, kIllegalTimes},
        {"trip-details/lf-in-name.txt", 1, kNotToLayout},
        {"trip-details/minute-60.txt", 1, kIllegalTimes},
        {"trip-details/short-line.txt", 1, kNotToLayout},
        {"trip-details/unknown-trip.txt", 3, "si riferiscono a corse inesistenti"},
    };
    for (const Case& c : details) {
        expectRefused(c, [&](std::string file) {
            return std::vector<std::string>{"import-trips", validHeaders, file};
        });
    }
}

TEST_F(MalformedInputTest, TheGtfsFeedsAreRefusedWithTheirMessageAndNothingWritten) {
    startFromEmptyTables();
    const Case feeds[] = {
        {"gtfs/bad-time", 1, "file stop_times.txt, riga 3: orario non valido \"07:6x:00\""},
        {"gtfs/binary-stops", 1, "file stops.txt, riga 1: manca la colonna obbligatoria"},
        {"gtfs/coordinates-out-of-range", 1, "file stops.txt, riga 3: coordinate fuori dai limiti"},
        {"gtfs/duplicate-stop", 1, "file stops.txt, riga 5: stop_id \"s2\" duplicato"},
        {"gtfs/empty-agency", 1, "file agency.txt: il file è vuoto"},
        {"gtfs/end-before-start", 1, "file calendar.txt, riga 2: date di validità non valide"},
        // A zip of 70 kB holding a field of 64 MB whose quotes never close.
        {"gtfs/endless-quoted-field/feed.zip",
         1,
         "file stops.txt, riga 2: il campo \"stop_name\" è più lungo di 1 MB (virgolette non "
         "chiuse?)"},
        {"gtfs/missing-column", 1, "file trips.txt, riga 1: manca la colonna obbligatoria"},
        {"gtfs/missing-stop-times", 1, "file stop_times.txt: manca il file obbligatorio del feed"},
        {"gtfs/no-calendar", 1, "manca sia calendar.txt sia calendar_dates.txt"},
        {"gtfs/quote-inside-quoted-name",
         1,
         "file stops.txt, riga 2: virgolette non chiuse nel campo \"stop_name\""},
        {"gtfs/single-point-shape", 1, "file shapes.txt, riga 2: la forma \"F1\" ha un solo punto"},
        {"gtfs/times-going-back",
         1,
         "file stop_times.txt, riga 3: gli orari della corsa \"T1\" non sono crescenti"},
        {"gtfs/unclosed-quote",
         1,
         "file stops.txt, riga 3: virgolette non chiuse nel campo \"stop_name\""},
        {"gtfs/unknown-trip", 1, "file stop_times.txt, riga 5: la corsa \"T9\" non esiste"},
    };
    for (const Case& c : feeds) {
        expectRefused(c, importing("import-gtfs"));
    }
}

TEST_F(MalformedInputTest, TheSideFilesAreRefusedWithTheirMessageAndNothingWritten) {
    const Case standardLines[] = {
        // Lines that are neither a standard line nor a link are no part of the file: a file of
        // nothing else reads no line.
        {"standard-lines/binary.txt", 0, "Lette 0 Linee Standard"},
        {"standard-lines/huge-id.txt", 1, kDiscarded},
        {"standard-lines/letters-in-lot.txt", 1, kDiscarded},
        {"standard-lines/missing-fields.txt", 1, kDiscarded},
        {"standard-lines/unclosed.txt", 1, kDiscarded},
    };
    for (const Case& c : standardLines) {
        expectRefused(c, importing("import-standard-lines"));
    }
    const Case serverFiles[] = {
        {"server-config/binary.srvt", 1, kUndecodable},
        {"server-config/check-line-altered.srvt", 1, kUndecodable},
        {"server-config/empty.srvt", 1, kUndecodable},
        {"server-config/huge-line.srvt", 1, kUndecodable},
        {"server-config/negative-chunk.srvt", 1, kUndecodable},
        {"server-config/not-a-configuration.srvt", 1, kUndecodable},
        {"server-config/other-passphrase.srvt", 1, kUndecodable},
        {"server-config/payload-altered.srvt", 1, kUndecodable},
        {"server-config/server-with-blanks.srvt", 1, kUndecodable},
    };
    const std::string settingsBefore = test::readFile(dir / "settings.toml");
    for (const Case& c : serverFiles) {
        expectRefused(c, [](std::string file) {
            return std::vector<std::string>{"import-server-config", file, "--passphrase", "chiave"};
        });
        EXPECT_EQ(test::readFile(dir / "settings.toml"), settingsBefore);
        EXPECT_FALSE(std::filesystem::exists(dir / "app")) << "no certificate written";
    }
    // A settings file that cannot be read is said and never written over.
    for (const char* name : {"binary.toml",
                             "deep-nesting.toml",
                             "deep-sections.toml",
                             "not-toml.toml",
                             "section-twice.toml"}) {
        SCOPED_TRACE(name);
        std::filesystem::copy_file(kCorpus / "settings" / name,
                                   dir / "letto.toml",
                                   std::filesystem::copy_options::overwrite_existing);
        const ProcessResult about = test::runProcess(
            TRAMELA_CLI, {"--settings", (dir / "letto.toml").string(), "about"}, dir.path());
        EXPECT_EQ(about.exitCode, 1);
        EXPECT_TRUE(about.err.starts_with(kAnomaly)) << about.err;
        EXPECT_EQ(test::readFile(dir / "letto.toml"), test::readFile(kCorpus / "settings" / name));
    }
}

} // namespace
} // namespace tramela::cli
