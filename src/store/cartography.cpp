#include "store/cartography.h"

#include "store/engine_error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <sqlite3.h>
#include <unistd.h>

namespace tramela::store {

namespace {

using enum FieldType;

FieldDefinition key(std::string name, FieldType type, int size = 0) {
    return {std::move(name), type, size, true};
}

FieldDefinition optional(std::string name, FieldType type, int size = 0) {
    return {std::move(name), type, size, false};
}

IndexDefinition primary(std::vector<std::string> fields) {
    return {"codice", true, std::move(fields)};
}

} // namespace

const std::vector<TableDefinition>& cartographyTables() {
    static const std::vector<TableDefinition> tables = {
        {"regazi", {key("codice", Short), optional("denom", Text, 50)}, {primary({"codice"})}},
        {"fermate",
         {key("ID", Long),
          optional("fermata", Text, 10),
          optional("denom", Text, 40),
          optional("ubicaz", Text, 40),
          optional("coord_x", Double),
          optional("coord_y", Double),
          optional("local", Long)},
         {primary({"ID"})}},
        {"itiner",
         {key("ID", Long),
          optional("codperc", Text, 20),
          optional("denom", Text, 120),
          optional("conlung", Double),
          optional("geolung", Double)},
         {primary({"ID"})}},
        {"fermitin",
         {key("ID", Long),
          key("sub", Short),
          optional("fermata", Long),
          optional("condist", Double),
          optional("geodist", Double),
          optional("primaria", Boolean),
          optional("facolt", Boolean)},
         {primary({"ID", "sub"})}},
        {"geoitin",
         {key("ID", Long),
          optional("punti", Long),
          optional("coord", FieldType::Blob),
          optional("minx", Double),
          optional("miny", Double),
          optional("maxx", Double),
          optional("maxy", Double)},
         {primary({"ID"})}},
        {"local",
         {key("ID", Long), optional("denom", Text, 40), optional("istat", Text, 6)},
         {primary({"ID"})}},
        {"comuni", {key("istat", Text, 6), optional("denom", Text, 40)}, {primary({"istat"})}},
    };
    return tables;
}

const std::vector<TableDefinition>& catalogueTables() {
    static const std::vector<TableDefinition> tables = {
        {"tavole",
         {key("nome", Text, 64), optional("denom", Text, 255), optional("note", Text, 255)},
         {primary({"nome"})}},
        {"campi",
         {key("tavola", Text, 64),
          key("nome", Text, 64),
          key("tipo", Text, 1),
          optional("size", Short),
          optional("obblig", Boolean),
          optional("denom", Text, 255),
          optional("note", Text, 255),
          optional("regola", Text, 255),
          optional("mess", Text, 255)},
         {primary({"tavola", "nome"})}},
        {"indici",
         {key("tavola", Text, 64),
          key("nome", Text, 64),
          optional("primkey", Boolean),
          optional("denom", Text, 255),
          optional("note", Text, 255)},
         {primary({"tavola", "nome"})}},
        {"indici2",
         {key("tavola", Text, 64),
          key("nome", Text, 64),
          key("progr", Short),
          key("campo", Text, 64)},
         {primary({"tavola", "nome", "progr"})}},
        {"relaz",
         {key("nome", Text, 64), key("interna", Text, 64), key("esterna", Text, 64)},
         {primary({"nome"})}},
        {"relaz2",
         {key("nome", Text, 64),
          key("progr", Short),
          key("interno", Text, 64),
          key("esterno", Text, 64)},
         {primary({"nome", "progr"})}},
    };
    return tables;
}

bool createCartographyDatabase(ui::Ui& ui, const std::filesystem::path& path) {
    const auto failure = [&](std::string_view description) {
        ui.Message(fmt::format("Errore durante la creazione del database\n\n{}\n\n{}",
                               path.string(),
                               description),
                   ui::Icon::Stop);
        return false;
    };
    // Claiming the name first, exclusively, is what keeps an existing file untouched even when
    // another program creates it meanwhile.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return failure(errno == EEXIST
                           ? "Il file esiste già: un database esistente non viene mai "
                             "sovrascritto"
                           : fmt::format("Impossibile creare il file ({})", std::strerror(errno)));
    }
    ::close(fd);

    std::string script = "BEGIN;\n";
    for (const auto* tables : {&cartographyTables(), &catalogueTables()}) {
        for (const TableDefinition& table : *tables) {
            script += createTableScript(table);
        }
    }
    script += "COMMIT;\n";

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr);
    }
    const std::string description = rc == SQLITE_OK ? std::string() : engineDescription(db, rc);
    sqlite3_close_v2(db);
    if (rc != SQLITE_OK) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        std::filesystem::remove(path.string() + "-wal", ignored);
        std::filesystem::remove(path.string() + "-shm", ignored);
        return failure(description);
    }
    ui.Message(fmt::format("Il database {} è stato creato.", path.string()), ui::Icon::Information);
    return true;
}

} // namespace tramela::store
