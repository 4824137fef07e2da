#include "net/DownloadManager.h"

#include "crypt/ReleaseSignature.h"
#include "framework/RunLog.h"
#include "framework/TextConvert.h"
#include "net/DownloadPaths.h"
#include "net/FileSink.h"
#include "net/TextFileReader.h"
#include "net/WebFile.h"
#include "net/WebFileSession.h"

#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

const char kAgent[] = "GetWebFile";

// The cipher key is assembled at run time from two halves rather than stored whole.
const char kKeyFirstHalf[] = "q7Vx2Lm9Rz4Tc8Nb1Hs6Wd3Kf5Jp";
const char kKeySecondHalf[] = "Gy0Ue8Ao2Ii4Xr6Zt1Bn3Mv5Cq7E";
static_assert(sizeof kKeyFirstHalf - 1 == 28 && sizeof kKeySecondHalf - 1 == 28, "each key half holds 28 characters");
const std::size_t kKeyBytes = 56; // the longest key Blowfish takes

std::string EnvironmentValue(const char* name, bool& present)
{
    char buffer[512];
    DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    present = length > 0 && length < sizeof buffer;
    return present ? std::string(buffer, length) : std::string();
}

// The user's temporary folder with its trailing separator, "" when there is none that the
// 8-bit file functions can name.
std::string TemporaryFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return std::string();
    std::string folder = AnsiPathFromWide(std::wstring(buffer, length));
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

bool ReadBytes(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return false;
    std::ostringstream content;
    content << in.rdbuf();
    bytes = content.str();
    return !in.bad();
}

} // namespace

CDownloadManager::CDownloadManager() : m_pCipher(std::make_unique<CBlowfish>())
{
    std::string key = std::string(kKeyFirstHalf) + kKeySecondHalf;
    const unsigned char chain[8] = {};
    m_pCipher->Initialize(reinterpret_cast<const unsigned char*>(key.data()), kKeyBytes, chain, 1, 2);
    m_server = ConfiguredServer();
}

CServerAddress CDownloadManager::ConfiguredServer()
{
    bool present = false;
    std::string server = EnvironmentValue("NUVRA_UPDATE_SERVER", present);
    return SelectUpdateServer(present ? server.c_str() : nullptr);
}

CDownloadManager::~CDownloadManager() = default;

bool CDownloadManager::FetchList(const std::string& serverFolder, const std::string& fileName,
                                 std::vector<std::string>& lines, std::string* bytes)
{
    // The user's temporary folder, not the current one: the program may have been started from
    // a place it cannot write (a share, a CD, a protected folder).
    const std::string folder = TemporaryFolder();
    if (folder.empty()) {
        CRunLog::Write("no temporary folder to fetch " + fileName + " into");
        return false;
    }
    if (GetWebFile(kAgent, m_server.host, m_server.port, folder, serverFolder, fileName, false) != 200) return false;
    const std::string path = folder + fileName;
    CTextFileReader reader("\n");
    bool read = reader.ReadTextFile(path, lines) && (!bytes || ReadBytes(path, *bytes));
    if (!read) CRunLog::Write(fileName + " arrived but could not be read back from " + folder);
    ::DeleteFileA(path.c_str());
    // A list that arrived but cannot be read is no list: reporting success would hand the
    // caller stale or no lines as if they were the server's.
    return read;
}

bool CDownloadManager::GetVersionList(std::vector<std::string>& lines)
{
    return FetchList(kUpdateBasePath, kVersionListName, lines);
}

bool CDownloadManager::FetchText(const std::string& serverFolder, const std::string& fileName, std::string& bytes)
{
    const std::string folder = TemporaryFolder();
    if (folder.empty()) return false;
    if (GetWebFile(kAgent, m_server.host, m_server.port, folder, serverFolder, fileName, false) != 200) return false;
    const std::string path = folder + fileName;
    bool read = ReadBytes(path, bytes);
    ::DeleteFileA(path.c_str());
    return read;
}

bool CDownloadManager::GetFileList(const std::string& component, std::vector<std::string>& lines,
                                   const CReleaseKey* releaseKey)
{
    if (!releaseKey) return FetchList(FileListFolder(component), kFileListName, lines);

    std::string listBytes, signature;
    std::vector<std::string> fetched;
    if (!FetchList(FileListFolder(component), kFileListName, fetched, &listBytes)) return false;
    if (!FetchText(FileListFolder(component), kFileListSignatureName, signature)) {
        CRunLog::Write("list refused: its signature could not be fetched");
        return false;
    }
    // The lines handed on were read from the very bytes that were verified.
    if (!CReleaseSignature::Verifies(*releaseKey, listBytes, signature)) {
        CRunLog::Write("list refused: its signature does not verify with the release key");
        return false;
    }
    lines.swap(fetched);
    return true;
}

int CDownloadManager::GetRemoteFileSize(const std::string& serverPath)
{
    return GetWebFile(kAgent, m_server.host, m_server.port, "", kUpdateBasePath, serverPath, true);
}

bool CDownloadManager::DownloadFile(const std::string& serverPath, const std::string& localPath,
                                    const std::string& expectedSha256, const std::string& asideName, bool* movedAside)
{
    if (movedAside) *movedAside = false;
    CDownloadTarget target;
    if (!SplitDownload(serverPath, localPath, target)) return false;
    CWebFileSession session(kAgent);
    CFileSink sink;
    sink.ExpectDigest(expectedSha256);
    sink.SetAsideName(asideName);
    const bool stored = GetWebFile(session, m_server.host, m_server.port, target.localFolder, target.serverFolder,
                                   target.fileName, sink) == 200;
    if (movedAside) *movedAside = stored && sink.MovedAside();
    return stored;
}

void CDownloadManager::AttachProgressSink(nsFTP::CTransferObserver* sink)
{
    m_ftp.AttachObserver(sink);
}

void CDownloadManager::DetachProgressSink(nsFTP::CTransferObserver* sink)
{
    m_ftp.DetachObserver(sink);
}
