// Finding the CD-ROM drives and moving the film and speech folders to the
// game's disc.
#include "platform/host.h"
#include "platform/registry.h"
#include "system/datalocation.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class DataLocation : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.Write("disc/video/b01.smk", "film");
        for (char c = 'A'; c <= 'Z'; ++c)
            platform::SetDrive(c, platform::DriveType::NoRootDir, nullptr);
        platform::SetRegistryFile((root / "registry.reg").c_str());
        gVideoFolder = "zqk\\resource\\video";
        gSpeechFolder = "zqk\\resource\\text\\audio";
    }
    void TearDown() override
    {
        platform::SetRegistryFile(nullptr);
        platform::ResetDrives();
    }
    ScratchFolder root{"location"};
};

TEST_F(DataLocation, ListsCdDrivesInLetterOrder)
{
    EXPECT_EQ(FindCdDrives(), 0);
    EXPECT_EQ(gCdDrives.count, 0);
    platform::SetDrive('G', platform::DriveType::CdRom, "/");
    platform::SetDrive('C', platform::DriveType::Fixed, "/");
    platform::SetDrive('E', platform::DriveType::CdRom, "/");
    EXPECT_EQ(FindCdDrives(), 'E');
    ASSERT_EQ(gCdDrives.count, 2);
    EXPECT_EQ(gCdDrives.letters[0], 'E');
    EXPECT_EQ(gCdDrives.letters[1], 'G');
}

TEST_F(DataLocation, MovesFoldersToTheRecordedDiscWhenItHoldsTheFilms)
{
    platform::SetDrive('F', platform::DriveType::CdRom, (root / "disc").c_str());
    EXPECT_EQ(LocateVideoFolder(), 0); // no key at all
    ASSERT_TRUE(platform::RegistrySetString(nullptr, kInstallKey, nullptr, "F:\\"));
    EXPECT_EQ(LocateVideoFolder(), 1);
    EXPECT_EQ(gVideoFolder, "F:\\video");
    EXPECT_EQ(gSpeechFolder, "F:\\audio");
}

TEST_F(DataLocation, LeavesFoldersAloneOtherwise)
{
    platform::SetDrive('F', platform::DriveType::CdRom, (root / "disc").c_str());
    for (const char* value : {"F", "FF:\\", "", "E:\\"}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(platform::RegistrySetString(nullptr, kInstallKey, nullptr, value));
        EXPECT_EQ(LocateVideoFolder(), 0);
        EXPECT_EQ(gVideoFolder, "zqk\\resource\\video");
        EXPECT_EQ(gSpeechFolder, "zqk\\resource\\text\\audio");
    }
}

TEST_F(DataLocation, DataDirectoryBecomesTheCurrentOne)
{
    fs::path old = fs::current_path();
    fs::create_directories(root.Path() / "Game");
    ASSERT_TRUE(SetDataDirectory((root / "game").c_str()));
    EXPECT_EQ(fs::current_path(), root.Path() / "Game");
    EXPECT_GT(gDataFolder.volume.maxComponentLength, 0u);
    EXPECT_FALSE(SetDataDirectory((root / "missing").c_str()));
    fs::current_path(old);
    EXPECT_GT(GetFreeMemory(), 0u);
}

} // namespace
