#include "text/NumberText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct NumberCase {
    const char* text;
    int number;
};

class LeadingNumbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumbers, ReadLikeAtoiAndStayInRange)
{
    EXPECT_EQ(GetParam().number, LeadingNumber(GetParam().text)) << "\"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingNumbers,
                         ::testing::Values(NumberCase{"", 0}, NumberCase{"abc", 0}, NumberCase{"-", 0},
                                           NumberCase{"42", 42}, NumberCase{" \t\r\n\v\f7", 7}, NumberCase{"+12x3", 12},
                                           NumberCase{"-12", -12}, NumberCase{"- 1", 0}, NumberCase{"0007", 7},
                                           NumberCase{"2147483647", INT_MAX}, NumberCase{"2147483648", INT_MAX},
                                           NumberCase{"99999999999999999999999", INT_MAX},
                                           NumberCase{"-2147483648", INT_MIN},
                                           NumberCase{"-99999999999999999999999", INT_MIN}));

} // namespace
