// Stand-ins for the three display back ends until each is built: every slot
// does nothing and DisplayOpen reports failure, so a caller that opens the
// display takes its failure path. The full-screen probe is real: it asks
// whether the platform can show a screen at all.
#include "system/display.h"

#include "platform/window.h"

namespace {

int OpenUnavailable(DisplayMode&)
{
    return 0;
}
void NoModeOperation(DisplayMode&) {}
void NoOperation() {}
void NoSystemPalette(const SystemPalette*) {}
void NoPalette(const PaletteEntry*) {}

constexpr DisplayDriver kUnavailable = {
    OpenUnavailable, NoOperation, NoModeOperation, NoModeOperation, NoModeOperation,
    NoOperation, NoSystemPalette, NoPalette, NoPalette,
};

} // namespace

const DisplayDriver kFullScreenDisplay = kUnavailable;
const DisplayDriver kWindowDisplay = kUnavailable;
const DisplayDriver kFrameworkDisplay = kUnavailable;

bool ProbeFullScreenDisplay()
{
    return platform::VideoAvailable();
}
