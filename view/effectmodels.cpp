// Models the game makes or edits itself: the plasma beams and explosion card
// made at 3D start-up, the vertex shading of the sky sphere, the shimmering
// plasma ball and the film-textured body, the winding and material edits of
// script statements, the per-frame stretch of a weapon bolt and the reduced
// (far) model of every loaded ship. Loading models from files is the
// LightWave loader's; choosing between full and reduced models per frame is
// the render passes'.
#include "view/effectmodels.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/pixelmap.h"
#include "platform/files.h"
#include "framework/scene.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/gamemath.h"
#include "view/lwoloader.h"
#include "view/particles.h"
#include "view/renderpasses.h"
#include "view/skyandlights.h"
#include "view/viewstate.h"
#include "world/records.h"

namespace {

constexpr uint16_t kUpdateAll = 0x7FFF;
constexpr uint8_t kEffectColour = 251; // the beams' and card's vertex colour
constexpr uint8_t kCardColour = 249;   // the reduced card's vertex colour
constexpr uint8_t kNeutralColour = 128;
constexpr int kMaxShadedVertices = 2000;    // larger models are never reshaded
constexpr float kBoltNearDepth = 200000.0f; // nearer bolts are drawn by their lights

// ---- effect model table ---------------------------------------------------------------

constexpr int kBeamSets = 4;
constexpr int kBeamKinds = 7;
struct BeamShape {
    int16_t columns, rows;
    float width;
};
constexpr BeamShape kBeamShapes[kBeamKinds] = {
    {2, 2, 1000},
    {2, 3, 1600},
    {4, 1, 1400},
    {3, 4, 1400},
    {1, 1, 2800},
    {1, 5, 2800},
    {7, 1, 1600},
};
constexpr float kExplosionCardSize = 10000.0f;

struct EffectModels {
    hx_model* beams[kBeamSets][kBeamKinds];
    hx_model* explosion;
};
EffectModels gEffects;

// One cell of a beam: three crossed unit squares, one in each plane.
struct TemplateVertex {
    float x, y, z, u, v;
};
constexpr TemplateVertex kCellVertices[12] = {
    {-0.5f, 0, -0.5f, 0, 0},
    {0.5f, 0, -0.5f, 1, 0},
    {0.5f, 0, 0.5f, 1, 1},
    {-0.5f, 0, 0.5f, 0, 1},
    {0, 0.5f, -0.5f, 0, 0},
    {0, -0.5f, -0.5f, 1, 0},
    {0, -0.5f, 0.5f, 1, 1},
    {0, 0.5f, 0.5f, 0, 1},
    {-0.5f, 0.5f, 0, 0, 0},
    {-0.5f, -0.5f, 0, 1, 0},
    {0.5f, -0.5f, 0, 1, 1},
    {0.5f, 0.5f, 0, 0, 1},
};
constexpr uint16_t kCellFaces[6][3] = {{0, 1, 3}, {2, 3, 1}, {4, 5, 7}, {7, 5, 6}, {8, 9, 10}, {11, 8, 10}};

// A quad of two faces (0, 1, 3) and (2, 3, 1) with colour 251, as the card.
constexpr TemplateVertex kCardVertices[4] = {
    {-0.5f, 0.5f, 0, 0, 0}, {-0.5f, -0.5f, 0, 1, 0}, {0.5f, -0.5f, 0, 1, 1}, {0.5f, 0.5f, 0, 0, 1}};

void SetVertex(hx_vertex& v, float x, float y, float z, float u, float w, uint8_t colour)
{
    v.p = {x, y, z};
    v.map = {u, w};
    v.index = colour;
}

void SetFace(hx_face& f, uint16_t a, uint16_t b, uint16_t c, hx_material* material)
{
    f.vertices[0] = a;
    f.vertices[1] = b;
    f.vertices[2] = c;
    f.smoothing = 0;
    f.material = material;
    f.flags = 0;
}

// Registers a made model with its pivot at the origin and prepares it.
hx_model* FinishMadeModel(hx_model* model)
{
    model->pivot = {0, 0, 0};
    HxModelAdd(model);
    HxModelUpdate(model, kUpdateAll);
    return model;
}

// Materials and maps are found through the framework's registries, which
// exist only while its scene layer runs.
bool FrameworkRunning()
{
    return HxDefaultMaterial() != nullptr;
}

// Whether the model still holds its vertex and face arrays to edit.
bool HasArrays(const hx_model* model)
{
    return model && (model->vertices || !model->nvertices) && (model->faces || !model->nfaces);
}

// A float stored into a colour byte is clamped to the byte first.
uint8_t ColourByte(float value)
{
    return static_cast<uint8_t>(std::clamp(value, 0.0f, 255.0f));
}

// The name without its last four characters (its extension); a shorter
// name is taken whole.
std::string WithoutExtension(const char* name)
{
    std::string s = name ? name : "";
    if (s.size() >= 4)
        s.resize(s.size() - 4);
    return s;
}

// ---- plasma shimmer and film ------------------------------------------------------------

struct ShimmerState {
    bool set; // a shimmer has been set up: before that nothing is animated
    hx_material* material;
    int32_t base, top;
    float phase[3];
    float rate[3];
    float halfHeight; // half the model's y span
    float uThird;     // a third of its u span
};
ShimmerState gShimmer;

struct PlasmaFilm {
    hx_material* material;
    LoopClip* clip;
};
PlasmaFilm gPlasmaFilm;

// The item's model while it keeps its vertex and face arrays (a prepared
// model may have dropped them), else null.
hx_model* ItemModel(SceneItem* item)
{
    hx_model* model = item && item->avatar && item->avatar->root ? item->avatar->root->model : nullptr;
    return HasArrays(model) ? model : nullptr;
}

// ---- reduced models -----------------------------------------------------------------------

// Swaps a top or bottom material for its "_S.pix" small-map copy when the
// small map exists; reports a material without a colour map. Returns
// whether the copy was made.
bool UseSmallMap(hx_material*& material, const char* report, const char* copyName)
{
    if (!material->colour_map) {
        DebugMessageBox(report, "Simple Object Error");
        return false;
    }
    const std::string smallName = WithoutExtension(material->colour_map->identifier) + "_S.pix";
    hx_pixelmap* small = HxMapFind(smallName.c_str());
    if (!small)
        return false;
    hx_material* copy = HxMaterialAllocate(copyName);
    if (!copy)
        return false;
    copy->ka = material->ka;
    copy->kd = material->kd;
    copy->ks = material->ks;
    copy->power = material->power;
    copy->flags = material->flags;
    copy->index_shade = material->index_shade;
    copy->index_blend = material->index_blend;
    copy->colour_map = small;
    HxMaterialAdd(copy);
    material = copy;
    return true;
}

// The card's corner templates: a rectangle over the x-z extent (when a small
// top map was made) or a diamond through the middles of the box's sides.
constexpr TemplateVertex kRectangleCard[4] = {{1, 0, 1, 0, 0}, {1, 0, -1, 0, 1}, {-1, 0, -1, 1, 1}, {-1, 0, 1, 1, 0}};
constexpr TemplateVertex kDiamondCard[4] = {
    {1, 0, 0, 1, 0.5f}, {0, 0, -1, 0.5f, 0}, {-1, 0, 0, 0, 0.5f}, {0, 0, 1, 0.5f, 1}};

// 1 lands on the box's maximum, -1 on its minimum, 0 stays 0.
float OnBox(float c, float minimum, float maximum)
{
    return c >= 0 ? c * maximum : -c * minimum;
}

} // namespace

int32_t SaveModelFile(const char* fileName, hx_model* model)
{
    return model && FrameworkRunning() && HxModelSave(fileName, model) ? 1 : 0;
}

void FlipModelFaces(hx_model* model)
{
    if (!HasArrays(model))
        return;
    for (int f = 0; f < model->nfaces; ++f)
        std::swap(model->faces[f].vertices[1], model->faces[f].vertices[2]);
    HxModelUpdate(model, kUpdateAll);
}

void SetModelMaterial(hx_model* model, const char* materialName)
{
    if (!HasArrays(model) || !FrameworkRunning())
        return;
    hx_material* material = HxMaterialFind(materialName);
    for (int i = 0; i < model->nvertices; ++i)
        model->vertices[i].index = kNeutralColour;
    for (int f = 0; f < model->nfaces; ++f)
        model->faces[f].material = material;
}

void ClearModelMaterials(hx_model* model)
{
    if (!HasArrays(model))
        return;
    for (int i = 0; i < model->nvertices; ++i)
        model->vertices[i].index = kNeutralColour;
    for (int f = 0; f < model->nfaces; ++f)
        model->faces[f].material = nullptr;
}

hx_model* MakePlasmaBeam(int16_t columns, int16_t rows, float width)
{
    const int n = columns * rows;
    if (columns <= 0 || rows <= 0 || 12 * n > 0xFFFF || !FrameworkRunning())
        return nullptr;
    hx_model* model = HxModelAllocate("PlasmaBeam", 12 * n, 6 * n);
    if (!model)
        return nullptr;
    model->flags |= 2;
    model->flags |= 4;
    const float s = 1.0f / float(2 * columns - 1);
    float o = s / 2 - 0.5f;
    float jx = 0, jy = 0;
    const auto range = static_cast<int16_t>(std::clamp(500.0f + width + 35.0f * float(n), -32768.0f, 32767.0f));
    const int jitter = range > 0 ? range : 1;
    int vertex = 0, face = 0;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const int first = vertex;
            for (const TemplateVertex& t : kCellVertices)
                SetVertex(model->vertices[vertex++], t.x * width + jx, t.y * width + jy, t.z * s + o, t.u, t.v,
                          kEffectColour);
            for (const auto& f : kCellFaces)
                SetFace(model->faces[face++], uint16_t(f[0] + first), uint16_t(f[1] + first), uint16_t(f[2] + first),
                        nullptr);
            o += 2 * s;
        }
        jx = float(CRand() % jitter - jitter / 2);
        jy = float(CRand() % jitter - jitter / 2);
        width *= 0.8f;
        o = float(CRand() % 100) * s * 0.01f - 0.5f + s / 2;
    }
    return FinishMadeModel(model);
}

hx_model* MakeExplosionCard(float size)
{
    hx_model* model = FrameworkRunning() ? HxModelAllocate("Explosion", 4, 2) : nullptr;
    if (!model)
        return nullptr;
    model->flags |= 2 | 4;
    for (int i = 0; i < 4; ++i) {
        const TemplateVertex& t = kCardVertices[i];
        SetVertex(model->vertices[i], t.x * size, t.y * size, t.z * size, t.u, t.v, kEffectColour);
    }
    SetFace(model->faces[0], 0, 1, 3, nullptr);
    SetFace(model->faces[1], 2, 3, 1, nullptr);
    return FinishMadeModel(model);
}

void MakeEffectModels()
{
    for (auto& set : gEffects.beams)
        for (int k = 0; k < kBeamKinds; ++k)
            set[k] = MakePlasmaBeam(kBeamShapes[k].columns, kBeamShapes[k].rows, kBeamShapes[k].width);
    gEffects.explosion = MakeExplosionCard(kExplosionCardSize);
}

void ForgetEffectModels()
{
    gEffects = {};
    if (gPlasmaFilm.clip)
        CloseLoopClip(gPlasmaFilm.clip);
    gPlasmaFilm = {};
    gShimmer = {};
}

hx_model* BoltModel(int32_t colourVariant, int32_t n)
{
    if (n < 0 || n >= kBeamSets || colourVariant < 0 || colourVariant >= kBeamKinds)
        return nullptr;
    return gEffects.beams[n][colourVariant];
}

hx_model* ExplosionCardModel()
{
    return gEffects.explosion;
}

void ShadeSkySphere(hx_model* model, int32_t low, int32_t high, hx_material* material, bool banded)
{
    if (!HasArrays(model) || model->nvertices > kMaxShadedVertices)
        return;
    (void)material; // its map is noted by the sky code that draws through it
    float minY = 0, maxY = 0;
    for (int i = 0; i < model->nvertices; ++i) {
        minY = std::min(minY, model->vertices[i].p.y);
        maxY = std::max(maxY, model->vertices[i].p.y);
    }
    const float bottom = minY * 0.85f, top = maxY * 0.85f;
    const float span = float(high - low);
    for (int i = 0; i < model->nvertices; ++i) {
        hx_vertex& v = model->vertices[i];
        const float y = std::clamp(v.p.y, bottom, top);
        float colour;
        if (banded) {
            const float limit = y >= 0 ? top : bottom;
            // A flat cap (limit 0) keeps full strength rather than dividing by zero.
            const float f = limit != 0 ? (limit - y) * 32768.0f / limit : 32768.0f;
            colour = (float(CRand()) * (span / 2) / 32767.0f + span / 2 + float(low)) * f / 32768.0f;
        } else {
            const float r = float(CRand()) / 32767.0f;
            colour = float(low) + 0.1f * span + r * r * r * 0.9f * span;
        }
        v.index = ColourByte(colour);
    }
    for (int f = 0; f < model->nfaces; ++f)
        model->faces[f].material = nullptr;
    std::vector<int> uses(model->nvertices, 0);
    for (int f = 0; f < model->nfaces; ++f)
        for (uint16_t corner : model->faces[f].vertices)
            if (corner < model->nvertices)
                ++uses[corner];
    for (int i = 0; i < model->nvertices; ++i)
        if (uses[size_t(i)] < 6)
            model->vertices[i].index = 0;
    HxModelUpdate(model, kUpdateAll);
}

void InitPlasmaShimmer(SceneItem* item, int32_t base, int32_t top, const char* materialName)
{
    hx_model* model = ItemModel(item);
    if (!model || model->nvertices == 0 || model->nvertices > kMaxShadedVertices || !FrameworkRunning())
        return;
    hx_material* material = HxMaterialFind(materialName);
    gShimmer.set = true;
    gShimmer.material = material;
    gShimmer.base = base;
    gShimmer.top = top;
    for (int i = 0; i < 3; ++i) {
        gShimmer.phase[i] = float(CRand()) * 0.10471976f / 32767.0f;
        gShimmer.rate[i] = 0;
    }
    float minU = model->vertices[0].map.x, maxU = minU;
    float minY = model->vertices[0].p.y, maxY = minY;
    for (int i = 0; i < model->nvertices; ++i) {
        minU = std::min(minU, model->vertices[i].map.x);
        maxU = std::max(maxU, model->vertices[i].map.x);
        minY = std::min(minY, model->vertices[i].p.y);
        maxY = std::max(maxY, model->vertices[i].p.y);
        model->vertices[i].index = ColourByte(float(base));
    }
    gShimmer.uThird = (maxU - minU) / 3;
    gShimmer.halfHeight = (maxY - minY) / 2;
    for (int f = 0; f < model->nfaces; ++f)
        model->faces[f].material = material;
    model->flags = uint16_t((model->flags & ~4) | 0x10);
}

void AnimatePlasmaShimmer(SceneItem* item, int32_t intensity)
{
    hx_model* model = ItemModel(item);
    // Without a shimmer set up the base and top are unknown: colouring every
    // vertex 0 would black the model out, so it is left as it is.
    if (!model || model->nvertices > kMaxShadedVertices || !gShimmer.set)
        return;
    const float k = intensity >= 1 && intensity <= 249 ? float(intensity) / 250.0f : 1.0f;
    for (int i = 0; i < 3; ++i) {
        gShimmer.rate[i] += float(CRand()) * 0.010471975f / 32767.0f - 0.0052359877f;
        gShimmer.phase[i] += gShimmer.rate[i];
    }
    const float span = float(gShimmer.top - gShimmer.base);
    for (int i = 0; i < model->nvertices; ++i) {
        hx_vertex& v = model->vertices[i];
        // A zero span drops its term instead of dividing by zero.
        const float waveU = gShimmer.uThird != 0 ? std::sin((v.map.x / gShimmer.uThird + gShimmer.phase[0]) * 24 * 2.4f) : 0;
        const float waveV = gShimmer.uThird != 0 ? std::sin((v.map.y / gShimmer.uThird + gShimmer.phase[1]) * 24 * 1.2f) : 0;
        const float fade = gShimmer.halfHeight != 0 ? 1 - std::fabs(v.p.y) / gShimmer.halfHeight : 1;
        const float amount = (waveU + waveV + 2) / 4 * span * fade * k;
        v.index = ColourByte(std::trunc(float(gShimmer.top) - std::min(span, std::max(0.0f, amount))));
    }
    HxModelUpdate(model, 2);
    if (item->sim) {
        MatRotZ(gShimmer.rate[0] * 20, item->sim->matrix);
        MatRotX(gShimmer.rate[1] * 20, item->sim->matrix);
    }
}

void OpenPlasmaFilm(SceneItem* item)
{
    hx_model* model = ItemModel(item);
    hx_material* material = FrameworkRunning() ? HxMaterialFind("plasmavid") : nullptr;
    if (!model || !material || !material->colour_map)
        return;
    for (int f = 0; f < model->nfaces; ++f)
        model->faces[f].material = material;
    gPlasmaFilm.material = material;
    gPlasmaFilm.clip = OpenLoopClip("zqk\\resource\\video\\plasma.smk");
}

void AdvancePlasmaFilm(SceneItem* item)
{
    if (!gPlasmaFilm.clip && item && item->avatar && item->avatar->root && item->avatar->root->actor)
        OpenPlasmaFilm(item);
    if (gPlasmaFilm.clip && gPlasmaFilm.material && gPlasmaFilm.material->colour_map)
        DecodeLoopClip(gPlasmaFilm.clip, static_cast<uint8_t*>(gPlasmaFilm.material->colour_map->pixels));
}

void UpdateBoltStreak(SceneItem* item)
{
    Avatar* avatar = item->avatar;
    TDP* root = avatar ? avatar->root : nullptr;
    if (!root || !item->sim)
        return;
    Matrix4 m = item->sim->matrix;
    root->worldPosition = {m.m[12], m.m[13], m.m[14]};
    if (const SceneItem* viewer = gView.viewer; viewer && viewer->sim) {
        const Matrix4& eye = viewer->sim->matrix;
        const Vector3 d{m.m[12] - eye.m[12], m.m[13] - eye.m[13], m.m[14] - eye.m[14]};
        VecMulMat3T(root->viewPosition, d, eye);
    } else {
        root->viewPosition = root->worldPosition;
    }
    float length = VecFastLength(item->sim->velocity) / 3;
    avatar->travel += static_cast<int32_t>(length * gFrameClock.frameSeconds);
    if (const SceneItem* target = item->sim->target.Get()) {
        if (target->sim) {
            const Vector3 d{target->sim->matrix.m[12] - m.m[12], target->sim->matrix.m[13] - m.m[13],
                            target->sim->matrix.m[14] - m.m[14]};
            Vector3 local;
            VecMulMat3T(local, d, m);
            length = std::min(length, 2 * VecFastLength(local));
        }
    }
    TDP* child = root->firstChild;
    ParticleEmitter* lights =
        child && child->emitter && (child->emitter->flags & kEmitterMarkerLights) ? child->emitter : nullptr;
    if (root->viewPosition.z >= kBoltNearDepth || !lights) {
        // Far: one streak, the beam model stretched along its third axis to
        // the bolt's length; the lights are not drawn.
        if (lights)
            lights->flags |= kEmitterHidden;
        m.m[8] *= length;
        m.m[9] *= length;
        m.m[10] *= length;
        PlaceTdpActor(root, &m);
        if (root->actor)
            root->actor->model = root->model;
    } else {
        // Near: the lights, spread along half the length, draw the bolt.
        length /= 2;
        lights->flags &= ~kEmitterHidden;
        const int32_t n = lights->points ? std::clamp<int32_t>(lights->pointCount, 0, lights->capacity) : 0;
        for (int32_t i = 0; i < n; ++i)
            lights->points[i].offset.z = (-0.5f + static_cast<float>(i) / static_cast<float>(n)) * length;
        PlaceTdpActor(root, &m);
        if (root->actor)
            root->actor->model = CreateParticleDummyModel();
    }
    // The first child (the bolt's lights) sits on the bolt's centre, placed
    // with the Avatar matrix; the root keeps its own placement.
    if (child) {
        child->local.m[12] = child->local.m[13] = child->local.m[14] = 0;
        child->worldPosition = root->worldPosition;
        UpdateTdpTransform(child, &avatar->matrix);
    }
}

hx_model* MakeReducedModel(hx_model* model)
{
    // Break-up pieces are registered as "Shrapnel.<serial>": all are "Shrapnel".
    if (!model || !model->identifier || !FrameworkRunning() || std::strcmp(model->identifier, "Shrapnel") == 0 ||
        std::strncmp(model->identifier, "Shrapnel.", 9) == 0)
        return model;
    const std::string low = WithoutExtension(model->identifier) + "_LOW.lwo";
    if (std::FILE* file = platform::OpenDataFile(low.c_str(), "rb")) {
        std::fclose(file);
        int32_t size = 0;
        if (hx_model* reduced = LWO2HXM(low.c_str(), nullptr, &size))
            return reduced;
    }
    hx_material* top = nullptr;
    hx_material* bottom = nullptr;
    for (int f = 0; model->faces && f < model->nfaces; ++f) {
        hx_material* m = model->faces[f].material;
        if (!m || !m->identifier)
            continue;
        if (std::strcmp(m->identifier, "INDEX_TOP") == 0)
            top = m;
        else if (std::strcmp(m->identifier, "INDEX_BOT") == 0)
            bottom = m;
    }
    bool smallTop = false;
    if (top)
        smallTop = UseSmallMap(top, "Disaster - no colour_map for Top Map\n ", "SMALL_TOP");
    if (bottom)
        UseSmallMap(bottom, "Disaster - no colour_map for Bot Map\n ", "SMALL_BOT");
    if (!bottom)
        bottom = top;
    if (!top)
        top = bottom;
    if (!top)
        return model;

    hx_model* card = HxModelAllocate("Simplest", 4, 4);
    if (!card)
        return model;
    card->flags |= 6;
    const TemplateVertex* corners = smallTop ? kRectangleCard : kDiamondCard;
    const hx_bounds3& box = model->bounds;
    for (int i = 0; i < 4; ++i) {
        const TemplateVertex& t = corners[i];
        SetVertex(card->vertices[i], OnBox(t.x, box.min.x, box.max.x), OnBox(t.y, box.min.y, box.max.y),
                  OnBox(t.z, box.min.z, box.max.z), t.u, t.v, kCardColour);
    }
    SetFace(card->faces[0], 0, 3, 2, top);
    SetFace(card->faces[1], 0, 2, 1, top);
    SetFace(card->faces[2], 0, 2, 3, bottom);
    SetFace(card->faces[3], 0, 1, 2, bottom);
    card->pivot = {0, 0, 0};
    HxModelAdd(card);
    return card;
}
