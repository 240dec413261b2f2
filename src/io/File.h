#pragma once
// Open files handed out by the file system: a disk file, an entry of a package, or memory.

#include <cstdint>
#include <cstdio>

class IFile {
public:
    enum Origin : int32_t {
        kFromStart = 0,
        kFromCurrent = 1,
        kFromEnd = 2,
    };

    virtual ~IFile() = default;
    virtual int32_t Read(void* buffer, int32_t length) = 0;
    virtual int32_t Write(const void* buffer, int32_t length) = 0;
    virtual int32_t GetSize() = 0;
    virtual int32_t Tell() = 0;
    // 1 on success, 0 for an unknown origin or (memory files) a position outside the data.
    virtual int32_t Seek(int32_t offset, int32_t origin) = 0;
    virtual int32_t SetPosition(int32_t offset) = 0;
};

// Length in bytes of an open stream, its position kept; -1 when it cannot be measured.
long StreamLength(FILE* stream);

// A file on disk; owns its stream.
class CDiskFile final : public IFile {
public:
    explicit CDiskFile(FILE* stream) : stream_(stream) {}
    ~CDiskFile() override;
    int32_t Read(void* buffer, int32_t length) override;
    int32_t Write(const void* buffer, int32_t length) override;
    int32_t GetSize() override;
    int32_t Tell() override;
    int32_t Seek(int32_t offset, int32_t origin) override;
    int32_t SetPosition(int32_t offset) override;
    FILE* Stream() const { return stream_; }

private:
    FILE* stream_;
};

// A window onto one entry of an open package. The stream is shared by every entry of the
// package and not owned. Data is scrambled by XOR with the low byte of the key.
class CKVQPackageFile final : public IFile {
public:
    CKVQPackageFile(FILE* stream, int32_t base, int32_t size, int32_t key);
    int32_t Read(void* buffer, int32_t length) override;
    int32_t Write(const void* buffer, int32_t length) override;
    int32_t GetSize() override { return size_; }
    int32_t Tell() override;
    int32_t Seek(int32_t offset, int32_t origin) override;
    int32_t SetPosition(int32_t offset) override;
    void SetKey(int32_t key) { key_ = key; }
    int32_t GetBase() const { return base_; }

private:
    FILE* stream_;
    int32_t base_;
    int32_t size_;
    int32_t key_;
};

// A block of memory seen as a file. Owned data is released with delete[] (allocate it with new[]).
class CKVQMemoryFile final : public IFile {
public:
    CKVQMemoryFile(uint8_t* data, int32_t size, bool ownsData, bool fixedSize);
    ~CKVQMemoryFile() override;
    // All or nothing: 0 when position + length exceeds the size.
    int32_t Read(void* buffer, int32_t length) override;
    int32_t Write(const void* buffer, int32_t length) override;
    int32_t GetSize() override { return size_; }
    int32_t Tell() override { return position_; }
    int32_t Seek(int32_t offset, int32_t origin) override;
    // Negative positions are refused: the position stays and -1 is returned.
    int32_t SetPosition(int32_t offset) override;
    const uint8_t* Data() const { return data_; }

private:
    uint8_t* data_;
    int32_t size_;
    int32_t position_ = 0;
    bool ownsData_;
    bool fixedSize_;
};
