// Slab libraries: directory search, the three readers and the library
// builder used by the pack tool. See slab.h.
#include "system/res/slab.h"

#include "platform/files.h"
#include "system/errors.h"
#include "system/res/bytes.h"
#include "system/settings.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// Library names by resource library row and language (English, French,
// German); rows not listed have no library.
struct RowLibraries {
    int row;
    const char* names[3];
};
constexpr RowLibraries kRowLibraries[] = {
    {6, {"shapes", "shapes", "shapes"}},
    {7, {"shapes", "shapes", "shapes"}},
    {9, {"text", "frn_", "ger_"}},
    {10, {"shapes", "shapes", "shapes"}},
};

// Where the first four characters of the library name first occur in the
// path (ignoring case), or null.
const char* FindLibraryPrefix(const char* library, const char* path)
{
    std::size_t n = std::strlen(library);
    if (n > 4)
        n = 4;
    if (n == 0)
        return nullptr;
    for (const char* p = path; *p; ++p)
        if (platform::SameDataPathPrefix(p, library, n))
            return p;
    return nullptr;
}

// The key of a path inside a library for SlabOpen: from the first '\' at or
// after the library prefix; the last three characters when the prefix does
// not occur; null when no '\' follows it.
const char* OpenKey(const char* library, const char* path)
{
    const char* at = FindLibraryPrefix(library, path);
    if (!at) {
        std::size_t n = std::strlen(path);
        return n >= 3 ? path + n - 3 : path;
    }
    for (; *at; ++at)
        if (*at == '\\' || *at == '/')
            return at;
    return nullptr;
}

// The key of a text path: right after the library prefix, or null.
const char* TextKey(const char* library, const char* path)
{
    const char* at = FindLibraryPrefix(library, path);
    if (!at)
        return nullptr;
    std::size_t n = std::strlen(library);
    return at + (n > 4 ? 4 : n);
}

// Entry names compare eight bytes at a time: each word folded the way
// platform::FoldDataPathChar folds a character (ASCII capitals to small
// letters, '/' to '\\', every other byte as it is).
constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHigh = 0x8080808080808080ull;

uint64_t FoldWord(uint64_t x)
{
    uint64_t low = x & ~kHigh;
    uint64_t atLeastA = low + (0x80 - 'A') * kOnes; // high bit set where low >= 'A'
    uint64_t pastZ = low + (0x7F - 'Z') * kOnes;    // high bit set where low > 'Z'
    uint64_t capital = (atLeastA ^ pastZ) & ~x & kHigh;
    x |= capital >> 2; // + 0x20
    uint64_t v = x ^ ('/' * kOnes);
    uint64_t slash = ~(((v & ~kHigh) + ~kHigh) | v) & kHigh; // high bit set where the byte is '/'
    return x ^ ((slash >> 7) * ('/' ^ '\\'));
}

uint64_t LoadWord(const uint8_t* p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// A key folded and zero-padded to a whole entry name, with its length.
struct FoldedKey {
    uint8_t bytes[kSlabNameSize + 8] = {};
    std::size_t length = 0; // characters before the zero byte
};

// False when the key cannot be an entry name (64 characters or more).
bool FoldKey(const char* key, FoldedKey* out)
{
    std::size_t n = std::strlen(key);
    if (n >= kSlabNameSize)
        return false;
    for (std::size_t i = 0; i < n; ++i)
        out->bytes[i] = static_cast<uint8_t>(platform::FoldDataPathChar(key[i]));
    out->length = n;
    return true;
}

// The entry's name is the key: the same folded characters and then its zero
// byte (which the name must have within its 64 bytes).
bool SameName(const uint8_t* name, const FoldedKey& key)
{
    if (name[key.length] != 0)
        return false; // a name of another length
    std::size_t bytes = key.length + 1;
    std::size_t at = 0;
    for (; at + 8 <= bytes; at += 8) {
        uint64_t word = LoadWord(name + at);
        // Quick refusal: bytes that differ other than in the case bit, in a
        // word without a '/' (the test may see a '/' where there is none,
        // never the other way).
        uint64_t differ = (word ^ LoadWord(key.bytes + at)) & ~(0x20 * kOnes);
        uint64_t v = word ^ ('/' * kOnes);
        if (differ && !((v - kOnes) & ~v & kHigh))
            return false;
        if (FoldWord(word) != LoadWord(key.bytes + at))
            return false;
    }
    if (at == bytes)
        return true;
    uint64_t mask = (uint64_t(1) << (8 * (bytes - at))) - 1;
    // The last word may reach past the name into the entry's offset: masked.
    return ((FoldWord(LoadWord(name + at)) ^ LoadWord(key.bytes + at)) & mask) == 0;
}

// A library that is there but cannot be opened (not a regular file, no
// permission) is named; the loose files are then used, as without one.
std::FILE* OpenLibrary(const char* library)
{
    const std::string path = SlabLibraryPath(library);
    std::FILE* file = platform::OpenDataFile(path.c_str(), "rb");
    if (!file && std::strcmp(platform::DataFileFailure(), platform::kDataFileNotFound) != 0)
        ReportDataFileFailure(path.c_str(), platform::DataFileFailure());
    return file;
}

// Finds a text entry in its library: 1 found, 0 not found, -1 no key or the
// library does not open.
int FindTextEntry(const char* library, const char* path, std::FILE** file, SlabEntry* entry)
{
    *file = nullptr;
    const char* key = library && path ? TextKey(library, path) : nullptr;
    if (!key)
        return -1;
    *file = OpenLibrary(library);
    if (!*file)
        return -1;
    return SlabFindEntry(*file, key, entry) ? 1 : 0;
}

} // namespace

std::string SlabLibraryPath(const char* library)
{
    return std::string("zqk\\resource\\") + library + ".slb";
}

const char* SlabLibraryForRow(int row)
{
    unsigned language = gSettings.language < 3 ? gSettings.language : 0;
    for (const RowLibraries& r : kRowLibraries)
        if (r.row == row)
            return r.names[language];
    return nullptr;
}

bool SlabLibraryExists(const char* library)
{
    return library && platform::DataFileExists(SlabLibraryPath(library).c_str());
}

bool SlabFindEntry(std::FILE* file, const char* key, SlabEntry* entry)
{
    long length = platform::FileSize(file);
    if (length < static_cast<long>(kSlabHeaderSize))
        return false;
    uint8_t header[kSlabHeaderSize];
    if (!platform::ReadFileAt(file, 0, header, sizeof header))
        return false;
    uint64_t count = res::GetU32LE(header + 4);
    uint64_t directory = res::GetU32LE(header + 8);
    uint64_t fileSize = static_cast<uint64_t>(length);
    if (directory > fileSize || count > (fileSize - directory) / kSlabEntrySize)
        return false;
    // A key of 64 characters or more names no entry: entry names end within
    // their 64 bytes.
    FoldedKey folded;
    if (!FoldKey(key, &folded))
        return false;

    // The directory comes in one read (in pieces of up to 16,384 entries for
    // a giant one) and is searched in order: the first equal name wins. The
    // buffer stays for the next search.
    constexpr uint64_t kPieceEntries = 16384;
    thread_local std::vector<uint8_t> entries;
    for (uint64_t done = 0; done < count;) {
        uint64_t n = count - done < kPieceEntries ? count - done : kPieceEntries;
        std::size_t bytes = static_cast<std::size_t>(n * kSlabEntrySize);
        if (entries.size() < bytes)
            entries.resize(bytes);
        if (!platform::ReadFileAt(file, directory + done * kSlabEntrySize, entries.data(), bytes))
            return false;
        for (std::size_t at = 0; at < bytes; at += kSlabEntrySize) {
            const uint8_t* e = entries.data() + at;
            if (!SameName(e, folded))
                continue;
            uint64_t offset = res::GetU32LE(e + 64);
            uint64_t size = res::GetU32LE(e + 68);
            if (offset > fileSize || size > fileSize - offset)
                return false;
            if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0)
                return false;
            entry->offset = static_cast<uint32_t>(offset);
            entry->size = static_cast<uint32_t>(size);
            return true;
        }
        done += n;
    }
    return false;
}

std::FILE* SlabOpen(const char* library, const char* path, uint32_t* size)
{
    if (!path)
        return nullptr;
    if (library && !gSettings.noSlab) {
        const char* key = OpenKey(library, path);
        std::FILE* file = key ? OpenLibrary(library) : nullptr;
        if (file) {
            SlabEntry entry;
            if (SlabFindEntry(file, key, &entry)) {
                if (size)
                    *size = entry.size;
                return file;
            }
            std::fclose(file);
        }
    }
    std::FILE* file = platform::OpenDataFile(path, "rb");
    if (file && size) {
        // A file past 4 GiB is told as the largest size, never as the
        // remainder, so that a size check refuses it.
        long length = platform::FileLength(file);
        *size = length <= 0 ? 0 : length > long{UINT32_MAX} ? UINT32_MAX
                                                            : static_cast<uint32_t>(length);
        std::fseek(file, 0, SEEK_SET);
    }
    return file;
}

uint32_t SlabFindSize(const char* library, const char* path)
{
    std::FILE* file;
    SlabEntry entry;
    int found = FindTextEntry(library, path, &file, &entry);
    if (file)
        std::fclose(file);
    return found == 1 ? entry.size : 0;
}

uint8_t* SlabReadInto(const char* library, const char* path, std::span<uint8_t> buffer,
                      uint32_t* bytesRead)
{
    *bytesRead = 0;
    std::FILE* file;
    SlabEntry entry;
    int found = FindTextEntry(library, path, &file, &entry);
    if (found < 0) {
        if (file)
            std::fclose(file);
        return nullptr;
    }
    if (found == 1 && entry.size <= buffer.size() &&
        std::fread(buffer.data(), 1, entry.size, file) == entry.size)
        *bytesRead = entry.size;
    std::fclose(file);
    return buffer.data();
}

bool SlabBuild(std::span<const SlabPackItem> items, std::vector<uint8_t>& out)
{
    uint64_t total = kSlabHeaderSize + items.size() * kSlabEntrySize;
    for (const SlabPackItem& item : items) {
        if (item.name.size() >= kSlabNameSize)
            return false;
        total += item.data.size();
    }
    if (total > UINT32_MAX)
        return false;

    out.assign(kSlabHeaderSize, 0);
    out.reserve(static_cast<std::size_t>(total));
    std::vector<uint32_t> offsets;
    for (const SlabPackItem& item : items) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        res::AppendBytes(out, item.data.data(), item.data.size());
    }
    res::PutU32LE(&out[4], static_cast<uint32_t>(items.size()));
    res::PutU32LE(&out[8], static_cast<uint32_t>(out.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        uint8_t name[kSlabNameSize] = {};
        std::memcpy(name, items[i].name.data(), items[i].name.size());
        res::AppendBytes(out, name, sizeof name);
        res::AppendU32LE(out, offsets[i]);
        res::AppendU32LE(out, static_cast<uint32_t>(items[i].data.size()));
    }
    return true;
}
