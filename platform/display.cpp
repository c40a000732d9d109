// The screen on SDL2: a renderer and a streaming texture on the main window.
// See display.h.
#include "platform/display.h"

#include "platform/window.h"

#include <SDL.h>

namespace platform {
namespace {

SDL_Renderer* gRenderer = nullptr;
SDL_Texture* gTexture = nullptr;
int gWidth = 0;
int gHeight = 0;
PresentHook gPresentHook = nullptr;

bool Show()
{
    SDL_RenderClear(gRenderer);
    SDL_RenderCopy(gRenderer, gTexture, nullptr, nullptr);
    SDL_RenderPresent(gRenderer);
    return true;
}

} // namespace

bool OpenScreen(int width, int height, bool fullScreen)
{
    CloseScreen();
    auto* window = static_cast<SDL_Window*>(NativeWindow());
    if (!window || width <= 0 || height <= 0)
        return false;
    SDL_SetWindowSize(window, width, height);
    SDL_SetWindowFullscreen(window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    gRenderer = SDL_CreateRenderer(window, -1, 0);
    if (!gRenderer)
        gRenderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!gRenderer)
        return false;
    SDL_RenderSetLogicalSize(gRenderer, width, height);
    gTexture = SDL_CreateTexture(gRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!gTexture) {
        CloseScreen();
        return false;
    }
    gWidth = width;
    gHeight = height;
    return true;
}

void CloseScreen()
{
    if (gTexture)
        SDL_DestroyTexture(gTexture);
    if (gRenderer)
        SDL_DestroyRenderer(gRenderer);
    gTexture = nullptr;
    gRenderer = nullptr;
    gWidth = gHeight = 0;
}

bool ScreenIsOpen()
{
    return gTexture != nullptr;
}

bool PresentIndexed(const uint8_t* pixels, int pitch, const PaletteColour* palette)
{
    if (!pixels || !palette)
        return false;
    if (!gTexture)
        return false;
    if (gPresentHook)
        gPresentHook(pixels, gWidth, gHeight, pitch, 8, palette);
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = 0xFF000000u | (uint32_t{palette[i].red} << 16) | (uint32_t{palette[i].green} << 8) |
                     palette[i].blue;
    void* target;
    int targetPitch;
    if (SDL_LockTexture(gTexture, nullptr, &target, &targetPitch) != 0)
        return false;
    for (int y = 0; y < gHeight; ++y) {
        const uint8_t* from = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
        auto* to = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(target) + static_cast<std::ptrdiff_t>(y) * targetPitch);
        for (int x = 0; x < gWidth; ++x)
            to[x] = colours[from[x]];
    }
    SDL_UnlockTexture(gTexture);
    return Show();
}

bool Present565(const uint16_t* pixels, int pitch)
{
    if (!pixels)
        return false;
    if (!gTexture)
        return false;
    if (gPresentHook)
        gPresentHook(pixels, gWidth, gHeight, pitch, 16, nullptr);
    void* target;
    int targetPitch;
    if (SDL_LockTexture(gTexture, nullptr, &target, &targetPitch) != 0)
        return false;
    for (int y = 0; y < gHeight; ++y) {
        const auto* from = reinterpret_cast<const uint16_t*>(reinterpret_cast<const uint8_t*>(pixels) +
                                                             static_cast<std::ptrdiff_t>(y) * pitch);
        auto* to = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(target) + static_cast<std::ptrdiff_t>(y) * targetPitch);
        for (int x = 0; x < gWidth; ++x) {
            uint32_t p = from[x];
            uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
            to[x] = 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
        }
    }
    SDL_UnlockTexture(gTexture);
    return Show();
}

PresentHook SetPresentHook(PresentHook hook)
{
    PresentHook old = gPresentHook;
    gPresentHook = hook;
    return old;
}

} // namespace platform
