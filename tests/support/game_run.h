// Runs the game program as a real process, for the tests of the program as
// a whole.
#pragma once

#include <algorithm>
#include <iterator>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

struct GameRun {
    int exitCode = -1;
    std::string output; // standard output and error together
    std::string hung;   // why the hang guard stopped it, or empty
};

// What makes a run a hang, as opposed to a slow run on a busy machine: the
// game used no processor time at all for `blockedSeconds` (it waits on
// something that never comes, such as the open of a FIFO nobody writes), or
// it ran `limitSeconds` in all (a loop that never ends). Both lie far above
// what any run needs, however loaded the machine; a test that means to end
// a game that would run on ends it through its input table's "quit".
struct HangGuard {
    int blockedSeconds = 30;
    int limitSeconds = 600;
};

inline std::filesystem::path GameProgram()
{
    // Test programs sit in tests/ of the build folder, the game beside it.
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "Kelvandrist";
}

// A game process started and not yet waited for; its standard output and
// error come through `output`.
struct GameProcess {
    pid_t pid = -1;
    int output = -1;
};

// Starts the game with its arguments and extra environment, in `folder`;
// with `runAsUser` (a user id), as that user, as far as the test may.
inline GameProcess LaunchGame(const std::vector<std::string>& args, const std::vector<std::string>& env,
                              const std::filesystem::path& folder, int runAsUser = -1)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::close(out[0]);
        ::close(out[1]);
        if (::chdir(folder.c_str()) != 0)
            ::_exit(127);
        if (runAsUser >= 0 && (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(runAsUser)) != 0 ||
                               ::setuid(static_cast<uid_t>(runAsUser)) != 0))
            ::_exit(126);
        for (const std::string& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        std::string program = GameProgram().string();
        std::vector<char*> argv{program.data()};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    return {pid, out[0]};
}

// The processor time the process has used so far, in clock ticks; -1 when
// it has gone.
inline long ProcessorTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command's name, in parentheses, may hold blanks: count the fields
    // after its closing one. User and system time are the 12th and 13th.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    long user = 0, system = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i)
        if (i == 12)
            user = std::stol(field);
        else if (i == 13)
            system = std::stol(field);
    return fields ? user + system : -1;
}

// Reads the game's output to its end and waits for it to exit, stopping it
// as a hang when the guard says it is one: asked to end first (SIGTERM),
// killed when even that goes unheard for the guard's blocked time.
inline GameRun FinishGame(const GameProcess& game, const HangGuard& guard = {})
{
    GameRun run;
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto lastWork = start, askedAt = start;
    long ticks = ProcessorTicks(game.pid);
    bool killed = false;
    char buffer[512];
    for (;;) {
        pollfd readable{game.output, POLLIN, 0};
        const int ready = ::poll(&readable, 1, 1000);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready > 0) {
            const ssize_t n = ::read(game.output, buffer, sizeof buffer);
            if (n <= 0)
                break;
            run.output.append(buffer, static_cast<std::size_t>(n));
        }
        const auto now = Clock::now();
        const long used = ProcessorTicks(game.pid);
        if (used != ticks) {
            ticks = used;
            lastWork = now;
        }
        auto seconds = [&](Clock::time_point since) {
            return std::chrono::duration_cast<std::chrono::seconds>(now - since).count();
        };
        if (run.hung.empty()) {
            if (seconds(lastWork) >= guard.blockedSeconds)
                run.hung = "used no processor time for " + std::to_string(guard.blockedSeconds) + " s";
            else if (seconds(start) >= guard.limitSeconds)
                run.hung = "still running after " + std::to_string(guard.limitSeconds) + " s";
            if (!run.hung.empty()) {
                ::kill(game.pid, SIGTERM);
                askedAt = now;
            }
        } else if (!killed && seconds(askedAt) >= guard.blockedSeconds) {
            ::kill(game.pid, SIGKILL);
            killed = true;
        }
    }
    ::close(game.output);
    int status = 0;
    ::waitpid(game.pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// Runs the game with its arguments and extra environment, in `folder`, to
// its end, under the hang guard.
inline GameRun RunGame(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::filesystem::path& folder,
                       const HangGuard& guard = {})
{
    const GameProcess game = LaunchGame(args, env, folder);
    if (game.pid <= 0)
        return {};
    return FinishGame(game, guard);
}

// The lines of a run's output that name a file's leaf, whatever its case
// (the game names data files with the case its scripts give them).
inline std::vector<std::string> LinesNaming(const std::string& output, const std::string& leaf)
{
    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (lower(line).find(lower(leaf)) != std::string::npos)
            lines.push_back(line);
    return lines;
}

// A copy of the source folder's demo data tree in `folder` (the game writes
// its log and career files where it runs); returns the folder.
inline std::filesystem::path CopyDemoData(const std::filesystem::path& folder)
{
    std::filesystem::copy(std::filesystem::path(KV_SOURCE_DIR) / "data", folder,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    return folder;
}
