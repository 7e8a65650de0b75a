#include "store/transaction.h"
#include "support/store_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tramela::store {
namespace {

using test::StoreFixture;

TEST(Transaction, IsRolledBackUnlessCommittedAndNestsAsASavepoint) {
    StoreFixture db({test::allTypesTable()});
    DatabaseConnection& connection = db.connection();
    {
        Transaction outer(connection);
        ASSERT_TRUE(outer.active());
        db.sql("INSERT INTO prova (codice) VALUES (1)");
        {
            Transaction inner(connection);
            db.sql("INSERT INTO prova (codice) VALUES (2)");
            // Left without a commit, as an early return would leave it.
        }
        EXPECT_EQ(connection.transactionDepth(), 1);
        {
            Transaction inner(connection);
            db.sql("INSERT INTO prova (codice) VALUES (3)");
            EXPECT_TRUE(inner.commit());
            EXPECT_FALSE(inner.active());
            EXPECT_FALSE(inner.commit()) << "a guard commits once";
        }
        EXPECT_TRUE(outer.commit());
    }
    EXPECT_EQ(db.scalar("SELECT group_concat(codice) FROM prova ORDER BY codice"), "1,3");
    {
        Transaction abandoned(connection);
        db.sql("DELETE FROM prova");
    }
    EXPECT_EQ(db.count("prova"), 2);
    EXPECT_EQ(connection.transactionDepth(), 0);
    EXPECT_TRUE(db.ui().messages().empty());
}

TEST(Transaction, ACommitTheEngineRefusesIsShownAndKeepsNothing) {
    StoreFixture db({test::allTypesTable()});
    DatabaseConnection& connection = db.connection();
    // A deferred constraint is checked at COMMIT, which the engine then refuses and leaves the
    // transaction open.
    db.sql("PRAGMA foreign_keys = ON");
    db.sql("CREATE TABLE padre (id INTEGER PRIMARY KEY)");
    db.sql("CREATE TABLE figlio (id INTEGER REFERENCES padre(id) DEFERRABLE INITIALLY DEFERRED)");
    {
        Transaction transaction(connection);
        db.sql("INSERT INTO prova (codice) VALUES (1)");
        db.sql("INSERT INTO figlio VALUES (7)");
        EXPECT_FALSE(transaction.commit());
        EXPECT_FALSE(transaction.active());
    }
    EXPECT_EQ(connection.transactionDepth(), 0);
    EXPECT_EQ(db.count("prova"), 0);
    EXPECT_EQ(db.count("figlio"), 0);
    ASSERT_FALSE(db.ui().messages().empty());
    EXPECT_TRUE(
        db.ui().messages()[0].text.starts_with("Errore in fase di convalida della transazione\n\n"))
        << db.ui().messages()[0].text;
    // The connection is usable again: the next transaction commits.
    Transaction next(connection);
    db.sql("INSERT INTO prova (codice) VALUES (2)");
    EXPECT_TRUE(next.commit());
    EXPECT_EQ(db.count("prova"), 1);
}

TEST(Transaction, ADatabaseAnotherProgramWritesIsRefusedOnceBeforeAnyRow) {
    StoreFixture db({test::allTypesTable()});
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db.path().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        Transaction transaction(db.connection());
        EXPECT_FALSE(transaction.active());
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ASSERT_EQ(db.ui().messages().size(), 1u);
    EXPECT_EQ(db.ui().messages()[0].text,
              "Errore in fase di avvio della transazione\n\n"
              "Il database è bloccato da un'altra operazione o da un altro programma "
              "(SQLite: database is locked)");
    EXPECT_EQ(db.connection().transactionDepth(), 0);
}

} // namespace
} // namespace tramela::store
