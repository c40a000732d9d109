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
#include "screens/frontend.h"
#include "system/datalocation.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "ui/dialogue.h"
#include "view/lwoloader.h"
#include "view/viewstart.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/universe.h"

#include <cstring>
#include <string>

const char* gTextTable[kTextTableEntries] = {};
int16_t gKeyMap[kKeyMapLayers][kKeyMapScanCodes] = {};
int16_t gFlightKeyCodes[2] = {57, 54};
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
        symbol->type = type;
        if (type == kSymbolSceneItem)
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

void Engineering(uint32_t&)
{
    gSettings.engineering = static_cast<uint8_t>(~gSettings.engineering);
}

void Genesis(uint32_t&)
{
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

void Gamma(uint32_t& position)
{
    gDisplayGamma = ReadNumberOperand(position);
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

void BindKeyThr(uint32_t& position)
{
    gFlightKeyCodes[0] = ScriptNumberToInt16(ReadNumberOperand(position));
    gFlightKeyCodes[1] = ScriptNumberToInt16(ReadNumberOperand(position));
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
    {kw::STRING, String},
    {kw::ENGINEERING, Engineering},
    {kw::GENESIS, Genesis},
    {kw::SETVID, SetVid},
    {kw::FULLSCREEN, FullScreen},
    {kw::SETPALETTE, SetPalette},
    {kw::GAMMA, Gamma},
    {kw::COPY_SCN, CopyScn},
    {kw::ABSOLUTE, Absolute},
    {kw::RELATIVE, Relative},
    {kw::PASSIVE, Passive},
    {kw::PERMANENT, Permanent},
    {kw::SIM_PRIORITY, SimPriority},
    {kw::LOD_SWAP, LodSwap},
    {kw::CONSOLE, Console},
    {kw::PLAYVIDEO, PlayVideo},
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
