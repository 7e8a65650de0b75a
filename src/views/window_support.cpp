#include "views/window_support.h"

#include "store/value_text.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fmt/format.h>

namespace tramela::views::support {

std::string refusal(std::string_view what, std::string_view how) {
    return fmt::format("{}\n\n{}\n\n{}", what, how, kNotRegistered);
}

ui::FormField textField(std::string_view id, std::string_view caption, int maxLength) {
    ui::FormField field;
    field.id = id;
    field.caption = caption;
    field.maxLength = maxLength;
    return field;
}

ui::FormField dateField(std::string_view id, std::string_view caption) {
    ui::FormField field = textField(id, caption, 10);
    field.kind = ui::FieldKind::Date;
    return field;
}

ui::FormField
choiceField(std::string_view id, std::string_view caption, std::vector<std::string> entries) {
    ui::FormField field = textField(id, caption);
    field.kind = ui::FieldKind::Choice;
    field.entries = std::move(entries);
    return field;
}

std::string leadingField(std::string_view entry) {
    const std::string_view trimmed = store::trimBlanks(entry);
    return std::string(trimmed.substr(0, trimmed.find(' ')));
}

std::optional<std::int32_t> wholeNumber(std::string_view text, std::int64_t max) {
    text = store::trimBlanks(text);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > max) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::string text(store::QueryCursor& rows, std::string_view column) {
    std::string value;
    rows.GetText(column, value);
    store::TrimTrailingBlanks(value);
    return value;
}

double number(std::string_view text) {
    std::string value(store::trimBlanks(text));
    std::replace(value.begin(), value.end(), ',', '.');
    return std::strtod(value.c_str(), nullptr);
}

std::string kilometres(double metres) {
    return fmt::format("{:.3f}", metres / 1000.0);
}

size_t characters(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::vector<std::string> registerEntries(store::DatabaseConnection& connection,
                                         std::string_view table,
                                         std::string_view order) {
    std::vector<std::string> entries;
    store::QueryCursor rows(connection);
    rows.SetSelect("codice, denom");
    rows.SetFrom(table);
    rows.SetOrderBy(order);
    for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
        const auto code = wholeNumber(text(rows, "codice"));
        if (code) {
            entries.push_back(fmt::format("{:04d} - {}", *code, text(rows, "denom")));
        }
    }
    return entries;
}

bool registerHolds(store::DatabaseConnection& connection,
                   std::string_view table,
                   std::int32_t code) {
    store::QueryCursor rows(connection);
    rows.SetSelect("codice");
    rows.SetFrom(table);
    rows.SetWhere("codice = ?");
    rows.Bind(1, std::int64_t{code});
    return rows.Execute();
}

} // namespace tramela::views::support
