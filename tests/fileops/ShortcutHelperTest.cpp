#include "fileops/ShortcutHelper.h"

#include "TempTree.h"
#include "framework/Handles.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

namespace {

const std::string kShortcutName = "\xb8\xf0\xb8\xa3\xba\xa7 \xb4\xa9\xba\xea\xb6\xf3"; // "모르벨 누브라"
const std::string kQuickLaunch = "Microsoft\\Internet Explorer\\Quick Launch\\Nuvra";

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct LinkInfo {
    std::string target, workingFolder, description, iconFile;
    int iconIndex = -1;
};

bool LoadLink(const std::string& path, LinkInfo& info)
{
    CComScope com;
    CComPtr<IShellLinkA> link;
    CComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(link.put()))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) {
        return false;
    }
    wchar_t wide[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (FAILED(file->Load(wide, STGM_READ))) return false;
    char text[MAX_PATH] = {};
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    info.target = text;
    link->GetWorkingDirectory(text, MAX_PATH);
    info.workingFolder = text;
    link->GetDescription(text, MAX_PATH);
    info.description = text;
    link->GetIconLocation(text, MAX_PATH, &info.iconIndex);
    info.iconFile = text;
    return true;
}

struct FolderCase {
    int csidl;
    const char* name;
};

void PrintTo(const FolderCase& c, std::ostream* os)
{
    *os << "CSIDL " << c.csidl;
}

class ShortcutHelperTest : public ::testing::TestWithParam<FolderCase> {
protected:
    void SetUp() override
    {
        tree.MakeFile("Nuvra/Nuvra.exe", "MZ");
        target = tree.Path("Nuvra/Nuvra.exe");
        linkPath = SpecialFolder(GetParam().csidl) + "\\" + GetParam().name + ".lnk";
        ::DeleteFileA(linkPath.c_str());
    }
    void TearDown() override { ::DeleteFileA(linkPath.c_str()); }

    TempTree tree;
    std::string target;
    std::string linkPath;
    CShortcutHelper helper;
};

TEST_P(ShortcutHelperTest, CreatesLinkToTargetAndDeletesIt)
{
    ASSERT_TRUE(helper.CreateShortcut(target, GetParam().name, GetParam().csidl, kShortcutName, "", 1));
    ASSERT_TRUE(FileExists(linkPath)) << linkPath;
    LinkInfo info;
    ASSERT_TRUE(LoadLink(linkPath, info));
    EXPECT_EQ(::lstrcmpiA(info.target.c_str(), target.c_str()), 0) << info.target;
    EXPECT_EQ(::lstrcmpiA(info.workingFolder.c_str(), tree.Path("Nuvra").c_str()), 0) << info.workingFolder;
    EXPECT_EQ(info.description, kShortcutName);

    EXPECT_TRUE(helper.DeleteShortcut(GetParam().name, GetParam().csidl));
    EXPECT_FALSE(FileExists(linkPath));
}

INSTANTIATE_TEST_SUITE_P(SpecialFolders, ShortcutHelperTest,
                         ::testing::Values(FolderCase{CSIDL_DESKTOP, kShortcutName.c_str()},
                                           FolderCase{CSIDL_PROGRAMS, kShortcutName.c_str()},
                                           FolderCase{CSIDL_STARTMENU, kShortcutName.c_str()},
                                           FolderCase{CSIDL_APPDATA, kQuickLaunch.c_str()}),
                         [](const ::testing::TestParamInfo<FolderCase>& info) {
                             return "csidl" + std::to_string(info.param.csidl);
                         });

// A fresh profile has no Quick Launch folder: every missing level below the special folder is made.
TEST(ShortcutHelper, CreatesMissingFoldersBelowSpecialFolder)
{
    TempTree tree;
    tree.MakeFile("Nuvra.exe", "MZ");
    const std::string top = "NuvraTest-" + std::to_string(::GetCurrentProcessId());
    const std::string topPath = SpecialFolder(CSIDL_APPDATA) + "\\" + top;
    CShortcutHelper helper;
    EXPECT_TRUE(helper.CreateShortcut(tree.Path("Nuvra.exe"), top + "\\Internet Explorer\\Quick Launch\\Nuvra",
                                      CSIDL_APPDATA, "d", "", 1));
    EXPECT_TRUE(FileExists(topPath + "\\Internet Explorer\\Quick Launch\\Nuvra.lnk"));
    TempTree::ForceRemove(topPath);
}

TEST(ShortcutHelper, KeepsGivenIconLocation)
{
    TempTree tree;
    tree.MakeFile("Nuvra/Nuvra.exe", "MZ");
    tree.MakeFile("Nuvra/icons.dll", "MZ");
    CShortcutHelper helper;
    ASSERT_TRUE(helper.CreateShortcut(tree.Path("Nuvra/Nuvra.exe"), "NuvraIcon", CSIDL_DESKTOP, "d",
                                      tree.Path("Nuvra/icons.dll"), 3));
    const std::string linkPath = SpecialFolder(CSIDL_DESKTOP) + "\\NuvraIcon.lnk";
    LinkInfo info;
    EXPECT_TRUE(LoadLink(linkPath, info));
    ::DeleteFileA(linkPath.c_str());
    EXPECT_EQ(::lstrcmpiA(info.iconFile.c_str(), tree.Path("Nuvra/icons.dll").c_str()), 0) << info.iconFile;
    EXPECT_EQ(info.iconIndex, 3);
}

TEST(ShortcutHelper, DeletingMissingLinkFails)
{
    CShortcutHelper helper;
    EXPECT_FALSE(helper.DeleteShortcut("no such link", CSIDL_DESKTOP));
}

TEST(ShortcutHelper, RefusesLinkNamesThatLeaveTheSpecialFolder)
{
    TempTree tree;
    tree.MakeFile("Nuvra.exe", "MZ");
    tree.MakeFile("victim.txt.lnk", "keep");
    CShortcutHelper helper;
    const std::string escape = "..\\..\\..\\..\\..\\..\\..\\..\\" + tree.Path("victim.txt").substr(3);
    for (const std::string& name :
         {std::string(""), std::string("..\\up"), tree.Path("abs"), std::string("a*"), std::string("a\\\\b"), escape}) {
        EXPECT_FALSE(helper.CreateShortcut(tree.Path("Nuvra.exe"), name, CSIDL_DESKTOP, "d", "", 0)) << name;
        EXPECT_FALSE(helper.DeleteShortcut(name, CSIDL_DESKTOP)) << name;
    }
    EXPECT_EQ(tree.Content("victim.txt.lnk"), "keep");
}

} // namespace
