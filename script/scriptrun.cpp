// Headless traced script runs. See scriptrun.h.
#include "script/scriptrun.h"

#include "screens/bridge.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/scriptfiles.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/frameclock.h"
#include "world/scenelist.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::string* gTrace = nullptr;
int gFrame = 0;

const char* BaseName(const char* path)
{
    const char* base = path;
    for (const char* at = path; *at; ++at)
        if (*at == '\\' || *at == '/')
            base = at + 1;
    return base;
}

void TraceStatement(uint32_t position, uint32_t id)
{
    const char* keyword = KeywordName(id);
    if (!gTrace || !keyword || id == kw::LINE)
        return;
    const ScriptToken* marker = FindLineEndMarker(position);
    const char* file = marker ? BaseName(ScriptNameAt(marker[1].value)) : "?";
    const unsigned line = marker ? marker->value + 1 : 0;
    char text[160];
    std::snprintf(text, sizeof text, "%d %s(%u) %s%s\n", gFrame, file, line, keyword,
                  FindStatementHandler(id) ? "" : " (no handler)");
    *gTrace += text;
}

// Ends the trace's hold on the interpreter however the run ends.
struct TraceScope {
    explicit TraceScope(std::string& trace)
    {
        gTrace = &trace;
        SetStatementTraceHook(TraceStatement);
    }
    ~TraceScope()
    {
        SetStatementTraceHook(nullptr);
        gTrace = nullptr;
    }
};

void StartFrame(int32_t ticks)
{
    ++gFrameClock.frameCounter;
    gFrameClock.rawFrameTicks = ticks;
    gFrameClock.frameTicks = ticks;
    gFrameClock.frameSeconds = static_cast<float>(ticks) / 100.0f;
    gFrameClock.gameClock += static_cast<uint32_t>(ticks);
}

} // namespace

bool TraceScriptRun(const ScriptRunOptions& options, std::string& trace)
{
    ResetSimulation();
    ResetMissionScript();
    gFrameClock = FrameClock{};
    gLoopFlags = LoopFlags{};
    gScriptSkipRequest = 0;

    const ScriptToken* start = TokeniseScript(options.name);
    if (!start)
        return false;
    uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);

    // An arrival needs the player's ship.
    if (options.arrivalFrame >= 0) {
        SceneItem* player = NewSceneItem();
        if (player) {
            InsertSceneItem(player, 0);
            AttachSim(player, nullptr);
            gPlayerItem = player;
        }
    }

    TraceScope scope(trace);
    int32_t stop = 0;
    for (gFrame = 0; gFrame < options.frames; ++gFrame) {
        StartFrame(options.ticks);
        if (std::find(options.skipFrames.begin(), options.skipFrames.end(), gFrame) != options.skipFrames.end())
            gScriptSkipRequest = 255;
        if (gFrame == options.arrivalFrame) {
            gScriptMission.arrivalPending = 255;
            gScriptMission.arrivalSystem = options.arrivalSystem;
        }
        stop = RunScript(&position, true);
    }
    char text[96];
    std::snprintf(text, sizeof text, "end %d stop %d depth %d\n", gFrame, static_cast<int>(stop),
                  static_cast<int>(gInterpreter.depth));
    trace += text;
    return true;
}
