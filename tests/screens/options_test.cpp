// The player options (range, apply routines, the switch click, the rewrite
// of the configuration file), the labels and ratings texts, and the
// debriefs and closing films named by table index.
#include "screens/frontend.h"

#include "system/display.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/sound.h"
#include "tests/support/log_font.h"
#include "tests/support/scratch_folder.h"
#include "ui/messagelog.h"
#include "view/skyandlights.h"
#include "world/playerinput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gBoxes;

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

GameOption& Option(const char* name)
{
    for (GameOption* o = gGameOptions; o->name; ++o)
        if (std::strcmp(o->name, name) == 0)
            return *o;
    throw std::runtime_error(name);
}

class Options : public ::testing::Test {
protected:
    void SetUp() override
    {
        gBoxes.clear();
        SetMessageBoxHook([](const char* text, const char* title) { gBoxes.push_back(std::string(title) + ": " + text); });
        RestoreDefaultOptions();
    }
    void TearDown() override
    {
        RestoreDefaultOptions();
        SetMessageBoxHook(nullptr);
        ParseMissionTable("", 0);
        gLoopFlags = LoopFlags{};
    }
    ScratchFolder scratch{"options", true};
};

TEST_F(Options, ValuesAreHeldToTheirRangeAndAppliedAndUnknownNamesDoNothing)
{
    SetOptionValue("gamma", 3.0f);
    EXPECT_EQ(Option("gamma").value, 2.0f);
    EXPECT_EQ(gDisplayGamma, 2.0f);
    SetOptionValue("sound_level", -5.0f);
    EXPECT_EQ(gSoundMasterVolume, 0.0f);
    SetOptionValue("nebula", 0);
    EXPECT_EQ(gNebulaOn, 0);
    SetOptionValue("collisions", 0);
    EXPECT_EQ(gOptionFlags.collisionsOff, 255);

    std::vector<float> before;
    for (const GameOption* o = gGameOptions; o->name; ++o)
        before.push_back(o->value);
    SetOptionValue("Gamma", 1.5f); // names match exactly
    SetOptionValue("no_such_option", 1.0f);
    std::vector<float> after;
    for (const GameOption* o = gGameOptions; o->name; ++o)
        after.push_back(o->value);
    EXPECT_EQ(after, before);
}

TEST_F(Options, ShipDetailSetsBothDistancesFromItsPower)
{
    SetOptionValue("ship_detail", 1.0f);
    EXPECT_FLOAT_EQ(gOptionFlags.detailNear, 10.0f);
    EXPECT_FLOAT_EQ(gOptionFlags.detailFar, 24.0f);
    SetOptionValue("ship_detail", 1.5f);
    EXPECT_NEAR(gOptionFlags.detailNear, 10.0f * std::pow(20.0f, 0.5f) / 20.0f, 1e-4);
}

TEST_F(Options, ASwitchAtItsMaximumWrapsToItsMinimum)
{
    GameOption& hat = Option("joystick_hat");
    const uint8_t expected[] = {kHatLook, kHatStrafe, kHatContacts}; // values 1, 2, back to 0
    for (uint8_t mode : expected) {
        StepOptionSwitch(hat);
        EXPECT_EQ(gPlayerInput.hatMode, mode) << hat.value;
    }
    EXPECT_EQ(hat.value, 0.0f);
    GameOption& gamma = Option("gamma");
    StepOptionSwitch(gamma); // a slider only applies
    EXPECT_EQ(gamma.value, 1.0f);
}

TEST_F(Options, WithoutTheLabelsFileTheBuiltInValuesAreTheDefaults)
{
    ReadOptionTable();
    SetOptionValue("gamma", 0.7f);
    SetOptionValue("control_method", 1);
    RestoreDefaultOptions();
    EXPECT_EQ(Option("gamma").value, 1.0f);
    EXPECT_EQ(gDisplayGamma, 1.0f);
    EXPECT_EQ(Option("control_method").value, 0.0f);
}

// The rewrite owns the INIT_VAR lines of the table's options only: a
// setting the table does not hold ("music") is the player's and stays.
TEST_F(Options, SavingWritesChangedOptionsFirstAndKeepsEveryOtherLineWhole)
{
    const std::string longLine = "; " + std::string(400, 'x') + "\n";
    const std::string music = "INIT_VAR \"music\" 1\n";
    const std::string config =
        "VIDEO_MODE 640 480 8\n\t\tINIT_VAR\t\"gamma\",1.8\n" + music + longLine + "INIT_VAR gamma\nEND";
    scratch.Write("Kelvandrist.ini", config);

    ASSERT_TRUE(SaveOptions("Kelvandrist.ini"));
    EXPECT_EQ(scratch.Read("Kelvandrist.ini"), "VIDEO_MODE 640 480 8\n" + music + longLine + "INIT_VAR gamma\nEND")
        << "a file of defaults gets no INIT_VAR line of an option";
    scratch.Write("Kelvandrist.ini", "VIDEO_MODE 640 480 8\n" + longLine + "END");

    SetOptionValue("gamma", 1.5f);
    SetOptionValue("sound_level", 72.25f);
    ASSERT_TRUE(SaveOptions("Kelvandrist.ini"));
    EXPECT_EQ(scratch.Read("Kelvandrist.ini"), "\t\tINIT_VAR\t\"gamma\",1.5\n\t\tINIT_VAR\t\"sound_level\",72.25\n"
                                               "VIDEO_MODE 640 480 8\n" +
                                                   longLine + "END");
    EXPECT_TRUE(gBoxes.empty());
}

TEST_F(Options, AConfigurationFileThatCannotBeReadIsReported)
{
    EXPECT_FALSE(SaveOptions("Kelvandrist.ini"));
    EXPECT_EQ(gBoxes, (std::vector<std::string>{"Error in Front.c: Cannot Save Options"}));
    EXPECT_FALSE(std::filesystem::exists(scratch / "Kelvandrist.ini"));
}

TEST_F(Options, LabelsFollowTheirOptionNameAndExtraStringsAreIgnored)
{
    const std::string text = "<\"nebula\" \"Nebula\" \"Off\" \"On\"\n"
                             "< \"no_such\" \"Lost\"\n"
                             "<\"joystick_hat\" \"Hat\" \"A\" \"B\" \"C\" \"D\" \"E\" \"F\"\n"
                             "\"stray\" <\"collisions\" \"" +
                             std::string(200, 'L') + "\" \"unterminated";
    ParseOptionLabels(text.data(), text.size());
    EXPECT_STREQ(Option("nebula").label, "Nebula");
    EXPECT_STREQ(Option("nebula").valueLabels[1], "On");
    EXPECT_STREQ(Option("joystick_hat").valueLabels[4], "E");
    EXPECT_EQ(std::strlen(Option("collisions").label), size_t(kOptionLabelSize - 1));
    EXPECT_STREQ(Option("collisions").valueLabels[0], "unterminated");
}

TEST_F(Options, RatingsAreReadInOrderUpToMinusOneAndAtMostSixteen)
{
    const std::string text = "0 Cadet\n500 Ensign\n 2000 Commander\n-1 Ignored\n9000 Admiral\n";
    EXPECT_EQ(ParseRatings(text.data(), text.size()), 3);
    EXPECT_STREQ(RatingForScore(-50), "Cadet") << "below the first threshold: the first name";
    EXPECT_STREQ(RatingForScore(500), "Ensign");
    EXPECT_STREQ(RatingForScore(1999), "Ensign");
    EXPECT_STREQ(RatingForScore(1000000), "Commander");

    std::string many;
    for (int i = 0; i < 40; ++i)
        many += std::to_string(i * 10) + " R" + std::to_string(i) + std::string(i == 3 ? 100 : 0, 'n') + "\n";
    EXPECT_EQ(ParseRatings(many.data(), many.size()), kMaxRatings);
    EXPECT_EQ(std::strlen(gRatings[3].name), sizeof gRatings[3].name - 1);
    EXPECT_STREQ(RatingForScore(1000000), "R15");
}

// --- Debriefs ----------------------------------------------------------------

TEST_F(Options, DebriefTextsFallBackToTheFirstOutcomeAndThenToTheNullText)
{
    scratch.Write("zqk/resource/text/debrief/dbf_05_1.txt", "won five");
    scratch.Write("zqk/resource/text/debrief/dbf_05_0.txt", "five");
    scratch.Write("zqk/resource/text/debrief/dbf_06_0.txt", "six");
    scratch.Write("zqk/resource/text/debrief/dbf_07_1.txt", "");
    scratch.Write("zqk/resource/text/debrief/dbf_null.txt", "none");
    const struct {
        int mission, outcome;
        const char* text;
    } cases[] = {{5, 1, "won five"}, {5, 2, "five"}, {6, 1, "six"}, {7, 1, "none"}, {8, 1, "none"}, {90, 1, nullptr}};
    for (const auto& c : cases) {
        char* text = LoadDebriefText(c.mission, c.outcome);
        if (c.text)
            EXPECT_STREQ(text, c.text) << c.mission << "/" << c.outcome;
        else
            EXPECT_EQ(text, nullptr);
        std::free(text);
    }
}

TEST_F(Options, TheSpokenDebriefAndTheClosingFilmTakeTheRowsMissionNumber)
{
    MessageLogFont font; // the debrief's text goes to the message log
    const std::string table = "h,h,h,h,h,h,h,h,h,h,h,h,h\n"
                              "4,14,Four,f,g,0,0,0,0,0,0,0,x\n"
                              "5,39,Five,f,g,0,0,0,0,0,0,0,x\n"
                              "14,50,Fourteen,f,g,0,0,0,0,0,0,0,x\n"
                              "36,37,Late,f,g,0,0,0,0,0,0,0,x\n";
    ParseMissionTable(table.data(), table.size());
    scratch.Write("zqk/resource/text/debrief/dbf_14_1.txt", "debrief fourteen");

    PlayDebriefSpeech(4, 1);
    EXPECT_STREQ(gMessageLogPendingText, "debrief fourteen");
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0);
    PlayDebriefSpeech(14, 1); // mission 50 has no debrief
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 255);

    gFilmName.clear();
    PlayClosingFilm(5, 2);
    EXPECT_EQ(gFilmName, "out1.smk");
    gFilmName.clear();
    PlayClosingFilm(36, 1); // mission 37 closes with its film only at index 37
    EXPECT_EQ(gFilmName, "");
}

TEST_F(Options, TheDemoTreesTableLabelsAndRatingsRead)
{
    const std::filesystem::path root = std::filesystem::path(KV_SOURCE_DIR) / "data/zqk/resource";
    const std::string table = ReadAll(root / "scripts/precedence.csv");
    EXPECT_EQ(ParseMissionTable(table.data(), table.size()), 8);
    EXPECT_STREQ(MissionTable[1].title, "Patrol");
    EXPECT_EQ(MissionTable[3].prerequisite, 2);
    EXPECT_EQ(MissionTable[5].prerequisite, 4);
    EXPECT_STREQ(MissionTable[7].title, "Last Stand");
    EXPECT_EQ(MissionTable[7].prerequisite, 6);
    EXPECT_EQ(MissionTable[99].missionNumber, 99);
    EXPECT_STREQ(MissionTable[99].title, "Instant Action");

    const std::string labels = ReadAll(root / "text/docs/initTable.txt");
    ParseOptionLabels(labels.data(), labels.size());
    for (const GameOption* o = gGameOptions; o->name; ++o)
        EXPECT_NE(o->label[0], 0) << o->name;
    EXPECT_STREQ(Option("joystick_hat").valueLabels[2], "Strafe");

    const std::string ratings = ReadAll(root / "text/ratings.txt");
    EXPECT_EQ(ParseRatings(ratings.data(), ratings.size()), 6);
    EXPECT_STREQ(RatingForScore(6000), "Lieutenant");
}

} // namespace
