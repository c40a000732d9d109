// The film player: full-screen films over the display back end.
#pragma once

#include <cstdint>

// Opens the named film (a name longer than 12 characters keeps its part
// after the last '\' and is looked for in the video folder) to play full
// screen. Non-zero when the film started: the caller then turns film mode
// on. A null name does nothing and gives 0.
int32_t PlayFilm(const char* name);
