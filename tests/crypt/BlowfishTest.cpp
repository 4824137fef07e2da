#include "crypt/Blowfish.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> FromHex(const std::string& hex)
{
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const unsigned char* p, size_t n)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 15];
    }
    return s;
}

const unsigned char kZeroChain[8] = {};

struct BlockVector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Eric Young's electronic-codebook vectors.
const BlockVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

TEST(BlowfishTest, EcbVectorsEncryptAndDecrypt)
{
    for (const auto& v : kEcbVectors) {
        SCOPED_TRACE(v.key);
        const auto key = FromHex(v.key);
        CBlowfish bf;
        ASSERT_TRUE(bf.Initialize(key.data(), key.size(), kZeroChain, CBlowfish::CHAIN_ECB, CBlowfish::PADDING_NONE));
        auto block = FromHex(v.plain);
        bf.EncryptBlock(block.data());
        EXPECT_EQ(v.cipher, ToHex(block.data(), 8));
        bf.DecryptBlock(block.data());
        EXPECT_EQ(v.plain, ToHex(block.data(), 8));
    }
}

// Variable-length keys: the prefixes of one 24-byte key, all encrypting the same block.
TEST(BlowfishTest, VariableKeyLengthVectors)
{
    const auto fullKey = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const char* expected[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05", "B39E44481BDB1E6E",
        "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82", "15750E7A4F4EC577", "122BA70B3AB64AE0",
        "3A833C9AFFC537F6", "9409DA87A90F6BF2", "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F",
        "93142887EE3BE15C", "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    for (size_t length = 1; length <= fullKey.size(); ++length) {
        SCOPED_TRACE(length);
        CBlowfish bf;
        ASSERT_TRUE(bf.Initialize(fullKey.data(), length, kZeroChain, CBlowfish::CHAIN_ECB, CBlowfish::PADDING_NONE));
        auto block = FromHex("FEDCBA9876543210");
        bf.EncryptBlock(block.data());
        EXPECT_EQ(expected[length - 1], ToHex(block.data(), 8));
    }
}

TEST(BlowfishTest, CbcVectorWithoutPadding)
{
    const auto key = FromHex("0123456789ABCDEFF0E1D2C3B4A59687");
    const auto iv = FromHex("FEDCBA9876543210");
    std::vector<unsigned char> plain(32, 0);
    const std::string text = "7654321 Now is the time for ";
    std::copy(text.begin(), text.end(), plain.begin());

    CBlowfish bf;
    ASSERT_TRUE(bf.Initialize(key.data(), key.size(), iv.data(), CBlowfish::CHAIN_CBC, CBlowfish::PADDING_NONE));
    std::vector<unsigned char> cipher;
    ASSERT_TRUE(bf.Encrypt(plain.data(), plain.size(), cipher));
    EXPECT_EQ("6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC", ToHex(cipher.data(), cipher.size()));

    std::vector<unsigned char> back;
    ASSERT_TRUE(bf.Decrypt(cipher.data(), cipher.size(), back));
    EXPECT_EQ(plain, back);
}

TEST(BlowfishTest, KeyLengthAndModesAreChecked)
{
    const std::vector<unsigned char> key(57, 0x5a);
    CBlowfish bf;
    EXPECT_FALSE(bf.Initialize(key.data(), 0, kZeroChain, 1, 2));
    EXPECT_FALSE(bf.Initialize(key.data(), 57, kZeroChain, 1, 2));
    EXPECT_FALSE(bf.Initialize(nullptr, 8, kZeroChain, 1, 2));
    EXPECT_FALSE(bf.Initialize(key.data(), 8, nullptr, 1, 2));
    EXPECT_FALSE(bf.Initialize(key.data(), 8, kZeroChain, 2, 2));
    EXPECT_FALSE(bf.Initialize(key.data(), 8, kZeroChain, 1, 1));
    EXPECT_FALSE(bf.IsInitialized());
    std::vector<unsigned char> out;
    EXPECT_FALSE(bf.Encrypt(key.data(), 8, out));

    EXPECT_TRUE(bf.Initialize(key.data(), 1, kZeroChain, 1, 2));
    EXPECT_TRUE(bf.Initialize(key.data(), 56, kZeroChain, 1, 2));
    EXPECT_TRUE(bf.IsInitialized());
}

// A 56-byte key differs from its 55-byte prefix: the whole key takes part.
TEST(BlowfishTest, LastByteOfLongestKeyCounts)
{
    std::vector<unsigned char> key(56);
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<unsigned char>(i * 7 + 1);
    CBlowfish full, prefix;
    ASSERT_TRUE(full.Initialize(key.data(), 56, kZeroChain, 0, 0));
    ASSERT_TRUE(prefix.Initialize(key.data(), 55, kZeroChain, 0, 0));
    unsigned char a[8] = {}, b[8] = {};
    full.EncryptBlock(a);
    prefix.EncryptBlock(b);
    EXPECT_NE(ToHex(a, 8), ToHex(b, 8));
}

struct ModeCase {
    int chain;
    const char* name;
};

void PrintTo(const ModeCase& c, std::ostream* os)
{
    *os << c.name;
}

class BlowfishRoundTrip : public ::testing::TestWithParam<ModeCase> {};

TEST_P(BlowfishRoundTrip, PaddedLengthsZeroToSixtyFour)
{
    const unsigned char key[] = "a key of no particular length";
    const unsigned char chain[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CBlowfish bf;
    ASSERT_TRUE(bf.Initialize(key, sizeof key - 1, chain, GetParam().chain, CBlowfish::PADDING_PKCS7));
    for (size_t length = 0; length <= 64; ++length) {
        SCOPED_TRACE(length);
        std::vector<unsigned char> plain(length);
        for (size_t i = 0; i < length; ++i) plain[i] = static_cast<unsigned char>(i * 31 + length);
        std::vector<unsigned char> cipher, back;
        ASSERT_TRUE(bf.Encrypt(plain.data(), plain.size(), cipher));
        EXPECT_EQ((length / 8 + 1) * 8, cipher.size());
        ASSERT_TRUE(bf.Decrypt(cipher.data(), cipher.size(), back));
        EXPECT_EQ(plain, back);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, BlowfishRoundTrip,
                         ::testing::Values(ModeCase{CBlowfish::CHAIN_ECB, "Ecb"},
                                           ModeCase{CBlowfish::CHAIN_CBC, "Cbc"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BlowfishTest, CbcHidesRepeatedBlocksAndUsesTheChainingBlock)
{
    const unsigned char key[] = "k3y";
    const unsigned char chainA[8] = {0};
    const unsigned char chainB[8] = {0, 0, 0, 0, 0, 0, 0, 1};
    const std::vector<unsigned char> plain(16, 'x');

    CBlowfish a, b;
    ASSERT_TRUE(a.Initialize(key, 3, chainA, CBlowfish::CHAIN_CBC, CBlowfish::PADDING_NONE));
    ASSERT_TRUE(b.Initialize(key, 3, chainB, CBlowfish::CHAIN_CBC, CBlowfish::PADDING_NONE));
    std::vector<unsigned char> ca, cb;
    ASSERT_TRUE(a.Encrypt(plain.data(), plain.size(), ca));
    ASSERT_TRUE(b.Encrypt(plain.data(), plain.size(), cb));
    EXPECT_NE(ToHex(ca.data(), 8), ToHex(ca.data() + 8, 8));
    EXPECT_NE(ca, cb);

    // Each call starts again from the chaining block.
    std::vector<unsigned char> again;
    ASSERT_TRUE(a.Encrypt(plain.data(), plain.size(), again));
    EXPECT_EQ(ca, again);
}

TEST(BlowfishTest, DecryptRefusesBadLengthsAndBadPadding)
{
    const unsigned char key[] = "padding";
    CBlowfish bf;
    ASSERT_TRUE(bf.Initialize(key, 7, kZeroChain, CBlowfish::CHAIN_CBC, CBlowfish::PADDING_PKCS7));
    const std::vector<unsigned char> plain = {'h', 'e', 'l', 'l', 'o'};
    std::vector<unsigned char> cipher, out;
    ASSERT_TRUE(bf.Encrypt(plain.data(), plain.size(), cipher));

    EXPECT_FALSE(bf.Decrypt(cipher.data(), cipher.size() - 1, out));
    EXPECT_FALSE(bf.Decrypt(cipher.data(), 0, out));

    // Flipping a byte of the last block garbles the padding the decryption finds.
    auto tampered = cipher;
    tampered.back() ^= 0x40;
    EXPECT_FALSE(bf.Decrypt(tampered.data(), tampered.size(), out));
    EXPECT_TRUE(out.empty());

    CBlowfish unpadded;
    ASSERT_TRUE(unpadded.Initialize(key, 7, kZeroChain, CBlowfish::CHAIN_ECB, CBlowfish::PADDING_NONE));
    EXPECT_FALSE(unpadded.Encrypt(plain.data(), plain.size(), out));
    EXPECT_TRUE(unpadded.Encrypt(plain.data(), 0, out));
    EXPECT_TRUE(out.empty());
}

} // namespace
