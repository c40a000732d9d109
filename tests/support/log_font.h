// A default message font for tests whose code adds texts to the message
// log: the log takes nothing without one. Its glyphs are empty, so only the
// texts and their typing count; the log is cleared on both ends.
#pragma once

#include "system/rasterfont.h"
#include "ui/messagelog.h"

class MessageLogFont {
public:
    MessageLogFont()
    {
        gFontB = &font_;
        guiClearMessageLog();
    }
    ~MessageLogFont()
    {
        guiClearMessageLog();
        gFontB = nullptr;
        gMessageLogFont = nullptr;
    }
    MessageLogFont(const MessageLogFont&) = delete;
    MessageLogFont& operator=(const MessageLogFont&) = delete;

private:
    RasterFont font_{};
};
