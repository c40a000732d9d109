// Fuzz target: conversation texts from arbitrary bytes. The speaker header,
// the body's rewrite and the tree of groups are read from the input (a '<'
// is put in front when it has none), then the conversation is run to its
// end or for a bounded number of frames, every offered reply answered
// through the comms panel's windows. Unbalanced brackets end in the fatal
// stop, which here returns, and must leave nothing started.
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/rasterfont.h"
#include "ui/dialogue.h"
#include "ui/messagelog.h"
#include "ui/shiplog.h"
#include "ui/windows.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

RasterFont gFont{};

void Run(const std::string& text)
{
    int32_t result = 0;
    if (!ParseConversation(text.c_str(), &result, nullptr, nullptr))
        return;
    WindowHandle callers{};
    callers.rect[2] = 99;
    callers.rect[3] = 69;
    callers.width = 100;
    callers.height = 70;
    WindowHandle reply{};
    reply.subject.kind = WindowSubject::Kind::CommsSlot;
    reply.subject.slot = 0;
    gFrameClock.frameTicks = 100000;
    for (int frame = 0; frame < 200 && gDialogue.active; ++frame) {
        UpdateConversations();
        guiDrawCommsCallerList(&callers);
        if (gDialogue.callerListOpen)
            guiClickCommsCallerList(&callers); // the first row
        guiClickCommsReply(&reply);
    }
    gFrameClock.frameTicks = 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetFatalStopHook([](const char*) {});
    gFontB = &gFont;
    gWindows.mouseX = 10;
    gWindows.mouseY = 6;
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    if (text.empty() || text[0] != '<')
        text.insert(text.begin(), '<');
    Run(text);
    StopAllConversations();
    ResetShipLog();
    return 0;
}
