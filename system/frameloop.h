// The frame loop: the message pump and the frame body that drives the script,
// the simulation, the display and the UI once per frame.
#pragma once

#include <cstdint>

// The global key handler: takes one key code (scan code in bits 8 to 15,
// character in bits 0 to 7). The current screen sets it.
using KeyHandler = void (*)(uint16_t keyCode);
extern KeyHandler gKeyHandler;
