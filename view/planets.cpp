// Planet textures and model utilities of the scripts: the midpoint-
// displacement texture generator, the planet materials and face tags, the
// planet sphere loader the planet pool uses, the shade-table display, and
// the statements that size, move, mirror and re-map loaded models.
//
// The planet records and the planet model pool are the world's
// (world/universe.h); this module only fills the models and materials.
#include "view/planets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "platform/files.h"
#include "system/errors.h"
#include "system/res/pcx.h"
#include "view/renderpasses.h"
#include "view/vectoricons.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "world/collisions.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/universe.h"

namespace {

constexpr const char* kTriballPath = "hexmire\\dat\\triball.dat";
constexpr const char* kTriballIndexPath = "hexmire\\dat\\triballind.dat";
constexpr const char* kPlanetTextureFile = "zqk\\resource\\art\\textures\\planets\\%s%i.pix";
constexpr const char* kGeneratedName = "$b_%1i_%3i_%i.pix";
constexpr const char* kBumpFile = "zqk\\resource\\art\\textures\\planets\\bump%1i_%i.pcx";

constexpr int kHeightSide = 512;
constexpr int kTextureSide = 256;
constexpr int32_t kGeneratedTextureBytes = 0x20000;
constexpr uint16_t kUpdateFaceMaterials = 0x10; // the model update of the face materials alone

// Face tags: black, the first surface, the second surface.
constexpr uint8_t kTagBlack = 0, kTagFirst = 1, kTagSecond = 2;

struct PlanetState {
    uint16_t seed; // the texture generator's own sequence
    uint8_t tags[kPlanetFaceTags];
};
PlanetState gPlanets{0, {}};

// The generator's next value; textures repeat exactly from a given seed.
uint16_t NextPlanetRandom()
{
    gPlanets.seed = static_cast<uint16_t>(gPlanets.seed * 13709u + 13849u);
    return gPlanets.seed;
}

uint8_t& HeightAt(std::vector<uint8_t>& map, int x, int y)
{
    return map[size_t(y & (kHeightSide - 1)) * kHeightSide + size_t(x & (kHeightSide - 1))];
}

// Sets the point, when still 0, to the base plus a displacement within
// +-c/2; the generator is drawn only for a point that is set.
void Displace(std::vector<uint8_t>& map, int x, int y, int base, int c)
{
    uint8_t& v = HeightAt(map, x, y);
    if (v != 0)
        return;
    const int offset = (NextPlanetRandom() / 2) % (c + 1) - c / 2;
    v = static_cast<uint8_t>(base + offset);
}

// One square of half size c at (x, y): edge midpoints, centre, then the
// four quadrants, depth first.
void MidpointSquare(std::vector<uint8_t>& map, int x, int y, int c)
{
    const int tl = HeightAt(map, x, y), tr = HeightAt(map, x + 2 * c, y);
    const int bl = HeightAt(map, x, y + 2 * c), br = HeightAt(map, x + 2 * c, y + 2 * c);
    Displace(map, x + c, y, (tl + tr) / 2, c);
    Displace(map, x, y + c, (tl + bl) / 2, c);
    Displace(map, x + c, y + 2 * c, (bl + br) / 2, c);
    Displace(map, x + 2 * c, y + c, (tr + br) / 2, c);
    const int centre = (HeightAt(map, x + c, y) + HeightAt(map, x, y + c) + HeightAt(map, x + c, y + 2 * c) +
                        HeightAt(map, x + 2 * c, y + c)) /
                       4;
    Displace(map, x + c, y + c, centre, c);
    if (c < 2)
        return;
    const int h = c / 2;
    MidpointSquare(map, x, y, h);
    MidpointSquare(map, x + c, y, h);
    MidpointSquare(map, x, y + c, h);
    MidpointSquare(map, x + c, y + c, h);
}

// Latitude ramps by column: texture 2 fades out toward 192, texture 3 in
// from 72.
float RampOfTexture2(int j)
{
    if (j < 150)
        return 1.0f;
    if (j < 192)
        return float(192 - j) / float(192 - 150);
    return 0.0f;
}

float RampOfTexture3(int j)
{
    if (j < 72)
        return 0.0f;
    if (j < 118)
        return float(j - 72) / float(118 - 72);
    return 1.0f;
}

using RampFunction = float (*)(int);
struct TextureRecipe {
    int number;        // 2 or 3 in the names
    int firstColumn;   // of the height map
    RampFunction ramp; // by texture column
};
constexpr TextureRecipe kRecipes[2] = {{2, 0, RampOfTexture2}, {3, kTextureSide, RampOfTexture3}};

uint8_t ClampToByte(float v)
{
    return static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f));
}

// Darkens the texture by the bump picture; a picture that cannot be read or
// is smaller than the texture leaves it as it is.
void ApplyBumpShading(uint8_t* pixels, int number, int textureNumber)
{
    char path[160];
    std::snprintf(path, sizeof path, kBumpFile, textureNumber, number);
    PcxImage* bump = PcxLoad(path);
    if (!bump)
        return;
    if (bump->width >= kTextureSide && bump->height >= kTextureSide && bump->pixels)
        for (int i = 0; i < kTextureSide; ++i)
            for (int j = 0; j < kTextureSide; ++j) {
                uint8_t& p = pixels[i * kTextureSide + j];
                const int b = bump->pixels[size_t(i) * size_t(bump->width) + size_t(j)];
                p = static_cast<uint8_t>((p * ((b >> 1) | 0x80)) >> 8);
            }
    PcxFree(bump);
}

void GeneratedTextureName(char* out, size_t size, int32_t a, int32_t b, int number)
{
    std::snprintf(out, size, kGeneratedName, int(a), int(b), number);
}

hx_material* BlackMaterial()
{
    return HxMaterialFind("black");
}

uint8_t TagOfFace(int face)
{
    return face < kPlanetFaceTags ? gPlanets.tags[face] : kTagFirst;
}

// Calls the operation with each vertex of the model, then updates it whole.
template <class Operation>
void EachVertex(hx_model* model, Operation op)
{
    if (!model)
        return;
    for (int i = 0; i < model->nvertices; ++i)
        op(model->vertices[i].p);
    HxModelUpdate(model, HX_MODU_ALL);
}

// Clears the face materials (the maps replace them), fits the map over the
// two axes and applies it.
void FitAndMap(hx_model* model, int axisU, int axisV, int type, bool clearMaterials)
{
    if (!model)
        return;
    if (clearMaterials)
        for (int f = 0; f < model->nfaces; ++f)
            model->faces[f].material = nullptr;
    hx_matrix34 fit{};
    HxModelFitMap(model, axisU, axisV, &fit);
    HxModelApplyMap(model, type, &fit);
    HxModelUpdate(model, HX_MODU_ALL);
}

// Whether the model has vertices and faces and every face's corners are
// among its vertices.
bool IsWholeModel(const hx_model& model)
{
    if (model.nvertices <= 0 || model.nfaces <= 0 || !model.vertices || !model.faces)
        return false;
    for (int f = 0; f < model.nfaces; ++f)
        for (uint16_t corner : model.faces[f].vertices)
            if (corner >= model.nvertices)
                return false;
    return true;
}

} // namespace

const uint8_t* PlanetFaceTags()
{
    return gPlanets.tags;
}

void GeneratePlanetTextures(int32_t a, int32_t b)
{
    gPlanets.seed = static_cast<uint16_t>((a * b) & 0x7fff);
    hx_pixelmap* maps[2] = {HxPixelmapAllocate(HX_PMT_INDEX_8, kTextureSide, kTextureSide, nullptr, 0),
                            HxPixelmapAllocate(HX_PMT_INDEX_8, kTextureSide, kTextureSide, nullptr, 0)};
    if (!maps[0] || !maps[1]) {
        HxPixelmapFree(maps[0]);
        HxPixelmapFree(maps[1]);
        return;
    }
    gView.textureTotal += kGeneratedTextureBytes;

    std::vector<uint8_t> height(size_t(kHeightSide) * kHeightSide, 0);
    height[0] = static_cast<uint8_t>(b);
    MidpointSquare(height, 0, 0, kTextureSide);

    for (int t = 0; t < 2; ++t) {
        auto* pixels = static_cast<uint8_t*>(maps[t]->pixels);
        const int rowBytes = maps[t]->row_bytes;
        std::vector<uint8_t> texture(size_t(kTextureSide) * kTextureSide);
        for (int i = 0; i < kTextureSide; ++i)
            for (int j = 0; j < kTextureSide; ++j) {
                const int column = kRecipes[t].firstColumn + j;
                texture[size_t(i) * kTextureSide + size_t(j)] = static_cast<uint8_t>(
                    (HeightAt(height, column, 2 * i) + HeightAt(height, column, 2 * i + 1)) / 2);
            }
        ApplyBumpShading(texture.data(), kRecipes[t].number, a);
        for (int i = 0; i < kTextureSide; ++i)
            std::memcpy(pixels + size_t(i) * size_t(rowBytes), &texture[size_t(i) * kTextureSide], kTextureSide);
    }

    const int base1 = (NextPlanetRandom() % 7) * 32 + 16;
    const int base2 = (NextPlanetRandom() % 7) * 32 + 16;
    for (int t = 0; t < 2; ++t) {
        auto* pixels = static_cast<uint8_t*>(maps[t]->pixels);
        for (int i = 0; i < kTextureSide; ++i)
            for (int j = 0; j < kTextureSide; ++j) {
                uint8_t& p = pixels[size_t(i) * size_t(maps[t]->row_bytes) + size_t(j)];
                const int x = p / 8 - 14;
                const float ramp = kRecipes[t].ramp(j);
                p = p >= 112 ? ClampToByte(float(base1) + float(x) * ramp) : ClampToByte(float(base2) - float(x) * ramp);
            }
        char name[64];
        GeneratedTextureName(name, sizeof name, a, b, kRecipes[t].number);
        maps[t]->identifier = HxResStrDup(maps[t], name);
        HxMapAdd(maps[t]);
    }
}

void SetPlanetTextures(SceneItem* item, hx_model* model, const char* name, hx_material** material1,
                       hx_material** material2, int32_t planetIndex)
{
    (void)model;
    // Without the 3D view there are no maps or materials to fill.
    if (!gView.begun || !name || planetIndex < 0 || planetIndex >= kPlanetModelSlots)
        return;
    char names[2][160];
    const bool generated = name[0] == '$' || std::strcmp(name, "random") == 0;
    hx_pixelmap* maps[2] = {};
    if (!generated) {
        for (int t = 0; t < 2; ++t) {
            std::snprintf(names[t], sizeof names[t], kPlanetTextureFile, name, kRecipes[t].number);
            maps[t] = HxMapFind(names[t]);
        }
    } else {
        const int32_t a = item && item->avatar ? item->avatar->params[kParamSurfaceKind] : 0;
        const int32_t b = item && item->avatar ? item->avatar->params[kParamSurfaceSeed] : 0;
        for (int t = 0; t < 2; ++t)
            GeneratedTextureName(names[t], sizeof names[t], a, b, kRecipes[t].number);
        maps[0] = HxMapFind(names[0]);
        maps[1] = HxMapFind(names[1]);
        if (!maps[0] || !maps[1]) {
            GeneratePlanetTextures(a, b);
            maps[0] = HxMapFind(names[0]);
            maps[1] = HxMapFind(names[1]);
        }
        if (item && item->avatar && item->avatar->root && maps[0])
            item->avatar->root->materialName = maps[0]->identifier;
    }
    hx_material* materials[2] = {gPlanetMaterials[2 * planetIndex], gPlanetMaterials[2 * planetIndex + 1]};
    for (int t = 0; t < 2; ++t) {
        if (!materials[t])
            continue;
        materials[t]->colour_map = maps[t];
        materials[t]->index_shade = SharedGeneratedShadeTable();
        HxMaterialUpdate(materials[t], HX_MODU_ALL);
    }
    if (material1)
        *material1 = materials[0];
    if (material2)
        *material2 = materials[1];
    // The slot's sphere shows them: each face by its tag.
    AssignPlanetFaceMaterials(planetIndex);
}

void AssignPlanetFaceMaterials(int32_t planetIndex)
{
    if (!gView.begun || planetIndex < 0 || planetIndex >= kPlanetModelSlots)
        return;
    hx_model* model = gPlanetModelSlots[planetIndex].model;
    hx_material* materials[3] = {BlackMaterial(), gPlanetMaterials[2 * planetIndex],
                                 gPlanetMaterials[2 * planetIndex + 1]};
    for (int t = 1; t < 3; ++t)
        if (materials[t]) {
            materials[t]->flags |= 0x4;
            HxMaterialUpdate(materials[t], HX_MODU_ALL);
        }
    if (!model)
        return;
    for (int f = 0; f < model->nfaces; ++f)
        model->faces[f].material = materials[std::min<int>(TagOfFace(f), kTagSecond)];
    HxModelUpdate(model, kUpdateFaceMaterials);
}

void TogglePlanetMaterialFlag(hx_material* material, int32_t on)
{
    if (!material)
        return;
    const uint32_t wanted = on ? 0x20u : 0u;
    if (material->flags == wanted)
        return;
    material->flags = wanted;
    HxMaterialUpdate(material, HX_MODU_ALL);
}

void DropPlanetModel(TDP* tdp)
{
    if (!tdp)
        return;
    tdp->model = nullptr;
    if (tdp->actor)
        tdp->actor->model = GetOnePointModel();
}

void LoadTriballIndex()
{
    std::memset(gPlanets.tags, kTagFirst, sizeof gPlanets.tags);
    std::FILE* file = platform::OpenDataFile(kTriballIndexPath, "rb");
    if (!file)
        return;
    const size_t got = std::fread(gPlanets.tags, 1, sizeof gPlanets.tags, file);
    std::fclose(file);
    std::fill(gPlanets.tags + got, gPlanets.tags + sizeof gPlanets.tags, kTagFirst);
}

hx_model* LoadPlanetSphere()
{
    // Without the sphere planets are drawn as points. The sphere is a small
    // model: a far larger file is refused unread, and one cut short, whose
    // faces would name vertices it lacks, is refused before it is drawn.
    constexpr long kSphereMaxBytes = 1 << 20;
    std::FILE* file = platform::OpenDataFile(kTriballPath, "rb");
    if (!file) {
        ReportDataFileFailure(kTriballPath, platform::DataFileFailure());
        return nullptr;
    }
    const long size = platform::FileSize(file);
    std::fclose(file);
    if (size > kSphereMaxBytes) {
        ReportDataFileFailure(kTriballPath, "larger than the size allowed");
        return nullptr;
    }
    hx_model* sphere = HxModelLoad(kTriballPath);
    if (!sphere || !IsWholeModel(*sphere)) {
        ReportDataFileFailure(kTriballPath, "truncated or not a model file");
        if (sphere)
            HxModelFree(sphere);
        return nullptr;
    }
    // Each slot's sphere takes the face materials of the planet it shows
    // (AssignPlanetFaceMaterials) whenever a new planet takes the slot: it
    // keeps its faces after the framework prepares it.
    sphere->flags |= HX_MODF_UPDATEABLE;
    return sphere;
}

void SpherifyPlanetModel(hx_model* model, float radius)
{
    if (!model)
        return;
    for (int i = 0; i < model->nvertices; ++i) {
        hx_vector3& p = model->vertices[i].p;
        const float length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        if (length > 0) {
            const float k = radius / length;
            p = {p.x * k, p.y * k, p.z * k};
        }
    }
    HxModelUpdate(model, HX_MODU_BOUNDS);
    const int tagged = std::min<int>(model->nfaces, kPlanetFaceTags);
    for (int f = 0; f < tagged; ++f) {
        const hx_material* m = model->faces[f].material;
        const char* id = m && m->identifier ? m->identifier : "";
        gPlanets.tags[f] = std::strcmp(id, "INDEX_PLANET1") == 0   ? kTagBlack
                           : std::strcmp(id, "INDEX_PLANET2") == 0 ? kTagFirst
                                                                   : kTagSecond;
    }
}

void ShowShadeTable(const char* name)
{
    if (!gView.begun)
        return;
    // The generated table once one is built (the one the sky and the
    // planets shade through), else the named one.
    hx_pixelmap* table = FindGeneratedShadeTable();
    if (!table && name)
        table = HxTableFind(name);
    hx_pixelmap* screen = gView.screen;
    if (!table || !screen || !table->pixels || !screen->pixels)
        return;
    const int rows = std::min<int>({64, table->height, screen->height});
    const int entries = std::min<int>({256, table->width, screen->width / 2});
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < entries; ++x) {
            const uint32_t v = HxPixelmapPixelQuery(table, x - table->origin_x, y - table->origin_y);
            HxPixelmapPixelSet(screen, 2 * x - screen->origin_x, y - screen->origin_y, v);
            HxPixelmapPixelSet(screen, 2 * x + 1 - screen->origin_x, y - screen->origin_y, v);
        }
}

void SizeModel(hx_model* model, float radius)
{
    if (!model)
        return;
    float farthest = 0;
    for (int i = 0; i < model->nvertices; ++i) {
        const hx_vector3& p = model->vertices[i].p;
        farthest = std::max(farthest, std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z));
    }
    const float k = radius / farthest;
    EachVertex(model, [k](hx_vector3& p) { p = {p.x * k, p.y * k, p.z * k}; });
    if (HullBounds* bounds = FindHullBounds(model))
        ScaleHullBounds(bounds, bounds->radius * k);
}

void ScaleModel(hx_model* model, float factor)
{
    EachVertex(model, [factor](hx_vector3& p) { p = {p.x * factor, p.y * factor, p.z * factor}; });
    if (HullBounds* bounds = model ? FindHullBounds(model) : nullptr)
        ScaleHullBounds(bounds, bounds->radius * factor);
}

void SlideModel(hx_model* model, float dx, float dy, float dz)
{
    EachVertex(model, [=](hx_vector3& p) { p = {p.x + dx, p.y + dy, p.z + dz}; });
}

void RotateModelX90(hx_model* model)
{
    EachVertex(model, [](hx_vector3& p) { std::swap(p.y, p.z); });
}

void ReflectModel(hx_model* model, int32_t axis)
{
    EachVertex(model, [axis](hx_vector3& p) {
        if (axis == 0)
            p.x = -p.x;
        else if (axis == 1)
            p.y = -p.y;
        else if (axis == 2)
            p.z = -p.z;
    });
}

void CylMapModel(hx_model* model)
{
    FitAndMap(model, 0, 1, HX_APPLYMAP_CYLINDER, false);
}

void SphMapModel(hx_model* model)
{
    FitAndMap(model, 0, 2, HX_APPLYMAP_SPHERE, true);
}

void PlnMapModel(hx_model* model)
{
    FitAndMap(model, 0, 2, HX_APPLYMAP_PLANE, true);
}
