// Shared fixture for the software renderer's tests: the framework and the
// scene layer begun with the "softrend" device, a parallel camera that
// maps view space onto a 64 x 48 screen one unit a pixel (so a vertex is
// placed at a screen position), and helpers to make flat models, materials
// and tables and to read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "framework/devlist.h"
#include "framework/drivers/softrend/softrend.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "tests/framework/hx_fixture.h"

// A vertex by its screen position (pixel i covers [i, i+1)) and its view z.
struct ScreenPoint {
    float x, y, z;
};

class Softrend : public ::testing::Test {
public:
    static constexpr int kWidth = 64, kHeight = 48;

    void SetUp() override
    {
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
        ASSERT_EQ(HxBegin(), HX_OK);
        BeforeDevices();
        ASSERT_EQ(HxDevAdd(nullptr, kHxSoftrendDeviceName, nullptr), HX_OK);
        ASSERT_EQ(HxZbBegin(0, 0), HX_OK);
        world = HxActorAllocate(HX_ACTOR_NONE, nullptr);
        camera = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
        auto* c = static_cast<hx_camera*>(camera->type_data);
        c->type = HX_CAMERA_PARALLEL;
        c->width = kWidth;
        c->height = kHeight;
        c->aspect = 1;
        c->hither_z = 1;
        c->yon_z = 100;
        HxActorAdd(world, camera);
    }
    void TearDown() override
    {
        HxZbEnd();
        HxEnd();
        HxDiagHandlerSet(nullptr);
    }

    // Between the framework's begin and the device's: configuration.
    virtual void BeforeDevices() {}

    static hx_pixelmap* Screen(uint8_t type, uint32_t clear = 0)
    {
        hx_pixelmap* pm = HxPixelmapAllocate(type, kWidth, kHeight, nullptr, 0);
        HxPixelmapFill(pm, clear);
        // The view's axis lands on the origin: put it in the middle.
        pm->origin_x = kWidth / 2;
        pm->origin_y = kHeight / 2;
        return pm;
    }
    static hx_pixelmap* DepthBuffer(uint8_t type = HX_PMT_DEPTH_16)
    {
        hx_pixelmap* pm = HxPixelmapAllocate(type, kWidth, kHeight, nullptr, 0);
        HxPixelmapFill(pm, type == HX_PMT_DEPTH_16 ? 0xFFFF : 0xFFFFFFFF);
        return pm;
    }
    // A pixelmap of a type filled by a function of (column, row) giving
    // its pixel values.
    template <typename Fn>
    static hx_pixelmap* Filled(uint8_t type, const char* name, int width, int height, Fn value)
    {
        hx_pixelmap* pm = HxPixelmapAllocate(type, uint16_t(width), uint16_t(height), nullptr, 0);
        pm->identifier = HxResStrDup(pm, name);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                HxPixelmapPixelSet(pm, x, y, uint32_t(value(x, y)));
        return pm;
    }
    // An 8-bit table.
    template <typename Fn>
    static hx_pixelmap* Table(const char* name, int width, int height, Fn value)
    {
        return Filled(HX_PMT_INDEX_8, name, width, height, value);
    }
    static hx_material* Material(const char* name, uint32_t colour, uint32_t flags)
    {
        hx_material* m = HxMaterialAllocate(name);
        m->colour = colour;
        m->flags = flags;
        return m;
    }

    // A model of triangles given by screen corners, each face turned to
    // face the camera unless `asGiven`.
    static hx_model* Mesh(const char* name, const std::vector<ScreenPoint>& corners, hx_material* material,
                          bool asGiven = false, std::vector<hx_vector2> maps = {})
    {
        const int n = int(corners.size());
        hx_model* m = HxModelAllocate(name, n, n / 3);
        for (int i = 0; i < n; ++i) {
            m->vertices[i].p = {corners[i].x - 32.5f, 24.5f - corners[i].y, corners[i].z};
            if (!maps.empty())
                m->vertices[i].map = maps[size_t(i)];
        }
        for (int f = 0; f < n / 3; ++f) {
            hx_face& face = m->faces[f];
            face.vertices[0] = uint16_t(3 * f);
            face.vertices[1] = uint16_t(3 * f + 1);
            face.vertices[2] = uint16_t(3 * f + 2);
            face.smoothing = uint16_t(1 << (f % 16));
            face.material = material;
            const hx_vector3 &a = m->vertices[3 * f].p, &b = m->vertices[3 * f + 1].p, &c = m->vertices[3 * f + 2].p;
            const float z = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
            if (!asGiven && z < 0)
                std::swap(face.vertices[1], face.vertices[2]);
        }
        m->flags = HX_MODF_DONT_WELD;
        return HxModelAdd(m);
    }
    hx_actor* Place(hx_model* model)
    {
        hx_actor* a = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
        a->model = model;
        a->t.type = HX_TRANSFORM_IDENTITY;
        HxActorAdd(world, a);
        return a;
    }
    // A flat face behind everything else, over the whole screen:
    // `index` on 8-bit screens (an unlit ramp of one entry), `colour` on
    // the others.
    void PlaceBackdrop(uint32_t colour, uint8_t index)
    {
        hx_material* behind = Material("behind", colour, 0);
        behind->index_base = index;
        behind->index_range = 0;
        HxMaterialAdd(behind);
        Place(Mesh("back", {{0, 0, -50}, {63, 0, -50}, {0, 47, -50}, {63, 0, -50}, {63, 47, -50}, {0, 47, -50}},
                   behind));
    }
    // Takes a placed model out of the world again, and its material (when
    // given) out of the scene.
    static void Unplace(hx_actor* a, hx_material* material = nullptr)
    {
        HxActorRemove(a);
        HxActorFree(a);
        if (material)
            HxMaterialRemove(material);
    }

    // A square of `size` pixels at (x, y) and view depth z, mapped from
    // (0, 0) to (repeats, repeats) of its map.
    static std::vector<ScreenPoint> Square(float x, float y, float size, float z, std::vector<hx_vector2>* maps,
                                           float repeats)
    {
        *maps = {{0, 0}, {repeats, 0}, {repeats, repeats}, {0, 0}, {repeats, repeats}, {0, repeats}};
        return {{x, y, z}, {x + size, y, z}, {x + size, y + size, z}, {x, y, z}, {x + size, y + size, z}, {x, y + size, z}};
    }
    // Such a square of one material, at depth 10, placed in the world.
    hx_actor* PlaceSquare(hx_material* material, float x, float y, float size, float repeats)
    {
        std::vector<hx_vector2> maps;
        const std::vector<ScreenPoint> corners = Square(x, y, size, -10, &maps, repeats);
        return Place(Mesh("square", corners, material, false, maps));
    }
    hx_error Render(hx_pixelmap* colour, hx_pixelmap* depth)
    {
        return HxZbSceneRender(world, camera, colour, depth);
    }
    // Every pixel, row by row.
    static std::vector<uint32_t> Pixels(hx_pixelmap* pm)
    {
        std::vector<uint32_t> out;
        for (int y = 0; y < pm->height; ++y)
            for (int x = 0; x < pm->width; ++x)
                out.push_back(PixelAt(pm, x, y));
        return out;
    }
    // A pixel by its position from the top-left corner, whatever the origin.
    static uint32_t PixelAt(hx_pixelmap* pm, int x, int y)
    {
        return HxPixelmapPixelQuery(pm, x - pm->origin_x, y - pm->origin_y);
    }
    static uint32_t Rgb565(uint32_t rgb)
    {
        return ((rgb >> 19) & 31) << 11 | ((rgb >> 10) & 63) << 5 | ((rgb >> 3) & 31);
    }

    // Three overlapping squares at three depths, none crossing another,
    // placed nearest first.
    void PlaceOverlappingSquares()
    {
        hx_material* red = HxMaterialAdd(Material("red", 0xFF0000, HX_MATF_SMOOTH));
        hx_material* green = HxMaterialAdd(Material("green", 0x00FF00, 0));
        hx_material* blue = HxMaterialAdd(Material("blue", 0x0000FF, 0));
        auto square = [](float x, float y, float z) {
            return std::vector<ScreenPoint>{{x, y, z}, {x + 30, y, z}, {x + 30, y + 25, z}, {x, y, z}, {x + 30, y + 25, z}, {x, y + 25, z}};
        };
        Place(Mesh("near", square(5.5f, 4.2f, -10), red));
        Place(Mesh("middle", square(15.1f, 10.7f, -40), green));
        Place(Mesh("far", square(25.9f, 17.3f, -80), blue));
    }
    // The world drawn by a Z-sort render.
    hx_pixelmap* ZSortRender(uint8_t type)
    {
        std::vector<uint8_t> heap(64 * 1024);
        EXPECT_EQ(HxZsBegin(0, heap.data(), uint32_t(heap.size())), heap.data());
        hx_pixelmap* colour = Screen(type);
        HxZsSceneRender(world, camera, colour);
        HxZsEnd();
        return colour;
    }

    hx_actor* world = nullptr;
    hx_actor* camera = nullptr;
};
