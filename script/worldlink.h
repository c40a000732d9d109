// State that the statements tying a mission to the world (star systems,
// the alien Lagrange device) set for the world code to read.
#pragma once

#include <cstdint>

struct SystemBody;

// Where the alien Lagrange device sends the player (SET_TARG_LP): the
// system number and the body there, null when the system has none.
struct LagrangeDestination {
    int16_t system;
    SystemBody* body;
};
extern LagrangeDestination gLagrangeDestination;

// ALIENDEV: the device is offered on the bridge ("AlienBt", "AlFill");
// cleared at every mission start.
extern uint8_t gAlienDeviceAvailable;
// The devices are switched on (the bridge button toggles it; a jump clears
// it); read by the collision with a Lagrange device.
extern uint8_t gAlienDevicesEnabled;

// Clears the per-mission part of it (part of ResetMissionScript).
void ResetWorldLinkState();
