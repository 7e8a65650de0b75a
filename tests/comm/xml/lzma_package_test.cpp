#include "comm/xml/lzma_package.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>

namespace tramela::comm::xml {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::string head(std::uint64_t size) {
    std::string bytes = {'\x5D', '\x00', '\x00', '\x20', '\x00'};
    for (int i = 0; i < 8; ++i) {
        bytes += static_cast<char>(size >> (8 * i) & 0xFF);
    }
    return bytes;
}

std::string compressibleDocument(std::size_t size) {
    std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<Comunicazione>\r\n";
    for (long trip = 1; text.size() < size; ++trip) {
        text += "<Corsa id=\"" + std::to_string(trip) + "\" linea=\"" + std::to_string(trip % 37) +
                "\"><Giorno data=\"2025-03-0" + std::to_string(trip % 9 + 1) + "\"/></Corsa>\r\n";
    }
    return text;
}

std::string randomBytes(std::size_t size) {
    std::mt19937 generator(20250301);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

TEST(LzmaPackage, PackagesUnpackWithAnIndependentReaderToTheDocument) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> documents = {
        {"vuoto", ""},
        {"breve", "<?xml version=\"1.0\"?>\r\n<Comunicazione/>\r\n"},
        {"grande", compressibleDocument(3u << 20)}, // beyond the 2 MiB dictionary
        {"casuale", randomBytes(300000)},           // incompressible
    };
    for (const auto& [name, document] : documents) {
        SCOPED_TRACE(name);
        writeFile(dir / (name + ".xml"), document);
        std::vector<int> progress;
        ASSERT_TRUE(packLzma(dir / (name + ".xml"), dir / (name + ".lzma"), [&](int percent) {
            progress.push_back(percent);
        }));
        const std::string package = readFile(dir / (name + ".lzma"));
        ASSERT_GE(package.size(), 13U);
        EXPECT_EQ(package.substr(0, 13), head(document.size()));

        const auto unpacked =
            test::runProcess("/usr/bin/xz", {"--format=lzma", "-dc", name + ".lzma"}, dir.path());
        EXPECT_EQ(unpacked.exitCode, 0) << unpacked.err;
        EXPECT_TRUE(unpacked.out == document);

        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.front(), 0);
        EXPECT_EQ(progress.back(), 100);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    }
    // Nothing but the documents and their packages is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 8);
}

TEST(LzmaPackage, StreamIsTheOneOfTheServersEncoderSettings) {
    // The reference encoder with the same settings writes the same stream, except that it ends
    // with an end marker (and announces no size): the bytes agree up to the last few, and ours
    // is the shorter by the marker.
    TempDir dir;
    const std::string document = compressibleDocument(400000) + randomBytes(20000);
    writeFile(dir / "doc.xml", document);
    ASSERT_TRUE(packLzma(dir / "doc.xml", dir / "doc.lzma"));
    const auto reference = test::runProcess(
        "/usr/bin/xz",
        {"--format=lzma",
         "--lzma1=preset=6,dict=2MiB,lc=3,lp=0,pb=2,mode=normal,nice=128,mf=bt4,depth=48",
         "-c",
         "doc.xml"},
        dir.path());
    ASSERT_EQ(reference.exitCode, 0) << reference.err;
    const std::string ours = readFile(dir / "doc.lzma").substr(13);
    const std::string theirs = reference.out.substr(13);
    const auto common = std::mismatch(ours.begin(), ours.end(), theirs.begin(), theirs.end());
    EXPECT_GE(common.first - ours.begin(), static_cast<long>(ours.size()) - 8);
    EXPECT_LT(ours.size(), theirs.size());
}

TEST(LzmaPackage, FailureLeavesNoPackageBehind) {
    TempDir dir;
    writeFile(dir / "doc.xml", "<Comunicazione/>");
    writeFile(dir / "old.lzma", "precedente");

    EXPECT_FALSE(packLzma(dir / "manca.xml", dir / "old.lzma"));
    EXPECT_EQ(readFile(dir / "old.lzma"), "precedente");
    EXPECT_FALSE(packLzma(dir.path(), dir / "cartella.lzma")); // a folder is no document
    EXPECT_FALSE(packLzma(dir / "doc.xml", dir / "manca" / "doc.lzma"));

    EXPECT_FALSE(std::filesystem::exists(dir / "cartella.lzma"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

} // namespace
} // namespace tramela::comm::xml
