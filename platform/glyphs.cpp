// Glyphs through FreeType. See glyphs.h.
#include "platform/glyphs.h"

#include "platform/host.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace platform {

namespace {

constexpr int kDotsPerInch = 96;
constexpr int kMaxPointSize = 400;
constexpr int kMaxGlyphSide = 2048; // pixels (an em at the largest point size is 533)

FT_Library Library()
{
    static FT_Library library = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (FT_Init_FreeType(&library) != 0)
            library = nullptr;
    }
    return library;
}

uint32_t UnicodeOf(uint8_t character)
{
    const char text[2] = {static_cast<char>(character), 0};
    const std::string utf8 = Cp1252ToUtf8(text);
    const auto* b = reinterpret_cast<const uint8_t*>(utf8.data());
    switch (utf8.size()) {
    case 1: return b[0];
    case 2: return (b[0] & 0x1Fu) << 6 | (b[1] & 0x3Fu);
    case 3: return (b[0] & 0x0Fu) << 12 | (b[1] & 0x3Fu) << 6 | (b[2] & 0x3Fu);
    default: return 0;
    }
}

// The Unicode code point of a code page 1252 character; 0 for the five
// codes that stand for nothing (the conversion gives '?' for them).
uint32_t CodePoint(uint8_t character)
{
    const uint32_t code = UnicodeOf(character);
    return character != '?' && code == '?' ? 0 : code;
}

} // namespace

struct GlyphFace {
    FT_Face face = nullptr;
};

const char* DefaultGlyphFontFile()
{
    return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

GlyphFace* GlyphFaceOpen(const char* path, int pointSize)
{
    FT_Library library = Library();
    if (!library || !path || pointSize < 1 || pointSize > kMaxPointSize)
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, path, 0, &face) != 0)
        return nullptr;
    if (!FT_IS_SCALABLE(face) ||
        FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(pointSize) * 64, kDotsPerInch, kDotsPerInch) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    return new GlyphFace{face};
}

void GlyphFaceClose(GlyphFace* face)
{
    if (!face)
        return;
    FT_Done_Face(face->face);
    delete face;
}

std::string GlyphFaceName(const GlyphFace* face)
{
    return face->face->family_name ? face->face->family_name : "";
}

int GlyphTextHeight(const GlyphFace* face)
{
    const FT_Size_Metrics& m = face->face->size->metrics;
    return static_cast<int>((m.ascender - m.descender + 63) >> 6);
}

bool GlyphRenderGrey(GlyphFace* face, uint8_t character, GreyGlyph& out)
{
    const uint32_t code = CodePoint(character);
    const FT_UInt index = code ? FT_Get_Char_Index(face->face, code) : 0;
    if (index == 0 || FT_Load_Glyph(face->face, index, FT_LOAD_TARGET_NORMAL) != 0)
        return false;
    const FT_GlyphSlot slot = face->face->glyph;
    // A damaged font can give a glyph thousands of pixels on a side (the
    // raster's sizes are 16-bit, and rendering it would take seconds):
    // such a glyph is refused before it is rendered, as a missing one is.
    const FT_Pos side = FT_Pos{kMaxGlyphSide} * 64;
    if (slot->metrics.width < 0 || slot->metrics.height < 0 || slot->metrics.width > side ||
        slot->metrics.height > side || FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.width > 0)
        return false;
    if (bitmap.width > unsigned(kMaxGlyphSide) + 2 || bitmap.rows > unsigned(kMaxGlyphSide) + 2)
        return false;
    // An empty glyph (a blank) is a 1 x 1 box of background, as the host's
    // glyph call gives it.
    out.width = std::max(1, static_cast<int>(bitmap.width));
    out.height = std::max(1, static_cast<int>(bitmap.rows));
    out.originX = slot->bitmap_left;
    out.originY = bitmap.rows ? slot->bitmap_top : 0;
    out.pitch = (out.width + 3) & ~3;
    out.grey.assign(static_cast<size_t>(out.pitch) * static_cast<size_t>(out.height), 0);
    const int levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
    for (unsigned y = 0; y < bitmap.rows; ++y)
        for (unsigned x = 0; x < bitmap.width; ++x) {
            const uint8_t v = bitmap.buffer[static_cast<ptrdiff_t>(y) * bitmap.pitch + x];
            out.grey[y * static_cast<size_t>(out.pitch) + x] = static_cast<uint8_t>((v * 64 + levels / 2) / levels);
        }
    return true;
}

} // namespace platform
