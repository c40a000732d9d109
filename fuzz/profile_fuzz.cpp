// Profile (ini) text from anywhere: parsing never faults.
#include "platform/profile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::ParseProfile(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
