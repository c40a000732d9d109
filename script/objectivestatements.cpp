// The objective statements DEC_OBJV, SCORE_OBJV, TIME_OBJV, SET_OBJV,
// SET_OBJV_IF, SET_OBJV_IF_NOT and SHOW_OBJV: a mission declares its
// objectives from a text and sets their scores, timers, status and
// visibility by id. The table itself belongs to screens/objectives.h.
//
// Every id list ends at the first id that is 0 or absent. An id that no
// objective has finds index -1, which the table's operations ignore.
#include "screens/objectives.h"
#include "script/conditions.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/res/resman.h"

namespace {

// The next id of a list, 0 at its end.
int32_t ReadObjectiveId(uint32_t& position)
{
    return ScriptNumberToInt(ReadOptionalNumber(position));
}

// Reads "id value ... 0" and hands each found objective its value.
void ApplyToIdValuePairs(uint32_t& position, void (*apply)(int32_t index, int32_t value))
{
    for (int32_t id = ReadObjectiveId(position); id != 0; id = ReadObjectiveId(position))
        apply(FindObjectiveById(id), ScriptNumberToInt(ReadNumberOperand(position)));
}

// Reads "id ... 0"; when `enabled`, each found objective gets the value.
void ApplyToIds(uint32_t& position, void (*apply)(int32_t index, int32_t value), int32_t value, bool enabled)
{
    for (int32_t id = ReadObjectiveId(position); id != 0; id = ReadObjectiveId(position))
        if (enabled)
            apply(FindObjectiveById(id), value);
}

// The status keyword NEW, FAIL or DONE as the objective status 0, 1 or 2.
int32_t ReadStatusKeyword(uint32_t& position)
{
    return ReadKeywordOperand(position, kw::NEW, kw::DONE);
}

// DEC_OBJV text: the table is read from the text resource's lines.
void DeclareObjectives(uint32_t& position)
{
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolResource);
    Resource* resource = symbol ? SymbolResource(symbol) : nullptr;
    ParseObjectives(resource ? static_cast<const char*>(ResGet(resource)) : nullptr);
}

// SCORE_OBJV id score ... 0
void ScoreObjectives(uint32_t& position)
{
    ApplyToIdValuePairs(position, SetObjectiveScore);
}

// TIME_OBJV id seconds ... 0
void TimeObjectives(uint32_t& position)
{
    ApplyToIdValuePairs(position, SetObjectiveTimer);
}

// SET_OBJV status id ... 0
void SetObjectives(uint32_t& position)
{
    const int32_t status = ReadStatusKeyword(position);
    ApplyToIds(position, SetObjectiveStatus, status, true);
}

// SET_OBJV_IF condition status id ... 0: the ids are read either way.
void SetObjectivesIf(uint32_t& position)
{
    const bool holds = EvaluateCondition(position);
    const int32_t status = ReadStatusKeyword(position);
    ApplyToIds(position, SetObjectiveStatus, status, holds);
}

// SET_OBJV_IF_NOT condition status id ... 0
void SetObjectivesIfNot(uint32_t& position)
{
    const bool holds = EvaluateCondition(position);
    const int32_t status = ReadStatusKeyword(position);
    ApplyToIds(position, SetObjectiveStatus, status, !holds);
}

// SHOW_OBJV ON|OFF id ... 0
void ShowObjectives(uint32_t& position)
{
    const int32_t shown = ReadKeywordOperand(position, kw::ON, kw::OFF) == 0 ? 1 : 0;
    ApplyToIds(position, SetObjectiveShown, shown, true);
}

constexpr StatementRow kObjectiveRows[] = {
    {kw::DEC_OBJV, DeclareObjectives},
    {kw::SCORE_OBJV, ScoreObjectives},
    {kw::TIME_OBJV, TimeObjectives},
    {kw::SET_OBJV, SetObjectives},
    {kw::SET_OBJV_IF, SetObjectivesIf},
    {kw::SET_OBJV_IF_NOT, SetObjectivesIfNot},
    {kw::SHOW_OBJV, ShowObjectives},
};

} // namespace

std::span<const StatementRow> ObjectiveStatementRows()
{
    return kObjectiveRows;
}
