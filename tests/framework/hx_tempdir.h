// A temporary working folder for framework tests that read and write files.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/framework/hx_fixture.h"

// Any framework fixture, run in a folder of its own that goes afterwards.
template <typename Base>
class HxInTempFolder : public Base {
protected:
    void SetUp() override
    {
        root = std::filesystem::temp_directory_path() /
               ("hx_files_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(root);
        old = std::filesystem::current_path();
        std::filesystem::current_path(root);
        Base::SetUp();
    }
    void TearDown() override
    {
        Base::TearDown();
        std::filesystem::current_path(old);
        std::filesystem::remove_all(root);
    }
    static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
    static std::vector<uint8_t> ReadBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string ReadText(const std::string& path)
    {
        auto bytes = ReadBytes(path);
        return {bytes.begin(), bytes.end()};
    }
    std::filesystem::path root, old;
};

using HxFiles = HxInTempFolder<HxFramework>;
