// Fuzz target: the mission table "precedence.csv", and the mission lists
// built from it over a career that the table's own indices fill in.
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "screens/frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool entered = (fuzz::EnterScratchFolder({"zqk"}), true);
    (void)entered;
    const int32_t stored = ParseMissionTable(reinterpret_cast<const char*>(data), size);
    if (stored < 0 || stored > kMissionCount)
        __builtin_trap();
    // Every listed mission is completed with the outcome of its prerequisite
    // column, so that branch rules and the gate see varied careers.
    CaptainSlot = CareerRecord{};
    for (int i = 0; i < kMissionCount; ++i) {
        const MissionRecord& r = MissionTable[i];
        if (std::memchr(r.title, 0, kMissionTitleSize) == nullptr)
            __builtin_trap();
        if (r.missionNumber > 0 && (r.index != i))
            __builtin_trap();
        if (r.missionNumber > 0 && (r.maxScore & 1)) {
            CaptainSlot.missionState[i] = -1;
            CaptainSlot.outcome[i] = r.requiredOutcome;
            CaptainSlot.completionOrder[CaptainSlot.completedCount++] = static_cast<int16_t>(i);
        }
    }
    RebuildMissionLists();
    if (gAvailableList.count + gCompletedList.count > 2 * kMissionCount)
        __builtin_trap();
    for (const MissionList* list : {&gAvailableList, &gCompletedList})
        for (int i = 0; i < list->count; ++i)
            if (list->entries[i].mission < MissionTable || list->entries[i].mission >= MissionTable + kMissionCount)
                __builtin_trap();
    if (gFrontEnd.selectedMission < 0 || gFrontEnd.selectedMission >= kMissionCount)
        __builtin_trap();
    FreeMissionLists();
    return 0;
}
