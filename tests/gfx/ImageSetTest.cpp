#include "gfx/ImageSet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/FileSystem.h"
#include "io/MemFile.h"
#include "support/TempFiles.h"

namespace {

// Little-endian building blocks of a stored record.
void PutInt(std::vector<uint8_t>& out, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    out.insert(out.end(), {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
                           static_cast<uint8_t>(u >> 24)});
}

void PutString(std::vector<uint8_t>& out, const std::string& text)
{
    const auto n = static_cast<int32_t>(text.size() + 1);
    PutInt(out, n);
    PutInt(out, n);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

struct StoredEntry {
    std::string name;
    int32_t left, right, top, bottom;
};

std::vector<uint8_t> Record(const std::string& image, const std::string& names, const std::vector<StoredEntry>& entries)
{
    std::vector<uint8_t> out;
    PutString(out, image);
    PutString(out, names);
    PutInt(out, static_cast<int32_t>(entries.size()));
    for (const StoredEntry& e : entries) {
        PutString(out, e.name);
        PutInt(out, e.left);
        PutInt(out, e.right);
        PutInt(out, e.top);
        PutInt(out, e.bottom);
    }
    return out;
}

bool LoadBytes(CImageSet& set, const std::vector<uint8_t>& bytes)
{
    CIMemFile stream(bytes.data(), static_cast<int32_t>(bytes.size()));
    return set.LoadFrom(stream);
}

bool SameRect(const KVQRect& a, const KVQRect& b)
{
    return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom;
}

class ImageSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.ok());
        previousFolder_ = GetFileSystem().GetApplicationFolder();
        GetFileSystem().SetApplicationFolder(folder_.path() + "/");
        CImageSetManager::Instance().Clear();
    }
    void TearDown() override
    {
        CImageSetManager::Instance().Clear();
        GetFileSystem().SetApplicationFolder(previousFolder_);
    }

    TempFolder folder_;
    std::string previousFolder_;
};

TEST_F(ImageSetTest, SavedRecordHasTheStoredLayoutAndLoadsBack)
{
    CImageSet set("ui.png");
    set.SetRect("ok", KVQRect{0, 16, 0, 8});
    set.SetRect("cancel", KVQRect{16, 40, -2, 8});
    set.SetRect("ok", KVQRect{1, 17, 2, 10});  // replaces, appends nothing
    EXPECT_EQ(set.GetNames(), "|ok|cancel|");
    ASSERT_EQ(set.Entries().size(), 2u);

    ASSERT_TRUE(set.Save((folder_ / "ui.png.set").c_str()));
    const std::vector<uint8_t> expected =
        Record("ui.png", "|ok|cancel|", {{"ok", 1, 17, 2, 10}, {"cancel", 16, 40, -2, 8}});
    EXPECT_EQ(ReadFileBytes(folder_ / "ui.png.set"), expected);

    CImageSet back;
    ASSERT_TRUE(back.Load("ui.png.set"));
    EXPECT_EQ(back.GetImageName(), "ui.png");
    EXPECT_EQ(back.GetNames(), "|ok|cancel|");
    ASSERT_NE(back.GetRect("cancel"), nullptr);
    EXPECT_TRUE(SameRect(back.GetRect("cancel")->rect, KVQRect{16, 40, -2, 8}));
    EXPECT_TRUE(SameRect(back.GetRect("ok")->rect, KVQRect{1, 17, 2, 10}));
    EXPECT_EQ(back.GetRect("missing"), nullptr);
    EXPECT_EQ(back.GetRect(nullptr), nullptr);

    EXPECT_FALSE(set.Save(nullptr));
    EXPECT_FALSE(set.Save((folder_ / "ui.png.set/inside.set").c_str())) << "a file is in the way";
}

TEST_F(ImageSetTest, DamagedRecordsLoadAsEmptySets)
{
    const std::vector<uint8_t> good = Record("b.png", "|p|q|", {{"p", 1, 2, 3, 4}, {"q", 5, 6, 7, 8}});
    // Every truncation fails cleanly and leaves nothing behind.
    for (size_t length = 0; length < good.size(); ++length) {
        CImageSet set("kept.png");
        set.SetRect("old", KVQRect{});
        const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_FALSE(LoadBytes(set, cut)) << length;
        EXPECT_TRUE(set.Entries().empty()) << length;
        EXPECT_EQ(set.GetNames(), "|");
        EXPECT_EQ(set.GetRect("p"), nullptr);
        EXPECT_EQ(set.GetImageName(), "kept.png");
    }

    // A count that the bytes left cannot hold is refused before anything is reserved.
    std::vector<uint8_t> hostile;
    PutString(hostile, "c.png");
    PutString(hostile, "|");
    PutInt(hostile, 0x7fffffff);
    PutString(hostile, "only");
    for (int i = 0; i < 4; ++i)
        PutInt(hostile, 0);
    CImageSet set;
    EXPECT_FALSE(LoadBytes(set, hostile));
    EXPECT_TRUE(set.Entries().empty());
}

TEST_F(ImageSetTest, ManagerReadsTheSetFileOnceAndMissingFilesGiveEmptySets)
{
    CImageSetManager& manager = CImageSetManager::Instance();
    ASSERT_TRUE(WriteFile(folder_ / "hero.png.set", Record("hero.png", "|walk|", {{"walk", 0, 32, 0, 48}})));

    CImageSet* set = manager.GetSet("hero.png", true);
    ASSERT_NE(set, nullptr);
    const ImageSetEntry* walk = manager.GetRect("hero.png", "walk", true);
    ASSERT_NE(walk, nullptr);
    EXPECT_TRUE(SameRect(walk->rect, KVQRect{0, 32, 0, 48}));

    // Kept after the first request: a changed file is not read again.
    ASSERT_TRUE(WriteFile(folder_ / "hero.png.set", std::string("junk")));
    EXPECT_EQ(manager.GetSet("hero.png", true), set);
    EXPECT_NE(manager.GetRect("hero.png", "walk", true), nullptr);

    CImageSet* missing = manager.GetSet("ghost.png", true);
    ASSERT_NE(missing, nullptr);
    EXPECT_TRUE(missing->Entries().empty());
    EXPECT_EQ(missing->GetImageName(), "ghost.png");
    EXPECT_EQ(manager.GetRect("ghost.png", "anything", true), nullptr);

    ASSERT_TRUE(WriteFile(folder_ / "later.png.set", Record("later.png", "|a|", {{"a", 1, 1, 1, 1}})));
    EXPECT_TRUE(manager.GetSet("later.png", false)->Entries().empty()) << "not asked to read the file";
    EXPECT_EQ(manager.GetSet(nullptr, true), nullptr);
    EXPECT_EQ(manager.GetRect(nullptr, "a", true), nullptr);
}

}  // namespace
