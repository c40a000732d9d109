// The game program's start-up as a player meets it: the program itself,
// started afresh each run (its libraries loaded and relocated, its
// start-up, its first front-end frame drawn), on a scratch copy of the demo
// data. Each run's time is from the launch to the pass of the frame loop
// after the one that drew and showed that frame ("state 1" on its output,
// from an input table that then closes the window); process_cpu_ms is the whole run's processor time
// (every thread, user and system, its shutdown included).
//
// BM_ProgramToFrontEnd/headless runs on SDL's dummy drivers. The /window
// and /full_screen runs show the game on an X display of their own (Xvfb, a
// 1280 x 1024 screen with no window manager) when Xvfb is installed: in a
// window ("-w") and in full screen as play.sh starts it.
#include <benchmark/benchmark.h>

#include "bench/gamerun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using kvbench::Clock;
using kvbench::Milliseconds;

std::string FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// An Xvfb server of our own for the benchmark's life; display() is empty
// when none could be started.
class XServer {
public:
    XServer()
    {
        const std::string xvfb = FindProgram("Xvfb");
        int ends[2];
        if (xvfb.empty() || ::pipe(ends) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ends[0]);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDERR_FILENO);
            const std::string fd = std::to_string(ends[1]);
            ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ends[1]);
        std::string number;
        char c;
        while (::read(ends[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(ends[0]);
        if (!number.empty())
            display_ = ":" + number;
    }
    ~XServer()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

struct ProgramRun {
    double toFirstPassMs = -1;
    double cpuMs = 0;
};

// Starts the game in the working folder with `arguments` and `environment`
// and reads its output to "state 1".
ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
{
    ProgramRun run;
    int ends[2];
    if (::pipe(ends) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, ends[0]);
    std::vector<std::string> argumentText = {KV_GAME_PROGRAM};
    argumentText.insert(argumentText.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argumentText)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environmentText = environment;
    for (std::string& e : environmentText)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    const Clock::time_point start = Clock::now();
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, KV_GAME_PROGRAM, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        return run;
    }
    std::string line;
    char c;
    while (::read(ends[0], &c, 1) == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (line.rfind("state 1 ", 0) == 0 && run.toFirstPassMs < 0)
            run.toFirstPassMs = Milliseconds(start, Clock::now());
        line.clear();
    }
    ::close(ends[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        run.toFirstPassMs = -1;
    for (const timeval& t : {usage.ru_utime, usage.ru_stime})
        run.cpuMs += static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    return run;
}

enum class Where {
    Headless,
    Window,
    FullScreen
};

void BM_ProgramToFrontEnd(benchmark::State& state, Where where)
{
    static kvbench::GameScratch scratch; // the working folder, SDL's dummy drivers in the environment
    static XServer x;
    std::ofstream("firsttable.txt") << "1 state\n2 quit\n";
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool video = entry.rfind("SDL_VIDEODRIVER=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0;
        if (!video || where == Where::Headless)
            environment.push_back(entry);
    }
    environment.push_back("KELVANDRIST_INPUT=firsttable.txt");
    std::vector<std::string> arguments;
    if (where != Where::Headless) {
        if (x.display().empty()) {
            state.SkipWithError("no Xvfb");
            return;
        }
        environment.push_back("DISPLAY=" + x.display());
        if (where == Where::Window)
            arguments.push_back("-w");
    }
    double cpuMs = 0;
    for (auto _ : state) {
        const ProgramRun run = RunProgram(arguments, environment);
        if (run.toFirstPassMs < 0) {
            state.SkipWithError("the program did not reach its first front-end pass");
            return;
        }
        state.SetIterationTime(run.toFirstPassMs / 1000.0);
        cpuMs += run.cpuMs;
    }
    state.counters["process_cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
}
BENCHMARK_CAPTURE(BM_ProgramToFrontEnd, headless, Where::Headless)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ProgramToFrontEnd, window, Where::Window)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_ProgramToFrontEnd, full_screen, Where::FullScreen)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace
