// Pictures and palettes: PCX and IFF PBM decoding from hand-made files,
// clipping of hostile runs, the PcxImage writer and colour maps.
#include "tests/res/res_fixture.h"

#include "system/res/iff.h"
#include "system/res/loaders.h"
#include "system/res/pcx.h"

#include <cstring>
#include <fstream>
#include <random>

using restest::PcxFile;

namespace {

std::vector<uint8_t> Decode(const std::vector<uint8_t>& file, int width, int height)
{
    PcxInfo info;
    EXPECT_TRUE(PcxReadInfo(file, &info));
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height, 0xEE);
    PcxDecodeBody(file, info, pixels.data(), width, width, height);
    return pixels;
}

void WriteFile(const char* path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

TEST(Pcx, DecodesRunsLiteralsAndThePalette)
{
    // 4 x 2: row 0 = run of 3 x 5 then 0xC7 escaped; row 1 = 1, 2, run of 2 x 9.
    std::vector<uint8_t> file = PcxFile(4, 2, 4, {0xC3, 5, 0xC1, 0xC7, 1, 2, 0xC2, 9});
    PcxInfo info;
    ASSERT_TRUE(PcxReadInfo(file, &info));
    EXPECT_EQ(info.width, 4);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(Decode(file, 4, 2), (std::vector<uint8_t>{5, 5, 5, 0xC7, 1, 2, 9, 9}));
    GamePalette palette{};
    ASSERT_TRUE(PcxReadPalette(file, &palette));
    EXPECT_EQ(palette.entries[10].red, 10);
    EXPECT_EQ(palette.entries[10].green, 245);
    EXPECT_EQ(palette.entries[10].blue, 5);
}

TEST(Pcx, WindowSizesAndBytesPerLine)
{
    // xmin 0 and xmax 639 make 640 pixels.
    std::vector<uint8_t> wide = PcxFile(640, 1, 640, std::vector<uint8_t>(22, 0xFF));
    PcxInfo info;
    ASSERT_TRUE(PcxReadInfo(wide, &info));
    EXPECT_EQ(info.width, 640);

    // Width 3 stored with 4 bytes a line: the pad byte of each row is dropped.
    std::vector<uint8_t> odd = PcxFile(3, 2, 4, {1, 2, 3, 0x3F, 4, 5, 6, 0x3F});
    EXPECT_EQ(Decode(odd, 3, 2), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));

    // Empty window, short header, or a body that could not hold the picture.
    std::vector<uint8_t> empty = PcxFile(1, 1, 1, {1});
    empty[8] = 0xFF;
    empty[9] = 0xFF; // xmax = -1
    EXPECT_FALSE(PcxReadInfo(empty, &info));
    EXPECT_FALSE(PcxReadInfo(std::vector<uint8_t>(100, 0), &info));
    std::vector<uint8_t> huge = PcxFile(1, 1, 1, {});
    huge[8] = 0xFF;
    huge[9] = 0x7F;
    huge[10] = 0xFF;
    huge[11] = 0x7F;
    EXPECT_FALSE(PcxReadInfo(huge, &info));
}

TEST(Pcx, RunsAreCutAtTheRowAndTheDestination)
{
    // A run of 6 in a 4-wide row: the extra two never reach row 1.
    std::vector<uint8_t> file = PcxFile(4, 2, 4, {0xC6, 3, 0xC4, 8});
    EXPECT_EQ(Decode(file, 4, 2), (std::vector<uint8_t>{3, 3, 3, 3, 8, 8, 8, 8}));

    // Into a 2 x 1 destination with rows 2 apart: nothing outside it changes.
    PcxInfo info;
    ASSERT_TRUE(PcxReadInfo(file, &info));
    std::vector<uint8_t> small(4, 0xEE);
    PcxDecodeBody(file, info, small.data(), 2, 2, 1);
    EXPECT_EQ(small, (std::vector<uint8_t>{3, 3, 0xEE, 0xEE}));
}

TEST(Pcx, SavePacksRowsAsSpecifiedAndLoadsBack)
{
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i)
        palette[i] = static_cast<uint8_t>(i * 7);
    const uint8_t pixels[] = {200, 1, 1, 1, 2, 70, 70, 70};
    PcxImage* image = PcxFromPixels(nullptr, 0, pixels, 4, 2, palette);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->flags, static_cast<uint32_t>(kPcxFromPixels | kPcxCallerPalette));
    EXPECT_EQ(image->header[0], 10);
    EXPECT_EQ(image->header[3], 8);
    EXPECT_EQ(image->header[65], 1);
    ASSERT_TRUE(PcxSave("kv_res_pcx.pcx", image));

    std::vector<uint8_t> file;
    ASSERT_TRUE(ResReadFile("kv_res_pcx.pcx", file));
    // Single 200 -> C1 C8; run of three 1s -> C3 01; single 2 -> 02; run of 70s -> C3 46.
    const std::vector<uint8_t> body = {0xC1, 200, 0xC3, 1, 2, 0xC3, 70, 12};
    ASSERT_EQ(file.size(), 128 + body.size() + 768);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 128, file.begin() + 128 + body.size()), body);
    EXPECT_EQ(file[8], 3);  // xmax
    EXPECT_EQ(file[66], 4); // bytes per line

    PcxImage* loaded = PcxLoad("kv_res_pcx.pcx");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->width, 4);
    EXPECT_EQ(loaded->height, 2);
    EXPECT_EQ(std::memcmp(loaded->pixels, pixels, sizeof pixels), 0);
    EXPECT_EQ(std::memcmp(loaded->palette, palette, 768), 0);
    EXPECT_EQ(loaded->keptByte, 12);

    PcxImage* copy = PcxCopy(loaded);
    PcxFree(loaded);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::memcmp(copy->pixels, pixels, sizeof pixels), 0);

    // Packed at once: the same body, saved as stored.
    PcxImage* packed = PcxFromPixels(copy, kPcxPacked, pixels, 4, 2, palette);
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(packed->bodySize, 7);
    ASSERT_TRUE(PcxSave("kv_res_pcx2.pcx", packed));
    std::vector<uint8_t> again;
    ASSERT_TRUE(ResReadFile("kv_res_pcx2.pcx", again));
    EXPECT_EQ(again, file);
    PcxFree(copy);
    PcxFree(packed);
    PcxFree(image);
    std::remove("kv_res_pcx.pcx");
    std::remove("kv_res_pcx2.pcx");
    EXPECT_EQ(PcxLoad("kv_res_missing.pcx"), nullptr);
}

// Only what the decoder reads is a picture: every other header is refused
// rather than decoded as garbage of the header's size.
TEST(Pcx, HeadersTheDecoderCannotReadAreRefused)
{
    struct Case {
        const char* what;
        std::size_t at;
        uint8_t value;
    };
    // clang-format off
    const Case cases[] = {
        {"1 bit per pixel", 3, 1},   {"2 bits per pixel", 3, 2}, {"4 bits per pixel", 3, 4},
        {"24-bit as 3 planes", 65, 3}, {"4 planes", 65, 4},       {"version 0", 1, 0},
        {"version 3", 1, 3},          {"encoding 0", 2, 0},      {"encoding 32", 2, 32},
        {"manufacturer 0", 0, 0},
    };
    // clang-format on
    PcxInfo info;
    const std::vector<uint8_t> good = PcxFile(4, 2, 4, {0xC8, 7});
    ASSERT_TRUE(PcxReadInfo(good, &info));
    for (const Case& c : cases) {
        std::vector<uint8_t> file = good;
        file[c.at] = c.value;
        EXPECT_FALSE(PcxReadInfo(file, &info)) << c.what;
    }
    // Bytes per line below the width.
    EXPECT_FALSE(PcxReadInfo(PcxFile(4, 2, 3, {0xC8, 7}), &info));
}

TEST(Pcx, APaletteIsReadOnlyBehindItsMarker)
{
    GamePalette palette{};
    std::vector<uint8_t> file = PcxFile(4, 2, 4, {0xC8, 7});
    EXPECT_TRUE(PcxReadPalette(file, &palette));
    file[file.size() - 769] = 0; // no marker
    palette.entries[10].red = 99;
    EXPECT_FALSE(PcxReadPalette(file, &palette));
    EXPECT_EQ(palette.entries[10].red, 99);
    // Files of other kinds that are long enough are no palettes either.
    std::vector<uint8_t> wav = restest::Bytes("RIFF");
    wav.resize(2000, 0x55);
    EXPECT_FALSE(PcxReadPalette(wav, &palette));

    WriteFile("kv_res_nopal.pcx", file);
    EXPECT_EQ(PcxLoad("kv_res_nopal.pcx"), nullptr);
    std::remove("kv_res_nopal.pcx");
}

// A file with padding between the pixels and the palette marker saves with
// the marker in place and reloads equal.
TEST(Pcx, APaddedFileSurvivesLoadThenSave)
{
    std::vector<uint8_t> body = {0xC3, 5, 0xC1, 0xC7, 1, 2, 0xC2, 9};
    body.insert(body.end(), {0, 0, 0}); // padding some writers leave
    WriteFile("kv_res_pad.pcx", PcxFile(4, 2, 4, body));
    PcxImage* loaded = PcxLoad("kv_res_pad.pcx");
    ASSERT_NE(loaded, nullptr);
    ASSERT_TRUE(PcxSave("kv_res_pad2.pcx", loaded));
    PcxImage* again = PcxLoad("kv_res_pad2.pcx");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->width, 4);
    EXPECT_EQ(again->height, 2);
    EXPECT_EQ(std::vector<uint8_t>(again->pixels, again->pixels + 8), (std::vector<uint8_t>{5, 5, 5, 0xC7, 1, 2, 9, 9}));
    EXPECT_EQ(std::memcmp(again->palette, loaded->palette, 768), 0);
    EXPECT_EQ(again->palette[30], 10);
    PcxFree(loaded);
    PcxFree(again);
    std::remove("kv_res_pad.pcx");
    std::remove("kv_res_pad2.pcx");
}

namespace {

// The decoder written as plainly as possible: code by code, every pixel
// checked against the row and the destination.
std::vector<uint8_t> PlainDecode(const std::vector<uint8_t>& file, int line, int height, int width, bool crossRows)
{
    std::vector<uint8_t> out(static_cast<std::size_t>(width) * height, 0xEE);
    std::size_t p = 128;
    int pending = 0;
    uint8_t value = 0;
    for (int y = 0; y < height; ++y) {
        if (!crossRows)
            pending = 0;
        for (int x = 0; x < line; ++x) {
            if (pending == 0) {
                while (p < file.size() && file[p] >= 0xC0 && (file[p] & 0x3F) == 0)
                    p += 2; // a run of nothing
                if (p >= file.size() || (file[p] >= 0xC0 && p + 1 >= file.size()))
                    return out;
                pending = file[p] >= 0xC0 ? file[p] & 0x3F : 1;
                value = file[p] >= 0xC0 ? file[p + 1] : file[p];
                p += file[p] >= 0xC0 ? 2 : 1;
            }
            if (x < width)
                out[static_cast<std::size_t>(y) * width + x] = value;
            --pending;
        }
    }
    return out;
}

} // namespace

// Random bodies of literals and runs of every length (empty ones too), cut
// short or whole, with and without a pad byte a line: the decoder and the
// loader (whose runs continue on the next row) agree with the plain decoder.
TEST(Pcx, RandomBodiesDecodeAsThePlainDecoder)
{
    std::mt19937 rng(7);
    struct Case {
        int width, line, height;
    };
    for (const Case c : {Case{64, 64, 6}, Case{37, 38, 5}, Case{9, 9, 12}}) {
        for (int round = 0; round < 20; ++round) {
            std::vector<uint8_t> body;
            while (body.size() < static_cast<std::size_t>(c.line * c.height)) {
                if (rng() % 3 == 0)
                    body.push_back(static_cast<uint8_t>(rng() % 0xC0));
                else
                    body.insert(body.end(), {static_cast<uint8_t>(0xC0 | rng() % 64), static_cast<uint8_t>(rng())});
            }
            std::vector<uint8_t> file = PcxFile(c.width, c.height, c.line, body);
            file.resize(128 + (round % 4 == 0 ? body.size() * (rng() % 100) / 100 : body.size()));
            PcxInfo info = {c.width, c.height, c.line};
            std::vector<uint8_t> pixels(static_cast<std::size_t>(c.width) * c.height, 0xEE);
            PcxDecodeBody(file, info, pixels.data(), c.width, c.width, c.height);
            ASSERT_EQ(pixels, PlainDecode(file, c.line, c.height, c.width, false)) << c.width << " round " << round;

            if (round % 4 == 0)
                continue; // the loader wants the palette after a whole body
            std::vector<uint8_t> whole = PcxFile(c.width, c.height, c.line, body);
            WriteFile("kv_res_random.pcx", whole);
            PcxImage* loaded = PcxLoad("kv_res_random.pcx");
            ASSERT_NE(loaded, nullptr);
            std::vector<uint8_t> plain = PlainDecode(whole, c.line, c.height, c.width, true);
            EXPECT_EQ(std::vector<uint8_t>(loaded->pixels, loaded->pixels + loaded->bodySize), plain)
                << c.width << " round " << round;
            PcxFree(loaded);
            std::remove("kv_res_random.pcx");
        }
    }
}

TEST(Pcx, LongRunsSplitAtSixtyThree)
{
    std::vector<uint8_t> row(130, 5), out;
    PcxPackRow(row.data(), 130, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xFF, 5, 0xFF, 5, 0xC4, 5}));
}

namespace {

// An IFF PBM file made by hand: FORM, PBM , BMHD, GRAB, CMAP, BODY.
std::vector<uint8_t> IffFile(int width, int height, uint8_t compression, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> f = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'P', 'B', 'M', ' '};
    auto chunk = [&f](const char* id, const std::vector<uint8_t>& data) {
        f.insert(f.end(), id, id + 4);
        uint32_t n = static_cast<uint32_t>(data.size());
        f.push_back(0x55); // byte 4 of the header is ignored
        f.push_back(static_cast<uint8_t>(n >> 16));
        f.push_back(static_cast<uint8_t>(n >> 8));
        f.push_back(static_cast<uint8_t>(n));
        f.insert(f.end(), data.begin(), data.end());
        if (n & 1)
            f.push_back(0);
    };
    std::vector<uint8_t> bmhd(20, 0);
    bmhd[0] = static_cast<uint8_t>(width >> 8);
    bmhd[1] = static_cast<uint8_t>(width);
    bmhd[2] = static_cast<uint8_t>(height >> 8);
    bmhd[3] = static_cast<uint8_t>(height);
    bmhd[10] = compression;
    chunk("BMHD", bmhd);
    chunk("ANNO", {'h', 'i', '!'});
    chunk("GRAB", {0, 3, 0xFF, 0xFE});
    std::vector<uint8_t> cmap;
    for (int i = 0; i < 256; ++i)
        cmap.insert(cmap.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i ^ 0xFF), 7});
    chunk("CMAP", cmap);
    chunk("BODY", body);
    return f;
}

} // namespace

TEST(Iff, ByteRun1BodyDropsThePadByteOfOddRows)
{
    // Width 13: each row is 14 bytes in the file. Row 0: literal 0..12 plus
    // pad 99; row 1: a run of 14 x 4 (-13), preceded by a no-op -128.
    std::vector<uint8_t> body = {13};
    for (uint8_t i = 0; i < 13; ++i)
        body.push_back(i);
    body.push_back(99);
    body.insert(body.end(), {0x80, static_cast<uint8_t>(-13), 4});
    std::vector<uint8_t> file = IffFile(13, 2, 1, body);

    IffPicture pic;
    std::vector<uint8_t> pixels(26, 0xEE);
    GamePalette palette{};
    ASSERT_TRUE(IffParse(file, &pic, pixels, &palette));
    EXPECT_EQ(pic.width, 13);
    EXPECT_EQ(pic.height, 2);
    EXPECT_EQ(pic.xOffset, 3);
    EXPECT_EQ(pic.yOffset, -2);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(pixels[i], i);
        EXPECT_EQ(pixels[13 + i], 4);
    }
    EXPECT_EQ(palette.entries[1].green, 0xFE);
    EXPECT_EQ(palette.entries[255].blue, 7);
}

TEST(Iff, UncompressedBodyAndOurWriterAgree)
{
    std::vector<uint8_t> body = {1, 2, 3, 0, 4, 5, 6, 0};
    IffPicture pic;
    std::vector<uint8_t> pixels(6);
    ASSERT_TRUE(IffParse(IffFile(3, 2, 0, body), &pic, pixels, nullptr));
    EXPECT_EQ(pixels, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));

    std::vector<uint8_t> picture(37 * 5);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<uint8_t>(i % 11 < 6 ? 3 : i);
    for (bool compress : {false, true}) {
        std::vector<uint8_t> file = IffBuildPbm(picture.data(), 37, 5, -1, 2, nullptr, compress);
        std::vector<uint8_t> back(picture.size());
        ASSERT_TRUE(IffParse(file, &pic, back, nullptr));
        EXPECT_EQ(back, picture);
        EXPECT_EQ(pic.xOffset, -1);
        EXPECT_FALSE(pic.hasPalette);
    }
}

TEST(Iff, MalformedFilesGiveNothing)
{
    std::vector<uint8_t> good = IffFile(3, 2, 0, {1, 2, 3, 0, 4, 5, 6, 0});
    IffPicture pic;
    std::vector<uint8_t> pixels(6);
    auto fails = [&](std::vector<uint8_t> file, const char* what) {
        EXPECT_FALSE(IffParse(file, &pic, pixels, nullptr)) << what;
    };
    std::vector<uint8_t> bad = good;
    bad[8] = 'I'; // "ILBM" is not read
    fails(bad, "form type");
    fails(std::vector<uint8_t>(good.begin(), good.end() - 3), "body past the end of the file");
    fails(IffFile(3, 2, 0, {1, 2, 3}), "body shorter than the picture");
    fails(IffFile(3, 2, 1, {5, 1, 2}), "ByteRun1 literal past the body");
    fails(IffFile(0, 2, 0, {}), "zero width");
    std::vector<uint8_t> resized = good;
    const uint8_t bmhd[] = {'B', 'M', 'H', 'D', 0, 0, 0, 12, 0x7F, 0xFF, 0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
    resized.insert(resized.end(), bmhd, bmhd + sizeof bmhd);
    fails(resized, "a second header after the body");
    std::vector<uint8_t> tooSmall(5);
    EXPECT_FALSE(IffParse(good, &pic, tooSmall, nullptr));
}

class ColourMaps : public restest::DataTree {};

TEST_F(ColourMaps, SaveAndLoadAllBytes)
{
    std::vector<uint8_t> map(kColourMapSize);
    for (std::size_t i = 0; i < map.size(); ++i)
        map[i] = static_cast<uint8_t>(i * 31);
    ASSERT_TRUE(ColourMapSave("zqk\\c.cm", map));
    EXPECT_FALSE(ColourMapSave("zqk\\short.cm", std::span(map).first(10)));
    std::vector<uint8_t> block(kColourMapSize);
    int32_t size = 0;
    ASSERT_EQ(ColourMapLoad("zqk\\c.cm", block, &size), block.data());
    EXPECT_EQ(block, map);
    Write("zqk\\short.cm", std::vector<uint8_t>(100));
    EXPECT_EQ(ColourMapLoad("zqk\\short.cm", block, &size), nullptr);
}
