// The search for the new trip that replaces a ceased one: four passes, from the strictest test to
// the loosest. Candidates come from indexes of the new trips (by timetable entry, by stop, by
// first and last stop), never from a scan of every new trip for every ceased one.

#include "reports/analysis/differential_model.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tramela::reports::differential {

namespace {

constexpr int kMinuteTolerance = 10;

bool isOpen(const TripRecord& trip) {
    return !trip.confirmed && trip.counterpart == nullptr && trip.activeDays() > 0;
}

bool hasExact(const TripRecord& trip, const TimedStop& entry) {
    const auto found = std::lower_bound(
        trip.byStop.begin(), trip.byStop.end(), entry, [](const TimedStop& a, const TimedStop& b) {
            return a.stop != b.stop ? a.stop < b.stop : a.minute < b.minute;
        });
    return found != trip.byStop.end() && found->stop == entry.stop && found->minute == entry.minute;
}

bool hasNear(const TripRecord& trip, const TimedStop& entry) {
    const TimedStop low{entry.minute - kMinuteTolerance, entry.stop};
    const auto found = std::lower_bound(
        trip.byStop.begin(), trip.byStop.end(), low, [](const TimedStop& a, const TimedStop& b) {
            return a.stop != b.stop ? a.stop < b.stop : a.minute < b.minute;
        });
    return found != trip.byStop.end() && found->stop == entry.stop &&
           found->minute <= entry.minute + kMinuteTolerance;
}

bool allExact(const TripRecord& a, const TripRecord& b) {
    return std::all_of(a.timetable.begin(), a.timetable.end(), [&b](const TimedStop& entry) {
        return hasExact(b, entry);
    });
}

bool allNear(const TripRecord& a, const TripRecord& b) {
    return std::all_of(a.timetable.begin(), a.timetable.end(), [&b](const TimedStop& entry) {
        return hasNear(b, entry);
    });
}

// At least 80 % of A's entries are met by B within the tolerance, and B's cartographic length
// lies within 20 % of A's, bounds included. An empty timetable never passes.
bool similarRoute(const TripRecord& a, const TripRecord& b) {
    if (a.timetable.empty()) {
        return false;
    }
    const double margin = a.geoLength * 0.01 * 20;
    if (b.geoLength < a.geoLength - margin || b.geoLength > a.geoLength + margin) {
        return false;
    }
    const auto met = std::count_if(a.timetable.begin(),
                                   a.timetable.end(),
                                   [&b](const TimedStop& entry) { return hasNear(b, entry); });
    return met * 10 >= static_cast<long>(a.timetable.size()) * 8;
}

bool sameTerminal(const TripRecord& a, const TripRecord& b) {
    if (a.timetable.empty() || b.timetable.empty()) {
        return false;
    }
    return a.timetable.front().stop == b.timetable.front().stop ||
           a.timetable.back().stop == b.timetable.back().stop;
}

// New trips by a key, each list in list order.
using Index = std::unordered_map<std::int64_t, std::vector<std::uint32_t>>;

std::int64_t entryKey(const TimedStop& entry) {
    return (static_cast<std::int64_t>(entry.stop) << 20) ^ (entry.minute & 0xFFFFF);
}

void addOnce(std::vector<std::uint32_t>& list, std::uint32_t value) {
    if (list.empty() || list.back() != value) {
        list.push_back(value);
    }
}

class Matcher {
public:
    Matcher(std::vector<TripRecord>& ceased, std::vector<TripRecord>& added)
        : m_ceased(ceased)
        , m_added(added) {
        for (std::uint32_t i = 0; i < m_added.size(); ++i) {
            const TripRecord& trip = m_added[i];
            if (!isOpen(trip)) {
                continue;
            }
            for (const TimedStop& entry : trip.timetable) {
                addOnce(m_byEntry[entryKey(entry)], i);
                addOnce(m_byStop[entry.stop], i);
            }
            if (!trip.timetable.empty()) {
                m_byFirst[trip.timetable.front().stop].push_back(i);
                m_byLast[trip.timetable.back().stop].push_back(i);
            }
        }
        for (auto* index : {&m_byEntry, &m_byStop}) {
            for (auto& [key, list] : *index) {
                std::sort(list.begin(), list.end());
                list.erase(std::unique(list.begin(), list.end()), list.end());
            }
        }
    }

    long run() {
        pass([this](const TripRecord& a) { return exactCandidates(a); },
             [](const TripRecord& a, const TripRecord& b) {
                 return allExact(a, b)
                            ? (a.cadence != b.cadence ? "Variazione cadenza"
                                                      : "Variazione parametri amministrativi")
                            : nullptr;
             });
        pass([this](const TripRecord& a) { return stopCandidates(a, a.timetable.size()); },
             [](const TripRecord& a, const TripRecord& b) {
                 return allNear(a, b) ? "Variazione orario" : nullptr;
             });
        pass([this](const TripRecord& a) { return terminalCandidates(a); },
             [](const TripRecord& a, const TripRecord& b) {
                 return sameTerminal(a, b) && similarRoute(a, b) ? "Variazione percorso" : nullptr;
             });
        // A trip that meets 80 % of A's entries meets at least one of the first fifth (and one)
        // of them: those stops give every candidate.
        pass([this](const TripRecord& a) { return stopCandidates(a, a.timetable.size() / 5 + 1); },
             [](const TripRecord& a, const TripRecord& b) {
                 return similarRoute(a, b) ? "Variazione percorso" : nullptr;
             });
        return m_linked;
    }

private:
    // Every open new trip, in list order: the candidates of a ceased trip with no timetable.
    std::vector<std::uint32_t> everyOpen() const {
        std::vector<std::uint32_t> list;
        for (std::uint32_t i = m_firstOpen; i < m_added.size(); ++i) {
            if (isOpen(m_added[i])) {
                list.push_back(i);
                break; // the first open one is the one taken
            }
        }
        return list;
    }

    std::vector<std::uint32_t> exactCandidates(const TripRecord& a) const {
        if (a.timetable.empty()) {
            return everyOpen();
        }
        const auto found = m_byEntry.find(entryKey(a.timetable.front()));
        return found == m_byEntry.end() ? std::vector<std::uint32_t>{} : found->second;
    }

    // The new trips passing any of A's first `count` stops, in list order.
    std::vector<std::uint32_t> stopCandidates(const TripRecord& a, size_t count) const {
        if (a.timetable.empty()) {
            return everyOpen();
        }
        std::vector<std::uint32_t> list;
        for (size_t i = 0; i < count && i < a.timetable.size(); ++i) {
            const auto found = m_byStop.find(a.timetable[i].stop);
            if (found != m_byStop.end()) {
                list.insert(list.end(), found->second.begin(), found->second.end());
            }
            if (count == a.timetable.size()) {
                break; // every entry must be met: the first one's stop is enough
            }
        }
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        return list;
    }

    std::vector<std::uint32_t> terminalCandidates(const TripRecord& a) const {
        std::vector<std::uint32_t> list;
        if (a.timetable.empty()) {
            return list;
        }
        for (const auto& [index, stop] : {std::pair{&m_byFirst, a.timetable.front().stop},
                                          std::pair{&m_byLast, a.timetable.back().stop}}) {
            const auto found = index->find(stop);
            if (found != index->end()) {
                list.insert(list.end(), found->second.begin(), found->second.end());
            }
        }
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        return list;
    }

    template <typename Candidates, typename Test> void pass(Candidates candidates, Test test) {
        for (TripRecord& a : m_ceased) {
            if (!isOpen(a)) {
                continue;
            }
            for (const std::uint32_t i : candidates(a)) {
                TripRecord& b = m_added[i];
                if (!isOpen(b)) {
                    continue;
                }
                if (const char* cause = test(a, b)) {
                    a.counterpart = &b;
                    b.counterpart = &a;
                    a.cause = cause;
                    b.cause = cause;
                    ++m_linked;
                    while (m_firstOpen < m_added.size() && !isOpen(m_added[m_firstOpen])) {
                        ++m_firstOpen;
                    }
                    break;
                }
            }
        }
    }

    std::vector<TripRecord>& m_ceased;
    std::vector<TripRecord>& m_added;
    Index m_byEntry;
    Index m_byStop;
    Index m_byFirst;
    Index m_byLast;
    std::uint32_t m_firstOpen = 0;
    long m_linked = 0;
};

} // namespace

long linkAnalogousTrips(std::vector<TripRecord>& ceased, std::vector<TripRecord>& added) {
    for (std::vector<TripRecord>* list : {&ceased, &added}) {
        for (TripRecord& trip : *list) {
            trip.byStop = trip.timetable;
            std::sort(
                trip.byStop.begin(), trip.byStop.end(), [](const TimedStop& a, const TimedStop& b) {
                    return a.stop != b.stop ? a.stop < b.stop : a.minute < b.minute;
                });
        }
    }
    return Matcher(ceased, added).run();
}

} // namespace tramela::reports::differential
