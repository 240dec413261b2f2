#pragma once
// Attribute description: windows and render objects describe their editable attributes to a
// visitor (CIEditHook). The runtime's visitor, CKVQEditHook, turns the description into a flat
// table of full names that scripts and the editor use to read and write attributes by name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class CKVQString;

// Called after an attribute was stored: (callback object, full name, bit number for bits, else 0).
using AttributeCallback = void (*)(void* object, const char* fullName, int32_t bit);

// Kinds as recorded in the table.
enum AttributeKind : int32_t {
    ATTR_GROUP = 0,
    ATTR_INT32 = 1,
    ATTR_FLOAT = 2,
    ATTR_INT32_BOOL = 3,  // int32 shown as a boolean
    ATTR_BOOL_INT32 = 4,  // boolean stored as int32
    ATTR_INT8 = 6,
    ATTR_INT16 = 7,
    ATTR_UINT8 = 8,
    ATTR_UINT16 = 9,
    ATTR_UINT32 = 10,
    ATTR_STRING = 12,
    ATTR_OPAQUE13 = 13,
    ATTR_BIT = 14,
    ATTR_CHARS = 15,
    ATTR_OPAQUE16 = 16,
    ATTR_ACTION = 17,
    ATTR_INT32_ARRAY = 18,
    ATTR_FLOAT_ARRAY = 19,
    ATTR_NONE = 20,  // answer for an index out of range
};

// The visitor. Storage is the attribute's address in the described object; kind and hint are
// the editor's widget code and hint ("false|true|", "0:255", "0:1000:100", "Copy|Paste|").
class CIEditHook {
public:
    virtual ~CIEditHook() = default;
    virtual void FloatArray(float* storage, const char* itemFormat, int32_t count, const char* name, int32_t kind,
                            const char* hint, AttributeCallback cb, void* cbObject, int32_t flag) = 0;
    virtual void Int32Array(int32_t* storage, int32_t count, const char* name, int32_t kind, const char* hint,
                            AttributeCallback cb, void* cbObject, int32_t flag) = 0;
    virtual void Bit(uint32_t* storage, int32_t bit, const char* name, int32_t kind, const char* hint,
                     AttributeCallback cb, void* cbObject, int32_t flag) = 0;
    virtual void LabelledValue(void* storage, int32_t ignored, int32_t value, const char* name, int32_t kind,
                               const char* hint, AttributeCallback cb, void* cbObject, int32_t flag) = 0;
    virtual void Action(const char* name, int32_t kind, const char* hint, AttributeCallback cb, void* cbObject,
                        int32_t flag) = 0;
    virtual void String(CKVQString* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                        void* cbObject, int32_t flag) = 0;
    virtual void Opaque16(void* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                          void* cbObject, int32_t flag) = 0;
    virtual void UInt32(uint32_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                        void* cbObject, int32_t flag) = 0;
    virtual void UInt16(uint16_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                        void* cbObject, int32_t flag) = 0;
    virtual void Int16(int16_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                       void* cbObject, int32_t flag) = 0;
    virtual void Float(float* storage, const char* format, const char* name, int32_t kind, const char* hint,
                       AttributeCallback cb, void* cbObject, int32_t flag) = 0;
    virtual void UInt8(uint8_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                       void* cbObject, int32_t flag) = 0;
    virtual void Int8(int8_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                      void* cbObject, int32_t flag) = 0;
    virtual void Opaque13(void* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                          void* cbObject, int32_t flag) = 0;
    virtual void Int32AsBool(int32_t* storage, const char* name, int32_t kind, const char* hint,
                             AttributeCallback cb, void* cbObject, int32_t flag) = 0;
    virtual void BoolAsInt32(int32_t* storage, const char* name, int32_t kind, const char* hint,
                             AttributeCallback cb, void* cbObject, int32_t flag) = 0;
    virtual void Int32(int32_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                       void* cbObject, int32_t flag) = 0;
    virtual void BeginGroup(void* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                            void* cbObject, int32_t flag, bool collapsed) = 0;
    // The described object: its address and size. Storage outside it (process-wide values) is
    // addressed absolutely, everything inside relative to the object.
    virtual void SetObject(void* base, size_t size) = 0;
    virtual void EnterGroup() = 0;
    virtual void LeaveGroup() = 0;
    virtual void Reserved() {}
    virtual int32_t GetKind(int32_t index) const = 0;
};

// The runtime's table. One table serves every object of the same layout: entries hold offsets
// from the object, found again from the base set before each use.
class CKVQEditHook : public CIEditHook {
public:
    struct Entry {
        std::string fullName;
        int32_t kind = ATTR_NONE;
        bool absolute = false;  // storage is a process-wide address, not an offset
        intptr_t offset = 0;    // from the object base (or the address when absolute)
        int32_t value = 0;      // bit number, element count or labelled value
        std::string format;     // kinds 2 and 19
        std::string hint;       // the editor hint: labels "a|b|", a range "0:255", commands of a group
        AttributeCallback callback = nullptr;
        bool callbackObjectIsBase = false;  // the callback object is the described object
        intptr_t callbackObjectOffset = 0;
        int32_t flag = 0;
        bool hasStorage = false;
    };

    // CIEditHook
    void FloatArray(float* storage, const char* itemFormat, int32_t count, const char* name, int32_t kind,
                    const char* hint, AttributeCallback cb, void* cbObject, int32_t flag) override;
    void Int32Array(int32_t* storage, int32_t count, const char* name, int32_t kind, const char* hint,
                    AttributeCallback cb, void* cbObject, int32_t flag) override;
    void Bit(uint32_t* storage, int32_t bit, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
             void* cbObject, int32_t flag) override;
    void LabelledValue(void* storage, int32_t ignored, int32_t value, const char* name, int32_t kind,
                       const char* hint, AttributeCallback cb, void* cbObject, int32_t flag) override;
    void Action(const char* name, int32_t kind, const char* hint, AttributeCallback cb, void* cbObject,
                int32_t flag) override;
    void String(CKVQString* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                void* cbObject, int32_t flag) override;
    void Opaque16(void* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                  void* cbObject, int32_t flag) override;
    void UInt32(uint32_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                void* cbObject, int32_t flag) override;
    void UInt16(uint16_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                void* cbObject, int32_t flag) override;
    void Int16(int16_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
               void* cbObject, int32_t flag) override;
    void Float(float* storage, const char* format, const char* name, int32_t kind, const char* hint,
               AttributeCallback cb, void* cbObject, int32_t flag) override;
    void UInt8(uint8_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
               void* cbObject, int32_t flag) override;
    void Int8(int8_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
              void* cbObject, int32_t flag) override;
    void Opaque13(void* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                  void* cbObject, int32_t flag) override;
    void Int32AsBool(int32_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                     void* cbObject, int32_t flag) override;
    void BoolAsInt32(int32_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                     void* cbObject, int32_t flag) override;
    void Int32(int32_t* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
               void* cbObject, int32_t flag) override;
    void BeginGroup(void* storage, const char* name, int32_t kind, const char* hint, AttributeCallback cb,
                    void* cbObject, int32_t flag, bool collapsed) override;
    void SetObject(void* base, size_t size) override;
    void EnterGroup() override;
    void LeaveGroup() override;
    int32_t GetKind(int32_t index) const override;

    bool IsEmpty() const { return entries_.empty(); }
    int32_t GetCount() const { return static_cast<int32_t>(entries_.size()); }
    const Entry* GetEntry(int32_t index) const;
    int32_t GetAttributeNameRef(const char* fullName) const;  // -1 when absent
    // The value as text ("" for an index out of range or a kind without text).
    std::string GetAttribute(int32_t index) const;
    // Parses and stores, then calls the change callback. False when nothing was stored.
    bool SetAttribute(int32_t index, const char* text);
    // The storage location (0 when out of range).
    uintptr_t GetAddress(int32_t index) const;
    // Writes every full name followed by "\r\n" to a file through the file system.
    bool OutputAttributes(const char* path = "OutputAttribute.txt") const;
    std::vector<std::string> FullNames() const;

private:
    void Add(void* storage, const char* name, int32_t kind, int32_t value, const char* format, const char* hint,
             AttributeCallback cb, void* cbObject, int32_t flag);
    void* Storage(const Entry& e) const;

    std::vector<Entry> entries_;
    std::unordered_map<std::string, int32_t> index_;
    std::vector<int32_t> groupStack_;  // entry index of each entered group (-1: the root)
    int32_t lastGroup_ = -1;           // the group begun last, entered by EnterGroup
    int32_t collapsedDepth_ = 0;       // > 0 while inside a collapsed group: nothing is recorded
    bool lastGroupCollapsed_ = false;
    uint8_t* base_ = nullptr;
    size_t size_ = 0;
};
