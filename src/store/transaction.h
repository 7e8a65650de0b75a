#pragma once

namespace tramela::store {

class DatabaseConnection;

// A transaction as a scope: begun by the constructor, committed only when told, rolled back when
// the scope is left any other way (an early return, an exception, a refused row). Transactions
// nest as the connection's do: an inner one is a savepoint of the outer.
class Transaction {
public:
    // Begins at once; a failure to begin has been shown and leaves the guard inactive.
    explicit Transaction(DatabaseConnection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Begun and not ended yet.
    bool active() const { return m_active; }

    // Makes the changes durable. False when the guard is not active or the engine refuses the
    // commit: the failure has been shown and the changes are rolled back, never half kept.
    bool commit();
    // Undoes the changes now; the guard is no longer active.
    void rollback();

private:
    DatabaseConnection& m_connection;
    bool m_active = false;
};

} // namespace tramela::store
