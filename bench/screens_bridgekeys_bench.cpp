// The bridge key handler: 1,000 keys through guiBridgeKeyHandler, spread
// over the commands that play no film and change no screen (scope, axes,
// trails, time, the wing prefix, orders, contact steps and hostile
// searches over an empty list, the speed keys). The budget is 1 ms for the
// thousand.
#include <benchmark/benchmark.h>

#include "screens/bridge.h"
#include "script/configstatements.h"
#include "system/input.h"
#include "ui/contacts.h"

#include <cstring>
#include <iterator>

namespace {

constexpr int16_t kCommands[] = {107, 29, 104, 145, 128, 41, 42, 43, 44, 45, 46, 60,
                                 62, 63, 64, 67, 68, 69, 70, 20, 21, 107, 29, 104};

void BM_ThousandBridgeKeys(benchmark::State& state)
{
    ResetInput();
    ResetContactList();
    std::memset(gKeyMap, 0, sizeof gKeyMap);
    for (std::size_t i = 0; i < std::size(kCommands); ++i)
        gKeyMap[0][i + 2] = kCommands[i];
    CurrentStation = kStationNav;
    uint16_t keys[1000];
    for (int i = 0; i < 1000; ++i)
        keys[i] = static_cast<uint16_t>((2 + i % std::size(kCommands)) << 8);
    for (auto _ : state) {
        for (uint16_t key : keys)
            guiBridgeKeyHandler(key);
        benchmark::DoNotOptimize(ScopeDisplayMode);
    }
    std::memset(gKeyMap, 0, sizeof gKeyMap);
    CurrentStation = 0;
}
BENCHMARK(BM_ThousandBridgeKeys)->Unit(benchmark::kMicrosecond);

} // namespace
