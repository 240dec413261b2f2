#pragma once
// A critical section for scripts and engine code: the thread that holds it may enter again.

#include <mutex>
#include <thread>

class CKVQLock {
public:
    CKVQLock() = default;
    // A lock deleted (or collected) while its thread holds it is left first.
    ~CKVQLock();
    CKVQLock(const CKVQLock&) = delete;
    CKVQLock& operator=(const CKVQLock&) = delete;

    void Locked();
    // Leaves once; a thread that does not hold the lock leaves nothing.
    void UnLocked();

private:
    std::recursive_mutex mutex_;
    std::mutex stateMutex_;
    std::thread::id owner_;
    int depth_ = 0;
};
