#include "services/DBConfig.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <unordered_map>

#include "io/File.h"
#include "io/FileSystem.h"

namespace {

bool IsNumericChar(char c)
{
    return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == ' ';
}

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text of a field: between its first and second double quote when it has one, else whole.
std::string_view QuotedText(std::string_view field)
{
    const size_t open = field.find('"');
    if (open == std::string_view::npos)
        return field;
    const size_t close = field.find('"', open + 1);
    return field.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
}

uint32_t FloatBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A float truncated toward zero; values outside int32 saturate and NaN is 0.
int32_t TruncateFloat(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0f)
        return INT32_MAX;
    if (value <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

void AppendFloat(float value, std::string& out)
{
    // "%f" of the largest float needs 46 characters; measure rather than guess.
    char small[64];
    const int length = std::snprintf(small, sizeof small, "%f", static_cast<double>(value));
    if (length < 0)
        return;
    if (static_cast<size_t>(length) < sizeof small) {
        out.append(small, static_cast<size_t>(length));
        return;
    }
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(length) + 1);
    std::snprintf(out.data() + at, static_cast<size_t>(length) + 1, "%f", static_cast<double>(value));
    out.resize(at + static_cast<size_t>(length));
}

void AppendInt(int32_t value, std::string& out)
{
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

}  // namespace

int32_t TableTextToInt(std::string_view text)
{
    size_t at = 0;
    while (at < text.size() && IsCSpace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1)
            value = static_cast<int64_t>(INT32_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    return static_cast<int32_t>(value);
}

double TableTextToDouble(std::string_view text)
{
    // strtod needs a terminated text; the C locale's decimal point is the only one tables use.
    const std::string terminated(text);
    return std::strtod(terminated.c_str(), nullptr);
}

struct CKVQDBConfig::GroupIndex {
    std::unordered_map<std::string, IntArray, TextHash, std::equal_to<>> rows;
};

CKVQDBConfig::CKVQDBConfig() = default;
CKVQDBConfig::~CKVQDBConfig() = default;

void CKVQDBConfig::Clear()
{
    columnCount_ = 0;
    rowCount_ = 0;
    name_.clear();
    fieldNames_.clear();
    cells_.clear();
    texts_.clear();
    slots_.clear();
    combined_.clear();
}

bool CKVQDBConfig::Load(const char* file)
{
    Clear();
    IFile* stream = file ? GetFileSystem().Open(file, true) : nullptr;
    if (!stream)
        return false;
    std::string bytes;
    const int32_t size = stream->GetSize();
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        stream->Seek(0, IFile::kFromStart);
        const int32_t got = stream->Read(bytes.data(), size);
        bytes.resize(static_cast<size_t>(got > 0 ? got : 0));
    }
    GetFileSystem().Close(stream);
    LoadFromMemory(bytes, file);
    return true;
}

void CKVQDBConfig::LoadFromMemory(std::string_view bytes, std::string_view name)
{
    Clear();
    int32_t lines = 0;
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        if (*at == '\r' || *at == '\n') {
            ++at;
            continue;
        }
        const size_t room = std::min(static_cast<size_t>(end - at), kLinePieceLength);
        const char* stop = at;
        const char* const limit = at + room;
        while (stop < limit && *stop != '\r' && *stop != '\n')
            ++stop;
        ReadRow(std::string_view(at, static_cast<size_t>(stop - at)), lines == 0);
        ++lines;
        at = stop;
    }
    columnCount_ = static_cast<int32_t>(fieldNames_.size());
    // An empty file has no header and no rows (not minus one).
    rowCount_ = lines > 0 ? lines - 1 : 0;
    name_.assign(name);
    slots_.resize(static_cast<size_t>(columnCount_));
}

void CKVQDBConfig::ReadRow(std::string_view line, bool header)
{
    size_t start = 0;
    bool quoted = false;
    bool numeric = true;
    bool dotted = false;
    bool hasQuote = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ',' && !quoted) {
            const std::string_view field = line.substr(start, i - start);
            if (header) {
                fieldNames_.emplace_back(QuotedText(field));
            } else if (numeric) {
                Cell cell{kInteger, 0, 0};
                if (dotted) {
                    cell.kind = kFloat;
                    cell.value = FloatBits(static_cast<float>(TableTextToDouble(field)));
                } else {
                    cell.value = static_cast<uint32_t>(TableTextToInt(field));
                }
                cells_.push_back(cell);
            } else {
                const std::string_view text = hasQuote ? QuotedText(field) : field;
                cells_.push_back(Cell{kText, static_cast<uint32_t>(texts_.size()), static_cast<uint32_t>(text.size())});
                texts_.append(text);
            }
            start = i + 1;
            numeric = true;
            dotted = false;
            hasQuote = false;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            hasQuote = true;
        }
        if (numeric && !IsNumericChar(c))
            numeric = false;
        dotted = dotted || c == '.';
    }
}

const CKVQDBConfig::Cell* CKVQDBConfig::CellAt(int32_t col, int32_t row) const
{
    if (col < 1 || col > columnCount_ || row < 1 || row > rowCount_)
        return nullptr;
    // Shifted rows can leave fewer cells than columns × rows.
    const size_t at = static_cast<size_t>(row - 1) * static_cast<size_t>(columnCount_) + static_cast<size_t>(col - 1);
    return at < cells_.size() ? &cells_[at] : nullptr;
}

std::string_view CKVQDBConfig::TextOf(const Cell& cell) const
{
    return std::string_view(texts_).substr(cell.value, cell.textLength);
}

int32_t CKVQDBConfig::GetCellKind(int32_t col, int32_t row) const
{
    const Cell* cell = CellAt(col, row);
    return cell ? cell->kind : -1;
}

int32_t CKVQDBConfig::GetIntValue(int32_t col, int32_t row) const
{
    const Cell* cell = CellAt(col, row);
    if (!cell)
        return 0;
    switch (cell->kind) {
    case kInteger:
        return static_cast<int32_t>(cell->value);
    case kFloat:
        return TruncateFloat(BitsFloat(cell->value));
    case kText:
        return TableTextToInt(TextOf(*cell));
    }
    return 0;
}

float CKVQDBConfig::GetFloatValue(int32_t col, int32_t row) const
{
    const Cell* cell = CellAt(col, row);
    if (!cell)
        return 0.0f;
    switch (cell->kind) {
    case kInteger:
        return static_cast<float>(static_cast<int32_t>(cell->value));
    case kFloat:
        return BitsFloat(cell->value);
    case kText:
        return static_cast<float>(TableTextToDouble(TextOf(*cell)));
    }
    return 0.0f;
}

void CKVQDBConfig::AppendCellText(const Cell& cell, std::string& out) const
{
    switch (cell.kind) {
    case kInteger:
        AppendInt(static_cast<int32_t>(cell.value), out);
        break;
    case kFloat:
        AppendFloat(BitsFloat(cell.value), out);
        break;
    case kText:
        out.append(TextOf(cell));
        break;
    }
}

std::string CKVQDBConfig::GetStringValue(int32_t col, int32_t row) const
{
    std::string text;
    if (const Cell* cell = CellAt(col, row))
        AppendCellText(*cell, text);
    return text;
}

int32_t CKVQDBConfig::GetFieldIndex(std::string_view name, int32_t index) const
{
    if (index != 0 && index != -1)
        return index;
    for (size_t i = 0; i < fieldNames_.size(); ++i) {
        if (fieldNames_[i] == name)
            return static_cast<int32_t>(i) + 1;
    }
    return -1;
}

CKVQDBConfig::GroupIndex* CKVQDBConfig::BuildIndex(int32_t slot)
{
    const CombinedIndex* combined = nullptr;
    for (const CombinedIndex& candidate : combined_) {
        if (candidate.slot == slot)
            combined = &candidate;
    }
    auto index = std::make_unique<GroupIndex>();
    std::string key;
    for (int32_t row = 1; row <= rowCount_; ++row) {
        key.clear();
        if (combined) {
            // The three texts appended whole, however long.
            for (const int32_t col : combined->columns) {
                if (const Cell* cell = CellAt(col, row))
                    AppendCellText(*cell, key);
            }
        } else if (const Cell* cell = CellAt(slot, row)) {
            AppendCellText(*cell, key);
        }
        auto found = index->rows.find(std::string_view(key));
        if (found == index->rows.end())
            found = index->rows.emplace(key, IntArray()).first;
        found->second.Push(row);
    }
    slots_[static_cast<size_t>(slot - 1)] = std::move(index);
    return slots_[static_cast<size_t>(slot - 1)].get();
}

IntArray* CKVQDBConfig::GroupField(int32_t slot, std::string_view value)
{
    if (slot < 1 || slot > static_cast<int32_t>(slots_.size()))
        return nullptr;
    GroupIndex* index = slots_[static_cast<size_t>(slot - 1)].get();
    if (!index)
        index = BuildIndex(slot);
    auto found = index->rows.find(value);
    return found == index->rows.end() ? nullptr : &found->second;
}

int32_t CKVQDBConfig::UnionFieldIndex(int32_t col1, int32_t col2, int32_t col3)
{
    for (const CombinedIndex& existing : combined_) {
        if (existing.columns[0] == col1 && existing.columns[1] == col2 && existing.columns[2] == col3)
            return existing.slot;
    }
    const int32_t slot = static_cast<int32_t>(slots_.size()) + 1;
    combined_.push_back(CombinedIndex{{col1, col2, col3}, slot});
    slots_.emplace_back();
    BuildIndex(slot);
    return slot;
}
