#include "net/FileSink.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(FileSink, CommitPutsTheBodyInPlaceOfTheTarget)
{
    CScratchFolder folder;
    ASSERT_TRUE(folder.Write("a.txt", "old content"));
    CFileSink sink;
    ASSERT_TRUE(sink.Open(folder.File("a.txt")));
    EXPECT_EQ("old content", folder.Read("a.txt")); // untouched while the body arrives
    ASSERT_TRUE(sink.Write("new", 3));
    ASSERT_TRUE(sink.Commit());
    EXPECT_EQ("new", folder.Read("a.txt"));
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, folder.List());
}

TEST(FileSink, UncommittedSinkLeavesNothing)
{
    CScratchFolder folder;
    ASSERT_TRUE(folder.Write("keep.txt", "keep"));
    {
        CFileSink sink;
        ASSERT_TRUE(sink.Open(folder.File("keep.txt")));
        ASSERT_TRUE(sink.Write("partial", 7));
        {
            CFileSink other;
            ASSERT_TRUE(other.Open(folder.File("new.txt")));
            EXPECT_NE(sink.TemporaryPath(), other.TemporaryPath());
        }
    }
    EXPECT_EQ(std::vector<std::string>{"keep.txt"}, folder.List());
    EXPECT_EQ("keep", folder.Read("keep.txt"));
}

TEST(FileSink, CannotOpenInMissingFolderOrCommitOntoFolder)
{
    CScratchFolder folder;
    CFileSink missing;
    EXPECT_FALSE(missing.Open(folder.File("nowhere/a.txt")));

    ASSERT_TRUE(folder.Write("dir/inside.txt", "x"));
    CFileSink ontoFolder;
    ASSERT_TRUE(ontoFolder.Open(folder.File("dir")));
    ASSERT_TRUE(ontoFolder.Write("x", 1));
    EXPECT_FALSE(ontoFolder.Commit());
    EXPECT_EQ(std::vector<std::string>{"dir"}, folder.List());
    EXPECT_EQ("x", folder.Read("dir/inside.txt"));
}

} // namespace
