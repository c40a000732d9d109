// The front end: career files, options, mission table and mission launch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct Canvas;
struct RasterFont;

extern uint8_t gFrontEndActive;      // the front end is up: no simulation frames run
extern uint8_t gStartMissionRequest; // the frame loop starts the selected mission

void InitScreensAndIcons();
void LoadFrontEndPalette();
// A mission flies in the game's palette: the one the front end replaced,
// unless something else has been shown since.
void LeaveFrontEndPalette();
void ReturnToFrontEnd();
// Runs a step of the mission script (`step` compiles or runs it). A mission launched from the front end whose script is in error
// (a file cut short; the error is named) ends at once and the player is
// back on the front end; a command-line mission's error ends the process.
void RunMissionScriptStep(const std::function<void()>& step);

// --- Career files -----------------------------------------------------------
//
// "zqk\state.inf" (820 bytes) and "zqk\slot%01i.sav" (1,840 bytes), both
// little-endian, field by field, without padding. Each is built whole in
// memory and replaces the old file in one step, so a failed write keeps the
// old file. A read clears its record first: a short file leaves zeros, never
// the values of the record read before it.

constexpr int kMissionCount = 100;
constexpr int kCaptainSlots = 6;
constexpr int kCaptainNameSize = 24;
constexpr std::size_t kStateFileSize = 820;
constexpr std::size_t kCaptainFileSize = 1840;
constexpr int32_t kDefaultBestTime = 60000; // ten minutes
constexpr int kInstantActionIndex = 99;     // its best time is the highest one

struct StateFileRecord {
    int16_t currentSlot;     // 0-5
    int16_t launchedMission; // table index of the mission being started
    int16_t reservedA;       // 0 at every launch
    int16_t reservedB;
    int16_t inFlight;  // -1 while a mission flies
    int16_t outcome;   // outcome code of the last mission
    int16_t success;   // non-zero when the last mission was won
    int16_t score;     // score of the last mission, saturated to 16 bits
    int16_t reservedC; // 0 at every launch
    int16_t fullScreen;
    int32_t bestScore[kMissionCount];
    // Who set each best (slot numbers); kept in memory only.
    int16_t bestScoreHolder[kMissionCount];
    int16_t bestTimeHolder[kMissionCount];
    int32_t bestTime[kMissionCount]; // hundredths of a second
};
extern StateFileRecord StateRecord;

struct CareerRecord {
    char name[kCaptainNameSize]; // NUL within its 24 bytes
    int16_t reserved0;
    int32_t reserved1;
    int32_t totalScore; // sum of the completed missions' scores
    int32_t reserved2;
    int16_t completedCount;              // entries used in the completion order
    int16_t missionState[kMissionCount]; // 0 not completed, -1 completed
    int16_t outcome[kMissionCount];      // outcome code of each mission's last flight
    int16_t reserved3[kMissionCount];
    int16_t reserved4[kMissionCount];
    int16_t completionOrder[kMissionCount]; // table indices, in completion order
    int32_t missionScore[kMissionCount];
    int32_t missionTime[kMissionCount]; // hundredths of a second
};
extern CareerRecord CaptainSlot;

// The state file's bytes from the record, and the record from bytes (the
// values of a new file first, so that what a short file lacks keeps them;
// the slot is kept within 0-5).
void EncodeStateFile(const StateFileRecord& record, uint8_t out[kStateFileSize]);
void DecodeStateFile(const uint8_t* bytes, std::size_t size, StateFileRecord& record);
// The same for a career file (completed count within 0-100, completion
// order entries within 0-99, the name always terminated).
void EncodeCaptainFile(const CareerRecord& record, uint8_t out[kCaptainFileSize]);
void DecodeCaptainFile(const uint8_t* bytes, std::size_t size, CareerRecord& record);

// Writes "zqk\state.inf"; false (the old file kept, and the player told:
// CareerSaveNotice) when it cannot be written.
bool WriteStateFile();
// Clears the state record, best times 60000 (index 99: 0), and writes it.
void ResetStateFile();
// Reads "zqk\state.inf"; when there is none it is made anew with
// ResetStateFile and the result is false. One that exists but cannot be read
// (unreadable, too large, not a regular file) is never written over in this
// run: it is named (see CareerSaveNotice) and the record is a new one's.
bool ReadStateFile();
// Writes the current slot's career file; false (the old file kept, and the
// player told) when it cannot be written.
bool WriteCaptainSlot();
// While the career cannot be saved, what the player is told: the latest
// file that could not be saved, or that exists but could not be read, and
// why; "" once every such file has been saved (or read) since. A file's
// failure is also named once (until it is saved, or fails for another
// cause) in one line on standard error (in the debug log with the debug
// file).
const char* CareerSaveNotice();
// The notice on the front end's screen, each frame: a line along the
// screen's foot while there is one, and a full redraw once it has gone.
void DrawCareerSaveNotice(const Canvas& screen);
// Clears the career but its name, and writes it.
void ResetCaptainSlot();
// Reads the current slot's career file; when there is none the captain is
// "Unknown Captain" with a cleared career, written anew, and the result is
// false. One that exists but cannot be read gives the same captain in
// memory, but the file is named and kept: no save writes over it until the
// player starts anew in the slot (ClaimCaptainSlot).
bool ReadCaptainSlot();
// The captain is still "Unknown Captain", the name of a new career.
bool CaptainHasDefaultName();
// The player starts anew in the current slot (names its captain, deletes
// its career): its career file may be written over from now on, even one
// that could not be read.
void ClaimCaptainSlot();
// The roster's slot step: writes the old career, moves the slot by `step`
// (down from 0 wraps to 5, up from 5 to 0) and reads the new one.
void StepCaptainSlot(int32_t step);

// --- Mission table and launch ------------------------------------------------

constexpr int kMissionTitleSize = 80;
constexpr int kGateMissionIndex = 32;
constexpr int32_t kExtraMissionNumber = 90; // extra missions from this number on

struct MissionRecord {
    int16_t index;         // table index 0-99
    int16_t missionNumber; // 0 or less: no mission in this row
    char title[kMissionTitleSize];
    int16_t prerequisite;  // table index that must be completed (0 none); -1 before loading
    int16_t branchMission; // table index whose outcome decides availability (0 none)
    int16_t requiredOutcome;
    int16_t spare;
    int32_t maxScore;
    int32_t scoreCap; // the mission's kill-score limit
};
extern MissionRecord MissionTable[kMissionCount];

// One listed mission: kind 0 available, 1 completed, 2 completed extra.
struct MissionListEntry {
    const MissionRecord* mission;
    int16_t kind;
    int16_t width, height;
    int16_t left, top, right, bottom; // box, set by the layout
    int32_t score;
    int32_t maxScore;
    int32_t time;
    char* debriefText;     // malloc'd, completed entries only, read on first use
    uint8_t debriefLoaded; // the text (or its absence) has been looked up
};

struct MissionList {
    uint8_t vertical = 0;
    MissionListEntry entries[kMissionCount] = {};
    int16_t count = 0;
    int16_t selected = -1; // entry index, -1 for none
    int16_t contentWidth = 0, contentHeight = 0;
    int16_t scrollX = 0, scrollY = 0;
};
extern MissionList gAvailableList; // laid out top to bottom
extern MissionList gCompletedList; // laid out left to right

// The launch modes.
enum : int16_t {
    kLaunchNew = 1,
    kLaunchReplay = 2,
    kLaunchExtra = 4,
};

struct FrontEndSelection {
    int16_t selectedMission = 1; // table index
    MissionListEntry* currentEntry = nullptr;
    int16_t availableCount = 0;
    int16_t available[kMissionCount] = {};
    int16_t launchMode = kLaunchNew;
    uint8_t missionScriptPresent = 0;
    int16_t disc = 1;
    int16_t loadTestPosition = 0; // the next table index load-test mode starts
};
extern FrontEndSelection gFrontEnd;
// The font the list entries' heights are measured in (none: 30).
extern const RasterFont* gMissionListFont;
// The start of flight, which the program's top provides.
extern void (*gStartFlightHook)();

// Fills the table from the text of "precedence.csv" (cleared first: no
// missions, prerequisites -1); returns the rows stored. Rows whose index
// lies outside 0-99 are skipped.
int32_t ParseMissionTable(const char* text, std::size_t size);
// Reads "zqk\resource\scripts\precedence.csv"; false when it cannot be read
// (the table is then empty).
bool ReadMissionTable();
// The table index of the row with that mission number, or the number
// itself when no row has it.
int32_t MissionIndexOfNumber(int32_t missionNumber);
// The mission number of a table index's row, or the index itself when the
// row holds no mission.
int32_t MissionNumberAtIndex(int32_t index);
// The debrief text of a completed entry, for the outcome this captain
// reached: read at its first use (a rebuild reads no files), then kept with
// the entry. Null for an available entry or a mission without a debrief.
const char* MissionEntryDebrief(MissionListEntry& entry);
// Builds the available and completed lists from the table and the career.
void RebuildMissionLists();
void FreeMissionLists();
// Sets gFrontEnd.missionScriptPresent: whether the selected mission's
// script opens.
void CheckMissionScript();
// Finds the mission's disc data: found, the launch is requested; missing,
// the "InsertCD" screen asks for the disc.
void ChooseMissionDisc(int32_t missionNumber);
// A mission named on the command line: the table is read, MISSNUMBER
// becomes the index of the row with that mission number (or the number
// itself when no row has it) and the caption names it, with its title when
// it has a row. Returns the index.
int32_t EnterCommandLineMission(int32_t missionNumber);
// The launch, run by the frame when the launch is requested.
void StartMission(int32_t ignored);
// The end of a mission: the result goes into the career and the best
// tables (not for a launched index without a table row), and the career is
// written.
void RecordMissionResult();
// Cuts the career back to the selected mission and relaunches it.
void RestartFromMission();

// The developer keys of the timeline (Shift held, debug runs): every
// mission of the table completed on a fresh career, the selected mission's
// completion toggled with a random score below its maximum, and its outcome
// toggled between 1 and 2. Each rebuilds the lists.
void DevCompleteAllMissions();
void DevCompleteSelectedMission();
void DevToggleSelectedOutcome();

// --- Debriefs and options ---------------------------------------------------

// The debrief text of the mission for the outcome (the outcome's own file,
// else the mission's first, else "dbf_null.txt"), at most 2,499 bytes, as
// a malloc'd text; null when there is none (missions 90 and above never
// have one).
char* LoadDebriefText(int32_t mission, int32_t outcome);
// Shows the debrief text of the table index's mission in the message log
// and speaks it when its speech file exists (gDebriefSpeechLength, in
// ticks); with no text the mission goes to its end screen.
void PlayDebriefSpeech(int32_t tableIndex, int32_t outcome);
extern int32_t gDebriefSpeechLength;

// The result of the mission that ended last, kept by its end screen for the
// debrief and the career: won (255) or not, its outcome number, its score.
struct MissionResult {
    uint8_t succeeded;
    int16_t outcome;
    int32_t score;
};
extern MissionResult gMissionResult;
// The closing film of the table index's mission, when it has one
// ("out1.smk" after 39, "out2.smk" after 43 with outcome 1, "out3.smk"
// after 37 at index 37); film mode turns on when it starts.
void PlayClosingFilm(int32_t tableIndex, int32_t outcome);

enum : int32_t {
    kOptionSlider = 0,
    kOptionSwitch = 1,
};
constexpr int kOptionLabelSize = 80;
constexpr int kOptionValueLabels = 5;
constexpr int kOptionValueLabelSize = 32;

struct GameOption {
    const char* name; // null ends the table
    int32_t kind;
    float value;
    float minimum;
    float maximum;
    void (*apply)(const GameOption& option);
    float defaultValue;
    int32_t unused;
    char label[kOptionLabelSize];
    char valueLabels[kOptionValueLabels][kOptionValueLabelSize];
};
extern GameOption gGameOptions[];

// What the options set that no other module holds yet: read by the view,
// the dialogue, the input and the simulation.
struct OptionFlags {
    uint8_t weaponLight = 255;
    uint8_t dialogueAnimation = 0;
    float detailNear = 10.0f, detailFar = 24.0f;
    uint8_t planetFilter = 255;
    uint8_t weaponFrame = 255;
    int32_t controlMethod = 0;
    uint8_t joystickAxis = 0;
    uint8_t collisionsOff = 255;
};
extern OptionFlags gOptionFlags;

struct Rating {
    int32_t threshold;
    char name[32];
};
constexpr int kMaxRatings = 16;
extern Rating gRatings[kMaxRatings];
extern int32_t gRatingCount;

// Ratings from their text (" %i %s" pairs up to a -1 threshold), at most 16.
int32_t ParseRatings(const char* text, std::size_t size);
// Option labels from the text of "initTable.txt".
void ParseOptionLabels(const char* text, std::size_t size);
// Once per run: the ratings, then the labels file, after which every
// option's default is its value. Without the labels file the built-in
// defaults stay and the next call tries again.
void ReadOptionTable();
// Sets the named option within its range and applies it; other names do
// nothing.
void SetOptionValue(const char* name, float value);
// The configuration text with the changed options' INIT_VAR lines first and
// every old line that holds no INIT_VAR after them.
std::string RewriteOptionsText(std::string_view text);
// Rewrites the configuration file; "Cannot Save Options" when it cannot be
// read or written (the file is then kept).
bool SaveOptions(const char* fileName);
// Every option back to its default, each applied.
void RestoreDefaultOptions();
// The switch click: the next value, back to the minimum past the maximum.
void StepOptionSwitch(GameOption& option);
// The rating name for a total score.
const char* RatingForScore(int32_t totalScore);
