// The install-check library: the dialogues and host calls of each entry
// point against a fake host, the POSIX host's film start, and the built
// library's exports loaded as the installer loads them.
#include "installcheck/halvenset.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace halvenset;

namespace {

// The texts and captions as the user must see them, in code page 1252.
const std::string kFilmBox = "box YesNo [Vorn - Film d'Introduction] Voulez-vous voir le Film d'Introduction?";
const std::string kReinstallBox = "box YesNo [Installation de Vorn] Vorn est d\xE9"
                                  "j\xE0"
                                  " install\xE9"
                                  " sur votre ordinateur\n\nVoulez-vous r\xE9"
                                  "installer Vorn sur votre ordinateur?";
const std::string kRuntimeBox = "box YesNo [Installation de DirectX] DirectX5 est n\xE9"
                                "cessaire au fonctionnement d'VORN\n\nVoulez-vous installer DirectX5?";
const std::string kRestartBox = "box YesNo [Installation de DirectX] Vous devez red\xE9"
                                "marrer votre ordinateur\n\nVoulez-vous red\xE9"
                                "marrer votre ordinateur?";
const std::string kKeyOpen =
    "open HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vorn.exe access 0x20019";

// A host that writes down every call and answers from a script.
struct FakeHost {
    std::vector<std::string> calls;
    std::deque<Answer> answers; // one a Yes/No box; none left: No
    bool keyExists = false;
    bool versionKnown = true;
    uint32_t version = 0;
    int32_t installStatus = 0;
    bool startWorks = true;
    void* focus = reinterpret_cast<void*>(0xF0C5);
};
FakeHost* gFake = nullptr;

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

const Host kFakeHost = {
    .messageBox = [](void* owner, const char* text, const char* caption, Buttons buttons) {
        EXPECT_EQ(owner, gFake->focus) << "boxes are owned by the focus window";
        gFake->calls.push_back(std::string("box ") + (buttons == Buttons::YesNo ? "YesNo" : "Ok") + " [" + caption +
                               "] " + text);
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (gFake->answers.empty())
            return Answer::No;
        Answer answer = gFake->answers.front();
        gFake->answers.pop_front();
        return answer; },
    .focusWindow = [] { return gFake->focus; },
    .openKey =
        [](const char* key, uint32_t access, uintptr_t* handle) {
            gFake->calls.push_back(std::string("open HKLM\\") + key + " access " + Hex(access));
            *handle = 77;
            return gFake->keyExists;
        },
    .closeKey = [](uintptr_t handle) { gFake->calls.push_back("close " + std::to_string(handle)); },
    .startAndWait =
        [](const char* path, int x, int y, uint32_t timeoutMs) {
            gFake->calls.push_back(std::string("start ") + path + " at " + std::to_string(x) + "," +
                                   std::to_string(y) + " wait " + std::to_string(timeoutMs));
            return gFake->startWorks;
        },
    .queryRuntimeVersion =
        [](uint32_t* version) {
            gFake->calls.push_back("version");
            *version = gFake->version;
            return gFake->versionKnown;
        },
    .installRuntime =
        [](void* window, const char* folder, uint32_t flags) {
            gFake->calls.push_back("install window " + Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window))) +
                                   " folder " + folder + " flags " + Hex(flags));
            return gFake->installStatus;
        },
    .requestRestart =
        [](uint32_t flags, uint32_t reserved) {
            gFake->calls.push_back("restart " + std::to_string(flags) + " " + std::to_string(reserved));
        },
};

const char kFolder[] = "/opt/vorn/";
const uintptr_t kWindow = 0x1234;

uint32_t Call(uint32_t (*entry)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t), const char* folder = kFolder)
{
    return entry(kWindow, reinterpret_cast<uintptr_t>(folder), 3, 4, 5);
}

class WithFakeHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        gFake = &fake;
        previous = SetHost(&kFakeHost);
    }
    void TearDown() override
    {
        SetHost(previous);
        gFake = nullptr;
    }
    FakeHost fake;
    const Host* previous = nullptr;
};

const std::string kFilmStart = "start /opt/vorn/Mervisk.exe at 8,8 wait 1800000";

TEST_F(WithFakeHost, PreviousInstallationTest)
{
    struct Case {
        const char* name;
        bool keyExists;
        std::vector<Answer> answers;
        uint32_t result;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"no key: go on without a box", false, {}, 1, {kKeyOpen}},
        {"reinstall chosen", true, {Answer::Yes}, 1, {kKeyOpen, "close 77", kReinstallBox}},
        {"declined, film declined", true, {Answer::No, Answer::No}, 0, {kKeyOpen, "close 77", kReinstallBox, kFilmBox}},
        {"declined, film watched",
         true,
         {Answer::No, Answer::Yes},
         0,
         {kKeyOpen, "close 77", kReinstallBox, kFilmBox, kFilmStart}},
    };
    for (const Case& c : cases) {
        fake = FakeHost{};
        fake.keyExists = c.keyExists;
        fake.answers.assign(c.answers.begin(), c.answers.end());
        const uint32_t result = Call(Halvenset);
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(fake.calls, c.calls) << c.name;
    }
}

TEST_F(WithFakeHost, RuntimeCheckAndInstall)
{
    const std::string install = "install window 0x1234 folder /opt/vorn/ flags 0x10018";
    struct Case {
        const char* name;
        bool versionKnown;
        uint32_t version;
        std::vector<Answer> answers;
        int32_t status;
        uint32_t result;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"recent enough", true, 0x40005, {}, 0, 1, {"version"}},
        {"newer", true, 0x60000, {}, 0, 1, {"version"}},
        {"one below: offered, declined", true, 0x40004, {Answer::No}, 0, 1, {"version", kRuntimeBox}},
        {"failed query counts as old", false, 0x70000, {Answer::No}, 0, 1, {"version", kRuntimeBox}},
        {"installer error",
         true,
         0x40004,
         {Answer::Yes},
         -3,
         1,
         {"version", kRuntimeBox, install, "box Ok [Direct X Install] Error Code -3\n"}},
        {"nothing done", true, 0, {Answer::Yes}, 0, 1, {"version", kRuntimeBox, install}},
        {"other positive status", true, 0, {Answer::Yes}, 2, 1, {"version", kRuntimeBox, install}},
        {"restart chosen",
         true,
         0,
         {Answer::Yes, Answer::Yes},
         1,
         0,
         {"version", kRuntimeBox, install, kRestartBox, "restart 2 0"}},
        {"restart declined", true, 0, {Answer::Yes, Answer::No}, 1, 0, {"version", kRuntimeBox, install, kRestartBox}},
    };
    for (const Case& c : cases) {
        fake = FakeHost{};
        fake.versionKnown = c.versionKnown;
        fake.version = c.version;
        fake.installStatus = c.status;
        fake.answers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(Call(DirectXInstall), c.result) << c.name;
        EXPECT_EQ(fake.calls, c.calls) << c.name;
    }
}

TEST_F(WithFakeHost, FilmOffer)
{
    const std::string longFolder(510, 'f');
    struct Case {
        const char* name;
        Answer answer;
        bool startWorks;
        const char* folder;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"declined", Answer::No, true, kFolder, {kFilmBox}},
        {"watched", Answer::Yes, true, kFolder, {kFilmBox, kFilmStart}},
        {"player missing", Answer::Yes, false, kFolder, {kFilmBox, kFilmStart}},
        {"no trailing slash: the name is glued on",
         Answer::Yes,
         true,
         "/opt/vorn",
         {kFilmBox, "start /opt/vornMervisk.exe at 8,8 wait 1800000"}},
        {"folder too long for the command line", Answer::Yes, true, longFolder.c_str(), {kFilmBox}},
        {"no folder", Answer::Yes, true, nullptr, {kFilmBox}},
    };
    for (const Case& c : cases) {
        fake = FakeHost{};
        fake.answers = {c.answer};
        fake.startWorks = c.startWorks;
        EXPECT_EQ(Call(PlayIntroMovie, c.folder), 1u) << c.name;
        EXPECT_EQ(fake.calls, c.calls) << c.name;
    }
}

TEST_F(WithFakeHost, ResultsUseOnlyTheLowByte)
{
    fake.keyExists = true;
    fake.answers = {Answer::No};
    EXPECT_EQ(Call(Halvenset), 0u);
    fake.answers = {Answer::Yes};
    EXPECT_EQ(Call(Halvenset), 1u);
}

TEST(HalvensetHost, SetHostAnswersThePreviousTableAndNullRestoresTheDefault)
{
    const Host* before = SetHost(&kFakeHost);
    EXPECT_EQ(before, &PosixHost());
    EXPECT_EQ(SetHost(nullptr), &kFakeHost);
    EXPECT_EQ(SetHost(nullptr), &PosixHost());
}

// The POSIX host's film start, with real processes.
class PosixFilm : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = PosixHost();
        host.messageBox = [](void*, const char*, const char*, Buttons) { return Answer::Yes; };
        previous = SetHost(&host);
    }
    void TearDown() override { SetHost(previous); }

    // A shell script named as the film player, in a folder with a blank.
    std::filesystem::path WritePlayer(const std::string& body)
    {
        const std::filesystem::path player = folder / "Mervisk.exe";
        root.Write("with blank/Mervisk.exe", "#!/bin/sh\n" + body);
        ::chmod(player.c_str(), 0755);
        return player;
    }

    ScratchFolder root{"halvenset"};
    std::filesystem::path folder = root / "with blank";
    Host host{};
    const Host* previous = nullptr;
};

TEST_F(PosixFilm, RunsThePlayerAndWaitsForItToEnd)
{
    // The marker is written after a pause: it is there only if the call
    // waited. The player also reports its window position and whether it
    // holds descriptors beyond 0-2.
    WritePlayer("sleep 0.3\n"
                "echo \"$SDL_VIDEO_WINDOW_POS\" > \"$(dirname \"$0\")/marker\"\n"
                "ls /proc/$$/fd | sort -n | tr '\\n' ' ' > \"$(dirname \"$0\")/fds\"\n");
    const int opened = ::open("/dev/null", O_RDONLY);
    const int extra = ::fcntl(opened, F_DUPFD, 50); // above any the shell uses
    ::close(opened);
    const std::string dir = folder.string() + "/";
    EXPECT_EQ(PlayIntroMovie(0, reinterpret_cast<uintptr_t>(dir.c_str()), 0, 0, 0), 1u);
    ::close(extra);
    EXPECT_EQ(root.Read("with blank/marker"), "8,8\n");
    // The shell opens its script on a descriptor of its own (and ls one for
    // the listing); the installer's descriptor must not be among them.
    ASSERT_NE(root.Read("with blank/fds").find("0 1 2 "), std::string::npos);
    EXPECT_EQ(root.Read("with blank/fds").find(" " + std::to_string(extra) + " "), std::string::npos)
        << root.Read("with blank/fds");
}

TEST_F(PosixFilm, WaitsNoLongerThanTheTimeout)
{
    // The player lets go of the test's output, which ctest waits on.
    const std::filesystem::path player = WritePlayer("exec >/dev/null 2>&1\n"
                                                     "sleep 5\n"
                                                     "touch \"$(dirname \"$0\")/late\"\n");
    EXPECT_TRUE(PosixHost().startAndWait(player.c_str(), 8, 8, 100));
    EXPECT_FALSE(std::filesystem::exists(folder / "late")) << "returned only after the player ended";
}

TEST_F(PosixFilm, GluedOrMissingPlayerStartsNothing)
{
    WritePlayer("touch \"$(dirname \"$0\")/ran\"\n");
    const std::string noSlash = folder.string(); // ".../with blankMervisk.exe" does not exist
    EXPECT_EQ(PlayIntroMovie(0, reinterpret_cast<uintptr_t>(noSlash.c_str()), 0, 0, 0), 1u);
    EXPECT_FALSE(std::filesystem::exists(folder / "ran"));
    EXPECT_FALSE(PosixHost().startAndWait((folder / "absent.exe").c_str(), 8, 8, 1000));
    // A blank splits nothing: "with" is not run as a program of its own.
    root.Write("with", "#!/bin/sh\ntouch \"$(dirname \"$0\")/split\"\n");
    ::chmod((root / "with").c_str(), 0755);
    const std::string dir = folder.string() + "/";
    EXPECT_EQ(PlayIntroMovie(0, reinterpret_cast<uintptr_t>(dir.c_str()), 0, 0, 0), 1u);
    EXPECT_TRUE(std::filesystem::exists(folder / "ran"));
    EXPECT_FALSE(std::filesystem::exists(root / "split"));
}

// The built library, loaded and called as the installer does, with the
// POSIX host configured through its environment (no display: every
// question is answered No).
TEST(HalvensetLibrary, ExportsExactlyTheThreeEntryPoints)
{
    FILE* listing = ::popen("nm -D --defined-only '" HALVENSET_LIBRARY "'", "r");
    ASSERT_NE(listing, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, listing)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const std::size_t blank = text.rfind(' ');
        names.insert(text.substr(blank + 1));
    }
    EXPECT_EQ(::pclose(listing), 0);
    EXPECT_EQ(names, (std::set<std::string>{"DirectXInstall", "Halvenset", "PlayIntroMovie"}));
}

TEST(HalvensetLibrary, LoadsAndAnswersThroughTheDefaultHost)
{
    using Entry = uint32_t (*)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    ScratchFolder root("halvenset_dl");
    root.Write("registry.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
                               "Paths\\Vorn.exe]\n@=\"C:\\\\Vorn\\\\Vorn.exe\"\n");
    const std::string store = (root / "registry.reg").string();
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("HALVENSET_RUNTIME_VERSION", "0x40004", 1);

    void* library = ::dlopen(HALVENSET_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    auto halvenset = reinterpret_cast<Entry>(::dlsym(library, "Halvenset"));
    auto runtime = reinterpret_cast<Entry>(::dlsym(library, "DirectXInstall"));
    auto film = reinterpret_cast<Entry>(::dlsym(library, "PlayIntroMovie"));
    ASSERT_TRUE(halvenset && runtime && film);
    EXPECT_EQ(::dlsym(library, "_ZN9halvenset7SetHostEPKNS_4HostE"), nullptr) << "the host table stays inside";

    const std::string dir = root.Path().string() + "/";
    const uintptr_t folder = reinterpret_cast<uintptr_t>(dir.c_str());
    ::setenv("KELVANDRIST_REGISTRY", (root / "absent.reg").c_str(), 1);
    EXPECT_EQ(halvenset(0, folder, 0, 0, 0), 1u) << "no previous installation";
    ::setenv("KELVANDRIST_REGISTRY", store.c_str(), 1);
    EXPECT_EQ(halvenset(0, folder, 0, 0, 0), 0u) << "installed, and the reinstall answered No";
    EXPECT_EQ(runtime(0, folder, 0, 0, 0), 1u);
    EXPECT_EQ(film(0, folder, 0, 0, 0), 1u);

    ::dlclose(library);
    ::unsetenv("KELVANDRIST_REGISTRY");
    ::unsetenv("HALVENSET_RUNTIME_VERSION");
}

} // namespace
