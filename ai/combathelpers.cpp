// Combat helpers that the AI states, the orders, the script statements and
// the simulation frame share: the attack-run planner, searches of the scene
// list by class flags, counts by side, forgetting a removed item, group
// leaders, formation and L4 placement, and the vertex pickers of the
// particle emitters.
//
// The threat and hull ratings belong to the hit module (ai/combat.h), the
// enemy choice to the orders (ai/orders.h). Draws come from CRand in the
// order the routines have always made them.
#include "ai/combathelpers.h"

#include <cmath>

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/orders.h"
#include "ai/statesteps.h"
#include "ai/weapons.h"
#include "framework/scene.h"
#include "script/conditions.h"
#include "script/shiptypes.h"
#include "system/crand.h"
#include "ui/hud.h"
#include "view/explosions.h"
#include "view/markerlights.h"
#include "view/renderpasses.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"

SceneItem* gTargetSearchIgnoredItem = nullptr;
int32_t gTargetSearchIgnoreTicks = 0;
int16_t gSideCounts[kSideCount] = {};
int16_t gLastGroupNumber = 0;

namespace {

uint32_t ClassFlags(const SceneItem* item) { return item->avatar ? item->avatar->classFlags : 0; }

bool InList(const SceneItem* item, const SceneItem* head) { return item && item != head; }

// The offset from b to a in floats.
Vector3 Offset(const SceneItem* a, const SceneItem* b)
{
    return {static_cast<float>(a->sim->position.x - b->sim->position.x),
            static_cast<float>(a->sim->position.y - b->sim->position.y),
            static_cast<float>(a->sim->position.z - b->sim->position.z)};
}

float Distance(const SceneItem* a, const SceneItem* b) { return VecLength(Offset(a, b)); }

double DistanceTo(const WorldPosition& p, const WorldPosition& q)
{
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    const double dz = p.z - q.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void SetPosition(Sim* sim, const WorldPosition& p)
{
    sim->position = p;
    sim->matrix.m[12] = static_cast<float>(p.x);
    sim->matrix.m[13] = static_cast<float>(p.y);
    sim->matrix.m[14] = static_cast<float>(p.z);
}

void CopyRotation(Matrix4& to, const Matrix4& from)
{
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            to.m[row * 4 + column] = from.m[row * 4 + column];
}

// Calls visit(sim) for every Sim in use.
template <typename Visit>
void ForEachSim(Visit visit)
{
    Sim* pool = SimPool();
    for (int i = 0; i < kMaxSims; ++i)
        if (pool[i].flags & kSimInUse)
            visit(pool[i]);
}

} // namespace

// ---- The attack-run planner ------------------------------------------------------

namespace {

constexpr uint32_t kClassOutmatched = 0x8000000;
constexpr float kFriendReach = 25000000.0f;

// Who counts as friend and as foe around a ship, by its side (any other
// side counts every side as both).
struct SideCount {
    uint32_t friends;
    uint32_t enemies;
};
constexpr SideCount kSideCountMasks[kSideCount] = {
    {0xC0, 0x700},
    {0x80, 0x700},
    {0x300, 0x480},
    {0x300, 0},
    {0x400, 0x180},
    {0x800, 0x80},
    {0x1000, 0x80},
};

enum : int32_t {
    kTailBiting = 30,
    kFaceAttack = 31,
    kAchieveRange = 32,
    kGuard = 22,
    kDeflector = 28,
    kFlee = 59,
};

float HullFactor(const ShipInfo* shipInfo)
{
    const DamageBlock& d = shipInfo->damage;
    return HullConditionFactor(d.armour, d.maximumHull, d.hullDamage, d.capabilities);
}

// a / b with a rating of nothing meeting nothing as even.
float Ratio(float a, float b)
{
    if (b > 0.0f)
        return a / b;
    return a > 0.0f ? 1e30f : 1.0f;
}

const FlightModel* FlightOf(const SceneItem* item)
{
    return item->sim->flightModel ? item->sim->flightModel : &item->sim->shipInfo->flightModel;
}

} // namespace

int32_t PlanAttackRun(SceneItem* item, SceneItem* target)
{
    ShipInfo* shipInfo = ShipInfoOf(item);
    if (!shipInfo || !item->avatar)
        return -1;
    Sim* sim = item->sim;
    item->avatar->classFlags &= ~kClassOutmatched;
    if (!target) {
        target = sim->target;
        sim->secondTarget = target;
    }

    const uint32_t style = sim->flags & kStyleMask;
    if (style == 0) {
        const int32_t frame = shipInfo->currentFrame >= 0 && shipInfo->currentFrame < kAIStackFrames
                                  ? shipInfo->currentFrame
                                  : 0;
        return shipInfo->stateStack[frame].stateId;
    }
    if (style == kStyleFlee)
        return kFlee;
    const ShipInfo* targetInfo = ShipInfoOf(target);
    if (!targetInfo)
        return -1;

    // Friends and foes about the ship, each at least one.
    const SideCount masks =
        shipInfo->side >= 0 && shipInfo->side < kSideCount ? kSideCountMasks[shipInfo->side] : SideCount{0x1FC0, 0x1FC0};
    int32_t friends = 0;
    int32_t enemies = 0;
    for (SceneItem* other = gSceneList.next; InList(other, &gSceneList); other = other->next) {
        if (!ShipInfoOf(other) || !other->avatar)
            continue;
        const uint32_t flags = other->avatar->classFlags;
        if (!(flags & (masks.friends | masks.enemies)) || GetSurfaceDistance(item, other) >= kFriendReach)
            continue;
        friends += (flags & masks.friends) ? 1 : 0;
        enemies += (flags & masks.enemies) ? 1 : 0;
    }
    friends = friends < 1 ? 1 : friends;
    enemies = enemies < 1 ? 1 : enemies;

    const float size = Ratio(sim->radius, target->sim->radius);
    const float hull = Ratio(HullFactor(shipInfo), HullFactor(targetInfo));
    int32_t mounts = 0;
    for (const Weapon* w = sim->weapons; w; w = w->next)
        mounts += (w->flags & kWeaponDisabled) ? 0 : 1;
    const FlightModel* flight = FlightOf(item);
    if (mounts == 0)
        return flight->ldsTopSpeed <= 1.0f && flight->acceleration <= 1.0f ? -1 : kFlee;

    const bool cautious = style == kStyleMixed || style == kStyleStandOff || style == kStyleClose;
    if (!cautious || (hull >= 0.66f && enemies / friends <= 3)) {
        if (style == kStyleClose || style == kStyleLeader) {
            const Vector3 apart = Offset(target, item);
            const bool far = VecFastLength(apart) > 400000.0f && VecLength(apart) > 10.0f * sim->radius;
            if (far || (target->sim->flags & kSimLdsEngaged)) {
                SceneItem* old = sim->target;
                if (ClassFlags(target) & 0xC000000) {
                    PickBestEnemy(item);
                    if (!sim->target)
                        sim->target = old;
                }
                if (sim->target.Get() == old)
                    return kAchieveRange;
            }
        }
        const float agility = std::fabs(flight->pitchRate) + std::fabs(flight->rollRate);
        if (agility >= 10.0f && (agility >= 25.0f || mounts < 5)) {
            const float faster = Ratio(FlightOf(target)->acceleration, flight->acceleration);
            if ((friends / enemies > 2 && size > 0.8f) || (faster > 1.5f && size > 1.0f))
                return kFaceAttack;
            return kTailBiting;
        }
        return kGuard;
    }

    // Outmatched: a damaged ship that can still run, runs.
    const int16_t damaged = shipInfo->damage.capabilities;
    if (((damaged & (0x8 | 0x10)) || HullFactor(shipInfo) < 0.4f) && !(damaged & 0x2)) {
        item->avatar->classFlags |= kClassOutmatched;
        return kFlee;
    }
    return shipInfo->hardPointCount > 1 ? kDeflector : kFlee;
}

// ---- Searches and counts -----------------------------------------------------------

uint32_t NoisyClassFlags(const float* limits, const SceneItem* item, float d)
{
    const uint32_t flags = item && item->avatar ? item->avatar->classFlags : 0;
    const float far = limits[0];
    const float near = limits[1];
    if (d > far)
        return 0;
    if (near <= 0.0f || d < near)
        return flags;
    uint32_t seen = flags;
    const float steps = d / near;
    for (int32_t i = 0; static_cast<float>(i) < steps; ++i) {
        if (CRand() & 1)
            seen ^= 1u << (CRand() % 32);
    }
    return seen;
}

SceneItem* FindNearestItemByFlags(const float* limits, uint32_t include, uint32_t exclude, SceneItem* item, float range)
{
    if (!item || !item->sim)
        return nullptr;
    float reach = range == 0.0f ? 1e30f : range;
    SceneItem* nearest = nullptr;
    for (SceneItem* other = gSceneList.next; InList(other, &gSceneList); other = other->next) {
        if (other == item || other == gTargetSearchIgnoredItem || !other->avatar || !other->sim)
            continue;
        // The flags first: most items fail them, and they cost no root.
        if (!limits && ((other->avatar->classFlags & include) != include || (other->avatar->classFlags & exclude)))
            continue;
        const float d = Distance(other, item);
        if (!(d < reach))
            continue;
        if (limits) {
            const uint32_t seen = NoisyClassFlags(limits, other, d);
            if ((seen & include) != include || (seen & exclude))
                continue;
        }
        nearest = other;
        reach = d;
    }
    return nearest;
}

SceneItem* FindNearestVisibleItem(const float* limits, uint32_t include, uint32_t exclude, SceneItem* item,
                                  float range, int16_t directionCode)
{
    if (!item || !item->sim)
        return nullptr;
    const SceneItem* attacker = item->avatar ? item->avatar->lockedOn.Get() : nullptr;
    float reach = range;
    SceneItem* nearest = nullptr;
    for (SceneItem* other = gSceneList.next; InList(other, &gSceneList); other = other->next) {
        if (other == item || other == gTargetSearchIgnoredItem || !other->avatar || !other->sim)
            continue;
        const float d = Distance(other, item);
        if (!(d < reach))
            continue;
        const uint32_t seen = limits ? NoisyClassFlags(limits, other, d) : other->avatar->classFlags;
        const bool ofMasks = (seen & include) && !(seen & exclude);
        const bool hunting = other == attacker && other->sim->target.Is(item);
        if (!ofMasks && !hunting)
            continue;
        const Vector3 local = aistep::IntoFrame(Offset(other, item), item->sim->matrix);
        if (!WeaponInFiringArc(item, local.x, local.y, local.z, directionCode, nullptr))
            continue;
        nearest = other;
        reach = d;
    }
    return nearest;
}

SceneItem* FindNextItemWithFlags(SceneItem* position, uint32_t mask)
{
    for (SceneItem* item = position; InList(item, &gSceneList); item = item->next)
        if ((ClassFlags(item) & mask) == mask)
            return item;
    return nullptr;
}

SceneItem* FindFirstItemWithFlags(uint32_t mask) { return FindNextItemWithFlags(gSceneList.next, mask); }

int32_t CountItemsOfType(int32_t side)
{
    int32_t n = 0;
    for (SceneItem* item = gSceneList.next; InList(item, &gSceneList); item = item->next) {
        const ShipInfo* shipInfo = ShipInfoOf(item);
        if (shipInfo && shipInfo->side == side && !(ClassFlags(item) & 0x8) && item != gTargetSearchIgnoredItem)
            ++n;
    }
    return n;
}

void CountShipsByType()
{
    for (int16_t& count : gSideCounts)
        count = 0;
    for (SceneItem* item = gSceneList.next; InList(item, &gSceneList); item = item->next) {
        const ShipInfo* shipInfo = ShipInfoOf(item);
        if (shipInfo && shipInfo->side >= 0 && shipInfo->side < kSideCount)
            ++gSideCounts[shipInfo->side];
    }
}

// ---- Removal and groups -------------------------------------------------------------

void ForgetTargetEverywhere(SceneItem* item)
{
    if (!item)
        return;
    ForEachSim([&](Sim& sim) {
        if (sim.target.Is(item))
            sim.target = nullptr;
    });
}

void ForgetLeaderEverywhere(SceneItem* item)
{
    if (!item)
        return;
    ForEachSim([&](Sim& sim) {
        if (sim.secondTarget.Is(item))
            sim.secondTarget = nullptr;
    });
}

void DetachGroupLeader(SceneItem* item)
{
    ShipInfo* shipInfo = ShipInfoOf(item);
    if (!shipInfo || !(shipInfo->flags & kShipGroupLeader))
        return;
    shipInfo->flags &= ~kShipGroupLeader;
    shipInfo->group = ++gLastGroupNumber;
    for (SceneItem* other = gSceneList.next; InList(other, &gSceneList); other = other->next) {
        const ShipInfo* member = ShipInfoOf(other);
        if (member && member->group == shipInfo->group) {
            PostItemMessage(item->receiver, other->receiver, 0, kMsgElectLeader, 0, nullptr);
            return;
        }
    }
}

void ElectFixedAttackLeader(SceneItem* item)
{
    ShipInfo* shipInfo = ShipInfoOf(item);
    if (!shipInfo || (shipInfo->flags & kShipGroupLeader))
        return;
    Sim* sim = item->sim;
    // Group 0 is no group: a ship without one has no members to learn of.
    SceneItem* leader = item;
    bool leaderMet = false;
    SceneItem* members[kMaxShipInfos];
    int memberCount = 0;
    for (SceneItem* other = gSceneList.next; shipInfo->group != 0 && InList(other, &gSceneList);
         other = other->next) {
        ShipInfo* member = ShipInfoOf(other);
        if (other == item || !member || member->group != shipInfo->group)
            continue;
        if (member->flags & kShipGroupLeader) {
            for (int i = 0; i < memberCount; ++i)
                members[i]->sim->shipInfo->leader = other;
            leader = other;
            leaderMet = true;
        } else {
            member->leader = leader;
        }
        if (memberCount < kMaxShipInfos)
            members[memberCount++] = other;
    }
    if (!leaderMet) {
        shipInfo->flags |= kShipGroupLeader;
        sim->flags |= kStyleLeader;
        if (const OrderProgram* row = FindOrderProgram("FixedAttack")) {
            shipInfo->orders[1].name = row->name;
            SetOrderSlot(shipInfo, 1, 0, 0, 0, 70, row->evaluator, 80, 0);
            SetOrderState(shipInfo, 1, row->stateId, row->parameters[0], row->parameters[1], row->parameters[2]);
            ActivateOrder(item, 1);
        }
    }
    sim->secondTarget = sim->target.Get();
}

void TellPeerAboutLeader(SceneItem* item)
{
    const ShipInfo* shipInfo = ShipInfoOf(item);
    if (!shipInfo)
        return;
    SceneItem* peers[kMaxShipInfos];
    int count = 0;
    for (SceneItem* other = gSceneList.next; InList(other, &gSceneList) && count < kMaxShipInfos;
         other = other->next) {
        const ShipInfo* peer = ShipInfoOf(other);
        if (other != item && peer && peer->side == shipInfo->side)
            peers[count++] = other;
    }
    if (count == 0)
        return;
    SceneItem* peer = peers[CRand() % count];
    const ItemBody body{ItemHandle(item->sim->target)};
    PostItemMessage(item->receiver, peer->receiver, 0, kMsgSetTarget, body);
}

// ---- Placement ------------------------------------------------------------------------

void FormationSlotPosition(SceneItem* item, SceneItem* leader, float spacing, int32_t slot)
{
    if (!item || !item->sim || !leader || !leader->sim || slot < 0)
        return;
    const int32_t c = slot == 4 ? 0 : slot;
    const int32_t row = c / 5;
    const int32_t d = (5 - c % 5) / 2;
    const Sim& lead = *leader->sim;
    const float rise = spacing * static_cast<float>(row / 5 + 1);
    const Vector3 local{(c % 2 ? -1.0f : 1.0f) * spacing * static_cast<float>(d),
                        row == 0 ? 0.0f : (row % 2 ? -rise : rise),
                        -(static_cast<float>(row) * spacing + spacing * static_cast<float>(d) / 2.0f) - lead.radius};
    Vector3 offset;
    MatRotateVec(lead.matrix, local, offset);
    Sim* sim = item->sim;
    CopyRotation(sim->matrix, lead.matrix);
    SetPosition(sim, {lead.position.x + offset.x, lead.position.y + offset.y, lead.position.z + offset.z});
    sim->velocity = lead.velocity;
    sim->localVelocity = lead.localVelocity;
    sim->thrust = lead.thrust;
    if (lead.flags & kSimLdsEngaged)
        sim->flags |= kSimLdsEngaged;
}

namespace {

constexpr float kL4Clearance = 150000.0f;
constexpr double kArrivalFlashReach = 2500000.0;
constexpr uint32_t kClassKeepsClear = 0x4;

// A point at the radius from the centre, in a random direction.
WorldPosition RandomPointAround(const WorldPosition& centre, float radius)
{
    Vector3 direction;
    direction.x = static_cast<float>(CRand() % 1000 - 500);
    direction.y = static_cast<float>(CRand() % 1000 - 500);
    direction.z = static_cast<float>(CRand() % 1000 - 500);
    if (VecNormalise(direction) == 0.0f)
        direction = {0.0f, 0.0f, 1.0f};
    return {centre.x + direction.x * radius, centre.y + direction.y * radius, centre.z + direction.z * radius};
}

// Whether the point lies clear of every item that keeps others away.
bool ClearOfKeepers(const SceneItem* item, const WorldPosition& point, float clearance)
{
    for (SceneItem* other = gSceneList.next; InList(other, &gSceneList); other = other->next) {
        if (other == item || !other->sim || !(ClassFlags(other) & kClassKeepsClear))
            continue;
        if (DistanceTo(point, other->sim->position) < clearance + other->sim->radius)
            return false;
    }
    return true;
}

} // namespace

uint8_t PlaceItemNearL4(SceneItem* item, float* radius, int32_t retry)
{
    SceneItem* l4 = FindNamedSceneItem("L4");
    if (!item || !item->sim || !radius || !l4 || !l4->sim)
        return 0;
    const float clearance = item->sim->radius + kL4Clearance;
    for (;;) {
        const WorldPosition point = RandomPointAround(l4->sim->position, *radius);
        if (ClearOfKeepers(item, point, clearance)) {
            CopyRotation(item->sim->matrix, l4->sim->matrix);
            SetPosition(item->sim, point);
            if (gPlayerItem && gPlayerItem->sim && DistanceTo(point, gPlayerItem->sim->position) < kArrivalFlashReach)
                AddArrivalFlash(item);
            return 255;
        }
        *radius += clearance / 2.0f;
        if (retry == 0)
            return 0;
    }
}

SceneItem* ReleaseItemAtL4(uint32_t mask, int32_t generation)
{
    SceneItem* item = gParkedList.next;
    while (InList(item, &gParkedList) &&
           !((ClassFlags(item) & mask) == mask && item->sceneGeneration == generation && item->sim))
        item = item->next;
    if (!InList(item, &gParkedList))
        return nullptr;
    float radius = 100000.0f;
    if (!PlaceItemNearL4(item, &radius, 0))
        return &gParkedList;

    ShiftSceneItem(item, 0.0, 0.0, 0.0);
    Sim* sim = item->sim;
    MatRotZ(static_cast<float>(CRand() % 20 - 10), sim->matrix);
    MatRotX(static_cast<float>(CRand() % 20 - 10), sim->matrix);
    MatRotY(static_cast<float>(CRand() % 20 - 10), sim->matrix);
    if (item->avatar)
        item->avatar->matrix = sim->matrix;
    const float* forward = &sim->matrix.m[8];
    sim->velocity.x = static_cast<float>(40000 + CRand() % 10000) * forward[0];
    sim->velocity.y = static_cast<float>(40000 + CRand() % 10000) * forward[1];
    sim->velocity.z = static_cast<float>(40000 + CRand() % 10000) * forward[2];
    const Vector3 nose{0.0f, 0.0f, sim->radius};
    AddMarkerLight(item, &nose, 8.5f, 5, 0, 200, 0);
    if (gPlayerItem)
        item->sceneGeneration = gPlayerItem->sceneGeneration;
    return item;
}

// ---- Vertex pickers ---------------------------------------------------------------------

namespace {

const hx_model* ModelOf(const TDP* part) { return part && part->model && part->model->vertices ? part->model : nullptr; }

// A vertex is marked when its first spare byte is set.
bool Marked(const hx_model* model, int32_t i) { return model->vertices[i].gap[0] != 0; }

} // namespace

Vector3 NextUnmarkedModelVertex(TDP* part, int32_t* cursor)
{
    const hx_model* model = ModelOf(part);
    const int32_t count = model ? model->nvertices : 0;
    if (count == 0 || !cursor)
        return {};
    int32_t start = *cursor >= 0 && *cursor < count ? *cursor : 0;
    for (int32_t step = 0; step < count; ++step) {
        const int32_t i = (start + step) % count;
        if (!Marked(model, i)) {
            *cursor = i + 1;
            return *GetModelVertex(i, model);
        }
    }
    return {};
}

Vector3 PickModelVertexInZRange(TDP* part, int32_t* cursor, float low, float high)
{
    const hx_model* model = ModelOf(part);
    const int32_t count = model ? model->nvertices : 0;
    if (count == 0 || !cursor)
        return {};
    int32_t start = *cursor == -1 ? CRand() % count : *cursor;
    start = start >= 0 && start < count ? start : 0;
    const int32_t tries = count < 45 ? count : 45;
    for (int32_t step = 0; step < tries; ++step) {
        const int32_t i = (start + step) % count;
        const float z = GetModelVertex(i, model)->z;
        if (low < z && z < high) {
            *cursor = i + 1;
            return *GetModelVertex(i, model);
        }
    }
    return {};
}
