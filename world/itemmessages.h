// The kinds of item messages and their bodies: one struct per kind that
// carries a body, shared by the code that posts it and the handler.
// A scene item inside a body is a SceneItemHandle (world/pools.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "world/records.h"

enum ItemMessageKind : uint16_t {
    kMsgDelete = 0,
    kMsgMarkBreakable = 1,
    kMsgSetResponses = 2,
    kMsgNothing3 = 3,
    kMsgNothing4 = 4,
    kMsgSetTarget = 5,
    kMsgHit = 6,
    kMsgImpact = 7,
    kMsgUnlink = 8,
    kMsgUndock = 9,
    kMsgBlast = 10,
    kMsgEnableDockPoint = 11,
    kMsgReadNumber = 12,
    kMsgDock = 13,
    kMsgEscort = 14,
    kMsgJumpStart = 15,
    kMsgCapsuleJump = 16,
    kMsgElectLeader = 17,
    kMsgInterdiction = 18,
    kMsgLdsRelease = 19,
    kMsgImpactTorque = 20,
    kMsgRepair = 21,
    kMsgHardBounce = 22,
    kMsgHardBounceEnd = 23,
    kMsgShipDied = 24,
    kMsgDecoy = 25,
    kMsgUnbrake = 26,
    kMsgUnscatter = 27,
    kItemMessageKinds = 28, // higher kinds are ignored
};

// Kinds 6 and 7: the hit record (48 bytes) that the weapons code fills
// and the handler passes on to the hit response and the combat code.
struct HitPayload {
    int32_t part;      // the struck part: always 0 (nothing reads it)
    float point[3];    // the impact point, from the item's centre in world axes
    float velocity[3]; // of the striking item, world axes
    int32_t amount;    // the damage amount
    int32_t armour;    // the penetration: how much armour the blow goes through
    int32_t unused;
    float mass;        // of the striking item
    uint32_t attacker; // SceneItemHandle of the attacking item
};
static_assert(sizeof(HitPayload) == 48);
static_assert(offsetof(HitPayload, velocity) == 16 && offsetof(HitPayload, amount) == 28);
static_assert(offsetof(HitPayload, armour) == 32 && offsetof(HitPayload, mass) == 40);
static_assert(offsetof(HitPayload, attacker) == 44);

// Kind 20: an impact that turns the item (a missile's blast, a weapon's
// hit): the point, the striker's velocity and its mass, then two words of
// the striker's (a weapon's hit puts its flash strength, a float, first).
struct ImpactTorqueBody {
    float point[3];
    float velocity[3];
    float mass;
    int32_t words[2];
};
static_assert(sizeof(ImpactTorqueBody) == 36);
static_assert(offsetof(ImpactTorqueBody, mass) == 24);

// Kind 24: a group leader died; its tally serial (Avatar parameter 10).
struct ShipDiedBody {
    int32_t tallySerial;
};

// Kinds 5, 8, 13 and 14: an item (SceneItemHandle).
struct ItemBody {
    uint32_t item;
};

// Kind 2: the Avatar's pair of response hooks, copied over them. Only a
// body of exactly this size is taken.
struct ResponseHooksBody {
    CollisionResponse collision;
    HitResponse hitResponse;
};

// Kind 11: the dock point to enable.
struct DockPointBody {
    int16_t number;
};

// Kind 15: the destination star system; positive sends the docked ships
// along, the docked ships themselves get it negated.
struct JumpStartBody {
    int32_t system;
};

// Kind 16: the destination star system.
struct CapsuleJumpBody {
    int16_t system;
};

// Kind 25: an ECM decoy. Missiles aimed at the protected ship turn to the
// flare (both SceneItemHandles).
struct DecoyBody {
    uint32_t protectedShip;
    uint32_t flare;
};
