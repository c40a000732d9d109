// The headless world scenario.
#include "tests/support/world_scenario.h"

#include "system/frameclock.h"
#include "screens/bridge.h"
#include "world/collisions.h"
#include "world/digest.h"
#include "world/itemmessages.h"
#include "world/floatingorigin.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"
#include "world/responses.h"
#include "world/steering.h"

namespace worldscenario {

namespace {

constexpr uint16_t kShot = 12;
constexpr uint16_t kDie = 0;
int gWanted; // items the scenario keeps alive

struct ShotBody {
    SceneItemHandle shooter;
    int32_t damage;
};

uint32_t Draw(uint32_t n) { return (ShiftRegisterRandom() >> 1) % n; }

} // namespace

void Drift(SceneItem* item)
{
    Sim* sim = item->sim;
    float dt = gFrameClock.frameSeconds;
    sim->position.x += sim->velocity.x * dt;
    sim->position.y += sim->velocity.y * dt;
    sim->position.z += sim->velocity.z * dt;
    sim->matrix.m[12] = static_cast<float>(sim->position.x);
    sim->matrix.m[13] = static_cast<float>(sim->position.y);
    sim->matrix.m[14] = static_cast<float>(sim->position.z);
    sim->startTime = gFrameClock.gameClock;
}

namespace {

SceneItem* RandomItem()
{
    SceneItem* item = &SceneItemPool()[Draw(kMaxSceneItems)];
    return (item->flags & kItemInUse) ? item : nullptr;
}

void Steer(SceneItem* item)
{
    item->pitchDemand = static_cast<float>(Draw(201)) - 100.0f;
    item->sim->velocity.x += static_cast<float>(Draw(21)) - 10.0f;
    if (Draw(8) == 0) {
        SceneItem* target = RandomItem();
        if (target && target != item) {
            ShotBody shot{ItemHandle(item), static_cast<int32_t>(Draw(30))};
            PostItemMessage(item->receiver, target->receiver, static_cast<int32_t>(Draw(40)),
                            kShot, shot);
        }
    }
}

void Spawn(int16_t flags);

void Messages(SceneItem* item)
{
    ItemMessage m;
    while (FetchItemMessage(item->receiver, &m)) {
        if (m.kind == kDie) {
            DeleteSceneItem(item);
            Spawn(Draw(4) == 0 ? kItemTailGroup : 0);
            return;
        }
        if (m.kind == kShot) {
            ShotBody shot = MessageBody<ShotBody>(m);
            item->sim->hull -= shot.damage;
            if (SceneItem* shooter = ItemFromHandle(shot.shooter))
                shooter->avatar->params[0] += 1;
            if (item->sim->hull < 0 && item != gPlayerItem)
                PostItemMessage(item->receiver, item->receiver, 10, kDie, 0, nullptr);
        }
    }
}

void Spawn(int16_t flags)
{
    SceneItem* item = NewSceneItem();
    if (!item)
        return;
    InsertSceneItem(item, flags);
    Sim* sim = AttachSim(item, Drift);
    SetControlFunction(item, Steer);
    SetMessageFunction(item, Messages);
    AttachRootTDP(item);
    sim->position = {static_cast<double>(Draw(100000)), static_cast<double>(Draw(100000)),
                     static_cast<double>(Draw(100000))};
    sim->velocity = {static_cast<float>(Draw(2001)) - 1000.0f, static_cast<float>(Draw(2001)) - 1000.0f,
                     static_cast<float>(Draw(2001)) - 1000.0f};
    sim->mass = 100.0f + static_cast<float>(Draw(900));
}

// The flight scenario: one waypoint and one flight model per pool slot.
Vector3 gWaypoints[kMaxSceneItems];
FlightModel gModels[kMaxSceneItems];
constexpr float kArrival = 2000.0f;

float gSpread = 100000.0f; // half the cube the flight scenario flies in

Vector3 RandomPoint()
{
    const uint32_t across = static_cast<uint32_t>(2.0f * gSpread) + 1;
    return {static_cast<float>(Draw(across)) - gSpread, static_cast<float>(Draw(across)) - gSpread,
            static_cast<float>(Draw(across)) - gSpread};
}

int Slot(const SceneItem* item) { return static_cast<int>(item - SceneItemPool()); }

// The AI's part: turning starts afresh each frame; fly at the approach
// speed toward the waypoint, facing along the wanted velocity.
void FlyToWaypoint(SceneItem* item)
{
    Sim* sim = item->sim;
    sim->flags &= ~kSimTurnOncePerFrame;
    Vector3& goal = gWaypoints[Slot(item)];
    Vector3 d{static_cast<float>(goal.x - sim->position.x), static_cast<float>(goal.y - sim->position.y),
              static_cast<float>(goal.z - sim->position.z)};
    const float distance = VecNormalise(d);
    if (distance < kArrival)
        goal = RandomPoint();
    const float speed = ApproachSpeed(item, sim->flightModel, distance);
    SteerToVelocity(item, Vector3{d.x * speed, d.y * speed, d.z * speed}, sim->flightModel);
}

SceneItem* SpawnShip(int16_t flags = 0)
{
    SceneItem* item = NewSceneItem();
    if (!item)
        return nullptr;
    InsertSceneItem(item, flags);
    Sim* sim = AttachSim(item, SIM_MAIN);
    SetControlFunction(item, FlyToWaypoint);
    SetAvatarCallbacks(item, CopySimToAvatar, nullptr);
    AttachRootTDP(item);
    const int slot = Slot(item);
    const float rate = 20.0f + static_cast<float>(Draw(70));
    InitFlightModel(&gModels[slot], 50.0f + static_cast<float>(Draw(400)), 10, 200, 1e8f, rate,
                    rate * 0.8f, rate * 0.6f, 20.0f + static_cast<float>(Draw(60)));
    sim->flightModel = &gModels[slot];
    const Vector3 start = RandomPoint();
    sim->position = {start.x, start.y, start.z};
    sim->matrix.m[12] = start.x;
    sim->matrix.m[13] = start.y;
    sim->matrix.m[14] = start.z;
    sim->mass = 100.0f + static_cast<float>(Draw(900));
    gWaypoints[slot] = RandomPoint();
    return item;
}

// Impacts come off the hull; a wreck is pushed back to full hull.
void TakeImpacts(SceneItem* item)
{
    ItemMessage m;
    while (FetchItemMessage(item->receiver, &m)) {
        if (m.kind != kMsgImpact)
            continue;
        item->sim->hull -= MessageBody<HitPayload>(m).amount / 100 + 1;
        if (item->sim->hull < 0)
            item->sim->hull = 100;
    }
}

void GiveCollisionShape(SceneItem* item, float radius)
{
    HullBounds* bounds = AllocHullBounds();
    auto* box = static_cast<HullBox*>(AllocMemory(sizeof(HullBox)));
    const float h = 0.6f * radius;
    *box = {{-h, -h, -h}, {h, h, h}, nullptr, 0x100};
    bounds->radius = radius;
    bounds->boxes = box;
    const float p = 0.5f * radius;
    const Vector3 points[] = {{p, 0, 0}, {-p, 0, 0}, {0, p, 0}, {0, -p, 0}, {0, 0, p}, {0, 0, -p}};
    for (const Vector3& point : points)
        bounds->points[bounds->pointCount++] = point;
    TDP* root = item->avatar->root;
    root->hullBounds = bounds;
    InitTDPRadius(root);
    UpdateTDPWorldCentres(item);
    SetSceneItemRadius(item);
}

// A fresh world whose game clock (and so its random source) starts at the seed.
void ResetWorld(uint32_t seed)
{
    gFrameClock = FrameClock{};
    gFrameClock.gameClock = seed;
    ResetSimulation();
    gWorldOriginOffset = {};
}

} // namespace

void BuildFlight(uint32_t seed, int ships)
{
    ResetWorld(seed);
    gSpread = 100000.0f;
    for (int i = 0; i <= ships; ++i)
        SpawnShip();
    gPlayerItem = gControlledItem = gSceneList.next;
}

void BuildCollisionFlight(uint32_t seed, int ships, float spread)
{
    ResetWorld(seed);
    gCollisionDamage = 255;
    gSpread = spread;
    for (int i = 0; i <= ships; ++i) {
        SceneItem* item = SpawnShip(i % 5 == 4 ? kItemTailGroup : 0);
        if (!item)
            break;
        if (i % 10 == 9)
            item->flags |= kItemObstacle;
        SetMessageFunction(item, TakeImpacts);
        item->avatar->collision = CollideShips;
        GiveCollisionShape(item, 500.0f + static_cast<float>(Draw(1500)));
    }
    gPlayerItem = gControlledItem = gSceneList.next;
}

void Build(uint32_t seed, int items)
{
    gFrameClock = FrameClock{};
    gFrameClock.gameClock = seed;
    ResetSimulation();
    gWanted = items;
    Spawn(0);
    gPlayerItem = gControlledItem = gSceneList.next;
    for (int i = 0; i < items; ++i)
        Spawn(i % 5 == 4 ? kItemTailGroup : 0);
}

void Step(int32_t ticks)
{
    gFrameClock.frameTicks = ticks;
    gFrameClock.frameSeconds = static_cast<float>(ticks) / 100.0f;
    gFrameClock.gameClock += static_cast<uint32_t>(ticks);
    RunSimulationFrame();
    UpdateFloatingOrigin();
}

uint64_t Run(int frames, int32_t ticks)
{
    for (int frame = 0; frame < frames; ++frame)
        Step(ticks);
    return WorldStateDigest();
}

} // namespace worldscenario
