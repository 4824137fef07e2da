#pragma once
// A progress bar control. Every operation is a window message, so a worker thread may drive
// it while the dialog's thread dispatches.
#include "framework/ProgressBar.h"
#include <windows.h>

class CProgressCtrl : public IProgressBar {
public:
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    void SetRange(int lower, int upper) override;
    int SetPos(int pos) override;
    int GetPos() const override;
    int SetStep(int step) override;
    int StepIt() override;

private:
    HWND m_hWnd = nullptr;
};
