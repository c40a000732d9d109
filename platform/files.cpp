// Data files on a case-sensitive file system: path translation and
// case-insensitive lookup, plus the atomic whole-file write that every saver
// uses. See files.h.
#include "platform/files.h"

#include "platform/host.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <vector>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool Exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Finds the entry of `folder` whose name equals `name` but for case. When
// several do, the first in sorted order wins, so the choice never depends on
// the order in which the file system lists them.
bool FindFolded(const std::string& folder, std::string_view name, std::string& found)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return false;
    bool any = false;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view candidate(entry->d_name);
        if (SameNameIgnoringCase(candidate, name) && (!any || candidate < found)) {
            found.assign(candidate);
            any = true;
        }
    }
    ::closedir(dir);
    return any;
}

// Separators become '/', and a drive letter ("E:\video", or the
// drive-relative "E:video") becomes the host folder that the drive maps to.
std::string Translate(const char* path)
{
    std::string out(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    std::string root;
    if (out.size() >= 2 && out[1] == ':' && DriveRoot(out[0], root)) {
        std::string rest = out.substr(out.size() > 2 && out[2] == '/' ? 3 : 2);
        if (root.empty() || root.back() != '/')
            root += '/';
        out = root + rest;
    }
    return out;
}

} // namespace

long FileLength(std::FILE* file)
{
    return file && std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
}

long FileSize(std::FILE* file)
{
    struct stat st;
    if (!file || ::fstat(::fileno(file), &st) != 0)
        return -1;
    return static_cast<long>(st.st_size);
}

bool ReadFileAt(std::FILE* file, uint64_t offset, void* buffer, std::size_t size)
{
    if (!file)
        return false;
    int fd = ::fileno(file);
    auto* to = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        ssize_t n = ::pread(fd, to, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        to += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

// Why a file was not opened: the system's error number, or 0 with a reason.
struct OpenRefusal {
    int error = 0;
    const char* reason = nullptr;
};

// The reason of the last failed open or whole read on this thread.
thread_local const char* tFailure = "";

const char* ReasonOf(int error)
{
    return error == ENOENT ? kDataFileNotFound : std::strerror(error);
}

// Opens an existing regular file without waiting: a FIFO, a device or a
// folder is refused before a byte is read or written, and so is a file larger
// than `limit`. `flags` are open(2)'s access flags. Returns the descriptor,
// blocking again, or -1 and why.
int OpenRegularFile(const std::string& real, int flags, std::size_t limit, OpenRefusal* refusal)
{
    // What exists and is not a file is refused by name before any open (a
    // write open of a FIFO or a folder would fail with a less telling
    // reason); the open itself checks again.
    struct stat before;
    if (::stat(real.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        *refusal = {0, "not a regular file"};
        return -1;
    }
    int fd = ::open(real.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        *refusal = {errno, ReasonOf(errno)};
        return -1;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *refusal = {0, "not a regular file"};
    } else if (static_cast<uint64_t>(st.st_size) > limit) {
        *refusal = {0, "larger than the size allowed"};
    } else {
        const int status = ::fcntl(fd, F_GETFL);
        if (status != -1 && ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == 0)
            return fd;
        *refusal = {errno, ReasonOf(errno)};
    }
    ::close(fd);
    return -1;
}

// Reads what the descriptor holds, at most `limit` bytes (files of the
// process folder report a size of 0 and are read to their end); closes it.
template <class Bytes>
bool ReadDescriptor(int fd, Bytes& out, std::size_t limit)
{
    char buffer[4096];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (static_cast<std::size_t>(n) > limit - out.size()) {
            ok = false;
            break;
        }
        out.insert(out.end(), buffer, buffer + n);
    }
    ::close(fd);
    if (!ok)
        out.clear();
    return ok;
}

} // namespace

template <class Bytes>
bool ReadWholeFile(const char* path, Bytes& out, std::size_t limit)
{
    out.clear();
    std::string real;
    OpenRefusal refusal{ENOENT, kDataFileNotFound};
    int fd = ResolveDataPath(path, real) ? OpenRegularFile(real, O_RDONLY, limit, &refusal) : -1;
    if (fd < 0) {
        tFailure = refusal.reason;
        return false;
    }
    if (!ReadDescriptor(fd, out, limit)) {
        tFailure = "cannot be read whole";
        return false;
    }
    tFailure = "";
    return true;
}

const char* DataFileFailure()
{
    return tFailure;
}

template bool ReadWholeFile(const char*, std::string&, std::size_t);
template bool ReadWholeFile(const char*, std::vector<uint8_t>&, std::size_t);

bool ResolveDataPath(const char* path, std::string& out)
{
    out = path ? Translate(path) : std::string();
    if (out.empty())
        return false;
    if (Exists(out))
        return true;

    std::string resolved;
    std::size_t pos = 0;
    if (out[0] == '/') {
        resolved = "/";
        pos = 1;
    }
    while (pos <= out.size()) {
        std::size_t end = out.find('/', pos);
        if (end == std::string::npos)
            end = out.size();
        std::string_view part(out.data() + pos, end - pos);
        if (!part.empty() && part != ".") {
            std::string next = resolved;
            if (!next.empty() && next.back() != '/')
                next += '/';
            next += part;
            if (!Exists(next)) {
                std::string match;
                if (!FindFolded(resolved, part, match))
                    return false;
                next = resolved;
                if (!next.empty() && next.back() != '/')
                    next += '/';
                next += match;
            }
            resolved = std::move(next);
        }
        pos = end + 1;
    }
    out = std::move(resolved);
    return true;
}

bool ResolveNewDataPath(const char* path, std::string& out)
{
    if (ResolveDataPath(path, out))
        return true;
    std::size_t slash = out.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return !out.empty();
    std::string folder;
    if (!ResolveDataPath(out.substr(0, slash).c_str(), folder))
        return false;
    out = folder + out.substr(slash);
    return true;
}

namespace {

// open(2)'s flags for an fopen mode ("r", "w", "a", each with '+' and 'b'
// as they come); -1 for anything else. A file to be emptied ("w") is not
// truncated here: only once it is known to be a regular file.
int OpenFlagsOf(const char* mode)
{
    const bool update = std::strchr(mode, '+') != nullptr;
    switch (mode[0]) {
    case 'r':
        return update ? O_RDWR : O_RDONLY;
    case 'w':
        return (update ? O_RDWR : O_WRONLY) | O_CREAT;
    case 'a':
        return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    default:
        return -1;
    }
}

} // namespace

std::FILE* OpenDataFile(const char* path, const char* mode)
{
    tFailure = kDataFileNotFound;
    const int flags = mode ? OpenFlagsOf(mode) : -1;
    if (flags < 0) {
        tFailure = "no such way of opening";
        return nullptr;
    }
    // A mode that creates a file may name one that does not exist yet.
    std::string real;
    if (!((flags & O_CREAT) ? ResolveNewDataPath(path, real) : ResolveDataPath(path, real)))
        return nullptr;
    OpenRefusal refusal;
    const int fd = OpenRegularFile(real, flags, SIZE_MAX, &refusal);
    if (fd < 0) {
        tFailure = refusal.reason;
        return nullptr;
    }
    if (mode[0] == 'w' && ::ftruncate(fd, 0) != 0) {
        tFailure = ReasonOf(errno);
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, mode);
    if (!file) {
        tFailure = ReasonOf(errno);
        ::close(fd);
        return nullptr;
    }
    tFailure = "";
    return file;
}

std::string DataPathOfHostFile(const char* hostPath)
{
    std::string path = hostPath ? hostPath : "";
    char here[4096];
    if (path.empty() || path[0] != '/' || !::getcwd(here, sizeof here))
        return path;
    std::string folder = here;
    if (folder.back() != '/')
        folder += '/';
    if (path.compare(0, folder.size(), folder) == 0)
        return path.substr(folder.size());
    return path;
}

bool DataFileExists(const char* path)
{
    std::string real;
    struct stat st;
    return ResolveDataPath(path, real) && ::stat(real.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveDataFile(const char* path)
{
    std::string real;
    return ResolveDataPath(path, real) && std::remove(real.c_str()) == 0;
}

namespace {

constexpr const char* kTemporaryMark = ".tmp";
constexpr std::size_t kTemporaryRandomChars = 6;
constexpr int kTemporaryTries = 64;

// A fresh temporary name's random tail.
std::string RandomTail()
{
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    uint8_t bytes[kTemporaryRandomChars];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        // No kernel randomness: the exclusive create still keeps the name
        // safe, only less hard to guess.
        static uint64_t counter = 0;
        uint64_t mix = (static_cast<uint64_t>(::getpid()) << 24) ^ ++counter ^ static_cast<uint64_t>(::time(nullptr));
        for (uint8_t& b : bytes) {
            b = static_cast<uint8_t>(mix);
            mix = mix * 6364136223846793005ull + 1442695040888963407ull;
        }
    }
    std::string tail;
    for (uint8_t b : bytes)
        tail += kChars[b % (sizeof kChars - 1)];
    return tail;
}

// Removes the temporaries "<name>.tmp<letters and digits>" of `name` that a
// run which crashed mid-save left in `folder`.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::string prefix = name + kTemporaryMark;
    std::vector<std::string> stale;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view candidate(entry->d_name);
        if (candidate.size() <= prefix.size() || candidate.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view tail = candidate.substr(prefix.size());
        bool plain = tail.size() <= 16;
        for (char c : tail)
            plain = plain && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
        if (plain)
            stale.emplace_back(candidate);
    }
    ::closedir(dir);
    for (const std::string& file : stale)
        ::unlink((folder + "/" + file).c_str());
}

// Makes a rename in `folder` durable.
bool SyncFolder(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

std::FILE* CreateTemporaryBeside(const std::string& target, std::string& temp)
{
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/"
                                                                             : target.substr(0, slash);
    RemoveStaleTemporaries(folder, slash == std::string::npos ? target : target.substr(slash + 1));
    // Created exclusively and never through a symbolic link: a name that
    // exists already (planted or left over) is passed by for another.
    for (int i = 0; i < kTemporaryTries; ++i) {
        temp = target + kTemporaryMark + RandomTail();
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            break;
        if (std::FILE* file = ::fdopen(fd, "wb"))
            return file;
        ::close(fd);
        ::unlink(temp.c_str());
        break;
    }
    temp.clear();
    return nullptr;
}

bool CommitTemporary(std::FILE* file, const std::string& temp, const std::string& target)
{
    bool ok = !std::ferror(file);
    ok = std::fflush(file) == 0 && ok;
    ok = ::fsync(::fileno(file)) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    const std::size_t slash = target.rfind('/');
    SyncFolder(slash == std::string::npos ? "." : slash == 0 ? "/"
                                                             : target.substr(0, slash));
    return true;
}

void AbandonTemporary(std::FILE* file, const std::string& temp)
{
    std::fclose(file);
    ::unlink(temp.c_str());
}

bool WriteFileAtomically(const char* path, const void* data, std::size_t size)
{
    std::string target, temp;
    if (!ResolveNewDataPath(path, target))
        return false;
    std::FILE* file = CreateTemporaryBeside(target, temp);
    if (!file)
        return false;
    if (std::fwrite(data, 1, size, file) != size) {
        AbandonTemporary(file, temp);
        return false;
    }
    return CommitTemporary(file, temp, target);
}

ConfigRead ReadConfigFile(const char* path, std::string& text)
{
    text.clear();
    std::string real;
    if (!ResolveDataPath(path, real))
        return ConfigRead::Missing;
    OpenRefusal refusal;
    int fd = OpenRegularFile(real, O_RDONLY, kConfigFileMaxBytes, &refusal);
    if (fd < 0 && refusal.error == ENOENT)
        return ConfigRead::Missing;
    if (fd >= 0) {
        if (ReadDescriptor(fd, text, kConfigFileMaxBytes))
            return ConfigRead::Ok;
        refusal.reason = "cannot be read whole";
    }
    std::string message = "Kelvandrist: the configuration file " + real + " is not read: " + refusal.reason + "\n";
    DebuggerOutput(message.c_str());
    return ConfigRead::Refused;
}

namespace {
int gBatchDepth = 0;
uint64_t gBatchCount = 0;
uint64_t gOpenBatch = 0;
} // namespace

ConfigReadBatch::ConfigReadBatch()
{
    if (gBatchDepth++ == 0)
        gOpenBatch = ++gBatchCount;
}

ConfigReadBatch::~ConfigReadBatch()
{
    if (--gBatchDepth == 0)
        gOpenBatch = 0;
}

uint64_t CurrentConfigBatch()
{
    return gOpenBatch;
}

} // namespace platform
