// Running the whole game inside a benchmark: a scratch copy of the demo data
// tree as the working folder, headless (SDL's dummy video and audio), the
// entry's prelude up to the main window, and a child process per run
// (fork) so that every run starts from a fresh program as the real one
// does and the game's global state never outlives it.
//
// What a run does inside its child, and how it is timed, is each
// benchmark's own; this header only hands over the figures it reports.
#pragma once

#include "game/frameloop.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/mainwindow.h"
#include "system/switches.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

namespace kvbench {

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// The processor time of every thread of this process so far.
inline double ProcessCpuMilliseconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A scratch copy of data/ as the working folder, with the lock, the
// registry and the saved state inside it: the game writes, and the source
// tree stays as it is. Passes run back to back (no pacing).
class GameScratch {
public:
    GameScratch()
    {
        char pattern[] = "/tmp/kv_gamerun_XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        root = pattern;
        std::filesystem::copy(std::filesystem::path(KV_SOURCE_DIR) / "data", root / "data",
                              std::filesystem::copy_options::recursive);
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        ::setenv("KELVANDRIST_LOCK_DIR", root.c_str(), 1);
        ::setenv("KELVANDRIST_REGISTRY", (root / "registry").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
        ::setenv(kUnpacedVariable, "1", 1);
        std::filesystem::current_path(root / "data");
    }
    ~GameScratch()
    {
        std::error_code ignored;
        std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
        std::filesystem::remove_all(root, ignored);
    }
    GameScratch(const GameScratch&) = delete;
    GameScratch& operator=(const GameScratch&) = delete;

private:
    std::filesystem::path root;
};

// Runs `body` in a child process and returns the figures it reports, or an
// empty list when the child failed. Adds the child's processor time (every
// thread's, user and system) to `cpuMs`. The children share one scratch
// tree, made at the first call; the child's own output (the game's
// messages) is discarded.
inline std::vector<double> InChild(const std::function<bool(std::vector<double>&)>& body, double& cpuMs)
{
    static GameScratch scratch;
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (std::FILE* quiet = std::fopen("/dev/null", "w")) {
            ::dup2(::fileno(quiet), STDOUT_FILENO);
            ::dup2(::fileno(quiet), STDERR_FILENO);
        }
        std::vector<double> figures;
        const bool ok = body(figures);
        if (ok) {
            const auto bytes = static_cast<ssize_t>(figures.size() * sizeof(double));
            if (::write(pipeEnds[1], figures.data(), static_cast<size_t>(bytes)) != bytes)
                ::_exit(2);
        }
        ::_exit(ok ? 0 : 1); // no exit handlers: the parent owns them
    }
    ::close(pipeEnds[1]);
    std::vector<double> figures;
    double figure = 0;
    while (::read(pipeEnds[0], &figure, sizeof figure) == sizeof figure)
        figures.push_back(figure);
    ::close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    for (const timeval& t : {usage.ru_utime, usage.ru_stime})
        cpuMs += static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    return figures;
}

// The entry's prelude, as WinMain runs it before StartGame: the command
// line in the dummy window's display, the fixed frame time when
// $KELVANDRIST_FRAME_SECONDS holds one, the window classes and the window.
inline bool OpenMainWindow(const char* commandLine)
{
    UseFullScreenDisplay();
    ApplyCommandLine(SplitCommandLine(commandLine));
    gLoopFlags = LoopFlags{};
    UseFixedFrameTimeFromEnvironment();
    return RegisterWindowClasses() && CreateMainWindow(1);
}

} // namespace kvbench
