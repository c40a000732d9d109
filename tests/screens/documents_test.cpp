// The document browser on pages of our own: the pen after the measure pass
// for each tag, links and anchors (cut names, the 48-link limit), a page cut
// at 16,384 bytes, what the draw pass puts on a memory screen, following a
// link, a failing page sending the browser back, and media shown in place of
// the page until the next click.
#include "screens/documents.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "screens/bridge.h"
#include "system/datalocation.h"
#include "system/film.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_canvas.h"
#include "tools/film_fixtures.h"

namespace {

constexpr ClipRect kPanel = {0, 0, 319, 199};

class DocumentsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedFolder_ = gVideoFolder;
        gVideoFolder = (scratch / "video").string();
        std::filesystem::create_directories(scratch / "video");
        ResetDocuments();
        gBridgeFonts[0] = &heading_.font;
        gBridgeFonts[1] = &link_.font;
        gBridgeFonts[2] = &regular_.font;
        gDocuments.panel = kPanel;
    }
    void TearDown() override
    {
        ResetDocuments();
        std::fill(std::begin(gBridgeFonts), std::end(gBridgeFonts), nullptr);
        gVideoFolder = savedFolder_;
    }
    void Page(const std::string& name, const std::string& text)
    {
        scratch.Write("zqk/resource/text/docs/" + name, text);
    }
    // Opens the page text as "p.htm" and measures it.
    void Measure(const std::string& text)
    {
        Page("p.htm", text);
        OpenDocument("p.htm");
    }
    void Draw() { DrawDocument(ScreenCanvas(), kPanel); }

    ScratchFolder scratch{"documents", true};
    MemoryScreen screen_;
    BlockFont regular_{100}, heading_{120}, link_{140}; // advance 6, line 8, glyph 4 wide
    std::string savedFolder_;
};

TEST_F(DocumentsTest, TheMeasurePassLeavesThePenWhereEachTagPutsIt)
{
    struct Case {
        const char* text;
        int32_t x, y;
    };
    const Case cases[] = {
        {"word", 4 + 4 * 6 + 6, 16},
        {"a b", 4 + 2 * 12, 16},
        {"<br>", 4, 24},
        {"<BR>x", 4 + 12, 24}, // tags match in any case
        {"<p>", 4, 24},
        {"<h1>T</h1>", 4, 16 + 16 + 16},
        {"<h6>T", 4 + 12, 32},
        {"<hr>", 4, 32},
        {"<title>Not shown</title>x", 4 + 12, 16},
        {"<!-- a comment -->x", 4 + 12, 16},
        {"<!-- <br> -->x", 4 + 4 * 6 + 6, 16}, // it ends at the first ">": "-->x" is a word
        {"<html><unknown attr=1>x", 4 + 12, 16},
        {"\r\nx\r\n", 4 + 12, 16},
        // 60 characters measure 300 pixels (glyph + 1 each): from x 4 they
        // reach the edge less 4, so the word starts a new line.
        // 63 characters measure 315 pixels (glyph + 1 each): from x 4 they
        // reach the edge less 4, so the word starts a new line; 62 do not.
        {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", 4 + 63 * 6 + 6, 24},
        {"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", 4 + 62 * 6 + 6, 16},
    };
    for (const Case& c : cases) {
        Measure(c.text);
        EXPECT_EQ(gDocuments.penX, c.x) << c.text;
        EXPECT_EQ(gDocuments.penY, c.y) << c.text;
        EXPECT_EQ(gDocuments.height, std::max(0, c.y - 12)) << c.text;
    }
}

TEST_F(DocumentsTest, LinksAndAnchorsAreStoredCutToTheirFieldsAndBeyondTheLimitIgnored)
{
    const std::string longTarget(200, 'L');
    Measure("x <a href=\"next.htm\">Go on</a><a name=\"top\">t</a><a href=\"" + longTarget + "\">y</a>");
    ASSERT_EQ(gDocuments.linkCount, 2);
    EXPECT_STREQ(gDocuments.links[0].target, "next.htm");
    const int16_t rect[4] = {4 + 12, 8, 4 + 12 + 18 + 18, 16};
    EXPECT_EQ(std::vector<int16_t>(gDocuments.links[0].rect, gDocuments.links[0].rect + 4),
              std::vector<int16_t>(rect, rect + 4));
    EXPECT_EQ(std::string(gDocuments.links[1].target), longTarget.substr(0, kDocumentLinkSize - 1));
    ASSERT_EQ(gDocuments.anchorCount, 1);
    EXPECT_STREQ(gDocuments.anchors[0].name, "top");
    EXPECT_EQ(gDocuments.anchors[0].position, 30);

    std::string many;
    for (int i = 0; i < 60; ++i)
        many += "<a href=\"p" + std::to_string(i) + ".htm\">l</a>";
    Measure(many);
    EXPECT_EQ(gDocuments.linkCount, kDocumentLinks);
    EXPECT_STREQ(gDocuments.links[47].target, "p47.htm");
}

TEST_F(DocumentsTest, APageLongerThanTheBufferIsCutAndAFullBufferIsScannedByItsLength)
{
    std::string big;
    while (big.size() < 20000)
        big += "ab<br>";
    Measure(big);
    EXPECT_EQ(gDocuments.length, kDocumentPageSize);
    // 16,384 bytes hold 2730 whole "ab<br>" and "ab<b": 2730 line breaks.
    EXPECT_EQ(gDocuments.penY, 16 + 2730 * 8);
    EXPECT_EQ(gDocuments.height, 16 + 2730 * 8 - 12);
}

TEST_F(DocumentsTest, TheDrawPassPutsEachFontAndTheRuleOnTheScreen)
{
    Page("home.htm", "<h1>T</h1>plain<hr><a href=\"x.htm\">go</a>");
    Draw();
    EXPECT_STREQ(gDocuments.current, "home.htm");
    // Glyphs stand on the pen line: the heading's at y 32, the text's at
    // 48, the rule on 56 with the link's line below it at 64.
    EXPECT_EQ(screen_.Colours(4, 27, 7, 32), (std::set<int>{120}));
    EXPECT_EQ(screen_.Colours(4, 43, 7, 48), (std::set<int>{100}));
    EXPECT_EQ(screen_.Colours(12, 56, 307, 56), (std::set<int>{255}));
    EXPECT_EQ(screen_.Colours(4, 59, 7, 64), (std::set<int>{140}));
    EXPECT_EQ(gDocuments.canScrollUp, 0);
    EXPECT_NE(gDocuments.canScrollDown, 0);
}

TEST_F(DocumentsTest, AClickFollowsALinkAndAFailingPageGoesBack)
{
    Page("home.htm", "<a href=\"next.htm\">next</a> <a href=\"gone.htm\">gone</a>");
    Page("next.htm", "Next page");
    Draw();
    ASSERT_EQ(gDocuments.linkCount, 2);
    DocumentClick(6, 12);
    EXPECT_STREQ(gDocuments.requested, "next.htm");
    Draw();
    EXPECT_STREQ(gDocuments.current, "next.htm");
    EXPECT_STREQ(gDocuments.previous, "home.htm");

    std::strcpy(gDocuments.requested, "home.htm");
    Draw();
    const int16_t* gone = gDocuments.links[1].rect;
    DocumentClick(gone[0] + 1, gone[3] - 1);
    EXPECT_STREQ(gDocuments.requested, "gone.htm");
    Draw();
    EXPECT_STREQ(gDocuments.requested, "home.htm") << "the page that cannot be read sends the browser back";
    Draw();
    EXPECT_STREQ(gDocuments.current, "home.htm");
}

TEST_F(DocumentsTest, MediaShowInPlaceOfThePageUntilTheNextClick)
{
    smk::FixtureShape shape;
    const std::vector<uint8_t> bytes = smk::Write(smk::MakeFixtureFilm(shape));
    std::ofstream(scratch / "video" / "clip.smk", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    Page("home.htm", "<a href=\"clip.smk\">clip</a> <a href=\"intro.smf\">film</a>");
    Draw();
    DocumentClick(6, 12);
    Draw();
    EXPECT_STREQ(gDocuments.current, "clip.smk");
    ASSERT_GE(gDocuments.shownMedia, 0);
    EXPECT_NE(gDocuments.clipOpen, 0);
    DocumentClick(6, 12); // any click goes back
    EXPECT_STREQ(gDocuments.requested, "home.htm");
    Draw();
    EXPECT_STREQ(gDocuments.current, "home.htm");
    EXPECT_EQ(gDocuments.clip, nullptr);

    // ".smf" plays the ".smk" film of its name; this one is missing, so the
    // browser stays on its page.
    const int16_t* film = gDocuments.links[1].rect;
    DocumentClick(film[0] + 1, film[3] - 1);
    Draw();
    EXPECT_NE(gFilmName.find("intro.smk"), std::string::npos) << gFilmName;
    EXPECT_STREQ(gDocuments.requested, "home.htm");
}

} // namespace
