// The datafile format: golden bytes and lines from the format's tables,
// round trips through both encodings, and malformed input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/datafile.h"
#include "framework/file.h"
#include "framework/resource.h"
#include "tests/framework/hx_every_record.h"
#include "tests/framework/hx_tempdir.h"

namespace {

char abText[] = "ab";

Every Sample()
{
    Every e = {};
    e.i8 = -2;
    e.u8 = 200;
    e.i16 = -3;
    e.u16 = 0x1234;
    e.i32 = -5;
    e.u32 = 0xDEADBEEF;
    e.fixed = 0x18000;
    e.angle = 16384;
    e.f = 2.5f;
    e.d = 1.0;
    e.scalar = 0x10000;
    e.fraction = 16384;
    e.ufraction = 0x4000;
    e.e8 = 1;
    e.e16 = 2;
    e.e32 = 0xFACE;
    e.inner = {7, 0x112233};
    e.name = abText;
    e.none = nullptr;
    e.colour = 0x112233;
    e.v3[0] = 0x10000;
    e.v3[1] = 0x20000;
    e.v3[2] = -0x10000;
    e.fv2[0] = 0.5f;
    e.fv2[1] = -2.0f;
    return e;
}

const std::vector<uint8_t> kEveryBytes = {
    0xFE, 0xC8, 0xFF, 0xFD, 0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFB, 0xDE, 0xAD, 0xBE, 0xEF, // i8 .. u32
    0x3F, 0xC0, 0x00, 0x00,                                                             // fixed 1.5
    0x40, 0x00,                                                                         // angle
    0x40, 0x20, 0x00, 0x00,                                                             // float 2.5
    0x3F, 0xF0, 0, 0, 0, 0, 0, 0,                                                       // double 1
    0x3F, 0x80, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00, 0x3E, 0x80, 0x00, 0x00,             // scalar, fractions
    0x01, 0x00, 0x02, 0x00, 0x00, 0xFA, 0xCE,                                           // enums
    0x00, 0x07, 0x11, 0x22, 0x33,                                                       // inner
    0x61, 0x62, 0x00, 0x00,                                                             // "ab", null
    0x11, 0x22, 0x33,                                                                   // colour
    0x3F, 0x80, 0, 0, 0x40, 0x00, 0, 0, 0xBF, 0x80, 0, 0,                               // v3
    0x3F, 0x00, 0, 0, 0xC0, 0x00, 0, 0,                                                 // fv2
};

// A member line as the text form lays it out: four blanks (two more per
// level), the type name padded to 10, the value padded to 40, " # " and the name.
std::string M(const std::string& type, const std::string& value, const std::string& name, int depth = 0)
{
    std::string line(4 + 2 * depth, ' ');
    line += type;
    line += type.size() < 10 ? std::string(10 - type.size(), ' ') : " ";
    line += value;
    if (value.size() < 40)
        line += std::string(40 - value.size(), ' ');
    return line + " # " + name + "\n";
}

const std::string kEveryText = std::string("  struct    every\n") +
                               "    int_8     -2                                       # i8\n" + M("uint_8", "200", "u8") +
                               M("int_16", "-3", "i16") + M("uint_16", "4660", "u16") + M("int_32", "-5", "i32") +
                               M("uint_32", "3735928559", "u32") + M("fixed", "1.5", "fixed") + M("angle", "90", "angle") +
                               M("float", "2.5", "f") + M("double", "1", "d") + M("scalar", "1", "scalar") + M("fraction", "0.5", "fraction") +
                               M("ufraction", "0.25", "ufraction") + M("enum_8", "SHIP", "e8") + M("enum_16", "BASE", "e16") +
                               M("enum_32", "MODEL", "e32") + M("struct", "inner", "inner") + M("int_16", "7", "a", 1) +
                               M("colour", "17,34,51", "colour", 1) + M("asciz", "\"ab\"", "name") + M("asciz", "NULL", "none") +
                               M("colour", "17,34,51", "colour") + M("vector3", "1,2,-1", "v3") + M("float_vector2", "0.5,-2", "fv2");

// The binary form writes a null string as an empty one.
void ExpectSame(const Every& a, const Every& b, bool binary = false)
{
    EXPECT_EQ(a.i8, b.i8);
    EXPECT_EQ(a.u8, b.u8);
    EXPECT_EQ(a.i16, b.i16);
    EXPECT_EQ(a.u16, b.u16);
    EXPECT_EQ(a.i32, b.i32);
    EXPECT_EQ(a.u32, b.u32);
    EXPECT_EQ(a.fixed, b.fixed);
    EXPECT_EQ(a.angle, b.angle);
    EXPECT_EQ(a.f, b.f);
    EXPECT_EQ(a.d, b.d);
    EXPECT_EQ(a.scalar, b.scalar);
    EXPECT_EQ(a.fraction, b.fraction);
    EXPECT_EQ(a.ufraction, b.ufraction);
    EXPECT_EQ(a.e8, b.e8);
    EXPECT_EQ(a.e16, b.e16);
    EXPECT_EQ(a.e32, b.e32);
    EXPECT_EQ(a.inner.a, b.inner.a);
    EXPECT_EQ(a.inner.colour, b.inner.colour);
    EXPECT_STREQ(a.name, b.name);
    if (binary)
        EXPECT_STREQ(a.none, "");
    else
        EXPECT_EQ(a.none, b.none);
    EXPECT_EQ(a.colour, b.colour);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(a.v3[i], b.v3[i]);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(a.fv2[i], b.fv2[i]);
}

// Chunk handlers of the reading tests record into this.
struct Seen {
    std::vector<uint32_t> ids;
    std::vector<uint32_t> counts;
    Every every = {};
    std::vector<uint8_t> block;
    std::string name;
    int result = 0;
};
Seen* seen;

int OnEvery(hx_datafile* df, uint32_t id, uint32_t, uint32_t count)
{
    seen->ids.push_back(id);
    seen->counts.push_back(count);
    return df->prims->struct_read(df, &kEvery, &seen->every) ? 1 : seen->result;
}

int OnInfo(hx_datafile* df, uint32_t id, uint32_t, uint32_t)
{
    seen->ids.push_back(id);
    hx_file_info info;
    return df->prims->struct_read(df, &HxFileInfoTemplate, &info) ? 1 : 0;
}

int OnBlock(hx_datafile* df, uint32_t id, uint32_t, uint32_t)
{
    seen->ids.push_back(id);
    void* block = nullptr;
    uint32_t count = 0;
    if (df->prims->block_read(df, &block, &count, 2, HX_RES_APPLICATION) != HX_OK)
        return 1;
    auto* bytes = static_cast<uint8_t*>(block);
    seen->block.assign(bytes, bytes + count * 2);
    HxResFree(block);
    return 0;
}

int OnName(hx_datafile* df, uint32_t id, uint32_t, uint32_t)
{
    seen->ids.push_back(id);
    char name[256];
    if (df->prims->name_read(df, name) != HX_OK)
        return 1;
    seen->name = name;
    return 0;
}

constexpr uint32_t kEveryChunk = 54;
constexpr uint32_t kNameChunk = 14;
constexpr hx_chunk_entry kEntries[] = {
    {HX_CHUNK_FILE_INFO, 0, OnInfo},
    {kEveryChunk, 1, OnEvery},
    {HX_CHUNK_PIXELS, 0, OnBlock},
    {kNameChunk, 0, OnName},
    {60, 0, OnName},
    {99, 0, OnName},
};
constexpr hx_chunk_table kTable = {int(std::size(kEntries)), kEntries};

class HxDatafile : public HxFiles {
protected:
    void SetUp() override
    {
        HxFiles::SetUp();
        seen = &record;
    }
    // Writes FILE_INFO, an "every" record with a count, a skipped chunk, a
    // block of 16-bit elements and a name, in the default file mode.
    void WriteSample(const char* path)
    {
        hx_datafile* df = DfOpen(path, 1, HX_DF_SCALAR_FIXED);
        ASSERT_NE(df, nullptr);
        const hx_file_primitives* p = df->prims;
        Every e = Sample();
        EXPECT_EQ(DfFileInfoWrite(df, HX_FILE_TYPE_MODEL), HX_OK);
        p->chunk_write(df, kEveryChunk, p->count_size(df) + p->struct_size(df, &kEvery, &e));
        p->count_write(df, 1);
        EXPECT_EQ(DfStructWriteArray(df, &kEvery, &e, 1), 1);
        p->chunk_write(df, 50, p->name_size(df, "skipped"));
        p->name_write(df, "skipped");
        uint16_t rows[2][3] = {{0x0102, 0x0304, 0x0506}, {0x0708, 0x090A, 0x0B0C}};
        // Bottom-up: the second row in memory is the first in the file.
        p->chunk_write(df, HX_CHUNK_PIXELS, p->block_size(df, 3, 2, 2));
        EXPECT_EQ(p->block_write(df, rows[1], 3, -int32_t(sizeof rows[0]), 2, 2), HX_OK);
        p->chunk_write(df, kNameChunk, p->name_size(df, "Cobra"));
        p->name_write(df, "Cobra");
        DfEndWrite(df);
        DfClose(df);
    }
    void ReadSample(const char* path, bool binary)
    {
        hx_datafile* df = DfOpen(path, 0, HX_DF_SCALAR_FIXED);
        ASSERT_NE(df, nullptr);
        EXPECT_EQ(DfChunksInterpret(df, &kTable), 0);
        DfClose(df);
        EXPECT_EQ(record.ids, (std::vector<uint32_t>{HX_CHUNK_FILE_INFO, kEveryChunk, HX_CHUNK_PIXELS, kNameChunk}));
        EXPECT_EQ(record.counts, std::vector<uint32_t>{1});
        ExpectSame(record.every, Sample(), binary);
        EXPECT_EQ(record.block, (std::vector<uint8_t>{8, 7, 0xA, 9, 0xC, 0xB, 2, 1, 4, 3, 6, 5}));
        EXPECT_EQ(record.name, "Cobra");
        EXPECT_TRUE(HxDiagLog::Failures().empty()) << HxDiagLog::Failures().front();
    }
    // Reads a file made of the given text and returns the chunk loop's result.
    int Interpret(const std::string& text)
    {
        WriteText("in.dat", text);
        hx_datafile* df = DfOpen("in.dat", 0, HX_DF_SCALAR_FIXED);
        EXPECT_NE(df, nullptr);
        if (!df)
            return -100;
        int r = DfChunksInterpret(df, &kTable);
        DfClose(df);
        return r;
    }
    Seen record;
};

} // namespace

TEST_F(HxDatafile, FileInfoGoldenInBothForms)
{
    hx_datafile* df = DfOpen("info.bin", 1, HX_DF_SCALAR_FIXED);
    DfFileInfoWrite(df, HX_FILE_TYPE_MODEL);
    DfEndWrite(df);
    DfClose(df);
    EXPECT_EQ(ReadBytes("info.bin"), (std::vector<uint8_t>{0, 0, 0, 0x12, 0, 0, 0, 8, 0, 0, 0xFA, 0xCE, 0, 0, 0, 2,
                                                           0, 0, 0, 0, 0, 0, 0, 0}));
    HxFileModeSet(HX_FILE_MODE_TEXT);
    df = DfOpen("info.txt", 1, HX_DF_SCALAR_FIXED);
    DfFileInfoWrite(df, HX_FILE_TYPE_MODEL);
    DfEndWrite(df);
    DfClose(df);
    EXPECT_EQ(ReadText("info.txt"), "*FILE_INFO        3\n"
                                    "  struct    file_info\n" +
                                        M("enum_32", "FILE_TYPE_MODEL", "type") + M("uint_32", "2", "version") +
                                        "*END              0\n");
}

TEST_F(HxDatafile, EveryMemberTypeGoldenBinary)
{
    hx_datafile* df = DfOpen("every.bin", 1, HX_DF_SCALAR_FIXED);
    Every e = Sample();
    EXPECT_EQ(df->prims->struct_size(df, &kEvery, &e), kEveryBytes.size());
    EXPECT_EQ(df->prims->struct_write(df, &kEvery, &e), HX_OK);
    DfClose(df);
    EXPECT_EQ(ReadBytes("every.bin"), kEveryBytes);
}

TEST_F(HxDatafile, EveryMemberTypeGoldenText)
{
    HxFileModeSet(HX_FILE_MODE_TEXT);
    hx_datafile* df = DfOpen("every.txt", 1, HX_DF_SCALAR_FIXED);
    Every e = Sample();
    EXPECT_EQ(df->prims->struct_size(df, &kEvery, &e), 25u); // struct line, 22 members, 2 nested
    EXPECT_EQ(df->prims->struct_write(df, &kEvery, &e), HX_OK);
    DfClose(df);
    EXPECT_EQ(ReadText("every.txt"), kEveryText);
}

TEST_F(HxDatafile, BinaryRoundTrip)
{
    WriteSample("sample.bin");
    EXPECT_EQ(ReadBytes("sample.bin").at(3), 0x12);
    ReadSample("sample.bin", true);
}

TEST_F(HxDatafile, TextRoundTripAndBlockLines)
{
    HxFileModeSet(HX_FILE_MODE_TEXT);
    WriteSample("sample.txt");
    std::string text = ReadText("sample.txt");
    EXPECT_EQ(text.rfind("*FILE_INFO", 0), 0u);
    EXPECT_NE(text.find("*PIXELS           3\n  block 6\n  size 2\n    00000000: 0708090a0b0c010203040506\n"),
              std::string::npos);
    EXPECT_NE(text.find("*ADD_MODEL        1\n  name \"Cobra\"\n"), std::string::npos);
    HxFileModeSet(HX_FILE_MODE_BINARY); // reading identifies the form by itself
    ReadSample("sample.txt", false);
}

TEST_F(HxDatafile, ScalarsFollowTheHandlesScalarType)
{
    struct Scalar {
        union {
            float f;
            hx_fixed x;
        };
    };
    static constexpr hx_struct_member member = {HX_DF_SCALAR, 0, "s", nullptr};
    static constexpr hx_struct_template tpl = {"s", 1, &member, sizeof(Scalar)};
    WriteBytes("one.bin", {0, 0, 0, 0x12, 0, 0, 0, 8, 0, 0, 0xFA, 0xCE, 0, 0, 0, 2, 0x3F, 0xC0, 0, 0});
    for (int type : {int(HX_DF_SCALAR_FLOAT), int(HX_DF_SCALAR_FIXED), 7}) {
        hx_datafile* df = DfOpen("one.bin", 0, type);
        df->prims->skip(df, 16);
        Scalar out = {};
        EXPECT_EQ(df->prims->struct_read(df, &tpl, &out), HX_OK);
        if (type == HX_DF_SCALAR_FLOAT)
            EXPECT_EQ(out.f, 1.5f);
        else if (type == HX_DF_SCALAR_FIXED)
            EXPECT_EQ(out.x, 0x18000);
        else
            EXPECT_TRUE(HxDiagLog::Saw("Failure: Incorrect scalar type"));
        DfClose(df);
    }
}

TEST_F(HxDatafile, ThirtyThreeByteTextBlockIsTwoLines)
{
    HxFileModeSet(HX_FILE_MODE_TEXT);
    hx_datafile* df = DfOpen("block.txt", 1, HX_DF_SCALAR_FIXED);
    uint8_t bytes[33];
    for (int i = 0; i < 33; ++i)
        bytes[i] = uint8_t(i);
    EXPECT_EQ(df->prims->block_size(df, 33, 1, 1), 4u);
    df->prims->block_write(df, bytes, 33, 33, 1, 1);
    DfClose(df);
    EXPECT_EQ(ReadText("block.txt"), "  block 33\n  size 1\n"
                                     "    00000000: 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f\n"
                                     "    00000020: 20\n");
    // Read back into a caller's buffer, then refused into one too small.
    WriteText("in.txt", "*FILE_INFO 3\n" + ReadText("block.txt"));
    df = DfOpen("in.txt", 0, HX_DF_SCALAR_FIXED);
    df->prims->skip(df, 1);
    uint8_t back[40] = {};
    void* to = back;
    uint32_t count = 40;
    EXPECT_EQ(df->prims->block_read(df, &to, &count, 1, 0), HX_OK);
    EXPECT_EQ(count, 33u);
    EXPECT_EQ(std::memcmp(back, bytes, 33), 0);
    DfClose(df);
    df = DfOpen("in.txt", 0, HX_DF_SCALAR_FIXED);
    df->prims->skip(df, 1);
    count = 10;
    EXPECT_EQ(df->prims->block_read(df, &to, &count, 1, 0), HXE_FAIL);
    EXPECT_TRUE(HxDiagLog::Saw("DfBlockReadText: block too long: 33"));
    DfClose(df);
}

TEST_F(HxDatafile, EmptyBlockAndStridedRows)
{
    hx_datafile* df = DfOpen("rows.bin", 1, HX_DF_SCALAR_FIXED);
    uint8_t pixels[2][16];
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 16; ++c)
            pixels[r][c] = uint8_t(r * 16 + c);
    df->prims->block_write(df, pixels, 13, 16, 2, 1); // 13 x 2 of a 16-byte-row picture
    df->prims->block_write(df, pixels, 0, 16, 0, 1);
    DfClose(df);
    std::vector<uint8_t> bytes = ReadBytes("rows.bin");
    ASSERT_EQ(bytes.size(), 8u + 26 + 8);
    EXPECT_EQ(bytes[3], 26);
    EXPECT_EQ(bytes[7], 1);
    EXPECT_EQ(bytes[8 + 12], 12);
    EXPECT_EQ(bytes[8 + 13], 16); // the second row follows without its padding
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 8, bytes.end()), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

TEST_F(HxDatafile, UnknownChunksAreSkippedAndChunkSixtyReadsBack)
{
    HxFileModeSet(HX_FILE_MODE_TEXT);
    hx_datafile* df = DfOpen("ids.txt", 1, HX_DF_SCALAR_FIXED);
    DfFileInfoWrite(df, HX_FILE_TYPE_NONE);
    df->prims->chunk_write(df, 42, 2); // unknown to the table: its two lines are skipped
    df->prims->name_write(df, "one");
    df->prims->name_write(df, "two");
    df->prims->chunk_write(df, 60, 1);
    df->prims->name_write(df, "sixty");
    df->prims->chunk_write(df, 99, 1);
    df->prims->name_write(df, "hex");
    DfClose(df);
    std::string text = ReadText("ids.txt");
    EXPECT_NE(text.find("*ACTOR_ADD_CHILD  2\n"), std::string::npos);
    EXPECT_NE(text.find("*0x0000003c 1\n"), std::string::npos);
    EXPECT_NE(text.find("*0x00000063 1\n"), std::string::npos);
    df = DfOpen("ids.txt", 0, HX_DF_SCALAR_FIXED);
    EXPECT_EQ(DfChunksInterpret(df, &kTable), 0);
    DfClose(df);
    EXPECT_EQ(record.ids, (std::vector<uint32_t>{HX_CHUNK_FILE_INFO, 60, 99}));
    EXPECT_EQ(record.name, "hex");
}

TEST_F(HxDatafile, FilesOfNoKnownFormDoNotOpen)
{
    WriteBytes("short.bin", {0, 0, 0, 0x12, 0, 0});
    WriteBytes("foreign.bin", {'P', 'K', 3, 4, 0, 0, 0, 8, 1, 2});
    WriteText("lower.txt", "*file_info 3\n");
    EXPECT_EQ(DfOpen("short.bin", 0, HX_DF_SCALAR_FIXED), nullptr);
    EXPECT_EQ(DfOpen("foreign.bin", 0, HX_DF_SCALAR_FIXED), nullptr);
    EXPECT_EQ(DfOpen("lower.txt", 0, HX_DF_SCALAR_FIXED), nullptr);
    EXPECT_EQ(DfOpen("missing.bin", 0, HX_DF_SCALAR_FIXED), nullptr);
    EXPECT_EQ(DfTopType(), 0);
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

TEST_F(HxDatafile, MalformedTextGivesTheFailureAndStops)
{
    const std::string info = "*FILE_INFO 3\n  struct file_info\n    enum_32 FILE_TYPE_MODEL\n    uint_32 2\n";
    const std::string every = "*MODEL 25\n count 1\n";
    std::string lines = kEveryText;
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = lines;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    struct Case {
        std::string text;
        const char* failure;
    } cases[] = {
        {info + "*BOGUS 0\n", "Failure: Chunk ID not known: BOGUS"},
        {info + "MODEL 0\n", "Failure: Chunk ID not found"},
        {info + "*MODEL 1\n struct every\n", "Failure: no element count for chunk"},
        {info + every + replaced("SHIP", "FRIGATE"), "Failure: Unknown enum string: FRIGATE"},
        {info + every + replaced("struct    every", "struct    other"), "Failure: Incorrect structure name \"other\""},
        {info + every + replaced("struct    inner", "struct    outer"), "Failure: Incorrect structure name \"outer\""},
        {info + every + replaced("  struct    every", "  record    every"), "Failure: Unknown text identifer \"record\""},
        {info + every + replaced("uint_16", "int_16"), "Failure: Unknown member identifer \"int_16\""},
        {info + every + lines.substr(0, lines.find("    asciz")), "Failure: Unexpected EOF in strructure"},
        {info + every + replaced("17,34,51", "17,34"), "Failure: Incorrect colour"},
        {info + every + replaced("1,2,-1", "1,2"), "Failure: Incorrect vector"},
        {info + "*PIXELS 3\n  block 2\n  size 4\n    00000000: 0001\n", "Failure: block size mismatch"},
        {info + "*PIXELS 3\n  size 2\n", "Failure: no block"},
        {info + "*PIXELS 3\n  block 2\n  count 2\n", "Failure: no size"},
        {info + "*PIXELS 3\n  block 2\n  size 2\n    00000010: 00010203\n", "Failure: block address mismatch"},
        {info + "*PIXELS 3\n  block 1000000000\n  size 2\n    00000000: 00010203\n",
         "Failure: DfBlockReadText: block too long: 1000000000"},
        {info + "*ADD_MODEL 1\n  label \"x\"\n", "Failure: no name"},
        {info + "*ADD_MODEL 1\n  name x\n", "Failure: no name string"},
        {info + "*ADD_MODEL 1\n  name \"" + std::string(300, 'n') + "\"\n", "Failure: Text line 6 too long"},
    };
    for (const Case& c : cases) {
        HxDiagLog::Clear();
        record = {};
        EXPECT_NE(Interpret(c.text), 0) << c.failure;
        ASSERT_FALSE(HxDiagLog::Failures().empty()) << c.failure;
        EXPECT_EQ(HxDiagLog::Failures().front(), c.failure);
        EXPECT_EQ(DfTopType(), 0);
    }
}

TEST_F(HxDatafile, MalformedBinaryGivesTheFailureAndStops)
{
    const std::vector<uint8_t> info = {0, 0, 0, 0x12, 0, 0, 0, 8, 0, 0, 0xFA, 0xCE, 0, 0, 0, 2};
    auto file = [&](std::vector<uint8_t> tail) {
        std::vector<uint8_t> bytes = info;
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return bytes;
    };
    std::vector<uint8_t> every = {0, 0, 0, 54, 0, 0, 0, 87, 0, 0, 0, 1};
    std::vector<uint8_t> truncated = every;
    truncated.insert(truncated.end(), kEveryBytes.begin(), kEveryBytes.begin() + 20);
    struct Case {
        std::vector<uint8_t> bytes;
        const char* failure;
    } cases[] = {
        {file({0, 0, 0, 33, 0, 0, 0, 16, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2}),
         "Failure: DfBlockReadBinary: block too long: 2147483647"},
        {file({0, 0, 0, 33, 0, 0, 0, 16, 0x00, 0x10, 0x00, 0x00, 0, 0, 0, 2, 1, 2, 3}),
         "Failure: DfBlockReadBinary: block of 1048576 elements cut short"},
        {file({0, 0, 0, 33, 0, 0, 0, 16, 0, 0, 0, 2, 0, 0, 0, 4, 1, 2, 3, 4}), "Failure: block size mismatch"},
        {file(truncated), "Failure: Unexpected EOF in strructure"},
        {file({0, 0, 0, 54, 0, 0, 0, 4, 0, 0}), "Failure: no element count for chunk"},
    };
    for (const Case& c : cases) {
        HxDiagLog::Clear();
        WriteBytes("bad.bin", c.bytes);
        hx_datafile* df = DfOpen("bad.bin", 0, HX_DF_SCALAR_FIXED);
        ASSERT_NE(df, nullptr);
        EXPECT_NE(DfChunksInterpret(df, &kTable), 0) << c.failure;
        DfClose(df);
        ASSERT_FALSE(HxDiagLog::Failures().empty()) << c.failure;
        EXPECT_EQ(HxDiagLog::Failures().front(), c.failure);
    }
    // An empty block of a known chunk is fine.
    HxDiagLog::Clear();
    WriteBytes("empty.bin", file({0, 0, 0, 33, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 2}));
    hx_datafile* df = DfOpen("empty.bin", 0, HX_DF_SCALAR_FIXED);
    EXPECT_EQ(DfChunksInterpret(df, &kTable), 0);
    DfClose(df);
    EXPECT_TRUE(HxDiagLog::Failures().empty());
    EXPECT_TRUE(record.block.empty());
}

// A binary string member ends with its zero byte; a file that stops
// before it is cut short, whether or not characters came first.
TEST_F(HxDatafile, BinaryStringCutByTheEndOfTheFileIsNotAString)
{
    struct Tail {
        int16_t a;
        char* name;
    };
    static constexpr hx_struct_member members[] = {
        {HX_DF_INT_16, offsetof(Tail, a), "a", nullptr},
        {HX_DF_ASCIZ, offsetof(Tail, name), "name", nullptr},
    };
    static constexpr hx_struct_template tail = {"tail", 2, members, sizeof(Tail)};
    const std::vector<uint8_t> info = {0, 0, 0, 0x12, 0, 0, 0, 8, 0, 0, 0xFA, 0xCE, 0, 0, 0, 2};
    struct Case {
        std::vector<uint8_t> body;
        bool whole;
    } cases[] = {
        {{0, 7, 'a', 'b', 0}, true},
        {{0, 7, 0}, true},
        {{0, 7, 'a', 'b'}, false},
        {{0, 7}, false},
    };
    for (const Case& c : cases) {
        HxDiagLog::Clear();
        std::vector<uint8_t> bytes = info;
        bytes.insert(bytes.end(), c.body.begin(), c.body.end());
        WriteBytes("tail.bin", bytes);
        hx_datafile* df = DfOpen("tail.bin", 0, HX_DF_SCALAR_FIXED);
        ASSERT_NE(df, nullptr);
        HxFileAdvance(long(info.size()), df->h);
        Tail t = {};
        hx_error e = df->prims->struct_read(df, &tail, &t);
        DfClose(df);
        EXPECT_EQ(t.a, 7);
        if (c.whole) {
            EXPECT_EQ(e, HX_OK);
            EXPECT_STREQ(t.name, c.body.size() > 3 ? "ab" : "");
            EXPECT_TRUE(HxDiagLog::Failures().empty());
        } else {
            EXPECT_NE(e, HX_OK) << c.body.size();
            EXPECT_TRUE(HxDiagLog::Saw("Failure: Unexpected EOF in strructure")) << c.body.size();
        }
    }
}

// An array read that meets the end of the file inside a record gives the
// failure and the count of whole records before it.
TEST_F(HxDatafile, AnArrayReadStopsWhereTheFileEnds)
{
    const std::vector<uint8_t> info = {0, 0, 0, 0x12, 0, 0, 0, 8, 0, 0, 0xFA, 0xCE, 0, 0, 0, 2};
    for (size_t cut : {size_t(20), kEveryBytes.size() - 1}) {
        HxDiagLog::Clear();
        std::vector<uint8_t> bytes = info;
        for (int i = 0; i < 2; ++i)
            bytes.insert(bytes.end(), kEveryBytes.begin(), kEveryBytes.end());
        bytes.insert(bytes.end(), kEveryBytes.begin(), kEveryBytes.begin() + long(cut));
        WriteBytes("array.bin", bytes);
        hx_datafile* df = DfOpen("array.bin", 0, HX_DF_SCALAR_FIXED);
        ASSERT_NE(df, nullptr);
        HxFileAdvance(long(info.size()), df->h);
        Every read[4] = {};
        EXPECT_EQ(DfStructReadArray(df, &kEvery, read, 4), 2) << cut;
        DfClose(df);
        ExpectSame(read[1], Sample(), true);
        EXPECT_TRUE(HxDiagLog::Saw("Failure: Unexpected EOF in strructure")) << cut;
    }
}

TEST_F(HxDatafile, UnknownEnumValueIsRefusedOnWriting)
{
    HxFileModeSet(HX_FILE_MODE_TEXT);
    hx_datafile* df = DfOpen("enum.txt", 1, HX_DF_SCALAR_FIXED);
    Every e = Sample();
    e.e16 = 77;
    EXPECT_EQ(df->prims->struct_write(df, &kEvery, &e), HXE_FAIL);
    EXPECT_TRUE(HxDiagLog::Saw("Failure: Unknown enum 77"));
    DfClose(df);
}

TEST_F(HxDatafile, ValueStack)
{
    int a = 1, b = 2;
    EXPECT_EQ(DfTopType(), 0);
    EXPECT_EQ(DfPop(3, nullptr), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Failure: DatafileStack Underflow"));
    DfPush(3, &a, 2);
    DfPush(5, &b, 1);
    int count = 0;
    EXPECT_EQ(DfTop(3, &count), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Failure: DatafileStack type mismatch, wanted 3, got 5"));
    EXPECT_EQ(DfPop(5, &count), &b);
    EXPECT_EQ(DfTop(3, &count), &a);
    EXPECT_EQ(count, 2);
    DfPush(0, &a, 1);
    EXPECT_TRUE(HxDiagLog::Saw("ASSERTION FAILED datafile:"));

    // Closing a datafile pops what its readers left above it.
    WriteSample("s.bin");
    hx_datafile* df = DfOpen("s.bin", 0, HX_DF_SCALAR_FIXED);
    DfPush(7, &b, 1);
    EXPECT_EQ(DfTopType(), 7);
    DfClose(df);
    EXPECT_EQ(DfTopType(), 3);
    EXPECT_EQ(DfPop(3, nullptr), &a);

    HxDiagLog::Clear();
    for (int i = 0; i < kHxDfStackSize; ++i)
        DfPush(1, &a, 1);
    EXPECT_TRUE(HxDiagLog::Failures().empty());
    DfPush(1, &a, 1);
    EXPECT_TRUE(HxDiagLog::Saw("Failure: DatafileStack Overflow"));
    while (DfTopType())
        DfPop(1, nullptr);

    // The framework's end frees every open handle and empties the stack: no
    // entry of a freed handle is left for the next begin.
    df = DfOpen("s.bin", 0, HX_DF_SCALAR_FIXED);
    DfPush(7, &b, 1);
    HxFwEnd();
    HxDiagHandlerSet(HxDiagLog::Handler());
    ASSERT_EQ(HxFwBegin(), HX_OK);
    EXPECT_EQ(DfTopType(), 0);
}

TEST_F(HxDatafile, InvalidPrimitiveCallIsFatal)
{
    hx_datafile* df = DfOpen("w.bin", 1, HX_DF_SCALAR_FIXED);
    uint32_t id, length;
    EXPECT_NE(df->prims->chunk_read(df, &id, &length), 0);
    EXPECT_EQ(HxDiagLog::Failures().at(0), "FATAL datafile:1824\nInvald file primitive call");
    EXPECT_STREQ(df->prims->identifier, "Write Binary");
    EXPECT_NE(HxFilePrimitivesNull.count_size(df), 99u);
    EXPECT_EQ(HxDiagLog::Failures().size(), 2u);
    DfClose(df);
}

// A reader may open a second datafile from inside a chunk handler (a model
// file naming its material file); each keeps its own line.
TEST_F(HxDatafile, NestedTextReadersKeepTheirOwnLines)
{
    HxFileModeSet(HX_FILE_MODE_TEXT);
    WriteSample("outer.txt");
    WriteSample("inner.txt");
    static int depth;
    depth = 0;
    static const hx_chunk_entry nested[] = {
        {kNameChunk, 0,
         [](hx_datafile* df, uint32_t, uint32_t, uint32_t) {
             if (depth++ == 0) {
                 hx_datafile* inner = DfOpen("inner.txt", 0, HX_DF_SCALAR_FIXED);
                 const hx_chunk_table t = {int(std::size(kEntries)), kEntries};
                 int r = DfChunksInterpret(inner, &t);
                 DfClose(inner);
                 if (r)
                     return r;
             }
             return OnName(df, kNameChunk, 0, 0);
         }},
        {kEveryChunk, 1, OnEvery},
    };
    const hx_chunk_table table = {2, nested};
    hx_datafile* df = DfOpen("outer.txt", 0, HX_DF_SCALAR_FIXED);
    EXPECT_EQ(DfChunksInterpret(df, &table), 0);
    DfClose(df);
    EXPECT_EQ(record.name, "Cobra");
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

TEST_F(HxDatafile, AngleAndFixedConversionsRoundAndSaturate)
{
    HxFileModeSet(HX_FILE_MODE_TEXT);
    WriteText(
        "in.dat", "*FILE_INFO 3\n  struct file_info\n    enum_32 FILE_TYPE_MODEL\n    uint_32 2\n*MODEL 25\n count 1\n" +
                      [&] {
                          std::string t = kEveryText;
                          t.replace(t.find("1.5 "), 4, "1e12");
                          t.replace(t.find(" 90 "), 4, " -90");
                          t.replace(t.find("0.25 "), 5, "nan  ");
                          return t;
                      }());
    hx_datafile* df = DfOpen("in.dat", 0, HX_DF_SCALAR_FIXED);
    EXPECT_EQ(DfChunksInterpret(df, &kTable), 0);
    DfClose(df);
    EXPECT_EQ(record.every.fixed, INT32_MAX);
    EXPECT_EQ(record.every.angle, 49152); // -90 degrees is 270
    EXPECT_EQ(record.every.ufraction, 0);
}

// The fuzz target's seeds that describe whole files read without a failure.
TEST_F(HxDatafile, FuzzSeedsAreValidFiles)
{
    const std::string corpus = std::string(KV_SOURCE_DIR) + "/fuzz/corpus/hx_datafile/";
    for (const char* seed : {"binary_all_chunks.dat", "text_all_chunks.dat"}) {
        record = {};
        hx_datafile* df = DfOpen((corpus + seed).c_str(), 0, HX_DF_SCALAR_FIXED);
        ASSERT_NE(df, nullptr) << seed;
        EXPECT_EQ(DfChunksInterpret(df, &kTable), 0) << seed;
        DfClose(df);
        EXPECT_EQ(record.ids, (std::vector<uint32_t>{HX_CHUNK_FILE_INFO, kEveryChunk, HX_CHUNK_PIXELS, kNameChunk, 60}))
            << seed;
        ExpectSame(record.every, Sample(), seed[0] == 'b');
        EXPECT_TRUE(HxDiagLog::Failures().empty()) << seed;
    }
}

namespace {

// A file larger than many read-ahead blocks: records whose strings (some
// longer than 255 characters) fall across block edges, a large chunk that
// is skipped, and blocks both read into a caller's buffer and allocated.
struct LargeFile {
    static constexpr int kRecords = 3000;
    static constexpr uint32_t kBlockElements = 70000;
    std::vector<std::string> names;
    std::vector<Every> records;
    std::vector<uint16_t> pixels;

    LargeFile() : records(kRecords), pixels(kBlockElements)
    {
        for (int i = 0; i < kRecords; ++i)
            names.push_back(std::string(size_t(i * 7 % 300), char('a' + i % 26)));
        for (int i = 0; i < kRecords; ++i) {
            records[size_t(i)] = Sample();
            records[size_t(i)].i32 = i;
            records[size_t(i)].name = names[size_t(i)].data();
        }
        for (uint32_t i = 0; i < kBlockElements; ++i)
            pixels[i] = uint16_t(i * 31 + 7);
    }
};
std::vector<Every> largeRead;
std::vector<uint16_t> largeGiven, largeAllocated;

int OnLargeRecords(hx_datafile* df, uint32_t, uint32_t, uint32_t count)
{
    largeRead.assign(count, Every{});
    return DfStructReadArray(df, &kEvery, largeRead.data(), int(count)) == int(count) ? 0 : 1;
}

int OnLargeBlock(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    // The first block goes into the caller's buffer, the second is allocated.
    if (largeGiven.empty()) {
        largeGiven.resize(LargeFile::kBlockElements);
        void* to = largeGiven.data();
        uint32_t count = uint32_t(largeGiven.size());
        return df->prims->block_read(df, &to, &count, 2, HX_RES_APPLICATION) == HX_OK && to == largeGiven.data()
                   ? 0
                   : 1;
    }
    void* block = nullptr;
    uint32_t count = 0;
    if (df->prims->block_read(df, &block, &count, 2, HX_RES_APPLICATION) != HX_OK)
        return 1;
    largeAllocated.assign(static_cast<uint16_t*>(block), static_cast<uint16_t*>(block) + count);
    HxResFree(block);
    return 0;
}

} // namespace

TEST_F(HxDatafile, BinaryFilesLargerThanTheReadAheadReadBackWhole)
{
    LargeFile file;
    largeGiven.clear();
    hx_datafile* df = DfOpen("large.bin", 1, HX_DF_SCALAR_FIXED);
    ASSERT_NE(df, nullptr);
    const hx_file_primitives* p = df->prims;
    DfFileInfoWrite(df, HX_FILE_TYPE_MODEL);
    uint32_t length = p->count_size(df);
    for (const Every& e : file.records)
        length += p->struct_size(df, &kEvery, &e);
    p->chunk_write(df, kEveryChunk, length);
    p->count_write(df, LargeFile::kRecords);
    EXPECT_EQ(DfStructWriteArray(df, &kEvery, file.records.data(), LargeFile::kRecords), LargeFile::kRecords);
    std::vector<uint8_t> skipped(100000, 0x5A);
    p->chunk_write(df, 50, p->block_size(df, uint32_t(skipped.size()), 1, 1));
    p->block_write(df, skipped.data(), uint32_t(skipped.size()), int32_t(skipped.size()), 1, 1);
    for (int i = 0; i < 2; ++i) {
        p->chunk_write(df, HX_CHUNK_PIXELS, p->block_size(df, LargeFile::kBlockElements, 1, 2));
        p->block_write(df, file.pixels.data(), LargeFile::kBlockElements, int32_t(LargeFile::kBlockElements * 2), 1, 2);
    }
    DfEndWrite(df);
    DfClose(df);

    static constexpr hx_chunk_entry entries[] = {{kEveryChunk, 1, OnLargeRecords}, {HX_CHUNK_PIXELS, 0, OnLargeBlock}};
    static constexpr hx_chunk_table table = {2, entries};
    df = DfOpen("large.bin", 0, HX_DF_SCALAR_FIXED);
    ASSERT_NE(df, nullptr);
    EXPECT_EQ(DfChunksInterpret(df, &table), 0);
    DfClose(df);
    ASSERT_EQ(largeRead.size(), size_t(LargeFile::kRecords));
    for (int i = 0; i < LargeFile::kRecords; ++i) {
        Every expected = file.records[size_t(i)];
        std::string cut = file.names[size_t(i)].substr(0, 255); // longer strings are cut
        expected.name = cut.data();
        ExpectSame(largeRead[size_t(i)], expected, true);
        if (::testing::Test::HasFailure())
            FAIL() << "record " << i;
    }
    EXPECT_EQ(largeGiven, file.pixels);
    EXPECT_EQ(largeAllocated, file.pixels);
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

// Code that reads a handle may ask its file whether it has ended: reading
// ahead must not make the file meet its end before the reader does.
TEST_F(HxDatafile, TheFileMeetsItsEndOnlyWhenTheReaderDoes)
{
    hx_datafile* df = DfOpen("ends.bin", 1, HX_DF_SCALAR_FIXED);
    ASSERT_NE(df, nullptr);
    const hx_file_primitives* p = df->prims;
    Every records[3] = {Sample(), Sample(), Sample()};
    DfFileInfoWrite(df, HX_FILE_TYPE_MODEL);
    p->chunk_write(df, kEveryChunk, 3 * p->struct_size(df, &kEvery, &records[0]));
    DfStructWriteArray(df, &kEvery, records, 3);
    DfClose(df); // no END chunk: the records run to the end of the file

    df = DfOpen("ends.bin", 0, HX_DF_SCALAR_FIXED);
    ASSERT_NE(df, nullptr);
    p = df->prims;
    uint32_t id, length;
    ASSERT_EQ(p->chunk_read(df, &id, &length), 0);
    hx_file_info info;
    ASSERT_EQ(p->struct_read(df, &HxFileInfoTemplate, &info), HX_OK);
    ASSERT_EQ(p->chunk_read(df, &id, &length), 0);
    EXPECT_EQ(id, kEveryChunk);
    Every read[3] = {};
    for (Every& e : read) {
        EXPECT_FALSE(HxFileEof(df->h));
        ASSERT_EQ(p->struct_read(df, &kEvery, &e), HX_OK);
    }
    EXPECT_FALSE(HxFileEof(df->h)); // every byte read, none past the end
    EXPECT_EQ(p->chunk_read(df, &id, &length), -1);
    EXPECT_TRUE(HxFileEof(df->h));
    DfClose(df);
    ExpectSame(read[2], Sample(), true);
}
