// The program's entry. See entry.h.
#include "game/entry.h"

#include "game/frameloop.h"
#include "game/inputscript.h"
#include "game/startup.h"

#include "platform/host.h"
#include "platform/window.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/mainwindow.h"
#include "system/settings.h"
#include "system/switches.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int Fail(const char* text)
{
    DebugPrint(text);
    return kExitFailure;
}

} // namespace

int WinMain(const char* commandLine, int showCommand)
{
    std::vector<std::string> words = SplitCommandLine(commandLine ? commandLine : "");
    if (AsksForHelp(words)) {
        std::fputs(SwitchList().c_str(), stdout);
        return 0;
    }

    // A second instance leaves at once: the first one is running.
    std::string problem;
    platform::InstanceLock lock = platform::AcquireInstanceLock(kInstanceLockName, &problem);
    if (lock == platform::InstanceLock::AlreadyHeld) {
        DebugPrint(("Kelvandrist: already running (its lock is " + problem + "); this copy ends\n").c_str());
        return 0;
    }
    if (lock == platform::InstanceLock::Failed)
        return Fail(("Kelvandrist: cannot create the single-instance lock " + problem + "\n").c_str());

    UseFullScreenDisplay();
    if (!gSettings.fullScreen)
        return Fail(("Kelvandrist: no display can be shown (" + platform::VideoError() + ")\n").c_str());

    ApplyCommandLine(words);

    gLoopFlags.quitRequest = 0;
    gLoopFlags.filmMode = 0;
    gLoopFlags.mciFilmPlaying = 0;

    UseFixedFrameTimeFromEnvironment(); // before the main window starts the clock
    SeedFromEnvironment();
    if (std::string error; !LoadInputTableFromEnvironment(error))
        return Fail(("Kelvandrist: input table " + error + "\n").c_str());
    if (!RegisterWindowClasses())
        return Fail("Kelvandrist: cannot register the window classes\n");
    if (!CreateMainWindow(showCommand))
        return Fail("Kelvandrist: cannot create the main window\n");
    if (StartGame() == 0) {
        // The introduction with no disc holding its film asks to quit:
        // there is nothing to play, and the program ends silently, as it
        // does when the film has run. Any other early end is a failure.
        if (!gLoopFlags.quitRequest)
            return Fail("Kelvandrist: start-up failed\n");
        ShutDown();
        return 0;
    }
    if (!gSettings.intro) {
        SelectCursor(CursorShape::CrossHair);
        ShowMainCursor(true);
    }

    return RunFrameLoop();
}
