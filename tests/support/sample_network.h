#pragma once

#include <filesystem>
#include <string>

namespace tramela::test {

// Creates a small, complete database at `path` for the communication tests: the cartography
// tables, the system's tables with the built-in registers, a company header (company 42, sent
// 01/03/2024 with protocol 7 by "Mario Rossi", period 01/01/2024 - 31/12/2024), and:
// - localities 1 "Valmora" (ISTAT 099001) and 2 "Borgo Alto" (099002);
// - stops 1 "VAL01" "Stazione Centrale" / "Piazza Garibaldi" (locality 1, 1000,2000),
//   2 "VAL02" "Università" / "Via Roma 12" (locality 1, 1300,2400), 3 "BOR01" "Borgo Alto
//   Chiesa" / "Piazza Duomo" (locality 2, 2300,3400), 4 "ISO01" "Casa isolata" / "" (no locality,
//   5000,5000), 5 "VAL01" "Stazione Centrale" / "Piazza Garibaldi" (a second stop with the same
//   code, name and location, locality 1, 1001,2001);
// - route 1 "L1A" "Stazione Centrale - Borgo Alto Chiesa" (stops 1,2,3 at 0, 500, 1914.21 m,
//   geometry of 3 vertices through the stops, lengths 1914.21), route 2 "L1R" the reverse (stops
//   3,2,1; geometry of 2 vertices), route 3 "X9" with stop 4 only and no geometry;
// - cadences FER "Feriale" and FES "Festivo"; calendar rows for 01/03/2024 - 03/03/2024 (FER on
//   Friday 1 and Saturday 2, FES on Sunday 3 annotated "Domenica");
// - standard trips 1 (route 1: arrive/leave 0/0, 5/6, 20/20, the middle stop passed without
//   stopping: no) and 2 (route 2: 0/0, 14/15, 20/20);
// - trips 1 "C001" line "L1" A departing 23:50 on route 1 / standard 1 (length 12345.67 m,
//   20 minutes, authority 3), 2 "C002" line "L1" R departing 07:35 on route 2 / standard 2
//   (1914.21 m, 20 minutes, authority 3);
// - periods: trip 1 FER 01/01/2024 - 30/06/2024 granted and FES 01/01/2024 - 31/12/2024 granted,
//   trip 2 FER 01/01/2024 - 31/12/2024 granted and 24/12/2024 - 31/12/2024 withdrawn;
// - extended codes for both trips (lot 1, company 42, subcontractor 42);
// - the standard line lot 1 id 1 authority 3 "L1" "Linea 1" linked to the company line "L1".
void createSampleNetwork(const std::filesystem::path& path);

// Runs SQL on a database file (fails the test on error).
void runSql(const std::filesystem::path& path, const std::string& sql);

} // namespace tramela::test
