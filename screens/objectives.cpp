// Mission objectives: the objective table, its parser and the operations the
// mission scripts and the bridge key call.
#include "screens/objectives.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ai/orders.h"
#include "screens/bridge.h"
#include "screens/frontend.h"
#include "system/canvas.h"
#include "system/frameclock.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/text.h"
#include "ui/windows.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "ui/drawtypes.h"
#include "ui/messagelog.h"
#include "script/symbols.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/tally.h"

int32_t gMissionScore = 0;
int32_t gMissionMaxScore = 0;
ObjectiveState gObjectives = {.table = {}, .count = 0, .current = -1, .previous = -1, .noneCompleted = 255, .currentTimer = 0, .blinkPhase = 0, .blinkTicks = 0};

namespace {

// Texts of the language text table that the objective key prints.
constexpr int kTextObjectiveNext = 48;  // once an objective is completed
constexpr int kTextObjectiveFirst = 49; // before any is
constexpr int kTextMissionFailed = 163;
constexpr int kTextNoObjectiveLeft = 170;
constexpr int kTextObjectivesHeading = 168;

// The list panel's colours.
constexpr uint8_t kListRuleColour = 166;
constexpr uint8_t kListBoxOutline = 95;
constexpr uint8_t kListBlinkColour = 151;
constexpr uint8_t kStatusColours[3] = {159, 57, 88}; // not done, failed, completed
constexpr int32_t kBlinkTicks = 35;

Objective* At(int32_t index)
{
    return index >= 0 && index < kMaxObjectives ? &gObjectives.table[index] : nullptr;
}

// Objectives stand still once the mission is over: won, failed, or the
// player's ship lost (which also freezes the wing). A status set after
// that scores nothing.
bool ObjectivesFrozen()
{
    return gPlayerShipLost != 0 || gScriptMission.missionSucceeded != 0 || gScriptMission.missionFailed != 0;
}

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
    // The number of the next objective without one: past every number so
    // far, up to the last int32, which is then taken again. A number at the
    // top of the range has none past it and leaves it where it was.
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
            if (id < INT32_MAX && nextId <= id)
                nextId = id + 1;
            body = colon + 1;
        } else {
            id = nextId;
            if (nextId < INT32_MAX)
                ++nextId;
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

namespace {

// Text in the font's own colours, standing on the pen line.
void DrawListText(const Canvas& canvas, int32_t x, int32_t y, const char* text, const RasterFont* font,
                  const ClipRect& clip)
{
    if (!text || !font)
        return;
    static const uint8_t kFontZero[kObjectiveLineSize] = {};
    char cut[kObjectiveLineSize];
    std::snprintf(cut, sizeof cut, "%s", text);
    const RasterFont* fonts[1] = {font};
    int16_t px = static_cast<int16_t>(x), py = static_cast<int16_t>(y);
    CanvasDrawTextMixed(canvas, px, py, cut, kFontZero, fonts, clip);
}

} // namespace

void guiObjectivesListDraw(WindowHandle* window)
{
    ObjectiveState& o = gObjectives;
    o.blinkTicks += gFrameClock.frameTicks;
    if (o.blinkTicks > kBlinkTicks) {
        o.blinkPhase = o.blinkPhase ? 0 : 255;
        o.blinkTicks = 0;
    }
    const Canvas screen = ScreenCanvas();
    if (!window || !screen.pixels)
        return;
    const int32_t left = window->rect[0], top = window->rect[1], right = window->rect[2], bottom = window->rect[3];
    const ClipRect clip = {window->rect[0], window->rect[1], window->rect[2], window->rect[3]};
    CanvasFillRectClipped(screen, 0, clip, static_cast<int16_t>(left + 1), static_cast<int16_t>(top + 1),
                          static_cast<int16_t>(right - 1), static_cast<int16_t>(bottom - 1));
    const RasterFont* first = window->font ? static_cast<const RasterFont*>(ResGet(window->font)) : gBridgeFonts[0];
    const int32_t h = first ? first->height : 0;
    const int32_t box = h < 8 ? 5 : h - 2;

    CanvasLineClipped(screen, static_cast<int16_t>(left + 10), static_cast<int16_t>(top + 50),
                      static_cast<int16_t>(right - 10), static_cast<int16_t>(top + 50), kListRuleColour, clip);
    DrawListText(screen, left + 2 * h + 12, top + h + 20, LanguageText(kTextObjectivesHeading), first, clip);

    int32_t shown = 0;
    for (int32_t i = 0; i < o.count; ++i)
        shown += o.table[i].shown ? 1 : 0;
    if (shown == 0)
        return;
    const int32_t height = bottom - top + 1;
    int32_t spacing = shown > 1 ? (height - 75 - h * shown) / (shown - 1) : 1;
    spacing = std::min(spacing, 2 * h);

    const int32_t x = left + 2 * h + 15;
    int32_t y = top + h + 65;
    bool firstNotDone = true;
    for (int32_t i = 0; i < o.count; ++i) {
        const Objective& objective = o.table[i];
        if (!objective.shown)
            continue;
        const int status = std::clamp<int>(objective.status, 0, 2);
        // The box stands on the row's pen line like its text.
        const int16_t bl = static_cast<int16_t>(x), bt = static_cast<int16_t>(y - box + 1);
        const int16_t br = static_cast<int16_t>(x + box - 1), bb = static_cast<int16_t>(y);
        guiDrawOutline(screen, kListBoxOutline, bl, bt, br, bb);
        uint8_t fill = kStatusColours[status];
        if (status == kObjectiveNotDone && firstNotDone) {
            firstNotDone = false;
            fill = o.blinkPhase ? kListBlinkColour : kStatusColours[0];
        }
        CanvasFillRectClipped(screen, fill, clip, static_cast<int16_t>(bl + 1), static_cast<int16_t>(bt + 1),
                              static_cast<int16_t>(br - 1), static_cast<int16_t>(bb - 1));
        DrawListText(screen, x + 2 * h, y, objective.text, gBridgeFonts[status], clip);
        y += spacing + h;
    }
}

namespace {

// Texts of the language text table that the status panel shows.
enum : int {
    kTextPanelTitle = 155,
    kTextPanelObjectives = 157,
    kTextEnemyLosses = 158,
    kTextOwnLosses = 159,
    kTextBeamHits = 160,
    kTextMissileHits = 161,
    kTextPanelScore = 162,
    kTextMissionWon = 164,
    kTextBackToBridge = 165,
    kTextTimeBonus = 166,
    kTextOnToDebrief = 167,
    kTextShipsDestroyed = 169,
    kTextRating = 171,
};

// The panel's columns, from its left on a panel as wide as the screen (a
// narrower panel takes them in proportion): labels and objective texts,
// status words, kill counts, figures.
constexpr int32_t kColumnsWidth = 640;
constexpr int32_t kColumnLabel = 20;
constexpr int32_t kColumnStatus = 320;
constexpr int32_t kColumnCount = 420;
constexpr int32_t kColumnFigure = 570;

constexpr int kLanguages = 3;
// Status words by language (English, French, German) and status.
constexpr const char* kStatusWords[kLanguages][3] = {
    {"NOT DONE", "FAILED", "COMPLETED"},
    {"NON ACCOMPLI", "NON ATTEINT", "ATTEINT"},
    {"NICHT AUSGEF\xDCHRT", "GESCHEITERT", "BEENDET"},
};

const char* StatusWord(int16_t status)
{
    const int language = gSettings.language < kLanguages ? gSettings.language : 0;
    return kStatusWords[language][std::clamp<int>(status, 0, 2)];
}

int32_t ClampToInt32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// The bonus that the time left before the mission's time limit earns, in
// whole seconds at the script's rate; never below 0.
int32_t TimeBonus()
{
    const int64_t seconds = (int64_t{gScriptVars.targetTime} - gScriptVars.missionClock) / 100;
    return ClampToInt32(std::max<int64_t>(0, seconds * gScriptVars.timeScore));
}

const MissionRecord& FlownMission()
{
    return MissionTable[std::clamp<int>(gFrontEnd.selectedMission, 0, kMissionCount - 1)];
}

// One line after another down the panel; with drawing off the pen only
// moves, so that measuring and drawing take the same steps.
struct PanelPen {
    Canvas canvas;
    ClipRect clip;
    int32_t left, width;
    int32_t y, step;
    bool drawing;

    void NextLine() { y += step; }
    void At(int32_t column, const char* text, const RasterFont* font) const
    {
        if (drawing)
            DrawListText(canvas, left + column * width / kColumnsWidth, y, text, font, clip);
    }
    void Centred(const char* text, const RasterFont* font) const
    {
        if (!drawing || !text || !font)
            return;
        int16_t textWidth = 0, textHeight = 0;
        TextMeasure(text, font, textWidth, textHeight);
        DrawListText(canvas, left + (width - textWidth) / 2, y, text, font, clip);
    }
};

// A heading, then one line per ship category with kills: its name with
// "s:", the kills and the points they brought (or cost).
void DrawKillTable(PanelPen& pen, const RasterFont* font, int heading, const int32_t (&kills)[kShipCategories],
                   const int32_t (&points)[kShipCategories])
{
    pen.NextLine();
    pen.At(kColumnLabel, LanguageText(heading), font);
    for (int32_t kind = 0; kind < kShipCategories; ++kind) {
        if (kills[kind] == 0)
            continue;
        char text[64];
        pen.NextLine();
        std::snprintf(text, sizeof text, "%ss:", ShipKindName(kind) ? ShipKindName(kind) : "");
        pen.At(kColumnLabel, text, font);
        std::snprintf(text, sizeof text, "%i", kills[kind]);
        pen.At(kColumnCount, text, font);
        std::snprintf(text, sizeof text, "%i", points[kind]);
        pen.At(kColumnFigure, text, font);
    }
}

// A labelled figure: the label in the first column, the figure in the last.
void DrawFigure(PanelPen& pen, const RasterFont* font, int label, const char* figure)
{
    pen.NextLine();
    pen.At(kColumnLabel, LanguageText(label), font);
    pen.At(kColumnFigure, figure, font);
}

} // namespace

int32_t guiObjectivesPanelDraw(WindowHandle* window, bool drawing)
{
    if (!window)
        return 0;
    const RasterFont* fonts[3] = {
        window->font ? static_cast<const RasterFont*>(ResGet(window->font)) : gBridgeFonts[0],
        gBridgeFonts[1],
        gBridgeFonts[2],
    };
    const RasterFont* font = fonts[0];
    const int32_t h = font ? font->height : 0;
    const Canvas screen = ScreenCanvas();
    PanelPen pen = {
        .canvas = screen,
        .clip = {window->rect[0], window->rect[1], window->rect[2], window->rect[3]},
        .left = window->rect[0],
        .width = window->rect[2] - window->rect[0] + 1,
        .y = window->rect[1],
        .step = std::max(2 * h - 3, 0),
        .drawing = drawing && screen.pixels,
    };
    const bool won = gScriptMission.missionSucceeded != 0;
    char text[kObjectiveLineSize];

    const MissionRecord& mission = FlownMission();
    std::snprintf(text, sizeof text, "%s %.*s", LanguageText(kTextPanelTitle) ? LanguageText(kTextPanelTitle) : "",
                  kMissionTitleSize, mission.title);
    pen.NextLine();
    pen.Centred(text, font);
    pen.NextLine();
    if (gScriptMission.missionFailed)
        pen.Centred(LanguageText(kTextMissionFailed), fonts[1]);
    else if (won)
        pen.Centred(LanguageText(kTextMissionWon), fonts[2]);
    else
        pen.Centred(LanguageText(kTextNoObjectiveLeft), gBridgeFonts[2]);

    if (gObjectives.count > 0) {
        pen.NextLine();
        pen.At(kColumnLabel, LanguageText(kTextPanelObjectives), font);
        for (int32_t i = 0; i < gObjectives.count; ++i) {
            const Objective& objective = gObjectives.table[i];
            if (!objective.shown)
                continue;
            pen.NextLine();
            pen.At(kColumnLabel, objective.text, font);
            pen.At(kColumnStatus, StatusWord(objective.status), font);
            std::snprintf(text, sizeof text, "%i", objective.status == kObjectiveCompleted ? objective.score : 0);
            pen.At(kColumnFigure, text, font);
        }
    }
    if (gScriptVars.targetTime > 0) {
        std::snprintf(text, sizeof text, "%i", TimeBonus());
        DrawFigure(pen, font, kTextTimeBonus, text);
    }

    const TallyCounters& tally = gTallyCounters;
    DrawKillTable(pen, font, kTextEnemyLosses, tally.enemyKills, tally.enemyScore);
    DrawKillTable(pen, font, kTextOwnLosses, tally.friendlyKills, tally.friendlyPenalty);
    int64_t destroyed = 0;
    for (int32_t kind = 0; kind < kShipCategories; ++kind)
        destroyed += int64_t{tally.enemyKills[kind]} + tally.friendlyKills[kind];
    std::snprintf(text, sizeof text, "%i", ClampToInt32(destroyed));
    DrawFigure(pen, font, kTextShipsDestroyed, text);
    // Bolts hit in the tally's second counter, launchers' munitions in its
    // first.
    if (gPlayerInput.shotsFired != 0) {
        std::snprintf(text, sizeof text, "%.0f%%", tally.otherHits * 100.0 / gPlayerInput.shotsFired);
        DrawFigure(pen, font, kTextBeamHits, text);
    }
    if (gPlayerInput.missilesFired != 0) {
        std::snprintf(text, sizeof text, "%.0f%%", tally.flaggedHits * 100.0 / gPlayerInput.missilesFired);
        DrawFigure(pen, font, kTextMissileHits, text);
    }
    std::snprintf(text, sizeof text, "%i", gMissionScore);
    DrawFigure(pen, font, kTextPanelScore, text);
    if (mission.maxScore != 0) {
        std::snprintf(text, sizeof text, "%02i%%", ClampToInt32(int64_t{gMissionScore} * 100 / mission.maxScore));
        DrawFigure(pen, font, kTextRating, text);
    }

    pen.NextLine();
    // The foot says what Escape does now: on to the mission's end, or back
    // to the bridge.
    pen.Centred(LanguageText(BackStepEndsMission() ? kTextOnToDebrief : kTextBackToBridge), font);
    return pen.y - window->rect[1];
}
