#include "net/DownloadManager.h"

#include "crypt/ReleaseSignature.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/TextConvert.h"
#include "net/DownloadPaths.h"
#include "net/FileSink.h"
#include "net/TextFileReader.h"
#include "net/TransferLanes.h"
#include "net/WebFile.h"
#include "net/WebFileSession.h"
#include "release/ReleaseListCheck.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
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

// Seconds since 1970-01-01 UTC.
long long CurrentUnixTime()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const unsigned long long kUnixEpochTicks = 116444736000000000ULL; // 100 ns ticks from 1601 to 1970
    return static_cast<long long>((ticks - kUnixEpochTicks) / 10000000ULL);
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

// A folder of one list's own below the user's temporary folder, removed with what it holds when
// it goes: two runs at once (two users' scripts, a hung one) never write or read each other's
// lists under the same name.
class CListFolder {
public:
    CListFolder()
    {
        static std::atomic<unsigned> s_count{0};
        const std::string temporary = TemporaryFolder();
        if (temporary.empty()) return;
        // A name of this process; one a dead process with the same id left is passed over.
        const std::string stem = temporary + "NuvraUpdater-" + std::to_string(::GetCurrentProcessId()) + "-";
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            const std::string candidate = stem + std::to_string(s_count++);
            if (::CreateDirectoryA(candidate.c_str(), nullptr)) m_path = candidate + "\\";
        }
    }
    ~CListFolder()
    {
        if (m_path.empty()) return;
        WIN32_FIND_DATAA found;
        CFindHandle find(::FindFirstFileA((m_path + "*").c_str(), &found));
        if (find) {
            do {
                // Only the list and the fetcher's temporary file are ever in it.
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    ::DeleteFileA((m_path + found.cFileName).c_str());
            } while (::FindNextFileA(find.get(), &found));
        }
        find.reset();
        ::RemoveDirectoryA(m_path.c_str());
    }
    CListFolder(const CListFolder&) = delete;
    CListFolder& operator=(const CListFolder&) = delete;

    // With its trailing separator; "" when none could be made.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// WinInet allows a process only a few connections to one server (two to an HTTP/1.1 server on
// older Windows); a batch needs one per transfer. The limit is the process's, set before a session
// is made; a larger one stays.
void RaiseConnectionLimit()
{
    const DWORD wanted = static_cast<DWORD>(CDownloadManager::kParallelTransfers);
    for (DWORD option : {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER}) {
        DWORD current = 0;
        DWORD size = sizeof current;
        if (::InternetQueryOptionA(nullptr, option, &current, &size) && current >= wanted) continue;
        // Refused, the transfers still run, only queued behind one another by WinInet.
        if (!::InternetSetOptionA(nullptr, option, const_cast<DWORD*>(&wanted), sizeof wanted))
            CRunLog::Write("WinInet refused more connections per server: Windows error " +
                           std::to_string(::GetLastError()));
    }
}

} // namespace

CDownloadManager::CDownloadManager() : m_pCipher(std::make_unique<CBlowfish>())
{
    std::string key = std::string(kKeyFirstHalf) + kKeySecondHalf;
    const unsigned char chain[8] = {};
    m_pCipher->Initialize(reinterpret_cast<const unsigned char*>(key.data()), kKeyBytes, chain, 1, 2);
    const CConfiguredServer server = ConfiguredServer();
    m_server = server.address;
    m_serverUsable = server.usable;
}

CConfiguredServer CDownloadManager::ConfiguredServer()
{
    CConfiguredServer server;
    bool present = false;
    server.environment = EnvironmentValue("NUVRA_UPDATE_SERVER", present);
    server.usable = SelectUpdateServer(present ? server.environment.c_str() : nullptr, server.address);
    return server;
}

CDownloadManager::~CDownloadManager() = default;

std::shared_ptr<CWebFileSession> CDownloadManager::Session()
{
    // WinInet keeps the connection alive between the requests of one session: one round trip
    // per file. No status texts: nobody reads them here.
    if (!m_session || !m_session->IsOpen()) {
        RaiseConnectionLimit();
        m_session = std::make_shared<CWebFileSession>(kAgent, false);
    }
    return m_session;
}

void CDownloadManager::SetRunBudget(unsigned long long budgetMs)
{
    m_limits.deadlineTick = ::GetTickCount64() + budgetMs;
}

int CDownloadManager::Fetch(const std::string& localFolder, const std::string& serverFolder,
                            const std::string& fileName, const std::shared_ptr<CFileSink>& sink)
{
    CTransferJob job;
    if (!MakeJob(localFolder, serverFolder, fileName, sink, job)) return 0;
    return m_watch.Run(job.fetch, sink, m_limits, job.what);
}

bool CDownloadManager::MakeJob(const std::string& localFolder, const std::string& serverFolder,
                               const std::string& fileName, const std::shared_ptr<CFileSink>& sink, CTransferJob& job)
{
    job.what = serverFolder + fileName;
    if (!m_serverUsable) {
        CRunLog::Write("GET " + job.what + ": no update server to ask");
        return false;
    }
    // Copies, not references: a fetch that is given up may still run after this returns.
    std::shared_ptr<CWebFileSession> session = Session();
    const CServerAddress server = m_server;
    job.fetch = [session, server, localFolder, serverFolder, fileName, sink] {
        return GetWebFile(*session, server, localFolder, serverFolder, fileName, *sink);
    };
    job.sink = sink;
    return true;
}

bool CDownloadManager::FetchList(const std::string& serverFolder, const std::string& fileName,
                                 std::vector<std::string>& lines, std::string* bytes)
{
    std::string content;
    if (!FetchText(serverFolder, fileName, content)) return false;
    // The lines are cut from the very bytes the caller checks: the file is read once.
    CTextFileReader("\n").SplitLines(content, lines);
    if (bytes) bytes->swap(content);
    return true;
}

bool CDownloadManager::GetVersionList(std::vector<std::string>& lines)
{
    return FetchList(kUpdateBasePath, kVersionListName, lines);
}

bool CDownloadManager::FetchText(const std::string& serverFolder, const std::string& fileName, std::string& bytes)
{
    // The user's temporary folder, not the current one: the program may have been started from
    // a place it cannot write (a share, a CD, a protected folder).
    const CListFolder folder;
    if (folder.Path().empty()) {
        CRunLog::Write("no temporary folder to fetch " + fileName + " into");
        return false;
    }
    // Bounded before a byte of it is read: a list larger than any release is no list.
    auto sink = std::make_shared<CFileSink>();
    sink->LimitSize(kListSizeBound);
    if (Fetch(folder.Path(), serverFolder, fileName, sink) != 200) return false;
    // A list that arrived but cannot be read is no list: reporting success would hand the
    // caller stale or no lines as if they were the server's.
    if (ReadBytes(folder.Path() + fileName, bytes)) return true;
    CRunLog::Write(fileName + " arrived but could not be read back from " + folder.Path());
    return false;
}

bool CDownloadManager::GetFileList(const std::string& component, std::vector<std::string>& lines,
                                   const CReleaseKey* releaseKey, ListSignature* signature)
{
    ListSignature found = ListSignature::NotAsked;
    if (signature) *signature = found;
    if (!releaseKey) return FetchList(FileListFolder(component), kFileListName, lines);

    std::string listBytes, signatureText;
    std::vector<std::string> fetched;
    if (!FetchList(FileListFolder(component), kFileListName, fetched, &listBytes)) return false;
    if (!FetchText(FileListFolder(component), kFileListSignatureName, signatureText)) {
        CRunLog::Write("the list's signature could not be fetched");
        found = ListSignature::Missing;
    } else if (!CReleaseSignature::Verifies(*releaseKey, listBytes, signatureText)) {
        // The lines handed on are read from the very bytes that were verified.
        CRunLog::Write("the list's signature does not verify with the release key");
        found = ListSignature::Wrong;
    } else {
        found = ListSignature::Verified;
    }
    if (signature) *signature = found;
    // A caller that does not ask about the signature gets only a verified list.
    if (!signature && found != ListSignature::Verified) return false;
    lines.swap(fetched);
    return true;
}

long long CDownloadManager::UnixTime()
{
    return CurrentUnixTime();
}

int CDownloadManager::GetRemoteFileSize(const std::string& serverPath)
{
    if (!m_serverUsable) {
        CRunLog::Write("GET " + std::string(kUpdateBasePath) + serverPath + " (size only): no update server to ask");
        return 0;
    }
    std::shared_ptr<CWebFileSession> session = Session();
    const CServerAddress server = m_server;
    const std::string path = serverPath;
    return m_watch.Run(
        [session, server, path] { return GetWebFile(*session, server, "", kUpdateBasePath, path, true); }, nullptr,
        m_limits, std::string(kUpdateBasePath) + path + " (size only)");
}

bool CDownloadManager::DownloadFile(const std::string& serverPath, const std::string& localPath,
                                    const CExpectedBody& expected, const std::string& asideName, bool* movedAside)
{
    if (movedAside) *movedAside = false;
    CDownloadTarget target;
    if (!SplitDownload(serverPath, localPath, target)) return false;
    auto sink = std::make_shared<CFileSink>();
    sink->ExpectDigest(expected.sha256);
    sink->ExpectSize(expected.size);
    sink->SetAsideName(asideName);
    const bool stored = Fetch(target.localFolder, target.serverFolder, target.fileName, sink) == 200;
    if (movedAside) *movedAside = stored && sink->MovedAside();
    return stored;
}

bool CDownloadManager::DownloadAll(const std::vector<CJob>& jobs, const BatchProgress& progress, std::size_t& failed)
{
    // Made here, before any lane runs: the lanes share them, and the watching thread reads
    // their byte counts while they fill.
    std::vector<std::shared_ptr<CFileSink>> sinks;
    std::vector<CDownloadTarget> targets(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!SplitDownload(jobs[i].serverPath, jobs[i].localPath, targets[i])) {
            failed = i;
            return false;
        }
        auto sink = std::make_shared<CFileSink>();
        sink->ExpectDigest(jobs[i].expected.sha256);
        sink->ExpectSize(jobs[i].expected.size);
        if (!jobs[i].partialPath.empty()) sink->KeepPartialAt(jobs[i].partialPath);
        sinks.push_back(std::move(sink));
    }
    Session(); // one session for every lane, made before they start
    auto makeJob = [&](std::size_t i, CTransferJob& job) {
        if (!MakeJob(targets[i].localFolder, targets[i].serverFolder, targets[i].fileName, sinks[i], job)) return false;
        // A lane counts any non-zero result as success; a fetch returns the HTTP status.
        job.fetch = [fetch = std::move(job.fetch)] { return fetch() == 200 ? 1 : 0; };
        return true;
    };
    auto tick = [&](std::size_t finished) {
        if (!progress) return;
        long long bytes = 0;
        for (const auto& sink : sinks) bytes += sink->BytesWritten();
        progress(bytes, finished);
    };
    return CTransferLanes::Run(jobs.size(), kParallelTransfers, m_limits, makeJob, tick, m_watch, failed);
}

void CDownloadManager::AttachProgressSink(nsFTP::CTransferObserver* sink)
{
    m_ftp.AttachObserver(sink);
}

void CDownloadManager::DetachProgressSink(nsFTP::CTransferObserver* sink)
{
    m_ftp.DetachObserver(sink);
}
