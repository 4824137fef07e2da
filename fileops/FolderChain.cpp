#include "fileops/FolderChain.h"

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// How many leading characters name the root: "C:\" 3, "C:" 2, "\\srv\share\" up to and with
// the separator after the share, "\" 1, a relative path 0.
size_t RootLength(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':') return (path.size() >= 3 && IsSeparator(path[2])) ? 3 : 2;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        size_t separators = 0;
        for (size_t i = 2; i < path.size(); ++i)
            if (IsSeparator(path[i]) && ++separators == 2) return i + 1;
        return path.size(); // the share itself is the root
    }
    return (!path.empty() && IsSeparator(path[0])) ? 1 : 0;
}

} // namespace

std::vector<std::string> FolderChain(const std::string& folder)
{
    std::string path = folder;
    const size_t root = RootLength(path);
    while (path.size() > root && IsSeparator(path.back())) path.pop_back();

    std::vector<std::string> chain;
    for (size_t i = root; i < path.size(); ++i)
        if (IsSeparator(path[i]) && i > root && !IsSeparator(path[i - 1])) chain.push_back(path.substr(0, i));
    if (path.size() > root) chain.push_back(path);
    return chain;
}
