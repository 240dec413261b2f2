#pragma once
// Golden pictures: frames compared byte for byte with PNG files in tests/gfx/golden, and
// rewritten instead when the environment has KVQ_UPDATE_GOLDEN=1 (look at a rewritten picture
// before keeping it). A mismatching frame is written beside the test run as NAME.actual.png.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ImageCodec.h"

namespace golden {

// The folder of the golden pictures: KVQ_SOURCE_DIR when set, else found by walking up from the
// working folder (tests run inside the build tree, which lies inside the source tree here).
inline std::string Folder()
{
    namespace fs = std::filesystem;
    const fs::path relative = fs::path("tests") / "gfx" / "golden";
    if (const char* root = std::getenv("KVQ_SOURCE_DIR"))
        return (fs::path(root) / relative).string();
    std::error_code ec;
    for (fs::path dir = fs::current_path(ec); !dir.empty(); dir = dir.parent_path()) {
        if (fs::is_directory(dir / relative, ec))
            return (dir / relative).string();
        if (dir == dir.parent_path())
            break;
    }
    return relative.string();
}

inline bool UpdateRequested()
{
    const char* flag = std::getenv("KVQ_UPDATE_GOLDEN");
    return flag && std::string(flag) == "1";
}

// How two RGBA frames of the same size differ.
struct Difference {
    int64_t pixels = 0;          // pixels with any channel different
    int64_t beyondTolerance = 0;  // pixels with a channel differing by more than the tolerance
    int32_t worstChannel = 0;    // largest channel difference
    int32_t firstX = -1, firstY = -1;  // first pixel beyond the tolerance
};

inline Difference Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int32_t width,
                          int32_t tolerance)
{
    Difference d;
    const size_t count = std::min(a.size(), b.size()) / 4;
    for (size_t i = 0; i < count; ++i) {
        int32_t worst = 0;
        for (size_t c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(int32_t{a[i * 4 + c]} - int32_t{b[i * 4 + c]}));
        if (worst == 0)
            continue;
        ++d.pixels;
        d.worstChannel = std::max(d.worstChannel, worst);
        if (worst > tolerance) {
            if (d.beyondTolerance++ == 0) {
                d.firstX = static_cast<int32_t>(i % static_cast<size_t>(width));
                d.firstY = static_cast<int32_t>(i / static_cast<size_t>(width));
            }
        }
    }
    return d;
}

// Compares a frame with tests/gfx/golden/NAME.png exactly (or rewrites the file on request).
inline ::testing::AssertionResult Matches(const std::string& name, const std::vector<uint8_t>& rgba, int32_t width,
                                          int32_t height)
{
    const std::string path = Folder() + "/" + name + ".png";
    std::string error;
    if (UpdateRequested()) {
        if (!platform::WritePng(path.c_str(), rgba.data(), width, height, width * 4, &error))
            return ::testing::AssertionFailure() << "cannot write " << path << ": " << error;
        return ::testing::AssertionSuccess() << "rewrote " << path;
    }
    platform::DecodedImage expected;
    if (!platform::LoadImageFile(path.c_str(), expected, &error))
        return ::testing::AssertionFailure() << "no golden picture " << path << " (" << error
                                             << "); run with KVQ_UPDATE_GOLDEN=1 to make it";
    if (expected.width != width || expected.height != height)
        return ::testing::AssertionFailure() << path << " is " << expected.width << "x" << expected.height
                                             << ", the frame " << width << "x" << height;
    const Difference d = Compare(expected.pixels, rgba, width, 0);
    if (d.pixels == 0)
        return ::testing::AssertionSuccess();
    const std::string actual = name + ".actual.png";
    platform::WritePng(actual.c_str(), rgba.data(), width, height, width * 4, nullptr);
    return ::testing::AssertionFailure() << name << ": " << d.pixels << " pixels differ from " << path
                                         << ", first at (" << d.firstX << ", " << d.firstY
                                         << "), worst channel " << d.worstChannel << "; frame written to "
                                         << actual;
}

}  // namespace golden
