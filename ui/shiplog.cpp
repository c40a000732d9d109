// The ship's log.
//
// Owns the entries, their text pool, the browse cursor and the kinds'
// names and detail levels. Does not own the message line (screens/bridge.h)
// nor the message log (ui/messagelog.h) that its lines are also shown on,
// nor the page writer of the dump (screens/documents.h).
#include "ui/shiplog.h"

#include "screens/bridge.h"
#include "screens/documents.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "ui/messagelog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

ShipLog gShipLog;

namespace {

constexpr int32_t kMessageLineTicks = 200;
constexpr const char* kDumpFile = "zqk\\resource\\text\\docs\\test.htm";
constexpr int kLanguages = 3;

struct ShipLogKind {
    int16_t level;                 // the lowest detail level that logs it
    const char* names[kLanguages]; // English, French, German (code page 1252)
};

constexpr ShipLogKind kKinds[kShipLogKinds] = {
    {0, {"arrived at Lagrange point", "a atteint le point Lagrange", "am Lagrange-Punkt angekommen"}},
    {0, {"left from Lagrange point", "a quitt\xE9 le point Lagrange", "hat Lagrange-Punkt verlassen"}},
    {0, {"destroyed", "a \xE9t\xE9 d\xE9truit", "zerst\xF6rt"}},
    {1, {"exploded", "a explos\xE9", "explodiert"}},
    {1, {"docked with", "est amarr\xE9 au", "gedockt mit"}},
    {1, {"undocked", "est d\xE9samarr\xE9", "abgekoppelt"}},
    {1, {"crashed", "s'est \xE9"
                    "cras\xE9",
         "abgest\xFCrzt"}},
    {2, {"fired LDSI missile", "a lanc\xE9 un missile LDSI", "hat LDS-Blockier-Rakete"}},
    {2, {"communicated", "est entr\xE9 en communication", "hat mitgeteilt"}},
    {2, {"activated LDS", "a activ\xE9 LDS", "hat LDS eingeschaltet"}},
    {2, {"de-activated LDS", "a d\xE9sactiv\xE9 LDS", "hat LDS ausgeschaltet"}},
};

void EnsureInitialised()
{
    if (!gShipLog.initialised)
        InitShipLog();
}

// Copies the line into the pool; null when it and its zero do not fit.
const char* Store(const char* line, int32_t length)
{
    ShipLog& log = gShipLog;
    if (log.poolUsed + length + 1 > kShipLogPoolSize)
        return nullptr;
    char* at = log.pool + log.poolUsed;
    std::memcpy(at, line, static_cast<size_t>(length) + 1);
    log.poolUsed += length + 1;
    return at;
}

const char* LineAt(int16_t index, uint8_t* isEvent)
{
    if (index < 0 || index >= gShipLog.count)
        return nullptr;
    const ShipLogEntry& entry = gShipLog.entries[index];
    if (isEvent)
        *isEvent = entry.event;
    return entry.line;
}

} // namespace

void InitShipLog()
{
    ShipLog& log = gShipLog;
    log.initialised = 1;
    log.count = 0;
    log.cursor = kShipLogCursorUnset;
    log.dumpCount = 0;
    log.poolUsed = 0;
}

void ResetShipLog()
{
    gShipLog.count = 0;
    gShipLog.cursor = kShipLogCursorUnset;
    gShipLog.dumpCount = 0;
    gShipLog.poolUsed = 0;
}

const char* ShipLogKindName(int16_t kind)
{
    if (kind < 0 || kind >= kShipLogKinds)
        return nullptr;
    return kKinds[kind].names[gSettings.language < kLanguages ? gSettings.language : 0];
}

void AddShipLogEntry(int16_t kind, const char* subject, const char* text)
{
    ShipLog& log = gShipLog;
    const char* name = ShipLogKindName(kind);
    if (log.off || !name || log.detail < kKinds[kind].level)
        return;
    EnsureInitialised();
    if (log.count >= kShipLogEntries)
        return;
    const int32_t time = static_cast<int32_t>(gFrameClock.gameClock);
    ShipLogEntry& entry = log.entries[log.count];
    entry.kind = kind;
    entry.time = time;
    entry.subject = subject ? subject : " ";
    entry.text = text ? text : " ";
    entry.event = 0;
    char line[512];
    const int32_t minutes = time / 6000;
    const int32_t seconds = time / 100 % 60;
    const int written =
        text ? std::snprintf(line, sizeof line, "%i:%02i %s %s %s", minutes, seconds, entry.subject, name, text)
             : std::snprintf(line, sizeof line, "%i:%02i %s %s", minutes, seconds, entry.subject, name);
    entry.line = Store(line, std::min<int32_t>(written, sizeof line - 1));
    if (entry.line) {
        entry.event = 1;
        guiDisplayMessage(entry.line, kMessageLineTicks);
    }
    ++log.count;
    ++log.dumpCount;
}

void AddShipLogText(int32_t time, const char* text)
{
    ShipLog& log = gShipLog;
    if (log.off || !text)
        return;
    EnsureInitialised();
    char prefix[32];
    const int prefixLength = std::snprintf(prefix, sizeof prefix, "%i:%02i ", time / 6000, time / 100 % 60);
    const size_t textLength = std::strlen(text);
    if (log.count >= kShipLogEntries || log.poolUsed + prefixLength + textLength + 1 > kShipLogPoolSize) {
        guiAddMessageLogText(text, 0);
        return;
    }
    char* at = log.pool + log.poolUsed;
    std::memcpy(at, prefix, static_cast<size_t>(prefixLength));
    std::memcpy(at + prefixLength, text, textLength + 1);
    log.poolUsed += prefixLength + static_cast<int32_t>(textLength) + 1;
    log.entries[log.count] = ShipLogEntry{kShipLogFreeText, time, at, " ", at + prefixLength, 0};
    guiAddMessageLogText(at, 0);
    ++log.count;
    ++log.dumpCount;
}

const char* ShipLogPrevious(uint8_t* isEvent)
{
    ShipLog& log = gShipLog;
    const int16_t from = log.cursor == kShipLogCursorUnset ? log.count : log.cursor;
    log.cursor = static_cast<int16_t>(std::max(from - 1, 0));
    return LineAt(log.cursor, isEvent);
}

const char* ShipLogNext(uint8_t* isEvent)
{
    ShipLog& log = gShipLog;
    const int16_t next = log.cursor == kShipLogCursorUnset ? log.count : static_cast<int16_t>(log.cursor + 1);
    log.cursor = std::min(next, log.count);
    return LineAt(log.cursor, isEvent);
}

void ShipLogUnsetCursor()
{
    gShipLog.cursor = kShipLogCursorUnset;
}

void DumpShipLog()
{
    std::FILE* page = HtmlOpenPage(kDumpFile, "TEST", "Log file test");
    if (!page)
        return;
    const int16_t entries = std::min(gShipLog.dumpCount, gShipLog.count);
    for (int16_t i = 0; i < entries; ++i)
        if (gShipLog.entries[i].line)
            HtmlWriteLine(page, gShipLog.entries[i].line);
    HtmlClosePage(page);
}
