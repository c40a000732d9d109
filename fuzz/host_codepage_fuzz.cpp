// Fuzz target: the code page 1252 conversions at the platform's edge. Any
// text converts both ways without fault; a 1252 text comes back from UTF-8
// as it was, but for the five bytes the code page leaves undefined, which
// become '?'.
#include "platform/host.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    const std::string utf8 = platform::Cp1252ToUtf8(text.c_str());
    const std::string back = platform::Utf8ToCp1252(utf8.c_str());
    std::string expected = text;
    for (char& c : expected) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            c = '?';
    }
    if (back != expected)
        __builtin_trap();
    // Arbitrary bytes taken as UTF-8: never longer than what came in.
    if (platform::Utf8ToCp1252(text.c_str()).size() > text.size())
        __builtin_trap();
    return 0;
}
