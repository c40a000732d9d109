// The command station "COM" and the contact, comms and readout elements
// that every station binds.
#include "screens/comstation.h"

#include "screens/bridge.h"
#include "screens/documents.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "script/worldlink.h"
#include "system/canvas.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/joystick.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/text.h"
#include "ui/contacts.h"
#include "ui/dialogue.h"
#include "ui/drawtypes.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "screens/viewerpanel.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/viewstart.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/starmap.h"

#include <cstdio>
#include <cstring>

int32_t gStationMouseOrigin[2] = {0, 0};
uint8_t gPresentationDone = 0;
HUD* gCockpitOrbs[2] = {nullptr, nullptr};
WindowHandle* gScopeWindows[2] = {nullptr, nullptr};
HUD* gCockpitTrailHuds[kCockpitTrailHuds] = {};
HUD* gComponentBoxHud = nullptr;

namespace {

constexpr int32_t kPanelRefreshTicks = 50;
constexpr int32_t kScrollInset = 3;

int Language() { return gSettings.language <= 2 ? gSettings.language : 0; }

// Contact filter and sort labels, by value and language.
const char* const kFilterLabels[8][3] = {
    {"VESS", "VAISS", "SCHIFFE"},
    {"WEPS", "ARMES", "WAFFEN"},
    {"INRT", "INRT", "INRT"},
    {"PLTS", "PLTS", "PLTS"},
    {"LGRS", "LGRS", "LGRS"},
    {"BASE", "BASE", "BASE"},
    {"SIGS", "SIGS", "SIGS"},
    {"WPTS", "PPSG", "KOORD"},
};
const char* const kSortLabels[3][3] = {
    {"NO SORT", "NON TRI\xC9", "UNSORT"},
    {"RANGE", "CHAMPS", "REICHW"},
    {"THREAT", "MENACE", "BEDROH"},
};
// The filter after each value.
constexpr int32_t kNextFilter[8] = {1, 2, 7, 0, 0, 0, 0, 0};

// The contact state a station's elements keep: the time of the last
// scroll or click, and the panel's countdown lives in its element.
struct ComStation {
    uint32_t lastClickTime;
} gCom;

Contact* VisibleAt(int32_t index)
{
    if (index < 0 || index >= gContacts.visibleCount || index >= kContactRows)
        return nullptr;
    return gContacts.visible[index];
}

int32_t RowIndex(const Contact* row) { return row ? static_cast<int32_t>(row - gContacts.rows) : -1; }

Contact* SubjectRow(const WindowHandle* window)
{
    if (window->subject.kind != WindowSubject::Kind::ContactRow)
        return nullptr;
    const int32_t row = window->subject.row;
    return row >= 0 && row < kContactRows ? &gContacts.rows[row] : nullptr;
}

void SetSubjectRow(WindowHandle* window, const Contact* row)
{
    window->subject.kind = WindowSubject::Kind::ContactRow;
    window->subject.row = RowIndex(row);
}

Resource* FontResource(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol || !symbol->value || SymbolHoldsValueBytes(symbol) || (symbol->type & kSymbolSceneItem))
        return nullptr;
    return static_cast<Resource*>(symbol->value);
}

void CloseStarMapIfOpen()
{
    if (gStarMapOpen)
        CloseStarMap();
}

void EndPresentation()
{
    if (gPresentation.running)
        ResetPresentationState();
}

void ToggleAlienDevice(WindowHandle*) { gAlienDevicesEnabled = gAlienDevicesEnabled ? 0 : 255; }

// The command station's buttons.
constexpr ElementCaption kComCaptions[] = {
    {"COMQuit", {"Leave", "Quitter", "Verlassen"}},
    {"BtNavSolar", {"System", "Systeme", "System"}},
    {"BtNavGalaxy", {"Galaxy", "Galaxie", "Galaxis"}},
    {"BtNavZoomin", {"Zoom in", "Zoom +", "Zoom +"}},
    {"BtNavZoomout", {"Zoom out", "Zoom -", "Zoom -"}},
    {"BtNavSelect", {"Select", "Choisir", "Waehlen"}},
    {"BtCapsule", {"Jump", "Saut", "Sprung"}},
    {"CMDDoc", {"Documents", "Documents", "Dokumente"}},
    {"CMDBrief", {"Briefing", "Briefing", "Einweisung"}},
    {"CMDLocal", {"Local view", "Vue locale", "Nahansicht"}},
    {"CMDGlobal", {"Star map", "Carte", "Sternkarte"}},
    {"CMDObjv", {"Objectives", "Objectifs", "Ziele"}},
    {"REMLink", {"Remote link", "Liaison", "Fernsteuerung"}},
    {"AlienBt", {"Alien device", "Engin alien", "Fremdgeraet"}},
    {"BRFCPlay", {">", ">", ">"}},
    {"BRFCPse", {"||", "||", "||"}},
    {"BRFCBck", {"<<", "<<", "<<"}},
    {"BRFCFwd", {">>", ">>", ">>"}},
    {"CmComArmOut", {"Comms", "Comms", "Funk"}},
    {"CmMsgBox", {"MESSAGES", "MESSAGES", "MELDUNGEN"}},
};

// The caption of a command-station element in the game's language; its
// name when it has none.
const char* ComCaption(const char* element)
{
    for (const ElementCaption& c : kComCaptions)
        if (element && std::strcmp(c.element, element) == 0)
            return c.text[Language()];
    return element;
}

// Lit while the byte its text points at is set.
void DrawIndicator(WindowHandle* window)
{
    if (window->bitmapUp || window->bitmapDown) {
        guiDrawIndicatorWindow(window);
        return;
    }
    // A text button shows its caption, never the flag byte.
    const char* flag = window->text;
    window->text = ComCaption(window->elementName);
    guiDrawLampButton(window, flag && flag[0]);
    window->text = flag;
}

void BindIndicator(const char* name, WindowRoutine click, const uint8_t* flag)
{
    WindowHandle* w = guiBindFrameHandler(name, guiIndicatorFrame);
    if (!w)
        return;
    w->clickHandler = click;
    w->draw = DrawIndicator;
    w->text = reinterpret_cast<const char*>(flag);
    w->check = static_cast<uint8_t>(*flag ? 1 : 0);
}

void FpsFrame(WindowHandle* window)
{
    const int32_t ticks = gFrameClock.frameTicks;
    window->value = ticks ? 1000.0f / static_cast<float>(ticks) : 100.0f;
    window->maximum = 250.0f;
    guiTickWindow(window);
}

void FpsNumberFrame(WindowHandle* window)
{
    const int32_t ticks = gFrameClock.frameTicks;
    window->value = ticks ? 100.0f / static_cast<float>(ticks) : 100.0f;
    guiTickWindow(window);
}

void ClockFrame(WindowHandle* window)
{
    window->value = static_cast<float>(gFrameClock.gameClock);
    window->maximum = 20000.0f;
    guiTickWindow(window);
}

void StickXFrame(WindowHandle* window)
{
    window->value = static_cast<float>(gJoystick.state.x);
    guiTickWindow(window);
}

void StickYFrame(WindowHandle* window)
{
    window->value = static_cast<float>(gJoystick.state.y);
    guiTickWindow(window);
}

void DemandFrame(WindowHandle* window, float demand)
{
    window->value = static_cast<float>(static_cast<int32_t>(demand));
    guiTickWindow(window);
}
void PitchDemandFrame(WindowHandle* w) { DemandFrame(w, gPlayerItem ? gPlayerItem->pitchDemand : 0.0f); }
void YawDemandFrame(WindowHandle* w) { DemandFrame(w, gPlayerItem ? gPlayerItem->yawDemand : 0.0f); }

void FilterLabelFrame(WindowHandle* window)
{
    guiSetWindowText(window, ContactFilterLabel(gContacts.filterClass));
    guiTickWindow(window);
}

void SortLabelFrame(WindowHandle* window)
{
    guiSetWindowText(window, ContactSortLabel(gContacts.sortMode));
    guiTickWindow(window);
}

// The briefing buttons are bound and then removed at once: the keys drive
// the presentation.
void BriefingPlay(WindowHandle*) { gScriptMission.briefingSections[kBriefingHold] = 0; }
void BriefingPause(WindowHandle*)
{
    uint8_t& hold = gScriptMission.briefingSections[kBriefingHold];
    hold = hold ? 0 : 255;
}
void BriefingBack(WindowHandle*)
{
    guiClearMessageLog();
    gScriptMission.briefingSections[kBriefingBack] = 255;
}
void BriefingForward(WindowHandle*)
{
    guiClearMessageLog();
    gScriptMission.briefingSections[kBriefingSkip] = 255;
}

void DeleteAtOnce(WindowHandle* window)
{
    if (window)
        guiDeleteWindowLater(window);
}

void TagFrame(WindowHandle* window)
{
    if (guiFindWindowBeneath(window))
        window->flags |= kWindowPressed;
    const bool inside = gWindows.mouseX >= window->rect[0] && gWindows.mouseX <= window->rect[2] &&
                        gWindows.mouseY >= window->rect[1] && gWindows.mouseY <= window->rect[3];
    if (!inside) {
        guiCloseWindow(window, 0);
        window->frameHandler = guiTickWindow;
    }
    guiTickWindow(window);
}

// Let go: a window that takes drops takes the label, any other the click.
void TagClick(WindowHandle* window)
{
    if (WindowHandle* beneath = guiFindWindowBeneath(window)) {
        if (beneath->dropHandler)
            beneath->dropHandler(beneath, window);
        else
            beneath->flags |= kWindowClickPending;
    }
    guiCloseWindow(window, 0);
}

// A hint goes as soon as the pointer moves away from where it was asked
// for: removed at once, the screen drawn again without it.
void HintFrame(WindowHandle* window)
{
    if (gWindows.mouseX != gWindows.previousMouseX || gWindows.mouseY != gWindows.previousMouseY) {
        guiDeleteWindow(window);
        return;
    }
    guiTickWindow(window);
}

WindowHandle* PopUpLabel(const char* text, const char* fontName, int32_t x, int32_t y, int32_t extra,
                         WindowRoutine frame)
{
    Resource* font = FontResource(fontName);
    int16_t width = 0, height = 0;
    if (font && font->data)
        TextMeasure(text, static_cast<const RasterFont*>(font->data), width, height);
    WindowHandle* w = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, frame, guiDrawButtonWindow,
                                      static_cast<int16_t>(x), static_cast<int16_t>(y),
                                      static_cast<int16_t>(width + extra), static_cast<int16_t>(height + extra), 0);
    if (!w)
        return nullptr;
    w->font = font;
    w->text = text;
    w->flags |= kWindowDraggable | kWindowDragged | kWindowPressed;
    return w;
}

} // namespace

const char* ContactFilterLabel(int32_t filter)
{
    return filter >= 0 && filter < 8 ? kFilterLabels[filter][Language()] : "";
}

const char* ContactSortLabel(int32_t sort) { return sort >= 0 && sort < 3 ? kSortLabels[sort][Language()] : ""; }

void CycleContactFilter(WindowHandle*)
{
    const int32_t filter = gContacts.filterClass;
    gContacts.filterClass = filter >= 0 && filter < 8 ? kNextFilter[filter] : 0;
    gContacts.windowTop = 0;
    ForceContactRefresh();
}

void guiToggleObjectivesView(WindowHandle*)
{
    if (gObjectivesViewOpen) {
        gObjectivesViewOpen = 0;
        guiRequestFullRedraw();
        return;
    }
    EndPresentation();
    gDocsViewOpen = 0;
    CloseStarMapIfOpen();
    gObjectivesViewOpen = 255;
    gLocalViewOpen = 0;
    guiRequestFullRedraw();
}

void guiToggleLocalView(WindowHandle*)
{
    if (gLocalViewOpen) {
        gLocalViewOpen = 0;
        StopViewerFlyBy();
    } else {
        EndPresentation();
        gDocsViewOpen = 0;
        CloseStarMapIfOpen();
        gObjectivesViewOpen = 0;
        gLocalViewOpen = 255;
        StartViewerFlyBy();
    }
    guiRequestFullRedraw();
}

void guiToggleDocsView(WindowHandle*)
{
    if (gDocsViewOpen) {
        gDocsViewOpen = 0;
        return;
    }
    EndPresentation();
    gLocalViewOpen = 0;
    CloseStarMapIfOpen();
    gObjectivesViewOpen = 0;
    gDocsViewOpen = 255;
}

void guiStartBriefing(WindowHandle*)
{
    if (gPresentation.running) {
        ResetPresentationState();
        gPresentationDone = 255;
        return;
    }
    gDocsViewOpen = 0;
    gLocalViewOpen = 0;
    CloseStarMapIfOpen();
    gObjectivesViewOpen = 0;
    gScriptMission.briefingRequested = 255;
}

void guiToggleStarMap(WindowHandle*) { ToggleStarMap(); }

void guiIndicatorFrame(WindowHandle* window)
{
    const uint8_t now = window->text && window->text[0] ? 1 : 0;
    if (now != window->check) {
        window->check = now;
        guiRedrawWindowAndChildren(window);
    }
    guiTickWindow(window);
}

void guiDrawLampButton(WindowHandle* window, bool lit)
{
    constexpr int16_t kLitColour = 249;
    window->redrawCount = gWindows.redrawValue > 0 ? gWindows.redrawValue : 1;
    if (window->bitmapUp || window->bitmapDown) {
        if (!guiWindowRect(window, nullptr, nullptr))
            return;
        const Canvas canvas = ScreenCanvas();
        const Bitmap* picture = lit ? window->bitmapDown : window->bitmapUp;
        if (canvas.pixels && picture)
            CanvasBlit(canvas, *picture, window->rect[0], window->rect[1]);
        return;
    }
    const int16_t colour = window->colour;
    if (lit)
        window->colour = kLitColour;
    guiDrawButtonWindow(window);
    window->colour = colour;
}

void guiContactRowFrame(WindowHandle* window)
{
    const int32_t line = static_cast<int32_t>(window->value);
    if (line >= 0 && line < kContactLines)
        gContacts.lineWindows[line] = window;
    Contact* row = VisibleAt(gContacts.windowTop + line);
    if (RowIndex(row) != (window->subject.kind == WindowSubject::Kind::ContactRow ? window->subject.row : -1))
        guiRedrawWindowAndChildren(window);
    SetSubjectRow(window, row);
    if (row)
        row->lineWindow = window;
    guiTickWindow(window);
}

void guiContactRowClick(WindowHandle* window)
{
    Contact* row = VisibleAt(gContacts.windowTop + static_cast<int32_t>(window->value));
    gContacts.current = row;
    gContacts.currentIndex = row ? row->visiblePosition : -1;
    guiRedrawWindowAndChildren(window);
    if (row) {
        guiBringToFront(window);
        guiShowContactTag(row->item);
    }
    gCom.lastClickTime = gFrameClock.gameClock;
}

void guiBindContactRow(int32_t i, const char* letter)
{
    char name[16];
    std::snprintf(name, sizeof name, "Cd%s%i", letter, static_cast<int>(i));
    WindowHandle* w = guiBindFrameHandler(name, guiContactRowFrame);
    if (!w)
        return;
    w->clickHandler = guiContactRowClick;
    w->value = static_cast<float>(i);
    SetSubjectRow(w, nullptr);
}

void guiTargetPanelFrame(WindowHandle* window)
{
    window->value -= static_cast<float>(gFrameClock.frameTicks);
    Contact* current = gContacts.current;
    if (current) {
        // Each panel compares with what it shows, so the stations' panels
        // keep apart.
        if (window->value < 0 || current != SubjectRow(window)) {
            window->value = static_cast<float>(kPanelRefreshTicks);
            SetSubjectRow(window, current);
            guiRedrawWindowAndChildren(window);
        }
    } else if (SubjectRow(window)) {
        SetSubjectRow(window, nullptr);
        guiRedrawWindowAndChildren(window);
    }
    guiTickWindow(window);
}

void guiContactScrollBarFrame(WindowHandle* window)
{
    const int32_t count = gContacts.visibleCount;
    if (count > 0 && (window->flags & kWindowPressed)) {
        const int32_t top = window->rect[1] + kScrollInset, bottom = window->rect[3] - kScrollInset;
        const int32_t x = gWindows.mouseX, y = gWindows.mouseY;
        if (x >= window->rect[0] + kScrollInset && x <= window->rect[2] - kScrollInset && y >= top && y <= bottom &&
            bottom > top) {
            const int32_t last = count > kContactLines ? count - kContactLines : 0;
            int32_t first = (y - top) * last / (bottom - top);
            first = first < 0 ? 0 : (first > last ? last : first);
            gContacts.windowTop = static_cast<int16_t>(first);
            gCom.lastClickTime = gFrameClock.gameClock;
        }
    }
    guiTickWindow(window);
}

// The mouse readouts are a developer's tool: shown only with the
// developer keys on.
void guiMouseXFrame(WindowHandle* window)
{
    window->value = static_cast<float>(gWindows.mouseX - gStationMouseOrigin[0]);
    if (gSettings.developerKeys)
        guiTickWindow(window);
}

void guiMouseYFrame(WindowHandle* window)
{
    window->value = static_cast<float>(gWindows.mouseY - gStationMouseOrigin[1]);
    if (gSettings.developerKeys)
        guiTickWindow(window);
}

void BindStationContacts(const char* letter)
{
    char name[16];
    for (int32_t i = 0; i < kContactLines; ++i)
        guiBindContactRow(i, letter);
    std::snprintf(name, sizeof name, "CInf%s", letter);
    if (WindowHandle* w = guiBindFrameHandler(name, guiTargetPanelFrame)) {
        w->draw = guiDrawTargetPanelWindow;
        SetSubjectRow(w, nullptr);
        // The panel writes in the station's console font, whose lines fit
        // its 65-pixel column, where the layout names none.
        const ScriptSymbol* console = FindScriptSymbol("ConsFont");
        if (!w->font && console && console->value && (console->type & kSymbolResource) &&
            !SymbolHoldsValueBytes(console))
            w->font = static_cast<Resource*>(console->value);
    }
    std::snprintf(name, sizeof name, "Cd%sM", letter);
    if (WindowHandle* w = guiBindFrameHandler(name, FilterLabelFrame))
        w->clickHandler = CycleContactFilter;
    std::snprintf(name, sizeof name, "Cd%sSor", letter);
    guiBindFrameHandler(name, SortLabelFrame);
    std::snprintf(name, sizeof name, "Cd%sSBar", letter);
    if (WindowHandle* w = guiBindFrameHandler(name, guiContactScrollBarFrame))
        w->draw = guiDrawContactScrollBarWindow;
}

namespace {

// The caller list, the replies and their preview work while the arm shows
// the talk, drawn afresh each frame (on the arm's dark panel), so that a
// reply on offer shows as soon as it comes and a reply taken goes.
template <WindowRoutine Draw>
void WhileArmShown(WindowHandle* window)
{
    if (!gCommsArm.shownThisFrame)
        return;
    if (const Canvas screen = ScreenCanvas(); screen.pixels)
        CanvasFillRect(screen, 0, window->rect[0], window->rect[1], window->rect[2], window->rect[3]);
    Draw(window);
}

template <WindowRoutine Click>
void ClickWhileArmShown(WindowHandle* window)
{
    if (gCommsArm.shownThisFrame)
        Click(window);
}

// Keeps a comms window drawn every frame, so that it shows the arm's state
// once it is out.
void KeepRedrawn(WindowHandle* window)
{
    window->redrawCount = gWindows.redrawValue ? gWindows.redrawValue : 1;
    guiTickWindow(window);
}

} // namespace

void BindStationComms(const char* prefix)
{
    char name[32];
    std::snprintf(name, sizeof name, "%sDialogueWindow", prefix);
    if (WindowHandle* w = guiBindDraw(name, WhileArmShown<guiDrawCommsCallerList>)) {
        w->clickHandler = ClickWhileArmShown<guiClickCommsCallerList>;
        w->frameHandler = KeepRedrawn;
    }
    for (int32_t i = 0; i < 5; ++i) {
        std::snprintf(name, sizeof name, "%sComBut%c", prefix, 'A' + i);
        if (WindowHandle* w = guiBindDraw(name, WhileArmShown<guiDrawCommsReply>)) {
            w->clickHandler = ClickWhileArmShown<guiClickCommsReply>;
            w->frameHandler = KeepRedrawn;
            w->subject.kind = WindowSubject::Kind::CommsSlot;
            w->subject.slot = i;
        }
    }
    std::snprintf(name, sizeof name, "%sComArmArm", prefix);
    if (WindowHandle* w = guiBindDraw(name, WhileArmShown<guiDrawCommsReplyPreview>))
        w->frameHandler = KeepRedrawn;
    // The arm's panel: its films and the speaker, drawn every frame; the
    // buttons and panels under it keep their clicks.
    std::snprintf(name, sizeof name, "%sComArmDummy", prefix);
    if (WindowHandle* w = guiBindDraw(name, guiDrawCommsArm)) {
        w->hitTest = guiHitTestNever;
        w->redrawCount = 1;
    }
    MakeSpeakerView();
    std::snprintf(name, sizeof name, "%sComArmOut", prefix);
    guiBindClick(name, [](WindowHandle*) { guiToggleCommsArm(); });
    std::snprintf(name, sizeof name, "%sComArmIn", prefix);
    guiBindClick(name, [](WindowHandle*) { guiToggleCommsArm(); });
}

void guiSetupComStation()
{
    guiBindClick("COMQuit", guiLeaveComStation);
    CaptionElements(kComCaptions);
    struct Indicator {
        const char* name;
        WindowRoutine click;
        const uint8_t* flag;
    };
    const Indicator indicators[] = {
        {"CMDDoc", guiToggleDocsView, &gDocsViewOpen},
        {"CMDBrief", guiStartBriefing, &gPresentation.running},
        {"CMDLocal", guiToggleLocalView, &gLocalViewOpen},
        {"CMDGlobal", guiToggleStarMap, &gStarMapOpen},
        {"CMDObjv", guiToggleObjectivesView, &gObjectivesViewOpen},
        {"REMLink", guiRemoteLink, &gCameras.remote.linked},
        {"AlienBt", ToggleAlienDevice, &gAlienDevicesEnabled},
    };
    for (const Indicator& i : indicators)
        BindIndicator(i.name, i.click, i.flag);

    struct Readout {
        const char* name;
        WindowRoutine frame;
    };
    static const Readout kReadouts[] = {
        {"AlFill", guiTickWindow},
        {"FPSMeter", FpsFrame},
        {"FPSMeterN", FpsNumberFrame},
        {"CMseX", guiMouseXFrame},
        {"CMseY", guiMouseYFrame},
        {"SpeedMeter", ClockFrame},
        {"SpeedNum", ClockFrame},
        {"Anal0", StickXFrame},
        {"Anal1", StickYFrame},
        {"Anal2", PitchDemandFrame},
        {"Anal3", YawDemandFrame},
    };
    for (const Readout& r : kReadouts)
        guiBindFrameHandler(r.name, r.frame);

    BindStationContacts("C");

    BindLocalView("CMDRealV", guiViewFrame);
    if (WindowHandle* w = guiBindDraw("CMDRemV", guiDrawRemoteViewWindow))
        RegisterViewWindow(w);

    static const Readout kBriefingButtons[] = {
        {"BRFCPlay", BriefingPlay},
        {"BRFCPse", BriefingPause},
        {"BRFCBck", BriefingBack},
        {"BRFCFwd", BriefingForward},
    };
    for (const Readout& b : kBriefingButtons)
        DeleteAtOnce(guiBindClick(b.name, b.frame));

    BindStationComms("Cm");
    // The log frame types the briefing and the flight's log; the MESSAGES
    // panel beside it is a titled box.
    guiBindDraw("CmLogFrame", guiDrawMessageLogWindow);
    if (WindowHandle* w = guiBindDraw("CmMsgBox", guiDrawTitledBoxWindow))
        w->font = FontResource("ConsFont");
    CreateSolarMapWindow();
}

SceneItem* FindItemAtPoint(int32_t x, int32_t y)
{
    SceneItem* best = nullptr;
    float bestDistance = 1e38f;
    ForEachSceneItem([&](SceneItem* item) {
        if (item == gPlayerItem || !item->avatar || !ItemDisplayName(item) || !item->avatar->root)
            return true;
        const int16_t* r = item->avatar->root->screenRect;
        if (x < r[0] - 8 || x > r[2] + 8 || y < r[1] - 8 || y > r[3] + 8)
            return true;
        const float d = gPlayerItem ? GetItemSeparation(gPlayerItem, item, nullptr) : 0.0f;
        if (d < bestDistance) {
            bestDistance = d;
            best = item;
        }
        return true;
    });
    return best;
}

void BindLocalView(const char* elementName, void (*frameHandler)(WindowHandle*))
{
    WindowHandle* w = guiBindFrameHandler(elementName, frameHandler);
    if (!w)
        return;
    guiBindPress(elementName, guiViewClick);
    w->draw = guiViewerPanelDraw;
    RegisterViewWindow(w);
}

void guiViewClick(WindowHandle*)
{
    // The document browser takes the click while it is open: a link is
    // followed, a shown picture or clip goes back to its page.
    if (gDocsViewOpen) {
        DocumentClick(gWindows.mouseX, gWindows.mouseY);
        return;
    }
    SceneItem* item = FindItemAtPoint(gWindows.mouseX, gWindows.mouseY);
    if (!item) {
        ViewerOpenSpaceClick();
        return;
    }
    SetViewerTarget(item);
    Contact* row = FindContactRow(item);
    if (!row)
        return;
    SelectContact(item);
    ForceContactRefresh();
    guiShowContactTag(item);
}

const char* ItemDisplayName(const SceneItem* item)
{
    if (!item)
        return nullptr;
    if (item->sim && item->sim->shipInfo && item->sim->shipInfo->name)
        return item->sim->shipInfo->name;
    return item->symbol ? item->symbol->name : nullptr;
}

const char* ContactTagText(const SceneItem* item)
{
    if (!item || !item->avatar)
        return "";
    if (item->avatar->flags & 4)
        return "Inert";
    const char* name = ItemDisplayName(item);
    return name ? name : "";
}

SceneItem* DroppedContactItem(const WindowHandle* dropped)
{
    if (!dropped || dropped->subject.kind != WindowSubject::Kind::ContactRow)
        return nullptr;
    const int32_t index = dropped->subject.row;
    return index >= 0 && index < kContactRows ? gContacts.rows[index].item : nullptr;
}

void guiCarryLabel(WindowHandle* window)
{
    window->flags |= kWindowDraggable | kWindowDragged | kWindowPressed;
    window->frameHandler = TagFrame;
    window->clickHandler = TagClick;
}

WindowHandle* guiShowContactTag(SceneItem* item)
{
    if (!item)
        return nullptr;
    WindowHandle* w = PopUpLabel(ContactTagText(item), "BFont", gWindows.mouseX - 4, gWindows.mouseY - 4, 4, TagFrame);
    if (!w)
        return nullptr;
    guiCarryLabel(w);
    SetSubjectRow(w, gContacts.current);
    return w;
}

WindowHandle* guiShowElementHint(WindowHandle* window)
{
    if (!window || window->hintText < 0 || window->hintText >= kTextTableEntries || !gTextTable[window->hintText])
        return nullptr;
    const char* text = gTextTable[window->hintText];
    Resource* font = FontResource("RFont");
    int16_t width = 0, height = 0;
    if (font && font->data)
        TextMeasure(text, static_cast<const RasterFont*>(font->data), width, height);
    const int32_t x = gWindows.mouseX - (width + 10) / 2, y = gWindows.mouseY - 14 - (height + 10);
    WindowHandle* hint = PopUpLabel(text, "RFont", x, y, 10, HintFrame);
    if (hint) {
        // A hint asked for near the screen's edge stays whole on it.
        guiKeepWindowOnScreen(hint);
        hint->elementName = "Hint";
        TraceWindow("window+", hint);
    }
    return hint;
}

// How far in front of the eye each scope's orb sits: the NAV scope's a
// little farther, so that its orb looks smaller.
constexpr int32_t kNavOrbEyeDistance = 6500, kWepOrbEyeDistance = 5500;

void BuildCockpitHud()
{
    SceneItem* viewed = CurrentContactItem();
    if (!viewed)
        viewed = gControlledItem;
    for (int i = 0; i < kCockpitTrailHuds; ++i) {
        gCockpitTrailHuds[i] = AllocHUD();
        if (HUD* h = gCockpitTrailHuds[i]) {
            InitTrailHud(h, viewed, 0);
            RegisterHud(h);
        }
    }
    if (HUD* h = AllocHUD()) {
        InitCaptionScaleHud(h, "LAGRANGE", viewed, 0);
        RegisterHud(h);
    }
    using PlainInit = void (*)(HUD*, SceneItem*, int32_t);
    using RecordInit = HUD* (*)(HUD*, SceneItem*, int32_t);
    if (HUD* h = AllocHUD()) {
        InitShipPartMarkersHud(h, viewed, 0);
        RegisterHud(h);
    }
    if (HUD* h = AllocHUD()) {
        InitFiringArcHud(h, viewed, 0);
        RegisterHud(h);
    }
    static const RecordInit kRecordInits[] = {InitContactBracketsHud, InitSpaceGridHud};
    for (RecordInit init : kRecordInits)
        if (HUD* h = AllocHUD()) {
            init(h, viewed, 0);
            RegisterHud(h);
        }
    static const PlainInit kPlainInits[] = {InitComponentBoxesHud, InitModelPointMarkersHud, InitSelectedComponentHud};
    for (PlainInit init : kPlainInits)
        if (HUD* h = AllocHUD()) {
            init(h, viewed, 0);
            RegisterHud(h);
            if (init == InitComponentBoxesHud)
                gComponentBoxHud = h;
        }
    if (HUD* h = AllocHUD()) {
        InitPositionMarkerHud(h, viewed, 0);
        RegisterHud(h);
    }
    // The orbs are drawn by the flight HUD's orb windows, not by the list.
    gCockpitOrbs[0] = AllocBigHUD();
    if (gCockpitOrbs[0]) {
        InitOrbHud(gCockpitOrbs[0], viewed, 0);
        gCockpitOrbs[0]->params[2] = kNavOrbEyeDistance;
    }
    gCockpitOrbs[1] = AllocBigHUD();
    if (gCockpitOrbs[1]) {
        InitOrbHud(gCockpitOrbs[1], viewed, 0);
        gCockpitOrbs[1]->params[2] = kWepOrbEyeDistance;
    }
    for (int i = 0; i < 2; ++i)
        if (gScopeWindows[i])
            guiSetHeldHudElement(gScopeWindows[i], gCockpitOrbs[i]);
}
