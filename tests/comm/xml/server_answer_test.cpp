#include "comm/xml/server_answer.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>

namespace tramela::comm::xml {
namespace {

const std::string kHead = "Il server SIRVENTA ha inviato la seguente informazione di stato:\n\n";
const std::string kRefused =
    "Quindi a causa dell'errore precedente la trasmissione telematica\nnon è andata a buon fine";

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
    EXPECT_EQ(judged.message,
              kHead + "HTTP/1.1 200 OK\n\nComunicazione registrata con ilprotocollo 77.\n"
                      "Quindi la trasmissione telematica è andata a buon fine");

    // Without the marker the page's text is still shown, in a refusal.
    const ServerAnswer unmarked = judgeAnswer(page("HTTP/1.1 200 OK", "<p>Errore formale</p>\r\n"));
    EXPECT_FALSE(unmarked.success);
    EXPECT_EQ(unmarked.message, kHead + "HTTP/1.1 200 OK\n\nErrore formale\n\n" + kRefused);
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

TEST(ServerAnswer, StatusLineAndIncompleteAnswers) {
    const std::string noAnswer = "Non è disponibile alcuna risposta proveniente dal server "
                                 "SIRVENTA\n\nQuindi a causa degli errori precedenti la "
                                 "trasmissione telematica\nnon è andata a buon fine";
    const std::string noStatus = "La risposta proveniente dal server SIRVENTA non contiene\n"
                                 "nessuna informazione di stato\n\nQuindi a causa degli errori "
                                 "precedenti la trasmissione telematica\nnon è andata a buon fine";
    EXPECT_EQ(judgeAnswer("").message, noAnswer);
    EXPECT_EQ(judgeAnswer("<html><body>ciao</body></html>\r\n").message, noStatus);
    // The answer has ended with the connection: its last line counts without a line feed, be it
    // the status line or the one that holds the marker.
    EXPECT_EQ(judgeAnswer("HTTP/1.1 200 OK").statusLine, "HTTP/1.1 200 OK");
    EXPECT_FALSE(judgeAnswer("HTTP/1.1 200 OK").success);
    EXPECT_TRUE(
        judgeAnswer("HTTP/1.1 200 OK\r\n\r\n<body><!-- sirventaMAGICvkz ok --></body>").success);

    // The last status line counts: an interim 100 is followed by the real answer.
    const ServerAnswer unauthorized = judgeAnswer(
        "HTTP/1.1 100 Continue\r\n\r\n" + page("HTTP/1.1 401 Unauthorized", "Accesso negato\r\n"));
    EXPECT_EQ(unauthorized.message,
              kHead +
                  "HTTP/1.1 401 Unauthorized\n\nAccesso negato\n"
                  "Utente non autorizzato !!!\n[presumibilmente user+password sono errate]\n\n" +
                  kRefused);

    // Other codes show no page text; a status line without a code counts as code 0.
    const std::string unclassified = "\nErrore non classificato !!!\n\n" + kRefused;
    EXPECT_EQ(judgeAnswer(page("HTTP/1.1 500 Internal Server Error", "Guasto\r\n")).message,
              kHead + "HTTP/1.1 500 Internal Server Error\n" + unclassified);
    EXPECT_EQ(judgeAnswer("HTTP\n").message, kHead + "HTTP\n" + unclassified);
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
    ASSERT_EQ(ui.messages().size(), 3U);
    EXPECT_EQ(ui.messages()[0].text,
              "A causa di problemi sulla connessione di rete\n"
              "non risulta possibile completare l'invio telematico");
    EXPECT_EQ(ui.messages()[0].icon, ui::Icon::Stop);
    EXPECT_EQ(ui.messages()[1].icon, ui::Icon::Information);
    EXPECT_TRUE(ui.messages()[1].text.ends_with("Bene\nQuindi la trasmissione telematica è andata "
                                                "a buon fine"));
    EXPECT_EQ(ui.messages()[2].icon, ui::Icon::Stop);
    EXPECT_TRUE(ui.messages()[2].text.starts_with("Non è disponibile alcuna risposta"));
}

} // namespace
} // namespace tramela::comm::xml
