// Fuzz target: text drawn with fonts from hostile font files. Whatever the
// glyph sizes, hot spots and advances say, every operation stays on its
// small canvas (the sanitisers watch the bytes around it). The input is the
// font file; its first bytes double as the text.
#include "system/res/font.h"
#include "system/text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 48, kHeight = 32;

void DrawAll(const RasterFont* font, const StrokeFont* strokes, const std::string& text)
{
    std::vector<uint8_t> pixels(kWidth * kHeight);
    const Canvas canvas = {pixels.data(), kWidth, kHeight};
    const ClipRect clips[] = {{-20, -20, 100, 100}, {4, 4, 40, 28}, {10, 10, 10, 30}};
    std::vector<uint8_t> numbers(text.size());
    for (std::size_t i = 0; i < numbers.size(); ++i)
        numbers[i] = static_cast<uint8_t>(text[i]) % 6;
    const RasterFont* fonts[kMixedFonts] = {font, nullptr, font, font, font};
    for (const ClipRect& clip : clips) {
        if (font) {
            int16_t x = 2, y = 8;
            CanvasTextWrap(canvas, x, y, text.c_str(), font, clip);
            x = -5, y = 40;
            CanvasTextWrapWidth(canvas, x, y, text.c_str(), font, clip, 30);
            x = 1, y = 1;
            CanvasDrawText(canvas, x, y, text.c_str(), font, 7, clip);
            x = 0, y = 0;
            CanvasDrawTextMixed(canvas, x, y, text.c_str(), numbers.data(), fonts, clip);
            CanvasDrawTextCentred(canvas, text.c_str(), font, clip);
            CanvasDrawTextBox(canvas, text.c_str(), font, clip);
            TextWrapHeight(text.c_str(), font, 20);
        }
        if (strokes) {
            int16_t x = 3, y = 3;
            CanvasDrawStrokeText(canvas, x, y, text.c_str(), strokes, clip, 9);
            for (int32_t size : {1, 18, 300, -40}) {
                x = -10, y = 5;
                CanvasDrawVectorText(canvas, size, x, y, text.c_str(), strokes, clip, 9);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> file(data, size);
    std::string text(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 48));
    text = text.c_str(); // up to the first zero
    std::vector<uint64_t> vector(kVectorFontBlockSize / 8 + 1);
    const StrokeFont* strokes =
        VectorFontBuild(file, {reinterpret_cast<uint8_t*>(vector.data()), kVectorFontBlockSize});
    bool drawn = false;
    for (FontFile kind : {FontFile::Fnt, FontFile::Fon}) {
        std::size_t need = FontBuildSize(file, kind);
        if (need == 0 || need > (16u << 20))
            continue;
        std::vector<uint64_t> block((need + 7) / 8);
        RasterFont* font = FontBuild(file, kind, {reinterpret_cast<uint8_t*>(block.data()), need});
        DrawAll(font, strokes, text);
        drawn = true;
    }
    if (!drawn)
        DrawAll(nullptr, strokes, text);
    return 0;
}
