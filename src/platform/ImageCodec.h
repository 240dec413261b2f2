#pragma once
// Image files in and out, on SDL2_image: decoding any supported file held in memory into 8-bit
// RGBA rows, and writing RGBA pixels as PNG (screenshots, golden images).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DecodedImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;  // width x height x 4 bytes, R, G, B, A, rows top to bottom
};

// False (with a message when error is given) for data that is not a decodable image. Images
// larger than kMaxImageSide on either side, or with more than kMaxImagePixels pixels, are refused.
constexpr int32_t kMaxImageSide = 16384;
// A side limit alone still lets a tiny file of zeros claim 16384 x 16384 pixels (over 1 GB once
// decoded, twice that while converted); 64 Mi pixels (256 MB as RGBA) is far beyond any game image.
constexpr uint64_t kMaxImagePixels = uint64_t{1} << 26;
bool DecodeImage(const void* data, size_t size, DecodedImage& image, std::string* error = nullptr);
// Reads and decodes a file from disk (tests and tools).
bool LoadImageFile(const char* path, DecodedImage& image, std::string* error = nullptr);
// Writes RGBA rows (pitch in bytes) as a PNG file.
bool WritePng(const char* path, const uint8_t* pixels, int32_t width, int32_t height, int32_t pitch,
              std::string* error = nullptr);

}  // namespace platform
