#include "store/relations.h"

#include "store/database_connection.h"
#include "store/table_definition.h"
#include "store/value_text.h"

#include <algorithm>
#include <fmt/format.h>
#include <sqlite3.h>

namespace tramela::store {

namespace {

std::string triggerName(std::string_view relation, std::string_view what) {
    return fmt::format("rel_{}_{}", relation, what);
}

// "p.a = f.b AND p.c = f.d" for the relation's pairs, with the two row names given.
std::string joinCondition(const RelationDefinition& relation,
                          std::string_view primaryRow,
                          std::string_view foreignRow) {
    std::string condition;
    for (const auto& [primary, foreign] : relation.fields) {
        condition += fmt::format("{}{}.{} = {}.{}",
                                 condition.empty() ? "" : " AND ",
                                 primaryRow,
                                 sqlIdentifier(primary),
                                 foreignRow,
                                 sqlIdentifier(foreign));
    }
    return condition;
}

// A foreign row with a null in its key refers to nothing and is not checked.
std::string foreignKeyComplete(const RelationDefinition& relation, std::string_view row) {
    std::string condition;
    for (const auto& pair : relation.fields) {
        condition += fmt::format("{}{}.{} IS NOT NULL",
                                 condition.empty() ? "" : " AND ",
                                 row,
                                 sqlIdentifier(pair.second));
    }
    return condition;
}

bool sameFields(std::vector<std::string> a, std::vector<std::string> b) {
    const auto lower = [](std::vector<std::string>& names) {
        for (std::string& name : names) {
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
                return static_cast<char>(std::tolower(c));
            });
        }
        std::sort(names.begin(), names.end());
    };
    lower(a);
    lower(b);
    return a == b;
}

std::optional<std::string> checkRelation(DatabaseConnection& connection,
                                         const RelationDefinition& relation) {
    if (relation.fields.empty()) {
        return fmt::format("La relazione '{}' non ha campi", relation.name);
    }
    const auto primaryColumns = tableColumns(connection, relation.primaryTable);
    if (!primaryColumns) {
        return fmt::format("La tavola primaria '{}' non esiste", relation.primaryTable);
    }
    const auto foreignColumns = tableColumns(connection, relation.foreignTable);
    if (!foreignColumns) {
        return fmt::format("La tavola correlata '{}' non esiste", relation.foreignTable);
    }
    std::vector<std::string> primaryFields;
    for (const auto& [primary, foreign] : relation.fields) {
        if (findColumn(*primaryColumns, primary) == nullptr) {
            return fmt::format(
                "Il campo '{}' non esiste nella tavola '{}'", primary, relation.primaryTable);
        }
        if (findColumn(*foreignColumns, foreign) == nullptr) {
            return fmt::format(
                "Il campo '{}' non esiste nella tavola '{}'", foreign, relation.foreignTable);
        }
        primaryFields.push_back(primary);
    }
    const auto indexes = tableIndexes(connection, relation.primaryTable);
    const bool unique = std::any_of(indexes.begin(), indexes.end(), [&](const IndexDefinition& i) {
        return i.primary && sameFields(i.fields, primaryFields);
    });
    if (!unique) {
        return fmt::format("Nessun indice univoco sui campi della tavola primaria '{}'",
                           relation.primaryTable);
    }
    return std::nullopt;
}

} // namespace

bool relationExists(DatabaseConnection& connection, std::string_view name) {
    if (!connection.IsOpen()) {
        return false;
    }
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(connection.handle(),
                       "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = ?1",
                       -1,
                       &stmt,
                       nullptr);
    const std::string trigger = triggerName(name, "ins");
    sqlite3_bind_text(stmt, 1, trigger.c_str(), -1, SQLITE_TRANSIENT);
    const bool found = sqlite3_step(stmt) == SQLITE_ROW;
    sqlite3_finalize(stmt);
    return found;
}

std::optional<std::string> createRelation(DatabaseConnection& connection,
                                          const RelationDefinition& relation) {
    if (auto refusal = checkRelation(connection, relation)) {
        return refusal;
    }
    const std::string primary = sqlIdentifier(relation.primaryTable);
    const std::string foreign = sqlIdentifier(relation.foreignTable);
    std::string foreignFields;
    std::string primaryFields;
    std::string keyChanged;
    for (const auto& [p, f] : relation.fields) {
        foreignFields += (foreignFields.empty() ? "" : ", ") + sqlIdentifier(f);
        primaryFields += (primaryFields.empty() ? "" : ", ") + sqlIdentifier(p);
        keyChanged += fmt::format("{}OLD.{} IS NOT NEW.{}",
                                  keyChanged.empty() ? "" : " OR ",
                                  sqlIdentifier(p),
                                  sqlIdentifier(p));
    }
    const std::string orphan = sqlQuote(fmt::format(
        "Impossibile aggiungere o modificare il record: la tavola '{}' non contiene un record "
        "corrispondente (relazione '{}')",
        relation.primaryTable,
        relation.name));
    const std::string referenced = sqlQuote(fmt::format(
        "Impossibile eliminare o modificare il record: la tavola '{}' contiene record correlati "
        "(relazione '{}')",
        relation.foreignTable,
        relation.name));
    const std::string missingPrimary = fmt::format("NOT EXISTS (SELECT 1 FROM {} AS p WHERE {})",
                                                   primary,
                                                   joinCondition(relation, "p", "NEW"));
    const std::string stillReferenced = fmt::format(
        "EXISTS (SELECT 1 FROM {} AS f WHERE {})", foreign, joinCondition(relation, "OLD", "f"));

    // Triggers left behind by a table dropped meanwhile go before the relation is made again.
    std::string script = "SAVEPOINT relation;\n";
    for (const char* what : {"ins", "upd", "del", "key"}) {
        script += fmt::format("DROP TRIGGER IF EXISTS {};\n",
                              sqlIdentifier(triggerName(relation.name, what)));
    }
    script += fmt::format("CREATE INDEX IF NOT EXISTS {} ON {} ({});\n",
                          sqlIdentifier(indexNameOnDisk(relation.foreignTable, relation.name)),
                          foreign,
                          foreignFields);
    script += fmt::format("CREATE TRIGGER {} BEFORE INSERT ON {} FOR EACH ROW WHEN {} AND {} "
                          "BEGIN SELECT RAISE(ABORT, {}); END;\n",
                          sqlIdentifier(triggerName(relation.name, "ins")),
                          foreign,
                          foreignKeyComplete(relation, "NEW"),
                          missingPrimary,
                          orphan);
    script += fmt::format("CREATE TRIGGER {} BEFORE UPDATE OF {} ON {} FOR EACH ROW WHEN {} AND {} "
                          "BEGIN SELECT RAISE(ABORT, {}); END;\n",
                          sqlIdentifier(triggerName(relation.name, "upd")),
                          foreignFields,
                          foreign,
                          foreignKeyComplete(relation, "NEW"),
                          missingPrimary,
                          orphan);
    script += fmt::format("CREATE TRIGGER {} BEFORE DELETE ON {} FOR EACH ROW WHEN {} "
                          "BEGIN SELECT RAISE(ABORT, {}); END;\n",
                          sqlIdentifier(triggerName(relation.name, "del")),
                          primary,
                          stillReferenced,
                          referenced);
    script += fmt::format("CREATE TRIGGER {} BEFORE UPDATE OF {} ON {} FOR EACH ROW WHEN ({}) AND "
                          "{} BEGIN SELECT RAISE(ABORT, {}); END;\n",
                          sqlIdentifier(triggerName(relation.name, "key")),
                          primaryFields,
                          primary,
                          keyChanged,
                          stillReferenced,
                          referenced);
    script += "RELEASE relation;\n";

    // Rows that already break the relation are refused, as the engine refused to enforce a
    // relation that the data did not respect.
    const std::string orphans =
        fmt::format("SELECT COUNT(*) FROM {} AS f WHERE {} AND NOT EXISTS (SELECT 1 FROM {} AS p "
                    "WHERE {})",
                    foreign,
                    foreignKeyComplete(relation, "f"),
                    primary,
                    joinCondition(relation, "p", "f"));
    sqlite3_stmt* stmt = nullptr;
    long count = 0;
    if (sqlite3_prepare_v2(connection.handle(), orphans.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        count = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
    if (count > 0) {
        return fmt::format("I dati della tavola '{}' violano le regole di integrità referenziale "
                           "della relazione ({} righe senza corrispondenza in '{}')",
                           relation.foreignTable,
                           count,
                           relation.primaryTable);
    }

    std::string description;
    if (!connection.execute(script, &description)) {
        connection.execute("ROLLBACK TO relation; RELEASE relation");
        return description;
    }
    return std::nullopt;
}

} // namespace tramela::store
