// Fuzz target: data paths looked up and opened. A scratch data tree holds a
// file, a folder, a FIFO, a link to /dev/zero, a link that loops and names
// that differ only in case; the input is a list of paths (one a line) tried
// against it with every way of reading. Nothing may wait on the FIFO or read
// what is not a regular file, a whole read keeps to its limit, and a failure
// always says why.
#include "fuzz/fuzz_support.h"
#include "platform/files.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kLimit = 64;

bool MakeTree()
{
    fuzz::EnterScratchFolder({"zqk/Resource/Art", "zqk/resource/art", "folder.txt"});
    const uint8_t bytes[] = "data file";
    fuzz::WriteFile("zqk/Resource/Art/Picture.PCX", bytes, sizeof bytes);
    fuzz::WriteFile("zqk/resource/art/picture.pcx", bytes, sizeof bytes - 1);
    std::vector<uint8_t> large(kLimit + 1, 'x');
    fuzz::WriteFile("large.bin", large.data(), large.size());
    ::mkfifo("fifo.scr", 0600);
    ::symlink("/dev/zero", "zero.bin");
    ::symlink("loop.bin", "loop.bin");
    return true;
}

void Try(const std::string& path)
{
    const char* p = path.c_str();
    std::string real;
    const bool resolved = platform::ResolveDataPath(p, real);
    const bool exists = platform::DataFileExists(p);
    if (exists && !resolved)
        __builtin_trap();
    if (std::FILE* f = platform::OpenDataFile(p, "rb")) {
        if (!exists || *platform::DataFileFailure())
            __builtin_trap(); // only a regular file opens
        std::fclose(f);
    } else if (!*platform::DataFileFailure()) {
        __builtin_trap(); // a failure says why
    }
    std::vector<uint8_t> bytes;
    if (platform::ReadWholeFile(p, bytes, kLimit)) {
        if (!exists || bytes.size() > kLimit)
            __builtin_trap();
    } else if (!bytes.empty() || !*platform::DataFileFailure()) {
        __builtin_trap();
    }
    // An update mode never empties or creates anything that is not a file.
    if (std::FILE* f = platform::OpenDataFile(p, "r+b")) {
        if (!exists)
            __builtin_trap();
        std::fclose(f);
    }
    (void)platform::DataPathOfHostFile(p);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool made = MakeTree();
    (void)made;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t at = 0;
    for (int n = 0; n < 64 && at <= text.size(); ++n) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string path = text.substr(at, end - at);
        if (path.find('\0') == std::string::npos)
            Try(path);
        at = end + 1;
    }
    return 0;
}
