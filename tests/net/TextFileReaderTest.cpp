#include "net/TextFileReader.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

namespace {

struct ReaderCase {
    const char* name;
    std::string content;
    std::vector<std::string> lines;
};

void PrintTo(const ReaderCase& c, std::ostream* os)
{
    *os << c.name;
}

class TextFileReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(TextFileReaderTest, SplitsIntoLines)
{
    CScratchFolder folder;
    ASSERT_TRUE(folder.Write("list.txt", GetParam().content));
    CTextFileReader reader("\n");
    std::vector<std::string> lines{"stale"};
    ASSERT_TRUE(reader.ReadTextFile(folder.File("list.txt"), lines));
    EXPECT_EQ(GetParam().lines, lines);
    EXPECT_TRUE(reader.ErrorText().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextFileReaderTest,
    ::testing::Values(ReaderCase{"CrLf", "a,b\r\nc\r\n", {"a,b", "c"}}, ReaderCase{"Lf", "a,b\nc\n", {"a,b", "c"}},
                      ReaderCase{"MixedEnds", "a\r\nb\nc\r\n", {"a", "b", "c"}},
                      ReaderCase{"EmptyLinesKept", "\na\n\n\r\nb\n", {"", "a", "", "", "b"}},
                      ReaderCase{"LastLineWithoutEnd", "a\nlast", {"a", "last"}},
                      ReaderCase{"LastLineWithoutEndAfterCrLf", "a\r\nlast", {"a", "last"}},
                      ReaderCase{"EmptyFile", "", {}}, ReaderCase{"OnlyLineEnd", "\r\n", {""}},
                      ReaderCase{"LoneCrStaysInLine", "a\rb\n", {"a\rb"}},
                      ReaderCase{
                          "KoreanBytesUntouched", "\xB4\xBA\xBA\xEA\xB6\xF3,1\r\n", {"\xB4\xBA\xBA\xEA\xB6\xF3,1"}},
                      ReaderCase{"ByteOrderMarkSkipped",
                                 "\xEF\xBB\xBF"
                                 "0,Nuvra,1,,no,\r\n",
                                 {"0,Nuvra,1,,no,"}},
                      ReaderCase{"LaterMarkKept",
                                 "a\n\xEF\xBB\xBF"
                                 "b\n",
                                 {"a",
                                  "\xEF\xBB\xBF"
                                  "b"}},
                      ReaderCase{"LongLine", std::string(10000, 'x') + "\ny", {std::string(10000, 'x'), "y"}}),
    [](const ::testing::TestParamInfo<ReaderCase>& info) { return std::string(info.param.name); });

TEST(TextFileReaderErrors, MissingFileKeepsErrorTextAndLines)
{
    CScratchFolder folder;
    CTextFileReader reader("\n");
    std::vector<std::string> lines{"kept"};
    EXPECT_FALSE(reader.ReadTextFile(folder.File("missing.txt"), lines));
    EXPECT_FALSE(reader.ErrorText().empty());
    EXPECT_EQ(std::vector<std::string>{"kept"}, lines);

    // A later successful read clears the error.
    ASSERT_TRUE(folder.Write("there.txt", "x"));
    EXPECT_TRUE(reader.ReadTextFile(folder.File("there.txt"), lines));
    EXPECT_TRUE(reader.ErrorText().empty());
}

} // namespace
