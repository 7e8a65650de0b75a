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

    // A query built from its parts; an empty part is left out.
    std::unique_ptr<QueryCursor> query(std::string_view select,
                                       std::string_view from = "prova",
                                       std::string_view where = {},
                                       std::string_view orderBy = {}) {
        auto built = std::make_unique<QueryCursor>(db.connection());
        built->SetSelect(select);
        built->SetFrom(from);
        built->SetWhere(where);
        built->SetOrderBy(orderBy);
        return built;
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
    const auto codes = query("codice", "prova", {}, "codice");
    std::vector<std::int16_t> read;
    for (bool row = codes->Execute(); row; row = codes->MoveNext()) {
        std::int16_t code = 0;
        ASSERT_TRUE(codes->GetShort(0, code));
        read.push_back(code);
    }
    EXPECT_EQ(read, (std::vector<std::int16_t>{1, 2, 3}));
    EXPECT_FALSE(codes->MoveNext());
    EXPECT_FALSE(codes->MoveNext());
    EXPECT_TRUE(codes->MoveFirst());

    const auto empty = query("codice", "prova", "codice > 99");
    EXPECT_FALSE(empty->Execute());
    EXPECT_FALSE(empty->MoveNext());
    EXPECT_TRUE(db.ui().messages().empty());
}

// A syntax error, a missing column, two statements, no select; reading a column the select does
// not hold, by name or by position.
TEST_F(QueryCursorTest, FailuresShowTheStatementAndTheEngineDescription) {
    EXPECT_FALSE(query("nome,")->Execute());
    EXPECT_FALSE(query("colore")->Execute());
    EXPECT_FALSE(query("nome", "prova; DELETE FROM prova")->Execute());
    EXPECT_EQ(db.count("prova"), 3);
    EXPECT_FALSE(query("")->Execute());
    steps.step("statements");

    const auto reads = query("nome");
    ASSERT_TRUE(reads->Execute());
    std::string text;
    EXPECT_FALSE(reads->GetText("colore", text));
    std::int16_t value = 0;
    EXPECT_FALSE(reads->GetShort(3, value));
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
    const auto all =
        query("attivo, codice, lungo, valore, data, nome, dati, importo", "prova", {}, "codice");
    ASSERT_TRUE(all->Execute());
    const auto columns = test::words("attivo codice lungo valore data nome dati importo");
    std::string rows;
    do {
        rows += typedReads(*all, columns);
    } while (all->MoveNext());
    EXPECT_GOLDEN(rows, "query_cursor/typed_reads.txt");
    EXPECT_TRUE(db.ui().messages().empty());
}

TEST_F(QueryCursorTest, ComputedColumnsAndAliasedSources) {
    const auto computed =
        query("COUNT(*) AS n, SUM(p.valore) AS totale, MAX(p.codice)", "prova AS p");
    ASSERT_TRUE(computed->Execute());
    std::string text;
    ASSERT_TRUE(computed->GetText("n", text));
    EXPECT_EQ(text, "3");
    ASSERT_TRUE(computed->GetText("totale", text));
    EXPECT_EQ(text, "000000000000009,2500");
    std::int32_t count = 0;
    ASSERT_TRUE(computed->GetLong(0, count));
    EXPECT_EQ(count, 3);
    std::int16_t highest = 0;
    ASSERT_TRUE(computed->GetShort(2, highest));
    EXPECT_EQ(highest, 3);
}

TEST_F(QueryCursorTest, BoundTextIsNeverReadAsSql) {
    const auto bound = query("codice", "prova", "nome = ?1");
    bound->Bind(1, std::string_view("dell'Orso"));
    ASSERT_TRUE(bound->Execute());
    std::int16_t code = 0;
    bound->GetShort(0, code);
    EXPECT_EQ(code, 2);

    const auto injected = query("codice", "prova", "nome = ?");
    injected->Bind(1, std::string_view("x' OR '1'='1"));
    EXPECT_FALSE(injected->Execute());

    const auto dates = query("codice", "prova", "data >= ?1 AND data <= ?2");
    ASSERT_TRUE(dates->BindDate(1, "01/01/2024"));
    ASSERT_TRUE(dates->BindDate(2, "99/99/9999"));
    EXPECT_FALSE(dates->BindDate(3, "31/02/2024"));
    ASSERT_TRUE(dates->Execute());
    dates->GetShort(0, code);
    EXPECT_EQ(code, 1);
    ASSERT_TRUE(dates->MoveNext());
    dates->GetShort(0, code);
    EXPECT_EQ(code, 3);
    EXPECT_FALSE(dates->MoveNext());
    EXPECT_TRUE(db.ui().messages().empty());
}

TEST_F(QueryCursorTest, RowsAreASnapshotWhileTheSameCommandWrites) {
    const auto walk = query("codice, nome", "prova", {}, "codice");
    ASSERT_TRUE(walk->Execute());

    // Each row seen is deleted and a new one added after the end: the walk still sees the three
    // rows that were there when it started, with their values of then.
    TableCursor table(&db.connection(), "prova");
    table.SelectIndex("codice");
    std::vector<std::string> seen;
    int next = 100;
    do {
        std::string code;
        std::string name;
        walk->GetText("codice", code);
        walk->GetText("nome", name);
        seen.push_back(code + ":" + name);
        ASSERT_TRUE(table.Seek({code}));
        ASSERT_TRUE(table.Delete());
        table.AddNew();
        table.SetField("codice", std::to_string(next++));
        ASSERT_TRUE(table.Update());
    } while (walk->MoveNext());
    EXPECT_EQ(seen, (std::vector<std::string>{"1:Alfa", "2:dell'Orso", "3:Gamma"}));
    EXPECT_EQ(db.count("prova"), 3);
    EXPECT_EQ(db.scalar("SELECT MIN(codice) FROM prova"), "100");

    // A rollback meanwhile is a write as well.
    db.connection().BeginTrans();
    const auto again = query("codice");
    ASSERT_TRUE(again->Execute());
    db.sql("DELETE FROM prova");
    db.connection().Rollback();
    int rows = 0;
    do {
        ++rows;
    } while (again->MoveNext());
    EXPECT_EQ(rows, 3);
    EXPECT_TRUE(db.ui().messages().empty());
}

} // namespace
} // namespace tramela::store
