// kvqtool layout dump / build: layout files and window-list files as readable JSON and back.
//
// Both directions load real windows and render objects and run their own record routines,
// once against the byte form and once against a JSON record text, so every render-object class
// has a JSON form as soon as it has a record routine. Classes this build does not know keep
// their record block verbatim (as hex), so build(dump(file)) reproduces the file byte for byte.

#include <pthread.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "Commands.h"
#include "common/EngineString.h"
#include "io/Archive.h"
#include "io/MemFile.h"
#include "io/RecordBlock.h"
#include "io/RecordText.h"
#include "render/OpaqueRender.h"
#include "render/RenderRegistry.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

using Json = nlohmann::ordered_json;
using Kind = IRecordText::Kind;

const char* const kCommand = "layout";
// The top-level keys: a layout file holds one window, a window-list file a list of them.
const char* const kLayoutKey = "window";
const char* const kListKey = "windows";
// Beyond this many nested JSON levels the dump is printed without indentation: indenting a deep
// chain of windows would make the text grow with the square of its depth.
constexpr int kMaxIndentedDepth = 96;

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

// A float as the shortest decimal that gives the same float back (else its exact double);
// values JSON has no number for (infinities, NaN) as their bits.
Json EncodeFloat(float f)
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

bool DecodeFloat(const Json& value, float& f)
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

// ---- the JSON record text ----

// Records as JSON: fields are keys of an object in transfer order (a name used twice gets "#2",
// "#3", ...), a record block is a nested object, a counted list an array. A list item holding
// only a block is that block's object; an item with fields of its own is an object of them.
// Loading walks the same shape and names the path of the first field that does not fit.
class JsonRecordText final : public IRecordText {
public:
    // Store: builds a document.
    JsonRecordText() : loading_(false), document_(Json::object())
    {
        frames_.push_back(Frame{&document_, false, false, ""});
    }
    // Load: reads the given document (kept by the caller).
    explicit JsonRecordText(Json& document) : loading_(true)
    {
        frames_.push_back(Frame{&document, false, false, ""});
    }

    Json TakeDocument() { return std::move(document_); }
    const std::string& ErrorText() const { return errorText_; }

    bool IsLoading() const override { return loading_; }

    bool Value(const char* name, Kind kind, void* data, int32_t length) override
    {
        if (failed_)
            return false;
        Frame* frame = FieldFrame();
        if (!frame)
            return false;
        std::string key = KeyFor(*frame, name);
        if (!loading_) {
            (*frame->node)[key] = Encode(kind, data, length);
            return true;
        }
        const Json* value = Find(*frame, key);
        if (!value)
            return false;
        std::string expected;
        if (!Decode(*value, kind, data, length, expected))
            return Fail(frame->path + "/" + key, "expected " + expected);
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
            Json* node = ItemNode(top);
            if (!node->is_object())
                return Fail(path, "expected an object");
            frames_.push_back(Frame{node, false, false, path});
            return true;
        }
        std::string path;
        Json* node = OpenField(name, false, path);
        if (!node)
            return false;
        frames_.push_back(Frame{node, false, false, path});
        return true;
    }

    void EndBlock() override
    {
        if (frames_.size() > 1 && !frames_.back().isArray)
            frames_.pop_back();
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
        frames_.push_back(Frame{node, true, false, path});
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
        if (it == frame->node->end())
            return Fail(frame->path + "/" + key,
                        "missing (a render object of a class this build does not know is given as the hex "
                        "bytes of its record)");
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
        int32_t index = -1;                // current item (arrays)
        ItemState itemState = ItemState::None;
    };

    bool Fail(const std::string& path, const std::string& message)
    {
        if (!failed_) {
            failed_ = true;
            errorText_ = (path.empty() ? std::string("/") : path) + ": " + message;
        }
        return false;
    }

    static std::string KeyFor(Frame& frame, const char* name)
    {
        std::string base = name && *name ? name : "value";
        int n = ++frame.seen[base];
        return n == 1 ? base : base + "#" + std::to_string(n);
    }

    Json* Find(Frame& frame, const std::string& key)
    {
        auto it = frame.node->find(key);
        if (it == frame.node->end()) {
            Fail(frame.path + "/" + key, "missing");
            return nullptr;
        }
        return &*it;
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
        Json* node = ItemNode(top);
        frames_.push_back(Frame{node, false, true, path});
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
    // the stored value when loading (null, with the failure recorded, when it is missing or of
    // the other type), a new empty one when saving. path receives the field's path.
    Json* OpenField(const char* name, bool isList, std::string& path)
    {
        Frame* frame = FieldFrame();
        if (!frame)
            return nullptr;
        std::string key = KeyFor(*frame, name);
        path = frame->path + "/" + key;
        if (!loading_)
            return &((*frame->node)[key] = isList ? Json::array() : Json::object());
        Json* node = Find(*frame, key);
        if (node && !(isList ? node->is_array() : node->is_object())) {
            Fail(path, isList ? "expected an array" : "expected an object");
            return nullptr;
        }
        return node;
    }

    // Ends the current list item; returns the list's frame (null when the top is no list).
    Frame* CloseItem()
    {
        if (frames_.size() > 1 && frames_.back().isItem)
            frames_.pop_back();
        Frame& top = frames_.back();
        if (!top.isArray || frames_.size() < 2)
            return nullptr;
        // An item that transferred nothing still takes its place in the array.
        if (!loading_ && top.itemState == ItemState::Pending)
            top.node->push_back(Json::object());
        top.itemState = ItemState::None;
        return &top;
    }

    static Json Encode(Kind kind, const void* data, int32_t length)
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
        case Kind::Float: return EncodeFloat(*static_cast<const float*>(data));
        case Kind::Bool: return *static_cast<const int32_t*>(data) != 0;
        case Kind::Bytes:
            return ToHex(static_cast<const uint8_t*>(data), static_cast<size_t>(length > 0 ? length : 0));
        case Kind::String: return EncodeString(*static_cast<const CKVQString*>(data));
        }
        return nullptr;
    }

    bool Decode(const Json& value, Kind kind, void* data, int32_t length, std::string& expected)
    {
        switch (kind) {
        case Kind::Int8:
        case Kind::Char:
            expected = RangeText<int8_t>();
            return DecodeInteger(value, *static_cast<int8_t*>(data));
        case Kind::UInt8:
            expected = RangeText<uint8_t>();
            return DecodeInteger(value, *static_cast<uint8_t*>(data));
        case Kind::Int16:
            expected = RangeText<int16_t>();
            return DecodeInteger(value, *static_cast<int16_t*>(data));
        case Kind::UInt16:
            expected = RangeText<uint16_t>();
            return DecodeInteger(value, *static_cast<uint16_t*>(data));
        case Kind::Int32:
        case Kind::UiBoolean:
            expected = RangeText<int32_t>();
            return DecodeInteger(value, *static_cast<int32_t*>(data));
        case Kind::UInt32:
        case Kind::Ptr:
            expected = RangeText<uint32_t>();
            return DecodeInteger(value, *static_cast<uint32_t*>(data));
        case Kind::Float:
            expected = "a number (or the bits of a float as \"0x\" and 8 hex digits)";
            return DecodeFloat(value, *static_cast<float*>(data));
        case Kind::Bool:
            expected = "true or false";
            if (value.is_boolean()) {
                *static_cast<int32_t*>(data) = value.get<bool>() ? 1 : 0;
                return true;
            }
            return false;
        case Kind::Bytes: {
            expected = std::to_string(length) + " bytes as a hex string";
            if (!value.is_string() || !FromHex(value.get<std::string>(), scratch_) ||
                scratch_.size() != static_cast<size_t>(length))
                return false;
            if (length > 0)
                std::memcpy(data, scratch_.data(), scratch_.size());
            return true;
        }
        case Kind::String:
            expected = "a string (or {\"hex\": bytes} for text that is not UTF-8)";
            return DecodeString(value, *static_cast<CKVQString*>(data));
        }
        return false;
    }

    bool loading_;
    Json document_;
    std::vector<Frame> frames_;
    std::vector<uint8_t> scratch_;
    bool failed_ = false;
    std::string errorText_;
};

// ---- the files ----

// The windows of a layout file (one) or a window-list file, released when done.
struct LayoutWindows {
    bool isList = false;
    std::vector<CKVQWindow*> windows;

    LayoutWindows() = default;
    LayoutWindows(const LayoutWindows&) = delete;
    LayoutWindows& operator=(const LayoutWindows&) = delete;
    ~LayoutWindows()
    {
        for (CKVQWindow* window : windows)
            window->Delete();
        WindowModule::Get().ReleaseDeleted();
    }

    // Both directions, both forms.
    void Transfer(CIArchive& ar)
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
};

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = path + ": no such file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        error = path + ": cannot be read";
        return false;
    }
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        error = path + ": larger than 2 GiB";
        return false;
    }
    return true;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size, std::string& error)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        error = path + ": cannot be written";
        return false;
    }
    bool ok = size == 0 || std::fwrite(data, 1, size, out) == size;
    if (std::fclose(out) != 0)
        ok = false;
    if (!ok)
        error = path + ": writing failed";
    return ok;
}

int32_t ReadInt32(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(bytes[at + static_cast<size_t>(i)]) << (8 * i);
    return static_cast<int32_t>(v);
}

// A layout file is one window block filling the file; anything else is read as a window list.
bool IsLayoutFile(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 8)
        return false;
    int32_t n = ReadInt32(bytes, 0);
    return n >= 0 && n == ReadInt32(bytes, 4) && static_cast<size_t>(n) + 8 == bytes.size();
}

std::vector<uint8_t> StoreBinary(LayoutWindows& layout)
{
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    layout.Transfer(out);
    return std::vector<uint8_t>(out.GetBuffer(), out.GetBuffer() + out.GetSize());
}

// Reads the windows back from a JSON document; false with the path of the first bad field.
bool LoadFromJson(Json& document, LayoutWindows& layout, std::string& error)
{
    if (!document.is_object() || (document.contains(kLayoutKey) == document.contains(kListKey))) {
        error = std::string("expected an object with \"") + kLayoutKey + "\" (a layout) or \"" + kListKey +
                "\" (a window list)";
        return false;
    }
    layout.isList = document.contains(kListKey);
    JsonRecordText text(document);
    CIArchive ar;
    ar.SetTextForm(&text);
    layout.Transfer(ar);
    if (text.GetError() != 0) {
        error = text.ErrorText();
        return false;
    }
    return true;
}

size_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return i;
    }
    return n;
}

int JsonDepth(const Json& value)
{
    int deepest = 0;
    std::vector<std::pair<const Json*, int>> stack{{&value, 1}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, depth);
        if (node->is_structured()) {
            for (const Json& child : *node)
                stack.emplace_back(&child, depth + 1);
        }
    }
    return deepest;
}

void PrepareEngine()
{
    RegisterRenderClasses();
    SetKeepUnknownRenderObjects(true);
}

int Dump(const std::string& path)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFile(path, bytes, error))
        return ToolError(kCommand, error);
    if (bytes.size() < 4)
        return ToolError(kCommand, path + ": too short for a layout or window-list file (" +
                                       std::to_string(bytes.size()) + " bytes)");
    PrepareEngine();

    LayoutWindows layout;
    layout.isList = !IsLayoutFile(bytes);
    CIMemFile view;
    view.SetView(bytes.data(), static_cast<int32_t>(bytes.size()));
    CIArchive ar(&view, CIArchive::SM_READ);
    record_block::damagedRecords = 0;
    record_block::skippedRecords = 0;
    layout.Transfer(ar);
    if (ar.GetError() != 0 || record_block::damagedRecords != 0 || (!layout.isList && layout.windows.empty()))
        return ToolError(kCommand, path + ": damaged: read as a " + (layout.isList ? "window list" : "layout") +
                                       ", its records end before their counts and lengths say");
    if (record_block::skippedRecords != 0)
        return ToolError(kCommand, path + ": windows nested deeper than " +
                                       std::to_string(CKVQWindow::kMaxNestingDepth) +
                                       " levels, which the engine does not load");
    if (view.Tell() != view.GetSize())
        return ToolError(kCommand, path + ": damaged: " + std::to_string(view.GetSize() - view.Tell()) +
                                       " bytes follow the " + (layout.isList ? "window list" : "layout"));

    JsonRecordText text;
    CIArchive textAr;
    textAr.SetTextForm(&text);
    layout.Transfer(textAr);
    Json document = text.TakeDocument();

    // The dump must build back into the same bytes; say so when this file cannot (it was not
    // written by this engine, or holds values the engine would write differently).
    LayoutWindows rebuilt;
    std::string rebuildError;
    if (!LoadFromJson(document, rebuilt, rebuildError)) {
        std::fprintf(stderr, "kvqtool %s: %s: note: the dump does not build back: %s\n", kCommand, path.c_str(),
                     rebuildError.c_str());
    } else {
        std::vector<uint8_t> again = StoreBinary(rebuilt);
        if (again != bytes)
            std::fprintf(stderr,
                         "kvqtool %s: %s: note: building this dump gives a file that differs from byte %zu "
                         "(the file is not in the form this engine writes)\n",
                         kCommand, path.c_str(), FirstDifference(again, bytes));
    }

    std::string out;
    try {
        out = JsonDepth(document) > kMaxIndentedDepth ? document.dump() : document.dump(2);
    } catch (const Json::exception& e) {
        return ToolError(kCommand, path + ": cannot be printed as JSON: " + e.what());
    }
    out += '\n';
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        return ToolError(kCommand, "writing to standard output failed");
    return 0;
}

int Build(const std::string& jsonPath, const std::string& outPath)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFile(jsonPath, bytes, error))
        return ToolError(kCommand, error);
    Json document = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (document.is_discarded()) {
        // Parse again with exceptions only to learn where the text breaks.
        try {
            document = Json::parse(bytes.begin(), bytes.end());
        } catch (const Json::parse_error& e) {
            return ToolError(kCommand, jsonPath + ": not JSON: " + e.what());
        }
        return ToolError(kCommand, jsonPath + ": not JSON");
    }
    PrepareEngine();
    LayoutWindows layout;
    if (!LoadFromJson(document, layout, error))
        return ToolError(kCommand, jsonPath + ": " + error);
    std::vector<uint8_t> binary = StoreBinary(layout);
    if (!WriteFile(outPath, binary.data(), binary.size(), error))
        return ToolError(kCommand, error);
    return 0;
}

// Layouts nest up to the engine's limit, and records and JSON documents are walked recursively:
// the work runs on a thread whose stack holds the deepest layout the engine loads.
constexpr size_t kWorkStackBytes = size_t{512} << 20;

int RunOnLargeStack(const std::function<int()>& work)
{
    struct Job {
        const std::function<int()>* work;
        int status;
    } job{&work, 1};
    pthread_attr_t attr;
    pthread_t thread;
    bool started = pthread_attr_init(&attr) == 0 && pthread_attr_setstacksize(&attr, kWorkStackBytes) == 0 &&
                   pthread_create(
                       &thread, &attr,
                       [](void* arg) -> void* {
                           auto* j = static_cast<Job*>(arg);
                           j->status = (*j->work)();
                           return nullptr;
                       },
                       &job) == 0;
    pthread_attr_destroy(&attr);
    if (!started)
        return work();  // no thread to be had: run here and hope the layout is not that deep
    pthread_join(thread, nullptr);
    return job.status;
}

}  // namespace

int RunLayout(const ToolArgs& args)
{
    if (WantsHelp(kCommand, args))
        return 0;
    if (args.size() == 2 && args[0] == "dump")
        return RunOnLargeStack([&] { return Dump(args[1]); });
    if (args.size() == 3 && args[0] == "build")
        return RunOnLargeStack([&] { return Build(args[1], args[2]); });
    return ToolError(kCommand, "usage: kvqtool layout dump FILE | kvqtool layout build FILE.json OUT");
}
