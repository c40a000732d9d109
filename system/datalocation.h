// Where the game's data lies: the CD-ROM drives, the video and speech
// folders (moved to the game's disc when it holds them), the data folder,
// and a few thin platform services beside them.
#pragma once

#include "platform/host.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct CdDriveList {
    std::array<char, 26> letters{}; // A to Z order
    int count = 0;
    char first = 0; // 0 when there is none
};
extern CdDriveList gCdDrives;

extern std::string gVideoFolder;  // "zqk\resource\video" until moved to the disc
extern std::string gSpeechFolder; // "zqk\resource\text\audio" until moved

struct DataFolder {
    std::string folder;
    platform::VolumeInfo volume;
};
extern DataFolder gDataFolder;

// Rebuilds the CD-ROM drive list; returns the first such letter (0: none).
char FindCdDrives();
// Moves the video and speech folders to the drive that the installation
// recorded, when its disc holds the films; 1 when they were moved.
int LocateVideoFolder();
// Remembers the folder, makes it the current directory and reads its
// volume information. False when the folder cannot be entered.
bool SetDataDirectory(const char* folder);
// Available physical memory plus available swap, in bytes.
uint64_t GetFreeMemory();
// A block of the given size that lives until FreeGlobal.
void* AllocGlobal(std::size_t size);
void FreeGlobal(void* block);
// Releases force feedback and closes the display.
void ShutdownPlatform();

// The registry key and the film that prove a disc is the game's.
constexpr const char* kInstallKey = "SOFTWARE\\Quorvane\\Vorn";
