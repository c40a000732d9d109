// The demo tree's playable missions flown headless to their outcome: the
// player closes the objectives view that a briefing ends on, and at a set
// frame (once the briefing is over) the test destroys ships as a fight
// would. Destroying the mission's
// enemies wins it with its objectives done; losing the player's ship loses
// it.
#include "interp_fixture.h"

#include "screens/bridge.h"
#include "screens/objectives.h"
#include "script/scriptrun.h"
#include "system/errors.h"
#include "system/res/resman.h"
#include "ui/messagelog.h"
#include "view/lwoloader.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"

#include <filesystem>
#include <string>
#include <vector>

namespace {

void IgnoreBox(const char*, const char*) {}

// What the test player does: read the briefing's lines as they come, close
// the objectives view each frame, and destroy the named ships a second into
// the flight (the briefing over), before the enemies can do much.
struct Player {
    std::vector<std::string> victims;
    int killFrame = -1;
    bool objectivesShown = false;
};
constexpr int kBriefingFrames = 1200; // a mission without a briefing flies at once
Player gPlayer;

// The ship dies as by a hit, the way the DESTROY statement kills it.
void DestroyShip(const std::string& name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name.c_str());
    SceneItem* item = symbol ? SymbolObject(symbol) : nullptr;
    if (!item)
        return;
    HitPayload record{};
    NoteItemDestroyed(item, &record);
    PostItemMessage(item->receiver, item->receiver, 0, kMsgHit, sizeof record, &record);
}

void PlayFrame(int frame)
{
    gMessageLogTypingPosition = gMessageLogTextLength; // every line read at once
    if (gPlayer.killFrame < 0 && (gObjectivesViewOpen || frame == kBriefingFrames))
        gPlayer.killFrame = frame + 60;
    gPlayer.objectivesShown = gPlayer.objectivesShown || gObjectivesViewOpen;
    gObjectivesViewOpen = 0;
    if (frame == gPlayer.killFrame)
        for (const std::string& victim : gPlayer.victims)
            DestroyShip(victim);
}

class DemoMission : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(std::filesystem::path(KV_SOURCE_DIR) / "data");
        ResShutdown();
        ASSERT_GT(ResInit(), 0u);
        SetMessageBoxHook(IgnoreBox); // textures the demo tree does not have
        SetLwoSmoothingCache(false);  // nothing is written into the data tree
        gPlayer = Player{};
    }
    void TearDown() override
    {
        SetLwoSmoothingCache(true);
        std::filesystem::current_path(previous_);
        ParseObjectives("");
        gMissionScore = 0;
        gObjectivesViewOpen = 0;
        InterpTest::TearDown();
    }
    // The last line of the flight: "SUCCESS", "FAILURE" or "running ...".
    std::string Fly(const char* mission, int frames = 3000)
    {
        ScriptRunOptions options;
        options.name = mission;
        options.flight = true;
        options.frames = frames;
        options.eachFrame = PlayFrame;
        std::string out;
        EXPECT_TRUE(FlyScriptRun(options, out));
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
    }
    std::filesystem::path previous_;
};

struct MissionRow {
    const char* script;
    std::vector<std::string> enemies;
    bool briefed;
    int objectives;
};

const MissionRow kMissions[] = {
    {"mission01.scr", {"raider"}, true, 2},
    {"mission02.scr", {"raider1", "raider2"}, true, 2},
    {"mission03.scr", {"lead", "wing1", "wing2", "wing3", "wing4"}, true, 2},
    {"mission99.scr", {"a1", "a2"}, false, 0},
};

TEST_F(DemoMission, DestroyingTheEnemiesWinsWithEveryObjectiveDone)
{
    for (const MissionRow& m : kMissions) {
        SCOPED_TRACE(m.script);
        gPlayer = Player{};
        gPlayer.victims = m.enemies;
        if (m.objectives == 0)
            continue; // Instant Action: its own test below
        EXPECT_EQ(Fly(m.script), "SUCCESS");
        EXPECT_EQ(gPlayer.objectivesShown, m.briefed);
        ASSERT_EQ(gObjectives.count, m.objectives);
        for (int i = 0; i < m.objectives; ++i)
            EXPECT_EQ(gObjectives.table[i].status, kObjectiveCompleted) << i;
        EXPECT_GT(gMissionScore, 0);
        ParseObjectives("");
        gMissionScore = 0;
    }
}

// Instant Action's second wave comes once the first is destroyed; both
// waves destroyed win it.
void KillBothWaves(int frame)
{
    if (frame == 60)
        for (const char* name : {"a1", "a2"})
            DestroyShip(name);
    if (frame == 180)
        for (const char* name : {"b1", "b2", "b3"})
            DestroyShip(name);
}

TEST_F(DemoMission, InstantActionIsWonWhenBothWavesAreDestroyed)
{
    ScriptRunOptions options;
    options.name = "mission99.scr";
    options.flight = true;
    options.frames = 600;
    options.eachFrame = KillBothWaves;
    std::string out;
    ASSERT_TRUE(FlyScriptRun(options, out));
    EXPECT_EQ(out, "SUCCESS\n");
}

TEST_F(DemoMission, LosingThePlayersShipLosesEachMission)
{
    for (const MissionRow& m : kMissions) {
        SCOPED_TRACE(m.script);
        gPlayer = Player{};
        gPlayer.victims = {"hero"};
        EXPECT_EQ(Fly(m.script), "FAILURE");
        for (int i = 0; i < m.objectives; ++i)
            EXPECT_NE(gObjectives.table[i].status, kObjectiveCompleted) << i;
        ParseObjectives("");
        gMissionScore = 0;
    }
}

// The demonstration of demo mode flies by itself and is won after half a
// minute.
TEST_F(DemoMission, TheDemonstrationEndsWonByItself)
{
    EXPECT_EQ(Fly("demo00.scr", 60 * 29), "running at frame 1740");
    EXPECT_EQ(Fly("demo00.scr", 60 * 31), "SUCCESS");
}

} // namespace
