// Break-up into shrapnel: seeds, face assignment, piece models with their
// inner skin, and the two ways the pieces go on (child parts of one debris
// item, or scene items of their own).
#include "world/shrapnel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <climits>
#include <cstring>
#include <string>

#include "ai/aistate.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "framework/scene_state.h"
#include "system/crand.h"
#include "system/errors.h"
#include "view/explosions.h"
#include "view/renderpasses.h"
#include "world/behaviours.h"
#include "world/collisions.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"

namespace {

constexpr char kCarbonName[] = "carbon";
constexpr char kCarbonMapName[] = "zqk\\resource\\art\\textures\\ships\\cold.pix";
constexpr char kStandardShadeTable[] = "zqk\\resource\\art\\textures\\ships\\klvstd.tab";
constexpr uint16_t kAvatarBreakable = 0x10;
constexpr int16_t kItemShrapnel = 0x200;
constexpr float kFarAway = 1e25f;
constexpr float kMinimumBreakRadius = 35000.0f;
constexpr uint8_t kInnerColourRange = 191;
constexpr uint8_t kCapColour = 191;
// A piece's hull value: its mass / kHullMassUnit x kPieceHullScale.
constexpr double kHullMassUnit = 1.382e20;
constexpr double kPieceHullScale = 900.0;
// A piece model holds twice its vertices (plus the cap centre) and twice
// its faces (plus the caps); both counts are 16-bit.
constexpr int kMaxModelEntries = 0xFFFF;

enum class BreakForm {
    Holder,
    SceneItems
};

// The state of the break-up module: each entry point's face assignment and
// seed table, overwritten by each break; the serial of piece names.
struct ShrapnelState {
    ShrapnelAssignment holderAssignment;
    ShrapnelAssignment itemAssignment;
    Vector3 seeds[kMaxShrapnelPieces];
    uint32_t nextSerial;
    // Scratch of the piece building, reused from break to break.
    std::vector<int32_t> remap;
    std::vector<uint16_t> pieceVertices;
    std::vector<uint8_t> pieceBorder;
    std::vector<uint16_t> pieceFaces;
};
ShrapnelState shrapnel;

float CRandUnit() { return static_cast<float>(CRand()) / static_cast<float>(kCRandMax); }

Vector3 Sub(const hx_vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// The "carbon" material of the inner skins, set up with its map the first
// time it is met without one.
hx_material* CarbonMaterial(BreakForm form)
{
    hx_material* carbon = HxMaterialFind(kCarbonName);
    if (!carbon)
        return nullptr;
    if (!carbon->colour_map) {
        carbon->index_shade = HxTableFind(kStandardShadeTable);
        carbon->colour_map = HxMapFind(kCarbonMapName);
        carbon->flags = form == BreakForm::Holder ? 6 : 5;
        HxMaterialUpdate(carbon, 255);
    }
    return carbon;
}

bool Degenerate(const hx_model* model, const hx_face& face)
{
    const uint16_t* c = face.vertices;
    if (c[0] >= model->nvertices || c[1] >= model->nvertices || c[2] >= model->nvertices)
        return true;
    if (c[0] == c[1] || c[1] == c[2] || c[2] == c[0])
        return true;
    const hx_vector3& a = model->vertices[c[0]].p;
    const hx_vector3& b = model->vertices[c[1]].p;
    const hx_vector3& d = model->vertices[c[2]].p;
    Vector3 ab{b.x - a.x, b.y - a.y, b.z - a.z};
    Vector3 ad{d.x - a.x, d.y - a.y, d.z - a.z};
    Vector3 n;
    VecCross(ab, ad, n);
    return n.x == 0 && n.y == 0 && n.z == 0;
}

// Faces from the vertices' pieces: first the piece of a corner chosen at
// random, then each corner pair that shares a piece sets it (later pairs
// win); two or more such pairs make an interior face.
void AssignFaces(const hx_model* model, ShrapnelAssignment* out)
{
    static constexpr int kPairs[3][2] = {{0, 1}, {1, 2}, {2, 0}};
    out->faces = model->nfaces;
    out->rows.resize(model->nfaces);
    for (uint16_t f = 0; f < model->nfaces; ++f) {
        const hx_face& face = model->faces[f];
        ShrapnelFace& row = out->rows[f];
        row.face = f;
        if (Degenerate(model, face)) {
            row.piece = kNoShrapnelPiece;
            row.border = 255;
            continue;
        }
        uint16_t piece = out->vertexPiece[face.vertices[CRand() % 3]];
        int shared = 0;
        for (const auto& pair : kPairs) {
            uint16_t a = out->vertexPiece[face.vertices[pair[0]]];
            if (a == out->vertexPiece[face.vertices[pair[1]]]) {
                piece = a;
                ++shared;
            }
        }
        row.piece = piece;
        row.border = shared >= 2 ? 0 : 255;
    }
}

// Seeds crowding toward the centre: every coordinate between the centre
// and the bounds' maximum on its axis.
void MakeSeeds(const hx_model* model, int pieces, const Vector3& centre, float exponent, BreakForm form)
{
    Vector3 lo{1e8f, 1e8f, 1e8f}, hi{-1e8f, -1e8f, -1e8f};
    for (int i = 0; i < model->nvertices; ++i) {
        const hx_vector3& p = model->vertices[i].p;
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    const float c[3] = {centre.x, centre.y, centre.z};
    const float mins[3] = {lo.x, lo.y, lo.z};
    const float maxs[3] = {hi.x, hi.y, hi.z};
    for (int s = 0; s < pieces; ++s) {
        float axis[3];
        for (int a = 0; a < 3; ++a) {
            float r;
            if (form == BreakForm::Holder) {
                r = std::pow(CRandUnit(), exponent);
                axis[a] = r > 0 ? c[a] + r * (maxs[a] - c[a]) : c[a] + r * (c[a] - mins[a]);
            } else {
                // A negative base to a fractional power has no real value:
                // such an exponent keeps the sign instead.
                const float base = 2.0f * CRandUnit() - 1.0f;
                r = base < 0 && exponent != std::floor(exponent) ? -std::pow(-base, exponent)
                                                                 : std::pow(base, exponent);
                axis[a] = r > 0 ? c[a] + r * (maxs[a] - c[a]) : c[a] + r * (mins[a] - c[a]);
            }
        }
        shrapnel.seeds[s] = {axis[0], axis[1], axis[2]};
    }
}

// A piece model, centred, with its inner skin; null for a piece without
// faces or one too big for a model. *mean gets the old mean.
hx_model* BuildPiece(const hx_model* model, const ShrapnelAssignment& assignment, uint16_t piece,
                     hx_material* carbon, const Vector3* splitNormal, Vector3* mean)
{
    std::vector<int32_t>& remap = shrapnel.remap;
    std::vector<uint16_t>& vertices = shrapnel.pieceVertices;
    std::vector<uint8_t>& border = shrapnel.pieceBorder;
    std::vector<uint16_t>& faces = shrapnel.pieceFaces;
    remap.assign(model->nvertices, -1);
    vertices.clear();
    border.clear();
    faces.clear();
    for (const ShrapnelFace& row : assignment.rows) {
        if (row.piece != piece)
            continue;
        faces.push_back(row.face);
        for (uint16_t v : model->faces[row.face].vertices) {
            if (remap[v] < 0) {
                remap[v] = static_cast<int32_t>(vertices.size());
                vertices.push_back(v);
                border.push_back(0);
            }
            if (row.border)
                border[remap[v]] = 1;
        }
    }
    if (faces.empty())
        return nullptr;

    const int nv = static_cast<int>(vertices.size());
    const int nf = static_cast<int>(faces.size());
    // The plane split closes its cut: every face with two or three corners
    // on the cut gets cap faces to one centre vertex.
    int caps = 0;
    if (splitNormal)
        for (uint16_t f : faces) {
            int marked = 0;
            for (uint16_t v : model->faces[f].vertices)
                marked += border[remap[v]];
            caps += marked == 3 ? 3 : marked == 2 ? 1
                                                  : 0;
        }
    const int totalVertices = 2 * nv + (splitNormal ? 1 : 0);
    const int totalFaces = 2 * nf + caps;
    if (totalVertices > kMaxModelEntries || totalFaces > kMaxModelEntries) {
        DebugPrint("Shrapnel piece too big for a model\n");
        return nullptr;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%s.%u", kShrapnelName, static_cast<unsigned>(shrapnel.nextSerial++));
    hx_model* out = HxModelAllocate(name, totalVertices, totalFaces);
    if (!out)
        return nullptr;
    out->flags |= HX_MODF_KEEP_ORIGINAL | HX_MODF_GENERATE_TAGS;

    hx_vector3 lo{1e8f, 1e8f, 1e8f}, hi{-1e8f, -1e8f, -1e8f};
    for (int i = 0; i < nv; ++i) {
        hx_vertex& v = out->vertices[i];
        v = model->vertices[vertices[i]];
        v.index = border[i];
        lo = {std::min(lo.x, v.p.x), std::min(lo.y, v.p.y), std::min(lo.z, v.p.z)};
        hi = {std::max(hi.x, v.p.x), std::max(hi.y, v.p.y), std::max(hi.z, v.p.z)};
    }
    // Planar map coordinates over the piece's box: x across, and the
    // longer of z and y down. A flat extent maps to 0.
    const bool useZ = hi.z - lo.z > hi.y - lo.y;
    const float spanX = hi.x - lo.x;
    const float spanC = useZ ? hi.z - lo.z : hi.y - lo.y;
    const float lowC = useZ ? lo.z : lo.y;
    auto planarMap = [&](hx_vertex& v) {
        float c = useZ ? v.p.z : v.p.y;
        v.map.x = spanX > 0 ? (v.p.x - lo.x) / spanX : 0.0f;
        v.map.y = spanC > 0 ? (c - lowC) / spanC : 0.0f;
    };
    for (int i = 0; i < nv; ++i) {
        hx_vertex& v = out->vertices[nv + i];
        v = out->vertices[i];
        planarMap(v);
        v.index = static_cast<uint8_t>(CRand() % kInnerColourRange);
    }
    for (int i = 0; i < nf; ++i) {
        hx_face& outer = out->faces[i];
        outer = model->faces[faces[i]];
        for (uint16_t& c : outer.vertices)
            c = static_cast<uint16_t>(remap[c]);
        hx_face& inner = out->faces[nf + i];
        inner = outer;
        inner.vertices[0] = static_cast<uint16_t>(outer.vertices[2] + nv);
        inner.vertices[1] = static_cast<uint16_t>(outer.vertices[1] + nv);
        inner.vertices[2] = static_cast<uint16_t>(outer.vertices[0] + nv);
        inner.material = carbon;
        inner.smoothing = static_cast<uint16_t>(outer.smoothing * 2);
    }
    if (splitNormal) {
        // The cap centre: the mean of the vertices on the cut.
        const uint16_t centre = static_cast<uint16_t>(2 * nv);
        hx_vertex& cv = out->vertices[centre];
        int marked = 0;
        for (int i = 0; i < nv; ++i)
            if (border[i]) {
                cv.p.x += out->vertices[i].p.x;
                cv.p.y += out->vertices[i].p.y;
                cv.p.z += out->vertices[i].p.z;
                ++marked;
            }
        if (marked) {
            cv.p.x /= static_cast<float>(marked);
            cv.p.y /= static_cast<float>(marked);
            cv.p.z /= static_cast<float>(marked);
        }
        planarMap(cv);
        cv.index = kCapColour;
        int next = 2 * nf;
        for (int i = 0; i < nf; ++i) {
            const uint16_t* c = out->faces[i].vertices;
            for (int e = 0; e < 3; ++e) {
                uint16_t a = c[e], b = c[(e + 1) % 3];
                if (!border[a] || !border[b])
                    continue;
                int markedCorners = border[c[0]] + border[c[1]] + border[c[2]];
                // Two marked corners: their one edge; three: all three edges.
                if (markedCorners == 2 || markedCorners == 3) {
                    hx_face& cap = out->faces[next++];
                    cap.vertices[0] = a;
                    cap.vertices[1] = b;
                    cap.vertices[2] = centre;
                    cap.material = carbon;
                    cap.smoothing = 1;
                    const hx_vector3& pa = out->vertices[a].p;
                    const hx_vector3& pb = out->vertices[b].p;
                    Vector3 ab{pb.x - pa.x, pb.y - pa.y, pb.z - pa.z};
                    Vector3 ac{cv.p.x - pa.x, cv.p.y - pa.y, cv.p.z - pa.z};
                    Vector3 n;
                    VecCross(ab, ac, n);
                    float d = VecDot(n, *splitNormal);
                    if ((piece == 0 && d > 0) || (piece == 1 && d < 0))
                        std::swap(cap.vertices[0], cap.vertices[1]);
                }
            }
        }
    }
    CentreModel(mean, out);
    HxModelAdd(out);
    return out;
}

// Velocity of a piece: away from the broken item's centre, slower for
// bigger items.
Vector3 PieceVelocity(Vector3 mean, float scale, const SceneItem* item)
{
    float radius = std::max(item->sim ? item->sim->radius : 0.0f, kMinimumBreakRadius);
    VecNormalise(mean);
    float speed = scale / radius;
    return {mean.x * speed, mean.y * speed, mean.z * speed};
}

// Checks common to both entry points; the model to cut, or null.
hx_model* BreakableModel(SceneItem* item, TDP* tdp, const char* who, bool makeCurrent)
{
    if (!item) {
        FatalError(who);
        return nullptr;
    }
    if (!tdp || !item->avatar || CountTDPInTree(item->avatar->root, tdp) == 0)
        return nullptr;
    hx_model* full = tdp->lod[0] ? tdp->lod[0] : tdp->model;
    if (!full || !full->vertices || !full->faces || !full->nfaces)
        return nullptr;
    if (tdp->actor)
        tdp->actor->model = full;
    if (makeCurrent)
        tdp->model = full;
    return full;
}

int ClampPieces(int32_t pieces)
{
    if (pieces > kMaxShrapnelPieces) {
        char text[64];
        std::snprintf(text, sizeof text, "Too many shrapnel pieces: cut back to %d\n", kMaxShrapnelPieces);
        DebugPrint(text);
        return kMaxShrapnelPieces;
    }
    return std::max(pieces, 1);
}

// A new item of the break-up: messages through the default handler, no
// control routine.
void SetNewItemLinks(SceneItem* piece)
{
    SetMessageFunction(piece, HandleItemMessages);
    SetControlFunction(piece, nullptr);
}

} // namespace

void AssignFacesToNearestSeeds(const hx_model* model, int pieces, const Vector3* seeds, ShrapnelAssignment* out)
{
    out->pieces = static_cast<uint16_t>(pieces);
    out->vertexPiece.assign(model->nvertices, 0);
    for (int i = 0; i < model->nvertices; ++i) {
        float best = kFarAway;
        for (int s = 0; s < pieces; ++s) {
            float d = VecFastLength(Sub(model->vertices[i].p, seeds[s]));
            if (d < best) {
                best = d;
                out->vertexPiece[i] = static_cast<uint16_t>(s);
            }
        }
    }
    AssignFaces(model, out);
}

void AssignFacesToPlane(const hx_model* model, const Vector3& normal, float distance, ShrapnelAssignment* out)
{
    out->pieces = 2;
    out->vertexPiece.assign(model->nvertices, 0);
    for (int i = 0; i < model->nvertices; ++i) {
        const hx_vector3& p = model->vertices[i].p;
        out->vertexPiece[i] = p.x * normal.x + p.y * normal.y + p.z * normal.z > distance ? 0 : 1;
    }
    AssignFaces(model, out);
}

Vector3* CentreModel(Vector3* out, hx_model* model)
{
    double sx = 0, sy = 0, sz = 0;
    for (int i = 0; i < model->nvertices; ++i) {
        sx += model->vertices[i].p.x;
        sy += model->vertices[i].p.y;
        sz += model->vertices[i].p.z;
    }
    const double n = model->nvertices ? model->nvertices : 1;
    *out = {static_cast<float>(sx / n), static_cast<float>(sy / n), static_cast<float>(sz / n)};
    for (int i = 0; i < model->nvertices; ++i) {
        model->vertices[i].p.x -= out->x;
        model->vertices[i].p.y -= out->y;
        model->vertices[i].p.z -= out->z;
    }
    return out;
}

SceneItem* MakeDebrisItem(SceneItem* broken)
{
    SceneItem* holder = NewSceneItem();
    if (!holder)
        return nullptr;
    InsertSceneItem(holder, kItemTailGroup);
    SetControlFunction(holder, nullptr);
    Sim* sim = AttachSim(holder, DriftStep);
    TDP* root = sim ? AttachRootTDP(holder) : nullptr;
    if (!root) {
        DeleteSceneItem(holder);
        return nullptr;
    }
    SetAvatarCallbacks(holder, CopySimToAvatar, SyncAvatarTdps);
    if (broken->sim) {
        sim->position = broken->sim->position;
        sim->matrix = broken->sim->matrix;
        sim->previousMatrix = broken->sim->previousMatrix;
        sim->velocity = broken->sim->velocity;
    }
    root->flags = (root->flags & ~(kTdpInScene | kTdpNew)) | 0x100;
    if (broken->avatar->root)
        root->materialName = broken->avatar->root->materialName;
    // Two turn words from -3 to 2: the attributes of the pieces hung under
    // the holder read them as parameter values 3 and 4, so they tumble.
    holder->avatar->params[kParamDebrisTurnA] = CRand() * 6 / 32768 - 3;
    holder->avatar->params[kParamDebrisTurnB] = CRand() * 6 / 32768 - 3;
    root->model = nullptr;
    SetNewItemLinks(holder);
    holder->avatar->collision = CollideShips;
    return holder;
}

SceneItem* kqzBreakNearest(SceneItem* item, TDP* tdp, int32_t pieces, float x, float y, float z, float exponent)
{
    hx_model* model = BreakableModel(item, tdp, "kqzBreakNearest", true);
    if (!model)
        return nullptr;
    const int n = ClampPieces(pieces);
    hx_material* carbon = CarbonMaterial(BreakForm::Holder);
    MakeSeeds(model, n, {x, y, z}, exponent, BreakForm::Holder);
    ShrapnelAssignment& assignment = shrapnel.holderAssignment;
    AssignFacesToNearestSeeds(model, n, shrapnel.seeds, &assignment);

    SceneItem* holder = nullptr;
    TDP* previous = nullptr;
    for (int p = 0; p < n; ++p) {
        Vector3 mean;
        hx_model* piece = BuildPiece(model, assignment, static_cast<uint16_t>(p), carbon, nullptr, &mean);
        if (!piece)
            continue;
        if (!holder && !(holder = MakeDebrisItem(item))) {
            HxModelRemove(piece);
            HxModelFree(piece);
            return nullptr;
        }
        TDP* node = previous ? AddSiblingTDP(previous, piece, mean.x, mean.y, mean.z)
                             : AddChildTDP(holder->avatar->root, piece, mean.x, mean.y, mean.z);
        if (!node) {
            HxModelRemove(piece);
            HxModelFree(piece);
            break;
        }
        previous = node;
        node->offsetVelocity = PieceVelocity(mean, 2e8f, item);
        node->flags = (node->flags | kTdpInScene | kTdpOwnsModels) & ~kTdpNew;
        node->materialName = tdp->materialName;
        AddTDPAttribute(node, 10, 3);
        AddTDPAttribute(node, 11, 3);
        AddTDPAttribute(node, 12, 4);
        if (CRand() > 0x4000)
            node->flags |= kTdpNegatedAttributes;
        node->radius = piece->radius;
        AttachTdpToScene(node, piece, 0);
    }
    if (!holder)
        return nullptr;
    SetSceneItemRadius(holder);
    holder->avatar->debrisFaceCount = model->nfaces;
    item->avatar->flags &= ~kAvatarBreakable;
    item->perFrame = nullptr;
    PostItemMessage(item->receiver, item->receiver, 0, kMsgDelete, 0, nullptr);
    return holder;
}

int32_t kqzBreakNearestIntoSceneItems(const ShrapnelBreak* request)
{
    SceneItem* item = request ? request->item : nullptr;
    hx_model* model = BreakableModel(item, request ? request->tdp : nullptr, "kqzBreakNearestIntoSceneItems", false);
    if (!model)
        return 0;
    hx_material* carbon = CarbonMaterial(BreakForm::SceneItems);
    ShrapnelAssignment& assignment = shrapnel.itemAssignment;
    Vector3 normal{};
    int n;
    if (request->split) {
        // The plane through the model's origin, the direction of the
        // centre and the model's y axis.
        Vector3 c{request->x, request->y, request->z};
        if (item->sim)
            VecMulMat3T(c, {request->x, request->y, request->z}, item->sim->matrix);
        VecCross(c, {0.0f, -1.0f, 0.0f}, normal);
        VecNormalise(normal);
        AssignFacesToPlane(model, normal, VecDot(c, normal), &assignment);
        n = 2;
    } else {
        n = ClampPieces(request->pieces);
        MakeSeeds(model, n, {request->x, request->y, request->z}, request->exponent, BreakForm::SceneItems);
        AssignFacesToNearestSeeds(model, n, shrapnel.seeds, &assignment);
    }

    const Sim* from = item->sim;
    SceneItem* made[kMaxShrapnelPieces] = {};
    int count = 0;
    for (int p = 0; p < n; ++p) {
        Vector3 mean;
        hx_model* piece = BuildPiece(model, assignment, static_cast<uint16_t>(p), carbon,
                                     request->split ? &normal : nullptr, &mean);
        if (!piece)
            continue;
        SceneItem* out = NewSceneItem();
        if (out) {
            InsertSceneItem(out, kItemShrapnel);
            MoveSceneItemToTailGroup(out);
        }
        Sim* sim = out ? AttachSim(out, BallisticStep) : nullptr;
        TDP* root = sim ? AttachRootTDP(out) : nullptr;
        if (!root) {
            HxModelRemove(piece);
            HxModelFree(piece);
            if (out)
                DeleteSceneItem(out);
            break;
        }
        SetNewItemLinks(out);
        SetAvatarCallbacks(out, CopySimToAvatar, SyncAvatarTdps);
        out->avatar->collision = CollideShips;
        out->avatar->flags = item->avatar->flags;
        root->flags |= kTdpInScene | kTdpNew | kTdpOwnsModels;
        root->model = piece;
        root->materialName = request->tdp->materialName;
        if (from && from->shipInfo) {
            if (ShipInfo* info = AllocShipInfo()) {
                *info = *from->shipInfo;
                // Orders carry over; the stack and dock points stay the
                // original's alone, and so does its coupling list: two
                // records sharing one would free it twice. A piece leads
                // no group and has no repair on its way.
                ClearAIBlock(info);
                info->couplings = nullptr;
                info->flags &= ~(kShipGroupLeader | kShipRepairPending);
                info->damage.capabilities = -1;
                info->damage.hullDamage = 0;
                info->damage.maximumHull = 10;
                sim->shipInfo = info;
            }
        }
        sim->mass = from ? from->mass * 0.5f : 0.0f;
        // The hull value of a body follows its mass (0 for all but the
        // heaviest pieces: they go at their first hit).
        sim->hull = static_cast<int32_t>(
            std::min(static_cast<double>(sim->mass) / kHullMassUnit * kPieceHullScale, double{INT32_MAX}));
        root->radius = piece->radius;
        AttachTdpToScene(root, piece, 0);
        SetSceneItemRadius(out);
        out->avatar->breakDepth = item->avatar->breakDepth - 1;
        out->avatar->spinScale = item->avatar->spinScale;
        out->callbackWord = item->callbackWord;

        Vector3 offset;
        if (from) {
            VecMulMat3(offset, mean, from->matrix);
            sim->position = from->position;
            sim->matrix = from->matrix;
            sim->previousMatrix = from->previousMatrix;
            Vector3 v = PieceVelocity(offset, 2e7f, item);
            sim->velocity = {from->velocity.x + v.x, from->velocity.y + v.y, from->velocity.z + v.z};
        } else {
            offset = mean;
        }
        Vector3 push{offset.x * 250.0f, offset.y * 250.0f, offset.z * 250.0f};
        if (!request->split) {
            float limit = 2.0f * (from ? from->radius : 0.0f);
            float length = VecFastLength(push);
            if (length > limit) {
                float k = length > 0 ? limit / length : 0.0f;
                push = {push.x * k, push.y * k, push.z * k};
            }
            sim->position.x += push.x;
            sim->position.y += push.y;
            sim->position.z += push.z;
            int pitch = static_cast<int>(item->pitchDemand);
            int yaw = static_cast<int>(item->yawDemand);
            out->pitchDemand = static_cast<float>(pitch > 0 ? CRand() % (pitch + 1) : CRand() % (1 - pitch));
            out->yawDemand = static_cast<float>(yaw > 0 ? CRand() % (yaw + 1) : CRand() % (1 - yaw));
        } else {
            sim->velocity = {sim->velocity.x + push.x, sim->velocity.y + push.y, sim->velocity.z + push.z};
            sim->position.x += offset.x;
            sim->position.y += offset.y;
            sim->position.z += offset.z;
            float depth = static_cast<float>(3 - item->avatar->breakDepth);
            out->pitchDemand = (CRandUnit() * 4.0f - 2.0f) * depth;
            out->yawDemand = (CRandUnit() * 4.0f - 2.0f) * depth;
        }
        sim->speed = VecFastLength(sim->velocity);
        sim->matrix.m[12] = static_cast<float>(sim->position.x);
        sim->matrix.m[13] = static_cast<float>(sim->position.y);
        sim->matrix.m[14] = static_cast<float>(sim->position.z);
        CopySimToAvatar(out);
        if (request->delayedMessage) {
            HitPayload hit{};
            PostItemMessage(out->receiver, out->receiver, CRand() % 100 + 500, kMsgHit, hit);
        }
        if (request->split)
            AddDebrisSparks(out, 10000);
        if (count < kMaxShrapnelPieces)
            made[count] = out;
        ++count;
    }
    if (request->split && count == 2) {
        made[0]->avatar->otherHalf = made[1];
        made[1]->avatar->otherHalf = made[0];
    }
    if (count) {
        item->avatar->flags &= ~kAvatarBreakable;
        item->perFrame = nullptr;
        PostItemMessage(item->receiver, item->receiver, 0, kMsgDelete, 0, nullptr);
    }
    return count;
}

void JitterModelColours(hx_model* model)
{
    if (!model)
        return;
    const char* name = model->identifier ? model->identifier : "";
    const size_t stem = sizeof kShrapnelName - 1;
    if (std::strncmp(name, kShrapnelName, stem) == 0 && (name[stem] == '\0' || name[stem] == '.'))
        return;
    for (int i = 0; i < model->nvertices; ++i)
        model->vertices[i].index = static_cast<uint8_t>(model->vertices[i].index + CRand() % 8 - 3);
    HxModelUpdate(model, HX_MODU_BOUNDS);
}

void DumpTDPTree(int depth, const TDP* node)
{
    for (; node; node = node->nextSibling) {
        std::string line = "\n";
        line.append(static_cast<size_t>(std::max(depth, 0)), '-');
        char text[64];
        std::snprintf(text, sizeof text, " pt3DP & %llx, Flags %x ",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(node)), node->flags);
        line += text;
        line += "\n Children :";
        DebugPrint(line.c_str());
        DumpTDPTree(depth + 1, node->firstChild);
    }
}

void FreeOwnedTDPModels(TDP* node)
{
    if (!node || !(node->flags & kTdpOwnsModels))
        return;
    // The full model and, when it is another one, the reduced (far) model.
    hx_model* model = node->model;
    hx_model* reduced = node->lod[1] != model ? node->lod[1] : nullptr;
    for (hx_model*& lod : node->lod)
        if (lod == model || (reduced && lod == reduced))
            lod = nullptr;
    node->model = nullptr;
    node->flags &= ~kTdpOwnsModels;
    // The scene layer's end frees every model with its resource tree; the
    // world is reset before that, so a model is only freed here while the
    // layer that made it still runs.
    for (hx_model* owned : {model, reduced})
        if (owned && v1db.active) {
            HxModelRemove(owned);
            HxModelFree(owned);
        }
}
