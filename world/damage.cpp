// Damage and repair. See damage.h.
//
// A loss of n % of a value v is v - n x v / 100, never below 0. A hit that
// newly damages a capability marks itself with a hull rupture and a thermal
// explosion and starts the ship's repair chain: one kind-21 message at a
// time, guarded by the ShipInfo's repair-pending flag.
#include "world/damage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "system/crand.h"
#include "system/sound.h"
#include "ui/hud.h"
#include "view/bodyrender.h"
#include "view/explosions.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

namespace {

constexpr int32_t kLdsDamagedSpeed = 300000;
constexpr int32_t kSoundSystemLost = 15;
constexpr int32_t kSoundSystemRepaired = 18;
constexpr int32_t kSystemLostVolume = -6000;
constexpr float kSystemDamaged = 0.25f;

// The capability walk of the repair step, in order.
constexpr uint16_t kRepairWalk[] = {kCapTurnThrusters, kCapMainThrust, kCapWeapons,
                                    kCapHardPoint0 | kCapHardPoint1, kCapLdsDrive,
                                    kCapCapsuleDrive};

struct Ship {
    SceneItem* item;
    ShipInfo* info;
    uint16_t& bits() { return reinterpret_cast<uint16_t&>(info->damage.capabilities); }
    bool Has(uint16_t bit) { return (bits() & bit) != 0; }
    // Sets the bit; true when it was clear.
    bool Set(uint16_t bit)
    {
        const bool newly = !Has(bit);
        bits() |= bit;
        return newly;
    }
    void Clear(uint16_t bit) { bits() &= static_cast<uint16_t>(~bit); }
    void Cripple()
    {
        if (item->avatar)
            item->avatar->classFlags |= kSenseCrippled;
    }
    void Uncripple()
    {
        if (item->avatar)
            item->avatar->classFlags &= ~uint32_t{kSenseCrippled};
    }
};

float LosePercent(float value, int32_t amount)
{
    return std::max(0.0f, value - static_cast<float>(amount) * value / 100.0f);
}

int8_t LosePercent(int8_t condition, int32_t amount)
{
    const int32_t left = condition - amount * condition / 100;
    return static_cast<int8_t>(std::clamp(left, 0, 127));
}

bool Chance(float x)
{
    return x * 100.0f > static_cast<float>(CRand() % 100);
}

int WeaponCount(const SceneItem* item)
{
    int count = 0;
    for (const Weapon* w = item->sim->weapons; w; w = w->next)
        ++count;
    return count;
}

Weapon* NthMount(SceneItem* item, int n)
{
    Weapon* w = item->sim->weapons;
    while (w && n-- > 0)
        w = w->next;
    return w;
}

// Hull points reckoned in float, cut toward zero as a conversion cuts them,
// held to the int32 range and one past its top (more than any maximum). A
// structure whose health is not a number counts as intact.
int64_t WideHullPoints(float points)
{
    if (std::isnan(points))
        return 0;
    return static_cast<int64_t>(std::clamp(points, -2147483648.0f, 2147483648.0f));
}

bool IsSystemsShip(const SceneItem* item)
{
    return CarriesShipSystems(item) && item->sim->systemCount > 0;
}

// ---- Capability effects: each returns true when it newly damaged one --------

bool DamageTurnThrusters(Ship& ship, int32_t amount)
{
    FlightModel& f = ship.info->flightModel;
    float* rates[] = {&f.yawRate, &f.pitchRate, &f.rollRate};
    float& rate = *rates[CRand() % 3];
    rate = std::max(0.0f, rate - static_cast<float>(amount) * rate / 50.0f);
    if (f.rollRate + f.pitchRate + f.yawRate >= 50.0f || ship.Has(kCapTurnThrusters))
        return false;
    ship.Set(kCapTurnThrusters);
    ship.Cripple();
    return true;
}

bool DamageMainThrust(Ship& ship, int32_t amount)
{
    FlightModel& f = ship.info->flightModel;
    f.acceleration = LosePercent(f.acceleration, amount);
    f.secondThrust = LosePercent(f.secondThrust, amount);
    if (f.acceleration >= 500.0f || ship.Has(kCapMainThrust))
        return false;
    ship.Set(kCapMainThrust);
    ship.Cripple();
    return true;
}

// The nearest working mount within a fifth of the radius of the hit.
bool DisableWeaponNearHit(Ship& ship, const Vector3* hitPoint)
{
    const Sim* sim = ship.item->sim;
    const float* m = sim->matrix.m;
    const Vector3 p = *hitPoint;
    const Vector3 local = {p.x * m[0] + p.y * m[1] + p.z * m[2], p.x * m[4] + p.y * m[5] + p.z * m[6],
                           p.x * m[8] + p.y * m[9] + p.z * m[10]};
    Weapon* nearest = nullptr;
    float best = sim->radius / 5.0f;
    for (Weapon* w = sim->weapons; w; w = w->next) {
        if (w->flags & kWeaponDisabled)
            continue;
        const Vector3& at = w->mountPosition;
        const float distance = VecFastLength({at.x - local.x, at.y - local.y, at.z - local.z});
        if (distance < best) {
            best = distance;
            nearest = w;
        }
    }
    if (!nearest)
        return false;
    nearest->flags |= kWeaponDisabled;
    ship.Set(kCapWeapons);
    return true;
}

bool DamageRandomWeapon(Ship& ship, int32_t amount)
{
    const int count = WeaponCount(ship.item);
    if (count == 0)
        return ship.Set(kCapWeapons);
    Weapon* w = NthMount(ship.item, CRand() % count);
    w->damageCounter += amount * 2;
    if (w->damageCounter >= 100)
        w->flags = (w->flags & ~uint32_t{kWeaponReady}) | kWeaponDisabled;
    int disabled = 0;
    for (const Weapon* m = ship.item->sim->weapons; m; m = m->next)
        if (m->flags & kWeaponDisabled)
            ++disabled;
    return disabled >= static_cast<int>(0.7f * static_cast<float>(count)) && ship.Set(kCapWeapons);
}

bool DamageHardPoints(Ship& ship, int32_t amount)
{
    bool newly = false;
    HardPoint* hp = ship.info->hardPoints;
    if (CRand() % 2 == 0 && hp[0].condition != 0) {
        hp[0].condition = LosePercent(hp[0].condition, amount);
        if (hp[0].condition <= 14)
            newly |= ship.Set(kCapHardPoint0);
    }
    if (hp[1].condition != 0) {
        hp[1].condition = LosePercent(hp[1].condition, amount);
        if (hp[1].condition < 15)
            newly |= ship.Set(kCapHardPoint1);
    }
    return newly;
}

bool DamageLdsDrive(Ship& ship, int32_t amount)
{
    FlightModel& f = ship.info->flightModel;
    f.ldsTopSpeed = LosePercent(f.ldsTopSpeed, amount);
    if (f.ldsTopSpeed >= kLdsDamagedSpeed || ship.Has(kCapLdsDrive))
        return false;
    ship.Set(kCapLdsDrive);
    if (ship.item->sim->flags & kSimLdsEngaged)
        ship.Cripple();
    return true;
}

bool DamageCapsuleDrive(Ship& ship, int32_t amount)
{
    float& rating = CapsuleRating(ship.info->flightModel);
    rating = LosePercent(rating, amount);
    return rating < 25.0f && ship.Set(kCapCapsuleDrive);
}

bool AddCrewCasualty(Ship& ship)
{
    const bool newly = ship.Set(kCapCrew);
    ship.Cripple();
    SpawnCorpse(ship.item);
    return newly;
}

bool MarkStructuralDamage(Ship& ship)
{
    ship.Set(kCapStructure);
    return true;
}

// Half the maximum more damage, never past the maximum.
bool AddStructuralDamage(Ship& ship)
{
    DamageBlock& d = ship.info->damage;
    d.hullDamage = static_cast<int32_t>(std::min<int64_t>(d.maximumHull, int64_t{d.hullDamage} + d.maximumHull / 2));
    return true;
}

// ---- Repairs ------------------------------------------------------------------

void RepairTurnThrusters(Ship& ship)
{
    FlightModel& f = ship.info->flightModel;
    const FlightModel& base = ship.info->baseFlightModel;
    f.rollRate = base.rollRate;
    f.pitchRate = base.pitchRate;
    f.yawRate = base.yawRate;
    ship.Clear(kCapTurnThrusters);
}

void RepairMainThrust(Ship& ship)
{
    ship.info->flightModel.acceleration = ship.info->baseFlightModel.acceleration;
    ship.info->flightModel.secondThrust = ship.info->baseFlightModel.secondThrust;
    ship.Clear(kCapMainThrust);
}

void RepairOneWeapon(Ship& ship)
{
    Weapon* w = ship.item->sim->weapons;
    while (w && !(w->flags & kWeaponDisabled))
        w = w->next;
    if (w)
        w->flags &= ~uint32_t{kWeaponDisabled | kWeaponReady};
    for (w = ship.item->sim->weapons; w; w = w->next)
        if (w->flags & kWeaponDisabled)
            return;
    ship.Clear(kCapWeapons);
}

void RepairHardPoints(Ship& ship)
{
    for (HardPoint& hp : ship.info->hardPoints)
        if (hp.condition < 30)
            hp.condition = 40;
    ship.Clear(kCapHardPoint0 | kCapHardPoint1);
}

void RepairCapability(Ship& ship, uint16_t bit)
{
    switch (bit) {
    case kCapTurnThrusters: RepairTurnThrusters(ship); break;
    case kCapMainThrust: RepairMainThrust(ship); break;
    case kCapWeapons: RepairOneWeapon(ship); break;
    case kCapHardPoint0 | kCapHardPoint1: RepairHardPoints(ship); break;
    case kCapLdsDrive:
        ship.info->flightModel.ldsTopSpeed = ship.info->baseFlightModel.ldsTopSpeed;
        ship.Clear(kCapLdsDrive);
        break;
    case kCapCapsuleDrive:
        CapsuleRating(ship.info->flightModel) = CapsuleRating(ship.info->baseFlightModel);
        ship.Clear(kCapCapsuleDrive);
        break;
    default: break;
    }
}

// Above a quarter damaged, the hull mends by a twentieth of the distance
// from its damage to 200 %.
void RepairHullStep(DamageBlock& d)
{
    const int32_t percent = static_cast<int32_t>(int64_t{d.hullDamage} * 100 / d.maximumHull);
    if (percent <= 24)
        return;
    const auto p = static_cast<float>(percent);
    const auto next = static_cast<int32_t>(p - (200.0f - p) * 0.05f);
    d.hullDamage = static_cast<int32_t>(static_cast<float>(next) * 0.01f * static_cast<float>(d.maximumHull));
}

void PostRepair(Ship& ship, int32_t delay)
{
    PostItemMessage(ship.item->receiver, ship.item->receiver, delay, kMsgRepair, 0, nullptr);
    ship.info->flags |= kShipRepairPending;
}

// Starts the repair chain unless a repair message is on its way.
void ScheduleRepair(Ship& ship)
{
    if (!(ship.info->flags & kShipRepairPending))
        PostRepair(ship, 700 - 2 * ship.info->skill);
}

// The mark of a hit that newly damaged something.
void MarkHit(Ship& ship, const Vector3* hitPoint, int32_t kind, int32_t ignored)
{
    const DamageBlock& d = ship.info->damage;
    // Reckoned wide and held to the size's int16 range: a hull far outside
    // its usual range (healed far below intact) makes a rupture at the end
    // of that range, never a wrapped one.
    const int64_t scale = int64_t{d.hullDamage} * 2600 / d.maximumHull + 400;
    const auto size = static_cast<int16_t>(std::clamp<int64_t>((CRand() % 20 + 80) * scale / 100, INT16_MIN, INT16_MAX));
    AddHullRupture(ship.item, kind, ignored, hitPoint, size);
    AddThermalExplosion(ship.item, hitPoint);
    ScheduleRepair(ship);
}

// The hit's own effects, as the weapon that hit set them. True when one of
// them newly damaged a capability.
bool RunHitEffects(Ship& ship, int32_t amount, const Vector3* hitPoint)
{
    Avatar* avatar = ship.item->avatar;
    const uint32_t word = avatar ? avatar->pendingHitEffects : 0;
    if (avatar)
        avatar->pendingHitEffects = 0;
    if (!(word & kHitEffectsPresent))
        return false;
    const uint32_t effects = (word >> kHitEffectShift) & 0x1FF;
    // The size of the effects: an int16, at least 1 (and never wrapped).
    const auto size = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{amount} * 1250 / ship.info->damage.maximumHull, 1, 32767));
    const int32_t effect = CRand() % size;
    // The nine effects in the order of their bits, from 0x001.
    using Effect = bool (*)(Ship & ship, int32_t amount, const Vector3* hitPoint);
    static constexpr Effect kEffects[] = {
        [](Ship& s, int32_t, const Vector3* p) { return DisableWeaponNearHit(s, p); },
        [](Ship& s, int32_t n, const Vector3*) { return DamageHardPoints(s, n); },
        [](Ship& s, int32_t n, const Vector3*) { return DamageTurnThrusters(s, n); },
        [](Ship& s, int32_t n, const Vector3*) { return DamageMainThrust(s, n); },
        [](Ship& s, int32_t n, const Vector3*) { return DamageLdsDrive(s, n); },
        [](Ship& s, int32_t n, const Vector3*) { return DamageCapsuleDrive(s, n); },
        [](Ship& s, int32_t, const Vector3*) { return AddCrewCasualty(s); },
        [](Ship& s, int32_t, const Vector3*) { return MarkStructuralDamage(s); },
        [](Ship& s, int32_t, const Vector3*) { return AddStructuralDamage(s); },
    };
    bool marked = false;
    for (uint32_t bit = 0; bit < std::size(kEffects); ++bit)
        if (effects & (1u << bit))
            marked |= kEffects[bit](ship, effect, hitPoint);
    return marked;
}

// Random damage to the player's systems: the repair teams drop what they
// were doing, and each pass knocks a random system down.
void DamagePlayerSystems(Ship& ship, int32_t passes, int32_t limit)
{
    ReleaseRepairTeams();
    int16_t& level = ship.info->damage.level;
    passes *= std::clamp<int32_t>(level, 1, 4);
    for (int32_t pass = 0; pass < passes; ++pass) {
        if (level < 7 && CRand() % 3 == 0)
            ++level;
        const int32_t size = CRand() % limit;
        int index = CRand() % ship.item->sim->systemCount;
        ShipSystem* s = ship.item->sim->systems;
        while (s && index-- > 0)
            s = s->next;
        if (!s || std::strcmp(s->names[0], "HULL STRUCT") == 0)
            continue;
        const float before = s->health;
        s->health = std::max(0.0f, before - static_cast<float>(size) / 100.0f);
        if (s->health < kSystemDamaged)
            ship.bits() |= static_cast<uint16_t>(s->damageBit);
        NotifySystemHealth(before, s->health, s);
    }
}

// Random damage to another ship's capabilities. True when it made the mark.
bool DamageShipRandomly(Ship& ship, int32_t passes, int32_t limit, const Vector3* hitPoint)
{
    if (ship.item == gControlledItem)
        gControlledHitCounter = 31;
    int16_t& level = ship.info->damage.level;
    bool marked = false;
    for (int32_t pass = 0; pass < passes; ++pass) {
        if (level < 5 && CRand() % 2 == 0)
            level = static_cast<int16_t>(std::min(5, level + 1 + CRand() % 2));
        const int32_t size = CRand() % limit;
        // The level says how deep the damage reaches: weapons first, the
        // capsule drive last.
        // clang-format off
        static constexpr bool (*kReach[])(Ship&, int32_t) = {
            DamageRandomWeapon, DamageHardPoints, DamageTurnThrusters,
            DamageMainThrust,   DamageLdsDrive,   DamageCapsuleDrive,
        };
        // clang-format on
        const int32_t reach = CRand() % (std::max<int32_t>(level, 0) + 1);
        const bool newly = kReach[std::min<int32_t>(reach, std::size(kReach) - 1)](ship, size);
        if (newly && !marked) {
            MarkHit(ship, hitPoint, 12, 4);
            marked = true;
        }
    }
    return marked;
}

ShipInfo* PlayerShipInfo()
{
    return gPlayerItem && gPlayerItem->sim ? gPlayerItem->sim->shipInfo : nullptr;
}

} // namespace

int32_t ApplyHullDamage(SceneItem* item, DamageBlock* block, int32_t amount, const Vector3* hitPoint)
{
    if (amount == 0 || !item || !item->sim || !item->sim->shipInfo || (item->sim->flags & kSimNoDamage))
        return 0;
    Ship ship{item, item->sim->shipInfo};
    DamageBlock& d = block ? *block : ship.info->damage;
    const Vector3 centre{0.0f, 0.0f, 0.0f};
    if (!hitPoint)
        hitPoint = &centre;

    if (item == gPlayerItem) {
        // The shake's ticks, held to its int16 range as the script's are.
        gScreenShake[0] = gScreenShake[1] = static_cast<int16_t>(std::clamp<int64_t>(int64_t{amount} + 25, -32767, 32767));
        gLastHitAmount = amount;
    } else if (item == gControlledItem) {
        gControlledHitCounter = 15;
    }
    // A ship without hull points has none to lose.
    if (d.maximumHull <= 0) {
        d.hullDamage = d.maximumHull;
        return -1;
    }

    // The hull of the ship with the systems model is its HULL STRUCT system,
    // which the HULL ARMOUR system halves the blows to. The damage after the
    // blow is reckoned wide: a blow past the int32 range still destroys the
    // ship rather than wrapping round to spare it.
    ShipSystem* structure = IsSystemsShip(item) ? FindShipSystem("HULL STRUCT") : nullptr;
    int64_t damaged = 0;
    if (structure) {
        const float fraction = static_cast<float>(amount) / static_cast<float>(d.maximumHull);
        const ShipSystem* armour = FindShipSystem("HULL ARMOUR");
        structure->health -= armour && armour->health != 0.0f ? fraction / 2.0f : fraction;
        damaged = WideHullPoints((1.0f - structure->health) * static_cast<float>(d.maximumHull));
    } else {
        damaged = int64_t{d.hullDamage} + amount;
    }
    if (damaged > d.maximumHull) {
        d.hullDamage = d.maximumHull;
        return -1;
    }
    d.hullDamage = static_cast<int32_t>(std::max<int64_t>(damaged, INT32_MIN));

    bool exploded = false;
    if (RunHitEffects(ship, amount, hitPoint)) {
        MarkHit(ship, hitPoint, 0, 0);
        exploded = true;
    }

    // The gate: the harder the hit against what the hull has left, the
    // likelier it reaches the capabilities.
    const auto d36 = static_cast<int32_t>(std::max<int64_t>(1, (int64_t{d.maximumHull} - d.hullDamage / 2) / 36));
    const int32_t hit = std::max(1, amount);
    const int32_t r1 = CRand() % hit;
    const int32_t r2 = CRand() % d36;
    const bool random = r2 < r1;
    if (random) {
        const auto limit = static_cast<int32_t>(std::min<int64_t>(int64_t{hit} * 48 / d36 + 1, INT32_MAX));
        const int32_t passes = d36 < hit ? hit / d36 : 1;
        if (IsSystemsShip(item))
            DamagePlayerSystems(ship, passes, limit);
        else
            exploded |= DamageShipRandomly(ship, passes, limit, hitPoint);
    }
    if (!exploded)
        AddThermalExplosion(item, hitPoint);
    return random ? 1 : 0;
}

int32_t HalveDamageBySteps(int32_t value, int32_t step, int32_t damage)
{
    if (value < step)
        return damage;
    if (step <= 0)
        return 0;
    const int32_t halvings = value / step;
    return halvings >= 31 ? 0 : damage / (int32_t{1} << halvings);
}

void SetShipSystemDamage(SceneItem* item, int16_t type, float x)
{
    if (!item || !item->sim || !item->sim->shipInfo)
        return;
    Ship ship{item, item->sim->shipInfo};
    FlightModel& f = ship.info->flightModel;
    const bool degrade = x != 0.0f;
    const float keep = 1.0f - x;
    switch (type) {
    case 0:
        if (degrade) {
            ship.Set(kCapTurnThrusters);
            f.rollRate *= keep, f.pitchRate *= keep, f.yawRate *= keep;
        } else {
            RepairTurnThrusters(ship);
        }
        break;
    case 1:
        if (degrade) {
            ship.Set(kCapMainThrust);
            f.acceleration *= keep, f.secondThrust *= keep;
        } else {
            RepairMainThrust(ship);
        }
        break;
    case 2:
        ship.Clear(kCapWeapons);
        if (degrade)
            ship.Set(kCapWeapons);
        for (Weapon* w = item->sim->weapons; w; w = w->next) {
            if (!degrade)
                w->flags = (w->flags & ~uint32_t{kWeaponDisabled}) | kWeaponReady;
            else if (Chance(x))
                w->flags = (w->flags & ~uint32_t{kWeaponReady}) | kWeaponDisabled;
        }
        break;
    case 3:
        if (degrade) {
            ship.Set(kCapHardPoint0 | kCapHardPoint1);
            for (HardPoint& hp : ship.info->hardPoints)
                if (hp.condition != 0)
                    hp.condition = static_cast<int8_t>(static_cast<float>(hp.condition) * keep);
        } else {
            ship.Clear(kCapHardPoint0 | kCapHardPoint1);
            ship.info->hardPoints[0].condition = ship.info->hardPoints[1].condition = 90;
        }
        break;
    case 4:
        if (degrade) {
            ship.Set(kCapLdsDrive);
            f.ldsTopSpeed = Chance(x) ? 0.0f : f.ldsTopSpeed * keep;
        } else {
            ship.Clear(kCapLdsDrive);
        }
        break;
    case 5:
        if (!degrade) {
            ship.Clear(kCapCapsuleDrive);
        } else if (Chance(x)) {
            ship.Set(kCapCapsuleDrive);
            CapsuleRating(f) = 0.0f;
        }
        break;
    case 6:
    case 7:
    case 8: {
        static constexpr uint16_t kBits[] = {kCapCrew, kCapStructure, kCapDockPorts};
        const uint16_t bit = kBits[type - 6];
        if (!degrade)
            ship.Clear(bit);
        else if (Chance(x))
            ship.Set(bit);
        break;
    }
    default: break;
    }
}

void RunRepairTick(SceneItem* item)
{
    if (!item || item == gPlayerItem || !item->sim || !item->sim->shipInfo)
        return;
    Ship ship{item, item->sim->shipInfo};
    DamageBlock& d = ship.info->damage;
    if (d.maximumHull <= 0)
        return;
    int32_t p = CRand() % 2;
    if (d.hullDamage * 100LL > d.maximumHull) {
        const auto percent = static_cast<int32_t>(int64_t{d.hullDamage} * 100 / d.maximumHull);
        d.hullDamage = static_cast<int32_t>(int64_t{percent - 1} * d.maximumHull / 100);
    }
    bool repaired = false;
    for (uint16_t bit : kRepairWalk) {
        if (!ship.Has(bit))
            continue;
        if (--p < 0) {
            RepairCapability(ship, bit);
            repaired = true;
            break;
        }
    }
    if (!repaired) {
        if (ship.Has(kCapCrew) && p - 1 < 0) {
            if (!ship.Has(kCapTurnThrusters | kCapMainThrust))
                ship.Uncripple();
        } else {
            RepairHullStep(d);
        }
    }
    if (!ship.Has(kCapTurnThrusters | kCapMainThrust | kCapCrew))
        ship.Uncripple();
    const float left = static_cast<float>(d.hullDamage) / static_cast<float>(d.maximumHull);
    if (ship.Has(kCapKeepRepairing) || left > 0.02f)
        PostRepair(ship, static_cast<int32_t>((left + 1.0f) * 600.0f - 2.0f * ship.info->skill));
    else
        ship.info->flags &= ~uint32_t{kShipRepairPending};
    item->sim->hull = 100 - static_cast<int32_t>(int64_t{d.hullDamage} * 100 / d.maximumHull);
}

void NotifySystemHealth(float before, float after, ShipSystem* system)
{
    if (before > kSystemDamaged && after == 0.0f) {
        SoundPlay(kSoundSystemLost, kSystemLostVolume, 0, 0, 0);
        return;
    }
    if (before < 1.0f && after == 1.0f) {
        SoundPlay(kSoundSystemRepaired, 0, 0, 0, 0);
        const SceneItem* ship = gShipSystems.systemsShip;
        if (ShipInfo* info = CarriesShipSystems(ship) ? ship->sim->shipInfo : nullptr; info && system)
            info->damage.capabilities = static_cast<int16_t>(
                static_cast<uint16_t>(info->damage.capabilities) & ~system->damageBit);
    }
}

void ShipSystemKill(SceneItem* item, float type, float percent)
{
    if (!item || !item->sim || !item->sim->shipInfo)
        return;
    float fraction = percent / 100.0f;
    if (percent == 0.0f)
        fraction = 1.0f;
    else if (percent < 0.0f)
        fraction = 0.0f;
    if (type >= 0.0f) {
        SetShipSystemDamage(item, static_cast<int16_t>(type), fraction);
        return;
    }
    DamageBlock& d = item->sim->shipInfo->damage;
    d.hullDamage = static_cast<int32_t>(static_cast<float>(d.maximumHull) * fraction);
    item->sim->hull = static_cast<int32_t>(100.0f - 100.0f * fraction);
}

void DamagePlayerSystem(const char* name, float percent, int32_t keyword)
{
    ShipSystem* system = FindShipSystem(name);
    if (!system)
        return;
    if (ShipInfo* info = PlayerShipInfo(); info && percent < 50.0f)
        info->damage.capabilities = static_cast<int16_t>(
            static_cast<uint16_t>(info->damage.capabilities) | system->damageBit);
    system->health = std::min(system->health, percent / 100.0f);
    if (keyword == 0)
        system->noRepair = 0;
    else if (keyword == 1)
        system->noRepair = 255;
}
