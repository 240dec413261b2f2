#include "common/EngineString.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/CoreCfg.h"
#include "io/Archive.h"

// ---------------------------------------------------------------------------------------------
// InlineBuffer

template <typename T>
InlineBuffer<T>& InlineBuffer<T>::operator=(const InlineBuffer& other)
{
    if (this != &other)
        Assign(other.Data(), other.length_);
    return *this;
}

template <typename T>
void InlineBuffer<T>::Grow(int32_t n)
{
    T* block = new T[static_cast<size_t>(n) + 1];
    std::memcpy(block, Data(), (static_cast<size_t>(length_) + 1) * sizeof(T));
    delete[] heap_;
    heap_ = block;
    capacity_ = n;
}

template <typename T>
void InlineBuffer<T>::Assign(const T* src, int32_t n)
{
    if (n < 0)
        n = 0;
    if (src == Data() && n <= length_) {  // assigning (part of) itself
        SetLength(n);
        return;
    }
    Reserve(n);
    if (n > 0)
        std::memmove(Data(), src, static_cast<size_t>(n) * sizeof(T));
    SetLength(n);
}

template <typename T>
void InlineBuffer<T>::Append(const T* src, int32_t n)
{
    if (n <= 0)
        return;
    int32_t old = length_;
    if (old + n > capacity_) {
        // Appending may read from our own storage; copy before reallocating.
        std::basic_string<T> copy(src, static_cast<size_t>(n));
        Reserve(old + n);
        std::memcpy(Data() + old, copy.data(), static_cast<size_t>(n) * sizeof(T));
    } else {
        std::memmove(Data() + old, src, static_cast<size_t>(n) * sizeof(T));
    }
    SetLength(old + n);
}

template <typename T>
void InlineBuffer<T>::Clear()
{
    delete[] heap_;
    heap_ = nullptr;
    capacity_ = kInlineCapacity;
    length_ = 0;
    inline_[0] = 0;
}

template class InlineBuffer<char>;
template class InlineBuffer<uint16_t>;

// ---------------------------------------------------------------------------------------------
// Conversions. Three handles, opened on first need and kept; reopened only when the game's code
// page changes (the configuration is read after the first strings exist).

namespace {

enum Direction { kCodePageToWide, kWideToCodePage, kUtf8ToWide, kDirectionCount };

struct Converters {
    std::string codePage;
    iconv_t handles[kDirectionCount] = {(iconv_t)-1, (iconv_t)-1, (iconv_t)-1};
    bool tried[kDirectionCount] = {};
};

Converters& GetConverters()
{
    static Converters converters;
    return converters;
}

iconv_t Converter(Direction d)
{
    Converters& c = GetConverters();
    const std::string& page = GetCoreCfg().strCharset.empty() ? std::string("GB2312") : GetCoreCfg().strCharset;
    if (page != c.codePage) {
        for (int i = 0; i < kDirectionCount; ++i) {
            if (i == kUtf8ToWide)
                continue;
            if (c.handles[i] != (iconv_t)-1)
                iconv_close(c.handles[i]);
            c.handles[i] = (iconv_t)-1;
            c.tried[i] = false;
        }
        c.codePage = page;
    }
    if (!c.tried[d]) {
        c.tried[d] = true;
        switch (d) {
        case kCodePageToWide: c.handles[d] = iconv_open("UCS-2LE", page.c_str()); break;
        case kWideToCodePage: c.handles[d] = iconv_open(page.c_str(), "UCS-2LE"); break;
        case kUtf8ToWide: c.handles[d] = iconv_open("UCS-2LE", "UTF-8"); break;
        default: break;
        }
    }
    return c.handles[d];
}

// Runs iconv over the whole input; stops at the first sequence it cannot convert.
// Returns the number of bytes produced.
size_t Convert(iconv_t handle, const char* in, size_t inBytes, char* out, size_t outBytes)
{
    if (handle == (iconv_t)-1)
        return 0;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    char* src = const_cast<char*>(in);
    char* dst = out;
    size_t left = outBytes;
    iconv(handle, &src, &inBytes, &dst, &left);
    return outBytes - left;
}

}  // namespace

void CKVQString::EnsureMultibyte() const
{
    if (mbValid_)
        return;
    int32_t units = wide_.Length();
    mb_.Reserve(units * 4);
    size_t produced = Convert(Converter(kWideToCodePage), reinterpret_cast<const char*>(wide_.Data()),
                              static_cast<size_t>(units) * 2, mb_.Data(), static_cast<size_t>(units) * 4);
    mb_.SetLength(static_cast<int32_t>(produced));
    mbValid_ = true;
}

void CKVQString::EnsureWide() const
{
    if (wideValid_)
        return;
    int32_t bytes = mb_.Length();
    wide_.Reserve(bytes);
    size_t produced = Convert(Converter(kCodePageToWide), mb_.Data(), static_cast<size_t>(bytes),
                              reinterpret_cast<char*>(wide_.Data()), static_cast<size_t>(bytes) * 2);
    wide_.SetLength(static_cast<int32_t>(produced / 2));
    wideValid_ = true;
}

// ---------------------------------------------------------------------------------------------
// Assignment

CKVQString& CKVQString::operator=(const CKVQString& other)
{
    if (this != &other) {
        mb_ = other.mb_;
        wide_ = other.wide_;
        mbValid_ = other.mbValid_;
        wideValid_ = other.wideValid_;
    }
    return *this;
}

void CKVQString::Assign(const char* text)
{
    Assign(text, text ? static_cast<int32_t>(std::strlen(text)) : 0);
}

void CKVQString::Assign(const char* text, int32_t bytes)
{
    if (text == mb_.Data() && mbValid_ && bytes == mb_.Length())
        return;
    mb_.Assign(text ? text : "", text ? bytes : 0);
    mbValid_ = true;
    wide_.SetLength(0);
    wideValid_ = mb_.Length() == 0;
}

void CKVQString::AssignWide(const uint16_t* units, int32_t count)
{
    wide_.Assign(units, units ? count : 0);
    wideValid_ = true;
    mbValid_ = false;
    EnsureMultibyte();
}

void CKVQString::AssignUtf8(const char* bytes, int32_t count)
{
    if (!bytes || count <= 0) {
        Clear();
        return;
    }
    WideBuffer units;
    units.Reserve(count);
    size_t produced = Convert(Converter(kUtf8ToWide), bytes, static_cast<size_t>(count),
                              reinterpret_cast<char*>(units.Data()), static_cast<size_t>(count) * 2);
    AssignWide(units.Data(), static_cast<int32_t>(produced / 2));
}

void CKVQString::ConstructWithUtf8(const char* text)
{
    AssignUtf8(text, text ? static_cast<int32_t>(std::strlen(text)) : 0);
}

void CKVQString::Clear()
{
    mb_.Clear();
    wide_.Clear();
    mbValid_ = wideValid_ = true;
}

// ---------------------------------------------------------------------------------------------
// Reading

const char* CKVQString::GetMBString() const
{
    EnsureMultibyte();
    return mb_.Data();
}

const uint16_t* CKVQString::GetWideString() const
{
    EnsureWide();
    return wide_.Data();
}

int32_t CKVQString::GetLength() const
{
    EnsureWide();
    return wide_.Length();
}

int CKVQString::EncodeUtf8(uint32_t code, char out[6])
{
    auto put = [&](int count, uint8_t lead) {
        for (int i = count - 1; i > 0; --i) {
            out[i] = static_cast<char>(0x80 | (code & 0x3F));
            code >>= 6;
        }
        out[0] = static_cast<char>(lead | code);
        return count;
    };
    if (code < 0x80)
        return put(1, 0x00);
    if (code < 0x800)
        return put(2, 0xC0);
    if (code < 0x10000)
        return put(3, 0xE0);
    if (code < 0x200000)
        return put(4, 0xF0);
    if (code < 0x4000000)
        return put(5, 0xF8);
    return put(6, 0xFC);
}

std::string CKVQString::GetUtf8String() const
{
    EnsureWide();
    std::string out;
    out.reserve(static_cast<size_t>(wide_.Length()) * 3);
    char bytes[6];
    for (int32_t i = 0; i < wide_.Length(); ++i)
        out.append(bytes, static_cast<size_t>(EncodeUtf8(wide_.Data()[i], bytes)));
    return out;
}

bool CKVQString::operator==(const CKVQString& other) const
{
    EnsureMultibyte();
    other.EnsureMultibyte();
    return mb_.Length() == other.mb_.Length() &&
           std::memcmp(mb_.Data(), other.mb_.Data(), static_cast<size_t>(mb_.Length())) == 0;
}

std::string CKVQString::Left(int32_t n) const
{
    EnsureMultibyte();
    n = std::clamp(n, 0, mb_.Length());
    return std::string(mb_.Data(), static_cast<size_t>(n));
}

std::string CKVQString::Right(int32_t n) const
{
    EnsureMultibyte();
    n = std::clamp(n, 0, mb_.Length());
    return std::string(mb_.Data() + mb_.Length() - n, static_cast<size_t>(n));
}

int32_t CKVQString::Find(const char* text) const
{
    if (!text)
        return -1;
    EnsureMultibyte();
    const char* hit = std::strstr(mb_.Data(), text);
    return hit ? static_cast<int32_t>(hit - mb_.Data()) : -1;
}

// ---------------------------------------------------------------------------------------------
// Editing on the UCS-2 form

bool CKVQString::Insert(int32_t pos, uint16_t unit)
{
    EnsureWide();
    int32_t length = wide_.Length();
    if (pos < 0 || pos > length)
        return false;
    wide_.SetLength(length + 1);
    uint16_t* d = wide_.Data();
    std::memmove(d + pos + 1, d + pos, static_cast<size_t>(length - pos) * 2);
    d[pos] = unit;
    mbValid_ = false;
    return true;
}

void CKVQString::AppendChar(uint16_t unit)
{
    EnsureWide();
    wide_.Append(&unit, 1);
    mbValid_ = false;
}

void CKVQString::Erase(int32_t pos, int32_t count)
{
    EnsureWide();
    int32_t length = wide_.Length();
    if (pos < 0 || pos >= length || count <= 0)
        return;
    count = std::min(count, length - pos);
    uint16_t* d = wide_.Data();
    std::memmove(d + pos, d + pos + count, static_cast<size_t>(length - pos - count) * 2);
    wide_.SetLength(length - count);
    mbValid_ = false;
}

CKVQString CKVQString::Mid(int32_t start, int32_t count) const
{
    EnsureWide();
    CKVQString result;
    int32_t length = wide_.Length();
    if (start < 0)
        start = 0;
    if (start >= length || count <= 0)
        return result;
    count = std::min(count, length - start);
    result.wide_.Assign(wide_.Data() + start, count);
    result.wideValid_ = true;
    result.mbValid_ = false;
    return result;
}

int32_t CKVQString::FindChar(uint16_t unit, int32_t from) const
{
    EnsureWide();
    for (int32_t i = std::max(from, 0); i < wide_.Length(); ++i) {
        if (wide_.Data()[i] == unit)
            return i;
    }
    return -1;
}

int32_t CKVQString::FindOneOf(const CKVQString& set, int32_t from) const
{
    EnsureWide();
    set.EnsureWide();
    const uint16_t* s = set.wide_.Data();
    const uint16_t* end = s + set.wide_.Length();
    for (int32_t i = std::max(from, 0); i < wide_.Length(); ++i) {
        if (std::find(s, end, wide_.Data()[i]) != end)
            return i;
    }
    return -1;
}

void CKVQString::Truncate(int32_t count)
{
    EnsureWide();
    if (count < 0)
        count = 0;
    if (count < wide_.Length()) {
        wide_.SetLength(count);
        mbValid_ = false;
    }
}

void CKVQString::ReserveWide(int32_t count)
{
    EnsureWide();
    wide_.Reserve(count);
}

void CKVQString::Append(const char* text)
{
    if (!text || !*text)
        return;
    EnsureMultibyte();
    mb_.Append(text, static_cast<int32_t>(std::strlen(text)));
    wideValid_ = false;
    EnsureWide();
}

void CKVQString::AppendCode(uint32_t code)
{
    char bytes[5] = {};
    int n = 0;
    while (n < 4 && (code & 0xFF) != 0) {
        bytes[n++] = static_cast<char>(code & 0xFF);
        code >>= 8;
    }
    Append(bytes);
}

// Changes the case of ASCII letters byte by byte; other bytes (double-byte characters
// included) are left as they are.
void CKVQString::ChangeAsciiCase(char first, char last, int delta)
{
    EnsureMultibyte();
    for (int32_t i = 0; i < mb_.Length(); ++i) {
        char& c = mb_.Data()[i];
        if (c >= first && c <= last)
            c = static_cast<char>(c + delta);
    }
    wideValid_ = mb_.Length() == 0;
    wide_.SetLength(0);
}

void CKVQString::MakeUpper()
{
    ChangeAsciiCase('a', 'z', 'A' - 'a');
}

void CKVQString::MakeLower()
{
    ChangeAsciiCase('A', 'Z', 'a' - 'A');
}

void CKVQString::Serialize(CIArchive& ar, int32_t maxLength)
{
    ar.String(*this, maxLength);
}
