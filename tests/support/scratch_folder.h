// A temporary folder for one test: created empty, optionally made the
// current directory, and removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name, bool enter = false)
        : root_(std::filesystem::temp_directory_path() / ("kv_" + name + "_" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
        if (enter) {
            previous_ = std::filesystem::current_path();
            std::filesystem::current_path(root_);
        }
    }
    ~ScratchFolder()
    {
        if (!previous_.empty())
            std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return root_; }
    std::filesystem::path operator/(const std::string& relative) const { return root_ / relative; }

    // Writes a file below the folder, making its folders.
    void Write(const std::string& relative, const std::string& bytes) const
    {
        std::filesystem::path file = root_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    // The whole of a file below the folder ("" when missing).
    std::string Read(const std::string& relative) const
    {
        std::ifstream in(root_ / relative, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path root_;
    std::filesystem::path previous_;
};
