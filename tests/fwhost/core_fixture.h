// A test base that begins the framework core (with the host services and
// the configured drivers) under a recording diagnostic handler, and ends it
// afterwards unless the test already did.
#pragma once

#include <gtest/gtest.h>

#include "framework/fw_state.h"
#include "tests/framework/hx_fixture.h"

class HxCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
        ASSERT_EQ(HxCoreBegin(), HX_OK);
    }
    void TearDown() override
    {
        if (fw.coreBegun)
            HxCoreEnd();
        HxDiagHandlerSet(nullptr);
    }
};
