#include "fileops/ShortcutHelper.h"

#include "framework/Handles.h"
#include "framework/TextConvert.h"

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <vector>

namespace {

// A link name is a relative path below the special folder. Anything that could reach outside
// it, or that the shell's file operation would expand as a pattern, is refused.
bool IsPlainLinkName(const std::wstring& linkName)
{
    if (linkName.empty() || linkName.find_first_of(L":*?\"<>|/") != std::wstring::npos) return false;
    std::wstring::size_type start = 0;
    for (;;) {
        const std::wstring::size_type end = linkName.find(L'\\', start);
        const std::wstring part = linkName.substr(start, end == std::wstring::npos ? end : end - start);
        if (part.empty() || part == L"." || part == L"..") return false;
        if (end == std::wstring::npos) return true;
        start = end + 1;
    }
}

// "C:\a\b" -> "C:\a"; "C:\a" -> "C:\"; no separator -> "".
std::wstring ParentOf(const std::wstring& path)
{
    const std::wstring::size_type last = path.find_last_of(L"\\/");
    if (last == std::wstring::npos) return std::wstring();
    if (last == 2 && path[1] == L':') return path.substr(0, 3);
    return path.substr(0, last);
}

void CreateMissingFolders(const std::wstring& folder)
{
    if (folder.empty() || ::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    const std::wstring parent = ParentOf(folder);
    if (parent != folder) CreateMissingFolders(parent);
    ::CreateDirectoryW(folder.c_str(), nullptr); // a failure shows when the link is saved
}

} // namespace

std::wstring CShortcutHelper::LinkPath(const std::wstring& linkName, int specialFolder)
{
    if (!IsPlainLinkName(linkName)) return std::wstring();
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, specialFolder, nullptr, SHGFP_TYPE_CURRENT, folder)) || !folder[0]) {
        return std::wstring();
    }
    std::wstring path = folder;
    if (path.back() != L'\\') path += L'\\';
    return path + linkName + L".lnk";
}

std::string CShortcutHelper::LinkPath(const std::string& linkName, int specialFolder)
{
    return AnsiPathFromWide(LinkPath(WideFromAnsi(linkName), specialFolder));
}

bool CShortcutHelper::CreateShortcut(const std::string& target, const std::wstring& linkName, int specialFolder,
                                     const std::wstring& description, const std::string& iconFile, int iconIndex)
{
    CComScope com;
    if (!com.ok()) return false;
    const std::wstring linkPath = LinkPath(linkName, specialFolder);
    if (linkPath.empty()) return false;

    CComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.put())))) {
        return false;
    }
    const std::wstring wideTarget = WideFromAnsi(target);
    if (FAILED(link->SetPath(wideTarget.c_str()))) return false;
    if (FAILED(link->SetWorkingDirectory(ParentOf(wideTarget).c_str()))) return false;
    if (FAILED(link->SetDescription(description.c_str()))) return false;
    if (!iconFile.empty() && FAILED(link->SetIconLocation(WideFromAnsi(iconFile).c_str(), iconIndex))) return false;

    CComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return false;
    CreateMissingFolders(ParentOf(linkPath));
    return SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
}

bool CShortcutHelper::CreateShortcut(const std::string& target, const std::string& linkName, int specialFolder,
                                     const std::string& description, const std::string& iconFile, int iconIndex)
{
    return CreateShortcut(target, WideFromAnsi(linkName), specialFolder, WideFromAnsi(description), iconFile,
                          iconIndex);
}

bool CShortcutHelper::DeleteShortcut(const std::wstring& linkName, int specialFolder)
{
    CComScope com;
    const std::wstring linkPath = LinkPath(linkName, specialFolder);
    if (linkPath.empty()) return false;
    // The shell takes a list of paths, each ended by a zero, the list ended by one more.
    std::vector<wchar_t> from(linkPath.begin(), linkPath.end());
    from.push_back(L'\0');
    from.push_back(L'\0');

    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.data();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return ::SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
}

bool CShortcutHelper::DeleteShortcut(const std::string& linkName, int specialFolder)
{
    return DeleteShortcut(WideFromAnsi(linkName), specialFolder);
}
