#include "install/InstallProgressSink.h"
#include "framework/TextConvert.h"
#include "install/InstallView.h"

void CInstallProgressSink::OnBytesReceived(long long count)
{
    m_totalCounter += count;
    m_fileCounter += count;
    if (m_totalCounter > m_totalSize / 30) {
        m_view.TotalBar().StepIt();
        m_totalCounter = 0;
    }
    if (m_fileCounter > m_currentSize / 100) {
        m_view.FileBar().StepIt();
        m_fileCounter = 0;
    }
}

void CInstallProgressSink::OnPreReceiveFile(const std::string& remote, const std::string&, long long size)
{
    m_view.SetDetailStatus(WideFromAnsi(remote));
    m_view.FileBar().SetPos(0);
    m_view.FileBar().SetRange(0, 100);
    m_view.FileBar().SetStep(1);
    m_currentSize = size;
}

void CInstallProgressSink::OnPostReceiveFile(const std::string&, const std::string&, long long)
{
    m_view.FileBar().SetPos(100);
}
