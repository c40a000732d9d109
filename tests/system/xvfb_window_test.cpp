// The real window under a virtual X server: the window back end shows the
// test canvas, and a screenshot of the X screen (taken by xwd) holds exactly
// the captured frame in the captured palette's colours. Skipped, with a
// message, where Xvfb or xwd is absent.
#include "system/canvas.h"
#include "system/display.h"
#include "system/settings.h"
#include "platform/display.h"
#include "platform/window.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// The X libraries (and the desktop bus they start) keep allocations for the
// whole process that the leak checker cannot tell from ours: they are not
// counted while the X side starts and runs.
struct XLibraryAllocations {
#if defined(__SANITIZE_ADDRESS__)
    XLibraryAllocations() { __lsan_disable(); }
    ~XLibraryAllocations() { __lsan_enable(); }
#endif
};

std::string FindProgram(const char* name)
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

struct Captured {
    std::vector<uint8_t> frame;
    std::vector<platform::PaletteColour> palette;
} gCaptured;

void Capture(const void* pixels, int width, int height, int pitch, int depth, const platform::PaletteColour* palette)
{
    if (depth != 8)
        return;
    gCaptured.frame.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(gCaptured.frame.data() + static_cast<std::size_t>(y) * width,
                    static_cast<const uint8_t*>(pixels) + static_cast<std::ptrdiff_t>(y) * pitch, width);
    gCaptured.palette.assign(palette, palette + 256);
}

// An X window dump: its 32-bit pixels as 0xRRGGBB.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

uint32_t Big32(const std::vector<uint8_t>& b, std::size_t at)
{
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

bool ReadXwd(const std::string& path, Screenshot& shot)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 100)
        return false;
    const uint32_t headerSize = Big32(b, 0), width = Big32(b, 16), height = Big32(b, 20);
    const uint32_t byteOrder = Big32(b, 28), bitsPerPixel = Big32(b, 44), bytesPerLine = Big32(b, 48);
    const uint32_t redMask = Big32(b, 56), greenMask = Big32(b, 60), blueMask = Big32(b, 64);
    const uint32_t colours = Big32(b, 76);
    const std::size_t data = std::size_t(headerSize) + std::size_t(colours) * 12;
    // Depth 24 pixels in 3 or 4 bytes.
    const std::size_t step = bitsPerPixel / 8;
    if ((step != 3 && step != 4) || std::size_t(width) * step > bytesPerLine ||
        redMask != 0xFF0000 || greenMask != 0xFF00 || blueMask != 0xFF ||
        data + std::size_t(bytesPerLine) * height > b.size())
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

class VirtualX : public ::testing::Test {
protected:
    void SetUp() override
    {
        xvfb = FindProgram("Xvfb");
        xwd = FindProgram("xwd");
        if (xvfb.empty() || xwd.empty())
            GTEST_SKIP() << "Xvfb or xwd is absent: the real window is not checked (install xvfb and x11-apps)";
        // The server picks a free display and writes its number to our pipe.
        int channel[2];
        ASSERT_EQ(::pipe(channel), 0);
        server = ::fork();
        if (server == 0) {
            ::close(channel[0]);
            const std::string fd = std::to_string(channel[1]);
            ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp",
                    "-br", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(channel[1]);
        ASSERT_GT(server, 0);
        std::string number;
        pollfd wait = {channel[0], POLLIN, 0};
        char c;
        while (::poll(&wait, 1, 5000) == 1 && ::read(channel[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(channel[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        display = ":" + number;
        platform::VideoShutdown();
        previousDriver = std::getenv("SDL_VIDEODRIVER") ? std::getenv("SDL_VIDEODRIVER") : "";
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("SDL_VIDEODRIVER", "x11", 1);
        saved = gSettings;
    }
    void TearDown() override
    {
        if (server <= 0)
            return;
        platform::SetPresentHook(nullptr);
        DisplayClose();
        platform::VideoShutdown();
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
        if (previousDriver.empty())
            ::unsetenv("SDL_VIDEODRIVER");
        else
            ::setenv("SDL_VIDEODRIVER", previousDriver.c_str(), 1);
        ::unsetenv("DISPLAY");
        gSettings = saved;
    }

    std::string xvfb, xwd, display, previousDriver;
    pid_t server = -1;
    Settings saved;
};

TEST_F(VirtualX, TheWindowShowsTheCapturedFrameInItsPalette)
{
    XLibraryAllocations notCounted;
    ASSERT_TRUE(platform::VideoAvailable());
    ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
    UseWindowDisplay();
    gScreenMode = DisplayMode{};
    ASSERT_EQ(DisplayOpen(gScreenMode), 1);
    PaletteEntry palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = {uint8_t(i), uint8_t(i * 5), uint8_t(255 - i), 0};
    DisplayInitPalette(palette);
    platform::SetPresentHook(Capture);

    DisplayLock(gScreenMode);
    const Canvas screen = ScreenCanvas();
    CanvasClear(screen, 40);
    CanvasFillRect(screen, 200, 50, 60, 400, 300);
    CanvasLine(screen, 0, 479, 639, 0, 120);
    CanvasFillRect(screen, 3, 600, 0, 639, 20); // a system colour

    ScratchFolder folder("xvfb");
    const std::string dump = (folder / "screen.xwd").string();
    Screenshot shot;
    // The server draws what the client sent; a few tries cover the delay.
    bool found = false;
    int left = 0, top = 0;
    for (int attempt = 0; attempt < 20 && !found; ++attempt) {
        platform::WindowMessage m;
        while (platform::PeekWindowMessage(m)) {
        }
        DisplayPresent(gScreenMode);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string command = xwd + " -root -silent -display " + display + " -out " + dump;
        ASSERT_EQ(std::system(command.c_str()), 0);
        ASSERT_TRUE(ReadXwd(dump, shot));
        // The root is black: the window's top-left pixel is the first that is not.
        for (std::size_t i = 0; i < shot.pixels.size() && !found; ++i) {
            if (shot.pixels[i]) {
                left = int(i % shot.width);
                top = int(i / shot.width);
                found = left + 640 <= shot.width && top + 480 <= shot.height;
            }
        }
    }
    ASSERT_TRUE(found) << "the window never showed on the virtual screen";
    ASSERT_EQ(gCaptured.frame.size(), 640u * 480u);
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const platform::PaletteColour& c = gCaptured.palette[gCaptured.frame[std::size_t(y) * 640 + x]];
            const uint32_t want = uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
            wrong += shot.pixels[std::size_t(top + y) * shot.width + left + x] != want;
        }
    EXPECT_EQ(wrong, 0);
}

} // namespace
