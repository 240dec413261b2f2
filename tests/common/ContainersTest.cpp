#include "common/HandleTable.h"
#include "common/IntArray.h"
#include "common/Queue.h"
#include "common/StringMap.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Table = HandleTable<int>;

std::vector<int32_t> Elements(const IntArray& a)
{
    std::vector<int32_t> out;
    for (int32_t i = 0; i < a.Size(); ++i) {
        out.push_back(*a.Get(i));
    }
    return out;
}

IntArray Counting(int32_t n)
{
    IntArray a;
    for (int32_t i = 0; i < n; ++i) {
        a.Push(i);
    }
    return a;
}

TEST(HandleTable, HandlesPackSlotAndGenerationAndOnlyExactOnesResolve)
{
    Table t;
    int a = 1, b = 2;
    EXPECT_EQ(t.Enter(nullptr), 0u);
    const uint32_t ha = t.Enter(&a);
    EXPECT_EQ(ha, 0x01000000u);
    EXPECT_EQ(t.Enter(&b), 0x01000001u);
    EXPECT_EQ(t.Lookup(ha), &a);
    EXPECT_EQ(t.Lookup(0), nullptr);
    EXPECT_EQ(t.Lookup(Table::MakeHandle(2, 1)), nullptr);  // index past the end
    EXPECT_EQ(t.Lookup(Table::MakeHandle(0, 2)), nullptr);  // wrong generation
    EXPECT_FALSE(t.Remove(Table::MakeHandle(0, 2)));
    EXPECT_EQ(t.Lookup(ha), &a);
}

TEST(HandleTable, StaleHandleNeverReachesTheNextOccupant)
{
    Table t;
    int a = 1, b = 2;
    const uint32_t old = t.Enter(&a);
    EXPECT_TRUE(t.Remove(old));
    EXPECT_EQ(t.Lookup(old), nullptr);

    const uint32_t fresh = t.Enter(&b);
    EXPECT_EQ(Table::SlotIndex(fresh), Table::SlotIndex(old));
    EXPECT_EQ(Table::Generation(fresh), 2);
    EXPECT_EQ(t.Lookup(old), nullptr);
    EXPECT_FALSE(t.Remove(old));  // the stale handle cannot release the new occupant
    EXPECT_EQ(t.Lookup(fresh), &b);
}

TEST(HandleTable, GenerationWrapsFrom255ToOneSkippingZero)
{
    Table t;
    int a = 1;
    uint32_t h = t.Enter(&a);
    for (int generation = 1; generation < 255; ++generation) {
        ASSERT_EQ(Table::Generation(h), generation);
        ASSERT_TRUE(t.Remove(h));
        h = t.Enter(&a);
    }
    EXPECT_EQ(Table::Generation(h), 255);
    EXPECT_TRUE(t.Remove(h));
    EXPECT_EQ(t.Enter(&a), Table::MakeHandle(0, 1));
    EXPECT_EQ(t.SlotCount(), 1u);  // churn reuses the slot instead of growing
}

TEST(HandleTable, ForgedHandleForAFreeSlotCannotFreeItTwice)
{
    Table t;
    int a = 1, b = 2, c = 3;
    EXPECT_TRUE(t.Remove(t.Enter(&a)));
    // The free slot's next generation is 2; a handle guessing it must not free it again,
    // or the slot would be handed to two objects.
    EXPECT_FALSE(t.Remove(Table::MakeHandle(0, 2)));
    const uint32_t hb = t.Enter(&b);
    const uint32_t hc = t.Enter(&c);
    EXPECT_NE(Table::SlotIndex(hb), Table::SlotIndex(hc));
    EXPECT_EQ(t.Lookup(hb), &b);
    EXPECT_EQ(t.Lookup(hc), &c);
}

TEST(HandleTable, FreedSlotsAreReusedOldestFirst)
{
    Table t;
    int v = 0;
    uint32_t h[3];
    for (uint32_t& handle : h) {
        handle = t.Enter(&v);
    }
    t.Remove(h[2]);
    t.Remove(h[0]);
    t.Remove(h[1]);
    EXPECT_EQ(Table::SlotIndex(t.Enter(&v)), 2u);
    EXPECT_EQ(Table::SlotIndex(t.Enter(&v)), 0u);
    EXPECT_EQ(Table::SlotIndex(t.Enter(&v)), 1u);
    EXPECT_EQ(t.SlotCount(), 3u);
}

TEST(HandleTable, FullTableRefusesUntilASlotIsFreed)
{
    Table t(2);
    int a = 1, b = 2, c = 3;
    const uint32_t ha = t.Enter(&a);
    EXPECT_NE(t.Enter(&b), 0u);
    EXPECT_EQ(t.Enter(&c), 0u);
    t.Remove(ha);
    const uint32_t hc = t.Enter(&c);
    EXPECT_EQ(t.Lookup(hc), &c);
}

TEST(IntArray, PushGrowsCapacityByTenWhenFull)
{
    IntArray a;
    EXPECT_EQ(a.Capacity(), 0);
    a.Push(7);
    EXPECT_EQ(a.Capacity(), 10);
    for (int32_t i = 1; i < 10; ++i) {
        a.Push(i);
    }
    EXPECT_EQ(a.Capacity(), 10);
    a.Push(99);
    EXPECT_EQ(a.Capacity(), 20);
    EXPECT_EQ(Elements(a), (std::vector<int32_t>{7, 1, 2, 3, 4, 5, 6, 7, 8, 9, 99}));
}

TEST(IntArray, AccessOutsideTheCountIsRefused)
{
    IntArray a = Counting(3);  // capacity 10: indexes 3..9 exist in memory but not in the array
    EXPECT_FALSE(a.Get(-1).has_value());
    EXPECT_FALSE(a.Get(3).has_value());
    EXPECT_FALSE(a.Set(3, 5));
    EXPECT_FALSE(a.Set(-1, 5));
    EXPECT_FALSE(a.Erase(3, false));
    EXPECT_FALSE(a.Erase(-1, true));
    EXPECT_TRUE(a.Set(2, 42));
    EXPECT_EQ(Elements(a), (std::vector<int32_t>{0, 1, 42}));
}

TEST(IntArray, EraseKeepsOrderOrMovesTheLastElementIn)
{
    IntArray ordered = Counting(5);
    EXPECT_TRUE(ordered.Erase(1, true));
    EXPECT_EQ(Elements(ordered), (std::vector<int32_t>{0, 2, 3, 4}));

    IntArray swapped = Counting(5);
    EXPECT_TRUE(swapped.Erase(1, false));
    EXPECT_EQ(Elements(swapped), (std::vector<int32_t>{0, 4, 2, 3}));
    EXPECT_TRUE(swapped.Erase(3, false));
    EXPECT_EQ(Elements(swapped), (std::vector<int32_t>{0, 4, 2}));
}

TEST(IntArray, ZeroSizeKeepsCapacityAndResizeSetsCountAndFills)
{
    IntArray a = Counting(12);
    a.ZeroSize();
    EXPECT_EQ(a.Size(), 0);
    EXPECT_EQ(a.Capacity(), 20);

    EXPECT_TRUE(a.Resize(4, 3));  // within the capacity: an emptied array still grows to n
    EXPECT_EQ(Elements(a), (std::vector<int32_t>{3, 3, 3, 3}));
    EXPECT_EQ(a.Capacity(), 20);

    EXPECT_TRUE(a.Resize(23, -1));  // beyond the capacity: capacity becomes exactly n
    EXPECT_EQ(a.Capacity(), 23);
    EXPECT_EQ(Elements(a), std::vector<int32_t>(23, -1));

    EXPECT_FALSE(a.Resize(-1, 0));
    EXPECT_FALSE(a.Resize(0x7FFFFFFF, 0));  // refused instead of allocating 8 GB
    EXPECT_EQ(a.Size(), 23);
}

TEST(IntArray, CopiesAreIndependent)
{
    IntArray a = Counting(4);
    IntArray b = a;
    b.Set(0, 100);
    b.Push(4);
    EXPECT_EQ(Elements(a), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(Elements(b), (std::vector<int32_t>{100, 1, 2, 3, 4}));
}

TEST(ElfHash, MatchesTheStandardElfHash)
{
    EXPECT_EQ(ElfHash(""), 0u);
    EXPECT_EQ(ElfHash("ab"), 1650u);
    EXPECT_EQ(ElfHash("OnLClickDown"), 184335614u);           // long enough to fold the high bits
    EXPECT_EQ(ElfHash("\xb0\xa1\xb0\xa2hello"), 177084911u);  // bytes above 127 count as unsigned
}

TEST(StringMap, IteratesByBucketThenStrcmpOrder)
{
    StringMap<int> map;
    const char* keys[] = {"OnLoad", "OnUpdate", "OnTimer", "item.csv", "b", "a", "c",
                          "d",      "e",        "f",       "aa",       "ab", "z", "\xc0"};
    for (const char* key : keys) {
        map.Insert(key, 0);
    }
    std::vector<std::string> order;
    map.ForEach([&](const std::string& key, int&) { order.push_back(key); });
    // Buckets 0: ab d item.csv | 1: OnUpdate e | 2: a f z \xc0 | 3: OnLoad b | 4: OnTimer aa c
    const std::vector<std::string> expected = {"ab", "d", "item.csv", "OnUpdate", "e", "a",  "f",
                                               "z",  "\xc0", "OnLoad", "b", "OnTimer", "aa", "c"};
    EXPECT_EQ(order, expected);
}

TEST(StringMap, ExactLookupReplaceAndRemove)
{
    StringMap<std::string> map;
    EXPECT_TRUE(map.Insert("OnLoad", "first"));
    EXPECT_FALSE(map.Insert("OnLoad", "second"));
    map.Insert("OnLoadEx", "other");
    EXPECT_EQ(map.Size(), 2u);
    ASSERT_NE(map.Find("OnLoad"), nullptr);
    EXPECT_EQ(*map.Find("OnLoad"), "second");
    EXPECT_EQ(map.Find("onload"), nullptr);
    EXPECT_EQ(map.Find("OnLoa"), nullptr);

    EXPECT_FALSE(map.Remove("OnLoa"));
    EXPECT_TRUE(map.Remove("OnLoad"));
    EXPECT_EQ(map.Find("OnLoad"), nullptr);
    EXPECT_NE(map.Find("OnLoadEx"), nullptr);

    // A null key is the empty key rather than a crash.
    EXPECT_TRUE(map.Insert(static_cast<const char*>(nullptr), "none"));
    EXPECT_NE(map.Find(""), nullptr);
}

TEST(KVQQueue, TakesInArrivalOrder)
{
    KVQQueue<std::unique_ptr<int>> q;
    std::unique_ptr<int> out;
    EXPECT_FALSE(q.Take(out));
    q.Append(std::make_unique<int>(1));
    q.Append(std::make_unique<int>(2));
    ASSERT_TRUE(q.Take(out));
    EXPECT_EQ(*out, 1);
    q.Append(std::make_unique<int>(3));
    std::vector<int> rest;
    while (q.Take(out)) {
        rest.push_back(*out);
    }
    EXPECT_EQ(rest, (std::vector<int>{2, 3}));
    EXPECT_TRUE(q.Empty());
}

}  // namespace
