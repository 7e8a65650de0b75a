#include "support/environment_variable.h"
#include "support/golden.h"
#include "support/temp_dir.h"
#include "workspace/settings.h"

#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace tramela::workspace {
namespace {

namespace fs = std::filesystem;
using test::EnvironmentVariable;
using test::readFile;
using test::TempDir;
using test::writeFile;

unsigned mode(const fs::path& path) {
    struct stat status {};

    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

TEST(Settings, CreatesMissingFileWithMode0600AndAnEmptyDatabase) {
    TempDir dir;
    const fs::path path = dir / "config/tramela/settings.toml";
    Settings settings(path);

    EXPECT_EQ(settings.load(), Settings::LoadResult::Created);
    EXPECT_TRUE(settings.valid());
    EXPECT_EQ(settings.databasePath(), "");
    EXPECT_EQ(settings.text("tramela", "Database"), "");
    EXPECT_EQ(readFile(path), "[tramela]\nDatabase = \"\"\n");
    EXPECT_EQ(mode(path), 0600u);
    EXPECT_EQ(mode(dir / "config"), 0700u);
    EXPECT_EQ(mode(dir / "config/tramela"), 0700u);

    Settings again(path);
    EXPECT_EQ(again.load(), Settings::LoadResult::Loaded);
    EXPECT_EQ(again.text("tramela", "Database"), "");
}

TEST(Settings, SaveKeepsEverySectionAndValueAndMakesTheFilePrivate) {
    TempDir dir;
    const fs::path path = dir / "settings.toml";
    writeFile(path, test::golden("settings/hand_written.toml"));
    ::chmod(path.c_str(), 0644);

    Settings settings(path);
    ASSERT_EQ(settings.load(), Settings::LoadResult::Loaded);
    EXPECT_EQ(settings.subsections("sirventa"),
              (std::vector<std::string>{"Produzione", "Server di prova.2"}));
    EXPECT_EQ(settings.text({"sirventa", "Server di prova.2"}, "Server"), "collaudo.example:8080");
    EXPECT_EQ(settings.integer({"sirventa", "Server di prova.2"}, "Timeout"), 30);
    EXPECT_EQ(settings.boolean({"sirventa", "Server di prova.2"}, "Https"), true);
    EXPECT_EQ(settings.text({"sirventa", "Server di prova.2"}, "Timeout"), std::nullopt);
    EXPECT_EQ(settings.text({"sirventa", "Server di prova"}, "Server"), std::nullopt);

    EXPECT_TRUE(settings.setDatabasePath("/home/utente/reti/nuova è.sqlite"));
    EXPECT_TRUE(settings.setText({"sirventa", "Nuovo \"a\""}, "Server", "nuovo.example"));
    EXPECT_TRUE(settings.setInteger({"sirventa", "Nuovo \"a\""}, "Timeout", -1));
    EXPECT_TRUE(settings.setBoolean({"sirventa", "Nuovo \"a\""}, "Https", false));
    settings.removeSection({"sirventa", "Produzione"});
    ASSERT_TRUE(settings.save());
    EXPECT_EQ(mode(path), 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "the temporary file is left behind";

    // Read back, the saved file holds what was there and what was set.
    EXPECT_GOLDEN(readFile(path), "settings/hand_written_saved.toml");
    Settings again(path);
    ASSERT_EQ(again.load(), Settings::LoadResult::Loaded);
    EXPECT_EQ(again.databasePath(), "/home/utente/reti/nuova è.sqlite");
    EXPECT_EQ(again.subsections("sirventa"),
              (std::vector<std::string>{"Nuovo \"a\"", "Server di prova.2"}));
    EXPECT_EQ(again.integer({"sirventa", "Nuovo \"a\""}, "Timeout"), -1);
    EXPECT_EQ(again.boolean({"sirventa", "Nuovo \"a\""}, "Https"), false);
}

TEST(Settings, InvalidFileIsReportedAndNeverOverwritten) {
    const char* const broken[] = {
        "[tramela\nDatabase = \"x\"\n",      // not TOML
        "[altro]\nDatabase = \"x\"\n",       // no [tramela]
        "tramela = \"/dati/rete.sqlite\"\n", // tramela is no table
    };
    for (const char* bytes : broken) {
        TempDir dir;
        const fs::path path = dir / "settings.toml";
        writeFile(path, bytes);
        Settings settings(path);
        EXPECT_EQ(settings.load(), Settings::LoadResult::Invalid) << bytes;
        EXPECT_FALSE(settings.valid());
        EXPECT_NE(settings.loadError().find(path.string()), std::string::npos);
        EXPECT_EQ(settings.databasePath(), "");
        settings.setDatabasePath("/altro.sqlite");
        EXPECT_FALSE(settings.save());
        EXPECT_EQ(readFile(path), bytes);
    }

    TempDir dir;
    fs::create_directory(dir / "settings.toml");
    Settings folder(dir / "settings.toml");
    EXPECT_EQ(folder.load(), Settings::LoadResult::Invalid);
    EXPECT_FALSE(folder.save());
    EXPECT_TRUE(fs::is_directory(dir / "settings.toml"));

    // A named pipe would block a plain open until someone writes to it.
    ASSERT_EQ(::mkfifo((dir / "pipe.toml").c_str(), 0600), 0);
    EXPECT_EQ(Settings(dir / "pipe.toml").load(), Settings::LoadResult::Invalid);

    // A file that cannot be created: its folder is a regular file.
    writeFile(dir / "plain", "x");
    Settings uncreatable(dir / "plain/settings.toml");
    EXPECT_EQ(uncreatable.load(), Settings::LoadResult::Invalid);
    EXPECT_FALSE(uncreatable.loadError().empty());

    Settings neverLoaded(dir / "unused.toml");
    EXPECT_FALSE(neverLoaded.save());
    EXPECT_FALSE(fs::exists(dir / "unused.toml"));
}

// A file far beyond a hand-written one (a header of a hundred thousand dotted parts used to
// exhaust the parser's stack; a few thousand took seconds and most of a gigabyte to load) is
// refused at once, with its line, and left as it is.
TEST(Settings, FilesFarBeyondAHandWrittenOneAreRefusedWithTheirLine) {
    auto dotted = [](std::size_t parts) {
        std::string key = "a";
        for (std::size_t i = 1; i < parts; ++i) {
            key += ".a";
        }
        return key;
    };
    const std::string head = "[tramela]\nDatabase = \"/a.sqlite\"\n";
    const std::pair<std::string, std::string> refused[] = {
        {head + "[" + dotted(100'000) + "]\n", "(riga 3): la riga è più lunga di 8192 byte."},
        {head + "[" + dotted(4'000) + "]\n", "(riga 3): le sezioni vi sono annidate per più di 32"},
        {head + "\n[x]\n" + dotted(33) + " = 1\n", "(riga 5): le sezioni"},
        {head + "[[" + dotted(40) + "]]\n", "(riga 3): le sezioni"},
        {head + "[" + dotted(32) + "]\nx = 1\n", "(riga 4): le sezioni"},
    };
    TempDir dir;
    const fs::path path = dir / "settings.toml";
    for (const auto& [bytes, reason] : refused) {
        writeFile(path, bytes);
        Settings settings(path);
        EXPECT_EQ(settings.load(), Settings::LoadResult::Invalid);
        EXPECT_NE(settings.loadError().find(reason), std::string::npos) << settings.loadError();
        settings.setDatabasePath("/b.sqlite");
        EXPECT_FALSE(settings.save());
        EXPECT_EQ(readFile(path), bytes);
    }

    // Just within the bounds, the file is read and written back whole.
    const std::string deepest = head + "[" + dotted(31) + "]\nx = 1\n";
    writeFile(path, deepest);
    Settings settings(path);
    ASSERT_EQ(settings.load(), Settings::LoadResult::Loaded) << settings.loadError();
    settings.setDatabasePath("/b.sqlite");
    EXPECT_TRUE(settings.save()) << settings.saveError();
    EXPECT_NE(readFile(path).find("[" + dotted(31) + "]"), std::string::npos);
}

TEST(Settings, DatabaseOfAnotherTypeIsIgnoredAndReplacedByText) {
    TempDir dir;
    const fs::path path = dir / "settings.toml";
    writeFile(path, "[tramela]\nDatabase = 42\n");
    Settings settings(path);
    ASSERT_EQ(settings.load(), Settings::LoadResult::Loaded);
    EXPECT_EQ(settings.databasePath(), "");
    EXPECT_EQ(settings.integer("tramela", "Database"), 42);

    ASSERT_TRUE(settings.setDatabasePath("/dati/rete.sqlite"));
    ASSERT_TRUE(settings.save());
    Settings again(path);
    ASSERT_EQ(again.load(), Settings::LoadResult::Loaded);
    EXPECT_EQ(again.databasePath(), "/dati/rete.sqlite");
}

TEST(Settings, RefusesChangesThatWouldLoseOrAlterData) {
    TempDir dir;
    const fs::path path = dir / "settings.toml";
    writeFile(path, "sirventa = \"non una tabella\"\n[tramela]\nDatabase = \"/a.sqlite\"\n");
    Settings settings(path);
    ASSERT_EQ(settings.load(), Settings::LoadResult::Loaded);

    // Written out, a byte that is not UTF-8 would come back as another character.
    EXPECT_FALSE(settings.setDatabasePath("/dati/\xE8.sqlite"));
    EXPECT_FALSE(settings.setText({"sirventa\xFF"}, "Server", "x"));
    EXPECT_EQ(settings.databasePath(), "/a.sqlite");
    // Neither a value nor a section is swallowed by the other.
    EXPECT_FALSE(settings.setText({"sirventa", "Prova"}, "Server", "x"));
    EXPECT_EQ(settings.text({}, "sirventa"), "non una tabella");
    EXPECT_FALSE(settings.setText({}, "tramela", "x"));
    EXPECT_EQ(settings.databasePath(), "/a.sqlite");
}

TEST(Settings, SaveReplacesTheTargetOfALinkAndReportsAMissingFolder) {
    TempDir dir;
    fs::create_directory(dir / "dotfiles");
    writeFile(dir / "dotfiles/settings.toml", "[tramela]\nDatabase = \"\"\n");
    fs::create_symlink(dir / "dotfiles/settings.toml", dir / "settings.toml");
    Settings settings(dir / "settings.toml");
    ASSERT_EQ(settings.load(), Settings::LoadResult::Loaded);
    settings.setDatabasePath("/b.sqlite");
    ASSERT_TRUE(settings.save());
    EXPECT_TRUE(fs::is_symlink(dir / "settings.toml"));
    EXPECT_EQ(readFile(dir / "dotfiles/settings.toml"), "[tramela]\nDatabase = \"/b.sqlite\"\n");

    fs::create_directory(dir / "gone");
    Settings orphan(dir / "gone/settings.toml");
    ASSERT_EQ(orphan.load(), Settings::LoadResult::Created);
    fs::remove_all(dir / "gone");
    EXPECT_FALSE(orphan.save());
}

TEST(Settings, SaveKeepsTheCommentsBesideWhatTheyDescribe) {
    TempDir dir;
    const fs::path path = dir / "settings.toml";
    writeFile(path, test::golden("settings/with_comments.toml"));
    Settings settings(path);
    ASSERT_EQ(settings.load(), Settings::LoadResult::Loaded);
    ASSERT_TRUE(settings.setDatabasePath("/dati/nuova è.sqlite"));
    ASSERT_TRUE(settings.setText({"sirventa", "nuovo"}, "Server", "nuovo.example"));
    settings.removeSection({"sirventa", "vecchio"});
    ASSERT_TRUE(settings.save());
    const std::string expected = test::golden("settings/with_comments_saved.toml");
    EXPECT_EQ(readFile(path), expected);
    // Saved again, as it is.
    ASSERT_TRUE(settings.save());
    EXPECT_EQ(readFile(path), expected);
    Settings again(path);
    ASSERT_EQ(again.load(), Settings::LoadResult::Loaded);
    ASSERT_TRUE(again.save());
    EXPECT_EQ(readFile(path), expected);
}

TEST(Settings, ReadOnlyFileIsLeftAsItIs) {
    TempDir dir;
    const std::string bytes = "[tramela]\nDatabase = \"/a.sqlite\"\n";
    writeFile(dir / "settings.toml", bytes);
    writeFile(dir / "target.toml", bytes);
    fs::create_symlink(dir / "target.toml", dir / "link.toml");
    // Read-only for its owner, and for everyone; through a link, the file it points to counts.
    for (const auto& [file, permissions] : std::vector<std::pair<std::string, unsigned>>{
             {"settings.toml", 0400}, {"settings.toml", 0444}, {"link.toml", 0400}}) {
        const fs::path path = dir / file;
        ASSERT_EQ(::chmod(path.c_str(), permissions), 0);
        Settings settings(path);
        ASSERT_EQ(settings.load(), Settings::LoadResult::Loaded);
        settings.setDatabasePath("/b.sqlite");
        EXPECT_FALSE(settings.save()) << file;
        EXPECT_EQ(settings.saveError(),
                  "Il file delle impostazioni " + path.string() +
                      " è di sola lettura: le modifiche non sono state registrate.");
        EXPECT_EQ(readFile(path), bytes) << file;
        EXPECT_EQ(mode(fs::canonical(path)), permissions) << file;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3)
            << "a temporary file is left behind";

        // Made writable again, it takes the change.
        ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
        EXPECT_TRUE(settings.save()) << file;
        EXPECT_EQ(settings.saveError(), "");
        EXPECT_NE(readFile(path).find("/b.sqlite"), std::string::npos) << file;
        writeFile(path, bytes);
    }
}

TEST(Settings, DefaultPathFollowsXdgConfigHomeThenHome) {
    EnvironmentVariable home("HOME", "/home/utente");
    EnvironmentVariable config("XDG_CONFIG_HOME", "/srv/config");
    EXPECT_EQ(Settings::defaultPath(), fs::path("/srv/config/tramela/settings.toml"));
    config.set("");
    EXPECT_EQ(Settings::defaultPath(), fs::path("/home/utente/.config/tramela/settings.toml"));
    config.set("relativa/config");
    EXPECT_EQ(Settings::defaultPath(), fs::path("/home/utente/.config/tramela/settings.toml"));
    config.set(nullptr);
    EXPECT_EQ(Settings::defaultPath(), fs::path("/home/utente/.config/tramela/settings.toml"));
}

} // namespace
} // namespace tramela::workspace
