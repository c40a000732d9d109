// Framework files: "FILE" resources over the installed file system.
#include "framework/file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "framework/diag.h"
#include "framework/fw_state.h"

namespace {

hx_filesystem* Fsys()
{
    return fw.fsys ? fw.fsys : &HxStdFilesystem;
}

hx_file* NewFile(void* raw, const char* name, int writing, int mode)
{
    size_t length = std::strlen(name);
    auto* file = static_cast<hx_file*>(HxResAllocate(fw.anchor, uint32_t(sizeof(hx_file) + length), HX_RES_FILE));
    if (!file) {
        if (Fsys()->close)
            Fsys()->close(raw);
        return nullptr;
    }
    file->raw_file = raw;
    file->writing = writing;
    file->mode = mode;
    std::memcpy(file->name, name, length + 1);
    return file;
}

} // namespace

hx_filesystem* HxFilesystemSet(hx_filesystem* fsys)
{
    hx_filesystem* previous = Fsys();
    fw.fsys = fsys ? fsys : &HxStdFilesystem;
    return previous;
}

int HxFileModeSet(int mode)
{
    int previous = fw.defaultFileMode;
    fw.defaultFileMode = mode;
    return previous;
}

uint32_t HxFileAttributes()
{
    HX_CHECK_AS(Fsys()->attributes != nullptr, "fw.fsys->attributes != NULL", "file", 40, 0);
    return Fsys()->attributes();
}

hx_file* HxFileOpenRead(const char* name, uint32_t n, hx_mode_test_cbfn identify, int* mode)
{
    HX_CHECK_AS(Fsys()->open_read != nullptr, "fw.fsys->open_read != NULL", "file", 52, nullptr);
    int found = mode ? *mode : HX_FILE_MODE_BINARY;
    void* raw = Fsys()->open_read(name, n, identify, &found);
    if (!raw)
        return nullptr;
    if (mode)
        *mode = found;
    return NewFile(raw, name, 0, found);
}

hx_file* HxFileOpenWrite(const char* name, int mode)
{
    HX_CHECK_AS(Fsys()->open_write != nullptr, "fw.fsys->open_write != NULL", "file", 75, nullptr);
    void* raw = Fsys()->open_write(name, mode);
    if (!raw)
        return nullptr;
    return NewFile(raw, name, 1, mode);
}

void HxFileClose(hx_file* file)
{
    HxResFree(file);
}

void HxFileAbandon(hx_file* file)
{
    if (!file)
        return;
    if (file->raw_file && file->writing && Fsys()->abandon) {
        Fsys()->abandon(file->raw_file);
        file->raw_file = nullptr;
    }
    HxResFree(file);
}

void HxFileResourceFree(void* block, uint8_t, uint32_t)
{
    auto* file = static_cast<hx_file*>(block);
    if (file->raw_file && Fsys()->close)
        Fsys()->close(file->raw_file);
    file->raw_file = nullptr;
}

int HxFileEof(hx_file* file)
{
    HX_CHECK_AS(Fsys()->eof != nullptr, "fw.fsys->eof != NULL", "file", 110, 1);
    return Fsys()->eof(file->raw_file);
}

int HxFileGetChar(hx_file* file)
{
    HX_CHECK_AS(Fsys()->getchr != nullptr, "fw.fsys->getchr != NULL", "file", 117, -1);
    return Fsys()->getchr(file->raw_file);
}

void HxFilePutChar(int c, hx_file* file)
{
    HX_CHECK_AS(Fsys()->putchr != nullptr, "fw.fsys->putchr != NULL", "file", 124, );
    Fsys()->putchr(c, file->raw_file);
}

size_t HxFileRead(void* buffer, size_t size, size_t count, hx_file* file)
{
    HX_CHECK_AS(Fsys()->read != nullptr, "fw.fsys->read != NULL", "file", 131, 0);
    return Fsys()->read(buffer, size, count, file->raw_file);
}

size_t HxFileWrite(const void* buffer, size_t size, size_t count, hx_file* file)
{
    HX_CHECK_AS(Fsys()->write != nullptr, "fw.fsys->write != NULL", "file", 138, 0);
    return Fsys()->write(buffer, size, count, file->raw_file);
}

int HxFileGetLine(char* buffer, size_t size, hx_file* file)
{
    HX_CHECK_AS(file->raw_file != nullptr, "file->raw_file != NULL", "file", 145, 0);
    if (!Fsys()->getline)
        return 0;
    return Fsys()->getline(buffer, size, file->raw_file);
}

void HxFilePutLine(const char* text, hx_file* file)
{
    HX_CHECK_AS(Fsys()->putline != nullptr, "fw.fsys->putline != NULL", "file", 152, );
    Fsys()->putline(text, file->raw_file);
}

void HxFileAdvance(long count, hx_file* file)
{
    HX_CHECK_AS(Fsys()->advance != nullptr, "fw.fsys->advance != NULL", "file", 159, );
    Fsys()->advance(count, file->raw_file);
}

// Formats into a buffer of its own (the scratch string may be in use by the
// caller); a longer line is formatted into a block of its exact size.
int HxFilePrintf(hx_file* file, const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return 0;
    }
    if (size_t(length) < sizeof line) {
        va_end(again);
        HxFileWrite(line, 1, size_t(length), file);
        return length;
    }
    auto* big = static_cast<char*>(HxMemAllocate(uint32_t(length + 1), HX_RES_STRING));
    if (big) {
        std::vsnprintf(big, size_t(length) + 1, format, again);
        HxFileWrite(big, 1, size_t(length), file);
        HxMemFree(big);
    }
    va_end(again);
    return big ? length : 0;
}
