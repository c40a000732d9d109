// Clipping of points, lines, rectangles and bit blocks against a pixelmap.
// Inputs are origin-relative; results are in pixelmap coordinates. Work is
// done in 64 bits so that no coordinate the caller can pass overflows.
#include "framework/memdev.h"

#include <utility>

namespace {

struct Span {
    int64_t pos, size;
};

// Cuts a span to 0 .. limit-1; the amount cut from its start is returned so
// a companion span can move with it.
int64_t CutStart(Span& s)
{
    if (s.pos >= 0)
        return 0;
    int64_t cut = -s.pos;
    s.pos = 0;
    s.size -= cut;
    return cut;
}

void CutEnd(Span& s, int64_t limit)
{
    if (s.pos + s.size > limit)
        s.size = limit - s.pos;
}

} // namespace

int PixelmapPointClip(hx_point* out, const hx_point* p, const hx_pixelmap* pm)
{
    int64_t x = int64_t(p->x) + pm->origin_x;
    int64_t y = int64_t(p->y) + pm->origin_y;
    out->x = int32_t(x);
    out->y = int32_t(y);
    return (x >= 0 && y >= 0 && x < pm->width && y < pm->height) ? 2 : 0;
}

int PixelmapRectangleClip(hx_rectangle* out, const hx_rectangle* r, const hx_pixelmap* pm)
{
    Span x{int64_t(r->x) + pm->origin_x, r->w};
    Span y{int64_t(r->y) + pm->origin_y, r->h};
    if (x.pos >= pm->width || y.pos >= pm->height || x.pos + x.size <= 0 || y.pos + y.size <= 0)
        return 0;
    CutStart(x);
    CutStart(y);
    CutEnd(x, pm->width);
    CutEnd(y, pm->height);
    if (x.size <= 0 || y.size <= 0)
        return 0;
    *out = {int32_t(x.pos), int32_t(y.pos), int32_t(x.size), int32_t(y.size)};
    return 1;
}

int PixelmapRectangleClipTwo(hx_rectangle* outSource, hx_point* outDest, const hx_rectangle* source,
                             const hx_point* dest, const hx_pixelmap* destPm, const hx_pixelmap* sourcePm)
{
    Span sx{int64_t(source->x) + sourcePm->origin_x, source->w};
    Span sy{int64_t(source->y) + sourcePm->origin_y, source->h};
    Span dx{int64_t(dest->x) + destPm->origin_x, source->w};
    Span dy{int64_t(dest->y) + destPm->origin_y, source->h};
    // Against the destination: what is cut moves the source with it.
    int64_t cut = CutStart(dx);
    sx.pos += cut;
    sx.size -= cut;
    cut = CutStart(dy);
    sy.pos += cut;
    sy.size -= cut;
    // Against the source's own pixelmap: what is cut moves the destination.
    cut = CutStart(sx);
    dx.pos += cut;
    dx.size -= cut;
    cut = CutStart(sy);
    dy.pos += cut;
    dy.size -= cut;
    CutEnd(dx, destPm->width);
    CutEnd(dy, destPm->height);
    CutEnd(sx, sourcePm->width);
    CutEnd(sy, sourcePm->height);
    int64_t w = dx.size < sx.size ? dx.size : sx.size;
    int64_t h = dy.size < sy.size ? dy.size : sy.size;
    if (w <= 0 || h <= 0)
        return 0;
    *outSource = {int32_t(sx.pos), int32_t(sy.pos), int32_t(w), int32_t(h)};
    *outDest = {int32_t(dx.pos), int32_t(dy.pos)};
    return 1;
}

int PixelmapCopyBitsClip(hx_rectangle* outBits, hx_point* outPoint, const hx_rectangle* bits, const hx_point* p,
                         const hx_pixelmap* pm)
{
    Span x{int64_t(p->x) + pm->origin_x, bits->w};
    Span y{int64_t(p->y) + pm->origin_y, bits->h};
    int64_t left = int64_t(bits->x) + CutStart(x);
    int64_t top = int64_t(bits->y) + CutStart(y);
    CutEnd(x, pm->width);
    CutEnd(y, pm->height);
    if (x.size <= 0 || y.size <= 0 || x.pos >= pm->width || y.pos >= pm->height)
        return 0;
    *outBits = {int32_t(left), int32_t(top), int32_t(x.size), int32_t(y.size)};
    *outPoint = {int32_t(x.pos), int32_t(y.pos)};
    return 1;
}

int PixelmapLineClip(hx_point* outStart, hx_point* outEnd, const hx_point* start, const hx_point* end,
                     const hx_pixelmap* pm)
{
    int64_t x1 = int64_t(start->x) + pm->origin_x, y1 = int64_t(start->y) + pm->origin_y;
    int64_t x2 = int64_t(end->x) + pm->origin_x, y2 = int64_t(end->y) + pm->origin_y;
    const int64_t right = int64_t(pm->width) - 1, bottom = int64_t(pm->height) - 1;
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (x2 < 0 || x1 > right)
        return 0;
    if (y1 < y2) {
        // Going down.
        if (y2 < 0 || y1 > bottom)
            return 0;
        if (y1 < 0) {
            x1 += y1 * (x1 - x2) / (y2 - y1);
            if (x1 > right)
                return 0;
            y1 = 0;
        }
        if (y2 > bottom) {
            x2 -= (y2 - bottom) * (x2 - x1) / (y2 - y1);
            if (x2 < 0)
                return 0;
            y2 = bottom;
        }
        if (x1 < 0) {
            y1 += x1 * (y1 - y2) / (x2 - x1);
            x1 = 0;
        }
        if (x2 > right) {
            y2 -= (y2 - y1) * (x2 - right) / (x2 - x1);
            x2 = right;
        }
    } else {
        // Going up, or level.
        if (y1 < 0 || y2 > bottom)
            return 0;
        if (y1 > bottom) {
            x1 += (x2 - x1) * (y1 - bottom) / (y1 - y2);
            if (x1 > right)
                return 0;
            y1 = bottom;
        }
        if (y2 < 0) {
            x2 -= (x1 - x2) * y2 / (y1 - y2);
            if (x2 < 0)
                return 0;
            y2 = 0;
        }
        if (x1 < 0) {
            y1 -= (y2 - y1) * x1 / (x2 - x1);
            x1 = 0;
        }
        if (x2 > right) {
            y2 += (y1 - y2) * (x2 - right) / (x2 - x1);
            x2 = right;
        }
    }
    // Integer rounding can leave an end a pixel outside on the minor axis.
    if (y1 < 0 || y1 > bottom || y2 < 0 || y2 > bottom)
        return 0;
    *outStart = {int32_t(x1), int32_t(y1)};
    *outEnd = {int32_t(x2), int32_t(y2)};
    return 1;
}
