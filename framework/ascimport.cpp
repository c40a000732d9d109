// 3D Studio ASCII import: reads the line-oriented scene listing (named
// objects, tri-meshes with their vertices, faces, smoothing groups and
// materials) and makes one model per mesh. Lights, cameras and every line
// without a keyword are passed over.
//
// Lines are read up to 512 characters; a longer line is dropped whole,
// its remainder never taken for a line of its own.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "framework/diag.h"
#include "framework/file.h"
#include "framework/mem.h"
#include "framework/scene_state.h"

namespace {

constexpr size_t kLineMax = 512;
constexpr size_t kNameMax = 64;

enum Code {
    kIgnored,
    kName,
    kTriMesh,
    kVertex,
    kFace,
    kSmoothing,
    kMaterial,
};

struct Keyword {
    const char* text;
    Code code;
};

// The first that matches the start of a line wins, so the lists come
// before the single entries.
// clang-format off
constexpr Keyword kKeywords[] = {
    {"Ambient light color:", kIgnored}, {"Named object: ", kName},   {"Tri-mesh,", kTriMesh},
    {"Vertex list:", kIgnored},         {"Vertex", kVertex},         {"Face list:", kIgnored},
    {"Face", kFace},                    {"Smoothing:", kSmoothing},  {"Material:", kMaterial},
    {"Direct light", kIgnored},         {"Position:", kIgnored},     {"Light color:", kIgnored},
    {"Camera ", kIgnored},              {"Target ", kIgnored},       {"Bank angle: ", kIgnored},
};
// clang-format on

struct State {
    char name[kNameMax + 1] = "";
    hx_model* model = nullptr;
    int nextVertex = 0;
    int nextFace = 0;
    hx_face* lastFace = nullptr;
};

// The text between the first pair of double quotes, at most 64 characters;
// empty when there is none.
void ReadName(const char* arg, char* name)
{
    if (std::sscanf(arg, "\"%64[^\"]", name) != 1)
        name[0] = 0;
}

void OnTriMesh(State& s, const char* arg, hx_model** out, int n)
{
    int nv = 0, nf = 0;
    std::sscanf(arg, " Vertices: %d Faces: %d", &nv, &nf);
    s.model = HxModelAllocate(s.name[0] == '0' ? nullptr : s.name, nv, nf);
    s.nextVertex = 0;
    s.nextFace = 0;
    s.lastFace = nullptr;
    out[n] = s.model;
}

void OnVertex(State& s, const char* arg)
{
    int index = -1;
    float x = 0, y = 0, z = 0, u = 0, v = 0;
    std::sscanf(arg, "%d: X: %f Y: %f Z: %f U: %f V: %f", &index, &x, &y, &z, &u, &v);
    if (!s.model || index != s.nextVertex || index >= s.model->nvertices)
        return;
    hx_vertex& vertex = s.model->vertices[index];
    vertex.p = {x, y, z};
    vertex.map = {u, v};
    ++s.nextVertex;
}

void OnFace(State& s, const char* arg)
{
    int index = -1, a = 0, b = 0, c = 0, ab = 0, bc = 0, ca = 0;
    std::sscanf(arg, "%d: A:%d B:%d C:%d AB:%d BC:%d CA:%d", &index, &a, &b, &c, &ab, &bc, &ca);
    if (!s.model || index != s.nextFace || index >= s.model->nfaces)
        return;
    hx_face& face = s.model->faces[index];
    // Vertex numbers out of range are caught when the model is prepared.
    face.vertices[0] = uint16_t(a);
    face.vertices[1] = uint16_t(b);
    face.vertices[2] = uint16_t(c);
    face.material = nullptr;
    face.flags = uint8_t((ab == 0 ? 1 : 0) | (bc == 0 ? 2 : 0) | (ca == 0 ? 4 : 0));
    s.lastFace = &face;
    ++s.nextFace;
}

void OnSmoothing(State& s, const char* arg)
{
    if (!s.lastFace)
        return;
    s.lastFace->smoothing = 0;
    const char* p = arg;
    for (;;) {
        p += std::strspn(p, " \t,");
        char* end = nullptr;
        long group = std::strtol(p, &end, 0);
        if (end == p || group == 0)
            break;
        s.lastFace->smoothing |= uint16_t(1u << ((static_cast<unsigned long>(group) - 1) % 16));
        p = end;
    }
}

void OnMaterial(State& s, const char* arg)
{
    if (!s.lastFace)
        return;
    ReadName(arg, s.name);
    s.lastFace->material = s.name[0] ? HxMaterialFind(s.name) : nullptr;
}

// The next line; false at the end of the file. Over-long lines are
// dropped and the line after them read instead.
bool NextLine(hx_file* f, char* line, size_t size)
{
    for (;;) {
        if (HxFileEof(f))
            return false;
        size_t n = size_t(HxFileGetLine(line, size, f));
        if (n < size - 1)
            return true;
        while (n == size - 1 && !HxFileEof(f))
            n = size_t(HxFileGetLine(line, size, f));
    }
}

} // namespace

int HxAscModelLoadMany(const char* name, hx_model** out, int max)
{
    HX_CHECK(name != nullptr && out != nullptr, "ascimport", 100, 0);
    int mode = HX_FILE_MODE_TEXT;
    hx_file* f = HxFileOpenRead(name, 0, nullptr, &mode);
    if (!f) {
        HxFailure("Could not open '%s' for reading", name);
        return 0;
    }
    State s;
    int n = 0;
    char line[kLineMax + 2];
    while (NextLine(f, line, sizeof line)) {
        const Keyword* k = nullptr;
        for (const Keyword& candidate : kKeywords) {
            if (HxStrNICmp(line, candidate.text, std::strlen(candidate.text)) == 0) {
                k = &candidate;
                break;
            }
        }
        if (!k)
            continue;
        const char* arg = line + std::strlen(k->text);
        switch (k->code) {
        case kName:
            ReadName(arg, s.name);
            break;
        case kTriMesh:
            if (n >= max) {
                HxFileClose(f);
                return n;
            }
            OnTriMesh(s, arg, out, n);
            if (s.model)
                ++n;
            break;
        case kVertex:
            OnVertex(s, arg);
            break;
        case kFace:
            OnFace(s, arg);
            break;
        case kSmoothing:
            OnSmoothing(s, arg);
            break;
        case kMaterial:
            OnMaterial(s, arg);
            break;
        case kIgnored:
            break;
        }
    }
    HxFileClose(f);
    return n;
}
