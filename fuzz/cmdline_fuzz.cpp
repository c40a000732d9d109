// Fuzz target: command-line splitting and the switches. The input is a
// command line; its words must be non-empty and free of separators, and
// applying them sets only what switches set, whatever the words are.
#include "system/display.h"
#include "system/settings.h"
#include "system/switches.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view line(reinterpret_cast<const char*>(data), size);
    line = line.substr(0, line.find('\0')); // a command line is a C string
    const std::vector<std::string> words = SplitCommandLine(line);
    for (const std::string& word : words)
        if (word.empty() || word.find_first_of(", ") != std::string::npos)
            __builtin_trap();

    const Settings savedSettings = gSettings;
    const DisplayDriver* savedDriver = gDisplayDriver;
    const FilmPlayer savedFilm = gFilmPlayer;
    ApplyCommandLine(words);
    for (const std::string& word : words)
        ApplySwitch(word.c_str());
    gSettings = savedSettings;
    gDisplayDriver = savedDriver;
    gFilmPlayer = savedFilm;
    return 0;
}
