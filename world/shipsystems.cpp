// The player's ship-systems model. See shipsystems.h.
//
// The static table holds two DUMMY records and the 35 systems. The second
// DUMMY is the supply: its output is the average of the six power grids,
// recomputed every frame. Rules "relax toward X at rate k": level += (X -
// level) x k x dt, with dt the frame time in seconds.
#include "world/shipsystems.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "screens/bridge.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "system/sound.h"
#include "ui/shiplog.h"
#include "world/damage.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/pools.h"

ShipSystemsModel gShipSystems;

namespace {

// Table rows, in registration order after the two DUMMY records.
enum SystemIndex : int8_t {
    kNone = -1,
    kDummy = 0,
    kSupply,
    kHullArmour,
    kAftPbc,
    kFwdPbc,
    kPortMag,
    kStbdMag,
    kUpperLda,
    kLowerLda,
    kYawThrs,
    kPitchThrs,
    kRollThrs,
    kTransThrs,
    kDockPorts,
    kPlasmaGrid,
    kMainThrs,
    kLdsDrive,
    kWHeatArray,
    kCoolantSys,
    kCoolantTank,
    kCapsuleDrv,
    kPowerGrid0,
    kPowerGrid5 = kPowerGrid0 + 5,
    kAccumulators,
    kEmergAcc,
    kReactor,
    kRing,
    kTarget,
    kInjector,
    kFuelTanks,
    kAmInjector,
    kAmSupply,
    kHullStruct,
    kTableSize,
};
static_assert(kTableSize == 2 + kShipSystemCount);

ShipSystem gTable[kTableSize];
char gMessage[128]; // the one text buffer of the warnings

constexpr float kCold = 273.0f;
constexpr float kSupplyThreshold = 0.15f;
constexpr float kEmergencyOutput = 0.499f;
constexpr float kPbcOverheat = 12500.0f;
constexpr float kMeltdown = 15000.0f;
constexpr int32_t kMessageTime = 200;
constexpr int32_t kRecorderPeriod = 20;
constexpr int16_t kShipLogCoolant = 3;
constexpr int32_t kSoundCritical = 16;

float Dt()
{
    return gFrameClock.frameSeconds;
}

float Out(int index)
{
    return gTable[index].output;
}

float Supply()
{
    return gTable[kSupply].output;
}

const char* Name(const ShipSystem* s)
{
    const uint16_t language = gSettings.language < 3 ? gSettings.language : 0;
    return s->names[language];
}

void Relax(ShipSystem* s, float toward, float rate)
{
    s->level += (toward - s->level) * rate * Dt();
}

void Decay(ShipSystem* s, float rate)
{
    s->level -= s->level * rate * Dt();
}

// Output of a thruster or weapon that the emergency accumulators hold up.
float EmergencyFloor(float output)
{
    return output < kEmergencyOutput && Out(kEmergAcc) > 0.0f ? kEmergencyOutput : output;
}

// Temperatures crossed upward from old to new: the highest crossing is the
// one left in the buffer and shown.
void TemperatureWarnings(const ShipSystem* s, float before, float after)
{
    static constexpr struct {
        float threshold;
        const char* format;
    } kWarnings[] = {
        {2000.0f, "ENG: %s TEMP WARNING %dK"},
        {5000.0f, "ENG: %s TEMP URGENT WARNING %dK"},
        {10000.0f, "ENG: %s TEMP CRITICAL WARNING %dK"},
    };
    bool crossed = false;
    for (const auto& warning : kWarnings) {
        if (before < warning.threshold && after >= warning.threshold) {
            const int kelvin = static_cast<int>(std::min(after, 2.0e9f)); // a runaway stays printable
            std::snprintf(gMessage, sizeof gMessage, warning.format, Name(s), kelvin);
            crossed = true;
            if (warning.threshold == 10000.0f)
                SoundPlay(kSoundCritical, 0, 0, 0, 0);
        }
    }
    if (crossed)
        guiDisplayMessage(gMessage, kMessageTime);
}

// Heating of a weapon system by its shots since the last frame, then its
// cooling. A frame of no time, or a slider at 0 (no heat base), heats
// nothing; the shots then wait for the next frame.
void HeatByShots(ShipSystem* s, float heatBase)
{
    const float dt = Dt();
    if (s->shots > 0 && dt > 0.0f && heatBase > 0.0f) {
        s->temperature *= static_cast<float>(s->shots) / dt / heatBase + 1.0f;
    }
    if (dt > 0.0f)
        s->shots = 0;
    s->temperature += (kCold - s->temperature) * 0.9f * dt;
}

// ---- Update rules ---------------------------------------------------------

void ReactorRule(ShipSystem* s, SceneItem*)
{
    if (Supply() >= kSupplyThreshold)
        s->level += (Out(kRing) - s->output) * 0.05f * Dt();
    else
        s->level -= s->output * 0.05f * Dt();
    s->output = Out(kTarget) > 0.0f ? s->level * s->health : 0.0f;
    s->temperature = gTable[kCoolantSys].temperature;
}

void RingRule(ShipSystem* s, SceneItem*)
{
    if (s->switchedOn && Supply() > kSupplyThreshold)
        Relax(s, Out(kInjector) + 1.8f * Out(kAmInjector), 0.2f);
    else
        Decay(s, 0.1f);
    s->output = s->level * s->health;
}

void PlasmaGridRule(ShipSystem* s, SceneItem*)
{
    s->level = Out(kReactor);
    s->output = s->level * s->health;
}

void PowerGridRule(ShipSystem* s, SceneItem*)
{
    if (!s->switchedOn) {
        s->level = 0.0f; // the output keeps its value
        return;
    }
    Relax(s, Out(kReactor), 0.2f);
    s->output = std::max(s->level * s->health, Out(kAccumulators));
}

void AlwaysOnRule(ShipSystem* s, SceneItem*)
{
    s->output = 1.0f;
}

void AccumulatorsRule(ShipSystem* s, SceneItem*)
{
    s->level = 1.0f;
    s->output = s->health;
}

void EmergencyRule(ShipSystem* s, SceneItem*)
{
    gShipSystems.emergencyPower = 0;
    auto pbcUp = [](int i) { return gTable[i].temperature > kPbcOverheat || Out(i) > kEmergencyOutput; };
    bool fed = pbcUp(kFwdPbc) && pbcUp(kAftPbc);
    for (int i : {kYawThrs, kPitchThrs, kRollThrs, kTransThrs, kMainThrs})
        fed = fed && Out(i) > kEmergencyOutput;
    if (fed) {
        const float m = Out(kReactor) - 0.5f;
        if (m > 0.0f)
            s->level += (1.0f - s->level) * m * 0.2f * Dt();
        else
            s->level += s->level * m * 0.01f * Dt();
    } else {
        s->level = std::max(0.0f, s->level - Dt() / 30.0f);
        gShipSystems.emergencyPower = 255;
    }
    s->output = s->level;
}

void CoolantRule(ShipSystem* s, SceneItem* ship)
{
    if (s->switchedOn)
        Relax(s, 1.0f, 0.1f);
    else
        Decay(s, 0.1f);
    s->output = s->level * s->health;
    const float before = s->temperature;
    float t = before;
    t += (kCold - t) * (s->output / 3.0f) * Out(kWHeatArray) * Dt();
    t = (Out(kReactor) / 8.0f * Dt() + 1.0f) * t;
    s->temperature = t;
    TemperatureWarnings(s, before, t);
    if (t <= kMeltdown || !ship)
        return;
    // The log notes the meltdown once, when it begins; the ship takes the
    // hit every frame while it lasts.
    if (before <= kMeltdown) {
        const ShipInfo* info = ship->sim ? ship->sim->shipInfo : nullptr;
        AddShipLogEntry(kShipLogCoolant, info ? info->name : nullptr, nullptr);
    }
    HitPayload hit{};
    hit.attacker = ItemHandle(ship);
    PostItemMessage(ship->receiver, ship->receiver, 0, kMsgHit, hit);
}

void HeatArrayRule(ShipSystem* s, SceneItem*)
{
    s->output = s->health;
    s->temperature = gTable[kCoolantSys].temperature;
}

void InjectorRule(ShipSystem* s, SceneItem*)
{
    if (s->switchedOn && Out(kFuelTanks) > 0.0f && Supply() > kSupplyThreshold)
        Relax(s, 1.0f, 0.2f);
    else
        Decay(s, 0.1f);
    s->output = s->level * s->health;
}

void AmInjectorRule(ShipSystem* s, SceneItem*)
{
    if (s->switchedOn && Out(kAmSupply) > 0.0f)
        Relax(s, 1.0f, 0.2f);
    else
        Decay(s, 0.05f);
    s->output = s->level * s->health;
}

// The output is the antimatter left; a broken supply (health 0) loses it.
void AmSupplyRule(ShipSystem* s, SceneItem*)
{
    if (s->output > 0.0f && s->health > 0.0f)
        s->output = std::max(0.0f, s->output - Out(kAmInjector) * 5.0f / s->health * Dt());
    else
        s->output = 0.0f;
}

void PbcRule(ShipSystem* s, SceneItem*)
{
    const float slider = gShipSystems.pbcSlider;
    HeatByShots(s, 25.0f * slider / 100.0f);
    if (s->temperature >= kPbcOverheat) {
        std::snprintf(gMessage, sizeof gMessage, "ENG: %s OVERHEAT", Name(s));
        guiDisplayMessage(gMessage, kMessageTime);
    }
    if (s->temperature > kPbcOverheat) {
        s->temperature = std::min(s->temperature, 20000.0f);
        s->output *= std::max(0.0f, 20000.0f - s->temperature) / 10000.0f + 0.25f;
        return;
    }
    const float power = EmergencyFloor(Supply() != 0.0f ? Out(kRing) : 0.0f);
    s->output = slider / 100.0f * power * s->health;
}

void LdaRule(ShipSystem* s, SceneItem* ship)
{
    const float slider = gShipSystems.ldaSlider;
    float h = s->health;
    if (h > 0.0f && h < 0.75f)
        h = 0.75f;
    s->output = Supply() != 0.0f ? h : 0.0f;
    HeatByShots(s, 17.5f * slider / 100.0f);
    s->output *= std::max(0.0f, 20273.0f - s->temperature) * 0.75f / 20000.0f + 0.25f;
    s->output = EmergencyFloor(s->output);
    ShipInfo* info = ship && ship->sim ? ship->sim->shipInfo : nullptr;
    if (info) {
        const int slot = s == &gTable[kUpperLda] ? 0 : 1;
        const float limit = std::min(slider * 90.0f / 100.0f, 100.0f);
        info->hardPoints[slot].condition = static_cast<int8_t>(s->output * limit);
    }
}

void ThrusterRule(ShipSystem* s, SceneItem*)
{
    s->output = EmergencyFloor(gShipSystems.thrusterSlider / 100.0f * Out(kPlasmaGrid) * s->health);
}

void WorkingRule(ShipSystem* s, SceneItem*)
{
    s->output = s->health >= 0.1f ? 1.0f : 0.0f;
}

void SuppliedRule(ShipSystem* s, SceneItem*)
{
    s->output = Supply() != 0.0f && s->health >= 0.1f ? 1.0f : 0.0f;
}

void LdsDriveRule(ShipSystem* s, SceneItem*)
{
    s->output = Supply() * s->health;
}

void HullStructRule(ShipSystem* s, SceneItem* ship)
{
    if (ship && ship->sim)
        ship->sim->hull = static_cast<int32_t>(s->health * 100.0f);
}

// ---- The table ------------------------------------------------------------

struct SystemRow {
    const char* names[3];
    int16_t group;
    int16_t repairClass;
    int16_t priority;
    float level;
    int16_t repairTime;
    uint32_t damageBit;
    SystemIndex links[kSystemLinks];
    ShipSystemRule rule;
};

constexpr SystemIndex kPbcLinks[] = {kSupply, kRing, kEmergAcc, kNone};
constexpr SystemIndex kLdaLinks[] = {kSupply, kEmergAcc, kNone, kNone};
constexpr SystemIndex kThrusterLinks[] = {kSupply, kPlasmaGrid, kEmergAcc, kNone};
constexpr SystemIndex kGridLinks[] = {kReactor, kAccumulators, kEmergAcc, kNone};

// clang-format off
#define LINKS(a) {a[0], a[1], a[2], a[3]}
#define GRID(n, french)                                                                         \
    {{"POWER GRID " #n, french, "NETZWERK " #n}, 5, 2, n, 1.0f, 10, 0, LINKS(kGridLinks),      \
     PowerGridRule}

// Rows 1 to 35; names English, French, German in code page 1252.
const SystemRow kRows[kShipSystemCount] = {
    {{"HULL ARMOUR", "CUIRASSE", "HULL ARMOUR"}, 0, 5, 1, 1.0f, 60, 0, {kNone, kNone, kNone, kNone}, nullptr},
    {{"AFT PBC", "CP ARR", "HINT TSK"}, 0, 4, 1, 1.0f, 10, 0, LINKS(kPbcLinks), PbcRule},
    {{"FWD PBC", "CP AVT", "VORD TSK"}, 0, 4, 0, 1.0f, 10, 0, LINKS(kPbcLinks), PbcRule},
    {{"PORT MAG", "MAG BAB", "MAG LINKS"}, 0, 4, 2, 1.0f, 10, 0x4, {kSupply, kNone, kNone, kNone}, SuppliedRule},
    {{"STBD MAG", "MAG TRIB", "MAG RECHTS"}, 0, 4, 3, 1.0f, 10, 0x4, {kSupply, kNone, kNone, kNone}, WorkingRule},
    {{"UPPER LDA", "LDA SUP", "OBERES LDA"}, 1, 4, 4, 1.0f, 10, 0x8, LINKS(kLdaLinks), LdaRule},
    {{"LOWER LDA", "LDA INF", "UNTERES LDA"}, 1, 4, 5, 1.0f, 10, 0x10, LINKS(kLdaLinks), LdaRule},
    {{"YAW THRS", "PROP LACET", "GIER ANTR"}, 2, 3, 4, 1.0f, 10, 0x1, LINKS(kThrusterLinks), WorkingRule},
    {{"PITCH THRS", "PROP TANGAGE", "NICK ANTR"}, 2, 3, 5, 1.0f, 10, 0x1, LINKS(kThrusterLinks), ThrusterRule},
    {{"ROLL THRS", "PROP ROULIS", "ROLL ANTR"}, 2, 3, 6, 1.0f, 10, 0x1, LINKS(kThrusterLinks), ThrusterRule},
    {{"TRANS THRS", "PROP TRANSFERT", "\xDC" "BERS ANTR"}, 2, 3, 7, 1.0f, 10, 0x1, LINKS(kThrusterLinks), ThrusterRule},
    {{"DOCK PORTS", "PORTS AMARRAGE", "ANDOCK LUKEN"}, 3, 5, 2, 1.0f, 10, 0x400, {kSupply, kNone, kNone, kNone}, SuppliedRule},
    {{"PLASMA GRID", "GRILLE PLASMA", "PLASMA LEITUNGEN"}, 3, 3, 0, 1.0f, 10, 0, {kSupply, kReactor, kEmergAcc, kNone}, PlasmaGridRule},
    {{"MAIN THRS", "PROP PRINCIPAL", "HAUPT ANTR"}, 3, 3, 1, 1.0f, 10, 0x2, LINKS(kThrusterLinks), ThrusterRule},
    {{"LDS DRIVE", "PIL LDS", "LDS ANTRIEB"}, 4, 3, 2, 1.0f, 10, 0x20, {kSupply, kNone, kNone, kNone}, LdsDriveRule},
    {{"W HEAT ARRAY", "DISPOSITIF DISSIPATION CHALEUR", "W\xC4" "RMEABFUHR SYS"}, 4, 1, 7, 1.0f, 10, 0, {kSupply, kNone, kNone, kNone}, HeatArrayRule},
    {{"COOLANT SYS", "SYS REFROIDISSEMENT", "K\xDC" "HL SYS"}, 5, 1, 8, 1.0f, 10, 0, {kSupply, kCoolantTank, kWHeatArray, kReactor}, CoolantRule},
    {{"COOLANT TANK", "RESERVOIR REFROIDISSEMENT", "K\xDC" "HLMITTEL TANK"}, 5, 1, 9, 4000.0f, 10, 0, {kSupply, kNone, kNone, kNone}, nullptr},
    {{"CAPSULE DRV", "PIL CAPSULE", "HYPER ANTR"}, 5, 3, 3, 1.0f, 10, 0x40, {kSupply, kNone, kNone, kNone}, SuppliedRule},
    GRID(0, "GRILLE ENERGIE 0"),
    GRID(1, "GRILLE ENERGIE 1"),
    GRID(2, "GRILLE ENERGIE 2"),
    GRID(3, "GRILLE ENERGIE 3"),
    GRID(4, "GRILLE ENERGIE"),
    GRID(5, "GRILLE ENERGIE"),
    {{"ACCUMULATORS", "ACCUMULATEURS", "AKKUS"}, 5, 2, 6, 0.2f, 10, 0, {kReactor, kNone, kNone, kNone}, AccumulatorsRule},
    {{"EMERG ACC", "EMERG ACC", "SCHIFFSHULLEN SCHILD"}, 5, 2, 6, 1.0f, 10, 0x10, {kReactor, kNone, kNone, kNone}, EmergencyRule},
    {{"REACTOR", "REACTEUR", "REAKTOR"}, 6, 1, 3, 1.0f, 10, 0, {kSupply, kTarget, kRing, kCoolantSys}, ReactorRule},
    {{"RING", "ANNEAU", "RING"}, 6, 1, 2, 1.0f, 60, 0x200, {kSupply, kInjector, kAmInjector, kEmergAcc}, RingRule},
    {{"TARGET", "CIBLE", "ZIEL"}, 6, 1, 4, 1.0f, 10, 0, {kReactor, kNone, kNone, kNone}, AlwaysOnRule},
    {{"INJECTOR", "INJECTEUR", "INJEKTOR"}, 6, 1, 5, 1.0f, 10, 0, {kSupply, kFuelTanks, kRing, kNone}, InjectorRule},
    {{"FUEL TANKS", "RESERVOIRS CARBURANT", "TREIBSTOFF TANKS"}, 6, 1, 1, 1.0f, 10, 0, {kInjector, kNone, kNone, kNone}, AlwaysOnRule},
    {{"AM INJECTOR", "INJECTEUR AM", "AM INJEKTOR"}, 7, 1, 6, 0.0f, 10, 0, {kSupply, kAmSupply, kNone, kNone}, AmInjectorRule},
    {{"AM SUPPLY", "RESERVE AM", "AM VERSORGUNG"}, 7, 1, 0, 500.0f, 10, 0, {kAmInjector, kNone, kNone, kNone}, AmSupplyRule},
    // The German name carries the u-umlaut; the French keeps the English.
    {{"HULL STRUCT", "HULL STRUCT", "H\xFC" "LLENSTRUKTUR"}, 8, 5, 0, 1.0f, 575, 0, {kNone, kNone, kNone, kNone}, HullStructRule},
};
// clang-format on

#undef GRID
#undef LINKS

// Systems that start switched off.
bool StartsOff(int index)
{
    return index == kReactor || index == kCoolantTank || index == kAmInjector || index == kAmSupply;
}

// REACTOR, RING and TARGET are of kind 0, the others 1.
int32_t KindFlag(int index)
{
    return index == kReactor || index == kRing || index == kTarget ? 0 : 1;
}

void FillTable()
{
    for (ShipSystem& s : gTable)
        s = ShipSystem{};
    for (int i : {int{kDummy}, int{kSupply}}) {
        gTable[i].names[0] = gTable[i].names[1] = gTable[i].names[2] = "DUMMY";
        gTable[i].output = gTable[i].level = gTable[i].health = 1.0f;
    }
    for (int row = 0; row < kShipSystemCount; ++row) {
        const SystemRow& def = kRows[row];
        const int index = row + 2;
        ShipSystem& s = gTable[index];
        std::copy(std::begin(def.names), std::end(def.names), s.names);
        s.kindFlag = KindFlag(index);
        for (int l = 0; l < kSystemLinks; ++l)
            s.links[l] = def.links[l] == kNone ? nullptr : &gTable[def.links[l]];
        s.health = 1.0f;
        s.switchedOn = StartsOff(index) ? 0 : 255;
        s.update = def.rule;
        s.repairTime = def.repairTime;
        s.one = 1;
        s.damageBit = def.damageBit;
    }
}

// Registers one system on the holder's list and in the repair order.
void RegisterShipSystem(ShipSystem* s, const SystemRow& def)
{
    ShipSystemsModel& m = gShipSystems;
    if (m.holderSim.systemCount >= kMaxShipSystems)
        return;
    s->next = nullptr;
    s->group = def.group;
    s->repairClass = def.repairClass;
    s->priority = def.priority;
    s->output = s->level = def.level;
    s->temperature = kCold;
    s->repairStrength = 0;
    s->repairTeam = nullptr;
    s->noRepair = 0;
    s->recorder = AllocValueRecorder();
    if (s->recorder)
        InitValueRecorder(s->recorder, &s->output, 0.0f, def.level, kRecorderPeriod);
    ShipSystem** tail = &m.holderSim.systems;
    while (*tail)
        tail = &(*tail)->next;
    *tail = s;
    m.order[m.holderSim.systemCount++] = s;
}

ShipInfo* ShipOf(SceneItem* item)
{
    return item && item->sim ? item->sim->shipInfo : nullptr;
}

void SortRepairOrder()
{
    ShipSystemsModel& m = gShipSystems;
    auto key = [](const ShipSystem* s) { return s->repairClass * 100 + s->priority; };
    std::stable_sort(m.order, m.order + m.holderSim.systemCount,
                     [&](const ShipSystem* a, const ShipSystem* b) { return key(a) < key(b); });
}

RepairTeam* FreeRepairTeam()
{
    for (RepairTeam& team : gShipSystems.teams)
        if (!team.system)
            return &team;
    return nullptr;
}

void Assign(RepairTeam* team, ShipSystem* s)
{
    team->system = s;
    s->repairTeam = team;
}

void Release(RepairTeam& team)
{
    if (team.system && team.system->repairTeam == &team)
        team.system->repairTeam = nullptr;
    team.system = nullptr;
    gShipSystems.teamFixed[team.index] = 0;
}

void RunRepairTeams()
{
    ShipSystemsModel& m = gShipSystems;
    const int count = m.holderSim.systemCount;
    for (int i = 0; i < count; ++i) {
        ShipSystem* s = m.order[i];
        s->repairStrength = 0;
        if (s->health < 1.0f && !s->repairTeam && !s->noRepair)
            if (RepairTeam* team = FreeRepairTeam())
                Assign(team, s);
    }
    // Teams still free double up on what is left, in the same order.
    for (int i = 0; i < count; ++i) {
        ShipSystem* s = m.order[i];
        if (s->health < 1.0f && !s->noRepair)
            if (RepairTeam* team = FreeRepairTeam())
                Assign(team, s);
    }
    for (RepairTeam& team : m.teams) {
        ShipSystem* s = team.system;
        if (!s)
            continue;
        if (s->health >= 1.0f || s->noRepair) {
            Release(team);
            continue;
        }
        const float before = s->health;
        const float time = s->repairTime > 0 ? s->repairTime : 1.0f;
        s->health = std::min(1.0f, before + team.strength * Dt() / time);
        NotifySystemHealth(before, s->health, s);
        s->repairStrength = static_cast<int16_t>(s->repairStrength + team.strength);
    }
    // With no team on it, the estimate is what one team would take.
    for (int i = 0; i < count; ++i) {
        ShipSystem* s = m.order[i];
        const float teams = s->repairStrength > 0 ? s->repairStrength : 1.0f;
        s->estimatedRepairTime = static_cast<int16_t>((1.0f - s->health) * s->repairTime / teams);
    }
}

void SetDisplayColours()
{
    for (ShipSystem* s = gShipSystems.holderSim.systems; s; s = s->next) {
        if (!s->displayColour)
            continue;
        int16_t colour = 36;
        if (s->health <= 0.2f)
            colour = 54;
        else if (s->health <= 0.5f)
            colour = 64;
        else if (s->health < 1.0f)
            colour = 160;
        *s->displayColour = colour;
    }
}

void DriveFlightModel(SceneItem* ship)
{
    ShipInfo* info = ShipOf(ship);
    const FlightModel& c = gShipSystems.classModel;
    FlightModel* inUse = ship->sim->flightModel;
    if (!inUse && info)
        inUse = &info->flightModel;
    if (inUse) {
        FlightModel& f = *inUse;
        f.acceleration = c.acceleration * Out(kMainThrs);
        f.secondThrust = c.secondThrust * Out(kTransThrs);
        f.yawRate = c.yawRate * Out(kYawThrs);
        f.pitchRate = c.pitchRate * Out(kPitchThrs);
        f.rollRate = c.rollRate * Out(kRollThrs);
        CapsuleRating(f) = CapsuleRating(c) * Out(kCapsuleDrv);
    }
    float grids = 0.0f;
    for (int i = kPowerGrid0; i <= kPowerGrid5; ++i)
        grids += Out(i);
    gTable[kSupply].output = grids / 6.0f;
    if (!inUse)
        return;
    // The LDS top speed falls off geometrically with the drive's output,
    // down to 1e5 at no output. A class without an LDS drive keeps none.
    const float lds = Out(kLdsDrive);
    if (lds >= 1.0f || c.ldsTopSpeed <= 0.0f)
        inUse->ldsTopSpeed = c.ldsTopSpeed;
    else
        inUse->ldsTopSpeed =
            std::pow(10.0f, (std::log10(c.ldsTopSpeed) - 5.0f) * lds + 5.0f);
}

void DriveWeapons(SceneItem* ship)
{
    const ShipInfo* info = ShipOf(ship);
    if (!info || info->kind != 0)
        return;
    for (int index : {kFwdPbc, kAftPbc, kPortMag, kStbdMag}) {
        ShipSystem* s = &gTable[index];
        for (Weapon* w = ship->sim->weapons; w; w = w->next) {
            if (w->system != s || !(w->flags & kWeaponBeam) || (w->flags & kWeaponOwnPower))
                continue;
            w->charge = static_cast<int32_t>(s->output * 150.0f);
            w->power = s->output * 200000.0f;
            if (s->health >= 0.2f)
                w->flags = (w->flags | kWeaponReady) & ~uint32_t{kWeaponDisabled};
            else
                w->flags = (w->flags | kWeaponDisabled) & ~uint32_t{kWeaponReady};
        }
    }
}

} // namespace

void InitShipSystems()
{
    ShipSystemsModel& m = gShipSystems;
    m.holder = SceneItem{};
    m.holderSim = Sim{};
    m.holder.sim = &m.holderSim;
    m.systemsShip = nullptr;
    std::fill(std::begin(m.order), std::end(m.order), nullptr);
    std::fill(std::begin(m.savedOrder), std::end(m.savedOrder), nullptr);
    for (int16_t i = 0; i < kRepairTeams; ++i) {
        m.teams[i] = RepairTeam{i, 1, nullptr};
        m.teamFixed[i] = 0;
    }
    ResetValueRecorders();
    for (ShipSystem& s : m.saved)
        s = ShipSystem{};
    m.resort = 255;
    m.repairsEnabled = 255;
    m.ldaSlider = m.thrusterSlider = m.pbcSlider = 100.0f;
    m.emergencyPower = 0;
    FillTable();
    for (int row = 0; row < kShipSystemCount; ++row)
        RegisterShipSystem(&gTable[row + 2], kRows[row]);
    SaveShipSystems();
}

void SaveShipSystems()
{
    ShipSystemsModel& m = gShipSystems;
    for (int i = 0; i < m.holderSim.systemCount; ++i)
        m.saved[i] = gTable[i + 2];
    std::copy(std::begin(m.order), std::end(m.order), m.savedOrder);
}

void RestoreShipSystems()
{
    ShipSystemsModel& m = gShipSystems;
    // The engineering page's elements stay bound to their systems.
    for (int i = 0; i < m.holderSim.systemCount; ++i) {
        int16_t* colour = gTable[i + 2].displayColour;
        gTable[i + 2] = m.saved[i];
        gTable[i + 2].displayColour = colour;
    }
    std::copy(std::begin(m.savedOrder), std::end(m.savedOrder), m.order);
    m.resort = 255;
}

void ResetShipSystems(SceneItem* ship)
{
    ShipSystemsModel& m = gShipSystems;
    m.ldaSlider = m.thrusterSlider = m.pbcSlider = 100.0f;
    std::fill(std::begin(m.engineeringCounters), std::end(m.engineeringCounters), 0);
    gTable[kSupply].output = 1.0f;
    m.systemsShip = ship;
    if (ship && ship->sim) {
        if (const FlightModel* model = ship->sim->flightModel)
            m.classModel = *model;
        else if (const ShipInfo* info = ship->sim->shipInfo)
            m.classModel = info->flightModel;
        ship->sim->systems = m.holderSim.systems;
        ship->sim->systemCount = m.holderSim.systemCount;
    }
    RestoreShipSystems();
    ResetShipLog();
}

void CopySimCounters(SceneItem* from, SceneItem* to)
{
    if (!from || !to || !from->sim || !to->sim)
        return;
    to->sim->systems = from->sim->systems;
    to->sim->systemCount = from->sim->systemCount;
}

bool CarriesShipSystems(const SceneItem* item)
{
    const ShipSystemsModel& m = gShipSystems;
    return item && item == m.systemsShip && item->sim && m.holderSim.systems &&
           item->sim->systems == m.holderSim.systems;
}

ShipSystem* FindShipSystem(const char* name)
{
    if (!name)
        return nullptr;
    for (ShipSystem* s = gShipSystems.holderSim.systems; s; s = s->next)
        if (std::strcmp(s->names[0], name) == 0)
            return s;
    return nullptr;
}

void DamageShipSystemsRandomly()
{
    const SceneItem* ship = gShipSystems.systemsShip;
    if (!CarriesShipSystems(ship))
        return;
    for (ShipSystem* s = ship->sim->systems; s; s = s->next) {
        const float loss = static_cast<float>(CRand()) / 32768.0f * 0.25f;
        s->health = std::max(0.0f, s->health - loss);
    }
}

void ReleaseRepairTeams()
{
    for (RepairTeam& team : gShipSystems.teams)
        if (!gShipSystems.teamFixed[team.index])
            Release(team);
}

void UpdateShipSystems(SceneItem* item)
{
    if (!item || !item->sim)
        return;
    for (ShipSystem* s = item->sim->systems; s; s = s->next) {
        if (s->preUpdate && s->preUpdateEnabled)
            s->preUpdate(s, item);
        if (s->update)
            s->update(s, item);
    }
    ShipSystemsModel& m = gShipSystems;
    if (!CarriesShipSystems(item))
        return;
    if (m.resort) {
        m.resort = 0;
        SortRepairOrder();
    }
    if (m.repairsEnabled)
        RunRepairTeams();
    SetDisplayColours();
    DriveFlightModel(item);
    DriveWeapons(item);
    SampleValueRecorders();
}

ShipSystem* ShipSystemsSupply()
{
    return &gTable[kSupply];
}

const char* ShipSystemsMessage()
{
    return gMessage;
}
