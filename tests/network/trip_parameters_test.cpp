// Trip parameter assignment on the sample network: route 1 runs trip 1 (standard trip 1);
// the tests add trips 3 (standard trip 1) and 4 (standard trip 3), neither with extended codes.

#include "network/trip_parameters.h"
#include "support/sample_workspace.h"

#include <gtest/gtest.h>

namespace tramela::network {
namespace {

namespace fields = parameter_fields;

constexpr std::string_view kMoreTrips =
    "INSERT INTO tesstd VALUES (3, 1);"
    "INSERT INTO detstd VALUES (3, 1, 1, 0, 0, 0, 0), (3, 2, 2, 9, 9, 0, 0),"
    " (3, 3, 3, 30, 30, 0, 0);"
    "INSERT INTO corse VALUES"
    " (3, 'C003', 'L1', 'A', 700, 3, 1914.21, 20, 1914.21, 20, 1, 1, 'U', NULL, NULL),"
    " (4, 'C004', 'L2', 'A', 1200, 3, 1914.21, 30, 1914.21, 30, 1, 3, 'X', NULL, NULL);";

constexpr std::string_view kAllTrips =
    "SELECT corse.*, extcod.* FROM corse LEFT JOIN extcod ON extcod.id = corse.id ORDER BY 1";

class TripParametersTest : public test::SampleWorkspace {
protected:
    void SetUp() override {
        open(std::string(kMoreTrips));
        lists = *LoadParameterLists(connection());
    }

    // The dialog as it opens on `trip`, with every box cleared and the changes laid over it.
    ui::FormValues dialog(std::int32_t trip, const ui::FormValues& changes) {
        const auto current = ReadTripParameters(connection(), TripId{trip});
        EXPECT_TRUE(current.has_value());
        ui::FormValues values = tripParametersForm(lists, *current).initialValues();
        for (const std::string_view box : {fields::kSetLine,
                                           fields::kSetAuthority,
                                           fields::kSetLot,
                                           fields::kSetCompany,
                                           fields::kSetSubcontractor,
                                           fields::kSetVehicle}) {
            values[std::string(box)] = "0";
        }
        for (const auto& [id, value] : changes) {
            values[id] = value;
        }
        return values;
    }

    std::variant<TripParameters, ui::Refusal> read(std::int32_t trip,
                                                   const ui::FormValues& changes) {
        return ReadTripParametersForm(dialog(trip, changes), lists);
    }

    std::optional<int> assign(std::int32_t trip, const ui::FormValues& changes) {
        auto chosen = read(trip, changes);
        if (auto* refused = std::get_if<ui::Refusal>(&chosen)) {
            ADD_FAILURE() << refused->text;
            return std::nullopt;
        }
        return AssignTripParameters(connection(), TripId{trip}, std::get<TripParameters>(chosen));
    }

    std::string refusal(const ui::FormValues& changes) {
        auto chosen = read(1, changes);
        const auto* refused = std::get_if<ui::Refusal>(&chosen);
        return refused != nullptr ? refused->text : std::string();
    }

    ParameterLists lists;
};

TEST_F(TripParametersTest, TheDialogOpensOnTheTripsValuesWithTheRegistersAsLists) {
    const auto current = ReadTripParameters(connection(), TripId{1});
    ASSERT_TRUE(current);
    const ui::FormSpec form = tripParametersForm(lists, *current);
    const ui::FormValues values = form.initialValues();
    EXPECT_EQ(values.at("line"), "L1");
    EXPECT_EQ(values.at("direction"), "A");
    EXPECT_EQ(values.at("authority"), "0003");
    EXPECT_EQ(values.at("lot"), "0001");
    EXPECT_EQ(values.at("company"), "0042");
    EXPECT_EQ(values.at("length"), "12346");
    EXPECT_EQ(values.at("vehicle"), "Bus Urbano");
    EXPECT_EQ(values.at("scope"), "Tutte le corse di questo percorso");
    EXPECT_EQ(values.at("set-line"), "1");
    EXPECT_EQ(values.at("set-contract"), "0");
    EXPECT_EQ(form.field("authority")->entries.at(3), "0003 - Provincia di Corvasca");
    // A trip without extended codes proposes the header's company and lot 0.
    const auto bare = ReadTripParameters(connection(), TripId{4});
    EXPECT_EQ(bare->company, 42);
    EXPECT_EQ(bare->subcontractor, 42);
    EXPECT_EQ(bare->lot, 0);
    // A group's values are typed only while its box is ticked.
    ui::FormValues unticked = values;
    unticked["set-lot"] = "0";
    EXPECT_FALSE(form.editable("lot", unticked));
    EXPECT_TRUE(form.editable("lot", values));
}

TEST_F(TripParametersTest, CodesOutsideTheirListsAndBadNumbersAreRefusedWithTheSystemsTexts) {
    EXPECT_EQ(refusal({{"set-authority", "1"}, {"authority", "9999"}}),
              "ATTENZIONE: Il Codice Ente Concedente non è valido.\n\n"
              "Occorre selezionare un Codice Regionale Ente presente nella lista.\n\n"
              "I dati immessi non saranno registrati !!!");
    EXPECT_EQ(refusal({{"set-lot", "1"}, {"lot", "1a"}}),
              "ATTENZIONE: Il Codice Lotto di Gara non è valido.\n\n"
              "Occorre selezionare un Codice Regionale Lotto presente nella lista.\n\n"
              "I dati immessi non saranno registrati !!!");
    EXPECT_TRUE(refusal({{"set-company", "1"}, {"company", ""}})
                    .starts_with("ATTENZIONE: Il Codice Azienda Gestione non è valido."));
    EXPECT_TRUE(refusal({{"set-subcontractor", "1"}, {"subcontractor", "-1"}})
                    .starts_with("ATTENZIONE: Il Codice Azienda Subappalto non è valido."));
    // A code not ticked is not checked; the first fault in the dialog's order is told.
    EXPECT_EQ(refusal({{"lot", "xx"}}), "");
    EXPECT_TRUE(refusal({{"set-lot", "1"}, {"lot", "x"}, {"set-company", "1"}, {"company", "x"}})
                    .starts_with("ATTENZIONE: Il Codice Lotto"));
    // Lengths and durations: the number at the start of the field, never garbage or negative.
    const auto physical =
        read(1, {{"set-physical", "1"}, {"length", "1500.7 m"}, {"duration", "25"}});
    EXPECT_EQ(std::get<TripParameters>(physical).length, 1500);
    EXPECT_EQ(std::get<TripParameters>(physical).duration, 25);
    EXPECT_TRUE(refusal({{"set-physical", "1"}, {"length", "abc"}})
                    .starts_with("ATTENZIONE: il valore del campo \"Lunghezza fisica (m.)\""));
    EXPECT_NE(refusal({{"set-contract", "1"}, {"contract-duration", "40000"}}), "");
    EXPECT_NE(refusal({{"set-contract", "1"}, {"contract-length", "-5"}}), "");
    EXPECT_NE(refusal({{"set-line", "1"}, {"line", "ABCDEFGHIJK"}}), "");
    EXPECT_NE(refusal({{"set-vehicle", "1"}, {"vehicle", "Astronave"}}), "");
}

TEST_F(TripParametersTest, OnlyTheTickedGroupsAreWrittenOnTheTripsOfTheScope) {
    // Only the vehicle: every trip of the route gets T and nothing else changes.
    std::string before = rows(std::string(kAllTrips));
    EXPECT_EQ(assign(1, {{"set-vehicle", "1"}, {"vehicle", "Treno"}}), 3);
    EXPECT_EQ(rows("SELECT id, mezzo FROM corse ORDER BY id"), "1|T\n2|U\n3|T\n4|T\n");
    sql("UPDATE corse SET mezzo = CASE id WHEN 4 THEN 'X' ELSE 'U' END");
    EXPECT_EQ(rows(std::string(kAllTrips)), before);

    // Only the subcontractor on trips without extended codes: new rows 0/0/N; trip 1 keeps
    // its lot and managing company.
    EXPECT_EQ(assign(1, {{"set-subcontractor", "1"}, {"subcontractor", "0004"}}), 3);
    EXPECT_EQ(rows("SELECT id, lotto, aziges, azisub FROM extcod ORDER BY id"),
              "1|1|42|4\n2|1|42|42\n3|0|0|4\n4|0|0|4\n");

    // Lower-case r is R, X is no direction, an empty line code one blank; only the trips of
    // trip 1's standard trip (1 and 3), not trip 4's.
    EXPECT_EQ(assign(1,
                     {{"set-line", "1"},
                      {"line", ""},
                      {"direction", "r"},
                      {"scope", "Solo le corse di questa corsa standard"}}),
              2);
    EXPECT_EQ(rows("SELECT id, '[' || codlinea || ']', verso FROM corse ORDER BY id"),
              "1|[ ]|R\n2|[L1]|R\n3|[ ]|R\n4|[L2]|A\n");
    EXPECT_EQ(assign(3, {{"set-line", "1"}, {"line", "L7 "}, {"direction", "X"}}), 3);
    EXPECT_EQ(rows("SELECT id, '[' || codlinea || ']', '[' || verso || ']' FROM corse "
                   "WHERE id_perc = 1 ORDER BY id"),
              "1|[L7]|[ ]\n3|[L7]|[ ]\n4|[L7]|[ ]\n");

    // Physical and contract characteristics, in whole units.
    EXPECT_EQ(assign(4,
                     {{"set-physical", "1"},
                      {"length", "2000,9"},
                      {"duration", "33"},
                      {"set-contract", "1"},
                      {"contract-length", "2100"},
                      {"contract-duration", "35"},
                      {"scope", "Solo le corse di questa corsa standard"}}),
              1);
    EXPECT_EQ(rows("SELECT lung, tempo, ct_lung, ct_tempo FROM corse WHERE id = 4"),
              "2000.0|33|2100.0|35\n");
}

TEST_F(TripParametersTest, ARowTheStoreRefusesLeavesEveryTripAsItWas) {
    sql("CREATE TRIGGER refuse_trip_4 BEFORE UPDATE ON corse WHEN OLD.id = 4 "
        "BEGIN SELECT RAISE(ABORT, 'corsa bloccata'); END;");
    const std::string before = rows(std::string(kAllTrips));
    EXPECT_FALSE(assign(1,
                        {{"set-vehicle", "1"},
                         {"vehicle", "Tramvia"},
                         {"set-subcontractor", "1"},
                         {"subcontractor", "4"}}));
    EXPECT_EQ(rows(std::string(kAllTrips)), before);
    EXPECT_FALSE(ui.messages().empty());
    EXPECT_NE(ui.messages().back().text.find("corsa bloccata"), std::string::npos);
    // A missing trip is told.
    ui.clear();
    EXPECT_FALSE(AssignTripParameters(connection(), TripId{99}, TripParameters{}));
    EXPECT_EQ(ui.messages().back().text, "ATTENZIONE: la Corsa ID=99 non esiste !!!");
}

} // namespace
} // namespace tramela::network
