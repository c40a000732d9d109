// The input table: keys, text and mouse events played into the window at
// given passes of the frame loop, frames captured and the game's state
// printed, so that a run on the dummy drivers (or in a window with nobody at
// the keyboard) walks the game the same way every time.
//
// $KELVANDRIST_INPUT names the table, a text file with one event a line:
//
//   <pass> key <name>[+<name>...]   keys pressed together and released two
//                                   passes later in reverse order ("Left
//                                   Shift+Q"; SDL's key names)
//   <pass> text <text>              typed text (UTF-8), a key press each
//                                   character
//   <pass> click <x> <y>            the pointer moves to window pixels; the
//                                   left button goes down two passes later
//                                   and up two after that
//   <pass> click <element>          a left click at the middle of the current
//                                   screen's window that the symbol holds
//   <pass> move <x> <y>
//   <pass> shot <path>              the screen as shown: a binary PPM file of
//                                   its colours, for a ".pgm" path a PGM of
//                                   its palette indices, or for a ".pcx"
//                                   path the game's own screenshot (its
//                                   writer's header, the palette shown)
//   <pass> state                    prints "state <pass> screen=<name>
//                                   station=<n> end=<n>" on standard output
//                                   (and "pass <pass>" in the trace)
//   <pass> ships                    prints a line for each ship the
//                                   mission's tally counts: "ship <pass>
//                                   <name> destroyed=<0|1> hits=<n>" (the
//                                   player's kills and hits), " gone" when
//                                   it no longer exists otherwise,
//                                   " parked" while it waits in a star
//                                   system the player has left, and
//                                   while it lives " hull=<percent>
//                                   at=<x>,<y>,<z> lds=<0|1> ai=<state>
//                                   screen=<l>,<t>,<r>,<b>" (the AI state
//                                   running; the rectangle it was last drawn
//                                   in, relative to the middle of that 3D
//                                   view; the HUD's 16-pixel box round a
//                                   ship drawn as a point), then " belt"
//                                   while it is inside an asteroid belt;
//                                   the player's ship gets a line of its
//                                   own when the tally does not hold it;
//                                   last "player <pass> <name> kind=<n>
//                                   at=<x>,<y>,<z> velocity=<x>,<y>,<z>"
//                                   for the ship the player flies
//   <pass> hold                     prints "hold <pass>" and stops the game,
//                                   the screen as it is, until the window
//                                   system delivers a Scroll Lock key (for a
//                                   test that captures the window and sends
//                                   input through the window system: sent
//                                   after its input, the key makes all of it
//                                   arrive for the next pass; the key itself
//                                   is not passed on); at most ten minutes,
//                                   and not at all on the dummy driver
//   <pass> quit                     closes the window
//
// Passes count the loop's idle passes from the first. Blank lines and lines
// starting with '#' are skipped. Events of one pass play in their order.
#pragma once

#include <string>

// The environment variable naming the table.
constexpr const char* kInputTableVariable = "KELVANDRIST_INPUT";

// Reads the table $KELVANDRIST_INPUT names. True when none is named or it
// was read; false with `error` ("<file>(<line>) : <why>") when it cannot be.
bool LoadInputTableFromEnvironment(std::string& error);

// Plays the events due at this idle pass and counts it; nothing without a
// table.
void PlayInputTablePass();
