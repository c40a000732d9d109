// The interpreter's object maker: the scene item that the object and ship
// statements build around a model.
#pragma once

#include "world/records.h"

#include <cstdint>

struct Resource;

// A new scene item at the front of the scene list with a receiver, the
// default message function, the control routine, a Sim with the per-frame
// routine, the usual Avatar callbacks, mass 8500, the ship bounce as its
// collision response, and a root part in the 3D scene holding the model
// (null for none); then its radii and part centres. Null, after the pool's
// message, when the pools run out.
SceneItem* CreateScriptItem(hx_model* model, ItemFunction control, ItemFunction perFrame);

// A resource operand naming a model: the resource record, or null when the
// symbol names none (only a symbol that a resource or model statement gave
// a resource does; one that still holds its own value bytes, or a thing of
// another kind, gives none).
Resource* ReadModelResourceOperand(uint32_t& position);
// The model of such an operand, fetched from the resource manager; null
// when there is none.
hx_model* ReadModelOperand(uint32_t& position);
// A 3D-part operand: the part it holds, or null when it holds none (a new
// symbol, or one that holds a value or a thing of another kind).
TDP* ReadPartOperand(uint32_t& position);
