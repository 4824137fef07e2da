#include "fileops/FolderGuard.h"

#include <set>

#ifdef _WIN32
#include "framework/Handles.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#endif

namespace {

struct CanonicalPath {
    bool valid = false;
    std::string root;               // "C:" or "\\server\share"
    std::vector<std::string> parts; // components below the root
};

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Upper-cases ASCII letters but leaves both bytes of a code page 949 double-byte character
// alone: their trail bytes include the ASCII letter range.
std::string FoldCase(const std::string& text)
{
    std::string out = text;
    for (std::string::size_type i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
            continue;
        }
        if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::vector<std::string> SplitComponents(const std::string& text)
{
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (IsSeparator(c)) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

CanonicalPath Parse(const std::string& path)
{
    CanonicalPath result;
    std::string rest;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        const std::vector<std::string> parts = SplitComponents(path.substr(2));
        // "\\?\" and "\\.\" reach devices and bypass normalisation: never ours to delete.
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) return result;
        if (parts[0] == "?" || parts[0] == ".") return result;
        result.root = "\\\\" + parts[0] + "\\" + parts[1];
        for (std::size_t i = 2; i < parts.size(); ++i) rest += parts[i] + "\\";
    } else if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) {
        result.root = std::string(1, path[0]) + ":";
        rest = path.substr(3);
    } else {
        return result;
    }

    for (std::string part : SplitComponents(rest)) {
        if (part == ".") continue;
        if (part == "..") {
            if (!result.parts.empty()) result.parts.pop_back();
            continue;
        }
        // Windows ignores trailing dots and blanks: "C:\Windows." is "C:\Windows".
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        if (part.empty()) continue;
        result.parts.push_back(part);
    }
    result.valid = true;
    return result;
}

std::string Join(const CanonicalPath& p)
{
    std::string out = p.root;
    if (p.parts.empty()) return p.root.size() == 2 ? out + "\\" : out;
    for (const std::string& part : p.parts) out += "\\" + part;
    return out;
}

// True when a is b or an ancestor of b.
bool IsSameOrAncestor(const CanonicalPath& a, const CanonicalPath& b)
{
    if (FoldCase(a.root) != FoldCase(b.root)) return false;
    if (a.parts.size() > b.parts.size()) return false;
    for (std::size_t i = 0; i < a.parts.size(); ++i) {
        if (FoldCase(a.parts[i]) != FoldCase(b.parts[i])) return false;
    }
    return true;
}

// ":" names a stream ("C:\Windows::$INDEX_ALLOCATION" is the folder itself), wildcards make the
// shell's deletion match other entries; none of them, nor a control character, is part of a
// folder's name. Double-byte characters are stepped over whole.
bool HoldsForbiddenCharacter(const std::string& name)
{
    for (std::string::size_type i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
            continue;
        }
        if (c < 0x20 || std::string(":*?\"<>|").find(static_cast<char>(c)) != std::string::npos) return true;
    }
    return false;
}

bool HoldsForbiddenCharacter(const CanonicalPath& p)
{
    // A share root "\\server\share" is checked as the two names it is made of.
    const std::string root = p.root.size() > 2 ? p.root.substr(2) : std::string();
    for (const std::string& name : SplitComponents(root)) {
        if (HoldsForbiddenCharacter(name)) return true;
    }
    for (const std::string& part : p.parts) {
        if (HoldsForbiddenCharacter(part)) return true;
    }
    return false;
}

// "\\host\c$\rest" as "C:\rest": the administrative share of a drive reaches the whole drive,
// the local one whatever the host is called. Not valid for any other share.
CanonicalPath AsDriveOfAdminShare(const CanonicalPath& p)
{
    CanonicalPath drive;
    if (p.root.size() <= 2) return drive;
    const std::vector<std::string> names = SplitComponents(p.root.substr(2));
    if (names.size() != 2 || names[1].size() != 2 || !IsAsciiLetter(names[1][0]) || names[1][1] != '$') return drive;
    drive.valid = true;
    drive.root = std::string(1, names[1][0]) + ":";
    drive.parts = p.parts;
    return drive;
}

bool IsProtectedOrHoldsProtected(const CanonicalPath& target, const std::vector<std::string>& protectedFolders)
{
    if (target.parts.empty()) return true;
    for (const std::string& guarded : protectedFolders) {
        const CanonicalPath p = Parse(guarded);
        if (p.valid && IsSameOrAncestor(target, p)) return true;
    }
    return false;
}

bool IsSameCanonical(const std::string& a, const std::string& b)
{
    const CanonicalPath pa = Parse(a);
    const CanonicalPath pb = Parse(b);
    return pa.valid && pb.valid && pa.parts.size() == pb.parts.size() && IsSameOrAncestor(pa, pb);
}

} // namespace

std::string CanonicalFolder(const std::string& path)
{
    CanonicalPath p = Parse(path);
    if (!p.valid) return std::string();
    if (p.root.size() == 2) p.root[0] = FoldCase(p.root.substr(0, 1))[0];
    return Join(p);
}

bool IsDeletableFolder(const std::string& folder, const std::vector<std::string>& protectedFolders)
{
    const CanonicalPath target = Parse(folder);
    if (!target.valid || HoldsForbiddenCharacter(target)) return false;
    if (IsProtectedOrHoldsProtected(target, protectedFolders)) return false;
    const CanonicalPath drive = AsDriveOfAdminShare(target);
    return !drive.valid || !IsProtectedOrHoldsProtected(drive, protectedFolders);
}

std::vector<std::string> SelfAndAncestors(const std::string& folder)
{
    CanonicalPath p = Parse(folder);
    std::vector<std::string> folders;
    if (!p.valid) return folders;
    if (p.root.size() == 2) p.root[0] = FoldCase(p.root.substr(0, 1))[0];
    for (;;) {
        folders.push_back(Join(p));
        if (p.parts.empty()) break;
        p.parts.pop_back();
    }
    return folders;
}

bool IsSameFolder(const CFolderIdentity& a, const CFolderIdentity& b)
{
    if (a.fileIndex != 0 && a.fileIndex == b.fileIndex && a.volumeSerial == b.volumeSerial) return true;
    return !a.finalPath.empty() && IsSameCanonical(a.finalPath, b.finalPath);
}

int FindSameFolder(const std::string& path, const std::vector<std::string>& folders, IFolderIdentitySource& source)
{
    CFolderIdentity identity;
    if (source.Identify(path, identity) != EIdentityLookup::Found) return -1;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        CFolderIdentity other;
        if (source.Identify(folders[i], other) == EIdentityLookup::Found && IsSameFolder(identity, other)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsDeletableOnDisk(const std::string& folder, const std::vector<std::string>& protectedFolders,
                       IFolderIdentitySource& source)
{
    if (!IsDeletableFolder(folder, protectedFolders)) return false;
    CFolderIdentity candidate;
    const EIdentityLookup lookup = source.Identify(folder, candidate);
    if (lookup == EIdentityLookup::Missing) return true; // nothing there to delete
    if (lookup == EIdentityLookup::Unknown) return false;

    // Each folder once, however many protected folders share it as an ancestor.
    std::set<std::string> compared;
    for (const std::string& guarded : protectedFolders) {
        for (const std::string& ancestor : SelfAndAncestors(guarded)) {
            if (!compared.insert(FoldCase(ancestor)).second) continue;
            CFolderIdentity other;
            if (source.Identify(ancestor, other) == EIdentityLookup::Found && IsSameFolder(candidate, other)) {
                return false;
            }
        }
    }
    return true;
}

bool IsSameOrBelowFolder(const std::string& path, const std::string& folder)
{
    const CanonicalPath p = Parse(path);
    const CanonicalPath f = Parse(folder);
    return p.valid && f.valid && IsSameOrAncestor(f, p);
}

#ifdef _WIN32
namespace {

// Adds the folder in its long and, where it differs, its short (8.3) form: the registry may
// hold either.
void AddWithShortForm(std::vector<std::string>& folders, const std::string& path)
{
    if (path.empty()) return;
    folders.push_back(path);
    char shortPath[MAX_PATH] = {};
    const DWORD n = ::GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    if (n > 0 && n < MAX_PATH && FoldCase(shortPath) != FoldCase(path)) folders.emplace_back(shortPath);
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::string();
    return path;
}

} // namespace

std::vector<std::string> GetProtectedFolders()
{
    static const int kFolders[] = {
        CSIDL_WINDOWS,
        CSIDL_SYSTEM,
        CSIDL_SYSTEMX86,
        CSIDL_FONTS,
        CSIDL_PROGRAM_FILES,
        CSIDL_PROGRAM_FILESX86,
        CSIDL_PROGRAM_FILES_COMMON,
        CSIDL_PROGRAM_FILES_COMMONX86,
        CSIDL_PROFILE,
        CSIDL_DESKTOPDIRECTORY,
        CSIDL_PERSONAL,
        CSIDL_MYPICTURES,
        CSIDL_MYMUSIC,
        CSIDL_MYVIDEO,
        CSIDL_FAVORITES,
        CSIDL_APPDATA,
        CSIDL_LOCAL_APPDATA,
        CSIDL_STARTMENU,
        CSIDL_PROGRAMS,
        CSIDL_STARTUP,
        CSIDL_COMMON_DESKTOPDIRECTORY,
        CSIDL_COMMON_DOCUMENTS,
        CSIDL_COMMON_APPDATA,
        CSIDL_COMMON_STARTMENU,
        CSIDL_COMMON_PROGRAMS,
        CSIDL_COMMON_STARTUP,
    };
    std::vector<std::string> folders;
    for (int csidl : kFolders) AddWithShortForm(folders, SpecialFolder(csidl));

    // A 32-bit build sees only one Program Files folder through the shell; the environment
    // names the other.
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
        char value[MAX_PATH] = {};
        const DWORD n = ::GetEnvironmentVariableA(name, value, MAX_PATH);
        if (n > 0 && n < MAX_PATH) folders.emplace_back(value);
    }

    char drives[4 * 26 + 2] = {};
    const DWORD length = ::GetLogicalDriveStringsA(sizeof drives - 1, drives);
    if (length > 0 && length < sizeof drives) {
        for (const char* root = drives; *root; root += std::strlen(root) + 1) folders.emplace_back(root);
    }

    // The users folder holds every profile, the other users' included: each of them is protected.
    const std::string profile = CanonicalFolder(SpecialFolder(CSIDL_PROFILE));
    const std::string::size_type cut = profile.rfind('\\');
    if (!profile.empty() && cut != std::string::npos && cut > 2) {
        const std::string users = profile.substr(0, cut);
        AddWithShortForm(folders, users);
        WIN32_FIND_DATAA entry;
        CFindHandle find(::FindFirstFileA((users + "\\*").c_str(), &entry));
        if (find) {
            do {
                const std::string name = entry.cFileName;
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") {
                    AddWithShortForm(folders, users + "\\" + name);
                }
            } while (::FindNextFileA(find.get(), &entry));
        }
    }
    return folders;
}
#endif
