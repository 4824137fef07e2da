#include "framework/ProgressCtrl.h"
#include <commctrl.h>

void CProgressCtrl::SetRange(int lower, int upper)
{
    SendMessageW(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

int CProgressCtrl::SetPos(int pos)
{
    return static_cast<int>(SendMessageW(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(pos), 0));
}

int CProgressCtrl::GetPos() const
{
    return static_cast<int>(SendMessageW(m_hWnd, PBM_GETPOS, 0, 0));
}

int CProgressCtrl::SetStep(int step)
{
    return static_cast<int>(SendMessageW(m_hWnd, PBM_SETSTEP, static_cast<WPARAM>(step), 0));
}

int CProgressCtrl::StepIt()
{
    return static_cast<int>(SendMessageW(m_hWnd, PBM_STEPIT, 0, 0));
}
