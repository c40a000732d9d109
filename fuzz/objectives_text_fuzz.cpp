// Fuzz target: the objective text of a mission. The input, cut at its first
// zero, is parsed as a script's objective resource; the table never holds
// more than 15 objectives, every text fits the line buffer, and the ids are
// found again by FindObjectiveById.
#include "screens/objectives.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!ParseObjectives(text.c_str()))
        __builtin_trap();
    if (gObjectives.count < 0 || gObjectives.count > kMaxObjectives)
        __builtin_trap();
    for (int32_t i = 0; i < gObjectives.count; ++i) {
        const Objective& objective = gObjectives.table[i];
        if (!objective.text || std::strlen(objective.text) >= kObjectiveLineSize)
            __builtin_trap();
        const int32_t found = FindObjectiveById(objective.id);
        if (found < 0 || found > i)
            __builtin_trap();
    }
    SelectCurrentObjective();
    if (gObjectives.current >= gObjectives.count)
        __builtin_trap();
    SetObjectiveStatus(FindObjectiveById(-7), kObjectiveCompleted);
    return 0;
}
