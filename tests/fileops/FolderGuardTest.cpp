#include "fileops/FolderGuard.h"
#include "tests/support/PrintableName.h"

#include <gtest/gtest.h>

#include <map>

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
    "C:\\\xb0\x41", // a double-byte name whose trail byte is "A"
};

struct GuardCase {
    const char* folder;
    bool deletable;
};

void PrintTo(const GuardCase& c, std::ostream* os)
{
    *os << "\"" << Printable(c.folder) << "\"";
}

class FolderGuard : public ::testing::TestWithParam<GuardCase> {};

TEST_P(FolderGuard, DecidesWhetherFolderMayBeDeleted)
{
    EXPECT_EQ(IsDeletableFolder(GetParam().folder, kProtected), GetParam().deletable);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderGuard,
    ::testing::Values(
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
        GuardCase{"C:\\Program Files\\Morvel\\..\\..\\Windows", false}, GuardCase{"\\\\SRV\\HOME\\Kim", false},
        GuardCase{"C:\\\xb0\x41", false},
        // ancestors of protected folders
        GuardCase{"C:\\Users", false}, GuardCase{"c:\\users\\", false}, GuardCase{"C:\\Users\\Kim\\AppData", false},
        GuardCase{"C:\\ProgramData", false}, GuardCase{"C:\\ProgramData\\Microsoft\\Windows", false},
        GuardCase{"\\\\srv\\home", false},
        // ordinary installation folders
        GuardCase{"C:\\Program Files\\Morvel", true}, GuardCase{"c:/program files/morvel/", true},
        GuardCase{"C:\\Program Files\\Morvel\\.\\Nuvra", true}, GuardCase{"C:\\Program Files\\Morvel\\..\\Other", true},
        GuardCase{"C:\\Users\\kim\\AppData\\Roaming\\Morvel", true}, GuardCase{"D:\\Morvel", true},
        GuardCase{"C:\\Windowsx", true}, GuardCase{"C:\\Users\\kimx", true}, GuardCase{"\\\\srv\\share\\Morvel", true},
        GuardCase{"\\\\srv\\home\\kim\\Nuvra", true}, GuardCase{"C:\\Program Files\\\xb8\xf0\xb8\xa3\xba\xa7", true},
        // same bytes but for the trail byte's ASCII case: a different character
        GuardCase{"C:\\\xb0\x61", true},
        // a drive's administrative share is that drive, whatever the host is called
        GuardCase{"\\\\127.0.0.1\\c$\\Users\\kim", false}, GuardCase{"\\\\localhost\\C$\\Windows", false},
        GuardCase{"\\\\srv\\c$\\Users", false}, GuardCase{"\\\\srv\\c$", false},
        GuardCase{"\\\\srv\\c$\\Program Files\\Morvel", true}, GuardCase{"\\\\srv\\cc$\\Windows", true},
        // stream names of the folder itself, wildcards and control characters name no folder
        GuardCase{"C:\\Windows::$INDEX_ALLOCATION", false}, GuardCase{"C:\\Windows:$I30:$INDEX_ALLOCATION", false},
        GuardCase{"C:\\Program Files\\Morvel::$INDEX_ALLOCATION", false}, GuardCase{"C:\\Users\\*", false},
        GuardCase{"C:\\Program Files\\Nu?ra", false}, GuardCase{"C:\\Program Files\\a\tb", false},
        GuardCase{"\\\\srv\\sh:are\\Morvel", false}, GuardCase{"C:\\Morvel|x", false}));

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

// A disk given as a table: each path that exists, with its identity; kSealed marks one that
// exists but cannot be identified.
const std::uint64_t kSealed = ~0ull;

struct CFakeDisk : IFolderIdentitySource {
    std::map<std::string, CFolderIdentity> table = {
        {"C:\\", {1, 100, "C:\\"}},
        {"C:\\Windows", {1, 101, "C:\\Windows"}},
        {"C:\\Users", {1, 102, "C:\\Users"}},
        {"C:\\Users\\kim", {1, 103, "C:\\Users\\kim"}},
        {"C:\\Users\\kim\\Desktop", {1, 104, "C:\\Users\\kim\\Desktop"}},
        {"C:\\Program Files\\Morvel\\Nuvra", {1, 200, "C:\\Program Files\\Morvel\\Nuvra"}},
        {"C:\\PROGRA~1\\Morvel\\Nuvra", {1, 200, "C:\\Program Files\\Morvel\\Nuvra"}},
        {"C:\\Program Files\\Sealed", {1, kSealed, ""}},
        // other spellings of the same folders; some file systems give only one of the two
        {"Z:\\pfx\\drive_c", {1, 100, "C:\\"}},
        {"Z:\\pfx\\drive_c\\users", {1, 102, ""}},
        {"S:\\kim", {1, 103, ""}},
        {"\\\\nas\\home\\kim\\Desktop", {1, 104, ""}},
        {"Y:\\no-index", {0, 0, "C:\\Users\\kim"}},
        {"Y:\\no-index-other", {0, 0, "C:\\Users\\kim\\Music"}},
        {"D:\\Morvel", {2, 103, ""}}, // the same file index on another volume is another folder
    };
    int lookups = 0;

    EIdentityLookup Identify(const std::string& path, CFolderIdentity& identity) override
    {
        ++lookups;
        const auto found = table.find(CanonicalFolder(path));
        if (found == table.end()) return EIdentityLookup::Missing;
        identity = found->second;
        return identity.fileIndex == kSealed ? EIdentityLookup::Unknown : EIdentityLookup::Found;
    }
};

TEST(FolderGuardOnDisk, JudgesAFolderByWhatItIsNotHowItIsSpelled)
{
    const std::vector<std::string> guarded = {"C:\\Windows", "C:\\Users\\kim\\Desktop"};
    const struct {
        const char* folder;
        bool deletable;
    } cases[] = {
        {"Z:\\pfx\\drive_c", false},            // the drive root, above every protected folder
        {"Z:\\pfx\\drive_c\\users", false},     // the users folder
        {"S:\\kim", false},                     // a substituted drive onto the profile
        {"\\\\nas\\home\\kim\\Desktop", false}, // a share onto a protected folder itself
        {"Y:\\no-index", false},                // known by its final path only
        {"C:\\Program Files\\Sealed", false},   // there, but it cannot be identified
        {"Y:\\no-index-other", true},
        {"D:\\Morvel", true},
        {"C:\\PROGRA~1\\Morvel\\Nuvra\\", true},
        {"C:\\Program Files\\Morvel\\Gone", true}, // nothing there: the text decides
    };
    for (const auto& c : cases) {
        CFakeDisk disk;
        EXPECT_EQ(c.deletable, IsDeletableOnDisk(c.folder, guarded, disk)) << c.folder;
    }
    CFakeDisk disk; // what the text refuses needs no look at the disk
    EXPECT_FALSE(IsDeletableOnDisk("\\\\localhost\\c$\\Users", guarded, disk));
    EXPECT_EQ(0, disk.lookups);
}

TEST(FolderGuardOnDisk, FindsTheSameFolderUnderAnotherSpelling)
{
    CFakeDisk disk;
    const std::vector<std::string> chain = {"C:\\Program Files\\Morvel\\Nuvra", "C:\\Users\\kim", "C:\\"};
    EXPECT_EQ(0, FindSameFolder("C:\\PROGRA~1\\Morvel\\Nuvra", chain, disk));
    EXPECT_EQ(1, FindSameFolder("Y:\\no-index", chain, disk));
    EXPECT_EQ(2, FindSameFolder("Z:\\pfx\\drive_c", chain, disk));
    EXPECT_EQ(-1, FindSameFolder("D:\\Morvel", chain, disk));
    EXPECT_EQ(-1, FindSameFolder("C:\\Program Files\\Morvel\\Gone", chain, disk));
    EXPECT_EQ((std::vector<std::string>{"C:\\a\\b", "C:\\a", "C:\\"}), SelfAndAncestors("c:/a/b/"));
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
