// Fuzz target: the document browser's page pass. The input is a page (up to
// the buffer's 16,384 bytes, no terminator) measured and then drawn into a
// small memory canvas; the stored links, anchors and media stay within their
// tables and every name within its field. The media a page names are
// registered as resources; like a mission's, they are released after each
// input, so that a long run never fills the resource records.
#include "screens/documents.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct FuzzFont {
    FuzzFont()
    {
        glyph = {ink.data(), 3, 5, 0, 4};
        for (int c = 0; c < kFontChars; ++c) {
            font.widths[c] = 4;
            font.glyphs[c] = c > ' ' ? &glyph : nullptr;
        }
        font.height = 7;
    }
    std::vector<uint8_t> ink = std::vector<uint8_t>(15, 99);
    Raster glyph{};
    RasterFont font{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzFont font;
    static std::vector<uint8_t> pixels(160 * 120);
    static std::vector<char> page(kDocumentPageSize);
    static const bool marked = (ResMark(), true);
    (void)marked;
    const Canvas canvas = {pixels.data(), 160, 120};
    DocumentBrowser& d = gDocuments;
    d = DocumentBrowser{};
    for (const RasterFont*& f : d.fonts)
        f = &font.font;
    d.page = page.data();
    d.length = std::min(size, kDocumentPageSize);
    std::memcpy(page.data(), data, d.length);
    d.panel = {0, 0, 159, 119};
    for (uint8_t drawing : {uint8_t(0), uint8_t(255)}) {
        d.drawing = drawing;
        d.font = &font.font;
        d.margin = d.penX = 4;
        d.penY = 16;
        RunPagePass(canvas);
    }
    if (d.linkCount < 0 || d.linkCount > kDocumentLinks || d.anchorCount < 0 || d.anchorCount > kDocumentAnchors ||
        d.mediaCount < 0 || d.mediaCount > kDocumentMedia)
        __builtin_trap();
    for (int i = 0; i < d.linkCount; ++i)
        if (!std::memchr(d.links[i].target, 0, kDocumentLinkSize))
            __builtin_trap();
    for (int i = 0; i < d.anchorCount; ++i)
        if (!std::memchr(d.anchors[i].name, 0, kDocumentAnchorSize))
            __builtin_trap();
    d.page = nullptr; // not the browser's own buffer
    ResetDocuments();
    ResReleaseToMark();
    return 0;
}
