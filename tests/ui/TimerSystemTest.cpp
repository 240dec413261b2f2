// Timers: when they trigger on 33 ms ticks, what they deliver, restarts, sub-timer chains, and
// what handlers may do to timers and windows while the timers are being updated.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "io/EditHook.h"
#include "render/Render.h"
#include "script/LuaHost.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"

namespace {

constexpr int32_t kTick = 33;
constexpr uint32_t kEndless = 4294967295u;

struct Delivery {
    std::string line;  // "tick window:Event<-sender"
    uint32_t systemWord;
    int32_t firstInt;  // the message's first int32, or -1
    int32_t scriptRef;
};
std::vector<Delivery> deliveries;
int currentTick = 0;

// Records every timer event its window receives and may act on it.
class Recorder : public IRender {
public:
    explicit Recorder(const std::vector<std::string>& events)
    {
        for (const std::string& event : events)
            RegisterHandler(event.c_str(), &Recorder::Handle);
        RegisterHandler("OnTimerEnd", &Recorder::Handle);
    }
    const char* GetClassName() const override { return "TestTimerRecorder"; }
    void Describe(CIEditHook& hook) override { DescribeBase(hook); }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(Recorder); }

    std::function<void(const std::string& event, CKVQWindow* owner, CKVQMessage* message)> action;

private:
    static void Handle(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
    {
        int32_t first = -1;
        if (message->GetSize() >= 4)
            message->Int32(first);
        deliveries.push_back({std::to_string(currentTick) + " " + owner->GetName() + ":" + name + "<-" +
                                  (sender ? sender->GetName() : "null"),
                              message->getSystemData(), first, message->GetScriptRef()});
        if (auto& act = static_cast<Recorder*>(self)->action)
            act(name, owner, message);
    }
};

using Lines = std::vector<std::string>;

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        deliveries.clear();
        currentTick = 0;
    }
    void TearDown() override
    {
        for (CKVQWindow* window : windows_) {
            if (!window->IsDeleted())
                window->Delete();
        }
        WindowModule::Get().ReleaseDeleted();
    }

    CKVQWindow* MakeWindow(const char* name, const std::vector<std::string>& events, Recorder** recorder = nullptr)
    {
        CKVQWindow* window = CKVQWindow::New();
        window->SetName(name);
        auto* object = new Recorder(events);
        window->AddRender(object);
        if (recorder != nullptr)
            *recorder = object;
        windows_.push_back(window);
        return window;
    }

    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            ++currentTick;
            timers_.Update(kTick);
        }
    }

    static Lines Received()
    {
        Lines lines;
        for (const Delivery& d : deliveries)
            lines.push_back(d.line);
        return lines;
    }

    // The ticks at which the event reached the window.
    static std::vector<int> TicksOf(const std::string& windowEvent)
    {
        std::vector<int> ticks;
        for (const Delivery& d : deliveries) {
            const size_t space = d.line.find(' ');
            if (d.line.compare(space + 1, windowEvent.size() + 2, windowEvent + "<-") == 0)
                ticks.push_back(std::stoi(d.line.substr(0, space)));
        }
        return ticks;
    }

    CKVQTimerSystem timers_;
    std::vector<CKVQWindow*> windows_;
};

// ---- trigger arithmetic ----

TEST_F(TimerTest, HundredMsTimerTriggersThirtyThreeTimesInHundredTicks)
{
    CKVQWindow* w = MakeWindow("w", {"OnTick"});
    timers_.SetTimer(w, "OnTick", 100, kEndless, 1);
    Ticks(100);
    const std::vector<int> ticks = TicksOf("w:OnTick");
    ASSERT_EQ(ticks.size(), 33u);
    EXPECT_EQ(ticks[0], 1);  // delay 1: the first tick that advances time
    // Every third tick while the collected remainder lasts (1 ms less per trigger), then a fourth.
    for (size_t i = 1; i < ticks.size(); ++i)
        ASSERT_EQ(ticks[i] - ticks[i - 1], 3) << "before trigger " << i;
    Ticks(4);
    const std::vector<int> later = TicksOf("w:OnTick");
    ASSERT_EQ(later.size(), 35u);
    EXPECT_EQ(std::vector<int>(later.begin() + 33, later.end()), (std::vector<int>{101, 104}));
}

TEST_F(TimerTest, DelayAndShortIntervalsShapeTheTriggerTicks)
{
    CKVQWindow* w = MakeWindow("w", {"OnNow", "OnFirstStep", "OnLater", "OnFast"});
    timers_.SetTimer(w, "OnNow", 100, 1, 0);
    timers_.SetTimer(w, "OnFirstStep", 100, 1, 1);
    timers_.SetTimer(w, "OnLater", 100, 1, 1000);
    const uint32_t fast = timers_.SetTimer(w, "OnFast", 10, 5, 0);
    timers_.Update(0);  // delay 0 needs no time at all
    Ticks(40);
    EXPECT_EQ(TicksOf("w:OnNow"), std::vector<int>{0});
    EXPECT_EQ(TicksOf("w:OnFirstStep"), std::vector<int>{1});
    EXPECT_EQ(TicksOf("w:OnLater"), std::vector<int>{31});  // 1023 ms collected
    EXPECT_EQ(TicksOf("w:OnFast"), (std::vector<int>{0, 1, 2, 3, 4}));  // once per update at most
    EXPECT_EQ(timers_.GetTriggeredCount(fast), 0u) << "released after its end";
}

TEST_F(TimerTest, CountsEndTimersWithOnTimerEndOrNeverEnd)
{
    CKVQWindow* w = MakeWindow("w", {"OnBeat", "OnForever", "OnNever"});
    const uint32_t beat = timers_.SetTimer(w, "OnBeat", 1000, 3, 0);
    const uint32_t forever = timers_.SetTimer(w, "OnForever", 1000, kEndless, 0);
    const uint32_t never = timers_.SetTimer(w, "OnNever", 33, 0, 0);
    Ticks(30);
    EXPECT_EQ(timers_.GetTimerLeftCount(beat), 2u);
    EXPECT_EQ(timers_.GetTimerLeftCount(forever), 4294967294u);
    Ticks(60);
    EXPECT_EQ(TicksOf("w:OnBeat"), (std::vector<int>{1, 31, 61}));
    EXPECT_EQ(TicksOf("w:OnTimerEnd"), std::vector<int>{61});
    EXPECT_TRUE(timers_.IsTimerEnd(beat));
    EXPECT_EQ(timers_.GetTriggeredCount(beat), 0u);
    EXPECT_TRUE(TicksOf("w:OnNever").empty());
    EXPECT_TRUE(timers_.IsTimerEnd(never)) << "count 0 counts as ended";
    EXPECT_EQ(timers_.GetTimerCount(), 2u) << "but stays until killed";
}

TEST_F(TimerTest, ExtremeIntervalsAndDelaysSaturateInsteadOfWrapping)
{
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    CKVQWindow* w = MakeWindow("w", {});
    const uint32_t huge = timers_.SetTimer(w, "OnHuge", kMax, kEndless, std::numeric_limits<int32_t>::min());
    const uint32_t negative = timers_.SetTimer(w, "OnNegative", -1000, kEndless, kMax);
    for (int i = 0; i < 4; ++i)
        timers_.Update(kMax);
    // Wrapped sums would turn negative and stall these timers for good.
    EXPECT_EQ(timers_.GetTriggeredCount(huge), 4u);
    EXPECT_EQ(timers_.GetTriggeredCount(negative), 4u);
}

// ---- what is delivered; restarts ----

TEST_F(TimerTest, DeliversACopyOfTheMessageWithTheIdAsSystemWord)
{
    const std::string full = "OnAVeryLongTimerNameThatGoesOnAndOn";
    const std::string cut = full.substr(0, CKVQTimerSystem::kNameMax);
    CKVQWindow* w = MakeWindow("w", {cut});
    CKVQMessage message;
    int32_t value = 7;
    message.Int32(value);
    const uint32_t id = timers_.SetTimer(w, full.c_str(), 33, 2, 0, &message);
    message.setMode(CIArchive::SM_WRITE);
    value = 99;
    message.Int32(value);
    Ticks(2);
    EXPECT_EQ(Received(), (Lines{"1 w:" + cut + "<-w", "2 w:" + cut + "<-w", "2 w:OnTimerEnd<-w"}));
    for (const Delivery& d : deliveries) {
        EXPECT_EQ(d.firstInt, 7) << d.line;  // every receiver reads from the start
        EXPECT_EQ(d.systemWord, id) << d.line;
    }
}

TEST_F(TimerTest, SetTimerRestartsPendingAndRunningTimersOfTheSameWindowAndName)
{
    CKVQWindow* w = MakeWindow("w", {"OnBlink"});
    CKVQWindow* other = MakeWindow("other", {});
    const uint32_t id = timers_.SetTimer(w, "OnBlink", 1000, 2, 1000);
    EXPECT_EQ(timers_.SetTimer(w, "OnBlink", 100, 5, 0), id) << "a timer not yet updated restarts too";
    EXPECT_EQ(timers_.GetTimerCount(), 1u);
    Ticks(1);  // with the second call's interval and delay
    EXPECT_EQ(timers_.SetTimer(w, "OnBlink", 200, 10, 200), id);
    EXPECT_NE(timers_.SetTimer(other, "OnBlink", 200, 10, 200), id);
    EXPECT_EQ(timers_.GetTimerLeftCount(id), 10u);
    EXPECT_EQ(timers_.GetTriggeredCount(id), 1u);
    deliveries.clear();
    Ticks(7);  // collected time restarts at interval - delay = 0: 200 ms take 7 ticks
    EXPECT_EQ(TicksOf("w:OnBlink"), std::vector<int>{8});

    timers_.SetTimer1(id, 100, 1);
    EXPECT_EQ(timers_.GetTriggeredCount(id), 2u);
    Ticks(4);
    EXPECT_EQ(TicksOf("w:OnTimerEnd").back(), 12) << "SetTimer1 starts from 0 collected";
}

TEST_F(TimerTest, HandlersMayRestartKillAndStartTimersDuringTheUpdate)
{
    Recorder* recorder = nullptr;
    CKVQWindow* w = MakeWindow("w", {"OnLoop", "OnSelf", "OnKiller", "OnVictim", "OnNewcomer"}, &recorder);
    uint32_t victim = 0;
    bool restarted = false;
    recorder->action = [&](const std::string& event, CKVQWindow* owner, CKVQMessage* message) {
        if (event == "OnTimerEnd" && !restarted) {
            restarted = true;
            timers_.SetTimer(owner, "OnLoop", 33, 1, 0);  // the ending timer runs on
        } else if (event == "OnSelf") {
            timers_.KillTimer(message->getSystemData());
            int32_t v = 0;
            message->setMode(CIArchive::SM_READ);
            message->Int32(v);  // still readable: freed only after the update
        } else if (event == "OnKiller") {
            timers_.KillTimer(victim);
            timers_.SetTimer(owner, "OnNewcomer", 33, 1, 0);  // likely the victim's slot
        }
    };
    timers_.SetTimer(w, "OnLoop", 33, 1, 0);
    timers_.SetTimer(w, "OnSelf", 33, 3, 0);
    timers_.SetTimer(w, "OnKiller", 33, kEndless, 34);
    victim = timers_.SetTimer(w, "OnVictim", 33, 5, 0);
    Ticks(3);
    EXPECT_EQ(Received(), (Lines{"1 w:OnLoop<-w", "1 w:OnTimerEnd<-w", "1 w:OnSelf<-w", "1 w:OnVictim<-w",
                                 "2 w:OnLoop<-w", "2 w:OnTimerEnd<-w", "2 w:OnKiller<-w", "3 w:OnKiller<-w",
                                 "3 w:OnNewcomer<-w", "3 w:OnTimerEnd<-w"}));
}

// ---- sub-timers ----

TEST_F(TimerTest, SubTimerTakesOverWhenTheParentEnds)
{
    CKVQWindow* w = MakeWindow("w", {"OnFirst", "OnSecond", "OnOld"});
    const uint32_t parent = timers_.SetTimer(w, "OnFirst", 33, 2, 0);
    const uint32_t old = timers_.AddSubTimer(parent, w, "OnOld", 33, 1, 0);
    const uint32_t oldChild = timers_.AddSubTimer(old, w, "OnOld", 33, 1, 0);
    const uint32_t child = timers_.AddSubTimer(parent, w, "OnSecond", 33, 2, 0);
    EXPECT_TRUE(timers_.IsTimerEnd(old) && timers_.IsTimerEnd(oldChild)) << "a replaced chain is released";
    EXPECT_EQ(timers_.AddSubTimer(0, w, "OnSecond", 33, 2, 0), 0u);
    Ticks(2);
    EXPECT_EQ(timers_.GetTriggeredCount(parent), 0u) << "the parent stops resolving as it ends";
    Ticks(3);
    EXPECT_EQ(Received(), (Lines{"1 w:OnFirst<-w", "2 w:OnFirst<-w", "2 w:OnTimerEnd<-w", "3 w:OnSecond<-w",
                                 "4 w:OnSecond<-w", "4 w:OnTimerEnd<-w"}));
    EXPECT_TRUE(timers_.IsTimerEnd(child));
    EXPECT_EQ(timers_.GetTimerCount(), 0u);
}

TEST_F(TimerTest, KillingATimerKillsItsChainAndLateSubTimersStillStart)
{
    Recorder* recorder = nullptr;
    CKVQWindow* w = MakeWindow("w", {"OnEarly", "OnLate", "OnFollow"}, &recorder);
    const uint32_t a = timers_.SetTimer(w, "OnA", 33, 1, 0);
    timers_.AddSubTimer(timers_.AddSubTimer(a, w, "OnB", 33, 1, 0), w, "OnC", 33, 1, 0);
    timers_.KillTimer(a);
    EXPECT_EQ(timers_.GetTimerCount(), 0u);

    // A sub-timer added by a later handler to a timer that already ended in this update.
    uint32_t early = 0;
    recorder->action = [&](const std::string& event, CKVQWindow* owner, CKVQMessage*) {
        if (event == "OnLate")
            timers_.AddSubTimer(early, owner, "OnFollow", 33, 1, 0);
    };
    early = timers_.SetTimer(w, "OnEarly", 33, 1, 0);
    timers_.SetTimer(w, "OnLate", 33, 1, 0);
    Ticks(3);
    EXPECT_EQ(TicksOf("w:OnFollow"), std::vector<int>{2});
    EXPECT_EQ(timers_.GetTimerCount(), 0u);
}

// ---- handles, windows, scripts ----

TEST_F(TimerTest, ReleasedHandlesNeverResolveAndDoublesAreAdvancedOnce)
{
    CKVQWindow* w = MakeWindow("w", {"OnOnce"});
    // One slot cycled through its 255 generations: its first (stale) pending entry names the
    // last timer again.
    std::vector<uint32_t> released;
    uint32_t id = 0;
    for (int i = 0; i < 256; ++i) {
        id = timers_.SetTimer(w, "OnOnce", 33, 5, 0);
        if (i < 255) {
            timers_.KillTimer(id);
            released.push_back(id);
        }
    }
    for (uint32_t old : released)
        ASSERT_TRUE(old == id || timers_.IsTimerEnd(old));
    ASSERT_EQ(id, released.front());
    EXPECT_EQ(std::set<uint32_t>(released.begin(), released.end()).size(), 255u);
    Ticks(2);
    EXPECT_EQ(TicksOf("w:OnOnce"), (std::vector<int>{1, 2}));
}

TEST_F(TimerTest, TimersOfDeletedWindowsDeliverNothingAndAreReleased)
{
    CKVQWindow* gone = MakeWindow("gone", {"OnTick", "OnCount"});
    CKVQWindow* stays = MakeWindow("stays", {"OnNext"});
    Recorder* recorder = nullptr;
    CKVQWindow* self = MakeWindow("self", {"OnLast"}, &recorder);
    recorder->action = [](const std::string& event, CKVQWindow* owner, CKVQMessage*) {
        if (event == "OnLast")
            owner->Delete();
    };
    EXPECT_EQ(timers_.SetTimer(nullptr, "OnTick", 33, 1, 0), 0u);
    timers_.SetTimer(gone, "OnTick", 33, kEndless, 0);
    timers_.SetTimer(gone, "OnIdle", 33, 0, 0);
    // A chain still hands over on time, so the sub-timer of another window is not put off.
    timers_.AddSubTimer(timers_.SetTimer(gone, "OnCount", 33, 3, 0), stays, "OnNext", 33, 1, 0);
    timers_.SetTimer(self, "OnLast", 33, 1, 0);
    Ticks(1);
    gone->Delete();
    EXPECT_EQ(timers_.SetTimer(gone, "OnTick", 33, 1, 0), 0u);
    WindowModule::Get().ReleaseDeleted();
    Ticks(4);
    EXPECT_EQ(Received(), (Lines{"1 gone:OnTick<-gone", "1 gone:OnCount<-gone", "1 self:OnLast<-self",
                                 "4 stays:OnNext<-stays", "4 stays:OnTimerEnd<-stays"}));
    EXPECT_EQ(timers_.GetTimerCount(), 0u);
}

TEST_F(TimerTest, MessagesReachScriptsAsObjectsWhoseReferencesAreGivenBack)
{
    InitScriptHost();
    CKVQTimerSystem::Instance().Clear();
    CKVQWindow* w = MakeWindow("w", {"OnScripted"});
    for (int i = 0; i < 50; ++i) {
        KVQAPI_SetTimer(w, "OnScripted", 33, 2, 0);  // the process-wide timers, as scripts reach them
        KVQAPI_UpdateTimer(kTick);
        KVQAPI_UpdateTimer(kTick);
    }
    std::set<int32_t> refs;
    for (const Delivery& d : deliveries) {
        ASSERT_GT(d.scriptRef, 0) << d.line;
        refs.insert(d.scriptRef);
    }
    EXPECT_EQ(deliveries.size(), 150u);
    EXPECT_LE(refs.size(), 2u) << "each released timer gave its reference back";
    CKVQTimerSystem::Instance().Clear();
    ShutdownScriptHost();
}

}  // namespace
