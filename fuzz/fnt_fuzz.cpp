// Reads hostile bytes as a ".fnt" record. Whatever loads must draw and measure without harm, and
// store and load again to the same bytes; whatever does not load must say why and keep nothing.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "gfx/DC.h"
#include "gfx/Font.h"
#include "gfx/Texture.h"
#include "io/Archive.h"
#include "io/MemFile.h"

namespace {

std::vector<uint8_t> Store(CKVQFont& font)
{
    CIMemFile stream;
    CIArchive ar(&stream, CIArchive::SM_WRITE);
    if (!font.TransferRecord(ar))
        std::abort();
    return std::vector<uint8_t>(stream.GetBuffer(), stream.GetBuffer() + stream.GetSize());
}

bool Load(CKVQFont& font, const uint8_t* data, size_t size)
{
    CIMemFile stream(data, static_cast<int32_t>(size));
    CIArchive ar(&stream, CIArchive::SM_READ);
    return font.TransferRecord(ar);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return 0;
    CKVQFont font;
    if (!Load(font, data, size)) {
        if (font.GetLoadError().empty() || !font.atlas.pages.empty() || font.atlas.map.Size() != 0)
            std::abort();
        return 0;
    }

    CKVQDC device;
    GlyphCache draws;
    device.SetGlyphCache(&draws);
    CKVQDC* previous = SetCurrentDevice(&device);
    const std::u16string text = u"Ab c\n\u4e2d?*\tzz";
    for (int32_t mode = 0; mode < 8; ++mode) {
        font.DrawText(text, KVQRect{0, 37, 0, 90}, mode, 0xffffffffu);
        font.MeasureWidestLine(text, KVQRect{-5, 12, 0, 0}, mode);
    }
    font.useBitmapFont = !font.useBitmapFont;
    font.IndexAtWidth(text, 1, 25);
    font.DrawLine(text, 3, 4, 0xffffffffu);
    font.useBitmapFont = !font.useBitmapFont;
    SetCurrentDevice(previous);

    const std::vector<uint8_t> stored = Store(font);
    CKVQFont back;
    if (!Load(back, stored.data(), stored.size()) || Store(back) != stored)
        std::abort();
    return 0;
}
