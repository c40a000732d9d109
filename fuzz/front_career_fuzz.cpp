// Fuzz target: the career files. The first byte picks the state file or a
// captain's career; the rest is the file. Whatever the bytes, the record
// read keeps its slot, count and order in range and its name terminated,
// and writing it and reading it back gives the same record.
#include <cstdint>
#include <cstring>

#include "screens/frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool state = data[0] & 1;
    ++data;
    --size;
    if (state) {
        StateFileRecord record, again;
        DecodeStateFile(data, size, record);
        if (record.currentSlot < 0 || record.currentSlot >= kCaptainSlots)
            __builtin_trap();
        uint8_t bytes[kStateFileSize], bytesAgain[kStateFileSize];
        EncodeStateFile(record, bytes);
        DecodeStateFile(bytes, sizeof bytes, again);
        EncodeStateFile(again, bytesAgain);
        if (std::memcmp(bytes, bytesAgain, sizeof bytes) != 0)
            __builtin_trap();
        return 0;
    }
    CareerRecord record, again;
    DecodeCaptainFile(data, size, record);
    if (std::memchr(record.name, 0, kCaptainNameSize) == nullptr)
        __builtin_trap();
    if (record.completedCount < 0 || record.completedCount > kMissionCount)
        __builtin_trap();
    for (int16_t index : record.completionOrder)
        if (index < 0 || index >= kMissionCount)
            __builtin_trap();
    uint8_t bytes[kCaptainFileSize], bytesAgain[kCaptainFileSize];
    EncodeCaptainFile(record, bytes);
    DecodeCaptainFile(bytes, sizeof bytes, again);
    EncodeCaptainFile(again, bytesAgain);
    if (std::memcmp(bytes, bytesAgain, sizeof bytes) != 0)
        __builtin_trap();
    return 0;
}
