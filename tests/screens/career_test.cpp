// The career files against bytes laid out by hand, the mission table read
// from CSV text, the two mission lists and the recording of a result, all
// checked in the bytes written to disk.
#include "screens/frontend.h"

#include "script/symbols.h"
#include "system/settings.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_canvas.h"
#include "ui/messagelog.h"
#include "ui/windows.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A little-endian field put into a golden at its documented offset.
void Put(std::string& bytes, size_t offset, int64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + size_t(i)] = char((value >> (8 * i)) & 0xFF);
}

int64_t Get(const std::string& bytes, size_t offset, int width)
{
    uint64_t v = 0;
    for (int i = 0; i < width; ++i)
        v |= uint64_t(uint8_t(bytes[offset + size_t(i)])) << (8 * i);
    if (width == 2)
        return int16_t(v);
    return int32_t(v);
}

// The mission table's columns: index, number, three titles, an unread
// column, prerequisite, branch, required outcome, spare, max score, cap.
std::string Row(int index, int number, const std::string& title, int prerequisite = 0, int branch = 0,
                int outcome = 0, int maxScore = 1000, int cap = 900)
{
    return std::to_string(index) + "," + std::to_string(number) + "," + title + ",fr,de,0," +
           std::to_string(prerequisite) + "," + std::to_string(branch) + "," + std::to_string(outcome) + ",0," +
           std::to_string(maxScore) + "," + std::to_string(cap) + ",x\n";
}
const std::string kHeader = "idx,num,en,fr,de,x,pre,branch,out,spare,max,cap,notes\n";

// While one lives, no file of the process grows past `bytes`: a write
// beyond fails (also for root), as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

class CareerFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(scratch / "zqk");
        saved_ = gSettings;
        gSettings.language = 0;
        StateRecord = {};
        CaptainSlot = {};
        gFrontEnd = FrontEndSelection{};
        gMissionResult = {};
        gScriptVars.missionClock = 0;
        ParseMissionTable("", 0);
    }
    void TearDown() override
    {
        FreeMissionLists();
        ParseMissionTable("", 0);
        gSettings = saved_;
    }
    void LoadTable(const std::string& rows)
    {
        const std::string text = kHeader + rows;
        ParseMissionTable(text.data(), text.size());
    }
    void Complete(int16_t index, int32_t score = 0, int16_t outcome = 1)
    {
        CaptainSlot.missionState[index] = -1;
        CaptainSlot.outcome[index] = outcome;
        CaptainSlot.missionScore[index] = score;
        CaptainSlot.completionOrder[CaptainSlot.completedCount++] = index;
    }
    static std::vector<int> Indices(const MissionList& list)
    {
        std::vector<int> out;
        for (int i = 0; i < list.count; ++i)
            out.push_back(list.entries[i].mission->index);
        return out;
    }
    std::string Slot(int n) const { return scratch.Read("zqk/slot" + std::to_string(n) + ".sav"); }

    ScratchFolder scratch{"career", true};
    Settings saved_;
};

TEST_F(CareerFiles, StateFileGoldenReadsIntoItsFieldsAndWritesBackTheSameBytes)
{
    std::string golden(820, '\0');
    const int16_t head[10] = {3, 17, 0, 9, -1, 2, 1, 1234, 0, 255};
    for (int i = 0; i < 10; ++i)
        Put(golden, size_t(2 * i), head[i], 2);
    Put(golden, 20 + 4 * 5, 70000, 4);   // best score of index 5
    Put(golden, 420 + 4 * 99, 12345, 4); // best time of index 99
    Put(golden, 420 + 4 * 0, 60000, 4);
    scratch.Write("zqk/state.inf", golden);

    ASSERT_TRUE(ReadStateFile());
    EXPECT_EQ(StateRecord.currentSlot, 3);
    EXPECT_EQ(StateRecord.launchedMission, 17);
    EXPECT_EQ(StateRecord.reservedB, 9);
    EXPECT_EQ(StateRecord.inFlight, -1);
    EXPECT_EQ(StateRecord.outcome, 2);
    EXPECT_EQ(StateRecord.success, 1);
    EXPECT_EQ(StateRecord.score, 1234);
    EXPECT_EQ(StateRecord.fullScreen, 255);
    EXPECT_EQ(StateRecord.bestScore[5], 70000);
    EXPECT_EQ(StateRecord.bestTime[99], 12345);
    EXPECT_EQ(StateRecord.bestTime[0], 60000);

    ASSERT_TRUE(WriteStateFile());
    EXPECT_EQ(scratch.Read("zqk/state.inf"), golden);
}

TEST_F(CareerFiles, CareerFileGoldenReadsIntoItsFieldsAndWritesBackTheSameBytes)
{
    std::string golden(1840, '\0');
    std::memcpy(golden.data(), "Vessa Quorn", 11);
    Put(golden, 30, 4500, 4);       // total score
    Put(golden, 38, 2, 2);          // completed count
    Put(golden, 40 + 2 * 4, -1, 2); // index 4 completed
    Put(golden, 40 + 2 * 7, -1, 2);
    Put(golden, 240 + 2 * 4, 2, 2); // its outcome
    Put(golden, 840 + 0, 4, 2);     // completion order 4, 7
    Put(golden, 840 + 2, 7, 2);
    Put(golden, 1040 + 4 * 4, 3000, 4);
    Put(golden, 1040 + 4 * 7, 1500, 4);
    Put(golden, 1440 + 4 * 7, 98765, 4);
    StateRecord.currentSlot = 2;
    scratch.Write("zqk/slot2.sav", golden);

    ASSERT_TRUE(ReadCaptainSlot());
    EXPECT_STREQ(CaptainSlot.name, "Vessa Quorn");
    EXPECT_EQ(CaptainSlot.totalScore, 4500);
    EXPECT_EQ(CaptainSlot.completedCount, 2);
    EXPECT_EQ(CaptainSlot.missionState[4], -1);
    EXPECT_EQ(CaptainSlot.outcome[4], 2);
    EXPECT_EQ(CaptainSlot.completionOrder[1], 7);
    EXPECT_EQ(CaptainSlot.missionScore[7], 1500);
    EXPECT_EQ(CaptainSlot.missionTime[7], 98765);

    ASSERT_TRUE(WriteCaptainSlot());
    EXPECT_EQ(Slot(2), golden);
}

TEST_F(CareerFiles, FirstStartCreatesBothFilesWithTheirDefaults)
{
    EXPECT_FALSE(ReadStateFile());
    EXPECT_FALSE(ReadCaptainSlot());

    const std::string state = scratch.Read("zqk/state.inf");
    ASSERT_EQ(state.size(), 820u);
    EXPECT_EQ(Get(state, 0, 2), 0); // slot 0
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(Get(state, 20 + 4 * size_t(i), 4), 0);
        EXPECT_EQ(Get(state, 420 + 4 * size_t(i), 4), i == 99 ? 0 : 60000) << i;
    }
    const std::string career = Slot(0);
    ASSERT_EQ(career.size(), 1840u);
    EXPECT_EQ(career.substr(0, 16), std::string("Unknown Captain\0", 16));
    EXPECT_EQ(career.find_first_not_of('\0', 24), std::string::npos);
}

TEST_F(CareerFiles, HostileCareerValuesAreKeptInRangeAndTheNameTerminated)
{
    std::string bytes(1840, 'A');
    Put(bytes, 38, 5000, 2);
    Put(bytes, 840, -3, 2);
    Put(bytes, 842, 400, 2);
    scratch.Write("zqk/slot0.sav", bytes);
    std::string state(820, '\0');
    Put(state, 0, 9, 2);
    scratch.Write("zqk/state.inf", state);

    ASSERT_TRUE(ReadStateFile());
    EXPECT_EQ(StateRecord.currentSlot, 5);
    StateRecord.currentSlot = 0;
    ASSERT_TRUE(ReadCaptainSlot());
    EXPECT_EQ(std::strlen(CaptainSlot.name), 23u);
    EXPECT_EQ(CaptainSlot.completedCount, 100);
    EXPECT_EQ(CaptainSlot.completionOrder[0], 0);
    EXPECT_EQ(CaptainSlot.completionOrder[1], 99);
}

TEST_F(CareerFiles, AShortFileLeavesNoTraceOfThePreviousSlot)
{
    std::string full(1840, '\0');
    std::memcpy(full.data(), "First", 5);
    Put(full, 30, 777, 4);
    Put(full, 1440 + 4 * 50, 4242, 4);
    scratch.Write("zqk/slot0.sav", full);
    scratch.Write("zqk/slot1.sav", std::string("Second\0", 7));
    ASSERT_TRUE(ReadCaptainSlot());
    ASSERT_EQ(CaptainSlot.missionTime[50], 4242);

    StepCaptainSlot(1);
    EXPECT_EQ(StateRecord.currentSlot, 1);
    EXPECT_STREQ(CaptainSlot.name, "Second");
    EXPECT_EQ(CaptainSlot.totalScore, 0);
    EXPECT_EQ(CaptainSlot.missionTime[50], 0);
}

TEST_F(CareerFiles, AShortStateFileKeepsWhatItHoldsAndANewFilesValuesForTheRest)
{
    // Cut inside the best times: the first ten and half of the eleventh
    // are there.
    std::string state(420 + 4 * 10 + 2, '\0');
    Put(state, 0, 2, 2);
    Put(state, 20 + 4 * 3, 5000, 4);
    for (int i = 0; i < 10; ++i)
        Put(state, 420 + 4 * size_t(i), 1000 + i, 4);
    Put(state, 420 + 40, 0x7777, 2);
    scratch.Write("zqk/state.inf", state);

    ASSERT_TRUE(ReadStateFile());
    EXPECT_EQ(StateRecord.currentSlot, 2);
    EXPECT_EQ(StateRecord.bestScore[3], 5000);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(StateRecord.bestTime[i], i < 10 ? 1000 + i : i == 99 ? 0
                                                                       : 60000)
            << i;
}

TEST_F(CareerFiles, SteppingTheSlotWrapsAtBothEndsAndAnEmptySlotIsANewCaptain)
{
    ReadCaptainSlot();
    std::strcpy(CaptainSlot.name, "Zero");
    StepCaptainSlot(-1);
    EXPECT_EQ(StateRecord.currentSlot, 5);
    EXPECT_STREQ(CaptainSlot.name, "Unknown Captain");
    EXPECT_EQ(CaptainSlot.completedCount, 0);
    EXPECT_EQ(Slot(0).substr(0, 5), std::string("Zero\0", 5)) << "the old slot is written before the step";
    EXPECT_EQ(Slot(5).size(), 1840u);
    StepCaptainSlot(1);
    EXPECT_EQ(StateRecord.currentSlot, 0);
    EXPECT_STREQ(CaptainSlot.name, "Zero");
}

TEST_F(CareerFiles, AFailedWriteKeepsTheOldFile)
{
    ReadCaptainSlot();
    const std::string before = Slot(0);
    // The new bytes cannot all be put down (a file-size limit stops the
    // write, also for root).
    std::strcpy(CaptainSlot.name, "Changed");
    bool written = true;
    {
        const FileSizeLimit full(100);
        written = WriteCaptainSlot();
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(Slot(0), before);
}

TEST_F(CareerFiles, AFailedSaveIsToldOnceOnTheScreenAndOnStandardErrorUntilASaveSucceeds)
{
    BlockFont font(200);
    MemoryScreen screen;
    RasterFont* savedFont = gFontB;
    gFontB = &font.font;
    gWindows.fullRedrawRequest = 0;
    ReadCaptainSlot();
    ASSERT_STREQ(CareerSaveNotice(), "");

    // A file-size limit stops the writes (also for root), as a full disk
    // would.
    bool first = true, second = true;
    std::string said;
    {
        const FileSizeLimit full(100);
        ::testing::internal::CaptureStderr();
        first = WriteCaptainSlot();
        second = WriteCaptainSlot();
        said = ::testing::internal::GetCapturedStderr();
    }

    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    const std::string notice = CareerSaveNotice();
    EXPECT_NE(notice.find("zqk\\slot0.sav"), std::string::npos) << notice;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(notice), std::string::npos) << said;

    // The notice stands on black along the screen's foot, in a line of
    // the font and its margins.
    screen.Clear(7);
    DrawCareerSaveNotice(ScreenCanvas());
    const int top = 480 - BlockFont::kHeight - 6;
    EXPECT_EQ(screen.Colours(0, 0, 639, top - 1), std::set<int>{7});
    EXPECT_EQ(screen.Colours(0, top, 639, 479), (std::set<int>{0, 255}));

    // A save that succeeds ends it: the screen is drawn anew without it.
    EXPECT_TRUE(WriteCaptainSlot());
    EXPECT_STREQ(CareerSaveNotice(), "");
    screen.Clear(7);
    DrawCareerSaveNotice(ScreenCanvas());
    EXPECT_EQ(screen.Colours(0, 0, 639, 479), std::set<int>{7});
    EXPECT_NE(gWindows.fullRedrawRequest, 0);
    gWindows.fullRedrawRequest = 0;
    gFontB = savedFont;
}

// What stands where a career file should be and cannot be read.
enum class Unreadable {
    NoPermission, // mode 000 (read as nobody when the test runs as root)
    Fifo,
    Folder,
    OverTheCap, // a sparse file far above any career file's size
};

// The file's identity: an inode replaced by a rename, a type or bytes that
// changed all show.
struct FileIdentity {
    ino_t inode = 0;
    mode_t mode = 0;
    off_t size = 0;
    std::string bytes;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::filesystem::path& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    FileIdentity id{st.st_ino, st.st_mode, st.st_size, ""};
    if (S_ISREG(st.st_mode) && st.st_size < (1 << 16)) {
        std::ifstream in(path, std::ios::binary);
        id.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return id;
}

void MakeUnreadable(const std::filesystem::path& path, Unreadable kind)
{
    namespace fs = std::filesystem;
    switch (kind) {
    case Unreadable::NoPermission:
        std::ofstream(path, std::ios::binary) << std::string(1840, 'C');
        fs::permissions(path, fs::perms::none);
        break;
    case Unreadable::Fifo:
        ASSERT_EQ(::mkfifo(path.c_str(), 0666), 0);
        break;
    case Unreadable::Folder:
        fs::create_directory(path);
        break;
    case Unreadable::OverTheCap:
        std::ofstream(path, std::ios::binary) << "Kept Captain";
        fs::resize_file(path, 1 << 20);
        break;
    }
}

// Runs the rest of a scope with the effective user nobody when the test runs
// as root, so that permissions stop reads.
class AsNobodyWhenRoot {
public:
    AsNobodyWhenRoot() : root_(::geteuid() == 0)
    {
        if (root_) {
            EXPECT_EQ(::seteuid(65534), 0);
        }
    }
    ~AsNobodyWhenRoot()
    {
        if (root_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }

private:
    bool root_;
};

TEST_F(CareerFiles, AnExistingFileThatCannotBeReadIsNamedOnceAndNeverWrittenOver)
{
    struct Case {
        const char* name;
        Unreadable kind;
        const char* reason;
    };
    const Case cases[] = {
        {"mode 000", Unreadable::NoPermission, "Permission denied"},
        {"FIFO", Unreadable::Fifo, "not a regular file"},
        {"folder", Unreadable::Folder, "not a regular file"},
        {"over the cap", Unreadable::OverTheCap, "larger than the size allowed"},
    };
    LoadTable(Row(1, 11, "a"));
    // The run may write everything in the folder (as nobody too): only the
    // game itself can keep the files.
    namespace fs = std::filesystem;
    fs::permissions(scratch.Path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(scratch / "zqk", fs::perms::all, fs::perm_options::add);
    const fs::path slot = scratch / "zqk/slot0.sav", state = scratch / "zqk/state.inf";

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeUnreadable(slot, c.kind);
        MakeUnreadable(state, c.kind);
        const FileIdentity slotBefore = IdentityOf(slot), stateBefore = IdentityOf(state);
        ::testing::internal::CaptureStderr();
        {
            AsNobodyWhenRoot nobody;
            // Start-up, a walk along the roster and back, a mission won, the
            // end of the run.
            ReadStateFile();
            EXPECT_FALSE(ReadCaptainSlot());
            EXPECT_STREQ(CaptainSlot.name, "Unknown Captain");
            EXPECT_EQ(CaptainSlot.completedCount, 0);
            const std::string notice = CareerSaveNotice();
            EXPECT_NE(notice.find("zqk\\slot0.sav"), std::string::npos) << notice;
            StepCaptainSlot(1);
            StepCaptainSlot(-1);
            StateRecord.launchedMission = 1;
            gFrontEnd.launchMode = kLaunchNew;
            gMissionResult = {255, 1, 700};
            RecordMissionResult();
            EXPECT_EQ(CaptainSlot.totalScore, 700) << "the career plays on in memory";
            WriteCaptainSlot();
            WriteStateFile();
        }
        const std::string said = ::testing::internal::GetCapturedStderr();

        EXPECT_TRUE(IdentityOf(slot) == slotBefore);
        EXPECT_TRUE(IdentityOf(state) == stateBefore);
        for (const char* file : {"zqk\\slot0.sav", "zqk\\state.inf"}) {
            std::vector<std::string> lines;
            std::istringstream in(said);
            for (std::string line; std::getline(in, line);)
                if (line.find(file) != std::string::npos)
                    lines.push_back(line);
            EXPECT_EQ(lines.size(), 1u) << file << "\n"
                                        << said;
            for (const std::string& line : lines)
                EXPECT_NE(line.find(c.reason), std::string::npos) << line;
        }
        EXPECT_EQ(Slot(1).size(), 1840u) << "a missing slot is made as ever";

        // Gone again, the files are new ones once more.
        fs::remove_all(slot);
        fs::remove_all(state);
        EXPECT_FALSE(ReadStateFile());
        EXPECT_FALSE(ReadCaptainSlot());
        EXPECT_EQ(Slot(0).size(), 1840u);
        EXPECT_STREQ(CareerSaveNotice(), "");
        fs::remove(slot);
        fs::remove(state);
    }
}

// --- The mission table --------------------------------------------------------

TEST_F(CareerFiles, TableRowsLandAtTheirIndexWithQuotesDroppedAndFieldsCut)
{
    const std::string longTitle(120, 'T');
    LoadTable(Row(3, 12, "\"Rescue, \"at\" Kell\"") + // a quoted comma still ends the field
              Row(5, 14, longTitle, 3, 0, 0, 2500, 2000) +
              "7,15,,fr,de,,,,,,,\n" + // empty fields are 0
              Row(150, 16, "Far") + Row(-2, 17, "Negative") + Row(9, 18, "Last"));
    EXPECT_EQ(MissionTable[3].missionNumber, 12);
    EXPECT_STREQ(MissionTable[3].title, "Rescue");
    EXPECT_EQ(std::strlen(MissionTable[5].title), 79u);
    EXPECT_EQ(MissionTable[5].prerequisite, 3);
    EXPECT_EQ(MissionTable[5].maxScore, 2500);
    EXPECT_EQ(MissionTable[5].scoreCap, 2000);
    EXPECT_EQ(MissionTable[7].missionNumber, 15);
    EXPECT_EQ(MissionTable[7].prerequisite, 0);
    EXPECT_EQ(MissionTable[7].scoreCap, 0);
    EXPECT_EQ(MissionTable[9].missionNumber, 18) << "rows out of range are skipped, not the end";
    EXPECT_EQ(MissionTable[0].prerequisite, -1) << "rows never read keep -1";
}

TEST_F(CareerFiles, TableEndsAtMissionNumberZeroAndReadsALastRowWithoutNewline)
{
    LoadTable(Row(1, 11, "One") + "2,0,Stop,fr,de,0,0,0,0,0,0,0\n" + Row(3, 13, "After"));
    EXPECT_EQ(MissionTable[1].missionNumber, 11);
    EXPECT_EQ(MissionTable[3].missionNumber, 0);

    LoadTable("4,14,Tail,fr,de,0,0,0,0,0,500,400");
    EXPECT_EQ(MissionTable[4].missionNumber, 14);
    EXPECT_EQ(MissionTable[4].scoreCap, 400);
}

TEST_F(CareerFiles, AShortHeaderTakesTheFirstRowsFieldsAsHeader)
{
    // The header's 13 fields run ten fields into the first row; the rest
    // of it and the second row make one misread record out of range.
    const std::string text = "a,b,c\n" + Row(1, 11, "Eaten") + Row(2, 12, "Lost") + Row(3, 13, "Kept");
    EXPECT_EQ(ParseMissionTable(text.data(), text.size()), 1);
    EXPECT_EQ(MissionTable[1].missionNumber, 0);
    EXPECT_EQ(MissionTable[2].missionNumber, 0);
    EXPECT_EQ(MissionTable[3].missionNumber, 13);
}

TEST_F(CareerFiles, TheTitleFollowsTheLanguage)
{
    gSettings.language = 2;
    LoadTable("1,11,en,fr,Deutsch,0,0,0,0,0,0,0,x\n");
    EXPECT_STREQ(MissionTable[1].title, "Deutsch");
}

// --- The lists ----------------------------------------------------------------

TEST_F(CareerFiles, PrerequisiteAndBranchOutcomeDecideWhatIsAvailable)
{
    LoadTable(Row(1, 11, "a") + Row(2, 12, "b", 1) + Row(3, 13, "c", 0, 1, 2) + Row(4, 14, "d", 0, 1, 1) +
              Row(5, 15, "e", 6));
    RebuildMissionLists();
    EXPECT_EQ(Indices(gAvailableList), (std::vector<int>{1})) << "outcome 0 meets no branch rule";

    Complete(1, 100, 2);
    RebuildMissionLists();
    EXPECT_EQ(Indices(gAvailableList), (std::vector<int>{2, 3}));
    EXPECT_EQ(Indices(gCompletedList), (std::vector<int>{1}));
    EXPECT_EQ(gFrontEnd.selectedMission, 2);
    EXPECT_EQ(gFrontEnd.availableCount, 2);
    EXPECT_EQ(gFrontEnd.currentEntry, &gAvailableList.entries[0]);
}

TEST_F(CareerFiles, TheGateMissionClosesTheEarlyAndExtraMissions)
{
    LoadTable(Row(5, 15, "early") + Row(32, 40, "gate") + Row(33, 41, "next") + Row(90, 90, "extra") +
              Row(99, 99, "Instant Action"));
    RebuildMissionLists();
    EXPECT_EQ(Indices(gAvailableList), (std::vector<int>{5, 32, 33, 90, 99}));
    Complete(32);
    RebuildMissionLists();
    EXPECT_EQ(Indices(gAvailableList), (std::vector<int>{33}));
}

TEST_F(CareerFiles, WithNothingAvailableTheSelectedMissionStaysOne)
{
    LoadTable(Row(4, 14, "needs", 3));
    gFrontEnd.selectedMission = 7;
    RebuildMissionLists();
    EXPECT_EQ(gAvailableList.count, 0);
    EXPECT_EQ(gFrontEnd.selectedMission, 1);
    EXPECT_EQ(gFrontEnd.currentEntry, nullptr);
}

TEST_F(CareerFiles, CompletedEntriesHaveKindsAndOnlyUsedOrderPositionsCount)
{
    LoadTable(Row(0, 10, "zero") + Row(6, 16, "six") + Row(91, 95, "extra"));
    Complete(6, 300);
    Complete(91, 50);
    RebuildMissionLists();
    EXPECT_EQ(Indices(gCompletedList), (std::vector<int>{6, 91})) << "unused positions hold 0 and list nothing";
    EXPECT_EQ(gCompletedList.entries[0].kind, 1);
    EXPECT_EQ(gCompletedList.entries[0].score, 300);
    EXPECT_EQ(gCompletedList.entries[1].kind, 2);
    EXPECT_EQ(gAvailableList.entries[0].kind, 0);
    EXPECT_EQ(gAvailableList.entries[0].score, 0);
    EXPECT_EQ(gAvailableList.entries[0].maxScore, 1000);
}

TEST_F(CareerFiles, ACompletedEntrysDebriefIsTheOutcomeTheCaptainReached)
{
    // Row 6's required-outcome column says 1; the captain got outcome 2.
    LoadTable(Row(2, 12, "two") + Row(6, 16, "six", 0, 2, 1));
    scratch.Write("zqk/resource/text/debrief/dbf_16_1.txt", "won");
    scratch.Write("zqk/resource/text/debrief/dbf_16_0.txt", "other outcome");
    Complete(6, 0, 2);
    RebuildMissionLists();
    ASSERT_EQ(gCompletedList.count, 1);
    EXPECT_STREQ(MissionEntryDebrief(gCompletedList.entries[0]), "other outcome");
    EXPECT_EQ(MissionEntryDebrief(gAvailableList.entries[0]), nullptr);
}

TEST_F(CareerFiles, ListsLayTheirBoxesOutDownAndAcross)
{
    LoadTable(Row(1, 11, "a") + Row(2, 12, "b") + Row(3, 13, "c") + Row(4, 14, "d"));
    Complete(3);
    Complete(4);
    gFrontEnd.selectedMission = 1;
    RebuildMissionLists();
    const MissionListEntry& second = gAvailableList.entries[1];
    EXPECT_EQ(second.width, 120);
    EXPECT_EQ(second.height, 30); // no list font: the margin only
    EXPECT_EQ(second.left, 10);
    EXPECT_EQ(second.top, 10 + 30 + 10);
    EXPECT_EQ(second.bottom, 80);
    EXPECT_EQ(gAvailableList.contentHeight, 90);
    EXPECT_EQ(gAvailableList.contentWidth, 140);
    EXPECT_EQ(gAvailableList.selected, 0);
    EXPECT_EQ(gAvailableList.scrollY, 10);
    EXPECT_EQ(gCompletedList.entries[1].left, 10 + 120 + 10);
    EXPECT_EQ(gCompletedList.entries[1].top, 10);
    EXPECT_EQ(gCompletedList.contentWidth, 270);
    EXPECT_EQ(gCompletedList.selected, -1);
    EXPECT_EQ(gCompletedList.scrollX, 140) << "without a selection it scrolls to the last entry";
}

// --- Results --------------------------------------------------------------------

class MissionResults : public CareerFiles {
protected:
    void SetUp() override
    {
        CareerFiles::SetUp();
        LoadTable(Row(1, 11, "a") + Row(2, 12, "b") + Row(3, 13, "c") + Row(99, 99, "Instant Action"));
        ReadStateFile();
        ReadCaptainSlot();
    }
    void Fly(int16_t index, int16_t mode, bool won, int32_t score, int32_t time, int16_t outcome = 1)
    {
        StateRecord.launchedMission = index;
        gFrontEnd.launchMode = mode;
        gMissionResult = {uint8_t(won ? 255 : 0), outcome, score};
        gScriptVars.missionClock = time;
        RecordMissionResult();
    }
};

TEST_F(MissionResults, ResultsAreRecordedByLaunchModeInTheWrittenCareer)
{
    Fly(1, kLaunchNew, false, 500, 3000);
    std::string career = Slot(0);
    EXPECT_EQ(Get(career, 38, 2), 0) << "a lost mission is not completed";
    EXPECT_EQ(Get(career, 30, 4), 0);

    Fly(1, kLaunchNew, true, 800, 3000, 2);
    career = Slot(0);
    EXPECT_EQ(Get(career, 38, 2), 1);
    EXPECT_EQ(Get(career, 40 + 2 * 1, 2), -1);
    EXPECT_EQ(Get(career, 240 + 2 * 1, 2), 2);
    EXPECT_EQ(Get(career, 840, 2), 1);
    EXPECT_EQ(Get(career, 30, 4), 800);
    EXPECT_EQ(Get(career, 1040 + 4 * 1, 4), 800);
    EXPECT_EQ(Get(career, 1440 + 4 * 1, 4), 3000);
    EXPECT_EQ(StateRecord.bestScore[1], 800);
    EXPECT_EQ(StateRecord.bestTime[1], 3000);

    // A replay writes the career and changes nothing in it.
    Fly(1, kLaunchReplay, true, 5000, 100);
    EXPECT_EQ(Slot(0), career);
    EXPECT_EQ(StateRecord.bestScore[1], 800);
    EXPECT_EQ(StateRecord.bestTime[1], 3000);

    // An extra replay replaces the mission's score in the total.
    Fly(99, kLaunchExtra, true, 300, 2000);
    Fly(99, kLaunchExtra, true, 450, 1000);
    career = Slot(0);
    EXPECT_EQ(Get(career, 30, 4), 800 + 450);
    EXPECT_EQ(Get(career, 38, 2), 1) << "extra flights are not appended";
    EXPECT_EQ(StateRecord.bestTime[99], 2000) << "Instant Action keeps the longer time";
    EXPECT_EQ(StateRecord.bestScore[99], 450);
}

TEST_F(MissionResults, AMissionWithoutATableRowLeavesTheCareerAlone)
{
    Fly(7, kLaunchNew, true, 900, 100);
    EXPECT_EQ(CaptainSlot.missionState[7], 0);
    EXPECT_EQ(CaptainSlot.completedCount, 0);
    EXPECT_EQ(Get(Slot(0), 30, 4), 0);
    EXPECT_EQ(StateRecord.bestScore[7], 0);
}

TEST_F(MissionResults, TheLastScoreIsKeptWholeAndTheStateFieldSaturates)
{
    Fly(2, kLaunchNew, true, 100000, 500);
    EXPECT_EQ(CaptainSlot.missionScore[2], 100000);
    EXPECT_EQ(CaptainSlot.totalScore, 100000);
    EXPECT_EQ(StateRecord.score, 32767);
}

TEST_F(MissionResults, RestartCutsTheCareerBackToTheSelectedMission)
{
    Fly(1, kLaunchNew, true, 100, 10);
    Fly(2, kLaunchNew, true, 200, 10);
    Fly(3, kLaunchNew, true, 400, 10);
    gFrontEnd.selectedMission = 2;
    RestartFromMission();
    EXPECT_EQ(CaptainSlot.completedCount, 2);
    EXPECT_EQ(CaptainSlot.missionState[3], 0);
    EXPECT_EQ(CaptainSlot.missionScore[3], 0);
    EXPECT_EQ(CaptainSlot.completionOrder[2], 0);
    EXPECT_EQ(CaptainSlot.totalScore, 300) << "the total stays the sum of the completed missions";
    EXPECT_EQ(gFrontEnd.launchMode, kLaunchNew);

    // The relaunched mission won again keeps its one place and score.
    Fly(2, kLaunchNew, true, 250, 10);
    EXPECT_EQ(CaptainSlot.completedCount, 2);
    EXPECT_EQ(CaptainSlot.totalScore, 100 + 250);
    EXPECT_EQ(Indices(gCompletedList), (std::vector<int>{1, 2}));
}

TEST_F(MissionResults, DeveloperKeysCompleteMissionsWithScoresInTensBelowTheirMaximum)
{
    DevCompleteAllMissions();
    EXPECT_EQ(CaptainSlot.completedCount, 4);
    EXPECT_EQ(Indices(gCompletedList), (std::vector<int>{1, 2, 3, 99}));
    int32_t total = 0;
    for (int index : {1, 2, 3, 99}) {
        EXPECT_EQ(CaptainSlot.outcome[index], 1);
        EXPECT_EQ(CaptainSlot.missionScore[index] % 10, 0);
        EXPECT_LT(CaptainSlot.missionScore[index], 1000);
        total += CaptainSlot.missionScore[index];
    }
    EXPECT_EQ(CaptainSlot.totalScore, total);

    gFrontEnd.selectedMission = 2;
    DevToggleSelectedOutcome();
    EXPECT_EQ(CaptainSlot.outcome[2], 2);
    CaptainSlot.outcome[2] = 7;
    gFrontEnd.selectedMission = 2; // every rebuild selects anew
    DevToggleSelectedOutcome();
    EXPECT_EQ(CaptainSlot.outcome[2], 1);

    gFrontEnd.selectedMission = 3;
    DevCompleteSelectedMission();
    EXPECT_EQ(CaptainSlot.missionState[3], 0) << "a completed mission is toggled back";
}

} // namespace
