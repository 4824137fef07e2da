#include "fileops/FolderGuard.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#endif

namespace {

struct CanonicalPath {
    bool valid = false;
    std::string root;                // "C:" or "\\server\share"
    std::vector<std::string> parts;  // components below the root
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

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
    if (!target.valid || target.parts.empty()) return false;
    for (const std::string& guarded : protectedFolders) {
        const CanonicalPath p = Parse(guarded);
        if (p.valid && IsSameOrAncestor(target, p)) return false;
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
std::vector<std::string> GetProtectedFolders()
{
    static const int kFolders[] = {
        CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86,
        CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
        CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86,
        CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
        CSIDL_STARTMENU, CSIDL_PROGRAMS, CSIDL_STARTUP,
        CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_APPDATA,
        CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP,
    };
    std::vector<std::string> folders;
    for (int csidl : kFolders) {
        char path[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || !path[0]) {
            continue;
        }
        folders.emplace_back(path);
        // The registry may hold the 8.3 form of the same folder.
        char shortPath[MAX_PATH] = {};
        const DWORD n = ::GetShortPathNameA(path, shortPath, MAX_PATH);
        if (n > 0 && n < MAX_PATH && FoldCase(shortPath) != FoldCase(path)) folders.emplace_back(shortPath);
    }
    // A 32-bit build sees only one Program Files folder through the shell; the environment
    // names the other.
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "SystemRoot"}) {
        char value[MAX_PATH] = {};
        const DWORD n = ::GetEnvironmentVariableA(name, value, MAX_PATH);
        if (n > 0 && n < MAX_PATH) folders.emplace_back(value);
    }
    return folders;
}
#endif
