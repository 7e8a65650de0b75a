#include "store/transaction.h"

#include "store/database_connection.h"

namespace tramela::store {

Transaction::Transaction(DatabaseConnection& connection)
    : m_connection(connection)
    , m_active(connection.BeginTrans()) {}

Transaction::~Transaction() {
    rollback();
}

bool Transaction::commit() {
    if (!m_active) {
        return false;
    }
    if (m_connection.CommitTrans()) {
        m_active = false;
        return true;
    }
    // The engine keeps a transaction whose commit failed open: end it here, so that nothing of
    // it is kept by a later commit of somebody else's.
    rollback();
    return false;
}

void Transaction::rollback() {
    if (m_active) {
        m_active = false;
        m_connection.Rollback();
    }
}

} // namespace tramela::store
