// The front end's data: the career files (the machine-wide state file and
// one career per captain slot), the mission table and the two mission lists
// built from it, the mission launch and its result, and the player options
// with their labels, the ratings and the option lines of "Kelvandrist.ini".
// The front-end screens that show these, the debrief texts (debrief.cpp)
// and the bridge screens are not here; the front-end screens themselves are
// in frontscreens.cpp. InitScreensAndIcons registers the bridge's and the
// front end's screens (screens/bridge.cpp holds the bridge's).
#include "screens/frontend.h"

#include "platform/files.h"
#include "screens/bridge.h"
#include "screens/frontscreens.h"
#include "screens/objectives.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/scriptbase.h"
#include "script/scriptfiles.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/calltrace.h"
#include "system/crand.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/res/bytes.h"
#include "system/res/resman.h"
#include "system/res/slab.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/text.h"
#include "system/palette.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/skyandlights.h"
#include "view/viewstart.h"
#include "world/playerinput.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

uint8_t gFrontEndActive = 0;
uint8_t gStartMissionRequest = 0;

StateFileRecord StateRecord = {};
CareerRecord CaptainSlot = {};
MissionRecord MissionTable[kMissionCount] = {};
MissionList gAvailableList = {.vertical = 255};
MissionList gCompletedList = {.vertical = 0};
FrontEndSelection gFrontEnd;
const RasterFont* gMissionListFont = nullptr;
void (*gStartFlightHook)() = nullptr;

void InitScreensAndIcons()
{
    CurrentStation = kStationOverview;
    LoadBridgeIcons();
    RegisterBridgeScreens();
}

namespace {

// The front end's palette, looked up once, and the game's palette that was
// current when the front end first took over: a flight gets it back.
struct FrontEndPalette {
    bool looked;
    const PaletteEntry* entries;
    const PaletteEntry* game;
};
FrontEndPalette gFrontEndPalette = {};

} // namespace

void LoadFrontEndPalette()
{
    gStartMissionRequest = 0;
    guiClearScreenBuffers();
    if (!gFrontEndPalette.looked) {
        gFrontEndPalette.looked = true;
        const ScriptSymbol* symbol = FindScriptSymbol("FRNPalette");
        if (symbol && symbol->value && (symbol->type & kSymbolResource) && !SymbolHoldsValueBytes(symbol)) {
            auto* resource = static_cast<Resource*>(symbol->value);
            if (resource->type == ResType::PcxPalette || resource->type == ResType::LbmPalette)
                if (auto* palette = static_cast<GamePalette*>(ResGet(resource)))
                    gFrontEndPalette.entries = palette->entries;
        }
    }
    if (!gFrontEndPalette.game && gCurrentPalette != gFrontEndPalette.entries)
        gFrontEndPalette.game = gCurrentPalette;
    if (!gFrontEndPalette.entries)
        return;
    gCurrentPalette = gFrontEndPalette.entries;
    DisplaySetPalette(gFrontEndPalette.entries);
}

void LeaveFrontEndPalette()
{
    if (!gFrontEndPalette.game || gCurrentPalette != gFrontEndPalette.entries)
        return;
    gCurrentPalette = gFrontEndPalette.game;
    DisplaySetPalette(gFrontEndPalette.game);
}

void ReturnToFrontEnd()
{
    if (gFrontScreens.current == kFrontAction) {
        guiGotoScreen("FrontHome");
        gFrontScreens.requested = kFrontActionToHome;
    } else {
        guiGotoScreen("FrontTime");
    }
}

// --- Career files -----------------------------------------------------------

namespace {

constexpr const char* kStateFile = "zqk\\state.inf";
constexpr const char* kCaptainFileFormat = "zqk\\slot%01i.sav";
constexpr const char* kUnknownCaptain = "Unknown Captain";
// Neither file is ever near this; anything larger is not ours.
constexpr std::size_t kCareerFileLimit = 1 << 16;

// Writes little-endian fields one after another.
struct FieldWriter {
    uint8_t* out;
    std::size_t at = 0;
    void I16(int16_t v)
    {
        res::PutU16LE(out + at, static_cast<uint16_t>(v));
        at += 2;
    }
    void I32(int32_t v)
    {
        res::PutU32LE(out + at, static_cast<uint32_t>(v));
        at += 4;
    }
    void Bytes(const void* data, std::size_t size)
    {
        std::memcpy(out + at, data, size);
        at += size;
    }
    void I16s(const int16_t* v)
    {
        for (int i = 0; i < kMissionCount; ++i)
            I16(v[i]);
    }
    void I32s(const int32_t* v)
    {
        for (int i = 0; i < kMissionCount; ++i)
            I32(v[i]);
    }
};

// Reads the same fields into a record; a field that the bytes end before
// keeps the value it had, so a short file keeps the values of a new one.
struct FieldReader {
    const uint8_t* bytes;
    std::size_t size;
    std::size_t at = 0;
    bool Has(std::size_t width) const { return at + width <= size; }
    void I16(int16_t& v)
    {
        if (Has(2))
            v = res::GetI16LE(bytes + at);
        at += 2;
    }
    void I32(int32_t& v)
    {
        if (Has(4))
            v = static_cast<int32_t>(res::GetU32LE(bytes + at));
        at += 4;
    }
    void Bytes(void* data, std::size_t width)
    {
        if (at < size)
            std::memcpy(data, bytes + at, std::min(width, size - at));
        at += width;
    }
    void I16s(int16_t* v)
    {
        for (int i = 0; i < kMissionCount; ++i)
            I16(v[i]);
    }
    void I32s(int32_t* v)
    {
        for (int i = 0; i < kMissionCount; ++i)
            I32(v[i]);
    }
};

// The state of a new file: nothing flown, every best time the default
// (Instant Action's, the highest one, 0), so any flight can beat them.
StateFileRecord NewStateRecord()
{
    StateFileRecord record{};
    for (int i = 0; i < kMissionCount; ++i)
        record.bestTime[i] = i == kInstantActionIndex ? 0 : kDefaultBestTime;
    return record;
}

int16_t ClampI16(int32_t v, int32_t low, int32_t high)
{
    return static_cast<int16_t>(std::clamp(v, low, high));
}

std::string CaptainFileName()
{
    char name[32];
    std::snprintf(name, sizeof name, kCaptainFileFormat, std::clamp<int>(StateRecord.currentSlot, 0, kCaptainSlots - 1));
    return name;
}

} // namespace

void EncodeStateFile(const StateFileRecord& r, uint8_t out[kStateFileSize])
{
    FieldWriter w{out};
    for (int16_t v : {r.currentSlot, r.launchedMission, r.reservedA, r.reservedB, r.inFlight, r.outcome, r.success,
                      r.score, r.reservedC, r.fullScreen})
        w.I16(v);
    w.I32s(r.bestScore);
    w.I32s(r.bestTime);
}

void DecodeStateFile(const uint8_t* bytes, std::size_t size, StateFileRecord& r)
{
    r = NewStateRecord();
    FieldReader in{bytes, size};
    for (int16_t* field : {&r.currentSlot, &r.launchedMission, &r.reservedA, &r.reservedB, &r.inFlight, &r.outcome,
                           &r.success, &r.score, &r.reservedC, &r.fullScreen})
        in.I16(*field);
    in.I32s(r.bestScore);
    in.I32s(r.bestTime);
    r.currentSlot = ClampI16(r.currentSlot, 0, kCaptainSlots - 1);
}

void EncodeCaptainFile(const CareerRecord& r, uint8_t out[kCaptainFileSize])
{
    FieldWriter w{out};
    w.Bytes(r.name, kCaptainNameSize);
    w.I16(r.reserved0);
    w.I32(r.reserved1);
    w.I32(r.totalScore);
    w.I32(r.reserved2);
    w.I16(r.completedCount);
    for (const int16_t* array : {r.missionState, r.outcome, r.reserved3, r.reserved4, r.completionOrder})
        w.I16s(array);
    w.I32s(r.missionScore);
    w.I32s(r.missionTime);
}

void DecodeCaptainFile(const uint8_t* bytes, std::size_t size, CareerRecord& r)
{
    r = CareerRecord{};
    FieldReader in{bytes, size};
    in.Bytes(r.name, kCaptainNameSize);
    in.I16(r.reserved0);
    in.I32(r.reserved1);
    in.I32(r.totalScore);
    in.I32(r.reserved2);
    in.I16(r.completedCount);
    for (int16_t* array : {r.missionState, r.outcome, r.reserved3, r.reserved4, r.completionOrder})
        in.I16s(array);
    in.I32s(r.missionScore);
    in.I32s(r.missionTime);
    r.name[kCaptainNameSize - 1] = 0;
    r.completedCount = ClampI16(r.completedCount, 0, kMissionCount);
    for (int16_t& index : r.completionOrder)
        index = ClampI16(index, 0, kMissionCount - 1);
}

namespace {

// The career files that cannot be saved, each with what the player is told
// about it; the notice is the latest one's. A file that exists but could not
// be read is kept: it may hold a career that this run cannot see, so no save
// replaces it until the player starts anew in its place (or a later read
// finds it readable or gone).
struct CareerFileTrouble {
    std::string file;
    std::string notice;
    bool kept; // unread: never written over
};
struct CareerSaveFailures {
    std::vector<CareerFileTrouble> files;
    bool shown = false; // a notice is on the screen
};
CareerSaveFailures gSaveFailures;

std::vector<CareerFileTrouble>::iterator FindTrouble(const std::string& file)
{
    auto& files = gSaveFailures.files;
    return std::find_if(files.begin(), files.end(), [&file](const CareerFileTrouble& f) { return f.file == file; });
}

// Records the file's notice; one that is new for the file is named in a
// line on standard error.
void TellCareerTrouble(const std::string& file, std::string notice, bool kept)
{
    const auto known = FindTrouble(file);
    if (known != gSaveFailures.files.end()) {
        if (known->notice == notice)
            return;
        gSaveFailures.files.erase(known);
    }
    DebugPrint(("Kelvandrist: " + notice + "\n").c_str());
    gSaveFailures.files.push_back({file, std::move(notice), kept});
}

// Ends the keeping of a file (the notice with it).
void ReleaseKeptFile(const std::string& file)
{
    const auto known = FindTrouble(file);
    if (known != gSaveFailures.files.end() && known->kept)
        gSaveFailures.files.erase(known);
}

// Writes a career file, unless it is kept. A failure that is new for the
// file (or has a new cause) is named in a line on standard error; a success
// ends the file's notice.
bool SaveCareerFile(const char* file, const uint8_t* bytes, std::size_t size)
{
    const auto known = FindTrouble(file);
    if (known != gSaveFailures.files.end() && known->kept)
        return false;
    errno = 0;
    if (platform::WriteFileAtomically(file, bytes, size)) {
        if (known != gSaveFailures.files.end())
            gSaveFailures.files.erase(known);
        return true;
    }
    TellCareerTrouble(file,
                      std::string("Progress not saved: ") + file + ": " +
                          (errno ? std::strerror(errno) : "cannot be written"),
                      false);
    return false;
}

// Reads a career file whole; false when it is missing or cannot be read.
// One that exists but cannot be read is kept (see CareerFileTrouble): its
// notice names it, why, and then `consequence`, what becomes of the file.
bool ReadCareerFile(const char* file, std::vector<uint8_t>& bytes, const char* consequence)
{
    if (platform::ReadWholeFile(file, bytes, kCareerFileLimit)) {
        ReleaseKeptFile(file);
        return true;
    }
    const std::string why = platform::DataFileFailure();
    if (why == platform::kDataFileNotFound)
        ReleaseKeptFile(file);
    else
        TellCareerTrouble(file, std::string("Career not read: ") + file + ": " + why + "; " + consequence, true);
    return false;
}

} // namespace

const char* CareerSaveNotice()
{
    return gSaveFailures.files.empty() ? "" : gSaveFailures.files.back().notice.c_str();
}

void DrawCareerSaveNotice(const Canvas& screen)
{
    constexpr uint8_t kNoticeColour = 255;
    const char* notice = CareerSaveNotice();
    if (!*notice) {
        // The screen's own pictures come back where the notice stood.
        if (gSaveFailures.shown)
            gWindows.fullRedrawRequest = 1;
        gSaveFailures.shown = false;
        return;
    }
    if (!screen.pixels || !gFontB)
        return;
    // One line of the font on black, its pen line 4 pixels above the foot.
    const int16_t top = static_cast<int16_t>(screen.height - gFontB->height - 6);
    const ClipRect strip = {0, top, static_cast<int16_t>(screen.rowLength - 1), static_cast<int16_t>(screen.height - 1)};
    CanvasFillRectClipped(screen, 0, strip, strip.left, strip.top, strip.right, strip.bottom);
    int16_t x = 4;
    int16_t y = static_cast<int16_t>(screen.height - 4);
    CanvasDrawText(screen, x, y, notice, gFontB, kNoticeColour, strip);
    gSaveFailures.shown = true;
}

bool WriteStateFile()
{
    uint8_t bytes[kStateFileSize];
    EncodeStateFile(StateRecord, bytes);
    return SaveCareerFile(kStateFile, bytes, sizeof bytes);
}

void ResetStateFile()
{
    StateRecord = NewStateRecord();
    WriteStateFile();
}

bool ReadStateFile()
{
    std::vector<uint8_t> bytes;
    if (!ReadCareerFile(kStateFile, bytes, "kept as it is this run")) {
        ResetStateFile();
        return false;
    }
    DecodeStateFile(bytes.data(), bytes.size(), StateRecord);
    return true;
}

bool WriteCaptainSlot()
{
    uint8_t bytes[kCaptainFileSize];
    EncodeCaptainFile(CaptainSlot, bytes);
    return SaveCareerFile(CaptainFileName().c_str(), bytes, sizeof bytes);
}

void ResetCaptainSlot()
{
    char name[kCaptainNameSize];
    std::memcpy(name, CaptainSlot.name, sizeof name);
    CaptainSlot = CareerRecord{};
    std::memcpy(CaptainSlot.name, name, sizeof name);
    CaptainSlot.name[kCaptainNameSize - 1] = 0;
    WriteCaptainSlot();
}

bool ReadCaptainSlot()
{
    std::vector<uint8_t> bytes;
    if (!ReadCareerFile(CaptainFileName().c_str(), bytes, "kept until a captain is named")) {
        CaptainSlot = CareerRecord{};
        std::snprintf(CaptainSlot.name, sizeof CaptainSlot.name, "%s", kUnknownCaptain);
        ResetCaptainSlot();
        return false;
    }
    DecodeCaptainFile(bytes.data(), bytes.size(), CaptainSlot);
    return true;
}

bool CaptainHasDefaultName()
{
    return std::strcmp(CaptainSlot.name, kUnknownCaptain) == 0;
}

void ClaimCaptainSlot()
{
    ReleaseKeptFile(CaptainFileName());
}

void StepCaptainSlot(int32_t step)
{
    WriteCaptainSlot();
    const int32_t slot = (StateRecord.currentSlot + step % kCaptainSlots + kCaptainSlots) % kCaptainSlots;
    StateRecord.currentSlot = static_cast<int16_t>(slot);
    ReadCaptainSlot();
    RebuildMissionLists();
}

// --- Mission table ------------------------------------------------------------

namespace {

constexpr const char* kMissionTableFile = "zqk\\resource\\scripts\\precedence.csv";
constexpr const char* kMissionScriptFormat = "zqk\\resource\\scripts\\missions\\mission%02i.scr";
constexpr std::size_t kMissionTableLimit = 1 << 20;
constexpr int kHeaderFields = 13;
constexpr int kTitleFields = 3;
constexpr std::size_t kFieldBufferSize = 256; // longer fields are cut
constexpr int16_t kEntryWidth = 120;
constexpr int16_t kEntryExtraHeight = 30;
constexpr const char* kEntrySampleText = "WITH EXTREME PREJUDICE";
constexpr int16_t kListMargin = 10;

// Reads comma-separated fields of text; quotes are dropped wherever they
// stand.
struct CsvCursor {
    const char* text;
    std::size_t size;
    std::size_t at = 0;
    char field[kFieldBufferSize] = {};
    bool endedLine = false; // the last field ended at a newline or the end

    const char* Next()
    {
        std::size_t length = 0;
        endedLine = true;
        while (at < size) {
            const char c = text[at++];
            if (c == ',') {
                endedLine = false;
                break;
            }
            if (c == '\n')
                break;
            if (c != '"' && length + 1 < sizeof field)
                field[length++] = c;
        }
        field[length] = 0;
        return field;
    }
    // An integer field as "%i" scans it (base from its prefix); empty is 0.
    int32_t NextInt()
    {
        const long v = std::strtol(Next(), nullptr, 0);
        return static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
    }
    int16_t NextShort() { return ClampI16(NextInt(), INT16_MIN, INT16_MAX); }
    void SkipLine()
    {
        while (at < size && text[at++] != '\n') {
        }
        endedLine = true;
    }
};

bool IsCompleted(int32_t index)
{
    return index >= 0 && index < kMissionCount && CaptainSlot.missionState[index] != 0;
}

int16_t OutcomeOf(int32_t index)
{
    return index >= 0 && index < kMissionCount ? CaptainSlot.outcome[index] : 0;
}

// Whether the table index may be flown now.
bool IsAvailable(int32_t index)
{
    const MissionRecord& r = MissionTable[index];
    if (IsCompleted(index) || (r.prerequisite != 0 && !IsCompleted(r.prerequisite)))
        return false;
    if (r.branchMission != 0 && OutcomeOf(r.branchMission) != r.requiredOutcome)
        return false;
    // Past the gate mission the early missions and the extras close.
    if (IsCompleted(kGateMissionIndex) && (index < kGateMissionIndex || index >= kExtraMissionNumber))
        return false;
    return true;
}

void AddEntry(MissionList& list, int32_t index, int16_t kind)
{
    const MissionRecord& r = MissionTable[index];
    MissionListEntry& e = list.entries[list.count++];
    e = MissionListEntry{};
    e.mission = &r;
    e.kind = kind;
    e.width = kEntryWidth;
    e.height = static_cast<int16_t>(TextWrapHeight(kEntrySampleText, gMissionListFont, kEntryWidth) + kEntryExtraHeight);
    e.maxScore = r.maxScore;
    e.time = CaptainSlot.missionTime[index];
    if (kind != 0)
        e.score = CaptainSlot.missionScore[index];
}

void LayOutList(MissionList& list)
{
    int16_t x = kListMargin, y = kListMargin;
    list.contentWidth = list.contentHeight = 0;
    list.selected = -1;
    for (int i = 0; i < list.count; ++i) {
        MissionListEntry& e = list.entries[i];
        e.left = x;
        e.top = y;
        e.right = static_cast<int16_t>(x + e.width);
        e.bottom = static_cast<int16_t>(y + e.height);
        if (list.vertical)
            y = static_cast<int16_t>(e.bottom + kListMargin);
        else
            x = static_cast<int16_t>(e.right + kListMargin);
        list.contentWidth = std::max<int16_t>(list.contentWidth, static_cast<int16_t>(e.right + kListMargin));
        list.contentHeight = std::max<int16_t>(list.contentHeight, static_cast<int16_t>(e.bottom + kListMargin));
        if (list.selected < 0 && e.mission->index == gFrontEnd.selectedMission)
            list.selected = static_cast<int16_t>(i);
    }
    list.scrollX = list.scrollY = 0;
    const int shown = list.selected >= 0 ? list.selected : list.count - 1;
    if (shown >= 0) {
        if (list.vertical)
            list.scrollY = list.entries[shown].top;
        else
            list.scrollX = list.entries[shown].left;
    }
    if (list.selected >= 0 && list.entries[list.selected].kind == 0) {
        gFrontEnd.currentEntry = &list.entries[list.selected];
        gFrontEnd.selectedMission = gFrontEnd.currentEntry->mission->index;
        CheckMissionScript();
    }
}

} // namespace

int32_t ParseMissionTable(const char* text, std::size_t size)
{
    for (MissionRecord& r : MissionTable) {
        r = MissionRecord{};
        r.prerequisite = -1;
    }
    CsvCursor csv{text, size};
    for (int i = 0; i < kHeaderFields; ++i)
        csv.Next();
    const int language = gSettings.language <= 2 ? gSettings.language : 0;
    int32_t stored = 0;
    for (;;) {
        MissionRecord r{};
        const int32_t index = csv.NextInt();
        r.index = ClampI16(index, INT16_MIN, INT16_MAX);
        r.missionNumber = csv.NextShort();
        for (int title = 0; title < kTitleFields; ++title) {
            const char* field = csv.Next();
            if (title == language) { // cut to the record's title
                const size_t length = std::min(std::strlen(field), sizeof r.title - 1);
                std::memcpy(r.title, field, length);
                r.title[length] = 0;
            }
        }
        csv.Next(); // a column nothing reads
        r.prerequisite = csv.NextShort();
        r.branchMission = csv.NextShort();
        r.requiredOutcome = csv.NextShort();
        r.spare = csv.NextShort();
        r.maxScore = csv.NextInt();
        r.scoreCap = csv.NextInt();
        if (r.missionNumber == 0)
            break;
        // The rest of the row; a row whose last field ended it has none.
        if (!csv.endedLine)
            csv.SkipLine();
        if (index < 0 || index >= kMissionCount)
            continue;
        MissionTable[index] = r;
        ++stored;
    }
    return stored;
}

bool ReadMissionTable()
{
    std::string text;
    // Without the table the front end lists no missions; a table cut short
    // still lists the rows it holds whole.
    const bool read = platform::ReadWholeFile(kMissionTableFile, text, kMissionTableLimit);
    if (!read)
        ReportDataFileFailure(kMissionTableFile, platform::DataFileFailure());
    else
        CheckTextFileWhole(kMissionTableFile, text);
    ParseMissionTable(text.data(), text.size());
    return read;
}

int32_t MissionIndexOfNumber(int32_t missionNumber)
{
    for (const MissionRecord& r : MissionTable)
        if (r.missionNumber > 0 && r.missionNumber == missionNumber)
            return r.index;
    return missionNumber;
}

int32_t MissionNumberAtIndex(int32_t index)
{
    if (index >= 0 && index < kMissionCount && MissionTable[index].missionNumber > 0)
        return MissionTable[index].missionNumber;
    return index;
}

const char* MissionEntryDebrief(MissionListEntry& entry)
{
    if (entry.kind == 0 || !entry.mission)
        return nullptr;
    if (!entry.debriefLoaded) {
        entry.debriefLoaded = 255;
        // The debrief of the outcome this captain reached.
        const int16_t index = entry.mission->index;
        if (entry.mission->missionNumber > 0 && index >= 0 && index < kMissionCount)
            entry.debriefText = LoadDebriefText(entry.mission->missionNumber, CaptainSlot.outcome[index]);
    }
    return entry.debriefText;
}

void FreeMissionLists()
{
    for (MissionList* list : {&gAvailableList, &gCompletedList}) {
        for (int i = 0; i < list->count; ++i)
            std::free(list->entries[i].debriefText);
        list->count = 0;
        list->selected = -1;
    }
    gFrontEnd.currentEntry = nullptr;
}

void RebuildMissionLists()
{
    FreeMissionLists();
    gFrontEnd.availableCount = 0;
    gFrontEnd.selectedMission = 1;
    bool firstFound = false;
    for (int i = 0; i < kMissionCount; ++i) {
        if (MissionTable[i].missionNumber <= 0 || !IsAvailable(i))
            continue;
        gFrontEnd.available[gFrontEnd.availableCount++] = static_cast<int16_t>(i);
        AddEntry(gAvailableList, i, 0);
        if (!firstFound)
            gFrontEnd.selectedMission = static_cast<int16_t>(i);
        firstFound = true;
    }
    // Only the used positions of the completion order count.
    for (int p = 0; p < CaptainSlot.completedCount && p < kMissionCount; ++p) {
        const int16_t index = CaptainSlot.completionOrder[p];
        if (IsCompleted(index))
            AddEntry(gCompletedList, index, MissionTable[index].missionNumber >= kExtraMissionNumber ? 2 : 1);
    }
    gFrontEnd.currentEntry = nullptr;
    LayOutList(gAvailableList);
    LayOutList(gCompletedList);
}

// --- Launch and result -------------------------------------------------------

namespace {

constexpr const char* kStockScript = "zqk\\resource\\scripts\\init\\stock.scr";
constexpr const char* kDiscOneProbe = "kqz\\resource\\video\\m01_3.smk";
constexpr const char* kDiscTwoProbe = "kqz\\resource\\video\\m41_2.smk";
constexpr int32_t kFirstDiscTwoMission = 20;
constexpr int16_t kComStation = 1;
constexpr const char* kEntryFilm = "entry.smk";

std::string MissionScriptName(int32_t index)
{
    char name[64];
    std::snprintf(name, sizeof name, kMissionScriptFormat, MissionNumberAtIndex(index));
    return name;
}

// Compiles a script and runs it from its first token; false when it does
// not open.
bool RunScriptNamed(const char* name, uint32_t* position)
{
    ScriptToken* start = TokeniseScript(name);
    if (!start)
        return false;
    *position = static_cast<uint32_t>(start - gScriptBuffers.tokens);
    RunScript(position, false);
    return true;
}

// Load-test mode: the next table index that holds a mission, from the
// cycling position; the position moves one on.
int16_t NextLoadTestMission()
{
    for (int step = 0; step < kMissionCount; ++step) {
        const int index = (gFrontEnd.loadTestPosition + step) % kMissionCount;
        if (MissionTable[index].missionNumber > 0) {
            gFrontEnd.loadTestPosition = static_cast<int16_t>((index + 1) % kMissionCount);
            return static_cast<int16_t>(index);
        }
    }
    return gFrontEnd.selectedMission;
}

int16_t SaturateI16(int32_t v)
{
    return ClampI16(v, INT16_MIN, INT16_MAX);
}

int16_t SelectedIndex()
{
    return static_cast<int16_t>(std::clamp<int>(gFrontEnd.selectedMission, 0, kMissionCount - 1));
}

} // namespace

void CheckMissionScript()
{
    uint32_t size = 0;
    std::FILE* file = SlabOpen("scripts", MissionScriptName(SelectedIndex()).c_str(), &size);
    gFrontEnd.missionScriptPresent = file ? 255 : 0;
    if (file)
        std::fclose(file);
}

void ChooseMissionDisc(int32_t missionNumber)
{
    const bool firstDisc = missionNumber < kFirstDiscTwoMission || missionNumber >= kExtraMissionNumber;
    gFrontEnd.disc = firstDisc ? 1 : 2;
    if (ResFileExists(MakeFilmPath(firstDisc ? kDiscOneProbe : kDiscTwoProbe)))
        gStartMissionRequest = 255;
    else
        guiGotoScreen("InsertCD");
}

void StartMission(int32_t)
{
    CheckMissionScript();
    // A mission that cannot be flown is named and the front end stays.
    const std::string selected = MissionScriptName(SelectedIndex());
    if (const char* failure = ScriptFileFailure(selected.c_str())) {
        ReportDataFileFailure(ScriptFilePath(selected.c_str()).c_str(), failure);
        return;
    }
    DrawLoadingNote();
    DisplayPresent(gScreenMode);

    const MissionRecord& launched = MissionTable[SelectedIndex()];
    StateRecord.launchedMission = SelectedIndex();
    StateRecord.reservedA = 0;
    StateRecord.reservedC = 0;
    StateRecord.fullScreen = gSettings.fullScreen;
    gMissionMaxScore = launched.scoreCap;
    WriteStateFile();

    InitializeP3D();
    uint32_t stockPosition = kNoScriptPosition;
    if (!RunScriptNamed(kStockScript, &stockPosition))
        ReportScriptIfNotFound(kStockScript);

    if (gSettings.loadTest)
        gFrontEnd.selectedMission = NextLoadTestMission();
    const int16_t index = SelectedIndex();
    const std::string script = MissionScriptName(index);

    guiGotoScreen("COM");
    CurrentStation = kComStation;
    char caption[128];
    std::snprintf(caption, sizeof caption, "Vorn - Mission %i - %s", index, MissionTable[index].title);
    SetMainWindowCaption(caption);

    gScriptVars.missionNumber = index;
    gInterpreter.waitCountdown = 0;
    LeaveFrontEndPalette();
    RunMissionScriptStep([&] {
        if (!RunScriptNamed(script.c_str(), &gMissionScriptPosition))
            gMissionScriptPosition = kNoScriptPosition;
    });
    if (gStartFlightHook)
        gStartFlightHook();
    // The flight is under way: the simulation runs from the next frame.
    gFrontEndActive = 0;

    if (PlayFilm(kEntryFilm))
        gLoopFlags.filmMode = 255;
}

void RunMissionScriptStep(const std::function<void()>& step)
{
    if (!gSettings.missionName.empty() && !gSettings.noCommandLineMission) {
        step();
        return;
    }
    bool erred = true;
    RunForgivingScriptErrors([&] {
        step();
        erred = false;
        return true;
    });
    if (erred) {
        gMissionScriptPosition = kNoScriptPosition;
        gLoopFlags.endOfMissionRequest = 255;
    }
}

int32_t EnterCommandLineMission(int32_t missionNumber)
{
    ReadMissionTable();
    const int32_t index = MissionIndexOfNumber(missionNumber);
    gScriptVars.missionNumber = index;
    char caption[128];
    const bool hasRow = missionNumber > 0 && index >= 0 && index < kMissionCount &&
                        MissionTable[index].missionNumber == missionNumber;
    StateRecord.launchedMission = static_cast<int16_t>(index);
    if (hasRow) {
        std::snprintf(caption, sizeof caption, "Vorn - Mission %i - %s", index, MissionTable[index].title);
    } else {
        std::snprintf(caption, sizeof caption, "Vorn - Mission %i", index);
    }
    SetMainWindowCaption(caption);
    return index;
}

void RecordMissionResult()
{
    const int16_t index = static_cast<int16_t>(std::clamp<int>(StateRecord.launchedMission, 0, kMissionCount - 1));
    const bool won = gMissionResult.succeeded != 0;
    const int32_t score = gMissionResult.score;
    StateRecord.outcome = gMissionResult.outcome;
    StateRecord.success = won ? 1 : 0;
    StateRecord.score = SaturateI16(score);

    // A mission the table does not list (a command-line script of its own)
    // leaves the career as it is.
    const int16_t mode = MissionTable[index].missionNumber > 0 ? gFrontEnd.launchMode : int16_t{kLaunchReplay};
    // A mission flown again after a restart is completed already: it keeps
    // its one place in the order and its new score replaces the old one.
    const bool completedBefore = CaptainSlot.missionState[index] != 0;
    if (won && mode == kLaunchNew && !completedBefore && CaptainSlot.completedCount < kMissionCount) {
        CaptainSlot.missionState[index] = -1;
        CaptainSlot.completionOrder[CaptainSlot.completedCount++] = index;
    }
    if (won && (mode == kLaunchNew || mode == kLaunchExtra)) {
        CaptainSlot.totalScore += score;
        if (mode == kLaunchExtra || completedBefore)
            CaptainSlot.totalScore -= CaptainSlot.missionScore[index];
        CaptainSlot.missionScore[index] = score;
        CaptainSlot.outcome[index] = gMissionResult.outcome;
        if (score > StateRecord.bestScore[index]) {
            StateRecord.bestScore[index] = score;
            StateRecord.bestScoreHolder[index] = StateRecord.currentSlot;
        }
        const int32_t time = gScriptVars.missionClock;
        CaptainSlot.missionTime[index] = time;
        const bool better = index == kInstantActionIndex ? time > StateRecord.bestTime[index]
                                                         : time < StateRecord.bestTime[index];
        if (better) {
            StateRecord.bestTime[index] = time;
            StateRecord.bestTimeHolder[index] = StateRecord.currentSlot;
        }
    }
    WriteCaptainSlot();
    RebuildMissionLists();
}

void RestartFromMission()
{
    const int16_t index = SelectedIndex();
    const int count = std::min<int>(CaptainSlot.completedCount, kMissionCount);
    for (int p = 0; p < count; ++p) {
        if (CaptainSlot.completionOrder[p] != index)
            continue;
        // The missions completed after it are flown again: their scores
        // leave the total, which is the sum of the completed ones.
        for (int later = p + 1; later < count; ++later) {
            const int16_t cleared = CaptainSlot.completionOrder[later];
            CaptainSlot.totalScore -= CaptainSlot.missionScore[cleared];
            CaptainSlot.missionState[cleared] = 0;
            CaptainSlot.missionScore[cleared] = 0;
            CaptainSlot.completionOrder[later] = 0;
        }
        CaptainSlot.completedCount = static_cast<int16_t>(p + 1);
        break;
    }
    gFrontEnd.launchMode = kLaunchNew;
    ChooseMissionDisc(MissionNumberAtIndex(index));
}

namespace {

// Marks the mission completed with outcome 1 and a random score in tens
// below its maximum, counted in the total and the best scores; a mission
// already marked is only unmarked.
void DevToggleCompleted(int16_t index)
{
    if (CaptainSlot.missionState[index] != 0) {
        CaptainSlot.missionState[index] = 0;
        return;
    }
    CaptainSlot.missionState[index] = -1;
    CaptainSlot.outcome[index] = 1;
    const int32_t steps = std::max(MissionTable[index].maxScore / 10, 1);
    const int32_t score = CRand() % steps * 10;
    CaptainSlot.missionScore[index] = score;
    if (CaptainSlot.completedCount < kMissionCount)
        CaptainSlot.completionOrder[CaptainSlot.completedCount++] = index;
    CaptainSlot.totalScore += score;
    if (score > StateRecord.bestScore[index]) {
        StateRecord.bestScore[index] = score;
        StateRecord.bestScoreHolder[index] = StateRecord.currentSlot;
    }
}

} // namespace

void DevCompleteAllMissions()
{
    ResetCaptainSlot();
    for (int16_t i = 0; i < kMissionCount; ++i)
        if (MissionTable[i].missionNumber > 0)
            DevToggleCompleted(i);
    RebuildMissionLists();
}

void DevCompleteSelectedMission()
{
    DevToggleCompleted(SelectedIndex());
    RebuildMissionLists();
}

void DevToggleSelectedOutcome()
{
    int16_t& outcome = CaptainSlot.outcome[SelectedIndex()];
    outcome = outcome == 1 ? 2 : 1;
    RebuildMissionLists();
}

// --- Options and ratings -------------------------------------------------------

namespace {

constexpr const char* kRatingsFile = "zqk\\resource\\text\\ratings.txt";
// The option labels in each language; a language without its own file
// takes the English one.
constexpr const char* kLabelsFile = "zqk\\resource\\text\\docs\\initTable.txt";
constexpr const char* kLanguageLabelsFiles[3] = {kLabelsFile, "zqk\\resource\\text\\docs\\initTable_frn.txt",
                                                 "zqk\\resource\\text\\docs\\initTable_ger.txt"};
constexpr std::size_t kTextFileLimit = 1 << 20;

void ApplyGamma(const GameOption& o)
{
    gDisplayGamma = o.value;
    DisplaySetPalette(gCurrentPalette);
}
void ApplyNebula(const GameOption& o)
{
    gNebulaOn = o.value != 0 ? 255 : 0;
}
void ApplyWeaponLight(const GameOption& o)
{
    gOptionFlags.weaponLight = o.value != 0 ? 255 : 0;
}
void ApplyStillDialogue(const GameOption& o)
{
    gOptionFlags.dialogueAnimation = o.value == 0 ? 255 : 0;
}
// The detail distances fall as the slider rises: 20^(2 - value) / 20.
void ApplyShipDetail(const GameOption& o)
{
    const float f = std::pow(20.0f, 2.0f - o.value) / 20.0f;
    gOptionFlags.detailNear = 10.0f * f;
    gOptionFlags.detailFar = 24.0f * f;
}
void ApplyPlanetFilter(const GameOption& o)
{
    gOptionFlags.planetFilter = o.value != 0 ? 255 : 0;
}
void ApplyWeaponFrame(const GameOption& o)
{
    gOptionFlags.weaponFrame = o.value != 0 ? 255 : 0;
}
void ApplyControlMethod(const GameOption& o)
{
    if (o.value == 0 || o.value == 1)
        gOptionFlags.controlMethod = static_cast<int32_t>(o.value);
}
void ApplyJoystickAxis(const GameOption& o)
{
    gOptionFlags.joystickAxis = o.value != 0 ? 1 : 0;
}
// The switch's first value is the contact list's hat, its second the look.
void ApplyJoystickHat(const GameOption& o)
{
    constexpr uint8_t kHatModes[] = {kHatContacts, kHatLook, kHatStrafe};
    const int v = static_cast<int>(o.value);
    if (v >= 0 && v <= 2)
        gPlayerInput.hatMode = kHatModes[v];
}
void ApplySoundLevel(const GameOption& o)
{
    gSoundMasterVolume = o.value;
}
void ApplyCollisions(const GameOption& o)
{
    gOptionFlags.collisionsOff = o.value == 0 ? 255 : 0;
}

bool gRatingsRead = false;
bool gLabelsRead = false;

// Cuts a text into a fixed field.
void CopyCut(char* to, std::size_t size, const char* from, std::size_t length)
{
    const std::size_t n = std::min(length, size - 1);
    std::memcpy(to, from, n);
    to[n] = 0;
}

} // namespace

OptionFlags gOptionFlags;
Rating gRatings[kMaxRatings] = {};
int32_t gRatingCount = 0;

// name, kind, value, minimum, maximum, apply, default (the built-in value
// until the labels are read).
GameOption gGameOptions[] = {
    {"gamma", kOptionSlider, 1.0f, 0.5f, 2.0f, ApplyGamma, 1.0f, 0, {}, {}},
    {"nebula", kOptionSwitch, 1, 0, 1, ApplyNebula, 1, 0, {}, {}},
    {"weapon_light", kOptionSwitch, 1, 0, 1, ApplyWeaponLight, 1, 0, {}, {}},
    {"still_dialogue", kOptionSwitch, 1, 0, 1, ApplyStillDialogue, 1, 0, {}, {}},
    {"ship_detail", kOptionSlider, 1.0f, 0.5f, 1.5f, ApplyShipDetail, 1.0f, 0, {}, {}},
    {"planet_filter", kOptionSwitch, 1, 0, 1, ApplyPlanetFilter, 1, 0, {}, {}},
    {"weaponframe", kOptionSwitch, 1, 0, 1, ApplyWeaponFrame, 1, 0, {}, {}},
    {"control_method", kOptionSwitch, 0, 0, 1, ApplyControlMethod, 0, 0, {}, {}},
    {"joystick_axis", kOptionSwitch, 0, 0, 1, ApplyJoystickAxis, 0, 0, {}, {}},
    {"joystick_hat", kOptionSwitch, 0, 0, 2, ApplyJoystickHat, 0, 0, {}, {}},
    {"sound_onoff", kOptionSwitch, 1, 0, 1, nullptr, 1, 0, {}, {}},
    {"sound_level", kOptionSlider, 100, 0, 100, ApplySoundLevel, 100, 0, {}, {}},
    {"write_dialogue", kOptionSwitch, 1, 0, 1, nullptr, 1, 0, {}, {}},
    {"collisions", kOptionSwitch, 0, 0, 1, ApplyCollisions, 0, 0, {}, {}},
    {nullptr, 0, 0, 0, 0, nullptr, 0, 0, {}, {}},
};

int32_t ParseRatings(const char* text, std::size_t size)
{
    gRatingCount = 0;
    std::string copy(text, size); // terminated for strtol
    const char* p = copy.c_str();
    const char* end = p + copy.size();
    auto skipBlanks = [&] {
        while (p < end && std::isspace(static_cast<unsigned char>(*p)))
            ++p;
    };
    while (gRatingCount < kMaxRatings) {
        skipBlanks();
        char* after = nullptr;
        const long threshold = std::strtol(p, &after, 0);
        if (after == p || threshold == -1)
            break;
        p = after;
        skipBlanks();
        const char* word = p;
        while (p < end && *p && !std::isspace(static_cast<unsigned char>(*p)))
            ++p;
        if (p == word)
            break;
        Rating& r = gRatings[gRatingCount++];
        r.threshold = static_cast<int32_t>(std::clamp<long>(threshold, INT32_MIN, INT32_MAX));
        CopyCut(r.name, sizeof r.name, word, static_cast<std::size_t>(p - word));
    }
    return gRatingCount;
}

void ParseOptionLabels(const char* text, std::size_t size)
{
    GameOption* option = nullptr;
    bool nameNext = false;
    int stringsTaken = 0; // label, then the value labels
    for (std::size_t at = 0; at < size; ++at) {
        if (text[at] == '<') {
            nameNext = true;
            continue;
        }
        if (text[at] != '"')
            continue;
        const std::size_t start = at + 1;
        const char* close = static_cast<const char*>(std::memchr(text + start, '"', size - start));
        const std::size_t length = (close ? static_cast<std::size_t>(close - text) : size) - start;
        at = start + length;
        const std::string_view quoted(text + start, length);
        if (nameNext) {
            nameNext = false;
            option = nullptr;
            stringsTaken = 0;
            for (GameOption* o = gGameOptions; o->name; ++o)
                if (quoted == o->name)
                    option = o;
            continue;
        }
        if (!option || stringsTaken > kOptionValueLabels)
            continue;
        if (stringsTaken == 0)
            CopyCut(option->label, sizeof option->label, quoted.data(), quoted.size());
        else
            CopyCut(option->valueLabels[stringsTaken - 1], kOptionValueLabelSize, quoted.data(), quoted.size());
        ++stringsTaken;
    }
}

void ReadOptionTable()
{
    if (!gRatingsRead) {
        gRatingsRead = true;
        // Without the ratings a captain has no rank; without the labels the
        // options show their names. Either read whole or not at all.
        uint32_t size = 0;
        std::FILE* file = SlabOpen("text", kRatingsFile, &size);
        if (!file) {
            ReportDataFileFailure(kRatingsFile, platform::DataFileFailure());
        } else if (size > kTextFileLimit) {
            ReportDataFileFailure(kRatingsFile, "larger than the size allowed");
        } else {
            std::string text(size, '\0');
            text.resize(std::fread(text.data(), 1, text.size(), file));
            if (CheckTextFileWhole(kRatingsFile, text))
                ParseRatings(text.data(), text.size());
        }
        if (file)
            std::fclose(file);
    }
    if (gLabelsRead)
        return;
    gLabelsRead = true;
    std::string text;
    const char* labels = kLanguageLabelsFiles[gSettings.language <= 2 ? gSettings.language : 0];
    if (!platform::DataFileExists(labels))
        labels = kLabelsFile;
    if (!platform::ReadWholeFile(labels, text, kTextFileLimit)) {
        ReportDataFileFailure(labels, platform::DataFileFailure());
        return;
    }
    if (!CheckTextFileWhole(labels, text))
        return;
    ParseOptionLabels(text.data(), text.size());
    for (GameOption* o = gGameOptions; o->name; ++o)
        o->defaultValue = o->value;
}

void SetOptionValue(const char* name, float value)
{
    ReadOptionTable();
    for (GameOption* o = gGameOptions; o->name; ++o) {
        if (!name || std::strcmp(o->name, name) != 0)
            continue;
        o->value = std::clamp(value, o->minimum, o->maximum);
        if (o->apply)
            o->apply(*o);
    }
}

namespace {

// An INIT_VAR line of an option of the table: the lines the rewrite owns.
// Any other line, an INIT_VAR of a setting the table does not hold among
// them, is the player's and is kept.
bool SetsAnOption(std::string_view line)
{
    const std::size_t word = line.find("INIT_VAR");
    if (word == std::string_view::npos)
        return false;
    const std::size_t open = line.find('"', word);
    const std::size_t close = open == std::string_view::npos ? open : line.find('"', open + 1);
    if (close == std::string_view::npos)
        return false;
    const std::string_view name = line.substr(open + 1, close - open - 1);
    for (const GameOption* o = gGameOptions; o->name; ++o)
        if (name == o->name)
            return true;
    return false;
}

} // namespace

std::string RewriteOptionsText(std::string_view text)
{
    std::string out;
    for (const GameOption* o = gGameOptions; o->name; ++o) {
        if (o->value == o->defaultValue)
            continue;
        char number[32];
        // %g, whatever the locale.
        const auto result = std::to_chars(number, number + sizeof number, static_cast<double>(o->value),
                                          std::chars_format::general, 6);
        out += "\t\tINIT_VAR\t\"";
        out += o->name;
        out += "\",";
        out.append(number, result.ptr);
        out += "\n";
    }
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t newline = text.find('\n', at);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        const std::string_view line = text.substr(at, end - at);
        if (!SetsAnOption(line))
            out += line;
        at = end;
    }
    return out;
}

bool SaveOptions(const char* fileName)
{
    std::string text;
    bool saved = fileName && platform::ReadWholeFile(fileName, text, kTextFileLimit);
    if (saved) {
        const std::string out = RewriteOptionsText(text);
        saved = platform::WriteFileAtomically(fileName, out.data(), out.size());
    }
    if (!saved)
        DebugMessageBox("Cannot Save Options", "Error in Front.c");
    return saved;
}

void RestoreDefaultOptions()
{
    for (GameOption* o = gGameOptions; o->name; ++o) {
        o->value = o->defaultValue;
        if (o->apply)
            o->apply(*o);
    }
}

void StepOptionSwitch(GameOption& option)
{
    if (option.kind == kOptionSwitch) {
        option.value += 1;
        if (option.value > option.maximum)
            option.value = option.minimum;
    }
    if (option.apply)
        option.apply(option);
}

const char* RatingForScore(int32_t totalScore)
{
    if (gRatingCount == 0)
        return "";
    const char* name = gRatings[0].name;
    for (int i = 0; i < gRatingCount && gRatings[i].threshold <= totalScore; ++i)
        name = gRatings[i].name;
    return name;
}
