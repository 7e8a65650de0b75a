#!/usr/bin/env python3
"""Writes the demonstration GTFS feed of Valmora into data/demo/.

A small invented town: four lines (two through lines, a circular one and a school line), stops
about 400 m apart with plausible Italian names, shapes that follow the streets between stops,
weekday, Saturday, holiday and school-day services for 2025, national holidays moved to the
holiday service. The output is deterministic: running it again gives the same files.
"""
import math
import os

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "demo")
CENTRE = (45.4000, 11.1000)  # latitude, longitude of Piazza Garibaldi
METRES_PER_DEGREE_LAT = 111_200.0
METRES_PER_DEGREE_LON = 111_200.0 * math.cos(math.radians(CENTRE[0]))


def lat_lon(east, north):
    """Metres east and north of the centre to WGS84 degrees."""
    return (CENTRE[0] + north / METRES_PER_DEGREE_LAT, CENTRE[1] + east / METRES_PER_DEGREE_LON)


# Stops: code, name, location, metres east, metres north.
STOPS = [
    ("VM001", "Piazza Garibaldi", "Piazza Garibaldi 1", 0, 0),
    ("VM002", "Via Roma", "Via Roma 24", 380, 60),
    ("VM003", "Duomo", "Piazza del Duomo", 760, 150),
    ("VM004", "Corso Mazzini", "Corso Mazzini 51", 1130, 260),
    ("VM005", "Porta Nuova", "Viale della Repubblica 2", 1500, 330),
    ("VM006", "Via dei Mille", "Via dei Mille 18", 1870, 450),
    ("VM007", "Ospedale Civile", "Via San Camillo 4", 2230, 600),
    ("VM008", "Viale Trento", "Viale Trento 77", 2580, 760),
    ("VM009", "Cimitero", "Via del Cipresso", 2940, 900),
    ("VM010", "Stazione FS", "Piazzale della Stazione", -420, -90),
    ("VM016", "Via Verdi", "Via Giuseppe Verdi 21", 60, 400),
    ("VM017", "Biblioteca Civica", "Via Manzoni 7", 120, 790),
    ("VM018", "Parco delle Mura", "Viale delle Mura", 190, 1180),
    ("VM019", "San Rocco", "Piazza San Rocco", 280, 1570),
    ("VM020", "Borgo Alto Chiesa", "Piazza della Pieve", 390, 1960),
    ("VM021", "Borgo Alto Fontana", "Via della Fontana 3", 520, 2340),
    ("VM022", "Case Nuove", "Via dei Campi 88", 650, 2720),
    ("VM023", "Molino Vecchio", "Strada del Molino", 780, 3100),
    ("VM024", "Via Marconi", "Via Guglielmo Marconi 5", -60, -410),
    ("VM025", "Piazza Libertà", "Piazza della Libertà", -110, -800),
    ("VM026", "Istituto Tecnico", "Via Galilei 30", -170, -1190),
    ("VM027", "Zona Artigianale", "Via dell'Industria 14", -240, -1580),
    ("VM028", "Ponte sul Lurio", "Lungolurio Sud", -320, -1960),
    ("VM029", "Villa Ferrari", "Via di Villa Ferrari", -400, -2340),
    ("VM030", "Valmora Sud", "Via Emilia 210", -480, -2720),
    ("VM031", "Via Carducci", "Via Giosuè Carducci 16", 460, -320),
    ("VM032", "Municipio", "Piazza del Municipio 1", 840, -420),
    ("VM033", "Teatro Comunale", "Via del Teatro 2", 1150, -650),
    ("VM034", "Giardini Pubblici", "Viale dei Giardini", 1270, -1020),
    ("VM035", "Via Matteotti", "Via Giacomo Matteotti 60", 1090, -1370),
    ("VM036", "Casa di Riposo", "Via San Francesco 8", 730, -1520),
    ("VM037", "Piscina Comunale", "Via del Nuoto 1", 360, -1390),
    ("VM038", "Poste Centrali", "Via Garibaldi 33", 180, -1020),
    ("VM039", "Via Gramsci", "Via Antonio Gramsci 4", -630, 330),
    ("VM040", "Liceo Classico", "Via del Liceo 10", -1000, 480),
    ("VM041", "Caserma", "Viale Vittorio Veneto 90", -1370, 640),
    ("VM042", "Santa Lucia", "Piazza Santa Lucia", -1730, 810),
    ("VM043", "Campo Sportivo", "Via dello Stadio 2", -2090, 990),
    ("VM044", "Frazione Colombara", "Via Colombara 45", -2440, 1180),
    ("VM045", "Via Petrarca", "Via Francesco Petrarca 3", 3300, 1060),
    ("VM046", "Centro Commerciale", "Via delle Industrie 120", 3650, 1230),
]

INDEX = {code: i for i, (code, *_rest) in enumerate(STOPS)}

# Lines: id, short name, long name, colour, outward stops (return is the reverse, except for
# the circular line).
LINES = [
    ("L1", "1", "Stazione FS - Centro Commerciale", "1E5AA8",
     ["VM010", "VM001", "VM002", "VM003", "VM004", "VM005", "VM006", "VM007", "VM008", "VM009",
      "VM045", "VM046"]),
    ("L2", "2", "Valmora Sud - Molino Vecchio", "C8102E",
     ["VM030", "VM029", "VM028", "VM027", "VM026", "VM025", "VM024", "VM001", "VM016", "VM017",
      "VM018", "VM019", "VM020", "VM021", "VM022", "VM023"]),
    ("L3", "3", "Circolare Centro", "2E8B57",
     ["VM001", "VM031", "VM032", "VM033", "VM034", "VM035", "VM036", "VM037", "VM038", "VM024",
      "VM001"]),
    ("L4", "4", "Scolastica Colombara - Istituto Tecnico", "F2A900",
     ["VM044", "VM043", "VM042", "VM041", "VM040", "VM039", "VM001", "VM024", "VM025",
      "VM026"]),
]

# Services for 2025: weekdays, Saturdays, holidays (Sundays and national holidays), school days.
HOLIDAYS_2025 = ["20250101", "20250106", "20250421", "20250425", "20250501", "20250602",
                 "20250815", "20251101", "20251208", "20251225", "20251226"]


def write(name, header, rows):
    with open(os.path.join(HERE, name), "w", encoding="utf-8", newline="") as out:
        out.write(",".join(header) + "\r\n")
        for row in rows:
            out.write(",".join(quote(str(v)) for v in row) + "\r\n")


def quote(value):
    if any(c in value for c in ',"\n'):
        return '"' + value.replace('"', '""') + '"'
    return value


def shape_points(stops):
    """A path through the stops with two bends between each pair, as streets would give."""
    points = []
    for a, b in zip(stops, stops[1:]):
        (_, _, _, ax, ay), (_, _, _, bx, by) = STOPS[INDEX[a]], STOPS[INDEX[b]]
        points.append((ax, ay))
        points.append((ax + (bx - ax) * 0.35 + 12, ay + (by - ay) * 0.35 - 9))
        points.append((ax + (bx - ax) * 0.7 - 8, ay + (by - ay) * 0.7 + 11))
    last = STOPS[INDEX[stops[-1]]]
    points.append((last[3], last[4]))
    return points


def main():
    os.makedirs(HERE, exist_ok=True)
    write("agency.txt", ["agency_id", "agency_name", "agency_url", "agency_timezone", "agency_lang"],
          [["AVM", "Autolinee Valmora", "https://trasporti.valmora.invalid", "Europe/Rome", "it"]])
    write("feed_info.txt", ["feed_publisher_name", "feed_publisher_url", "feed_lang",
                            "feed_start_date", "feed_end_date", "feed_version"],
          [["Autolinee Valmora", "https://trasporti.valmora.invalid", "it", "20250101", "20251231",
            "2025.1"]])
    stop_rows = []
    for code, name, location, east, north in STOPS:
        lat, lon = lat_lon(east, north)
        stop_rows.append([code, code, name, location, f"{lat:.6f}", f"{lon:.6f}", "0"])
    write("stops.txt", ["stop_id", "stop_code", "stop_name", "stop_desc", "stop_lat", "stop_lon",
                        "location_type"], stop_rows)
    write("routes.txt", ["route_id", "agency_id", "route_short_name", "route_long_name",
                         "route_type", "route_color"],
          [[lid, "AVM", short, long, "3", colour] for lid, short, long, colour, _ in LINES])
    write("calendar.txt", ["service_id", "monday", "tuesday", "wednesday", "thursday", "friday",
                           "saturday", "sunday", "start_date", "end_date"],
          [["FER", 1, 1, 1, 1, 1, 0, 0, "20250101", "20251231"],
           ["SAB", 0, 0, 0, 0, 0, 1, 0, "20250101", "20251231"],
           ["FES", 0, 0, 0, 0, 0, 0, 1, "20250101", "20251231"],
           ["SCO", 1, 1, 1, 1, 1, 1, 0, "20250107", "20250607"],
           ["SCO2", 1, 1, 1, 1, 1, 1, 0, "20250915", "20251222"]])
    # National holidays: the weekday and Saturday services stop, the holiday service runs.
    exceptions = []
    for day in HOLIDAYS_2025:
        for service in ("FER", "SAB", "SCO", "SCO2"):
            exceptions.append([service, day, "2"])
        exceptions.append(["FES", day, "1"])
    write("calendar_dates.txt", ["service_id", "date", "exception_type"], exceptions)

    shapes, trips, stop_times = [], [], []
    for lid, short, _long, _colour, outward in LINES:
        circular = outward[0] == outward[-1]
        directions = [(0, outward)] if circular else [(0, outward), (1, list(reversed(outward)))]
        for direction, stops in directions:
            shape_id = f"{lid}_{direction}"
            travelled = 0.0
            previous = None
            for seq, (x, y) in enumerate(shape_points(stops), start=1):
                if previous is not None:
                    travelled += math.dist(previous, (x, y))
                previous = (x, y)
                lat, lon = lat_lon(x, y)
                shapes.append([shape_id, f"{lat:.6f}", f"{lon:.6f}", seq, f"{travelled:.1f}"])
            # Timetables: (service, first departure, last departure, headway) in minutes.
            if lid == "L4":
                plan = [("SCO", 7 * 60 + 10, 7 * 60 + 25, 15), ("SCO", 13 * 60 + 15, 13 * 60 + 15, 60),
                        ("SCO2", 7 * 60 + 10, 7 * 60 + 25, 15), ("SCO2", 13 * 60 + 15, 13 * 60 + 15, 60)]
            elif lid == "L3":
                plan = [("FER", 7 * 60, 19 * 60, 60), ("SAB", 8 * 60, 13 * 60, 60)]
            else:
                plan = [("FER", 6 * 60 + (0 if lid == "L1" else 15), 20 * 60, 20 if lid == "L1" else 30),
                        ("SAB", 7 * 60 + 30, 19 * 60 + 30, 60),
                        ("FES", 9 * 60, 19 * 60, 180)]
            for service, first, last, headway in plan:
                for start in range(first, last + 1, headway):
                    trip_id = f"{lid}_{direction}_{service}_{start // 60:02d}{start % 60:02d}"
                    headsign = STOPS[INDEX[stops[-1]]][1]
                    trips.append([lid, service, trip_id, headsign, direction, shape_id])
                    clock = start
                    for seq, code in enumerate(stops, start=1):
                        if seq > 1:
                            a, b = STOPS[INDEX[stops[seq - 2]]], STOPS[INDEX[code]]
                            clock += max(1, round(math.dist(a[3:], b[3:]) / 1000 * 2.4))
                        hhmmss = f"{clock // 60:02d}:{clock % 60:02d}:00"
                        departure_clock = clock + (1 if 1 < seq < len(stops) and seq % 5 == 0 else 0)
                        departure = f"{departure_clock // 60:02d}:{departure_clock % 60:02d}:00"
                        timepoint = 1 if seq in (1, len(stops)) or seq % 5 == 0 else 0
                        stop_times.append([trip_id, hhmmss, departure, code, seq, timepoint])
                        clock = departure_clock
    write("shapes.txt", ["shape_id", "shape_pt_lat", "shape_pt_lon", "shape_pt_sequence",
                         "shape_dist_traveled"], shapes)
    write("trips.txt", ["route_id", "service_id", "trip_id", "trip_headsign", "direction_id",
                        "shape_id"], trips)
    write("stop_times.txt", ["trip_id", "arrival_time", "departure_time", "stop_id",
                             "stop_sequence", "timepoint"], stop_times)
    print(f"{len(STOPS)} stops, {len(LINES)} lines, {len(trips)} trips, {len(stop_times)} stop times")


if __name__ == "__main__":
    main()
