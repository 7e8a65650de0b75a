#include "comm/xml/server_file.h"
#include "comm/xml/server_settings.h"
#include "support/golden.h"
#include "support/temp_dir.h"
#include "workspace/settings.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace tramela::comm::xml {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::string_view kName = "sirventa.regione.example";
const workspace::SectionPath kSection{"sirventa", kName};

ServerFileContent importedContent() {
    ServerFileContent content;
    content.server = std::string(kName);
    content.target = "/cgi-bin/ricevi";
    content.needsAuthBase = true;
    content.userName = "azienda42";
    content.password = "segreto";
    content.mailAddress = "orari@autolinee.example";
    content.useHttps = true;
    content.needsCert = true;
    content.chunkSizeKb = 64;
    return content;
}

class ServerSettingsTest : public ::testing::Test {
protected:
    // Settings holding [tramela] and then `more`.
    void load(const std::string& more = "") {
        test::writeFile(path(), "[tramela]\nDatabase = \"/dati/rete.sqlite\"\n" + more);
        settings = workspace::Settings(path());
        ASSERT_EQ(settings.load(), workspace::Settings::LoadResult::Loaded);
    }

    fs::path path() const { return dir / "settings.toml"; }

    TempDir dir;
    workspace::Settings settings{path()};
};

TEST_F(ServerSettingsTest, ImportedValuesAreStoredUnderTheirOwnNamesAndTheirSaveTwins) {
    load("[sirventa.\"a.example\"]\nServer = \"a.example\"\n");
    ASSERT_TRUE(storeImportedConfiguration(
        settings, importedContent(), "/opt/tramela/utente.pem", "Valmora-2025!"));
    ASSERT_TRUE(settings.save());

    workspace::Settings disk(path());
    ASSERT_EQ(disk.load(), workspace::Settings::LoadResult::Loaded);
    EXPECT_EQ(configurationNames(disk),
              (std::vector<std::string>{"a.example", std::string(kName)}));
    // The names of the values are those that other installations have stored.
    EXPECT_GOLDEN(test::readFile(path()), "server_settings/imported.toml");
}

TEST_F(ServerSettingsTest, MissingNumbersCountAsZeroAndACertificateNeedsHttps) {
    const struct {
        const char* values;
        ValueSet which;
        bool useHttps;
        bool needsCert;
        int chunkSizeKb;
    } cases[] = {
        {"", ValueSet::Confirmed, false, false, 0},
        {"UseHttps = 0\nNeedsCert = 1\nChunkSizeKb = 64\n", ValueSet::Confirmed, false, false, 64},
        {"UseHttps = 2\nNeedsCert = 1\n", ValueSet::Confirmed, true, true, 0},
        {"UseHttps = \"1\"\nNeedsCert = 1\n", ValueSet::Confirmed, false, false, 0},
        {"ChunkSizeKb = 3000000000\n", ValueSet::Confirmed, false, false, 0},
        {"ChunkSizeKb = -5\n", ValueSet::Confirmed, false, false, 0},
        {"UseHttps = 1\nNeedsCert = 1\nSaveUseHttps = 0\nSaveNeedsCert = 1\nSaveChunkSizeKb = 8\n",
         ValueSet::Imported,
         false,
         false,
         8},
    };

    for (const auto& c : cases) {
        load(fmt::format("[sirventa.\"{}\"]\n{}", kName, c.values));
        const ConnectionValues values = loadConnectionValues(settings, kName, c.which);
        EXPECT_EQ(values.useHttps, c.useHttps) << c.values;
        EXPECT_EQ(values.needsCert, c.needsCert) << c.values;
        EXPECT_EQ(values.chunkSizeKb, c.chunkSizeKb) << c.values;
        EXPECT_EQ(values.server, "") << c.values;
    }
}

TEST_F(ServerSettingsTest, ASnapshotPutsBackWhatAnImportChanged) {
    ServerFileContent older = importedContent();
    older.userName = "azienda41";
    older.useHttps = false;
    older.chunkSizeKb = 32;

    const struct {
        const char* name;
        std::string other;     // another configuration, or nothing
        bool sameStoredBefore; // the configuration was imported before
        std::vector<std::string> sections;
    } cases[] = {
        {"no configuration at all", "", false, {"tramela"}},
        {"another configuration",
         "[sirventa.altra]\nServer = \"altra\"\n",
         false,
         {"sirventa", "tramela"}},
        {"the same configuration", "", true, {"sirventa", "tramela"}},
    };

    for (const auto& c : cases) {
        load(c.other);
        if (c.sameStoredBefore) {
            ASSERT_TRUE(storeImportedConfiguration(settings, older, "/vecchio.pem", "prima"));
            ASSERT_TRUE(settings.save());
        }
        workspace::Settings untouched(path());
        ASSERT_EQ(untouched.load(), workspace::Settings::LoadResult::Loaded);
        const std::vector<std::string> names = configurationNames(untouched);

        const ConfigurationSnapshot snapshot(settings, kName);
        ASSERT_TRUE(storeImportedConfiguration(settings, importedContent(), "/nuovo.pem", "dopo"));
        snapshot.restore(settings);

        EXPECT_EQ(settings.subsections({}), c.sections) << c.name;
        EXPECT_EQ(configurationNames(settings), names) << c.name;
        for (const ValueSet which : {ValueSet::Confirmed, ValueSet::Imported}) {
            EXPECT_EQ(loadConnectionValues(settings, kName, which),
                      loadConnectionValues(untouched, kName, which))
                << c.name;
        }
        for (const char* key : {"PathCert", "PassPhrase"}) {
            EXPECT_EQ(settings.text(kSection, key), untouched.text(kSection, key)) << c.name;
        }
    }
}

} // namespace
} // namespace tramela::comm::xml
