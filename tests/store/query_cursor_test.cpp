#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "support/golden.h"
#include "support/run_process.h"
#include "support/store_fixture.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>

namespace tramela::store {
namespace {

using test::StoreFixture;

class QueryCursorTest : public ::testing::Test {
protected:
    QueryCursorTest()
        : db({test::allTypesTable()}) {
        db.sql("INSERT INTO prova (codice, lungo, nome, data, valore, importo, attivo, dati) "
               "VALUES (1, 100000, 'Alfa  ', '2024-03-31', 12.5, 3.5, 1, x'0102'), "
               "(2, 2, 'dell''Orso', '1600-01-01', -3.25, NULL, 0, NULL), "
               "(3, 3, 'Gamma', '2400-12-31', 0, NULL, NULL, NULL)");
    }

    StoreFixture db;
    test::Transcript steps{db.ui(), {}};
};

TEST_F(QueryCursorTest, StatementIsBuiltFromItsPartsOneLineEach) {
    QueryCursor query(db.connection());
    EXPECT_TRUE(query.SetSelect("nome"));
    EXPECT_TRUE(query.SetFrom("prova"));
    EXPECT_TRUE(query.SetWhere("codice > 1"));
    EXPECT_TRUE(query.SetOrderBy("nome"));
    EXPECT_FALSE(query.SetWhere(""));
    ASSERT_TRUE(query.Execute());
    EXPECT_EQ(query.statement(), "SELECT nome\nFROM prova\nORDER BY nome\n");

    query.SetWhere("codice > 1");
    query.SetGroupBy("nome");
    query.Execute();
    EXPECT_EQ(query.statement(),
              "SELECT nome\nFROM prova\nWHERE codice > 1\nGROUP BY nome\nORDER BY nome\n");
}

TEST_F(QueryCursorTest, RowsAreWalkedToTheEndAndNoRowsIsNoError) {
    QueryCursor query(db.connection());
    query.SetSelect("codice");
    query.SetFrom("prova");
    query.SetOrderBy("codice");
    std::vector<std::int16_t> codes;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int16_t code = 0;
        ASSERT_TRUE(query.GetShort(0, code));
        codes.push_back(code);
    }
    EXPECT_EQ(codes, (std::vector<std::int16_t>{1, 2, 3}));
    EXPECT_FALSE(query.MoveNext());
    EXPECT_FALSE(query.MoveNext());
    EXPECT_TRUE(query.MoveFirst());

    QueryCursor empty(db.connection());
    empty.SetSelect("codice");
    empty.SetFrom("prova");
    empty.SetWhere("codice > 99");
    EXPECT_FALSE(empty.Execute());
    EXPECT_FALSE(empty.MoveNext());
    EXPECT_TRUE(db.ui().messages().empty());
}

// A syntax error, a missing column, two statements, no select; reading a column the select does
// not hold, by name or by position.
TEST_F(QueryCursorTest, FailuresShowTheStatementAndTheEngineDescription) {
    QueryCursor syntax(db.connection());
    syntax.SetSelect("nome,");
    syntax.SetFrom("prova");
    EXPECT_FALSE(syntax.Execute());
    QueryCursor missing(db.connection());
    missing.SetSelect("colore");
    missing.SetFrom("prova");
    EXPECT_FALSE(missing.Execute());
    QueryCursor twoStatements(db.connection());
    twoStatements.SetSelect("nome");
    twoStatements.SetFrom("prova; DELETE FROM prova");
    EXPECT_FALSE(twoStatements.Execute());
    EXPECT_EQ(db.count("prova"), 3);
    QueryCursor nothing(db.connection());
    nothing.SetFrom("prova");
    EXPECT_FALSE(nothing.Execute());
    steps.step("statements");

    QueryCursor reads(db.connection());
    reads.SetSelect("nome");
    reads.SetFrom("prova");
    ASSERT_TRUE(reads.Execute());
    std::string text;
    EXPECT_FALSE(reads.GetText("colore", text));
    std::int16_t value = 0;
    EXPECT_FALSE(reads.GetShort(3, value));
    steps.step("reads");
    EXPECT_GOLDEN(steps.text(), "query_cursor/failures.txt");
}

// Every typed read of every column of the current row, "column: short long double date text
// blob", each read written as its value or "-" for a refusal (with the value it left).
std::string typedReads(QueryCursor& query, const std::vector<std::string>& columns) {
    std::string text;
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        std::int16_t small = 5;
        std::int32_t number = 99;
        double real = -1;
        std::string date;
        std::string display;
        Blob bytes{9};
        const auto read = [](bool ok, const auto& value) {
            return (ok ? "" : "-") + fmt::format("{}", value);
        };
        const bool blob = query.GetBlob(i, bytes);
        text += fmt::format("{}: {} {} {} [{}] [{}] {}\n",
                            columns[i],
                            read(query.GetShort(i, small), small),
                            read(query.GetLong(i, number), number),
                            read(query.GetDouble(i, real), real),
                            read(query.GetDateText(i, date), date),
                            read(query.GetText(columns[i], display), display),
                            read(blob, fmt::format("{:02x}", fmt::join(bytes, " "))));
    }
    return text;
}

// A boolean reads as -1 or 0 and as text "1" or "0"; a short is no long and a long no short;
// dates read as their display text, the marks included; texts lose their trailing blanks; a BLOB
// shows its size; the currency and the double their fixed form.
TEST_F(QueryCursorTest, TypedReadsFollowTheColumnTypes) {
    QueryCursor query(db.connection());
    query.SetSelect("attivo, codice, lungo, valore, data, nome, dati, importo");
    query.SetFrom("prova");
    query.SetOrderBy("codice");
    ASSERT_TRUE(query.Execute());
    const auto columns = test::words("attivo codice lungo valore data nome dati importo");
    std::string rows;
    do {
        rows += typedReads(query, columns);
    } while (query.MoveNext());
    EXPECT_GOLDEN(rows, "query_cursor/typed_reads.txt");
    EXPECT_TRUE(db.ui().messages().empty());
}

TEST_F(QueryCursorTest, ComputedColumnsAndAliasedSources) {
    QueryCursor query(db.connection());
    query.SetSelect("COUNT(*) AS n, SUM(p.valore) AS totale, MAX(p.codice)");
    query.SetFrom("prova AS p");
    ASSERT_TRUE(query.Execute());
    std::string text;
    ASSERT_TRUE(query.GetText("n", text));
    EXPECT_EQ(text, "3");
    ASSERT_TRUE(query.GetText("totale", text));
    EXPECT_EQ(text, "000000000000009,2500");
    std::int32_t count = 0;
    ASSERT_TRUE(query.GetLong(0, count));
    EXPECT_EQ(count, 3);
    std::int16_t highest = 0;
    ASSERT_TRUE(query.GetShort(2, highest));
    EXPECT_EQ(highest, 3);
}

TEST_F(QueryCursorTest, BoundTextIsNeverReadAsSql) {
    QueryCursor query(db.connection());
    query.SetSelect("codice");
    query.SetFrom("prova");
    query.SetWhere("nome = ?1");
    query.Bind(1, std::string_view("dell'Orso"));
    ASSERT_TRUE(query.Execute());
    std::int16_t code = 0;
    query.GetShort(0, code);
    EXPECT_EQ(code, 2);

    QueryCursor injected(db.connection());
    injected.SetSelect("codice");
    injected.SetFrom("prova");
    injected.SetWhere("nome = ?");
    injected.Bind(1, std::string_view("x' OR '1'='1"));
    EXPECT_FALSE(injected.Execute());

    QueryCursor dates(db.connection());
    dates.SetSelect("codice");
    dates.SetFrom("prova");
    dates.SetWhere("data >= ?1 AND data <= ?2");
    ASSERT_TRUE(dates.BindDate(1, "01/01/2024"));
    ASSERT_TRUE(dates.BindDate(2, "99/99/9999"));
    EXPECT_FALSE(dates.BindDate(3, "31/02/2024"));
    ASSERT_TRUE(dates.Execute());
    dates.GetShort(0, code);
    EXPECT_EQ(code, 1);
    ASSERT_TRUE(dates.MoveNext());
    dates.GetShort(0, code);
    EXPECT_EQ(code, 3);
    EXPECT_FALSE(dates.MoveNext());
    EXPECT_TRUE(db.ui().messages().empty());
}

TEST_F(QueryCursorTest, RowsAreASnapshotWhileTheSameCommandWrites) {
    QueryCursor query(db.connection());
    query.SetSelect("codice, nome");
    query.SetFrom("prova");
    query.SetOrderBy("codice");
    ASSERT_TRUE(query.Execute());

    // Each row seen is deleted and a new one added after the end: the walk still sees the three
    // rows that were there when it started, with their values of then.
    TableCursor table(&db.connection(), "prova");
    table.SelectIndex("codice");
    std::vector<std::string> seen;
    int next = 100;
    do {
        std::string code;
        std::string name;
        query.GetText("codice", code);
        query.GetText("nome", name);
        seen.push_back(code + ":" + name);
        ASSERT_TRUE(table.Seek({code}));
        ASSERT_TRUE(table.Delete());
        table.AddNew();
        table.SetField("codice", std::to_string(next++));
        ASSERT_TRUE(table.Update());
    } while (query.MoveNext());
    EXPECT_EQ(seen, (std::vector<std::string>{"1:Alfa", "2:dell'Orso", "3:Gamma"}));
    EXPECT_EQ(db.count("prova"), 3);
    EXPECT_EQ(db.scalar("SELECT MIN(codice) FROM prova"), "100");

    // A rollback meanwhile is a write as well.
    db.connection().BeginTrans();
    QueryCursor again(db.connection());
    again.SetSelect("codice");
    again.SetFrom("prova");
    ASSERT_TRUE(again.Execute());
    db.sql("DELETE FROM prova");
    db.connection().Rollback();
    int rows = 0;
    do {
        ++rows;
    } while (again.MoveNext());
    EXPECT_EQ(rows, 3);
    EXPECT_TRUE(db.ui().messages().empty());
}

} // namespace
} // namespace tramela::store
