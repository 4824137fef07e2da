#include "release/ReleaseListCheck.h"
#include "tests/support/PrintableName.h"

#include <gtest/gtest.h>

namespace {

struct ListCase {
    std::vector<std::string> lines;
    bool release;
};

void PrintTo(const ListCase& c, std::ostream* os)
{
    for (const std::string& line : c.lines) *os << "[" << Printable(line) << "]";
}

class ReleaseLists : public ::testing::TestWithParam<ListCase> {};

TEST_P(ReleaseLists, CountOnlyWhenShapedLikeARelease)
{
    EXPECT_EQ(GetParam().release, IsReleaseList(GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ReleaseLists,
    ::testing::Values(ListCase{{"Morvel Nuvra", "1.0.0", "x,Nuvra.exe,1.0.0,,,"}, true},
                      ListCase{{"", " 2 ", ",skipped,1,,,", "x,a.dll,2,,,", ""}, true},
                      // a login page, a list without entries, a version that is no number
                      ListCase{{"<html>", "<head><title>Login</title></head>", "<body>", "</html>"}, false},
                      ListCase{{"T", "1.0.0"}, false}, ListCase{{"T", "1.0.0", ",a,1,,,", ""}, false},
                      ListCase{{"T", "1.0 beta", "x,a,1,,,"}, false}, ListCase{{"T", "...", "x,a,1,,,"}, false},
                      // what would break out of the product's quoted command line
                      ListCase{{"T", "1.0\" -t\"Injected\" -d\"C:\\users", "x,a,1,,,"}, false},
                      ListCase{{"Ti\"tle", "1.0", "x,a,1,,,"}, false},
                      ListCase{{"Ti\ttle", "1.0", "x,a,1,,,"}, false}));

TEST(ListVersion, IsLineOneTrimmed)
{
    EXPECT_EQ("1.2.0", ListVersion({"T", " 1.2.0\t"}));
    EXPECT_EQ("", ListVersion({"T"}));
}

TEST(ListExpiry, OnlyAnExpiryLineWhoseTimeHasComeExpiresAList)
{
    const long long now = 1800000000;
    struct {
        std::vector<std::string> lines;
        bool expired;
    } cases[] = {
        {{"T", "1.0", ",expires,1799999999,", "x,a,1,,,"}, true},
        {{"T", "1.0", ",expires,1800000000,", "x,a,1,,,"}, true},
        {{"T", "1.0", ",expires,1800000001,", "x,a,1,,,"}, false},
        {{"T", "1.0", "x,a,1,,,"}, false},                  // no expiry: never
        {{"T", "1.0", "x,a,1,,,", ",expires,1,"}, false},   // only line 2 counts
        {{"T", "1.0", ",expires,soon,", "x,a,1,,,"}, true}, // unreadable: refused
        {{"T", "1.0", ",expires,,", "x,a,1,,,"}, true},
        {{"T", "1.0", " , expires , 1800000001 ,\r", "x,a,1,,,"}, false}, // blanks trimmed
        {{"T", "1.0"}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expired, HasExpired(c.lines, now)) << ::testing::PrintToString(c.lines);
}

} // namespace
