// Shared fixture for scene-layer tests: the framework and the scene layer
// begun with a diagnostic handler that records and returns, the recording
// renderer device added, and helpers to read the renderer's call log.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/devlist.h"
#include "framework/drivers/recording_renderer.h"
#include "framework/scene.h"
#include "tests/framework/hx_fixture.h"

class HxScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
        ASSERT_EQ(HxBegin(), HX_OK);
        ASSERT_EQ(HxDevAdd(nullptr, kHxRecordingDeviceName, nullptr), HX_OK);
        HxRecordingLogEnable(true);
        HxRecordingBoundsTestSet(nullptr);
        HxRecordingBucketsSet(true);
        HxRecordingScreenRectSet(0, 0, 0, 0);
        HxRecordingLogTake();
    }
    void TearDown() override
    {
        HxEnd();
        HxRecordingLogTake();
        HxDiagHandlerSet(nullptr);
    }
    // The log since the last call, only the lines that start with one of
    // the prefixes (all lines with none).
    static std::vector<std::string> Log(std::vector<std::string> prefixes = {})
    {
        std::vector<std::string> out;
        for (std::string& line : HxRecordingLogTake()) {
            bool keep = prefixes.empty();
            for (const std::string& p : prefixes)
                keep = keep || line.compare(0, p.size(), p) == 0;
            if (keep)
                out.push_back(std::move(line));
        }
        return out;
    }
};
