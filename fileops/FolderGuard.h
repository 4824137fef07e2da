#pragma once
// Decides whether a folder named in the registry may be deleted as a whole by the uninstaller.
// The registry is outside our control: a damaged or hostile record must never make us delete a
// drive, a share, a system folder or anything that contains one.
#include <string>
#include <vector>

// The folder in canonical form: "/" written as "\", repeated and trailing separators dropped,
// "." and ".." resolved (".." stops at the root), trailing dots and blanks of a component
// dropped as Windows does, the drive letter upper-cased. Results look like "C:\a\b", "C:\",
// "\\server\share\a" or "\\server\share". Returns "" for anything that is not an absolute
// folder path: empty, relative, drive-relative ("C:a"), rooted without a drive ("\a"),
// device paths ("\\?\", "\\.\") and incomplete share names ("\\server").
std::string CanonicalFolder(const std::string& path);

// True when the folder may be deleted: it is absolute, not a drive or share root, not one of
// the protected folders and not an ancestor of one. Comparison ignores ASCII case (double-byte
// characters of code page 949 are compared byte for byte).
bool IsDeletableFolder(const std::string& folder, const std::vector<std::string>& protectedFolders);

// True when path names folder itself or something below it (both made canonical first; false
// when either is not an absolute path).
bool IsSameOrBelowFolder(const std::string& path, const std::string& folder);

#ifdef _WIN32
// The folders the uninstaller must never delete on this machine: the Windows and system
// folders, both Program Files folders and their common files, the user's profile, desktop,
// documents, application data, Start menu and programs, and their all-users variants. Each
// folder is listed in its long and, where it differs, its short (8.3) form.
std::vector<std::string> GetProtectedFolders();
#endif
