// Start-up and shutdown. See startup.h.
#include "game/startup.h"

#include "game/frameloop.h"

#include "ai/aistate.h"
#include "ai/weapons.h"
#include "platform/files.h"
#include "platform/film.h"
#include "platform/joystick.h"
#include "platform/window.h"
#include "screens/engineering.h"
#include "screens/frontend.h"
#include "screens/objectives.h"
#include "screens/vesselorders.h"
#include "screens/viewerpanel.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/scriptfiles.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/calltrace.h"
#include "system/canvas.h"
#include "system/datalocation.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/joystick.h"
#include "system/mainwindow.h"
#include "system/res/font.h"
#include "system/res/loaders.h"
#include "system/res/resman.h"
#include "system/res/slab.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/text.h"
#include "screens/bridge.h"
#include "screens/documents.h"
#include "system/film.h"
#include "system/gamemath.h"
#include "ui/contacts.h"
#include "ui/dialogue.h"
#include "ui/shiplog.h"
#include "ui/messagelog.h"
#include "system/trace.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/colourtables.h"
#include "view/renderpasses.h"
#include "view/viewstart.h"
#include "world/collisions.h"
#include "world/messages.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr const char* kDemoMission = "zqk\\resource\\scripts\\missions\\demo00.scr";
constexpr const char* kConfigScript = "Kelvandrist.ini";
constexpr const char* kInitScripts[] = {
    "zqk\\resource\\scripts\\init\\init.scr",
    "zqk\\resource\\scripts\\init\\init_frn.scr",
    "zqk\\resource\\scripts\\init\\init_ger.scr",
};
constexpr const char* kLayoutScripts[] = {
    "zqk\\resource\\scripts\\gui\\test0_x.gui",
    "zqk\\resource\\scripts\\gui\\test0_x_frn.gui",
    "zqk\\resource\\scripts\\gui\\test0_x_ger.gui",
};
constexpr const char* kOldKeyScript = "zqk\\resource\\scripts\\init\\keybind.scr";
constexpr const char* kKeyScript = "zqk\\resource\\scripts\\init\\keybind2.scr";
constexpr const char* kGamePalette = "zqk\\resource\\art\\klvstd.pcx";
constexpr const char* kGameColourMap = "zqk\\resource\\art\\klvstd.cmp";
constexpr const char* kStockScript = "zqk\\resource\\scripts\\init\\stock.scr";
constexpr const char* kLoadingScreen = "zqk\\resource\\art\\loadscrn.pcx";
constexpr const char* kEndScreen = "zqk\\resource\\art\\endscrn.pcx";
constexpr const char* kBuildDate = "Mon Oct 20 14:02:32 1997";
constexpr uint8_t kBuildDateColour = 247;
constexpr int16_t kBuildDateX = 20;
constexpr int16_t kBuildDateY = 470;
constexpr int32_t kEngineLoopVolume = -3000;
constexpr int16_t kNavStation = 2;
constexpr const char* kSmallFontPictures = "zqk\\resource\\fonts\\smallfnt";
constexpr const char* kTinyFont = "zqk\\resource\\fonts\\tiny.fnt";

// The UI's font slots and the font symbols they are taken from, in the
// order they are taken; the A2 fonts are not looked up in demo mode.
struct FontSlot {
    const char* symbol;
    RasterFont** slot;
    bool notInDemo;
};
// clang-format off
constexpr FontSlot kFontSlots[] = {
    {"RFont", &gFontR, false},         {"BFont", &gFontB, false},        {"GFont", &gFontG, false},
    {"MidFont", &gFontMid, false},     {"ConsFont", &gFontCons, false},  {"ConsFont1", &gFontCons1, false},
    {"ConsFont2", &gFontCons2, false}, {"HFont", &gFontH, false},        {"DimFont", &gFontDim, false},
    {"A2Font", &gFontA2, true},        {"A2DimFont", &gFontA2Dim, true}, {"VFont", &gFontV, false},
};
// clang-format on

// The language's index into the per-language tables: any other value is
// English.
int LanguageIndex()
{
    return gSettings.language <= 2 ? gSettings.language : 0;
}

// A start-up script that must exist: missing, empty or refused, it ends the
// program with a line naming it rather than silently.
bool RunRequiredScript(const char* name)
{
    const char* failure = ScriptFileFailure(name);
    if (!failure && RunScriptFile(name))
        return true;
    if (!failure || std::strcmp(failure, platform::kDataFileNotFound) == 0)
        DebugPrintf("Kelvandrist: cannot find the script %s\n", name);
    else
        ReportDataFileFailure(ScriptFilePath(name).c_str(), failure);
    return false;
}

// The scripts may open the display with the video-mode statement; when
// none did, the default mode opens here, so that nothing draws into an
// unopened display.
bool EnsureDisplayOpen()
{
    if (ScreenCanvas().pixels)
        return true;
    gScreenMode.width = 640;
    gScreenMode.height = 480;
    gScreenMode.depth = static_cast<int16_t>(gSettings.colourDepth);
    if (DisplayOpen(gScreenMode)) {
        DisplayInitPalette(gCurrentPalette);
        return true;
    }
    DebugMessageBox("Could not open the default video mode", "STARTUP ERROR!!!");
    return false;
}

// The mission number: the two characters six before the end of the name
// ("%2d"), read from the start of a shorter name; 0 when none is read or
// the number lies outside 0..99.
int32_t MissionNumberOf(const std::string& name)
{
    const size_t at = name.size() >= 6 ? name.size() - 6 : 0;
    int number = 0;
    if (std::sscanf(name.c_str() + at, "%2d", &number) != 1 || number < 0 || number > 99)
        return 0;
    return number;
}

// Decodes a screen picture into the screen canvas (cleared to 0 first) and
// makes its palette the display's. False when the picture cannot be read.
bool ShowPicture(const char* name, const Canvas& screen)
{
    CanvasClear(screen, 0);
    static GamePalette palette;
    bool withPalette = false;
    if (!DecodeScreenPicture(name, screen.pixels, screen.rowLength, screen.height, &palette, &withPalette))
        return false;
    if (withPalette)
        DisplaySetPalette(palette.entries);
    return true;
}

// The introduction's film list: "D:\intro.avi" with the letter of the
// first CD-ROM drive that holds it.
char gIntroFilm[] = "D:\\intro.avi";
const char* gIntroFilms[] = {gIntroFilm, nullptr};

// The display opens for the introduction alone; the films play in the film
// window. 0 when no drive holds the film: the program ends as asked, as
// after the last film (the quit request), not for a failure.
int StartIntro()
{
    gScreenMode.depth = static_cast<int16_t>(gSettings.colourDepth);
    DisplayOpen(gScreenMode);
    DisplayLock(gScreenMode);
    CanvasClear(ScreenCanvas(), 0);
    DisplayPresent(gScreenMode);
    DisplayLock(gScreenMode);
    FindCdDrives();
    for (int i = 0; i < gCdDrives.count; ++i) {
        gIntroFilm[0] = gCdDrives.letters[static_cast<size_t>(i)];
        if (platform::DataFileExists(gIntroFilm)) {
            PlayFilmList(gIntroFilms);
            gLoopFlags.filmMode = 255;
            return -1;
        }
    }
    gLoopFlags.quitRequest = 255;
    return 0;
}

} // namespace

bool RunScriptFile(const char* name)
{
    ScriptToken* start = TokeniseScript(name);
    if (!start)
        return false;
    uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);
    RunScript(&position, false);
    return true;
}

void CheckVideoFolder()
{
    if (platform::DataFileExists((gVideoFolder + "\\navarmin.smk").c_str()))
        return;
    // Only a drive that exists can hold the films.
    const char letter = gCdDrives.first;
    if (!letter)
        return;
    if (gVideoFolder.size() >= 2 && gVideoFolder[1] == ':')
        gVideoFolder[0] = letter;
    else
        gVideoFolder = std::string(1, letter) + ":" + gVideoFolder;
}

namespace {

// Whether a command-line name names a mission script: one ending ".scr"
// (in any case), the extension the missions folder is found by.
bool IsMissionScriptName(const std::string& name)
{
    return name.size() > 4 && platform::SameNameIgnoringCase(std::string_view(name).substr(name.size() - 4), ".scr");
}

// Keeps the loading screen up for $KELVANDRIST_LOADING_HOLD_MS (for tests).
void HoldLoadingScreen()
{
    const char* value = std::getenv(kLoadingHoldVariable);
    const long milliseconds = value ? std::strtol(value, nullptr, 10) : 0;
    if (milliseconds <= 0)
        return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::min(milliseconds, 600000L));
    while (std::chrono::steady_clock::now() < until) {
        PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

void ShowLoadingScreen()
{
    // In full screen the picture goes into both buffers of the flip chain.
    const int buffers = gDisplayDriver == &kFullScreenDisplay ? 2 : 1;
    for (int i = 0; i < buffers; ++i) {
        if (i > 0)
            DisplayLock(gScreenMode);
        const Canvas screen = ScreenCanvas();
        if (!screen.pixels)
            return;
        ShowPicture(kLoadingScreen, screen);
        if (gFontB) {
            const std::string text = std::string("Build Date ") + kBuildDate;
            int16_t x = kBuildDateX, y = kBuildDateY;
            CanvasDrawText(screen, x, y, text.c_str(), gFontB, kBuildDateColour, CanvasBounds(screen));
        }
        DisplayPresent(gScreenMode);
        PumpMessages();
    }
}

void TakeFontSlots()
{
    for (const FontSlot& f : kFontSlots) {
        if (f.notInDemo && gSettings.demo)
            continue;
        const ScriptSymbol* symbol = FindScriptSymbol(f.symbol);
        const bool holdsResource = symbol && symbol->value && (symbol->type & kSymbolResource) &&
                                   !SymbolHoldsValueBytes(symbol) && !(symbol->type & kSymbolSceneItem);
        *f.slot = holdsResource ? static_cast<RasterFont*>(ResGet(static_cast<Resource*>(symbol->value))) : nullptr;
    }
    gMessageLogFont = gFontB;
}

bool MakeTinyFont()
{
    const auto font = std::make_unique<RasterFont>();
    BuildPictureFont(font.get(), kSmallFontPictures);
    if (!font->glyphs[' ']) {
        DebugPrintf("Kelvandrist: no font made: %s holds no picture of the space (c032.bbm)\n", kSmallFontPictures);
        return false;
    }
    if (FontSaveFnt(kTinyFont, font.get()))
        return true;
    DebugPrintf("Kelvandrist: cannot write %s\n", kTinyFont);
    return false;
}

int32_t StartupMissionNumber(const char* name)
{
    return MissionNumberOf(name ? name : "");
}

void ConnectLowerLayers()
{
    gLoadingScreenPump = PumpMessages;
    gDroppedFileHandler = HandleDroppedFile;
    gStartFlightHook = StartFlight;
}

int StartGame()
{
    TraceStart();
    ConnectLowerLayers();
    if (gSettings.demo) {
        gSettings.noCommandLineMission = 0;
        gSettings.missionName = kDemoMission;
    }

    InitJoystick();
    if (!ResInit()) {
        DebugPrint("Kelvandrist: no memory for the resource pool\n");
        return 0;
    }
    SoundInit();
    InitMessageBuffer();
    InitializeScriptSystem();
    FindCdDrives();

    if (gSettings.intro)
        return StartIntro();
    return StartFullGame();
}

int StartFullGame()
{
    ReadOptionTable();
    LoadAIStateTable(); // before any ship runs
    LocateVideoFolder();
    RunScriptFile(kConfigScript);
    CheckVideoFolder();

    if (Resource* palette = ResRegisterLoad(kGamePalette, ResType::PcxPalette); palette && !gCurrentPalette)
        gCurrentPalette = static_cast<const PaletteEntry*>(palette->data);

    if (!RunRequiredScript(kInitScripts[LanguageIndex()]))
        return 0;
    // The palette's RGB lookup, unless the configuration or the
    // initialisation chose a video mode with one: every colour ramp of the point effects is found in it.
    if (Resource* map = ResRegisterLoad(kGameColourMap, ResType::ColourMap); map && !gCurrentColourMap)
        gCurrentColourMap = static_cast<const uint8_t*>(map->data);
    gRampLookup = gCurrentColourMap;
    if (!RunRequiredScript(gSettings.oldKeys ? kOldKeyScript : kKeyScript))
        return 0;
    if (!EnsureDisplayOpen())
        return 0;
    platform::PrepareFilmsInBackground(); // the front end's first frame plays a clip

    TakeFontSlots();

    ShowLoadingScreen();
    gLoadingScreenUp = 1;
    HoldLoadingScreen();
    BuildRowTable();
    // The font maker's run fails as a whole when its font is not made.
    if (gSettings.fontMake && !MakeTinyFont())
        return 0;

    ResetSceneList();
    guiResetWindowPool();
    InitScreensAndIcons();
    InitShipSystems();
    ResetContactList();
    SoundPreload();
    gSoundMissionMarker = 255;
    if (gSettings.engineering)
        SelectReactorSystem();
    ReadStateFile();
    ReadCaptainSlot();
    LoadFrontEndPalette();

    // A layout in error (a file cut short) is named and the screens it
    // did not make are missing; the game goes on.
    const char* layouts = kLayoutScripts[LanguageIndex()];
    bool opened = true;
    RunForgivingScriptErrors([&] { return opened = RunScriptFile(layouts); });
    if (!opened)
        ReportScriptIfNotFound(layouts);

    MarkScriptBase();
    ResetMissionScript();
    ResMark();
    ResReleaseToMark();
    gMissionScriptPosition = kNoScriptPosition;

    if (!gSettings.missionName.empty() && !gSettings.noCommandLineMission) {
        // Looked up where the script is compiled from (its folder follows
        // from its extension), so that a mission that is there runs. One
        // that is not there leads to the front end; one that is there but
        // cannot be flown (empty, not a file, unreadable) ends the run.
        const char* failure = ScriptFileFailure(gSettings.missionName.c_str());
        if (!IsMissionScriptName(gSettings.missionName)) {
            // A settings file or any other script would fly an empty mission.
            ReportDataFileFailure(gSettings.missionName.c_str(), "not a mission script (a .scr file)");
            QuitProgram(kExitFailure);
        } else if (failure && std::strcmp(failure, platform::kDataFileNotFound) == 0) {
            ReportDataFileFailure(ScriptFilePath(gSettings.missionName.c_str()).c_str(),
                                  "not found; the front end starts instead");
            gSettings.noCommandLineMission = 255;
        } else if (failure) {
            ReportDataFileFailure(ScriptFilePath(gSettings.missionName.c_str()).c_str(), failure);
            DebugMessageBox("Can't find your command-line script", "STARTUP ERROR!!!");
            QuitProgram(kExitFailure);
        }
    }

    if (gSettings.missionName.empty() || gSettings.noCommandLineMission) {
        guiGotoScreen("FrontHome");
        gFrontEndActive = 255;
    } else {
        InitializeP3D();
        if (!RunScriptFile(kStockScript))
            ReportScriptIfNotFound(kStockScript);
        ScriptToken* start = TokeniseScript(gSettings.missionName.c_str());
        if (!start) {
            DebugMessageBox("Can't find your command-line script", "STARTUP ERROR!!!");
            QuitProgram(kExitFailure);
        }
        gMissionScriptPosition = static_cast<uint32_t>(start - gScriptBuffers.tokens);
        EnterCommandLineMission(MissionNumberOf(gSettings.missionName));
        LeaveFrontEndPalette();
        RunScript(&gMissionScriptPosition, false);
        if (PlayFilm("zqk\\resource\\video\\navsit.smk"))
            gLoopFlags.filmMode = 1;
        guiGotoScreen("NAV");
        CurrentStation = kNavStation;
        StartFlight();
    }

    if (const Canvas screen = ScreenCanvas(); screen.pixels) {
        CanvasClear(screen, 0);
        DisplayPresent(gScreenMode);
    }
    gLoadingScreenUp = 0;
    guiClearMessageLog();
    return -1;
}

void ShutDown()
{
    if (!gSettings.intro) {
        WriteCaptainSlot();
        WriteStateFile();
    }
    SoundShutdown();
    FFRelease();
    platform::JoystickClose();
    DisplayClose();
    platform::CloseWindow();
    TraceStop();
}

namespace {

constexpr uint32_t kSimFlagModelChanged = 0x20;

// A LightWave object dropped on the window becomes the model of the
// player's ship.
void DropModel(const char* path)
{
    Resource* r = ResRegisterLoad(platform::DataPathOfHostFile(path).c_str(), ResType::LwoModel);
    auto* model = static_cast<hx_model*>(r ? r->data : nullptr);
    if (!model || !gPlayerItem)
        return;
    SetItemModel(gPlayerItem, model);
    // The bounds follow the new model: the parts' radii and then the item's
    // are computed again.
    if (TDP* root = gPlayerItem->avatar ? gPlayerItem->avatar->root : nullptr) {
        root->radius = 0.0f;
        InitTDPRadius(root);
    }
    if (gPlayerItem->sim) {
        gPlayerItem->sim->radius = 0.0f;
        SetSceneItemRadius(gPlayerItem);
        gPlayerItem->sim->flags |= kSimFlagModelChanged;
    }
}

// The mission's teardown that the end screen and a dropped script share:
// conversations, sounds, the world, the contacts, the mission's script and
// resources and the 3D worlds. The document browser goes with the
// resources: its media items hold records that the release gives back, and
// that the next mission's loads take over. The bridge's state of the flight
// goes too (the message line, the viewer panel's items and models, the
// vessel orders' choice), so that the next mission starts with none of it.
void TearDownMission()
{
    StopAllConversations();
    SoundReleaseMission();
    ResetSimulation();
    ResetContactList();
    ReleaseMissionResources();
    ResetMissionScript();
    ResetDocuments();
    ResetMessageLine();
    ResetViewerPanel();
    ResetVesselOrders();
    ResReleaseToMark();
    gMissionScriptPosition = kNoScriptPosition;
    FreeP3DWorlds();
}

// The scene item of the named object symbol, or null.
SceneItem* SymbolItem(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    return symbol && (symbol->type & kSymbolSceneItem) ? SymbolObject(symbol) : nullptr;
}

// Whether the path ends in the three letters, ignoring case.
bool EndsWith(const char* path, const char* ending)
{
    const size_t length = std::strlen(path);
    return length >= 3 && platform::SameNameIgnoringCase(std::string_view(path + length - 3, 3), ending);
}

} // namespace

void ShowEndScreen()
{
    gLoopFlags.endOfMissionRequest = 0;
    RecordCall("ShowEndScreen");
    gMissionResult = {gScriptMission.missionSucceeded, gScriptMission.outcomeNumber, gMissionScore};
    // A mission named on the command line ends the program at its end.
    if (!gSettings.missionName.empty() && !gSettings.noCommandLineMission)
        gLoopFlags.quitRequest = 1;
    DumpShipLog();
    LoadFrontEndPalette();
    gFrontEndActive = 255;
    gDirectorOn = 0;
    RecordMissionResult();
    CloseCommsFilms();
    ReturnToFrontEnd();
    TearDownMission();
    ResetShipLog();
    ShutdownP3D();
    if (gSettings.demo) {
        if (const Canvas screen = ScreenCanvas(); screen.pixels) {
            CanvasClear(screen, 0);
            DisplayPresent(gScreenMode);
            DisplayLock(gScreenMode);
            ShowPicture(kEndScreen, ScreenCanvas());
            DisplayPresent(gScreenMode);
            // The picture waits for a key even when the mission's end also
            // ends the program; closing the window still ends the wait.
            const uint8_t endsProgram = gLoopFlags.quitRequest;
            gLoopFlags.quitRequest = 0;
            while (KeyQueueCount() == 0 && !gLoopFlags.quitRequest)
                PumpMessages();
            gLoopFlags.quitRequest |= endsProgram;
            DisplayLock(gScreenMode);
            CanvasClear(ScreenCanvas(), 0);
            DisplayPresent(gScreenMode);
        }
    }
}

void StartFlight()
{
    gInterpreter.missionPause = 0;
    ResetCameras();
    gExternalView = 0;
    gFreezeView = 0;
    InitTDPRadii();
    InitSceneItemRadii();
    // The mission's cameras: the player's eye, and the weapons camera with
    // its step and its empty second routine.
    gPlayerCamera = SymbolItem("CamPly");
    gWeaponCamera = SymbolItem("CamWep");
    if (SceneItem* weapons = gWeaponCamera) {
        weapons->control = WeaponCameraStep;
        weapons->perFrame = NullCameraStep;
    }
    gTargetCamera = CreateCameraItem(gPlayerItem, TargetCamera);
    Weapon* mount = gPlayerItem && gPlayerItem->sim ? gPlayerItem->sim->currentWeapon : nullptr;
    if (mount) {
        gWeaponViewMount = mount;
        SetupFiringArc(&gWeaponViewArc, mount->directionCode);
    }
    BuildCockpitHud();
    guiClearMessageLog();
    SoundPlay(0, kEngineLoopVolume, 0, 0, 1);
    SoundPlay(2, platform::kAudioSilent, 0, 0, 1);
}

void HandleDroppedFile(const char* path)
{
    if (!path)
        return;
    if (EndsWith(path, "LWO")) {
        DropModel(path);
    } else if (EndsWith(path, "SMK")) {
        if (PlayFilm(platform::DataPathOfHostFile(path).c_str()))
            gLoopFlags.filmMode = 1;
    } else if (EndsWith(path, "SCR")) {
        TearDownMission();
        if (ScriptToken* start = TokeniseScript(platform::DataPathOfHostFile(path).c_str())) {
            gMissionScriptPosition = static_cast<uint32_t>(start - gScriptBuffers.tokens);
            RunScript(&gMissionScriptPosition, false);
        }
        StartFlight();
    }
}

bool LookAtTarget(Matrix4& matrix, const Vector3& own, const Vector3& target)
{
    Vector3 forward{target.x - own.x, target.y - own.y, target.z - own.z};
    if (VecNormalise(forward) == 0.0f)
        return false; // on the target: no direction to face
    Vector3 side{};
    VecCross(forward, Vector3{0.0f, -1.0f, 0.0f}, side);
    if (VecNormalise(side) == 0.0f) {
        // Straight up or down: the side axis is taken from world X instead.
        VecCross(forward, Vector3{1.0f, 0.0f, 0.0f}, side);
        VecNormalise(side);
    }
    Vector3 up{};
    VecCross(forward, side, up);
    const Vector3 rows[3] = {side, up, forward};
    for (int r = 0; r < 3; ++r) {
        matrix.m[r * 4] = rows[r].x;
        matrix.m[r * 4 + 1] = rows[r].y;
        matrix.m[r * 4 + 2] = rows[r].z;
    }
    return true;
}
