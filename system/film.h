// The film player: full-screen films, clips that panels draw each frame,
// looping clips, and the introduction's film list.
//
// Two FilmDriver tables of eight operations do the work: table A decodes
// into the screen canvas (the window and framework back ends), table B
// into an off-screen surface of the film's size that is then copied (or
// stretched, for 320-wide films) to the screen (the full-screen back end).
// gFilmPlayer (display.h) chooses the table with the back end. Callers use
// the wrappers below, never a table.
//
// Frames decode through platform/film.h. Film numbers in the calls below
// count from 1, as the film files' own tools count them.
//
// While a full-screen film plays the frame loop runs StepFilm instead of
// frames (film mode, frameclock.h) and the game clock stands.
#pragma once

#include "system/canvas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
struct Film;
}

// A clip in its caller's slot: the film handle (null once the clip played
// out), its frame buffer and the values of the current play.
struct FilmClip {
    platform::Film* film = nullptr;
    std::vector<uint8_t> pixels; // width x height
    int16_t width = 0;
    int16_t height = 0;
    int32_t startFrame = 0;  // 0: from the start
    int32_t lastFrame = 0;   // 0: to the end
    uint8_t transparent = 0; // pixels of value 0 are not copied
    int32_t value = 0;       // kept for the caller
    uint8_t finished = 0;    // the last frame was reached
    uint8_t decoded = 0;     // a frame is in the buffer
};

// A looping clip decoded into its caller's buffer.
struct LoopClip {
    platform::Film* film = nullptr;
    int16_t width = 0;
    int16_t height = 0;
};

// The eight operations of a film player, in slot order.
struct FilmDriver {
    int (*play)(const char* path); // open a full-screen film; non-zero when it started
    int (*step)();                 // one frame; non-zero while the film goes on
    int (*openClip)(FilmClip** slot, const char* path, int32_t firstFrame, int32_t lastFrame, uint8_t transparent,
                    int32_t value);                        // non-zero when the slot holds a clip
    int (*drawClip)(FilmClip* clip, const ClipRect& rect); // 0 without a clip
    void (*stop)();                                        // close the full-screen film
    void (*closeClip)(FilmClip** slot);                    // close a clip and free its buffer
    int (*playBlocking)(const char* path);                 // play to the end in an own message loop
    void (*takePalette)();                                 // take the film's palette
};
extern const FilmDriver kCanvasFilmDriver;  // table A
extern const FilmDriver kSurfaceFilmDriver; // table B

// The name PlayFilm or PlayFilmBlocking was last asked for.
extern std::string gFilmName;

// The video folder is gVideoFolder (datalocation.h). A name longer than 12
// characters keeps its part from the last '\' behind the folder; a shorter
// one becomes folder '\' name. Returns a buffer rewritten on every call.
const char* MakeFilmPath(const char* name);

// Plays a full-screen film; 0 for a null name or a film that cannot be
// opened. The game's sounds pause while it plays. Callers then turn film
// mode on.
int PlayFilm(const char* name);
// One film step: a waiting key with Esc, F1-F4 or Q held stops the film.
int StepFilm();
// Opens (or, from frame 2 on, continues) a clip in `slot`.
int OpenClip(FilmClip** slot, const char* name, int32_t firstFrame, int32_t lastFrame, uint8_t transparent,
             int32_t value);
// Draws the clip's frame centred in `rect` on the screen canvas.
int DrawClip(FilmClip* clip, const ClipRect& rect);
// Closes the full-screen film and resumes the paused sounds.
void StopFilm();
// Closes a clip and empties the slot; an empty slot is left alone.
void CloseClip(FilmClip** slot);
// Plays a full-screen film to its end; returns once it ended. A quit asked
// for meanwhile is handed on to the frame loop.
int PlayFilmBlocking(const char* name);
void TakeFilmPalette();

// True while a full-screen film is open (tests, the window's paint).
bool FullScreenFilmOpen();

// Looping clips.
LoopClip* OpenLoopClip(const char* name);
// Decodes the due frame into `buffer` (width x height of the clip); after
// the final frame the clip starts again. 0 without a clip.
int DecodeLoopClip(LoopClip* clip, uint8_t* buffer);
void CloseLoopClip(LoopClip* clip);

// The introduction's film window: the list plays one film after another in
// a band of the screen; when a film stops the window procedure hears of it
// (platform::Message::FilmStopped) and runs FilmWindowStopped.
void CreateFilmWindow();
int PlayMciFilm(const char* path);
void PlayNextListedFilm();
// `list` ends with a null entry. Non-zero when the window exists.
int PlayFilmList(const char* const* list);
// Closes the film window's film (the window stays until the list ends).
void CloseFilmWindow();
bool FilmWindowVisible();
// Shows the film window's due frame; reports the film's end to the window
// procedure. The frame loop calls it while an MCI film plays.
void ServiceFilmWindow();
// The window procedure's answer to a stopped film.
void FilmWindowStopped();
