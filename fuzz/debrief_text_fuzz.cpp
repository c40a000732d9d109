// Fuzz target: the debrief texts. The input is a mission's debrief file (a
// loose file of the "text" folder); it is read for that mission and outcome
// as the end of a mission reads it. What comes back ends within the text
// limit, and an empty file gives no text.
#include "fuzz/fuzz_support.h"
#include "screens/frontend.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool made = (fuzz::EnterScratchFolder({"zqk/resource/text/debrief"}), true);
    (void)made;
    fuzz::WriteFile("zqk/resource/text/debrief/dbf_07_1.txt", data, size);
    char* text = LoadDebriefText(7, 1);
    if (text) {
        const std::size_t length = std::strlen(text);
        if (length == 0 || length > 2499 || length > size)
            __builtin_trap();
        std::free(text);
    } else if (size > 0 && data[0] != 0) {
        __builtin_trap(); // a text that starts with a character is read
    }
    return 0;
}
