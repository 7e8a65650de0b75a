#include "network/distance_values.h"

#include "store/query_cursor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fmt/format.h>
#include <vector>

namespace tramela::network {

std::string MetresText(double metres) {
    char text[400];
    std::snprintf(text, sizeof text, "%1.0lf", metres);
    return text;
}

std::string LengthText(double metres) {
    char text[400];
    std::snprintf(text, sizeof text, "%1.2lf", metres);
    std::string written(text);
    std::replace(written.begin(), written.end(), '.', ',');
    return written;
}

std::optional<double> SpreadProgressive(const RouteLengths& lengths, double geodist, bool first) {
    if (!(lengths.cartographic > 0.0) || !std::isfinite(lengths.cartographic)) {
        return std::nullopt;
    }
    if (first) {
        return 0.0;
    }
    const double spread = lengths.conventional * geodist / lengths.cartographic;
    return std::isfinite(spread) ? std::optional<double>(spread) : std::nullopt;
}

std::optional<RouteLengths> ReadRouteLengths(store::DatabaseConnection& connection, RouteId route) {
    store::QueryCursor query(connection);
    query.SetSelect("geolung, conlung");
    query.SetFrom("itiner");
    query.SetWhere("ID = ?");
    query.Bind(1, static_cast<std::int64_t>(route.value));
    if (!query.Execute()) {
        return std::nullopt;
    }
    RouteLengths lengths;
    query.GetDouble(0, lengths.cartographic);
    query.GetDouble(1, lengths.conventional);
    return lengths;
}

KeyedRowWriter::KeyedRowWriter(store::DatabaseConnection& connection, std::string_view table)
    : m_cursor(&connection, table) {
    m_cursor.SelectIndex("codice");
}

bool KeyedRowWriter::write(std::initializer_list<std::int32_t> keys,
                           std::initializer_list<FieldText> fields) {
    std::vector<std::string> texts;
    texts.reserve(keys.size());
    for (const std::int32_t key : keys) {
        texts.push_back(fmt::format("{}", key));
    }
    const std::vector<std::string_view> values(texts.begin(), texts.end());
    m_missed = !m_cursor.Seek(values);
    if (m_missed || !m_cursor.Edit()) {
        return false;
    }
    bool accepted = true;
    for (const auto& [field, text] : fields) {
        accepted = m_cursor.SetField(field, text) && accepted;
    }
    return m_cursor.Update() && accepted;
}

} // namespace tramela::network
