// Halvenset, the install-check library the product's installer loads: a
// test for a previous installation, the graphics runtime's check and
// install, and the offer of the introduction film.
//
// The library keeps no state between calls and knows nothing of the game.
// Everything it needs of the system (message boxes, the focus window, the
// registry, starting a program, the graphics runtime's setup library and
// a restart) goes through one table of host operations, so the dialogues
// and their order can be checked against a fake host. The default table is
// the POSIX realisation in posix_host.cpp.
//
// Only the three entry points leave the shared library (halvenset.map).
// Texts and captions are code page 1252 bytes; a host converts them only
// to show them.
#pragma once

#include <cstdint>

namespace halvenset {

// Buttons of a message box and the answers a host gives back.
enum class Buttons : uint8_t {
    Ok,
    YesNo
};
enum class Answer : uint8_t {
    Ok,
    Yes,
    No
};

// Registry access for reading a key (query value, enumerate, notify, read
// control).
constexpr uint32_t kKeyRead = 0x20019;
// The graphics runtime installer's flags: core components, display drivers
// and sound drivers.
constexpr uint32_t kRuntimeInstallFlags = 0x10018;
// The first runtime version that needs no install.
constexpr uint32_t kRuntimeVersionNeeded = 0x40005;
// How long the installer's thread waits for the film player, in ms.
constexpr uint32_t kFilmWaitMs = 1800000;
// Where the film player's window opens.
constexpr int kFilmWindowX = 8;
constexpr int kFilmWindowY = 8;
// The reboot flag of a restart request.
constexpr uint32_t kRestartReboot = 2;

// The host's operations. Every entry is set; a call never throws.
struct Host {
    // A modal box owned by `owner` (may be null). With YesNo the answer is
    // Yes or No; with Ok it is Ok. A host that cannot ask answers No.
    Answer (*messageBox)(void* owner, const char* text, const char* caption, Buttons buttons);
    // The window that has the keyboard focus, or null.
    void* (*focusWindow)();
    // Opens `key` under HKEY_LOCAL_MACHINE with `access`; true and a handle
    // for closeKey when it exists and may be read.
    bool (*openKey)(const char* key, uint32_t access, uintptr_t* handle);
    void (*closeKey)(uintptr_t handle);
    // Starts the program at `path` (one argument: no shell, no splitting at
    // blanks) with its window at (x, y), and waits for it to end for at most
    // `timeoutMs`. False when it could not be started.
    bool (*startAndWait)(const char* path, int x, int y, uint32_t timeoutMs);
    // The graphics runtime's installed version; false when the query fails.
    bool (*queryRuntimeVersion)(uint32_t* version);
    // Installs the graphics runtime: negative is an error code, 0 nothing
    // was done, 1 installed and a restart is needed.
    int32_t (*installRuntime)(void* window, const char* folder, uint32_t flags);
    // Asks the system to restart (`flags` kRestartReboot, `reserved` 0).
    void (*requestRestart)(uint32_t flags, uint32_t reserved);
};

// Installs `host` (null: the default) and returns the table it replaces.
const Host* SetHost(const Host* host);
// The POSIX realisation.
const Host& PosixHost();

// How many restarts the POSIX host was asked for: it records them and never
// restarts the machine.
int PosixRestartRequests();

} // namespace halvenset

// The entry points. Each takes five words and answers 1 or 0 in its low
// byte (the upper bytes are 0).
extern "C" {
// Offers the introduction film from `folder` (which ends in a slash);
// answers 1.
uint32_t PlayIntroMovie(uintptr_t window, uintptr_t folder, uintptr_t arg3, uintptr_t arg4, uintptr_t arg5);
// 1: go on installing; 0: a previous installation was found and the user
// declined to reinstall (the film is still offered).
uint32_t Halvenset(uintptr_t window, uintptr_t folder, uintptr_t arg3, uintptr_t arg4, uintptr_t arg5);
// 1: go on; 0: the runtime was installed and needs a restart.
uint32_t DirectXInstall(uintptr_t window, uintptr_t folder, uintptr_t arg3, uintptr_t arg4, uintptr_t arg5);
}
