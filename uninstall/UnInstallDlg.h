#pragma once
// The uninstall window: "Ready" until the user presses Delete, which removes the product on
// this thread and ends the dialog; Close (or the system menu) ends it without removing anything.
#include "framework/Dialog.h"
#include "framework/ProgressCtrl.h"

#include <string>

class CUnInstallDlg : public CDialog {
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
    void ShowStatus(UINT stringId) const;

    HICON m_hIcon;
    CProgressCtrl m_progress;
    // Set once Delete is pressed: from then on only the end of the removal ends the dialog,
    // whatever reaches it while a pause answers sent messages or a question box runs.
    bool m_removing = false;
};
