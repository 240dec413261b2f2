#pragma once
// The attribute archive: typed little-endian transfers over a byte stream. One object routine
// serves both directions: in load mode every transfer reads into its variable, in store mode it
// writes from it.

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/EngineString.h"
#include "io/MemFile.h"
#include "io/RecordText.h"
#include "io/Serial.h"


class CIArchive {
public:
    enum Mode : int32_t {
        SM_WRITE = 0,
        SM_READ = 1,
    };
    static constexpr int kMaxSavedOffsets = 10;
    // Record blocks longer than this are refused (100 MiB).
    static constexpr int32_t kMaxBlockLength = 104857600;
    static constexpr int kPtrNameBytes = 32;

    CIArchive();  // no stream yet; load mode
    CIArchive(CISerial* serial, int32_t mode);
    CIArchive(const CIArchive&) = delete;
    CIArchive& operator=(const CIArchive&) = delete;
    virtual ~CIArchive() = default;

    void SetSerial(CISerial* serial, int32_t mode);
    CISerial* GetSerial() const { return serial_; }
    // Seeks the stream to 0 and selects the direction.
    void setMode(int32_t mode);
    int32_t getMode() const { return mode_; }
    bool IsLoading() const { return mode_ == SM_READ; }
    bool IsStoring() const { return mode_ == SM_WRITE; }
    // The stream's error code (0 when there is none, or no stream).
    int32_t GetError() const;

    // Transfers. Each returns the stream's result: the byte count, or -1 on failure. The name
    // labels the field in the text form and is ignored by byte streams.
    using Kind = IRecordText::Kind;
    int32_t Int8(int8_t& v, const char* name = nullptr) { return Scalar(&v, 1, Kind::Int8, name); }
    int32_t UInt8(uint8_t& v, const char* name = nullptr) { return Scalar(&v, 1, Kind::UInt8, name); }
    int32_t Char(char& v, const char* name = nullptr) { return Scalar(&v, 1, Kind::Char, name); }
    int32_t Int16(int16_t& v, const char* name = nullptr) { return Scalar(&v, 2, Kind::Int16, name); }
    int32_t UInt16(uint16_t& v, const char* name = nullptr) { return Scalar(&v, 2, Kind::UInt16, name); }
    int32_t Int32(int32_t& v, const char* name = nullptr) { return Scalar(&v, 4, Kind::Int32, name); }
    int32_t UInt32(uint32_t& v, const char* name = nullptr) { return Scalar(&v, 4, Kind::UInt32, name); }
    int32_t Long(int32_t& v, const char* name = nullptr) { return Int32(v, name); }
    int32_t Float(float& v, const char* name = nullptr) { return Scalar(&v, 4, Kind::Float, name); }
    // Four bytes; true exactly when the stored value is 1; store writes 1 for any true.
    int32_t Bool(bool& v, const char* name = nullptr);
    // Four bytes holding the int32 as given; load yields 1 when the stored value is 1, else 0.
    int32_t UiBoolean(int32_t& v, const char* name = nullptr);
    int32_t Bytes(void* buffer, int32_t length, const char* name = nullptr);
    // int32 n, then n bytes. Load zeroes capacity bytes first, and reads the bytes only when
    // 0 <= n <= capacity (else they stay on the stream). Returns n on success, -1 otherwise.
    int32_t CountedBytes(void* buffer, int32_t& n, int32_t capacity);
    // The engine string: n, n, bytes including the terminating zero.
    void String(CKVQString& s, int32_t maxLength = -1, const char* name = nullptr)
    {
        if (mode_ == SM_READ && ReadStringFast(s, maxLength))
            return;
        StringSlow(s, maxLength, name);
    }
    void String(CKVQString& s, const char* name) { String(s, -1, name); }
    // 32-byte zero-padded type name, then a 32-bit token for the pointer. Tokens are only
    // meaningful inside this process; load returns null for a token of another type.
    void* Ptr(const char* typeName, void* pointer, const char* name = nullptr);

    // The text form: transfers go to text instead of a byte stream (see RecordText.h).
    void SetTextForm(IRecordText* text);
    IRecordText* GetTextForm() const { return text_; }

    // Convenience overloads so record routines read as one list of fields.
    int32_t Transfer(int8_t& v) { return Int8(v); }
    int32_t Transfer(uint8_t& v) { return UInt8(v); }
    int32_t Transfer(char& v) { return Char(v); }
    int32_t Transfer(int16_t& v) { return Int16(v); }
    int32_t Transfer(uint16_t& v) { return UInt16(v); }
    int32_t Transfer(int32_t& v) { return Int32(v); }
    int32_t Transfer(uint32_t& v) { return UInt32(v); }
    int32_t Transfer(float& v) { return Float(v); }
    int32_t Transfer(bool& v) { return Bool(v); }
    void Transfer(CKVQString& s) { String(s); }

    // Saved offsets (store mode only; ignored when all ten are used).
    void PushAddress();
    void SeekAddress(int index);
    void ResetAddress() { savedCount_ = 0; }
    int32_t GetSavedAddressCount() const { return savedCount_; }
    int32_t GetSavedAddress(int index) const;

    void SetVersion(uint8_t version) { version_ = version; }
    uint8_t GetVersion() const { return version_; }

    // True when this process runs on a big-endian machine (tested once, on first use). The test
    // announces its result once through the platform's debug output.
    static bool IsHostBigEndian();

protected:
    int32_t Raw(void* data, int32_t length);

private:
    // A fixed-size value: zeroed on a failed read, byte-swapped on big-endian hosts. Memory
    // streams without byte swapping take the inline path (the common case: messages).
    int32_t Scalar(void* data, int32_t length, Kind kind, const char* name)
    {
        if (memSerial_ && !swapBytes_) {
            if (mode_ == SM_READ) {
                if (memSerial_->ReadFast(data, length))
                    return length;
                std::memset(data, 0, static_cast<size_t>(length));
                return -1;
            }
            return memSerial_->WriteFast(data, length);
        }
        return SlowScalar(data, length, kind, name);
    }
    int32_t SlowScalar(void* data, int32_t length, Kind kind, const char* name);
    bool ReadStringFast(CKVQString& s, int32_t maxLength);
    void StringSlow(CKVQString& s, int32_t maxLength, const char* name);

    static bool swapBytes_;

    CISerial* serial_ = nullptr;
    CIMemFile* memSerial_ = nullptr;  // the same stream when it is memory, for the fast path
    IRecordText* text_ = nullptr;
    int32_t mode_ = SM_READ;
    int32_t saved_[kMaxSavedOffsets] = {};
    int32_t savedCount_ = 0;
    uint8_t version_ = 0;
};

// The pointer tokens written by CIArchive::Ptr. 0 is null; a token resolves to its pointer only
// while the pointer is registered and only for the type it was written with. Objects that may
// travel in messages forget themselves when they are destroyed.
uint32_t KVQPointerToken(void* pointer, const char* typeName);
void* KVQPointerFromToken(uint32_t token, const char* typeName);
void KVQForgetPointer(void* pointer);

// Well-formed strings in memory (every message and nested record) are read in one step.
inline bool CIArchive::ReadStringFast(CKVQString& s, int32_t maxLength)
{
    if (!memSerial_ || swapBytes_ || memSerial_->GetError() != CISerial::kNoError)
        return false;
    const int32_t position = memSerial_->Tell();
    const uint8_t* at = memSerial_->GetBuffer() + position;
    int32_t remaining = memSerial_->Remaining();
    if (remaining < 8)
        return false;
    int32_t n, stored;
    std::memcpy(&n, at, 4);
    std::memcpy(&stored, at + 4, 4);
    if (n <= 0 || stored != n || n > remaining - 8 || (maxLength != -1 && n > maxLength))
        return false;  // the general path handles every other case
    if (n > s.mb_.Capacity())
        s.mb_.Reserve(n);
    // Short texts fit the inline storage: a fixed-size copy avoids a length-dependent one.
    if (n <= ByteBuffer::kInlineCapacity && remaining - 8 >= ByteBuffer::kInlineCapacity)
        std::memcpy(s.mb_.Data(), at + 8, ByteBuffer::kInlineCapacity);
    else
        std::memcpy(s.mb_.Data(), at + 8, static_cast<size_t>(n));
    s.mb_.SetLengthWithin(n - 1);
    s.mbValid_ = true;
    s.wideValid_ = n == 1;  // otherwise the UCS-2 form is derived when first asked for
    if (n == 1)
        s.wide_.SetLengthWithin(0);
    memSerial_->Seek(position + 8 + n);
    return true;
}
