// The dialogue statements DIALOGUE and MONOLOGUE (one and the same
// statement): a dialogue text played into the message log with its speech,
// or a conversation with the ships it names (ui/dialogue.h).
//
// In flight the statement costs the script one frame: it plays, sets the
// dialogue-yield flag and waits on itself; run again, it finds the flag,
// clears it and passes over its line. Inside a briefing it waits instead
// until the previous line has been typed and its speech has run out, or
// the briefing's skip request asks for the next line at once.
#include "screens/bridge.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "ui/dialogue.h"
#include "ui/messagelog.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

// Dialogue is off: the "nodialogue" switch, the player's ship lost, or the
// player's item holding the mission script.
bool DialogueSilenced()
{
    if (gSettings.noDialogue || gPlayerShipLost)
        return true;
    return gPlayerItem && gPlayerItem->avatar && (gPlayerItem->avatar->classFlags & kClassSuspendsScript);
}

// The previous briefing line is typed and spoken.
bool BriefingLineDone()
{
    return gMessageLogTypingPosition == gMessageLogTextLength && gSpeechCountdown <= 0;
}

// The text symbol's resource; null for a symbol that holds none.
Resource* ReadDialogueText(uint32_t& position)
{
    return SymbolResource(ReadTypedSymbol(position, kSymbolResource));
}

// Inside a briefing: the line plays once the previous one is done (or the
// skip request hurries it); meanwhile the speech countdown runs down.
void BriefingDialogue(uint32_t& position)
{
    if (gScriptMission.briefingSections[kBriefingSkip] || BriefingLineDone()) {
        if (Resource* text = ReadDialogueText(position))
            PlayDialogue(text, nullptr, nullptr, nullptr);
        return;
    }
    WaitHere(position);
    if (gSpeechCountdown > 0)
        gSpeechCountdown -= gFrameClock.frameTicks;
}

// In flight: reads the text and the optional symbols (a number symbol is
// the conversation's number variable, any other the object it is held
// with; the last of each wins), plays, and yields one frame when it did.
void FlightDialogue(uint32_t& position)
{
    Resource* text = ReadDialogueText(position);
    int32_t* variable = nullptr;
    SceneItem* object = nullptr;
    bool objectMissing = false;
    while (ScriptSymbol* symbol = ReadOptionalSymbol(position)) {
        if (symbol->type == kSymbolNumber) {
            variable = static_cast<int32_t*>(symbol->value);
            continue;
        }
        object = SymbolObject(symbol);
        if (!object)
            objectMissing = true;
    }
    if (objectMissing || !text)
        return;
    // A conversation asks for the comms arm; the station's arm comes out
    // for it (screens/bridge.h).
    if (!PlayDialogue(text, variable, object, object))
        return;
    gScriptMission.dialogueYield = 255;
    WaitHere(position);
}

// Resumed after the yield: the rest of the line is passed over.
void PassOverLine(uint32_t& position)
{
    const ScriptToken* end = FindLineEndMarker(position);
    position = end ? static_cast<uint32_t>(end - gScriptBuffers.tokens) : position;
    gScriptMission.dialogueYield = 0;
}

// DIALOGUE text [symbol ...] / MONOLOGUE text [symbol ...]
void Dialogue(uint32_t& position)
{
    if (DialogueSilenced())
        return;
    if (gScriptMission.briefingActive)
        BriefingDialogue(position);
    else if (gScriptMission.dialogueYield)
        PassOverLine(position);
    else
        FlightDialogue(position);
}

constexpr StatementRow kDialogueRows[] = {
    {kw::DIALOGUE, Dialogue},
    {kw::MONOLOGUE, Dialogue},
};

} // namespace

std::span<const StatementRow> DialogueStatementRows()
{
    return kDialogueRows;
}
