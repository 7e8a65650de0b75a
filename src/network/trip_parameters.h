#pragma once

#include "network/congruence.h"
#include "store/database_connection.h"
#include "ui/ui.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tramela::network {

// The trips an assignment of trip parameters reaches from the selected trip.
enum class ParameterScope {
    StandardTrip, // "Solo le corse di questa corsa standard": corse.standard as the selected's
    Route,        // "Tutte le corse di questo percorso": corse.id_perc as the selected's
};

// The values of the dialog "Parametri Corse" and which of its groups are ticked; only the
// ticked groups are written.
struct TripParameters {
    bool setLine = false;
    std::string line;     // corse.codlinea; empty is stored as one blank
    char direction = ' '; // corse.verso: 'A', 'R' or a blank
    bool setAuthority = false;
    int authority = 0; // corse.ente
    bool setLot = false;
    int lot = 0; // extcod.lotto
    bool setCompany = false;
    int company = 0; // extcod.aziges
    bool setSubcontractor = false;
    int subcontractor = 0; // extcod.azisub
    bool setPhysical = false;
    long length = 0;  // corse.lung, metres
    int duration = 0; // corse.tempo, minutes
    bool setContract = false;
    long contractLength = 0;  // corse.ct_lung, metres
    int contractDuration = 0; // corse.ct_tempo, minutes
    bool setVehicle = false;
    char vehicle = 'U'; // corse.mezzo
    ParameterScope scope = ParameterScope::Route;
};

inline constexpr std::string_view kTripParametersFormId = "trip-parameters";

// The dialog's field ids.
namespace parameter_fields {
inline constexpr std::string_view kSetLine = "set-line";
inline constexpr std::string_view kLine = "line";
inline constexpr std::string_view kDirection = "direction";
inline constexpr std::string_view kSetAuthority = "set-authority";
inline constexpr std::string_view kAuthority = "authority";
inline constexpr std::string_view kSetLot = "set-lot";
inline constexpr std::string_view kLot = "lot";
inline constexpr std::string_view kSetCompany = "set-company";
inline constexpr std::string_view kCompany = "company";
inline constexpr std::string_view kSetSubcontractor = "set-subcontractor";
inline constexpr std::string_view kSubcontractor = "subcontractor";
inline constexpr std::string_view kSetPhysical = "set-physical";
inline constexpr std::string_view kLength = "length";
inline constexpr std::string_view kDuration = "duration";
inline constexpr std::string_view kSetContract = "set-contract";
inline constexpr std::string_view kContractLength = "contract-length";
inline constexpr std::string_view kContractDuration = "contract-duration";
inline constexpr std::string_view kSetVehicle = "set-vehicle";
inline constexpr std::string_view kVehicle = "vehicle";
inline constexpr std::string_view kScope = "scope";
} // namespace parameter_fields

// The six vehicle types as the dialog names them, and their letters.
struct VehicleType {
    std::string_view name;
    char letter;
};

inline constexpr VehicleType kVehicleTypes[] = {{"Bus Urbano", 'U'},
                                                {"Bus Extraurbano", 'X'},
                                                {"Tramvia", 'W'},
                                                {"Funicolare", 'F'},
                                                {"Treno", 'T'},
                                                {"Traghetto", 'N'}};

inline constexpr std::string_view kScopeStandardTrip = "Solo le corse di questa corsa standard";
inline constexpr std::string_view kScopeRoute = "Tutte le corse di questo percorso";

// The registers the dialog offers, each entry "%04d - %s", in order of code.
struct ParameterLists {
    std::vector<std::string> authorities; // regent
    std::vector<std::string> lots;        // reglot
    std::vector<std::string> companies;   // regazi, for both companies
};

// Nothing when a register cannot be read (the store has shown why).
std::optional<ParameterLists> LoadParameterLists(store::DatabaseConnection& connection);

// The selected trip's present values, ticked as the dialog opens: line, authority, lot, the two
// companies and the vehicle type; the scope the whole route. A trip without extended codes
// proposes the header's company (0 without a header) for both companies and lot 0. Nothing (the
// failure shown) when the trip cannot be read.
std::optional<TripParameters> ReadTripParameters(store::DatabaseConnection& connection,
                                                 TripId trip);

// The dialog "Parametri Corse" opening on `current`, validated by ReadTripParametersForm.
ui::FormSpec tripParametersForm(const ParameterLists& lists, const TripParameters& current);

// The dialog's values, the ticked groups checked in the dialog's order: the authority, the lot
// and the two companies each digits whose "%04d" begins an entry of its list; the line code at
// most 10 characters; the lengths and durations a number at their start, not negative and held
// by their columns; the vehicle one of the six. The first fault is refused (stop icon).
std::variant<TripParameters, ui::Refusal> ReadTripParametersForm(const ui::FormValues& values,
                                                                 const ParameterLists& lists);

// Writes the ticked groups onto every trip of the scope of `selected` (itself included), adding
// extended codes, the groups not ticked at 0, to a trip without them when a code group is
// ticked. One transaction: the number of trips written, or nothing (the failure shown, no row
// changed) when the selected trip is missing or a row is refused.
std::optional<int> AssignTripParameters(store::DatabaseConnection& connection,
                                        TripId selected,
                                        const TripParameters& parameters);

} // namespace tramela::network
