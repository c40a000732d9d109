// The key queue, the key-state blocks and the mouse state. See input.h.
#include "system/input.h"

MouseState gMouse;

namespace {
std::array<uint16_t, kKeyQueueSize> gQueue{};
int gWrite = 0;
int gRead = 0;
int gLast = -1; // slot of the last written code, for characters
KeyStateBlock gKeyState{};
KeyStateBlock gPreviousKeyState{};
} // namespace

void KeyQueuePush(uint16_t code)
{
    if (KeyQueueCount() == kKeyQueueSize - 1)
        return;
    gQueue[gWrite] = code;
    gLast = gWrite;
    gWrite = (gWrite + 1) % kKeyQueueSize;
}

int KeyQueueCount()
{
    return (gWrite - gRead + kKeyQueueSize) % kKeyQueueSize;
}

uint16_t KeyQueuePop()
{
    if (gRead == gWrite)
        return 0;
    uint16_t code = gQueue[gRead];
    gRead = (gRead + 1) % kKeyQueueSize;
    return code;
}

void KeyQueueAddCharacter(uint8_t character)
{
    if (gLast >= 0)
        gQueue[gLast] |= character;
}

void KeyQueueClear()
{
    gRead = gWrite = 0;
    gLast = -1;
}

KeyStateBlock& GetKeyStateBlock()
{
    return gKeyState;
}

KeyStateBlock& GetPreviousKeyStateBlock()
{
    return gPreviousKeyState;
}

void CopyKeyStateBlock()
{
    gPreviousKeyState = gKeyState;
}

void ResetInput()
{
    KeyQueueClear();
    gQueue.fill(0);
    gKeyState.fill(0);
    gPreviousKeyState.fill(0);
    gMouse = MouseState{};
}
