#include "crypt/HexText.h"
#include "crypt/ReleaseKey.h"
#include "tests/support/PrintableName.h"

#include <gtest/gtest.h>

namespace {

struct HexCase {
    std::string text;
    bool decodes;
    std::vector<unsigned char> bytes;
};

void PrintTo(const HexCase& c, std::ostream* os) { *os << "\"" << Printable(c.text) << "\""; }

class HexTextDecode : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexTextDecode, ReadsOneLineOfDigits)
{
    std::vector<unsigned char> bytes{0x99};
    EXPECT_EQ(GetParam().decodes, DecodeHex(GetParam().text, bytes));
    EXPECT_EQ(GetParam().bytes, bytes);
}

INSTANTIATE_TEST_SUITE_P(Texts, HexTextDecode, ::testing::Values(
    HexCase{"00ff7A", true, {0x00, 0xff, 0x7a}},
    HexCase{"0aBc\n", true, {0x0a, 0xbc}},
    HexCase{" \t0a\r\n", true, {0x0a}},
    HexCase{"", true, {}},
    HexCase{"\n", true, {}},
    HexCase{"abc", false, {}},
    HexCase{"0g", false, {}},
    HexCase{"0a 0b", false, {}},
    HexCase{"0a\n0b", false, {}},
    HexCase{"-1", false, {}}));

TEST(ReleaseKey, TakesExactlyXAndY)
{
    const std::string x(64, 'a'), y = std::string(62, '0') + "01";
    CReleaseKey key;
    ASSERT_TRUE(CReleaseKey::FromHex(x + y, key));
    EXPECT_EQ(0xaa, key.X()[0]);
    EXPECT_EQ(0x01, key.Y()[31]);
    EXPECT_EQ(0x00, key.Y()[0]);
    EXPECT_FALSE(CReleaseKey::FromHex(x, key));
    EXPECT_FALSE(CReleaseKey::FromHex(x + y + "00", key));
    EXPECT_FALSE(CReleaseKey::FromHex(x + y.substr(1) + "z", key));
}

} // namespace
