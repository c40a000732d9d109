// Runs the game program as a real process, for the tests of the program as
// a whole.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

struct GameRun {
    int exitCode = -1;
    std::string output;   // standard output and error together
    bool stopped = false; // still running at the deadline: asked to end
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

// Reads the game's output to its end and waits for it to exit. With
// `stopAfterMs`, the game is asked to end (SIGTERM, which arrives as the
// window's quit) when it still runs once that time has passed, as a player
// closing the window; a game that ends before returns at once.
inline GameRun FinishGame(const GameProcess& game, int stopAfterMs = 0)
{
    GameRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(stopAfterMs);
    char buffer[512];
    for (;;) {
        int wait = -1;
        if (stopAfterMs > 0 && !run.stopped) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<long long>(0, left.count()));
        }
        pollfd readable{game.output, POLLIN, 0};
        const int ready = ::poll(&readable, 1, wait);
        if (ready == 0) {
            ::kill(game.pid, SIGTERM);
            run.stopped = true;
            continue;
        }
        if (ready < 0 && errno == EINTR)
            continue;
        const ssize_t n = ready > 0 ? ::read(game.output, buffer, sizeof buffer) : -1;
        if (n <= 0)
            break;
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(game.output);
    int status = 0;
    ::waitpid(game.pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// Runs the game with its arguments and extra environment, in `folder`, to
// its end or, with `stopAfterMs`, until it is asked to end (FinishGame).
inline GameRun RunGame(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::filesystem::path& folder,
                       int stopAfterMs = 0)
{
    const GameProcess game = LaunchGame(args, env, folder);
    if (game.pid <= 0)
        return {};
    return FinishGame(game, stopAfterMs);
}

// A copy of the source folder's demo data tree in `folder` (the game writes
// its log and career files where it runs); returns the folder.
inline std::filesystem::path CopyDemoData(const std::filesystem::path& folder)
{
    std::filesystem::copy(std::filesystem::path(KV_SOURCE_DIR) / "data", folder,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    return folder;
}
