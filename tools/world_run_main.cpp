// world_run: steps the world headless and prints its state digest.
//
//   world_run [frames] [ticks per frame] [seed] [items] [flight | collide [plain]]
//
// With "flight" the items are ships flown by the ship physics toward
// waypoints of their own; with "collide" such ships crowded together with
// collision shapes, so that they bounce off each other ("plain" tests every
// pair without the broad phase first: the digest must not change); without
// either, the busy scenario of drifting items that message and destroy
// each other.
// The same arguments always print the same digest; a changed digest after a
// change to the world code means the simulation changed.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/errors.h"
#include "tests/support/world_scenario.h"
#include "world/collisions.h"
#include "world/messages.h"
#include "world/scenelist.h"

namespace {

long Argument(int argc, char** argv, int i, long fallback)
{
    if (i >= argc)
        return fallback;
    char* end = nullptr;
    long value = std::strtol(argv[i], &end, 0);
    if (!end || *end || value < 0) {
        std::fprintf(stderr, "world_run: bad argument '%s'\n", argv[i]);
        std::exit(2);
    }
    return value;
}

void StopOnFatal(const char* text)
{
    std::fprintf(stderr, "world_run: %s\n", text);
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    long frames = Argument(argc, argv, 1, 1000);
    long ticks = Argument(argc, argv, 2, 5);
    long seed = Argument(argc, argv, 3, 1);
    long items = Argument(argc, argv, 4, 300);
    bool flight = false;
    bool collide = false;
    if (argc > 5) {
        flight = std::strcmp(argv[5], "flight") == 0;
        collide = std::strcmp(argv[5], "collide") == 0;
        if (!flight && !collide) {
            std::fprintf(stderr, "world_run: unknown scenario '%s'\n", argv[5]);
            return 2;
        }
    }
    if (argc > 6) {
        if (!collide || std::strcmp(argv[6], "plain") != 0) {
            std::fprintf(stderr, "world_run: unknown option '%s'\n", argv[6]);
            return 2;
        }
        SetCollisionPrefilter(false);
    }
    if (items > 399) {
        std::fprintf(stderr, "world_run: at most 399 items besides the player's\n");
        return 2;
    }
    SetFatalStopHook(StopOnFatal);
    InitMessageBuffer();
    if (collide)
        worldscenario::BuildCollisionFlight(static_cast<uint32_t>(seed), static_cast<int>(items));
    else if (flight)
        worldscenario::BuildFlight(static_cast<uint32_t>(seed), static_cast<int>(items));
    else
        worldscenario::Build(static_cast<uint32_t>(seed), static_cast<int>(items));
    uint64_t digest = worldscenario::Run(static_cast<int>(frames), static_cast<int32_t>(ticks));
    int alive = 0;
    for (SceneItem* s = gSceneList.next; s != &gSceneList; s = s->next)
        ++alive;
    MessageStats stats = GetMessageStats();
    std::printf("frames %ld ticks %ld seed %ld items %d messages %u digest %016llx\n", frames,
                ticks, seed, alive, stats.messagesPosted, static_cast<unsigned long long>(digest));
    return 0;
}
