#pragma once
// A progress bar control. Every operation is a window message, so a worker thread may drive
// it while the dialog's thread dispatches.
#include <windows.h>

class CProgressCtrl {
public:
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    void SetRange(int lower, int upper);
    int SetPos(int pos);
    int GetPos() const;
    int SetStep(int step);
    int StepIt();

private:
    HWND m_hWnd = nullptr;
};
