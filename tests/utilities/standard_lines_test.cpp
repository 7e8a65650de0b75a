#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "utilities/standard_lines.h"
#include "workspace/settings.h"
#include "workspace/workspace.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <regex>
#include <sqlite3.h>

namespace tramela::utilities {
namespace {

using ui::Icon;
using Shown = ui::ScriptedUi::ShownMessage;

constexpr std::string_view kNoStandardLines = "DELETE FROM reglklin; DELETE FROM reglinee;";

const std::string kAlreadyPresent =
    "La struttura di definizione delle Linee Standard risulta già presente\n\n"
    "Non è possibile procedere oltre";

const std::string kRailwayWarning =
    "ATTENZIONE: questa versione dell'utilità di Identificazione Automatica delle\n"
    "Codifiche Linee Ufficiali è ASSOLUTAMENTE SPECIFICA per i gestori FERROVIARI\n"
    "Utilizzare questa utilità per un'azienda esercente TPL SU GOMMA può causare\n"
    "effetti indesiderati e gravi conseguenze per l'integrità dei dati\n\n"
    "Intendi procedere ?";

std::string generated(int lines, int of) {
    return fmt::format("Le definizioni delle Linee Standard sono state generate:\n\n"
                       "Inserite {0} [su {1}] Linee Standard\n"
                       "Inserite {0} [su {1}] associazioni Linea Aziendale - Linea Standard\n\n",
                       lines,
                       of);
}

const std::string kVerifyByHand =
    "ATTENZIONE: la generazione automatica delle Linee Standard deve essere\n"
    "intesa come un utile ausilio che velocizza le operazioni.\n"
    "Tuttavia resta necessario VERIFICARE e COMPLETARE MANUALMENTE le definizioni\n"
    "per potere ottenere una definizione delle Linee Standard utilizzabile !!!!";

std::string removed(int lines, int links) {
    return fmt::format("Le definizioni delle Linee Standard sono state azzerate:\n\n"
                       "Eliminate {0} [su {0}] Linee Standard\n"
                       "Eliminate {1} [su {1}] associazioni Linea Aziendale - Linea Standard\n\n",
                       lines,
                       links);
}

// A trip like the sample's on `route` (standard trip 1), with its extended codes in `lot` unless
// the lot is 0.
std::string trip(int id, std::string_view line, int authority, int lot, int route = 1) {
    std::string sql = fmt::format("INSERT INTO corse VALUES ({0}, 'C{0}', '{1}', 'A', 800, {2}, "
                                  "1000, 10, 1000, 10, {3}, 1, 'U', NULL, NULL);",
                                  id,
                                  line,
                                  authority,
                                  route);
    if (lot != 0) {
        sql += fmt::format("INSERT INTO extcod VALUES ({}, {}, 42, 42);", id, lot);
    }
    return sql;
}

class StandardLineUtilities : public ::testing::Test {
protected:
    void open(const std::string& sql) {
        path = dir / "rete.sqlite";
        test::createSampleNetwork(path);
        test::runSql(path, sql);
        window = std::make_unique<workspace::Workspace>(ui, settings);
        window->Startup(path);
        ASSERT_TRUE(window->isConnected());
        ui.clear();
    }

    // The rows of a query, columns joined by "|", one row a line.
    std::string rows(const std::string& sql) {
        std::string text;
        const auto collect = [](void* out, int columns, char** values, char**) {
            auto& all = *static_cast<std::string*>(out);
            for (int i = 0; i < columns; ++i) {
                all += (i > 0 ? "|" : "") + std::string(values[i] != nullptr ? values[i] : "");
            }
            all += "\n";
            return 0;
        };
        EXPECT_EQ(
            sqlite3_exec(window->connection()->handle(), sql.c_str(), collect, &text, nullptr),
            SQLITE_OK);
        return text;
    }

    std::string standardLines() {
        return rows("SELECT lotto, id, ente, sigla, denom, itiner FROM reglinee ORDER BY lotto, id;"
                    "SELECT codlinea, lotto, id FROM reglklin ORDER BY codlinea");
    }

    test::TempDir dir;
    std::filesystem::path path;
    ui::ScriptedUi ui;
    workspace::Settings settings{dir / "settings.toml"};
    std::unique_ptr<workspace::Workspace> window;
};

TEST_F(StandardLineUtilities, CommandsStopWithoutSuccessWhenTheTablesAreMissing) {
    open("DROP TABLE reglklin;");
    for (auto command :
         {&IdentifyStandardLines, &IdentifyRailwayStandardLines, &RemoveStandardLines}) {
        ui.clear();
        ui.answerConfirm("proceed", true);
        ui.answerConfirm("last-warning", true);
        command(*window);
        // The query layer's failure, and no count that would pass for a result.
        ASSERT_EQ(ui.messages().size(), 1u);
        EXPECT_NE(ui.messages()[0].icon, Icon::Information);
        EXPECT_EQ(window->connection()->transactionDepth(), 0);
    }
    EXPECT_EQ(rows("SELECT lotto, id FROM reglinee"), "1|1\n");
}

TEST_F(StandardLineUtilities, IdentificationNumbersLinesWithinEachLotUnderTheirCommonestAuthority) {
    // Lot 4: the sample's two trips, moved to line L3 (authority 3). Lot 3: line L1 with two
    // trips of authority 4 and one of 9; line L2 written "L2 " and "l2", one pair, whose
    // authorities 9 and 5 tie and the first met wins. A trip without extended codes is not seen.
    open(std::string(kNoStandardLines) +
         "UPDATE corse SET codlinea = 'L3'; UPDATE extcod SET lotto = 4;" + trip(10, "L1", 4, 3) +
         trip(11, "L1", 9, 3) + trip(12, "L1", 4, 3) + trip(13, "L2 ", 9, 3) +
         trip(14, "l2", 5, 3) + trip(15, "L9", 7, 0));
    IdentifyStandardLines(*window);

    EXPECT_EQ(ui.messages(),
              (std::vector<Shown>{{generated(3, 3) + kVerifyByHand, Icon::Information, ""}}));
    EXPECT_EQ(ui.busyCalls(), std::vector<bool>{true});
    EXPECT_TRUE(ui.fileDialogs().empty());
    EXPECT_EQ(standardLines(),
              "3|1|4|L1|Da inserire|Da inserire\n"
              "3|2|9|L2|Da inserire|Da inserire\n"
              "4|1|3|L3|Da inserire|Da inserire\n"
              "L1|3|1\nL2|3|2\nL3|4|1\n");
    EXPECT_EQ(window->connection()->transactionDepth(), 0);

    // Now the structure exists: both identifications are refused, the railway one before its
    // warning.
    ui.clear();
    IdentifyStandardLines(*window);
    IdentifyRailwayStandardLines(*window);
    EXPECT_EQ(ui.messages(),
              (std::vector<Shown>{{kAlreadyPresent, Icon::Exclamation, ""},
                                  {kAlreadyPresent, Icon::Exclamation, ""}}));
    EXPECT_TRUE(ui.confirmations().empty());
}

TEST_F(StandardLineUtilities, IdentificationCountsOnlyTheRowsTheTablesAccept) {
    // Trip 2 has no line code (a single blank) in lot 2: its standard line and link are refused.
    open(std::string(kNoStandardLines) +
         "UPDATE corse SET codlinea = ' ' WHERE id = 2; UPDATE extcod SET lotto = 2 WHERE id = 2;");
    IdentifyStandardLines(*window);

    ASSERT_EQ(ui.messages().size(), 3u);
    EXPECT_NE(ui.messages()[0].text.find("(sigla) della tavola (reglinee)"), std::string::npos);
    EXPECT_NE(ui.messages()[1].text.find("(codlinea) della tavola (reglklin)"), std::string::npos);
    EXPECT_EQ(ui.messages()[2], (Shown{generated(1, 2) + kVerifyByHand, Icon::Information, ""}));
    EXPECT_EQ(standardLines(), "1|1|3|L1|Da inserire|Da inserire\nL1|1|1\n");
}

TEST_F(StandardLineUtilities, LinesSpreadOverLotsAreReportedAndNothingIsGenerated) {
    // L1: trips 1 and 2 in lot 1, 10 in lot 3, 12 (written "l1 ") in lot 5. L7: lots 3 and 5.
    // L12 is in lot 3 only.
    open(std::string(kNoStandardLines) +
         "UPDATE reglot SET denom = 'Lotto Università' WHERE codice = 1;"
         "UPDATE reglot SET denom = 'Lotto Tre' WHERE codice = 3;"
         "UPDATE reglot SET denom = 'Lotto Cinque' WHERE codice = 5;" +
         trip(10, "L1", 3, 3) + trip(11, "L12", 3, 3) + trip(12, "l1 ", 3, 5) +
         trip(13, "L7", 3, 3) + trip(14, "L7", 3, 5));
    const std::string inconsistent =
        "ATTENZIONE: sono stati riscontrati errori di coerenza !!!\n\n"
        "Non è possibile generare le linee standard; verrà generato\n"
        "un report che identifica le cause che impediscono la generazione";

    const auto report = dir / "ERRORI_LINEE_STD.TXT";
    ui.answerFile("report", report);
    IdentifyStandardLines(*window);

    EXPECT_EQ(ui.messages(), (std::vector<Shown>{{inconsistent, Icon::Stop, ""}}));
    EXPECT_EQ(standardLines(), "");
    ASSERT_EQ(ui.fileDialogs().size(), 1u);
    const ui::FileDialog& dialog = ui.fileDialogs()[0];
    EXPECT_EQ(dialog.title, "Report Errori Riscontrati");
    EXPECT_EQ(dialog.initialName, "ERRORI_LINEE_STD");
    EXPECT_EQ(dialog.defaultExtension, "TXT");
    ASSERT_EQ(dialog.filters.size(), 2u);
    EXPECT_EQ(dialog.filters[0].caption, "File di testo (*.txt)");
    EXPECT_EQ(dialog.filters[1].caption, "Tutti i files (*.*)");
    EXPECT_TRUE(dialog.confirmOverwrite);

    // The header's second line holds the time of writing.
    std::string written = test::readFile(report);
    const size_t second = written.find("\r\n") + 2;
    const size_t third = written.find("\r\n", second);
    EXPECT_TRUE(std::regex_match(
        written.substr(second, third - second),
        std::regex(
            R"(\d\d/\d\d/\d{4} \d\d\.\d\d Report Errori Codifica Linee Standard \(Tramela\))")));
    written.replace(second, third - second, "TIME");
    const std::string rule(72, '=');
    const std::string rules =
        "\r\n\r\nTutte le corse appartenenti ad una medesima LINEA AZIENDALE\r\n"
        "devono necessariamente appartenere ad un unico LOTTO\r\n";
    const std::string heading = "\r\nSigla Linea Aziendale\tIdCorsa\tLotto\tDenominazione\r\n";
    EXPECT_EQ(written,
              rule + "\r\nTIME\r\nDatabase: " + path.string() + "\r\n" + rule + "\r\n\r\n" + rules +
                  heading +
                  "L1\t1\t1\tLotto Universit\xE0\r\n"
                  "L1\t2\t1\tLotto Universit\xE0\r\n"
                  "L1\t10\t3\tLotto Tre\r\n"
                  "l1\t12\t5\tLotto Cinque\r\n" +
                  heading +
                  "L7\t13\t3\tLotto Tre\r\n"
                  "L7\t14\t5\tLotto Cinque\r\n" +
                  rules);

    // Leaving the dialog writes nothing.
    ui.clear();
    IdentifyStandardLines(*window);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{inconsistent});
    EXPECT_EQ(standardLines(), "");
}

TEST_F(StandardLineUtilities, RailwayVariantMakesOneRelationPerRouteNameAndRecodesTheTrips) {
    // Route 4 has route 1's name with trailing blanks: one relation. Route 5's name is longer
    // than the 40 characters of a standard line's name, with an accented letter at the cut.
    const std::string longName =
        "Ferrovia Valmora Centrale - Borgo Città Alta - Porto Nuovo - Capolinea";
    open(std::string(kNoStandardLines) +
         "INSERT INTO itiner VALUES (4, 'L1A2', 'Stazione Centrale - Borgo Alto Chiesa  ', 0, 0),"
         " (5, 'FV', '" +
         longName + "', 0, 0);" + trip(10, "X", 3, 0, 4) + trip(11, "Y", 3, 0, 5));

    ui.answerConfirm("proceed", false);
    EXPECT_EQ(IdentifyRailwayStandardLines(*window), ui::Outcome::Cancelled);
    EXPECT_EQ(ui.confirmations(), (std::vector<Shown>{{kRailwayWarning, Icon::Exclamation, ""}}));
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(standardLines(), "");

    ui.clear();
    ui.answerConfirm("proceed", true);
    EXPECT_EQ(IdentifyRailwayStandardLines(*window), ui::Outcome::Done);
    EXPECT_EQ(ui.messages(),
              (std::vector<Shown>{{generated(4, 4) +
                                       "Modificate 4 [su 4] corse\n\n"
                                       "I Codici Linea assegnati vanno intesi come RELAZIONI "
                                       "FERROVIARIE",
                                   Icon::Information,
                                   ""}}));
    EXPECT_EQ(standardLines(),
              "1|0|1|REL_0001|Borgo Alto Chiesa - Stazione Centrale|"
              "Borgo Alto Chiesa - Stazione Centrale\n"
              "1|1|1|REL_0002|Casa isolata|Casa isolata\n"
              "1|2|1|REL_0003|Ferrovia Valmora Centrale - Borgo Città |" +
                  longName +
                  "\n"
                  "1|3|1|REL_0004|Stazione Centrale - Borgo Alto Chiesa|"
                  "Stazione Centrale - Borgo Alto Chiesa\n"
                  "REL_0001|1|0\nREL_0002|1|1\nREL_0003|1|2\nREL_0004|1|3\n");
    // Whatever the route, a trip takes the relation of its route's name.
    EXPECT_EQ(rows("SELECT id, codlinea FROM corse ORDER BY id"),
              "1|REL_0004\n2|REL_0001\n10|REL_0004\n11|REL_0003\n");
}

TEST_F(StandardLineUtilities, RemovalAsksTwiceThenEmptiesBothTables) {
    // A link stored with trailing blanks is found and deleted like any other.
    open("INSERT INTO reglinee VALUES (2, 1, 4, 'L2', 'Linea 2', 'Borgo');"
         "INSERT INTO reglklin VALUES ('L2  ', 2, 1);");
    const std::string question = "ATTENZIONE: stanno per essere ELIMINATE IN MODO IRREVERSIBILE\n"
                                 "tutte le informazioni relative alla codifica delle LINEE "
                                 "STANDARD\n\nIntendi procedere ?";
    const std::string lastWarning =
        "ULTIMO AVVERTIMENTO: le LINEE STANDARD stanno per essere eliminate\n"
        "Intendi realmente procedere ?";
    const std::string before = standardLines();

    ui.answerConfirm("proceed", true);
    ui.answerConfirm("last-warning", false);
    EXPECT_EQ(RemoveStandardLines(*window), ui::Outcome::Cancelled);
    EXPECT_EQ(
        ui.confirmations(),
        (std::vector<Shown>{{question, Icon::Question, ""}, {lastWarning, Icon::Question, ""}}));
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(standardLines(), before);

    ui.clear();
    ui.answerConfirm("proceed", true);
    ui.answerConfirm("last-warning", true);
    EXPECT_EQ(RemoveStandardLines(*window), ui::Outcome::Done);
    EXPECT_EQ(ui.messages(), (std::vector<Shown>{{removed(2, 2), Icon::Information, ""}}));
    EXPECT_EQ(standardLines(), "");

    ui.clear();
    ui.answerConfirm("proceed", true);
    ui.answerConfirm("last-warning", true);
    EXPECT_EQ(RemoveStandardLines(*window), ui::Outcome::Done);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{removed(0, 0)});
}

} // namespace
} // namespace tramela::utilities
