#include "platform/SystemFonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>

namespace platform {

struct LoadedFace {
    FT_Face face = nullptr;
};

namespace {

// Measures of a face beyond these multiples of its em height come from a damaged face; such a
// height is refused, and advances are cut to it, so that no mask grows past a few megabytes.
constexpr int32_t kMaxCellPerEm = 4;
constexpr int32_t kMaxAdvancePerEm = 4;

// The library and the faces are never closed: fonts held by process-wide
// owners may be destroyed after any static of this file, and still free their sizes.
struct FaceCache {
    FT_Library library = nullptr;
    bool libraryTried = false;
    std::map<std::pair<std::string, int32_t>, LoadedFace*> faces;  // null: the file did not open
};

FaceCache& Faces()
{
    static FaceCache* cache = new FaceCache;
    return *cache;
}

FT_Library Library()
{
    FaceCache& cache = Faces();
    if (!cache.libraryTried) {
        cache.libraryTried = true;
        if (FT_Init_FreeType(&cache.library) != 0)
            cache.library = nullptr;
    }
    return cache.library;
}

LoadedFace* LoadFace(const std::string& file, int32_t index)
{
    FaceCache& cache = Faces();
    const auto key = std::make_pair(file, index);
    if (const auto found = cache.faces.find(key); found != cache.faces.end())
        return found->second;
    LoadedFace* loaded = nullptr;
    FT_Face face = nullptr;
    if (FT_Library library = Library();
        library != nullptr && index >= 0 && FT_New_Face(library, file.c_str(), index, &face) == 0) {
        if (face->charmap == nullptr && face->num_charmaps > 0)
            FT_Set_Charmap(face, face->charmaps[0]);
        loaded = new LoadedFace{face};
    }
    cache.faces.emplace(key, loaded);
    return loaded;
}

struct MatchCache {
    FcConfig* config = nullptr;
    bool configTried = false;
    std::map<std::string, std::optional<FaceMatch>> answers;
};

MatchCache& Matches()
{
    static MatchCache* cache = new MatchCache;
    return *cache;
}

// Unlike the faces, the configuration is closed at exit: fontconfig keeps part of what it
// parsed where only closing the configuration finds it. Fonts never ask for it once they are
// made, and a question asked after the close finds nothing.
void CloseConfig()
{
    MatchCache& cache = Matches();
    if (cache.config != nullptr)
        FcConfigDestroy(cache.config);
    cache.config = nullptr;
}

FcConfig* Config()
{
    MatchCache& cache = Matches();
    if (!cache.configTried) {
        cache.configTried = true;
        cache.config = FcInitLoadConfigAndFonts();
        if (cache.config != nullptr)
            std::atexit(CloseConfig);
    }
    return cache.config;
}

// Names reach fontconfig only as well-formed UTF-8 without zero bytes.
bool IsUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t follow = 0;
        if (lead >= 0x01 && lead < 0x80)
            follow = 0;
        else if (lead >= 0xC2 && lead < 0xE0)
            follow = 1;
        else if (lead >= 0xE0 && lead < 0xF0)
            follow = 2;
        else if (lead >= 0xF0 && lead < 0xF5)
            follow = 3;
        else
            return false;
        if (text.size() - i <= follow)
            return false;
        for (size_t k = 1; k <= follow; ++k) {
            if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += follow + 1;
    }
    return true;
}

std::optional<FaceMatch> AskFontconfig(const std::string& family)
{
    FcConfig* config = Config();
    if (config == nullptr)
        return std::nullopt;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr)
        return std::nullopt;
    const auto* asked = reinterpret_cast<const FcChar8*>(family.c_str());
    FcPatternAddString(pattern, FC_FAMILY, asked);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (font == nullptr)
        return std::nullopt;

    std::optional<FaceMatch> match;
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
        match.emplace();
        match->file = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch)
            match->index = index;
        // A face has a family name per language ("WenQuanYi Micro Hei", "文泉驿微米黑"); asking
        // for any of them is asking for that face.
        FcChar8* name = nullptr;
        for (int n = 0; FcPatternGetString(font, FC_FAMILY, n, &name) == FcResultMatch; ++n) {
            if (n == 0)
                match->family = reinterpret_cast<const char*>(name);
            if (FcStrCmpIgnoreCase(name, asked) == 0)
                match->exact = true;
        }
    }
    FcPatternDestroy(font);
    return match;
}

int32_t CeilPixels(FT_Pos value) { return static_cast<int32_t>((value + 63) >> 6); }
int32_t RoundPixels(FT_Pos value) { return static_cast<int32_t>((value + 32) >> 6); }

// Sets the mask's pixels from one rendered FreeType bitmap placed with its top-left at (left, top).
void CopyBitmap(const FT_Bitmap& bitmap, int32_t left, int32_t top, GlyphMask& out)
{
    const auto rows = static_cast<int32_t>(bitmap.rows);
    const auto columns = static_cast<int32_t>(bitmap.width);
    const int32_t pitch = bitmap.pitch;
    for (int32_t row = 0; row < rows; ++row) {
        const int32_t y = top + row;
        if (y < 0 || y >= out.height)
            continue;
        // A negative pitch stores the rows bottom first.
        const int32_t stored = pitch >= 0 ? row : rows - 1 - row;
        const uint8_t* line = bitmap.buffer + static_cast<ptrdiff_t>(stored) * std::abs(pitch);
        for (int32_t column = 0; column < columns; ++column) {
            const int32_t x = left + column;
            if (x < 0 || x >= out.width)
                continue;
            bool set = false;
            switch (bitmap.pixel_mode) {
            case FT_PIXEL_MODE_MONO:
                set = (line[column >> 3] & (0x80 >> (column & 7))) != 0;
                break;
            case FT_PIXEL_MODE_GRAY:
                set = line[column] != 0;
                break;
            case FT_PIXEL_MODE_BGRA:
                set = line[column * 4 + 3] != 0;
                break;
            default:
                break;
            }
            if (set)
                std::fill_n(out.rgba.begin() + (static_cast<ptrdiff_t>(y) * out.width + x) * 4, 4, uint8_t{255});
        }
    }
}

}  // namespace

bool MatchFace(const std::string& familyUtf8, FaceMatch& out)
{
    if (!IsUtf8(familyUtf8))
        return false;
    MatchCache& cache = Matches();
    auto found = cache.answers.find(familyUtf8);
    if (found == cache.answers.end())
        found = cache.answers.emplace(familyUtf8, AskFontconfig(familyUtf8)).first;
    if (!found->second)
        return false;
    out = *found->second;
    return true;
}

std::unique_ptr<SizedFace> SizedFace::Open(const std::string& file, int32_t index, int32_t pixelHeight)
{
    LoadedFace* loaded = LoadFace(file, index);
    if (loaded == nullptr)
        return nullptr;
    FT_Size size = nullptr;
    if (FT_New_Size(loaded->face, &size) != 0)
        return nullptr;
    std::unique_ptr<SizedFace> face(new SizedFace(loaded, size));
    if (!face->SetPixelHeight(pixelHeight))
        return nullptr;
    return face;
}

SizedFace::~SizedFace()
{
    if (size_ != nullptr)
        FT_Done_Size(size_);
}

bool SizedFace::Activate() const { return FT_Activate_Size(size_) == 0; }

bool SizedFace::SetPixelHeight(int32_t pixelHeight)
{
    if (pixelHeight < 1 || pixelHeight > kMaxPixelHeight || !Activate())
        return false;
    FT_Face face = face_->face;
    // A refused height leaves the size at the height the metrics still describe.
    const auto refuse = [this, face] {
        if (pixelHeight_ > 0)
            FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight_));
        return false;
    };
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelHeight)) != 0)
        return refuse();
    const FT_Size_Metrics& size = face->size->metrics;
    FaceMetrics metrics;
    metrics.ascent = std::max(0, CeilPixels(size.ascender));
    metrics.descent = std::max(0, CeilPixels(-size.descender));
    metrics.cellHeight = metrics.ascent + metrics.descent;
    if (metrics.cellHeight <= 0 || metrics.cellHeight > kMaxCellPerEm * pixelHeight)
        return refuse();
    metrics.externalLeading = std::max(0, RoundPixels(size.height) - metrics.cellHeight);
    metrics.widestWidth = std::clamp(RoundPixels(size.max_advance), 0, kMaxAdvancePerEm * pixelHeight);
    if (metrics.widestWidth == 0)
        metrics.widestWidth = metrics.cellHeight;
    pixelHeight_ = pixelHeight;
    metrics_ = metrics;
    return true;
}

bool SizedFace::SizeToCell(int32_t cellHeight)
{
    for (int32_t height = 1; height < cellHeight; ++height) {
        if (SetPixelHeight(height) && metrics_.cellHeight >= cellHeight)
            return true;
    }
    return SetPixelHeight(cellHeight);
}

bool SizedFace::HasCharacter(uint32_t code) const { return FT_Get_Char_Index(face_->face, code) != 0; }

bool SizedFace::Render(uint32_t code, int32_t baseline, int32_t height, int32_t emptyWidth, GlyphMask& out) const
{
    out = GlyphMask{};
    FT_Face face = face_->face;
    const FT_UInt glyph = FT_Get_Char_Index(face, code);
    if (glyph == 0 || height <= 0 || !Activate())
        return false;
    if (FT_Load_Glyph(face, glyph, FT_LOAD_TARGET_MONO) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
        return false;

    int32_t width = std::clamp(RoundPixels(slot->advance.x), 0, kMaxAdvancePerEm * pixelHeight_);
    if (width == 0)
        width = std::clamp(emptyWidth, 0, kMaxAdvancePerEm * pixelHeight_);
    if (width == 0)
        return false;
    out.width = width;
    out.height = std::min(height, kMaxCellPerEm * kMaxPixelHeight);
    out.rgba.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 4, 0);
    CopyBitmap(slot->bitmap, slot->bitmap_left, baseline - slot->bitmap_top, out);
    return true;
}

}  // namespace platform
