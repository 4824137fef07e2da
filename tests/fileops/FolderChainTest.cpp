#include "fileops/FolderChain.h"

#include <gtest/gtest.h>

namespace {

struct ChainCase {
    const char* folder;
    std::vector<std::string> chain;
};

void PrintTo(const ChainCase& c, std::ostream* os)
{
    *os << c.folder;
}

class FolderChainTest : public ::testing::TestWithParam<ChainCase> {};

TEST_P(FolderChainTest, LevelsOutermostFirstWithoutTheRoot)
{
    EXPECT_EQ(GetParam().chain, FolderChain(GetParam().folder));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FolderChainTest,
    ::testing::Values(ChainCase{"C:\\users\\kim\\AppData\\Local\\Programs\\Morvel",
                                {"C:\\users", "C:\\users\\kim", "C:\\users\\kim\\AppData",
                                 "C:\\users\\kim\\AppData\\Local", "C:\\users\\kim\\AppData\\Local\\Programs",
                                 "C:\\users\\kim\\AppData\\Local\\Programs\\Morvel"}},
                      ChainCase{"C:\\Program Files\\Morvel\\", {"C:\\Program Files", "C:\\Program Files\\Morvel"}},
                      ChainCase{"C:\\a\\\\b", {"C:\\a", "C:\\a\\\\b"}}, ChainCase{"D:/x/y", {"D:/x", "D:/x/y"}},
                      ChainCase{"\\\\server\\share\\Morvel\\Nuvra",
                                {"\\\\server\\share\\Morvel", "\\\\server\\share\\Morvel\\Nuvra"}},
                      ChainCase{"\\\\server\\share", {}}, ChainCase{"\\\\server\\share\\", {}}, ChainCase{"C:\\", {}},
                      ChainCase{"C:", {}}, ChainCase{"\\top\\sub", {"\\top", "\\top\\sub"}},
                      ChainCase{"a/b", {"a", "a/b"}}, ChainCase{"", {}}));

} // namespace
