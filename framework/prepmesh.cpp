// Models: allocation, the preparation that turns the editable vertex and
// face arrays into the prepared block the renderer draws (faces grouped by
// material, corners shared where they agree, smoothed normals, face planes,
// edge numbers), the quick update that refreshes only what changed, and
// the two texture-mapping helpers.
//
// Materials are ordered by their sequence number, never by address, so the
// groups come out the same from run to run. Scratch arrays are kept between
// updates (the framework runs on one thread), so per-frame updates do not
// allocate.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "framework/diag.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

namespace {

constexpr float kNormalMinLength = 2.3841858e-7f; // 2^-22
constexpr float kNormalClampLow = -0.99999988f;   // float bits 0xBF7FFFFE

struct Corner {
    hx_vector3 n;      // accumulated normal
    uint32_t nkey[3];  // the normal as ordered words (see OrderedBits)
    uint16_t vertex;   // model vertex
    uint16_t face;     // model face
    uint32_t rank;     // the face's material, as its place among the keys
    uint32_t share;    // weld class (or model vertex when not welding)
    uint32_t prepared; // its prepared vertex
};

// Vertices sorted by position and mapping, to class them without comparing
// corners against each other.
struct VertexKey {
    uint64_t xy; // p.x and p.y as ordered words, x high
    uint64_t zu; // p.z and map.x
    uint32_t v;  // map.y
    uint32_t vertex;
};

// Keys seen this preparation, by key: open addressing over a power-of-two
// table, cleared per preparation (no allocation once grown).
struct KeyTable {
    std::vector<uint32_t> keys; // 0 = empty slot (no material has key 0)
    std::vector<hx_material*> owners;
    uint32_t mask = 0;

    void Reset(size_t expected)
    {
        size_t size = 16;
        while (size < expected * 2)
            size *= 2;
        keys.assign(size, 0);
        owners.resize(size);
        mask = uint32_t(size - 1);
    }
    // The owner of key, or m once it is entered for it.
    hx_material* Emplace(uint32_t key, hx_material* m)
    {
        for (uint32_t at = (key * 2654435761u) & mask;; at = (at + 1) & mask) {
            if (keys[at] == key)
                return owners[at];
            if (keys[at] == 0) {
                keys[at] = key;
                owners[at] = m;
                return m;
            }
        }
    }
};

struct Scratch {
    std::vector<Corner> corners;
    std::vector<uint32_t> order;        // corner indices in sorted order
    std::vector<uint32_t> order2;       // the other buffer of a counting sort
    std::vector<uint32_t> counts;       // counting sort buckets
    std::vector<uint16_t> faceOrder;    // faces in material order
    std::vector<uint32_t> faceRank;     // per face: its material's rank
    std::vector<uint32_t> faceKey;      // per face: its material's key
    std::vector<uint32_t> distinctKeys; // material keys in ascending order
    std::vector<VertexKey> vertexKeys;
    std::vector<uint32_t> positionClass; // per model vertex
    std::vector<uint32_t> weldClass;     // per model vertex
    std::vector<uint64_t> classAt;       // per sorted corner: rank, weld class
    // Edge numbering: edges not yet met from the other side, found by their
    // ends (from << 16 | to) as a stack of the same ends, newest first.
    struct Edge {
        int32_t next; // the next older open edge with the same ends, or -1
        uint16_t number;
    };
    std::vector<Edge> edges;
    std::unordered_map<uint32_t, int32_t> openEdges;
    struct Around { // the faces at one position, for smoothing
        hx_vector3 n;
        uint16_t smoothing;
        uint16_t face;
    };
    std::vector<Around> around;
    struct GroupSum { // without creases: a smoothing mask's sum at one position
        uint16_t smoothing;
        hx_vector3 sum;
    };
    std::vector<GroupSum> groupSums;
    KeyTable keys; // material by key, to find shared keys
};
Scratch scratch;

const char* NameOf(const hx_model* model)
{
    return model->identifier ? model->identifier : "<NULL>";
}

// A material's place in the face order: null first, then by sequence.
// Materials not made by HxMaterialAllocate get their number here.
uint32_t MaterialKey(hx_material* m)
{
    if (!m)
        return 0;
    if (!m->sequence)
        m->sequence = ++v1db.material_sequence;
    return m->sequence;
}

uint32_t ColourWord(uint8_t index, uint8_t r, uint8_t g, uint8_t b)
{
    return uint32_t(index) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

uint32_t Round32(uint32_t x)
{
    return (x + 31u) & ~31u;
}

void UnitOrX(hx_vector3* n)
{
    float length = std::sqrt(n->x * n->x + n->y * n->y + n->z * n->z);
    if (length <= kNormalMinLength) {
        *n = {1, 0, 0};
        return;
    }
    n->x /= length;
    n->y /= length;
    n->z /= length;
}

void FacePlane(hx_vector3* n, hx_scalar* d, const hx_vector3& p0, const hx_vector3& p1, const hx_vector3& p2)
{
    hx_plane plane;
    HxPlaneEquation(&plane, &p0, &p1, &p2);
    float* c[3] = {&plane.x, &plane.y, &plane.z};
    for (float* v : c) {
        if (*v <= -1.0f)
            *v = kNormalClampLow;
        else if (*v >= 1.0f)
            *v = 1.0f;
    }
    *n = {plane.x, plane.y, plane.z};
    *d = plane.d;
}

// A float as a word whose unsigned order is the float's order, with -0 and
// +0 the same word (they compare equal). NaNs all take one word above
// every number.
uint32_t OrderedBits(float f)
{
    if (f != f)
        return 0xFFFFFFFFu;
    if (f == 0)
        return 0x80000000u;
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return (u & 0x80000000u) ? ~u : (u | 0x80000000u);
}

bool SameNormal(const Corner& a, const Corner& b)
{
    return a.nkey[0] == b.nkey[0] && a.nkey[1] == b.nkey[1] && a.nkey[2] == b.nkey[2];
}

bool NormalBefore(const Corner& a, const Corner& b)
{
    for (int i = 0; i < 3; ++i)
        if (a.nkey[i] != b.nkey[i])
            return a.nkey[i] < b.nkey[i];
    return false;
}

// Stable counting sort of the corner indices in `from` by a class below
// `classes`, into `to`.
template <typename ClassOf>
void CountingSort(const std::vector<uint32_t>& from, std::vector<uint32_t>& to, uint32_t classes, ClassOf classOf)
{
    std::vector<uint32_t>& counts = scratch.counts;
    counts.assign(size_t(classes) + 1, 0);
    for (uint32_t c : from)
        ++counts[classOf(c) + 1];
    for (uint32_t i = 1; i <= classes; ++i)
        counts[i] += counts[i - 1];
    to.resize(from.size());
    for (uint32_t c : from)
        to[counts[classOf(c)]++] = c;
}

void RadiusAndBounds(hx_model* model)
{
    const hx_vertex* v = model->vertices;
    float r2 = 0;
    model->bounds.min = model->bounds.max = v[0].p;
    for (int i = 0; i < model->nvertices; ++i) {
        const hx_vector3& p = v[i].p;
        r2 = std::max(r2, p.x * p.x + p.y * p.y + p.z * p.z);
        model->bounds.min = {std::min(model->bounds.min.x, p.x), std::min(model->bounds.min.y, p.y),
                             std::min(model->bounds.min.z, p.z)};
        model->bounds.max = {std::max(model->bounds.max.x, p.x), std::max(model->bounds.max.y, p.y),
                             std::max(model->bounds.max.z, p.z)};
    }
    model->radius = std::sqrt(r2);
}

// Material keys made distinct (a material whose record was copied from
// another's shares its number and takes a fresh one here), then each
// face's key and its rank among the keys present.
uint32_t RankMaterials(hx_model* model)
{
    const int nf = model->nfaces;
    hx_face* faces = model->faces;
    scratch.keys.Reset(size_t(nf) * 2); // a key per material and a fresh one each
    hx_material* last = nullptr;
    for (int f = 0; f < nf; ++f) {
        hx_material* m = faces[f].material;
        // A material just entered owns its key until it is met again.
        if (!m || m == last)
            continue;
        last = m;
        if (scratch.keys.Emplace(MaterialKey(m), m) != m) {
            m->sequence = ++v1db.material_sequence;
            scratch.keys.Emplace(m->sequence, m);
        }
    }
    std::vector<uint32_t>& keyOf = scratch.faceKey;
    keyOf.resize(size_t(nf));
    std::vector<uint32_t>& distinct = scratch.distinctKeys;
    distinct.clear();
    for (int f = 0; f < nf; ++f) {
        keyOf[size_t(f)] = MaterialKey(faces[f].material);
        if (f == 0 || keyOf[size_t(f)] != keyOf[size_t(f) - 1])
            distinct.push_back(keyOf[size_t(f)]);
    }
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    std::vector<uint32_t>& rankOf = scratch.faceRank;
    rankOf.resize(size_t(nf));
    for (int f = 0; f < nf; ++f) {
        if (f > 0 && keyOf[size_t(f)] == keyOf[size_t(f) - 1]) {
            rankOf[size_t(f)] = rankOf[size_t(f) - 1];
            continue;
        }
        rankOf[size_t(f)] =
            uint32_t(std::lower_bound(distinct.begin(), distinct.end(), keyOf[size_t(f)]) - distinct.begin());
    }
    return uint32_t(distinct.size());
}

// Classes of the model's vertices: equal positions, and equal positions
// and mappings (what welding joins). Returns the number of each.
void ClassVertices(const hx_model* model, uint32_t* positions, uint32_t* welds)
{
    const int nv = model->nvertices;
    const hx_vertex* verts = model->vertices;
    std::vector<VertexKey>& keys = scratch.vertexKeys;
    keys.resize(size_t(nv));
    for (int i = 0; i < nv; ++i) {
        const hx_vertex& v = verts[i];
        keys[size_t(i)] = {uint64_t(OrderedBits(v.p.x)) << 32 | OrderedBits(v.p.y),
                           uint64_t(OrderedBits(v.p.z)) << 32 | OrderedBits(v.map.x), OrderedBits(v.map.y),
                           uint32_t(i)};
    }
    // Equal keys are one class whatever their order, so no tie-break.
    std::sort(keys.begin(), keys.end(), [](const VertexKey& a, const VertexKey& b) {
        if (a.xy != b.xy)
            return a.xy < b.xy;
        if (a.zu != b.zu)
            return a.zu < b.zu;
        return a.v < b.v;
    });
    scratch.positionClass.resize(size_t(nv));
    scratch.weldClass.resize(size_t(nv));
    uint32_t p = 0, w = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i > 0) {
            const VertexKey& a = keys[i - 1];
            const VertexKey& b = keys[i];
            const bool samePosition = a.xy == b.xy && (a.zu >> 32) == (b.zu >> 32);
            if (!samePosition)
                ++p;
            if (!samePosition || a.zu != b.zu || a.v != b.v)
                ++w;
        }
        scratch.positionClass[keys[i].vertex] = p;
        scratch.weldClass[keys[i].vertex] = w;
    }
    *positions = p + 1;
    *welds = w + 1;
}

// Full preparation: validates, groups, shares, smooths and numbers edges.
// False (reported) when the model cannot be prepared.
//
// Faces go in material order (key, then face). Corners become prepared
// vertices in the order (material key, position and mapping when welding
// or else model vertex, normal, corner), runs of equal corners making one.
// Both orders come from stable counting sorts over classes of the keys, so
// no sort compares floats through the corners.
bool PrepareFull(hx_model* model)
{
    const int nf = model->nfaces;
    const int nv = model->nvertices;
    hx_face* faces = model->faces;
    hx_vertex* verts = model->vertices;
    if (nf == 0 || nv == 0) {
        HxFailure("HxModelUpdate: model has no faces or vertices (%s)", NameOf(model));
        return false;
    }
    // Indices first: a face naming a vertex out of range must not be read.
    for (int f = 0; f < nf; ++f)
        for (int c = 0; c < 3; ++c)
            if (faces[f].vertices[c] >= nv) {
                HxFailure("face references invalid vertex f=%d v=%d", f, c);
                return false;
            }
    model->flags &= uint16_t(~HX_MODF_UNMATERIALED);
    for (int f = 0; f < nf; ++f) {
        hx_face& face = faces[f];
        FacePlane(&face.n, &face.d, verts[face.vertices[0]].p, verts[face.vertices[1]].p, verts[face.vertices[2]].p);
        if (!face.material)
            model->flags |= HX_MODF_UNMATERIALED;
        if (face.smoothing == 0)
            face.smoothing = 0xFFFF;
    }

    const uint32_t nRanks = RankMaterials(model);
    uint32_t nPositions = 0, nWelds = 0;
    ClassVertices(model, &nPositions, &nWelds);
    const bool weld = !(model->flags & HX_MODF_DONT_WELD);

    // Corners and the faces in material order.
    std::vector<Corner>& corners = scratch.corners;
    corners.resize(size_t(nf) * 3);
    for (int f = 0; f < nf; ++f) {
        const uint32_t rank = scratch.faceRank[size_t(f)];
        for (int c = 0; c < 3; ++c) {
            const uint16_t vertex = faces[f].vertices[c];
            corners[size_t(f) * 3 + c] = {
                {0, 0, 0}, {0, 0, 0}, vertex, uint16_t(f), rank, weld ? scratch.weldClass[vertex] : vertex, 0};
        }
    }
    {
        std::vector<uint32_t>& counts = scratch.counts;
        counts.assign(size_t(nRanks) + 1, 0);
        for (int f = 0; f < nf; ++f)
            ++counts[scratch.faceRank[size_t(f)] + 1];
        for (uint32_t i = 1; i <= nRanks; ++i)
            counts[i] += counts[i - 1];
        std::vector<uint16_t>& faceOrder = scratch.faceOrder;
        faceOrder.resize(size_t(nf));
        for (int f = 0; f < nf; ++f)
            faceOrder[counts[scratch.faceRank[size_t(f)]]++] = uint16_t(f);
    }
    const std::vector<uint16_t>& faceOrder = scratch.faceOrder;

    // Smoothing: corners at one position take the planes of the faces that
    // share a smoothing bit (and, with creases, lie within the angle),
    // summed in corner order.
    std::vector<uint32_t>& order = scratch.order;
    std::vector<uint32_t>& other = scratch.order2;
    other.resize(corners.size());
    for (size_t i = 0; i < other.size(); ++i)
        other[i] = uint32_t(i);
    CountingSort(other, order, nPositions,
                 [&](uint32_t c) { return scratch.positionClass[corners[c].vertex]; });
    const bool crease = model->flags & HX_MODF_CREASE;
    const float creaseCos = std::cos(float(model->crease_angle) * float(M_PI) / 32768.0f);
    std::vector<Scratch::Around>& around = scratch.around;
    for (size_t start = 0; start < order.size();) {
        const uint32_t cls = scratch.positionClass[corners[order[start]].vertex];
        size_t end = start + 1;
        while (end < order.size() && scratch.positionClass[corners[order[end]].vertex] == cls)
            ++end;
        around.clear();
        for (size_t i = start; i < end; ++i) {
            const hx_face& face = faces[corners[order[i]].face];
            around.push_back({face.n, face.smoothing, corners[order[i]].face});
        }
        // Without creases a corner's sum depends only on its face's mask (its
        // own face always shares a bit, smoothing 0 having become all bits),
        // so each mask at the position is summed once: a position that many
        // faces share costs faces x masks, not faces squared.
        std::vector<Scratch::GroupSum>& groups = scratch.groupSums;
        groups.clear();
        for (size_t i = 0; i < around.size(); ++i) {
            const Scratch::Around& me = around[i];
            hx_vector3 sum = {0, 0, 0};
            if (!crease) {
                auto group = std::find_if(groups.begin(), groups.end(),
                                          [&](const Scratch::GroupSum& g) { return g.smoothing == me.smoothing; });
                if (group == groups.end()) {
                    for (const Scratch::Around& them : around)
                        if (them.smoothing & me.smoothing) {
                            sum.x += them.n.x;
                            sum.y += them.n.y;
                            sum.z += them.n.z;
                        }
                    groups.push_back({me.smoothing, sum});
                } else {
                    sum = group->sum;
                }
            }
            for (size_t j = 0; crease && j < around.size(); ++j) {
                const Scratch::Around& them = around[j];
                if (j != i) {
                    if (!(them.smoothing & me.smoothing))
                        continue;
                    if (them.face != me.face &&
                        !(them.n.x * me.n.x + them.n.y * me.n.y + them.n.z * me.n.z > creaseCos))
                        continue;
                }
                sum.x += them.n.x;
                sum.y += them.n.y;
                sum.z += them.n.z;
            }
            Corner& corner = corners[order[start + i]];
            corner.n = sum;
            corner.nkey[0] = OrderedBits(sum.x);
            corner.nkey[1] = OrderedBits(sum.y);
            corner.nkey[2] = OrderedBits(sum.z);
        }
        start = end;
    }

    // Sharing: corners in (material, weld class, normal, corner) order;
    // runs of equal corners become one prepared vertex.
    for (size_t i = 0; i < other.size(); ++i)
        other[i] = uint32_t(i);
    CountingSort(other, order, weld ? nWelds : uint32_t(nv), [&](uint32_t c) { return corners[c].share; });
    CountingSort(order, other, nRanks, [&](uint32_t c) { return scratch.faceRank[c / 3]; });
    order.swap(other);
    // Each place's (material, weld class), gathered once so the passes
    // below read them in order.
    std::vector<uint64_t>& classAt = scratch.classAt;
    classAt.resize(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        classAt[i] = uint64_t(corners[order[i]].rank) << 32 | corners[order[i]].share;
    auto before = [&](uint32_t a, uint32_t b) {
        if (!SameNormal(corners[a], corners[b]))
            return NormalBefore(corners[a], corners[b]);
        return a < b;
    };
    for (size_t start = 0; start < order.size();) {
        size_t end = start + 1;
        while (end < order.size() && classAt[end] == classAt[start])
            ++end;
        if (end - start > 1)
            std::sort(order.begin() + std::ptrdiff_t(start), order.begin() + std::ptrdiff_t(end), before);
        start = end;
    }
    // Sorting within a run keeps each place's class.
    auto sameShare = [&](size_t i) {
        return classAt[i - 1] == classAt[i] && SameNormal(corners[order[i - 1]], corners[order[i]]);
    };
    uint32_t nPrepared = order.empty() ? 0 : 1;
    for (size_t i = 1; i < order.size(); ++i)
        if (!sameShare(i))
            ++nPrepared;

    // Groups: one per run of faces of one material.
    uint32_t nGroups = 1;
    for (int i = 1; i < nf; ++i)
        if (faces[faceOrder[size_t(i)]].material != faces[faceOrder[size_t(i) - 1]].material)
            ++nGroups;

    const uint32_t size = 32 + Round32(nGroups * uint32_t(sizeof(hx_prepared_group))) +
                          Round32(uint32_t(nf) * uint32_t(sizeof(hx_prepared_face))) +
                          nPrepared * uint32_t(sizeof(hx_prepared_vertex)) + Round32(nPrepared * 4) +
                          Round32(uint32_t(nf) * 4) + nPrepared * 2 + uint32_t(nf) * 2;
    hx_prepared_model* pm = model->prepared;
    if (pm && pm->size < size) {
        HxResFree(pm);
        pm = model->prepared = nullptr;
    }
    if (!pm) {
        pm = static_cast<hx_prepared_model*>(HxResAllocate(model, size, HX_RES_PREPARED_MODEL));
        if (!pm)
            return false;
        model->prepared = pm; // a new resource comes zeroed
        pm->size = size;
    } else {
        uint32_t keep = pm->size;
        std::memset(static_cast<void*>(pm), 0, keep);
        pm->size = keep;
    }
    auto* base = reinterpret_cast<uint8_t*>(pm);
    uint32_t at = 32;
    pm->groups = reinterpret_cast<hx_prepared_group*>(base + at);
    pm->ngroups = uint16_t(nGroups);
    at += Round32(nGroups * uint32_t(sizeof(hx_prepared_group)));
    auto* allFaces = reinterpret_cast<hx_prepared_face*>(base + at);
    at += Round32(uint32_t(nf) * uint32_t(sizeof(hx_prepared_face)));
    auto* allVertices = reinterpret_cast<hx_prepared_vertex*>(base + at);
    at += nPrepared * uint32_t(sizeof(hx_prepared_vertex));
    auto* vertexColours = reinterpret_cast<uint32_t*>(base + at);
    at += Round32(nPrepared * 4);
    auto* faceColours = reinterpret_cast<uint32_t*>(base + at);
    at += Round32(uint32_t(nf) * 4);
    auto* vertexUser = reinterpret_cast<uint16_t*>(base + at);
    at += nPrepared * 2;
    auto* faceUser = reinterpret_cast<uint16_t*>(base + at);

    // Faces, in material order, into their groups.
    int g = -1;
    for (int i = 0; i < nf; ++i) {
        const uint16_t f = faceOrder[size_t(i)];
        const hx_face& face = faces[f];
        if (g < 0 || face.material != pm->groups[g].material) {
            ++g;
            hx_prepared_group& group = pm->groups[g];
            group.material = face.material;
            group.faces = allFaces + i;
            group.face_colours = faceColours + i;
            group.face_user = faceUser + i;
        }
        hx_prepared_group& group = pm->groups[g];
        hx_prepared_face& pf = allFaces[i];
        pf.n = face.n;
        pf.d = face.d;
        faceColours[i] = ColourWord(face.index, face.red, face.green, face.blue);
        faceUser[i] = f;
        group.nfaces++;
    }

    // Vertices: each run of equal corners makes one; a change of material
    // starts the next group's vertices.
    int32_t v = -1;
    g = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        Corner& c = corners[order[i]];
        if (i == 0 || !sameShare(i)) {
            ++v;
            if (i == 0 || (classAt[i] >> 32) != (classAt[i - 1] >> 32)) {
                ++g;
                pm->groups[g].vertices = allVertices + v;
                pm->groups[g].vertex_colours = vertexColours + v;
                pm->groups[g].vertex_user = vertexUser + v;
            }
            const hx_vertex& mv = verts[c.vertex];
            hx_prepared_vertex& pv = allVertices[v];
            pv.p = {mv.p.x - model->pivot.x, mv.p.y - model->pivot.y, mv.p.z - model->pivot.z};
            pv.map = mv.map;
            pv.n = c.n;
            UnitOrX(&pv.n);
            vertexColours[v] = ColourWord(mv.index, mv.red, mv.green, mv.blue);
            vertexUser[v] = c.vertex;
            const uint32_t inGroup = uint32_t(&allVertices[v] - pm->groups[g].vertices) + 1;
            if (inGroup > 0xFFFF) {
                HxFailure("HxModelUpdate: more than 65535 vertices in one group (%s)", NameOf(model));
                HxModelClearPrepared(model);
                return false;
            }
            pm->groups[g].nvertices = uint16_t(inGroup);
        }
        c.prepared = uint32_t(v);
    }
    // Faces take their corners' prepared vertices, relative to the group.
    for (int gi = 0; gi < int(nGroups); ++gi) {
        hx_prepared_group& group = pm->groups[gi];
        const uint32_t first = uint32_t(group.vertices - allVertices);
        for (int i = 0; i < group.nfaces; ++i) {
            const uint16_t f = group.face_user[i];
            for (int c = 0; c < 3; ++c)
                group.faces[i].vertices[c] = uint16_t(corners[size_t(f) * 3 + c].prepared - first);
        }
        // Edges: a face's edge a->b takes the number of the newest edge b->a that
        // no face has taken yet, else a number of its own. Looked up by its
        // ends, so a vertex that thousands of faces share costs no more
        // than any other.
        scratch.edges.clear();
        scratch.openEdges.clear();
        uint16_t numbered = 0;
        for (int i = 0; i < group.nfaces; ++i) {
            hx_prepared_face& pf = group.faces[i];
            const uint8_t flags = faces[group.face_user[i]].flags;
            for (int e = 0; e < 3; ++e) {
                pf.edges[e] = 0;
                if (flags & (1u << e))
                    continue;
                const uint32_t a = pf.vertices[e];
                const uint32_t b = pf.vertices[(e + 1) % 3];
                auto twin = scratch.openEdges.find(b << 16 | a);
                if (twin != scratch.openEdges.end()) {
                    const Scratch::Edge& edge = scratch.edges[size_t(twin->second)];
                    pf.edges[e] = edge.number;
                    if (edge.next >= 0)
                        twin->second = edge.next;
                    else
                        scratch.openEdges.erase(twin);
                } else {
                    auto [open, fresh] = scratch.openEdges.try_emplace(a << 16 | b, -1);
                    scratch.edges.push_back({fresh ? -1 : open->second, ++numbered});
                    open->second = int32_t(scratch.edges.size() - 1);
                    pf.edges[e] = numbered;
                }
            }
        }
        group.nedges = uint16_t(numbered + 1);
    }
    return true;
}

void QuickUpdate(hx_model* model, uint16_t flags)
{
    hx_prepared_model* pm = model->prepared;
    if (model->vertices && (flags & 0x000F)) {
        for (int g = 0; g < pm->ngroups; ++g) {
            hx_prepared_group& group = pm->groups[g];
            for (int v = 0; v < group.nvertices; ++v) {
                HX_CHECK_AS(group.vertex_user[v] < model->nvertices,
                            "v11m->groups[g].vertex_user[v] < model->nvertices", "prepmesh", 1240, );
                const hx_vertex& mv = model->vertices[group.vertex_user[v]];
                hx_prepared_vertex& pv = group.vertices[v];
                if (flags & HX_MODU_POSITIONS)
                    pv.p = {mv.p.x - model->pivot.x, mv.p.y - model->pivot.y, mv.p.z - model->pivot.z};
                if (flags & HX_MODU_VERTEX_COLOURS)
                    group.vertex_colours[v] = ColourWord(mv.index, mv.red, mv.green, mv.blue);
                if (flags & HX_MODU_MAPPING)
                    pv.map = mv.map;
                if ((flags & HX_MODU_NORMALS) && (model->flags & HX_MODF_CUSTOM_NORMALS))
                    pv.n = mv.n;
            }
        }
    }
    if (model->faces && (flags & HX_MODU_FACE_COLOURS)) {
        for (int g = 0; g < pm->ngroups; ++g) {
            hx_prepared_group& group = pm->groups[g];
            for (int f = 0; f < group.nfaces; ++f) {
                HX_CHECK_AS(group.face_user[f] < model->nfaces, "v11m->groups[g].face_user[f] < model->nfaces",
                            "prepmesh", 1260, );
                const hx_face& face = model->faces[group.face_user[f]];
                group.face_colours[f] = ColourWord(face.index, face.red, face.green, face.blue);
            }
        }
    }
    if (!(flags & HX_MODU_POSITIONS))
        return;
    // Planes from the moved vertices first, so the normals summed from them
    // are this frame's.
    for (int g = 0; g < pm->ngroups; ++g) {
        hx_prepared_group& group = pm->groups[g];
        for (int f = 0; f < group.nfaces; ++f) {
            hx_prepared_face& pf = group.faces[f];
            FacePlane(&pf.n, &pf.d, group.vertices[pf.vertices[0]].p, group.vertices[pf.vertices[1]].p,
                      group.vertices[pf.vertices[2]].p);
        }
        if (model->flags & HX_MODF_CUSTOM_NORMALS)
            continue;
        for (int v = 0; v < group.nvertices; ++v)
            group.vertices[v].n = {0, 0, 0};
        for (int f = 0; f < group.nfaces; ++f) {
            const hx_prepared_face& pf = group.faces[f];
            for (int c = 0; c < 3; ++c) {
                hx_vector3& n = group.vertices[pf.vertices[c]].n;
                n.x += pf.n.x;
                n.y += pf.n.y;
                n.z += pf.n.z;
            }
        }
        for (int v = 0; v < group.nvertices; ++v)
            UnitOrX(&group.vertices[v].n);
    }
}

// The renderer's own copy, for models that keep no arrays and ask for it.
void StoreGeometry(hx_model* model)
{
    if (!v1db.renderer || !v1db.geometry_v1_model || !(model->flags & HX_MODF_STORED) ||
        (model->flags & HX_MODF_UPDATEABLE) || !model->prepared)
        return;
    if (model->stored) {
        model->stored->dispatch->free(model->stored);
        model->stored = nullptr;
    }
    auto* format = reinterpret_cast<const hx_geometry_v1_model_dispatch*>(v1db.geometry_v1_model->dispatch);
    hx_token_value tv[2] = {{HXT_CAN_SHARE_B, HxValueInt(1)}, {}};
    hx_object* stored = nullptr;
    if (format->storedNew(v1db.geometry_v1_model, v1db.renderer, &stored, model->prepared, HXT_TRIANGLE, tv) ==
            HX_OK &&
        stored) {
        model->stored = stored;
        // The prepared block stays even when the copy does not share it: a
        // restarted renderer is given it again, the arrays being gone.
        hx_value shared{};
        if (stored->dispatch->query)
            stored->dispatch->query(stored, &shared, HXT_SHARED_B);
    }
}

} // namespace

hx_model* HxModelAllocate(const char* name, int nvertices, int nfaces)
{
    if (nvertices < 0 || nvertices > 0xFFFF || nfaces < 0 || nfaces > 0xFFFF)
        return nullptr;
    auto* model = static_cast<hx_model*>(HxResAllocate(v1db.res, sizeof(hx_model), HX_RES_MODEL));
    if (!model)
        return nullptr;
    std::memset(static_cast<void*>(model), 0, sizeof *model);
    if (name)
        model->identifier = HxResStrDup(model, name);
    model->nvertices = uint16_t(nvertices);
    model->nfaces = uint16_t(nfaces);
    if (nvertices) {
        model->vertices = static_cast<hx_vertex*>(
            HxResAllocate(model, uint32_t(nvertices) * uint32_t(sizeof(hx_vertex)), HX_RES_VERTICES));
        if (model->vertices)
            std::memset(static_cast<void*>(model->vertices), 0, size_t(nvertices) * sizeof(hx_vertex));
    }
    if (nfaces) {
        model->faces =
            static_cast<hx_face*>(HxResAllocate(model, uint32_t(nfaces) * uint32_t(sizeof(hx_face)), HX_RES_FACES));
        if (model->faces)
            std::memset(static_cast<void*>(model->faces), 0, size_t(nfaces) * sizeof(hx_face));
    }
    if ((nvertices && !model->vertices) || (nfaces && !model->faces)) {
        HxResFree(model);
        return nullptr;
    }
    return model;
}

void HxModelFree(hx_model* model)
{
    if (!model)
        return;
    if (model->stored)
        model->stored->dispatch->free(model->stored);
    HxResFree(model);
}

void HxModelClearPrepared(hx_model* model)
{
    if (model->stored) {
        model->stored->dispatch->free(model->stored);
        model->stored = nullptr;
    }
    if (model->prepared) {
        HxResFree(model->prepared);
        model->prepared = nullptr;
    }
}

void HxModelUpdate(hx_model* model, uint16_t flags)
{
    HX_CHECK(model != nullptr, "prepmesh", 1100, );
    if (model->flags & HX_MODF_PREPREPARED)
        return;
    if (!model->vertices || !model->faces) {
        // Arrays freed after an earlier preparation: the prepared block is
        // kept and only the renderer's copy is made again.
        if (model->prepared && !model->vertices && !model->faces) {
            StoreGeometry(model);
            return;
        }
        HxFailure("HxModelUpdate: model has no faces or vertices (%s)", NameOf(model));
        return;
    }
    if (flags & HX_MODU_GEOMETRY)
        flags |= HX_MODU_POSITIONS;
    if (model->flags & (HX_MODF_KEEP_ORIGINAL | HX_MODF_GENERATE_TAGS))
        model->flags |= HX_MODF_UPDATEABLE;
    if (!(model->flags & HX_MODF_CUSTOM_BOUNDS) && (flags & (HX_MODU_POSITIONS | HX_MODU_BOUNDS)) &&
        model->nvertices)
        RadiusAndBounds(model);
    if (!model->prepared || (flags & HX_MODU_FULL)) {
        if (!PrepareFull(model))
            return;
    } else {
        QuickUpdate(model, flags);
    }
    if (!(model->flags & HX_MODF_UPDATEABLE)) {
        HxResFree(model->vertices);
        HxResFree(model->faces);
        model->vertices = nullptr;
        model->faces = nullptr;
        model->nvertices = 0;
        model->nfaces = 0;
    }
    StoreGeometry(model);
}

void HxModelApplyMap(hx_model* model, int type, const hx_matrix34* xform)
{
    HX_CHECK(model != nullptr, "prepmesh", 1400, );
    hx_matrix34 identity;
    if (!xform)
        xform = HxMatrix34Identity(&identity);
    // Angles as the framework's 16-bit units, then degrees.
    auto degrees = [](float y, float x) {
        float radians = std::atan2(y, x);
        uint16_t units = uint16_t(int32_t(radians * 10430.378f));
        return float(units) * 0.0054931640625f;
    };
    for (int i = 0; i < model->nvertices && model->vertices; ++i) {
        hx_vertex& v = model->vertices[i];
        hx_vector3 p;
        HxMatrix34ApplyP(&p, &v.p, xform);
        switch (type) {
        case HX_APPLYMAP_PLANE:
            v.map = {(p.x + 1) / 2, (p.y + 1) / 2};
            break;
        case HX_APPLYMAP_SPHERE:
            v.map = {degrees(-p.z, p.x) / 360, 1 - degrees(std::sqrt(p.z * p.z + p.x * p.x), p.y) / 180};
            break;
        case HX_APPLYMAP_CYLINDER:
            v.map = {degrees(-p.z, p.x) / 360, (p.y + 1) / 2};
            break;
        case HX_APPLYMAP_DISC:
            v.map = {degrees(-p.y, p.x) / 360, std::sqrt(p.y * p.y + p.x * p.x)};
            break;
        case HX_APPLYMAP_NONE:
            v.map = {0, 0};
            break;
        default:
            break;
        }
    }
}

hx_matrix34* HxModelFitMap(hx_model* model, int axisU, int axisV, hx_matrix34* out)
{
    static constexpr hx_vector3 kAxes[6] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    HX_CHECK(model != nullptr && out != nullptr, "prepmesh", 1450, out);
    HX_CHECK(axisU >= 0 && axisU < 6 && axisV >= 0 && axisV < 6, "prepmesh", 1451, out);
    const hx_vector3 u = kAxes[axisU], v = kAxes[axisV];
    const hx_vector3 w = {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
    *out = {};
    out->m[0][0] = u.x, out->m[1][0] = u.y, out->m[2][0] = u.z;
    out->m[0][1] = v.x, out->m[1][1] = v.y, out->m[2][1] = v.z;
    out->m[0][2] = w.x, out->m[1][2] = w.y, out->m[2][2] = w.z;
    const hx_bounds3& b = model->bounds;
    auto scale = [](float lo, float hi) { return hi - lo != 0 ? 1.0f / ((hi - lo) / 2) : 1.0f; };
    HxMatrix34PreScale(out, scale(b.min.x, b.max.x), scale(b.min.y, b.max.y), scale(b.min.z, b.max.z));
    HxMatrix34PreTranslate(out, -(b.min.x + b.max.x) / 2, -(b.min.y + b.max.y) / 2, -(b.min.z + b.max.z) / 2);
    return out;
}
