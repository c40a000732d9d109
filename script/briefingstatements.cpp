// The briefing statements BRF_DECLARE, BRF_BEGIN, BRF_SECT, BRF_VIDEO,
// BRF_PAUSE, BRF_WAITTEXT, BRF_WAITVIDEO and BRF_END that pace a mission
// briefing: numbered sections of dialogue, speech, film and pauses, played
// on the command screen, and the player's forward, back, hold and leave
// requests (gScriptMission.briefingSections); and ResetPresentationState,
// which ends a running briefing from outside.
//
// A statement that waits puts the cursor back on itself and stops the run;
// while it waits the speech countdown runs down by the frame's ticks.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "screens/bridge.h"
#include "screens/viewerpanel.h"
#include "system/display.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "ui/messagelog.h"
#include "ui/windows.h"

#include <algorithm>
#include <cstring>

const PaletteEntry* gBriefingGamePalette = nullptr;

namespace {

constexpr int kBriefingSectionCount = 16;
constexpr int32_t kBriefingPauseTicks = 200;

uint8_t& Request(int which)
{
    return gScriptMission.briefingSections[which];
}

// The current briefing's number, within the briefing index.
int CurrentBriefing()
{
    return std::clamp<int32_t>(gScriptMission.briefingNumber, 0, kMaxBriefings - 1);
}

void CountDownSpeech()
{
    if (gSpeechCountdown > 0)
        gSpeechCountdown -= gFrameClock.frameTicks;
}

// The message log has not typed all of its text.
bool TextPending()
{
    return gMessageLogTypingPosition != gMessageLogTextLength;
}

// The section's clip has not reached its last frame.
bool ClipRunning()
{
    const FilmClip* clip = gScriptMission.briefingClip;
    return gScriptMission.briefingClipOpen && clip && clip->lastFrame > 0 && !clip->finished;
}

void CloseBriefingClip()
{
    CloseClip(&gScriptMission.briefingClip);
    gScriptMission.briefingClipOpen = 0;
}

// Ended from outside: the run goes on behind BRF_END with the log cleared.
bool LeaveIfRequested(uint32_t& position)
{
    if (!Request(kBriefingLeave))
        return false;
    position = gBriefings.end[CurrentBriefing()];
    guiClearMessageLog();
    return true;
}

// The back request goes to the section before the one that was showing,
// when its BRF_SECT has run in this briefing; otherwise the countdown runs.
void ServeBackOrCountDown(uint32_t& position)
{
    if (!Request(kBriefingBack)) {
        CountDownSpeech();
        return;
    }
    Request(kBriefingBack) = 0;
    gSpeechCountdown = 0;
    const uint32_t target = gScriptMission.briefingSectionTable[std::max(gScriptMission.briefingSection - 2, 0)];
    if (target != kNoScriptPosition)
        position = target;
}

// BRF_DECLARE: the declaration lines run once per mission; a replay starts
// at BRF_BEGIN.
void BriefingDeclare(uint32_t& position)
{
    const int b = CurrentBriefing();
    if (gScriptMission.briefingDeclared[b])
        position = gBriefings.begin[b];
    else
        gScriptMission.briefingDeclared[b] = 255;
}

// BRF_BEGIN
void BriefingBegin(uint32_t&)
{
    gSpeechCountdown = 0;
}

// BRF_SECT n: waits for the previous section's hold, speech, text and clip
// (the skip request cuts text and clip), then records the section.
void BriefingSection(uint32_t& position)
{
    if (LeaveIfRequested(position))
        return;
    const int32_t number = std::clamp(ScriptNumberToInt(ReadNumberOperand(position)), 0, kBriefingSectionCount - 1);
    gScriptMission.briefingSection = number;
    gScriptMission.briefingSectionTable[number] = gInterpreter.statementStart;
    const bool skip = Request(kBriefingSkip);
    if (Request(kBriefingHold) || gSpeechCountdown > 0 || (!skip && (TextPending() || ClipRunning()))) {
        WaitHere(position);
    } else {
        if (gScriptMission.briefingClip && skip)
            CloseBriefingClip();
        Request(kBriefingSkip) = 0;
    }
    ServeBackOrCountDown(position);
}

// BRF_VIDEO film [first] [last]: waits for a running clip's last frame,
// then opens the section's clip.
void BriefingVideo(uint32_t& position)
{
    const FilmClip* clip = gScriptMission.briefingClip;
    if (gScriptMission.briefingClipOpen && clip && !clip->finished) {
        WaitHere(position);
        return;
    }
    if (LeaveIfRequested(position))
        return;
    Resource* film = SymbolResource(ReadTypedSymbol(position, kSymbolResource));
    const int32_t first = ScriptNumberToInt(ReadOptionalNumber(position));
    int32_t last = ScriptNumberToInt(ReadOptionalNumber(position));
    if (last <= 0)
        last = -1;
    // A first frame of 0 or 1 starts the film afresh: the open clip closes.
    if (first <= 1 && gScriptMission.briefingClip)
        CloseBriefingClip();
    if (!film)
        return;
    OpenClip(&gScriptMission.briefingClip, film->name, first, last, 0, 0);
    if (gScriptMission.briefingClip)
        gScriptMission.briefingClipOpen = 255;
}

// BRF_PAUSE: two seconds more for the section; with "brf_pause" the
// briefing holds after the section until the player goes on.
void BriefingPause(uint32_t& position)
{
    if (!gSettings.briefingPause) {
        gSpeechCountdown += kBriefingPauseTicks;
        return;
    }
    if (Request(kBriefingBack))
        return;
    const bool skip = Request(kBriefingSkip);
    if (gSpeechCountdown > 0 || (!skip && (TextPending() || ClipRunning()))) {
        WaitHere(position);
        CountDownSpeech();
        return;
    }
    if (!skip)
        Request(kBriefingHold) = 255;
}

// BRF_WAITTEXT: the section ends once its text and speech are done.
void BriefingWaitText(uint32_t& position)
{
    if (Request(kBriefingSkip) || (gSpeechCountdown <= 0 && !TextPending())) {
        Request(kBriefingSkip) = 255;
        return;
    }
    WaitHere(position);
    CountDownSpeech();
}

// BRF_WAITVIDEO: the section ends once its clip is done.
void BriefingWaitVideo(uint32_t& position)
{
    if (Request(kBriefingSkip) || !ClipRunning()) {
        Request(kBriefingSkip) = 255;
        return;
    }
    WaitHere(position);
    CountDownSpeech();
}

// BRF_END: waits for the last section, then ends the briefing: the game
// palette back, the objectives view shown, the mission pause cleared.
void BriefingEnd(uint32_t& position)
{
    if (LeaveIfRequested(position))
        return;
    if (!Request(kBriefingSkip) && (TextPending() || gSpeechCountdown > 0 || ClipRunning())) {
        WaitHere(position);
        ServeBackOrCountDown(position);
        return;
    }
    CloseBriefingClip();
    Request(kBriefingSkip) = 0;
    if (!Request(kBriefingBack)) {
        gScriptMission.briefingActive = 0;
        gObjectivesViewOpen = 255;
        gInterpreter.missionPause = 0;
        guiClearMessageLog();
        DisplaySetPalette(gBriefingGamePalette);
        // The bridge's viewer panel fades in after the briefing.
        StartViewerFade(kViewerFadeDraws);
        guiRequestFullRedraw();
    }
    ServeBackOrCountDown(position);
}

constexpr StatementRow kBriefingRows[] = {
    {kw::BRF_DECLARE, BriefingDeclare},
    {kw::BRF_BEGIN, BriefingBegin},
    {kw::BRF_SECT, BriefingSection},
    {kw::BRF_VIDEO, BriefingVideo},
    {kw::BRF_PAUSE, BriefingPause},
    {kw::BRF_WAITTEXT, BriefingWaitText},
    {kw::BRF_WAITVIDEO, BriefingWaitVideo},
    {kw::BRF_END, BriefingEnd},
};

} // namespace

std::span<const StatementRow> BriefingStatementRows()
{
    return kBriefingRows;
}

void ForgetBriefingSections()
{
    std::fill(std::begin(gScriptMission.briefingSectionTable), std::end(gScriptMission.briefingSectionTable),
              kNoScriptPosition);
}

void ResetPresentationState()
{
    gPresentation = PresentationState{};
    if (gScriptMission.briefingActive)
        Request(kBriefingLeave) = 255;
    gScriptMission.briefingActive = 0;
    Request(kBriefingSkip) = 0;
    Request(kBriefingBack) = 0;
    Request(kBriefingHold) = 0;
    gInterpreter.missionPause = 0;
    gScriptMission.briefingSection = 0;
    CloseBriefingClip();
    guiClearMessageLog();
    SpeechStop();
    DisplaySetPalette(DisplayLastPalette());
    guiRequestFullRedraw();
}
