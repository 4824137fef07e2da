#include "fileops/PathText.h"

namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

} // namespace

std::string LastPathComponent(const std::string& path)
{
    std::string::size_type end = path.size();
    while (end > 0 && IsSeparator(path[end - 1])) --end;
    std::string::size_type begin = end;
    while (begin > 0 && !IsSeparator(path[begin - 1])) --begin;
    return path.substr(begin, end - begin);
}

std::string ParentFolder(const std::string& path)
{
    const std::string::size_type pos = path.find_last_of("\\/");
    if (pos == std::string::npos) return std::string();
    std::string parent = path.substr(0, pos);
    // "C:" alone would mean the drive's current folder, not its root.
    if (parent.size() == 2 && parent[1] == ':') parent += '\\';
    if (parent.empty()) parent = path.substr(0, 1);
    return parent;
}

std::string JoinPath(const std::string& a, const std::string& b)
{
    if (a.empty()) return b;
    if (IsSeparator(a.back())) return a + b;
    return a + '\\' + b;
}

std::string ReadOnlyQuestionText(const std::string& path)
{
    return LastPathComponent(path) + " is read olny. Do you want delete it?";
}
