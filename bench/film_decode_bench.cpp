// Decoding a 640 x 480 Smacker frame and copying it to the screen canvas,
// as a full-screen film step does. Our fixture film changes every pixel of
// half the picture each frame (full blocks) and fills the rest by blocks.
// The time reported is per frame. A film of 10 frames a second allows 100 ms
// a frame; the target is a tenth of that at most.
#include "platform/film.h"
#include "tools/film_fixtures.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_SmackerFrameToCanvas(benchmark::State& state)
{
    constexpr int kFrames = 30;
    const std::vector<uint8_t> bytes = smk::Write(smk::MakeFixtureFilm({640, 480, kFrames, 10}));
    std::vector<uint8_t> canvas(640 * 480);
    platform::Film* film = platform::FilmOpenBytes(bytes, platform::FilmSound::Off);
    for (auto _ : state) {
        platform::FilmCopyFrame(film, canvas.data(), 640, 480, 640, 0, 0);
        if (!platform::FilmNext(film)) {
            state.PauseTiming();
            platform::FilmClose(film);
            film = platform::FilmOpenBytes(bytes, platform::FilmSound::Off);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(canvas.data());
    }
    platform::FilmClose(film);
}
BENCHMARK(BM_SmackerFrameToCanvas)->Unit(benchmark::kMillisecond);

} // namespace
