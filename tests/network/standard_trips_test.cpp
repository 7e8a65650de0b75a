#include "network/standard_trips.h"
#include "support/sample_workspace.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tramela::network {
namespace {

const TripCodeLists kLists{{"0003", "0004"}, {"0000", "0001"}, {"0042", "0043"}};

ui::FormValues goodValues() {
    return {{"code", "C9 "},
            {"line", ""},
            {"direction", "r"},
            {"start", "7.05"},
            {"end", "08.10"},
            {"authority", "3"},
            {"lot", "0001"},
            {"company", "42"},
            {"subcontractor", "0043"},
            {"vehicle", "x"}};
}

std::string refusalWith(TripDialog dialog, std::string_view field, std::string value) {
    ui::FormValues values = goodValues();
    values[std::string(field)] = std::move(value);
    const auto read = ReadTripForm(dialog, values, kLists);
    const auto* refused = std::get_if<ui::Refusal>(&read);
    return refused != nullptr ? refused->text : std::string();
}

TEST(TripDialogs, TakeTheHeadInTheDialogsOrderAndRefuseWithTheSystemsTexts) {
    const auto read = ReadTripForm(TripDialog::NewStandard, goodValues(), kLists);
    const TripEntry& entry = std::get<TripEntry>(read);
    EXPECT_EQ(entry.head.code, "C9");
    EXPECT_EQ(entry.head.line, "");
    EXPECT_EQ(entry.head.direction, 'R');
    EXPECT_EQ(entry.head.start, 705);
    EXPECT_EQ(entry.end, 810);
    EXPECT_EQ(entry.head.authority, 3);
    EXPECT_EQ(entry.head.company, 42);
    EXPECT_EQ(entry.head.subcontractor, 43);
    EXPECT_EQ(entry.head.vehicle, "X");

    EXPECT_EQ(refusalWith(TripDialog::Clone, "lot", "7"),
              "ATTENZIONE: Il Codice Lotto non è valido.\n\n"
              "Occorre selezionare un Codice Regionale Lotto presente nella lista.\n\n"
              "I dati immessi non saranno registrati !!!");
    EXPECT_TRUE(refusalWith(TripDialog::Head, "authority", "-3")
                    .starts_with("ATTENZIONE: Il Codice Ente Concedente non è valido.\n\n"));
    EXPECT_TRUE(refusalWith(TripDialog::Head, "company", "0x2A")
                    .starts_with("ATTENZIONE: Il Codice Azienda Gestione non è valido.\n\n"));
    EXPECT_TRUE(refusalWith(TripDialog::Head, "subcontractor", "")
                    .starts_with("ATTENZIONE: Il Codice Azienda Subappalto non è valido.\n\n"));
    EXPECT_EQ(refusalWith(TripDialog::Clone, "start", "24.00"),
              "L'orario di partenza è espresso in modo illegale.\n\n"
              "Gli orari devono essere espressi nel formato HH.MM\n\n");
    EXPECT_TRUE(refusalWith(TripDialog::NewStandard, "end", "8.1")
                    .starts_with("L'orario di arrivo è espresso in modo illegale.\n\n"));
    // Only the new standard trip has an end time.
    EXPECT_EQ(refusalWith(TripDialog::Clone, "end", "8.1"), "");
    EXPECT_NE(refusalWith(TripDialog::Clone, "direction", "X"), "");
    EXPECT_NE(refusalWith(TripDialog::Clone, "direction", ""), "");
    EXPECT_NE(refusalWith(TripDialog::Clone, "vehicle", "Z"), "");
    EXPECT_NE(refusalWith(TripDialog::Clone, "code", std::string(21, 'C')), "");
    EXPECT_EQ(refusalWith(TripDialog::Clone, "vehicle", ""), "");
    // The first fault in the dialog's order is the one told.
    ui::FormValues twoFaults = goodValues();
    twoFaults["direction"] = "?";
    twoFaults["lot"] = "?";
    EXPECT_TRUE(std::get<ui::Refusal>(ReadTripForm(TripDialog::Clone, twoFaults, kLists))
                    .text.starts_with("ATTENZIONE: Il Verso"));
}

TEST(TripDialogs, TheBandNeedsTwoTimesAndAFrequencyAboveZero) {
    const ui::FormSpec form = bandForm();
    const auto refusalOf = [&form](std::string start, std::string end, std::string frequency) {
        const auto refused =
            form.validate({{"start", start}, {"end", end}, {"frequency", frequency}});
        return refused ? refused->text : std::string();
    };
    EXPECT_EQ(refusalOf("07.00", "08.00", "15"), "");
    const std::string badFrequency = "La frequenza indicata è illegale.\n\n"
                                     "La frequenza delle corse deve essere espressa in minuti.\n\n";
    for (std::string frequency : {"0", "", "-5", "abc", "1.5", "99999999999"}) {
        EXPECT_EQ(refusalOf("07.00", "08.00", frequency), badFrequency) << frequency;
    }
    EXPECT_TRUE(refusalOf("7", "08.00", "15").starts_with("L'orario di inizio fascia oraria"));
    EXPECT_TRUE(refusalOf("07.00", "", "15").starts_with("L'orario di termine della fascia"));
}

class StandardTripOperations : public test::SampleWorkspace {
protected:
    TripHead head() {
        TripHead h;
        h.code = "N1";
        h.direction = 'R';
        h.start = 2350;
        h.authority = 4;
        h.lot = 1;
        h.company = 42;
        h.subcontractor = 42;
        h.vehicle = "T";
        return h;
    }

    std::string trips(int from) {
        return rows("SELECT id, codcorsa, codlinea, verso, parte, ente, lung, tempo, ct_lung, "
                    "ct_tempo, id_perc, standard, mezzo FROM corse WHERE id >= " +
                    std::to_string(from) + " ORDER BY id");
    }
};

// A route of 10000 m with stops at 0, 3333 and 5000 m... and 10000 m: from 23.50 to 00.20 the
// trip runs 30 minutes, the stop at 5000 m is reached at 15, the one at 3333 m at 9.999, 10.
const std::string kLongRoute = "INSERT INTO itiner VALUES (6, 'L6', 'Sei', 10000, 10000);"
                               "INSERT INTO fermitin VALUES (6, 1, 1, 0, 0, 0, 0),"
                               " (6, 2, 2, 3333, 0, 0, 0), (6, 3, 3, 5000, 0, 0, 0),"
                               " (6, 4, 4, 10000, 0, 0, 0);";

TEST_F(StandardTripOperations, ANewStandardTripSpreadsItsTimesAndTheFirstOfAnEmptyTableIsZero) {
    open(kLongRoute);
    const auto created = InsertTripWithNewStandard(connection(), RouteId{6}, head(), 20);
    ASSERT_TRUE(created);
    EXPECT_EQ(created->standard, StandardTripId{3});
    EXPECT_EQ(created->trip, TripId{3});
    EXPECT_EQ(rows("SELECT sub, fermata, arriva, parte, nonferma, fisso FROM detstd WHERE id = 3"),
              "1|1|0|0|0|0\n2|2|10|10|0|0\n3|3|15|15|0|0\n4|4|30|30|0|0\n");
    EXPECT_EQ(rows("SELECT id_perc FROM tesstd WHERE id = 3"), "6\n");
    EXPECT_EQ(trips(3), "3|N1| |R|2350|4|10000.0|30|10000.0|30|6|3|T\n");
    EXPECT_EQ(rows("SELECT * FROM extcod WHERE id = 3"), "3|1|42|42\n");

    sql("DELETE FROM period; DELETE FROM extcod; DELETE FROM corse; DELETE FROM detstd;"
        "DELETE FROM tesstd;");
    const auto first = InsertTripWithNewStandard(connection(), RouteId{6}, head(), 20);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->standard, StandardTripId{0});
    EXPECT_EQ(first->trip, TripId{1});

    // A route without stops is refused and writes nothing.
    EXPECT_FALSE(InsertTripWithNewStandard(connection(), RouteId{99}, head(), 20));
    EXPECT_EQ(ui.lastMessage()->icon, ui::Icon::Stop);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM tesstd"), "1\n");
}

TEST_F(StandardTripOperations, ACloneRunsTheSourcesStandardTripWithItsOwnHeadAndTheSourcesPeriods) {
    open();
    TripHead h = head();
    h.code.clear();
    const auto clone = CloneTrip(connection(), TripId{1}, h);
    ASSERT_TRUE(clone);
    EXPECT_EQ(*clone, TripId{3});
    EXPECT_EQ(trips(3), "3| | |R|2350|4|12345.67|20|12345.67|20|1|1|T\n");
    EXPECT_EQ(rows("SELECT caden, inizio, fine, escluso FROM period WHERE id = 3 ORDER BY caden"),
              "FER|2024-01-01|2024-06-30|0\nFES|2024-01-01|2024-12-31|0\n");
    EXPECT_EQ(rows("SELECT * FROM extcod WHERE id = 3"), "3|1|42|42\n");
    EXPECT_FALSE(CloneTrip(connection(), TripId{55}, h));
}

TEST_F(StandardTripOperations, ABandOfClonesRunsEveryStepUpToItsEndAndIsWrittenWholeOrNotAtAll) {
    open();
    const auto band = CloneTripAtFrequency(connection(), TripId{2}, {7 * 60, 8 * 60, 15});
    ASSERT_TRUE(band);
    EXPECT_EQ(band->size(), 5u);
    EXPECT_EQ(rows("SELECT id, codcorsa, parte FROM corse WHERE id > 2 ORDER BY id"),
              "3| |700\n4| |715\n5| |730\n6| |745\n7| |800\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM period WHERE id > 2"), "10\n");
    EXPECT_EQ(rows("SELECT COUNT(*) FROM extcod WHERE id > 2 AND lotto = 1 AND aziges = 42"),
              "5\n");
    EXPECT_TRUE(CloneTripAtFrequency(connection(), TripId{2}, {9 * 60, 8 * 60, 15})->empty());

    // A source whose codes are unknown gives clones without extended codes.
    sql("DROP TRIGGER rel_extcod_lotti_upd; UPDATE extcod SET lotto = -1 WHERE id = 1");
    EXPECT_EQ(CloneTripAtFrequency(connection(), TripId{1}, {0, 0, 5})->size(), 1u);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM extcod WHERE id = 8"), "0\n");

    // A row the store refuses midway leaves no clone of the band.
    sql("CREATE TRIGGER refuse_clone BEFORE INSERT ON corse WHEN NEW.parte = 1130 "
        "BEGIN SELECT RAISE(ABORT, 'rifiutata'); END;");
    EXPECT_FALSE(CloneTripAtFrequency(connection(), TripId{2}, {11 * 60, 12 * 60, 10}));
    EXPECT_EQ(rows("SELECT MAX(id) FROM corse"), "8\n");
    EXPECT_EQ(connection().transactionDepth(), 0);
}

TEST_F(StandardTripOperations, AHeadChangeProposesTheHeadersCompanyWhenTheTripHasNoCodes) {
    open("DELETE FROM extcod WHERE id = 2; UPDATE master SET azienda = 43;");
    const auto proposed = ReadTripHead(connection(), TripId{2});
    ASSERT_TRUE(proposed);
    EXPECT_EQ(proposed->code, "C002");
    EXPECT_EQ(proposed->start, 735);
    EXPECT_EQ(proposed->company, 43);
    EXPECT_EQ(proposed->subcontractor, 43);
    EXPECT_EQ(proposed->lot, 0);
    const ui::FormSpec form = tripForm(TripDialog::Head, kLists, *proposed);
    EXPECT_EQ(form.initialValues().at("start"), "07.35");
    EXPECT_EQ(form.initialValues().at("company"), "0043");
    EXPECT_FALSE(form.field("end"));

    TripHead changed = *proposed;
    changed.line = "L9";
    changed.start = 810;
    ASSERT_TRUE(ChangeTripHead(connection(), TripId{2}, changed));
    EXPECT_EQ(rows("SELECT codcorsa, codlinea, parte FROM corse WHERE id = 2"), "C002|L9|810\n");
    EXPECT_EQ(rows("SELECT * FROM extcod WHERE id = 2"), "2|0|43|43\n");
    changed.lot = 1;
    ASSERT_TRUE(ChangeTripHead(connection(), TripId{2}, changed));
    EXPECT_EQ(rows("SELECT * FROM extcod WHERE id = 2"), "2|1|43|43\n");
    EXPECT_FALSE(ChangeTripHead(connection(), TripId{77}, changed));
}

} // namespace
} // namespace tramela::network
