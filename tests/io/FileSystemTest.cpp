// The file system's lookup order, the disk search, the miss log, extraction, and the memory
// file and serial behind the archive.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "io/File.h"
#include "io/FileSystem.h"
#include "io/FileSystemSerial.h"

namespace fs = std::filesystem;

namespace {

void WriteText(const std::string& path, const std::string& text)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadAll(IFile* file)
{
    if (!file)
        return "<none>";
    std::string text(static_cast<size_t>(file->GetSize()), '\0');
    int32_t got = file->Read(text.data(), file->GetSize());
    text.resize(static_cast<size_t>(got < 0 ? 0 : got));
    return text;
}

// Each test runs with a fresh application folder and a file system in its first state.
class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kvq_fs_XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        app_ = std::string(made) + "/";
        GetFileSystem().Reset();
        GetFileSystem().SetApplicationFolder(app_);
        GetFileSystem().SetPackageName("NULL");
    }
    void TearDown() override
    {
        GetFileSystem().Reset();
        std::error_code ec;
        fs::remove_all(app_, ec);
    }

    // Builds app/game.KVQ from (name, text) pairs and makes it the current package. The name
    // is relative: it opens from the application folder, not the current folder.
    void MakePackage(const std::vector<std::pair<std::string, std::string>>& files)
    {
        CPackage builder;
        for (const auto& [name, text] : files) {
            WriteText(app_ + "pkgsrc/" + name, text);
            builder.AddInput(name);
        }
        ASSERT_TRUE(builder.BuildPackage(app_ + "game.KVQ", app_ + "pkgsrc"));
        fs::remove_all(app_ + "pkgsrc");
        GetFileSystem().SetPackageName("game");
    }

    std::string Open(const char* path, bool allowDisk = true)
    {
        IFile* file = GetFileSystem().Open(path, allowDisk);
        std::string text = ReadAll(file);
        GetFileSystem().Close(file);
        return text;
    }

    std::string OpenDisk(const char* path)
    {
        IFile* file = GetFileSystem().OpenDisk(path, "rb");
        std::string text = ReadAll(file);
        GetFileSystem().Close(file);
        return text;
    }

    std::string MissLog() const { return ReadText(app_ + CFileSystem::kMissingFileLog); }

    std::string app_;
};

}  // namespace

TEST_F(FileSystemTest, BareNamePrefersLooseFilePathWithFolderPrefersPackage)
{
    WriteText(app_ + "a.txt", "loose");
    WriteText(app_ + "ui/a.txt", "loose in ui");
    MakePackage({{"ui/a.txt", "packed"}});
    EXPECT_EQ(Open("a.txt"), "loose");
    EXPECT_EQ(Open("ui/a.txt"), "packed");
    EXPECT_EQ(Open("other\\a.txt"), "packed");  // matched by its final part
    EXPECT_EQ(Open("a.txt", false), "packed");
}

TEST_F(FileSystemTest, PathWithFolderNotInPackageOpensFromDisk)
{
    WriteText(app_ + "sub/c.txt", "on disk");
    MakePackage({{"x.txt", "x"}});
    // Not under the current folder: found below the application folder, "\" or "/" alike.
    EXPECT_EQ(Open("sub/c.txt"), "on disk");
    EXPECT_EQ(Open("sub\\c.txt"), "on disk");
    EXPECT_EQ(Open("sub/c.txt", false), "<none>");
}

TEST_F(FileSystemTest, NullPackageLeavesDiskLookupsSilently)
{
    WriteText(app_ + "a.txt", "loose");
    EXPECT_EQ(Open("a.txt"), "loose");
    EXPECT_EQ(Open("missing.txt", false), "<none>");
    EXPECT_FALSE(fs::exists(app_ + CFileSystem::kMissingFileLog));
    CPackage* first = GetFileSystem().FindPackage("NULL");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Entries().empty());
    // Recorded once, not looked for again even when the file appears later.
    MakePackage({{"late.txt", "late"}});
    EXPECT_EQ(GetFileSystem().FindPackage("NULL"), first);
}

TEST_F(FileSystemTest, MissingPackageIsNotRetried)
{
    GetFileSystem().SetPackageName("game");
    EXPECT_EQ(Open("p.txt", false), "<none>");
    CPackage builder;
    WriteText(app_ + "p.txt", "p");
    builder.AddInput(app_ + "p.txt");
    ASSERT_TRUE(builder.BuildPackage(app_ + "game.KVQ"));
    EXPECT_EQ(Open("p.txt", false), "<none>");
}

TEST_F(FileSystemTest, SearchPathsAreDedupedAndSearchedInOrder)
{
    CFileSystem& system = GetFileSystem();
    system.AddSearchPath(app_ + "one");
    system.AddSearchPath(app_ + "one/");
    system.AddSearchPath(app_ + "two/");
    system.AddSearchPath("");
    EXPECT_EQ(system.GetSearchPaths(), (std::vector<std::string>{app_ + "one/", app_ + "two/"}));
    WriteText(app_ + "two/s.txt", "two");
    EXPECT_EQ(Open("s.txt"), "two");
    WriteText(app_ + "one/s.txt", "one");
    EXPECT_EQ(Open("s.txt"), "one");
}

TEST_F(FileSystemTest, LooseOpensFallBackToACaseInsensitiveMatch)
{
    WriteText(app_ + "Hello.TXT", "hi");
    WriteText(app_ + "png/Pic.PNG", "pic");
    EXPECT_EQ(Open("hello.txt"), "hi");
    EXPECT_EQ(OpenDisk("pic.png"), "pic");
    EXPECT_EQ(OpenDisk("png/pic.png"), "pic");
    // Writing never folds case: a new file with the exact name is made.
    IFile* out = GetFileSystem().OpenDisk((app_ + "hello.txt").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    GetFileSystem().Close(out);
    EXPECT_TRUE(fs::exists(app_ + "hello.txt"));
    EXPECT_EQ(ReadText(app_ + "Hello.TXT"), "hi");
}

TEST_F(FileSystemTest, DiskSearchTriesResourceFoldersThenSearchesNestedFolders)
{
    WriteText(app_ + "lua/r.lua", "resource");
    WriteText(app_ + "deep/er/still/d.txt", "deep");
    WriteText(app_ + "deep/d2.txt", "shallow");
    fs::create_directories(app_ + "folder.txt");  // a folder is never opened as a file
    fs::create_symlink(app_, app_ + "deep/er/loop");  // a cycle the search must not follow
    fs::path before = fs::current_path();
    EXPECT_EQ(OpenDisk("r.lua"), "resource");
    EXPECT_EQ(OpenDisk("d.txt"), "deep");
    EXPECT_EQ(OpenDisk("d2.txt"), "shallow");
    EXPECT_EQ(OpenDisk("folder.txt"), "<none>");
    EXPECT_EQ(OpenDisk("nowhere.txt"), "<none>");
    EXPECT_EQ(fs::current_path(), before);
}

TEST_F(FileSystemTest, DiskMissesAreAppendedToTheLog)
{
    EXPECT_EQ(OpenDisk("nope.txt"), "<none>");
    EXPECT_EQ(OpenDisk("dir\\nope2.txt"), "<none>");
    EXPECT_EQ(OpenDisk(""), "<none>");
    EXPECT_EQ(MissLog(), "\nnope.txt\ndir\\nope2.txt");
}

TEST_F(FileSystemTest, ExtractionCopiesAPackagedFileAndSkipsSameSize)
{
    MakePackage({{"snd/boom.wav", "BOOM!"}, {"click.wav", "tick"}, {"hum.wav", "hum"}});
    CFileSystem& system = GetFileSystem();
    std::string target = system.ExtractToWritePath("boom.wav", "sound");
    EXPECT_EQ(target, app_ + "sound/boom.wav");
    EXPECT_EQ(ReadText(target), "BOOM!");

    WriteText(app_ + "sound/click.wav", "TOCK");  // same size: left alone
    EXPECT_EQ(system.ExtractToWritePath("click.wav", "sound"), app_ + "sound/click.wav");
    EXPECT_EQ(ReadText(app_ + "sound/click.wav"), "TOCK");
    WriteText(app_ + "sound/hum.wav", "an older, longer hum");  // another size: replaced
    EXPECT_EQ(system.ExtractToWritePath("hum.wav", "sound"), app_ + "sound/hum.wav");
    EXPECT_EQ(ReadText(app_ + "sound/hum.wav"), "hum");

    EXPECT_EQ(system.ExtractToWritePath("none.wav", "sound"), "");
    EXPECT_FALSE(fs::exists(app_ + "sound/none.wav"));
}

TEST_F(FileSystemTest, ExtractionRefusesNamesThatLeaveTheWritePath)
{
    MakePackage({{"boom.wav", "BOOM!"}});
    CFileSystem& system = GetFileSystem();
    EXPECT_EQ(system.ExtractToWritePath("../boom.wav", "sound"), "");
    EXPECT_EQ(system.ExtractToWritePath("/tmp/boom.wav", "sound"), "");
    EXPECT_EQ(system.ExtractToWritePath("boom.wav", "..\\.."), "");
    EXPECT_EQ(system.ExtractToWritePath("boom.wav", "/tmp"), "");
}

TEST(ContainedRelativePath, KeepsNamesBelowTheFolder)
{
    EXPECT_EQ(ContainedRelativePath("a\\b/./c.txt"), "a/b/c.txt");
    EXPECT_EQ(ContainedRelativePath("a/../b"), "");
    EXPECT_EQ(ContainedRelativePath("\\abs"), "");
    EXPECT_EQ(ContainedRelativePath("C:x"), "");
    EXPECT_EQ(ContainedRelativePath("dir/"), "");
    EXPECT_EQ(ContainedRelativePath(""), "");
    EXPECT_EQ(ContainedRelativePath("..."), "...");
}

TEST_F(FileSystemTest, FileSizeOnDisk)
{
    WriteText(app_ + "sz/five.txt", "12345");
    fs::create_directories(app_ + "folder");
    EXPECT_EQ(GetFileSystem().GetFileSizeOnDisk((app_ + "sz/five.txt").c_str()), 5);
    EXPECT_EQ(GetFileSystem().GetFileSizeOnDisk("sz/five.txt"), 5);
    EXPECT_EQ(GetFileSystem().GetFileSizeOnDisk("sz/absent.txt"), -1);
    EXPECT_EQ(GetFileSystem().GetFileSizeOnDisk((app_ + "folder").c_str()), -1);
}

TEST(MemoryFile, ReadsAreAllOrNothingAndSeeksStayInside)
{
    auto* data = new uint8_t[10]{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    CKVQMemoryFile file(data, 10, true, false);
    uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(file.SetPosition(8), 8);
    EXPECT_EQ(file.Read(buffer, 4), 0);
    EXPECT_EQ(file.Tell(), 8);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(file.Read(buffer, 2), 2);
    EXPECT_EQ(buffer[1], 9);
    EXPECT_EQ(file.Seek(0, IFile::kFromEnd), 1);
    EXPECT_EQ(file.Tell(), 10);
    EXPECT_EQ(file.Seek(10, IFile::kFromStart), 0);
    EXPECT_EQ(file.Seek(-1, IFile::kFromStart), 0);
    EXPECT_EQ(file.Seek(-10, IFile::kFromEnd), 1);
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_EQ(file.Seek(-11, IFile::kFromEnd), 0);
    EXPECT_EQ(file.Seek(1, IFile::kFromEnd), 0);
    EXPECT_EQ(file.Seek(3, IFile::kFromCurrent), 1);
    EXPECT_EQ(file.Seek(-4, IFile::kFromCurrent), 0);
    EXPECT_EQ(file.Tell(), 3);
    EXPECT_EQ(file.Seek(0, 3), 0);
    EXPECT_EQ(file.SetPosition(-1), -1);
    EXPECT_EQ(file.Tell(), 3);
    EXPECT_EQ(file.Read(buffer, -1), 0);
}

TEST(MemoryFile, WritesGrowToTwiceTheEndUnlessFixed)
{
    uint8_t fixedData[4] = {1, 2, 3, 4};
    CKVQMemoryFile fixed(fixedData, 4, false, true);
    const uint8_t two[2] = {7, 8};
    fixed.SetPosition(3);
    EXPECT_EQ(fixed.Write(two, 2), 0);
    EXPECT_EQ(fixed.GetSize(), 4);
    fixed.SetPosition(2);
    EXPECT_EQ(fixed.Write(two, 2), 2);
    EXPECT_EQ(fixedData[3], 8);

    uint8_t borrowed[4] = {1, 2, 3, 4};
    CKVQMemoryFile growing(borrowed, 4, false, false);
    growing.SetPosition(3);
    EXPECT_EQ(growing.Write(two, 2), 2);
    EXPECT_EQ(growing.GetSize(), 10);  // 2 x (3 + 2)
    EXPECT_EQ(growing.Tell(), 5);
    EXPECT_EQ(std::vector<uint8_t>(growing.Data(), growing.Data() + 6), (std::vector<uint8_t>{1, 2, 3, 7, 8, 0}));
    EXPECT_EQ(borrowed[3], 4);  // the caller's block is not written once the file has its own

    // A position beyond the data (allowed by SetPosition) leaves a zero gap, not old memory.
    growing.SetPosition(30);
    EXPECT_EQ(growing.Write(two, 1), 1);
    EXPECT_EQ(growing.GetSize(), 62);
    EXPECT_EQ(growing.Data()[12], 0);
    EXPECT_EQ(growing.Data()[30], 7);
}

TEST(MemoryFile, FileSystemRefusesEmptyBlocksAndCloseClearsThePointer)
{
    CFileSystem& system = GetFileSystem();
    uint8_t byte = 1;
    EXPECT_EQ(system.CreateMemoryFile(nullptr, 4, false, true), nullptr);
    EXPECT_EQ(system.CreateMemoryFile(&byte, 0, false, true), nullptr);
    IFile* file = system.CreateMemoryFile(&byte, 1, false, true);
    ASSERT_NE(file, nullptr);
    system.Close(file);
    EXPECT_EQ(file, nullptr);
    system.Close(file);  // a null pointer is left alone
}

TEST(FileSystemSerial, ReadPastTheEndCopiesNothingAndWritesNeedAFile)
{
    uint8_t data[3] = {1, 2, 3};
    CKVQMemoryFile file(data, 3, false, true);
    file.SetPosition(2);
    CIFileSystemSerial serial(&file);
    EXPECT_EQ(serial.Tell(), 0);  // made at the start
    EXPECT_EQ(serial.GetSize(), 3);
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(serial.Read(out, 4), -1);
    EXPECT_EQ(serial.GetError(), CISerial::kReadPastEnd);
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(serial.Read(out, 3), 3);
    EXPECT_EQ(out[2], 3);

    CIFileSystemSerial none(nullptr);
    EXPECT_EQ(none.Write(out, 1), -1);
    EXPECT_EQ(none.GetError(), CISerial::kNoStream);
    EXPECT_EQ(none.Read(out, 1), -1);
    EXPECT_EQ(none.GetError(), CISerial::kReadPastEnd);
}
