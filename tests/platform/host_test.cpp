// Host services: the instance lock, drives, text conversion, modules.
#include "platform/files.h"
#include "platform/host.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

TEST(InstanceLock, SecondHolderIsTurnedAway)
{
    ScratchFolder scratch("lock");
    const fs::path& dir = scratch.Path();
    ::setenv("KELVANDRIST_LOCK_DIR", dir.c_str(), 1);
    EXPECT_EQ(platform::AcquireInstanceLock("TestMutex"), platform::InstanceLock::Acquired);
    EXPECT_EQ(platform::AcquireInstanceLock("TestMutex"), platform::InstanceLock::AlreadyHeld);
    EXPECT_EQ(platform::AcquireInstanceLock("OtherMutex"), platform::InstanceLock::Acquired);
    ::setenv("KELVANDRIST_LOCK_DIR", (dir / "missing").c_str(), 1);
    std::string problem;
    EXPECT_EQ(platform::AcquireInstanceLock("TestMutex", &problem), platform::InstanceLock::Failed);
    EXPECT_NE(problem.find((dir / "missing").string()), std::string::npos) << problem;
    EXPECT_NE(problem.find("No such file"), std::string::npos) << problem;
    ::unsetenv("KELVANDRIST_LOCK_DIR");
}

// Without a lock folder given, the lock lives in a private folder under the
// user's cache folder; what another user or a link put in the lock's place
// neither stops the game nor sends its writes elsewhere.
class PrivateLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"KELVANDRIST_LOCK_DIR", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
        ::setenv("HOME", scratch.Path().c_str(), 1);
    }
    void TearDown() override
    {
        for (auto& [name, value] : saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    fs::path LockFile(const char* name) const
    {
        return folder / (std::string(name) + "." + std::to_string(::geteuid()) + ".lock");
    }
    ScratchFolder scratch{"privlock"};
    fs::path folder = scratch.Path() / ".cache" / "kelvandrist";
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(PrivateLock, LivesInAFolderOnlyTheUserCanEnter)
{
    EXPECT_EQ(platform::AcquireInstanceLock("PrivA"), platform::InstanceLock::Acquired);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(fs::is_regular_file(LockFile("PrivA")));
    EXPECT_EQ(platform::AcquireInstanceLock("PrivA"), platform::InstanceLock::AlreadyHeld);
}

TEST_F(PrivateLock, ALinkOrAStrangersFileInItsPlaceIsReplaced)
{
    fs::create_directories(folder);
    const fs::path target = scratch.Path() / "victim";
    fs::create_symlink(target, LockFile("PrivLink"));
    EXPECT_EQ(platform::AcquireInstanceLock("PrivLink"), platform::InstanceLock::Acquired);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::is_symlink(LockFile("PrivLink")));

    scratch.Write(".cache/kelvandrist/" + LockFile("PrivOther").filename().string(), "");
    if (::chown(LockFile("PrivOther").c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "cannot give a file to another user here";
    EXPECT_EQ(platform::AcquireInstanceLock("PrivOther"), platform::InstanceLock::Acquired);
    struct stat st;
    ASSERT_EQ(::stat(LockFile("PrivOther").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST_F(PrivateLock, AFolderThatCannotBeMadeIsNamedWithTheReason)
{
    scratch.Write(".cache", "a file where the cache folder belongs");
    std::string problem;
    EXPECT_EQ(platform::AcquireInstanceLock("PrivFail", &problem), platform::InstanceLock::Failed);
    EXPECT_NE(problem.find(folder.string()), std::string::npos) << problem;
    EXPECT_NE(problem.find("Not a directory"), std::string::npos) << problem;
}

TEST(Drives, LettersMapToHostFoldersAndDataPathsFollowThem)
{
    ScratchFolder scratch("disc");
    scratch.Write("Video/B01.SMK", "film");
    const fs::path& disc = scratch.Path();
    platform::SetDrive('e', platform::DriveType::CdRom, disc.c_str());
    EXPECT_EQ(platform::QueryDriveType('E'), platform::DriveType::CdRom);
    EXPECT_EQ(platform::QueryDriveType('Q'), platform::DriveType::NoRootDir);
    EXPECT_EQ(platform::QueryDriveType('?'), platform::DriveType::NoRootDir);
    EXPECT_TRUE(platform::DataFileExists("E:\\video\\b01.smk"));
    EXPECT_TRUE(platform::DataFileExists("e:video\\B01.smk")); // drive-relative
    EXPECT_FALSE(platform::DataFileExists("Q:\\video\\b01.smk"));
    platform::SetDrive('E', platform::DriveType::CdRom, nullptr);
    EXPECT_FALSE(platform::DataFileExists("E:\\video\\b01.smk"));
    platform::ResetDrives();
}

TEST(Drives, EnvironmentListReplacesTheTable)
{
    ::setenv("KELVANDRIST_DRIVES", "E=/media/cd:cdrom;h=/srv/h;bad;Z;G=/mnt/g:cdrom", 1);
    platform::ResetDrives();
    std::string root;
    EXPECT_EQ(platform::QueryDriveType('E'), platform::DriveType::CdRom);
    EXPECT_EQ(platform::QueryDriveType('G'), platform::DriveType::CdRom);
    EXPECT_EQ(platform::QueryDriveType('H'), platform::DriveType::Fixed);
    EXPECT_EQ(platform::QueryDriveType('C'), platform::DriveType::NoRootDir);
    ASSERT_TRUE(platform::DriveRoot('e', root));
    EXPECT_EQ(root, "/media/cd");
    ::unsetenv("KELVANDRIST_DRIVES");
    platform::ResetDrives();
    EXPECT_EQ(platform::QueryDriveType('C'), platform::DriveType::Fixed);
}

TEST(Drives, DiscMountsAreTakenInTableOrderWithTheirEscapesDecoded)
{
    const char* table = "sysfs /sys sysfs rw 0 0\n"
                        "/dev/sr0 /media/user/VORN\\040DISC\\0401 iso9660 ro 0 0\n"
                        "/dev/sda1 / ext4 rw 0 0\n"
                        "/dev/sr1 /mnt/dvd\\134b udf ro 0 0\n"
                        "/dev/sr2 /mnt/short\\04 iso9660 ro 0 0\n"
                        "broken-line-without-fields";
    EXPECT_EQ(platform::DiscMountFolders(table),
              (std::vector<std::string>{"/media/user/VORN DISC 1", "/mnt/dvd\\b", "/mnt/short\\04"}));
    EXPECT_TRUE(platform::DiscMountFolders("").empty());
}

TEST(HostText, Cp1252AndUtf8RoundTrip)
{
    const char cp1252[] = "Vorn \x80 \xE9t\xE9 \x9C \xFF";
    std::string utf8 = platform::Cp1252ToUtf8(cp1252);
    EXPECT_EQ(utf8, "Vorn \xE2\x82\xAC \xC3\xA9t\xC3\xA9 \xC5\x93 \xC3\xBF");
    EXPECT_EQ(platform::Utf8ToCp1252(utf8.c_str()), cp1252);
    EXPECT_EQ(platform::Utf8ToCp1252("\xE4\xB8\xAD|\xC3"), "?|?"); // no such character; cut short
    EXPECT_EQ(platform::Cp1252ToUtf8("\x81"), "?");
}

TEST(HostServices, CounterMemoryVolumeAndModules)
{
    uint64_t a = platform::PerformanceCounter();
    uint64_t b = platform::PerformanceCounter();
    EXPECT_LE(a, b);
    EXPECT_EQ(platform::PerformanceFrequency(), 1000000u);
    EXPECT_GT(platform::QueryMemoryStatus().availablePhysical, 0u);

    platform::VolumeInfo info;
    ASSERT_TRUE(platform::QueryVolumeInfo("/", info));
    EXPECT_EQ(info.name, "/");
    EXPECT_GT(info.maxComponentLength, 0u);
    EXPECT_FALSE(platform::QueryVolumeInfo("/no/such/folder", info));

    void* libc = platform::LoadModule("libc.so.6");
    ASSERT_NE(libc, nullptr);
    auto length = reinterpret_cast<std::size_t (*)(const char*)>(platform::ModuleSymbol(libc, "strlen"));
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length("Vorn"), 4u);
    EXPECT_EQ(platform::ModuleSymbol(libc, "NoSuchSymbolAnywhere"), nullptr);
    platform::UnloadModule(libc);
    EXPECT_EQ(platform::LoadModule("no_such_module.so"), nullptr);
}
