#include "platform/MessageBox.h"

#include "platform/Video.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MessageBox, WithoutAWindowTheNoticeGoesToStandardError)
{
    testing::internal::CaptureStderr();
    platform::ShowMessageBox("Could not open the layout", "Debug");
    platform::ShowMessageBox(nullptr, nullptr);
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, "kvq: Debug: Could not open the layout\nkvq: \n");
}

TEST(MessageBox, HeadlessRunsNeverOpenABoxEvenWithAWindowShown)
{
    std::string error;
    ASSERT_TRUE(platform::InitVideo(true, error)) << error;
    platform::SetMessageBoxWindowShown(true);
    testing::internal::CaptureStderr();
    platform::ShowMessageBox("text", "caption");
    const std::string written = testing::internal::GetCapturedStderr();
    platform::SetMessageBoxWindowShown(false);
    platform::ShutdownVideo();
    EXPECT_EQ(written, "kvq: caption: text\n");
}

}  // namespace
