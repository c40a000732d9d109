// The simulation frame and its passes over the scene list.
#include "world/simframe.h"

#include <algorithm>
#include <cstring>

#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "screens/bridge.h"
#include "screens/frontend.h"
#include "screens/objectives.h"
#include "script/interpreter.h"
#include "script/vitalobjects.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "system/sound.h"
#include "ui/dialogue.h"
#include "ui/contacts.h"
#include "view/asteroids.h"
#include "view/cameras.h"
#include "view/skyandlights.h"
#include "view/viewstart.h"
#include "world/collisions.h"
#include "world/encounters.h"
#include "world/floatingorigin.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/profiler.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/starmap.h"

MissionTimeLimit gMissionTimeLimit;
int32_t gScriptWaitCountdown;
int32_t gScriptCountdown;
int32_t gScriptCountdownSeconds;
int32_t gStockDialogueTimer;
uint8_t gStockDialogueRequest;
int32_t gStockDialogueNumber;
uint8_t gSimHold;
uint8_t gSimHoldException;
uint8_t gSimSuspend;
int32_t gDirectorHold;
uint8_t gStopSimulationPass;
int32_t gSimulationPassCount;
uint8_t gEngineSoundEnabled = 255;
ProximityThreat gProximityThreats[kProximityThreats];
int32_t gProximityAlarmCountdown;

namespace {

void CheckTranslation(const SceneItem* item)
{
    if (item->sim)
        CheckPositionSanity(item->sim->matrix);
}

// A ship coupled to a heavier partner flies on the partner's limits for its
// own turn; the guard puts its own back afterwards.
class CoupledFlightModel {
public:
    explicit CoupledFlightModel(SceneItem* item)
    {
        Sim* sim = item->sim;
        if (!sim || !sim->shipInfo)
            return;
        for (CouplingLink* link = sim->shipInfo->couplings; link; link = link->next) {
            if (!(link->flags & 2))
                continue;
            SceneItem* partner = link->partner ? link->partner->item.Get() : nullptr;
            if (partner && partner->sim && sim->mass < partner->sim->mass) {
                sim_ = sim;
                saved_ = sim->flightModel;
                sim->flightModel = partner->sim->flightModel;
            }
            break;
        }
    }
    ~CoupledFlightModel()
    {
        if (sim_)
            sim_->flightModel = saved_;
    }
    CoupledFlightModel(const CoupledFlightModel&) = delete;
    CoupledFlightModel& operator=(const CoupledFlightModel&) = delete;

private:
    Sim* sim_ = nullptr;
    FlightModel* saved_ = nullptr;
};

void MessagePass()
{
    ForEachSceneItem([](SceneItem* item) {
        if (!gSimHold && item->message)
            item->message(item);
        return true;
    });
}

void ControlPass()
{
    ForEachSceneItem([](SceneItem* item) {
        if (!IsItemEligible(item))
            return true;
        if (item->sim && item->sim->countdown > 0)
            item->sim->countdown = static_cast<int16_t>(item->sim->countdown - gFrameClock.frameTicks);
        CoupledFlightModel coupled(item);
        if (!(item->flags & kItemLateControl) && item->control)
            item->control(item);
        CheckTranslation(item);
        return true;
    });
}

void SimulationPass()
{
    gSimulationPassCount = 0;
    ForEachSceneItem([](SceneItem* item) {
        if (gStopSimulationPass)
            return false;
        ++gSimulationPassCount;
        Sim* sim = item->sim;
        if (sim) {
            sim->previousMatrix = sim->matrix;
            if (sim->flags & kSimPlaceNearL4) {
                float radius = 100000.0f;
                PlaceItemNearL4(item, &radius, 255);
                sim->flags &= ~kSimPlaceNearL4;
            }
        }
        if (IsItemEligible(item)) {
            CoupledFlightModel coupled(item);
            if (item->perFrame && item->perFrame != UpdateCoupledShip)
                item->perFrame(item);
            CheckTranslation(item);
        }
        return true;
    });
    gStopSimulationPass = 0;
    // Coupled ships follow their carriers after everything else has moved.
    ForEachSceneItem([](SceneItem* item) {
        if (item->perFrame == UpdateCoupledShip) {
            UpdateCoupledShip(item);
            CheckTranslation(item);
        }
        return true;
    });
}

void RenderSyncPass()
{
    ForEachSceneItem([](SceneItem* item) {
        if (!IsItemEligible(item) || (item->flags & kItemLateControl))
            return true;
        Avatar* avatar = item->avatar;
        if (avatar->renderSync)
            avatar->renderSync(item);
        AnimateTDPTree(avatar->params, avatar->root);
        return true;
    });
}

void LatePass()
{
    ForEachSceneItem([](SceneItem* item) {
        if ((item->flags & kItemLateControl) && item->control)
            item->control(item);
        if (item->avatar->renderSync)
            item->avatar->renderSync(item);
        return true;
    });
}

bool PositionalSoundSilenced()
{
    return gFullScreenView || gDirectorHold == 2 || gSoundMuteCount > 0 || IsInConversation(nullptr);
}

// Each item with a sound slot is heard at its place; a slot shared by
// several items belongs to the nearest.
void PositionalSoundPass()
{
    ForEachSceneItem([](SceneItem* item) {
        SoundSlot* slot = item->avatar ? item->avatar->soundSlot : nullptr;
        if (!slot)
            return true;
        int32_t volume = platform::kAudioSilent;
        int32_t pan = 0;
        const float distance = SoundPlaceObject(item, &volume, &pan);
        if (slot->owner && slot->owner != item && distance >= slot->ownerDistance)
            return true;
        slot->owner = item;
        slot->ownerDistance = distance;
        volume = std::max(volume * 2, platform::kAudioSilent);
        if (PositionalSoundSilenced()) {
            SoundSetVolume(slot, platform::kAudioSilent);
            return true;
        }
        SoundSetVolume(slot, volume);
        if (volume > platform::kAudioSilent) {
            SoundSetPan(slot, pan);
            int32_t frequency = slot->frequency;
            SoundDoppler(item, &frequency, 0.5f);
            SoundSetFrequency(slot, frequency);
        }
        return true;
    });
}

// The alarm sounds when its countdown runs out; the nearest threat within
// 1,000,000 sets the countdown to its distance in hundredths.
void ProximityAlarm(int32_t step)
{
    if (gProximityAlarmCountdown > 0) {
        gProximityAlarmCountdown -= step;
        // A step past 0 counts as reaching it: the alarm must not fall
        // silent for good because the frame step jumped over 0.
        if (gProximityAlarmCountdown <= 0) {
            gProximityAlarmCountdown = 0;
            SoundPlay(44, 0, 0, 0, 0);
        }
    }
    float nearest = 1000000.0f;
    bool found = false;
    for (const ProximityThreat& t : gProximityThreats) {
        if (t.item && t.distance < nearest) {
            nearest = t.distance;
            found = true;
        }
    }
    if (!found)
        return;
    const int32_t countdown = static_cast<int32_t>(nearest / 100.0f);
    if (gProximityAlarmCountdown == 0 || gProximityAlarmCountdown > countdown)
        gProximityAlarmCountdown = countdown;
}

void CountDown(int32_t& counter, int32_t step)
{
    if (counter > 0)
        counter -= step;
}

} // namespace

void RegisterIncomingMissile(SceneItem* missile, float distance)
{
    ProximityThreat* free = nullptr;
    for (ProximityThreat& t : gProximityThreats) {
        if (t.item == missile) {
            t.distance = distance;
            return;
        }
        if (!t.item && !free)
            free = &t;
    }
    if (free)
        *free = {missile, distance};
}

void ClearIncomingMissiles()
{
    for (ProximityThreat& t : gProximityThreats)
        t = {};
}

void ForgetIncomingMissile(const SceneItem* missile)
{
    for (ProximityThreat& t : gProximityThreats)
        if (t.item == missile)
            t = {};
}

bool IsItemEligible(const SceneItem* item)
{
    bool held = gSimHold && !(item == gControlledItem && gSimHoldException);
    return !held && !gSimSuspend && !gFullScreenView && gDirectorHold == 0;
}

bool SimulationRuns()
{
    return !gFrontEndActive && !gScriptMission.briefingActive && !gDocsViewOpen && !gObjectivesViewOpen &&
           !gStarMapOpen && !gInterpreter.missionPause;
}

int32_t RunSimulationFrame()
{
    const int32_t step = gFrameClock.frameTicks;
    // Once a frame, whatever changed the list since the last one.
    CheckSceneListIntegrity();

    if (gMissionTimeLimit.running) {
        gMissionTimeLimit.countdown -= step;
        if (gMissionTimeLimit.countdown < 0) {
            if (gMissionTimeLimit.frontEnd)
                gStartMissionRequest = 255;
            else
                gLoopFlags.endOfMissionRequest = 255;
        }
    }
    SoundSetVolume(&gSoundSlots[kEngineSoundSlot], platform::kAudioSilent);
    SoundSetVolume(&gSoundSlots[kAmbientSoundSlot], -3000);
    if (gFreezeView)
        return 0;

    CountDown(gScriptWaitCountdown, step);
    CountDown(gTargetSearchIgnoreTicks, step);
    SelectCurrentObjective();

    if (gStockDialogueTimer > 0 && !gFullScreenView) {
        gStockDialogueTimer -= step;
        if (gStockDialogueTimer < 1) {
            gStockDialogueRequest = 255;
            gStockDialogueNumber = 5 + (CRand() & 1);
            gStockDialogueTimer = 0;
        }
    }

    if (gEngineSoundEnabled && !gPlayerShipLost && !gFullScreenView && gDirectorHold != 2 &&
        !IsInConversation(nullptr))
        SoundSetVolume(&gSoundSlots[kEngineSoundSlot], gEngineVolume);

    if (gScriptCountdown < 1) {
        gScriptCountdown = 0;
        gScriptCountdownSeconds = 0;
    } else if (!gSimHold) {
        gScriptCountdown -= step;
        gScriptCountdownSeconds = gScriptCountdown / 100;
    }

    gRemoteLinkMarker = nullptr;
    gCoupledShipMarker = nullptr;

    if (gSceneList.next != &gSceneList) {
        UpdateBeltMembership();
        EncounterStep();
        if (gStockDialogueRequest) {
            RunStockDialogue(gStockDialogueNumber);
            gStockDialogueRequest = 0;
        }
        UpdateSceneLights();
    }
    DirectorUpdate();
    if (gPlayerItem)
        UpdateShipSystems(gPlayerItem);

    const int32_t savedTicks = gFrameClock.frameTicks;
    const float savedSeconds = gFrameClock.frameSeconds;
    if (!gDirectorOn && CurrentStation == 4) {
        gFrameClock.frameTicks /= 2;
        gFrameClock.frameSeconds /= 2;
    }

    if (!gRebuild3D) {
        CountShipsByType();
        UpdateContactList();
        PrepareCollisionFrame();
        TestAllCollisions();
        MarkProfileSection(gFrameProfiler, "COLLISIONS");
        ReadPlayerInput();
        MessagePass();
        ControlPass();
        MarkProfileSection(gFrameProfiler, "CONTROL");
    }
    SimulationPass();
    MarkProfileSection(gFrameProfiler, "SIMULATION");
    RenderSyncPass();
    LatePass();
    PositionalSoundPass();
    ProximityAlarm(gFrameClock.frameTicks);

    gFrameClock.frameTicks = savedTicks;
    gFrameClock.frameSeconds = savedSeconds;
    PurgeStaleMessages();
    return 0;
}
