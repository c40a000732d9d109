// Films: Smacker and AVI files decoded through FFmpeg.
//
// A Film is opened on a whole file (read into memory, so hostile or cut
// files are only ever read within their bytes) and always holds its current
// frame decoded: its 8-bit pixels, its palette and whether the palette
// changed with it. FilmCopyFrame copies that frame into a caller's buffer at
// an offset and pitch, clipped to the buffer; FilmNext decodes the next one.
// Going to a frame rewinds to frame 0 and decodes forward. The wait between
// frames comes from the film's own rate on the host's performance counter
// (tests replace the clock). Films with sound stream it through a stream voice of the
// mixer (audio.h) when the audio output is open.
//
// What the game does with films (full-screen films, clips, the introduction
// list) is the film player's business (system/film.h); this module knows
// only frames.
//
// A film that fails to decode (a damaged or truncated file) is at its end:
// FilmNext returns false and the last good frame stays.
#pragma once

#include "platform/display.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct Film;

enum class FilmSound : uint8_t {
    Off,
    On
};

// Starts loading the film decoder's libraries on a thread of their own
// (they take about a fifth of a second of processor time), so that the
// first film need not wait for all of it. Call it once the window, its
// renderer and the sound output are open: while it runs, the process's
// other library loads wait for it. Films open without it; the first then
// loads the libraries itself.
void PrepareFilmsInBackground();

// Opens the film named by a data path (files.h); null when the file is
// missing or no decodable video stream is in it. The first frame is
// decoded at once.
Film* FilmOpen(const char* path, FilmSound sound);
// The same over bytes in memory.
Film* FilmOpenBytes(std::vector<uint8_t> bytes, FilmSound sound);
// Closes a film (null is ignored) and releases its sound.
void FilmClose(Film* film);

int FilmWidth(const Film* film);
int FilmHeight(const Film* film);
// Frames in the film, as its header says (at least 1).
int FilmFrameCount(const Film* film);
// Whether the film's file ends before its last frame: it plays up to the cut.
bool FilmCutShort(const Film* film);
// The number of the current frame, from 0.
int FilmCurrentFrame(const Film* film);
// Seconds from one frame to the next.
double FilmFrameSeconds(const Film* film);

// The current frame's palette (256 entries, 8-bit components) and whether it
// changed with this frame (always true for frame 0).
const PaletteColour* FilmPalette(const Film* film);
bool FilmPaletteChanged(const Film* film);

// Copies the current frame's pixels into `dest` (destWidth x destHeight,
// `pitch` bytes a row) with its top left at (x, y); whatever falls outside
// the destination is cut off. With `skipZero` pixels of value 0 are not
// copied. With a remap set, pixels go through it. Starts the frame's timing
// (FilmWaiting) and its sound. False when the film holds no frame.
bool FilmCopyFrame(Film* film, uint8_t* dest, int destWidth, int destHeight, int pitch, int x, int y,
                   bool skipZero = false);
// Converts the current frame to 5-6-5 pixels of `width` x `height` (scaled).
bool FilmCopyFrame565(Film* film, uint16_t* dest, int width, int height, int pitch);

// Decodes the next frame; false after the last frame or when the film
// cannot be decoded further (the current frame stays).
bool FilmNext(Film* film);
// True while the frame after the one last copied is not yet due (false
// before the first copy).
bool FilmWaiting(const Film* film);
// Makes `frame` the current frame (rewinding to 0 and decoding forward);
// false when it cannot be reached.
bool FilmGoTo(Film* film, int frame);

// Maps every film colour to the nearest entry of `palette` among entries
// first..last; pixels are copied through the map until it is cleared
// (null palette).
void FilmSetRemap(Film* film, const PaletteColour* palette, int first = 0, int last = 255);

// The clock that times frames (seconds); null restores the performance
// counter.
using FilmClock = double (*)();
void SetFilmClock(FilmClock clock);

// Writes an AVI of raw 24-bit frames (what the introduction list plays):
// `frames` holds width x height x 3 bytes (red, green, blue) each. For test
// and demo data; false when FFmpeg cannot write it.
bool WriteAviFile(const char* path, int width, int height, int framesPerSecond,
                  const std::vector<std::vector<uint8_t>>& frames);

} // namespace platform
