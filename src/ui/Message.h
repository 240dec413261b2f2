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

    // Typed transfers. In write mode each notes where it begins (the first ten after the message
    // was rewound), so that a receiver can read a parameter by its number without the sender
    // marking it. In read mode they are the archive's transfers.
    int32_t Int8(int8_t& v, const char* name = nullptr) { NoteWrite(); return CIArchive::Int8(v, name); }
    int32_t UInt8(uint8_t& v, const char* name = nullptr) { NoteWrite(); return CIArchive::UInt8(v, name); }
    int32_t Char(char& v, const char* name = nullptr) { NoteWrite(); return CIArchive::Char(v, name); }
    int32_t Int16(int16_t& v, const char* name = nullptr) { NoteWrite(); return CIArchive::Int16(v, name); }
    int32_t UInt16(uint16_t& v, const char* name = nullptr) { NoteWrite(); return CIArchive::UInt16(v, name); }
    int32_t Int32(int32_t& v, const char* name = nullptr) { NoteWrite(); return CIArchive::Int32(v, name); }
    int32_t UInt32(uint32_t& v, const char* name = nullptr) { NoteWrite(); return CIArchive::UInt32(v, name); }
    int32_t Long(int32_t& v, const char* name = nullptr) { NoteWrite(); return CIArchive::Long(v, name); }
    int32_t Float(float& v, const char* name = nullptr) { NoteWrite(); return CIArchive::Float(v, name); }
    int32_t Bool(bool& v, const char* name = nullptr) { NoteWrite(); return CIArchive::Bool(v, name); }
    int32_t UiBoolean(int32_t& v, const char* name = nullptr) { NoteWrite(); return CIArchive::UiBoolean(v, name); }
    void String(CKVQString& s, int32_t maxLength = -1, const char* name = nullptr)
    {
        NoteWrite();
        CIArchive::String(s, maxLength, name);
    }
    void String(CKVQString& s, const char* name) { String(s, -1, name); }
    void* Ptr(const char* typeName, void* pointer, const char* name = nullptr)
    {
        NoteWrite();
        return CIArchive::Ptr(typeName, pointer, name);
    }

    // Forgets the positions pushed with PushAddress and those noted by typed writes.
    void ResetAddress();
    // Where parameter index (0 .. 9) begins: at the positions pushed with PushAddress when there
    // are any, otherwise where the typed writes began; the first parameter always begins at 0.
    // -1 when the message does not know.
    int32_t ParameterStart(int32_t index) const;
    // Read mode, positioned at the start of parameter index; false (and at 0) when unknown.
    bool SeekParameter(int32_t index);

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
    void NoteWrite()
    {
        if (!IsStoring())
            return;
        // A write at or before a noted start means the message was rewound and is written anew.
        const int32_t at = buffer_.Tell();
        while (writeStartCount_ > 0 && writeStarts_[writeStartCount_ - 1] >= at)
            --writeStartCount_;
        if (writeStartCount_ < kMaxSavedOffsets)
            writeStarts_[writeStartCount_++] = at;
    }

    int32_t data_ = 0;
    uint32_t systemData_ = 0;
    uint8_t reserved_[16] = {};
    CIMemFile buffer_;
    int32_t scriptRef_ = -1;
    int32_t writeStarts_[kMaxSavedOffsets] = {};
    int32_t writeStartCount_ = 0;
};
