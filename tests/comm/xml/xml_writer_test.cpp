#include "calendar/service_days.h"
#include "comm/xml/xml_writer.h"
#include "store/database_connection.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace tramela::comm::xml {
namespace {

using ui::Icon;
using ui::ScriptedUi;

constexpr Date kFrom{2024, 3, 1};
constexpr Date kTo{2024, 6, 30};
constexpr Date kToday{2024, 3, 15};

class XmlWriterTest : public ::testing::Test {
protected:
    XmlWriterTest() { test::createSampleNetwork(database()); }

    std::filesystem::path database() const { return dir / "rete.sqlite"; }

    // Selects the sample's trips from 01/03/2024 to 30/06/2024 and writes the document;
    // `beforeWriting` runs between the two.
    std::optional<SectionCounts>
    write(const std::filesystem::path& file,
          const calendar::CommunicationFlags& flags = {.planning = true},
          const std::function<void()>& beforeWriting = {}) {
        store::DatabaseConnection connection(ui, database());
        const auto selection =
            calendar::ServiceDayExtraction::Run(connection, kFrom, kTo, {}, flags);
        EXPECT_TRUE(selection.has_value());
        if (!selection) {
            return std::nullopt;
        }
        if (beforeWriting) {
            beforeWriting();
        }
        ui.clear();
        return writeVkzXmlDocument(connection, *selection, file, kToday);
    }

    // The document's lines without their CR LF ends (every line must have one).
    static std::vector<std::string> linesOf(const std::string& bytes) {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end = bytes.find("\r\n"); end != std::string::npos;
             end = bytes.find("\r\n", start)) {
            lines.push_back(bytes.substr(start, end - start));
            start = end + 2;
        }
        EXPECT_EQ(start, bytes.size()) << "the last line has no CR LF";
        return lines;
    }

    // libxml2 reads the document as any receiver would.
    void expectWellFormed(const std::filesystem::path& file) const {
        const auto result =
            test::runProcess("/usr/bin/xmllint", {"--noout", "--nonet", file.string()}, dir.path());
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
    }

    test::TempDir dir;
    ScriptedUi ui;
};

TEST_F(XmlWriterTest, WritesTheSampleCommunicationByteForByte) {
    const auto file = dir / "Comunicazione.xml";
    test::writeFile(file, "vecchio contenuto");
    const auto counts = write(file);
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->protocol, 1);
    EXPECT_EQ(counts->stops, 3);
    EXPECT_EQ(counts->routes, 2);
    EXPECT_EQ(counts->cadences, 2);
    EXPECT_EQ(counts->calendarDays, 3);
    EXPECT_EQ(counts->trips, 2);
    EXPECT_EQ(counts->changedTexts, 0);
    EXPECT_TRUE(ui.messages().empty()) << ui.messageTexts()[0];

    // The whole document: declaration, document type, the six sections, the whole-year periods
    // clipped to the window, "Università" as one ISO-8859-1 byte.
    const std::string bytes = test::readFile(file);
    EXPECT_EQ(bytes,
              test::readFile(std::filesystem::path(TRAMELA_TEST_DATA) / "xml" / "sample.xml"));
    EXPECT_NE(bytes.find("name=\"Universit\xE0\""), std::string::npos);
    expectWellFormed(file);

    EXPECT_EQ(ui.progressCaptions(),
              (std::vector<std::string>{"Estrazione PROTOCOLLO comunicazione",
                                        "Estrazione FERMATE",
                                        "Estrazione PERCORSI",
                                        "Estrazione CADENZE",
                                        "Estrazione CALENDARIO",
                                        "Estrazione CORSE"}));
    const auto& bar = ui.progressValues();
    EXPECT_EQ(std::count(bar.begin(), bar.end(), 100), 6);
    EXPECT_EQ(bar.back(), -1);
}

// The lines of the plan of trips, each cut after its first attribute.
std::vector<std::string> planSkeleton(const std::vector<std::string>& lines) {
    std::vector<std::string> skeleton;
    const auto first = std::find(lines.begin(), lines.end(), "\t<PianoCorse>");
    const auto last = std::find(lines.begin(), lines.end(), "\t</PianoCorse>");
    for (auto line = first + 1; line < last; ++line) {
        const size_t space = line->find(' ');
        skeleton.push_back(
            space == std::string::npos ? *line : line->substr(0, line->find(' ', space + 1)));
    }
    return skeleton;
}

TEST_F(XmlWriterTest, EscapesTextsClipsTimesAndBreaksTheTripPlanAtTheLevelThatChanged) {
    test::runSql(
        database(),
        // Texts: entities, trailing blanks, control characters, a letter Latin-1 lacks.
        "UPDATE fermate SET denom = 'Bar d''Angolo & Co   ',"
        " ubicaz = 'Via \"Roma\" <12> ' || char(9) || 'x' || char(1) WHERE ID = 2;"
        "UPDATE fermate SET ubicaz = 'Via Łodź' WHERE ID = 3;"
        // Times: a departure five minutes after midnight, a stop reached a day later, a standard
        // trip with a stop more than its route.
        "UPDATE corse SET parte = 5 WHERE id = 1;"
        "UPDATE detstd SET arriva = 1500, parte = 1501 WHERE id = 1 AND sub = 3;"
        "INSERT INTO detstd VALUES (2, 4, 1, 30, 30, 1, 0);"
        // The plan: trip 1 has another subcontractor; trip 3 another company line of the same
        // standard line, and no direction.
        "UPDATE extcod SET azisub = 7 WHERE id = 1;"
        "INSERT INTO reglklin VALUES ('L2', 1, 1);"
        "INSERT INTO corse VALUES (3, 'C003', 'L2', 'x', 800, 3, 1914.21, 20, 1914.21, 20, 2, 2,"
        " 'U', NULL, NULL);"
        "INSERT INTO extcod VALUES (3, 1, 42, 42);"
        "INSERT INTO period VALUES (3, 'FER', '2024-03-02', '2024-12-31', 0);"
        // Geometry: route 1's is corrupt, route 2 has none.
        "UPDATE geoitin SET punti = 4 WHERE ID = 1;"
        "DELETE FROM geoitin WHERE ID = 2;");
    const auto file = dir / "Comunicazione.xml";
    const auto counts = write(file, {.budget = true, .project = true});
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->trips, 3);
    EXPECT_EQ(counts->changedTexts, 1);
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"Itinerari: Entità Lineare corrotta 1 !!!", Icon::Stop, ""}}));
    expectWellFormed(file);

    const std::vector<std::string> lines = linesOf(test::readFile(file));
    const auto has = [&lines](std::string_view line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_NE(lines[2].find(" tipo=\"PROJECT\">"), std::string::npos) << lines[2];
    EXPECT_TRUE(has("\t\t<Fmt code=\"VAL02\" name=\"Bar d&apos;Angolo &amp; Co\" "
                    "ubic=\"Via &quot;Roma&quot; &lt;12&gt; &#9;x?\" x=\"1300.0000\" "
                    "y=\"2400.0000\" />"));
    EXPECT_TRUE(has("\t\t<Fmt code=\"BOR01\" name=\"Borgo Alto Chiesa\" ubic=\"Via Lodz\" "
                    "x=\"2300.0000\" y=\"3400.0000\" />"));
    EXPECT_TRUE(has("\t\t\t\t<CorsaStd id=\"1\" tempo=\"1500\">"));
    EXPECT_TRUE(has("\t\t\t\t\t<StdFmt sub=\"3\" metri=\"1914\" code=\"BOR01\" arriva=\"60\" "
                    "parte=\"61\" primaria=\"S\" facolt=\"N\" nonferma=\"N\" />"));
    EXPECT_TRUE(has("\t\t\t\t<CorsaStd id=\"2\" tempo=\"30\">"));
    EXPECT_EQ(std::count_if(lines.begin(),
                            lines.end(),
                            [](const std::string& line) {
                                return line.find("<StdFmt") != std::string::npos;
                            }),
              6);
    EXPECT_EQ(std::count_if(
                  lines.begin(),
                  lines.end(),
                  [](const std::string& line) { return line.find("<Geom") != std::string::npos; }),
              0);
    EXPECT_TRUE(
        has("\t\t\t\t\t\t\t\t<Corsa id=\"1\" v=\"A\" code=\"C001\" IdStd=\"1\" parte=\"00:05\" "
            "EnteCode=\"3\" EnteName=\"Provincia di Corvasca\">"));
    EXPECT_TRUE(
        has("\t\t\t\t\t\t\t\t<Corsa id=\"3\" v=\"-\" code=\"C003\" IdStd=\"2\" parte=\"08:00\" "
            "EnteCode=\"3\" EnteName=\"Provincia di Corvasca\">"));
    EXPECT_TRUE(
        has("\t\t\t\t\t\t\t\t\t<Periodo inizio=\"02/03/2024\" fine=\"30/06/2024\" code=\"FER\" "
            "excl=\"N\" />"));

    // A new subcontractor closes and reopens Subappalto only; a new company line closes and
    // reopens AzLinea and the two levels inside it.
    EXPECT_EQ(planSkeleton(lines),
              (std::vector<std::string>{
                  "\t\t<Lotto code=\"1\"",
                  "\t\t\t<Ente code=\"3\"",
                  "\t\t\t\t<Linea sigla=\"L1\"",
                  "\t\t\t\t\t<AzLinea sigla=\"L1\">",
                  "\t\t\t\t\t\t<Gestore code=\"42\"",
                  "\t\t\t\t\t\t\t<Subappalto code=\"7\"",
                  "\t\t\t\t\t\t\t\t<Corsa id=\"1\"",
                  "\t\t\t\t\t\t\t\t\t<Periodo inizio=\"01/03/2024\"",
                  "\t\t\t\t\t\t\t\t\t<Periodo inizio=\"01/03/2024\"",
                  "\t\t\t\t\t\t\t\t</Corsa>",
                  "\t\t\t\t\t\t\t</Subappalto>",
                  "\t\t\t\t\t\t\t<Subappalto code=\"42\"",
                  "\t\t\t\t\t\t\t\t<Corsa id=\"2\"",
                  "\t\t\t\t\t\t\t\t\t<Periodo inizio=\"01/03/2024\"",
                  "\t\t\t\t\t\t\t\t</Corsa>",
                  "\t\t\t\t\t\t\t</Subappalto>",
                  "\t\t\t\t\t\t</Gestore>",
                  "\t\t\t\t\t</AzLinea>",
                  "\t\t\t\t\t<AzLinea sigla=\"L2\">",
                  "\t\t\t\t\t\t<Gestore code=\"42\"",
                  "\t\t\t\t\t\t\t<Subappalto code=\"42\"",
                  "\t\t\t\t\t\t\t\t<Corsa id=\"3\"",
                  "\t\t\t\t\t\t\t\t\t<Periodo inizio=\"02/03/2024\"",
                  "\t\t\t\t\t\t\t\t</Corsa>",
                  "\t\t\t\t\t\t\t</Subappalto>",
                  "\t\t\t\t\t\t</Gestore>",
                  "\t\t\t\t\t</AzLinea>",
                  "\t\t\t\t</Linea>",
                  "\t\t\t</Ente>",
                  "\t\t</Lotto>",
              }));
}

TEST_F(XmlWriterTest, LeavesNoDocumentBehindWhenItCannotWriteItWhole) {
    // A folder that does not exist.
    const auto nowhere = dir / "manca" / "Comunicazione.xml";
    EXPECT_FALSE(write(nowhere).has_value());
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"Impossibile creare\n\n" + nowhere.string(), Icon::Exclamation, ""}}));

    // A full disk is a failure, not a document; the device itself stays where it is.
    EXPECT_FALSE(write("/dev/full").has_value());
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"Errore durante la scrittura del file\n\n/dev/full", Icon::Exclamation, ""}}));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));

    // A table gone between the selection and the document: the query layer tells why.
    const auto file = dir / "Comunicazione.xml";
    EXPECT_FALSE(
        write(file, {}, [this] { test::runSql(database(), "DROP TABLE reglklin;"); }).has_value());
    ASSERT_FALSE(ui.messages().empty());
    EXPECT_EQ(ui.messages()[0].icon, Icon::Exclamation);
    EXPECT_FALSE(std::filesystem::exists(file));

    // Without the header row the document has no root.
    test::runSql(database(), "DELETE FROM master;");
    EXPECT_FALSE(write(file).has_value());
    EXPECT_EQ(ui.messages(),
              (std::vector<ScriptedUi::ShownMessage>{
                  {"ATTENZIONE: risulta impossibile trovare il MASTER\n\n"
                   "Presumibilmente il DataBase è corrotto !!!",
                   Icon::Stop,
                   ""}}));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(XmlWriterTest, WritesTheHeaderOfACompanyMissingFromTheRegisterWithoutItsName) {
    test::runSql(database(), "UPDATE master SET azienda = 999, resple = 'Anna O''Neil  ';");
    const auto file = dir / "Comunicazione.xml";
    const auto counts = write(file, {});
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->protocol, 1);
    EXPECT_EQ(linesOf(test::readFile(file))[2],
              "<VkzXml level=\"1.0\" azienda=\"999\" name=\"\" data=\"15/03/2024\" nro=\"7\" "
              "inizio=\"01/03/2024\" fine=\"30/06/2024\" agente=\"Anna O&apos;Neil\" "
              "tipo=\"UNKNOWN\">");
}

} // namespace
} // namespace tramela::comm::xml
