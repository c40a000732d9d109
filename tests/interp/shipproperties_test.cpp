// The ship property, group and sense statements over a small world built in
// code: ships A and B (group 3), and the player's ship P.
#include <cstring>

#include "interp_fixture.h"
#include "ai/combathelpers.h"
#include "ai/orders.h"

#include "script/keywords.h"
#include "script/shipstatements.h"
#include "script/shiptypes.h"
#include "system/calltrace.h"
#include "system/settings.h"
#include "tests/support/log_font.h"
#include "ui/hud.h"
#include "world/pools.h"
#include "world/shipsystems.h"
#include "world/tally.h"

namespace {

class ShipPropertyTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        EnableCallTrace(true);
        ClearCallTrace();
        a_ = Ship("A", 3);
        b_ = Ship("B", 3);
        p_ = Ship("P", 9);
        gPlayerItem = p_;
        std::memset(gWingSlots, 0, sizeof gWingSlots);
    }
    void TearDown() override
    {
        std::memset(gWingSlots, 0, sizeof gWingSlots);
        EnableCallTrace(false);
        gFtlSource = nullptr;
        gSettings.debug = 0;
        gLastDebugText = nullptr;
        InterpTest::TearDown();
    }

    static bool InWing(const SceneItem* item)
    {
        for (const WingSlot& slot : gWingSlots)
            if (item && slot.item == item)
                return true;
        return false;
    }
    static int WingCount()
    {
        int n = 0;
        for (const WingSlot& slot : gWingSlots)
            n += slot.item ? 1 : 0;
        return n;
    }

    static SceneItem* Ship(const char* name, int16_t group)
    {
        SceneItem* item = worldtest::MakeItem();
        worldtest::MakeShip(item)->group = group;
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolSceneItem;
        SetSymbolObject(symbol, item);
        item->symbol = symbol;
        return item;
    }

    static ShipInfo& Info(SceneItem* item) { return *item->sim->shipInfo; }

    // Runs `text` and checks that it ran through to its end.
    void Run(const std::string& text)
    {
        EXPECT_EQ(ScriptTokenAt(InterpTest::Run(text)).id, kw::END) << text;
    }

    SceneItem* a_;
    SceneItem* b_;
    SceneItem* p_;
};

TEST_F(ShipPropertyTest, RankSkillAndTheFlightModel)
{
    Run("RANK A 7.9\nRANK B -99999999");
    EXPECT_EQ(Info(a_).rank, 7);
    EXPECT_EQ(Info(b_).rank, INT16_MIN); // saturated

    const float base = Info(a_).baseFlightModel.acceleration;
    Run("SKILL A 200\nSKILL B 0\nSKILL P 200");
    EXPECT_EQ(Info(a_).skill, 200);
    EXPECT_FLOAT_EQ(a_->sim->flightModel->acceleration, base * 2.0f);
    EXPECT_FLOAT_EQ(a_->sim->flightModel->pitchRate, Info(a_).baseFlightModel.pitchRate * 2.0f);
    EXPECT_FLOAT_EQ(b_->sim->flightModel->acceleration, base * 0.75f);
    EXPECT_EQ(Info(p_).skill, 200);
    EXPECT_EQ(p_->sim->flightModel->acceleration, base); // the player's ship is never scaled
    Run("SKILL A 50");
    EXPECT_EQ(a_->sim->flightModel->acceleration, base);
}

TEST_F(ShipPropertyTest, StatementsOnAMissingShipWarnAndGoOn)
{
    SceneItem* plain = worldtest::MakeItem();
    ScriptSymbol* symbol = AddScriptSymbol("Rock", nullptr, 0);
    symbol->type = kSymbolSceneItem;
    SetSymbolObject(symbol, plain);
    const int16_t groups = gLastGroupNumber;
    Run("RANK Gone 4\nSKILL Rock 10\nGROUP_LEADER Gone\nUNLEADER Rock\nGROUP 3 Gone\nRANK A 4");
    EXPECT_EQ(Info(a_).rank, 4);         // the run went on
    EXPECT_EQ(gLastGroupNumber, groups); // no group was handed out
}

TEST_F(ShipPropertyTest, ScoresAndSideValues)
{
    Run("SHIP_SCORE CRUISER -40\nSHIP_SCORE RING 7\nALLEG_SCORE ALLIANCE 2.5");
    EXPECT_EQ(gTallyKillScore[5], -40);
    EXPECT_EQ(gTallyKillScore[18], 7);
    EXPECT_EQ(gSideValues[6], 2.5f);
    ClearTally(); // every mission starts from the standard scores
    EXPECT_EQ(gTallyKillScore[5], 500);
}

TEST_F(ShipPropertyTest, ShipClockFtlSourceAndTheSimSwitches)
{
    Run("SET_SHIP_CLOCK A 300 150.7\nSET_SHIP_CLOCK Gone 1 2\nFTLSOURCE Gone\nFTLSOURCE B");
    EXPECT_EQ(a_->sim->countdown, 300);
    EXPECT_EQ(a_->sim->clockPeriod, 150);
    EXPECT_EQ(gFtlSource, b_);

    Run("NO_UNDOCK A ON\nREMOTE_OK A ON\nREMOTE_OK Gone ON");
    EXPECT_EQ(a_->sim->flags & 0x18000000, 0x18000000u);
    Run("NO_UNDOCK A OFF");
    EXPECT_EQ(a_->sim->flags & 0x18000000, 0x10000000u);

    Run("REPAIRS OFF");
    EXPECT_EQ(gShipSystems.repairsEnabled, 0);
    Run("REPAIRS ON");
    EXPECT_EQ(gShipSystems.repairsEnabled, 255);
}

TEST_F(ShipPropertyTest, GroupNumbersAndTheNextFreeOne)
{
    Run("GROUP 5\nNEW_GROUP");
    EXPECT_EQ(gInterpreter.currentGroup, 1000); // 5 is below the next free number
    Run("GROUP 2000\nNEWGROUP");
    EXPECT_EQ(gInterpreter.currentGroup, 2001);
    Run("NEW_GROUP");
    EXPECT_EQ(gInterpreter.currentGroup, 2002);

    // With an object only the ship's group changes; joining the player's
    // group joins the player's wing.
    Run("GROUP 9 A\nGROUP 4 B");
    EXPECT_EQ(gInterpreter.currentGroup, 2002);
    EXPECT_EQ(Info(a_).group, 9);
    EXPECT_EQ(Info(b_).group, 4);
    EXPECT_TRUE(InWing(a_));
    EXPECT_EQ(WingCount(), 1);
    Run("GROUP 9 P");
    EXPECT_EQ(WingCount(), 1); // not the player itself
}

TEST_F(ShipPropertyTest, LeadersAreSetAndFound)
{
    Run("GROUP_LEADER A");
    EXPECT_TRUE(Info(a_).flags & kShipGroupLeader);
    EXPECT_EQ(a_->sim->flags & 0x1400, 0x1400u);
    EXPECT_EQ(Info(b_).leader, a_);
    EXPECT_EQ(Info(a_).leader, nullptr);
    EXPECT_EQ(Info(p_).leader, nullptr);

    // Two leaders in a group: the later one in the list is found.
    Run("GROUP_LEADER B\nGET_LEADER 3 L\nGET_LEADER 8 M");
    EXPECT_EQ(SymbolObject(FindScriptSymbol("L")), b_);
    EXPECT_EQ(SymbolObject(FindScriptSymbol("M")), nullptr);
    Run("SET M L\nGET_LEADER 8 M");
    EXPECT_EQ(SymbolObject(FindScriptSymbol("M")), b_); // kept when none

    // Group 0 has no leaders.
    Info(p_).group = 0;
    Run("GROUP_LEADER P");
    EXPECT_FALSE(Info(p_).flags & kShipGroupLeader);

    gLastGroupNumber = 70;
    Run("UNLEADER A");
    EXPECT_FALSE(Info(a_).flags & kShipGroupLeader);
    EXPECT_EQ(Info(a_).group, 71); // a fresh group of its own
}

TEST_F(ShipPropertyTest, SenseFlagsAreAddedClearedAndSidesReplaced)
{
    a_->avatar->classFlags = 0x80;
    Run("ADD_SENSE A");
    EXPECT_EQ(a_->avatar->classFlags, 0x80u);
    Run("ADD_SENSE A SN_DEBRIS SN_CARGO SN_LEPER\nADD_SENSE Gone SN_CARGO");
    EXPECT_EQ(a_->avatar->classFlags, 0x80u | 0x1 | 0x40000 | 0x40000000);
    Run("CLR_SENSE A SN_CARGO SN_NAVY");
    EXPECT_EQ(a_->avatar->classFlags, 0x1u | 0x40000000);

    a_->avatar->classFlags = 0x80 | 0x100 | 0x4;
    Run("NEW_ALLEG A BLACK");
    EXPECT_EQ(a_->avatar->classFlags, 0x200u | 0x4);
    EXPECT_EQ(Info(a_).side, 3);
    Run("NEW_ALLEG A NEUTRAL");
    EXPECT_EQ(a_->avatar->classFlags, 0x40u | 0x4);
    EXPECT_EQ(Info(a_).side, 0);
}

TEST_F(ShipPropertyTest, SenseListStopsAtTheLineEnd)
{
    // The next line's first word is a sense keyword: it is not the list's.
    uint32_t position = Compile("ADD_SENSE A SN_CARGO\nSN_LIGHT\nEND\n");
    RunScript(&position, false);
    EXPECT_EQ(a_->avatar->classFlags, 0x40000u);
}

TEST_F(ShipPropertyTest, DebugShowsTextOnlyWithTheDebugSwitch)
{
    MessageLogFont font;
    Run("DEBUG \"quiet\"");
    EXPECT_EQ(gLastDebugText, nullptr);
    EXPECT_STREQ(gMessageLogPendingText, "");
    gSettings.debug = 1;
    Run("DEBUG \"loud\"");
    EXPECT_STREQ(gLastDebugText, "loud");
    EXPECT_STREQ(gMessageLogPendingText, "loud");
}

TEST_F(ShipPropertyTest, SyntaxErrorsNameTheLine)
{
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"RANK A", "Bad SYMBOL Reference"},
        {"SKILL 5 5", "SYMBOL reference needed in this context"},
        {"SHIP_SCORE NAVY 5", "Unrecognized Token"},
        {"SHIP_SCORE 17 5", "Unrecognized Token"},
        {"ALLEG_SCORE TUG 5", "Unrecognized Token"},
        {"REPAIRS", "Unrecognized Token"},
        {"NO_UNDOCK A 1", "Unrecognized Token"},
        {"REMOTE_OK A", "Unrecognized Token"},
        {"GROUP -1", "Bad GROUP number"},
        {"GROUP 40000 A", "Bad GROUP number"},
        {"GET_LEADER 1000000000 L", "Bad GROUP number"},
        {"GET_LEADER 3 7", "SYMBOL reference needed in this context"},
        {"NEW_ALLEG A SN_NAVY", "Unrecognized Token"},
        {"DEBUG 12", "Quoted text needed in this context"},
        {"DEBUG text", "Quoted text needed in this context"},
    };
    for (const auto& c : cases) {
        const ScriptStop stop = RunUntilStop(std::string("\n") + c.script);
        EXPECT_EQ(stop.title, "SCRIPT Syntax Error") << c.script;
        EXPECT_NE(stop.text.find(std::string("test.scr(2) : ") + c.script + " \n " + c.message), std::string::npos)
            << c.script << ": " << stop.text;
    }
}

} // namespace
