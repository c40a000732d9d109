// The screen on SDL2: a renderer and a streaming texture on the main window.
// See display.h.
#include "platform/display.h"

#include "platform/window.h"

#include <SDL.h>

#include <bit>
#include <cstring>

namespace platform {
namespace {

SDL_Renderer* gRenderer = nullptr;
SDL_Texture* gTexture = nullptr;
int gWidth = 0;
int gHeight = 0;
PresentHook gPresentHook = nullptr;
// The last 8-bit frame, for a change of palette alone.
std::vector<uint8_t> gLastFrame;
bool gHaveFrame = false;

// The classic desktop's 20 static colours: entries 0-9 and 246-255.
// clang-format off
constexpr PaletteColour kSystemLow[10] = {
    {0, 0, 0, 0},     {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0}, {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
};
// clang-format on
// clang-format off
constexpr PaletteColour kSystemHigh[10] = {
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0}, {255, 255, 255, 0},
};
// clang-format on

bool Show()
{
    SDL_RenderClear(gRenderer);
    SDL_RenderCopy(gRenderer, gTexture, nullptr, nullptr);
    SDL_RenderPresent(gRenderer);
    return true;
}

// Expands a frame into the texture and shows it.
bool ShowIndexed(const uint8_t* pixels, int pitch, const PaletteColour* palette)
{
    void* target;
    int targetPitch;
    if (SDL_LockTexture(gTexture, nullptr, &target, &targetPitch) != 0)
        return false;
    ExpandIndexed(pixels, pitch, palette, gWidth, gHeight, static_cast<uint32_t*>(target), targetPitch);
    SDL_UnlockTexture(gTexture);
    return Show();
}

bool SetMode(SDL_Window* window, int width, int height, ScreenKind kind)
{
    if (kind == ScreenKind::FullScreen)
        return SetWindowFullScreen(true);
    if (!SetWindowFullScreen(false))
        return false;
    SDL_SetWindowSize(window, width, height);
    return true;
}

} // namespace

bool OpenScreen(int width, int height, ScreenKind kind)
{
    CloseScreen();
    auto* window = static_cast<SDL_Window*>(NativeWindow());
    if (!window || width <= 0 || height <= 0)
        return false;
    // The renderer first: making it may make the window anew where it
    // was first placed, which would undo a full screen's place.
    // In a window the frame is shown pixel for pixel, which SDL's software
    // renderer does as fast as any; an accelerated one would first load the
    // graphics driver (through Mesa that is most of a start-up's time).
    // Full screen scales the frame, and takes the accelerated one.
    const Uint32 preferred = kind == ScreenKind::Window ? SDL_RENDERER_SOFTWARE : 0;
    // The software renderer draws into the window's own surface (shared
    // memory with the X server), not through OpenGL, which SDL would
    // otherwise load to ask whether it is faster.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, preferred == 0 ? "1" : "0");
    gRenderer = SDL_CreateRenderer(window, -1, preferred);
    if (!gRenderer)
        gRenderer = SDL_CreateRenderer(window, -1, preferred == 0 ? SDL_RENDERER_SOFTWARE : 0);
    if (!gRenderer)
        return false;
    if (!SetMode(window, width, height, kind)) {
        CloseScreen();
        return false;
    }
    // The frame scaled to the window with its aspect kept; the renderer
    // maps the pointer's window pixels back to the frame's.
    SDL_RenderSetLogicalSize(gRenderer, width, height);
    gTexture = SDL_CreateTexture(gRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!gTexture) {
        CloseScreen();
        return false;
    }
    gWidth = width;
    gHeight = height;
    gLastFrame.assign(static_cast<std::size_t>(width) * height, 0);
    gHaveFrame = false;
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
    gLastFrame.clear();
    gHaveFrame = false;
    SetWindowFullScreen(false);
}

bool ScreenIsOpen()
{
    return gTexture != nullptr;
}

void ExpandIndexed(const uint8_t* pixels, int pitch, const PaletteColour* palette, int width, int height,
                   uint32_t* out, int outPitch)
{
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = 0xFF000000u | (uint32_t{palette[i].red} << 16) | (uint32_t{palette[i].green} << 8) |
                     palette[i].blue;
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
        auto* to = reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(out) + static_cast<std::ptrdiff_t>(y) * outPitch);
        int x = 0;
        // Four indices a load (in memory order on a little-endian host): the
        // table lookups are the whole cost.
        if constexpr (std::endian::native == std::endian::little) {
            for (; x + 4 <= width; x += 4) {
                uint32_t four;
                std::memcpy(&four, from + x, sizeof four);
                to[x] = colours[four & 0xFF];
                to[x + 1] = colours[(four >> 8) & 0xFF];
                to[x + 2] = colours[(four >> 16) & 0xFF];
                to[x + 3] = colours[four >> 24];
            }
        }
        for (; x < width; ++x)
            to[x] = colours[from[x]];
    }
}

bool PresentIndexed(const uint8_t* pixels, int pitch, const PaletteColour* palette)
{
    if (!pixels || !palette || !gTexture)
        return false;
    if (gPresentHook)
        gPresentHook(pixels, gWidth, gHeight, pitch, 8, palette);
    for (int y = 0; y < gHeight; ++y)
        std::memcpy(gLastFrame.data() + static_cast<std::size_t>(y) * gWidth,
                    pixels + static_cast<std::ptrdiff_t>(y) * pitch, static_cast<std::size_t>(gWidth));
    gHaveFrame = true;
    return ShowIndexed(gLastFrame.data(), gWidth, palette);
}

bool PresentPalette(const PaletteColour* palette)
{
    if (!palette || !gTexture || !gHaveFrame)
        return false;
    if (gPresentHook)
        gPresentHook(gLastFrame.data(), gWidth, gHeight, gWidth, 8, palette);
    return ShowIndexed(gLastFrame.data(), gWidth, palette);
}

bool Present565(const uint16_t* pixels, int pitch)
{
    if (!pixels || !gTexture)
        return false;
    if (gPresentHook)
        gPresentHook(pixels, gWidth, gHeight, pitch, 16, nullptr);
    gHaveFrame = false;
    void* target;
    int targetPitch;
    if (SDL_LockTexture(gTexture, nullptr, &target, &targetPitch) != 0)
        return false;
    for (int y = 0; y < gHeight; ++y) {
        const auto* from = reinterpret_cast<const uint16_t*>(reinterpret_cast<const uint8_t*>(pixels) +
                                                             static_cast<std::ptrdiff_t>(y) * pitch);
        auto* to = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(target) + static_cast<std::ptrdiff_t>(y) * targetPitch);
        for (int x = 0; x < gWidth; ++x) {
            const PaletteColour c = Colour565(from[x]);
            to[x] = 0xFF000000u | uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue;
        }
    }
    SDL_UnlockTexture(gTexture);
    return Show();
}

const PaletteColour* SystemPaletteColours()
{
    static const auto table = [] {
        static PaletteColour t[256] = {};
        for (int i = 0; i < 10; ++i) {
            t[i] = kSystemLow[i];
            t[246 + i] = kSystemHigh[i];
        }
        return t;
    }();
    return table;
}

bool ReadScreenPixels(std::vector<uint32_t>& out, int& width, int& height)
{
    out.clear();
    if (!gTexture)
        return false;
    // What the last present drew, drawn again into the renderer's target.
    SDL_RenderClear(gRenderer);
    SDL_RenderCopy(gRenderer, gTexture, nullptr, nullptr);
    if (SDL_GetRendererOutputSize(gRenderer, &width, &height) != 0 || width <= 0 || height <= 0)
        return false;
    out.resize(static_cast<std::size_t>(width) * height);
    if (SDL_RenderReadPixels(gRenderer, nullptr, SDL_PIXELFORMAT_ARGB8888, out.data(), width * 4) != 0) {
        out.clear();
        return false;
    }
    for (uint32_t& p : out)
        p &= 0xFFFFFF;
    return true;
}

PresentHook SetPresentHook(PresentHook hook)
{
    PresentHook old = gPresentHook;
    gPresentHook = hook;
    return old;
}

} // namespace platform
