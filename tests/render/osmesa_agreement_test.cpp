// The software renderer's 16-bit picture against Mesa's (OSMesa, loaded
// at run time) on a flat, nearest-sampled scene: the reference combat
// scene unlit, textured through the palette, perspective-correct. Each
// renderer samples pixel centres; the framework's screen puts the view's
// edge on the first pixel's centre where GL puts it on the pixel's edge,
// so the GL projection is moved by half a pixel to sample the same
// points. Pixels agree when every channel is within one step of 565.
// Skipped, with a message, where OSMesa is not installed.
#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <type_traits>
#include <vector>

#include "bench/softrend_scene.h"
#include "framework/devlist.h"
#include "framework/drivers/softrend/softrend.h"
#include "tests/framework/hx_fixture.h"
#include "tests/support/leak_check.h"

#if __has_include(<GL/osmesa.h>)
#include <GL/osmesa.h>
#define KV_HAVE_OSMESA_HEADERS 1
#endif

#ifdef KV_HAVE_OSMESA_HEADERS
namespace {

// The few entry points used, looked up in the library.
struct Gl {
    void* lib = nullptr;
    OSMesaContext (*createContextExt)(GLenum, GLint, GLint, GLint, OSMesaContext);
    GLboolean (*makeCurrent)(OSMesaContext, void*, GLenum, GLsizei, GLsizei);
    void (*destroyContext)(OSMesaContext);
    void (*genTextures)(GLsizei, GLuint*);
    void (*bindTexture)(GLenum, GLuint);
    void (*texParameteri)(GLenum, GLenum, GLint);
    void (*texImage2D)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
    void (*texEnvi)(GLenum, GLenum, GLint);
    void (*enable)(GLenum);
    void (*disable)(GLenum);
    void (*depthFunc)(GLenum);
    void (*viewport)(GLint, GLint, GLsizei, GLsizei);
    void (*matrixMode)(GLenum);
    void (*loadIdentity)();
    void (*translatef)(GLfloat, GLfloat, GLfloat);
    void (*frustum)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble);
    void (*multMatrixf)(const GLfloat*);
    void (*pushMatrix)();
    void (*popMatrix)();
    void (*clearColor)(GLclampf, GLclampf, GLclampf, GLclampf);
    void (*clear)(GLbitfield);
    void (*color3f)(GLfloat, GLfloat, GLfloat);
    void (*begin)(GLenum);
    void (*end)();
    void (*texCoord2f)(GLfloat, GLfloat);
    void (*vertex3f)(GLfloat, GLfloat, GLfloat);
    void (*finish)();

    bool Load()
    {
        for (const char* name : {"libOSMesa.so.8", "libOSMesa.so.6", "libOSMesa.so"})
            if ((lib = dlopen(name, RTLD_NOW | RTLD_LOCAL)))
                break;
        if (!lib)
            return false;
        bool ok = true;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            ok = ok && fn;
        };
        get(createContextExt, "OSMesaCreateContextExt");
        get(makeCurrent, "OSMesaMakeCurrent");
        get(destroyContext, "OSMesaDestroyContext");
        get(genTextures, "glGenTextures");
        get(bindTexture, "glBindTexture");
        get(texParameteri, "glTexParameteri");
        get(texImage2D, "glTexImage2D");
        get(texEnvi, "glTexEnvi");
        get(enable, "glEnable");
        get(disable, "glDisable");
        get(depthFunc, "glDepthFunc");
        get(viewport, "glViewport");
        get(matrixMode, "glMatrixMode");
        get(loadIdentity, "glLoadIdentity");
        get(translatef, "glTranslatef");
        get(frustum, "glFrustum");
        get(multMatrixf, "glMultMatrixf");
        get(pushMatrix, "glPushMatrix");
        get(popMatrix, "glPopMatrix");
        get(clearColor, "glClearColor");
        get(clear, "glClear");
        get(color3f, "glColor3f");
        get(begin, "glBegin");
        get(end, "glEnd");
        get(texCoord2f, "glTexCoord2f");
        get(vertex3f, "glVertex3f");
        get(finish, "glFinish");
        return ok;
    }
};

// The scene's models drawn by GL with each actor's matrix (ours: row
// vectors, so its storage is GL's column-major form).
void DrawWithGl(Gl& gl, const scene_bench::Scene& s)
{
    for (hx_actor* a = s.world->children; a; a = a->next) {
        if (a->type != HX_ACTOR_MODEL || !a->model)
            continue;
        const hx_matrix34& m = a->t.t.mat;
        const GLfloat columnMajor[16] = {m.m[0][0], m.m[0][1], m.m[0][2], 0, m.m[1][0], m.m[1][1], m.m[1][2], 0,
                                         m.m[2][0], m.m[2][1], m.m[2][2], 0, m.m[3][0], m.m[3][1], m.m[3][2], 1};
        gl.pushMatrix();
        gl.multMatrixf(columnMajor);
        gl.begin(GL_TRIANGLES);
        const hx_model* model = a->model;
        for (int f = 0; f < model->nfaces; ++f)
            for (int c = 0; c < 3; ++c) {
                const hx_vertex& v = model->vertices[model->faces[f].vertices[c]];
                gl.texCoord2f(v.map.x, v.map.y);
                gl.vertex3f(v.p.x, v.p.y, v.p.z);
            }
        gl.end();
        gl.popMatrix();
    }
}

} // namespace

TEST(SoftrendAgainstOsmesa, SixteenBitPicturesAgreeOnAFlatNearestSampledScene)
{
    setenv("LP_NUM_THREADS", "0", 1);
    Gl gl;
    bool loaded;
    {
        const LeakCheckPause mesaAllocations; // Mesa's own allocations are not ours to account for
        loaded = gl.Load();
    }
    if (!loaded)
        GTEST_SKIP() << "OSMesa is not installed (package libosmesa6-dev): agreement not checked";

    HxDiagHandlerSet(HxDiagLog::Handler());
    ASSERT_EQ(HxBegin(), HX_OK);
    ASSERT_EQ(HxDevAdd(nullptr, kHxSoftrendDeviceName, nullptr), HX_OK);
    ASSERT_EQ(HxZbBegin(0, 0), HX_OK);
    scene_bench::Scene s = scene_bench::Build(false, HX_MODF_UPDATEABLE);
    s.material->flags |= HX_MATF_PERSPECTIVE;
    HxMaterialUpdate(s.material, 255);
    scene_bench::Animate(s, 37);
    hx_pixelmap* colour = scene_bench::ScreenOf(HX_PMT_RGB_565);
    hx_pixelmap* depth = HxPixelmapAllocate(HX_PMT_DEPTH_16, scene_bench::kWidth, scene_bench::kHeight, nullptr, 0);
    HxPixelmapFill(colour, 0);
    HxPixelmapFill(depth, 0xFFFF);
    HxZbSceneRender(s.world, s.camera, colour, depth);

    constexpr int W = scene_bench::kWidth, H = scene_bench::kHeight;
    std::vector<uint16_t> glPixels(size_t(W) * H);
    std::optional<LeakCheckPause> mesaAllocations(std::in_place);
    OSMesaContext context = gl.createContextExt(OSMESA_RGB_565, 16, 0, 0, nullptr);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(gl.makeCurrent(context, glPixels.data(), GL_UNSIGNED_SHORT_5_6_5, W, H));
    std::vector<uint8_t> texels(64 * 64 * 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint32_t index = HxPixelmapPixelQuery(s.texture, x, y);
            const uint32_t rgb = HxPixelmapPixelQuery(s.palette, int32_t(index), 0);
            uint8_t* t = &texels[size_t(y * 64 + x) * 3];
            t[0] = uint8_t(rgb >> 16), t[1] = uint8_t(rgb >> 8), t[2] = uint8_t(rgb);
        }
    GLuint texture;
    gl.genTextures(1, &texture);
    gl.bindTexture(GL_TEXTURE_2D, texture);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.texParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.texImage2D(GL_TEXTURE_2D, 0, GL_RGB, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    gl.enable(GL_TEXTURE_2D);
    gl.texEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    gl.enable(GL_DEPTH_TEST);
    gl.depthFunc(GL_LESS);
    gl.enable(GL_CULL_FACE);
    gl.disable(GL_DITHER);
    gl.disable(GL_LIGHTING);
    gl.color3f(1, 1, 1);
    gl.viewport(0, 0, W, H);
    gl.matrixMode(GL_PROJECTION);
    gl.loadIdentity();
    gl.translatef(1.0f / W, -1.0f / H, 0); // half a pixel: see the file's comment
    const double n = 10, f = 20000, top = n * std::tan(22.5 * M_PI / 180), right = top * W / H;
    gl.frustum(-right, right, -top, top, n, f);
    gl.matrixMode(GL_MODELVIEW);
    gl.loadIdentity();
    gl.clearColor(0, 0, 0, 1);
    gl.clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawWithGl(gl, s);
    gl.finish();
    gl.destroyContext(context);
    mesaAllocations.reset();

    auto near = [](uint32_t a, uint32_t b) {
        auto d = [](uint32_t x, uint32_t y) { return x > y ? x - y : y - x; };
        return d(a >> 11, b >> 11) <= 1 && d((a >> 5) & 63, (b >> 5) & 63) <= 1 && d(a & 31, b & 31) <= 1;
    };
    long agree = 0, drawn = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint32_t ours = HxPixelmapPixelQuery(colour, x - colour->origin_x, y - colour->origin_y);
            const uint32_t theirs = glPixels[size_t(H - 1 - y) * W + x]; // GL's rows run bottom up
            agree += near(ours, theirs);
            drawn += ours != 0;
        }
    EXPECT_GT(drawn, W * H / 20) << "the scene covers a good part of the screen";
    EXPECT_GE(double(agree) / (W * H), 0.99) << agree << " of " << W * H << " pixels agree";
    HxZbEnd();
    HxEnd();
    HxDiagHandlerSet(nullptr);
}
#else
TEST(SoftrendAgainstOsmesa, SixteenBitPicturesAgreeOnAFlatNearestSampledScene)
{
    GTEST_SKIP() << "built without the OSMesa headers (package libosmesa6-dev): agreement not checked";
}
#endif
