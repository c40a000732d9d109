// Fuzz target: Smacker (and AVI) input through the film path: open, copy
// every frame into a screen-sized buffer centred as the player does (the
// film may be larger), take palettes into a remap, go back to a frame, and
// play to the end. Nothing may read or write outside its buffers.
#include "platform/film.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::Film* film = platform::FilmOpenBytes(std::vector<uint8_t>(data, data + size), platform::FilmSound::On);
    if (!film)
        return 0;
    constexpr int kWidth = 640, kHeight = 480;
    std::vector<uint8_t> screen(kWidth * kHeight);
    const int x = (kWidth - platform::FilmWidth(film)) / 2, y = (kHeight - platform::FilmHeight(film)) / 2;
    platform::PaletteColour game[256] = {};
    for (int frames = 0; frames < 64; ++frames) {
        if (platform::FilmPaletteChanged(film))
            platform::FilmSetRemap(film, game, 10, 245);
        platform::FilmCopyFrame(film, screen.data(), kWidth, kHeight, kWidth, x, y, frames % 2 == 1);
        if (frames == 2)
            platform::FilmGoTo(film, 1);
        else if (!platform::FilmNext(film))
            break;
    }
    platform::FilmClose(film);
    return 0;
}
