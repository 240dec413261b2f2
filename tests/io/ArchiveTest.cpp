#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "io/Archive.h"
#include "io/MemFile.h"
#include "support/Bytes.h"

TEST(ArchiveTransfers, LittleEndianLayouts)
{
    CIMemFile file;
    CIArchive ar(&file, CIArchive::SM_WRITE);
    int32_t one = 1;
    uint16_t u16 = 0x1234;
    int8_t minus = -2;
    float f = 1.0f;
    uint32_t big = 0xA1B2C3D4;
    ar.Int32(one);
    ar.UInt16(u16);
    ar.Int8(minus);
    ar.Float(f);
    ar.UInt32(big);
    EXPECT_EQ(BytesOf(file), Bytes({0x01, 0, 0, 0, 0x34, 0x12, 0xFE, 0, 0, 0x80, 0x3F, 0xD4, 0xC3, 0xB2, 0xA1}));

    ar.setMode(CIArchive::SM_READ);
    int32_t i = 0;
    uint16_t u = 0;
    int8_t s = 0;
    float g = 0;
    uint32_t b = 0;
    ar.Int32(i);
    ar.UInt16(u);
    ar.Int8(s);
    ar.Float(g);
    ar.UInt32(b);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(u, 0x1234);
    EXPECT_EQ(s, -2);
    EXPECT_EQ(g, 1.0f);
    EXPECT_EQ(b, 0xA1B2C3D4u);
    EXPECT_EQ(ar.GetError(), 0);
}

TEST(ArchiveTransfers, BooleansAreTrueOnlyWhenStoredAsOne)
{
    CIMemFile file;
    CIArchive ar(&file, CIArchive::SM_WRITE);
    int32_t two = 2, one = 1;
    ar.Int32(two);
    ar.Int32(one);
    int32_t ui = 2;
    ar.UiBoolean(ui);  // written as given
    bool t = true;
    ar.Bool(t);
    EXPECT_EQ(BytesOf(file), Bytes({2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0}));

    ar.setMode(CIArchive::SM_READ);
    bool b = true;
    ar.Bool(b);
    EXPECT_FALSE(b);  // 2 is not true
    ar.Bool(b);
    EXPECT_TRUE(b);
    int32_t v = 7;
    ar.UiBoolean(v);
    EXPECT_EQ(v, 0);
    ar.UiBoolean(v);
    EXPECT_EQ(v, 1);
}

TEST(ArchiveTransfers, ReadPastEndZeroesAndKeepsGoing)
{
    CIMemFile file;
    CIArchive w(&file, CIArchive::SM_WRITE);
    int16_t only = 5;
    w.Int16(only);
    CIArchive r(&file, CIArchive::SM_READ);
    int32_t v = 99;
    EXPECT_EQ(r.Int32(v), -1);  // two bytes are not enough
    EXPECT_EQ(v, 0);
    EXPECT_EQ(r.GetError(), CISerial::kReadPastEnd);
    int16_t s = 0;
    EXPECT_EQ(r.Int16(s), 2);  // the failed read consumed nothing
    EXPECT_EQ(s, 5);
}

TEST(ArchiveTransfers, CountedBytesLeaveOversizedDataOnStream)
{
    CIMemFile file;
    CIArchive w(&file, CIArchive::SM_WRITE);
    int32_t n = 4;
    w.CountedBytes(const_cast<char*>("wxyz"), n, n);

    CIArchive r(&file, CIArchive::SM_READ);
    char small[3] = {'q', 'q', 'q'};
    int32_t got = 0;
    EXPECT_EQ(r.CountedBytes(small, got, 3), -1);
    EXPECT_EQ(got, 4);
    EXPECT_EQ(small[0], 0);  // the buffer was cleared
    EXPECT_EQ(r.GetError(), 0);
    int32_t rest = 0;
    r.Int32(rest);  // the bytes are still there
    EXPECT_EQ(std::memcmp(&rest, "wxyz", 4), 0);

    r.setMode(CIArchive::SM_READ);
    char fits[8];
    EXPECT_EQ(r.CountedBytes(fits, got, 8), 4);
    EXPECT_EQ(std::string(fits), "wxyz");
}

TEST(ArchiveTransfers, TypedPointerRoundTripsInProcess)
{
    int target = 42;
    CIMemFile file;
    CIArchive w(&file, CIArchive::SM_WRITE);
    w.Ptr("CKVQWindow", &target);
    w.Ptr(std::string(40, 'n').c_str(), &target);  // a name too long to store
    w.Ptr("CKVQWindow", nullptr);
    ASSERT_EQ(file.GetSize(), 3 * 36);
    EXPECT_EQ(std::memcmp(file.GetBuffer(), "CKVQWindow\0\0", 12), 0);
    EXPECT_EQ(file.GetBuffer()[36], 0);

    CIArchive r(&file, CIArchive::SM_READ);
    EXPECT_EQ(r.Ptr("CKVQWindow", nullptr), &target);
    EXPECT_EQ(r.Ptr("CKVQWindow", nullptr), &target);
    EXPECT_EQ(r.Ptr("CKVQWindow", nullptr), nullptr);
    EXPECT_EQ(KVQPointerFromToken(0xFFFFFF00u, "CKVQWindow"), nullptr);  // never handed out
}

TEST(ArchiveTransfers, TypedPointerRefusesOtherTypesAndForgottenObjects)
{
    int first = 1, second = 2;
    CIMemFile file;
    CIArchive w(&file, CIArchive::SM_WRITE);
    w.Ptr("CKVQWindow", &first);
    w.Ptr("CKVQWindow", &second);

    CIArchive r(&file, CIArchive::SM_READ);
    EXPECT_EQ(r.Ptr("IRender", nullptr), nullptr);  // written as a window
    KVQForgetPointer(&second);                      // the object went away
    EXPECT_EQ(r.Ptr("CKVQWindow", nullptr), nullptr);
    r.setMode(CIArchive::SM_READ);
    EXPECT_EQ(r.Ptr("CKVQWindow", nullptr), &first);

    // A new registration of the same address gets a new token; the old one stays dead.
    uint32_t oldToken = 0;
    std::memcpy(&oldToken, file.GetBuffer() + 36 + 32, 4);
    uint32_t newToken = KVQPointerToken(&second, "CKVQWindow");
    EXPECT_NE(newToken, oldToken);
    EXPECT_EQ(KVQPointerFromToken(oldToken, "CKVQWindow"), nullptr);
    KVQForgetPointer(&first);
    KVQForgetPointer(&second);
}

TEST(ArchiveAddresses, PushOnlyWhileStoringAndAtMostTen)
{
    CIMemFile file;
    CIArchive ar(&file, CIArchive::SM_WRITE);
    for (int32_t i = 0; i < 12; ++i) {
        ar.PushAddress();
        ar.Int32(i);
    }
    EXPECT_EQ(ar.GetSavedAddressCount(), 10);
    EXPECT_EQ(ar.GetSavedAddress(3), 12);

    ar.setMode(CIArchive::SM_READ);
    ar.PushAddress();  // ignored in load mode
    EXPECT_EQ(ar.GetSavedAddressCount(), 10);
    ar.SeekAddress(7);
    int32_t v = 0;
    ar.Int32(v);
    EXPECT_EQ(v, 7);
    ar.SeekAddress(10);  // out of range: the position stays
    ar.Int32(v);
    EXPECT_EQ(v, 8);
    ar.ResetAddress();
    EXPECT_EQ(ar.GetSavedAddressCount(), 0);
}

TEST(ArchiveWithoutStream, TransfersFailQuietly)
{
    CIArchive ar;
    EXPECT_TRUE(ar.IsLoading());
    int32_t v = 3;
    EXPECT_EQ(ar.Int32(v), -1);
    EXPECT_EQ(ar.GetError(), 0);
}

// Runs in a fresh process when KVQ_BYTE_ORDER_CHILD is set; see the test below.
TEST(ArchiveByteOrder, ChildCreatesSeveralArchives)
{
    if (!std::getenv("KVQ_BYTE_ORDER_CHILD"))
        GTEST_SKIP() << "only meaningful in the child process";
    CIMemFile a, b;
    CIArchive first(&a, CIArchive::SM_WRITE);
    CIArchive second(&b, CIArchive::SM_READ);
    CIArchive third;
    EXPECT_FALSE(CIArchive::IsHostBigEndian());
}

// The child's standard output and standard error together.
std::string RunByteOrderChild(const char* verbose)
{
    std::string command = std::string("KVQ_VERBOSE=") + verbose + " KVQ_BYTE_ORDER_CHILD=1 /proc/" +
                          std::to_string(getpid()) +
                          "/exe --gtest_filter=ArchiveByteOrder.ChildCreatesSeveralArchives 2>&1";
    FILE* child = popen(command.c_str(), "r");
    if (child == nullptr)
        return "popen failed";
    std::string output;
    char chunk[512];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), child)) > 0)
        output.append(chunk, n);
    EXPECT_EQ(pclose(child), 0) << output;
    return output;
}

TEST(ArchiveByteOrder, AnnouncedOncePerProcess)
{
    std::string output = RunByteOrderChild("1");
    size_t first = output.find("\nLitteEndian=0\n");
    ASSERT_NE(first, std::string::npos) << output;
    EXPECT_EQ(output.find("LitteEndian", first + 5), std::string::npos) << output;
}

TEST(ArchiveByteOrder, SilentUnlessVerbose)
{
    EXPECT_EQ(RunByteOrderChild("0").find("LitteEndian"), std::string::npos);
}
