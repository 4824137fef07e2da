#pragma once
// The one object through which start-up and the install and update workers reach the update
// server: it knows the server's address and path layout, fetches list files and reads them into
// lines, asks file sizes and downloads files. It also owns the cipher and FTP client that the
// product's libraries expect to find here; no flow transfers or encrypts anything with them.
#include "Zum/ftp/FtpClient.h"
#include "Zum/ftp/TransferObserver.h"
#include "crypt/Blowfish.h"
#include "crypt/ReleaseKey.h"
#include "net/ServerAddress.h"

#include <memory>
#include <string>
#include <vector>

class CDownloadManager {
public:
    // Reads NUVRA_UPDATE_SERVER ("host" or "host:port") once; without it, or when it does not
    // parse, the compiled-in host on port 80.
    CDownloadManager();
    ~CDownloadManager();
    CDownloadManager(const CDownloadManager&) = delete;
    CDownloadManager& operator=(const CDownloadManager&) = delete;

    // Fetch /update/version.txt into the user's temporary folder, read it into `lines`, delete it.
    // False when it could not be fetched or read; no list file stays behind either way.
    bool GetVersionList(std::vector<std::string>& lines);
    // The same for /update/<component>/_nuvr_file_list.lst. With a release key, its signature
    // "_nuvr_file_list.lst.sig" is fetched right after it, and a list whose signature is
    // missing or does not verify is no list either.
    bool GetFileList(const std::string& component, std::vector<std::string>& lines,
                     const CReleaseKey* releaseKey = nullptr);
    // The length the server reports for /update/<serverPath>; otherwise 401, -1 or 0 as the
    // fetcher gives them in size-only mode.
    int GetRemoteFileSize(const std::string& serverPath);
    // Downloads /update/<serverPath> into the folder part of `localPath` (relative to the current
    // directory), under the server path's file name. True when the whole body was stored and,
    // given its SHA-256 (lower-case hex), the body has that digest. With an aside name, an
    // existing file that cannot be replaced in one step (in use) is moved aside under that name
    // first and left there; `movedAside` then turns true.
    bool DownloadFile(const std::string& serverPath, const std::string& localPath,
                      const std::string& expectedSha256 = std::string(), const std::string& asideName = std::string(),
                      bool* movedAside = nullptr);

    // Hands a progress sink to the FTP client's observers.
    void AttachProgressSink(nsFTP::CTransferObserver* sink);
    void DetachProgressSink(nsFTP::CTransferObserver* sink);
    // Hooks around a series of transfers; HTTP needs no set-up, so both always succeed.
    bool PrepareTransfers() { return true; }
    bool FinishTransfers() { return true; }

    const CServerAddress& Server() const { return m_server; }
    // The server every manager of this run uses, as the constructor reads it.
    static CServerAddress ConfiguredServer();

private:
    // `bytes`, when given, receives the file exactly as it arrived.
    bool FetchList(const std::string& serverFolder, const std::string& fileName, std::vector<std::string>& lines,
                   std::string* bytes = nullptr);
    bool FetchText(const std::string& serverFolder, const std::string& fileName, std::string& bytes);

    std::unique_ptr<CBlowfish> m_pCipher;
    unsigned char m_flag = 0;
    nsFTP::CFtpClient m_ftp{10, 2048, true};
    CServerAddress m_server;
};
