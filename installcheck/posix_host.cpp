// The install-check library's host on POSIX systems.
//
// - Message boxes are the platform layer's (SDL's box when a display is
//   reachable); a question that cannot be shown is answered No.
// - The registry is the platform's key store (platform/registry.h): a key
//   "exists" when the store names it.
// - The film player is started with posix_spawn from its full path, with no
//   shell: a folder with blanks stays one path. It keeps only descriptors
//   0-2, gets its window position as SDL_VIDEO_WINDOW_POS, and is waited for
//   up to the given time, then left running.
// - The graphics runtime does not exist here: the version query answers
//   $HALVENSET_RUNTIME_VERSION (0x40005 when unset; a value that is not a
//   number makes the query fail) and the installer answers
//   $HALVENSET_RUNTIME_STATUS (0 when unset).
// - A restart request is counted and reported, never carried out.
#include "installcheck/halvenset.h"

#include "platform/host.h"
#include "platform/registry.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace halvenset {
namespace {

int gRestartRequests = 0;

Answer PosixMessageBox(void*, const char* text, const char* caption, Buttons buttons)
{
    if (buttons == Buttons::YesNo)
        return platform::AskYesNo(text, caption) ? Answer::Yes : Answer::No;
    platform::ShowMessageBox(text, caption, platform::MessageBoxIcon::Information);
    return Answer::Ok;
}

void* PosixFocusWindow()
{
    return nullptr; // the installer's windows are not ours to know
}

bool PosixOpenKey(const char* key, uint32_t, uintptr_t* handle)
{
    if (!key || !platform::RegistryKeyExists("HKEY_LOCAL_MACHINE", key))
        return false;
    *handle = 1; // the store has no open keys: any non-zero handle will do
    return true;
}

void PosixCloseKey(uintptr_t) {}

// The parent's environment with the window position replaced.
std::vector<std::string> ChildEnvironment(int x, int y)
{
    constexpr std::string_view kPosition = "SDL_VIDEO_WINDOW_POS=";
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry)
        if (std::string_view(*entry).substr(0, kPosition.size()) != kPosition)
            entries.emplace_back(*entry);
    entries.push_back(std::string(kPosition) + std::to_string(x) + "," + std::to_string(y));
    return entries;
}

// Waits for `pid` to end for at most `timeoutMs`; reaps it when it ended.
void WaitForChild(pid_t pid, uint32_t timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto remainingMs = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    };
    // A process descriptor turns readable when the child ends, so the wait
    // sleeps in the kernel; without one (old kernels) it polls.
#ifdef SYS_pidfd_open
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    const int pidfd = -1;
#endif
    if (pidfd >= 0) {
        pollfd watch{pidfd, POLLIN, 0};
        int ready;
        do
            ready = ::poll(&watch, 1, remainingMs());
        while (ready < 0 && errno == EINTR);
        ::close(pidfd);
        if (ready > 0)
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        return;
    }
    for (;;) {
        const pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR) || remainingMs() == 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool PosixStartAndWait(const char* path, int x, int y, uint32_t timeoutMs)
{
    if (!path || !*path)
        return false;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
    // The installer's files and sockets stay the installer's.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    std::vector<std::string> environment = ChildEnvironment(x, y);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(path), nullptr};
    pid_t pid = 0;
    const int started = ::posix_spawn(&pid, path, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return false;
    WaitForChild(pid, timeoutMs);
    return true;
}

bool PosixQueryRuntimeVersion(uint32_t* version)
{
    const char* configured = std::getenv("HALVENSET_RUNTIME_VERSION");
    if (!configured) {
        *version = kRuntimeVersionNeeded;
        return true;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(configured, &end, 0);
    if (end == configured || *end || errno || value > UINT32_MAX)
        return false;
    *version = static_cast<uint32_t>(value);
    return true;
}

int32_t PosixInstallRuntime(void*, const char*, uint32_t)
{
    const char* configured = std::getenv("HALVENSET_RUNTIME_STATUS");
    return configured ? static_cast<int32_t>(std::strtol(configured, nullptr, 0)) : 0;
}

void PosixRequestRestart(uint32_t, uint32_t)
{
    ++gRestartRequests;
    std::fprintf(stderr, "Halvenset: a restart was requested (not carried out here)\n");
}

const Host kPosixHost = {
    .messageBox = PosixMessageBox,
    .focusWindow = PosixFocusWindow,
    .openKey = PosixOpenKey,
    .closeKey = PosixCloseKey,
    .startAndWait = PosixStartAndWait,
    .queryRuntimeVersion = PosixQueryRuntimeVersion,
    .installRuntime = PosixInstallRuntime,
    .requestRestart = PosixRequestRestart,
};

} // namespace

const Host& PosixHost()
{
    return kPosixHost;
}

int PosixRestartRequests()
{
    return gRestartRequests;
}

} // namespace halvenset
