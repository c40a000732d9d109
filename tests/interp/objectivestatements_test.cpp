// The objective statements: a mission declares its objectives from a text
// and sets their scores, timers, status and visibility by id; the table
// they leave, and the lists that change nothing.
#include "interp_fixture.h"

#include "screens/objectives.h"
#include "script/keywords.h"
#include "system/res/resman.h"

#include <string>

namespace {

class ObjectiveStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        ResInit();
        gMissionScore = 0;
        WriteFile("zqk/resource/text/objv.txt", "1:Reach the gate\n2:Guard the convoy\n5:Return home\n");
    }
    void TearDown() override
    {
        ParseObjectives("");
        gMissionScore = 0;
        ResShutdown();
        InterpTest::TearDown();
    }

    // Declares the three objectives, then runs `text`; the run must reach END.
    void Declared(const std::string& text)
    {
        const uint32_t stopped = Run("REGISTER objv \"zqk\\resource\\text\\objv.txt\" TXT2TXT\nDEC_OBJV objv\n" + text);
        EXPECT_EQ(ScriptTokenAt(stopped).id, kw::END) << text;
    }

    static const Objective& At(int index) { return gObjectives.table[index]; }
};

TEST_F(ObjectiveStatementTest, StatementsSetScoreTimerShownAndStatusById)
{
    Declared("SCORE_OBJV 1 250 5 40.9 0\nTIME_OBJV 2 90 0\nSHOW_OBJV OFF 1 2 0\nSHOW_OBJV ON 1 0\n"
             "SET_OBJV DONE 1 0\nSET_OBJV FAIL 2 0\nSET_OBJV DONE 5 0\nSET_OBJV NEW 5 0");
    ASSERT_EQ(gObjectives.count, 3);
    EXPECT_STREQ(At(0).text, "Reach the gate");
    EXPECT_EQ(At(0).score, 250);
    EXPECT_EQ(At(2).score, 40); // truncated
    EXPECT_EQ(At(1).score, kObjectiveDefaultScore);
    EXPECT_EQ(At(1).timer, 9000); // hundredths
    EXPECT_EQ(At(0).shown, 1);
    EXPECT_EQ(At(1).shown, 0);
    EXPECT_NE(At(2).shown, 0); // declared objectives are listed
    EXPECT_EQ(At(0).status, kObjectiveCompleted);
    EXPECT_EQ(At(1).status, kObjectiveFailed);
    EXPECT_EQ(At(2).status, kObjectiveNotDone);
    // Each completion added its score.
    EXPECT_EQ(gMissionScore, 250 + 40);
}

TEST_F(ObjectiveStatementTest, ListsThatNameNoObjectiveChangeNothing)
{
    const char* cases[] = {
        "SET_OBJV DONE 0 1 2\nSCORE_OBJV 0 1 500\nSHOW_OBJV OFF 0 1", // a list starting with 0
        "SET_OBJV DONE\nSCORE_OBJV\nTIME_OBJV",                       // no list at all
        "SET_OBJV DONE 9 0\nSCORE_OBJV 3 500 0\nSHOW_OBJV OFF 4 0",   // unknown ids
        "SET_OBJV_IF WAYPTCOUNT_EQ 3 DONE 1 2 0",                     // false condition
        "SET_OBJV_IF_NOT WAYPTCOUNT_EQ -1 DONE 1 2 0",                // true condition, negated
    };
    for (const char* text : cases) {
        ParseObjectives("");
        gMissionScore = 0;
        Declared(text);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(At(i).status, kObjectiveNotDone) << text;
            EXPECT_EQ(At(i).score, kObjectiveDefaultScore) << text;
            EXPECT_NE(At(i).shown, 0) << text;
        }
        EXPECT_EQ(gMissionScore, 0) << text;
    }
}

TEST_F(ObjectiveStatementTest, ConditionalSetsConsumeTheirIdsEitherWay)
{
    // The statement after a false SET_OBJV_IF starts after its id list.
    Declared("SET_OBJV_IF WAYPTCOUNT_EQ 3 DONE 1 2 0\nSET_OBJV FAIL 5 0\n"
             "SET_OBJV_IF WAYPTCOUNT_EQ -1 DONE 2 0\nSET_OBJV_IF_NOT WAYPTCOUNT_EQ 3 FAIL 1 0");
    EXPECT_EQ(At(0).status, kObjectiveFailed);
    EXPECT_EQ(At(1).status, kObjectiveCompleted);
    EXPECT_EQ(At(2).status, kObjectiveFailed);
}

} // namespace
