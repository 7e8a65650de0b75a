#include "utilities/bulk_edit.h"

#include "network/standard_trips.h"
#include "store/database_connection.h"
#include "store/query_cursor.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"
#include "ui/progress_bar.h"
#include "workspace/workspace.h"

#include <algorithm>
#include <charconv>
#include <fmt/format.h>
#include <memory>

namespace tramela::utilities {

store::DatabaseConnection* openConnection(workspace::Workspace& window) {
    store::DatabaseConnection* connection = window.connection();
    return connection != nullptr && connection->IsOpen() ? connection : nullptr;
}

std::optional<std::int32_t> idIn(store::QueryCursor& row, std::string_view column) {
    // The typed read would give 0 for a text the engine let through; the text tells them apart.
    std::string text;
    row.GetText(column, text);
    std::int32_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return id;
}

std::optional<std::vector<std::int32_t>> readIds(store::QueryCursor& query,
                                                 std::string_view column) {
    std::vector<std::int32_t> ids;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        if (const std::optional<std::int32_t> id = idIn(query, column)) {
            ids.push_back(*id);
        }
    }
    if (query.failed()) {
        return std::nullopt;
    }
    return ids;
}

std::optional<PassCounts>
editEach(store::DatabaseConnection& connection,
         std::string_view table,
         const std::vector<std::int32_t>& ids,
         const std::function<bool(store::TableCursor& row, size_t position)>& set,
         bool progress) {
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return std::nullopt;
    }
    PassCounts counts;
    counts.read = static_cast<long>(ids.size());
    std::unique_ptr<ui::ProgressBar> bar;
    if (progress) {
        bar = std::make_unique<ui::ProgressBar>(connection.ui());
    }
    store::TableCursor cursor(&connection, table);
    cursor.SelectIndex("codice");
    for (size_t i = 0; i < ids.size(); ++i) {
        const std::string key = fmt::format("{}", ids[i]);
        if (cursor.Seek({key}) && cursor.Edit() && set(cursor, i) && cursor.Update()) {
            ++counts.changed;
        }
        if (bar) {
            bar->set(static_cast<std::int64_t>(i + 1), static_cast<std::int64_t>(ids.size()));
        }
    }
    if (!transaction.commit()) {
        return std::nullopt;
    }
    return counts;
}

std::optional<std::vector<std::int32_t>> tripsOfLine(store::DatabaseConnection& connection,
                                                     const std::optional<std::string>& line) {
    store::QueryCursor trips(connection);
    trips.SetSelect("id");
    trips.SetFrom("corse");
    if (line) {
        trips.SetWhere("RTRIM(codlinea, ' ') = ?");
        trips.Bind(1, *line);
    }
    trips.SetOrderBy("id");
    return readIds(trips);
}

const std::string& fieldValue(const ui::FormValues& values, std::string_view id) {
    static const std::string kEmpty;
    const auto found = values.find(id);
    return found != values.end() ? found->second : kEmpty;
}

std::vector<std::string> registerCodes(store::DatabaseConnection& connection,
                                       std::string_view table) {
    std::vector<std::string> codes;
    store::QueryCursor rows(connection);
    rows.SetSelect("codice");
    rows.SetFrom(table);
    rows.SetOrderBy("codice");
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        if (std::int16_t code = 0; rows.GetShort(0, code)) {
            codes.push_back(fmt::format("{:04d}", code));
        }
    }
    return codes;
}

std::vector<std::string> lineCodes(store::DatabaseConnection& connection) {
    return network::CompanyLineCodes(connection);
}

std::optional<int> listedCode(std::string_view text, const std::vector<std::string>& entries) {
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int code = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    if (std::find(entries.begin(), entries.end(), fmt::format("{:04d}", code)) == entries.end()) {
        return std::nullopt;
    }
    return code;
}

std::optional<std::string> listedLine(std::string_view text,
                                      const std::vector<std::string>& entries) {
    const std::string line(store::withoutTrailingBlanks(text));
    if (line.empty() || std::find(entries.begin(), entries.end(), line) == entries.end()) {
        return std::nullopt;
    }
    return line;
}

ui::FormField choiceField(std::string id, std::string caption, std::vector<std::string> entries) {
    return {std::move(id), std::move(caption), ui::FieldKind::Choice, {}, std::move(entries), 0};
}

} // namespace tramela::utilities
