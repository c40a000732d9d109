// Shared set-up for the resource tests: a temporary data tree that becomes
// the working folder, helpers to write files into it, and hooks that record
// message boxes and fatal stops instead of ending the test program.
#pragma once

#include "platform/files.h"
#include "system/errors.h"
#include "system/res/slab.h"
#include "system/settings.h"
#include "tests/support/scratch_folder.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace restest {

inline std::vector<std::string> gMessages; // "title: text" of each message box
inline std::vector<std::string> gFatals;

inline void RecordMessage(const char* text, const char* title)
{
    gMessages.push_back(std::string(title) + ": " + text);
}
inline void RecordFatal(const char* text) { gFatals.push_back(text); }

inline std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class DataTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(root / "zqk/resource");
        savedSettings = gSettings;
        gMessages.clear();
        gFatals.clear();
        oldBox = SetMessageBoxHook(RecordMessage);
        oldFatal = SetFatalStopHook(RecordFatal);
    }
    void TearDown() override
    {
        SetMessageBoxHook(oldBox);
        SetFatalStopHook(oldFatal);
        gSettings = savedSettings;
    }

    // Writes a file below the data root; `path` uses '\' like the game's names.
    void Write(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::string local = path;
        for (char& c : local)
            if (c == '\\')
                c = '/';
        std::filesystem::path full = root / local;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void Write(const std::string& path, const std::string& text) { Write(path, Bytes(text)); }

    void WriteSlab(const char* library, const std::vector<SlabPackItem>& items)
    {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(SlabBuild(items, bytes));
        Write(SlabLibraryPath(library), bytes);
    }

    ScratchFolder scratch{"res", true}; // the working folder while the test runs
    const std::filesystem::path& root = scratch.Path();
    Settings savedSettings;
    MessageBoxHook oldBox = nullptr;
    FatalStopHook oldFatal = nullptr;
};

inline std::string ReadAll(std::FILE* file, uint32_t size)
{
    std::string text(size, '\0');
    text.resize(std::fread(text.data(), 1, size, file));
    return text;
}

} // namespace restest

namespace restest {

// A PCX file built field by field from the format's header table: 8 bits,
// one plane, window (0, 0)-(width-1, height-1), the given bytes per line and
// body, then 12 and a palette where entry i is (i, 255 - i, i / 2).
inline std::vector<uint8_t> PcxFile(int width, int height, int bytesPerLine, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> f(128 + body.size(), 0);
    std::copy(body.begin(), body.end(), f.begin() + 128);
    f[0] = 10;
    f[1] = 5;
    f[2] = 1;
    f[3] = 8;
    auto put16 = [&f](std::size_t at, int v) {
        f[at] = static_cast<uint8_t>(v);
        f[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(8, width - 1);
    put16(10, height - 1);
    f[65] = 1;
    put16(66, bytesPerLine);
    f.push_back(12);
    for (int i = 0; i < 256; ++i) {
        f.push_back(static_cast<uint8_t>(i));
        f.push_back(static_cast<uint8_t>(255 - i));
        f.push_back(static_cast<uint8_t>(i / 2));
    }
    return f;
}

// An uncompressed PCX body: every pixel below 0xC0 stands for itself.
inline std::vector<uint8_t> PcxPlainBody(int width, int height, uint8_t (*pixel)(int x, int y))
{
    std::vector<uint8_t> body;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t v = pixel(x, y);
            if (v >= 0xC0)
                body.push_back(0xC1);
            body.push_back(v);
        }
    return body;
}

} // namespace restest
