// The table of named screens and the switch between them.
#pragma once

#include <cstdint>
#include "system/frameloop.h"

struct Screen;

using ScreenSetup = void (*)();

void guiRegisterScreen(const char* name, ScreenSetup setup, KeyHandler keyHandler);
Screen* guiFindScreen(const char* name);
void guiBeginScreenDefinition(const char* name);
void guiRunScreenSetup(const char* name);
void guiGotoScreen(const char* name);
void guiCleanUpScreen();
