// Data location and platform services. See datalocation.h.
#include "system/datalocation.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "system/display.h"

#include <cstdio>
#include <cstdlib>

CdDriveList gCdDrives;
std::string gVideoFolder = "zqk\\resource\\video";
std::string gSpeechFolder = "zqk\\resource\\text\\audio";
DataFolder gDataFolder;

namespace {
constexpr std::size_t kRegistryValueLength = 256;
}

char FindCdDrives()
{
    gCdDrives = CdDriveList{};
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (platform::QueryDriveType(letter) == platform::DriveType::CdRom)
            gCdDrives.letters[static_cast<std::size_t>(gCdDrives.count++)] = letter;
    gCdDrives.first = gCdDrives.count ? gCdDrives.letters[0] : 0;
    return gCdDrives.first;
}

int LocateVideoFolder()
{
    if (!platform::RegistryKeyExists(nullptr, kInstallKey))
        return 0;
    std::string value;
    if (platform::RegistryQueryString(nullptr, kInstallKey, nullptr, value) != platform::RegistryResult::Ok)
        return 0;
    if (value.size() > kRegistryValueLength - 1)
        value.resize(kRegistryValueLength - 1);
    if (value.size() < 2 || value[1] != ':')
        return 0;
    std::string folder = "D:\\video";
    folder[0] = value[0];
    std::FILE* film = platform::OpenDataFile((folder + "\\b01.smk").c_str(), "rb");
    if (!film)
        return 0;
    std::fclose(film);
    gVideoFolder = folder;
    gSpeechFolder = folder.substr(0, 3) + "audio";
    return 1;
}

bool SetDataDirectory(const char* folder)
{
    if (!folder)
        return false;
    std::string real;
    if (!platform::ResolveDataPath(folder, real) || !platform::SetCurrentDirectory(real.c_str()))
        return false;
    gDataFolder.folder = folder;
    gDataFolder.volume = platform::VolumeInfo{};
    platform::QueryVolumeInfo(".", gDataFolder.volume);
    return true;
}

uint64_t GetFreeMemory()
{
    platform::MemoryStatus status = platform::QueryMemoryStatus();
    return status.availablePhysical + status.availablePageFile;
}

void* AllocGlobal(std::size_t size)
{
    return std::malloc(size ? size : 1);
}

void FreeGlobal(void* block)
{
    std::free(block);
}

void ShutdownPlatform()
{
    // Force feedback, when there is a device, is released before the display.
    DisplayClose();
}
