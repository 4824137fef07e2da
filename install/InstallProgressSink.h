#pragma once
// The install worker's transfer progress sink: moves the upper bar along one transfer and the
// lower bar along the whole installation.
#include "Zum/ftp/TransferObserver.h"

class IInstallView;

class CInstallProgressSink : public nsFTP::CTransferObserver {
public:
    explicit CInstallProgressSink(IInstallView& view) : m_view(view) {}

    // The sum of the sizes the server announced, for the lower bar's steps.
    void SetTotalSize(long long totalSize) { m_totalSize = totalSize; }

    void OnBytesReceived(long long count) override;
    void OnPreReceiveFile(const std::string& remote, const std::string& local, long long size) override;
    void OnPostReceiveFile(const std::string& remote, const std::string& local, long long size) override;

private:
    IInstallView& m_view;
    long long m_totalSize = 0; // releases past 2 GiB count too
    long long m_currentSize = 0;
    long long m_totalCounter = 0;
    long long m_fileCounter = 0;
};
