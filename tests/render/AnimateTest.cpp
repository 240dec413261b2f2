#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "gfx/ImageSet.h"
#include "gfx/Texture.h"
#include "io/EditHook.h"
#include "render/RenderRegistry.h"
#include "render/controls/Animate.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"

namespace {

class Animations : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTextureCache::Instance().Clear();
        CTimerSystemReset();
        previous = SetCurrentDevice(&dc);
    }
    void TearDown() override
    {
        SetCurrentDevice(previous);
        for (CKVQWindow* w : made)
            w->Delete();
        WindowModule::Get().ReleaseDeleted();
        CTimerSystemReset();
        CTextureCache::Instance().Clear();
    }
    static void CTimerSystemReset() { CKVQTimerSystem::Instance().Clear(); }
    // An animation of frames with the given delays, on a new window.
    CRenderObject_Animate* Make(const std::vector<int32_t>& delays, int32_t minDelay, int32_t repeat)
    {
        made.push_back(CKVQWindow::New());
        auto* a = new CRenderObject_Animate;
        for (int32_t delay : delays)
            a->AddFrame().delay = delay;
        a->animate.current = -1;  // as loaded
        a->animate.MinDelay = minDelay;
        a->animate.nRepeatTimes = repeat;
        made.back()->AddRender(a);
        return a;
    }

    RecordingDC dc;
    CKVQDC* previous = nullptr;
    std::vector<CKVQWindow*> made;
};

TEST_F(Animations, FramesAdvanceOverTimerTicksCarryingTheExcess)
{
    struct Case {
        const char* what;
        std::vector<int32_t> delays;
        int32_t minDelay, repeat;
        std::vector<int32_t> shown;  // the current frame after each tick of the timer
    } cases[] = {
        // 30 ms ticks: 100 ms take 4 ticks and the next frame starts with 20 ms.
        {"minimum tick", {100, 50, 40}, 0, -1, {0, 0, 0, 1, 2, 2, 2, 2}},
        {"three passes", {30, 30}, 0, 3, {1, 0, 1, 0, 1, 1, 1}},
        {"one pass", {30, 30}, 0, 1, {1, 1, 1}},
        {"slow tick", {100, 100, 100}, 50, 2, {0, 1, 1, 2, 2, 0, 0, 1}},
        {"short delays", {0, -5, 10}, 40, -1, {1, 2, 2}},
        {"no frames", {}, 0, -1, {-1, -1}},
    };
    for (const Case& c : cases) {
        CTimerSystemReset();
        CRenderObject_Animate* a = Make(c.delays, c.minDelay, c.repeat);
        a->Draw(KVQRect{0, 10, 0, 10});
        EXPECT_EQ(a->animate.current, c.delays.empty() ? -1 : 0) << c.what;
        ASSERT_EQ(CKVQTimerSystem::Instance().GetTimerCount(), 1u) << c.what;
        std::vector<int32_t> shown;
        for (size_t tick = 0; tick < c.shown.size(); ++tick) {
            CKVQTimerSystem::Instance().Update(a->animate.Tick());
            shown.push_back(a->animate.current);
        }
        EXPECT_EQ(shown, c.shown) << c.what;
    }
}

TEST_F(Animations, ExtremeDelaysNeitherOverflowNorStall)
{
    CRenderObject_Animate* a = Make({INT32_MAX, INT32_MIN, 1}, INT32_MAX, -1);
    a->animate.Advance();
    for (int i = 0; i < 4; ++i)
        a->animate.Advance();
    EXPECT_EQ(a->animate.current, 2);
    EXPECT_EQ(a->animate.elapsed, INT32_MAX);  // held at the top instead of wrapping
}

TEST_F(Animations, FirstDrawStartsOneTimerAndDestructionKillsIt)
{
    CKVQTimerSystem& timers = CKVQTimerSystem::Instance();
    CRenderObject_Animate loose;
    loose.AddFrame();
    loose.Draw(KVQRect{0, 10, 0, 10});  // no window to time: tries again at the next draw
    EXPECT_EQ(loose.IsSetTimer, 0);
    EXPECT_EQ(timers.GetTimerCount(), 0u);

    CRenderObject_Animate* a = Make({100}, 0, -1);
    a->Draw(KVQRect{0, 10, 0, 10});
    a->animate.MinDelay = 500;  // later changes do not restart the timer
    a->Draw(KVQRect{0, 10, 0, 10});
    EXPECT_EQ(a->IsSetTimer, 1);
    ASSERT_NE(a->timerId, 0u);
    EXPECT_EQ(timers.GetTimerCount(), 1u);
    timers.Update(30);
    EXPECT_EQ(timers.GetTriggeredCount(a->timerId), 1u);

    // The window's objects go with it.
    made.back()->Delete();
    made.pop_back();
    WindowModule::Get().ReleaseDeleted();
    EXPECT_EQ(timers.GetTimerCount(), 0u);
}

TEST_F(Animations, AnimationsOfOneWindowShareATimerThatOutlivesAllButTheLast)
{
    CKVQTimerSystem& timers = CKVQTimerSystem::Instance();
    CRenderObject_Animate* first = Make({30, 30}, 0, -1);
    auto* second = new CRenderObject_Animate;
    second->AddFrame().delay = 30;
    second->AddFrame().delay = 30;
    made.back()->AddRender(second);
    first->Draw(KVQRect{0, 10, 0, 10});
    second->Draw(KVQRect{0, 10, 0, 10});
    ASSERT_EQ(first->timerId, second->timerId);
    made.back()->DelRender(first);
    WindowModule::Get().ReleaseDeleted();
    ASSERT_EQ(timers.GetTimerCount(), 1u);
    second->animate.current = 0;
    timers.Update(30);
    EXPECT_EQ(second->animate.current, 1);  // still ticking
    made.back()->DelRender(second);
    WindowModule::Get().ReleaseDeleted();
    EXPECT_EQ(timers.GetTimerCount(), 0u);
}

TEST_F(Animations, DrawShowsTheCurrentFrameInTheLayoutRectangle)
{
    const int32_t first = CTextureCache::Instance().AddTexture("f0.png", std::vector<uint8_t>(8 * 4 * 4).data(), 8, 4);
    CTextureCache::Instance().AddTexture("f1.png", std::vector<uint8_t>(6 * 6 * 4).data(), 6, 6);
    CRenderObject_Animate* a = Make({100, 100}, 0, -1);
    a->animate.frames[0]->sprite.file = "f0.png";
    a->animate.frames[1]->sprite.file = "f1.png";
    a->Layout = LayoutRect{0, 0, 0, 0, 5, 5, 7, 7};
    a->Draw(KVQRect{100, 200, 100, 200});
    ASSERT_EQ(dc.Count("Blit"), 1);
    EXPECT_EQ(dc.Lines("Blit")[0], "Blit " + std::to_string(first) + " 0,8,0,4 105,113,107,111 #ffffffff");
}

TEST_F(Animations, EditorCommandsAddAndDeleteFramesAndShowTheLast)
{
    CRenderObject_Animate a;
    EXPECT_TRUE(a.ExecuteCommand("Animate:Animate:KVQAnimate", "AddFrame"));
    EXPECT_TRUE(a.ExecuteCommand("Animate:Animate:KVQAnimate", "AddFrame"));
    EXPECT_TRUE(a.ExecuteCommand("Animate:Animate:KVQAnimate", "AddFrame"));
    ASSERT_EQ(a.animate.frames.size(), 3u);
    EXPECT_EQ(a.animate.frames[2]->delay, 100);
    EXPECT_EQ(a.animate.current, 2);
    a.animate.frames[0]->sprite.Rect = KVQRect{1, 2, 3, 4};
    a.animate.frames[2]->script = "last";

    EXPECT_TRUE(a.ExecuteCommand("CKVQWindow:RenderLst:Animate:Animate:KVQAnimate:Frame0:Sprite:Rect", "Copy"));
    EXPECT_TRUE(a.ExecuteCommand("Animate:Animate:KVQAnimate:Frame1:Sprite:Rect", "Paste"));
    EXPECT_EQ(a.animate.frames[1]->sprite.Rect, (KVQRect{1, 2, 3, 4}));

    a.animate.current = 0;
    EXPECT_TRUE(a.ExecuteCommand("CKVQWindow:RenderLst:Animate:Animate:KVQAnimate:Frame1", "Delete"));
    ASSERT_EQ(a.animate.frames.size(), 2u);
    EXPECT_STREQ(a.animate.frames[1]->script.c_str(), "last");
    EXPECT_EQ(a.animate.current, 1);
    EXPECT_FALSE(a.ExecuteCommand("Animate:Animate:KVQAnimate:Frame5", "Delete"));
    EXPECT_TRUE(a.ExecuteCommand("Animate:Animate:KVQAnimate:Frame0", "Delete"));
    EXPECT_TRUE(a.ExecuteCommand("Animate:Animate:KVQAnimate:Frame0", "Delete"));
    EXPECT_EQ(a.animate.current, -1);
}

TEST_F(Animations, RecordIsOneBlockOfNestedFramesThenMinDelay)
{
    CRenderObject_Animate a;
    a.animate.nRepeatTimes = 3;
    a.animate.nAlign = 2;
    a.animate.MinDelay = 45;
    KVQAnimate::Frame& f = a.AddFrame();
    f.delay = 70;
    f.script = "s";
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    a.TransferRecord(m);
    const std::vector<uint8_t> bytes = BytesOf(m);
    // 12 bytes of fields, the frame's block (its 8-byte header, delay, script, the sprite's 99-byte
    // block) and MinDelay.
    ASSERT_EQ(bytes.size(), 8u + 12u + 121u + 4u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 42),
              Bytes({137, 0, 0, 0, 137, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0,  // nRepeatTimes, nAlign, count
                     113, 0, 0, 0, 113, 0, 0, 0, 70, 0, 0, 0,                         // frame block, delay
                     2, 0, 0, 0, 2, 0, 0, 0, 's', 0}));                               // script
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), Bytes({45, 0, 0, 0}));

    IRender* copy = a.Clone();
    ASSERT_NE(copy, nullptr);
    auto* back = static_cast<CRenderObject_Animate*>(copy);
    ASSERT_EQ(back->animate.frames.size(), 1u);
    EXPECT_EQ(back->animate.frames[0]->delay, 70);
    EXPECT_STREQ(back->animate.frames[0]->script.c_str(), "s");
    EXPECT_EQ(back->animate.MinDelay, 45);
    EXPECT_EQ(back->animate.current, -1);  // a loaded animation starts again
    EXPECT_EQ(back->IsSetTimer, 0);
    DestroyRender(copy);

    // A hostile frame count loads only what the record holds.
    for (int32_t count : {-1, 1000000}) {
        CKVQMessage hostile(16);
        hostile.setMode(CIArchive::SM_WRITE);
        int32_t fields[] = {16, 16, -1, 0, count, 9};  // block length twice, then the record
        for (int32_t& field : fields)
            hostile.Int32(field);
        hostile.setMode(CIArchive::SM_READ);
        CRenderObject_Animate loaded;
        loaded.TransferRecord(hostile);
        EXPECT_TRUE(loaded.animate.frames.empty()) << count;
    }
}

TEST_F(Animations, AttributesLiveInTheAnimateGroup)
{
    CRenderObject_Animate a;
    a.AddFrame();
    const std::vector<std::string> names = a.BoundTable().FullNames();
    for (const char* name : {"Animate:Base:Name", "Animate:IsSetTimer", "Animate:KVQAnimate:nRepeatTimes",
                             "Animate:KVQAnimate:MinDelay", "Animate:KVQAnimate:nAlign"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    for (const std::string& name : names)
        EXPECT_EQ(name.find("Frame0"), std::string::npos) << name;
    ASSERT_TRUE(a.SetAttribute(a.GetAttributeNameRef("Animate:KVQAnimate:MinDelay"), "80"));
    EXPECT_EQ(a.animate.MinDelay, 80);
}

}  // namespace
