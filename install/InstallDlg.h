#pragma once
// The window of install mode: the user picks the folder and the shortcuts and presses Install;
// the worker (InstallThreadProc) then does the work and posts WM_CLOSE, and the close handler
// tells the outcome or starts the product.
#include "fileops/ProductShortcuts.h"
#include "framework/ProgressCtrl.h"
#include "framework/WorkerDialog.h"
#include "install/InstallProgressSink.h"
#include "net/DownloadManager.h"
#include <atomic>
#include <string>

class CInstallDlg : public CWorkerDialog {
public:
    CInstallDlg();
    ~CInstallDlg() override;

    // The successes of a run, in m_nResult beside kNotFinished and kFailed.
    static constexpr int kInstalled = 2;             // tell the user it is done
    static constexpr int kInstalledAndStart = 3;     // start the product instead

    // What the user chose; read by the worker once Install was pressed (the controls are
    // disabled from then on, so the choice cannot change under it).
    struct COptions {
        bool runAfter = true;
        bool desktop = true;
        bool quickLaunch = true;
        bool startMenu = true;
        bool programsMenu = true;

        bool Wants(EProductShortcut shortcut) const
        {
            switch (shortcut) {
            case EProductShortcut::Desktop: return desktop;
            case EProductShortcut::StartMenu: return startMenu;
            case EProductShortcut::Programs: return programsMenu;
            case EProductShortcut::QuickLaunch: return quickLaunch;
            }
            return false;
        }
    };

    std::string m_strInstallDir;
    std::string m_strTitle;    // written by the worker before it posts WM_CLOSE
    std::string m_strVersion;  // written by the worker before it posts WM_CLOSE
    std::atomic<int> m_nTotalSize{0};
    std::atomic<bool> m_bWorking{false};
    COptions m_options;
    CDownloadManager m_downloadManager;
    CInstallProgressSink m_transferSink;
    CProgressCtrl m_progressFile;   // upper bar: the current item
    CProgressCtrl m_progressTotal;  // lower bar: the whole installation

    // Worker side: the main (1049) and detail (1048) status texts.
    void ShowStatus(const std::wstring& main, const std::wstring& detail) const;
    void SetMainStatus(const std::wstring& text) const;
    void SetDetailStatus(const std::wstring& text) const;

protected:
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int notifyCode) override;
    bool OnSysCommand(UINT id, LPARAM lParam) override;
    void OnClose() override;

private:
    void OnChangeFolder();
    void OnInstall();
    void StartProduct();

    HICON m_hIcon;
};
