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

struct DigestCase {
    const char* name;
    std::vector<std::string> pieces; // written in this order
    std::string expected;            // the digest the sink is told to expect
    bool commits;
};

void PrintTo(const DigestCase& c, std::ostream* os)
{
    *os << c.name;
}

class FileSinkDigest : public ::testing::TestWithParam<DigestCase> {};

TEST_P(FileSinkDigest, CommitsOnlyTheExpectedBody)
{
    const DigestCase& c = GetParam();
    CScratchFolder folder;
    ASSERT_TRUE(folder.Write("a.txt", "old content"));
    CFileSink sink;
    ASSERT_TRUE(sink.Open(folder.File("a.txt")));
    sink.ExpectDigest(c.expected);
    for (const std::string& piece : c.pieces) ASSERT_TRUE(sink.Write(piece.data(), static_cast<DWORD>(piece.size())));
    EXPECT_EQ(c.commits, sink.Commit());
    std::string body;
    for (const std::string& piece : c.pieces) body += piece;
    EXPECT_EQ(c.commits ? body : "old content", folder.Read("a.txt"));
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, folder.List()); // no temporary file stays
}

// SHA-256 of "abc" and of the empty message.
const char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

INSTANTIATE_TEST_SUITE_P(Bodies, FileSinkDigest,
                         ::testing::Values(DigestCase{"WholeBody", {"abc"}, kAbc, true},
                                           DigestCase{"InPieces", {"a", "", "bc"}, kAbc, true},
                                           DigestCase{"EmptyBody", {}, kEmpty, true},
                                           DigestCase{"SameLengthOtherBytes", {"abd"}, kAbc, false},
                                           DigestCase{"BodyCutShort", {"ab"}, kAbc, false},
                                           DigestCase{"NoDigestChecksNothing", {"anything"}, "", true}),
                         [](const ::testing::TestParamInfo<DigestCase>& info) { return std::string(info.param.name); });

} // namespace
