#include "install/DefaultInstallDir.h"

#include "fileops/PathText.h"
#include "fileops/WritableFolder.h"
#include "framework/StringTable.h"
#include "framework/TextConvert.h"
#include "res/resource.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

std::string CDefaultInstallDir::Get()
{
    const std::string machineWide = CStringTable::Ansi(IDS_DEFAULT_INSTALL_DIR);
    if (CWritableFolder::CanCreateAndWrite(machineWide)) return machineWide;
    const std::string programs = UserProgramsFolder();
    // Without a per-user folder the machine-wide one is still the best offer: the install then
    // fails with its message, and the user may choose another folder first.
    if (programs.empty()) return machineWide;
    return JoinPath(programs, CStringTable::Ansi(IDS_MAKER_NAME));
}

std::string CDefaultInstallDir::UserProgramsFolder()
{
    PWSTR known = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_UserProgramFiles, KF_FLAG_DEFAULT, nullptr, &known)) && known) {
        std::string path = AnsiPathFromWide(known);
        CoTaskMemFree(known);
        if (!path.empty()) return path;
    } else {
        CoTaskMemFree(known); // may be set even on failure; freeing null is harmless
    }
    // Older systems and Wine know no such folder, and one not made yet has no short name for a
    // name without an 8-bit form; Windows keeps it at this place.
    wchar_t local[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)) || !local[0])
        return std::string();
    std::string folder = AnsiPathFromWide(local);
    return folder.empty() ? folder : JoinPath(folder, "Programs");
}
