#include "fileops/FolderGuard.h"
#include "tests/support/PrintableName.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kProtected = {
    "C:\\Windows",
    "C:\\Program Files",
    "C:\\Program Files (x86)",
    "C:\\Users\\kim",
    "C:\\Users\\kim\\Desktop",
    "C:\\Users\\kim\\AppData\\Roaming",
    "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
    "\\\\srv\\home\\kim",
    "C:\\\xb0\x41",  // a double-byte name whose trail byte is "A"
};

struct GuardCase {
    const char* folder;
    bool deletable;
};


void PrintTo(const GuardCase& c, std::ostream* os) { *os << "\"" << Printable(c.folder) << "\""; }

class FolderGuard : public ::testing::TestWithParam<GuardCase> {};

TEST_P(FolderGuard, DecidesWhetherFolderMayBeDeleted)
{
    EXPECT_EQ(IsDeletableFolder(GetParam().folder, kProtected), GetParam().deletable);
}

INSTANTIATE_TEST_SUITE_P(Folders, FolderGuard, ::testing::Values(
    // empty, relative, drive-relative, rooted without a drive, device paths
    GuardCase{"", false}, GuardCase{"Nuvra", false}, GuardCase{".\\Nuvra", false},
    GuardCase{"\\Program Files\\Morvel", false}, GuardCase{"C:", false}, GuardCase{"C:Morvel", false},
    GuardCase{"\\\\?\\C:\\Morvel", false}, GuardCase{"\\\\.\\C:\\Morvel", false},
    // roots
    GuardCase{"C:\\", false}, GuardCase{"c:/", false}, GuardCase{"D:\\\\", false}, GuardCase{"C:\\.", false},
    GuardCase{"C:\\x\\..\\..\\..", false}, GuardCase{"\\\\srv\\share", false}, GuardCase{"\\\\srv\\share\\", false},
    GuardCase{"//srv/share", false}, GuardCase{"\\\\srv", false},
    // protected folders in any spelling
    GuardCase{"C:\\Windows", false}, GuardCase{"c:/windows/", false}, GuardCase{"C:\\WINDOWS\\.", false},
    GuardCase{"C:\\Windows.", false}, GuardCase{"C:\\Windows ", false}, GuardCase{"C:\\\\Windows\\\\", false},
    GuardCase{"C:\\Program Files\\Morvel\\..", false},
    GuardCase{"C:\\Program Files\\Morvel\\..\\..\\Windows", false},
    GuardCase{"\\\\SRV\\HOME\\Kim", false}, GuardCase{"C:\\\xb0\x41", false},
    // ancestors of protected folders
    GuardCase{"C:\\Users", false}, GuardCase{"c:\\users\\", false}, GuardCase{"C:\\Users\\Kim\\AppData", false},
    GuardCase{"C:\\ProgramData", false}, GuardCase{"C:\\ProgramData\\Microsoft\\Windows", false},
    GuardCase{"\\\\srv\\home", false},
    // ordinary installation folders
    GuardCase{"C:\\Program Files\\Morvel", true}, GuardCase{"c:/program files/morvel/", true},
    GuardCase{"C:\\Program Files\\Morvel\\.\\Nuvra", true}, GuardCase{"C:\\Program Files\\Morvel\\..\\Other", true},
    GuardCase{"C:\\Users\\kim\\AppData\\Roaming\\Morvel", true}, GuardCase{"D:\\Morvel", true},
    GuardCase{"C:\\Windowsx", true}, GuardCase{"C:\\Users\\kimx", true}, GuardCase{"\\\\srv\\share\\Morvel", true},
    GuardCase{"\\\\srv\\home\\kim\\Nuvra", true},
    GuardCase{"C:\\Program Files\\\xb8\xf0\xb8\xa3\xba\xa7", true},
    // same bytes but for the trail byte's ASCII case: a different character
    GuardCase{"C:\\\xb0\x61", true}));

TEST(FolderGuardList, EmptyListStillRefusesRootsAndRelativePaths)
{
    EXPECT_TRUE(IsDeletableFolder("C:\\Morvel", {}));
    EXPECT_FALSE(IsDeletableFolder("C:\\", {}));
    EXPECT_FALSE(IsDeletableFolder("Morvel", {}));
    EXPECT_TRUE(IsDeletableFolder("C:\\Morvel", {"", "relative", "C:"}));
}

TEST(CanonicalFolder, NormalisesSeparatorsDotsAndCase)
{
    EXPECT_EQ(CanonicalFolder("c:/a//b/./c/../"), "C:\\a\\b");
    EXPECT_EQ(CanonicalFolder("C:\\"), "C:\\");
    EXPECT_EQ(CanonicalFolder("C:\\a\\..\\..\\b"), "C:\\b");
    EXPECT_EQ(CanonicalFolder("C:\\a. \\b"), "C:\\a\\b");
    EXPECT_EQ(CanonicalFolder("\\\\srv\\share\\a\\"), "\\\\srv\\share\\a");
    EXPECT_EQ(CanonicalFolder("relative"), "");
    EXPECT_EQ(CanonicalFolder("\\\\srv"), "");
}

TEST(IsSameOrBelowFolder, ComparesWholeComponents)
{
    EXPECT_TRUE(IsSameOrBelowFolder("C:\\a\\b", "C:\\a"));
    EXPECT_TRUE(IsSameOrBelowFolder("c:\\A\\", "C:\\a"));
    EXPECT_FALSE(IsSameOrBelowFolder("C:\\ab", "C:\\a"));
    EXPECT_FALSE(IsSameOrBelowFolder("C:\\a", "C:\\a\\b"));
    EXPECT_FALSE(IsSameOrBelowFolder("D:\\a", "C:\\a"));
    EXPECT_FALSE(IsSameOrBelowFolder("a\\b", "a"));
}

} // namespace
