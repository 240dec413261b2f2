// 1,000 GET requests to a loopback server through the script client (send all, dispatch until all
// are answered) against the same transfers done by a plain libcurl loop on one reused handle.
// Goal: the client within 1.5x of the plain loop. The server is tests/support/loopback_servers.py.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "services/Curl.h"

namespace {

constexpr int kRequests = 1000;

size_t Discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// One server for the whole run, stopped at exit when its input closes.
const std::string& ServerUrl()
{
    static std::string url = [] {
        std::string script = "tests/support/loopback_servers.py";
        for (auto folder = std::filesystem::current_path(); folder != folder.parent_path(); folder = folder.parent_path()) {
            if (std::filesystem::exists(folder / script)) {
                script = (folder / script).string();
                break;
            }
        }
        char pattern[] = "/tmp/kvq_bench_XXXXXX";
        const std::string dir = mkdtemp(pattern);
        int in[2];
        if (pipe(in) != 0)
            return std::string();
        if (fork() == 0) {
            dup2(in[0], 0);
            close(in[1]);
            execl("/usr/bin/python3", "python3", script.c_str(), dir.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        int port = 0;
        for (int i = 0; i < 200 && port == 0; ++i) {
            std::ifstream ports(dir + "/ports");
            std::string word;
            ports >> word >> port;
            if (port == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return "http://127.0.0.1:" + std::to_string(port) + "/ok";
    }();
    return url;
}

void BM_PlainLibcurlLoop(benchmark::State& state)
{
    const std::string& url = ServerUrl();
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Discard);
    for (auto _ : state) {
        for (int i = 0; i < kRequests; ++i)
            curl_easy_perform(easy);
    }
    curl_easy_cleanup(easy);
}
BENCHMARK(BM_PlainLibcurlLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ClientSendAllDispatchAll(benchmark::State& state)
{
    const std::string& url = ServerUrl();
    CKVQCurl& client = CKVQCurl::Instance();
    int answered = 0;
    for (auto _ : state) {
        answered = 0;
        for (int i = 0; i < kRequests; ++i) {
            auto* request = new _urlRequest();
            request->nRequestType = eRequestGet;
            request->url = url;
            request->onComplete = [&answered](_urlResponse& response) { answered += response.IsSuccess; };
            client.send(request);
        }
        int dispatched = 0;
        while (dispatched < kRequests) {
            if (client.Dispatch(33))
                ++dispatched;
            else
                std::this_thread::yield();
        }
    }
    if (answered != kRequests)
        state.SkipWithError("not every request succeeded");
}
BENCHMARK(BM_ClientSendAllDispatchAll)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
