// The film player (stand-in until the player lands: records the call and
// starts nothing).
#include "system/film.h"

#include "system/calltrace.h"

int32_t PlayFilm(const char*)
{
    RecordCall("PlayFilm");
    return 0;
}
