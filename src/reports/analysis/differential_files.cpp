// The five files of the differential analysis: ceased trips, new trips, replaced trips, stops and
// routes that leave or enter service.

#include "reports/analysis/differential_model.h"

#include <algorithm>
#include <fmt/format.h>

namespace tramela::reports::differential {

void Usage::markFirst(long lastDay) {
    last1 = used1 ? std::max(last1, lastDay) : lastDay;
    used1 = true;
}

void Usage::markSecond(long firstDay) {
    first2 = used2 ? std::min(first2, firstDay) : firstDay;
    used2 = true;
}

void TripRecord::countActive() {
    activeCount = static_cast<int>(std::count(active.begin(), active.end(), 1));
}

long TripRecord::firstActiveDay() const {
    for (size_t i = 0; i < days.size(); ++i) {
        if (active[i] != 0) {
            return days[i];
        }
    }
    return 0;
}

long TripRecord::lastActiveDay() const {
    for (size_t i = days.size(); i-- > 0;) {
        if (active[i] != 0) {
            return days[i];
        }
    }
    return 0;
}

namespace {

std::string dayText(long serial) {
    return Date::fromSerial(serial).display();
}

// Minutes after midnight as "hh:mm"; hours run past 23 for a trip that ends after midnight.
std::string clock(int minutes) {
    return fmt::format("{:02d}:{:02d}", minutes / 60, minutes % 60);
}

// Metres as kilometres with two decimals and a decimal comma.
std::string kilometres(double metres) {
    std::string text = fmt::format("{:.2f}", metres * 0.001);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string heading(const ServicePeriods& periods) {
    return fmt::format("Analisi Differenziale dell'Esercizio Pianificato\n"
                       "Primo periodo: dal {} al {}\n"
                       "Secondo periodo: dal {} al {}\n\n\n",
                       periods.firstStart.display(),
                       periods.firstEnd.display(),
                       periods.secondStart.display(),
                       periods.secondEnd.display());
}

const StandardRecord* standardOf(const Analysis& analysis, const TripRecord& trip) {
    const auto found = std::lower_bound(
        analysis.standards.begin(),
        analysis.standards.end(),
        trip.standard,
        [](const StandardRecord& record, std::int32_t id) { return record.id < id; });
    return found != analysis.standards.end() && found->id == trip.standard ? &*found : nullptr;
}

bool listed(const TripRecord& trip) {
    return !trip.confirmed && trip.activeDays() > 0;
}

std::string annotation(const TripRecord& trip, std::string_view verb) {
    if (trip.counterpart == nullptr) {
        return {};
    }
    const TripRecord& other = *trip.counterpart;
    if (trip.code.empty()) {
        return fmt::format("{} corsa ID={} [{}]", verb, other.id, trip.cause);
    }
    return fmt::format("{} corsa ID={} CodCorsa={} [{}]", verb, other.id, other.code, trip.cause);
}

std::string tripHeader(std::string_view dayColumn) {
    return fmt::format("Linea\tVerso\tIDCorsa\tCodCorsa\tAzienda\tDenominazione\tSubappalto\t"
                       "Denominazione\tEnte\tDenominazione\tCadenza\tDenominazione\tDataInizio\t"
                       "DataFine\t{}\tNroGiorni\tParte\tArriva\tFmtP\tCapolineaP\tFmtA\t"
                       "CapolineaA\tKmGeo\tKmContab\tAnnotazioni\n",
                       dayColumn);
}

std::string
tripLine(const Analysis& analysis, const TripRecord& trip, long day, std::string_view verb) {
    const StandardRecord* standard = standardOf(analysis, trip);
    const StandardRecord none;
    const StandardRecord& s = standard != nullptr ? *standard : none;
    return fmt::format(
        "{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}"
        "\t{}\t{}\n",
        trip.line,
        trip.direction.substr(0, 1),
        trip.id,
        trip.code,
        trip.company,
        trip.companyName,
        trip.subcontractor,
        trip.subcontractorName,
        trip.authority,
        trip.authorityName,
        trip.cadence,
        trip.cadenceName,
        trip.start,
        trip.end,
        dayText(day),
        trip.activeDays(),
        clock(trip.departure),
        clock(trip.arrival),
        s.firstCode,
        s.firstName,
        s.lastCode,
        s.lastName,
        kilometres(trip.geoLength),
        kilometres(trip.conLength),
        annotation(trip, verb));
}

std::string ceasedFile(const Analysis& analysis) {
    std::string text = heading(analysis.periods);
    if (std::none_of(analysis.trips1.begin(), analysis.trips1.end(), listed)) {
        return text + "Tutte le corse pianificate nel PRIMO PERIODO sono confermate con "
                      "caratteristiche invariate\n\n";
    }
    text += "Elenco delle corse cessate dall'esercizio:\n\n";
    text += tripHeader("UltimoGiorno");
    for (const TripRecord& trip : analysis.trips1) {
        if (listed(trip)) {
            text += tripLine(analysis, trip, trip.lastActiveDay(), "Sostituita dalla");
        }
    }
    return text;
}

std::string newFile(const Analysis& analysis) {
    std::string text = heading(analysis.periods);
    if (std::none_of(analysis.trips2.begin(), analysis.trips2.end(), listed)) {
        return text + "Nel SECONDO PERIODO non è stata attivata alcuna nuova corsa\n\n";
    }
    text += "Elenco delle corse di nuova attivazione:\n\n";
    text += tripHeader("PrimoGiorno");
    for (const TripRecord& trip : analysis.trips2) {
        if (listed(trip)) {
            text += tripLine(analysis, trip, trip.firstActiveDay(), "Sostituisce la");
        }
    }
    return text;
}

std::string replacedColumns(const Analysis& analysis, const TripRecord& trip) {
    const StandardRecord* standard = standardOf(analysis, trip);
    return fmt::format("{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}",
                       trip.id,
                       trip.code,
                       clock(trip.departure),
                       clock(trip.arrival),
                       standard != nullptr ? standard->firstCode : std::string(),
                       standard != nullptr ? standard->lastCode : std::string(),
                       trip.cadence,
                       kilometres(trip.conLength));
}

std::string replacedFile(const Analysis& analysis) {
    std::string text = heading(analysis.periods);
    if (std::none_of(analysis.trips2.begin(), analysis.trips2.end(), [](const TripRecord& trip) {
            return trip.counterpart != nullptr;
        })) {
        return text + "Non è stata identificata nessuna corsa sostituita\n\n";
    }
    text += "AVVERTENZA: la seguente elaborazione utilizza criteri EURISTICI\n"
            "quindi i risultati possono essere approssimativi e non sempre veridici\n\n\n"
            "Elenco delle corse sostituite:\n\n"
            "Corsa inserita\t\t\t\t\t\t\t\t\t\tCorsa cessata\n"
            "IDCorsa\tCodCorsa\tParte\tArriva\tFmtP\tFmtA\tCadenza\tKmContab\t\t\t"
            "IDCorsa\tCodCorsa\tParte\tArriva\tFmtP\tFmtA\tCadenza\tKmContab\tCausa\n";
    for (const TripRecord& trip : analysis.trips2) {
        if (trip.counterpart != nullptr) {
            text += replacedColumns(analysis, trip) + "\t\t\t" +
                    replacedColumns(analysis, *trip.counterpart) + "\t" + trip.cause + "\n";
        }
    }
    return text;
}

template <typename Record, typename Columns>
std::string networkFile(const Analysis& analysis,
                        const std::vector<Record>& records,
                        std::string_view unchanged,
                        std::string_view intro,
                        std::string_view ceased,
                        std::string_view added,
                        Columns columns) {
    std::string text = heading(analysis.periods);
    const auto changed = [](const Record& record) {
        return record.usage.used1 != record.usage.used2;
    };
    if (std::none_of(records.begin(), records.end(), changed)) {
        return text + std::string(unchanged);
    }
    text += intro;
    for (const Record& record : records) {
        if (record.usage.used1 && !record.usage.used2) {
            text +=
                fmt::format("{}\t{}\t\t{}\n", columns(record), ceased, dayText(record.usage.last1));
        } else if (record.usage.used2 && !record.usage.used1) {
            text +=
                fmt::format("{}\t{}\t{}\t\n", columns(record), added, dayText(record.usage.first2));
        }
    }
    return text;
}

} // namespace

AnalysisFiles renderFiles(const Analysis& analysis) {
    AnalysisFiles files;
    files.ceased = ceasedFile(analysis);
    files.added = newFile(analysis);
    files.replaced = replacedFile(analysis);
    files.stops =
        networkFile(analysis,
                    analysis.stops,
                    "Non ci sono variazioni nella rete descritta in termini di fermate\n\n",
                    "Elenco delle fermate cessate o aggiunte nell'esercizio:\n\n"
                    "ID\tCodice\tDenominazione\tVariazione\tDataInizio\tDataFine\n",
                    "Cessata dall'esercizio",
                    "Inserita nell'esercizio",
                    [](const StopRecord& stop) {
                        return fmt::format("{}\t{}\t{}", stop.id, stop.code, stop.name);
                    });
    files.routes = networkFile(
        analysis,
        analysis.routes,
        "Non ci sono variazioni nella rete descritta in termini di percorsi\n\n",
        "Elenco dei percorsi cessati o aggiunti nell'esercizio:\n\n"
        "ID\tCodice\tDenominazione\tKmGeo\tKmContab\tVariazione\tDataInizio\tDataFine\n",
        "Cessato dall'esercizio",
        "Inserito nell'esercizio",
        [](const RouteRecord& route) {
            return fmt::format("{}\t{}\t{}\t{}\t{}",
                               route.id,
                               route.code,
                               route.name,
                               kilometres(route.geoLength),
                               kilometres(route.conLength));
        });
    return files;
}

} // namespace tramela::reports::differential
