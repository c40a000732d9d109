// The navigation station "NAV": drive, speed, lateral thrust, orders,
// undocking, the navigation target and the order status.
#include "screens/navstation.h"

#include "ai/docking.h"
#include "screens/bridge.h"
#include "screens/comstation.h"
#include "screens/vesselorders.h"
#include "script/configstatements.h"
#include "script/symbols.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "system/sound.h"
#include "ui/contacts.h"
#include "ui/drawtypes.h"
#include "ui/hud.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/viewstart.h"
#include "world/lds.h"
#include "world/playerinput.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <cmath>

int16_t CurrentOrderButton = 0;
uint8_t gUndockBarred = 0;

namespace {

constexpr float kNormalStep = 5000.0f;
constexpr float kLdsFloor = 100000.0f;
constexpr int32_t kMessageTime = 200;
constexpr int32_t kEndedOrderTicks = 400;
constexpr int16_t kEndedOrderText = 60;
constexpr int16_t kUndockBarredText = 64;
constexpr int16_t kSeparateArmText = 55;
constexpr int16_t kSeparateText = 62;
constexpr int16_t kDockButton = 59;
constexpr float kOrderStatusValue = 9999.0f;
constexpr int32_t kRangeStep = 1000;

// Labels by language.
const char* const kThrusterLabel[3] = {"THRUSTER", "PROPULSEURS", "TRIEBWERK"};
const char* const kManualLabel[3] = {"MANUAL", "MANUEL", "MANUELL"};
const char* const kDriveModeLabels[3] = {"FREE", "TAXI", "DOCK"};

int Language() { return gSettings.language <= 2 ? gSettings.language : 0; }

Sim* ControlledSim() { return gControlledItem ? gControlledItem->sim : nullptr; }

bool LdsOn(const Sim* sim) { return sim && (sim->flags & kSimLdsEngaged); }

float LdsMaximum(const Sim* sim) { return sim && sim->flightModel ? sim->flightModel->ldsTopSpeed : 0.0f; }
float SetpointLimit(const Sim* sim) { return sim && sim->flightModel ? sim->flightModel->topSpeed : 0.0f; }

// The setpoint as the LDS steps read it: 0 or below counts as the floor,
// so no logarithm of zero or a negative number is ever taken.
double LdsSetpoint(const Sim* sim) { return sim->ldsTargetSpeed > 0.0f ? sim->ldsTargetSpeed : kLdsFloor; }

void ResetDemands()
{
    if (gControlledItem)
        ClearThrustDemand(gControlledItem);
}

void SetDriveMode(int32_t mode)
{
    Sim* sim = ControlledSim();
    if (!sim)
        return;
    if (LdsOn(sim))
        BeginLdsDisengage();
    sim->assistMode = mode;
    ResetDemands();
    sim->ldsTargetSpeed = 0.0f;
}

const char* GameText(int16_t number)
{
    return number >= 0 && number < kTextTableEntries && gTextTable[number] ? gTextTable[number] : "";
}

// Engages the drive: the spool-up starts and the setpoint goes to the LDS floor.
void EngageFromBridge(Sim* sim)
{
    sim->flags |= kSimLdsEngaged;
    ResetDemands();
    sim->ldsSpool = static_cast<int32_t>(sim->flightModel ? sim->flightModel->spoolTime : 0.0f);
    sim->ldsTargetSpeed = kLdsFloor;
    sim->thrust.z = kLdsFloor;
}

// The lit state of the NAV buttons, chosen by the window's aux byte.
enum LitTest : uint8_t {
    kLitLds = 1,
    kLitDriveMode,
    kLitOrderRow,
    kLitNoOrder,
};

bool ButtonLit(const WindowHandle* window)
{
    const Sim* sim = ControlledSim();
    if (!sim)
        return false;
    const int32_t value = static_cast<int32_t>(window->value);
    switch (window->aux) {
    case kLitLds: return LdsOn(sim);
    case kLitDriveMode: return !LdsOn(sim) && sim->assistMode == value;
    case kLitOrderRow: return (sim->flags & kSimAiControl) && CurrentOrderIndex == value;
    case kLitNoOrder: return !(sim->flags & kSimAiControl);
    default: return false;
    }
}

void DrawLitButton(WindowHandle* window) { guiDrawLampButton(window, ButtonLit(window)); }

void DriveModeClick(WindowHandle* window) { SetDriveMode(static_cast<int32_t>(window->value)); }

void DriveLabelFrame(WindowHandle* window)
{
    guiSetWindowText(window, LdsOn(ControlledSim()) ? "LDS" : kThrusterLabel[Language()]);
    guiTickWindow(window);
}

void AutopilotClick(WindowHandle*)
{
    if (Sim* sim = ControlledSim())
        sim->flags ^= kSimAiControl;
}

void AutopilotLabelFrame(WindowHandle* window)
{
    const Sim* sim = ControlledSim();
    guiSetWindowText(window, sim && (sim->flags & kSimAiControl) ? "AUTO" : kManualLabel[Language()]);
    guiTickWindow(window);
}

void DriveModeLabelFrame(WindowHandle* window)
{
    const Sim* sim = ControlledSim();
    if (sim && (sim->flags & kSimAiControl) && sim->shipInfo) {
        const char* name = sim->shipInfo->orders[1].name;
        guiSetWindowText(window, name ? name : "");
    } else if (LdsOn(sim)) {
        guiSetWindowText(window, "----");
    } else {
        const int32_t mode = sim ? sim->assistMode : 0;
        guiSetWindowText(window, mode >= 0 && mode < 3 ? kDriveModeLabels[mode] : "");
    }
    guiTickWindow(window);
}

// "NAuto1" steps through the first eight rows only: MATCH VEL has its own
// button.
void NextOrderRowClick(WindowHandle*)
{
    constexpr int16_t kSteppedRows = 8;
    CurrentOrderIndex = static_cast<int16_t>(CurrentOrderIndex + 1 >= kSteppedRows ? 0 : CurrentOrderIndex + 1);
}

Resource* FontNamed(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol || !symbol->value || SymbolHoldsValueBytes(symbol) || (symbol->type & kSymbolSceneItem))
        return nullptr;
    return static_cast<Resource*>(symbol->value);
}

void OrderRowFrame(WindowHandle* window)
{
    if (CurrentOrderIndex >= 0 && CurrentOrderIndex < kCommandOrders) {
        const CommandOrderRow& row = kCommandOrderTable[CurrentOrderIndex];
        const bool flyable = LdsOn(ControlledSim()) ? row.lds != nullptr : row.normal != nullptr;
        guiSetWindowText(window, row.name);
        if (Resource* font = FontNamed(flyable ? "RFont" : "GFont"))
            window->font = font;
    }
    guiTickWindow(window);
}

void RangeDownClick(WindowHandle*) { gEscortRange = gEscortRange - kRangeStep < 0 ? 0 : gEscortRange - kRangeStep; }
void RangeUpClick(WindowHandle*) { gEscortRange += kRangeStep; }

void RangeFrame(WindowHandle* window)
{
    window->value = gEscortRange / 100.0f;
    guiTickWindow(window);
}

void ThrustFrame(WindowHandle* window)
{
    const Sim* sim = ControlledSim();
    if (sim && sim->flightModel) {
        switch (window->aux) {
        case 0:
            window->value = sim->thrust.x;
            window->maximum = sim->flightModel->lateral;
            break;
        case 1:
            window->value = sim->thrust.y;
            window->maximum = sim->flightModel->lateral;
            break;
        default:
            window->value = sim->thrust.z;
            window->maximum = LdsOn(sim) ? sim->flightModel->ldsTopSpeed : sim->flightModel->topSpeed;
            break;
        }
    }
    guiTickWindow(window);
}

// The lateral thrust buttons: held, they push; released, they stop.
struct LateralButton {
    const char* name;
    int axis; // 0 x, 1 y
    float demand;
};
constexpr LateralButton kLateralButtons[] = {
    {"NDUp", 1, -100.0f},
    {"NDDn", 1, 100.0f},
    {"NDLf", 0, -100.0f},
    {"NDRt", 0, 100.0f},
};

float& LateralDemand(Sim* sim, int axis) { return axis == 0 ? sim->thrust.x : sim->thrust.y; }

void LateralPress(WindowHandle* window)
{
    Sim* sim = ControlledSim();
    if (!sim || window->aux >= std::size(kLateralButtons))
        return;
    const LateralButton& b = kLateralButtons[window->aux];
    LateralDemand(sim, b.axis) = b.demand;
    sim->flags |= kSimNoLateralAssist; // the flight assist leaves the push alone
}

void LateralRelease(WindowHandle* window)
{
    Sim* sim = ControlledSim();
    if (!sim || window->aux >= std::size(kLateralButtons))
        return;
    LateralDemand(sim, kLateralButtons[window->aux].axis) = 0.0f;
    sim->flags &= ~kSimNoLateralAssist;
}

void EmissionFrame(WindowHandle* window)
{
    const Sim* sim = ControlledSim();
    const float level = sim ? sim->signature : 0.0f;
    window->value = std::log10(level > 1.0f ? level : 1.0f);
    window->maximum = 10.0f;
    guiTickWindow(window);
}

// The ship-system health rows show the player's ship, whichever it is now.
void HealthRowFrame(WindowHandle* window)
{
    if (guiViewedItems(window) != gPlayerItem) {
        guiSetViewedItems(window, gPlayerItem);
        guiRedrawWindowAndChildren(window);
    }
    guiTickWindow(window);
}

struct OrderButton {
    const char* name;
    int16_t hint;
    int16_t row;
};
constexpr OrderButton kOrderButtons[] = {
    {"NvMd4", 56, 0},
    {"NvMd5", 57, 1},
    {"NvMd6", 58, 2},
    {"NvMd7", 59, 3},
    {"NvMd7b", 61, 8},
};

// The order button each row lights.
constexpr int16_t kRowButtons[kCommandOrders] = {56, 57, 58, 59, 59, 59, 59, 59, 61};

struct Ticker {
    int32_t endedCountdown; // ticks the "order ended" text still shows
    uint8_t underOrder;     // as last seen
    SceneItem* navTarget;   // as the target element last showed it
    int16_t separation;     // the command section's separation: 0, armed (55), done (62)
} gNav;

WindowHandle* Bind(const char* name, WindowRoutine click, WindowRoutine draw, int16_t hint, float value, uint8_t aux)
{
    WindowHandle* w = guiBindClick(name, click);
    if (!w)
        return nullptr;
    if (draw)
        w->draw = draw;
    w->hintText = hint;
    w->value = value;
    w->aux = aux;
    return w;
}

// The navigation station's buttons; the drive, autopilot and order-row
// buttons show the texts their frames choose.
constexpr ElementCaption kNavCaptions[] = {
    {"NAVQuit", {"Leave", "Quitter", "Verlassen"}},
    {"NvMd0", {"LDS", "LDS", "LDS"}},
    {"NvMd1", {"Free", "Libre", "Frei"}},
    {"NvMd2", {"Taxi", "Taxi", "Taxi"}},
    {"NvMd3", {"Dock mode", "Amarrage", "Andocken"}},
    {"NvMd4", {"Stop", "Stop", "Stopp"}},
    {"NvMd5", {"Approach", "Approche", "Anflug"}},
    {"NvMd6", {"Formate", "Formation", "Formation"}},
    {"NvMd7", {"Dock", "Amarrer", "Docken"}},
    {"NvMd7b", {"Match vel", "Vitesse", "Angleichen"}},
    {"NvMd8", {"Cancel", "Annuler", "Abbrechen"}},
    {"NavButt4", {"Show HUD", "Voir HUD", "HUD an"}},
    {"NavButt5", {"Hide HUD", "Cacher HUD", "HUD aus"}},
    {"NavButt6", {"Undock", "Desamarrer", "Abdocken"}},
    {"NavButt7", {"Separate", "Separer", "Abtrennen"}},
    {"NDUp", {"Up", "Haut", "Auf"}},
    {"NDDn", {"Down", "Bas", "Ab"}},
    {"NDLf", {"Left", "Gauche", "Links"}},
    {"NDRt", {"Right", "Droite", "Rechts"}},
    {"NvComArmOut", {"Comms", "Comms", "Funk"}},
    {"NvComArmIn", {"Close", "Fermer", "Zu"}},
};

} // namespace

void IncreaseSpeedSetpoint()
{
    Sim* sim = ControlledSim();
    if (!sim)
        return;
    if (!LdsOn(sim)) {
        StepSpeedSetpointUp();
        return;
    }
    const double setpoint = LdsSetpoint(sim);
    const double next = setpoint + std::pow(10.0, std::floor(std::log10(setpoint)));
    sim->ldsTargetSpeed = static_cast<float>(std::fmin(next, LdsMaximum(sim)));
}

void DecreaseSpeedSetpoint()
{
    Sim* sim = ControlledSim();
    if (!sim)
        return;
    if (!LdsOn(sim)) {
        StepSpeedSetpointDown();
        return;
    }
    const double setpoint = LdsSetpoint(sim);
    const double next = setpoint - std::pow(10.0, std::floor(std::log10(setpoint) - 0.01));
    sim->ldsTargetSpeed = static_cast<float>(std::fmax(next, kLdsFloor));
}

void StepSpeedSetpointUp()
{
    Sim* sim = ControlledSim();
    if (!sim)
        return;
    if (LdsOn(sim)) {
        const double next = std::pow(10.0, std::floor(std::log10(LdsSetpoint(sim) * 10.0)));
        sim->ldsTargetSpeed = static_cast<float>(std::fmin(next, LdsMaximum(sim)));
    } else {
        sim->ldsTargetSpeed = std::fmin(sim->ldsTargetSpeed + kNormalStep, SetpointLimit(sim));
    }
}

void StepSpeedSetpointDown()
{
    Sim* sim = ControlledSim();
    if (!sim)
        return;
    if (LdsOn(sim)) {
        const double next = std::pow(10.0, std::floor(std::log10(LdsSetpoint(sim) / 10.0)));
        sim->ldsTargetSpeed = static_cast<float>(std::fmax(next, kLdsFloor));
    } else {
        sim->ldsTargetSpeed = std::fmax(sim->ldsTargetSpeed - kNormalStep, -SetpointLimit(sim));
    }
}

void ClampSpeedSetpoint()
{
    Sim* sim = ControlledSim();
    if (!sim)
        return;
    float low = -100000.0f, high = 100000.0f;
    if (LdsOn(sim)) {
        low = kLdsFloor;
        high = std::fmax(LdsMaximum(sim), kLdsFloor);
    } else if (sim->assistMode == 2) {
        low = -2500.0f;
        high = 2500.0f;
    }
    sim->ldsTargetSpeed = std::fmin(std::fmax(sim->ldsTargetSpeed, low), high);
}

void guiToggleLds(WindowHandle*)
{
    Sim* sim = ControlledSim();
    if (!sim || LdsMaximum(sim) == 0.0f)
        return;
    if ((sim->flags & kSimLdsBarred) && !LdsOn(sim)) {
        guiDisplayMessage("LDS INHIBIT", kMessageTime);
        return;
    }
    if (sim->ldsSpool != 0)
        return;
    if (LdsOn(sim)) {
        SoundPlay(33, 0, 0, 0, 0);
        sim->ldsSpool = -100;
        sim->ldsTargetSpeed = 0.0f;
        sim->velocity = {};
    } else {
        SoundPlay(31, 0, 0, 0, 0);
        EngageFromBridge(sim);
    }
}

void guiEngageLds(WindowHandle* window)
{
    Sim* sim = ControlledSim();
    if (!sim || LdsMaximum(sim) == 0.0f || sim->ldsSpool != 0) {
        if (window)
            window->flags |= kWindowSkipMessageOnce;
        return;
    }
    if (sim->flags & kSimLdsBarred) {
        guiDisplayMessage("LDS INHIBIT", kMessageTime);
        return;
    }
    if (!LdsOn(sim))
        EngageFromBridge(sim);
}

bool BeginLdsDisengage()
{
    Sim* sim = ControlledSim();
    if (sim && LdsOn(sim) && sim->ldsSpool == 0) {
        sim->velocity = {};
        sim->ldsSpool = -100;
        sim->ldsTargetSpeed = 0.0f;
    }
    return true;
}

void SelectDriveModeOne() { SetDriveMode(1); }

void CycleDriveMode()
{
    const Sim* sim = ControlledSim();
    if (!sim)
        return;
    SetDriveMode(sim->assistMode == 0 ? 1 : 0);
}

void guiUndock(WindowHandle* window)
{
    Sim* sim = ControlledSim();
    if (!sim)
        return;
    if (gUndockBarred || (sim->flags & kSimNoUndock)) {
        if (window)
            window->flags |= kWindowSkipMessageOnce;
        guiDisplayMessage(GameText(kUndockBarredText), kMessageTime);
        return;
    }
    UndockItem(gControlledItem);
    sim->ldsTargetSpeed = 0.0f;
}

// The button (or, with no window, the key) arms the separation at its
// first use and carries it out at its second; the two share the arming,
// which the button's value shows.
void guiSeparateCommandSection(WindowHandle* window)
{
    const ShipInfo* info = gPlayerItem && gPlayerItem->sim ? gPlayerItem->sim->shipInfo : nullptr;
    const bool allowed = gControlledItem && gControlledItem == gPlayerItem && info && info->kind == 0 &&
                         !FindDockedItem(gPlayerItem, nullptr);
    if (!allowed) {
        if (window)
            window->flags |= kWindowSkipMessageOnce;
        return;
    }
    if (gNav.separation != kSeparateArmText) {
        gNav.separation = kSeparateArmText;
        guiDisplayMessage(GameText(kSeparateArmText), kMessageTime);
    } else {
        gNav.separation = kSeparateText;
        guiDisplayMessage(GameText(kSeparateText), kMessageTime);
        SeparateCommandSection();
    }
    if (window)
        window->value = gNav.separation;
}

namespace {

// While the separation is armed its button wears a frame, so that the
// second press is not made unaware; the frame goes when it is carried out.
void SeparateButtonFrame(WindowHandle* window)
{
    const bool armed = gNav.separation == kSeparateArmText;
    if (armed != ((window->flags & kWindowOutlined) != 0)) {
        window->flags ^= kWindowOutlined;
        // The frame lies a pixel outside the button, over the console.
        if (armed)
            guiRedrawWindowAndChildren(window);
        else
            guiRequestFullRedraw();
    }
    guiTickWindow(window);
}

} // namespace

void guiCancelOrder(WindowHandle*)
{
    Sim* sim = ControlledSim();
    if (!sim)
        return;
    sim->flags &= ~kSimAiControl;
    CommitPlayerTarget();
    DisengageLds(gControlledItem);
    if (CurrentOrderButton == kDockButton)
        if (SceneItem* target = sim->navTarget.Get())
            ReleaseDockReservations(target, sim->shipInfo);
}

void guiOrderButton(WindowHandle* window)
{
    const int32_t row = window ? static_cast<int32_t>(window->value) : -1;
    if (row < 0 || row >= kCommandOrders)
        return;
    CommandOrder(row);
    CurrentOrderButton = kRowButtons[row];
}

void guiOrderStatusFrame(WindowHandle* window)
{
    const Sim* sim = ControlledSim();
    const bool underOrder = sim && (sim->flags & kSimAiControl);
    if (underOrder) {
        window->text = GameText(CurrentOrderButton);
        window->value = kOrderStatusValue;
    } else {
        if (gNav.underOrder)
            gNav.endedCountdown = kEndedOrderTicks;
        if (gNav.endedCountdown > 0) {
            gNav.endedCountdown -= gFrameClock.frameTicks;
            window->text = GameText(kEndedOrderText);
            window->value = static_cast<float>(gNav.endedCountdown);
        } else {
            window->text = nullptr;
            window->value = 0;
        }
    }
    gNav.underOrder = underOrder ? 1 : 0;
    guiTickWindow(window);
}

void guiNavTargetFrame(WindowHandle* window)
{
    const Sim* sim = ControlledSim();
    SceneItem* target = sim ? sim->navTarget.Get() : nullptr;
    if (target != gNav.navTarget) {
        gNav.navTarget = target;
        const Contact* row = target ? FindContactRow(target) : nullptr;
        const bool shown = row && (row->classFlags != 1024 ||
                                   (target->avatar && ((target->avatar->classFlags >> 16) & 0x3c0)));
        guiSetViewedItems(window, shown ? target : nullptr);
        guiRedrawWindowAndChildren(window);
    }
    guiTickWindow(window);
}

void guiDropNavTarget(WindowHandle*, WindowHandle* dropped)
{
    SceneItem* item = DroppedContactItem(dropped);
    if (!item || !gControlledItem || !gControlledItem->sim)
        return;
    gControlledItem->sim->navTarget = item;
    gControlledItem->sim->target = item;
    SelectContact(item);
}

void guiSetupNavStation()
{
    gNav.separation = 0;
    guiBindClick("NAVQuit", guiLeaveNavStation);
    CaptionElements(kNavCaptions);
    guiBindFrameHandler("MseX", guiMouseXFrame);
    guiBindFrameHandler("MseY", guiMouseYFrame);
    BindLocalView("NAVRealV", guiTickWindow);

    Bind("NvMd0", guiEngageLds, DrawLitButton, 50, 0, kLitLds);
    for (int mode = 0; mode < 3; ++mode) {
        static const char* const kNames[3] = {"NvMd1", "NvMd2", "NvMd3"};
        Bind(kNames[mode], DriveModeClick, DrawLitButton, static_cast<int16_t>(51 + mode), static_cast<float>(mode),
             kLitDriveMode);
    }
    if (WindowHandle* w = guiBindFrameHandler("NStat", guiOrderStatusFrame))
        w->draw = guiDrawTickerWindow;
    for (const OrderButton& b : kOrderButtons)
        Bind(b.name, guiOrderButton, DrawLitButton, b.hint, b.row, kLitOrderRow);
    Bind("NvMd8", guiCancelOrder, DrawLitButton, 60, 0, kLitNoOrder);
    if (WindowHandle* w = guiBindFrameHandler("NTarget", guiNavTargetFrame)) {
        w->draw = guiDrawTargetLabelWindow;
        w->dropHandler = guiDropNavTarget;
    }

    struct Labelled {
        const char* name;
        WindowRoutine click;
        WindowRoutine frame;
    };
    static const Labelled kLabelled[] = {
        {"NavMd0", guiToggleLds, DriveLabelFrame},
        {"NavMd1", AutopilotClick, AutopilotLabelFrame},
        {"NavMd2", [](WindowHandle*) { CycleDriveMode(); }, DriveModeLabelFrame},
        {"NAuto1", NextOrderRowClick, OrderRowFrame},
        {"NAutoX", RunCurrentOrder, guiTickWindow},
        {"AutPrmL", RangeDownClick, guiTickWindow},
        {"AutPrmH", RangeUpClick, guiTickWindow},
        {"AutPrm", nullptr, RangeFrame},
        {"NavButt4", [](WindowHandle*) { ShowAllHuds(); }, guiTickWindow},
        {"NavButt5", [](WindowHandle*) { HideAllHuds(); }, guiTickWindow},
        {"NavButt6", guiUndock, guiTickWindow},
        {"NavButt7", guiSeparateCommandSection, SeparateButtonFrame},
        {"NEmit", nullptr, EmissionFrame},
    };
    for (const Labelled& l : kLabelled)
        if (WindowHandle* w = guiBindFrameHandler(l.name, l.frame))
            w->clickHandler = l.click;
    guiBindDraw("AutPrmL", guiDrawLeftArrowWindow);
    guiBindDraw("AutPrmH", guiDrawRightArrowWindow);
    if (WindowHandle* w = guiBindClick("NavButt6", guiUndock))
        w->hintText = 54;
    if (WindowHandle* w = guiBindClick("NavButt7", guiSeparateCommandSection)) {
        w->hintText = 62;
        w->draw = guiDrawOutlinedButtonWindow;
    }

    static const char* const kThrustGauges[3] = {"XThr", "YThr", "ZThr"};
    for (uint8_t axis = 0; axis < 3; ++axis)
        if (WindowHandle* w = guiBindFrameHandler(kThrustGauges[axis], ThrustFrame))
            w->aux = axis;
    for (uint8_t i = 0; i < std::size(kLateralButtons); ++i)
        if (WindowHandle* w = guiBindPress(kLateralButtons[i].name, LateralPress)) {
            w->clickHandler = LateralRelease;
            w->aux = i;
        }

    BindStationContacts("N");
    if (WindowHandle* w = guiBindDraw("NOrb", guiDrawNavScopeWindow)) {
        RegisterViewWindow(w);
        gScopeWindows[0] = w;
        guiSetHeldHudElement(w, gCockpitOrbs[0]);
    }
    static const char* const kHealthRows[2] = {"NAVSysStat1", "NAVSysStat2"};
    for (int i = 0; i < 2; ++i)
        if (WindowHandle* w = guiBindFrameHandler(kHealthRows[i], HealthRowFrame)) {
            w->draw = guiDrawSystemsHealthWindow;
            w->value = static_cast<float>(i * 17);
            w->maximum = static_cast<float>(i * 17 + 16);
        }
    BindStationComms("Nv");
}
