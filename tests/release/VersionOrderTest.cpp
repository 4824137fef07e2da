#include "release/VersionOrder.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct OrderCase {
    const char* lower;
    const char* higher; // equal to `lower` when `equal`
    bool equal;
};

void PrintTo(const OrderCase& c, std::ostream* os)
{
    *os << "\"" << c.lower << "\" vs \"" << c.higher << "\"";
}

class VersionOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(VersionOrder, ComparesComponentByComponentAsNumbers)
{
    const OrderCase& c = GetParam();
    if (c.equal) {
        EXPECT_EQ(0, CompareVersions(c.lower, c.higher));
        EXPECT_EQ(0, CompareVersions(c.higher, c.lower));
    } else {
        EXPECT_LT(CompareVersions(c.lower, c.higher), 0);
        EXPECT_GT(CompareVersions(c.higher, c.lower), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionOrder,
                         ::testing::Values(
                             // Where the dot-less number gets it wrong.
                             OrderCase{"1.0.10", "1.1.0", false}, OrderCase{"1.0.9", "1.0.10", false},
                             OrderCase{"1.0.12", "1.1.0", false}, OrderCase{"0.9.0", "1.0.1", false},
                             OrderCase{"1.0.0", "1.0.1", false},
                             // Missing components count as 0, leading zeros do not count.
                             OrderCase{"1.0", "1.0.0", true}, OrderCase{"1", "1.0.1", false},
                             OrderCase{"01.002", "1.2", true}, OrderCase{"1.2.3", "1.2.3", true},
                             OrderCase{" 1.2 ", "1.2", true},
                             // Nothing recorded, or not a number, is below every release.
                             OrderCase{"", "0.0.1", false}, OrderCase{"beta", "0.1", false}, OrderCase{"", "0", true},
                             // Digits past any machine number still compare exactly.
                             OrderCase{"99999999999999999999.1", "100000000000000000000.0", false},
                             OrderCase{"4294967296", "4294967297", false}));

} // namespace
