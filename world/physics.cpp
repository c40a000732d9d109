// Ship physics: SIM_MAIN and its turning step, SIM_NULL, and the NaN check
// of positions. Owns the engine volume; the LDS drive's own update lives in
// world/lds.cpp, the behaviours it calls (inhibitor pulse, sparks) in
// world/behaviours.cpp.
#include "world/physics.h"

#include <cmath>

#include "system/errors.h"
#include "system/frameclock.h"
#include "world/behaviours.h"
#include "world/lds.h"
#include "world/playerinput.h"
#include "world/records.h"
#include "world/scenelist.h"

int32_t gEngineVolume = -10000;

namespace {

// Motion limits of an item that has none: it neither turns nor thrusts.
const FlightModel kNoFlightModel{};

// The radius of the inhibitor pulse an inhibited ship gives out.
constexpr float kInhibitorPulseRadius = 2.5e7f;
// Ships below this hull value throw sparks when their class asks for it.
constexpr int32_t kSparkHull = 45;
constexpr int32_t kFullGlow = 32;

const FlightModel& ModelOf(const Sim* sim)
{
    return sim->flightModel ? *sim->flightModel : kNoFlightModel;
}

Vector3 Row(const Matrix4& m, int row) { return {m.m[row * 4], m.m[row * 4 + 1], m.m[row * 4 + 2]}; }

// One axis of the turning step: the demand, the remaining angle and the
// turn rate in effect, against the model's rate for that axis.
void TurnAxis(float& demand, float remaining, float& rate, float modelRate, float dt, bool lds)
{
    const float k = dt * 0.01f;
    // Cut the demand so that this frame's turn ends on the remaining angle.
    // A zero model rate or step turns nothing, so the cut never divides by 0.
    if (std::fabs(remaining) < std::fabs(demand * k * modelRate))
        demand = remaining / (k * modelRate);
    const float wanted = modelRate * demand * 0.01f;
    if (lds) {
        rate = wanted;
        return;
    }
    const float difference = wanted - rate;
    const float step = modelRate * dt;
    if (std::fabs(difference) < step)
        rate = wanted;
    else
        rate += difference > 0 ? step : -step;
}

// The engine volume of the controlled item: thrust share and turn-input
// share mixed 70/30 into 5000..10000, less 10000.
int32_t EngineVolume(const Sim* sim, const FlightModel& model)
{
    const Vector3& t = sim->thrust;
    float thrustShare = 0.0f;
    if (model.acceleration > 0.0f)
        thrustShare = (std::fabs(t.x) / 2 + std::fabs(t.y) / 2 + std::fabs(t.z)) / model.acceleration;
    const float inputShare =
        (std::fabs(gTurnInputs.roll) + std::fabs(gTurnInputs.pitch) + std::fabs(gTurnInputs.yaw)) /
        981.0f;
    float v = (0.7f * thrustShare + 0.3f * inputShare) * 5000.0f + 5000.0f;
    if (!(v <= 10000.0f)) // also a thrust that is no number: never an undefined cast
        v = 10000.0f;
    return static_cast<int32_t>(v - 10000.0f);
}

// The LDS blend of the spool counter: the share of the move that is still
// ordinary motion is 1 - c. Winding up (counter 100..1) the LDS share grows
// from 0 to 1; winding down (-100..-1) it falls to 0.
float LdsShare(int32_t counter)
{
    if (counter > 0 && counter < 100)
        return static_cast<float>(100 - counter) / 100.0f;
    if (counter < 0 && counter > -100)
        return static_cast<float>(-counter) / 100.0f;
    return 0.0f;
}

void AddScaled(WorldPosition& p, const Vector3& v, double scale)
{
    p.x += static_cast<double>(v.x) * scale;
    p.y += static_cast<double>(v.y) * scale;
    p.z += static_cast<double>(v.z) * scale;
}

// A towed item moves with its tower: along the tower's nose at LDS speed
// while the tower is in LDS, else by the tower's velocity.
void FollowTower(Sim* sim, WorldPosition& position, float dt)
{
    if (!(sim->flags & kSimTowed))
        return;
    const SceneItem* tower = sim->towLink;
    if (!tower || !(tower->flags & kItemInUse) || !tower->sim)
        return;
    const Sim* t = tower->sim;
    if (t->flags & kSimLdsEngaged)
        AddScaled(position, Row(t->matrix, 2), static_cast<double>(dt) * t->thrust.z);
    else
        AddScaled(position, t->velocity, dt);
}

} // namespace

void RotateByDemands(SceneItem* item, Matrix4& matrix)
{
    Sim* sim = item->sim;
    const FlightModel& model = ModelOf(sim);
    const float dt = gFrameClock.frameSeconds;
    const bool lds = (sim->flags & kSimLdsEngaged) != 0;
    Vector3& rates = sim->turnRates; // pitch, yaw, roll
    TurnAxis(item->rollDemand, item->rollRemaining, rates.z, model.rollRate, dt, lds);
    TurnAxis(item->yawDemand, item->yawRemaining, rates.y, model.yawRate, dt, lds);
    TurnAxis(item->pitchDemand, item->pitchRemaining, rates.x, model.pitchRate, dt, lds);

    const float roll = rates.z * dt, pitch = rates.x * dt, yaw = rates.y * dt;
    MatRotZ(roll, matrix);
    MatRotX(pitch, matrix);
    MatRotY(yaw, matrix);
    if (!(sim->flags & kSimTurnsWithoutBookkeeping)) {
        item->rollRemaining -= roll;
        item->pitchRemaining -= pitch;
        item->yawRemaining -= yaw;
    }
}

void SIM_NULL(SceneItem* item) { item->sim->startTime = gFrameClock.gameClock; }

void SIM_MAIN(SceneItem* item)
{
    Sim* sim = item->sim;
    Avatar* avatar = item->avatar;
    const float dt = gFrameClock.frameSeconds;
    sim->startTime = gFrameClock.gameClock;
    const FlightModel& model = ModelOf(sim);

    if (sim->flags & kSimInhibited)
        EmitLdsInhibitorPulse(item, kInhibitorPulseRadius);
    LdsStep(item);
    if (item == gControlledItem)
        gEngineVolume = EngineVolume(sim, model);

    Matrix4 matrix = sim->matrix;
    WorldPosition position = sim->position;
    if ((avatar->classFlags & kClassSparksWhenDamaged) && sim->hull < kSparkHull)
        SparkStep(item);
    RotateByDemands(item, matrix);

    // Thrust acts along the axes as they stood before this frame's turn.
    const Matrix4& axes = sim->matrix;
    const bool lds = (sim->flags & kSimLdsEngaged) != 0;
    if (!lds) {
        Vector3 push{};
        for (int row = 0; row < 3; ++row) {
            const float t = row == 0 ? sim->thrust.x : row == 1 ? sim->thrust.y
                                                                : sim->thrust.z;
            push.x += axes.m[row * 4] * t;
            push.y += axes.m[row * 4 + 1] * t;
            push.z += axes.m[row * 4 + 2] * t;
        }
        sim->velocity.x += dt * push.x;
        sim->velocity.y += dt * push.y;
        sim->velocity.z += dt * push.z;
        AddScaled(position, sim->velocity, dt);
    } else if (sim->ldsSpool != 0) {
        const float c = LdsShare(sim->ldsSpool);
        AddScaled(position, Row(axes, 2), static_cast<double>(dt) * sim->thrust.z * c);
        AddScaled(position, sim->velocity, static_cast<double>(dt) * (1.0 - c));
    } else {
        AddScaled(position, Row(axes, 2), static_cast<double>(dt) * sim->thrust.z);
    }

    if (lds) {
        sim->speed = sim->thrust.z;
        sim->engineValue = sim->thrust.z;
    } else {
        sim->speed = VecLength(sim->velocity);
        sim->engineValue = VecFastLength(sim->thrust);
    }
    if (!(sim->flags & kSimNoMinimumEngine) && sim->engineValue < 500.0f)
        sim->engineValue = 500.0f;
    if (avatar->flags & kAvatarLongTrail)
        sim->engineValue = sim->engineValue * 2 + 500.0f;

    FollowTower(sim, position, dt);

    sim->position = position;
    matrix.m[12] = static_cast<float>(position.x);
    matrix.m[13] = static_cast<float>(position.y);
    matrix.m[14] = static_cast<float>(position.z);
    sim->matrix = matrix;

    // Engine glow 0..32 by the forward thrust (the LDS speed in LDS) over the
    // acceleration; objects that are not ships glow fully.
    int32_t glow = kFullGlow;
    if (sim->shipInfo) {
        float g = 0.0f;
        if (model.acceleration > 0.0f)
            g = std::fmax(sim->thrust.z / model.acceleration, 0.0f) * kFullGlow;
        glow = g < kFullGlow ? static_cast<int32_t>(g) : kFullGlow;
    }
    avatar->params[2] = glow;
    if (avatar->params[1] > 0)
        avatar->params[1] -= gFrameClock.frameTicks;

    CheckPositionSanity(sim->matrix);
}

uint8_t CheckFloatSanity(float value)
{
    if (std::isfinite(value))
        return 255;
    FatalError(std::signbit(value) ? "Infinity Error -" : "Infinity Error +");
    return 0;
}

uint8_t CheckPositionSanity(const Matrix4& matrix)
{
    uint8_t x = CheckFloatSanity(matrix.m[12]);
    uint8_t y = CheckFloatSanity(matrix.m[13]);
    uint8_t z = CheckFloatSanity(matrix.m[14]);
    return (x && y && z) ? 255 : 0;
}
