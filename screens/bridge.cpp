// The bridge: the screen set and its icons, the twelve station views and
// the choice of a station, the options screen in flight, the message line,
// the comms arm and its speaker, the remote link, the remembered station
// and the joystick hat's contact actions. The key handler is bridgekeys.cpp;
// the stations' own screens (COM, NAV, WEP, ENG) are not here.
//
// A station view is one screen per station and direction; its backdrop
// element turns the view when the mouse reaches the screen's left or right
// edge and plays ambient films; its buttons sit the player down at a
// station with a short film.
#include "screens/bridge.h"

#include "screens/icons.h"

#include "screens/documents.h"
#include "screens/engineering.h"
#include "screens/frontend.h"
#include "screens/frontscreens.h"
#include "screens/objectives.h"
#include "screens/viewerpanel.h"
#include "script/interpreter.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "system/crand.h"
#include "system/display.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/trace.h"
#include "ui/contacts.h"
#include "ui/dialogue.h"
#include "ui/drawtypes.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/viewstart.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/starmap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

int16_t CurrentStation = 0;
int32_t ScopeDisplayMode = 0;
int32_t MissionEndState = 0;
uint8_t gCommsArmOpen = 0;
uint8_t gDocsViewOpen = 0;
uint8_t gObjectivesViewOpen = 0;
uint8_t gLocalViewOpen = 0;
uint8_t gScriptSkipRequest = 0;
uint8_t gFullScreenView = 0;
uint8_t gFreezeView = 0;
uint8_t gExternalView = 0;
uint8_t gPanelHold = 0;
uint8_t gDockingAligned = 0;
uint8_t gCollisionDamage = 0;
const RasterFont* gBridgeFonts[kBridgeFonts] = {};
SceneItem* gRemoteLinkItem = nullptr;
uint8_t gDebriefAtFlightEnd = 0;

uint8_t WingOrderPrefix = 0;
uint8_t OrbitViewByKey = 0;
uint8_t KeyListShown = 0;
int16_t HudDebugPage = 0;
int16_t TrailsHidden = 0;
int16_t AxisExchange = 0;
uint8_t gProfilerShown = 0;

MessageLineState gMessageLine;
BridgeIcons gBridgeIcons = {};
CommsArmState gCommsArm;
WindowHandle* gBridgeRoot = nullptr;

const char* const kStationViewScreens[kStationViews] = {
    "CMDStand",
    "CMDLft",
    "CMDRgt",
    "NAVStand",
    "NAVLft",
    "NAVRgt",
    "WEPStand",
    "WEPLft",
    "WEPRgt",
    "ENGStand",
    "ENGLft",
    "ENGRgt",
};

namespace {

constexpr int16_t kSoundSit = 11;
constexpr int16_t kSoundStand = 13;
constexpr int16_t kSoundCommsArm = 28;

void PlaySound(int32_t slot)
{
    SoundPlay(slot, 0, 0, 0, 0);
}

// A full-screen film; the frame loop runs it while film mode is on.
void PlayBridgeFilm(const char* name)
{
    if (PlayFilm(name))
        gLoopFlags.filmMode = 1;
}

} // namespace

// --- Message line -----------------------------------------------------------

namespace {

constexpr int32_t kMinimumMessageTicks = 25;
constexpr int32_t kBlinkTicks = 80;
constexpr int32_t kBlinkPeriod = 20;
constexpr int32_t kBlinkShown = 10; // shown while elapsed mod 20 is at most this

} // namespace

void ResetMessageLine()
{
    gMessageLine = MessageLineState{};
}

// Texts carry ship names and data texts of any length: anything past the
// record's 79 characters is cut, never a fatal stop.
void guiDisplayMessage(const char* text, int32_t time)
{
    if (!text)
        return;
    char quoted[300];
    if (TraceOn())
        TraceLine("message", "%s", TraceQuoted(text, quoted, sizeof quoted));
    MessageLineState& m = gMessageLine;
    MessageLine& record = m.queue[0];
    std::snprintf(record.text, sizeof record.text, "%s", text);
    record.displayTime = time;
    record.startTime = static_cast<int32_t>(gFrameClock.gameClock);
    m.count = 1;
    m.newText = 1;
    m.shown = record.text;
    m.shownDisplayTime = time;
    m.shownStartTime = record.startTime;
}

const char* guiTickMessageLine()
{
    MessageLineState& m = gMessageLine;
    if (m.remaining > 0 && m.shown != kIdleMessageText) {
        m.remaining -= gFrameClock.frameTicks;
        if (m.remaining <= 0) {
            --m.count;
            if (m.count <= 0) {
                m.count = 0;
                m.remaining = 0;
                m.shown = kIdleMessageText;
            }
        }
    }
    if (m.newText) {
        const int32_t share = m.count > 0 ? m.shownDisplayTime / m.count : m.shownDisplayTime;
        m.remaining = std::max(share, kMinimumMessageTicks);
        m.newText = 0;
    }
    if (m.remaining <= 0)
        return nullptr;
    const int32_t elapsed = m.shownDisplayTime - m.remaining;
    if (elapsed < kBlinkTicks && elapsed % kBlinkPeriod > kBlinkShown)
        return nullptr;
    return m.shown;
}

// --- Icons and screen registration ---------------------------------------------

namespace {

constexpr int kRunScratchSize = 64 * 1024;

constexpr const char* kDriveLampNames[kDriveLamps] = {
    "lp_lds",
    "lp_fast",
    "lp_slow",
    "lp_algn",
    "lp_dist",
    "lp_ldsk",
    "lp_fastk",
    "lp_slowk",
    "lp_algnk",
    "lp_distk",
};
constexpr const char* kWeaponSlotNames[kWeaponSlotIcons] = {
    "wp_null0",
    "wp_pbcf0",
    "wp_pbcf1",
    "wp_pbca0",
    "wp_pbca1",
    "wp_skf0",
    "wp_skf1",
    "wp_ska0",
    "wp_ska1",
    "wp_ldif0",
    "wp_ldif1",
    "wp_ldia0",
    "wp_ldia1",
};

Bitmap* LoadIcon(const char* name, const char* extension)
{
    char path[96];
    std::snprintf(path, sizeof path, "zqk\\resource\\art\\icons\\%s%s", name, extension);
    Resource* resource = ResRegisterLoad(path, ResType::LbmRaster);
    return resource ? static_cast<Bitmap*>(ResGet(resource)) : nullptr;
}

// A run list of exactly its size, or null. The scratch block bounds it: an
// icon whose runs would not fit there is refused.
uint8_t* BuildRunList(const Bitmap* bitmap, std::vector<uint8_t>& scratch)
{
    if (!bitmap || SpriteRunsSize(*bitmap, 0) > scratch.size())
        return nullptr;
    const std::size_t size = SpriteBuildRuns(*bitmap, scratch, 0);
    if (size == 0)
        return nullptr;
    auto* runs = new uint8_t[size];
    std::memcpy(runs, scratch.data(), size);
    return runs;
}

const RasterFont* FontSymbol(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol || !symbol->value || !(symbol->type & kSymbolResource) || SymbolHoldsValueBytes(symbol))
        return nullptr;
    return static_cast<const RasterFont*>(ResGet(static_cast<Resource*>(symbol->value)));
}

} // namespace

void CaptionElements(std::span<const ElementCaption> captions)
{
    const unsigned language = gSettings.language <= 2 ? gSettings.language : 0;
    for (const ElementCaption& caption : captions)
        guiBindText(caption.element, caption.text[language]);
}

void LoadBridgeIcons()
{
    BridgeIcons& icons = gBridgeIcons;
    for (ShipClassIcon& icon : ShipClassIcons) {
        delete[] icon.runs;
        icon = {};
    }
    delete[] icons.navCursorRuns;
    icons = {};
    // The bridge fonts: headings, links and the running text.
    gBridgeFonts[0] = FontSymbol("RFont");
    gBridgeFonts[1] = FontSymbol("GFont");
    gBridgeFonts[2] = FontSymbol("BFont");
    // "cw_<k>_<p>": the contact kinds x, n, i, u, each as nm, nt and wt.
    static constexpr char kKinds[kContactIconKinds] = {'x', 'n', 'i', 'u'};
    static constexpr const char* kPictures[kContactIconPictures] = {"nm", "nt", "wt"};
    for (int kind = 0; kind < kContactIconKinds; ++kind)
        for (int picture = 0; picture < kContactIconPictures; ++picture) {
            char name[16];
            std::snprintf(name, sizeof name, "cw_%c_%s", kKinds[kind], kPictures[picture]);
            ContactIcons[kind][picture] = LoadIcon(name, ".bbm");
        }
    for (int i = 0; i < kDriveLamps; ++i)
        icons.driveLamps[i] = LoadIcon(kDriveLampNames[i], ".bbm");
    icons.starMapMarker = LoadIcon("sm_sm", ".bbm");
    for (int i = 0; i < kWeaponSlotIcons; ++i)
        icons.weaponSlots[i] = LoadIcon(kWeaponSlotNames[i], ".bbm");
    std::vector<uint8_t> scratch(kRunScratchSize);
    icons.navCursor = LoadIcon("navcurs", ".bbm");
    icons.navCursorRuns = BuildRunList(icons.navCursor, scratch);
    for (int i = 0; i < kShipClassIconCount; ++i) {
        if (!ShipClassIconNames[i])
            continue;
        Bitmap* picture = LoadIcon(ShipClassIconNames[i], ".BBM");
        uint8_t* runs = BuildRunList(picture, scratch);
        ShipClassIcons[i] = picture && runs ? ShipClassIcon{picture, runs} : ShipClassIcon{};
        if (!ShipClassIcons[i].picture)
            delete[] runs;
    }
}

namespace {

// The twelve station views: the backdrop element, the buttons bound (1 COM,
// 2 NAV, 3 WEP, 4 ENG) and the films of the station.
struct StationViewRow {
    const char* backdrop;
    int8_t buttons[2];
};
constexpr StationViewRow kStationViewRows[kStationViews] = {
    {"CMDStdB", {1, 2}},
    {"CMDLftW", {1, 3}},
    {"CMDRgtW", {1, 4}},
    {"NAVStdB", {1, 2}},
    {"NAVLftW", {2, 4}},
    {"NAVRgtW", {2, 3}},
    {"WEPStdB", {3, 4}},
    {"WEPLftW", {2, 3}},
    {"WEPRgtW", {1, 3}},
    {"ENGStdB", {3, 4}},
    {"ENGLftW", {1, 4}},
    {"ENGRgtW", {2, 4}},
};
constexpr const char* kStationFilmWords[4] = {"cmd", "nav", "wep", "eng"};
constexpr const char* kAmbientWords[4] = {"Cmd", "Nav", "Wep", "Eng"};
constexpr const char* kDirectionWords[3] = {"Std", "Lft", "Rgt"};
constexpr const char* kButtonNames[4] = {"Butt1", "Butt2", "Butt3", "Butt4"};
constexpr WindowRoutine kViewSelectors[4] = {guiSelectComView, guiSelectNavView, guiSelectWepView, guiSelectEngView};

constexpr int16_t kTurnLeftEdge = 100;
constexpr int16_t kTurnRightEdge = 540;
constexpr int16_t kTurnBelow = 440;
constexpr uint32_t kStationBackdropFlag = 0x10000;

const char* BridgeFilm(int station, const char* suffix)
{
    static char path[64];
    std::snprintf(path, sizeof path, "zqk\\resource\\video\\%s%s.smk", kStationFilmWords[station], suffix);
    return path;
}

// The ambient films: the one running and the view it belongs to.
struct AmbientFilm {
    FilmClip* clip;
    int16_t view; // -1 none
};
AmbientFilm gAmbient = {nullptr, -1};

// Turns the view when the mouse stands at an edge of the screen.
void StationViewFrame(WindowHandle* window)
{
    const int16_t view = window->auxShort;
    if (view >= 0 && view < kStationViews && gWindows.mouseY < kTurnBelow) {
        const int station = view / 3;
        const int direction = view % 3;
        const int32_t x = gWindows.mouseX;
        const char* film = nullptr;
        int target = -1;
        if (direction == 0 && x < kTurnLeftEdge) {
            film = "lft";
            target = view + 1;
        } else if (direction == 0 && x > kTurnRightEdge) {
            film = "rgt";
            target = view + 2;
        } else if (direction == 1 && x > kTurnRightEdge) {
            film = "lftb";
            target = view - 1;
        } else if (direction == 2 && x < kTurnLeftEdge) {
            film = "rgtb";
            target = view - 2;
        }
        if (film) {
            PlayBridgeFilm(BridgeFilm(station, film));
            guiGotoScreen(kStationViewScreens[target]);
            return;
        }
    }
    guiTickWindow(window);
}

void SetUpStationView(int view)
{
    const StationViewRow& row = kStationViewRows[view];
    if (WindowHandle* backdrop = guiBindFrameHandler(row.backdrop, StationViewFrame)) {
        backdrop->draw = guiDrawStationViewFilm;
        backdrop->auxShort = static_cast<int16_t>(view);
        backdrop->flags |= kStationBackdropFlag;
    }
    for (int8_t button : row.buttons)
        guiBindClick(kButtonNames[button - 1], kViewSelectors[button - 1]);
}

template <int View>
void SetUpView()
{
    SetUpStationView(View);
}

// Ends the mission from the "Bridge" screen's exit button.
void LeaveMission(WindowHandle*)
{
    gLoopFlags.endOfMissionRequest = 255;
}

struct ScreenRow {
    const char* name;
    ScreenSetup setup;
};
constexpr ScreenRow kBridgeScreens[] = {
    {"CMDStand", SetUpView<0>},
    {"CMDLft", SetUpView<1>},
    {"CMDRgt", SetUpView<2>},
    {"NAVStand", SetUpView<3>},
    {"NAVLft", SetUpView<4>},
    {"NAVRgt", SetUpView<5>},
    {"WEPStand", SetUpView<6>},
    {"WEPLft", SetUpView<7>},
    {"WEPRgt", SetUpView<8>},
    {"ENGStand", SetUpView<9>},
    {"ENGLft", SetUpView<10>},
    {"ENGRgt", SetUpView<11>},
    {"Bridge", guiSetupBridgeScreen},
    {"COM", guiSetupComStation},
    {"NAV", guiSetupNavStation},
    {"WEP", guiSetupWepStation},
    {"ENG", guiSetupEngStation},
};

} // namespace

void RegisterBridgeScreens()
{
    for (const ScreenRow& row : kBridgeScreens)
        guiRegisterScreen(row.name, row.setup, guiBridgeKeyHandler);
    RegisterFrontEndScreens();
}

void guiDrawStationViewFilm(WindowHandle* window)
{
    if (FullScreenFilmOpen())
        return;
    const int16_t view = window->auxShort;
    if (view >= 0 && view < kStationViews && (view != gAmbient.view || !gAmbient.clip)) {
        CloseClip(&gAmbient.clip);
        gAmbient.view = -1;
        char name[32];
        std::snprintf(name, sizeof name, "%s%s%d.smk", kAmbientWords[view / 3], kDirectionWords[view % 3],
                      CRand() % 3 + 1);
        if (OpenClip(&gAmbient.clip, name, 0, 0, 0, 0))
            gAmbient.view = view;
    }
    if (gAmbient.clip) {
        ClipRect rect{window->rect[0], window->rect[1], window->rect[2], window->rect[3]};
        if (!DrawClip(gAmbient.clip, rect)) {
            CloseClip(&gAmbient.clip);
            gAmbient.view = -1;
        }
    } else if (Bitmap* picture = window->font ? static_cast<Bitmap*>(ResGet(window->font)) : nullptr) {
        // The picture is drawn as it is; the backdrop keeps the whole view's
        // size, which the films are centred in and the mouse turns by.
        const Canvas screen = ScreenCanvas();
        const ClipRect rect{window->rect[0], window->rect[1], window->rect[2], window->rect[3]};
        if (screen.pixels)
            CanvasBlitClipped(screen, *picture, rect, window->rect[0], window->rect[1]);
    }
    window->redrawCount = gWindows.redrawValue ? gWindows.redrawValue : 1;
}

// --- Station selection --------------------------------------------------------

namespace {

constexpr int16_t kMinimumStationLevel = 2;

struct StationChoice {
    const char* film;
    const char* screen;
    int16_t station;
};

void ClearWeaponView()
{
    gWeaponViewFlag = 0;
}

// WEP and ENG need the player's ship to have the higher stations.
bool UpperStationsOpen()
{
    return gPlayerItem && gPlayerItem->sim && gPlayerItem->sim->stationLevel >= kMinimumStationLevel;
}

void SitAt(const StationChoice& choice, bool withFilm)
{
    ClearCommandOverlays();
    if (withFilm)
        PlayBridgeFilm(choice.film);
    guiGotoScreen(choice.screen);
    CurrentStation = choice.station;
}

bool ComRefused()
{
    return gSettings.demo != 0;
}
bool WepRefused()
{
    return gSettings.demo || !UpperStationsOpen();
}
bool EngRefused()
{
    return WepRefused() || !gSettings.engineering;
}

void SelectCom(bool withFilm)
{
    if (ComRefused())
        return;
    SitAt({"zqk\\resource\\video\\cmdsit.smk", "COM", kStationCom}, withFilm);
    gContacts.sortMode = 1;
    ClearWeaponView();
    PlaySound(kSoundSit);
}

void SelectNav(bool withFilm)
{
    SitAt({"zqk\\resource\\video\\navsit.smk", "NAV", kStationNav}, withFilm);
    gContacts.sortMode = 1;
    ClearWeaponView();
    PlaySound(kSoundSit);
}

void SelectWep(bool withFilm)
{
    if (WepRefused())
        return;
    SitAt({"zqk\\resource\\video\\wepsit.smk", "WEP", kStationWep}, withFilm);
    gContacts.sortMode = 2;
    UpdateViewModeFlag();
    PlaySound(kSoundSit);
}

void SelectEng(bool withFilm)
{
    if (EngRefused())
        return;
    ResetEngPanel(); // the panel opens afresh: the whole ship, a system chosen
    SitAt({"zqk\\resource\\video\\engsit.smk", "ENG", kStationEng}, withFilm);
    ClearWeaponView();
    PlaySound(kSoundSit);
}

// Leaves a station for its ahead view.
void LeaveStation(int station, bool clearOverlays)
{
    guiCleanUpScreen();
    CloseCommsArm();
    if (clearOverlays)
        ClearCommandOverlays();
    PlayBridgeFilm(BridgeFilm(station, "std"));
    guiGotoScreen(kStationViewScreens[station * 3]);
    CurrentStation = kStationOverview;
    PlaySound(kSoundStand);
}

} // namespace

void guiSelectComView(WindowHandle*)
{
    SelectCom(true);
}

void guiSelectNavView(WindowHandle*)
{
    SelectNav(true);
}

void guiSelectWepView(WindowHandle*)
{
    SelectWep(true);
}

void guiSelectEngView(WindowHandle*)
{
    SelectEng(true);
}

void guiSelectComStation()
{
    SelectCom(CurrentStation == kStationOverview);
}

void guiGoToNavStation()
{
    SelectNav(CurrentStation == kStationOverview);
}

void guiSelectWepStation()
{
    SelectWep(CurrentStation == kStationOverview);
}

void guiSelectEngStation()
{
    SelectEng(CurrentStation == kStationOverview);
}

void guiLeaveComStation(WindowHandle*)
{
    LeaveStation(0, false);
}

void guiLeaveNavStation(WindowHandle*)
{
    LeaveStation(1, false);
}

void guiLeaveWepStation(WindowHandle*)
{
    LeaveStation(2, false);
}

void guiLeaveEngStation(WindowHandle*)
{
    LeaveStation(3, true);
}

// The options screen in flight stops the simulation (SimulationPaused), not
// the frame loop, so the screen is drawn and takes its keys.
void guiGoToOptions()
{
    ClearCommandOverlays();
    SaveStationScreen();
    guiGotoScreen("OptionScreen");
    CurrentStation = kStationOptions;
    gInterpreter.missionPause = 255;
    SoundPauseAll();
}

void LeaveOptionsScreen()
{
    SaveOptions("Kelvandrist.ini");
    RestoreStationScreen();
    gInterpreter.missionPause = 0;
    SoundResumeAll();
}

void guiLeaveOptionsScreen(WindowHandle*)
{
    if (CurrentStation == kStationOptions)
        LeaveOptionsScreen();
}

void ClearCommandOverlays()
{
    if (gRemoteLinkItem)
        EndRemoteLink(0);
    gEngPanel.selectedSystem = nullptr;
    gScriptMission.briefingRequested = 0;
    if (gScriptMission.briefingActive || gPresentation.running)
        ResetPresentationState();
    gObjectivesViewOpen = 0;
    if (FullScreenFilmOpen())
        StopFilm();
    gLoopFlags.filmMode = 0;
}

// --- The "Bridge" screen ---------------------------------------------------------

namespace {

uint32_t gBridgeStartTime = 0;

void MoveToListHead(WindowHandle* window)
{
    WindowHandle** link = &gScreens.current->windows;
    while (*link && *link != window)
        link = &(*link)->next;
    if (!*link || link == &gScreens.current->windows)
        return;
    *link = window->next;
    window->next = gScreens.current->windows;
    gScreens.current->windows = window;
}

// The window a script symbol holds, or null.
WindowHandle* SymbolWindow(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol || !symbol->value || !(symbol->type & kSymbolWindow) || SymbolHoldsValueBytes(symbol))
        return nullptr;
    return static_cast<WindowHandle*>(symbol->value);
}
// Half periods (ticks) of the status lamp by remote-link status: steady
// while unlinked, blinking while linked.
constexpr int16_t kLampHalfPeriods[] = {0, 25};

} // namespace

void guiSetupBridgeScreen()
{
    gBridgeStartTime = gFrameClock.gameClock;
    for (int i = 0; i < 4; ++i)
        guiBindClick(kButtonNames[i], kViewSelectors[i]);
    guiBindClick("ExitButt", LeaveMission);
    guiBindFrameHandler("Status", guiStatusLampFrame);
    if (WindowHandle* title = SymbolWindow("Title"))
        title->flags |= kWindowDraggable;
    HudDebugPage = 0;
    gProfilerShown = 0;
    gBridgeRoot = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, guiTickWindow, guiDraw3DWindow, 0, 0, 640, 480, 0);
    if (gBridgeRoot) {
        guiSetViewedItems(gBridgeRoot, &gSceneList);
        gBridgeRoot->flags |= kWindowView;
        gBridgeRoot->elementName = "Bridge";
        gWindows.mainView = gBridgeRoot;
        // The view goes beneath the layout's elements: made last, it would
        // be drawn over the station buttons and take their clicks.
        MoveToListHead(gBridgeRoot);
    }
}

void guiStatusLampFrame(WindowHandle* window)
{
    const int status = gCameras.remote.linked ? 1 : 0;
    const int32_t half = kLampHalfPeriods[status];
    const uint8_t lit = half > 0 && gFrameClock.gameClock % (2 * half) >= static_cast<uint32_t>(half) ? 255 : 0;
    if (lit != window->check) {
        window->check = lit;
        window->redrawCount = gWindows.redrawValue ? gWindows.redrawValue : 1;
    }
    guiTickWindow(window);
}

// --- Comms arm ----------------------------------------------------------------

namespace {

constexpr int16_t kCommsPanelX = 272;
constexpr int16_t kCommsPanelY = 312;
constexpr int16_t kCommsArmPictureY = 313;
constexpr int16_t kSpeakerX = 304;
constexpr int16_t kSpeakerY = 347;
// The comms text area keeps this much of its right side for the picture.
constexpr int16_t kCommsPictureWidth = 160;
constexpr const char* kArmInClip = "zqk\\resource\\video\\NAVArmIn.smk";
constexpr const char* kArmOutClip = "zqk\\resource\\video\\NAVArmOu.smk";

// The crew of the four stations as the dialogue scripts name them, and the
// letter of their clips.
constexpr const char* kSpeakerNames[4] = {"Commander", "Weapons", "Engineer", "Navigator"};
constexpr char kSpeakerLetters[4] = {'c', 'w', 'e', 'n'};
constexpr const char* kSpeakerPictures[4] = {"COMArmA0", "COMArmA1", "COMArmA2", "COMArmA2"};
constexpr const char* kSpeakerClipWords[13] = {
    nullptr,
    "lookdown",
    "work1",
    "work2",
    "work3",
    "listen1",
    "listen2",
    "listen3",
    "listen4",
    "talk1",
    "talk2",
    "talk3",
    "talk4",
};
// Clip ranges of the three states: working, listening, talking.
struct ClipRange {
    int32_t first, count;
};
constexpr ClipRange kStateClips[3] = {{2, 3}, {5, 4}, {9, 4}};

struct CommsPicture {
    Bitmap* picture;
    uint8_t* runs;
    uint8_t loaded;
};
CommsPicture gArmPicture = {};
Bitmap* gSpeakerPicture = nullptr;

Bitmap* PictureSymbol(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol || !symbol->value || !(symbol->type & kSymbolResource) || SymbolHoldsValueBytes(symbol))
        return nullptr;
    return static_cast<Bitmap*>(ResGet(static_cast<Resource*>(symbol->value)));
}

ClipRect PanelRect()
{
    return {kCommsPanelX, kCommsPanelY, static_cast<int16_t>(kCommsPanelX + kCommsPanelWidth - 1),
            static_cast<int16_t>(kCommsPanelY + kCommsPanelHeight - 1)};
}

// The speaker area's 3D view of the comms partner, one a station's screen:
// made with the station's comms windows and drawn only by the arm.
constexpr int16_t kSpeakerViewSize = 96; // the speakers' pictures' size
struct SpeakerView {
    const Screen* screen;
    WindowHandle* view;
};
SpeakerView gSpeakerViews[4];

WindowHandle* CurrentSpeakerView()
{
    for (const SpeakerView& v : gSpeakerViews)
        if (v.screen && v.screen == gScreens.current && v.view && (v.view->flags & kWindowInUse) &&
            v.view->draw == guiDrawTargetViewWindow)
            return v.view;
    return nullptr;
}

// A ship (not one of the crew) that talks is shown in the speaker area as
// the target camera sees it, the camera turned on it for this draw.
void DrawPartnerView(SceneItem* partner)
{
    WindowHandle* view = CurrentSpeakerView();
    if (!view || !gTargetCamera || !gTargetCamera->avatar)
        return;
    ItemRef& aim = gTargetCamera->avatar->linkItem;
    SceneItem* aimedAt = aim.Get();
    aim = partner;
    SnapTargetCamera(gTargetCamera);
    guiSetViewedItems(view, gTargetCamera);
    guiDrawTargetViewWindow(view);
    aim = aimedAt;
}

void DrawSpeakerArea(const Canvas& screen)
{
    CommsArmState& c = gCommsArm;
    if (c.speaker < 0) {
        if (gDialogue.commsPartner)
            DrawPartnerView(gDialogue.commsPartner);
        return;
    }
    if (c.nextClip >= 0) {
        CloseClip(&c.speakerClip);
        const char* name = SpeakerClipName(c.speaker, c.nextClip);
        // A speaker without clips shows the picture: no file is tried again
        // each frame.
        c.clip = name && OpenClip(&c.speakerClip, name, 0, 0, 0, 0) ? c.nextClip : -1;
        c.nextClip = -1;
    }
    if (c.speakerClip) {
        const ClipRect area{kSpeakerX, kSpeakerY, static_cast<int16_t>(kSpeakerX + c.speakerClip->width - 1),
                            static_cast<int16_t>(kSpeakerY + c.speakerClip->height - 1)};
        if (!DrawClip(c.speakerClip, area)) {
            CloseClip(&c.speakerClip);
            c.nextClip = ChooseSpeakerClip();
        }
    } else if (gSpeakerPicture) {
        CanvasBlit(screen, *gSpeakerPicture, kSpeakerX, kSpeakerY);
    }
}

// Copies the panel's rectangle of the screen into the panel buffer, or
// (toScreen) the buffer back onto the screen; the part off the screen is
// left out.
void CopyPanel(const Canvas& screen, bool toScreen)
{
    std::vector<uint8_t>& panel = gCommsArm.panel;
    if (!screen.pixels || panel.size() != static_cast<std::size_t>(kCommsPanelWidth) * kCommsPanelHeight)
        return;
    const int32_t width = std::min<int32_t>(kCommsPanelWidth, screen.rowLength - kCommsPanelX);
    for (int32_t row = 0; row < kCommsPanelHeight && kCommsPanelY + row < screen.height && width > 0; ++row) {
        uint8_t* onScreen = screen.pixels + static_cast<std::size_t>(kCommsPanelY + row) * screen.rowLength + kCommsPanelX;
        uint8_t* inPanel = panel.data() + static_cast<std::size_t>(row) * kCommsPanelWidth;
        if (toScreen)
            std::memcpy(onScreen, inPanel, static_cast<std::size_t>(width));
        else
            std::memcpy(inPanel, onScreen, static_cast<std::size_t>(width));
    }
}

} // namespace

const char* SpeakerClipName(int32_t speaker, int32_t clip)
{
    if (speaker < 0 || speaker > 3 || clip < 0 || clip >= static_cast<int32_t>(std::size(kSpeakerClipWords)))
        return nullptr;
    static char name[40];
    const char letter = kSpeakerLetters[speaker];
    if (clip == 0)
        std::snprintf(name, sizeof name, speaker == 0 ? "\\c_approachcamera.smk" : "\\%c_lookup.smk", letter);
    else
        std::snprintf(name, sizeof name, "\\%c_%s.smk", letter, kSpeakerClipWords[clip]);
    return name;
}

int32_t ChooseSpeakerClip()
{
    CommsArmState& c = gCommsArm;
    if (c.state == 1 && --c.hold < 1) {
        c.state = 0;
        c.hold = 4;
        return 1;
    }
    const ClipRange range = kStateClips[std::clamp(c.state, 0, 2)];
    int32_t next = range.first + CRand() % range.count;
    if (next == c.clip)
        next = next + 1 < range.first + range.count ? next + 1 : range.first;
    return next;
}

void guiSetCommsSpeaker(const char* name)
{
    CommsArmState& c = gCommsArm;
    for (int32_t i = 0; i < 4; ++i) {
        if (name && std::strcmp(name, kSpeakerNames[i]) == 0) {
            if (i != c.speaker) {
                c.speaker = i;
                gSpeakerPicture = PictureSymbol(kSpeakerPictures[i]);
                c.nextClip = 0;
                c.hold = 4;
            }
            return;
        }
    }
    c.speaker = -1;
    gSpeakerPicture = PictureSymbol("COMArmNull");
}

void guiToggleCommsArm()
{
    PlaySound(kSoundCommsArm);
    CommsArmState& c = gCommsArm;
    if (gCommsArmOpen) {
        StopAllConversations();
        CloseClip(&c.armIn);
        // Without its closing clip the arm is simply gone.
        if (!c.armOut && !OpenClip(&c.armOut, kArmOutClip, 0, -1, 1, 0)) {
            gCommsArmOpen = 0;
            guiRequestFullRedraw();
        }
        return;
    }
    c.panel.assign(static_cast<std::size_t>(kCommsPanelWidth) * kCommsPanelHeight, 0);
    if (!gArmPicture.loaded) {
        gArmPicture.loaded = 1;
        gArmPicture.picture = PictureSymbol("COMArm");
        std::vector<uint8_t> scratch(kRunScratchSize);
        gArmPicture.runs = BuildRunList(gArmPicture.picture, scratch);
    }
    const Canvas screen = ScreenCanvas();
    CopyPanel(screen, false);
    if (OpenClip(&c.armIn, kArmInClip, 0, -1, 1, 0))
        gCommsArmOpen = 255;
}

void TickCommsFilm()
{
    const CommsArmState& c = gCommsArm;
    if (!c.armIn && !c.armOut)
        return;
    CopyPanel(ScreenCanvas(), true);
}

void CloseCommsFilms()
{
    CloseClip(&gCommsArm.armIn);
    CloseClip(&gCommsArm.armOut);
}

void CloseCommsArm()
{
    CloseCommsFilms();
    gCommsArmOpen = 0;
    // A talk still running comes out again at the next station.
    if (gDialogue.active)
        gCommsArmRequest = 255;
}

void MakeSpeakerView()
{
    WindowHandle* view = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, guiDrawTargetViewWindow,
                                         kSpeakerX, kSpeakerY, kSpeakerViewSize, kSpeakerViewSize, 0);
    if (!view)
        return;
    view->elementName = "SpeakerView";
    view->hitTest = guiHitTestNever;
    const ScriptSymbol* font = FindScriptSymbol("ConsFont");
    if (font && font->value && (font->type & kSymbolResource) && !SymbolHoldsValueBytes(font))
        view->font = static_cast<Resource*>(font->value);
    RegisterViewWindow(view);
    // The screen's entry, else a free one, else the first.
    SpeakerView* slot = &gSpeakerViews[0];
    for (SpeakerView& v : gSpeakerViews)
        if (v.screen == gScreens.current) {
            slot = &v;
            break;
        } else if (!v.screen && slot->screen) {
            slot = &v;
        }
    *slot = {gScreens.current, view};
}

void guiDrawCommsArm(WindowHandle* window)
{
    CommsArmState& c = gCommsArm;
    // A conversation that has started brings the arm out at the station
    // where it can be answered.
    if (gCommsArmRequest && gDialogue.active && !gCommsArmOpen) {
        gCommsArmRequest = 0;
        guiToggleCommsArm();
    }
    c.shownThisFrame = 0;
    if (c.armIn) {
        if (!DrawClip(c.armIn, PanelRect()))
            CloseClip(&c.armIn);
    } else if (c.armOut) {
        if (!DrawClip(c.armOut, PanelRect())) {
            CloseClip(&c.armOut);
            gCommsArmOpen = 0;
            guiRequestFullRedraw();
        }
    } else if (gCommsArmOpen) {
        c.shownThisFrame = 255;
        const Canvas screen = ScreenCanvas();
        if (screen.pixels) {
            DrawSpeakerArea(screen);
            if (gArmPicture.picture && gArmPicture.runs)
                SpriteDraw(screen, *gArmPicture.picture, kCommsPanelX, kCommsArmPictureY, gArmPicture.runs);
        }
    }
    if (!gDialogue.active && c.shownThisFrame)
        guiToggleCommsArm();
    window->redrawCount = gWindows.redrawValue ? gWindows.redrawValue : 1;
}

int32_t guiCommsTextAreaDraw(WindowHandle* window)
{
    // While the arm is out it shows the talk itself.
    if (!window || gCommsArmOpen || !gDialogue.active)
        return 0;
    const Canvas screen = ScreenCanvas();
    if (!screen.pixels || !gSpeakerPicture || gCommsArm.speaker < 0)
        return 0;
    const int16_t right = window->rect[2], top = window->rect[1];
    const ClipRect area{static_cast<int16_t>(right - kCommsPictureWidth), static_cast<int16_t>(top + 10),
                        static_cast<int16_t>(right - 21), static_cast<int16_t>(top + 129)};
    const int32_t x = area.left + (area.right - area.left + 1 - gSpeakerPicture->width) / 2;
    const int32_t y = area.top + (area.bottom - area.top + 1 - gSpeakerPicture->height) / 2;
    if (x < area.left || y < area.top)
        return 0;
    CanvasBlit(screen, *gSpeakerPicture, x, y);
    return kCommsPictureWidth;
}

void TakeAsWeaponsTarget(SceneItem* item)
{
    Sim* sim = gControlledItem ? gControlledItem->sim : nullptr;
    if (!item || !sim)
        return;
    if (!(sim->flags & kSimAiControl))
        sim->navTarget = item;
    if (sim->target.Get() != item) {
        sim->flags &= ~kSimTargetSettled;
        sim->target = item;
    }
}

// --- Remote link ------------------------------------------------------------------

void EndRemoteLink(int32_t)
{
    if (gRemoteLinkItem)
        ToggleRemoteLink(gPlayerItem, nullptr);
}

void RemoteLinkToLaunched(SceneItem* launched)
{
    guiSelectComStation();
    SelectContact(launched);
    guiClearScreenBuffers();
    guiRemoteLink(nullptr);
}

void guiRemoteLink(WindowHandle*)
{
    if (gScriptMission.briefingActive || gPresentation.running || gDocsViewOpen || gStarMapOpen ||
        gObjectivesViewOpen)
        return;
    SceneItem* contact = CurrentContactItem();
    if (!contact && !gRemoteLinkItem)
        return;
    ToggleRemoteLink(gPlayerItem, contact);
    if (!gRemoteLinkItem) {
        // Released: back to the ship's own view.
        if (gExternalView)
            EnterCockpitView();
        gWindows.fullRedrawRequest = 255;
        return;
    }
    if (CurrentStation == kStationCom) {
        PlayBridgeFilm("zqk\\resource\\video\\cmdrem.smk");
        DisplayPresent(gScreenMode);
        DisplayLock(gScreenMode);
        const Canvas screen = ScreenCanvas();
        if (screen.pixels)
            CanvasFillRect(screen, 0, 36, 52, 498, 323);
    }
    if (!gLoopFlags.filmMode)
        ApplyRemotePalette();
    gExternalView = 255;
    gWindows.fullRedrawRequest = 255;
    gWindows.redrawAll = 255;
}

void guiCycleRemoteCamera(WindowHandle* window)
{
    gWindows.fullRedrawRequest = 255;
    gWindows.redrawAll = 255;
    SceneItem* camera = gPlayerCamera;
    const char* text = "NULLI";
    if (camera) {
        struct Step {
            CameraRoutine from, to;
            const char* text;
        };
        static const Step kSteps[] = {
            {CAM_CONTACT, CAM_CHASE, "P"},
            {CAM_CHASE, CAM_TRACK, "T"},
            {CAM_TRACK, CAM_PLAYER, "O"},
            {CAM_PLAYER, CAM_CONTACT, "C"},
        };
        for (const Step& step : kSteps) {
            if (camera->control == step.from) {
                camera->control = step.to;
                text = step.text;
                if (step.to == CAM_CHASE)
                    CAM_CHASE(camera);
                break;
            }
        }
    }
    if (window)
        window->text = text;
}

// While the document browser is open, a held mouse button scrolls it.
void guiViewFrame(WindowHandle* window)
{
    if (gDocsViewOpen && GetKeyStateBlock()[kStateMouseLeft])
        ScrollDocument(gWindows.mouseX, gWindows.mouseY);
    guiTickWindow(window);
}

void StartPlayerJump()
{
    if (!gPlayerItem)
        return;
    const int32_t system = 0;
    PostItemMessage(gPlayerItem->receiver, gPlayerItem->receiver, 0, kMsgJumpStart, system);
}

// --- Station memory ---------------------------------------------------------

namespace {

struct SavedStation {
    uint8_t saved;
    int16_t station;
    uint8_t externalView;
} gSavedStation;

} // namespace

void SaveStationScreen()
{
    if (gSavedStation.saved)
        return;
    gSavedStation = {1, CurrentStation, static_cast<uint8_t>(gExternalView ? 1 : 0)};
}

void RestoreStationScreen()
{
    if (!gSavedStation.saved) {
        if (gExternalView)
            EnterCockpitView();
        return;
    }
    static const char* const kStationScreens[] = {"COM", "NAV", "WEP", "ENG"};
    const int16_t station = gSavedStation.station >= 1 && gSavedStation.station <= 4 ? gSavedStation.station : 2;
    CurrentStation = station;
    guiGotoScreen(kStationScreens[station - 1]);
    if (gSavedStation.externalView)
        EnterExternalView();
    else
        EnterCockpitView();
    gSavedStation.saved = 0;
}

bool StationSaved()
{
    return gSavedStation.saved != 0;
}

// --- Joystick contact actions ----------------------------------------------------

ContactHatState gContactHat = {};

namespace {

constexpr int32_t kHatRepeatTicks = 30;

} // namespace

void PointAtCurrentContact()
{
    SceneItem* item = CurrentContactItem();
    if (!item)
        return;
    SetViewerTarget(item);
    if (CurrentStation == kStationWep && gControlledItem && gControlledItem->sim)
        gControlledItem->sim->target = item;
}

void RepeatContactHatActions(uint32_t bits)
{
    ContactHatState& h = gContactHat;
    if (bits == h.bits)
        h.held += gFrameClock.frameTicks;
    else
        h.held = 0;
    h.bits = bits;
    if (h.held != 0 && h.held <= kHatRepeatTicks)
        return;
    switch (bits) {
    case 1:
        SelectPreviousContact();
        PointAtCurrentContact();
        break;
    case 2:
        TakeAsWeaponsTarget(CurrentContactItem());
        break;
    case 4:
        SelectNextContact();
        PointAtCurrentContact();
        break;
    case 8:
        CycleContactFilter(nullptr);
        break;
    default:
        break;
    }
}
