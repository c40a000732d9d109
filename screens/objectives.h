// Mission objectives: the table of up to 15 objectives that a mission script
// declares from a text and then shows, scores, times and settles; the
// current objective and its timer; the bridge key that prints the current
// objective into the message log; the list panel and the mission status
// panel that draw the table.
//
// Objectives are addressed by index; every operation ignores an index
// outside 0..14, so the -1 that FindObjectiveById gives for an unknown id
// changes nothing.
#pragma once

#include <cstdint>

struct WindowHandle;

// The mission score that completed objectives and kills add to, and the
// mission's maximum score (its mission-table row), which kills never pass.
extern int32_t gMissionScore;
extern int32_t gMissionMaxScore;

constexpr int kMaxObjectives = 15;
constexpr int kObjectiveLineSize = 256; // a longer line is cut to 255 bytes
constexpr int32_t kObjectiveDefaultScore = 100;

enum ObjectiveStatus : int16_t {
    kObjectiveNotDone = 0,
    kObjectiveFailed = 1,
    kObjectiveCompleted = 2,
};

struct Objective {
    char* text;    // owned (AllocMemory), null when unused
    uint8_t shown; // non-zero when listed
    int32_t id;    // the number the scripts find it by
    int32_t score; // added to the mission score on completion
    int16_t status;
    int32_t timer; // hundredths of a second
};

struct ObjectiveState {
    Objective table[kMaxObjectives];
    int32_t count;
    int16_t current;  // -1: none
    int16_t previous; // the current index before the last selection
    uint8_t noneCompleted;
    int32_t currentTimer; // the current objective's timer; 0 when none is current
    uint8_t blinkPhase;
    int32_t blinkTicks;
};
extern ObjectiveState gObjectives;

// Resets the table (texts freed, scores 100, none current) and reads up to
// 15 lines of the text: "id:text" or a plain text that takes the next
// automatic id. False, leaving the table reset, for a null text.
bool ParseObjectives(const char* text);
// Sets the status; a completion adds the objective's score to the mission
// score. Nothing once the mission is over (the player's ship is lost).
void SetObjectiveStatus(int32_t index, int32_t status);
bool ObjectiveStatusIs(int32_t index, int32_t status);
void SetObjectiveShown(int32_t index, int32_t flag);
void SetObjectiveScore(int32_t index, int32_t points);
// The timer in hundredths from seconds.
void SetObjectiveTimer(int32_t index, int32_t seconds);
// The index of the first objective with the id, or -1.
int32_t FindObjectiveById(int32_t id);
// The current objective becomes the first shown one not yet done (or -1);
// when it changes, the current timer is loaded from it.
void SelectCurrentObjective();
// Prints the current objective (or that none is left) into the message log
// without clearing it.
void ShowCurrentObjective();

// The list panel (drawn by the 3D viewer panel): a rule and a heading, then
// one row per shown objective, a box filled in its status colour (the
// current one blinking) and its text in the bridge font of its status.
void guiObjectivesListDraw(WindowHandle* window);

// The mission status panel, drawn over the main view once the flight is
// over: the mission's title and outcome, the objectives with their status
// words and scores, the time bonus, the kills and losses by ship category,
// the hit rates, the score and its rating, and a bottom line saying where
// Escape leads. Lines step by twice the first font's height less 3; the
// fonts are the window's (else the first bridge font) and the second and
// third bridge fonts. Returns the height used; with drawing off it only
// measures and touches no pixel.
int32_t guiObjectivesPanelDraw(WindowHandle* window, bool drawing);
