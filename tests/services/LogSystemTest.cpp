#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "app/Clock.h"
#include "app/CoreCfg.h"
#include "io/FileSystem.h"
#include "platform/Clock.h"
#include "services/LogSystem.h"

namespace {

namespace fs = std::filesystem;

class LogSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("kvq_log_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        GetFileSystem().SetApplicationFolder(dir_.string() + "/");
        platform::SetVirtualClock(true);
        ResetClocks();
        KVQAPI_timeGetSystemTime();
    }
    void TearDown() override
    {
        platform::SetVirtualClock(false);
        GetCoreCfg().strCharset = "GB2312";
        fs::remove_all(dir_);
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    fs::path dir_;
};

TEST_F(LogSystemTest, LinesAreStampedAndWrittenLiterallyToTheirChannel)
{
    CKVQLogSystem logs("debug.log", "warn.log", "");
    platform::AdvanceVirtualClock(5);
    logs.XLog(0, "100% %s %n done");
    logs.XLog(1, "careful");
    logs.XLog(2, "no path");
    logs.XLog(3, "no channel");
    logs.XLog(-1, "no channel");
    logs.FlushAll();
    const std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} (.*)\r\n)");
    std::smatch match;
    const std::string debug = Read("debug.log");
    ASSERT_TRUE(std::regex_match(debug, match, line)) << debug;
    EXPECT_EQ(match[1], "100% %s %n done");
    const std::string warn = Read("warn.log");
    ASSERT_TRUE(std::regex_match(warn, match, line)) << warn;
    EXPECT_EQ(match[1], "careful");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(LogSystemTest, LinesWithinTwoMillisecondsWaitForALaterLineOrFlushAll)
{
    CKVQLogSystem logs("debug.log", "", "");
    platform::AdvanceVirtualClock(5);
    logs.XLog(0, "first");  // written out: the clock moved on since the start
    const size_t first = Read("debug.log").size();
    EXPECT_EQ(logs.Pending(0), 0);
    logs.XLog(0, "second");
    logs.XLog(0, "third");
    EXPECT_EQ(Read("debug.log").size(), first);
    EXPECT_GT(logs.Pending(0), 0);
    platform::AdvanceVirtualClock(2);
    logs.XLog(0, "fourth");
    EXPECT_EQ(logs.Pending(0), 0);
    EXPECT_NE(Read("debug.log").find("third\r\n"), std::string::npos);
    logs.XLog(0, "fifth");
    logs.FlushAll();
    EXPECT_NE(Read("debug.log").find("fifth\r\n"), std::string::npos);
}

TEST_F(LogSystemTest, AFullBufferIsWrittenOutBeforeTheNextLine)
{
    CKVQLogSystem logs("debug.log", "", "");
    platform::AdvanceVirtualClock(5);
    logs.XLog(0, "open");
    const std::string message(1000, 'x');
    for (int i = 0; i < 12; ++i)
        logs.XLog(0, message.c_str());  // within the same millisecond: only a full buffer writes
    EXPECT_GT(Read("debug.log").size(), 9000u);
    EXPECT_LT(logs.Pending(0), CKVQLogSystem::kBufferBytes);
}

TEST_F(LogSystemTest, WithoutALogSectionNothingIsWritten)
{
    CKVQLogSystem logs(GetConfig("Log", "Debug"), GetConfig("Log", "Warn"), GetConfig("Log", "Error"));
    platform::AdvanceVirtualClock(5);
    for (int channel = 0; channel < 3; ++channel)
        logs.XLog(channel, "nothing");
    logs.FlushAll();
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(LogSystemTest, AnUnopenableFileKeepsAtMostItsBufferOfNewestLines)
{
    CKVQLogSystem logs("missing/folder/debug.log", "", "");
    platform::AdvanceVirtualClock(5);
    const std::string message(500, 'y');
    for (int i = 0; i < 100; ++i)
        logs.XLog(0, (std::to_string(i) + message).c_str());
    EXPECT_LE(logs.Pending(0), CKVQLogSystem::kBufferBytes);
    EXPECT_GT(logs.Pending(0), CKVQLogSystem::kBufferBytes - 1100);
}

TEST(LogCut, LongMessagesAreCutAtACharacterBoundary)
{
    struct Case {
        const char* codePage;
        std::string text;
        int32_t limit;
        int32_t expected;
    };
    const Case cases[] = {
        {"GB2312", "abc", 5, 3},
        {"GB2312", "a\xC4\xE3\xBA\xC3", 4, 3},   // the second character would be split
        {"GB2312", "\xC4\xE3\xBA\xC3z", 4, 4},
        {"UTF-8", "a\xE4\xBD\xA0\xE5\xA5\xBD", 5, 4},
        {"ISO-8859-1", "abcdef", 4, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CKVQLogSystem::CutAtCharacter(c.text.data(), static_cast<int32_t>(c.text.size()), c.limit, c.codePage),
                  c.expected)
            << c.codePage << " " << c.text;
}

TEST_F(LogSystemTest, AMessageLongerThanTheWorkBufferIsCutNotOverrun)
{
    GetCoreCfg().strCharset = "GB2312";
    CKVQLogSystem logs("debug.log", "", "");
    platform::AdvanceVirtualClock(5);
    std::string message = "a";
    while (message.size() < 3000)
        message += "\xC4\xE3";
    logs.XLog(0, message.c_str());
    logs.FlushAll();
    const std::string text = Read("debug.log");
    ASSERT_GE(text.size(), 22u);
    EXPECT_EQ(text.size() - 20 - 2, 1035u);  // "a" and 517 whole characters
}

}  // namespace
