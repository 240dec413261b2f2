#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "app/CoreCfg.h"
#include "gfx/DrawGeometry.h"
#include "gfx/SoftwareDC.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(DrawGeometryTest, ConversionsSaturateInsteadOfWrapping)
{
    EXPECT_EQ(TruncateToInt32(std::nan("")), 0);
    EXPECT_EQ(TruncateToInt32(-2.9), -2);
    EXPECT_EQ(TruncateToInt32(1e300), kMax);
    EXPECT_EQ(TruncateToInt32(-1e300), kMin);
    EXPECT_EQ(SaturatingAdd(kMax, 1), kMax);
    EXPECT_EQ(SaturatingAdd(kMin, -1), kMin);
    EXPECT_EQ(ClampToInt32(int64_t{1} << 40), kMax);
}

TEST(DrawGeometryTest, ModulationIsPerChannelAndWhiteKeepsTheColour)
{
    EXPECT_EQ(ModulateColor(0x80FF4020u, 0xFFFFFFFFu), 0x80FF4020u);
    // 0xFF * 0x80 / 255 = 0x80 per channel; 0x40 * 0x80 / 255 truncates to 0x20.
    EXPECT_EQ(ModulateColor(0xFF40FF00u, 0x80808080u), 0x80208000u);
}

TEST(DrawGeometryTest, NestedTransformsComposeAboutTheirPivots)
{
    KVQTransform t;
    EXPECT_EQ(t.MapX(10), 11);  // textured quads land one pixel right and below
    const KVQTransform scaled = t.Then(10, 20, 2.0f, 0.5f);
    EXPECT_EQ(scaled.MapX(10), 11);
    EXPECT_EQ(scaled.MapX(15), 21);
    EXPECT_EQ(scaled.MapY(30), 26);
    const KVQTransform inner = scaled.Then(15, 30, 2.0f, 2.0f);
    EXPECT_EQ(inner.originX, 21);
    EXPECT_EQ(inner.originY, 26);
    EXPECT_FLOAT_EQ(inner.scaleX, 4.0f);
    EXPECT_FLOAT_EQ(inner.scaleY, 1.0f);
    // An unscaled transform maps exactly, even past the int32 range.
    EXPECT_EQ(t.MapX(kMax), int64_t{kMax} + 1);
}

TEST(DrawGeometryTest, SourceFollowsTheClippedDestination)
{
    const KVQRect src{0, 32, 0, 16};
    const KVQRect dst{100, 164, 50, 82};  // twice the source size
    const KVQRect visible{110, 150, 50, 70};
    const KVQSourceEdges same = CutSourceSamePixels(src, dst, visible);
    EXPECT_EQ(same.left, 10);
    EXPECT_EQ(same.right, 18);
    EXPECT_EQ(same.top, 0);
    EXPECT_EQ(same.bottom, 4);
    const KVQSourceEdges scaled = CutSourceProportional(src, dst, visible);
    EXPECT_EQ(scaled.left, 5);
    EXPECT_EQ(scaled.right, 25);  // 32 + (-14 * 32 / 64) = 32 - 7
    EXPECT_EQ(scaled.bottom, 10);  // 16 + (-12 * 16 / 32)
}

TEST(DrawGeometryTest, ProportionalCutOfHugeRectsDoesNotOverflow)
{
    // Both sizes near 2^32: the product of move and source size needs more than 64 bits.
    const KVQRect src{kMin, kMax, 0, 1};
    const KVQRect dst{kMin, kMax, 0, 1};
    const KVQRect visible{kMax - 1, kMax, 0, 1};
    const KVQSourceEdges e = CutSourceProportional(src, dst, visible);
    EXPECT_EQ(e.left, kMax - 1);
    EXPECT_EQ(e.right, kMax);
}

TEST(DrawGeometryTest, AxisSegmentsClipToTheBordersAndKeepTheirDirection)
{
    const KVQRect clip{10, 20, 10, 20};
    int32_t a = 25, b = 5;
    ASSERT_TRUE(ClipAxisSegment(clip, true, 20, a, b));  // the bottom border is inside
    EXPECT_EQ(a, 20);
    EXPECT_EQ(b, 10);
    a = 0, b = 5;
    EXPECT_FALSE(ClipAxisSegment(clip, false, 15, a, b));
    a = 12, b = 14;
    EXPECT_FALSE(ClipAxisSegment(clip, true, 21, a, b));
}

TEST(DrawGeometryTest, SegmentsAreCutToTheClipBordersIncluded)
{
    const KVQRect clip{10, 50, 10, 30};
    struct Case {
        KVQPoint a, b;
        bool inside;
        KVQPoint wantA, wantB;
    } cases[] = {
        {{20, 20}, {40, 25}, true, {20, 20}, {40, 25}},    // wholly inside: unchanged
        {{0, 20}, {64, 20}, true, {10, 20}, {50, 20}},     // horizontal, both ends cut
        {{30, 40}, {30, 0}, true, {30, 30}, {30, 10}},     // vertical upward keeps its direction
        {{10, 0}, {10, 48}, true, {10, 10}, {10, 30}},     // along the left border: kept
        {{0, 0}, {60, 40}, true, {15, 10}, {45, 30}},      // diagonal, cut on the nearest pixels
        {{0, 5}, {64, 5}, false, {}, {}},                  // above the clip
        {{0, 25}, {5, 35}, false, {}, {}},                 // passes the corner outside
        {{kMin, kMin}, {kMax, kMax}, true, {10, 10}, {30, 30}},
    };
    for (const Case& c : cases) {
        KVQPoint a = c.a, b = c.b;
        ASSERT_EQ(ClipSegment(clip, a, b), c.inside) << c.a.x << "," << c.a.y << " " << c.b.x << "," << c.b.y;
        if (c.inside) {
            EXPECT_EQ(a, c.wantA) << c.a.x << "," << c.a.y;
            EXPECT_EQ(b, c.wantB) << c.b.x << "," << c.b.y;
        }
    }
    KVQPoint a{0, 0}, b{5, 5};
    EXPECT_FALSE(ClipSegment(KVQRect{10, 5, 0, 10}, a, b)) << "an inverted clip holds nothing";
}

TEST(DrawGeometryTest, OutlineKeepsOnlyVisibleEdgesClockwise)
{
    KVQSegment edges[4];
    ASSERT_EQ(ClipRectOutline(KVQRect{0, 10, 0, 10}, nullptr, edges), 4);
    EXPECT_EQ(edges[2].from, (KVQPoint{10, 10}));  // the bottom edge runs right to left
    EXPECT_EQ(edges[2].to, (KVQPoint{0, 10}));
    const KVQRect clip{5, 20, -5, 20};  // hides the left edge
    ASSERT_EQ(ClipRectOutline(KVQRect{0, 10, 0, 10}, &clip, edges), 3);
    EXPECT_EQ(edges[0].from, (KVQPoint{5, 0}));
    EXPECT_EQ(edges[2].to, (KVQPoint{5, 10}));
}

TEST(DrawGeometryTest, RotatedCornersLandOnWholePixelsAtRightAngles)
{
    const KVQRotatedCorners none = RotateQuadCorners(0, 0, 10, 6, 0.0f);
    EXPECT_EQ(none.corner[0][0], 0);
    EXPECT_EQ(none.corner[0][1], 0);
    EXPECT_EQ(none.corner[3][0], 10);
    EXPECT_EQ(none.corner[3][1], 6);
    // A quarter turn: the left-top corner goes to the left-bottom of the turned quad.
    const KVQRotatedCorners quarter = RotateQuadCorners(0, 0, 10, 6, static_cast<float>(M_PI / 2));
    EXPECT_EQ(quarter.corner[0][0], 2);
    EXPECT_EQ(quarter.corner[0][1], 8);
    EXPECT_EQ(quarter.corner[3][0], 8);
    EXPECT_EQ(quarter.corner[3][1], -2);
}

class DeviceStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = GetCoreCfg();
        GetCoreCfg().IsAutoScale = false;
    }
    void TearDown() override { GetCoreCfg() = saved_; }

    KVQCoreCfg saved_;
    CKVQWin32DC dc_;
};

TEST_F(DeviceStateTest, EmptyStacksReportFailureOnPop)
{
    ASSERT_EQ(dc_.Init(16, 16, nullptr, 0), 0);
    EXPECT_EQ(dc_.PopClip(), 0);
    EXPECT_EQ(dc_.PopClip(), -1);
    KVQRect clip{1, 2, 3, 4};
    dc_.GetClip(clip);
    EXPECT_EQ(clip, KVQRect{});
    EXPECT_EQ(dc_.PopTransform(), -1);
    EXPECT_EQ(dc_.PopColor(nullptr), -1);
}

TEST_F(DeviceStateTest, InvalidRectsAtTheFarEdgeDoNotWrapAround)
{
    ASSERT_EQ(dc_.Init(16, 16, nullptr, 0), 0);
    dc_.InvalidateRect(KVQRect{100, kMax, 200, kMax}, 0);
    KVQRect r;
    dc_.GetInvalidRect(r);
    EXPECT_EQ(r, (KVQRect{99, kMax, 199, kMax}));
    EXPECT_TRUE(dc_.IsDirty());
}

TEST_F(DeviceStateTest, FirstClipIgnoresAnUnusableAutomaticScale)
{
    GetCoreCfg().IsAutoScale = true;
    GetCoreCfg().fAutoScaleX = 2.0f;
    GetCoreCfg().fAutoScaleY = 0.0f;
    ASSERT_EQ(dc_.Init(40, 30, nullptr, 0), 0);
    KVQRect clip;
    dc_.GetClip(clip);
    EXPECT_EQ(clip, (KVQRect{0, 20, 0, 30}));
    dc_.PushClip(KVQRect{5, 50, -5, 10}, 0);
    dc_.GetClip(clip);
    EXPECT_EQ(clip, (KVQRect{5, 20, 0, 10}));
    EXPECT_EQ(dc_.GetClipDepth(), 2u);
}

}  // namespace
