// The bridge key handler: a key's scan code, under the modifier held, is a
// command code of the key map that the key-binding scripts fill (Shift the
// second layer, Ctrl the third; Ctrl wins). Open panels take keys first:
// the star map its selecting letters, the document browser everything. The
// command table holds one row per command code.
//
// The end key walks the mission's end through MissionEndState: from flight
// (0) the director takes the player's ship (1); from 1 a won mission is
// debriefed and any other leaves for the end screen (2); from 2 the end
// screen follows (through the frame's end-of-mission request).
#include "screens/bridge.h"

#include "ai/combat.h"
#include "ai/docking.h"
#include "ai/orders.h"
#include "ai/weapons.h"
#include "screens/comstation.h"
#include "screens/engineering.h"
#include "screens/frontend.h"
#include "screens/objectives.h"
#include "screens/documents.h"
#include "screens/vesselorders.h"
#include "screens/viewerpanel.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/missionoutcome.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/trace.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/shiplog.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/playerinput.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/starmap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

constexpr uint8_t kScanEsc = 1;
constexpr uint8_t kScanQ = 16;
constexpr uint8_t kScanF1 = 59;
constexpr uint8_t kScanF4 = 62;
constexpr uint8_t kScanUp = 72;
constexpr uint8_t kScanDown = 80;
constexpr uint8_t kScanLeftShift = 42;
constexpr uint8_t kScanLeftCtrl = 29;
constexpr int16_t kCommandEndMission = 142;
constexpr int16_t kCommandBack = 143;
constexpr int16_t kFirstCommand = 20;
constexpr int16_t kLastCommand = 200;
constexpr int16_t kDocumentScrollStep = 4;
constexpr int32_t kMessageTicks = 200;
constexpr float kMaxTimeCompression = 16.0f;
constexpr int32_t kDevMessageDelay = 6;
constexpr uint16_t kMsgDevEvent = 50;

// The key being carried out.
struct KeyContext {
    uint8_t scan;
    bool prefix; // the wing prefix was set as the key arrived
};

// The time bonus that ending a mission early added to the score, taken
// back when the player returns to flight.
int32_t gKeptTimeBonus = 0;

bool Developer()
{
    return gSettings.developerKeys != 0;
}

bool PresentationRuns()
{
    return gScriptMission.briefingActive || gPresentation.running;
}

Sim* ControlledSim()
{
    return gControlledItem ? gControlledItem->sim : nullptr;
}

void AddToScore(int32_t points)
{
    gScriptVars.score += points;
    gMissionScore += points;
}

// The weapons target of the controlled item, and its navigation target
// unless it flies under an order.
void Adopt(SceneItem* target)
{
    Sim* sim = ControlledSim();
    if (!sim || !target)
        return;
    sim->target = target;
    gContacts.playerTarget = target;
    if (!(sim->flags & kSimAiControl)) {
        sim->navTarget = target;
        gContacts.navTarget = target;
    }
}

void Wing(int32_t order)
{
    if (gPlayerItem)
        CommandWingmen(gPlayerItem, order);
    WingOrderPrefix = 0;
}

void Regroup()
{
    if (gPlayerItem)
        RegroupWingmen(gPlayerItem);
    WingOrderPrefix = 0;
}

// --- End of mission and back step ------------------------------------------

void EndMissionStep(const KeyContext&)
{
    if (PresentationRuns())
        ResetPresentationState();
    if (gRemoteLinkItem)
        EndRemoteLink(0);
    switch (MissionEndState) {
    case kMissionDebrief:
        gLoopFlags.endOfMissionRequest = 255;
        PlayClosingFilm(gScriptVars.missionNumber, gScriptMission.outcomeNumber);
        break;
    case kMissionFlightOver:
        if (gScriptMission.missionSucceeded) {
            SoundPauseAll();
            PlayDebriefSpeech(gScriptVars.missionNumber, gScriptMission.outcomeNumber);
            gInterpreter.missionPause = 255;
        } else {
            gLoopFlags.endOfMissionRequest = 255;
        }
        MissionEndState = kMissionDebrief;
        break;
    default: {
        // Ended early: the time left before the target time earns its bonus.
        gKeptTimeBonus = 0;
        if (gScriptVars.targetTime > 0) {
            const int32_t seconds = (gScriptVars.targetTime - gScriptVars.missionClock) / 100;
            gKeptTimeBonus = seconds > 0 ? seconds * gScriptVars.timeScore : 0;
            AddToScore(gKeptTimeBonus);
        }
        StartDirectorOnPlayer();
        break;
    }
    }
}

void BackStep(const KeyContext&)
{
    if (CurrentStation == kStationOverview) {
        guiGoToNavStation();
        return;
    }
    if (MissionEndState == kMissionFlightOver) {
        // A flight that cannot go on (the mission failed, the ship is lost)
        // is left by Escape as by the end key: the status panel says so.
        if (BackStepEndsMission()) {
            EndMissionStep(KeyContext{});
            return;
        }
        // Back to flight from the end of a mission that has not failed.
        AddToScore(-gKeptTimeBonus);
        gKeptTimeBonus = 0;
        MissionEndState = kMissionInFlight;
        if (!gPlayerShipLost) {
            StopDirector();
            guiGoToNavStation();
            gDirectorOn = 0;
        }
        gInterpreter.missionPause = 0;
        return;
    }
    WingOrderPrefix = 0;
    if (PresentationRuns()) {
        guiClearMessageLog();
        ResetPresentationState();
    } else if (FullScreenFilmOpen()) {
        StopFilm();
        gLoopFlags.filmMode = 0;
    } else {
        guiCancelOrder(nullptr);
    }
    if (gStarMapOpen)
        ToggleStarMap();
    gObjectivesViewOpen = 0;
    gDocsViewOpen = 0;
    EndRemoteLink(0);
    if (OrbitViewByKey && !gPlayerShipLost) {
        RestoreCameraView();
        RestoreStationScreen();
        OrbitViewByKey = 0;
    }
    if (StationSaved() && !gPlayerShipLost)
        RestoreStationScreen();
}

// --- Speed, drive and orders --------------------------------------------------

// A held key stops the setpoint at 0 rather than running through it.
bool HeldAtZero(const KeyContext& key)
{
    const Sim* sim = ControlledSim();
    return sim && sim->ldsTargetSpeed == 0.0f && GetPreviousKeyStateBlock()[key.scan];
}

void SpeedUp(const KeyContext& key)
{
    if (!HeldAtZero(key))
        IncreaseSpeedSetpoint();
}

void SlowDown(const KeyContext& key)
{
    if (!HeldAtZero(key))
        DecreaseSpeedSetpoint();
}

void DriveOne(const KeyContext&)
{
    SelectDriveModeOne();
}

void DriveCycle(const KeyContext&)
{
    CycleDriveMode();
}

void Lds(const KeyContext&)
{
    guiToggleLds(nullptr);
}

void Undock(const KeyContext&)
{
    guiUndock(nullptr);
}

void Separate(const KeyContext&)
{
    guiSeparateCommandSection(nullptr);
}

void ExchangeAxes(const KeyContext&)
{
    AxisExchange = static_cast<int16_t>(1 - AxisExchange);
    gPlayerInput.axisSwap = AxisExchange ? 255 : 0; // what the flight control reads
}

void Damping(const KeyContext&)
{
    ToggleRotationDamping();
}

// Order keys 41-45: the player's own order, or with the prefix the wing's.
struct OrderKey {
    int16_t button;
    int32_t row;
    int32_t wing; // -1: regroup
};
constexpr OrderKey kOrderKeys[] = {
    {56, 0, -1}, // STOP / regroup
    {57, 1, 1},  // APPROACH
    {58, 2, 2},  // FORMATE
    {59, 3, 3},  // DOCK
    {61, 8, 4},  // MATCH VEL
};

template <int Index>
void OrderCommand(const KeyContext& key)
{
    const OrderKey& o = kOrderKeys[Index];
    if (key.prefix) {
        if (o.wing < 0)
            Regroup();
        else
            Wing(o.wing);
        return;
    }
    CurrentOrderButton = o.button;
    CommandOrder(o.row);
}

void CancelOrder(const KeyContext& key)
{
    if (!key.prefix)
        guiCancelOrder(nullptr);
}

void Nothing(const KeyContext&) {}

// --- Contacts and targets ----------------------------------------------------

void Filter(const KeyContext&)
{
    CycleContactFilter(nullptr);
}

void PreviousContact(const KeyContext&)
{
    if (CurrentStation == kStationEng) {
        PrevSystem();
        return;
    }
    SelectPreviousContact();
    PointAtCurrentContact();
}

void NextContact(const KeyContext&)
{
    if (CurrentStation == kStationEng) {
        NextSystem();
        return;
    }
    SelectNextContact();
    PointAtCurrentContact();
}

void TargetOrComponent(const KeyContext&)
{
    SelectTargetOrComponent();
}

void TakePlayerTarget(const KeyContext&)
{
    SceneItem* t = gContacts.playerTarget.Get();
    Sim* sim = ControlledSim();
    if (!CurrentContactItem() || !t || !sim)
        return;
    TakeAsWeaponsTarget(t);
    SelectContact(t);
}

template <SceneItem* (*Find)(SceneItem*)>
void HostileCommand(const KeyContext&)
{
    if (!gControlledItem)
        return;
    if (SceneItem* t = Find(gControlledItem)) {
        SelectContact(t);
        Adopt(t);
    }
}

void AdoptContact(const KeyContext&)
{
    Adopt(CurrentContactItem());
}

template <void (*Step)()>
void EngOnly(const KeyContext&)
{
    if (CurrentStation == kStationEng)
        Step();
}

// --- Weapons -------------------------------------------------------------------

void Fire(const KeyContext&)
{
    guiFireCurrentMount(nullptr);
}

void NextGun(const KeyContext&)
{
    guiSelectNextGun(nullptr);
}

void NextMissile(const KeyContext&)
{
    guiSelectNextMissile(nullptr);
}

void Ripple(const KeyContext&)
{
    if (CurrentStation == kStationWep)
        guiToggleRippleFire(nullptr);
}

void HardBounce(const KeyContext&)
{
    if (!gControlledItem || !gControlledItem->sim)
        return;
    Sim* sim = gControlledItem->sim;
    if (sim->flags & kSimHardBounce)
        sim->flags &= ~kSimHardBounce;
    else
        PostItemMessage(gControlledItem->receiver, gControlledItem->receiver, 0, kMsgHardBounce, 0, nullptr);
}

void Ldsi(const KeyContext&)
{
    const Sim* sim = ControlledSim();
    if (SceneItem* target = sim ? sim->target.Get() : nullptr)
        FireLdsiMissile(gControlledItem, target);
}

void Ecm(const KeyContext&)
{
    if (gControlledItem)
        FireEcmFlare(gControlledItem);
}

// --- Stations and views ----------------------------------------------------------

template <void (*Select)()>
void StationCommand(const KeyContext&)
{
    if (!gDirectorOn)
        Select();
}

void Trails(const KeyContext&)
{
    TrailsHidden = static_cast<int16_t>(1 - TrailsHidden);
    for (int i = 1; i < kCockpitTrailHuds; ++i) {
        if (HUD* trail = gCockpitTrailHuds[i]) {
            if (TrailsHidden)
                trail->flags |= kHudHidden;
            else
                trail->flags &= ~kHudHidden;
        }
    }
}

void Hud(const KeyContext&)
{
    ToggleHud();
    if (gComponentBoxHud)
        gComponentBoxHud->flags |= kHudHidden;
}

void TrackMode(const KeyContext&)
{
    guiToggleTrackMode(nullptr);
}

void ScopeMode(const KeyContext&)
{
    ScopeDisplayMode = (ScopeDisplayMode + 1) % 3;
}

void ExternalView(const KeyContext&)
{
    if (CurrentStation == kStationOverview)
        return;
    if (!gLoopFlags.filmMode && !PresentationRuns() && !gDirectorOn)
        ToggleExternalView();
    OrbitViewByKey = 0;
}

void RemoteCamera(const KeyContext&)
{
    if (gExternalView && gBridgeRoot)
        guiCycleRemoteCamera(gBridgeRoot);
}

void DirectorCamera(const KeyContext&)
{
    PlaceDirectorCamera();
}

void OrbitView(const KeyContext&)
{
    if (gDirectorOn && OrbitViewByKey) {
        OrbitViewByKey = 0;
    } else if (!OrbitViewByKey) {
        if (CurrentStation != kStationNav)
            guiGoToNavStation();
        SaveCameraView();
        EnterExternalView();
        OrbitViewByKey = 255;
    } else {
        RestoreCameraView();
        OrbitViewByKey = 0;
    }
}

void Objective(const KeyContext&)
{
    ShowCurrentObjective();
}

template <const char* (*Browse)(uint8_t*)>
void ShipLog(const KeyContext&)
{
    uint8_t isEvent = 0;
    if (const char* line = Browse(&isEvent))
        guiAddMessageLogText(line, isEvent);
}

void ReplayFilm(const KeyContext&)
{
    gLoopFlags.filmMode = PlayFilm(gFilmName.c_str()) ? 255 : 0;
}

// --- Repair teams and the wing ----------------------------------------------------

template <int Team>
void TeamOrWing(const KeyContext&)
{
    if (CurrentStation == kStationEng) {
        AssignSystemToTeam(Team, gEngPanel.selectedSystem);
        return;
    }
    if (Team == 0)
        Regroup();
    else
        Wing(Team);
}

template <int Order>
void WingCommand(const KeyContext&)
{
    Wing(Order);
}

void TogglePrefix(const KeyContext&)
{
    WingOrderPrefix = WingOrderPrefix ? 0 : 255;
}

// --- Options, time and the key list ------------------------------------------------

void Options(const KeyContext&)
{
    if (CurrentStation == kStationOptions)
        LeaveOptionsScreen();
    else
        guiGoToOptions();
}

void FasterTime(const KeyContext&)
{
    float& t = gFrameClock.timeCompression;
    t *= 2.0f;
    if (t > kMaxTimeCompression)
        t = 1.0f;
}

void NormalTime(const KeyContext&)
{
    gFrameClock.timeCompression = 1.0f;
}

void KeyList(const KeyContext&)
{
    if (MissionEndState != kMissionInFlight)
        return;
    KeyListShown = KeyListShown ? 0 : 255;
    if (KeyListShown) {
        ShowKeyList();
        // The game holds, the picture up, until a key is pressed (the
        // frame loop's pause, which any key ends while the list is up).
        gLoopFlags.pause = 255;
    }
}

// At a station in flight the ship's view alone over the whole screen, with
// the HUD, the target's card and the log; the same key brings the station
// back.
void MainViewOnly(const KeyContext&)
{
    if (gWindows.mainViewOnly)
        guiLeaveMainViewOnly();
    else if (CurrentStation >= kStationCom && CurrentStation <= kStationEng && !PresentationRuns())
        guiEnterMainViewOnly(gBridgeRoot);
}

// Hint mode: a click on a station's control shows what it does instead of
// doing it, until the same key ends the mode (or the flight ends).
void HintMode(const KeyContext&)
{
    static constexpr const char* kOn[3] = {"HINTS: CLICK A CONTROL", "AIDE : CLIQUEZ UNE COMMANDE",
                                           "HILFE: BEDIENELEMENT ANKLICKEN"};
    static constexpr const char* kOff[3] = {"HINTS OFF", "AIDE ARRETEE", "HILFE AUS"};
    guiSetHintMode(!gWindows.hintMode);
    const unsigned language = gSettings.language <= 2 ? gSettings.language : 0;
    guiDisplayMessage(gWindows.hintMode ? kOn[language] : kOff[language], kMessageTicks);
}

void CommsArm(const KeyContext&)
{
    if (gCommsArmOpen)
        guiToggleCommsArm();
}

// --- Developer commands ----------------------------------------------------------

void DevEvent(const KeyContext&)
{
    if (!gPlayerItem)
        return;
    DirectorOfferShot(gPlayerItem, nullptr, kShotPlayerShip);
    const uint8_t zeros[48] = {};
    PostItemMessage(gPlayerItem->receiver, gPlayerItem->receiver, kDevMessageDelay, kMsgDevEvent, sizeof zeros,
                    zeros);
}

// The mission script's pending wait ends at once.
void SkipScriptWait(const KeyContext&)
{
    gScriptSkipRequest = 255;
}

void Indestructible(const KeyContext&)
{
    if (!gControlledItem || !gControlledItem->sim)
        return;
    Sim* sim = gControlledItem->sim;
    sim->flags ^= kSimNoDamage;
    // The ship by its name (its script symbol's when it has none).
    const char* name = ItemDisplayName(gControlledItem);
    if (!name)
        name = "Ship";
    char text[128];
    std::snprintf(text, sizeof text, (sim->flags & kSimNoDamage) ? "%s now indestructible" : "%s now destructible",
                  name);
    guiDisplayMessage(text, kMessageTicks);
}

void Jump(const KeyContext&)
{
    StartPlayerJump();
}

void SystemDamage(const KeyContext&)
{
    DamageShipSystemsRandomly();
}

void ScreenshotSequence(const KeyContext&)
{
    gLoopFlags.screenshotRequest = gLoopFlags.screenshotRequest ? 0 : 255;
}

void Succeed(const KeyContext&)
{
    gScriptMission.missionSucceeded = 255;
    gScriptMission.outcomeNumber = 1;
    guiAddMessageLogText("Success!!!", 1);
}

void ContactDisplay(const KeyContext&)
{
    gContacts.showAll = gContacts.showAll ? 0 : 255;
}

void DockTarget(const KeyContext&)
{
    if (!gPlayerItem || !gPlayerItem->sim)
        return;
    SceneItem* target = gPlayerItem->sim->navTarget.Get();
    if (!target)
        target = CurrentContactItem();
    if (!target)
        return;
    DockPoint* theirs = NthDockPoint(target, 0, nullptr);
    if (!theirs)
        return;
    DockPoint* ours = NthDockPoint(gPlayerItem, theirs->z >= 0.0f ? 0 : 1, nullptr);
    if (!ours)
        return;
    theirs->flags |= 0x10;
    ours->flags |= 0x10;
    CoupleAtDockPoints(target, gPlayerItem, theirs, ours, 0);
}

void DestroyContact(const KeyContext&)
{
    SceneItem* item = CurrentContactItem();
    if (!item || !item->sim)
        return;
    HitPayload note{};
    note.point[0] = static_cast<float>(item->sim->position.x);
    note.point[1] = static_cast<float>(item->sim->position.y);
    note.point[2] = static_cast<float>(item->sim->position.z);
    NoteItemDestroyed(item, &note);
    DirectorOfferShot(item, nullptr, kShotPlayerShip);
    PostItemMessage(item->receiver, item->receiver, kDevMessageDelay, kMsgDecoy, note);
}

void MatchContact(const KeyContext&)
{
    SceneItem* item = CurrentContactItem();
    if (!item || !item->sim || !gPlayerItem || !gPlayerItem->sim)
        return;
    Sim* c = item->sim;
    Sim* p = gPlayerItem->sim;
    if (c->flags & kSimLdsEngaged) {
        p->flags |= kSimLdsEngaged;
        p->matrix = c->matrix;
        p->thrust.x = c->thrust.x;
        p->thrust.y = c->thrust.y;
        p->speed = c->speed;
    } else {
        p->velocity = c->velocity;
    }
}

void JumpToContact(const KeyContext& key)
{
    if (key.prefix)
        Wing(8);
    else if (Developer())
        JumpPlayerToObject(CurrentContactItem());
}

void DebugPage(const KeyContext& key)
{
    if (key.prefix)
        Wing(6);
    else if (Developer())
        HudDebugPage = static_cast<int16_t>((HudDebugPage + 1) % 3);
}

void Profiler(const KeyContext& key)
{
    if (key.prefix)
        Wing(5);
    else if (Developer())
        gProfilerShown = gProfilerShown ? 0 : 255;
}

void Pause(const KeyContext&)
{
    gInterpreter.missionPause = gInterpreter.missionPause ? 0 : 255;
}

void Screenshot(const KeyContext&)
{
    SaveScreenshot(ScreenCanvas());
}

void ReplayDialogue(const KeyContext&)
{
    ReplayNextDialogue();
}

void EnergyShares(const KeyContext&)
{
    ResetEnergyShares();
}

// One command: its code, whether it needs the developer powers, its routine.
struct CommandRow {
    int16_t code;
    bool developer;
    void (*run)(const KeyContext&);
};

constexpr CommandRow kCommands[] = {
    {20, false, SpeedUp},
    {21, false, SlowDown},
    {24, false, DriveOne},
    {25, false, DriveCycle},
    {26, false, Lds},
    {27, false, Undock},
    {28, false, Separate},
    {29, false, ExchangeAxes},
    {30, false, Damping},
    {41, false, OrderCommand<0>},
    {42, false, OrderCommand<1>},
    {43, false, OrderCommand<2>},
    {44, false, OrderCommand<3>},
    {45, false, OrderCommand<4>},
    {46, false, CancelOrder},
    {60, false, Nothing},
    {62, false, Filter},
    {63, false, PreviousContact},
    {64, false, NextContact},
    {65, false, TargetOrComponent},
    {66, false, TakePlayerTarget},
    {67, false, HostileCommand<FindNearestHostileContact>},
    {68, false, AdoptContact},
    {69, false, HostileCommand<FindNearestHostileContactWide>},
    {70, false, HostileCommand<FindNextHostileContact>},
    {71, false, EngOnly<PrevSystemInGroup>},
    {72, false, EngOnly<NextSystemInGroup>},
    {73, false, EngOnly<PrevGroupSystem>},
    {74, false, EngOnly<NextGroupSystem>},
    {80, false, Fire},
    {81, false, NextGun},
    {82, false, NextMissile},
    {83, false, Ripple},
    {84, false, Ripple},
    {86, false, HardBounce},
    {87, false, Ldsi},
    {88, false, Ecm},
    {100, false, StationCommand<guiSelectComStation>},
    {101, false, StationCommand<guiGoToNavStation>},
    {102, false, StationCommand<guiSelectWepStation>},
    {103, false, StationCommand<guiSelectEngStation>},
    {104, false, Trails},
    {105, false, Hud},
    {106, false, TrackMode},
    {107, false, ScopeMode},
    {108, false, ExternalView},
    {109, false, RemoteCamera},
    {110, false, DirectorCamera},
    {111, false, OrbitView},
    {112, false, Objective},
    {113, false, ShipLog<ShipLogPrevious>},
    {114, false, ReplayFilm},
    {115, false, ShipLog<ShipLogNext>},
    {120, false, TeamOrWing<0>},
    {121, false, TeamOrWing<1>},
    {122, false, TeamOrWing<2>},
    {123, false, TeamOrWing<3>},
    {124, false, WingCommand<4>},
    {125, false, WingCommand<5>},
    {126, false, WingCommand<6>},
    {127, false, WingCommand<8>},
    {128, false, TogglePrefix},
    {141, false, Options},
    {142, false, EndMissionStep},
    {143, false, BackStep},
    {144, true, FasterTime},
    {145, false, NormalTime},
    {146, false, KeyList},
    {147, false, MainViewOnly},
    {148, false, HintMode},
    {160, false, CommsArm},
    {180, true, DevEvent},
    {181, true, SkipScriptWait},
    {182, true, Indestructible},
    {183, true, Jump},
    {184, true, SystemDamage},
    {185, true, ScreenshotSequence},
    {186, true, Succeed},
    {187, true, ContactDisplay},
    {188, true, DockTarget},
    {189, true, DestroyContact},
    {190, true, MatchContact},
    {191, false, JumpToContact},
    {192, false, DebugPage},
    {193, false, Profiler},
    {194, true, Pause},
    {195, false, Screenshot},
    {196, true, ReplayDialogue},
    {200, false, EnergyShares},
};

// Command code -> its row, built once from the table.
struct CommandIndex {
    const CommandRow* rows[kLastCommand + 1] = {};
    constexpr CommandIndex()
    {
        for (const CommandRow& row : kCommands)
            rows[row.code] = &row;
    }
};
constexpr CommandIndex kCommandIndex;

bool PassesBriefing(uint8_t scan)
{
    return (scan >= kScanF1 && scan <= kScanF4) || scan == kScanEsc || scan == kScanQ;
}

// The star map takes the letters that select a map item.
bool StarMapTakes(uint8_t scan)
{
    const Star* star = gStarMap.selectedStar;
    const SystemBody* body = gStarMap.focusedBody;
    SelectMapItemByLetter(scan);
    return gStarMap.selectedStar != star || gStarMap.focusedBody != body;
}

// The document browser takes every key: Esc closes it, Up and Down scroll.
void DocumentBrowserKey(uint8_t scan)
{
    if (scan == kScanEsc)
        guiToggleDocsView(nullptr);
    else if (scan == kScanUp && gDocuments.canScrollUp)
        gDocuments.scroll = static_cast<int16_t>(gDocuments.scroll - kDocumentScrollStep);
    else if (scan == kScanDown && gDocuments.canScrollDown)
        gDocuments.scroll = static_cast<int16_t>(gDocuments.scroll + kDocumentScrollStep);
}

} // namespace

bool BackStepEndsMission()
{
    return MissionEndState == kMissionFlightOver && (gScriptMission.missionFailed || gPlayerShipLost);
}

void guiBridgeKeyHandler(uint16_t keyCode)
{
    const KeyContext key{static_cast<uint8_t>(keyCode >> 8), WingOrderPrefix != 0};
    if (gStarMapOpen && (StarMapTakes(key.scan) || !PassesBriefing(key.scan)))
        return;
    if (gDocsViewOpen && CurrentStation == kStationCom) {
        DocumentBrowserKey(key.scan);
        return;
    }
    if (PresentationRuns() && !PassesBriefing(key.scan))
        return;
    if (key.scan == kScanLeftShift || key.scan == kScanLeftCtrl)
        return;
    const KeyStateBlock& keys = GetKeyStateBlock();
    const int layer = keys[kScanLeftCtrl] ? 2 : keys[kScanLeftShift] ? 1
                                                                     : 0;
    const int16_t command = gKeyMap[layer][key.scan];
    const bool ended = MissionEndState != kMissionInFlight || gPlayerShipLost;
    if (command >= kFirstCommand && command <= kLastCommand &&
        (!ended || command == kCommandEndMission || command == kCommandBack)) {
        const CommandRow* row = kCommandIndex.rows[command];
        if (row && (!row->developer || Developer())) {
            TraceLine("command", "%d", command);
            row->run(key);
        }
    }
    if (key.prefix)
        WingOrderPrefix = 0;
}

void ShowKeyList()
{
    if (CurrentStation == kStationOverview)
        guiGoToNavStation();
    SoundPauseAll();
    DisplayLock(gScreenMode);
    Resource* picture = ResRegister("zqk\\resource\\art\\keylist.pcx", ResType::PcxBackdrop);
    const Canvas screen = ScreenCanvas();
    if (picture && ResGet(picture) && screen.pixels) {
        const uint8_t* backdrop = ResBackdropPixels();
        const int width = std::min<int>(kBackdropWidth, screen.rowLength);
        for (int y = 0; y < kBackdropHeight && y < screen.height; ++y)
            std::memcpy(screen.pixels + static_cast<std::size_t>(y) * screen.rowLength,
                        backdrop + static_cast<std::size_t>(y) * kBackdropWidth, static_cast<std::size_t>(width));
    }
    DisplayPresent(gScreenMode);
}
