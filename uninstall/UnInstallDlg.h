#pragma once
// The uninstall window: "Ready" until the user presses Delete, which removes the product on
// this thread (CProductRemoval, seeing the dialog as IRemovalView) and ends the dialog; Close (or the system menu) ends it without removing anything.
// An installation folder this user cannot write stops Delete before anything is removed.
#include "framework/Dialog.h"
#include "framework/ProgressCtrl.h"
#include "uninstall/RemovalView.h"

#include <string>

class CUnInstallDlg : public CDialog, private IRemovalView {
public:
    CUnInstallDlg();

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    bool OnCommand(int id, int notifyCode) override;
    void OnOK() override;
    void OnCancel() override;

private:
    void OnDelete();
    // What the removal may do (IRemovalView); called on this thread.
    void ShowStatus(UINT stringId) override;
    IProgressBar& Bar() override { return m_progress; }
    HWND QuestionOwner() const override { return GetSafeHwnd(); }
    // Ends the Delete press without removing anything; Close stays available.
    void StopWithNothingRemoved();

    HICON m_hIcon;
    CProgressCtrl m_progress;
    // Set once Delete is pressed: from then on only the end of the removal ends the dialog,
    // whatever reaches it while a pause answers sent messages or a question box runs.
    bool m_removing = false;
};
