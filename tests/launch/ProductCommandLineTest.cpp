#include "launch/ProductCommandLine.h"

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

TEST(ProductCommandLine, FirstStartTellsFolderVersionAndTitleEachQuoted)
{
    std::string line;
    ASSERT_TRUE(
        MakeFirstStartCommandLine("C:\\Program Files\\Morvel\\Nuvra", "Nuvra.exe", "1.2.3", "Nuvra Desk", line));
    EXPECT_EQ("\"C:\\Program Files\\Morvel\\Nuvra\\Nuvra.exe\" -d\"C:\\Program Files\\Morvel\\Nuvra\" -v\"1.2.3\""
              " -t\"Nuvra Desk\"",
              line);
}

TEST(ProductCommandLine, FirstStartRefusesAQuoteInAnyPartAndALineBeyondItsBuffer)
{
    struct Case {
        const char* name;
        std::string folder, version, title;
    } cases[] = {
        {"quote in title", "C:\\M", "1", "a\" -x \"b"},
        {"quote in version", "C:\\M", "1\"", "t"},
        {"no folder", "", "1", "t"},
        // Everything but the title takes 36 characters here: one past the limit.
        {"too long", "C:\\M", "1", std::string(kMaxFirstStartCommandLine - 36 + 1, 't')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string line = "unchanged";
        EXPECT_FALSE(MakeFirstStartCommandLine(c.folder, "Nuvra.exe", c.version, c.title, line));
        EXPECT_EQ("unchanged", line);
    }
    std::string line;
    EXPECT_TRUE(
        MakeFirstStartCommandLine("C:\\M", "Nuvra.exe", "1", std::string(kMaxFirstStartCommandLine - 36, 't'), line));
    EXPECT_EQ(kMaxFirstStartCommandLine, line.size());
}

} // namespace
