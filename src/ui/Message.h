#pragma once
// The message object: the typed parameter buffer of every engine message, and the scratch
// buffer into which windows, states and render objects are serialized as record blocks.

#include <cstdint>
#include <string>

#include "io/Archive.h"
#include "io/MemFile.h"

class CKVQMessage : public CIArchive {
public:
    // Capacity hints the engine uses.
    static constexpr int32_t kEventCapacity = 16;
    static constexpr int32_t kStateCapacity = 32;
    static constexpr int32_t kWindowCapacity = 512;
    static constexpr int32_t kRenderObjectCapacity = 16;

    explicit CKVQMessage(int32_t capacityHint = kEventCapacity);
    // Write mode, then the text as counted bytes (int32 length, bytes without terminator).
    explicit CKVQMessage(const char* text);
    CKVQMessage(const CKVQMessage&) = delete;
    CKVQMessage& operator=(const CKVQMessage&) = delete;
    ~CKVQMessage() override;  // scripts that still hold the message stop reaching it

    // Takes the other's data number, rewinds in write mode, writes all of its bytes, then takes
    // its mode (position 0).
    void Copy(const CKVQMessage& other);

    int32_t getData() const { return data_; }
    void setData(int32_t data) { data_ = data; }
    uint32_t getSystemData() const { return systemData_; }
    void setSystemData(uint32_t word) { systemData_ = word; }
    int32_t GetScriptRef() const { return scriptRef_; }
    void SetScriptRef(int32_t ref) { scriptRef_ = ref; }

    int32_t GetSize() const { return buffer_.GetSize(); }
    const uint8_t* GetBuffer() const { return buffer_.GetBuffer(); }
    CIMemFile& Buffer() { return buffer_; }

    // Accessors with the script's rules: in write mode each writes and returns the value given, in
    // read mode each returns the value read (the argument is ignored).
    // bool writes 1 only for the value 1; bool and uiboolean read back 1 only for a stored 1.
    int32_t ScriptBool(int32_t value = 0);
    int32_t ScriptUiBoolean(int32_t value = 0);
    // Writes the low 32 bits of the number; returns the four bytes as a signed number.
    int32_t ScriptUInt32(double value = 0);

    // Script-style string: int32 n, int32 n, then n bytes without a terminating zero.
    // Store writes text; load returns the text read (empty on failure).
    std::string ScriptString(const char* text = nullptr);

    // The record block: int32 n, int32 n, then the n bytes of this message.
    void WriteBlock(CIArchive& ar) const;
    // Fills this message from a block and leaves it in read mode at 0. A length outside
    // 0 .. 104857599, or longer than what the stream holds, leaves it empty and in error.
    // inPlace: when ar reads from memory, this message reads the block where it lies instead of
    // copying it; ar's bytes must then outlive this message (true for nested record routines).
    bool ReadBlock(CIArchive& ar, bool inPlace = false);

private:
    int32_t data_ = 0;
    uint32_t systemData_ = 0;
    uint8_t reserved_[16] = {};
    CIMemFile buffer_;
    int32_t scriptRef_ = -1;
};
