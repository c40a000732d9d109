// Fuzz target: the rewrite of "Kelvandrist.ini" when the options are saved.
// The first bytes set a few options; the rest is the old file. The new text
// holds exactly one INIT_VAR line per changed option, first, and every old
// line without INIT_VAR after them, unchanged.
#include <cstdint>
#include <string>
#include <string_view>

#include "screens/frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool defaults = (RestoreDefaultOptions(), true);
    (void)defaults;
    RestoreDefaultOptions();
    size_t at = 0;
    int changed = 0;
    for (GameOption* o = gGameOptions; o->name && at < size && at < 4; ++o, ++at) {
        SetOptionValue(o->name, static_cast<float>(static_cast<int8_t>(data[at])) / 16.0f);
        changed += o->value != o->defaultValue;
    }
    const std::string_view old(reinterpret_cast<const char*>(data) + at, size - at);
    const std::string out = RewriteOptionsText(old);

    std::string kept;
    for (size_t p = 0; p < old.size();) {
        const size_t n = old.find('\n', p);
        const size_t end = n == std::string_view::npos ? old.size() : n + 1;
        if (old.substr(p, end - p).find("INIT_VAR") == std::string_view::npos)
            kept.append(old.substr(p, end - p));
        p = end;
    }
    if (out.size() < kept.size() || out.compare(out.size() - kept.size(), kept.size(), kept) != 0)
        __builtin_trap();
    int lines = 0;
    for (size_t p = 0; (p = out.find("\t\tINIT_VAR\t\"", p)) != std::string::npos && p < out.size() - kept.size(); ++p)
        ++lines;
    if (lines != changed)
        __builtin_trap();
    RestoreDefaultOptions();
    return 0;
}
