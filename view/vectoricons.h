// Three small services of the 3D layer: line icons drawn from point and
// segment lists, the twelve well-spread points of a model's collision record
// (with the component bits of its boxes), and the 256 x 64 shade tables
// through which the framework lights the banded palette, and the weapon
// sight drawn with them. The sight's element (its state between frames) is
// the HUD's; the collision tests that read the points are the world's.
#pragma once

#include <cstdint>

struct ClipRect;
struct HullBounds;
struct hx_model;
struct hx_pixelmap;

// A point of a vector icon, in hundredths of the icon's scale.
struct IconPoint {
    int16_t x, y;
};

// A line icon: its points and its segment list.
struct VectorIcon {
    const IconPoint* points;
    int16_t pointCount;
    const int16_t* segments;
};

// Draws each segment (pairs of point indices, ended by a negative index) as
// a line on the screen canvas in the colour, clipped to the rectangle (the
// window the icon belongs to), with point p at (x + p.x * scale / 100,
// y + p.y * scale / 100). Returns the number of segment-list entries read,
// the ending one included.
int32_t DrawVectorIcon(int32_t x, int32_t y, int32_t scale, const IconPoint* points, const int16_t* segments,
                       uint8_t colour, const ClipRect& clip);
// The weapon sight's two icons: the octagon with four ticks, and the diamond
// with four spokes shown while the target is in the firing arc.
extern const IconPoint kSightIconPoints[16];
extern const int16_t kSightIconSegments[];
extern const IconPoint kInArcIconPoints[8];
extern const int16_t kInArcIconSegments[];

struct WeaponSightElement;
// The weapon sight of the main view's HUD, drawn on the screen canvas about
// the view's centre and clipped to the view, however far off the cone's
// edges fall: a new target makes the icon jump to scale 1000; the
// target is tested against the mount's arc (kept as the in-arc flag); at
// the weapons station the target's name above, the arc's cone edges in 96
// and the in-arc icon in 64 (in the arc, for an all-round mount or with a
// target) or the sight icon in 97, whose scale then relaxes toward 100.
// Nothing without a mount.
void DrawWeaponSight(WeaponSightElement* element);

// Fills the record's twelve points: the origin, then by farthest-point
// sampling over the model's vertices (repeats when it has fewer; origins
// when it has none). A record without boxes gets one of the model's bounds
// (flag 8); the model's bounds are copied in; each box with flag 0x10 gives
// its component bits (0x1FF00) to the point nearest its centre; a zero
// radius becomes the longer of the bounding corners.
void BuildHullPoints(hx_model* model, HullBounds* hull);

// The shade table (colour index across, light level 0-63 down) for the band
// (0: plain ramps within each band; -1 and others: into that band at the
// darkest levels) and brightness. One table, allocated and registered by the
// first call, rewritten and refreshed by each later one; null when it cannot
// be allocated.
hx_pixelmap* BuildShadeTable(int16_t band, int16_t brightness);
// The generated table when one has been built since the framework began.
hx_pixelmap* FindGeneratedShadeTable();
// The generated table that textured surfaces and planets shade through: the
// one built since the framework began, else built now (band 48, brightness
// 14); null when it cannot be.
hx_pixelmap* SharedGeneratedShadeTable();
// The same table rewritten as the grey (offset) table.
hx_pixelmap* BuildGreyShadeTable();
