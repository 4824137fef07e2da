#include "TempTree.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempTree::TempTree()
{
    static std::atomic<int> counter{0};
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::ostringstream name;
    name << temp << "nuvra-fileops-" << ::GetCurrentProcessId() << "-" << counter++;
    m_root = name.str();
    ForceRemove(m_root);
    if (!::CreateDirectoryA(m_root.c_str(), nullptr)) throw std::runtime_error("cannot create " + m_root);
}

TempTree::~TempTree()
{
    ForceRemove(m_root);
}

std::string TempTree::Path(const std::string& relative) const
{
    std::string path = m_root;
    if (relative.empty()) return path;
    path += '\\';
    for (char c : relative) path += (c == '/') ? '\\' : c;
    return path;
}

void TempTree::MakeFolder(const std::string& relative) const
{
    std::string::size_type pos = 0;
    while ((pos = relative.find('/', pos)) != std::string::npos) {
        ::CreateDirectoryA(Path(relative.substr(0, pos)).c_str(), nullptr);
        ++pos;
    }
    ::CreateDirectoryA(Path(relative).c_str(), nullptr);
}

void TempTree::MakeFile(const std::string& relative, const std::string& content) const
{
    const std::string::size_type slash = relative.rfind('/');
    if (slash != std::string::npos) MakeFolder(relative.substr(0, slash));
    std::ofstream(Path(relative), std::ios::binary) << content;
}

void TempTree::SetReadOnly(const std::string& relative) const
{
    const std::string path = Path(relative);
    ::SetFileAttributesA(path.c_str(), ::GetFileAttributesA(path.c_str()) | FILE_ATTRIBUTE_READONLY);
}

bool TempTree::Exists(const std::string& relative) const
{
    return ::GetFileAttributesA(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool TempTree::IsReadOnly(const std::string& relative) const
{
    const DWORD attributes = ::GetFileAttributesA(Path(relative).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

std::string TempTree::Content(const std::string& relative) const
{
    std::ifstream in(Path(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void TempTree::ForceRemove(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileA(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAA data;
        HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = data.cFileName;
                if (name != "." && name != "..") ForceRemove(path + "\\" + name);
            } while (::FindNextFileA(find, &data));
            ::FindClose(find);
        }
    }
    ::RemoveDirectoryA(path.c_str());
}
