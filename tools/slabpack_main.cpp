// slabpack: packs a folder into a slab library, or lists a library.
//
//   slabpack OUT.slb FOLDER [PREFIX]   every file below FOLDER becomes an entry
//                                      named PREFIX + its path with '\'
//                                      separators (PREFIX defaults to "\", as
//                                      model and English text libraries use;
//                                      the French and German text libraries
//                                      use an empty prefix)
//   slabpack -l FILE.slb               lists the entries: offset, size, name
//
// Entries are packed in sorted name order so the same folder always gives the
// same bytes.
#include "platform/files.h"
#include "system/res/bytes.h"
#include "system/res/slab.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace fs = std::filesystem;

namespace {

int List(const char* path)
{
    std::vector<uint8_t> file;
    if (!platform::ReadWholeFile(path, file)) {
        std::fprintf(stderr, "slabpack: cannot read %s\n", path);
        return 1;
    }
    if (file.size() < kSlabHeaderSize) {
        std::fprintf(stderr, "slabpack: %s is not a slab library\n", path);
        return 1;
    }
    uint64_t count = res::GetU32LE(&file[4]);
    uint64_t directory = res::GetU32LE(&file[8]);
    if (directory > file.size() || count > (file.size() - directory) / kSlabEntrySize) {
        std::fprintf(stderr, "slabpack: %s has a damaged directory\n", path);
        return 1;
    }
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* e = &file[directory + i * kSlabEntrySize];
        char name[kSlabNameSize + 1] = {};
        std::memcpy(name, e, kSlabNameSize);
        std::printf("%10u %10u %s\n", res::GetU32LE(e + 64), res::GetU32LE(e + 68), name);
    }
    return 0;
}

int Pack(const char* out, const char* folder, const char* prefix)
{
    std::vector<SlabPackItem> items;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (!entry.is_regular_file())
            continue;
        std::string name = prefix + fs::relative(entry.path(), folder).generic_string();
        std::replace(name.begin(), name.end(), '/', '\\');
        SlabPackItem item{name, {}};
        if (!platform::ReadWholeFile(entry.path().c_str(), item.data)) {
            std::fprintf(stderr, "slabpack: cannot read %s\n", entry.path().c_str());
            return 1;
        }
        items.push_back(std::move(item));
    }
    if (error) {
        std::fprintf(stderr, "slabpack: cannot read %s\n", folder);
        return 1;
    }
    std::sort(items.begin(), items.end(), [](const SlabPackItem& a, const SlabPackItem& b) { return a.name < b.name; });
    std::vector<uint8_t> bytes;
    if (!SlabBuild(items, bytes)) {
        std::fprintf(stderr, "slabpack: a name is longer than %zu characters, or the library passes 4 GiB\n",
                     kSlabNameSize - 1);
        return 1;
    }
    if (!platform::WriteFileAtomically(out, bytes.data(), bytes.size())) {
        std::fprintf(stderr, "slabpack: cannot write %s\n", out);
        return 1;
    }
    std::printf("slabpack: %zu entries, %zu bytes\n", items.size(), bytes.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "-l") == 0)
        return List(argv[2]);
    if (argc == 3 || argc == 4)
        return Pack(argv[1], argv[2], argc == 4 ? argv[3] : "\\");
    std::fprintf(stderr, "usage: slabpack OUT.slb FOLDER [PREFIX] | slabpack -l FILE.slb\n");
    return 2;
}
