// Screen projection queries for use while a model is drawn (custom render
// and render-bounds callbacks): the model-to-screen matrix, read from the
// renderer once per model and cached, and points projected with the
// viewport of the render in progress, with clip outcodes.
#include <cstring>

#include "framework/diag.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

namespace {

constexpr uint32_t kOutcodeStart = 0x0FFF0000;

bool QueryMatrix(hx_token t, void* buffer, size_t size)
{
    hx_value value{};
    if (HxRendererDispatch(v1db.renderer)->partQueryBuffer(v1db.renderer, HXT_MATRIX, 0, &value, buffer, size, t) !=
            HX_OK ||
        !value.p)
        return false;
    if (value.p != buffer)
        std::memcpy(buffer, value.p, size);
    return true;
}

const hx_matrix4& ModelToScreen()
{
    if (!v1db.model_to_screen_valid) {
        hx_matrix34 modelToView;
        hx_matrix4 viewToScreen;
        if (!QueryMatrix(HXT_MODEL_TO_VIEW_M34_F, &modelToView, sizeof modelToView))
            HxMatrix34Identity(&modelToView);
        if (!QueryMatrix(HXT_VIEW_TO_SCREEN_M4_F, &viewToScreen, sizeof viewToScreen))
            HxMatrix4Identity(&viewToScreen);
        HxMatrix4Mul34(&v1db.model_to_screen, &modelToView, &viewToScreen);
        v1db.model_to_screen_valid = 1;
    }
    return v1db.model_to_screen;
}

hx_vector4 Project(const hx_vector3& p)
{
    hx_vector4 s;
    HxMatrix4ApplyP(&s, &p, &ModelToScreen());
    return s;
}

void ScreenXY(hx_vector2* out, const hx_vector4& s)
{
    out->x = s.x / s.w * v1db.vp_x_scale + v1db.vp_x_centre;
    out->y = s.y / s.w * v1db.vp_y_scale + v1db.vp_y_centre;
}

void ScreenXYZ(hx_vector3* out, const hx_vector4& s)
{
    out->x = s.x / s.w * v1db.vp_x_scale + v1db.vp_x_centre;
    out->y = s.y / s.w * v1db.vp_y_scale + v1db.vp_y_centre;
    out->z = s.z / s.w * -32767.0f;
}

uint32_t Outcode(const hx_vector4& s)
{
    uint32_t code = s.x >= s.w ? 0x0FFD0002 : kOutcodeStart;
    if (s.x < -s.w)
        code ^= 0x00010001;
    if (s.y >= s.w)
        code ^= 0x00040004;
    if (s.y < -s.w)
        code ^= 0x00080008;
    if (s.z >= s.w)
        code ^= 0x00100010;
    if (s.z < -s.w)
        code ^= 0x00200020;
    return code;
}

bool OnScreen(uint32_t code)
{
    return (code & 0xFFF) == 0;
}

} // namespace

hx_matrix4* HxModelToScreenQuery(hx_matrix4* out)
{
    HX_CHECK_AS(v1db.renderer != nullptr, "v1db.renderer", "custsupt", 40, out);
    *out = ModelToScreen();
    return out;
}

hx_matrix34* HxModelToViewQuery(hx_matrix34* out)
{
    HX_CHECK_AS(v1db.renderer != nullptr, "v1db.renderer", "custsupt", 50, out);
    if (!QueryMatrix(HXT_MODEL_TO_VIEW_M34_F, out, sizeof *out))
        HxMatrix34Identity(out);
    return out;
}

int HxPointToScreen(hx_vector2* out, const hx_vector3* point)
{
    HX_CHECK_AS(v1db.renderer != nullptr, "v1db.renderer", "custsupt", 60, 0);
    const hx_vector4 s = Project(*point);
    ScreenXY(out, s);
    return s.z > 0 ? 1 : 0;
}

int HxOriginToScreen(hx_vector2* out)
{
    const hx_vector3 origin = {0, 0, 0};
    return HxPointToScreen(out, &origin);
}

uint32_t HxPointToScreenOutcode(const hx_vector3* point, hx_vector3* out)
{
    HX_CHECK_AS(v1db.renderer != nullptr, "v1db.renderer", "custsupt", 70, kOutcodeStart);
    const hx_vector4 s = Project(*point);
    const uint32_t code = Outcode(s);
    if (OnScreen(code))
        ScreenXYZ(out, s);
    return code;
}

uint32_t HxOriginToScreenOutcode(hx_vector3* out)
{
    const hx_vector3 origin = {0, 0, 0};
    return HxPointToScreenOutcode(&origin, out);
}

void HxPointsToScreen(hx_vector2* out, const hx_vector3* points, int n)
{
    HX_CHECK_AS(v1db.renderer != nullptr, "v1db.renderer", "custsupt", 80, );
    for (int i = 0; i < n; ++i)
        ScreenXY(&out[i], Project(points[i]));
}

int HxPointsToScreenOutcode(hx_vector3* out, uint32_t* outcodes, const hx_vector3* points, int n)
{
    HX_CHECK_AS(v1db.renderer != nullptr, "v1db.renderer", "custsupt", 90, 0);
    for (int i = 0; i < n; ++i) {
        const hx_vector4 s = Project(points[i]);
        outcodes[i] = Outcode(s);
        if (OnScreen(outcodes[i]))
            ScreenXYZ(&out[i], s);
    }
    return 0;
}
