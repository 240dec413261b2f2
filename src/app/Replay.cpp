#include "app/Replay.h"

#include <cerrno>
#include <cstdio>
#include <limits>

namespace {

using platform::EventKind;

enum class Arguments {
    None,
    Point,       // X Y
    Wheel,       // X Y DELTA
    VirtualKey,  // VK
    Text,        // the rest of the line
};

struct EventName {
    const char* name;
    EventKind kind;
    Arguments arguments;
};

constexpr EventName kEventNames[] = {
    {"move", EventKind::MouseMove, Arguments::Point},
    {"ldown", EventKind::LButtonDown, Arguments::Point},
    {"lup", EventKind::LButtonUp, Arguments::Point},
    {"ldbl", EventKind::LButtonDblClk, Arguments::Point},
    {"rdown", EventKind::RButtonDown, Arguments::Point},
    {"rup", EventKind::RButtonUp, Arguments::Point},
    {"rdbl", EventKind::RButtonDblClk, Arguments::Point},
    {"wheel", EventKind::MouseWheel, Arguments::Wheel},
    {"keydown", EventKind::KeyDown, Arguments::VirtualKey},
    {"keyup", EventKind::KeyUp, Arguments::VirtualKey},
    {"text", EventKind::Text, Arguments::Text},
    {"minimize", EventKind::Minimized, Arguments::None},
    {"restore", EventKind::Restored, Arguments::None},
    {"quit", EventKind::Close, Arguments::None},
};

// Keys that also type a character right after their key-down (the platform layer does the same
// for real keys; a replay holds no modifier keys, so it always applies).
struct KeyCharacter {
    uint32_t virtualKey;
    const char* character;
};

constexpr KeyCharacter kKeyCharacters[] = {
    {0x08, "\b"},
    {0x09, "\t"},
    {0x0D, "\r"},
    {0x1B, "\x1b"},
};

const char* CharacterOfKey(uint32_t virtualKey)
{
    for (const KeyCharacter& entry : kKeyCharacters) {
        if (entry.virtualKey == virtualKey)
            return entry.character;
    }
    return nullptr;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits at blanks; the position after each word is kept so that "text" can take the rest.
struct Cursor {
    const std::string& line;
    size_t at = 0;

    void SkipBlanks()
    {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
    }
    std::string Word()
    {
        SkipBlanks();
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at]))
            ++at;
        return line.substr(start, at - start);
    }
    bool AtEnd()
    {
        SkipBlanks();
        return at >= line.size();
    }
};

// A whole word as an integer in [low, high]: decimal with an optional sign, or 0x hex.
bool ParseInteger(const std::string& word, int64_t low, int64_t high, int64_t& value)
{
    if (word.empty())
        return false;
    size_t at = 0;
    bool negative = false;
    if (word[0] == '-' || word[0] == '+') {
        negative = word[0] == '-';
        at = 1;
    }
    int base = 10;
    if (word.size() > at + 2 && word[at] == '0' && (word[at + 1] == 'x' || word[at + 1] == 'X')) {
        base = 16;
        at += 2;
    }
    if (at >= word.size())
        return false;
    int64_t n = 0;
    for (; at < word.size(); ++at) {
        const char c = word[at];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return false;
        n = n * base + digit;
        if (n > (int64_t{1} << 40))
            return false;  // far outside every range asked for
    }
    value = negative ? -n : n;
    return value >= low && value <= high;
}

// Well-formed UTF-8 without overlong forms, surrogates or code points above U+10FFFF.
bool IsValidUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (t & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

class LineParser {
public:
    LineParser(const std::string& fileName, int32_t number, std::string& error)
        : fileName_(fileName), number_(number), error_(error)
    {
    }

    bool Fail(const std::string& what)
    {
        error_ = fileName_ + ":" + std::to_string(number_) + ": " + what;
        return false;
    }

    // False with the error set; true with `empty` set for blank and comment lines.
    bool Parse(const std::string& line, ReplayEvent& out, bool& empty)
    {
        Cursor cursor{line};
        empty = false;
        cursor.SkipBlanks();
        if (cursor.at >= line.size() || line[cursor.at] == '#') {
            empty = true;
            return true;
        }
        const std::string tickWord = cursor.Word();
        int64_t tick = 0;
        if (!ParseInteger(tickWord, 0, std::numeric_limits<uint32_t>::max(), tick) || tickWord[0] == '-' ||
            tickWord[0] == '+')
            return Fail("'" + tickWord + "' is not a tick number (a whole number from 0)");
        out.tick = static_cast<uint32_t>(tick);
        out.line = number_;

        const std::string name = cursor.Word();
        if (name.empty() || name[0] == '#')
            return Fail("the event is missing after the tick number");
        const EventName* entry = nullptr;
        for (const EventName& candidate : kEventNames) {
            if (name == candidate.name)
                entry = &candidate;
        }
        if (entry == nullptr)
            return Fail("unknown event '" + name + "'");
        out.event = platform::Event{};
        out.event.kind = entry->kind;

        if (entry->arguments == Arguments::Text) {
            // One separating blank, then the text exactly as written (a CRLF file's CR dropped).
            size_t start = cursor.at;
            if (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
                ++start;
            std::string text = line.substr(start < line.size() ? start : line.size());
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            if (text.empty())
                return Fail("'text' needs the text to type");
            if (!IsValidUtf8(text))
                return Fail("the text of 'text' is not valid UTF-8");
            out.event.text = text;
            return true;
        }

        // Everything after a "#" is a comment.
        std::string rest = line.substr(cursor.at);
        const size_t hash = rest.find('#');
        if (hash != std::string::npos)
            rest.resize(hash);
        Cursor args{rest};
        switch (entry->arguments) {
        case Arguments::Point:
        case Arguments::Wheel: {
            int64_t x = 0;
            int64_t y = 0;
            const std::string xWord = args.Word();
            const std::string yWord = args.Word();
            if (xWord.empty() || yWord.empty())
                return Fail("'" + name + "' needs " + (entry->arguments == Arguments::Wheel ? "X Y DELTA" : "X Y"));
            constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
            constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
            if (!ParseInteger(xWord, kLow, kHigh, x))
                return Fail("'" + xWord + "' is not a coordinate");
            if (!ParseInteger(yWord, kLow, kHigh, y))
                return Fail("'" + yWord + "' is not a coordinate");
            out.event.x = static_cast<int32_t>(x);
            out.event.y = static_cast<int32_t>(y);
            if (entry->arguments == Arguments::Wheel) {
                const std::string deltaWord = args.Word();
                int64_t delta = 0;
                if (deltaWord.empty())
                    return Fail("'wheel' needs X Y DELTA");
                if (!ParseInteger(deltaWord, -kMaxWheelNotches, kMaxWheelNotches, delta))
                    return Fail("'" + deltaWord + "' is not a wheel movement (notches from -" +
                                std::to_string(kMaxWheelNotches) + " to " + std::to_string(kMaxWheelNotches) + ")");
                const auto units = static_cast<uint16_t>(static_cast<int16_t>(delta * kWheelUnitsPerNotch));
                out.event.key = static_cast<uint32_t>(units) << 16;
            }
            break;
        }
        case Arguments::VirtualKey: {
            const std::string keyWord = args.Word();
            int64_t key = 0;
            if (keyWord.empty())
                return Fail("'" + name + "' needs a virtual-key code");
            if (!ParseInteger(keyWord, 0, kMaxVirtualKey, key) || keyWord[0] == '-' || keyWord[0] == '+')
                return Fail("'" + keyWord + "' is not a virtual-key code (0 to 255, decimal or 0x hex)");
            out.event.key = static_cast<uint32_t>(key);
            break;
        }
        default:
            break;
        }
        if (!args.AtEnd())
            return Fail("unexpected '" + args.Word() + "' after '" + name + "'");
        return true;
    }

private:
    const std::string& fileName_;
    int32_t number_;
    std::string& error_;
};

}  // namespace

bool ReplayScript::LoadFile(const std::string& path, std::string& error)
{
    events_.clear();
    next_ = 0;
    pendingCharacter_.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": cannot open the replay file";
        return false;
    }
    std::string text;
    char chunk[64 * 1024];
    bool tooLarge = false;
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, file);
        if (n == 0)
            break;
        if (text.size() + n > kMaxReplayFileSize) {
            tooLarge = true;
            break;
        }
        text.append(chunk, n);
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        error = path + ": cannot read the replay file";
        return false;
    }
    if (tooLarge) {
        error = path + ": the replay file is larger than " + std::to_string(kMaxReplayFileSize) + " bytes";
        return false;
    }
    return Parse(text, path, error);
}

bool ReplayScript::Parse(const std::string& text, const std::string& fileName, std::string& error)
{
    events_.clear();
    next_ = 0;
    pendingCharacter_.clear();
    std::vector<ReplayEvent> events;
    int32_t number = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;

        LineParser parser(fileName, number, error);
        if (line.find('\0') != std::string::npos)
            return parser.Fail("the line holds a NUL byte");
        ReplayEvent event;
        bool empty = false;
        if (!parser.Parse(line, event, empty))
            return false;
        if (empty)
            continue;
        if (!events.empty() && event.tick < events.back().tick)
            return parser.Fail("tick " + std::to_string(event.tick) + " comes after tick " +
                               std::to_string(events.back().tick) + " (ticks must not decrease)");
        events.push_back(std::move(event));
    }
    events_ = std::move(events);
    return true;
}

bool ReplayScript::TakeDue(uint32_t tick, platform::Event& event)
{
    if (!pendingCharacter_.empty()) {
        event = platform::Event{};
        event.kind = EventKind::Text;
        event.text.swap(pendingCharacter_);
        return true;
    }
    if (next_ >= events_.size() || events_[next_].tick > tick)
        return false;
    event = events_[next_++].event;
    if (event.kind == EventKind::KeyDown) {
        if (const char* character = CharacterOfKey(event.key))
            pendingCharacter_ = character;
    }
    return true;
}
