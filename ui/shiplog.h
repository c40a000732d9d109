// The ship's log: what happened in flight, with the time, and every
// dialogue line.
//
// Event entries (arrivals, departures, destructions, dockings, LDS use) are
// also shown on the bridge message line; free texts (dialogue lines) are
// also typed into the message log. Entries and their formatted lines live
// in fixed stores (100 entries, a 7500-byte text pool) rewound by a reset.
// The player browses them backwards and forwards; the end of a mission
// writes them out as an HTML page.
#pragma once

#include <cstdint>

constexpr int kShipLogEntries = 100;
constexpr int kShipLogPoolSize = 7500;
constexpr int16_t kShipLogCursorUnset = -10000;
constexpr int16_t kShipLogFreeText = 8; // the kind free texts are stored with
constexpr int kShipLogKinds = 11;

struct ShipLogEntry {
    int16_t kind;
    int32_t time;        // hundredths of a second
    const char* line;    // in the text pool, or null when the pool was full
    const char* subject; // as given (" " when none), for the line only
    const char* text;    //   likewise the second text
    uint8_t event;       // 1 an event entry, 0 a free text
};

// The log's state, one record.
struct ShipLog {
    ShipLogEntry entries[kShipLogEntries];
    char pool[kShipLogPoolSize];
    int32_t poolUsed; // the write position in the pool
    int16_t count;
    int16_t dumpCount; // entries written since the last reset
    int16_t cursor;    // browse position, kShipLogCursorUnset when unset
    uint8_t initialised;
    uint8_t off;        // logging off: nothing is added
    int16_t detail = 2; // kinds above this level are not logged; 2 or more logs all
};
extern ShipLog gShipLog;

// Empties the log (the first use of an add does it too).
void InitShipLog();
// Count 0, cursor unset, the pool rewound.
void ResetShipLog();
// An event entry stamped with the game clock: "%i:%02i subject kind-name
// text" (without the text when there is none), shown on the message line
// for 200 ticks. Nothing while logging is off, for a kind above the detail
// level or unknown, or once 100 entries exist; an entry whose line does not
// fit in the pool is counted without a line.
void AddShipLogEntry(int16_t kind, const char* subject, const char* text);
// A free entry "%i:%02i text" at the time (hundredths) that is also added to
// the message log; when it cannot be stored only the text is added there.
void AddShipLogText(int32_t time, const char* text);
// The line of the entry before the cursor (from the newest when unset), or
// null when there is none; *isEvent (when given) tells an event entry.
const char* ShipLogPrevious(uint8_t* isEvent);
// The line of the entry after the cursor; null one past the newest.
const char* ShipLogNext(uint8_t* isEvent);
// Browsing starts again from the newest entry.
void ShipLogUnsetCursor();
// The kind's name in the current language, or null for an unknown kind.
const char* ShipLogKindName(int16_t kind);
// Writes the lines of the entries since the reset to
// "zqk\resource\text\docs\test.htm"; nothing when it cannot be created.
void DumpShipLog();
