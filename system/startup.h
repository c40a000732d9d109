// Start-up and shutdown of the game: StartGame brings every subsystem up
// once the main window exists; ShutDown releases the platform when the loop
// ends; a file dropped on the window goes to HandleDroppedFile; and the
// mission routines that scripts use.
//
// Today only the shell exists: of the subsystems that start-up brings up,
// StartGame starts sound (and the joystick); the rest are being built.
#pragma once

#include <cstdint>

// 0 when the program must end, -1 otherwise.
int StartGame();
void ShutDown();
void HandleDroppedFile(const char* path);

// Ends a mission and returns to the front end; the frame runs it when the
// end-of-mission request is on. Until the mission routines land, it clears
// the request (its first step), records the call and releases the
// mission's sounds.
void ShowEndScreen();

// Ends the flight view for the mission's close: the external camera with
// the director on the player's ship.
void EnterExternalCamera();

extern uint8_t gLoadingScreenUp; // on while start-up shows the loading screen
