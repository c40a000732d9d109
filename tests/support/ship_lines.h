// The lines a walked game prints for its input table's "state" and "ships"
// events (game/inputscript.h), read back by pass: which screen and station
// were up, how far the mission's end had gone, and each ship's tally, hull,
// place and AI state.
#pragma once

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

// A ship as a "ships" line printed it.
struct ShipLine {
    std::string name;
    bool destroyed = false; // by the player: the tally counts the player's kills
    bool gone = false;      // no longer there, destroyed otherwise
    bool parked = false;    // left behind in a star system the player left
    int hits = 0;           // the player's hits on it
    int hull = -1;          // percent; -1 once it is gone
    double x = 0, y = 0, z = 0;
    bool lds = false;
    int ai = 0;          // the state on top of its AI stack
    bool inBelt = false; // inside an asteroid belt of the star system
};

// A "state" line.
struct StateLine {
    std::string screen;
    int station = 0;
    int end = 0; // 0 in flight, 1 the flight over, 2 the debrief
};

struct WalkLines {
    std::map<long, StateLine> states;
    std::map<long, std::vector<ShipLine>> ships;

    // Every line of the ship of that name, by pass (the first ship of the
    // name at each pass).
    std::map<long, ShipLine> Track(const std::string& name) const
    {
        std::map<long, ShipLine> track;
        for (const auto& [pass, fleet] : ships)
            for (const ShipLine& ship : fleet)
                if (ship.name == name) {
                    track.emplace(pass, ship);
                    break;
                }
        return track;
    }

    // How many ships of that name the line of that pass lists.
    int Count(long pass, const std::string& name) const
    {
        int count = 0;
        if (auto at = ships.find(pass); at != ships.end())
            for (const ShipLine& ship : at->second)
                count += ship.name == name;
        return count;
    }
};

inline WalkLines ReadWalkLines(const std::string& output)
{
    WalkLines walk;
    const std::regex state(R"(^state (\d+) screen=(\S*) station=(-?\d+) end=(-?\d+))");
    const std::regex ship(R"(^ship (\d+) (.+?) destroyed=(\d) hits=(\d+)( gone| parked)?(?: hull=(-?\d+) )"
                          R"(at=(\S+),(\S+),(\S+) lds=(\d) ai=(\d+))?)");
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, state)) {
            walk.states[std::stol(m[1])] = {m[2], std::stoi(m[3]), std::stoi(m[4])};
        } else if (std::regex_search(line, m, ship)) {
            ShipLine s;
            s.name = m[2];
            s.destroyed = m[3] == "1";
            s.hits = std::stoi(m[4]);
            s.gone = m[5] == " gone";
            s.parked = m[5] == " parked";
            if (m[6].matched) {
                s.hull = std::stoi(m[6]);
                s.x = std::stod(m[7]), s.y = std::stod(m[8]), s.z = std::stod(m[9]);
                s.lds = m[10] == "1";
                s.ai = std::stoi(m[11]);
                s.inBelt = line.size() >= 5 && line.compare(line.size() - 5, 5, " belt") == 0;
            }
            walk.ships[std::stol(m[1])].push_back(s);
        }
    }
    return walk;
}
