// PCX pictures: header, body decoding, palette, and the in-memory PcxImage
// with its run-length writer. See pcx.h.
#include "system/res/pcx.h"

#include "platform/files.h"
#include "system/errors.h"
#include "system/res/bytes.h"
#include "system/res/loaders.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

bool PcxReadInfo(std::span<const uint8_t> file, PcxInfo* info)
{
    if (file.size() < kPcxHeaderSize)
        return false;
    const uint8_t* h = file.data();
    // Only what the decoder reads: one plane of 8-bit pixels, run-length
    // coded, in the version that carries a 256-colour palette. Fewer bits,
    // more planes or another coding would decode as garbage.
    if (h[0] != kPcxManufacturer || h[1] != kPcxVersion || h[2] != kPcxEncodingRle || h[3] != 8 || h[65] != 1)
        return false;
    int width = res::GetI16LE(h + 8) - res::GetI16LE(h + 4) + 1;
    int height = res::GetI16LE(h + 10) - res::GetI16LE(h + 6) + 1;
    int bytesPerLine = res::GetU16LE(h + 66);
    if (width <= 0 || height <= 0 || bytesPerLine < width)
        return false;
    // Two body bytes give at most 63 pixels: a header asking for more than
    // the body could ever hold is not a picture (and must not size a block).
    uint64_t body = file.size() - kPcxHeaderSize;
    if (static_cast<uint64_t>(bytesPerLine) * static_cast<uint64_t>(height) > body / 2 * 63 + body % 2)
        return false;
    *info = {width, height, bytesPerLine};
    return true;
}

namespace {

// n bytes of value at dst (n below 64): eight at a time, the last eight
// overlapping, so a short run costs no call.
inline void FillRun(uint8_t* dst, uint8_t value, int n)
{
    if (n < 8) {
        for (int i = 0; i < n; ++i)
            dst[i] = value;
        return;
    }
    const uint64_t word = value * 0x0101010101010101ull;
    for (int i = 0; i + 8 < n; i += 8)
        std::memcpy(dst + i, &word, sizeof word);
    std::memcpy(dst + n - 8, &word, sizeof word);
}

// The common row: no run carried in, the destination as wide as the line.
// Decodes codes while two body bytes remain (so neither byte of a run needs
// its own check) and returns the column reached; a run cut at the row's end
// leaves its remainder in pending. The checked loop finishes what is left.
int DecodeWholeRow(const uint8_t* in, std::size_t& p, std::size_t end, uint8_t* dst, int line, int& pending,
                   uint8_t& value)
{
    int col = 0;
    while (col < line && p + 1 < end) {
        uint8_t b = in[p++];
        if (b < 0xC0) {
            dst[col++] = b;
            continue;
        }
        int n = b & 0x3F;
        uint8_t v = in[p++];
        if (n > line - col) {
            pending = n - (line - col);
            value = v;
            n = line - col;
        }
        FillRun(dst + col, v, n);
        col += n;
    }
    return col;
}

// Decodes bytesPerLine x height body bytes. With runsCrossRows a run left
// over at the end of a row continues on the next; otherwise it is cut at the
// row's end.
std::size_t DecodeBody(std::span<const uint8_t> file, const PcxInfo& info, uint8_t* pixels,
                       int stride, int dstWidth, int dstHeight, bool runsCrossRows)
{
    const uint8_t* in = file.data();
    std::size_t p = kPcxHeaderSize;
    const std::size_t end = file.size();
    const int cols = std::min(info.width, dstWidth);
    const int rows = std::min(info.height, dstHeight);
    const int line = info.bytesPerLine;
    int pending = 0;
    uint8_t value = 0;
    for (int row = 0; row < info.height; ++row) {
        uint8_t* dst = row < rows ? pixels + static_cast<std::size_t>(row) * stride : nullptr;
        int col = 0;
        if (!runsCrossRows)
            pending = 0;
        if (dst && cols == line && pending == 0)
            col = DecodeWholeRow(in, p, end, dst, line, pending, value);
        while (col < line) {
            if (pending == 0) {
                if (p >= end)
                    return p;
                uint8_t b = in[p++];
                if ((b & 0xC0) == 0xC0) {
                    if (p >= end)
                        return p;
                    pending = b & 0x3F;
                    value = in[p++];
                    continue;
                }
                pending = 1;
                value = b;
            }
            int n = std::min(pending, line - col);
            if (dst && col < cols)
                std::memset(dst + col, value, static_cast<std::size_t>(std::min(col + n, cols) - col));
            col += n;
            pending -= n;
        }
    }
    return p;
}

} // namespace

std::size_t PcxDecodeBody(std::span<const uint8_t> file, const PcxInfo& info, uint8_t* pixels,
                          int stride, int dstWidth, int dstHeight)
{
    return DecodeBody(file, info, pixels, stride, dstWidth, dstHeight, false);
}

bool PcxHasPalette(std::span<const uint8_t> file)
{
    return file.size() >= kPcxHeaderSize + 1 + kPcxPaletteSize &&
           file[file.size() - kPcxPaletteSize - 1] == kPcxPaletteMarker;
}

bool PcxReadPalette(std::span<const uint8_t> file, GamePalette* palette)
{
    if (!PcxHasPalette(file))
        return false;
    const uint8_t* rgb = file.data() + file.size() - kPcxPaletteSize;
    for (int i = 0; i < kPaletteEntries; ++i) {
        palette->entries[i].red = rgb[3 * i];
        palette->entries[i].green = rgb[3 * i + 1];
        palette->entries[i].blue = rgb[3 * i + 2];
    }
    return true;
}

void PcxPackRow(const uint8_t* row, int width, std::vector<uint8_t>& out)
{
    int x = 0;
    while (x < width) {
        uint8_t v = row[x];
        int run = 1;
        while (x + run < width && run < 63 && row[x + run] == v)
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(0xC0 | run));
            out.push_back(v);
        } else if (v >= 64) {
            out.push_back(0xC1);
            out.push_back(v);
        } else {
            out.push_back(v);
        }
        x += run;
    }
}

// --- PcxImage -------------------------------------------------------------

namespace {

PcxImage* NewImage()
{
    auto* image = static_cast<PcxImage*>(std::calloc(1, sizeof(PcxImage)));
    return image;
}

void SetWindow(uint8_t* header, int width, int height)
{
    res::PutU16LE(header + 4, 0);
    res::PutU16LE(header + 6, 0);
    res::PutU16LE(header + 8, static_cast<uint16_t>(width - 1));
    res::PutU16LE(header + 10, static_cast<uint16_t>(height - 1));
    res::PutU16LE(header + 66, static_cast<uint16_t>(width));
}

} // namespace

PcxImage* PcxLoad(const char* path)
{
    std::vector<uint8_t> file;
    if (!ResReadFile(path, file)) {
        DebugPrintf("Unable to open file %s \n", path);
        return nullptr;
    }
    DebugPrintf("Loading %s ... \n", path);
    // A picture wider or higher than a saved header can say is refused, so
    // what loads can always be saved and loaded again.
    PcxInfo info;
    if (!PcxReadInfo(file, &info) || !PcxHasPalette(file) || info.width > kPcxImageMaxSide ||
        info.height > kPcxImageMaxSide)
        return nullptr;
    PcxImage* image = NewImage();
    std::size_t pixelCount = static_cast<std::size_t>(info.width) * info.height;
    uint8_t* pixels = static_cast<uint8_t*>(std::calloc(pixelCount, 1));
    uint8_t* palette = static_cast<uint8_t*>(std::malloc(kPcxPaletteSize));
    if (!image || !pixels || !palette) {
        std::free(image);
        std::free(pixels);
        std::free(palette);
        return nullptr;
    }
    std::memcpy(image->header, file.data(), kPcxHeaderSize);
    image->width = info.width;
    image->height = info.height;
    image->bodySize = static_cast<int32_t>(pixelCount);
    image->pixels = pixels;
    DecodeBody(file, info, pixels, info.width, info.width, info.height, true);
    // The byte before the palette (its marker), not the byte after the body:
    // a file may hold padding between the two.
    image->keptByte = file[file.size() - kPcxPaletteSize - 1];
    image->palette = palette;
    std::memcpy(palette, file.data() + file.size() - kPcxPaletteSize, kPcxPaletteSize);
    return image;
}

bool PcxSave(const char* path, const PcxImage* image)
{
    if (!image || !image->pixels || !image->palette)
        return false;
    std::vector<uint8_t> out(image->header, image->header + kPcxHeaderSize);
    if (image->flags & kPcxPacked) {
        res::AppendBytes(out, image->pixels, static_cast<std::size_t>(image->bodySize));
    } else {
        // The rows are packed at the image's width, so the header says so.
        SetWindow(out.data(), image->width, image->height);
        for (int y = 0; y < image->height; ++y)
            PcxPackRow(image->pixels + static_cast<std::size_t>(y) * image->width, image->width, out);
    }
    // The palette always follows its marker, or no reader would find it.
    out.push_back(kPcxPaletteMarker);
    res::AppendBytes(out, image->palette, kPcxPaletteSize);
    return platform::WriteFileAtomically(path, out.data(), out.size());
}

PcxImage* PcxCopy(const PcxImage* image)
{
    if (!image)
        return nullptr;
    PcxImage* copy = NewImage();
    uint8_t* pixels = static_cast<uint8_t*>(std::malloc(static_cast<std::size_t>(image->bodySize) + 1));
    uint8_t* palette = static_cast<uint8_t*>(std::malloc(kPcxPaletteSize));
    if (!copy || !pixels || !palette) {
        std::free(copy);
        std::free(pixels);
        std::free(palette);
        return nullptr;
    }
    *copy = *image;
    copy->flags &= ~static_cast<uint32_t>(kPcxCallerPalette);
    copy->pixels = pixels;
    std::memcpy(pixels, image->pixels, static_cast<std::size_t>(image->bodySize));
    copy->palette = palette;
    std::memcpy(palette, image->palette, kPcxPaletteSize);
    return copy;
}

PcxImage* PcxFromPixels(const PcxImage* templ, uint32_t flags, const uint8_t* pixels, int width,
                        int height, uint8_t* palette)
{
    if (!pixels || width <= 0 || height <= 0 || width > kPcxImageMaxSide || height > kPcxImageMaxSide)
        return nullptr;
    PcxImage* image = NewImage();
    if (!image)
        return nullptr;
    if (templ) {
        std::memcpy(image->header, templ->header, kPcxHeaderSize);
    } else {
        uint8_t* h = image->header;
        h[0] = kPcxManufacturer;
        h[1] = kPcxVersion;
        h[2] = kPcxEncodingRle;
        h[3] = 8;
        res::PutU16LE(h + 12, 640);
        res::PutU16LE(h + 14, 480);
        h[65] = 1;
    }
    SetWindow(image->header, width, height);
    image->flags = flags | kPcxFromPixels | kPcxCallerPalette;
    image->width = width;
    image->height = height;
    image->palette = palette;
    image->keptByte = kPcxPaletteMarker;

    std::vector<uint8_t> body;
    std::size_t pixelCount = static_cast<std::size_t>(width) * height;
    if (flags & kPcxPacked) {
        for (int y = 0; y < height; ++y)
            PcxPackRow(pixels + static_cast<std::size_t>(y) * width, width, body);
    } else {
        body.assign(pixels, pixels + pixelCount);
    }
    image->pixels = static_cast<uint8_t*>(std::malloc(body.size() + 1));
    if (!image->pixels) {
        std::free(image);
        return nullptr;
    }
    std::memcpy(image->pixels, body.data(), body.size());
    image->bodySize = static_cast<int32_t>(body.size());
    return image;
}

void PcxFree(PcxImage* image)
{
    if (!image)
        return;
    std::free(image->pixels);
    if (!(image->flags & kPcxCallerPalette))
        std::free(image->palette);
    std::free(image);
}
