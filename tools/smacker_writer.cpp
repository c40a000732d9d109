// The Smacker writer. See smacker_writer.h.
//
// File layout (little-endian):
//   "SMK2", width, height, frames, frame time (negative: 10 us units),
//   flags, 7 x largest audio chunk, trees size, MMAP/MCLR/FULL/TYPE tree
//   sizes, 7 x audio rate and flags (rate in bits 0-23, flags in 24-31),
//   a spare word; then a 32-bit size per frame (bit 0: key frame), a type
//   byte per frame (bit 0: palette chunk, bit 1 + n: audio track n), the
//   tree bit stream, and the frames.
// Bits are read least significant first within each byte.
#include "tools/smacker_writer.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace smk {

namespace {

enum Tree {
    kMmap,
    kMclr,
    kFull,
    kType,
    kTrees
};

// Block kinds in the low two bits of a type code.
constexpr uint16_t kBlockFull = 1;
constexpr uint16_t kBlockSkip = 2;
constexpr uint16_t kBlockFill = 3;
constexpr int kMaxRun = 59; // run lengths 1..59 are coded directly

constexpr uint8_t kAudioPresent = 0x40;
constexpr uint8_t kAudio16Bit = 0x20;

class BitWriter {
public:
    void Bit(bool b)
    {
        if (count_ % 8 == 0)
            bytes_.push_back(0);
        if (b)
            bytes_.back() |= static_cast<uint8_t>(1u << (count_ % 8));
        ++count_;
    }
    void Bits(uint32_t value, int n) // least significant first
    {
        for (int i = 0; i < n; ++i)
            Bit((value >> i) & 1);
    }
    void Path(const std::vector<bool>& path)
    {
        for (bool b : path)
            Bit(b);
    }
    std::vector<uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t count_ = 0;
};

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One coded value: which tree and the 16-bit value.
struct Symbol {
    uint8_t tree;
    uint16_t value;
};

// The symbols of one frame's video: type codes and full-block pixel pairs.
std::vector<Symbol> CodeFrame(const Film& film, const std::vector<uint8_t>* previous, const std::vector<uint8_t>& cur)
{
    const int bw = film.width / 4;
    const int blocks = bw * (film.height / 4);
    auto at = [&](const std::vector<uint8_t>& px, int blk, int x, int y) {
        return px[static_cast<size_t>(((blk / bw) * 4 + y) * film.width + (blk % bw) * 4 + x)];
    };
    // Kind of each block: skip, fill (with colour) or full.
    std::vector<uint16_t> kind(static_cast<size_t>(blocks));
    for (int b = 0; b < blocks; ++b) {
        bool same = previous != nullptr, uniform = true;
        const uint8_t first = at(cur, b, 0, 0);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                if (previous && at(*previous, b, x, y) != at(cur, b, x, y))
                    same = false;
                if (at(cur, b, x, y) != first)
                    uniform = false;
            }
        kind[static_cast<size_t>(b)] =
            same ? kBlockSkip : uniform ? static_cast<uint16_t>(kBlockFill | first << 8)
                                        : kBlockFull;
    }
    std::vector<Symbol> out;
    for (int b = 0; b < blocks;) {
        const uint16_t k = kind[static_cast<size_t>(b)];
        int run = 1;
        while (b + run < blocks && run < kMaxRun && kind[static_cast<size_t>(b + run)] == k)
            ++run;
        out.push_back({kType, static_cast<uint16_t>(k | (run - 1) << 2)});
        if ((k & 3) == kBlockFull) {
            for (int i = 0; i < run; ++i)
                for (int y = 0; y < 4; ++y) {
                    // Each row: pixels 2-3 first, then 0-1, low byte leftmost.
                    out.push_back({kFull, static_cast<uint16_t>(at(cur, b + i, 2, y) | at(cur, b + i, 3, y) << 8)});
                    out.push_back({kFull, static_cast<uint16_t>(at(cur, b + i, 0, y) | at(cur, b + i, 1, y) << 8)});
                }
        }
        b += run;
    }
    return out;
}

// A byte tree: every value 0..255 at depth 8, in order; the path of a value
// is its bits from the most significant.
void WriteByteTree(BitWriter& w, int depth, int prefix)
{
    if (depth == 8) {
        w.Bit(false);
        w.Bits(static_cast<uint32_t>(prefix), 8);
        return;
    }
    w.Bit(true);
    WriteByteTree(w, depth + 1, prefix << 1);
    WriteByteTree(w, depth + 1, prefix << 1 | 1);
}

void WriteByteCode(BitWriter& w, uint8_t value)
{
    for (int i = 7; i >= 0; --i)
        w.Bit((value >> i) & 1);
}

// A balanced big tree over the sorted values [lo, hi]; fills each value's path.
void WriteBigTree(BitWriter& w, const std::vector<uint16_t>& values, size_t lo, size_t hi, std::vector<bool>& path,
                  std::map<uint16_t, std::vector<bool>>& paths)
{
    if (lo == hi) {
        w.Bit(false);
        WriteByteCode(w, static_cast<uint8_t>(values[lo] & 0xFF));
        WriteByteCode(w, static_cast<uint8_t>(values[lo] >> 8));
        paths[values[lo]] = path;
        return;
    }
    w.Bit(true);
    const size_t mid = (lo + hi) / 2;
    path.push_back(false);
    WriteBigTree(w, values, lo, mid, path, paths);
    path.back() = true;
    WriteBigTree(w, values, mid + 1, hi, path, paths);
    path.pop_back();
}

// Writes one tree (absent when no value uses it); returns its size field.
uint32_t WriteTree(BitWriter& w, const std::vector<uint16_t>& values, std::map<uint16_t, std::vector<bool>>& paths)
{
    if (values.empty()) {
        w.Bit(false);
        return 0;
    }
    w.Bit(true);
    for (int half = 0; half < 2; ++half) {
        w.Bit(true);
        WriteByteTree(w, 0, 0);
        w.Bit(false);
    }
    // Three escape values that no leaf holds: the reader then keeps its
    // recent-value cache outside the tree.
    int written = 0;
    for (uint32_t v = 0; written < 3; ++v)
        if (!std::binary_search(values.begin(), values.end(), static_cast<uint16_t>(v))) {
            w.Bits(v, 16);
            ++written;
        }
    std::vector<bool> path;
    WriteBigTree(w, values, 0, values.size() - 1, path, paths);
    w.Bit(false);
    return static_cast<uint32_t>(4 * (2 * values.size() + 4));
}

bool Valid(const Film& film)
{
    if (film.width <= 0 || film.height <= 0 || film.width % 4 || film.height % 4 || film.frames.empty() ||
        !film.frames[0].palette)
        return false;
    for (const Frame& f : film.frames)
        if (f.pixels.size() != static_cast<size_t>(film.width) * static_cast<size_t>(film.height))
            return false;
    return true;
}

} // namespace

std::vector<uint8_t> Write(const Film& film)
{
    if (!Valid(film))
        return {};

    // Code every frame, then build the trees from the values used.
    std::vector<std::vector<Symbol>> coded;
    std::vector<uint16_t> used[kTrees];
    for (size_t i = 0; i < film.frames.size(); ++i) {
        coded.push_back(CodeFrame(film, i ? &film.frames[i - 1].pixels : nullptr, film.frames[i].pixels));
        for (const Symbol& s : coded.back())
            used[s.tree].push_back(s.value);
    }
    BitWriter trees;
    std::map<uint16_t, std::vector<bool>> paths[kTrees];
    uint32_t treeSize[kTrees];
    for (int t = 0; t < kTrees; ++t) {
        std::sort(used[t].begin(), used[t].end());
        used[t].erase(std::unique(used[t].begin(), used[t].end()), used[t].end());
        treeSize[t] = WriteTree(trees, used[t], paths[t]);
    }

    // The frames' bytes.
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> types;
    uint32_t largestAudio = 0;
    for (size_t i = 0; i < film.frames.size(); ++i) {
        const Frame& f = film.frames[i];
        std::vector<uint8_t> bytes;
        uint8_t type = 0;
        if (f.palette) {
            type |= 1;
            const size_t length = (1 + 768 + 3) / 4 * 4;
            bytes.push_back(static_cast<uint8_t>(length / 4));
            for (uint8_t c : *f.palette)
                bytes.push_back(static_cast<uint8_t>(c >> 2));
            bytes.resize(length, 0);
        }
        if (film.audioRate && !f.audio.empty()) {
            type |= 2;
            const uint32_t size = static_cast<uint32_t>(4 + 2 * f.audio.size());
            largestAudio = std::max(largestAudio, size);
            Put32(bytes, size);
            for (int16_t s : f.audio) {
                bytes.push_back(static_cast<uint8_t>(s & 0xFF));
                bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
            }
        }
        BitWriter video;
        for (const Symbol& s : coded[i])
            video.Path(paths[s.tree][s.value]);
        video.Bits(0, 32); // a few spare bytes: the reader may look ahead
        bytes.insert(bytes.end(), video.Bytes().begin(), video.Bytes().end());
        bytes.resize((bytes.size() + 3) / 4 * 4, 0);
        frames.push_back(std::move(bytes));
        types.push_back(type);
    }

    std::vector<uint8_t> out;
    out.insert(out.end(), {'S', 'M', 'K', '2'});
    Put32(out, static_cast<uint32_t>(film.width));
    Put32(out, static_cast<uint32_t>(film.height));
    Put32(out, static_cast<uint32_t>(film.frames.size()));
    Put32(out, static_cast<uint32_t>(-film.frameTime));
    Put32(out, 0); // flags
    for (int t = 0; t < 7; ++t)
        Put32(out, t == 0 ? largestAudio : 0);
    Put32(out, static_cast<uint32_t>(trees.Bytes().size()));
    for (int t = 0; t < kTrees; ++t)
        Put32(out, treeSize[t]);
    for (int t = 0; t < 7; ++t)
        Put32(out, t == 0 && film.audioRate
                       ? (film.audioRate & 0xFFFFFF) | static_cast<uint32_t>(kAudioPresent | kAudio16Bit) << 24
                       : 0);
    Put32(out, 0); // spare
    for (size_t i = 0; i < frames.size(); ++i)
        Put32(out, static_cast<uint32_t>(frames[i].size()) | (i == 0 ? 1u : 0u));
    out.insert(out.end(), types.begin(), types.end());
    out.insert(out.end(), trees.Bytes().begin(), trees.Bytes().end());
    for (const auto& f : frames)
        out.insert(out.end(), f.begin(), f.end());
    return out;
}

} // namespace smk
