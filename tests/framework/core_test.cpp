// The framework core: memory and scratch, the resource tree and its
// classes, begin and end, diagnostics, exception frames and registries.
#include <gtest/gtest.h>

#include <csetjmp>
#include <regex>
#include <string>
#include <vector>

#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/mem.h"
#include "framework/registry.h"
#include "framework/resource.h"
#include "framework/token.h"
#include "tests/framework/hx_fixture.h"

// ---- memory ----------------------------------------------------------------

TEST_F(HxFramework, AllocateZeroesDirtyMemoryAndAllocatorSetSwaps)
{
    hx_allocator* previous = HxAllocatorSet(HxCountingAllocator::Get());
    EXPECT_STREQ(previous->identifier, "malloc");
    auto* block = static_cast<uint8_t*>(HxMemAllocate(300, 1));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(HxMemInquire(1), 1234u);
    HxMemFree(block);
    EXPECT_EQ(HxAllocatorSet(nullptr), HxCountingAllocator::Get());
    EXPECT_EQ(HxAllocatorSet(nullptr), &HxStdlibAllocator);
}

TEST_F(HxFramework, CallocRefusesOverflowAndStrDupCopies)
{
    EXPECT_EQ(HxMemCalloc(0x10000, 0x10001, 1), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Failure: HxMemCalloc"));
    char* copy = HxMemStrDup("Hexmire");
    EXPECT_STREQ(copy, "Hexmire");
    HxMemFree(copy);
}

TEST_F(HxFramework, MissingAllocateOperationIsAnAssertion)
{
    hx_allocator broken = {"broken", nullptr, std::free, nullptr, nullptr};
    hx_allocator* previous = HxAllocatorSet(&broken);
    EXPECT_EQ(HxMemAllocate(8, 1), nullptr);
    EXPECT_EQ(HxMemCalloc(2, 8, 1), nullptr);
    EXPECT_EQ(HxMemAlign(1), 0u);
    HxAllocatorSet(previous);
    ASSERT_EQ(HxDiagLog::Failures().size(), 2u);
    EXPECT_EQ(HxDiagLog::Failures()[0], "ASSERTION FAILED mem:22: \"fw.mem->allocate != NULL\"\n");
    EXPECT_EQ(HxDiagLog::Failures()[1], "ASSERTION FAILED mem:97: \"fw.mem->allocate != NULL\"\n");
}

TEST_F(HxFramework, ScratchIsReusedGrownAndNeverSharedOrFlushedWhileInUse)
{
    void* first = HxScratchAllocate(100);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(HxScratchAllocate(10), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Failure: Scratchpad not available"));
    HxScratchFlush();
    EXPECT_TRUE(HxDiagLog::Saw("Failure: Scratchpad cannot be flushed while in use"));
    EXPECT_EQ(HxScratchInquire(), 100u);
    EXPECT_TRUE(HxResCheck(first));
    HxScratchFree(first);

    EXPECT_EQ(HxScratchAllocate(50), first);
    EXPECT_EQ(HxScratchInquire(), 100u);
    HxScratchFree(first);
    void* grown = HxScratchAllocate(200);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(HxScratchInquire(), 200u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(grown) % 16, 0u);
    HxScratchFree(grown);
    HxScratchFlush();
    EXPECT_EQ(HxScratchInquire(), 0u);
    EXPECT_EQ(HxScratchStringSize(), 512u);
}

TEST(HxMem, BoundedFormattingScanningAndComparisons)
{
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(HxSprintfN(buffer, 1, "%s", "hello"), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(HxSprintfN(buffer, sizeof buffer, "%d-%s", 12, "abcdef"), 7);
    EXPECT_STREQ(buffer, "12-abcd");
    std::string huge(2000, 'z');
    char big[1024];
    EXPECT_EQ(HxSprintfN(big, sizeof big, "%s", huge.c_str()), 511);

    int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    EXPECT_EQ(HxSScanf("1 2 3 4 5 6", "%d %d %d %d %d %d", &a, &b, &c, &d, &e, &f), 6);
    EXPECT_EQ(a + b + c + d + e + f, 21);

    EXPECT_EQ(HxMemCmp("abc", "abd", 3), -1);
    EXPECT_EQ(HxMemCmp("abd", "abc", 3), 1);
    EXPECT_EQ(HxMemCmp("abc", "abc", 3), 0);
    EXPECT_EQ(HxStrCmp("\xE9", "a"), 1); // unsigned bytes
    EXPECT_EQ(HxStrICmp("Hexmire", "HEXMIRE"), 0);
    EXPECT_EQ(HxStrNICmp("abcX", "ABCy", 3), 0);

    // Bytes above 127 (French and German text) are valid input.
    EXPECT_FALSE(HxIsDigit('\xE9'));
    EXPECT_TRUE(HxIsDigit('7'));
    EXPECT_TRUE(HxIsSpace('\t'));
    EXPECT_FALSE(HxIsPrint('\x7F'));
    uint8_t fill[7];
    HxMemSet(fill, 0x1AB, sizeof fill);
    for (uint8_t byte : fill)
        EXPECT_EQ(byte, 0xAB);
}

// ---- resources -------------------------------------------------------------

namespace {

std::vector<int>& Freed()
{
    static std::vector<int> v;
    return v;
}

// Blocks of the tracking class hold an int tag, recorded when freed.
void TrackFree(void* block, uint8_t classId, uint32_t)
{
    EXPECT_EQ(classId, HX_RES_APPLICATION + 1);
    Freed().push_back(*static_cast<int*>(block));
}

hx_resource_class trackClass = {nullptr, "TRACK", HX_RES_APPLICATION + 1, TrackFree, 0};

int* Track(void* parent, int tag)
{
    auto* block = static_cast<int*>(HxResAllocate(parent, sizeof(int), trackClass.id));
    *block = tag;
    return block;
}

// Claims only 4-byte alignment and hands out blocks 4 bytes off an 8-byte
// boundary, so the header and the class alignment need real padding.
void* OddAllocate(uint32_t size, uint8_t)
{
    auto* base = static_cast<uint8_t*>(std::malloc(size + 4));
    std::memset(base, 0xCD, size + 4);
    return base + 4;
}
void OddFree(void* block)
{
    std::free(static_cast<uint8_t*>(block) - 4);
}
uint32_t OddAlign(uint8_t)
{
    return 4;
}
uint32_t NoInquire(uint8_t)
{
    return 0;
}
hx_allocator oddAllocator = {"odd", OddAllocate, OddFree, NoInquire, OddAlign};

} // namespace

class HxResources : public HxFramework, public ::testing::WithParamInterface<hx_allocator*> {
protected:
    void SetUp() override
    {
        HxAllocatorSet(GetParam());
        HxFramework::SetUp();
        HxResClassAdd(&trackClass);
        Freed().clear();
    }
};

TEST_P(HxResources, BlocksAreAlignedForTheirClassWithZeroPadding)
{
    auto* text = static_cast<uint8_t*>(HxResAllocate(HxFwAnchor(), 5, HX_RES_STRING));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[-1], 0xDE); // the header's magic ends right before it
    EXPECT_EQ(HxResSize(text), 8u);
    EXPECT_EQ(HxResClass(text), HX_RES_STRING);

    auto* object = static_cast<uint8_t*>(HxResAllocate(HxFwAnchor(), 40, HX_RES_OBJECT));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % 16, 0u);
    int padding = 0;
    while (object[-1 - padding] == 0)
        ++padding;
    EXPECT_EQ(object[-1 - padding], 0xDE);
    EXPECT_LT(padding, 16);
    EXPECT_EQ(HxResClass(object), HX_RES_OBJECT);
    EXPECT_EQ(HxResSize(object), 40u);
    EXPECT_TRUE(HxResCheck(object));
    EXPECT_TRUE(HxResIsChild(HxFwAnchor(), object));
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(object[i], 0);
    HxResFree(object);
    HxResFree(text);
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

TEST_P(HxResources, FreeRunsTheCallbackFirstThenChildrenNewestFirst)
{
    int* parent = Track(nullptr, 1);
    int* older = Track(parent, 2);
    Track(older, 21);
    Track(parent, 3);
    Track(parent, 4);
    EXPECT_EQ(HxResSizeTotal(parent), 5 * 4u);
    HxResFree(parent);
    EXPECT_EQ(Freed(), (std::vector<int>{1, 4, 3, 2, 21}));

    Freed().clear();
    parent = Track(nullptr, 5);
    Track(parent, 6);
    HxResFreeNoCallback(parent);
    EXPECT_EQ(Freed(), (std::vector<int>{6}));
}

TEST_P(HxResources, EnumerateMoveAndRemoveChildren)
{
    int* a = Track(nullptr, 10);
    int* b = Track(nullptr, 20);
    int* child1 = Track(a, 11);
    int* child2 = Track(a, 12);
    Track(a, 13);
    std::vector<int> seen;
    auto visit = [](void* child, void* arg) {
        auto* v = static_cast<std::vector<int>*>(arg);
        v->push_back(*static_cast<int*>(child));
        return *static_cast<int*>(child) == 12 ? 99 : 0;
    };
    EXPECT_EQ(HxResChildEnum(a, visit, &seen), 99);
    EXPECT_EQ(seen, (std::vector<int>{13, 12}));

    EXPECT_EQ(HxResAdd(b, child1), child1);
    EXPECT_FALSE(HxResIsChild(a, child1));
    EXPECT_TRUE(HxResIsChild(b, child1));
    EXPECT_EQ(HxResRemove(child2), child2);
    EXPECT_FALSE(HxResIsChild(a, child2));
    // Any pointer may be asked about; one that is no resource at all (a
    // record at the start of a zeroed global) is not read.
    static int32_t record[4] = {};
    EXPECT_FALSE(HxResIsChild(a, record));
    HxResFree(a);
    EXPECT_EQ(Freed(), (std::vector<int>{10, 13}));
    HxResFree(b);
    HxResFree(child2);
    EXPECT_EQ(Freed(), (std::vector<int>{10, 13, 20, 11, 12}));
}

INSTANTIATE_TEST_SUITE_P(Allocators, HxResources,
                         ::testing::Values(&HxStdlibAllocator, &oddAllocator),
                         [](const auto& info) { return std::string(info.param->identifier); });

// A block of no bytes (an anchor, an empty pool) still points into the
// allocation that holds it: a leak checker counts an allocation as held only
// by pointers into it, and everything below an anchor hangs from the anchor.
TEST_F(HxFramework, AnEmptyBlockLiesInsideItsAllocation)
{
    static hx_allocator* inner = nullptr;
    static uintptr_t begin = 0, end = 0;
    static hx_allocator recording = {"recording",
                                     [](uint32_t size, uint8_t type) -> void* {
                                         void* block = inner->allocate(size, type);
                                         begin = reinterpret_cast<uintptr_t>(block);
                                         end = begin + size;
                                         return block;
                                     },
                                     [](void* block) { inner->free(block); }, [](uint8_t) { return 0u; },
                                     [](uint8_t type) { return inner->align(type); }};
    static hx_resource_class wide = {nullptr, "WIDE_EMPTY", 202, nullptr, 64};
    HxResClassAdd(&wide);
    for (hx_allocator* allocator : {&HxStdlibAllocator, &oddAllocator}) {
        inner = allocator;
        hx_allocator* previous = HxAllocatorSet(&recording);
        for (uint8_t classId : {uint8_t(HX_RES_STRING), uint8_t(HX_RES_ANCHOR), uint8_t(HX_RES_POOL), wide.id}) {
            // Several at once: the allocator's addresses vary the padding.
            void* blocks[8];
            for (void*& block : blocks) {
                block = HxResAllocate(nullptr, 0, classId);
                ASSERT_NE(block, nullptr);
                const auto at = reinterpret_cast<uintptr_t>(block);
                EXPECT_TRUE(at >= begin && at < end) << allocator->identifier << " class " << int(classId);
                EXPECT_EQ(HxResSize(block), 0u);
                EXPECT_EQ(HxResClass(block), classId);
            }
            for (void* block : blocks)
                HxResFree(block);
        }
        HxAllocatorSet(previous);
    }
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

TEST_F(HxFramework, DumpPrintsOneIndentedLinePerResource)
{
    void* parent = HxResAllocate(nullptr, 8, HX_RES_POOL);
    HxResStrDup(parent, "one");
    HxResAllocate(parent, 16, HX_RES_TOKEN);
    std::vector<std::string> lines;
    HxResDump(
        parent, [](const char* line, void* arg) { static_cast<std::vector<std::string>*>(arg)->push_back(line); },
        &lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("0x[0-9a-f]{16} POOL {16} 56")));
    EXPECT_TRUE(std::regex_match(lines[1], std::regex("  0x[0-9a-f]{16} TOKEN {15} 64")));
    EXPECT_TRUE(std::regex_match(lines[2], std::regex("  0x[0-9a-f]{16} STRING {14} 52")));
    HxResFree(parent);
}

TEST_F(HxFramework, OversizedResourceIsRefused)
{
    EXPECT_EQ(HxResAllocate(nullptr, 0x4000000, HX_RES_POOL), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("too large"));
    EXPECT_EQ(HxResAllocate(nullptr, 77, 200), nullptr); // no such class
    EXPECT_TRUE(HxDiagLog::Saw("ASSERTION FAILED resource:94:"));
}

TEST_F(HxFramework, ClassRegistryHoldsTheFrameworkClasses)
{
    EXPECT_EQ(HxResClassCount(nullptr), 25);
    EXPECT_STREQ(HxResClassName(HX_RES_ANCHOR), "ANCHOR");
    EXPECT_STREQ(HxResClassName(200), "<NULL>");
    ASSERT_NE(HxResClassFind("scratch*"), nullptr);
    EXPECT_EQ(HxResClassFind("scratch*")->id, HX_RES_SCRATCH);
    // Newest first: OBJECT_DATA was registered after OBJECT.
    EXPECT_EQ(HxResClassFind("OBJECT*")->id, HX_RES_OBJECT_DATA);
    EXPECT_EQ(HxResClassCount("IMAGE*"), 4);

    hx_resource_class extra = {nullptr, "EXTRA", 200, nullptr, 8};
    EXPECT_EQ(HxResClassAdd(&extra), &extra);
    EXPECT_STREQ(HxResClassName(200), "EXTRA");
    EXPECT_EQ(HxResClassRemove(&extra), &extra);
    EXPECT_EQ(HxResClassRemove(&extra), nullptr);
    EXPECT_STREQ(HxResClassName(200), "<NULL>");
}

// ---- begin and end ---------------------------------------------------------

TEST_F(HxFramework, SecondBeginReturns4103AndChangesNothing)
{
    void* anchor = HxFwAnchor();
    int tokens = HxTokenCount(nullptr);
    HxTokenCreate("EXTRA_I32", 0);
    EXPECT_EQ(HxFwBegin(), 4103u);
    EXPECT_EQ(HxFwAnchor(), anchor);
    EXPECT_EQ(HxTokenCount(nullptr), tokens + 1);
    EXPECT_EQ(HxResClassCount(nullptr), 25);
}

TEST(HxBegin, EndWithoutBeginAndCoreBeginTwice)
{
    HxDiagHandlerSet(HxDiagLog::Handler());
    EXPECT_EQ(HxFwEnd(), 4102u);
    EXPECT_EQ(HxCoreEnd(), 4102u);
    EXPECT_EQ(HxCoreBegin(), 0u);
    EXPECT_TRUE(HxFwActive());
    EXPECT_EQ(HxCoreBegin(), 4103u);
    EXPECT_EQ(HxCoreEnd(), 0u);
    EXPECT_FALSE(HxFwActive());
    EXPECT_EQ(HxCoreEnd(), 4102u);
}

TEST(HxBegin, BeginEndBeginCycleLeaksNothing)
{
    for (int cycle = 0; cycle < 2; ++cycle) {
        HxAllocatorSet(HxCountingAllocator::Get());
        HxDiagHandlerSet(HxDiagLog::Handler());
        ASSERT_EQ(HxCoreBegin(), 0u);
        EXPECT_GT(HxCountingAllocator::Live(), 0);
        // The core's 25 classes and the pixelmap module's two; fresh, whatever the
        // last cycle added.
        EXPECT_EQ(HxResClassCount(nullptr), 27);
        HxResClassAdd(&trackClass);
        HxTokenCreate("CYCLE_F", 0);
        HxScratchFree(HxScratchAllocate(1000));
        void* pool = HxResAllocate(HxFwAnchor(), 100, HX_RES_POOL);
        HxResStrDup(pool, "kept until the end");
        _HxExceptionBegin(); // left pushed
        ASSERT_EQ(HxCoreEnd(), 0u);
        EXPECT_EQ(HxCountingAllocator::Live(), 0);
        // The end cleared every handler: the next begin starts standard.
        EXPECT_EQ(HxAllocatorSet(nullptr), &HxStdlibAllocator);
    }
}

// ---- diagnostics -----------------------------------------------------------

TEST_F(HxFramework, DiagnosticTexts)
{
    _HxAssert("x != NULL", "mem", 22);
    HxWarning("low on %s", "fuel");
    HxFatal("datafile", 1824, "Invald file primitive call");
    HxFailure("%s", std::string(3000, 'q').c_str());
    ASSERT_EQ(HxDiagLog::Failures().size(), 3u);
    EXPECT_EQ(HxDiagLog::Failures()[0], "ASSERTION FAILED mem:22: \"x != NULL\"\n");
    EXPECT_EQ(HxDiagLog::Warnings().at(0), "Warning: low on fuel");
    EXPECT_EQ(HxDiagLog::Failures()[1], "FATAL datafile:1824\nInvald file primitive call");
    EXPECT_LT(HxDiagLog::Failures()[2].size(), 3000u); // cut, not overrun
    EXPECT_EQ(HxDiagLog::Failures()[2].rfind("Failure: qqq", 0), 0u);
}

TEST(HxDiagDeath, StandardFailureHandlerWritesTheMessageAndExitsWith10)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            HxDiagHandlerSet(nullptr);
            HxCoreBegin();
            HxFailure("engine room %d", 7);
        },
        ::testing::ExitedWithCode(10), "Failure: engine room 7");
}

TEST_F(HxFramework, ExceptionFramesResumeWithTypeAndValue)
{
    volatile int stage = 0;
    hx_exception_frame* frame = _HxExceptionBegin();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(_HxExceptionResource(), frame);
    int type = setjmp(frame->context);
    if (type == 0) {
        stage = 1;
        _HxExceptionThrow(3, 4242);
        stage = 2; // not reached
    }
    EXPECT_EQ(stage, 1);
    EXPECT_EQ(type, 3);
    uintptr_t value = 0;
    int marker;
    EXPECT_EQ(_HxExceptionValueFetch(&marker, &value), &marker);
    EXPECT_EQ(value, 4242u);
    EXPECT_EQ(_HxExceptionResource(), nullptr);
    _HxExceptionEnd();
    EXPECT_TRUE(HxDiagLog::Saw("Unhandled exception:"));

    int number = 0;
    EXPECT_EQ(HxLastErrorSet(&number, 5), &number);
    EXPECT_EQ(HxLastErrorGet(), &number);
}

// ---- registries ------------------------------------------------------------

namespace {

struct Named {
    void* reserved;
    const char* name;
};
HX_REGISTRY_RECORD(Named, name);

Named hook = {nullptr, "from hook"};
void* FindHook(const char*)
{
    return &hook;
}

} // namespace

TEST_F(HxFramework, RegistryFindCountEnumerateAndHook)
{
    hx_registry registry = {};
    HxRegistryNew(&registry);
    EXPECT_EQ(HxRegistryFind(&registry, "*"), nullptr);
    EXPECT_EQ(HxRegistryFindHook(&registry, FindHook), nullptr);
    EXPECT_EQ(HxRegistryFind(&registry, "anything"), &hook);

    Named cobra = {nullptr, "Cobra"}, viper = {nullptr, "Viper"}, cobra2 = {nullptr, "cobra mk2"};
    void* all[] = {&cobra, &viper, &cobra2};
    EXPECT_EQ(HxRegistryAddMany(&registry, all, 3), 3);
    EXPECT_EQ(HxRegistryFind(&registry, "COBRA*"), &cobra2); // newest first
    EXPECT_EQ(HxRegistryFind(&registry, "cobra"), &cobra);
    EXPECT_EQ(HxRegistryFind(&registry, "python"), &hook);
    void* found[3] = {};
    EXPECT_EQ(HxRegistryFindMany(&registry, "c*", found, 1), 1);
    EXPECT_EQ(found[0], &cobra2);
    EXPECT_EQ(HxRegistryFindMany(&registry, "*", found, 3), 3);
    EXPECT_EQ(found[2], &cobra);
    EXPECT_EQ(HxRegistryCount(&registry, "?iper"), 1);

    // A record added twice: removing it removes the newest entry only.
    HxRegistryAdd(&registry, &cobra);
    EXPECT_EQ(HxRegistryCount(&registry, nullptr), 4);
    EXPECT_EQ(HxRegistryRemove(&registry, &cobra), &cobra);
    EXPECT_EQ(HxRegistryCount(&registry, nullptr), 3);
    EXPECT_EQ(HxRegistryCount(&registry, "cobra"), 1);
    Named stranger = {nullptr, "x"};
    EXPECT_EQ(HxRegistryRemove(&registry, &stranger), nullptr);

    std::vector<std::string> seen;
    auto visit = [](void* record, void* arg) {
        auto* v = static_cast<std::vector<std::string>*>(arg);
        v->push_back(static_cast<Named*>(record)->name);
        return v->size() == 2 ? 7 : 0;
    };
    EXPECT_EQ(HxRegistryEnum(&registry, nullptr, visit, &seen), 7);
    EXPECT_EQ(seen, (std::vector<std::string>{"cobra mk2", "Viper"}));
    seen.clear();
    EXPECT_EQ(HxRegistryEnum(&registry, "cobra", visit, &seen), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"Cobra"}));

    HxRegistryClear(&registry);
    EXPECT_EQ(HxRegistryCount(&registry, nullptr), 0);
}

// Large registries find exact names through an index: every find, by exact
// name or pattern, must give what a walk of the list from its head gives,
// through adds, duplicates, removals and a clear.
TEST_F(HxFramework, LargeRegistryFindsAgreeWithAWalkOfTheList)
{
    hx_registry registry = {};
    HxRegistryNew(&registry);
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back("Ship_" + std::to_string(i % 250)); // fifty names twice
    names.push_back("abc/rest");
    names.push_back("wild*card");
    std::vector<Named> records(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        records[i] = {nullptr, names[i].c_str()};
        HxRegistryAdd(&registry, &records[i]);
    }
    auto walk = [&](const char* pattern) -> void* {
        std::vector<void*> all(registry.count + 1);
        int n = HxRegistryFindMany(&registry, pattern, all.data(), int(all.size()));
        return n ? all[0] : nullptr;
    };
    const char* patterns[] = {"ship_7", "SHIP_249", "Ship_12/ignored", "ship_300", "abc", "abc/rest",
                              "ABC/REST/x", "wild*card", "Ship_1?", "*_99", "", "ship_"};
    auto check = [&](const char* when) {
        for (const char* pattern : patterns)
            EXPECT_EQ(HxRegistryFind(&registry, pattern), walk(pattern)) << pattern << " " << when;
    };
    check("after the adds");
    EXPECT_EQ(HxRegistryFind(&registry, "ship_7"), &records[257]); // the newer of two
    EXPECT_EQ(HxRegistryFind(&registry, "ship_12"), &records[262]);

    HxRegistryRemove(&registry, &records[257]);
    EXPECT_EQ(HxRegistryFind(&registry, "ship_7"), &records[7]);
    for (size_t i = 0; i < 200; i += 3)
        HxRegistryRemove(&registry, &records[i]);
    check("after the removals");
    EXPECT_EQ(HxRegistryFind(&registry, "ship_150"), nullptr);

    HxRegistryClear(&registry);
    EXPECT_EQ(HxRegistryFind(&registry, "ship_7"), nullptr);
    for (size_t i = 0; i < 40; ++i)
        HxRegistryAdd(&registry, &records[i]);
    check("after a clear and new adds");
    EXPECT_EQ(HxRegistryFind(&registry, "SHIP_39"), &records[39]);
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

TEST_F(HxFramework, WideClassAlignmentAndABrokenAllocator)
{
    static hx_resource_class wide = {nullptr, "WIDE", 201, nullptr, 64};
    HxResClassAdd(&wide);
    void* parent = HxResAllocate(nullptr, 0, HX_RES_POOL);
    for (int i = 0; i < 8; ++i) {
        void* block = HxResAllocate(parent, uint32_t(i * 13), wide.id);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 64, 0u);
        EXPECT_EQ(HxResClass(block), wide.id);
        EXPECT_TRUE(HxResCheck(block));
    }
    HxResFree(parent);
    // An allocator that claims more alignment than it gives is caught.
    hx_allocator liar = {"liar", [](uint32_t size, uint8_t) -> void* {
                             alignas(16) static uint8_t arena[4096];
                             return size + 1 <= sizeof arena ? arena + 1 : nullptr; },
                         [](void*) {}, [](uint8_t) { return 0u; }, [](uint8_t) { return 16u; }};
    hx_allocator* previous = HxAllocatorSet(&liar);
    EXPECT_EQ(HxResAllocate(nullptr, 8, HX_RES_POOL), nullptr);
    HxAllocatorSet(previous);
    EXPECT_TRUE(HxDiagLog::Saw("Failure: Memory allocator broke alignment"));
    EXPECT_TRUE(HxDiagLog::Saw("ASSERTION FAILED resource:183: \"actual_pad <= pad\""));
}
