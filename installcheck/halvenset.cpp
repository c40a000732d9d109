// The three entry points of the install-check library and the film
// player's start. The dialogues, their texts and their order are the
// installer's contract with the user; every system call goes through the
// host table (halvenset.h).
#include "installcheck/halvenset.h"

#include <cstdio>
#include <cstring>

namespace halvenset {
namespace {

// The texts are code page 1252 bytes. Each escape ends its literal, so a
// following letter cannot be read as another hex digit.
constexpr const char kFilmText[] = "Voulez-vous voir le Film d'Introduction?";
constexpr const char kFilmCaption[] = "Vorn - Film d'Introduction";
constexpr const char kReinstallText[] = "Vorn est d\xE9"
                                        "j\xE0"
                                        " install\xE9"
                                        " sur votre ordinateur\n\nVoulez-vous r\xE9"
                                        "installer Vorn sur votre ordinateur?";
constexpr const char kReinstallCaption[] = "Installation de Vorn";
constexpr const char kRuntimeText[] = "DirectX5 est n\xE9"
                                      "cessaire au fonctionnement d'VORN\n\nVoulez-vous installer DirectX5?";
constexpr const char kRuntimeCaption[] = "Installation de DirectX";
constexpr const char kRuntimeErrorFormat[] = "Error Code %i\n";
constexpr const char kRuntimeErrorCaption[] = "Direct X Install";
constexpr const char kRestartText[] = "Vous devez red\xE9"
                                      "marrer votre ordinateur\n\nVoulez-vous red\xE9"
                                      "marrer votre ordinateur?";

constexpr const char kInstalledKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vorn.exe";
constexpr const char kFilmPlayer[] = "Mervisk.exe";

const Host* gHost = nullptr;

const Host& CurrentHost()
{
    return gHost ? *gHost : PosixHost();
}

Answer Ask(const char* text, const char* caption, Buttons buttons)
{
    const Host& host = CurrentHost();
    return host.messageBox(host.focusWindow(), text, caption, buttons);
}

// Starts the film player and waits for it to end, at most half an hour.
// A player that cannot be started is ignored.
void RunAndWait(const char* path)
{
    CurrentHost().startAndWait(path, kFilmWindowX, kFilmWindowY, kFilmWaitMs);
}

} // namespace

const Host* SetHost(const Host* host)
{
    const Host* previous = &CurrentHost();
    gHost = host;
    return previous;
}

} // namespace halvenset

using namespace halvenset;

extern "C" uint32_t PlayIntroMovie(uintptr_t, uintptr_t folder, uintptr_t, uintptr_t, uintptr_t)
{
    if (Ask(kFilmText, kFilmCaption, Buttons::YesNo) != Answer::Yes)
        return 1;
    // The folder ends in a slash, so the player's name is appended as it is.
    // A folder that leaves no room for the name (or none at all) starts no
    // film: a cut path could name another program.
    const char* dir = reinterpret_cast<const char*>(folder);
    char path[512];
    if (!dir)
        return 1;
    const int length = std::snprintf(path, sizeof path, "%s%s", dir, kFilmPlayer);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof path)
        return 1;
    RunAndWait(path);
    return 1;
}

extern "C" uint32_t Halvenset(uintptr_t window, uintptr_t folder, uintptr_t arg3, uintptr_t arg4, uintptr_t arg5)
{
    char key[256] = {};
    std::memcpy(key, kInstalledKey, sizeof kInstalledKey);
    uintptr_t handle = 0;
    const Host& host = CurrentHost();
    if (!host.openKey(key, kKeyRead, &handle))
        return 1; // no previous installation
    host.closeKey(handle);
    if (Ask(kReinstallText, kReinstallCaption, Buttons::YesNo) == Answer::Yes)
        return 1;
    // Declined: the film is still offered, and the installer stops.
    PlayIntroMovie(window, folder, arg3, arg4, arg5);
    return 0;
}

extern "C" uint32_t DirectXInstall(uintptr_t window, uintptr_t folder, uintptr_t, uintptr_t, uintptr_t)
{
    const Host& host = CurrentHost();
    uint32_t version = 0;
    if (host.queryRuntimeVersion(&version) && version >= kRuntimeVersionNeeded)
        return 1;
    // An old version and a failed query both offer the install.
    if (Ask(kRuntimeText, kRuntimeCaption, Buttons::YesNo) != Answer::Yes)
        return 1;
    const int32_t status =
        host.installRuntime(reinterpret_cast<void*>(window), reinterpret_cast<const char*>(folder), kRuntimeInstallFlags);
    if (status < 0) {
        char text[1024];
        std::snprintf(text, sizeof text, kRuntimeErrorFormat, static_cast<int>(status));
        Ask(text, kRuntimeErrorCaption, Buttons::Ok);
        return 1; // the installation goes on
    }
    if (status != 1)
        return 1;
    if (Ask(kRestartText, kRuntimeCaption, Buttons::YesNo) == Answer::Yes)
        host.requestRestart(kRestartReboot, 0);
    return 0;
}
