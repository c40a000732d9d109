// The demo key map as a player meets it: every key that the key-binding
// script binds to a bridge command, pressed in flight with the modifier of
// its layer, carries out that command (the trace's "command" line between
// two of the input table's marks), and the keys a player sees the effect of
// show it. The game program runs on the dummy drivers, on a copy of the
// demo data, in the mission that has a wing to command, with the developer
// keys on (Ctrl+= speeds time only for them).
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The key names the input table takes for the scan codes the key map binds.
const std::map<int, std::string> kScanNames = {
    {1, "Escape"},
    {2, "1"},
    {3, "2"},
    {4, "3"},
    {5, "4"},
    {6, "5"},
    {7, "6"},
    {12, "-"},
    {13, "="},
    {14, "Backspace"},
    {15, "Tab"},
    {16, "Q"},
    {17, "W"},
    {18, "E"},
    {19, "R"},
    {20, "T"},
    {21, "Y"},
    {22, "U"},
    {23, "I"},
    {24, "O"},
    {26, "["},
    {27, "]"},
    {28, "Return"},
    {30, "A"},
    {31, "S"},
    {32, "D"},
    {33, "F"},
    {34, "G"},
    {35, "H"},
    {36, "J"},
    {37, "K"},
    {38, "L"},
    {40, "'"},
    {41, "`"},
    {44, "Z"},
    {45, "X"},
    {46, "C"},
    {47, "V"},
    {48, "B"},
    {49, "N"},
    {50, "M"},
    {51, ","},
    {52, "."},
    {53, "/"},
    {57, "Space"},
    {59, "F1"},
    {60, "F2"},
    {61, "F3"},
    {62, "F4"},
    {63, "F5"},
    {64, "F6"},
    {65, "F7"},
    {66, "F8"},
    {67, "F9"},
    {68, "F10"},
    {71, "Home"},
    {73, "PageUp"},
    {82, "Insert"},
    {83, "Delete"},
    {87, "F11"},
    {88, "F12"},
};

struct Binding {
    int scan, command, layer;
    std::string Key() const
    {
        const std::string name = kScanNames.at(scan);
        return layer == 2 ? "Left Ctrl+" + name : layer == 1 ? "Left Shift+" + name
                                                             : name;
    }
};

// The BINDKEY lines of the key-binding script, in their order.
std::vector<Binding> ReadBindings(const fs::path& script)
{
    std::vector<Binding> out;
    std::ifstream in(script);
    const std::regex bind(R"(^BINDKEY (\d+) (\d+)(?: (\d+))?\s*$)");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, bind))
            out.push_back({std::stoi(m[1]), std::stoi(m[2]), m[3].matched ? std::stoi(m[3]) : 0});
    }
    return out;
}

// Commands walked by tests of their own that leave the flight, hold the
// game or change what the other keys show: the end of the mission, the back
// step, the options screen, the key list, the last film again and hint mode.
const std::set<int> kWalkedElsewhere = {141, 142, 143, 146, 114, 148};

// The engineering keys act at ENG only; they are pressed there.
bool AtEngineering(int command)
{
    return (command >= 71 && command <= 74);
}

} // namespace

TEST(KeyMap, EveryBoundKeyCarriesOutItsCommandInFlight)
{
    ScratchFolder scratch{"keymap"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    const std::vector<Binding> bindings = ReadBindings(folder / "zqk/resource/scripts/init/keybind2.scr");
    ASSERT_GE(bindings.size(), 60u) << "the demo key map";

    // Flight keys at NAV first, then ENG's, then the stations' own keys.
    std::vector<Binding> order;
    for (const Binding& b : bindings)
        if (!kWalkedElsewhere.count(b.command) && !AtEngineering(b.command) && (b.command < 100 || b.command > 103))
            order.push_back(b);
    order.push_back({62, 103, 0});
    for (const Binding& b : bindings)
        if (AtEngineering(b.command))
            order.push_back(b);
    for (const Binding& b : bindings)
        if (b.command >= 100 && b.command <= 103)
            order.push_back(b);

    std::ostringstream table;
    table << "600 state\n610 click CMDObjv\n700 key F2\n";
    std::map<long, const Binding*> byPass;
    long pass = 800;
    for (const Binding& b : order) {
        ASSERT_TRUE(kScanNames.count(b.scan)) << "no key name for scan code " << b.scan;
        table << pass << " state\n"
              << pass + 2 << " key " << b.Key() << "\n";
        byPass[pass] = &b;
        pass += 20;
    }
    table << pass << " state\n"
          << pass + 10 << " quit\n";
    std::ofstream(folder / "table.txt") << table.str();

    const fs::path trace = folder / "trace.txt";
    const GameRun run = RunGame({"-w", "-powers", "mission05.scr"},
                                {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy",
                                 "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05",
                                 "KELVANDRIST_SEED=1", "KELVANDRIST_INPUT=" + (folder / "table.txt").string(),
                                 "KELVANDRIST_TRACE=" + trace.string()},
                                folder);
    ASSERT_EQ(run.exitCode, 0) << run.hung << run.output;

    // By mark: the commands carried out, the messages shown and the texts
    // drawn until the next mark.
    std::map<long, std::set<int>> commands;
    std::map<long, std::vector<std::string>> messages, texts;
    const std::regex mark(R"(^\d+ pass (\d+)$)");
    const std::regex command(R"(^\d+ command (\d+)$)");
    const std::regex message(R"re(^\d+ message "(.*)"$)re");
    const std::regex text(R"re(^\d+ text -?\d+ -?\d+ -?\d+ -?\d+ "(.*)"$)re");
    std::ifstream in(trace);
    long at = -1;
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, mark))
            at = std::stol(m[1]);
        else if (std::regex_match(line, m, command))
            commands[at].insert(std::stoi(m[1]));
        else if (std::regex_match(line, m, message))
            messages[at].push_back(m[1]);
        else if (std::regex_match(line, m, text))
            texts[at].push_back(m[1]);
    }

    for (const auto& [when, binding] : byPass)
        EXPECT_TRUE(commands[when].count(binding->command))
            << binding->Key() << " (scan " << binding->scan << ", layer " << binding->layer << ") did not carry out command "
            << binding->command << " at pass " << when;

    // Effects a player sees: the first press of the separation key arms
    // it; the wing answers its commands on the message log.
    const auto passOf = [&](int command) {
        for (const auto& [when, binding] : byPass)
            if (binding->command == command)
                return when;
        return -1L;
    };
    const auto said = [&](long from, const std::string& what) {
        for (long p = from; p < from + 100; p += 20)
            for (const std::string& t : texts[p])
                if (t.find(what) != std::string::npos)
                    return true;
        return false;
    };
    const std::vector<std::string>& armed = messages[passOf(28)];
    EXPECT_NE(std::find(armed.begin(), armed.end(), "Separation armed: again to separate the command section"),
              armed.end());
    EXPECT_TRUE(said(passOf(121), "Blue One, Blue Two :")) << "F6: the wing's answer";
    EXPECT_TRUE(said(passOf(127), "Blue One, Blue Two :")) << "Shift+F8: the wing's answer";
}
