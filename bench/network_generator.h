#pragma once

#include <filesystem>

namespace tramela::bench {

// How the generated stops and route geometries lie.
enum class NetworkLayout {
    // Stops on a grid 100 m apart; each route a zigzag running east for 60 m a vertex, 25 m
    // wide, from its own corner of a 400 m lattice.
    Corridors,
    // A city of 200 m blocks, 12 km square: each route a walk along its streets (a vertex every
    // 25 m, turning at some crossings), many routes sharing each street; each stop 6 to 14 m to
    // one side of a street.
    City,
};

// The size of a generated network.
struct NetworkSize {
    int stops = 6000;
    int routes = 400;
    int stopsPerRoute = 40;
    int verticesPerRoute = 300;
    int standardTrips = 2000;
    int trips = 40000;
    // Every this-many-th middle stop of each standard trip has a fixed time; 0: none.
    int fixedEvery = 0;
    // Each route's geometry runs through its stops in order, the vertices beyond the stops'
    // spread over the stretches between them, so that every stop lies on its route (the
    // progressive distances then find every stop where it is). Otherwise each geometry is a
    // zigzag of its own, far from most of its stops. The city layout ignores it.
    bool geometryThroughStops = false;
    NetworkLayout layout = NetworkLayout::Corridors;
};

// Creates a complete database at `path` (cartography and system tables, registers, a company
// header) holding a generated network of that size: stops on a grid, routes through them with
// geometries, standard trips, trips with two periods each and extended codes, a year's
// calendar of two cadences, and a standard line of lot 1 for each company line. Everything is
// written in one transaction; the data verify clean.
void generateNetwork(const std::filesystem::path& path, const NetworkSize& size = {});

// Prints the line "workload: ..." that says how large the network is.
void printWorkload(const NetworkSize& size);

} // namespace tramela::bench
