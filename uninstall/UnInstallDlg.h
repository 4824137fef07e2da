#pragma once
// The uninstall window: "Ready" until the user presses Delete, which removes the product on
// this thread and ends the dialog; Close (or the system menu) ends it without removing anything.
// An installation folder this user cannot write stops Delete before anything is removed.
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
    // False when the installation folder exists but this user cannot write into it.
    static bool CanRemoveFolder(const std::string& folder);
    // Ends the Delete press without removing anything; Close stays available.
    void StopWithNothingRemoved();

    HICON m_hIcon;
    CProgressCtrl m_progress;
    // Set once Delete is pressed: from then on only the end of the removal ends the dialog,
    // whatever reaches it while a pause answers sent messages or a question box runs.
    bool m_removing = false;
};
