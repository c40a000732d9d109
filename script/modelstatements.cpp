// The model statements: SIZE, SCALE, SCALE_ONCE, SLIDE, REFLECT, ROTX90, the
// three texture mappings, NEBMODEL (models changed in place), and MATERL,
// COLOUR and WIREFR (one part of an object).
//
// A model edited in place is no longer what its file holds: before an edit
// the statement clears the resource record's model flag, so the mission's
// release drops the edited copy and the next mission loads the file afresh.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/objectmaker.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/res/resman.h"
#include "view/effectmodels.h"
#include "view/planets.h"
#include "view/skyandlights.h"

namespace {

constexpr uint32_t kTdpWireFrame = 0x400;

// The model of a model operand, its record marked as edited; null for none.
hx_model* ReadModelToEdit(uint32_t& position)
{
    Resource* resource = ReadModelResourceOperand(position);
    if (!resource)
        return nullptr;
    ResClearModelFlag(resource);
    return static_cast<hx_model*>(ResGet(resource));
}

// SIZE object radius / SIZE model radius: an object's collision radius, or
// the model scaled to that radius.
void Size(uint32_t& position)
{
    const uint32_t start = position;
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolAnyType);
    if (symbol->type & kSymbolSceneItem) {
        const float radius = ReadNumberOperand(position);
        if (SceneItem* item = SymbolObject(symbol))
            item->sim->radius = radius;
        return;
    }
    // Read again as a model operand (the same token).
    position = start;
    hx_model* model = ReadModelToEdit(position);
    const float radius = ReadNumberOperand(position);
    if (model)
        SizeModel(model, radius);
}

// SCALE model percent
void Scale(uint32_t& position)
{
    hx_model* model = ReadModelToEdit(position);
    const float percent = ReadNumberOperand(position);
    if (model)
        ScaleModel(model, percent / 100.0f);
}

// SCALE_ONCE model percent: as SCALE, then the statement erases itself, so
// a loaded script that passes it again (in a loop, or a ship script run for
// every ship of a kind) scales the shared model only once.
void ScaleOnce(uint32_t& position)
{
    Scale(position);
    EraseStatement(position);
}

// SLIDE model dx dy dz
void Slide(uint32_t& position)
{
    hx_model* model = ReadModelToEdit(position);
    const float dx = ReadNumberOperand(position);
    const float dy = ReadNumberOperand(position);
    const float dz = ReadNumberOperand(position);
    if (model)
        SlideModel(model, dx, dy, dz);
}

// REFLECT model axis (0 x, 1 y, 2 z)
void Reflect(uint32_t& position)
{
    hx_model* model = ReadModelToEdit(position);
    const int32_t axis = ScriptNumberToInt(ReadNumberOperand(position));
    if (model)
        ReflectModel(model, axis);
}

// The statements that take a model alone.
template <void (*Edit)(hx_model*)>
void EditModel(uint32_t& position)
{
    if (hx_model* model = ReadModelToEdit(position))
        Edit(model);
}

// MATERL part "material"
void Materl(uint32_t& position)
{
    TDP* part = ReadPartOperand(position);
    const char* material = ReadTextOperand(position);
    if (part && part->model)
        SetModelMaterial(part->model, material);
}

// COLOUR part value
void Colour(uint32_t& position)
{
    TDP* part = ReadPartOperand(position);
    const int32_t colour = ScriptNumberToInt(ReadNumberOperand(position));
    if (part)
        part->word0 = colour;
}

// WIREFR part
void WireFr(uint32_t& position)
{
    if (TDP* part = ReadPartOperand(position))
        part->flags |= kTdpWireFrame;
}

constexpr StatementRow kModelRows[] = {
    {kw::SIZE, Size},
    {kw::SCALE, Scale},
    {kw::SCALE_ONCE, ScaleOnce},
    {kw::SLIDE, Slide},
    {kw::REFLECT, Reflect},
    {kw::ROTX90, EditModel<RotateModelX90>},
    {kw::SPHMAP, EditModel<SphMapModel>},
    {kw::CYLMAP, EditModel<CylMapModel>},
    {kw::PLNMAP, EditModel<PlnMapModel>},
    {kw::MATERL, Materl},
    {kw::COLOUR, Colour},
    {kw::WIREFR, WireFr},
    {kw::NEBMODEL, EditModel<SetNebulaModel>},
};

} // namespace

std::span<const StatementRow> ModelStatementRows()
{
    return kModelRows;
}
