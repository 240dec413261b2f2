#include "services/LogSystem.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/Clock.h"
#include "app/CoreCfg.h"
#include "common/Notices.h"
#include "io/File.h"
#include "io/FileSystem.h"
#include "platform/DebugOutput.h"

namespace {

std::string Upper(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool IsUtf8(const std::string& codePage)
{
    const std::string name = Upper(codePage);
    return name == "UTF-8" || name == "UTF8";
}

// Code pages whose characters are one byte below 0x80 and two bytes from a lead byte upward.
bool IsDoubleByte(const std::string& codePage)
{
    const std::string name = Upper(codePage);
    for (const char* known : {"GB2312", "GBK", "GB18030", "CP936", "EUC-CN", "BIG5", "BIG5-HKSCS", "CP950",
                              "SHIFT_JIS", "SJIS", "CP932", "EUC-KR", "CP949", "UHC", "EUC-JP"})
        if (name == known)
            return true;
    return false;
}

}  // namespace

CKVQLogSystem& CKVQLogSystem::Instance()
{
    static CKVQLogSystem instance(GetConfig("Log", "Debug"), GetConfig("Log", "Warn"), GetConfig("Log", "Error"));
    return instance;
}

CKVQLogSystem::CKVQLogSystem(const std::string& debugPath, const std::string& warnPath, const std::string& errorPath)
{
    const std::string* paths[kChannels] = {&debugPath, &warnPath, &errorPath};
    for (int32_t i = 0; i < kChannels; ++i)
        channels_[i].path = paths[i]->substr(0, kMaxPathChars);
}

CKVQLogSystem::~CKVQLogSystem()
{
    // Lines still in memory reach the files that are open; nothing is opened this late.
    for (Channel& channel : channels_) {
        if (channel.file != nullptr) {
            WriteOut(channel);
            delete channel.file;
            channel.file = nullptr;
        }
    }
}

int32_t CKVQLogSystem::CutAtCharacter(const char* text, int32_t length, int32_t limit, const std::string& codePage)
{
    if (length <= limit)
        return length;
    if (limit <= 0)
        return 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (IsUtf8(codePage)) {
        int32_t cut = limit;
        while (cut > 0 && (bytes[cut] & 0xC0) == 0x80)
            --cut;
        return cut;
    }
    if (IsDoubleByte(codePage)) {
        // Walk from the start: a byte from 0x81 up opens a two-byte character.
        int32_t at = 0;
        while (at < limit) {
            const int32_t width = bytes[at] >= 0x81 ? 2 : 1;
            if (at + width > limit)
                break;
            at += width;
        }
        return at;
    }
    return limit;
}

void CKVQLogSystem::XLog(int32_t channel, const char* text)
{
    if (text == nullptr)
        text = "";
    Append(channel, text, static_cast<int32_t>(std::strlen(text)));
}

void CKVQLogSystem::XLogFormat(int32_t channel, const char* format, ...)
{
    if (channel < 0 || channel >= kChannels || format == nullptr)
        return;
    char work[kWorkBytes];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(work, sizeof work, format, args);
    va_end(args);
    if (written < 0)
        return;
    Append(channel, work, static_cast<int32_t>(std::strlen(work)));
}

void CKVQLogSystem::Append(int32_t index, const char* message, int32_t length)
{
    if (index < 0 || index >= kChannels)
        return;
    Channel& channel = channels_[index];
    if (channel.path.empty())
        return;
    // A message is bounded by the work buffer; a longer one is cut, never split inside a character.
    length = CutAtCharacter(message, length, kWorkBytes - 1, GetCoreCfg().strCharset);

    if (length + channel.count + kLineAllowance >= kBufferBytes)
        WriteOut(channel);
    const int32_t lineBytes = length + kLineAllowance;
    if (channel.count + lineBytes > kBufferBytes)
        MakeRoom(channel, lineBytes);

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char* at = channel.buffer + channel.count;
    const int stamp = std::snprintf(at, static_cast<size_t>(kBufferBytes - channel.count), "%04d-%02d-%02d %02d:%02d:%02d ",
                                    local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                    local.tm_min, local.tm_sec);
    if (stamp <= 0)
        return;
    std::memcpy(at + stamp, message, static_cast<size_t>(length));
    std::memcpy(at + stamp + length, "\r\n", 2);
    const int32_t line = stamp + length + 2;
    channel.count += line;

    if (GetCoreCfg().IsDebuging)
        platform::WriteDebugOutput(std::string(at, static_cast<size_t>(line)).c_str());

    if (KVQAPI_timeGetSystemTime() - channel.lastWriteOut >= kWriteOutMilliseconds)
        WriteOut(channel);
}

// The buffer is full and its file cannot be opened: the oldest whole lines go, said once.
void CKVQLogSystem::MakeRoom(Channel& channel, int32_t needed)
{
    int32_t drop = 0;
    while (drop < channel.count && channel.count - drop + needed > kBufferBytes) {
        const char* end = static_cast<const char*>(
            std::memchr(channel.buffer + drop, '\n', static_cast<size_t>(channel.count - drop)));
        drop = end != nullptr ? static_cast<int32_t>(end - channel.buffer) + 1 : channel.count;
    }
    std::memmove(channel.buffer, channel.buffer + drop, static_cast<size_t>(channel.count - drop));
    channel.count -= drop;
    if (!channel.dropped) {
        channel.dropped = true;
        notices::Notice("log '" + channel.path + "' cannot be opened for writing; its oldest lines are dropped");
    }
}

bool CKVQLogSystem::WriteOut(Channel& channel)
{
    if (channel.path.empty())
        return false;
    if (channel.file == nullptr)
        channel.file = GetFileSystem().OpenDisk(channel.path.c_str(), "wb");
    if (channel.file == nullptr)
        return false;  // the lines stay for the next write-out
    if (channel.count > 0)
        channel.file->Write(channel.buffer, channel.count);
    if (auto* disk = dynamic_cast<CDiskFile*>(channel.file))
        std::fflush(disk->Stream());
    channel.count = 0;
    channel.lastWriteOut = KVQAPI_timeGetSystemTime();
    return true;
}

void CKVQLogSystem::FlushAll()
{
    for (Channel& channel : channels_)
        WriteOut(channel);
}

int32_t CKVQLogSystem::Pending(int32_t channel) const
{
    return channel >= 0 && channel < kChannels ? channels_[channel].count : 0;
}
