// Times one installation by the real NuvraUpdater.exe: waits for the install dialog, unticks the
// start box so that no product starts, presses Install and measures until the final message box
// appears, sampling the updater's peak working set meanwhile. Answers the box and waits for the end.
//
//   bench-pilot <NuvraUpdater.exe> <work folder>
//
// Prints key=value lines: seconds (click to message box), exit_seconds (click to process end),
// idle_ws (working set of the idle dialog, bytes), peak_ws (bytes), message (the box's text), and
// when the main status text first showed each phase: downloads_at (the first "(1/n)"), copy_at,
// registry_at (seconds after the click; -1 when not seen).
//
// The pilot looks as little as it can: under Wine every window query is a round trip through the
// wineserver, which the updater needs for each read from the network. So the updater is started
// here rather than through CUpdaterDriver::Start, whose monitor thread lists all windows every
// 15 ms; one look every 50 ms reads the box, the memory and the status text, the text from the
// server's copy without waking the updater's thread.
#include "tests/e2e/UpdaterDriver.h"
#include "res/resource.h"
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <string>

namespace {

const wchar_t kInstallCaption[] = L"모르벨 누브라 설치";
const wchar_t kResultCaption[] = L"NuvraUpdater"; // the executable's base name
const wchar_t kDialogClass[] = L"#32770";         // dialogs and message boxes alike
const double kDialogTimeoutSeconds = 60;
const double kRunLimitSeconds = 1800;
const DWORD kTickMs = 50;

class CStopwatch {
public:
    CStopwatch()
    {
        QueryPerformanceFrequency(&m_frequency);
        QueryPerformanceCounter(&m_start);
    }
    double Seconds() const
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(m_frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_frequency{}, m_start{};
};

// The updater's process, in a job that ends it with the pilot whatever happens to the pilot.
class CUpdaterProcess {
public:
    CUpdaterProcess() : m_job(CreateJobObjectW(nullptr, nullptr))
    {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (m_job) SetInformationJobObject(m_job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    ~CUpdaterProcess()
    {
        if (m_job) CloseHandle(m_job);
        if (m_process) CloseHandle(m_process);
    }
    CUpdaterProcess(const CUpdaterProcess&) = delete;
    CUpdaterProcess& operator=(const CUpdaterProcess&) = delete;

    bool Start(const std::string& program, const std::string& folder)
    {
        std::string line = "\"" + program + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, folder.c_str(),
                            &startup, &info))
            return false;
        if (m_job) AssignProcessToJobObject(m_job, info.hProcess);
        ResumeThread(info.hThread);
        CloseHandle(info.hThread);
        m_process = info.hProcess;
        m_id = info.dwProcessId;
        return true;
    }
    bool IsRunning() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }
    bool WaitForExit(DWORD ms) const { return m_process && WaitForSingleObject(m_process, ms) == WAIT_OBJECT_0; }

    // A visible dialog of this process with that caption, or null.
    HWND Dialog(const wchar_t* caption) const
    {
        for (HWND w = FindWindowW(kDialogClass, caption); w; w = FindWindowExW(nullptr, w, kDialogClass, caption)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == m_id && IsWindowVisible(w)) return w;
        }
        return nullptr;
    }

    // The current working set; keeps the largest peak seen. The kernel's peak is itself a
    // high-water mark: sampling only has to happen before the process is gone.
    SIZE_T SampleMemory()
    {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof(counters);
        if (!m_process || !GetProcessMemoryInfo(m_process, &counters, sizeof(counters))) return 0;
        m_peak = std::max({m_peak, counters.PeakWorkingSetSize, counters.WorkingSetSize});
        return counters.WorkingSetSize;
    }
    SIZE_T PeakMemory() const { return m_peak; }

private:
    HANDLE m_job;
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
    SIZE_T m_peak = 0;
};

std::wstring LoadText(HMODULE module, UINT id)
{
    wchar_t text[256] = {};
    LoadStringW(module, id, text, 256);
    return text;
}

// When the main status text first showed each phase, by the updater's own texts.
class CPhases {
public:
    explicit CPhases(const char* updater)
    {
        HMODULE module = LoadLibraryExA(updater, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module) return;
        m_downloading = LoadText(module, IDS_DOWNLOADING_FILES) + L"(";
        m_copying = LoadText(module, IDS_COPYING_FILES);
        m_registry = LoadText(module, IDS_SETTING_REGISTRY);
        FreeLibrary(module);
    }
    bool IsValid() const { return !m_registry.empty(); }
    void Look(HWND status, double now)
    {
        wchar_t buffer[256] = {};
        GetWindowTextW(status, buffer, 256); // another process's window: no message is sent
        std::wstring text = buffer;
        if (downloads < 0 && text.rfind(m_downloading, 0) == 0) downloads = now;
        if (copy < 0 && text == m_copying) copy = now;
        if (registry < 0 && text == m_registry) registry = now;
    }
    double downloads = -1, copy = -1, registry = -1;

private:
    std::wstring m_downloading, m_copying, m_registry;
};

int Fail(const char* what)
{
    std::fprintf(stderr, "bench-pilot: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench-pilot <NuvraUpdater.exe> <work folder>\n");
        return 2;
    }
    CPhases phases(argv[1]);
    if (!phases.IsValid()) return Fail("cannot read the updater's status texts");
    CUpdaterProcess updater;
    if (!updater.Start(argv[1], argv[2])) return Fail("cannot start the updater");
    HWND dialog = nullptr;
    for (CStopwatch wait; !(dialog = updater.Dialog(kInstallCaption)); Sleep(kTickMs))
        if (!updater.IsRunning() || wait.Seconds() > kDialogTimeoutSeconds) return Fail("no install dialog");

    // The start box is hidden but still read when Install is pressed.
    SendMessageW(GetDlgItem(dialog, IDC_RUN_AFTER), BM_SETCHECK, BST_UNCHECKED, 0);
    Sleep(500); // let the dialog settle
    const SIZE_T idle = updater.SampleMemory();
    const HWND status = GetDlgItem(dialog, IDC_STATUS_MAIN);

    CStopwatch clock;
    CUpdaterDriver::Click(dialog, IDC_INSTALL);
    HWND box = nullptr;
    double seconds = 0;
    for (;;) {
        double now = clock.Seconds();
        if ((box = updater.Dialog(kResultCaption))) {
            seconds = now;
            break;
        }
        if (!updater.IsRunning()) return Fail("the updater ended without a message box");
        if (now > kRunLimitSeconds) return Fail("no message box in time");
        updater.SampleMemory();
        phases.Look(status, now);
        Sleep(kTickMs);
    }
    updater.SampleMemory();
    const std::string message = CUpdaterDriver::MessageBoxText(box);
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    while (!updater.WaitForExit(kTickMs)) {
        updater.SampleMemory();
        if (clock.Seconds() > seconds + 60) return Fail("the updater did not end after the message box");
    }
    const double exitSeconds = clock.Seconds();

    std::printf("seconds=%.3f\nexit_seconds=%.3f\nidle_ws=%llu\npeak_ws=%llu\nmessage=%s\n", seconds, exitSeconds,
                static_cast<unsigned long long>(idle), static_cast<unsigned long long>(updater.PeakMemory()),
                message.c_str());
    std::printf("downloads_at=%.3f\ncopy_at=%.3f\nregistry_at=%.3f\n", phases.downloads, phases.copy, phases.registry);
    return 0;
}
