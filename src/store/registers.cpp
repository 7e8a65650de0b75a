#include "store/registers.h"

#include "store/database_connection.h"
#include "store/table_cursor.h"

#include <charconv>
#include <string>

namespace tramela::store {

namespace data {
extern const std::string_view kRegent;
extern const std::string_view kRegazi;
extern const std::string_view kReglot;
} // namespace data

std::vector<RegisterEntry> parseRegister(std::string_view text) {
    std::vector<RegisterEntry> entries;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) {
            continue;
        }
        RegisterEntry entry;
        std::from_chars(line.data(), line.data() + tab, entry.code);
        entry.name = line.substr(tab + 1);
        entries.push_back(entry);
    }
    return entries;
}

const std::vector<RegisterEntry>& authorityRegister() {
    static const std::vector<RegisterEntry> entries = parseRegister(data::kRegent);
    return entries;
}

const std::vector<RegisterEntry>& companyRegister() {
    static const std::vector<RegisterEntry> entries = parseRegister(data::kRegazi);
    return entries;
}

const std::vector<RegisterEntry>& lotRegister() {
    static const std::vector<RegisterEntry> entries = parseRegister(data::kReglot);
    return entries;
}

bool LoadBuiltInRegisters(DatabaseConnection& connection) {
    const std::pair<const char*, const std::vector<RegisterEntry>*> registers[] = {
        {"regent", &authorityRegister()},
        {"regazi", &companyRegister()},
        {"reglot", &lotRegister()},
    };
    bool loaded = true;
    connection.BeginTrans();
    for (const auto& [table, entries] : registers) {
        TableCursor cursor(&connection, table);
        if (!cursor.SelectIndex("codice")) {
            loaded = false;
            continue;
        }
        for (const RegisterEntry& entry : *entries) {
            const std::string code = std::to_string(entry.code);
            if (cursor.Seek({code})) {
                cursor.Edit();
            } else {
                cursor.AddNew();
                cursor.SetField("codice", code);
            }
            cursor.SetField("denom", entry.name);
            loaded = cursor.Update() && loaded;
        }
    }
    connection.CommitTrans();
    return loaded;
}

} // namespace tramela::store
