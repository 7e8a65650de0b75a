#include "calendar/service_days.h"
#include "comm/xml/xml_writer.h"
#include "store/database_connection.h"
#include "support/file_size_limit.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/sample_network.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <algorithm>
#include <fmt/format.h>
#include <fmt/ranges.h>
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

// The counts of the sections written, as one text.
std::string describe(const std::optional<SectionCounts>& counts) {
    if (!counts) {
        return "no document";
    }
    return fmt::format("protocol {} stops {} routes {} cadences {} days {} trips {} changed {}",
                       counts->protocol,
                       counts->stops,
                       counts->routes,
                       counts->cadences,
                       counts->calendarDays,
                       counts->trips,
                       counts->changedTexts);
}

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
    test::Transcript steps{ui, dir.path()};
};

TEST_F(XmlWriterTest, WritesTheSampleCommunicationByteForByte) {
    const auto file = dir / "Comunicazione.xml";
    test::writeFile(file, "vecchio contenuto");
    EXPECT_EQ(describe(write(file)),
              "protocol 1 stops 3 routes 2 cadences 2 days 3 trips 2 changed 0");
    EXPECT_TRUE(ui.messages().empty()) << ui.messageTexts()[0];

    // The whole document: declaration, document type, the six sections, the whole-year periods
    // clipped to the window, "Università" as one ISO-8859-1 byte.
    const std::string bytes = test::readFile(file);
    EXPECT_EQ(bytes,
              test::readFile(std::filesystem::path(TRAMELA_TEST_DATA) / "xml" / "sample.xml"));
    EXPECT_NE(bytes.find("name=\"Universit\xE0\""), std::string::npos);
    expectWellFormed(file);

    EXPECT_EQ(fmt::format("{}", fmt::join(ui.progressCaptions(), "|")),
              "Estrazione PROTOCOLLO comunicazione|Estrazione FERMATE|Estrazione PERCORSI|"
              "Estrazione CADENZE|Estrazione CALENDARIO|Estrazione CORSE");
    const auto& bar = ui.progressValues();
    EXPECT_EQ(std::count(bar.begin(), bar.end(), 100), 6);
    EXPECT_EQ(bar.back(), -1);
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
    EXPECT_EQ(describe(write(file, {.budget = true, .project = true})),
              "protocol 1 stops 3 routes 2 cadences 2 days 3 trips 3 changed 1");
    EXPECT_EQ(test::transcript(ui), "message Stop:\nItinerari: Entità Lineare corrotta 1 !!!\n");
    expectWellFormed(file);
    EXPECT_GOLDEN(test::readFile(file), "xml_writer/escapes.xml");
}

TEST_F(XmlWriterTest, LeavesNoDocumentBehindWhenItCannotWriteItWhole) {
    // A folder that does not exist.
    EXPECT_FALSE(write(dir / "manca" / "Comunicazione.xml").has_value());
    steps.step("a folder that does not exist");

    // A full disk is a failure that leaves neither the document nor its temporary file.
    std::optional<test::FileSizeLimit> full;
    EXPECT_FALSE(write(dir / "Comunicazione.xml", {}, [&] { full.emplace(200); }).has_value());
    full.reset();
    steps.step("a full disk");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().string().find("Comunicazione"), std::string::npos) << entry.path();
    }

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
    steps.step("no header row");
    EXPECT_GOLDEN(steps.text(), "xml_writer/failures.txt");
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
