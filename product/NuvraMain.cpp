// Nuvra.exe, the sample product that the updater installs, updates and removes. It does what
// the real notifier does towards the updater and nothing more: it keeps the installation
// record, shows a window the uninstaller can find by its title, starts the updater on request
// and ends on the uninstaller's quit message. Every start and end goes to a log for the tests.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "product/ProductArgs.h"
#include "product/ProductPaths.h"
#include "product/UninstallEntry.h"
#include "product/resource.h"

namespace {

const char kRecordKey[] = "SOFTWARE\\Morvel\\Nuvra";
const char kUninstallEntryKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Nuvra";
const char kUpdaterName[] = "NuvraUpdater.exe";
const char kWindowClass[] = "MorvelNuvraSample";
const char kDefaultTitle[] = "Nuvra";
const UINT kQuitRequest = 0x0A32; // posted by the uninstaller before it deletes our files

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using KeyOwner = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct HandleCloser {
    void operator()(HANDLE h) const
    {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
};
using HandleOwner = std::unique_ptr<void, HandleCloser>;

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string CurrentDirectory()
{
    DWORD n = ::GetCurrentDirectoryA(0, nullptr);
    if (n == 0) return std::string();
    std::string dir(n, '\0');
    n = ::GetCurrentDirectoryA(n, &dir[0]);
    dir.resize(n);
    return dir;
}

std::string ModulePath()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string LogPath()
{
    char buf[MAX_PATH + 1];
    DWORD n = ::GetEnvironmentVariableA("NUVRA_SAMPLE_LOG", buf, sizeof buf);
    if (n > 0 && n < sizeof buf) return std::string(buf, n);
    n = ::GetTempPathA(sizeof buf, buf);
    std::string temp = (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string();
    return JoinPath(temp, "nuvra-sample.log");
}

// Appends whole lines; FILE_APPEND_DATA keeps lines of concurrent instances apart.
void AppendLog(const std::string& line)
{
    HandleOwner file(::CreateFileA(LogPath().c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ReadRecordString(HKEY key, const char* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ || size == 0)
        return std::string();
    std::string value(size, '\0');
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size) != ERROR_SUCCESS)
        return std::string();
    value.resize(size);
    // The stored length may or may not count a terminating zero.
    size_t zero = value.find('\0');
    if (zero != std::string::npos) value.resize(zero);
    return value;
}

std::string ReadRecordValue(const char* name)
{
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return std::string();
    KeyOwner key(raw);
    return ReadRecordString(key.get(), name);
}

LONG WriteRecordString(HKEY key, const char* name, const std::string& value)
{
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
}

// The first start after installation creates the record that the updater relies on.
LONG WriteRecord(const CProductArgs& args)
{
    HKEY raw = nullptr;
    LONG rc = ::RegCreateKeyExA(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    KeyOwner key(raw);
    rc = WriteRecordString(key.get(), "_sys_setup_dir", StripTrailingSeparators(args.folder));
    if (rc == ERROR_SUCCESS && args.hasVersion) rc = WriteRecordString(key.get(), "_sys_version", args.version);
    if (rc == ERROR_SUCCESS && args.hasTitle) rc = WriteRecordString(key.get(), "_sys_title", args.title);
    // A record that already lists components keeps them: the uninstaller needs those names.
    DWORD size = 0;
    if (rc == ERROR_SUCCESS &&
        ::RegQueryValueExA(key.get(), "_cm_component__count", nullptr, nullptr, nullptr, &size) == ERROR_FILE_NOT_FOUND)
        rc = WriteRecordString(key.get(), "_cm_component__count", "0");
    return rc;
}

bool IsFile(const std::string& path)
{
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What the files below a folder hold; links to folders are not followed.
unsigned long long FolderBytes(const std::string& folder)
{
    unsigned long long bytes = 0;
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) bytes += FolderBytes(JoinPath(folder, name));
        } else {
            bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        }
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    return bytes;
}

// The updater that removes and repairs this installation: the first one that is there, else
// the one beside the product, where an installation that carries it keeps it.
std::string InstallationUpdater(const std::string& folder)
{
    for (const std::string& candidate : UpdaterCandidates(ModulePath(), ReadRecordValue("_sys_updater"))) {
        if (IsFile(candidate)) return candidate;
    }
    return JoinPath(folder, kUpdaterName);
}

// The entry of Apps & Features beside the record: the machine's for an installation below the
// programs folder when this user may write it there, the user's otherwise.
LONG WriteUninstallEntry(const CProductArgs& args)
{
    CUninstallEntryInputs inputs;
    inputs.productFolder = StripTrailingSeparators(args.folder);
    inputs.productExe = ModulePath();
    inputs.updaterPath = InstallationUpdater(inputs.productFolder);
    inputs.title = args.title;
    inputs.version = args.version;
    inputs.bytes = FolderBytes(inputs.productFolder);

    char programs[MAX_PATH + 1] = {};
    const DWORD length = ::GetEnvironmentVariableA("ProgramFiles", programs, sizeof programs);
    const bool machineWide =
        length > 0 && length < sizeof programs && IsBelowFolder(inputs.productFolder, std::string(programs, length));
    HKEY raw = nullptr;
    LONG rc = ERROR_ACCESS_DENIED;
    if (machineWide)
        rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (rc != ERROR_SUCCESS)
        rc = ::RegCreateKeyExA(HKEY_CURRENT_USER, kUninstallEntryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_SET_VALUE, nullptr, &raw, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    KeyOwner key(raw);
    for (const CUninstallValue& value : UninstallEntryValues(inputs)) {
        if (value.isNumber) {
            const DWORD number = value.number;
            rc = ::RegSetValueExA(key.get(), value.name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                  sizeof number);
        } else {
            rc = WriteRecordString(key.get(), value.name.c_str(), value.text);
        }
        if (rc != ERROR_SUCCESS) return rc;
    }
    return ERROR_SUCCESS;
}

// The box must not carry the main window's title: the uninstaller looks for the product by
// that title and would find the box instead.
void ShowError(HWND owner, const char* utf8Text)
{
    ::MessageBoxW(owner, Utf8ToWide(utf8Text).c_str(), Utf8ToWide(u8"누브라 업데이트").c_str(), MB_OK | MB_ICONWARNING);
}

void StartUpdater(HWND owner)
{
    std::string updater;
    for (const std::string& candidate : UpdaterCandidates(ModulePath(), ReadRecordValue("_sys_updater"))) {
        if (IsFile(candidate)) {
            updater = candidate;
            break;
        }
    }
    if (updater.empty()) {
        AppendLog("update-missing");
        ShowError(owner, u8"업데이트 프로그램(NuvraUpdater.exe)을 찾을 수 없습니다.");
        return;
    }
    std::string commandLine = "\"" + updater + "\" -u";
    AppendLog("update\t" + commandLine);
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        ShowError(owner, u8"업데이트 프로그램을 시작하지 못했습니다.");
        return;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

void CreateControls(HWND window, HINSTANCE instance, const std::string& version)
{
    HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    std::string status = u8"모르벨 누브라가 실행 중입니다.";
    if (!version.empty()) status += u8" (버전 " + version + ")";
    HWND label = ::CreateWindowExW(0, L"STATIC", Utf8ToWide(status).c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 12, 12,
                                   300, 20, window, reinterpret_cast<HMENU>(IDC_NUVRA_STATUS), instance, nullptr);
    HWND button = ::CreateWindowExW(0, L"BUTTON", Utf8ToWide(u8"업데이트 확인").c_str(),
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 12, 44, 120, 28, window,
                                    reinterpret_cast<HMENU>(IDC_NUVRA_CHECK_UPDATE), instance, nullptr);
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_NUVRA_CHECK_UPDATE && HIWORD(wParam) == BN_CLICKED) {
                StartUpdater(window);
                return 0;
            }
            break;
        case kQuitRequest:
            // Ending the message loop at once ends the process, and the window goes with it.
            // DestroyWindow would first hide the window, which under Wine without a window
            // manager stalls for two seconds, while the uninstaller gives us only half a second
            // before it waits and deletes our files.
            AppendLog("quit");
            ::PostQuitMessage(0);
            return 0;
        case WM_DESTROY:
            AppendLog("quit");
            ::PostQuitMessage(0);
            return 0;
        default: break;
        }
    } catch (...) {
        // Nothing here may unwind into user32; a failed step is simply skipped.
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

int Run(HINSTANCE instance, int show)
{
    const std::string commandLine = ::GetCommandLineA();
    AppendLog("start\t" + commandLine + "\t" + CurrentDirectory());

    CProductArgs args = ParseProductArgs(commandLine);
    if (args.hasFolder && !args.folder.empty()) {
        LONG rc = WriteRecord(args);
        if (rc != ERROR_SUCCESS) AppendLog("record-error\t" + std::to_string(rc));
        rc = WriteUninstallEntry(args);
        if (rc != ERROR_SUCCESS) AppendLog("uninstall-entry-error\t" + std::to_string(rc));
    }

    std::string title = args.hasTitle ? args.title : ReadRecordValue("_sys_title");
    if (title.empty()) title = kDefaultTitle;
    std::string version = args.hasVersion ? args.version : ReadRecordValue("_sys_version");

    // One notifier at a time: a start (such as the restart after an update) replaces a running
    // instance, which is asked to quit as the uninstaller would ask it.
    for (int wait = 0; wait < 40; ++wait) {
        HWND running = ::FindWindowA(kWindowClass, nullptr);
        if (!running) break;
        if (wait == 0) ::PostMessageA(running, kQuitRequest, 0, 0);
        ::Sleep(50);
    }

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = ::LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassExA(&windowClass)) return 1;

    // The 8-bit title exactly as given: the uninstaller finds this window with FindWindowA.
    HWND window =
        ::CreateWindowExA(0, kWindowClass, title.c_str(), WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                          CW_USEDEFAULT, CW_USEDEFAULT, 340, 130, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    CreateControls(window, instance, version);
    ::ShowWindow(window, show);
    ::UpdateWindow(window);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    try {
        return Run(instance, show);
    } catch (...) {
        return 1;
    }
}
