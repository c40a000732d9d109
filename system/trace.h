// The event trace: with KELVANDRIST_TRACE naming a file, the game appends
// one line per event that tests of whole runs check (screens entered,
// windows made and deleted, texts drawn, films, sounds, message texts,
// bridge commands, the mission's end state).
//
// A line is the frame counter, the event word, then the event's fields,
// separated by single blanks; texts are in double quotes (a quote or a
// backslash inside one is preceded by a backslash, a line break is \n):
//
//     <frame> screen "<name>"
//     <frame> window+ "<element>" <anchor> <left> <top> <right> <bottom>
//     <frame> window- "<element>" <anchor> <left> <top> <right> <bottom>
//     <frame> text <x> <y> <colour> "<font>" "<text>"
//     <frame> film "<file>"          <frame> clip "<file>"
//     <frame> sound <slot>
//     <frame> message "<text>"       <frame> log "<text>"
//     <frame> command <number>       <frame> end-state <state>
//     <frame> pass <pass>            (an input table's "state" event)
//     <frame> system "<star>"        (the star system the player entered)
//
// Off by default: every call costs one test of a pointer while it is off.
#pragma once

#include <cstdio>

extern std::FILE* gTraceFile; // null while tracing is off

// Opens (appending) the file that KELVANDRIST_TRACE names; off when the
// variable is unset or empty or the file cannot be opened.
void TraceStart();
void TraceStop();

inline bool TraceOn()
{
    return gTraceFile != nullptr;
}

// Writes "<frame> <event>" followed by the formatted fields and a line
// break. `%q` is not understood: quote texts with TraceQuoted.
void TraceLine(const char* event, const char* fieldsFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The text in double quotes with its quotes, backslashes and line breaks
// escaped, into the buffer (cut short to fit); returns the buffer.
const char* TraceQuoted(const char* text, char* buffer, int size);
