// Arbitrary bytes as an image file: decoding must never crash, and a decoded image must have sane
// dimensions and exactly width x height RGBA pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/ImageCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::DecodedImage image;
    if (!platform::DecodeImage(data, size, image))
        return 0;
    if (image.width <= 0 || image.height <= 0 || image.width > platform::kMaxImageSide ||
        image.height > platform::kMaxImageSide ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4)
        std::abort();
    return 0;
}
