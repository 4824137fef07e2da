#include "fileops/FileOpEngine.h"

#include "fileops/FExeption.h"
#include "fileops/FolderGuard.h"
#include "fileops/PathText.h"
#include "framework/Handles.h"

#include <atomic>
#include <new>
#include <utility>
#include <vector>

namespace {

std::atomic<bool> g_unattended{false};

struct DirEntry {
    std::string name;
    DWORD attributes;
};

[[noreturn]] void ThrowLastError()
{
    const DWORD code = ::GetLastError();
    throw CFExeption(code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE);
}

DWORD AttributesOf(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) ThrowLastError();
    return attributes;
}

bool IsFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
bool IsLink(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Everything in a folder except "." and "..". Listed completely before anything is changed so
// that deleting or creating entries cannot disturb the enumeration.
std::vector<DirEntry> ListFolder(const std::string& folder)
{
    std::vector<DirEntry> entries;
    WIN32_FIND_DATAA data;
    CFindHandle find(::FindFirstFileA(JoinPath(folder, "*").c_str(), &data));
    if (!find) {
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return entries;
        ThrowLastError();
    }
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        entries.push_back({name, data.dwFileAttributes});
    } while (::FindNextFileA(find.get(), &data));
    if (::GetLastError() != ERROR_NO_MORE_FILES) ThrowLastError();
    return entries;
}

} // namespace

template <typename Operation>
bool CFileOpEngine::Guarded(Operation operation)
{
    try {
        return operation();
    } catch (const CFExeption& error) {
        StoreError(error);
    } catch (const std::bad_alloc&) {
        StoreError(CFExeption(ERROR_NOT_ENOUGH_MEMORY));
    }
    return false;
}

void CFileOpEngine::StoreError(const CFExeption& error)
{
    m_lastErrorText = error.GetText();
    m_lastErrorCode = error.GetCode();
}

void CFileOpEngine::SetUnattended(bool unattended)
{
    g_unattended = unattended;
}

// True when the item may be changed: it is not read-only, or the user agreed and the attribute
// is now cleared. False when the user said No. Throws when the user cancels.
bool CFileOpEngine::ConsentToTouch(const std::string& path, DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
    if (m_askReadOnly && g_unattended) return false;
    if (m_askReadOnly) {
        const int answer =
            ::MessageBoxA(m_owner, ReadOnlyQuestionText(path).c_str(), "Warning", MB_YESNOCANCEL | MB_ICONWARNING);
        if (answer == IDCANCEL) {
            m_cancelled = true;
            throw CFExeption(ERROR_CANCELLED);
        }
        // A box that could not be shown is no consent.
        if (answer != IDYES) return false;
    }
    const DWORD settable = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE;
    DWORD cleared = attributes & settable;
    if (cleared == 0) cleared = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileAttributesA(path.c_str(), cleared)) ThrowLastError();
    return true;
}

bool CFileOpEngine::CanDelete(const std::string& path)
{
    return Guarded([&] { return ConsentToTouch(path, AttributesOf(path)); });
}

CFileOpEngine::Removal CFileOpEngine::RemoveEntry(const std::string& path, DWORD attributes)
{
    if (!ConsentToTouch(path, attributes)) return Removal::Kept;
    if (IsFolder(attributes)) {
        // A junction or symbolic link is removed as the link itself: its target lies outside
        // the tree being deleted.
        if (!IsLink(attributes) && RemoveContents(path) == Removal::Kept) return Removal::Kept;
        if (!::RemoveDirectoryA(path.c_str())) ThrowLastError();
    } else {
        if (!::DeleteFileA(path.c_str())) ThrowLastError();
    }
    return Removal::Removed;
}

CFileOpEngine::Removal CFileOpEngine::RemoveContents(const std::string& folder)
{
    Removal result = Removal::Removed;
    for (const DirEntry& entry : ListFolder(folder)) {
        if (RemoveEntry(JoinPath(folder, entry.name), entry.attributes) == Removal::Kept) {
            result = Removal::Kept;
        }
    }
    return result;
}

bool CFileOpEngine::Delete(const std::string& path)
{
    return Guarded([&] {
        const DWORD attributes = AttributesOf(path);
        if (RemoveEntry(path, attributes) == Removal::Removed) return true;
        // The user kept the item itself, or something below it.
        const bool keptItself = (::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
        throw CFExeption(keptItself || !IsFolder(attributes) ? ERROR_ACCESS_DENIED : ERROR_DIR_NOT_EMPTY);
    });
}

bool CFileOpEngine::Rename(const std::string& from, const std::string& to)
{
    return Guarded([&] {
        if (!::MoveFileA(from.c_str(), to.c_str())) ThrowLastError();
        return true;
    });
}

void CFileOpEngine::CreateFolderPath(const std::string& folder)
{
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!IsFolder(attributes)) throw CFExeption(ERROR_ALREADY_EXISTS);
        return;
    }
    const std::string parent = ParentFolder(folder);
    if (!parent.empty() && parent != folder) CreateFolderPath(parent);
    if (!::CreateDirectoryA(folder.c_str(), nullptr)) {
        const DWORD code = ::GetLastError();
        const DWORD now = ::GetFileAttributesA(folder.c_str());
        if (code == ERROR_ALREADY_EXISTS && now != INVALID_FILE_ATTRIBUTES && IsFolder(now)) return;
        throw CFExeption(code);
    }
}

void CFileOpEngine::CopyContents(const std::string& source, const std::string& target)
{
    for (const DirEntry& entry : ListFolder(source)) {
        const std::string from = JoinPath(source, entry.name);
        const std::string to = JoinPath(target, entry.name);
        if (IsFolder(entry.attributes)) {
            // A linked folder may lead back up the tree; copying through it need not end.
            if (IsLink(entry.attributes)) continue;
            CreateFolderPath(to);
            CopyContents(from, to);
        } else if (!::CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            ThrowLastError();
        }
    }
}

bool CFileOpEngine::Copy(const std::string& sourceFolder, const std::string& targetFolder)
{
    return Guarded([&] {
        if (!IsFolder(AttributesOf(sourceFolder))) throw CFExeption(ERROR_DIRECTORY);
        char fullSource[MAX_PATH];
        char fullTarget[MAX_PATH];
        const DWORD ns = ::GetFullPathNameA(sourceFolder.c_str(), MAX_PATH, fullSource, nullptr);
        const DWORD nt = ::GetFullPathNameA(targetFolder.c_str(), MAX_PATH, fullTarget, nullptr);
        if (ns == 0 || nt == 0) ThrowLastError();
        if (ns >= MAX_PATH || nt >= MAX_PATH) throw CFExeption(ERROR_FILENAME_EXCED_RANGE);
        // Copying a folder into itself would copy its own copies without end.
        if (IsSameOrBelowFolder(fullTarget, fullSource)) throw CFExeption(ERROR_INVALID_PARAMETER);
        CreateFolderPath(fullTarget);
        CopyContents(fullSource, fullTarget);
        return true;
    });
}
