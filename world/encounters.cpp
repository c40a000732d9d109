// The Lagrange gate and the encounter sources. See encounters.h.
#include "world/encounters.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "ai/combathelpers.h"
#include "script/vitalobjects.h"
#include "system/frameclock.h"
#include "ui/hud.h"
#include "view/cameras.h"
#include "view/explosions.h"
#include "view/skyandlights.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"
#include "world/universe.h"

EncounterSource* gEncounterSources = nullptr;
EncounterSource* gEncounterCursor = nullptr;
int32_t gEncounterLimit = 4;

namespace {

constexpr int kClearPositionTries = 32;
constexpr int kGateDepartureEvent = 11;

double Distance(const WorldPosition& a, const WorldPosition& b)
{
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The gate's members: the items of its coupling list.
std::vector<SceneItem*> GateMembers(SceneItem* gate)
{
    std::vector<SceneItem*> members;
    if (!gate->sim || !gate->sim->shipInfo)
        return members;
    for (CouplingLink* link = gate->sim->shipInfo->couplings; link; link = link->next)
        if (link->partner && link->partner->item && link->partner->item->avatar)
            members.push_back(link->partner->item);
    return members;
}

// 9 -> 10 -> 12 -> 9: the marker colour cycle.
uint8_t NextColour(uint8_t c) { return c == 9 ? 10 : c == 10 ? 12
                                                             : 9; }

// The absolute position of the item named "L4", or the origin.
WorldPosition L4Position()
{
    SceneItem* l4 = FindNamedSceneItem("L4");
    if (!l4 || !l4->sim)
        return {};
    return {l4->sim->position.x + gWorldOriginOffset.x, l4->sim->position.y + gWorldOriginOffset.y,
            l4->sim->position.z + gWorldOriginOffset.z};
}

} // namespace

bool GateDestination(int colour, const char** system, const char** arrival)
{
    // clang-format off
    switch (colour) {
    case 9: *system = "21"; *arrival = "WeakL4"; return true;
    case 10: *system = "1"; *arrival = "L4"; return true;
    case 12: *system = "26"; *arrival = "L4"; return true;
    default: return false;
    }
    // clang-format on
}

void ScrambleGateColours(SceneItem* gate)
{
    static constexpr uint8_t kColours[3] = {9, 10, 12};
    for (SceneItem* member : GateMembers(gate)) {
        const uint32_t a = ShiftRegisterRandom();
        const uint32_t b = ShiftRegisterRandom();
        member->avatar->colour = NextColour(kColours[(a + b / 7) % 3]);
    }
}

void SIM_STARGATE(SceneItem* gate)
{
    const std::vector<SceneItem*> members = GateMembers(gate);
    if (members.empty() || !gate->avatar)
        return;
    int32_t& state = gate->avatar->params[kParamSize];
    uint8_t colour = members[0]->avatar->colour;
    if (colour == 0) {
        ScrambleGateColours(gate);
        colour = 12;
    }
    for (size_t i = 1; i < members.size(); ++i) {
        if (members[i]->avatar->colour != colour) {
            if (state != kGateDisagrees) {
                state = kGateDisagrees;
                SetStarGateTexture(gate, kGateDisagrees);
            }
            return;
        }
    }
    if (colour != state) {
        SetStarGateTexture(gate, colour);
        state = colour;
    }
    if (colour == kGateDisagrees || !gPlayerItem || !gPlayerItem->sim || !gate->sim)
        return;
    if (Distance(gPlayerItem->sim->position, gate->sim->position) >= kGateReach)
        return;

    const WorldPosition oldL4 = L4Position();
    const char* system;
    const char* arrival;
    if (!GateDestination(colour, &system, &arrival)) {
        gStopSimulationPass = 255;
        return;
    }
    if (gCurrentSystemNumber != std::atoi(system)) {
        MoveToSystem(system, arrival);
        const WorldPosition newL4 = L4Position();
        PurgeOtherSystems(gCurrentSystemNumber,
                          {oldL4.x - newL4.x, oldL4.y - newL4.y, oldL4.z - newL4.z});
    }
    if (gPlayerItem) {
        AddDepartureFlash(gPlayerItem);
        DirectorOfferShot(gPlayerItem, nullptr, kGateDepartureEvent);
    }
    ScrambleGateColours(gate);
    gStopSimulationPass = 255;
}

// ---- Encounter sources -------------------------------------------------------------

void AddEncounterSource(SceneItem* item, uint32_t kindMask)
{
    if (!item)
        return;
    auto* source = static_cast<EncounterSource*>(AllocMemory(sizeof(EncounterSource)));
    if (!source)
        return;
    source->kindMask = static_cast<uint8_t>(kindMask & 0x3F);
    source->item = item;
    source->group = item->sceneGeneration;
    source->kindCount = static_cast<uint8_t>(__builtin_popcount(kindMask & 0x3F));
    EncounterSource** slot = &gEncounterSources;
    while (*slot)
        slot = &(*slot)->next;
    *slot = source;
    item->flags |= kItemEncounterSource;
}

void RemoveEncounterSource(SceneItem* item)
{
    for (EncounterSource** slot = &gEncounterSources; *slot; slot = &(*slot)->next) {
        EncounterSource* source = *slot;
        if (source->item != item)
            continue;
        *slot = source->next;
        if (gEncounterCursor == source)
            gEncounterCursor = nullptr;
        FreeMemory(source);
        return;
    }
}

void ClearEncounterSources()
{
    while (EncounterSource* source = gEncounterSources) {
        gEncounterSources = source->next;
        FreeMemory(source);
    }
    gEncounterCursor = nullptr;
}

void EncounterStep()
{
    if (gSimHold || gCountedItems >= gEncounterLimit || !gEncounterSources || !gPlayerItem ||
        !gPlayerItem->sim)
        return;
    if (static_cast<int32_t>(ShiftRegisterRandom() % 2500) > gFrameClock.frameTicks)
        return;
    EncounterSource* start = gEncounterCursor ? gEncounterCursor->next : gEncounterSources;
    if (!start)
        start = gEncounterSources;
    EncounterSource* source = start;
    do {
        if (source->item && source->item->sim &&
            Distance(source->item->sim->position, gPlayerItem->sim->position) < kEncounterReach) {
            gEncounterCursor = source;
            LaunchEncounter(source);
            return;
        }
        source = source->next ? source->next : gEncounterSources;
    } while (source != start);
}

SceneItem* PickEncounterSource(SceneItem* ship, SceneItem* current)
{
    const uint32_t classBits = ((ship && ship->avatar) ? ship->avatar->classFlags & 0x1FC0 : 0) | 0x40;
    SceneItem* nearest = FindNearestItemByFlags(nullptr, 0x1000000, 0, ship, 1e30f);
    if (nearest && nearest != current && ShiftRegisterRandom() % 10 < 2)
        return nearest;
    std::vector<SceneItem*> candidates;
    for (EncounterSource* s = gEncounterSources; s; s = s->next)
        if (s->item && s->item != current && s->item->avatar && (s->item->avatar->classFlags & classBits))
            candidates.push_back(s->item);
    if (!candidates.empty())
        return candidates[ShiftRegisterRandom() % candidates.size()];
    return nearest ? nearest : current;
}

void FindClearPosition(SceneItem* reference, SceneItem* item)
{
    if (!reference || !reference->sim || !item || !item->sim)
        return;
    const WorldPosition origin = reference->sim->position;
    auto randomDirection = [] {
        double v[3];
        double length = 0;
        do {
            for (double& c : v)
                c = static_cast<double>(static_cast<int32_t>(ShiftRegisterRandom() % 1000) - 500);
            length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        } while (length == 0);
        return WorldPosition{v[0] / length, v[1] / length, v[2] / length};
    };
    // The ship stays where its placement put it when that is clear;
    // otherwise it moves out along the line from the reference.
    WorldPosition place = item->sim->position;
    double distance = Distance(origin, place);
    WorldPosition out = randomDirection();
    if (distance > 0)
        out = {(place.x - origin.x) / distance, (place.y - origin.y) / distance, (place.z - origin.z) / distance};
    else
        distance = reference->sim->radius + item->sim->radius;
    for (int tries = 0; tries < kClearPositionTries; ++tries) {
        bool clear = true;
        for (SceneItem* other = gSceneList.next; other != &gSceneList; other = other->next) {
            if (other == item || !other->sim || !other->avatar || !(other->avatar->flags & kAvatarBody))
                continue;
            if (Distance(other->sim->position, place) < other->sim->radius + item->sim->radius) {
                clear = false;
                break;
            }
        }
        if (clear)
            break;
        distance *= 1.5;
        const WorldPosition jitter = randomDirection();
        const double j = distance / 4 * (ShiftRegisterRandom() % 1000) / 1000.0;
        place = {origin.x + out.x * distance + jitter.x * j, origin.y + out.y * distance + jitter.y * j,
                 origin.z + out.z * distance + jitter.z * j};
    }
    item->sim->position = place;
    item->sim->matrix.m[12] = static_cast<float>(place.x);
    item->sim->matrix.m[13] = static_cast<float>(place.y);
    item->sim->matrix.m[14] = static_cast<float>(place.z);
}
