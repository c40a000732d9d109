// The world for the fuzz targets that run it: every input starts from the
// same state (libFuzzer needs an input to do the same whenever it runs) and
// leaves nothing behind for the next.
#pragma once

#include "ai/combathelpers.h"
#include "ai/orders.h"
#include "screens/bridge.h"
#include "screens/vesselorders.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/sound.h"
#include "ui/contacts.h"
#include "ui/dialogue.h"
#include "view/cameras.h"
#include "view/viewstart.h"
#include "world/lds.h"
#include "world/playerinput.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

#include <algorithm>
#include <iterator>

namespace fuzz {

// An empty world on a fresh clock and random sources, with the cameras,
// the bridge's station and views, the contacts, the vital objects' poll,
// the player's controls, ship systems (bound to no ship) and log, the wing
// and the AI's target search as they are before the first mission: nothing
// names a ship of an earlier input.
inline void StartWorld()
{
    gFrameClock = FrameClock{};
    gLoopFlags = LoopFlags{};
    CRandSeed(1);
    ResetSimulation(); // seeds the world's own random source from the clock
    ClearVitalObjects();
    ResetCameras();
    CurrentStation = 0;
    gExternalView = 0;
    gFreezeView = 0;
    ResetContactList();
    gContactHat = ContactHatState{};
    gPendingJumpSystem = 0;
    gPlayerInput = PlayerInput{};
    gPlayerCamera = nullptr;
    ResetShipSystems(nullptr); // and the ship's log
    std::fill(std::begin(gWingSlots), std::end(gWingSlots), WingSlot{});
    gNextWingman = 0;
    gTargetSearchIgnoredItem = nullptr;
    gTargetSearchIgnoreTicks = 0;
    gLdsSwitchedOff = 0;
}

// What a mission's end undoes: its conversations and sounds, the world, the
// contacts, its script and resources (back to the resource mark) and the 3D
// worlds.
inline void TearDownWorld()
{
    StopAllConversations();
    SoundReleaseMission();
    ResetSimulation();
    ResetContactList();
    ReleaseMissionResources();
    ResetMissionScript();
    ResReleaseToMark();
    FreeP3DWorlds();
}

} // namespace fuzz
