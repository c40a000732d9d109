// Floating origin, render sync, the TDP attribute step, the face picker for
// hull effects and the weapon-view flag.
#include "world/floatingorigin.h"

#include <cmath>

#include "screens/bridge.h"
#include "system/frameclock.h"
#include "ui/hud.h"
#include "world/pools.h"
#include "world/scenelist.h"

WorldPosition gWorldOriginOffset;
int16_t gWeaponViewFlag;

namespace {

constexpr double kOriginModulus = 1e8;
constexpr double kLdsOriginModulus = 1e9;

// TDP attribute types.
enum : uint8_t {
    kAttrMoveX = 3,
    kAttrMoveY,
    kAttrMoveZ,
    kAttrScale,
    kAttrScaleX,
    kAttrScaleY,
    kAttrScaleZ,
    kAttrRestore,
    kAttrTurnY,
    kAttrTurnX,
    kAttrTurnZ,
    kAttrVisible,
};

constexpr uint32_t kWeaponView = 0x200;
constexpr int16_t kWepStation = 3;

ModelMeshReader gMeshReader;

// Applies one attribute of value v to the node's local matrix (`saved` is
// the matrix the node had before this frame's step).
void ApplyAttribute(TDP* node, uint8_t type, float v, const Matrix4& saved)
{
    Matrix4& m = node->local;
    switch (type) {
    case kAttrMoveX: m.m[12] += v; break;
    case kAttrMoveY: m.m[13] += v; break;
    case kAttrMoveZ: m.m[14] += v; break;
    case kAttrScale: MatScale(v, m); break;
    case kAttrScaleX: MatScaleX(v, m); break;
    case kAttrScaleY: MatScaleY(v, m); break;
    case kAttrScaleZ: MatScaleZ(v, m); break;
    case kAttrRestore: m = saved; break;
    case kAttrTurnY: MatRotY(v, m); break;
    case kAttrTurnX: MatRotX(v, m); break;
    case kAttrTurnZ: MatRotZ(v, m); break;
    case kAttrVisible:
        if (v != 0.0f)
            node->flags |= kTdpVisibleToggle;
        else
            node->flags &= ~kTdpVisibleToggle;
        break;
    default: break;
    }
}

void AnimateNode(const int32_t* parameters, TDP* node)
{
    if (!node->attributes)
        return;
    const Matrix4 saved = node->local;
    MatIdentity(node->local);
    const bool negated = (node->flags & kTdpNegatedAttributes) != 0;
    for (const TDPAttribute* a = node->attributes; a; a = a->next) {
        // An attribute naming a value past the parameter block reads nothing.
        if (a->valueNumber >= kAvatarParameterCount)
            continue;
        float v = static_cast<float>(parameters[a->valueNumber]);
        ApplyAttribute(node, a->type, negated ? -v : v, saved);
    }
    const float dt = gFrameClock.frameSeconds;
    const Vector3& velocity = node->offsetVelocity;
    node->offset.x += velocity.x * dt;
    node->offset.y += velocity.y * dt;
    node->offset.z += velocity.z * dt;
    MatTranslate(velocity.x * dt, velocity.y * dt, velocity.z * dt, node->local);
}

Vector3 Sub(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

// The face's unit normal (A - C) x (A - B); false for a face without area or
// with a vertex number past the mesh.
bool FaceNormal(const MeshView& mesh, const uint16_t (&face)[3], Vector3& normal)
{
    for (uint16_t v : face)
        if (v >= mesh.vertexCount)
            return false;
    const Vector3& a = mesh.vertices[face[0]];
    VecCross(Sub(a, mesh.vertices[face[2]]), Sub(a, mesh.vertices[face[1]]), normal);
    const float length = VecNormalise(normal);
    return length > 0.0f && std::isfinite(length);
}

Vector3 FaceCentre(const MeshView& mesh, const uint16_t (&face)[3])
{
    const Vector3& a = mesh.vertices[face[0]];
    const Vector3& b = mesh.vertices[face[1]];
    const Vector3& c = mesh.vertices[face[2]];
    return {(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
}

} // namespace

void UpdateFloatingOrigin()
{
    if (!gPlayerItem || !gPlayerItem->sim)
        return;
    const Sim* player = gPlayerItem->sim;
    const double modulus = (player->flags & kSimLdsEngaged) ? kLdsOriginModulus : kOriginModulus;
    const WorldPosition& p = player->position;
    // fmod keeps the sign, so a player at -1.5e8 lands on -0.5e8. The shift
    // is an exact multiple of the modulus.
    const WorldPosition s{std::fmod(p.x, modulus) - p.x, std::fmod(p.y, modulus) - p.y,
                          std::fmod(p.z, modulus) - p.z};
    if (s.x != 0.0 || s.y != 0.0 || s.z != 0.0) {
        for (SceneItem* item = gSceneList.next; item != &gSceneList; item = item->next) {
            Sim* sim = item->sim;
            if (!sim)
                continue;
            sim->position.x += s.x;
            sim->position.y += s.y;
            sim->position.z += s.z;
            float* t = &sim->matrix.m[12];
            t[0] = static_cast<float>(t[0] + s.x);
            t[1] = static_cast<float>(t[1] + s.y);
            t[2] = static_cast<float>(t[2] + s.z);
        }
        OffsetTrailHuds(static_cast<float>(s.x), static_cast<float>(s.y), static_cast<float>(s.z));
    }
    gWorldOriginOffset.x -= s.x;
    gWorldOriginOffset.y -= s.y;
    gWorldOriginOffset.z -= s.z;
}

void CopySimToAvatar(SceneItem* item)
{
    const Sim* sim = item->sim;
    Avatar* avatar = item->avatar;
    avatar->velocity = sim->velocity;
    avatar->matrix = sim->matrix;
    avatar->position = sim->position;
}

void AnimateTDPTree(int32_t* parameters, TDP* node)
{
    if (!node)
        return;
    AnimateTDPTree(parameters, node->nextSibling);
    AnimateTDPTree(parameters, node->firstChild);
    AnimateNode(parameters, node);
}

void SetModelMeshReader(ModelMeshReader reader) { gMeshReader = reader; }

uint8_t FindHitFace(SceneItem* item, const Vector3& point, Vector3* centre, Vector3* normal)
{
    const TDP* root = item->avatar ? item->avatar->root : nullptr;
    if (!root)
        return 0;
    const hx_model* model = root->lod[0] ? root->lod[0] : root->model;
    MeshView mesh{};
    if (!model || !gMeshReader || !gMeshReader(model, &mesh) || !mesh.vertices || !mesh.faces ||
        mesh.faceCount <= 0)
        return 0;

    int32_t chosen = -1;
    Vector3 chosenNormal{};
    if (point.x != 0.0f || point.y != 0.0f || point.z != 0.0f) {
        float nearest = 1e31f;
        for (int32_t f = 0; f < mesh.faceCount; ++f) {
            Vector3 n;
            if (!FaceNormal(mesh, mesh.faces[f], n))
                continue;
            const float d = VecDistance(FaceCentre(mesh, mesh.faces[f]), point);
            if (d < nearest) {
                nearest = d;
                chosen = f;
                chosenNormal = n;
            }
        }
    } else {
        // A random face; a degenerate one passes the choice to the next.
        const uint32_t draw = (ShiftRegisterRandom() >> 1) % static_cast<uint32_t>(mesh.faceCount);
        const int32_t start = static_cast<int32_t>(draw);
        for (int32_t i = 0; i < mesh.faceCount && chosen < 0; ++i) {
            const int32_t f = (start + i) % mesh.faceCount;
            if (FaceNormal(mesh, mesh.faces[f], chosenNormal))
                chosen = f;
        }
    }
    if (chosen < 0)
        return 0;
    *centre = FaceCentre(mesh, mesh.faces[chosen]);
    *normal = chosenNormal;
    return 255;
}

void UpdateViewModeFlag()
{
    const Sim* sim = gControlledItem ? gControlledItem->sim : nullptr;
    const bool weaponView = CurrentStation == kWepStation && sim && sim->currentWeapon &&
                            (sim->currentWeapon->flags & kWeaponView);
    gWeaponViewFlag = weaponView ? 1 : 0;
}

void ToggleViewModeFlag() { gWeaponViewFlag = gWeaponViewFlag ? 0 : 1; }
