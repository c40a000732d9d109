// The vector-map shape statements: 2DOBJ makes a shape of a 2D model,
// LINK_OBJ hangs it in the panel's tree, VIEW_OBJ brings it into view,
// RELOC_OBJ centres it on its points, and SCHEMATIC makes the shape that
// shows one of the player's ship systems.
//
// Every statement reads all its operands first; a symbol that holds no
// shape then makes it do nothing.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "screens/vectormap.h"
#include "system/res/resman.h"
#include "view/lwoloader.h"
#include "world/shipsystems.h"

namespace {

VectorShape* SymbolShape(const ScriptSymbol* symbol)
{
    return AsVectorShape(symbol->value);
}

// A 2D-model operand's resource record: the symbol that 2DMODEL declared
// (or a plain resource symbol) once REGISTER gave it its record; null for a
// symbol that holds anything else.
Resource* Read2dModelOperand(uint32_t& position)
{
    constexpr uint32_t kOtherThings =
        kSymbolSceneItem | kSymbolModel | kSymbol3dPart | kSymbolWindow | kSymbolOrderName | kSymbolShape;
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbol2dModel);
    if (!symbol->value || (symbol->type & kOtherThings) || SymbolHoldsValueBytes(symbol))
        return nullptr;
    return static_cast<Resource*>(symbol->value);
}

// A shape in the colour: colour -1 makes an anchor of the whole set that
// draws no lines, any other colour a shape of lines in it.
VectorShape* NewColouredShape(WireShape* set, int32_t colour)
{
    VectorShape* shape = NewVectorShape(set, colour == -1 ? -1 : 0);
    if (shape)
        shape->colour = static_cast<int16_t>(colour);
    return shape;
}

// 2DOBJ shape model colour: a new shape of the 2D model's wireframe.
void New2dObject(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolShape);
    Resource* model = Read2dModelOperand(position);
    const int32_t colour = ScriptNumberToInt(ReadNumberOperand(position));
    auto* set = static_cast<WireShape*>(ResGet(model));
    if (VectorShape* shape = NewColouredShape(set, colour))
        symbol->value = shape;
}

// LINK_OBJ shape [parent]: the shape goes to the end of the parent's child
// list, or of the root's when there is no parent shape.
void LinkObject(uint32_t& position)
{
    VectorShape* shape = SymbolShape(ReadTypedSymbol(position, kSymbolShape));
    const ScriptSymbol* parentSymbol = ReadOptionalSymbol(position);
    VectorShape* parent = parentSymbol ? SymbolShape(parentSymbol) : nullptr;
    if (shape)
        AppendVectorShape(parent ? parent : &gVectorMap.root, shape);
}

// VIEW_OBJ shape dx dy
void ViewObject(uint32_t& position)
{
    VectorShape* shape = SymbolShape(ReadTypedSymbol(position, kSymbolShape));
    const float dx = ReadNumberOperand(position);
    const float dy = ReadNumberOperand(position);
    if (shape)
        FocusVectorMap(shape, dx, dy);
}

// RELOC_OBJ shape
void RelocateObject(uint32_t& position)
{
    if (VectorShape* shape = SymbolShape(ReadTypedSymbol(position, kSymbolShape)))
        CentreVectorShape(shape);
}

// SCHEMATIC colour "file" "system" [mask]: a shape under the root, centred
// on its points, coloured by the ship system's state from then on.
void Schematic(uint32_t& position)
{
    const int32_t colour = ScriptNumberToInt(ReadNumberOperand(position));
    const char* file = ReadTextOperand(position);
    ShipSystem* system = FindShipSystem(ReadTextOperand(position));
    const int16_t mask = ScriptNumberToInt16(ReadOptionalNumber(position));
    if (!system)
        return;
    auto* set = static_cast<WireShape*>(ResGet(ResRegisterLoad(file, ResType::LwoWire)));
    if (!set)
        return;
    VectorShape* shape = NewColouredShape(set, colour);
    if (!shape)
        return;
    system->displayColour = &shape->colour;
    shape->system = system;
    shape->layerMask = mask;
    AppendVectorShape(&gVectorMap.root, shape);
    CentreVectorShape(shape);
}

constexpr StatementRow kShapeRows[] = {
    {kw::K_2DOBJ, New2dObject},
    {kw::LINK_OBJ, LinkObject},
    {kw::VIEW_OBJ, ViewObject},
    {kw::RELOC_OBJ, RelocateObject},
    {kw::SCHEMATIC, Schematic},
};

} // namespace

std::span<const StatementRow> ShapeStatementRows()
{
    return kShapeRows;
}
