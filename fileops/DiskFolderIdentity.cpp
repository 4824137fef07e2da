#include "fileops/DiskFolderIdentity.h"

#include "framework/Handles.h"

#include <windows.h>

namespace {

// "\\?\C:\a" -> "C:\a", "\\?\UNC\srv\share\a" -> "\\srv\share\a"; any other form (a volume
// GUID path) gives "": the file index still identifies the folder.
std::string DosPath(const std::string& finalPath)
{
    const std::string unc = "\\\\?\\UNC\\";
    const std::string local = "\\\\?\\";
    if (finalPath.compare(0, unc.size(), unc) == 0) return "\\\\" + finalPath.substr(unc.size());
    if (finalPath.compare(0, local.size(), local) == 0 && finalPath.size() >= local.size() + 2 &&
        finalPath[local.size() + 1] == ':') {
        return finalPath.substr(local.size());
    }
    return std::string();
}

bool MeansMissing(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY: // a removable drive without its medium
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME: return true;
    default: return false;
    }
}

} // namespace

EIdentityLookup CDiskFolderIdentity::Identify(const std::string& path, CFolderIdentity& identity)
{
    CHandle handle(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return MeansMissing(::GetLastError()) ? EIdentityLookup::Missing : EIdentityLookup::Unknown;

    identity = CFolderIdentity();
    BY_HANDLE_FILE_INFORMATION information = {};
    if (::GetFileInformationByHandle(handle.get(), &information)) {
        identity.volumeSerial = information.dwVolumeSerialNumber;
        identity.fileIndex = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    }
    char finalPath[MAX_PATH + 16] = {};
    const DWORD n =
        ::GetFinalPathNameByHandleA(handle.get(), finalPath, sizeof finalPath, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n > 0 && n < sizeof finalPath) identity.finalPath = DosPath(std::string(finalPath, n));

    // Opened but told nothing: it exists, and what it is stays unknown.
    if (identity.fileIndex == 0 && identity.finalPath.empty()) return EIdentityLookup::Unknown;
    return EIdentityLookup::Found;
}
