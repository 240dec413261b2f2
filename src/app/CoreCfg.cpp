#include "app/CoreCfg.h"

#include <algorithm>
#include <set>

#include "app/StartConfig.h"
#include "common/Notices.h"
#include "io/FileSystem.h"
#include "platform/DebugOutput.h"

namespace {

constexpr const char* kConfigFileName = "default.cfg";
constexpr const char* kDefaultCharset = "GB2312";
constexpr const char* kGameSection = "Game";
constexpr const char* kLogSection = "Log";
constexpr const char* kTrue = "true";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

std::string Cut(const char* begin, const char* end)
{
    size_t length = static_cast<size_t>(end - begin);
    if (length > ConfigStore::kMaxTextLength)
        length = ConfigStore::kMaxTextLength;
    return std::string(begin, length);
}

}  // namespace

// One left-to-right scan. The file has no comment syntax: anything that is not a section header
// or a key=value line ends the parse, keeping what was read before it.
void ConfigStore::Parse(const char* text, size_t length)
{
    if (text == nullptr)
        return;
    const char* p = text;
    const char* end = text;
    while (static_cast<size_t>(end - text) < length && *end != '\0')
        ++end;

    for (;;) {
        // Everything up to the next "[" is skipped (text before the first section, and the
        // tail of a line that a "[" interrupted).
        while (p < end && *p != '[')
            ++p;
        if (p >= end)
            return;

        const char* nameBegin = p + 1;
        const char* q = nameBegin;
        while (q < end && *q != ']' && *q != '[')
            ++q;
        if (q >= end || *q == '[')
            return;
        std::map<std::string, std::string>& section = sections_[Cut(nameBegin, q)];
        p = q + 1;

        for (;;) {
            while (p < end && IsBlank(*p))
                ++p;
            if (p >= end)
                return;
            if (*p == '[')
                break;

            const char* lineBegin = p;
            const char* lastEquals = nullptr;
            while (p < end && !IsLineBreak(*p) && *p != '[') {
                if (*p == '=')
                    lastEquals = p;
                ++p;
            }
            if (p < end && *p == '[')
                break;  // the partial line is dropped; a header starts at the "["
            if (lastEquals == nullptr || *lineBegin == '=') {
                NoteEarlyStop(text, lineBegin, end, Cut(nameBegin, q));
                return;
            }

            const char* keyEnd = lastEquals;
            while (keyEnd > lineBegin && keyEnd[-1] == ' ')
                --keyEnd;
            const char* valueBegin = lastEquals + 1;
            while (valueBegin < p && (*valueBegin == ' ' || *valueBegin == '\t'))
                ++valueBegin;
            const char* valueEnd = p;
            while (valueEnd > valueBegin && (valueEnd[-1] == ' ' || valueEnd[-1] == '\t' || valueEnd[-1] == '\r'))
                --valueEnd;
            section[Cut(lineBegin, keyEnd)] = Cut(valueBegin, valueEnd);
        }
    }
}

// The rest of the text after a stop is read only to tell whether it held keys that mattered:
// lines with "=" (not first) in section "Game" or "Log", the stopping line's section included.
void ConfigStore::NoteEarlyStop(const char* text, const char* lineBegin, const char* end, const std::string& section)
{
    stop_ = EarlyStop{};
    stop_.stopped = true;
    stop_.line = 1;
    for (const char* c = text; c < lineBegin; ++c) {
        if (*c == '\n' || (*c == '\r' && (c + 1 >= lineBegin || c[1] != '\n')))
            ++stop_.line;
    }
    const char* lineEnd = lineBegin;
    while (lineEnd < end && !IsLineBreak(*lineEnd))
        ++lineEnd;
    stop_.text = Cut(lineBegin, lineEnd);

    std::string current = section;
    for (const char* p = lineEnd; p < end;) {
        while (p < end && IsBlank(*p))
            ++p;
        const char* begin = p;
        while (p < end && !IsLineBreak(*p))
            ++p;
        if (begin == p)
            continue;
        if (*begin == '[') {
            const char* close = std::find(begin, p, ']');
            if (close != p)
                current.assign(begin + 1, close);
            continue;
        }
        const char* equals = std::find(begin, p, '=');
        if (equals != p && equals != begin && (current == kGameSection || current == kLogSection)) {
            stop_.gameOrLogKeysFollow = true;
            return;
        }
    }
}

std::string EarlyStopWarning(const std::string& fileName, const ConfigStore& store)
{
    const ConfigStore::EarlyStop& stop = store.GetEarlyStop();
    if (!stop.stopped || !stop.gameOrLogKeysFollow)
        return "";
    const bool keyless = !stop.text.empty() && stop.text[0] == '=';
    return fileName + ":" + std::to_string(stop.line) + ": '" + stop.text + "' " +
           (keyless ? "begins with '='" : "has no '='") + ", so the keys after it are not read";
}

const std::string& ConfigStore::Get(const std::string& section, const std::string& key) const
{
    static const std::string empty;
    auto s = sections_.find(section);
    if (s == sections_.end())
        return empty;
    auto k = s->second.find(key);
    return k == s->second.end() ? empty : k->second;
}

KVQCoreCfg& GetCoreCfg()
{
    static KVQCoreCfg cfg;
    return cfg;
}

ConfigStore& GetConfigStore()
{
    static ConfigStore store;
    return store;
}

void ApplyGameConfig(const ConfigStore& store, KVQCoreCfg& cfg)
{
    const std::string& charset = store.Get(kGameSection, "iconv");
    cfg.strCharset = charset.empty() ? std::string(kDefaultCharset) : charset.substr(0, ConfigStore::kMaxTextLength);

    // Developer builds of a game ship without the key, so a missing switch means on.
    const std::string& debug = store.Get(kGameSection, "Debug");
    cfg.IsDebuging = debug.empty() || debug == kTrue;

    // The file's size replaces the command line's only when it names a width; a width without
    // a height leaves the height 0 so the shell takes the start layout's size.
    const std::string& width = store.Get(kGameSection, "width");
    if (!width.empty()) {
        cfg.nScreenWidth = ParseDecimal(width.c_str());
        cfg.nScreenHeight = ParseDecimal(store.Get(kGameSection, "height").c_str());
    }

    cfg.IsAutoScale = store.Get(kGameSection, "AutoScale") == kTrue;
}

bool LoadConfig()
{
    KVQCoreCfg& cfg = GetCoreCfg();
    ConfigStore& store = GetConfigStore();
    cfg.strCharset = kDefaultCharset;
    store.Clear();

    CFileSystem& fs = GetFileSystem();
    IFile* file = fs.OpenDisk(kConfigFileName, "rb");
    const bool found = file != nullptr;
    if (found) {
        std::string text;
        if (!ReadConfigText(*file, text))
            KVQAPI_OutputDebugStr("default.cfg is too large; only its beginning is read");
        fs.Close(file);
        store.Parse(text.data(), text.size());
    } else {
        KVQAPI_OutputDebugStr("can not load default.cfg");
    }
    ApplyGameConfig(store, cfg);
    return found;
}

void ReportConfigProblems(bool found)
{
    if (!found) {
        notices::Notice(std::string(kConfigFileName) + ": not found in " + GetFileSystem().GetApplicationFolder() +
                        "; the defaults apply");
        return;
    }
    const std::string warning = EarlyStopWarning(kConfigFileName, GetConfigStore());
    if (!warning.empty())
        notices::Notice(warning);
}

const char* GetConfig(const char* section, const char* key)
{
    if (section == nullptr || key == nullptr)
        return "";
    const std::string& value = GetConfigStore().Get(section, key);
    if (value.empty())
        return "";
    // Callers keep the pointer for the life of the process, so it must survive a reload of the
    // store: values are handed out from a set that only grows.
    static std::set<std::string> handedOut;
    return handedOut.insert(value).first->c_str();
}

bool KVQAPI_OutputDebugStr(const char* text)
{
    const bool on = GetCoreCfg().IsDebuging;
    if (on) {
        platform::WriteDebugOutput(text != nullptr ? text : "");
        platform::WriteDebugOutput("\r\n");
    }
    return on;
}
