// Scene tests that read and write files, in a temporary folder of their own.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/scene/scene_fixture.h"

class HxSceneFiles : public HxScene {
protected:
    void SetUp() override
    {
        root = std::filesystem::temp_directory_path() /
               ("hx_scene_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(root);
        old = std::filesystem::current_path();
        std::filesystem::current_path(root);
        HxScene::SetUp();
    }
    void TearDown() override
    {
        HxScene::TearDown();
        std::filesystem::current_path(old);
        std::filesystem::remove_all(root);
    }
    static void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    std::streamsize(bytes.size()));
    }
    static void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
    static std::vector<uint8_t> ReadBytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string ReadText(const std::string& path)
    {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::filesystem::path root, old;
};
