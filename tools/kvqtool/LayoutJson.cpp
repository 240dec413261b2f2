// Layouts as JSON: the record text over JSON documents, the records of new objects, the brief form.

#include "LayoutJson.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "common/EngineString.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/RecordText.h"
#include "render/Render.h"
#include "render/RenderRegistry.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

using Json = LayoutJson;
using Kind = IRecordText::Kind;

// The top-level keys: a layout file holds one window, a window-list file a list of them.
const char* const kLayoutKey = "window";
const char* const kListKey = "windows";
// The lists whose items are windows, states and render-object entries, and the keys of an entry.
const char* const kChildrenKey = "children";
const char* const kStatesKey = "States";
const char* const kRenderListKey = "RenderLst";
const char* const kClassKey = "class";
const char* const kObjectKey = "object";
// A number outside the labels of an enumeration field, kept as it is: {"unlisted": 12}.
const char* const kUnlistedKey = "unlisted";
// List items hold lists of their own (a logic's variables): new items are learnt this many levels deep.
constexpr int kMaxProbeDepth = 8;

// ---- hex ----

std::string ToHex(const uint8_t* data, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

bool FromHex(const std::string& text, std::vector<uint8_t>& out)
{
    if (text.size() % 2 != 0)
        return false;
    out.clear();
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        uint8_t byte = 0;
        auto result = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
        if (result.ec != std::errc() || result.ptr != text.data() + i + 2)
            return false;
        out.push_back(byte);
    }
    return true;
}

// ---- values ----

bool IsPlainAscii(const char* bytes, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c == 0 || c >= 0x80)
            return false;
    }
    return true;
}

// Engine strings hold the game's code page. They appear as JSON text when they convert to UTF-8
// and back unchanged, otherwise as {"hex": "..."} so that no byte is lost.
Json EncodeString(const CKVQString& s)
{
    const char* bytes = s.c_str();
    auto length = static_cast<size_t>(s.GetByteLength());
    if (IsPlainAscii(bytes, length))
        return std::string(bytes, length);
    std::string utf8 = s.GetUtf8String();
    CKVQString back;
    back.AssignUtf8(utf8.data(), static_cast<int32_t>(utf8.size()));
    if (back.GetByteLength() == s.GetByteLength() && std::memcmp(back.c_str(), bytes, length) == 0)
        return utf8;
    return Json{{"hex", ToHex(reinterpret_cast<const uint8_t*>(bytes), length)}};
}

bool DecodeString(const Json& value, CKVQString& s)
{
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (IsPlainAscii(text.data(), text.size()))
            s.Assign(text.c_str(), static_cast<int32_t>(text.size()));
        else
            s.AssignUtf8(text.data(), static_cast<int32_t>(text.size()));
        return true;
    }
    if (value.is_object() && value.size() == 1 && value.contains("hex") && value["hex"].is_string()) {
        std::vector<uint8_t> bytes;
        if (!FromHex(value["hex"].get<std::string>(), bytes))
            return false;
        s.Assign(reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()));
        return true;
    }
    return false;
}

template <class T>
bool DecodeInteger(const Json& value, T& out)
{
    if (value.is_number_unsigned()) {
        auto v = value.get<uint64_t>();
        if (v > static_cast<uint64_t>(std::numeric_limits<T>::max()))
            return false;
        out = static_cast<T>(v);
        return true;
    }
    if (value.is_number_integer()) {
        auto v = value.get<int64_t>();
        if (v < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
            v > static_cast<int64_t>(std::numeric_limits<T>::max()))
            return false;
        out = static_cast<T>(v);
        return true;
    }
    return false;
}

template <class T>
std::string RangeText()
{
    return "an integer from " + std::to_string(static_cast<int64_t>(std::numeric_limits<T>::min())) + " to " +
           std::to_string(static_cast<uint64_t>(std::numeric_limits<T>::max()));
}


// ---- hints and names ----

// The labels of an enumeration hint ("Ascend|Descend|" -> Ascend, Descend); none for other hints.
std::vector<std::string> HintLabels(const std::string& hint)
{
    std::vector<std::string> labels;
    if (hint.empty() || hint.back() != '|')
        return labels;
    size_t start = 0;
    for (size_t bar = hint.find('|'); bar != std::string::npos; bar = hint.find('|', start)) {
        labels.push_back(hint.substr(start, bar - start));
        start = bar + 1;
    }
    return labels;
}

bool IsBooleanHint(const std::vector<std::string>& labels)
{
    return labels.size() == 2 && labels[0] == "false" && labels[1] == "true";
}

std::string JoinLabels(const std::vector<std::string>& labels)
{
    std::string text;
    for (const std::string& l : labels)
        text += l + "|";
    return text;
}

// Edits between two names, ignoring case.
size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string Closest(const std::string& name, const std::vector<std::string>& known)
{
    std::string best;
    size_t bestDistance = std::numeric_limits<size_t>::max();
    for (const std::string& k : known) {
        size_t d = EditDistance(name, k);
        if (d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    return best;
}

std::string DidYouMean(const std::string& name, const std::vector<std::string>& known)
{
    std::string best = Closest(name, known);
    return best.empty() ? std::string() : " (did you mean " + best + "?)";
}

std::string ClassList()
{
    std::string list;
    for (const std::string& k : LayoutSchema::ClassNames())
        list += (list.empty() ? "" : ", ") + k;
    return list;
}

std::string UnknownClassText(const std::string& name)
{
    std::string best = Closest(name, LayoutSchema::ClassNames());
    return "unknown class '" + name + "'" + (best.empty() ? "" : " (did you mean " + best + "?)") +
           "; the known classes are " + ClassList() +
           " (a record of a class this build does not have is given as its \"bytes\" in hex)";
}

// ---- the JSON record text ----

// Records as JSON: fields are keys of an object in transfer order (a name used twice gets "#2",
// "#3", ...), a record block is a nested object, a counted list an array. A list item holding
// only a block is that block's object; an item with fields of its own is an object of them.
// Loading walks the same shape: a field left out takes the value of a new object (when one is
// known), a key no routine asks for is an error, and the path of the first field that does not
// fit is reported.
class JsonRecordText final : public IRecordText {
public:
    // Store: builds a document.
    explicit JsonRecordText(LayoutSchema& schema) : schema_(schema), loading_(false), document_(Json::object())
    {
        frames_.emplace_back(&document_, false, false, "");
    }
    // Load: reads the given document (kept by the caller).
    JsonRecordText(Json& document, LayoutSchema& schema, bool probe)
        : schema_(schema), loading_(true), probe_(probe)
    {
        frames_.emplace_back(&document, false, false, "");
    }

    Json TakeDocument() { return std::move(document_); }
    const std::string& ErrorText() const { return errorText_; }

    // After the load: the top level holds nothing unknown either.
    void Finish()
    {
        if (!frames_.empty())
            CheckKnown(frames_.front());
    }

    bool IsLoading() const override { return loading_; }

    bool Value(const char* name, Kind kind, void* data, int32_t length) override
    {
        if (failed_)
            return false;
        Frame* frame = FieldFrame();
        if (!frame)
            return false;
        std::string key = KeyFor(*frame, name);
        std::string hint = HintFor(*frame, key);
        if (!loading_) {
            if (frame->hasOwner)
                schema_.Observe(frame->owner, frame->hintPath + key, data);
            if (frame->isEntry && key == kClassKey)
                frame->entryClass = static_cast<const CKVQString*>(data)->c_str();
            (*frame->node)[key] = Encode(kind, data, length, hint);
            return true;
        }
        const Json* value = nullptr;
        auto it = frame->node->find(key);
        if (it != frame->node->end())
            value = &*it;
        else if (frame->proto && frame->proto->is_object() && frame->proto->contains(key))
            value = &(*frame->proto)[key];
        else if (probe_)
            return true;  // left as the new object has it
        else if (frame->isEntry && key == kClassKey)
            return Fail(frame->path + "/" + key, "missing (the render object's class, one of " + ClassList() + ")");
        else
            return Fail(frame->path + "/" + key, "missing");
        std::string expected;
        if (!Decode(*value, kind, data, length, hint, expected))
            return Fail(frame->path + "/" + key, "expected " + expected);
        if (frame->isEntry && key == kClassKey)
            frame->entryClass = static_cast<const CKVQString*>(data)->c_str();
        return true;
    }

    bool BeginBlock(const char* name) override
    {
        if (failed_)
            return false;
        Frame& top = frames_.back();
        if (top.isArray && top.itemState == ItemState::Pending) {
            // The item is this block.
            top.itemState = ItemState::Done;
            std::string path = top.path + "/" + std::to_string(top.index);
            ListType type = top.listType;
            const Json* itemProto = top.proto;
            Json* node = ItemNode(top);
            if (!node->is_object())
                return Fail(path, "expected an object");
            Frame& block = frames_.emplace_back(node, false, false, path);
            if (type == ListType::Windows) {
                block.proto = schema_.Window();
                block.hasOwner = true;
            } else if (type == ListType::States) {
                block.proto = schema_.State();
            } else {
                block.proto = itemProto;
            }
            return true;
        }
        std::string path;
        Json* node = OpenField(name, false, path);
        if (!node)
            return false;
        Frame& parent = frames_.back();
        std::string key = parent.asked.back();
        const Json* proto = nullptr;
        bool hasOwner = parent.hasOwner;
        std::string owner = parent.owner;
        std::string hintPath = parent.hintPath + key + "/";
        if (parent.isEntry && key == kObjectKey) {
            proto = schema_.Class(parent.entryClass);
            hasOwner = true;
            owner = parent.entryClass;
            hintPath.clear();
        } else if (frames_.size() == 1 && key == kLayoutKey) {
            proto = schema_.Window();
            hasOwner = true;
            owner.clear();
            hintPath.clear();
        } else if (parent.proto && parent.proto->is_object() && parent.proto->contains(key)) {
            proto = &(*parent.proto)[key];
        }
        Frame& block = frames_.emplace_back(node, false, false, path);
        block.proto = proto;
        block.hasOwner = hasOwner;
        block.owner = owner;
        block.hintPath = hintPath;
        return true;
    }

    void EndBlock() override
    {
        if (frames_.size() > 1 && !frames_.back().isArray) {
            CheckKnown(frames_.back());
            frames_.pop_back();
        }
    }

    bool BeginList(const char* name, int32_t& count) override
    {
        if (failed_)
            return false;
        std::string path;
        Json* node = OpenField(name, true, path);
        if (!node)
            return false;
        if (loading_) {
            if (node->size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
                return Fail(path, "too many items");
            count = static_cast<int32_t>(node->size());
        }
        Frame& parent = frames_.back();
        std::string key = parent.asked.back();
        ListType type = ListType::Plain;
        const Json* itemProto = nullptr;
        if (key == kChildrenKey || key == kListKey)
            type = ListType::Windows;
        else if (key == kStatesKey)
            type = ListType::States;
        else if (key == kRenderListKey)
            type = ListType::Renders;
        else if (parent.proto && parent.proto->is_object() && parent.proto->contains(key)) {
            const Json& known = (*parent.proto)[key];
            if (known.is_array() && !known.empty())
                itemProto = &known.front();
        }
        Frame& list = frames_.emplace_back(node, true, false, path);
        list.listType = type;
        list.proto = itemProto;
        return true;
    }

    void NextItem() override
    {
        Frame* list = CloseItem();
        if (!list)
            return;
        ++list->index;
        list->itemState = ItemState::Pending;
        if (loading_ && static_cast<size_t>(list->index) >= list->node->size())
            Fail(list->path, "fewer items than the list needs");
    }

    void EndList() override
    {
        if (CloseItem())
            frames_.pop_back();
    }

    bool OpaqueBlock(const char* name, uint8_t*& data, int32_t& length) override
    {
        if (failed_)
            return false;
        Frame* frame = FieldFrame();
        if (!frame)
            return false;
        std::string key = KeyFor(*frame, name);
        if (!loading_) {
            (*frame->node)[key] = ToHex(data, static_cast<size_t>(length > 0 ? length : 0));
            return true;
        }
        auto it = frame->node->find(key);
        if (it == frame->node->end()) {
            if (frame->isEntry)
                return Fail(frame->path + "/" + kClassKey, UnknownClassText(frame->entryClass));
            return Fail(frame->path + "/" + key, "missing");
        }
        const Json* value = &*it;
        if (!value->is_string() || !FromHex(value->get<std::string>(), scratch_) ||
            scratch_.size() > static_cast<size_t>(CIArchive::kMaxBlockLength))
            return Fail(frame->path + "/" + key, "expected the record's bytes as a hex string");
        data = scratch_.data();
        length = static_cast<int32_t>(scratch_.size());
        return true;
    }

    int32_t GetError() const override { return failed_ ? CISerial::kReadPastEnd : 0; }

private:
    enum class ItemState : uint8_t { None, Pending, Open, Done };
    // What the items of a list are: windows, states and render-object entries have records of their
    // own kind; the items of other lists are like the first item of the new object's list.
    enum class ListType : uint8_t { Plain, Windows, States, Renders };

    struct Frame {
        Frame(Json* node_, bool isArray_, bool isItem_, std::string path_)
            : node(node_), isArray(isArray_), isItem(isItem_), path(std::move(path_))
        {
        }
        Json* node;
        bool isArray;
        bool isItem;  // an object made for one list item that holds fields of its own
        std::string path;
        std::map<std::string, int> seen;  // names used so far (objects)
        std::vector<std::string> asked;   // keys the routine transferred (objects)
        int32_t index = -1;               // current item (arrays)
        ItemState itemState = ItemState::None;
        ListType listType = ListType::Plain;
        const Json* proto = nullptr;  // objects: the new object's record; lists: an item's
        // The record whose attributes hold the editor hints: a window (owner "") or a class.
        bool hasOwner = false;
        std::string owner;
        std::string hintPath;     // keys from the record to this object, each followed by "/"
        bool isEntry = false;     // a render-object entry: its class, then its object
        std::string entryClass;
    };

    bool Fail(const std::string& path, const std::string& message)
    {
        if (!failed_) {
            failed_ = true;
            errorText_ = (path.empty() ? std::string("/") : path) + ": " + message;
        }
        return false;
    }

    std::string KeyFor(Frame& frame, const char* name)
    {
        std::string base = name && *name ? name : "value";
        int n = ++frame.seen[base];
        std::string key = n == 1 ? base : base + "#" + std::to_string(n);
        frame.asked.push_back(key);
        return key;
    }

    std::string HintFor(const Frame& frame, const std::string& key)
    {
        return frame.hasOwner ? schema_.Hint(frame.owner, frame.hintPath + key) : std::string();
    }

    // Every key of a loaded object must be a field its routine knows.
    void CheckKnown(const Frame& frame)
    {
        // A block no field was asked of was passed over (a window nested too deep): the caller says so.
        if (!loading_ || failed_ || frame.isArray || !frame.node->is_object() || frame.asked.empty())
            return;
        for (auto it = frame.node->begin(); it != frame.node->end(); ++it) {
            if (std::find(frame.asked.begin(), frame.asked.end(), it.key()) == frame.asked.end()) {
                Fail(frame.path + "/" + it.key(), "unknown field" + DidYouMean(it.key(), frame.asked));
                return;
            }
        }
    }

    // The object that receives the next named field: the current block, or the object of the
    // current list item (made when the item's first field arrives).
    Frame* FieldFrame()
    {
        Frame& top = frames_.back();
        if (!top.isArray) {
            if (!top.node->is_object()) {
                Fail(top.path, "expected an object");
                return nullptr;
            }
            return &top;
        }
        std::string path = top.path + "/" + std::to_string(top.index);
        if (top.itemState != ItemState::Pending) {
            Fail(path, "a field outside a list item");
            return nullptr;
        }
        top.itemState = ItemState::Open;
        ListType type = top.listType;
        const Json* itemProto = top.proto;
        Json* node = ItemNode(top);
        Frame& item = frames_.emplace_back(node, false, true, path);
        item.isEntry = type == ListType::Renders;
        if (type == ListType::Plain)
            item.proto = itemProto;
        if (!node->is_object()) {
            Fail(path, "expected an object");
            return nullptr;
        }
        return &frames_.back();
    }

    // The value of the current item of a list: the stored one when loading, a new object when saving.
    Json* ItemNode(Frame& list)
    {
        if (loading_)
            return &(*list.node)[static_cast<size_t>(list.index)];
        list.node->push_back(Json::object());
        return &list.node->back();
    }

    // The named field of the current object, opened as a block (an object) or a list (an array):
    // the stored value when loading (an empty one when it is left out and the new object's record
    // has it; null, with the failure recorded, when it is missing otherwise or of the other type),
    // a new empty one when saving. path receives the field's path.
    Json* OpenField(const char* name, bool isList, std::string& path)
    {
        Frame* frame = FieldFrame();
        if (!frame)
            return nullptr;
        std::string key = KeyFor(*frame, name);
        path = frame->path + "/" + key;
        if (!loading_)
            return &((*frame->node)[key] = isList ? Json::array() : Json::object());
        auto it = frame->node->find(key);
        if (it == frame->node->end()) {
            bool known = (frame->proto && frame->proto->is_object() && frame->proto->contains(key)) ||
                         (frame->isEntry && key == kObjectKey);
            // A list left out is empty; a block left out takes the new object's values.
            if (known || probe_)
                return isList ? &emptyArray_ : &emptyObject_;
            Fail(path, "missing");
            return nullptr;
        }
        Json* node = &*it;
        if (!(isList ? node->is_array() : node->is_object())) {
            Fail(path, isList ? "expected an array" : "expected an object");
            return nullptr;
        }
        return node;
    }

    // Ends the current list item; returns the list's frame (null when the top is no list).
    Frame* CloseItem()
    {
        if (frames_.size() > 1 && frames_.back().isItem) {
            CheckKnown(frames_.back());
            frames_.pop_back();
        }
        Frame& top = frames_.back();
        if (!top.isArray || frames_.size() < 2)
            return nullptr;
        // An item that transferred nothing still takes its place in the array.
        if (!loading_ && top.itemState == ItemState::Pending)
            top.node->push_back(Json::object());
        top.itemState = ItemState::None;
        return &top;
    }

    static int64_t IntegerOf(Kind kind, const void* data)
    {
        switch (kind) {
        case Kind::Int8:
        case Kind::Char: return *static_cast<const int8_t*>(data);
        case Kind::UInt8: return *static_cast<const uint8_t*>(data);
        case Kind::Int16: return *static_cast<const int16_t*>(data);
        case Kind::UInt16: return *static_cast<const uint16_t*>(data);
        case Kind::Int32:
        case Kind::UiBoolean: return *static_cast<const int32_t*>(data);
        case Kind::UInt32:
        case Kind::Ptr: return *static_cast<const uint32_t*>(data);
        default: return 0;
        }
    }

    static bool IsIntegerKind(Kind kind)
    {
        return kind != Kind::Float && kind != Kind::Bool && kind != Kind::Bytes && kind != Kind::String;
    }

    static Json Encode(Kind kind, const void* data, int32_t length, const std::string& hint)
    {
        if (IsIntegerKind(kind)) {
            int64_t v = IntegerOf(kind, data);
            // A number an enumeration has no label for says so, so that it is not taken for a slip.
            std::vector<std::string> labels = HintLabels(hint);
            if (!labels.empty() && (v < 0 || v >= static_cast<int64_t>(labels.size())))
                return Json{{kUnlistedKey, v}};
            return v;
        }
        switch (kind) {
        case Kind::Float: return EncodeJsonFloat(*static_cast<const float*>(data));
        case Kind::Bool: return *static_cast<const int32_t*>(data) != 0;
        case Kind::Bytes:
            return ToHex(static_cast<const uint8_t*>(data), static_cast<size_t>(length > 0 ? length : 0));
        case Kind::String: return EncodeString(*static_cast<const CKVQString*>(data));
        default: return nullptr;
        }
    }

    template <class T>
    static bool DecodeEnumerated(const Json& value, const std::vector<std::string>& labels, T& out,
                                 std::string& expected)
    {
        if (IsBooleanHint(labels)) {
            expected = "true or false (or 1 or 0)";
            if (value.is_boolean()) {
                out = static_cast<T>(value.get<bool>() ? 1 : 0);
                return true;
            }
        } else {
            expected = "one of " + JoinLabels(labels) + " (a label, or its index from 0 to " +
                       std::to_string(labels.size() - 1) + "; {\"" + kUnlistedKey +
                       "\": N} keeps another number)";
            if (value.is_string()) {
                auto at = std::find(labels.begin(), labels.end(), value.get<std::string>());
                if (at == labels.end())
                    return false;
                out = static_cast<T>(at - labels.begin());
                return true;
            }
        }
        if (value.is_object() && value.size() == 1 && value.contains(kUnlistedKey))
            return DecodeInteger(value[kUnlistedKey], out);
        T v{};
        if (!DecodeInteger(value, v) || static_cast<int64_t>(v) < 0 ||
            static_cast<int64_t>(v) >= static_cast<int64_t>(labels.size()))
            return false;
        out = v;
        return true;
    }

    template <class T>
    static bool DecodeNumber(const Json& value, const std::string& hint, T& out, std::string& expected)
    {
        std::vector<std::string> labels = HintLabels(hint);
        if (!labels.empty())
            return DecodeEnumerated(value, labels, out, expected);
        expected = RangeText<T>();
        return DecodeInteger(value, out);
    }

    bool Decode(const Json& value, Kind kind, void* data, int32_t length, const std::string& hint,
                std::string& expected)
    {
        switch (kind) {
        case Kind::Int8:
        case Kind::Char: return DecodeNumber(value, hint, *static_cast<int8_t*>(data), expected);
        case Kind::UInt8: return DecodeNumber(value, hint, *static_cast<uint8_t*>(data), expected);
        case Kind::Int16: return DecodeNumber(value, hint, *static_cast<int16_t*>(data), expected);
        case Kind::UInt16: return DecodeNumber(value, hint, *static_cast<uint16_t*>(data), expected);
        case Kind::Int32:
        case Kind::UiBoolean: return DecodeNumber(value, hint, *static_cast<int32_t*>(data), expected);
        case Kind::UInt32:
        case Kind::Ptr: return DecodeNumber(value, hint, *static_cast<uint32_t*>(data), expected);
        case Kind::Float:
            expected = "a number (or the bits of a float as \"0x\" and 8 hex digits)";
            return DecodeJsonFloat(value, *static_cast<float*>(data));
        case Kind::Bool: {
            // Switches take true/false and 1/0 alike.
            expected = "true or false (or 1 or 0)";
            int32_t& out = *static_cast<int32_t*>(data);
            if (value.is_boolean()) {
                out = value.get<bool>() ? 1 : 0;
                return true;
            }
            int32_t v = -1;
            if (!DecodeInteger(value, v) || (v != 0 && v != 1))
                return false;
            out = v;
            return true;
        }
        case Kind::Bytes: {
            expected = std::to_string(length) + " bytes as a hex string";
            if (!value.is_string() || !FromHex(value.get<std::string>(), scratch_) ||
                scratch_.size() != static_cast<size_t>(length))
                return false;
            if (length > 0)
                std::memcpy(data, scratch_.data(), scratch_.size());
            return true;
        }
        case Kind::String: {
            expected = "a string (or {\"hex\": bytes} for text that is not UTF-8)";
            CKVQString& text = *static_cast<CKVQString*>(data);
            if (!DecodeString(value, text))
                return false;
            // The game keeps its texts in its code page, where a conversion stops at the first
            // character the page has no form for: say so here rather than lose the rest quietly.
            const std::string kept = CKVQString(text.c_str()).GetUtf8String();  // what the stored bytes say
            if (value.is_string() && kept != value.get_ref<const std::string&>()) {
                const std::string& asked = value.get_ref<const std::string&>();
                size_t end = kept.size() < asked.size() ? kept.size() + 1 : asked.size();
                while (end < asked.size() && (static_cast<uint8_t>(asked[end]) & 0xC0) == 0x80)
                    ++end;
                const std::string lost = kept.size() < asked.size() ? asked.substr(kept.size(), end - kept.size()) : "";
                expected = "text the game's code page can hold ('" + lost +
                           "' has no form in it, and the text would stop there)";
                return false;
            }
            return true;
        }
        }
        return false;
    }

    LayoutSchema& schema_;
    bool loading_;
    bool probe_ = false;
    Json document_;
    std::vector<Frame> frames_;
    std::vector<uint8_t> scratch_;
    bool failed_ = false;
    std::string errorText_;
    // What a block or list left out reads as.
    Json emptyObject_ = Json::object();
    Json emptyArray_ = Json::array();
};

// Replaces every empty list with one empty item; true when there was one.
bool AddProbeItems(Json& node)
{
    bool added = false;
    if (node.is_array()) {
        if (node.empty()) {
            node.push_back(Json::object());
            return true;
        }
        for (Json& item : node)
            added = AddProbeItems(item) || added;
    } else if (node.is_object()) {
        for (auto it = node.begin(); it != node.end(); ++it)
            added = AddProbeItems(it.value()) || added;
    }
    return added;
}

// A field value that is not a nested record: {"hex": ...} strings and {"unlisted": N} numbers.
bool IsWrappedValue(const Json& value)
{
    return value.is_object() && value.size() == 1 && (value.contains("hex") || value.contains(kUnlistedKey));
}

Json BriefRecord(const Json& full, const Json* proto, LayoutSchema& schema);

Json BriefItem(const std::string& listKey, const Json& item, const Json* proto, LayoutSchema& schema)
{
    if (listKey == kChildrenKey || listKey == kListKey)
        return BriefRecord(item, schema.Window(), schema);
    if (listKey == kStatesKey)
        return BriefRecord(item, schema.State(), schema);
    if (listKey == kRenderListKey) {
        if (!item.is_object() || !item.contains(kClassKey) || !item.contains(kObjectKey) ||
            !item[kClassKey].is_string())
            return item;  // a class this build does not have: its bytes stay
        Json entry = Json::object();
        entry[kClassKey] = item[kClassKey];
        Json object = BriefRecord(item[kObjectKey], schema.Class(item[kClassKey].get<std::string>()), schema);
        if (!object.empty())
            entry[kObjectKey] = std::move(object);
        return entry;
    }
    const Json* itemProto = nullptr;
    if (proto && proto->is_object() && proto->contains(listKey)) {
        const Json& known = (*proto)[listKey];
        if (known.is_array() && !known.empty())
            itemProto = &known.front();
    }
    return BriefRecord(item, itemProto, schema);
}

Json BriefRecord(const Json& full, const Json* proto, LayoutSchema& schema)
{
    if (!full.is_object() || !proto || !proto->is_object())
        return full;
    Json brief = Json::object();
    for (auto it = full.begin(); it != full.end(); ++it) {
        const std::string& key = it.key();
        const Json& value = it.value();
        const Json* known = proto->contains(key) ? &(*proto)[key] : nullptr;
        if (value.is_array()) {
            if (value.empty() && known)
                continue;
            Json items = Json::array();
            for (const Json& item : value)
                items.push_back(BriefItem(key, item, proto, schema));
            brief[key] = std::move(items);
        } else if (value.is_object() && !IsWrappedValue(value)) {
            Json nested = BriefRecord(value, known, schema);
            if (!(nested.empty() && known))
                brief[key] = std::move(nested);
        } else if (!known || *known != value) {
            brief[key] = value;
        }
    }
    return brief;
}

}  // namespace

// ---- windows ----

LayoutWindows::~LayoutWindows()
{
    for (CKVQWindow* window : windows)
        window->Delete();
    WindowModule::Get().ReleaseDeleted();
}

void LayoutWindows::Transfer(CIArchive& ar)
{
    if (isList) {
        CKVQWindow::SerializeList(ar, windows);
    } else if (ar.IsStoring()) {
        if (!windows.empty())
            windows.front()->WriteBlock(ar);
    } else if (CKVQWindow* root = CKVQWindow::ReadBlock(ar)) {
        windows.push_back(root);
    }
}

LayoutJson StoreLayoutJson(LayoutWindows& layout, LayoutSchema& schema)
{
    JsonRecordText text(schema);
    CIArchive ar;
    ar.SetTextForm(&text);
    layout.Transfer(ar);
    return text.TakeDocument();
}

bool LoadLayoutJson(LayoutJson& document, LayoutWindows& layout, LayoutSchema& schema, std::string& error,
                    bool probe)
{
    if (!document.is_object() || (document.contains(kLayoutKey) == document.contains(kListKey))) {
        error = std::string("expected an object with \"") + kLayoutKey + "\" (a layout) or \"" + kListKey +
                "\" (a window list)";
        return false;
    }
    layout.isList = document.contains(kListKey);
    JsonRecordText text(document, schema, probe);
    CIArchive ar;
    ar.SetTextForm(&text);
    layout.Transfer(ar);
    text.Finish();
    if (text.GetError() != 0) {
        error = text.ErrorText();
        return false;
    }
    return true;
}

LayoutJson BriefLayoutJson(const LayoutJson& full, LayoutSchema& schema)
{
    Json brief = Json::object();
    for (auto it = full.begin(); it != full.end(); ++it) {
        if (it.key() == kLayoutKey) {
            brief[it.key()] = BriefRecord(it.value(), schema.Window(), schema);
        } else if (it.value().is_array()) {
            Json items = Json::array();
            for (const Json& item : it.value())
                items.push_back(BriefItem(it.key(), item, nullptr, schema));
            brief[it.key()] = std::move(items);
        } else {
            brief[it.key()] = it.value();
        }
    }
    return brief;
}

// ---- the records of new objects ----

const LayoutJson* LayoutSchema::Window()
{
    if (!window_.ready && !window_.working)
        WorkOutWindow();
    return window_.ready ? &window_.values : nullptr;
}

const LayoutJson* LayoutSchema::State()
{
    Window();
    return window_.ready ? &state_ : nullptr;
}

const LayoutJson* LayoutSchema::Class(const std::string& name)
{
    auto it = classes_.find(name);
    if (it == classes_.end()) {
        if (!CRenderRegistry::Instance().IsRegistered(name.c_str()))
            return nullptr;
        it = classes_.emplace(name, Record()).first;
        WorkOutClass(name, it->second);
    }
    return it->second.ready ? &it->second.values : nullptr;
}

std::vector<std::string> LayoutSchema::ClassNames()
{
    return CRenderRegistry::Instance().GetClassNames();
}

std::string LayoutSchema::Hint(const std::string& owner, const std::string& path)
{
    Record* record = nullptr;
    if (owner.empty()) {
        Window();
        record = &window_;
    } else {
        Class(owner);
        auto it = classes_.find(owner);
        record = it == classes_.end() ? nullptr : &it->second;
    }
    if (!record || !record->ready)
        return std::string();
    auto it = record->hints.find(path);
    return it == record->hints.end() ? std::string() : it->second;
}

void LayoutSchema::Observe(const std::string& owner, const std::string& path, const void* data)
{
    const Observed& o = observed_;
    if (!o.owner || *o.owner != owner || !o.table)
        return;
    auto* at = static_cast<const unsigned char*>(data);
    if (at < o.base || at >= o.base + o.size)
        return;  // a copy made by the routine, not the attribute itself
    auto offset = static_cast<intptr_t>(at - o.base);
    for (int32_t i = 0; i < o.table->GetCount(); ++i) {
        const CKVQEditHook::Entry* e = o.table->GetEntry(i);
        // Bits share their word's storage; the word as a whole has no hint.
        if (e->hasStorage && !e->absolute && e->offset == offset && e->kind != ATTR_GROUP && e->kind != ATTR_BIT &&
            e->kind != ATTR_ACTION) {
            (*o.hints)[path] = e->hint;
            return;
        }
    }
}

void LayoutSchema::WorkOutWindow()
{
    window_.working = true;
    const Observed outer = observed_;
    {
        LayoutWindows fresh;
        CKVQWindow* window = CKVQWindow::New();
        if (window) {
            fresh.windows.push_back(window);
            CKVQEditHook& table = CKVQWindow::AttributeTable();
            table.SetObject(window, sizeof(CKVQWindow));
            if (table.IsEmpty())
                window->Describe(table);
            static const std::string windowOwner;
            observed_ = Observed{&windowOwner, reinterpret_cast<const unsigned char*>(window), sizeof(CKVQWindow),
                                 &table, &window_.hints};
            Json document = StoreLayoutJson(fresh, *this);
            observed_ = outer;
            window_.values = document[kLayoutKey];
        }
    }
    // A state's record: a window whose one state gives nothing, stored again.
    Json probe = Json::object();
    probe[kLayoutKey] = window_.values;
    probe[kLayoutKey][kStatesKey] = Json::array({Json::object()});
    LayoutWindows probed;
    std::string error;
    if (LoadLayoutJson(probe, probed, *this, error, true)) {
        Json again = StoreLayoutJson(probed, *this);
        const Json& states = again[kLayoutKey][kStatesKey];
        if (states.is_array() && !states.empty())
            state_ = states.front();
    }
    window_.working = false;
    window_.ready = window_.values.is_object();
}

void LayoutSchema::WorkOutClass(const std::string& name, Record& record)
{
    Window();  // the window the object is stored in is described first
    record.working = true;
    const Observed outer = observed_;
    {
        LayoutWindows fresh;
        CKVQWindow* window = CKVQWindow::New();
        IRender* object = CRenderRegistry::Instance().Create(name.c_str());
        if (window && object) {
            fresh.windows.push_back(window);
            window->AddRender(object);
            CKVQEditHook& table = object->BoundTable();
            observed_ = Observed{&name, static_cast<const unsigned char*>(dynamic_cast<void*>(object)),
                                 object->ObjectSize(), &table, &record.hints};
            Json document = StoreLayoutJson(fresh, *this);
            observed_ = outer;
            record.values = document[kLayoutKey][kRenderListKey][0][kObjectKey];
        } else {
            if (window)
                window->Delete();
            if (object)
                DestroyRender(object);
        }
    }
    // The items of the object's lists: each empty list gets one item that gives nothing, and the
    // object is stored again, as deep as the items hold lists of their own.
    for (int depth = 0; depth < kMaxProbeDepth && record.values.is_object(); ++depth) {
        Json object = record.values;
        if (!AddProbeItems(object))
            break;
        Json entry = Json::object();
        entry[kClassKey] = name;
        entry[kObjectKey] = std::move(object);
        Json probe = Json::object();
        probe[kLayoutKey] = Json::object();
        probe[kLayoutKey][kRenderListKey] = Json::array({std::move(entry)});
        LayoutWindows probed;
        std::string error;
        if (!LoadLayoutJson(probe, probed, *this, error, true))
            break;
        Json again = StoreLayoutJson(probed, *this);
        record.values = again[kLayoutKey][kRenderListKey][0][kObjectKey];
    }
    record.working = false;
    record.ready = record.values.is_object();
}

LayoutJson EncodeJsonFloat(float f)
{
    if (!std::isfinite(f)) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        char text[16];
        std::snprintf(text, sizeof(text), "0x%08x", bits);
        return std::string(text);
    }
    char text[64];
    auto result = std::to_chars(text, text + sizeof(text) - 1, f);
    *result.ptr = '\0';
    double shortest = std::strtod(text, nullptr);
    auto back = static_cast<float>(shortest);
    if (std::memcmp(&back, &f, 4) == 0)
        return shortest;
    return static_cast<double>(f);
}

bool DecodeJsonFloat(const LayoutJson& value, float& f)
{
    if (value.is_number()) {
        f = static_cast<float>(value.get<double>());
        return true;
    }
    if (!value.is_string())
        return false;
    const std::string& text = value.get_ref<const std::string&>();
    if (text.size() != 10 || text.compare(0, 2, "0x") != 0)
        return false;
    uint32_t bits = 0;
    auto result = std::from_chars(text.data() + 2, text.data() + text.size(), bits, 16);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return false;
    std::memcpy(&f, &bits, 4);
    return true;
}
