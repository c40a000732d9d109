// The resource loaders: each reads its file, checks it, and fills the pool
// block the resource manager hands it. See loaders.h.
#include "system/res/loaders.h"

#include "platform/files.h"
#include "system/errors.h"
#include "system/raster.h"
#include "system/res/font.h"
#include "system/res/iff.h"
#include "system/res/pcx.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/wav.h"
#include "view/lwoloader.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

std::FILE* OpenLoose(const char* name) { return platform::OpenDataFile(platform::SkipLeadingSeparator(name), "rb"); }

int32_t SizeOrZero(std::size_t size) { return size < INT32_MAX ? static_cast<int32_t>(size) : 0; }

// The palette read by the palette loaders goes into the block as a game palette.
GamePalette* PaletteBlock(std::span<uint8_t> block)
{
    return block.size() >= sizeof(GamePalette) ? reinterpret_cast<GamePalette*>(block.data()) : nullptr;
}

Raster* RasterBlock(std::span<uint8_t> block, int width, int height)
{
    if (block.size() < RasterBlockSize(static_cast<std::size_t>(width), static_cast<std::size_t>(height)))
        return nullptr;
    auto* raster = reinterpret_cast<Raster*>(block.data());
    raster->pixels = block.data() + sizeof(Raster);
    raster->width = static_cast<int16_t>(width);
    raster->height = static_cast<int16_t>(height);
    raster->xOffset = 0;
    raster->yOffset = 0;
    return raster;
}

constexpr int kMaxRasterSide = 0x7FFF; // widths and heights are i16 in the header

} // namespace

bool ResReadFile(const char* name, std::vector<uint8_t>& out, std::size_t limit)
{
    out.clear();
    return name && platform::ReadWholeFile(platform::SkipLeadingSeparator(name), out, limit);
}

long ResFileLength(const char* name)
{
    std::FILE* f = name ? OpenLoose(name) : nullptr;
    if (!f)
        return -1;
    long length = platform::FileLength(f);
    std::fclose(f);
    return length;
}

// --- IFF ------------------------------------------------------------------

int32_t IffRasterSize(const char* name)
{
    std::vector<uint8_t> file;
    IffPicture pic;
    if (!ResReadFile(name, file) || !IffParse(file, &pic, {}, nullptr) || !pic.hasBody ||
        pic.width > kMaxRasterSide || pic.height > kMaxRasterSide)
        return 0;
    return SizeOrZero(RasterBlockSize(static_cast<std::size_t>(pic.width), static_cast<std::size_t>(pic.height)));
}

void* IffRasterLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    std::vector<uint8_t> file;
    IffPicture pic;
    if (!ResReadFile(name, file) || !IffParse(file, &pic, {}, nullptr) || !pic.hasBody ||
        pic.width > kMaxRasterSide || pic.height > kMaxRasterSide)
        return nullptr;
    Raster* raster = RasterBlock(block, pic.width, pic.height);
    if (!raster)
        return nullptr;
    std::span<uint8_t> pixels(raster->pixels, static_cast<std::size_t>(pic.width) * pic.height);
    if (!IffParse(file, &pic, pixels, nullptr))
        return nullptr;
    raster->xOffset = static_cast<int16_t>(pic.xOffset);
    raster->yOffset = static_cast<int16_t>(pic.yOffset);
    *resultSize = SizeOrZero(RasterBlockSize(static_cast<std::size_t>(pic.width), static_cast<std::size_t>(pic.height)));
    return raster;
}

void* IffPaletteLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    std::vector<uint8_t> file;
    GamePalette* palette = PaletteBlock(block);
    IffPicture pic;
    if (!palette || !ResReadFile(name, file) || !IffParse(file, &pic, {}, palette) || !pic.hasPalette)
        return nullptr;
    *resultSize = sizeof(GamePalette);
    return palette;
}

// --- PCX ------------------------------------------------------------------

void* PcxRasterLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    // Pictures are screen-sized art; one far larger is never read whole.
    constexpr std::size_t kRasterFileMaxBytes = 16u << 20;
    std::vector<uint8_t> file;
    PcxInfo info;
    if (!ResReadFile(name, file, kRasterFileMaxBytes)) {
        // Callers probe for optional pictures: only one that is there is named.
        if (std::strcmp(platform::DataFileFailure(), platform::kDataFileNotFound) != 0)
            ReportDataFileFailure(name, platform::DataFileFailure());
        return nullptr;
    }
    if (!PcxReadInfo(file, &info) || info.width > kMaxRasterSide || info.height > kMaxRasterSide) {
        ReportDataFileFailure(name, "not a PCX picture");
        return nullptr;
    }
    Raster* raster = RasterBlock(block, info.width, info.height);
    if (!raster)
        return nullptr;
    PcxDecodeBody(file, info, raster->pixels, info.width, info.width, info.height);
    *resultSize = SizeOrZero(RasterBlockSize(static_cast<std::size_t>(info.width), static_cast<std::size_t>(info.height)));
    return raster;
}

void* PcxPaletteLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    std::vector<uint8_t> file;
    GamePalette* palette = PaletteBlock(block);
    if (!palette || !ResReadFile(name, file) || !PcxReadPalette(file, palette))
        return nullptr;
    *resultSize = sizeof(GamePalette);
    return palette;
}

bool PcxDecodeFile(const char* name, uint8_t* pixels, int maxWidth, int maxHeight, GamePalette* palette,
                   int* width, int* height)
{
    std::vector<uint8_t> file;
    PcxInfo info;
    if (!ResReadFile(name, file) || !PcxReadInfo(file, &info))
        return false;
    *width = info.width < maxWidth ? info.width : maxWidth;
    *height = info.height < maxHeight ? info.height : maxHeight;
    PcxDecodeBody(file, info, pixels, *width, *width, *height);
    if (palette)
        PcxReadPalette(file, palette);
    return true;
}

bool DecodeScreenPicture(const char* name, uint8_t* pixels, int width, int height, GamePalette* palette,
                         bool* withPalette)
{
    *withPalette = false;
    std::vector<uint8_t> file;
    PcxInfo info{};
    if (!ResReadFile(name, file, kScreenPictureMaxBytes)) {
        ReportDataFileFailure(name, platform::DataFileFailure());
        return false;
    }
    if (!PcxReadInfo(file, &info)) {
        ReportDataFileFailure(name, "not a PCX picture");
        return false;
    }
    PcxDecodeBody(file, info, pixels, width, width, height);
    *withPalette = PcxReadPalette(file, palette);
    if (!*withPalette)
        ReportDataFileFailure(name, "truncated: no palette at its end");
    return true;
}

// --- Colour maps ----------------------------------------------------------

void* ColourMapLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    std::FILE* f = block.size() >= kColourMapSize ? OpenLoose(name) : nullptr;
    if (!f)
        return nullptr;
    bool ok = std::fread(block.data(), 1, kColourMapSize, f) == kColourMapSize;
    std::fclose(f);
    if (!ok)
        return nullptr;
    *resultSize = static_cast<int32_t>(kColourMapSize);
    return block.data();
}

bool ColourMapSave(const char* name, std::span<const uint8_t> map)
{
    return map.size() == kColourMapSize && platform::WriteFileAtomically(name, map.data(), map.size());
}

// --- Fonts ----------------------------------------------------------------

namespace {

constexpr const char* kSmallFont = "zqk\\resource\\fonts\\fsmall.fon";
constexpr const char* kSmallFontIcon = "zqk\\resource\\art\\icons\\b.bbm";
constexpr unsigned kSmallFontIconChar = 223;
constexpr std::size_t kSpareRaster = (sizeof(Raster) + 7) & ~std::size_t{7};

// A bitmap font of 256 glyphs of up to 64 x 64 pixels with its headers is
// about a megabyte; four times that is read.
constexpr std::size_t kFontFileMaxBytes = 4u << 20;

int32_t FontSizeOf(const char* name, FontFile kind)
{
    std::vector<uint8_t> file;
    if (!ResReadFile(name, file, kFontFileMaxBytes))
        return 0;
    std::size_t size = FontBuildSize(file, kind);
    // A ".fon" block keeps room for one glyph header of its own (the icon
    // that the small font shows for character 223).
    return size ? SizeOrZero(size + (kind == FontFile::Fon ? kSpareRaster : 0)) : 0;
}

// A font that cannot be read or built is named with why: the text it was
// meant for then goes undrawn.
RasterFont* FontLoad(const char* name, FontFile kind, std::span<uint8_t> block, int32_t* resultSize)
{
    std::vector<uint8_t> file;
    if (!ResReadFile(name, file, kFontFileMaxBytes)) {
        ReportDataFileFailure(name, platform::DataFileFailure());
        return nullptr;
    }
    RasterFont* font = FontBuild(file, kind, block);
    if (font)
        *resultSize = SizeOrZero(FontBuildSize(file, kind));
    else
        ReportDataFileFailure(name, "truncated or not a font");
    return font;
}

} // namespace

int32_t FntFontSize(const char* name) { return FontSizeOf(name, FontFile::Fnt); }

void* FntFontLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    return FontLoad(name, FontFile::Fnt, block, resultSize);
}

int32_t FonFontSize(const char* name) { return FontSizeOf(name, FontFile::Fon); }

void* FonFontLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    // A file whose size could not be measured got no block: it is still
    // named with why.
    if (block.size() < kSpareRaster)
        return FontLoad(name, FontFile::Fon, {}, resultSize);
    RasterFont* font = FontLoad(name, FontFile::Fon, block.first(block.size() - kSpareRaster), resultSize);
    if (font && platform::SameDataPath(platform::SkipLeadingSeparator(name), kSmallFont)) {
        // The small font shows an icon for character 223: a copy of the
        // icon's header, so the shared picture itself is never changed.
        Resource* icon = ResRegisterLoad(kSmallFontIcon, ResType::LbmRaster);
        if (const auto* picture = static_cast<const Raster*>(ResGet(icon))) {
            auto* glyph = reinterpret_cast<Raster*>(block.data() + block.size() - kSpareRaster);
            *glyph = *picture;
            glyph->yOffset = static_cast<int16_t>(glyph->yOffset - 1);
            font->glyphs[kSmallFontIconChar] = glyph;
            font->widths[kSmallFontIconChar] = static_cast<int16_t>(glyph->width + 1);
        }
    }
    return font;
}

int32_t VectorFontSize(const char* name) { return static_cast<int32_t>(kVectorFontBlockSize); }

void* VectorFontLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    std::vector<uint8_t> text;
    if (!ResReadFile(name, text, 1u << 20))
        return nullptr;
    StrokeFont* font = VectorFontBuild(text, block);
    if (font)
        *resultSize = static_cast<int32_t>(block.size());
    return font;
}

// --- Texts ----------------------------------------------------------------

int32_t TextFileSize(const char* name)
{
    long length = ResFileLength(name);
    return length >= 0 && length < INT32_MAX ? static_cast<int32_t>(length) + 1 : 1;
}

void* TextLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    std::FILE* f = block.empty() ? nullptr : OpenLoose(name);
    if (!f)
        return nullptr;
    std::size_t n = std::fread(block.data(), 1, block.size() - 1, f);
    std::fclose(f);
    block[n] = 0;
    *resultSize = static_cast<int32_t>(n + 1);
    return block.data();
}

// --- Sounds ---------------------------------------------------------------

// A sound resource is one sound slot (system/sound.h): the block holds the
// slot, whose buffer the sound module loads from the file. The sound module
// releases the buffer (a mission's sounds at the end screen) before the
// resource manager takes the block back.
int32_t SoundSize(const char* name)
{
    WavFile* file;
    WaveFormat* format;
    RiffChunk riff, data;
    if (WavOpen(name, &file, &format, &riff) != kWavOk)
        return 0;
    // A file whose data ends early has nothing to load.
    int32_t size = 0;
    if (WavFindData(file, &data, &riff) == kWavOk && WavDataInFile(file, &data))
        size = static_cast<int32_t>(sizeof(SoundSlot));
    WavClose(file, format);
    return size;
}

void* SoundLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    if (!gSettings.sound || block.size() < sizeof(SoundSlot))
        return nullptr;
    SoundSlot* slot = new (block.data()) SoundSlot{};
    if (!SoundLoadFile(slot, name))
        return nullptr;
    *resultSize = static_cast<int32_t>(sizeof(SoundSlot));
    return slot;
}

// --- 3D models ------------------------------------------------------------

void* ModelLoadUnavailable(const char* name, std::span<uint8_t> block, int32_t* resultSize)
{
    char text[kResNameSize + 64];
    std::snprintf(text, sizeof text, "No 3D model loader for resource '%s'", name);
    DebugMessageBox(text, "RESMAN error");
    return nullptr;
}

void* LwoModelLoad(const char* name, std::span<uint8_t>, int32_t* resultSize)
{
    return LWO2HXM(name, nullptr, resultSize);
}

void* LwoWireLoad(const char* name, std::span<uint8_t>, int32_t* resultSize)
{
    return LWO2WRI(name, nullptr, resultSize);
}

void LwoWireRelease(void* data)
{
    FreeWireShape(static_cast<WireShape*>(data));
}
