// Pausing the leak checker around libraries that keep allocations for the
// whole process (Mesa, the X libraries), which it cannot tell from ours.
// Where the program is built without the checker, a pause does nothing.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define KV_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_LEAK_CHECKER 1
#endif
#endif

#ifdef KV_LEAK_CHECKER
#include <sanitizer/lsan_interface.h>
#endif

// While one lives, nothing allocated is reported as leaked.
class LeakCheckPause {
public:
    LeakCheckPause()
    {
#ifdef KV_LEAK_CHECKER
        __lsan_disable();
#endif
    }
    ~LeakCheckPause()
    {
#ifdef KV_LEAK_CHECKER
        __lsan_enable();
#endif
    }
    LeakCheckPause(const LeakCheckPause&) = delete;
    LeakCheckPause& operator=(const LeakCheckPause&) = delete;
};
