// Fuzz target: the rewrite of "Kelvandrist.ini" when the options are saved.
// The first bytes set a few options; the rest is the old file. The new text
// holds exactly one INIT_VAR line per changed option, first, and every old
// line after them, unchanged, but the INIT_VAR lines of the page's own
// options.
#include <cstdint>
#include <string>
#include <string_view>

#include "screens/frontend.h"

namespace {

// An INIT_VAR line naming, in its first quotes after the word, an option of
// the page.
bool OwnedLine(std::string_view line)
{
    const size_t word = line.find("INIT_VAR");
    if (word == std::string_view::npos)
        return false;
    const size_t open = line.find('"', word);
    const size_t close = open == std::string_view::npos ? open : line.find('"', open + 1);
    if (close == std::string_view::npos)
        return false;
    for (const GameOption* o = gGameOptions; o->name; ++o)
        if (line.substr(open + 1, close - open - 1) == o->name)
            return true;
    return false;
}

} // namespace

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
        if (!OwnedLine(old.substr(p, end - p)))
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
