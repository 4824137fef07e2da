#include "update/UpdateStaging.h"

#include "fileops/FileOpEngine.h"
#include "framework/RunLog.h"
#include "update/FileDigest.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

const char kFiles[] = "/files/";
const char kPartial[] = "/partial/";
const char kMarker[] = "/release.txt";

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string StagedVersion()
{
    std::ifstream in(std::string(CUpdateStaging::kFolder) + kMarker, std::ios::binary);
    std::string version;
    std::getline(in, version);
    return version;
}

} // namespace

bool CUpdateStaging::Prepare(const std::string& version)
{
    if (GetFileAttributesA(kFolder) != INVALID_FILE_ATTRIBUTES && StagedVersion() != version) {
        CRunLog::Write("staged files of another release are discarded");
        CFileOpEngine engine;
        engine.SetAskReadOnly(false); // ours alone
        engine.Delete(kFolder);
    }
    CreateDirectoryA(kFolder, nullptr); // an existing one is fine
    std::ofstream marker(std::string(kFolder) + kMarker, std::ios::binary | std::ios::trunc);
    marker << version;
    marker.close();
    return !marker.fail();
}

std::string CUpdateStaging::StagedPath(const CFileListEntry& entry)
{
    return kFolder + std::string(kFiles) + entry.RelativePath();
}

std::string CUpdateStaging::PartialPath(const CFileListEntry& entry)
{
    return kFolder + std::string(kPartial) + entry.RelativePath();
}

void CUpdateStaging::MakeFoldersFor(const CFileListEntry& entry)
{
    for (const char* area : {kFiles, kPartial}) {
        const std::string base = kFolder + std::string(area);
        CreateDirectoryA(base.c_str(), nullptr);
        // Existing levels are fine; a missing one fails the download.
        for (const std::string& level : entry.FolderLevels()) CreateDirectoryA((base + level).c_str(), nullptr);
    }
}

bool CUpdateStaging::HasVerified(const CFileListEntry& entry)
{
    if (!entry.HasSize() && entry.Hash().empty()) return false;
    const std::string path = StagedPath(entry);
    const long long size = FileSize(path);
    if (size < 0) return false;
    const bool good =
        (!entry.HasSize() || size == entry.Size()) && (entry.Hash().empty() || Sha256OfFile(path) == entry.Hash());
    // A republished release under the same version has other bytes: they are fetched again.
    if (!good) DeleteFileA(path.c_str());
    return good;
}

long long CUpdateStaging::PartialBytes(const CFileListEntry& entry)
{
    return std::max(0LL, FileSize(PartialPath(entry)));
}
