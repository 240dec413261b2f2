#include "common/Notices.h"

#include <gtest/gtest.h>

// A notice is one line with the program's name; a key said again is silent, and only counted
// keys report their repeats when the run ends.
TEST(Notices, SaidOncePerKeyAndOnlyCountedKeysReportRepeats)
{
    notices::Reset();
    notices::SetProgramName("kvqtest");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(notices::NoticeOnce("boom", "script error: boom", true));
    EXPECT_FALSE(notices::NoticeOnce("boom", "script error: boom", true));
    EXPECT_FALSE(notices::NoticeOnce("boom", "script error: boom", true));
    EXPECT_TRUE(notices::ReportMissing("image", "png/x.png", "/game/"));
    EXPECT_FALSE(notices::ReportMissing("image", "png/x.png", "/game/"));
    EXPECT_TRUE(notices::ReportMissing("sound", "png/x.png", ""));  // another kind, another notice
    notices::PrintRepeatCounts();
    notices::PrintRepeatCounts();  // counts were cleared
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "kvqtest: script error: boom\n"
              "kvqtest: missing image 'png/x.png' (looked in: /game/)\n"
              "kvqtest: missing sound 'png/x.png'\n"
              "kvqtest: 'boom' repeated 2 more times\n");
    notices::Reset();
    notices::SetProgramName("kvq");
}
