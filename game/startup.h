// Start-up and shutdown of the game: StartGame brings every subsystem up
// once the main window exists; ShutDown releases the platform when the loop
// ends; a file dropped on the window goes to HandleDroppedFile; and the
// mission routines that scripts use.
//
#pragma once

#include <cstdint>

struct Matrix4;
struct Vector3;

// 0 when the program must end, -1 otherwise. It begins with
// ConnectLowerLayers.
int StartGame();
// The full start-up, after the common part: configuration, language and
// key scripts, the loading screen, the screens, and the front end or the
// command-line mission. StartGame runs it unless the introduction plays;
// the end of a demo's introduction runs it then. 0 when the program must
// end, -1 otherwise.
int StartFullGame();
// Sets the hooks through which the subsystems below reach the top: the
// loading screen's message pump (PumpMessages), the main window's dropped
// file (HandleDroppedFile) and the launch's start of flight (StartFlight).
void ConnectLowerLayers();
void ShutDown();
void HandleDroppedFile(const char* path);

// Ends a mission and returns to the front end; the frame runs it when the
// end-of-mission request is on. A mission named on the command line ends
// the program after it; in demo mode the end picture waits for a key.
void ShowEndScreen();

// The common set-up at the start of flight in a mission: the mission runs,
// the cockpit HUD is built, the log cleared and the engine sounds started.
void StartFlight();

// Turns the matrix's axes to face the target: row 2 forward, row 0 forward
// x (0, -1, 0), row 1 forward x row 0. Facing straight up or down the side
// axis comes from world X instead; on the target itself the matrix is kept
// and the result is false.
bool LookAtTarget(Matrix4& matrix, const Vector3& own, const Vector3& target);

// The mission number of a mission script's name: the two characters six
// before its end, 0 when they are no number in 0..99.
int32_t StartupMissionNumber(const char* name);

// Compiles the named script and runs it whole; false when it cannot be
// opened.
bool RunScriptFile(const char* name);

// When the video folder lacks "navarmin.smk", it moves to the first CD-ROM
// drive (its letter replaced, or the letter and ':' put in front); with no
// drive it stays.
void CheckVideoFolder();

// Fills the UI's font slots from the font symbols ("RFont" ... "VFont";
// not the A2 fonts in demo mode): each symbol's font resource, loaded when
// it is not yet; a missing symbol, or one that holds no resource, leaves its
// slot empty. "BFont" also becomes the message log's font.
void TakeFontSlots();

// The "fontmake" step: the small bitmap font built from the glyph pictures
// in "zqk\resource\fonts\smallfnt" is written as
// "zqk\resource\fonts\tiny.fnt"; false (after a debug line) when it cannot
// be written.
bool MakeTinyFont();

// The loading screen: "loadscrn.pcx" with its palette and the build date,
// presented (into both buffers in full screen).
void ShowLoadingScreen();

// The environment variable that keeps the loading screen up for a number
// of milliseconds (messages pumped meanwhile), so that a test watching the
// real window sees it however busy the machine is. Unset, start-up goes on
// at once.
constexpr const char* kLoadingHoldVariable = "KELVANDRIST_LOADING_HOLD_MS";
