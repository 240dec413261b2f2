#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "services/Event.h"
#include "services/Lock.h"

namespace {

TEST(Lock, TheHolderReentersAndOthersWait)
{
    CKVQLock lock;
    lock.Locked();
    lock.Locked();
    std::atomic<bool> entered{false};
    std::thread other([&] {
        lock.UnLocked();  // not held by this thread: leaves nothing
        lock.Locked();
        entered = true;
        lock.UnLocked();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    lock.UnLocked();
    EXPECT_FALSE(entered);
    lock.UnLocked();
    other.join();
    EXPECT_TRUE(entered);
}

TEST(Event, NamedEventsAreSharedAndAutoReset)
{
    CKVQEvent waiter;
    CKVQEvent signaller;
    CKVQEvent stranger;
    ASSERT_TRUE(waiter.Initialize("kvq.test.ready"));
    ASSERT_TRUE(signaller.Initialize("kvq.test.ready"));
    ASSERT_TRUE(stranger.Initialize("kvq.test.other"));
    EXPECT_FALSE(waiter.Wait(0));  // not signalled at creation
    std::thread thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        signaller.SetEvent();
    });
    EXPECT_TRUE(waiter.Wait(5000));
    thread.join();
    EXPECT_FALSE(waiter.Wait(10));  // the wait took the signal
    stranger.SetEvent();
    EXPECT_FALSE(waiter.Wait(0));
    CKVQEvent none;
    EXPECT_FALSE(none.Wait(0));
    none.SetEvent();
}

}  // namespace
