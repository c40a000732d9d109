// The back ends' frame buffer and its present. See display_surface.h.
#include "system/display_surface.h"

#include "platform/display.h"

#include <new>

bool FrameSurface::Allocate(int frameWidth, int frameHeight, int colourDepth)
{
    if (frameWidth <= 0 || frameHeight <= 0)
        return false;
    width = frameWidth;
    height = frameHeight;
    depth = colourDepth == 16 ? 16 : 8;
    pitch = width * (depth / 8);
    try {
        memory.assign(static_cast<std::size_t>(pitch) * height, 0);
    } catch (const std::bad_alloc&) {
        memory.clear();
        return false;
    }
    return true;
}

void FrameSurface::Attach(DisplayMode& mode, PresentRoutine present)
{
    frameBuffer = Pixels();
    mode.frameBuffer = &frameBuffer;
    mode.present = present;
}

void FrameSurface::Release()
{
    platform::CloseScreen();
    memory.clear();
    memory.shrink_to_fit();
    frameBuffer = nullptr;
}

void FrameSurface::Present(const PaletteEntry* palette) const
{
    if (memory.empty())
        return;
    if (depth == 16)
        platform::Present565(reinterpret_cast<const uint16_t*>(memory.data()), pitch);
    else
        platform::PresentIndexed(memory.data(), pitch, palette);
}
