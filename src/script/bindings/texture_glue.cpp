#include "script/bindings/texture_glue.h"

#include <vector>

#include "gfx/Texture.h"
#include "script/bindings/geometry_glue.h"
#include "tolua++.h"

// tolua_error leaves through longjmp: nothing with a destructor may be alive where it is called.

namespace {

constexpr int kBytesPerPixel = 4;

// The texture of a file name, loading it on first use; null when it cannot be had.
ITextureObject* LoadedTexture(const char* name)
{
    CTextureCache& cache = CTextureCache::Instance();
    ITextureObject* texture = cache.GetTextureObject(cache.LoadTexture(name));
    if (texture == nullptr || texture->GetBits() == nullptr)
        return nullptr;
    return texture;
}

size_t PixelCount(ITextureObject* texture)
{
    const int32_t width = texture->GetTexWidth();
    const int32_t height = texture->GetTexHeight();
    return width > 0 && height > 0 ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
}

}  // namespace

void ScriptPreloadImageFile(const char* name)
{
    CTextureCache::Instance().LoadTexture(name);
}

void ScriptRemoveTexture(const char* name)
{
    CTextureCache::Instance().RemoveTexture(name);
}

void ScriptCloneTexture(const char* source, const char* newName)
{
    CTextureCache& cache = CTextureCache::Instance();
    cache.CopyTexture(cache.LoadTexture(source), newName);
}

uint32_t ScriptSumTextureColor(lua_State* L, const char* name, const RGBA* color)
{
    if (color == nullptr)
        tolua_error(L, "SumTextureColor needs a colour (RGBA) as its second argument", nullptr);
    ITextureObject* texture = LoadedTexture(name);
    if (texture == nullptr)
        return kSumTextureColorUnloaded;
    const uint8_t* pixel = texture->GetBits();
    uint32_t count = 0;
    for (size_t i = PixelCount(texture); i > 0; --i, pixel += kBytesPerPixel) {
        if (pixel[0] == color->red && pixel[1] == color->green && pixel[2] == color->blue && pixel[3] != 0)
            ++count;
    }
    return count;
}

void ScriptReplaceTextureColor(const char* name, double r1, double g1, double b1, double r2, double g2, double b2)
{
    ITextureObject* texture = LoadedTexture(name);
    if (texture == nullptr)
        return;
    const int32_t match[3] = {ScriptToInt32(r1), ScriptToInt32(g1), ScriptToInt32(b1)};
    const uint8_t replacement[3] = {ScriptToByte(r2), ScriptToByte(g2), ScriptToByte(b2)};
    uint8_t* pixel = texture->GetBits();
    for (size_t i = PixelCount(texture); i > 0; --i, pixel += kBytesPerPixel) {
        if (pixel[0] == match[0] && pixel[1] == match[1] && pixel[2] == match[2]) {
            pixel[0] = replacement[0];
            pixel[1] = replacement[1];
            pixel[2] = replacement[2];
        }
    }
    texture->Refresh();
}

void ScriptTextureAddFrame(const char* name, double, double, double, double width)
{
    ITextureObject* texture = LoadedTexture(name);
    if (texture == nullptr)
        return;
    const int32_t w = ScriptToInt32(width);
    const int32_t texWidth = texture->GetTexWidth();
    const int32_t texHeight = texture->GetTexHeight();
    const uint8_t* bits = texture->GetBits();
    const std::vector<uint8_t> copy(bits, bits + PixelCount(texture) * kBytesPerPixel);
    // Eight shifted copies make the frame; the unshifted one last puts the image back on top.
    const int32_t minus = wrap32::Sub(0, w);
    const int32_t offsets[9][2] = {{w, 0},     {minus, 0}, {0, w},         {0, minus},
                                   {w, w},     {w, minus}, {minus, w},     {minus, minus}, {0, 0}};
    for (const auto& offset : offsets)
        texture->Paste(offset[0], offset[1], copy.data(), texWidth, texHeight, true);
    texture->Refresh();
}
