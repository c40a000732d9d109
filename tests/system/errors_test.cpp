// Error and debug output: where each routine's text goes under the
// debugger-output, demo and full-screen settings, the debug log's lines, and
// the fatal stop.
#include "platform/host.h"
#include "system/calltrace.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/log_font.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> gBoxes;
std::vector<std::string> gFatal;

void RecordBox(const char* text, const char* title)
{
    gBoxes.push_back(std::string(title) + "|" + text);
}

void RecordFatal(const char* text)
{
    gFatal.emplace_back(text);
}

class Errors : public ::testing::Test {
protected:
    void SetUp() override
    {
        gSettings = Settings{};
        gBoxes.clear();
        gFatal.clear();
        SetMessageBoxHook(RecordBox);
        SetFatalStopHook(RecordFatal);
    }
    void TearDown() override
    {
        SetMessageBoxHook(nullptr);
        SetFatalStopHook(nullptr);
    }
    std::string Log() const { return root.Read("debug.txt"); }
    ScratchFolder root{"errors", true};
};

TEST_F(Errors, DebugLogLinesCarryVersionDateAndTime)
{
    ASSERT_EQ(AppendDebugLog("first"), 1);
    ASSERT_EQ(AppendDebugLog("second"), 1);
    std::regex line(R"(Vorn 0\.901 \d\d/\d\d/\d\d \d\d:\d\d:\d\d first\r\nVorn 0\.901 \d\d/\d\d/\d\d \d\d:\d\d:\d\d second\r\n)");
    EXPECT_TRUE(std::regex_match(Log(), line)) << Log();
}

TEST_F(Errors, DebugLogThatCannotBeOpenedLosesTheLineQuietly)
{
    fs::create_directory(root / "debug.txt"); // a folder in the log's place
    EXPECT_EQ(AppendDebugLog("lost"), 0);
}

TEST_F(Errors, WithTheDebugFileSwitchWhatTheLogCannotTakeReachesStandardError)
{
    gSettings.debuggerOutput = 0; // "debugfile"
    fs::create_directory(root / "debug.txt");
    ::testing::internal::CaptureStderr();
    DebugPrint("a printed line\n");
    DebugMessageBox("a box's text", "TITLE");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("a printed line\n"), std::string::npos) << err;
    EXPECT_NE(err.find("a box's text\n"), std::string::npos) << err;
    EXPECT_TRUE(gBoxes.empty());
}

TEST_F(Errors, AFileThatCannotBeUsedIsNamedOnceWithWhy)
{
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i)
        ReportDataFileFailure("zqk\\resource\\fonts\\demo.fnt", "not a regular file");
    ReportDataFileFailure("zqk\\resource\\fonts\\demo.fnt", "empty");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Kelvandrist: cannot use the file zqk\\resource\\fonts\\demo.fnt: not a regular file\n"
                   "Kelvandrist: cannot use the file zqk\\resource\\fonts\\demo.fnt: empty\n");
}

// Where DebugMessageBox sends its text.
struct BoxCase {
    uint8_t debuggerOutput, demo, fullScreen;
    bool box, log, debugger;
};

TEST_F(Errors, MessageBoxGoesWhereTheSettingsSay)
{
    const BoxCase cases[] = {
        {1, 0, 0, true, false, false},    // windowed: a box
        {1, 0, 255, false, false, true},  // full screen: debugger output, never a box
        {1, 255, 0, false, false, false}, // demo: nothing at all
        {0, 0, 0, false, true, false},    // "debugfile": the log, text without title
        {0, 255, 255, false, true, false},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.debuggerOutput) << " " << int(c.demo) << " " << int(c.fullScreen));
        fs::remove(root / "debug.txt");
        gBoxes.clear();
        gSettings.debuggerOutput = c.debuggerOutput;
        gSettings.demo = c.demo;
        gSettings.fullScreen = c.fullScreen;
        ::testing::internal::CaptureStderr();
        DebugMessageBox("Can't find it", "RESMAN error");
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(gBoxes, c.box ? std::vector<std::string>{"RESMAN error|Can't find it"} : std::vector<std::string>{});
        EXPECT_EQ(Log().find("Can't find it") != std::string::npos, c.log);
        EXPECT_EQ(Log().find("RESMAN"), std::string::npos);
        EXPECT_EQ(err == "Can't find it", c.debugger) << err;
    }
}

TEST_F(Errors, DebugPrintGoesToTheDebuggerOrWithDebugFileToTheLog)
{
    ::testing::internal::CaptureStderr();
    DebugPrint("to the debugger\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "to the debugger\n");
    gSettings.debuggerOutput = 0;
    DebugPrint("to the log");
    EXPECT_NE(Log().find(" to the log\r\n"), std::string::npos);
}

TEST_F(Errors, DebugPrintfIsBounded)
{
    gSettings.debuggerOutput = 0;
    std::string huge(5000, 'z');
    DebugPrintf("%s", huge.c_str());
    std::string log = Log();
    EXPECT_NE(log.find(std::string(1023, 'z') + "\r\n"), std::string::npos);
    EXPECT_EQ(log.find(std::string(1024, 'z')), std::string::npos);
}

TEST_F(Errors, VerificationReportsFileLineAndConditionThenStops)
{
    gSettings.debuggerOutput = 0;
    ReportVerifyFailure("count < 10", "world/pools.cpp", 42);
    EXPECT_NE(Log().find("\nworld/pools.cpp(42) : Verification Failure: ->count < 10\n"), std::string::npos);
    EXPECT_EQ(gFatal, std::vector<std::string>{"V"});
}

TEST_F(Errors, VerifyMacroReportsOnlyFailedConditions)
{
    int value = 3;
    KV_VERIFY(value == 3);
    EXPECT_TRUE(gFatal.empty());
    ::testing::internal::CaptureStderr();
    KV_VERIFY(value == 4);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(gFatal, std::vector<std::string>{"V"});
    EXPECT_NE(err.find("errors_test.cpp"), std::string::npos);
    EXPECT_NE(err.find(" : Verification Failure: ->value == 4"), std::string::npos);
}

TEST_F(Errors, FatalStopHookMayThrow)
{
    SetFatalStopHook([](const char* text) { throw std::runtime_error(text); });
    EXPECT_THROW(FatalError("Exceeded max SceneItems"), std::runtime_error);
}

TEST_F(Errors, ConsoleTextNeedsTheConsoleSwitch)
{
    ::testing::internal::CaptureStdout();
    ConsolePrint("quiet\n");
    gSettings.console = 255;
    ConsolePrint("loud\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "loud\n");
}

TEST_F(Errors, Win32ErrorShowsItsTitle)
{
    errno = ENOENT;
    ShowWin32Error();
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(gBoxes[0].rfind("Win32 Error|", 0), 0u);
}

TEST_F(Errors, DevCommandFileJoinsTheMessageLogOnceASecond)
{
    platform::SetDrive('H', platform::DriveType::Fixed, root.Path().c_str());
    MessageLogFont font;
    const std::string file = "zqk/resource/text/test/out.txt";
    const int32_t savedTicks = gFrameClock.frameTicks;

    gFrameClock.frameTicks = 100;
    PollDevCommandFile(); // the countdown runs out: nothing waits yet
    root.Write(file, "ADD SHIP\r\n");
    gFrameClock.frameTicks = 60;
    PollDevCommandFile(); // 40 ticks to go
    EXPECT_TRUE(fs::exists(root / file));
    EXPECT_STREQ(gMessageLogPendingText, "");
    PollDevCommandFile();
    EXPECT_FALSE(fs::exists(root / file));
    EXPECT_STREQ(gMessageLogPendingText, "ADD SHIP\r\n");
    EXPECT_EQ(gMessageLogPendingStyle, 1);

    root.Write(file, std::string(1000, 'x')); // too long: left alone
    gFrameClock.frameTicks = 100;
    PollDevCommandFile();
    EXPECT_TRUE(fs::exists(root / file));
    EXPECT_STREQ(gMessageLogPendingText, "ADD SHIP\r\n");

    gFrameClock.frameTicks = savedTicks;
    platform::ResetDrives();
}

using ErrorsDeathTest = Errors;

TEST_F(ErrorsDeathTest, FatalStopWithDebugFileLogsAndEndsWithFailure)
{
    SetFatalStopHook(nullptr);
    gSettings.debuggerOutput = 0;
    EXPECT_EXIT(FatalError("Exceeded max SceneItems"), ::testing::ExitedWithCode(kExitFailure), "");
    EXPECT_NE(Log().find(" Exceeded max SceneItems\r\n"), std::string::npos) << Log();
}

TEST_F(ErrorsDeathTest, FatalStopWithoutDebuggerLogsAndEndsWithFailure)
{
    SetFatalStopHook(nullptr);
    EXPECT_EXIT(FatalError("No more TDPs left"), ::testing::ExitedWithCode(kExitFailure), "No more TDPs left");
    EXPECT_NE(Log().find(" No more TDPs left\r\n"), std::string::npos) << Log();
}

TEST_F(ErrorsDeathTest, FrameworkDiagnosticsEndWithCodeTen)
{
    SetMessageBoxHook(nullptr);
    EXPECT_EXIT(DiagWarning("bad token"), ::testing::ExitedWithCode(kExitDiagnostic), "WARNING: bad token");
    EXPECT_EXIT(DiagFailure("no memory"), ::testing::ExitedWithCode(kExitDiagnostic), "ERROR: no memory");
}

} // namespace
