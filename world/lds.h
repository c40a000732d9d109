// The LDS drive: faster-than-light travel across a star system.
//
// While the drive is engaged (Sim flag 2) the ship flies along its nose at
// the LDS speed (the third thrust component), which grows geometrically from
// 100,000 toward the LDS target speed: v(t) = 100,000 x b^t with the base
// b = the flight model's growth value / 100. Winding up and winding down
// count the spool counter (hundredths) toward 0; SIM_MAIN blends ordinary
// and LDS motion while it runs. The AI and the bridge engage and disengage
// the drive here; LdsStep is SIM_MAIN's per-frame update.
//
// A growth value of 100 or less (b <= 1) gives a drive that never speeds
// up: the speed laws then answer the floor speed, no distance and no time,
// never a division by zero.
#pragma once

#include <cstdint>

struct SceneItem;
struct FlightModel;

// The speed at which every LDS flight starts, and the floor of the speed.
constexpr float kLdsStartSpeed = 100000.0f;

// Set by the mission's script to switch the LDS drive off for the AI.
extern uint8_t gLdsSwitchedOff;

// 255 when the drive is (or already was) engaged; 0 when it is barred or the
// ship has no drive (LDS top speed 0). Engaging starts the spool-up, zeroes
// the lateral thrust, sets the speed to 100,000 and the target to 1e10, logs
// the engagement and offers the director its shot; the controlled item
// hears sound 31.
uint8_t EngageLds(SceneItem* item);
// 255 when the drive was engaged and is now off (thrust, target and spool
// zeroed; the velocity too unless the item is near a planet); 0 when there
// was nothing to do. The controlled item hears sound 33; the player's item
// gets normal time back.
uint8_t DisengageLds(SceneItem* item);
// The per-frame update while the drive is engaged: time compression for the
// player's autopilot, spool-up, wind-down (ending in the second target's
// velocity), the start of a wind-down when barred, and the speed's growth
// toward the target.
void LdsStep(SceneItem* item);

// The speed laws.
float LdsDistanceForSpeed(float speed, const FlightModel* model);    // v / (b - 1)
float LdsSpeedForDistance(float distance, const FlightModel* model); // (b - 1) d, >= 100,000
float LdsTimeForSpeed(float speed, const FlightModel* model);        // ln(v / 1e5) / ln b
float LdsGrowthRate(float speed, const FlightModel* model);          // ln(b) v per second

// 255 when the ship should engage its drive to reach the target: a long way
// (over 130 s at top speed, or over 5,000,000 beyond the target's radius),
// a target running away in LDS, or a fast ship heading the wrong way.
uint8_t WantsLdsToTarget(SceneItem* ship, SceneItem* target);
