#include "platform/SystemFonts.h"

#include "gfx/Font.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::FaceMatch;
using platform::GlyphMask;
using platform::SizedFace;

std::unique_ptr<SizedFace> OpenFallback(int32_t pixelHeight)
{
    FaceMatch match;
    if (!platform::MatchFace(platform::kFallbackFamily, match))
        return nullptr;
    return SizedFace::Open(match.file, match.index, pixelHeight);
}

// Counts the set pixels of a mask; fails the test on any pixel that is neither transparent black
// nor opaque white.
int32_t SetPixels(const std::vector<uint8_t>& rgba)
{
    int32_t set = 0;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
        const uint32_t sum = rgba[i] + rgba[i + 1] + rgba[i + 2] + rgba[i + 3];
        EXPECT_TRUE(sum == 0 || sum == 4 * 255) << "pixel " << i / 4;
        set += sum != 0 ? 1 : 0;
    }
    return set;
}

// The lowest row holding a set pixel, -1 for none.
int32_t LowestInkRow(const GlyphMask& mask)
{
    for (int32_t i = mask.width * mask.height - 1; i >= 0; --i) {
        if (mask.rgba[static_cast<size_t>(i) * 4 + 3] != 0)
            return i / mask.width;
    }
    return -1;
}

TEST(SystemFaces, MatchIsExactOnlyForAFamilyTheFaceHas)
{
    struct Case {
        const char* family;
        bool exact;
    };
    const Case cases[] = {
        {"WenQuanYi Micro Hei", true},
        {"wenquanyi MICRO hei", true},
        {"\xE6\x96\x87\xE6\xB3\x89\xE9\xA9\xBF\xE5\xBE\xAE\xE7\xB1\xB3\xE9\xBB\x91", true},  // its Chinese name
        {"No Such Face Kvq", false},
    };
    for (const Case& c : cases) {
        FaceMatch match;
        ASSERT_TRUE(platform::MatchFace(c.family, match)) << c.family;
        EXPECT_EQ(match.exact, c.exact) << c.family;
    }
    FaceMatch match;
    EXPECT_FALSE(platform::MatchFace("bad \xC3 name", match));
}

TEST(SystemFaces, UnreadableFilesGiveNoFace)
{
    for (const char* file : {"/no/such/face.ttf", "/dev/null", "/etc/hostname"})
        EXPECT_EQ(SizedFace::Open(file, 0, 16), nullptr) << file;
    FaceMatch match;
    ASSERT_TRUE(platform::MatchFace(platform::kFallbackFamily, match));
    EXPECT_EQ(SizedFace::Open(match.file, 999, 16), nullptr);
}

TEST(SystemFaces, SizeSearchTakesTheSmallestHeightWhoseCellReaches)
{
    std::unique_ptr<SizedFace> face = OpenFallback(12);
    ASSERT_NE(face, nullptr);
    for (int32_t cell : {1, 2, 7, 12, 16, 25, 40, 100}) {
        ASSERT_TRUE(face->SizeToCell(cell)) << cell;
        const int32_t chosen = face->PixelHeight();
        EXPECT_GE(face->Metrics().cellHeight, cell) << cell;
        if (chosen > 1) {
            std::unique_ptr<SizedFace> smaller = OpenFallback(chosen - 1);
            ASSERT_NE(smaller, nullptr);
            EXPECT_LT(smaller->Metrics().cellHeight, cell) << cell;
        }
    }
    // A refused height keeps the face at the height it had.
    ASSERT_TRUE(face->SetPixelHeight(20));
    const int32_t cellAt20 = face->Metrics().cellHeight;
    EXPECT_FALSE(face->SetPixelHeight(0));
    EXPECT_FALSE(face->SetPixelHeight(platform::kMaxPixelHeight + 1));
    EXPECT_EQ(face->PixelHeight(), 20);
    EXPECT_EQ(face->Metrics().cellHeight, cellAt20);
}

TEST(SystemFaces, GlyphsStandOnTheBaselineOfTheirCell)
{
    std::unique_ptr<SizedFace> face = OpenFallback(32);
    ASSERT_NE(face, nullptr);
    const platform::FaceMetrics& m = face->Metrics();
    EXPECT_EQ(m.cellHeight, m.ascent + m.descent);

    GlyphMask upper;
    ASSERT_TRUE(face->Render('H', m.ascent, m.cellHeight, m.widestWidth, upper));
    EXPECT_EQ(LowestInkRow(upper), m.ascent - 1);  // 'H' ends on the baseline

    GlyphMask descender;
    ASSERT_TRUE(face->Render('g', m.ascent, m.cellHeight, m.widestWidth, descender));
    EXPECT_GE(LowestInkRow(descender), m.ascent);

    EXPECT_TRUE(face->HasCharacter(0x4E2D));
    EXPECT_FALSE(face->HasCharacter(0xD800));
    GlyphMask none;
    EXPECT_FALSE(face->Render(0xD800, m.ascent, m.cellHeight, m.widestWidth, none));
}

TEST(SystemFont, MetricsOfTheCreatedFont)
{
    for (int32_t size : {1, 9, 12, 16, 24, 48}) {
        std::unique_ptr<IPlatformFont> font = CreateSystemFont(platform::kFallbackFamily, size);
        ASSERT_NE(font, nullptr) << size;
        const FontMetrics& m = font->Metrics();
        EXPECT_GE(m.cellHeight, size);
        EXPECT_LE(m.cellHeight, 2 * size + 2);
        EXPECT_GT(m.lineSpacing, m.cellHeight);
        EXPECT_GT(m.widestWidth, 0);
        EXPECT_LE(m.widestWidth, 4 * size + 4);
    }
    for (int32_t size : {0, -3, platform::kMaxPixelHeight + 1})
        EXPECT_EQ(CreateSystemFont(platform::kFallbackFamily, size), nullptr) << size;
}

TEST(SystemFont, MasksAreWhiteOneBitCellsAsWideAsTheAdvance)
{
    std::unique_ptr<IPlatformFont> font = CreateSystemFont(platform::kFallbackFamily, 16);
    ASSERT_NE(font, nullptr);
    struct Case {
        uint16_t c;
        bool inked;
    };
    const Case cases[] = {
        {'A', true}, {'g', true}, {'.', true}, {0x4E2D, true}, {' ', false}, {'\t', false}, {'\r', false},
    };
    for (const Case& c : cases) {
        GlyphImage glyph;
        ASSERT_TRUE(font->Rasterise(c.c, glyph)) << c.c;
        EXPECT_EQ(glyph.height, font->Metrics().cellHeight) << c.c;
        EXPECT_GT(glyph.width, 0) << c.c;
        ASSERT_EQ(glyph.rgba.size(), static_cast<size_t>(glyph.width) * glyph.height * 4) << c.c;
        EXPECT_EQ(SetPixels(glyph.rgba) > 0, c.inked) << c.c;
    }
    // A lone surrogate is no character of any face.
    GlyphImage glyph;
    EXPECT_FALSE(font->Rasterise(0xD800, glyph));
}

TEST(SystemFont, FallbackFaceSuppliesWhatTheNamedFaceCannot)
{
    std::unique_ptr<IPlatformFont> fallback = CreateSystemFont(platform::kFallbackFamily, 20);
    ASSERT_NE(fallback, nullptr);
    // A Latin face (when the machine has it), a name the machine lacks, and no name at all.
    for (const char* name : {"DejaVu Sans", "No Such Face Kvq", ""}) {
        std::unique_ptr<IPlatformFont> font = CreateSystemFont(name, 20);
        ASSERT_NE(font, nullptr) << name;
        GlyphImage glyph;
        ASSERT_TRUE(font->Rasterise(0x4E2D, glyph)) << name;
        EXPECT_GT(SetPixels(glyph.rgba), 20) << name;
        EXPECT_EQ(glyph.height, font->Metrics().cellHeight) << name;

        FaceMatch match;
        if (platform::MatchFace(name, match) && match.exact)
            continue;
        // Drawn wholly with the fallback face: the same measures.
        EXPECT_EQ(font->Metrics().cellHeight, fallback->Metrics().cellHeight) << name;
        EXPECT_EQ(font->Metrics().lineSpacing, fallback->Metrics().lineSpacing) << name;
    }
}

}  // namespace
