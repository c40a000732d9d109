// The kinds of item messages and their bodies: one struct per kind that
// carries a body, shared by the code that posts it and the handler.
// A scene item inside a body is a SceneItemHandle (world/pools.h).
#pragma once

#include <cstdint>

enum ItemMessageKind : uint16_t {
    kMsgDelete = 0,
    kMsgMarkBreakable = 1,
    kMsgSetResponses = 2,
    kMsgSetTarget = 5,
    kMsgHit = 6,
    kMsgImpact = 7,
    kMsgUnlink = 8,
    kMsgUndock = 9,
    kMsgBlast = 10,
    kMsgEnableDockPoint = 11,
    kMsgDock = 13,
    kMsgEscort = 14,
    kMsgJumpStart = 15,
    kMsgCapsuleJump = 16,
    kMsgElectLeader = 17,
    kMsgInterdiction = 18,
    kMsgLdsRelease = 19,
    kMsgImpactTorque = 20,
    kMsgRepair = 21,
    kMsgShipDied = 24,
    kMsgDecoy = 25,
    kMsgUnbrake = 26,
    kMsgUnscatter = 27,
};

// Kinds 6 and 7: the hit record (48 bytes) that the weapons code fills
// and the handler passes on to the hit response and the combat code.
struct HitPayload {
    int32_t word0;
    float point[3];           // the impact point, from the item's centre in world axes
    int32_t words1[3];
    int32_t amount;           // the damage amount
    int32_t words2[3];
    uint32_t attacker;        // SceneItemHandle of the attacking item
};
static_assert(sizeof(HitPayload) == 48);

// Kind 20: an impact that turns the item (a missile's blast): the point,
// the striker's velocity and a mass value, then two words of the striker's.
struct ImpactTorqueBody {
    float point[3];
    float velocity[3];
    float mass;
    int32_t words[2];
};
static_assert(sizeof(ImpactTorqueBody) == 36);

// Kind 24: a group leader died; its tally serial (Avatar parameter 10).
struct ShipDiedBody {
    int32_t tallySerial;
};
