#include "io/EditHook.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/EngineString.h"
#include "io/File.h"
#include "io/FileSystem.h"

namespace {

// Array texts are capped so a long array cannot produce an unbounded text.
constexpr size_t kMaxArrayText = 1023;
constexpr const char* kDefaultFloatFormat = "%f";

// Decimal integer as the C library's atoi would read it (leading blanks, optional sign, digits up
// to the first other character), but without undefined behaviour on overflow: the value is
// clamped to the 64-bit range and then truncated to the width of the attribute.
int64_t ParseInteger(const char* text)
{
    return static_cast<int64_t>(std::strtoll(text, nullptr, 10));
}

// A real number in the C locale whatever the process locale is.
float ParseReal(const char* text)
{
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\f' || *text == '\v')
        ++text;
    if (*text == '+')
        ++text;
    double v = 0.0;
    const char* end = text + std::strlen(text);
    std::from_chars(text, end, v);
    return static_cast<float>(v);
}

bool ParseBool(const char* text)
{
    return std::strcmp(text, "true") == 0 || std::strcmp(text, "uitrue") == 0 || std::strcmp(text, "1") == 0;
}

// Formats come from description routines; anything but a single floating conversion (which
// would read the wrong argument) falls back to "%f".
bool IsSafeFloatFormat(const std::string& format)
{
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        ++i;
        if (i < format.size() && format[i] == '%')
            continue;
        while (i < format.size() && std::strchr("-+ #0", format[i]))
            ++i;
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
            ++i;
        if (i < format.size() && format[i] == '.') {
            ++i;
            while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
                ++i;
        }
        if (i >= format.size() || !std::strchr("fFeEgGaA", format[i]))
            return false;
        ++conversions;
    }
    return conversions == 1;
}

std::string FormatFloat(const std::string& format, float value)
{
    char buffer[512];
    const char* f = IsSafeFloatFormat(format) ? format.c_str() : kDefaultFloatFormat;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = std::snprintf(buffer, sizeof buffer, f, static_cast<double>(value));
#pragma GCC diagnostic pop
    if (n < 0)
        return std::string();
    return std::string(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n) : sizeof buffer - 1);
}

template <typename T>
T Load(const void* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void Store(void* p, T v)
{
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

// ---- building the table ----

void CKVQEditHook::SetObject(void* base, size_t size)
{
    base_ = static_cast<uint8_t*>(base);
    size_ = base ? size : 0;
}

void CKVQEditHook::Add(void* storage, const char* name, int32_t kind, int32_t value, const char* format,
                       const char* hint, AttributeCallback cb, void* cbObject, int32_t flag)
{
    if (collapsedDepth_ > 0)
        return;
    lastGroupCollapsed_ = false;
    Entry e;
    const char* own = name ? name : "";
    if (!groupStack_.empty() && groupStack_.back() >= 0) {
        e.fullName = entries_[static_cast<size_t>(groupStack_.back())].fullName;
        e.fullName += ':';
        e.fullName += own;
    } else {
        e.fullName = own;
    }
    e.kind = kind;
    e.value = value;
    if (format)
        e.format = format;
    if (hint)
        e.hint = hint;
    e.callback = cb;
    e.flag = flag;

    // Storage inside the described object is kept as an offset so that the one table serves every
    // object of the layout; anything else (process-wide values) is kept as its address.
    auto* at = static_cast<uint8_t*>(storage);
    if (at) {
        e.hasStorage = true;
        if (base_ && at >= base_ && at < base_ + size_) {
            e.offset = at - base_;
        } else {
            e.absolute = true;
            e.offset = reinterpret_cast<intptr_t>(at);
        }
    }
    auto* object = static_cast<uint8_t*>(cbObject);
    if (object && base_ && object >= base_ && object < base_ + size_) {
        e.callbackObjectIsBase = true;
        e.callbackObjectOffset = object - base_;
    } else {
        e.callbackObjectOffset = reinterpret_cast<intptr_t>(object);
    }

    auto index = static_cast<int32_t>(entries_.size());
    index_.emplace(e.fullName, index);  // the first of two equal names keeps the name
    entries_.push_back(std::move(e));
}

void CKVQEditHook::BeginGroup(void* storage, const char* name, int32_t kind, const char* hint,
                              AttributeCallback cb, void* cbObject, int32_t flag, bool collapsed)
{
    (void)kind;
    if (collapsedDepth_ > 0)
        return;
    if (collapsed) {
        lastGroupCollapsed_ = true;
        return;
    }
    Add(storage, name, ATTR_GROUP, 0, nullptr, hint, cb, cbObject, flag);
    lastGroup_ = GetCount() - 1;
}

void CKVQEditHook::EnterGroup()
{
    if (collapsedDepth_ > 0) {
        ++collapsedDepth_;
        return;
    }
    if (lastGroupCollapsed_) {
        lastGroupCollapsed_ = false;
        collapsedDepth_ = 1;
        return;
    }
    groupStack_.push_back(lastGroup_);
}

void CKVQEditHook::LeaveGroup()
{
    if (collapsedDepth_ > 0) {
        --collapsedDepth_;
        return;
    }
    if (!groupStack_.empty())
        groupStack_.pop_back();
    lastGroupCollapsed_ = false;
}

void CKVQEditHook::FloatArray(float* storage, const char* itemFormat, int32_t count, const char* name, int32_t kind,
                              const char* hint, AttributeCallback cb, void* cbObject, int32_t flag)
{
    (void)kind;
    Add(storage, name, ATTR_FLOAT_ARRAY, count > 0 ? count : 0, itemFormat, hint, cb, cbObject, flag);
}

void CKVQEditHook::Int32Array(int32_t* storage, int32_t count, const char* name, int32_t kind, const char* hint,
                              AttributeCallback cb, void* cbObject, int32_t flag)
{
    (void)kind;
    Add(storage, name, ATTR_INT32_ARRAY, count > 0 ? count : 0, nullptr, hint, cb, cbObject, flag);
}

void CKVQEditHook::Bit(uint32_t* storage, int32_t bit, const char* name, int32_t kind, const char* hint,
                       AttributeCallback cb, void* cbObject, int32_t flag)
{
    (void)kind;
    Add(storage, name, ATTR_BIT, bit & 31, nullptr, hint, cb, cbObject, flag);
}

void CKVQEditHook::LabelledValue(void* storage, int32_t ignored, int32_t value, const char* name, int32_t kind,
                                 const char* hint, AttributeCallback cb, void* cbObject, int32_t flag)
{
    (void)ignored, (void)kind;
    Add(storage, name, ATTR_ACTION, value, nullptr, hint, cb, cbObject, flag);
}

void CKVQEditHook::Action(const char* name, int32_t kind, const char* hint, AttributeCallback cb, void* cbObject,
                          int32_t flag)
{
    (void)kind;
    Add(nullptr, name, ATTR_ACTION, 0, nullptr, hint, cb, cbObject, flag);
}

// Every plain attribute kind records its storage and hint under its name with no extra value or
// format; the editor kind is not kept.
#define KVQ_PLAIN_ATTRIBUTE(Method, Type, AttrKind)                                                     \
    void CKVQEditHook::Method(Type* storage, const char* name, int32_t kind, const char* hint,             \
                              AttributeCallback cb, void* cbObject, int32_t flag)                        \
    {                                                                                                  \
        (void)kind;                                                                                    \
        Add(storage, name, AttrKind, 0, nullptr, hint, cb, cbObject, flag);                            \
    }

KVQ_PLAIN_ATTRIBUTE(String, CKVQString, ATTR_STRING)
KVQ_PLAIN_ATTRIBUTE(Opaque16, void, ATTR_OPAQUE16)
KVQ_PLAIN_ATTRIBUTE(UInt32, uint32_t, ATTR_UINT32)
KVQ_PLAIN_ATTRIBUTE(UInt16, uint16_t, ATTR_UINT16)
KVQ_PLAIN_ATTRIBUTE(Int16, int16_t, ATTR_INT16)

void CKVQEditHook::Float(float* storage, const char* format, const char* name, int32_t kind, const char* hint,
                         AttributeCallback cb, void* cbObject, int32_t flag)
{
    (void)kind;
    Add(storage, name, ATTR_FLOAT, 0, format ? format : kDefaultFloatFormat, hint, cb, cbObject, flag);
}

KVQ_PLAIN_ATTRIBUTE(UInt8, uint8_t, ATTR_UINT8)
KVQ_PLAIN_ATTRIBUTE(Int8, int8_t, ATTR_INT8)
KVQ_PLAIN_ATTRIBUTE(Opaque13, void, ATTR_OPAQUE13)
KVQ_PLAIN_ATTRIBUTE(Int32AsBool, int32_t, ATTR_INT32_BOOL)
KVQ_PLAIN_ATTRIBUTE(BoolAsInt32, int32_t, ATTR_BOOL_INT32)
KVQ_PLAIN_ATTRIBUTE(Int32, int32_t, ATTR_INT32)

#undef KVQ_PLAIN_ATTRIBUTE

// ---- using the table ----

int32_t CKVQEditHook::GetKind(int32_t index) const
{
    const Entry* e = GetEntry(index);
    return e ? e->kind : ATTR_NONE;
}

const CKVQEditHook::Entry* CKVQEditHook::GetEntry(int32_t index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return &entries_[static_cast<size_t>(index)];
}

int32_t CKVQEditHook::GetAttributeNameRef(const char* fullName) const
{
    if (!fullName)
        return -1;
    auto it = index_.find(fullName);
    return it == index_.end() ? -1 : it->second;
}

void* CKVQEditHook::Storage(const Entry& e) const
{
    if (!e.hasStorage)
        return nullptr;
    if (e.absolute)
        return reinterpret_cast<void*>(e.offset);
    if (!base_ || e.offset < 0 || static_cast<size_t>(e.offset) >= size_)
        return nullptr;
    return base_ + e.offset;
}

uintptr_t CKVQEditHook::GetAddress(int32_t index) const
{
    const Entry* e = GetEntry(index);
    return e ? reinterpret_cast<uintptr_t>(Storage(*e)) : 0;
}

std::string CKVQEditHook::GetAttribute(int32_t index) const
{
    const Entry* e = GetEntry(index);
    if (!e)
        return std::string();
    void* p = Storage(*e);
    if (!p)
        return std::string();
    char buffer[32];
    switch (e->kind) {
    case ATTR_INT32:
        std::snprintf(buffer, sizeof buffer, "%d", Load<int32_t>(p));
        return buffer;
    case ATTR_INT8:
        std::snprintf(buffer, sizeof buffer, "%d", Load<int8_t>(p));
        return buffer;
    case ATTR_INT16:
        std::snprintf(buffer, sizeof buffer, "%d", Load<int16_t>(p));
        return buffer;
    case ATTR_UINT8:
        std::snprintf(buffer, sizeof buffer, "%d", Load<uint8_t>(p));
        return buffer;
    case ATTR_UINT16:
        std::snprintf(buffer, sizeof buffer, "%d", Load<uint16_t>(p));
        return buffer;
    case ATTR_UINT32:
        std::snprintf(buffer, sizeof buffer, "%u", Load<uint32_t>(p));
        return buffer;
    case ATTR_FLOAT:
        return FormatFloat(e->format, Load<float>(p));
    case ATTR_INT32_BOOL:
    case ATTR_BOOL_INT32:
        return Load<int32_t>(p) != 0 ? "true" : "false";
    case ATTR_BIT:
        return (Load<uint32_t>(p) >> e->value) & 1u ? "true" : "false";
    case ATTR_STRING:
        return static_cast<const CKVQString*>(p)->c_str();
    case ATTR_CHARS: {
        // Characters kept inside the described object; never read past its end.
        if (e->absolute)
            return std::string();
        size_t room = size_ - static_cast<size_t>(e->offset);
        const char* chars = static_cast<const char*>(p);
        return std::string(chars, strnlen(chars, room));
    }
    case ATTR_INT32_ARRAY: {
        std::string out;
        for (int32_t i = 0; i < e->value; ++i) {
            int n = std::snprintf(buffer, sizeof buffer, "%d,", Load<int32_t>(static_cast<int32_t*>(p) + i));
            if (out.size() + static_cast<size_t>(n) > kMaxArrayText)
                break;
            out.append(buffer, static_cast<size_t>(n));
        }
        return out;
    }
    case ATTR_FLOAT_ARRAY: {
        std::string out;
        for (int32_t i = 0; i < e->value; ++i) {
            out += FormatFloat(e->format.empty() ? kDefaultFloatFormat : e->format,
                               Load<float>(static_cast<float*>(p) + i));
            out += ',';
        }
        return out;
    }
    default:
        return std::string();
    }
}

bool CKVQEditHook::SetAttribute(int32_t index, const char* text)
{
    const Entry* found = GetEntry(index);
    if (!found || !text)
        return false;
    // Copy what the callback needs: the callback may describe another table or rebuild this one.
    Entry e = *found;
    void* p = Storage(e);
    if (!p)
        return false;
    if (*text == '\0' && e.kind != ATTR_STRING)
        return false;

    switch (e.kind) {
    case ATTR_INT32:
    case ATTR_INT32_BOOL:
        Store(p, static_cast<int32_t>(static_cast<uint32_t>(ParseInteger(text))));
        break;
    case ATTR_FLOAT:
        Store(p, ParseReal(text));
        break;
    case ATTR_BOOL_INT32:
        Store(p, static_cast<int32_t>(ParseBool(text) ? 1 : 0));
        break;
    case ATTR_BIT: {
        uint32_t word = Load<uint32_t>(p);
        uint32_t mask = 1u << e.value;
        Store(p, ParseBool(text) ? (word | mask) : (word & ~mask));
        break;
    }
    case ATTR_INT8:
    case ATTR_UINT8:
        Store(p, static_cast<uint8_t>(ParseInteger(text)));
        break;
    case ATTR_INT16:
    case ATTR_UINT16:
        Store(p, static_cast<uint16_t>(ParseInteger(text)));
        break;
    case ATTR_UINT32:
        Store(p, static_cast<uint32_t>(ParseInteger(text)));
        break;
    case ATTR_STRING:
        *static_cast<CKVQString*>(p) = text;
        break;
    case ATTR_INT32_ARRAY:
    case ATTR_FLOAT_ARRAY: {
        // An item is stored only when the "," that ends it is reached.
        int32_t stored = 0;
        const char* item = text;
        for (const char* comma = std::strchr(item, ','); comma && stored < e.value;
             comma = std::strchr(item, ',')) {
            std::string one(item, static_cast<size_t>(comma - item));
            if (e.kind == ATTR_INT32_ARRAY)
                Store(static_cast<int32_t*>(p) + stored, static_cast<int32_t>(static_cast<uint32_t>(
                                                             ParseInteger(one.c_str()))));
            else
                Store(static_cast<float*>(p) + stored, ParseReal(one.c_str()));
            ++stored;
            item = comma + 1;
        }
        break;
    }
    default:
        return false;  // groups, actions and opaque values are not settable
    }

    if (e.callback) {
        void* object = nullptr;
        if (!e.callbackObjectIsBase)
            object = reinterpret_cast<void*>(e.callbackObjectOffset);
        else if (base_)
            object = base_ + e.callbackObjectOffset;
        e.callback(object, e.fullName.c_str(), e.kind == ATTR_BIT ? e.value : 0);
    }
    return true;
}

std::vector<std::string> CKVQEditHook::FullNames() const
{
    std::vector<std::string> names;
    names.reserve(entries_.size());
    for (const Entry& e : entries_)
        names.push_back(e.fullName);
    return names;
}

bool CKVQEditHook::OutputAttributes(const char* path) const
{
    IFile* file = GetFileSystem().OpenDisk(path ? path : "OutputAttribute.txt", "wb");
    if (!file)
        return false;
    bool ok = true;
    for (const Entry& e : entries_) {
        std::string line = e.fullName + "\r\n";
        auto n = static_cast<int32_t>(line.size());
        if (file->Write(line.data(), n) != n)
            ok = false;
    }
    GetFileSystem().Close(file);
    return ok;
}
