#include "comm/xml/server_file.h"
#include "support/srvt_encoder.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tramela::comm::xml {
namespace {

using test::SrvtContent;

constexpr std::string_view kPassphrase = "Valmora-2025!";

std::optional<ServerFileContent>
decode(const std::string& file, std::string_view passphrase, ServerFileFault& fault) {
    std::istringstream in(file);
    return decodeServerFile(in, passphrase, &fault);
}

TEST(ServerPassphrase, StoredFormBothWays) {
    // 'A' (0x41) with the key's first byte '4' (0x34).
    EXPECT_EQ(storedPassphrase("A"), "75");

    const std::string twenty = "abcdefghijklmnopqrst";
    const std::string stored = storedPassphrase(twenty);
    ASSERT_EQ(stored.size(), 40u);
    EXPECT_EQ(stored.find_first_not_of("0123456789abcdef"), std::string::npos);
    // The 15th character ('o', 0x6f) comes round to the key's first byte again.
    EXPECT_EQ(stored.substr(28, 2), "5b");

    for (const std::string& clear : {twenty, std::string("\x00\xff\xe8 z", 5), std::string()}) {
        EXPECT_EQ(passphraseFromStored(storedPassphrase(clear)), clear);
    }

    // Either case; a final unpaired digit is ignored; a character that is no digit counts as 0.
    const struct {
        std::string_view stored;
        std::string clear;
    } readings[] = {{"757", "A"}, {"5B", "\x6f"}, {"zz", "4"}, {"", ""}};

    for (const auto& reading : readings) {
        EXPECT_EQ(passphraseFromStored(reading.stored), reading.clear) << reading.stored;
    }
}

TEST(ServerFile, DecodesAGoodFileWithEitherLineEnd) {
    // The check is the encoder's own too: pin it by hand on a small payload.
    EXPECT_EQ(test::srvtCheck({"ab", "c"}), "196:2:98:1");

    SrvtContent content;
    content.password = "pässword"; // UTF-8 stays as it is
    const auto payload = test::encipherSrvtLines(test::srvtClearLines(content), kPassphrase);
    for (const std::string_view eol : {"\r\n", "\n"}) {
        ServerFileFault fault = ServerFileFault::Content;
        const auto decoded = decode(test::srvtFile(payload, eol), kPassphrase, fault);
        ASSERT_TRUE(decoded) << static_cast<int>(fault);
        EXPECT_EQ(fault, ServerFileFault::None);
        EXPECT_EQ(decoded->server, "sirventa.regione.example");
        EXPECT_EQ(decoded->target, "/cgi-bin/ricevi");
        EXPECT_TRUE(decoded->needsAuthBase);
        EXPECT_FALSE(decoded->needsAuthCgi);
        EXPECT_EQ(decoded->userName, "azienda42");
        EXPECT_EQ(decoded->password, "pässword");
        EXPECT_EQ(decoded->mailAddress, content.mail);
        EXPECT_TRUE(decoded->useHttps);
        EXPECT_TRUE(decoded->needsCert);
        EXPECT_EQ(decoded->chunkSizeKb, 64);
        EXPECT_EQ(decoded->certificate, content.certificate);
    }

    // A digit other than 0 sets a flag; Latin-1 text from the original platform becomes UTF-8.
    content.cgiAuth = "7";
    content.user = "caff\xE8";
    ServerFileFault fault = ServerFileFault::None;
    const auto decoded = decode(test::encodeSrvt(content, kPassphrase), kPassphrase, fault);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->needsAuthCgi);
    EXPECT_EQ(decoded->userName, "caffè");
}

TEST(ServerFile, RefusesDamagedFilesAndWrongPassphrases) {
    const SrvtContent content;
    const auto payload = test::encipherSrvtLines(test::srvtClearLines(content), kPassphrase);
    const std::string good = test::srvtFile(payload);
    const std::string marker = "MAGIC=SirventaServerConfigurationPod\r\n";
    const std::string check = "CHECK=" + test::srvtCheck(payload) + "\r\n";

    // One digit of the fourth payload line changed, the check line kept.
    std::string altered = good;
    const std::size_t digit =
        marker.size() + payload[0].size() + payload[1].size() + payload[2].size() + 3 * 2 + 5;
    altered[digit] = altered[digit] == '0' ? '1' : '0';
    auto withClear = [&](auto change) {
        SrvtContent changed;
        change(changed);
        return test::encodeSrvt(changed, kPassphrase);
    };

    const struct {
        const char* name;
        std::string file;
        ServerFileFault fault;
    } cases[] = {
        {"one hex digit altered", altered, ServerFileFault::PayloadCheck},
        {"third marker", good + marker, ServerFileFault::Structure},
        {"check before the second marker",
         marker + check + good.substr(marker.size()),
         ServerFileFault::Structure},
        {"second check line", good + check, ServerFileFault::Structure},
        {"no check line", good.substr(0, good.size() - check.size()), ServerFileFault::Structure},
        {"check of three numbers",
         good.substr(0, good.size() - check.size()) + "CHECK=1:2:3\r\n",
         ServerFileFault::Structure},
        {"key not at the start of its line",
         test::srvtFile(test::encipherSrvtLines(
             [&] {
                 auto lines = test::srvtClearLines(content);
                 lines[1] = " " + lines[1];
                 return lines;
             }(),
             kPassphrase)),
         ServerFileFault::Content},
        {"flag that is no digit",
         withClear([](SrvtContent& c) { c.https = "si"; }),
         ServerFileFault::Content},
        {"chunk size that is no number",
         withClear([](SrvtContent& c) { c.chunkSize = "64KB"; }),
         ServerFileFault::Content},
        {"line break in a value",
         withClear([](SrvtContent& c) { c.target = "/cgi\r\nX: y"; }),
         ServerFileFault::Content},
        {"empty server",
         withClear([](SrvtContent& c) { c.server.clear(); }),
         ServerFileFault::Content},
        {"keyed lines missing",
         test::srvtFile(test::encipherSrvtLines({content.proof, "SERVER=a"}, kPassphrase)),
         ServerFileFault::Content},
    };

    for (const auto& c : cases) {
        ServerFileFault fault = ServerFileFault::None;
        const auto decoded = decode(c.file, kPassphrase, fault);
        EXPECT_EQ(decoded.has_value(), c.fault == ServerFileFault::None) << c.name;
        EXPECT_EQ(fault, c.fault) << c.name;
    }

    // A wrong passphrase passes the payload check and fails on the first deciphered line.
    ServerFileFault fault = ServerFileFault::None;
    EXPECT_FALSE(decode(good, "Valmora-2024!", fault));
    EXPECT_EQ(fault, ServerFileFault::Passphrase);
    EXPECT_FALSE(decode(good, "", fault));
    EXPECT_EQ(fault, ServerFileFault::Passphrase);
}

TEST(ServerFile, BoundsItsLinesWithoutReadingThemWhole) {
    // 11 keyed lines and 501 certificate lines make 512 payload lines: the most there can be.
    SrvtContent content;
    content.certificate = std::string(501, 'C');
    content.certificateLineBytes = 1;
    ServerFileFault fault = ServerFileFault::None;
    const auto decoded = decode(test::encodeSrvt(content, kPassphrase), kPassphrase, fault);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->certificate, content.certificate);

    content.certificate += 'C';
    EXPECT_FALSE(decode(test::encodeSrvt(content, kPassphrase), kPassphrase, fault));
    EXPECT_EQ(fault, ServerFileFault::TooLarge);

    // A line of 10 MB, with or without an end, and a million short lines.
    const std::string longLine(10 * 1024 * 1024, 'a');
    for (const std::string& file :
         {longLine, longLine + "\n" + test::encodeSrvt({}, kPassphrase)}) {
        EXPECT_FALSE(decode(file, kPassphrase, fault));
        EXPECT_EQ(fault, ServerFileFault::TooLarge);
    }
    std::string manyLines;
    for (int i = 0; i < 1'000'000; ++i) {
        manyLines += "00\n";
    }
    EXPECT_FALSE(decode(manyLines, kPassphrase, fault));
    EXPECT_EQ(fault, ServerFileFault::TooLarge);

    // A line of exactly the longest length is read.
    content = SrvtContent{};
    content.certificate = std::string(kMaxServerFileLineLength / 2, 'P');
    content.certificateLineBytes = content.certificate.size();
    EXPECT_TRUE(decode(test::encodeSrvt(content, kPassphrase), kPassphrase, fault));
}

} // namespace
} // namespace tramela::comm::xml
