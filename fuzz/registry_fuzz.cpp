// Key store text from anywhere: parsing never faults.
#include "platform/registry.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::ParseRegistry(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
