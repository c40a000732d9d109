// IFF PBM reading (chunks, BMHD, ByteRun1 BODY, GRAB, CMAP) and writing.
// See iff.h.
#include "system/res/iff.h"

#include "system/res/bytes.h"

#include <algorithm>
#include <cstring>

namespace {

bool IdIs(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// Unpacks a BODY of rows `rowBytes` long (the width rounded up to even) into
// width-wide rows; the pad byte of each row is dropped. False when the body
// ends before the picture is complete.
bool DecodeBody(std::span<const uint8_t> body, bool compressed, const IffPicture& pic,
                std::span<uint8_t> pixels)
{
    const std::size_t width = static_cast<std::size_t>(pic.width);
    const std::size_t rowBytes = (width + 1) & ~std::size_t{1};
    std::size_t p = 0;
    for (int y = 0; y < pic.height; ++y) {
        uint8_t* dst = pixels.data() + static_cast<std::size_t>(y) * width;
        if (!compressed) {
            if (body.size() - p < rowBytes)
                return false;
            std::memcpy(dst, body.data() + p, width);
            p += rowBytes;
            continue;
        }
        // ByteRun1, cut at the row's end.
        std::size_t col = 0;
        while (col < rowBytes) {
            if (p >= body.size())
                return false;
            int8_t n = static_cast<int8_t>(body[p++]);
            if (n >= 0) {
                std::size_t count = static_cast<std::size_t>(n) + 1;
                if (body.size() - p < count)
                    return false;
                std::size_t keep = col < width ? std::min(count, width - col) : 0;
                if (keep)
                    std::memcpy(dst + col, body.data() + p, keep);
                p += count;
                col += count;
            } else if (n != -128) {
                if (p >= body.size())
                    return false;
                std::size_t count = static_cast<std::size_t>(1 - n);
                std::size_t keep = col < width ? std::min(count, width - col) : 0;
                if (keep)
                    std::memset(dst + col, body[p], keep);
                ++p;
                col += count;
            }
        }
    }
    return true;
}

void PackByteRun1(const uint8_t* row, std::size_t n, std::vector<uint8_t>& out)
{
    std::size_t x = 0;
    while (x < n) {
        std::size_t run = 1;
        while (x + run < n && run < 128 && row[x + run] == row[x])
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(static_cast<int8_t>(1 - static_cast<int>(run))));
            out.push_back(row[x]);
            x += run;
            continue;
        }
        std::size_t lit = 1;
        while (x + lit < n && lit < 128 && !(x + lit + 1 < n && row[x + lit] == row[x + lit + 1]))
            ++lit;
        out.push_back(static_cast<uint8_t>(lit - 1));
        res::AppendBytes(out, row + x, lit);
        x += lit;
    }
}

void AppendChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body)
{
    res::AppendBytes(out, id, 4);
    res::AppendU32BE(out, static_cast<uint32_t>(body.size()));
    res::AppendBytes(out, body.data(), body.size());
    if (body.size() & 1)
        out.push_back(0);
}

} // namespace

bool IffParse(std::span<const uint8_t> file, IffPicture* pic, std::span<uint8_t> pixels,
              GamePalette* palette)
{
    *pic = IffPicture{};
    if (file.size() < 12 || !IdIs(file.data(), "FORM") || !IdIs(file.data() + 8, "PBM "))
        return false;
    bool haveHeader = false;
    bool compressed = false;
    std::size_t p = 12;
    while (file.size() - p >= 8) {
        const uint8_t* h = file.data() + p;
        std::size_t length = static_cast<std::size_t>(h[5]) << 16 | h[6] << 8 | h[7];
        p += 8;
        if (length > file.size() - p)
            return false;
        std::span<const uint8_t> body = file.subspan(p, length);
        if (IdIs(h, "BMHD")) {
            if (length < 11 || pic->hasBody) // a picture decoded at one size is not resized
                return false;
            pic->width = res::GetU16BE(body.data());
            pic->height = res::GetU16BE(body.data() + 2);
            compressed = body[10] != 0;
            haveHeader = pic->width > 0 && pic->height > 0;
            if (!haveHeader)
                return false;
        } else if (IdIs(h, "BODY")) {
            if (!haveHeader)
                return false;
            // Two ByteRun1 bytes unpack to at most 128: a body that could
            // never fill the picture is damaged (and must not size a block).
            uint64_t rowBytes = (static_cast<uint64_t>(pic->width) + 1) & ~uint64_t{1};
            uint64_t most = compressed ? length / 2 * 128 : length;
            if (rowBytes * static_cast<uint64_t>(pic->height) > most)
                return false;
            if (!pixels.empty()) {
                if (static_cast<std::size_t>(pic->width) * pic->height > pixels.size())
                    return false;
                if (!DecodeBody(body, compressed, *pic, pixels))
                    return false;
            }
            pic->hasBody = true;
        } else if (IdIs(h, "GRAB")) {
            if (length >= 4) {
                pic->xOffset = res::GetI16BE(body.data());
                pic->yOffset = res::GetI16BE(body.data() + 2);
            }
        } else if (IdIs(h, "CMAP")) {
            if (palette)
                for (std::size_t i = 0; i < kPaletteEntries && 3 * i + 2 < length; ++i) {
                    palette->entries[i].red = body[3 * i];
                    palette->entries[i].green = body[3 * i + 1];
                    palette->entries[i].blue = body[3 * i + 2];
                }
            pic->hasPalette = true;
        }
        p += length + (length & 1);
        if (p > file.size())
            break;
    }
    return haveHeader;
}

std::vector<uint8_t> IffBuildPbm(const uint8_t* pixels, int width, int height, int xOffset,
                                 int yOffset, const GamePalette* palette, bool compress)
{
    std::vector<uint8_t> out = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'P', 'B', 'M', ' '};

    std::vector<uint8_t> bmhd(20, 0);
    res::PutU16BE(&bmhd[0], static_cast<uint16_t>(width));
    res::PutU16BE(&bmhd[2], static_cast<uint16_t>(height));
    bmhd[8] = 8;                 // planes
    bmhd[10] = compress ? 1 : 0; // compression
    res::PutU16BE(&bmhd[16], static_cast<uint16_t>(width));
    res::PutU16BE(&bmhd[18], static_cast<uint16_t>(height));
    AppendChunk(out, "BMHD", bmhd);

    std::vector<uint8_t> grab(4);
    res::PutU16BE(&grab[0], static_cast<uint16_t>(xOffset));
    res::PutU16BE(&grab[2], static_cast<uint16_t>(yOffset));
    AppendChunk(out, "GRAB", grab);

    if (palette) {
        std::vector<uint8_t> cmap;
        for (const PaletteEntry& e : palette->entries) {
            cmap.push_back(e.red);
            cmap.push_back(e.green);
            cmap.push_back(e.blue);
        }
        AppendChunk(out, "CMAP", cmap);
    }

    std::size_t rowBytes = (static_cast<std::size_t>(width) + 1) & ~std::size_t{1};
    std::vector<uint8_t> row(rowBytes, 0), body;
    for (int y = 0; y < height; ++y) {
        std::memcpy(row.data(), pixels + static_cast<std::size_t>(y) * width, static_cast<std::size_t>(width));
        if (compress)
            PackByteRun1(row.data(), rowBytes, body);
        else
            res::AppendBytes(body, row.data(), rowBytes);
    }
    AppendChunk(out, "BODY", body);
    res::PutU32BE(&out[4], static_cast<uint32_t>(out.size() - 8));
    return out;
}
