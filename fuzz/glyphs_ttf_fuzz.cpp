// Fuzz target: a TrueType file as the font maker's chosen font: opened at a
// few point sizes and every code page 1252 character's grey glyph taken.
// Glyph boxes and grey levels must stay within what the font maker sizes
// its work buffers by.
#include "platform/glyphs.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("kv_glyphs_fuzz_" + std::to_string(::getpid()) + ".ttf")).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    for (int points : {6, 12}) {
        platform::GlyphFace* face = platform::GlyphFaceOpen(path.c_str(), points);
        if (!face)
            continue;
        platform::GlyphTextHeight(face);
        for (int c = 32; c < 256; ++c) {
            platform::GreyGlyph g;
            if (!platform::GlyphRenderGrey(face, static_cast<uint8_t>(c), g))
                continue;
            if (g.width < 1 || g.height < 1 || g.pitch < g.width || g.pitch % 4 ||
                g.grey.size() != static_cast<size_t>(g.pitch) * static_cast<size_t>(g.height))
                __builtin_trap();
            for (uint8_t v : g.grey)
                if (v > 64)
                    __builtin_trap();
        }
        platform::GlyphFaceClose(face);
    }
    std::remove(path.c_str());
    return 0;
}
