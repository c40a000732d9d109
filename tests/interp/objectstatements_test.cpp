// The statements that place, make, move, edit, launch and end objects: the
// PLACE family, CREATE and the motion statements, the model statements,
// SET_SHIP_TYPE, SPAWN, DISRUPT, DESTROY and NO_LDS, and the objects with
// special collision responses (LDS fields, sinks, Lagrange devices,
// asteroids).
#include <algorithm>

#include "interp_fixture.h"

#include "screens/engineering.h"
#include "tests/support/corpse_fixture.h"

#include "framework/scene.h"
#include "ai/aistate.h"
#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/shipstatements.h"
#include "script/shiptypes.h"
#include "system/calltrace.h"
#include "system/res/resman.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "view/viewstate.h"
#include "world/actions.h"
#include "world/behaviours.h"
#include "world/encounters.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/lds.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/tally.h"

#include <cmath>

namespace {

class ObjectStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        EnableCallTrace(true);
        ClearCallTrace();
        gInterpreter.placementMode = 255;
        gInterpreter.relativeOrigin = nullptr;
    }
    void TearDown() override
    {
        EnableCallTrace(false);
        gWorldOriginOffset = {};
        gInterpreter.placementMode = 0;
        gInterpreter.relativeOrigin = nullptr;
        if (gFrameworkBegun)
            HxEnd();
        gFrameworkBegun = false;
        InterpTest::TearDown();
    }

    static SceneItem* Object(const char* name) { return SymbolObject(FindScriptSymbol(name)); }
    static inline bool gFrameworkBegun = false; // begun by the models of the edit statements

    // A plain item under a new object symbol, at a position.
    static SceneItem* Named(const char* name, double x = 0, double y = 0, double z = 0,
                            ItemFunction perFrame = nullptr)
    {
        SceneItem* item = worldtest::MakeItem(perFrame);
        item->sim->position = {x, y, z};
        item->sim->matrix.m[12] = static_cast<float>(x);
        item->sim->matrix.m[13] = static_cast<float>(y);
        item->sim->matrix.m[14] = static_cast<float>(z);
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolSceneItem;
        SetSymbolObject(symbol, item);
        return item;
    }

    // A model resource under a symbol: a framework triangle.
    static void NamedModel(const char* name)
    {
        if (ResPoolSize() == 0)
            ResInit();
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolResource;
        symbol->value = ResAllocSized(kResRowModels, sizeof(hx_model));
        ASSERT_NE(symbol->value, nullptr);
        // A real framework triangle with its first vertex at (1, 2, 3), so
        // that the edits show.
        if (!gFrameworkBegun) {
            ASSERT_EQ(HxBegin(), HX_OK);
            gFrameworkBegun = true;
        }
        hx_model* model = HxModelAllocate(name, 3, 1);
        ASSERT_NE(model, nullptr);
        model->vertices[0].p = {1, 2, 3};
        model->vertices[1].p = {0, 1, 0};
        model->vertices[2].p = {0, 0, 1};
        model->faces[0].vertices[1] = 1;
        model->faces[0].vertices[2] = 2;
        model->flags = HX_MODF_KEEP_ORIGINAL;
        static_cast<Resource*>(symbol->value)->data = model;
    }
    static const hx_vector3& VertexOf(const char* name)
    {
        return static_cast<hx_model*>(ResGet(static_cast<Resource*>(FindScriptSymbol(name)->value)))->vertices[0].p;
    }

    static void ExpectAt(const SceneItem* item, double x, double y, double z, double tolerance = 0.01)
    {
        const WorldPosition& p = item->sim->position;
        EXPECT_NEAR(p.x, x, tolerance);
        EXPECT_NEAR(p.y, y, tolerance);
        EXPECT_NEAR(p.z, z, tolerance);
        EXPECT_NEAR(item->sim->matrix.m[12], x, std::max(tolerance, std::abs(x) * 1e-6));
        EXPECT_NEAR(item->sim->matrix.m[14], z, std::max(tolerance, std::abs(z) * 1e-6));
    }

    // The first due message of the item, or kind 0xFFFF for none.
    static ItemMessage NextMessage(const SceneItem* item)
    {
        ItemMessage message{};
        if (!FetchItemMessage(item->receiver, &message))
            message.kind = 0xFFFF;
        return message;
    }
};

// ---- Placement ---------------------------------------------------------------

TEST_F(ObjectStatementTest, PlacementsLandWhereTheirUnitsSay)
{
    struct Case {
        const char* script;
        bool relative;
        double x, y, z;
    };
    const Case cases[] = {
        // PLACE is in hundredths; absolute mode takes off the floating origin.
        {"PLACE O 1 2 3", false, 100 - 5000, 200, 300},
        // Relative mode counts from the relative object (at 100000, 0, 0).
        {"PLACE O 1 2 3", true, 100100, 200, 300},
        // Altitude 0: on the sphere of half the centre's radius, square to
        // the direction object (along +z) and the world's Y axis.
        {"PLACE_IN_ORBIT O C Dz 0", false, -500, 0, 0},
        {"PLACE_IN_ORBIT O C Dz 2", false, -200500, 0, 0},
        // Straight up has no square direction: the world's X axis stands in.
        {"PLACE_IN_ORBIT O C Dy 0", false, 500, 0, 0},
        // On the line from C toward Dz, counted from C's surface; 0.01 (one
        // unit) is not lengthened by the radius, 1 (100 units) is.
        {"PLACE_BETWEEN O C Dz 1", false, 0, 0, 1100},
        {"PLACE_BETWEEN O C Dz 0.01", false, 0, 0, 1},
        {"PLACE_BETWEEN O P Dz 1", false, 0, 0, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        ResetSimulation();
        ResetMissionScript();
        gWorldOriginOffset = {5000, 0, 0};
        SceneItem* item = Named("O");
        SceneItem* centre = Named("C");
        centre->sim->radius = 1000;
        SceneItem* planet = Named("P");
        planet->sim->radius = 1000;
        planet->avatar->classFlags |= SenseFlag(kw::SN_PLANET);
        Named("Dz", 0, 0, 100000);
        Named("Dy", 0, 100000, 0);
        gInterpreter.placementMode = c.relative ? 0 : 255;
        gInterpreter.relativeOrigin = c.relative ? Named("R", 100000, 0, 0) : nullptr;
        Run(c.script);
        ExpectAt(item, c.x, c.y, c.z);
    }
}

TEST_F(ObjectStatementTest, PlaceRandomPutsTheObjectOnTheSphereOfTheRadius)
{
    for (int i = 0; i < 8; ++i) {
        SceneItem* item = Named(("O" + std::to_string(i)).c_str());
        Run("PLACE_RANDOM O" + std::to_string(i) + " 30");
        const WorldPosition& p = item->sim->position;
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 3000.0, 0.01);
    }
}

TEST_F(ObjectStatementTest, OrientTurnsPositionAndVelocityAboutTheTrueOrigin)
{
    gWorldOriginOffset = {1000, 0, 0};
    SceneItem* a = Named("A", 100, 0, 0);
    a->sim->velocity = {0, 0, 10};
    SceneItem* b = Named("B");
    // B faces +x: its X axis is -z, its Z axis +x.
    float* m = b->sim->matrix.m;
    m[0] = 0, m[1] = 0, m[2] = -1;
    m[8] = 1, m[9] = 0, m[10] = 0;
    Run("ORIENT A B");
    // Absolute (1100, 0, 0) turns to (0, 0, -1100), less the offset.
    ExpectAt(a, -1000, 0, -1100);
    EXPECT_NEAR(a->sim->velocity.x, 10, 1e-4);
    EXPECT_NEAR(a->sim->velocity.z, 0, 1e-4);
    EXPECT_EQ(a->sim->matrix.m[2], -1.0f);
    EXPECT_EQ(a->sim->matrix.m[8], 1.0f);
}

TEST_F(ObjectStatementTest, PlaceBehindTakesASlotOnEveryPassAndNeedsALeader)
{
    SceneItem* o = Named("O");
    Named("Leader");
    // Slots 0, 1 and 2 in turn: slot 2 stands one spacing to the side.
    Run("SET k 3\nagain:\nPLACE_BEHIND O Leader 5 0\nPLACE_BEHIND O Nobody 5 0\nDECBNE k again");
    const double spacing = 5 * kPlacementScale;
    EXPECT_NEAR(o->sim->position.x, spacing, 1e-3);
    EXPECT_NEAR(o->sim->position.z, -spacing / 2, 1e-3);
}

TEST_F(ObjectStatementTest, NoContactHidesAndShowsAgain)
{
    SceneItem* item = Named("O");
    gFrameClock.gameClock = 1234;
    Run("NOCONTACT O");
    EXPECT_EQ(item->avatar->flags & 0x10, 0x10);
    gContacts.nextRefresh = 0;
    Run("NOCONTACT O OFF");
    EXPECT_EQ(item->avatar->flags & 0x10, 0);
    EXPECT_EQ(gContacts.nextRefresh, 1234u);
}

TEST_F(ObjectStatementTest, StatementsOnASymbolWithoutAnObjectConsumeTheirOperands)
{
    SceneItem* item = Named("O");
    Run("PLACE Nobody 1 2 3\nPLACE_BETWEEN Nobody O O 5 OFF\nVEL Nobody 1 2 3\nROT Nobody 1 2 3 4 5 6\n"
        "PLACE O 7 0 0");
    ExpectAt(item, 700, 0, 0);
}

// ---- Creation and motion -------------------------------------------------------

TEST_F(ObjectStatementTest, CreateBindsTheRoutinesOfItsKeywords)
{
    struct Case {
        const char* control;
        const char* sim;
        ItemFunction controlRoutine;
        ItemFunction simRoutine;
    };
    const Case cases[] = {
        {"CONTROL_NULL", "SIM_NULL", nullptr, SIM_NULL},
        {"CONTROL_MAIN", "SIM_MAIN", CONTROL_MAIN, SIM_MAIN},
        {"CONTROL_AI", "SIM_CHAOS", CONTROL_AI, SIM_CHAOS},
        {"CONTROL_AIFREE", "SIM_MAIN", CONTROL_AIFREE, SIM_MAIN},
        {"CONTROL_FREE", "SIM_STARGATE", CONTROL_FREE, SIM_STARGATE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        ResetSimulation();
        ResetMissionScript();
        Run(std::string("CREATE O Hull Md ") + c.control + " " + c.sim);
        SceneItem* item = Object("O");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->control, c.controlRoutine);
        EXPECT_EQ(item->perFrame, c.simRoutine);
        EXPECT_EQ(item->symbol, FindScriptSymbol("O"));
        EXPECT_EQ(SymbolObject(gBuiltinSymbols.lastShip), item);
        EXPECT_EQ(FindScriptSymbol("Hull")->value, item->avatar->root);
        EXPECT_EQ(gBuiltinSymbols.last3dPart->value, item->avatar->root);
    }
}

TEST_F(ObjectStatementTest, SimEngSpinsTheObjectInPlaceAtItsTurnRates)
{
    Run("CREATE O Hull Md CONTROL_NULL SIM_ENG\nPLACE O 1 2 3\nROT O 0 0 0 100 0 0");
    SceneItem* item = Object("O");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->perFrame, SIM_ENG);
    const Matrix4 before = item->sim->matrix;
    // A yaw rate of 100 % turns 30 degrees a second: 3 degrees in 10 ticks.
    worldtest::RunFrame(10);
    const Matrix4& after = item->sim->matrix;
    EXPECT_NEAR(std::acos(std::clamp(after.m[0], -1.0f, 1.0f)) * 180 / 3.14159265f, 3.0f, 1e-3);
    EXPECT_NEAR(after.m[5], 1.0f, 1e-6); // about Y only
    for (int i = 12; i < 15; ++i)
        EXPECT_EQ(after.m[i], before.m[i]) << i;
    EXPECT_EQ(item->sim->startTime, gFrameClock.gameClock);
    // Pitch and roll rates turn about X and Z.
    Run("ROT O 0 0 0 0 100 100");
    worldtest::RunFrame(10);
    EXPECT_LT(item->sim->matrix.m[5], 1.0f - 1e-4f);
}

TEST_F(ObjectStatementTest, RoutineKeywordsOutOfRangeAreSyntaxErrors)
{
    EXPECT_NE(RunUntilStop("CREATE O Hull Md SIM_MAIN SIM_MAIN").text.find("CREATE Expected CONTROL Routine"),
              std::string::npos);
    EXPECT_NE(RunUntilStop("CREATE O Hull Md CONTROL_AI CONTROL_AI").text.find("CREATE Expected SIMULATOR Routine"),
              std::string::npos);
    Named("X");
    EXPECT_NE(RunUntilStop("CONTROL X SIM_MAIN").text.find("CONTROL Expected CONTROL Routine"), std::string::npos);
    EXPECT_NE(RunUntilStop("SET_SHIP_TYPE X NAVY").text.find("Unrecognized Token"), std::string::npos);
    EXPECT_EQ(Object("O"), nullptr);
}

TEST_F(ObjectStatementTest, ControlStopsThrustUnlessInLds)
{
    SceneItem* plain = Named("A");
    SceneItem* lds = Named("B");
    for (SceneItem* item : {plain, lds}) {
        item->sim->thrust = {1, 2, 3};
        item->pitchRemaining = 9;
    }
    lds->sim->flags |= kSimLdsEngaged;
    Run("CONTROL A CONTROL_FREE\nCONTROL B CONTROL_MAIN");
    EXPECT_EQ(plain->sim->thrust.z, 0.0f);
    EXPECT_EQ(lds->sim->thrust.z, 3.0f);
    EXPECT_EQ(plain->pitchRemaining, 0.0f);
    EXPECT_EQ(plain->control, CONTROL_FREE);
    EXPECT_EQ(lds->control, CONTROL_MAIN);
}

TEST_F(ObjectStatementTest, MotionAfterTenFrames)
{
    struct Case {
        const char* script;
        bool relative;
        Vector3 velocity;
        uint32_t ldsFlag;
        double z; // position after ten frames of a tenth of a second
    };
    const Case cases[] = {
        {"VEL O 0 0 50", false, {0, 0, 50}, 0, 50},
        // The relative object moves at (0, 0, 20): VEL adds it.
        {"VEL O 0 0 50", true, {0, 0, 70}, 0, 70},
        // Toward T (on +z) at 0.5 (50 a second), the drive off.
        {"VEL_TOWARDS O T 0.5", false, {0, 0, 50}, 0, 50},
        {"VEL_TOWARDS O T 0.5 OFF", false, {0, 0, 50}, 0, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        ResetSimulation();
        ResetMissionScript();
        SceneItem* item = Named("O", 0, 0, 0, SIM_MAIN);
        item->sim->flags |= kSimLdsEngaged;
        Named("T", 0, 0, 1000000);
        SceneItem* origin = Named("R");
        origin->sim->velocity = {0, 0, 20};
        gInterpreter.placementMode = c.relative ? 0 : 255;
        gInterpreter.relativeOrigin = c.relative ? origin : nullptr;
        if (std::string(c.script).starts_with("VEL "))
            item->sim->flags &= ~kSimLdsEngaged;
        Run(c.script);
        EXPECT_NEAR(item->sim->velocity.z, c.velocity.z, 1e-3);
        EXPECT_EQ(item->sim->flags & kSimLdsEngaged, c.ldsFlag);
        EXPECT_GT(item->sim->speed, 0.0f);
        for (int frame = 0; frame < 10; ++frame)
            worldtest::RunFrame(10);
        EXPECT_NEAR(item->sim->position.z, c.z, 0.5);
    }
}

TEST_F(ObjectStatementTest, VelTowardsOnHandsTheSpeedToTheLdsDrive)
{
    SceneItem* item = Named("O");
    item->sim->velocity = {1, 2, 3};
    Named("T", 1000, 0, 0);
    Run("VEL_TOWARDS O T 5000 ON");
    EXPECT_EQ(item->sim->flags & kSimLdsEngaged, kSimLdsEngaged);
    EXPECT_EQ(item->sim->thrust.z, 500000.0f);
    EXPECT_EQ(item->sim->ldsTargetSpeed, 500000.0f);
    EXPECT_EQ(item->sim->velocity.x, 1.0f);
    EXPECT_EQ(item->sim->velocity.z, 3.0f);
    // It faces T: its forward axis is +x.
    EXPECT_NEAR(item->sim->matrix.m[8], 1.0f, 1e-5);

    // On top of its goal it keeps its heading and, without the drive, stops.
    Named("Here", 0, 0, 0);
    Run("VEL_TOWARDS O Here 10");
    EXPECT_NEAR(item->sim->matrix.m[8], 1.0f, 1e-5);
    EXPECT_EQ(item->sim->velocity.x, 0.0f);
    EXPECT_EQ(item->sim->speed, 0.0f);
}

TEST_F(ObjectStatementTest, RotTurnsAndSetsTheSpinInPitchYawRollOrder)
{
    SceneItem* item = Named("O");
    item->rollDemand = 7;
    Run("ROT O 90 0 0 1 2 3");
    EXPECT_NEAR(item->sim->matrix.m[8], 1.0f, 1e-5); // turned by 90 about Y: forward is +x
    EXPECT_EQ(item->pitchDemand, 2.0f);
    EXPECT_EQ(item->yawDemand, 1.0f);
    EXPECT_EQ(item->rollDemand, 3.0f);
    EXPECT_EQ(item->sim->turnRates.x, 2.0f);
    EXPECT_EQ(item->sim->turnRates.y, 1.0f);
    EXPECT_EQ(item->sim->turnRates.z, 3.0f);
    Run("ROT O 0 0 0");
    EXPECT_EQ(item->pitchDemand, 0.0f);
    EXPECT_EQ(item->rollDemand, 0.0f);
    EXPECT_EQ(item->sim->turnRates.z, 0.0f);
}

TEST_F(ObjectStatementTest, IndestructAndDeflectorFlags)
{
    SceneItem* item = Named("O");
    Run("INDESTRUCT O\nDSHIELD O");
    EXPECT_EQ(item->sim->flags & (kSimNoDamage | 0x800000), kSimNoDamage | 0x800000);
    EXPECT_EQ(item->flags & 0x200, 0x200);
    Run("INDESTRUCT O OFF\nDSHIELD O OFF");
    EXPECT_EQ(item->sim->flags & (kSimNoDamage | 0x800000), 0u);
    EXPECT_EQ(item->flags & 0x200, 0x200); // OFF leaves the item flag
}

TEST_F(ObjectStatementTest, AddChildAndMotorHangOnTheObjectsParts)
{
    Run("CREATE O Hull Md CONTROL_NULL SIM_NULL\nADDCHILD Hull Arm Md 1 2 3\nADDMOTOR O Arm 7.9");
    SceneItem* item = Object("O");
    ASSERT_NE(item, nullptr);
    TDP* arm = static_cast<TDP*>(FindScriptSymbol("Arm")->value);
    ASSERT_NE(arm, nullptr);
    EXPECT_EQ(item->avatar->root->firstChild, arm);
    EXPECT_EQ(gBuiltinSymbols.last3dPart->value, arm);
    EXPECT_EQ(arm->flags & (kTdpInScene | kTdpNew), kTdpInScene);
    EXPECT_EQ(arm->offset.z, 3.0f);
    ASSERT_NE(arm->attributes, nullptr);
    int attributes = 0;
    for (TDPAttribute* a = arm->attributes; a; a = a->next, ++attributes)
        EXPECT_EQ(a->valueNumber, 3);
    EXPECT_EQ(attributes, 2);
    EXPECT_EQ(item->avatar->params[3], 7);
}

// ---- Models --------------------------------------------------------------------

TEST_F(ObjectStatementTest, ScaleOnceInALoopScalesOnce)
{
    NamedModel("M");
    Run("SET k 3\nagain:\nSCALE_ONCE M 50\nDECBNE k again");
    EXPECT_FLOAT_EQ(VertexOf("M").x, 0.5f);
    // The edited model is no longer its file's: the record's model flag goes.
    EXPECT_EQ(static_cast<Resource*>(FindScriptSymbol("M")->value)->modelFlag, 0);
    ClearCallTrace();
    Run("SET k 3\nagain2:\nSCALE M 200\nDECBNE k again2");
    EXPECT_FLOAT_EQ(VertexOf("M").x, 4.0f);
}

TEST_F(ObjectStatementTest, SizeOnAnObjectChangesOnlyItsRadiusAndCorpseNeedsAnObject)
{
    SceneItem* item = Named("O");
    gPlayerItem = Named("P", 1000, 0, 0);
    NamedModel("M");
    const hx_model* corpse = corpsetest::GiveCorpseModel();
    Run("SIZE O 450\nSIZE M 20\nCORPSE O\nCORPSE Nobody");
    EXPECT_EQ(item->sim->radius, 450.0f);
    const hx_vector3& v = VertexOf("M");
    EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 20.0f, 1e-4f);
    EXPECT_EQ(corpsetest::CountCorpses(corpse), 1);
}

TEST_F(ObjectStatementTest, ColourAndWireframeStatementsEditTheObjectsRoot)
{
    Run("CREATE O Hull Md CONTROL_NULL SIM_NULL\nCOLOUR Hull 12.7\nWIREFR Hull");
    TDP* root = Object("O")->avatar->root;
    EXPECT_EQ(root->word0, 12);
    EXPECT_EQ(root->flags & 0x400, 0x400u);
}

// ---- Ship type, spawn, destruction ---------------------------------------------

TEST_F(ObjectStatementTest, SetShipTypeChangesKindAndTallyCategory)
{
    Run("CREATE_SHIP S Md \"S\" TUG NAVY 0 0 0\nSET_SHIP_TYPE S CARRIER\nSET_MAX_EXTRAS 3.9");
    SceneItem* item = Object("S");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->sim->shipInfo->kind, kw::CARRIER - kw::CORVETTE);
    const TallyEntry* entry = FindTallyEntry(item->avatar->params[kParamTallySerial]);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->category, kw::CARRIER - kw::CORVETTE);
    EXPECT_EQ(gMaxEncounterExtras, 3);
}

TEST_F(ObjectStatementTest, SpawnLaunchesAlongTheSpawnersAxesAndLinksForFiveSeconds)
{
    SceneItem* carrier = Named("Carrier", 1000, 0, 0, SIM_MAIN);
    carrier->sim->velocity = {0, 0, 30};
    // The carrier faces +x.
    float* m = carrier->sim->matrix.m;
    m[0] = 0, m[1] = 0, m[2] = -1;
    m[8] = 1, m[9] = 0, m[10] = 0;
    SceneItem* fighter = Named("Fighter", 0, 0, 0, SIM_MAIN);
    fighter->receiver = AllocReceiver();
    Run("SPAWN Fighter Carrier 0 0 10 0 0 1");
    ExpectAt(fighter, 2000, 0, 0);
    EXPECT_NEAR(fighter->sim->velocity.x, 100, 1e-4);
    EXPECT_NEAR(fighter->sim->velocity.z, 30, 1e-4);
    EXPECT_EQ(fighter->avatar->linkItem, carrier);
    EXPECT_EQ(ItemFromHandle(fighter->avatar->params[kParamTetherAnchor]), carrier);
    // The unlink message is due five seconds on, naming the carrier.
    EXPECT_EQ(NextMessage(fighter).kind, 0xFFFF);
    gFrameClock.gameClock += 500;
    const ItemMessage unlink = NextMessage(fighter);
    EXPECT_EQ(unlink.kind, kMsgUnlink);
    EXPECT_EQ(ItemFromHandle(MessageBody<ItemBody>(unlink).item), carrier);
}

TEST_F(ObjectStatementTest, SpawnLinkClearsFiveSecondsOnInTheMessagePass)
{
    SceneItem* carrier = Named("Carrier");
    SceneItem* fighter = Named("Fighter", 0, 0, 0, SIM_MAIN);
    fighter->receiver = AllocReceiver();
    SetMessageFunction(fighter, HandleItemMessages);
    Run("SPAWN Fighter Carrier 0 0 10");
    EXPECT_EQ(fighter->avatar->linkItem, carrier);
    for (int frame = 0; frame < 49; ++frame)
        worldtest::RunFrame(10);
    EXPECT_EQ(fighter->avatar->linkItem, carrier);
    worldtest::RunFrame(10);
    worldtest::RunFrame(10);
    EXPECT_EQ(fighter->avatar->linkItem, nullptr);
}

TEST_F(ObjectStatementTest, SpawnWithoutSpawnerOrWithOffLinksNothing)
{
    SceneItem* fighter = Named("Fighter");
    fighter->receiver = AllocReceiver();
    Named("Carrier");
    Run("SPAWN Fighter Carrier 0 0 10 OFF");
    EXPECT_EQ(fighter->avatar->linkItem, nullptr);
    Run("SPAWN Fighter Nobody 0 0 10");
    EXPECT_EQ(NextMessage(fighter).kind, kMsgDelete);
}

TEST_F(ObjectStatementTest, DestroyIsAHitAfterTheDelayOrAQuietDelete)
{
    SceneItem* a = Named("A");
    a->receiver = AllocReceiver();
    SceneItem* b = Named("B");
    b->receiver = AllocReceiver();
    Run("DESTROY A 50\nDESTROY B OFF");
    EXPECT_EQ(NextMessage(b).kind, kMsgDelete);
    EXPECT_EQ(NextMessage(a).kind, 0xFFFF);
    gFrameClock.gameClock += 50;
    const ItemMessage hit = NextMessage(a);
    EXPECT_EQ(hit.kind, kMsgHit);
    EXPECT_EQ(hit.BodyLength(), static_cast<int32_t>(sizeof(HitPayload)));
}

TEST_F(ObjectStatementTest, DestroyedShipExplodesCountsAndFiresItsActions)
{
    Run("CREATE_SHIP Hero Md \"Hero\" CORVETTE NAVY 0 0 0\nPLAYER Hero\n"
        "CREATE_SHIP Foe Md \"Foe\" TUG BLACK 5000 0 0");
    SceneItem* foe = Object("Foe");
    ASSERT_NE(foe, nullptr);
    foe->avatar->lockedOn = Object("Hero");
    const int16_t colourCycle = kActionColourCycle;
    ASSERT_TRUE(AddAction(foe, kEventHit, kActionCallback, &colourCycle));
    foe->avatar->colour = 0;
    Run("DESTROY Foe 30");
    const TallyEntry* row = FindTallyEntry(foe->avatar->params[kParamTallySerial]);
    ASSERT_NE(row, nullptr);
    worldtest::RunFrame(20);
    EXPECT_EQ(row->destroyed, 0);
    EXPECT_NE(foe->avatar->collision, nullptr);
    worldtest::RunFrame(20);
    EXPECT_EQ(row->destroyed, 255);    // the tally counts the kill
    EXPECT_EQ(foe->avatar->colour, 9); // the hit Action fired
    // The default hit response breaks it up: the wreck collides no more.
    EXPECT_EQ(foe->avatar->collision, nullptr);
}

TEST_F(ObjectStatementTest, DisruptBrakesForTheDurationOrUntilCleared)
{
    hx_model pointModel{}; // what the emitter TDPs draw through; no view is built here
    gView.onePoint = &pointModel;
    Run("CREATE_SHIP A Md \"A\" TUG NAVY 0 0 0\nCREATE_SHIP B Md \"B\" TUG NAVY 0 0 0\nPLAYER B");
    SceneItem* a = Object("A");
    SceneItem* b = Object("B");
    b->sim->thrust = {1, 1, 1};
    gLastHitAmount = 0;
    Run("DISRUPT A 0\nDISRUPT B 40");
    EXPECT_EQ(a->sim->flags & kSimBraked, kSimBraked);
    EXPECT_EQ(b->sim->flags & kSimBraked, kSimBraked);
    // Each braked ship carries an emitter on its part tree.
    for (SceneItem* item : {a, b}) {
        const TDP* root = item->avatar->root;
        bool carries = root && root->emitter;
        for (const TDP* t = root ? root->firstChild : nullptr; t; t = t->nextSibling)
            carries = carries || t->emitter;
        EXPECT_TRUE(carries);
    }
    EXPECT_EQ(gLastHitAmount, 250);
    EXPECT_EQ(b->sim->thrust.z, 0.0f);
    EXPECT_EQ(NextMessage(a).kind, 0xFFFF);
    gFrameClock.gameClock += 40;
    EXPECT_EQ(NextMessage(b).kind, kMsgUnbrake);
    gView.onePoint = nullptr;
}

TEST_F(ObjectStatementTest, NoLdsBarsTheShipAndSwitchesTheDrive)
{
    SceneItem* item = Named("O");
    gLdsSwitchedOff = 0;
    Run("NO_LDS O\nFIXED_AST");
    EXPECT_EQ(item->sim->flags & kSimInhibited, kSimInhibited);
    EXPECT_EQ(gLdsSwitchedOff, 255);
    EXPECT_EQ(gFixedAsteroids, 255);
    Run("NO_LDS O OFF OFF\nFIXED_AST OFF");
    EXPECT_EQ(item->sim->flags & kSimInhibited, 0u);
    EXPECT_EQ(gLdsSwitchedOff, 0);
    EXPECT_EQ(gFixedAsteroids, 0);
}

} // namespace

// ---- Objects with special collision responses ------------------------------------

TEST_F(ObjectStatementTest, LdsFieldGrowsShrinksAndKeepsItsOneSphere)
{
    SceneItem* item = Named("F");
    item->sim->radius = 100.0f;
    item->avatar->root->radius = 50.0f;
    item->avatar->responseOrder = 9;
    struct Step {
        const char* script;
        float radius;
        float rootRadius;
        CollisionResponse response;
        bool solid;
        bool steerClear;
        bool sphereOff;
    };
    const Step steps[] = {
        {"ATTACH_LDS_FIELD F", 600.0f, 300.0f, CollideLdsField, true, false, false},
        {"ATTACH_LDS_FIELD F OFF", 100.0f, 50.0f, CollideShips, false, true, true},
        {"ATTACH_LDS_FIELD F ON", 600.0f, 300.0f, CollideLdsField, true, false, true},
        {"ATTACH_LDS_FIELD F ON", 3600.0f, 1800.0f, CollideLdsField, true, false, true},
    };
    HUD* sphere = nullptr;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.script);
        Run(s.script);
        EXPECT_FLOAT_EQ(item->sim->radius, s.radius);
        EXPECT_FLOAT_EQ(item->avatar->root->radius, s.rootRadius);
        EXPECT_EQ(item->avatar->collision, s.response);
        EXPECT_EQ((item->avatar->root->flags & 0x8000) != 0, s.solid);
        EXPECT_EQ((item->flags & 0x200) != 0, s.steerClear);
        ASSERT_NE(item->avatar->fieldSphere, nullptr);
        if (!sphere)
            sphere = item->avatar->fieldSphere;
        EXPECT_EQ(item->avatar->fieldSphere, sphere);
        EXPECT_EQ((sphere->flags & 0x100) != 0, s.sphereOff);
    }
    EXPECT_EQ(item->avatar->responseOrder, 0);
    // One wire sphere, listed once, whatever the switching.
    EXPECT_EQ(sphere->pointCount, 88);
    EXPECT_EQ(sphere->segmentCount, 129);
    EXPECT_EQ(sphere->subject, item);
    EXPECT_EQ(std::count(gHud.list, gHud.list + gHud.count, sphere), 1);
}

TEST_F(ObjectStatementTest, SinkAndShatterInstallTheirResponses)
{
    SceneItem* sink = Named("Sink");
    SceneItem* rock = Named("Rock");
    rock->avatar->collision = CollideShips;
    rock->avatar->root->flags |= kTdpBreakable;
    Run("ATTACH_SINK Sink\nSHATTER Rock OFF\nATTACH_SINK Nobody\nSHATTER Nobody ON");
    EXPECT_EQ(sink->control, LookAheadPlayerControl);
    EXPECT_EQ(sink->avatar->responseOrder, 60);
    EXPECT_EQ(sink->avatar->collision, CollideSink);
    // Shattered, the rock has done with collisions.
    EXPECT_EQ(rock->avatar->collision, nullptr);
}

TEST_F(ObjectStatementTest, LagrangeDeviceIsAnUndrawnWaypointInHundredths)
{
    Run("LAGRANGE L \"Gate\" 1 2 -3");
    SceneItem* item = Object("L");
    ASSERT_NE(item, nullptr);
    ExpectAt(item, 100, 200, -300);
    EXPECT_EQ(item->symbol, FindScriptSymbol("L"));
    EXPECT_EQ(item->control, nullptr);
    EXPECT_FLOAT_EQ(item->sim->radius, 300000.0f);
    TDP* root = item->avatar->root;
    ASSERT_NE(root, nullptr);
    EXPECT_FLOAT_EQ(root->radius, 300000.0f);
    EXPECT_EQ(root->flags & kTdpInScene, 0u);
    EXPECT_EQ(root->flags & 0x2310u, 0x2310u);
    EXPECT_EQ(root->model, nullptr);
    EXPECT_EQ(item->flags & 2, 2);
    const uint32_t sense = SenseFlag(kw::SN_WAYPOINT) | SenseFlag(kw::SN_LAGRANGE);
    EXPECT_EQ(item->avatar->classFlags & sense, sense);
    EXPECT_STREQ(gScriptBuffers.data + item->avatar->params[kParamName], "Gate");
    EXPECT_EQ(item->avatar->collision, CollideLagrangeDevice);
    EXPECT_EQ(item->avatar->responseOrder, 88);
    EXPECT_EQ(item->avatar->deviceSystem, 0);
}

TEST_F(ObjectStatementTest, AsteroidReadsAllItsOperandsWhenNoRockIsMade)
{
    SceneItem* item = Named("O");
    Run("ASTEROID A Md 2 1 2 3 4 5\nASTEROID B Md 2 1 2 3\nPLACE O 7 0 0");
    EXPECT_EQ(Object("A"), nullptr);
    EXPECT_EQ(Object("B"), nullptr);
    ExpectAt(item, 700, 0, 0);
}

TEST_F(ObjectStatementTest, SpecialObjectSyntaxErrors)
{
    struct Case {
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {"ATTACH_LDS_FIELD 5", "SYMBOL reference needed in this context"},
        {"ATTACH_SINK \"F\"", "SYMBOL reference needed in this context"},
        {"SHATTER", "SYMBOL reference needed in this context"},
        {"LAGRANGE L 1 2 3", "Quoted text needed in this context"},
        {"LAGRANGE L \"Gate\" 1 2", "Bad SYMBOL Reference"},
        {"ASTEROID A Md 2 1 2", "Bad SYMBOL Reference"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_NE(RunUntilStop(c.script).text.find(c.message), std::string::npos);
    }
    EXPECT_EQ(Object("L"), nullptr);
}

TEST_F(ObjectStatementTest, SpawnFromAnLdsFieldLinksNothing)
{
    SceneItem* field = Named("Field");
    field->avatar->collision = CollideLdsField;
    SceneItem* fighter = Named("Fighter");
    fighter->receiver = AllocReceiver();
    Run("SPAWN Fighter Field 0 0 10");
    ExpectAt(fighter, 0, 0, 1000);
    EXPECT_EQ(fighter->avatar->linkItem, nullptr);
    gFrameClock.gameClock += 500;
    EXPECT_EQ(NextMessage(fighter).kind, 0xFFFF);
}
