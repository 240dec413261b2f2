// kvqtool imageset dump / build: image set (".set") files as JSON and back.
//
//   {"image": "ui.png", "entries": [{"name": "ok", "left": 0, "right": 16, "top": 0, "bottom": 8}]}
//
// Both directions run the image set's own record routine, so build(dump(file)) gives the file
// back byte for byte (the names text is derived from the entries, as the engine does on load).
// Names in the game's code page appear as JSON text when they convert to UTF-8 and back
// unchanged, otherwise as {"hex": "..."}.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "common/EngineString.h"
#include "gfx/ImageSet.h"
#include "io/MemFile.h"

namespace {

using Json = nlohmann::ordered_json;

const char* const kCommand = "imageset";
const char* const kImageKey = "image";
const char* const kEntriesKey = "entries";
const char* const kNameKey = "name";
const char* const kHexKey = "hex";
const char* const kRectKeys[] = {"left", "right", "top", "bottom"};

// ---- names ----

bool IsPlainAscii(const std::string& text)
{
    for (unsigned char c : text) {
        if (c == 0 || c >= 0x80)
            return false;
    }
    return true;
}

std::string ToHex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool FromHex(const std::string& text, std::string& out)
{
    if (text.size() % 2 != 0)
        return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        uint8_t byte = 0;
        auto result = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
        if (result.ec != std::errc() || result.ptr != text.data() + i + 2)
            return false;
        out += static_cast<char>(byte);
    }
    return true;
}

Json EncodeName(const std::string& bytes)
{
    if (IsPlainAscii(bytes))
        return bytes;
    CKVQString s;
    s.Assign(bytes.data(), static_cast<int32_t>(bytes.size()));
    const std::string utf8 = s.GetUtf8String();
    CKVQString back;
    back.AssignUtf8(utf8.data(), static_cast<int32_t>(utf8.size()));
    if (std::string(back.c_str(), static_cast<size_t>(back.GetByteLength())) == bytes)
        return utf8;
    return Json{{kHexKey, ToHex(bytes)}};
}

// False when the value is neither text nor {"hex": "..."}.
bool DecodeName(const Json& value, std::string& bytes)
{
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (IsPlainAscii(text)) {
            bytes = text;
            return true;
        }
        CKVQString s;
        s.AssignUtf8(text.data(), static_cast<int32_t>(text.size()));
        bytes.assign(s.c_str(), static_cast<size_t>(s.GetByteLength()));
        return true;
    }
    if (value.is_object() && value.size() == 1 && value.contains(kHexKey) && value[kHexKey].is_string())
        return FromHex(value[kHexKey].get<std::string>(), bytes) && bytes.find('\0') == std::string::npos;
    return false;
}

bool ToInt32(const Json& value, int32_t& out)
{
    if (value.is_number_unsigned()) {
        const auto v = value.get<uint64_t>();
        if (v > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
            return false;
        out = static_cast<int32_t>(v);
        return true;
    }
    if (value.is_number_integer()) {
        const auto v = value.get<int64_t>();
        if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
            return false;
        out = static_cast<int32_t>(v);
        return true;
    }
    return false;
}

// ---- dump ----

int Dump(const std::string& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        return ToolError(kCommand, path + ": cannot be read");
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return ToolError(kCommand, path + ": too large for an image set");
    CIMemFile stream(bytes.data(), static_cast<int32_t>(bytes.size()));
    CImageSet set;
    if (!set.LoadFrom(stream))
        return ToolError(kCommand, path + ": damaged or truncated image set");

    Json entries = Json::array();
    for (const ImageSetEntry& entry : set.Entries()) {
        entries.push_back(Json{{kNameKey, EncodeName(entry.name)},
                               {kRectKeys[0], entry.rect.left},
                               {kRectKeys[1], entry.rect.right},
                               {kRectKeys[2], entry.rect.top},
                               {kRectKeys[3], entry.rect.bottom}});
    }
    const Json document{{kImageKey, EncodeName(set.GetImageName())}, {kEntriesKey, entries}};
    std::printf("%s\n", document.dump(2).c_str());
    return 0;
}

// ---- build ----

int Build(const std::string& jsonPath, const std::string& outPath)
{
    std::string text;
    if (!ReadWholeFile(jsonPath, text))
        return ToolError(kCommand, jsonPath + ": cannot be read");
    const Json document = Json::parse(text, nullptr, false);
    if (document.is_discarded())
        return ToolError(kCommand, jsonPath + ": not JSON");
    auto fail = [&](const std::string& where, const std::string& problem) {
        return ToolError(kCommand, jsonPath + ": " + where + ": " + problem);
    };
    if (!document.is_object())
        return fail("/", "expected an object with \"image\" and \"entries\"");
    if (!document.contains(kImageKey))
        return fail("/image", "missing");
    if (!document.contains(kEntriesKey))
        return fail("/entries", "missing");
    if (!document[kEntriesKey].is_array())
        return fail("/entries", "expected an array");

    CImageSet set;
    std::string image;
    if (!DecodeName(document[kImageKey], image))
        return fail("/image", "expected text or {\"hex\": ...}");
    set.SetImageName(image);

    std::set<std::string> seen;
    const Json& entries = document[kEntriesKey];
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string where = "/entries/" + std::to_string(i);
        const Json& entry = entries[i];
        if (!entry.is_object())
            return fail(where, "expected an object");
        if (!entry.contains(kNameKey))
            return fail(where + "/name", "missing");
        std::string name;
        if (!DecodeName(entry[kNameKey], name))
            return fail(where + "/name", "expected text or {\"hex\": ...}");
        if (!seen.insert(name).second)
            return fail(where + "/name", "\"" + name + "\" names an earlier entry too");
        KVQRect rect;
        int32_t* fields[] = {&rect.left, &rect.right, &rect.top, &rect.bottom};
        for (size_t k = 0; k < 4; ++k) {
            const std::string field = where + "/" + kRectKeys[k];
            if (!entry.contains(kRectKeys[k]))
                return fail(field, "missing");
            if (!ToInt32(entry[kRectKeys[k]], *fields[k]))
                return fail(field, "expected a 32-bit integer");
        }
        set.SetRect(name.c_str(), rect);
    }

    CIMemFile stream;
    if (!set.SaveTo(stream))
        return ToolError(kCommand, outPath + ": the record could not be made");
    return WriteWholeFile(kCommand, outPath, stream.GetBuffer(), static_cast<size_t>(stream.GetSize()));
}

}  // namespace

int RunImageSet(const ToolArgs& args)
{
    if (WantsHelp(kCommand, args))
        return 0;
    if (args.size() == 2 && args[0] == "dump")
        return Dump(args[1]);
    if (args.size() == 3 && args[0] == "build")
        return Build(args[1], args[2]);
    return ToolError(kCommand, "usage: kvqtool imageset dump FILE | kvqtool imageset build FILE.json OUT");
}
