// Saving a canvas or the screen as a PCX file. See canvas.h.
//
// Each kind of save takes its PCX header and palette from a picture of the
// data tree, loaded on first use and kept for the run. Screenshots are
// numbered after the highest one already in their folder, so a new run
// never writes over the pictures of an earlier one.
#include "system/canvas.h"

#include "platform/files.h"
#include "system/display.h"
#include "system/res/pcx.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kSaveHeaderPath = "zqk\\resource\\art\\klvstd.pcx";
constexpr const char* kShotHeaderPath = "zqk\\resource\\art\\screens\\header.pcx";
constexpr const char* kShotFolder = "zqk\\resource\\art\\screens";
constexpr const char* kShotNameFormat = "zqk\\resource\\art\\screens\\t%05ld.pcx";

PcxImage* gSaveHeader = nullptr;
PcxImage* gShotHeader = nullptr;
long gNextShot = -1; // not yet counted

bool WriteCanvas(const PcxImage* header, const Canvas& canvas, const char* path)
{
    if (!canvas.pixels || canvas.rowLength <= 0 || canvas.height <= 0)
        return false;
    PcxImage* image =
        PcxFromPixels(header, kPcxPacked, canvas.pixels, canvas.rowLength, canvas.height, header->palette);
    if (!image)
        return false;
    const bool written = PcxSave(path, image);
    PcxFree(image);
    return written;
}

// The number of a screenshot file name ("t" + digits + ".pcx", any case),
// or -1.
long ShotNumber(const std::string& name)
{
    if (name.size() < 6 || (name[0] != 't' && name[0] != 'T'))
        return -1;
    const std::size_t dot = name.size() - 4;
    if (!platform::SameNameIgnoringCase(name.substr(dot), ".pcx"))
        return -1;
    long number = 0;
    for (std::size_t i = 1; i < dot; ++i) {
        if (name[i] < '0' || name[i] > '9' || number > 100'000'000)
            return -1;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

// One past the highest screenshot number in the folder (0 when none).
long FirstFreeShot()
{
    std::string folder;
    if (!platform::ResolveDataPath(kShotFolder, folder))
        return 0;
    long next = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const long number = ShotNumber(entry.path().filename().string());
        if (number >= next)
            next = number + 1;
    }
    return next;
}

bool ShotHeaderLoaded()
{
    if (!gShotHeader)
        gShotHeader = PcxLoad(kShotHeaderPath);
    return gShotHeader != nullptr;
}

} // namespace

bool CanvasSavePcx(const Canvas& canvas, const char* fileName)
{
    if (!gSaveHeader)
        gSaveHeader = PcxLoad(kSaveHeaderPath);
    if (!gSaveHeader || !fileName)
        return false;
    return WriteCanvas(gSaveHeader, canvas, fileName);
}

bool SaveScreenshotAs(const Canvas& screen, const char* path)
{
    if (!ShotHeaderLoaded() || !path)
        return false;
    const PaletteEntry* palette = DisplayLastPalette();
    for (int i = 0; i < kPaletteEntries; ++i) {
        gShotHeader->palette[3 * i] = palette[i].red;
        gShotHeader->palette[3 * i + 1] = palette[i].green;
        gShotHeader->palette[3 * i + 2] = palette[i].blue;
    }
    return WriteCanvas(gShotHeader, screen, path);
}

bool SaveScreenshot(const Canvas& screen)
{
    // No number is taken when no shot can be written.
    if (!ShotHeaderLoaded())
        return false;
    if (gNextShot < 0)
        gNextShot = FirstFreeShot();
    char path[64];
    std::snprintf(path, sizeof path, kShotNameFormat, gNextShot);
    const bool written = SaveScreenshotAs(screen, path);
    ++gNextShot;
    return written;
}

void ResetCanvasSaving()
{
    PcxFree(gSaveHeader);
    PcxFree(gShotHeader);
    gSaveHeader = gShotHeader = nullptr;
    gNextShot = -1;
}
