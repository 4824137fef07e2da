#include "release/FileListEntry.h"
#include "tests/support/PrintableName.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

using Blanks = CFileListEntry::Blanks;

struct ReadCase {
    const char* line;
    Blanks blanks;
    std::vector<std::string> fields; // marker, name, version, folder, flag
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << "\"" << Printable(c.line) << "\" " << (c.blanks == Blanks::Trim ? "trimmed" : "kept");
}

class FileListEntryRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(FileListEntryRead, CutsFiveCommaTerminatedFields)
{
    const ReadCase& c = GetParam();
    const CFileListEntry e = CFileListEntry::Read(c.line, c.blanks);
    EXPECT_EQ((std::vector<std::string>{e.Marker(), e.FileName(), e.Version(), e.SubFolder(), e.Flag()}), c.fields)
        << "line: \"" << c.line << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FileListEntryRead,
    ::testing::Values(ReadCase{"setup,Nuvra.exe,1.0.2,,I,", Blanks::Trim, {"setup", "Nuvra.exe", "1.0.2", "", "I"}},
                      ReadCase{",readme.txt,1.0.0,doc,,", Blanks::Keep, {"", "readme.txt", "1.0.0", "doc", ""}},
                      ReadCase{"x, main.bmp ,1.0.0, images ,,", Blanks::Trim, {"x", "main.bmp", "1.0.0", "images", ""}},
                      ReadCase{
                          "x, main.bmp ,1.0.0, images ,,", Blanks::Keep, {"x", " main.bmp ", "1.0.0", " images ", ""}},
                      ReadCase{"x,\tmain.bmp\t,1.0,skin , A ,", Blanks::Trim, {"x", "main.bmp", "1.0", "skin", "A"}},
                      // Without the last comma the flag reads as empty.
                      ReadCase{"x,Nuvra.exe,2.0,,B", Blanks::Keep, {"x", "Nuvra.exe", "2.0", "", ""}},
                      ReadCase{"a,b,c,d,e,after,the,fifth", Blanks::Keep, {"a", "b", "c", "d", "e"}},
                      // A field without a following comma is empty and the next one starts over at the line's start.
                      ReadCase{"a,b", Blanks::Keep, {"a", "", "a", "", "a"}},
                      ReadCase{"a,b,c", Blanks::Keep, {"a", "b", "", "a", "b"}},
                      ReadCase{"no commas", Blanks::Keep, {"", "", "", "", ""}},
                      ReadCase{"", Blanks::Trim, {"", "", "", "", ""}},
                      ReadCase{"  ,f,1,,,", Blanks::Trim, {"", "f", "1", "", ""}},
                      ReadCase{"  ,f,1,,,", Blanks::Keep, {"  ", "f", "1", "", ""}},
                      // Korean names pass byte for byte.
                      ReadCase{"x,\xb4\xa9\xba\xea\xb6\xf3.txt,1,\xb8\xf0\xb8\xa3,,",
                               Blanks::Trim,
                               {"x", "\xb4\xa9\xba\xea\xb6\xf3.txt", "1", "\xb8\xf0\xb8\xa3", ""}}));

TEST(FileListEntry, EntryNeedsMarkerAndInPlaceNeedsExactA)
{
    EXPECT_FALSE(CFileListEntry::Read(",readme.txt,1.0.0,doc,,", Blanks::Keep).IsEntry());
    EXPECT_FALSE(CFileListEntry::Read("", Blanks::Keep).IsEntry());
    EXPECT_TRUE(CFileListEntry::Read("x,f,1,,A,", Blanks::Keep).ReplacesInPlace());
    EXPECT_FALSE(CFileListEntry::Read("x,f,1,, A,", Blanks::Keep).ReplacesInPlace());
    EXPECT_FALSE(CFileListEntry::Read("x,f,1,,a,", Blanks::Keep).ReplacesInPlace());
    EXPECT_FALSE(CFileListEntry::Read("x,f,1,,A", Blanks::Keep).ReplacesInPlace());
}

const char kDigest[] = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

struct HashCase {
    std::string line;
    Blanks blanks;
    std::string hash;
};

void PrintTo(const HashCase& c, std::ostream* os)
{
    *os << "\"" << Printable(c.line) << "\"";
}

class FileListEntryHash : public ::testing::TestWithParam<HashCase> {};

TEST_P(FileListEntryHash, ReadsADigestFromTheSixthField)
{
    EXPECT_EQ(CFileListEntry::Read(GetParam().line, GetParam().blanks).Hash(), GetParam().hash);
}

const std::string kUpper = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";

INSTANTIATE_TEST_SUITE_P(
    Lines, FileListEntryHash,
    ::testing::Values(HashCase{std::string("x,a.txt,1,,,") + kDigest + ",", Blanks::Keep, kDigest},
                      HashCase{std::string("x,a.txt,1,doc,A,") + kDigest + ",\r", Blanks::Keep, kDigest},
                      HashCase{std::string("x,a.txt,1,,, ") + kDigest + " ,", Blanks::Trim, kDigest},
                      HashCase{"x,a.txt,1,,," + kUpper + ",", Blanks::Keep, kDigest},
                      // Older lists: nothing, or something else, after the fifth comma.
                      HashCase{"x,a.txt,1,,,", Blanks::Keep, ""}, HashCase{"x,a.txt,1,,,,", Blanks::Keep, ""},
                      HashCase{"x,a.txt,1,,,note,", Blanks::Keep, ""},
                      HashCase{std::string("x,a.txt,1,,, ") + kDigest + ",", Blanks::Keep, ""},
                      HashCase{std::string("x,a.txt,1,,,") + kDigest, Blanks::Keep, ""},
                      HashCase{std::string("x,a.txt,1,,,") + std::string(kDigest).substr(1) + "g,", Blanks::Keep, ""},
                      HashCase{std::string("x,a.txt,1,,,") + kDigest + "0,", Blanks::Keep, ""},
                      // A line short of commas starts over; its first field is no digest.
                      HashCase{"x,a.txt,1,", Blanks::Keep, ""}));

TEST(FileListEntry, ReadsTheSizeFromTheSeventhField)
{
    const std::string digest(64, 'a');
    struct {
        std::string line;
        long long size; // -1: none
    } cases[] = {
        {"x,a.txt,1,,," + digest + ",1234,", 1234},
        {"x,a.txt,1,,," + digest + ",0,", 0},
        {"x,a.txt,1,,,,5000000000,", 5000000000LL}, // beyond 32 bits; no hash needed
        {"x,a.txt,1,,," + digest + ", 77 ,", 77},   // trimmed like every field
        {"x,a.txt,1,,," + digest + ",999999999999999999,", 999999999999999999LL},
        {"x,a.txt,1,,," + digest + ",9999999999999999999,", -1}, // past 63 bits: no size
        {"x,a.txt,1,,," + digest + ",-5,", -1},
        {"x,a.txt,1,,," + digest + ",12kB,", -1},
        {"x,a.txt,1,,," + digest + ",,", -1},
        {"x,a.txt,1,,," + digest + ",12", -1}, // no comma after it
        {"7,a.txt,1,,,", -1},                  // the marker is not read again as a size
        {"7,a.txt,1,,," + digest + ",", -1},
        {"7,a.txt,1,,,,", -1},
        {"x,a.txt,1,,,,1234567890123456789,", -1}, // 19 digits
    };
    for (const auto& c : cases) {
        const CFileListEntry entry = CFileListEntry::Read(c.line, Blanks::Trim);
        EXPECT_EQ(c.size >= 0, entry.HasSize()) << c.line;
        if (c.size >= 0) {
            EXPECT_EQ(c.size, entry.Size()) << c.line;
        }
    }
}

struct NameCase {
    const char* subFolder;
    const char* fileName;
    const char* server;
    const char* relative;
    const char* backup;
    const char* staging;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.subFolder << "/" << c.fileName;
}

class FileListEntryNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileListEntryNames, BuildsServerRelativeBackupAndStagingNames)
{
    const NameCase& c = GetParam();
    const CFileListEntry e =
        CFileListEntry::Read(std::string("x,") + c.fileName + ",1," + c.subFolder + ",,", Blanks::Keep);
    EXPECT_EQ(e.ServerPath("Nuvra"), c.server);
    EXPECT_EQ(e.RelativePath(), c.relative);
    EXPECT_EQ(e.BackupName(), c.backup);
    EXPECT_EQ(e.StagingName(), c.staging);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FileListEntryNames,
    ::testing::Values(NameCase{"", "Nuvra.exe", "Nuvra/Nuvra.exe", "Nuvra.exe", "Nuvra.xexe", "Nuvra.xxexe"},
                      NameCase{"skin", "main.bmp", "Nuvra/skin/main.bmp", "skin/main.bmp", "skin/main.xbmp",
                               "skin/main.xxbmp"},
                      NameCase{"images/small", "main.bmp", "Nuvra/images/small/main.bmp", "images/small/main.bmp",
                               "images/small/main.xbmp", "images/small/main.xxbmp"},
                      // A dotted folder keeps its name; a name without a dot is never its own backup.
                      NameCase{"v1.0", "a.b.c", "Nuvra/v1.0/a.b.c", "v1.0/a.b.c", "v1.0/a.xb.xc", "v1.0/a.xxb.xxc"},
                      NameCase{"", "README", "Nuvra/README", "README", "README.x", "README.xx"}));

TEST(FileListEntry, FolderLevelsOutermostFirst)
{
    EXPECT_EQ((std::vector<std::string>{"a", "a\\b", "a\\b\\c"}),
              CFileListEntry::Read("x,f,1,a/b/c,,", Blanks::Trim).FolderLevels());
    EXPECT_TRUE(CFileListEntry::Read("x,f,1,,,", Blanks::Trim).FolderLevels().empty());
}

struct VersionCase {
    const char* text;
    int number;
};

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << "\"" << Printable(c.text) << "\"";
}

class VersionNumbers : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionNumbers, DropDotsThenReadLikeAtoi)
{
    EXPECT_EQ(VersionNumber(GetParam().text), GetParam().number) << "\"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Texts, VersionNumbers,
                         ::testing::Values(VersionCase{"1.2.10", 1210}, VersionCase{"1.0.12", 1012},
                                           VersionCase{"1.1.0", 110}, VersionCase{"", 0}, VersionCase{"abc", 0},
                                           VersionCase{"...", 0}, VersionCase{"-", 0}, VersionCase{" \t7.1", 71},
                                           VersionCase{"+3", 3}, VersionCase{"-1.2", -12}, VersionCase{"1.2a3", 12},
                                           VersionCase{"1 2", 1}, VersionCase{".5", 5},
                                           VersionCase{"2147483647", INT_MAX}, VersionCase{"2.147.483.648", INT_MAX},
                                           VersionCase{"99999999999999999999999", INT_MAX},
                                           VersionCase{"-2147483648", INT_MIN},
                                           VersionCase{"-99999999999999999999999", INT_MIN}));

TEST(VersionNumber, ComparesWholeNumbersNotDottedParts)
{
    // 1.1.0 reads as 110, below 1.0.12 as 1012: the entry counts as older.
    EXPECT_LT(VersionNumber("1.1.0"), VersionNumber("1.0.12"));
}

} // namespace
