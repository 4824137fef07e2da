#pragma once
// The window of update mode: a small progress window without a caption. Its worker
// (UpdateThreadProc) starts half a second after the window is up, replaces the newer files and
// posts WM_CLOSE; the close handler then records the new version, tells the user and starts
// the product again, or reports the failure.
#include "framework/ProgressCtrl.h"
#include "framework/WorkerDialog.h"
#include "net/DownloadManager.h"

#include <string>

class CUpdateDlg : public CWorkerDialog {
public:
    // The success of a run, in m_nResult beside kNotFinished and kFailed.
    static constexpr int kUpdated = 3;

    explicit CUpdateDlg(HWND parent = nullptr);
    ~CUpdateDlg() override;

protected:
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    // The window has no buttons; Enter and Escape must not end it by the dialog manager's way.
    void OnOK() override {}
    void OnCancel() override {}

private:
    friend unsigned UpdateThreadProc(CWorkerDialog* dialog);

    void RecordVersion() const;
    void ShowUpdateDone() const;
    void StartProduct() const;

    HICON m_hIcon;
    CProgressCtrl m_progress;
    CDownloadManager m_downloadManager;
    // Read by OnInitDialog before the worker may start; on success the worker replaces the
    // version just before it stores its result, and OnClose reads it only after that.
    std::string m_strSetupDir;
    std::string m_strVersion;
    bool m_closing = false;  // a second WM_CLOSE arriving during the final message box
};
