#pragma once
// The archive's stream over a growable memory buffer (the parameter buffer of messages).

#include <cstdint>
#include <cstring>

#include "io/Serial.h"

class CIMemFile final : public CISerial {
public:
    static constexpr int32_t kInlineCapacity = 32;

    explicit CIMemFile(int32_t capacityHint = 0);
    CIMemFile(const void* data, int32_t length);  // starts with a copy of the block
    CIMemFile(const CIMemFile&) = delete;
    CIMemFile& operator=(const CIMemFile&) = delete;
    ~CIMemFile() override;

    int32_t Read(void* buffer, int32_t length) override;
    int32_t Write(const void* buffer, int32_t length) override;
    int32_t GetError() const override { return error_; }
    void SetError(int32_t code) override { error_ = code; }
    // Negative positions are refused (the position stays where it was).
    void Seek(int32_t position) override
    {
        if (position >= 0)
            position_ = position;
    }
    int32_t Tell() const override { return position_; }
    int32_t GetSize() const override { return length_; }
    int32_t Remaining() const { return length_ - position_; }

    const uint8_t* GetBuffer() const { return data_; }
    uint8_t* GetBuffer() { return data_; }
    int32_t GetCapacity() const { return capacity_; }
    // Forgets the content and the error, keeping the storage.
    void Reset();
    // Makes the content n zero bytes at position 0 and returns them to be filled in place.
    uint8_t* Fill(int32_t n);
    // Reads length bytes that belong to someone else (a block inside an enclosing message) without
    // copying them; they must outlive this stream. The first write copies them into own storage.
    void SetView(const uint8_t* data, int32_t length);
    bool IsView() const { return view_; }

    // Inline fast paths for the archive: a fixed-size read or write without a virtual call.
    bool ReadFast(void* buffer, int32_t length);
    int32_t WriteFast(const void* buffer, int32_t length);

private:
    void Grow(int32_t needed);
    void DropView();

    uint8_t inline_[kInlineCapacity];
    uint8_t* heap_ = nullptr;  // own storage once the inline bytes are outgrown
    int32_t heapCapacity_ = 0;
    bool view_ = false;
    uint8_t* data_ = inline_;  // inline_, heap_, or a view
    int32_t length_ = 0;
    int32_t capacity_ = kInlineCapacity;
    int32_t position_ = 0;
    int32_t error_ = 0;
};

inline bool CIMemFile::ReadFast(void* buffer, int32_t length)
{
    if (static_cast<int64_t>(position_) + length > length_) {
        error_ = kReadPastEnd;
        return false;
    }
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(length));
    position_ += length;
    return true;
}

inline int32_t CIMemFile::WriteFast(const void* buffer, int32_t length)
{
    if (position_ == length_ && static_cast<int64_t>(position_) + length <= capacity_) {
        std::memcpy(data_ + position_, buffer, static_cast<size_t>(length));
        position_ += length;
        length_ = position_;
        return length;
    }
    return Write(buffer, length);
}
