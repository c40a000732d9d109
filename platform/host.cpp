// Host services on POSIX and SDL2. See host.h.
#include "platform/host.h"

#include "platform/files.h"

#include <SDL.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <filesystem>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

namespace platform {
namespace {

// The lock's folder: $KELVANDRIST_LOCK_DIR as given, else the user's
// private runtime folder, else a folder of our own under the user's cache
// folder, made private (0700) and refused when it belongs to someone else.
// Never a folder that every user may write to, where another user's file
// could stand in the lock's place.
bool LockFolder(std::string& folder, std::string& problem)
{
    if (const char* dir = std::getenv("KELVANDRIST_LOCK_DIR"); dir && *dir) {
        folder = dir;
        return true;
    }
    if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir == '/') {
        folder = dir;
        return true;
    }
    std::string cache;
    if (const char* dir = std::getenv("XDG_CACHE_HOME"); dir && *dir == '/')
        cache = dir;
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        cache = std::string(home) + "/.cache";
    else {
        problem = "$HOME: not set";
        return false;
    }
    folder = cache + "/kelvandrist";
    std::error_code ignored;
    std::filesystem::create_directories(cache, ignored);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        problem = folder + ": not a folder of this user";
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        problem = folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Opens the lock file without following a link; whatever else stands in
// its place (a link, another user's file, a FIFO) is removed once and the
// file made anew. Returns the descriptor, or -1 with errno set.
int OpenLockFile(const std::string& path)
{
    for (int attempt = 0;; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd >= 0) {
            struct stat st;
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
                return fd;
            ::close(fd);
            errno = EPERM;
        }
        if (attempt > 0 || (errno != ELOOP && errno != EACCES && errno != EPERM))
            return -1;
        if (::unlink(path.c_str()) != 0)
            return -1;
    }
}

struct Drive {
    DriveType type = DriveType::NoRootDir;
    std::string root;
};

std::array<Drive, 26> gDrives;
bool gDrivesReady = false;

int DriveIndex(char letter)
{
    if (letter >= 'a' && letter <= 'z')
        return letter - 'a';
    if (letter >= 'A' && letter <= 'Z')
        return letter - 'A';
    return -1;
}

// "E=/media/cdrom:cdrom;H=/srv/h" - the type defaults to fixed.
void ParseDriveList(std::string_view list)
{
    while (!list.empty()) {
        std::size_t end = list.find(';');
        std::string_view item = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        if (item.size() < 3 || item[1] != '=' || DriveIndex(item[0]) < 0)
            continue;
        std::string_view root = item.substr(2);
        DriveType type = DriveType::Fixed;
        if (std::size_t colon = root.rfind(':'); colon != std::string_view::npos) {
            std::string_view kind = root.substr(colon + 1);
            if (kind == "cdrom")
                type = DriveType::CdRom;
            else if (kind == "removable")
                type = DriveType::Removable;
            else if (kind == "remote")
                type = DriveType::Remote;
            root = root.substr(0, colon);
        }
        gDrives[DriveIndex(item[0])] = {type, std::string(root)};
    }
}

// Mounted disc file systems become CD-ROM drives D, E, ... in mount order.
void ScanMountedDiscs()
{
    std::string table;
    ReadWholeFile("/proc/mounts", table);
    int next = 'D' - 'A';
    for (std::string& folder : DiscMountFolders(table)) {
        if (next >= 26)
            break;
        gDrives[next++] = {DriveType::CdRom, std::move(folder)};
    }
}

void EnsureDrives()
{
    if (gDrivesReady)
        return;
    gDrivesReady = true;
    gDrives = {};
    if (const char* list = std::getenv("KELVANDRIST_DRIVES")) {
        ParseDriveList(list);
        return;
    }
    gDrives['C' - 'A'] = {DriveType::Fixed, "/"};
    ScanMountedDiscs();
}

bool HeadlessVideoDriver(const char* driver)
{
    return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

bool EnvironmentSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// True when a box can be shown: SDL's video runs on a real display or, in a
// program that has not started it (the installer that loads the
// install-check library), the environment names a display and does not
// tell SDL to stay headless.
bool DisplayReachable()
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver && !HeadlessVideoDriver(driver);
    }
    if (HeadlessVideoDriver(std::getenv("SDL_VIDEODRIVER")))
        return false;
    return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY");
}

// Code page 1252's characters 0x80 to 0x9F; 0 where the page has none.
// clang-format off
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};
// clang-format on

} // namespace

std::vector<std::string> DiscMountFolders(std::string_view table)
{
    // Each line: device, folder, file system, options ...; blanks, tabs,
    // newlines and backslashes in the fields are written as \ooo.
    auto field = [](std::string_view& line) {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        std::size_t end = line.find_first_of(" \t");
        std::string_view f = line.substr(0, end);
        line = end == std::string_view::npos ? std::string_view() : line.substr(end);
        return f;
    };
    auto unescape = [](std::string_view f) {
        std::string out;
        for (std::size_t i = 0; i < f.size(); ++i) {
            if (f[i] == '\\' && i + 3 < f.size() && f[i + 1] >= '0' && f[i + 1] <= '3' && f[i + 2] >= '0' &&
                f[i + 2] <= '7' && f[i + 3] >= '0' && f[i + 3] <= '7') {
                out += static_cast<char>((f[i + 1] - '0') * 64 + (f[i + 2] - '0') * 8 + (f[i + 3] - '0'));
                i += 3;
            } else {
                out += f[i];
            }
        }
        return out;
    };
    std::vector<std::string> folders;
    while (!table.empty()) {
        std::size_t end = table.find('\n');
        std::string_view line = table.substr(0, end);
        table = end == std::string_view::npos ? std::string_view() : table.substr(end + 1);
        field(line); // the device
        std::string_view folder = field(line);
        std::string_view kind = field(line);
        if (!folder.empty() && (kind == "iso9660" || kind == "udf"))
            folders.push_back(unescape(folder));
    }
    return folders;
}

InstanceLock AcquireInstanceLock(const char* name, std::string* problem)
{
    std::string folder, why;
    if (!LockFolder(folder, why)) {
        if (problem)
            *problem = why;
        return InstanceLock::Failed;
    }
    std::string path = folder + "/" + name + "." + std::to_string(::geteuid()) + ".lock";
    int fd = OpenLockFile(path);
    if (fd < 0) {
        if (problem)
            *problem = path + ": " + std::strerror(errno);
        return InstanceLock::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            if (problem)
                *problem = path;
            return InstanceLock::AlreadyHeld;
        }
        if (problem)
            *problem = path + ": " + std::strerror(error);
        return InstanceLock::Failed;
    }
    // The descriptor stays open: the lock lives as long as the process.
    return InstanceLock::Acquired;
}

uint64_t PerformanceCounter()
{
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

uint64_t PerformanceFrequency()
{
    return 1000000u;
}

MemoryStatus QueryMemoryStatus()
{
    MemoryStatus status;
    if (std::FILE* f = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned long long kib = 0;
            if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1)
                status.availablePhysical = kib * 1024u;
            else if (std::sscanf(line, "SwapFree: %llu kB", &kib) == 1)
                status.availablePageFile = kib * 1024u;
        }
        std::fclose(f);
    }
    if (status.availablePhysical == 0) {
        struct sysinfo info {};
        if (::sysinfo(&info) == 0) {
            status.availablePhysical = static_cast<uint64_t>(info.freeram) * info.mem_unit;
            status.availablePageFile = static_cast<uint64_t>(info.freeswap) * info.mem_unit;
        }
    }
    return status;
}

DriveType QueryDriveType(char letter)
{
    EnsureDrives();
    int i = DriveIndex(letter);
    return i < 0 ? DriveType::NoRootDir : gDrives[i].type;
}

bool DriveRoot(char letter, std::string& root)
{
    EnsureDrives();
    int i = DriveIndex(letter);
    if (i < 0 || gDrives[i].type == DriveType::NoRootDir)
        return false;
    root = gDrives[i].root;
    return true;
}

void SetDrive(char letter, DriveType type, const char* root)
{
    EnsureDrives();
    int i = DriveIndex(letter);
    if (i < 0)
        return;
    gDrives[i] = root ? Drive{type, root} : Drive{};
}

void ResetDrives()
{
    gDrivesReady = false;
    EnsureDrives();
}

bool QueryVolumeInfo(const char* folder, VolumeInfo& info)
{
    struct statvfs vfs {};
    if (!folder || ::statvfs(folder, &vfs) != 0)
        return false;
    std::string_view path(folder);
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    info.name = std::string(slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1));
    if (info.name.size() > 128)
        info.name.resize(128);
    info.serialNumber = static_cast<uint32_t>(vfs.f_fsid);
    info.maxComponentLength = static_cast<uint32_t>(vfs.f_namemax);
    info.flags = static_cast<uint32_t>(vfs.f_flag);
    return true;
}

bool SetCurrentDirectory(const char* folder)
{
    return folder && ::chdir(folder) == 0;
}

std::string CurrentDirectory()
{
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

void ConsoleWrite(const char* text)
{
    std::fputs(Cp1252ToUtf8(text).c_str(), stdout);
    std::fflush(stdout);
}

void DebuggerOutput(const char* text)
{
    std::fputs(Cp1252ToUtf8(text).c_str(), stderr);
}

bool DebuggerAttached()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return false;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "TracerPid: %ld", &tracer) == 1)
            break;
    std::fclose(f);
    return tracer != 0;
}

void DebuggerBreak()
{
    std::raise(SIGTRAP);
}

void ShowMessageBox(const char* text, const char* title, MessageBoxIcon icon)
{
    std::string utf8Text = Cp1252ToUtf8(text ? text : "");
    std::string utf8Title = Cp1252ToUtf8(title ? title : "");
    if (DisplayReachable()) {
        constexpr Uint32 kFlags[] = {SDL_MESSAGEBOX_INFORMATION, SDL_MESSAGEBOX_WARNING, SDL_MESSAGEBOX_ERROR};
        if (SDL_ShowSimpleMessageBox(kFlags[static_cast<int>(icon)], utf8Title.c_str(), utf8Text.c_str(), nullptr) == 0)
            return;
    }
    std::fprintf(stderr, "%s: %s\n", utf8Title.c_str(), utf8Text.c_str());
}

bool AskYesNo(const char* text, const char* title)
{
    std::string utf8Text = Cp1252ToUtf8(text ? text : "");
    std::string utf8Title = Cp1252ToUtf8(title ? title : "");
    if (DisplayReachable()) {
        enum {
            kNo,
            kYes
        };
        const SDL_MessageBoxButtonData buttons[] = {
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kNo, "No"},
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kYes, "Yes"},
        };
        SDL_MessageBoxData box{};
        box.flags = SDL_MESSAGEBOX_INFORMATION;
        box.title = utf8Title.c_str();
        box.message = utf8Text.c_str();
        box.numbuttons = 2;
        box.buttons = buttons;
        int pressed = kNo;
        if (SDL_ShowMessageBox(&box, &pressed) == 0)
            return pressed == kYes;
    }
    std::fprintf(stderr, "%s: %s (no display: answered No)\n", utf8Title.c_str(), utf8Text.c_str());
    return false;
}

bool SetClipboardText(const char* text)
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    return SDL_SetClipboardText(Cp1252ToUtf8(text).c_str()) == 0;
}

void* LoadModule(const char* path)
{
    return path ? ::dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
}

std::string ProgramFolder()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return ".";
    std::string program(path, static_cast<std::size_t>(n));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/"
                                                         : program.substr(0, slash);
}

void* ModuleSymbol(void* module, const char* name)
{
    return module && name ? ::dlsym(module, name) : nullptr;
}

void UnloadModule(void* module)
{
    if (module)
        ::dlclose(module);
}

std::string Cp1252ToUtf8(const char* text)
{
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); p && *p; ++p) {
        uint32_t c = *p;
        if (c >= 0x80 && c < 0xA0)
            c = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : '?';
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToCp1252(const char* text)
{
    std::string out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (p && *p) {
        uint32_t c = *p;
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1
                               : (c & 0xF0) == 0xE0   ? 2
                               : (c & 0xF8) == 0xF0   ? 3
                                                      : -1;
        ++p;
        if (extra < 0) {
            out += '?';
            continue;
        }
        c &= extra == 0 ? 0x7F : (0x3F >> extra);
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                c = '?';
                break;
            }
            c = (c << 6) | (*p & 0x3F);
        }
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += static_cast<char>(c);
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i)
            if (kCp1252High[i] == c)
                mapped = static_cast<char>(0x80 + i);
        out += mapped;
    }
    return out;
}

} // namespace platform
