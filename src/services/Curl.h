#pragma once
// HTTP and FTP transfers for scripts, off the frame's thread. A script fills a `_urlRequest`, hands
// it to the client `CKVQCurl`, and later gets a `_urlResponse` in a Lua function it names. One
// worker thread runs the transfers one at a time through libcurl's easy interface (connections
// kept in a share object across transfers); finished responses wait in a queue until the frame's
// dispatch hands them over, at most one per frame.
//
// Threads: the request and response queues each have a lock held only while a node goes in or
// out; the paused and stop flags are atomics; Lua is entered only from the main thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/Queue.h"

struct _urlResponse;

// Request kinds, as scripts know them.
enum KVQRequestType : int32_t {
    eRequestGet = 0,
    eRequestPost = 1,
    eRequestUploadFile = 2,
    eRequestDownloadFile = 3,
    eRequestUnknow = 4,
};

struct _urlRequest {
    int32_t nRequestType = eRequestUnknow;
    std::string url;
    std::string data;  // POST body, sent with its exact length (zero bytes included)
    std::string ca;    // CA file; empty verifies against the system's certificate store
    std::string strFtpUploadLocalFile;
    std::string strFtpUploadAsFile;
    std::string strFtpRenameToFile;
    std::string strFtpDownloadAsFile;
    std::string strFtpDownloadRenameFile;
    std::string tag;   // the script's own; never read here
    std::string func;  // global Lua function that gets the response ("" for xxxURLResponeFunc)
    std::vector<std::string> headers;
    // Called on the main thread with the response; set by send.
    std::function<void(_urlResponse&)> onComplete;

    static _urlRequest* create() { return new _urlRequest(); }
    void addHeader(const char* line);
};

struct _urlResponse {
    int32_t nResponseCode = -1;
    int32_t IsSuccess = 0;
    _urlRequest* request = nullptr;
    std::string body;
    std::string error;

    _urlRequest* getRequest() const { return request; }
};

// A wake event: auto-reset, initially not signalled.
class WakeEvent {
public:
    void Signal();
    // True when signalled (and resets it), false after the timeout.
    bool Wait(uint32_t milliseconds);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

class CKVQCurl {
public:
    static constexpr int32_t kDefaultTimeout = 1000;         // seconds, for the whole transfer
    static constexpr int32_t kDefaultConnectTimeout = 1000;  // seconds
    static constexpr uint32_t kIdleWaitMs = 1000;

    // The client, made (and its worker started) on first use.
    static CKVQCurl& Instance();
    static CKVQCurl* InstancePointer() { return &Instance(); }

    CKVQCurl();
    ~CKVQCurl();  // stops the worker
    CKVQCurl(const CKVQCurl&) = delete;
    CKVQCurl& operator=(const CKVQCurl&) = delete;

    // Takes ownership and queues the request; a request without a completion hook gets the
    // script dispatcher. A stopped worker is started again.
    void send(_urlRequest* request);
    void setTimeout(int32_t seconds) { timeout_ = seconds; }
    int32_t getTimeout() const { return timeout_; }
    void setConnectTimeout(int32_t seconds) { connectTimeout_ = seconds; }
    int32_t getConnectTimeout() const { return connectTimeout_; }
    // Script forms: numbers truncated to whole seconds.
    void setTimeoutSeconds(double seconds);
    void setConnectTimeoutSeconds(double seconds);

    // Hands at most one finished response to its request's hook, then deletes both. The elapsed
    // time is not used. True when a response was handed over.
    bool Dispatch(uint32_t elapsedMs);
    void Pause() { paused_ = true; }
    void Resume();
    bool IsPaused() const { return paused_; }
    // Stops the worker: the transfer under way is cancelled, queued requests and undelivered
    // responses are dropped. A later send starts it again.
    void Shutdown();

    size_t PendingResponses();

private:
    void StartWorker();
    void WorkerLoop();
    std::unique_ptr<_urlResponse> Transfer(_urlRequest* request);
    void DropQueues();

    std::atomic<int32_t> timeout_{kDefaultTimeout};
    std::atomic<int32_t> connectTimeout_{kDefaultConnectTimeout};
    std::mutex requestLock_;
    KVQQueue<_urlRequest*> requests_;
    std::mutex responseLock_;
    KVQQueue<_urlResponse*> responses_;
    WakeEvent wake_;
    std::atomic<bool> paused_{false};
    std::atomic<bool> stop_{false};
    std::thread worker_;
    void* share_ = nullptr;  // CURLSH*, the connection and name caches across transfers
};

// The completion hook of script requests: calls the request's `func`, or "xxxURLResponeFunc"
// when it is empty, with the response typed "_urlResponse".
void DispatchToScript(_urlResponse& response);

// The frame's hooks (the tick, pause, resume, exit), which make the client on first use.
void KVQCurlDispatch(uint32_t elapsedMs);
void KVQCurlPause();
void KVQCurlResume();
void KVQCurlShutdown();
