// The font maker. See fontmaker.h.
#include "system/fontmaker.h"

#include "platform/glyphs.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/res/font.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

FontMakerChoice gFontMakerChoice;
RasterFont* gCurrentFont = nullptr;

namespace {

constexpr int kFirstChar = 32;
constexpr int kPreviewStart = 20;
constexpr uint8_t kInkThreshold = 144;

// Made fonts and their glyph blocks live as long as the program.
std::vector<std::unique_ptr<RasterFont>> gFonts;
std::vector<std::unique_ptr<uint8_t[]>> gGlyphBlocks;

platform::GlyphFace* gFace = nullptr;

Raster* NewGlyph(int width, int height)
{
    auto block = std::make_unique<uint8_t[]>(RasterBlockSize(static_cast<size_t>(width), static_cast<size_t>(height)));
    auto* glyph = reinterpret_cast<Raster*>(block.get());
    glyph->pixels = block.get() + sizeof(Raster);
    glyph->width = static_cast<int16_t>(width);
    glyph->height = static_cast<int16_t>(height);
    glyph->xOffset = glyph->yOffset = 0;
    std::fill_n(glyph->pixels, static_cast<size_t>(width) * static_cast<size_t>(height), uint8_t{0});
    gGlyphBlocks.push_back(std::move(block));
    return glyph;
}

enum class Size {
    Full,
    Half
};

RasterFont* BuildFont(Size size, int16_t extraAdvance, int16_t extraLineHeight)
{
    Canvas screen = ScreenCanvas();
    if (screen.pixels)
        CanvasClear(screen, 0);
    int penX = kPreviewStart, penY = kPreviewStart;

    std::string path;
    if (!ChooseGameFont(path))
        return nullptr;
    auto font = std::make_unique<RasterFont>();
    *font = RasterFont{};
    const int textHeight = platform::GlyphTextHeight(gFace);

    for (int c = kFirstChar; c < kFontChars; ++c) {
        platform::GreyGlyph g;
        if (!platform::GlyphRenderGrey(gFace, static_cast<uint8_t>(c), g))
            continue;
        // The work bitmap: the black box widened to an even width, grey 0-64
        // turned into pixel values 0-252.
        const int width = g.width + (g.width & 1), height = g.height;
        std::vector<uint8_t> work(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < g.width; ++x)
                work[static_cast<size_t>(y * width + x)] =
                    static_cast<uint8_t>(std::min<int>(g.grey[static_cast<size_t>(y * g.pitch + x)], 63) * 4);

        Raster* glyph;
        if (size == Size::Full) {
            glyph = NewGlyph(width, height);
            std::copy(work.begin(), work.end(), glyph->pixels);
            int first = -1, last = -1;
            for (int x = 0; x < width; ++x)
                for (int y = 0; y < height; ++y)
                    if (work[static_cast<size_t>(y * width + x)] > kInkThreshold) {
                        if (first < 0)
                            first = x;
                        last = x;
                        break;
                    }
            const int inkWidth = first < 0 ? width : last - first + 1;
            glyph->xOffset = static_cast<int16_t>(first < 0 ? 0 : first);
            glyph->yOffset = static_cast<int16_t>(g.originY);
            font->widths[c] = static_cast<int16_t>(extraAdvance + inkWidth + 1);
        } else {
            const int hw = (width + 1) / 2, hh = (height + 1) / 2;
            glyph = NewGlyph(hw, hh);
            auto at = [&](int x, int y) {
                return x < width && y < height ? work[static_cast<size_t>(y * width + x)] : 0;
            };
            for (int y = 0; y < hh; ++y)
                for (int x = 0; x < hw; ++x)
                    glyph->pixels[y * hw + x] = static_cast<uint8_t>(
                        (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1)) >> 2);
            glyph->yOffset = static_cast<int16_t>((g.originY + 1) / 2);
            font->widths[c] = static_cast<int16_t>(extraAdvance + hw + 1);
        }
        font->glyphs[c] = glyph;

        // The preview, cut to the screen.
        if (screen.pixels) {
            CanvasBlitClipped(screen, *glyph, CanvasBounds(screen), static_cast<int16_t>(penX + glyph->xOffset),
                              static_cast<int16_t>(penY + glyph->yOffset));
            if (size == Size::Half) {
                penX += glyph->width + 2;
                if (penX > screen.rowLength) {
                    penX = kPreviewStart;
                    penY += glyph->height + 2;
                }
            } else {
                penX += glyph->width + 1;
                if (penX > screen.rowLength) {
                    penX = 0;
                    penY += textHeight + 2;
                }
            }
        }
    }
    platform::GlyphFaceClose(gFace);
    gFace = nullptr;
    if (screen.pixels)
        DisplayPresent(gScreenMode);

    font->height = static_cast<int16_t>(extraLineHeight + (size == Size::Full ? textHeight : (textHeight + 1) / 2));
    font->widths[' '] = font->widths['e'];
    if (!font->glyphs[' '])
        font->glyphs[' '] = NewGlyph(1, 1);
    for (int c = 0; c < kFontChars; ++c)
        if (!font->glyphs[c])
            font->glyphs[c] = font->glyphs[' '];
    FontSave(path.c_str(), font.get());
    gCurrentFont = font.get();
    gFonts.push_back(std::move(font));
    return gCurrentFont;
}

} // namespace

bool ChooseGameFont(std::string& path)
{
    platform::GlyphFaceClose(gFace);
    const std::string& file = gFontMakerChoice.file;
    gFace = platform::GlyphFaceOpen(file.empty() ? platform::DefaultGlyphFontFile() : file.c_str(),
                                    gFontMakerChoice.pointSize);
    if (!gFace)
        return false;
    char name[256];
    std::snprintf(name, sizeof name, "zqk\\resource\\fonts\\%s%d.fon", platform::GlyphFaceName(gFace).c_str(),
                  gFontMakerChoice.pointSize);
    path = name;
    return true;
}

RasterFont* BuildFontGrey(int16_t extraAdvance, int16_t extraLineHeight)
{
    return BuildFont(Size::Full, extraAdvance, extraLineHeight);
}

RasterFont* BuildFontHalf(int16_t extraAdvance, int16_t extraLineHeight)
{
    return BuildFont(Size::Half, extraAdvance, extraLineHeight);
}
