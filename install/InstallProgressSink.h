#pragma once
// The install dialog's transfer progress sink: moves the upper bar along one transfer and the
// lower bar along the whole installation. It does nothing until it knows its dialog.
#include "Zum/ftp/TransferObserver.h"
#include <atomic>

class CInstallDlg;

class CInstallProgressSink : public nsFTP::CTransferObserver {
public:
    void SetDialog(CInstallDlg* dialog) { m_dialog = dialog; }

    void OnBytesReceived(long long count) override;
    void OnPreReceiveFile(const std::string& remote, const std::string& local, long long size) override;
    void OnPostReceiveFile(const std::string& remote, const std::string& local, long long size) override;

private:
    std::atomic<CInstallDlg*> m_dialog{nullptr};
    long long m_currentSize = 0;
    long long m_totalCounter = 0;
    long long m_fileCounter = 0;
};
