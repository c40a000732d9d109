// Shared set-up for the script tests: the script system started once per
// program and rolled back before every test, message boxes turned into
// exceptions (so a fatal script error stops the test, not the program), and
// a scratch folder laid out like the game's data tree.
#pragma once

#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/errors.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

struct ScriptStop {
    std::string title;
    std::string text;
};

inline void ThrowScriptStop(const char* text, const char* title)
{
    throw ScriptStop{title, text};
}

inline void StartScriptSystemOnce()
{
    static const bool started = [] {
        InitializeScriptSystem();
        return true;
    }();
    (void)started;
}

// Every script test starts and ends with a fresh mission state and message
// boxes that throw.
inline void BeginScriptTest()
{
    SetMessageBoxHook(ThrowScriptStop);
    StartScriptSystemOnce();
    ResetMissionScript();
}

inline void EndScriptTest()
{
    ResetMissionScript();
    SetMessageBoxHook(nullptr);
}

// Golden-file fixtures: a fresh mission state, with a checked-in data folder
// as the current folder for the test's duration.
template <class Param>
class ScriptGoldenTest : public ::testing::TestWithParam<Param> {
protected:
    explicit ScriptGoldenTest(std::filesystem::path data) : data_(std::move(data)) {}
    void SetUp() override
    {
        BeginScriptTest();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(data_);
    }
    void TearDown() override
    {
        EndScriptTest();
        std::filesystem::current_path(previous_);
    }
    std::filesystem::path data_, previous_;
};

// A whole file's bytes.
inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The fixture: a fresh mission state, and a scratch data tree as the
// current folder; missions go to zqk/resource/scripts/missions.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BeginScriptTest();
        previous_ = std::filesystem::current_path();
        root_ = std::filesystem::temp_directory_path() /
                ("kv_script_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "zqk/resource/scripts/missions");
        std::filesystem::current_path(root_);
    }

    void TearDown() override
    {
        EndScriptTest();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(root_);
    }

    // Writes bytes to a path below the scratch root ('/' separated).
    void WriteFile(const std::string& path, const std::string& bytes)
    {
        std::filesystem::path full = root_ / path;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << bytes;
    }

    void WriteMission(const std::string& name, const std::string& bytes)
    {
        WriteFile("zqk/resource/scripts/missions/" + name, bytes);
    }

    // Compiles a mission text and returns the error it stopped with
    // (an empty title when it compiled).
    ScriptStop CompileExpectingStop(const std::string& bytes)
    {
        WriteMission("stop.scr", bytes);
        try {
            TokeniseScript("stop.scr");
        } catch (const ScriptStop& stop) {
            return stop;
        }
        return {};
    }

    std::filesystem::path root_;
    std::filesystem::path previous_;
};
