// LightWave object files: reading the image and walking its chunks. See lwofile.h.
#include "view/lwofile.h"

#include "platform/files.h"
#include "system/res/bytes.h"
#include "system/res/slab.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kFormHeader = 8;  // "FORM", u32 length
constexpr std::size_t kChunkHeader = 8; // id, u32 length
constexpr std::size_t kSubHeader = 6;   // id, u16 length
constexpr std::size_t kFormType = 4;    // "LWOB"

std::string CutName(const uint8_t* p, std::size_t n)
{
    std::size_t len = 0;
    while (len < n && p[len])
        ++len;
    return std::string(reinterpret_cast<const char*>(p), len < kLwoSurfaceNameSize ? len : kLwoSurfaceNameSize - 1);
}

} // namespace

bool LwoChunk::Is(const char* four) const { return std::memcmp(id, four, 4) == 0; }
bool LwoSubChunk::Is(const char* four) const { return std::memcmp(id, four, 4) == 0; }

const LwoChunk* LwoFile::Find(const char* id) const
{
    for (const LwoChunk& c : chunks)
        if (c.Is(id))
            return &c;
    return nullptr;
}

LwoStatus LwoParse(std::span<const uint8_t> file, LwoFile* out, std::string* what)
{
    out->body.clear();
    out->chunks.clear();
    if (file.size() < kFormHeader)
        return LwoStatus::NoHeader;
    uint32_t length = res::GetU32BE(file.data() + 4);
    if (length > kLwoMaxFormSize)
        return LwoStatus::NoMemory;
    std::size_t held = file.size() - kFormHeader;
    std::size_t size = length < held ? length : held;
    try {
        out->body.assign(file.begin() + kFormHeader, file.begin() + static_cast<std::ptrdiff_t>(kFormHeader + size));
    } catch (const std::bad_alloc&) {
        return LwoStatus::NoMemory;
    }

    // The walk: from the first chunk to the end of the body. A header that
    // does not fit is trailing padding; a body that does not fit is damage.
    const uint8_t* base = out->body.data();
    std::size_t at = kFormType;
    while (at + kChunkHeader <= size) {
        LwoChunk c;
        std::memcpy(c.id, base + at, 4);
        c.size = res::GetU32BE(base + at + 4);
        c.data = base + at + kChunkHeader;
        if (c.size > size - at - kChunkHeader) {
            if (what)
                *what = std::string("chunk ") + std::string(c.id, 4) + " runs past the end of the file";
            out->chunks.clear();
            return LwoStatus::Truncated;
        }
        out->chunks.push_back(c);
        at += kChunkHeader + c.size;
    }
    return LwoStatus::Ok;
}

LwoStatus LwoReadFile(const char* name, LwoFile* out, std::string* what)
{
    uint32_t size = 0;
    std::FILE* f = SlabOpen("shapes", name, &size);
    if (!f) {
        const char* reason = platform::DataFileFailure();
        if (std::strcmp(reason, platform::kDataFileNotFound) == 0)
            return LwoStatus::Missing;
        *what = reason;
        return LwoStatus::Refused;
    }
    std::vector<uint8_t> bytes;
    LwoStatus status = LwoStatus::Ok;
    uint8_t header[kFormHeader];
    if (size < kFormHeader || std::fread(header, 1, kFormHeader, f) != kFormHeader) {
        status = LwoStatus::NoHeader;
    } else if (size - kFormHeader > kLwoMaxFormSize) {
        status = LwoStatus::NoMemory; // a file no form that loads would fill
    } else {
        uint32_t length = res::GetU32BE(header + 4);
        uint32_t held = size - static_cast<uint32_t>(kFormHeader);
        if (length > kLwoMaxFormSize) {
            status = LwoStatus::NoMemory;
        } else {
            uint32_t want = length < held ? length : held;
            try {
                bytes.resize(kFormHeader + want);
            } catch (const std::bad_alloc&) {
                status = LwoStatus::NoMemory;
            }
            if (status == LwoStatus::Ok) {
                std::memcpy(bytes.data(), header, kFormHeader);
                bytes.resize(kFormHeader + std::fread(bytes.data() + kFormHeader, 1, want, f));
            }
        }
    }
    std::fclose(f);
    if (status != LwoStatus::Ok)
        return status;
    return LwoParse(bytes, out, what);
}

uint32_t LwoPointCount(const LwoChunk* pnts) { return pnts ? pnts->size / 12 : 0; }

float LwoFloat(const uint8_t* p) { return std::bit_cast<float>(res::GetU32BE(p)); }

LwoPoint LwoPointAt(const LwoChunk& pnts, uint32_t index)
{
    const uint8_t* p = pnts.data + static_cast<std::size_t>(index) * 12;
    return {LwoFloat(p), LwoFloat(p + 4), LwoFloat(p + 8)};
}

uint16_t LwoPolygon::Index(int k) const { return res::GetU16BE(indices + 2 * k); }

LwoPolygonReader::LwoPolygonReader(const LwoChunk* pols)
    : at_(pols ? pols->data : nullptr), end_(pols ? pols->data + pols->size : nullptr)
{
}

bool LwoPolygonReader::Next(LwoPolygon* polygon)
{
    if (at_ == end_)
        return false;
    // One polygon: count, indices, surface; the step is checked before it is taken.
    auto step = [this](LwoPolygon* p) {
        if (end_ - at_ < 2)
            return false;
        uint16_t n = res::GetU16BE(at_);
        std::size_t bytes = 2 + 2u * n + 2;
        if (static_cast<std::size_t>(end_ - at_) < bytes)
            return false;
        p->count = n;
        p->indices = at_ + 2;
        p->surface = res::GetI16BE(at_ + 2 + 2u * n);
        at_ += bytes;
        return true;
    };
    if (!step(polygon)) {
        truncated_ = true;
        at_ = end_;
        return false;
    }
    if (polygon->surface < 0) {
        // Detail polygons follow their polygon: a count, then polygons.
        if (end_ - at_ < 2) {
            truncated_ = true;
            at_ = end_;
            return true;
        }
        int16_t details = res::GetI16BE(at_);
        at_ += 2;
        LwoPolygon detail;
        for (int i = 0; i < details; ++i)
            if (!step(&detail)) {
                truncated_ = true;
                at_ = end_;
                break;
            }
    }
    return true;
}

std::vector<std::string> LwoSurfaceNames(const LwoChunk* srfs, int* dropped)
{
    std::vector<std::string> names;
    int extra = 0;
    if (srfs) {
        const uint8_t* p = srfs->data;
        for (uint32_t i = 0; i < srfs->size; ++i) {
            if (!p[i] || (i > 0 && p[i - 1]))
                continue;
            if (static_cast<int>(names.size()) >= kLwoMaxSurfaces) {
                ++extra;
                continue;
            }
            names.push_back(CutName(p + i, srfs->size - i));
        }
    }
    if (dropped)
        *dropped = extra;
    return names;
}

LwoSurf LwoReadSurf(const LwoChunk& surf)
{
    LwoSurf out;
    out.name = CutName(surf.data, surf.size);
    std::size_t len = 0;
    while (len < surf.size && surf.data[len])
        ++len;
    std::size_t at = (len + 2) & ~std::size_t{1}; // the name, its NUL, the pad to even
    while (at + kSubHeader <= surf.size) {
        LwoSubChunk s;
        std::memcpy(s.id, surf.data + at, 4);
        s.size = res::GetU16BE(surf.data + at + 4);
        s.data = surf.data + at + kSubHeader;
        if (s.size > surf.size - at - kSubHeader) {
            out.cut = true;
            break;
        }
        out.subChunks.push_back(s);
        at += kSubHeader + s.size;
    }
    return out;
}
