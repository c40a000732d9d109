// Our Smacker writer read back through FFmpeg (platform/film): every pixel,
// the palette and its change flag, the frame rate, the audio track, going
// back to a frame, damaged files, and AVI files that FFmpeg writes itself.
#include "platform/audio.h"
#include "platform/film.h"
#include "tools/film_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using platform::Film;

struct FilmDeleter {
    void operator()(Film* f) const { platform::FilmClose(f); }
};
using FilmPtr = std::unique_ptr<Film, FilmDeleter>;

FilmPtr OpenFixture(const smk::FixtureShape& shape, platform::FilmSound sound = platform::FilmSound::Off)
{
    return FilmPtr(platform::FilmOpenBytes(smk::Write(smk::MakeFixtureFilm(shape)), sound));
}

// Checks the current frame against the fixture's pattern.
void ExpectFrame(Film* film, const smk::FixtureShape& shape, int frame)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(shape.width * shape.height), 0xEE);
    ASSERT_TRUE(platform::FilmCopyFrame(film, pixels.data(), shape.width, shape.height, shape.width, 0, 0));
    int wrong = 0;
    for (int y = 0; y < shape.height; ++y)
        for (int x = 0; x < shape.width; ++x)
            if (pixels[static_cast<size_t>(y * shape.width + x)] !=
                smk::FixturePixel(frame, x, y, shape.width, shape.height, shape.holes))
                ++wrong;
    EXPECT_EQ(wrong, 0) << "frame " << frame;
}

void ExpectPalette(const Film* film, int variant)
{
    const smk::Palette p = smk::FixturePalette(variant);
    const platform::PaletteColour* c = platform::FilmPalette(film);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(c[i].red, smk::RoundTrip(p[3 * i])) << i;
        ASSERT_EQ(c[i].green, smk::RoundTrip(p[3 * i + 1])) << i;
        ASSERT_EQ(c[i].blue, smk::RoundTrip(p[3 * i + 2])) << i;
    }
}

TEST(SmackerRoundTrip, EveryFixtureDecodesBackPixelForPixel)
{
    const smk::FixtureShape shapes[] = {
        {640, 480, 3},
        {320, 200, 3},
        {368, 168, 4, -1, 0, true},
        {64, 32, 6, 3},
        {16, 8, 2},
    };
    for (const smk::FixtureShape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(shape.height));
        FilmPtr film = OpenFixture(shape);
        ASSERT_TRUE(film);
        EXPECT_EQ(platform::FilmWidth(film.get()), shape.width);
        EXPECT_EQ(platform::FilmHeight(film.get()), shape.height);
        EXPECT_EQ(platform::FilmFrameCount(film.get()), shape.frames);
        EXPECT_DOUBLE_EQ(platform::FilmFrameSeconds(film.get()), 0.1);
        for (int n = 0; n < shape.frames; ++n) {
            EXPECT_EQ(platform::FilmCurrentFrame(film.get()), n);
            ExpectFrame(film.get(), shape, n);
            if (n + 1 < shape.frames) {
                ASSERT_TRUE(platform::FilmNext(film.get()));
            }
        }
        EXPECT_FALSE(platform::FilmNext(film.get()));
    }
}

TEST(SmackerRoundTrip, APaletteChunkChangesThePaletteAtItsFrameOnly)
{
    const smk::FixtureShape shape{64, 32, 6, 3};
    FilmPtr film = OpenFixture(shape);
    ASSERT_TRUE(film);
    for (int n = 0; n < shape.frames; ++n) {
        EXPECT_EQ(platform::FilmPaletteChanged(film.get()), n == 0 || n == 3) << n;
        ExpectPalette(film.get(), n < 3 ? 0 : 1);
        platform::FilmNext(film.get());
    }
}

TEST(SmackerRoundTrip, GoingToAFrameRewindsAndDecodesForward)
{
    const smk::FixtureShape shape{64, 32, 6, 3};
    FilmPtr film = OpenFixture(shape);
    ASSERT_TRUE(film);
    ASSERT_TRUE(platform::FilmGoTo(film.get(), 4));
    ExpectFrame(film.get(), shape, 4);
    ExpectPalette(film.get(), 1);
    ASSERT_TRUE(platform::FilmGoTo(film.get(), 1));
    EXPECT_EQ(platform::FilmCurrentFrame(film.get()), 1);
    ExpectFrame(film.get(), shape, 1);
    ExpectPalette(film.get(), 0);
    EXPECT_FALSE(platform::FilmGoTo(film.get(), 6));
}

TEST(SmackerRoundTrip, CopiesAreClippedToTheDestinationAndCanSkipColourZero)
{
    const smk::FixtureShape shape{368, 168, 2, -1, 0, true};
    FilmPtr film = OpenFixture(shape);
    ASSERT_TRUE(film);
    // A 100 x 50 destination with the film's top left at (-10, -20).
    std::vector<uint8_t> dest(100 * 50, 0xEE);
    ASSERT_TRUE(platform::FilmCopyFrame(film.get(), dest.data(), 100, 50, 100, -10, -20, true));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const uint8_t want = smk::FixturePixel(0, x + 10, y + 20, 368, 168, true);
            ASSERT_EQ(dest[static_cast<size_t>(y * 100 + x)], want ? want : 0xEE) << x << "," << y;
        }
}

TEST(SmackerRoundTrip, TheWaitFollowsTheFilmsRateOnTheClock)
{
    static double now = 0;
    platform::SetFilmClock([] { return now; });
    FilmPtr film = OpenFixture({64, 32, 3, -1, 0, false, 5000}); // 20 a second
    ASSERT_TRUE(film);
    EXPECT_FALSE(platform::FilmWaiting(film.get()));
    std::vector<uint8_t> dest(64 * 32);
    platform::FilmCopyFrame(film.get(), dest.data(), 64, 32, 64, 0, 0);
    now = 0.049;
    EXPECT_TRUE(platform::FilmWaiting(film.get()));
    now = 0.05;
    EXPECT_FALSE(platform::FilmWaiting(film.get()));
    platform::SetFilmClock(nullptr);
}

TEST(SmackerRoundTrip, TheAudioTrackStreamsThroughTheMixer)
{
    ASSERT_TRUE(platform::AudioOpen(platform::AudioOutput::Capture, 22050));
    FilmPtr film = OpenFixture({64, 32, 3, -1, 22050}, platform::FilmSound::On);
    ASSERT_TRUE(film);
    // Frame 0's tenth of a second is queued as the frame is decoded.
    std::vector<uint8_t> dest(64 * 32);
    platform::FilmCopyFrame(film.get(), dest.data(), 64, 32, 64, 0, 0);
    platform::FilmNext(film.get());
    std::vector<int16_t> out(2 * 100);
    platform::AudioRender(out.data(), 100);
    int changes = 0;
    for (int i = 1; i < 100; ++i)
        changes += (out[2 * i] > 0) != (out[2 * (i - 1)] > 0);
    EXPECT_GE(changes, 3); // the square wave's edges every 20 samples
    EXPECT_NE(out[2 * 10], 0);
    film.reset();
    platform::AudioClose();
}

TEST(SmackerRoundTrip, DamagedFilmsEndInsteadOfCrashing)
{
    const std::vector<uint8_t> whole = smk::Write(smk::MakeFixtureFilm({64, 32, 6, 3}));
    for (size_t cut : {size_t{0}, size_t{3}, size_t{40}, size_t{104}, whole.size() / 2, whole.size() - 7}) {
        std::vector<uint8_t> bytes(whole.begin(), whole.begin() + static_cast<long>(cut));
        FilmPtr film(platform::FilmOpenBytes(bytes, platform::FilmSound::Off));
        if (!film)
            continue;
        int frames = 1;
        while (platform::FilmNext(film.get()))
            ++frames;
        EXPECT_LT(frames, 6) << cut;
    }
    // A bit flipped in every byte in turn never crashes or overruns.
    for (size_t i = 0; i < whole.size(); i += 13) {
        std::vector<uint8_t> bytes = whole;
        bytes[i] ^= 0x5A;
        FilmPtr film(platform::FilmOpenBytes(bytes, platform::FilmSound::Off));
        if (!film)
            continue;
        std::vector<uint8_t> dest(64 * 32);
        do
            platform::FilmCopyFrame(film.get(), dest.data(), 64, 32, 64, 0, 0);
        while (platform::FilmNext(film.get()));
    }
    EXPECT_FALSE(platform::FilmOpenBytes({'R', 'I', 'F', 'F'}, platform::FilmSound::Off));
}

TEST(SmackerRoundTrip, AHeaderClaimingMoreFramesThanTheFileHoldsDoesNotOpen)
{
    // Each frame takes five bytes of table after the 104-byte header: a
    // count the file cannot hold is turned away at once (the demuxer would
    // index millions of frames that are not there).
    std::vector<uint8_t> bytes = smk::Write(smk::MakeFixtureFilm({64, 32, 6, 3}));
    ASSERT_TRUE(FilmPtr(platform::FilmOpenBytes(bytes, platform::FilmSound::Off)));
    bytes[14] = 0x95; // 9.7 million frames
    EXPECT_FALSE(FilmPtr(platform::FilmOpenBytes(bytes, platform::FilmSound::Off)));
}

TEST(AviFilms, FFmpegWritesAndReadsBackAnAvi)
{
    const std::string path = ::testing::TempDir() + "films_test_intro.avi";
    std::vector<std::vector<uint8_t>> frames;
    for (int n = 0; n < 3; ++n)
        frames.emplace_back(static_cast<size_t>(32 * 16 * 3), static_cast<uint8_t>(n == 1 ? 255 : 0));
    ASSERT_TRUE(platform::WriteAviFile(path.c_str(), 32, 16, 10, frames));
    FilmPtr film(platform::FilmOpen(path.c_str(), platform::FilmSound::Off));
    ASSERT_TRUE(film);
    EXPECT_EQ(platform::FilmFrameCount(film.get()), 3);
    std::vector<uint16_t> pixels(32 * 16);
    ASSERT_TRUE(platform::FilmNext(film.get()));
    ASSERT_TRUE(platform::FilmCopyFrame565(film.get(), pixels.data(), 32, 16, 64));
    EXPECT_EQ(pixels[5 * 32 + 7], 0xFFFF); // white
    ASSERT_TRUE(platform::FilmNext(film.get()));
    ASSERT_TRUE(platform::FilmCopyFrame565(film.get(), pixels.data(), 32, 16, 64));
    EXPECT_EQ(pixels[5 * 32 + 7], 0x0000);
    EXPECT_FALSE(platform::FilmNext(film.get()));
    std::remove(path.c_str());
}

} // namespace
