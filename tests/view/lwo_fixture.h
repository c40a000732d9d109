// Shared set-up for the LightWave loader tests: a scratch data folder made
// the working folder, the framework and its scene layer begun with a
// recording diagnostic handler, message boxes recorded, the generator
// seeded; objects are written with our own LWOB writer.
#pragma once

#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/settings.h"
#include "tests/framework/hx_fixture.h"
#include "tests/support/scratch_folder.h"
#include "tools/lwob_writer.h"
#include "view/lwoloader.h"
#include "world/pools.h"
#include "world/records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lwotest {

inline std::vector<std::string> gBoxes; // "title: text" of each message box

inline void RecordBox(const char* text, const char* title) { gBoxes.push_back(std::string(title) + ": " + text); }

class LwoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gBoxes.clear();
        saved = gSettings;
        oldBox = SetMessageBoxHook(RecordBox);
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
        ASSERT_EQ(HxBegin(), HX_OK);
        CRandSeed(7);
    }
    void TearDown() override
    {
        HxEnd();
        HxDiagHandlerSet(nullptr);
        ResetPools(); // forgets the collision boxes of the freed models
        ClearTexturePixelmaps();
        SetLwoSmoothingCache(true);
        SetMessageBoxHook(oldBox);
        gSettings = saved;
    }

    // Writes bytes at a data path ('\' separated) below the scratch folder.
    void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::string local = path;
        for (char& c : local)
            if (c == '\\')
                c = '/';
        scratch.Write(local, std::string(bytes.begin(), bytes.end()));
    }
    void WriteObject(const std::string& path, const lwob::Object& object) { WriteBytes(path, lwob::Write(object)); }
    std::string ReadBytes(const std::string& path) { return scratch.Read(path); }

    // A registered 8-bit pixelmap of that name, as a map or a shade table.
    static hx_pixelmap* AddMap(const char* name, bool table = false)
    {
        hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
        pm->identifier = HxResStrDup(pm, name);
        return table ? HxTableAdd(pm) : HxMapAdd(pm);
    }

    static bool SawBox(const std::string& text)
    {
        for (const std::string& b : gBoxes)
            if (b.find(text) != std::string::npos)
                return true;
        return false;
    }

    ScratchFolder scratch{"lwo", true};
    Settings saved;
    MessageBoxHook oldBox = nullptr;
};

// A triangle, 3 points, one surface.
inline lwob::Object Triangle(std::vector<lwob::SubChunk> subs = {})
{
    lwob::Object o;
    o.Point(0, 0, 0);
    o.Point(1, 0, 0);
    o.Point(0, 1, 0);
    int16_t s = o.AddSurface({"Hull", std::move(subs)});
    o.polygons.push_back({{0, 1, 2}, s});
    return o;
}

} // namespace lwotest
