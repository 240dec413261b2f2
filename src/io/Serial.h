#pragma once
// A byte stream with an error code: what the attribute archive reads from and writes to.

#include <cstdint>

class CISerial {
public:
    enum Error : int32_t {
        kNoError = 0,
        kReadPastEnd = 2,
        kNoStream = 3,
    };

    virtual ~CISerial() = default;
    // Copies the next length bytes and advances; -1 (and error 2, nothing copied) when
    // fewer bytes remain.
    virtual int32_t Read(void* buffer, int32_t length) = 0;
    virtual int32_t Write(const void* buffer, int32_t length) = 0;
    virtual int32_t GetError() const = 0;
    virtual void Seek(int32_t position) = 0;
    virtual int32_t Tell() const = 0;
    virtual int32_t GetSize() const = 0;

    // Records a failed read without reading (used when a count is already known to be bad).
    virtual void SetError(int32_t code) = 0;
    int32_t Remaining() const { return GetSize() - Tell(); }
};
