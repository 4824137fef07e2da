#include "app/LogSwitch.h"
#include <gtest/gtest.h>

namespace {

struct LogSwitchCase {
    const char* name;
    const char* tail;
    const char* path;
    const char* rest;
};

void PrintTo(const LogSwitchCase& c, std::ostream* os)
{
    *os << c.name;
}

class LogSwitchSplit : public ::testing::TestWithParam<LogSwitchCase> {};

TEST_P(LogSwitchSplit, TakesThePathOutOfTheTail)
{
    const CLogSwitch found = SplitLogSwitch(GetParam().tail);
    EXPECT_EQ(GetParam().path, found.path);
    EXPECT_EQ(GetParam().rest, found.rest);
}

INSTANTIATE_TEST_SUITE_P(
    Tails, LogSwitchSplit,
    ::testing::Values(LogSwitchCase{"none", "-u", "", "-u"}, LogSwitchCase{"empty_tail", "", "", ""},
                      LogSwitchCase{"alone", "/LOG=C:\\x.log", "C:\\x.log", ""},
                      LogSwitchCase{"after_the_update_switch", "-u /LOG=C:\\x.log", "C:\\x.log", "-u"},
                      LogSwitchCase{"before_the_update_switch", "/log=C:\\x.log -u", "C:\\x.log", "-u"},
                      LogSwitchCase{"quoted_value", "-u /LOG=\"C:\\a b\\x.log\"", "C:\\a b\\x.log", "-u"},
                      LogSwitchCase{"quoted_word", "\"/Log=C:\\a b\\x.log\" -u", "C:\\a b\\x.log", "-u"},
                      LogSwitchCase{"inside_a_word_is_no_switch", "-u/LOG=x", "", "-u/LOG=x"},
                      LogSwitchCase{"empty_value", "-u /LOG=", "", "-u"},
                      LogSwitchCase{"unclosed_quote_runs_to_the_end", "/LOG=\"C:\\a b", "C:\\a b", ""}));

} // namespace
