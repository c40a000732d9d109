// Data files on a case-sensitive file system.
//
// The game's data was written for a file system that ignores case and
// separates folders with '\'. Every data file the system opens goes through
// here: '\' becomes '/', and when a path component does not exist exactly,
// the folder is searched for a name that differs only in the case of ASCII
// letters. A leading drive letter ("E:\video") names the host folder that
// the drive maps to (host.h). This module knows nothing of what the files
// contain.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// Turns a data path into the path of an existing file or folder: separators
// translated, each missing component matched case-insensitively. Returns
// false (and leaves `out` with the translated but unmatched path) when some
// component has no match. An empty path fails.
bool ResolveDataPath(const char* path, std::string& out);

// fopen through ResolveDataPath. When the file does not exist and the mode
// creates one ("w" or "a"), the folders are resolved and the last component
// keeps the caller's spelling.
std::FILE* OpenDataFile(const char* path, const char* mode);

// True when the path names an existing regular file.
bool DataFileExists(const char* path);

// Removes a file named by a data path; true on success.
bool RemoveDataFile(const char* path);

// Writes a whole file so that a crash mid-write loses nothing: the bytes go
// to a temporary file beside the target, which is then renamed over it.
bool WriteFileAtomically(const char* path, const void* data, std::size_t size);

// Reads a whole file named by a data path; false when it cannot be opened.
bool ReadWholeFile(const char* path, std::string& out);

// True when two names differ at most in the case of ASCII letters, the rule
// by which the game's names (files, sections, keys) are compared.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

} // namespace platform
