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

void StartNameEntry()
{
    gFrontScreens.nameEntry = 255;
    CaptainSlot.name[kCaptainNameSize - 1] = 0;
    gFrontScreens.nameLength = static_cast<int16_t>(std::strlen(CaptainSlot.name));
}

void EndNameEntry()
{
    gFrontScreens.nameEntry = 0;
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

// A short text (up to 31 characters) in the font's own colours.
void DrawInFontColours(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const RasterFont* font,
                       const ClipRect& clip)
{
    static const uint8_t kFontZero[32] = {};
    char cut[sizeof kFontZero];
    std::snprintf(cut, sizeof cut, "%s", text);
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
    int16_t x = static_cast<int16_t>(r[0] + 4);
    int16_t y = r[1];
    if (font)
        DrawInFontColours(screen, x, y, CaptainSlot.name, font, RectOf(window));
    if (gFrontScreens.nameEntry && gFrameClock.frameCounter % 50 >= 26)
        CanvasFillRect(screen, 160, x, r[1], static_cast<int16_t>(x + 4), r[3]);
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
// as new.
void PlayButtonsFrame(WindowHandle*)
{
    FrontScreens& f = gFrontScreens;
    const MissionListEntry* entry = gFrontEnd.currentEntry;
    if (!entry)
        return;
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
}

// --- Set-up routines ------------------------------------------------------------

void SetupFrontHome()
{
    if (!gFrontScreens.clipsRegistered) {
        if (ReadMissionTable())
            RebuildMissionLists();
        for (const FrontStateRow& row : kFrontStates)
            if (row.clip)
                ResLoadNamed((std::string(kClipFolder) + row.clip).c_str(), ResType::Video);
        gFrontScreens.clipsRegistered = 255;
    }
    for (const char* element : {"FrSys", "FrRos", "FrCrd"})
        if (WindowHandle* w = guiBindClick(element, RequestByElement))
            w->draw = guiDrawStringWindow;
    const char* squares[kHomeChoices] = {"FrRosSq", "FrActSq", "FrCrdSq", "FrSysSq"};
    for (int i = 0; i < kHomeChoices; ++i)
        if (WindowHandle* w = guiBindClick(squares[i], RequestByElement)) {
            w->value = static_cast<float>(i);
            w->draw = HomeSquareDraw;
        }
    guiBindDraw("HomeMov", HomeMovieDraw);
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
}

void SetupInsertCD()
{
    guiBindClick("InsCDOK", DiscOkClick);
    guiBindClick("InsCDCancel", BackToTimelineClick);
}

void SetupConfirm()
{
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

void SetupOptionScreen()
{
    guiBindClick("SystemExit", CommonExit);
    guiBindClick("OptExit", guiLeaveOptionsScreen);
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
        if (row.screen)
            guiGotoScreen(row.screen);
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

void LaunchSelectedMission(int16_t mode)
{
    gFrontEnd.launchMode = mode;
    ChooseMissionDisc(MissionNumberAtIndex(gFrontEnd.selectedMission));
}
