#pragma once
// `CKVQDBConfig`: one comma-separated table, loaded once and then only read. Designers keep item
// lists, level parameters and texts in such files; scripts ask for cells by column and row
// (both from 1), for columns by header name, and for the rows holding a value in a column.
//
// The file format:
// - lines end at any run of carriage returns and line feeds (blank lines vanish); a line longer
//   than kLinePieceLength characters is read in pieces, each piece a line of its own;
// - a field ends at a comma outside double quotes; the text after a line's last comma is not a
//   field. A row of three values is written "a,b,c,";
// - the first line names the columns; every later line is a row, stored as read (a row with more
//   or fewer fields than the header shifts the cells after it);
// - a field of only digits, '.', '-', '+' and spaces (the empty field too) is a number: a float
//   when it holds a '.', otherwise an integer. Anything else is text, read from just after its
//   first double quote to just before its second (`x"yz"w` is `yz`), or whole when unquoted. A
//   quoted number is therefore text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/IntArray.h"

class CKVQDBConfig {
public:
    enum CellKind : uint8_t {
        kInteger = 0,
        kFloat = 1,
        kText = 2,
    };

    // A line longer than this is read as several lines.
    static constexpr size_t kLinePieceLength = 40959;

    CKVQDBConfig();
    CKVQDBConfig(const CKVQDBConfig&) = delete;
    CKVQDBConfig& operator=(const CKVQDBConfig&) = delete;
    CKVQDBConfig(CKVQDBConfig&&) noexcept;
    CKVQDBConfig& operator=(CKVQDBConfig&&) noexcept;
    ~CKVQDBConfig();

    // Reads the game file (packaged or loose) through the file system. False when it cannot be
    // opened; the table is then left empty.
    bool Load(const char* file);
    // Reads a table from bytes already in memory; name becomes the table's name.
    void LoadFromMemory(std::string_view bytes, std::string_view name);

    // Cell values; column and row count from 1. Outside the table: 0, 0.0 and "".
    int32_t GetIntValue(int32_t col, int32_t row) const;
    float GetFloatValue(int32_t col, int32_t row) const;
    std::string GetStringValue(int32_t col, int32_t row) const;
    // The kind of the cell, or -1 outside the table.
    int32_t GetCellKind(int32_t col, int32_t row) const;

    int32_t GetFieldNums() const { return columnCount_; }
    int32_t GetRowNums() const { return rowCount_; }
    const std::string& GetName() const { return name_; }
    const std::vector<std::string>& GetFieldNames() const { return fieldNames_; }
    size_t GetCellCount() const { return cells_.size(); }

    // index unchanged when it is neither 0 nor -1; otherwise the position (from 1) of the first
    // column named exactly name, or -1.
    int32_t GetFieldIndex(std::string_view name, int32_t index = -1) const;

    // The rows (from 1, ascending) whose key in slot equals value, or null when no row has it or
    // slot is neither a column nor a combined index. The table keeps the list.
    IntArray* GroupField(int32_t slot, std::string_view value);
    // The slot of the combined index over three columns (their texts appended), made and built
    // on the first request: the first one of a table with N columns is N + 1.
    int32_t UnionFieldIndex(int32_t col1, int32_t col2, int32_t col3);
    int32_t GetIndexSlotCount() const { return static_cast<int32_t>(slots_.size()); }

    // The position in the registry, -1 until registered.
    int32_t GetID() const { return id_; }
    void SetID(int32_t id) { id_ = id; }

private:
    struct Cell {
        // The integer, the float's bits, or where the text starts in texts_.
        uint32_t value;
        // A text is cut with its line piece, so its length always fits.
        uint16_t textLength;
        CellKind kind;
    };
    static_assert(kLinePieceLength <= UINT16_MAX);
    struct GroupIndex;
    struct CombinedIndex {
        int32_t columns[3];
        int32_t slot;
    };

    void Clear();
    const Cell* CellAt(int32_t col, int32_t row) const;
    std::string_view TextOf(const Cell& cell) const;
    void AppendCellText(const Cell& cell, std::string& out) const;
    // Reads the fields of the line piece starting at at and returns where it ends: at the first
    // carriage return or line feed, or at limit.
    const char* ReadLine(const char* at, const char* limit, bool header);
    // A header name, or a cell the line scan leaves to the general readers (signs, spaces,
    // long numbers); field is the field's bytes, text what it reads as when it is text.
    void AddField(std::string_view field, std::string_view text, uint32_t seen, bool header);
    GroupIndex* BuildIndex(int32_t slot);

    int32_t columnCount_ = 0;
    int32_t rowCount_ = 0;
    int32_t id_ = -1;
    std::string name_;
    std::vector<std::string> fieldNames_;
    std::vector<Cell> cells_;
    std::string texts_;  // every text cell, back to back
    std::vector<std::unique_ptr<GroupIndex>> slots_;
    std::vector<CombinedIndex> combined_;
};

// C's atoi and atof over a text that need not end with a zero byte. Out-of-range integers
// saturate instead of being undefined.
int32_t TableTextToInt(std::string_view text);
double TableTextToDouble(std::string_view text);
