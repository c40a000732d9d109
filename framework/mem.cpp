// Framework memory: the allocator calls, the scratch block and scratch
// string, and the thin layer over the C library.
#include "framework/mem.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "framework/diag.h"
#include "framework/fw_state.h"

namespace {

void* StdlibAllocate(uint32_t size, uint8_t type)
{
    void* block = std::malloc(size ? size : 1);
    if (!block)
        HxFailure("HxStdlibAllocate: failed with size=%d, type=%d", static_cast<int>(size), type);
    return block;
}

void StdlibFree(void* block)
{
    std::free(block);
}

uint32_t StdlibInquire(uint8_t)
{
    return 0;
}

// The C heap aligns every block for any type of the machine.
uint32_t StdlibAlign(uint8_t)
{
    return alignof(std::max_align_t);
}

// The installed allocator; before the first begin, the standard one.
hx_allocator* Mem()
{
    return fw.mem ? fw.mem : &HxStdlibAllocator;
}

char scratchString[512] = "SCRATCH";

} // namespace

hx_allocator HxStdlibAllocator = {"malloc", StdlibAllocate, StdlibFree, StdlibInquire, StdlibAlign};

hx_allocator* HxAllocatorSet(hx_allocator* allocator)
{
    hx_allocator* previous = Mem();
    fw.mem = allocator ? allocator : &HxStdlibAllocator;
    return previous;
}

void* HxMemAllocate(uint32_t size, uint8_t type)
{
    HX_CHECK_AS(Mem()->allocate != nullptr, "fw.mem->allocate != NULL", "mem", 22, nullptr);
    void* block = Mem()->allocate(size, type);
    if (block)
        std::memset(block, 0, size);
    return block;
}

void HxMemFree(void* block)
{
    HX_CHECK_AS(Mem()->free != nullptr, "fw.mem->free != NULL", "mem", 54, );
    Mem()->free(block);
}

uint32_t HxMemInquire(uint8_t type)
{
    HX_CHECK_AS(Mem()->inquire != nullptr, "fw.mem->inquire != NULL", "mem", 65, 0);
    return Mem()->inquire(type);
}

uint32_t HxMemAlign(uint8_t type)
{
    return Mem()->align ? Mem()->align(type) : 0;
}

void* HxMemCalloc(uint32_t count, uint32_t size, uint8_t type)
{
    HX_CHECK_AS(Mem()->allocate != nullptr, "fw.mem->allocate != NULL", "mem", 97, nullptr);
    uint64_t total = uint64_t(count) * size;
    if (total > UINT32_MAX) {
        HxFailure("HxMemCalloc: %u x %u bytes is too large", count, size);
        return nullptr;
    }
    return HxMemAllocate(static_cast<uint32_t>(total), type);
}

char* HxMemStrDup(const char* text)
{
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(HxMemAllocate(static_cast<uint32_t>(length + 1), HX_RES_STRING));
    if (copy)
        std::memcpy(copy, text, length);
    return copy;
}

void* HxScratchAllocate(uint32_t size)
{
    if (fw.scratchInUse) {
        HxFailure("Scratchpad not available");
        return nullptr;
    }
    if (fw.scratchSize < size || !fw.scratch) {
        if (fw.scratch)
            HxResFree(fw.scratch);
        fw.scratchSize = 0;
        fw.scratch = HxResAllocate(fw.anchor, size, HX_RES_SCRATCH);
        if (!fw.scratch)
            return nullptr;
        fw.scratchSize = size;
    }
    fw.scratchInUse = 1;
    return fw.scratch;
}

void HxScratchFree(void*)
{
    fw.scratchInUse = 0;
}

void HxScratchFlush()
{
    if (fw.scratchInUse) {
        HxFailure("Scratchpad cannot be flushed while in use");
        return;
    }
    if (fw.scratch)
        HxResFree(fw.scratch);
    fw.scratch = nullptr;
    fw.scratchSize = 0;
}

uint32_t HxScratchInquire()
{
    return fw.scratchSize;
}

char* HxScratchString()
{
    return scratchString;
}

uint32_t HxScratchStringSize()
{
    return sizeof scratchString;
}

namespace {
int Sign(int r)
{
    return (r > 0) - (r < 0);
}
} // namespace

int HxMemCmp(const void* a, const void* b, size_t n)
{
    return Sign(std::memcmp(a, b, n));
}

void* HxMemCpy(void* to, const void* from, size_t n)
{
    return std::memmove(to, from, n);
}

void* HxMemSet(void* block, int value, size_t n)
{
    return std::memset(block, value & 0xFF, n);
}

char* HxStrCat(char* to, const char* from)
{
    return std::strcat(to, from);
}

int HxStrCmp(const char* a, const char* b)
{
    return Sign(std::strcmp(a, b));
}

int HxStrICmp(const char* a, const char* b)
{
    return Sign(strcasecmp(a, b));
}

char* HxStrCpy(char* to, const char* from)
{
    return std::strcpy(to, from);
}

size_t HxStrLen(const char* text)
{
    return std::strlen(text);
}

int HxStrNCmp(const char* a, const char* b, size_t n)
{
    return Sign(std::strncmp(a, b, n));
}

int HxStrNICmp(const char* a, const char* b, size_t n)
{
    return Sign(strncasecmp(a, b, n));
}

char* HxStrNCpy(char* to, const char* from, size_t n)
{
    return std::strncpy(to, from, n);
}

char* HxStrRChr(const char* text, int c)
{
    return const_cast<char*>(std::strrchr(text, c));
}

void HxAbort()
{
    std::abort();
}

char* HxGetEnv(const char* name)
{
    return std::getenv(name);
}

float HxStrToF(const char* text, char** end)
{
    return static_cast<float>(std::strtod(text, end));
}

double HxStrToD(const char* text, char** end)
{
    return std::strtod(text, end);
}

long HxStrToL(const char* text, char** end, int base)
{
    return std::strtol(text, end, base);
}

unsigned long HxStrToUL(const char* text, char** end, int base)
{
    return std::strtoul(text, end, base);
}

// Character classes take any byte: texts in French and German carry bytes
// above 127, which must not reach the C functions as negative values.
int HxIsAlpha(int c)
{
    return std::isalpha(static_cast<unsigned char>(c));
}

int HxIsDigit(int c)
{
    return std::isdigit(static_cast<unsigned char>(c));
}

int HxIsSpace(int c)
{
    return std::isspace(static_cast<unsigned char>(c));
}

int HxIsPrint(int c)
{
    return std::isprint(static_cast<unsigned char>(c));
}

int HxVSprintf(char* buffer, const char* format, va_list args)
{
    return std::vsprintf(buffer, format, args);
}

int HxVSprintfN(char* buffer, size_t n, const char* format, va_list args)
{
    char line[512];
    std::vsnprintf(line, sizeof line, format, args);
    if (n == 0)
        return 0;
    size_t length = std::strlen(line);
    if (length > n - 1)
        length = n - 1;
    std::memcpy(buffer, line, length);
    buffer[length] = 0;
    return static_cast<int>(length);
}

int HxVSScanf(const char* text, const char* format, va_list args)
{
    return std::vsscanf(text, format, args);
}

int HxSprintf(char* buffer, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = HxVSprintf(buffer, format, args);
    va_end(args);
    return n;
}

int HxSprintfN(char* buffer, size_t n, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = HxVSprintfN(buffer, n, format, args);
    va_end(args);
    return r;
}

int HxSScanf(const char* text, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = HxVSScanf(text, format, args);
    va_end(args);
    return n;
}

float HxFloorF(float x)
{
    return static_cast<float>(std::floor(double(x)));
}

float HxCeilF(float x)
{
    return static_cast<float>(std::ceil(double(x)));
}

float HxSqrtF(float x)
{
    return static_cast<float>(std::sqrt(double(x)));
}

float HxPowF(float x, float y)
{
    return static_cast<float>(std::pow(double(x), double(y)));
}

float HxAtan2F(float y, float x)
{
    return static_cast<float>(std::atan2(double(y), double(x)));
}
