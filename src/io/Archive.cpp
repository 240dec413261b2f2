#include "io/Archive.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/EngineString.h"
#include "common/HandleTable.h"
#include "io/MemFile.h"
#include "platform/DebugOutput.h"

namespace {

inline void SwapInPlace(void* data, int32_t length)
{
    auto* b = static_cast<uint8_t*>(data);
    for (int32_t i = 0, j = length - 1; i < j; ++i, --j) {
        uint8_t t = b[i];
        b[i] = b[j];
        b[j] = t;
    }
}

// Pointers do not fit the stream's four bytes on 64-bit hosts, so the archive writes a token
// from a handle table: a forgotten object's token never resolves again, and a token resolves only
// for the type it was written with.
struct PointerRegistry {
    struct Entry {
        uint32_t token;
        std::string type;
    };
    std::mutex lock;
    std::unordered_map<void*, Entry> entries;
    HandleTable<void> table;
};

PointerRegistry& Registry()
{
    static PointerRegistry registry;
    return registry;
}

}  // namespace

uint32_t KVQPointerToken(void* pointer, const char* typeName)
{
    if (!pointer)
        return 0;
    PointerRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.entries.find(pointer);
    if (it != r.entries.end()) {
        if (it->second.type.empty() && typeName)
            it->second.type = typeName;
        return it->second.token;
    }
    uint32_t token = r.table.Enter(pointer);
    if (token != 0)
        r.entries.emplace(pointer, PointerRegistry::Entry{token, typeName ? typeName : ""});
    return token;
}

void* KVQPointerFromToken(uint32_t token, const char* typeName)
{
    if (token == 0)
        return nullptr;
    PointerRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    void* pointer = r.table.Lookup(token);
    if (!pointer)
        return nullptr;
    const std::string& stored = r.entries[pointer].type;
    if (typeName && *typeName && !stored.empty() && stored != typeName)
        return nullptr;
    return pointer;
}

void KVQForgetPointer(void* pointer)
{
    if (!pointer)
        return;
    PointerRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.entries.find(pointer);
    if (it == r.entries.end())
        return;
    r.table.Remove(it->second.token);
    r.entries.erase(it);
}

// Files are little-endian whatever the host; a big-endian host swaps every 16-bit, 32-bit
// and float transfer. The test runs once per process, when the first archive is made, and
// announces its result once, as developer output (seen only when verbose).
bool CIArchive::swapBytes_ = false;

bool CIArchive::IsHostBigEndian()
{
    static const bool bigEndian = [] {
        uint32_t probe = 0x12345678;
        uint8_t first;
        std::memcpy(&first, &probe, 1);
        bool big = first == 0x12;
        swapBytes_ = big;
        platform::WriteDebugOutput(big ? "\nLitteEndian=1\n" : "\nLitteEndian=0\n");
        return big;
    }();
    return bigEndian;
}

CIArchive::CIArchive()
{
    IsHostBigEndian();
}

CIArchive::CIArchive(CISerial* serial, int32_t mode)
{
    IsHostBigEndian();
    SetSerial(serial, mode);
}

void CIArchive::SetSerial(CISerial* serial, int32_t mode)
{
    serial_ = serial;
    memSerial_ = dynamic_cast<CIMemFile*>(serial);
    setMode(mode);
}

void CIArchive::SetTextForm(IRecordText* text)
{
    serial_ = nullptr;
    memSerial_ = nullptr;
    text_ = text;
    mode_ = text && text->IsLoading() ? SM_READ : SM_WRITE;
}

void CIArchive::setMode(int32_t mode)
{
    mode_ = mode == SM_READ ? SM_READ : SM_WRITE;
    if (serial_)
        serial_->Seek(0);
}

int32_t CIArchive::GetError() const
{
    if (text_)
        return text_->GetError();
    return serial_ ? serial_->GetError() : 0;
}

int32_t CIArchive::Raw(void* data, int32_t length)
{
    if (!serial_)
        return -1;
    if (mode_ == SM_READ)
        return serial_->Read(data, length);
    return serial_->Write(data, length);
}

int32_t CIArchive::SlowScalar(void* data, int32_t length, Kind kind, const char* name)
{
    if (text_) {
        if (text_->Value(name, kind, data, length))
            return length;
        if (mode_ == SM_READ)
            std::memset(data, 0, static_cast<size_t>(length));
        return -1;
    }
    if (mode_ == SM_READ) {
        bool ok;
        if (memSerial_) {
            ok = memSerial_->ReadFast(data, length);
        } else {
            ok = serial_ && serial_->Read(data, length) == length;
        }
        if (!ok) {
            std::memset(data, 0, static_cast<size_t>(length));
            return -1;
        }
        if (swapBytes_)
            SwapInPlace(data, length);
        return length;
    }
    uint8_t temp[8];
    const void* out = data;
    if (swapBytes_) {
        std::memcpy(temp, data, static_cast<size_t>(length));
        SwapInPlace(temp, length);
        out = temp;
    }
    if (memSerial_)
        return memSerial_->WriteFast(out, length);
    return serial_ ? serial_->Write(out, length) : -1;
}

int32_t CIArchive::Bool(bool& v, const char* name)
{
    int32_t stored = mode_ == SM_WRITE && v ? 1 : 0;
    int32_t r = Scalar(&stored, 4, Kind::Bool, name);
    if (mode_ == SM_READ)
        v = stored == 1;
    return r;
}

int32_t CIArchive::UiBoolean(int32_t& v, const char* name)
{
    int32_t r = Scalar(&v, 4, Kind::UiBoolean, name);
    if (mode_ == SM_READ)
        v = v == 1 ? 1 : 0;
    return r;
}

int32_t CIArchive::Bytes(void* buffer, int32_t length, const char* name)
{
    if (length <= 0)
        return length == 0 ? 0 : -1;
    if (text_)
        return text_->Value(name, Kind::Bytes, buffer, length) ? length : -1;
    if (mode_ == SM_READ && memSerial_)
        return memSerial_->Read(buffer, length);
    return Raw(buffer, length);
}

int32_t CIArchive::CountedBytes(void* buffer, int32_t& n, int32_t capacity)
{
    if (mode_ == SM_WRITE) {
        Int32(n);
        return Bytes(buffer, n) == n ? n : -1;
    }
    if (capacity > 0)
        std::memset(buffer, 0, static_cast<size_t>(capacity));
    if (Int32(n) < 0)
        return -1;
    if (n < 0) {
        if (serial_)
            serial_->SetError(CISerial::kReadPastEnd);
        return -1;
    }
    if (n > capacity)  // the bytes stay on the stream
        return -1;
    return Bytes(buffer, n) == n ? n : -1;
}

void CIArchive::StringSlow(CKVQString& s, int32_t maxLength, const char* name)
{
    if (text_) {
        if (!text_->Value(name, Kind::String, &s, 0) && mode_ == SM_READ)
            s.Clear();
        return;
    }
    if (mode_ == SM_WRITE) {
        s.EnsureMultibyte();
        int32_t n = s.mb_.Length() + 1;  // the terminating zero is stored
        Int32(n);
        CountedBytes(s.mb_.Data(), n, n);
        return;
    }
    if (!serial_ || serial_->GetError() != CISerial::kNoError)
        return;
    int32_t n = 0;
    Int32(n);
    if (n == 0) {
        s.Clear();
        return;
    }
    // A count that is negative, above the caller's maximum, or beyond what the stream still holds
    // is an error; checking the stream first keeps a corrupt count from allocating.
    if (n < 0 || (maxLength != -1 && n > maxLength) || n > serial_->Remaining()) {
        serial_->SetError(CISerial::kReadPastEnd);
        s.Clear();
        return;
    }
    s.mb_.Reserve(n);
    int32_t stored = 0;
    if (CountedBytes(s.mb_.Data(), stored, n) < 0) {
        // A second count above the first would leave the stream misaligned: treat it as corrupt.
        if (stored > n)
            serial_->SetError(CISerial::kReadPastEnd);
        s.Clear();
        return;
    }
    s.mb_.SetLength(n - 1);
    s.mbValid_ = true;
    s.wideValid_ = n == 1;
    s.wide_.SetLength(0);
}

void* CIArchive::Ptr(const char* typeName, void* pointer, const char* fieldName)
{
    if (text_) {
        uint32_t token = mode_ == SM_WRITE ? KVQPointerToken(pointer, typeName) : 0;
        text_->Value(fieldName, Kind::Ptr, &token, 4);
        return mode_ == SM_WRITE ? pointer : KVQPointerFromToken(token, typeName);
    }
    char name[kPtrNameBytes] = {};
    if (mode_ == SM_WRITE) {
        // Names of 32 bytes or more are not written; the field stays zero so the stream keeps
        // its layout.
        size_t length = typeName ? std::strlen(typeName) : 0;
        if (length < kPtrNameBytes && length > 0)
            std::memcpy(name, typeName, length);
        Bytes(name, kPtrNameBytes);
        uint32_t token = KVQPointerToken(pointer, length < kPtrNameBytes ? typeName : nullptr);
        UInt32(token);
        return pointer;
    }
    Bytes(name, kPtrNameBytes);
    uint32_t token = 0;
    UInt32(token);
    return KVQPointerFromToken(token, typeName);
}

void CIArchive::PushAddress()
{
    if (mode_ != SM_WRITE || savedCount_ >= kMaxSavedOffsets || !serial_)
        return;
    saved_[savedCount_++] = serial_->Tell();
}

void CIArchive::SeekAddress(int index)
{
    if (index < 0 || index >= kMaxSavedOffsets || !serial_)
        return;
    serial_->Seek(saved_[index]);
}

int32_t CIArchive::GetSavedAddress(int index) const
{
    return index >= 0 && index < kMaxSavedOffsets ? saved_[index] : 0;
}
