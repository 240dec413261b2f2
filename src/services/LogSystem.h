#pragma once
// The scripts' log files: three channels (debug, warning, error) whose paths come from the "Log"
// section of default.cfg. Lines are gathered in a buffer per channel and written out in blocks,
// so that logging from a frame costs a copy and at most one file write.

#include <cstdint>
#include <string>

class IFile;

class CKVQLogSystem {
public:
    static constexpr int32_t kChannels = 3;  // debug 0, warning 1, error 2
    static constexpr int32_t kBufferBytes = 10240;
    static constexpr int32_t kWorkBytes = 1036;  // one message and its terminating zero
    static constexpr int32_t kMaxPathChars = 256;
    // Room kept free beyond a message: the time stamp and the line break, with a margin.
    static constexpr int32_t kLineAllowance = 24;
    // A channel is written out when this many milliseconds passed since its last write-out.
    static constexpr uint32_t kWriteOutMilliseconds = 2;

    // The process's log system, with the paths of default.cfg read at its creation.
    static CKVQLogSystem& Instance();

    CKVQLogSystem(const std::string& debugPath, const std::string& warnPath, const std::string& errorPath);
    ~CKVQLogSystem();
    CKVQLogSystem(const CKVQLogSystem&) = delete;
    CKVQLogSystem& operator=(const CKVQLogSystem&) = delete;

    // Appends one time-stamped line with the text, taken literally. Unknown channels and
    // channels without a path are ignored.
    void XLog(int32_t channel, const char* text);
    // The engine's form: a printf format and its arguments.
    void XLogFormat(int32_t channel, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Writes out all three channels; the bytes reach the files at once.
    void FlushAll();

    // Bytes waiting in the channel's buffer (tests).
    int32_t Pending(int32_t channel) const;

    // The longest prefix of text (of length bytes) that fits in limit bytes without splitting a
    // character of the code page.
    static int32_t CutAtCharacter(const char* text, int32_t length, int32_t limit, const std::string& codePage);

private:
    struct Channel {
        std::string path;
        IFile* file = nullptr;
        char buffer[kBufferBytes];
        int32_t count = 0;
        uint32_t lastWriteOut = 0;
        bool dropped = false;  // lines were dropped while the file could not be opened
    };

    void Append(int32_t channel, const char* message, int32_t length);
    bool WriteOut(Channel& channel);
    void MakeRoom(Channel& channel, int32_t needed);

    Channel channels_[kChannels];
};
