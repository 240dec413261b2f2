#include "common/Types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// {left, right, top, bottom}
KVQRect R(int32_t l, int32_t r, int32_t t, int32_t b)
{
    return KVQRect{l, r, t, b};
}

TEST(RectBasics, ExtentsCornersAndEmptiness)
{
    const KVQRect r = R(10, 31, 20, 71);
    EXPECT_EQ(r.Width(), 21);
    EXPECT_EQ(r.Height(), 51);
    EXPECT_EQ(r.TopRight(), (KVQPoint{31, 20}));
    EXPECT_EQ(r.BottomLeft(), (KVQPoint{10, 71}));
    EXPECT_EQ(r.Center(), (KVQPoint{20, 45}));
    EXPECT_EQ(R(-3, 0, -5, 0).Center(), (KVQPoint{-1, -2}));  // truncates toward zero
    EXPECT_TRUE(R(5, 5, 7, 7).IsEmpty());
    EXPECT_FALSE(R(5, 5, 0, 10).IsEmpty());  // zero width alone is not empty
    EXPECT_FALSE(R(0, 10, 7, 7).IsEmpty());
}

TEST(RectBasics, ExtremeValuesDoNotOverflow)
{
    EXPECT_EQ(R(kMin, kMax, 0, 0).Width(), -1);  // wraps like the machine does
    EXPECT_EQ(R(kMin, kMax, kMin, kMax).Center(), (KVQPoint{0, 0}));
    EXPECT_EQ(R(kMax, kMax, kMax - 2, kMax).Center(), (KVQPoint{kMax, kMax - 1}));
    KVQRect grown = R(kMin, kMax, 0, 0);
    grown.Inflate(1, 0, 1, 0);
    EXPECT_EQ(grown, R(kMax, kMin, 0, 0));
}

TEST(RectContainment, PointAndRectTestsIncludeTheEdges)
{
    const KVQRect r = R(10, 20, 30, 40);
    EXPECT_TRUE(r.Contains({10, 30}));
    EXPECT_TRUE(r.Contains({20, 40}));
    EXPECT_FALSE(r.Contains({9, 35}));
    EXPECT_FALSE(r.Contains({21, 35}));
    EXPECT_FALSE(r.Contains({15, 29}));
    EXPECT_FALSE(r.Contains({15, 41}));

    EXPECT_TRUE(r.IncludesRect(r));
    EXPECT_TRUE(r.IncludesRect(R(12, 18, 32, 38)));
    EXPECT_FALSE(r.IncludesRect(R(9, 20, 30, 40)));
    EXPECT_FALSE(r.IncludesRect(R(10, 21, 30, 40)));
    EXPECT_FALSE(r.IncludesRect(R(10, 20, 29, 40)));
    EXPECT_FALSE(r.IncludesRect(R(10, 20, 30, 41)));
}

TEST(RectIntersection, SharedEdgesIntersectAndOneUnitApartDoesNot)
{
    const KVQRect a = R(0, 10, 0, 10);
    const KVQRect touching[] = {R(10, 20, 0, 10), R(-10, 0, 0, 10), R(0, 10, 10, 20), R(0, 10, -10, 0)};
    const KVQRect apart[] = {R(11, 20, 0, 10), R(-10, -1, 0, 10), R(0, 10, 11, 20), R(0, 10, -10, -1)};
    for (const KVQRect& b : touching) {
        EXPECT_TRUE(a.IsIntersect(b)) << b.left << "," << b.top;
        EXPECT_TRUE(b.IsIntersect(a)) << b.left << "," << b.top;
    }
    for (const KVQRect& b : apart) {
        EXPECT_FALSE(a.IsIntersect(b)) << b.left << "," << b.top;
        EXPECT_FALSE(b.IsIntersect(a)) << b.left << "," << b.top;
    }
}

TEST(RectIntersection, OverlapOrZeroRect)
{
    const KVQRect a = R(0, 10, 0, 10);
    EXPECT_EQ(a.Intersection(R(5, 15, -5, 3)), R(5, 10, 0, 3));
    EXPECT_EQ(a.Intersection(R(10, 20, 2, 4)), R(10, 10, 2, 4));  // a shared edge
    EXPECT_EQ(a.Intersection(R(50, 60, 50, 60)), R(0, 0, 0, 0));
}

TEST(RectUnion, EmptyRectTakesTheOtherElseBoundingRect)
{
    KVQRect point = R(100, 100, 100, 100);
    point.Union(R(1, 2, 3, 4));
    EXPECT_EQ(point, R(1, 2, 3, 4));  // the lone point is dropped

    KVQRect line = R(100, 100, 0, 10);  // zero width, not empty
    line.Union(R(1, 2, 3, 4));
    EXPECT_EQ(line, R(1, 100, 0, 10));

    KVQRect combined = R(0, 10, 0, 10);
    combined.Combine(R(5, 20, -5, 3));
    EXPECT_EQ(combined, R(0, 20, -5, 10));
}

TEST(RectUnion, AlignedUnionJoinsOnlyEdgeAlignedRects)
{
    KVQRect stacked = R(0, 10, 0, 10);
    stacked.UnionAligned(R(0, 10, 30, 40));
    EXPECT_EQ(stacked, R(0, 10, 0, 40));

    KVQRect row = R(0, 10, 0, 10);
    row.UnionAligned(R(-20, -5, 0, 10));
    EXPECT_EQ(row, R(-20, 10, 0, 10));

    KVQRect apart = R(0, 10, 0, 10);
    apart.UnionAligned(R(1, 10, 30, 40));
    EXPECT_EQ(apart, R(0, 10, 0, 10));

    KVQRect empty = R(0, 0, 0, 0);
    empty.UnionAligned(R(1, 2, 3, 4));  // unlike Union, an empty rect stays
    EXPECT_EQ(empty, R(0, 0, 0, 0));
}

TEST(RectEdit, InflateDeflateAndNormalize)
{
    KVQRect r = R(10, 30, 20, 40);
    r.Inflate(1, 2, 3, 4);  // left, top, right, bottom
    EXPECT_EQ(r, R(9, 33, 18, 44));
    r.Deflate(1, 2, 3, 4);
    EXPECT_EQ(r, R(10, 30, 20, 40));

    KVQRect reversed = R(30, 10, 40, 20);
    reversed.Normalize();
    EXPECT_EQ(reversed, R(10, 30, 20, 40));
    KVQRect half = R(30, 10, 20, 40);
    half.Normalize();
    EXPECT_EQ(half, R(10, 30, 20, 40));
}

TEST(PointArithmetic, ComponentWiseAndWrapping)
{
    const KVQPoint a{3, -4};
    const KVQPoint b{5, 7};
    EXPECT_EQ(a + b, (KVQPoint{8, 3}));
    EXPECT_EQ(a - b, (KVQPoint{-2, -11}));
    EXPECT_EQ(a * b, (KVQPoint{15, -28}));
    EXPECT_FALSE(a == (KVQPoint{3, 4}));
    EXPECT_EQ((KVQPoint{kMax, kMin}) + (KVQPoint{1, -1}), (KVQPoint{kMin, kMax}));
    EXPECT_EQ((KVQPoint{kMax, 0}) * (KVQPoint{2, 0}), (KVQPoint{-2, 0}));
}

TEST(VectorMath, ArithmeticDotAndAngle)
{
    constexpr float kPi = std::numbers::pi_v<float>;
    const KVQVector2D a{1.5f, -2.0f};
    const KVQVector2D b{0.5f, 4.0f};
    EXPECT_EQ(a - b, (KVQVector2D{1.0f, -6.0f}));
    EXPECT_EQ(a * 2.0f, (KVQVector2D{3.0f, -4.0f}));
    EXPECT_FLOAT_EQ(a.Dot(b), 0.75f - 8.0f);

    const KVQVector2D east{2.0f, 0.0f};
    EXPECT_FLOAT_EQ(east.Angle({0.0f, -3.0f}), kPi / 2);  // unsigned
    EXPECT_FLOAT_EQ(east.Angle({-1.0f, 0.0f}), kPi);
    EXPECT_NEAR(east.Angle({1.0f, 1.0f}), kPi / 4, 1e-6f);
    EXPECT_EQ(east.Angle({0.0f, 0.0f}), 0.0f);
}

TEST(VectorMath, AngleOfAVectorWithItselfIsZeroDespiteRounding)
{
    // For this vector the rounded cosine comes out just above 1, where acos is NaN.
    const KVQVector2D v{0.013f, 1.85f};
    EXPECT_EQ(v.Angle(v), 0.0f);
}

TEST(VectorMath, NormalizeDividesByLengthAndKeepsZero)
{
    KVQVector2D v{3.0f, -4.0f};
    v.Normalize();
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, -0.8f);

    KVQVector2D zero{};
    zero.Normalize();
    EXPECT_EQ(zero, (KVQVector2D{0.0f, 0.0f}));
}

}  // namespace
