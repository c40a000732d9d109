// A call recorder for tests: modules that stand in for ones not yet built
// record each call by name, so a test can check which calls a frame made and
// in what order. Recording is off unless a test turns it on, so a running
// game never grows the record.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Appends the name (a string literal: only the pointer is kept) while on.
void RecordCall(const char* name);

void EnableCallTrace(bool on);
void ClearCallTrace();

// The names recorded since the last clear, oldest first.
std::vector<std::string> RecordedCalls();
std::size_t CountRecordedCalls(const char* name);
