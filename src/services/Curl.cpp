#include "services/Curl.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "common/Notices.h"
#include "platform/DebugOutput.h"
#include "script/LuaHost.h"
#include "script/bindings/geometry_glue.h"

namespace {

constexpr const char* kDefaultResponseFunction = "xxxURLResponeFunc";
constexpr const char* kResponseType = "_urlResponse";
constexpr long kSuccessCode = 200;
constexpr size_t kCopyBlock = 1024;

bool& ClientMade()
{
    static bool made = false;
    return made;
}

void DebugLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugLine(const char* format, ...)
{
    if (!notices::IsVerbose())
        return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    platform::WriteDebugOutput(line);
}

size_t AppendBody(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// Returning non-zero makes libcurl abort the transfer: how a stop reaches one under way.
int CancelWhenStopping(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<std::atomic<bool>*>(user)->load() ? 1 : 0;
}

struct UploadSource {
    FILE* file = nullptr;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user)
{
    const size_t read = std::fread(buffer, size, count, static_cast<UploadSource*>(user)->file);
    DebugLine("*** We read %zu bytes from file\n", read * size);
    return read;
}

struct DownloadTarget {
    const std::string* path = nullptr;
    FILE* file = nullptr;
    bool wrote = false;
};

size_t WriteDownload(char* data, size_t size, size_t count, void* user)
{
    auto* target = static_cast<DownloadTarget*>(user);
    if (target->file == nullptr) {
        target->file = std::fopen(target->path->c_str(), "wb");
        if (target->file == nullptr)
            return CURL_WRITEFUNC_ERROR;
    }
    target->wrote = true;
    return std::fwrite(data, size, count, target->file);
}

bool CopyFile(const std::string& from, const std::string& to)
{
    FILE* in = std::fopen(from.c_str(), "rb");
    if (in == nullptr)
        return false;
    FILE* out = std::fopen(to.c_str(), "wb");
    if (out == nullptr) {
        std::fclose(in);
        return false;
    }
    char block[kCopyBlock];
    bool ok = true;
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0) {
        if (std::fwrite(block, 1, got, out) != got) {
            ok = false;
            break;
        }
    }
    std::fclose(in);
    ok = std::fclose(out) == 0 && ok;
    return ok;
}

// libcurl's string list, freed with its scope.
class CurlList {
public:
    ~CurlList() { curl_slist_free_all(list_); }
    void Append(const std::string& line) { list_ = curl_slist_append(list_, line.c_str()); }
    curl_slist* Get() const { return list_; }

private:
    curl_slist* list_ = nullptr;
};

struct GlobalInit {
    GlobalInit() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

}  // namespace

void _urlRequest::addHeader(const char* line)
{
    headers.emplace_back(line != nullptr ? line : "");
}

void WakeEvent::Signal()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_one();
}

bool WakeEvent::Wait(uint32_t milliseconds)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const bool woke = changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return signalled_; });
    signalled_ = false;
    return woke;
}

CKVQCurl& CKVQCurl::Instance()
{
    static CKVQCurl client;
    ClientMade() = true;
    return client;
}

CKVQCurl::CKVQCurl()
{
    static GlobalInit init;
    CURLSH* share = curl_share_init();
    if (share != nullptr) {
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }
    share_ = share;
    StartWorker();
}

CKVQCurl::~CKVQCurl()
{
    Shutdown();
    curl_share_cleanup(static_cast<CURLSH*>(share_));
}

void CKVQCurl::StartWorker()
{
    if (worker_.joinable())
        return;
    stop_ = false;
    worker_ = std::thread([this] { WorkerLoop(); });
}

void CKVQCurl::send(_urlRequest* request)
{
    if (request == nullptr)
        return;
    if (!request->onComplete)
        request->onComplete = DispatchToScript;
    StartWorker();
    {
        std::lock_guard<std::mutex> lock(requestLock_);
        requests_.Append(request);
    }
    wake_.Signal();
}

void CKVQCurl::setTimeoutSeconds(double seconds)
{
    timeout_ = ScriptToInt32(seconds);
}

void CKVQCurl::setConnectTimeoutSeconds(double seconds)
{
    connectTimeout_ = ScriptToInt32(seconds);
}

void CKVQCurl::Resume()
{
    paused_ = false;
    wake_.Signal();
}

bool CKVQCurl::Dispatch(uint32_t)
{
    _urlResponse* taken = nullptr;
    {
        std::lock_guard<std::mutex> lock(responseLock_);
        if (!responses_.Take(taken))
            return false;
    }
    std::unique_ptr<_urlResponse> response(taken);
    std::unique_ptr<_urlRequest> request(response->request);
    if (request && request->onComplete)
        request->onComplete(*response);
    // Scripts that kept the objects get a script error instead of freed memory.
    if (CKVQLuaHost* host = GetCurrentHost()) {
        host->ForgetObject(response.get());
        host->ForgetObject(request.get());
    }
    return true;
}

size_t CKVQCurl::PendingResponses()
{
    std::lock_guard<std::mutex> lock(responseLock_);
    return responses_.Size();
}

void CKVQCurl::Shutdown()
{
    if (worker_.joinable()) {
        stop_ = true;
        wake_.Signal();
        worker_.join();
    }
    DropQueues();
}

void CKVQCurl::DropQueues()
{
    {
        std::lock_guard<std::mutex> lock(requestLock_);
        _urlRequest* request = nullptr;
        while (requests_.Take(request))
            delete request;
    }
    std::lock_guard<std::mutex> lock(responseLock_);
    _urlResponse* response = nullptr;
    while (responses_.Take(response)) {
        delete response->request;
        delete response;
    }
}

void CKVQCurl::WorkerLoop()
{
    bool more = false;  // a request was taken last time: look again before waiting
    while (!stop_) {
        if (!more)
            wake_.Wait(kIdleWaitMs);
        more = false;
        if (stop_)
            break;
        if (paused_)
            continue;
        _urlRequest* request = nullptr;
        {
            std::lock_guard<std::mutex> lock(requestLock_);
            if (!requests_.Take(request))
                continue;
        }
        std::unique_ptr<_urlResponse> response = Transfer(request);
        if (stop_) {
            delete request;
            break;
        }
        {
            std::lock_guard<std::mutex> lock(responseLock_);
            responses_.Append(response.release());
        }
        more = true;
    }
}

std::unique_ptr<_urlResponse> CKVQCurl::Transfer(_urlRequest* request)
{
    auto response = std::make_unique<_urlResponse>();
    response->request = request;
    const int32_t kind = request->nRequestType;
    if (kind < eRequestGet || kind > eRequestDownloadFile) {
        response->IsSuccess = 1;
        return response;
    }

    // Each transfer has its own error text.
    char errorText[CURL_ERROR_SIZE] = {};
    auto fail = [&](CURLcode code) {
        response->IsSuccess = 0;
        response->error = errorText[0] != 0 ? errorText : curl_easy_strerror(code);
        return std::move(response);
    };

    CURL* easy = curl_easy_init();
    if (easy == nullptr)
        return fail(CURLE_FAILED_INIT);
    struct EasyScope {
        CURL* easy;
        ~EasyScope() { curl_easy_cleanup(easy); }
    } scope{easy};

    CURLcode code = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (code == CURLE_OK)
            code = curl_easy_setopt(easy, option, value);
    };
    set(CURLOPT_ERRORBUFFER, errorText);
    set(CURLOPT_SHARE, static_cast<CURLSH*>(share_));
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, CancelWhenStopping);
    set(CURLOPT_XFERINFODATA, &stop_);
    set(CURLOPT_NOSIGNAL, 1L);
    if (kind == eRequestGet || kind == eRequestPost) {
        set(CURLOPT_TIMEOUT, static_cast<long>(timeout_.load()));
        set(CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeout_.load()));
        if (code != CURLE_OK)
            return fail(code);

        CurlList headers;
        for (const std::string& line : request->headers)
            headers.Append(line);
        if (headers.Get() != nullptr)
            set(CURLOPT_HTTPHEADER, headers.Get());
        set(CURLOPT_URL, request->url.c_str());
        if (kind == eRequestGet)
            set(CURLOPT_FOLLOWLOCATION, 1L);
        set(CURLOPT_WRITEFUNCTION, AppendBody);
        set(CURLOPT_WRITEDATA, &response->body);
        if (kind == eRequestPost) {
            set(CURLOPT_POST, 1L);
            set(CURLOPT_POSTFIELDS, request->data.data());
            set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request->data.size()));
        }
        // An empty `ca` keeps libcurl's default: the peer verified against the system store.
        if (!request->ca.empty())
            set(CURLOPT_CAINFO, request->ca.c_str());
        if (code == CURLE_OK)
            code = curl_easy_perform(easy);
        if (code != CURLE_OK)
            return fail(code);
        long status = -1;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        response->nResponseCode = static_cast<int32_t>(status);
        if (status != kSuccessCode) {
            std::snprintf(errorText, sizeof errorText, "The requested URL returned error: %ld", status);
            return fail(CURLE_HTTP_RETURNED_ERROR);
        }
        response->IsSuccess = 1;
        return response;
    }

    if (kind == eRequestUploadFile) {
        CurlList commands;
        commands.Append("RNFR " + request->strFtpUploadAsFile);
        commands.Append("RNTO " + request->strFtpRenameToFile);
        const std::string& path = request->strFtpUploadLocalFile;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            std::snprintf(errorText, sizeof errorText, "Couldnt open '%s': %s", path.c_str(), std::strerror(errno));
            DebugLine("%s\n", errorText);
            return fail(CURLE_READ_ERROR);
        }
        DebugLine("Local file size: %" PRId64 " bytes.\n", static_cast<int64_t>(info.st_size));
        UploadSource source{std::fopen(path.c_str(), "rb")};
        if (source.file == nullptr) {
            std::snprintf(errorText, sizeof errorText, "Couldnt open '%s': %s", path.c_str(), std::strerror(errno));
            return fail(CURLE_READ_ERROR);
        }
        set(CURLOPT_READFUNCTION, ReadUpload);
        set(CURLOPT_UPLOAD, 1L);
        set(CURLOPT_URL, request->url.c_str());
        set(CURLOPT_POSTQUOTE, commands.Get());
        set(CURLOPT_READDATA, &source);
        set(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(info.st_size));
        if (code == CURLE_OK)
            code = curl_easy_perform(easy);
        std::fclose(source.file);
        if (code != CURLE_OK)
            return fail(code);
        response->IsSuccess = 1;
        return response;
    }

    // Download.
    DownloadTarget target{&request->strFtpDownloadAsFile};
    set(CURLOPT_URL, request->url.c_str());
    set(CURLOPT_WRITEFUNCTION, WriteDownload);
    set(CURLOPT_WRITEDATA, &target);
    set(CURLOPT_VERBOSE, notices::IsVerbose() ? 1L : 0L);
    if (code == CURLE_OK)
        code = curl_easy_perform(easy);
    if (target.file != nullptr && std::fclose(target.file) != 0 && code == CURLE_OK)
        code = CURLE_WRITE_ERROR;
    if (code != CURLE_OK) {
        DebugLine("curl told us %d\n", static_cast<int>(code));
        return fail(code);
    }
    const std::string& copy = request->strFtpDownloadRenameFile;
    if (target.wrote && !copy.empty() && copy != request->strFtpDownloadAsFile &&
        !CopyFile(request->strFtpDownloadAsFile, copy)) {
        std::snprintf(errorText, sizeof errorText, "Couldnt copy '%s' to '%s'", request->strFtpDownloadAsFile.c_str(),
                      copy.c_str());
        return fail(CURLE_WRITE_ERROR);
    }
    response->IsSuccess = 1;
    return response;
}

void DispatchToScript(_urlResponse& response)
{
    CKVQLuaHost* host = GetCurrentHost();
    if (host == nullptr || host->GetState() == nullptr || response.request == nullptr)
        return;
    const std::string& func = response.request->func;
    const char* name = func.empty() ? kDefaultResponseFunction : func.c_str();
    LuaArgList args;
    args.AddObject(&response, kResponseType);
    // A fresh name reference per response, released afterwards (the name is looked up each time).
    int32_t ref = -1;
    host->CallGlobal(name, ref, args);
    if (ref != -1)
        host->Unref(ref);
}

// The frame's hooks leave the client unmade until a script uses it: a client made later starts
// unpaused with nothing queued, just as one made here would be by then.
void KVQCurlDispatch(uint32_t elapsedMs)
{
    if (ClientMade())
        CKVQCurl::Instance().Dispatch(elapsedMs);
}

void KVQCurlPause()
{
    if (ClientMade())
        CKVQCurl::Instance().Pause();
}

void KVQCurlResume()
{
    if (ClientMade())
        CKVQCurl::Instance().Resume();
}

void KVQCurlShutdown()
{
    if (!ClientMade())
        return;
    CKVQCurl& client = CKVQCurl::Instance();
    client.Pause();
    client.Shutdown();
}
