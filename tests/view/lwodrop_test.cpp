// A LightWave object dropped on the window (through the platform's drop
// injection) becomes the player's ship's model; the face picker reads the
// faces of loaded models.
#include "tests/support/world_fixture.h"
#include "tests/view/lwo_fixture.h"

#include "game/startup.h"
#include "platform/window.h"
#include "system/calltrace.h"
#include "system/mainwindow.h"
#include "system/res/resman.h"
#include "world/floatingorigin.h"
#include "world/scenelist.h"

using namespace lwotest;

namespace {

void Pump()
{
    WindowMessage m;
    while (platform::PeekWindowMessage(m))
        DispatchWindowMessage(m);
}

class LwoDrop : public LwoTest {
protected:
    static void SetUpTestSuite()
    {
        gSettings = Settings{};
        gSettings.fullScreen = 255; // every message reaches the main procedure
        ASSERT_TRUE(RegisterWindowClasses());
        ASSERT_TRUE(CreateMainWindow(1));
    }
    static void TearDownTestSuite() { platform::VideoShutdown(); }
    void SetUp() override
    {
        LwoTest::SetUp();
        world.SetUp();
        ConnectLowerLayers(); // a dropped file reaches start-up's handler
        ASSERT_GT(ResInit(), 0u);
        Pump();
    }
    void TearDown() override
    {
        ResShutdown();
        world.TearDown();
        LwoTest::TearDown();
    }
    struct World : worldtest::WorldTest {
        void TestBody() override {}
        using worldtest::WorldTest::SetUp;
        using worldtest::WorldTest::TearDown;
    } world;
};

} // namespace

TEST_F(LwoDrop, ADroppedObjectBecomesThePlayersModel)
{
    gPlayerItem = worldtest::MakeItem();
    gPlayerItem->sim->radius = 999.0f; // bounds of the model before
    gPlayerItem->avatar->root->radius = 999.0f;
    WriteObject("dropped.LWO", Triangle());
    EnableCallTrace(true);
    ClearCallTrace();
    platform::InjectDrop({(scratch / "dropped.LWO").string()});
    Pump();
    ASSERT_NE(gPlayerItem->avatar->root->model, nullptr);
    EXPECT_EQ(gPlayerItem->avatar->root->lod[0], gPlayerItem->avatar->root->model);
    EXPECT_EQ(CountRecordedCalls("HandleDroppedFile"), 0u) << "the model path is no stand-in";
    EXPECT_EQ(gPlayerItem->sim->flags & 0x20, 0x20u);
    EXPECT_NE(gPlayerItem->avatar->root->radius, 999.0f); // computed again
    EXPECT_NE(gPlayerItem->sim->radius, 999.0f);
    EXPECT_GT(gPlayerItem->sim->radius, 0.0f);
    Resource* r = ResRegister("dropped.LWO", ResType::LwoModel);
    ASSERT_NE(r->data, nullptr);
    EXPECT_EQ(static_cast<hx_model*>(r->data)->nfaces, 1);

    // A file that is missing leaves the ship alone.
    gPlayerItem->sim->flags = 0;
    platform::InjectDrop({(scratch / "missing.lwo").string()});
    Pump();
    EXPECT_EQ(gPlayerItem->sim->flags & 0x20, 0u);
    EnableCallTrace(false);
}

TEST_F(LwoDrop, TheFacePickerReadsTheFacesOfLoadedModels)
{
    lwob::Object o;
    o.Point(0, 0, 0);
    o.Point(1, 0, 0);
    o.Point(0, -1, 0);
    o.polygons.push_back({{0, 1, 2}, 0});
    WriteObject("picked.lwo", o);
    int32_t size = 0;
    hx_model* m = LWO2HXM("picked.lwo", nullptr, &size);
    ASSERT_NE(m, nullptr);
    SceneItem* item = worldtest::MakeItem();
    item->avatar->root->model = m;
    Vector3 centre{}, normal{};
    ASSERT_EQ(FindHitFace(item, Vector3{30, 30, 1}, &centre, &normal), 255);
    EXPECT_NEAR(centre.x, 100.0f / 3, 1e-4);
    EXPECT_NEAR(centre.y, 100.0f / 3, 1e-4);
    EXPECT_NEAR(std::fabs(normal.z), 1.0f, 1e-6);
    SetModelMeshReader(nullptr);
}
