#include "fileops/ShortcutHelper.h"

#include "fileops/PathText.h"
#include "framework/Handles.h"

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <vector>

namespace {

std::wstring Widen(const std::string& text)
{
    if (text.empty()) return std::wstring();
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

// A link name is a relative path below the special folder. Anything that could reach outside
// it, or that the shell's file operation would expand as a pattern, is refused.
bool IsPlainLinkName(const std::string& linkName)
{
    if (linkName.empty() || linkName.find_first_of(":*?\"<>|/") != std::string::npos) return false;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type end = linkName.find('\\', start);
        const std::string part = linkName.substr(start, end == std::string::npos ? end : end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

void CreateMissingFolders(const std::string& folder)
{
    if (folder.empty() || ::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    const std::string parent = ParentFolder(folder);
    if (parent != folder) CreateMissingFolders(parent);
    ::CreateDirectoryA(folder.c_str(), nullptr);  // a failure shows when the link is saved
}

} // namespace

std::string CShortcutHelper::LinkPath(const std::string& linkName, int specialFolder)
{
    if (!IsPlainLinkName(linkName)) return std::string();
    char folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, specialFolder, nullptr, SHGFP_TYPE_CURRENT, folder)) || !folder[0]) {
        return std::string();
    }
    std::string path = folder;
    if (path.back() != '\\') path += '\\';
    return path + linkName + ".lnk";
}

bool CShortcutHelper::CreateShortcut(const std::string& target, const std::string& linkName, int specialFolder,
                                     const std::string& description, const std::string& iconFile, int iconIndex)
{
    CComScope com;
    if (!com.ok()) return false;
    const std::string linkPath = LinkPath(linkName, specialFolder);
    if (linkPath.empty()) return false;

    CComPtr<IShellLinkA> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(link.put())))) {
        return false;
    }
    if (FAILED(link->SetPath(target.c_str()))) return false;
    if (FAILED(link->SetWorkingDirectory(ParentFolder(target).c_str()))) return false;
    if (FAILED(link->SetDescription(description.c_str()))) return false;
    if (!iconFile.empty() && FAILED(link->SetIconLocation(iconFile.c_str(), iconIndex))) return false;

    CComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return false;
    CreateMissingFolders(ParentFolder(linkPath));
    const std::wstring widePath = Widen(linkPath);
    return !widePath.empty() && SUCCEEDED(file->Save(widePath.c_str(), TRUE));
}

bool CShortcutHelper::DeleteShortcut(const std::string& linkName, int specialFolder)
{
    CComScope com;
    const std::string linkPath = LinkPath(linkName, specialFolder);
    if (linkPath.empty()) return false;
    // The shell takes a list of paths, each ended by a zero, the list ended by one more.
    std::vector<char> from(linkPath.begin(), linkPath.end());
    from.push_back('\0');
    from.push_back('\0');

    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.data();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return ::SHFileOperationA(&operation) == 0 && !operation.fAnyOperationsAborted;
}
