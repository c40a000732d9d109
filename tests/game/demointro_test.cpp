// A demo's introduction ended by a key: the game is brought up in full at
// the next pass of the loop (the introduction went without the full
// start-up), and the demo mission runs; frames never run on a game that was
// not brought up.
#include "demointro_fixture.h"

namespace {

TEST_F(DemoIntro, AKeyEndsTheIntroductionAndTheDemoMissionStarts)
{
    EndIntroByKey();
    ASSERT_TRUE(RunFrameLoopPass(exitCode));
    EXPECT_NE(gMissionScriptPosition, kNoScriptPosition);
    EXPECT_EQ(gLoopFlags.mciFilmPlaying, 0);
    EXPECT_EQ(exitCode, 0);
    ASSERT_TRUE(RunFrameLoopPass(exitCode)); // and frames run on it
}

} // namespace
