// The planet, sky and effect statements: PLANET and FIND_PLANET make and
// find the bodies of a star system, STARFIELD sets up the stars, nebula and
// sky palette, ADDCHAOSEFFECT, MACROOB and VENT hang effects on objects,
// LDA gives a ship its hard points, and SAVEMODEL and CONVERT2PTS write
// developer files.
//
// Every statement reads all its operands first; a symbol without an object
// then makes it do nothing. The optional ON / OFF reads as 0 / 1, -1 absent.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/objectmaker.h"
#include "script/operands.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "ai/combat.h"
#include "screens/frontend.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/gamemath.h"
#include "system/settings.h"
#include "ui/dialogue.h"
#include "ui/hud.h"
#include "view/asteroids.h"
#include "view/bodyrender.h"
#include "view/effectmodels.h"
#include "view/explosions.h"
#include "view/lwoloader.h"
#include "view/particles.h"
#include "view/skyandlights.h"
#include "world/floatingorigin.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/universe.h"

namespace {

// A body's collision radius is this many times its drawn radius (the
// factor CollidePlanet divides by).
constexpr float kPlanetScale = 2.0f;
constexpr double kBodyRadiusUnit = 100000.0;
constexpr double kBodyMassUnit = 1000.0;
constexpr double kBodyDensity = 5500.0;
constexpr double kPi = 3.14159;
// Avatar flag of a body: placement and the LDS drive treat it as one.
constexpr int16_t kAvatarBody = 4;
constexpr int8_t kBodyResponseByte = 88;
// A planet leaves the shared planet-model pool one slot.
constexpr int kPlanetSlotsWithScriptPlanet = 1;
constexpr uint8_t kNebulaOn = 255;
// A vent without a life (or life 0) runs as long as a life can.
constexpr int32_t kVentEndless = 32767;
constexpr float kVentUnit = 100.0f;

// The chaos glow's emitter.
constexpr EmitterSettings kChaosGlow = {0, 0x200000, 100, 49, 240, 13500.0f, 70, 15.0f};

// PLANET object "texture" size [n] [ON | OFF]: a sun with ON, else a planet.
void Planet(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    const char* texture = ReadTextOperand(position);
    const double size = ReadNumberOperand(position);
    ReadOptionalNumber(position);
    const bool sun = ReadOptionalKeyword(position, kw::ON, kw::OFF) == 0;

    if (sun)
        LoadSunModel();
    SceneItem* item = CreateScriptItem(sun ? SunModel() : nullptr, nullptr, SIM_NULL);
    SetSymbolObject(symbol, item);
    if (!item)
        return;
    item->symbol = symbol;
    Avatar& avatar = *item->avatar;
    avatar.renderSync = CopySimToAvatar;
    if (sun) {
        avatar.tdpSync = UpdateVideoPlanetRender;
    } else {
        gPlanetModelSlotsInUse = kPlanetSlotsWithScriptPlanet;
        InitPlanetModelPool();
        avatar.tdpSync = UpdatePlanetRender;
    }
    MoveSceneItemToTailGroup(item);
    avatar.flags = static_cast<int16_t>(avatar.flags | kAvatarBody);
    avatar.collision = CollidePlanet;
    avatar.responseOrder = kBodyResponseByte;
    TDP* root = avatar.root;
    if (root) {
        root->flags |= kTdpPlanetLayer;
        root->materialName = texture;
    }
    avatar.params[kParamSize] = ScriptNumberToInt(size);

    const float radius = static_cast<float>(size / 2.0 * kBodyRadiusUnit * kPlanetScale);
    item->sim->radius = radius;
    if (root)
        root->radius = radius;
    const double massRadius = size / 2.0 * kBodyMassUnit;
    item->sim->mass = static_cast<float>(massRadius * massRadius * massRadius * kPi * kBodyDensity);
    CopySimToAvatar(item);
    gCrashCount = 0;
}

// FIND_PLANET object "name" [size]: the named body of the current system;
// the symbol holds no object when there is none.
void FindPlanet(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    const char* name = ReadTextOperand(position);
    const double size = ReadOptionalNumber(position);
    SceneItem* item = FindNamedSceneItem(name);
    SetSymbolObject(symbol, item);
    if (!item)
        return;
    item->symbol = symbol;
    if (item->avatar->classFlags & SenseFlag(kw::SN_LAGRANGE))
        item->avatar->params[kParamSize] = ScriptNumberToInt(size);
}

// The sky palette row a script palette number selects: rows count from 1,
// -1 and -2 are the two fixed ramps.
int16_t SkyPaletteRow(double m)
{
    return static_cast<int16_t>(m > 0 ? ScriptNumberToInt(m) - 1 : ScriptNumberToInt(m + 1) - 1);
}

// STARFIELD n (ON | OFF) [palette]: the background stars, the nebula and
// the sky palette; every conversation stops.
void Starfield(uint32_t& position)
{
    ReadNumberOperand(position);
    BuildStarCatalogue();
    gNebulaOn = ReadKeywordOperand(position, kw::ON, kw::OFF) == 0 ? kNebulaOn : 0;
    const double palette = ReadOptionalNumber(position);
    if (!gFrontEndActive) {
        const Canvas screen = ScreenCanvas();
        if (screen.pixels) {
            CanvasClear(screen, 0);
            DisplayPresent(gScreenMode);
            DisplayLock(gScreenMode);
        }
    }
    CreateCelestialSphere();
    if (palette == 0) {
        if (gPlayerItem)
            SetSkyPaletteForSystem(gPlayerItem->sceneGeneration);
    } else {
        SetSkyPaletteRow(SkyPaletteRow(palette));
    }
    if (gSettings.noNebula)
        gNebulaOn = 0;
    gScriptMission.dialogueCountdown = 0;
    StopAllConversations();
}

// ADDCHAOSEFFECT object: the chaos glow about the object.
void AddChaosEffect(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    if (!item)
        return;
    AttachParticleEmitter(item, &item->sim->matrix, kChaosGlow);
}

// MACROOB kind cx cy cz ex ey ez exponent dust count: an asteroid or mine
// field; the mission's first field gets the wire sphere.
void MacroOb(uint32_t& position)
{
    float v[10];
    for (float& value : v)
        value = ReadNumberOperand(position);
    SceneItem* field = CreateAsteroidField(ScriptNumberToInt(v[0]), v[1], v[2], v[3], v[4], v[5], v[6], v[7],
                                           ScriptNumberToInt(v[8]), ScriptNumberToInt(v[9]));
    if (gHud.fieldSphere)
        return;
    HUD* sphere = AllocHUD();
    if (!sphere)
        return;
    InitSphereHud(sphere, field, 0, v[1], v[2], v[3], v[4], v[5], v[6]);
    RegisterHud(sphere);
    gHud.fieldSphere = sphere;
}

// VENT object colour n x y z [life]: a hull rupture venting at a point given
// in the object's own axes.
void Vent(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t colour = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t second = ScriptNumberToInt(ReadNumberOperand(position));
    Vector3 local;
    local.x = ReadNumberOperand(position) * kVentUnit;
    local.y = ReadNumberOperand(position) * kVentUnit;
    local.z = ReadNumberOperand(position) * kVentUnit;
    int32_t life = ScriptNumberToInt(ReadOptionalNumber(position));
    if (!item)
        return;
    if (life == 0)
        life = kVentEndless;
    Vector3 point;
    VecMulMat3(point, local, item->sim->matrix);
    AddHullRupture(item, colour, second, &point, life);
}

// LDA object n v...: up to four hard points of a ship, from the values.
void Lda(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const double count = ReadNumberOperand(position);
    for (int i = 0; i < count; ++i) {
        const int32_t value = ScriptNumberToInt(ReadNumberOperand(position));
        // The hard points live in the ShipInfo: other objects have none.
        if (item && item->sim && item->sim->shipInfo)
            AddHardPoint(item, value);
    }
}

// SAVEMODEL model "file": writes the model in the framework's file format.
void SaveModel(uint32_t& position)
{
    hx_model* model = ReadModelOperand(position);
    const char* file = ReadTextOperand(position);
    SaveModelFile(file, model);
}

// CONVERT2PTS "object" "output": writes a LightWave object's points as
// text; the completion message shows whatever the outcome.
void Convert2Pts(uint32_t& position)
{
    const char* object = ReadTextOperand(position);
    const char* output = ReadTextOperand(position);
    ConvertLwoPoints(object, output);
    DebugMessageBox("LWO Points save completed", "SCRIPT Processor");
}

constexpr StatementRow kSkyRows[] = {
    {kw::PLANET, Planet},
    {kw::FIND_PLANET, FindPlanet},
    {kw::STARFIELD, Starfield},
    {kw::ADDCHAOSEFFECT, AddChaosEffect},
    {kw::MACROOB, MacroOb},
    {kw::VENT, Vent},
    {kw::LDA, Lda},
    {kw::SAVEMODEL, SaveModel},
    {kw::CONVERT2PTS, Convert2Pts},
};

} // namespace

std::span<const StatementRow> SkyStatementRows()
{
    return kSkyRows;
}
