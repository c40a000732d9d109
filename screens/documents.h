// The document browser: pages in a small subset of HTML (headings,
// paragraphs, rules, links, anchors and embedded media) laid out word by
// word in the panel's fonts, scrolled, followed by their links, with a
// linked media item shown in place of the page until the next click; and
// the page writer that produces pages in the same subset (the ship's log
// dump).
//
// The page buffer is scanned by its length, never by a terminator. Link
// targets, anchor names and media names are copied cut to their fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "system/canvas.h"

struct FilmClip;
struct RasterFont;
struct Resource;

constexpr std::size_t kDocumentPageSize = 16384;
constexpr int kDocumentLinks = 48;
constexpr int kDocumentAnchors = 64;
constexpr int kDocumentMedia = 24;
constexpr int kDocumentLinkSize = 128; // target names, with their NUL
constexpr int kDocumentAnchorSize = 32;
constexpr int kDocumentMediaNameSize = 16;
constexpr int kDocumentNameSize = 128;

struct DocumentLink {
    char target[kDocumentLinkSize];
    int16_t rect[4]; // left, top, right, bottom on the unscrolled page
};
struct DocumentAnchor {
    char name[kDocumentAnchorSize];
    int32_t position; // offset in the page text
};
struct MediaKind;
struct DocumentMedia {
    char name[kDocumentMediaNameSize];
    Resource* resource;
    const MediaKind* kind;
};

// The browser's state, one record.
struct DocumentBrowser {
    char current[kDocumentNameSize];
    char previous[kDocumentNameSize];
    char requested[kDocumentNameSize] = "home.htm";
    char* page; // kDocumentPageSize bytes, allocated once
    std::size_t length;
    int16_t shownMedia;         // media item shown instead of the page, -1 none
    int32_t penX, penY, margin; // wide: a long page runs past 32,767 pixels
    const RasterFont* fonts[3]; // regular, heading, link: bridge fonts 3, 1 and 2
    const RasterFont* font;     // the current one
    uint8_t skippingTitle;
    uint8_t drawing; // off while measuring
    int16_t scroll;
    int32_t height; // of the measured page
    ClipRect panel; // the rectangle of the last draw
    ClipRect upBox, downBox;
    uint8_t canScrollUp, canScrollDown;
    int16_t zoom[4]; // the rectangle of the last followed link
    DocumentLink links[kDocumentLinks];
    int32_t linkCount;
    int32_t linkStartX, linkStartY;
    uint8_t linkOpen; // an "a" with a stored target is open
    DocumentAnchor anchors[kDocumentAnchors];
    int32_t anchorCount;
    DocumentMedia media[kDocumentMedia];
    int32_t mediaCount;
    FilmClip* clip;
    uint8_t clipOpen;
    uint8_t filmStarted;
};
extern DocumentBrowser gDocuments;

enum DocumentFont {
    kDocRegular = 0,
    kDocHeading = 1,
    kDocLink = 2
};

// Forgets every page, link, anchor and media item and frees the buffer;
// the next page is "home.htm".
void ResetDocuments();
// Makes the page (or media item) current: previous = current, fonts, pen and
// counts reset, the page loaded and measured.
void OpenDocument(const char* name);
// A media name is registered and shown; a page is read (at most 16,384
// bytes) through the script file opener. False when nothing could be read.
bool LoadDocument(const char* name);
// The index of the media item of that name (registered and loaded now when
// new), or -1 when it cannot be loaded or the table is full.
int32_t RegisterMedia(const char* name);
// One pass over the page: measuring (draw off) or drawing into the canvas.
// False when a shown media item could not be shown or no page is loaded.
bool RunPagePass(const Canvas& canvas);
// Opens the requested page when it changed, clears the rectangle and draws
// the page; a page that fails sends the browser back to the previous one.
// Then places and draws the scroll arrows.
void DrawDocument(const Canvas& canvas, const ClipRect& rect);
// While the mouse button is down: 4 pixels up or down inside an arrow box.
void ScrollDocument(int32_t mouseX, int32_t mouseY);
// Back to the page from a shown media item, or follows the link under the
// mouse.
void DocumentClick(int32_t mouseX, int32_t mouseY);

// Creates the file (a data path) and writes the page's head, title and
// heading; null when the file cannot be created.
std::FILE* HtmlOpenPage(const char* fileName, const char* title, const char* heading);
// One line of the page, followed by a line break.
void HtmlWriteLine(std::FILE* file, const char* text);
// Writes the page's foot with its link back home and closes the file.
void HtmlClosePage(std::FILE* file);
