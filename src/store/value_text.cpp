#include "store/value_text.h"

#include "store/date.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fmt/format.h>
#include <limits>

namespace tramela::store {

namespace {

constexpr std::string_view kNotANumber =
    "Tipo di dati non corrispondente: il testo non è un numero";
constexpr std::string_view kNotABoolean =
    "Tipo di dati non corrispondente: il testo non è un valore logico (1/0, vero/falso, sì/no)";
constexpr std::string_view kInvalidDate = "Data non valida: le date si scrivono GG/MM/AAAA";
constexpr std::string_view kInvalidUtf8 = "Il testo contiene caratteri non codificati in UTF-8";

std::string upper(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

// A decimal number as people type it: optional sign, digits, one decimal separator ("," or "."),
// digits, an optional exponent. At least one digit; nothing else around it but blanks.
std::optional<double> parseDecimal(std::string_view text) {
    text = trimBlanks(text);
    std::string normal;
    normal.reserve(text.size());
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            normal += '-';
        }
        ++i;
    }
    int digits = 0;
    bool separator = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            normal += c;
            ++digits;
        } else if ((c == ',' || c == '.') && !separator) {
            normal += '.';
            separator = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            normal += text[i++];
        }
        int exponentDigits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            normal += text[i];
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (error != std::errc() || end != normal.data() + normal.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> parseBoolean(std::string_view text) {
    const std::string word = upper(trimBlanks(text));
    static constexpr std::string_view kTrue[] = {
        "1", "-1", "TRUE", "VERO", "SÌ", "SI", "YES", "ON", "V", "S"};
    static constexpr std::string_view kFalse[] = {"0", "FALSE", "FALSO", "NO", "OFF", "F", "N"};
    if (std::find(std::begin(kTrue), std::end(kTrue), word) != std::end(kTrue) || word == "Sì") {
        return true;
    }
    if (std::find(std::begin(kFalse), std::end(kFalse), word) != std::end(kFalse)) {
        return false;
    }
    if (const auto number = parseDecimal(text)) {
        return *number != 0.0;
    }
    return std::nullopt;
}

WriteConversion refuse(std::string text) {
    return WriteConversion{std::monostate{}, std::move(text)};
}

WriteConversion
convertInteger(std::string_view text, long long lowest, long long highest, int bits) {
    const auto number = parseDecimal(text);
    if (!number) {
        return refuse(std::string(kNotANumber));
    }
    // A fractional value is rounded to the nearest integer, halves to the even one, as the
    // engine's own conversion does: "2,5" gives 2, "3,5" gives 4.
    const double rounded = std::nearbyint(*number);
    if (rounded < static_cast<double>(lowest) || rounded > static_cast<double>(highest)) {
        return refuse(fmt::format("Valore fuori dall'intervallo di un intero a {} bit (da {} a {})",
                                  bits,
                                  lowest,
                                  highest));
    }
    return WriteConversion{static_cast<std::int64_t>(rounded), {}};
}

} // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<FieldType> fieldTypeFromCode(char code) {
    switch (code) {
    case 'A':
    case 'B':
    case 'D':
    case 'F':
    case 'I':
    case 'L':
    case 'M':
    case 'N':
    case 'O':
        return static_cast<FieldType>(code);
    default:
        return std::nullopt;
    }
}

std::string declaredType(FieldType type, int size) {
    switch (type) {
    case FieldType::Text:
        return fmt::format("TEXT({})", size);
    case FieldType::Boolean:
        return "BOOLEAN";
    case FieldType::Date:
        return "DATE";
    case FieldType::Double:
        return "DOUBLE";
    case FieldType::Short:
        return "SMALLINT";
    case FieldType::Long:
        return "INTEGER";
    case FieldType::Memo:
        return "TEXT";
    case FieldType::Currency:
        return "CURRENCY";
    case FieldType::Blob:
        return "BLOB";
    }
    return "BLOB";
}

std::pair<FieldType, int> parseDeclaredType(std::string_view declared) {
    const std::string type = upper(trimBlanks(declared));
    const size_t open = type.find('(');
    const std::string base = std::string(trimBlanks(std::string_view(type).substr(0, open)));
    int size = 0;
    if (open != std::string::npos) {
        const size_t close = type.find(')', open);
        const std::string_view inside =
            trimBlanks(std::string_view(type).substr(open + 1, close - open - 1));
        std::from_chars(inside.data(), inside.data() + inside.size(), size);
    }
    if (base == "TEXT" || base == "VARCHAR" || base == "CHAR" || base == "NVARCHAR") {
        return size > 0 ? std::pair{FieldType::Text, size} : std::pair{FieldType::Memo, 0};
    }
    if (base == "MEMO") {
        return {FieldType::Memo, 0};
    }
    if (base == "BOOLEAN" || base == "BOOL" || base == "BIT") {
        return {FieldType::Boolean, 0};
    }
    if (base == "DATE" || base == "DATETIME") {
        return {FieldType::Date, 0};
    }
    if (base == "SMALLINT") {
        return {FieldType::Short, 0};
    }
    if (base == "CURRENCY" || base == "MONEY") {
        return {FieldType::Currency, 0};
    }
    if (base == "BLOB" || base.empty()) {
        return {FieldType::Blob, 0};
    }
    // Any other declared type, as SQLite would read it.
    if (base.find("INT") != std::string::npos) {
        return {FieldType::Long, 0};
    }
    if (base.find("CHAR") != std::string::npos || base.find("CLOB") != std::string::npos ||
        base.find("TEXT") != std::string::npos) {
        return size > 0 ? std::pair{FieldType::Text, size} : std::pair{FieldType::Memo, 0};
    }
    if (base.find("BLOB") != std::string::npos) {
        return {FieldType::Blob, 0};
    }
    return {FieldType::Double, 0};
}

std::string formatDouble(double value) {
    std::string text = fmt::format("{:020.4f}", value);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string formatCurrency(double value) {
    const char sign = value < 0 ? '-' : '+';
    const std::string digits = fmt::format("{:.4f}", std::fabs(value));
    const size_t point = digits.find('.');
    const std::string_view whole = std::string_view(digits).substr(0, point);
    const std::string_view fraction = std::string_view(digits).substr(point + 1);
    std::string text(1, sign);
    if (whole.size() < 15) {
        text.append(15 - whole.size(), '0');
    }
    text += whole;
    text += ',';
    text += fraction;
    return text;
}

std::string formatDateValue(const Value& value) {
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr) {
        return isNull(value) ? std::string() : std::string("00/00/0000");
    }
    // A stored time of day ("2024-03-01 00:00:00") is dropped.
    const std::optional<Date> date = parseIsoDate(std::string_view(*text).substr(0, 10));
    if (!date || date->year <= 1600) {
        return "00/00/0000";
    }
    if (date->year >= 2400) {
        return "99/99/9999";
    }
    return date->display();
}

std::string fieldText(const Value& value, FieldType type) {
    if (isNull(value)) {
        return {};
    }
    const auto* integer = std::get_if<std::int64_t>(&value);
    const auto* real = std::get_if<double>(&value);
    const auto* text = std::get_if<std::string>(&value);
    switch (type) {
    case FieldType::Short:
    case FieldType::Long:
        if (integer != nullptr) {
            return fmt::format("{}", *integer);
        }
        if (real != nullptr) {
            return fmt::format("{}", std::llround(*real));
        }
        return text != nullptr ? *text : std::string();
    case FieldType::Boolean:
        if (integer != nullptr) {
            return *integer != 0 ? "1" : "0";
        }
        if (real != nullptr) {
            return *real != 0.0 ? "1" : "0";
        }
        if (text != nullptr) {
            return parseBoolean(*text).value_or(false) ? "1" : "0";
        }
        return "0";
    case FieldType::Date:
        return formatDateValue(value);
    case FieldType::Double:
    case FieldType::Currency: {
        std::optional<double> number;
        if (integer != nullptr) {
            number = static_cast<double>(*integer);
        } else if (real != nullptr) {
            number = *real;
        } else if (text != nullptr) {
            number = parseDecimal(*text);
        }
        if (!number) {
            return text != nullptr ? *text : std::string();
        }
        return type == FieldType::Double ? formatDouble(*number) : formatCurrency(*number);
    }
    case FieldType::Text:
    case FieldType::Memo:
        if (text != nullptr) {
            return *text;
        }
        if (integer != nullptr) {
            return fmt::format("{}", *integer);
        }
        if (real != nullptr) {
            return fmt::format("{}", *real);
        }
        return {};
    case FieldType::Blob:
        return {};
    }
    return {};
}

std::string fieldDisplayText(const Value& value, FieldType type) {
    if (type == FieldType::Blob && !isNull(value)) {
        size_t bytes = 0;
        if (const auto* blob = std::get_if<Blob>(&value)) {
            bytes = blob->size();
        } else if (const auto* text = std::get_if<std::string>(&value)) {
            bytes = text->size();
        }
        return fmt::format("BLOB [{} bytes]", bytes);
    }
    std::string text = fieldText(value, type);
    TrimTrailingBlanks(text);
    return text;
}

std::optional<std::string> storeDateToIso(std::string_view text) {
    text = trimBlanks(text);
    if (text == "00/00/0000") {
        return std::string("1600-01-01");
    }
    if (text == "99/99/9999") {
        return std::string("2400-12-31");
    }
    if (const auto iso = parseIsoDate(text)) {
        return iso->iso();
    }
    // Day and month of one or two digits, a four-digit year, separated by "/", "-" or ".".
    int parts[3] = {0, 0, 0};
    int part = 0;
    int digits = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '\0';
        if (c >= '0' && c <= '9') {
            parts[part] = parts[part] * 10 + (c - '0');
            ++digits;
            if ((part < 2 && digits > 2) || digits > 4) {
                return std::nullopt;
            }
            continue;
        }
        const bool end = i == text.size();
        if (digits == 0 || (!end && c != '/' && c != '-' && c != '.') || (end && part != 2) ||
            (!end && part == 2)) {
            return std::nullopt;
        }
        if (end && digits != 4) {
            return std::nullopt;
        }
        ++part;
        digits = 0;
    }
    if (!isValidDate(parts[2], parts[1], parts[0])) {
        return std::nullopt;
    }
    return Date{parts[2], parts[1], parts[0]}.iso();
}

WriteConversion convertForWrite(std::string_view text, const ColumnInfo& column) {
    if (text.empty()) {
        return WriteConversion{std::monostate{}, {}};
    }
    switch (column.type) {
    case FieldType::Short:
        return convertInteger(text,
                              std::numeric_limits<std::int16_t>::min(),
                              std::numeric_limits<std::int16_t>::max(),
                              16);
    case FieldType::Long:
        return convertInteger(text,
                              std::numeric_limits<std::int32_t>::min(),
                              std::numeric_limits<std::int32_t>::max(),
                              32);
    case FieldType::Boolean: {
        const auto truth = parseBoolean(text);
        if (!truth) {
            return refuse(std::string(kNotABoolean));
        }
        return WriteConversion{std::int64_t{*truth ? 1 : 0}, {}};
    }
    case FieldType::Double: {
        const auto number = parseDecimal(text);
        if (!number) {
            return refuse(std::string(kNotANumber));
        }
        return WriteConversion{*number, {}};
    }
    case FieldType::Currency: {
        const auto number = parseDecimal(text);
        if (!number) {
            return refuse(std::string(kNotANumber));
        }
        // Currency holds four decimals exactly.
        return WriteConversion{std::round(*number * 10000.0) / 10000.0, {}};
    }
    case FieldType::Date: {
        auto iso = storeDateToIso(text);
        if (!iso) {
            return refuse(std::string(kInvalidDate));
        }
        return WriteConversion{std::move(*iso), {}};
    }
    case FieldType::Text:
    case FieldType::Memo: {
        const auto length = utf8Length(text);
        if (!length) {
            return refuse(std::string(kInvalidUtf8));
        }
        if (column.type == FieldType::Text && column.size > 0 &&
            *length > static_cast<size_t>(column.size)) {
            return refuse(fmt::format(
                "Il testo di {} caratteri supera la dimensione del campo ({} caratteri)",
                *length,
                column.size));
        }
        return WriteConversion{std::string(text), {}};
    }
    case FieldType::Blob:
        return WriteConversion{Blob(text.begin(), text.end()), {}};
    }
    return refuse(std::string(kNotANumber));
}

void TrimTrailingBlanks(std::string& text) {
    const size_t end = text.find_last_not_of(' ');
    text.erase(end == std::string::npos ? 0 : end + 1);
}

std::string_view withoutTrailingBlanks(std::string_view text) {
    const size_t end = text.find_last_not_of(' ');
    return text.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

std::optional<size_t> utf8Length(std::string_view text) {
    size_t count = 0;
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        char32_t codePoint = byte;
        if (byte >= 0x80) {
            if ((byte & 0xE0) == 0xC0) {
                length = 2;
                codePoint = byte & 0x1F;
            } else if ((byte & 0xF0) == 0xE0) {
                length = 3;
                codePoint = byte & 0x0F;
            } else if ((byte & 0xF8) == 0xF0) {
                length = 4;
                codePoint = byte & 0x07;
            } else {
                return std::nullopt;
            }
            if (i + length > text.size()) {
                return std::nullopt;
            }
            for (size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                if ((next & 0xC0) != 0x80) {
                    return std::nullopt;
                }
                codePoint = (codePoint << 6) | (next & 0x3F);
            }
            // Overlong forms, surrogates and values past the last code point are not UTF-8.
            const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
            if (codePoint < smallest || codePoint > 0x10FFFF ||
                (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
                return std::nullopt;
            }
        }
        i += length;
        ++count;
    }
    return count;
}

std::string sqlQuote(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c;
        if (c == '\'') {
            quoted += '\'';
        }
    }
    quoted += '\'';
    return quoted;
}

std::string sqlIdentifier(std::string_view name) {
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    quoted += '"';
    return quoted;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace tramela::store
