// Data files on a case-sensitive file system.
//
// The game's data was written for a file system that ignores case and
// separates folders with '\'. Every data file the system opens goes through
// here: '\' becomes '/', and when a path component does not exist exactly,
// the folder is searched for a name that differs only in the case of ASCII
// letters. A leading drive letter ("E:\video") names the host folder that
// the drive maps to (host.h). The same rule compares the names the game
// keeps (resource names, library entries, profile sections and keys), so it
// lives here too. This module knows nothing of what the files contain.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// Turns a data path into the path of an existing file or folder: separators
// translated, each missing component matched case-insensitively. Returns
// false (and leaves `out` with the translated but unmatched path) when some
// component has no match. An empty path fails.
bool ResolveDataPath(const char* path, std::string& out);

// The path of a file that may not exist yet: an existing one as it is
// spelled on disk, else its folder resolved and the caller's spelling of the
// last component. False when the folder does not exist either.
bool ResolveNewDataPath(const char* path, std::string& out);

// fopen through ResolveDataPath. When the file does not exist and the mode
// creates one ("w" or "a"), the folders are resolved and the last component
// keeps the caller's spelling. Only a regular file opens: a FIFO, a device
// or a folder is refused without waiting on it (the open never blocks), and
// "w" empties a file only once it is known to be one. Null on failure, with
// the reason in DataFileFailure().
std::FILE* OpenDataFile(const char* path, const char* mode);

// Why the last open or whole read of a data file on this thread failed, in
// words fit to follow the file's name (kDataFileNotFound, "not a regular
// file", "Permission denied", ...); "" after a success.
const char* DataFileFailure();
inline constexpr char kDataFileNotFound[] = "not found";

// A host file's path (a file dropped on the window) as a data path: the
// part below the data folder (the working folder) when it lies there; the
// path unchanged otherwise.
std::string DataPathOfHostFile(const char* hostPath);

// True when the path names an existing regular file.
bool DataFileExists(const char* path);

// Removes a file named by a data path; true on success.
bool RemoveDataFile(const char* path);

// Writes a whole file so that a crash mid-write loses nothing: the bytes go
// to a temporary file beside the target ("<name>.tmp" and six random
// characters, created exclusively, so that it is never an existing file or a
// symbolic link planted there), which is then renamed over it, and the
// folder is synced so that the rename itself survives a crash. Temporaries
// of this file left by a run that crashed are removed first.
bool WriteFileAtomically(const char* path, const void* data, std::size_t size);

// The same for a file written piece by piece. CreateTemporaryBeside opens a
// fresh temporary beside `target` (a host path: the resolved target) and
// gives its name; null when none can be made. CommitTemporary closes it and,
// when every byte reached the disk, renames it over the target: false (the
// temporary removed, the target as it was) otherwise. AbandonTemporary
// closes and removes it.
std::FILE* CreateTemporaryBeside(const std::string& target, std::string& temp);
bool CommitTemporary(std::FILE* file, const std::string& temp, const std::string& target);
void AbandonTemporary(std::FILE* file, const std::string& temp);

// The length in bytes of an open file, whose position is left at its end;
// -1 when it cannot be told.
long FileLength(std::FILE* file);

// The length in bytes of an open file, its position left where it was; -1
// when it cannot be told.
long FileSize(std::FILE* file);

// Reads `size` bytes at `offset` of an open file in one call, without using
// or moving the file's position or its buffer. False on a short read.
bool ReadFileAt(std::FILE* file, uint64_t offset, void* buffer, std::size_t size);

// Reads a whole regular file named by a data path into a std::string or a
// byte vector. False when it does not open, is not a regular file (a FIFO,
// a device or a folder is never waited on or read), cannot be read, or holds
// more than `limit` bytes; `out` is then empty and DataFileFailure() says
// which.
template <class Bytes>
bool ReadWholeFile(const char* path, Bytes& out, std::size_t limit = SIZE_MAX);

// Configuration files (the key store, profile files) are small text files
// that the user controls: only a regular file of at most this size is read.
constexpr std::size_t kConfigFileMaxBytes = 1 << 20;
enum class ConfigRead {
    Ok,
    Missing,
    Refused
};
// Reads a configuration file whole: Missing when there is none. A file
// that exists but is refused (not a regular file, too large, unreadable) is
// reported on the debugger output with its path and the reason.
ConfigRead ReadConfigFile(const char* path, std::string& text);

// A reading batch: while one is open, the key store and each profile file
// are read and parsed once, at their first query, and every later query of
// the batch is answered from that reading (a write through this layer reads
// anew). Gathering a configuration of many values opens one; outside a
// batch every query reads the file.
class ConfigReadBatch {
public:
    ConfigReadBatch();
    ~ConfigReadBatch();
    ConfigReadBatch(const ConfigReadBatch&) = delete;
    ConfigReadBatch& operator=(const ConfigReadBatch&) = delete;
};
// The number of the open batch, 0 when none is open: a module keeps what it
// parsed for that number only.
uint64_t CurrentConfigBatch();

// The game's names (files, sections, keys) compare as the file system they
// were written for compared them: ASCII letters without case, every other
// byte (code page 1252 above 127) as it is.
constexpr char FoldNameCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when two names differ at most in the case of ASCII letters.
constexpr bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldNameCase(a[i]) != FoldNameCase(b[i]))
            return false;
    return true;
}

// Data paths compare by the same rule, with '/' taken as '\'.
constexpr char FoldDataPathChar(char c)
{
    return c == '/' ? '\\' : FoldNameCase(c);
}

// True when two zero-terminated data paths are the same path.
constexpr bool SameDataPath(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        if (FoldDataPathChar(*a) != FoldDataPathChar(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

// True when the first `n` characters of two data paths are the same (both
// may end early, in which case they must end at the same place).
constexpr bool SameDataPathPrefix(const char* a, const char* b, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (FoldDataPathChar(a[i]) != FoldDataPathChar(b[i]))
            return false;
        if (a[i] == '\0')
            return true;
    }
    return true;
}

// A data path without its one leading separator: registered names and loose
// files are relative to the data folder either way.
constexpr const char* SkipLeadingSeparator(const char* path)
{
    return (path[0] == '\\' || path[0] == '/') ? path + 1 : path;
}

} // namespace platform
