#pragma once
// The engine string: one text kept in the game's multibyte code page and in UCS-2
// little-endian, each form derived from the other only when it is asked for.

#include <cstddef>
#include <cstdint>
#include <string>

class CIArchive;

// A growable buffer with 64 elements of inline storage plus a terminating zero.
// Reserving beyond the capacity allocates exactly n + 1 elements; it never shrinks except
// by Clear(), which frees the heap block and returns to inline storage.
template <typename T>
class InlineBuffer {
public:
    static constexpr int32_t kInlineCapacity = 64;

    InlineBuffer() { inline_[0] = 0; }
    InlineBuffer(const InlineBuffer& other) { *this = other; }
    InlineBuffer& operator=(const InlineBuffer& other);
    ~InlineBuffer() { delete[] heap_; }

    T* Data() { return heap_ ? heap_ : inline_; }
    const T* Data() const { return heap_ ? heap_ : inline_; }
    int32_t Length() const { return length_; }
    int32_t Capacity() const { return capacity_; }
    bool IsHeap() const { return heap_ != nullptr; }

    void Reserve(int32_t n)
    {
        if (n > capacity_)
            Grow(n);
    }
    // Sets the length (reserving room first) and writes the terminating zero after it.
    void SetLength(int32_t n)
    {
        if (n < 0)
            n = 0;
        Reserve(n);
        length_ = n;
        Data()[n] = 0;
    }
    // SetLength for a length known to be within the capacity.
    void SetLengthWithin(int32_t n)
    {
        length_ = n;
        Data()[n] = 0;
    }
    void Assign(const T* src, int32_t n);
    void Append(const T* src, int32_t n);
    void Clear();

private:
    void Grow(int32_t n);

    T inline_[kInlineCapacity + 1];
    T* heap_ = nullptr;
    int32_t length_ = 0;
    int32_t capacity_ = kInlineCapacity;
};

using ByteBuffer = InlineBuffer<char>;
using WideBuffer = InlineBuffer<uint16_t>;

class CKVQString {
public:
    CKVQString() = default;
    CKVQString(const char* text) { Assign(text); }  // NOLINT: the engine converts texts freely
    CKVQString(const CKVQString& other) = default;
    CKVQString& operator=(const CKVQString& other);
    CKVQString& operator=(const char* text)
    {
        Assign(text);
        return *this;
    }

    // Assignment. Each one leaves the other form to be derived on demand, except where noted.
    void Assign(const char* text);
    void Assign(const char* text, int32_t bytes);
    void AssignWide(const uint16_t* units, int32_t count);  // multibyte form derived at once
    void AssignUtf8(const char* bytes, int32_t count);      // multibyte form derived at once
    void Clear();

    // Script-facing names.
    void ConstructWithMB(const char* text) { Assign(text); }
    void ConstructWithUtf8(const char* text);
    const char* GetMBString() const;
    std::string GetUtf8String() const;

    const char* c_str() const { return GetMBString(); }
    const uint16_t* GetWideString() const;
    int32_t GetLength() const;      // UCS-2 units
    int32_t GetByteLength() const  // bytes of the multibyte form
    {
        if (!mbValid_)
            EnsureMultibyte();
        return mb_.Length();
    }
    bool IsEmpty() const { return GetByteLength() == 0; }

    bool operator==(const CKVQString& other) const;
    bool operator!=(const CKVQString& other) const { return !(*this == other); }

    // First or last n bytes of the multibyte form, as an owned copy.
    std::string Left(int32_t n) const;
    std::string Right(int32_t n) const;
    // Byte position of a multibyte substring, or -1.
    int32_t Find(const char* text) const;

    // Editing on the UCS-2 form; each empties the multibyte form.
    bool Insert(int32_t pos, uint16_t unit);  // refused (false) when pos > length
    void AppendChar(uint16_t unit);
    void Erase(int32_t pos, int32_t count);
    CKVQString Mid(int32_t start, int32_t count) const;
    int32_t FindChar(uint16_t unit, int32_t from = 0) const;
    int32_t FindOneOf(const CKVQString& set, int32_t from = 0) const;
    void Truncate(int32_t count);
    void ReserveWide(int32_t count);

    // Appends a multibyte text (the UCS-2 form is rebuilt at once).
    void Append(const char* text);
    // Appends a character code given as an integer: its bytes from the low byte up to the
    // first zero byte.
    void AppendCode(uint32_t code);
    void MakeUpper();
    void MakeLower();

    // The archive's string transfer: n, n, bytes with the terminating zero.
    // maxLength -1 means unlimited; a longer stored count puts the archive in error.
    void Serialize(CIArchive& ar, int32_t maxLength = -1);

    // Inspection for tests and the attribute archive.
    const ByteBuffer& Multibyte() const { return mb_; }
    const WideBuffer& Wide() const { return wide_; }

    // Encodes one code point with the engine's UTF-8 encoder; returns the byte count (1-6).
    static int EncodeUtf8(uint32_t code, char out[6]);

private:
    friend class CIArchive;
    void EnsureMultibyte() const;
    void EnsureWide() const;
    void ChangeAsciiCase(char first, char last, int delta);

    uint8_t marker_ = 1;
    mutable ByteBuffer mb_;
    mutable WideBuffer wide_;
    // Which forms hold the current text. At least one always does; an empty string has both.
    mutable bool mbValid_ = true;
    mutable bool wideValid_ = true;
};
