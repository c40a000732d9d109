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
#include "framework/object.h"

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

// A container class whose methods are the framework's shared ones.
inline hx_container_dispatch HxTestContainerClass(hx_slist* (*listQuery)(hx_object*),
                                                  const char* (*identifier)(hx_object*))
{
    hx_container_dispatch d;
    d.object.identifier = identifier;
    d.listQuery = listQuery;
    d.tokensMatchBegin = _M_hx_object_container_tokensMatchBegin;
    d.tokensMatch = _M_hx_object_container_tokensMatch;
    d.tokensMatchEnd = _M_hx_object_container_tokensMatchEnd;
    d.addFront = _M_hx_object_container_addFront;
    d.removeFront = _M_hx_object_container_removeFront;
    d.remove = _M_hx_object_container_remove;
    d.find = _M_hx_object_container_find;
    d.findMany = _M_hx_object_container_findMany;
    d.count = _M_hx_object_container_count;
    return d;
}
