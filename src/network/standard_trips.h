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

// The head of a trip as the trip dialogs take it and write it.
struct TripHead {
    std::string code;      // corse.codcorsa; left blank, it is stored as one blank
    std::string line;      // corse.codlinea; likewise
    char direction = 'A';  // corse.verso: 'A' or 'R'
    int start = 0;         // corse.parte, hours × 100 + minutes
    int authority = 0;     // corse.ente
    int lot = 0;           // extcod.lotto
    int company = 0;       // extcod.aziges
    int subcontractor = 0; // extcod.azisub
    std::string vehicle;   // corse.mezzo: one letter, or empty for none
};

// The dialogs that take a trip's head.
enum class TripDialog {
    NewStandard, // "Nuova Corsa Standard": also the end time
    Clone,       // "Clonazione"
    Head,        // "Variazione Testa Corsa"
};

inline constexpr std::string_view kNewTripFormId = "new-trip";
inline constexpr std::string_view kCloneFormId = "clone-trip";
inline constexpr std::string_view kHeadFormId = "trip-head";
inline constexpr std::string_view kBandFormId = "clone-band";

// The vehicle kinds a trip may name.
inline constexpr std::string_view kVehicleKinds[] = {"U", "X", "W", "F", "T", "N"};

// The registered codes the trip dialogs offer, each "%04d", in ascending order.
struct TripCodeLists {
    std::vector<std::string> authorities; // regent
    std::vector<std::string> lots;        // reglot
    std::vector<std::string> companies;   // regazi, for the managing and the subcontracting one
};

// Nothing when a register cannot be read (the store has shown why).
std::optional<TripCodeLists> LoadTripCodeLists(store::DatabaseConnection& connection);

// The company line codes the trips use, without trailing blanks, in byte order; a blank code
// names no line.
std::vector<std::string> CompanyLineCodes(store::DatabaseConnection& connection);

// The head of a trip as stored, for the dialogs to propose. A trip without extended codes gets
// the company of the header (master.azienda) as managing company and subcontractor, and lot 0.
// Nothing (the failure shown) when the trip cannot be read.
std::optional<TripHead> ReadTripHead(store::DatabaseConnection& connection, TripId trip);

// A trip dialog proposing `proposed` (and, for a new standard trip, `proposedEnd`, hours × 100 +
// minutes, as its end), with the validator of ReadTripForm.
ui::FormSpec tripForm(TripDialog dialog,
                      const TripCodeLists& lists,
                      const TripHead& proposed,
                      int proposedEnd = 0);

// What a trip dialog gives.
struct TripEntry {
    TripHead head;
    int end = 0; // new standard trip only: hours × 100 + minutes
};

// The values of a trip dialog, checked in the dialog's order: direction A or R (a and r taken
// as such), start (and end) by the HH.MM rule, authority, lot and the two companies each a code
// of its list, vehicle kind one of kVehicleKinds or none; the first fault is refused (stop icon).
std::variant<TripEntry, ui::Refusal>
ReadTripForm(TripDialog dialog, const ui::FormValues& values, const TripCodeLists& lists);

// A band of trips to clone: minutes after midnight, and minutes between two trips.
struct Band {
    int start = 0;
    int end = 0;
    int frequency = 0;
};

// The dialog "Clonazione a Frequenza" (fields "start", "end", "frequency"), validated by
// ReadBandForm.
ui::FormSpec bandForm();

// Start and end by the HH.MM rule, the frequency a whole number of minutes above 0.
std::variant<Band, ui::Refusal> ReadBandForm(const ui::FormValues& values);

struct NewStandardTrip {
    StandardTripId standard;
    TripId trip;
};

// A new standard trip on a route, its stops' times spread from 0 at the first stop to the
// trip's running time at the last in proportion to their conventional progressives, and a new
// trip running it with its extended codes. Written in one transaction; nothing (the failure
// shown) when the route has no stops or a row is refused.
std::optional<NewStandardTrip> InsertTripWithNewStandard(store::DatabaseConnection& connection,
                                                         RouteId route,
                                                         const TripHead& head,
                                                         int endHhmm);

// A new trip with this head on the standard trip, route, lengths and durations of `source`,
// its extended codes from the head and a copy of the source's periods. One transaction.
std::optional<TripId>
CloneTrip(store::DatabaseConnection& connection, TripId source, const TripHead& head);

// One new trip per step of the band (start, start + frequency, ... up to the end), each like
// `source` but without a trip code, with its periods copied, and with its extended codes when
// the source has usable ones. The new trips in order (none for a band that ends before it
// starts); nothing when a write failed, and then none is kept.
std::optional<std::vector<TripId>>
CloneTripAtFrequency(store::DatabaseConnection& connection, TripId source, const Band& band);

// Rewrites the head of a trip and its extended codes (adding them when the trip has none). One
// transaction; false (the failure shown) when the trip is missing or a row is refused.
bool ChangeTripHead(store::DatabaseConnection& connection, TripId trip, const TripHead& head);

} // namespace tramela::network
