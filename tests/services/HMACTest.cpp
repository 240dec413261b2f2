#include <gtest/gtest.h>

#include <string>

#include "services/HMAC.h"

namespace {

std::string Bytes(size_t count, char value)
{
    return std::string(count, value);
}

// Test cases 1, 2 and 6 of RFC 4231 for each digest.
TEST(HMAC, KnownVectorsForAllFourDigests)
{
    struct Case {
        std::string key;
        std::string data;
        int32_t kind;
        const char* hex;
    };
    const std::string key1 = Bytes(20, '\x0b');
    const std::string data1 = "Hi There";
    const std::string key2 = "Jefe";
    const std::string data2 = "what do ya want for nothing?";
    const std::string key6 = Bytes(131, '\xaa');
    const std::string data6 = "Test Using Larger Than Block-Size Key - Hash Key First";
    const Case cases[] = {
        {key1, data1, eSHA224, "896fb1128abbdf196832107cd49df33f47b4b1169912ba4f53684b22"},
        {key1, data1, eSHA256, "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {key1, data1, eSHA384, "afd03944d84895626b0825f4ab46907f15f9dadbe4101ec682aa034c7cebc59c"
                               "faea9ea9076ede7f4af152e8b2fa9cb6"},
        {key1, data1, eSHA512, "87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cde"
                               "daa833b7d6b8a702038b274eaea3f4e4be9d914eeb61f1702e696c203a126854"},
        {key2, data2, eSHA224, "a30e01098bc6dbbf45690f3a7e9e6d0f8bbea2a39e6148008fd05e44"},
        {key2, data2, eSHA256, "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {key2, data2, eSHA384, "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e"
                               "8e2240ca5e69e2c78b3239ecfab21649"},
        {key2, data2, eSHA512, "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
                               "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737"},
        {key6, data6, eSHA224, "95e9a0db962095adaebe9b2d6f0dbce2d499f112f2d2b7273fa6870e"},
        {key6, data6, eSHA256, "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {key6, data6, eSHA384, "4ece084485813e9088d2c63a041bc5b44f9ef1012a2b588f3cd11f05033ac4c6"
                               "0c2ef6ab4030fe8296248df163f44952"},
        {key6, data6, eSHA512, "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f352"
                               "6b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598"},
    };
    for (const Case& c : cases) {
        CKVQHMAC mac(c.key.data(), static_cast<int32_t>(c.key.size()), c.kind);
        EXPECT_STREQ(mac.HexDigest(), "");
        EXPECT_TRUE(mac.Update(c.data.data(), static_cast<int32_t>(c.data.size())));
        EXPECT_STREQ(mac.HexDigest(), c.hex) << "kind " << c.kind << " key length " << c.key.size();
    }
}

TEST(HMAC, KeyLengthCountsZeroBytes)
{
    const char key[] = {'k', '\0', 'x'};
    CKVQHMAC whole(key, 3, eSHA256);
    CKVQHMAC cut(key, 1, eSHA256);
    ASSERT_TRUE(whole.Update("m", 1));
    ASSERT_TRUE(cut.Update("m", 1));
    EXPECT_STRNE(whole.HexDigest(), cut.HexDigest());
    CKVQHMAC empty("", 0, eSHA256);
    EXPECT_TRUE(empty.Update("", 0));
    EXPECT_STREQ(empty.HexDigest(), "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
}

TEST(HMAC, MisuseSetsTheErrorFlag)
{
    CKVQHMAC twice("key", 3, eSHA256);
    ASSERT_TRUE(twice.Update("a", 1));
    const std::string first = twice.HexDigest();
    EXPECT_FALSE(twice.Update("b", 1));
    EXPECT_TRUE(twice.HasError());
    EXPECT_EQ(first, twice.HexDigest());
    for (int32_t kind : {-1, 4, 100}) {
        CKVQHMAC bad("key", 3, kind);
        EXPECT_FALSE(bad.Update("a", 1)) << kind;
        EXPECT_STREQ(bad.HexDigest(), "");
    }
    CKVQHMAC negative("key", -3, eSHA256);
    EXPECT_FALSE(negative.Update("a", 1));
}

}  // namespace
