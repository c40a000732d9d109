// The front-end screens headless: the state table as the transition driver
// walks it (screens shown, clips played, a clip that cannot be opened
// ending its state), Escape and Enter per state, the home grid, slot
// stepping, the timeline's arrows, the captain's name entry, Instant Action
// and the return from a mission.
#include "screens/frontscreens.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "platform/film.h"
#include "screens/bridge.h"
#include "screens/frontend.h"
#include "system/datalocation.h"
#include "system/film.h"
#include "system/input.h"
#include "system/settings.h"
#include "tests/support/scratch_folder.h"
#include "tools/film_fixtures.h"
#include "ui/screens.h"
#include "ui/windows.h"

namespace {

constexpr uint16_t Key(uint8_t scan, uint8_t character = 0)
{
    return static_cast<uint16_t>(scan << 8 | character);
}
constexpr uint16_t kEscape = Key(1), kEnter = Key(28, 13), kBackspace = Key(14, 8);
constexpr uint16_t kUp = Key(0x48), kDown = Key(0x50), kLeft = Key(0x4B), kRight = Key(0x4D);

class FrontScreensTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(scratch / "zqk");
        saved_ = gSettings;
        savedFolder_ = gVideoFolder;
        gVideoFolder = (scratch / "video").string();
        std::filesystem::create_directories(scratch / "video");
        guiResetWindowPool();
        RegisterFrontEndScreens();
        CloseClip(&gFrontScreens.clip);
        gFrontScreens = {};
        StateRecord = {};
        CaptainSlot = {};
        gFrontEnd = FrontEndSelection{};
        gStartMissionRequest = 0;
        CurrentStation = 0;
        movie_.rect[2] = 63;
        movie_.rect[3] = 31;
    }
    void TearDown() override
    {
        CloseClip(&gFrontScreens.clip);
        gFrontScreens = {};
        FreeMissionLists();
        guiResetWindowPool();
        gVideoFolder = savedFolder_;
        gSettings = saved_;
        gStartMissionRequest = 0;
    }

    // Enters the state through the driver, as a redraw of a movie element.
    void Enter(int16_t state)
    {
        gFrontScreens.requested = state;
        RunFrontTransition(&movie_);
    }
    static std::string ScreenName() { return gScreens.current && gScreens.current->name ? gScreens.current->name : ""; }
    void WriteClip(const char* name)
    {
        smk::FixtureShape shape;
        shape.frames = 3;
        const std::vector<uint8_t> bytes = smk::Write(smk::MakeFixtureFilm(shape));
        std::ofstream(scratch / "video" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    ScratchFolder scratch{"frontscreens", true};
    WindowHandle movie_ = {};
    Settings saved_;
    std::string savedFolder_;
};

TEST_F(FrontScreensTest, EachStateShowsItsScreenAndWithoutItsClipMovesOnAtOnce)
{
    struct Case {
        int16_t state;
        const char* screen; // shown on entering; null: the screen stays
        const char* clip;
        int16_t next;
    };
    const Case cases[] = {
        {1, nullptr, nullptr, 2},
        {2, "FrontHome", "Fspn.smk", 2},
        {3, nullptr, nullptr, 2},
        {4, nullptr, "Fros.smk", 5},
        {5, "FrontRoster", "Frosstat.smk", 5},
        {6, nullptr, "Fcr.smk", 2},
        {7, nullptr, "Frup.smk", 5},
        {8, nullptr, "Frdwn.smk", 5},
        {9, nullptr, "Fhop.smk", 10},
        {10, "FrontTime", nullptr, 10},
        {11, nullptr, "Fhcl.smk", 5},
        {12, nullptr, "Fochp.smk", 13},
        {13, "OptionScreen", nullptr, 13},
        {14, nullptr, "Fcchp.smk", 2},
        {15, nullptr, nullptr, 16},
        {16, nullptr, nullptr, 16},
        {17, nullptr, nullptr, 2},
        {18, nullptr, "Foflm.smk", 19},
        {19, "FrontCredits", "Fcredits.smk", 19},
        {20, nullptr, "Fcflm.smk", 2},
        {21, nullptr, "Faop.smk", 22},
        {22, "FrontAction", nullptr, 22},
        {23, nullptr, "Facl.smk", 2},
    };
    for (const Case& c : cases) {
        guiGotoScreen("Confirm");
        Enter(c.state);
        EXPECT_EQ(gFrontScreens.current, c.state);
        EXPECT_EQ(ScreenName(), c.screen ? c.screen : "Confirm") << c.state;
        EXPECT_EQ(gFrontScreens.requested, c.next) << c.state << ": no clip file, so the state ends at once";
        EXPECT_EQ(gFrontScreens.clip, nullptr);
        const FrontStateRow& row = kFrontStates[c.state];
        EXPECT_STREQ(row.clip ? row.clip : "", c.clip ? c.clip : "") << c.state;
    }
}

TEST_F(FrontScreensTest, AClipThatOpensHoldsItsStateUntilItHasPlayed)
{
    WriteClip("Fhcl.smk");
    gFrontScreens.current = kFrontTimeline;
    guiGotoScreen("FrontTime");
    guiFrontEndKeyHandler(kEscape); // the timeline's way back: the roster, with its clip
    EXPECT_EQ(ScreenName(), "FrontRoster");
    EXPECT_EQ(gFrontScreens.requested, kFrontTimelineToRoster);
    RunFrontTransition(&movie_);
    ASSERT_NE(gFrontScreens.clip, nullptr);
    // The clip's frames come a tenth of a second apart.
    static double now = 0;
    platform::SetFilmClock([] { return now; });
    int redraws = 0;
    while (gFrontScreens.requested == kFrontTimelineToRoster && ++redraws < 50) {
        now += 0.1;
        RunFrontTransition(&movie_);
    }
    platform::SetFilmClock(nullptr);
    EXPECT_EQ(gFrontScreens.requested, kFrontRoster);
    EXPECT_GE(redraws, 3) << "every frame of the clip was drawn";
    EXPECT_EQ(gFrontScreens.clip, nullptr);
}

TEST_F(FrontScreensTest, EscapeLeavesEachScreenByItsOwnWayAndDoesNothingAtHome)
{
    struct Case {
        int16_t state;
        int16_t requested; // -1: unchanged
    };
    const Case cases[] = {
        {kFrontHome, -1},
        {kFrontRoster, 6},
        {kFrontTimeline, 11},
        {kFrontOptions, 14},
        {kFrontCredits, 20},
        {kFrontAction, 23},
        {kFrontToRoster, -1},
        {16, -1},
    };
    for (const Case& c : cases) {
        guiGotoScreen("Confirm");
        gFrontScreens.current = gFrontScreens.requested = c.state;
        guiFrontEndKeyHandler(kEscape);
        EXPECT_EQ(gFrontScreens.requested, c.requested < 0 ? c.state : c.requested) << c.state;
        EXPECT_EQ(ScreenName(), c.requested < 0 ? "Confirm" : "FrontRoster") << c.state;
    }
}

TEST_F(FrontScreensTest, HomeArrowsWalkTheGridAndEnterTakesTheHighlightedChoice)
{
    gFrontScreens.current = gFrontScreens.requested = kFrontHome;
    struct Case {
        int16_t from;
        uint16_t key;
        int16_t to;
    };
    const Case moves[] = {
        {0, kDown, 2},
        {2, kUp, 0},
        {1, kDown, 3},
        {3, kUp, 1},
        {0, kRight, 1},
        {1, kLeft, 0},
        {2, kRight, 3},
        {3, kLeft, 2},
    };
    for (const Case& m : moves) {
        gFrontScreens.highlight = m.from;
        guiFrontEndKeyHandler(m.key);
        EXPECT_EQ(gFrontScreens.highlight, m.to) << m.from << " " << m.key;
    }
    const int16_t chosen[kHomeChoices] = {kFrontToRoster, kFrontToAction, kFrontToCredits, kFrontToOptions};
    for (int16_t h = 0; h < kHomeChoices; ++h) {
        gFrontScreens.requested = kFrontHome;
        gFrontScreens.highlight = h;
        guiFrontEndKeyHandler(kEnter);
        EXPECT_EQ(gFrontScreens.requested, chosen[h]) << h;
    }
    EXPECT_STREQ(kHomeChoiceTable[0].caption[2], "Personaldateien");
}

TEST_F(FrontScreensTest, RosterArrowsStepTheSlotWithTheirClips)
{
    gFrontScreens.current = gFrontScreens.requested = kFrontRoster;
    StateRecord.currentSlot = 0;
    guiFrontEndKeyHandler(kDown); // down from 0 wraps to 5 and plays "Frup.smk"
    EXPECT_EQ(StateRecord.currentSlot, 5);
    EXPECT_EQ(gFrontScreens.requested, kFrontSlotDown);
    EXPECT_STREQ(kFrontStates[kFrontSlotDown].clip, "Frup.smk");
    gFrontScreens.requested = kFrontRoster;
    guiFrontEndKeyHandler(kUp); // up from 5 wraps to 0 and plays "Frdwn.smk"
    EXPECT_EQ(StateRecord.currentSlot, 0);
    EXPECT_EQ(gFrontScreens.requested, kFrontSlotUp);
    EXPECT_STREQ(kFrontStates[kFrontSlotUp].clip, "Frdwn.smk");
    gFrontScreens.requested = kFrontRoster;
    guiFrontEndKeyHandler(kEnter);
    EXPECT_EQ(gFrontScreens.requested, kFrontToTimeline);
}

TEST_F(FrontScreensTest, NameEntryTakesPrintableCharactersUpToTwentyThree)
{
    std::strcpy(CaptainSlot.name, "Al");
    gFrontScreens.nameEntry = 255;
    gFrontScreens.nameLength = 2;
    struct Case {
        uint16_t key;
        const char* name;
    };
    const Case cases[] = {
        {Key(0x30, 'b'), "Alb"},
        {Key(0x12, '\xE9'), "Alb\xE9"}, // an accented letter
        {Key(0x0F, '\t'), "Alb\xE9"},   // Tab: a control key
        {Key(0x3B, 0), "Alb\xE9"},      // F1: no character
        {Key(0x53, 0x7F), "Alb\xE9"},   // Delete
        {Key(0x39, ' '), "Alb\xE9 "},
        {kBackspace, "Alb\xE9"},
    };
    for (const Case& c : cases) {
        guiFrontEndKeyHandler(c.key);
        EXPECT_STREQ(CaptainSlot.name, c.name) << std::hex << c.key;
    }
    for (int i = 0; i < 10; ++i)
        guiFrontEndKeyHandler(kBackspace); // Backspace on an empty name does nothing
    EXPECT_STREQ(CaptainSlot.name, "");
    EXPECT_EQ(gFrontScreens.nameLength, 0);
    for (int i = 0; i < 30; ++i)
        guiFrontEndKeyHandler(Key(0x1E, 'a'));
    EXPECT_EQ(std::string(CaptainSlot.name), std::string(kCaptainNameLength, 'a')) << "the 24th is refused";

    guiFrontEndKeyHandler(kEnter);
    EXPECT_EQ(gFrontScreens.nameEntry, 0);
    CaptainSlot = {};
    ASSERT_TRUE(ReadCaptainSlot()) << "the career was written";
    EXPECT_EQ(std::string(CaptainSlot.name), std::string(kCaptainNameLength, 'a'));
}

TEST_F(FrontScreensTest, NamingACaptainInASlotWhoseFileCannotBeReadStartsANewCareerThere)
{
    // Until the player names a captain the file is kept; naming one is the
    // player's word that a new career goes in its place.
    ASSERT_EQ(::mkfifo("zqk/slot0.sav", 0666), 0);
    EXPECT_FALSE(ReadCaptainSlot());
    EXPECT_FALSE(WriteCaptainSlot());
    EXPECT_TRUE(std::filesystem::is_fifo("zqk/slot0.sav"));

    gFrontScreens.current = gFrontScreens.requested = kFrontRoster;
    gFrontScreens.nameEntry = 255;
    gFrontScreens.nameLength = 0;
    CaptainSlot.name[0] = 0;
    guiFrontEndKeyHandler(Key(0x31, 'N'));
    guiFrontEndKeyHandler(kEnter);
    EXPECT_TRUE(std::filesystem::is_regular_file("zqk/slot0.sav"));
    EXPECT_STREQ(CareerSaveNotice(), "");
    CaptainSlot = {};
    ASSERT_TRUE(ReadCaptainSlot());
    EXPECT_STREQ(CaptainSlot.name, "N");
}

TEST_F(FrontScreensTest, TimelineArrowsWalkTheListsAndStopAtTheirEnds)
{
    for (int16_t i = 0; i < 6; ++i) {
        MissionTable[i].index = i;
        MissionTable[i].missionNumber = static_cast<int16_t>(i + 1);
    }
    gAvailableList.count = 3;
    gCompletedList.count = 3;
    for (int i = 0; i < 3; ++i) {
        gAvailableList.entries[i] = MissionListEntry{};
        gAvailableList.entries[i].mission = &MissionTable[i];
        gCompletedList.entries[i] = MissionListEntry{};
        gCompletedList.entries[i].mission = &MissionTable[3 + i];
        gCompletedList.entries[i].kind = 1;
        gCompletedList.entries[i].debriefLoaded = 255; // no debrief text to look up
    }
    gFrontScreens.current = gFrontScreens.requested = kFrontTimeline;
    auto at = [](MissionList& list, int i) { return &list.entries[i]; };
    struct Case {
        MissionListEntry* from;
        uint16_t key;
        MissionListEntry* to;
    };
    const Case cases[] = {
        {at(gAvailableList, 0), kUp, at(gAvailableList, 0)}, // the first stays
        {at(gAvailableList, 0), kDown, at(gAvailableList, 1)},
        {at(gAvailableList, 2), kDown, at(gAvailableList, 2)}, // nothing after the last
        {at(gCompletedList, 1), kDown, at(gAvailableList, 2)}, // from the other list: the last
        {at(gCompletedList, 1), kUp, at(gAvailableList, 0)},
        {at(gAvailableList, 1), kLeft, at(gCompletedList, 2)}, // from the other list: the last
        {at(gAvailableList, 1), kRight, at(gCompletedList, 0)},
        {at(gCompletedList, 1), kLeft, at(gCompletedList, 0)},
        {at(gCompletedList, 2), kRight, at(gCompletedList, 2)},
    };
    for (const Case& c : cases) {
        gFrontEnd.currentEntry = c.from;
        gFrontEnd.selectedMission = c.from->mission->index;
        guiFrontEndKeyHandler(c.key);
        EXPECT_EQ(gFrontEnd.currentEntry, c.to) << (c.from - gAvailableList.entries) << " " << c.key;
        EXPECT_EQ(gFrontEnd.selectedMission, c.to->mission->index);
    }
    gAvailableList.count = gCompletedList.count = 0;
}

TEST_F(FrontScreensTest, TheReturnFromAMissionGoesBackToWhereItWasLaunched)
{
    gFrontScreens.current = kFrontAction;
    ReturnToFrontEnd();
    EXPECT_EQ(ScreenName(), "FrontHome");
    EXPECT_EQ(gFrontScreens.requested, kFrontActionToHome);
    gFrontScreens.current = kFrontTimeline;
    ReturnToFrontEnd();
    EXPECT_EQ(ScreenName(), "FrontTime");

    gStartMissionRequest = 255;
    LoadFrontEndPalette();
    EXPECT_EQ(gStartMissionRequest, 0);
}

} // namespace
