#pragma once

#include "ui/ui.h"

#include <array>
#include <optional>
#include <string_view>

namespace tramela::workspace {
class Workspace;
}

namespace tramela::utilities {

// The transport mode of the trips (corse.mezzo), in bulk: for the whole company, one line or one
// authority. Each dialog offers the six modes in the group "Tipo mezzo utilizzato" (the radio
// field kVehicleTypeField, "Bus Extraurbano" preselected); the trips are written in one
// transaction and the command ends on the trips read and updated.

struct VehicleType {
    std::string_view label; // the radio entry
    char code;              // corse.mezzo
};

inline constexpr std::array<VehicleType, 6> kVehicleTypes = {{
    {"Bus Urbano", 'U'},
    {"Bus Extraurbano", 'X'},
    {"Tramvia", 'W'},
    {"Funicolare", 'F'},
    {"Treno", 'T'},
    {"Traghetto", 'N'},
}};

// The radio entry of a mode code ("X" -> "Bus Extraurbano"); nothing for any other text.
std::optional<std::string_view> vehicleTypeEntry(std::string_view code);

inline constexpr std::string_view kVehicleTypeField = "type";

// "Assegnazione Tipo Mezzo (Aziendale)": every trip.
inline constexpr std::string_view kVehicleCompanyFormId = "assign-vehicle";
ui::Outcome AssignVehicleToCompany(workspace::Workspace& window);

// "Assegnazione Tipo Mezzo (Linea)": the trips of the line chosen in kVehicleLineField (one of
// the trips' company line codes; any other is refused).
inline constexpr std::string_view kVehicleLineFormId = "assign-vehicle-line";
inline constexpr std::string_view kVehicleLineField = "line";
ui::Outcome AssignVehicleToLine(workspace::Workspace& window);

// "Assegnazione Tipo Mezzo (Ente)": the trips of the authority chosen in kVehicleAuthorityField;
// an authority not in regent stops the command.
inline constexpr std::string_view kVehicleAuthorityFormId = "assign-vehicle-authority";
inline constexpr std::string_view kVehicleAuthorityField = "authority";
ui::Outcome AssignVehicleToAuthority(workspace::Workspace& window);

} // namespace tramela::utilities
