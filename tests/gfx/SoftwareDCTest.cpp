#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/DeviceKinds.h"
#include "gfx/GoldenImage.h"
#include "gfx/Scenes.h"
#include "gfx/SoftwareDC.h"
#include "gfx/Texture.h"

namespace {

constexpr uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    return r | (g << 8) | (b << 16) | (a << 24);
}
constexpr uint32_t kGrey = Rgba(192, 192, 192, 255);
constexpr uint32_t kRed = Rgba(255, 0, 0, 255);
constexpr uint32_t kWhite = Rgba(255, 255, 255, 255);

class SoftwareDCTest : public ::testing::Test {
protected:
    static constexpr int32_t kWidth = 64;
    static constexpr int32_t kHeight = 48;

    void SetUp() override
    {
        savedCfg_ = GetCoreCfg();
        savedKind_ = GetTextureKind();
        GetCoreCfg().IsAutoScale = false;
        GetCoreCfg().IsPaused = false;
        GetCoreCfg().IsEditTool = false;
        SetTextureKind(kTextureMemoryImage);
        ASSERT_EQ(dc_.Init(kWidth, kHeight, nullptr, 0), 0);
    }
    void TearDown() override
    {
        for (const std::string& name : textures_)
            CTextureCache::Instance().RemoveTexture(name.c_str());
        SetTextureKind(savedKind_);
        GetCoreCfg() = savedCfg_;
    }

    // A texture whose texel (x, y) is (x * 16, y * 16, 100, 255), so a pixel tells its source.
    int32_t AddCoordinateTexture(int32_t width, int32_t height)
    {
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
                p[0] = static_cast<uint8_t>(x * 16);
                p[1] = static_cast<uint8_t>(y * 16);
                p[2] = 100;
                p[3] = 255;
            }
        }
        return AddPixels(pixels, width, height);
    }
    int32_t AddSolidTexture(int32_t width, int32_t height, uint32_t color)
    {
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(color >> (8 * (i % 4)));
        return AddPixels(pixels, width, height);
    }
    int32_t AddPixels(const std::vector<uint8_t>& pixels, int32_t width, int32_t height)
    {
        const std::string name = "soft-test-" + std::to_string(textures_.size());
        textures_.push_back(name);
        return CTextureCache::Instance().AddTexture(name.c_str(), pixels.data(), width, height);
    }
    static uint32_t Texel(int32_t x, int32_t y) { return Rgba(x * 16, y * 16, 100, 255); }

    // The bounding box [x0, x1) x [y0, y1) of pixels that differ from the clear colour, and their count.
    struct Box {
        int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        int32_t count = 0;
    };
    Box Drawn() const
    {
        Box b{1 << 20, 1 << 20, -1, -1, 0};
        for (int32_t y = 0; y < dc_.BufferHeight(); ++y) {
            for (int32_t x = 0; x < dc_.BufferWidth(); ++x) {
                if (dc_.PixelAt(x, y) == kGrey)
                    continue;
                ++b.count;
                b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x + 1), b.y1 = std::max(b.y1, y + 1);
            }
        }
        return b;
    }
    // The drawn pixels as rows of '#' and '.', for comparing small shapes.
    std::string Picture(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const
    {
        std::string text;
        for (int32_t y = y0; y < y1; ++y) {
            for (int32_t x = x0; x < x1; ++x)
                text += dc_.PixelAt(x, y) == kGrey ? '.' : '#';
            text += '\n';
        }
        return text;
    }

    CKVQWin32DC dc_;
    std::vector<std::string> textures_;

private:
    KVQCoreCfg savedCfg_;
    int32_t savedKind_ = kTextureMemoryImage;
};

TEST_F(SoftwareDCTest, StartsWithFullClipClearBufferAndDirtyFlag)
{
    KVQRect clip;
    dc_.GetClip(clip);
    EXPECT_EQ(clip, (KVQRect{0, kWidth, 0, kHeight}));
    EXPECT_TRUE(dc_.IsDirty());
    EXPECT_EQ(dc_.GetPitch(), kWidth);
    EXPECT_EQ(dc_.GetBytesPerPixel(), 4);
    EXPECT_EQ(dc_.GetPixelFormat(), 516);
    ASSERT_NE(dc_.GetBits(), nullptr);
    EXPECT_EQ(static_cast<const uint8_t*>(dc_.GetBits())[0], 192);
    EXPECT_EQ(dc_.PixelAt(kWidth - 1, kHeight - 1), kGrey);

    GetCoreCfg().IsEditTool = true;
    dc_.BeginScene();
    EXPECT_EQ(dc_.PixelAt(3, 3), kGrey);
    dc_.Clear();
    EXPECT_EQ(dc_.PixelAt(3, 3), Rgba(192, 0, 192, 255));

    CKVQWin32DC bad;
    EXPECT_NE(bad.Init(0, 10, nullptr, 0), 0);
    EXPECT_NE(bad.Init(10, CKVQWin32DC::kMaxSide + 1, nullptr, 0), 0);
    EXPECT_EQ(bad.GetBits(), nullptr);
    EXPECT_EQ(bad.FillRect({0, 5, 0, 5}, kRed), 0);  // nothing to draw into, no crash
}

TEST_F(SoftwareDCTest, CreatedByNameThroughTheDeviceRegistry)
{
    RegisterDeviceKinds();
    std::unique_ptr<CKVQDC> device(CreateDevice(kDeviceSoftware));
    ASSERT_NE(device, nullptr);
    EXPECT_NE(dynamic_cast<CKVQWin32DC*>(device.get()), nullptr);
}

TEST_F(SoftwareDCTest, InvalidationGrowsMergesAndFlipEmpties)
{
    KVQRect paint;
    dc_.Flip();
    EXPECT_FALSE(dc_.IsDirty());
    dc_.InvalidateRect({10, 30, 20, 40}, 0);
    dc_.GetInvalidRect(paint);
    EXPECT_EQ(paint, (KVQRect{9, 31, 19, 41}));
    dc_.InvalidateRect({0, 5, 0, 5}, 0);
    dc_.GetInvalidRect(paint);
    EXPECT_EQ(paint, (KVQRect{0, 31, 0, 41}));
    EXPECT_TRUE(dc_.IsDirty());

    EXPECT_EQ(dc_.Flip(), 0);
    dc_.GetInvalidRect(paint);
    EXPECT_TRUE(paint.IsEmpty());
    EXPECT_FALSE(dc_.IsDirty());

    // Flag 1: present again without redrawing.
    dc_.InvalidateRect({0, 5, 0, 5}, 1);
    dc_.GetInvalidRect(paint);
    EXPECT_TRUE(paint.IsEmpty());
    EXPECT_TRUE(dc_.IsDirty());
    dc_.Flip();

    dc_.SetInvalidate(1);
    dc_.InvalidateRect({0, 5, 0, 5}, 0);
    EXPECT_FALSE(dc_.IsDirty());
    dc_.SetInvalidate(0);

    dc_.InvalidateRect({0, 5, 0, 5}, 0);
    GetCoreCfg().IsPaused = true;
    EXPECT_EQ(dc_.Flip(), 1);
    EXPECT_TRUE(dc_.IsDirty());
}

TEST_F(SoftwareDCTest, FillCoversExactlyItsRectCutToTheClip)
{
    dc_.FillRect({10, 20, 5, 8}, kRed);
    Box b = Drawn();
    EXPECT_EQ(b.x0, 10);
    EXPECT_EQ(b.x1, 20);
    EXPECT_EQ(b.y0, 5);
    EXPECT_EQ(b.y1, 8);
    EXPECT_EQ(b.count, 30);

    dc_.BeginScene();
    dc_.PushClip({15, 40, 0, 6}, 0);
    dc_.FillRect({10, 20, 5, 8}, kRed);
    dc_.FillRect({50, 60, 0, 10}, kRed);  // outside the clip
    dc_.PopClip();
    b = Drawn();
    EXPECT_EQ(b.count, 5);
    EXPECT_EQ(b.x0, 15);
    EXPECT_EQ(b.y0, 5);

    // Fills and lines are not moved by the transform origin or scaled by a window's transform.
    dc_.BeginScene();
    dc_.PushTransform(0, 0, 3.0f, 3.0f);
    dc_.FillRect({0, 2, 0, 2}, kRed);
    dc_.PopTransform();
    EXPECT_EQ(Drawn().count, 4);
    EXPECT_EQ(dc_.PixelAt(0, 0), kRed);
}

TEST_F(SoftwareDCTest, BlitLandsOnePixelRightAndBelowAndCutsSourceBySamePixels)
{
    const int32_t tex = AddCoordinateTexture(8, 8);
    ASSERT_GE(tex, 0);
    dc_.Blit(tex, {0, 8, 0, 8}, {10, 18, 10, 18}, kWhite);
    Box b = Drawn();
    EXPECT_EQ(b.x0, 11);
    EXPECT_EQ(b.y0, 11);
    EXPECT_EQ(b.x1, 19);
    EXPECT_EQ(b.y1, 19);
    EXPECT_EQ(dc_.PixelAt(11, 11), Texel(0, 0));
    EXPECT_EQ(dc_.PixelAt(18, 13), Texel(7, 2));

    // Clipped on the left by three pixels: the first three source columns go with them.
    dc_.BeginScene();
    dc_.PushClip({13, 64, 0, 48}, 0);
    dc_.Blit(tex, {0, 8, 0, 8}, {10, 18, 10, 18}, kWhite);
    dc_.PopClip();
    b = Drawn();
    EXPECT_EQ(b.x0, 14);
    EXPECT_EQ(dc_.PixelAt(14, 11), Texel(3, 0));

    // The outline copies go around the glyph, the fill on top.
    dc_.BeginScene();
    const int32_t solid = AddSolidTexture(4, 4, kWhite);
    dc_.BlitOutlined(solid, {0, 4, 0, 4}, {20, 24, 20, 24}, kWhite, kRed);
    EXPECT_EQ(dc_.PixelAt(21, 21), kWhite);
    EXPECT_EQ(dc_.PixelAt(20, 21), kRed);  // (-1, 0) copy
    EXPECT_EQ(dc_.PixelAt(25, 21), kRed);  // (1, 0) copy
    EXPECT_EQ(dc_.PixelAt(25, 25), kRed);  // (1, 1) copy
    EXPECT_EQ(dc_.PixelAt(20, 25), kGrey);  // no (-1, 1) copy

    EXPECT_NE(dc_.Blit(12345, {0, 1, 0, 1}, {0, 1, 0, 1}, kWhite), 0);
}

TEST_F(SoftwareDCTest, StretchBlitFiltersLikeGLTextures)
{
    const int32_t tex = AddCoordinateTexture(8, 8);
    dc_.StretchBlit(tex, {0, 4, 0, 4}, {0, 12, 0, 12}, kWhite);  // 3x: every third centre hits a texel centre
    EXPECT_EQ(Drawn().count, 12 * 12);
    EXPECT_EQ(dc_.PixelAt(1 + 1, 1 + 1), Texel(0, 0));
    EXPECT_EQ(dc_.PixelAt(1 + 4, 1 + 1), Texel(1, 0));
    EXPECT_EQ(dc_.PixelAt(1 + 10, 1 + 7), Texel(3, 2));
    // Between centres the neighbours are mixed (red = 16 x column): 1/3 of the way from 0 to 1.
    EXPECT_EQ(dc_.PixelAt(1 + 2, 1 + 1) & 0xff, 5u);
    EXPECT_GT(dc_.PixelAt(1 + 11, 1 + 1) & 0xff, 3u * 16u);
    // Past the last texel centre the filter holds the edge texel (GL_CLAMP_TO_EDGE): column 7
    // is never mixed with column 0 of the opposite edge.
    dc_.StretchBlit(tex, {4, 8, 0, 4}, {20, 32, 0, 12}, kWhite);
    EXPECT_EQ(dc_.PixelAt(21 + 10, 2), Texel(7, 0));
    EXPECT_EQ(dc_.PixelAt(21 + 11, 2), Texel(7, 0));
}

TEST_F(SoftwareDCTest, StretchBlitCutsSourceInProportionTruncated)
{
    const int32_t tex = AddCoordinateTexture(8, 8);
    std::vector<uint8_t> clipped, explicitCut;
    int32_t w, h;
    // Cut by 4 of 12 destination columns: the source moves by 4 * 4 / 12 = 1 (1.33 truncated), so
    // the clipped quad is the quad from source column 1 to the remaining destination.
    dc_.PushClip({4, 64, 0, 48}, 0);
    dc_.StretchBlit(tex, {0, 4, 0, 4}, {0, 12, 0, 12}, kWhite);
    dc_.PopClip();
    dc_.ReadFrame(clipped, w, h);
    EXPECT_EQ(Drawn().x0, 5);
    dc_.BeginScene();
    dc_.StretchBlit(tex, {1, 4, 0, 4}, {4, 12, 0, 12}, kWhite);
    dc_.ReadFrame(explicitCut, w, h);
    EXPECT_EQ(clipped, explicitCut);
}

TEST_F(SoftwareDCTest, RotateBlitTurnsTheQuadAboutItsCentre)
{
    const int32_t tex = AddCoordinateTexture(8, 4);
    // At angle 0 the rotated quad is the plain one.
    dc_.RotateBlit(tex, {0, 8, 0, 4}, {10, 18, 10, 14}, kWhite, 0.0f);
    std::vector<uint8_t> rotated, plain;
    int32_t w, h;
    dc_.ReadFrame(rotated, w, h);
    dc_.BeginScene();
    dc_.StretchBlit(tex, {0, 8, 0, 4}, {10, 18, 10, 14}, kWhite);
    dc_.ReadFrame(plain, w, h);
    EXPECT_EQ(rotated, plain);

    // A quarter turn stands the 8 x 4 quad upright about the centre (15, 13): 4 wide, 8 high.
    dc_.BeginScene();
    dc_.RotateBlit(tex, {0, 8, 0, 4}, {10, 18, 10, 14}, kWhite, static_cast<float>(M_PI / 2));
    const Box b = Drawn();
    EXPECT_EQ(b.x1 - b.x0, 4);
    EXPECT_EQ(b.y1 - b.y0, 8);
    EXPECT_EQ(b.count, 32);
    EXPECT_EQ(b.x0, 13);
    EXPECT_EQ(b.y0, 9);
    // theta = 2 pi - angle turns the quad's top edge (row 0) to the left side, read bottom to top.
    EXPECT_EQ(dc_.PixelAt(13, 16), Texel(0, 0));
    EXPECT_EQ(dc_.PixelAt(13, 9), Texel(7, 0));
    EXPECT_EQ(dc_.PixelAt(16, 16), Texel(0, 3));

    // Hostile angles and sizes draw something or nothing, never crash.
    EXPECT_EQ(dc_.RotateBlit(tex, {0, 8, 0, 4}, {10, 18, 10, 14}, kWhite, std::nanf("")), 0);
    EXPECT_EQ(dc_.RotateBlit(tex, {0, 8, 0, 4}, {-2000000000, 2000000000, -2000000000, 2000000000}, kWhite,
                             std::numeric_limits<float>::infinity()),
              0);
}

TEST_F(SoftwareDCTest, BlendTableFollowsTheGLEquation)
{
    // source (200, 100, 50, 128) over destination (60, 120, 240, 255); expected per mode from
    // result = source * source factor + destination * destination factor, clamped.
    const uint32_t src = Rgba(200, 100, 50, 128);
    const uint32_t dst = Rgba(60, 120, 240, 255);
    const double s[4] = {200, 100, 50, 128}, d[4] = {60, 120, 240, 255};
    auto expect = [&](int32_t mode, auto sf, auto df) {
        dc_.SetBlendMode(0);
        dc_.FillRect({0, 1, 0, 1}, dst);
        dc_.SetBlendMode(mode);
        dc_.FillRect({0, 1, 0, 1}, src);
        const uint32_t got = dc_.PixelAt(0, 0);
        for (int c = 0; c < 4; ++c) {
            const double value = std::min(255.0, (s[c] * sf(c) + d[c] * df(c)) / 255.0);
            EXPECT_NEAR(static_cast<double>((got >> (8 * c)) & 0xff), value, 0.51)
                << "mode " << mode << " channel " << c;
        }
    };
    auto one = [](int) { return 255.0; };
    auto zero = [](int) { return 0.0; };
    auto srcAlpha = [&](int) { return s[3]; };
    auto invSrcAlpha = [&](int) { return 255.0 - s[3]; };
    auto srcColor = [&](int c) { return s[c]; };
    auto dstColor = [&](int c) { return d[c]; };
    expect(0, one, zero);
    for (int32_t mode : {1, 3, 4, 6, 10, -3})
        expect(mode, srcAlpha, invSrcAlpha);
    expect(2, srcColor, dstColor);
    expect(5, one, one);
    expect(7, srcColor, zero);
    expect(8, zero, dstColor);
    expect(9, srcAlpha, one);
}

TEST_F(SoftwareDCTest, ColourStackModulatesTexturesButNotLinesOrFills)
{
    const int32_t tex = AddSolidTexture(4, 4, kWhite);
    dc_.PushColor(Rgba(255, 128, 0, 255));
    dc_.PushColor(Rgba(128, 255, 255, 255));
    dc_.Blit(tex, {0, 4, 0, 4}, {0, 4, 0, 4}, Rgba(255, 255, 255, 255));
    // The modulation is (128, 128, 0, 255); the white texel times it.
    EXPECT_EQ(dc_.PixelAt(1, 1), Rgba(128, 128, 0, 255));
    dc_.DrawLine({10, 10}, {20, 10}, kWhite);
    EXPECT_EQ(dc_.PixelAt(12, 10), kWhite);
    dc_.FillRect({30, 32, 30, 32}, kWhite);
    EXPECT_EQ(dc_.PixelAt(30, 30), kWhite);

    uint32_t restored = 0;
    EXPECT_EQ(dc_.PopColor(&restored), 0);
    EXPECT_EQ(restored, Rgba(255, 128, 0, 255));
    EXPECT_EQ(dc_.PopColor(&restored), 0);
    EXPECT_EQ(restored, kWhite);
    EXPECT_NE(dc_.PopColor(&restored), 0);  // nothing left to pop
    dc_.Blit(tex, {0, 4, 0, 4}, {0, 4, 0, 4}, kWhite);
    EXPECT_EQ(dc_.PixelAt(1, 1), kWhite);
}

TEST_F(SoftwareDCTest, TransformScalesTexturedQuadsAboutThePivot)
{
    const int32_t tex = AddCoordinateTexture(4, 4);
    dc_.PushTransform(10, 10, 3.0f, 3.0f);
    dc_.Blit(tex, {0, 4, 0, 4}, {10, 14, 10, 14}, kWhite);
    // Nested: a further 1/3 about (12, 12) brings the scale back to 1 there.
    dc_.PushTransform(12, 12, 1.0f / 3.0f, 1.0f / 3.0f);
    dc_.Blit(tex, {0, 4, 0, 4}, {30, 34, 30, 34}, kWhite);
    dc_.PopTransform();
    dc_.PopTransform();
    // The first quad: origin (1, 1) + 3x about (10, 10) -> [11, 23) x [11, 23); every third pixel
    // centre falls on a texel centre.
    EXPECT_EQ(dc_.PixelAt(12, 12), Texel(0, 0));
    EXPECT_EQ(dc_.PixelAt(15, 12), Texel(1, 0));
    EXPECT_EQ(dc_.PixelAt(21, 18), Texel(3, 2));
    EXPECT_NE(dc_.PixelAt(22, 22), kGrey);
    EXPECT_EQ(dc_.PixelAt(23, 23), kGrey);
    // The second: origin 1 + (12 - 10) * 3 = 7, then (30 - 12) * 1 -> 35.
    EXPECT_EQ(dc_.PixelAt(35, 35), Texel(0, 0));
    EXPECT_EQ(dc_.PixelAt(38, 38), Texel(3, 3));
    EXPECT_EQ(dc_.PixelAt(39, 39), kGrey);
    EXPECT_EQ(Drawn().count, 12 * 12 + 4 * 4);
}

TEST_F(SoftwareDCTest, LinesFollowGLRasterisation)
{
    // Horizontal lines on whole coordinates take the row below the coordinate, vertical ones the
    // column left of it; the end point is not drawn.
    dc_.DrawHLine({5, 5}, 10, kWhite);
    dc_.DrawVLine({30, 1}, 5, kWhite);
    dc_.DrawLine({14, 20}, {20, 23}, kWhite);  // shallow
    dc_.DrawLine({50, 20}, {44, 25}, kWhite);  // shallow, right to left
    EXPECT_EQ(Picture(4, 4, 16, 6), "............\n"
                                     ".##########.\n");
    EXPECT_EQ(Picture(28, 0, 32, 7), "....\n"
                                     ".#..\n"
                                     ".#..\n"
                                     ".#..\n"
                                     ".#..\n"
                                     ".#..\n"
                                     "....\n");
    EXPECT_EQ(Picture(13, 19, 21, 24), "........\n"
                                       ".##.....\n"
                                       "...##...\n"
                                       ".....##.\n"
                                       "........\n");
    EXPECT_EQ(Picture(43, 19, 51, 26), "........\n"
                                       "......#.\n"
                                       ".....#..\n"
                                       "...##...\n"
                                       "..#.....\n"
                                       ".#......\n"
                                       "........\n");

    // Width 3 spreads across the line: rows 4..6 around a horizontal line on y = 5.
    dc_.BeginScene();
    dc_.SetLineWidth(3);
    dc_.DrawHLine({10, 5}, 10, kWhite);
    dc_.DrawVLine({24, 2}, 10, kWhite);
    dc_.SetLineWidth(1);
    Box b = Drawn();
    EXPECT_EQ(b.count, 30 + 30);
    EXPECT_EQ(dc_.PixelAt(10, 4), kWhite);
    EXPECT_EQ(dc_.PixelAt(10, 6), kWhite);
    EXPECT_EQ(dc_.PixelAt(22, 2), kWhite);
    EXPECT_EQ(dc_.PixelAt(24, 11), kWhite);

    // Lines are cut to the clip, borders included; DrawRect clips each edge.
    dc_.BeginScene();
    dc_.PushClip({0, 20, 0, 20}, 0);
    dc_.DrawLine({30, 30}, {40, 30}, kWhite);
    EXPECT_EQ(Drawn().count, 0);
    dc_.DrawLine({10, 5}, {40, 5}, kWhite);
    b = Drawn();
    EXPECT_EQ(b.count, 10);
    EXPECT_EQ(b.x1, 20);
    dc_.BeginScene();
    dc_.DrawRect({10, 30, 10, 15}, kWhite);  // right edge outside: three edges, cut at x = 20
    dc_.PopClip();
    b = Drawn();
    EXPECT_EQ(b.x0, 9);  // the left edge on x = 10 takes column 9
    EXPECT_EQ(b.x1, 20);
    EXPECT_EQ(dc_.PixelAt(29, 10), kGrey);
}

TEST_F(SoftwareDCTest, EllipsesStayInsideTheirRect)
{
    dc_.FillEllipse({10, 30, 10, 20}, kRed);
    Box b = Drawn();
    EXPECT_EQ(b.x0, 10);
    EXPECT_EQ(b.x1, 30);
    EXPECT_EQ(b.y0, 10);
    EXPECT_EQ(b.y1, 20);
    EXPECT_EQ(dc_.PixelAt(10, 10), kGrey);  // corners are outside
    EXPECT_EQ(dc_.PixelAt(29, 19), kGrey);
    EXPECT_EQ(dc_.PixelAt(20, 15), kRed);
    const int32_t filled = b.count;
    // Area of the ellipse: pi * 10 * 5.
    EXPECT_NEAR(filled, M_PI * 50, 10);

    // The outline: same extent, hollow inside, symmetric.
    dc_.BeginScene();
    dc_.DrawEllipse({10, 30, 10, 20}, kRed);
    b = Drawn();
    EXPECT_EQ(b.x0, 10);
    EXPECT_EQ(b.x1, 30);
    EXPECT_EQ(b.y0, 10);
    EXPECT_EQ(b.y1, 20);
    EXPECT_EQ(dc_.PixelAt(20, 15), kGrey);
    EXPECT_LT(b.count, filled / 2);
    for (int32_t y = 10; y < 20; ++y) {
        for (int32_t x = 10; x < 30; ++x) {
            EXPECT_EQ(dc_.PixelAt(x, y), dc_.PixelAt(39 - x, y)) << x << "," << y;
            EXPECT_EQ(dc_.PixelAt(x, y), dc_.PixelAt(x, 29 - y)) << x << "," << y;
        }
    }
    // A clip cuts the shape without squashing it.
    dc_.BeginScene();
    dc_.PushClip({20, 64, 0, 48}, 0);
    dc_.FillEllipse({10, 30, 10, 20}, kRed);
    dc_.PopClip();
    b = Drawn();
    EXPECT_EQ(b.x0, 20);
    EXPECT_EQ(b.count, filled / 2);
}

TEST_F(SoftwareDCTest, SetPixelDrawsOnePixelInsideTheClip)
{
    dc_.SetPixel({7, 9}, kRed);
    dc_.PushClip({0, 10, 0, 10}, 0);
    dc_.SetPixel({10, 3}, kRed);  // right edge of the clip is outside
    dc_.SetPixel({-1, 3}, kRed);
    dc_.PopClip();
    const Box b = Drawn();
    EXPECT_EQ(b.count, 1);
    EXPECT_EQ(dc_.PixelAt(7, 9), kRed);
}

TEST_F(SoftwareDCTest, RecordsReplayWhatWasDrawn)
{
    const int32_t tex = AddCoordinateTexture(8, 8);
    const int32_t id = dc_.CreateRecord();
    EXPECT_TRUE(dc_.HasRecord(id));
    EXPECT_NE(dc_.CreateRecord(), id);
    ASSERT_EQ(dc_.BeginRecord(id), 0);
    dc_.SetBlendMode(1);
    dc_.PushTransform(4, 4, 2.0f, 2.0f);
    dc_.Blit(tex, {0, 8, 0, 8}, {4, 12, 4, 12}, Rgba(255, 255, 255, 200));
    dc_.PopTransform();
    dc_.DrawLine({0, 40}, {60, 30}, kRed);
    dc_.FillEllipse({40, 60, 2, 12}, kRed);
    dc_.SetBlendMode(0);
    ASSERT_EQ(dc_.EndRecord(id), 0);
    std::vector<uint8_t> drawn, replayed;
    int32_t w, h;
    dc_.ReadFrame(drawn, w, h);

    dc_.BeginScene();
    EXPECT_EQ(dc_.PlayRecord(id), 0);
    dc_.ReadFrame(replayed, w, h);
    EXPECT_EQ(drawn, replayed);

    EXPECT_EQ(dc_.DeleteRecord(id), 0);
    EXPECT_FALSE(dc_.HasRecord(id));
    EXPECT_NE(dc_.PlayRecord(id), 0);
    EXPECT_NE(dc_.BeginRecord(id), 0);
    EXPECT_NE(dc_.EndRecord(id), 0);
}

TEST_F(SoftwareDCTest, AutoScaleMapsLayoutPixelsOntoTheWindow)
{
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.IsAutoScale = true;
    cfg.fAutoScaleX = cfg.fAutoScaleY = 2.0f;
    cfg.nAutoOffsetX = 5;
    cfg.nAutoOffsetY = 3;
    ASSERT_EQ(dc_.Init(kWidth, kHeight, nullptr, 0), 0);
    KVQRect clip;
    dc_.GetClip(clip);
    EXPECT_EQ(clip, (KVQRect{0, kWidth / 2, 0, kHeight / 2}));  // the first push is divided
    dc_.PushClip({0, 100, 0, 100}, 0);
    dc_.GetClip(clip);
    EXPECT_EQ(clip, (KVQRect{0, kWidth / 2, 0, kHeight / 2}));  // later pushes intersect
    dc_.PopClip();

    dc_.FillRect({0, 10, 0, 10}, kRed);
    const Box b = Drawn();
    EXPECT_EQ(b.x0, 5);
    EXPECT_EQ(b.y0, 3);
    EXPECT_EQ(b.x1, 25);
    EXPECT_EQ(b.y1, 23);
    EXPECT_EQ(b.count, 400);
}

TEST_F(SoftwareDCTest, ResizeProjectsTheNewLogicalSizeOntoTheBuffer)
{
    ASSERT_EQ(dc_.Resize(32, 24), 0);
    EXPECT_EQ(dc_.GetWidth(), 32);
    EXPECT_EQ(dc_.GetHeight(), 24);
    EXPECT_EQ(dc_.BufferWidth(), kWidth);
    KVQRect clip;
    dc_.GetClip(clip);
    EXPECT_EQ(clip, (KVQRect{0, 32, 0, 24}));  // the whole new area, last row and column included
    dc_.FillRect({0, 32, 0, 24}, kRed);
    EXPECT_EQ(Drawn().count, kWidth * kHeight);
    dc_.BeginScene();
    dc_.FillRect({1, 2, 1, 2}, kRed);
    const Box b = Drawn();
    EXPECT_EQ(b.x0, 2);
    EXPECT_EQ(b.x1, 4);
    EXPECT_EQ(b.count, 4);
    EXPECT_NE(dc_.Resize(0, 5), 0);
}

TEST_F(SoftwareDCTest, PitchWidensRowsAndReadFrameDropsThePadding)
{
    dc_.FillRect({0, 1, 1, 2}, kRed);
    EXPECT_NE(dc_.SetPitch(kWidth - 1), 0);
    ASSERT_EQ(dc_.SetPitch(kWidth + 16), 0);
    EXPECT_EQ(dc_.GetPitch(), kWidth + 16);
    const uint32_t* bits = static_cast<const uint32_t*>(dc_.GetBits());
    EXPECT_EQ(bits[kWidth + 16], kRed);  // row 1 starts one pitch in
    dc_.FillRect({kWidth - 1, kWidth, 2, 3}, kRed);
    EXPECT_EQ(bits[2 * (kWidth + 16) + kWidth - 1], kRed);
    EXPECT_EQ(bits[2 * (kWidth + 16) + kWidth], kGrey);  // padding untouched
    std::vector<uint8_t> rgba;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(dc_.ReadFrame(rgba, w, h));
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    ASSERT_EQ(rgba.size(), static_cast<size_t>(kWidth * kHeight * 4));
    EXPECT_EQ(rgba[static_cast<size_t>(kWidth) * 4], 255);  // (0, 1) is red
    EXPECT_EQ(rgba[(static_cast<size_t>(2 * kWidth) + kWidth - 1) * 4 + 1], 0);
}

TEST_F(SoftwareDCTest, HostileGeometryIsHarmless)
{
    const int32_t tex = AddCoordinateTexture(4, 4);
    const int32_t big = std::numeric_limits<int32_t>::max(), small = std::numeric_limits<int32_t>::min();
    dc_.FillRect({small, big, small, big}, kRed);
    dc_.Blit(tex, {small, big, small, big}, {small, big, small, big}, kWhite);
    dc_.StretchBlit(tex, {0, 4, 0, 4}, {small, big, small, big}, kWhite);
    dc_.StretchBlit(tex, {0, 4, 0, 4}, {10, 10, 0, 5}, kWhite);  // no width
    dc_.DrawLine({small, small}, {big, big}, kWhite);
    dc_.FillEllipse({small, big, small, big}, kWhite);
    dc_.DrawEllipse({5, 5, 5, 9}, kWhite);
    dc_.PushTransform(big, small, 1e30f, -1e30f);
    dc_.Blit(tex, {0, 4, 0, 4}, {0, 4, 0, 4}, kWhite);
    dc_.PushTransform(0, 0, std::nanf(""), 0.0f);
    dc_.Blit(tex, {0, 4, 0, 4}, {0, 4, 0, 4}, kWhite);
    dc_.PopTransform();
    dc_.PopTransform();
    dc_.PopTransform();  // more pops than pushes
    dc_.PopClip();
    dc_.PopClip();
    dc_.FillRect({0, 2, 0, 2}, kRed);  // with no clip left, only the buffer limits drawing
    EXPECT_EQ(dc_.PixelAt(1, 1), kRed);
    SUCCEED();
}

TEST_F(SoftwareDCTest, ScenesMatchTheirGoldenPictures)
{
    const scenes::Textures textures = scenes::AddTextures();
    ASSERT_GE(textures.pattern, 0);
    ASSERT_GE(textures.ramp, 0);
    for (const scenes::Scene& scene : scenes::All()) {
        CKVQWin32DC dc;
        std::vector<uint8_t> rgba;
        ASSERT_TRUE(scenes::Render(dc, scene, textures, nullptr, rgba)) << scene.name;
        EXPECT_TRUE(golden::Matches(scene.name, rgba, scenes::kWidth, scenes::kHeight));
    }
    scenes::RemoveTextures();
}

}  // namespace
