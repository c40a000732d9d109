// Pixelmap files: golden bytes from the format's tables, binary and text
// round trips of every pixel size with a palette and a mip chain, and
// malformed files.
#include <algorithm>
#include <filesystem>
#include <string>

#include "framework/file.h"
#include "framework/pmfile.h"
#include "framework/resource.h"
#include "tests/framework/hx_tempdir.h"
#include "tests/pixelmap/pm_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Works in a temporary folder with the framework and the pixelmap module
// begun (the core's file fixture plus the module).
class PixelmapFiles : public HxFiles {
protected:
    void SetUp() override
    {
        HxFiles::SetUp();
        ASSERT_EQ(HxPixelmapBegin(), HX_OK);
    }
    void TearDown() override
    {
        HxPixelmapEnd();
        HxFiles::TearDown();
    }
    static std::string Path(const char* name) { return name; }
    static Bytes Read(const std::string& path) { return ReadBytes(path); }
    static void Write(const std::string& path, const Bytes& bytes) { WriteBytes(path, bytes); }
};

Bytes U32(uint32_t v)
{
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kFileInfo = U32(18) + U32(8) + U32(2) + U32(2); // FILE_INFO: pixelmap file, version 2
const Bytes kEnd = U32(0) + U32(0);

// Chunk 61: type, row_bytes, width, height, origin_x, origin_y, mip_offset,
// identifier.
Bytes Record(uint8_t type, uint16_t rowBytes, uint16_t w, uint16_t h, const std::string& id, uint16_t mip = 0)
{
    Bytes body = {type};
    for (uint16_t v : {rowBytes, w, h, uint16_t(0), uint16_t(0), mip}) {
        body.push_back(uint8_t(v >> 8));
        body.push_back(uint8_t(v));
    }
    body.insert(body.end(), id.begin(), id.end());
    body.push_back(0);
    return U32(61) + U32(uint32_t(body.size())) + body;
}

Bytes Pixels(uint32_t count, uint32_t size, const Bytes& data)
{
    return U32(33) + U32(8 + uint32_t(data.size())) + U32(count) + U32(size) + data;
}

hx_pixelmap* Ramp(uint8_t type, uint16_t w, uint16_t h, uint32_t flags = 0)
{
    hx_pixelmap* pm = HxPixelmapAllocate(type, w, h, nullptr, flags);
    int bytes = kHxPixelTypes[type].bytes;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            HxPixelmapPixelSet(pm, x, y, 0x01020304u * uint32_t(y * w + x + 1) & (bytes == 4 ? ~0u : (1u << (8 * bytes)) - 1));
    return pm;
}

// ---- golden bytes ---------------------------------------------------------------------

TEST_F(PixelmapFiles, ThirteenPixelRowsAreSavedWithoutTheirPadding)
{
    hx_pixelmap* pm = Ramp(HX_PMT_INDEX_8, 13, 2);
    ASSERT_EQ(pm->row_bytes, 16);
    char id[] = "t";
    pm->identifier = id;
    ASSERT_EQ(HxPixelmapSave(Path("a.pix").c_str(), pm), 1);
    Bytes pixels;
    for (int i = 1; i <= 26; ++i)
        pixels.push_back(uint8_t(0x04 * i));
    EXPECT_EQ(Read(Path("a.pix")), kFileInfo + Record(3, 13, 13, 2, "t") + Pixels(26, 1, pixels) + kEnd);
}

TEST_F(PixelmapFiles, MultiBytePixelsAreBigEndianAndBottomUpRowsGoInOrder)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_RGB_888, 2, 2, nullptr, HX_PMAF_INVERTED);
    HxPixelmapPixelSet(pm, 0, 0, 0x112233);
    HxPixelmapPixelSet(pm, 1, 0, 0x445566);
    HxPixelmapPixelSet(pm, 0, 1, 0x778899);
    HxPixelmapPixelSet(pm, 1, 1, 0xAABBCC);
    ASSERT_EQ(HxPixelmapSave(Path("b.pix").c_str(), pm), 1);
    EXPECT_EQ(Read(Path("b.pix")),
              kFileInfo + Record(6, 6, 2, 2, "") +
                  Pixels(4, 3, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC}) + kEnd);
}

TEST_F(PixelmapFiles, PaletteIsWrittenBeforeItsOwnersPixels)
{
    hx_pixelmap* pm = Ramp(HX_PMT_INDEX_8, 2, 1);
    pm->map = HxPixelmapAllocate(HX_PMT_RGBX_888, 1, 2, nullptr, 0);
    HxPixelmapPixelSet(pm->map, 0, 0, 0x00FF0000);
    HxPixelmapPixelSet(pm->map, 0, 1, 0x000000FF);
    ASSERT_EQ(HxPixelmapSave(Path("c.pix").c_str(), pm), 1);
    EXPECT_EQ(Read(Path("c.pix")), kFileInfo + Record(3, 2, 2, 1, "") + Record(7, 4, 1, 2, "") +
                                       Pixels(2, 4, {0, 0xFF, 0, 0, 0, 0, 0, 0xFF}) + U32(34) + U32(0) +
                                       Pixels(2, 1, {0x04, 0x08}) + kEnd);
}

TEST_F(PixelmapFiles, MipChainIsOneBlockOfEveryLevel)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_RGB_565, 4, 4, nullptr, HX_PMAF_NO_PIXELS);
    uint16_t chain[21];
    for (int i = 0; i < 21; ++i)
        chain[i] = uint16_t(0x0100 + i);
    pm->pixels = chain;
    pm->row_bytes = 8;
    pm->mip_offset = 32;
    ASSERT_EQ(HxPixelmapSave(Path("d.pix").c_str(), pm), 1);
    Bytes data;
    for (int i = 0; i < 21; ++i)
        data = data + Bytes{0x01, uint8_t(i)};
    EXPECT_EQ(Read(Path("d.pix")), kFileInfo + Record(5, 8, 4, 4, "", 32) + Pixels(21, 2, data) + kEnd);

    hx_pixelmap* back = HxPixelmapLoad(Path("d.pix").c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->mip_offset, 32);
    EXPECT_GE(HxResSize(back->pixels), 42u);
    EXPECT_EQ(std::memcmp(back->pixels, chain, 42), 0);
}

// ---- round trips ----------------------------------------------------------------------

void ExpectSamePixels(hx_pixelmap* a, hx_pixelmap* b)
{
    ASSERT_EQ(a->type, b->type);
    ASSERT_EQ(a->width, b->width);
    ASSERT_EQ(a->height, b->height);
    for (int y = 0; y < a->height; ++y)
        for (int x = 0; x < a->width; ++x)
            ASSERT_EQ(HxPixelmapPixelQuery(a, x, y), HxPixelmapPixelQuery(b, x, y)) << x << "," << y;
}

TEST_F(PixelmapFiles, PartsAndResizedCopiesOfAMipChainSaveAsPlainRows)
{
    // An 8 x 8 chain in caller memory holds exactly 64 + 16 + 4 + 1 bytes: a
    // part or a resized pixelmap saved as a chain would read past them.
    uint8_t chain[85];
    for (int i = 0; i < 85; ++i)
        chain[i] = uint8_t(i);
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 8, 8, chain, 0);
    pm->mip_offset = 64;
    hx_pixelmap* lower = HxPixelmapAllocateSub(pm, 0, 4, 8, 4);
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(lower->mip_offset, 0);
    ASSERT_EQ(HxPixelmapSave(Path("part.pix").c_str(), lower), 1);
    hx_pixelmap* back = HxPixelmapLoad(Path("part.pix").c_str());
    ASSERT_NE(back, nullptr);
    ExpectSamePixels(back, lower);

    ASSERT_EQ(HxPixelmapResize(pm, 4, 4), pm);
    EXPECT_EQ(pm->mip_offset, 0);
    ASSERT_EQ(HxPixelmapSave(Path("small.pix").c_str(), pm), 1);
    EXPECT_EQ(Read(Path("small.pix")).size(), kFileInfo.size() + Record(3, 4, 4, 4, "").size() + 16 + 16 + kEnd.size());
}

class PixelmapRoundTrip : public PixelmapFiles, public ::testing::WithParamInterface<std::tuple<uint8_t, int>> {};

TEST_P(PixelmapRoundTrip, PixelsPaletteOriginAndNameComeBack)
{
    auto [type, mode] = GetParam();
    HxFileModeSet(mode);
    char name[] = "hull plating";
    hx_pixelmap* pm = Ramp(type, 37, 5, HX_PMAF_INVERTED);
    pm->identifier = name;
    pm->origin_x = 3;
    pm->origin_y = -2;
    pm->map = Ramp(HX_PMT_RGBX_888, 1, 16);
    hx_pixelmap* sub = HxPixelmapAllocateSub(pm, 5, 1, 9, 3); // sub-pixelmaps save their own rectangle
    hx_pixelmap* both[2] = {pm, sub};
    ASSERT_EQ(HxPixelmapSaveMany(Path("r.pix").c_str(), both, 2), 2);

    hx_pixelmap* back[3] = {};
    ASSERT_EQ(HxPixelmapLoadMany(Path("r.pix").c_str(), back, 3), 2);
    ExpectSamePixels(back[0], pm);
    EXPECT_STREQ(back[0]->identifier, "hull plating");
    EXPECT_EQ(back[0]->origin_x, 3);
    EXPECT_EQ(back[0]->origin_y, -2);
    ASSERT_NE(back[0]->map, nullptr);
    ExpectSamePixels(back[0]->map, pm->map);
    EXPECT_TRUE(HxResIsChild(back[0], back[0]->map));
    EXPECT_EQ(back[0]->row_bytes, int(HxPixelmapFileRowBytes(type, 37)));
    ExpectSamePixels(back[1], sub);
    ASSERT_NE(back[1]->map, nullptr); // a sub-pixelmap shares its parent's palette
    ExpectSamePixels(back[1]->map, pm->map);

    // The loaded pixelmaps are full memory pixelmaps.
    HxPixelmapFill(back[1], 0);
    EXPECT_EQ(HxPixelmapPixelQuery(back[1], 8, 2), 0u);
    HxPixelmapFree(back[0]);
}

INSTANTIATE_TEST_SUITE_P(Types, PixelmapRoundTrip,
                         ::testing::Combine(::testing::Values(HX_PMT_INDEX_8, HX_PMT_RGB_565, HX_PMT_RGB_888,
                                                              HX_PMT_RGBA_8888),
                                            ::testing::Values(int(HX_FILE_MODE_BINARY), int(HX_FILE_MODE_TEXT))));

TEST_F(PixelmapFiles, TextMipChainRoundTripAndLoadReturnsTheFirst)
{
    HxFileModeSet(HX_FILE_MODE_TEXT);
    hx_pixelmap* mip = HxPixelmapAllocate(HX_PMT_RGBX_888, 8, 8, nullptr, HX_PMAF_NO_PIXELS);
    std::vector<uint32_t> chain(64 + 16 + 4 + 1);
    for (size_t i = 0; i < chain.size(); ++i)
        chain[i] = uint32_t(i * 0x01010101u);
    mip->pixels = chain.data();
    mip->row_bytes = 32;
    mip->mip_offset = 256;
    hx_pixelmap* second = Ramp(HX_PMT_INDEX_8, 3, 3);
    hx_pixelmap* both[2] = {mip, second};
    ASSERT_EQ(HxPixelmapSaveMany(Path("m.pix").c_str(), both, 2), 2);
    EXPECT_EQ(Read(Path("m.pix"))[0], '*');

    hx_pixelmap* first = HxPixelmapLoad(Path("m.pix").c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width, 8);
    EXPECT_GE(HxResSize(first->pixels), chain.size() * 4);
    EXPECT_EQ(std::memcmp(first->pixels, chain.data(), chain.size() * 4), 0);
}

TEST_F(PixelmapFiles, SubBytePixelsUseWholeBytesARow)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_4, 5, 2, nullptr, 0);
    auto* p = static_cast<uint8_t*>(pm->pixels);
    const uint8_t row0[3] = {0x12, 0x34, 0x50}, row1[3] = {0x67, 0x89, 0xA0};
    std::memcpy(p, row0, 3);
    std::memcpy(p + pm->row_bytes, row1, 3);
    ASSERT_EQ(HxPixelmapSave(Path("n.pix").c_str(), pm), 1);
    EXPECT_EQ(Read(Path("n.pix")),
              kFileInfo + Record(2, 3, 5, 2, "") + Pixels(6, 1, {0x12, 0x34, 0x50, 0x67, 0x89, 0xA0}) + kEnd);
    hx_pixelmap* back = HxPixelmapLoad(Path("n.pix").c_str());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->row_bytes, 3);
    EXPECT_EQ(std::memcmp(back->pixels, "\x12\x34\x50\x67\x89\xA0", 6), 0);
}

// ---- failures -------------------------------------------------------------------------

TEST_F(PixelmapFiles, MissingFilesAndUnsavablePixelmaps)
{
    hx_pixelmap* out[2];
    EXPECT_EQ(HxPixelmapLoad(Path("none.pix").c_str()), nullptr);
    EXPECT_EQ(HxPixelmapLoadMany(Path("none.pix").c_str(), out, 2), 0);
    EXPECT_EQ(HxPixelmapSave(Path("no/such/dir/x.pix").c_str(), Ramp(HX_PMT_INDEX_8, 2, 2)), 0);

    // A pixelmap without pixels is refused before the file is touched.
    Write(Path("keep.pix"), {1, 2, 3});
    hx_pixelmap* bare = HxPixelmapAllocate(HX_PMT_INDEX_8, 2, 2, nullptr, HX_PMAF_NO_PIXELS);
    HxDiagLog::Clear();
    EXPECT_EQ(HxPixelmapSave(Path("keep.pix").c_str(), bare), 0);
    EXPECT_TRUE(HxDiagLog::Saw("pp->pixels"));
    EXPECT_EQ(Read(Path("keep.pix")), (Bytes{1, 2, 3}));
    EXPECT_EQ(HxPixelmapSaveMany(nullptr, &bare, 1), 0);
    EXPECT_TRUE(HxDiagLog::Saw("filename != NULL"));
}

// A file system whose writes stop after a budget of bytes, as a full disk
// would.
size_t gWriteBudget;
size_t BudgetedWrite(const void* buffer, size_t size, size_t count, void* handle)
{
    size_t n = std::min(count, gWriteBudget / size);
    gWriteBudget -= n * size;
    return HxStdFilesystem.write(buffer, size, n, handle);
}

TEST_F(PixelmapFiles, ASaveThatFailsPartwayLeavesTheOldFileByteForByte)
{
    ASSERT_EQ(HxPixelmapSave(Path("keep.pix").c_str(), Ramp(HX_PMT_INDEX_8, 8, 8)), 1);
    const Bytes old = Read(Path("keep.pix"));
    hx_pixelmap* bigger = Ramp(HX_PMT_RGB_565, 16, 16);

    hx_filesystem failing = HxStdFilesystem;
    failing.write = BudgetedWrite;
    HxFilesystemSet(&failing);
    // Stopped in the header, in the record and in the pixels.
    for (size_t budget : {size_t(4), size_t(40), old.size() + 100}) {
        gWriteBudget = budget;
        EXPECT_EQ(HxPixelmapSave(Path("keep.pix").c_str(), bigger), 0) << budget;
        EXPECT_EQ(Read(Path("keep.pix")), old) << budget;
    }
    HxFilesystemSet(nullptr);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        EXPECT_EQ(entry.path().filename(), "keep.pix"); // no temporary left behind
        ++files;
    }
    EXPECT_EQ(files, 1);

    ASSERT_EQ(HxPixelmapSave(Path("keep.pix").c_str(), bigger), 1);
    EXPECT_GT(Read(Path("keep.pix")).size(), old.size());
}

TEST_F(PixelmapFiles, MalformedFilesAreRejectedWithAReport)
{
    const Bytes good = Record(3, 2, 2, 2, "g") + Pixels(4, 1, {1, 2, 3, 4}) + kEnd;
    struct Case {
        const char* what;
        Bytes body;
        int loaded;       // pixelmaps returned
        const char* text; // expected in the report, or null
    };
    const Case cases[] = {
        {"too few pixels", Record(3, 2, 2, 2, "") + Pixels(3, 1, {1, 2, 3}) + kEnd, 0, "needs 4"},
        {"too many pixels", Record(3, 2, 2, 2, "") + Pixels(5, 1, {1, 2, 3, 4, 5}) + kEnd, 0, "needs 4"},
        {"wrong element size", Record(5, 4, 2, 1, "") + Pixels(4, 1, {1, 2, 3, 4}) + kEnd, 0, "size mismatch"},
        {"record without pixels", Record(3, 2, 2, 2, "") + kEnd, 0, "without pixels"},
        {"pixels without record", Pixels(4, 1, {1, 2, 3, 4}) + kEnd, 0, "pixels without a pixelmap"},
        {"palette without pixels", Record(3, 2, 2, 1, "") + Record(7, 4, 1, 1, "") + U32(34) + U32(0) + Pixels(2, 1, {1, 2}) + kEnd,
         0, "palette without pixels"},
        {"palette without owner", good + Record(7, 4, 1, 1, "") + Pixels(1, 4, {0, 0, 0, 1}) + U32(34) + U32(0) + kEnd,
         1, "ADD_MAP without"},
        {"unnamed type", Record(20, 2, 2, 1, "") + Pixels(2, 2, {0, 0, 0, 0}) + kEnd, 0, "unusable"},
        {"row too wide", Record(7, 0, 65535, 1, "") + kEnd, 0, "unusable"},
        {"truncated block", Record(3, 2, 2, 2, "") + U32(33) + U32(12) + U32(4) + U32(1) + Bytes{1}, 0, nullptr},
        {"truncated record", U32(61) + U32(40) + Bytes{3, 0}, 0, nullptr},
        {"second pixels", Record(3, 1, 1, 1, "") + Pixels(1, 1, {7}) + Pixels(1, 1, {8}) + kEnd, 1, "second block"},
        {"good then bad", good + Record(3, 2, 2, 2, "") + Pixels(1, 1, {1}) + kEnd, 1, "needs 4"},
    };
    for (const Case& c : cases) {
        Write(Path("bad.pix"), kFileInfo + c.body);
        HxDiagLog::Clear();
        hx_pixelmap* out[4] = {};
        EXPECT_EQ(HxPixelmapLoadMany(Path("bad.pix").c_str(), out, 4), c.loaded) << c.what;
        for (int i = 0; i < c.loaded; ++i) {
            ASSERT_NE(out[i], nullptr) << c.what;
            EXPECT_NE(out[i]->pixels, nullptr) << c.what;
        }
        if (c.text) {
            EXPECT_TRUE(HxDiagLog::Saw(c.text)) << c.what;
        }
    }
}

} // namespace

namespace {

// The fuzz seeds named valid_* must stay loadable, so the fuzzer starts from
// real files; the bad_* ones must be refused without a crash.
TEST_F(PixelmapFiles, FuzzSeedsStayMeaningful)
{
    const std::filesystem::path corpus = std::filesystem::path(KV_SOURCE_DIR) / "fuzz/corpus/pm_file";
    int valid = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        hx_pixelmap* out[8] = {};
        int n = HxPixelmapLoadMany(entry.path().string().c_str(), out, 8);
        if (name.rfind("valid_", 0) == 0) {
            EXPECT_GE(n, 1) << name;
            ++valid;
        } else {
            EXPECT_EQ(n, 0) << name;
        }
    }
    EXPECT_GE(valid, 6);
}

} // namespace
