#include "crypt/HexText.h"
#include "tests/support/PrintableName.h"

#include <gtest/gtest.h>

namespace {

struct HexCase {
    std::string text;
    bool decodes;
    std::vector<unsigned char> bytes;
};

void PrintTo(const HexCase& c, std::ostream* os)
{
    *os << "\"" << Printable(c.text) << "\"";
}

class HexTextDecode : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexTextDecode, ReadsOneLineOfDigits)
{
    std::vector<unsigned char> bytes{0x99};
    EXPECT_EQ(GetParam().decodes, DecodeHex(GetParam().text, bytes));
    EXPECT_EQ(GetParam().bytes, bytes);
}

INSTANTIATE_TEST_SUITE_P(Texts, HexTextDecode,
                         ::testing::Values(HexCase{"00ff7A", true, {0x00, 0xff, 0x7a}},
                                           HexCase{"0aBc\n", true, {0x0a, 0xbc}}, HexCase{" \t0a\r\n", true, {0x0a}},
                                           HexCase{"", true, {}}, HexCase{"abc", false, {}}, HexCase{"0g", false, {}},
                                           HexCase{"0a 0b", false, {}}, HexCase{"-1", false, {}}));

} // namespace
