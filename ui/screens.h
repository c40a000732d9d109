// The table of named screens and the switch between them.
#pragma once

#include <cstdint>

struct Screen;

// The global key handler: takes one key code (scan code in bits 8 to 15,
// character in bits 0 to 7). The current screen sets it; the frame hands it
// every queued key.
using KeyHandler = void (*)(uint16_t keyCode);
extern KeyHandler gKeyHandler;

using ScreenSetup = void (*)();

void guiRegisterScreen(const char* name, ScreenSetup setup, KeyHandler keyHandler);
Screen* guiFindScreen(const char* name);
void guiBeginScreenDefinition(const char* name);
void guiRunScreenSetup(const char* name);
void guiGotoScreen(const char* name);
void guiCleanUpScreen();
