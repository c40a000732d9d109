// Combat helpers that the AI states, the orders, the script statements and
// the simulation frame share: the attack-run planner, searches of the scene
// list by class flags (optionally through sensor noise), counts by side,
// forgetting a removed item, group leaders, formation and L4 placement, and
// the vertex pickers of the particle emitters.
#pragma once

#include <cstdint>

#include "system/gamemath.h"

struct SceneItem;
struct TDP;

// The item that target searches skip (a script names it), or null.
extern SceneItem* gTargetSearchIgnoredItem;
// Hundredths of a second the ignored item stays named; the simulation frame
// lowers it while it is positive.
extern int32_t gTargetSearchIgnoreTicks;
// Ships in the scene by side 0..6, counted each simulation frame.
constexpr int kSideCount = 7;

// Combat styles: the Sim's 0x1c00 bits; none (0) leaves a ship to whatever
// state it is in.
constexpr uint32_t kStyleMask = 0x1C00;
constexpr uint32_t kStyleClose = 0x400;
constexpr uint32_t kStyleStandOff = 0x800;
constexpr uint32_t kStyleMixed = 0xC00;
constexpr uint32_t kStyleFlee = 0x1000;
constexpr uint32_t kStyleLeader = 0x1400; // close in and fight: attack orders
extern int16_t gSideCounts[kSideCount];
// The last group number handed out.
extern int16_t gLastGroupNumber;

// The manoeuvre state that suits the item against the target (null: its
// Sim target, which then also becomes its leader); -1 for none.
int32_t PlanAttackRun(SceneItem* item, SceneItem* target);

// The item's class flags as seen from distance d through sensor limits
// {far, near}: none beyond far, exact within near, else a coin flip per
// whole near step for flipping a random bit. A near limit of 0 or less
// gives the exact flags.
uint32_t NoisyClassFlags(const float* limits, const SceneItem* item, float d);
// The nearest other item within the range (0: no limit) whose class flags
// (noisy with limits) hold every include bit and no exclude bit; the
// ignored item is never found. Null when none.
SceneItem* FindNearestItemByFlags(const float* limits, uint32_t include, uint32_t exclude, SceneItem* item, float range);
// The nearest other item within the range that a mount with the direction
// code could fire at: its class flags (noisy with limits) hold any include
// bit and no exclude bit, or it is the item's last attacker and has the
// item as its target; and it lies in the mount's arc. The ignored item is
// never found. Null when none.
SceneItem* FindNearestVisibleItem(const float* limits, uint32_t include, uint32_t exclude, SceneItem* item,
                                  float range, int16_t directionCode);
// The first item (from the list position) whose class flags hold every bit
// of the mask; null when none or for a null position.
SceneItem* FindFirstItemWithFlags(uint32_t mask);
SceneItem* FindNextItemWithFlags(SceneItem* position, uint32_t mask);
// Ships of the side, not counting class flag 8 nor the ignored item.
int32_t CountItemsOfType(int32_t side);
// Refills gSideCounts.
void CountShipsByType();

// An item being removed: no Sim keeps it as target (ForgetTargetEverywhere)
// or as leader (ForgetLeaderEverywhere).
void ForgetTargetEverywhere(SceneItem* item);
void ForgetLeaderEverywhere(SceneItem* item);
// A leader leaves its group for a fresh one and asks that group to elect
// (message 17); nothing for an item that is no leader.
void DetachGroupLeader(SceneItem* item);
// The answer to message 17: the group learns its leader, or the item
// becomes it and attacks; its leader then becomes its target.
void ElectFixedAttackLeader(SceneItem* item);
// Posts message 5 (the item's target) to a random ship of the item's side.
void TellPeerAboutLeader(SceneItem* item);

// Places the item at formation slot n behind the leader, moving with it.
void FormationSlotPosition(SceneItem* item, SceneItem* leader, float spacing, int32_t slot);
// Places the item at *radius from "L4", clear of the items that keep others
// away (class flag 4); a failed try widens *radius. Retry 0 tries once.
// 255 when placed; 0 when not, or when there is no "L4".
uint8_t PlaceItemNearL4(SceneItem* item, float* radius, int32_t retry);
// Brings the first parked item of the mask and generation in near "L4".
// Null when none matched; &gParkedList when it found no clear place.
SceneItem* ReleaseItemAtL4(uint32_t mask, int32_t generation);

// The next vertex of the part's model (from *cursor, wrapping once) whose
// marker byte is 0; zero when all are marked or there are none.
Vector3 NextUnmarkedModelVertex(TDP* part, int32_t* cursor);
// From *cursor (-1: a random vertex), at most 45 vertices: the first with
// low < z < high; zero when none or the model has no vertices.
Vector3 PickModelVertexInZRange(TDP* part, int32_t* cursor, float low, float high);
