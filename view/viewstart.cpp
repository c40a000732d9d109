// The 3D view layer's start and end: the framework and its renderer over
// the display canvas, the screen and depth pixelmaps, the find-failed hooks
// that load textures, shade tables and materials from files, the 21
// standard materials, the shade table and the reset of the view state;
// and the colour and depth sub-pixelmaps of each 3D view window.
//
// The worlds, the scene update and the render passes are in
// renderpasses.cpp and viewwindows.cpp.
#include "view/viewstart.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

#include "framework/diag.h"
#include "framework/pixelmap.h"
#include "framework/pmfile.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "platform/files.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/errors.h"
#include "view/asteroids.h"
#include "view/effectmodels.h"
#include "view/lwoloader.h"
#include "view/planets.h"
#include "view/renderpasses.h"
#include "view/skyandlights.h"
#include "view/viewstate.h"
#include "world/floatingorigin.h"
#include "world/universe.h"
#include "ui/windows.h"

uint8_t gScreenClearColour = kSkyIndex;
float gProjectionDistance = 0.0f;
uint8_t gRebuild3D = 0;
float gLodThresholds[3] = {10.0f, 24.0f, 2.0f};
hx_material* gPlanetMaterials[kPlanetMaterialCount];
uint8_t gTextureReport = 0;

ViewState gView;
ViewWindowRecord gViewWindows[kViewWindowRecords];

namespace {

char gFrameworkPath[] = "HEXMIRE_PATH=hexmire\\dll;hexmire\\dat"; // putenv keeps it
constexpr const char* kShadeTableName = "zqk\\resource\\art\\textures\\ships\\klvstd.tab";
constexpr const char* kTextureFolder = "hexmire\\dat\\%s";

// A standard material as the program holds it: every map transform is the
// identity, colour and opacity are 0. Opacity 0 marks every one of them
// translucent, yet 8-bit pixels can only be mixed through a blend table:
// the beams and the explosion cards (flags 0x1000 and 0x2000) are laid
// over the picture through the game's blend tables once the start-up has
// built them, and every other material, with nothing to mix by, is solid.
struct MaterialPrototype {
    const char* name;
    const char* texture; // file under "hexmire\dat", or null
    float ka, kd, ks, power;
    uint32_t flags;
    uint8_t indexBase, indexRange;
};

constexpr uint8_t kSolid = 255;
constexpr uint32_t kBeamFlags = 0x1000, kExplosionFlags = 0x2000;
constexpr const char* kBlendTableName = "blend tables";

bool LaidOverThePicture(const MaterialPrototype& p)
{
    return (p.flags & (kBeamFlags | kExplosionFlags)) != 0;
}

// clang-format off
constexpr MaterialPrototype kStandardMaterials[kStandardMaterialCount] = {
    {"standard",         nullptr,       0.0f,  0.67f, 0.75f, 96.0f, 0x5,    16,  31},
    {"nebula_purple",    nullptr,       0.0f,  1.0f,  0.0f,  20.0f, 0x6,    176, 31},
    {"laser_tex_navy",   "beamnav.pix", 0.0f,  0.7f,  0.05f, 30.0f, 0x1000, 176, 31},
    {"laser_tex_indy",   "beamind.pix", 0.0f,  0.7f,  0.05f, 30.0f, 0x1000, 176, 31},
    {"laser_tex_aln",    "beamaln.pix", 0.0f,  0.7f,  0.05f, 30.0f, 0x1000, 176, 31},
    {"laser_tex_newal",  "beamnl.pix",  0.0f,  0.7f,  0.05f, 30.0f, 0x1000, 176, 31},
    {"Antimo",           "antimo.pix",  0.0f,  0.7f,  0.05f, 30.0f, 0,      176, 31},
    {"explo_1",          "explo_1.pix", 0.0f,  0.7f,  0.05f, 30.0f, 0x2000, 176, 31},
    {"explo_2",          nullptr,       0.0f,  0.7f,  0.05f, 30.0f, 0x2000, 176, 31},
    {"plasmaball",       nullptr,       0.0f,  1.0f,  0.0f,  20.0f, 0x6,    144, 31},
    {"plasmavid",        "plasma.pix",  0.0f,  0.7f,  0.05f, 30.0f, 0x6,    48,  16},
    {"carbon",           nullptr,       0.05f, 0.62f, 0.75f, 96.0f, 0x5,    48,  31},
    {"black",            nullptr,       0.05f, 0.62f, 0.75f, 96.0f, 0x2,    48,  31},
    {"grey_flat",        nullptr,       0.05f, 0.62f, 0.75f, 20.0f, 0,      30,  1},
    {"laser_tex_orange", "beamora.pix", 0.0f,  0.7f,  0.05f, 30.0f, 0x1000, 176, 31},
    {"planet1",          nullptr,       0.05f, 0.62f, 0.75f, 96.0f, 0x5,    16,  31},
    {"planet2",          nullptr,       0.05f, 0.62f, 0.75f, 96.0f, 0x5,    16,  31},
    {"planet3",          nullptr,       0.05f, 0.62f, 0.75f, 96.0f, 0x5,    16,  31},
    {"planet4",          nullptr,       0.05f, 0.62f, 0.75f, 96.0f, 0x5,    16,  31},
    {"planet5",          nullptr,       0.05f, 0.62f, 0.75f, 96.0f, 0x5,    16,  31},
    {"planet6",          nullptr,       0.05f, 0.62f, 0.75f, 96.0f, 0x5,    16,  31},
};
// clang-format on

hx_diaghandler gGameDiagHandler = {"Kelvandrist", DiagWarning, DiagFailure};

// --- Optional files -------------------------------------------------------------
//
// Textures, shade tables and materials are optional: the framework's loader
// reports what is wrong with a damaged one as a diagnostic, which would end
// the game. While one loads, its diagnostics are kept here instead, and a
// file that then gives nothing is named with the first of them and skipped.

std::string gOptionalFault; // the first diagnostic of the load under way

void KeepOptionalFault(const char* message)
{
    if (!gOptionalFault.empty() || !message)
        return;
    std::string_view text = message;
    for (std::string_view prefix : {"Failure: ", "Warning: "})
        if (text.substr(0, prefix.size()) == prefix)
            text.remove_prefix(prefix.size());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    gOptionalFault = text.empty() ? "damaged" : std::string(text);
}

hx_diaghandler gOptionalFileDiagHandler = {"Kelvandrist optional file", KeepOptionalFault, KeepOptionalFault};

// Runs `load` (a framework loader: null when nothing was loaded) on the
// named file with its diagnostics kept. A file that is there but gives
// nothing is named on standard error with what is wrong: the first
// diagnostic, why it did not open, or that it holds no `kind`. A file that
// is not there is no fault here: textures are looked for in several
// folders.
template <typename Load>
auto LoadOptionalFile(const char* name, const char* kind, Load load)
{
    std::string outer;
    outer.swap(gOptionalFault); // a material's load asks for its texture
    hx_diaghandler* previous = HxDiagHandlerSet(&gOptionalFileDiagHandler);
    auto* loaded = load(name);
    HxDiagHandlerSet(previous);
    std::string fault;
    fault.swap(gOptionalFault);
    gOptionalFault.swap(outer);
    if (!loaded && fault.empty()) {
        const std::string_view opened = platform::DataFileFailure();
        if (!opened.empty() && opened != platform::kDataFileNotFound)
            fault = opened;
        else if (platform::DataFileExists(name))
            fault = std::string("no ") + kind + " in it";
    }
    if (!loaded && !fault.empty())
        ReportDataFileFailure(name, fault.c_str());
    return loaded;
}

// The framework pixel type of the display's depth: a 16-bit screen is 565,
// the format the display presents.
uint8_t ScreenPixelType()
{
    return gScreenMode.depth == 16 ? HX_PMT_RGB_565 : HX_PMT_INDEX_8;
}

// An 8-bit indexed map as 16-bit 565 colour through the palette shown now.
hx_pixelmap* ConvertTo565(hx_pixelmap* indexed)
{
    hx_pixelmap* rgb = HxPixelmapAllocate(HX_PMT_RGB_565, indexed->width, indexed->height, nullptr, 0);
    if (!rgb)
        return nullptr;
    const PaletteEntry* palette = DisplayLastPalette();
    for (int y = 0; y < indexed->height; ++y) {
        for (int x = 0; x < indexed->width; ++x) {
            const uint32_t index = HxPixelmapPixelQuery(indexed, x - indexed->origin_x, y - indexed->origin_y) & 0xFF;
            HxPixelmapPixelSet(rgb, x - rgb->origin_x, y - rgb->origin_y, PaletteEntryTo565(palette[index]));
        }
    }
    return rgb;
}

// The texture hook: the map file of that name, in 565 colour on a 16-bit
// screen, registered under the name.
void* LoadTextureHook(const char* name)
{
    hx_pixelmap* map = LoadOptionalFile(name, "picture", HxPixelmapLoad);
    if (!map)
        return nullptr;
    if (gView.pixelType == HX_PMT_RGB_565 && map->type == HX_PMT_INDEX_8) {
        hx_pixelmap* rgb = ConvertTo565(map);
        HxPixelmapFree(map);
        if (!rgb)
            return nullptr;
        map = rgb;
    }
    const int32_t size = int32_t(map->width) * map->height;
    gView.textureTotal += size;
    if (gTextureReport)
        DebugPrintf("Texture Size: %ix%i Size: %i Total: %i Name:%s\n", int(map->width), int(map->height), int(size),
                    int(gView.textureTotal), name);
    map->identifier = HxResStrDup(map, name);
    return HxMapAdd(map);
}

void* LoadShadeTableHook(const char* name)
{
    // A shade table is 64 shades of 256 colours; one far larger is refused
    // before the framework reads it.
    constexpr long kShadeTableMaxBytes = 1 << 20;
    std::FILE* file = platform::OpenDataFile(name, "rb");
    if (!file) {
        ReportDataFileFailure(name, platform::DataFileFailure());
        return nullptr;
    }
    const long size = platform::FileSize(file);
    std::fclose(file);
    if (size > kShadeTableMaxBytes) {
        ReportDataFileFailure(name, "larger than the size allowed");
        return nullptr;
    }
    hx_pixelmap* table = LoadOptionalFile(name, "shade table", HxPixelmapLoad);
    if (!table)
        return nullptr;
    table->identifier = HxResStrDup(table, name);
    return HxTableAdd(table);
}

void* LoadMaterialHook(const char* name)
{
    hx_material* material = LoadOptionalFile(name, "material", HxMaterialLoad);
    if (!material)
        return nullptr;
    material->identifier = HxResStrDup(material, name);
    return HxMaterialAdd(material);
}

// A framework material with the prototype's fields and texture, registered.
hx_material* MakeStandardMaterial(const MaterialPrototype& p)
{
    hx_material* m = HxMaterialAllocate(p.name);
    if (!m)
        return nullptr;
    m->colour = 0;
    m->opacity = LaidOverThePicture(p) ? 0 : kSolid;
    m->ka = p.ka;
    m->kd = p.kd;
    m->ks = p.ks;
    m->power = p.power;
    m->flags = p.flags;
    m->map_transform = {{{1, 0}, {0, 1}, {0, 0}}};
    m->index_base = p.indexBase;
    m->index_range = p.indexRange;
    if (p.texture) {
        char name[64];
        std::snprintf(name, sizeof name, kTextureFolder, p.texture);
        m->colour_map = HxMapFind(name);
    }
    return HxMaterialAdd(m);
}

// The game's blend tables (16 tables of 16 levels of 256 indices, built by
// the start-up script) as the framework's 256 x 256 blend table, in which a
// drawn index (its table and level) turns the pixel beneath into another.
// Null until the tables exist.
hx_pixelmap* GameBlendTable()
{
    static hx_pixelmap* table = nullptr;
    if (table || !gGlowTables.blend)
        return table;
    table = HxPixelmapAllocate(HX_PMT_INDEX_8, 256, 256, const_cast<uint8_t*>(gGlowTables.blend), HX_PMAF_NO_PIXELS);
    if (!table)
        return nullptr;
    table->pixels = const_cast<uint8_t*>(gGlowTables.blend);
    table->identifier = HxResStrDup(table, kBlendTableName);
    HxTableUpdate(table, 0);
    return table;
}

// Gives the beam and explosion materials the blend table once it exists;
// until then they draw nothing rather than solid cards.
void LayEffectMaterialsOverThePicture()
{
    hx_pixelmap* blend = GameBlendTable();
    if (!blend)
        return;
    for (int i = 0; i < kStandardMaterialCount; ++i) {
        hx_material* m = gView.materials[i];
        if (!m || !LaidOverThePicture(kStandardMaterials[i]) || m->index_blend == blend)
            continue;
        m->index_blend = blend;
        HxMaterialUpdate(m, HX_MODU_ALL);
    }
}

// The framework, its renderer and the screen and depth pixelmaps. With the
// framework display back end the framework's core is begun already.
bool BeginFramework()
{
    if (gDisplayDriver != &kFrameworkDisplay)
        putenv(gFrameworkPath);
    const hx_error begun = HxBegin();
    if (begun != HX_OK && begun != HXE_ACTIVE)
        return false;
    HxDiagHandlerSet(&gGameDiagHandler);
    gView.pixelType = ScreenPixelType();
    if (HxZbBegin(gView.pixelType, HX_PMT_DEPTH_16) != HX_OK)
        return false;
    gView.screen = HxPixelmapAllocate(gView.pixelType, uint16_t(gScreenMode.width), uint16_t(gScreenMode.height),
                                      nullptr, HX_PMAF_NO_PIXELS);
    if (!gView.screen)
        return false;
    if (gView.pixelType == HX_PMT_RGB_565 && gScreenMode.colourPlane) {
        gView.indexScreen = HxPixelmapAllocate(HX_PMT_INDEX_8, uint16_t(gScreenMode.width),
                                               uint16_t(gScreenMode.height), nullptr, HX_PMAF_NO_PIXELS);
        if (!gView.indexScreen)
            return false;
    }
    RefreshScreenPixels();
    gView.depth = HxPixelmapMatch(gView.screen, HX_PMMATCH_DEPTH_16);
    if (!gView.depth)
        return false;
    // Each view clears only what it drew last time: everything else must
    // start out as far as it goes.
    HxPixelmapFill(gView.depth, 0xFFFF);
    return true;
}

// What every start-up puts back: the view of a new mission.
void ResetViewState()
{
    if (gView.mainWorld || gView.planetWorld || gView.farPlanetWorld || gView.nebulaWorld)
        FreeP3DWorlds();
    gRebuild3D = 255;
    gNebulaOn = 0;
    gView.mainWorld = gView.planetWorld = gView.farPlanetWorld = gView.nebulaWorld = nullptr;
    gView.mainCamera = gView.planetCamera = gView.nebulaCamera = gView.celestialSphere = nullptr;
    gView.lights[0] = gView.lights[1] = nullptr;
    gView.viewWindowCount = 0;
    gView.flashMode = 0;
    gView.stretchEnable = 255;
    for (ViewWindowRecord& record : gViewWindows)
        record = {};
}

} // namespace

void RefreshScreenPixels()
{
    uint8_t* const frame = gScreenMode.frameBuffer ? *gScreenMode.frameBuffer : nullptr;
    if (gView.indexScreen)
        gView.indexScreen->pixels = frame;
    if (gView.screen)
        gView.screen->pixels = gView.indexScreen && gScreenMode.colourPlane ? static_cast<void*>(*gScreenMode.colourPlane)
                                                                            : frame;
}

void InstallFindHooks()
{
    HxMaterialFindHookSet(LoadMaterialHook);
    HxTableFindHookSet(LoadShadeTableHook);
    HxMapFindHookSet(LoadTextureHook);
}

void InitializeP3D()
{
    ConsolePrint("P3D - Initialising 3D system");
    ClearTexturePixelmaps();
    const bool first = !gView.begun;
    if (first && !BeginFramework()) {
        ConsolePrint("P3D - Failed to start the 3D framework");
        return;
    }
    gView.halfWidth = 320.0f;
    gView.halfHeight = 240.0f;
    MatFrustum(-gView.halfWidth, gView.halfWidth, -gView.halfHeight, gView.halfHeight, 0.1f, 100.0f,
               gView.projection);
    if (first) {
        InstallFindHooks();
        ConsolePrint("P3D - Loading materials");
        for (int i = 0; i < kStandardMaterialCount; ++i)
            gView.materials[i] = MakeStandardMaterial(kStandardMaterials[i]);
        for (int i = 0; i < kPlanetMaterialCount; ++i)
            gPlanetMaterials[i] = gView.materials[kFirstPlanetMaterial + i];
        // The planet pool's slots take the sphere from here on; the face
        // tags say which of a planet's materials each face shows.
        SetPlanetSphereLoader(LoadPlanetSphere);
        LoadTriballIndex();
    }
    ResetViewState();
    HxZbSetRenderBoundsCallback(SetTdpScreenBounds);
    // Without the shade table (its loader names it) surfaces are drawn
    // unshaded.
    gView.shadeTable = HxTableFind(kShadeTableName);
    gView.shadePixels = gView.shadeTable ? gView.shadeTable->pixels : nullptr;
    // The face picker reads the geometry of the framework's models.
    SetModelMeshReader(ReadModelMesh);
    if (first)
        MakeEffectModels();
    LayEffectMaterialsOverThePicture();
    gView.begun = 1;
    ConsolePrint("P3D - Done");
}

void ShutdownP3D()
{
    if (!gView.begun)
        return;
    FreeP3DWorlds();
    ForgetEffectModels();
    HxZbEnd();
    HxEnd();
    gView = {};
    for (hx_material*& m : gPlanetMaterials)
        m = nullptr;
    for (ViewWindowRecord& record : gViewWindows)
        record = {};
    // The models went with the framework: the next start-up loads them anew.
    for (PlanetModelSlot& slot : gPlanetModelSlots)
        slot = PlanetModelSlot{};
    ForgetAsteroidModels();
}

// ---- the view windows' sub-pixelmaps ----------------------------------------------

ViewWindowRecord* FindViewWindowRecord(const WindowHandle* window)
{
    for (ViewWindowRecord& record : gViewWindows)
        if (record.window == window)
            return &record;
    return nullptr;
}

namespace {

// The window's record; a window without one takes a free record, or when
// none is free the records are taken in turn (a window whose record went
// to another simply starts again).
ViewWindowRecord* TakeViewWindowRecord(WindowHandle* window)
{
    static int turn;
    if (ViewWindowRecord* known = FindViewWindowRecord(window))
        return known;
    ViewWindowRecord* record = FindViewWindowRecord(nullptr);
    if (!record)
        record = &gViewWindows[turn++ % kViewWindowRecords];
    *record = {window, nullptr, nullptr, nullptr, 0, 0, {}, 255};
    std::copy(std::begin(kEmptyDirtyRect), std::end(kEmptyDirtyRect), record->dirtyRect);
    return record;
}

} // namespace

void GrowDirtyRect(int16_t (&rect)[4], const int32_t bounds[4])
{
    rect[0] = int16_t(std::min<int32_t>(rect[0], bounds[0]));
    rect[1] = int16_t(std::min<int32_t>(rect[1], bounds[1]));
    rect[2] = int16_t(std::max<int32_t>(rect[2], bounds[2]));
    rect[3] = int16_t(std::max<int32_t>(rect[3], bounds[3]));
}

bool AllocViewPixelmaps(WindowHandle* window)
{
    if (!gView.screen || !gView.depth)
        return false;
    ViewWindowRecord* record = TakeViewWindowRecord(window);
    int32_t x = 0, y = 0;
    guiWindowRect(window, &x, &y);
    RefreshScreenPixels();
    hx_pixelmap* colour = HxPixelmapAllocateSub(gView.screen, x, y, window->width, window->height);
    hx_pixelmap* depth = colour ? HxPixelmapAllocateSub(gView.depth, x, y, window->width, window->height) : nullptr;
    hx_pixelmap* overlay =
        depth && gView.indexScreen ? HxPixelmapAllocateSub(gView.indexScreen, x, y, window->width, window->height)
                                   : colour;
    if (!depth || !overlay) {
        for (hx_pixelmap* made : {colour, depth})
            if (made)
                HxPixelmapFree(made);
        return false;
    }
    if (overlay != colour) {
        overlay->origin_x = int16_t(window->width / 2);
        overlay->origin_y = int16_t(window->height / 2);
    }
    colour->origin_x = depth->origin_x = int16_t(window->width / 2);
    colour->origin_y = depth->origin_y = int16_t(window->height / 2);
    record->colour = colour;
    record->depth = depth;
    record->overlay = overlay;
    if (record->left != x || record->top != y)
        record->clearAll = 255;
    record->left = x;
    record->top = y;
    return true;
}

void FreeViewPixelmaps(WindowHandle* window)
{
    ViewWindowRecord* record = FindViewWindowRecord(window);
    if (!record)
        return;
    if (record->overlay && record->overlay != record->colour)
        HxPixelmapFree(record->overlay);
    record->overlay = nullptr;
    for (hx_pixelmap** sub : {&record->colour, &record->depth}) {
        if (*sub)
            HxPixelmapFree(*sub);
        *sub = nullptr;
    }
}

void RegisterViewWindow(WindowHandle* window)
{
    ViewWindowRecord* record = FindViewWindowRecord(window);
    if (record && record->colour)
        return;
    record = TakeViewWindowRecord(window);
    ++gView.viewWindowCount;
    std::copy(std::begin(kEmptyDirtyRect), std::end(kEmptyDirtyRect), record->dirtyRect);
    record->clearAll = 255;
}

void UnregisterViewWindow(WindowHandle* window)
{
    ViewWindowRecord* record = FindViewWindowRecord(window);
    if (!record)
        return;
    FreeViewPixelmaps(window);
    *record = {};
    gView.viewWindowCount = std::max(gView.viewWindowCount - 1, 0);
    DisplayHideColourPlane();
}

void SetViewWindowCount(int32_t count)
{
    gView.viewWindowCount = count;
}

int32_t ViewWindowCount()
{
    return gView.viewWindowCount;
}
