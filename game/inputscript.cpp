// The input table. See inputscript.h.
#include "game/inputscript.h"

#include "platform/files.h"
#include "platform/window.h"
#include "screens/bridge.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/trace.h"
#include "ai/aistate.h"
#include "world/scenelist.h"
#include "world/tally.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/asteroids.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

enum class Action {
    Key,
    Text,
    ClickAt,
    ClickElement,
    Move,
    Shot,
    State,
    Ships,
    Hold,
    Quit,
    Press,  // the left button, after the pointer has rested on its place
    Release // the keys or the left button of an earlier event
};

struct InputEvent {
    long pass;
    Action action;
    std::vector<int> keys; // SDL scancodes, pressed in order
    int x = 0, y = 0;
    std::string text; // the text, element name or file
};

struct InputTable {
    std::vector<InputEvent> events; // by pass, then as written
    std::size_t next = 0;
    long pass = 0;
    std::vector<InputEvent> pending; // presses and releases due at their pass
    int releaseKey = -1;             // the SDL scancode that ends a hold
};
InputTable gTable;

constexpr int kLeftButton = 1;
// Keys and the button are held this many passes, so that a frame that reads
// the held state (not only the messages) sees them down; a click presses
// as long after moving the pointer, so that a frame has made the window
// under it the hot one first (a window that becomes hot forgets presses).
constexpr long kHoldPasses = 2;

// A hold lasts until the window system delivers this key, which whoever
// holds the game sends after its own input: events arrive in the order they
// were sent, so all of that input is then waiting for the next pass. A hold
// nobody releases ends by itself after the limit.
constexpr const char* kReleaseKeyName = "ScrollLock";

constexpr std::size_t kInputTableMaxBytes = 4 << 20;
constexpr int kHoldLimitMs = 600000;

void Schedule(Action action, long after, int x, int y, const std::vector<int>& keys = {})
{
    InputEvent event{};
    event.pass = gTable.pass + after;
    event.action = action;
    event.x = x;
    event.y = y;
    event.keys = keys;
    gTable.pending.push_back(event);
}

// The rest of the line after the words read so far, without leading blanks.
std::string Rest(std::istringstream& words)
{
    std::string rest;
    std::getline(words, rest);
    const std::size_t start = rest.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : rest.substr(start);
}

// One ship's line: whether it is destroyed, the hits it took, and while it
// lives its hull, position, AI state and the screen rectangle its model was
// last drawn in.
void PrintShipLine(const char* name, bool destroyed, int32_t hits, const SceneItem* item)
{
    std::printf("ship %ld %s destroyed=%d hits=%d", gTable.pass, name ? name : "", destroyed ? 1 : 0, hits);
    // The tally counts the player's kills; a ship that others destroyed
    // (or the player's own) is simply gone. One left behind in another
    // star system waits, out of the world, until the player returns.
    const bool lives = item && item->sim && item->avatar;
    if (!destroyed && !lives)
        std::printf(" gone");
    else if (!destroyed && !IsInSceneList(item))
        std::printf(" parked");
    else if (!destroyed) {
        const Sim* sim = item->sim;
        std::printf(" hull=%d at=%.0f,%.0f,%.0f", static_cast<int>(sim->hull), sim->position.x, sim->position.y,
                    sim->position.z);
        std::printf(" lds=%d", (sim->flags & kSimLdsEngaged) ? 1 : 0);
        if (const ShipInfo* info = sim->shipInfo) {
            const int32_t top = std::clamp(info->currentFrame, 0, kAIStackFrames - 1);
            std::printf(" ai=%d", info->stateStack[top].stateId);
        }
        if (const TDP* root = item->avatar->root)
            std::printf(" screen=%d,%d,%d,%d", root->screenRect[0], root->screenRect[1], root->screenRect[2],
                        root->screenRect[3]);
        uint8_t inBelt = 0;
        FindNearestBelt(item, &inBelt, nullptr);
        if (inBelt)
            std::printf(" belt");
    }
    std::printf("\n");
}

// A line for each ship the mission's tally counts, and one for the
// player's ship when the tally does not hold it (the command section once
// separated, under its own name).
void PrintShips()
{
    bool playerListed = false;
    for (int32_t i = 0; i < TallyEntryCount(); ++i) {
        const TallyEntry* row = TallyEntryAt(i);
        const SceneItem* item = ItemFromHandle(row->item);
        playerListed = playerListed || (item && item == gPlayerItem);
        PrintShipLine(row->name, row->destroyed, row->hits, item);
    }
    if (gPlayerItem && !playerListed && gPlayerItem->sim && gPlayerItem->sim->shipInfo)
        PrintShipLine(gPlayerItem->sim->shipInfo->name, false, 0, gPlayerItem);
    // The ship the player flies, whichever it is (a separated command
    // section is in no tally).
    if (const SceneItem* player = gPlayerItem; player && player->sim && player->sim->shipInfo) {
        const Sim* sim = player->sim;
        const ShipInfo* info = sim->shipInfo;
        std::printf("player %ld %s kind=%d at=%.0f,%.0f,%.0f velocity=%.0f,%.0f,%.0f\n", gTable.pass,
                    info->name ? info->name : "", info->kind, sim->position.x, sim->position.y, sim->position.z,
                    static_cast<double>(sim->velocity.x), static_cast<double>(sim->velocity.y),
                    static_cast<double>(sim->velocity.z));
    }
}

// One line into an event; the reason it cannot be, or null.
const char* ParseLine(const std::string& line, InputEvent& event)
{
    std::istringstream words(line);
    std::string action;
    if (!(words >> event.pass) || event.pass < 0)
        return "a line starts with its pass number";
    if (!(words >> action))
        return "an event word is needed after the pass";
    if (action == "key") {
        event.action = Action::Key;
        std::string names = Rest(words);
        for (std::size_t start = 0; start <= names.size();) {
            std::size_t plus = names.find('+', start);
            if (plus == start) // "+" itself, or "A++"
                plus = names.find('+', start + 1);
            const std::string name = names.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
            const int code = platform::ScancodeFromName(name.c_str());
            if (code < 0)
                return "no key has this name";
            event.keys.push_back(code);
            if (plus == std::string::npos)
                break;
            start = plus + 1;
        }
        return nullptr;
    }
    if (action == "text") {
        event.action = Action::Text;
        event.text = Rest(words);
        return event.text.empty() ? "text needs its text" : nullptr;
    }
    if (action == "click" || action == "move") {
        const bool click = action == "click";
        const std::string rest = Rest(words);
        std::istringstream place(rest);
        if (place >> event.x >> event.y) {
            event.action = click ? Action::ClickAt : Action::Move;
            return nullptr;
        }
        if (!click || rest.empty())
            return "a position (x y) is needed";
        event.action = Action::ClickElement;
        event.text = rest;
        return nullptr;
    }
    if (action == "shot") {
        event.action = Action::Shot;
        event.text = Rest(words);
        return event.text.empty() ? "shot needs a file" : nullptr;
    }
    if (action == "state" || action == "ships" || action == "quit" || action == "hold") {
        event.action = action == "state"   ? Action::State
                       : action == "ships" ? Action::Ships
                       : action == "hold"  ? Action::Hold
                                           : Action::Quit;
        if (!Rest(words).empty())
            return "nothing follows this event word";
        return nullptr;
    }
    return "unknown event word";
}

// The window of the current screen that the symbol holds, or null.
const WindowHandle* FindElement(const std::string& name)
{
    const Screen* screen = gScreens.current;
    for (const WindowHandle* window = screen ? screen->windows : nullptr; window; window = window->next)
        if (window->elementName && name == window->elementName)
            return window;
    return nullptr;
}

void Click(int x, int y)
{
    platform::InjectMouseMove(x, y);
    Schedule(Action::Press, kHoldPasses, x, y);
    Schedule(Action::Release, 2 * kHoldPasses, x, y);
}

// Types the text as a keyboard does: each character comes with the press
// of a key, which the game's key queue pairs it with. A character without
// a key of its own (accented letters) comes with the A key.
void TypeText(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        const std::string character = text.substr(i, length);
        i += length;
        int code = -1;
        if (length == 1)
            code = platform::ScancodeFromName(character == " " ? "Space" : character.c_str());
        if (code < 0)
            code = platform::ScancodeFromName("A");
        platform::InjectKey(code, true);
        platform::InjectText(character.c_str());
        platform::InjectKey(code, false);
    }
}

// The screen as last shown: for a ".pcx" path the game's own screenshot of
// it, for a ".pgm" path its palette indices as a binary PGM, else its
// colours in the game's palette as a binary PPM.
void SaveShot(const std::string& path)
{
    const Canvas screen = ScreenCanvas();
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".pcx") == 0) {
        if (!SaveScreenshotAs(screen, path.c_str()))
            std::printf("shot %ld: %s not written\n", gTable.pass, path.c_str());
        return;
    }
    std::FILE* file = screen.pixels ? std::fopen(path.c_str(), "wb") : nullptr;
    if (!file) {
        std::printf("shot %ld: %s not written\n", gTable.pass, path.c_str());
        return;
    }
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".pgm") == 0) {
        std::fprintf(file, "P5\n%d %d\n255\n", screen.rowLength, screen.height);
        std::fwrite(screen.pixels, 1, std::size_t(screen.rowLength) * screen.height, file);
        std::fclose(file);
        return;
    }
    const PaletteEntry* palette = DisplayLastPalette();
    const uint16_t* shown565 = DisplayShownFrame565();
    std::fprintf(file, "P6\n%d %d\n255\n", screen.rowLength, screen.height);
    std::vector<uint8_t> row(std::size_t(screen.rowLength) * 3);
    for (int y = 0; shown565 && y < screen.height; ++y) {
        // A 16-bit screen: the frame as last composed, each 565 pixel as the
        // screen shows it.
        for (int x = 0; x < screen.rowLength; ++x) {
            const platform::PaletteColour colour = platform::Colour565(shown565[std::size_t(y) * screen.rowLength + x]);
            row[3 * x] = colour.red;
            row[3 * x + 1] = colour.green;
            row[3 * x + 2] = colour.blue;
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    for (int y = 0; !shown565 && y < screen.height; ++y) {
        const uint8_t* pixel = screen.pixels + std::size_t(y) * screen.rowLength;
        for (int x = 0; x < screen.rowLength; ++x) {
            const PaletteEntry& colour = palette[pixel[x]];
            row[3 * x] = colour.red;
            row[3 * x + 1] = colour.green;
            row[3 * x + 2] = colour.blue;
        }
        std::fwrite(row.data(), 1, row.size(), file);
    }
    std::fclose(file);
}

void Play(const InputEvent& event)
{
    switch (event.action) {
    case Action::Key: {
        for (int code : event.keys)
            platform::InjectKey(code, true);
        Schedule(Action::Release, kHoldPasses, 0, 0, event.keys);
        break;
    }
    case Action::Press:
        platform::InjectMouseButton(kLeftButton, true, 1, event.x, event.y);
        break;
    case Action::Release:
        if (event.keys.empty())
            platform::InjectMouseButton(kLeftButton, false, 1, event.x, event.y);
        for (auto code = event.keys.rbegin(); code != event.keys.rend(); ++code)
            platform::InjectKey(*code, false);
        break;
    case Action::Text:
        TypeText(event.text);
        break;
    case Action::ClickAt:
        Click(event.x, event.y);
        break;
    case Action::ClickElement:
        if (const WindowHandle* window = FindElement(event.text))
            Click((window->rect[0] + window->rect[2]) / 2, (window->rect[1] + window->rect[3]) / 2);
        else
            std::printf("click %ld: no window \"%s\" on this screen\n", gTable.pass, event.text.c_str());
        break;
    case Action::Move:
        platform::InjectMouseMove(event.x, event.y);
        break;
    case Action::Shot:
        SaveShot(event.text);
        break;
    case Action::State:
        std::printf("state %ld screen=%s station=%d end=%d\n", gTable.pass,
                    gScreens.current && gScreens.current->name ? gScreens.current->name : "", CurrentStation,
                    static_cast<int>(MissionEndState));
        // The trace marks the pass too, so that a walk can tell what the
        // game drew before and after it.
        TraceLine("pass", "%ld", gTable.pass);
        break;
    case Action::Ships:
        PrintShips();
        break;
    case Action::Hold:
        std::printf("hold %ld\n", gTable.pass);
        std::fflush(stdout);
        if (platform::AwaitKeyRelease(gTable.releaseKey, kHoldLimitMs) == platform::KeyWait::TimedOut)
            std::printf("hold %ld: no %s from the window system in %d s; going on\n", gTable.pass, kReleaseKeyName,
                        kHoldLimitMs / 1000);
        break;
    case Action::Quit:
        platform::InjectClose();
        break;
    }
    std::fflush(stdout);
}

} // namespace

bool LoadInputTableFromEnvironment(std::string& error)
{
    gTable = {};
    const char* path = std::getenv(kInputTableVariable);
    if (!path || !*path)
        return true;
    // A table is a small text file: a FIFO or a device is never waited on
    // or read without end.
    std::string text;
    if (!platform::ReadWholeFile(path, text, kInputTableMaxBytes)) {
        error = std::string(path) + "(0) : cannot be read: " + platform::DataFileFailure();
        return false;
    }
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        InputEvent event{};
        if (const char* why = ParseLine(line, event)) {
            error = std::string(path) + "(" + std::to_string(number) + ") : " + why;
            gTable = {};
            return false;
        }
        gTable.events.push_back(std::move(event));
    }
    std::stable_sort(gTable.events.begin(), gTable.events.end(),
                     [](const InputEvent& a, const InputEvent& b) { return a.pass < b.pass; });
    gTable.releaseKey = platform::ScancodeFromName(kReleaseKeyName);
    return true;
}

void PlayInputTablePass()
{
    if (gTable.events.empty())
        return;
    // Presses and releases first, so that a key pressed again at its
    // release pass is down again.
    std::vector<InputEvent> due;
    std::erase_if(gTable.pending, [&due](const InputEvent& e) {
        if (e.pass > gTable.pass)
            return false;
        due.push_back(e);
        return true;
    });
    for (const InputEvent& release : due)
        Play(release);
    while (gTable.next < gTable.events.size() && gTable.events[gTable.next].pass <= gTable.pass)
        Play(gTable.events[gTable.next++]);
    ++gTable.pass;
}
