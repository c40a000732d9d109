// The switch table and command-line splitting. See switches.h.
#include "system/switches.h"

#include "system/display.h"
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
    {"dummy", SwitchNothing},
    {"debug", SwitchDebug},
    {"f", UseFullScreenDisplay},
    {"w", UseWindowDisplay},
    {"b", UseFrameworkDisplay},
    {"slave", SwitchSlave},
    {"perspective", SwitchPerspective},
    {"powers", SwitchPowers},
    {"console", SwitchConsole},
    {"engoff", SwitchEngOff},
    {"shades", SwitchShades},
    {"display_shades", SwitchDisplayShades},
    {"sound", SwitchSound},
    {"xsound", SwitchNoSound},
    {"wire", SwitchWire},
    {"runinback", SwitchRunInBack},
    {"fontmake", SwitchFontMake},
    {"nofill", SwitchNoFill},
    {"nodialogue", SwitchNoDialogue},
    {"nosysbuf", SwitchNoSysBuf},
    {"director", SwitchDirector},
    {"nohud", SwitchNoHud},
    {"brf_pause", SwitchBriefingPause},
    {"nonebula", SwitchNoNebula},
    {"loadtest", SwitchLoadTest},
    {"nobrief", SwitchNoBrief},
    {"oldkeys", SwitchOldKeys},
    {"16", Switch16},
    {"intro", SwitchIntro},
    {"noslab", SwitchNoSlab},
    {"idemo", SwitchDemo},
    {"french", SwitchFrench},
    {"german", SwitchGerman},
    {"debugfile", SwitchDebugFile},
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

void ApplySwitch(const char* word)
{
    if (!word) {
        gSettings.noCommandLineMission = kOn;
        return;
    }
    // A lone "-" leaves an empty name, which matches no switch.
    const char* name = word[0] ? word + 1 : word;
    for (const Switch& s : kSwitchTable) {
        if (std::strcmp(name, s.name) == 0) {
            s.handler();
            return;
        }
    }
}

void ApplyCommandLine(const std::vector<std::string>& words)
{
    if (words.empty())
        ApplySwitch(nullptr);
    std::size_t next = 0;
    while (next < words.size() && words[next][0] == '-')
        ApplySwitch(words[next++].c_str());
    if (!gSettings.noCommandLineMission && next < words.size())
        gSettings.missionName = words[next];
}
