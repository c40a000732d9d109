// resfixtures: writes small sample files in every format the resource
// loaders read, made by our own writers: pictures (PCX, IFF PBM), a colour
// map, bitmap fonts (.fnt, .fon), a vector font, a WAV sound and a slab
// library. Used for fuzz seed corpora and for trying the loaders by hand.
//
//   resfixtures FOLDER
#include "platform/files.h"
#include "system/res/font.h"
#include "system/res/iff.h"
#include "system/res/loaders.h"
#include "system/res/pcx.h"
#include "system/res/slab.h"
#include "system/wav.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string gFolder;

std::string PathOf(const char* name) { return gFolder + "/" + name; }

bool WriteBytes(const char* name, const std::vector<uint8_t>& bytes)
{
    return platform::WriteFileAtomically(PathOf(name).c_str(), bytes.data(), bytes.size());
}

// A palette running through the colour wheel, and a picture of diagonal
// bands with a run-heavy top half, so both coding paths are exercised.
GamePalette MakePalette()
{
    GamePalette p{};
    for (int i = 0; i < kPaletteEntries; ++i)
        p.entries[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3), 0};
    return p;
}

std::vector<uint8_t> MakePicture(int width, int height)
{
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<std::size_t>(y) * width + x] =
                static_cast<uint8_t>(y < height / 2 ? (x / 5) * 40 : (x + 3 * y) % 256);
    return pixels;
}

// A bitmap font: each printable character a small box whose width depends on
// the code, with a descender for "g", "j", "p", "q", "y".
struct FontFixture {
    std::vector<std::vector<uint8_t>> pixels = std::vector<std::vector<uint8_t>>(kFontChars);
    Raster glyphs[kFontChars] = {};
    RasterFont font{};

    FontFixture()
    {
        for (int c = 0; c < kFontChars; ++c) {
            bool drawn = c == ' ' || (c > ' ' && c < 127);
            if (!drawn) {
                font.glyphs[c] = &glyphs[' '];
                continue;
            }
            int w = c == ' ' ? 3 : 3 + c % 4;
            bool descends = c == 'g' || c == 'j' || c == 'p' || c == 'q' || c == 'y';
            int h = descends ? 9 : 7;
            pixels[c].assign(static_cast<std::size_t>(w) * h, 0);
            if (c != ' ')
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
                            pixels[c][static_cast<std::size_t>(y) * w + x] = static_cast<uint8_t>(17 + c % 200);
            glyphs[c] = {pixels[c].data(), static_cast<int16_t>(w), static_cast<int16_t>(h), 0, 6};
            font.glyphs[c] = &glyphs[c];
        }
        for (int c = 0; c < kFontChars; ++c)
            font.widths[c] = static_cast<int16_t>(font.glyphs[c]->width + 1);
        font.height = 10;
    }
};

std::string MakeVectorFont()
{
    std::string text;
    for (int i = 0; i < kVectorFontFileChars; ++i) {
        int strokes = i < 33 ? 0 : 3;
        text += std::to_string(i) + "," + std::to_string(strokes) + "\n";
        if (strokes)
            text += "U0," + std::to_string(i % 16) + "\nD" + std::to_string(i % 8) + ",0\nD7,15\n";
    }
    return text;
}

std::vector<uint8_t> MakeSamples(std::size_t count)
{
    std::vector<uint8_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) // a triangle wave around the 8-bit midpoint
        samples[i] = static_cast<uint8_t>(128 + static_cast<int>((i % 40 < 20 ? i % 40 : 40 - i % 40) * 4) - 40);
    return samples;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: resfixtures FOLDER\n");
        return 2;
    }
    gFolder = argv[1];
    bool ok = true;

    GamePalette palette = MakePalette();
    uint8_t rgb[768];
    for (int i = 0; i < kPaletteEntries; ++i) {
        rgb[3 * i] = palette.entries[i].red;
        rgb[3 * i + 1] = palette.entries[i].green;
        rgb[3 * i + 2] = palette.entries[i].blue;
    }
    std::vector<uint8_t> picture = MakePicture(21, 10);
    PcxImage* pcx = PcxFromPixels(nullptr, 0, picture.data(), 21, 10, rgb);
    ok = ok && pcx && PcxSave(PathOf("picture.pcx").c_str(), pcx);
    PcxFree(pcx);
    ok = ok && WriteBytes("picture.bbm", IffBuildPbm(picture.data(), 21, 10, 2, -1, &palette, true));
    ok = ok && WriteBytes("plain.bbm", IffBuildPbm(picture.data(), 21, 10, 0, 0, nullptr, false));

    std::vector<uint8_t> map(kColourMapSize);
    for (std::size_t i = 0; i < map.size(); ++i)
        map[i] = static_cast<uint8_t>((i >> 8) ^ i);
    ok = ok && ColourMapSave(PathOf("colour.cm").c_str(), map);

    FontFixture font;
    ok = ok && FontSaveFnt(PathOf("font.fnt").c_str(), &font.font);
    ok = ok && FontSave(PathOf("font.fon").c_str(), &font.font);
    std::string vector = MakeVectorFont();
    ok = ok && WriteBytes("vector.rvf", {vector.begin(), vector.end()});

    std::vector<uint8_t> samples = MakeSamples(301);
    WaveFormat pcm = {1, 1, 11025, 11025, 1, 8, 0};
    ok = ok && WavSave(PathOf("sound.wav").c_str(), static_cast<uint32_t>(samples.size()),
                       static_cast<uint32_t>(samples.size()), &pcm, samples.data()) == kWavOk;

    std::vector<SlabPackItem> items = {{"\\brief.txt", {'H', 'e', 'l', 'l', 'o', '\n'}},
                                       {"\\ships\\a.lwo", {'F', 'O', 'R', 'M'}},
                                       {"caf\xE9.txt", {'c', 'a', 'f', 0xE9}}};
    std::vector<uint8_t> slab;
    ok = ok && SlabBuild(items, slab) && WriteBytes("library.slb", slab);

    if (!ok) {
        std::fprintf(stderr, "resfixtures: cannot write into %s\n", gFolder.c_str());
        return 1;
    }
    return 0;
}
