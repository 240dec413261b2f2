#include "platform/ImageCodec.h"

#include "platform/LibraryMemory.h"

#include <SDL.h>
#include <SDL_image.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>

namespace platform {

namespace {

// PNG files state their size in the header; such a file is refused before the decoder sets
// aside memory for it.
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kPngWidthOffset = 16;
constexpr size_t kPngHeightOffset = 20;

void SetError(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
}

uint32_t ReadBigEndian32(const uint8_t* bytes)
{
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | uint32_t{bytes[3]};
}

bool SideFits(uint64_t side)
{
    return side > 0 && side <= static_cast<uint64_t>(kMaxImageSide);
}

// Sizes a decoded image may have: each side in range and the area within kMaxImagePixels.
bool SizeFits(uint64_t width, uint64_t height)
{
    return SideFits(width) && SideFits(height) && width * height <= kMaxImagePixels;
}

std::string SizeText(uint64_t width, uint64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

bool PngHeaderFits(const uint8_t* bytes, size_t size, std::string* error)
{
    if (size < kPngHeightOffset + 4 || std::memcmp(bytes, kPngSignature, sizeof(kPngSignature)) != 0)
        return true;  // not a PNG header: the decoder decides
    const uint32_t width = ReadBigEndian32(bytes + kPngWidthOffset);
    const uint32_t height = ReadBigEndian32(bytes + kPngHeightOffset);
    if (SizeFits(width, height))
        return true;
    SetError(error, "image size out of range: " + SizeText(width, height));
    return false;
}

void StartDecoders()
{
    static bool started = false;
    if (started)
        return;
    CapLibraryAllocations();
    // Formats whose support is not there are simply not decoded; the others still are.
    IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG);
    started = true;
}

}  // namespace

bool DecodeImage(const void* data, size_t size, DecodedImage& image, std::string* error)
{
    image = DecodedImage{};
    if (data == nullptr || size == 0) {
        SetError(error, "no image data");
        return false;
    }
    if (size > static_cast<size_t>(INT_MAX)) {
        SetError(error, "image data too large");
        return false;
    }
    if (!PngHeaderFits(static_cast<const uint8_t*>(data), size, error))
        return false;
    StartDecoders();
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
    if (stream == nullptr) {
        SetError(error, std::string("cannot read the image data: ") + SDL_GetError());
        return false;
    }
    // Game images are PNG, JPEG, BMP, GIF, PCX or TGA. Only those decoders see the data: the
    // others that the image library carries (vector, layered and exotic formats) size canvases from
    // the file's own claims or fail badly on damaged files. TGA has no signature: it is what is
    // tried when no other format is recognised.
    const char* format = "TGA";
    if (IMG_isPNG(stream))
        format = "PNG";
    else if (IMG_isJPG(stream))
        format = "JPG";
    else if (IMG_isBMP(stream))
        format = "BMP";
    else if (IMG_isGIF(stream))
        format = "GIF";
    else if (IMG_isPCX(stream))
        format = "PCX";
    else if (IMG_isSVG(stream) || IMG_isXCF(stream) || IMG_isWEBP(stream) || IMG_isTIF(stream) ||
             IMG_isQOI(stream) || IMG_isAVIF(stream) || IMG_isJXL(stream) || IMG_isICO(stream) ||
             IMG_isCUR(stream) || IMG_isLBM(stream) || IMG_isPNM(stream) || IMG_isXPM(stream) ||
             IMG_isXV(stream))
        format = nullptr;
    if (format == nullptr) {
        SDL_RWclose(stream);
        SetError(error, "unsupported image format (use PNG, JPEG, BMP, GIF, PCX or TGA)");
        return false;
    }
    SDL_Surface* loaded = IMG_LoadTyped_RW(stream, 1, format);
    if (loaded == nullptr) {
        SetError(error, std::string("not a readable image: ") + IMG_GetError());
        return false;
    }
    // Formats without a header checked above (and PNG files that lie in theirs) are checked here.
    if (!SizeFits(static_cast<uint64_t>(loaded->w > 0 ? loaded->w : 0),
                  static_cast<uint64_t>(loaded->h > 0 ? loaded->h : 0))) {
        SetError(error, "image size out of range: " + SizeText(static_cast<uint64_t>(loaded->w),
                                                                static_cast<uint64_t>(loaded->h)));
        SDL_FreeSurface(loaded);
        return false;
    }
    // RGBA32 is R, G, B, A in memory whatever the byte order; a colour key becomes alpha 0.
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(loaded);
    if (rgba == nullptr) {
        SetError(error, std::string("cannot convert the image: ") + SDL_GetError());
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(rgba->w) * 4;
    image.width = rgba->w;
    image.height = rgba->h;
    image.pixels.resize(rowBytes * static_cast<size_t>(rgba->h));
    if (SDL_MUSTLOCK(rgba))
        SDL_LockSurface(rgba);
    const auto* source = static_cast<const uint8_t*>(rgba->pixels);
    for (int row = 0; row < rgba->h; ++row)
        std::memcpy(image.pixels.data() + rowBytes * static_cast<size_t>(row),
                    source + static_cast<size_t>(rgba->pitch) * static_cast<size_t>(row), rowBytes);
    if (SDL_MUSTLOCK(rgba))
        SDL_UnlockSurface(rgba);
    SDL_FreeSurface(rgba);
    return true;
}

bool LoadImageFile(const char* path, DecodedImage& image, std::string* error)
{
    image = DecodedImage{};
    if (path == nullptr || *path == '\0') {
        SetError(error, "no image file named");
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        SetError(error, std::string("cannot open ") + path);
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        SetError(error, std::string("cannot read ") + path);
        return false;
    }
    std::string reason;
    if (!DecodeImage(bytes.data(), bytes.size(), image, &reason)) {
        SetError(error, std::string(path) + ": " + reason);
        return false;
    }
    return true;
}

bool WritePng(const char* path, const uint8_t* pixels, int32_t width, int32_t height, int32_t pitch,
              std::string* error)
{
    if (path == nullptr || *path == '\0' || pixels == nullptr) {
        SetError(error, "no file or no pixels to write");
        return false;
    }
    if (!SideFits(static_cast<uint64_t>(width > 0 ? width : 0)) ||
        !SideFits(static_cast<uint64_t>(height > 0 ? height : 0)) || pitch < width * 4) {
        SetError(error, "bad picture size " + std::to_string(width) + " x " + std::to_string(height) +
                            " (row " + std::to_string(pitch) + " bytes)");
        return false;
    }
    // SDL only reads the pixels here; the surface merely describes them.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(pixels), width, height, 32,
                                                              pitch, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr) {
        SetError(error, std::string("cannot describe the picture: ") + SDL_GetError());
        return false;
    }
    const bool written = IMG_SavePNG(surface, path) == 0;
    SDL_FreeSurface(surface);
    if (!written)
        SetError(error, std::string("cannot write ") + path + ": " + IMG_GetError());
    return written;
}

}  // namespace platform
