#include "comm/gtfs/projection.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <proj.h>

namespace tramela::comm::gtfs {

struct Projection::State {
    PJ_CONTEXT* context = nullptr;
    PJ* transform = nullptr;

    ~State() {
        if (transform != nullptr) {
            proj_destroy(transform);
        }
        if (context != nullptr) {
            proj_context_destroy(context);
        }
    }
};

Projection::~Projection() = default;
Projection::Projection(Projection&&) noexcept = default;
Projection& Projection::operator=(Projection&&) noexcept = default;

std::optional<Projection> Projection::create(int epsg, std::string* error) {
    auto state = std::make_unique<State>();
    state->context = proj_context_create();
    proj_log_level(state->context, PJ_LOG_NONE);
    const std::string target = fmt::format("EPSG:{}", epsg);
    PJ* raw = proj_create_crs_to_crs(state->context, "EPSG:4326", target.c_str(), nullptr);
    if (raw != nullptr) {
        // EPSG:4326 is latitude first by its definition; the normalised form takes longitude
        // first and gives easting first, whatever the target's own axis order.
        state->transform = proj_normalize_for_visualization(state->context, raw);
        proj_destroy(raw);
    }
    bool planar = false;
    if (state->transform != nullptr) {
        PJ* crs = proj_create(state->context, target.c_str());
        planar = crs != nullptr && proj_get_type(crs) == PJ_TYPE_PROJECTED_CRS;
        if (crs != nullptr) {
            proj_destroy(crs);
        }
    }
    if (state->transform == nullptr || !planar) {
        if (error != nullptr) {
            *error =
                fmt::format("il sistema di riferimento EPSG:{} non è un sistema piano noto", epsg);
        }
        return std::nullopt;
    }
    Projection projection;
    projection.m_state = std::move(state);
    projection.m_epsg = epsg;
    return projection;
}

std::optional<network::Point> Projection::project(double longitude, double latitude) const {
    PJ_COORD in = proj_coord(longitude, latitude, 0, 0);
    const PJ_COORD out = proj_trans(m_state->transform, PJ_FWD, in);
    if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y) || out.xy.x == HUGE_VAL) {
        return std::nullopt;
    }
    return network::Point{out.xy.x, out.xy.y};
}

int utmZoneEpsg(double longitude, double latitude) {
    int zone = static_cast<int>(std::floor((longitude + 180.0) / 6.0)) + 1;
    zone = std::clamp(zone, 1, 60);
    return (latitude >= 0 ? 32600 : 32700) + zone;
}

} // namespace tramela::comm::gtfs
