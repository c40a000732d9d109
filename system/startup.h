// Start-up and shutdown of the game: StartGame brings every subsystem up
// once the main window exists; ShutDown releases the platform when the loop
// ends; a file dropped on the window goes to HandleDroppedFile.
//
// Today only the shell exists: the subsystems that start-up brings up are
// being built, and StartGame reports success without starting them.
#pragma once

#include <cstdint>

// 0 when the program must end, -1 otherwise.
int StartGame();
void ShutDown();
void HandleDroppedFile(const char* path);

extern uint8_t gLoadingScreenUp; // on while start-up shows the loading screen
