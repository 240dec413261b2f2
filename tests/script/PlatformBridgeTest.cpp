// The platform bridge (key translation, key state, named system functions) and the engine
// clocks.

#include <gtest/gtest.h>

#include <string>

#include "app/Clock.h"
#include "app/CoreCfg.h"
#include "app/SystemAPI.h"
#include "platform/Clock.h"

namespace {

TEST(KeyTranslation, InverseTableMapsKeysAndLaterCodesOverwriteEarlierOnes)
{
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(65), 29);   // A
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(90), 54);   // Z
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(16), 55);   // Shift
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(123), 13);  // F12
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(37), 77);   // Left
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(96), 0);    // keypad 0: no engine key
    // Codes 78 .. 255 all name virtual key 0, the last of them wins.
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(0), 255);
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(255), -1);
    EXPECT_EQ(CKVQSystemAPI::WindowsKeyTranslation(100000), -1);

    CKVQSystemAPI api;
    EXPECT_EQ(api.TranslateKey(65), -1);  // nothing installed yet
    api.SetKeyTranslation(CKVQSystemAPI::WindowsKeyTranslation);
    EXPECT_EQ(api.TranslateKey(65), 29);
}

TEST(KeyState, ShiftDownSetsByte55AndCodesOutsideTheTableAreIgnored)
{
    CKVQSystemAPI api;
    api.SetKeyState(55, true);
    EXPECT_EQ(api.GetEngineKeyState(55), 0xFF);
    api.SetKeyState(55, false);
    EXPECT_EQ(api.GetEngineKeyState(55), 0);
    api.SetKeyState(-1, true);
    api.SetKeyState(256, true);
    EXPECT_EQ(api.GetEngineKeyState(-1), 0);
    EXPECT_EQ(api.GetEngineKeyState(256), 0);
    EXPECT_EQ(api.GetEngineKeyState(255), 0);
}

TEST(SystemFunctions, UnknownNamesGiveAnEmptyResultAndTheFirstRegistrationStays)
{
    CKVQSystemAPI api;
    EXPECT_EQ(api.CallSystemAPI("vibrate", "100"), "");
    EXPECT_FALSE(api.FindSystemAPI("vibrate"));

    EXPECT_TRUE(api.RegisterSystemAPI("echo", [](const char* argument, std::string& result) { result = argument; }));
    EXPECT_FALSE(api.RegisterSystemAPI("echo", [](const char*, std::string& result) { result = "second"; }));
    EXPECT_EQ(api.CallSystemAPI("echo", "hi"), "hi");
    EXPECT_EQ(api.CallSystemAPI("other", "x"), "");  // the previous result is cleared
    api.UnregisterSystemAPI("echo");
    EXPECT_FALSE(api.FindSystemAPI("echo"));
}

class Clocks : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedInterval_ = GetCoreCfg().nFrameInterval;
        platform::SetVirtualClock(true);
        ResetClocks();
    }
    void TearDown() override
    {
        platform::SetVirtualClock(false);
        ResetClocks();
        KVQAPI_SetFrameInterval(savedInterval_);
    }

private:
    uint32_t savedInterval_ = 0;
};

TEST_F(Clocks, FrameTimeIsTicksTimesTheInterval)
{
    KVQAPI_SetFrameInterval(33);
    EXPECT_EQ(KVQAPI_GetFrameTime(), 33u);
    AdvanceFrameCounter();
    AdvanceFrameCounter();
    AdvanceFrameCounter();
    EXPECT_EQ(KVQAPI_timeGetTime(), 99u);
}

TEST_F(Clocks, SystemTimeStartsAtZeroAndSurvivesThePlatformCountWrapping)
{
    platform::AdvanceVirtualClock(5000);
    EXPECT_EQ(KVQAPI_timeGetSystemTime(), 0u);
    platform::AdvanceVirtualClock(250);
    EXPECT_EQ(KVQAPI_timeGetSystemTime(), 250u);
    platform::AdvanceVirtualClock(0xFFFFFFFFu);
    EXPECT_EQ(KVQAPI_timeGetSystemTime(), 249u);
}

}  // namespace
