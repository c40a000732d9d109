// The star system the player is in: the list of its bodies with their
// positions and orbit outlines, their scene items, re-centring on a body,
// travel to another system and the removal of other systems' items; the
// pool of three full planet models. See universe.h.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "script/interpreter.h"
#include "system/errors.h"
#include "system/trace.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "view/asteroids.h"
#include "view/bodyrender.h"
#include "view/cameras.h"
#include "view/lwoloader.h"
#include "view/planets.h"
#include "view/skyandlights.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/starmap.h"
#include "world/universe.h"

int16_t gCurrentSystemNumber = 0;
Star* gCurrentStar = nullptr;
uint8_t gWorldChanged = 0;

SystemBodyEntry gSystemBodyList[kBodiesPerSystem];
int gSystemBodyCount = 0;
int gListedSystem = 0;

uint8_t gExportSystemOutlines = 0;
const char* gSystemExportFolder = "R:\\Objects\\SolarSystems";

PlanetModelSlot gPlanetModelSlots[kPlanetModelSlots];
int gPlanetModelSlotsInUse = kPlanetModelSlots;
uint8_t gPlanetDetail = 255;

namespace {

struct SolarSystemState {
    uint8_t created[kCreatedMarks]; // per system: built once (its L points are parked)
    WorldPosition reference;        // where PlaceAtBody measures from
    SceneItem* sun;
    uint8_t poolReady;
    uint8_t starDummyMade;
    hx_model* sunModel;
    uint8_t sunModelLoaded;
};
SolarSystemState gSolar;
PlanetSphereLoader gSphereLoader = nullptr;

// Planet textures of bodies with a number (number - 1 modulo 20).
// clang-format off
constexpr const char* kPlanetTextures[20] = {
    "earth",  "mars",   "venus",  "mercury", "jupiter", "saturn", "uranus",
    "neptune", "pluto", "moon",   "io",      "europa",  "ganymede", "callisto",
    "titan",  "triton", "ice",    "lava",    "desert",  "ocean",
};
// clang-format on

// Seed of a generated surface: the sum of a value per character of the name.
int32_t NameSeed(const char* name)
{
    int32_t seed = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
        seed += (*p * 7 + 3) % 101;
    return seed;
}

// A body's part is drawn on the planet layer and takes no part in the
// contact test: a part of that layer touches on radii alone, and a sun's
// radius (its drawn glow) reaches far past the planets' orbits, so every
// ship in the system would be pushed and battered by it each frame.
void PutOnPlanetLayer(TDP* part)
{
    part->flags |= uint32_t{kTdpInScene} | uint32_t{kTdpPlanetLayer};
    part->flags &= ~uint32_t{kTdpCollides};
}

void SetItemPosition(SceneItem* item, const WorldPosition& p)
{
    item->sim->position = p;
    item->sim->matrix.m[12] = static_cast<float>(p.x);
    item->sim->matrix.m[13] = static_cast<float>(p.y);
    item->sim->matrix.m[14] = static_cast<float>(p.z);
}

// A folder and a name made safe to write: blanks become '_', and nothing
// that would leave the folder or upset a file system stays.
std::string ExportFileName(const char* folder, const char* name)
{
    std::string safe;
    for (const char* p = name; *p && *p != '|' && safe.size() < 64; ++p) {
        const char c = *p;
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '_';
        safe += ok ? c : '_';
    }
    if (safe.empty())
        safe = "system";
    return std::string(folder) + "\\" + safe + ".asc";
}

void ExportOutlines(const OrbitOutline* outlines, int count)
{
    std::string text;
    char line[160];
    std::snprintf(line, sizeof line, "Named object: \"Box\"  \nTri-mesh, Vertices: %i    Faces: %i\t\nVertex list:\n",
                  count * kOutlinePoints, count * 30);
    text += line;
    int vertex = 0;
    for (int b = 0; b < count; ++b)
        for (const Vector3& v : outlines[b].points) {
            std::snprintf(line, sizeof line, "Vertex %i:", vertex++);
            text += line;
            std::snprintf(line, sizeof line, " X: %.4f", v.x * 1e-6);
            text += line;
            std::snprintf(line, sizeof line, " Y: %.4f", v.y * 1e-6);
            text += line;
            std::snprintf(line, sizeof line, " Z: %.4f \n", v.z * 1e-6);
            text += line;
        }
    text += "\nFace List:\n";
    int face = 0;
    for (int b = 0; b < count; ++b) {
        const int f = b * kOutlinePoints;
        auto add = [&](int a, int bb, int c, const char* edges) {
            std::snprintf(line, sizeof line, "Face %i:", face++);
            text += line;
            std::snprintf(line, sizeof line, " A:%i B:%i C:%i %s\n", a, bb, c, edges);
            text += line;
        };
        add(f, f + 1, f + 2, "AB:1 BC:1 CA:0");
        for (int k = 2; k <= 29; ++k)
            add(f, f + k, f + k + 1, "AB:0 BC:1 CA:0");
        add(f, f + 30, f + 31, "AB:0 BC:1 CA:1");
    }
    const std::string path = ExportFileName(gSystemExportFolder, gSystemBodyList[0].body->name);
    if (!platform::WriteFileAtomically(path.c_str(), text.data(), text.size()))
        DebugPrintf("Could not write %s\n", path.c_str());
}

// The body scene items that no longer exist are forgotten.
void ForgetDeletedBodyItems()
{
    for (int i = 0; i < gBodyCount; ++i) {
        SceneItem* item = gBodies[i].sceneItem;
        if (item && (!(item->flags & kItemInUse) || item->linked == kInNoList))
            gBodies[i].sceneItem = nullptr;
    }
}

} // namespace

// ---- The body list -----------------------------------------------------------------------

int BuildSystemBodyList(int system, OrbitOutline* outlines)
{
    if (system != gListedSystem) {
        for (int i = 0; i < gSystemBodyCount; ++i)
            gSystemBodyList[i].body->position = nullptr;
        gSystemBodyCount = 0;
        const int low = system * kBodiesPerSystem - kBodiesPerSystem;
        for (int i = 0; i < gBodyCount && gSystemBodyCount < kBodiesPerSystem; ++i) {
            SystemBody* body = &gBodies[i];
            if (body->id < low || body->id > low + kBodiesPerSystem - 1)
                continue;
            SystemBodyEntry& entry = gSystemBodyList[gSystemBodyCount++];
            entry.body = body;
            entry.position = {};
            body->position = &entry.position;
        }
        gListedSystem = system;
    }
    for (int i = 0; i < gSystemBodyCount; ++i) {
        SystemBodyEntry& entry = gSystemBodyList[i];
        SystemBody* body = entry.body;
        if (outlines) {
            OrbitOutline& o = outlines[i];
            for (int k = 0; k < kOutlinePoints; ++k) {
                const WorldPosition p = BodyOrbitalPosition(body, body->period / kOutlinePoints * k, 10);
                o.points[k] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
            }
        }
        entry.position = BodyOrbitalPosition(body, 0, 10);
        if (outlines) {
            OrbitOutline& o = outlines[i];
            o.entry = &entry;
            o.marker[0] = 'x';
            o.marker[1] = 255;
            o.notLagrange = (body->classFlags & kBodyLagrange) ? 0 : 255;
        }
    }
    if (gExportSystemOutlines && outlines && gSystemBodyCount > 0) {
        gExportSystemOutlines = 0;
        ExportOutlines(outlines, gSystemBodyCount);
    }
    return gSystemBodyCount;
}

// ---- Building the system ------------------------------------------------------------------

void CreateSolarSystem(const WorldPosition& arrival)
{
    ConsolePrint("CREATING SOLAR SYSTEM...\n");
    InitPlanetModelPool();
    gSolar.sun = nullptr;
    gSolar.reference = arrival;
    const int system = gListedSystem;
    const bool builtBefore = system >= 0 && system < kCreatedMarks && gSolar.created[system];
    bool beltsGenerated = false;

    for (int i = 0; i < gSystemBodyCount; ++i) {
        SystemBody* body = gSystemBodyList[i].body;
        const WorldPosition& bp = gSystemBodyList[i].position;
        const bool lagrange = body->classFlags & kBodyLagrange;
        if (lagrange && builtBefore)
            continue; // its item from the first visit waits in the parked list

        if (body->classFlags & kBodyBelt) {
            SceneItem* centre = body->parent ? body->parent->sceneItem : nullptr;
            if (!centre || !centre->sim)
                continue;
            float radius = body->orbitRadius * 100.0f;
            if (!body->parent->parent)
                radius += centre->sim->radius * static_cast<float>(kPlanetScale - 1);
            else
                radius -= centre->sim->radius / static_cast<float>(kPlanetScale);
            if (!beltsGenerated) {
                GenerateAsteroidBelts(gPlayerItem, 25);
                beltsGenerated = true;
            }
            AddAsteroidBelt(radius, centre, 0);
            continue;
        }

        SceneItem* item = NewSceneItem();
        if (!item)
            return;
        Sim* sim = AttachSim(item, nullptr);
        if (!sim)
            return;
        SetAvatarCallbacks(item, CopySimToAvatar, UpdatePlanetRender);
        sim->mass = body->mass;
        body->sceneItem = item;
        item->sceneGeneration = static_cast<int16_t>(system);
        SetItemPosition(item, {(bp.x - arrival.x) * 10, (bp.y - arrival.y) * 10, (bp.z - arrival.z) * 10});
        if (lagrange) {
            item->flags |= kItemParkedWithSystem;
            SceneItem* parentItem = body->parent ? body->parent->sceneItem : nullptr;
            if (parentItem && parentItem->sim) {
                Vector3 towards{static_cast<float>(parentItem->sim->position.x - sim->position.x),
                                static_cast<float>(parentItem->sim->position.y - sim->position.y),
                                static_cast<float>(parentItem->sim->position.z - sim->position.z)};
                const Vector3 up{0, 1, 0};
                if (VecNormalise(towards) > 0)
                    MatLookDir(towards, &up, sim->matrix);
            }
        }

        sim->radius = lagrange ? 600000.0f
                               : static_cast<float>(body->radius * 1e5 * kPlanetScale * 2);
        const float size = std::fabs(body->radius) * 2.0f;
        item->avatar->params[kParamSize] = size >= 1 && size < 2e9f ? static_cast<int32_t>(size) : 1;
        TDP* root = AttachRootTDP(item);
        if (root)
            PutOnPlanetLayer(root);
        item->avatar->classFlags |= kClassNamedBody;
        if (body->classFlags & (kBodyGasGiant | kBodyPlanet | kBodyMoon))
            item->avatar->flags |= kAvatarBody;
        InsertSceneItem(item, 4096);

        if (!lagrange) {
            if (HUD* hud = AllocHUD()) {
                InitCubeHud(hud, body->name, item, 0);
                RegisterHud(hud);
            }
        }
        if (lagrange || !root)
            continue;

        std::string log = std::string("CREATING BODY: ") + body->name + "\n";
        ConsolePrint(log.c_str());
        TDP* model = AddChildTDP(root, nullptr, 0, 0, 0);
        if (body->number != 0) {
            root->materialName = kPlanetTextures[(body->number - 1 + 20000) % 20];
        } else {
            root->materialName = "random";
            int32_t kind = 2;
            if (body->classFlags & kBodyGasGiant)
                kind = 0;
            else if (body->value != 0)
                kind = 1;
            else if (body->classFlags == kBodyPlanet)
                kind = 3;
            item->avatar->params[kParamSurfaceKind] = kind;
            item->avatar->params[kParamSurfaceSeed] = NameSeed(body->name);
        }

        float modelRadius;
        if (body->classFlags & kBodyStar) {
            // A star is its glow, drawn by the star dummy's own routine in
            // the sun's colour: no sphere for it.
            hx_model* glow = CreateStarDummyModel();
            gSolar.starDummyMade = 1;
            if (!gSolar.sun)
                gSolar.sun = item;
            modelRadius = static_cast<float>(body->radius / 2 * 100000.0 * 10);
            sim->radius = modelRadius;
            item->avatar->colour = static_cast<uint8_t>((body->number % 7 + 7) % 7 | 8);
            root->materialName = nullptr;
            if (model) {
                model->model = glow;
                PutOnPlanetLayer(model);
                model->colour[0] = item->avatar->colour;
            }
        } else {
            modelRadius = static_cast<float>(body->radius / 2 * 100000.0 * kPlanetScale * 2);
            if (gSolar.sun) {
                const WorldPosition& s = gSolar.sun->sim->position;
                Vector3 away{static_cast<float>(sim->position.x - s.x),
                             static_cast<float>(sim->position.y - s.y),
                             static_cast<float>(sim->position.z - s.z)};
                if (VecNormalise(away) > 0) {
                    MatLookDir(away, nullptr, sim->matrix);
                    MatRotY(60, sim->matrix);
                }
            }
        }
        if (model)
            model->radius = modelRadius;
        // The part that shows the body's sphere measures its seen size by
        // the body's radius.
        if (root->materialName)
            root->radius = modelRadius;
    }
    if (system >= 0 && system < kCreatedMarks)
        gSolar.created[system] = 255;
}

void PlaceAtBody(SceneItem* item, SystemBody* body)
{
    if (!body || !body->position || !item || !item->sim)
        return;
    Sim* sim = item->sim;
    if (body->sceneItem && body->sceneItem->sim)
        sim->matrix = body->sceneItem->sim->matrix;
    sim->matrix.m[12] = sim->matrix.m[13] = sim->matrix.m[14] = 0;
    sim->position = {};
    sim->velocity = {};
    sim->localVelocity = {};
    sim->speed = 0;
    sim->thrust = {};
    CopySimToAvatar(item);
    const WorldPosition& bp = *body->position;
    const WorldPosition offset{(bp.x - gSolar.reference.x) * 10 - gWorldOriginOffset.x,
                               (bp.y - gSolar.reference.y) * 10 - gWorldOriginOffset.y,
                               (bp.z - gSolar.reference.z) * 10 - gWorldOriginOffset.z};
    const int16_t group = item->sceneGeneration;
    ForEachSceneItem([&](SceneItem* other) {
        if (other == item || !other->sim)
            return true;
        if (group && other->sceneGeneration && other->sceneGeneration == group)
            return true;
        WorldPosition p = other->sim->position;
        SetItemPosition(other, {p.x - offset.x, p.y - offset.y, p.z - offset.z});
        CopySimToAvatar(other);
        return true;
    });
    gSolar.reference = bp;
    ForceContactRefresh();
}

void PurgeOtherSystems(int system, const WorldPosition& shift)
{
    ForEachSceneItem([&](SceneItem* item) {
        if (item->sceneGeneration == system || (item->flags & kItemKeptAcrossSystems))
            return true;
        if (item->flags & kItemParkedWithSystem) {
            RemoveContact(item);
            ParkSceneItem(item, 0, 0, 0);
        } else {
            DeleteSceneItem(item);
        }
        return true;
    });
    std::vector<SceneItem*> returning;
    for (SceneItem* p = gParkedList.next; p && p != &gParkedList; p = p->next)
        if (p->sceneGeneration == system)
            returning.push_back(p);
    for (SceneItem* p : returning)
        ShiftSceneItem(p, shift.x, shift.y, shift.z);
    ForgetDeletedBodyItems();
    RemoveOtherSystemHuds();
    gWorldOriginOffset = {};
}

// ---- Travel ------------------------------------------------------------------------------------

int MoveToSystem(const char* target, const char* arrival)
{
    Star* star = FindStar(target, gNamedStarCount);
    if (!star) {
        FatalError("MoveToSystem could not identify target star");
        return 0;
    }
    if (star != gCurrentStar) {
        gCurrentStar = star;
        gStarMap.centre = star->position;
        if (gStarMap.mode == 'G') {
            FocusMapOnStar(star);
        } else {
            gStarMap.redraw = 255;
            gStarMap.zoom = 0;
            if (gStarMap.mode != 'S')
                return 255;
            FocusMapOnStar(star);
            gStarMap.mode = 'I';
        }
    }
    if (BuildSystemBodyList(star->system, nullptr) == 0)
        return 255;
    SystemBody* body = FindBody(star->system, arrival);
    if (!body || !body->position)
        return 255;

    gCurrentSystemNumber = star->system;
    gCurrentSceneGeneration = star->system;
    if (TraceOn()) {
        char quoted[64];
        TraceLine("system", "%s", TraceQuoted(star->namePointer, quoted, sizeof quoted));
    }
    CreateSolarSystem(*body->position);
    gStarMap.selectedStar = star;

    if (gPlayerItem) {
        gPlayerItem->sceneGeneration = star->system;
        if (gPlayerItem->sim && gPlayerItem->sim->shipInfo)
            for (CouplingLink* link = gPlayerItem->sim->shipInfo->couplings; link; link = link->next)
                if ((link->flags & 2) && link->partner && link->partner->item)
                    link->partner->item->sceneGeneration = star->system;
        if (body->sceneItem && gPlayerItem->sim) {
            PlaceAtBody(gPlayerItem, body);
            Sim* sim = gPlayerItem->sim;
            sim->matrix.m[12] = static_cast<float>(sim->position.x);
            sim->matrix.m[13] = static_cast<float>(sim->position.y);
            sim->matrix.m[14] = static_cast<float>(sim->position.z);
        }
    }
    ForceContactRefresh();
    ResetStarMapSelection();
    ClearStarLinkMarks();
    gWorldChanged = 255;
    SetSkyPaletteForSystem(star->system);
    StopDirector();
    // The mission hears of the arrival: its handler for the system makes
    // the ships met there.
    RaiseArrival(star->system);
    return 255;
}

void MissionifyStar(const char* name)
{
    Star* star = FindStar(name, gStarsLoaded);
    if (!star) {
        DebugPrint("MissionifyStar failure\n");
        return;
    }
    star->flags |= kStarMission;
}

void MissionifyPlanet(const char* bodyName, const char* starName)
{
    Star* star = FindStar(starName, gStarsLoaded);
    SystemBody* body = star ? FindBody(star->system, bodyName) : nullptr;
    if (!body) {
        DebugPrint("MissionifyPlanet failure\n");
        return;
    }
    body->classFlags |= kBodyMission;
}

void ResetSolarSystemState()
{
    for (PlanetModelSlot& slot : gPlanetModelSlots) {
        slot.user = nullptr;
        slot.priority = 0;
    }
    for (int i = 0; i < gSystemBodyCount; ++i)
        gSystemBodyList[i].body->position = nullptr;
    for (int i = 0; i < gBodyCount; ++i)
        gBodies[i].sceneItem = nullptr;
    gSystemBodyCount = 0;
    gListedSystem = 0;
    std::memset(gSolar.created, 0, sizeof gSolar.created);
    gSolar.sun = nullptr;
    gSolar.reference = {};
    ResetAsteroidBelts();
}

// ---- The planet model pool ---------------------------------------------------------------------

void SetPlanetSphereLoader(PlanetSphereLoader loader) { gSphereLoader = loader; }

void InitPlanetModelPool()
{
    if (!gSolar.poolReady) {
        LoadTexturePixelmap("INDEX_PLANET2", "zqk\\resource\\art\\textures\\planets\\earth2.pix");
        LoadTexturePixelmap("INDEX_PLANET3", "zqk\\resource\\art\\textures\\planets\\earth3.pix");
        gSolar.poolReady = 1;
    }
    for (PlanetModelSlot& slot : gPlanetModelSlots) {
        if (!slot.model && gSphereLoader)
            slot.model = gSphereLoader();
        slot.user = nullptr;
    }
}

hx_model* AcquirePlanetModel(TDP* planet, float priority, const char* textureName)
{
    const int slots = gPlanetModelSlotsInUse < kPlanetModelSlots ? gPlanetModelSlotsInUse : kPlanetModelSlots;
    for (int i = 0; i < slots; ++i)
        if (gPlanetModelSlots[i].user == planet) {
            gPlanetModelSlots[i].priority = priority;
            return gPlanetModelSlots[i].model;
        }
    PlanetModelSlot* lowest = nullptr;
    for (int i = 0; i < slots; ++i) {
        PlanetModelSlot& s = gPlanetModelSlots[i];
        const float p = s.user ? s.priority : -1.0f;
        if (p < 1e25f && (!lowest || p < (lowest->user ? lowest->priority : -1.0f)))
            lowest = &s;
    }
    if (!lowest || (lowest->user && priority <= lowest->priority))
        return nullptr;
    if (lowest->user)
        DropPlanetModel(lowest->user);
    lowest->user = planet;
    lowest->priority = priority;
    const char* name = textureName ? textureName : "";
    if (std::strncmp(lowest->textureName, name, kBodyFieldSize) != 0) {
        SetPlanetTextures(planet ? planet->owner : nullptr, lowest->model, name, &lowest->materials[0],
                          &lowest->materials[1], static_cast<int32_t>(lowest - gPlanetModelSlots));
        std::snprintf(lowest->textureName, sizeof lowest->textureName, "%s", name);
    }
    return lowest->model;
}

void SetPlanetModelPriority(TDP* planet, float priority)
{
    for (PlanetModelSlot& s : gPlanetModelSlots)
        if (s.user == planet && planet)
            s.priority = priority;
}

void SetPlanetModelFlag(TDP* planet, int on)
{
    for (PlanetModelSlot& s : gPlanetModelSlots)
        if (s.user == planet && planet)
            for (hx_material* m : s.materials)
                if (m)
                    TogglePlanetMaterialFlag(m, gPlanetDetail ? on : 0);
}

void LoadSunModel()
{
    if (gSolar.sunModelLoaded)
        return;
    gSolar.sunModelLoaded = 1;
    int32_t size = 0;
    gSolar.sunModel = LWO2HXM("zqk\\resource\\shapes\\quadsuntest.lwo", nullptr, &size);
    if (gSolar.sunModel)
        SpherifyPlanetModel(gSolar.sunModel, 5e7f);
}

hx_model* SunModel()
{
    return gSolar.sunModel;
}
