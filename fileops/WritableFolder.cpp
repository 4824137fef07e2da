#include "fileops/WritableFolder.h"

#include "fileops/FolderChain.h"
#include "fileops/PathText.h"
#include "framework/Handles.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {

bool IsFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A name no other probe of this or another process uses at the same time.
std::string ProbeName()
{
    static std::atomic<unsigned> counter{0};
    char name[64];
    std::snprintf(name, sizeof name, "~nuvra-write-test-%lu-%u.tmp", ::GetCurrentProcessId(), ++counter);
    return name;
}

} // namespace

bool CWritableFolder::CanWrite(const std::string& folder)
{
    if (!IsFolder(folder)) return false;
    // Deleted by the system when the handle closes, also if this process dies first. Asking
    // for the right to delete is part of the test: the later work replaces files too.
    CHandle probe(::CreateFileA(JoinPath(folder, ProbeName()).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!probe) return false;
    DWORD written = 0;
    return ::WriteFile(probe.get(), "0", 1, &written, nullptr) && written == 1;
}

bool CWritableFolder::Create(const std::string& folder, std::vector<std::string>* made)
{
    for (const std::string& level : FolderChain(folder)) {
        if (IsFolder(level)) continue;
        if (!::CreateDirectoryA(level.c_str(), nullptr)) {
            // Another process may have made it in the meantime; anything else stops here.
            if (::GetLastError() != ERROR_ALREADY_EXISTS || !IsFolder(level)) return false;
            continue;
        }
        if (made) made->push_back(level);
    }
    return IsFolder(folder);
}

bool CWritableFolder::CanCreateAndWrite(const std::string& folder)
{
    std::vector<std::string> made;
    const bool writable = Create(folder, &made) && CanWrite(folder);
    // Deepest first. A folder that someone filled meanwhile is not empty and stays: it is theirs.
    for (auto level = made.rbegin(); level != made.rend(); ++level) ::RemoveDirectoryA(level->c_str());
    return writable;
}
