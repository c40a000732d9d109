// The document browser across the end of a mission: the records that its
// media items hold go back with the mission's resources, so a picture on a
// docs page in the next mission is loaded anew, never read from a record
// that another resource has taken over since.
#include "game/startup.h"
#include "screens/documents.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "tests/res/res_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr ClipRect kPanel = {0, 0, 319, 199};

uint8_t PicturePixel(int x, int y)
{
    return static_cast<uint8_t>(1 + x + 4 * y);
}

class MissionEndDocuments : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = gSettings;
        gSettings.demo = 0;
        gSettings.missionName.clear();
        gLoopFlags = LoopFlags{};
        ASSERT_GT(ResInit(), 0u);
        ResMark();
        ResetDocuments();
    }
    void TearDown() override
    {
        ResetDocuments();
        ResShutdown();
        gLoopFlags = LoopFlags{};
        gSettings = saved_;
    }
    void Write(const std::string& path, const std::string& bytes) { scratch.Write(path, bytes); }
    // The panel as the last draw left it.
    std::vector<uint8_t> Panel() const
    {
        std::vector<uint8_t> pixels;
        for (int y = kPanel.top; y <= kPanel.bottom; ++y)
            for (int x = kPanel.left; x <= kPanel.right; ++x)
                pixels.push_back(screen_.At(x, y));
        return pixels;
    }
    void Draw()
    {
        screen_.Clear();
        DrawDocument(ScreenCanvas(), kPanel);
    }

    ScratchFolder scratch{"missionend_documents", true};
    MemoryScreen screen_;
    Settings saved_;
};

TEST_F(MissionEndDocuments, APictureOnTheNextMissionsDocsPageIsItsOwnPicture)
{
    const std::vector<uint8_t> pcx = restest::PcxFile(4, 2, 4, restest::PcxPlainBody(4, 2, PicturePixel));
    Write("zqk/resource/text/docs/pic.pcx", std::string(pcx.begin(), pcx.end()));
    Write("zqk/resource/text/docs/home.htm", "<IMG SRC=\"pic.pcx\">");
    Draw();
    const std::vector<uint8_t> first = Panel();
    for (int i = 0; i < 8; ++i)
        EXPECT_NE(std::find(first.begin(), first.end(), PicturePixel(i % 4, i / 4)), first.end()) << i;

    ShowEndScreen();

    // The next mission's first load takes the record the picture had: a
    // text whose first bytes, read as a picture, point nowhere.
    Write("zqk/resource/text/briefing.txt", std::string(8, 'A') + std::string("\x10\x00\x10\x00\x00\x00\x00\x00", 8));
    ASSERT_NE(ResRegisterLoad("zqk\\resource\\text\\briefing.txt", ResType::Text), nullptr);
    Draw();
    EXPECT_EQ(Panel(), first);
}

} // namespace
