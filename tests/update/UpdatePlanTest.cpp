#include "update/UpdatePlan.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Verdict = CUpdatePlan::Verdict;

std::vector<std::string> List(std::vector<std::string> entries)
{
    std::vector<std::string> lines = {"Morvel Nuvra", "1.2.0"};
    lines.insert(lines.end(), entries.begin(), entries.end());
    return lines;
}

// The names of the entries that a plan updates, in order.
std::vector<std::string> Updated(const CUpdatePlan& plan)
{
    std::vector<std::string> names;
    for (const CUpdatePlan::Item& item : plan.Items())
        if (item.update) names.push_back(item.entry.RelativePath());
    return names;
}

struct SelectionCase {
    const char* name;
    std::string installed;
    std::vector<std::string> entries;
    std::vector<std::string> updated;
};

void PrintTo(const SelectionCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpdateSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(UpdateSelection, UpdatesOnlyEntriesWithAGreaterVersionNumber)
{
    const SelectionCase& c = GetParam();
    CUpdatePlan plan = CUpdatePlan::Make(List(c.entries), c.installed);
    EXPECT_EQ(Verdict::Ready, plan.GetVerdict());
    EXPECT_EQ(c.entries.size(), plan.Items().size()); // skipped lines are kept for the bar
    EXPECT_EQ(c.updated, Updated(plan));
    EXPECT_EQ(c.updated.size(), plan.UpdateCount());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, UpdateSelection,
    ::testing::Values(
        SelectionCase{
            "equal is not newer", "1.0.0", {"x,a.dll,1.0.0,,,", "x,b.dll,1.0.1,,,", "x,c.dll,0.9.9,,,"}, {"b.dll"}},
        // 1.1.0 is above 1.0.12 component by component (the dot-less 110 would be below 1012).
        SelectionCase{"parts, not whole numbers",
                      "1.0.12",
                      {"x,a.dll,1.1.0,,,", "x,b.dll,1.0.13,,,", "x,c.dll,1.0.9,,,"},
                      {"a.dll", "b.dll"}},
        SelectionCase{"nothing recorded counts as 0", "", {"x,a.dll,0.0.1,,,", "x,b.dll,0,,,"}, {"a.dll"}},
        SelectionCase{"not a number counts as 0", "beta", {"x,a.dll,1,,,", "x,b.dll,abc,,,"}, {"a.dll"}},
        SelectionCase{"no marker, blank line", "1.0.0", {",a.dll,9.0,,,", "", "x,b.dll,9.0.0,sub,,"}, {"sub/b.dll"}},
        SelectionCase{"missing last comma reads flag as empty", "1.0", {"x,Nuvra.exe,2.0,,B"}, {"Nuvra.exe"}},
        // Blanks are trimmed as the install trims them, so both address the same file.
        SelectionCase{"blank padded", "1.0", {"x, main.bmp ,2.0, images ,,"}, {"images/main.bmp"}}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(UpdatePlan, LineOneTrimmedIsTheVersionToRecord)
{
    CUpdatePlan plan = CUpdatePlan::Make({"Title", " 2.0.1 ", "x,a.dll,1,,,"}, "1.0.0");
    EXPECT_EQ(Verdict::Ready, plan.GetVerdict());
    EXPECT_EQ("2.0.1", plan.NewVersion());
}

TEST(UpdatePlan, OlderListIsARollbackAndTheInstalledOneReplacesNothing)
{
    const std::vector<std::string> entries = {"x,a.dll,1.0.0,,,", "x,b.dll,1.0.10,,,"};
    struct {
        const char* list;
        const char* installed;
        Verdict verdict;
        bool installedRelease;
        std::size_t updates;
    } cases[] = {
        {"1.0.0", "1.0.1", Verdict::Rollback, false, 0},  // one step back
        {"0.9.0", "1.0.1", Verdict::Rollback, false, 0},  // the first of two steps back
        {"1.0.10", "1.1.0", Verdict::Rollback, false, 0}, // 1010 > 110 as dot-less numbers
        {"1.0.10", "1.0.10", Verdict::Ready, true, 0},    // its own newer entries stay too
        {"1.0.10", "1.0.9", Verdict::Ready, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " over " + c.installed);
        std::vector<std::string> lines = {"Morvel Nuvra", c.list};
        lines.insert(lines.end(), entries.begin(), entries.end());
        const CUpdatePlan plan = CUpdatePlan::Make(lines, c.installed);
        EXPECT_EQ(c.verdict, plan.GetVerdict());
        if (c.verdict != Verdict::Ready) continue;
        EXPECT_EQ(c.installedRelease, plan.IsInstalledRelease());
        EXPECT_EQ(c.updates, plan.UpdateCount());
    }
}

TEST(UpdatePlan, ChainedListedNamesStillGiveDistinctBackups)
{
    // "a" backs up as "a.x", which is listed, and so on down the chain.
    std::vector<std::string> entries;
    std::string name = "a";
    for (int i = 0; i < 200; ++i, name += ".x") entries.push_back("x," + name + ",2.0,,,");
    const CUpdatePlan plan = CUpdatePlan::Make(List(entries), "1.0");
    for (const CUpdatePlan::Item& item : plan.Items()) {
        EXPECT_FALSE(plan.Names(item.backup)) << item.backup;
        EXPECT_FALSE(plan.Names(item.staging)) << item.staging;
    }
    EXPECT_EQ(name, plan.Items()[0].backup); // past the last listed name
}

TEST(UpdatePlan, ListThatIsNoReleaseIsRefused)
{
    for (const std::vector<std::string>& lines : std::vector<std::vector<std::string>>{
             {}, {"Title only"}, {"Title", "2.0.1"}, {"<html>", "<head><title>Login</title></head>", "</html>"}})
        EXPECT_EQ(Verdict::NotARelease, CUpdatePlan::Make(lines, "1.0.0").GetVerdict());
}

TEST(UpdatePlan, BackupAndStagingNamesNeverNameAListedFile)
{
    CUpdatePlan plan = CUpdatePlan::Make(
        List({"x,main.bmp,2.0,skin,,", "x,main.xbmp,2.0,skin,,", "x,LICENSE,2,,,", "x,lib.dll,2,v1.2,A,"}), "1.0");
    ASSERT_EQ(4u, plan.Items().size());
    EXPECT_EQ("skin/main.xbmp.x", plan.Items()[0].backup);
    EXPECT_EQ("skin/main.xxbmp", plan.Items()[0].staging);
    EXPECT_EQ("LICENSE.x", plan.Items()[2].backup);
    EXPECT_EQ("v1.2/lib.xxdll", plan.Items()[3].staging);
}

TEST(UpdatePlan, OrdinaryAndInPlaceEntriesKeepTheirFlags)
{
    CUpdatePlan plan = CUpdatePlan::Make(List({"x,Nuvra.exe,2.0,,B", "x,skin.bmp,2.0,skin,A,"}), "1.0");
    ASSERT_EQ(2u, plan.Items().size());
    const CFileListEntry& ordinary = plan.Items()[0].entry;
    EXPECT_FALSE(ordinary.ReplacesInPlace());
    EXPECT_EQ("Nuvra.xexe", ordinary.BackupName());
    const CFileListEntry& inPlace = plan.Items()[1].entry;
    EXPECT_TRUE(inPlace.ReplacesInPlace());
    EXPECT_EQ("skin/skin.xxbmp", inPlace.StagingName());
    EXPECT_EQ("Nuvra/skin/skin.bmp", inPlace.ServerPath("Nuvra"));
}

TEST(UpdatePlan, UnsafeNewerEntryRefusesTheWholeList)
{
    const char* unsafe[] = {
        "x,evil.dll,2.0,..,,",   "x,evil.dll,2.0,../..,,", "x,..,2.0,,,",  "x,evil.dll,2.0,C:/Windows,,",
        "x,evil.dll,2.0,/abs,,", "x,a\\..\\b.dll,2.0,,,",  "x,nul,2.0,,,", "x,COM\xa9\xf6,2.0,,,",
        "x,evil.dll,2.0,sub/,,",
    };
    for (const char* line : unsafe) {
        SCOPED_TRACE(line);
        // Safe entries before it do not make the list usable: nothing may be touched.
        CUpdatePlan plan = CUpdatePlan::Make(List({"x,good.dll,2.0,,,", line}), "1.0");
        EXPECT_EQ(Verdict::UnsafeEntry, plan.GetVerdict());
    }
}

TEST(UpdatePlan, UnsafeEntryThatIsNotUpdatedIsNeverUsed)
{
    // Neither a skipped line nor an older entry names anything on disk.
    CUpdatePlan plan = CUpdatePlan::Make(List({",..,9.0,..,,", "x,evil.dll,0.5,..,,", "x,a.dll,2.0,,,"}), "1.0");
    EXPECT_EQ(Verdict::Ready, plan.GetVerdict());
    EXPECT_EQ(std::vector<std::string>{"a.dll"}, Updated(plan));
}

// The bar as the worker drives it: 5 once the list is in, a step after each line while below
// 90 (PBM_STEPIT adds the step), 100 at the end.
std::vector<int> BarPositions(std::size_t entryLines)
{
    std::vector<std::string> lines = List(std::vector<std::string>(entryLines, "x,a.dll,1.0,,,"));
    CUpdatePlan plan = CUpdatePlan::Make(lines, "0");
    int position = CUpdatePlan::kListFetchedStep;
    std::vector<int> positions = {position};
    for (std::size_t i = 0; i < plan.Items().size(); ++i) {
        if (CUpdatePlan::StepsAfterEntry(position)) position += plan.ProgressStep();
        positions.push_back(position);
    }
    positions.push_back(100);
    return positions;
}

TEST(UpdatePlan, HashesAreRequiredOnlyOfTheEntriesItUpdates)
{
    const std::string hash(64, 'a');
    struct {
        std::vector<std::string> entries;
        bool everyUpdateHashed;
    } cases[] = {
        {{"x,a.dll,1.2.0,,," + hash + ",", "x,b.dll,1.2.0,,A," + hash + ","}, true},
        {{"x,a.dll,1.2.0,,," + hash + ",", "x,b.dll,1.2.0,,,"}, false},
        {{"x,a.dll,1.2.0,,,not a digest,"}, false},
        // Entries that stay as installed need none; nor do lines that are no entries.
        {{"x,a.dll,1.2.0,,," + hash + ",", "x,old.dll,1.0.0,,,", ",c.dll,1.2.0,,,"}, true},
        {{}, true},
    };
    for (const auto& c : cases) {
        const CUpdatePlan plan = CUpdatePlan::Make(List(c.entries), "1.1.0");
        EXPECT_EQ(c.everyUpdateHashed, plan.EveryUpdateHashed()) << ::testing::PrintToString(c.entries);
    }
}

TEST(UpdateProgress, StepIsEightyOverTheEntryLinesAtLeastOne)
{
    struct Case {
        std::size_t entryLines;
        int step;
    } cases[] = {{0, 1}, {1, 80}, {2, 40}, {3, 26}, {80, 1}, {81, 1}, {200, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entryLines);
        std::vector<std::string> lines = List(std::vector<std::string>(c.entryLines, "x,a.dll,1.0,,,"));
        EXPECT_EQ(c.step, CUpdatePlan::Make(lines, "0").ProgressStep());
    }
}

TEST(UpdateProgress, BarPositionsOverARun)
{
    EXPECT_EQ((std::vector<int>{5, 100}), BarPositions(0));
    EXPECT_EQ((std::vector<int>{5, 85, 100}), BarPositions(1));
    EXPECT_EQ((std::vector<int>{5, 45, 85, 100}), BarPositions(2));
    EXPECT_EQ((std::vector<int>{5, 31, 57, 83, 100}), BarPositions(3));

    // Many lines: one per line, and the bar stays at 90 once it is there.
    std::vector<int> many = BarPositions(200);
    ASSERT_EQ(202u, many.size());
    EXPECT_EQ(89, many[84]);
    EXPECT_EQ(90, many[85]);
    EXPECT_EQ(90, many[200]);
    EXPECT_EQ(100, many.back());
}

} // namespace
