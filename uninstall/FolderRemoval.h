#pragma once
// Deletes the folders that the installation record names. The record is outside our control,
// so each folder first passes the folder guard, by its text and then by what it is on disk; and
// the uninstaller's own program file stays even when a folder to delete holds it, under
// whatever spelling.
#include "fileops/DiskFolderIdentity.h"

#include <windows.h>
#include <set>
#include <string>
#include <vector>

class CFolderRemoval {
public:
    // protectedFolders: never deleted, nor anything that holds one. ownFile: the program file
    // that must stay. owner: the window of the engine's read-only question.
    CFolderRemoval(std::vector<std::string> protectedFolders, std::string ownFile, HWND owner);

    // The guard of this machine and this program's own file.
    static CFolderRemoval ForThisProgram(HWND owner);

    // Deletes the folder and everything in it through the file operation engine, which asks
    // before it touches a read-only item. A folder the guard refuses, or that does not exist,
    // is passed over.
    void DeleteWithEngine(const std::string& folder);

    // Deletes what is left of the folder through the shell, without questions or error boxes.
    // Passed over when the guard refuses it, when the user cancelled the engine's question for
    // it, or when a read-only item is left in it: the shell would delete that without asking.
    void DeleteWithShell(const std::string& folder);

    // Removes the maker's folder above the product folder (MakerFolderAbove) when the guard lets
    // it through and nothing is left in it; a folder that is not empty, or not ours, stays.
    void RemoveEmptyMakerFolder(const std::string& productFolder, const std::string& makerName);

    // True when every folder the guard let through is gone, all but the uninstaller's own file
    // and the folders on the way to it. A held file, a refused read-only item or a denied
    // access makes it false. Folders the guard refused were never ours and do not count.
    bool RemovedCompletely() const;

private:
    enum class EPass { Engine, Shell };

    // The folder in the form the platform calls get, or "" when it is not to be touched. A
    // folder that is on disk the uninstaller's own folder, or one above it, is given in the
    // spelling of the own file's path, so that the own file is recognised in it.
    std::string Target(const std::string& folder);
    // The guard's verdict on a folder, in the run log once per folder.
    void LogVerdict(const std::string& folder, const char* verdict);
    // True when something of a folder to delete is still there.
    bool LeftBehind(const std::string& target) const;
    bool HoldsMoreThanOwnFile(const std::string& folder) const;
    void Remove(const std::string& path, EPass pass);
    // Removes every entry of folder except the own file and the folders on the way to it.
    void RemoveAllButOwnFile(const std::string& folder, EPass pass);
    void RemoveWithEngine(const std::string& path);
    void RemoveWithShell(const std::string& path);

    std::vector<std::string> m_protectedFolders;
    std::string m_ownFile;
    std::vector<std::string> m_ownFileChain; // the own file, then each folder above it
    HWND m_owner;
    CDiskFolderIdentity m_identity;
    std::set<std::string> m_cancelled;  // folders whose engine pass the user cancelled
    std::vector<std::string> m_targets; // every folder the guard let through, as deleted
    std::set<std::string> m_judged;     // folders whose verdict is in the log
};
