// Package files: the builder's byte layout, lookups by final name part, unscrambling, and
// directories damaged on purpose.

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "io/File.h"
#include "io/FileSystem.h"
#include "support/TempFiles.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Hand-made package bytes, for directories no builder would write.
struct PackageWriter {
    Bytes bytes;
    PackageWriter& Raw(const std::string& s)
    {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    PackageWriter& I16(uint16_t v)
    {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    PackageWriter& I32(int32_t v)
    {
        auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(u >> (8 * i)));
        return *this;
    }
    PackageWriter& Header(int32_t directoryOffset, int32_t count)
    {
        return Raw(".map").I16(1).I32(directoryOffset).I32(count).I16(0);
    }
    PackageWriter& Record(const std::string& name, int32_t offset, int32_t size)
    {
        auto n = static_cast<int32_t>(name.size() + 1);
        I32(n).I32(n).Raw(name);
        bytes.push_back(0);
        return I32(offset).I32(size);
    }
};

std::vector<std::string> EntryNames(const CPackage& package)
{
    std::vector<std::string> names;
    for (const PackageEntry& e : package.Entries())
        names.push_back(e.name);
    return names;
}

// Builds a package named out from files (name, content) written below folder.
bool Build(const TempFolder& folder, const std::string& out,
           const std::vector<std::pair<std::string, Bytes>>& files)
{
    CPackage builder;
    for (const auto& [name, content] : files) {
        WriteFile(PackageInputPath(name, folder / "src"), content);
        builder.AddInput(name);
    }
    return builder.BuildPackage(folder / out, folder / "src");
}

}  // namespace

TEST(PackageFormat, BuilderWritesHeaderScrambledDataAndDirectory)
{
    TempFolder t;
    ASSERT_TRUE(Build(t, "p.KVQ", {{"ab", Text("\x01\x02")}, {"d/c", Text("Z")}}));
    Bytes got = ReadFileBytes(t / "p.KVQ");
    PackageWriter want;
    want.Header(19, 2);
    want.bytes.push_back(0x01 ^ 16);  // each entry is scrambled with its own data offset
    want.bytes.push_back(0x02 ^ 16);
    want.bytes.push_back('Z' ^ 18);
    want.Record("ab", 16, 2).Record("d/c", 18, 1);
    EXPECT_EQ(got, want.bytes);
}

TEST(PackageFormat, BuildIsByteIdenticalAcrossRunsAndDropsMissingInputs)
{
    TempFolder t;
    ASSERT_TRUE(Build(t, "one.KVQ", {{"x.txt", Text("first")}, {"y.txt", Text("second")}}));
    CPackage builder;
    builder.AddInput("x.txt");
    builder.AddInput("missing.txt");
    builder.AddInput("y.txt");
    ASSERT_TRUE(builder.BuildPackage(t / "two.KVQ", t / "src"));
    EXPECT_EQ(EntryNames(builder), (std::vector<std::string>{"x.txt", "y.txt"}));
    EXPECT_EQ(ReadFileBytes(t / "one.KVQ"), ReadFileBytes(t / "two.KVQ"));
}

TEST(PackageLookup, FinalPartMatchesOnlyAtFolderBoundaryFirstInDirectoryOrder)
{
    TempFolder t;
    ASSERT_TRUE(Build(t, "p.KVQ",
                      {{"ba.png", Text("ba")}, {"x\\a.png", Text("xa")}, {"png/a.png", Text("pa")}, {"a.png", Text("a")}}));
    CPackage package;
    ASSERT_TRUE(package.Load(t / "p.KVQ"));
    const PackageEntry* hit = package.FindEntry("a.png");
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(hit->name, "x\\a.png");
    EXPECT_EQ(ReadEntry(package, *hit), Text("xa"));
    EXPECT_EQ(package.FindEntry("A.png"), nullptr);  // byte-exact
    EXPECT_EQ(package.FindEntry("png"), nullptr);
    ASSERT_NE(package.FindEntry("ba.png"), nullptr);
    EXPECT_EQ(package.FindEntry("ba.png")->name, "ba.png");
    // With folders in the name the whole tail must match at a boundary.
    ASSERT_NE(package.FindEntry("png/a.png"), nullptr);
    EXPECT_EQ(package.FindEntry("png/a.png")->name, "png/a.png");
    EXPECT_EQ(package.FindEntry("g/a.png"), nullptr);
}

TEST(PackageLookup, EmptyNamesAndFolderNamesNeverMatch)
{
    TempFolder t;
    PackageWriter w;
    w.Header(16, 3).Record("", 16, 0).Record("png/", 16, 0).I32(0).I32(16).I32(0);  // last: stored without text
    WriteFile(t / "p.KVQ", w.bytes);
    CPackage package;
    ASSERT_TRUE(package.Load(t / "p.KVQ"));
    EXPECT_EQ(package.Entries().size(), 3u);
    EXPECT_EQ(package.FindEntry(""), nullptr);
    EXPECT_EQ(package.FindEntry("png/"), nullptr);
    EXPECT_EQ(package.FindEntry("png"), nullptr);
}

TEST(PackageRead, EachEntryIsUnscrambledWithTheLowByteOfItsOffset)
{
    TempFolder t;
    Bytes first(240, 0xA5);
    Bytes second = Text("key zero");
    ASSERT_TRUE(Build(t, "p.KVQ", {{"first", first}, {"second", second}}));
    CPackage package;
    ASSERT_TRUE(package.Load(t / "p.KVQ"));
    const PackageEntry* e = package.FindEntry("second");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->offset, 256);
    Bytes raw = ReadFileBytes(t / "p.KVQ");
    EXPECT_EQ(Bytes(raw.begin() + 256, raw.begin() + 264), second);  // key 0: stored plain
    EXPECT_EQ(raw[16], 0xA5 ^ 16);
    EXPECT_EQ(ReadEntry(package, *e), second);
    EXPECT_EQ(ReadEntry(package, *package.FindEntry("first")), first);
}

TEST(PackageRead, EntryFileSeeksRelativeToItsData)
{
    TempFolder t;
    ASSERT_TRUE(Build(t, "p.KVQ", {{"a", Text("0123")}, {"b", Text("abcdef")}}));
    CPackage package;
    ASSERT_TRUE(package.Load(t / "p.KVQ"));
    IFile* f = package.OpenEntry(*package.FindEntry("b"));
    ASSERT_NE(f, nullptr);
    char c = 0;
    EXPECT_EQ(f->Seek(-2, IFile::kFromEnd), 1);
    EXPECT_EQ(f->Tell(), 4);
    ASSERT_EQ(f->Read(&c, 1), 1);
    EXPECT_EQ(c, 'e');
    EXPECT_EQ(f->Seek(1, IFile::kFromStart), 1);
    ASSERT_EQ(f->Read(&c, 1), 1);
    EXPECT_EQ(c, 'b');
    EXPECT_EQ(f->Seek(0, 7), 0);
    delete f;
}

// Directories damaged on purpose: loading ends quickly, keeps what was read before the
// damage and never sizes an entry beyond the file.
TEST(PackageLoad, HugeCountKeepsTheRecordsBeforeTheDamage)
{
    TempFolder t;
    PackageWriter w;
    w.Header(18, 2000000000).Raw(std::string{char('h' ^ 16), char('i' ^ 16)}).Record("ok.txt", 16, 2).I32(5).I32(5).Raw("ab");  // cut short
    WriteFile(t / "p.KVQ", w.bytes);
    CPackage package;
    ASSERT_TRUE(package.Load(t / "p.KVQ"));
    EXPECT_EQ(EntryNames(package), (std::vector<std::string>{"ok.txt"}));
    EXPECT_EQ(ReadEntry(package, *package.FindEntry("ok.txt")), Text("hi"));
}

TEST(PackageLoad, BadDirectoryOffsetsOrCountsGiveAnEmptyPackage)
{
    struct Case {
        const char* what;
        int32_t offset;
        int32_t count;
    };
    for (Case c : {Case{"negative offset", -5, 1}, Case{"offset past the end", 1 << 30, 1},
                   Case{"minimum offset", INT32_MIN, 1}, Case{"negative count", 16, -1},
                   Case{"minimum count", 16, INT32_MIN}}) {
        TempFolder t;
        PackageWriter w;
        w.Header(c.offset, c.count).Record("a", 16, 0);
        WriteFile(t / "p.KVQ", w.bytes);
        CPackage package;
        EXPECT_TRUE(package.Load(t / "p.KVQ")) << c.what;
        EXPECT_TRUE(package.Entries().empty()) << c.what;
    }
}

TEST(PackageLoad, BadNameLengthsStopTheDirectory)
{
    for (int32_t n : {-1, INT32_MIN, INT32_MAX, 1 << 30, 1000}) {
        TempFolder t;
        PackageWriter w;
        w.Header(16, 3).Record("a", 16, 0).I32(n).I32(n).Raw("bbbb").I32(16).I32(0).Record("c", 16, 0);
        WriteFile(t / "p.KVQ", w.bytes);
        CPackage package;
        ASSERT_TRUE(package.Load(t / "p.KVQ"));
        EXPECT_EQ(EntryNames(package), (std::vector<std::string>{"a"})) << "name length " << n;
    }
}

TEST(PackageLoad, EntrySizesAreCutToTheFile)
{
    TempFolder t;
    PackageWriter w;
    w.Header(20, 4).Raw("data");
    w.Record("big", 16, INT32_MAX).Record("neg", 16, -7).Record("far", 1 << 30, 10).Record("low", -3, 2);
    WriteFile(t / "p.KVQ", w.bytes);
    auto fileSize = static_cast<int32_t>(w.bytes.size());
    CPackage package;
    ASSERT_TRUE(package.Load(t / "p.KVQ"));
    ASSERT_EQ(package.Entries().size(), 4u);
    EXPECT_EQ(package.FindEntry("big")->size, fileSize - 16);
    EXPECT_EQ(package.FindEntry("neg")->size, 0);
    EXPECT_EQ(package.FindEntry("far")->size, 0);
    EXPECT_EQ(package.FindEntry("low")->size, 0);
    EXPECT_EQ(ReadEntry(package, *package.FindEntry("low")), Bytes());
    // The stated sizes are kept, so the damage is visible to whoever reports on the package.
    for (const PackageEntry& entry : package.Entries())
        EXPECT_TRUE(entry.IsTruncated()) << entry.name;
    EXPECT_EQ(package.FindEntry("big")->declaredSize, INT32_MAX);
    EXPECT_EQ(package.FindEntry("neg")->declaredSize, -7);
    EXPECT_EQ(package.FindEntry("far")->declaredSize, 10);
}

TEST(PackageLoad, EntriesInsideTheFileAreNotTruncated)
{
    TempFolder t;
    ASSERT_TRUE(Build(t, "p.KVQ", {{"a", Text("abc")}, {"empty", Bytes()}}));
    CPackage package;
    ASSERT_TRUE(package.Load(t / "p.KVQ"));
    ASSERT_EQ(package.Entries().size(), 2u);
    for (const PackageEntry& entry : package.Entries()) {
        EXPECT_FALSE(entry.IsTruncated()) << entry.name;
        EXPECT_EQ(entry.declaredSize, entry.size) << entry.name;
    }
}

TEST(PackageLoad, TruncatedOrMissingFiles)
{
    TempFolder t;
    WriteFile(t / "short.KVQ", Text(".map\x01"));
    CPackage package;
    EXPECT_TRUE(package.Load(t / "short.KVQ"));
    EXPECT_TRUE(package.Entries().empty());
    EXPECT_FALSE(package.Load(t / "absent.KVQ"));
    EXPECT_EQ(package.Stream(), nullptr);
    EXPECT_EQ(package.OpenEntry(PackageEntry{"x", 16, 1}), nullptr);
}

TEST(PackageLoad, DamageOfTheHeaderOrDirectoryIsDescribed)
{
    struct Case {
        const char* what;
        Bytes bytes;
        const char* damage;  // "" when the package is sound
    };
    const Case cases[] = {
        {"sound", PackageWriter().Header(18, 1).Raw("ab").Record("a", 16, 2).bytes, ""},
        {"short header", Text(".map\x01"), "its header is cut short (5 bytes; a header takes 16)"},
        {"offset outside", PackageWriter().Header(900, 1).bytes, "its directory offset 900 lies outside the file (16 bytes)"},
        {"negative count", PackageWriter().Header(16, -2).bytes, "its entry count is negative (-2)"},
        {"count beyond the records", PackageWriter().Header(16, 3).Record("a", 16, 0).bytes,
         "its directory lists 3 entries, but only 1 can be read (entry 2 at byte 34 runs past the end of the file)"},
    };
    for (const Case& c : cases) {
        TempFolder t;
        WriteFile(t / "p.KVQ", c.bytes);
        CPackage package;
        ASSERT_TRUE(package.Load(t / "p.KVQ")) << c.what;
        EXPECT_EQ(package.Damage(), c.damage) << c.what;
    }
}

// The builder writes beside the output and replaces it only when the package is complete.
TEST(PackageBuild, OutputThatIsAlsoAnInputKeepsItsBytes)
{
    TempFolder t;
    Bytes original = Text("the user's only copy");
    WriteFile(t / "x.KVQ", original);
    CPackage builder;
    builder.AddInput(t / "x.KVQ");
    ASSERT_TRUE(builder.BuildPackage(t / "x.KVQ"));
    CPackage package;
    ASSERT_TRUE(package.Load(t / "x.KVQ"));
    ASSERT_EQ(package.Entries().size(), 1u);
    EXPECT_EQ(ReadEntry(package, package.Entries()[0]), original);
    EXPECT_FALSE(fs::exists(t / "x.KVQ.tmp"));
}

TEST(PackageBuild, FailedBuildLeavesTheOutputAndNoTemporaryFile)
{
    TempFolder t;
    WriteFile(t / "in.txt", Text("data"));
    fs::create_directories(t / "out.KVQ");  // cannot be replaced by a file
    CPackage builder;
    builder.AddInput(t / "in.txt");
    EXPECT_FALSE(builder.BuildPackage(t / "out.KVQ"));
    EXPECT_TRUE(fs::is_directory(t / "out.KVQ"));
    EXPECT_FALSE(fs::exists(t / "out.KVQ.tmp"));
    EXPECT_FALSE(builder.BuildPackage(t / "no/such/folder/out.KVQ"));
}

TEST(PackageBuild, ExistingTemporaryNameIsNeitherOverwrittenNorLeftBehind)
{
    TempFolder t;
    WriteFile(t / "in.txt", Text("data"));
    WriteFile(t / "p.KVQ.tmp", Text("someone else's file"));
    CPackage builder;
    builder.AddInput(t / "in.txt");
    ASSERT_TRUE(builder.BuildPackage(t / "p.KVQ"));
    EXPECT_EQ(ReadFileBytes(t / "p.KVQ.tmp"), Text("someone else's file"));
    size_t files = 0;
    for (const auto& item : fs::directory_iterator(t.path())) {
        (void)item;
        ++files;
    }
    EXPECT_EQ(files, 3u);  // in.txt, p.KVQ, p.KVQ.tmp
    CPackage package;
    ASSERT_TRUE(package.Load(t / "p.KVQ"));
    ASSERT_EQ(package.Entries().size(), 1u);
    EXPECT_EQ(ReadEntry(package, package.Entries()[0]), Text("data"));
}
