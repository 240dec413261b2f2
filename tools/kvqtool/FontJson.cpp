#include "FontJson.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "common/EngineString.h"
#include "gfx/Font.h"
#include "gfx/Texture.h"

namespace {

const char* const kHexKey = "hex";
const char* const kRectKeys[] = {"left", "right", "top", "bottom"};
constexpr int32_t kLargestCode = 0xFFFF;

// ---- names in the game's code page ----

bool IsPlainAscii(const std::string& text)
{
    for (unsigned char c : text) {
        if (c == 0 || c >= 0x80)
            return false;
    }
    return true;
}

std::string Bytes(const CKVQString& s)
{
    return std::string(s.c_str(), static_cast<size_t>(s.GetByteLength()));
}

FontJson EncodeName(const CKVQString& name)
{
    const std::string bytes = Bytes(name);
    if (IsPlainAscii(bytes))
        return bytes;
    const std::string utf8 = name.GetUtf8String();
    CKVQString back;
    back.AssignUtf8(utf8.data(), static_cast<int32_t>(utf8.size()));
    if (Bytes(back) == bytes)
        return utf8;
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return FontJson{{kHexKey, hex}};
}

bool DecodeName(const FontJson& value, CKVQString& out)
{
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (IsPlainAscii(text))
            out.Assign(text.data(), static_cast<int32_t>(text.size()));
        else
            out.AssignUtf8(text.data(), static_cast<int32_t>(text.size()));
        return true;
    }
    if (!value.is_object() || value.size() != 1 || !value.contains(kHexKey) || !value[kHexKey].is_string())
        return false;
    const std::string& hex = value[kHexKey].get_ref<const std::string&>();
    if (hex.size() % 2 != 0)
        return false;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        uint8_t byte = 0;
        auto result = std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
        if (result.ec != std::errc() || result.ptr != hex.data() + i + 2 || byte == 0)
            return false;
        bytes += static_cast<char>(byte);
    }
    out.Assign(bytes.data(), static_cast<int32_t>(bytes.size()));
    return true;
}

// ---- base64 ----

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string ToBase64(const uint8_t* data, size_t size)
{
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        const uint32_t n = (uint32_t{data[i]} << 16) | (i + 1 < size ? uint32_t{data[i + 1]} << 8 : 0) |
                           (i + 2 < size ? uint32_t{data[i + 2]} : 0);
        out += kBase64[(n >> 18) & 63];
        out += kBase64[(n >> 12) & 63];
        out += i + 1 < size ? kBase64[(n >> 6) & 63] : '=';
        out += i + 2 < size ? kBase64[n & 63] : '=';
    }
    return out;
}

bool FromBase64(const std::string& text, std::vector<uint8_t>& out)
{
    if (text.size() % 4 != 0)
        return false;
    int8_t value[256];
    std::memset(value, -1, sizeof value);
    for (int i = 0; i < 64; ++i)
        value[static_cast<unsigned char>(kBase64[i])] = static_cast<int8_t>(i);
    out.clear();
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t padding = last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
        uint32_t n = 0;
        for (size_t k = 0; k < 4; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[i + k]);
            if (k >= 4 - padding) {
                n <<= 6;
                continue;
            }
            if (value[c] < 0)
                return false;
            n = (n << 6) | static_cast<uint32_t>(value[c]);
        }
        out.push_back(static_cast<uint8_t>(n >> 16));
        if (padding < 2)
            out.push_back(static_cast<uint8_t>(n >> 8));
        if (padding < 1)
            out.push_back(static_cast<uint8_t>(n));
    }
    return true;
}

// ---- reading with paths ----

// Walks a JSON object field by field, noting the first problem with its path.
class Reader {
public:
    Reader(const FontJson& object, std::string path, std::string& error)
        : object_(object), path_(std::move(path)), error_(error)
    {
        if (!object_.is_object())
            Fail(path_.empty() ? "/" : path_, "expected an object");
    }
    bool Ok() const { return error_.empty(); }
    void Fail(const std::string& where, const std::string& problem)
    {
        if (error_.empty())
            error_ = where + ": " + problem;
    }
    std::string Path(const char* key) const { return path_ + "/" + key; }
    const FontJson* Field(const char* key)
    {
        seen_.insert(key);
        if (!Ok())
            return nullptr;
        if (!object_.contains(key)) {
            Fail(Path(key), "missing");
            return nullptr;
        }
        return &object_[key];
    }
    void Int(const char* key, int32_t& out, int64_t low = std::numeric_limits<int32_t>::min(),
             int64_t high = std::numeric_limits<int32_t>::max())
    {
        const FontJson* v = Field(key);
        if (v == nullptr)
            return;
        int64_t n = 0;
        if (v->is_number_unsigned() && v->get<uint64_t>() <= static_cast<uint64_t>(high))
            n = static_cast<int64_t>(v->get<uint64_t>());
        else if (v->is_number_integer() && !v->is_number_unsigned())
            n = v->get<int64_t>();
        else
            n = low - 1;
        if (n < low || n > high) {
            Fail(Path(key), low == std::numeric_limits<int32_t>::min() ? "expected a 32-bit integer"
                                                                        : "expected an integer from " +
                                                                              std::to_string(low) + " to " +
                                                                              std::to_string(high));
            return;
        }
        out = static_cast<int32_t>(n);
    }
    void Flag(const char* key, bool& out)
    {
        if (const FontJson* v = Field(key)) {
            if (!v->is_boolean())
                Fail(Path(key), "expected true or false");
            else
                out = v->get<bool>();
        }
    }
    void Name(const char* key, CKVQString& out)
    {
        if (const FontJson* v = Field(key); v != nullptr && !DecodeName(*v, out))
            Fail(Path(key), "expected text or {\"hex\": ...}");
    }
    const FontJson* Array(const char* key)
    {
        const FontJson* v = Field(key);
        if (v != nullptr && !v->is_array()) {
            Fail(Path(key), "expected an array");
            return nullptr;
        }
        return v;
    }
    // After the fields: anything else is a mistake.
    void NoOthers()
    {
        if (!Ok())
            return;
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (seen_.count(it.key()) == 0) {
                Fail(Path(it.key().c_str()), "unknown field");
                return;
            }
        }
    }

private:
    const FontJson& object_;
    std::string path_;
    std::string& error_;
    std::set<std::string> seen_;
};

template <typename Entry, typename Fields>
bool ReadGlyphs(const FontJson& list, const std::string& path, GlyphTreeMap<Entry>& map, std::string& error,
                Fields&& fields)
{
    for (size_t i = 0; i < list.size(); ++i) {
        Reader glyph(list[i], path + "/" + std::to_string(i), error);
        int32_t code = 0;
        glyph.Int("code", code, 0, kLargestCode);
        Entry entry{};
        fields(glyph, entry);
        glyph.NoOthers();
        if (!glyph.Ok())
            return false;
        if (map.Find(static_cast<uint16_t>(code)) != nullptr) {
            glyph.Fail(glyph.Path("code"), std::to_string(code) + " is listed twice");
            return false;
        }
        map.Insert(static_cast<uint16_t>(code), entry);
    }
    return true;
}

void ReadRect(Reader& r, KVQRect& rect)
{
    r.Int(kRectKeys[0], rect.left);
    r.Int(kRectKeys[1], rect.right);
    r.Int(kRectKeys[2], rect.top);
    r.Int(kRectKeys[3], rect.bottom);
}

void PutRect(FontJson& out, const KVQRect& rect)
{
    out[kRectKeys[0]] = rect.left;
    out[kRectKeys[1]] = rect.right;
    out[kRectKeys[2]] = rect.top;
    out[kRectKeys[3]] = rect.bottom;
}

}  // namespace

FontJson FontToJson(CKVQFont& font)
{
    FontJson glyphs = FontJson::array();
    font.atlas.map.ForEach([&](uint16_t code, const GlyphEntry& e) {
        FontJson g{{"code", code}, {"page", e.page}};
        PutRect(g, e.rect);
        glyphs.push_back(std::move(g));
    });
    FontJson pages = FontJson::array();
    for (int32_t id : font.atlas.pages) {
        ITextureObject* object = CTextureCache::Instance().GetTextureObject(id);
        const TexturePixels pixels = GetTexturePixels(object);
        const int32_t width = object != nullptr ? object->GetWidth() : 0;
        const int32_t height = object != nullptr ? object->GetHeight() : 0;
        std::vector<uint8_t> rgba;
        rgba.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* row = pixels.At(0, y);
            rgba.insert(rgba.end(), row, row + static_cast<size_t>(width) * 4);
        }
        pages.push_back(FontJson{{"width", width}, {"height", height}, {"rgba", ToBase64(rgba.data(), rgba.size())}});
    }
    FontJson bitmapGlyphs = FontJson::array();
    font.bitmapFont.map.ForEach([&](uint16_t code, const KVQRect& rect) {
        FontJson g{{"code", code}};
        PutRect(g, rect);
        bitmapGlyphs.push_back(std::move(g));
    });
    const CGlyphAtlas& a = font.atlas;
    return FontJson{
        {"requestedSize", font.requestedSize},
        {"lineHeight", font.lineHeight},
        {"face", EncodeName(font.faceName)},
        {"useBitmapFont", font.useBitmapFont},
        {"outline", font.outline},
        {"secondName", EncodeName(font.secondName)},
        {"regenerate", font.regenerate},
        {"atlas",
         {{"cursorX", a.cursorX},
          {"cursorY", a.cursorY},
          {"rowHeight", a.rowHeight},
          {"pageWidth", a.pageWidth},
          {"pageHeight", a.pageHeight},
          {"fillingPage", a.fillingPage},
          {"outline", a.outline},
          {"glyphs", glyphs},
          {"pages", pages}}},
        {"bitmapFont", {{"image", EncodeName(font.bitmapFont.imageName)}, {"glyphs", bitmapGlyphs}}},
    };
}

bool FontFromJson(const FontJson& json, CKVQFont& font, std::string& error)
{
    error.clear();
    Reader top(json, "", error);
    top.Int("requestedSize", font.requestedSize);
    top.Int("lineHeight", font.lineHeight);
    top.Name("face", font.faceName);
    top.Flag("useBitmapFont", font.useBitmapFont);
    top.Flag("outline", font.outline);
    top.Name("secondName", font.secondName);
    top.Flag("regenerate", font.regenerate);

    const FontJson* atlasJson = top.Field("atlas");
    if (atlasJson != nullptr) {
        CGlyphAtlas& a = font.atlas;
        Reader atlas(*atlasJson, "/atlas", error);
        atlas.Int("cursorX", a.cursorX);
        atlas.Int("cursorY", a.cursorY);
        atlas.Int("rowHeight", a.rowHeight);
        atlas.Int("pageWidth", a.pageWidth, 1, kMaxTextureSide);
        atlas.Int("pageHeight", a.pageHeight, 1, kMaxTextureSide);
        atlas.Int("fillingPage", a.fillingPage);
        atlas.Flag("outline", a.outline);
        if (const FontJson* glyphs = atlas.Array("glyphs")) {
            ReadGlyphs(*glyphs, "/atlas/glyphs", a.map, error, [](Reader& r, GlyphEntry& e) {
                r.Int("page", e.page);
                ReadRect(r, e.rect);
            });
        }
        if (const FontJson* pages = atlas.Array("pages")) {
            for (size_t i = 0; i < pages->size() && error.empty(); ++i) {
                const std::string path = "/atlas/pages/" + std::to_string(i);
                Reader page((*pages)[i], path, error);
                int32_t width = 0, height = 0;
                page.Int("width", width, 1, kMaxTextureSide);
                page.Int("height", height, 1, kMaxTextureSide);
                const FontJson* rgba = page.Field("rgba");
                page.NoOthers();
                if (!page.Ok())
                    break;
                std::vector<uint8_t> pixels;
                if (!rgba->is_string() || !FromBase64(rgba->get<std::string>(), pixels)) {
                    page.Fail(path + "/rgba", "expected base64 text");
                    break;
                }
                const size_t expected = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
                if (pixels.size() != expected) {
                    page.Fail(path + "/rgba",
                              std::to_string(pixels.size()) + " bytes, " + std::to_string(expected) + " expected");
                    break;
                }
                if (font.AddPage(pixels.data(), width, height) < 0)
                    page.Fail(path, "no texture can be made");
            }
        }
        atlas.NoOthers();
    }

    const FontJson* bitmapJson = top.Field("bitmapFont");
    if (bitmapJson != nullptr) {
        Reader bitmap(*bitmapJson, "/bitmapFont", error);
        bitmap.Name("image", font.bitmapFont.imageName);
        if (const FontJson* glyphs = bitmap.Array("glyphs"))
            ReadGlyphs(*glyphs, "/bitmapFont/glyphs", font.bitmapFont.map, error, ReadRect);
        bitmap.NoOthers();
    }
    top.NoOthers();
    return error.empty();
}
