// The document browser and its page writer: pages read, measured and drawn
// in one pass routine (a flag says whether it draws), their links, anchors
// and media items, the scroll arrows and the click; pages written byte for
// byte as the browser reads them.
#include "screens/documents.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/files.h"
#include "screens/bridge.h"
#include "script/scriptfiles.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/rasterfont.h"
#include "system/text.h"
#include "system/res/resman.h"
#include "world/pools.h"

DocumentBrowser gDocuments;

// A media kind: its extension, its resource type, what registering it does
// and what showing it does (false: it cannot be shown).
struct MediaKind {
    const char* extension;
    ResType type;
    void (*load)(DocumentMedia& item);
    bool (*show)(const Canvas& canvas, DocumentMedia& item);
};

namespace {

constexpr const char* kDocumentFolder = "zqk\\resource\\text\\docs\\";
constexpr int kArrowColour = 255;
constexpr int kScrollStep = 4;

// --- Media --------------------------------------------------------------------

bool ShowPicture(const Canvas& canvas, DocumentMedia& item)
{
    auto* picture = static_cast<Bitmap*>(ResGet(item.resource));
    if (!picture)
        return false;
    DocumentBrowser& d = gDocuments;
    if (canvas.pixels && d.penX >= INT16_MIN && d.penX <= INT16_MAX && d.penY >= INT16_MIN && d.penY <= INT16_MAX)
        CanvasBlitClipped(canvas, *picture, d.panel, static_cast<int16_t>(d.penX), static_cast<int16_t>(d.penY));
    d.penY += picture->height + (d.font ? d.font->height : 0);
    return true;
}

void OpenMediaClip(DocumentMedia& item)
{
    gDocuments.clipOpen = OpenClip(&gDocuments.clip, item.name, 0, 0, 0, 0) ? 255 : 0;
}

bool ShowClip(const Canvas& canvas, DocumentMedia&)
{
    if (gDocuments.clipOpen && canvas.pixels)
        DrawClip(gDocuments.clip, gDocuments.panel);
    return gDocuments.clipOpen != 0;
}

// A film named ".smf" is the ".smk" film of the same name, played full
// screen.
void PlayMediaFilm(DocumentMedia& item)
{
    char name[kDocumentMediaNameSize];
    std::memcpy(name, item.name, sizeof name);
    if (char* dot = std::strchr(name, '.'); dot && std::strlen(dot) >= 4)
        dot[3] = 'k';
    gDocuments.filmStarted = PlayFilm(name) ? 255 : 0;
    if (gDocuments.filmStarted)
        gLoopFlags.filmMode = 1;
}

bool ShowFilm(const Canvas&, DocumentMedia&)
{
    return gDocuments.filmStarted != 0;
}

bool ShowNothing(const Canvas&, DocumentMedia&)
{
    return false;
}

const MediaKind kMediaKinds[] = {
    {"pcx", ResType::PcxRaster, nullptr, ShowPicture},
    {"smk", ResType::Video, OpenMediaClip, ShowClip},
    {"smf", ResType::Video, PlayMediaFilm, ShowFilm},
    {"avi", ResType::Avi, nullptr, ShowNothing},
    {"wav", ResType::Sound, nullptr, ShowNothing},
};

// The kind of the name by the three characters after its first "."; null
// for a name without one or of another kind.
const MediaKind* MediaKindOf(const char* name)
{
    const char* dot = std::strchr(name, '.');
    if (!dot)
        return nullptr;
    for (const MediaKind& kind : kMediaKinds)
        if (std::strncmp(dot + 1, kind.extension, 3) == 0 && std::strlen(dot + 1) >= 3)
            return &kind;
    return nullptr;
}

// Copies at most size - 1 bytes and terminates.
void CopyCut(char* to, std::size_t size, const char* from, std::size_t length)
{
    const std::size_t n = std::min(length, size - 1);
    std::memcpy(to, from, n);
    to[n] = 0;
}

// --- Layout -------------------------------------------------------------------

bool IsSeparator(char c)
{
    return c == ' ' || c == '<' || c == '>' || c == '\r' || c == '\n';
}

int32_t LineHeight()
{
    return gDocuments.font ? gDocuments.font->height : 0;
}

void NewLine()
{
    gDocuments.penX = gDocuments.margin;
    gDocuments.penY += LineHeight();
}

void SetFont(DocumentFont font)
{
    gDocuments.font = gDocuments.fonts[font];
}

// Lays out one word: a new line first when it would reach the right edge,
// drawn glyph by glyph when drawing, the pen past it and a space.
void PlaceWord(const Canvas& canvas, const char* word, std::size_t length)
{
    DocumentBrowser& d = gDocuments;
    const RasterFont* font = d.font;
    if (!font)
        return;
    int32_t width = 0;
    int32_t advance = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<uint8_t>(word[i]);
        width += (font->glyphs[c] ? font->glyphs[c]->width : 0) + 1;
        advance += font->widths[c];
    }
    if (d.penX + width >= d.panel.right - 4)
        NewLine();
    // Glyphs stand on the pen line, the bottom of the text line.
    if (d.drawing && canvas.pixels && d.penY - font->height <= d.panel.bottom && d.penY >= d.panel.top &&
        d.penX <= INT16_MAX) {
        int16_t x = static_cast<int16_t>(d.penX);
        int16_t y = static_cast<int16_t>(d.penY);
        // In the font's own colours: every character names font 0.
        char chunk[256];
        static const uint8_t kFontZero[sizeof chunk] = {};
        const RasterFont* fonts[1] = {font};
        for (std::size_t at = 0; at < length; at += sizeof chunk - 1) {
            CopyCut(chunk, sizeof chunk, word + at, length - at);
            CanvasDrawTextMixed(canvas, x, y, chunk, kFontZero, fonts, d.panel);
        }
    }
    d.penX += advance + font->widths[' '];
}

// --- Tags ---------------------------------------------------------------------

enum Attribute {
    kHref = 0,
    kName = 1,
    kSrc = 2,
    kSize = 3,
    kAttributes = 4
};
constexpr const char* kAttributeNames[kAttributes] = {"href", "name", "src", "size"};
constexpr std::size_t kValueSize = 256;

struct TagAttributes {
    char values[kAttributes][kValueSize];
    bool present[kAttributes];
};

void OpenLink(const Canvas&)
{
    SetFont(kDocLink);
    gDocuments.linkStartX = gDocuments.penX;
    gDocuments.linkStartY = gDocuments.penY - LineHeight();
}
void CloseLink(const Canvas&)
{
    DocumentBrowser& d = gDocuments;
    SetFont(kDocRegular);
    if (!d.drawing && d.linkOpen) {
        auto narrow = [](int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); };
        int16_t* rect = d.links[d.linkCount - 1].rect;
        rect[0] = narrow(d.linkStartX);
        rect[1] = narrow(d.linkStartY);
        rect[2] = narrow(d.penX);
        rect[3] = narrow(d.penY);
    }
    d.linkOpen = 0;
}
void LineBreak(const Canvas&)
{
    NewLine();
}
void StartTitle(const Canvas&)
{
    gDocuments.skippingTitle = 255;
}
void EndTitle(const Canvas&)
{
    gDocuments.skippingTitle = 0;
}
void OpenHeading(const Canvas&)
{
    NewLine();
    NewLine();
    SetFont(kDocHeading);
}
void CloseHeading(const Canvas&)
{
    NewLine();
    NewLine();
    SetFont(kDocRegular);
}
void Rule(const Canvas& canvas)
{
    DocumentBrowser& d = gDocuments;
    NewLine();
    if (d.drawing && canvas.pixels && d.penY >= d.panel.top && d.penY <= d.panel.bottom)
        CanvasLineClipped(canvas, static_cast<int16_t>(d.panel.left + 12), static_cast<int16_t>(d.penY),
                          static_cast<int16_t>(d.panel.right - 12), static_cast<int16_t>(d.penY), kArrowColour,
                          d.panel);
    NewLine();
}

struct TagRow {
    const char* name;
    void (*open)(const Canvas&);
    void (*close)(const Canvas&);
};
constexpr TagRow kTags[] = {
    {"html", nullptr, nullptr},
    {"a", OpenLink, CloseLink},
    {"p", LineBreak, nullptr},
    {"title", StartTitle, EndTitle},
    {"h1", OpenHeading, CloseHeading},
    {"h2", OpenHeading, CloseHeading},
    {"h3", OpenHeading, CloseHeading},
    {"h4", OpenHeading, CloseHeading},
    {"h5", OpenHeading, CloseHeading},
    {"h6", OpenHeading, CloseHeading},
    {"hr", Rule, nullptr},
    {"br", LineBreak, nullptr},
    {"img", nullptr, nullptr},
};

// Reads "name[=value]" pairs up to the tag's ">"; returns where the scan
// goes on.
std::size_t ReadAttributes(const char* t, std::size_t n, std::size_t i, TagAttributes& attributes)
{
    while (i < n) {
        while (i < n && (t[i] == ' ' || t[i] == '\r' || t[i] == '\n'))
            ++i;
        if (i >= n)
            break;
        if (t[i] == '>')
            return i + 1;
        if (t[i] == '<')
            return i; // an unclosed tag: the next one starts here
        char name[16];
        std::size_t length = 0;
        for (; i < n && !IsSeparator(t[i]) && t[i] != '='; ++i)
            if (length + 1 < sizeof name)
                name[length++] = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i])));
        name[length] = 0;
        char value[kValueSize] = "";
        if (i < n && t[i] == '=') {
            const std::size_t start = ++i;
            while (i < n && !IsSeparator(t[i]))
                ++i;
            std::size_t from = start, count = i - start;
            if (count > 3) { // the quotes
                ++from;
                count -= 2;
            }
            CopyCut(value, sizeof value, t + from, count);
        }
        for (int a = 0; a < kAttributes; ++a)
            if (std::strcmp(name, kAttributeNames[a]) == 0) {
                std::memcpy(attributes.values[a], value, sizeof value);
                attributes.present[a] = true;
            }
    }
    return i;
}

// The tag at t[i] (just after its "<"): its attributes' effects, then its
// open or close action. Returns where the scan goes on.
std::size_t RunTag(const Canvas& canvas, const char* t, std::size_t n, std::size_t i, std::size_t tagOffset)
{
    DocumentBrowser& d = gDocuments;
    char name[16];
    std::size_t length = 0;
    for (; i < n && t[i] != ' ' && t[i] != '>'; ++i)
        if (length + 1 < sizeof name)
            name[length++] = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i])));
    name[length] = 0;
    TagAttributes attributes = {};
    i = ReadAttributes(t, n, i, attributes);
    const bool closing = name[0] == '/';
    const char* bare = closing ? name + 1 : name;

    if (!closing && std::strcmp(bare, "img") == 0 && attributes.present[kSrc]) {
        const int32_t item = RegisterMedia(attributes.values[kSrc]);
        if (d.drawing && item >= 0 && d.media[item].kind)
            d.media[item].kind->show(canvas, d.media[item]);
    }
    if (!closing && std::strcmp(bare, "a") == 0 && !d.drawing) {
        if (attributes.present[kHref] && d.linkCount < kDocumentLinks) {
            DocumentLink& link = d.links[d.linkCount++];
            CopyCut(link.target, sizeof link.target, attributes.values[kHref], std::strlen(attributes.values[kHref]));
            std::fill(std::begin(link.rect), std::end(link.rect), 0);
            d.linkOpen = 255;
        }
        if (attributes.present[kName] && d.anchorCount < kDocumentAnchors) {
            DocumentAnchor& anchor = d.anchors[d.anchorCount++];
            CopyCut(anchor.name, sizeof anchor.name, attributes.values[kName], std::strlen(attributes.values[kName]));
            anchor.position = static_cast<int32_t>(tagOffset);
        }
    }
    for (const TagRow& tag : kTags)
        if (std::strcmp(bare, tag.name) == 0) {
            if (auto action = closing ? tag.close : tag.open)
                action(canvas);
            break;
        }
    return i;
}

void ResetPen()
{
    DocumentBrowser& d = gDocuments;
    SetFont(kDocRegular);
    d.margin = d.panel.left + 4;
    d.penX = d.margin;
    d.penY = d.panel.top + 16 - d.scroll;
    d.skippingTitle = 0;
    d.linkOpen = 0;
}

bool InBox(const ClipRect& box, int32_t x, int32_t y)
{
    return x >= box.left && x <= box.right && y >= box.top && y <= box.bottom;
}

void DrawArrow(const Canvas& canvas, const ClipRect& box, bool up)
{
    const int16_t middle = static_cast<int16_t>((box.left + box.right) / 2);
    const int16_t tip = up ? box.top : box.bottom;
    const int16_t base = up ? box.bottom : box.top;
    CanvasLineClipped(canvas, box.left, base, box.right, base, kArrowColour, CanvasBounds(canvas));
    CanvasLineClipped(canvas, box.left, base, middle, tip, kArrowColour, CanvasBounds(canvas));
    CanvasLineClipped(canvas, box.right, base, middle, tip, kArrowColour, CanvasBounds(canvas));
}

} // namespace

void ResetDocuments()
{
    CloseClip(&gDocuments.clip);
    FreeMemory(gDocuments.page);
    gDocuments = DocumentBrowser{};
}

int32_t RegisterMedia(const char* name)
{
    DocumentBrowser& d = gDocuments;
    char cut[kDocumentMediaNameSize];
    CopyCut(cut, sizeof cut, name, std::strlen(name));
    for (int32_t i = 0; i < d.mediaCount; ++i)
        if (std::strcmp(d.media[i].name, cut) == 0)
            return i;
    const MediaKind* kind = MediaKindOf(name);
    if (!kind || d.mediaCount >= kDocumentMedia)
        return -1;
    char path[kDocumentNameSize + 32];
    if (name[0] == '\\')
        CopyCut(path, sizeof path, name, std::strlen(name));
    else
        std::snprintf(path, sizeof path, "%s%.127s", kDocumentFolder, name);
    Resource* resource = ResRegisterLoad(path, kind->type);
    if (!resource)
        return -1;
    DocumentMedia& item = d.media[d.mediaCount];
    std::memcpy(item.name, cut, sizeof cut);
    item.resource = resource;
    item.kind = kind;
    if (kind->load)
        kind->load(item);
    return d.mediaCount++;
}

bool LoadDocument(const char* name)
{
    DocumentBrowser& d = gDocuments;
    d.length = 0;
    if (MediaKindOf(name)) {
        // An item registered before is loaded again: its clip or film
        // starts anew each time it is shown.
        const int32_t known = d.mediaCount;
        const int32_t item = RegisterMedia(name);
        if (item >= 0 && item < known && d.media[item].kind->load)
            d.media[item].kind->load(d.media[item]);
        d.shownMedia = static_cast<int16_t>(item);
        return item >= 0;
    }
    long size = 0;
    std::FILE* file = OpenScriptFile(name, &size);
    if (!file) {
        // A page asked for is named, as its link or the first page leads
        // nowhere.
        ReportScriptIfNotFound(name);
        return false;
    }
    d.length = std::fread(d.page, 1, kDocumentPageSize, file);
    std::fclose(file);
    // A page cut short is shown as far as it goes.
    if (d.length > 0 && d.length == static_cast<std::size_t>(size))
        CheckTextFileWhole(ScriptFilePath(name).c_str(), std::string_view(d.page, d.length));
    return true;
}

void OpenDocument(const char* name)
{
    DocumentBrowser& d = gDocuments;
    std::memcpy(d.previous, d.current, sizeof d.previous);
    CopyCut(d.current, sizeof d.current, name, std::strlen(name));
    if (!d.page) {
        d.page = static_cast<char*>(AllocMemory(kDocumentPageSize));
        const int16_t x = static_cast<int16_t>((d.panel.left + d.panel.right) / 2);
        const int16_t y = static_cast<int16_t>((d.panel.top + d.panel.bottom) / 2);
        d.zoom[0] = d.zoom[2] = x;
        d.zoom[1] = d.zoom[3] = y;
    }
    CloseClip(&d.clip);
    d.clipOpen = d.filmStarted = 0;
    d.fonts[kDocRegular] = gBridgeFonts[2];
    d.fonts[kDocHeading] = gBridgeFonts[0];
    d.fonts[kDocLink] = gBridgeFonts[1];
    d.shownMedia = -1;
    d.scroll = 0;
    d.linkCount = d.anchorCount = 0;
    d.length = 0;
    ResetPen();
    if (d.page)
        LoadDocument(d.current);
    d.drawing = 0;
    RunPagePass(Canvas{});
    d.height = std::max<int32_t>(0, d.penY - d.panel.top - d.scroll - 12);
}

bool RunPagePass(const Canvas& canvas)
{
    DocumentBrowser& d = gDocuments;
    if (d.shownMedia >= 0 && d.shownMedia < d.mediaCount)
        return d.media[d.shownMedia].kind->show(canvas, d.media[d.shownMedia]);
    if (!d.page || d.length == 0)
        return false;
    const char* t = d.page;
    const std::size_t n = std::min(d.length, kDocumentPageSize);
    std::size_t i = 0;
    while (i < n) {
        if (t[i] == '<' && i + 1 < n && t[i + 1] == '!') {
            const void* end = std::memchr(t + i, '>', n - i);
            i = end ? static_cast<std::size_t>(static_cast<const char*>(end) - t) + 1 : n;
        } else if (t[i] == '<') {
            i = RunTag(canvas, t, n, i + 1, i);
        } else if (IsSeparator(t[i]) || d.skippingTitle) {
            ++i;
        } else {
            std::size_t end = i;
            while (end < n && !IsSeparator(t[end]))
                ++end;
            PlaceWord(canvas, t + i, end - i);
            i = end;
        }
    }
    return true;
}

void DrawDocument(const Canvas& canvas, const ClipRect& rect)
{
    DocumentBrowser& d = gDocuments;
    d.panel = rect;
    d.scroll = static_cast<int16_t>(std::clamp<int32_t>(d.scroll, 0, std::min<int32_t>(d.height, INT16_MAX)));
    if (std::strcmp(d.requested, d.current) != 0)
        OpenDocument(d.requested);
    if (canvas.pixels)
        CanvasFillRect(canvas, 0, rect.left, rect.top, rect.right, rect.bottom);
    ResetPen();
    d.drawing = 255;
    const bool drawn = RunPagePass(canvas);
    d.drawing = 0;
    if (!drawn) {
        // Back to the page the browser came from (when there was one).
        if (d.previous[0])
            std::memcpy(d.requested, d.previous, sizeof d.requested);
        d.shownMedia = -1;
    }
    d.upBox = {static_cast<int16_t>(rect.right - 22), static_cast<int16_t>(rect.top + 10),
               static_cast<int16_t>(rect.right - 10), static_cast<int16_t>(rect.top + 16)};
    d.downBox = {static_cast<int16_t>(rect.right - 22), static_cast<int16_t>(rect.bottom - 22),
                 static_cast<int16_t>(rect.right - 10), static_cast<int16_t>(rect.bottom - 16)};
    d.canScrollUp = d.scroll > 0 ? 255 : 0;
    d.canScrollDown = d.scroll < d.height ? 255 : 0;
    if (!canvas.pixels)
        return;
    if (d.canScrollUp)
        DrawArrow(canvas, d.upBox, true);
    if (d.canScrollDown)
        DrawArrow(canvas, d.downBox, false);
}

void ScrollDocument(int32_t mouseX, int32_t mouseY)
{
    DocumentBrowser& d = gDocuments;
    if (InBox(d.upBox, mouseX, mouseY))
        d.scroll = static_cast<int16_t>(std::max(d.scroll - kScrollStep, INT16_MIN));
    else if (InBox(d.downBox, mouseX, mouseY))
        d.scroll = static_cast<int16_t>(std::min(d.scroll + kScrollStep, INT16_MAX));
}

void DocumentClick(int32_t mouseX, int32_t mouseY)
{
    DocumentBrowser& d = gDocuments;
    if (d.shownMedia >= 0) {
        std::memcpy(d.requested, d.previous, sizeof d.requested);
        d.shownMedia = -1;
        CloseClip(&d.clip);
        d.clipOpen = 0;
        return;
    }
    for (int32_t i = 0; i < d.linkCount; ++i) {
        const int16_t* r = d.links[i].rect;
        if (mouseX >= r[0] && mouseX <= r[2] && mouseY >= r[1] - d.scroll && mouseY <= r[3] - d.scroll) {
            std::copy(r, r + 4, d.zoom);
            std::memcpy(d.requested, d.links[i].target, sizeof d.requested);
            return;
        }
    }
}

std::FILE* HtmlOpenPage(const char* fileName, const char* title, const char* heading)
{
    std::FILE* file = platform::OpenDataFile(fileName, "wb");
    if (!file)
        return nullptr;
    std::fprintf(file, "<HTML>\n<HEAD>\n<TITLE>%s</TITLE>\n</HEAD>\n<BODY>\n<P ALIGN=center>\n<H1>%s</H1>\n<HR>\n</P>\n<P>\n",
                 title, heading);
    return file;
}

void HtmlWriteLine(std::FILE* file, const char* text)
{
    std::fprintf(file, "%s<BR>\n", text);
}

void HtmlClosePage(std::FILE* file)
{
    std::fputs("<BR>\n<HR>\n<A HREF=\"zqk\\resource\\text\\docs\\home.htm\">Back</A><BR>\n</P>\n</BODY>\n</HTML>\n", file);
    std::fclose(file);
}
