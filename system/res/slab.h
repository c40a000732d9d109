// Slab libraries: many data files packed into one "zqk\resource\<name>.slb".
//
// Readers ask for a file by its ordinary data path. When the path belongs to
// a library that holds it, the bytes come from the library; otherwise the
// loose file is used. The "noslab" switch turns libraries off.
//
// File layout (little-endian):
//   0  u32  unused
//   4  u32  number of directory entries
//   8  u32  file offset of the directory
// Directory: entries of 72 bytes, one after another:
//   0  char[64]  entry name, zero-terminated (compared ignoring case)
//   64 u32       file offset of the data
//   68 u32       size of the data in bytes
//
// A library whose header, directory or entry lies outside the file counts as
// not holding the entry, so a damaged library never yields bytes from beyond
// its end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

constexpr std::size_t kSlabHeaderSize = 12;
constexpr std::size_t kSlabEntrySize = 72;
constexpr std::size_t kSlabNameSize = 64;

// Opens `path` for reading ("rb"). When `library` is given and "noslab" is
// off and the library holds the path, the file returned is the library,
// positioned at the entry's data, and *size (when asked) is the entry's size;
// the caller must read no more than that. Otherwise the loose file is opened,
// positioned at its start, with *size its length. Null when neither opens.
// The caller closes the file with std::fclose.
std::FILE* SlabOpen(const char* library, const char* path, uint32_t* size);

// The size of the entry for a text path in `library`, 0 when the library or
// the entry is missing. (Text keys: the path after the first occurrence of
// the library name's first four characters.)
uint32_t SlabFindSize(const char* library, const char* path);

// Reads the entry for a text path into `buffer`. Returns null when the path
// has no key or the library does not open; otherwise returns buffer.data(),
// with *bytesRead the bytes read: 0 when the entry is missing, damaged or
// larger than the buffer.
uint8_t* SlabReadInto(const char* library, const char* path, std::span<uint8_t> buffer,
                      uint32_t* bytesRead);

// The library file of a library name: "zqk\resource\<name>.slb".
std::string SlabLibraryPath(const char* library);

// The library that serves a resource library row in the current language
// (shapes for models and wire-frames, the text library per language), or
// null when the row has none.
const char* SlabLibraryForRow(int row);

// True when the library file of `library` exists.
bool SlabLibraryExists(const char* library);

// Where an entry lies in its library file.
struct SlabEntry {
    uint32_t offset = 0;
    uint32_t size = 0;
};

// Searches an open library file for `key`, ignoring case. The file may be
// positioned anywhere; on success it is left at the entry's data. The header
// and directory are read from the file itself, past its stream buffer. False when
// the key is absent or the library is damaged.
bool SlabFindEntry(std::FILE* library, const char* key, SlabEntry* entry);

// One file to pack: its entry name and its bytes.
struct SlabPackItem {
    std::string name;
    std::vector<uint8_t> data;
};

// Builds the bytes of a library holding the items in order (directory after
// the data). False when a name does not fit its 64 bytes or the library would
// pass 4 GiB.
bool SlabBuild(std::span<const SlabPackItem> items, std::vector<uint8_t>& out);
