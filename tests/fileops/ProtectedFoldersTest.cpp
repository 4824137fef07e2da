#include "fileops/FolderGuard.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

namespace {

std::string Folder(int csidl)
{
    char path[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

TEST(ProtectedFolders, GuardKeepsThisMachinesSystemAndProfileFolders)
{
    const std::vector<std::string> guarded = GetProtectedFolders();
    for (int csidl : {CSIDL_WINDOWS, CSIDL_PROGRAM_FILES, CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,
                      CSIDL_APPDATA, CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_APPDATA}) {
        const std::string folder = Folder(csidl);
        ASSERT_FALSE(folder.empty()) << csidl;
        EXPECT_FALSE(IsDeletableFolder(folder, guarded)) << folder;
    }
    const std::string profile = Folder(CSIDL_PROFILE);
    EXPECT_FALSE(IsDeletableFolder(profile.substr(0, profile.rfind('\\')), guarded)); // the users folder
    EXPECT_TRUE(IsDeletableFolder(Folder(CSIDL_PROGRAM_FILES) + "\\Morvel", guarded));
    EXPECT_TRUE(IsDeletableFolder(Folder(CSIDL_APPDATA) + "\\Morvel\\ImagePack", guarded));
}

TEST(ProtectedFolders, EveryProfileOfTheUsersFolderIsKept)
{
    const std::vector<std::string> guarded = GetProtectedFolders();
    const std::string profile = Folder(CSIDL_PROFILE);
    const std::string users = profile.substr(0, profile.rfind('\\'));
    WIN32_FIND_DATAA entry;
    HANDLE find = ::FindFirstFileA((users + "\\*").c_str(), &entry);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == ".." || !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        EXPECT_FALSE(IsDeletableFolder(users + "\\" + name, guarded)) << name;
    } while (::FindNextFileA(find, &entry));
    ::FindClose(find);
}

} // namespace
