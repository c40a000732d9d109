// The frame's mission-script step: each frame runs the running mission script
// on to its next wait, unless the player's ship holds the script.
#include "interp_fixture.h"

#include "game/frameloop.h"
#include "world/records.h"

namespace {

class MissionStepTest : public InterpTest {
protected:
    void TearDown() override
    {
        gMissionScriptPosition = kNoScriptPosition;
        gPlayerItem = nullptr;
        InterpTest::TearDown();
    }
};

TEST_F(MissionStepTest, EachFrameRunsTheMissionScriptToItsNextWait)
{
    gMissionScriptPosition = Compile("ADD a 1\nWAIT\nADD a 10\nWAIT\nEND\n");
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_EQ(Number("a"), 1);
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_EQ(Number("a"), 11);
}

TEST_F(MissionStepTest, PlayerShipsClassCanHoldTheMissionScript)
{
    gMissionScriptPosition = Compile("ADD a 1\nWAIT\nEND\n");
    gPlayerItem = worldtest::MakeItem();
    ASSERT_NE(gPlayerItem, nullptr);
    gPlayerItem->avatar->classFlags |= kClassSuspendsScript;
    RunFrame();
    EXPECT_EQ(Number("a"), 0);

    gPlayerItem->avatar->classFlags &= ~kClassSuspendsScript;
    RunFrame();
    EXPECT_EQ(Number("a"), 1);
}

} // namespace
