// The program's entry: the single-instance guard, the command line, the
// display choice, the main window, then start-up and the frame loop.
#pragma once

// Runs the whole program on a command line of words separated by commas and
// blanks. Returns the exit code: 0 when a second instance stops at once.
int WinMain(const char* commandLine, int showCommand);

// The name of the single-instance lock.
constexpr const char* kInstanceLockName = "VornMutex";
