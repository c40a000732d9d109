// ttfmake: writes a tiny TrueType font of our own (a square for 'A', a
// triangle for 'B', an empty space), the seed of the font maker's glyph
// fuzz target. Only the tables FreeType needs to open and render a
// TrueType face: head, hhea, maxp, cmap (format 4), hmtx, loca, glyf,
// name and post, big-endian, with their checksums.
//
//   ttfmake FILE
#include "platform/files.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void U16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

void U32(Bytes& b, uint32_t v)
{
    U16(b, v >> 16);
    U16(b, v & 0xFFFF);
}

// One closed contour of on-curve points (absolute font units).
Bytes Glyph(const std::vector<std::pair<int, int>>& points)
{
    int xMin = 32767, yMin = 32767, xMax = -32768, yMax = -32768;
    for (auto [x, y] : points) {
        xMin = std::min(xMin, x);
        yMin = std::min(yMin, y);
        xMax = std::max(xMax, x);
        yMax = std::max(yMax, y);
    }
    Bytes g;
    U16(g, 1); // one contour
    for (int v : {xMin, yMin, xMax, yMax})
        U16(g, uint16_t(v));
    U16(g, uint16_t(points.size() - 1)); // its last point
    U16(g, 0);                           // no instructions
    for (size_t i = 0; i < points.size(); ++i)
        g.push_back(0x01); // on curve, x and y as signed 16-bit deltas
    int last = 0;
    for (auto [x, y] : points) {
        U16(g, uint16_t(x - last));
        last = x;
    }
    last = 0;
    for (auto [x, y] : points) {
        U16(g, uint16_t(y - last));
        last = y;
    }
    while (g.size() % 4)
        g.push_back(0);
    return g;
}

Bytes Font()
{
    const Bytes glyphs[] = {Bytes{}, Glyph({{100, 0}, {100, 700}, {600, 700}, {600, 0}}),
                            Glyph({{50, 0}, {350, 700}, {650, 0}}), Bytes{}};
    constexpr uint16_t kGlyphs = 4; // .notdef, A, B, space

    Bytes head;
    U32(head, 0x00010000); // version
    U32(head, 0x00010000); // font revision
    U32(head, 0);          // checksum adjustment (left 0)
    U32(head, 0x5F0F3CF5); // magic
    U16(head, 0x000B);     // flags: baseline at 0, left sidebearing at 0, integer scaling
    U16(head, 1000);       // units per em
    for (int i = 0; i < 4; ++i)
        U32(head, 0); // created, modified
    for (int v : {0, 0, 700, 700})
        U16(head, uint16_t(v)); // bounding box
    U16(head, 0);               // style
    U16(head, 8);               // smallest readable size
    U16(head, 2);               // direction hint
    U16(head, 0);               // short loca offsets
    U16(head, 0);               // glyph data format

    Bytes hhea;
    U32(hhea, 0x00010000);
    for (int v : {800, -200, 0, 700, 0, 0, 650, 1, 0, 0, 0, 0, 0, 0, 0})
        U16(hhea, uint16_t(v)); // ascender ... metric data format
    U16(hhea, kGlyphs);         // horizontal metrics

    Bytes maxp;
    U32(maxp, 0x00010000);
    for (int v : {int{kGlyphs}, 4, 1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0})
        U16(maxp, uint16_t(v)); // glyphs, points, contours, ..., zones 2

    // cmap: one Windows Unicode subtable, format 4, segments 'A', 'B', ' '
    // and the closing 0xFFFF.
    const uint16_t starts[] = {0x20, 0x41, 0x42, 0xFFFF}, glyphOf[] = {3, 1, 2, 0};
    Bytes cmap;
    U16(cmap, 0);
    U16(cmap, 1);
    U16(cmap, 3);
    U16(cmap, 1);
    U32(cmap, 12);
    U16(cmap, 4);
    U16(cmap, 16 + 4 * 2 * 4); // length
    U16(cmap, 0);              // language
    U16(cmap, 8);              // segments x 2
    U16(cmap, 8);              // search range
    U16(cmap, 2);              // entry selector
    U16(cmap, 0);              // range shift
    for (uint16_t s : starts)
        U16(cmap, s); // end codes
    U16(cmap, 0);
    for (uint16_t s : starts)
        U16(cmap, s); // start codes
    for (int i = 0; i < 4; ++i)
        U16(cmap, uint16_t(i == 3 ? 1 : glyphOf[i] - starts[i])); // deltas
    for (int i = 0; i < 4; ++i)
        U16(cmap, 0); // range offsets

    Bytes hmtx, loca, glyf;
    for (const Bytes& g : glyphs) {
        U16(hmtx, 700);
        U16(hmtx, 0);
        U16(loca, uint16_t(glyf.size() / 2));
        glyf.insert(glyf.end(), g.begin(), g.end());
    }
    U16(loca, uint16_t(glyf.size() / 2));

    Bytes name;
    const std::string family = "Kv";
    U16(name, 0);
    U16(name, 1);
    U16(name, 6 + 12);
    for (int v : {3, 1, 0x409, 1})
        U16(name, uint16_t(v)); // Windows, Unicode, English, family name
    U16(name, uint16_t(family.size() * 2));
    U16(name, 0);
    for (char c : family)
        U16(name, uint8_t(c));

    Bytes post;
    U32(post, 0x00030000);
    for (int i = 0; i < 7; ++i)
        U32(post, 0);

    struct Table {
        const char* tag;
        const Bytes* data;
    };
    const Table tables[] = {{"cmap", &cmap}, {"glyf", &glyf}, {"head", &head}, {"hhea", &hhea}, {"hmtx", &hmtx}, {"loca", &loca}, {"maxp", &maxp}, {"name", &name}, {"post", &post}};
    constexpr uint16_t kTables = sizeof tables / sizeof tables[0];
    Bytes font;
    U32(font, 0x00010000);
    U16(font, kTables);
    U16(font, 128); // search range: 8 tables x 16
    U16(font, 3);
    U16(font, kTables * 16 - 128);
    uint32_t offset = 12 + 16 * kTables;
    for (const Table& t : tables) {
        uint32_t sum = 0;
        Bytes padded = *t.data;
        while (padded.size() % 4)
            padded.push_back(0);
        for (size_t i = 0; i < padded.size(); i += 4)
            sum += uint32_t(padded[i]) << 24 | uint32_t(padded[i + 1]) << 16 | uint32_t(padded[i + 2]) << 8 | padded[i + 3];
        for (int i = 0; i < 4; ++i)
            font.push_back(uint8_t(t.tag[i]));
        U32(font, sum);
        U32(font, offset);
        U32(font, uint32_t(t.data->size()));
        offset += uint32_t(padded.size());
    }
    for (const Table& t : tables) {
        font.insert(font.end(), t.data->begin(), t.data->end());
        while (font.size() % 4)
            font.push_back(0);
    }
    return font;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ttfmake FILE\n");
        return 2;
    }
    const Bytes font = Font();
    if (!platform::WriteFileAtomically(argv[1], font.data(), font.size())) {
        std::fprintf(stderr, "ttfmake: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
