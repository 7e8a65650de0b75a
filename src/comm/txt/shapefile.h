#pragma once

#include <filesystem>
#include <optional>

namespace tramela::store {
class DatabaseConnection;
}

namespace tramela::workspace {
class Latin1Encoder;
}

namespace tramela::comm {

// The two shapefiles that go with the text communication, each three files side by side in the
// export folder (geometry .SHP, index .SHX, attributes .DBF), replaced when they exist. Texts are
// written in ISO-8859-1 through `encoder` when one is given (so the export can count the texts
// it had to change), through a private one otherwise.
//
// Each writer gives the number of shapes written. A file that cannot be created ("Impossibile
// creare") or written ("Errore scrittura"), or a query that fails, is shown through
// connection.ui(); the writer then removes the three files (a half-written shapefile is not
// left behind for a GIS to trip over) and gives nothing.

// RT_NODI: one point per stop (fermate), ordered by stop code; attributes AZIENDA (`company`),
// COD_FERM, DENOM.
std::optional<long> writeStopShapefile(store::DatabaseConnection& connection,
                                       const std::filesystem::path& folder,
                                       long company,
                                       workspace::Latin1Encoder* encoder = nullptr);

// RT_ITIN: one polyline per route that has a geometry (itiner joined with geoitin), ordered by
// route code, with the box stored with each geometry; attributes AZIENDA (`company`), COD_PERC,
// DESCR. A route whose stored geometry is corrupt is shown ("Itinerari: Entità Lineare corrotta
// <ID> !!!") and left out.
std::optional<long> writeRouteShapefile(store::DatabaseConnection& connection,
                                        const std::filesystem::path& folder,
                                        long company,
                                        workspace::Latin1Encoder* encoder = nullptr);

} // namespace tramela::comm
