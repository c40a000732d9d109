// WAV files: the layout we write, reading it back, result codes for broken
// files and impossible formats, data that ends early and the copied extra
// chunks.
#include "tests/res/res_fixture.h"

#include "system/res/bytes.h"
#include "system/res/loaders.h"
#include "system/wav.h"

#include <cstdlib>
#include <cstring>

using restest::Bytes;

namespace {

// A RIFF file made by hand from a list of chunks.
struct Chunk {
    std::string id;
    std::vector<uint8_t> body;
    uint32_t declared = 0xFFFFFFFF; // size written in the header (default: the body's)
};

std::vector<uint8_t> Riff(const char* form, const std::vector<Chunk>& chunks)
{
    std::vector<uint8_t> f = Bytes("RIFF");
    res::AppendU32LE(f, 0);
    res::AppendBytes(f, form, 4);
    for (const Chunk& c : chunks) {
        res::AppendBytes(f, c.id.data(), 4);
        res::AppendU32LE(f, c.declared != 0xFFFFFFFF ? c.declared : static_cast<uint32_t>(c.body.size()));
        res::AppendBytes(f, c.body.data(), c.body.size());
        if (c.body.size() & 1)
            f.push_back(0);
    }
    res::PutU32LE(&f[4], static_cast<uint32_t>(f.size() - 8));
    return f;
}

std::vector<uint8_t> Fmt(uint16_t tag, int size, uint16_t extra = 0)
{
    std::vector<uint8_t> b;
    res::AppendU16LE(b, tag);
    res::AppendU16LE(b, 1);
    res::AppendU32LE(b, 22050);
    res::AppendU32LE(b, 22050);
    res::AppendU16LE(b, 1);
    res::AppendU16LE(b, 8);
    if (size > 16)
        res::AppendU16LE(b, extra);
    b.resize(static_cast<std::size_t>(size), 0xAB);
    return b;
}

class Wav : public restest::DataTree {
protected:
    int Load(const std::vector<uint8_t>& file, std::vector<uint8_t>* data = nullptr, WaveFormat** format = nullptr)
    {
        Write("zqk\\t.wav", file);
        uint32_t length = 0;
        WaveFormat* f = nullptr;
        uint8_t* bytes = nullptr;
        int result = WavLoad("zqk\\t.wav", &length, &f, &bytes);
        if (result == kWavOk && data)
            data->assign(bytes, bytes + length);
        if (format)
            *format = f;
        else
            WavFreeFormat(f);
        std::free(bytes);
        return result;
    }
};

} // namespace

TEST_F(Wav, SaveWritesTheChunksInOrderAndLoadsBack)
{
    const uint8_t samples[5] = {10, 20, 30, 40, 50};
    WaveFormat pcm = {1, 1, 11025, 11025, 1, 8, 0};
    ASSERT_EQ(WavSave("zqk\\out.wav", 5, 5, &pcm, samples), kWavOk);
    std::vector<uint8_t> file;
    ASSERT_TRUE(ResReadFile("zqk\\out.wav", file));

    std::vector<uint8_t> expected = Bytes("RIFF");
    res::AppendU32LE(expected, 4 + 24 + 12 + 8 + 6);
    res::AppendBytes(expected, "WAVEfmt ", 8);
    res::AppendU32LE(expected, 16);
    res::AppendU16LE(expected, 1);
    res::AppendU16LE(expected, 1);
    res::AppendU32LE(expected, 11025);
    res::AppendU32LE(expected, 11025);
    res::AppendU16LE(expected, 1);
    res::AppendU16LE(expected, 8);
    res::AppendBytes(expected, "fact", 4);
    res::AppendU32LE(expected, 4);
    res::AppendU32LE(expected, 5); // the sample count
    res::AppendBytes(expected, "data", 4);
    res::AppendU32LE(expected, 5);
    res::AppendBytes(expected, samples, 5);
    expected.push_back(0); // padded to even
    EXPECT_EQ(file, expected);
    EXPECT_FALSE(std::filesystem::exists(root / "zqk/out.wav.tmp"));

    std::vector<uint8_t> data;
    WaveFormat* format = nullptr;
    ASSERT_EQ(Load(file, &data, &format), kWavOk);
    EXPECT_EQ(data, std::vector<uint8_t>(samples, samples + 5));
    EXPECT_EQ(format->extraSize, 0);
    EXPECT_EQ(format->samplesPerSec, 11025u);
    WavFreeFormat(format);
}

TEST_F(Wav, NonPcmFormatsKeepTheirExtraBytes)
{
    WaveFormat* format = static_cast<WaveFormat*>(std::calloc(1, sizeof(WaveFormat) + 3));
    *format = {2, 2, 8000, 4096, 256, 4, 3};
    std::memcpy(WaveFormatExtra(format), "\x07\x08\x09", 3);
    const uint8_t samples[4] = {1, 2, 3, 4};
    ASSERT_EQ(WavSave("zqk\\adpcm.wav", 4, 7, format, samples), kWavOk);
    WavFreeFormat(format);
    std::vector<uint8_t> file;
    ASSERT_TRUE(ResReadFile("zqk\\adpcm.wav", file));
    EXPECT_EQ(res::GetU32LE(&file[16]), 21u);             // 18 + extra size
    EXPECT_EQ(std::memcmp(&file[20 + 22], "fact", 4), 0); // after the pad byte
    EXPECT_EQ(res::GetU32LE(&file[20 + 22 + 8]), 7u);

    WaveFormat* back = nullptr;
    std::vector<uint8_t> data;
    ASSERT_EQ(Load(file, &data, &back), kWavOk);
    EXPECT_EQ(back->formatTag, 2);
    ASSERT_EQ(back->extraSize, 3);
    EXPECT_EQ(WaveFormatExtra(back)[2], 9);
    EXPECT_EQ(data.size(), 4u);
    WavFreeFormat(back);
}

TEST_F(Wav, ResultCodesForBrokenFiles)
{
    std::vector<uint8_t> data4 = {1, 2, 3, 4};
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        int result;
    };
    const Case cases[] = {
        {"PCM", Riff("WAVE", {{"fmt ", Fmt(1, 16)}, {"data", data4}}), kWavOk},
        {"another form", Riff("AVI ", {{"fmt ", Fmt(1, 16)}, {"data", data4}}), kWavNotWave},
        {"not RIFF", Bytes("RIFX\x04\0\0\0WAVE"), kWavNotWave},
        {"fmt of 14 bytes", Riff("WAVE", {{"fmt ", Fmt(1, 14)}, {"data", data4}}), kWavNotWave},
        {"extra past the chunk", Riff("WAVE", {{"fmt ", Fmt(2, 20, 9)}, {"data", data4}}), kWavNotWave},
        {"no fmt", Riff("WAVE", {{"data", data4}}), kWavChunkNotFound},
        {"no data", Riff("WAVE", {{"fmt ", Fmt(1, 16)}}), kWavChunkNotFound},
        {"short file", Bytes("RIFF"), kWavNotWave},
        {"empty data", Riff("WAVE", {{"fmt ", Fmt(1, 16)}, {"data", {}}}), kWavOk},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Load(c.file), c.result) << c.what;

    uint32_t length;
    WaveFormat* format;
    uint8_t* bytes;
    EXPECT_EQ(WavLoad("zqk\\none.wav", &length, &format, &bytes), kWavCannotOpen);
    EXPECT_EQ(format, nullptr);
    WaveFormat pcm = {1, 1, 8000, 8000, 1, 8, 0};
    EXPECT_EQ(WavSave("nowhere\\x.wav", 4, 4, &pcm, data4.data()), kWavCannotWrite);
}

TEST_F(Wav, A16ByteFormatHasNoExtraSizeAndDataPastTheFileIsReported)
{
    // A non-PCM format of exactly 16 bytes reads no extra size.
    std::vector<uint8_t> data;
    WaveFormat* format = nullptr;
    ASSERT_EQ(Load(Riff("WAVE", {{"fmt ", Fmt(3, 16)}, {"data", {9, 8, 7}}}), &data, &format), kWavOk);
    EXPECT_EQ(format->formatTag, 3);
    EXPECT_EQ(format->extraSize, 0);
    EXPECT_EQ(data, (std::vector<uint8_t>{9, 8, 7}));
    WavFreeFormat(format);

    // A data chunk claiming more bytes than the file holds: the data ended
    // before the requested length, whether loaded whole or read in pieces.
    std::vector<uint8_t> truncated = Riff("WAVE", {{"fmt ", Fmt(1, 16)}, {"data", {9, 8, 7}, 1000}});
    EXPECT_EQ(Load(truncated), kWavDataEnded);
    EXPECT_EQ(Load(Riff("WAVE", {{"fmt ", Fmt(1, 16)}, {"data", {9, 8, 7}, 0xFFFFFFF0}})), kWavDataEnded);
    Write("zqk\\cut.wav", truncated);
    WavFile* cut;
    RiffChunk cutRiff, cutData;
    ASSERT_EQ(WavOpen("zqk\\cut.wav", &cut, &format, &cutRiff), kWavOk);
    ASSERT_EQ(WavFindData(cut, &cutData, &cutRiff), kWavOk);
    EXPECT_EQ(cutData.size, 1000u);
    EXPECT_FALSE(WavDataInFile(cut, &cutData));
    uint8_t piece[600];
    uint32_t got = 0;
    EXPECT_EQ(WavRead(cut, sizeof piece, piece, &cutData, &got), kWavDataEnded);
    EXPECT_EQ(got, 4u); // the three samples and the pad byte
    WavClose(cut, format);
    EXPECT_EQ(SoundSize("zqk\\cut.wav"), 0);

    // Reading more than the chunk holds stops at the chunk.
    Write("zqk\\r.wav", Riff("WAVE", {{"LIST", {1, 2}}, {"fmt ", Fmt(1, 16)}, {"data", {5, 6}}}));
    WavFile* wav;
    RiffChunk riff, chunk;
    ASSERT_EQ(WavOpen("zqk\\r.wav", &wav, &format, &riff), kWavOk);
    ASSERT_EQ(WavFindData(wav, &chunk, &riff), kWavOk);
    uint8_t buffer[8] = {};
    uint32_t read = 0;
    EXPECT_EQ(WavRead(wav, 8, buffer, &chunk, &read), kWavOk);
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(chunk.size, 0u);
    EXPECT_EQ(buffer[1], 6);
    WavClose(wav, format);
}

// Format records no sound can have are damaged format chunks.
TEST_F(Wav, ImpossibleFormatRecordsAreRefused)
{
    struct Case {
        const char* what;
        uint16_t tag, channels;
        uint32_t rate;
        uint16_t blockAlign, bits;
        int result;
    };
    const Case cases[] = {
        {"8-bit mono", 1, 1, 22050, 1, 8, kWavOk},
        {"16-bit stereo", 1, 2, 44100, 4, 16, kWavOk},
        {"24-bit mono", 1, 1, 48000, 3, 24, kWavOk},
        {"float stereo", 3, 2, 48000, 8, 32, kWavOk},
        {"ADPCM, its own block", 2, 1, 8000, 256, 4, kWavOk},
        {"0 bits", 1, 1, 22050, 1, 0, kWavNotWave},
        {"0 channels", 1, 0, 22050, 1, 8, kWavNotWave},
        {"0 channels, ADPCM", 2, 0, 8000, 256, 4, kWavNotWave},
        {"0 block align", 1, 1, 22050, 0, 8, kWavNotWave},
        {"block align not channels x bits", 1, 2, 22050, 2, 16, kWavNotWave},
        {"float block align wrong", 3, 1, 22050, 2, 32, kWavNotWave},
        {"0 samples a second", 1, 1, 0, 1, 8, kWavNotWave},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> fmt;
        res::AppendU16LE(fmt, c.tag);
        res::AppendU16LE(fmt, c.channels);
        res::AppendU32LE(fmt, c.rate);
        res::AppendU32LE(fmt, c.rate * c.blockAlign);
        res::AppendU16LE(fmt, c.blockAlign);
        res::AppendU16LE(fmt, c.bits);
        EXPECT_EQ(Load(Riff("WAVE", {{"fmt ", fmt}, {"data", {1, 2, 3, 4}}})), c.result) << c.what;
    }
}

TEST_F(Wav, ExtraChunksAreCopiedIntoANewFile)
{
    Write("zqk\\src.wav", Riff("WAVE", {{"fmt ", Fmt(1, 16)}, {"DISP", {1, 2, 3}}, {"junk", {0}}, {"plst", {4, 5, 6, 7}}, {"data", {1, 2}}}));
    WavFile* src;
    WaveFormat* format;
    RiffChunk riff;
    ASSERT_EQ(WavOpen("zqk\\src.wav", &src, &format, &riff), kWavOk);
    WavFile* dst;
    RiffChunk fmt, dstRiff, data;
    ASSERT_EQ(WavCreate("zqk\\dst.wav", &dst, format, &fmt, &dstRiff), kWavOk);
    ASSERT_EQ(WavCopyExtraChunks(src, &riff, dst), kWavOk);
    ASSERT_EQ(WavStartData(dst, &data), kWavOk);
    uint32_t written;
    ASSERT_EQ(WavWrite(dst, 2, reinterpret_cast<const uint8_t*>("\x01\x02"), &written), kWavOk);
    ASSERT_EQ(WavFinish(dst, &data, &dstRiff, 2), kWavOk);
    WavClose(src, format);

    std::vector<uint8_t> file;
    ASSERT_TRUE(ResReadFile("zqk\\dst.wav", file));
    std::string text(file.begin(), file.end());
    EXPECT_NE(text.find(std::string("DISP\x03\0\0\0\x01\x02\x03\0", 12)), std::string::npos);
    EXPECT_NE(text.find(std::string("plst\x04\0\0\0\x04\x05\x06\x07", 12)), std::string::npos);
    EXPECT_EQ(text.find("junk"), std::string::npos);
    std::vector<uint8_t> samples;
    EXPECT_EQ(Load(file, &samples), kWavOk);
    EXPECT_EQ(samples, (std::vector<uint8_t>{1, 2}));
}

TEST_F(Wav, AnUnfinishedFileLeavesTheOldOneInPlace)
{
    Write("zqk\\keep.wav", "old");
    WaveFormat pcm = {1, 1, 8000, 8000, 1, 8, 0};
    WavFile* file;
    RiffChunk fmt, riff;
    ASSERT_EQ(WavCreate("zqk\\keep.wav", &file, &pcm, &fmt, &riff), kWavOk);
    WavClose(file, nullptr);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ResReadFile("zqk\\keep.wav", bytes));
    EXPECT_EQ(bytes, Bytes("old"));
    EXPECT_FALSE(std::filesystem::exists(root / "zqk/keep.wav.tmp"));
}
