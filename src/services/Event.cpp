#include "services/Event.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

struct CKVQEvent::Shared {
    std::mutex mutex;
    std::condition_variable signalled;
    bool set = false;
};

namespace {

// The process's named events; an event lives as long as an object refers to it.
std::mutex registryMutex;
std::map<std::string, std::weak_ptr<CKVQEvent::Shared>>& Registry()
{
    static std::map<std::string, std::weak_ptr<CKVQEvent::Shared>> registry;
    return registry;
}

}  // namespace

bool CKVQEvent::Initialize(const char* name)
{
    if (shared_)
        return false;
    const std::string key = name != nullptr ? name : "";
    if (key.empty()) {
        shared_ = std::make_shared<Shared>();
        return true;
    }
    std::lock_guard<std::mutex> lock(registryMutex);
    auto& registry = Registry();
    for (auto it = registry.begin(); it != registry.end();)
        it = it->second.expired() ? registry.erase(it) : std::next(it);
    std::weak_ptr<Shared>& slot = registry[key];
    shared_ = slot.lock();
    if (!shared_) {
        shared_ = std::make_shared<Shared>();
        slot = shared_;
    }
    return true;
}

bool CKVQEvent::Wait(int32_t timeout)
{
    if (!shared_)
        return false;
    std::unique_lock<std::mutex> lock(shared_->mutex);
    const auto isSet = [this] { return shared_->set; };
    if (timeout < 0)
        shared_->signalled.wait(lock, isSet);
    else if (!shared_->signalled.wait_for(lock, std::chrono::milliseconds(timeout), isSet))
        return false;
    shared_->set = false;
    return true;
}

void CKVQEvent::SetEvent()
{
    if (!shared_)
        return;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->set = true;
    }
    shared_->signalled.notify_one();
}
