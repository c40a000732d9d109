// The interpreter's object maker: the scene item that the object and ship
// statements build around a model.
#pragma once

#include "world/records.h"

// A new scene item at the front of the scene list with a receiver, the
// default message function, the control routine, a Sim with the per-frame
// routine, the usual Avatar callbacks, mass 8500, the ship bounce as its
// collision response, and a root part in the 3D scene holding the model
// (null for none); then its radii and part centres. Null, after the pool's
// message, when the pools run out.
SceneItem* CreateScriptItem(hx_model* model, ItemFunction control, ItemFunction perFrame);
