// Data files on a case-sensitive file system: path translation and
// case-insensitive lookup, plus the atomic whole-file write that every saver
// uses. See files.h.
#include "platform/files.h"

#include "platform/host.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <vector>
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

// Opens an existing regular file for reading without waiting: a FIFO, a
// device or a folder is refused before a byte is read, and so is a file
// larger than `limit`. Returns the descriptor, or -1 and why.
int OpenRegularFile(const std::string& real, std::size_t limit, OpenRefusal* refusal)
{
    int fd = ::open(real.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *refusal = {errno, std::strerror(errno)};
        return -1;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *refusal = {0, "not a regular file"};
    } else if (static_cast<uint64_t>(st.st_size) > limit) {
        *refusal = {0, "larger than the size allowed"};
    } else {
        return fd;
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
    OpenRefusal refusal;
    int fd = ResolveDataPath(path, real) ? OpenRegularFile(real, limit, &refusal) : -1;
    return fd >= 0 && ReadDescriptor(fd, out, limit);
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

namespace {

// The real path of a file that may not exist yet: an existing file as it is
// spelled on disk, else its folder resolved and the caller's spelling of the
// last component. False when the folder does not exist either.
bool ResolveTargetPath(const char* path, std::string& out)
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

} // namespace

std::FILE* OpenDataFile(const char* path, const char* mode)
{
    if (!mode)
        return nullptr;
    // A mode that creates a file may name one that does not exist yet.
    const bool creates = std::strchr(mode, 'w') || std::strchr(mode, 'a');
    std::string real;
    if (!(creates ? ResolveTargetPath(path, real) : ResolveDataPath(path, real)))
        return nullptr;
    return std::fopen(real.c_str(), mode);
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

bool WriteFileAtomically(const char* path, const void* data, std::size_t size)
{
    std::string target;
    if (!ResolveTargetPath(path, target))
        return false;
    std::string temp = target + ".tmp" + std::to_string(::getpid());
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    ok = (std::fflush(f) == 0) && ok;
    ok = (::fsync(::fileno(f)) == 0) && ok;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

ConfigRead ReadConfigFile(const char* path, std::string& text)
{
    text.clear();
    std::string real;
    if (!ResolveDataPath(path, real))
        return ConfigRead::Missing;
    OpenRefusal refusal;
    int fd = OpenRegularFile(real, kConfigFileMaxBytes, &refusal);
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
