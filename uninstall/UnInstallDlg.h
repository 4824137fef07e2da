#pragma once
#include "framework/Dialog.h"

// Placeholder: the dialog on its template, with its icon; the work comes later.
class CUnInstallDlg : public CDialog {
public:
    CUnInstallDlg();

protected:
    BOOL OnInitDialog() override;

private:
    HICON m_hIcon;
};
