#include "app/VersionList.h"
#include "release/FieldCursor.h"
#include <gtest/gtest.h>

namespace {

using Decision = CVersionList::Decision;

struct SelectionCase {
    const char* name;
    std::vector<std::string> lines;
    Decision expected;
};

void PrintTo(const SelectionCase& c, std::ostream* os)
{
    *os << c.name;
}

class VersionListSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(VersionListSelection, Decides)
{
    EXPECT_EQ(GetParam().expected, CVersionList::Select(GetParam().lines));
}

INSTANTIATE_TEST_SUITE_P(
    Records, VersionListSelection,
    ::testing::Values(
        SelectionCase{"plain_record_allows", {"0,1.0.0,a,b,yes,"}, Decision::Allowed},
        SelectionCase{"no_refuses", {"0,1.0.0,a,b,no,"}, Decision::Refused},
        SelectionCase{"no_in_upper_case_refuses", {"0,1,2,3,NO,"}, Decision::Refused},
        SelectionCase{"no_in_mixed_case_refuses", {"0,1,2,3,nO,"}, Decision::Refused},
        SelectionCase{"no_with_blanks_refuses", {"0,1,2,3,  no  ,"}, Decision::Refused},
        SelectionCase{"no_without_final_comma_allows", {"0,1,2,3,no"}, Decision::Allowed},
        SelectionCase{"empty_switch_allows", {"0,1,2,3,,"}, Decision::Allowed},
        SelectionCase{"nope_allows", {"0,1,2,3,nope,"}, Decision::Allowed},
        SelectionCase{"empty_list_has_no_record", {}, Decision::NoRecord},
        SelectionCase{"comments_only_have_no_record", {"# a", "#0,1,2,3,no,"}, Decision::NoRecord},
        SelectionCase{"comment_then_record", {"# list", "0,1,2,3,no,"}, Decision::Refused},
        SelectionCase{"blank_before_hash_is_no_comment", {" #,1,2,3,no,"}, Decision::Refused},
        SelectionCase{"empty_line_is_selected_and_allows", {"", "0,1,2,3,no,"}, Decision::Allowed},
        SelectionCase{"line_without_comma_is_selected", {"hello", "0,1,2,3,no,"}, Decision::Allowed},
        SelectionCase{"selectors_1_and_2_skipped", {"1,a,b,c,,", "2,a,b,c,,", "0,a,b,c,no,"}, Decision::Refused},
        SelectionCase{"only_selector_1_has_no_record", {"1,a,b,c,,"}, Decision::NoRecord},
        SelectionCase{"selector_with_blanks_selects", {"  0  ,a,b,c,no,"}, Decision::Refused},
        SelectionCase{"letters_read_as_zero", {"abc,a,b,c,no,"}, Decision::Refused},
        SelectionCase{"leading_digits_count", {"10x,a,b,c,no,", "0,a,b,c,,"}, Decision::Allowed},
        SelectionCase{"negative_selector_skipped", {"-1,a,b,c,no,", "0,a,b,c,,"}, Decision::Allowed},
        SelectionCase{"minus_zero_selects", {"-0,a,b,c,no,"}, Decision::Refused},
        SelectionCase{"huge_selector_skipped_safely", {"99999999999999999999,a,b,c,no,"}, Decision::NoRecord},
        SelectionCase{"only_first_selected_line_counts", {"0,a,b,c,,", "0,a,b,c,no,"}, Decision::Allowed},
        // Too few commas: the cursor wraps to the line's start and reads the fields again.
        SelectionCase{"short_record_rereads_from_start", {"0,no,"}, Decision::Refused},
        SelectionCase{"short_record_allows_by_its_text", {"0,a,"}, Decision::Allowed},
        SelectionCase{"text_after_fifth_comma_ignored", {"0,a,b,c,no,trailing"}, Decision::Refused}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

TEST(FieldCursor, WrapsToLineStartWhenNoCommaIsLeft)
{
    std::string line = " a , b";
    CFieldCursor cursor(line, true);
    EXPECT_EQ("a", cursor.Next());
    EXPECT_EQ("", cursor.Next());
    EXPECT_EQ("a", cursor.Next());
}

} // namespace
