// The LDS drive: engaging and disengaging, the per-frame update with time
// compression, the speed laws, and the AI's test whether to use the drive.
// The blend of LDS and ordinary motion while the spool counter runs is
// SIM_MAIN's (world/physics.cpp).
#include "world/lds.h"

#include <cmath>

#include "system/frameclock.h"
#include "system/sound.h"
#include "ui/shiplog.h"
#include "view/cameras.h"
#include "world/records.h"
#include "world/scenelist.h"

uint8_t gLdsSwitchedOff;

namespace {

constexpr float kLdsFirstTarget = 1e10f;
// The wind-down an interdicted drive starts: 100 hundredths.
constexpr int32_t kInterdictionWindDown = -100;
constexpr int16_t kLogLdsEngaged = 9;
constexpr int16_t kLogLdsDisengaged = 10;
constexpr int32_t kDirectorLdsEngaged = 8;
constexpr int32_t kDirectorLdsDisengaged = 9;
constexpr int32_t kSoundLdsEngaged = 31;
constexpr int32_t kSoundLdsDisengaged = 33;

// The growth base b: the speed is multiplied by b each second.
double GrowthBase(const FlightModel* model)
{
    return model ? static_cast<double>(model->ldsGrowth) / 100.0 : 0.0;
}

const char* ShipName(const SceneItem* item)
{
    const ShipInfo* info = item->sim->shipInfo;
    return info ? info->name : nullptr;
}

// Logs the change, offers the director its shot and, for the controlled
// item, plays the drive's sound.
void Announce(SceneItem* item, int16_t logKind, int32_t directorEvent, int32_t sound)
{
    AddShipLogEntry(logKind, ShipName(item), nullptr);
    DirectorOfferShot(item, nullptr, directorEvent);
    if (item == gControlledItem)
        SoundPlay(sound, 0, 0, 0, 0);
}

double Log10AtLeast1(double v) { return v > 10.0 ? std::log10(v) : 1.0; }

// The time-compression factor of the player's LDS flight: above an LDS speed
// of 10^5.5 under the autopilot, the clock runs faster the faster the ship
// flies and the farther its target speed lies above its speed.
float TimeCompressionFor(const Sim* sim)
{
    const double s = Log10AtLeast1(sim->thrust.z);
    const double u = Log10AtLeast1(sim->ldsTargetSpeed);
    const bool autopilot = gControlledItem && gControlledItem->sim &&
                           (gControlledItem->sim->flags & kSimAiControl);
    if (!(s > 5.5 && autopilot))
        return 1.0f;
    double e = u - s;
    e = e > 1.0 ? std::fmin(e, 4.0) : 1.0;
    return static_cast<float>((s - 5.5) * e + 1.0);
}

bool IsLive(const SceneItem* item) { return item && (item->flags & kItemInUse) && item->sim; }

double Length(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

} // namespace

uint8_t EngageLds(SceneItem* item)
{
    Sim* sim = item->sim;
    const FlightModel* model = sim->flightModel;
    if ((sim->flags & kSimLdsBarred) || !model || model->ldsTopSpeed == 0.0f)
        return 0;
    if (sim->flags & kSimLdsEngaged)
        return 255;
    sim->ldsSpool = static_cast<int32_t>(model->spoolTime);
    sim->flags |= kSimLdsEngaged;
    sim->thrust.x = 0.0f;
    sim->thrust.y = 0.0f;
    sim->thrust.z = kLdsStartSpeed;
    sim->ldsTargetSpeed = kLdsFirstTarget;
    Announce(item, kLogLdsEngaged, kDirectorLdsEngaged, kSoundLdsEngaged);
    return 255;
}

uint8_t DisengageLds(SceneItem* item)
{
    Sim* sim = item->sim;
    if (!(sim->flags & kSimLdsEngaged))
        return 0;
    sim->thrust = {};
    sim->ldsTargetSpeed = 0.0f;
    sim->flags &= ~kSimLdsEngaged;
    sim->ldsSpool = 0;
    if (!(item->flags & kItemNearPlanet))
        sim->velocity = {};
    Announce(item, kLogLdsDisengaged, kDirectorLdsDisengaged, kSoundLdsDisengaged);
    if (item == gPlayerItem)
        gFrameClock.timeCompression = 1.0f;
    return 255;
}

void LdsStep(SceneItem* item)
{
    Sim* sim = item->sim;
    if (!(sim->flags & kSimLdsEngaged))
        return;
    const bool player = item == gPlayerItem;
    if (player)
        gFrameClock.timeCompression = TimeCompressionFor(sim);

    const int32_t step = gFrameClock.frameTicks;
    if (sim->ldsSpool > 0) {
        sim->ldsSpool -= step;
        if (sim->ldsSpool <= 0)
            sim->ldsSpool = 0;
        return;
    }
    if (sim->ldsSpool < 0 || (sim->flags & kSimLdsBarred)) {
        if (sim->ldsSpool < 0) {
            sim->ldsSpool += step;
            if (sim->ldsSpool >= 0) {
                sim->ldsSpool = 0;
                sim->thrust.z = 0.0f;
                sim->flags &= ~kSimLdsEngaged;
                sim->ldsTargetSpeed = 0.0f;
                if (IsLive(sim->secondTarget))
                    sim->velocity = sim->secondTarget->sim->velocity;
            }
        } else {
            sim->ldsSpool = kInterdictionWindDown;
        }
        if (player)
            gFrameClock.timeCompression = 1.0f;
        return;
    }

    const float dt = gFrameClock.frameSeconds;
    float speed = sim->thrust.z;
    speed += std::fmin(sim->ldsTargetSpeed - speed, LdsGrowthRate(speed, sim->flightModel) * dt);
    speed = std::fmax(speed, kLdsStartSpeed);
    if (sim->flightModel)
        speed = std::fmin(speed, sim->flightModel->ldsTopSpeed);
    sim->thrust.z = speed;
}

float LdsDistanceForSpeed(float speed, const FlightModel* model)
{
    const double b = GrowthBase(model);
    if (b <= 1.0)
        return 0.0f;
    return static_cast<float>(speed / (b - 1.0));
}

float LdsSpeedForDistance(float distance, const FlightModel* model)
{
    const double b = GrowthBase(model);
    const double v = b > 1.0 ? (b - 1.0) * distance : 0.0;
    return static_cast<float>(std::fmax(v, kLdsStartSpeed));
}

float LdsTimeForSpeed(float speed, const FlightModel* model)
{
    const double b = GrowthBase(model);
    if (b <= 1.0 || speed <= 0.0f)
        return 0.0f;
    return static_cast<float>(std::log(speed / kLdsStartSpeed) / std::log(b));
}

float LdsGrowthRate(float speed, const FlightModel* model)
{
    // ln(b) x 100,000 x b^t at the time t that reaches `speed` is ln(b) x v.
    const double b = GrowthBase(model);
    if (b <= 1.0)
        return 0.0f;
    return static_cast<float>(std::log(b) * speed);
}

uint8_t WantsLdsToTarget(SceneItem* ship, SceneItem* target)
{
    const Sim* sim = ship->sim;
    const FlightModel* model = sim->flightModel;
    if (gLdsSwitchedOff || (sim->flags & kSimLdsBarred) || !model || model->ldsTopSpeed == 0.0f)
        return 0;
    if (!IsLive(target))
        return 0;
    const Sim* other = target->sim;
    const WorldPosition& a = ship->avatar->position;
    const WorldPosition& b = target->avatar->position;
    const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;

    if (other->flags & kSimLdsEngaged) {
        const Matrix4& m = other->matrix;
        const double away = (m.m[8] * dx + m.m[9] * dy + m.m[10] * dz) * other->thrust.z;
        return away > 0.0 ? 255 : 0;
    }

    // The way a turn takes before the ship flies straight at the target.
    const double turnRates = static_cast<double>(model->yawRate) + model->rollRate;
    double gap = 0.0;
    if (turnRates > 0.0)
        gap = std::fmax(Length(dx, dy, dz) - 360.0 / turnRates * 120000.0, 0.0);
    const double radius = other->radius;
    if ((target->avatar->flags & 4) && gap <= radius)
        return 0;
    const bool farInTime = model->topSpeed > 0.0f ? gap / model->topSpeed > 130.0 : gap > 0.0;
    if (farInTime || gap - radius > 5000000.0)
        return 255;

    const double rx = static_cast<double>(sim->velocity.x) - other->velocity.x;
    const double ry = static_cast<double>(sim->velocity.y) - other->velocity.y;
    const double rz = static_cast<double>(sim->velocity.z) - other->velocity.z;
    const bool headingAway = rx * dx + ry * dy + rz * dz < 0.0;
    const bool wants = !(ship->flags & kItemNearPlanet) && Length(rx, ry, rz) > 120000.0 &&
                       gap > 200000.0 && headingAway;
    return wants ? 255 : 0;
}
