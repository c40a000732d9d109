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

// Kind 24: a group leader died; its tally serial (Avatar parameter 10).
struct ShipDiedBody {
    int32_t tallySerial;
};
