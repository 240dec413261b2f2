#include "services/DBConfig.h"

#include <algorithm>
#include <array>
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

bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
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

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// atof of a numeric field (digits, '.', '-', '+' and spaces only) without a copy: from_chars
// reads what strtod reads once the leading spaces and a lone '+' are stepped over.
double NumericFieldToDouble(std::string_view field)
{
    // The common "digits.digits" with at most 15 digits: both the digits as an integer and the
    // power of ten are exact doubles, so one division gives the correctly rounded value strtod
    // gives.
    {
        size_t i = 0;
        const bool negative = !field.empty() && field[0] == '-';
        if (negative)
            ++i;
        int64_t digits = 0;
        int count = 0;
        int decimals = -1;
        for (; i < field.size() && count <= 15; ++i) {
            const char c = field[i];
            if (c >= '0' && c <= '9') {
                digits = digits * 10 + (c - '0');
                ++count;
                if (decimals >= 0)
                    ++decimals;
            } else if (c == '.' && decimals < 0) {
                decimals = 0;
            } else {
                break;
            }
        }
        if (i == field.size() && count > 0 && count <= 15 && decimals >= 0) {
            const double value = static_cast<double>(digits) / kPowersOfTen[decimals];
            return negative ? -value : value;
        }
    }
    size_t at = 0;
    while (at < field.size() && field[at] == ' ')
        ++at;
    if (at < field.size() && field[at] == '+') {
        ++at;
        if (at < field.size() && (field[at] == '+' || field[at] == '-'))
            return 0.0;
    }
    double value = 0.0;
    const auto result = std::from_chars(field.data() + at, field.data() + field.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large or too small for a double: strtod's answer, from a copy.
        return TableTextToDouble(field.substr(at));
    }
    return result.ec == std::errc() ? value : 0.0;
}

// atof of a field of only digits and dots, at least one of each.
double DigitsAndDotToDouble(std::string_view field)
{
    // One dot and at most 15 digits: both the digits as an integer and the power of ten are
    // exact doubles, so one division gives the correctly rounded value strtod gives.
    if (field.size() <= 16) {
        uint64_t digits = 0;
        size_t dot = std::string_view::npos;
        for (size_t i = 0; i < field.size(); ++i) {
            if (field[i] != '.')
                digits = digits * 10 + static_cast<uint64_t>(field[i] - '0');
            else if (dot == std::string_view::npos)
                dot = i;
            else
                return NumericFieldToDouble(field);
        }
        if (field.size() >= 2)
            return static_cast<double>(digits) / kPowersOfTen[field.size() - 1 - dot];
    }
    return NumericFieldToDouble(field);
}

}  // namespace

struct CKVQDBConfig::GroupIndex {
    std::unordered_map<std::string, IntArray, TextHash, std::equal_to<>> rows;
};

CKVQDBConfig::CKVQDBConfig() = default;
CKVQDBConfig::~CKVQDBConfig() = default;
CKVQDBConfig::CKVQDBConfig(CKVQDBConfig&&) noexcept = default;
CKVQDBConfig& CKVQDBConfig::operator=(CKVQDBConfig&&) noexcept = default;

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

namespace {

// What a byte means to the line scanner. The first four are what a field is made of; the last
// three stop the scan.
enum : uint8_t {
    kDigitByte = 1,
    kDotByte = 2,
    kSignOrSpaceByte = 4,
    kTextByte = 8,
    kQuoteByte = 16,
    kCommaByte = 32,
    kLineEndByte = 64,
};

constexpr auto kByteClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c)
        classes[static_cast<size_t>(c)] = kTextByte;
    for (int c = '0'; c <= '9'; ++c)
        classes[static_cast<size_t>(c)] = kDigitByte;
    classes['.'] = kDotByte;
    classes['-'] = kSignOrSpaceByte;
    classes['+'] = kSignOrSpaceByte;
    classes[' '] = kSignOrSpaceByte;
    classes['"'] = kQuoteByte;
    classes[','] = kCommaByte;
    classes['\r'] = kLineEndByte;
    classes['\n'] = kLineEndByte;
    return classes;
}();

// Cells to reserve: the comma density of the first bytes, spread over the whole text, with a
// little room. Counting every comma first would cost as much as a good part of the load.
size_t EstimateCells(std::string_view bytes)
{
    constexpr size_t kSample = 64 * 1024;
    const size_t sample = std::min(bytes.size(), kSample);
    size_t commas = 0;
    const char* const last = bytes.data() + sample;
    for (const char* c = bytes.data(); c < last; ++c) {
        c = static_cast<const char*>(std::memchr(c, ',', static_cast<size_t>(last - c)));
        if (!c)
            break;
        ++commas;
    }
    if (sample == bytes.size())
        return commas;
    const double perByte = static_cast<double>(commas) / static_cast<double>(sample);
    return static_cast<size_t>(perByte * static_cast<double>(bytes.size()) * 1.05) + 16;
}

}  // namespace

void CKVQDBConfig::LoadFromMemory(std::string_view bytes, std::string_view name)
{
    Clear();
    cells_.reserve(EstimateCells(bytes));
    // Texts are never longer than the file; untouched capacity costs no memory.
    texts_.reserve(bytes.size());
    int32_t lines = 0;
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        if (*at == '\r' || *at == '\n') {
            ++at;
            continue;
        }
        const size_t room = std::min(static_cast<size_t>(end - at), kLinePieceLength);
        at = ReadLine(at, at + room, lines == 0);
        ++lines;
    }
    columnCount_ = static_cast<int32_t>(fieldNames_.size());
    // An empty file has no header and no rows (not minus one).
    rowCount_ = lines > 0 ? lines - 1 : 0;
    name_.assign(name);
    slots_.resize(static_cast<size_t>(columnCount_));
    // A table is kept for long: give back what the estimates left over when it is much.
    if (cells_.capacity() > cells_.size() + cells_.size() / 4 + 64)
        cells_.shrink_to_fit();
}

const char* CKVQDBConfig::ReadLine(const char* at, const char* limit, bool header)
{
    for (;;) {
        const char* const start = at;
        const char* quote = nullptr;
        const char* close = nullptr;
        bool quoted = false;
        uint32_t seen = 0;
        // A field ends at a comma outside quotes; a line end or the piece's end before one
        // leaves the text read so far as no field.
        for (;; ++at) {
            if (at == limit)
                return at;
            const uint8_t kind = kByteClasses[static_cast<unsigned char>(*at)];
            if (kind < kQuoteByte) {
                seen |= kind;
            } else if (kind == kCommaByte) {
                if (!quoted)
                    break;
            } else if (kind == kQuoteByte) {
                if (!quote)
                    quote = at;
                else if (!close)
                    close = at;
                quoted = !quoted;
                seen |= kTextByte;
            } else {
                return at;
            }
        }
        const std::string_view field(start, static_cast<size_t>(at - start));
        // The text between the first two quotes (to the field's end when the second is missing).
        const std::string_view text =
            quote ? std::string_view(quote + 1, static_cast<size_t>((close ? close : at) - quote - 1)) : field;
        if (!header && seen == kDigitByte && field.size() <= 9) {
            // Plain digits that cannot leave int32: no sign, spaces or saturation to mind.
            uint32_t value = 0;
            for (const char c : field)
                value = value * 10 + static_cast<uint32_t>(c - '0');
            cells_.push_back(Cell{value, 0, kInteger});
        } else if (!header && seen == (kDigitByte | kDotByte)) {
            cells_.push_back(Cell{FloatBits(static_cast<float>(DigitsAndDotToDouble(field))), 0, kFloat});
        } else if (!header && (seen & kTextByte)) {
            cells_.push_back(Cell{static_cast<uint32_t>(texts_.size()), static_cast<uint16_t>(text.size()), kText});
            texts_.append(text);
        } else {
            AddField(field, text, seen, header);
        }
        ++at;
    }
}

void CKVQDBConfig::AddField(std::string_view field, std::string_view text, uint32_t seen, bool header)
{
    if (header) {
        fieldNames_.emplace_back(text);
        return;
    }
    if (seen & kTextByte) {
        cells_.push_back(Cell{static_cast<uint32_t>(texts_.size()), static_cast<uint16_t>(text.size()), kText});
        texts_.append(text);
    } else if (seen & kDotByte) {
        cells_.push_back(Cell{FloatBits(static_cast<float>(NumericFieldToDouble(field))), 0, kFloat});
    } else {
        cells_.push_back(Cell{static_cast<uint32_t>(TableTextToInt(field)), 0, kInteger});
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
