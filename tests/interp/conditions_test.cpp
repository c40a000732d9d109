// Conditions over a small world built in code, the operand readers, and the
// variable statements.
#include "interp_fixture.h"

#include "ai/docking.h"
#include "screens/navstation.h"
#include "script/conditions.h"
#include "script/keywords.h"
#include "script/symbols.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/calltrace.h"
#include "system/crand.h"
#include "ui/contacts.h"
#include "world/behaviours.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/shipsystems.h"
#include "world/tally.h"
#include "world/universe.h"
#include "ui/dialogue.h"

#include <cmath>

namespace {

constexpr uint32_t kStarship = 1u << (kw::SN_STARSHIP - kw::SN_DEBRIS);
constexpr uint32_t kCargo = 1u << (kw::SN_CARGO - kw::SN_DEBRIS);

class ConditionTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        // A and B: ships 1000 apart on x, radius 100, in generation 0;
        // A faces +z, where E sits 5000 away. C is in generation 1.
        a_ = Ship("A", {0, 0, 0}, kw::CORVETTE, kw::NEUTRAL, 5);
        b_ = Ship("B", {1000, 0, 0}, kw::FREIGHTER, kw::ALLIANCE, 6);
        c_ = Ship("C", {0, 0, 1e6f}, kw::CORVETTE, kw::NEUTRAL, 5);
        c_->sceneGeneration = 1;
        e_ = Ship("E", {0, 0, 5000}, kw::TUG, kw::ALLIANCE, 6);
        a_->avatar->classFlags = kStarship;
        b_->avatar->classFlags = kStarship | kCargo;
        Object("GONE", nullptr);
        ScriptSymbol* number = AddScriptSymbol("HANDLE_OF_A", nullptr, 0);
        number->type = kSymbolNumber;
        handleOfA_ = static_cast<int32_t>(ItemHandle(a_));
        number->value = &handleOfA_;
        number->size = 4;
    }

    SceneItem* Ship(const char* name, Vector3 at, uint32_t type, uint32_t side, int16_t group)
    {
        SceneItem* item = worldtest::MakeItem();
        ShipInfo* info = worldtest::MakeShip(item);
        info->kind = static_cast<int16_t>(type - kw::CORVETTE);
        info->side = static_cast<int16_t>(side - kw::NEUTRAL);
        info->group = group;
        item->sim->radius = 100.0f;
        item->sim->hull = 100;
        float* m = item->avatar->matrix.m;
        for (int i = 0; i < 16; ++i)
            m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
        m[12] = at.x, m[13] = at.y, m[14] = at.z;
        Object(name, item);
        return item;
    }

    static void Object(const char* name, SceneItem* item)
    {
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolSceneItem;
        SetSymbolObject(symbol, item);
    }

    // Evaluates a condition written on a line of its own; every operand
    // must be consumed.
    bool Test(const std::string& condition)
    {
        uint32_t position = Compile(condition + "\n");
        const bool result = EvaluateCondition(position);
        EXPECT_EQ(ScriptTokenAt(position).id, kw::LINE) << condition << ": operands left";
        return result;
    }

    // Runs a script from its start to END.
    void Run(const std::string& text)
    {
        uint32_t position = Compile(text + "\nEND\n");
        RunScript(&position, false);
    }

    SceneItem* a_;
    SceneItem* b_;
    SceneItem* c_;
    SceneItem* e_;
    int32_t handleOfA_ = 0;
};

struct ConditionCase {
    const char* condition;
    bool expected;
};

TEST_F(ConditionTest, TableOverTheWorld)
{
    const ConditionCase cases[] = {
        // Surface distance A-B: 1000 less two radii of 100.
        {"NEARTO A B 800", true},
        {"NEARTO A B 799", false},
        {"NEARTO A B 0", true},     // the default limit is the radii plus 500000
        {"NEARTO A C 1e12", false}, // other star system
        {"NEARTO A GONE 1e12", false},
        {"FARFROM A B 800", true},
        {"FARFROM A B 801", false},
        {"FARFROM A GONE 5", true},
        {"DESTROYED GONE", true},
        {"DESTROYED A", false},
        {"VALID_SCN A", true},
        {"VALID_SCN GONE", false},
        {"IN_LDS A", false},
        {"SHIP_TYPE A CORVETTE", true},
        {"SHIP_TYPE B CORVETTE", false},
        {"IN_GROUP A 5", true},
        {"IN_GROUP B 5", false},
        {"SHIPCOUNT_LT CORVETTE NEUTRAL 3", true}, // A and C
        {"SHIPCOUNT_LT CORVETTE NEUTRAL 2", false},
        {"GROUPCOUNT_LT 6 3", true}, // B and E
        {"GROUPCOUNT_LT 6 2", false},
        {"SENSECOUNT_LT 3 SN_STARSHIP", true},
        {"SENSECOUNT_LT 2 SN_STARSHIP", false},
        {"SENSECOUNT_LT 2 SN_STARSHIP SN_CARGO", true},
        {"SCN_SENSE B SN_STARSHIP SN_CARGO", true},
        {"SCN_SENSE A SN_STARSHIP SN_CARGO", false},
        {"SCN_SENSE A SN_DEBRIS SN_STARSHIP", true}, // SN_DEBRIS ignored
        {"DAMAGE_LT A 1", true},
        {"DAMAGE_GT A 0", false},
        {"DAMAGE_GT GONE 50", true},
        {"VELMATCH A B 10", true}, // both standing still
        {"LOOKING_AT A E", true},
        {"LOOKING_AT A B", false},    // B is abeam
        {"LOOKING_AT A C", false},    // out of range...
        {"LOOKING_AT A C OFF", true}, // ...unless OFF
        {"INSYSTEM 1 C", true},
        {"INSYSTEM 0 C", false},
        {"WAYPTCOUNT_EQ -1", true},
        {"TIMER_OUT", true},
        {"TIMER_LT 1", true},
        {"TIMER_LT 0", false},
        {"EQUAL A A", true},
        {"EQUAL A HANDLE_OF_A", false}, // an object and a number of the same value
        {"EQUAL HANDLE_OF_A HANDLE_OF_A", true},
        {"GT 3 2.9", true}, // 2.9 truncates to 2
        {"GT 3 3.9", false},
        {"SYS_OUT A 9", false}, // no such system: false, never out of bounds
        {"WEAPON_EMPTY A 0", true},
        {"IS_TARGET A B", false},
        {"PLAYER_LINKED", false},
        // Right grouping: a AND b OR c is a AND (b OR c).
        {"DESTROYED A AND DESTROYED A OR DESTROYED GONE", false},
        {"DESTROYED GONE OR DESTROYED GONE AND DESTROYED A", true},
        {"VALID_SCN A AND VALID_SCN B AND VALID_SCN E", true},
        {"DESTROYED A OR DESTROYED B OR VALID_SCN C", true},
    };
    for (const ConditionCase& c : cases) {
        EXPECT_EQ(Test(c.condition), c.expected) << c.condition;
    }
}

TEST_F(ConditionTest, DockedReadsTheCouplingsOfTheDockPoints)
{
    AddDockPoint(a_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(b_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    AddDockPoint(e_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    EXPECT_FALSE(Test("DOCKED A"));
    EXPECT_TRUE(Test("UNDOCKED A"));
    ASSERT_EQ(CoupleAtDockPoints(a_, b_, NthDockPoint(a_, 0, nullptr), NthDockPoint(b_, 0, nullptr), 0), 1);
    const ConditionCase cases[] = {
        {"DOCKED A", true},
        {"DOCKED A B", true},
        {"DOCKED B A", true},
        {"DOCKED A E", false},
        {"DOCKED E", false},
        {"UNDOCKED A", false},
        {"UNDOCKED E", true},
        {"UNDOCKED GONE", true},
    };
    for (const ConditionCase& c : cases)
        EXPECT_EQ(Test(c.condition), c.expected) << c.condition;
    UndockItem(b_);
    EXPECT_FALSE(Test("DOCKED A B"));
}

TEST_F(ConditionTest, AttackedNeedsAnAttackerOfAnotherSide)
{
    a_->avatar->lockedOn = b_;
    EXPECT_TRUE(Test("ATTACKED A"));
    EXPECT_TRUE(Test("ATTACKED A B"));
    EXPECT_FALSE(Test("ATTACKED A E"));
    EXPECT_TRUE(Test("ATTACKED GONE"));
    a_->avatar->lockedOn = c_; // same side
    EXPECT_FALSE(Test("ATTACKED A"));
    DeleteSceneItem(b_);
    a_->avatar->lockedOn = b_; // a deleted attacker does not count
    EXPECT_FALSE(Test("ATTACKED A"));
    EXPECT_TRUE(Test("DESTROYED B"));
}

TEST_F(ConditionTest, EveryPartOfAChainIsEvaluated)
{
    a_->sim->flags |= 0x10000;
    b_->sim->flags |= 0x10000;
    EXPECT_TRUE(Test("VALID_SCN A OR HASFIRED A"));
    EXPECT_FALSE(a_->sim->flags & 0x10000);
    EXPECT_FALSE(Test("DESTROYED A AND HASFIRED B"));
    EXPECT_FALSE(b_->sim->flags & 0x10000);
    EXPECT_FALSE(Test("HASFIRED B"));
}

TEST_F(ConditionTest, ShipClockRestartsFromItsPeriod)
{
    SetShipClock(a_, 0, 300);
    EXPECT_EQ(a_->sim->clockPeriod, 300); // the period lives in the Sim itself
    EXPECT_TRUE(Test("SHIP_CLOCK A"));
    EXPECT_EQ(a_->sim->countdown, 300);
    EXPECT_FALSE(Test("SHIP_CLOCK A"));
    // Whoever sets the Sim's pair (countdown, period) sets the clock.
    b_->sim->countdown = 0;
    b_->sim->clockPeriod = 450;
    EXPECT_TRUE(Test("SHIP_CLOCK B"));
    EXPECT_EQ(b_->sim->countdown, 450);
}

TEST_F(ConditionTest, NearToInLdsWidensTheDefaultLimit)
{
    b_->avatar->matrix.m[12] = 3e6f;
    EXPECT_FALSE(Test("NEARTO A B 0"));
    b_->sim->flags |= kSimLdsEngaged;
    b_->sim->speed = 1e6f;
    EXPECT_TRUE(Test("NEARTO A B 0"));
}

TEST_F(ConditionTest, VelocityMatchComparesSpeedsAndDirections)
{
    a_->sim->velocity = {100, 0, 0};
    b_->sim->velocity = {104, 0, 0};
    EXPECT_TRUE(TestVelocityMatch(a_, b_, 5));
    EXPECT_FALSE(TestVelocityMatch(a_, b_, 3));
    b_->sim->velocity = {0, 100, 0};
    EXPECT_FALSE(TestVelocityMatch(a_, b_, 40));
    EXPECT_TRUE(TestVelocityMatch(a_, b_, 60)); // within 60% of half a turn
    b_->sim->flags |= kSimLdsEngaged;
    EXPECT_FALSE(TestVelocityMatch(a_, b_, 100));
}

TEST_F(ConditionTest, ANonConditionIsASyntaxError)
{
    uint32_t position = Compile("SET a 1\n");
    try {
        EvaluateCondition(position);
        FAIL() << "no error";
    } catch (const ScriptStop& stop) {
        EXPECT_EQ(stop.title, "SCRIPT Syntax Error");
        EXPECT_NE(stop.text.find("test.scr(1) : SET a 1 \n Unrecognized CONDITIONAL"), std::string::npos)
            << stop.text;
        EXPECT_EQ(gInterpreter.stopCode, kStopBadCondition);
    }
}

TEST_F(ConditionTest, OperandErrors)
{
    const struct {
        const char* script;
        const char* message;
    } cases[] = {
        {"ADD 5 1", "SYMBOL reference needed in this context"},
        {"ADD a ON", "Bad SYMBOL Reference"},
        {"BRA_IF x DESTROYED A", "Bad LABEL Reference"},
        {"WAIT_UNTIL SHIP_TYPE A ALLIANCE", "Unrecognized Token"},
        {"WAIT_UNTIL EQUAL A ON", "SYMBOL or DATA reference needed in this context"},
        {"SET_INC a b 1", "Bad SYMBOL Reference"},
    };
    for (const auto& c : cases) {
        try {
            Run(c.script);
            ADD_FAILURE() << c.script << ": no error";
        } catch (const ScriptStop& stop) {
            EXPECT_NE(stop.text.find(c.message), std::string::npos) << c.script << ": " << stop.text;
        }
    }
}

TEST_F(ConditionTest, SetCopiesObjectReferencesAndSaturatesNumbers)
{
    // FIRST_SCN makes copy an object symbol (with no object: the search
    // finds nothing here); SET then copies A's reference into it.
    Run("ADD copy 5\nFIRST_SCN copy SN_CARRIER\nSET copy A\nSET big 1e20\nSET small -1e20\n"
        "SET frac -2.7\nSET LASTSHIP B\n");
    EXPECT_EQ(SymbolObject(FindScriptSymbol("copy")), a_);
    EXPECT_TRUE(Test("EQUAL copy A"));
    EXPECT_EQ(Number("big"), INT32_MAX);
    EXPECT_EQ(Number("small"), INT32_MIN);
    EXPECT_EQ(Number("frac"), -2);
    EXPECT_EQ(SymbolObject(gBuiltinSymbols.lastShip), b_);
    DeleteSceneItem(b_);
    EXPECT_EQ(SymbolObject(gBuiltinSymbols.lastShip), nullptr);
}

TEST_F(ConditionTest, ASymbolThatHoldsAnObjectStaysAnObjectInALoop)
{
    // The first word makes s a number; FIRST_SCN makes it an object; the
    // loop runs the first word again: s keeps holding a handle, and the
    // number written to it is taken as one.
    Run("loop:\nSET s 0\nFIRST_SCN s SN_STARSHIP\nSET s A\nADD n 1\nBNE loop n 3\n");
    const ScriptSymbol* s = FindScriptSymbol("s");
    EXPECT_TRUE(s->type & kSymbolSceneItem);
    EXPECT_EQ(SymbolObject(s), a_);
    EXPECT_EQ(ReadSymbolInt(s), 0); // never read as value bytes
}

TEST_F(ConditionTest, DifficultyScaling)
{
    Run("SET_MORE_BY_DIFFICULTY m1 1\nSET_MORE_BY_DIFFICULTY m7 7\nSET_LESS_BY_DIFFICULTY l7 7\n"
        "SET_MORE_BY_DIFFICULTY mn -4\nSET_LESS_BY_DIFFICULTY ln -4\n");
    EXPECT_EQ(Number("m1"), 1);
    EXPECT_EQ(Number("m7"), 3);
    EXPECT_EQ(Number("l7"), 14);
    EXPECT_EQ(Number("mn"), -4);
    EXPECT_EQ(Number("ln"), -4);
}

TEST_F(ConditionTest, SetIncTakesTheNextValueEachTime)
{
    uint32_t position = Compile("loop:\nSET_INC 0 s 10 20 30\nADD sum s\nADD n 1\nBNE loop n 4\nEND\n");
    RunScript(&position, false);
    EXPECT_EQ(Number("sum"), 10 + 20 + 30 + 0);
    EXPECT_EQ(Number("s"), 0);
}

TEST_F(ConditionTest, ArithmeticAndRandomNumbers)
{
    CRandSeed(7);
    Run("ADD a 10\nSUB a 2.5\nADD b 2147483647\nADD b 10\nRAND r 100\nRANDS q 50\nTIMER_SET 250\n");
    EXPECT_EQ(Number("a"), 7); // 10 - 2.5 truncates toward zero
    EXPECT_EQ(Number("b"), INT32_MAX);
    CRandSeed(7);
    const int first = CRand();
    const int second = CRand();
    EXPECT_EQ(Number("r"), static_cast<int32_t>(first * 100.0 / 32767));
    EXPECT_EQ(Number("q"), static_cast<int32_t>(second * 50.0 * 2 / 32767 - 50));
    EXPECT_EQ(gScriptCountdown, 250);
    EXPECT_FALSE(Test("TIMER_LT 250"));
    EXPECT_TRUE(Test("TIMER_LT 251"));
}

TEST_F(ConditionTest, WorldStateConditionsReadWhatTheWorldNotes)
{
    // Without an object, INSYSTEM asks the universe's current system.
    gCurrentSystemNumber = 3;
    EXPECT_TRUE(Test("INSYSTEM 3"));
    EXPECT_FALSE(Test("INSYSTEM 0"));
    EXPECT_TRUE(Test("INSYSTEM 1 C")); // an object's own system wins
    gCurrentSystemNumber = 0;

    gCrashCount = 2;
    EXPECT_TRUE(Test("IMPACTS_GT 1"));
    EXPECT_FALSE(Test("IMPACTS_GT 2"));
    gCrashCount = 0;

    // An altitude counts only once the planet response has noted one.
    EXPECT_FALSE(Test("ALT_LOWER A 5"));
    a_->flags |= kItemNearPlanet;
    a_->sim->altitude = 300000.0f;
    EXPECT_TRUE(Test("ALT_LOWER A 4"));
    EXPECT_FALSE(Test("ALT_LOWER A 3"));
    EXPECT_FALSE(Test("ALT_LOWER GONE 4"));

    // SYS_OUT 3 is both hard points (0x18); 4 the LDS drive (0x20).
    a_->sim->shipInfo->damage.capabilities = 0x10;
    EXPECT_TRUE(Test("SYS_OUT A 3"));
    EXPECT_FALSE(Test("SYS_OUT A 4"));
    EXPECT_FALSE(Test("SYS_OUT B 3"));

    a_->avatar->params[3] = static_cast<int32_t>(ItemHandle(b_));
    EXPECT_FALSE(Test("TOWED_BY A B")); // not on a tether
    a_->perFrame = KeepTetherDistance;
    EXPECT_TRUE(Test("TOWED_BY A B"));
    EXPECT_FALSE(Test("TOWED_BY A E"));
}

TEST_F(ConditionTest, ContactAsksTheContactList)
{
    ResetContactList();
    EXPECT_FALSE(Test("CONTACT B"));
    gContacts.rows[3].item = b_;
    gContacts.rows[3].rowFlags = kContactUsed;
    EXPECT_TRUE(Test("CONTACT B"));
    EXPECT_FALSE(Test("CONTACT A"));
    RemoveContact(b_);
    EXPECT_FALSE(Test("CONTACT B"));
}

TEST_F(ConditionTest, CountsOfShootingsAnswerFromTheTally)
{
    // A hit and B destroyed: A is a corvette of side NEUTRAL in group 5, B a
    // freighter of side ALLIANCE. A number symbol is read as a group, so
    // HANDLE_OF_A (a number that holds A's handle) does not name A.
    ClearTally();
    AddTallyItem(a_);
    AddTallyItem(b_);
    RecordTallyHit(a_->avatar->params[kAvatarTallySerial], 0);
    RecordTallyKill(b_->avatar->params[kAvatarTallySerial]);
    Run("COUNT_SHOOTINGS hitA HIT A\nCOUNT_SHOOTINGS killedA KILLED A\n"
        "COUNT_SHOOTINGS corvettes HIT CORVETTE\nCOUNT_SHOOTINGS freighters KILLED FREIGHTER\n"
        "COUNT_SHOOTINGS allied KILLED ALLIANCE\nCOUNT_SHOOTINGS group HIT 5\n"
        "COUNT_SHOOTINGS byNumber HIT HANDLE_OF_A\nADD after 1\n");
    EXPECT_EQ(Number("hitA"), 1);
    EXPECT_EQ(Number("killedA"), 0);
    EXPECT_EQ(Number("corvettes"), 1);
    EXPECT_EQ(Number("freighters"), 1);
    EXPECT_EQ(Number("allied"), 1);
    EXPECT_EQ(Number("group"), 1);
    EXPECT_EQ(Number("byNumber"), 0);
    EXPECT_EQ(Number("after"), 1);
    ClearTally();
}

TEST_F(ConditionTest, DamageStatementsReachTheShipAndTheConditionsSeeIt)
{
    a_->sim->shipInfo->damage.maximumHull = 400;
    EXPECT_FALSE(Test("SYS_OUT A 1"));
    Run("SHIP_SYSKILL A 1 50\nSHIP_SYSKILL A -1 25\n");
    EXPECT_TRUE(Test("SYS_OUT A 1")); // main thrust
    EXPECT_EQ(a_->sim->shipInfo->flightModel.acceleration, 50.0f);
    EXPECT_EQ(a_->sim->shipInfo->damage.hullDamage, 100);
    EXPECT_TRUE(Test("DAMAGE_GT A 24"));
    Run("SHIP_SYSKILL A 1 -1\n");
    EXPECT_FALSE(Test("SYS_OUT A 1"));

    InitShipSystems();
    ResetShipSystems(a_);
    gPlayerItem = a_;
    Run("PLAYER_DAMAGE \"LDS DRIVE\" 10 OFF\n");
    EXPECT_EQ(FindShipSystem("LDS DRIVE")->health, 0.1f);
    EXPECT_EQ(FindShipSystem("LDS DRIVE")->noRepair, 255);
    EXPECT_TRUE(Test("SYS_OUT A 4")); // the LDS drive
    gPlayerItem = nullptr;
    InitShipSystems();
}

TEST_F(ConditionTest, DialogueOverNamesAShipOrTheTextOfItsConversation)
{
    Resource talk{};
    char text[] = "<A=Alpha>(A: Hello.)";
    talk.data = text;
    ScriptSymbol* symbol = AddScriptSymbol("TALK", nullptr, 0);
    symbol->type = kSymbolResource;
    symbol->value = &talk;
    EXPECT_TRUE(Test("DIALOGUE_OVER"));
    StartConversation(&talk, nullptr, a_, nullptr);
    EXPECT_FALSE(Test("DIALOGUE_OVER"));
    EXPECT_FALSE(Test("DIALOGUE_OVER A"));
    EXPECT_TRUE(Test("DIALOGUE_OVER B"));
    EXPECT_FALSE(Test("DIALOGUE_OVER TALK")) << "the text's conversation, with A, goes on";
    gSettings.noDialogue = 255;
    EXPECT_TRUE(Test("DIALOGUE_OVER TALK"));
    gSettings.noDialogue = 0;
    StopAllConversations();
    EXPECT_TRUE(Test("DIALOGUE_OVER A"));
}

} // namespace

namespace {

// AUTOPILOT n: the player's ship under AI control flies the standing order
// whose button carries command code n + 55.
TEST_F(ConditionTest, AutopilotComparesTheStandingOrderOfThePlayersShip)
{
    gPlayerItem = a_;
    CurrentOrderButton = 56;
    EXPECT_FALSE(Test("AUTOPILOT 1")) << "not under AI control";
    a_->sim->flags |= kSimAiControl;
    EXPECT_TRUE(Test("AUTOPILOT 1"));
    EXPECT_FALSE(Test("AUTOPILOT 2"));
    CurrentOrderButton = 0;
    EXPECT_FALSE(Test("AUTOPILOT 1")) << "no order given";
    gPlayerItem = nullptr;
}

} // namespace
