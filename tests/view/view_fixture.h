// Shared set-up for the 3D view tests: a fresh world, a scratch data
// folder made the working folder, a 640 x 480 memory frame buffer as the
// display canvas (8 or 16 bits), the view started over it through the
// software renderer, and helpers that make cube models, items that show
// them, a viewer and full-screen view windows, and read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "framework/pixelmap.h"
#include "framework/pmfile.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "framework/fw.h"
#include "system/display.h"
#include "tests/framework/hx_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/world_fixture.h"
#include "ui/windows.h"
#include "view/particles.h"
#include "view/renderpasses.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "view/viewwindows.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace viewtest {

constexpr int kWidth = 640, kHeight = 480;
// Projection distance of the full-screen view at 45 degrees.
inline const double kP45 = 240.0 / std::tan(22.5 * 3.14159265358979 / 180.0);

class ViewTest : public worldtest::WorldTest {
protected:
    // Before the start-up: the depth of the screen and the fixture files.
    virtual int Depth() const { return 8; }
    virtual void WriteFixtures() {}

    void SetUp() override
    {
        WorldTest::SetUp();
        savedMode = gScreenMode;
        frame.assign(size_t(kWidth) * kHeight * size_t(Depth() / 8), 0);
        pixels = frame.data();
        gScreenMode.width = kWidth;
        gScreenMode.height = kHeight;
        gScreenMode.depth = int16_t(Depth());
        gScreenMode.frameBuffer = &pixels;
        ASSERT_EQ(HxCoreBegin(), HX_OK); // the fixtures are written through the framework
        WriteFixtures();
        InitializeP3D();
        ASSERT_TRUE(gView.begun);
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
    }
    void TearDown() override
    {
        gTargetViewDrawing = gFullDepthClear = g3DSuppressed = 0;
        ResetSimulation();
        ShutdownP3D();
        HxDiagHandlerSet(nullptr);
        gScreenMode = savedMode;
        WorldTest::TearDown();
    }

    // Writes an 8-bit pixelmap file at a data path ('\' separated).
    void WritePixelmap(const char* path, int width, int height, const std::vector<uint8_t>& indices)
    {
        std::string local = path;
        for (char& c : local)
            if (c == '\\')
                c = '/';
        std::filesystem::create_directories((scratch / local).parent_path());
        hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, uint16_t(width), uint16_t(height), nullptr, 0);
        ASSERT_NE(pm, nullptr);
        for (int i = 0; i < width * height; ++i)
            HxPixelmapPixelSet(pm, i % width, i / width, indices[size_t(i)]);
        ASSERT_EQ(HxPixelmapSave((scratch / local).string().c_str(), pm), 1);
        HxPixelmapFree(pm);
    }

    // A registered cube of the edge, centred on its origin, faces outward,
    // all of the material.
    static hx_model* Cube(const char* name, float edge, hx_material* material)
    {
        static const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}};
        static const uint16_t faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4}, {3, 6, 2}, {3, 7, 6}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};
        hx_model* m = HxModelAllocate(name, 8, 12);
        for (int i = 0; i < 8; ++i)
            m->vertices[i].p = {corners[i][0] * edge / 2, corners[i][1] * edge / 2, corners[i][2] * edge / 2};
        for (int f = 0; f < 12; ++f) {
            std::memcpy(m->faces[f].vertices, faces[f], sizeof faces[f]);
            m->faces[f].smoothing = 1;
            m->faces[f].material = material;
        }
        m->flags = HX_MODF_DONT_WELD | HX_MODF_KEEP_ORIGINAL;
        return HxModelAdd(m);
    }
    // A material of one flat palette ramp entry (8 bits), registered.
    static hx_material* Flat(const char* name, uint8_t index)
    {
        hx_material* m = HxMaterialAllocate(name);
        m->index_base = index;
        m->index_range = 0;
        m->flags = 0;
        return HxMaterialAdd(m);
    }
    // An item at (x, y, z) showing the model through its root TDP.
    static SceneItem* Show(hx_model* model, float x, float y, float z, float radius, uint32_t flags = 0)
    {
        SceneItem* item = worldtest::MakeItem();
        Place(item, x, y, z);
        TDP* root = item->avatar->root;
        root->model = model;
        root->radius = radius;
        root->flags |= kTdpInScene | flags;
        return item;
    }
    static void Place(SceneItem* item, float x, float y, float z)
    {
        item->sim->matrix.m[12] = x;
        item->sim->matrix.m[13] = y;
        item->sim->matrix.m[14] = z;
        item->sim->position = {x, y, z};
        item->avatar->matrix = item->sim->matrix;
    }
    // A full-screen 3D view window watched from the item.
    WindowHandle* ViewWindow(SceneItem* viewer, int16_t x = 0, int16_t y = 0, int16_t w = kWidth, int16_t h = kHeight)
    {
        window = WindowHandle{};
        window.x = x;
        window.y = y;
        window.width = w;
        window.height = h;
        guiSetViewedItems(&window, viewer);
        RegisterViewWindow(&window);
        return &window;
    }
    // A type-0 emitter on the item holding one still point at the world
    // place: a spot so small that it is one pixel of its ramp's colour, one
    // up and left of where the point projects.
    static ParticleEmitter* OnePointEmitter(SceneItem* item, const Vector3& at, int16_t ramp = 1)
    {
        TDP* tdp = AttachParticleEmitter(item, nullptr, 0, 0, 1000, 1, 10, 0.0f, 0, 0.0f);
        if (!tdp)
            return nullptr;
        ParticleEmitter* e = tdp->emitter;
        e->alive = 0;
        EmitterPoint& p = e->points[0];
        p = EmitterPoint{};
        p.position = at;
        p.life = 10;
        p.brightness = 32;
        p.size = 0.001f;
        p.colour = ramp;
        return e;
    }
    // The planet, far-planet and nebula worlds with their cameras.
    static void BuildBackgroundWorlds()
    {
        gView.planetWorld = HxActorAllocate(HX_ACTOR_NONE, nullptr);
        gView.farPlanetWorld = HxActorAllocate(HX_ACTOR_NONE, nullptr);
        gView.planetCamera = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
        auto* c = static_cast<hx_camera*>(gView.planetCamera->type_data);
        c->type = HX_CAMERA_PERSPECTIVE;
        c->width = c->height = 80000.0f;
        c->hither_z = 1000.0f;
        c->yon_z = 1e14f;
        HxActorAdd(gView.planetWorld, gView.planetCamera);
    }

    // The palette index (or 16-bit value) at a screen position.
    uint32_t At(int x, int y) const
    {
        if (Depth() == 8)
            return frame[size_t(y) * kWidth + size_t(x)];
        uint16_t v;
        std::memcpy(&v, &frame[(size_t(y) * kWidth + size_t(x)) * 2], 2);
        return v;
    }
    // How many pixels of row y differ from the value.
    int RowSpan(int y, uint32_t background) const
    {
        int n = 0;
        for (int x = 0; x < kWidth; ++x)
            n += At(x, y) != background;
        return n;
    }

    ScratchFolder scratch{"view", true};
    std::vector<uint8_t> frame;
    uint8_t* pixels = nullptr;
    DisplayMode savedMode;
    WindowHandle window{};
};

} // namespace viewtest
