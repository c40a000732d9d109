// Fuzz target: picture fonts, as "-fontmake" builds them. The input holds
// three pictures (each a big-endian length and that many bytes) that become
// the space, "A" and "B" of a glyph folder; the font is built from them,
// written as a ".fnt" file and loaded back through the resource manager.
// Whatever the pictures hold, a glyph that was made is read back with its
// size, and the lower-case letters share the upper-case glyphs.
#include "fuzz/fuzz_support.h"
#include "system/rasterfont.h"
#include "system/res/font.h"
#include "system/res/resman.h"

#include <cstdint>
#include <memory>

namespace {

constexpr const char* kFolder = "fonts\\glyphs";
constexpr const char* kFont = "fonts\\made.fnt";
constexpr const char* kPictures[] = {"fonts/glyphs/c032.bbm", "fonts/glyphs/c065.bbm", "fonts/glyphs/c066.bbm"};

bool Start()
{
    fuzz::EnterScratchFolder({"fonts/glyphs"});
    SetMessageBoxHook(fuzz::ThrowOnMessageBox);
    if (!ResInit())
        std::abort();
    ResMark();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    fuzz::InputReader in{data, size};
    for (const char* picture : kPictures) {
        uint32_t length = in.Word();
        if (length > in.size - in.at)
            length = static_cast<uint32_t>(in.size - in.at);
        fuzz::WriteFile(picture, data + in.at, length);
        in.at += length;
    }
    try {
        const auto font = std::make_unique<RasterFont>();
        BuildPictureFont(font.get(), kFolder);
        if (font->glyphs['a'] != font->glyphs['A'] && font->glyphs[' '])
            __builtin_trap();
        if (font->glyphs[' '] && FontSaveFnt(kFont, font.get())) {
            const auto* again = static_cast<const RasterFont*>(ResGet(ResRegister(kFont, ResType::FntFont)));
            if (!again)
                __builtin_trap(); // what was written loads
            for (int c : {' ', 'A', 'B'})
                if (font->glyphs[c] && again->glyphs[c] &&
                    (again->glyphs[c]->width != font->glyphs[c]->width ||
                     again->glyphs[c]->height != font->glyphs[c]->height))
                    __builtin_trap();
        }
    } catch (const fuzz::Stopped&) {
    }
    ResReleaseToMark();
    return 0;
}
