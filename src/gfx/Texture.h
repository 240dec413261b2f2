#pragma once
// Textures by integer id. Render objects name images by file; the cache decodes a file once,
// keeps a texture object per id, and the drawing device draws from it. The kind of texture follows
// the device: GL textures with a pixel copy for the OpenGL device, plain decoded images for the
// software device.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Types.h"

// Texture kinds, chosen by start-up together with the drawing device (memory images until then).
enum TextureKind : int32_t {
    kTextureMemoryImage = 0,
    kTextureOpenGL = 1,
    kTextureDirect3D8 = 2,
};
void SetTextureKind(int32_t kind);
int32_t GetTextureKind();
// GL uploads happen only once the OpenGL device has a context (it switches them on); before that
// GL textures keep their pixel copy only.
void SetTextureUploadEnabled(bool enabled);
bool IsTextureUploadEnabled();

class ITextureObject {
public:
    virtual ~ITextureObject() = default;
    // Pixel copy: 8-bit R, G, B, A per pixel, rows of GetTexWidth() pixels.
    virtual uint8_t* GetBits() = 0;
    // Uploads the pixel copy again after it was changed in place (memory images draw from the copy
    // itself, so for them it only counts).
    virtual void Refresh() = 0;
    // Releases the GPU texture and the pixel copy and deletes the object.
    virtual void Destroy() = 0;
    virtual int32_t GetWidth() = 0;
    virtual int32_t GetHeight() = 0;
    virtual void SetWidth(int32_t width) = 0;
    virtual void SetHeight(int32_t height) = 0;
    virtual int32_t GetTexWidth() = 0;
    virtual int32_t GetTexHeight() = 0;
    virtual void Upload() = 0;
    virtual void Release() = 0;
    virtual void GetRect(KVQRect& rect) = 0;
    virtual void SetOffset(int32_t x, int32_t y) = 0;
    // Writes a block of RGBA pixels (rows of width pixels) at (x, y); with blend each pixel is mixed
    // by its alpha. The part outside the allocated area is cut off.
    virtual void Paste(int32_t x, int32_t y, const uint8_t* pixels, int32_t width, int32_t height, bool blend) = 0;
    virtual int32_t GetKind() = 0;

    // How often Refresh was asked for: painting promises one upload per stroke message.
    uint32_t GetRefreshCount() const { return refreshCount_; }

protected:
    uint32_t refreshCount_ = 0;
};

// The pixel copy of a texture as painting addresses it: texel (x, y) starts at
// bits + (y * pitch + x) * 4, for 0 <= x < pitch and 0 <= y < rows (the allocated area, padding
// included). Null bits when the texture has no copy.
struct TexturePixels {
    uint8_t* bits = nullptr;
    int32_t pitch = 0;
    int32_t rows = 0;

    bool Holds(int64_t x, int64_t y) const { return bits && x >= 0 && y >= 0 && x < pitch && y < rows; }
    uint8_t* At(int32_t x, int32_t y) const
    {
        return bits + (static_cast<size_t>(y) * static_cast<size_t>(pitch) + static_cast<size_t>(x)) * 4;
    }
};
// The pixel-accessible form of a texture of either kind; empty for null.
TexturePixels GetTexturePixels(ITextureObject* texture);

// The largest side a texture may have: what the image decoder accepts, and far beyond what a
// device can draw (it keeps a hostile size from allocating absurdly).
constexpr int32_t kMaxTextureSide = 16384;

// The smallest power of two >= size (1 stays 1; sizes <= 0 give 1; sizes beyond 2^30 give 2^30).
int32_t PowerOfTwoAtLeast(int32_t size);

// Fills the padding of a pixel copy (rows of texWidth, texHeight rows) around its width x height
// image with copies of the image's edge texels: the right column repeated to the right, the
// bottom row repeated down, the bottom-right texel in the corner. A filtered sample at an edge
// then meets the edge's own colour, never the padding's black. Sizes outside the copy are held
// to it; an image without area leaves the copy as it is.
void FillPaddingWithEdgeTexels(uint8_t* bits, int32_t texWidth, int32_t texHeight, int32_t width, int32_t height);

// The line logged for GL failures while a texture is made: allocated width, allocated height,
// the GL error, the GL name.
constexpr const char* kCreateTextureLog = "CreateTexture:%d, %d, %d, %d";

class CKVQOpenGLESTexture : public ITextureObject {
public:
    // Copies width x height RGBA pixels (rows of width) into a zero-filled power-of-two pixel copy
    // and uploads it when a GL context is current. The GL texture's padding holds copies of the
    // edge texels (the pixel copy keeps its transparent padding, which is what scripts read).
    CKVQOpenGLESTexture(const uint8_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y);
    ~CKVQOpenGLESTexture() override;

    uint8_t* GetBits() override;
    void Refresh() override;
    void Destroy() override;
    int32_t GetWidth() override { return width_; }
    int32_t GetHeight() override { return height_; }
    void SetWidth(int32_t width) override { width_ = width; }
    void SetHeight(int32_t height) override { height_ = height; }
    int32_t GetTexWidth() override { return texWidth_; }
    int32_t GetTexHeight() override { return texHeight_; }
    void Upload() override;
    void Release() override;
    void GetRect(KVQRect& rect) override;
    void SetOffset(int32_t x, int32_t y) override { offsetX_ = x, offsetY_ = y; }
    void Paste(int32_t x, int32_t y, const uint8_t* pixels, int32_t width, int32_t height, bool blend) override;
    int32_t GetKind() override { return kTextureOpenGL; }

    // The GL texture name; -1 while there is none.
    int32_t GetGLName() const { return glName_; }
    // Uploads when there is no GL name yet, uploads are enabled and the last attempt did not fail
    // (the device calls it before drawing, so textures made before the context exists still draw).
    void EnsureUploaded();

private:
    void LogUpload(uint32_t error);
    // What glTexImage2D uploads: the pixel copy, with its padding filled from the edge texels.
    const uint8_t* UploadPixels();

    int32_t glName_ = -1;
    bool uploadFailed_ = false;  // the last Upload met a GL error: EnsureUploaded does not retry
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t offsetX_ = 0;
    int32_t offsetY_ = 0;
    int32_t texWidth_ = 1;
    int32_t texHeight_ = 1;
    std::vector<uint8_t> pixels_;
};

// A decoded image in memory (the software device's textures).
class CKVQImageTexture : public ITextureObject {
public:
    CKVQImageTexture(const uint8_t* pixels, int32_t width, int32_t height);
    uint8_t* GetBits() override;
    void Refresh() override { ++refreshCount_; }
    void Destroy() override;
    int32_t GetWidth() override { return width_; }
    int32_t GetHeight() override { return height_; }
    void SetWidth(int32_t width) override { width_ = width; }
    void SetHeight(int32_t height) override { height_ = height; }
    int32_t GetTexWidth() override { return texWidth_; }
    int32_t GetTexHeight() override { return texHeight_; }
    void Upload() override {}
    void Release() override {}
    void GetRect(KVQRect& rect) override;
    void SetOffset(int32_t x, int32_t y) override { offsetX_ = x, offsetY_ = y; }
    void Paste(int32_t x, int32_t y, const uint8_t* pixels, int32_t width, int32_t height, bool blend) override;
    int32_t GetKind() override { return kTextureMemoryImage; }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t offsetX_ = 0;
    int32_t offsetY_ = 0;
    int32_t texWidth_ = 0;
    int32_t texHeight_ = 0;
    std::vector<uint8_t> pixels_;
};

// Owned by the cache; destroying it destroys the texture.
struct TextureHandle {
    ITextureObject* texture = nullptr;
    int32_t id = -1;
    ~TextureHandle();
};

// A texture of the current kind from RGBA pixels (rows of width); null for kinds this platform
// cannot make (Direct3D 8), for null pixels and for sizes outside 1 … kMaxTextureSide.
ITextureObject* CreateTexture(const uint8_t* pixels, int32_t width, int32_t height);

class CTextureCache {
public:
    static CTextureCache& Instance();

    // The id of the named image, decoding it on first use; -1 for a null name, a missing file or
    // data that is not an image (nothing is cached then, so a later call tries again).
    int32_t LoadTexture(const char* name);
    // Why the last LoadTexture gave -1 (Loaded after one that gave an id).
    enum class LoadFailure { Loaded, NotFound, Unreadable, NotAnImage, NoTexture };
    LoadFailure LastLoadFailure() const { return lastFailure_; }
    TextureHandle* GetTexture(int32_t id);
    // The texture object of an id, or null (what the drawing devices use).
    ITextureObject* GetTextureObject(int32_t id);
    void RemoveTexture(const char* name);
    // The texture named newName when there is one (cached, or a file of that name); otherwise a
    // new texture of rect's size holding that part of the source's pixel copy (parts outside the
    // source read as transparent black), registered under newName. Null when newName is null,
    // the source id is unknown or rect has no area.
    TextureHandle* CloneTexture(int32_t id, const char* newName, const KVQRect& rect);
    // CloneTexture of the source's whole allocated area.
    TextureHandle* CopyTexture(int32_t id, const char* newName);
    // Registers pixels under a name without a file (tests, generated images); returns the id, or
    // -1 when no texture can be made. A name already registered keeps its id and gets the new
    // pixels.
    int32_t AddTexture(const char* name, const uint8_t* pixels, int32_t width, int32_t height);
    void UploadAll();
    void ReleaseAll();
    // Drops every texture (tests).
    void Clear();
    size_t Count() const { return handles_.size(); }

private:
    CTextureCache() = default;
    int32_t Insert(const std::string& name, ITextureObject* texture);

    std::map<std::string, int32_t> names_;
    std::map<int32_t, std::unique_ptr<TextureHandle>> handles_;
    int32_t nextId_ = 1;
    LoadFailure lastFailure_ = LoadFailure::Loaded;
    std::vector<uint8_t> scratch_;  // file bytes, reused between loads
};
