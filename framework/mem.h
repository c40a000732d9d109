// Framework memory: the pluggable allocator, zero-filling allocation, the
// reusable scratch block and scratch string, and the thin layer over the C
// library's memory, string, character-class, number and float routines that
// the framework uses instead of calling the C library itself.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "framework/hx_types.h"

// An allocator: blocks are typed by the 8-bit resource class id.
struct hx_allocator {
    const char* identifier;
    void* (*allocate)(uint32_t size, uint8_t type); // uninitialised block or null
    void (*free)(void* block);
    uint32_t (*inquire)(uint8_t type); // memory of that type still available
    uint32_t (*align)(uint8_t type);   // guaranteed alignment; a power of two
};

// The standard allocator "malloc" over the C heap.
extern hx_allocator HxStdlibAllocator;

hx_allocator* HxAllocatorSet(hx_allocator* allocator);

void* HxMemAllocate(uint32_t size, uint8_t type);
void HxMemFree(void* block);
uint32_t HxMemInquire(uint8_t type);
uint32_t HxMemAlign(uint8_t type);
void* HxMemCalloc(uint32_t count, uint32_t size, uint8_t type);
char* HxMemStrDup(const char* text);

// The scratch block: one reusable block handed to one user at a time.
void* HxScratchAllocate(uint32_t size);
void HxScratchFree(void* block);
void HxScratchFlush();
uint32_t HxScratchInquire();

// The shared 512-byte line buffer for formatting lines handed to callbacks.
char* HxScratchString();
uint32_t HxScratchStringSize();

int HxMemCmp(const void* a, const void* b, size_t n);
void* HxMemCpy(void* to, const void* from, size_t n);
void* HxMemSet(void* block, int value, size_t n);
char* HxStrCat(char* to, const char* from);
int HxStrCmp(const char* a, const char* b);
int HxStrICmp(const char* a, const char* b);
char* HxStrCpy(char* to, const char* from);
size_t HxStrLen(const char* text);
int HxStrNCmp(const char* a, const char* b, size_t n);
int HxStrNICmp(const char* a, const char* b, size_t n);
char* HxStrNCpy(char* to, const char* from, size_t n);
char* HxStrRChr(const char* text, int c);
[[noreturn]] void HxAbort();
char* HxGetEnv(const char* name);
float HxStrToF(const char* text, char** end);
double HxStrToD(const char* text, char** end);
long HxStrToL(const char* text, char** end, int base);
unsigned long HxStrToUL(const char* text, char** end, int base);
int HxIsAlpha(int c);
int HxIsDigit(int c);
int HxIsSpace(int c);
int HxIsPrint(int c);
int HxVSprintf(char* buffer, const char* format, va_list args);
int HxVSprintfN(char* buffer, size_t n, const char* format, va_list args);
int HxVSScanf(const char* text, const char* format, va_list args);
int HxSprintf(char* buffer, const char* format, ...) __attribute__((format(printf, 2, 3)));
int HxSprintfN(char* buffer, size_t n, const char* format, ...) __attribute__((format(printf, 3, 4)));
int HxSScanf(const char* text, const char* format, ...) __attribute__((format(scanf, 2, 3)));

float HxFloorF(float x);
float HxCeilF(float x);
float HxSqrtF(float x);
float HxPowF(float x, float y);
float HxAtan2F(float y, float x);
