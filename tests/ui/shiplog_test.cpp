// The ship's log: entry lines with the time, the entry limit and the full
// text pool, detail levels, the kinds' names in each language, browsing
// backwards and forwards, free texts and the page the dump writes.
#include "ui/shiplog.h"

#include "system/frameclock.h"
#include "system/settings.h"
#include "tests/support/log_font.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

class ShipLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitShipLog();
        gShipLog.off = 0;
        gShipLog.detail = 2;
        gSettings.language = 0;
        gFrameClock.gameClock = 0;
    }
    void TearDown() override
    {
        ResetShipLog();
        gShipLog.off = 0;
        gShipLog.detail = 2;
        gSettings.language = 0;
        gFrameClock.gameClock = 0;
    }
    MessageLogFont font_;
};

TEST_F(ShipLogTest, AnEntryLineHoldsTheTimeTheSubjectTheKindAndTheText)
{
    struct Case {
        uint32_t clock;
        int16_t kind;
        const char* subject;
        const char* text;
        const char* line;
    };
    const Case cases[] = {
        {0, 0, "Osprey", nullptr, "0:00 Osprey arrived at Lagrange point"},
        {123456, 2, "Osprey", "Raider", "20:34 Osprey destroyed Raider"}, // minutes past 59
        {6099, 9, nullptr, nullptr, "1:00   activated LDS"},              // no subject: a blank
    };
    for (const Case& c : cases) {
        ResetShipLog();
        gFrameClock.gameClock = c.clock;
        AddShipLogEntry(c.kind, c.subject, c.text);
        ASSERT_EQ(gShipLog.count, 1) << c.line;
        EXPECT_STREQ(gShipLog.entries[0].line, c.line);
        EXPECT_EQ(gShipLog.entries[0].time, static_cast<int32_t>(c.clock));
        EXPECT_EQ(gShipLog.entries[0].event, 1);
    }
}

TEST_F(ShipLogTest, TheHundredAndFirstEntryIsDropped)
{
    for (int i = 0; i < kShipLogEntries + 1; ++i)
        AddShipLogEntry(5, ("Ship" + std::to_string(i)).c_str(), nullptr);
    EXPECT_EQ(gShipLog.count, kShipLogEntries);
    EXPECT_STREQ(gShipLog.entries[kShipLogEntries - 1].line, "0:00 Ship99 undocked");
    AddShipLogText(0, "one more"); // a free text is refused too...
    EXPECT_EQ(gShipLog.count, kShipLogEntries);
    EXPECT_STREQ(gMessageLogPendingText, "one more") << "...but still reaches the message log";
}

TEST_F(ShipLogTest, AFullPoolStillCountsEntriesWithoutLinesAndTheDumpSkipsThem)
{
    ScratchFolder folder("shiplog_dump", true);
    folder.Write("zqk/resource/text/docs/home.htm", "");
    const std::string name(200, 'n');
    int withLines = 0;
    for (int i = 0; i < 60; ++i) {
        AddShipLogEntry(4, name.c_str(), "Base");
        withLines += gShipLog.entries[i].line ? 1 : 0;
    }
    EXPECT_EQ(gShipLog.count, 60);
    EXPECT_EQ(withLines, kShipLogPoolSize / 223); // each line and its zero take 223 bytes
    EXPECT_EQ(gShipLog.entries[59].line, nullptr);
    EXPECT_EQ(gShipLog.entries[59].event, 0);

    DumpShipLog();
    std::ifstream in(folder / "zqk/resource/text/docs/test.htm", std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t lines = 0;
    for (size_t at = page.find("Base<BR>\n"); at != std::string::npos; at = page.find("Base<BR>\n", at + 1))
        ++lines;
    EXPECT_EQ(lines, static_cast<size_t>(withLines));
}

TEST_F(ShipLogTest, TheDumpWritesTheLinesSinceTheResetAsAPage)
{
    ScratchFolder folder("shiplog_page", true);
    folder.Write("zqk/resource/text/docs/home.htm", "");
    AddShipLogEntry(0, "Gone", nullptr);
    ResetShipLog();
    AddShipLogEntry(4, "Osprey", "Base");
    gFrameClock.gameClock = 6000;
    AddShipLogText(6000, "Osprey - Docking.");
    DumpShipLog();
    std::ifstream in(folder / "zqk/resource/text/docs/test.htm", std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(page, "<HTML>\n<HEAD>\n<TITLE>TEST</TITLE>\n</HEAD>\n<BODY>\n<P ALIGN=center>\n<H1>Log file test</H1>\n"
                    "<HR>\n</P>\n<P>\n"
                    "0:00 Osprey docked with Base<BR>\n"
                    "1:00 Osprey - Docking.<BR>\n"
                    "<BR>\n<HR>\n<A HREF=\"zqk\\resource\\text\\docs\\home.htm\">Back</A><BR>\n</P>\n</BODY>\n</HTML>\n");

    // Without its folder the page cannot be made: nothing happens.
    ScratchFolder bare("shiplog_bare", true);
    DumpShipLog();
    EXPECT_FALSE(std::filesystem::exists(bare / "zqk"));
}

TEST_F(ShipLogTest, TheDetailLevelFiltersKindsAndLoggingOffKeepsNothing)
{
    struct Case {
        int16_t detail;
        int16_t kind;
        bool logged;
    };
    const Case cases[] = {
        {0, 0, true}, {0, 2, true}, {0, 3, false}, {1, 6, true}, {1, 7, false}, {2, 10, true}, {5, 8, true}, {2, 11, false}, {2, -1, false}, // unknown kinds
    };
    for (const Case& c : cases) {
        ResetShipLog();
        gShipLog.detail = c.detail;
        AddShipLogEntry(c.kind, "S", nullptr);
        EXPECT_EQ(gShipLog.count, c.logged ? 1 : 0) << c.detail << " " << c.kind;
    }
    ResetShipLog();
    gShipLog.detail = 2;
    gShipLog.off = 255;
    AddShipLogEntry(0, "S", nullptr);
    AddShipLogText(0, "said");
    EXPECT_EQ(gShipLog.count, 0);
}

TEST_F(ShipLogTest, KindNamesFollowTheLanguageInCodePage1252)
{
    struct Case {
        uint16_t language;
        int16_t kind;
        const char* name;
    };
    const Case cases[] = {
        {0, 6, "crashed"},
        {1, 6, "s'est \xE9"
               "cras\xE9"},
        {1, 2, "a \xE9t\xE9 d\xE9truit"},
        {2, 2, "zerst\xF6rt"},
        {2, 6, "abgest\xFCrzt"},
        {2, 7, "hat LDS-Blockier-Rakete"},
        {1, 10, "a d\xE9sactiv\xE9 LDS"},
    };
    for (const Case& c : cases) {
        gSettings.language = c.language;
        EXPECT_STREQ(ShipLogKindName(c.kind), c.name) << c.language << " " << c.kind;
    }
    gSettings.language = 1;
    AddShipLogEntry(1, "Osprey", nullptr);
    EXPECT_STREQ(gShipLog.entries[0].line, "0:00 Osprey a quitt\xE9 le point Lagrange");
}

TEST_F(ShipLogTest, BrowsingWalksBackAndForthAndFindsNothingInAnEmptyLog)
{
    uint8_t event = 9;
    EXPECT_EQ(ShipLogPrevious(&event), nullptr);
    EXPECT_EQ(ShipLogNext(&event), nullptr);

    AddShipLogEntry(0, "A", nullptr);
    AddShipLogText(100, "said");
    ShipLogUnsetCursor();
    EXPECT_STREQ(ShipLogPrevious(&event), "0:01 said");
    EXPECT_EQ(event, 0);
    EXPECT_STREQ(ShipLogPrevious(&event), "0:00 A arrived at Lagrange point");
    EXPECT_EQ(event, 1);
    EXPECT_STREQ(ShipLogPrevious(&event), "0:00 A arrived at Lagrange point") << "not below the first";
    EXPECT_STREQ(ShipLogNext(&event), "0:01 said");
    EXPECT_EQ(ShipLogNext(&event), nullptr) << "one past the newest";
    EXPECT_EQ(ShipLogNext(&event), nullptr);

    // After a reset the old entries are not shown again.
    ResetShipLog();
    EXPECT_EQ(ShipLogPrevious(&event), nullptr);
}

TEST_F(ShipLogTest, AFreeTextIsStampedAndTypedIntoTheMessageLog)
{
    AddShipLogText(123456, "Base - Welcome.");
    ASSERT_EQ(gShipLog.count, 1);
    EXPECT_STREQ(gShipLog.entries[0].line, "20:34 Base - Welcome.");
    EXPECT_EQ(gShipLog.entries[0].kind, kShipLogFreeText);
    EXPECT_EQ(gShipLog.entries[0].event, 0);
    EXPECT_STREQ(gMessageLogPendingText, "20:34 Base - Welcome.");
}

} // namespace
