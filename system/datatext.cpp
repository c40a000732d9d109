// Format texts that come from data. See datatext.h.
#include "system/datatext.h"

#include <cstdio>
#include <cstring>

std::string FormatWholeNumbers(const char* text, std::span<const int> values)
{
    size_t used = 0;
    std::string out;
    if (!text)
        return out;
    for (const char* p = text; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        const char* q = p + 1;
        while (*q && std::strchr("-+ 0#", *q))
            ++q;
        while (*q >= '0' && *q <= '9')
            ++q;
        if (*q == '%' && q == p + 1) {
            out += '%';
            p = q;
        } else if (*q && std::strchr("diu", *q) && used < values.size() && q - p < 16) {
            // The flags and width as written, always with the signed
            // conversion: the value is an int whatever letter the text used.
            char conversion[20];
            std::snprintf(conversion, sizeof conversion, "%.*sd", static_cast<int>(q - p), p);
            char number[48];
            std::snprintf(number, sizeof number, conversion, values[used++]);
            out += number;
            p = q;
        } else {
            out += '%';
        }
    }
    return out;
}
