// Glyphs of a font: lookup, the atlas they are packed into, advances and the drawing of one line.
// Layout in a rectangle is in TextLayout.cpp, the ".fnt" record in FontFile.cpp and the manager in
// FontManager.cpp.

#include "gfx/Font.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "gfx/DC.h"
#include "gfx/FontMath.h"
#include "gfx/Texture.h"

namespace {

// Pixels kept free between packed glyphs; the first page starts its cursor at (2, 2), later pages
// at (4, 4) unless they hold outlines, and every new row starts at x 2.
constexpr int32_t kGlyphGap = 4;
constexpr int32_t kRowStart = 2;
constexpr int32_t kFirstPageStart = 2;
constexpr int32_t kNewPageStart = 4;
// The outlined copy in the lower half of a page: the glyph written at these offsets around its
// place (the centre last).
constexpr int32_t kOutlineOffsets[9][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}, {1, 1},
                                           {-1, -1}, {1, -1}, {-1, 1}, {0, 0}};

// Page textures need names of their own in the texture cache.
uint32_t g_pageSerial = 0;

bool IsUsable(const GlyphImage& image)
{
    return image.width > 0 && image.height > 0 && image.width <= kMaxTextureSide &&
           image.height <= kMaxTextureSide &&
           image.rgba.size() >= static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
}

// Copies a glyph's pixels into a page at (x, y), cutting what falls outside. With onlyInk, only
// pixels that carry something are written, so overlapping copies add up to an outline.
void WritePixels(const TexturePixels& page, int64_t x, int64_t y, const GlyphImage& image, bool onlyInk)
{
    for (int32_t row = 0; row < image.height; ++row) {
        for (int32_t col = 0; col < image.width; ++col) {
            if (!page.Holds(x + col, y + row))
                continue;
            const uint8_t* from = &image.rgba[(static_cast<size_t>(row) * static_cast<size_t>(image.width) +
                                               static_cast<size_t>(col)) * 4];
            if (onlyInk && (from[0] | from[1] | from[2] | from[3]) == 0)
                continue;
            std::memcpy(page.At(static_cast<int32_t>(x + col), static_cast<int32_t>(y + row)), from, 4);
        }
    }
}

}  // namespace

CKVQFont::CKVQFont(FontCreateCallback create) : create_(create) {}

CKVQFont::~CKVQFont()
{
    ReleasePages();
}

void CKVQFont::ReleasePages()
{
    for (const std::string& name : atlas.pageNames)
        CTextureCache::Instance().RemoveTexture(name.c_str());
    atlas.pages.clear();
    atlas.pageNames.clear();
}

bool CKVQFont::CreatePlatformFont(const CKVQString& face, int32_t size)
{
    if (create_ == nullptr)
        return false;
    std::unique_ptr<IPlatformFont> made = create_(face, size);
    if (made == nullptr)
        return false;
    lineHeight = made->Metrics().lineSpacing;
    platformFont_ = std::move(made);
    noGlyph_.clear();
    if (&face != &faceName)
        faceName = face;
    requestedSize = size;
    atlas.rowHeight = lineHeight;
    return true;
}

// ---- glyph lookup and the atlas ----

bool CKVQFont::GetGlyph(uint16_t c, FontGlyph& out)
{
    int32_t page = -1;
    const bool found = LookUp(c, out, page);
    UploadChangedPages();
    return found;
}

// A page is uploaded whole, so new glyphs are uploaded together: once per drawn text, not once
// per glyph (a screen of new characters would otherwise send the page hundreds of times).
void CKVQFont::UploadChangedPages()
{
    if (!pagesChanged_)
        return;
    pagesChanged_ = false;
    for (int32_t id : atlas.pages) {
        if (ITextureObject* object = CTextureCache::Instance().GetTextureObject(id))
            object->Refresh();
    }
}

bool CKVQFont::LookUp(uint16_t c, FontGlyph& out, int32_t& page)
{
    page = -1;
    if (useBitmapFont) {
        const KVQRect* rect = bitmapFont.map.Find(c);
        if (rect == nullptr || !font_math::IsGlyphRect(*rect))
            return false;
        out = FontGlyph{bitmapFont.texture, *rect, rect->Width(), rect->Height()};
        return true;
    }
    if (const GlyphEntry* entry = atlas.map.Find(c)) {
        if (entry->page < 0 || static_cast<size_t>(entry->page) >= atlas.pages.size() ||
            !font_math::IsGlyphRect(entry->rect))
            return false;  // an entry of a damaged file: nothing to draw from
        page = entry->page;
        out = FontGlyph{atlas.pages[static_cast<size_t>(page)], entry->rect, entry->rect.Width(), entry->rect.Height()};
        return true;
    }
    if (platformFont_ == nullptr)
        return false;
    if (!noGlyph_.empty() && (noGlyph_[c >> 6] >> (c & 63) & 1) != 0)
        return false;
    GlyphImage image;
    bool made = platformFont_->Rasterise(c, image) && IsUsable(image);
    if (!made && c != kMissingChar) {
        image = GlyphImage{};
        made = platformFont_->Rasterise(kMissingChar, image) && IsUsable(image);
    }
    if (!made || !AddToAtlas(c, image, out)) {
        if (noGlyph_.empty())
            noGlyph_.assign(65536 / 64, 0);
        noGlyph_[c >> 6] |= uint64_t{1} << (c & 63);
        return false;
    }
    page = atlas.fillingPage;
    return true;
}

int32_t CKVQFont::AddPage(const uint8_t* pixels, int32_t width, int32_t height)
{
    std::vector<uint8_t> clear;
    if (pixels == nullptr) {
        clear.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
        pixels = clear.data();
    }
    const std::string name = "font page #" + std::to_string(++g_pageSerial);
    const int32_t id = CTextureCache::Instance().AddTexture(name.c_str(), pixels, width, height);
    if (id < 0)
        return -1;
    atlas.pages.push_back(id);
    atlas.pageNames.push_back(name);
    return id;
}

bool CKVQFont::NewPage()
{
    if (AddPage(nullptr, atlas.pageWidth, atlas.pageHeight) < 0)
        return false;
    atlas.fillingPage = static_cast<int32_t>(atlas.pages.size()) - 1;
    return true;
}

bool CKVQFont::AddToAtlas(uint16_t c, const GlyphImage& image, FontGlyph& out)
{
    const int64_t w = image.width, h = image.height;
    const int64_t pageWidth = atlas.pageWidth, pageHeight = atlas.pageHeight;
    if (pageWidth < 1 || pageHeight < 1 || pageWidth > kMaxTextureSide || pageHeight > kMaxTextureSide)
        return false;
    const int64_t usableHeight = atlas.outline ? pageHeight / 2 : pageHeight;
    // A glyph no fresh page could hold would open a new page for nothing every time.
    if (w + 2 * kGlyphGap > pageWidth || h + 2 * kGlyphGap > usableHeight)
        return false;

    int64_t x = atlas.cursorX, y = atlas.cursorY;
    if (atlas.pages.empty()) {
        if (!NewPage())
            return false;
        x = y = kFirstPageStart;
    } else if (atlas.fillingPage < 0 || static_cast<size_t>(atlas.fillingPage) >= atlas.pages.size()) {
        atlas.fillingPage = static_cast<int32_t>(atlas.pages.size()) - 1;  // a damaged packing state
    }
    x = std::max<int64_t>(x, 0);
    y = std::max<int64_t>(y, 0);
    if (x + w + kGlyphGap > pageWidth) {
        y += std::max<int64_t>(atlas.rowHeight, 0) + kGlyphGap;
        x = kRowStart;
    }
    if (y + h + kGlyphGap > usableHeight) {
        if (!NewPage())
            return false;
        x = y = atlas.outline ? kFirstPageStart : kNewPageStart;
    }

    const int32_t pageIndex = atlas.fillingPage;
    const int32_t texture = atlas.pages[static_cast<size_t>(pageIndex)];
    const KVQRect rect{static_cast<int32_t>(x), static_cast<int32_t>(x + w), static_cast<int32_t>(y),
                       static_cast<int32_t>(y + h)};
    atlas.map.Insert(c, GlyphEntry{pageIndex, rect});

    if (ITextureObject* object = CTextureCache::Instance().GetTextureObject(texture)) {
        const TexturePixels pixels = GetTexturePixels(object);
        if (atlas.outline) {
            const int64_t half = object->GetHeight() / 2;
            for (const auto& offset : kOutlineOffsets)
                WritePixels(pixels, x + offset[0], y + half + offset[1], image, true);
        }
        WritePixels(pixels, x, y, image, false);
        pagesChanged_ = true;  // uploaded once the text that needed the glyph is drawn
    }
    atlas.cursorX = static_cast<int32_t>(x + w + kGlyphGap);
    atlas.cursorY = static_cast<int32_t>(y);
    out = FontGlyph{texture, rect, image.width, image.height};
    return true;
}

// ---- measuring ----

int32_t CKVQFont::GetCharAdvance(uint16_t c)
{
    FontGlyph glyph;
    int32_t page = -1;
    return LookUp(password ? kPasswordChar : c, glyph, page) ? glyph.width : 0;
}

int32_t CKVQFont::ScaledAdvance(uint16_t c)
{
    return font_math::Scaled(GetCharAdvance(c), scale);
}

int32_t CKVQFont::GetTextWidth(std::u16string_view text)
{
    int64_t width = 0;
    for (char16_t c : text)
        width += ScaledAdvance(static_cast<uint16_t>(c));
    return font_math::Clamp32(width);
}

size_t CKVQFont::IndexAtWidth(std::u16string_view text, size_t start, int32_t width)
{
    if (width <= 0 || start > text.size())
        return start;
    int64_t running = 0;
    for (size_t i = start; i < text.size(); ++i) {
        running += ScaledAdvance(static_cast<uint16_t>(text[i]));
        if (running > width)
            return i;
    }
    return text.size();
}

// ---- drawing ----

void CKVQFont::EmitGlyph(int32_t texture, const KVQRect& source, const KVQRect& destination, uint32_t color)
{
    CKVQDC* device = GetCurrentDevice();
    if (device == nullptr)
        return;
    if (GlyphCache* cache = device->GetGlyphCache()) {
        cache->push_back(GlyphDraw{texture, source, destination, color});
        return;
    }
    device->StretchBlit(texture, source, destination, color);
}

void CKVQFont::DrawLine(std::u16string_view line, int32_t x, int32_t y, uint32_t color)
{
    DrawRun(line, x, y, color, 0);
    UploadChangedPages();
}

void CKVQFont::DrawRun(std::u16string_view line, int32_t x, int32_t y, uint32_t color, int32_t extraPerSpace)
{
    if (GetCurrentDevice() == nullptr)
        return;
    using font_math::Clamp32;
    const int64_t bottom = static_cast<int64_t>(y) + font_math::Scaled(lineHeight, scale);
    const int64_t outlineGrow = std::max<int64_t>(1, font_math::Clamp32(std::isfinite(scale) ? scale : 0.0f));
    const uint32_t outlineRgba = PackColor(outlineColor);
    int64_t pen = x;
    for (char16_t unit : line) {
        FontGlyph glyph;
        int32_t page = -1;
        if (LookUp(password ? kPasswordChar : static_cast<uint16_t>(unit), glyph, page)) {
            const int64_t advance = font_math::Scaled(glyph.width, scale);
            const KVQRect destination{Clamp32(pen), Clamp32(pen + advance),
                                      Clamp32(bottom - font_math::Scaled(glyph.height, scale)), Clamp32(bottom)};
            if (drawOutline && atlas.outline && page >= 0) {
                // The outlined copy lies in the lower half of the page, one pixel wider all round.
                ITextureObject* object = CTextureCache::Instance().GetTextureObject(glyph.texture);
                const int64_t half = object != nullptr ? object->GetHeight() / 2 : 0;
                const KVQRect source{Clamp32(int64_t{glyph.source.left} - 1), Clamp32(int64_t{glyph.source.right} + 1),
                                     Clamp32(glyph.source.top + half - 1), Clamp32(glyph.source.bottom + half + 1)};
                const KVQRect grown{Clamp32(destination.left - outlineGrow), Clamp32(destination.right + outlineGrow),
                                    Clamp32(destination.top - outlineGrow),
                                    Clamp32(destination.bottom + outlineGrow)};
                if (object != nullptr)
                    EmitGlyph(glyph.texture, source, grown, outlineRgba);
            }
            if (glyph.texture >= 0)
                EmitGlyph(glyph.texture, glyph.source, destination, color);
            pen += advance;
        }
        if (extraPerSpace != 0 && !password && (unit == u' ' || unit == u'\t'))
            pen += extraPerSpace;
    }
}

// ---- device resources ----

void CKVQFont::ReleaseDevice()
{
    for (int32_t id : atlas.pages) {
        if (ITextureObject* object = CTextureCache::Instance().GetTextureObject(id))
            object->Release();
    }
}

void CKVQFont::RestoreDevice()
{
    for (int32_t id : atlas.pages) {
        if (ITextureObject* object = CTextureCache::Instance().GetTextureObject(id))
            object->Upload();
    }
}
