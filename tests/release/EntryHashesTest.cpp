#include "release/EntryHashes.h"
#include "release/EntrySizes.h"

#include <gtest/gtest.h>

namespace {

TEST(EntryHashes, EveryEntryOfTheListMustCarryOne)
{
    const std::string hash(64, 'c');
    using Blanks = CFileListEntry::Blanks;
    struct {
        std::vector<std::string> lines;
        Blanks blanks;
        bool hashed;
    } cases[] = {
        {{"title", "1.0.0", "x,a.dll,1.0.0,,," + hash + ",", "x,b.dll,1.0.0,doc,A," + hash + ","}, Blanks::Keep, true},
        {{"title", "1.0.0", "x,a.dll,1.0.0,,," + hash + ",", "x,b.dll,1.0.0,,,"}, Blanks::Keep, false},
        {{"title", "1.0.0", "x,a.dll,1.0.0,,, " + hash + " ,"}, Blanks::Trim, true},
        {{"title", "1.0.0", "x,a.dll,1.0.0,,, " + hash + " ,"}, Blanks::Keep, false},
        // Lines that are no entries are never downloaded.
        {{"title", "1.0.0", "", ",b.dll,1.0.0,,,"}, Blanks::Trim, true},
        // Title and version are no entries, whatever they hold.
        {{"x,a,1,,,", "x,b,1,,,"}, Blanks::Trim, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.hashed, EveryEntryHashed(c.lines, c.blanks)) << ::testing::PrintToString(c.lines);
}

TEST(EntrySizes, EveryEntryMustListItsSize)
{
    struct {
        std::vector<std::string> lines;
        bool listed;
    } cases[] = {
        {{"title", "1.0.0", "x,a.dll,1.0.0,,,,12,", "x,b.dll,1.0.0,,,,0,", ",skipped,1,,,", ",expires,9,"}, true},
        {{"title", "1.0.0", "x,a.dll,1.0.0,,,,12,", "x,b.dll,1.0.0,,,"}, false}, // one without: ask them all
        {{"title", "1.0.0", ",a.dll,1.0.0,,,"}, false},                          // no entry at all
    };
    for (const auto& c : cases) EXPECT_EQ(c.listed, EverySizeListed(c.lines)) << ::testing::PrintToString(c.lines);
}

} // namespace
