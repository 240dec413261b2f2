#include "app/CoreCfg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/StartConfig.h"
#include "common/Notices.h"
#include "io/FileSystem.h"

namespace {

ConfigStore ParseText(const std::string& text)
{
    ConfigStore store;
    store.Parse(text.data(), text.size());
    return store;
}

KVQCoreCfg ApplyText(const std::string& text, KVQCoreCfg cfg = {})
{
    ApplyGameConfig(ParseText(text), cfg);
    return cfg;
}

}  // namespace

TEST(ConfigParse, EntriesTrimAndSplitAtLastEquals)
{
    ConfigStore store = ParseText("notes=skipped\n[My Game]\nwidth = 800\nui=\t a.ui \t\na=b=c\n");
    EXPECT_EQ(store.Get("My Game", "width"), "800");
    EXPECT_EQ(store.Get("My Game", "ui"), "a.ui");
    EXPECT_EQ(store.Get("My Game", "a=b"), "c");
    EXPECT_EQ(store.Get("My Game", "a"), "");
    EXPECT_EQ(store.Get("my game", "width"), "");
    EXPECT_EQ(store.Get("My Game", "notes"), "");
}

TEST(ConfigParse, MalformedLineEndsParseKeepingEarlierKeys)
{
    ConfigStore store = ParseText("[Log]\nDebug=d.log\n; comment\nWarn=w.log\n[Game]\nwidth=800\n");
    EXPECT_EQ(store.Get("Log", "Debug"), "d.log");
    EXPECT_EQ(store.Get("Log", "Warn"), "");
    EXPECT_EQ(store.Get("Game", "width"), "");

    EXPECT_EQ(ParseText("[S]\na=1\n=x=y\nb=3\n").Get("S", "b"), "");
    EXPECT_EQ(ParseText("[S]\na=1\n[Lo[g]\nb=2\n").Sections().size(), 1u);
}

TEST(ConfigParse, EarlyStopIsWarnedOnlyWhenGameOrLogKeysFollow)
{
    struct Case {
        const char* text;
        const char* warning;  // "" for none
    };
    const Case cases[] = {
        {"[Game]\nwidth=1\n# settings\nheight=2\n", "default.cfg:3: '# settings' has no '=', so the keys after it are not read"},
        {"[Log]\r\nDebug=d\r\n; note\r\n[Game]\r\nMainUI=a.ui\r\n", "default.cfg:3: '; note' has no '=', so the keys after it are not read"},
        {"[Game]\n\n=x\nwidth=1\n", "default.cfg:3: '=x' begins with '=', so the keys after it are not read"},
        {"[Other]\nk=v\n# end\n[Mine]\na=b\n", ""},      // nothing the engine reads is lost
        {"[Game]\nwidth=1\n# trailing comment\n", ""},      // nothing follows
        {"intro without =\n[Game]\nwidth=1\n", ""},        // text before the first section is skipped
    };
    for (const Case& c : cases)
        EXPECT_EQ(EarlyStopWarning("default.cfg", ParseText(c.text)), c.warning) << c.text;
}

TEST(ConfigParse, BracketInsideLineStartsSectionThere)
{
    ConfigStore store = ParseText("[A]\nx=1\nkey=va[B]\ny=2\n");
    EXPECT_EQ(store.Get("A", "x"), "1");
    EXPECT_EQ(store.Get("A", "key"), "");
    EXPECT_EQ(store.Get("B", "y"), "2");
}

TEST(ConfigParse, CrLfAndLfGiveSameStore)
{
    const std::string lf = "[Game]\nwidth=800\nheight = 600 \n\n[Log]\nDebug=d.log\n";
    const std::string crlf = "[Game]\r\nwidth=800\r\nheight = 600 \r\n\r\n[Log]\r\nDebug=d.log\r\n";
    EXPECT_EQ(ParseText(lf).Sections(), ParseText(crlf).Sections());
    EXPECT_EQ(ParseText(crlf).Get("Game", "height"), "600");
}

TEST(ConfigParse, RepeatedSectionsMergeAndLastValueWins)
{
    ConfigStore store = ParseText("[Game]\na=1\nb=2\n[Log]\nDebug=x\n[Game]\na=3\n");
    EXPECT_EQ(store.Get("Game", "a"), "3");
    EXPECT_EQ(store.Get("Game", "b"), "2");
    EXPECT_EQ(store.Sections().size(), 2u);
}

TEST(ConfigParse, TextIsCutAt255AndEndsAtNulOrLength)
{
    const std::string long300(300, 'n');
    const std::string cut = long300.substr(0, 255);
    ConfigStore store = ParseText("[" + long300 + "]\n" + long300 + "=" + long300 + "\n");
    EXPECT_EQ(store.Get(cut, cut), cut);

    store = ParseText(std::string("[Game]\na=1\n\0b=2\n", 16));
    EXPECT_EQ(store.Get("Game", "a"), "1");
    EXPECT_EQ(store.Get("Game", "b"), "");

    ConfigStore bounded;
    bounded.Parse("[Game]\na=12345", 11);
    EXPECT_EQ(bounded.Get("Game", "a"), "12");
}

TEST(GameConfig, SwitchesAreExactlyLowercaseTrueAndDebugDefaultsOn)
{
    EXPECT_FALSE(ApplyText("[Game]\nAutoScale=TRUE\n").IsAutoScale);
    EXPECT_FALSE(ApplyText("[Game]\nAutoScale=True\n").IsAutoScale);
    EXPECT_TRUE(ApplyText("[Game]\nAutoScale=true\n").IsAutoScale);
    EXPECT_FALSE(ApplyText("[Game]\nDebug=True\n").IsDebuging);
    EXPECT_TRUE(ApplyText("[Game]\nDebug=\n").IsDebuging);
    EXPECT_TRUE(ApplyText("[Game]\nwidth=1\n").IsDebuging);

    KVQCoreCfg cfg;
    cfg.strCharset = "UTF-8";
    EXPECT_EQ(ApplyText("[Game]\niconv=\n", cfg).strCharset, "GB2312");
    EXPECT_EQ(ApplyText("[Game]\niconv=BIG5\n").strCharset, "BIG5");
}

TEST(GameConfig, WidthFromFileReplacesCommandLineSize)
{
    KVQCoreCfg cfg;
    ASSERT_TRUE(ApplyCommandLine("ui/a.ui 1024x768 0", cfg));
    KVQCoreCfg sized = ApplyText("[Game]\nwidth = 800\nheight=600\n", cfg);
    EXPECT_EQ(sized.nScreenWidth, 800);
    EXPECT_EQ(sized.nScreenHeight, 600);

    KVQCoreCfg kept = ApplyText("[Game]\nwidth=\nheight=600\n", cfg);
    EXPECT_EQ(kept.nScreenWidth, 1024);
    EXPECT_EQ(kept.nScreenHeight, 768);

    KVQCoreCfg noHeight = ApplyText("[Game]\nwidth=640\n", cfg);
    EXPECT_EQ(noHeight.nScreenWidth, 640);
    EXPECT_EQ(noHeight.nScreenHeight, 0);
}

TEST(GameConfig, SizesReadLikeAtoiAndSaturate)
{
    KVQCoreCfg cfg = ApplyText("[Game]\nwidth= +800px\nheight=abc\n");
    EXPECT_EQ(cfg.nScreenWidth, 800);
    EXPECT_EQ(cfg.nScreenHeight, 0);
    cfg = ApplyText("[Game]\nwidth=99999999999\nheight=-99999999999\n");
    EXPECT_EQ(cfg.nScreenWidth, 2147483647);
    EXPECT_EQ(cfg.nScreenHeight, -2147483647 - 1);
}

// Developer output reaches standard error (a terminal line, ending in "\n") only while both the
// game's debug switch and verbose output are on.
TEST(DebugOutput, WritesTextAndLineEndOnlyWhileSwitchAndVerboseAreOn)
{
    KVQCoreCfg& cfg = GetCoreCfg();
    const bool saved = cfg.IsDebuging;
    const bool savedVerbose = notices::IsVerbose();
    struct Case {
        bool debugging;
        bool verbose;
        const char* written;
    };
    for (Case c : {Case{true, true, "hello\n"}, Case{true, false, ""}, Case{false, true, ""}}) {
        cfg.IsDebuging = c.debugging;
        notices::SetVerbose(c.verbose);
        testing::internal::CaptureStderr();
        EXPECT_EQ(KVQAPI_OutputDebugStr("hello"), c.debugging);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.written) << c.debugging << c.verbose;
    }
    notices::SetVerbose(savedVerbose);
    cfg.IsDebuging = saved;
}

// LoadConfig reads "default.cfg" from the application folder through the file system.
class LoadConfigTest : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = std::filesystem::temp_directory_path() / ("kvq_corecfg_" + name);
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        GetFileSystem().Reset();
        GetFileSystem().SetApplicationFolder(folder_.string() + "/");
        saved_ = GetCoreCfg();
    }

    void TearDown() override
    {
        GetCoreCfg() = saved_;
        GetConfigStore().Clear();
        std::filesystem::remove_all(folder_);
    }

    void WriteConfig(const std::string& text) { std::ofstream(folder_ / "default.cfg", std::ios::binary) << text; }

    std::filesystem::path folder_;
    KVQCoreCfg saved_;
};

TEST_F(LoadConfigTest, AppliesGameSectionAndKeepsValuesValidAcrossReload)
{
    WriteConfig("[Game]\niconv=UTF-8\nDebug=false\nwidth=800\nheight=600\nAutoScale=true\n"
                "MainUI=ui/first.ui\n[Log]\nDebug=log/d.log\n");
    ASSERT_TRUE(LoadConfig());
    const KVQCoreCfg& cfg = GetCoreCfg();
    EXPECT_EQ(cfg.strCharset, "UTF-8");
    EXPECT_FALSE(cfg.IsDebuging);
    EXPECT_EQ(cfg.nScreenWidth, 800);
    EXPECT_EQ(cfg.nScreenHeight, 600);
    EXPECT_TRUE(cfg.IsAutoScale);
    EXPECT_STREQ(GetConfig("Log", "Debug"), "log/d.log");
    EXPECT_STREQ(GetConfig("Game", "Nothing"), "");
    EXPECT_STREQ(GetConfig("Nothing", "Debug"), "");

    const char* first = GetConfig("Game", "MainUI");
    WriteConfig("[Game]\nMainUI=ui/second.ui\n");
    ASSERT_TRUE(LoadConfig());
    EXPECT_STREQ(first, "ui/first.ui");
    EXPECT_STREQ(GetConfig("Game", "MainUI"), "ui/second.ui");
}

TEST_F(LoadConfigTest, MissingFileEmptiesStoreAppliesDefaultsAndIsReportedWhileDebugging)
{
    WriteConfig("[Game]\nPacket=data\niconv=UTF-8\nDebug=false\n");
    ASSERT_TRUE(LoadConfig());
    std::filesystem::remove(folder_ / "default.cfg");

    GetCoreCfg().nScreenWidth = 320;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadConfig());
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("can not load"), std::string::npos);
    EXPECT_STREQ(GetConfig("Game", "Packet"), "");
    EXPECT_EQ(GetCoreCfg().strCharset, "GB2312");
    EXPECT_TRUE(GetCoreCfg().IsDebuging);
    EXPECT_EQ(GetCoreCfg().nScreenWidth, 320);

    const bool savedVerbose = notices::IsVerbose();
    notices::SetVerbose(true);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadConfig());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("can not load default.cfg\n"), std::string::npos);
    notices::SetVerbose(savedVerbose);
}
