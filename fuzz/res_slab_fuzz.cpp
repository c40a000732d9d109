// Fuzz target: slab library directories, searched through an in-memory file
// for a fixed key and for the name of each of the first entries.
#include "system/res/slab.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::vector<uint8_t> copy(data, data + size);
    std::FILE* file = fmemopen(copy.data(), copy.size(), "rb");
    if (!file)
        return 0;
    SlabEntry entry;
    std::vector<uint8_t> bytes;
    auto readEntry = [&](const char* key) {
        if (!SlabFindEntry(file, key, &entry))
            return;
        bytes.resize(entry.size);
        if (std::fread(bytes.data(), 1, entry.size, file) != entry.size)
            __builtin_trap(); // a found entry always lies inside the file
    };
    readEntry("\\brief.txt");
    for (std::size_t at = 12; at + kSlabNameSize <= size && at < 12 + 4 * kSlabEntrySize; at += kSlabEntrySize) {
        char key[kSlabNameSize + 1] = {};
        std::memcpy(key, data + at, kSlabNameSize);
        readEntry(key);
    }
    std::fclose(file);
    return 0;
}
