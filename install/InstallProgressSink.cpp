#include "install/InstallProgressSink.h"
#include "framework/TextConvert.h"
#include "install/InstallDlg.h"

void CInstallProgressSink::OnBytesReceived(long long count)
{
    CInstallDlg* dialog = m_dialog;
    if (!dialog) return;
    m_totalCounter += count;
    m_fileCounter += count;
    if (m_totalCounter > dialog->m_nTotalSize / 30) {
        dialog->m_progressTotal.StepIt();
        m_totalCounter = 0;
    }
    if (m_fileCounter > m_currentSize / 100) {
        dialog->m_progressFile.StepIt();
        m_fileCounter = 0;
    }
}

void CInstallProgressSink::OnPreReceiveFile(const std::string& remote, const std::string&, long long size)
{
    CInstallDlg* dialog = m_dialog;
    if (!dialog) return;
    dialog->SetDetailStatus(WideFromAnsi(remote));
    dialog->m_progressFile.SetPos(0);
    dialog->m_progressFile.SetRange(0, 100);
    dialog->m_progressFile.SetStep(1);
    m_currentSize = size;
}

void CInstallProgressSink::OnPostReceiveFile(const std::string&, const std::string&, long long)
{
    CInstallDlg* dialog = m_dialog;
    if (!dialog) return;
    dialog->m_progressFile.SetPos(100);
}
