// The window draw types that the window statements install.
//
// Each paints one window into the screen canvas from its fields, inside the
// rectangle that guiWindowRect places: boxes, buttons, texts, meters, the
// logger and profile graphs, pictures, the contact card, its scroll bar
// and the order ticker, and the stations' target and engineering
// read-outs with their language tables. All colours are palette indexes.
// Meters redraw every frame; the flash highlight shakes the window's rows
// while the hit flash runs. Not here: the window pool and its per-frame
// update (ui/windows.h), the message log's window (ui/messagelog.h), the
// 3D views themselves (view/viewwindows.h), the engineering state
// (screens/engineering.h).
#include "ui/drawtypes.h"

#include "system/canvas.h"
#include "system/film.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "system/text.h"
#include "screens/bridge.h"
#include "screens/engineering.h"
#include "screens/icons.h"
#include "ai/docking.h"
#include "script/configstatements.h"
#include "script/scriptbase.h"
#include "script/vitalobjects.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "ui/windows.h"
#include "system/input.h"
#include "ui/dialogue.h"
#include "ui/hudframe.h"
#include "view/cameras.h"
#include "view/vectoricons.h"
#include "view/viewstate.h"
#include "view/viewwindows.h"
#include "world/profiler.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kOutlineColour = 29;
constexpr uint8_t kBoxColour = 47;
constexpr uint8_t kRectEdge = 24;
constexpr uint8_t kBarFill = 64;
constexpr uint8_t kHBarFill = 249;
constexpr uint8_t kHBarOutline = 247;
constexpr uint8_t kCheckCross = 42;
constexpr uint8_t kLevelHigh = 97;
constexpr uint8_t kLevelMiddle = 160;
constexpr uint8_t kLevelLow = 64;
constexpr uint8_t kNearZero = 133;
constexpr int16_t kArrowSize = 8;
constexpr int32_t kVideoCloseDelay = 25;

int16_t Narrow(int32_t v)
{
    return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

// Toward zero into the int32 range; not-a-number is 0. Window values and
// record figures come from scripts and data.
int32_t Truncate(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

int16_t Left(const WindowHandle* w)
{
    return w->rect[0];
}
int16_t Top(const WindowHandle* w)
{
    return w->rect[1];
}
int16_t Right(const WindowHandle* w)
{
    return w->rect[2];
}
int16_t Bottom(const WindowHandle* w)
{
    return w->rect[3];
}

ClipRect RectOf(const WindowHandle* w)
{
    return {w->rect[0], w->rect[1], w->rect[2], w->rect[3]};
}

// Places the window; false (nothing to draw) when it is invisible or the
// screen is not open.
bool Placed(WindowHandle* window, Canvas& canvas)
{
    if (!guiWindowRect(window, nullptr, nullptr))
        return false;
    canvas = ScreenCanvas();
    return canvas.pixels != nullptr;
}

// The window draws again next frame.
void KeepRedrawing(WindowHandle* window)
{
    window->redrawCount = gWindows.redrawValue > 0 ? gWindows.redrawValue : 1;
}

// While the hit flash runs, the window's rows shake sideways and the window
// keeps drawing until the flash ends.
void FlashHighlight(const Canvas& canvas, WindowHandle* window)
{
    if (gLastHitAmount == 0 || (window->flags & kWindowNoFlash))
        return;
    const uint8_t strength = static_cast<uint8_t>(std::clamp(gLastHitAmount / 10, 0, 255));
    CanvasJitterRows(canvas, strength, Left(window), Top(window), Right(window), Bottom(window));
    KeepRedrawing(window);
}

const RasterFont* FontOf(const WindowHandle* window)
{
    return window->font && window->font->data ? static_cast<const RasterFont*>(window->font->data) : nullptr;
}

// The window's own picture, else the picture resource its font field names.
Bitmap* PictureOf(WindowHandle* window)
{
    if (window->bitmap)
        return window->bitmap;
    return window->font ? static_cast<Bitmap*>(ResGet(window->font)) : nullptr;
}

void FillInside(const Canvas& canvas, const WindowHandle* w, uint8_t colour)
{
    CanvasFillRect(canvas, colour, Narrow(Left(w) + 1), Narrow(Top(w) + 1), Narrow(Right(w) - 1),
                   Narrow(Bottom(w) - 1));
}

void Outline(const Canvas& canvas, const WindowHandle* w, uint8_t colour)
{
    guiDrawOutline(canvas, colour, Left(w), Top(w), Right(w), Bottom(w));
}

// The rect type's drawing, for the types built on it.
void DrawRect(const Canvas& canvas, const WindowHandle* window)
{
    const auto colour = static_cast<uint8_t>(window->colour);
    if (window == gWindows.mainWindow) {
        CanvasFillRect(canvas, colour, Left(window), Top(window), Right(window), Bottom(window));
        return;
    }
    FillInside(canvas, window, colour);
    uint8_t edge = kRectEdge;
    if (window->flags & kWindowHot)
        edge = (window->flags & kWindowPressed) ? kBoxColour : kOutlineColour;
    Outline(canvas, window, edge);
}

// Text word-wrapped from (x, y) inside the window, in the font's own colours.
void DrawWrapped(const Canvas& canvas, const WindowHandle* window, const char* text, const RasterFont* font,
                 int32_t x, int32_t y)
{
    if (!text || !font)
        return;
    int16_t px = Narrow(x), py = Narrow(y);
    CanvasTextWrap(canvas, px, py, text, font, RectOf(window));
}

// The baseline that centres a line of the font vertically in the window.
int32_t CentredBaseline(const WindowHandle* window, const RasterFont* font)
{
    return Top(window) + (Bottom(window) - Top(window) + 1) / 2 + font->height / 2;
}

// The value clamped into low..maximum and stored back; false for a meter
// without a full scale (it draws nothing).
bool ClampMeter(WindowHandle* window, float low)
{
    if (!(window->maximum > low) || std::isinf(window->maximum))
        return false;
    if (std::isnan(window->value))
        window->value = low;
    window->value = std::clamp(window->value, low, window->maximum);
    return true;
}

// The colour bands of the level gauges: the colour of the highest band
// whose threshold the fill ratio passes (strictly above, or at and above).
struct LevelBand {
    float threshold;
    bool inclusive;
    uint8_t colour;
};
constexpr LevelBand kLevelBands[] = {{0.75f, false, kLevelHigh}, {0.25f, false, kLevelMiddle}};
constexpr LevelBand kWarningBands[] = {{0.75f, true, kLevelLow}, {0.5f, true, kLevelMiddle}};

// A vertical bar inside the window: the inside cleared, the outline, the
// bar up from the bottom by the value's share (the window inset by `inset`).
void DrawVerticalBar(const Canvas& canvas, WindowHandle* window, int16_t inset, uint8_t outline, uint8_t fill)
{
    const int32_t bottom = Bottom(window) - inset + 1;
    const int32_t top = Top(window) + inset - 1;
    const auto barTop =
        static_cast<int32_t>(bottom - 2 - static_cast<double>(bottom - top - 2) * window->value / window->maximum);
    window->auxShort = Narrow(barTop);
    FillInside(canvas, window, 0);
    Outline(canvas, window, outline);
    CanvasFillRect(canvas, fill, Narrow(Left(window) + inset), Narrow(barTop + 1), Narrow(Right(window) - inset),
                   Narrow(bottom - 1));
}

void LevelBar(WindowHandle* window, const LevelBand* bands, std::size_t count, uint8_t floor)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    KeepRedrawing(window);
    if (!ClampMeter(window, 0.0f))
        return;
    uint8_t colour = floor;
    for (std::size_t i = 0; i < count; ++i) {
        const float limit = bands[i].threshold * window->maximum;
        if (bands[i].inclusive ? window->value >= limit : window->value > limit) {
            colour = bands[i].colour;
            break;
        }
    }
    DrawVerticalBar(canvas, window, 2, colour, colour);
    FlashHighlight(canvas, window);
}

// The colour of a centred bar: near zero, positive or negative.
uint8_t CentredColour(float value, float maximum)
{
    if (std::fabs(value) < maximum / 100.0f)
        return kNearZero;
    return value >= 0.0f ? kLevelHigh : kLevelLow;
}

// A centred bar along one axis: `vertical` runs upward for positive values.
void CentredBar(WindowHandle* window, bool vertical)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    KeepRedrawing(window);
    if (window->maximum < 0.0f)
        window->maximum = -window->maximum;
    if (!ClampMeter(window, -std::fabs(window->maximum)))
        return;
    FillInside(canvas, window, 0);
    Outline(canvas, window, kOutlineColour);
    const uint8_t colour = CentredColour(window->value, window->maximum);
    const int32_t low = vertical ? Top(window) : Left(window);
    const int32_t high = vertical ? Bottom(window) : Right(window);
    const int32_t inner = high - low - 1;
    const int32_t centre = (low + high) / 2;
    const auto reach = static_cast<int32_t>(inner * window->value / (2.0f * window->maximum)) + 2;
    const int32_t end = std::clamp(vertical ? centre - reach : centre + reach, low + 1, high - 1);
    window->auxShort = Narrow(end);
    if (vertical)
        CanvasFillRect(canvas, colour, Narrow(Left(window) + 1), Narrow(centre), Narrow(Right(window) - 1),
                       Narrow(end));
    else
        CanvasFillRect(canvas, colour, Narrow(centre), Narrow(Top(window) + 1), Narrow(end),
                       Narrow(Bottom(window) - 1));
    FlashHighlight(canvas, window);
}

void Arrow(WindowHandle* window, bool up)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    DrawRect(canvas, window);
    const auto cx = Narrow((Left(window) + Right(window)) / 2);
    const auto cy = Narrow((Top(window) + Bottom(window)) / 2);
    if (up)
        guiDrawUpTriangle(canvas, cx, cy, kArrowSize, kBoxColour);
    else
        guiDrawDownTriangle(canvas, cx, cy, kArrowSize, kBoxColour);
}

// The recorders' and profiler's colour by a value's share of its range.
uint8_t GraphColour(double ratio)
{
    if (ratio < 0.2)
        return kNearZero;
    return ratio < 1.0 ? kLevelHigh : kLevelLow;
}


constexpr int16_t kWideCard = 268;
constexpr int16_t kNarrowCard = 158;
constexpr int16_t kStationWeapons = 3;
constexpr int32_t kCardLabelSize = 37;
constexpr int32_t kCardRangeSize = 39;
constexpr uint8_t kThumbFill = 29;
constexpr float kTickerOrderValue = 9999.0f;
constexpr uint32_t kClassUnidentified = 0x400;
constexpr uint32_t kClassTypeBright = 0x10000000;
constexpr uint32_t kClassTypeDim = 0x20000000;
constexpr int16_t kVesselClass = 0, kObjectClass = 1, kInertClass = 2, kNamedBodyClass = 7;
constexpr int kUnidentifiedText = 20;

// The row colour by class flags, each later entry winning.
struct FlagColour {
    uint32_t flags;
    uint8_t colour;
};
constexpr FlagColour kRowColours[] = {{0x80, 133}, {0x100, 64}, {0x600, 160}, {0x1000, 42}, {0x800, 223}};

uint8_t RowColour(const Contact* row)
{
    uint8_t c = kLevelHigh;
    if (row->contactClass == kNamedBodyClass || row->contactClass == kInertClass)
        return c;
    for (const FlagColour& f : kRowColours)
        if (row->classFlags & f.flags)
            c = f.colour;
    return c;
}

uint8_t TypeColour(uint32_t classFlags, uint8_t c)
{
    if (classFlags & kClassTypeBright)
        return 254;
    return (classFlags & kClassTypeDim) ? 253 : c;
}

constexpr int kLanguages = 3;
using LanguageRow = const char* [kLanguages];

// Three-letter vessel kind codes by ShipInfo kind: English, French, German.
constexpr LanguageRow kShipKindCodes[] = {
    {"COR", "COR", "COR"},
    {"FRG", "CAR", "FRT"},
    {"CMD", "CMD", "KMD"},
    {"SVG", "REC", "BER"},
    {"TRN", "TRN", "TRN"},
    {"CRU", "CRO", "CRU"},
    {"PAT", "PAT", "PAT"},
    {"CFI", "CBC", "CFI"},
    {"SFI", "CBS", "SFI"},
    {"TUG", "TUG", "SCH"},
    {"MIS", "MIS", "RAK"},
    {"MIN", "MIN", "MIN"},
    {"DRN", "DRN", "CGE"},
    {"STA", "STA", "STA"},
    {"DES", "DES", "ZER"},
    {"CAR", "TRA", "TR\xC4"},
    {"COM", "COM", "KOM"},
    {"GUN", "GUN", "GUN"},
    {"RNG", "RNG", "RNG"},
};

// Side codes by ShipInfo side.
constexpr LanguageRow kSideCodes[] = {
    {"NEU", "NEU", "NEU"},
    {"NVY", "MAR", "NVY"},
    {"IND", "IND", "IND"},
    {"UNK", "INC", "UNB"},
    {"UNK", "INC", "UNB"},
    {"ORA", "ORA", "ORA"},
    {"ALI", "ALI", "ALI"},
};

// The entry of the current language, or null for an index outside the table.
template <std::size_t N>
const char* LanguageEntry(const LanguageRow (&table)[N], int32_t index)
{
    if (index < 0 || index >= static_cast<int32_t>(N))
        return nullptr;
    return table[index][gSettings.language < kLanguages ? gSettings.language : 0];
}

int32_t GlyphAHeight(const RasterFont* font)
{
    const Raster* a = font->glyphs[static_cast<uint8_t>('A')];
    return a ? a->height : font->height;
}

// One line of text in the colour at (x, y), clipped; nothing for null.
void DrawAt(const Canvas& canvas, const char* text, const RasterFont* font, uint8_t colour, int32_t x, int32_t y,
            const ClipRect& clip)
{
    if (!text)
        return;
    int16_t px = Narrow(x), py = Narrow(y);
    CanvasDrawText(canvas, px, py, text, font, colour, clip);
}

const char* UnidentifiedText()
{
    return gTextTable[kUnidentifiedText];
}

// The card's row, or null when its subject is not a row of the list.
Contact* CardRow(const WindowHandle* window)
{
    if (window->subject.kind != WindowSubject::Kind::ContactRow)
        return nullptr;
    const int32_t row = window->subject.row;
    return row >= 0 && row < kContactRows ? &gContacts.rows[row] : nullptr;
}

// The contact icon of a vessel by its side; side 6 (alien) by the item's
// class flags. -1 (no icon) for a side outside the table.
int32_t VesselIconIndex(const SceneItem* item, int32_t side)
{
    constexpr int32_t kBySide[] = {0, 1, 2, 3, 3, 1};
    if (side >= 0 && side < static_cast<int32_t>(std::size(kBySide)))
        return kBySide[side];
    if (side != 6)
        return -1;
    const uint32_t flags = item->avatar ? item->avatar->classFlags : 0;
    if (flags & 0x80)
        return 1;
    return (flags & 0x100) ? 2 : 0;
}

// The icon of a row at (x, y - 8): the weapons-target picture for the
// player's target (vessels, objects and inert items), else the
// navigation-target picture for the navigation target (vessels and
// bodies), else the normal one. A missing icon draws nothing.
void DrawCardIcon(const Canvas& canvas, const Contact& row, int32_t icon, int32_t x, int32_t y)
{
    const int16_t cls = row.contactClass;
    int32_t picture = kIconNormal;
    if ((cls == kVesselClass || cls == kObjectClass || cls == kInertClass) && gContacts.playerTarget.Is(row.item))
        picture = kIconWeaponsTarget;
    else if ((cls == kVesselClass || cls == kNamedBodyClass) && gContacts.navTarget.Is(row.item))
        picture = kIconNavTarget;
    if (const Bitmap* bitmap = ContactIconPicture(icon, picture))
        CanvasBlit(canvas, *bitmap, Narrow(x), Narrow(y - 8));
}

// The card's background: inside filled, the edges (the right one at full
// height, the others without corners) and the box of the line pointer.
void CardFrame(const Canvas& canvas, const WindowHandle* w, uint8_t fill, uint8_t edge, bool pointer)
{
    FillInside(canvas, w, fill);
    const int16_t l = Left(w), t = Top(w), r = Right(w), b = Bottom(w);
    CanvasLine(canvas, Narrow(l + 1), t, Narrow(r - 1), t, edge);
    CanvasLine(canvas, Narrow(l + 1), b, Narrow(r - 1), b, edge);
    CanvasLine(canvas, l, Narrow(t + 1), l, Narrow(b - 1), edge);
    CanvasLine(canvas, r, t, r, b, edge);
    if (pointer) {
        const int32_t middle = (t + b) / 2;
        CanvasFillRect(canvas, 0, Narrow(r + 1), Narrow(middle - 5), Narrow(r + 8), Narrow(middle + 6));
    }
}

// Metres from the player to the row's item's surface; a body's surface lies
// at half its radius value, and near it the controlled item's altitude counts.
double CardRangeMetres(const Contact& row)
{
    const SceneItem* item = row.item;
    const double radius = item->sim ? item->sim->radius : 0.0;
    if (!item->avatar || !(item->avatar->flags & kAvatarBody))
        return (row.distance - radius) / 100.0;
    const SceneItem* controlled = gControlledItem;
    if (controlled && controlled->sim && (controlled->flags & kItemNearPlanet) && controlled->sim->planet.Is(item))
        return controlled->sim->altitude / 100.0;
    return (row.distance - radius / 2) / 100.0;
}

// The name text a named item's Avatar holds, or null.
const char* BodyName(const SceneItem* item)
{
    if (!item->avatar)
        return nullptr;
    const int32_t offset = item->avatar->params[kParamName];
    if (offset < 0 || static_cast<uint32_t>(offset) >= kDataCapacity)
        return nullptr;
    const char* name = gScriptBuffers.data + offset;
    return std::memchr(name, 0, kDataCapacity - offset) ? name : nullptr;
}

// The scroll offset of a text `width` pixels wide, kept in the maximum
// field: advanced by half the frame's ticks and wrapped after the text and
// its 15-pixel gap have passed. Returns the offset to draw at.
int32_t ScrollStep(WindowHandle* window, int32_t width)
{
    int32_t offset = Truncate(window->maximum);
    if (offset >= width + 15 || offset < 0)
        offset = 0;
    const int32_t drawAt = offset;
    offset += gFrameClock.frameTicks / 2;
    if (offset >= 2 * width + 15)
        offset = 0;
    window->maximum = static_cast<float>(offset);
    KeepRedrawing(window);
    return drawAt;
}

// A body's name in its column; the current row's name scrolls when it is
// wider than the column.
void DrawBodyName(const Canvas& canvas, WindowHandle* window, const Contact& row, bool current,
                  const RasterFont* font, uint8_t c, int32_t x, int32_t y, bool wide)
{
    const char* name = BodyName(row.item);
    if (!name)
        return;
    const ClipRect column{Narrow(Left(window) + 35), Top(window), Narrow(Left(window) + (wide ? 182 : 98)),
                          Bottom(window)};
    int16_t width = 0, height = 0;
    TextMeasure(name, font, width, height);
    if (!current || width <= column.right - column.left + 1) {
        DrawAt(canvas, name, font, c, x + 31, y, column);
        return;
    }
    const int32_t offset = ScrollStep(window, width);
    DrawAt(canvas, name, font, c, x + 31 - offset, y, column);
    DrawAt(canvas, name, font, c, x + 31 - offset + width + 15, y, column);
}


constexpr uint8_t kTitleColour = 246;
constexpr uint8_t kArrowHot = 250;
constexpr uint8_t kArrowPressed = 249;

// A triangle filling the window, its point at the right or left edge's
// middle, its base the opposite edge.
void SideArrow(WindowHandle* window, bool right)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    uint8_t colour = kBoxColour;
    if (window->flags & kWindowPressed)
        colour = kArrowPressed;
    else if (window->flags & kWindowHot)
        colour = kArrowHot;
    const int32_t width = Right(window) - Left(window);
    const int32_t middle = (Top(window) + Bottom(window)) / 2;
    const int32_t half = (Bottom(window) - Top(window)) / 2;
    for (int32_t i = 0; i <= width; ++i) {
        const int32_t reach = width > 0 ? half * (width - i) / width : half; // i from the base
        const auto x = Narrow(right ? Left(window) + i : Right(window) - i);
        CanvasLine(canvas, x, Narrow(middle - reach), x, Narrow(middle + reach), colour);
    }
}

// ---- target and engineering panels --------------------------------------------

constexpr int16_t kStationComms = 1;
constexpr int32_t kPanelLineSize = 33;
constexpr int32_t kTargetLineSize = 45;
constexpr int32_t kNameColumn = 59;
// The target panel's line steps: 10 pixels for its lines and 9 for its
// system list, or more for a font whose capitals would touch the next
// line's at that step.
constexpr int32_t kPanelLineStep = 10, kSystemLineStep = 9;
int32_t PanelStep(const RasterFont* font, int32_t least)
{
    return std::max(least, GlyphAHeight(font) + 3);
}
constexpr uint8_t kPanelBase = 160;
constexpr uint32_t kClassMissiles = 0x30; // any of the missile class bits
constexpr uint8_t kTeamColour = 64;

// The panel colour by class flags, each later entry winning.
constexpr FlagColour kPanelColours[] = {{0x80, 133}, {0x100, 64}, {0x600, 160}, {0x1000, 42}, {0x800, 223}, {0x40, 97}};

// Vessel kind names by ShipInfo kind: English, French, German.
constexpr LanguageRow kShipKindNames[] = {
    {"CORVETTE", "CORVETTE", "CORVETTE"},
    {"FREIGHTER", "CARGO", "FRACHTER"},
    {"COMMAND", "COMMANDE", "KOMMANDO"},
    {"SALVAGE", "RECUPERABLE", "BERGUNGSGUT"},
    {"TRANSPORT", "TRANSPORTEUR", "TRANSPORT"},
    {"CRUISER", "CROISEUR", "CRUISER"},
    {"PATCOM", "PATCOM", "PATCOM"},
    {"C-FIGHTER", "COMBATTANT-C", "C-FIGHTER"},
    {"S-FIGHTER", "COMBATTANT-S", "S-FIGHTER"},
    {"TUG", "REMORQUEUR", "SCHLEPPER"},
    {"MISSILE", "MISSILE", "RAKETE"},
    {"MINE", "MINE", "MINE"},
    {"DRONE", "DRONE", "DRONE"},
    {"STATION", "STATION", "STATION"},
    {"DESTROYER", "DESTROYER", "ZERST\xD6RER"},
    {"CARRIER", "TRANSPORTEUR", "TR\xC4GERSCHIFF"},
    {"COMM RLY", "RELAIS COMM", "KOMM-RELAIS"},
    {"GUNBASE", "GUNBASE", "GUNBASE"},
    {"RING", "RING", "RING"},
};

constexpr const char* kDriveWord[kLanguages] = {"THRUSTER", "THRUSTER", "TRIEBWERK"};
constexpr const char* kTargetLine[kLanguages] = {"TARGET: %s", "CIBLE: %s", "ZIEL: %s"};
constexpr const char* kEmptyTargetLine[kLanguages] = {"TARGET: ----", "CIBLE: ----", "ZIEL: ----"};
constexpr int kEmptyTargetWidth[kLanguages] = {45, 45, 43};
constexpr const char* kRepairTeamText[kLanguages] = {"REPAIR TEAM %i", "REPAIR TEAM %i", "REPARATUR TM %i"};
constexpr const char* kIdleTeamText[kLanguages] = {"REPAIR TEAM %i\nREADY", "REPAIR TEAM %i\nREADY",
                                                   "REPARATUR TM %i\nREADY"};

// The silhouette's colour by health, wrecked (0) to intact (23).
constexpr uint8_t HealthShadeRamp[] = {55, 56, 57, 58, 59, 60, 62, 63, 240, 241, 241, 242,
                                       242, 243, 243, 244, 160, 162, 164, 166, 168, 170, 172, 174};
static_assert(std::size(HealthShadeRamp) == 24);

// The ship systems the panel lists, by their bit in the damage bits.
struct TargetSystem {
    const char* text;
    uint8_t shown;
    uint16_t componentMask;
};
constexpr TargetSystem TargetSystemTable[] = {
    {"ATT", 1, 4},
    {"THR", 1, 8},
    {"WEP", 1, 1},
    {"ULD", 1, 2},
    {"LLD", 1, 2},
    {"LDS", 1, 16},
    {"CAP", 0, 32},
    {"CRW", 1, 64},
    {"CPU", 1, 0},
    {"RNG", 0, 0},
    {"DCK", 1, 0},
};

int Language()
{
    return gSettings.language < kLanguages ? gSettings.language : 0;
}

// The damage taken in percent of the maximum hull; a ship without hull
// points has nothing left to lose: 100.
int32_t DamagePercent(const DamageBlock& d)
{
    if (d.maximumHull <= 0)
        return 100;
    return static_cast<int32_t>(static_cast<int64_t>(d.hullDamage) * 100 / d.maximumHull);
}

// Whether the selected target component is of a kind the mask names and
// the last HUD frame found it within the selection range.
bool SelectedComponentIn(uint16_t mask)
{
    const HullBox* box = gContacts.selectedComponent;
    return gContacts.componentSelected && gHud.componentInRange && box && (((box->flags >> 8) & 0x1FF) & mask);
}

// Text lines of the panel in colour c, clipped.
void PanelText(const Canvas& canvas, const RasterFont* font, uint8_t colour, int32_t x, int32_t y,
               const ClipRect& clip, const char* format, auto... args)
{
    char line[kPanelLineSize];
    std::snprintf(line, sizeof line, format, args...);
    DrawAt(canvas, line, font, colour, x, y, clip);
}

// The vessel part of the target panel: name, kind, drive, speed, damage and
// the list of its systems.
void DrawVesselLines(const Canvas& canvas, WindowHandle* window, const Contact& row, const ShipInfo& ship,
                     const RasterFont* font, uint8_t c, int32_t x0, int32_t y)
{
    const int32_t step = PanelStep(font, kPanelLineStep);
    const ClipRect column{Narrow(Left(window) + 4), Top(window), Narrow(Left(window) + 63), Bottom(window)};
    const int lang = Language();
    if (row.classFlags & 0x600) {
        DrawAt(canvas, UnidentifiedText(), font, c, x0, y, column);
    } else {
        char name[kPanelLineSize];
        std::snprintf(name, sizeof name, "%s", ship.name ? ship.name : "");
        int16_t width = 0, height = 0;
        TextMeasure(name, font, width, height);
        if (width > kNameColumn) {
            const int32_t o = ScrollStep(window, width);
            DrawAt(canvas, name, font, c, x0 + 21 - o, y, column);
            DrawAt(canvas, name, font, c, x0 + 21 - o + width + 15, y, column);
        } else {
            DrawAt(canvas, name, font, c, x0, y, column);
        }
        DrawAt(canvas, LanguageEntry(kShipKindNames, ship.kind), font, c, x0, y + step, column);
        if (const ShipClassIcon* icon = ShipClassIconOf(ship.kind)) {
            // Below the fifth line, as far below it as the 10-pixel lines
            // put it.
            const int32_t below = 4 * (step - kPanelLineStep);
            CanvasLine(canvas, Narrow(Left(window) + 1), Narrow(Top(window) + 56 + below),
                       Narrow(Left(window) + 64), Narrow(Top(window) + 56 + below), c);
            const int32_t iconY = Top(window) + below + (CurrentStation == kStationComms ? 72 : 75);
            SpriteDrawSilhouette(canvas, *icon->picture,
                                 guiHealthShade(ship.damage.hullDamage, ship.damage.maximumHull),
                                 Narrow(Left(window) + 33), Narrow(iconY), icon->runs);
        }
    }
    const Sim& sim = *row.item->sim;
    DrawAt(canvas, (sim.flags & kSimLdsEngaged) ? "LDS" : kDriveWord[lang], font, c, x0, y + 2 * step, column);
    PanelText(canvas, font, c, x0, y + 3 * step, column, "%i M/S", Truncate(sim.speed / 100.0));
    PanelText(canvas, font, c, x0, y + 4 * step, column, "DMG %i", DamagePercent(ship.damage));
    if (!gFontB)
        return;
    const ClipRect clip = RectOf(window);
    const int32_t systemStep = PanelStep(gFontB, kSystemLineStep);
    int32_t line = y + 2;
    for (std::size_t i = 0; i < std::size(TargetSystemTable); ++i) {
        const TargetSystem& entry = TargetSystemTable[i];
        if (!entry.shown)
            continue;
        const bool damaged = (ship.damage.capabilities >> i) & 1;
        const uint8_t colour = damaged || c == kPanelBase ? static_cast<uint8_t>(c - 7) : c;
        DrawAt(canvas, entry.text, gFontB, colour, Left(window) + 75, line, clip);
        if (SelectedComponentIn(entry.componentMask))
            if (const Bitmap* mark = ContactIconPicture(guiContactIconIndex(row.item), kIconWeaponsTarget)) {
                int16_t width = 0, height = 0;
                TextMeasure(entry.text, gFontB, width, height);
                CanvasBlit(canvas, *mark, Narrow(Left(window) + 75 + width), Narrow(line - systemStep));
            }
        line += systemStep;
    }
}

// A target line's text for the item: its ship name, the Avatar's name when
// `avatarName` allows, else the empty line of the language.
void FormatTargetLine(char* buffer, std::size_t size, const SceneItem* item, bool avatarName)
{
    const int lang = Language();
    const char* name = nullptr;
    if (item && item->sim && item->sim->shipInfo)
        name = item->sim->shipInfo->name;
    else if (item && avatarName)
        name = BodyName(item);
    if (name)
        std::snprintf(buffer, size, kTargetLine[lang], name);
    else
        std::snprintf(buffer, size, "%-*s", kEmptyTargetWidth[lang], kEmptyTargetLine[lang]);
}


constexpr uint8_t kTeamListColour = 36;

// A system's list colour by health, each later test winning.
uint8_t HealthColour(float health)
{
    uint8_t colour = health == 1.0f ? 36 : 160;
    if (health <= 0.5f)
        colour = 64;
    if (health <= 0.2f)
        colour = 58;
    return colour;
}


constexpr int16_t kSquarePitch = 3;

// A status square's colour by its system's health.
uint8_t SquareColour(float health)
{
    if (health <= 0.2f)
        return 58;
    if (health <= 0.5f)
        return 64;
    return health < 1.0f ? 160 : 97;
}

} // namespace

const char* ShipKindName(int32_t kind)
{
    return LanguageEntry(kShipKindNames, kind);
}

void guiDrawUpTriangle(const Canvas& canvas, int16_t x, int16_t y, int16_t size, uint8_t colour)
{
    const auto half = Narrow(size / 2), quarter = Narrow(size / 4);
    const auto apexY = Narrow(y - quarter), baseY = Narrow(y + quarter);
    CanvasLine(canvas, Narrow(x - half), baseY, Narrow(x + half), baseY, colour);
    CanvasLine(canvas, Narrow(x - half), baseY, x, apexY, colour);
    CanvasLine(canvas, x, apexY, Narrow(x + half), baseY, colour);
}

void guiDrawDownTriangle(const Canvas& canvas, int16_t x, int16_t y, int16_t size, uint8_t colour)
{
    const auto half = Narrow(size / 2), quarter = Narrow(size / 4);
    const auto apexY = Narrow(y + quarter), baseY = Narrow(y - quarter);
    CanvasLine(canvas, Narrow(x - half), baseY, Narrow(x + half), baseY, colour);
    CanvasLine(canvas, Narrow(x - half), baseY, x, apexY, colour);
    CanvasLine(canvas, x, apexY, Narrow(x + half), baseY, colour);
}

void guiDrawBoxWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    Outline(canvas, window, window->colour ? static_cast<uint8_t>(window->colour) : kBoxColour);
}

void guiDrawRectWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    DrawRect(canvas, window);
}

void guiDrawRasterWindow(WindowHandle* window)
{
    Bitmap* picture = PictureOf(window);
    if (picture) {
        window->width = picture->width;
        window->height = picture->height;
    }
    Canvas canvas;
    if (!Placed(window, canvas) || !picture)
        return;
    CanvasBlit(canvas, *picture, Left(window), Top(window));
    if (window != gWindows.mainWindow)
        FlashHighlight(canvas, window);
}

void guiDrawSwitchWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    const Bitmap* picture = (window->flags & kWindowPressed) ? window->bitmapDown : window->bitmapUp;
    if (picture)
        CanvasBlit(canvas, *picture, Left(window), Top(window));
    FlashHighlight(canvas, window);
}

void guiDrawStringWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    FillInside(canvas, window, 0);
    if (const RasterFont* font = FontOf(window))
        DrawWrapped(canvas, window, window->text, font, Left(window) + 2, CentredBaseline(window, font));
    FlashHighlight(canvas, window);
}

void guiDrawButtonWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    DrawRect(canvas, window);
    const RasterFont* font = FontOf(window);
    if (font && window->text) {
        int16_t width = 0, height = 0;
        TextMeasure(window->text, font, width, height);
        const int32_t x = Left(window) + (Right(window) - Left(window) + 1 - width) / 2;
        DrawWrapped(canvas, window, window->text, font, x, CentredBaseline(window, font));
    }
    FlashHighlight(canvas, window);
}

void guiDrawTextWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    DrawRect(canvas, window);
    const auto* text = window->textResource ? static_cast<const char*>(ResGet(window->textResource)) : nullptr;
    if (!text)
        return;
    // The scroll offset never passes the text's end.
    const auto length = static_cast<int32_t>(std::strlen(text));
    const int32_t offset = std::clamp(Truncate(window->maximum), 0, length);
    CanvasDrawTextBox(canvas, text + offset, FontOf(window), RectOf(window));
}

void guiDrawVerticalBarWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    KeepRedrawing(window);
    if (!ClampMeter(window, 0.0f))
        return;
    DrawVerticalBar(canvas, window, 1, kOutlineColour, kBarFill);
    FlashHighlight(canvas, window);
}

void guiDrawLevelBarWindow(WindowHandle* window)
{
    LevelBar(window, kLevelBands, std::size(kLevelBands), kLevelLow);
}

void guiDrawWarningBarWindow(WindowHandle* window)
{
    LevelBar(window, kWarningBands, std::size(kWarningBands), kLevelHigh);
}

void guiDrawHorizontalBarWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    KeepRedrawing(window);
    if (!ClampMeter(window, 0.0f))
        return;
    const int32_t left = Left(window), right = Right(window);
    const auto barEnd =
        static_cast<int32_t>(left + 1 + static_cast<double>(right - left - 1) * window->value / window->maximum);
    window->auxShort = Narrow(barEnd);
    FillInside(canvas, window, 0);
    Outline(canvas, window, kHBarOutline);
    CanvasFillRect(canvas, kHBarFill, Narrow(left + 1), Narrow(Top(window) + 1), Narrow(barEnd - 1),
                   Narrow(Bottom(window) - 1));
    FlashHighlight(canvas, window);
}

void guiDrawCentredVBarWindow(WindowHandle* window)
{
    CentredBar(window, true);
}

void guiDrawCentredHBarWindow(WindowHandle* window)
{
    CentredBar(window, false);
}

void guiDrawNumberWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    KeepRedrawing(window);
    DrawRect(canvas, window);
    if (const RasterFont* font = FontOf(window)) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", Truncate(window->value));
        DrawWrapped(canvas, window, text, font, Left(window) + 4, CentredBaseline(window, font));
    }
    FlashHighlight(canvas, window);
}

namespace {

// The XYDEV meter's full scale: 25 degrees off the nose, in hundredths.
constexpr float kDeviationScale = 2500.0f;
constexpr uint8_t kDeviationNeedle = 64;

// The player's aim deviation: how far the weapons target lies right of and
// above the ship's nose, in hundredths of a degree, each held to the full
// scale (a target behind the ship pins both needles). False without a
// target.
bool PlayerAimDeviation(float& right, float& up)
{
    const SceneItem* ship = gPlayerItem;
    const SceneItem* target = ship && ship->sim ? ship->sim->target.Get() : nullptr;
    if (!target || (!target->sim && !target->avatar))
        return false;
    const Matrix4& m = ship->sim->matrix;
    const Vector3 there = target->sim ? Vector3{target->sim->matrix.m[12], target->sim->matrix.m[13],
                                                target->sim->matrix.m[14]}
                                      : Vector3{target->avatar->matrix.m[12], target->avatar->matrix.m[13],
                                                target->avatar->matrix.m[14]};
    const Vector3 d{there.x - m.m[12], there.y - m.m[13], there.z - m.m[14]};
    Vector3 seen;
    VecMulMat3T(seen, d, m);
    constexpr double kHundredthsOfDegree = 18000.0 / 3.14159265358979323846;
    right = static_cast<float>(std::atan2(seen.x, seen.z) * kHundredthsOfDegree);
    // Screen rows grow downwards, the ship's y axis with them.
    up = static_cast<float>(std::atan2(-seen.y, seen.z) * kHundredthsOfDegree);
    right = std::clamp(right, -kDeviationScale, kDeviationScale);
    up = std::clamp(up, -kDeviationScale, kDeviationScale);
    return true;
}

uint8_t NeedleColour(float value)
{
    return std::fabs(value) < kDeviationScale / 100.0f ? kNearZero : kDeviationNeedle;
}

// The needle across the cross for the sideways deviation: a bar 3 pixels
// wide standing at its place along the horizontal arm.
void guiDrawXYDevBarX(const Canvas& canvas, int32_t cx, int32_t cy, int32_t arm, float value)
{
    const int32_t x = cx + Truncate(arm * value / kDeviationScale);
    CanvasFillRect(canvas, NeedleColour(value), Narrow(x - 1), Narrow(cy - arm), Narrow(x + 1), Narrow(cy + arm));
}

// The needle for the deviation upwards: a bar lying at its height.
void guiDrawXYDevBarY(const Canvas& canvas, int32_t cx, int32_t cy, int32_t arm, float value)
{
    const int32_t y = cy - Truncate(arm * value / kDeviationScale);
    CanvasFillRect(canvas, NeedleColour(value), Narrow(cx - arm), Narrow(y - 1), Narrow(cx + arm), Narrow(y + 1));
}

} // namespace

// A cleared box with a cross of tick marks, the two needles of the player's
// aim deviation over it and their values ("%+.2f" degrees) in its lower
// corners; without a target only the cross.
void guiDrawXYDeviationWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    KeepRedrawing(window);
    FillInside(canvas, window, 0);
    const int32_t cx = (Left(window) + Right(window)) / 2, cy = (Top(window) + Bottom(window)) / 2;
    const int32_t arm = (Right(window) - Left(window) + 1) * 33 / 200;
    CanvasLine(canvas, Narrow(cx - arm), Narrow(cy), Narrow(cx + arm), Narrow(cy), kOutlineColour);
    CanvasLine(canvas, Narrow(cx), Narrow(cy - arm), Narrow(cx), Narrow(cy + arm), kOutlineColour);
    // Ticks at each quarter of the full scale.
    for (int quarter = -4; quarter <= 4; ++quarter) {
        const int32_t at = arm * quarter / 4, tick = quarter % 2 == 0 ? 3 : 2;
        CanvasLine(canvas, Narrow(cx + at), Narrow(cy - tick), Narrow(cx + at), Narrow(cy + tick), kOutlineColour);
        CanvasLine(canvas, Narrow(cx - tick), Narrow(cy + at), Narrow(cx + tick), Narrow(cy + at), kOutlineColour);
    }
    float right = 0.0f, up = 0.0f;
    if (PlayerAimDeviation(right, up)) {
        window->value = right;
        window->maximum = up;
        guiDrawXYDevBarX(canvas, cx, cy, arm, right);
        guiDrawXYDevBarY(canvas, cx, cy, arm, up);
        if (const RasterFont* font = FontOf(window)) {
            char text[16];
            const ClipRect clip = RectOf(window);
            const int32_t baseline = Bottom(window) - 3;
            std::snprintf(text, sizeof text, "%+.2f", right / 100.0f);
            DrawAt(canvas, text, font, NeedleColour(right), Left(window) + 3, baseline, clip);
            std::snprintf(text, sizeof text, "%+.2f", up / 100.0f);
            int16_t width = 0, height = 0;
            TextMeasure(text, font, width, height);
            DrawAt(canvas, text, font, NeedleColour(up), Right(window) - 3 - width, baseline, clip);
        }
    }
    FlashHighlight(canvas, window);
}

void guiDrawCheckBoxWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    DrawRect(canvas, window);
    if (!window->check)
        return;
    const auto l = Narrow(Left(window) + 1), t = Narrow(Top(window) + 1);
    const auto r = Narrow(Right(window) - 1), b = Narrow(Bottom(window) - 1);
    CanvasLine(canvas, l, t, r, b, kCheckCross);
    CanvasLine(canvas, r, t, l, b, kCheckCross);
}

void guiDrawUpArrowWindow(WindowHandle* window)
{
    Arrow(window, true);
}

void guiDrawDownArrowWindow(WindowHandle* window)
{
    Arrow(window, false);
}

void guiFormatCardRange(double metres, char* buffer, std::size_t size)
{
    const double r = std::max(metres, 0.0);
    if (r > 1e10)
        std::snprintf(buffer, size, "%.1f M KM", r / 1e9);
    else if (r > 1e9)
        std::snprintf(buffer, size, "%.2f M KM", r / 1e9);
    else if (r >= 10000.0)
        std::snprintf(buffer, size, "%.1f KM", r / 1000.0);
    else
        std::snprintf(buffer, size, "%.0f M", r);
}

void guiDrawCardWindow(WindowHandle* window)
{
    if (gPresentation.running)
        return;
    const bool wide = gContacts.filterClass == kNamedBodyClass && CurrentStation != kStationWeapons;
    window->width = wide ? kWideCard : kNarrowCard;
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    Contact* row = CardRow(window);
    const bool current = row && row == gContacts.current;
    const bool pointer =
        gContacts.filterClass != kNamedBodyClass && CurrentStation != kStationWeapons && !gWindows.mainViewOnly;
    if (!current)
        CardFrame(canvas, window, 0, kRectEdge, pointer);
    const RasterFont* font = current ? gFontR : gFontB;
    if (!row || !row->item || !font) {
        FlashHighlight(canvas, window);
        return;
    }
    uint8_t c = RowColour(row);
    const uint8_t typeColour = TypeColour(row->classFlags, c);
    if (current) {
        CardFrame(canvas, window, static_cast<uint8_t>(c - 11), c, pointer);
        if (pointer) {
            const auto middle = Narrow((Top(window) + Bottom(window)) / 2);
            CanvasLine(canvas, Narrow(Right(window) + 1), middle, Narrow(Right(window) + 8), middle, c);
            CanvasLine(canvas, Narrow(Right(window) + 1), Narrow(middle + 1), Narrow(Right(window) + 8),
                       Narrow(middle + 1), c);
        }
    }
    if (row->highlight > 0 && row->highlight % 20 > 10)
        c = static_cast<uint8_t>(c - 7);

    char range[kCardRangeSize];
    guiFormatCardRange(CardRangeMetres(*row), range, sizeof range);
    char label[kCardLabelSize];
    std::snprintf(label, sizeof label, "C%d", row->visiblePosition);

    const int32_t x = Left(window) + 4;
    const int32_t y = Top(window) + GlyphAHeight(font) + 2;
    const ClipRect clip = RectOf(window);
    DrawAt(canvas, label, font, c, x, y, clip);
    SceneItem* item = row->item;
    switch (row->contactClass) {
    case kVesselClass: {
        const ShipInfo* ship = item->sim ? item->sim->shipInfo : nullptr;
        if (!ship)
            break;
        if (row->classFlags & kClassUnidentified) {
            DrawAt(canvas, UnidentifiedText(), font, c, x + 21, y, clip);
            DrawAt(canvas, range, font, c, x + 97, y, clip);
            break;
        }
        DrawAt(canvas, LanguageEntry(kShipKindCodes, ship->kind), font, c, x + 21, y, clip);
        DrawCardIcon(canvas, *row, VesselIconIndex(item, ship->side), x + 48, y);
        DrawAt(canvas, LanguageEntry(kSideCodes, ship->side), font, typeColour, x + 61, y, clip);
        DrawAt(canvas, range, font, c, x + 97, y, clip);
        break;
    }
    case kObjectClass:
        DrawCardIcon(canvas, *row, guiContactIconIndex(item), x + 48, y);
        DrawAt(canvas, range, font, c, x + 97, y, clip);
        break;
    case kInertClass:
        DrawCardIcon(canvas, *row, 0, x + 21, y);
        DrawAt(canvas, "INERT", font, c, x + 31, y, clip);
        DrawAt(canvas, range, font, c, x + 97, y, clip);
        break;
    case kNamedBodyClass:
        DrawCardIcon(canvas, *row, 0, x + 21, y);
        DrawBodyName(canvas, window, *row, current, font, c, x, y, wide);
        DrawAt(canvas, range, font, c, x + 181, y, clip);
        break;
    default:
        break;
    }
    FlashHighlight(canvas, window);
}

void guiDrawContactScrollBarWindow(WindowHandle* window)
{
    KeepRedrawing(window);
    Bitmap* picture = PictureOf(window);
    if (picture) {
        window->width = picture->width;
        window->height = picture->height;
    }
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    if (gPresentation.running) {
        CanvasFillRect(canvas, 0, Left(window), Top(window), Right(window), Bottom(window));
        return;
    }
    const int32_t visible = gContacts.visibleCount;
    if (visible <= 0) {
        if (picture)
            CanvasBlit(canvas, *picture, Left(window), Top(window));
        return;
    }
    if (gContacts.linesInUse > visible)
        gContacts.linesInUse = static_cast<int16_t>(visible);
    const int32_t track = Bottom(window) - Top(window) - 6;
    const int32_t thumb = track * gContacts.linesInUse / visible;
    // The thumb moves with the list's first shown line over the lines that
    // can scroll; with no more lines than the panel shows it stays on top.
    const int32_t scrollable = visible - kContactLines;
    const int32_t offset = scrollable > 0 ? gContacts.windowTop * (track - thumb) / scrollable : 0;
    const int32_t y1 = Top(window) + 3 + offset;
    const int32_t y2 = y1 + thumb;
    window->value = static_cast<float>(y1);
    window->maximum = static_cast<float>(y2);
    if (picture)
        CanvasBlit(canvas, *picture, Left(window), Top(window));
    if (y2 > gWindows.clip[3])
        return;
    CanvasFillRect(canvas, kThumbFill, Narrow(Left(window) + 4), Narrow(y1 + 1), Narrow(Right(window) - 4),
                   Narrow(y2 - 1));
    guiDrawOutline(canvas, kBoxColour, Narrow(Left(window) + 3), Narrow(y1), Narrow(Right(window) - 3), Narrow(y2));
    FlashHighlight(canvas, window);
}

void guiDrawTickerWindow(WindowHandle* window)
{
    KeepRedrawing(window);
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    CanvasFillRect(canvas, 0, Left(window), Top(window), Right(window), Bottom(window));
    const RasterFont* font = FontOf(window);
    if (!window->text || !font) {
        window->maximum = 0;
        return;
    }
    const uint8_t colour = window->value == kTickerOrderValue ? kLevelLow : kLevelHigh;
    const int32_t y = Top(window) + (Bottom(window) - Top(window) + 1) / 2 + GlyphAHeight(font) / 2;
    int16_t width = 0, height = 0;
    TextMeasure(window->text, font, width, height);
    const int32_t offset = ScrollStep(window, width);
    const ClipRect clip = RectOf(window);
    DrawAt(canvas, window->text, font, colour, Left(window) + 2 - offset, y, clip);
    DrawAt(canvas, window->text, font, colour, Left(window) + 2 - offset + width + 15, y, clip);
}

void guiDrawLoggerWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    DrawRect(canvas, window);
    if (window->subject.kind != WindowSubject::Kind::ValueRecorder || !window->subject.recorder)
        return;
    const ValueRecorder& r = *window->subject.recorder;
    const int32_t count = std::clamp(r.sampleCount, 0, kRecorderSamples);
    const double range = static_cast<double>(r.maximum) - r.minimum;
    const int32_t columns = Right(window) - Left(window) - 1;
    if (count == 0 || columns <= 0 || range == 0.0)
        return; // an empty range has no scale: no bars
    const int32_t height = Bottom(window) - Top(window) - 1;
    const double step = static_cast<double>(count) / columns;
    const int32_t oldest = ((r.writePosition % count) + count) % count;
    for (int32_t i = 0; i < columns; ++i) {
        const int32_t index = (oldest + static_cast<int32_t>(i * step)) % count;
        const double ratio = (r.samples[index] - r.minimum) / range;
        const auto rise = Truncate(height * ratio);
        const int32_t top = std::clamp(Bottom(window) - rise, Top(window) + 1, Bottom(window) - 1);
        const auto x = Narrow(Left(window) + 1 + i);
        CanvasLine(canvas, x, Narrow(Bottom(window) - 1), x, Narrow(top), GraphColour(ratio));
    }
}

void guiDrawProfileWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!gFrameProfiler || !Placed(window, canvas))
        return;
    DrawRect(canvas, window);
    const FrameProfiler& p = *gFrameProfiler;
    const int32_t count = std::clamp(p.highestSlot + 1, 0, kProfileSections);
    const double range = static_cast<double>(p.longest) - p.shortest;
    const int32_t rowHeight = (Bottom(window) - Top(window) - 1) / (count + 1);
    const int32_t centre = (Left(window) + Right(window)) / 2;
    const int32_t half = (Right(window) - Left(window) + 1) / 2;
    const RasterFont* font = FontOf(window);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t y = Top(window) + 1 + rowHeight * (i + 1);
        const double value = std::min(p.durations[i], static_cast<double>(p.longest));
        if (range != 0.0) {
            const double ratio = (value - p.shortest) / range;
            const auto end = Truncate(centre + half * ratio);
            CanvasFillRectClipped(canvas, GraphColour(ratio), RectOf(window), Narrow(centre),
                                  Narrow(y - rowHeight + 2), Narrow(end), Narrow(y - 1));
        }
        if (font) {
            char label[64];
            std::snprintf(label, sizeof label, "%s %.2f", p.names[i] ? p.names[i] : "", p.durations[i] / 100.0);
            DrawWrapped(canvas, window, label, font, Left(window) + 2, y);
        }
    }
}

void guiDrawVideoWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    FilmClip* clip = window->subject.kind == WindowSubject::Kind::Clip ? window->subject.clip : nullptr;
    if (clip && (!DrawClip(clip, RectOf(window)) || !clip->film || clip->finished))
        guiCloseWindow(window, kVideoCloseDelay);
    Outline(canvas, window, kBoxColour);
}

void guiDrawOverlayWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas) || !window->font)
        return;
    const Bitmap* picture = static_cast<const Bitmap*>(ResGet(window->font));
    if (!picture || !picture->pixels || picture->width <= 0 || picture->height <= 0)
        return;
    // The mask plane follows the pixels; a block too small to hold it draws
    // nothing rather than reading past its end.
    const std::size_t plane = static_cast<std::size_t>(picture->width) * picture->height;
    if (window->font->size <= 0 || static_cast<std::size_t>(window->font->size) < RasterBlockSize(0, 0) + 2 * plane)
        return;
    const uint8_t* mask = picture->pixels + plane;
    const ClipRect clip = CanvasBounds(canvas);
    for (int32_t y = 0; y < picture->height; ++y)
        for (int32_t x = 0; x < picture->width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * picture->width + x;
            if (mask[at])
                CanvasPlotClipped(canvas, picture->pixels[at], Narrow(Left(window) + x), Narrow(Top(window) + y),
                                  clip);
        }
}

void guiDraw3DWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    RenderViewWindow(window);
    Outline(canvas, window, kBoxColour);
}

void guiDraw3DWireWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    RenderViewWindowWireframe(window);
}

// ---- 3D views, scopes and icons ------------------------------------------------

namespace {

constexpr uint8_t kCommsNameColour = 47;
constexpr int32_t kTargetNameDrop = 15;
constexpr uint8_t kScopeOrbBackground = 112;
constexpr uint8_t kScopeGaugeBackground = 16;
constexpr uint8_t kScanLeftCtrl = 29;
constexpr int32_t kScopeSpotBrightness = 100;
constexpr uint8_t kScopeSpotStyle = 72;
constexpr int16_t kScopeSpotDiameter = 48;
constexpr int32_t kIconScale = 100;
constexpr uint8_t kIconColour = 97;
constexpr int32_t kCaptionSize = 96;
constexpr int32_t kCaptionStep = 12;

// What the target view shows and the colour of its name; null when nothing.
SceneItem* TargetViewSubject(uint8_t& colour)
{
    SceneItem* subject = nullptr;
    if (gCameras.remote.linked && gRemoteLinkItem)
        subject = gRemoteLinkItem;
    else if (gDialogue.commsPartner) {
        colour = kCommsNameColour;
        return gDialogue.commsPartner;
    } else if (const Contact* row = gContacts.current; row && row->item && row->contactClass == kVesselClass &&
                                                       row->contactClass == gContacts.filterClass)
        subject = row->item;
    if (subject)
        colour = HudClassColour(subject->avatar ? subject->avatar->classFlags : 0);
    return subject;
}

// The name an item shows: its ship's, else its own name text.
const char* ItemName(const SceneItem* item)
{
    if (item->sim && item->sim->shipInfo && item->sim->shipInfo->name)
        return item->sim->shipInfo->name;
    return BodyName(item);
}

// A picture's part under the window, copied to the same place with colour 0
// transparent.
void FramePart(const Canvas& canvas, const WindowHandle* window, const Bitmap* picture)
{
    if (!picture || !picture->pixels || picture->width <= 0 || picture->height <= 0)
        return;
    const Canvas image{picture->pixels, picture->width, picture->height};
    // Only the part the picture holds: the copy never reads past its edges.
    const int32_t l = std::max<int32_t>(Left(window), 0), t = std::max<int32_t>(Top(window), 0);
    const int32_t r = std::min<int32_t>(Right(window), picture->width - 1);
    const int32_t b = std::min<int32_t>(Bottom(window), picture->height - 1);
    if (r < l || b < t)
        return;
    CanvasBlitKeyed(canvas, image, Narrow(l), Narrow(t), Narrow(l), Narrow(t), Narrow(r - l + 1), Narrow(b - t + 1));
}

void DrawScope(WindowHandle* window, bool weapons)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    const Bitmap* picture = PictureOf(window);
    const int32_t l = Left(window), t = Top(window), r = Right(window), b = Bottom(window);
    const int32_t cx = (l + r) / 2, cy = (t + b) / 2;
    if (ScopeDisplayMode == 2 || GetKeyStateBlock()[kScanLeftCtrl]) {
        CanvasFillRect(canvas, kScopeGaugeBackground, Left(window), Top(window), Right(window), Bottom(window));
        DrawHexGauge(static_cast<int32_t>((r - l) * (weapons ? 0.32 : 0.37)), cx, cy);
    } else if (ScopeDisplayMode == 1) {
        // The window looks through the target camera for this draw only.
        const WindowSubject orb = window->subject;
        guiSetViewedItems(window, gTargetCamera);
        guiDrawTargetViewWindow(window);
        window->subject = orb;
    } else {
        CanvasFillRect(canvas, kScopeOrbBackground, Left(window), Top(window), Right(window), Bottom(window));
        RenderHudWindow(window);
    }
    FramePart(canvas, window, picture);
    const int32_t sx = weapons ? cx - 18 : l + 38, sy = weapons ? cy - 18 : t + 38;
    const ClipRect clip{gWindows.clip[0], gWindows.clip[1], gWindows.clip[2], gWindows.clip[3]};
    CanvasDrawSpot(canvas, kScopeSpotBrightness, kScopeSpotStyle, 0, Narrow(sx), Narrow(sy), kScopeSpotDiameter, 0,
                   clip);
    guiRedrawOverlapping(window);
}

// The orientation icons turn by: the view's viewer, else the player's ship.
const Matrix4* ViewOrientation()
{
    const SceneItem* viewer = gView.viewer ? gView.viewer : gPlayerItem;
    return viewer && viewer->avatar ? &viewer->avatar->matrix : nullptr;
}

} // namespace

int32_t guiContactIconIndex(const SceneItem* item)
{
    const uint32_t flags = item && item->avatar ? item->avatar->classFlags : 0;
    if (flags & 0x600)
        return 3;
    if (flags & 0x100)
        return 2;
    return (flags & 0x80) ? 1 : 0;
}

void guiDrawTargetViewWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    uint8_t colour = kLevelHigh;
    SceneItem* subject = TargetViewSubject(colour);
    if (!subject) {
        if (window->bitmapUp)
            CanvasBlit(canvas, *window->bitmapUp, Left(window), Top(window));
        return;
    }
    gTargetViewDrawing = 255;
    RenderViewWindow(window);
    gTargetViewDrawing = 0;
    const RasterFont* font = FontOf(window);
    const char* name = ItemName(subject);
    if (font && name) {
        int16_t width = 0, height = 0;
        TextMeasure(name, font, width, height);
        const int32_t x = Left(window) + (Right(window) - Left(window) + 1 - width) / 2;
        DrawAt(canvas, name, font, colour, x, Top(window) + kTargetNameDrop, RectOf(window));
    }
}

void guiDrawRemoteViewWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    if (gCameras.remote.linked && gRemoteLinkItem) {
        const WindowSubject own = window->subject;
        guiSetViewedItems(window, gRemoteLinkItem);
        RenderViewWindow(window);
        window->subject = own;
        // A live view, with its HUD, while the link holds.
        KeepRedrawing(window);
    }
    // The caption in the window's font, else the HUD's.
    if (const RasterFont* font = FontOf(window) ? FontOf(window) : gFontV)
        DrawAt(canvas, "REM", font, kLevelHigh, Left(window) + 4, Top(window) + font->height + 2, RectOf(window));
    Outline(canvas, window, kBoxColour);
}

void guiDrawCockpitViewWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    RenderViewWindow(window);
    FramePart(canvas, window, PictureOf(window));
    // A caption over the view (the weapon camera's weapon label), in the
    // window's font or the HUD's, on a dark band across the view: the view
    // beneath is not drawn again every frame, and a shorter label must not
    // leave the end of the longer one before it.
    const RasterFont* font = FontOf(window) ? FontOf(window) : gFontV;
    if (font && window->text && *window->text) {
        CanvasFillRect(canvas, 0, Narrow(Left(window) + 1), Narrow(Top(window) + 1), Narrow(Right(window) - 1),
                       Narrow(std::min<int32_t>(Top(window) + font->height + 4, Bottom(window))));
        DrawAt(canvas, window->text, font, kLevelHigh, Left(window) + 4, Top(window) + font->height + 2, RectOf(window));
    }
    if (gMessageLog.active)
        guiDrawMessageLog(Left(window) + 4, Top(window) + 10, window->width - 168, 80);
}

void guiDrawVectorIconWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    const VectorIcon* icon = window->subject.kind == WindowSubject::Kind::Icon ? window->subject.icon : nullptr;
    if (!icon || !icon->points || !icon->segments)
        return;
    const int32_t scale = window->value != 0.0f ? Truncate(window->value) : kIconScale;
    const auto colour = window->colour ? static_cast<uint8_t>(window->colour) : kIconColour;
    const int32_t cx = (Left(window) + Right(window)) / 2, cy = (Top(window) + Bottom(window)) / 2;
    const Matrix4* turn = ViewOrientation();
    const ClipRect clip = RectOf(window);
    // Each point as seen in the viewer's frame; a segment naming a point the
    // icon lacks ends the list.
    auto place = [&](int16_t index, int16_t& x, int16_t& y) {
        Vector3 p{static_cast<float>(icon->points[index].x), static_cast<float>(icon->points[index].y), 0.0f};
        if (turn) {
            Vector3 seen;
            VecMulMat3T(seen, p, *turn);
            p = seen;
        }
        x = Narrow(cx + Truncate(p.x * scale / 100.0));
        y = Narrow(cy + Truncate(p.y * scale / 100.0));
    };
    for (const int16_t* s = icon->segments; s[0] >= 0 && s[1] >= 0; s += 2) {
        if (s[0] >= icon->pointCount || s[1] >= icon->pointCount)
            break;
        int16_t x1, y1, x2, y2;
        place(s[0], x1, y1);
        place(s[1], x2, y2);
        CanvasLineClipped(canvas, x1, y1, x2, y2, colour, clip);
    }
}

void guiDrawRemoteLinkCaption(WindowHandle* window)
{
    SceneItem* linked = gCameras.remote.linked ? gRemoteLinkItem : nullptr;
    const RasterFont* font = gFontR;
    Canvas canvas;
    if (gMessageLog.active || !linked || !font || !Placed(window, canvas))
        return;
    char line[kCaptionSize];
    const char* name = ItemName(linked);
    std::snprintf(line, sizeof line, "REMOTE LINK - '%s'", name ? name : "");
    const int32_t y = Top(window) + font->height + 2;
    DrawWrapped(canvas, window, line, font, Left(window) + 2, y);
    const auto alignment = Truncate(gDockAlignment * 100.0);
    if (gDockAlignment != 0.0f) {
        std::snprintf(line, sizeof line, "DOCK ALIGN - %i", alignment);
        DrawWrapped(canvas, window, line, font, Left(window) + 2, y + kCaptionStep);
    }
}

void guiDrawWeaponScopeWindow(WindowHandle* window)
{
    DrawScope(window, true);
}

void guiDrawNavScopeWindow(WindowHandle* window)
{
    DrawScope(window, false);
}

uint8_t guiHealthShade(int32_t taken, int32_t maximumHull)
{
    DamageBlock damage{};
    damage.maximumHull = maximumHull;
    damage.hullDamage = taken;
    const int32_t health = 100 - DamagePercent(damage);
    const int32_t index = std::clamp(static_cast<int32_t>(health * 23.8 * 0.01), 0, 23);
    return HealthShadeRamp[index];
}

void guiDrawTargetPanelWindow(WindowHandle* window)
{
    if (CardRow(window)) {
        window->colour = 0;
        guiDrawTargetInfoWindow(window);
        return;
    }
    Canvas canvas;
    if (Placed(window, canvas))
        CanvasFillRect(canvas, 0, Left(window), Top(window), Right(window), Bottom(window));
}

void guiDrawTargetInfoWindow(WindowHandle* window)
{
    if (gPresentation.running || (CurrentStation == kStationComms && gContacts.filterClass == kNamedBodyClass))
        return;
    // The layout's font for the panel, else the highlight font.
    const RasterFont* font = FontOf(window) ? FontOf(window) : gFontR;
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    const Contact* row = CardRow(window);
    SceneItem* item = row ? row->item : nullptr;
    if (gContacts.filterClass == kNamedBodyClass || !item || row->contactClass == kNamedBodyClass ||
        row->contactClass == kInertClass) {
        CanvasFillRect(canvas, 0, Left(window), Top(window), Right(window), Bottom(window));
        return;
    }
    uint8_t c = kPanelBase;
    for (const FlagColour& f : kPanelColours)
        if (row->classFlags & f.flags)
            c = f.colour;
    const auto fill = static_cast<uint8_t>(c - 11);
    if (row->highlight > 0 && row->highlight % 20 > 10)
        c = static_cast<uint8_t>(c - 7);
    FillInside(canvas, window, fill);
    Outline(canvas, window, c);
    CanvasLine(canvas, Narrow(Left(window) + 65), Narrow(Top(window) + 1), Narrow(Left(window) + 65),
               Narrow(Bottom(window) - 1), c);
    if (font) {
        const int32_t x0 = Left(window) + 4;
        const int32_t y = Top(window) + GlyphAHeight(font) + 4;
        const ShipInfo* ship = item->sim ? item->sim->shipInfo : nullptr;
        if (ship) {
            DrawVesselLines(canvas, window, *row, *ship, font, c, x0, y);
        } else if (item->avatar && (item->avatar->classFlags & kClassMissiles)) {
            const ClipRect clip = RectOf(window);
            const float speed = item->sim ? item->sim->speed : 0.0f;
            const float mass = item->sim ? item->sim->mass : 0.0f;
            const int32_t step = PanelStep(font, kPanelLineStep);
            DrawAt(canvas, "MISSILE", font, c, x0, y, clip);
            PanelText(canvas, font, c, x0, y + 2 * step, clip, "%i m/s", Truncate(speed / 100.0));
            PanelText(canvas, font, c, x0, y + 3 * step, clip, "%i kg", Truncate(mass));
        }
    }
    FlashHighlight(canvas, window);
}

void guiDrawTargetLabelWindow(WindowHandle* window)
{
    static char line[kTargetLineSize + 1];
    FormatTargetLine(line, sizeof line, guiViewedItems(window), true);
    window->text = line;
    guiDrawStringWindow(window);
    Canvas canvas;
    if (Placed(window, canvas))
        FlashHighlight(canvas, window);
}

void guiDrawTargetNameWindow(WindowHandle* window)
{
    static char line[kTargetLineSize + 1];
    FormatTargetLine(line, sizeof line, guiViewedItems(window), false);
    window->text = line;
    guiDrawStringWindow(window);
}

void guiDrawRepairTeamWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    FillInside(canvas, window, 0);
    const auto t = Truncate(window->value);
    const RasterFont* font = FontOf(window);
    if (font && t >= 0 && t < kRepairTeams) {
        const int lang = Language();
        const ClipRect clip = RectOf(window);
        const int32_t x = Left(window) + 4, y = Top(window) + 12;
        const ShipSystem* system = gShipSystems.teams[t].system;
        if (system) {
            PanelText(canvas, font, kTeamColour, x, y, clip, kRepairTeamText[lang], t + 1);
            DrawAt(canvas, system->names[lang], font, kTeamColour, x, y + 10, clip);
            PanelText(canvas, font, kTeamColour, x, y + 20, clip, "DAMAGE %i",
                      Truncate((1.0 - system->health) * 100));
            PanelText(canvas, font, kTeamColour, x, y + 30, clip, "TIME %i", system->repairTime);
        } else {
            PanelText(canvas, font, kTeamColour, x, y, clip, kIdleTeamText[lang], t + 1);
        }
    }
    KeepRedrawing(window);
    FlashHighlight(canvas, window);
}

void guiDrawIndicatorWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    const bool lit = window->text && window->text[0];
    const Bitmap* picture = lit ? window->bitmapDown : window->bitmapUp;
    if (picture)
        CanvasBlit(canvas, *picture, Left(window), Top(window));
    FlashHighlight(canvas, window);
}

void guiDrawHotTextWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    FillInside(canvas, window, 0);
    if (const RasterFont* font = (window->flags & kWindowHot) ? gFontR : gFontB)
        DrawWrapped(canvas, window, window->text, font, Left(window) + 2, CentredBaseline(window, font));
    FlashHighlight(canvas, window);
}

void guiDrawTitledBoxWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    DrawRect(canvas, window);
    const RasterFont* font = FontOf(window);
    if (font && window->text) {
        int16_t width = 0, height = 0;
        TextMeasure(window->text, font, width, height);
        const int32_t x = Left(window) + (Right(window) - Left(window) + 1 - width) / 2;
        DrawAt(canvas, window->text, font, kTitleColour, x, Top(window) + font->height + 2, RectOf(window));
    }
    guiRedrawOverlapping(window);
    FlashHighlight(canvas, window);
}

void guiDrawOutlinedButtonWindow(WindowHandle* window)
{
    guiDrawButtonWindow(window);
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    if (window->flags & kWindowOutlined)
        guiDrawOutline(canvas, kBoxColour, Narrow(Left(window) - 1), Narrow(Top(window) - 1),
                       Narrow(Right(window) + 1), Narrow(Bottom(window) + 1));
    guiRedrawOverlapping(window);
}

void guiDrawLevelHBarWindow(WindowHandle* window)
{
    Canvas canvas;
    if (!Placed(window, canvas))
        return;
    KeepRedrawing(window);
    if (!ClampMeter(window, 0.0f))
        return;
    uint8_t colour = kLevelLow;
    for (const LevelBand& b : kLevelBands)
        if (window->value > b.threshold * window->maximum) {
            colour = b.colour;
            break;
        }
    const int32_t left = Left(window), right = Right(window);
    const auto barEnd =
        static_cast<int32_t>(left + 2 + static_cast<double>(right - left - 3) * window->value / window->maximum);
    window->auxShort = Narrow(barEnd);
    FillInside(canvas, window, 0);
    Outline(canvas, window, colour);
    CanvasFillRect(canvas, colour, Narrow(left + 2), Narrow(Top(window) + 2), Narrow(barEnd - 1),
                   Narrow(Bottom(window) - 2));
    FlashHighlight(canvas, window);
}

void guiDrawRightArrowWindow(WindowHandle* window)
{
    SideArrow(window, true);
}

void guiDrawLeftArrowWindow(WindowHandle* window)
{
    SideArrow(window, false);
}

void guiDrawEngToggleWindow(WindowHandle* window)
{
    const auto layer = Truncate(window->value);
    const bool known = layer >= 0 && layer < kEngLayers;
    window->text = known ? gEngPanel.layerLabels[layer] : nullptr;
    window->check = known && (gEngPanel.layerMask & gEngPanel.layerBits[layer]) ? 255 : 0;
    guiDrawButtonWindow(window);
    Canvas canvas;
    if (window->check && Placed(window, canvas))
        Outline(canvas, window, kLevelLow);
}

void guiDrawEngTabMarkerWindow(WindowHandle* window)
{
    window->x = Narrow(98 * gEngPanel.selectedTab - 48);
    guiDrawButtonWindow(window);
}

void guiDrawEngSystemListWindow(WindowHandle* window)
{
    Canvas canvas;
    if (gEngPanel.selectedTab != 1 || !Placed(window, canvas))
        return;
    const RasterFont* font = FontOf(window);
    if (font) {
        const int lang = Language();
        const ClipRect clip = RectOf(window);
        const ClipRect teamClip{Narrow(clip.left - 10), clip.top, clip.right, clip.bottom};
        const auto group = Truncate(window->value);
        int32_t y = Top(window) + 12;
        for (const ShipSystem* system : gShipSystems.order) {
            if (!system || system->repairClass != group)
                continue;
            const char* name = system->names[lang] ? system->names[lang] : "";
            int16_t width = 0, height = 0;
            TextMeasure(name, font, width, height);
            CanvasFillRectClipped(canvas, 0, clip, Left(window), Narrow(y - 9), Narrow(Left(window) + width),
                                  Narrow(y));
            DrawAt(canvas, name, font, HealthColour(system->health), Left(window), y, clip);
            if (system == gEngPanel.selectedSystem)
                guiDrawOutline(canvas, kBoxColour, Narrow(Left(window) - 2), Narrow(y - 10),
                               Narrow(Right(window) + 2), Narrow(y + 1));
            if (system->repairTeam)
                PanelText(canvas, font, kTeamListColour, Left(window) - 8, y, teamClip, "%i",
                          system->repairTeam->index + 1);
            y += 11;
        }
    }
    FlashHighlight(canvas, window);
}

void guiDrawSystemHealthSquares(const Canvas& canvas, const SceneItem* ship, int32_t first, int32_t last, int16_t x,
                                int16_t y)
{
    if (!ship || !ship->sim)
        return;
    const bool all = first == 0 && last == 0;
    int32_t index = 0;
    int32_t column = 0;
    for (const ShipSystem* s = ship->sim->systems; s && index < kMaxShipSystems; s = s->next, ++index) {
        if (!all && (index < first || index > last))
            continue;
        const auto left = Narrow(x + kSquarePitch * column++);
        CanvasFillRect(canvas, SquareColour(s->health), left, y, Narrow(left + 1), Narrow(y + 1));
    }
}

void guiDrawSystemsHealthWindow(WindowHandle* window)
{
    Canvas canvas;
    SceneItem* ship = guiViewedItems(window);
    if (!ship || ship != gPlayerItem || !Placed(window, canvas))
        return;
    guiDrawSystemHealthSquares(canvas, ship, Truncate(window->value),
                               Truncate(window->maximum), Left(window), Top(window));
}
