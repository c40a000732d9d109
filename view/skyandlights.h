// Sky palette, celestial sphere, star field, dummy models and scene lights;
// the sun flare and the particle pass that draw in software over the
// framework's render.
#pragma once

#include <cstdint>

#include "system/gamemath.h"
#include "world/records.h"

struct Canvas;
struct ClipRect;
struct SceneItem;
struct TDP;
struct hx_actor;
struct hx_model;

extern uint8_t gNebulaOn; // 255 while the nebula background is on
// The star-trail countdown: the window update sets it to the count of the
// frame's star passes before drawing them (BeginStarPasses); each star pass
// counts it down and the pass that reaches 0 draws trails.
extern int16_t gStarTrailCountdown;
// Star passes drawn since the frame's windows began.
extern int16_t gStarPassesDrawn;
// The screen update, before its windows draw: the countdown takes the
// number of star passes the last frame drew (its views, less those that
// draw no stars: the scopes, a panel showing text), so the frame's last
// star pass is the one that draws the trails.
void BeginStarPasses();
// Set on every camera cut: the next star pass takes the stars' current
// places as their last ones (no trail across the cut).
extern uint8_t gStarFieldReset;
// The explosion-lights option: explosions light their surroundings.
extern uint8_t gExplosionLights;

// A light-source item of the star system and the light it places.
struct LightSource {
    ItemRef item;
    hx_actor* light;
};
constexpr int kLightSources = 2;
extern LightSource gLightSources[kLightSources];

// The background stars made by BuildStarCatalogue.
constexpr int kBackgroundStars = 1200;
struct BackgroundStar {
    Vector3 direction;             // at distance 1e10
    float x, y;                    // screen position now, from the view's centre
    float lastX, lastY;            // at the last trail
    uint32_t visible, lastVisible; // kStarVisible or kStarHidden
    uint8_t brightness;
    uint8_t rampBase;
};
constexpr uint32_t kStarVisible = 0xfff0000;
constexpr uint32_t kStarHidden = 4095;
extern BackgroundStar gBackgroundStars[kBackgroundStars];
extern int32_t gBackgroundStarCount;

// ---- sky palette ----------------------------------------------------------------------

// Sky ramps 176-207 for a star-system type (rows from the type table, row 3
// for a type not in it; type 26 the flash sky). Nothing while the nebula is off.
void SetSkyPaletteForSystem(int32_t systemType);
// Sky ramps from a row of the sky table; -1 and -2 are two fixed skies (-2
// also in flash mode). Nothing while the nebula is off or for a row past the table.
void SetSkyPaletteRow(int16_t row);
// Palette entries first .. first + count - 1 from the start colour toward the
// end colour (0-255 components, truncated), then the palette is shown.
void SetPaletteRamp(int32_t first, int32_t count, const int16_t end[3], const int16_t start[3]);

// ---- celestial sphere and the background worlds ------------------------------------------

// Once (nothing while the planet world exists): the planet, far-planet and
// nebula worlds with their cameras; the nebula sphere from the script
// symbol "SphMd" while the nebula is on and not switched off.
void CreateCelestialSphere();
// The nebula sphere takes the model, shaded as sky and sized to 1e10.
void SetNebulaModel(hx_model* model);
// The material "StarGate" takes the gate texture of the setting (9, 10, 12,
// any other) and is updated.
void SetStarGateTexture(SceneItem* gate, int32_t setting);
// The resource model "AntiMatterMd", or null when the scripts have none.
hx_model* LoadAntiMatterModel();

// ---- the star field ------------------------------------------------------------------------

// The 1200 background stars: from the star table when a universe exists
// (brightness by magnitude), else at random from the standard generator.
void BuildStarCatalogue();
// The "STARS" pass: points, or the trail pass's streaks when the countdown
// reaches 0.
void DrawStarField();

// ---- dummy models ------------------------------------------------------------------------

// The models whose render routines draw in software: particle emitters,
// a sun's glow, a blinking flare. Each is made once a framework run.
hx_model* CreateParticleDummyModel();
hx_model* CreateStarDummyModel();
hx_model* CreateFlareDummyModel();

// ---- the particle pass ------------------------------------------------------------------------

// The "PARTICLES" pass: the emitters of every scene item (with the flag
// only those on the planet layer).
void DrawAllParticles(int32_t flag);
// Draws the emitters of the TDP, its children and its siblings whose flags
// hold the whole mask.
void DrawTdpParticles(TDP* tdp, uint32_t mask);
// The points of the TDP's emitter as the render left them projected.
void DrawParticleEmitter(TDP* tdp);
// The band between a ring emitter's two outlines (points 1-100 inside,
// 101-200 outside at the same angles).
void FillRingBand(TDP* tdp);

// ---- sun flare ------------------------------------------------------------------------------------

// Records a flare at a pixel of the colour target being drawn (at most
// three a frame); false when full or the pixel lies outside the target.
bool RecordSunFlare(int32_t x, int32_t y, int32_t size);
// Ghost spots toward the view's centre for each flare whose centre pixel
// is still the one recorded; the records are then cleared.
void DrawSunFlare();

// ---- lights ------------------------------------------------------------------------------------

// Per simulation frame: light-source lights follow their items; the flash
// and burst lights run down.
void UpdateSceneLights();
// The burst light of an explosion at the point for the ticks.
void StartExplosionLight(const Vector3* point, int32_t ticks);
// Light 1 follows the item (or sits at the point when the item is null) as
// a point light for flag -1, else as a direct light, for the ticks.
void SetFlashLight(SceneItem* item, int32_t ticks, int32_t flag, const Vector3* point = nullptr);
void SetFlashLightSoft();
void SetFlashLightHard();
