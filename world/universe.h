// The universe: the static catalogue of stars and the table of planetary
// system bodies, their lookups and orbits (universe.cpp); the star system
// the player is in, its scene items and travel between systems
// (starsystem.cpp).
//
// Both tables are read once, the first time the universe is needed, from
// "zqk\resource\geog\excelrichsys.csv" and "zqk\resource\geog\stars.bin",
// and live for the rest of the run. Only the bodies of the current system
// exist as scene items; every scene item carries the number of its system
// in its scene generation.
//
// Not here: drawing bodies (the view layer's callbacks), the star map
// screen (world/starmap.h), the gate and encounters (world/encounters.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "system/gamemath.h"
#include "world/records.h"

struct TDP;
struct hx_model;

// ---- Bodies -------------------------------------------------------------------

// Class flags of a body. The class letter of the csv gives the low ones.
enum : int32_t {
    kBodyStar = 0x1,
    kBodyPlanet = 0x2,
    kBodyMoon = 0x4,
    kBodyLagrange = 0x40,
    kBodyBelt = 0x100,
    kBodyL4 = 0x800,
    kBodyL5 = 0x1000,
    kBodyGasGiant = 0x2000,
    kBodyLargestOrbitRecorded = 0x4000, // a child's orbit is the largest child orbit
    kBodyMission = 0x8000,              // marked by MissionifyPlanet
    kBodyHasLagrangePoints = 0x10000,
};

constexpr int kMaxBodies = 600;
constexpr int kBodyFieldSize = 90;    // a csv field holds at most 89 characters
constexpr int kBodiesPerSystem = 100; // system n owns ids (n-1)*100 .. n*100-1

struct SystemBody {
    int16_t id;
    char name[kBodyFieldSize]; // own copy; a '|' may end it (star names)
    SystemBody* parent;        // null for a system's root
    SystemBody* firstChild;
    SystemBody* nextSibling;
    WorldPosition* position; // its list entry while its system is built
    SceneItem* sceneItem;    // while its system is built
    int32_t classFlags;
    int16_t number;
    float value;
    float mass; // kilograms
    float radius;
    float orbitRadius;
    float period;
    float longitude; // degrees along its orbit
    float eccentricity;
    float inclination;       // degrees (twice the csv value)
    float phase;             // 0.000 .. 0.999
    float largestChildOrbit; // among its children that are no L points
};

extern SystemBody gBodies[kMaxBodies];
extern int gBodyCount;
// The roots of the systems (and bodies whose parent was not found), in file order.
extern SystemBody* gSystemRoots[kMaxBodies];
extern int gSystemRootCount;

// Reads the body table from the csv. A file that does not open, is larger
// than kPlanetarySystemsMaxBytes or is empty is named on the debug output
// and is a fatal error ("Can't load planetary systems..."); the result is
// then false.
bool LoadPlanetarySystems(const char* path);
// The body table is read whole: at most every body with every field full,
// four times over.
constexpr size_t kPlanetarySystemsMaxBytes = 4 * size_t{kMaxBodies + 1} * 13 * kBodyFieldSize;
// The same from text in memory (the loader's work; the fuzz target's entry).
// The table is emptied first; the header line is skipped; one body a line.
// Quotes are dropped, a field over 89 characters is cut with a warning on
// the debug output, integers are decimal (or hexadecimal after "0x"), an
// empty or unreadable field reads as 0, blank lines are skipped, a line with
// fewer fields has the rest empty (and is named on the debug output), more
// than 600 bodies stop the reading with a message. Returns the number of
// bodies read.
int ParsePlanetarySystems(const char* text, size_t size);
// Fills in what the csv left out of every body: L points take their place
// beside the body they belong to; missing masses, radii, orbits and periods
// are made up by rule (partly at random, through the C library generator).
void FinishBodies();

// Text beginning with a digit: the first body whose id is that number.
// Otherwise the first body of the system whose name equals the text. Null
// when none.
SystemBody* FindBody(int system, const char* text);
// The name of the body whose id the text holds; null when none.
const char* LookUpBodyName(const char* text);

// The world position of a body on its orbit at time t (days of the
// universe), scaled by s, plus its parent's position while that is set.
WorldPosition BodyOrbitalPosition(const SystemBody* body, double t, double s);

// ---- Stars ----------------------------------------------------------------------

enum : int32_t {
    kStarLinkEnd = 0x2, // end of a marked star link (the star map)
    kStarHasSystem = 0x4,
    kStarNear = 0x8, // nearer than 3e17
    kStarRepresentsSystem = 0x10,
    kStarMission = 0x80, // marked by MissionifyStar
    kStarFaint = 0x100,
};

constexpr int kStarCount = 3900;
constexpr int kStarNameSize = 20; // on disk; in memory one more for the terminator
constexpr size_t kStarRecordSize = 45;
constexpr size_t kStarFileSize = kStarCount * kStarRecordSize; // 175,500

struct Star {
    Vector3 position;
    char name[kStarNameSize + 1]; // zero-padded, always terminated
    const char* namePointer;      // the name, or a body's text after '|'
    float map[6];                 // the star map's projected x, y, depth and
                                  //   camera-relative point; not stored
    float catalogueValue;
    float magnitude; // above 12: faint
    uint8_t system;  // planetary system at this star, 0 = none
    int32_t flags;
};

extern Star gStars[kStarCount];
extern int gStarsLoaded; // kStarCount, or 0 when no catalogue was read
extern int gNamedStarCount;
extern int gFaintStarCount;

// Reads stars.bin. A missing or short file leaves the table empty (nothing
// named, nothing drawn) and says so on the debug output; false when the
// file could not be read whole.
bool LoadStars(const char* path);
// The same from bytes in memory: true when they hold the whole catalogue.
bool ParseStars(const uint8_t* data, size_t size);
// Writes the star table in the stars.bin layout, atomically. False when the
// file could not be written.
bool SaveStars(const char* path);
// One record in the stars.bin layout (45 bytes), and back.
void EncodeStarRecord(const Star& star, uint8_t* out);
void DecodeStarRecord(const uint8_t* in, Star& star);

// Among the first `count` stars: text beginning with a digit finds the first
// star of that system number; "NULL" finds nothing; other text the first
// star of that exact name. Null when none.
Star* FindStar(const char* text, int count);
// The name of the first star carrying the system; "" when none.
const char* LookUpStarName(int system);

// Developer tool: builds the star table from a fixed-column text catalogue
// and writes it to `output` with SaveStars. At most `limit` stars (3900
// when 0 or less). False when the catalogue does not open or the table
// cannot be written.
//
// Catalogue lines after three header lines, columns from 0:
//   0-11 right ascension "h m s", 12-23 declination "d m", 24-35 parallax
//   (ten-thousandths of an arc second), 36-39 system number, 40-59 name,
//   60-69 magnitude, 70-79 catalogue value.
bool ImportStarCatalogue(const char* path, int limit, const char* output);
// The game's distance unit: a parallax of one arc second is this far / sin.
constexpr double kDistanceUnit = 1.496e11;

// ---- The universe as a whole -------------------------------------------------------

constexpr const char* kPlanetarySystemsPath = "zqk\\resource\\geog\\excelrichsys.csv";
constexpr const char* kStarsPath = "zqk\\resource\\geog\\stars.bin";

extern uint8_t gUniverseCreated; // 255 once the tables are loaded

// The GENESIS statement and the first opening of the star map: resets the
// built system, loads the star map's icons and, the first time, the tables
// and the star map's set-up.
void CreateUniverse();
// Forgets the built star system: the planet model pool, the body list and
// the per-system created marks. The tables stay.
void ResetSolarSystemState();
// Forgets the tables too, so that the next CreateUniverse reads them again
// (a new run of the world; tests).
void ResetUniverse();

// ---- The current star system and travel ----------------------------------------------

// The number of the current star system; moving to another system sets it.
extern int16_t gCurrentSystemNumber;
extern Star* gCurrentStar;
// Set (255) when travel has rebuilt the world; whoever redraws clears it.
extern uint8_t gWorldChanged;

// One entry of the system body list: the body's world position.
struct SystemBodyEntry {
    WorldPosition position;
    SystemBody* body;
};
constexpr int kOutlinePoints = 32;
// One body's orbit outline: 32 points and a closing entry that names the
// list entry and says whether the body is an L point.
struct OrbitOutline {
    Vector3 points[kOutlinePoints];
    SystemBodyEntry* entry;
    uint8_t marker[2];   // 'x', 255
    uint8_t notLagrange; // 255 when the body is no L point, else 0
};
extern SystemBodyEntry gSystemBodyList[kBodiesPerSystem];
extern int gSystemBodyCount;
extern int gListedSystem; // system of the list, 0 when none

constexpr double kPlanetScale = 4.0; // bodies are drawn larger than life
// The radius of the planet sphere model. A body's parts are drawn at its
// diameter in thousands of kilometres (its Avatar size / 1000), so the
// sphere is a body 1000 km across: 500 km at 100,000 units a kilometre,
// drawn larger than life like the bodies' own radii.
constexpr double kPlanetSphereRadius = 500.0 * 1e5 * kPlanetScale;
constexpr int kPlanetModelSlots = 3;
constexpr int kCreatedMarks = 256; // per system: its L points exist (parked)

// The developer export of the outlines as a 3D Studio ASCII file: on for one
// listing when set; the file is written into the folder given.
extern uint8_t gExportSystemOutlines;
extern const char* gSystemExportFolder;

// Moves the player's scene to the target system (a system number or a star
// name) at the arrival body (a body id or name). 0 when the star is not
// found (a fatal error), else 255.
int MoveToSystem(const char* target, const char* arrival);
// Fills the system body list (when the system changed) and, when given, the
// outlines (kOutlinePoints + 1 per body); returns the number of bodies.
int BuildSystemBodyList(int system, OrbitOutline* outlines);
// Creates the scene items of the current system's bodies around the
// arrival position.
void CreateSolarSystem(const WorldPosition& arrival);
// Re-centres the world so that the item sits at the body.
void PlaceAtBody(SceneItem* item, SystemBody* body);
// Deletes (or parks) the scene items of every other system and brings this
// system's parked items back, moved by the shift.
void PurgeOtherSystems(int system, const WorldPosition& shift);
void MissionifyStar(const char* star);
void MissionifyPlanet(const char* body, const char* star);

// ---- The planet model pool -------------------------------------------------------------

// How the pool reaches the sphere model: the view layer installs a loader
// of "hexmire\dat\triball.dat"; until then slots hold no model.
using PlanetSphereLoader = hx_model* (*)();
void SetPlanetSphereLoader(PlanetSphereLoader loader);

struct PlanetModelSlot {
    hx_model* model;
    struct hx_material* materials[2]; // "INDEX_PLANET2", "INDEX_PLANET3"
    char textureName[kBodyFieldSize]; // last loaded into the materials
    TDP* user;                        // the planet using it, or null
    float priority;                   // the user's apparent size
};
extern PlanetModelSlot gPlanetModelSlots[kPlanetModelSlots];
extern int gPlanetModelSlotsInUse; // 3, or 1 after a PLANET statement
extern uint8_t gPlanetDetail;      // the planet-detail switch (255 on)

void InitPlanetModelPool();
hx_model* AcquirePlanetModel(TDP* planet, float priority, const char* textureName);
void SetPlanetModelPriority(TDP* planet, float priority);
void SetPlanetModelFlag(TDP* planet, int on);
void LoadSunModel();
// The sun model that LoadSunModel loaded (null before, or when it failed).
hx_model* SunModel();
