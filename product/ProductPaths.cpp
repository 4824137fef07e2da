#include "product/ProductPaths.h"

#include <algorithm>
#include <cctype>

namespace {

const char kUpdaterName[] = "NuvraUpdater.exe";

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsDriveRoot(const std::string& s)
{
    return s.size() == 3 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' && IsSeparator(s[2]);
}

// Windows paths compare without regard to case (ASCII letters are enough here).
bool SamePath(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               if (IsSeparator(x) && IsSeparator(y)) return true;
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string StripTrailingSeparators(const std::string& folder)
{
    std::string s = folder;
    while (s.size() > 1 && IsSeparator(s.back()) && !IsDriveRoot(s)) s.pop_back();
    return s;
}

std::string ParentFolder(const std::string& path)
{
    std::string s = StripTrailingSeparators(path);
    size_t sep = s.find_last_of("\\/");
    if (sep == std::string::npos) return std::string();
    std::string parent = s.substr(0, sep);
    if (parent.size() == 2 && parent[1] == ':') return parent + "\\"; // "C:" means another folder
    if (parent.empty()) return s.substr(0, 1);                        // "\Nuvra" -> "\"
    return parent;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty()) return name;
    if (IsSeparator(folder.back())) return folder + name;
    return folder + "\\" + name;
}

std::vector<std::string> UpdaterCandidates(const std::string& productExePath, const std::string& recordedUpdaterFolder)
{
    std::vector<std::string> folders;
    std::string own = ParentFolder(productExePath);
    if (!own.empty()) {
        folders.push_back(own);
        std::string above = ParentFolder(own);
        if (!above.empty() && !SamePath(above, own)) folders.push_back(above);
    }
    std::string recorded = StripTrailingSeparators(recordedUpdaterFolder);
    if (!recorded.empty()) folders.push_back(recorded);

    std::vector<std::string> candidates;
    for (const std::string& folder : folders) {
        std::string path = JoinPath(folder, kUpdaterName);
        bool seen =
            std::any_of(candidates.begin(), candidates.end(), [&](const std::string& c) { return SamePath(c, path); });
        if (!seen) candidates.push_back(path);
    }
    return candidates;
}
