#include "release/EntryPathSafety.h"
#include "tests/support/PrintableName.h"

#include <gtest/gtest.h>

namespace {

struct PathCase {
    std::string subFolder;
    std::string fileName;
};

void PrintTo(const PathCase& c, std::ostream* os)
{
    *os << "\"" << Printable(c.subFolder) << "\" + \"" << Printable(c.fileName) << "\"";
}

class UnsafeEntryPaths : public ::testing::TestWithParam<PathCase> {};
class SafeEntryPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(UnsafeEntryPaths, AreRefused)
{
    EXPECT_FALSE(IsSafeEntryPath(GetParam().subFolder, GetParam().fileName));
}
TEST_P(SafeEntryPaths, AreAccepted)
{
    EXPECT_TRUE(IsSafeEntryPath(GetParam().subFolder, GetParam().fileName));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UnsafeEntryPaths,
    ::testing::Values(
        // empty file name, empty or dot components
        PathCase{"", ""}, PathCase{"skin", ""}, PathCase{"", "."}, PathCase{"", ".."}, PathCase{"..", "f"},
        PathCase{".", "f"}, PathCase{"a/../..", "f"}, PathCase{"a//b", "f"}, PathCase{"a/", "f"},
        // absolute, share, drive, stream
        PathCase{"/abs", "f"}, PathCase{"", "/f"}, PathCase{"\\\\server\\share", "f"}, PathCase{"", "\\\\server\\f"},
        PathCase{"C:", "f"}, PathCase{"", "C:f"}, PathCase{"C:/Windows", "f"}, PathCase{"", "f.txt:stream"},
        // separators where they do not belong
        PathCase{"a\\b", "f"}, PathCase{"", "..\\f"}, PathCase{"", "a/f"},
        // control characters and characters Windows forbids
        PathCase{"", "a\tb"}, PathCase{"", std::string("a\0b", 3)}, PathCase{"d\x1f", "f"}, PathCase{"", "a<b"},
        PathCase{"", "a>b"}, PathCase{"", "a\"b"}, PathCase{"", "a|b"}, PathCase{"", "a?b"}, PathCase{"d*", "f"},
        // device names, with and without extension
        PathCase{"", "CON"}, PathCase{"", "con"}, PathCase{"", "Prn"}, PathCase{"aux", "f"}, PathCase{"", "nul.txt"},
        PathCase{"", "NUL .txt"}, PathCase{"", "COM1"}, PathCase{"", "com9.log"}, PathCase{"", "LPT1"},
        PathCase{"x/lpt9/y", "f"}, PathCase{"", "CONIN$"}, PathCase{"", "conout$.x"}, PathCase{"", "COM\xa9\xf6"},
        PathCase{"", "lpt\xa9\xf8.txt"}, PathCase{"com\xb2", "f"},
        // a lead byte without its second byte, at the end or before a separator or a dot
        PathCase{"", "a\xb0"}, PathCase{"d\xb0", "f"}, PathCase{"", "\xb0.txt"},
        // trailing dot or blank
        PathCase{"", "name."}, PathCase{"", "name "}, PathCase{"dir.", "f"}, PathCase{"a/dir ", "f"}));

INSTANTIATE_TEST_SUITE_P(
    Names, SafeEntryPaths,
    ::testing::Values(PathCase{"", "Nuvra.exe"}, PathCase{"skin", "main.bmp"}, PathCase{"images/small", "main.bmp"},
                      PathCase{"", ".hidden"}, PathCase{"", " lead"}, PathCase{"", "a..b"}, PathCase{"v1.0", "a.b.c"},
                      PathCase{"", "COM10"}, PathCase{"", "LPT"}, PathCase{"", "COM\xa9\xf9"},
                      PathCase{"", "console.txt"}, PathCase{"nulx", "auxiliary"},
                      PathCase{"", "\xb4\xa9\xba\xea\xb6\xf3.txt"},
                      PathCase{"\xb8\xf0\xb8\xa3\xba\xa7 \xb4\xa9\xba\xea\xb6\xf3", "\xb8\xf0\xb8\xa3\xba\xa7.exe"},
                      // double-byte characters whose trail bytes are ASCII letters
                      PathCase{"\xb0\x41\xb0\x61", "\x81\x5a.dat"}));

} // namespace
