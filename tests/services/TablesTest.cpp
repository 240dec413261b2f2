// Configuration tables: the file rules (lines, quotes, comma-terminated fields, classification,
// shifted rows, long lines), the typed getters, the group and combined indexes, and the registry.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "io/FileSystem.h"
#include "services/DBCfgSystem.h"
#include "services/DBConfig.h"
#include "support/TempFiles.h"

namespace {

const char kItems[] = "id,name,\r\n1,\"Sword\",\r\n2,\"Shield\",\r\n";

CKVQDBConfig Read(const std::string& bytes)
{
    CKVQDBConfig table;
    table.LoadFromMemory(bytes, "t.csv");
    return table;
}

struct FileCase {
    const char* what;
    std::string bytes;
    int32_t columns;
    int32_t rows;
    int32_t col;
    int32_t row;
    int32_t kind;
    std::string text;
    int32_t integer;
};

TEST(TableFile, ReadsEachRuleAsWritten)
{
    // One piece is the x's and their comma; the rest of the line, "8,", is the next row.
    const std::string xs(CKVQDBConfig::kLinePieceLength - 1, 'x');
    const std::string longLine = "a,\n" + xs + ",8,\n";
    const std::vector<FileCase> cases = {
        {"the items example, number", kItems, 2, 2, 1, 2, CKVQDBConfig::kInteger, "2", 2},
        {"the items example, quoted word", kItems, 2, 2, 2, 1, CKVQDBConfig::kText, "Sword", 0},
        {"header without trailing comma loses its last column", "id,name\n1,2,\n", 1, 1, 1, 1, 0, "1", 1},
        {"text after the last comma is no field", "a,b,\n1,2,3\n", 2, 1, 2, 1, 0, "2", 2},
        {"a quoted number is text", "a,\n\"12\",\n", 1, 1, 1, 1, CKVQDBConfig::kText, "12", 12},
        {"text between the first two quotes only", "a,\nx\"yz\"w,\n", 1, 1, 1, 1, CKVQDBConfig::kText, "yz", 0},
        {"a comma inside quotes stays", "a,\n\"b,c\",\n", 1, 1, 1, 1, CKVQDBConfig::kText, "b,c", 0},
        {"a third quote reopens the field to the next comma", "a,\n\"x\"y\"z,w\",\n", 1, 1, 1, 1, CKVQDBConfig::kText,
         "x", 0},
        {"a quote left open to the line's end leaves no field", "a,\n\"b,c\n5,\n", 1, 2, 1, 1, 0, "5", 5},
        {"unquoted text whole", "a,\n 4 apples,\n", 1, 1, 1, 1, CKVQDBConfig::kText, " 4 apples", 4},
        {"a float with six decimals", "a,\n3.0,\n", 1, 1, 1, 1, CKVQDBConfig::kFloat, "3.000000", 3},
        {"a float formatted from its 32-bit value", "a,\n0.1,\n", 1, 1, 1, 1, CKVQDBConfig::kFloat, "0.100000", 0},
        {"a negative float truncates toward zero", "a,\n-2.75,\n", 1, 1, 1, 1, CKVQDBConfig::kFloat, "-2.750000", -2},
        {"signs and spaces are numeric", "a,\n + 5,\n", 1, 1, 1, 1, CKVQDBConfig::kInteger, "0", 0},
        {"an empty cell reads as 0", "a,b,\n,x,\n", 2, 1, 1, 1, CKVQDBConfig::kInteger, "0", 0},
        {"an exponent is text", "a,\n1e3,\n", 1, 1, 1, 1, CKVQDBConfig::kText, "1e3", 1},
        {"blank lines and CR runs vanish", "a,\r\n\r\n\n\r5,\n\n\n6,\n", 1, 2, 1, 2, 0, "6", 6},
        {"a short row shifts the cells after it", "a,b,\n1,\n2,3,\n", 2, 2, 1, 2, 0, "3", 3},
        {"a long row shifts the cells after it", "a,b,\n1,2,3,\n4,5,\n", 2, 2, 1, 2, 0, "3", 3},
        {"a line is cut at the piece length", longLine, 1, 2, 1, 1, CKVQDBConfig::kText, xs, 0},
        {"the rest of a long line is a line of its own", longLine, 1, 2, 1, 2, 0, "8", 8},
        {"an out-of-range integer saturates", "a,\n99999999999,\n", 1, 1, 1, 1, 0, "2147483647", 2147483647},
        {"an empty file has no rows", "", 0, 0, 1, 1, -1, "", 0},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.what);
        const CKVQDBConfig table = Read(c.bytes);
        EXPECT_EQ(table.GetFieldNums(), c.columns);
        EXPECT_EQ(table.GetRowNums(), c.rows);
        EXPECT_EQ(table.GetCellKind(c.col, c.row), c.kind);
        EXPECT_EQ(table.GetStringValue(c.col, c.row), c.text);
        EXPECT_EQ(table.GetIntValue(c.col, c.row), c.integer);
    }
}

TEST(TableFile, LongLinePieceBoundary)
{
    // The second piece starts exactly where the first one stops.
    const std::string first(CKVQDBConfig::kLinePieceLength, 'x');
    const CKVQDBConfig table = Read("a,\n" + first + "9,\n");
    EXPECT_EQ(table.GetRowNums(), 2);
    EXPECT_EQ(table.GetCellCount(), 1u);  // the first piece has no comma
    EXPECT_EQ(table.GetIntValue(1, 1), 9);
}

TEST(TableFile, DenseRowsAfterSparseOnesAreAllKept)
{
    // The first lines hold few commas; the many short rows after them must all be read.
    std::string bytes = "a,\n" + std::string(40000, 'x') + ",\n" + std::string(40000, 'y') + ",\n";
    for (int i = 0; i < 20000; ++i)
        bytes += std::to_string(i) + ",";
    bytes += "\n";
    const CKVQDBConfig table = Read(bytes);
    EXPECT_EQ(table.GetCellCount(), 20002u);
    EXPECT_EQ(table.GetIntValue(1, 3), 0);
    EXPECT_EQ(table.GetStringValue(1, 2), std::string(40000, 'y'));
}

TEST(TableGetters, ZeroOutsideTheTableAndConvertAcrossKinds)
{
    const CKVQDBConfig table = Read("n,f,t,\n7,2.5,\"-12.5kg\",\n8,\n");
    struct Case {
        int32_t col, row;
        int32_t integer;
        float real;
        const char* text;
    };
    const Case cases[] = {
        {1, 1, 7, 7.0f, "7"},       {2, 1, 2, 2.5f, "2.500000"}, {3, 1, -12, -12.5f, "-12.5kg"},
        {0, 1, 0, 0.0f, ""},        {4, 1, 0, 0.0f, ""},         {1, 0, 0, 0.0f, ""},
        {1, 3, 0, 0.0f, ""},        {-1, -1, 0, 0.0f, ""},       {1, 2, 8, 8.0f, "8"},
        {2, 2, 0, 0.0f, ""},  // beyond the cells of the short last row
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "col " << c.col << " row " << c.row);
        EXPECT_EQ(table.GetIntValue(c.col, c.row), c.integer);
        EXPECT_FLOAT_EQ(table.GetFloatValue(c.col, c.row), c.real);
        EXPECT_EQ(table.GetStringValue(c.col, c.row), c.text);
    }
}

TEST(TableGetters, HugeFloatsKeepTheirWholeText)
{
    const CKVQDBConfig table = Read("a,\n" + std::string(39, '9') + ".0,\n" + std::string(400, '9') + ".0,\n");
    char expected[64];
    std::snprintf(expected, sizeof expected, "%f", static_cast<double>(static_cast<float>(9.99999999e38)));
    EXPECT_EQ(table.GetStringValue(1, 1), "inf");  // 10^39 does not fit a 32-bit float
    EXPECT_EQ(table.GetIntValue(1, 1), INT32_MAX);
    const CKVQDBConfig big = Read("a,\n340000000000000000000000000000000000000.0,\n");
    EXPECT_EQ(big.GetStringValue(1, 1).size(), 46u);
    EXPECT_EQ(big.GetStringValue(1, 1).substr(39), ".000000");
}

TEST(TableGetters, FloatCellsHoldWhatAtofReads)
{
    const char* const fields[] = {"0.1", "123456.789", "-2.5", "1.", ".5", "-.", "99999999999999.9",
                                  "0.000000000000001", "1234567890123456.7", " 2.5", "+3.5", "+-1.5", "1.2.3", "0.3"};
    std::string bytes = "a,\n";
    for (const char* field : fields)
        bytes += std::string(field) + ",\n";
    const CKVQDBConfig table = Read(bytes);
    for (int32_t row = 1; row <= table.GetRowNums(); ++row) {
        SCOPED_TRACE(fields[row - 1]);
        EXPECT_EQ(table.GetFloatValue(1, row), static_cast<float>(std::atof(fields[row - 1])));
    }
}

TEST(TableColumns, FieldIndexByNameOrGivenIndex)
{
    const CKVQDBConfig table = Read("id,\"name\",id,\n");
    EXPECT_EQ(table.GetFieldIndex("name"), 2);
    EXPECT_EQ(table.GetFieldIndex("id", 0), 1);
    EXPECT_EQ(table.GetFieldIndex("id", -1), 1);
    EXPECT_EQ(table.GetFieldIndex("missing"), -1);
    EXPECT_EQ(table.GetFieldIndex("missing", 5), 5);
    EXPECT_EQ(table.GetFieldIndex("Name"), -1);
}

std::vector<int32_t> Rows(const IntArray* rows)
{
    std::vector<int32_t> out;
    for (int32_t i = 0; rows && i < rows->Size(); ++i)
        out.push_back(*rows->Get(i));
    return out;
}

TEST(TableIndexes, GroupAndCombinedLookups)
{
    CKVQDBConfig table = Read(std::string(kItems) + "2,\"Sword\",\n1.5,\"\",\n");
    using R = std::vector<int32_t>;
    EXPECT_EQ(Rows(table.GroupField(1, "2")), (R{2, 3}));
    EXPECT_EQ(Rows(table.GroupField(2, "Sword")), (R{1, 3}));
    EXPECT_EQ(Rows(table.GroupField(1, "1.500000")), (R{4}));
    EXPECT_EQ(table.GroupField(1, "9"), nullptr);
    EXPECT_EQ(table.GroupField(0, "2"), nullptr);
    EXPECT_EQ(table.GroupField(3, "2"), nullptr);  // no combined index yet
    EXPECT_EQ(table.UnionFieldIndex(1, 2, 2), 3);
    EXPECT_EQ(table.UnionFieldIndex(1, 2, 2), 3);
    EXPECT_EQ(table.UnionFieldIndex(2, 1, 1), 4);
    EXPECT_EQ(Rows(table.GroupField(3, "2ShieldShield")), (R{2}));
    EXPECT_EQ(Rows(table.GroupField(4, "Sword22")), (R{3}));
    EXPECT_EQ(table.GroupField(1, "2"), table.GroupField(1, "2"));  // built once
}

TEST(TableIndexes, CombinedKeysKeepTheirFullLength)
{
    const std::string a(300, 'a'), b(300, 'b');
    CKVQDBConfig table = Read("x,y,\n" + a + "," + b + ",\n" + a + ",c,\n");
    const int32_t slot = table.UnionFieldIndex(1, 2, 1);
    EXPECT_EQ(Rows(table.GroupField(slot, a + b + a)), std::vector<int32_t>{1});
    EXPECT_EQ(Rows(table.GroupField(slot, a + "c" + a)), std::vector<int32_t>{2});
}

class TableRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.ok());
        GetFileSystem().Reset();
        GetFileSystem().SetApplicationFolder(folder_.path() + "/");
        CKVQDBCfgSystem::Instance().Reset();
    }
    void TearDown() override
    {
        CKVQDBCfgSystem::Instance().Reset();
        GetFileSystem().Reset();
    }
    void Write(const std::string& name, const std::string& bytes) { std::ofstream(folder_ / name) << bytes; }
    TempFolder folder_;
};

TEST_F(TableRegistry, IdentifiersNamesAndFailures)
{
    CKVQDBCfgSystem& registry = CKVQDBCfgSystem::Instance();
    registry.CreateIndex(1);
    Write("a.csv", kItems);
    Write("b.csv", "x,\n1,\n");
    EXPECT_EQ(registry.Load("missing.csv"), 0);
    EXPECT_EQ(registry.GetDBCfgByName("missing.csv"), nullptr);
    EXPECT_EQ(registry.Load(nullptr), 0);
    EXPECT_EQ(registry.Load("a.csv"), 0);  // a failure used up no identifier
    Write("a.csv", "changed,\n");
    EXPECT_EQ(registry.Load("a.csv"), 0);  // not read again
    EXPECT_EQ(registry.Load("b.csv"), 1);  // beyond the capacity asked for: the slots grow
    ASSERT_NE(registry.GetDBCfgByName("a.csv"), nullptr);
    EXPECT_EQ(registry.GetDBCfgByName("a.csv")->GetStringValue(2, 1), "Sword");
    EXPECT_EQ(registry.GetDBCfgByName("a.csv")->GetName(), "a.csv");
    EXPECT_EQ(registry.GetDBCfgByID(1), registry.GetDBCfgByName("b.csv"));
    EXPECT_EQ(registry.GetDBCfgByID(1)->GetID(), 1);
    registry.CreateIndex(5);
    EXPECT_EQ(registry.GetCapacity(), 5);
    EXPECT_EQ(registry.GetDBCfgByID(0), registry.GetDBCfgByName("a.csv"));
    EXPECT_EQ(registry.GetDBCfgByID(4), nullptr);
    EXPECT_EQ(registry.GetDBCfgByID(5), nullptr);
    EXPECT_EQ(registry.GetDBCfgByID(-1), nullptr);
    EXPECT_FALSE(registry.CreateIndex(CKVQDBCfgSystem::kMaxSlots + 1));
    registry.CreateIndex(2);
    EXPECT_EQ(registry.GetCapacity(), 5);
}

}  // namespace
