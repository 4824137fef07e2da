#include "release/ListVerdict.h"

#include <gtest/gtest.h>

namespace {

const std::string kHash = std::string(64, 'a');

struct VerdictCase {
    const char* name;
    ListPurpose purpose;
    std::string installed;
    std::vector<std::string> entries; // lines after title and version "1.1.0"
    ListSignature signature;
    ListVerdict expected;
};

void PrintTo(const VerdictCase& c, std::ostream* os)
{
    *os << c.name;
}

class Verdict : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(Verdict, IsTheSameForEveryMode)
{
    const VerdictCase& c = GetParam();
    CListFacts facts;
    facts.purpose = c.purpose;
    facts.installedVersion = c.installed;
    facts.signature = c.signature;
    facts.nowUnixSeconds = 2000;
    facts.lines = {"Nuvra", "1.1.0"};
    facts.lines.insert(facts.lines.end(), c.entries.begin(), c.entries.end());
    EXPECT_EQ(c.expected, JudgeList(facts));
}

const ListPurpose kInstall = ListPurpose::Install, kUpdate = ListPurpose::Update, kRepair = ListPurpose::Repair;
const ListSignature kNone = ListSignature::NotAsked, kSigned = ListSignature::Verified;
const std::string kGood = "0,a.txt,1.1.0,,," + kHash + ",", kOldUnhashed = "0,b.txt,1.0.0,,,";

INSTANTIATE_TEST_SUITE_P(
    Lists, Verdict,
    ::testing::Values(
        VerdictCase{"usable for install", kInstall, "", {kGood}, kNone, ListVerdict::Usable},
        VerdictCase{"usable for update", kUpdate, "1.0.0", {kGood}, kSigned, ListVerdict::Usable},
        VerdictCase{"older refused by update", kUpdate, "1.2.0", {kGood}, kNone, ListVerdict::Older},
        VerdictCase{"older refused by repair", kRepair, "1.2.0", {kGood}, kSigned, ListVerdict::Older},
        VerdictCase{"older fine for install", kInstall, "1.2.0", {kGood}, kNone, ListVerdict::Usable},
        VerdictCase{"same version repairs", kRepair, "1.1.0", {kGood}, kSigned, ListVerdict::Usable},
        VerdictCase{"missing signature", kUpdate, "1.0.0", {kGood}, ListSignature::Missing, ListVerdict::Unsigned},
        VerdictCase{"wrong signature", kInstall, "", {kGood}, ListSignature::Wrong, ListVerdict::Unsigned},
        VerdictCase{"expired", kRepair, "1.1.0", {",expires,1999,", kGood}, kSigned, ListVerdict::Expired},
        VerdictCase{"not expired yet", kRepair, "1.1.0", {",expires,2001,", kGood}, kSigned, ListVerdict::Usable},
        VerdictCase{"no entry", kInstall, "", {"# nothing"}, kNone, ListVerdict::NotARelease},
        VerdictCase{
            "unsafe entry to install", kInstall, "", {"0,x.txt,1.1.0,..\\up,,"}, kNone, ListVerdict::UnsafeEntry},
        VerdictCase{"unsafe old entry, repair writes it",
                    kRepair,
                    "1.0.0",
                    {kGood, "0,x.txt,1.0.0,..\\up,,"},
                    kNone,
                    ListVerdict::UnsafeEntry},
        VerdictCase{"unsafe old entry, update skips it",
                    kUpdate,
                    "1.0.0",
                    {kGood, "0,x.txt,1.0.0,..\\up,,"},
                    kNone,
                    ListVerdict::Usable},
        VerdictCase{"signed, unhashed old entry to repair",
                    kRepair,
                    "1.0.0",
                    {kGood, kOldUnhashed},
                    kSigned,
                    ListVerdict::Unhashed},
        VerdictCase{"signed, unhashed old entry the update keeps",
                    kUpdate,
                    "1.0.0",
                    {kGood, kOldUnhashed},
                    kSigned,
                    ListVerdict::Usable}));

} // namespace
