// The switch table and command-line splitting. See switches.h.
#include "system/switches.h"

#include "system/display.h"
#include "system/errors.h"
#include "system/settings.h"

#include <cstring>

namespace {

constexpr uint8_t kOn = 255;

void SwitchNothing() {}
void SwitchDebug() { gSettings.debug = kOn; }
void SwitchSlave() { gSettings.slave = kOn; }
void SwitchPerspective() { gSettings.perspective = kOn; }
void SwitchPowers() { gSettings.developerKeys = gSettings.developerKeys ? 0 : kOn; }
void SwitchConsole() { gSettings.console = kOn; }
void SwitchEngOff() { gSettings.engineering = 0; }
void SwitchShades() { gSettings.shades = kOn; }
void SwitchDisplayShades() { gSettings.displayShades = kOn; }
void SwitchSound() { gSettings.sound = kOn; }
void SwitchNoSound() { gSettings.sound = 0; }
void SwitchWire() { gSettings.wire = kOn; }
void SwitchRunInBack() { gSettings.runInBack = kOn; }
void SwitchFontMake() { gSettings.fontMake = kOn; }
void SwitchNoFill() { gSettings.noFill = kOn; }
void SwitchNoDialogue() { gSettings.noDialogue = kOn; }
void SwitchNoSysBuf() { gSettings.systemBuffer = 0; }
void SwitchDirector() { gSettings.director = kOn; }
void SwitchNoHud() { gSettings.noHud = kOn; }
void SwitchBriefingPause() { gSettings.briefingPause = kOn; }
void SwitchNoNebula() { gSettings.noNebula = kOn; }
void SwitchLoadTest() { gSettings.loadTest = kOn; }
void SwitchNoBrief() { gSettings.noBrief = kOn; }
void SwitchOldKeys() { gSettings.oldKeys = kOn; }
void Switch16() { gSettings.colourDepth = 16; }
void SwitchIntro() { gSettings.intro = kOn; }
void SwitchNoSlab() { gSettings.noSlab = kOn; }
void SwitchDemo() { gSettings.demo = kOn; }
void SwitchFrench() { gSettings.language = 1; }
void SwitchGerman() { gSettings.language = 2; }
void SwitchDebugFile() { gSettings.debuggerOutput = 0; }

} // namespace

const std::array<Switch, 34> kSwitchTable = {{
    {"dummy", SwitchNothing, "does nothing"},
    {"debug", SwitchDebug, "the script statement DEBUG shows its text in the message log"},
    {"f", UseFullScreenDisplay, "full-screen display (the default)"},
    {"w", UseWindowDisplay, "a window on the desktop"},
    {"b", UseFrameworkDisplay, "display through the 3D framework's own device"},
    {"slave", SwitchSlave, "full screen keeps the desktop's display mode"},
    {"perspective", SwitchPerspective, "perspective-correct texture mapping on loaded shapes"},
    {"powers", SwitchPowers, "developer keys on (off again when given twice)"},
    {"console", SwitchConsole, "debug text to the console; frames run while the window is inactive"},
    {"engoff", SwitchEngOff, "no engineering: the reactor is not selected, the panel stays idle"},
    {"shades", SwitchShades, "shade tables for loaded shapes"},
    {"display_shades", SwitchDisplayShades, "every frame shows the ships' shade table"},
    {"sound", SwitchSound, "sound on"},
    {"xsound", SwitchNoSound, "sound off"},
    {"wire", SwitchWire, "wire-frame drawing of the scene"},
    {"runinback", SwitchRunInBack, "frames run while the window is inactive"},
    {"fontmake", SwitchFontMake, "build the small bitmap font from its glyph pictures"},
    {"nofill", SwitchNoFill, "the 3D view draws no filled faces"},
    {"nodialogue", SwitchNoDialogue, "scripts skip dialogue"},
    {"nosysbuf", SwitchNoSysBuf, "full screen draws without its system-memory buffer"},
    {"director", SwitchDirector, "the automatic camera director"},
    {"nohud", SwitchNoHud, "no HUD"},
    {"brf_pause", SwitchBriefingPause, "briefings pause"},
    {"nonebula", SwitchNoNebula, "no nebula background"},
    {"loadtest", SwitchLoadTest, "load test: each launch takes the next mission of the table"},
    {"nobrief", SwitchNoBrief, "scripts skip briefings"},
    {"oldkeys", SwitchOldKeys, "the old key bindings (keybind.scr)"},
    {"16", Switch16, "16-bit colour instead of 8-bit"},
    {"intro", SwitchIntro, "only play the introduction films"},
    {"noslab", SwitchNoSlab, "never read resources from slab libraries"},
    {"idemo", SwitchDemo, "demo mode: runs the demo mission"},
    {"french", SwitchFrench, "French texts"},
    {"german", SwitchGerman, "German texts"},
    {"debugfile", SwitchDebugFile, "messages and fatal stops go to debug.txt"},
}};

std::vector<std::string> SplitCommandLine(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (pos < line.size()) {
        std::size_t start = line.find_first_not_of(", ", pos);
        if (start == std::string_view::npos)
            break;
        std::size_t end = line.find_first_of(", ", start);
        if (end == std::string_view::npos)
            end = line.size();
        words.emplace_back(line.substr(start, end - start));
        pos = end;
    }
    return words;
}

bool ApplySwitch(const char* word)
{
    if (!word) {
        gSettings.noCommandLineMission = kOn;
        return true;
    }
    // A lone "-" leaves an empty name, which matches no switch.
    const char* name = word[0] ? word + 1 : word;
    for (const Switch& s : kSwitchTable) {
        if (std::strcmp(name, s.name) == 0) {
            s.handler();
            return true;
        }
    }
    return false;
}

bool AsksForHelp(const std::vector<std::string>& words)
{
    for (const std::string& word : words) {
        if (word.empty() || word[0] != '-')
            break;
        if (word == "--help" || word == "-help" || word == "-h" || word == "-?")
            return true;
    }
    return false;
}

std::string SwitchList()
{
    std::string list = "usage: Kelvandrist [-switch]... [mission.scr]\n"
                       "Switches may also be joined by commas (-w,-16). A mission named runs at once;\n"
                       "without one the front end starts.\n";
    for (const Switch& s : kSwitchTable) {
        const std::string name = std::string("  -") + s.name;
        list += name + std::string(name.size() < 18 ? 18 - name.size() : 1, ' ') + s.meaning + "\n";
    }
    return list;
}

void ApplyCommandLine(const std::vector<std::string>& words)
{
    if (words.empty())
        ApplySwitch(nullptr);
    std::size_t next = 0;
    for (; next < words.size() && words[next][0] == '-'; ++next)
        if (!ApplySwitch(words[next].c_str()))
            DebugPrint(("Kelvandrist: unknown switch " + words[next] + " is ignored (--help lists the switches)\n").c_str());
    if (!gSettings.noCommandLineMission && next < words.size())
        gSettings.missionName = words[next];
}
