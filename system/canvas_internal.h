// Helpers shared by the canvas's own source files (canvas, lines, text):
// bounds tests and the placing of a block within a clip rectangle. Not for
// callers of the canvas.
#pragma once

#include "system/canvas.h"

namespace canvas_internal {

bool OnCanvas(const Canvas& canvas, int x, int y);
bool Inside(const ClipRect& clip, int x, int y);
// The rectangle cut to the canvas.
ClipRect Intersect(const ClipRect& clip, const Canvas& canvas);

// Where a width x height block placed at (dstX, dstY) lands within a clip
// rectangle: its first pixel there, the offset into the block, and the size.
struct Block {
    int x, y;         // on the canvas
    int fromX, fromY; // into the block
    int width, height;
};
bool PlaceBlock(int dstX, int dstY, int width, int height, const ClipRect& clip, Block& out);

} // namespace canvas_internal
