// A headless run with a fixed step and seed gives the same world twice.
#include "tests/support/world_fixture.h"
#include "tests/support/world_scenario.h"

using worldtest::FatalStops;
using worldtest::WorldTest;

TEST_F(WorldTest, TheSameSeedAndStepGiveTheSameDigest)
{
    worldscenario::Build(1234, 300);
    uint64_t first = worldscenario::Run(400, 5);
    worldscenario::Build(1234, 300);
    uint64_t second = worldscenario::Run(400, 5);
    EXPECT_EQ(first, second);

    worldscenario::Build(1235, 300);
    EXPECT_NE(worldscenario::Run(400, 5), first);
    worldscenario::Build(1234, 300);
    EXPECT_NE(worldscenario::Run(400, 4), first);
    EXPECT_TRUE(FatalStops().empty());
}

TEST_F(WorldTest, ShipsFlownByThePhysicsGiveTheSameDigestTwice)
{
    worldscenario::BuildFlight(77, 399);
    const uint64_t first = worldscenario::Run(300, 5);
    worldscenario::BuildFlight(77, 399);
    EXPECT_EQ(worldscenario::Run(300, 5), first);
    worldscenario::BuildFlight(78, 399);
    EXPECT_NE(worldscenario::Run(300, 5), first);
    EXPECT_TRUE(FatalStops().empty());
}
