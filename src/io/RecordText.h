#pragma once
// The text form of records. An archive bound to a record text instead of a byte stream passes
// every transfer here with the field's name, so the one routine that reads and writes an object's
// binary record also reads and writes its text form (the layout tools use it for JSON).

#include <cstdint>

class CKVQString;

class IRecordText {
public:
    enum class Kind : uint8_t {
        Int8,
        UInt8,
        Char,
        Int16,
        UInt16,
        Int32,
        UInt32,
        Float,
        Bool,       // data: int32 0 or 1
        UiBoolean,  // data: int32 as stored
        Bytes,      // data: length bytes
        String,     // data: a CKVQString
        Ptr,        // data: uint32 token (meaningless outside the process; kept for layout)
    };

    virtual ~IRecordText() = default;
    virtual bool IsLoading() const = 0;
    // Store: records the value under name (null: a generated name). Load: fills it from the next
    // field; false (and an error) when there is none or it is of another kind.
    virtual bool Value(const char* name, Kind kind, void* data, int32_t length) = 0;
    // A record block: a nested object.
    virtual bool BeginBlock(const char* name) = 0;
    virtual void EndBlock() = 0;
    // A counted list: store writes count items; load sets count from the text.
    virtual bool BeginList(const char* name, int32_t& count) = 0;
    virtual void NextItem() = 0;
    virtual void EndList() = 0;
    // A block kept as bytes (a render object of a class this program does not know).
    virtual bool OpaqueBlock(const char* name, uint8_t*& data, int32_t& length) = 0;
    virtual int32_t GetError() const = 0;
};
