#include "store/schema_upgrade.h"

#include "store/database_connection.h"
#include "store/registers.h"
#include "store/relations.h"
#include "store/table_definition.h"

#include <fmt/format.h>

namespace tramela::store {

namespace {

using enum FieldType;

// The upgrade's own structure: every field required, and the primary index of reglklin on all
// three fields (the catalogue's structure differs in both points, and both are kept).
const TableDefinition& standardLines() {
    static const TableDefinition table{"reglinee",
                                       {{"lotto", Short, 0, true},
                                        {"id", Short, 0, true},
                                        {"ente", Short, 0, true},
                                        {"sigla", Text, 10, true},
                                        {"denom", Text, 40, true},
                                        {"itiner", Text, 120, true}},
                                       {{"codice", true, {"lotto", "id"}}}};
    return table;
}

const TableDefinition& lineLinks() {
    static const TableDefinition table{
        "reglklin",
        {{"codlinea", Text, 10, true}, {"lotto", Short, 0, true}, {"id", Short, 0, true}},
        {{"codice", true, {"codlinea", "lotto", "id"}}}};
    return table;
}

const std::vector<RelationDefinition>& upgradeRelations() {
    static const std::vector<RelationDefinition> relations = {
        {"linee_lotti", "reglot", "reglinee", {{"codice", "lotto"}}},
        {"linee_enti", "regent", "reglinee", {{"codice", "ente"}}},
        {"lklinee_linee", "reglinee", "reglklin", {{"lotto", "lotto"}, {"id", "id"}}},
    };
    return relations;
}

// How far an existing table matches the upgrade's structure: whether it exists, and for each
// field whether it is present and whether it has the right type and size.
struct StructureNotes {
    bool exists = false;
    int present = 0;
    int correct = 0;
    int fields = 0;
};

StructureNotes notesFor(DatabaseConnection& connection, const TableDefinition& expected) {
    StructureNotes notes;
    notes.fields = static_cast<int>(expected.fields.size());
    const auto columns = tableColumns(connection, expected.name);
    if (!columns) {
        return notes;
    }
    notes.exists = true;
    for (const FieldDefinition& field : expected.fields) {
        if (const ColumnInfo* column = findColumn(*columns, field.name)) {
            ++notes.present;
            if (column->type == field.type && column->size == field.size) {
                ++notes.correct;
            }
        }
    }
    return notes;
}

enum class Structure { Absent, Present, Damaged };

// Tells the user what it finds unless the structure is absent and the upgrade can go on.
Structure checkStructure(DatabaseConnection& connection) {
    const StructureNotes lines = notesFor(connection, standardLines());
    const StructureNotes links = notesFor(connection, lineLinks());
    const bool complete = lines.exists && links.exists && lines.correct == lines.fields &&
                          links.correct == links.fields;
    if (complete) {
        connection.ui().Message("Le strutture necessarie per l'upgrade della gestione di XML "
                                "Level 1\nrisultano già presenti all'interno del DB correntemente "
                                "in uso",
                                ui::Icon::Information);
        return Structure::Present;
    }
    if (!lines.exists && !links.exists) {
        return Structure::Absent;
    }
    connection.ui().Message("La struttura dal DB correntemente in uso presenta gravi anomalie.\n\n"
                            "Presumibilmente si tratta di un DB corrotto, oppure di un DB "
                            "non-Tramela\nquindi non è possibile procedere oltre\n",
                            ui::Icon::Stop);
    return Structure::Damaged;
}

} // namespace

bool CheckUpgradeNeeded(DatabaseConnection& connection) {
    return checkStructure(connection) != Structure::Absent;
}

bool PerformUpgrade(DatabaseConnection& connection) {
    ui::Ui& ui = connection.ui();
    ui.BeginBusy(true);
    const auto fail = [&](std::string_view prefix, std::string_view description) {
        ui.Message(fmt::format("{}{}\n\nL'upgrade non può essere completato ... sorry ...",
                               prefix,
                               description),
                   ui::Icon::Stop);
        return false;
    };

    struct Step {
        const TableDefinition* table;
        std::string_view tableFailure;
        std::string_view keyFailure;
    };

    const Step steps[] = {
        {&standardLines(),
         "Errore creazione tavola \"RegLinee\"\n\n",
         "Errore inizializzazione Primary Key su \"RegLinee\"\n\n"},
        {&lineLinks(),
         "Errore creazione tavola \"RegLkLin\"\n\n",
         "Errore inizializzazione Primary Key su \"RegLkLin\"\n\n"},
    };
    // A crash leaves the database as it was; a failure keeps what was created before it.
    connection.BeginTrans();
    bool done = true;
    std::string description;
    for (const Step& step : steps) {
        if (!connection.execute(createTableSql(*step.table), &description)) {
            done = fail(step.tableFailure, description);
            break;
        }
        if (!connection.execute(createIndexSql(step.table->name, step.table->indexes[0]),
                                &description)) {
            done = fail(step.keyFailure, description);
            break;
        }
    }
    for (size_t i = 0; done && i < upgradeRelations().size(); ++i) {
        const RelationDefinition& relation = upgradeRelations()[i];
        if (const auto failure = createRelation(connection, relation)) {
            done =
                fail(fmt::format("Errore creazione relazione \"{}\"\n\n", relation.name), *failure);
        }
    }
    done = done && LoadBuiltInRegisters(connection);
    connection.CommitTrans();
    if (done) {
        ui.Message("Le strutture necessarie per l'upgrade della gestione di XML Level 1\n"
                   "sono state correttamente inizializzate",
                   ui::Icon::Information);
    }
    return done;
}

ui::Outcome UpgradeXmlLevel1(DatabaseConnection& connection) {
    switch (checkStructure(connection)) {
    case Structure::Present:
        return ui::Outcome::Done;
    case Structure::Damaged:
        return ui::Outcome::Failed;
    case Structure::Absent:
        break;
    }
    return PerformUpgrade(connection) ? ui::Outcome::Done : ui::Outcome::Failed;
}

} // namespace tramela::store
