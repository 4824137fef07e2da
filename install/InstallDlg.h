#pragma once
// The window of install mode: the user picks the folder and the shortcuts and presses Install;
// the worker (CInstallProcedure, seeing the dialog only as IInstallView) then does the work and
// posts WM_CLOSE, and the close handler tells the outcome or starts the product.
#include "framework/ProgressCtrl.h"
#include "framework/WorkerDialog.h"
#include "install/InstallInputs.h"
#include "install/InstallView.h"
#include "net/DownloadManager.h"
#include <atomic>
#include <string>

class CInstallDlg : public CWorkerDialog, private IInstallView {
public:
    CInstallDlg();
    ~CInstallDlg() override;

protected:
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int notifyCode) override;
    bool OnSysCommand(UINT id, LPARAM lParam) override;
    void OnClose() override;

private:
    static unsigned ThreadProc(CWorkerDialog* dialog);

    void OnChangeFolder();
    void OnInstall();
    void StartProduct();

    // What the worker may do (IInstallView); called on the worker's thread.
    void SetMainStatus(const std::wstring& text) override;
    void SetDetailStatus(const std::wstring& text) override;
    IProgressBar& FileBar() override { return m_progressFile; }
    IProgressBar& TotalBar() override { return m_progressTotal; }
    HWND QuestionOwner() const override { return GetSafeHwnd(); }
    void SetRelease(const std::string& title, const std::string& version) override;

    std::string m_strInstallDir;
    // The copy the worker works from, taken when Install is pressed (before the start event).
    CInstallInputs m_inputs;
    std::string m_strTitle;   // written by the worker before it posts WM_CLOSE
    std::string m_strVersion; // written by the worker before it posts WM_CLOSE
    std::atomic<bool> m_bWorking{false};
    CDownloadManager m_downloadManager;
    CProgressCtrl m_progressFile;  // upper bar: the current item
    CProgressCtrl m_progressTotal; // lower bar: the whole installation

    HICON m_hIcon;
};
