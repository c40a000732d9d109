// Mission objectives: the objective table, its parser and the operations the
// mission scripts and the bridge key call.
#include "screens/objectives.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ai/orders.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "ui/messagelog.h"
#include "world/pools.h"
#include "world/scenelist.h"

int32_t gMissionScore = 0;
int32_t gMissionMaxScore = 0;
ObjectiveState gObjectives = {.table = {}, .count = 0, .current = -1, .previous = -1, .noneCompleted = 255, .currentTimer = 0, .blinkPhase = 0, .blinkTicks = 0};

namespace {

// Texts of the language text table that the objective key prints.
constexpr int kTextObjectiveNext = 48;  // once an objective is completed
constexpr int kTextObjectiveFirst = 49; // before any is
constexpr int kTextMissionFailed = 163;
constexpr int kTextNoObjectiveLeft = 170;

Objective* At(int32_t index)
{
    return index >= 0 && index < kMaxObjectives ? &gObjectives.table[index] : nullptr;
}

// Objectives stand still once the mission is over: the player's ship is
// lost, which also freezes the wing.
bool ObjectivesFrozen() { return gPlayerShipLost != 0; }

void ResetObjectives()
{
    for (Objective& objective : gObjectives.table) {
        FreeMemory(objective.text);
        objective = {};
        objective.score = kObjectiveDefaultScore;
    }
    gObjectives.count = 0;
    gObjectives.noneCompleted = 255;
    gObjectives.current = -1;
    gObjectives.currentTimer = 0;
}

// Copies the line at text into line (cut to the buffer, without its
// newline); returns where the next line starts.
const char* ReadLine(const char* text, char (&line)[kObjectiveLineSize])
{
    size_t length = 0;
    for (; *text && *text != '\n'; ++text)
        if (length + 1 < sizeof line)
            line[length++] = *text;
    line[length] = 0;
    return *text == '\n' ? text + 1 : text;
}

// The number before the colon, read as "%i" reads it (decimal, octal or
// hexadecimal by its prefix) but held to the int32 range; 0 when none.
int32_t ScanId(const char* text)
{
    const long long value = std::strtoll(text, nullptr, 0);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

char* CopyText(const char* text)
{
    const size_t length = std::strlen(text);
    char* copy = static_cast<char*>(AllocMemory(length + 1));
    if (copy)
        std::memcpy(copy, text, length + 1);
    return copy;
}

const char* LanguageText(int number)
{
    return number >= 0 && number < kTextTableEntries ? gTextTable[number] : nullptr;
}

} // namespace

bool ParseObjectives(const char* text)
{
    ResetObjectives();
    if (!text)
        return false;
    int32_t nextId = 1;
    char line[kObjectiveLineSize];
    while (*text && gObjectives.count < kMaxObjectives) {
        text = ReadLine(text, line);
        Objective& objective = gObjectives.table[gObjectives.count++];
        const char* body = line;
        int32_t id = 0;
        if (char* colon = std::strchr(line, ':')) {
            *colon = 0;
            id = ScanId(line);
            if (nextId < id + 1 && id < INT32_MAX)
                nextId = id + 1;
            body = colon + 1;
        } else {
            id = nextId++;
        }
        objective.text = CopyText(body);
        objective.shown = 255;
        objective.status = kObjectiveNotDone;
        objective.id = id;
    }
    return true;
}

void SetObjectiveStatus(int32_t index, int32_t status)
{
    Objective* objective = At(index);
    if (!objective || ObjectivesFrozen())
        return;
    objective->status = static_cast<uint8_t>(status);
    if (objective->status == kObjectiveCompleted) {
        gMissionScore += objective->score;
        gObjectives.noneCompleted = 0;
    }
    if (index == gObjectives.current)
        gObjectives.currentTimer = 0;
}

bool ObjectiveStatusIs(int32_t index, int32_t status)
{
    const Objective* objective = At(index);
    return objective && objective->status == status;
}

void SetObjectiveShown(int32_t index, int32_t flag)
{
    if (Objective* objective = At(index))
        objective->shown = static_cast<uint8_t>(flag);
}

void SetObjectiveScore(int32_t index, int32_t points)
{
    if (Objective* objective = At(index))
        objective->score = points;
}

void SetObjectiveTimer(int32_t index, int32_t seconds)
{
    if (Objective* objective = At(index))
        objective->timer = seconds * 100;
}

int32_t FindObjectiveById(int32_t id)
{
    for (int32_t i = 0; i < gObjectives.count; ++i)
        if (gObjectives.table[i].id == id)
            return i;
    return -1;
}

void SelectCurrentObjective()
{
    gObjectives.previous = gObjectives.current;
    gObjectives.current = -1;
    for (int32_t i = 0; i < gObjectives.count; ++i) {
        const Objective& objective = gObjectives.table[i];
        if (objective.shown && objective.status == kObjectiveNotDone) {
            gObjectives.current = static_cast<int16_t>(i);
            break;
        }
    }
    if (gObjectives.current != gObjectives.previous)
        gObjectives.currentTimer = gObjectives.current >= 0 ? gObjectives.table[gObjectives.current].timer : 0;
}

void ShowCurrentObjective()
{
    SelectCurrentObjective();
    if (gObjectives.current < 0) {
        guiAppendMessageLogText(LanguageText(gScriptMission.missionFailed ? kTextMissionFailed : kTextNoObjectiveLeft), 0);
    } else {
        const char* format = LanguageText(gObjectives.noneCompleted ? kTextObjectiveFirst : kTextObjectiveNext);
        const char* text = gObjectives.table[gObjectives.current].text;
        char message[512];
        if (format) {
            FormatWingReply(message, sizeof message, format, text ? text : "", nullptr);
            guiAppendMessageLogText(message, 0);
        }
    }
}
