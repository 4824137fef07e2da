#include "product/ProductPaths.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

TEST(ProductPaths, StripTrailingSeparatorsKeepsDriveRoot)
{
    EXPECT_EQ(StripTrailingSeparators(R"(C:\Morvel\Nuvra\)"), R"(C:\Morvel\Nuvra)");
    EXPECT_EQ(StripTrailingSeparators(R"(C:\Morvel\Nuvra\\)"), R"(C:\Morvel\Nuvra)");
    EXPECT_EQ(StripTrailingSeparators(R"(C:\)"), R"(C:\)");
    EXPECT_EQ(StripTrailingSeparators(R"(C:\Morvel)"), R"(C:\Morvel)");
    EXPECT_EQ(StripTrailingSeparators(""), "");
}

TEST(ProductPaths, ParentFolder)
{
    EXPECT_EQ(ParentFolder(R"(C:\Morvel\Nuvra\Nuvra.exe)"), R"(C:\Morvel\Nuvra)");
    EXPECT_EQ(ParentFolder(R"(C:\Morvel\Nuvra\)"), R"(C:\Morvel)");
    EXPECT_EQ(ParentFolder(R"(C:\Nuvra)"), R"(C:\)");
    EXPECT_EQ(ParentFolder(R"(C:\)"), R"(C:\)");
    EXPECT_EQ(ParentFolder("Nuvra.exe"), "");
}

TEST(ProductPaths, JoinPathDoesNotDoubleSeparators)
{
    EXPECT_EQ(JoinPath(R"(C:\)", "a.exe"), R"(C:\a.exe)");
    EXPECT_EQ(JoinPath(R"(C:\x)", "a.exe"), R"(C:\x\a.exe)");
    EXPECT_EQ(JoinPath("", "a.exe"), "a.exe");
}

TEST(ProductPaths, UpdaterLookedForBesideThenAboveThenRecordedFolder)
{
    EXPECT_THAT(UpdaterCandidates(R"(C:\Program Files\Morvel\Nuvra\Nuvra.exe)", R"(D:\Tools\)"),
                ElementsAre(R"(C:\Program Files\Morvel\Nuvra\NuvraUpdater.exe)",
                            R"(C:\Program Files\Morvel\NuvraUpdater.exe)", R"(D:\Tools\NuvraUpdater.exe)"));
}

TEST(ProductPaths, UpdaterCandidatesSkipMissingAndRepeatedFolders)
{
    // No recorded folder; the recorded folder repeating one already listed (case aside).
    EXPECT_THAT(UpdaterCandidates(R"(C:\Morvel\Nuvra\Nuvra.exe)", ""),
                ElementsAre(R"(C:\Morvel\Nuvra\NuvraUpdater.exe)", R"(C:\Morvel\NuvraUpdater.exe)"));
    EXPECT_THAT(UpdaterCandidates(R"(C:\Morvel\Nuvra\Nuvra.exe)", R"(c:\morvel)"),
                ElementsAre(R"(C:\Morvel\Nuvra\NuvraUpdater.exe)", R"(C:\Morvel\NuvraUpdater.exe)"));
    // At the drive root there is no folder above.
    EXPECT_THAT(UpdaterCandidates(R"(C:\Nuvra.exe)", ""), ElementsAre(R"(C:\NuvraUpdater.exe)"));
}
