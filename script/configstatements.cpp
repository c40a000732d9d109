// The resource, definition and configuration statements: symbol
// declarations, resource registration and loading, the text table, the
// video mode and palette, key bindings, options, language, folders, gamma,
// level of detail and the placement-mode words.
//
// Indices that come from data (text-table entries, scan codes, key layers)
// are checked: a number out of range is a syntax error, never a write
// outside the tables.
#include "script/configstatements.h"

#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "screens/bridge.h"
#include "screens/frontend.h"
#include "system/canvas.h"
#include "system/datalocation.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/fontmaker.h"
#include "system/frameclock.h"
#include "system/res/font.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/text.h"
#include "ui/dialogue.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/colourtables.h"
#include "view/lwoloader.h"
#include "view/viewstart.h"
#include "world/playerinput.h"
#include "world/records.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/universe.h"

#include <cstring>
#include <string>

const char* gTextTable[kTextTableEntries] = {};
int16_t gKeyMap[kKeyMapLayers][kKeyMapScanCodes] = {};
const PaletteEntry* gCurrentPalette = nullptr;
const uint8_t* gCurrentColourMap = nullptr;

int SetVideoMode(const PaletteEntry* palette, int16_t width, int16_t height)
{
    gScreenMode.width = width;
    gScreenMode.height = height;
    gScreenMode.depth = 8;
    // The windowed and framework back ends take a palette only once open.
    if (gDisplayDriver == &kWindowDisplay || gDisplayDriver == &kFrameworkDisplay) {
        const int opened = DisplayOpen(gScreenMode);
        DisplayInitPalette(palette);
        return opened;
    }
    DisplayInitPalette(palette);
    return DisplayOpen(gScreenMode);
}

namespace {

constexpr int32_t kStopBadVideoMode = 7;
constexpr int16_t kPermanentItemFlag = 0x10;
constexpr int32_t kFilmStartDelay = 10;

// The resource record a "res" operand names, or null when the symbol holds
// no resource yet (a new symbol, a number).
Resource* ReadResourceOperand(uint32_t& position)
{
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolResource);
    if (!symbol->value || SymbolHoldsValueBytes(symbol) || (symbol->type & kSymbolSceneItem))
        return nullptr;
    return static_cast<Resource*>(symbol->value);
}

const void* ResourceData(Resource* record)
{
    return record ? ResGet(record) : nullptr;
}

// The definition statements: symbols up to the line end take a type.
bool AtLineEnd(uint32_t position)
{
    const uint32_t id = ScriptTokenAt(position).id;
    return id == kw::LINE || id == kw::END;
}

void Declare(uint32_t& position, uint32_t type)
{
    while (!AtLineEnd(position)) {
        ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolAnyType);
        // An object's value is its handle: a symbol that becomes an object,
        // or stops being one, starts with no value (a handle taken for a
        // record or for value bytes would be followed).
        const bool heldHandle = (symbol->type & kSymbolSceneItem) != 0;
        symbol->type = type;
        if (type == kSymbolSceneItem || heldHandle)
            symbol->value = nullptr;
    }
}

void DeclareModel(uint32_t& position) { Declare(position, kSymbolModel); }
void Declare3dPart(uint32_t& position) { Declare(position, kSymbol3dPart); }
void DeclareVar(uint32_t& position) { Declare(position, kSymbolNumber); }
void DeclareWindow(uint32_t& position) { Declare(position, kSymbolWindow); }
void DeclareResource(uint32_t& position) { Declare(position, kSymbolResource); }
void DeclareOrderName(uint32_t& position) { Declare(position, kSymbolOrderName); }
void Declare2dModel(uint32_t& position) { Declare(position, kSymbol2dModel); }

void DeclareSceneItem(uint32_t& position)
{
    Declare(position, kSymbolSceneItem);
    CheckSceneListIntegrity();
}

// DEFINE symbol data [symbol data ...]
void Define(uint32_t& position)
{
    while (!AtLineEnd(position)) {
        ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolAnyType);
        const ScriptToken& data = ScriptTokenAt(position);
        if (data.id != kw::DATA)
            FailStatement(kStopBadSymbol, "Bad SYMBOL Reference", position);
        ++position;
        symbol->value = const_cast<char*>(ScriptDataText(data.value));
        symbol->type = kSymbolData;
    }
}

// The conversion type of a method keyword (ids 2-20), or -1.
int32_t ReadMethod(uint32_t& position)
{
    const int32_t method = ReadOptionalKeyword(position, kw::LBM2PALETTE, kw::WAV2SND);
    return method < 0 ? -1 : method + static_cast<int32_t>(kw::LBM2PALETTE) - 1;
}

void GiveResource(ScriptSymbol* symbol, Resource* record)
{
    symbol->value = record;
    if (symbol->type == 0)
        symbol->type = kSymbolResource;
    if (gBuiltinSymbols.lastResource)
        gBuiltinSymbols.lastResource->value = record;
}

// REGISTER symbol "name" method
void Register(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolAnyType);
    const char* name = ReadTextOperand(position);
    const int32_t type = ReadMethod(position);
    if (type < 0)
        FailStatement(kStopBadStatement, "REGISTER Unrecognized METHOD", position);
    Resource* record = ResLoadNamed(name, static_cast<ResType>(type));
    ConsolePrint(("RESMAN - Register: " + std::string(name)).c_str());
    GiveResource(symbol, record);
}

// A resource name with the language's text folder; null for a name too
// long to be a resource.
bool LanguageName(const char* name, bool substitute, char (&out)[kResNameSize])
{
    if (std::strlen(name) >= kResNameSize)
        return false;
    std::strcpy(out, name);
    if (substitute && (gSettings.language == 1 || gSettings.language == 2))
        ReplaceTextFolder(out, gSettings.language == 1 ? "frn_" : "ger_");
    return true;
}

// REGLOAD symbol "name" method
void RegLoad(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolAnyType);
    const char* text = ReadTextOperand(position);
    const int32_t type = ReadMethod(position);
    if (type < 0)
        FailStatement(kStopBadStatement, "REGLOAD Unrecognized METHOD", position);
    char name[kResNameSize];
    Resource* record = nullptr;
    if (LanguageName(text, type == static_cast<int32_t>(ResType::Text), name))
        record = ResRegisterLoad(name, static_cast<ResType>(type));
    GiveResource(symbol, record);
    if (record && type == static_cast<int32_t>(ResType::Text)) {
        const auto* data = static_cast<const char*>(record->data);
        if (data && data[0] == '<')
            StartConversation(record, nullptr, nullptr, nullptr);
    }
}

void Load(uint32_t& position)
{
    ResGet(ReadResourceOperand(position));
}

void Unload(uint32_t& position)
{
    if (Resource* record = ReadResourceOperand(position))
        ResDropData(record);
}

void Lock(uint32_t& position)
{
    if (Resource* record = ReadResourceOperand(position))
        ResSetModelFlag(record);
}

void Unlock(uint32_t& position)
{
    if (Resource* record = ReadResourceOperand(position))
        ResClearModelFlag(record);
}

// LOADMAP "name" "file"
void LoadMap(uint32_t& position)
{
    const char* name = ReadTextOperand(position);
    const char* file = ReadTextOperand(position);
    LoadTexturePixelmap(name, file);
}

// STRING n "name" method
void String(uint32_t& position)
{
    const uint32_t start = position;
    const double number = ReadNumberOperand(position);
    const char* text = ReadTextOperand(position);
    const int32_t type = ReadMethod(position);
    if (type < 0)
        FailStatement(kStopBadStatement, "REGLOAD Unrecognized METHOD", position);
    if (!(number >= 0.0 && number < kTextTableEntries))
        FailStatement(kStopBadSymbol, "STRING number out of range", start);
    char name[kResNameSize];
    Resource* record = nullptr;
    if (LanguageName(text, true, name))
        record = ResRegisterLoad(name, static_cast<ResType>(type));
    gTextTable[static_cast<int>(number)] = record ? static_cast<const char*>(record->data) : nullptr;
}

// GRABRAST dst src x y w h [ON|OFF]: a new picture of w x h cut from the
// source picture at (x, y); unless OFF, with the transparent-run list of
// colour 0 behind its pixels. The block has room for the run list of any
// picture of that size, so building it never fails for lack of space.
void GrabRast(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolAnyType);
    Resource* source = ReadResourceOperand(position);
    const int16_t x = ScriptNumberToInt16(ReadNumberOperand(position));
    const int16_t y = ScriptNumberToInt16(ReadNumberOperand(position));
    const int16_t width = ScriptNumberToInt16(ReadNumberOperand(position));
    const int16_t height = ScriptNumberToInt16(ReadNumberOperand(position));
    const bool withRuns = ReadOptionalKeyword(position, kw::ON, kw::OFF) != 1;
    const auto* picture = static_cast<const Raster*>(ResourceData(source));
    if (!picture || !picture->pixels || width <= 0 || height <= 0)
        return;
    const std::size_t pixelBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // A run list needs at most a count and one pair for every two pixels
    // of a row, plus its header.
    const std::size_t runBytes = withRuns ? pixelBytes * 3 + static_cast<std::size_t>(height) * 4 + 64 : 0;
    const std::size_t runOffset = (pixelBytes + 7) & ~std::size_t{7}; // the run header holds a pointer
    Resource* record = ResAllocSized(0, static_cast<int32_t>(sizeof(Raster) + runOffset + runBytes));
    if (!record)
        return;
    auto* grabbed = static_cast<Raster*>(record->data);
    grabbed->pixels = reinterpret_cast<uint8_t*>(grabbed + 1);
    grabbed->width = width;
    grabbed->height = height;
    const Canvas canvas{picture->pixels, picture->width, picture->height};
    CanvasGrab(*grabbed, canvas, x, y);
    if (withRuns)
        SpriteBuildRuns(*grabbed, std::span<uint8_t>(grabbed->pixels + runOffset, runBytes), 0);
    GiveResource(target, record);
}

// SAVERAST res "file"
void SaveRast(uint32_t& position)
{
    const auto* picture = static_cast<const Raster*>(ResourceData(ReadResourceOperand(position)));
    const char* file = ReadTextOperand(position);
    if (picture && picture->pixels)
        CanvasSavePcx(Canvas{picture->pixels, picture->width, picture->height}, file);
}

// MAPFNT font palette inverse-table red green blue
void MapFnt(uint32_t& position)
{
    auto* font = static_cast<RasterFont*>(ResGet(ReadResourceOperand(position)));
    const auto* palette = static_cast<const PaletteEntry*>(ResourceData(ReadResourceOperand(position)));
    const auto* inverse = static_cast<const uint8_t*>(ResourceData(ReadResourceOperand(position)));
    const int32_t red = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t green = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t blue = ScriptNumberToInt(ReadNumberOperand(position));
    if (font && palette && inverse)
        FontRecolour(font, palette, inverse, red, green, blue);
}

// CHOOSEFNT res ON|OFF [n] [n]: the resource's data becomes a font made from
// the font maker's choice, at half size (ON) or full size (OFF); a cancelled
// choice leaves the resource as it was.
void ChooseFnt(uint32_t& position)
{
    Resource* record = ReadResourceOperand(position);
    const int32_t off = ReadKeywordOperand(position, kw::ON, kw::OFF);
    const int16_t extraAdvance = ScriptNumberToInt16(ReadOptionalNumber(position));
    const int16_t extraLineHeight = ScriptNumberToInt16(ReadOptionalNumber(position));
    RasterFont* font = off ? BuildFontGrey(extraAdvance, extraLineHeight) : BuildFontHalf(extraAdvance, extraLineHeight);
    if (record && font)
        record->data = font;
}

// SAVEFNT res "file"
void SaveFnt(uint32_t& position)
{
    const auto* font = static_cast<const RasterFont*>(ResourceData(ReadResourceOperand(position)));
    const char* file = ReadTextOperand(position);
    if (font)
        FontSave(file, font);
}

void Engineering(uint32_t&)
{
    gSettings.engineering = static_cast<uint8_t>(~gSettings.engineering);
}

void Genesis(uint32_t&)
{
    gCrashCount = 0; // IMPACTS_GT counts from the new universe
    CreateUniverse();
}

// SETVID palette colourmap width height
void SetVid(uint32_t& position)
{
    const uint32_t start = position;
    Resource* palette = ReadResourceOperand(position);
    Resource* colourMap = ReadResourceOperand(position);
    const int16_t width = ScriptNumberToInt16(ReadNumberOperand(position));
    const int16_t height = ScriptNumberToInt16(ReadNumberOperand(position));
    gCurrentPalette = static_cast<const PaletteEntry*>(ResourceData(palette));
    gCurrentColourMap = static_cast<const uint8_t*>(ResourceData(colourMap));
    if (width <= 0 || height <= 0 || !SetVideoMode(gCurrentPalette, width, height))
        FailStatement(kStopBadVideoMode, "Could not set requested video mode", start);
}

void FullScreen(uint32_t&)
{
    UseFullScreenDisplay();
}

void SetPalette(uint32_t& position)
{
    gCurrentPalette = static_cast<const PaletteEntry*>(ResourceData(ReadResourceOperand(position)));
    DisplaySetPalette(gCurrentPalette);
}

// TRANSTAB tables palette: the translucency tables (16 ramps x 16 levels x
// 256 colours) are built in the first resource's block, a colour map of
// exactly their size, from the second's palette, and become the blend
// tables of the glow spots and translucent triangles. Nothing happens
// without both data, or when the first block is smaller than the tables.
void TransTab(uint32_t& position)
{
    Resource* tables = ReadResourceOperand(position);
    const auto* palette = static_cast<const uint8_t*>(ResourceData(ReadResourceOperand(position)));
    auto* block = static_cast<uint8_t*>(tables ? ResGet(tables) : nullptr);
    if (!block || !palette || tables->size < static_cast<int32_t>(kBlendTablesSize))
        return;
    BuildTranslucencyTables(block, palette);
    gGlowTables.blend = block;
}

void Gamma(uint32_t& position)
{
    gDisplayGamma = ReadNumberOperand(position);
}

// WINHELP window n: the interface text that a click on the window shows on
// the message line. A window symbol that holds no window yet takes nothing.
void WinHelp(uint32_t& position)
{
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolWindow);
    const int16_t number = ScriptNumberToInt16(ReadNumberOperand(position));
    if (symbol->value && !SymbolHoldsValueBytes(symbol) && !(symbol->type & kSymbolSceneItem))
        static_cast<WindowHandle*>(symbol->value)->messageText = number;
}

// COPY_SCN object object
void CopyScn(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolSceneItem);
    const ScriptSymbol* source = ReadTypedSymbol(position, kSymbolSceneItem);
    SetSymbolObjectHandle(target, SymbolObjectHandle(source));
}

void Absolute(uint32_t&)
{
    gInterpreter.placementMode = 255;
}

void Relative(uint32_t& position)
{
    gInterpreter.placementMode = 0;
    if (SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem)))
        gInterpreter.relativeOrigin = item;
}

void Passive(uint32_t& position)
{
    if (SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem)))
        MoveSceneItemToTailGroup(item);
}

// PERMANENT object ON|OFF
void Permanent(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t off = ReadKeywordOperand(position, kw::ON, kw::OFF);
    if (!item)
        return;
    if (off)
        item->flags = static_cast<int16_t>(item->flags & ~kPermanentItemFlag);
    else
        item->flags = static_cast<int16_t>(item->flags | kPermanentItemFlag);
}

void SimPriority(uint32_t& position)
{
    if (SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem)))
        MoveSceneItemToFront(item);
}

// LOD_SWAP n n [n]
void LodSwap(uint32_t& position)
{
    gLodThresholds[0] = ReadNumberOperand(position);
    gLodThresholds[1] = ReadNumberOperand(position);
    gLodThresholds[2] = ReadOptionalNumber(position);
}

void Console(uint32_t&)
{
    gSettings.console = static_cast<uint8_t>(~gSettings.console);
}

// PLAYVIDEO "film" | res
void PlayVideo(uint32_t& position)
{
    const char* film = nullptr;
    if (IsTextOperand(position)) {
        film = ReadTextOperand(position);
    } else if (Resource* record = ReadResourceOperand(position)) {
        film = record->name;
    }
    SoundPauseAll();
    if (film && PlayFilm(film)) {
        gLoopFlags.startupDelay = kFilmStartDelay;
        gLoopFlags.filmMode = 1;
        gInterpreter.stopCode = kStopWaiting;
        return;
    }
    gLoopFlags.filmMode = 0;
    SoundResumeAll();
}

// BRIEFING [n]: takes one frame to yield, then goes to the command station
// and asks for the briefing (started by the per-frame triggers when the
// mission declares it).
bool gBriefingYielded = false;

void Briefing(uint32_t& position)
{
    gScriptMission.briefingNumber = ScriptNumberToInt(ReadOptionalNumber(position));
    if (gSettings.noBrief)
        return;
    if (!gBriefingYielded) {
        gBriefingYielded = true;
        position = gInterpreter.statementStart;
        gInterpreter.stopCode = kStopWaiting;
        return;
    }
    gBriefingYielded = false;
    const int32_t number = gScriptMission.briefingNumber;
    if (number >= 0 && number < kMaxBriefings && gBriefings.declare[number] != kNoScriptPosition) {
        guiGotoScreen("COM");
        CurrentStation = 1;
        gScriptMission.briefingRequested = 255;
    }
    gInterpreter.stopCode = kStopWaiting;
}

// PLAYAVI "film": the screen is cleared and shown before the film window
// plays over it; film mode runs while a film opened.
void PlayAvi(uint32_t& position)
{
    const char* film = ReadTextOperand(position);
    const Canvas screen = ScreenCanvas();
    if (screen.pixels) {
        CanvasClear(screen, 0);
        DisplayPresent(gScreenMode);
        DisplayLock(gScreenMode);
    }
    guiRequestFullRedraw();
    if (PlayMciFilm(film))
        gLoopFlags.filmMode = 1;
}

void RootDir(uint32_t& position)
{
    SetDataDirectory(ReadTextOperand(position));
}

void VideoDir(uint32_t& position)
{
    gVideoFolder = ReadTextOperand(position);
}

void DialogueDir(uint32_t& position)
{
    gSpeechFolder = ReadTextOperand(position);
}

// INIT_VAR "name" n
void InitVar(uint32_t& position)
{
    const char* name = ReadTextOperand(position);
    SetOptionValue(name, ReadNumberOperand(position));
}

// BINDKEY scancode command [layer]
void BindKey(uint32_t& position)
{
    const uint32_t start = position;
    const int32_t scanCode = ScriptNumberToInt(ReadNumberOperand(position));
    const int16_t command = ScriptNumberToInt16(ReadNumberOperand(position));
    const int32_t layer = ScriptNumberToInt(ReadOptionalNumber(position));
    if (scanCode < 0 || scanCode >= kKeyMapScanCodes || layer < 0 || layer >= kKeyMapLayers)
        FailStatement(kStopBadSymbol, "BINDKEY key or layer out of range", start);
    gKeyMap[layer][scanCode] = command;
}

// The forward and reverse thrust keys of the flight input.
void BindKeyThr(uint32_t& position)
{
    const uint32_t start = position;
    const int32_t forward = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t reverse = ScriptNumberToInt(ReadNumberOperand(position));
    for (int32_t code : {forward, reverse})
        if (code < 0 || code >= kKeyMapScanCodes)
            FailStatement(kStopBadSymbol, "BINDKEYTHR key out of range", start);
    gFlightKeys[kKeyForward] = static_cast<uint8_t>(forward);
    gFlightKeys[kKeyReverse] = static_cast<uint8_t>(reverse);
}

void English(uint32_t&) { gSettings.language = 0; }
void French(uint32_t&) { gSettings.language = 1; }
void German(uint32_t&) { gSettings.language = 2; }

constexpr StatementRow kConfigRows[] = {
    {kw::MODEL, DeclareModel},
    {kw::SCENEITEM, DeclareSceneItem},
    {kw::K_3DP, Declare3dPart},
    {kw::VAR, DeclareVar},
    {kw::WINDOW, DeclareWindow},
    {kw::RESOURCE, DeclareResource},
    {kw::DEFINE, Define},
    {kw::ORDERNAME, DeclareOrderName},
    {kw::K_2DMODEL, Declare2dModel},
    {kw::REGISTER, Register},
    {kw::LOAD, Load},
    {kw::UNLOAD, Unload},
    {kw::LOCK, Lock},
    {kw::UNLOCK, Unlock},
    {kw::REGLOAD, RegLoad},
    {kw::LOADMAP, LoadMap},
    {kw::GRABRAST, GrabRast},
    {kw::SAVERAST, SaveRast},
    {kw::STRING, String},
    {kw::MAPFNT, MapFnt},
    {kw::CHOOSEFNT, ChooseFnt},
    {kw::SAVEFNT, SaveFnt},
    {kw::ENGINEERING, Engineering},
    {kw::GENESIS, Genesis},
    {kw::SETVID, SetVid},
    {kw::FULLSCREEN, FullScreen},
    {kw::SETPALETTE, SetPalette},
    {kw::TRANSTAB, TransTab},
    {kw::GAMMA, Gamma},
    {kw::WINHELP, WinHelp},
    {kw::COPY_SCN, CopyScn},
    {kw::ABSOLUTE, Absolute},
    {kw::RELATIVE, Relative},
    {kw::PASSIVE, Passive},
    {kw::PERMANENT, Permanent},
    {kw::SIM_PRIORITY, SimPriority},
    {kw::LOD_SWAP, LodSwap},
    {kw::CONSOLE, Console},
    {kw::BRIEFING, Briefing},
    {kw::PLAYVIDEO, PlayVideo},
    {kw::PLAYAVI, PlayAvi},
    {kw::ROOTDIR, RootDir},
    {kw::VIDEODIR, VideoDir},
    {kw::DIALOGUEDIR, DialogueDir},
    {kw::INIT_VAR, InitVar},
    {kw::BINDKEY, BindKey},
    {kw::BINDKEYTHR, BindKeyThr},
    {kw::ENGLISH, English},
    {kw::FRENCH, French},
    {kw::GERMAN, German},
};

} // namespace

std::span<const StatementRow> ConfigStatementRows()
{
    return kConfigRows;
}
