// kvqtool particle dump / build: particle (".psi") files as JSON and back.
//
//   {"spriteSlot": 0, "nEmission": 30, "fLifetime": -1.0, ..., "bRelative": false, "padding": [0, 0, 0],
//    ..., "colorStart": {"red": 1.0, "green": 0.5, "blue": 0.0, "alpha": 1.0}, ..., "fAlphaVar": 0.0}
//
// The fields are the emitter's parameters in file order, named as the engine names them. The
// bytes the engine does not read (the sprite slot and the padding after bRelative) are kept too,
// so build(dump(file)) gives the file back byte for byte. Floats JSON has no number for
// (infinities, NaN) are written as their bits, "0x7fc00000".

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "Commands.h"
#include "LayoutJson.h"
#include "render/particles/ParticleInfo.h"

namespace {

using Json = nlohmann::ordered_json;

const char* const kCommand = "particle";
constexpr size_t kFileBytes = static_cast<size_t>(ParticleInfo::kFileBytes);

enum class FieldKind { UInt32, Int32, Float, Switch, Padding, Color };

struct Field {
    const char* name;
    size_t offset;
    FieldKind kind;
};

#define KVQ_PSI_FIELD(name, kind) {#name, offsetof(ParticleInfo, name), FieldKind::kind}
const Field kFields[] = {
    KVQ_PSI_FIELD(spriteSlot, UInt32),
    KVQ_PSI_FIELD(nEmission, Int32),
    KVQ_PSI_FIELD(fLifetime, Float),
    KVQ_PSI_FIELD(fParticleLifeMin, Float),
    KVQ_PSI_FIELD(fParticleLifeMax, Float),
    KVQ_PSI_FIELD(fDirection, Float),
    KVQ_PSI_FIELD(fSpread, Float),
    KVQ_PSI_FIELD(bRelative, Switch),
    KVQ_PSI_FIELD(padding, Padding),
    KVQ_PSI_FIELD(fSpeedMin, Float),
    KVQ_PSI_FIELD(fSpeedMax, Float),
    KVQ_PSI_FIELD(fGravityMin, Float),
    KVQ_PSI_FIELD(fGravityMax, Float),
    KVQ_PSI_FIELD(fRadialAccelMin, Float),
    KVQ_PSI_FIELD(fRadialAccelMax, Float),
    KVQ_PSI_FIELD(fTangentialAccelMin, Float),
    KVQ_PSI_FIELD(fTangentialAccelMax, Float),
    KVQ_PSI_FIELD(fSizeStart, Float),
    KVQ_PSI_FIELD(fSizeEnd, Float),
    KVQ_PSI_FIELD(fSizeVar, Float),
    KVQ_PSI_FIELD(fSpinStart, Float),
    KVQ_PSI_FIELD(fSpinEnd, Float),
    KVQ_PSI_FIELD(fSpinVar, Float),
    KVQ_PSI_FIELD(colorStart, Color),
    KVQ_PSI_FIELD(colorEnd, Color),
    KVQ_PSI_FIELD(fColorVar, Float),
    KVQ_PSI_FIELD(fAlphaVar, Float),
};
#undef KVQ_PSI_FIELD

// A colour's channels in memory order.
const char* const kChannels[] = {"red", "green", "blue", "alpha"};
constexpr size_t kPaddingBytes = sizeof(ParticleInfo::padding);

// ---- values ----

// Floats as the layout JSON writes them; a number beyond the float range is refused rather than
// turned into an infinity.
bool DecodeFloat(const Json& value, float& f)
{
    if (value.is_number()) {
        const double d = value.get<double>();
        if (std::isfinite(d) && std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max()))
            return false;
    }
    return DecodeJsonFloat(value, f);
}

bool DecodeInteger(const Json& value, int64_t low, int64_t high, int64_t& out)
{
    if (value.is_number_unsigned()) {
        const auto v = value.get<uint64_t>();
        if (v > static_cast<uint64_t>(high))
            return false;
        out = static_cast<int64_t>(v);
        return true;
    }
    if (value.is_number_integer()) {
        out = value.get<int64_t>();
        return out >= low && out <= high;
    }
    return false;
}

template <class T>
T Read(const uint8_t* bytes, size_t offset)
{
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

template <class T>
void Write(uint8_t* bytes, size_t offset, T value)
{
    std::memcpy(bytes + offset, &value, sizeof value);
}

// ---- dump ----

Json DumpField(const Field& field, const uint8_t* bytes)
{
    switch (field.kind) {
    case FieldKind::UInt32:
        return Read<uint32_t>(bytes, field.offset);
    case FieldKind::Int32:
        return Read<int32_t>(bytes, field.offset);
    case FieldKind::Float:
        return EncodeJsonFloat(Read<float>(bytes, field.offset));
    case FieldKind::Switch: {
        // A switch byte other than 0 and 1 is kept as its number.
        const uint8_t b = bytes[field.offset];
        return b <= 1 ? Json(b == 1) : Json(b);
    }
    case FieldKind::Padding: {
        Json padding = Json::array();
        for (size_t i = 0; i < kPaddingBytes; ++i)
            padding.push_back(bytes[field.offset + i]);
        return padding;
    }
    case FieldKind::Color: {
        Json color = Json::object();
        for (size_t i = 0; i < 4; ++i)
            color[kChannels[i]] = EncodeJsonFloat(Read<float>(bytes, field.offset + 4 * i));
        return color;
    }
    }
    return nullptr;
}

int Dump(const std::string& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        return ToolError(kCommand, path + ": cannot be read");
    if (bytes.size() != kFileBytes)
        return ToolError(kCommand, path + ": " + std::to_string(bytes.size()) + " bytes; a particle file holds " +
                                       std::to_string(kFileBytes));
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    Json document = Json::object();
    for (const Field& field : kFields)
        document[field.name] = DumpField(field, data);
    std::printf("%s\n", document.dump(2).c_str());
    return 0;
}

// ---- build ----

// Empty when the value was stored; otherwise what was wrong.
std::string BuildField(const Field& field, const Json& value, uint8_t* bytes)
{
    int64_t n = 0;
    float f = 0.0f;
    switch (field.kind) {
    case FieldKind::UInt32:
        if (!DecodeInteger(value, 0, std::numeric_limits<uint32_t>::max(), n))
            return "expected an integer from 0 to 4294967295";
        Write(bytes, field.offset, static_cast<uint32_t>(n));
        return "";
    case FieldKind::Int32:
        if (!DecodeInteger(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), n))
            return "expected a 32-bit integer";
        Write(bytes, field.offset, static_cast<int32_t>(n));
        return "";
    case FieldKind::Float:
        if (!DecodeFloat(value, f))
            return "expected a number (or the bits of a float, \"0x7fc00000\")";
        Write(bytes, field.offset, f);
        return "";
    case FieldKind::Switch:
        if (value.is_boolean())
            n = value.get<bool>() ? 1 : 0;
        else if (!DecodeInteger(value, 0, 255, n))
            return "expected true, false or a byte";
        bytes[field.offset] = static_cast<uint8_t>(n);
        return "";
    case FieldKind::Padding:
        if (!value.is_array() || value.size() != kPaddingBytes)
            return "expected an array of 3 bytes";
        for (size_t i = 0; i < kPaddingBytes; ++i) {
            if (!DecodeInteger(value[i], 0, 255, n))
                return "/" + std::to_string(i) + ": expected a byte";
            bytes[field.offset + i] = static_cast<uint8_t>(n);
        }
        return "";
    case FieldKind::Color:
        if (!value.is_object())
            return "expected an object with \"red\", \"green\", \"blue\" and \"alpha\"";
        for (auto it = value.begin(); it != value.end(); ++it) {
            size_t channel = 0;
            while (channel < 4 && it.key() != kChannels[channel])
                ++channel;
            if (channel == 4)
                return "/" + it.key() + ": unknown field (a colour has red, green, blue and alpha)";
            if (!DecodeFloat(it.value(), f))
                return "/" + it.key() + ": expected a number";
            Write(bytes, field.offset + 4 * channel, f);
        }
        return "";
    }
    return "unknown kind";
}

int Build(const std::string& jsonPath, const std::string& outPath)
{
    std::string text;
    if (!ReadWholeFile(jsonPath, text))
        return ToolError(kCommand, jsonPath + ": cannot be read");
    const Json document = Json::parse(text, nullptr, false);
    if (document.is_discarded())
        return ToolError(kCommand, jsonPath + ": not JSON");
    if (!document.is_object())
        return ToolError(kCommand, jsonPath + ": /: expected an object of the emitter's parameters");

    // Fields left out keep the values of a new emitter.
    uint8_t bytes[kFileBytes];
    ParticleInfo{}.ToFileBytes(bytes);
    for (auto it = document.begin(); it != document.end(); ++it) {
        const Field* field = nullptr;
        for (const Field& candidate : kFields) {
            if (it.key() == candidate.name)
                field = &candidate;
        }
        if (field == nullptr)
            return ToolError(kCommand, jsonPath + ": /" + it.key() + ": unknown field");
        const std::string problem = BuildField(*field, it.value(), bytes);
        if (!problem.empty()) {
            const bool nested = problem[0] == '/';
            return ToolError(kCommand, jsonPath + ": /" + it.key() + (nested ? "" : ": ") + problem);
        }
    }

    return WriteWholeFile(kCommand, outPath, bytes, kFileBytes);
}

}  // namespace

int RunParticle(const ToolArgs& args)
{
    if (WantsHelp(kCommand, args))
        return 0;
    if (args.size() == 2 && args[0] == "dump")
        return Dump(args[1]);
    if (args.size() == 3 && args[0] == "build")
        return Build(args[1], args[2]);
    return ToolError(kCommand, "usage: kvqtool particle dump FILE.psi | kvqtool particle build FILE.json OUT.psi");
}
