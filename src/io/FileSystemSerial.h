#pragma once
// The archive's stream over an open file. The size is taken once, when the serial is made.

#include "io/File.h"
#include "io/Serial.h"

class CIFileSystemSerial final : public CISerial {
public:
    explicit CIFileSystemSerial(IFile* file);
    int32_t Read(void* buffer, int32_t length) override;
    int32_t Write(const void* buffer, int32_t length) override;
    int32_t GetError() const override { return error_; }
    void SetError(int32_t code) override { error_ = code; }
    void Seek(int32_t position) override;
    int32_t Tell() const override;
    int32_t GetSize() const override { return size_; }

private:
    IFile* file_;
    int32_t error_ = 0;
    int32_t size_ = 0;
};
