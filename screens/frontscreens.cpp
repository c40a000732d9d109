// The front-end screens: the state table and its transition driver, the
// set-up routine of each front-end screen, and the one key handler they
// share (with the captain's name entry).
#include "screens/frontscreens.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "screens/bridge.h"
#include "screens/frontend.h"
#include "script/configstatements.h"
#include "script/symbols.h"
#include "system/canvas.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/text.h"
#include "ui/drawtypes.h"
#include "ui/screens.h"
#include "ui/windows.h"

// clang-format off
const FrontStateRow kFrontStates[kFrontStateCount] = {
    /*  0 */ {nullptr, nullptr, 0},
    /*  1 */ {nullptr, nullptr, 2},
    /*  2 */ {"FrontHome", "Fspn.smk", 2},
    /*  3 */ {nullptr, nullptr, 2},
    /*  4 */ {nullptr, "Fros.smk", 5},
    /*  5 */ {"FrontRoster", "Frosstat.smk", 5},
    /*  6 */ {nullptr, "Fcr.smk", 2},
    /*  7 */ {nullptr, "Frup.smk", 5},
    /*  8 */ {nullptr, "Frdwn.smk", 5},
    /*  9 */ {nullptr, "Fhop.smk", 10},
    /* 10 */ {"FrontTime", nullptr, 10},
    /* 11 */ {nullptr, "Fhcl.smk", 5},
    /* 12 */ {nullptr, "Fochp.smk", 13},
    /* 13 */ {"OptionScreen", nullptr, 13},
    /* 14 */ {nullptr, "Fcchp.smk", 2},
    /* 15 */ {nullptr, nullptr, 16},
    /* 16 */ {nullptr, nullptr, 16},
    /* 17 */ {nullptr, nullptr, 2},
    /* 18 */ {nullptr, "Foflm.smk", 19},
    /* 19 */ {"FrontCredits", "Fcredits.smk", 19},
    /* 20 */ {nullptr, "Fcflm.smk", 2},
    /* 21 */ {nullptr, "Faop.smk", 22},
    /* 22 */ {"FrontAction", nullptr, 22},
    /* 23 */ {nullptr, "Facl.smk", 2},
};

const HomeChoice kHomeChoiceTable[kHomeChoices] = {
    {{"Roster", "Roster", "Personaldateien"}, kFrontToRoster},
    {{"Instant Action", "Instant Action", "Instant Action"}, kFrontToAction},
    {{"Credits", "Credits", "Nachspann"}, kFrontToCredits},
    {{"Options", "Options", "Options"}, kFrontToOptions},
};
// clang-format on

FrontScreens gFrontScreens = {};

namespace {

constexpr const char* kClipFolder = "zqk\\resource\\video\\";

// Scan codes the handler reads.
constexpr uint8_t kScanEscape = 1;
constexpr uint8_t kScanBackspace = 14;
constexpr uint8_t kScanEnter = 28;
constexpr uint8_t kScanShiftLeft = 0x2A;
constexpr uint8_t kScanShiftRight = 0x36;
constexpr uint8_t kScanUp = 0x48;
constexpr uint8_t kScanLeft = 0x4B;
constexpr uint8_t kScanRight = 0x4D;
constexpr uint8_t kScanDown = 0x50;
constexpr uint8_t kScanZero = 11, kScanEquals = 13, kScanQ = 16, kScanO = 24, kScanP = 25;

constexpr int16_t kOptionsStation = 5;
constexpr int16_t kConfirmDelete = 97;
constexpr int kTextInsertDisc = 51;

const FrontStateRow& Row(int16_t state)
{
    return kFrontStates[state > 0 && state < kFrontStateCount ? state : 0];
}

int Language()
{
    return gSettings.language <= 2 ? gSettings.language : 0;
}

const RasterFont* FontNamed(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol || !symbol->value || SymbolHoldsValueBytes(symbol) || (symbol->type & kSymbolSceneItem))
        return nullptr;
    return static_cast<const RasterFont*>(ResGet(static_cast<Resource*>(symbol->value)));
}

ClipRect RectOf(const WindowHandle* window)
{
    return {window->rect[0], window->rect[1], window->rect[2], window->rect[3]};
}

void Request(int16_t state)
{
    gFrontScreens.requested = state;
}

// --- The current mission entry ------------------------------------------------

// The entry becomes the current one and its mission the selected mission;
// the debrief button follows its text, the debrief view closes.
void SelectEntry(MissionListEntry* entry)
{
    gFrontEnd.currentEntry = entry;
    if (entry && entry->mission)
        gFrontEnd.selectedMission = entry->mission->index;
    gFrontScreens.debriefButtonShown = entry && MissionEntryDebrief(*entry) ? 255 : 0;
    gFrontScreens.debriefShown = 0;
    gFrontScreens.whatMissionShown = 255;
}

int EntryIndexIn(const MissionList& list)
{
    const MissionListEntry* entry = gFrontEnd.currentEntry;
    if (!entry || entry < list.entries || entry >= list.entries + list.count)
        return -1;
    return static_cast<int>(entry - list.entries);
}

// Scrolls the list so that the entry is centred in its element along the
// list's axis, within the content.
void CentreEntry(MissionList& list, const MissionListEntry& entry, const WindowHandle* window)
{
    if (!window)
        return;
    const int element = list.vertical ? window->height : window->width;
    const int content = list.vertical ? list.contentHeight : list.contentWidth;
    const int middle = list.vertical ? (entry.top + entry.bottom) / 2 : (entry.left + entry.right) / 2;
    const int scroll = std::clamp(middle - element / 2, 0, std::max(0, content - element));
    (list.vertical ? list.scrollY : list.scrollX) = static_cast<int16_t>(scroll);
}

// The timeline's arrow keys: Up and Down walk the available list, Left and
// Right the completed one.
void StepTimeline(uint8_t scan)
{
    const bool vertical = scan == kScanUp || scan == kScanDown;
    MissionList& list = vertical ? gAvailableList : gCompletedList;
    if (list.count == 0)
        return;
    const int at = EntryIndexIn(list);
    const bool back = scan == kScanUp || scan == kScanLeft;
    int to = 0;
    if (back) {
        // Left from an entry of the other list goes to the last completed one.
        const bool fromAvailable = !vertical && EntryIndexIn(gAvailableList) >= 0;
        to = at > 0 ? at - 1 : (fromAvailable ? list.count - 1 : 0);
    } else if (at < 0) {
        to = vertical ? list.count - 1 : 0;
    } else {
        if (at + 1 >= list.count)
            return; // nothing after the last
        to = at + 1;
    }
    SelectEntry(&list.entries[to]);
    CentreEntry(list, list.entries[to], vertical ? gFrontScreens.availableWindow : gFrontScreens.completedWindow);
    guiRequestFullRedraw();
}

// --- Shared actions -------------------------------------------------------------

void StepSlot(int32_t step)
{
    StepCaptainSlot(step);
    Request(step < 0 ? kFrontSlotDown : kFrontSlotUp);
}

void EnterTimeline()
{
    Request(kFrontToTimeline);
    RebuildMissionLists();
}

// The common exit of the roster and the option page: each state's way out.
struct ExitRow {
    int16_t from, to;
    bool savesCareer;
};
constexpr ExitRow kExits[] = {
    {kFrontRoster, kFrontRosterToHome, true},
    {kFrontOptions, kFrontOptionsToHome, false},
    {16, 17, false},
    {kFrontCredits, kFrontCreditsToHome, false},
    {kFrontAction, kFrontActionToHome, false},
};

void CommonExit(WindowHandle*)
{
    for (const ExitRow& exit : kExits)
        if (exit.from == gFrontScreens.current) {
            if (exit.savesCareer)
                WriteCaptainSlot();
            Request(exit.to);
            return;
        }
}

void Escape()
{
    if (CurrentStation == kOptionsStation) {
        LeaveOptionsScreen();
        return;
    }
    const int16_t state = gFrontScreens.current;
    if (!Row(state).screen || state + 1 >= kFrontStateCount || Row(static_cast<int16_t>(state + 1)).next == state)
        return;
    guiGotoScreen("FrontRoster");
    Request(static_cast<int16_t>(state + 1));
    WriteCaptainSlot();
}

void LaunchFirstPlayable()
{
    if (gFrontScreens.playNew)
        LaunchSelectedMission(kLaunchNew);
    else if (gFrontScreens.playAgain)
        LaunchSelectedMission(kLaunchReplay);
    else if (gFrontScreens.playExtra)
        LaunchSelectedMission(kLaunchExtra);
}

// Printable CP1252 characters: the name takes them and nothing else.
bool NameCharacter(uint8_t c)
{
    return (c >= 0x20 && c <= 0x7E) || c >= 0xA0;
}

// A captain still under the name a new career gets is named afresh: the
// first key typed starts the name rather than lengthening the default.
void StartNameEntry()
{
    gFrontScreens.nameEntry = 255;
    CaptainSlot.name[kCaptainNameSize - 1] = 0;
    if (CaptainHasDefaultName())
        CaptainSlot.name[0] = 0;
    gFrontScreens.nameLength = static_cast<int16_t>(std::strlen(CaptainSlot.name));
}

void EndNameEntry()
{
    gFrontScreens.nameEntry = 0;
    ClaimCaptainSlot();
    WriteCaptainSlot();
}

void NameEntryKey(uint8_t scan, uint8_t character)
{
    int16_t& length = gFrontScreens.nameLength;
    if (scan == kScanBackspace) {
        if (length > 0)
            CaptainSlot.name[--length] = 0;
    } else if (scan == kScanEnter) {
        EndNameEntry();
    } else if (NameCharacter(character) && length < kCaptainNameLength) {
        CaptainSlot.name[length++] = static_cast<char>(character);
        CaptainSlot.name[length] = 0;
    }
}

// The keys with Shift held; false when the key is not one of them.
bool ShiftKey(uint8_t scan)
{
    if (gSettings.debug) {
        if (scan == kScanZero) {
            DevCompleteAllMissions();
            return true;
        }
        if (scan == kScanEquals) {
            DevToggleSelectedOutcome();
            return true;
        }
        if (scan == kScanBackspace) {
            DevCompleteSelectedMission();
            return true;
        }
        if (scan == kScanP) {
            SaveScreenshot(ScreenCanvas());
            return true;
        }
    }
    if (scan == kScanQ) {
        if (gFrontScreens.current == kFrontHome) {
            guiClearScreenBuffers();
            gLoopFlags.quitRequest = 1;
        } else {
            Escape();
        }
        return true;
    }
    if (scan == kScanO) {
        if (CurrentStation == kOptionsStation)
            LeaveOptionsScreen();
        return true;
    }
    return false;
}

// Home arrows on the 2 x 2 grid (0 1 / 2 3).
void MoveHighlight(uint8_t scan)
{
    int16_t& h = gFrontScreens.highlight;
    if (scan == kScanUp || scan == kScanDown)
        h = static_cast<int16_t>(h ^ 2);
    else
        h = static_cast<int16_t>(h ^ 1);
}

// --- Drawing --------------------------------------------------------------------

// A line of text (up to 127 characters: a question's line or a caption) in
// the font's own colours.
void DrawInFontColours(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const RasterFont* font,
                       const ClipRect& clip)
{
    static const uint8_t kFontZero[128] = {};
    char cut[sizeof kFontZero];
    const std::size_t length = text ? std::min(std::strlen(text), sizeof cut - 1) : 0;
    std::memcpy(cut, text ? text : "", length);
    cut[length] = 0;
    const RasterFont* fonts[1] = {font};
    CanvasDrawTextMixed(canvas, x, y, cut, kFontZero, fonts, clip);
}

void OutlineElement(const WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels)
        return;
    const int16_t* r = window->rect;
    guiDrawOutline(screen, 0, r[0], r[1], r[2], r[3]);
    guiDrawOutline(screen, 0, static_cast<int16_t>(r[0] + 1), static_cast<int16_t>(r[1] + 1),
                   static_cast<int16_t>(r[2] - 1), static_cast<int16_t>(r[3] - 1));
}

void HomeMovieDraw(WindowHandle* window)
{
    RunFrontTransition(window);
    const RasterFont* font = FontNamed("FrontB");
    const Canvas screen = ScreenCanvas();
    if (!font || !screen.pixels)
        return;
    const int16_t highlight = std::clamp<int16_t>(gFrontScreens.highlight, 0, kHomeChoices - 1);
    const char* caption = kHomeChoiceTable[highlight].caption[Language()];
    int16_t width = 0, height = 0;
    TextMeasure(caption, font, width, height);
    int16_t x = static_cast<int16_t>((window->rect[0] + window->rect[2] - width) / 2);
    int16_t y = static_cast<int16_t>(window->rect[3] - height / 2);
    DrawInFontColours(screen, x, y, caption, font, CanvasBounds(screen));
}

// --- The timeline's drawing ----------------------------------------------------

// Colours of the timeline (palette indices).
constexpr uint8_t kGridColour = 84;
constexpr uint8_t kEntryColour = 90, kCurrentEntryColour = 98;
constexpr uint8_t kRestartableColour = 154, kCurrentRestartableColour = 160;
constexpr uint8_t kRestartableText = 152, kCurrentRestartableText = 158;
constexpr uint8_t kFrameColour = 96;
constexpr uint8_t kButtonHot = 97, kButtonHotDisabled = 89;
constexpr int kGridStep = 32;

ClipRect Inside(const WindowHandle* window)
{
    return {window->rect[0], window->rect[1], window->rect[2], window->rect[3]};
}

void ClearElement(const Canvas& screen, const WindowHandle* window)
{
    CanvasFillRectClipped(screen, 0, Inside(window), window->rect[0], window->rect[1], window->rect[2],
                          window->rect[3]);
}

// Text in one colour standing on the pen line, or in the font's own colours
// for colour -1.
void DrawTextAt(const Canvas& screen, int x, int y, const char* text, const RasterFont* font, int colour,
                const ClipRect& clip)
{
    if (!text || !font)
        return;
    int16_t px = static_cast<int16_t>(x), py = static_cast<int16_t>(y);
    if (colour < 0)
        DrawInFontColours(screen, px, py, text, font, clip);
    else
        CanvasDrawText(screen, px, py, text, font, static_cast<uint8_t>(colour), clip);
}

void DrawTextCentred(const Canvas& screen, int left, int right, int y, const char* text, const RasterFont* font,
                     int colour, const ClipRect& clip)
{
    if (!text || !font)
        return;
    int16_t width = 0, height = 0;
    TextMeasure(text, font, width, height);
    DrawTextAt(screen, (left + right + 1 - width) / 2, y, text, font, colour, clip);
}

const RasterFont* RegularFont()
{
    return FontNamed("RFont");
}

bool Restartable(const MissionList& list, int i)
{
    const MissionListEntry& e = list.entries[i];
    return &list == &gCompletedList && ((e.mission && e.mission->branchMission > 0) || i == list.count - 1);
}

// One list entry at the list's origin: its box, the line above its foot,
// the title word-wrapped and the score.
void DrawListEntry(const Canvas& screen, const MissionList& list, int i, int ox, int oy, const ClipRect& clip)
{
    const MissionListEntry& e = list.entries[i];
    const bool current = gFrontEnd.currentEntry == &e;
    const bool restartable = Restartable(list, i);
    const uint8_t box = restartable ? (current ? kCurrentRestartableColour : kRestartableColour)
                                    : (current ? kCurrentEntryColour : kEntryColour);
    const int text = restartable ? (current ? kCurrentRestartableText : kRestartableText) : -1;
    const int l = ox + e.left, t = oy + e.top, r = ox + e.right, b = oy + e.bottom;
    auto line = [&](int x1, int y1, int x2, int y2, uint8_t colour) {
        CanvasLineClipped(screen, static_cast<int16_t>(x1), static_cast<int16_t>(y1), static_cast<int16_t>(x2),
                          static_cast<int16_t>(y2), colour, clip);
    };
    line(l, t, r, t, box);
    line(r, t, r, b, box);
    line(r, b, l, b, box);
    line(l, b, l, t, box);
    line(l, b - 20, r, b - 20, box);
    if (&list == &gCompletedList && i + 1 < list.count)
        line(r, (t + b) / 2, r + 8, (t + b) / 2, box); // the connector to the next
    const RasterFont* font = gMissionListFont ? gMissionListFont : RegularFont();
    if (!font || !e.mission)
        return;
    const ClipRect inside = {static_cast<int16_t>(std::max<int>(clip.left, l + 1)),
                             static_cast<int16_t>(std::max<int>(clip.top, t + 1)),
                             static_cast<int16_t>(std::min<int>(clip.right, r - 1)),
                             static_cast<int16_t>(std::min<int>(clip.bottom, b - 1))};
    if (inside.left > inside.right || inside.top > inside.bottom)
        return;
    int16_t x = static_cast<int16_t>(l + 5), y = static_cast<int16_t>(t + font->height);
    CanvasTextWrapWidth(screen, x, y, e.mission->title, font, inside, static_cast<int16_t>(e.width - 10));
    char number[32];
    const bool completed = e.kind != 0;
    std::snprintf(number, sizeof number, "%i", completed ? e.score : e.maxScore);
    DrawTextAt(screen, l + 5, b - 5, number, font, text, inside);
    if (completed && e.maxScore > 0) {
        std::snprintf(number, sizeof number, "%i%%", static_cast<int>(int64_t{e.score} * 100 / e.maxScore));
        DrawTextCentred(screen, l, r, b - 5, number, font, text, inside);
    }
    if (completed && e.mission->missionNumber >= kExtraMissionNumber) {
        std::snprintf(number, sizeof number, "%i:%02i", e.time / 6000, (e.time / 100) % 60);
        DrawTextAt(screen, r - 40, b - 5, number, font, text, inside);
    }
}

// The background grid's offsets of the two lists (x, y), moved five times
// as far as the list when the edge scroll moves it.
int32_t gGridOffsets[2][2] = {};

int32_t (&GridOffsets(const MissionList& list))[2]
{
    return gGridOffsets[&list == &gCompletedList ? 1 : 0];
}

// The per-frame edge scroll of a mission list: near an edge of the element
// (the outer third each way) the list moves toward it, faster the nearer
// the mouse, and never past its content; the scroll along the list's own
// axis is then kept within the content.
void MissionListScroll(WindowHandle* window)
{
    guiTickWindow(window);
    MissionList& list = window == gFrontScreens.completedWindow ? gCompletedList : gAvailableList;
    const int16_t* r = window->rect;
    const int width = r[2] - r[0] + 1, height = r[3] - r[1] + 1;
    if (width <= 0 || height <= 0)
        return;
    const bool inside = gWindows.mouseX >= r[0] && gWindows.mouseX <= r[2] && gWindows.mouseY >= r[1] &&
                        gWindows.mouseY <= r[3];
    if (inside) {
        const float speed = static_cast<float>(std::min<int32_t>(gFrameClock.frameTicks, 4));
        struct Axis {
            float f;
            int16_t& scroll;
            int content, size;
            int32_t& grid;
        };
        Axis axes[2] = {
            {static_cast<float>(gWindows.mouseX - r[0]) / width, list.scrollX, list.contentWidth, width,
             GridOffsets(list)[0]},
            {static_cast<float>(gWindows.mouseY - r[1]) / height, list.scrollY, list.contentHeight, height,
             GridOffsets(list)[1]},
        };
        for (Axis& a : axes) {
            if (a.content <= a.size + 10)
                continue;
            int step = 0;
            if (a.f < 0.33f)
                step = -static_cast<int>(speed * (0.33f - a.f) * 9.0f);
            else if (a.f > 0.67f)
                step = static_cast<int>(speed * (a.f - 0.67f) * 9.0f);
            const int moved = std::clamp(a.scroll + step, 0, a.content - a.size) - a.scroll;
            a.scroll = static_cast<int16_t>(a.scroll + moved);
            a.grid += moved * 5;
        }
    }
    int16_t& along = list.vertical ? list.scrollY : list.scrollX;
    const int content = list.vertical ? list.contentHeight : list.contentWidth;
    const int size = list.vertical ? height : width;
    along = static_cast<int16_t>(content <= size ? 0 : std::clamp<int>(along, 0, content - size));
}

// The draw of the two mission lists: a grid that moves with the scroll,
// then the entries from the list's origin (centred when they fit).
void MissionListDraw(WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels)
        return;
    const MissionList& list = window == gFrontScreens.completedWindow ? gCompletedList : gAvailableList;
    const ClipRect clip = Inside(window);
    ClearElement(screen, window);
    const int left = window->rect[0], top = window->rect[1], right = window->rect[2], bottom = window->rect[3];
    const int32_t(&grid)[2] = GridOffsets(list);
    for (int x = left - (list.scrollX + grid[0]) % kGridStep; x <= right; x += kGridStep)
        if (x >= left)
            CanvasLineClipped(screen, static_cast<int16_t>(x), static_cast<int16_t>(top), static_cast<int16_t>(x),
                              static_cast<int16_t>(bottom), kGridColour, clip);
    for (int y = top - (list.scrollY + grid[1]) % kGridStep; y <= bottom; y += kGridStep)
        if (y >= top)
            CanvasLineClipped(screen, static_cast<int16_t>(left), static_cast<int16_t>(y), static_cast<int16_t>(right),
                              static_cast<int16_t>(y), kGridColour, clip);
    const int width = right - left + 1, height = bottom - top + 1;
    int ox = left - list.scrollX, oy = top - list.scrollY;
    if (list.contentWidth < width)
        ox = left + (width - list.contentWidth) / 2;
    if (list.contentHeight < height)
        oy = top + (height - list.contentHeight) / 2;
    for (int i = 0; i < list.count; ++i)
        DrawListEntry(screen, list, i, ox, oy, clip);
}

// The play buttons, each by its flag, with its caption by language.
struct TimelineButton {
    const char* element;
    const char* caption[3];
    uint8_t FrontScreens::*flag;
};
// clang-format off
constexpr TimelineButton kTimelineButtons[] = {
    {"TimPlayMN",  {"Play", "Jouer", "Spielen"}, &FrontScreens::playNew},
    {"TimPlayMA",  {"Play again", "Rejouer", "Nochmal"}, &FrontScreens::playAgain},
    {"TimPlayMT",  {"Extra", "Bonus", "Extra"}, &FrontScreens::playExtra},
    {"TimRestart", {"Restart", "Reprendre", "Neustart"}, &FrontScreens::playRestart},
    {"TimDelete",  {"Delete", "Effacer", "L\xF6schen"}, nullptr}, // always possible
};
// clang-format on

// A button: its caption at left + 2 in the regular font when it can be
// used, else in the dim font; corner brackets around it while the mouse is
// over it.
void TimelineButtonDraw(WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels)
        return;
    const TimelineButton* button = nullptr;
    for (const TimelineButton& b : kTimelineButtons)
        if (window->elementName && std::strcmp(window->elementName, b.element) == 0)
            button = &b;
    if (!button)
        return;
    const bool usable = !button->flag || gFrontScreens.*(button->flag);
    ClearElement(screen, window);
    const RasterFont* font = usable ? RegularFont() : FontNamed("DimFont");
    const int baseline = window->rect[1] + (window->rect[3] - window->rect[1] + 1 + (font ? font->height / 2 : 0)) / 2;
    DrawTextAt(screen, window->rect[0] + 2, baseline, button->caption[Language()], font, -1, CanvasBounds(screen));
    const bool over = gWindows.mouseX >= window->rect[0] && gWindows.mouseX <= window->rect[2] &&
                      gWindows.mouseY >= window->rect[1] && gWindows.mouseY <= window->rect[3];
    const uint8_t colour = over ? (usable ? kButtonHot : kButtonHotDisabled) : 0;
    DrawCornerBrackets(static_cast<int16_t>(window->rect[0] - 4), window->rect[1], window->rect[2],
                       static_cast<int16_t>(baseline + 5), 6, colour);
}

// The career history: its heading and the fixed frame of the timeline.
void CareerHistoryDraw(WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels)
        return;
    static const char* const kHeading[3] = {"Career history", "Historique", "Laufbahn"};
    DrawTextCentred(screen, window->rect[0], window->rect[2], (window->rect[1] + window->rect[3]) / 2 + 4,
                    kHeading[Language()], RegularFont(), -1, CanvasBounds(screen));
    static constexpr int16_t kFrame[][4] = {
        {49, 107, 600, 107},
        {49, 108, 600, 108},
        {324, 64, 324, 106},
        {324, 86, 599, 86},
        {131, 132, 599, 132},
        {130, 109, 130, 442},
        {460, 109, 460, 442},
    };
    for (const auto& l : kFrame)
        CanvasLineClipped(screen, l[0], l[1], l[2], l[3], kFrameColour, CanvasBounds(screen));
}

void RatingDraw(WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels)
        return;
    ClearElement(screen, window);
    char text[96];
    std::snprintf(text, sizeof text, "%i %s", CaptainSlot.totalScore, RatingForScore(CaptainSlot.totalScore));
    DrawTextAt(screen, window->rect[0] + 4, window->rect[3] - 4, text, RegularFont(), -1, Inside(window));
}

const MissionRecord& SelectedRecord()
{
    return MissionTable[std::clamp<int>(gFrontEnd.selectedMission, 0, kMissionCount - 1)];
}

// The selected mission's best score and time, while the what-mission box
// is shown.
void WhatMissionDraw(WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels || !gFrontScreens.whatMissionShown)
        return;
    ClearElement(screen, window);
    const int16_t* r = window->rect;
    guiDrawOutline(screen, kFrameColour, r[0], r[1], r[2], r[3]);
    const RasterFont* font = RegularFont();
    if (!font)
        return;
    const MissionRecord& m = SelectedRecord();
    const int index = std::clamp<int>(gFrontEnd.selectedMission, 0, kMissionCount - 1);
    const int32_t best = CaptainSlot.missionScore[index], time = CaptainSlot.missionTime[index];
    const int32_t maximum = m.maxScore != 0 ? m.maxScore : 1;
    static const char* const kScore[3] = {"Best Score: %i  %i%%", "Meilleur Score: %i  %i%%",
                                          "h\xF6"
                                          "chste Punktzahl: %i  %i%%"};
    static const char* const kTime[3] = {"Best Time: %i:%02i", "Meilleur Temps: %i:%02i", "beste Zeit: %i:%02i"};
    char score[96], best_time[64];
    std::snprintf(score, sizeof score, kScore[Language()], best, static_cast<int>(int64_t{best} * 100 / maximum));
    std::snprintf(best_time, sizeof best_time, kTime[Language()], time / 6000, (time / 100) % 60);
    const ClipRect clip = Inside(window);
    // The figures in the console font when there is one: they fit a narrow box.
    const RasterFont* figures = FontNamed("ConsFont") ? FontNamed("ConsFont") : font;
    const int step = font->height + 4;
    DrawTextCentred(screen, r[0], r[2], r[1] + step, m.title, font, -1, clip);
    DrawTextCentred(screen, r[0], r[2], r[1] + 2 * step, score, figures, -1, clip);
    DrawTextCentred(screen, r[0], r[2], r[1] + 3 * step, best_time, figures, -1, clip);
}

// The debrief view: the selected mission's title and, 40 pixels below, the
// current entry's debrief text.
void DebriefViewDraw(WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels || !gFrontScreens.debriefShown)
        return;
    ClearElement(screen, window);
    const RasterFont* font = RegularFont();
    if (!font)
        return;
    const int16_t* r = window->rect;
    const ClipRect clip = Inside(window);
    DrawTextCentred(screen, r[0], r[2], r[1] + font->height, SelectedRecord().title, font, -1, clip);
    const char* text = gFrontEnd.currentEntry ? MissionEntryDebrief(*gFrontEnd.currentEntry) : nullptr;
    if (!text)
        return;
    int16_t x = static_cast<int16_t>(r[0] + 4), y = static_cast<int16_t>(r[1] + font->height + 40);
    CanvasTextWrapWidth(screen, x, y, text, font, clip, static_cast<int16_t>(r[2] - r[0] - 8));
}

void DebriefOnClick(WindowHandle*)
{
    if (!gFrontEnd.currentEntry || !MissionEntryDebrief(*gFrontEnd.currentEntry))
        return;
    gFrontScreens.whatMissionShown = 0;
    gFrontScreens.debriefShown = 255;
    gFrontScreens.debriefButtonShown = 0;
    guiRequestFullRedraw();
}

void DebriefOffClick(WindowHandle*)
{
    gFrontScreens.whatMissionShown = 255;
    gFrontScreens.debriefShown = 0;
    gFrontScreens.debriefButtonShown = gFrontEnd.currentEntry && MissionEntryDebrief(*gFrontEnd.currentEntry) ? 255 : 0;
    guiRequestFullRedraw();
}

// The disc request and the yes/no question: a text of the language table,
// centred in the element (the disc request's with the disc number).
void CentredTableText(WindowHandle* window, const char* text)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels || !text)
        return;
    ClearElement(screen, window);
    const RasterFont* font = RegularFont();
    DrawTextCentred(screen, window->rect[0], window->rect[2], (window->rect[1] + window->rect[3]) / 2 + 4, text, font,
                    -1, Inside(window));
}

void InsertDiscDraw(WindowHandle* window)
{
    const char* format = gTextTable[kTextInsertDisc];
    char text[128];
    if (format) {
        std::snprintf(text, sizeof text, "%s", format);
        if (const char* at = std::strstr(format, "%i"))
            std::snprintf(text, sizeof text, "%.*s%i%s", static_cast<int>(at - format), format, gFrontEnd.disc, at + 2);
    }
    CentredTableText(window, format ? text : nullptr);
}

void ConfirmDraw(WindowHandle* window)
{
    const int16_t number = gFrontScreens.confirmText;
    CentredTableText(window, number >= 0 && number < kTextTableEntries ? gTextTable[number] : nullptr);
}

// Instant Action starts as soon as its screen is drawn.
void ActionMovieDraw(WindowHandle* window)
{
    gFrontEnd.missionScriptPresent = 255;
    gFrontEnd.selectedMission = kInstantActionIndex;
    gFrontEnd.launchMode = kLaunchExtra;
    ChooseMissionDisc(MissionNumberAtIndex(kInstantActionIndex));
    RunFrontTransition(window);
}

// A home square: highlighted while the mouse is over it (in the home state
// only), with corner brackets inside the highlighted one.
void HomeSquareDraw(WindowHandle* window)
{
    if (gFrontScreens.current != kFrontHome)
        return;
    if (guiHitTestRect(window, gWindows.mouseX, gWindows.mouseY))
        gFrontScreens.highlight = static_cast<int16_t>(window->value);
    if (static_cast<int16_t>(window->value) == gFrontScreens.highlight) {
        const int16_t* r = window->rect;
        DrawCornerBrackets(static_cast<int16_t>(r[0] + 10), static_cast<int16_t>(r[1] + 10),
                           static_cast<int16_t>(r[2] - 10), static_cast<int16_t>(r[3] - 10), 16, 64);
    }
}

void RosterSlotNumberDraw(WindowHandle* window)
{
    static char text[8];
    std::snprintf(text, sizeof text, "%2i", StateRecord.currentSlot + 1);
    window->text = text;
    guiDrawStringWindow(window);
}

void RosterSlotDraw(WindowHandle* window)
{
    window->text = CaptainSlot.name;
    if (gFrontScreens.current != kFrontRoster)
        return;
    const RasterFont* font = window->font ? static_cast<const RasterFont*>(ResGet(window->font)) : nullptr;
    const Canvas screen = ScreenCanvas();
    if (!font || !screen.pixels)
        return;
    char text[kCaptainNameSize + 8];
    std::snprintf(text, sizeof text, "%2i: %.23s", StateRecord.currentSlot + 1, CaptainSlot.name);
    CanvasDrawTextCentred(screen, text, font, RectOf(window));
}

void NameDraw(WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels)
        return;
    const int16_t* r = window->rect;
    CanvasFillRect(screen, 0, r[0], r[1], r[2], r[3]);
    const RasterFont* font = window->font ? static_cast<const RasterFont*>(ResGet(window->font)) : nullptr;
    // The name stands on a pen line near the element's foot, inside it.
    int16_t x = static_cast<int16_t>(r[0] + 4);
    int16_t y = static_cast<int16_t>(r[3] - 4);
    if (font)
        DrawInFontColours(screen, x, y, CaptainSlot.name, font, RectOf(window));
    if (gFrontScreens.nameEntry && gFrameClock.frameCounter % 50 >= 26)
        CanvasFillRect(screen, 160, x, r[1], static_cast<int16_t>(x + 4), r[3]);
    // While the name is typed it is drawn every frame: each key shows at
    // once and the caret blinks.
    if (gFrontScreens.nameEntry)
        window->redrawCount = std::max<int16_t>(window->redrawCount, 1);
}

// --- Clicks ---------------------------------------------------------------------

// The home elements that request a state by their element name.
struct StateClick {
    const char* element;
    int16_t state;
};
constexpr StateClick kHomeClicks[] = {
    {"FrSys", kFrontToOptions},
    {"FrRos", kFrontToRoster},
    {"FrCrd", kFrontToCredits},
    {"FrRosSq", kFrontToRoster},
    {"FrActSq", kFrontToAction},
    {"FrCrdSq", kFrontToCredits},
    {"FrSysSq", kFrontToOptions},
    {"CrdExit", kFrontCreditsToHome},
};

void RequestByElement(WindowHandle* window)
{
    for (const StateClick& click : kHomeClicks)
        if (window->elementName && std::strcmp(click.element, window->elementName) == 0)
            Request(click.state);
}

void QuitClick(WindowHandle*)
{
    gLoopFlags.quitRequest = 1;
}
void SlotDownClick(WindowHandle*)
{
    StepSlot(-1);
}
void SlotUpClick(WindowHandle*)
{
    StepSlot(1);
}
void RosterSlotClick(WindowHandle*)
{
    EnterTimeline();
}
void TimelineExitClick(WindowHandle*)
{
    WriteCaptainSlot();
    guiGotoScreen("FrontRoster");
    Request(kFrontTimelineToRoster);
}
void NameClick(WindowHandle*)
{
    if (gFrontScreens.nameEntry)
        EndNameEntry();
    else
        StartNameEntry();
}
void PlayNewClick(WindowHandle*)
{
    if (gFrontScreens.playNew)
        LaunchSelectedMission(kLaunchNew);
}
void PlayAgainClick(WindowHandle*)
{
    if (gFrontScreens.playAgain)
        LaunchSelectedMission(kLaunchReplay);
}
void PlayExtraClick(WindowHandle*)
{
    if (gFrontScreens.playExtra)
        LaunchSelectedMission(kLaunchExtra);
}
void RestartClick(WindowHandle*)
{
    if (gFrontScreens.playRestart)
        RestartFromMission();
}
void DeleteCareer()
{
    ClaimCaptainSlot();
    ResetCaptainSlot();
    RebuildMissionLists();
}
void DeleteClick(WindowHandle*)
{
    gFrontScreens.confirmText = kConfirmDelete;
    gFrontScreens.confirmAction = DeleteCareer;
    guiGotoScreen("Confirm");
}
void ConfirmOkClick(WindowHandle*)
{
    if (gFrontScreens.confirmAction)
        gFrontScreens.confirmAction();
    guiGotoScreen("FrontTime");
}
void BackToTimelineClick(WindowHandle*)
{
    guiGotoScreen("FrontTime");
}
void DiscOkClick(WindowHandle*)
{
    ChooseMissionDisc(MissionNumberAtIndex(gFrontEnd.selectedMission));
}

// The list element under the mouse picks the entry it shows there.
void ListClick(WindowHandle* window)
{
    MissionList& list = window == gFrontScreens.availableWindow ? gAvailableList : gCompletedList;
    const int x = gWindows.mouseX - window->rect[0] + list.scrollX;
    const int y = gWindows.mouseY - window->rect[1] + list.scrollY;
    for (int i = 0; i < list.count; ++i) {
        const MissionListEntry& e = list.entries[i];
        if (x >= e.left && x <= e.right && y >= e.top && y <= e.bottom) {
            SelectEntry(&list.entries[i]);
            CheckMissionScript();
            guiRequestFullRedraw();
            return;
        }
    }
}

// The play buttons follow the current entry: a completed one can be flown
// again (and restarted from when its outcome decides a branch, or it is
// the last one completed), a completed extra again as an extra, any other
// as new. The button's own tick follows (its click and its draw).
void PlayButtonsFrame(WindowHandle* window)
{
    FrontScreens& f = gFrontScreens;
    const MissionListEntry* entry = gFrontEnd.currentEntry;
    if (!entry) {
        guiTickWindow(window);
        return;
    }
    f.playNew = f.playAgain = f.playExtra = f.playRestart = 0;
    if (entry->kind == 1) {
        f.playAgain = 255;
        const bool last = gCompletedList.count > 0 && entry == &gCompletedList.entries[gCompletedList.count - 1];
        f.playRestart = (entry->mission && entry->mission->branchMission > 0) || last ? 255 : 0;
    } else if (entry->kind == 2) {
        f.playExtra = 255;
    } else {
        f.playNew = 255;
    }
    guiTickWindow(window);
}

// --- Set-up routines ------------------------------------------------------------

void SetupFrontHome()
{
    if (!gFrontScreens.clipsRegistered) {
        gMissionListFont = RegularFont();
        if (ReadMissionTable())
            RebuildMissionLists();
        for (const FrontStateRow& row : kFrontStates)
            if (row.clip)
                ResLoadNamed((std::string(kClipFolder) + row.clip).c_str(), ResType::Video);
        gFrontScreens.clipsRegistered = 255;
    }
    for (const char* element : {"FrSys", "FrRos", "FrCrd"})
        if (WindowHandle* w = guiBindClick(element, RequestByElement))
            w->draw = guiDrawHotTextWindow;
    const char* squares[kHomeChoices] = {"FrRosSq", "FrActSq", "FrCrdSq", "FrSysSq"};
    for (int i = 0; i < kHomeChoices; ++i)
        if (WindowHandle* w = guiBindClick(squares[i], RequestByElement)) {
            w->value = static_cast<float>(i);
            w->draw = HomeSquareDraw;
        }
    gFrontScreens.loadingWindow = guiBindDraw("HomeMov", HomeMovieDraw);
    guiBindClick("FExitButt", QuitClick);
    gFrontScreens.current = 0;
    gFrontScreens.requested = kFrontStart;
}

void SetupFrontRoster()
{
    guiBindDraw("RosMov", RunFrontTransition);
    guiBindDraw("RosSlotNo", RosterSlotNumberDraw);
    guiBindClick("RosSlotDn", SlotDownClick);
    guiBindClick("RosSlotUp", SlotUpClick);
    guiBindDraw("RosSlot", RosterSlotDraw);
    guiBindClick("RosSlot", RosterSlotClick);
    guiBindClick("RosExit", CommonExit);
}

void SetupFrontTime()
{
    guiBindClick("TimExit", TimelineExitClick);
    guiBindClick("TimName", NameClick);
    guiBindDraw("TimName", NameDraw);
    gFrontScreens.availableWindow = guiBindClick("TimNew", ListClick);
    gFrontScreens.completedWindow = guiBindClick("TimArchive", ListClick);
    guiBindClick("TimPlayMN", PlayNewClick);
    guiBindFrameHandler("TimPlayMN", PlayButtonsFrame);
    guiBindClick("TimPlayMA", PlayAgainClick);
    guiBindClick("TimPlayMT", PlayExtraClick);
    guiBindClick("TimRestart", RestartClick);
    guiBindClick("TimDelete", DeleteClick);
    guiBindDraw("TimNew", MissionListDraw);
    guiBindDraw("TimArchive", MissionListDraw);
    guiBindFrameHandler("TimNew", MissionListScroll);
    guiBindFrameHandler("TimArchive", MissionListScroll);
    for (const TimelineButton& button : kTimelineButtons)
        guiBindDraw(button.element, TimelineButtonDraw);
    guiBindDraw("TimCarHist", CareerHistoryDraw);
    guiBindDraw("TimRating", RatingDraw);
    guiBindDraw("WhatMiss", WhatMissionDraw);
    guiBindDraw("TimDbfScrn", DebriefViewDraw);
    guiBindClick("TimDbfOn", DebriefOnClick);
    guiBindClick("TimDbfOff", DebriefOffClick);
}

void SetupInsertCD()
{
    guiBindDraw("InsCD", InsertDiscDraw);
    guiBindClick("InsCDOK", DiscOkClick);
    guiBindClick("InsCDCancel", BackToTimelineClick);
}

void SetupConfirm()
{
    guiBindDraw("Cnf", ConfirmDraw);
    guiBindClick("CnfOK", ConfirmOkClick);
    guiBindClick("CnfCancel", BackToTimelineClick);
}

void SetupFrontCredits()
{
    guiBindDraw("CrdMov", RunFrontTransition);
    guiBindClick("CrdExit", RequestByElement);
}

void SetupFrontAction()
{
    guiBindDraw("ActMov", ActionMovieDraw);
}

// --- The option page ------------------------------------------------------------

constexpr const char* kOptionLabelElement = "OptS_";
constexpr const char* kOptionControlElement = "OptB_";
constexpr const char* kOptionsFile = "Kelvandrist.ini";
constexpr uint8_t kSliderFrameColour = 95, kKnobOutline = 154, kKnobRamp = 144;
constexpr int kKnobWidth = 12;

// The option an "OptS_" or "OptB_" element stands for: the element's name
// after its prefix; null for any other element.
GameOption* OptionOfElement(const WindowHandle* window)
{
    const char* name = window ? window->elementName : nullptr;
    if (!name)
        return nullptr;
    for (const char* prefix : {kOptionLabelElement, kOptionControlElement})
        if (std::strncmp(name, prefix, std::strlen(prefix)) == 0)
            for (GameOption* o = gGameOptions; o->name; ++o)
                if (std::strcmp(name + std::strlen(prefix), o->name) == 0)
                    return o;
    return nullptr;
}

float SliderFraction(const GameOption& option)
{
    const float range = option.maximum - option.minimum;
    return range > 0 ? std::clamp((option.value - option.minimum) / range, 0.0f, 1.0f) : 0.0f;
}

// A switch shows the label of its value; a slider a groove with end stops
// and a knob whose fill runs along a 32-step ramp with its position.
void OptionDraw(WindowHandle* window)
{
    const GameOption* option = OptionOfElement(window);
    const Canvas screen = ScreenCanvas();
    if (!option || !screen.pixels)
        return;
    ClearElement(screen, window);
    const int16_t* r = window->rect;
    if (option->kind == kOptionSwitch) {
        const int value = static_cast<int>(option->value);
        const char* label = value >= 0 && value < kOptionValueLabels ? option->valueLabels[value] : "";
        char number[16];
        if (!*label) {
            std::snprintf(number, sizeof number, "%d", value);
            label = number;
        }
        const RasterFont* font = RegularFont();
        int16_t width = 0, height = 0;
        if (font)
            TextMeasure(label, font, width, height);
        DrawTextAt(screen, r[0] + 4, (r[1] + r[3] + height) / 2, label, font, -1, Inside(window));
        return;
    }
    const int16_t middle = static_cast<int16_t>((r[1] + r[3]) / 2);
    CanvasLine(screen, r[0], middle, r[2], middle, kSliderFrameColour);
    CanvasLine(screen, r[0], static_cast<int16_t>(r[1] + 2), r[0], static_cast<int16_t>(r[3] - 2),
               kSliderFrameColour);
    CanvasLine(screen, r[2], static_cast<int16_t>(r[1] + 2), r[2], static_cast<int16_t>(r[3] - 2),
               kSliderFrameColour);
    const float fraction = SliderFraction(*option);
    const int width = r[2] - r[0] + 1;
    const int16_t knob = static_cast<int16_t>(r[0] + static_cast<int>((width - kKnobWidth) * fraction));
    CanvasFillRect(screen, static_cast<uint8_t>(kKnobRamp + static_cast<int>(31 * fraction)), knob, r[1],
                   static_cast<int16_t>(knob + kKnobWidth - 1), r[3]);
    guiDrawOutline(screen, kKnobOutline, knob, r[1], static_cast<int16_t>(knob + kKnobWidth - 1), r[3]);
}

// While the button is held over a slider (or it is being dragged) the knob
// follows the pointer and the option its position; then the usual tick.
void OptionSliderDrag(WindowHandle* window)
{
    GameOption* option = OptionOfElement(window);
    const bool held = GetKeyStateBlock()[kStateMouseLeft] || (window->flags & kWindowDragged);
    if (option && option->kind == kOptionSlider && held &&
        guiHitTestRect(window, gWindows.mouseX, gWindows.mouseY)) {
        const int left = window->rect[0], right = window->rect[2];
        const int knob = std::clamp(gWindows.mouseX, left + kKnobWidth / 2, right - kKnobWidth / 2);
        const int span = right - left + 1 - kKnobWidth;
        const float fraction = span > 0 ? static_cast<float>(knob - left - kKnobWidth / 2) / span : 0.0f;
        const float value = option->minimum + (option->maximum - option->minimum) * fraction;
        if (value != option->value) {
            option->value = value;
            if (option->apply)
                option->apply(*option);
            window->redrawCount = std::max<int16_t>(window->redrawCount, gWindows.redrawValue);
        }
    }
    guiTickWindow(window);
}

void OptionSwitchClick(WindowHandle* window)
{
    if (GameOption* option = OptionOfElement(window)) {
        StepOptionSwitch(*option);
        window->redrawCount = std::max<int16_t>(window->redrawCount, gWindows.redrawValue);
    }
}

void OptionSaveClick(WindowHandle*)
{
    SaveOptions(kOptionsFile);
}

void OptionRestoreClick(WindowHandle*)
{
    RestoreDefaultOptions();
    guiRequestFullRedraw();
}

// Out of the option page: back to the bridge in flight, else the closing
// clip back to the home screen. (The sound level is live: its option sets
// the master volume that every sound's volume is scaled by.)
void OptionExitClick(WindowHandle* window)
{
    if (CurrentStation == kOptionsStation) {
        guiLeaveOptionsScreen(window);
    } else {
        guiGotoScreen("FrontRoster");
        Request(kFrontOptionsToHome);
    }
}

void SetupOptionScreen()
{
    ReadOptionTable();
    const ScriptSymbol* regular = FindScriptSymbol("RFont");
    Resource* font = regular && !SymbolHoldsValueBytes(regular) && !(regular->type & kSymbolSceneItem)
                         ? static_cast<Resource*>(regular->value)
                         : nullptr;
    for (GameOption* o = gGameOptions; o->name; ++o) {
        const std::string label = std::string(kOptionLabelElement) + o->name;
        // A label the labels file lacks shows the option's own name.
        if (WindowHandle* w = guiBindText(label.c_str(), *o->label ? o->label : o->name); w && font)
            w->font = font;
        const std::string control = std::string(kOptionControlElement) + o->name;
        guiBindDraw(control.c_str(), OptionDraw);
        guiBindFrameHandler(control.c_str(), OptionSliderDrag);
        guiBindClick(control.c_str(), OptionSwitchClick);
    }
    guiBindClick("Opt_Save", OptionSaveClick);
    guiBindClick("Opt_Restore", OptionRestoreClick);
    guiBindClick("SystemExit", CommonExit);
    guiBindClick("OptExit", OptionExitClick);
}

struct ScreenRow {
    const char* name;
    ScreenSetup setup;
};
constexpr ScreenRow kFrontScreenTable[] = {
    {"FrontHome", SetupFrontHome},
    {"FrontRoster", SetupFrontRoster},
    {"FrontTime", SetupFrontTime},
    {"InsertCD", SetupInsertCD},
    {"Confirm", SetupConfirm},
    {"FrontCredits", SetupFrontCredits},
    {"FrontAction", SetupFrontAction},
    {"OptionScreen", SetupOptionScreen},
};

} // namespace

void RegisterFrontEndScreens()
{
    for (const ScreenRow& row : kFrontScreenTable)
        guiRegisterScreen(row.name, row.setup, guiFrontEndKeyHandler);
}

void RunFrontTransition(WindowHandle* window)
{
    FrontScreens& f = gFrontScreens;
    if (f.requested != f.current) {
        f.current = f.requested;
        const FrontStateRow& row = Row(f.current);
        // A state with a screen shows it afresh, also when its screen is
        // already up (the roster back from its slot step shows the new
        // slot's captain).
        if (row.screen) {
            guiGotoScreen(row.screen);
            guiRequestFullRedraw();
        }
        CloseClip(&f.clip);
        f.clipFailed = 0;
        // A clip that cannot be opened ends its state at once.
        if (!row.clip || !OpenClip(&f.clip, row.clip, 0, 0, 1, 0)) {
            f.clipFailed = row.clip ? 255 : 0;
            f.requested = row.next;
        }
    } else if (const char* clip = Row(f.current).clip; clip && !f.clipFailed) {
        if (!f.clip && !OpenClip(&f.clip, clip, 0, 0, 1, 0))
            f.clipFailed = 255;
        else if (!DrawClip(f.clip, RectOf(window))) {
            f.requested = Row(f.current).next;
            CloseClip(&f.clip);
        }
    }
    OutlineElement(window);
    // The driver runs every frame: clips play on and a requested state is
    // taken up however the request was made.
    window->redrawCount = std::max<int16_t>(window->redrawCount, 1);
}

void guiFrontEndKeyHandler(uint16_t keyCode)
{
    const uint8_t scan = static_cast<uint8_t>(keyCode >> 8);
    const uint8_t character = static_cast<uint8_t>(keyCode & 0xFF);
    if (gFrontScreens.nameEntry) {
        NameEntryKey(scan, character);
        return;
    }
    const KeyStateBlock& keys = GetKeyStateBlock();
    if ((keys[kScanShiftLeft] || keys[kScanShiftRight]) && scan >= 11 && scan <= 25 && ShiftKey(scan))
        return;
    const int16_t state = gFrontScreens.current;
    if (scan == kScanEscape) {
        Escape();
    } else if (scan == kScanEnter) {
        if (state == kFrontHome)
            Request(kHomeChoiceTable[std::clamp<int16_t>(gFrontScreens.highlight, 0, kHomeChoices - 1)].state);
        else if (state == kFrontRoster)
            EnterTimeline();
        else if (state == kFrontTimeline)
            LaunchFirstPlayable();
    } else if (scan == kScanUp || scan == kScanDown || scan == kScanLeft || scan == kScanRight) {
        if (state == kFrontHome)
            MoveHighlight(scan);
        else if (state == kFrontRoster && (scan == kScanUp || scan == kScanDown))
            StepSlot(scan == kScanUp ? 1 : -1);
        else if (state == kFrontTimeline)
            StepTimeline(scan);
    }
}

void DrawCornerBrackets(int16_t left, int16_t top, int16_t right, int16_t bottom, int16_t size, uint8_t colour)
{
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels)
        return;
    auto line = [&](int x1, int y1, int x2, int y2) {
        CanvasLine(screen, static_cast<int16_t>(x1), static_cast<int16_t>(y1), static_cast<int16_t>(x2),
                   static_cast<int16_t>(y2), colour);
    };
    line(left, top, left + size, top);
    line(left, top, left, top + size);
    line(right, top, right - size, top);
    line(right, top, right, top + size);
    line(left, bottom, left + size, bottom);
    line(left, bottom, left, bottom - size);
    line(right, bottom, right - size, bottom);
    line(right, bottom, right, bottom - size);
}

void DrawLoadingNote()
{
    constexpr int kTextLoading = 54;
    const WindowHandle* window = gFrontScreens.loadingWindow;
    const Canvas screen = ScreenCanvas();
    if (!window || !screen.pixels)
        return;
    const int16_t* r = window->rect;
    const ClipRect area = {static_cast<int16_t>(r[0] - 4), r[1], r[2], r[3]};
    CanvasFillRectClipped(screen, 0, CanvasBounds(screen), area.left, area.top, area.right, area.bottom);
    if (const RasterFont* font = RegularFont(); font && gTextTable[kTextLoading])
        CanvasDrawTextCentred(screen, gTextTable[kTextLoading], font, area);
}

void LaunchSelectedMission(int16_t mode)
{
    gFrontEnd.launchMode = mode;
    ChooseMissionDisc(MissionNumberAtIndex(gFrontEnd.selectedMission));
}
