#include "uninstall/RemovalPlan.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const char kPrefix[] = "_cm_component_";

TEST(RemovalPlan, ComponentCountReadsLeadingDecimalDigitsLikeTheCLibrary)
{
    const struct {
        const char* text;
        int count;
    } cases[] = {
        {"2", 2},
        {"0", 0},
        {"", 0},
        {"abc", 0},
        {"2x", 2},
        {" 3", 3},
        {"\t+4", 4},
        {"x2", 0},
        {"-3", 0},
        {"007", 7},
        {"1.5", 1},
        {"2147483647", INT_MAX},
        {"99999999999999999999", INT_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.count, ParseComponentCount(c.text)) << '"' << c.text << '"';
    }
}

TEST(RemovalPlan, ComponentIndexAcceptsOnlyTheNamesThatPercentDWritesBelowTheCount)
{
    const struct {
        const char* name;
        int count;
        int index;
    } cases[] = {
        {"_cm_component_0", 2, 0},
        {"_cm_component_1", 2, 1},
        {"_CM_Component_1", 2, 1},
        {"_cm_component_2", 2, -1},
        {"_cm_component_01", 2, -1},
        {"_cm_component_", 2, -1},
        {"_cm_component__count", 2, -1},
        {"_cm_component_1x", 2, -1},
        {"_cm_component_-1", 2, -1},
        {"_cm_component_ 1", 2, -1},
        {"_sys_title", 2, -1},
        {"_cm_component_0", 0, -1},
        {"_cm_component_99999999999", INT_MAX, -1},
        {"_cm_component_2147483646", INT_MAX, 2147483646},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.index, ComponentIndexOf(c.name, kPrefix, c.count)) << c.name << " of " << c.count;
    }
}

TEST(RemovalPlan, ComponentNamesInIndexOrderWithoutEmptyOrNestedNames)
{
    EXPECT_EQ(
        (std::vector<std::string>{"ImagePack", "Sounds", "\xb8\xf0\xb8\xa3"}),
        OrderedComponentNames(
            {{3, "\xb8\xf0\xb8\xa3"}, {1, "Sounds"}, {0, "ImagePack"}, {2, ""}, {4, "Other\\Plugin"}, {5, "\\"}}));
    EXPECT_TRUE(OrderedComponentNames({}).empty());
}

TEST(RemovalPlan, RecordKeysProductFirstThenComponentsInOrder)
{
    EXPECT_EQ((std::vector<std::string>{"Nuvra", "B", "A"}), RecordKeysToDelete("Nuvra", {"B", "A"}));
    EXPECT_EQ((std::vector<std::string>{"Nuvra"}), RecordKeysToDelete("Nuvra", {}));
}

TEST(RemovalPlan, ShortcutsDesktopStartMenuProgramsThenQuickLaunchWithTheirBarPositions)
{
    const std::vector<CRemovalShortcut> shortcuts =
        RemovalShortcuts("Name", "Microsoft\\Internet Explorer\\Quick Launch\\", "Nuvra");
    ASSERT_EQ(4u, shortcuts.size());
    const struct {
        const char* link;
        int folder;
        int bar;
    } expected[] = {
        {"Name", 0, 70},
        {"Name", 11, 80},
        {"Name", 2, 90},
        {"Microsoft\\Internet Explorer\\Quick Launch\\Nuvra", 26, 100},
    };
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
        EXPECT_EQ(expected[i].link, shortcuts[i].linkName);
        EXPECT_EQ(expected[i].folder, shortcuts[i].specialFolder);
        EXPECT_EQ(expected[i].bar, shortcuts[i].barAfter);
    }
}

TEST(RemovalPlan, FolderRemovalGuardFirstThenKeepsTheUninstallersOwnFile)
{
    const std::vector<std::string> guarded = {"C:\\Windows", "C:\\Users\\kim"};
    const std::string own = "C:\\Program Files\\Morvel\\Nuvra\\NuvraUpdater.exe";
    const struct {
        const char* folder;
        EFolderRemoval expected;
    } cases[] = {
        {"", EFolderRemoval::Skip},
        {"Nuvra", EFolderRemoval::Skip},
        {"C:\\", EFolderRemoval::Skip},
        {"\\\\127.0.0.1\\share", EFolderRemoval::Skip},
        {"C:\\Users", EFolderRemoval::Skip},
        {"c:\\windows\\", EFolderRemoval::Skip},
        {"C:\\Program Files\\Morvel\\Nuvra", EFolderRemoval::KeepOwnFile},
        {"c:/program files/morvel", EFolderRemoval::KeepOwnFile},
        {own.c_str(), EFolderRemoval::KeepOwnFile},
        {"C:\\Program Files\\Morvel\\Nuvra2", EFolderRemoval::Whole},
        {"C:\\Users\\kim\\AppData\\Roaming\\Morvel", EFolderRemoval::Whole},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, DecideFolderRemoval(c.folder, guarded, own)) << '"' << c.folder << '"';
    }
    EXPECT_EQ(EFolderRemoval::Whole, DecideFolderRemoval("C:\\Program Files\\Morvel\\Nuvra", guarded, ""));
}

TEST(RemovalPlan, MakerFolderIsTheOneAboveTheProductOnlyWhenItCarriesTheMakersName)
{
    const struct {
        const char* product;
        const char* maker;
    } cases[] = {
        {"C:\\Program Files\\Morvel\\Nuvra", "C:\\Program Files\\Morvel"},
        {"c:/users/kim/programs/MORVEL/Nuvra\\ ", "C:\\users\\kim\\programs\\MORVEL"},
        {"C:\\Program Files\\Nuvra", ""},
        {"C:\\Morvelous\\Nuvra", ""},
        {"C:\\Nuvra", ""},
        {"Morvel\\Nuvra", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.maker, MakerFolderAbove(c.product, "Morvel")) << c.product;
}

TEST(RemovalPlan, ShellPathListEndsWithTwoZeros)
{
    const std::vector<char> list = ShellPathList("C:\\a");
    EXPECT_EQ((std::vector<char>{'C', ':', '\\', 'a', '\0', '\0'}), list);
}

} // namespace
