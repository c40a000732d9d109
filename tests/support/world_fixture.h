// Shared fixture of the world tests: a fresh world per test, fatal stops
// recorded instead of ending the program, and a maker of plain items.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "world/records.h"

namespace worldtest {

// Texts of the fatal stops since the fixture's set-up, oldest first.
const std::vector<std::string>& FatalStops();
void ClearFatalStops();

// A new item in the scene list with a Sim (identity matrix), a root TDP and
// the given routines; a receiver when it gets a message function.
SceneItem* MakeItem(ItemFunction perFrame = nullptr, ItemFunction control = nullptr,
                    ItemFunction message = nullptr, int16_t flags = 0);

// Gives the item a ShipInfo with a flight model.
ShipInfo* MakeShip(SceneItem* item);

// Sets the frame step (ticks and seconds) without running a frame.
void SetFrameStep(int32_t ticks);
// Advances the game clock by one frame of `ticks` and runs the simulation
// frame.
void RunFrame(int32_t ticks);

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

} // namespace worldtest
