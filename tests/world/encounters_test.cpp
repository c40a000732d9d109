// The Lagrange gate and the encounter sources.
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "framework/fw.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/effects_probe.h"
#include "tests/support/universe_fixture.h"
#include "tests/support/world_fixture.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "world/encounters.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"
#include "world/starmap.h"
#include "world/universe.h"

using namespace worldtest;

namespace {

const char* kSystems =
    "id,name,parent,class,number,value,mass,radius,orbit,period,longitude,ecc,incl\n"
    "0,Sol,0,S,0,0,0,0,0,0,0,0,0\n"
    "1,Earth,0,P,0,0,0,0,1e8,0,0,0,0\n"
    "2,L4,1,L4,0,0,0,0,0,0,0,0,0\n"
    "2000,Corvane,2000,S,0,0,0,0,0,0,0,0,0\n"
    "2001,Corvane II,2000,P,0,0,0,0,1e8,0,0,0,0\n"
    "2002,WeakL4,2001,L4,0,0,0,0,0,0,0,0,0\n";

class EncounterTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ClearEncounterSources();
        LoadTestUniverse(kSystems, {{"Sol", 1, 0, {0, 0, 0}}, {"Corvane", 21, 0, {0, 0, 0}}});
        player = MakeItem();
        gPlayerItem = gControlledItem = player;
        EnableCallTrace(true);
        ClearCallTrace();
    }
    void TearDown() override
    {
        ClearEncounterSources();
        ResetUniverse();
        EnableCallTrace(false);
        WorldTest::TearDown();
    }

    // A gate whose members show the colours.
    SceneItem* MakeGate(std::initializer_list<uint8_t> colours)
    {
        SceneItem* gate = MakeItem(SIM_STARGATE);
        MakeShip(gate);
        int i = 0;
        CouplingLink** slot = &gate->sim->shipInfo->couplings;
        for (uint8_t c : colours) {
            SceneItem* member = MakeItem();
            member->avatar->colour = c;
            partners[i].item = member;
            links[i] = {2, nullptr, &partners[i]};
            *slot = &links[i];
            slot = &links[i].next;
            members[i++] = member;
        }
        return gate;
    }

    // A stock script of every kind (a no-op statement, then END) for every
    // launch to run; the number of launches is the number of its runs.
    void AddStockScripts()
    {
        static const bool started = [] {
            InitializeScriptSystem();
            return true;
        }();
        (void)started;
        ResetMissionScript();
        const auto at = static_cast<int32_t>(gScriptBuffers.tokenCursor);
        EmitKeywordToken(kw::BEGIN);
        EmitKeywordToken(kw::END);
        for (const char* label : {"DRONE_0", "FIGHTER_0", "ARMED_0", "CARGO_0", "FREIGHTER_0", "MOTHERSHIP_0"})
            AddScriptSymbol(label, &at, 4)->labelDefined = true;
        AddScriptSymbol("MOTHERCRAFT", nullptr, 0);
        AddScriptSymbol("STOCKSHIP", nullptr, 0);
        stockRuns = 0;
        SetStatementTraceHook([](uint32_t, uint32_t id) { stockRuns += id == kw::BEGIN; });
    }
    static void EndStockScripts()
    {
        SetStatementTraceHook(nullptr);
        ResetMissionScript();
    }
    static inline size_t stockRuns = 0;

    SceneItem* player = nullptr;
    CouplingLink links[4]{};
    CouplingPartner partners[4]{};
    SceneItem* members[4]{};
};

void Place(SceneItem* item, double x)
{
    item->sim->position = {x, 0, 0};
    item->sim->matrix.m[12] = static_cast<float>(x);
}

} // namespace

TEST_F(EncounterTest, AnAgreeingGateSendsANearPlayerToItsSystem)
{
    SceneItem* gate = MakeGate({9, 9, 9});
    Place(gate, 4000);
    SIM_STARGATE(gate);
    EXPECT_EQ(gCurrentSystemNumber, 21);
    EXPECT_EQ(player->sceneGeneration, 21);
    EXPECT_NE(gBodies[5].sceneItem, nullptr); // WeakL4 was built
    EXPECT_EQ(gStopSimulationPass, 255);
    EXPECT_EQ(effectsprobe::Sweeps(player, -1), 1);
    // The members were scrambled to gate colours.
    for (int i = 0; i < 3; ++i) {
        const uint8_t c = members[i]->avatar->colour;
        EXPECT_TRUE(c == 9 || c == 10 || c == 12) << int(c);
    }
}

TEST_F(EncounterTest, DisagreeingOrFarGatesSendNobody)
{
    // The gate shows its state on the material "StarGate".
    ASSERT_EQ(HxBegin(), HX_OK);
    hx_pixelmap* disagree = HxMapAdd(HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0));
    disagree->identifier = HxResStrDup(disagree, "GateEdge4");
    hx_material* material = HxMaterialAdd(HxMaterialAllocate("StarGate"));
    SceneItem* gate = MakeGate({9, 10, 9});
    Place(gate, 100);
    SIM_STARGATE(gate);
    EXPECT_EQ(gate->avatar->params[kParamSize], kGateDisagrees);
    EXPECT_EQ(gCurrentSystemNumber, 0);
    EXPECT_EQ(material->colour_map, disagree);
    material->colour_map = nullptr;
    SIM_STARGATE(gate); // the state is shown once
    EXPECT_EQ(material->colour_map, nullptr);
    HxEnd();

    SceneItem* far = MakeGate({10, 10});
    Place(far, 5000);
    SIM_STARGATE(far);
    EXPECT_EQ(far->avatar->params[kParamSize], 10); // the state agrees with the colour
    EXPECT_EQ(gCurrentSystemNumber, 0);
}

TEST_F(EncounterTest, AGateToTheCurrentSystemOnlyScramblesItsColours)
{
    gCurrentSystemNumber = 1;
    SceneItem* gate = MakeGate({10, 10, 10});
    SIM_STARGATE(gate);
    EXPECT_EQ(gCurrentSystemNumber, 1);
    EXPECT_EQ(gBodies[0].sceneItem, nullptr); // nothing was built
    EXPECT_EQ(effectsprobe::Sweeps(player, -1), 1);
    EXPECT_EQ(gStopSimulationPass, 255);
}

TEST_F(EncounterTest, AGateOnItsFirstFrameScramblesAndTakesTwelve)
{
    SceneItem* gate = MakeGate({0, 0});
    Place(gate, 1e6);
    SIM_STARGATE(gate);
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(members[i]->avatar->colour, 0);
    const char* system;
    const char* arrival;
    ASSERT_TRUE(GateDestination(12, &system, &arrival));
    EXPECT_STREQ(system, "26");
    EXPECT_STREQ(arrival, "L4");
    EXPECT_FALSE(GateDestination(13, &system, &arrival));
}

TEST_F(EncounterTest, SourcesNearThePlayerAreUsedRoundRobin)
{
    AddStockScripts();
    SceneItem* a = MakeItem();
    SceneItem* far = MakeItem();
    SceneItem* b = MakeItem();
    Place(far, 2e7);
    AddEncounterSource(a, 0x5);
    AddEncounterSource(far, 0x1);
    AddEncounterSource(b, 0x3F);
    EXPECT_TRUE(a->flags & kItemEncounterSource);
    EXPECT_EQ(gEncounterSources->kindCount, 2);
    EXPECT_EQ(gEncounterSources->next->next->kindCount, 6);
    SetFrameStep(2500); // every frame tries
    std::vector<SceneItem*> used;
    for (int i = 0; i < 4; ++i) {
        EncounterStep();
        used.push_back(gEncounterCursor->item);
    }
    EXPECT_EQ(used, (std::vector<SceneItem*>{a, b, a, b}));
    EXPECT_EQ(stockRuns, 4u);

    RemoveEncounterSource(b);
    EncounterStep();
    EXPECT_EQ(gEncounterCursor->item, a);
    ClearEncounterSources();
    EXPECT_EQ(gEncounterSources, nullptr);
    EXPECT_EQ(gEncounterCursor, nullptr);
    EndStockScripts();
}

TEST_F(EncounterTest, NoEncounterAtTheLimitOrOnHold)
{
    AddStockScripts();
    AddEncounterSource(MakeItem(), 1);
    SetFrameStep(2500);
    SceneItem* counted[4];
    for (SceneItem*& ship : counted) {
        ship = MakeItem();
        MarkCounted(ship);
    }
    EncounterStep();
    EXPECT_EQ(stockRuns, 0u) << "four counted ships stop a launch";
    DeleteSceneItem(counted[0]);
    EXPECT_EQ(gCountedItems, 3);
    gSimHold = 255;
    EncounterStep();
    gSimHold = 0;
    EXPECT_EQ(stockRuns, 0u) << "no launch on hold";
    EncounterStep();
    EXPECT_EQ(stockRuns, 1u) << "deleting one allows the next";
    EndStockScripts();
}

TEST_F(EncounterTest, AtAStepOfFiveHundredthsAboutOneFrameInFiveHundredTries)
{
    AddStockScripts();
    AddEncounterSource(MakeItem(), 1);
    SetFrameStep(5);
    for (int i = 0; i < 50000; ++i)
        EncounterStep();
    const size_t launched = stockRuns;
    EndStockScripts();
    EXPECT_GT(launched, 60u);
    EXPECT_LT(launched, 150u);
}

TEST_F(EncounterTest, LoiteringShipsPickAnotherMatchingSource)
{
    SceneItem* ship = MakeItem();
    ship->avatar->classFlags = 0x80;
    SceneItem* here = MakeItem();
    SceneItem* match = MakeItem();
    SceneItem* other = MakeItem();
    here->avatar->classFlags = match->avatar->classFlags = 0x80;
    other->avatar->classFlags = 0x100;
    AddEncounterSource(here, 1);
    AddEncounterSource(match, 1);
    AddEncounterSource(other, 1);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(PickEncounterSource(ship, here), match);
    ClearEncounterSources();
    EXPECT_EQ(PickEncounterSource(ship, here), here);
}

TEST_F(EncounterTest, LoiteringShipsSometimesTakeTheNearestCarrier)
{
    SceneItem* ship = MakeItem();
    ship->avatar->classFlags = 0x80;
    SceneItem* here = MakeItem();
    SceneItem* match = MakeItem();
    here->avatar->classFlags = match->avatar->classFlags = 0x80;
    AddEncounterSource(here, 1);
    AddEncounterSource(match, 1);
    SceneItem* carrier = MakeItem();
    carrier->avatar->classFlags = 0x1000000;
    carrier->sim->position.z = 1e9;
    int carriers = 0;
    for (int i = 0; i < 500; ++i) {
        SceneItem* picked = PickEncounterSource(ship, here);
        carriers += picked == carrier ? 1 : 0;
        EXPECT_TRUE(picked == carrier || picked == match);
    }
    // Two chances in ten.
    EXPECT_GT(carriers, 50);
    EXPECT_LT(carriers, 150);
}

TEST_F(EncounterTest, NewShipsAreMovedClearOfBodies)
{
    SceneItem* station = MakeItem();
    station->sim->radius = 1000;
    SceneItem* body = MakeItem();
    body->avatar->flags |= kAvatarBody;
    body->sim->radius = 1e6;
    SceneItem* ship = MakeItem();
    ship->sim->radius = 50;
    FindClearPosition(station, ship);
    const WorldPosition& p = ship->sim->position;
    const double d = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    EXPECT_GE(d, 1e6 + 50);
    EXPECT_FLOAT_EQ(ship->sim->matrix.m[12], static_cast<float>(p.x));
    // Nowhere clear: it gives up after a bounded number of tries.
    body->sim->radius = 1e30f;
    FindClearPosition(station, ship);
    EXPECT_TRUE(std::isfinite(ship->sim->position.x));
}
