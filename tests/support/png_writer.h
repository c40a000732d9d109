// Writes a picture as a PNG file, for the screenshots a test keeps for a
// reader. The image data goes in stored (uncompressed) deflate blocks, so no
// compression library is needed; a picture of at most 256 colours is kept as
// one byte a pixel with its palette, any other as three.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace png_writer {

inline uint32_t Crc32(const uint8_t* bytes, std::size_t size, uint32_t crc = 0)
{
    static const std::array<uint32_t, 256> kTable = [] {
        std::array<uint32_t, 256> table{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        return table;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = kTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

inline void PutBig32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// Appends a chunk: its length, type, data and the CRC of type and data.
inline void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, Crc32(out.data() + start, out.size() - start));
}

// A zlib stream holding `raw` in stored blocks of at most 65535 bytes.
inline std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw)
{
    std::vector<uint8_t> out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
        out.push_back(at + length == raw.size() ? 1 : 0); // the last block, stored
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    uint32_t a = 1, b = 0; // Adler-32
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(out, b << 16 | a);
    return out;
}

} // namespace png_writer

// Writes `pixels` (0xRRGGBB, `width` a row) to `path`; false when the file
// cannot be written.
inline bool WritePng(const std::filesystem::path& path, int width, int height, const std::vector<uint32_t>& pixels)
{
    using namespace png_writer;
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<std::size_t>(width) * height)
        return false;
    std::map<uint32_t, uint8_t> index;
    for (uint32_t colour : pixels)
        if (index.size() <= 256)
            index.emplace(colour, 0);
    const bool paletted = index.size() <= 256;
    std::vector<uint8_t> palette;
    if (paletted) {
        uint8_t next = 0;
        for (auto& [colour, slot] : index) {
            slot = next++;
            palette.insert(palette.end(), {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                                           static_cast<uint8_t>(colour)});
        }
    }
    // Each row starts with its filter byte (0, none).
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const uint32_t colour = pixels[static_cast<std::size_t>(y) * width + x];
            if (paletted)
                raw.push_back(index[colour]);
            else
                raw.insert(raw.end(), {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                                       static_cast<uint8_t>(colour)});
        }
    }
    std::vector<uint8_t> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, static_cast<uint8_t>(paletted ? 3 : 2), 0, 0, 0}); // depth, colour type
    Chunk(file, "IHDR", header);
    if (paletted)
        Chunk(file, "PLTE", palette);
    Chunk(file, "IDAT", StoredZlib(raw));
    Chunk(file, "IEND", {});
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}
