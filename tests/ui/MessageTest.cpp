#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/EngineString.h"
#include "support/Bytes.h"
#include "ui/Message.h"

TEST(MessageParameters, ReadBackInOrderThenZeros)
{
    CKVQMessage m;
    int32_t seven = 7;
    uint8_t u = 200;
    m.Int32(seven);
    m.UInt8(u);
    m.setMode(CKVQMessage::SM_READ);
    int32_t a = 0;
    uint8_t b = 0;
    m.Int32(a);
    m.UInt8(b);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 200);
    int32_t c = 5;
    m.Int32(c);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(m.GetError(), CISerial::kReadPastEnd);

    m.setMode(CKVQMessage::SM_READ);  // every receiver starts at the first parameter
    m.Int32(a);
    EXPECT_EQ(a, 7);
}

TEST(MessageParameters, RewritingDoesNotShrink)
{
    CKVQMessage m;
    int32_t x = 1, y = 2;
    m.Int32(x);
    m.Int32(y);
    m.setMode(CKVQMessage::SM_WRITE);
    int32_t z = 9;
    m.Int32(z);
    EXPECT_EQ(m.GetSize(), 8);
    EXPECT_EQ(BytesOf(m), Bytes({9, 0, 0, 0, 2, 0, 0, 0}));

    CKVQMessage outer;
    m.WriteBlock(outer);
    EXPECT_EQ(outer.GetSize(), 16);  // n, n and the 8 bytes
}

TEST(MessageParameters, ScriptStringHasNoTerminator)
{
    CKVQMessage m;
    m.ScriptString("ab");
    EXPECT_EQ(BytesOf(m), Bytes({2, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));
    m.setMode(CKVQMessage::SM_READ);
    EXPECT_EQ(m.ScriptString(), "ab");
    EXPECT_EQ(m.ScriptString(), "");

    CKVQMessage fromText("abc");
    EXPECT_EQ(BytesOf(fromText), Bytes({3, 0, 0, 0, 'a', 'b', 'c'}));
}

TEST(MessageParameters, ScriptStringRejectsHostileCounts)
{
    const int32_t counts[][2] = {{0x7FFFFFF0, 0x7FFFFFF0}, {-5, -5}, {2, 3}};
    for (const auto& c : counts) {
        CKVQMessage m;
        int32_t first = c[0], second = c[1];
        m.Int32(first);
        m.Int32(second);
        m.Bytes(const_cast<char*>("abc"), 3);
        m.setMode(CKVQMessage::SM_READ);
        EXPECT_EQ(m.ScriptString(), "") << first << "," << second;
        EXPECT_EQ(m.GetError(), CISerial::kReadPastEnd) << first << "," << second;
    }
}

// Where each parameter begins, as a receiver that reads parameters by number finds them.
TEST(MessageParameters, TypedWritesRememberWhereEachParameterBegins)
{
    // What is done to the message, one letter a step: i int32, b uint8, h int16, f float, u the
    // script's uint32, B the script's bool, s the script's string "ab", n a native string "hi",
    // P a pointer, p PushAddress, r ResetAddress, w write mode (rewinds), e empty the buffer,
    // c become a copy of a message with three int32, k read a block of three int32.
    auto run = [](CKVQMessage& m, const std::string& steps) {
        int32_t i = 0;
        uint8_t b = 0;
        int16_t h = 0;
        float f = 0;
        CKVQString text("hi");
        CKVQMessage three, block;
        for (int k = 0; k < 3; ++k)
            three.Int32(i);
        three.WriteBlock(block);
        block.setMode(CKVQMessage::SM_READ);
        for (char step : steps) {
            switch (step) {
            case 'i': m.Int32(i); break;
            case 'b': m.UInt8(b); break;
            case 'h': m.Int16(h); break;
            case 'f': m.Float(f); break;
            case 'u': m.ScriptUInt32(1); break;
            case 'B': m.ScriptBool(1); break;
            case 's': m.ScriptString("ab"); break;
            case 'n': m.String(text); break;
            case 'P': m.Ptr("CKVQWindow", nullptr); break;
            case 'p': m.PushAddress(); break;
            case 'r': m.ResetAddress(); break;
            case 'w': m.setMode(CKVQMessage::SM_WRITE); break;
            case 'e': m.Buffer().Reset(); break;
            case 'c': m.Copy(three); break;
            case 'k': m.ReadBlock(block); break;
            }
        }
    };
    const std::vector<std::pair<std::string, std::vector<int32_t>>> cases = {
        {"ii", {0, 4}},  // a click: x, y
        {"busfB", {0, 1, 5, 15, 19}},  // mixed kinds
        {"nPh", {0, 11, 47}},  // a native string (n, n, bytes, 0), a pointer
        {"iiiiiiiiiiii", {0, 4, 8, 12, 16, 20, 24, 28, 32, 36}},  // only the first ten
        {"iiiwi", {0}},  // rewound and written anew
        {"iiie", {0}},  // emptied
        {"ipipii", {4, 8}},  // pushed positions win
        {"piir", {0}},  // reset forgets both
        {"c", {0, 4, 8}},  // a copy reads where its original does
        {"iik", {0}},  // a stored block says nothing of its parameters
    };
    for (const auto& [steps, expected] : cases) {
        CKVQMessage m;
        run(m, steps);
        std::vector<int32_t> starts;
        for (int32_t i = 0; i < CIArchive::kMaxSavedOffsets && m.ParameterStart(i) >= 0; ++i)
            starts.push_back(m.ParameterStart(i));
        EXPECT_EQ(starts, expected) << steps;
    }
}

TEST(MessageCopy, SameBytesDataAndModeFromStart)
{
    CKVQMessage source;
    int32_t v = 0x01020304;
    source.Int32(v);
    source.setData(77);
    source.setMode(CKVQMessage::SM_READ);
    int32_t skip;
    source.Int32(skip);

    CKVQMessage copy;
    copy.Copy(source);
    EXPECT_EQ(BytesOf(copy), BytesOf(source));
    EXPECT_EQ(copy.getData(), 77);
    EXPECT_EQ(copy.getMode(), CKVQMessage::SM_READ);
    EXPECT_EQ(copy.Buffer().Tell(), 0);
    EXPECT_EQ(copy.getSystemData(), 0u);
    EXPECT_EQ(copy.GetScriptRef(), -1);
}

TEST(MessageBlock, RoundTripNestedBlocks)
{
    CKVQMessage inner(CKVQMessage::kWindowCapacity);
    CKVQString name("a");
    inner.String(name);
    int32_t layer = 3;
    inner.Int32(layer);

    CKVQMessage outer;
    inner.WriteBlock(outer);
    int32_t after = 0x55;
    outer.Int32(after);

    outer.setMode(CKVQMessage::SM_READ);
    CKVQMessage back;
    ASSERT_TRUE(back.ReadBlock(outer));
    EXPECT_EQ(back.getMode(), CKVQMessage::SM_READ);
    EXPECT_EQ(BytesOf(back), BytesOf(inner));
    CKVQString n2;
    back.String(n2);
    int32_t l2 = 0;
    back.Int32(l2);
    EXPECT_STREQ(n2.c_str(), "a");
    EXPECT_EQ(l2, 3);
    int32_t a2 = 0;
    outer.Int32(a2);  // the outer stream continues after the block
    EXPECT_EQ(a2, 0x55);
}

TEST(MessageBlock, EmptyBlockIsTwoLengths)
{
    CKVQMessage empty;
    CKVQMessage outer;
    empty.WriteBlock(outer);
    EXPECT_EQ(BytesOf(outer), Bytes({0, 0, 0, 0, 0, 0, 0, 0}));
    outer.setMode(CKVQMessage::SM_READ);
    CKVQMessage back;
    EXPECT_TRUE(back.ReadBlock(outer));
    EXPECT_EQ(back.GetSize(), 0);
    EXPECT_EQ(back.GetError(), 0);
}

namespace {

// A stream holding a block header with the given length followed by that many bytes (as far as
// `present` says).
bool ReadBlockOfLength(int32_t n, int32_t present, CKVQMessage& into)
{
    CIMemFile file;
    CIArchive w(&file, CIArchive::SM_WRITE);
    w.Int32(n);
    w.Int32(n);
    if (present > 0) {
        std::vector<uint8_t> zeros(static_cast<size_t>(present));
        w.Bytes(zeros.data(), present);
    }
    CIArchive r(&file, CIArchive::SM_READ);
    return into.ReadBlock(r);
}

}  // namespace

TEST(MessageBlock, LengthBoundIs100MiB)
{
    CKVQMessage rejected;
    EXPECT_FALSE(ReadBlockOfLength(104857600, 104857600, rejected));
    EXPECT_EQ(rejected.GetSize(), 0);
    EXPECT_EQ(rejected.GetError(), CISerial::kReadPastEnd);

    CKVQMessage accepted;
    EXPECT_TRUE(ReadBlockOfLength(104857599, 104857599, accepted));
    EXPECT_EQ(accepted.GetSize(), 104857599);
}

TEST(MessageBlock, HostileLengthsFailWithoutReading)
{
    for (int32_t n : {-1, -104857600, 50, 0x7FFFFFFF}) {
        CKVQMessage m;
        EXPECT_FALSE(ReadBlockOfLength(n, 10, m)) << n;
        EXPECT_EQ(m.GetSize(), 0) << n;
        EXPECT_EQ(m.GetError(), CISerial::kReadPastEnd) << n;
    }
}

TEST(MessageBuffer, GrowsAndKeepsContent)
{
    CKVQMessage m(4);
    for (int32_t i = 0; i < 1000; ++i)
        m.Int32(i);
    EXPECT_EQ(m.GetSize(), 4000);
    EXPECT_GE(m.Buffer().GetCapacity(), 4000);
    m.setMode(CKVQMessage::SM_READ);
    int32_t v = -1;
    for (int32_t i = 0; i < 1000; ++i) {
        m.Int32(v);
        ASSERT_EQ(v, i);
    }
}

TEST(MessageScriptAccessors, BooleanAndUnsignedRules)
{
    CKVQMessage m;
    EXPECT_EQ(m.ScriptBool(2), 2);  // returns what it was given...
    EXPECT_EQ(m.ScriptUiBoolean(2), 2);
    EXPECT_EQ(m.ScriptBool(1), 1);
    m.ScriptUInt32(4294967295.0);
    EXPECT_EQ(BytesOf(m), Bytes({0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));  // ...but bool(2) wrote 0

    m.setMode(CKVQMessage::SM_READ);
    EXPECT_EQ(m.ScriptBool(), 0);
    EXPECT_EQ(m.ScriptUiBoolean(), 0);  // a stored 2 reads back as 0
    EXPECT_EQ(m.ScriptBool(), 1);
    EXPECT_EQ(m.ScriptUInt32(), -1);
}

TEST(MessageBlock, InPlaceReadSharesBytesUntilWritten)
{
    CKVQMessage inner;
    int32_t v = 0x11223344;
    inner.Int32(v);
    CKVQMessage outer;
    inner.WriteBlock(outer);
    outer.setMode(CKVQMessage::SM_READ);

    CKVQMessage view;
    ASSERT_TRUE(view.ReadBlock(outer, true));
    EXPECT_TRUE(view.Buffer().IsView());
    int32_t got = 0;
    view.Int32(got);
    EXPECT_EQ(got, 0x11223344);

    // Writing into the view takes a private copy; the enclosing message is untouched.
    view.setMode(CKVQMessage::SM_WRITE);
    int32_t other = 7;
    view.Int32(other);
    EXPECT_FALSE(view.Buffer().IsView());
    EXPECT_EQ(BytesOf(outer), Bytes({4, 0, 0, 0, 4, 0, 0, 0, 0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(BytesOf(view), Bytes({7, 0, 0, 0}));
}
