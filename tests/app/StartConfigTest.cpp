#include "app/StartConfig.h"

#include <gtest/gtest.h>

#include <string>

TEST(CommandLine, LayoutAndSizeGiveLayoutWithNullPackage)
{
    KVQCoreCfg cfg;
    ASSERT_TRUE(ApplyCommandLine("ui/a.ui 1024x768 0", cfg));
    EXPECT_EQ(cfg.nScreenWidth, 1024);
    EXPECT_EQ(cfg.nScreenHeight, 768);

    const std::string text = "[Game]\nPacket=data\nMainUI=ui/main.ui\n";
    ConfigStore store;
    store.Parse(text.data(), text.size());
    StartChoice start = ChooseStart(cfg, store);
    EXPECT_EQ(start.packageName, "NULL");
    EXPECT_EQ(start.startLayout, "ui/a.ui");

    start = ChooseStart(KVQCoreCfg{}, store);
    EXPECT_EQ(start.packageName, "data");
    EXPECT_EQ(start.startLayout, "ui/main.ui");
}

TEST(CommandLine, NonZeroSwapExchangesWidthAndHeight)
{
    KVQCoreCfg cfg;
    ASSERT_TRUE(ApplyCommandLine("ui/a.ui 1024x768 1", cfg));
    EXPECT_EQ(cfg.nScreenWidth, 768);
    EXPECT_EQ(cfg.nScreenHeight, 1024);
}

TEST(CommandLine, TextOfThreeCharactersOrFewerIsIgnored)
{
    KVQCoreCfg cfg;
    cfg.nScreenWidth = 5;
    EXPECT_FALSE(ApplyCommandLine("a.u", cfg));
    EXPECT_EQ(cfg.strStartLayout, "");
    EXPECT_EQ(cfg.nScreenWidth, 5);

    EXPECT_TRUE(ApplyCommandLine("a.ui", cfg));
    EXPECT_EQ(cfg.strStartLayout, "a.ui");
    EXPECT_EQ(cfg.nScreenWidth, 0);  // a size that is not given reads as 0
}

TEST(CommandLine, ReadingStopsAtFirstMismatchAndNumbersSaturate)
{
    CommandLine line = ReadCommandLine("  ui/a.ui   800 x600 1");
    EXPECT_EQ(line.layout, "ui/a.ui");
    EXPECT_EQ(line.width, 800);
    EXPECT_EQ(line.height, 0);
    EXPECT_EQ(line.swap, 0);

    line = ReadCommandLine("ui/a.ui 800x 600 -1 extra");
    EXPECT_EQ(line.height, 600);
    EXPECT_EQ(line.swap, -1);

    line = ReadCommandLine("a.ui 99999999999999999999x-99999999999999999999 0");
    EXPECT_EQ(line.width, 2147483647);
    EXPECT_EQ(line.height, -2147483647 - 1);
}

TEST(ConfigText, LargeFileIsReadOnlyUpToLimit)
{
    std::string large(kMaxConfigFileSize + 10, 'x');
    CKVQMemoryFile file(reinterpret_cast<uint8_t*>(large.data()), static_cast<int32_t>(large.size()), false, true);
    std::string text;
    EXPECT_FALSE(ReadConfigText(file, text));
    EXPECT_EQ(text.size(), kMaxConfigFileSize);

    std::string small = "[Game]\nwidth=800\n";
    CKVQMemoryFile smallFile(reinterpret_cast<uint8_t*>(small.data()), static_cast<int32_t>(small.size()), false, true);
    EXPECT_TRUE(ReadConfigText(smallFile, text));
    EXPECT_EQ(text, small);
}
