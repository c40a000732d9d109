// Script files: from a bare script name to an open file, and the store of
// full file names that line markers and script messages refer to.
//
// The folder of a bare name follows from its extension (".scr" missions,
// ".shp" ships, ...); names that start with "zqk\" or a drive are taken as
// they stand. Names are recorded in a 2,000-byte store and referred to by
// their offset in it; offset 0 holds the empty name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

constexpr uint32_t kScriptNameStoreSize = 2000;

struct ScriptNameStore {
    char bytes[kScriptNameStoreSize];
    uint32_t cursor;  // next free byte
    uint32_t current; // offset of the current file's full name
};
extern ScriptNameStore gScriptNames;

// The name recorded at an offset ("" for offsets outside the store).
const char* ScriptNameAt(uint32_t offset);
inline const char* CurrentScriptFileName() { return ScriptNameAt(gScriptNames.current); }

// The path a script name stands for: folder by extension, or the name itself.
std::string ScriptFilePath(const char* name);

// Scripts are small text files; one larger than this is refused unread.
constexpr uint32_t kScriptFileMaxBytes = 4u << 20;

// Records the full name, makes it the current file name and opens the
// script inside the "scripts" library, or else the loose file, at its first
// byte; its size in bytes goes to *size. Null when neither opens; a script
// that is there but refused (not a regular file, unreadable, too large) or
// empty is named on the debug output with the reason.
std::FILE* OpenScriptFile(const char* name, long* size);

// Why a script cannot be compiled: null when it opens and holds 1 to
// kScriptFileMaxBytes bytes; else platform::kDataFileNotFound, "empty" or
// the reason it was refused. Records no name.
const char* ScriptFileFailure(const char* name);

// After a script the caller needs did not open: names it when it was not
// found (OpenScriptFile keeps that quiet, as most lookups are optional, and
// names every other failure itself).
void ReportScriptIfNotFound(const char* name);

void ResetScriptNameStore();
void MarkScriptNameStore();
void RollBackScriptNameStore();
