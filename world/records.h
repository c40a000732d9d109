// The records of the world: every object is a SceneItem with its Avatar
// (presentation side) and Sim (simulation side), a tree of TDP part nodes,
// and for ships a ShipInfo, Weapon mounts and Action hooks.
//
// These records are plain data that every subsystem reads and writes
// directly; the pools that hand them out live in world/pools.h. Fields are
// in the order the game has always kept them. A scene item referred to
// from a 32-bit word (a message body, a parameter value, a tally row) is a
// SceneItemHandle, never a pointer: see world/pools.h.
#pragma once

#include <cstdint>

#include "system/gamemath.h"

struct SceneItem;
struct Avatar;
struct Sim;
struct TDP;
struct Action;
struct ShipInfo;
struct Weapon;
struct HullBounds;
struct ParticleEmitter;
struct HUD;
struct ScriptSymbol; // script system
struct SoundSlot;    // sound layer: positional sound slot
struct Contact;      // UI: contact list row
struct hx_actor;     // 3D framework
struct hx_model;     // 3D framework
struct DockPoint;    // ai/docking.h

// A reference from one record to another scene item (a target, an escort,
// a tow partner, a leader): kept as the item's SceneItemHandle, so reading
// it gives null once that item is deleted or its slot is reused, never the
// slot's next occupant. It reads and assigns like a pointer; zeroed memory
// is the null reference. An item outside the scene-item pool cannot be
// referred to and is stored as null.
struct ItemRef {
    uint32_t handle;
    SceneItem* Get() const; // null when none or stale
    void Set(const SceneItem* item);
    // Whether it names the item, even one just deleted (its slot not yet reused).
    bool Is(const SceneItem* item) const;
    operator SceneItem*() const { return Get(); }
    SceneItem* operator->() const { return Get(); }
    ItemRef& operator=(SceneItem* item)
    {
        Set(item);
        return *this;
    }
};

// A world position: doubles, so that a whole star system stays exact.
struct WorldPosition {
    double x, y, z;
};

// Per-item routines: simulation step, control step, message function,
// render sync and TDP sync all take the item.
using ItemFunction = void (*)(SceneItem* item);
// TDP per-frame routine: (the node, its world matrix this frame).
using TdpFunction = void (*)(TDP* node, const Matrix4* world);
// Collision response: (own item, own part, other item, other part, the
// handled word shared by the touching pair, contact point).
using CollisionResponse = void (*)(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                                   int16_t* handled, const Vector3* contact);
// Hit response: (item, the hit record).
using HitResponse = void (*)(SceneItem* item, const void* hitRecord);
// Built-in Action callback: (item, event argument).
using ActionCallback = void (*)(SceneItem* item, const void* argument);

// SceneItem flags (int16).
enum : uint16_t {
    kItemInUse = 0x1,
    kItemBeltShip = 0x4,           // respawned instead of deleted
    kItemLateControl = 0x8,        // control function runs after the simulation pass
    kItemParkedWithSystem = 0x10,  // parked, not deleted, when its star system is left
    kItemKeptAcrossSystems = 0x20, // stays in the scene whatever the star system
    kItemJumpCheck = 0x40,         // the player's item: measure the jump readiness
    kItemNearPlanet = 0x80,
    kItemNearSurface = 0x100, // set by the planet response; 0x40-0x100 last a frame
    kItemObstacle = 0x200,    // others keep clear of it (collision avoidance)
    kItemBeltAnchor = 0x400,
    kItemBeltAsteroid = 0x800,
    kItemTailGroup = 0x1000,
    kItemCounted = 0x2000, // counted in the global count of such items
    kItemEncounterSource = 0x4000,
};

struct SceneItem {
    SceneItem* next;
    SceneItem* prev;
    Sim* sim;
    ScriptSymbol* symbol; // the script symbol naming the item, or null
    Avatar* avatar;
    float pitchDemand; // percent of the ship's rate, -100..100;
    float yawDemand;   //   free bodies keep their two spin rates here
    float rollDemand;
    float pitchRemaining; // degrees left of a steering manoeuvre
    float yawRemaining;
    float rollRemaining;
    int32_t ownerWord;     // belongs to the AI, view, UI and bridge code
    uint32_t receiver;     // RECEIVER id, 0 until one is allocated
    ItemFunction perFrame; // simulation routine
    ItemFunction control;  // control routine
    ItemFunction message;  // message function (HandleItemMessages)
    uint32_t callbackWord;
    int16_t flags;
    int16_t sceneGeneration; // the star-system group the item belongs to
    uint8_t linked;          // the list next and prev run through (ItemList);
                             //   kept by the scene list's link and unlink only
};

// Which list holds a scene item. A record fresh from the pool is in none.
enum ItemList : uint8_t {
    kInNoList = 0,
    kInSceneList = 1,
    kInParkedList = 2,
};

// Avatar flags (int16) and class flags (u32) named by the world.
enum : uint16_t {
    kAvatarInUse = 0x1,
    kAvatarTouched = 0x2,    // cleared at the start of each collision frame
    kAvatarBody = 0x4,       // a planet or moon: placement and the LDS keep clear
    kAvatarNoContact = 0x10, // never found by the line-of-sight search
    kAvatarLongTrail = 0x20,
};
enum : uint32_t {
    kClassMarked = 0x4,
    kClassMissile = 0x10,
    kClassSides = 0x1FC0, // the side classes
    kClassArmed = 0x4000,
    kClassNamedBody = 0x400000, // a body of the star system, found by its name
    kClassSparksWhenDamaged = 0x4000000,
    kSenseCrippled = 0x4000000, // SN_CRIPPLED: the ship is damaged
    kSenseMissile = 0x10,       // SN_MISSILE
    kSenseProjectile = 0x20,    // SN_PROJECTILE
    kSenseSidesAndFactions = 0x30001FC0,
    kSenseLeper = 0x40000000, // SN_LEPER: hostile to all
    // On the player's item: the mission script waits. A bit of its own,
    // apart from the sense flags, so that a leper player is not also a
    // player whose mission stands still.
    kClassSuspendsScript = 0x80000000,
};

constexpr int kAvatarParameterCount = 11;

// The Avatar's numbered parameter slots: TDP attributes read them by
// number, and each kind of item gives a slot its own meaning.
enum AvatarParameter : int {
    kParamEngineCountdown = 1, // ships: engine-glow countdown; waypoints: the previous one
    kParamEngineGlow = 2,      // ships: engine-glow level 0..32; waypoints: the next one
    kParamTetherAnchor = 3,    // tethered items: the anchor; munitions: the launching item
                               //   (SceneItemHandle both)
    kParamSize = 5,            // bodies: drawn size x 1000; gates: state; stand-off distance
    kParamSurfaceKind = 6,     // bodies with a generated surface: its kind
    kParamSurfaceSeed = 7,     //   and its seed
    kParamName = 8,            // named items: the name; plasma balls: growth
    kParamBeltAnchor = 9,      // belt members: the belt's anchor item (SceneItemHandle)
    kParamTallySerial = 10,    // ships: tally serial, the body of the group leader's death
    kParamDebrisTurnA = 3,     // debris holders: the turn words of the pieces hung under
    kParamDebrisTurnB = 4,     //   them (the pieces' attributes read values 3 and 4)
};
static_assert(kParamTallySerial < kAvatarParameterCount);

struct Avatar {
    WorldPosition position; // last copied from the Sim for drawing
    Matrix4 matrix;         // ditto, translation in elements 12-14
    TDP* root;
    ItemFunction renderSync;     // CopySimToAvatar for almost every object
    ItemFunction tdpSync;        // the view layer's routine
    CollisionResponse collision; // the pair of response hooks that
    HitResponse hitResponse;     //   message kind 2 overwrites
    uint8_t colour;              // marker colour 9, 10 or 12
    int8_t responseOrder;        // the higher order responds first
    uint8_t spareBytes[2];
    Vector3 velocity;     // last copied for drawing
    ItemRef linkItem;     // cleared by kind 8 when it names the sender
    ItemRef lockedOn;     // the item this one is locked on (last attacker)
    int32_t lockedAmount; //   and the attack amount that goes with it
    ItemRef obstacle;     // nearest obstacle, set by collision detection
    ItemRef escort;       // set by message kind 14
    float range;
    float obstacleCloseness;
    int16_t flags;
    uint32_t classFlags;
    SoundSlot* soundSlot;                  // positional sound, or null
    int32_t params[kAvatarParameterCount]; // read by number by TDP attributes
    // Written by the weapon that hit, taken by the hull damage: 0x10 says
    // effects are present, bits 8..16 the nine effects (world/damage.h).
    uint32_t pendingHitEffects;
    // Shrapnel: the spin scale and break depth of a broken item's pieces
    // (each break-up goes one level deeper), the face count of the model a
    // debris holder came from, and the other half of a split item. (A
    // debris holder's turn words are parameter values, kParamDebrisTurnA.)
    int32_t spinScale;
    int32_t breakDepth;
    int32_t debrisFaceCount;
    ItemRef otherHalf;
    TDP* chainCursor; // a wreck: the next part to explode (view/explosions.h)
    // An alien Lagrange device: the star system it sends ships to (0 none).
    int16_t deviceSystem;
    // An LDS field: the wire sphere that shows it on the HUD, made the first
    // time the field is switched on and kept from then on (null before).
    HUD* fieldSphere;
    // A camera item: the nearest it comes to its watched item (linkItem) and
    // how fast it follows, in thousandths a tick.
    int32_t cameraMinimumDistance;
    int32_t cameraLag;
    // A fired bolt or munition: the distance it has travelled (kept by the
    // bolt's streak), the item that fired it, the mount that did and that
    // mount's position (both valid while the shooter lives).
    int32_t travel;
    ItemRef shooter;
    Weapon* weapon;
    const Vector3* mountPosition;
    // A chase camera's last offset from its watched item (world axes).
    Vector3 cameraOffset;
    // 1 while the player flies the item by remote link.
    int32_t remoteLinked;
    // A ship: the object it defends (its orders name it), and its label
    // text (null: none), which a wingman's reply names when the reply's
    // subject is no ship.
    ItemRef defended;
    const char* label;
    // An asteroid field's item: its dust cloud, whose points are the
    // field's slots; a member: the same record and the slot it holds
    // (-1 none).
    ParticleEmitter* fieldDust;
    int16_t fieldSlot;
    // A docked item: its partner, and (a coupled child) its own dock point.
    ItemRef dockPartner;
    DockPoint* ownDockPoint;
};

// Sim flags (u32) named by the world core.
enum : uint32_t {
    kSimInUse = 0x1,
    kSimLdsEngaged = 0x2,
    kSimAiControl = 0x4,
    kSimNoMinimumEngine = 0x20,
    kSimNoLateralAssist = 0x8, // flight assist leaves sideways drift alone
    kSimKeepsTarget = 0x40,    // message kind 5 leaves the target alone
    kSimJumpReady = 0x80,      // the player's item stands ready to jump
    kSimLdsBarred = 0x100,
    kSimTurnOncePerFrame = 0x2000,
    kSimNoDamage = 0x4000, // takes no damage
    kSimTurnsWithoutBookkeeping = 0x20000,
    kSimStunned = 0x20000, // the player's item: no input is read
    kSimAiSteersWithInput = 0x40000,
    kSimPlaceNearL4 = 0x80000,
    kSimTowed = 0x100000,
    kSimInhibited = 0x200000,
    // Timed flags that messages set and clear (world/messagehandler.h).
    kSimHardBounce = 0x400000,           // kinds 22 and 23: collisions bounce hard
    kSimSparesOthers = 0x800000,         // with the hard bounce: what it hits takes no damage
    kSimJumpUnderWay = 0x1000000,        // a capsule jump is under way (kinds 15, 16)
    kSimBraked = 0x2000000,              // braked by a disruptor; cleared by kind 26
    kSimScattering = 0x4000000,          // a belt rock just re-placed; cleared by kind 27
    kSimNoUndock = 0x8000000,            // the player may not undock it (NO_UNDOCK)
    kSimRemoteControllable = 0x10000000, // the player may fly it by remote link (REMOTE_OK)
};

struct FlightModel;
struct ShipSystem;

struct Sim {
    ShipInfo* shipInfo;       // null for objects that are not ships
    Matrix4 matrix;           // rows 0-2 the axes (z forward), 12-14 position
    ItemRef target;           // selected target / the target of its orders
    ItemRef secondTarget;     // whose velocity it takes when the LDS winds down
    FlightModel* flightModel; // the motion limits in use
    int16_t linkCount;        // ships linked to this one; cleared on attach
    int16_t weaponCount;      // mounts WEAPON gave it; cleared on attach
    Weapon* weapons;          // cleared on attach
    Weapon* currentWeapon;
    Contact* contact;
    float mass;
    int32_t word0;
    WorldPosition position;
    Vector3 velocity;      // world axes
    Vector3 localVelocity; // ship axes
    float speed;
    Vector3 thrust; // ship axes; z is also the LDS speed in LDS
    float ldsTargetSpeed;
    int32_t word1;
    ItemRef towLink; // the item towing this one (an LDS field), with kSimTowed
    int32_t words2[3];
    uint32_t startTime; // game clock of the last simulation step
    Vector3 turnRates;  // pitch, yaw, roll in degrees per second
    float radius;
    uint32_t flags;
    // Flight assist: 0 none, 1 and 2 hold the set-point speed (the LDS
    // target field) and cancel sideways drift; PLAYER sets 1.
    int32_t assistMode;
    int32_t ldsSpool; // hundredths; missiles: fuel
    float engineValue;
    int32_t hull;        // percent, 100 when new
    int16_t countdown;   // hundredths, counted down in the control pass
    int16_t clockPeriod; // restart value of the countdown (SET_SHIP_CLOCK); cleared on attach
    void* components;    // cleared on attach
    Action* actions;
    Matrix4 previousMatrix; // orientation of the previous frame
    // Noted by the planet response each frame the item is near a planet
    // (the item then carries kItemNearPlanet).
    float altitude; // above the planet's surface
    ItemRef planet;
    Vector3 planetDirection; // unit vector from the item to the planet
    // The player's ship: its ship-systems list (world/shipsystems.h).
    ShipSystem* systems;
    int16_t systemCount;
    // A waypoint: the symbol whose item it follows (ATTACH_WAYPT), or null.
    const ScriptSymbol* followSymbol;
    // The contact list: how loud the item is to the sensors (its signal at
    // distance d is signature x 1.429e12 / d squared), and the target the
    // player's ship navigates to (targeting writes it beside `target`).
    float signature;
    ItemRef navTarget;
    // The player's ship: how many bridge stations its crew may take; the
    // weapons and engineering stations need 2.
    int16_t stationLevel;
};

// TDP flags (u32).
enum : uint32_t {
    kTdpInUse = 0x1,
    kTdpVisibleToggle = 0x2,
    kTdpInScene = 0x4,
    kTdpEmitter = 0x8,
    kTdpNew = 0x10,
    kTdpBreakable = 0x10, // the same bit: a hit may break the part off
    kTdpOwnsModels = 0x80,
    kTdpNegatedAttributes = 0x4000,
};
// TDP flags (u32) of the collision tests.
enum : uint32_t {
    kTdpTouchesAlways = 0x8,   // touches without a geometric test
    kTdpCollides = 0x10,       // takes part in collisions (set on creation)
    kTdpMovingPoint = 0x20,    // tested as a moving point (projectiles)
    kTdpHit = 0x40,            // hit this frame
    kTdpPlaceholder = 0x100,   // a part detached into an item of its own
    kTdpNoModelRadius = 0x308, // no radius from the model
    kTdpPlanetLayer = 0x2000,  // touches on radii alone; never hit by a moving point
    kTdpSolid = 0x8000,        // touches on radii alone
};

// One attribute of a TDP: the animation step reads Avatar parameter
// `valueNumber` and applies it as attribute `type`.
struct TDPAttribute {
    TDPAttribute* next;
    uint8_t type;
    uint8_t valueNumber;
};

struct TDP {
    TDP* firstChild;
    TDP* nextSibling;
    SceneItem* owner;
    TdpFunction perFrame;
    uint8_t colour[3];
    uint8_t colourSpare;
    int32_t word0;
    const char* materialName;
    uint32_t flags;
    TDPAttribute* attributes;
    Vector3 offset;         // from the parent
    Vector3 offsetVelocity; // per second
    Matrix4 local;
    Vector3 worldCentre; // placed by the collision code each frame
    // Placed by the view each frame it is drawn: the world position, and
    // the position relative to the viewer in the viewer's axes (z = depth).
    Vector3 worldPosition;
    Vector3 viewPosition;
    float radius;
    HullBounds* hullBounds;
    int16_t screenRect[4];    // left, top, right, bottom when last drawn
    hx_actor* actor;          // framework actor, or null
    ParticleEmitter* emitter; // or other type data
    hx_model* model;
    hx_model* lod[3]; // full, reduced, one point
    // A star body: the glow size its level of detail gives the star dummy.
    float glowSize;
};

// Action flags (u32).
enum : uint32_t {
    kActionInUse = 0x1,
    kActionFilm = 0x2,     // payload is a script record naming a film
    kActionCallback = 0x4, // call the built-in callback
};

struct Action {
    Action* next;
    uint32_t key; // event key, compared for equality
    uint32_t flags;
    ActionCallback callback;
    const void* scriptRecord;
};

// The motion limits of a ship or a munition (filled by InitFlightModel).
struct FlightModel {
    float acceleration;
    float secondThrust;
    float ldsGrowth; // the LDS speed grows by value/100 a second
    float ldsTopSpeed;
    float spoolTime;                       // 300
    float rollRate, pitchRate, yawRate;    // degrees per second
    float rollRate2, pitchRate2, yawRate2; // the same three again
    float topSpeed;
    float turnTime;
    float stopping;
    float turnRatio;
    float lateral;
    float zero0, zero1;
    float value01;       // 0.1
    float value03;       // 0.3
    float capsuleRating; // the capsule drive's, 100 when made
    float unset;
};
static_assert(sizeof(FlightModel) == 22 * 4);

// A coupling link of a ship (docking, towing): flags, next, and the link
// record that names the partner item.
struct CouplingLink {
    uint32_t flags; // 2: coupled
    CouplingLink* next;
    struct CouplingPartner* partner;
};
struct CouplingPartner {
    ItemRef item;
};

// ShipInfo flags (u32).
enum : uint32_t {
    kShipInUse = 0x1,
    kShipGroupLeader = 0x2,
    kShipRepairPending = 0x4, // a repair message is on its way
};

// A ship's damage block: its hull points and damaged capabilities.
struct DamageBlock {
    int32_t armour; // read by the hit code
    int32_t maximumHull;
    int32_t hullDamage;     // taken so far; 0 = intact
    int16_t capabilities;   // damaged-capability bits: 1 turn thrusters,
                            //   2 main thrust, 4 weapons, 8 and 0x10 hard
                            //   points, 0x20 LDS drive, 0x40 capsule drive,
                            //   0x80 crew, 0x100 structure, 0x200 ring,
                            //   0x400 dock ports
    int16_t level;          // 1..7
    int16_t collisionBonus; // added to the damage its collisions deal
};

// A hard point: its condition in percent (90 when restored) and the enemy
// it is set on.
constexpr int kHardPoints = 4;
struct HardPoint {
    int8_t condition;
    ItemRef target;
};

// One of a ship's eight orders (the AI's): the evaluator that scores it,
// the AI state that carries it out, and what it remembers between turns.
// An evaluator scores the order 0..100 from the item and the slot's two
// parameters (numbers or SceneItemHandles); some write the slot's state.
struct OrderSlot;
using OrderEvaluator = int32_t (*)(SceneItem* item, int32_t parameter1, int32_t parameter2, OrderSlot* slot);
constexpr int kOrderSlots = 8;
struct OrderSlot {
    const char* name;         // null for a slot never used
    uint32_t flags;           // 1 blocked, 2 finished
    int8_t prerequisite;      // slot that must finish first; 0 none
    int32_t startDelay;       // hundredths
    int32_t timeLimit;        // hundredths; 0 none
    int32_t weight;           // multiplies the evaluator's score
    OrderEvaluator evaluator; // null: unused slot
    int32_t parameter1;
    int32_t parameter2; // a number or a SceneItemHandle
    int32_t lastScore;
    int32_t stateId; // the AI state the order starts
    int32_t stateParameters[3];
    ItemRef savedTarget;
    ItemRef savedLeader;
};

// One frame of a ship's AI state stack (ai/aistate.h runs it). The
// parameters are 32-bit words: a number, a float's bits or a
// SceneItemHandle, as the state reads them.
constexpr int kAIStackFrames = 12;
constexpr int kAITimers = 5;
struct AIStateFrame {
    int32_t stateId; // 0 = empty
    int32_t parameter1;
    int32_t parameter2;
    int32_t parameter3;
    int16_t subState;          // where the handler resumes: 0 from an order, 1 by a push
    float childResult;         // what the last popped child handed back
    int32_t limit;             // the watch flags' threshold (child result x 1000)
    int16_t savedSubState;     // restored by a watch flag
    int32_t timerSlot;         // 0..4: the timer that takes the child's result; 5 none
    int32_t timers[kAITimers]; // the handler's own
    uint32_t watchFlags;       // 0x2 smaller than the limit, 0x4 larger
};

struct DockPoint; // ai/docking.h

struct ShipInfo {
    const char* name;
    const char* shortName;
    int16_t kind; // the ship type
    int16_t side;
    int16_t group;
    int16_t word0;
    ItemRef leader;
    int16_t rank;
    int16_t skill; // 50 = normal
    uint32_t flags;
    DamageBlock damage;
    FlightModel flightModel;     // in use
    FlightModel baseFlightModel; // the unscaled copy
    CouplingLink* couplings;
    int8_t hardPointCount;
    HardPoint hardPoints[kHardPoints];
    OrderSlot orders[kOrderSlots];
    int16_t currentOrder;
    int16_t roundRobin;      // the next slot to score
    int32_t tickAccumulator; // ticks toward the next scoring
    float ldsReach[2];       // the pair of distances the LDS code reads
    ItemRef orderTarget;     // the item its current order is aimed at
    // The AI block: a ship's own, never shared; the copy made when a ship
    // breaks apart clears it (ClearAIBlock).
    AIStateFrame stateStack[kAIStackFrames];
    int32_t currentFrame;    // index into stateStack
    DockPoint* dockPoints;   // list head
    int32_t collisionWord;   // copied by collision detection each frame
    int32_t heatTickCarry;   // quarter ticks owed to the attack heat's decay
    int32_t pointingCounter; // SeekPointing's hysteresis, 0..12
    int32_t strength;        // the contact list's relative-strength sort
};

// A collision shape of a model: radius, up to 16 points with their flag
// words (the component bits 0x1FF00 of the box nearest each), boxes, and the
// model's bounding corners.
constexpr int kHullBoundsPoints = 16;
struct HullBox {
    Vector3 minimum;
    Vector3 maximum;
    HullBox* next;
    uint32_t flags;
};
struct HullBounds {
    float radius;
    Vector3 points[kHullBoundsPoints];
    int32_t pointCount;
    uint32_t pointFlags[kHullBoundsPoints];
    HullBox* boxes;
    hx_model* model;
    HullBounds* next;
    Vector3 minimum;
    Vector3 maximum;
};

// Weapon flags (u32) that damage and the ship systems use.
enum : uint32_t {
    kWeaponDisabled = 0x8,
    kWeaponReady = 0x10,
    kWeaponBeam = 0x20,
    kWeaponOwnPower = 0x1000, // keeps its power when its system changes
};

using LaunchRoutine = void (*)(Weapon* mount, SceneItem* munition);

// Weapon mount (the weapons code owns most of it; the world pools it, damage
// disables it and the ship systems power it). Times are hundredths of a
// second except `life`, which is milliseconds.
struct Weapon {
    Weapon* next;
    uint32_t flags;
    int16_t kind;          // the weapon group: the kind's row in the kinds table
    int16_t directionCode; // the mount code: direction, horizontal and vertical arc class
    Vector3 mountPosition; // ship axes
    ShipSystem* system;    // the player's system it follows (WEPSYSLINK); null: full power
    int32_t damageCounter; // hits near it; disabled at 100
    int32_t charge;        // from its system's output
    float power;
    // What the weapons code keeps (ai/weapons.h).
    int16_t weaponClass; // 0 bolt, 3 guided, 4 LDSI, 5 probe, mine, remote missile, 6 AM
    const char* name;
    Weapon* previous;
    uint32_t spare;
    const Vector3* aimReference; // a fixed world aim, or null
    float arcWidth;
    float reloadTimer; // hundredths until ready
    float speed;       // bolt speed or launch speed
    float reload;      // between shots or rounds
    float range;       // bolts: range; launchers: the magazine reload
    float charges;     // bolts with limited charges (0x2000)
    // Launchers: rounds left in the magazine, magazine size, magazines left.
    int16_t rounds;
    int16_t magazineSize;
    int16_t magazines;
    // Launchers: copied into the munition's flight model.
    float acceleration, secondThrust, yawRate, pitchRate, rollRate;
    int16_t life;          // of the fired item, ms; 0 unlimited
    LaunchRoutine launch;  // or null
    int32_t colourVariant; // bolts: 0-5
    hx_model* shape;       // launchers: the munition's model
    int32_t control0, damage, control3, penetration;
    float controlFloat;
    ItemRef target; // the item it last fired at or was given
};

// HUD element record: a wire figure of points and segments that the HUD
// projects and draws each frame (ui/hud.h runs the list; the world pools
// the records). The pool zero-fills a record and sets flag 1 (in use).
constexpr int kHudPoints = 128;
constexpr int kHudSegments = 140;

struct HudPoint {
    Vector3 world;          // where the point is this frame
    Vector3 local;          // in the subject's frame, written by the initialiser
    float screenX, screenY; // relative to the view centre
    float depth;            // along the view axis
    uint32_t flags;         // 2: projected this frame
};

struct HudSegment {
    int16_t from, to;
    uint8_t colour; // palette index; 0: not drawn
    uint8_t pad;
};

using HudRoutine = void (*)(HUD* element);
using HudTargetRoutine = void (*)(HUD* element, SceneItem* contact, int32_t userData);

struct HUD {
    const char* name; // "ORB", "TRAIL", "LAGRANGE", a caption, or null
    int16_t pointCount;
    int16_t segmentCount;
    SceneItem* subject; // the object it follows or describes, or null
    HudTargetRoutine onTargetChange;
    HudRoutine onUpdate;
    int32_t spare;
    HudRoutine onDraw; // null: the generic line drawer
    int32_t userData;  // handed back to onTargetChange
    uint32_t flags;
    int32_t params[5]; // per type: radii, counters, ring positions, serials
    float depthFar;    // over the points projected this frame
    float depthNear;
    HudPoint points[kHudPoints];
    HudSegment segments[kHudSegments];
    Contact* trailRow; // a trail's contact row, or null
};

// Particle emitter header and its points (contents are the view layer's;
// the world pools them and gives each header its point buffer).
struct EmitterPoint {
    Vector3 position; // world position
    Vector3 offset;   // from the owner (marker lights: x 100)
    Vector3 screen;   // screen x, y and depth, left by the drawing pass
    // Emitter points: units per second. Marker lights keep their blink
    // (phase, on time, period) in the first six bytes.
    Vector3 velocity;
    int16_t life; // ticks left, free at 0 or below; marker lights: 1 lit
    int16_t spare;
    float size;
    int16_t colour; // colour kind of the drawing pass
    int16_t brightness;
};
static_assert(sizeof(EmitterPoint) == 60);

struct ParticleEmitter {
    EmitterPoint* points;
    int16_t pointCount; // points in use, up to capacity
    int16_t capacity;   // the record's point buffer (given by the pool)
    int16_t type;       // 0 plain, 2 colour ramp, 4 spikes
    int16_t alive;      // 1 while it emits
    Vector3 position;   // world position, copied from its TDP each frame
    int16_t lifeLeft;   // ticks; 32767 never counts down
    int16_t life;       // ticks at creation, at least 1
    int32_t rate;       // points a second
    ItemRef owner;      // type-0 and ring emitters: the item they refill from
    float speed;        // emission speed, units per second
    int32_t pointLife;  // ticks, at least 1
    float spread;       // cone angle, degrees
    int32_t spareWord;  // cleared at creation
    float startRadius;  // flag 0x200: new points on a sphere of half this
    uint32_t flags;
    uint8_t ramp[32]; // palette indices faint to full; [0] the colour variant 1-7 without one
};
