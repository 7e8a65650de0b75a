// The composition of a route: its stops in sub order with both progressives, and the route
// editor's operations on them.

#include "views/composition_window.h"

#include "network/association_command.h"
#include "network/distance_entry.h"
#include "network/distance_values.h"
#include "network/geometry_loader.h"
#include "network/route_editor.h"
#include "network/stop_association.h"
#include "network/stop_picker.h"
#include "store/table_cursor.h"
#include "store/transaction.h"
#include "store/value_text.h"
#include "views/window_support.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <limits>
#include <set>

namespace tramela::views {

namespace {

using namespace support;
using network::RouteId;
using network::StopId;
using store::DatabaseConnection;

constexpr std::string_view kPlaced = "typeof(fermate.coord_x) IN ('real', 'integer') AND "
                                     "typeof(fermate.coord_y) IN ('real', 'integer')";

// How each stop of the composition stands with the line: the association analysis run on this
// route alone, with the composition's own stops.
void settleStandings(RouteId route,
                     const network::RoutePolyline& polyline,
                     std::vector<CompositionStop>& stops) {
    network::StopAssociation association;
    association.addRoute(route, {}, {}, polyline);
    std::vector<network::RegisterStop> registered;
    std::set<StopId> seen;
    for (const CompositionStop& stop : stops) {
        if (seen.insert(stop.stop).second) {
            registered.push_back({stop.stop, stop.code, stop.name, stop.position});
        }
    }
    association.findStops(registered);
    association.sortItems();
    for (const CompositionStop& stop : stops) {
        association.addCompositionStop(
            route, {stop.stop, stop.code, stop.name, stop.position}, stop.geodist);
    }
    association.settleSides();
    network::AnalysedRoute* analysed = association.find(route);
    if (analysed == nullptr) {
        return;
    }
    // Each row takes the declared item of its stop nearest its progressive, one item per row.
    std::vector<bool> taken(analysed->items.size(), false);
    for (CompositionStop& stop : stops) {
        std::optional<size_t> best;
        for (size_t i = 0; i < analysed->items.size(); ++i) {
            const network::AssociationItem& item = analysed->items[i];
            if (taken[i] || !item.inComposition || item.stop != stop.stop) {
                continue;
            }
            if (!best || std::abs(item.progressive - stop.geodist) <
                             std::abs(analysed->items[*best].progressive - stop.geodist)) {
                best = i;
            }
        }
        if (!best) {
            stop.standing = StopStanding::NotAssociable;
            continue;
        }
        taken[*best] = true;
        const network::AssociationItem& item = analysed->items[*best];
        if (item.atTerminus) {
            stop.standing = StopStanding::Terminus;
        } else if (item.compositionOnly) {
            stop.standing = StopStanding::NotAssociable;
        } else {
            stop.standing = item.onRightSide ? StopStanding::Ok : StopStanding::WrongSide;
        }
    }
}

std::string mark(bool set) {
    return set ? "Si" : "No";
}

class CompositionWindow final : public CompositionSource {
public:
    explicit CompositionWindow(RouteId route)
        : m_route(route) {}

    RouteId route() const override { return m_route; }

    const std::vector<CompositionStop>& stops() const override { return m_stops; }

    const std::optional<network::RoutePolyline>& polyline() const override { return m_polyline; }

    std::string title() const override {
        return fmt::format("Composizione del Percorso {}", m_route.value);
    }

    std::vector<std::string> headers() const override {
        return {"Sub",
                "ID Fermata",
                "Codice",
                "Denominazione",
                "Ubicazione",
                "Km Convenzionali",
                "Km Cartografici",
                "Primaria",
                "Facoltativa"};
    }

    std::vector<ui::FormField> fields(DatabaseConnection&) override {
        return {textField(kProgressiveField, "Progressiva Km", 20)};
    }

    bool load(DatabaseConnection& connection, std::vector<ListEntry>& entries) override {
        // The geometry is not edited here: it is read once, with the first list.
        if (!m_geometryRead) {
            network::LoadedGeometry geometry = network::LoadRouteGeometry(connection, m_route);
            if (geometry.status == network::GeometryStatus::Failed) {
                return false;
            }
            if (geometry.polyline && geometry.polyline->vertexCount() > 0) {
                m_polyline = std::move(geometry.polyline);
            }
            m_geometryRead = true;
        }
        store::QueryCursor rows(connection);
        rows.SetSelect(fmt::format("fermitin.sub, fermitin.fermata, fermitin.condist,"
                                   " fermitin.geodist, fermitin.primaria, fermitin.facolt,"
                                   " fermate.fermata AS codice, fermate.denom, fermate.ubicaz,"
                                   " fermate.coord_x, fermate.coord_y, {}",
                                   kPlaced));
        // A row whose stop is missing from the register is listed all the same.
        rows.SetFrom("fermitin LEFT JOIN fermate ON fermate.ID = fermitin.fermata");
        rows.SetWhere("fermitin.ID = ?");
        rows.Bind(1, std::int64_t{m_route.value});
        rows.SetOrderBy("fermitin.sub");
        std::vector<CompositionStop> stops;
        for (bool row = rows.Execute(); row; row = rows.MoveNext()) {
            CompositionStop stop;
            std::int16_t sub = 0;
            rows.GetShort(0, sub);
            stop.sub = sub;
            rows.GetLong(1, stop.stop.value);
            stop.condist = number(text(rows, "condist"));
            stop.geodist = number(text(rows, "geodist"));
            stop.primaria = text(rows, "primaria") == "1";
            stop.facolt = text(rows, "facolt") == "1";
            stop.code = text(rows, "codice");
            stop.name = text(rows, "fermate.denom");
            stop.location = text(rows, "ubicaz");
            std::int32_t placed = 0;
            network::Point p;
            if (rows.GetLong(11, placed) && placed != 0 && rows.GetDouble(9, p.x) &&
                rows.GetDouble(10, p.y) && std::isfinite(p.x) && std::isfinite(p.y)) {
                stop.position = p;
            }
            if (m_polyline && std::isfinite(stop.geodist)) {
                stop.onLine = m_polyline->PointAtProgressive(
                    std::clamp(stop.geodist, 0.0, m_polyline->Length()));
            }
            stops.push_back(std::move(stop));
        }
        if (rows.failed()) {
            return false;
        }
        if (m_polyline) {
            settleStandings(m_route, *m_polyline, stops);
        }
        for (const CompositionStop& stop : stops) {
            entries.push_back({{std::to_string(stop.sub)},
                               {std::to_string(stop.sub),
                                std::to_string(stop.stop.value),
                                stop.code,
                                stop.name,
                                stop.location,
                                kilometres(stop.condist),
                                kilometres(stop.geodist),
                                mark(stop.primaria),
                                mark(stop.facolt)},
                               false});
        }
        m_stops = std::move(stops);
        m_deleted.clear();
        return true;
    }

    ui::FormValues valuesOf(DatabaseConnection&, const ListEntry& entry) override {
        const CompositionStop* stop = stopOf(entry);
        return {{std::string(kProgressiveField), stop ? kilometres(stop->condist) : ""}};
    }

    std::optional<std::string>
    check(DatabaseConnection&, const ui::FormValues& values, bool) override {
        if (const auto refused = network::CheckDistanceEntry(
                fieldValue(values, kProgressiveField), network::DistanceEntryKind::Progressive)) {
            return refused->text;
        }
        return std::nullopt;
    }

    bool insert(DatabaseConnection&, const ui::FormValues&) override {
        return false; // a stop is inserted through the picker ("insert-stop")
    }

    // "Variazione Distanza Progressiva": the conventional progressive, typed in kilometres and
    // held in whole metres. The cartographic one comes from the geometry and is recomputed.
    bool modify(DatabaseConnection& connection,
                const ListEntry& entry,
                const ui::FormValues& values) override {
        const double metres =
            *network::ParseDistanceEntry(fieldValue(values, kProgressiveField)) * 1000.0;
        const CompositionStop* stop = stopOf(entry);
        if (stop == nullptr) {
            return false;
        }
        network::KeyedRowWriter writer(connection, "fermitin");
        if (writer.write({m_route.value, stop->sub}, {{"condist", network::MetresText(metres)}})) {
            return true;
        }
        if (writer.missed()) {
            missing(connection, stop->sub);
        }
        return false;
    }

    bool remove(DatabaseConnection& connection, const ListEntry& entry) override {
        const CompositionStop* stop = stopOf(entry);
        if (stop == nullptr) {
            return false;
        }
        store::TableCursor rows(&connection, "fermitin");
        if (!rows.SelectIndex("codice")) {
            return false;
        }
        if (!rows.Seek({std::to_string(m_route.value), std::to_string(stop->sub)})) {
            missing(connection, stop->sub);
            return false;
        }
        if (!rows.Delete()) {
            return false;
        }
        m_deleted.insert(stop->sub);
        return true;
    }

    bool
    special(DatabaseConnection& connection, std::string_view id, const ListEntry* entry) override {
        using network::EditorResult;
        if (id == kInsertStop) {
            return insertStop(connection, entry);
        }
        std::vector<network::CompositionRow> rows = editorRows();
        if (id == kRecomputeConventional) {
            return network::RecomputeConventional(connection, m_route, rows) == EditorResult::Done;
        }
        if (id == kRecomputeCartographic) {
            return network::RecomputeCartographic(connection, m_route, rows) == EditorResult::Done;
        }
        const CompositionStop* stop = entry ? stopOf(*entry) : nullptr;
        if (stop == nullptr) {
            return false;
        }
        const auto row = std::find_if(
            rows.begin(), rows.end(), [&](const auto& r) { return r.sub == stop->sub; });
        if (row == rows.end()) {
            return false;
        }
        if (id == kPrimary) {
            return network::TogglePrimary(connection, m_route, *row) == EditorResult::Done;
        }
        if (id == kOptional) {
            return network::ToggleOptional(connection, m_route, *row) == EditorResult::Done;
        }
        return false;
    }

    std::vector<MenuEntry> menu() const override {
        MenuEntry insert = specialItem(
            "&Inserisci una Nuova Fermata", std::string(kInsertStop), Operation::Action);
        return {insert,
                menuItem("&Variazione Distanza Progressiva", Operation::Modify),
                menuItem("&Elimina la Fermata Selezionata", Operation::Delete),
                specialItem("Fermata &Primaria", std::string(kPrimary)),
                specialItem("Fermata &Facoltativa", std::string(kOptional)),
                specialItem("&Ricalcola Progressive Convenzionali",
                            std::string(kRecomputeConventional),
                            Operation::Action),
                specialItem("Ricalcola Progressive &Cartografiche",
                            std::string(kRecomputeCartographic),
                            Operation::Action),
                menuItem("&Aggiorna la Vista del Percorso", Operation::Refresh),
                menuItem(std::string(kRestoreLabel), Operation::Restore)};
    }

private:
    const CompositionStop* stopOf(const ListEntry& entry) const {
        for (const CompositionStop& stop : m_stops) {
            if (!entry.keys.empty() && std::to_string(stop.sub) == entry.keys[0]) {
                return &stop;
            }
        }
        return nullptr;
    }

    void missing(DatabaseConnection& connection, std::int32_t sub) const {
        connection.ui().Message(fmt::format("ATTENZIONE: la fermata {} del percorso {} non è più "
                                            "presente.",
                                            sub,
                                            m_route.value),
                                ui::Icon::Stop);
    }

    // The rows still in the table, as the route editor's operations take them.
    std::vector<network::CompositionRow> editorRows() const {
        std::vector<network::CompositionRow> rows;
        for (const CompositionStop& stop : m_stops) {
            if (!m_deleted.contains(stop.sub)) {
                rows.push_back(
                    {stop.sub, stop.stop, stop.condist, stop.geodist, stop.primaria, stop.facolt});
            }
        }
        return rows;
    }

    bool insertStop(DatabaseConnection& connection, const ListEntry* selected);
    bool writeStop(DatabaseConnection& connection, const network::PickedStop& picked);

    RouteId m_route;
    bool m_geometryRead = false;
    std::optional<network::RoutePolyline> m_polyline;
    std::vector<CompositionStop> m_stops;
    std::set<std::int32_t> m_deleted; // deleted since the list was loaded
};

// The picker: the stops the route offers, in the order its mode gives, and the stop chosen from
// them or given by code.
bool CompositionWindow::insertStop(DatabaseConnection& connection, const ListEntry* selected) {
    ui::Ui& ui = connection.ui();
    if (!m_polyline) {
        ui.Message(fmt::format("Il percorso {} non ha una geometria associata: non è possibile "
                               "inserire fermate",
                               m_route.value),
                   ui::Icon::Stop);
        return false;
    }
    const std::vector<network::CompositionRow> rows = editorRows();
    std::optional<size_t> at;
    double selectedProgressive = 0.0;
    if (const CompositionStop* stop = selected ? stopOf(*selected) : nullptr) {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].sub == stop->sub) {
                at = i;
                selectedProgressive = rows[i].geodist;
            }
        }
    }
    const auto registered = network::ReadRegisterStops(connection);
    if (!registered) {
        return false;
    }
    const std::vector<network::CandidateStop> candidates =
        network::SearchCandidateStops(*m_polyline, *registered);
    const auto offered = network::OfferedList(
        connection, candidates, network::PickerModeFor(rows.size(), at), selectedProgressive);
    if (!offered) {
        return false;
    }

    ui::FormSpec spec;
    spec.id = kInsertStopForm;
    spec.title = "Inserimento Fermata";
    std::vector<std::string> texts;
    for (const network::OfferedStop& stop : *offered) {
        texts.push_back(stop.text);
    }
    ui::FormGroup list{"Fermate lungo il percorso", {}};
    list.fields.push_back(choiceField(kOfferedField, "Fermata", std::move(texts)));
    ui::FormGroup byCode{"Fermata per codice", {}};
    byCode.fields.push_back(textField(kStopCodeField, "ID Fermata", 10));
    byCode.fields.push_back(textField(kProgressiveAtField, "Progressiva Km", 20));
    spec.groups = {std::move(list), std::move(byCode)};
    const std::optional<ui::FormValues> values = ui.Form(spec);
    if (!values) {
        return false;
    }

    const std::string code(store::trimBlanks(fieldValue(*values, kStopCodeField)));
    const std::string_view typed = store::trimBlanks(fieldValue(*values, kProgressiveAtField));
    std::optional<network::PickedStop> picked;
    if (!code.empty() && !typed.empty()) {
        // Typed in kilometres; a text the entry rule refuses goes on as it is, to be refused.
        const std::optional<double> km = network::ParseDistanceEntry(typed);
        picked = network::PickStopByCode(
            connection, *m_polyline, code, km ? fmt::format("{:.3f}", *km * 1000.0) : typed);
    } else {
        std::optional<size_t> chosen;
        for (size_t i = 0; i < offered->size(); ++i) {
            const network::OfferedStop& stop = (*offered)[i];
            const bool match = code.empty() ? stop.text == fieldValue(*values, kOfferedField)
                                            : std::to_string(stop.stop.value) == code;
            if (match) {
                chosen = i;
                break;
            }
        }
        const auto offer = network::ChooseOffered(*offered,
                                                  chosen,
                                                  code.empty() ? network::PickerList::SearchResults
                                                               : network::PickerList::List,
                                                  ui);
        if (offer) {
            picked = network::PickedStop{offer->stop, offer->progressive, 0.0};
        }
    }
    return picked && writeStop(connection, *picked);
}

// The new row goes where its progressive falls among the stops: before the first stop whose
// cartographic progressive is beyond it (at 0, before the first stop), and after the last stop
// when it lies at or beyond the last one's. Its sub is the free number there, or the subs from
// there on move up by one to make room.
bool CompositionWindow::writeStop(DatabaseConnection& connection,
                                  const network::PickedStop& picked) {
    store::QueryCursor query(connection);
    query.SetSelect("sub, geodist");
    query.SetFrom("fermitin");
    query.SetWhere("ID = ?");
    query.Bind(1, std::int64_t{m_route.value});
    query.SetOrderBy("sub");
    std::vector<std::pair<std::int32_t, double>> rows;
    for (bool row = query.Execute(); row; row = query.MoveNext()) {
        std::int16_t sub = 0;
        query.GetShort(0, sub);
        rows.emplace_back(sub, number(text(query, "geodist")));
    }
    if (query.failed()) {
        return false;
    }
    size_t at = 0;
    if (!rows.empty() && picked.progressive >= rows.back().second) {
        at = rows.size();
    } else {
        while (at < rows.size() && rows[at].second < picked.progressive) {
            ++at;
        }
    }
    const std::int32_t previous = at == 0 ? 0 : rows[at - 1].first;
    const bool room = at == rows.size() || rows[at].first - previous > 1;
    const std::int32_t sub = previous + 1;
    const std::int32_t highest = rows.empty() ? 0 : rows.back().first + (room ? 0 : 1);
    if (std::max(sub, highest) > std::numeric_limits<std::int16_t>::max()) {
        connection.ui().Message(
            fmt::format("ATTENZIONE: il percorso {} non ha posizioni libere per "
                        "una nuova fermata.",
                        m_route.value),
            ui::Icon::Stop);
        return false;
    }

    std::optional<double> condist;
    if (const auto lengths = network::ReadRouteLengths(connection, m_route)) {
        condist = network::SpreadProgressive(*lengths, picked.progressive, at == 0);
    }
    store::Transaction transaction(connection);
    if (!transaction.active()) {
        return false;
    }
    const std::string route = std::to_string(m_route.value);
    store::TableCursor table(&connection, "fermitin");
    if (!table.SelectIndex("codice")) {
        return false;
    }
    if (!room) {
        for (size_t i = rows.size(); i-- > at;) {
            if (!table.Seek({route, std::to_string(rows[i].first)}) || !table.Edit() ||
                !table.SetField("sub", std::to_string(rows[i].first + 1)) || !table.Update()) {
                return false; // the transaction takes back the rows already moved
            }
        }
    }
    return table.AddNew() && table.SetField("ID", route) &&
           table.SetField("sub", std::to_string(sub)) &&
           table.SetField("fermata", std::to_string(picked.stop.value)) &&
           table.SetField("condist", network::MetresText(condist.value_or(picked.progressive))) &&
           table.SetField("geodist", network::MetresText(picked.progressive)) &&
           table.SetField("primaria", "0") && table.SetField("facolt", "0") && table.Update() &&
           transaction.commit();
}

} // namespace

std::unique_ptr<CompositionSource> compositionWindow(RouteId route) {
    return std::make_unique<CompositionWindow>(route);
}

bool routeExists(DatabaseConnection& connection, RouteId route) {
    store::QueryCursor rows(connection);
    rows.SetSelect("ID");
    rows.SetFrom("itiner");
    rows.SetWhere("ID = ?");
    rows.Bind(1, std::int64_t{route.value});
    if (rows.Execute()) {
        return true;
    }
    if (!rows.failed()) {
        connection.ui().Message(
            fmt::format("ATTENZIONE: il percorso {} non è presente nell'archivio dei percorsi.",
                        route.value),
            ui::Icon::Stop);
    }
    return false;
}

} // namespace tramela::views
