#include "gfx/Font.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gfx/DC.h"
#include "gfx/Texture.h"
#include "io/Archive.h"
#include "io/MemFile.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "support/TempFiles.h"

namespace {

// A face whose glyphs have fixed sizes: 'i' 4 wide, space 6, everything else 10; as high as the
// size; line spacing size + 4. It cannot draw U+263A. Each glyph's first pixel carries its code.
constexpr uint16_t kUndrawable = 0x263A;
std::vector<int32_t> g_requested;
int32_t g_rasterised = 0;

class FixedFace : public IPlatformFont {
public:
    explicit FixedFace(int32_t size) : size_(size) { metrics_ = FontMetrics{size, 10, size + 4}; }
    const FontMetrics& Metrics() const override { return metrics_; }
    bool Rasterise(uint16_t c, GlyphImage& out) override
    {
        ++g_rasterised;
        if (c == kUndrawable)
            return false;
        out.width = c == u'i' ? 4 : c == u' ' ? 6 : 10;
        out.height = size_;
        out.rgba.assign(static_cast<size_t>(out.width * out.height) * 4, 255);
        out.rgba[0] = static_cast<uint8_t>(c);
        return true;
    }

private:
    int32_t size_;
    FontMetrics metrics_;
};

std::unique_ptr<IPlatformFont> MakeFixedFace(const CKVQString&, int32_t size)
{
    g_requested.push_back(size);
    return size > 0 ? std::make_unique<FixedFace>(size) : nullptr;
}

std::unique_ptr<CKVQFont> MakeFont(int32_t pageSize = CGlyphAtlas::kDefaultPageSize, bool outline = false)
{
    auto font = std::make_unique<CKVQFont>(MakeFixedFace);
    font->atlas.pageWidth = font->atlas.pageHeight = pageSize;
    font->atlas.outline = font->outline = outline;
    EXPECT_TRUE(font->CreatePlatformFont("Test", 12));
    return font;
}

// Makes a device current whose glyph cache collects every draw.
struct CapturedDraws {
    CKVQDC device;
    GlyphCache draws;
    CKVQDC* previous;
    CapturedDraws() : previous(SetCurrentDevice(&device)) { device.SetGlyphCache(&draws); }
    ~CapturedDraws() { SetCurrentDevice(previous); }
    // Where each glyph's line box starts: its left edge and the top of its line (16 high).
    std::vector<std::pair<int32_t, int32_t>> Pens() const
    {
        std::vector<std::pair<int32_t, int32_t>> pens;
        for (const GlyphDraw& d : draws)
            pens.emplace_back(d.destination.left, d.destination.bottom - 16);
        return pens;
    }
};

std::vector<uint8_t> Store(CKVQFont& font)
{
    CIMemFile stream;
    CIArchive ar(&stream, CIArchive::SM_WRITE);
    EXPECT_TRUE(font.Transfer(ar));
    return BytesOf(stream);
}

bool Load(CKVQFont& font, const std::vector<uint8_t>& bytes)
{
    CIMemFile stream(bytes.data(), static_cast<int32_t>(bytes.size()));
    CIArchive ar(&stream, CIArchive::SM_READ);
    return font.Transfer(ar);
}

// Little-endian pieces of a stored font.
struct Bytes32 {
    std::vector<uint8_t> b;
    Bytes32& I(int32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
        return *this;
    }
    Bytes32& S(const std::string& s)
    {
        I(static_cast<int32_t>(s.size() + 1)).I(static_cast<int32_t>(s.size() + 1));
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
        return *this;
    }
    Bytes32& Add(const std::vector<uint8_t>& more)
    {
        b.insert(b.end(), more.begin(), more.end());
        return *this;
    }
    Bytes32& Block(const std::vector<uint8_t>& inner)
    {
        return I(static_cast<int32_t>(inner.size())).I(static_cast<int32_t>(inner.size())).Add(inner);
    }
};

std::vector<uint8_t> EmptyTrees()
{
    Bytes32 t;
    for (int i = 0; i < 8; ++i)
        t.I(0);
    return t.b;
}

std::vector<uint8_t> AtlasWith(const std::vector<uint8_t>& trees, int32_t pageSide = 512,
                               const std::vector<uint8_t>& pages = Bytes32().I(0).b)
{
    return Bytes32().Add(trees).I(2).I(2).I(16).I(pageSide).I(pageSide).I(0).Add(pages).I(0).b;
}

std::vector<uint8_t> FontFile(const std::vector<uint8_t>& atlas, bool regenerate = false, int32_t size = 12)
{
    Bytes32 record;
    record.I(size).I(16).Block(atlas).S("Test").I(0).Block(Bytes32().S("").Add(EmptyTrees()).b);
    record.I(0).S("").I(regenerate ? 1 : 0);
    return Bytes32().Block(record.b).b;
}

class FontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_requested.clear();
        CTextureCache::Instance().Clear();
    }
    void TearDown() override { CKVQFontMgr::Instance().Clear(); }
};

TEST_F(FontTest, TreesKeepInsertionShapeAndVisitNodeLargerSmaller)
{
    GlyphTreeMap<int32_t> map;
    for (uint16_t code : {16, 8, 24, 0, 9, 32, 20})
        map.Insert(code, code * 10);
    map.Insert(8, 7);  // replaces
    std::vector<uint16_t> order;
    map.ForEach([&](uint16_t code, int32_t) { order.push_back(code); });
    EXPECT_EQ(order, (std::vector<uint16_t>{16, 24, 32, 8, 0, 9, 20}));
    EXPECT_EQ(map.Size(), 7u);
    ASSERT_NE(map.Find(8), nullptr);
    EXPECT_EQ(*map.Find(8), 7);
    EXPECT_EQ(map.Find(1), nullptr);
}

TEST_F(FontTest, AtlasPacksRowsAndPagesWithAndWithoutOutline)
{
    struct Case {
        bool outline;
        int32_t glyph;  // the n-th glyph added (0-based)
        int32_t page, x, y;
    };
    const Case cases[] = {
        {false, 0, 0, 2, 2},  {false, 3, 0, 44, 2}, {false, 4, 0, 2, 22},  {false, 8, 0, 2, 42},
        {false, 11, 0, 44, 42}, {false, 12, 1, 4, 4}, {false, 13, 1, 18, 4}, {true, 3, 0, 44, 2},
        {true, 4, 1, 2, 2},   {true, 5, 1, 16, 2},
    };
    for (bool outline : {false, true}) {
        auto font = MakeFont(64, outline);
        for (int32_t n = 0; n < 14; ++n) {
            FontGlyph glyph;
            ASSERT_TRUE(font->GetGlyph(static_cast<uint16_t>(u'A' + n), glyph));
        }
        for (const Case& c : cases) {
            if (c.outline != outline)
                continue;
            const GlyphEntry* e = font->atlas.map.Find(static_cast<uint16_t>(u'A' + c.glyph));
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->page, c.page) << "glyph " << c.glyph << (outline ? " outline" : "");
            EXPECT_EQ(e->rect.left, c.x) << "glyph " << c.glyph;
            EXPECT_EQ(e->rect.top, c.y) << "glyph " << c.glyph;
            EXPECT_EQ(e->rect.right - e->rect.left, 10);
            EXPECT_EQ(e->rect.bottom - e->rect.top, 12);
        }
    }
}

TEST_F(FontTest, OutlinedCopyIsWrittenIntoTheLowerHalf)
{
    auto font = MakeFont(64, true);
    FontGlyph glyph;
    ASSERT_TRUE(font->GetGlyph(u'A', glyph));  // at (2, 2); its copy around (2, 34)
    const TexturePixels page = GetTexturePixels(CTextureCache::Instance().GetTextureObject(glyph.texture));
    ASSERT_NE(page.bits, nullptr);
    EXPECT_EQ(page.At(2, 2)[0], u'A');
    EXPECT_EQ(page.At(1, 34)[3], 255);   // one pixel left of the copy
    EXPECT_EQ(page.At(12, 46)[3], 255);  // one right of and below it
    EXPECT_EQ(page.At(0, 34)[3], 0);
    EXPECT_EQ(page.At(13, 34)[3], 0);
}

TEST_F(FontTest, NewGlyphsOfOneTextReachTheDeviceInOneUpload)
{
    auto font = MakeFont();
    EXPECT_EQ(font->GetTextWidth(u"measured first"), 130);
    CapturedDraws captured;
    font->DrawText(u"measured first\nthen drawn", KVQRect{0, 100, 0, 64}, FONT_WRAP_LEFT, 0xffffffffu);
    ASSERT_EQ(font->atlas.pages.size(), 1u);
    EXPECT_EQ(CTextureCache::Instance().GetTextureObject(font->atlas.pages[0])->GetRefreshCount(), 1u);
}

TEST_F(FontTest, UndrawableCharactersBorrowTheQuestionMarkAndNoFaceMeansNoGlyph)
{
    auto font = MakeFont();
    FontGlyph glyph;
    ASSERT_TRUE(font->GetGlyph(kUndrawable, glyph));
    const TexturePixels page = GetTexturePixels(CTextureCache::Instance().GetTextureObject(glyph.texture));
    EXPECT_EQ(page.At(glyph.source.left, glyph.source.top)[0], u'?');
    EXPECT_EQ(font->GetCharAdvance(kUndrawable), 10);

    CKVQFont bare;
    EXPECT_FALSE(bare.GetGlyph(u'a', glyph));
    EXPECT_EQ(bare.GetTextWidth(u"abc"), 0);

    // A glyph no page can hold is asked for once, not on every draw.
    auto tiny = MakeFont(16);
    g_rasterised = 0;
    EXPECT_FALSE(tiny->GetGlyph(u'a', glyph));
    EXPECT_FALSE(tiny->GetGlyph(u'a', glyph));
    EXPECT_EQ(g_rasterised, 1);
    EXPECT_TRUE(tiny->atlas.pages.empty());
}

TEST_F(FontTest, WidthsAreTruncatedPerCharacterAndIndexAtWidthKeepsItsEdges)
{
    auto font = MakeFont();
    struct WidthCase {
        float scale;
        int32_t width;
    };
    for (const WidthCase& c : {WidthCase{1.0f, 24}, WidthCase{0.75f, 17}, WidthCase{1.5f, 36}}) {
        font->SetScale(c.scale);
        EXPECT_EQ(font->GetTextWidth(u"aia"), c.width) << "scale " << c.scale;
    }
    font->SetScale(1.0f);
    struct IndexCase {
        size_t start;
        int32_t width;
        size_t index;
    };
    const IndexCase cases[] = {{0, 25, 2}, {0, 20, 2}, {0, 19, 1}, {0, 40, 4}, {0, 0, 0},
                               {2, -5, 2}, {5, 30, 5}, {4, 10, 4}, {1, 15, 2}};
    for (const IndexCase& c : cases)
        EXPECT_EQ(font->IndexAtWidth(u"abcd", c.start, c.width), c.index) << c.start << " " << c.width;
}

TEST_F(FontTest, LayoutModesPlaceEveryGlyph)
{
    using Pens = std::vector<std::pair<int32_t, int32_t>>;
    struct Case {
        const char16_t* text;
        int32_t mode, right;
        Pens pens;
    };
    const Case cases[] = {
        {u"ab\ncd", FONT_LEFT, 100, {{0, 0}, {10, 0}, {0, 16}, {10, 16}}},
        {u"ab", FONT_RIGHT, 100, {{80, 0}, {90, 0}}},
        {u"ab\nc", FONT_CENTRED, 100, {{40, 16}, {50, 16}, {45, 32}}},
        {u"a b\nabcd e", FONT_JUSTIFIED, 100,
         {{0, 0}, {10, 0}, {90, 0}, {0, 16}, {10, 16}, {20, 16}, {30, 16}, {40, 16}, {90, 16}}},
        {u"abc", FONT_JUSTIFIED, 100, {{0, 0}, {10, 0}, {20, 0}}},
        {u"a\n\nb", FONT_LEFT, 100, {{0, 0}, {0, 32}}},
        {u"abc", FONT_WRAP_LEFT, 5, {{0, 0}, {0, 16}, {0, 32}}},
        {u"aa bb cc", FONT_WRAP_LEFT, 50, {{0, 0}, {10, 0}, {20, 0}, {26, 0}, {36, 0}, {0, 16}, {6, 16}, {16, 16}}},
        {u"aa bb cc", FONT_WRAP_RIGHT, 50, {{4, 0}, {14, 0}, {24, 0}, {30, 0}, {40, 0}, {24, 16}, {30, 16}, {40, 16}}},
        {u"aa bb cc", FONT_WRAP_CENTRED, 50, {{2, 0}, {12, 0}, {22, 0}, {28, 0}, {38, 0}, {12, 16}, {18, 16}, {28, 16}}},
        {u"aa bb cc", FONT_WRAP_JUSTIFIED, 50, {{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}, {0, 16}, {6, 16}, {16, 16}}},
        {u"abcd ef", FONT_WRAP_JUSTIFIED, 25, {{0, 0}, {10, 0}, {0, 16}, {10, 16}, {0, 32}, {6, 32}, {0, 48}}},
        {u"\u4e2d\u6587\u5b57", FONT_WRAP_LEFT, 25, {{0, 0}, {10, 0}, {0, 16}}},
    };
    auto font = MakeFont();
    for (const Case& c : cases) {
        CapturedDraws captured;
        font->DrawText(c.text, KVQRect{0, c.right, 0, 64}, c.mode, 0xffffffffu);
        EXPECT_EQ(captured.Pens(), c.pens) << "mode " << c.mode << " width " << c.right;
    }
}

TEST_F(FontTest, WidestLineFollowsTheMode)
{
    struct Case {
        const char16_t* text;
        int32_t mode, right, widest;
    };
    const Case cases[] = {
        {u"ab\nabcd", FONT_LEFT, 100, 40}, {u"ab\nabcd", FONT_JUSTIFIED, 100, 100},
        {u"aa bb cc", FONT_WRAP_LEFT, 50, 46}, {u"aa bb cc", FONT_WRAP_JUSTIFIED, 50, 50},
        {u"abc", FONT_WRAP_CENTRED, 5, 10}, {u"", FONT_LEFT, 100, 0},
    };
    auto font = MakeFont();
    for (const Case& c : cases)
        EXPECT_EQ(font->MeasureWidestLine(c.text, KVQRect{0, c.right, 0, 64}, c.mode), c.widest) << c.mode;
}

TEST_F(FontTest, PasswordDrawsAndMeasuresStars)
{
    auto font = MakeFont();
    FontGlyph star;
    ASSERT_TRUE(font->GetGlyph(u'*', star));
    font->SetPassword(true);
    CapturedDraws captured;
    font->DrawText(u"a i", KVQRect{0, 100, 0, 64}, FONT_RIGHT, 0xffffffffu);
    ASSERT_EQ(captured.draws.size(), 3u);
    for (const GlyphDraw& d : captured.draws)
        EXPECT_EQ(RecordingDC::Text(d.source), RecordingDC::Text(star.source));
    EXPECT_EQ(font->GetTextWidth(u"a i"), 30);
    EXPECT_EQ(captured.draws.back().destination.right, 100);  // drawn as measured
}

TEST_F(FontTest, OutlineIsDrawnFirstFromTheLowerHalfAndGrown)
{
    auto font = MakeFont(64, true);
    font->SetOutline(true, RGBA{1, 2, 3, 4});
    font->SetScale(2.5f);
    RecordingDC dc;
    CKVQDC* previous = SetCurrentDevice(&dc);
    font->DrawLine(u"A", 10, 0, 0xffffffffu);
    SetCurrentDevice(previous);
    const std::string page = std::to_string(font->atlas.pages[0]);
    // Glyph at 2..12 x 2..14 on the page; scaled 25 x 30 on a line 40 high.
    EXPECT_EQ(dc.calls, (std::vector<std::string>{"StretchBlit " + page + " 1,13,33,47 8,37,8,42 #01020304",
                                                   "StretchBlit " + page + " 2,12,2,14 10,35,10,40 #ffffffff"}));
}

TEST_F(FontTest, BitmapFontDrawsItsRegionsAndSkipsMissingCharacters)
{
    const std::vector<uint8_t> pixels(16 * 16 * 4, 255);
    CKVQFont font;
    font.useBitmapFont = true;
    font.lineHeight = 16;
    font.bitmapFont.texture = CTextureCache::Instance().AddTexture("bitmap.png", pixels.data(), 16, 16);
    font.bitmapFont.map.Insert(u'A', KVQRect{0, 8, 0, 10});
    font.atlas.outline = true;
    font.SetOutline(true, RGBA{});  // a bitmap font has no outlined copies to draw
    CapturedDraws captured;
    font.DrawLine(u"AZA", 0, 0, 0xffffffffu);
    ASSERT_EQ(captured.draws.size(), 2u);
    EXPECT_EQ(RecordingDC::Text(captured.draws[1].destination), "8,16,6,16");
    EXPECT_EQ(captured.draws[1].texture, font.bitmapFont.texture);
}

TEST_F(FontTest, FontRecordRoundTripsByteForByte)
{
    CKVQFont empty;
    EXPECT_EQ(Store(empty).size(), 167u);  // 8-byte header, 159-byte record of an empty font

    auto font = MakeFont(64, true);
    for (char16_t c : std::u16string(u"the quick brown fox \u4e2d"))
        font->GetCharAdvance(static_cast<uint16_t>(c));
    ASSERT_GE(font->atlas.pages.size(), 2u);
    font->bitmapFont.map.Insert(u'x', KVQRect{1, 2, 3, 4});
    font->secondName = "second";
    font->regenerate = true;
    const std::vector<uint8_t> stored = Store(*font);

    CKVQFont copy;  // no create callback: the record alone
    ASSERT_TRUE(Load(copy, stored)) << copy.GetLoadError();
    EXPECT_EQ(copy.atlas.pages.size(), font->atlas.pages.size());
    EXPECT_EQ(copy.atlas.map.Size(), font->atlas.map.Size());
    EXPECT_EQ(Store(copy), stored);
    FontGlyph glyph;
    ASSERT_TRUE(copy.GetGlyph(u'q', glyph));
    const TexturePixels page = GetTexturePixels(CTextureCache::Instance().GetTextureObject(glyph.texture));
    EXPECT_EQ(page.At(glyph.source.left, glyph.source.top)[0], u'q');
}

TEST_F(FontTest, RegeneratedFontIsMadeAtTheRequestedSizeEveryReload)
{
    CKVQFont font(MakeFixedFace);
    ASSERT_TRUE(Load(font, FontFile(AtlasWith(EmptyTrees()), true, 12))) << font.GetLoadError();
    EXPECT_EQ(font.GetLineHeight(), 16);
    CKVQFont reloaded(MakeFixedFace);
    ASSERT_TRUE(Load(reloaded, Store(font)));
    EXPECT_EQ(reloaded.GetLineHeight(), 16);
    EXPECT_EQ(reloaded.atlas.rowHeight, 16);
    EXPECT_EQ(g_requested, (std::vector<int32_t>{12, 12}));
}

TEST_F(FontTest, DamagedFilesLoadAsFalseAndSayWhy)
{
    const std::vector<uint8_t> good = FontFile(AtlasWith(EmptyTrees()));
    const std::vector<uint8_t> entry = Bytes32().Block(Bytes32().I(0).I(0).I(1).I(0).I(1).b).b;
    auto tree = [&](std::vector<int32_t> head) {
        Bytes32 t;
        for (int32_t v : head)
            t.I(v);
        return t.b;
    };
    auto withTree0 = [&](std::vector<uint8_t> first) {
        Bytes32 t;
        t.Add(first);
        for (int i = 1; i < 8; ++i)
            t.I(0);
        return FontFile(AtlasWith(t.b));
    };
    std::vector<uint8_t> truncated(good.begin(), good.end() - 3);
    std::vector<uint8_t> shortRecord = Bytes32().Block(std::vector<uint8_t>(good.begin() + 8, good.end() - 4)).b;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* says;
    };
    const Case cases[] = {
        {"truncated", truncated, "not one font record"},
        {"record cut short", shortRecord, "ends early"},
        {"bad marker", withTree0(tree({2})), "node marker 2"},
        {"code beyond UCS-2", withTree0(Bytes32().I(1).I(0x10000).Add(entry).I(0).I(0).b), "not a UCS-2 unit"},
        {"code in another bucket", withTree0(Bytes32().I(1).I(9).Add(entry).I(0).I(0).b), "belongs in bucket 1"},
        {"short entry", withTree0(Bytes32().I(1).I(8).Block(Bytes32().I(0).b).I(0).I(0).b), "entry of code 8"},
        {"repeated code", withTree0(Bytes32().I(1).I(8).Add(entry).I(1).I(8).Add(entry).I(0).I(0).I(0).b),
         "code 8 appears twice"},
        {"tree without its end", FontFile(Bytes32().I(1).I(8).Add(entry).b), "ends before its last node"},
        {"hostile page count", FontFile(AtlasWith(EmptyTrees(), 512, Bytes32().I(0x7fffffff).b)), "pages, more"},
        {"huge page", FontFile(AtlasWith(EmptyTrees(), 512, Bytes32().I(1).I(20000).I(1).b)), "outside 1"},
        {"pixels missing", FontFile(AtlasWith(EmptyTrees(), 512, Bytes32().I(1).I(64).I(64).I(0).b)), "more than"},
        {"packing page of no size", FontFile(AtlasWith(EmptyTrees(), 0)), "page size 0 x 0"},
    };
    for (const Case& c : cases) {
        CKVQFont font;
        EXPECT_FALSE(Load(font, c.bytes)) << c.name;
        EXPECT_NE(font.GetLoadError().find(c.says), std::string::npos) << c.name << ": " << font.GetLoadError();
        EXPECT_TRUE(font.atlas.pages.empty()) << c.name;
        EXPECT_EQ(font.atlas.map.Size(), 0u) << c.name;
    }
}

TEST_F(FontTest, DeepTreesLoadWithoutRecursion)
{
    // One chain of larger codes, 2000 nodes deep.
    constexpr int32_t kDepth = 2000;
    const std::vector<uint8_t> entry = Bytes32().Block(Bytes32().I(0).I(0).I(1).I(0).I(1).b).b;
    Bytes32 trees;
    for (int32_t i = 0; i < kDepth; ++i)
        trees.I(1).I(i * 8).Add(entry);
    for (int32_t i = 0; i <= kDepth; ++i)
        trees.I(0);
    for (int i = 1; i < 8; ++i)
        trees.I(0);
    CKVQFont font;
    ASSERT_TRUE(Load(font, FontFile(AtlasWith(trees.b)))) << font.GetLoadError();
    EXPECT_EQ(font.atlas.map.Size(), 2000u);
    EXPECT_NE(font.atlas.map.Find(1999 * 8), nullptr);
}

TEST_F(FontTest, ManagerSharesOneFontPerFileAndSizeAndReportsFailuresOnce)
{
    TempFolder folder;
    ASSERT_TRUE(WriteFile(folder / "ui.fnt", FontFile(AtlasWith(EmptyTrees()), true, 12)));
    const std::string path = folder / "ui.fnt";
    CKVQFontMgr& manager = CKVQFontMgr::Instance();
    const FontCreateCallback previous = manager.GetCreateCallback();
    manager.SetCreateCallback(MakeFixedFace);

    CKVQFont* twelve = manager.GetFont(path.c_str(), 12);
    ASSERT_NE(twelve, nullptr);
    EXPECT_EQ(manager.GetFont(path.c_str(), 12), twelve);
    EXPECT_EQ(manager.GetFont(path.c_str()), twelve);  // the size the file stores
    CKVQFont* twenty = manager.GetFont(path.c_str(), 20);
    ASSERT_NE(twenty, nullptr);
    EXPECT_NE(twenty, twelve);
    EXPECT_EQ(twenty->GetLineHeight(), 24);
    EXPECT_EQ(manager.Count(), 2u);
    EXPECT_EQ(manager.GetDefaultFont(), twelve);
    EXPECT_EQ(manager.GetFont("", 12), nullptr);

    const std::string missing = folder / "absent.fnt";
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(manager.GetFont(missing.c_str(), 12), nullptr);
    EXPECT_EQ(manager.GetFont(missing.c_str(), 12), nullptr);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("missing font '" + missing + "'"), std::string::npos) << said;
    EXPECT_EQ(said.find("missing font", said.find("missing font") + 1), std::string::npos) << said;
    ASSERT_TRUE(WriteFile(missing, FontFile(AtlasWith(EmptyTrees()))));
    EXPECT_NE(manager.GetFont(missing.c_str(), 12), nullptr);  // it has arrived since

    // A damaged file is said once and not read again.
    const std::string damaged = folder / "damaged.fnt";
    ASSERT_TRUE(WriteFile(damaged, std::vector<uint8_t>{1, 2, 3}));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(manager.GetFont(damaged.c_str(), 12), nullptr);
    ASSERT_TRUE(WriteFile(damaged, FontFile(AtlasWith(EmptyTrees()))));
    EXPECT_EQ(manager.GetFont(damaged.c_str(), 12), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("font '" + damaged + "': not one font record"),
              std::string::npos);
    manager.SetCreateCallback(previous);
}

}  // namespace
