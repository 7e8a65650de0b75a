#include "calendar/cadences.h"
#include "calendar/calendar.h"
#include "store/cartography.h"
#include "store/database_connection.h"
#include "store/schema_catalogue.h"
#include "support/sample_workspace.h"
#include "support/temp_dir.h"
#include "ui/scripted_ui.h"

#include <gtest/gtest.h>

namespace tramela::calendar {
namespace {

using ui::ScriptedUi;

// Easter by an independent method (the anonymous Gregorian computus), to check every year.
Date referenceEaster(int y) {
    const int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25;
    const int g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7, m = (a + 11 * h + 22 * l) / 451;
    const int n = h + l - 7 * m + 114;
    return {y, n / 31, n % 31 + 1};
}

TEST(Easter, IsRightForEveryYearOfItsCenturiesAndAbsentOutside) {
    // Two known dates first, that the reference method is right.
    EXPECT_EQ(referenceEaster(2024), (Date{2024, 3, 31}));
    EXPECT_EQ(referenceEaster(2185), (Date{2185, 4, 17}));
    for (int year = 1900; year <= 2199; ++year) {
        const auto easter = Easter(year);
        ASSERT_TRUE(easter) << year;
        EXPECT_EQ(easter->first, referenceEaster(year)) << year;
        EXPECT_EQ(easter->second, easter->first.addDays(1)) << year;
    }
    EXPECT_FALSE(Easter(1899));
    EXPECT_FALSE(Easter(2200));
}

TEST(DayList, NamesWeekdaysAndHolidaysOverAnyRange) {
    DayList days({2024, 2, 28}, {2024, 4, 2});
    ASSERT_EQ(days.days().size(), 35u);
    const CalendarDay* leap = days.find({2024, 2, 29});
    ASSERT_NE(leap, nullptr);
    EXPECT_EQ(leap->weekday, 4);
    EXPECT_EQ(weekdayName(leap->weekday), "Giovedi");
    EXPECT_EQ(days.find({2024, 3, 31})->holiday, "Pasqua");
    EXPECT_EQ(days.find({2024, 4, 1})->holiday, "Pasquetta");
    EXPECT_EQ(days.find({2024, 4, 2})->holiday, "");
    EXPECT_EQ(days.find({2024, 4, 3}), nullptr);
    EXPECT_EQ(days.find({2024, 2, 27}), nullptr);

    // Outside the centuries of the Easter rule the fixed holidays are still named.
    DayList old({1899, 1, 1}, {1899, 12, 31});
    EXPECT_EQ(old.find({1899, 1, 6})->holiday, "Epifania");
    EXPECT_EQ(old.find({1899, 12, 26})->holiday, "S.Stefano");
    for (const CalendarDay& day : old.days()) {
        EXPECT_NE(day.holiday, "Pasqua");
        EXPECT_NE(day.holiday, "Pasquetta");
    }
    EXPECT_TRUE(DayList({2024, 3, 2}, {2024, 3, 1}).days().empty());
    EXPECT_EQ(parseWeekdays("16"), (Weekdays{true, false, false, false, false, true, false}));
    EXPECT_FALSE(parseWeekdays("18"));
}

class CalendarEditorTest : public ::testing::Test {
protected:
    CalendarEditorTest() {
        ScriptedUi quiet;
        EXPECT_TRUE(store::createCartographyDatabase(quiet, dir / "d.sqlite"));
        connection = std::make_unique<store::DatabaseConnection>(ui, dir / "d.sqlite");
        EXPECT_TRUE(store::RefreshDescriptors(*connection));
        EXPECT_TRUE(addCadence(*connection, "FER", "Feriale"));
        EXPECT_TRUE(addCadence(*connection, "FES", "Festivo"));
        ui.clear();
    }

    // The calendar as stored, one "day cadence weekday [note]" a line.
    std::string rows() {
        return test::rows(*connection,
                          "SELECT data || ' ' || caden || ' ' || giorno || ' [' || note || ']' "
                          "FROM calend ORDER BY data, caden");
    }

    test::TempDir dir;
    ScriptedUi ui;
    std::unique_ptr<store::DatabaseConnection> connection;
};

TEST_F(CalendarEditorTest, FillIsIdempotentAndClearTouchesOneCadenceOnly) {
    DayList days({2024, 3, 25}, {2024, 3, 31});
    ASSERT_TRUE(days.LoadCalendar(*connection));
    CalendarEditor editor(*connection, days);
    const Weekdays mondays{true, false, false, false, false, false, false};
    const Weekdays everyDay{true, true, true, true, true, true, true};

    EXPECT_EQ(editor.FillCadence("FER", {2024, 3, 25}, {2024, 3, 31}, mondays), 1);
    EXPECT_EQ(editor.FillCadence("FER ", {2024, 3, 25}, {2024, 3, 31}, mondays), 0);
    EXPECT_EQ(editor.FillCadence("FES", {2024, 3, 30}, {2024, 4, 5}, everyDay), 2)
        << "days outside the list are not written";
    EXPECT_EQ(rows(), "2024-03-25 FER 1 [ ]\n2024-03-30 FES 6 [ ]\n2024-03-31 FES 7 [ ]\n");

    // Reloading from the database gives the same day list the operations kept.
    DayList reloaded({2024, 3, 25}, {2024, 3, 31});
    ASSERT_TRUE(reloaded.LoadCalendar(*connection));
    for (size_t i = 0; i < days.days().size(); ++i) {
        EXPECT_EQ(days.days()[i].cadences.size(), reloaded.days()[i].cadences.size()) << i;
    }

    EXPECT_TRUE(editor.AddCadence({2024, 3, 25}, "FES"));
    EXPECT_EQ(editor.ClearCadence("FES", {2024, 3, 25}, {2024, 3, 30}), 2);
    EXPECT_EQ(rows(), "2024-03-25 FER 1 [ ]\n2024-03-31 FES 7 [ ]\n");
    EXPECT_TRUE(days.find({2024, 3, 25})->hasCadence("FER"));
    EXPECT_FALSE(days.find({2024, 3, 25})->hasCadence("FES"));
    EXPECT_TRUE(ui.messages().empty());

    EXPECT_EQ(editor.FillCadence("XYZ", {2024, 3, 25}, {2024, 3, 31}, everyDay), std::nullopt);
    EXPECT_EQ(ui.lastMessage()->text,
              "ATTENZIONE: la cadenza XYZ non è presente nell'archivio delle cadenze.\n\n"
              "I dati immessi non saranno registrati !!!");
}

TEST_F(CalendarEditorTest, ARefusedDayUndoesTheWholeFillAndClear) {
    DayList days({2024, 3, 25}, {2024, 3, 31});
    ASSERT_TRUE(days.LoadCalendar(*connection));
    CalendarEditor editor(*connection, days);
    const Weekdays everyDay{true, true, true, true, true, true, true};
    // The engine refuses the fifth day of the range, after four were written.
    std::string description;
    ASSERT_TRUE(connection->execute("CREATE TRIGGER no_friday BEFORE INSERT ON calend "
                                    "WHEN NEW.data = '2024-03-29' BEGIN "
                                    "SELECT RAISE(ABORT, 'venerdì rifiutato'); END",
                                    &description))
        << description;
    EXPECT_EQ(editor.FillCadence("FER", {2024, 3, 25}, {2024, 3, 31}, everyDay), std::nullopt);
    EXPECT_EQ(rows(), "") << "the days before the refused one are not kept";
    EXPECT_FALSE(days.find({2024, 3, 25})->hasCadence("FER"));
    EXPECT_EQ(connection->transactionDepth(), 0);

    ASSERT_TRUE(connection->execute("DROP TRIGGER no_friday", &description));
    ASSERT_EQ(editor.FillCadence("FER", {2024, 3, 25}, {2024, 3, 31}, everyDay), 7);
    ASSERT_TRUE(connection->execute("CREATE TRIGGER keep_friday BEFORE DELETE ON calend "
                                    "WHEN OLD.data = '2024-03-29' BEGIN "
                                    "SELECT RAISE(ABORT, 'venerdì trattenuto'); END",
                                    &description));
    EXPECT_EQ(editor.ClearCadence("FER", {2024, 3, 25}, {2024, 3, 31}), std::nullopt);
    EXPECT_EQ(test::rows(*connection, "SELECT COUNT(*) FROM calend"), "7\n");
    EXPECT_TRUE(days.find({2024, 3, 25})->hasCadence("FER"));
}

TEST_F(CalendarEditorTest, DayOperationsCarryHolidayNamesAndAnnotations) {
    DayList days({2024, 3, 30}, {2024, 4, 2});
    ASSERT_TRUE(days.LoadCalendar(*connection));
    CalendarEditor editor(*connection, days);
    ASSERT_TRUE(editor.AddCadence({2024, 3, 31}, "FES"));
    ASSERT_TRUE(editor.AddCadence({2024, 4, 1}, "FES"));
    ASSERT_TRUE(editor.AddCadence({2024, 4, 1}, "FER"));
    ASSERT_TRUE(editor.AddCadence({2024, 4, 2}, "FER"));
    EXPECT_EQ(rows(),
              "2024-03-31 FES 7 [Pasqua]\n2024-04-01 FER 1 [Pasquetta]\n"
              "2024-04-01 FES 1 [Pasquetta]\n2024-04-02 FER 2 [ ]\n");

    ASSERT_TRUE(editor.SetAnnotation({2024, 4, 1}, "Lunedì dell'Angelo"));
    ASSERT_TRUE(editor.SetAnnotation({2024, 3, 31}, ""));
    EXPECT_FALSE(editor.SetAnnotation({2024, 4, 2}, "Un'annotazione troppo lunga"));
    EXPECT_EQ(days.find({2024, 4, 1})->cadences[1].note, "Lunedì dell'Angelo");
    ASSERT_TRUE(editor.RemoveCadence({2024, 4, 1}, "FER"));
    EXPECT_FALSE(editor.RemoveCadence({2024, 4, 1}, "FER"));
    EXPECT_EQ(ui.lastMessage()->text, "La cadenza FER non è attiva il giorno 01/04/2024.");
    EXPECT_EQ(
        rows(),
        "2024-03-31 FES 7 [ ]\n2024-04-01 FES 1 [Lunedì dell'Angelo]\n2024-04-02 FER 2 [ ]\n");
    EXPECT_FALSE(editor.AddCadence({2024, 4, 1}, "FES"));
}

TEST_F(CalendarEditorTest, DefaultRangeIsTheCommunicationPeriod) {
    EXPECT_EQ(communicationPeriod(*connection),
              (std::pair<Date, Date>{{1900, 1, 1}, {2099, 12, 31}}));
    std::string description;
    ASSERT_TRUE(connection->execute(
        "INSERT INTO master VALUES (0, 42, NULL, NULL, NULL, '2024-09-01', '2025-06-30')",
        &description));
    EXPECT_EQ(communicationPeriod(*connection),
              (std::pair<Date, Date>{{2024, 9, 1}, {2025, 6, 30}}));

    EXPECT_FALSE(deleteCadence(*connection, "XYZ"));
    EXPECT_EQ(listCadences(*connection).size(), 2u);
    EXPECT_TRUE(modifyCadence(*connection, "FER", "Feriale non scolastico"));
    EXPECT_EQ(listCadences(*connection)[0].name, "Feriale non scolastico");
    EXPECT_TRUE(deleteCadence(*connection, "FES"));
    EXPECT_EQ(listCadences(*connection).size(), 1u);
}

} // namespace
} // namespace tramela::calendar
