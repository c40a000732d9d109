// Attaching scene items' part trees to the 3D scene and keeping them in step.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;
struct TDP;
struct hx_model;

void SyncAvatarTdps(SceneItem* item);
void PlaceTdpActor(TDP* tdp, const Matrix4* matrix);
int32_t AttachTdpToScene(TDP* tdp, void* modelOrEmitter, int32_t mode);
void SetItemModel(SceneItem* item, hx_model* model);
Vector3* GetModelVertex(int32_t i, hx_model* model);
