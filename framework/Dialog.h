#pragma once
// A modal dialog on a template, with its own message loop so that PreTranslateMessage sees
// every message before the dialog manager does. Handlers are virtual; the dialog procedure
// forwards to them and never lets an exception through.
#include <windows.h>
#include <string>

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // What DoModal returns when its loop ended before the dialog did (a WM_QUIT, a failed
    // GetMessage): the dialog has no result.
    static constexpr INT_PTR kNotEnded = -2;

    // Shows the dialog and returns the value given to EndDialog (-1 when it cannot be created,
    // the Windows error then left for GetLastError; kNotEnded as above).
    INT_PTR DoModal();
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetDlgItemText(int id, const std::wstring& text) const;
    std::wstring GetDlgItemText(int id) const;
    bool IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, bool checked) const;
    void SetIcon(HICON icon, bool big) const;
    // A message box owned by this dialog, captioned with the application name.
    int MessageBox(const std::wstring& text, UINT type = MB_OK) const;

protected:
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose();
    // Returns true when the command was handled.
    virtual bool OnCommand(int id, int notifyCode);
    virtual void OnTimer(UINT_PTR id);
    // Returns true when the system command was handled and must not reach the default handling.
    virtual bool OnSysCommand(UINT id, LPARAM lParam);
    virtual void OnDestroy();

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    HWND m_parent;
    bool m_ended = false;
    INT_PTR m_result = 0;
};
