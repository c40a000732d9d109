// The software renderer loaded as a shared object along HEXMIRE_PATH (with
// the built-in driver of that name taken out of the table) draws the same
// picture as the built-in driver, and Z-sort renders through the order
// tables it imports.
#include <algorithm>
#include <filesystem>
#include <string>

#include "framework/image.h"
#include "framework/sys_conf.h"
#include "framework/token_ids.h"
#include "tests/render/softrend_fixture.h"

namespace {

// The fixture's scene: a lit, smooth, textured 16-bit square over a flat
// one, drawn by whichever "softrend" the framework finds.
std::vector<uint32_t> Picture(Softrend& t)
{
    hx_actor* light = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    HxActorAdd(t.world, light);
    HxLightEnable(light);
    hx_pixelmap* map = Softrend::Table("map", 16, 16, [](int x, int y) { return 40 + 8 * ((x + y) % 4); });
    HxMapAdd(map);
    hx_material* lit = Softrend::Material("lit", 0xFFFFFF, HX_MATF_LIT | HX_MATF_SMOOTH);
    lit->colour_map = map;
    HxMaterialAdd(lit);
    hx_material* flat = HxMaterialAdd(Softrend::Material("flat", 0x30A0F0, 0));
    t.Place(Softrend::Mesh("textured", {{6, 6, -20}, {50, 9, -25}, {12, 42, -15}}, lit, false,
                           {{0, 0}, {2, 0}, {0, 2}}));
    t.Place(Softrend::Mesh("flat", {{0, 20, -30}, {63, 20, -30}, {30, 47, -30}}, flat));
    hx_pixelmap* colour = Softrend::Screen(HX_PMT_RGB_565);
    t.Render(colour, Softrend::DepthBuffer());
    return Softrend::Pixels(colour);
}

class SoftrendShared : public Softrend {
public:
    std::string Drivers()
    {
        std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
        return (self.parent_path() / "render_drivers").string();
    }
    void BeforeDevices() override { HxSystemConfigSetString(HXT_HEXMIRE_PATH_STR, Drivers().c_str()); }
    void SetUp() override
    {
        HxImageBuiltInDriverRemove(kHxSoftrendDeviceName);
        Softrend::SetUp();
    }
    void TearDown() override
    {
        Softrend::TearDown();
        HxImageBuiltInDriverRemove(kHxSoftrendDeviceName);
        HxImageBuiltInDriverAdd(kHxSoftrendDeviceName, HxSoftrendDriverBegin);
    }
};

} // namespace

TEST_F(SoftrendShared, DrawsWhatTheBuiltInDriverDraws)
{
    ASSERT_TRUE(std::filesystem::exists(Drivers() + "/softrend.so")) << Drivers();
    hx_image* image = HxImageReference(kHxSoftrendDeviceName);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->type, HX_IMAGE_HOST) << "loaded as a shared object";
    HxImageDereference(image);
    const std::vector<uint32_t> shared = Picture(*this);

    // The same scene again with the built-in driver.
    Softrend::TearDown();
    ASSERT_TRUE(HxImageBuiltInDriverAdd(kHxSoftrendDeviceName, HxSoftrendDriverBegin));
    Softrend::SetUp();
    image = HxImageReference(kHxSoftrendDeviceName);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->type, HX_IMAGE_BUILT_IN);
    HxImageDereference(image);
    const std::vector<uint32_t> builtIn = Picture(*this);

    EXPECT_EQ(shared, builtIn);
    EXPECT_NE(std::count(builtIn.begin(), builtIn.end(), 0u), long(builtIn.size()));
}

TEST_F(SoftrendShared, DrawsAZSortPictureEqualToItsZBufferPicture)
{
    hx_image* image = HxImageReference(kHxSoftrendDeviceName);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->type, HX_IMAGE_HOST) << "loaded as a shared object";
    HxImageDereference(image);
    PlaceOverlappingSquares();
    hx_pixelmap* zb = Screen(HX_PMT_RGB_565);
    Render(zb, DepthBuffer());
    hx_pixelmap* zs = ZSortRender(HX_PMT_RGB_565);
    EXPECT_EQ(Pixels(zs), Pixels(zb));
    EXPECT_NE(PixelAt(zs, 40, 30), 0u) << "the buckets were filled and drawn";
}
