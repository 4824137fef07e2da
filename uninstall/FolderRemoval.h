#pragma once
// Deletes the folders that the installation record names. The record is outside our control,
// so each folder first passes the folder guard; and the uninstaller's own program file stays
// even when a folder to delete holds it.
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

private:
    enum class EPass { Engine, Shell };

    // The folder in the form the platform calls get, or "" when it is not to be touched.
    std::string Target(const std::string& folder) const;
    void Remove(const std::string& path, EPass pass);
    // Removes every entry of folder except the own file and the folders on the way to it.
    void RemoveAllButOwnFile(const std::string& folder, EPass pass);
    void RemoveWithEngine(const std::string& path);
    void RemoveWithShell(const std::string& path);

    std::vector<std::string> m_protectedFolders;
    std::string m_ownFile;
    HWND m_owner;
    std::set<std::string> m_cancelled;  // folders whose engine pass the user cancelled
};
