// The display wrappers, the back-end choice and the gamma rule. See display.h.
#include "system/display.h"

#include "system/settings.h"

#include <algorithm>
#include <cmath>

const DisplayDriver* gDisplayDriver = &kWindowDisplay;
FilmPlayer gFilmPlayer = FilmPlayer::Canvas;
uint8_t gFrameworkPalette = 0;
float gDisplayGamma = 1.0f;
DisplayMode gScreenMode;

namespace {
PaletteEntry gLastPalette[256];

void RememberPalette(const PaletteEntry* palette)
{
    if (palette && palette != gLastPalette)
        std::copy(palette, palette + 256, gLastPalette);
}
} // namespace

namespace {
void SelectDisplay(const DisplayDriver& driver, FilmPlayer film, uint8_t fullScreen, uint8_t frameworkPalette)
{
    gDisplayDriver = &driver;
    gFilmPlayer = film;
    gSettings.fullScreen = fullScreen;
    gSettings.exclusiveMode = fullScreen;
    gFrameworkPalette = frameworkPalette;
}
} // namespace

void UseFullScreenDisplay()
{
    if (ProbeFullScreenDisplay())
        SelectDisplay(kFullScreenDisplay, FilmPlayer::Surface, 255, 0);
    else
        UseWindowDisplay();
}

void UseWindowDisplay()
{
    SelectDisplay(kWindowDisplay, FilmPlayer::Canvas, 0, 0);
}

void UseFrameworkDisplay()
{
    SelectDisplay(kFrameworkDisplay, FilmPlayer::Canvas, 0, 255);
}

void DisplayRunPresentRoutine(DisplayMode& mode)
{
    if (mode.present)
        mode.present(mode);
}

void DisplayNoModeOperation(DisplayMode&) {}
void DisplayNoOperation() {}
void DisplayNoSystemPalette(const SystemPalette*) {}

int DisplayOpen(DisplayMode& mode)
{
    return gDisplayDriver->open(mode);
}

void DisplayClose()
{
    gDisplayDriver->close();
}

void DisplayBlit(DisplayMode& mode)
{
    gDisplayDriver->blit(mode);
}

void DisplayPresent(DisplayMode& mode)
{
    gDisplayDriver->present(mode);
}

void DisplayLock(DisplayMode& mode)
{
    gDisplayDriver->lock(mode);
}

void DisplayFlush()
{
    gDisplayDriver->flush();
}

void DisplayPaletteFromHandle(const SystemPalette* palette)
{
    gDisplayDriver->paletteFromHandle(palette);
}

void DisplayInitPalette(const PaletteEntry* palette)
{
    RememberPalette(palette);
    gDisplayDriver->initPalette(palette);
}

void DisplaySetPalette(const PaletteEntry* palette)
{
    if (!palette)
        return;
    RememberPalette(palette);
    gDisplayDriver->setPalette(palette);
}

const PaletteEntry* DisplayLastPalette()
{
    return gLastPalette;
}

uint8_t GammaCorrect(uint8_t component, float gamma)
{
    if (gamma == 1.0f || !(gamma > 0.0f))
        return component;
    double corrected = 256.0 * std::pow(component / 256.0, 1.0 / static_cast<double>(gamma));
    return corrected >= 255.0 ? 255 : static_cast<uint8_t>(corrected);
}

void GammaCorrectPalette(const PaletteEntry* from, PaletteEntry* to, float gamma)
{
    for (int i = 0; i < 256; ++i) {
        to[i] = from[i];
        if (i >= kFirstGameColour && i <= kLastGameColour) {
            to[i].red = GammaCorrect(from[i].red, gamma);
            to[i].green = GammaCorrect(from[i].green, gamma);
            to[i].blue = GammaCorrect(from[i].blue, gamma);
        }
    }
}
