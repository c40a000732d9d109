// Fuzz target: the option labels file "initTable.txt". Every label stays
// terminated within its field.
#include <cstdint>
#include <cstring>

#include "screens/frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ParseOptionLabels(reinterpret_cast<const char*>(data), size);
    for (const GameOption* o = gGameOptions; o->name; ++o) {
        if (std::memchr(o->label, 0, kOptionLabelSize) == nullptr)
            __builtin_trap();
        for (const char* value : o->valueLabels)
            if (std::memchr(value, 0, kOptionValueLabelSize) == nullptr)
                __builtin_trap();
    }
    return 0;
}
