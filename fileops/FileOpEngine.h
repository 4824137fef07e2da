#pragma once
// Deletes, renames and copies files and folder trees for the install, update and uninstall
// procedures. Make a fresh engine for each use. Every public operation reports success by its
// result; a failing platform call is stored as the last error (system text and code).
//
// Read-only files and folders are not touched without the user's consent: the engine asks
// "<name> is read olny. Do you want delete it?" with Yes/No/Cancel. Yes clears the attribute,
// No keeps that item, Cancel abandons the running operation (it returns false and
// WasCancelled() turns true). Asking can be switched off; the attribute is then cleared silently.
#include <windows.h>
#include <string>

class CFExeption;

class CFileOpEngine {
public:
    CFileOpEngine() = default;
    CFileOpEngine(const CFileOpEngine&) = delete;
    CFileOpEngine& operator=(const CFileOpEngine&) = delete;

    // Owner window of the read-only question; none by default.
    void SetOwner(HWND owner) { m_owner = owner; }
    void SetAskReadOnly(bool ask) { m_askReadOnly = ask; }
    // For the whole process: nobody is at the screen, so no question is shown and every
    // read-only question is answered No (the item stays). Engines that do not ask still clear
    // the attribute of what is ours alone.
    static void SetUnattended(bool unattended);

    // False when the path does not exist or the user refuses (or cancels) the read-only question.
    bool CanDelete(const std::string& path);
    // Removes a file, or a folder with everything below it. Links (junctions, symbolic links)
    // met inside a folder are removed as links; what they point to is never touched.
    bool Delete(const std::string& path);
    // Moves a file or folder with the platform's move: fails when the target exists or the
    // source does not.
    bool Rename(const std::string& from, const std::string& to);
    // Copies the contents of sourceFolder directly under targetFolder, creating missing folders
    // and overwriting files of the same name. Linked folders inside the source are not followed.
    bool Copy(const std::string& sourceFolder, const std::string& targetFolder);

    const std::string& GetLastErrorText() const { return m_lastErrorText; }
    DWORD GetLastErrorCode() const { return m_lastErrorCode; }
    // True once the user has answered Cancel to a read-only question of this engine.
    bool WasCancelled() const { return m_cancelled; }

private:
    enum class Removal { Removed, Kept };

    template <typename Operation>
    bool Guarded(Operation operation);
    void StoreError(const CFExeption& error);

    bool ConsentToTouch(const std::string& path, DWORD attributes);
    Removal RemoveEntry(const std::string& path, DWORD attributes);
    Removal RemoveContents(const std::string& folder);
    void CreateFolderPath(const std::string& folder);
    void CopyContents(const std::string& source, const std::string& target);

    HWND m_owner = nullptr;
    bool m_askReadOnly = true;
    bool m_cancelled = false;
    std::string m_lastErrorText = "No error";
    DWORD m_lastErrorCode = 0;
};
