// Generic and null pixelmap methods. A generic method is built only from the
// simpler methods of the pixelmap's own class, so any device class can put
// it into its table; a null method does nothing and succeeds.
#include "framework/memdev.h"

#include <algorithm>

#include "framework/pmline.h"

namespace {

const hx_device_pixelmap_dispatch* Class(hx_pixelmap* pm)
{
    return HxPixelmapEnsureClass(pm);
}

bool SameSize(const hx_pixelmap* a, const hx_pixelmap* b)
{
    return a->width == b->width && a->height == b->height;
}

// Far-away coordinates stay far away instead of wrapping round.
int32_t Saturate(int64_t v)
{
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Runs `each` over the rectangles in order; the first error ends it.
template <typename Each>
hx_error ForEachRectangle(const hx_rectangle* r, int n, Each each)
{
    for (int i = 0; i < n; ++i)
        if (hx_error error = each(r[i]))
            return error;
    return HX_OK;
}

} // namespace

hx_error _M_hx_device_pixelmap_gen_copy(hx_pixelmap* self, hx_pixelmap* source)
{
    hx_point at = HxPixelmapTopLeft(self);
    hx_rectangle whole = HxPixelmapWholeRect(source);
    return Class(self)->rectangleCopy(self, &at, source, &whole);
}

hx_error _M_hx_device_pixelmap_gen_copyTo(hx_pixelmap* self, hx_pixelmap* source)
{
    hx_point at = HxPixelmapTopLeft(self);
    hx_rectangle whole = HxPixelmapWholeRect(source);
    return Class(self)->rectangleCopyTo(self, &at, source, &whole);
}

hx_error _M_hx_device_pixelmap_gen_copyFrom(hx_pixelmap* self, hx_pixelmap* dest)
{
    hx_point at = HxPixelmapTopLeft(dest);
    hx_rectangle whole = HxPixelmapWholeRect(self);
    return Class(self)->rectangleCopyFrom(self, &at, dest, &whole);
}

hx_error _M_hx_device_pixelmap_gen_fill(hx_pixelmap* self, uint32_t colour)
{
    hx_rectangle whole = HxPixelmapWholeRect(self);
    return Class(self)->rectangleFill(self, &whole, colour);
}

hx_error _M_hx_device_pixelmap_gen_doubleBuffer(hx_pixelmap* self, hx_pixelmap* back)
{
    if (SameSize(self, back))
        return HxPixelmapCopy(self, back);
    return HxPixelmapRectangleStretchCopy(self, -self->origin_x, -self->origin_y, self->width, self->height, back,
                                          -back->origin_x, -back->origin_y, back->width, back->height);
}

hx_error _M_hx_device_pixelmap_gen_copyDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r, int n)
{
    const hx_device_pixelmap_dispatch* c = Class(self);
    if (!SameSize(self, other))
        return c->copy(self, other);
    return ForEachRectangle(r, n, [&](const hx_rectangle& rect) {
        hx_point at = {rect.x, rect.y};
        return c->rectangleCopy(self, &at, other, &rect);
    });
}

hx_error _M_hx_device_pixelmap_gen_copyToDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r, int n)
{
    const hx_device_pixelmap_dispatch* c = Class(self);
    if (!SameSize(self, other))
        return c->copyTo(self, other);
    return ForEachRectangle(r, n, [&](const hx_rectangle& rect) {
        hx_point at = {rect.x, rect.y};
        return c->rectangleCopyTo(self, &at, other, &rect);
    });
}

hx_error _M_hx_device_pixelmap_gen_copyFromDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r,
                                                 int n)
{
    const hx_device_pixelmap_dispatch* c = Class(self);
    if (!SameSize(self, other))
        return c->copyFrom(self, other);
    return ForEachRectangle(r, n, [&](const hx_rectangle& rect) {
        hx_point at = {rect.x, rect.y};
        return c->rectangleCopyFrom(self, &at, other, &rect);
    });
}

hx_error _M_hx_device_pixelmap_gen_fillDirty(hx_pixelmap* self, uint32_t colour, const hx_rectangle* r, int n)
{
    const hx_device_pixelmap_dispatch* c = Class(self);
    return ForEachRectangle(r, n, [&](const hx_rectangle& rect) { return c->rectangleFill(self, &rect, colour); });
}

hx_error _M_hx_device_pixelmap_gen_doubleBufferDirty(hx_pixelmap* self, hx_pixelmap* back, const hx_rectangle* r,
                                                     int n)
{
    const hx_device_pixelmap_dispatch* c = Class(self);
    if (!SameSize(self, back))
        return c->doubleBuffer(self, back);
    return ForEachRectangle(r, n, [&](const hx_rectangle& rect) {
        hx_point at = {rect.x, rect.y};
        return c->rectangleCopy(self, &at, back, &rect);
    });
}

hx_error _M_hx_device_pixelmap_gen_rectangle2(hx_pixelmap* self, const hx_rectangle* r, uint32_t colourTl,
                                              uint32_t colourBr)
{
    const hx_device_pixelmap_dispatch* c = Class(self);
    const int32_t right = Saturate(int64_t(r->x) + r->w - 1), bottom = Saturate(int64_t(r->y) + r->h - 1);
    const struct {
        hx_point a, b;
        uint32_t colour;
    } edges[4] = {
        {{r->x, r->y}, {right, r->y}, colourTl},     // top
        {{r->x, r->y}, {r->x, bottom}, colourTl},    // left
        {{r->x, bottom}, {right, bottom}, colourBr}, // bottom
        {{right, r->y}, {right, bottom}, colourBr},  // right
    };
    for (const auto& e : edges)
        if (hx_error error = c->line(self, &e.a, &e.b, e.colour))
            return error;
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_gen_rectangle(hx_pixelmap* self, const hx_rectangle* r, uint32_t colour)
{
    return _M_hx_device_pixelmap_gen_rectangle2(self, r, colour, colour);
}

hx_error _M_hx_device_pixelmap_gen_line(hx_pixelmap* self, const hx_point* a, const hx_point* b, uint32_t colour)
{
    hx_point s, e;
    if (!PixelmapLineClip(&s, &e, a, b, self))
        return HX_OK;
    const hx_device_pixelmap_dispatch* c = Class(self);
    hx_error error = HX_OK;
    HxSymmetricLine(s.x, s.y, e.x, e.y, [&](int32_t x, int32_t y) {
        hx_point p = {x - self->origin_x, y - self->origin_y};
        if (hx_error e2 = c->pixelSet(self, &p, colour); e2 && !error)
            error = e2;
    });
    return error;
}

hx_error _M_hx_device_pixelmap_gen_copyBits(hx_pixelmap* self, const hx_point* p, const uint8_t* bits,
                                            int32_t stride, const hx_rectangle* r, uint32_t colour)
{
    const hx_device_pixelmap_dispatch* c = Class(self);
    if (r->x < 0 || r->y < 0)
        return HX_OK;
    for (int32_t row = 0; row < r->h; ++row) {
        const uint8_t* line = bits + ptrdiff_t(r->y + row) * stride;
        for (int32_t column = 0; column < r->w; ++column) {
            int32_t bit = r->x + column;
            if (line[bit >> 3] & (0x80u >> (bit & 7))) {
                hx_point at = {Saturate(int64_t(p->x) + column), Saturate(int64_t(p->y) + row)};
                if (hx_error error = c->pixelSet(self, &at, colour))
                    return error;
            }
        }
    }
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_gen_text(hx_pixelmap* self, const hx_point* p, const hx_font* font,
                                        const char* text, uint32_t colour)
{
    if (!font)
        font = &HxFontProp7x9;
    if (!text)
        return HX_OK;
    const int32_t height = font->glyph_y;
    const int64_t top = int64_t(p->y) + self->origin_y;
    int64_t left = int64_t(p->x) + self->origin_x;
    if (top <= -height || top >= self->height || left >= self->width)
        return HX_OK;
    const hx_device_pixelmap_dispatch* c = Class(self);
    hx_point at = *p;
    for (const char* s = text; *s && left < self->width; ++s) {
        const uint8_t ch = uint8_t(*s);
        const int32_t w = font->width ? font->width[ch] : font->glyph_x;
        if (left + w > 0 && w > 0) {
            hx_rectangle glyph = {0, 0, w, height};
            if (hx_error error =
                    c->copyBits(self, &at, font->glyphs + font->encoding[ch], (w + 7) / 8, &glyph, colour))
                return error;
        }
        at.x += w + 1;
        left += w + 1;
    }
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_gen_textBounds(hx_pixelmap*, hx_rectangle* out, const hx_font* font,
                                              const char* text)
{
    if (!font)
        font = &HxFontProp7x9;
    *out = {0, 0, text ? int32_t(HxFontTextWidth(font, text)) : 0, font->glyph_y};
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_gen_flush(hx_pixelmap*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_gen_synchronise(hx_pixelmap*, hx_token)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_gen_directLock(hx_pixelmap*, hx_bool)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_gen_directUnlock(hx_pixelmap*)
{
    return HX_OK;
}

// ---- null methods ------------------------------------------------------------------

hx_error _M_hx_device_pixelmap_null_resize(hx_pixelmap*, int32_t, int32_t)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_copyTo(hx_pixelmap*, hx_pixelmap*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_copyFrom(hx_pixelmap*, hx_pixelmap*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_fill(hx_pixelmap*, uint32_t)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_doubleBuffer(hx_pixelmap*, hx_pixelmap*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_copyDirty(hx_pixelmap*, hx_pixelmap*, const hx_rectangle*, int)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_copyToDirty(hx_pixelmap*, hx_pixelmap*, const hx_rectangle*, int)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_copyFromDirty(hx_pixelmap*, hx_pixelmap*, const hx_rectangle*, int)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_fillDirty(hx_pixelmap*, uint32_t, const hx_rectangle*, int)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_doubleBufferDirty(hx_pixelmap*, hx_pixelmap*, const hx_rectangle*, int)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_rectangleCopyTo(hx_pixelmap*, const hx_point*, hx_pixelmap*,
                                                    const hx_rectangle*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_rectangleCopyFrom(hx_pixelmap*, const hx_point*, hx_pixelmap*,
                                                      const hx_rectangle*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_rectangleStretchCopyTo(hx_pixelmap*, const hx_rectangle*, hx_pixelmap*,
                                                           const hx_rectangle*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_rectangleStretchCopyFrom(hx_pixelmap*, const hx_rectangle*, hx_pixelmap*,
                                                             const hx_rectangle*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_rectangleFill(hx_pixelmap*, const hx_rectangle*, uint32_t)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_pixelSet(hx_pixelmap*, const hx_point*, uint32_t)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_copyBits(hx_pixelmap*, const hx_point*, const uint8_t*, int32_t,
                                             const hx_rectangle*, uint32_t)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_pixelQuery(hx_pixelmap*, uint32_t*, const hx_point*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_pixelAddressQuery(hx_pixelmap*, void**, uint32_t*, const hx_point*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_null_pixelAddressSet(hx_pixelmap*, void*, const uint32_t*)
{
    return HX_OK;
}
