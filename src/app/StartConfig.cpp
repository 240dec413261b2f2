#include "app/StartConfig.h"

#include <limits>

namespace {

// White space as the C locale defines it; numbers never depend on the process's locale.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads [sign] digits at p. Returns false (p unchanged) when no digit follows the sign.
bool ScanInteger(const char*& p, int32_t& value)
{
    const char* q = p;
    bool negative = false;
    if (*q == '+' || *q == '-') {
        negative = *q == '-';
        ++q;
    }
    if (!IsDigit(*q))
        return false;
    // Accumulate as a negative number so INT32_MIN fits; saturate instead of overflowing.
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    int64_t n = 0;
    for (; IsDigit(*q); ++q) {
        if (n > kMin)
            n = n * 10 - (*q - '0');
        if (n < kMin)
            n = kMin;
    }
    if (!negative)
        n = n == kMin ? std::numeric_limits<int32_t>::max() : -n;
    value = static_cast<int32_t>(n);
    p = q;
    return true;
}

void SkipSpace(const char*& p)
{
    while (IsSpace(*p))
        ++p;
}

}  // namespace

int32_t ParseDecimal(const char* text)
{
    if (text == nullptr)
        return 0;
    SkipSpace(text);
    int32_t value = 0;
    return ScanInteger(text, value) ? value : 0;
}

// The text is read as the format "%s %dx%d %d" would read it: a word, then a number, the letter
// x right after it, a number, and a last number; white space before each word or number.
CommandLine ReadCommandLine(const std::string& text)
{
    CommandLine line;
    const char* p = text.c_str();  // ends at the first NUL, as a C text would

    SkipSpace(p);
    const char* word = p;
    while (*p != '\0' && !IsSpace(*p))
        ++p;
    if (p == word)
        return line;
    line.layout.assign(word, static_cast<size_t>(p - word));

    SkipSpace(p);
    if (!ScanInteger(p, line.width))
        return line;
    if (*p != 'x')
        return line;
    ++p;
    SkipSpace(p);
    if (!ScanInteger(p, line.height))
        return line;
    SkipSpace(p);
    ScanInteger(p, line.swap);
    return line;
}

bool ApplyCommandLine(const std::string& text, KVQCoreCfg& cfg)
{
    if (text.size() <= kMinCommandLineLength)
        return false;
    CommandLine line = ReadCommandLine(text);
    cfg.strStartLayout = line.layout;
    cfg.nScreenWidth = line.swap == 0 ? line.width : line.height;
    cfg.nScreenHeight = line.swap == 0 ? line.height : line.width;
    return true;
}

StartChoice ChooseStart(const KVQCoreCfg& cfg, const ConfigStore& store)
{
    StartChoice choice;
    if (!cfg.strStartLayout.empty()) {
        choice.packageName = kCommandLinePackage;
        choice.startLayout = cfg.strStartLayout;
        choice.fromCommandLine = true;
    } else {
        choice.packageName = store.Get("Game", "Packet");
        choice.startLayout = store.Get("Game", "MainUI");
    }
    return choice;
}

// Reads by the file's size: memory files read all or nothing, so a read must never ask for more
// than is left.
bool ReadConfigText(IFile& file, std::string& text)
{
    text.clear();
    const int32_t size = file.GetSize();
    const int32_t position = file.Tell();
    if (size <= 0 || position < 0 || position >= size)
        return true;
    const size_t remaining = static_cast<size_t>(size - position);
    const size_t want = remaining < kMaxConfigFileSize ? remaining : kMaxConfigFileSize;
    constexpr size_t kChunk = 64 * 1024;
    text.resize(want);
    size_t got = 0;
    while (got < want) {
        const size_t ask = want - got < kChunk ? want - got : kChunk;
        const int32_t n = file.Read(text.data() + got, static_cast<int32_t>(ask));
        if (n <= 0)
            break;
        got += static_cast<size_t>(n) < ask ? static_cast<size_t>(n) : ask;
    }
    text.resize(got);
    return remaining <= kMaxConfigFileSize;
}
