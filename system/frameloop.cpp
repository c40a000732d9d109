// The frame loop. See frameloop.h.
#include "system/frameloop.h"

KeyHandler gKeyHandler = nullptr;
