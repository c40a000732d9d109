// RESMAN: the resource records, the name hash, the pool with its mark, and
// the shared backdrop. See resman.h; the loaders are in loaders.h.
#include "system/res/resman.h"

#include "platform/files.h"
#include "platform/host.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/raster.h"
#include "system/res/loaders.h"
#include "system/res/slab.h"
#include "system/settings.h"
#include "view/lwoloader.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr const char* kSourcePath = "C:\\zqk\\ZQSYS\\RES\\RESMAN";
constexpr const char* kErrorTitle = "RESMAN error";

// How each conversion type is sized, where it may live and how it loads.
// A type with a size query takes its size from the file at registration;
// otherwise fixedSize is reserved. One row per type, in type order: InfoOf
// indexes the rows by type.
struct TypeInfo {
    ResType type;
    bool valid = false;
    int32_t fixedSize = 0;
    ResSizeQuery sizeQuery = nullptr;
    int32_t libraryRow = 0;
    ResLoader loader = nullptr;   // null: the block itself is the data (or nothing)
    bool reload = false;          // run the loader on every request
    bool model = false;           // set the model flag after loading
    ResRelease release = nullptr; // frees data kept outside the pool
};

constexpr int32_t kHeaderSize = static_cast<int32_t>(sizeof(Raster));
constexpr int32_t kPaletteSize = static_cast<int32_t>(sizeof(GamePalette));

constexpr TypeInfo kTypes[] = {
    {.type = ResType::Sized},
    {.type = ResType::LbmPalette, .valid = true, .fixedSize = kPaletteSize, .libraryRow = 0, .loader = IffPaletteLoad},
    {.type = ResType::LbmRaster, .valid = true, .sizeQuery = IffRasterSize, .libraryRow = 1, .loader = IffRasterLoad},
    {.type = ResType::RasterHeader, .valid = true, .fixedSize = kHeaderSize, .libraryRow = 2, .reload = true},
    {.type = ResType::PcxPalette, .valid = true, .fixedSize = kPaletteSize, .libraryRow = 0, .loader = PcxPaletteLoad},
    {.type = ResType::PcxRaster, .valid = true, .sizeQuery = PcxRasterResourceSize, .libraryRow = 1, .loader = PcxRasterLoad},
    {.type = ResType::PcxBackdrop, .valid = true, .fixedSize = kHeaderSize, .libraryRow = 2, .reload = true},
    {.type = ResType::ColourMap, .valid = true, .fixedSize = static_cast<int32_t>(kColourMapSize), .libraryRow = 3, .loader = ColourMapLoad},
    {.type = ResType::FntFont, .valid = true, .sizeQuery = FntFontSize, .libraryRow = 4, .loader = FntFontLoad},
    {.type = ResType::FonFont, .valid = true, .sizeQuery = FonFontSize, .libraryRow = 4, .loader = FonFontLoad},
    {.type = ResType::VectorFont, .valid = true, .sizeQuery = VectorFontSize, .libraryRow = 5, .loader = VectorFontLoad},
    {.type = ResType::AscModel, .valid = true, .libraryRow = 6, .loader = ModelLoadUnavailable, .model = true},
    {.type = ResType::DatModel, .valid = true, .libraryRow = 6, .loader = ModelLoadUnavailable, .model = true},
    {.type = ResType::Avatar},
    {.type = ResType::Text, .valid = true, .sizeQuery = TextFileSize, .libraryRow = 9, .loader = TextLoad},
    {.type = ResType::LwoModel, .valid = true, .sizeQuery = LwoModelResourceSize, .libraryRow = 6, .loader = LwoModelLoad, .model = true},
    {.type = ResType::LwoWire, .valid = true, .sizeQuery = LwoWireResourceSize, .libraryRow = 7, .loader = LwoWireLoad, .model = true, .release = LwoWireRelease},
    {.type = ResType::Video, .valid = true, .libraryRow = 11},
    {.type = ResType::Avi, .valid = true, .libraryRow = 12},
    {.type = ResType::Sound, .valid = true, .sizeQuery = SoundSize, .libraryRow = 13, .loader = SoundLoad},
};
constexpr int kTypeCount = static_cast<int>(sizeof kTypes / sizeof kTypes[0]);
constexpr bool RowsInTypeOrder()
{
    for (int t = 0; t < kTypeCount; ++t)
        if (kTypes[t].type != static_cast<ResType>(t))
            return false;
    return true;
}
static_assert(RowsInTypeOrder() && kTypes[kTypeCount - 1].type == ResType::Sound);

struct Pool {
    uint8_t* base = nullptr;
    std::size_t size = 0;
    std::size_t taken = 0; // the top is base + taken; alignment padding counts
};

struct Mark {
    std::size_t taken = 0;
    int count = 0;
};

Resource gRecords[kResRecords];
int gCount = 0;

// The name index: records in use chained by a hash of their folded names,
// newest first, so a lookup looks at the few records of one bucket, not at
// all of them. The index hash reads the length and the last 32 characters
// only (names share long folder prefixes and differ at their ends); names
// that are the same path always get the same one. Links hold a record's
// index + 1; 0 ends a chain.
constexpr uint32_t kBuckets = 1024;
uint16_t gBucketHead[kBuckets];
uint16_t gChainNext[kResRecords]; // the next older record of the bucket
uint32_t gIndexHash[kResRecords];
uint8_t gNameLength[kResRecords];

constexpr std::array<uint8_t, 256> kFold = [] {
    std::array<uint8_t, 256> fold{};
    for (int c = 0; c < 256; ++c)
        fold[c] = static_cast<uint8_t>(platform::FoldDataPathChar(static_cast<char>(c)));
    return fold;
}();

// Four interleaved sums, so the characters do not wait on one another.
uint32_t IndexHash(const char* name, std::size_t length)
{
    const auto* p = reinterpret_cast<const uint8_t*>(name);
    std::size_t i = length > 32 ? length - 32 : 0;
    uint32_t a = static_cast<uint32_t>(length), b = 0x9E3779B9u, c = 0x85EBCA6Bu, d = 0xC2B2AE35u;
    for (; i + 4 <= length; i += 4) {
        a = a * 31 + kFold[p[i]];
        b = b * 31 + kFold[p[i + 1]];
        c = c * 31 + kFold[p[i + 2]];
        d = d * 31 + kFold[p[i + 3]];
    }
    for (; i < length; ++i)
        a = a * 37 + kFold[p[i]];
    uint32_t h = ((a * 31 + b) * 31 + c) * 31 + d;
    return h ^ (h >> 16);
}

void IndexClear()
{
    std::memset(gBucketHead, 0, sizeof gBucketHead);
}

void IndexAdd(int i)
{
    std::size_t length = std::strlen(gRecords[i].name);
    gIndexHash[i] = IndexHash(gRecords[i].name, length);
    gNameLength[i] = static_cast<uint8_t>(length);
    uint16_t& head = gBucketHead[gIndexHash[i] & (kBuckets - 1)];
    gChainNext[i] = head;
    head = static_cast<uint16_t>(i + 1);
}

// The first record in table order with that name (of `length` characters)
// and type, or null.
Resource* IndexFind(const char* name, std::size_t length, ResType type)
{
    uint32_t hash = IndexHash(name, length);
    Resource* found = nullptr;
    for (int link = gBucketHead[hash & (kBuckets - 1)]; link; link = gChainNext[link - 1]) {
        int i = link - 1;
        Resource& r = gRecords[i];
        if (gIndexHash[i] == hash && gNameLength[i] == length && r.type == type &&
            (std::memcmp(r.name, name, length) == 0 || platform::SameDataPath(r.name, name)))
            found = &r; // the chain runs newest first: the last match is the first in the table
    }
    return found;
}

Pool gPool;
Mark gMark;
uint32_t gWeights[256];

// The shared backdrop and the record whose picture it holds.
uint8_t* gBackdrop = nullptr;
GamePalette gBackdropPalette;
const Resource* gBackdropOwner = nullptr;
int gBackdropWidth = 0;
int gBackdropHeight = 0;

const TypeInfo* InfoOf(ResType type)
{
    int t = static_cast<int>(type);
    if (t < 0 || t >= kTypeCount || !kTypes[t].valid)
        return nullptr;
    return &kTypes[t];
}

// A pool block of n bytes, 16-byte aligned, or null when the pool cannot
// hold it. Nothing is given back before ResReleaseToMark.
uint8_t* PoolTake(std::size_t n)
{
    std::size_t start = (gPool.taken + kResPoolAlign - 1) & ~(kResPoolAlign - 1);
    if (!gPool.base || start > gPool.size || n >= gPool.size - start)
        return nullptr;
    gPool.taken = start + n;
    KV_DEBUG_VERIFY(reinterpret_cast<uintptr_t>(gPool.base + start) % kResPoolAlign == 0);
    return gPool.base + start;
}

// Gives a block back when nothing was taken after it, so a load that failed
// leaves the pool as it found it.
void PoolGiveBack(uint8_t* block, std::size_t n, std::size_t takenBefore)
{
    if (block && block + n == gPool.base + gPool.taken)
        gPool.taken = takenBefore;
}

// Whether a resource's file can be found: in its library (when its row has
// one and libraries are on) or as a loose file.
bool ResourceFileFound(const Resource& r)
{
    if (r.libraryRow == kResRowVideo)
        return true;
    const char* library = SlabLibraryForRow(r.libraryRow);
    if (library && !gSettings.noSlab) {
        if (r.libraryRow == kResRowTexts)
            return SlabFindSize(library, r.name) > 0 || ResFileExists(r.name);
        uint32_t size;
        std::FILE* f = SlabOpen(library, r.name, &size);
        if (f)
            std::fclose(f);
        return f != nullptr;
    }
    return ResFileExists(r.name);
}

// A file that is not there is "Could not find resource"; one that is there
// but cannot be read (not a regular file, no permission) is named with why.
void ReportMissing(const char* name)
{
    char text[kResNameSize + 128];
    const char* reason = platform::DataFileFailure();
    if (*reason && std::strcmp(reason, platform::kDataFileNotFound) != 0)
        std::snprintf(text, sizeof text, "Could not read resource '%s': %s", name, reason);
    else
        std::snprintf(text, sizeof text, "Could not find resource '%s'", name);
    // One file asked for under many records in a row (a font for every
    // font symbol) is reported once.
    static char previous[sizeof text];
    if (std::strcmp(previous, text) == 0)
        return;
    std::memcpy(previous, text, sizeof text);
    DebugMessageBox(text, kErrorTitle);
}

// Frees what a record's loader allocated outside the pool (the pool's own
// blocks go back with the mark).
void ReleaseOutsidePool(Resource& r)
{
    const TypeInfo* info = InfoOf(r.type);
    if (r.data && info && info->release)
        info->release(r.data);
}

int32_t SizeAtRegistration(const Resource& r, const TypeInfo& info)
{
    if (r.type == ResType::Text) {
        const char* library = SlabLibraryForRow(kResRowTexts);
        if (!gSettings.noSlab && SlabLibraryExists(library)) {
            uint32_t size = SlabFindSize(library, r.name);
            if (size > 0 && size < INT32_MAX)
                return static_cast<int32_t>(size) + 1;
        }
    }
    return info.sizeQuery ? info.sizeQuery(r.name) : info.fixedSize;
}

// The backdrop picture: decoded once per record into the shared backdrop,
// its header (in the record's block) pointing there.
void* LoadBackdrop(const Resource* r, std::span<uint8_t> block)
{
    if (!gBackdrop || block.size() < sizeof(Raster))
        return nullptr;
    if (r != gBackdropOwner) {
        gBackdropOwner = nullptr;
        if (!PcxDecodeFile(r->name, gBackdrop, kBackdropWidth, kBackdropHeight, &gBackdropPalette,
                           &gBackdropWidth, &gBackdropHeight))
            return nullptr;
        gBackdropOwner = r;
    }
    Raster* raster = reinterpret_cast<Raster*>(block.data());
    raster->pixels = gBackdrop;
    raster->width = static_cast<int16_t>(gBackdropWidth);
    raster->height = static_cast<int16_t>(gBackdropHeight);
    raster->xOffset = 0;
    raster->yOffset = 0;
    return raster;
}

// Texts come from the language's text library when it exists and holds them,
// else from the loose file.
void* LoadText(const Resource* r, std::span<uint8_t> block, int32_t* resultSize)
{
    const char* library = SlabLibraryForRow(kResRowTexts);
    if (!gSettings.noSlab && SlabLibraryExists(library) && !block.empty()) {
        uint32_t read = 0;
        if (SlabReadInto(library, r->name, block.first(block.size() - 1), &read) && read > 0) {
            block[read] = 0;
            *resultSize = static_cast<int32_t>(read) + 1;
            return block.data();
        }
    }
    return TextLoad(r->name, block, resultSize);
}

} // namespace

uint32_t ResNameHash(const char* name)
{
    uint32_t sum = 0;
    uint32_t pairs = 0;
    for (const char* p = name; *p; ++p) {
        uint32_t w = gWeights[static_cast<uint8_t>(platform::FoldDataPathChar(*p))];
        sum += w;
        if (p[1])
            pairs += w * gWeights[static_cast<uint8_t>(platform::FoldDataPathChar(p[1]))];
    }
    return ((pairs >> 8) & 0xFF) << 24 | sum;
}

std::size_t ResInit()
{
    ResShutdown();
    for (uint32_t k = 0; k < 256; ++k)
        gWeights[k] = k + 256 * (static_cast<uint32_t>(CRand()) % 256);

    // The pool takes what memory is free, less a margin, up to its cap.
    platform::MemoryStatus memory = platform::QueryMemoryStatus();
    uint64_t available = memory.availablePhysical + memory.availablePageFile;
    if (available < kResMemoryMargin) {
        ReportVerifyFailure("No Available Memory for resource manager", kSourcePath, __LINE__);
        return 0;
    }
    std::size_t size = available - kResMemoryMargin < kResPoolCap
                           ? static_cast<std::size_t>(available - kResMemoryMargin)
                           : kResPoolCap;
    gPool.base = static_cast<uint8_t*>(::operator new(size, std::align_val_t(kResPoolAlign), std::nothrow));
    gBackdrop = new (std::nothrow) uint8_t[kBackdropWidth * kBackdropHeight];
    if (!gPool.base || !gBackdrop) {
        ReportVerifyFailure("No Available Memory for resource manager", kSourcePath, __LINE__);
        ResShutdown();
        return 0;
    }
    gPool.size = size;
    gPool.taken = 0;
    gMark = Mark{};
    gCount = 0;
    IndexClear();
    for (Resource& r : gRecords)
        r.data = nullptr;
    gBackdropOwner = nullptr;
    return gPool.size;
}

void ResShutdown()
{
    ::operator delete(gPool.base, std::align_val_t(kResPoolAlign), std::nothrow);
    delete[] gBackdrop;
    gPool = Pool{};
    gBackdrop = nullptr;
    gBackdropOwner = nullptr;
    gMark = Mark{};
    gCount = 0;
    IndexClear();
}

Resource* ResRegister(const char* name, ResType type)
{
    if (!name)
        return nullptr;
    name = platform::SkipLeadingSeparator(name);
    const std::size_t length = std::strlen(name);
    if (length >= kResNameSize) {
        char text[200];
        std::snprintf(text, sizeof text, "Resource name too long: '%.100s...'", name);
        DebugMessageBox(text, kErrorTitle);
        return nullptr;
    }
    const TypeInfo* info = InfoOf(type);
    if (!info) {
        ReportVerifyFailure("Unidentfied Resource type", kSourcePath, __LINE__);
        return nullptr;
    }

    if (type != ResType::FntFont && type != ResType::FonFont)
        if (Resource* r = IndexFind(name, length, type))
            return r;

    if (gCount >= kResRecords) {
        ReportVerifyFailure("Out of Resource Handles", kSourcePath, __LINE__);
        return nullptr;
    }
    Resource& r = gRecords[gCount++];
    std::memset(r.name, 0, sizeof r.name);
    std::strcpy(r.name, name);
    r.data = nullptr;
    r.type = type;
    r.modelFlag = 0;
    r.reloadFlag = info->reload ? 255 : 0;
    r.hash = ResNameHash(name);
    IndexAdd(static_cast<int>(&r - gRecords));
    r.libraryRow = info->libraryRow;
    r.size = SizeAtRegistration(r, *info);
    return &r;
}

void* ResGet(Resource* r)
{
    if (!r)
        return nullptr;
    if (r->data && !r->reloadFlag)
        return r->data;
    const TypeInfo* info = InfoOf(r->type);
    if (!info)
        return r->data; // sized blocks are their own data

    if (!ResourceFileFound(*r)) {
        ReportMissing(r->name);
        return nullptr;
    }
    if (r->libraryRow != kResRowTexts && r->type != ResType::LbmRaster) {
        char line[kResNameSize + 64];
        std::snprintf(line, sizeof line, "RESMAN - Loading: '%s' Size: %d\n", r->name, r->size);
        ConsolePrint(line);
    }

    std::span<uint8_t> block;
    uint8_t* fresh = nullptr;
    std::size_t takenBefore = gPool.taken;
    if (r->data) {
        block = {static_cast<uint8_t*>(r->data), static_cast<std::size_t>(r->size)};
    } else if (r->size > 0) {
        fresh = PoolTake(static_cast<std::size_t>(r->size));
        if (!fresh)
            return nullptr;
        std::memset(fresh, 0, static_cast<std::size_t>(r->size));
        block = {fresh, static_cast<std::size_t>(r->size)};
    }

    int32_t resultSize = 0;
    void* data = nullptr;
    switch (r->type) {
    case ResType::RasterHeader:
        data = block.empty() ? nullptr : block.data();
        break;
    case ResType::PcxBackdrop:
        data = LoadBackdrop(r, block);
        break;
    case ResType::Text:
        data = LoadText(r, block, &resultSize);
        break;
    default:
        data = info->loader ? info->loader(r->name, block, &resultSize) : nullptr;
        break;
    }
    if (!data)
        PoolGiveBack(fresh, block.size(), takenBefore);
    r->data = data;
    r->reloadFlag = info->reload ? 255 : 0;
    if (data && info->model)
        r->modelFlag = 255;
    return data;
}

Resource* ResRegisterLoad(const char* name, ResType type)
{
    Resource* r = ResRegister(name, type);
    ResGet(r);
    return r;
}

Resource* ResLoadNamed(const char* name, ResType type) { return ResRegisterLoad(name, type); }

Resource* ResAllocSized(int libraryRow, int32_t size)
{
    if (size < 0)
        return nullptr;
    if (gCount >= kResRecords) {
        ReportVerifyFailure("Out of Resource Handles", kSourcePath, __LINE__);
        return nullptr;
    }
    uint8_t* block = PoolTake(static_cast<std::size_t>(size));
    if (!block)
        return nullptr;
    std::memset(block, 0, static_cast<std::size_t>(size));
    Resource& r = gRecords[gCount++];
    std::memset(r.name, 0, sizeof r.name);
    std::strcpy(r.name, "Sized");
    r.hash = ResNameHash(r.name);
    IndexAdd(static_cast<int>(&r - gRecords));
    r.data = block;
    r.size = size;
    r.type = ResType::Sized;
    r.libraryRow = libraryRow;
    r.modelFlag = 255;
    r.reloadFlag = 0;
    return &r;
}

bool ResFileExists(const char* path)
{
    if (!path)
        return false;
    std::FILE* f = platform::OpenDataFile(platform::SkipLeadingSeparator(path), "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

void ResMark()
{
    gMark.taken = gPool.taken;
    gMark.count = gCount;
}

void ResReleaseToMark()
{
    gPool.taken = gMark.taken;
    for (int i = gMark.count; i < gCount; ++i) {
        if (gBackdropOwner == &gRecords[i])
            gBackdropOwner = nullptr;
        ReleaseOutsidePool(gRecords[i]);
        gRecords[i].data = nullptr;
    }
    gCount = gMark.count;
    IndexClear();
    for (int i = 0; i < gCount; ++i)
        IndexAdd(i);
}

void ResDropData(Resource* r)
{
    if (r && r->libraryRow != kResRowModels && r->libraryRow != kResRowSounds) {
        ReleaseOutsidePool(*r);
        r->data = nullptr;
    }
}

void ResSetModelFlag(Resource* r)
{
    if (r)
        r->modelFlag = 255;
}

void ResClearModelFlag(Resource* r)
{
    if (r)
        r->modelFlag = 0;
}

int ResRecordCount() { return gCount; }
std::size_t ResPoolUsed() { return gPool.taken; }
std::size_t ResPoolSize() { return gPool.size; }
uint8_t* ResBackdropPixels() { return gBackdrop; }
const GamePalette& ResBackdropPalette() { return gBackdropPalette; }
