// Shared fixture for framework tests: a diagnostic handler that records
// messages and returns (so failure paths can be seen to leave valid state),
// and a test base that begins the framework core and ends it afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/mem.h"

struct HxDiagLog {
    static std::vector<std::string>& Failures()
    {
        static std::vector<std::string> v;
        return v;
    }
    static std::vector<std::string>& Warnings()
    {
        static std::vector<std::string> v;
        return v;
    }
    static void Warning(const char* text) { Warnings().emplace_back(text); }
    static void Failure(const char* text) { Failures().emplace_back(text); }
    static hx_diaghandler* Handler()
    {
        static hx_diaghandler handler = {"Recording", Warning, Failure};
        return &handler;
    }
    static void Clear()
    {
        Failures().clear();
        Warnings().clear();
    }
    static bool Saw(const std::string& text)
    {
        for (const std::string& f : Failures())
            if (f.find(text) != std::string::npos)
                return true;
        return false;
    }
};

// An allocator that counts live blocks and hands out dirty memory.
struct HxCountingAllocator {
    static int& Live()
    {
        static int live = 0;
        return live;
    }
    static void* Allocate(uint32_t size, uint8_t)
    {
        void* block = std::malloc(size ? size : 1);
        std::memset(block, 0xAB, size);
        ++Live();
        return block;
    }
    static void Free(void* block)
    {
        if (block)
            --Live();
        std::free(block);
    }
    static uint32_t Inquire(uint8_t) { return 1234; }
    static uint32_t Align(uint8_t) { return 16; }
    static hx_allocator* Get()
    {
        static hx_allocator allocator = {"counting", Allocate, Free, Inquire, Align};
        return &allocator;
    }
};

class HxFramework : public ::testing::Test {
protected:
    void SetUp() override
    {
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
        ASSERT_EQ(HxFwBegin(), HX_OK);
    }
    void TearDown() override
    {
        HxFwEnd();
        HxDiagHandlerSet(nullptr);
    }
};
