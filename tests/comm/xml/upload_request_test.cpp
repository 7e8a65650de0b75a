#include "comm/xml/upload_request.h"
#include "support/golden.h"

#include <gtest/gtest.h>

namespace tramela::comm::xml {
namespace {

TEST(UploadRequest, Base64FollowsTheStandardAlphabetAndPadding) {
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foo"), "Zm9v");
    EXPECT_EQ(base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(base64("\xff\xfe\xfd"), "//79");
    EXPECT_EQ(base64("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

TEST(UploadRequest, FormCarriesCredentialsOnlyWhenTheReceivingProgramAsks) {
    UploadParameters parameters;
    parameters.userName = "azienda";
    parameters.password = "segreto";
    parameters.mailAddress = "";
    const MultipartForm plain = buildMultipartForm(parameters, "tmp_42.lzma");
    EXPECT_GOLDEN(plain.prefix, "upload_request/prefix_without_credentials.txt");
    EXPECT_EQ(plain.suffix, "\r\n--xyw------2718281831415926------wyx--\r\n");
    EXPECT_EQ(plain.bodyLength(100), plain.prefix.size() + 100 + plain.suffix.size());

    parameters.needsAuthCgi = true;
    parameters.mailAddress = "a@b.it;c@d.it";
    const MultipartForm withCredentials = buildMultipartForm(parameters, "tmp_42.lzma");
    EXPECT_GOLDEN(withCredentials.prefix, "upload_request/prefix_with_credentials.txt");
}

TEST(UploadRequest, HeaderBlockComesInFourWritesWithBasicAuthenticationOnlyWhenAsked) {
    UploadParameters parameters;
    parameters.server = "ricevi.example.it:8080";
    parameters.target = "/cgi-bin/ricevi";
    parameters.userName = "azienda";
    std::string writes;
    for (const std::string& write : requestHeaderWrites(parameters, 1234)) {
        writes += "## write\n" + write;
    }
    EXPECT_GOLDEN(writes, "upload_request/header_writes.txt");

    // An empty password still carries the colon.
    parameters.needsAuthBase = true;
    EXPECT_EQ(requestHeaderWrites(parameters, 1)[1], "Authorization: Basic YXppZW5kYTo=\r\n");
}

// The server compares ISO-8859-1 bytes: the credentials and the address go out in it, in the
// form's parts and in the basic authorisation alike.
TEST(UploadRequest, CredentialsGoOutAsIso88591) {
    UploadParameters parameters;
    parameters.userName = "azienda";
    parameters.password = "però";
    parameters.mailAddress = "uffició@b.it";
    parameters.needsAuthCgi = true;
    parameters.needsAuthBase = true;
    const std::string prefix = buildMultipartForm(parameters, "p.lzma").prefix;
    EXPECT_NE(prefix.find("name=\"PWD\"\r\n\r\nper\xF2\r\n"), std::string::npos);
    EXPECT_NE(prefix.find("name=\"MAIL\"\r\n\r\nuffici\xF3@b.it\r\n"), std::string::npos);
    EXPECT_EQ(prefix.find("\xC3"), std::string::npos) << "no UTF-8 byte";
    EXPECT_EQ(requestHeaderWrites(parameters, 1)[1],
              "Authorization: Basic " + base64("azienda:per\xF2") + "\r\n");
}

} // namespace
} // namespace tramela::comm::xml
