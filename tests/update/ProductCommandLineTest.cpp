#include "update/ProductCommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(ProductCommandLine, QuotesTheProgramInItsFolder)
{
    std::string line;
    ASSERT_TRUE(MakeProductCommandLine("C:\\Program Files\\Morvel", "Nuvra.exe", line));
    EXPECT_EQ("\"C:\\Program Files\\Morvel\\Nuvra.exe\"", line);
}

TEST(ProductCommandLine, RefusesWhatCannotBeStartedSafely)
{
    struct Case {
        const char* name;
        std::string folder;
    } cases[] = {
        {"no folder", ""},
        {"quote in folder", "C:\\a\" -evil \"b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string line = "unchanged";
        EXPECT_FALSE(MakeProductCommandLine(c.folder, "Nuvra.exe", line));
        EXPECT_EQ("unchanged", line);
    }
}

TEST(ProductCommandLine, LongestLineFitsTheBufferOneMoreIsRefused)
{
    // Quotes, separator and "Nuvra.exe" take 12 characters.
    const std::string fits = "C:\\" + std::string(kMaxProductCommandLine - 12 - 3, 'a');
    std::string line;
    ASSERT_TRUE(MakeProductCommandLine(fits, "Nuvra.exe", line));
    EXPECT_EQ(kMaxProductCommandLine, line.size());
    EXPECT_FALSE(MakeProductCommandLine(fits + "a", "Nuvra.exe", line));
}

} // namespace
