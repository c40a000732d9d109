// The main window: its classes, its creation and its window procedures,
// which turn keyboard and mouse messages into the input queues (input.h)
// and handle painting, activation, palette messages and dropped files.
#pragma once

#include "platform/window.h"

#include <cstdint>

using WindowMessage = platform::WindowMessage;
using WindowProcedure = intptr_t (*)(const WindowMessage& message);

// Where a single file dropped on the main window goes (its name cut to 80
// characters). The program's top sets it as start-up begins; while null a
// drop is ignored.
using DroppedFileHandler = void (*)(const char* path);
extern DroppedFileHandler gDroppedFileHandler;

// Registers "MainWindow" (the early procedure) and "GameWindow" (the main
// procedure); returns the second registration's result.
bool RegisterWindowClasses();

// Opens the main window, captioned "Vorn": loads the cursors and shows the
// cross-hair, starts the frame clock, clears the mouse counters. Full screen
// captures the mouse. Returns false when no window could be made.
bool CreateMainWindow(int showCommand);

// The two procedures. The early one hands everything to the main one once
// the display is full screen or the window is marked as created.
intptr_t EarlyWindowProc(const WindowMessage& message);
intptr_t MainWindowProc(const WindowMessage& message);

// Runs a message through the main window's class procedure.
intptr_t DispatchWindowMessage(const WindowMessage& message);

// Cursors loaded with the window.
enum class CursorShape : uint8_t {
    CrossHair,
    Hourglass,
    Arrow
};
void SelectCursor(CursorShape shape);
void ShowMainCursor(bool show);

extern uint8_t gWindowCreated; // set by the main procedure's create message
