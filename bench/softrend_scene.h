// The reference combat scene of the OSMesa peer (bench/peers/osmesa_scene.c)
// built through the framework for the software renderer: 20 ellipsoid
// ships of 1,024 triangles (or up to 80, placed by the same rule) and a
// planet of 1,980, ambient light and two
// directional lights, 64 x 64 checker textures sampled nearest, back faces
// culled, 640 x 480 with a 16-bit depth buffer, perspective 45 degrees
// from 10 to 20,000. Shared by the benchmark and the agreement test.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene.h"

namespace scene_bench {

inline constexpr int kWidth = 640, kHeight = 480, kShips = 20, kMostShips = 80;

// An ellipsoid of (slices + 1) x (stacks + 1) vertices, as the peer makes
// it, with every face turned outwards.
inline hx_model* Ellipsoid(const char* name, int slices, int stacks, float rx, float ry, float rz,
                           hx_material* material, uint16_t modelFlags)
{
    const int nv = (slices + 1) * (stacks + 1);
    hx_model* m = HxModelAllocate(name, nv, slices * stacks * 2);
    int k = 0;
    for (int j = 0; j <= stacks; ++j)
        for (int i = 0; i <= slices; ++i, ++k) {
            const float th = float(M_PI) * float(j) / float(stacks), ph = 2.f * float(M_PI) * float(i) / float(slices);
            m->vertices[k].p = {rx * std::sin(th) * std::cos(ph), ry * std::cos(th), rz * std::sin(th) * std::sin(ph)};
            m->vertices[k].map = {float(i) / float(slices), float(j) / float(stacks)};
        }
    int f = 0;
    auto face = [&](int a, int b, int c) {
        hx_face& fc = m->faces[f++];
        const hx_vector3 &pa = m->vertices[a].p, &pb = m->vertices[b].p, &pc = m->vertices[c].p;
        const hx_vector3 e1 = {pb.x - pa.x, pb.y - pa.y, pb.z - pa.z}, e2 = {pc.x - pa.x, pc.y - pa.y, pc.z - pa.z};
        const hx_vector3 n = {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
        const hx_vector3 centre = {(pa.x + pb.x + pc.x) / 3, (pa.y + pb.y + pc.y) / 3, (pa.z + pb.z + pc.z) / 3};
        const bool inward = n.x * centre.x + n.y * centre.y + n.z * centre.z < 0;
        fc.vertices[0] = uint16_t(a);
        fc.vertices[1] = uint16_t(inward ? c : b);
        fc.vertices[2] = uint16_t(inward ? b : c);
        fc.smoothing = 1;
        fc.material = material;
    };
    for (int j = 0; j < stacks; ++j)
        for (int i = 0; i < slices; ++i) {
            const int a = j * (slices + 1) + i, b = a + slices + 1;
            face(a, a + 1, b);
            face(b, a + 1, b + 1);
        }
    m->flags = modelFlags;
    return HxModelAdd(m);
}

// A matrix turning by `degrees` about an axis, then moving to (x, y, z).
inline hx_matrix34 Place(float degrees, float ax, float ay, float az, float x, float y, float z)
{
    const float len = std::sqrt(ax * ax + ay * ay + az * az);
    hx_matrix34 m;
    const float turns = std::fmod(degrees, 360.0f) / 360.0f;
    HxMatrix34Rotate(&m, hx_angle(int32_t(std::lround(turns * 65536.0f)) & 0xFFFF), ax / len, ay / len, az / len);
    m.m[3][0] = x, m.m[3][1] = y, m.m[3][2] = z;
    return m;
}

// A directional light pointing from (x, y, z) towards the origin: its z
// axis is the direction towards the light.
inline hx_actor* DirectLight(hx_actor* world, float x, float y, float z, uint32_t colour)
{
    hx_actor* a = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    auto* l = static_cast<hx_light*>(a->type_data);
    l->type = HX_LIGHT_DIRECT;
    l->colour = colour;
    const float len = std::sqrt(x * x + y * y + z * z);
    const hx_vector3 zAxis = {x / len, y / len, z / len};
    hx_vector3 xAxis = {zAxis.z, 0, -zAxis.x};
    const float xl = std::sqrt(xAxis.x * xAxis.x + xAxis.z * xAxis.z);
    xAxis = xl > 0 ? hx_vector3{xAxis.x / xl, 0, xAxis.z / xl} : hx_vector3{1, 0, 0};
    const hx_vector3 yAxis = {zAxis.y * xAxis.z - zAxis.z * xAxis.y, zAxis.z * xAxis.x - zAxis.x * xAxis.z,
                              zAxis.x * xAxis.y - zAxis.y * xAxis.x};
    a->t.type = HX_TRANSFORM_MATRIX_LP;
    a->t.t.mat = {{{xAxis.x, xAxis.y, xAxis.z}, {yAxis.x, yAxis.y, yAxis.z}, {zAxis.x, zAxis.y, zAxis.z}, {0, 0, 0}}};
    HxActorAdd(world, a);
    HxLightEnable(a);
    return a;
}

struct Scene {
    hx_actor* world;
    hx_actor* camera;
    hx_actor* planet;
    hx_actor* ships[kMostShips];
    int shipCount;
    hx_pixelmap* palette;
    hx_pixelmap* texture;
    hx_pixelmap* shade;
    hx_material* material;
    int triangles;
};

// The scene. One material serves both outputs: on an 8-bit screen its
// texture goes through the shade table, on a 16-bit one through the
// texture's palette, modulated by the lighting.
inline Scene Build(bool lit = true, uint16_t modelFlags = 0, int ships = kShips)
{
    Scene s{};
    s.shipCount = std::min(std::max(ships, 0), kMostShips);
    s.palette = HxPixelmapAllocate(HX_PMT_RGBX_888, 256, 1, nullptr, 0);
    s.palette->identifier = HxResStrDup(s.palette, "palette");
    // Index 1 and 2: the checker's two colours; the rest a grey ramp.
    for (int i = 0; i < 256; ++i)
        HxPixelmapPixelSet(s.palette, i, 0, uint32_t(i << 16 | i << 8 | i));
    HxPixelmapPixelSet(s.palette, 1, 0, 200u << 16 | 160u << 8 | 60u);
    HxPixelmapPixelSet(s.palette, 2, 0, 90u << 16 | 50u << 8 | 60u);
    s.texture = HxPixelmapAllocate(HX_PMT_INDEX_8, 64, 64, nullptr, 0);
    s.texture->identifier = HxResStrDup(s.texture, "checker");
    s.texture->map = s.palette;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            HxPixelmapPixelSet(s.texture, x, y, ((x / 8 + y / 8) & 1) ? 1u : 2u);
    HxMapAdd(s.texture);
    // 32 light levels of 256 texels: darker rows lower in the grey ramp.
    s.shade = HxPixelmapAllocate(HX_PMT_INDEX_8, 256, 32, nullptr, 0);
    s.shade->identifier = HxResStrDup(s.shade, "shade");
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 256; ++x)
            HxPixelmapPixelSet(s.shade, x, y, uint32_t(16 + ((x * 7 + y * 5) % 224)));
    HxTableAdd(s.shade);
    hx_material* m = HxMaterialAllocate("hull");
    m->flags = (lit ? uint32_t(HX_MATF_LIT) : 0u) | HX_MATF_SMOOTH;
    m->ka = 0.2f;
    m->kd = 0.8f;
    m->colour_map = s.texture;
    m->index_shade = s.shade;
    m->index_base = 16;
    m->index_range = 63;
    s.material = HxMaterialAdd(m);

    s.world = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    s.camera = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
    auto* c = static_cast<hx_camera*>(s.camera->type_data);
    c->type = HX_CAMERA_PERSPECTIVE;
    c->field_of_view = 8192; // 45 degrees
    c->hither_z = 10;
    c->yon_z = 20000;
    c->aspect = float(kWidth) / float(kHeight);
    s.camera->t.type = HX_TRANSFORM_IDENTITY;
    HxActorAdd(s.world, s.camera);
    DirectLight(s.world, 0.5f, 0.6f, 0.6f, 0xCCCCB3);
    DirectLight(s.world, -0.7f, -0.2f, 0.3f, 0x4D4D80);

    hx_model* ship = Ellipsoid("ship", 32, 16, 60, 18, 25, s.material, modelFlags);
    hx_model* planet = Ellipsoid("planet", 45, 22, 400, 400, 400, s.material, modelFlags);
    s.triangles = s.shipCount * 32 * 16 * 2 + 45 * 22 * 2;
    s.planet = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
    s.planet->model = planet;
    HxActorAdd(s.world, s.planet);
    for (int i = 0; i < s.shipCount; ++i) {
        s.ships[i] = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
        s.ships[i]->model = ship;
        HxActorAdd(s.world, s.ships[i]);
    }
    return s;
}

// Frame n's positions, as the peer turns them.
inline void Animate(Scene& s, int frame)
{
    s.planet->t.type = HX_TRANSFORM_MATRIX_LP;
    s.planet->t.t.mat = Place(float(frame) * 0.2f, 0, 1, 0, 350, -150, -1600);
    for (int i = 0; i < s.shipCount; ++i) {
        const float x = -500.0f + float(i % 5) * 250, y = -200.0f + float(i / 5) * 130,
                    z = -500.0f - float(i % 7) * 90;
        s.ships[i]->t.type = HX_TRANSFORM_MATRIX_LP;
        s.ships[i]->t.t.mat = Place(float(frame) * 1.5f + float(i) * 17, 0.3f, 1, 0.1f, x, y, z);
    }
}

// A screen of the pixel type with its origin in the middle (where the
// view's axis lands) and a 16-bit depth buffer.
inline hx_pixelmap* ScreenOf(uint8_t type)
{
    hx_pixelmap* pm = HxPixelmapAllocate(type, kWidth, kHeight, nullptr, 0);
    pm->origin_x = kWidth / 2;
    pm->origin_y = kHeight / 2;
    return pm;
}

} // namespace scene_bench
