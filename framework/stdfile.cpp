// The standard file system "Standard IO": C buffered files through the
// platform's data-file layer ('\' separators, names matched without regard
// to case), the configured search path for bare names, and writes that go to
// a temporary file renamed over the target at close, or removed when the
// write failed or was abandoned.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/diag.h"
#include "framework/file.h"
#include "framework/sys_conf.h"
#include "platform/files.h"

namespace {

struct StdFile {
    std::FILE* f;
    std::string finalPath; // writing: the target the temporary file becomes
    std::string tempPath;
};

constexpr size_t kMaxName = 511;
constexpr size_t kMaxSearchPath = 1024;

uint32_t StdAttributes()
{
    return 31;
}

std::FILE* OpenAlongSearchPath(const char* name)
{
    if (std::FILE* f = platform::OpenDataFile(name, "rb"))
        return f;
    if (std::strpbrk(name, ":/\\"))
        return nullptr;
    char path[kMaxSearchPath];
    if (HxSystemConfigQueryString(HXT_HEXMIRE_PATH_STR, path, sizeof path) != HX_OK)
        return nullptr;
    const char* element = path;
    for (;;) {
        const char* end = std::strchr(element, ';');
        std::string candidate(element, end ? size_t(end - element) : std::strlen(element));
        if (!candidate.empty() && !std::strchr("/:\\", candidate.back()))
            candidate += '/';
        candidate += name;
        if (std::FILE* f = platform::OpenDataFile(candidate.c_str(), "rb"))
            return f;
        if (!end)
            return nullptr;
        element = end + 1;
    }
}

void* StdOpenRead(const char* name, uint32_t n, hx_mode_test_cbfn identify, int* mode)
{
    if (std::strlen(name) > kMaxName)
        return nullptr;
    std::FILE* f = OpenAlongSearchPath(name);
    if (!f)
        return nullptr;
    int found = mode ? *mode : HX_FILE_MODE_BINARY;
    if (n > 0) {
        std::vector<uint8_t> bytes(n);
        if (std::fread(bytes.data(), 1, n, f) != n) {
            std::fclose(f);
            return nullptr;
        }
        if (identify) {
            found = identify(bytes.data(), n);
            if (mode)
                *mode = found;
        }
        std::rewind(f);
    }
    if (found == HX_FILE_MODE_UNKNOWN) {
        std::fclose(f);
        return nullptr;
    }
    if (found != HX_FILE_MODE_BINARY && found != HX_FILE_MODE_TEXT) {
        std::fclose(f);
        HxFailure("HxStdFileOpenRead: invalid open_mode %d", found);
        return nullptr;
    }
    return new StdFile{f, {}, {}};
}

// The target's path with its folders matched to existing ones.
bool TargetPath(const char* name, std::string& out)
{
    if (platform::ResolveDataPath(name, out))
        return true;
    size_t slash = out.rfind('/');
    if (slash == std::string::npos)
        return true;
    std::string folder;
    if (!platform::ResolveDataPath(out.substr(0, slash + 1).c_str(), folder))
        return false;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    out = folder + out.substr(slash + 1);
    return true;
}

void* StdOpenWrite(const char* name, int /*mode: text and binary are the same here*/)
{
    if (std::strlen(name) > kMaxName)
        return nullptr;
    auto* file = new StdFile{nullptr, {}, {}};
    if (!TargetPath(name, file->finalPath)) {
        delete file;
        return nullptr;
    }
    file->f = platform::CreateTemporaryBeside(file->finalPath, file->tempPath);
    if (!file->f) {
        delete file;
        return nullptr;
    }
    return file;
}

std::FILE* F(void* handle)
{
    return static_cast<StdFile*>(handle)->f;
}

// A write lands only when every byte reached the temporary file and the
// disk (as platform::WriteFileAtomically does for whole buffers): after a
// write error the target is left as it was.
void StdClose(void* handle)
{
    auto* file = static_cast<StdFile*>(handle);
    if (file->tempPath.empty())
        std::fclose(file->f);
    else
        platform::CommitTemporary(file->f, file->tempPath, file->finalPath);
    delete file;
}

void StdAbandon(void* handle)
{
    auto* file = static_cast<StdFile*>(handle);
    if (file->tempPath.empty())
        std::fclose(file->f);
    else
        platform::AbandonTemporary(file->f, file->tempPath);
    delete file;
}

int StdEof(void* handle)
{
    return std::feof(F(handle));
}

int StdGetChr(void* handle)
{
    int c = std::fgetc(F(handle));
    return c == EOF ? -1 : c;
}

void StdPutChr(int c, void* handle)
{
    std::fputc(c, F(handle));
}

size_t StdRead(void* buffer, size_t size, size_t count, void* handle)
{
    return std::fread(buffer, size, count, F(handle));
}

size_t StdWrite(const void* buffer, size_t size, size_t count, void* handle)
{
    return std::fwrite(buffer, size, count, F(handle));
}

// At most size - 1 characters up to the end of the line; the newline and a
// carriage return before it are dropped.
int StdGetLine(char* buffer, size_t size, void* handle)
{
    if (size == 0)
        return 0;
    std::FILE* f = F(handle);
    size_t n = 0;
    while (n + 1 < size) {
        int c = std::fgetc(f);
        if (c == EOF || c == '\n')
            break;
        buffer[n++] = char(c);
    }
    if (n > 0 && buffer[n - 1] == '\r')
        --n;
    buffer[n] = 0;
    return int(n);
}

void StdPutLine(const char* text, void* handle)
{
    std::fputs(text, F(handle));
    std::fputc('\n', F(handle));
}

void StdAdvance(long count, void* handle)
{
    std::fseek(F(handle), count, SEEK_CUR);
}

} // namespace

// clang-format off
hx_filesystem HxStdFilesystem = {
    "Standard IO", StdAttributes, StdOpenRead, StdOpenWrite, StdClose, StdEof, StdGetChr,
    StdPutChr, StdRead, StdWrite, StdGetLine, StdPutLine, StdAdvance, StdAbandon,
};
// clang-format on
