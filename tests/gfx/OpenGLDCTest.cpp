#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "gfx/OpenGLESDC.h"
#include "gfx/GLTestSupport.h"

namespace {

constexpr uint32_t kRed = 0xFF0000FFu;
constexpr uint32_t kGreen = 0xFF00FF00u;
constexpr uint32_t kBlue = 0xFFFF0000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kGrey = 0xFFC0C0C0u;

KVQRect Rect(int32_t left, int32_t right, int32_t top, int32_t bottom)
{
    return KVQRect{left, right, top, bottom};
}

std::string Text(const KVQRect& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.right) + "," + std::to_string(r.top) + "," +
           std::to_string(r.bottom);
}

struct Point {
    int x, y;
    bool operator==(const Point&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Point& p)
{
    return out << "(" << p.x << "," << p.y << ")";
}

std::vector<Point> Positions(const CKVQOpenGLESDC& dc, int32_t first, int32_t count)
{
    std::vector<Point> points;
    for (int32_t i = first; i < first + count; ++i) {
        CKVQOpenGLESDC::Vertex v = dc.GetVertex(i);
        points.push_back({v.x, v.y});
    }
    return points;
}

using DeviceBatching = GLDeviceTest;
using DeviceDrawing = GLDeviceTest;
using DeviceRecords = GLDeviceTest;
using DeviceFrames = GLDeviceTest;

// ---- runs and flushes ---------------------------------------------------------------------------

TEST_F(DeviceBatching, QuadsOfOneTextureAndBlendModeShareADrawCall)
{
    int32_t tex = AddSolidTexture(8, 8, kRed);
    dc_->BeginScene();
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(0, 8, 0, 8), kWhite);
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(10, 18, 0, 8), kWhite);
    EXPECT_EQ(dc_->GetPendingVertices(), 12);
    dc_->EndScene();
    EXPECT_EQ(dc_->GetDrawCalls(), 1);
    EXPECT_EQ(dc_->GetPendingVertices(), 0);

    dc_->ResetCounters();
    dc_->BeginScene();
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(0, 8, 0, 8), kWhite);
    dc_->SetBlendMode(1);
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(10, 18, 0, 8), kWhite);
    dc_->EndScene();
    EXPECT_EQ(dc_->GetDrawCalls(), 2);
    EXPECT_EQ(dc_->GetCommands()[0].blend, 0);
}

TEST_F(DeviceBatching, TextureKindOrModeChangesStartNewRuns)
{
    int32_t a = AddSolidTexture(8, 8, kRed);
    int32_t b = AddSolidTexture(8, 8, kGreen);
    dc_->BeginScene();
    dc_->Blit(a, Rect(0, 8, 0, 8), Rect(0, 8, 0, 8), kWhite);
    dc_->Blit(b, Rect(0, 8, 0, 8), Rect(0, 8, 0, 8), kWhite);
    dc_->FillRect(Rect(0, 4, 0, 4), kBlue);
    dc_->FillRect(Rect(4, 8, 0, 4), kBlue);
    dc_->DrawLine({0, 0}, {5, 5}, kBlue);
    dc_->SetBlendMode(0);  // unchanged: the line run goes on
    dc_->DrawLine({0, 5}, {5, 0}, kBlue);
    dc_->PushTransform(0, 0, 1.0f, 1.0f);  // unscaled: the run goes on
    dc_->DrawLine({0, 1}, {5, 1}, kBlue);
    dc_->EndScene();
    EXPECT_EQ(dc_->GetDrawCalls(), 4);

    // A scaled transform ends the run, so the scale a command carries is the one it was drawn with.
    dc_->ResetCounters();
    dc_->BeginScene();
    dc_->Blit(a, Rect(0, 8, 0, 8), Rect(0, 8, 0, 8), kWhite);
    dc_->PushTransform(0, 0, 2.0f, 2.0f);
    dc_->Blit(a, Rect(0, 8, 0, 8), Rect(0, 8, 0, 8), kWhite);
    dc_->PopTransform();
    dc_->EndScene();
    EXPECT_EQ(dc_->GetDrawCalls(), 2);
}

TEST_F(DeviceBatching, QuadThatWouldPassTheLimitFlushesFirst)
{
    int32_t tex = AddSolidTexture(4, 4, kRed);
    dc_->BeginScene();
    for (int i = 0; i < 341; ++i)
        dc_->Blit(tex, Rect(0, 4, 0, 4), Rect(0, 4, 0, 4), kWhite);
    EXPECT_EQ(dc_->GetPendingVertices(), 2046);
    EXPECT_EQ(dc_->GetBatchFlushes(), 0);
    dc_->Blit(tex, Rect(0, 4, 0, 4), Rect(0, 4, 0, 4), kWhite);
    EXPECT_EQ(dc_->GetBatchFlushes(), 1);
    EXPECT_EQ(dc_->GetPendingVertices(), 6);
    EXPECT_EQ(dc_->GetRunVertices(), 6);

    // Lines fill the batch to the last vertex it may hold.
    dc_->EndScene();
    dc_->ResetCounters();
    for (int i = 0; i < 1023; ++i)
        dc_->DrawLine({0, 0}, {1, 1}, kRed);
    EXPECT_EQ(dc_->GetPendingVertices(), 2046);
    dc_->DrawLine({0, 0}, {1, 1}, kRed);
    EXPECT_EQ(dc_->GetBatchFlushes(), 1);
    EXPECT_EQ(dc_->GetPendingVertices(), 2);
    dc_->EndScene();
}

TEST_F(DeviceBatching, DeviceWithoutContextBatchesAndDiscards)
{
    CKVQOpenGLESDC dc;
    EXPECT_NE(dc.Init(32, 32, nullptr, 0), 0);
    EXPECT_FALSE(dc.HasContext());
    int32_t tex = AddSolidTexture(4, 4, kRed);
    dc.PushClip(Rect(0, 32, 0, 32), 0);
    dc.BeginScene();
    dc.Blit(tex, Rect(0, 4, 0, 4), Rect(0, 4, 0, 4), kWhite);
    dc.FillRect(Rect(0, 4, 0, 4), kRed);
    EXPECT_EQ(dc.GetPendingVertices(), 12);
    dc.EndScene();
    EXPECT_EQ(dc.GetPendingVertices(), 0);
    EXPECT_EQ(dc.GetBatchFlushes(), 1);
    std::vector<uint8_t> rgba;
    int32_t w = 0, h = 0;
    EXPECT_FALSE(dc.ReadFrame(rgba, w, h));
}

// ---- textured quads -----------------------------------------------------------------------------

TEST_F(DeviceDrawing, QuadIsTwoTrianglesOnePixelRightAndBelow)
{
    int32_t tex = AddSolidTexture(16, 8, kRed);
    dc_->Blit(tex, Rect(4, 8, 2, 6), Rect(10, 14, 20, 24), 0x80402010u);
    ASSERT_EQ(dc_->GetPendingVertices(), 6);
    EXPECT_EQ(Positions(*dc_, 0, 6),
              (std::vector<Point>{{11, 21}, {15, 21}, {11, 25}, {15, 25}, {11, 25}, {15, 21}}));
    CKVQOpenGLESDC::Vertex lt = dc_->GetVertex(0), rb = dc_->GetVertex(3);
    EXPECT_FLOAT_EQ(lt.u, 4.0f / 16);
    EXPECT_FLOAT_EQ(lt.v, 2.0f / 8);
    EXPECT_FLOAT_EQ(rb.u, 8.0f / 16);
    EXPECT_FLOAT_EQ(rb.v, 6.0f / 8);
    EXPECT_EQ(lt.color, 0x80402010u);
}

TEST_F(DeviceDrawing, ClipCutsSourcesAndDropsHiddenQuads)
{
    int32_t tex = AddSolidTexture(64, 64, kRed);
    dc_->PushClip(Rect(10, 40, 10, 40), 0);
    dc_->Blit(tex, Rect(0, 32, 0, 32), Rect(50, 82, 0, 32), kWhite);
    dc_->StretchBlit(tex, Rect(0, 32, 0, 32), Rect(40, 60, 10, 40), kWhite);  // touches the clip only
    dc_->Blit(tex, Rect(0, 1, 0, 1), Rect(0, 0, 0, 0), kWhite);               // no area
    EXPECT_EQ(dc_->GetPendingVertices(), 0);

    // Plain blit: each source edge moves with its destination edge.
    dc_->Blit(tex, Rect(0, 32, 0, 32), Rect(0, 32, 20, 52), kWhite);
    CKVQOpenGLESDC::Vertex lt = dc_->GetVertex(0), rb = dc_->GetVertex(3);
    EXPECT_EQ((Point{lt.x, lt.y}), (Point{11, 21}));
    EXPECT_EQ((Point{rb.x, rb.y}), (Point{33, 41}));
    EXPECT_FLOAT_EQ(lt.u * 64, 10);
    EXPECT_FLOAT_EQ(rb.u * 64, 32);
    EXPECT_FLOAT_EQ(lt.v * 64, 0);
    EXPECT_FLOAT_EQ(rb.v * 64, 20);

    // Stretched: in proportion, truncated toward zero. Destination 0..60 shows source 0..20, so the
    // clip at 10 and 40 cuts the source at 10 * 20 / 60 = 3 and 20 + (40 - 60) * 20 / 60 = 14.
    dc_->StretchBlit(tex, Rect(0, 20, 0, 20), Rect(0, 60, 0, 60), kWhite);
    lt = dc_->GetVertex(6), rb = dc_->GetVertex(9);
    EXPECT_FLOAT_EQ(lt.u * 64, 3);
    EXPECT_FLOAT_EQ(rb.u * 64, 14);
    EXPECT_FLOAT_EQ(lt.v * 64, 3);
    EXPECT_FLOAT_EQ(rb.v * 64, 14);
    dc_->PopClip();
}

TEST_F(DeviceDrawing, UnknownTexturesEllipsesAndPixelsDrawNothing)
{
    EXPECT_EQ(dc_->Blit(987654, Rect(0, 4, 0, 4), Rect(0, 4, 0, 4), kWhite), 0);
    EXPECT_EQ(dc_->RotateBlit(-1, Rect(0, 4, 0, 4), Rect(0, 4, 0, 4), kWhite, 1.0f), 0);
    dc_->DrawEllipse(Rect(0, 10, 0, 10), kRed);
    dc_->FillEllipse(Rect(0, 10, 0, 10), kRed);
    dc_->SetPixel({1, 1}, kRed);
    EXPECT_EQ(dc_->GetPendingVertices(), 0);
}

TEST_F(DeviceDrawing, TransformScalesAboutItsPivotAndStacks)
{
    int32_t tex = AddSolidTexture(8, 8, kRed);
    dc_->PushTransform(10, 10, 2.0f, 2.0f);  // origin 1 + 10 = 11
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(10, 14, 10, 12), kWhite);
    EXPECT_EQ(Positions(*dc_, 0, 4), (std::vector<Point>{{11, 11}, {19, 11}, {11, 15}, {19, 15}}));
    dc_->PushTransform(14, 10, 0.5f, 1.0f);  // origin 11 + 4 * 2 = 19, scale (1, 2)
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(14, 16, 10, 11), kWhite);
    EXPECT_EQ(Positions(*dc_, 6, 4), (std::vector<Point>{{19, 11}, {21, 11}, {19, 13}, {21, 13}}));
    EXPECT_EQ(dc_->PopTransform(), 0);
    EXPECT_EQ(dc_->PopTransform(), 0);
    EXPECT_EQ(dc_->PopTransform(), -1);  // nothing left to pop: state unchanged
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(0, 1, 0, 1), kWhite);
    EXPECT_EQ(Positions(*dc_, 12, 1), (std::vector<Point>{{1, 1}}));
}

TEST_F(DeviceDrawing, ColourStackModulatesTexturedQuadsOnly)
{
    int32_t tex = AddSolidTexture(8, 8, kRed);
    dc_->PushColor(0x80FF80FFu);  // r 255, g 128, b 255, a 128
    dc_->PushColor(0xFFFFFF80u);  // r 128
    EXPECT_EQ(dc_->GetModulation(), 0x80FF8080u);
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(0, 8, 0, 8), 0xFF40C8FFu);
    // 255*128/255 = 128, 200*128/255 = 100, 64*255/255 = 64, 255*128/255 = 128
    EXPECT_EQ(dc_->GetVertex(0).color, 0x80406480u);
    dc_->DrawLine({0, 0}, {4, 4}, 0xFF40C8FFu);
    dc_->FillRect(Rect(0, 4, 0, 4), 0xFF40C8FFu);
    EXPECT_EQ(dc_->GetVertex(6).color, 0xFF40C8FFu);
    EXPECT_EQ(dc_->GetVertex(8).color, 0xFF40C8FFu);
    uint32_t restored = 0;
    EXPECT_EQ(dc_->PopColor(&restored), 0);
    EXPECT_EQ(restored, 0x80FF80FFu);
    EXPECT_EQ(dc_->PopColor(nullptr), 0);
    EXPECT_EQ(dc_->GetModulation(), kWhite);
    EXPECT_EQ(dc_->PopColor(&restored), -1);
}

TEST_F(DeviceDrawing, RotatedQuadTurnsAboutTheDestinationCentre)
{
    int32_t tex = AddSolidTexture(8, 8, kRed);
    // Destination 20..30 x 10..16 lands at 21..31 x 11..17: centre (26, 14), halves 5 and 3.
    dc_->RotateBlit(tex, Rect(0, 8, 0, 8), Rect(20, 30, 10, 16), kWhite, 0.0f);
    EXPECT_EQ(Positions(*dc_, 0, 6),
              (std::vector<Point>{{21, 11}, {31, 11}, {21, 17}, {31, 17}, {21, 17}, {31, 11}}));
    // theta = 2 pi - angle: a quarter turn puts the left-top corner at centre + (-hh, +hw).
    dc_->RotateBlit(tex, Rect(0, 8, 0, 8), Rect(20, 30, 10, 16), kWhite, std::numbers::pi_v<float> / 2);
    EXPECT_EQ(Positions(*dc_, 6, 4), (std::vector<Point>{{23, 19}, {23, 9}, {29, 19}, {29, 9}}));
    // In between, corners are truncated toward zero.
    dc_->RotateBlit(tex, Rect(0, 8, 0, 8), Rect(20, 30, 10, 16), kWhite, 0.5f);
    double c = std::cos(0.5), s = -std::sin(0.5);
    CKVQOpenGLESDC::Vertex lt = dc_->GetVertex(12);
    EXPECT_EQ(lt.x, static_cast<int>(26 + (-5 * c - -3 * s)));
    EXPECT_EQ(lt.y, static_cast<int>(14 + (-5 * s + -3 * c)));
}

TEST_F(DeviceDrawing, OutlinedQuadDrawsSixOutlinesThenTheFill)
{
    int32_t tex = AddSolidTexture(8, 8, kRed);
    dc_->BlitOutlined(tex, Rect(0, 4, 0, 4), Rect(10, 14, 10, 14), kWhite, kBlue);
    ASSERT_EQ(dc_->GetPendingVertices(), 42);
    const Point expected[] = {{12, 11}, {10, 11}, {11, 12}, {11, 10}, {12, 12}, {10, 10}, {11, 11}};
    for (int i = 0; i < 7; ++i) {
        CKVQOpenGLESDC::Vertex v = dc_->GetVertex(i * 6);
        EXPECT_EQ((Point{v.x, v.y}), expected[i]) << "copy " << i;
        EXPECT_EQ(v.color, i < 6 ? kBlue : kWhite) << "copy " << i;
    }
}

TEST_F(DeviceDrawing, HostileGeometryIsHeldAtTheEndsOfItsRange)
{
    int32_t tex = AddSolidTexture(8, 8, kRed);
    const KVQRect huge = Rect(INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX);
    dc_->PushClip(huge, 0);
    dc_->StretchBlit(tex, huge, huge, kWhite);
    CKVQOpenGLESDC::Vertex lt = dc_->GetVertex(0), rb = dc_->GetVertex(3);
    EXPECT_EQ((Point{lt.x, lt.y}), (Point{1, 1}));
    EXPECT_EQ((Point{rb.x, rb.y}), (Point{65, 49}));
    EXPECT_FLOAT_EQ(lt.u, 0.0f);  // INT32_MIN + 2^31 * (2^32 - 1) / (2^32 - 1)
    dc_->RotateBlit(tex, Rect(INT32_MAX, INT32_MIN, 0, 8), huge, kWhite, 1e30f);
    dc_->BlitOutlined(tex, huge, Rect(INT32_MAX - 1, INT32_MAX, 0, 8), kWhite, kBlue);
    dc_->PushTransform(INT32_MIN, INT32_MAX, std::nanf(""), INFINITY);
    dc_->Blit(tex, huge, Rect(0, 8, 0, 8), kWhite);
    dc_->PopTransform();
    dc_->EndScene();

    dc_->PushTransform(0, 0, 1e9f, 1e9f);
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(0, 8, 0, 8), kWhite);
    dc_->PopTransform();
    EXPECT_EQ(Positions(*dc_, 0, 2), (std::vector<Point>{{1, 1}, {32767, 1}}));
    dc_->DrawLine({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, kRed);  // cut to the 64 x 48 clip
    EXPECT_EQ(Positions(*dc_, 6, 2), (std::vector<Point>{{0, 0}, {48, 48}}));
    dc_->DrawRect(huge, kRed);
    dc_->FillRect(huge, kRed);
    dc_->EndScene();

    KVQRect paint;
    dc_->Flip();
    dc_->InvalidateRect(Rect(INT32_MIN, INT32_MAX, -5, INT32_MAX), 0);
    dc_->GetInvalidRect(paint);
    EXPECT_EQ(Text(paint), "0,2147483647,0,2147483647");
}

// ---- lines and fills ----------------------------------------------------------------------------

TEST_F(DeviceDrawing, LinesAreNeitherTransformedNorModulated)
{
    dc_->PushTransform(3, 3, 2.0f, 2.0f);
    dc_->PushColor(0x80808080u);
    dc_->DrawHLine({5, 5}, 10, kRed);
    dc_->DrawVLine({5, 5}, 10, kRed);
    EXPECT_EQ(Positions(*dc_, 0, 4), (std::vector<Point>{{5, 5}, {15, 5}, {5, 5}, {5, 15}}));
    EXPECT_EQ(dc_->GetVertex(1).color, kRed);
    dc_->FillRect(Rect(2, 6, 3, 7), kRed);
    EXPECT_EQ(Positions(*dc_, 4, 4), (std::vector<Point>{{2, 3}, {6, 3}, {2, 7}, {6, 7}}));
    dc_->PopColor(nullptr);
    dc_->PopTransform();
}

TEST_F(DeviceDrawing, RectOutlineKeepsOnlyItsVisibleEdges)
{
    dc_->DrawRect(Rect(2, 10, 3, 8), kRed);
    EXPECT_EQ(Positions(*dc_, 0, 8), (std::vector<Point>{{2, 3}, {10, 3}, {10, 3}, {10, 8}, {10, 8}, {2, 8},
                                                          {2, 8}, {2, 3}}));
    dc_->EndScene();
    // The clip hides the right edge and cuts the top and bottom ones; no edge along the clip border.
    dc_->PushClip(Rect(0, 6, 0, 20), 0);
    dc_->DrawRect(Rect(2, 10, 3, 8), kRed);
    EXPECT_EQ(Positions(*dc_, 0, 6), (std::vector<Point>{{2, 3}, {6, 3}, {6, 8}, {2, 8}, {2, 8}, {2, 3}}));
    EXPECT_EQ(dc_->GetPendingVertices(), 6);
    dc_->FillRect(Rect(-5, 30, 10, 12), kRed);
    EXPECT_EQ(Positions(*dc_, 6, 4), (std::vector<Point>{{0, 10}, {6, 10}, {0, 12}, {6, 12}}));
    dc_->FillRect(Rect(6, 30, 10, 12), kRed);  // beyond the clip
    EXPECT_EQ(dc_->GetPendingVertices(), 12);
    dc_->PopClip();
}

TEST_F(DeviceDrawing, LineWidthTravelsWithItsLines)
{
    EXPECT_EQ(dc_->SetLineWidth(3), 1);
    dc_->DrawLine({0, 0}, {4, 0}, kRed);
    EXPECT_EQ(dc_->SetLineWidth(1), 3);
    dc_->DrawLine({0, 2}, {4, 2}, kRed);
    dc_->EndScene();
    EXPECT_EQ(dc_->GetDrawCalls(), 2);
    EXPECT_EQ(dc_->GetLineWidth(), 1);
}

// ---- clip stack ---------------------------------------------------------------------------------

TEST_F(DeviceDrawing, OutermostClipIsDividedByTheAutomaticScale)
{
    KVQRect clip;
    dc_->GetClip(clip);
    EXPECT_EQ(Text(clip), "0,64,0,48");

    GetCoreCfg().IsAutoScale = true;
    GetCoreCfg().fAutoScaleX = 2.0f;
    GetCoreCfg().fAutoScaleY = 1.5f;
    ASSERT_EQ(dc_->Init(kWidth, kHeight, window_, 0), 0);
    dc_->GetClip(clip);
    EXPECT_EQ(Text(clip), "0,32,0,32");
    dc_->PushClip(Rect(10, 100, -5, 20), 0);  // inner pushes intersect unscaled
    dc_->GetClip(clip);
    EXPECT_EQ(Text(clip), "10,32,0,20");
    EXPECT_EQ(dc_->GetClipDepth(), 2u);
    dc_->PopClip();
    dc_->GetClip(clip);
    EXPECT_EQ(Text(clip), "0,32,0,32");
    dc_->PopClip();
    EXPECT_EQ(dc_->PopClip(), -1);

    // A scale that cannot divide leaves the rect as it is.
    GetCoreCfg().fAutoScaleX = 0.0f;
    dc_->PushClip(Rect(0, 40, 0, 30), 0);
    dc_->GetClip(clip);
    EXPECT_EQ(Text(clip), "0,40,0,20");
}

// ---- invalidation and presenting ----------------------------------------------------------------

TEST_F(DeviceFrames, InvalidatedRectsGrowByOnePixelAndMerge)
{
    KVQRect paint;
    dc_->Flip();
    EXPECT_FALSE(dc_->IsDirty());
    dc_->InvalidateRect(Rect(10, 30, 20, 40), 0);
    dc_->GetInvalidRect(paint);
    EXPECT_EQ(Text(paint), "9,31,19,41");
    EXPECT_TRUE(dc_->IsDirty());
    dc_->InvalidateRect(Rect(0, 5, 0, 5), 0);
    dc_->GetInvalidRect(paint);
    EXPECT_EQ(Text(paint), "0,31,0,41");
    dc_->Flip();
    dc_->GetInvalidRect(paint);
    EXPECT_TRUE(paint.IsEmpty());
    dc_->InvalidateRect(Rect(0, 5, 0, 5), 0);
    dc_->GetInvalidRect(paint);
    EXPECT_EQ(Text(paint), "0,6,0,6");

    // Flag 1 asks only for presenting again: dirty, but nothing to redraw.
    dc_->Flip();
    dc_->InvalidateRect(Rect(10, 30, 20, 40), 1);
    dc_->GetInvalidRect(paint);
    EXPECT_TRUE(paint.IsEmpty());
    EXPECT_TRUE(dc_->IsDirty());

    // Invalidate mode 1 ignores everything: no paint rect, not dirty.
    dc_->Flip();
    dc_->SetInvalidate(1);
    dc_->InvalidateRect(Rect(10, 30, 20, 40), 0);
    dc_->GetInvalidRect(paint);
    EXPECT_TRUE(paint.IsEmpty());
    EXPECT_FALSE(dc_->IsDirty());
}

TEST_F(DeviceFrames, PausedFlipIsANoOp)
{
    CKVQOpenGLESDC fresh;
    EXPECT_TRUE(fresh.IsDirty());
    dc_->InvalidateRect(Rect(10, 30, 20, 40), 0);
    GetCoreCfg().IsPaused = true;
    EXPECT_EQ(dc_->Flip(), 1);
    KVQRect paint;
    dc_->GetInvalidRect(paint);
    EXPECT_FALSE(paint.IsEmpty());
    EXPECT_TRUE(dc_->IsDirty());
    GetCoreCfg().IsPaused = false;
    EXPECT_EQ(dc_->Flip(), 0);
    EXPECT_FALSE(dc_->IsDirty());
}

// ---- pixels -------------------------------------------------------------------------------------

TEST_F(DeviceFrames, FillAndBlitReachThePixels)
{
    int32_t tex = AddSolidTexture(8, 8, kGreen);
    dc_->BeginScene();
    dc_->FillRect(Rect(2, 12, 4, 10), kRed);
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(20, 28, 20, 28), kWhite);
    dc_->EndScene();
    std::vector<uint8_t> frame = Frame();
    EXPECT_EQ(PixelAt(frame, 0, 0), kGrey);
    EXPECT_EQ(PixelAt(frame, 2, 4), kRed);
    EXPECT_EQ(PixelAt(frame, 11, 9), kRed);
    EXPECT_EQ(PixelAt(frame, 12, 9), kGrey);
    EXPECT_EQ(PixelAt(frame, 11, 10), kGrey);
    // The quad sits one pixel right of and below its destination.
    EXPECT_EQ(PixelAt(frame, 20, 20), kGrey);
    EXPECT_EQ(PixelAt(frame, 21, 21), kGreen);
    EXPECT_EQ(PixelAt(frame, 28, 28), kGreen);
    EXPECT_EQ(PixelAt(frame, 29, 28), kGrey);
}

TEST_F(DeviceFrames, BlendModesAndAutomaticScaleApplyWhenRendering)
{
    GetCoreCfg().IsAutoScale = true;
    GetCoreCfg().fAutoScaleX = 2.0f;
    GetCoreCfg().fAutoScaleY = 2.0f;
    GetCoreCfg().nAutoOffsetX = 4;
    GetCoreCfg().nAutoOffsetY = 0;
    ASSERT_EQ(dc_->Init(kWidth, kHeight, window_, 0), 0);
    dc_->BeginScene();
    dc_->SetBlendMode(1);
    dc_->FillRect(Rect(0, 4, 0, 4), 0x800000FFu);  // half-transparent red over grey
    dc_->SetBlendMode(0);
    dc_->FillRect(Rect(10, 12, 0, 4), 0x00FF0000u);  // replaced, alpha and all
    dc_->EndScene();
    std::vector<uint8_t> frame = Frame();
    EXPECT_EQ(PixelAt(frame, 3, 0) & 0xFFFFFFu, kGrey & 0xFFFFFFu);  // left of the offset
    uint32_t mixed = PixelAt(frame, 4, 0);
    EXPECT_NEAR(static_cast<int>(mixed & 0xFF), (255 * 128 + 192 * 127) / 255, 2);
    EXPECT_NEAR(static_cast<int>((mixed >> 8) & 0xFF), 192 * 127 / 255, 2);
    EXPECT_EQ(PixelAt(frame, 11, 7), PixelAt(frame, 4, 0));  // 4 + 4 * 2 - 1: still the fill
    EXPECT_EQ(PixelAt(frame, 24, 0) & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(PixelAt(frame, 27, 7) & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(PixelAt(frame, 28, 0), kGrey);
}

TEST_F(DeviceFrames, ShutdownDiscardsUntilResetDevice)
{
    dc_->Shutdown();
    EXPECT_FALSE(dc_->HasBuffers());
    dc_->BeginScene();
    dc_->FillRect(Rect(0, 10, 0, 10), kRed);
    dc_->EndScene();
    EXPECT_EQ(PixelAt(Frame(), 5, 5), kGrey);

    dc_->ResetDevice();
    EXPECT_TRUE(dc_->HasBuffers());
    dc_->BeginScene();
    dc_->FillRect(Rect(0, 10, 0, 10), kRed);
    dc_->EndScene();
    EXPECT_EQ(PixelAt(Frame(), 5, 5), kRed);
}

TEST_F(DeviceFrames, EditorToolClearsToMagentaScenesStayGreyAndResizeClipsToTheWholeNewSize)
{
    GetCoreCfg().IsEditTool = true;
    dc_->BeginScene();
    dc_->EndScene();
    EXPECT_EQ(PixelAt(Frame(), 1, 1), 0xFFC0C0C0u);
    dc_->Clear();
    EXPECT_EQ(PixelAt(Frame(), 1, 1), 0xFFC000C0u);

    dc_->Resize(40, 30);
    EXPECT_EQ(dc_->GetWidth(), 40);
    EXPECT_EQ(dc_->GetHeight(), 30);
    KVQRect clip;
    dc_->GetClip(clip);
    EXPECT_EQ(Text(clip), "0,40,0,30");
    EXPECT_EQ(dc_->GetClipDepth(), 1u);
}

// ---- records ------------------------------------------------------------------------------------

TEST_F(DeviceRecords, RecordedDrawingReplaysWithItsState)
{
    int32_t tex = AddSolidTexture(8, 8, kGreen);
    int32_t id = dc_->CreateRecord();
    EXPECT_TRUE(dc_->HasRecord(id));
    EXPECT_NE(dc_->CreateRecord(), id);

    dc_->BeginScene();
    dc_->FillRect(Rect(0, 4, 0, 4), kRed);  // before the record: not part of it
    ASSERT_EQ(dc_->BeginRecord(id), 0);
    dc_->FillRect(Rect(0, 10, 0, 10), kRed);
    dc_->SetBlendMode(9);
    dc_->Blit(tex, Rect(0, 8, 0, 8), Rect(20, 28, 20, 28), kWhite);
    ASSERT_EQ(dc_->EndRecord(id), 0);
    dc_->EndScene();

    dc_->SetBlendMode(0);
    dc_->BeginScene();
    ASSERT_EQ(dc_->PlayRecord(id), 0);
    EXPECT_EQ(dc_->GetPendingVertices(), 12);
    ASSERT_EQ(dc_->GetPendingCommands(), 2);
    EXPECT_EQ(dc_->GetCommands()[0].kind, CKVQOpenGLESDC::kPrimitiveTriangles);
    EXPECT_EQ(dc_->GetCommands()[0].blend, 0);
    EXPECT_EQ(dc_->GetCommands()[1].kind, CKVQOpenGLESDC::kPrimitiveTexturedTriangles);
    EXPECT_EQ(dc_->GetCommands()[1].blend, 9);
    EXPECT_EQ(dc_->GetBlendMode(), 9);  // the last command's state is current
    EXPECT_EQ(Positions(*dc_, 6, 1), (std::vector<Point>{{21, 21}}));
    dc_->SetBlendMode(0);
    dc_->EndScene();
    std::vector<uint8_t> frame = Frame();
    EXPECT_EQ(PixelAt(frame, 5, 5), kRed);
    EXPECT_EQ(PixelAt(frame, 24, 24) & 0xFFFFFFu, 0xC0FFC0u);  // green added to grey (mode 9)

    EXPECT_EQ(dc_->DeleteRecord(id), 0);
    EXPECT_FALSE(dc_->HasRecord(id));
    EXPECT_EQ(dc_->PlayRecord(id), -1);
    EXPECT_EQ(dc_->BeginRecord(id), -1);
    EXPECT_EQ(dc_->EndRecord(id), -1);
}

TEST_F(DeviceRecords, RecordsLargerThanTheBatchSurviveFlushes)
{
    int32_t tex = AddSolidTexture(4, 4, kGreen);
    int32_t id = dc_->CreateRecord();
    dc_->BeginScene();
    dc_->Blit(tex, Rect(0, 4, 0, 4), Rect(0, 4, 0, 4), kWhite);
    ASSERT_EQ(dc_->BeginRecord(id), 0);
    for (int i = 0; i < 700; ++i)
        dc_->Blit(tex, Rect(0, 4, 0, 4), Rect(i % 60, i % 60 + 4, 0, 4), kWhite);
    dc_->DrawLine({0, 10}, {10, 10}, kRed);
    ASSERT_EQ(dc_->EndRecord(id), 0);
    EXPECT_EQ(dc_->GetBatchFlushes(), 2);
    dc_->EndScene();

    // Played back: every vertex arrives, in batches that never pass the limit (the record's
    // 2040-vertex run follows the fill, so its next run is cut at a whole quad).
    dc_->ResetCounters();
    dc_->BeginScene();
    dc_->FillRect(Rect(0, 4, 0, 4), kRed);
    ASSERT_EQ(dc_->PlayRecord(id), 0);
    EXPECT_EQ(dc_->GetBatchFlushes(), 3);
    EXPECT_EQ(dc_->GetPendingVertices(), 110);
    EXPECT_EQ(dc_->GetCommands()[dc_->GetPendingCommands() - 1].kind, CKVQOpenGLESDC::kPrimitiveLines);
    dc_->EndScene();
    EXPECT_EQ(dc_->GetVerticesRendered(), 6 + 700 * 6 + 2);
    EXPECT_EQ(PixelAt(Frame(), 30, 2), kGreen);
}

}  // namespace
