// Framework files: the pluggable file system that every framework read and
// write goes through, and framework files ("FILE" resources wrapping the file
// system's own handle, closed when they or a parent are freed).
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_types.h"

// File modes.
enum : int {
    HX_FILE_MODE_BINARY = 0,
    HX_FILE_MODE_TEXT = 1,
    HX_FILE_MODE_UNKNOWN = 2
};

// Tells the mode of a file from its first n bytes.
using hx_mode_test_cbfn = int (*)(const uint8_t* bytes, uint32_t n);

struct hx_filesystem {
    const char* identifier;
    uint32_t (*attributes)();                                                                // 1
    void* (*open_read)(const char* name, uint32_t n, hx_mode_test_cbfn identify, int* mode); // 2
    void* (*open_write)(const char* name, int mode);                                         // 3
    void (*close)(void* handle);                                                             // 4
    int (*eof)(void* handle);                                                                // 5
    int (*getchr)(void* handle);                                                             // 6
    void (*putchr)(int c, void* handle);                                                     // 7
    size_t (*read)(void* buffer, size_t size, size_t count, void* handle);                   // 8
    size_t (*write)(const void* buffer, size_t size, size_t count, void* handle);            // 9
    int (*getline)(char* buffer, size_t size, void* handle);                                 // 10
    void (*putline)(const char* text, void* handle);                                         // 11
    void (*advance)(long count, void* handle);                                               // 12
    // Ends a write without keeping it: what was written is discarded and
    // the target is left as it was. A file system without it closes.
    void (*abandon)(void* handle); // 13
};

// The standard file system "Standard IO": C buffered files through the
// platform's data-file layer, with the configured search path. Writes go
// to a temporary file that replaces the target when closed without error.
extern hx_filesystem HxStdFilesystem;

struct hx_file {
    void* raw_file;
    int writing;
    int mode;
    char name[1]; // the file name, stored in place
};

hx_filesystem* HxFilesystemSet(hx_filesystem* fsys);
int HxFileModeSet(int mode);

uint32_t HxFileAttributes();
hx_file* HxFileOpenRead(const char* name, uint32_t n, hx_mode_test_cbfn identify, int* mode);
hx_file* HxFileOpenWrite(const char* name, int mode);
void HxFileClose(hx_file* file);
// Closes a file being written without keeping what was written: a save that
// fails partway leaves the file it was replacing as it was.
void HxFileAbandon(hx_file* file);
int HxFileEof(hx_file* file);
int HxFileGetChar(hx_file* file);
void HxFilePutChar(int c, hx_file* file);
size_t HxFileRead(void* buffer, size_t size, size_t count, hx_file* file);
size_t HxFileWrite(const void* buffer, size_t size, size_t count, hx_file* file);
int HxFileGetLine(char* buffer, size_t size, hx_file* file);
void HxFilePutLine(const char* text, hx_file* file);
void HxFileAdvance(long count, hx_file* file);
int HxFilePrintf(hx_file* file, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The "FILE" class's free callback: closes the file system's handle.
void HxFileResourceFree(void* block, uint8_t classId, uint32_t size);
