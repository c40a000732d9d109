// Font files: parsing and building fonts in memory, the two writers, vector
// fonts and fonts built from pictures. See font.h.
#include "system/res/font.h"

#include "platform/files.h"
#include "system/res/bytes.h"
#include "system/res/resman.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kFonPrefix = 2 * kFontChars + 4; // widths, height, spare
constexpr std::size_t kOffsetTable = 4 * kFontChars;

constexpr std::size_t Align8(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

struct FileGlyph {
    uint32_t offset;
    int width, height, xOffset, yOffset;
};

std::size_t TableStart(FontFile kind) { return kind == FontFile::Fon ? kFonPrefix : 0; }

// Reads and checks the 256 glyph headers: each glyph must lie in the file.
bool ReadGlyphs(std::span<const uint8_t> file, FontFile kind, FileGlyph glyphs[kFontChars])
{
    std::size_t table = TableStart(kind);
    if (file.size() < table + kOffsetTable)
        return false;
    for (int i = 0; i < kFontChars; ++i) {
        uint64_t offset = res::GetU32LE(file.data() + table + 4 * i);
        if (offset > file.size() || file.size() - offset < kRasterFileHeaderSize)
            return false;
        const uint8_t* h = file.data() + offset;
        FileGlyph& g = glyphs[i];
        g = {static_cast<uint32_t>(offset), res::GetI16LE(h + 4), res::GetI16LE(h + 6),
             res::GetI16LE(h + 8), res::GetI16LE(h + 10)};
        if (g.width < 0 || g.height < 0)
            return false;
        uint64_t pixels = static_cast<uint64_t>(g.width) * static_cast<uint64_t>(g.height);
        if (pixels > file.size() - offset - kRasterFileHeaderSize)
            return false;
    }
    return true;
}

// True when character i is the first to use its glyph's offset.
bool FirstUse(const FileGlyph glyphs[kFontChars], int i)
{
    for (int j = 0; j < i; ++j)
        if (glyphs[j].offset == glyphs[i].offset)
            return false;
    return true;
}

int Descent(const Raster* g) { return g ? std::max(g->height - g->yOffset - 1, 0) : 0; }

} // namespace

std::size_t FontBuildSize(std::span<const uint8_t> file, FontFile kind)
{
    FileGlyph glyphs[kFontChars];
    if (!ReadGlyphs(file, kind, glyphs))
        return 0;
    std::size_t size = Align8(sizeof(RasterFont));
    for (int i = 0; i < kFontChars; ++i)
        if (FirstUse(glyphs, i))
            size += Align8(sizeof(Raster) + static_cast<std::size_t>(glyphs[i].width) * glyphs[i].height);
    return size;
}

RasterFont* FontBuild(std::span<const uint8_t> file, FontFile kind, std::span<uint8_t> block)
{
    FileGlyph glyphs[kFontChars];
    if (!ReadGlyphs(file, kind, glyphs) || block.size() < FontBuildSize(file, kind) ||
        reinterpret_cast<uintptr_t>(block.data()) % alignof(RasterFont) != 0)
        return nullptr;

    auto* font = reinterpret_cast<RasterFont*>(block.data());
    std::memset(font, 0, sizeof *font);
    std::size_t cursor = Align8(sizeof(RasterFont));
    for (int i = 0; i < kFontChars; ++i) {
        const FileGlyph& g = glyphs[i];
        if (!FirstUse(glyphs, i)) {
            for (int j = 0; j < i; ++j)
                if (glyphs[j].offset == g.offset) {
                    font->glyphs[i] = font->glyphs[j];
                    break;
                }
            continue;
        }
        auto* r = reinterpret_cast<Raster*>(block.data() + cursor);
        std::size_t pixels = static_cast<std::size_t>(g.width) * g.height;
        r->pixels = reinterpret_cast<uint8_t*>(r + 1);
        r->width = static_cast<int16_t>(g.width);
        r->height = static_cast<int16_t>(g.height);
        r->xOffset = static_cast<int16_t>(g.xOffset);
        r->yOffset = static_cast<int16_t>(g.yOffset);
        if (pixels)
            std::memcpy(r->pixels, file.data() + g.offset + kRasterFileHeaderSize, pixels);
        font->glyphs[i] = r;
        cursor += Align8(sizeof(Raster) + pixels);
    }

    if (kind == FontFile::Fnt) {
        for (int i = 0; i < kFontChars; ++i)
            font->widths[i] = static_cast<int16_t>(font->glyphs[i]->width + 1);
        font->height = static_cast<int16_t>(font->glyphs['A']->height + Descent(font->glyphs['g']) + 2);
    } else {
        for (int i = 0; i < kFontChars; ++i)
            font->widths[i] = res::GetI16LE(file.data() + 2 * i);
        int tallest = 0, deepest = 0;
        for (int c = 'A'; c <= 'Z'; ++c)
            tallest = std::max<int>(tallest, font->glyphs[c]->height);
        for (int c = 'a'; c <= 'z'; ++c)
            deepest = std::max(deepest, Descent(font->glyphs[c]));
        font->height = static_cast<int16_t>(tallest + deepest);
    }
    return font;
}

std::vector<uint8_t> FontFileBytes(const RasterFont& font, FontFile kind)
{
    std::vector<uint8_t> out;
    if (kind == FontFile::Fon) {
        for (int16_t w : font.widths)
            res::AppendU16LE(out, static_cast<uint16_t>(w));
        res::AppendU16LE(out, static_cast<uint16_t>(font.height));
        res::AppendU16LE(out, 0);
    }
    const std::size_t table = out.size();
    out.resize(table + kOffsetTable, 0);

    static const Raster kEmpty = {nullptr, 0, 0, 0, 0};
    const Raster* space = font.glyphs[' '] ? font.glyphs[' '] : &kEmpty;
    uint32_t spaceOffset = 0;
    auto append = [&out](const Raster& g) {
        uint32_t offset = static_cast<uint32_t>(out.size());
        res::AppendU32LE(out, 0); // pointer slot, set in memory when loaded
        res::AppendU16LE(out, static_cast<uint16_t>(g.width));
        res::AppendU16LE(out, static_cast<uint16_t>(g.height));
        res::AppendU16LE(out, static_cast<uint16_t>(g.xOffset));
        res::AppendU16LE(out, static_cast<uint16_t>(g.yOffset));
        if (g.width > 0 && g.height > 0) {
            std::size_t n = static_cast<std::size_t>(g.width) * g.height;
            if (g.pixels)
                res::AppendBytes(out, g.pixels, n);
            else
                out.resize(out.size() + n, 0); // a glyph without pixels is blank
        }
        return offset;
    };
    for (int i = 0; i < kFontChars; ++i) {
        const Raster* g = font.glyphs[i];
        uint32_t offset;
        if (!g || g == space) {
            if (!spaceOffset)
                spaceOffset = append(*space);
            offset = spaceOffset;
        } else {
            offset = append(*g);
        }
        res::PutU32LE(&out[table + 4 * i], offset);
    }
    return out;
}

bool FontSave(const char* path, const RasterFont* font)
{
    if (!font)
        return false;
    std::vector<uint8_t> bytes = FontFileBytes(*font, FontFile::Fon);
    return platform::WriteFileAtomically(path, bytes.data(), bytes.size());
}

bool FontSaveFnt(const char* path, const RasterFont* font)
{
    if (!font)
        return false;
    std::vector<uint8_t> bytes = FontFileBytes(*font, FontFile::Fnt);
    return platform::WriteFileAtomically(path, bytes.data(), bytes.size());
}

// --- Vector fonts ---------------------------------------------------------

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

struct TextReader {
    std::span<const uint8_t> text;
    std::size_t p = 0;

    void SkipSpace()
    {
        while (p < text.size() && IsSpace(text[p]))
            ++p;
    }
    // A decimal number as scanf's %d reads it (after blanks), within +-1e6.
    bool Int(long* value)
    {
        SkipSpace();
        bool negative = false;
        if (p < text.size() && (text[p] == '-' || text[p] == '+'))
            negative = text[p++] == '-';
        std::size_t start = p;
        long v = 0;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9' && v < 1'000'000)
            v = v * 10 + (text[p++] - '0');
        if (p == start || (p < text.size() && text[p] >= '0' && text[p] <= '9'))
            return false;
        *value = negative ? -v : v;
        return true;
    }
    bool Char(char c)
    {
        if (p < text.size() && text[p] == c) {
            ++p;
            return true;
        }
        return false;
    }
    // The next word of non-blank characters, at most `size` - 1 long.
    bool Word(char* word, std::size_t size)
    {
        SkipSpace();
        std::size_t n = 0;
        while (p < text.size() && !IsSpace(text[p])) {
            if (n + 1 >= size)
                return false;
            word[n++] = static_cast<char>(text[p++]);
        }
        word[n] = '\0';
        return n > 0;
    }
};

} // namespace

bool PackStrokeWord(const char* word, uint8_t* packed)
{
    if (!word[0])
        return false;
    std::span<const uint8_t> rest(reinterpret_cast<const uint8_t*>(word + 1), std::strlen(word + 1));
    TextReader r{rest};
    long x, y;
    if (!r.Int(&x) || !r.Char(',') || !r.Int(&y) || r.p != rest.size())
        return false;
    if (x < 0 || y < 0 || y > 15)
        return false;
    *packed = static_cast<uint8_t>(y * 16 + (x * 2) % 16 + (word[0] == 'U' ? 1 : 0));
    return true;
}

StrokeFont* VectorFontBuild(std::span<const uint8_t> text, std::span<uint8_t> block)
{
    if (block.size() < sizeof(StrokeFont) + 1 ||
        reinterpret_cast<uintptr_t>(block.data()) % alignof(StrokeFont) != 0)
        return nullptr;
    auto* font = reinterpret_cast<StrokeFont*>(block.data());
    uint8_t* strings = block.data() + sizeof(StrokeFont);
    uint8_t* empty = block.data() + block.size() - 1; // shared by characters 128-255
    *empty = 0;
    std::size_t room = static_cast<std::size_t>(empty - strings);
    std::size_t used = 0;

    TextReader reader{text};
    for (int i = 0; i < kVectorFontFileChars; ++i) {
        long number, count;
        if (!reader.Int(&number) || !reader.Char(',') || !reader.Int(&count))
            return nullptr;
        if (number != i || count < 0 || static_cast<std::size_t>(count) >= room - used)
            return nullptr;
        font->strokes[i] = strings + used;
        for (long s = 0; s < count; ++s) {
            char word[32];
            uint8_t packed;
            if (!reader.Word(word, sizeof word) || !PackStrokeWord(word, &packed))
                return nullptr;
            strings[used++] = packed;
        }
        font->lengths[i] = static_cast<uint16_t>(count);
        strings[used++] = 0;
    }
    for (int i = kVectorFontFileChars; i < kFontChars; ++i) {
        font->strokes[i] = empty;
        font->lengths[i] = 0;
    }
    return font;
}

// --- Fonts from pictures --------------------------------------------------

namespace {

// Loads "<folder>\cNNN.bbm" as a picture resource; the first time it loads,
// its y offset moves one lower so glyphs sit on the text line.
Raster* LoadCharacterPicture(const char* folder, unsigned code)
{
    char name[kResNameSize];
    int n = std::snprintf(name, sizeof name, "%s\\c%03u.bbm", folder, code);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof name || !ResFileExists(name))
        return nullptr;
    Resource* r = ResRegister(name, ResType::LbmRaster);
    if (!r)
        return nullptr;
    bool loadedBefore = r->data != nullptr;
    auto* raster = static_cast<Raster*>(ResGet(r));
    if (raster && !loadedBefore)
        raster->yOffset = static_cast<int16_t>(raster->yOffset + 1);
    return raster;
}

} // namespace

void BuildPictureFont(RasterFont* font, const char* folder)
{
    Raster* space = LoadCharacterPicture(folder, ' ');
    for (Raster*& g : font->glyphs)
        g = space;
    struct Range {
        unsigned first, last;
    };
    constexpr Range kRanges[] = {{33, 126}, {145, 148}, {192, 255}};
    for (const Range& range : kRanges)
        for (unsigned c = range.first; c <= range.last; ++c)
            if (Raster* g = LoadCharacterPicture(folder, c))
                font->glyphs[c] = g;
    if (space)
        for (int c = 'a'; c <= 'z'; ++c)
            font->glyphs[c] = font->glyphs[c - 'a' + 'A'];
}
