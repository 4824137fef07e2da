#include "fileops/PathText.h"

#include <gtest/gtest.h>

namespace {

TEST(PathText, LastComponentIgnoresTrailingSeparators)
{
    EXPECT_EQ(LastPathComponent("C:\\Program Files\\Morvel\\Nuvra.exe"), "Nuvra.exe");
    EXPECT_EQ(LastPathComponent("C:\\a\\b\\"), "b");
    EXPECT_EQ(LastPathComponent("skin/main.bmp"), "main.bmp");
    EXPECT_EQ(LastPathComponent("tempZUM"), "tempZUM");
}

TEST(PathText, ParentFolderKeepsRootBackslash)
{
    EXPECT_EQ(ParentFolder("C:\\Program Files\\Morvel\\Nuvra\\Nuvra.exe"), "C:\\Program Files\\Morvel\\Nuvra");
    EXPECT_EQ(ParentFolder("C:\\Nuvra.exe"), "C:\\");
    EXPECT_EQ(ParentFolder("\\Nuvra.exe"), "\\");
    EXPECT_EQ(ParentFolder("Nuvra.exe"), "");
}

TEST(PathText, ReadOnlyQuestionNamesLastComponent)
{
    EXPECT_EQ(ReadOnlyQuestionText("C:\\x\\readme.txt"), "readme.txt is read olny. Do you want delete it?");
    EXPECT_EQ(ReadOnlyQuestionText("C:\\x\\tempZUM\\"), "tempZUM is read olny. Do you want delete it?");
}

} // namespace
