// Process-wide settings: what the command-line switches chose.
//
// One byte each unless said: 255 on, 0 off. Applied once before the window
// exists; read everywhere after. The switches themselves live in switches.cpp.
#pragma once

#include <cstdint>
#include <string>

struct Settings {
    uint8_t fullScreen = 0;    // display choice
    uint8_t exclusiveMode = 0; // display choice
    uint8_t noCommandLineMission = 0;
    std::string missionName;    // first non-switch word of the command line
    uint8_t debuggerOutput = 1; // "debugfile" clears it
    uint16_t language = 0;      // 0 English, 1 French, 2 German
    int32_t colourDepth = 8;    // "16" sets 16
    uint8_t sound = 255;        // "sound" / "xsound"
    uint8_t developerKeys = 0;  // "powers" toggles it
    uint8_t intro = 0;          // "intro"
    uint8_t demo = 0;           // "idemo"
    uint8_t debug = 0;          // "debug"
    uint8_t slave = 0;          // "slave"
    uint8_t perspective = 0;    // "perspective"
    uint8_t console = 0;        // "console"
    uint8_t engineering = 255;  // "engoff" clears it
    uint8_t shades = 0;         // "shades"
    uint8_t displayShades = 0;  // "display_shades"
    uint8_t wire = 0;           // "wire"
    uint8_t runInBack = 0;      // "runinback"
    uint8_t fontMake = 0;       // "fontmake"
    uint8_t noFill = 0;         // "nofill"
    uint8_t noDialogue = 0;     // "nodialogue"
    uint8_t systemBuffer = 255; // "nosysbuf" clears it
    uint8_t director = 0;       // "director"
    uint8_t noHud = 0;          // "nohud"
    uint8_t briefingPause = 0;  // "brf_pause"
    uint8_t noNebula = 0;       // "nonebula"
    uint8_t loadTest = 0;       // "loadtest"
    uint8_t noBrief = 0;        // "nobrief"
    uint8_t oldKeys = 0;        // "oldkeys"
    uint8_t noSlab = 0;         // "noslab"
};

extern Settings gSettings;
