#pragma once
// The one object through which start-up and the install and update workers reach the update
// server: it knows the server's address and path layout, fetches list files and reads them into
// lines, asks file sizes and downloads files. It also owns the cipher and FTP client that the
// product's libraries expect to find here; no flow transfers or encrypts anything with them.
#include "Zum/ftp/FtpClient.h"
#include "Zum/ftp/TransferObserver.h"
#include "crypt/Blowfish.h"
#include "crypt/ReleaseKey.h"
#include "net/FileSink.h"
#include "net/ServerAddress.h"
#include "net/TransferLanes.h"
#include "net/TransferWatch.h"
#include "release/ListVerdict.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CWebFileSession;

// The update server of this run and where it came from.
struct CConfiguredServer {
    CServerAddress address;
    bool usable = false;     // false: NUVRA_UPDATE_SERVER is set and does not parse
    std::string environment; // NUVRA_UPDATE_SERVER as set ("" when it is not)
};

class CDownloadManager {
public:
    // A version list or file list larger than this is refused before it is read.
    static constexpr long long kListSizeBound = 16LL * 1024 * 1024;

    // Reads NUVRA_UPDATE_SERVER ("host[:port]" or "https://host[:port]") once; without it, the
    // compiled-in address. A value that does not parse leaves the manager with no server: every
    // request fails (start-up ends the run before it gets that far).
    CDownloadManager();
    ~CDownloadManager();
    CDownloadManager(const CDownloadManager&) = delete;
    CDownloadManager& operator=(const CDownloadManager&) = delete;

    // Every transfer ends, as failed, within about a second of this event (the worker's stop
    // event, not owned; none by default); and once it is set, no new one starts.
    void SetStopEvent(HANDLE stopEvent) { m_limits.stopEvent = stopEvent; }
    // From now on the run's transfers must be done within `budgetMs` (see
    // CTransferPace::RunBudgetMs); a transfer still going then fails.
    void SetRunBudget(unsigned long long budgetMs);

    // Fetch /update/version.txt into the user's temporary folder, read it into `lines`, delete it.
    // False when it could not be fetched or read, or is larger than kListSizeBound; no list file
    // stays behind either way.
    bool GetVersionList(std::vector<std::string>& lines);
    // The same for /update/<component>/_nuvr_file_list.lst. With a release key, its signature
    // "_nuvr_file_list.lst.sig" is fetched right after it and checked; `signature` says how that
    // went, and JudgeList decides what follows (NotAsked without a key).
    bool GetFileList(const std::string& component, std::vector<std::string>& lines,
                     const CReleaseKey* releaseKey = nullptr, ListSignature* signature = nullptr);
    // The length the server reports for /update/<serverPath>; otherwise 401, -1 or 0 as the
    // fetcher gives them in size-only mode.
    int GetRemoteFileSize(const std::string& serverPath);
    // Downloads /update/<serverPath> into the folder part of `localPath` (relative to the current
    // directory), under the server path's file name. True when the whole body was stored and,
    // given its SHA-256 (lower-case hex) or size, the body has that digest and exactly that size
    // (a body that runs past the size is cut at its first extra byte). With an aside name, an
    // existing file that cannot be replaced in one step (in use) is moved aside under that name
    // first and left there; `movedAside` then turns true.
    bool DownloadFile(const std::string& serverPath, const std::string& localPath,
                      const CExpectedBody& expected = CExpectedBody(), const std::string& asideName = std::string(),
                      bool* movedAside = nullptr);

    // Up to this many transfers of one batch run at once, each on a connection of its own.
    static constexpr std::size_t kParallelTransfers = 4;
    // One file of a batch: /update/<serverPath> into the folder of `localPath` (relative to the
    // current directory, its folders existing), under the server path's file name, checked as
    // DownloadFile checks. With a `partialPath` the bytes go there first, and a failed transfer
    // leaves them for a later batch to continue with a range request; only a complete, checked
    // body takes the local name.
    struct CJob {
        std::string serverPath;
        std::string localPath;
        std::string partialPath;
        CExpectedBody expected;
    };
    // The bytes stored so far by a batch (the kept bytes of resumed files included) and the
    // files it has finished.
    using BatchProgress = std::function<void(long long bytes, std::size_t files)>;
    // Downloads every job, up to kParallelTransfers at once, in list order as lanes come free.
    // `progress` is called on the calling thread about ten times a second and at the end. True
    // when every file is stored. The first one that fails ends the batch: the transfers still
    // running are given up (a kept partial file stays), none starts after it, and `failed` is its
    // index. The stop event ends them all in the same way.
    bool DownloadAll(const std::vector<CJob>& jobs, const BatchProgress& progress, std::size_t& failed);

    // Hands a progress sink to the FTP client's observers.
    void AttachProgressSink(nsFTP::CTransferObserver* sink);
    void DetachProgressSink(nsFTP::CTransferObserver* sink);
    // Hooks around a series of transfers; HTTP needs no set-up, so both always succeed.
    bool PrepareTransfers() { return true; }
    bool FinishTransfers() { return true; }

    // Seconds since 1970-01-01 UTC, for the expiry of signed lists.
    static long long UnixTime();

    const CServerAddress& Server() const { return m_server; }
    // The server every manager of this run uses, as the constructor reads it.
    static CConfiguredServer ConfiguredServer();

private:
    // `bytes`, when given, receives the file exactly as it arrived.
    bool FetchList(const std::string& serverFolder, const std::string& fileName, std::vector<std::string>& lines,
                   std::string* bytes = nullptr);
    bool FetchText(const std::string& serverFolder, const std::string& fileName, std::string& bytes);
    // One GET of serverFolder + fileName into localFolder, watched (see CTransferWatch).
    int Fetch(const std::string& localFolder, const std::string& serverFolder, const std::string& fileName,
              const std::shared_ptr<CFileSink>& sink);
    // That GET as a job for a watch's thread; false (logged) when there is no server to ask.
    bool MakeJob(const std::string& localFolder, const std::string& serverFolder, const std::string& fileName,
                 const std::shared_ptr<CFileSink>& sink, CTransferJob& job);
    // The one session every transfer of this manager shares, made at the first transfer.
    std::shared_ptr<CWebFileSession> Session();

    std::unique_ptr<CBlowfish> m_pCipher;
    unsigned char m_flag = 0;
    nsFTP::CFtpClient m_ftp{10, 2048, true};
    CServerAddress m_server;
    bool m_serverUsable = false;
    CTransferLimits m_limits;
    std::shared_ptr<CWebFileSession> m_session;
    CTransferWatch m_watch; // last: its thread ends before the session it may use goes
};
