// Arbitrary bytes as a configuration table: loading, every getter over and around the table,
// and the group and combined indexes must never crash, and each group list must name only rows
// of the table, in ascending order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/DBConfig.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckRows(const IntArray* rows, int32_t rowCount)
{
    if (!rows)
        return;
    Check(rows->Size() > 0);
    int32_t last = 0;
    for (int32_t i = 0; i < rows->Size(); ++i) {
        const int32_t row = *rows->Get(i);
        Check(row > last && row <= rowCount);
        last = row;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CKVQDBConfig table;
    table.LoadFromMemory(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.csv");
    const int32_t columns = table.GetFieldNums();
    const int32_t rows = table.GetRowNums();
    Check(columns >= 0 && rows >= 0);
    const int32_t lastCol = columns < 8 ? columns + 1 : 8;
    const int32_t lastRow = rows < 16 ? rows + 1 : 16;
    for (int32_t col = 0; col <= lastCol; ++col) {
        for (int32_t row = 0; row <= lastRow; ++row) {
            const std::string text = table.GetStringValue(col, row);
            (void)table.GetIntValue(col, row);
            (void)table.GetFloatValue(col, row);
            if (col >= 1 && col <= columns)
                CheckRows(table.GroupField(col, text), rows);
        }
    }
    if (columns > 0) {
        const int32_t slot = table.UnionFieldIndex(1, columns, 1);
        Check(slot == columns + 1 && table.UnionFieldIndex(1, columns, 1) == slot);
        const std::string key = table.GetStringValue(1, 1) + table.GetStringValue(columns, 1) + table.GetStringValue(1, 1);
        const IntArray* found = table.GroupField(slot, key);
        CheckRows(found, rows);
        Check(rows == 0 || found != nullptr);
    }
    return 0;
}
