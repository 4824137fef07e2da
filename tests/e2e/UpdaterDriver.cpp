#include "tests/e2e/UpdaterDriver.h"
#include <commctrl.h>
#include <chrono>
#include <cstdio>

namespace {

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string ClassName(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return Utf8(name);
}

bool IsMessageBox(HWND window)
{
    return ClassName(window) == "#32770" && GetDlgItem(window, 0xFFFF) != nullptr &&
        (GetDlgItem(window, IDOK) || GetDlgItem(window, IDYES) || GetDlgItem(window, IDCANCEL));
}

} // namespace

CUpdaterDriver::CUpdaterDriver(bool endAll)
{
    if (!endAll) return;
    // Everything the program starts (the product too) ends with the job when the test ends.
    m_job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (m_job) SetInformationJobObject(m_job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
}

CUpdaterDriver::~CUpdaterDriver()
{
    m_stop = true;
    if (m_monitor.joinable()) m_monitor.join();
    if (m_job) {
        TerminateJobObject(m_job, 1);
        CloseHandle(m_job);
    }
    if (m_process) {
        if (m_job && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
        CloseHandle(m_process);
    }
}

bool CUpdaterDriver::Start(const std::string& commandLine, const std::string& currentDirectory)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    // Wine now and then loses a new process inside its own loader, before the program's first
    // instruction: CreateProcess then fails with ERROR_INTERNAL_ERROR (seen about once in five
    // hundred starts under the full run's load). The program under test never ran, so nothing of
    // it is judged twice; it is created once more, and the test output says so.
    for (int attempt = 1;; ++attempt) {
        std::string line = commandLine;
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                           currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &info))
            break;
        m_startError = GetLastError();
        if (m_startError != ERROR_INTERNAL_ERROR || attempt == 2) return false;
        std::printf("[ driver   ] Wine lost the new process in its loader (ERROR_INTERNAL_ERROR); creating it again\n");
    }
    m_startError = 0;
    if (m_job) AssignProcessToJobObject(m_job, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_processId = info.dwProcessId;
    m_monitor = std::thread([this] { Monitor(); });
    return true;
}

bool CUpdaterDriver::WaitForExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (!m_process || WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(m_process, exitCode);
    RecordWindows();
    return true;
}

bool CUpdaterDriver::Kill()
{
    // As a power cut or Task Manager would: no clean-up of any kind runs.
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, m_processId);
    if (!process) return false;
    const bool killed = TerminateProcess(process, 9) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return killed;
}

bool CUpdaterDriver::IsRunning() const
{
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

std::vector<HWND> CUpdaterDriver::TopLevelWindows() const
{
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{m_processId, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == s->pid && IsWindowVisible(window)) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND CUpdaterDriver::WaitForWindowWhere(const std::function<bool(HWND)>& match, DWORD timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        const bool ended = !IsRunning();
        for (HWND window : TopLevelWindows()) {
            if (!match(window)) continue;
            // Recorded now: the caller may press it before the monitor's next look.
            RecordWindows();
            return window;
        }
        if (ended) break; // a program that has ended shows nothing more
        Sleep(20);
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
}

HWND CUpdaterDriver::WaitForWindow(const std::string& caption, DWORD timeoutMs)
{
    return WaitForWindowWhere([&](HWND w) { return WindowText(w) == caption; }, timeoutMs);
}

HWND CUpdaterDriver::WaitForMessageBox(const std::string& caption, DWORD timeoutMs)
{
    return WaitForWindowWhere([&](HWND w) { return IsMessageBox(w) && WindowText(w) == caption; }, timeoutMs);
}

bool CUpdaterDriver::Answer(const std::string& caption, int button, std::string* text, DWORD timeoutMs)
{
    HWND box = WaitForMessageBox(caption, timeoutMs);
    if (!box) return false;
    RecordWindows();
    if (text) *text = MessageBoxText(box);
    HWND control = GetDlgItem(box, button);
    if (!control) return false;
    PostMessageW(control, BM_CLICK, 0, 0);
    return true;
}

void CUpdaterDriver::Click(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

std::string CUpdaterDriver::WindowText(HWND window)
{
    // WM_GETTEXT with a time-out: a window busy on its own thread must not hang the test.
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &length))
        return {};
    return Utf8(std::wstring(text, length));
}

std::string CUpdaterDriver::ControlText(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    return control ? WindowText(control) : std::string();
}

std::string CUpdaterDriver::MessageBoxText(HWND box)
{
    return ControlText(box, 0xFFFF);
}

bool CUpdaterDriver::IsEnabled(HWND dialog, int controlId)
{
    return IsWindowEnabled(GetDlgItem(dialog, controlId)) != FALSE;
}

bool CUpdaterDriver::IsChecked(HWND dialog, int controlId)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, controlId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
    return state == BST_CHECKED;
}

int CUpdaterDriver::ProgressPos(HWND dialog, int controlId)
{
    DWORD_PTR pos = 0;
    SendMessageTimeoutW(GetDlgItem(dialog, controlId), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &pos);
    return static_cast<int>(pos);
}

void CUpdaterDriver::Monitor()
{
    while (!m_stop) {
        RecordWindows();
        if (!IsRunning()) break;
        Sleep(15);
    }
}

void CUpdaterDriver::RecordWindows()
{
    for (HWND window : TopLevelWindows()) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            bool known = false;
            for (const auto& entry : m_shown) known = known || entry.first == window;
            if (known) continue;
        }
        CShownWindow shown{WindowText(window), ClassName(window),
                           IsMessageBox(window) ? MessageBoxText(window) : std::string()};
        std::lock_guard<std::mutex> lock(m_mutex);
        // The monitor and Answer both record: the window may have come in meanwhile.
        bool known = false;
        for (const auto& entry : m_shown) known = known || entry.first == window;
        if (!known) m_shown.emplace_back(window, shown);
    }
}

std::vector<CUpdaterDriver::CShownWindow> CUpdaterDriver::Shown() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<CShownWindow> out;
    for (const auto& entry : m_shown) out.push_back(entry.second);
    return out;
}

std::vector<CUpdaterDriver::CShownWindow> CUpdaterDriver::MessageBoxes() const
{
    std::vector<CShownWindow> out;
    for (const auto& shown : Shown())
        if (!shown.text.empty()) out.push_back(shown);
    return out;
}

bool CUpdaterDriver::SaveScreenshot(HWND window, const std::string& path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) & ~3u);
    std::vector<char> pixels(stride * static_cast<DWORD>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info);
    header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, &header, sizeof(header), &written, nullptr) &&
        WriteFile(file, &info, sizeof(info), &written, nullptr) &&
        WriteFile(file, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    CloseHandle(file);
    return ok;
}
