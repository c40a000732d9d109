// The back ends' frame buffer, its colour plane and its present. See
// display_surface.h.
#include "system/display_surface.h"

#include "platform/display.h"

#include <algorithm>
#include <new>

namespace {
// The surface of the open back end, which the view's marks go to.
FrameSurface* gAttached = nullptr;
} // namespace

bool FrameSurface::Allocate(int frameWidth, int frameHeight, int colourDepth)
{
    if (frameWidth <= 0 || frameHeight <= 0)
        return false;
    width = frameWidth;
    height = frameHeight;
    depth = colourDepth == 16 ? 16 : 8;
    pitch = width;
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    try {
        memory.assign(pixels, 0);
        if (depth == 16) {
            colour.assign(pixels, 0);
            presentedIndices.assign(pixels, 0);
            presentedColour.assign(pixels, 0);
            composed.assign(pixels, 0);
        }
    } catch (const std::bad_alloc&) {
        Release();
        return false;
    }
    colourRectCount = shownRectCount = 0;
    return true;
}

void FrameSurface::Attach(DisplayMode& mode, PresentRoutine present)
{
    frameBuffer = Pixels();
    colourPlane = colour.empty() ? nullptr : colour.data();
    mode.frameBuffer = &frameBuffer;
    mode.colourPlane = colourPlane ? &colourPlane : nullptr;
    mode.present = present;
    gAttached = this;
}

void FrameSurface::Release()
{
    platform::CloseScreen();
    for (auto* plane : {&colour, &presentedColour, &composed}) {
        plane->clear();
        plane->shrink_to_fit();
    }
    for (auto* plane : {&memory, &presentedIndices}) {
        plane->clear();
        plane->shrink_to_fit();
    }
    frameBuffer = nullptr;
    colourPlane = nullptr;
    colourRectCount = shownRectCount = 0;
    if (gAttached == this)
        gAttached = nullptr;
}

void FrameSurface::Compose(const PaletteEntry* palette)
{
    for (int i = 0; i < kPaletteEntries; ++i)
        shownColours[i] = PaletteEntryTo565(palette[i]);
    for (std::size_t i = 0; i < composed.size(); ++i)
        composed[i] = shownColours[presentedIndices[i]];
    for (int r = 0; r < shownRectCount; ++r) {
        const Rect& rect = shownRects[r];
        for (int y = rect.top; y <= rect.bottom; ++y) {
            const std::size_t row = static_cast<std::size_t>(y) * width;
            for (int x = rect.left; x <= rect.right; ++x)
                if (presentedIndices[row + x] == kColourPlaneKey)
                    composed[row + x] = presentedColour[row + x];
        }
    }
}

void FrameSurface::Present(const PaletteEntry* palette)
{
    if (memory.empty())
        return;
    if (depth == 8) {
        platform::PresentIndexed(memory.data(), pitch, palette);
        return;
    }
    presentedIndices = memory;
    presentedColour = colour;
    if (colourRectCount > 0) {
        std::copy(colourRects, colourRects + colourRectCount, shownRects);
        shownRectCount = colourRectCount;
        colourRectCount = 0;
    }
    Compose(palette);
    platform::Present565(composed.data(), width * 2);
}

void FrameSurface::ShowPalette(const PaletteEntry* palette)
{
    if (depth == 8) {
        platform::PresentPalette(palette);
        return;
    }
    if (memory.empty() || !platform::ScreenIsOpen())
        return;
    Compose(palette);
    platform::Present565(composed.data(), width * 2);
}

void DisplayShowColourPlane(int left, int top, int right, int bottom)
{
    FrameSurface* s = gAttached;
    if (!s || s->depth != 16)
        return;
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, s->width - 1);
    bottom = std::min(bottom, s->height - 1);
    if (left > right || top > bottom)
        return;
    for (int y = top; y <= bottom; ++y)
        std::fill_n(s->memory.begin() + static_cast<std::ptrdiff_t>(y) * s->width + left, right - left + 1,
                    kColourPlaneKey);
    const FrameSurface::Rect rect{left, top, right, bottom};
    for (int i = 0; i < s->colourRectCount; ++i)
        if (s->colourRects[i].left == left && s->colourRects[i].top == top && s->colourRects[i].right == right &&
            s->colourRects[i].bottom == bottom)
            return;
    if (s->colourRectCount < FrameSurface::kMaxColourRects)
        s->colourRects[s->colourRectCount++] = rect;
}

void DisplayHideColourPlane()
{
    if (gAttached)
        gAttached->colourRectCount = gAttached->shownRectCount = 0;
}

const uint16_t* DisplayShownFrame565()
{
    const FrameSurface* s = gAttached;
    return s && s->depth == 16 && !s->composed.empty() ? s->composed.data() : nullptr;
}

uint16_t DisplayColour565(uint8_t index)
{
    const FrameSurface* s = gAttached;
    return s && s->depth == 16 ? s->shownColours[index] : 0;
}
