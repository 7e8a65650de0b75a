#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tramela::store {

// The field types of the data model, by their catalogue letter.
enum class FieldType : char {
    Text = 'A',
    Boolean = 'B',
    Date = 'D',
    Double = 'F',
    Short = 'I',
    Long = 'L',
    Memo = 'M',
    Currency = 'N',
    Blob = 'O',
};

std::optional<FieldType> fieldTypeFromCode(char code);

// The declared SQLite type that carries a field type: "TEXT(10)", "SMALLINT", "DATE"...
// A memo is declared "TEXT" (a text without size), so that SQLite keeps numeric-looking text.
std::string declaredType(FieldType type, int size);

// The field type and size read back from a declared type; declared types written by other
// programs are mapped by SQLite's own affinity rules.
std::pair<FieldType, int> parseDeclaredType(std::string_view declared);

// One column of a table as the store layer sees it.
struct ColumnInfo {
    std::string name;
    FieldType type = FieldType::Text;
    int size = 0; // characters, text columns only
    bool required = false;
};

using Blob = std::vector<unsigned char>;
// A value as SQLite holds it: null, integer, real, text (UTF-8) or bytes.
using Value = std::variant<std::monostate, std::int64_t, double, std::string, Blob>;

inline bool isNull(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

// The read conversion: the text form of a field's value. Dates "GG/MM/AAAA" with the marks
// "00/00/0000" (year 1600 or earlier) and "99/99/9999" (year 2400 or later); doubles "%020.4lf"
// with a decimal comma; booleans "1"/"0"; null and BLOB give empty text.
std::string fieldText(const Value& value, FieldType type);
// The same for display: a BLOB gives "BLOB [n bytes]" and trailing blanks are removed.
std::string fieldDisplayText(const Value& value, FieldType type);

std::string formatDouble(double value);   // -3.25 -> "-00000000000003,2500"
std::string formatCurrency(double value); // 1234.5 -> "+000000000001234,5000"
std::string formatDateValue(const Value& value);

// The write conversion: the text a caller sets, turned into the value the column stores, or
// the engine's refusal (our own description of why the text does not fit the column).
struct WriteConversion {
    Value value;
    std::string refusal; // empty when accepted

    bool accepted() const { return refusal.empty(); }
};

WriteConversion convertForWrite(std::string_view text, const ColumnInfo& column);

// Parses a typed date as the store accepts it: "GG/MM/AAAA" (day and month of one or two digits,
// separators "/", "-" or "."), "YYYY-MM-DD", and the two marks. Gives the ISO form.
std::optional<std::string> storeDateToIso(std::string_view text);

// Removes trailing blanks (spaces only) in place.
void TrimTrailingBlanks(std::string& text);
std::string_view withoutTrailingBlanks(std::string_view text);
// Without the blanks and tabs at either end.
std::string_view trimBlanks(std::string_view text);

// Characters of a UTF-8 text (not bytes); nothing for invalid UTF-8.
std::optional<size_t> utf8Length(std::string_view text);

// A text constant for SQL: single quotes, inner quotes doubled.
std::string sqlQuote(std::string_view text);
// An identifier for SQL: double quotes, inner double quotes doubled.
std::string sqlIdentifier(std::string_view name);

bool equalsIgnoreCase(std::string_view a, std::string_view b);

} // namespace tramela::store
