#include "uninstall/FolderRemoval.h"

#include "fileops/FileOpEngine.h"
#include "fileops/FolderGuard.h"
#include "fileops/PathText.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "uninstall/RemovalPlan.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

namespace {

// The long form of an existing path, so that an 8.3 spelling in the registry and the long one
// of our own file compare equal; the path as it is when the platform cannot tell.
std::string LongPath(const std::string& path)
{
    char buffer[MAX_PATH] = {};
    const DWORD n = ::GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(buffer, n) : path;
}

std::string ModulePath()
{
    char buffer[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(buffer, n) : std::string();
}

bool IsPlainFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::vector<std::string> EntryNames(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    CFindHandle find(::FindFirstFileA(JoinPath(folder, "*").c_str(), &data));
    if (!find) return names;
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (::FindNextFileA(find.get(), &data));
    return names;
}

// True when path is read-only or holds a read-only item. Linked folders are not entered.
bool HoldsReadOnlyItem(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_READONLY) return true;
    if (!IsPlainFolder(attributes)) return false;
    for (const std::string& name : EntryNames(path)) {
        if (HoldsReadOnlyItem(JoinPath(path, name))) return true;
    }
    return false;
}

} // namespace

CFolderRemoval::CFolderRemoval(std::vector<std::string> protectedFolders, std::string ownFile, HWND owner)
    : m_protectedFolders(std::move(protectedFolders)), m_ownFile(LongPath(ownFile)), m_owner(owner)
{
    if (m_ownFile.empty()) return;
    m_ownFileChain.push_back(m_ownFile);
    for (const std::string& folder : SelfAndAncestors(ParentFolder(m_ownFile))) m_ownFileChain.push_back(folder);
}

CFolderRemoval CFolderRemoval::ForThisProgram(HWND owner)
{
    return CFolderRemoval(GetProtectedFolders(), ModulePath(), owner);
}

std::string CFolderRemoval::Target(const std::string& folder)
{
    const std::string canonical = CanonicalFolder(folder);
    if (canonical.empty()) {
        LogVerdict(folder, "refused, not an absolute folder path");
        return std::string();
    }
    std::string target = LongPath(canonical);
    // Both spellings must pass: the long one could reveal a protected folder behind a short name.
    if (DecideFolderRemoval(canonical, m_protectedFolders, m_ownFile) == EFolderRemoval::Skip ||
        DecideFolderRemoval(target, m_protectedFolders, m_ownFile) == EFolderRemoval::Skip) {
        LogVerdict(folder, "refused by its name (a root, a share, a system or user folder, or odd characters)");
        return std::string();
    }
    // The text cannot tell that another drive letter, a share or a link names the same folder.
    if (!IsDeletableOnDisk(target, m_protectedFolders, m_identity)) {
        LogVerdict(folder, "refused on disk (it is, or holds, a protected folder, or cannot be identified)");
        return std::string();
    }
    const int own = FindSameFolder(target, m_ownFileChain, m_identity);
    if (own >= 0) target = m_ownFileChain[static_cast<std::size_t>(own)];
    LogVerdict(folder,
               own >= 0 || DecideFolderRemoval(target, m_protectedFolders, m_ownFile) == EFolderRemoval::KeepOwnFile
                   ? "allowed, all but the uninstaller's own file"
                   : "allowed");

    const auto same = [&target](const std::string& earlier) {
        return IsSameOrBelowFolder(target, earlier) && IsSameOrBelowFolder(earlier, target);
    };
    if (std::none_of(m_targets.begin(), m_targets.end(), same)) m_targets.push_back(target);
    return target;
}

void CFolderRemoval::LogVerdict(const std::string& folder, const char* verdict)
{
    if (!m_judged.insert(folder).second) return;
    CRunLog::Write("uninstall guard: \"" + folder + "\" " + verdict);
}

void CFolderRemoval::RemoveEmptyMakerFolder(const std::string& productFolder, const std::string& makerName)
{
    // The product folder is gone by now, but the one above it still has its long name to tell.
    const std::string product = CanonicalFolder(productFolder);
    if (product.empty()) return;
    const std::string parent = LongPath(ParentFolder(product));
    const std::string maker = MakerFolderAbove(JoinPath(parent, LastPathComponent(product)), makerName);
    if (maker.empty()) return;
    // Judged like every other folder, but never counted as one to delete: one that stays because
    // other files are in it is no failure of the uninstallation.
    if (DecideFolderRemoval(maker, m_protectedFolders, m_ownFile) != EFolderRemoval::Whole ||
        !IsDeletableOnDisk(maker, m_protectedFolders, m_identity)) {
        CRunLog::Write("uninstall guard: maker's folder \"" + maker +
                       "\" stays (protected, or it holds the uninstaller)");
        return;
    }
    if (::GetFileAttributesA(maker.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    // RemoveDirectory takes only an empty folder, so nothing in it can be lost.
    if (::RemoveDirectoryA(maker.c_str())) {
        CRunLog::Write("maker's folder \"" + maker + "\" removed, it was empty");
    } else {
        CRunLog::Write("maker's folder \"" + maker + "\" stays: Windows error " + std::to_string(::GetLastError()));
    }
}

bool CFolderRemoval::RemovedCompletely() const
{
    bool complete = true;
    for (const std::string& target : m_targets) {
        if (LeftBehind(target)) {
            CRunLog::Write("left behind: something of \"" + target + "\" could not be deleted");
            complete = false;
        }
    }
    return complete;
}

bool CFolderRemoval::LeftBehind(const std::string& target) const
{
    if (::GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }
    if (DecideFolderRemoval(target, m_protectedFolders, m_ownFile) != EFolderRemoval::KeepOwnFile) return true;
    return HoldsMoreThanOwnFile(target);
}

bool CFolderRemoval::HoldsMoreThanOwnFile(const std::string& folder) const
{
    for (const std::string& name : EntryNames(folder)) {
        const std::string path = JoinPath(folder, name);
        if (!IsSameOrBelowFolder(m_ownFile, path)) return true;
        if (IsPlainFolder(::GetFileAttributesA(path.c_str())) && HoldsMoreThanOwnFile(path)) return true;
    }
    return false;
}

void CFolderRemoval::DeleteWithEngine(const std::string& folder)
{
    const std::string target = Target(folder);
    if (target.empty()) return;
    Remove(target, EPass::Engine);
}

void CFolderRemoval::DeleteWithShell(const std::string& folder)
{
    const std::string target = Target(folder);
    if (target.empty() || m_cancelled.count(CanonicalFolder(target)) != 0) return;
    Remove(target, EPass::Shell);
}

void CFolderRemoval::Remove(const std::string& path, EPass pass)
{
    if (DecideFolderRemoval(path, m_protectedFolders, m_ownFile) == EFolderRemoval::KeepOwnFile) {
        RemoveAllButOwnFile(path, pass);
    } else if (pass == EPass::Engine) {
        RemoveWithEngine(path);
    } else {
        RemoveWithShell(path);
    }
}

void CFolderRemoval::RemoveAllButOwnFile(const std::string& folder, EPass pass)
{
    for (const std::string& name : EntryNames(folder)) {
        const std::string path = JoinPath(folder, name);
        if (!IsSameOrBelowFolder(m_ownFile, path)) {
            pass == EPass::Engine ? RemoveWithEngine(path) : RemoveWithShell(path);
        } else if (IsPlainFolder(::GetFileAttributesA(path.c_str()))) {
            RemoveAllButOwnFile(path, pass);
        }
        // Otherwise it is the own file itself (or a link on the way to it): it stays.
    }
}

void CFolderRemoval::RemoveWithEngine(const std::string& path)
{
    CFileOpEngine engine;
    engine.SetOwner(m_owner);
    if (engine.CanDelete(path)) engine.Delete(path);
    // A cancelled question means: leave this folder alone, the shell's pass included.
    if (engine.WasCancelled()) m_cancelled.insert(CanonicalFolder(path));
}

void CFolderRemoval::RemoveWithShell(const std::string& path)
{
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return; // the engine got it all
    if (m_cancelled.count(CanonicalFolder(path)) != 0 || HoldsReadOnlyItem(path)) return;
    std::vector<char> from = ShellPathList(path);
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.data();
    operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI;
    ::SHFileOperationA(&operation); // what it leaves behind stays; nobody is told
}
