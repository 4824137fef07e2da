#include "update/RepairCheck.h"
#include <gtest/gtest.h>

namespace {

using State = CRepairCheck::State;

const std::string kDigest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string kOther = "0000000000000000000000000000000000000000000000000000000000000000";

struct JudgeCase {
    const char* name;
    std::string line;
    bool exists;
    long long size;
    std::string digest; // what reading the file gives
    State expected;
    bool readsFile;
};

void PrintTo(const JudgeCase& c, std::ostream* os)
{
    *os << c.name;
}

class RepairJudge : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(RepairJudge, JudgesTheInstalledFile)
{
    const JudgeCase& c = GetParam();
    bool read = false;
    CRepairCheck::Installed file;
    file.exists = c.exists;
    file.size = c.size;
    file.digest = [&] {
        read = true;
        return c.digest;
    };
    EXPECT_EQ(c.expected, CRepairCheck::Judge(CFileListEntry::Read(c.line, CFileListEntry::Blanks::Trim), file));
    EXPECT_EQ(c.readsFile, read);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RepairJudge,
    ::testing::Values(
        JudgeCase{"missing", "x,a.txt,1,,," + kDigest + ",4,", false, 0, "", State::Missing, false},
        JudgeCase{"good", "x,a.txt,1,,," + kDigest + ",4,", true, 4, kDigest, State::Good, true},
        JudgeCase{"other_bytes_same_size", "x,a.txt,1,,," + kDigest + ",4,", true, 4, kOther, State::Damaged, true},
        // The size decides before the file is read.
        JudgeCase{"cut_short", "x,a.txt,1,,," + kDigest + ",4,", true, 3, kDigest, State::Damaged, false},
        JudgeCase{"unreadable", "x,a.txt,1,,," + kDigest + ",", true, 4, "", State::Damaged, true},
        JudgeCase{"hash_without_size", "x,a.txt,1,,," + kDigest + ",", true, 9, kDigest, State::Good, true},
        // Unhashed entries: presence and, when listed, size only.
        JudgeCase{"unhashed_size_matches", "x,a.txt,1,,,,4,", true, 4, kOther, State::Good, false},
        JudgeCase{"unhashed_size_differs", "x,a.txt,1,,,,4,", true, 5, kOther, State::Damaged, false},
        JudgeCase{"unhashed_unsized_present", "x,a.txt,1,,,", true, 123, kOther, State::Good, false},
        JudgeCase{"unhashed_unsized_missing", "x,a.txt,1,,,", false, 0, "", State::Missing, false}));

} // namespace
