#include <gtest/gtest.h>

#include <cstring>

#include "app/CoreCfg.h"
#include "common/EngineString.h"
#include "io/MemFile.h"
#include "support/Bytes.h"

namespace {

// "中" and "文" in the default code page (GB2312) and in UTF-8.
const char kZhongGb[] = "\xD6\xD0";
const char kZhongWenGb[] = "\xD6\xD0\xCE\xC4";
const char kZhongWenUtf8[] = "\xE4\xB8\xAD\xE6\x96\x87";

}  // namespace

TEST(EngineStringStorage, ShortTextsStayInline)
{
    CKVQString s(std::string(64, 'x').c_str());
    EXPECT_FALSE(s.Multibyte().IsHeap());
    EXPECT_EQ(s.GetByteLength(), 64);

    CKVQString t(std::string(65, 'x').c_str());
    EXPECT_TRUE(t.Multibyte().IsHeap());
    EXPECT_EQ(t.Multibyte().Capacity(), 65);  // exactly n + 1 elements allocated

    t.Clear();
    EXPECT_FALSE(t.Multibyte().IsHeap());
    EXPECT_EQ(t.GetByteLength(), 0);
    EXPECT_STREQ(t.c_str(), "");
}

TEST(EngineStringStorage, SelfAssignmentKeepsText)
{
    CKVQString s("keep me");
    s.Assign(s.c_str());
    EXPECT_STREQ(s.c_str(), "keep me");
    s.Assign(s.c_str() + 5);  // a tail of its own buffer
    EXPECT_STREQ(s.c_str(), "me");
}

TEST(EngineStringConversion, CodePageToUcs2AndUtf8)
{
    CKVQString s(kZhongGb);
    ASSERT_EQ(s.GetLength(), 1);
    EXPECT_EQ(s.GetWideString()[0], 0x4E2D);
    EXPECT_EQ(s.GetUtf8String(), "\xE4\xB8\xAD");  // one character, three bytes
    EXPECT_EQ(s.GetByteLength(), 2);
}

TEST(EngineStringConversion, Utf8InputDerivesCodePageForm)
{
    CKVQString s;
    s.ConstructWithUtf8(kZhongWenUtf8);
    EXPECT_STREQ(s.GetMBString(), kZhongWenGb);
    EXPECT_EQ(s.GetLength(), 2);
    EXPECT_EQ(s.GetUtf8String(), kZhongWenUtf8);
}

TEST(EngineStringConversion, StopsAtFirstUnconvertibleUnit)
{
    // U+0E01 has no GB2312 form: the text ends where conversion stopped.
    const uint16_t units[] = {'a', 0x0E01, 'b'};
    CKVQString s;
    s.AssignWide(units, 3);
    EXPECT_STREQ(s.GetMBString(), "a");
}

TEST(EngineStringConversion, FollowsConfiguredCodePage)
{
    std::string saved = GetCoreCfg().strCharset;
    GetCoreCfg().strCharset = "UTF-8";
    CKVQString s(kZhongWenUtf8);
    EXPECT_EQ(s.GetLength(), 2);
    GetCoreCfg().strCharset = saved;
    CKVQString t(kZhongWenGb);
    EXPECT_EQ(t.GetLength(), 2);
}

TEST(EngineStringConversion, RecoversFromUnknownCodePage)
{
    std::string saved = GetCoreCfg().strCharset;
    GetCoreCfg().strCharset = "NO-SUCH-CODE-PAGE";
    CKVQString broken("abc");
    EXPECT_EQ(broken.GetLength(), 0);  // no converter: the other form stays empty
    GetCoreCfg().strCharset = saved;
    CKVQString fine("abc");
    EXPECT_EQ(fine.GetLength(), 3);
}

TEST(EngineStringConversion, Utf8EncoderLengths)
{
    char out[6];
    EXPECT_EQ(CKVQString::EncodeUtf8(0x7F, out), 1);
    EXPECT_EQ(CKVQString::EncodeUtf8(0x80, out), 2);
    EXPECT_EQ(CKVQString::EncodeUtf8(0x7FF, out), 2);
    EXPECT_EQ(CKVQString::EncodeUtf8(0xFFFF, out), 3);
    EXPECT_EQ(std::string(out, 3), "\xEF\xBF\xBF");
    EXPECT_EQ(CKVQString::EncodeUtf8(0x10FFFF, out), 4);
    EXPECT_EQ(CKVQString::EncodeUtf8(0x7FFFFFFF, out), 6);
}

TEST(EngineStringEditing, InsertRespectsBounds)
{
    CKVQString s;
    EXPECT_FALSE(s.Insert(1, 'x'));
    EXPECT_TRUE(s.Insert(0, 'x'));
    EXPECT_STREQ(s.c_str(), "x");
    EXPECT_TRUE(s.Insert(1, 'y'));
    EXPECT_TRUE(s.Insert(0, 0x4E2D));
    EXPECT_STREQ(s.c_str(), "\xD6\xD0xy");
    EXPECT_FALSE(s.Insert(-1, 'z'));
}

TEST(EngineStringEditing, EraseMidFindTruncate)
{
    CKVQString s(kZhongWenGb);
    s.Append("abc");  // mixed double-byte and ASCII text
    EXPECT_EQ(s.GetLength(), 5);
    EXPECT_EQ(s.FindChar('b'), 3);
    EXPECT_EQ(s.FindChar('b', 4), -1);
    EXPECT_EQ(s.FindOneOf(CKVQString("cb")), 3);
    EXPECT_EQ(s.FindOneOf(CKVQString("z")), -1);

    CKVQString mid = s.Mid(1, 3);
    EXPECT_STREQ(mid.c_str(), "\xCE\xC4" "ab");
    EXPECT_EQ(s.Mid(9, 2).GetLength(), 0);

    s.Erase(1, 2);
    EXPECT_STREQ(s.c_str(), "\xD6\xD0" "bc");
    s.Erase(10, 1);  // outside the text: nothing happens
    EXPECT_EQ(s.GetLength(), 3);
    s.Erase(2, 100);  // clipped at the end
    EXPECT_STREQ(s.c_str(), "\xD6\xD0" "b");
    s.Truncate(1);
    EXPECT_STREQ(s.c_str(), kZhongGb);
}

TEST(EngineStringEditing, AppendCodeTakesLowBytesFirst)
{
    CKVQString s("x");
    s.AppendCode(0x00434241);
    EXPECT_STREQ(s.c_str(), "xABC");
    s.AppendCode(0xD0D6);  // a double-byte character as WM_CHAR assembles it
    EXPECT_STREQ(s.c_str(), "xABC\xD6\xD0");
    EXPECT_EQ(s.GetLength(), 5);
}

TEST(EngineStringEditing, CaseChangesOnlyAsciiLetters)
{
    CKVQString s("aZ\xD6\xD0q1");
    s.MakeUpper();
    EXPECT_STREQ(s.c_str(), "AZ\xD6\xD0Q1");
    s.MakeLower();
    EXPECT_STREQ(s.c_str(), "az\xD6\xD0q1");
    EXPECT_EQ(s.GetLength(), 5);  // the UCS-2 form follows the edit
}

TEST(EngineStringReading, EqualityFindLeftRight)
{
    EXPECT_EQ(CKVQString("abc"), CKVQString("abc"));
    EXPECT_NE(CKVQString("abc"), CKVQString("abd"));
    EXPECT_NE(CKVQString("ab"), CKVQString("abc"));
    CKVQString s("hello world");
    EXPECT_EQ(s.Find("world"), 6);
    EXPECT_EQ(s.Find("planet"), -1);
    EXPECT_EQ(s.Left(5), "hello");
    EXPECT_EQ(s.Right(5), "world");
    EXPECT_EQ(s.Left(99), "hello world");
    EXPECT_EQ(s.Right(-1), "");
}

TEST(EngineStringArchive, WritesCountTwiceAndTerminator)
{
    CIMemFile file;
    CIArchive out(&file, CIArchive::SM_WRITE);
    CKVQString s("hello");
    s.Serialize(out);
    EXPECT_EQ(BytesOf(file), Bytes({6, 0, 0, 0, 6, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 0}));

    CIArchive in(&file, CIArchive::SM_READ);
    CKVQString back;
    back.Serialize(in);
    EXPECT_STREQ(back.c_str(), "hello");
    EXPECT_EQ(back.GetLength(), 5);
    EXPECT_EQ(in.GetError(), 0);
}

TEST(EngineStringArchive, EmptyForms)
{
    CIMemFile file;
    CIArchive out(&file, CIArchive::SM_WRITE);
    CKVQString empty;
    empty.Serialize(out);
    int32_t zero = 0;  // the other stored form of an empty string
    out.Int32(zero);
    EXPECT_EQ(BytesOf(file), Bytes({1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));

    CIArchive in(&file, CIArchive::SM_READ);
    CKVQString a("old"), b("old");
    a.Serialize(in);
    b.Serialize(in);
    EXPECT_STREQ(a.c_str(), "");
    EXPECT_STREQ(b.c_str(), "");
    EXPECT_EQ(in.GetError(), 0);
}

TEST(EngineStringArchive, RejectsBadCounts)
{
    CIMemFile file;
    CIArchive out(&file, CIArchive::SM_WRITE);
    CKVQString s("toolong");
    s.Serialize(out);
    CKVQString next("next");
    next.Serialize(out);

    CIArchive in(&file, CIArchive::SM_READ);
    CKVQString back("x");
    back.Serialize(in, 4);  // the stored count 8 is above the maximum
    EXPECT_STREQ(back.c_str(), "");
    EXPECT_EQ(in.GetError(), CISerial::kReadPastEnd);
    back.Serialize(in);  // nothing more is read once in error
    EXPECT_STREQ(back.c_str(), "");

    for (int32_t count : {-1, 0x7FFFFFFF}) {
        CIMemFile hostile;
        CIArchive w(&hostile, CIArchive::SM_WRITE);
        w.Int32(count);
        w.Int32(count);
        CIArchive r(&hostile, CIArchive::SM_READ);
        CKVQString target("x");
        target.Serialize(r);
        EXPECT_STREQ(target.c_str(), "") << count;
        EXPECT_EQ(r.GetError(), CISerial::kReadPastEnd) << count;
    }
}

TEST(EngineStringArchive, SecondCountAboveFirstIsCorrupt)
{
    CIMemFile file;
    CIArchive w(&file, CIArchive::SM_WRITE);
    int32_t first = 2, second = 3;
    w.Int32(first);
    w.Int32(second);
    w.Bytes(const_cast<char*>("abc"), 3);
    CIArchive r(&file, CIArchive::SM_READ);
    CKVQString s("x");
    s.Serialize(r);
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_NE(r.GetError(), 0);
}

TEST(EngineStringArchive, LoadReplacesBothForms)
{
    CIMemFile file;
    CIArchive out(&file, CIArchive::SM_WRITE);
    CKVQString empty, text(kZhongGb);
    empty.Serialize(out);
    text.Serialize(out);

    CIArchive in(&file, CIArchive::SM_READ);
    CKVQString target;
    target.ConstructWithUtf8("old wide text");  // both forms current
    target.Serialize(in);
    EXPECT_EQ(target.GetLength(), 0);
    EXPECT_STREQ(target.c_str(), "");
    target.Serialize(in);
    EXPECT_EQ(target.GetLength(), 1);
    EXPECT_EQ(target.GetWideString()[0], 0x4E2D);
}
