// The file system's lookup order, the disk search, the miss log, extraction, and the memory
// file and serial behind the archive.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "io/File.h"
#include "io/FileSystem.h"
#include "io/FileSystemSerial.h"
#include "support/TempFiles.h"

namespace fs = std::filesystem;

namespace {

std::string TextOf(IFile* file)
{
    if (!file)
        return "<none>";
    std::vector<uint8_t> bytes = ReadAll(*file);
    return std::string(bytes.begin(), bytes.end());
}

// Runs work on another thread; true when it ends within a few seconds. On a timeout the pipes
// are opened from the other end, which releases an open stuck waiting for a writer or a
// reader, so a failing test ends instead of hanging.
bool EndsPromptly(const std::function<void()>& work, const std::vector<std::string>& pipes)
{
    std::future<void> done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready)
        return true;
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        for (const std::string& pipe : pipes) {
            for (int end : {O_WRONLY, O_RDONLY}) {
                int fd = ::open(pipe.c_str(), end | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            }
        }
    }
    return false;
}

// Each test runs with a fresh application folder and a file system in its first state.
class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.ok());
        app_ = folder_.path() + "/";
        GetFileSystem().Reset();
        GetFileSystem().SetApplicationFolder(app_);
        GetFileSystem().SetPackageName("NULL");
    }
    void TearDown() override { GetFileSystem().Reset(); }

    // Builds app/game.KVQ from (name, text) pairs and makes it the current package. The name
    // is relative: it opens from the application folder, not the current folder.
    void MakePackage(const std::vector<std::pair<std::string, std::string>>& files)
    {
        CPackage builder;
        for (const auto& [name, text] : files) {
            WriteFile(app_ + "pkgsrc/" + name, text);
            builder.AddInput(name);
        }
        ASSERT_TRUE(builder.BuildPackage(app_ + "game.KVQ", app_ + "pkgsrc"));
        fs::remove_all(app_ + "pkgsrc");
        GetFileSystem().SetPackageName("game");
    }

    std::string Open(const char* path, bool allowDisk = true)
    {
        IFile* file = GetFileSystem().Open(path, allowDisk);
        std::string text = TextOf(file);
        GetFileSystem().Close(file);
        return text;
    }

    std::string OpenDisk(const char* path)
    {
        IFile* file = GetFileSystem().OpenDisk(path, "rb");
        std::string text = TextOf(file);
        GetFileSystem().Close(file);
        return text;
    }

    std::string MissLog() const { return ReadFileText(app_ + CFileSystem::kMissingFileLog); }

    TempFolder folder_;
    std::string app_;
};

}  // namespace

TEST_F(FileSystemTest, BareNamePrefersLooseFilePathWithFolderPrefersPackage)
{
    WriteFile(app_ + "a.txt", "loose");
    WriteFile(app_ + "ui/a.txt", "loose in ui");
    MakePackage({{"ui/a.txt", "packed"}});
    EXPECT_EQ(Open("a.txt"), "loose");
    EXPECT_EQ(Open("ui/a.txt"), "packed");
    EXPECT_EQ(Open("other\\a.txt"), "packed");  // matched by its final part
    EXPECT_EQ(Open("a.txt", false), "packed");
}

TEST_F(FileSystemTest, PathWithFolderNotInPackageOpensFromDisk)
{
    WriteFile(app_ + "sub/c.txt", "on disk");
    MakePackage({{"x.txt", "x"}});
    // Not under the current folder: found below the application folder, "\" or "/" alike.
    EXPECT_EQ(Open("sub/c.txt"), "on disk");
    EXPECT_EQ(Open("sub\\c.txt"), "on disk");
    EXPECT_EQ(Open("sub/c.txt", false), "<none>");
}

TEST_F(FileSystemTest, NullPackageLeavesDiskLookupsSilently)
{
    WriteFile(app_ + "a.txt", "loose");
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
    WriteFile(app_ + "p.txt", "p");
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
    WriteFile(app_ + "two/s.txt", "two");
    EXPECT_EQ(Open("s.txt"), "two");
    WriteFile(app_ + "one/s.txt", "one");
    EXPECT_EQ(Open("s.txt"), "one");
}

TEST_F(FileSystemTest, LooseOpensFallBackToACaseInsensitiveMatch)
{
    WriteFile(app_ + "Hello.TXT", "hi");
    WriteFile(app_ + "png/Pic.PNG", "pic");
    EXPECT_EQ(Open("hello.txt"), "hi");
    EXPECT_EQ(OpenDisk("pic.png"), "pic");
    EXPECT_EQ(OpenDisk("png/pic.png"), "pic");
    // Writing never folds case: a new file with the exact name is made.
    IFile* out = GetFileSystem().OpenDisk((app_ + "hello.txt").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    GetFileSystem().Close(out);
    EXPECT_TRUE(fs::exists(app_ + "hello.txt"));
    EXPECT_EQ(ReadFileText(app_ + "Hello.TXT"), "hi");
}

TEST_F(FileSystemTest, DiskSearchTriesResourceFoldersThenSearchesNestedFolders)
{
    WriteFile(app_ + "lua/r.lua", "resource");
    WriteFile(app_ + "deep/er/still/d.txt", "deep");
    WriteFile(app_ + "deep/d2.txt", "shallow");
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

// A named pipe would make an open wait for a writer forever: the configuration, a package and
// a file found by the disk search are all refused instead, and so is writing into one.
TEST_F(FileSystemTest, NamedPipesAreRefusedWithoutWaiting)
{
    std::vector<std::string> pipes = {app_ + "default.cfg", app_ + "X.KVQ", app_ + "deep/found.txt"};
    fs::create_directories(app_ + "deep");
    for (const std::string& pipe : pipes)
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0) << pipe;
    std::string config, found;
    CPackage* package = nullptr;
    IFile* written = nullptr;
    int32_t size = 0;
    EXPECT_TRUE(EndsPromptly(
        [&] {
            config = Open("default.cfg");
            found = OpenDisk("found.txt");
            package = GetFileSystem().FindPackage(app_ + "X");
            written = GetFileSystem().OpenDisk((app_ + "default.cfg").c_str(), "wb");
            size = GetFileSystem().GetFileSizeOnDisk((app_ + "X.KVQ").c_str());
        },
        pipes));
    EXPECT_EQ(written, nullptr);
    GetFileSystem().Close(written);
    EXPECT_EQ(config, "<none>");
    EXPECT_EQ(found, "<none>");
    ASSERT_NE(package, nullptr);
    EXPECT_EQ(package->Stream(), nullptr);
    EXPECT_EQ(size, -1);
}

TEST_F(FileSystemTest, DiskMissesAreAppendedToTheLogOncePerName)
{
    // A name looked up every frame (a missing image) is written once, not once per frame.
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(OpenDisk("nope.txt"), "<none>");
        EXPECT_EQ(OpenDisk("dir\\nope2.txt"), "<none>");
    }
    EXPECT_EQ(OpenDisk(""), "<none>");
    EXPECT_EQ(MissLog(), "\nnope.txt\ndir\\nope2.txt");
}

TEST_F(FileSystemTest, LookupDescriptionNamesEveryPlaceSearched)
{
    GetFileSystem().AddSearchPath("extra");
    MakePackage({{"x.txt", "x"}});
    const std::string bare = GetFileSystem().DescribeLookup("a.png");
    for (const std::string& place : {app_, std::string("extra/"), std::string("package game.KVQ"), app_ + "png/",
                                     "every folder below " + app_})
        EXPECT_NE(bare.find(place), std::string::npos) << place << " not in " << bare;
    EXPECT_EQ(GetFileSystem().DescribeLookup("ui\\main.ui"), "package game.KVQ, " + app_ + "ui/main.ui");
}

TEST_F(FileSystemTest, ExtractionCopiesAPackagedFileAndSkipsSameSize)
{
    MakePackage({{"snd/boom.wav", "BOOM!"}, {"click.wav", "tick"}, {"hum.wav", "hum"}});
    CFileSystem& system = GetFileSystem();
    std::string target = system.ExtractToWritePath("boom.wav", "sound");
    EXPECT_EQ(target, app_ + "sound/boom.wav");
    EXPECT_EQ(ReadFileText(target), "BOOM!");

    WriteFile(app_ + "sound/click.wav", "TOCK");  // same size: left alone
    EXPECT_EQ(system.ExtractToWritePath("click.wav", "sound"), app_ + "sound/click.wav");
    EXPECT_EQ(ReadFileText(app_ + "sound/click.wav"), "TOCK");
    WriteFile(app_ + "sound/hum.wav", "an older, longer hum");  // another size: replaced
    EXPECT_EQ(system.ExtractToWritePath("hum.wav", "sound"), app_ + "sound/hum.wav");
    EXPECT_EQ(ReadFileText(app_ + "sound/hum.wav"), "hum");

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
    WriteFile(app_ + "sz/five.txt", "12345");
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
