// The LightWave object loader. See lwoloader.h; the file format and its
// walks are lwofile.h's.
//
// A load, in order: the object's triangles with their winding reversed (a
// quad gives two, sharing a hidden diagonal); one random texture pair per
// point; one framework material per surface; face normals; smoothing
// groups and hidden edges, from the ".smg" cache or worked out and cached;
// model vertices (corners merged where position and texture pair agree);
// the registered framework model; its collision boxes.
#include "view/lwoloader.h"

#include "framework/scene.h"
#include "platform/files.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/raster.h"
#include "system/res/bytes.h"
#include "system/res/loaders.h"
#include "system/res/pcx.h"
#include "system/res/slab.h"
#include "system/settings.h"
#include "view/lwofile.h"
#include "view/vectoricons.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/records.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace {

constexpr const char* kTitle = "LWOB Loader Error";
constexpr float kDefaultSmoothingAngle = 1.5207f;
constexpr float kHiddenEdgeAngle = 0.0873f;
constexpr float kScale = 100.0f;
constexpr uint32_t kCacheVersion = 2;
constexpr int16_t kNotSmoothed = 17;
constexpr int kMaxModelItems = 0xFFFF; // vertex and face counts are u16
constexpr int kMaxRasterSide = 0x7FFF;

// The folders searched for a texture "<base>.pix", in order.
constexpr const char* kTextureFolders[] = {
    "zqk\\resource\\art\\textures\\ships\\%s.pix",
    "zqk\\resource\\art\\textures\\moreships\\%s.pix",
    "zqk\\resource\\art\\textures\\indieships\\%s.pix",
    "zqk\\resource\\art\\textures\\planets\\%s.pix",
    "zqk\\resource\\art\\textures\\voyger\\%s.pix",
};
constexpr const char* kShadeTable = "zqk\\resource\\art\\textures\\ships\\klvstd.tab";
constexpr const char* kShadeTableBase = "klvstd";

// One row of the colour ramp table: a colour in parts of 16 and its ramp.
struct RampRow {
    int red, green, blue;
    uint8_t indexBase, indexRange;
};
// clang-format off
constexpr RampRow kRamps[] = {
    {5, 5, 5, 16, 31},  {12, 2, 2, 48, 31}, {2, 12, 2, 80, 31}, {2, 2, 12, 112, 31},
    {8, 8, 0, 144, 31}, {7, 1, 8, 144, 31}, {8, 5, 3, 208, 31},
};
// clang-format on
constexpr int kRampMatchLimit = 60; // a row must come closer than this

// Gloss bits and the specular power each gives; the last that applies wins.
struct GlossRow {
    uint16_t bit;
    float power;
};
constexpr GlossRow kGloss[] = {{0x10, 12}, {0x40, 45}, {0x100, 76}, {0x400, 100}};

enum class Mapping {
    None,
    Planar,
    Cylindrical,
    Spherical
};

struct Vec {
    float x, y, z;
};
Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
// A divisor that is never zero: a zero texture size counts as 1.
float Size(float s) { return s != 0.0f ? s : 1.0f; }

// A working face: one triangle. Edge k runs from corner k to corner k + 1.
struct Face {
    int32_t neighbour[3] = {-1, -1, -1};
    uint16_t point[3];
    Vec pos[3];
    Vec normal{};
    int16_t surface;
    int16_t group = 0; // 0 unset, 1-16, 17 not smoothed
    float u[3], v[3];
    uint8_t edges; // bit k: edge k hidden
};

struct Surface {
    std::string name;
    int surf = -1; // index into the load's SURF readings
    hx_material* material = nullptr;
    float smoothingAngle = kDefaultSmoothingAngle;
};

// One load's working state.
struct Load {
    const char* name;
    LwoFile file;
    std::vector<Surface> surfaces; // [0] unused
    std::vector<LwoSurf> surfs;
    std::vector<Face> faces;
    uint32_t pointCount = 0;
};

// The module's own state: remembered textures (newest first), the names
// of textures and tables already reported missing, the cache switch.
struct TextureEntry {
    std::string name;
    hx_pixelmap* map;
};
struct LoaderState {
    std::vector<TextureEntry> textures;
    std::vector<std::string> reported;
    bool useCache = true;
    // Working blocks that keep their memory from load to load: a large
    // model's faces and corner table run to megabytes, and a fresh block
    // each load would cost its page faults again.
    std::vector<Face> faces;
    std::vector<int32_t> cornerTable;
};
LoaderState gLwo;

void Box(const char* title, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Box(const char* title, const char* format, ...)
{
    char text[600];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    DebugMessageBox(text, title);
}

// True the first time a name is seen: a missing texture is said once.
bool FirstReport(const std::string& name)
{
    if (std::find(gLwo.reported.begin(), gLwo.reported.end(), name) != gLwo.reported.end())
        return false;
    gLwo.reported.push_back(name);
    return true;
}

// The file name after the last backslash, without its last four characters.
std::string BaseName(const char* path)
{
    const char* slash = std::strrchr(path, '\\');
    std::string base = slash ? slash + 1 : path;
    base.resize(base.size() > 4 ? base.size() - 4 : 0);
    return base;
}

hx_pixelmap* FindTextureInFolders(const std::string& base)
{
    if (!HxDefaultMaterial())
        return nullptr; // the map registry lives in the running scene layer
    for (const char* folder : kTextureFolders) {
        char path[400];
        std::snprintf(path, sizeof path, folder, base.c_str());
        if (hx_pixelmap* map = HxMapFind(path))
            return map;
    }
    return nullptr;
}

// Reports a failed read the way the loaders do; false when there is nothing to load.
bool ReadObject(const char* name, LwoFile* file, int32_t* sizeOut)
{
    std::string what;
    switch (LwoReadFile(name, file, &what)) {
    case LwoStatus::Ok:
        return true;
    case LwoStatus::Missing:
        Box(kTitle, "Epic disaster! I am <sniffle> unable to find %s ", name);
        if (sizeOut)
            *sizeOut = 0;
        return false;
    case LwoStatus::NoHeader:
        DebugPrint("Unable to find indicated file");
        ReportDataFileFailure(name, "empty or shorter than its header");
        return false;
    case LwoStatus::NoMemory:
        DebugPrint("Unable to assign temporary memory for conversion of object to hexmire format. \n");
        ReportDataFileFailure(name, "larger than the size allowed");
        return false;
    case LwoStatus::Refused:
    case LwoStatus::Truncated:
        Box(kTitle, "%.200s: %s", name, what.c_str());
        return false;
    }
    return false;
}

// ---- faces ---------------------------------------------------------------------------

// Triangles from POLS, winding reversed: (a, b, c) becomes (c, b, a); a quad
// (a, b, c, d) becomes (c, b, a) and (a, d, c), whose shared diagonal is
// edge 2 of both. Polygons of other sizes, with detail polygons, or naming
// points that do not exist are stepped over and counted in one line.
bool BuildFaces(Load& load, const LwoChunk* pols)
{
    const LwoChunk* pnts = load.file.Find("PNTS");
    load.pointCount = std::min<uint32_t>(LwoPointCount(pnts), 0x10000);
    int otherSizes = 0, details = 0, badIndex = 0;
    LwoPolygonReader reader(pols);
    LwoPolygon p;
    // A quad, the most triangles for its bytes, takes 12 bytes for two.
    load.faces.reserve(pols ? std::min<std::size_t>(pols->size / 6, kMaxModelItems + 1) : 0);
    while (reader.Next(&p)) {
        if (p.count != 3 && p.count != 4) {
            ++otherSizes;
            continue;
        }
        if (p.surface < 0) {
            ++details;
            continue;
        }
        bool inRange = true;
        for (int k = 0; k < p.count; ++k)
            inRange = inRange && p.Index(k) < load.pointCount;
        if (!inRange) {
            ++badIndex;
            continue;
        }
        Face f;
        f.surface = p.surface;
        f.edges = p.count == 4 ? 4 : 0;
        f.point[0] = p.Index(2);
        f.point[1] = p.Index(1);
        f.point[2] = p.Index(0);
        load.faces.push_back(f);
        if (p.count == 4) {
            f.point[0] = p.Index(0);
            f.point[1] = p.Index(3);
            f.point[2] = p.Index(2);
            load.faces.push_back(f);
        }
    }
    if (reader.Truncated()) {
        Box(kTitle, "A polygon runs past the end of POLS in %.200s", load.name);
        return false;
    }
    if (otherSizes)
        DebugPrintf("%s: %d polygons of other than 3 or 4 points skipped\n", load.name, otherSizes);
    if (details)
        DebugPrintf("%s: %d polygons with detail polygons skipped\n", load.name, details);
    if (badIndex)
        DebugPrintf("%s: %d polygons naming points past the %u points skipped\n", load.name, badIndex,
                    load.pointCount);
    if (load.faces.empty()) {
        Box(kTitle, "No triangles or quads in %.200s", load.name);
        return false;
    }
    if (load.faces.size() > static_cast<std::size_t>(kMaxModelItems)) {
        Box(kTitle, "Too many faces (%zu) in %.200s", load.faces.size(), load.name);
        return false;
    }
    return true;
}

// Each corner takes its point's position and the point's random texture
// pair, drawn once per point in point order.
void PlaceCorners(Load& load)
{
    const LwoChunk* pnts = load.file.Find("PNTS");
    std::vector<float> us(load.pointCount), vs(load.pointCount);
    std::vector<Vec> positions(load.pointCount);
    for (uint32_t i = 0; i < load.pointCount; ++i) {
        us[i] = static_cast<float>(CRand() % 100) * 0.01f;
        vs[i] = static_cast<float>(CRand() % 100) * 0.01f;
        LwoPoint p = LwoPointAt(*pnts, i);
        positions[i] = {p.x, p.y, p.z};
    }
    for (Face& f : load.faces)
        for (int k = 0; k < 3; ++k) {
            f.pos[k] = positions[f.point[k]];
            f.u[k] = us[f.point[k]];
            f.v[k] = vs[f.point[k]];
        }
}

void FaceNormals(Load& load)
{
    for (Face& f : load.faces) {
        Vec n = Cross(Sub(f.pos[0], f.pos[2]), Sub(f.pos[0], f.pos[1]));
        float length = std::sqrt(Dot(n, n));
        f.normal = length > 0.0f ? Vec{n.x / length, n.y / length, n.z / length} : Vec{};
    }
}

// ---- surfaces and materials --------------------------------------------------------

void ReadSurfaces(Load& load)
{
    int dropped = 0;
    std::vector<std::string> names = LwoSurfaceNames(load.file.Find("SRFS"), &dropped);
    if (dropped)
        DebugPrintf("%s: %d surfaces past the first %d ignored\n", load.name, dropped, kLwoMaxSurfaces);
    load.surfaces.resize(names.size() + 1);
    for (std::size_t i = 0; i < names.size(); ++i)
        load.surfaces[i + 1].name = names[i];
    for (const LwoChunk& c : load.file.chunks) {
        if (!c.Is("SURF"))
            continue;
        LwoSurf surf = LwoReadSurf(c);
        if (surf.cut)
            DebugPrintf("%s: surface %s cut where a sub-chunk runs past its chunk\n", load.name, surf.name.c_str());
        bool used = false;
        for (std::size_t i = 1; i < load.surfaces.size(); ++i)
            if (load.surfaces[i].surf < 0 && load.surfaces[i].name == surf.name) {
                load.surfaces[i].surf = static_cast<int>(load.surfs.size());
                used = true;
            }
        if (used)
            load.surfs.push_back(std::move(surf));
    }
    int unnamed = 0;
    for (const Face& f : load.faces)
        unnamed += f.surface >= static_cast<int>(load.surfaces.size());
    if (unnamed)
        DebugPrintf("%s: %d faces name no surface and get no material\n", load.name, unnamed);
}

// The colour ramp of a COLR colour: the nearest row of the table by the sum
// of absolute differences in parts of 16, its range cut for dark colours.
void SetColourRamp(hx_material* m, int red, int green, int blue)
{
    int brightest = std::max({red, green, blue});
    int sum = red + green + blue;
    int row = 0;
    if (sum != 0) {
        int r = red * 16 / sum, g = green * 16 / sum, b = blue * 16 / sum;
        int best = kRampMatchLimit;
        for (int i = 0; i < static_cast<int>(std::size(kRamps)); ++i) {
            int d = std::abs(r - kRamps[i].red) + std::abs(g - kRamps[i].green) + std::abs(b - kRamps[i].blue);
            if (d < best) {
                best = d;
                row = i;
            }
        }
    }
    float share = std::min(1.0f, static_cast<float>(brightest) / 240.0f);
    // A 16-bit screen draws the surface's own colour, lit.
    m->colour = uint32_t(red & 255) << 16 | uint32_t(green & 255) << 8 | uint32_t(blue & 255);
    m->index_base = kRamps[row].indexBase;
    m->index_range = static_cast<uint8_t>(static_cast<float>(kRamps[row].indexRange) * share);
}

// The shade table of textured surfaces (the generated one with the switch
// "shades"); the file's absence is said once.
hx_pixelmap* ShadeTable()
{
    if (gSettings.shades)
        return SharedGeneratedShadeTable();
    hx_pixelmap* table = HxTableFind(kShadeTable);
    if (!table && FirstReport(kShadeTable))
        Box(kTitle,
            "Tragedy - I have failed to find %s.tab in zqk\\resource\\art\\textures\\ships or \n "
            "...\\moreships or ...\\IndieShips\n",
            kShadeTableBase);
    return table;
}

void SetTexture(hx_material* m, const Surface& surface, const LwoSubChunk& timg)
{
    hx_pixelmap* map = FindTexturePixelmap(surface.name.c_str());
    const bool remembered = map != nullptr;
    if (!map) {
        std::string path(reinterpret_cast<const char*>(timg.data), strnlen(reinterpret_cast<const char*>(timg.data), timg.size));
        std::string base = BaseName(path.c_str());
        map = FindTextureInFolders(base);
        if (!map && FirstReport(base + ".pix"))
            Box(kTitle, "Tragedy - I have failed to find %.200s.pix in zqk\\resource\\art\\textures\\ships\n ",
                base.c_str());
    }
    // A surface whose texture is missing stays untextured, yet is shaded
    // through the ships' table like every textured one.
    m->colour_map = map;
    m->index_shade = remembered ? SharedGeneratedShadeTable() : ShadeTable();
}

// The texture pairs of every face of a surface from its mapping.
struct TextureFrame {
    Vec centre{0, 0, 0};
    Vec size{1, 1, 1};
    int axis = 1;        // TFLG & 7: 1 x, 2 y, 4 z
    float across = 0.0f; // TFP0: wraps across
    float down = 0.0f;   // TFP1: wraps down
};

void MapPlanar(Face& f, const TextureFrame& t)
{
    for (int k = 0; k < 3; ++k) {
        Vec p = f.pos[k];
        float a = (p.x - (t.centre.x + t.size.x / 2)) / Size(t.size.x);
        float b = -((p.y - (t.centre.y + t.size.y / 2)) / Size(t.size.y));
        float c = (p.z - (t.centre.z + t.size.z / 2)) / Size(t.size.z);
        switch (t.axis) {
        case 1:
            f.u[k] = c, f.v[k] = b;
            break;
        case 2:
            f.u[k] = a, f.v[k] = -c;
            break;
        case 4:
            f.u[k] = a, f.v[k] = b;
            break;
        default:
            break;
        }
    }
}

void MapRound(Face& f, const TextureFrame& t, bool spherical, float& e, float& g)
{
    constexpr float kPi = 3.14159f;
    float w[3];
    for (int k = 0; k < 3; ++k) {
        Vec d = Sub(f.pos[k], t.centre);
        float h = 0.0f;
        switch (t.axis) {
        case 1:
            h = d.x / Size(t.size.x), e = d.y, g = d.z;
            break;
        case 2:
            h = d.y / Size(t.size.y), e = d.z, g = d.x;
            break;
        case 4:
            h = d.z / Size(t.size.z), e = d.y, g = d.x;
            break;
        default:
            break;
        }
        float r = std::sqrt(e * e + g * g);
        w[k] = 0.0f;
        if (r > 0.0f) {
            w[k] = std::acos(std::clamp(e / r, -1.0f, 1.0f)) / (2 * kPi);
            if (g / r < 0)
                w[k] = 1 - w[k];
        }
        f.u[k] = t.across * w[k];
        if (!spherical) {
            f.v[k] = -(h + 0.5f);
        } else if (t.down > 0) {
            float reach = std::sqrt(h * h + r * r);
            if (reach > 0.0f)
                f.v[k] = t.down * std::acos(std::clamp(-h / reach, -1.0f, 1.0f)) / kPi;
        }
    }
    // A face across the seam: its corners near the start wrap once more.
    bool low = false, high = false;
    for (float x : w) {
        low = low || x < 0.25f;
        high = high || x > 0.75f;
    }
    if (low && high)
        for (int k = 0; k < 3; ++k)
            if (f.u[k] < t.across / 2)
                f.u[k] += t.across;
}

void ApplyMapping(Load& load, int surface, Mapping mapping, const TextureFrame& t)
{
    float e = 0.0f, g = 0.0f; // kept from vertex to vertex for other axes
    for (Face& f : load.faces) {
        if (f.surface != surface)
            continue;
        if (mapping == Mapping::Planar)
            MapPlanar(f, t);
        else
            MapRound(f, t, mapping == Mapping::Spherical, e, g);
    }
}

uint16_t U16(const LwoSubChunk& s) { return s.size >= 2 ? res::GetU16BE(s.data) : 0; }
Vec Vec3(const LwoSubChunk& s) { return {LwoFloat(s.data), LwoFloat(s.data + 4), LwoFloat(s.data + 8)}; }

void BuildSurfaceMaterial(Load& load, int i)
{
    Surface& surface = load.surfaces[static_cast<std::size_t>(i)];
    hx_material* m = HxMaterialAllocate(surface.name.c_str());
    if (!m)
        return;
    m->colour = 0;
    m->index_base = 0;
    m->index_range = 0;
    if (const hx_material* standard = HxMaterialFind("standard")) {
        m->ka = standard->ka, m->kd = standard->kd, m->ks = standard->ks, m->power = standard->power;
    } else {
        m->ka = 0.2f, m->kd = 0.62f, m->ks = 0.75f, m->power = 96.0f;
    }
    m->colour_map = nullptr;

    TextureFrame frame;
    Mapping mapping = Mapping::None;
    bool selfLit = false;
    static const std::vector<LwoSubChunk> kNone;
    const std::vector<LwoSubChunk>& subs =
        surface.surf >= 0 ? load.surfs[static_cast<std::size_t>(surface.surf)].subChunks : kNone;
    for (const LwoSubChunk& s : subs) {
        if (s.Is("GLOS") && s.size >= 2) {
            m->power = 0;
            for (const GlossRow& row : kGloss)
                if (U16(s) & row.bit)
                    m->power = row.power;
        } else if (s.Is("COLR") && s.size >= 3) {
            SetColourRamp(m, s.data[0], s.data[1], s.data[2]);
        } else if (s.Is("FLAG") && s.size >= 2) {
            if (U16(s) & 0x4)
                m->flags |= HX_MATF_SMOOTH;
            if (U16(s) & 0x100)
                m->flags |= HX_MATF_TWO_SIDED;
        } else if (s.Is("TIMG")) {
            SetTexture(m, surface, s);
        } else if (s.Is("SMAN") && s.size >= 4) {
            surface.smoothingAngle = LwoFloat(s.data);
        } else if (s.Is("TFLG") && s.size >= 2) {
            frame.axis = U16(s) & 7;
        } else if (s.Is("TSIZ") && s.size >= 12) {
            frame.size = Vec3(s);
        } else if (s.Is("TCTR") && s.size >= 12) {
            frame.centre = Vec3(s);
        } else if (s.Is("TFP0") && s.size >= 4) {
            frame.across = LwoFloat(s.data);
        } else if (s.Is("TFP1") && s.size >= 4) {
            frame.down = LwoFloat(s.data);
        } else if (s.Is("CTEX")) {
            std::string kind(reinterpret_cast<const char*>(s.data), strnlen(reinterpret_cast<const char*>(s.data), s.size));
            mapping = kind == "Planar Image Map"        ? Mapping::Planar
                      : kind == "Cylindrical Image Map" ? Mapping::Cylindrical
                      : kind == "Spherical Image Map"   ? Mapping::Spherical
                                                        : mapping;
        } else if (s.Is("LUMI") && s.size >= 2) {
            selfLit = U16(s) > 128;
        }
    }
    // The mapping reads the texture frame whole, whatever order the
    // sub-chunks came in.
    if (mapping != Mapping::None)
        ApplyMapping(load, i, mapping, frame);
    if (selfLit)
        m->ks = 0, m->kd = 0, m->ka = 0.5f;
    m->flags &= ~HX_MATF_DECAL;
    m->flags |= HX_MATF_LIT;
    if (gSettings.perspective)
        m->flags |= HX_MATF_PERSPECTIVE;
    surface.material = HxMaterialAdd(m);
}

// ---- smoothing -------------------------------------------------------------------------

// Face i's edge ki is face j's edge kj walked the other way (i < j).
struct EdgePair {
    int32_t i, j;
    uint8_t ki, kj;
};

// Faces sharing an edge: neighbours within the smoothing angle, the edge
// hidden on both when they are nearly flat.
void LinkPairs(Load& load, const std::vector<EdgePair>& pairs)
{
    for (const EdgePair& p : pairs) {
        Face& a = load.faces[static_cast<std::size_t>(p.i)];
        Face& b = load.faces[static_cast<std::size_t>(p.j)];
        float angle = std::fabs(std::acos(std::clamp(Dot(a.normal, b.normal), -1.0f, 1.0f)));
        float limit = a.surface > 0 && a.surface < static_cast<int>(load.surfaces.size())
                          ? load.surfaces[static_cast<std::size_t>(a.surface)].smoothingAngle
                          : kDefaultSmoothingAngle;
        if (angle <= limit) {
            a.neighbour[p.ki] = p.j;
            b.neighbour[p.kj] = p.i;
        }
        if (angle <= kHiddenEdgeAngle) {
            a.edges |= static_cast<uint8_t>(1 << p.ki);
            b.edges |= static_cast<uint8_t>(1 << p.kj);
        }
    }
}

// Faces of one surface that share an edge walked the other way become
// neighbours across it when the angle between them is within the surface's
// smoothing angle; nearly flat shared edges are hidden on both. Pairs are
// taken in face order, as a walk over every face and every later face would.
// The edges are listed by the point they start from (a counting sort, so
// each point's list is in face and edge order): the partners of an edge
// from p to q are the edges in q's list that end at p.
void LinkNeighbours(Load& load)
{
    const std::size_t nf = load.faces.size();
    std::vector<uint32_t> first(load.pointCount + 1, 0);
    for (const Face& f : load.faces)
        for (uint16_t point : f.point)
            ++first[point + 1u];
    for (uint32_t p = 0; p < load.pointCount; ++p)
        first[p + 1] += first[p];
    struct Edge {
        uint32_t code; // face << 2 | edge
        uint32_t to;   // the point it ends at
    };
    std::vector<Edge> edges(nf * 3);
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (std::size_t i = 0; i < nf; ++i)
        for (uint32_t k = 0; k < 3; ++k)
            edges[fill[load.faces[i].point[k]]++] = {static_cast<uint32_t>(i) << 2 | k, load.faces[i].point[(k + 1) % 3]};

    // For each face, its later partners in (face, edge, edge) order.
    std::vector<EdgePair> pairs;
    for (std::size_t i = 0; i < nf; ++i) {
        const Face& f = load.faces[i];
        pairs.clear();
        for (uint8_t k = 0; k < 3; ++k) {
            const uint16_t from = f.point[k], to = f.point[(k + 1) % 3];
            for (uint32_t e = first[to]; e < first[to + 1u]; ++e) {
                if (edges[e].to != from || (edges[e].code >> 2) <= i)
                    continue;
                const auto j = static_cast<int32_t>(edges[e].code >> 2);
                if (load.faces[static_cast<std::size_t>(j)].surface == f.surface)
                    pairs.push_back({static_cast<int32_t>(i), j, k, static_cast<uint8_t>(edges[e].code & 3)});
            }
        }
        if (pairs.size() > 1)
            std::sort(pairs.begin(), pairs.end(), [](const EdgePair& x, const EdgePair& y) {
                return std::tuple(x.j, x.ki, x.kj) < std::tuple(y.j, y.ki, y.kj);
            });
        LinkPairs(load, pairs);
    }
}

const hx_material* SurfaceMaterial(const Load& load, int16_t surface)
{
    return surface > 0 && surface < static_cast<int>(load.surfaces.size())
               ? load.surfaces[static_cast<std::size_t>(surface)].material
               : nullptr;
}

// Floods each connected patch of neighbours with one group: the counter
// (1 to 16, round again) for smooth surfaces, 17 for the others.
void AssignGroups(Load& load)
{
    int16_t counter = 1;
    std::vector<int32_t> stack;
    for (std::size_t start = 0; start < load.faces.size(); ++start) {
        if (load.faces[start].group != 0)
            continue;
        const hx_material* m = SurfaceMaterial(load, load.faces[start].surface);
        int16_t value = m && (m->flags & HX_MATF_SMOOTH) ? counter : kNotSmoothed;
        stack.assign(1, static_cast<int32_t>(start));
        load.faces[start].group = value;
        while (!stack.empty()) {
            Face& f = load.faces[static_cast<std::size_t>(stack.back())];
            stack.pop_back();
            for (int32_t n : f.neighbour)
                if (n >= 0 && load.faces[static_cast<std::size_t>(n)].group == 0) {
                    load.faces[static_cast<std::size_t>(n)].group = value;
                    stack.push_back(n);
                }
        }
        counter = static_cast<int16_t>(counter == 16 ? 1 : counter + 1);
    }
}

// The cache, little-endian: u32 version 2, u32 face count, then per face its
// group byte and edge-flag byte. One that does not match the faces exactly
// is not used.
bool ReadCache(Load& load)
{
    char path[400];
    LwoCachePath(load.name, path, sizeof path);
    uint32_t size = 0;
    std::FILE* f = SlabOpen("smog", path, &size);
    if (!f) {
        DebugPrintf("Creating smoothing group file %s \n", path);
        return false;
    }
    std::size_t need = 8 + 2 * load.faces.size();
    std::vector<uint8_t> bytes(need);
    bool ok = size >= need && std::fread(bytes.data(), 1, need, f) == need && res::GetU32LE(bytes.data()) == kCacheVersion &&
              res::GetU32LE(bytes.data() + 4) == load.faces.size();
    for (std::size_t i = 0; ok && i < load.faces.size(); ++i)
        ok = bytes[8 + 2 * i] >= 1 && bytes[8 + 2 * i] <= kNotSmoothed && bytes[9 + 2 * i] <= 7;
    if (std::fclose(f) != 0)
        Box(kTitle, "I am bizarrely unable to close %s", path);
    if (!ok)
        return false;
    for (std::size_t i = 0; i < load.faces.size(); ++i) {
        load.faces[i].group = bytes[8 + 2 * i];
        load.faces[i].edges = bytes[9 + 2 * i];
    }
    return true;
}

void WriteCache(const Load& load)
{
    char path[400];
    LwoCachePath(load.name, path, sizeof path);
    std::vector<uint8_t> bytes;
    bytes.reserve(8 + 2 * load.faces.size());
    res::AppendU32LE(bytes, kCacheVersion);
    res::AppendU32LE(bytes, static_cast<uint32_t>(load.faces.size()));
    for (const Face& f : load.faces) {
        bytes.push_back(static_cast<uint8_t>(f.group));
        bytes.push_back(f.edges);
    }
    if (!platform::WriteFileAtomically(platform::SkipLeadingSeparator(path), bytes.data(), bytes.size()))
        Box(kTitle, "I cannot save smoothing info %s", path);
}

void Smooth(Load& load)
{
    if (gLwo.useCache && ReadCache(load))
        return;
    LinkNeighbours(load);
    AssignGroups(load);
    WriteCache(load);
}

// ---- the model --------------------------------------------------------------------------

// A corner's identity for merging: position and texture pair, bit for bit
// (with -0 read as 0, since they compare equal).
struct CornerKey {
    uint32_t bits[5];
    bool operator==(const CornerKey&) const = default;
};
struct CornerHash {
    std::size_t operator()(const CornerKey& k) const
    {
        uint64_t h = 1469598103934665603ull;
        for (uint32_t b : k.bits)
            h = (h ^ b) * 1099511628211ull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};
uint32_t Bits(float f) { return std::bit_cast<uint32_t>(f + 0.0f); }

hx_model* BuildModel(Load& load)
{
    // Corners merge through an open-addressed table of vertex numbers
    // (-1 empty) at least twice the corners' size.
    std::size_t slots = 16;
    while (slots < load.faces.size() * 6)
        slots *= 2;
    std::vector<int32_t>& table = gLwo.cornerTable;
    table.assign(slots, -1);
    std::vector<CornerKey> keys;
    keys.reserve(load.faces.size() * 3);
    struct Corner {
        Vec p;
        float u, v;
    };
    std::vector<Corner> vertices;
    vertices.reserve(load.faces.size() * 3);
    std::vector<uint16_t> corners(load.faces.size() * 3);
    // The vertex of each point's latest corner: the next corner of that
    // point usually has the same key, and so the same vertex.
    std::vector<int32_t> ofPoint(load.pointCount, -1);
    for (std::size_t i = 0; i < load.faces.size(); ++i) {
        const Face& f = load.faces[i];
        for (int k = 0; k < 3; ++k) {
            CornerKey key{{Bits(f.pos[k].x), Bits(f.pos[k].y), Bits(f.pos[k].z), Bits(f.u[k]), Bits(f.v[k])}};
            int32_t& latest = ofPoint[f.point[k]];
            if (latest >= 0 && keys[static_cast<std::size_t>(latest)] == key) {
                corners[i * 3 + static_cast<std::size_t>(k)] = static_cast<uint16_t>(latest);
                continue;
            }
            std::size_t slot = CornerHash{}(key) & (slots - 1);
            while (table[slot] >= 0 && !(keys[static_cast<std::size_t>(table[slot])] == key))
                slot = (slot + 1) & (slots - 1);
            if (table[slot] < 0) {
                if (vertices.size() >= static_cast<std::size_t>(kMaxModelItems)) {
                    Box(kTitle, "Too many vertices in %.200s", load.name);
                    return nullptr;
                }
                table[slot] = static_cast<int32_t>(vertices.size());
                keys.push_back(key);
                vertices.push_back({f.pos[k], f.u[k], f.v[k]});
            }
            corners[i * 3 + static_cast<std::size_t>(k)] = static_cast<uint16_t>(table[slot]);
            latest = table[slot];
        }
    }

    hx_model* model = HxModelAllocate(load.name, static_cast<int>(vertices.size()), static_cast<int>(load.faces.size()));
    if (!model)
        return nullptr;
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        hx_vertex& v = model->vertices[i];
        v.p = {vertices[i].p.x * kScale, -vertices[i].p.y * kScale, vertices[i].p.z * kScale};
        v.map = {vertices[i].u, vertices[i].v};
    }
    for (std::size_t i = 0; i < load.faces.size(); ++i) {
        const Face& f = load.faces[i];
        hx_face& out = model->faces[i];
        for (int k = 0; k < 3; ++k)
            out.vertices[k] = corners[i * 3 + static_cast<std::size_t>(k)];
        out.material = const_cast<hx_material*>(SurfaceMaterial(load, f.surface));
        out.flags = f.edges;
        out.smoothing = f.group >= 1 && f.group <= 16 ? static_cast<uint16_t>(1u << (f.group - 1)) : 0;
    }
    model->flags |= HX_MODF_KEEP_ORIGINAL | HX_MODF_GENERATE_TAGS;
    return HxModelAdd(model);
}

// ---- the face picker's view of a model -------------------------------------------------

// ---- collision boxes --------------------------------------------------------------------

// Points of a box file grouped into boxes: two points belong together when
// two of their three coordinates are equal.
struct UnionFind {
    std::vector<uint32_t> parent;
    explicit UnionFind(std::size_t n) : parent(n)
    {
        for (std::size_t i = 0; i < n; ++i)
            parent[i] = static_cast<uint32_t>(i);
    }
    uint32_t Root(uint32_t i)
    {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    }
    void Join(uint32_t a, uint32_t b)
    {
        a = Root(a), b = Root(b);
        if (a != b)
            parent[std::max(a, b)] = std::min(a, b);
    }
};

uint32_t BoxFlags(const std::string& surfaceName)
{
    if (surfaceName.compare(0, 3, "NEG") == 0 || surfaceName.compare(0, 3, "neg") == 0)
        return 4;
    int system = 0;
    if (surfaceName.compare(0, 3, "SYS") == 0 && std::sscanf(surfaceName.c_str(), "SYS_%i", &system) == 1)
        return 0x10 | ((static_cast<uint32_t>(system) << 8) & 0x1FF00);
    return 0;
}

void ReadHullBoxes(const char* boxName, HullBounds* bounds)
{
    LwoFile file;
    std::string what;
    LwoStatus status = LwoReadFile(boxName, &file, &what);
    if (status == LwoStatus::Missing)
        return;
    if (status != LwoStatus::Ok) {
        DebugPrintf("%s: not a box file (%s)\n", boxName, what.c_str());
        return;
    }
    const LwoChunk* pnts = file.Find("PNTS");
    uint32_t count = std::min<uint32_t>(LwoPointCount(pnts), 0x10000);
    std::vector<Vec> points(count);
    for (uint32_t i = 0; i < count; ++i) {
        LwoPoint p = LwoPointAt(*pnts, i);
        points[i] = {p.x * kScale, -p.y * kScale, p.z * kScale};
    }
    std::vector<int16_t> surfaceOf(count, 0);
    LwoPolygonReader reader(file.Find("POLS"));
    LwoPolygon p;
    while (reader.Next(&p))
        for (int k = 0; k < std::min<int>(p.count, 3); ++k)
            if (p.Index(k) < count)
                surfaceOf[p.Index(k)] = p.surface;
    std::vector<std::string> names = LwoSurfaceNames(file.Find("SRFS"));

    UnionFind groups(count);
    using PairKey = uint64_t;
    std::unordered_map<PairKey, uint32_t> seen[3];
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t x = Bits(points[i].x), y = Bits(points[i].y), z = Bits(points[i].z);
        PairKey keys[3] = {PairKey{x} << 32 | y, PairKey{y} << 32 | z, PairKey{x} << 32 | z};
        for (int a = 0; a < 3; ++a) {
            auto [it, fresh] = seen[a].try_emplace(keys[a], i);
            if (!fresh)
                groups.Join(it->second, i);
        }
    }

    HullBox** tail = &bounds->boxes;
    while (*tail)
        tail = &(*tail)->next;
    // A group's root is its first point, so boxes come in the order of
    // their first points.
    std::vector<std::vector<uint32_t>> byRoot(count);
    for (uint32_t i = 0; i < count; ++i)
        byRoot[groups.Root(i)].push_back(i);
    for (uint32_t root = 0; root < count; ++root) {
        const std::vector<uint32_t>& members = byRoot[root];
        if (members.empty())
            continue;
        auto* box = static_cast<HullBox*>(AllocMemory(sizeof(HullBox)));
        box->minimum = box->maximum = {points[root].x, points[root].y, points[root].z};
        int16_t surface = 0;
        for (uint32_t i : members) {
            const Vec& q = points[i];
            box->minimum = {std::min(box->minimum.x, q.x), std::min(box->minimum.y, q.y), std::min(box->minimum.z, q.z)};
            box->maximum = {std::max(box->maximum.x, q.x), std::max(box->maximum.y, q.y), std::max(box->maximum.z, q.z)};
            if (!surface && surfaceOf[i] > 0)
                surface = surfaceOf[i];
        }
        if (members.size() != 8) {
            DebugPrint("Unexpected corner count - do some boxes share vertices?\n");
            DebugPrintf("%s\n", boxName);
        }
        if (surface > 0 && surface <= static_cast<int>(names.size()))
            box->flags = BoxFlags(names[static_cast<std::size_t>(surface - 1)]);
        *tail = box;
        tail = &box->next;
    }
}

// The object's name up to its first ".lwo" (any case), then `ending`.
void DerivedPath(const char* name, const char* ending, char* out, std::size_t size)
{
    std::size_t n = std::strlen(name);
    std::size_t cut = n;
    for (std::size_t i = 0; i + 4 <= n; ++i)
        if (name[i] == '.' && (name[i + 1] | 0x20) == 'l' && (name[i + 2] | 0x20) == 'w' && (name[i + 3] | 0x20) == 'o') {
            cut = i;
            break;
        }
    std::snprintf(out, size, "%.*s%s", static_cast<int>(cut), name, ending);
}

} // namespace

// The geometry the world's face picker reads: the model's kept vertex and
// face arrays, copied into the picker's plain form.
bool ReadModelMesh(const hx_model* model, MeshView* mesh)
{
    static std::vector<Vector3> vertices;
    static std::vector<uint16_t> faces;
    if (!model->vertices || !model->faces || !model->nfaces)
        return false;
    vertices.resize(model->nvertices);
    for (int i = 0; i < model->nvertices; ++i)
        vertices[static_cast<std::size_t>(i)] = {model->vertices[i].p.x, model->vertices[i].p.y, model->vertices[i].p.z};
    faces.resize(static_cast<std::size_t>(model->nfaces) * 3);
    for (int i = 0; i < model->nfaces; ++i)
        for (int k = 0; k < 3; ++k)
            faces[static_cast<std::size_t>(i) * 3 + static_cast<std::size_t>(k)] = model->faces[i].vertices[k];
    mesh->vertices = vertices.data();
    mesh->vertexCount = model->nvertices;
    mesh->faces = reinterpret_cast<const uint16_t(*)[3]>(faces.data());
    mesh->faceCount = model->nfaces;
    return true;
}

// ---- entry points -----------------------------------------------------------------------

void LwoCachePath(const char* name, char* out, std::size_t size) { DerivedPath(name, ".smg", out, size); }
void LwoBoxPath(const char* name, char* out, std::size_t size) { DerivedPath(name, "_BOX.lwo", out, size); }
void SetLwoSmoothingCache(bool on) { gLwo.useCache = on; }

hx_model* LWO2HXM(const char* name, Resource*, int32_t* sizeOut)
{
    if (!name)
        return nullptr;
    if (!HxDefaultMaterial()) {
        // Models, materials and maps live in the framework's scene layer.
        Box(kTitle, "The 3D framework is not running: %.200s cannot be loaded", name);
        return nullptr;
    }
    if (hx_model* known = HxModelFind(name))
        return known;
    Load load;
    load.name = name;
    // The faces work in the module's kept block, handed back on every way out.
    struct KeptFaces {
        Load& load;
        explicit KeptFaces(Load& l) : load(l)
        {
            load.faces.swap(gLwo.faces);
            load.faces.clear();
        }
        ~KeptFaces() { load.faces.swap(gLwo.faces); }
    } kept(load);
    if (!ReadObject(name, &load.file, sizeOut))
        return nullptr;
    const LwoChunk* pols = load.file.Find("POLS");
    if (!pols) {
        Box(kTitle, "No polygons in %.200s", name);
        return nullptr;
    }
    if (!BuildFaces(load, pols))
        return nullptr;
    PlaceCorners(load);
    ReadSurfaces(load);
    for (int i = 1; i < static_cast<int>(load.surfaces.size()); ++i)
        BuildSurfaceMaterial(load, i);
    FaceNormals(load);
    Smooth(load);
    hx_model* model = BuildModel(load);
    if (!model)
        return nullptr;
    SetModelMeshReader(ReadModelMesh);
    GetModelHullBounds(name, model);
    return model;
}

HullBounds* GetModelHullBounds(const char* name, hx_model* model)
{
    if (HullBounds* known = FindHullBounds(model))
        return known;
    HullBounds* bounds = AllocHullBounds();
    bounds->model = model;
    char boxName[400];
    LwoBoxPath(name, boxName, sizeof boxName);
    ReadHullBoxes(boxName, bounds);
    BuildHullPoints(model, bounds);
    return bounds;
}

WireShape* LWO2WRI(const char* name, Resource*, int32_t* sizeOut)
{
    if (!name)
        return nullptr;
    LwoFile file;
    if (!ReadObject(name, &file, sizeOut))
        return nullptr;
    const LwoChunk* pols = file.Find("POLS");
    if (!pols) {
        Box(kTitle, "No polygons in %.200s", name);
        return nullptr;
    }
    const LwoChunk* pnts = file.Find("PNTS");
    uint32_t count = std::min<uint32_t>(LwoPointCount(pnts), 0x10000);
    std::vector<uint16_t> edges;
    int badIndex = 0;
    bool singleSaid = false;
    LwoPolygonReader reader(pols);
    LwoPolygon p;
    while (reader.Next(&p)) {
        if (p.count == 1) {
            if (!singleSaid)
                DebugMessageBox("Single point polygon in WRI object.", kTitle);
            singleSaid = true;
            continue;
        }
        bool inRange = true;
        for (int k = 0; k < p.count; ++k)
            inRange = inRange && p.Index(k) < count;
        if (!inRange) {
            ++badIndex;
            continue;
        }
        for (int k = 0; k < p.count; ++k) {
            edges.push_back(p.Index(k));
            edges.push_back(p.Index((k + 1) % p.count));
        }
    }
    if (reader.Truncated()) {
        Box(kTitle, "A polygon runs past the end of POLS in %.200s", name);
        return nullptr;
    }
    if (badIndex)
        DebugPrintf("%s: %d polygons naming points past the %u points skipped\n", name, badIndex, count);

    // One block: the record, the points, the edges.
    std::size_t pointBytes = sizeof(float[3]) * count;
    std::size_t edgeBytes = sizeof(uint16_t) * edges.size();
    auto* block = static_cast<uint8_t*>(AllocMemory(sizeof(WireShape) + pointBytes + edgeBytes));
    auto* shape = reinterpret_cast<WireShape*>(block);
    shape->pointCount = static_cast<int32_t>(count);
    shape->points = reinterpret_cast<float(*)[3]>(block + sizeof(WireShape));
    shape->edgeCount = static_cast<int32_t>(edges.size() / 2);
    shape->edges = reinterpret_cast<uint16_t(*)[2]>(block + sizeof(WireShape) + pointBytes);
    for (uint32_t i = 0; i < count; ++i) {
        LwoPoint q = LwoPointAt(*pnts, i);
        shape->points[i][0] = -q.z;
        shape->points[i][1] = q.x;
        shape->points[i][2] = 0.0f;
    }
    if (!edges.empty())
        std::memcpy(shape->edges, edges.data(), edgeBytes);
    BuildSegmentParts(shape);
    return shape;
}

void FreeWireShape(WireShape* shape)
{
    if (!shape)
        return;
    FreeMemory(shape->parts);
    FreeMemory(shape);
}

void BuildSegmentParts(WireShape* set)
{
    if (!set)
        return;
    FreeMemory(set->parts);
    set->parts = nullptr;
    set->partCount = 0;
    const int32_t points = std::max(set->pointCount, 0);
    std::vector<int32_t> part(static_cast<std::size_t>(points), -1);
    // merged[n]: n while part n survives, -1 once it went into a lower one.
    std::vector<int32_t> merged;
    for (int32_t e = 0; e < set->edgeCount; ++e) {
        const int32_t a = set->edges[e][0];
        const int32_t b = set->edges[e][1];
        if (a >= points || b >= points)
            continue;
        if (part[a] < 0 && part[b] < 0) {
            part[a] = part[b] = static_cast<int32_t>(merged.size());
            merged.push_back(part[a]);
        } else if (part[a] >= 0 && part[b] >= 0 && part[a] != part[b]) {
            const int32_t low = std::min(part[a], part[b]);
            const int32_t high = std::max(part[a], part[b]);
            merged[high] = -1;
            std::replace(part.begin(), part.end(), high, low);
        } else if (part[a] < 0) {
            part[a] = part[b];
        } else if (part[b] < 0) {
            part[b] = part[a];
        }
    }
    // The survivors, renumbered in order.
    int32_t count = 0;
    for (int32_t& n : merged)
        n = n < 0 ? -1 : count++;
    std::vector<float> bounds(static_cast<std::size_t>(count) * 4);
    for (int32_t p = 0; p < count; ++p) {
        float* b = &bounds[static_cast<std::size_t>(p) * 4];
        b[0] = b[1] = 1.0e10f;
        b[2] = b[3] = -1.0e10f;
    }
    for (int32_t i = 0; i < points; ++i) {
        const int32_t final = part[i] < 0 ? -1 : merged[part[i]];
        set->points[i][2] = static_cast<float>(final);
        if (final < 0)
            continue;
        float* b = &bounds[static_cast<std::size_t>(final) * 4];
        b[0] = std::min(b[0], set->points[i][0]);
        b[1] = std::min(b[1], set->points[i][1]);
        b[2] = std::max(b[2], set->points[i][0]);
        b[3] = std::max(b[3], set->points[i][1]);
    }
    if (count == 0)
        return;
    set->parts = static_cast<SegmentPart*>(AllocMemory(sizeof(SegmentPart) * static_cast<std::size_t>(count)));
    if (!set->parts)
        return;
    set->partCount = count;
    for (int32_t p = 0; p < count; ++p) {
        const float* b = &bounds[static_cast<std::size_t>(p) * 4];
        set->parts[p] = {b[0], b[1], b[2] - b[0], b[3] - b[1], {}};
    }
}

int32_t LwoModelResourceSize(const char*) { return 0; }
int32_t LwoWireResourceSize(const char*) { return 0; }

int32_t PcxRasterResourceSize(const char* path)
{
    std::vector<uint8_t> file;
    PcxInfo info;
    if (!ResReadFile(path, file) || !PcxReadInfo(file, &info) || info.width > kMaxRasterSide ||
        info.height > kMaxRasterSide)
        return 0;
    std::size_t size = RasterBlockSize(static_cast<std::size_t>(info.width), static_cast<std::size_t>(info.height));
    return size < INT32_MAX ? static_cast<int32_t>(size) : 0;
}

void ConvertLwoPoints(const char* path, const char* outputPath)
{
    constexpr const char* kPointsTitle = "LWOB Pnts Loader Error";
    LwoFile file;
    std::string what;
    if (!path || !outputPath || LwoReadFile(path, &file, &what) != LwoStatus::Ok) {
        Box(kPointsTitle, "Slight problem. The file %.200s cannot be opened.", path ? path : "");
        return;
    }
    const LwoChunk* pnts = file.Find("PNTS");
    std::string text;
    for (uint32_t i = 0; i < LwoPointCount(pnts); ++i) {
        LwoPoint p = LwoPointAt(*pnts, i);
        char line[200];
        std::snprintf(line, sizeof line, "%.0f,%.0f,%.0f, ", static_cast<double>(p.x), static_cast<double>(-p.y),
                      static_cast<double>(p.z));
        text += line;
    }
    text += "\r\n";
    if (!platform::WriteFileAtomically(platform::SkipLeadingSeparator(outputPath), text.data(), text.size()))
        Box(kPointsTitle, "Slight problem. The file %.200s cannot be opened.", outputPath);
}

hx_pixelmap* FindTexturePixelmap(const char* name)
{
    for (const TextureEntry& t : gLwo.textures)
        if (t.name == name)
            return t.map;
    return nullptr;
}

void LoadTexturePixelmap(const char* name, const char* fileName)
{
    if (!name || !fileName)
        return;
    std::string base = BaseName(platform::SkipLeadingSeparator(fileName));
    hx_pixelmap* map = FindTextureInFolders(base);
    if (!map) {
        Box("Load Pixelmap Error", "Disaster - %.200s.pix is nowhere to be found\n ", base.c_str());
        return;
    }
    for (TextureEntry& t : gLwo.textures)
        if (t.name == name) {
            t.map = map;
            return;
        }
    gLwo.textures.insert(gLwo.textures.begin(), TextureEntry{name, map});
}

void ClearTexturePixelmaps()
{
    gLwo.textures.clear();
    gLwo.reported.clear();
}
