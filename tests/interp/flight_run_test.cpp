// Flight runs of a mission: the script, the simulation frame and the ships'
// control routines step together at a fixed frame time until the mission
// ends. A two-ship mission: one ship flies to the other (its idle state
// replaced by one that moves to the marker), and the script wins the
// mission once they are close.
#include "../script/script_test_support.h"

#include "ai/aistate.h"

#include <cstdio>
#include "ai/steering.h"
#include "ai/weapons.h"
#include "script/operands.h"
#include "script/scriptrun.h"
#include "script/symbols.h"
#include "system/res/resman.h"
#include "view/lwoloader.h"
#include "world/pools.h"
#include "world/records.h"

namespace {

const char* const kMission = "ABSOLUTE\n"
                             "CREATE_SHIP Mark Md \"Mark\" COMMRELAY NAVY 0 0 20000\n"
                             "CREATE_SHIP Flyer Md \"Flyer\" SFIGHTER NAVY 0 0 0\n"
                             "WAIT_TIME 10\n"
                             "WAIT_UNTIL NEARTO Flyer Mark 3000\n"
                             "SUCCESS\n"
                             "END\n";

// Every ship but the marker moves to the marker and stays.
AIStateResult* MoveToMarker(AIStateResult* result, SceneItem* item, int16_t, float, int32_t*, int32_t,
                            int32_t, int32_t)
{
    const SceneItem* mark = SymbolObject(FindScriptSymbol("Mark"));
    if (mark && mark != item) {
        // The script gives ships no engines yet (ENGINE binds nothing): the
        // flyer gets its own.
        FlightModel* model = item->sim->flightModel;
        if (model && model->acceleration == 0.0f)
            InitFlightModel(model, 400, 40, 10, 1e6f, 60, 60, 60, 100);
        const float* m = mark->sim->matrix.m;
        MoveToPoint(item, m[12], m[13], m[14], nullptr, 1000);
    }
    result->action = kAIStay;
    return result;
}

// Ships start on "NO PROGRAM", whose state is DoNothingState (61).
void InstallMoveToMarker() { gAIStates.handlers[61] = MoveToMarker; }

class FlightRunTest : public ScriptTest {
protected:
    void TearDown() override
    {
        LoadAIStateTable();
        ScriptTest::TearDown();
    }
    std::string Fly(int frames)
    {
        ScriptRunOptions options;
        options.name = "flight.scr";
        options.flight = true;
        options.frames = frames;
        options.traceEvery = 60;
        options.afterSetUp = InstallMoveToMarker;
        std::string out;
        EXPECT_TRUE(FlyScriptRun(options, out));
        return out;
    }
};

std::string LastLine(const std::string& text)
{
    const size_t end = text.find_last_not_of('\n');
    const size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

// A ship fires one shot at a ship ahead of it; the mission is won once the
// target's hull is damaged. The demo tree's fighter, with its collision
// boxes, is both ships' shape.
std::string ShotMission(const char* weapon)
{
    return std::string("ABSOLUTE\n"
                       "REGISTER fighter \"zqk\\resource\\shapes\\fighter.lwo\" LWO2HXM\n"
                       "CREATE_SHIP Target fighter \"Target\" SFIGHTER NAVY 0 0 5000\n"
                       "CREATE_SHIP Shooter fighter \"Shooter\" SFIGHTER BLACK 0 0 0\n"
                       "WEAPON Shooter ") +
           weapon +
           " ARC_FWD ARC_60 ARC_NORM 0 0 20\n"
           "WAIT_UNTIL DAMAGE_GT Target 0\n"
           "SUCCESS\n"
           "END\n";
}

constexpr int kShotFrame = 10;

// The shooter pulls the trigger once, as the player's fire key does.
void FireOnce(int frame)
{
    if (frame != kShotFrame)
        return;
    SceneItem* shooter = SymbolObject(FindScriptSymbol("Shooter"));
    SceneItem* target = SymbolObject(FindScriptSymbol("Target"));
    ASSERT_TRUE(shooter && target && shooter->sim->weapons);
    EXPECT_EQ(FireWeapon(target, 0, 0, 0, shooter, shooter->sim->weapons), kFired);
}

class ShotFlightTest : public FlightRunTest {
protected:
    void SetUp() override
    {
        FlightRunTest::SetUp();
        const std::filesystem::path shapes = std::filesystem::path(KV_SOURCE_DIR) / "data/zqk/resource/shapes";
        for (const char* file : {"fighter.lwo", "fighter_BOX.lwo", "missile.lwo", "station.lwo", "station_BOX.lwo"})
            WriteFile(std::string("zqk/resource/shapes/") + file, ReadFileBytes(shapes / file));
        SetLwoSmoothingCache(false);
        ASSERT_GT(ResInit(), 0u);
    }
    void TearDown() override
    {
        ResShutdown();
        SetLwoSmoothingCache(true);
        FlightRunTest::TearDown();
    }
};

} // namespace

// Missiles and bolts strike the ship they are fired at and damage its hull,
// with no 3D view: the flight gives every part its model's collision shape.
TEST_F(ShotFlightTest, AShotDamagesTheShipItIsFiredAt)
{
    for (const char* weapon : {"MISSLNCH", "BEAMCANN"}) {
        SCOPED_TRACE(weapon);
        WriteMission("shot.scr", ShotMission(weapon));
        ScriptRunOptions options;
        options.name = "shot.scr";
        options.flight = true;
        options.frames = 60 * 20;
        options.traceEvery = 1;
        options.eachFrame = FireOnce;
        std::string out;
        try {
            ASSERT_TRUE(FlyScriptRun(options, out));
        } catch (const ScriptStop& stop) {
            FAIL() << stop.title << ": " << stop.text;
        }
        EXPECT_EQ(LastLine(out), "SUCCESS") << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
        // Whole until the shot.
        EXPECT_NE(out.find("\n" + std::to_string(kShotFrame - 1) + " Target at 0.0 0.0 5000.0 hull 100 "),
                  std::string::npos);
    }
}

// A docking order given its station through the order's parameters (no
// TARGET statement) takes the station as its target and flies the docking
// steps: it reaches the orientation step (state 15) by the station; it
// used to end in its first frame and leave the ship where it was.
TEST_F(ShotFlightTest, ADockingOrderGivenItsStationByParametersFliesToIt)
{
    WriteMission("dock.scr", "ABSOLUTE\n"
                             "REGISTER station \"zqk\\resource\\shapes\\station.lwo\" LWO2HXM\n"
                             "REGISTER fighter \"zqk\\resource\\shapes\\fighter.lwo\" LWO2HXM\n"
                             "CREATE_SHIP base station \"Base\" COMMAND NAVY 0 0 20000\n"
                             "CREATE_SHIP ferry fighter \"Ferry\" SFIGHTER NAVY 0 0 0\n"
                             "ENGINE ferry 8000 600 0 0 120 90 90 350\n"
                             "DOCKPT base DOCK_NORMAL DOCKTYPE_UNIVERSAL ON 0 0 0 0 0 3000 50\n"
                             "DOCKPT ferry DOCK_NORMAL DOCKTYPE_UNIVERSAL ON 0 0 0 0 0 100 10\n"
                             "ORDER 1 0 ferry \"GoAndDock\" 0 0 50 0 0\n"
                             "ORDER_PARAMS 1 ferry base 0 0\n"
                             "WAIT_TIME 100\n"
                             "END\n");
    ScriptRunOptions options;
    options.name = "dock.scr";
    options.flight = true;
    options.frames = 200;
    options.traceEvery = 50;
    std::string out;
    try {
        ASSERT_TRUE(FlyScriptRun(options, out));
    } catch (const ScriptStop& stop) {
        FAIL() << stop.title << ": " << stop.text;
    }
    EXPECT_NE(out.find("\n150 ferry at "), std::string::npos) << out;
    const std::string last = out.substr(out.find("\n150 ferry at ") + 1);
    EXPECT_NE(last.find(" state 15 "), std::string::npos) << out;
    double x = 0, y = 0, z = 0;
    ASSERT_EQ(std::sscanf(last.c_str(), "150 ferry at %lf %lf %lf", &x, &y, &z), 3) << out;
    EXPECT_GT(z, 10000.0) << "the ferry flew to the station";
}

TEST_F(FlightRunTest, AShipFliesToItsMarkAndTheMissionIsWonTheSameWayTwice)
{
    WriteMission("flight.scr", kMission);
    const std::string first = Fly(60 * 120);
    EXPECT_EQ(LastLine(first), "SUCCESS") << first;
    EXPECT_NE(first.find("0 Flyer at "), std::string::npos) << first;
    EXPECT_NE(first.find(" Mark at "), std::string::npos);
    EXPECT_NE(first.find("\n600 Flyer at "), std::string::npos); // it took a while to get there
    EXPECT_EQ(Fly(60 * 120), first);
}

TEST_F(FlightRunTest, AMissionStillRunningAtTheFrameLimitSaysWhere)
{
    WriteMission("flight.scr", kMission);
    EXPECT_EQ(LastLine(Fly(3)), "running at frame 3");
}
