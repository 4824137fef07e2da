#pragma once
// The window of update mode: a small progress window without a caption. Its worker
// (RunUpdate, seeing the dialog only as IUpdateView) starts half a second after the window is up, replaces the newer files and
// posts WM_CLOSE; the close handler then records the new version, tells the user and starts
// the product again, or reports the failure.
#include "framework/ProgressCtrl.h"
#include "framework/WorkerDialog.h"
#include "net/DownloadManager.h"
#include "update/UpdateView.h"

#include <string>

class CUpdateDlg : public CWorkerDialog, private IUpdateView {
public:
    // The same window serves the repair ("-r"): its worker runs RunRepair, and the close
    // handler tells how many files were repaired, records nothing and starts nothing.
    enum class EWork { Update, Repair };

    explicit CUpdateDlg(HWND parent = nullptr, EWork work = EWork::Update);
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
    static unsigned ThreadProc(CWorkerDialog* dialog);

    // What the worker may do (IUpdateView); called on the worker's thread.
    void SetStatus(const std::wstring& text) override;
    IProgressBar& Bar() override { return m_progress; }
    HWND QuestionOwner() const override { return GetSafeHwnd(); }
    void SetNewVersion(const std::string& version) override { m_strVersion = version; }
    void SetReplacedCount(std::size_t count) override { m_replaced = count; }

    void ShowDone(const std::wstring& text) const;
    void StartProduct();

    HICON m_hIcon;
    CProgressCtrl m_progress;
    CDownloadManager m_downloadManager;
    // Read by OnInitDialog before the worker may start; on success the worker replaces the
    // version just before it stores its result, and OnClose reads it only after that.
    std::string m_strSetupDir;
    std::string m_strVersion;
    CUpdateInputs m_inputs; // the worker's copy of both, taken by OnInitDialog
    bool m_closing = false; // a second WM_CLOSE arriving during the final message box
    const EWork m_work;
    std::size_t m_replaced = 0; // written by the worker before it posts WM_CLOSE
};
