#include "ui/Message.h"

#include <cstring>

#include "common/ScriptObjects.h"

CKVQMessage::CKVQMessage(int32_t capacityHint) : buffer_(capacityHint)
{
    SetSerial(&buffer_, SM_WRITE);
}

CKVQMessage::~CKVQMessage()
{
    // The registry reference goes back to the host, scripts that still hold the message get
    // errors, and pointer tokens written for it stop resolving (a new object at this address
    // must not be reached through them).
    if (scriptRef_ != -1)
        KVQReleaseScriptRef(scriptRef_, this);
    scriptRef_ = -1;
    KVQForgetScriptObject(this, "CKVQMessage");
    KVQForgetPointer(this);
}

CKVQMessage::CKVQMessage(const char* text) : buffer_(kEventCapacity)
{
    SetSerial(&buffer_, SM_WRITE);
    int32_t n = text ? static_cast<int32_t>(std::strlen(text)) : 0;
    NoteWrite();
    CountedBytes(const_cast<char*>(text ? text : ""), n, n);
}

void CKVQMessage::Copy(const CKVQMessage& other)
{
    if (&other == this) {
        setMode(getMode());
        return;
    }
    data_ = other.data_;
    setMode(SM_WRITE);
    Bytes(const_cast<uint8_t*>(other.GetBuffer()), other.GetSize());
    setMode(other.getMode());
    // The copy reads its parameters where the original does.
    writeStartCount_ = 0;
    for (int32_t i = 0; i < kMaxSavedOffsets; ++i) {
        const int32_t start = other.ParameterStart(i);
        if (start < 0)
            break;
        writeStarts_[writeStartCount_++] = start;
    }
}

void CKVQMessage::ResetAddress()
{
    CIArchive::ResetAddress();
    writeStartCount_ = 0;
}

int32_t CKVQMessage::ParameterStart(int32_t index) const
{
    if (index < 0 || index >= kMaxSavedOffsets)
        return -1;
    const int32_t pushed = GetSavedAddressCount();
    int32_t start = -1;
    if (pushed > 0)
        start = index < pushed ? GetSavedAddress(index) : -1;
    else
        start = index < writeStartCount_ ? writeStarts_[index] : -1;
    if (index == 0 && start < 0)
        return 0;
    // A start past the bytes belongs to an older content of a message that was emptied since.
    return start <= buffer_.GetSize() ? start : -1;
}

bool CKVQMessage::SeekParameter(int32_t index)
{
    setMode(SM_READ);
    const int32_t start = ParameterStart(index);
    if (start < 0)
        return false;
    buffer_.Seek(start);
    return true;
}

int32_t CKVQMessage::ScriptBool(int32_t value)
{
    int32_t stored = IsStoring() && value == 1 ? 1 : 0;
    Int32(stored);
    if (IsStoring())
        return value;
    return stored == 1 ? 1 : 0;
}

int32_t CKVQMessage::ScriptUiBoolean(int32_t value)
{
    int32_t stored = IsStoring() ? value : 0;
    Int32(stored);
    if (IsStoring())
        return value;
    return stored == 1 ? 1 : 0;
}

int32_t CKVQMessage::ScriptUInt32(double value)
{
    uint32_t bits = 0;
    if (IsStoring()) {
        // Numbers outside the int64 range (and NaN) have no low 32 bits to speak of: write 0.
        if (value > -9.2e18 && value < 9.2e18)
            bits = static_cast<uint32_t>(static_cast<int64_t>(value));
    }
    UInt32(bits);
    return static_cast<int32_t>(bits);
}

std::string CKVQMessage::ScriptString(const char* text)
{
    if (IsStoring()) {
        int32_t n = text ? static_cast<int32_t>(std::strlen(text)) : 0;
        Int32(n);
        CountedBytes(const_cast<char*>(text ? text : ""), n, n);
        return text ? text : "";
    }
    int32_t n = 0;
    if (Int32(n) < 0 || n == 0)
        return std::string();
    if (n < 0 || n > buffer_.Remaining()) {
        buffer_.SetError(CISerial::kReadPastEnd);
        return std::string();
    }
    std::string out(static_cast<size_t>(n), '\0');
    int32_t stored = 0;
    if (CountedBytes(out.data(), stored, n) < 0) {
        buffer_.SetError(CISerial::kReadPastEnd);  // a second count above the first: corrupt
        return std::string();
    }
    // Native records store the terminating zero; a script sees the text up to it.
    out.resize(std::strlen(out.c_str()));
    return out;
}

void CKVQMessage::WriteBlock(CIArchive& ar) const
{
    int32_t n = buffer_.GetSize();
    ar.Int32(n);
    ar.CountedBytes(const_cast<uint8_t*>(buffer_.GetBuffer()), n, n);
}

bool CKVQMessage::ReadBlock(CIArchive& ar, bool inPlace)
{
    writeStartCount_ = 0;  // where the parameters of a stored block begin is not known
    buffer_.Reset();
    setMode(SM_READ);
    int32_t n = 0;
    if (ar.Int32(n) < 0) {
        buffer_.SetError(CISerial::kReadPastEnd);
        return false;
    }
    // A length the stream cannot hold is refused before anything is allocated.
    CISerial* outer = ar.GetSerial();
    if (n < 0 || n >= kMaxBlockLength || !outer || n > outer->Remaining() - 4) {
        buffer_.SetError(CISerial::kReadPastEnd);
        if (outer)
            outer->SetError(CISerial::kReadPastEnd);
        return false;
    }
    // Nested records read in place are not copied once per level of nesting.
    auto* outerMemory = inPlace ? dynamic_cast<CIMemFile*>(outer) : nullptr;
    if (outerMemory && outerMemory->Remaining() >= 4 + n) {
        int32_t stored = 0;
        std::memcpy(&stored, outerMemory->GetBuffer() + outerMemory->Tell(), 4);
        if (!CIArchive::IsHostBigEndian() && stored == n) {
            buffer_.SetView(outerMemory->GetBuffer() + outerMemory->Tell() + 4, n);
            outerMemory->Seek(outerMemory->Tell() + 4 + n);
            setMode(SM_READ);
            return true;
        }
    }
    uint8_t* bytes = buffer_.Fill(n);
    int32_t stored = 0;
    if (ar.CountedBytes(bytes, stored, n) < 0) {
        buffer_.Reset();
        buffer_.SetError(CISerial::kReadPastEnd);
        if (stored > n)
            outer->SetError(CISerial::kReadPastEnd);
        return false;
    }
    setMode(SM_READ);
    return true;
}
