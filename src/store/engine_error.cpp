#include "store/engine_error.h"

#include <fmt/format.h>
#include <sqlite3.h>
#include <string_view>

namespace tramela::store {

namespace {

// SQLite messages that say more than their result code; each gets its own Italian words.
struct KnownMessage {
    std::string_view english;
    std::string_view italian;
};

constexpr KnownMessage kKnownMessages[] = {
    {"output file already exists", "Il file di destinazione esiste già"},
    {"attempt to write a readonly database", "Il database è in sola lettura"},
    {"no such table", "Tavola inesistente"},
    {"no such column", "Campo inesistente"},
    {"cannot commit - no transaction is active", "Nessuna transazione attiva"},
    {"cannot rollback - no transaction is active", "Nessuna transazione attiva"},
    {"cannot start a transaction within a transaction", "Transazione già attiva"},
};

std::string_view italianForCode(int extendedCode) {
    switch (extendedCode) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return "I valori immessi duplicano la chiave di un indice univoco";
    case SQLITE_CONSTRAINT_NOTNULL:
        return "Un campo obbligatorio non può contenere un valore nullo";
    default:
        break;
    }
    switch (extendedCode & 0xff) {
    case SQLITE_CANTOPEN:
        return "Impossibile aprire il file del database";
    case SQLITE_NOTADB:
        return "Il file non è un database";
    case SQLITE_CORRUPT:
        return "Il database è danneggiato";
    case SQLITE_READONLY:
        return "Il database è in sola lettura";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "Il database è bloccato da un'altra operazione o da un altro programma";
    case SQLITE_FULL:
        return "Spazio su disco esaurito";
    case SQLITE_IOERR:
        return "Errore di lettura o scrittura sul disco";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "Accesso al file negato";
    case SQLITE_NOMEM:
        return "Memoria insufficiente";
    case SQLITE_CONSTRAINT:
        return "Vincolo di integrità violato";
    case SQLITE_TOOBIG:
        return "Valore troppo grande";
    case SQLITE_MISMATCH:
        return "Tipo di dati non corrispondente";
    case SQLITE_ABORT:
        return "Operazione interrotta";
    case SQLITE_ERROR:
        return "Errore nell'istruzione SQL";
    default:
        return "Errore del motore di database";
    }
}

} // namespace

std::string engineDescription(sqlite3* db, int resultCode) {
    const int extended = db != nullptr ? sqlite3_extended_errcode(db) : resultCode;
    const std::string_view english =
        db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode);
    if (extended == SQLITE_CONSTRAINT_TRIGGER) {
        return std::string(english);
    }
    for (const KnownMessage& known : kKnownMessages) {
        if (english.substr(0, known.english.size()) == known.english) {
            return fmt::format("{} (SQLite: {})", known.italian, english);
        }
    }
    return fmt::format("{} (SQLite: {})", italianForCode(extended), english);
}

} // namespace tramela::store
