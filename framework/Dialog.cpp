#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "framework/TextConvert.h"
#include "framework/Trace.h"

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog()
{
    if (m_hWnd) DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    m_ended = false;
    m_result = 0;
    HWND created = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), m_parent, DialogProc,
                                      reinterpret_cast<LPARAM>(this));
    if (!created) return -1;
    bool parentEnabled = m_parent && IsWindowEnabled(m_parent);
    if (parentEnabled) EnableWindow(m_parent, FALSE);
    if (!m_ended) {
        ShowWindow(m_hWnd, SW_SHOW);
        SetForegroundWindow(m_hWnd);
    }

    MSG msg;
    while (!m_ended) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // leave the quit for an outer loop
            break;
        }
        if (got == -1) break;
        if (PreTranslateMessage(&msg)) continue;
        if (m_hWnd && IsDialogMessageW(m_hWnd, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    if (parentEnabled) EnableWindow(m_parent, TRUE);
    if (m_hWnd) {
        HWND hwnd = m_hWnd;
        DestroyWindow(hwnd);
        m_hWnd = nullptr;
    }
    return m_ended ? m_result : kNotEnded;
}

void CDialog::EndDialog(INT_PTR result)
{
    m_result = result;
    m_ended = true;
    if (m_hWnd) ShowWindow(m_hWnd, SW_HIDE);
    // Wake the loop in case no other message is pending.
    if (m_hWnd) PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

void CDialog::SetDlgItemText(int id, const std::wstring& text) const
{
    SetDlgItemTextW(m_hWnd, id, text.c_str());
}

std::wstring CDialog::GetDlgItemText(int id) const
{
    HWND item = GetDlgItem(id);
    int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(item, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

bool CDialog::IsDlgButtonChecked(int id) const
{
    return ::IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CDialog::CheckDlgButton(int id, bool checked) const
{
    ::CheckDlgButton(m_hWnd, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CDialog::SetIcon(HICON icon, bool big) const
{
    SendMessageW(m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

int CDialog::MessageBox(const std::wstring& text, UINT type) const
{
    CWinApp* app = AfxGetApp();
    std::wstring caption = app ? WideFromAnsi(app->m_pszAppName) : std::wstring();
    return MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), type);
}

BOOL CDialog::PreTranslateMessage(MSG*)
{
    return FALSE;
}
BOOL CDialog::OnInitDialog()
{
    return TRUE;
}
void CDialog::OnOK()
{
    EndDialog(IDOK);
}
void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}
void CDialog::OnClose()
{
    OnCancel();
}
bool CDialog::OnCommand(int, int)
{
    return false;
}
void CDialog::OnTimer(UINT_PTR) {}
bool CDialog::OnSysCommand(UINT, LPARAM)
{
    return false;
}
void CDialog::OnDestroy() {}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // No exception may unwind through user32; a handler that throws has done nothing more.
        TraceSwallowedException("a dialog's message handler");
        return FALSE;
    }
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (OnCommand(id, code)) return TRUE;
        if (id == IDOK && code == BN_CLICKED) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL && code == BN_CLICKED) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE: OnClose(); return TRUE;
    case WM_TIMER: OnTimer(static_cast<UINT_PTR>(wParam)); return TRUE;
    case WM_SYSCOMMAND:
        if (OnSysCommand(static_cast<UINT>(wParam), lParam)) {
            SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        return FALSE;
    default: return FALSE;
    }
}
