#pragma once
// Decides whether a folder named in the registry may be deleted as a whole by the uninstaller.
// The registry is outside our control: a damaged or hostile record must never make us delete a
// drive, a share, a system folder or anything that contains one.
#include "fileops/IFolderIdentitySource.h"

#include <string>
#include <vector>

// The folder in canonical form: "/" written as "\", repeated and trailing separators dropped,
// "." and ".." resolved (".." stops at the root), trailing dots and blanks of a component
// dropped as Windows does, the drive letter upper-cased. Results look like "C:\a\b", "C:\",
// "\\server\share\a" or "\\server\share". Returns "" for anything that is not an absolute
// folder path: empty, relative, drive-relative ("C:a"), rooted without a drive ("\a"),
// device paths ("\\?\", "\\.\") and incomplete share names ("\\server").
std::string CanonicalFolder(const std::string& path);

// True when the folder may be deleted, judged by its text alone: it is absolute, not a drive or
// share root, not one of the protected folders and not an ancestor of one, and no component
// holds a character that no folder name can hold (":" of a stream, wildcards, control
// characters). A drive's administrative share ("\\host\c$\...") is judged as that drive too.
// Comparison ignores ASCII case (double-byte characters of code page 949 are compared byte for
// byte).
bool IsDeletableFolder(const std::string& folder, const std::vector<std::string>& protectedFolders);

// The folder and every folder above it, canonical, the root last ("C:\a\b", "C:\a", "C:\").
// Empty for anything CanonicalFolder refuses.
std::vector<std::string> SelfAndAncestors(const std::string& folder);

// True when both identities are one folder: the same file index on the same volume, or the
// same final path.
bool IsSameFolder(const CFolderIdentity& a, const CFolderIdentity& b);

// The index of the first of folders that is on disk the same folder as path; -1 when none is,
// or when path cannot be identified.
int FindSameFolder(const std::string& path, const std::vector<std::string>& folders, IFolderIdentitySource& source);

// IsDeletableFolder first; then, for a folder that exists, its identity must differ from that
// of every protected folder and each of their ancestors, so that no other spelling of them
// (another drive letter, a share, a short name) gets through. A folder that exists but cannot
// be identified is refused; one that does not exist is left to the text.
bool IsDeletableOnDisk(const std::string& folder, const std::vector<std::string>& protectedFolders,
                       IFolderIdentitySource& source);

// True when path names folder itself or something below it (both made canonical first; false
// when either is not an absolute path).
bool IsSameOrBelowFolder(const std::string& path, const std::string& folder);

#ifdef _WIN32
// The folders the uninstaller must never delete on this machine: every drive root, the Windows
// and system folders, both Program Files folders and their common files, the users folder and
// every profile in it, the user's desktop, documents, pictures, music, videos, favourites,
// application data, Start menu and programs, and their all-users variants. Each folder is listed
// in its long and, where it differs, its short (8.3) form.
std::vector<std::string> GetProtectedFolders();
#endif
