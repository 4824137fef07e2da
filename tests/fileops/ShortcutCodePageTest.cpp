// Shortcuts with the Korean name on a system whose ANSI code page has no Korean (1252): the
// runner starts this suite under LC_ALL=en_US.UTF-8.
#include "fileops/ShortcutHelper.h"

#include "TempTree.h"
#include "framework/Handles.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

namespace {

const wchar_t kShortcutName[] = L"\uBAA8\uB974\uBCA8 \uB204\uBE0C\uB77C"; // "모르벨 누브라"

struct LinkCase {
    int csidl;
    std::wstring name;
};

void PrintTo(const LinkCase& c, std::ostream* os)
{
    *os << "CSIDL " << c.csidl;
}

std::wstring LoadedDescription(const std::wstring& path, std::wstring& target)
{
    CComScope com;
    CComPtr<IShellLinkW> link;
    CComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.put()))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
        FAILED(file->Load(path.c_str(), STGM_READ))) {
        return L"<not loaded>";
    }
    wchar_t text[MAX_PATH] = {};
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    target = text;
    link->GetDescription(text, MAX_PATH);
    return text;
}

class ShortcutCodePageTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(ShortcutCodePageTest, KoreanNameIsCreatedAndDeletedWide)
{
    ASSERT_EQ(1252u, ::GetACP()) << "the runner must start this suite under an English locale";
    TempTree tree;
    tree.MakeFile("Nuvra/Nuvra.exe", "MZ");
    const std::string target = tree.Path("Nuvra/Nuvra.exe");
    const std::wstring path = CShortcutHelper::LinkPath(GetParam().name, GetParam().csidl);
    ASSERT_FALSE(path.empty());
    ::DeleteFileW(path.c_str());

    CShortcutHelper helper;
    ASSERT_TRUE(helper.CreateShortcut(target, GetParam().name, GetParam().csidl, kShortcutName, "", 1));
    std::wstring loadedTarget;
    EXPECT_EQ(kShortcutName, LoadedDescription(path, loadedTarget));
    EXPECT_EQ(std::wstring(target.begin(), target.end()), loadedTarget); // an ASCII temporary path

    EXPECT_TRUE(helper.DeleteShortcut(GetParam().name, GetParam().csidl));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(path.c_str()));
}

INSTANTIATE_TEST_SUITE_P(
    SpecialFolders, ShortcutCodePageTest,
    ::testing::Values(LinkCase{CSIDL_DESKTOP, kShortcutName}, LinkCase{CSIDL_STARTMENU, kShortcutName},
                      LinkCase{CSIDL_PROGRAMS, kShortcutName},
                      LinkCase{CSIDL_APPDATA,
                               std::wstring(L"Microsoft\\Internet Explorer\\Quick Launch\\") + kShortcutName}));

} // namespace
