// Fuzz target: the drive table read from $KELVANDRIST_DRIVES, and data paths
// on every drive letter resolved through it.
#include "platform/files.h"
#include "platform/host.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string standard = std::getenv("KELVANDRIST_DRIVES") ? std::getenv("KELVANDRIST_DRIVES") : "";
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0')); // the environment holds C strings
    ::setenv("KELVANDRIST_DRIVES", text.c_str(), 1);
    platform::ResetDrives();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        std::string root, real;
        if (platform::DriveRoot(letter, root) == (platform::QueryDriveType(letter) == platform::DriveType::NoRootDir))
            __builtin_trap(); // a letter has a folder exactly when it has a type
        std::string path = std::string(1, letter) + ":\\video\\b01.smk";
        platform::ResolveDataPath(path.c_str(), real);
    }
    ::setenv("KELVANDRIST_DRIVES", standard.c_str(), 1);
    platform::ResetDrives();
    return 0;
}
