#include "common/Notices.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace notices {
namespace {

struct State {
    std::string program = "kvq";
    int verbose = -1;  // -1: not yet read from the environment
    std::unordered_map<std::string, size_t> seen;  // key -> index into `order`
    struct Entry {
        std::string key;
        bool counted;
        size_t repeats;
    };
    std::vector<Entry> order;
};

State& Get()
{
    static State state;
    return state;
}

}  // namespace

void SetProgramName(const char* name) { Get().program = name != nullptr ? name : "kvq"; }

const char* ProgramName() { return Get().program.c_str(); }

void SetVerbose(bool on) { Get().verbose = on ? 1 : 0; }

bool IsVerbose()
{
    State& s = Get();
    if (s.verbose < 0) {
        const char* env = std::getenv("KVQ_VERBOSE");
        s.verbose = (env != nullptr && std::strcmp(env, "1") == 0) ? 1 : 0;
    }
    return s.verbose == 1;
}

void Notice(const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", Get().program.c_str(), text.c_str());
    std::fflush(stderr);
}

bool NoticeOnce(const std::string& key, const std::string& text, bool countRepeats)
{
    State& s = Get();
    auto [it, inserted] = s.seen.emplace(key, s.order.size());
    if (!inserted) {
        ++s.order[it->second].repeats;
        return false;
    }
    s.order.push_back({key, countRepeats, 0});
    Notice(text);
    return true;
}

bool ReportMissing(const char* kind, const std::string& name, const std::string& lookedIn)
{
    std::string text = "missing ";
    text += kind != nullptr ? kind : "file";
    text += " '" + name + "'";
    if (!lookedIn.empty())
        text += " (looked in: " + lookedIn + ")";
    return NoticeOnce(std::string("missing\x1f") + (kind != nullptr ? kind : "") + "\x1f" + name, text);
}

void PrintRepeatCounts()
{
    State& s = Get();
    for (State::Entry& e : s.order) {
        if (!e.counted || e.repeats == 0)
            continue;
        std::fprintf(stderr, "%s: '%s' repeated %zu more time%s\n", s.program.c_str(), e.key.c_str(), e.repeats,
                     e.repeats == 1 ? "" : "s");
        e.repeats = 0;
    }
    std::fflush(stderr);
}

void Reset()
{
    State& s = Get();
    s.seen.clear();
    s.order.clear();
}

}  // namespace notices
