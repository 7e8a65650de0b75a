#pragma once

#include "network/route_set.h"
#include "store/database_connection.h"
#include "store/table_cursor.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tramela::network {

// A progressive as written to fermitin.geodist or fermitin.condist: whole metres, rounded as
// printf's "%1.0lf" rounds (7.5 -> "8", 1499.4 -> "1499").
std::string MetresText(double metres);
// A length as written to corse.lung, corse.ct_lung, itiner.conlung and, by the alignment, to
// fermitin.condist: two decimals and a decimal comma (1914.214 -> "1914,21").
std::string LengthText(double metres);

// The cartographic and conventional lengths of a route (itiner.geolung, itiner.conlung), metres.
struct RouteLengths {
    double cartographic = 0.0;
    double conventional = 0.0;
};

// The conventional progressive of a stop spread from its cartographic one in the ratio of the
// route's conventional length to its cartographic length: with conlung 12 and geolung 10 a stop
// at geodist 5000 is at 6000. The first stop of a route is at 0. Nothing when the route has no
// cartographic length (0, negative or not a number): there is no ratio to spread by, and the
// stop's conventional progressive is better left as it is than made infinite.
std::optional<double> SpreadProgressive(const RouteLengths& lengths, double geodist, bool first);

// The lengths of one route; nothing when the route is not in itiner or the query failed (shown).
std::optional<RouteLengths> ReadRouteLengths(store::DatabaseConnection& connection, RouteId route);

// Writes fields of rows found by their key in a table's index "codice" (itiner and corse by ID,
// fermitin by ID and sub). A refusal is shown by the table layer.
class KeyedRowWriter {
public:
    using FieldText = std::pair<std::string_view, std::string_view>;

    KeyedRowWriter(store::DatabaseConnection& connection, std::string_view table);

    // True when the row with these key values (route, or route and sub) exists and took every
    // field.
    bool write(std::initializer_list<std::int32_t> keys, std::initializer_list<FieldText> fields);

    bool isOpen() const { return m_cursor.IsOpen(); }

    // The last write found no row with its keys (nothing was shown).
    bool missed() const { return m_missed; }

private:
    store::TableCursor m_cursor;
    bool m_missed = false;
};

} // namespace tramela::network
