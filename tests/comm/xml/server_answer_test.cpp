#include "comm/xml/server_answer.h"
#include "support/golden.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>

namespace tramela::comm::xml {
namespace {

std::string page(std::string_view status, std::string_view body) {
    return std::string(status) + "\r\nServer: Sirventa\r\nContent-Type: text/html\r\n\r\n" +
           "<html><head><title>Esito</title></head>\r\n<body>\r\n" + std::string(body) +
           "</body></html>\r\n";
}

TEST(ServerAnswer, AcceptedCommunicationShowsTheTextAfterTheMarker) {
    const ServerAnswer judged =
        judgeAnswer(page("HTTP/1.1 200 OK",
                         "<h1>Ricevuta</h1>\r\n<!-- sirventaMAGICvkz ok -->\r\n"
                         "Comunicazione   registrata\tcon il\r\nprotocollo 77.\r\n"));
    EXPECT_TRUE(judged.success);
    EXPECT_TRUE(judged.markerResult);
    EXPECT_EQ(judged.statusLine, "HTTP/1.1 200 OK\r\n");
    // Blanks fold into one; a run goes on across a line break; the heading before the marker
    // is not reported.
    EXPECT_EQ(judged.bodyText, "\nComunicazione registrata con ilprotocollo 77.");
    EXPECT_FALSE(judgeAnswer(page("HTTP/1.1 200 OK", "<p>Errore formale</p>\r\n")).success);
}

TEST(ServerAnswer, MarkerWordsMustFollowEachOtherAndTheLastCommentDecides) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"<!--sirventaMAGICvkzok-->", true},
        {"<!--  sirventaMAGICvkz \t ok  -->", true},
        {"<!-- sirventaMAGICvkz\r\nok -->", true}, // a comment may go on on the next line
        {"<!-- sirventaMAGICvkz: ok -->", false},
        {"<!-- sirventaMAGICvkz error -->", false},
        {"<!-- sirventaMAGICvkz ok --><!-- sirventaMAGICvkz error -->", false},
        {"<!-- sirventaMAGICvkz error --><!-- sirventaMAGICvkz ok -->", true},
        {"<!-- sirventaMAGICvkz ok --><!-- altro commento -->", true},
        {"<!-- sirventaMAGICvkz ok error -->", false},
        {"<p>sirventaMAGICvkz ok</p>", false}, // only a comment carries the marker
    };
    for (const auto& [body, success] : cases) {
        SCOPED_TRACE(body);
        EXPECT_EQ(judgeAnswer(page("HTTP/1.1 200 OK", body + "\r\n")).success, success);
    }
}

// The message of each answer, for one golden file: accepted, without the marker (the page's text
// still shown, in a refusal), none, without a status line, an interim 100 followed by the real
// answer (the last status line counts), other codes (no page text), a status line without a code
// (code 0).
TEST(ServerAnswer, MessagesSayWhatTheServerAnswered) {
    std::string messages;
    for (const std::string& answer :
         {page("HTTP/1.1 200 OK",
               "<h1>Ricevuta</h1>\r\n<!-- sirventaMAGICvkz ok -->\r\nComunicazione   registrata"
               "\tcon il\r\nprotocollo 77.\r\n"),
          page("HTTP/1.1 200 OK", "<p>Errore formale</p>\r\n"),
          std::string(),
          std::string("<html><body>ciao</body></html>\r\n"),
          "HTTP/1.1 100 Continue\r\n\r\n" + page("HTTP/1.1 401 Unauthorized", "Accesso negato\r\n"),
          page("HTTP/1.1 500 Internal Server Error", "Guasto\r\n"),
          std::string("HTTP\n")}) {
        messages += "##\n" + judgeAnswer(answer).message + "\n";
    }
    EXPECT_GOLDEN(messages, "server_answer/messages.txt");
}

TEST(ServerAnswer, StatusLineOfAnAnswerCutShort) {
    // The answer has ended with the connection: its last line counts without a line feed, be it
    // the status line or the one that holds the marker.
    EXPECT_EQ(judgeAnswer("HTTP/1.1 200 OK").statusLine, "HTTP/1.1 200 OK");
    EXPECT_FALSE(judgeAnswer("HTTP/1.1 200 OK").success);
    EXPECT_TRUE(
        judgeAnswer("HTTP/1.1 200 OK\r\n\r\n<body><!-- sirventaMAGICvkz ok --></body>").success);
}

TEST(ServerAnswer, OnlyTheBodysVisibleTextIsCollected) {
    const ServerAnswer judged = judgeAnswer(
        "HTTP/1.1 200 OK\r\n\r\n<HTML><TITLE>Titolo</TITLE>fuori\r\n<BODY bgcolor=\"white\">"
        "<b>Uno</b> due<br>\r\n<a\r\nhref=\"x\">tre</a></Body>dopo\r\n<body>quattro</body>\r\n");
    // A blank inside a tag still separates the text around the tag.
    EXPECT_EQ(judged.bodyText, "\n Uno\n due\ntre\nquattro\n");
}

TEST(ServerAnswer, HugeAnswersAreCutNotOverrun) {
    // Ten megabytes without a line feed: nothing is a complete line.
    EXPECT_EQ(judgeAnswer(std::string(10u << 20, 'x')).statusLine, "");

    // A line, a text run and a tag longer than the working buffers are cut.
    const ServerAnswer longRun =
        judgeAnswer("HTTP/1.1 200 OK\r\n<body>\r\n" + std::string(10000, 'a') + "\r\n</body>\r\n");
    EXPECT_EQ(longRun.bodyText, "\n" + std::string(4095, 'a'));
    const ServerAnswer longTag =
        judgeAnswer("HTTP/1.1 200 OK\r\n<body><a href=\"" + std::string(20000, 'h') +
                    "\">testo</a>\r\n</body>\r\n");
    EXPECT_EQ(longTag.bodyText, "\n"); // the line is cut inside the tag, which goes on

    // A comment of 100 KB: only its first 1,023 characters are examined.
    const std::string filler(100000, '-');
    EXPECT_TRUE(judgeAnswer("HTTP/1.1 200 OK\r\n<body>\r\n<!--sirventaMAGICvkzok" + filler +
                            "\r\n-->\r\n</body>\r\n")
                    .success);
    EXPECT_FALSE(judgeAnswer("HTTP/1.1 200 OK\r\n<body>\r\n<!--" + filler +
                             "\r\nsirventaMAGICvkzok-->\r\n</body>\r\n")
                     .success);
}

TEST(ServerAnswer, TextsAreUtf8WhateverTheServersEncoding) {
    // ISO-8859-1 bytes become their characters; UTF-8 stays as it is.
    const ServerAnswer latin1 =
        judgeAnswer("HTTP/1.1 200 OK\r\n<body><!--sirventaMAGICvkzok-->Perch\xE9 \xA7 3\r\n");
    EXPECT_EQ(latin1.bodyText, "\nPerché § 3");
    const ServerAnswer utf8 =
        judgeAnswer("HTTP/1.1 200 OK\r\n<body><!--sirventaMAGICvkzok-->Perché € 3\r\n");
    EXPECT_EQ(utf8.bodyText, "\nPerché € 3");
    // Stray continuation bytes and a lone lead byte are not UTF-8.
    EXPECT_EQ(judgeAnswer("HTTP/1.1 200 OK\r\n<body>\x80\xC3 \xF0\x9F\r\n").bodyText,
              "\n\xC2\x80\xC3\x83 \xC3\xB0\xC2\x9F");
}

TEST(ServerAnswer, OutcomeBoxes) {
    ui::ScriptedUi ui;
    showOutcome(ui, TransferResult{false, "HTTP/1.1 200 OK\r\n"});
    showOutcome(ui,
                TransferResult{true, page("HTTP/1.1 200 OK", "<!--sirventaMAGICvkzok-->Bene\r\n")});
    showOutcome(ui, TransferResult{true, ""});
    EXPECT_GOLDEN(test::transcript(ui), "server_answer/outcomes.txt");
}

} // namespace
} // namespace tramela::comm::xml
