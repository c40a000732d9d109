// Fuzz target: the wing-reply formatter with arbitrary reply texts and
// names. The input is the format, a zero byte, then the name. Whatever the
// % sequences, nothing is read or written outside the texts and the buffer,
// the reply always ends within the buffer, and only %s takes a text.
#include "ai/orders.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string format = input.substr(0, split);
    const std::string name = split == std::string::npos ? std::string() : input.substr(split + 1);

    // Sizes 1 to 64 and the reply buffer's own.
    for (size_t capacity : {size_t{1}, size_t{7}, size_t{64}, kWingReplySize}) {
        std::string out(capacity, '\x7f');
        const size_t length = FormatWingReply(out.data(), capacity, format.c_str(), "%s", name.c_str());
        if (length >= capacity || out[length] != '\0' || std::strlen(out.c_str()) != length)
            __builtin_trap();
    }
    // Without a %s the reply is the format itself, cut to the buffer.
    if (format.find("%s") == std::string::npos) {
        char out[kWingReplySize];
        FormatWingReply(out, sizeof out, format.c_str(), name.c_str(), name.c_str());
        if (format.compare(0, sizeof out - 1, out) != 0)
            __builtin_trap();
    }
    return 0;
}
