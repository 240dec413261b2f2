#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "common/Notices.h"
#include "gfx/ImageSet.h"
#include "gfx/Texture.h"
#include "io/EditHook.h"
#include "io/FileSystem.h"
#include "render/pictures/Picture.h"
#include "render/RenderRegistry.h"
#include "render/pictures/Sprite.h"
#include "render/pictures/SpriteList.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "support/TempFiles.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

class Pictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
        previous = SetCurrentDevice(&dc);
    }
    void TearDown() override
    {
        SetCurrentDevice(previous);
        for (CKVQWindow* w : made)
            w->Delete();
        WindowModule::Get().ReleaseDeleted();
        CTextureCache::Instance().Clear();
        CImageSetManager::Instance().Clear();
    }
    // A texture of the given size registered under name (no file behind it).
    int32_t AddImage(const char* name, int32_t width, int32_t height)
    {
        std::vector<uint8_t> pixels(static_cast<size_t>(width * height * 4), 0x80);
        return CTextureCache::Instance().AddTexture(name, pixels.data(), width, height);
    }
    CKVQWindow* Make()
    {
        made.push_back(CKVQWindow::New());
        return made.back();
    }
    static std::string Blit(const char* op, int32_t id, const KVQRect& src, const KVQRect& dst,
                            const char* color = "#ffffffff")
    {
        return std::string(op) + " " + std::to_string(id) + " " + RecordingDC::Text(src) + " " +
               RecordingDC::Text(dst) + " " + color;
    }

    RecordingDC dc;
    CKVQDC* previous = nullptr;
    std::vector<CKVQWindow*> made;
};

// ---- where a sprite lands ----

TEST_F(Pictures, UnscaledSpriteBlitsAndScaledOneStretchesToTruncatedSize)
{
    const int32_t id = AddImage("face.png", 40, 20);
    Sprite s;
    s.file = "face.png";
    s.Draw(KVQRect{10, 110, 5, 55});
    ASSERT_EQ(dc.calls.size(), 1u);
    EXPECT_EQ(dc.calls[0], Blit("Blit", id, {0, 40, 0, 20}, {10, 50, 5, 25}));

    dc.Reset();
    s.fScaleX = 1.5f;
    s.fScaleY = 1.1f;  // 20 * 1.1 = 22.000000476 truncates to 22
    s.Draw(KVQRect{10, 110, 5, 55});
    ASSERT_EQ(dc.calls.size(), 1u);
    EXPECT_EQ(dc.calls[0], Blit("StretchBlit", id, {0, 40, 0, 20}, {10, 70, 5, 27}));

    // Stretching to the window's rectangle ignores the scale; a turned sprite uses the rotated draw.
    dc.Reset();
    s.IsScaleByWnd = 1;
    s.Draw(KVQRect{10, 110, 5, 55});
    s.IsScaleByWnd = 0;
    s.fScaleX = s.fScaleY = 1.0f;
    s.fRadia = 0.5f;
    s.Draw(KVQRect{10, 110, 5, 55});
    ASSERT_EQ(dc.calls.size(), 2u);
    EXPECT_EQ(dc.calls[0], Blit("StretchBlit", id, {0, 40, 0, 20}, {10, 110, 5, 55}));
    EXPECT_EQ(dc.calls[1], Blit("RotateBlit", id, {0, 40, 0, 20}, {10, 50, 5, 25}) + " 0.5");
}

TEST_F(Pictures, AlignmentHotSpotAndOffsetMoveTheDestination)
{
    AddImage("face.png", 40, 20);
    Sprite s;
    s.file = "face.png";
    const KVQRect target{100, 200, 50, 100};  // 100 x 50
    s.nAlign = Sprite::ALIGN_TOPCENTER;
    EXPECT_EQ(s.GetDestRect(target), (KVQRect{130, 170, 50, 70}));
    s.nAlign = Sprite::ALIGN_CENTER;
    EXPECT_EQ(s.GetDestRect(target), (KVQRect{130, 170, 65, 85}));
    s.nAlign = Sprite::ALIGN_BOTTOMCENTER;
    EXPECT_EQ(s.GetDestRect(target), (KVQRect{130, 170, 80, 100}));
    // A sprite wider than the target stays centred: the halved difference is negative.
    s.fScaleX = 3.0f;
    EXPECT_EQ(s.GetDestRect(target).left, 100 + ((100 - 120) >> 1));

    // Only the hot spot's length counts, turned by the rotation.
    s.fScaleX = 1.0f;
    s.nAlign = Sprite::ALIGN_TOPLEFT;
    s.hotX = 3;
    s.hotY = 4;
    EXPECT_EQ(s.GetDestRect(target), (KVQRect{105, 145, 50, 70}));
    s.fRadia = std::numbers::pi_v<float> / 2;
    const KVQRect turned = s.GetDestRect(target);
    EXPECT_EQ(turned.left, 100);  // cos is a hair off 0 and truncates away
    EXPECT_EQ(turned.top, 55);
    s.fRadia = 0.0f;
    s.Offset = KVQPoint{-7, 9};
    EXPECT_EQ(s.GetDestRect(target), (KVQRect{98, 138, 59, 79}));
}

TEST_F(Pictures, MissingImagesDrawNothingAndWildScalesNeverOverflow)
{
    Sprite missing;
    missing.file = "no-such-image.png";
    missing.Draw(KVQRect{0, 10, 0, 10});
    missing.DrawCentered(5, 5, 0.0f, 1.0f, 1.0f, KVQRect{});
    Sprite{}.Draw(KVQRect{0, 10, 0, 10});
    EXPECT_TRUE(dc.calls.empty());
    EXPECT_EQ(missing.GetTexture(), nullptr);
    EXPECT_EQ(missing.GetTextureId(), -1);

    AddImage("face.png", 40, 20);
    Sprite s;
    s.file = "face.png";
    s.fScaleX = std::numeric_limits<float>::infinity();
    s.fScaleY = std::numeric_limits<float>::quiet_NaN();
    const KVQRect d = s.GetDestRect(KVQRect{0, 10, 0, 10});
    EXPECT_EQ(d.top, d.bottom);  // NaN gives no height
    EXPECT_EQ(TruncateToInt(1e30), INT32_MAX);
    EXPECT_EQ(TruncateToInt(-1e30), INT32_MIN);
    EXPECT_EQ(TruncateToInt(-2.9), -2);
    s.Draw(KVQRect{0, 10, 0, 10});  // must not trip the sanitizers
    s.DrawCentered(5, 5, 0.0f, std::numeric_limits<float>::infinity(), 1.0f, KVQRect{});
}

TEST_F(Pictures, MissingImagesAndRegionsAreReportedOncePerName)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string previousFolder = GetFileSystem().GetApplicationFolder();
    GetFileSystem().SetApplicationFolder(folder.path() + "/");
    std::ofstream(folder.path() + "/damaged.png") << "not an image";
    AddImage("sheet.png", 64, 32);
    CImageSetManager::Instance().GetSet("sheet.png", false)->SetRect("star", KVQRect{16, 32, 0, 16});

    struct Case {
        const char* file;
        const char* region;
        const char* said;  // the one line expected on standard error; "" for none
    } cases[] = {
        {"no-such.png", "", "missing image 'no-such.png' (looked in: "},
        {"png/no-such.png", "", "missing image 'png/no-such.png' (looked in: png/no-such.png, "},
        {"damaged.png", "", "image 'damaged.png' cannot be decoded"},
        {"sheet.png", "nothing", "missing image-set region 'nothing' (looked in: image set 'sheet.png.set', "
                                 "which holds: star)"},
        {"sheet.png", "star", ""},
        {"sheet.png", "", ""},
    };
    for (const Case& c : cases) {
        notices::Reset();
        testing::internal::CaptureStderr();
        // Two sprites, each drawn every frame: still one line per name.
        Sprite first, second;
        for (Sprite* s : {&first, &second}) {
            s->file = c.file;
            s->ImageName = c.region;
            for (int frame = 0; frame < 3; ++frame)
                s->Draw(KVQRect{0, 100, 0, 100});
        }
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), *c.said != '\0' ? 1 : 0) << c.file << ": " << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
    notices::Reset();
    GetFileSystem().SetApplicationFolder(previousFolder);
}

// ---- how a sprite draws ----

TEST_F(Pictures, OutlineIsEightOnePixelDrawsBeforeTheImageWhateverItsWidth)
{
    const int32_t id = AddImage("face.png", 40, 20);
    Sprite s;
    s.file = "face.png";
    s.framecolor = RGBA{1, 2, 3, 4};
    s.color = RGBA{9, 9, 9, 9};
    s.FrameWidth = 1;
    s.Draw(KVQRect{10, 110, 10, 60});
    const std::vector<std::string> one = dc.calls;
    ASSERT_EQ(one.size(), 9u);
    const int offsets[8][2] = {{1, 0}, {1, 1}, {1, -1}, {-1, 0}, {-1, 1}, {-1, -1}, {0, 1}, {0, -1}};
    for (int i = 0; i < 8; ++i) {
        const KVQRect moved{10 + offsets[i][0], 50 + offsets[i][0], 10 + offsets[i][1], 30 + offsets[i][1]};
        EXPECT_EQ(one[static_cast<size_t>(i)], Blit("Blit", id, {0, 40, 0, 20}, moved, "#01020304")) << i;
    }
    EXPECT_EQ(one[8], Blit("Blit", id, {0, 40, 0, 20}, {10, 50, 10, 30}, "#09090909"));

    dc.Reset();
    s.FrameWidth = 5;
    s.Draw(KVQRect{10, 110, 10, 60});
    EXPECT_EQ(dc.calls, one);
}

TEST_F(Pictures, CenteredDrawUsesHalfExtentsAndSkipsEmptyResults)
{
    const int32_t id = AddImage("face.png", 40, 20);
    Sprite s;
    s.file = "face.png";
    s.hotX = 50;  // ignored by the centred draw
    s.DrawCentered(100, 100, 0.0f, 1.0f, 1.0f, KVQRect{});
    s.DrawCentered(100, 100, 0.0f, 0.5f, 0.5f, KVQRect{});
    s.DrawCentered(100, 100, 1.0f, 1.0f, 1.0f, KVQRect{});
    s.DrawCentered(100, 100, 0.0f, 0.05f, 1.0f, KVQRect{});  // 2 pixels wide: half is 1
    s.DrawCentered(100, 100, 0.0f, 0.02f, 1.0f, KVQRect{});  // rounds to nothing
    s.IsScaleByWnd = 1;
    s.DrawCentered(100, 100, 0.0f, 1.0f, 1.0f, KVQRect{0, 80, 0, 10});
    ASSERT_EQ(dc.calls.size(), 5u);
    EXPECT_EQ(dc.calls[0], Blit("Blit", id, {0, 40, 0, 20}, {80, 120, 90, 110}));
    EXPECT_EQ(dc.calls[1], Blit("StretchBlit", id, {0, 40, 0, 20}, {90, 110, 95, 105}));
    EXPECT_EQ(dc.calls[2], Blit("RotateBlit", id, {0, 40, 0, 20}, {80, 120, 90, 110}) + " 1");
    EXPECT_EQ(dc.calls[3], Blit("StretchBlit", id, {0, 40, 0, 20}, {99, 101, 90, 110}));
    EXPECT_EQ(dc.calls[4], Blit("StretchBlit", id, {0, 40, 0, 20}, {60, 140, 95, 105}));
}

// ---- resolving images and regions ----

TEST_F(Pictures, SourceRectangleComesFromTheImageSetOrTheWholeImage)
{
    const int32_t id = AddImage("sheet.png", 64, 32);
    CImageSetManager::Instance().GetSet("sheet.png", false)->SetRect("star", KVQRect{16, 32, 0, 16});
    Sprite star;
    star.file = "sheet.png";
    star.ImageName = "star";
    star.Draw(KVQRect{0, 100, 0, 100});
    EXPECT_EQ(dc.calls.back(), Blit("Blit", id, {16, 32, 0, 16}, {0, 16, 0, 16}));

    // Without a region the whole image is used and recorded in the set under the file's name.
    Sprite s;
    s.file = "sheet.png";
    EXPECT_NE(s.GetTexture(), nullptr);
    EXPECT_EQ(s.Rect, (KVQRect{0, 64, 0, 32}));
    EXPECT_STREQ(s.ImageName.c_str(), "sheet.png");
    const ImageSetEntry* entry = CImageSetManager::Instance().GetRect("sheet.png", "sheet.png", false);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->rect, (KVQRect{0, 64, 0, 32}));

    // A region the set does not hold falls back to the whole image.
    Sprite other;
    other.file = "sheet.png";
    other.ImageName = "nothing";
    EXPECT_EQ(other.GetSourceRect(), (KVQRect{0, 64, 0, 32}));
}

TEST_F(Pictures, CloneDrawsFromAPrivateCopy)
{
    const int32_t shared = AddImage("face.png", 8, 4);
    Sprite s;
    s.file = "face.png";
    s.clone = "face-copy";
    const int32_t own = s.Resolve();
    ASSERT_NE(own, -1);
    EXPECT_NE(own, shared);
    EXPECT_EQ(CTextureCache::Instance().LoadTexture("face-copy"), own);
    EXPECT_STREQ(s.ImageName.c_str(), "face-copy");
    EXPECT_EQ(s.Rect, (KVQRect{0, 8, 0, 4}));

    // A clone name equal to the file shares the texture.
    Sprite same;
    same.file = "face.png";
    same.clone = "face.png";
    EXPECT_EQ(same.Resolve(), shared);
}

TEST_F(Pictures, ChangingTheImageOrLosingTheTextureResolvesAgain)
{
    const int32_t first = AddImage("a.png", 10, 10);
    const int32_t second = AddImage("b.png", 20, 5);
    CRenderObject_Pitcture picture;
    picture.sprite.file = "a.png";
    EXPECT_EQ(picture.sprite.Resolve(), first);
    const int32_t file = picture.GetAttributeNameRef("Picture:Sprite:file");
    ASSERT_GE(file, 0);
    ASSERT_TRUE(picture.SetAttribute(file, "b.png"));
    EXPECT_EQ(picture.sprite.GetTextureId(), -1);
    EXPECT_TRUE(picture.sprite.Rect.IsEmpty());
    picture.sprite.ImageName = "";
    EXPECT_EQ(picture.sprite.Resolve(), second);
    EXPECT_EQ(picture.sprite.Rect, (KVQRect{0, 20, 0, 5}));

    CTextureCache::Instance().RemoveTexture("b.png");
    EXPECT_EQ(picture.sprite.Resolve(), -1);
    const int32_t again = AddImage("b.png", 20, 5);
    EXPECT_EQ(picture.sprite.Resolve(), again);
}

// ---- records ----

TEST_F(Pictures, SpriteRecordIsOneBlockInFieldOrder)
{
    Sprite s;
    s.file = "a";
    s.Rect = KVQRect{1, 2, 3, 4};
    s.nAlign = 2;
    s.color = RGBA{5, 6, 7, 8};
    s.hotX = 9;
    s.hotY = 10;
    s.fScaleX = 1.0f;
    s.fScaleY = 2.0f;
    s.fRadia = 0.0f;
    s.IsScaleByWnd = 7;  // any true value is stored as 1
    s.Offset = KVQPoint{11, 12};
    s.ImageName = "b";
    s.clone = "";
    s.FrameWidth = 13;
    s.framecolor = RGBA{14, 15, 16, 17};
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    s.Transfer(m);
    const std::vector<uint8_t> expected = Bytes({
        93, 0, 0, 0, 93, 0, 0, 0,                                          // block length, twice
        2, 0, 0, 0, 2, 0, 0, 0, 'a', 0,                                    // file
        1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0,                    // Rect l, r, t, b
        2, 0, 0, 0,                                                        // nAlign
        5, 6, 7, 8,                                                        // color r, g, b, a
        9, 0, 0, 0, 10, 0, 0, 0,                                           // hotX, hotY
        0, 0, 0x80, 0x3f, 0, 0, 0, 0x40, 0, 0, 0, 0,                       // scales, angle
        1, 0, 0, 0,                                                        // IsScaleByWnd
        11, 0, 0, 0, 12, 0, 0, 0,                                          // Offset
        2, 0, 0, 0, 2, 0, 0, 0, 'b', 0,                                    // ImageName
        1, 0, 0, 0, 1, 0, 0, 0, 0,                                         // clone
        13, 0, 0, 0,                                                       // FrameWidth
        14, 15, 16, 17,                                                    // framecolor
    });
    EXPECT_EQ(BytesOf(m), expected);

    m.setMode(CIArchive::SM_READ);
    Sprite back;
    back.nTextureID = 42;
    back.Transfer(m);
    EXPECT_EQ(back.Rect, s.Rect);
    EXPECT_EQ(back.IsScaleByWnd, 1);
    EXPECT_EQ(back.framecolor, s.framecolor);
    EXPECT_STREQ(back.ImageName.c_str(), "b");
    EXPECT_EQ(back.fScaleY, 2.0f);
    EXPECT_EQ(back.nTextureID, -1);  // a loaded sprite resolves its (possibly new) file again
}

TEST_F(Pictures, PictureRecordIsSpriteThenClipSettings)
{
    CRenderObject_Pitcture picture;
    picture.sprite.file = "x.png";
    picture.clip.IsClip = 0;
    picture.clip.Clip = KVQRect{1, 2, 3, 4};
    picture.clip.IsClipByParent = 1;
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    picture.TransferRecord(m);
    const std::vector<uint8_t> bytes = BytesOf(m);
    ASSERT_EQ(bytes.size(), 8u + 96u + 24u);  // the sprite block holds "x.png" and an empty region
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 24, bytes.end()),
              Bytes({0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0}));

    IRender* copy = picture.Clone();
    ASSERT_NE(copy, nullptr);
    auto* cloned = static_cast<CRenderObject_Pitcture*>(copy);
    EXPECT_STREQ(cloned->sprite.file.c_str(), "x.png");
    EXPECT_EQ(cloned->clip.Clip, (KVQRect{1, 2, 3, 4}));
    EXPECT_EQ(cloned->clip.IsClipByParent, 1);
    DestroyRender(copy);
}

TEST_F(Pictures, SpriteListRecordKeepsEverySprite)
{
    CRenderObject_SpriteList list;
    list.nState = 1;
    list.AddSprite().file = "a.png";
    list.AddSprite().file = "b.png";
    IRender* copy = list.Clone();
    ASSERT_NE(copy, nullptr);
    auto* cloned = static_cast<CRenderObject_SpriteList*>(copy);
    EXPECT_EQ(cloned->nState, 1);
    ASSERT_EQ(cloned->GetCount(), 2);
    EXPECT_STREQ(cloned->GetSprite(1)->file.c_str(), "b.png");
    DestroyRender(copy);
}

// ---- picture drawing ----

TEST_F(Pictures, PictureClipsToTheWindowShrunkByItsMargins)
{
    const int32_t id = AddImage("face.png", 40, 20);
    CRenderObject_Pitcture picture;
    picture.sprite.file = "face.png";
    picture.Layout = LayoutRect{0, 0, 0, 0, 5, 5, 6, 6};
    picture.clip.Clip = KVQRect{1, 2, 3, 4};
    picture.Draw(KVQRect{100, 200, 100, 150});
    ASSERT_EQ(dc.calls.size(), 3u);
    EXPECT_EQ(dc.calls[0], "PushClip 101,198,103,146 0");
    EXPECT_EQ(dc.calls[1], Blit("Blit", id, {0, 40, 0, 20}, {105, 145, 106, 126}));
    EXPECT_EQ(dc.calls[2], "PopClip");

    dc.Reset();
    picture.clip.IsClip = 0;
    picture.Draw(KVQRect{100, 200, 100, 150});
    EXPECT_EQ(dc.Count("PushClip"), 0);
    EXPECT_EQ(dc.Count("PopClip"), 0);
}

TEST_F(Pictures, ClipByParentUsesTheParentOrPushesNothing)
{
    AddImage("face.png", 40, 20);
    CKVQWindow* parent = Make();
    CKVQWindow* child = CKVQWindow::New();
    parent->AddChild(child);
    auto* picture = new CRenderObject_Pitcture;
    picture->sprite.file = "face.png";
    picture->clip.IsClipByParent = 1;
    picture->clip.Clip = KVQRect{2, 2, 2, 2};
    child->AddRender(picture);
    const KVQRect p = parent->GetRect();
    dc.Reset();
    picture->Draw(child->GetRect());
    ASSERT_EQ(dc.Count("PushClip"), 1);
    EXPECT_EQ(dc.calls[0], "PushClip " + RecordingDC::Text(KVQRect{p.left + 2, p.right - 2, p.top + 2, p.bottom - 2}) +
                               " 0");
    EXPECT_EQ(dc.Count("PopClip"), 1);

    dc.Reset();
    CRenderObject_Pitcture orphan;
    orphan.sprite.file = "face.png";
    orphan.clip.IsClipByParent = 1;
    orphan.Draw(KVQRect{0, 50, 0, 50});
    EXPECT_EQ(dc.Count("PushClip"), 0);
    EXPECT_EQ(dc.Count("PopClip"), 0);
    EXPECT_EQ(dc.Count("Blit"), 1);
}

TEST_F(Pictures, ZoomMultipliesTheSpriteScale)
{
    CKVQWindow* w = Make();
    auto* picture = new CRenderObject_Pitcture;
    picture->sprite.fScaleX = 2.0f;
    w->AddRender(picture);
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    float zoom = 1.5f;
    m.Float(zoom);
    picture->ProcMessage(w, "OnZoom", &m, nullptr);
    EXPECT_EQ(picture->sprite.fScaleX, 3.0f);
    EXPECT_EQ(picture->sprite.fScaleY, 1.5f);
    // A message without the factor changes nothing.
    CKVQMessage empty(16);
    picture->ProcMessage(w, "OnZoom", &empty, nullptr);
    EXPECT_EQ(picture->sprite.fScaleX, 3.0f);
}

// ---- sprite lists ----

TEST_F(Pictures, SpriteListShowsOneSpriteInsideItsClip)
{
    const int32_t a = AddImage("a.png", 10, 10);
    const int32_t b = AddImage("b.png", 20, 20);
    CRenderObject_SpriteList list;
    list.Layout = LayoutRect{0, 0, 0, 0, 10, 60, 10, 60};
    list.AddSprite().file = "a.png";
    list.AddSprite().file = "b.png";
    list.nState = 1;
    list.Draw(KVQRect{0, 100, 0, 100});
    ASSERT_EQ(dc.calls.size(), 3u);
    EXPECT_EQ(dc.calls[0], "PushClip 10,60,10,60 0");
    EXPECT_EQ(dc.calls[1], Blit("Blit", b, {0, 20, 0, 20}, {10, 30, 10, 30}));
    EXPECT_EQ(dc.calls[2], "PopClip");

    for (int32_t outside : {2, -1}) {
        dc.Reset();
        list.nState = outside;
        list.Draw(KVQRect{0, 100, 0, 100});
        EXPECT_EQ(dc.calls, (std::vector<std::string>{"PushClip 10,60,10,60 0", "PopClip"})) << outside;
    }
    (void)a;
}

TEST_F(Pictures, SpriteListEditorCommandsAddDeleteAndCopyRects)
{
    CRenderObject_SpriteList list;
    EXPECT_TRUE(list.ExecuteCommand("SpriteList:SpriteList:List", "AddSprite"));
    EXPECT_TRUE(list.ExecuteCommand("SpriteList:SpriteList:List", "AddSprite"));
    EXPECT_TRUE(list.ExecuteCommand("SpriteList:SpriteList:List", "AddSprite"));
    ASSERT_EQ(list.GetCount(), 3);
    list.GetSprite(0)->file = "zero";
    list.GetSprite(2)->file = "two";
    list.GetSprite(2)->Rect = KVQRect{1, 2, 3, 4};
    EXPECT_TRUE(list.ExecuteCommand("CKVQWindow:RenderLst:SpriteList:SpriteList:List:Sprite1", "Delete"));
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_STREQ(list.GetSprite(1)->file.c_str(), "two");
    EXPECT_FALSE(list.ExecuteCommand("SpriteList:SpriteList:List:Sprite7", "Delete"));

    EXPECT_TRUE(list.ExecuteCommand("SpriteList:SpriteList:List:Sprite1:Rect", "Copy"));
    EXPECT_TRUE(list.ExecuteCommand("SpriteList:SpriteList:List:Sprite0:Rect", "Paste"));
    EXPECT_EQ(list.GetSprite(0)->Rect, (KVQRect{1, 2, 3, 4}));

    // The picture's sprite shares the clipboard.
    CRenderObject_Pitcture picture;
    EXPECT_TRUE(picture.ExecuteCommand("Picture:Picture:Sprite:Rect", "Paste"));
    EXPECT_EQ(picture.sprite.Rect, (KVQRect{1, 2, 3, 4}));
    EXPECT_FALSE(picture.ExecuteCommand("Picture:Picture:Sprite", "Paste"));
}

// ---- registration and attributes ----

TEST_F(Pictures, ClassesTakeTheirPlaceInTheStartUpOrderAndNameTheirAttributes)
{
    const std::string& classes = CRenderRegistry::Instance().GetClassListText();
    // In order, whatever other classes take their places between them.
    size_t at = 0;
    for (const char* name :
         {"|Line|", "|EditBox|", "|VertScrollBar|", "|HorzScrollBar|", "|Picture|", "|PictureMix|", "|PictureFrame|",
          "|SpriteList|", "|Animate|", "|Particle|", "|BridgeMessage|", "|MiniLogic|", "|ExtraDataSet|", "|Sound|",
          "|ArrayKVQWindowLogic|", "|SelectKVQWindowLogic|", "|TimerLogic|", "|ProgressControl|", "|TopmostLogic|",
          "|LuaLogic|", "|XMLLuaLogic|", "|MoveLogic|", "|DraggingLogic|", "|Frame|", "|FrameHorz|", "|FrameVert|"}) {
        at = classes.find(name, at);
        ASSERT_NE(at, std::string::npos) << name << " in " << classes;
    }

    CRenderObject_Pitcture picture;
    const std::vector<std::string> names = picture.BoundTable().FullNames();
    int last = -1;
    for (const char* name : {"Picture:Base:Name", "Picture:Sprite:file", "Picture:Sprite:ImageName",
                             "Picture:Sprite:Rect:left", "Picture:Sprite:nAlign", "Picture:Sprite:framecolor:red",
                             "Picture:Sprite:fRadia", "Picture:Sprite:IsScaleByWnd", "Picture:IsClip",
                             "Picture:Clip:bottom"}) {
        const auto at = static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
        EXPECT_GT(at, last) << name;
        EXPECT_LT(at, static_cast<int>(names.size())) << name;
        last = at;
    }
    // Writes reach the sprite inside the object they are made on.
    CRenderObject_Pitcture other;
    ASSERT_TRUE(other.SetAttribute(other.GetAttributeNameRef("Picture:Sprite:fScaleY"), "0.5"));
    EXPECT_EQ(other.sprite.fScaleY, 0.5f);
    EXPECT_EQ(picture.sprite.fScaleY, 1.0f);

    // The list's sprites live outside the object: the shared table leaves them out.
    CRenderObject_SpriteList list;
    list.AddSprite();
    const std::vector<std::string> listNames = list.BoundTable().FullNames();
    EXPECT_NE(std::find(listNames.begin(), listNames.end(), "SpriteList:nState"), listNames.end());
    for (const std::string& name : listNames)
        EXPECT_EQ(name.find("Sprite0"), std::string::npos) << name;
}

}  // namespace
