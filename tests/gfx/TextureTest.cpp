#include "gfx/Texture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "gfx/DC.h"
#include "io/FileSystem.h"
#include "platform/ImageCodec.h"
#include "script/LuaHost.h"
#include "gfx/GLTestSupport.h"
#include "support/RecordingDC.h"
#include "support/TempFiles.h"

namespace {

using Pixel = std::array<uint8_t, 4>;

// width x height pixels, each (x, y, x ^ y, 255), so every position is recognisable.
std::vector<uint8_t> Pattern(int32_t width, int32_t height)
{
    std::vector<uint8_t> pixels;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            pixels.insert(pixels.end(), {static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                                         static_cast<uint8_t>(x ^ y), 255});
        }
    }
    return pixels;
}

std::vector<uint8_t> Solid(int32_t width, int32_t height, Pixel color)
{
    std::vector<uint8_t> pixels;
    for (int32_t i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), color.begin(), color.end());
    return pixels;
}

Pixel At(ITextureObject* texture, int32_t x, int32_t y)
{
    const uint8_t* p = texture->GetBits() + (static_cast<size_t>(y) * texture->GetTexWidth() + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

// Textures of one kind over a scratch application folder; uploads stay off (no GL context).
class TextureCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.ok());
        previousFolder_ = GetFileSystem().GetApplicationFolder();
        GetFileSystem().SetApplicationFolder(folder_.path() + "/");
        previousKind_ = GetTextureKind();
        SetTextureKind(kTextureOpenGL);
        SetTextureUploadEnabled(false);
        CTextureCache::Instance().Clear();
    }
    void TearDown() override
    {
        CTextureCache::Instance().Clear();
        SetTextureKind(previousKind_);
        GetFileSystem().SetApplicationFolder(previousFolder_);
    }

    // Writes a PNG of the pixels into the application folder.
    void WriteImage(const std::string& name, const std::vector<uint8_t>& pixels, int32_t width, int32_t height)
    {
        std::string error;
        ASSERT_TRUE(platform::WritePng((folder_ / name).c_str(), pixels.data(), width, height, width * 4, &error))
            << error;
    }

    CTextureCache& cache = CTextureCache::Instance();
    TempFolder folder_;
    std::string previousFolder_;
    int32_t previousKind_ = 0;
};

TEST_F(TextureCacheTest, GLTexturesAllocatePowersOfTwoAndKeepRowsAtTheStart)
{
    const std::vector<uint8_t> pixels = Pattern(100, 30);
    CKVQOpenGLESTexture texture(pixels.data(), 100, 30, 0, 0);
    EXPECT_EQ(texture.GetTexWidth(), 128);
    EXPECT_EQ(texture.GetTexHeight(), 32);
    EXPECT_EQ(texture.GetWidth(), 100);
    EXPECT_EQ(texture.GetHeight(), 30);
    // The right edge's texture coordinate.
    EXPECT_DOUBLE_EQ(static_cast<double>(texture.GetWidth()) / texture.GetTexWidth(), 100.0 / 128.0);
    EXPECT_EQ(At(&texture, 99, 29), (Pixel{99, 29, 99 ^ 29, 255}));
    EXPECT_EQ(At(&texture, 0, 1), (Pixel{0, 1, 1, 255}));
    EXPECT_EQ(At(&texture, 100, 0), (Pixel{0, 0, 0, 0})) << "padding is zero-filled";
    EXPECT_EQ(At(&texture, 5, 31), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(texture.GetGLName(), -1) << "no upload without a context";

    const std::vector<uint8_t> square = Pattern(64, 64);
    CKVQOpenGLESTexture exact(square.data(), 64, 64, 0, 0);
    EXPECT_EQ(exact.GetTexWidth(), 64);
    EXPECT_EQ(exact.GetTexHeight(), 64);
    const std::vector<uint8_t> dot = Pattern(1, 1);
    CKVQOpenGLESTexture single(dot.data(), 1, 1, 7, 9);
    EXPECT_EQ(single.GetTexWidth(), 1);
    EXPECT_EQ(single.GetTexHeight(), 1);
    KVQRect rect;
    single.GetRect(rect);
    EXPECT_EQ(rect.left, 7);
    EXPECT_EQ(rect.top, 9);
    EXPECT_EQ(rect.right, 8);
    EXPECT_EQ(rect.bottom, 10);

    EXPECT_EQ(PowerOfTwoAtLeast(0), 1);
    EXPECT_EQ(PowerOfTwoAtLeast(-5), 1);
    EXPECT_EQ(PowerOfTwoAtLeast(2049), 4096);
    EXPECT_EQ(PowerOfTwoAtLeast(INT_MAX), 1 << 30);
}

TEST(TexturePadding, EdgeTexelsFillTheRightColumnsTheBottomRowsAndTheCorner)
{
    // The 2 x 2 image "ab/cd" in a 4 x 3 copy; an image larger than the copy, or without area,
    // leaves the padding as it is.
    const std::pair<int32_t, const char*> cases[] = {{2, "abbb/cddd/cddd"}, {9, "ab../cd../...."}, {0, "ab../cd../...."}};
    for (const auto& [side, want] : cases) {
        std::vector<uint8_t> bits(4 * 3 * 4, '.');
        for (int i = 0; i < 4; ++i)
            std::fill_n(&bits[((i / 2) * 4 + i % 2) * 4], 4, static_cast<uint8_t>("abcd"[i]));
        FillPaddingWithEdgeTexels(bits.data(), 4, 3, side, side);
        std::string rows;
        for (int i = 0; i < 12; ++i)
            rows += std::string(i > 0 && i % 4 == 0 ? "/" : "") + static_cast<char>(bits[i * 4 + 3]);
        EXPECT_EQ(rows, want) << side;
    }
}

TEST_F(TextureCacheTest, TexturesFollowTheKindAndRefuseWhatCannotBeMade)
{
    const std::vector<uint8_t> pixels = Pattern(3, 5);
    SetTextureKind(kTextureMemoryImage);
    ITextureObject* image = CreateTexture(pixels.data(), 3, 5);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetKind(), kTextureMemoryImage);
    EXPECT_EQ(image->GetTexWidth(), 3) << "memory images keep the decoded size";
    EXPECT_EQ(image->GetTexHeight(), 5);
    EXPECT_EQ(At(image, 2, 4), (Pixel{2, 4, 6, 255}));
    image->Destroy();

    SetTextureKind(kTextureOpenGL);
    ITextureObject* gl = CreateTexture(pixels.data(), 3, 5);
    ASSERT_NE(gl, nullptr);
    EXPECT_EQ(gl->GetKind(), kTextureOpenGL);
    EXPECT_EQ(gl->GetTexWidth(), 4);
    gl->Destroy();

    SetTextureKind(kTextureDirect3D8);
    EXPECT_EQ(CreateTexture(pixels.data(), 3, 5), nullptr);
    SetTextureKind(kTextureOpenGL);
    EXPECT_EQ(CreateTexture(nullptr, 3, 5), nullptr);
    EXPECT_EQ(CreateTexture(pixels.data(), 0, 5), nullptr);
    EXPECT_EQ(CreateTexture(pixels.data(), 3, -1), nullptr);
    EXPECT_EQ(CreateTexture(pixels.data(), kMaxTextureSide + 1, 1), nullptr);
}

TEST_F(TextureCacheTest, PasteCutsTheSourceToTheAllocatedArea)
{
    for (int32_t kind : {kTextureOpenGL, kTextureMemoryImage}) {
        SetTextureKind(kind);
        const std::vector<uint8_t> blank = Solid(4, 4, {0, 0, 0, 0});
        ITextureObject* texture = CreateTexture(blank.data(), 4, 4);
        ASSERT_NE(texture, nullptr);
        const std::vector<uint8_t> block = Pattern(3, 3);
        // Up and left of the origin: only the source's bottom-right 2 x 2 lands, at (0, 0).
        texture->Paste(-1, -1, block.data(), 3, 3, false);
        EXPECT_EQ(At(texture, 0, 0), (Pixel{1, 1, 0, 255})) << kind;
        EXPECT_EQ(At(texture, 1, 1), (Pixel{2, 2, 0, 255}));
        EXPECT_EQ(At(texture, 2, 0), (Pixel{0, 0, 0, 0}));
        // Past the right and bottom edges: only the source's top-left pixel lands, at (3, 3).
        texture->Paste(3, 3, block.data(), 3, 3, false);
        EXPECT_EQ(At(texture, 3, 3), (Pixel{0, 0, 0, 255}));
        EXPECT_EQ(At(texture, 2, 3), (Pixel{0, 0, 0, 0}));
        // Positions whose far edge would overflow, or that miss entirely, write nothing.
        const std::vector<uint8_t> before(texture->GetBits(), texture->GetBits() + 64);
        texture->Paste(INT_MAX, INT_MAX, block.data(), 3, 3, false);
        texture->Paste(INT_MIN, 0, block.data(), 3, 3, false);
        texture->Paste(0, 0, nullptr, 3, 3, false);
        texture->Paste(0, 0, block.data(), -3, 3, false);
        EXPECT_EQ(std::memcmp(before.data(), texture->GetBits(), 64), 0);
        texture->Destroy();
    }
}

TEST_F(TextureCacheTest, BlendedPasteMixesAllFourChannelsBySourceAlpha)
{
    const std::vector<uint8_t> under = Solid(2, 1, {0, 50, 255, 255});
    ITextureObject* texture = CreateTexture(under.data(), 2, 1);
    ASSERT_NE(texture, nullptr);
    const std::vector<uint8_t> over = {200, 100, 0, 128, 9, 9, 9, 0};
    texture->Paste(0, 0, over.data(), 2, 1, true);
    // (source x a + destination x (256 - a)) / 256.
    EXPECT_EQ(At(texture, 0, 0), (Pixel{100, 75, 127, 191}));
    EXPECT_EQ(At(texture, 1, 0), (Pixel{0, 50, 255, 255})) << "a transparent source leaves the pixel";
    texture->Destroy();
}

TEST_F(TextureCacheTest, PixelAccessCoversTheAllocatedAreaOfEitherKind)
{
    for (int32_t kind : {kTextureOpenGL, kTextureMemoryImage}) {
        SetTextureKind(kind);
        const int32_t id = cache.AddTexture("pic", Pattern(5, 3).data(), 5, 3);
        ITextureObject* texture = cache.GetTextureObject(id);
        const TexturePixels pixels = GetTexturePixels(texture);
        ASSERT_NE(pixels.bits, nullptr) << kind;
        EXPECT_EQ(pixels.pitch, kind == kTextureOpenGL ? 8 : 5);
        EXPECT_EQ(pixels.rows, kind == kTextureOpenGL ? 4 : 3);
        EXPECT_EQ(pixels.At(4, 2)[2], 4 ^ 2);
        EXPECT_TRUE(pixels.Holds(pixels.pitch - 1, pixels.rows - 1));
        EXPECT_FALSE(pixels.Holds(pixels.pitch, 0));
        EXPECT_FALSE(pixels.Holds(0, -1));
        texture->Refresh();
        EXPECT_EQ(texture->GetRefreshCount(), 1u) << kind;
    }
    EXPECT_EQ(GetTexturePixels(nullptr).bits, nullptr);
}

TEST_F(TextureCacheTest, AFileIsDecodedOncePerName)
{
    WriteImage("hero.png", Pattern(100, 30), 100, 30);
    const int32_t id = cache.LoadTexture("hero.png");
    ASSERT_NE(id, -1);
    ITextureObject* texture = cache.GetTextureObject(id);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetTexWidth(), 128);
    EXPECT_EQ(texture->GetTexHeight(), 32);
    EXPECT_EQ(At(texture, 42, 17), (Pixel{42, 17, 42 ^ 17, 255}));
    EXPECT_EQ(cache.GetTexture(id)->id, id);

    // The file is gone, yet the name still answers: it was not read again.
    std::filesystem::remove(folder_ / "hero.png");
    EXPECT_EQ(cache.LoadTexture("hero.png"), id);
    EXPECT_EQ(cache.Count(), 1u);

    cache.RemoveTexture("hero.png");
    EXPECT_EQ(cache.GetTexture(id), nullptr);
    EXPECT_EQ(cache.LoadTexture("hero.png"), -1);
}

TEST_F(TextureCacheTest, MissingOrUndecodableFilesCacheNothingAndAreTriedAgain)
{
    EXPECT_EQ(cache.LoadTexture(nullptr), -1);
    EXPECT_EQ(cache.LoadTexture("later.png"), -1);
    ASSERT_TRUE(WriteFile(folder_ / "junk.png", std::string("not an image at all")));
    ASSERT_TRUE(WriteFile(folder_ / "empty.png", std::string()));
    EXPECT_EQ(cache.LoadTexture("junk.png"), -1);
    EXPECT_EQ(cache.LoadTexture("empty.png"), -1);
    EXPECT_EQ(cache.Count(), 0u);

    WriteImage("later.png", Pattern(2, 2), 2, 2);
    const int32_t id = cache.LoadTexture("later.png");
    EXPECT_NE(id, -1);
    EXPECT_EQ(cache.Count(), 1u);
    SetTextureKind(kTextureDirect3D8);
    WriteImage("d3d.png", Pattern(2, 2), 2, 2);
    EXPECT_EQ(cache.LoadTexture("d3d.png"), -1) << "no texture of that kind can be made";
    EXPECT_EQ(cache.Count(), 1u);
}

TEST_F(TextureCacheTest, CloneCopiesARectUnderANewName)
{
    const int32_t source = cache.AddTexture("sheet", Pattern(8, 8).data(), 8, 8);
    ASSERT_NE(source, -1);
    TextureHandle* clone = cache.CloneTexture(source, "part", KVQRect{2, 5, 1, 3});
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(cache.LoadTexture("part"), clone->id);
    ITextureObject* part = clone->texture;
    EXPECT_EQ(part->GetWidth(), 3);
    EXPECT_EQ(part->GetHeight(), 2);
    EXPECT_EQ(part->GetTexWidth(), 4);
    EXPECT_EQ(At(part, 0, 0), (Pixel{2, 1, 3, 255}));
    EXPECT_EQ(At(part, 2, 1), (Pixel{4, 2, 6, 255}));
    KVQRect rect;
    part->GetRect(rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);

    // A rect reaching past the source reads transparent there.
    TextureHandle* edge = cache.CloneTexture(source, "edge", KVQRect{-1, 1, 7, 9});
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(At(edge->texture, 0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(At(edge->texture, 1, 0), (Pixel{0, 7, 7, 255}));
    EXPECT_EQ(At(edge->texture, 1, 1), (Pixel{0, 0, 0, 0}));

    EXPECT_EQ(cache.CloneTexture(source, "flat", KVQRect{3, 3, 0, 4}), nullptr);
    EXPECT_EQ(cache.CloneTexture(source, "inverted", KVQRect{5, 2, 0, 4}), nullptr);
    EXPECT_EQ(cache.CloneTexture(source, "huge", KVQRect{INT_MIN, INT_MAX, 0, 1}), nullptr);
    EXPECT_EQ(cache.CloneTexture(source, nullptr, KVQRect{0, 1, 0, 1}), nullptr);
    EXPECT_EQ(cache.CloneTexture(9999, "orphan", KVQRect{0, 1, 0, 1}), nullptr);
    EXPECT_EQ(cache.LoadTexture("orphan"), -1);
}

TEST_F(TextureCacheTest, CloneToANameThatAlreadyAnswersCopiesNothing)
{
    const int32_t source = cache.AddTexture("a", Solid(2, 2, {1, 2, 3, 255}).data(), 2, 2);
    const int32_t taken = cache.AddTexture("b", Solid(4, 4, {9, 9, 9, 255}).data(), 4, 4);
    TextureHandle* result = cache.CopyTexture(source, "b");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->id, taken);
    EXPECT_EQ(At(result->texture, 0, 0), (Pixel{9, 9, 9, 255}));
    EXPECT_EQ(result->texture->GetWidth(), 4);

    // The new name is looked up before the source: a file of that name wins even when the
    // source does not exist.
    WriteImage("onfile.png", Solid(1, 1, {7, 7, 7, 255}), 1, 1);
    TextureHandle* fromFile = cache.CloneTexture(12345, "onfile.png", KVQRect{0, 1, 0, 1});
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(At(fromFile->texture, 0, 0), (Pixel{7, 7, 7, 255}));
    EXPECT_EQ(cache.Count(), 3u);
}

TEST_F(TextureCacheTest, CopyTakesTheWholeAllocatedArea)
{
    const int32_t source = cache.AddTexture("wide", Pattern(5, 3).data(), 5, 3);
    TextureHandle* copy = cache.CopyTexture(source, "wide copy");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->texture->GetWidth(), 8) << "the padding comes along";
    EXPECT_EQ(copy->texture->GetHeight(), 4);
    EXPECT_EQ(std::memcmp(copy->texture->GetBits(), cache.GetTextureObject(source)->GetBits(), 8 * 4 * 4), 0);
}

TEST_F(TextureCacheTest, AddingUnderATakenNameKeepsTheId)
{
    const int32_t id = cache.AddTexture("gen", Solid(1, 1, {1, 1, 1, 255}).data(), 1, 1);
    EXPECT_EQ(cache.AddTexture("gen", Solid(2, 2, {2, 2, 2, 255}).data(), 2, 2), id);
    EXPECT_EQ(At(cache.GetTextureObject(id), 1, 1), (Pixel{2, 2, 2, 255}));
    EXPECT_EQ(cache.AddTexture("bad", nullptr, 2, 2), -1);
    EXPECT_EQ(cache.AddTexture(nullptr, Solid(1, 1, {}).data(), 1, 1), -1);
    EXPECT_EQ(cache.Count(), 1u);
}

// The same textures on a real GL context (headless: SDL offscreen + EGL, with the OpenGL device
// made on it). Skipped when no context can be had on this machine.
class GLTextureTest : public GLDeviceTest {
protected:
    void TearDown() override
    {
        CTextureCache::Instance().Clear();  // GL names go while the context still exists
        GLDeviceTest::TearDown();
    }

    // What the GL texture holds, read back from the GPU.
    static std::vector<uint8_t> ReadBack(CKVQOpenGLESTexture* texture)
    {
        std::vector<uint8_t> pixels(static_cast<size_t>(texture->GetTexWidth()) * texture->GetTexHeight() * 4);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture->GetGLName()));
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    CTextureCache& cache = CTextureCache::Instance();
};

TEST_F(GLTextureTest, PauseAndResumeKeepEveryTexturesPixels)
{
    const int32_t id = cache.AddTexture("sprite", Pattern(100, 30).data(), 100, 30);
    auto* texture = dynamic_cast<CKVQOpenGLESTexture*>(cache.GetTextureObject(id));
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(texture->GetGLName(), -1);
    const std::vector<uint8_t> copy(texture->GetBits(), texture->GetBits() + 128 * 32 * 4);
    // The GPU's padding holds the edge texels; the pixel copy keeps its transparent padding.
    std::vector<uint8_t> uploaded = copy;
    FillPaddingWithEdgeTexels(uploaded.data(), 128, 32, 100, 30);
    ASSERT_NE(uploaded, copy);
    EXPECT_EQ(ReadBack(texture), uploaded);

    cache.ReleaseAll();
    EXPECT_EQ(texture->GetGLName(), -1);
    EXPECT_EQ(std::memcmp(texture->GetBits(), copy.data(), copy.size()), 0) << "the pixel copy stays";
    cache.UploadAll();
    ASSERT_NE(texture->GetGLName(), -1);
    EXPECT_EQ(ReadBack(texture), uploaded);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLTextureTest, TexturesMadeBeforeTheContextUploadOnFirstUseAndPastesReachTheGPU)
{
    SetTextureUploadEnabled(false);
    CKVQOpenGLESTexture texture(Solid(2, 2, {10, 20, 30, 255}).data(), 2, 2, 0, 0);
    EXPECT_EQ(texture.GetGLName(), -1);
    SetTextureUploadEnabled(true);
    texture.EnsureUploaded();
    ASSERT_NE(texture.GetGLName(), -1);
    const int32_t name = texture.GetGLName();
    texture.EnsureUploaded();
    EXPECT_EQ(texture.GetGLName(), name) << "an uploaded texture is not uploaded again";

    const std::vector<uint8_t> white = Solid(1, 1, {255, 255, 255, 255});
    texture.Paste(1, 1, white.data(), 1, 1, false);
    const std::vector<uint8_t> gpu = ReadBack(&texture);
    EXPECT_EQ((Pixel{gpu[12], gpu[13], gpu[14], gpu[15]}), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ((Pixel{gpu[0], gpu[1], gpu[2], gpu[3]}), (Pixel{10, 20, 30, 255}));
}

TEST_F(GLTextureTest, PixelsChangedInPlaceReachTheGPUOnRefresh)
{
    const int32_t id = cache.AddTexture("canvas", Solid(3, 2, {10, 20, 30, 255}).data(), 3, 2);
    auto* texture = dynamic_cast<CKVQOpenGLESTexture*>(cache.GetTextureObject(id));
    ASSERT_NE(texture, nullptr);
    const TexturePixels pixels = GetTexturePixels(texture);
    std::memset(pixels.At(2, 1), 200, 4);
    EXPECT_NE(ReadBack(texture)[(1 * 4 + 2) * 4], 200) << "the GPU keeps its copy until the refresh";
    texture->Refresh();
    EXPECT_EQ(texture->GetRefreshCount(), 1u);
    const std::vector<uint8_t> gpu = ReadBack(texture);
    EXPECT_EQ((Pixel{gpu[24], gpu[25], gpu[26], gpu[27]}), (Pixel{200, 200, 200, 200}));
    EXPECT_EQ((Pixel{gpu[28], gpu[29], gpu[30], gpu[31]}), (Pixel{200, 200, 200, 200})) << "padding follows the edge";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A recording device that also notes the members only scripts call here.
class ScriptDevice : public RecordingDC {
public:
    int32_t SetInvalidate(int32_t mode) override
    {
        calls.push_back("SetInvalidate " + std::to_string(mode));
        return 0;
    }
    int32_t Resize(int32_t width, int32_t height) override
    {
        calls.push_back("Resize " + std::to_string(width) + "," + std::to_string(height));
        return 0;
    }
};

// The drawing device as scripts reach it.
class DeviceScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = &InitScriptHost();
        previous_ = SetCurrentDevice(&device_);
    }
    void TearDown() override
    {
        SetCurrentDevice(previous_);
        ShutdownScriptHost();
    }
    // Runs a chunk; the error text, or "" when it ran.
    std::string Run(const char* text)
    {
        lua_State* L = host_->GetState();
        if (luaL_dostring(L, text) == 0)
            return "";
        std::string error = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
        lua_pop(L, 1);
        return error;
    }

    CKVQLuaHost* host_ = nullptr;
    ScriptDevice device_;
    CKVQDC* previous_ = nullptr;
};

TEST_F(DeviceScriptTest, MembersReachTheCurrentDevice)
{
    ASSERT_EQ(Run("dc = KVQAPI_GetDC()\n"
                  "local p = KVQPoint:new_local() p.x = 5 p.y = 5\n"
                  "local q = KVQPoint:new_local() q.x = 8 q.y = 1\n"
                  "dc:DrawHLine(p, 10, 4278190335)\n"
                  "dc:DrawLine(p, q, 255)\n"
                  "local r = KVQRect:new_local() r.left = 10 r.right = 30 r.top = 20 r.bottom = 40\n"
                  "dc:InvalidateRect(r)\n"
                  "dc:SetInvalidate(1)\n"
                  "assert(dc:Resize(-1, 10) == -1)\n"
                  "dc:Resize(320, 240)\n"
                  "local far = KVQPoint:new_local() far.x = 2147483647 far.y = 2147483647\n"
                  "dc:DrawHLine(far, 10, 0)\n"
                  "dc:DrawVLine(far, 10, 0)\n"),
              "");
    const std::vector<std::string> expected = {"DrawLine 5,5 15,5 #ff0000ff", "DrawLine 5,5 8,1 #ff000000"};
    ASSERT_GE(device_.calls.size(), 2u);
    EXPECT_EQ(device_.calls[0], expected[0]);
    EXPECT_EQ(device_.calls[1], expected[1]);
    std::string all;
    for (const std::string& call : device_.calls)
        all += call + "\n";
    EXPECT_NE(all.find("InvalidateRect 10,30,20,40 1"), std::string::npos) << all;
    EXPECT_NE(all.find("SetInvalidate 1"), std::string::npos) << all;
    EXPECT_NE(all.find("Resize 320,240"), std::string::npos) << all;
    EXPECT_EQ(all.find("Resize -1"), std::string::npos) << all;
    // Lengths past the coordinate range wrap instead of overflowing.
    EXPECT_NE(all.find("DrawLine 2147483647,2147483647 -2147483639,2147483647"), std::string::npos) << all;
    EXPECT_NE(all.find("DrawLine 2147483647,2147483647 2147483647,-2147483639"), std::string::npos) << all;
}

TEST_F(DeviceScriptTest, MissingArgumentsAndOldDevicesAreScriptErrors)
{
    ASSERT_EQ(Run("dc = KVQAPI_GetDC()"), "");
    EXPECT_NE(Run("dc:DrawVLine(nil, 3, 0)").find("needs a point"), std::string::npos);
    EXPECT_NE(Run("dc:DrawLine(KVQPoint:new_local())").find("two points"), std::string::npos);
    EXPECT_NE(Run("dc:InvalidateRect()").find("rectangle"), std::string::npos);
    EXPECT_NE(Run("dc:DrawHLine({}, 3, 0)"), "");
    EXPECT_NE(Run("KVQAPI_GetDC().DrawLine(nil)"), "");
    EXPECT_TRUE(device_.calls.empty());

    SetCurrentDevice(nullptr);
    EXPECT_EQ(Run("assert(KVQAPI_GetDC() == nil)"), "");
    EXPECT_NE(Run("dc:SetInvalidate(0)").find("no longer current"), std::string::npos);
    EXPECT_TRUE(device_.calls.empty());
}

}  // namespace
