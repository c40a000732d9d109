// Fuzz target: format texts that come from data (the text table, text
// resources). The first byte of the input says how many whole numbers are
// given (0 to 7), the next words are their values, the rest is the text.
// Whatever the text asks for, only those numbers are read, "%%" gives one
// percent sign, and each number adds at most 47 characters, whatever width
// the text spells out.
#include "system/datatext.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t count = data[0] % 8;
    std::size_t at = 1;
    std::vector<int> values;
    for (std::size_t i = 0; i < count; ++i) {
        uint32_t v = 0;
        for (int b = 0; b < 4; ++b)
            v = (v << 8) | (at < size ? data[at++] : 0);
        values.push_back(static_cast<int>(v));
    }
    std::string text(reinterpret_cast<const char*>(data + (at < size ? at : size)), size - (at < size ? at : size));
    text = text.substr(0, std::strlen(text.c_str()));
    const std::string out = FormatWholeNumbers(text.c_str(), values);
    if (out.size() > text.size() + count * 47)
        __builtin_trap();
    return 0;
}
