// The weapons station "WEP" and the engineering station "ENG".
#include "screens/wepstation.h"

#include "ai/combat.h"
#include "ai/weapons.h"
#include "screens/bridge.h"
#include "screens/comstation.h"
#include "screens/engineering.h"
#include "script/symbols.h"
#include "script/configstatements.h"
#include "system/canvas.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "ui/contacts.h"
#include "ui/drawtypes.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/vectoricons.h"
#include "view/viewstart.h"
#include "world/floatingorigin.h"
#include "world/playerinput.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

#include <cstdio>
#include <cstring>

WeaponStation gWeaponStation = {};
uint8_t& RapidMode = gPlayerInput.componentAiming;

namespace {

constexpr int32_t kMessageTime = 200;
constexpr int16_t kAnnounceText = 40;
constexpr int32_t kPositionCodes = 10;
constexpr int32_t kHardPointTargetMask = 260;
constexpr int32_t kSlotSpacing = 16;

const char* const kPositionWords[kPositionCodes] = {
    "FULL RNG",
    "FWD",
    "FWD PORT",
    "PORT",
    "AFT PORT",
    "AFT",
    "AFT STBD",
    "STBD",
    "FWD STBD",
    "FULL RNG",
};
constexpr int32_t kPositionClasses[kPositionCodes] = {0, 0, 0, 2, 1, 1, 1, 3, 0, 0};

const char* const kTrackLabels[2][3] = {
    {"LOCKED", "VEROUILLE", "AUSRICHTEN"},
    {"TRACK", "LOCALISER", "FOLGEN"},
};
const char* const kRippleLabel[3] = {"RIPPLE", "SERIE", "WELLE"};
const char* const kRapidLabel[3] = {"RAPID", "RAPIDE", "SCHNELL"};

// The slot icons by mount kind and position class: normal and selected.
struct SlotIconName {
    int kind;
    int positionClass;
    const char* names[2];
};
constexpr SlotIconName kSlotIconNames[] = {
    {0, 0, {"wp_pbcf0", "wp_pbcf1"}},
    {0, 1, {"wp_pbca0", "wp_pbca1"}},
    {3, 0, {"wp_skf0", "wp_skf1"}},
    {3, 1, {"wp_ska0", "wp_ska1"}},
    {4, 0, {"wp_ldif0", "wp_ldif1"}},
    {4, 1, {"wp_ldia0", "wp_ldia1"}},
};

int Language() { return gSettings.language <= 2 ? gSettings.language : 0; }

Sim* ControlledSim() { return gControlledItem ? gControlledItem->sim : nullptr; }

int32_t PositionCode(const Weapon* mount) { return mount ? mount->directionCode & 0xF : -1; }

Resource* LoadIcon(const char* name)
{
    char path[96];
    std::snprintf(path, sizeof path, "zqk\\resource\\art\\icons\\%s.bbm", name);
    return ResFileExists(path) ? ResLoadNamed(path, ResType::LbmRaster) : nullptr;
}

// The mount becomes current, is announced when it changed and gets the
// weapon view's firing arc.
void MakeCurrent(Sim* sim, Weapon* mount)
{
    const bool changed = sim->currentWeapon != mount;
    sim->currentWeapon = mount;
    if (changed)
        AnnounceMount(mount);
    gWeaponViewMount = mount;
    SetupFiringArc(&gWeaponViewArc, static_cast<int16_t>(PositionCode(mount)));
}

// The next usable mount of the class at another position than the current
// one of that class, searched cyclically once round the list: a ship with no
// other such mount keeps its current one. A mount of the other class does
// not bar its own position.
void SelectNextOfClass(uint32_t classBit)
{
    Sim* sim = ControlledSim();
    if (sim && sim->weapons) {
        Weapon* current = sim->currentWeapon;
        int32_t count = 0;
        for (Weapon* w = sim->weapons; w; w = w->next)
            ++count;
        Weapon* w = current && (current->flags & classBit) && current->next ? current->next : sim->weapons;
        for (int32_t step = 0; step < count; ++step, w = w->next ? w->next : sim->weapons) {
            if ((w->flags & kMountUnusable) || !(w->flags & classBit))
                continue;
            if (current && (current->flags & classBit) && PositionCode(w) == PositionCode(current))
                continue;
            MakeCurrent(sim, w);
            break;
        }
    }
    RefreshWeaponSlots();
    UpdateViewModeFlag();
}

void SlotFrameCommon(WindowHandle* window) { guiTickWindow(window); }

Weapon* CurrentMount()
{
    const Sim* sim = ControlledSim();
    return sim ? sim->currentWeapon : nullptr;
}

void ChargeFrame(WindowHandle* window)
{
    if (const Weapon* w = CurrentMount()) {
        window->maximum = w->reload;
        window->value = w->reload - w->reloadTimer;
    }
    SlotFrameCommon(window);
}

int32_t AtLeastZero(int32_t v) { return v < 0 ? 0 : v; }

void MagazinesFrame(WindowHandle* window)
{
    if (const Weapon* w = CurrentMount())
        window->value = static_cast<float>(AtLeastZero(w->magazines));
    SlotFrameCommon(window);
}

void RoundsFrame(WindowHandle* window)
{
    if (const Weapon* w = CurrentMount()) {
        const int32_t rounds = (w->flags & kMountMissile) ? w->rounds : w->rounds + w->magazines * w->magazineSize;
        window->value = static_cast<float>(AtLeastZero(rounds));
    }
    SlotFrameCommon(window);
}

void SourceLevelFrame(WindowHandle* window)
{
    const Weapon* w = CurrentMount();
    window->value = w && w->system ? w->system->output * 1000.0f : 1000.0f;
    window->maximum = 1000.0f;
    SlotFrameCommon(window);
}

void AnnouncementFrame(WindowHandle* window)
{
    guiSetWindowText(window, gWeaponStation.announcement);
    SlotFrameCommon(window);
}

void TrackLabelFrame(WindowHandle* window)
{
    guiSetWindowText(window, kTrackLabels[gWeaponStation.track ? 1 : 0][Language()]);
    SlotFrameCommon(window);
}

void FireModeLabelFrame(WindowHandle* window)
{
    if (gWeaponStation.ripple)
        guiSetWindowText(window, kRippleLabel[Language()]);
    else if (RapidMode)
        guiSetWindowText(window, kRapidLabel[Language()]);
    else
        guiSetWindowText(window, "NORMAL");
    SlotFrameCommon(window);
}

bool CurrentMountAims()
{
    const Weapon* w = CurrentMount();
    return w && !(w->flags & kMountFiresAlong);
}

void AutoFrame(WindowHandle* window)
{
    Bitmap* wanted = CurrentMountAims() ? window->bitmapDown : window->bitmapUp;
    if (wanted && window->bitmap != wanted) {
        window->bitmap = wanted;
        guiRedrawWindowAndChildren(window);
    }
    SlotFrameCommon(window);
}

// "WpMd0" and "WpMd1": lit when the missile choice equals their value.
// "WEPAuto": its picture, which the frame chooses, or a lamp button when
// the layout gave it none.
void AutoDraw(WindowHandle* window)
{
    if (window->bitmapUp || window->bitmapDown)
        guiDrawRasterWindow(window);
    else
        guiDrawLampButton(window, CurrentMountAims());
}

void DrawModeLamp(WindowHandle* window)
{
    guiDrawLampButton(window, (gWeaponStation.missilesSelected ? 1 : 0) == static_cast<int32_t>(window->value));
}

void AssignHardPoints(WindowHandle*)
{
    for (int32_t n = 0; n < 4; ++n)
        AssignHardPointTarget(gControlledItem, n, kHardPointTargetMask, 0);
}

void WeaponsTargetFrame(WindowHandle* window)
{
    const Sim* sim = ControlledSim();
    SceneItem* target = sim ? sim->target.Get() : nullptr;
    if (target != guiViewedItems(window)) {
        guiSetViewedItems(window, target && FindContactRow(target) ? target : nullptr);
        guiRedrawWindowAndChildren(window);
    }
    SlotFrameCommon(window);
}

// ENG gauges: a ship system's value by name, or the hull.
struct Gauge {
    const char* name;
    const char* system; // null: the controlled item's hull
    WindowRoutine draw;
    float scale;
    float (*read)(const ShipSystem* system);
};
const Gauge kGauges[] = {
    {"Ess1", "REACTOR", guiDrawWarningBarWindow, 2500.0f, [](const ShipSystem* s) { return s->temperature; }},
    {"Ess2", "REACTOR", guiDrawLevelBarWindow, 1000.0f, [](const ShipSystem* s) { return s->output * 1000.0f; }},
    {"Ess3", "FUEL TANKS", guiDrawLevelBarWindow, 95000.0f, [](const ShipSystem* s) { return s->level; }},
    {"Ess4", nullptr, guiDrawLevelBarWindow, 100.0f, nullptr},
};

void GaugeFrame(WindowHandle* window)
{
    const Gauge& g = kGauges[window->aux < std::size(kGauges) ? window->aux : 0];
    window->maximum = g.scale;
    if (!g.system) {
        const Sim* sim = ControlledSim();
        window->value = sim ? static_cast<float>(sim->hull) : 0.0f;
    } else if (const ShipSystem* system = FindShipSystem(g.system)) {
        window->value = g.read(system);
    }
    guiTickWindow(window);
}

// "ENGSys": the panel's next ship system.
void NextSystemClick(WindowHandle*)
{
    NextSystem();
}

// The weapons and engineering stations' buttons; the track and fire-mode
// buttons show the texts their frames choose.
constexpr ElementCaption kWepCaptions[] = {
    {"WEPQuit", {"Leave", "Quitter", "Verlassen"}},
    {"WpMd0", {"Guns", "Canons", "Kanonen"}},
    {"WpMd1", {"Missiles", "Missiles", "Raketen"}},
    {"WEPAuto", {"Auto", "Auto", "Auto"}},
    {"WEPFire", {"Fire", "Feu", "Feuer"}},
    {"WEPULDA", {"Upper LDA", "LDA haut", "LDA oben"}},
    {"WEPLLDA", {"Lower LDA", "LDA bas", "LDA unten"}},
    {"WpComArmOut", {"Comms", "Comms", "Funk"}},
    {"WpComArmIn", {"Close", "Fermer", "Zu"}},
};
constexpr ElementCaption kEngCaptions[] = {
    {"ENGQuit", {"Leave", "Quitter", "Verlassen"}},
    {"ENGSys", {"Next", "Suivant", "Weiter"}},
    {"Promote", {"Promote", "Priorite", "Vorziehen"}},
    {"EgComArmOut", {"Comms", "Comms", "Funk"}},
    {"EgComArmIn", {"Close", "Fermer", "Zu"}},
};

} // namespace

const char* MountPositionWord(int32_t code)
{
    return code >= 0 && code < kPositionCodes ? kPositionWords[code] : kPositionWords[0];
}

int32_t MountPositionClass(int32_t code) { return code >= 0 && code < kPositionCodes ? kPositionClasses[code] : 0; }

void FormatWithTwoTexts(char* out, int32_t size, const char* format, const char* first, const char* second)
{
    if (!out || size <= 0)
        return;
    const char* texts[2] = {first ? first : "", second ? second : ""};
    int32_t used = 0, next = 0;
    auto put = [&](char c) {
        if (used < size - 1)
            out[used++] = c;
    };
    for (const char* p = format ? format : ""; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && next < 2) {
            for (const char* t = texts[next++]; *t; ++t)
                put(*t);
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            put('%');
            ++p;
        } else {
            put(*p);
        }
    }
    out[used] = 0;
}

void ResetWeaponStation()
{
    gWeaponStation = {};
    RapidMode = 0;
}

void LoadWeaponSlotIcons()
{
    for (const SlotIconName& n : kSlotIconNames)
        for (int picture = 0; picture < 2; ++picture)
            gWeaponStation.slotIcons[n.kind][n.positionClass][picture] = LoadIcon(n.names[picture]);
    gWeaponStation.emptySlotIcon = LoadIcon("wp_null0");
}

void AnnounceMount(Weapon* mount)
{
    if (!mount)
        return;
    const char* format = gTextTable[kAnnounceText] ? gTextTable[kAnnounceText] : "%s %s";
    FormatWithTwoTexts(gWeaponStation.announcement, kAnnouncementSize, format,
                       MountPositionWord(PositionCode(mount)), mount->name);
    guiDisplayMessage(gWeaponStation.announcement, kMessageTime);
}

void guiSelectNextGun(WindowHandle*)
{
    if (!gWeaponStation.missilesSelected) {
        const Weapon* current = CurrentMount();
        if (!RapidMode && !(current && (current->flags & kMountNoRapid))) {
            RapidMode = 255;
            guiDisplayMessage(kRapidLabel[Language()], kMessageTime);
            return;
        }
        RapidMode = 0;
    }
    gWeaponStation.missilesSelected = 0;
    SelectNextOfClass(kMountGun);
}

void guiSelectNextMissile(WindowHandle*)
{
    gWeaponStation.missilesSelected = 255;
    SelectNextOfClass(kMountMissile);
}

void guiSelectWeaponSlot(WindowHandle* window)
{
    const int32_t slot = window ? static_cast<int32_t>(window->value) : -1;
    Sim* sim = ControlledSim();
    if (!sim || slot < 0 || slot >= kWeaponSlots || !gWeaponStation.slots[slot])
        return;
    Weapon* mount = gWeaponStation.slots[slot];
    sim->currentWeapon = mount;
    AnnounceMount(mount);
    gWeaponViewMount = mount;
    SetupFiringArc(&gWeaponViewArc, static_cast<int16_t>(PositionCode(mount)));
    UpdateViewModeFlag();
    gWeaponStation.slotRefresh = 255;
}

void RefreshWeaponSlots()
{
    const uint32_t classBit = gWeaponStation.missilesSelected ? kMountMissile : kMountGun;
    int slot = 0;
    const Sim* sim = ControlledSim();
    for (Weapon* w = sim ? sim->weapons : nullptr; w && slot < kWeaponSlots; w = w->next)
        if (w->flags & classBit)
            gWeaponStation.slots[slot++] = w;
    for (; slot < kWeaponSlots; ++slot)
        gWeaponStation.slots[slot] = nullptr;
    gWeaponStation.slotRefresh = 255;
}

void guiToggleAutoWeapons(WindowHandle*)
{
    gWeaponStation.autoWeapons = gWeaponStation.autoWeapons ? 0 : 255;
    if (gPlayerItem && gPlayerItem->sim)
        for (Weapon* w = gPlayerItem->sim->weapons; w; w = w->next) {
            if (gWeaponStation.autoWeapons)
                w->flags &= ~kMountFiresAlong;
            else
                w->flags |= kMountFiresAlong;
        }
    if (Weapon* current = CurrentMount())
        SetupFiringArc(&gWeaponViewArc, static_cast<int16_t>(PositionCode(current)));
}

void guiFireCurrentMount(WindowHandle*)
{
    if (CurrentMount())
        FirePlayerWeapon(gControlledItem);
}

void guiToggleTrackMode(WindowHandle*)
{
    if (gWeaponStation.autoWeapons)
        gWeaponStation.track = gWeaponStation.track ? 0 : 255;
}

void guiToggleRippleFire(WindowHandle*)
{
    if (CurrentStation == 3)
        gWeaponStation.ripple = gWeaponStation.ripple ? 0 : 255;
}

void guiDrawWeaponSlots(WindowHandle* window)
{
    if (!gWeaponStation.slotRefresh && !gWeaponStation.forceRedraw && !gWindows.redrawAll)
        return;
    gWeaponStation.slotRefresh = 0;
    gWeaponStation.forceRedraw = 0;
    if (!guiWindowRect(window, nullptr, nullptr))
        return;
    const Canvas canvas = ScreenCanvas();
    const Weapon* current = CurrentMount();
    for (int slot = 0; slot < kWeaponSlots; ++slot) {
        const Weapon* w = gWeaponStation.slots[slot];
        Resource* icon = gWeaponStation.emptySlotIcon;
        if (w && w->weaponClass >= 0 && w->weaponClass < kSlotIconKinds) {
            Resource* own = gWeaponStation.slotIcons[w->weaponClass][MountPositionClass(PositionCode(w))][w == current];
            if (own)
                icon = own;
        }
        const Bitmap* bitmap = icon ? static_cast<const Bitmap*>(icon->data) : nullptr;
        if (canvas.pixels && bitmap && bitmap->pixels)
            CanvasBlit(canvas, *bitmap, static_cast<int16_t>(window->rect[0] + slot * kSlotSpacing), window->rect[1]);
    }
}

namespace {

// The small view looks through the weapon camera and names the current
// weapon over it.
void WeaponViewFrame(WindowHandle* window)
{
    if (guiViewedItems(window) != gWeaponCamera)
        guiSetViewedItems(window, gWeaponCamera);
    UpdateWeaponLabelWindow(window);
}

} // namespace

namespace {

// The sight panel: the weapon sight's icon turned as the ship is turned,
// drawn again every frame on its cleared panel.
const VectorIcon kSightIcon{kSightIconPoints, 16, kSightIconSegments};
constexpr float kSightPanelScale = 36.0f; // the icon's 60 units in 22 pixels

void SightPanelDraw(WindowHandle* window)
{
    const Canvas screen = ScreenCanvas();
    if (screen.pixels && guiWindowRect(window, nullptr, nullptr))
        CanvasFillRect(screen, 0, static_cast<int16_t>(window->rect[0] + 1), static_cast<int16_t>(window->rect[1] + 1),
                       static_cast<int16_t>(window->rect[2] - 1), static_cast<int16_t>(window->rect[3] - 1));
    guiDrawVectorIconWindow(window);
    window->redrawCount = gWindows.redrawValue > 0 ? gWindows.redrawValue : 1;
}

} // namespace

void guiSetupWepStation()
{
    guiBindClick("WEPQuit", guiLeaveWepStation);
    CaptionElements(kWepCaptions);
    BindLocalView("WEPRealV", guiTickWindow);
    if (WindowHandle* w = guiBindDraw("WEPRealVR", guiDrawCockpitViewWindow)) {
        w->pressHandler = guiViewClick;
        w->frameHandler = WeaponViewFrame;
    }
    guiBindDraw("WpIcons", guiDrawWeaponSlots);
    if (WindowHandle* w = guiBindDraw("WSight", SightPanelDraw)) {
        w->subject.kind = WindowSubject::Kind::Icon;
        w->subject.icon = &kSightIcon;
        w->value = kSightPanelScale;
        w->hitTest = guiHitTestNever;
    }
    for (int slot = 0; slot < kWeaponSlots; ++slot) {
        char name[16];
        std::snprintf(name, sizeof name, "WpSlot%d", slot);
        if (WindowHandle* w = guiBindClick(name, guiSelectWeaponSlot))
            w->value = static_cast<float>(slot);
    }
    guiBindClick("WEPULDA", AssignHardPoints);
    guiBindClick("WEPLLDA", AssignHardPoints);
    static const WindowRoutine kModeClicks[2] = {guiSelectNextGun, guiSelectNextMissile};
    static const char* const kModeNames[2] = {"WpMd0", "WpMd1"};
    for (int i = 0; i < 2; ++i)
        if (WindowHandle* w = guiBindClick(kModeNames[i], kModeClicks[i])) {
            w->draw = DrawModeLamp;
            w->value = static_cast<float>(i);
        }
    if (WindowHandle* w = guiBindFrameHandler("WEPAuto", AutoFrame)) {
        w->clickHandler = guiToggleAutoWeapons;
        w->draw = AutoDraw;
    }
    guiBindClick("WEPFire", guiFireCurrentMount);

    struct Readout {
        const char* name;
        WindowRoutine frame;
    };
    static const Readout kReadouts[] = {
        {"WEPState", ChargeFrame},
        {"WEPStatR", ChargeFrame},
        {"WEPMags", MagazinesFrame},
        {"WEPShots", RoundsFrame},
        {"WEPMagR", RoundsFrame},
        {"WEPStatL", SourceLevelFrame},
        {"WEPMagL", AnnouncementFrame},
        {"WEPBotR1", TrackLabelFrame},
        {"WEPBotR2", FireModeLabelFrame},
        {"WMseX", guiMouseXFrame},
        {"WMseY", guiMouseYFrame},
        {"WEPTarget", WeaponsTargetFrame},
    };
    for (const Readout& r : kReadouts)
        guiBindFrameHandler(r.name, r.frame);
    guiBindDraw("WEPStatL", guiDrawLevelHBarWindow);
    guiBindDraw("WEPTarget", guiDrawTargetNameWindow);
    // A contact's tag let go over the target's name makes it the target.
    guiBindDrop("WEPTarget", [](WindowHandle*, WindowHandle* dropped) {
        if (SceneItem* item = DroppedContactItem(dropped)) {
            TakeAsWeaponsTarget(item);
            SelectContact(item);
        }
    });
    guiBindClick("WEPBotR1", guiToggleTrackMode);
    guiBindClick("WEPBotR2", guiToggleRippleFire);

    BindStationContacts("W");
    if (WindowHandle* w = guiBindDraw("WOrb", guiDrawWeaponScopeWindow)) {
        RegisterViewWindow(w);
        gScopeWindows[1] = w;
        guiSetHeldHudElement(w, gCockpitOrbs[1]);
    }
    BindStationComms("Wp");
    LoadWeaponSlotIcons();
    RefreshWeaponSlots();
}

void guiSetupEngStation()
{
    guiBindClick("ENGQuit", guiLeaveEngStation);
    CaptionElements(kEngCaptions);
    guiBindFrameHandler("EMseX", guiMouseXFrame);
    guiBindFrameHandler("EMseY", guiMouseYFrame);
    // The schematic: drawn, picked by a press, back to the whole ship when
    // told.
    if (WindowHandle* w = guiBindDraw("ENGRealV", guiEngSchematicDraw))
        w->pressHandler = SelectSystemAtPoint;
    guiBindNotify("ENGRealV", ResetSchematicView);
    // The small schematic: the weapons layer of the same view.
    guiBindDraw("ENGSmallV", guiEngSmallSchematicDraw);
    if (WindowHandle* w = guiBindFrameHandler("ENGSys", guiTickWindow)) {
        w->clickHandler = NextSystemClick;
        w->value = 1.0f;
    }
    // The cards and lists write in the station's console font where the
    // layout names none.
    const ScriptSymbol* console = FindScriptSymbol("ConsFont");
    Resource* consoleFont = console && console->value && (console->type & kSymbolResource) &&
                                    !SymbolHoldsValueBytes(console)
                                ? static_cast<Resource*>(console->value)
                                : nullptr;
    const auto withFont = [consoleFont](WindowHandle* w) {
        if (w && !w->font)
            w->font = consoleFont;
        return w;
    };
    for (int team = 0; team < 4; ++team) {
        char name[16];
        std::snprintf(name, sizeof name, "Team%d", team + 1);
        if (WindowHandle* w = withFont(guiBindDraw(name, guiDrawRepairTeamWindow))) {
            w->value = static_cast<float>(team);
            // A system's name let go over the card sends the team to it.
            w->dropHandler = [](WindowHandle* card, WindowHandle* dropped) {
                if (dropped && dropped->subject.kind == WindowSubject::Kind::ShipSystem)
                    AssignSystemToTeam(static_cast<int32_t>(card->value), dropped->subject.system);
            };
        }
    }
    for (int layer = 0; layer < kEngLayers; ++layer) {
        char name[16];
        std::snprintf(name, sizeof name, "SysS%d", layer);
        // The layer buttons are labelled with game texts 70-74.
        gEngPanel.layerLabels[layer] = gTextTable[70 + layer] ? gTextTable[70 + layer] : "";
        // A click toggles the layer; each frame the button follows the mask.
        if (WindowHandle* w = guiBindDraw(name, guiDrawEngToggleWindow)) {
            w->value = static_cast<float>(layer);
            w->clickHandler = ToggleEngLayer;
            guiBindFrameHandler(name, guiEngLayerButtonFrame);
        }
        std::snprintf(name, sizeof name, "SysSX%d", layer);
        // A press picks the system of the row under the pointer.
        if (WindowHandle* w = withFont(guiBindDraw(name, guiDrawEngSystemListWindow))) {
            w->value = static_cast<float>(layer + 1);
            w->pressHandler = PickSystemFromList;
        }
    }
    if (WindowHandle* w = guiBindDraw("Promote", guiDrawEngTabMarkerWindow))
        w->clickHandler = [](WindowHandle*) { RaisePriorityGroup(); };
    for (uint8_t i = 0; i < std::size(kGauges); ++i)
        if (WindowHandle* w = guiBindFrameHandler(kGauges[i].name, GaugeFrame)) {
            w->draw = kGauges[i].draw;
            w->aux = i;
            w->maximum = kGauges[i].scale;
        }
    BindStationComms("Eg");
}
