// A virtual X server (Xvfb) for the tests of real windows, screenshots of
// its screen taken by xwd, and keys and pointer sent by xdotool. Tests skip,
// with a message, where a program they need is absent.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// The program's full path along PATH, or empty.
inline std::string FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// An X window dump: its 32-bit pixels as 0xRRGGBB.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline uint32_t XwdBig32(const std::vector<uint8_t>& b, std::size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// Reads an xwd dump of a 24-bit screen; false for anything else.
inline bool ReadXwd(const std::string& path, Screenshot& shot)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> b(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (b.size() < 100)
        return false;
    const uint32_t headerSize = XwdBig32(b, 0), width = XwdBig32(b, 16), height = XwdBig32(b, 20);
    const uint32_t byteOrder = XwdBig32(b, 28), bitsPerPixel = XwdBig32(b, 44), bytesPerLine = XwdBig32(b, 48);
    const uint32_t redMask = XwdBig32(b, 56), greenMask = XwdBig32(b, 60), blueMask = XwdBig32(b, 64);
    const uint32_t colours = XwdBig32(b, 76);
    const std::size_t data = std::size_t(headerSize) + std::size_t(colours) * 12;
    // Depth 24 pixels in 3 or 4 bytes.
    const std::size_t step = bitsPerPixel / 8;
    if ((step != 3 && step != 4) || std::size_t(width) * step > bytesPerLine || redMask != 0xFF0000 ||
        greenMask != 0xFF00 || blueMask != 0xFF || data + std::size_t(bytesPerLine) * height > b.size())
        return false;
    shot.width = int(width);
    shot.height = int(height);
    shot.pixels.resize(std::size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            std::size_t at = data + std::size_t(y) * bytesPerLine + std::size_t(x) * step;
            const std::size_t low = byteOrder == 0 ? at : at + step - 3; // the three colour bytes
            uint32_t v = byteOrder == 0 ? uint32_t(b[low]) | uint32_t(b[low + 1]) << 8 | uint32_t(b[low + 2]) << 16
                                        : uint32_t(b[low]) << 16 | uint32_t(b[low + 1]) << 8 | b[low + 2];
            shot.pixels[std::size_t(y) * width + x] = v & 0xFFFFFF;
        }
    return true;
}

// One Xvfb server with a screen of the given size at 24 bits, ended with the
// object. Input goes to it through xdotool, where that is installed.
class VirtualXServer {
public:
    VirtualXServer() : xvfb_(FindProgram("Xvfb")), xwd_(FindProgram("xwd")), xdotool_(FindProgram("xdotool")) {}
    ~VirtualXServer()
    {
        if (xdotoolPid_ > 0) {
            ::close(input_); // xdotool ends at the end of its commands
            ::close(replies_);
            ::waitpid(xdotoolPid_, nullptr, 0);
        }
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            ::waitpid(server_, nullptr, 0);
        }
    }
    VirtualXServer(const VirtualXServer&) = delete;
    VirtualXServer& operator=(const VirtualXServer&) = delete;

    // Whether both programs are installed.
    bool Available() const { return !xvfb_.empty() && !xwd_.empty(); }

    // Whether xdotool is installed too, to send keys and the pointer.
    bool CanSendInput() const { return Available() && !xdotool_.empty(); }

    // Starts the server on a free display; false when it does not start.
    bool Start(int width, int height)
    {
        // The server picks a free display and writes its number to our pipe.
        int channel[2];
        if (::pipe(channel) != 0)
            return false;
        server_ = ::fork();
        if (server_ == 0) {
            ::close(channel[0]);
            const std::string fd = std::to_string(channel[1]);
            const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
            ::execl(xvfb_.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
                    "tcp", "-br", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(channel[1]);
        std::string number;
        pollfd wait = {channel[0], POLLIN, 0};
        char c;
        while (server_ > 0 && ::poll(&wait, 1, 120000) == 1 && ::read(channel[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(channel[0]);
        if (number.empty())
            return false;
        display_ = ":" + number;
        // On a busy machine the server may name its display a moment before
        // it takes connections: wait until a client gets through (a dump of
        // the screen), as long as a slow start could need.
        for (int attempt = 0; attempt < 600; ++attempt) {
            if (Run(xwd_, {"xwd", "-root", "-silent", "-display", display_, "-out", "/dev/null"}))
                return true;
            ::usleep(100000);
        }
        return false;
    }

    // The display name, ":N".
    const std::string& Display() const { return display_; }

    // Dumps the whole screen through `file` into `shot`. (Spawned without
    // a shell: a test may take many in a row.)
    bool TakeScreenshot(const std::filesystem::path& file, Screenshot& shot) const
    {
        const std::string out = file.string();
        return Run(xwd_, {"xwd", "-root", "-silent", "-display", display_, "-out", out}) && ReadXwd(out, shot);
    }

    // Sends one xdotool command line ("key F2", "mousemove 200 140",
    // "click 1", "type TESTER") to the display and waits until the server
    // has taken it; false when xdotool is absent or the command failed.
    // One xdotool reads every command of the server from a pipe, so a
    // command costs a round trip, not a program start.
    bool SendInput(const std::string& command)
    {
        if (xdotool_.empty() || display_.empty() || (input_ < 0 && !StartInput()))
            return false;
        // The pointer's place, asked after the command, comes back once
        // the server has handled what came before it.
        const std::string lines = command + "\ngetmouselocation\n";
        if (::write(input_, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size()))
            return false;
        bool clean = true;
        for (std::string line; ReadReply(line);) {
            if (line.rfind("x:", 0) == 0)
                return clean;
            clean = false; // xdotool's complaint about the command
        }
        return false;
    }

    // Lets a game that its input table holds go on: the key the hold waits
    // for, sent after all input before it, which the game thus has waiting
    // for its next pass.
    bool ReleaseHold() { return SendInput("key Scroll_Lock"); }

private:
    // Starts `xdotool -` on the display, reading commands from our pipe and
    // answering (output and errors) through another.
    bool StartInput()
    {
        // The pipes stay out of every other program the test starts; a
        // write after xdotool has gone fails instead of ending the test.
        int commands[2], replies[2];
        if (::pipe2(commands, O_CLOEXEC) != 0)
            return false;
        if (::pipe2(replies, O_CLOEXEC) != 0) {
            ::close(commands[0]);
            ::close(commands[1]);
            return false;
        }
        std::signal(SIGPIPE, SIG_IGN);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, commands[0], 0);
        posix_spawn_file_actions_adddup2(&actions, replies[1], 1);
        posix_spawn_file_actions_adddup2(&actions, replies[1], 2);
        std::vector<std::string> env = Environment();
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const char* argv[] = {"xdotool", "-", nullptr};
        const bool started = ::posix_spawn(&xdotoolPid_, xdotool_.c_str(), &actions, nullptr,
                                           const_cast<char* const*>(argv), envp.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(commands[0]);
        ::close(replies[1]);
        if (!started) {
            ::close(commands[1]);
            ::close(replies[0]);
            xdotoolPid_ = -1;
            return false;
        }
        input_ = commands[1];
        replies_ = replies[0];
        return true;
    }

    // One line of xdotool's answers, waiting up to two minutes for it (a
    // busy machine's X server may be slow; a dead one never answers).
    bool ReadReply(std::string& line)
    {
        line.clear();
        for (;;) {
            const std::size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return true;
            }
            pollfd readable{replies_, POLLIN, 0};
            char buffer[256];
            if (::poll(&readable, 1, 120000) != 1)
                return false;
            const ssize_t n = ::read(replies_, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            pending_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // This process's environment with DISPLAY naming our server.
    std::vector<std::string> Environment() const
    {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("DISPLAY=", 0) != 0)
                env.emplace_back(*e);
        env.push_back("DISPLAY=" + display_);
        return env;
    }

    // Runs the program with the arguments; true when it exits with 0.
    static bool Run(const std::string& program, const std::vector<std::string>& words)
    {
        std::vector<char*> argv;
        for (const std::string& w : words)
            argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            return false;
        int status = 0;
        return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::string xvfb_, xwd_, xdotool_, display_;
    pid_t server_ = -1;
    pid_t xdotoolPid_ = -1;
    int input_ = -1, replies_ = -1; // the pipes to and from xdotool
    std::string pending_;           // xdotool's answers not yet read
};
