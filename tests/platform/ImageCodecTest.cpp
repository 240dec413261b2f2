#include "platform/ImageCodec.h"
#include "platform/LibraryMemory.h"

#include "support/TempFiles.h"

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A 3 x 2 picture whose every byte differs, alpha included, so that swapped channels, flipped
// rows or lost transparency all show.
std::vector<uint8_t> SamplePixels()
{
    return {
        255, 0,   0,   255, 0,   255, 0,   128, 0,   0,   255, 0,
        10,  20,  30,  40,  50,  60,  70,  80,  90,  100, 110, 120,
    };
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A 24-bit uncompressed BMP of width x 1, all black.
std::vector<uint8_t> WideBmp(int32_t width)
{
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t fileSize = 54 + rowBytes;
    std::vector<uint8_t> bmp(fileSize, 0);
    auto put32 = [&bmp](size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bmp[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, fileSize);
    put32(10, 54);  // pixel data offset
    put32(14, 40);  // info header size
    put32(18, static_cast<uint32_t>(width));
    put32(22, 1);
    bmp[26] = 1;   // planes
    bmp[28] = 24;  // bits per pixel
    put32(34, rowBytes);
    return bmp;
}

TEST(ImageCodec, PngRoundTripKeepsEveryByte)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::vector<uint8_t> pixels = SamplePixels();
    const std::string path = folder / "sample.png";
    std::string error;
    ASSERT_TRUE(platform::WritePng(path.c_str(), pixels.data(), 3, 2, 12, &error)) << error;

    platform::DecodedImage image;
    ASSERT_TRUE(platform::LoadImageFile(path.c_str(), image, &error)) << error;
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.pixels, pixels);

    const std::vector<uint8_t> bytes = ReadAll(path);
    platform::DecodedImage fromMemory;
    ASSERT_TRUE(platform::DecodeImage(bytes.data(), bytes.size(), fromMemory, &error)) << error;
    EXPECT_EQ(fromMemory.pixels, pixels);

    // Rows of 16 bytes of which the picture uses 12: the padding must not reach the file.
    std::vector<uint8_t> padded(32, 0xEE);
    std::memcpy(padded.data(), pixels.data(), 12);
    std::memcpy(padded.data() + 16, pixels.data() + 12, 12);
    const std::string paddedPath = folder / "padded.png";
    ASSERT_TRUE(platform::WritePng(paddedPath.c_str(), padded.data(), 3, 2, 16, &error)) << error;
    ASSERT_TRUE(platform::LoadImageFile(paddedPath.c_str(), image, &error)) << error;
    EXPECT_EQ(image.pixels, pixels);
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Adds a transparency chunk making palette entry 0 see-through, right after the palette.
std::vector<uint8_t> WithTransparentFirstEntry(const std::vector<uint8_t>& png)
{
    const uint8_t plte[] = {'P', 'L', 'T', 'E'};
    auto at = std::search(png.begin(), png.end(), std::begin(plte), std::end(plte));
    if (at == png.end())
        return {};
    const size_t typeOffset = static_cast<size_t>(at - png.begin());
    const size_t length = (size_t{png[typeOffset - 4]} << 24) | (size_t{png[typeOffset - 3]} << 16) |
                          (size_t{png[typeOffset - 2]} << 8) | size_t{png[typeOffset - 1]};
    const size_t end = typeOffset + 4 + length + 4;  // type, data, CRC
    std::vector<uint8_t> chunk = {0, 0, 0, 1, 't', 'R', 'N', 'S', 0};
    const uint32_t crc = Crc32(chunk.data() + 4, 5);
    for (int i = 3; i >= 0; --i)
        chunk.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    std::vector<uint8_t> out(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(end));
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), png.begin() + static_cast<std::ptrdiff_t>(end), png.end());
    return out;
}

TEST(ImageCodec, PaletteTransparencyBecomesAlpha)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 2, 1, 8, SDL_PIXELFORMAT_INDEX8);
    ASSERT_NE(surface, nullptr) << SDL_GetError();
    const SDL_Color colours[2] = {{255, 0, 255, 255}, {10, 200, 30, 255}};
    SDL_SetPaletteColors(surface->format->palette, colours, 0, 2);
    static_cast<uint8_t*>(surface->pixels)[0] = 0;
    static_cast<uint8_t*>(surface->pixels)[1] = 1;
    const std::string path = folder / "palette.png";
    ASSERT_EQ(IMG_SavePNG(surface, path.c_str()), 0) << IMG_GetError();
    SDL_FreeSurface(surface);
    const std::vector<uint8_t> keyed = WithTransparentFirstEntry(ReadAll(path));
    ASSERT_FALSE(keyed.empty());

    platform::DecodedImage image;
    std::string error;
    ASSERT_TRUE(platform::DecodeImage(keyed.data(), keyed.size(), image, &error)) << error;
    ASSERT_EQ(image.pixels.size(), 8u);
    EXPECT_EQ(image.pixels[3], 0);  // the keyed colour is see-through
    EXPECT_EQ(image.pixels[4], 10);
    EXPECT_EQ(image.pixels[5], 200);
    EXPECT_EQ(image.pixels[6], 30);
    EXPECT_EQ(image.pixels[7], 255);
}

TEST(ImageCodec, GarbageAndTruncatedDataAreRefused)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::vector<uint8_t> pixels = SamplePixels();
    const std::string path = folder / "sample.png";
    ASSERT_TRUE(platform::WritePng(path.c_str(), pixels.data(), 3, 2, 12));
    const std::vector<uint8_t> png = ReadAll(path);
    ASSERT_GT(png.size(), 40u);

    platform::DecodedImage image;
    std::string error;
    // Every cut of the file, down to the bare signature, fails cleanly.
    for (size_t cut = 1; cut < png.size() - 12; cut += 7) {
        EXPECT_FALSE(platform::DecodeImage(png.data(), cut, image, &error)) << "cut at " << cut;
        EXPECT_TRUE(image.pixels.empty());
    }
    const std::string garbage = "this is certainly not a picture of anything at all";
    EXPECT_FALSE(platform::DecodeImage(garbage.data(), garbage.size(), image, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(platform::DecodeImage(nullptr, 10, image, &error));
    EXPECT_FALSE(platform::DecodeImage(png.data(), 0, image, nullptr));
    EXPECT_FALSE(platform::LoadImageFile((folder / "missing.png").c_str(), image, &error));
    EXPECT_NE(error.find("missing.png"), std::string::npos);
}

TEST(ImageCodec, OnlyGameImageFormatsAreDecoded)
{
    // A tiny file whose canvas claim alone would cost gigabytes to render.
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100000\" height=\"100000\">"
                            "<rect width=\"10\" height=\"10\"/></svg>";
    platform::DecodedImage image;
    std::string error;
    EXPECT_FALSE(platform::DecodeImage(svg.data(), svg.size(), image, &error));
    EXPECT_NE(error.find("unsupported image format"), std::string::npos) << error;
    EXPECT_TRUE(image.pixels.empty());

    // Layered editor files are not game images either (their decoder fails badly on damage).
    const std::string layered = std::string("gimp xcf v001", 13) + std::string(64, '\xff');
    EXPECT_FALSE(platform::DecodeImage(layered.data(), layered.size(), image, &error));
    EXPECT_NE(error.find("unsupported image format"), std::string::npos) << error;
}

TEST(ImageCodec, OversizeImagesAreRefused)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::vector<uint8_t> pixels = SamplePixels();
    const std::string path = folder / "sample.png";
    ASSERT_TRUE(platform::WritePng(path.c_str(), pixels.data(), 3, 2, 12));
    std::vector<uint8_t> png = ReadAll(path);

    // A PNG header claiming a huge picture is refused before anything is decoded.
    png[16] = 0x7F;
    platform::DecodedImage image;
    std::string error;
    EXPECT_FALSE(platform::DecodeImage(png.data(), png.size(), image, &error));
    EXPECT_NE(error.find("size"), std::string::npos);

    // A well-formed picture one pixel wider than allowed is refused after decoding.
    const std::vector<uint8_t> wide = WideBmp(platform::kMaxImageSide + 1);
    error.clear();
    EXPECT_FALSE(platform::DecodeImage(wide.data(), wide.size(), image, &error));
    EXPECT_NE(error.find("size"), std::string::npos);
    const std::vector<uint8_t> fits = WideBmp(platform::kMaxImageSide);
    ASSERT_TRUE(platform::DecodeImage(fits.data(), fits.size(), image, &error)) << error;
    EXPECT_EQ(image.width, platform::kMaxImageSide);
    EXPECT_EQ(image.pixels[3], 255);  // no alpha in the file: opaque

    // A few bytes of BMP claiming a picture of terabytes: the decoder's request for the pixel
    // memory is refused instead of granted or crashing.
    std::vector<uint8_t> huge = WideBmp(4);
    for (size_t at : {size_t{18}, size_t{22}}) {
        huge[at] = 0xFF, huge[at + 1] = 0xFF, huge[at + 2] = 0xFF, huge[at + 3] = 0x3F;
    }
    EXPECT_FALSE(platform::DecodeImage(huge.data(), huge.size(), image, &error));
    EXPECT_TRUE(image.pixels.empty());
}

// The start of a PNG file: signature and a header chunk stating the size of an 8-bit grey
// picture, with a correct checksum; no picture data follows.
std::vector<uint8_t> PngHeaderOnly(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (const uint32_t value : {width, height}) {
        for (int i = 3; i >= 0; --i)
            png.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    png.insert(png.end(), {8, 0, 0, 0, 0});  // bit depth, grey, deflate, no filter, no interlace
    const uint32_t crc = Crc32(png.data() + 12, 17);
    for (int i = 3; i >= 0; --i)
        png.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    return png;
}

TEST(ImageCodec, HeaderClaimingTooManyPixelsIsRefusedBeforeDecoding)
{
    platform::DecodedImage image;
    std::string error;
    // Both sides are allowed, but 8193 x 8193 is one row and more past the area limit (a
    // decoder would set aside a quarter of a gigabyte for it).
    static_assert(uint64_t{8192} * 8192 == platform::kMaxImagePixels);
    const std::vector<uint8_t> huge = PngHeaderOnly(8193, 8193);
    EXPECT_FALSE(platform::DecodeImage(huge.data(), huge.size(), image, &error));
    EXPECT_NE(error.find("image size out of range: 8193 x 8193"), std::string::npos) << error;
    const std::vector<uint8_t> widest = PngHeaderOnly(16384, 16384);
    EXPECT_FALSE(platform::DecodeImage(widest.data(), widest.size(), image, &error));
    EXPECT_NE(error.find("out of range"), std::string::npos) << error;
    EXPECT_TRUE(image.pixels.empty());

    // Exactly at the limit the size is accepted; this file then fails only for its missing data.
    const std::vector<uint8_t> limit = PngHeaderOnly(8192, 8192);
    EXPECT_FALSE(platform::DecodeImage(limit.data(), limit.size(), image, &error));
    EXPECT_EQ(error.find("out of range"), std::string::npos) << error;
}

TEST(ImageCodec, BadPicturesAreNotWritten)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::vector<uint8_t> pixels = SamplePixels();
    std::string error;
    const std::string path = folder / "bad.png";
    EXPECT_FALSE(platform::WritePng(path.c_str(), pixels.data(), 3, 2, 8, &error));  // row too short
    EXPECT_FALSE(platform::WritePng(path.c_str(), pixels.data(), 0, 2, 12, &error));
    EXPECT_FALSE(platform::WritePng(path.c_str(), nullptr, 3, 2, 12, &error));
    EXPECT_FALSE(platform::WritePng("", pixels.data(), 3, 2, 12, &error));
    EXPECT_FALSE(platform::WritePng((folder / "no/such/folder/x.png").c_str(), pixels.data(), 3, 2, 12, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace

TEST(LibraryMemory, SingleAllocationsAboveTheCeilingAreRefused)
{
    platform::CapLibraryAllocations();
    void* small = SDL_malloc(64);
    EXPECT_NE(small, nullptr);
    SDL_free(small);
    EXPECT_EQ(SDL_malloc(platform::kMaxLibraryAllocation + 1), nullptr);
    EXPECT_EQ(SDL_calloc(platform::kMaxLibraryAllocation / 2 + 1, 2), nullptr);
    void* grown = SDL_malloc(16);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(SDL_realloc(grown, platform::kMaxLibraryAllocation + 1), nullptr);
    SDL_free(grown);  // a refused realloc leaves the block as it was
}
