// The software renderer's own records: the renderer's parts (what the
// framework sets through part values), stored states and buffers, the
// renderer object, and the per-group draw set-up that the geometry stage
// hands to the rasteriser. Internal to the driver: nothing here crosses
// the driver boundary.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/hx_math.h"
#include "framework/renderer.h"

struct hx_pixelmap;
struct hx_order_table;

namespace softrend {

// Part bits of the state masks, in the renderer's own numbering; the scene
// layer pushes MATRIX (0x2) around actors, resets BOUNDS (0x20) before a
// model with a render-bounds callback and keeps PRIMITIVE, SURFACE and CULL
// (0x80000041) in a material's stored state.
enum : uint32_t {
    kPartPrimitive = 0x1,
    kPartMatrix = 0x2,
    kPartOutput = 0x4,
    kPartHidden = 0x8,
    kPartEnable = 0x10,
    kPartBounds = 0x20,
    kPartSurface = 0x40,
    kPartLight = 0x100,
    kPartClip = 0x200,
    kPartCull = 0x80000000,
};

inline constexpr int kMaxLights = 16;
inline constexpr int kMaxClipPlanes = 6;

struct Buffer;

struct PrimitivePart {
    uint32_t colour = 0xFFFFFF;
    float opacity = 1;
    bool modulate = true, blend = false, smooth = false, ztransparency = false;
    bool perspective = false, decal = false, ditherMap = false, ditherColour = false;
    int32_t subdivideTolerance = 0;
    int32_t indexBase = 0, indexRange = 0;
    hx_token widthLimit = 0, heightLimit = 0; // WRAP, MIRROR or CLAMP (0: WRAP)
    hx_token fog = 0;                         // LINEAR or NONE
    hx_token mapInterpolation = 0;            // LINEAR, or NEAREST or NONE (0: NEAREST)
    // Map antialiasing: NONE (0) draws level 0 only; LINEAR, MIP,
    // MIP_PER_PRIMITIVE and MIP_PER_PIXEL pick a mip level per primitive.
    // Mip interpolation LINEAR shares a primitive's pixels out between the
    // two levels about it; NONE or NEAREST takes the larger one.
    hx_token mapAntialiasing = 0, mipInterpolation = 0;
    float fogMin = 0, fogMax = 1;
    uint32_t fogColour = 0;
    Buffer *colourMap = nullptr, *shade = nullptr, *blendTable = nullptr, *fogTable = nullptr;
    Buffer* screenDoor = nullptr;
};

struct SurfacePart {
    uint32_t colour = 0xFFFFFF;
    float opacity = 1, ka = 0, kd = 1, ks = 0, power = 20;
    bool lighting = false, forceFront = false;
    hx_token colourSource = 0;  // GEOMETRY or SURFACE (0: SURFACE)
    hx_token mappingSource = 0; // GEOMETRY_MAP, ENVIRONMENT_LOCAL, ENVIRONMENT_INFINITE
    hx_matrix23 mapMatrix = {{{1, 0}, {0, 1}, {0, 0}}};
};

struct MatrixPart {
    hx_matrix34 modelToView = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}};
    hx_matrix4 viewToScreen = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    hx_matrix34 viewToEnvironment = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}};
    hx_token modelToViewHint = 0, viewToScreenHint = 0, environmentHint = 0;
};

struct OutputPart {
    hx_pixelmap* colour = nullptr;
    hx_pixelmap* depth = nullptr;
};

// Z-sort: primitives go into the order table's buckets, from the heap.
struct HiddenPart {
    hx_token type = 0; // NONE (Z-buffer) or BUCKET_SORT
    hx_order_table* table = nullptr;
    void* heap = nullptr; // the scene layer's primitive heap record
    void* insert = nullptr;
    void* insertArgs[3] = {};
};

struct BoundsPart {
    float minX = 3.4e38f, minY = 3.4e38f, maxX = -3.4e38f, maxY = -3.4e38f;
};

struct LightEntry {
    hx_token type = 0; // NONE, DIRECT, POINT, SPOT
    uint32_t colour = 0xFFFFFF;
    float attenuationC = 1, attenuationL = 0, attenuationQ = 0;
    hx_vector3 position = {0, 0, 0}, direction = {0, 0, 1};
    float spotOuter = 0, spotInner = 0;
};

struct ClipEntry {
    hx_token type = 0; // NONE or PLANE
    hx_vector4 plane = {0, 0, 0, 0};
};

// Everything a renderer holds; push, pop, stored states and defaults work
// on the parts a mask names.
struct State {
    PrimitivePart primitive;
    SurfacePart surface;
    hx_token cull = 0; // ONE_SIDED (0), TWO_SIDED or NONE
    MatrixPart matrix;
    OutputPart output;
    HiddenPart hidden;
    bool boundsEnabled = false;
    BoundsPart bounds;
    LightEntry lights[kMaxLights];
    ClipEntry clips[kMaxClipPlanes];
};

// Copies the parts of the mask from one state into another.
void StateCopyParts(State* to, const State& from, uint32_t mask);

struct Renderer;

// A buffer of a pixelmap: texture maps keep their texels as indices and as
// RGB (with bit 24 marking index 0, for z-transparency), padded to a power
// of two on each side; tables keep their bytes. A freed buffer stays as an
// empty record until its renderer goes, so a stored state that still names
// it reads "no buffer" rather than freed memory.
struct Buffer {
    hx_object object = {};
    Renderer* owner = nullptr;
    bool live = false;
    int width = 0, height = 0;           // table size, or texture size after padding
    int widthShift = 0, heightShift = 0; // textures: log2 of the padded sizes
    std::vector<uint8_t> indices;
    std::vector<uint32_t> rgb;
    // A mip level of a texture view: each side half the level above's,
    // down to 1.
    struct Level {
        std::vector<uint8_t> indices;
        std::vector<uint32_t> rgb;
        int widthShift = 0, heightShift = 0;
    };
    // Mirrored copies (width, height, both), made when first drawn; under
    // each view its mip levels from 1 on, made when first drawn with map
    // antialiasing. Variant 0 is the plain view: its texels are the
    // buffer's own, so it keeps only its levels.
    struct Variant {
        std::vector<uint8_t> indices;
        std::vector<uint32_t> rgb;
        std::vector<Level> levels;
    } mirrored[4];
};

// A stored state: the parts of its mask.
struct StoredState {
    hx_object object;
    Renderer* owner;
    uint32_t mask;
    State state;
};

struct Format {
    hx_object object;
    Renderer* owner;
};

// Stored geometry shares the prepared block it was made from.
struct StoredGeometry {
    hx_object object;
    Renderer* owner;
    const hx_prepared_model* model;
};

struct Renderer {
    hx_object object;
    State current;
    std::vector<std::pair<uint32_t, State>> stack;
    std::vector<StoredState*> states;
    std::vector<Buffer*> buffers;
    std::vector<StoredGeometry*> geometries;
    Format v1model, v1buckets, lighting;
    // Scratch of the geometry stage, kept between models.
    std::vector<uint8_t> scratch;
};

} // namespace softrend
