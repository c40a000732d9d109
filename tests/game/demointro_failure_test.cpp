// A demo's introduction ended by a key, when the full start-up that
// follows cannot complete: the loop ends with a failure.
#include "demointro_fixture.h"

namespace {

TEST_F(DemoIntro, AStartupThatCannotCompleteEndsTheLoopWithAFailure)
{
    std::filesystem::remove(scratch / "zqk/resource/scripts/init/init.scr");
    EndIntroByKey();
    EXPECT_FALSE(RunFrameLoopPass(exitCode));
    EXPECT_EQ(exitCode, kExitFailure);
}

} // namespace
