#include <gtest/gtest.h>

#include <string>

#include "services/HMAC.h"

namespace {

std::string Bytes(size_t count, char value)
{
    return std::string(count, value);
}

// The seven test cases of RFC 4231 for each digest; case 5 checks only the first 128 bits.
TEST(HMAC, KnownVectorsForAllFourDigests)
{
    struct Case {
        std::string key;
        std::string data;
        int32_t kind;
        const char* hex;
        size_t truncatedHexDigits = 0;  // 0: the whole digest is compared
    };
    const std::string key1 = Bytes(20, '\x0b');
    const std::string data1 = "Hi There";
    const std::string key2 = "Jefe";
    const std::string data2 = "what do ya want for nothing?";
    const std::string key6 = Bytes(131, '\xaa');
    const std::string key3 = Bytes(20, '\xaa');
    const std::string data3 = Bytes(50, '\xdd');
    const std::string key4 = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19";
    const std::string data4 = Bytes(50, '\xcd');
    const std::string key5 = Bytes(20, '\x0c');
    const std::string data5 = "Test With Truncation";
    const std::string data6 = "Test Using Larger Than Block-Size Key - Hash Key First";
    const std::string data7 =
        "This is a test using a larger than block-size key and a larger than block-size data. The key needs to be "
        "hashed before being used by the HMAC algorithm.";
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
        {key3, data3, eSHA224, "7fb3cb3588c6c1f6ffa9694d7d6ad2649365b0c1f65d69d1ec8333ea"},
        {key3, data3, eSHA256, "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        {key3, data3, eSHA384, "88062608d3e6ad8a0aa2ace014c8a86f0aa635d947ac9febe83ef4e55966144b"
                               "2a5ab39dc13814b94e3ab6e101a34f27"},
        {key3, data3, eSHA512, "fa73b0089d56a284efb0f0756c890be9b1b5dbdd8ee81a3655f83e33b2279d39"
                               "bf3e848279a722c806b485a47e67c807b946a337bee8942674278859e13292fb"},
        {key4, data4, eSHA224, "6c11506874013cac6a2abc1bb382627cec6a90d86efc012de7afec5a"},
        {key4, data4, eSHA256, "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
        {key4, data4, eSHA384, "3e8a69b7783c25851933ab6290af6ca77a9981480850009cc5577c6e1f573b4e"
                               "6801dd23c4a7d679ccf8a386c674cffb"},
        {key4, data4, eSHA512, "b0ba465637458c6990e5a8c5f61d4af7e576d97ff94b872de76f8050361ee3db"
                               "a91ca5c11aa25eb4d679275cc5788063a5f19741120c4f2de2adebeb10a298dd"},
        {key5, data5, eSHA224, "0e2aea68a90c8d37c988bcdb9fca6fa8", 32},
        {key5, data5, eSHA256, "a3b6167473100ee06e0c796c2955552b", 32},
        {key5, data5, eSHA384, "3abf34c3503b2a23a46efc619baef897", 32},
        {key5, data5, eSHA512, "415fad6271580a531d4179bc891d87a6", 32},
        {key6, data6, eSHA224, "95e9a0db962095adaebe9b2d6f0dbce2d499f112f2d2b7273fa6870e"},
        {key6, data6, eSHA256, "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {key6, data6, eSHA384, "4ece084485813e9088d2c63a041bc5b44f9ef1012a2b588f3cd11f05033ac4c6"
                               "0c2ef6ab4030fe8296248df163f44952"},
        {key6, data6, eSHA512, "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f352"
                               "6b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598"},
        {key6, data7, eSHA224, "3a854166ac5d9f023f54d517d0b39dbd946770db9c2b95c9f6f565d1"},
        {key6, data7, eSHA256, "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
        {key6, data7, eSHA384, "6617178e941f020d351e2f254e8fd32c602420feb0b8fb9adccebb82461e99c5"
                               "a678cc31e799176d3860e6110c46523e"},
        {key6, data7, eSHA512, "e37b6a775dc87dbaa4dfa9f96e5e3ffddebd71f8867289865df5a32d20cdc944"
                               "b6022cac3c4982b10d5eeb55c3e4de15134676fb6de0446065c97440fa8c6a58"},
    };
    for (const Case& c : cases) {
        CKVQHMAC mac(c.key.data(), static_cast<int32_t>(c.key.size()), c.kind);
        EXPECT_STREQ(mac.HexDigest(), "");
        EXPECT_TRUE(mac.Update(c.data.data(), static_cast<int32_t>(c.data.size())));
        std::string digest = mac.HexDigest();
        if (c.truncatedHexDigits != 0) {
            EXPECT_GT(digest.size(), c.truncatedHexDigits) << "kind " << c.kind;
            digest.resize(c.truncatedHexDigits);
        }
        EXPECT_EQ(digest, c.hex) << "kind " << c.kind << " key length " << c.key.size() << " data length "
                                 << c.data.size();
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
