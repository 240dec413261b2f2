#include "gfx/Texture.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "app/CoreCfg.h"
#include "io/FileSystem.h"
#include "platform/ImageCodec.h"

static_assert(kMaxTextureSide >= platform::kMaxImageSide, "every decodable image must fit a texture");

namespace {

constexpr int32_t kBytesPerPixel = 4;
constexpr int32_t kLargestPowerOfTwo = 1 << 30;

int32_t g_textureKind = kTextureMemoryImage;
bool g_uploadsEnabled = false;

bool IsTextureSize(int32_t width, int32_t height)
{
    return width > 0 && height > 0 && width <= kMaxTextureSide && height <= kMaxTextureSide;
}

size_t PixelBytes(int32_t width, int32_t height)
{
    return static_cast<size_t>(width) * static_cast<size_t>(height) * kBytesPerPixel;
}

// Copies rows of width pixels into a zero-filled block whose rows are pitchPixels wide.
void CopyRows(uint8_t* to, int32_t pitchPixels, const uint8_t* from, int32_t width, int32_t height)
{
    if (from == nullptr)
        return;
    const size_t rowBytes = static_cast<size_t>(width) * kBytesPerPixel;
    for (int32_t row = 0; row < height; ++row)
        std::memcpy(to + static_cast<size_t>(row) * pitchPixels * kBytesPerPixel, from + row * rowBytes, rowBytes);
}

// Writes a block of RGBA pixels into a pixel copy of texWidth x texHeight. The target rectangle is
// cut to the allocated area and the source with it, so any position (negative, or so large that
// x + width would overflow) stays inside. With blend, each channel (alpha included) becomes
// (source x a + destination x (256 - a)) / 256, a being the source alpha.
void PasteInto(uint8_t* bits, int32_t texWidth, int32_t texHeight, int32_t x, int32_t y, const uint8_t* pixels,
               int32_t width, int32_t height, bool blend)
{
    if (bits == nullptr || pixels == nullptr || width <= 0 || height <= 0)
        return;
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} + width, texWidth);
    const int64_t bottom = std::min<int64_t>(int64_t{y} + height, texHeight);
    if (left >= right || top >= bottom)
        return;
    const auto columns = static_cast<size_t>(right - left);
    for (int64_t row = top; row < bottom; ++row) {
        const uint8_t* from = pixels + ((row - y) * width + (left - x)) * kBytesPerPixel;
        uint8_t* to = bits + (row * texWidth + left) * kBytesPerPixel;
        if (!blend) {
            std::memcpy(to, from, columns * kBytesPerPixel);
            continue;
        }
        for (size_t i = 0; i < columns; ++i, from += kBytesPerPixel, to += kBytesPerPixel) {
            const uint32_t a = from[3];
            for (int channel = 0; channel < kBytesPerPixel; ++channel)
                to[channel] = static_cast<uint8_t>((from[channel] * a + to[channel] * (256 - a)) / 256);
        }
    }
}

// The rect a texture reports: its offset and its logical size.
KVQRect PlacedRect(int32_t x, int32_t y, int32_t width, int32_t height)
{
    return KVQRect{x, wrap32::Add(x, width), y, wrap32::Add(y, height)};
}

}  // namespace

void FillPaddingWithEdgeTexels(uint8_t* bits, int32_t texWidth, int32_t texHeight, int32_t width, int32_t height)
{
    width = std::min(width, texWidth);
    height = std::min(height, texHeight);
    if (bits == nullptr || width <= 0 || height <= 0)
        return;
    const size_t pitch = static_cast<size_t>(texWidth) * kBytesPerPixel;
    for (int32_t row = 0; row < height; ++row) {
        uint8_t* line = bits + static_cast<size_t>(row) * pitch;
        const uint8_t* edge = line + static_cast<size_t>(width - 1) * kBytesPerPixel;
        for (int32_t column = width; column < texWidth; ++column)
            std::memcpy(line + static_cast<size_t>(column) * kBytesPerPixel, edge, kBytesPerPixel);
    }
    const uint8_t* lastRow = bits + static_cast<size_t>(height - 1) * pitch;
    for (int32_t row = height; row < texHeight; ++row)
        std::memcpy(bits + static_cast<size_t>(row) * pitch, lastRow, pitch);
}

void SetTextureKind(int32_t kind)
{
    g_textureKind = kind;
}

int32_t GetTextureKind()
{
    return g_textureKind;
}

void SetTextureUploadEnabled(bool enabled)
{
    g_uploadsEnabled = enabled;
}

bool IsTextureUploadEnabled()
{
    return g_uploadsEnabled;
}

int32_t PowerOfTwoAtLeast(int32_t size)
{
    if (size >= kLargestPowerOfTwo)
        return kLargestPowerOfTwo;
    int32_t power = 1;
    while (power < size)
        power <<= 1;
    return power;
}

// ---- OpenGL textures ----

CKVQOpenGLESTexture::CKVQOpenGLESTexture(const uint8_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y)
    : width_(width), height_(height), offsetX_(x), offsetY_(y)
{
    // The sides are kept within what a texture may have, so a bad size can never over-allocate.
    const int32_t copyWidth = std::clamp(width, 0, kMaxTextureSide);
    const int32_t copyHeight = std::clamp(height, 0, kMaxTextureSide);
    texWidth_ = PowerOfTwoAtLeast(copyWidth);
    texHeight_ = PowerOfTwoAtLeast(copyHeight);
    pixels_.assign(PixelBytes(texWidth_, texHeight_), 0);
    CopyRows(pixels_.data(), texWidth_, pixels, copyWidth, copyHeight);
    Upload();
}

CKVQOpenGLESTexture::~CKVQOpenGLESTexture()
{
    Release();
}

uint8_t* CKVQOpenGLESTexture::GetBits()
{
    return pixels_.empty() ? nullptr : pixels_.data();
}

void CKVQOpenGLESTexture::LogUpload(uint32_t error)
{
    char line[96];
    std::snprintf(line, sizeof(line), kCreateTextureLog, texWidth_, texHeight_, static_cast<int>(error), glName_);
    KVQAPI_OutputDebugStr(line);
}

const uint8_t* CKVQOpenGLESTexture::UploadPixels()
{
    if (width_ >= texWidth_ && height_ >= texHeight_)
        return pixels_.data();
    // One buffer for every texture: uploads happen on the main thread, one at a time.
    static std::vector<uint8_t> padded;
    padded.assign(pixels_.begin(), pixels_.end());
    FillPaddingWithEdgeTexels(padded.data(), texWidth_, texHeight_, width_, height_);
    return padded.data();
}

void CKVQOpenGLESTexture::Upload()
{
    if (pixels_.empty() || !g_uploadsEnabled)
        return;
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        // Someone else's error: reading it cleared it, so the next attempt may succeed.
        LogUpload(error);
        return;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glEnable(GL_TEXTURE_2D);
    glGetError();  // contexts without fixed-function texturing refuse the switch, harmlessly
    if (glName_ != -1) {
        const GLuint old = static_cast<GLuint>(glName_);
        glDeleteTextures(1, &old);
        glName_ = -1;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    error = glGetError();
    if (error != GL_NO_ERROR || name == 0) {
        LogUpload(error);
        uploadFailed_ = true;
        glDisable(GL_TEXTURE_2D);
        glGetError();
        return;
    }
    glName_ = static_cast<int32_t>(name);
    glBindTexture(GL_TEXTURE_2D, name);
    // Clamped: a sample at one edge must not filter in the opposite edge.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texWidth_, texHeight_, 0, GL_RGBA, GL_UNSIGNED_BYTE, UploadPixels());
    error = glGetError();
    glDisable(GL_TEXTURE_2D);
    glGetError();
    if (error != GL_NO_ERROR) {
        // No image was made: the texture stays without a GL name.
        LogUpload(error);
        glDeleteTextures(1, &name);
        glName_ = -1;
        uploadFailed_ = true;
        return;
    }
    uploadFailed_ = false;
}

void CKVQOpenGLESTexture::EnsureUploaded()
{
    if (glName_ == -1 && g_uploadsEnabled && !uploadFailed_)
        Upload();
}

void CKVQOpenGLESTexture::Refresh()
{
    ++refreshCount_;
    if (pixels_.empty() || !g_uploadsEnabled)
        return;
    if (glName_ == -1) {
        Upload();
        return;
    }
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(glName_));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texWidth_, texHeight_, 0, GL_RGBA, GL_UNSIGNED_BYTE, UploadPixels());
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR)
        LogUpload(error);
}

void CKVQOpenGLESTexture::Release()
{
    if (glName_ == -1)
        return;
    // Without a context (uploads switched off) there is nothing left to delete the name from.
    if (g_uploadsEnabled) {
        const GLuint name = static_cast<GLuint>(glName_);
        glDeleteTextures(1, &name);
        const GLenum error = glGetError();
        if (error != GL_NO_ERROR)
            LogUpload(error);
    }
    glName_ = -1;
    uploadFailed_ = false;
}

void CKVQOpenGLESTexture::Destroy()
{
    delete this;
}

void CKVQOpenGLESTexture::GetRect(KVQRect& rect)
{
    rect = PlacedRect(offsetX_, offsetY_, width_, height_);
}

void CKVQOpenGLESTexture::Paste(int32_t x, int32_t y, const uint8_t* pixels, int32_t width, int32_t height, bool blend)
{
    PasteInto(GetBits(), texWidth_, texHeight_, x, y, pixels, width, height, blend);
    Refresh();
}

// ---- memory images ----

CKVQImageTexture::CKVQImageTexture(const uint8_t* pixels, int32_t width, int32_t height)
{
    width_ = std::clamp(width, 0, kMaxTextureSide);
    height_ = std::clamp(height, 0, kMaxTextureSide);
    texWidth_ = width_;
    texHeight_ = height_;
    pixels_.assign(PixelBytes(texWidth_, texHeight_), 0);
    CopyRows(pixels_.data(), texWidth_, pixels, width_, height_);
}

uint8_t* CKVQImageTexture::GetBits()
{
    return pixels_.empty() ? nullptr : pixels_.data();
}

void CKVQImageTexture::Destroy()
{
    delete this;
}

void CKVQImageTexture::GetRect(KVQRect& rect)
{
    rect = PlacedRect(offsetX_, offsetY_, width_, height_);
}

void CKVQImageTexture::Paste(int32_t x, int32_t y, const uint8_t* pixels, int32_t width, int32_t height, bool blend)
{
    PasteInto(GetBits(), texWidth_, texHeight_, x, y, pixels, width, height, blend);
}

TexturePixels GetTexturePixels(ITextureObject* texture)
{
    TexturePixels view;
    if (texture == nullptr || texture->GetBits() == nullptr)
        return view;
    view.bits = texture->GetBits();
    view.pitch = texture->GetTexWidth();
    view.rows = texture->GetTexHeight();
    return view;
}

// ---- handles and creation ----

TextureHandle::~TextureHandle()
{
    if (texture != nullptr)
        texture->Destroy();
}

ITextureObject* CreateTexture(const uint8_t* pixels, int32_t width, int32_t height)
{
    if (pixels == nullptr || !IsTextureSize(width, height))
        return nullptr;
    switch (g_textureKind) {
    case kTextureMemoryImage: return new CKVQImageTexture(pixels, width, height);
    case kTextureOpenGL: return new CKVQOpenGLESTexture(pixels, width, height, 0, 0);
    default: return nullptr;  // no Direct3D 8 on this platform
    }
}

// ---- the cache ----

CTextureCache& CTextureCache::Instance()
{
    static CTextureCache cache;
    return cache;
}

int32_t CTextureCache::Insert(const std::string& name, ITextureObject* texture)
{
    // Ids are never handed out twice, so a stale id cannot reach a later texture.
    if (nextId_ == std::numeric_limits<int32_t>::max())
        return -1;
    auto handle = std::make_unique<TextureHandle>();
    handle->texture = texture;
    handle->id = nextId_++;
    const int32_t id = handle->id;
    handles_[id] = std::move(handle);
    names_[name] = id;
    return id;
}

int32_t CTextureCache::LoadTexture(const char* name)
{
    lastFailure_ = LoadFailure::NotFound;
    if (name == nullptr)
        return -1;
    if (auto found = names_.find(name); found != names_.end()) {
        lastFailure_ = LoadFailure::Loaded;
        return found->second;
    }

    CFileSystem& fs = GetFileSystem();
    IFile* file = fs.Open(name, true);
    if (file == nullptr)
        return -1;
    lastFailure_ = LoadFailure::Unreadable;
    const int32_t size = file->GetSize();
    int32_t got = 0;
    if (size > 0) {
        if (scratch_.size() < static_cast<size_t>(size))
            scratch_.resize(static_cast<size_t>(size));
        got = file->Read(scratch_.data(), size);
    }
    fs.Close(file);
    if (got <= 0)
        return -1;

    lastFailure_ = LoadFailure::NotAnImage;
    platform::DecodedImage image;
    if (!platform::DecodeImage(scratch_.data(), static_cast<size_t>(got), image))
        return -1;
    lastFailure_ = LoadFailure::NoTexture;
    ITextureObject* texture = CreateTexture(image.pixels.data(), image.width, image.height);
    if (texture == nullptr)
        return -1;
    const int32_t id = Insert(name, texture);
    if (id == -1) {
        texture->Destroy();
        return -1;
    }
    lastFailure_ = LoadFailure::Loaded;
    return id;
}

TextureHandle* CTextureCache::GetTexture(int32_t id)
{
    auto found = handles_.find(id);
    return found != handles_.end() ? found->second.get() : nullptr;
}

ITextureObject* CTextureCache::GetTextureObject(int32_t id)
{
    TextureHandle* handle = GetTexture(id);
    return handle != nullptr ? handle->texture : nullptr;
}

void CTextureCache::RemoveTexture(const char* name)
{
    if (name == nullptr)
        return;
    auto found = names_.find(name);
    if (found == names_.end())
        return;
    const int32_t id = found->second;
    names_.erase(found);
    handles_.erase(id);
}

TextureHandle* CTextureCache::CloneTexture(int32_t id, const char* newName, const KVQRect& rect)
{
    if (newName == nullptr)
        return nullptr;
    // A texture that already answers to the new name (cached, or a file of that name) wins.
    if (const int32_t existing = LoadTexture(newName); existing != -1)
        return GetTexture(existing);
    ITextureObject* source = GetTextureObject(id);
    if (source == nullptr)
        return nullptr;
    const int64_t width = int64_t{rect.right} - rect.left;
    const int64_t height = int64_t{rect.bottom} - rect.top;
    if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide)
        return nullptr;

    // The rect's part inside the source's allocated area is copied; the rest stays zero.
    const auto w = static_cast<int32_t>(width);
    const auto h = static_cast<int32_t>(height);
    std::vector<uint8_t> copy(PixelBytes(w, h), 0);
    if (const uint8_t* bits = source->GetBits()) {
        // Reading the source is a paste of the source into the copy at (-left, -top).
        PasteInto(copy.data(), w, h, wrap32::Sub(0, rect.left), wrap32::Sub(0, rect.top), bits,
                  source->GetTexWidth(), source->GetTexHeight(), false);
    }
    ITextureObject* texture = CreateTexture(copy.data(), w, h);
    if (texture == nullptr)
        return nullptr;
    const int32_t newId = Insert(newName, texture);
    if (newId == -1) {
        texture->Destroy();
        return nullptr;
    }
    return GetTexture(newId);
}

TextureHandle* CTextureCache::CopyTexture(int32_t id, const char* newName)
{
    KVQRect whole;
    if (ITextureObject* source = GetTextureObject(id)) {
        whole.right = source->GetTexWidth();
        whole.bottom = source->GetTexHeight();
    }
    return CloneTexture(id, newName, whole);
}

int32_t CTextureCache::AddTexture(const char* name, const uint8_t* pixels, int32_t width, int32_t height)
{
    if (name == nullptr)
        return -1;
    ITextureObject* texture = CreateTexture(pixels, width, height);
    if (texture == nullptr)
        return -1;
    if (auto found = names_.find(name); found != names_.end()) {
        TextureHandle* handle = GetTexture(found->second);
        handle->texture->Destroy();
        handle->texture = texture;
        return found->second;
    }
    const int32_t id = Insert(name, texture);
    if (id == -1)
        texture->Destroy();
    return id;
}

void CTextureCache::UploadAll()
{
    for (auto& [id, handle] : handles_) {
        if (handle->texture != nullptr)
            handle->texture->Upload();
    }
}

void CTextureCache::ReleaseAll()
{
    for (auto& [id, handle] : handles_) {
        if (handle->texture != nullptr)
            handle->texture->Release();
    }
}

void CTextureCache::Clear()
{
    names_.clear();
    handles_.clear();
    scratch_.clear();
    scratch_.shrink_to_fit();
}
