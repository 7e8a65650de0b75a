#include "support/sample_network.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"
#include "workspace/text_output.h"

#include <gtest/gtest.h>

namespace tramela::workspace {
namespace {

TEST(Latin1Encoder, KeepsLatin1AndTransliteratesTheRest) {
    Latin1Encoder encoder;
    EXPECT_EQ(encoder.encode("Università"), "Universit\xE0");
    EXPECT_EQ(encoder.encode("Piazza Garibaldi"), "Piazza Garibaldi");
    EXPECT_EQ(encoder.changed(), 0);
    EXPECT_EQ(encoder.encode("Łódź – ‘Centro’ 5€"),
              "L\xF3"
              "dz - 'Centro' 5EUR");
    EXPECT_EQ(encoder.encode("Œuvre"), "OEuvre");
    EXPECT_EQ(encoder.encode("東京"), "??");
    EXPECT_EQ(encoder.encode("bad \xFF byte"), "bad ? byte");
    EXPECT_EQ(encoder.changed(), 4);
    EXPECT_EQ(latin1ToUtf8("Universit\xE0"), "Università");
}

TEST(TextFileWriter, EndsLinesWithCrLfAndReportsWhatCannotBeCreated) {
    test::TempDir dir;
    TextFileWriter writer;
    ASSERT_TRUE(writer.open(dir / "a.txt"));
    writer.writeLine("uno");
    writer.writeLine("");
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(test::readFile(dir / "a.txt"), "uno\r\n\r\n");

    ui::ScriptedUi ui;
    EXPECT_FALSE(openOrReport(writer, dir / "manca" / "b.txt", ui));
    EXPECT_EQ(ui.lastMessage()->text,
              "Impossibile creare\n\n" + (dir / "manca" / "b.txt").string());
    EXPECT_EQ(ui.lastMessage()->icon, ui::Icon::Exclamation);
    EXPECT_EQ(leadingInteger("000000000012345,6700"), 12345);
    EXPECT_EQ(leadingInteger("-00000000000003,2500"), -3);
    EXPECT_EQ(leadingInteger(""), 0);
}

TEST(SampleNetwork, IsCompleteAndRespectsEveryRelation) {
    test::TempDir dir;
    test::createSampleNetwork(dir / "rete.sqlite");
    ui::ScriptedUi ui;
    const store::DatabaseConnection connection(ui, dir / "rete.sqlite");
    EXPECT_EQ(test::rows(connection,
                         "SELECT (SELECT COUNT(*) FROM corse), (SELECT COUNT(*) FROM detstd), "
                         "(SELECT COUNT(*) FROM period), (SELECT COUNT(*) FROM fermate)"),
              "2|6|4|5\n");
}

} // namespace
} // namespace tramela::workspace
