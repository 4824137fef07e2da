#pragma once
// Drives a real program under test as a user would: starts it, finds its windows and message
// boxes by caption, reads control texts, presses buttons and records every window it showed.
// Texts are UTF-8 on this side.
#include <windows.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CUpdaterDriver {
public:
    struct CShownWindow {
        std::string caption;
        std::string className;
        std::string text; // the message of a message box, empty otherwise
    };

    // With endAll, whatever the program starts (the product too) ends with the driver.
    explicit CUpdaterDriver(bool endAll = true);
    // Ends the program (and with endAll everything it started) if it still runs.
    ~CUpdaterDriver();
    CUpdaterDriver(const CUpdaterDriver&) = delete;
    CUpdaterDriver& operator=(const CUpdaterDriver&) = delete;

    // `commandLine` is the whole command line, program path included.
    bool Start(const std::string& commandLine, const std::string& currentDirectory);
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    bool IsRunning() const;
    // Kills the program by its process id, at once.
    bool Kill();
    DWORD ProcessId() const { return m_processId; }
    // Why the last Start failed (a Windows error), 0 after one that succeeded.
    DWORD StartError() const { return m_startError; }

    // A visible top-level window of the program with that caption.
    HWND WaitForWindow(const std::string& caption, DWORD timeoutMs = 60000);
    // A visible top-level window of the program that satisfies `match`.
    HWND WaitForWindowWhere(const std::function<bool(HWND)>& match, DWORD timeoutMs = 60000);
    // A message box of the program with that caption.
    HWND WaitForMessageBox(const std::string& caption, DWORD timeoutMs = 60000);
    // Waits for the message box and presses a button (IDOK, IDYES, IDNO, IDCANCEL); gives its text.
    bool Answer(const std::string& caption, int button, std::string* text = nullptr, DWORD timeoutMs = 60000);

    // Presses a button as a click would, without waiting for its handler.
    static void Click(HWND dialog, int controlId);
    static std::string ControlText(HWND dialog, int controlId);
    static std::string WindowText(HWND window);
    static std::string MessageBoxText(HWND box);
    static bool IsEnabled(HWND dialog, int controlId);
    static bool IsChecked(HWND dialog, int controlId);
    static int ProgressPos(HWND dialog, int controlId);
    // Saves what the screen shows of a window as a 24-bit BMP file.
    static bool SaveScreenshot(HWND window, const std::string& path);

    // Every window the program showed, in the order first seen.
    std::vector<CShownWindow> Shown() const;
    // The captions and texts of the message boxes shown, in order.
    std::vector<CShownWindow> MessageBoxes() const;

private:
    void Monitor();
    void RecordWindows();
    std::vector<HWND> TopLevelWindows() const;

    HANDLE m_job = nullptr;
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
    DWORD m_startError = 0;
    std::thread m_monitor;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::pair<HWND, CShownWindow>> m_shown;
};
