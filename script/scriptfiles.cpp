// Script files and the script name store. See scriptfiles.h.
#include "script/scriptfiles.h"

#include "platform/files.h"
#include "system/errors.h"
#include "system/res/slab.h"

#include <cstring>
#include <string_view>

ScriptNameStore gScriptNames;

namespace {

struct ExtensionFolder {
    const char* extension;
    const char* folder;
};

constexpr ExtensionFolder kExtensionFolders[] = {
    {"shp", "zqk\\resource\\scripts\\ships"},
    {"ord", "zqk\\resource\\scripts\\orders"},
    {"gui", "zqk\\resource\\scripts\\gui"},
    {"scr", "zqk\\resource\\scripts\\missions"},
    {"lwo", "zqk\\resource\\shapes"},
    {"box", "zqk\\resource\\scripts\\bounds"},
    {"htm", "zqk\\resource\\text\\docs"},
};

uint32_t gNameStoreMark = 1;

// A name already in the store is used again rather than stored twice, so
// compiling the same files over and over never fills the store.
uint32_t RecordScriptName(std::string_view path)
{
    for (uint32_t at = 1; at < gScriptNames.cursor;) {
        std::string_view stored(gScriptNames.bytes + at);
        if (stored == path)
            return at;
        at += static_cast<uint32_t>(stored.size()) + 1;
    }
    if (path.size() + 1 >= kScriptNameStoreSize - gScriptNames.cursor) {
        DebugPrintf("Script name store full: %.*s\n", static_cast<int>(path.size()), path.data());
        return gScriptNames.current;
    }
    uint32_t at = gScriptNames.cursor;
    std::memcpy(gScriptNames.bytes + at, path.data(), path.size());
    gScriptNames.bytes[at + path.size()] = 0;
    gScriptNames.cursor += static_cast<uint32_t>(path.size()) + 1;
    return at;
}

} // namespace

const char* ScriptNameAt(uint32_t offset)
{
    return offset < gScriptNames.cursor ? gScriptNames.bytes + offset : "";
}

std::string ScriptFilePath(const char* name)
{
    std::string_view view(name);
    bool qualified = view.starts_with("zqk\\") || (view.size() >= 2 && view[1] == ':');
    if (!qualified && view.size() >= 3) {
        std::string_view extension = view.substr(view.size() - 3);
        for (const ExtensionFolder& row : kExtensionFolders)
            if (extension == row.extension)
                return std::string(row.folder) + "\\" + name;
    }
    return std::string(name);
}

namespace {

constexpr const char* kTooLarge = "larger than the size allowed";

// Opens the script at `path` as OpenScriptFile does; null and why when it
// cannot be compiled (an empty one opens).
std::FILE* OpenScriptPath(const std::string& path, uint32_t* bytes, const char** reason)
{
    *bytes = 0;
    std::FILE* file = SlabOpen("scripts", path.c_str(), bytes);
    if (!file) {
        *reason = platform::DataFileFailure();
        return nullptr;
    }
    if (*bytes > kScriptFileMaxBytes) {
        std::fclose(file);
        *reason = kTooLarge;
        return nullptr;
    }
    *reason = nullptr;
    return file;
}

} // namespace

std::FILE* OpenScriptFile(const char* name, long* size)
{
    std::string path = ScriptFilePath(name);
    gScriptNames.current = RecordScriptName(path);
    uint32_t bytes = 0;
    const char* reason = nullptr;
    std::FILE* file = OpenScriptPath(path, &bytes, &reason);
    if (!file && std::strcmp(reason, platform::kDataFileNotFound) != 0)
        ReportDataFileFailure(path.c_str(), reason);
    else if (file && bytes == 0)
        ReportDataFileFailure(path.c_str(), "empty");
    *size = file ? static_cast<long>(bytes) : 0;
    return file;
}

const char* ScriptFileFailure(const char* name)
{
    uint32_t bytes = 0;
    const char* reason = nullptr;
    std::FILE* file = OpenScriptPath(ScriptFilePath(name), &bytes, &reason);
    if (!file)
        return reason;
    std::fclose(file);
    return bytes == 0 ? "empty" : nullptr;
}

void ReportScriptIfNotFound(const char* name)
{
    if (std::strcmp(platform::DataFileFailure(), platform::kDataFileNotFound) == 0)
        ReportDataFileFailure(ScriptFilePath(name).c_str(), platform::kDataFileNotFound);
}

void ResetScriptNameStore()
{
    std::memset(gScriptNames.bytes, 0, sizeof gScriptNames.bytes);
    gScriptNames.cursor = 1; // offset 0 is the empty name
    gScriptNames.current = 0;
    gNameStoreMark = 1;
}

void MarkScriptNameStore()
{
    gNameStoreMark = gScriptNames.cursor;
}

void RollBackScriptNameStore()
{
    gScriptNames.cursor = gNameStoreMark;
    if (gScriptNames.current >= gScriptNames.cursor)
        gScriptNames.current = 0;
}
