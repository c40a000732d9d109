// The front-end screens: home, roster, timeline, credits, Instant Action,
// the disc request and the yes/no screen. Their set-up routines bind the
// elements of the layout scripts by name; moves between them run through one
// state table whose transitions play short clips in a movie element of the
// current screen; one key handler serves them all, with a name-entry mode
// for the captain's name.
//
// Not here: the career files, the mission table and lists and the launch
// (screens/frontend.h), and the option page's own controls (its set-up here
// binds only its exit).
#pragma once

#include <cstdint>

struct FilmClip;
struct WindowHandle;

// One front-end state: the screen shown on entering it (null: none), the
// clip played in the movie element (null: none) and the state that follows
// when the clip ends, or at once without a clip.
struct FrontStateRow {
    const char* screen;
    const char* clip;
    int16_t next;
};
constexpr int kFrontStateCount = 24; // states 1-23; row 0 is unused
extern const FrontStateRow kFrontStates[kFrontStateCount];

enum : int16_t {
    kFrontStart = 1,
    kFrontHome = 2,
    kFrontToRoster = 4,
    kFrontRoster = 5,
    kFrontRosterToHome = 6,
    kFrontSlotDown = 7,
    kFrontSlotUp = 8,
    kFrontToTimeline = 9,
    kFrontTimeline = 10,
    kFrontTimelineToRoster = 11,
    kFrontToOptions = 12,
    kFrontOptions = 13,
    kFrontOptionsToHome = 14,
    kFrontToCredits = 18,
    kFrontCredits = 19,
    kFrontCreditsToHome = 20,
    kFrontToAction = 21,
    kFrontAction = 22,
    kFrontActionToHome = 23,
};

// A home choice: its caption by language and the state it requests.
struct HomeChoice {
    const char* caption[3];
    int16_t state;
};
constexpr int kHomeChoices = 4;
extern const HomeChoice kHomeChoiceTable[kHomeChoices];

constexpr int kCaptainNameLength = 23; // characters, without the NUL

// The front end's state, one record.
struct FrontScreens {
    int16_t current;    // the state the driver is in
    int16_t requested;  // the state it moves to at its next redraw
    FilmClip* clip;     // the open clip, or null
    uint8_t clipFailed; // the state's clip could not be opened: not retried
    int16_t highlight;  // home choice 0-3
    uint8_t nameEntry;
    int16_t nameLength;
    int16_t confirmText; // text number of the yes/no question
    void (*confirmAction)();
    uint8_t playNew, playAgain, playExtra, playRestart;
    uint8_t whatMissionShown, debriefShown, debriefButtonShown;
    uint8_t clipsRegistered;
    WindowHandle* availableWindow; // the lists' elements: their scroll reference
    WindowHandle* completedWindow;
    WindowHandle* loadingWindow; // the home screen's film window: the launch's loading note
};
extern FrontScreens gFrontScreens;

// Registers the eight front-end screens with their set-up routines and the
// front-end key handler.
void RegisterFrontEndScreens();

// The transition driver, run by the movie elements' draw: enters a newly
// requested state (its screen, its clip, or the next state at once), plays
// the current state's clip in the element and moves on when it ends, and
// outlines the element.
void RunFrontTransition(WindowHandle* window);

// The key handler of every front-end screen.
void guiFrontEndKeyHandler(uint16_t keyCode);

// Eight lines of length `size`, two at each corner of the rectangle, along
// its edges.
void DrawCornerBrackets(int16_t left, int16_t top, int16_t right, int16_t bottom, int16_t size, uint8_t colour);

// The launch's note, before the mission is loaded: the loading window
// (left edge 4 pixels out) cleared and text 54 centred in it; nothing
// without the window.
void DrawLoadingNote();

// The selected mission is launched in the mode (new 1, again 2, extra 4).
void LaunchSelectedMission(int16_t mode);
