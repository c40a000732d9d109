// The key list made from the key script: its BINDKEY and BINDKEYTHR lines
// read as the game reads them (scan code, command, layer), each named in
// words.
#include "tools/keylist.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <sstream>

namespace {

// clang-format off
constexpr PlayerCommand kPlayerCommands[] = {
    {20, "Faster"},                      {21, "Slower"},
    {24, "Stop, drive mode 1"},          {25, "Next drive mode"},
    {26, "LDS drive on / off"},          {27, "Undock"},
    {28, "Separate command sect."}, {29, "Swap roll and yaw"},
    {30, "Rotation damping"},
    {41, "Stop (wing: regroup)"}, {42, "Approach"},
    {43, "Formate"},              {44, "Dock"},
    {45, "Match velocity"},       {46, "Cancel the order"},
    {62, "Contact filter"},              {63, "Prev. contact/system"},
    {64, "Next contact/system"},      {65, "Target or component"},
    {67, "Nearest hostile"},             {68, "Contact as target"},
    {69, "Nearest hostile, wide"},       {70, "Next hostile"},
    {71, "ENG: previous in group"},      {72, "ENG: next in group"},
    {73, "ENG: previous group"},         {74, "ENG: next group"},
    {80, "Fire"},                        {81, "Next gun"},
    {82, "Next missile"},                {83, "Ripple fire"},
    {87, "LDSI missile"},                {88, "Flare"},
    {100, "COM station"},                {101, "NAV station"},
    {102, "WEP station"},                {103, "ENG station"},
    {104, "Trails"},                     {105, "HUD"},
    {106, "Track mode"},                 {107, "Scope mode"},
    {108, "External view"},              {109, "Remote camera"},
    {110, "Director camera"},            {111, "Orbit view"},
    {112, "Current objective"},          {113, "Log: previous"},
    {114, "Replay the last film"},       {115, "Log: next"},
    {120, "Repair 1 / regroup"},    {121, "Repair 2 / wing 1"},
    {122, "Repair 3 / wing 2"},     {123, "Repair 4 / wing 3"},
    {124, "Wing 4"},                     {125, "Wing 5"},
    {126, "Wing 6"},                     {127, "Wing 8"},
    {128, "Wing order prefix"},
    {141, "Options"},                    {142, "End of the mission"},
    {143, "Back"},                       {144, "Faster time (dev.)"},
    {145, "Normal time"},
    {146, "This key list"},              {147, "The view alone"},
    {148, "Hints on / off"},
    {160, "Close the comms arm"},
    {195, "Screenshot"},                 {200, "Energy shares reset"},
};
// clang-format on

// Set-1 scan codes by name; those the list never names are empty.
const char* KeyName(int scan)
{
    static const std::array<const char*, 89> kNames = [] {
        std::array<const char*, 89> n{};
        const char* main[] = {"", "Esc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
                              "-", "=", "Backspace", "Tab", "Q", "W", "E", "R", "T", "Y", "U", "I",
                              "O", "P", "[", "]", "Enter", "Ctrl", "A", "S", "D", "F", "G", "H",
                              "J", "K", "L", ";", "'", "`", "Shift", "\\", "Z", "X", "C", "V",
                              "B", "N", "M", ",", ".", "/", "Right Shift", "Keypad *", "Alt", "Space"};
        for (std::size_t i = 0; i < std::size(main); ++i)
            n[i] = main[i];
        const char* function[] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10"};
        for (std::size_t f = 0; f < std::size(function); ++f)
            n[59 + f] = function[f];
        n[71] = "Home", n[72] = "Up", n[73] = "Page Up", n[75] = "Left", n[77] = "Right";
        n[79] = "End", n[80] = "Down", n[81] = "Page Down", n[82] = "Insert", n[83] = "Delete";
        n[87] = "F11", n[88] = "F12";
        return n;
    }();
    return scan > 0 && scan < static_cast<int>(kNames.size()) && kNames[scan] && *kNames[scan] ? kNames[scan]
                                                                                               : nullptr;
}

const char* WordsOf(int command)
{
    for (const PlayerCommand& c : kPlayerCommands)
        if (c.command == command)
            return c.words;
    return nullptr;
}

} // namespace

std::span<const PlayerCommand> PlayerCommands()
{
    return kPlayerCommands;
}

bool MakeKeyList(const std::string& script, std::vector<KeyListLine>& lines, std::string& error)
{
    lines.clear();
    std::istringstream in(script);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        std::istringstream words(line);
        std::string statement;
        words >> statement;
        const auto fail = [&](const char* why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        if (statement == "BINDKEYTHR") {
            int forward = 0, reverse = 0;
            if (!(words >> forward >> reverse))
                return fail("BINDKEYTHR needs two scan codes");
            if (!KeyName(forward) || !KeyName(reverse))
                return fail("a key without a name");
            lines.push_back({KeyName(forward), "Thrust forward"});
            lines.push_back({KeyName(reverse), "Thrust back"});
            continue;
        }
        if (statement != "BINDKEY")
            continue;
        int scan = 0, command = 0, layer = 0;
        if (!(words >> scan >> command))
            return fail("BINDKEY needs a scan code and a command");
        words >> layer;
        if (layer < 0 || layer > 2)
            return fail("the layer is 0, 1 (Shift) or 2 (Ctrl)");
        if (!KeyName(scan))
            return fail("a key without a name");
        const char* what = WordsOf(command);
        if (!what)
            return fail("not a command a player uses");
        const char* prefix[] = {"", "Shift+", "Ctrl+"};
        lines.push_back({std::string(prefix[layer]) + KeyName(scan), what});
    }
    return true;
}
