// The input queues that the frame reads: the key queue, the KeyStateBlock
// with its previous-frame copy, and the mouse state. The main window's
// procedure fills them (mainwindow.h); the frame loop, player input and the
// key handlers of the screens read them.
#pragma once

#include <array>
#include <cstdint>

// Key code: the set-1 scan code in bits 8-15, the character in bits 0-7.
// Mouse buttons queue these codes.
constexpr uint16_t kKeyMouseLeft = 0xA000;
constexpr uint16_t kKeyMouseMiddle = 0xA100;
constexpr uint16_t kKeyMouseRight = 0xA200;
constexpr uint16_t kKeyMouseLeftDouble = 0xA300;

// KeyStateBlock entries of the mouse buttons and joystick buttons 1-4.
constexpr int kStateMouseLeft = 160;
constexpr int kStateMouseMiddle = 161;
constexpr int kStateMouseRight = 162;
constexpr int kStateMouseLeftDouble = 163;
constexpr int kStateJoystickButton1 = 128;

constexpr int kKeyQueueSize = 300;

// A ring of key codes: count = (write - read) mod 300, so at most 299 wait.
// A key pushed while 299 wait is dropped (the ring would otherwise read as
// empty and lose them all).
void KeyQueuePush(uint16_t code);
int KeyQueueCount();
uint16_t KeyQueuePop(); // 0 when empty
// ORs a character into the low byte of the last queued code.
void KeyQueueAddCharacter(uint8_t character);
void KeyQueueClear();

using KeyStateBlock = std::array<uint8_t, 256>; // 255 down, 0 up
KeyStateBlock& GetKeyStateBlock();
KeyStateBlock& GetPreviousKeyStateBlock();
// Keeps this frame's block as the previous frame's.
void CopyKeyStateBlock();

struct MouseState {
    uint32_t events = 0;
    int x = 0, y = 0;
    int lastX = 0, lastY = 0; // the second copy of the position
    uint32_t buttons = 0;     // button-state word of the last message
    uint32_t leftPresses = 0;
    uint32_t leftReleases = 0;
    uint32_t rightPresses = 0;
    uint32_t rightReleases = 0;
    int32_t rightHeld = 0;
    int rightPressX = 0, rightPressY = 0;
};
extern MouseState gMouse;

// Clears the queue, both key-state blocks and the mouse state.
void ResetInput();
