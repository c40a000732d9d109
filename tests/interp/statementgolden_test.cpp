// Golden dumps of two fixture missions run headless, one script frame at a
// time: fixtures/skies.scr (planets, the sky, effects, hard points, the
// developer files and the vector map) and fixtures/fleet.scr (orders and
// targets, weapons and their loads, docking, cameras, engines, lights, the
// HUD string and event actions). After each frame the test writes the
// fields that frame's statements set, one "field = value" line each; after
// the last frame (the mission ends on a faulty statement) the fields that
// stay. The goldens beside the missions were worked out by hand from the
// statements' numbers, never written by this code: a difference is a fault
// of the statements or of the golden, to be read, not regenerated.
#include "interp_fixture.h"

#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "ai/orders.h"
#include "ai/weapons.h"
#include "screens/bridge.h"
#include "framework/scene.h"
#include "script/configstatements.h"
#include "script/keywords.h"
#include "script/shiptypes.h"
#include "screens/vectormap.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/trace.h"
#include "tests/support/sound_fixture.h"
#include "tools/lwob_writer.h"
#include "ui/hud.h"
#include "view/bodyrender.h"
#include "view/cameras.h"
#include "view/lwoloader.h"
#include "view/particles.h"
#include "view/skyandlights.h"
#include "world/actions.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/shipsystems.h"
#include "world/universe.h"
#include "tests/support/three_face_hull.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kFixtures = std::filesystem::path(KV_SOURCE_DIR) / "tests/interp/fixtures";

// Appends "key = value\n", the value formatted.
void Field(std::string& out, const char* key, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
void Field(std::string& out, const char* key, const char* format, ...)
{
    char value[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(value, sizeof value, format, args);
    va_end(args);
    out += key;
    out += " = ";
    out += value;
    out += "\n";
}

// A scene item by the symbol it records, or "none".
const char* ItemName(const SceneItem* item)
{
    return item ? (item->symbol ? item->symbol->name : "(unnamed)") : "none";
}

SceneItem* Object(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    return symbol ? SymbolObject(symbol) : nullptr;
}

// A routine by name, from the few that these statements install.
template <class Routine>
const char* RoutineName(Routine routine)
{
    struct Row {
        const void* routine;
        const char* name;
    };
    const Row rows[] = {
        {reinterpret_cast<const void*>(UpdatePlanetRender), "UpdatePlanetRender"},
        {reinterpret_cast<const void*>(UpdateVideoPlanetRender), "UpdateVideoPlanetRender"},
        {reinterpret_cast<const void*>(CopySimToAvatar), "CopySimToAvatar"},
        {reinterpret_cast<const void*>(CollidePlanet), "CollidePlanet"},
        {reinterpret_cast<const void*>(EvalSentryDuty), "EvalSentryDuty"},
        {reinterpret_cast<const void*>(EvalDefault), "EvalDefault"},
        {reinterpret_cast<const void*>(CAM_TRACK), "CAM_TRACK"},
        {reinterpret_cast<const void*>(CAM_CHASE), "CAM_CHASE"},
        {reinterpret_cast<const void*>(CAM_PLAYER), "CAM_PLAYER"},
        {reinterpret_cast<const void*>(CAM_CONTACT), "CAM_CONTACT"},
    };
    if (!routine)
        return "none";
    for (const Row& row : rows)
        if (row.routine == reinterpret_cast<const void*>(routine))
            return row.name;
    return "other";
}

// The emitters on an item's root part, marker-light sets aside.
std::vector<const TDP*> Emitters(const SceneItem* item)
{
    std::vector<const TDP*> found;
    const TDP* root = item && item->avatar ? item->avatar->root : nullptr;
    for (const TDP* t = root ? root->firstChild : nullptr; t; t = t->nextSibling)
        if (t->emitter && !(t->emitter->flags & kEmitterMarkerLights))
            found.push_back(t);
    return found;
}

// Writes a flat triangle wireframe with the corners (0, 0), (size, 0) and
// (0, size) in the map's axes: its points' mean is (size / 3, size / 3).
void WriteTriangle(const std::filesystem::path& path, float size)
{
    lwob::Object triangle;
    const int16_t surface = triangle.AddSurface({"Hull", {}});
    triangle.polygons.push_back(
        {{triangle.Point(0, 0, -size), triangle.Point(size, 0, 0), triangle.Point(0, 0, 0)}, surface});
    const std::vector<uint8_t> bytes = lwob::Write(triangle);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes.begin(), bytes.end());
}


// Message boxes of the fixture: the ones worth a line of the dump are kept.
std::vector<std::string> gBoxes;

class StatementGoldenTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        gBoxes.clear();
        SetMessageBoxHook([](const char* text, const char* title) {
            if (std::strcmp(title, "SCRIPT Syntax Error") == 0)
                throw ScriptStop{title, text};
            gBoxes.push_back(std::string(title) + ": " + text);
        });
        gNebulaOn = 0;
        gSettings.noNebula = 0;
        savedGeneration_ = gCurrentSceneGeneration;
        InitShipSystems();
        // The resource pool that REGISTER loads into.
        if (ResPoolSize() == 0)
            ResInit();
        ResMark();
    }
    void TearDown() override
    {
        SetModelMeshReader(nullptr);
        if (gTraceFile) {
            std::fclose(gTraceFile);
            gTraceFile = nullptr;
        }
        gNebulaOn = 0;
        gSettings.noNebula = 0;
        gPlayerItem = gControlledItem = nullptr;
        gRapidFire = 0;
        gLastWeapon = nullptr;
        gHudStringNumber = gHudWatchedNumber = 0;
        gExternalView = 0;
        gPlayerCamera = nullptr;
        ResetCameras();
        gSystemBodyCount = 0;
        gSystemBodyList[0].body = gSystemBodyList[1].body = nullptr;
        gBodyCount = 0;
        gCurrentSceneGeneration = savedGeneration_;
        ResReleaseToMark();
        InterpTest::TearDown();
    }
    int16_t savedGeneration_ = 0;

    // Runs the fixture mission a frame at a time: `before` (frame number)
    // readies the world, `after` writes the frame's fields; the run ends
    // with the mission's stop. Returns the whole dump.
    std::string RunMission(const char* name, const std::function<void(int)>& before,
                           const std::function<void(int, std::string&)>& after)
    {
        uint32_t position = Compile(ReadFileBytes(kFixtures / name), name);
        std::string out;
        for (int frame = 1; frame <= 12; ++frame) {
            before(frame);
            const size_t boxes = gBoxes.size();
            std::string stop;
            try {
                Frame(position);
            } catch (const ScriptStop& s) {
                stop = s.text;
            }
            out += "[frame " + std::to_string(frame) + "]\n";
            after(frame, out);
            for (size_t i = boxes; i < gBoxes.size(); ++i)
                if (gBoxes[i].rfind("SCRIPT Processor", 0) == 0 || gBoxes[i].rfind("LWOB Pnts", 0) == 0)
                    Field(out, "box", "%s", gBoxes[i].c_str());
            if (!stop.empty()) {
                // "file(line) : line text \n message": the place and the message.
                const std::string place = stop.substr(0, stop.find(" : "));
                const size_t message = stop.rfind("\n ");
                Field(out, "stop", "%s %s", place.c_str(),
                      message == std::string::npos ? stop.c_str() : stop.c_str() + message + 2);
                break;
            }
        }
        return out;
    }

    void ExpectGolden(const std::string& dump, const char* golden)
    {
        EXPECT_EQ(dump, ReadFileBytes(kFixtures / golden)) << "golden: " << (kFixtures / golden) << "\ndump:\n"
                                                           << dump;
    }

    // The sounds the event trace noted since the last call.
    static std::string Sounds()
    {
        std::string lines;
        if (!gTraceFile)
            return lines;
        std::fflush(gTraceFile);
        std::rewind(gTraceFile);
        char line[128];
        while (std::fgets(line, sizeof line, gTraceFile))
            if (const char* sound = std::strstr(line, " sound "))
                lines += std::string(sound + 7, std::strcspn(sound + 7, "\n")) + " ";
        std::fclose(gTraceFile);
        gTraceFile = std::tmpfile();
        return lines.empty() ? "none" : lines.substr(0, lines.size() - 1);
    }
};

// ---- Planets, sky, effects and the vector map --------------------------------

void SkyEntries(std::string& out)
{
    for (int index : {176, 191, 192, 207}) {
        const PaletteEntry& e = gCurrentPalette[index];
        Field(out, ("sky." + std::to_string(index)).c_str(), "%d %d %d", e.red, e.green, e.blue);
    }
    Field(out, "nebula", "%d", gNebulaOn);
    Field(out, "dialogue countdown", "%d", gScriptMission.dialogueCountdown);
}

void PlanetFields(std::string& out, const char* name)
{
    const SceneItem* p = Object(name);
    const std::string key = name;
    if (!p) {
        Field(out, key.c_str(), "none");
        return;
    }
    const Avatar& a = *p->avatar;
    Field(out, (key + ".sim radius").c_str(), "%.1f", static_cast<double>(p->sim->radius));
    Field(out, (key + ".root radius").c_str(), "%.1f", a.root ? static_cast<double>(a.root->radius) : -1.0);
    Field(out, (key + ".drawn size").c_str(), "%d", a.params[kParamSize]);
    Field(out, (key + ".mass").c_str(), "%.6g", static_cast<double>(p->sim->mass));
    Field(out, (key + ".material").c_str(), "%s", a.root && a.root->materialName ? a.root->materialName : "none");
    Field(out, (key + ".tdp sync").c_str(), "%s", RoutineName(a.tdpSync));
    Field(out, (key + ".render sync").c_str(), "%s", RoutineName(a.renderSync));
    Field(out, (key + ".collision").c_str(), "%s", RoutineName(a.collision));
    Field(out, (key + ".response order").c_str(), "%d", a.responseOrder);
    Field(out, (key + ".body flag").c_str(), "%d", a.flags & 4);
    Field(out, (key + ".planet layer").c_str(), "0x%x", a.root ? a.root->flags & kTdpPlanetLayer : 0u);
    Field(out, (key + ".tail group").c_str(), "%d", (p->flags & kItemTailGroup) ? 1 : 0);
}

// The panel's tree, depth first, each shape by its symbol or its system.
void MapFields(std::string& out, const VectorShape* first, const std::string& path)
{
    int n = 0;
    for (const VectorShape* s = first; s; s = s->nextSibling, ++n) {
        const char* name = s->system ? s->system->names[0] : "?";
        for (const char* candidate : {"Anchor", "Deck", "Hold", "Loose"}) {
            const ScriptSymbol* symbol = FindScriptSymbol(candidate);
            if (symbol && AsVectorShape(symbol->value) == s)
                name = candidate;
        }
        const std::string key = path + "." + std::to_string(n);
        Field(out, key.c_str(), "%s flags %u colour %d mask %d at %g %g", name, s->flags, s->colour, s->layerMask,
              static_cast<double>(s->x), static_cast<double>(s->y));
        MapFields(out, s->firstChild, key);
    }
}

TEST_F(StatementGoldenTest, SkiesMissionMatchesItsGolden)
{
    ASSERT_EQ(HxBegin(), HX_OK);
    struct End {
        ~End() { HxEnd(); }
    } end;
    // The shapes of the vector map and the model SAVEMODEL writes.
    WriteTriangle(root_ / "zqk/resource/shapes/wire.lwo", 3);
    WriteTriangle(root_ / "zqk/resource/shapes/panel.lwo", 6);
    WriteTriangle(root_ / "zqk/resource/shapes/ring.lwo", 9);
    // The current star system: body 3, a planet, and the Lagrange point L4.
    const std::string rows = "id,name,parent,type\n"
                             "0,Sun,0,S,0,0,0,0,0,0,0,0,0\n"
                             "3,Vornholm,0,P,0,0,0,0,0,0,0,0,0\n"
                             "4,L4,0,L,0,0,0,0,0,0,0,0,0\n";
    ASSERT_EQ(ParsePlanetarySystems(rows.data(), rows.size()), 3);
    // The system is star system 5, whose sky is row 4; the player's ship is
    // made there too.
    gCurrentSceneGeneration = 5;
    SceneItem* planet = worldtest::MakeItem(nullptr);
    SceneItem* gate = worldtest::MakeItem(nullptr);
    planet->avatar->classFlags |= kClassNamedBody;
    planet->avatar->params[kParamSize] = 11;
    gate->avatar->classFlags |= kClassNamedBody | SenseFlag(kw::SN_LAGRANGE);
    gBodies[1].sceneItem = planet;
    gBodies[2].sceneItem = gate;
    gSystemBodyList[0].body = &gBodies[1];
    gSystemBodyList[1].body = &gBodies[2];
    gSystemBodyCount = 2;
    gCrashCount = 5;

    const auto before = [&](int frame) {
        gScriptMission.dialogueCountdown = 40;
        gSettings.noNebula = frame == 5 ? 255 : 0;
        if (frame == 6) {
            // VENT's frame: the player's ship has a hull with faces.
            SetModelMeshReader(ReadHull);
            Object("Hero")->avatar->root->model = reinterpret_cast<hx_model*>(&gHullTag);
        }
    };
    const auto after = [&](int frame, std::string& out) {
        switch (frame) {
        case 1:
            for (const char* name : {"Earth", "Mars", "Sol"})
                PlanetFields(out, name);
            Field(out, "planet model slots in use", "%d", gPlanetModelSlotsInUse);
            Field(out, "impacts", "%d", gCrashCount);
            Field(out, "Lost", "%s", ItemName(Object("Lost")));
            Field(out, "Home", "%s", Object("Home") == planet ? "body 3" : ItemName(Object("Home")));
            Field(out, "Home.drawn size", "%d", planet->avatar->params[kParamSize]);
            Field(out, "Gate", "%s", Object("Gate") == gate ? "body 4" : ItemName(Object("Gate")));
            Field(out, "Gate.drawn size", "%d", gate->avatar->params[kParamSize]);
            SkyEntries(out);
            break;
        case 2:
        case 3:
        case 4:
        case 5:
            SkyEntries(out);
            break;
        case 6: {
            SetModelMeshReader(nullptr);
            SceneItem* hero = Object("Hero");
            hero->avatar->root->model = nullptr;
            // The chaos glow first, then the two vents: their lives, and
            // the hull faces they sit on.
            const std::vector<const TDP*> emitters = Emitters(hero);
            Field(out, "Hero.emitters", "%zu", emitters.size());
            for (size_t i = 0; i < emitters.size(); ++i) {
                const TDP& t = *emitters[i];
                const ParticleEmitter& e = *t.emitter;
                const std::string key = "Hero.emitter " + std::to_string(i);
                if (i == 0)
                    Field(out, key.c_str(), "type %d flags 0x%x life %d count %d point life %d speed %g rate %d spread %g",
                          e.type, e.flags & 0x200000u, e.life, e.pointCount, e.pointLife,
                          static_cast<double>(e.speed), e.rate, static_cast<double>(e.spread));
                else
                    Field(out, key.c_str(), "life %d", e.life);
                Field(out, (key + " at").c_str(), "%.1f %.1f %.1f", static_cast<double>(t.local.m[12]),
                      static_cast<double>(t.local.m[13]), static_cast<double>(t.local.m[14]));
            }
            const ShipInfo& info = *hero->sim->shipInfo;
            Field(out, "Hero.hard points", "%d", info.hardPointCount);
            for (int i = 0; i < 4; ++i)
                Field(out, ("Hero.hard point " + std::to_string(i)).c_str(), "%d", info.hardPoints[i].condition);
            int spheres = 0;
            for (int i = 0; i < gHud.count; ++i)
                spheres += gHud.list[i] == gHud.fieldSphere ? 1 : 0;
            Field(out, "field sphere in the HUD list", "%d", spheres);
            const SceneItem* field = gHud.fieldSphere ? gHud.fieldSphere->subject : nullptr;
            Field(out, "field sphere follows the field at", "%s",
                  field ? (std::to_string(static_cast<int>(field->sim->position.x)) + " " +
                           std::to_string(static_cast<int>(field->sim->position.y)) + " " +
                           std::to_string(static_cast<int>(field->sim->position.z)))
                              .c_str()
                        : "none");
            int fields = 0;
            ForEachSceneItem([&](SceneItem* item) {
                if (field && item->sim && item != field && item->perFrame == field->perFrame &&
                    item->control == field->control && item->sim->position.x == 9.0)
                    ++fields;
                return true;
            });
            Field(out, "second field at 9 9 9", "%d", fields);
            Field(out, "hull.dat written", "%d", std::filesystem::exists(root_ / "hull.dat") ? 1 : 0);
            break;
        }
        case 7:
            Field(out, "map.panel mask", "%d", gVectorMap.layerMask);
            MapFields(out, gVectorMap.root.firstChild, "map.root");
            Field(out, "map.focus", "%g %g", static_cast<double>(gVectorMap.focusX),
                  static_cast<double>(gVectorMap.focusY));
            {
                const VectorShape* hold = AsVectorShape(FindScriptSymbol("Hold")->value);
                Field(out, "Hold.point 0", "%g %g", static_cast<double>(hold->segments->points[0][0]),
                      static_cast<double>(hold->segments->points[0][1]));
            }
            for (const char* name : {"REACTOR", "RING", "TARGET"}) {
                const ShipSystem* system = FindShipSystem(name);
                Field(out, (std::string("system ") + name + " shape colour").c_str(), "%s",
                      system->displayColour ? std::to_string(*system->displayColour).c_str() : "none");
            }
            break;
        default:
            break;
        }
    };
    ExpectGolden(RunMission("skies.scr", before, after), "skies.golden");
}

// ---- Orders, weapons, docking, cameras, engines, lights and actions ------------

// An item by the first of the symbols that holds it, or "none".
std::string NameAmong(const SceneItem* item, std::initializer_list<const char*> names)
{
    if (!item)
        return "none";
    for (const char* name : names)
        if (Object(name) == item)
            return name;
    return "other";
}
const std::initializer_list<const char*> kFleet = {"Hero", "Escort", "Raider", "Base", "Armoury", "Rock"};

void SlotFields(std::string& out, const char* ship, int n)
{
    const OrderSlot& slot = Object(ship)->sim->shipInfo->orders[n];
    // The first parameter is a target's handle or a plain number.
    const SceneItem* target = ItemFromHandle(static_cast<SceneItemHandle>(slot.parameter1));
    const std::string first = target ? NameAmong(target, kFleet) : std::to_string(slot.parameter1);
    Field(out, (std::string(ship) + ".slot " + std::to_string(n)).c_str(),
          "\"%s\" flags %u after %d delay %d limit %d weight %d %s %s %d state %d %d %d %d",
          slot.name ? slot.name : "", slot.flags, slot.prerequisite, slot.startDelay, slot.timeLimit, slot.weight,
          RoutineName(slot.evaluator), first.c_str(), slot.parameter2,
          slot.stateId, slot.stateParameters[0], slot.stateParameters[1], slot.stateParameters[2]);
}

void CurrentOrderFields(std::string& out, const char* ship)
{
    const ShipInfo& info = *Object(ship)->sim->shipInfo;
    const AIStateFrame& bottom = info.stateStack[0];
    Field(out, (std::string(ship) + ".current order").c_str(), "%d state %d %d %d %d", info.currentOrder,
          bottom.stateId, bottom.parameter1, bottom.parameter2, bottom.parameter3);
}

void TargetFields(std::string& out, const char* ship)
{
    const Sim& sim = *Object(ship)->sim;
    Field(out, (std::string(ship) + ".targets").c_str(), "%s nav %s leader %s", NameAmong(sim.target, kFleet).c_str(),
          NameAmong(sim.navTarget, kFleet).c_str(), NameAmong(sim.secondTarget, kFleet).c_str());
}

void HeroDriveFields(std::string& out)
{
    const Sim& sim = *Object("Hero")->sim;
    Field(out, "Hero.lds", "flags 0x%x spool %d target speed %g speed %g", sim.flags & 0x6u, sim.ldsSpool,
          static_cast<double>(sim.ldsTargetSpeed), static_cast<double>(sim.thrust.z));
}

void FlightModelFields(std::string& out, const char* key, const FlightModel& m)
{
    Field(out, key, "%g %g %g %g spool %g rates %g %g %g %g %g %g top %g terms %g %g %g %g tail %g %g %g %g %g",
          static_cast<double>(m.acceleration), static_cast<double>(m.secondThrust), static_cast<double>(m.ldsGrowth),
          static_cast<double>(m.ldsTopSpeed), static_cast<double>(m.spoolTime), static_cast<double>(m.rollRate),
          static_cast<double>(m.pitchRate), static_cast<double>(m.yawRate), static_cast<double>(m.rollRate2),
          static_cast<double>(m.pitchRate2), static_cast<double>(m.yawRate2), static_cast<double>(m.topSpeed),
          static_cast<double>(m.turnTime), static_cast<double>(m.stopping), static_cast<double>(m.turnRatio),
          static_cast<double>(m.lateral), static_cast<double>(m.zero0), static_cast<double>(m.zero1),
          static_cast<double>(m.value01), static_cast<double>(m.value03), static_cast<double>(m.capsuleRating));
}

void MountFields(std::string& out, const char* ship)
{
    const Sim& sim = *Object(ship)->sim;
    Field(out, (std::string(ship) + ".weapon count").c_str(), "%d current %s", sim.weaponCount,
          sim.currentWeapon == sim.weapons ? "first" : "other");
    int n = 1;
    for (const Weapon* w = sim.weapons; w; w = w->next, ++n) {
        const std::string key = std::string(ship) + ".mount " + std::to_string(n);
        Field(out, key.c_str(), "\"%s\" kind %d code 0x%x", w->name, w->kind, static_cast<unsigned>(w->directionCode));
        if (w->flags & kWeaponBeam)
            Field(out, (key + " load").c_str(), "beam empty %d charges %d %g", (w->flags & 0x100) ? 1 : 0,
                  (w->flags & 0x2000) ? 1 : 0, static_cast<double>(w->charges));
        else
            Field(out, (key + " load").c_str(), "launcher empty %d rounds %d size %d magazines %d",
                  (w->flags & 0x100) ? 1 : 0, w->rounds, w->magazineSize, w->magazines);
        if (w->system)
            Field(out, (key + " system").c_str(), "%s", w->system->names[0]);
    }
}

void DockFields(std::string& out, const char* ship)
{
    int n = 0;
    for (const DockPoint* p = NthDockPoint(Object(ship), 0, nullptr); p; p = p->next, ++n)
        Field(out, (std::string(ship) + ".dock " + std::to_string(n)).c_str(),
              "flags 0x%x mask %u kind %d priority %d yaw %g pitch %g at %g %g %g model %s partner %s",
              p->flags & 0x7au, p->mask, p->kind, p->priority, static_cast<double>(p->yaw),
              static_cast<double>(p->pitch), static_cast<double>(p->x), static_cast<double>(p->y),
              static_cast<double>(p->z), p->mergeModel ? "some" : "none", NameAmong(p->partnerItem, kFleet).c_str());
}

TEST_F(StatementGoldenTest, FleetMissionMatchesItsGolden)
{
    const DirectorEventRow savedRow = DirectorEvent[12];
    const int16_t savedStation = CurrentStation;
    // The sounds the mission registers, loose files (no slab library): the
    // mixer's capture output plays them.
    const uint8_t savedNoSlab = gSettings.noSlab;
    gSettings.noSlab = 255;
    CapturedSound sound;
    for (const char* name : {"beep", "hum"}) {
        const std::filesystem::path path = root_ / "zqk/resource/sounds" / (std::string(name) + ".wav");
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::copy_file(sound.tonePath, path);
    }

    gTraceFile = std::tmpfile();
    ASSERT_NE(gTraceFile, nullptr);
    // The built-in action callbacks in their order, to name the ones DO_WHEN hangs.
    SceneItem* scratch = worldtest::MakeItem();
    for (int16_t i = 0; i < kBuiltInActionCount; ++i)
        ASSERT_TRUE(AddAction(scratch, 99, kActionCallback, &i));
    std::vector<ActionCallback> builtIns;
    for (const Action* a = scratch->sim->actions; a; a = a->next)
        builtIns.push_back(a->callback);

    const auto before = [](int) {};
    const auto after = [&](int frame, std::string& out) {
        Field(out, "sounds", "%s", Sounds().c_str());
        switch (frame) {
        case 1:
            for (int n : {1, 3, 4})
                SlotFields(out, "Escort", n);
            CurrentOrderFields(out, "Escort");
            CurrentOrderFields(out, "Raider");
            Field(out, "LASTSHIP", "%s", NameAmong(Object("LASTSHIP"), kFleet).c_str());
            FlightModelFields(out, "Hero.flight model", Object("Hero")->sim->shipInfo->flightModel);
            Field(out, "Hero.unscaled copy",
                  std::memcmp(&Object("Hero")->sim->shipInfo->flightModel,
                              &Object("Hero")->sim->shipInfo->baseFlightModel, sizeof(FlightModel)) == 0
                      ? "the same"
                      : "differs");
            FlightModelFields(out, "Rock.flight model", *Object("Rock")->sim->flightModel);
            HeroDriveFields(out);
            SlotFields(out, "Hero", 1);
            CurrentOrderFields(out, "Hero");
            Field(out, "Hero.ai control", "0x%x", Object("Hero")->sim->flags & kSimAiControl);
            TargetFields(out, "Hero");
            TargetFields(out, "Escort");
            TargetFields(out, "Raider");
            {
                const OrderSlot& slot = Object("Escort")->sim->shipInfo->orders[1];
                Field(out, "Escort.slot 1 targets", "%s leader %s", NameAmong(slot.savedTarget, kFleet).c_str(),
                      NameAmong(slot.savedLeader, kFleet).c_str());
            }
            Field(out, "rapid fire", "%d", gRapidFire);
            Field(out, "hud string", "%d number %d", gHudStringNumber, gHudWatchedNumber);
            break;
        case 2:
        case 3:
            HeroDriveFields(out);
            TargetFields(out, "Escort");
            TargetFields(out, "Raider");
            Field(out, "ignored", "%s for %d", NameAmong(gTargetSearchIgnoredItem, kFleet).c_str(),
                  gTargetSearchIgnoreTicks);
            if (frame == 2) {
                Field(out, "rapid fire", "%d", gRapidFire);
                Field(out, "hud string", "%d number %d", gHudStringNumber, gHudWatchedNumber);
                break;
            }
            MountFields(out, "Armoury");
            MountFields(out, "Raider");
            MountFields(out, "Escort");
            DockFields(out, "Base");
            DockFields(out, "Escort");
            Field(out, "script docking", "%d", gScriptDocking);
            {
                const std::initializer_list<const char*> cameras = {"Fixed", "Eye", "Chase", "NoCam"};
                Field(out, "camera slots", "player %s track %s chase %s contact %s pursuit %s last %s",
                      NameAmong(gPlayerCamera, cameras).c_str(), NameAmong(gTrackCamera, cameras).c_str(),
                      NameAmong(gChaseCamera, cameras).c_str(), NameAmong(gContactCamera, cameras).c_str(),
                      NameAmong(gPursuitCamera, cameras).c_str(), NameAmong(gLastCamera, cameras).c_str());
                Field(out, "Fixed.behaviour", "%s", RoutineName(Object("Fixed")->control));
                Field(out, "Eye.behaviour", "%s", RoutineName(Object("Eye")->control));
                Field(out, "Chase.behaviour", "%s watching %s", RoutineName(Object("Chase")->control),
                      NameAmong(Object("Chase")->avatar->linkItem, kFleet).c_str());
                Field(out, "NoCam", "%s", NameAmong(Object("NoCam"), cameras).c_str());
            }
            [[fallthrough]];
        case 4: {
            if (frame == 4) {
                DockFields(out, "Base");
                DockFields(out, "Escort");
                const DirectorState& d = gCameras.director;
                Field(out, "director row 12", "%s hold %d", RoutineName(DirectorEvent[12].camera),
                      DirectorEvent[12].holdTicks);
                Field(out, "director", "on %d locked %d event %d subject %s target %s hold %d external %d",
                      gDirectorOn, d.locked, d.event, NameAmong(d.subject, kFleet).c_str(),
                      NameAmong(d.target, kFleet).c_str(), d.hold, gExternalView);
            }
            const SceneItem* hero = Object("Hero");
            const TDP* lights = hero->avatar->root ? hero->avatar->root->firstChild : nullptr;
            const ParticleEmitter* set = lights ? lights->emitter : nullptr;
            const EmitterPoint* last = set && set->pointCount > 0 ? &set->points[set->pointCount - 1] : nullptr;
            Field(out, "Hero.lights", "last size %g colour %d hidden %d sim flags 0x%x",
                  last ? static_cast<double>(last->size) : -1.0, last ? last->colour : -1,
                  set && (set->flags & kEmitterHidden) ? 1 : 0,
                  hero->sim->flags & (kSimNoDamage | kSimNoMinimumEngine));
            int n = 0;
            for (const Action* a = Object("Escort")->sim->actions; a; a = a->next, ++n) {
                int index = -1;
                for (size_t i = 0; i < builtIns.size(); ++i)
                    if (builtIns[i] == a->callback)
                        index = static_cast<int>(i);
                const char* film = (a->flags & kActionFilm) && a->scriptRecord
                                       ? static_cast<const Resource*>(a->scriptRecord)->name
                                       : "none";
                Field(out, ("Escort.action " + std::to_string(n)).c_str(), "key %u flags 0x%x callback %d film %s",
                      a->key, a->flags & (kActionCallback | kActionFilm), index, film);
            }
            if (frame == 3) {
                for (const char* name : {"beep", "hum"}) {
                    const SoundSlot* slot = static_cast<const SoundSlot*>(
                        ResGet(static_cast<Resource*>(FindScriptSymbol(name)->value)));
                    Field(out, name, "volume %d frequency %d pan %d loop %d playing %d owner %s", slot->volume,
                          slot->frequency, slot->pan, slot->loop, slot->playing ? 1 : 0,
                          NameAmong(slot->owner, kFleet).c_str());
                }
                const SoundSlot* hum = static_cast<const SoundSlot*>(
                    ResGet(static_cast<Resource*>(FindScriptSymbol("hum")->value)));
                Field(out, "Escort.attached sound", "%s", Object("Escort")->avatar->soundSlot == hum ? "hum" : "other");
                Field(out, "Raider.attached sound", "%s", Object("Raider")->avatar->soundSlot ? "some" : "none");
            }
            if (frame == 4) {
                TargetFields(out, "Armoury");
                Field(out, "riders", "Raider on %s Rock on %s",
                      NameAmong(Object("Raider")->avatar->linkItem, kFleet).c_str(),
                      NameAmong(Object("Rock")->avatar->linkItem, kFleet).c_str());
            }
            break;
        }
        default:
            break;
        }
    };
    const std::string dump = RunMission("fleet.scr", before, after);
    DirectorEvent[12] = savedRow;
    CurrentStation = savedStation;
    gSettings.noSlab = savedNoSlab;
    ExpectGolden(dump, "fleet.golden");
}

} // namespace
