#include "services/Lock.h"

#include <thread>

void CKVQLock::Locked()
{
    mutex_.lock();
    std::lock_guard<std::mutex> state(stateMutex_);
    owner_ = std::this_thread::get_id();
    ++depth_;
}

void CKVQLock::UnLocked()
{
    {
        std::lock_guard<std::mutex> state(stateMutex_);
        if (depth_ == 0 || owner_ != std::this_thread::get_id())
            return;  // unlocking a mutex one does not hold is undefined: refuse it
        if (--depth_ == 0)
            owner_ = std::thread::id();
    }
    mutex_.unlock();
}

CKVQLock::~CKVQLock()
{
    while (depth_ > 0 && owner_ == std::this_thread::get_id())
        UnLocked();
}
