// Test films. See film_fixtures.h.
#include "tools/film_fixtures.h"

namespace smk {

Palette FixturePalette(int variant)
{
    Palette p{};
    for (int i = 0; i < 256; ++i) {
        const auto c = static_cast<uint8_t>(i);
        if (variant == 0) {
            p[3 * i] = c;
            p[3 * i + 1] = static_cast<uint8_t>(255 - i);
            p[3 * i + 2] = static_cast<uint8_t>(i * 3);
        } else {
            p[3 * i] = static_cast<uint8_t>(255 - i);
            p[3 * i + 1] = c;
            p[3 * i + 2] = 128;
        }
    }
    return p;
}

uint8_t FixturePixel(int frame, int x, int y, int width, int height, bool holes)
{
    if (holes && (x / 4 + y / 4) % 3 == 0)
        return 0;
    if (y < height / 4)
        return static_cast<uint8_t>(10 + (x / 16) % 100);
    if (x < width / 2)
        return static_cast<uint8_t>(10 + (x + 2 * y + 5 * frame) % 236);
    return static_cast<uint8_t>(10 + (x / 4 + y / 4 + frame) % 236);
}

int16_t FixtureSample(int n)
{
    return (n / 20) % 2 ? 8000 : -8000;
}

Film MakeFixtureFilm(const FixtureShape& shape)
{
    Film film;
    film.width = shape.width;
    film.height = shape.height;
    film.frameTime = shape.frameTime;
    film.audioRate = shape.audioRate;
    const int samplesPerFrame = static_cast<int>(shape.audioRate / 10);
    for (int n = 0; n < shape.frames; ++n) {
        Frame f;
        f.pixels.resize(static_cast<size_t>(shape.width) * static_cast<size_t>(shape.height));
        for (int y = 0; y < shape.height; ++y)
            for (int x = 0; x < shape.width; ++x)
                f.pixels[static_cast<size_t>(y * shape.width + x)] =
                    FixturePixel(n, x, y, shape.width, shape.height, shape.holes);
        if (n == 0)
            f.palette = FixturePalette(0);
        else if (n == shape.paletteChangeFrame)
            f.palette = FixturePalette(1);
        for (int s = 0; s < samplesPerFrame; ++s)
            f.audio.push_back(FixtureSample(n * samplesPerFrame + s));
        film.frames.push_back(std::move(f));
    }
    return film;
}

} // namespace smk
