// The table of named screens and the switch between them.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ui/screens.h"

#include "system/calltrace.h"

KeyHandler gKeyHandler = nullptr;

void guiRegisterScreen(const char* name, ScreenSetup setup, KeyHandler keyHandler)
{
    RecordCall("guiRegisterScreen");
}

Screen* guiFindScreen(const char* name)
{
    RecordCall("guiFindScreen");
    return {};
}

void guiBeginScreenDefinition(const char* name)
{
    RecordCall("guiBeginScreenDefinition");
}

void guiRunScreenSetup(const char* name)
{
    RecordCall("guiRunScreenSetup");
}

void guiGotoScreen(const char* name)
{
    RecordCall("guiGotoScreen");
}

void guiCleanUpScreen()
{
    RecordCall("guiCleanUpScreen");
}
