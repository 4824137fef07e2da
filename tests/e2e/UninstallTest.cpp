// Uninstall mode of the real program: the removal after Delete, what it leaves alone, and the
// ways of leaving the dialog without removing anything.
#include "tests/e2e/E2EFixture.h"
#include "fileops/FolderGuard.h"
#include "fileops/ShortcutHelper.h"
#include "res/resource.h"

#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

namespace {

const char kUninstallCaption[] = "모르벨 누브라 삭제";
const char kReady[] = "준비...";
const char kRemovingFolder[] = "설치 디렉터리 삭제...";
const char kRemovingRegistry[] = "레지스트리 삭제...";
const char kRemovingIcons[] = "아이콘 삭제...";
const char kDone[] = "삭제작업이 성공하였습니다.";
const char kIncomplete[] = "일부 파일을 삭제하지 못했습니다.";
const char kShortcutName[] = "모르벨 누브라";
const char kQuickLaunchLink[] = "Microsoft\\Internet Explorer\\Quick Launch\\Nuvra";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallEntry[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Nuvra";
const char kMarker[] = "nuvra-uninstall-marker.txt";
const UINT kQuitMessage = 0x0A32;
// The fixed pauses of the removal: the product's 2 s and the final 0.5 s.
const long kFixedPausesMs = 2500;

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

std::string Join(const std::string& folder, const std::string& name)
{
    return (!folder.empty() && folder.back() == '\\') ? folder + name : folder + "\\" + name;
}

bool WriteFileText(const std::string& path, const std::string& content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == content.size();
}

// A folder with a file and a sub-folder with a file, so that a deletion must go down the tree.
void MakeTree(const std::string& folder)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA(Join(folder, "data").c_str(), nullptr);
    WriteFileText(Join(folder, "readme.txt"), "readme");
    WriteFileText(Join(folder, "data\\notes.txt"), "notes");
}

// The window text as the window manager keeps it: readable while the program's thread is busy.
std::string TextOf(HWND window)
{
    wchar_t text[512] = {};
    int n = GetWindowTextW(window, text, 512);
    std::wstring wide(text, static_cast<size_t>(n > 0 ? n : 0));
    if (wide.empty()) return {};
    int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), m, nullptr, nullptr);
    return out;
}

bool RegistryKeyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool RunValueExists()
{
    return RegGetValueA(HKEY_CURRENT_USER, kRunKey, "Nuvra", RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void WriteRunValue(const std::string& command)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "Nuvra", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
    RegCloseKey(key);
}

void WriteUninstallEntry()
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallEntry, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

// A top-level window of this test process on a thread of its own, which counts the quit
// requests it receives and ignores them.
class CStubbornWindow {
public:
    explicit CStubbornWindow(const std::string& ansiTitle)
    {
        m_thread = std::thread([this, ansiTitle] { Run(ansiTitle); });
        for (int i = 0; i < 500 && !m_window; ++i) Sleep(10);
    }
    ~CStubbornWindow()
    {
        if (m_threadId) PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    CStubbornWindow(const CStubbornWindow&) = delete;
    CStubbornWindow& operator=(const CStubbornWindow&) = delete;

    HWND Window() const { return m_window; }
    int QuitRequests() const { return s_quitRequests.load(); }
    static void ResetCount() { s_quitRequests = 0; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == kQuitMessage) {
            ++s_quitRequests;
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void Run(const std::string& title)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "NuvraUninstallTestWindow";
        RegisterClassA(&windowClass);
        HWND window = CreateWindowExA(0, windowClass.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                      nullptr, nullptr, windowClass.hInstance, nullptr);
        m_threadId = GetCurrentThreadId();
        m_window = window;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        DestroyWindow(window);
    }

    static std::atomic<int> s_quitRequests;
    std::thread m_thread;
    std::atomic<DWORD> m_threadId{0};
    std::atomic<HWND> m_window{nullptr};
};

std::atomic<int> CStubbornWindow::s_quitRequests{0};

// The sample product, started as the installer starts it; ended when the test ends.
class CRunningSample {
public:
    bool Start(const std::string& folder, const std::string& ansiTitle)
    {
        std::string line =
            "\"" + Join(folder, "Nuvra.exe") + "\" -d\"" + folder + "\" -v\"1.0.0\" -t\"" + ansiTitle + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info))
            return false;
        CloseHandle(info.hThread);
        m_process = info.hProcess;
        return true;
    }
    bool WaitForExit(DWORD ms) const { return m_process && WaitForSingleObject(m_process, ms) == WAIT_OBJECT_0; }
    ~CRunningSample()
    {
        if (!m_process) return;
        if (!WaitForExit(0)) TerminateProcess(m_process, 1);
        WaitForSingleObject(m_process, 5000);
        CloseHandle(m_process);
    }

private:
    HANDLE m_process = nullptr;
};

// What the dialog showed from the press of Delete to its end.
struct CRemovalSeen {
    std::vector<std::string> statuses; // each distinct status, in order
    int barAtDone = -1;                // the bar while the final status showed
    bool buttonsDisabled = false;      // both buttons disabled once the removal ran
    long elapsedMs = 0;                // from the press to the end of the process
    bool ended = false;
};

class Uninstall : public E2EFixture {
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        CStubbornWindow::ResetCount();
        RemoveOutsideEntries();
    }
    void TearDown() override
    {
        E2EFixture::TearDown();
        RemoveOutsideEntries();
    }

    static void RemoveOutsideEntries()
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallEntry);
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "Nuvra");
            RegCloseKey(key);
        }
    }

    // A fresh driver and the dialog of a new run.
    HWND OpenDialog()
    {
        m_driver = std::make_unique<CUpdaterDriver>();
        if (!Run()) return nullptr;
        return Driver().WaitForWindow(kUninstallCaption);
    }

    CRemovalSeen PressDelete(HWND dialog)
    {
        CRemovalSeen seen;
        auto start = std::chrono::steady_clock::now();
        CUpdaterDriver::Click(dialog, IDC_DELETE);
        HWND status = GetDlgItem(dialog, IDC_REMOVE_STATUS);
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
            if (!Driver().IsRunning()) {
                seen.ended = true;
                break;
            }
            std::string text = TextOf(status);
            if (!text.empty() && text != kReady && (seen.statuses.empty() || seen.statuses.back() != text)) {
                seen.statuses.push_back(text);
                if (seen.statuses.size() == 1)
                    seen.buttonsDisabled =
                        !CUpdaterDriver::IsEnabled(dialog, IDC_DELETE) && !CUpdaterDriver::IsEnabled(dialog, IDOK);
            }
            if (text == kDone && seen.barAtDone < 0)
                seen.barAtDone = CUpdaterDriver::ProgressPos(dialog, IDC_REMOVE_PROGRESS);
            Sleep(5);
        }
        seen.elapsedMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
        return seen;
    }

    // One whole run: open the dialog, press Delete, expect the normal end.
    CRemovalSeen RemoveAll()
    {
        HWND dialog = OpenDialog();
        EXPECT_NE(nullptr, dialog);
        if (!dialog) return {};
        CRemovalSeen seen = PressDelete(dialog);
        EXPECT_TRUE(seen.ended);
        EXPECT_FALSE(seen.statuses.empty());
        if (!seen.statuses.empty()) {
            EXPECT_EQ(kDone, seen.statuses.back());
        }
        EXPECT_EQ(100, seen.barAtDone);
        EXPECT_TRUE(Driver().MessageBoxes().empty());
        return seen;
    }

    // A product folder with some content, recorded as installed there.
    std::string InstallRecordFor(const std::string& relativeFolder,
                                 std::vector<std::pair<std::string, std::string>> extra = {})
    {
        std::string folder = Work(relativeFolder);
        MakeTree(folder);
        extra.emplace_back("_sys_setup_dir", folder);
        extra.emplace_back("_sys_version", "1.0.0");
        WriteRecord("Nuvra", extra);
        return folder;
    }

    static bool Exists(const std::string& path) { return FileExists(path); }
};

TEST_F(Uninstall, RemovesTheRunningSampleProductWithEverythingItLeftBehind)
{
    const std::string title = AnsiFromUtf8("누브라 알리미");
    const std::string folder = Work("Morvel\\Nuvra");
    CreateDirectoryA(Work("Morvel").c_str(), nullptr);
    MakeTree(folder);
    ASSERT_TRUE(WriteFileText(Join(folder, "Nuvra.exe"), SampleProduct().content));
    CRunningSample product;
    ASSERT_TRUE(product.Start(folder, title));
    for (int i = 0;
         i < 1000 && (!FindWindowA(nullptr, title.c_str()) || ReadRecord("Nuvra", "_sys_title") == "<missing>"); ++i)
        Sleep(20);
    ASSERT_NE(nullptr, FindWindowA(nullptr, title.c_str()));
    ASSERT_EQ(folder, ReadRecord("Nuvra", "_sys_setup_dir"));

    CShortcutHelper shortcuts;
    const std::string target = Join(folder, "Nuvra.exe");
    const std::string name = AnsiFromUtf8(kShortcutName);
    const std::pair<std::string, int> links[] = {{name, CShortcutHelper::Desktop},
                                                 {name, CShortcutHelper::StartMenu},
                                                 {name, CShortcutHelper::Programs},
                                                 {kQuickLaunchLink, CShortcutHelper::AppData}};
    for (const auto& link : links) {
        ASSERT_TRUE(shortcuts.CreateShortcut(target, link.first, link.second, name, "", 1));
        ASSERT_TRUE(Exists(CShortcutHelper::LinkPath(link.first, link.second))) << link.second;
    }
    WriteRunValue("\"" + target + "\"");
    WriteUninstallEntry();
    ASSERT_TRUE(RunValueExists());
    // The product's own entry in Apps & Features: the user's, as the installation is.
    ASSERT_EQ(folder, ReadUninstallEntry(HKEY_CURRENT_USER, "InstallLocation", 15000));

    CRemovalSeen seen = RemoveAll();
    EXPECT_TRUE(seen.buttonsDisabled);
    ASSERT_FALSE(seen.statuses.empty());
    EXPECT_EQ(kRemovingFolder, seen.statuses.front());
    // The faster steps may pass unseen, but those seen come in their order.
    const std::vector<std::string> order = {kRemovingFolder, kRemovingRegistry, kRemovingIcons, kDone};
    size_t next = 0;
    for (const std::string& status : seen.statuses) {
        while (next < order.size() && order[next] != status) ++next;
        EXPECT_LT(next, order.size()) << status;
    }
    EXPECT_GE(seen.elapsedMs, kFixedPausesMs);

    EXPECT_TRUE(product.WaitForExit(5000));
    EXPECT_NE(std::string::npos, ReadFile(Work("sample.log")).find("quit"));
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(Exists(Work("Morvel"))); // the maker's folder, left empty, goes too
    EXPECT_FALSE(RecordExists("Nuvra"));
    EXPECT_FALSE(RecordExists(""));
    EXPECT_FALSE(RunValueExists());
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallEntry));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kUninstallEntry));
    for (const auto& link : links)
        EXPECT_FALSE(Exists(CShortcutHelper::LinkPath(link.first, link.second))) << link.second;
    EXPECT_TRUE(Exists(UpdaterPath()));
}

TEST_F(Uninstall, MakerFolderWithOtherFilesStaysAndTheLogSaysWhy)
{
    CreateDirectoryA(Work("Morvel").c_str(), nullptr);
    ASSERT_TRUE(WriteFileText(Work("Morvel\\other.txt"), "another product's"));
    const std::string folder = InstallRecordFor("Morvel\\Nuvra");
    WriteUninstallEntryValues(HKEY_CURRENT_USER, {{"DisplayName", "Nuvra"}});
    DeleteFileA(DefaultRunLogPath().c_str());
    RemoveAll();
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ("another product's", ReadFile(Work("Morvel\\other.txt")));
    EXPECT_FALSE(UninstallEntryExists(HKEY_CURRENT_USER));

    const std::string log = ReadFile(DefaultRunLogPath());
    EXPECT_NE(std::string::npos, log.find("started: mode uninstall")) << log;
    EXPECT_NE(std::string::npos, log.find("uninstall guard: \"" + folder + "\" allowed")) << log;
    EXPECT_NE(std::string::npos, log.find("maker's folder \"" + Work("Morvel") + "\" stays")) << log;
    EXPECT_NE(std::string::npos, log.find("result: removed completely")) << log;
}

TEST_F(Uninstall, ComponentsComeFromTheRecordsCount)
{
    struct Case {
        const char* name;
        const char* count;                        // nullptr: no count value
        std::vector<std::string> componentValues; // _cm_component_0, _1, ...
        std::vector<std::string> removed;         // component keys and folders that go
        std::vector<std::string> kept;            // component keys and folders that stay
    } cases[] = {
        {"two components", "2", {"CompA", "CompB"}, {"CompA", "CompB"}, {}},
        {"count of 0", "0", {"CompA"}, {}, {"CompA"}},
        {"missing count", nullptr, {"CompA"}, {}, {"CompA"}},
        {"non-numeric count", "two", {"CompA"}, {}, {"CompA"}},
        {"count beyond the values", "2147483647", {"CompA"}, {"CompA"}, {}},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteMakerKey();
        const std::string base = "run" + std::to_string(run++) + "\\";
        CreateDirectoryA(Work(base).c_str(), nullptr);
        std::vector<std::pair<std::string, std::string>> values;
        if (c.count) values.emplace_back("_cm_component__count", c.count);
        for (size_t i = 0; i < c.componentValues.size(); ++i) {
            const std::string& component = c.componentValues[i];
            values.emplace_back("_cm_component_" + std::to_string(i), component);
            MakeTree(Work(base + component));
            WriteRecord(component, {{"_nuvr_setup_directory", Work(base + component)}});
        }
        const std::string folder = InstallRecordFor(base + "Nuvra", values);

        RemoveAll();
        EXPECT_FALSE(Exists(folder));
        EXPECT_FALSE(RecordExists("Nuvra"));
        for (const std::string& component : c.removed) {
            EXPECT_FALSE(Exists(Work(base + component))) << component;
            EXPECT_FALSE(RecordExists(component)) << component;
        }
        for (const std::string& component : c.kept) {
            EXPECT_TRUE(Exists(Work(base + component))) << component;
            EXPECT_TRUE(RecordExists(component)) << component;
        }
        // The maker key goes exactly when no component key is left in it.
        EXPECT_EQ(!c.kept.empty(), RecordExists(""));
    }
}

TEST_F(Uninstall, OddComponentEntriesTouchNothingThatIsNotTheirs)
{
    // An empty name would open the maker key itself as a component key; a component without a
    // folder value loses its key only; a name with a "\" would reach another product's key.
    WriteRecord("", {{"_nuvr_setup_directory", Work("maker-folder")}});
    MakeTree(Work("maker-folder"));
    WriteRecord("NoFolder", {});
    WriteRecord("Other", {{"x", "y"}});
    WriteRecord("Other\\Plugin", {{"_nuvr_setup_directory", Work("other-plugin")}});
    MakeTree(Work("other-plugin"));
    MakeTree(Work("compB"));
    WriteRecord("CompB", {{"_nuvr_setup_directory", Work("compB")}});
    const std::string folder = InstallRecordFor("Nuvra",
                                                {{"_cm_component__count", "4"},
                                                 {"_cm_component_0", ""},
                                                 {"_cm_component_1", "NoFolder"},
                                                 {"_cm_component_2", "Other\\Plugin"},
                                                 {"_cm_component_3", "CompB"}});
    RemoveAll();
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(RecordExists("Nuvra"));
    EXPECT_FALSE(RecordExists("NoFolder"));
    EXPECT_FALSE(RecordExists("CompB"));
    EXPECT_FALSE(Exists(Work("compB")));
    EXPECT_TRUE(Exists(Join(Work("maker-folder"), "readme.txt")));
    EXPECT_TRUE(RecordExists("Other\\Plugin"));
    EXPECT_TRUE(Exists(Join(Work("other-plugin"), "readme.txt")));
}

TEST_F(Uninstall, MakerKeyStaysWithAnotherProductsKey)
{
    WriteRecord("OtherProduct", {{"_sys_setup_dir", Work("other")}});
    MakeTree(Work("other"));
    const std::string folder = InstallRecordFor("Nuvra");
    RemoveAll();
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(RecordExists("Nuvra"));
    EXPECT_TRUE(RecordExists(""));
    EXPECT_EQ(Work("other"), ReadRecord("OtherProduct", "_sys_setup_dir"));
    EXPECT_TRUE(Exists(Join(Work("other"), "readme.txt")));
}

TEST_F(Uninstall, ProductWindowThatNeverClosesDelaysButDoesNotStopTheRemoval)
{
    const std::string title = AnsiFromUtf8("누브라 알리미");
    CStubbornWindow window(title);
    ASSERT_NE(nullptr, window.Window());
    const std::string folder = InstallRecordFor("Nuvra", {{"_sys_title", title}});
    CRemovalSeen seen = RemoveAll();
    EXPECT_EQ(1, window.QuitRequests());
    EXPECT_TRUE(IsWindow(window.Window()));
    // Five checks 100 ms apart come on top of the fixed pauses.
    EXPECT_GE(seen.elapsedMs, kFixedPausesMs + 500);
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(RecordExists("Nuvra"));
}

TEST_F(Uninstall, RecordWithoutTitleAsksNoWindowToQuit)
{
    CStubbornWindow untitled("");
    CStubbornWindow productLike("Nuvra");
    ASSERT_NE(nullptr, untitled.Window());
    ASSERT_NE(nullptr, productLike.Window());
    const std::string folder = InstallRecordFor("Nuvra");
    CRemovalSeen seen = RemoveAll();
    EXPECT_EQ(0, untitled.QuitRequests() + productLike.QuitRequests());
    EXPECT_GE(seen.elapsedMs, kFixedPausesMs); // the two-second pause still happens
    EXPECT_FALSE(Exists(folder));
}

TEST_F(Uninstall, FolderHoldingTheUninstallerLosesAllButItsFile)
{
    // The record names the folder the uninstaller runs from. The running program file cannot
    // be deleted; everything else in the folder still goes.
    MakeTree(Work("bin"));
    WriteRecord("Nuvra", {{"_sys_setup_dir", Work("bin")}});
    RemoveAll();
    EXPECT_TRUE(Exists(UpdaterPath()));
    EXPECT_FALSE(Exists(Work("bin\\readme.txt")));
    EXPECT_FALSE(Exists(Work("bin\\data")));
    EXPECT_FALSE(RecordExists("Nuvra"));
}

TEST_F(Uninstall, ReadOnlyFileRefusedByTheUserSurvivesBothPasses)
{
    const std::string folder = InstallRecordFor("Nuvra");
    const std::string locked = Join(folder, "data\\keep.txt");
    ASSERT_TRUE(WriteFileText(locked, "keep"));
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    HWND dialog = OpenDialog();
    ASSERT_NE(nullptr, dialog);
    CUpdaterDriver::Click(dialog, IDC_DELETE);
    std::string question;
    ASSERT_TRUE(Driver().Answer("Warning", IDNO, &question, 30000));
    EXPECT_EQ("keep.txt is read olny. Do you want delete it?", question);
    EXPECT_TRUE(Driver().WaitForExit(30000));
    EXPECT_TRUE(Exists(locked));
    EXPECT_FALSE(Exists(Join(folder, "readme.txt")));
    EXPECT_FALSE(Exists(Join(folder, "data\\notes.txt")));
    EXPECT_FALSE(RecordExists("Nuvra"));
    SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Dangerous folder values: prepared in the prefix's own drive C, with a marker file that must
// survive; the rest of the removal must go on.
class UninstallGuard : public Uninstall {
protected:
    void ExpectNothingDeleted(const std::vector<std::string>& folders, bool asComponents)
    {
        for (const std::string& folder : folders) {
            SCOPED_TRACE(folder);
            DeleteMakerKey();
            std::string marker;
            if (!folder.empty() && folder.find("\\\\") != 0) {
                CreateDirectoryA(Work("relative").c_str(), nullptr);
                marker = Join(folder[1] == ':' ? folder : Work(folder), kMarker);
                ASSERT_TRUE(WriteFileText(marker, "marker")) << marker;
            }
            MakeTree(Work("safe"));
            WriteRecord("Safe", {{"_nuvr_setup_directory", Work("safe")}});
            WriteRecord("Dangerous", {{"_nuvr_setup_directory", folder}});
            WriteRunValue("x");
            std::vector<std::pair<std::string, std::string>> values = {
                {"_cm_component__count", asComponents ? "2" : "1"},
                {"_cm_component_0", "Safe"},
                {"_cm_component_1", "Dangerous"}};
            values.emplace_back("_sys_setup_dir", asComponents ? Work("product") : folder);
            MakeTree(Work("product"));
            WriteRecord("Nuvra", values);

            RemoveAll();
            if (!marker.empty()) {
                EXPECT_TRUE(Exists(marker));
                DeleteFileA(marker.c_str());
            }
            EXPECT_FALSE(Exists(Work("safe")));
            EXPECT_EQ(!asComponents, Exists(Work("product")));
            EXPECT_FALSE(RecordExists("Nuvra"));
            EXPECT_FALSE(RecordExists("Safe"));
            EXPECT_FALSE(RunValueExists());
        }
    }
};

TEST_F(UninstallGuard, SystemFoldersAndRootsAsTheProductFolder)
{
    ExpectNothingDeleted({"", "relative", "C:\\", "c:/", "\\\\127.0.0.1\\share", SpecialFolder(CSIDL_WINDOWS),
                          "c:\\WINDOWS\\.\\", "C:\\Program Files", "C:\\Program Files (x86)", "C:\\users"},
                         false);
}

TEST_F(UninstallGuard, UserFoldersAsTheProductFolder)
{
    ExpectNothingDeleted({SpecialFolder(CSIDL_PROFILE), SpecialFolder(CSIDL_DESKTOPDIRECTORY),
                          SpecialFolder(CSIDL_PERSONAL), SpecialFolder(CSIDL_APPDATA), SpecialFolder(CSIDL_STARTMENU),
                          SpecialFolder(CSIDL_PROGRAMS)},
                         false);
}

TEST_F(UninstallGuard, DangerousComponentFolders)
{
    ExpectNothingDeleted({"relative", "C:\\", SpecialFolder(CSIDL_WINDOWS), "C:\\Program Files",
                          SpecialFolder(CSIDL_PROFILE), SpecialFolder(CSIDL_APPDATA)},
                         true);
}

TEST_F(Uninstall, CloseAndSystemCloseEndWithoutRemovingAnything)
{
    const std::string folder = InstallRecordFor("Nuvra", {{"_sys_title", "Nuvra"}});
    WriteRunValue("x");
    CStubbornWindow product("Nuvra");
    for (bool systemMenu : {false, true}) {
        SCOPED_TRACE(systemMenu ? "system menu" : "Close button");
        HWND dialog = OpenDialog();
        ASSERT_NE(nullptr, dialog);
        if (systemMenu)
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            CUpdaterDriver::Click(dialog, IDOK);
        EXPECT_TRUE(Driver().WaitForExit(10000));
        EXPECT_TRUE(Exists(Join(folder, "readme.txt")));
        EXPECT_TRUE(RecordExists("Nuvra"));
        EXPECT_TRUE(RunValueExists());
    }
    EXPECT_EQ(0, product.QuitRequests());
}

TEST_F(Uninstall, EnterAndEscapeDoNothing)
{
    const std::string folder = InstallRecordFor("Nuvra");
    HWND dialog = OpenDialog();
    ASSERT_NE(nullptr, dialog);
    // With the focus on Delete, an Enter that got through would press it.
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_DELETE)), TRUE);
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        HWND focus = nullptr;
        for (int i = 0; i < 200 && focus != GetDlgItem(dialog, IDC_DELETE); ++i) {
            if (i > 0) Sleep(20);
            // Another suite's window on the shared display may have taken the focus meanwhile.
            if (i > 0 && i % 25 == 0) {
                SetForegroundWindow(dialog);
                PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_DELETE)), TRUE);
            }
            focus = GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
        }
        ASSERT_EQ(GetDlgItem(dialog, IDC_DELETE), focus);
        PostMessageW(focus, WM_KEYDOWN, key, 1);
        PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
        // A key that got through would end the program: the wait running out is the pass.
        EXPECT_FALSE(Driver().WaitForExit(1500));
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_EQ(kReady, TextOf(GetDlgItem(dialog, IDC_REMOVE_STATUS)));
    }
    CUpdaterDriver::Click(dialog, IDOK);
    EXPECT_TRUE(Driver().WaitForExit(10000));
    EXPECT_TRUE(Exists(Join(folder, "readme.txt")));
    EXPECT_TRUE(RecordExists("Nuvra"));
}

// Other spellings of folders. The guard must see through those that name a protected folder, and
// those that name the real product folder must remove it; nothing else on drive C may change.
enum class EPlace { Product, Profile, UsersFolder, DriveC, WindowsFolder, ProgramFiles };
enum class ESpelling { AsIs, Unc, ZDrive, Short, TrailingSeparators, TrailingBlanks, OverLong };

struct CSpellingCase {
    const char* name;
    EPlace place;
    ESpelling spelling;
    bool asComponent; // the value is a component's folder; the product's own folder is plain
    bool lockFile;    // a helper holds a file of the product folder open without sharing
};

void PrintTo(const CSpellingCase& c, std::ostream* os)
{
    *os << c.name;
}

// Every folder and file of drive C outside the excluded paths, each file with a checksum of its
// content. Links are listed, never entered.
std::map<std::string, std::string> DriveListing(const std::vector<std::string>& excluded)
{
    std::map<std::string, std::string> listing;
    std::vector<std::string> pending = {"C:\\"};
    std::vector<char> buffer(1 << 20);
    while (!pending.empty()) {
        const std::string folder = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA(Join(folder, "*").c_str(), &entry);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry)) {
            const std::string path = Join(folder, entry.cFileName);
            if (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, "..") ||
                std::any_of(excluded.begin(), excluded.end(),
                            [&](const std::string& e) { return IsSameOrBelowFolder(path, e); }))
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                listing[path] = "folder";
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) pending.push_back(path);
                continue;
            }
            unsigned long long hash = 1469598103934665603ull; // FNV-1a over 8-byte words
            HANDLE file =
                CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
            DWORD got = 0;
            while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
                for (DWORD i = 0; i < got; i += 8) {
                    unsigned long long word = 0;
                    memcpy(&word, buffer.data() + i, std::min<DWORD>(8, got - i));
                    hash = (hash ^ word) * 1099511628211ull;
                }
            }
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            listing[path] = std::to_string(entry.nFileSizeLow) + ":" + std::to_string(hash);
        }
        if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
    return listing;
}

// The paths whose entry differs between two listings, one a line, for the failure message.
std::string ListingChanges(const std::map<std::string, std::string>& before, std::map<std::string, std::string> after)
{
    std::string changes;
    for (const auto& entry : before) {
        auto found = after.find(entry.first);
        if (found == after.end() || found->second != entry.second) changes += entry.first + "\n";
        if (found != after.end()) after.erase(found);
    }
    for (const auto& entry : after) changes += "new: " + entry.first + "\n";
    return changes;
}

// Starts a program (Wine starts Linux programs too) and, unless told not to, waits for it.
HANDLE StartProgram(const std::string& line, bool wait)
{
    std::string copy = line;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, copy.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    if (wait) WaitForSingleObject(info.hProcess, 30000);
    return info.hProcess;
}

class UninstallSpelling : public Uninstall, public ::testing::WithParamInterface<CSpellingCase> {
protected:
    void SetUp() override
    {
        Uninstall::SetUp();
        char prefix[MAX_PATH] = {};
        GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
        m_prefix = prefix;
        m_realFolder = Join(SpecialFolder(CSIDL_PROGRAM_FILES), "Morvel\\Nuvra");
    }
    void TearDown() override
    {
        if (m_holder) {
            TerminateProcess(m_holder, 0);
            WaitForSingleObject(m_holder, 30000);
            CloseHandle(m_holder);
        }
        Uninstall::TearDown();
        std::error_code ignored; // what cannot be removed stays in the test prefix only
        std::filesystem::remove_all(Parent(m_realFolder), ignored);
    }

    static std::string Parent(const std::string& path) { return path.substr(0, path.rfind('\\')); }

    // "\\localhost\c$" reaches drive C as the administrative share does on Windows: Wine looks
    // for it as a link in the prefix's device folder.
    bool MakeAdminShare() const
    {
        const std::string unc = m_prefix + "/dosdevices/unc/localhost";
        if (!FileExists("\\\\localhost\\c$\\windows")) {
            // The folder is made here, through Z:, so it is there before the link is asked for:
            // a Linux program's end may be reported before its work shows, and a link made into
            // a folder that is not there yet fails.
            std::string folder = "Z:" + unc;
            std::replace(folder.begin(), folder.end(), '/', '\\');
            SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
            CloseHandle(StartProgram("/bin/ln -sfn ../../c: \"" + unc + "/c$\"", true));
        }
        // Wine may report the Linux program ended before its work shows.
        for (int i = 0; i < 500 && !FileExists("\\\\localhost\\c$\\windows"); ++i) Sleep(20);
        return FileExists("\\\\localhost\\c$\\windows");
    }

    std::string Spelled(EPlace place, ESpelling spelling) const
    {
        const std::string profile = SpecialFolder(CSIDL_PROFILE);
        const std::string folder = place == EPlace::Product ? m_realFolder
            : place == EPlace::Profile                      ? profile
            : place == EPlace::UsersFolder                  ? Parent(profile)
            : place == EPlace::DriveC
            ? std::string("C:")
            : SpecialFolder(place == EPlace::WindowsFolder ? CSIDL_WINDOWS : CSIDL_PROGRAM_FILES);
        std::string unixPrefix = m_prefix;
        std::replace(unixPrefix.begin(), unixPrefix.end(), '/', '\\');
        char shortPath[MAX_PATH] = {};
        switch (spelling) {
        case ESpelling::Unc: return "\\\\localhost\\c$" + folder.substr(2);
        case ESpelling::ZDrive: return "Z:" + unixPrefix + "\\drive_c" + folder.substr(2); // the Linux root
        case ESpelling::Short: // Wine's short names are its own ("PROG~FBU"): ask for the real one
            GetShortPathNameA(folder.c_str(), shortPath, MAX_PATH);
            return shortPath;
        case ESpelling::TrailingSeparators: return folder + "\\\\/";
        case ESpelling::TrailingBlanks: return folder + "\\ ";
        case ESpelling::OverLong: return folder + std::string(300, ' ');
        default: return folder;
        }
    }

    void HoldFile(const std::string& file)
    {
        const std::string event = "NuvraTestHolder." + std::to_string(GetCurrentProcessId());
        HANDLE held = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
        std::string holder = NUVRA_FILE_HOLDER_EXE;
        std::replace(holder.begin(), holder.end(), '/', '\\');
        m_holder = StartProgram("\"Z:" + holder + "\" \"" + file + "\" " + event, false);
        HANDLE waits[] = {held, m_holder};
        EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, waits, FALSE, 30000)) << "the helper did not take the file";
        CloseHandle(held);
    }

    std::string m_prefix;     // the Linux path of the Wine prefix
    std::string m_realFolder; // "C:\Program Files\Morvel\Nuvra"
    HANDLE m_holder = nullptr;
};

TEST_P(UninstallSpelling, RemovesTheProductFolderUnderAnySpellingAndNothingElse)
{
    const CSpellingCase& c = GetParam();
    if (m_prefix.empty() && (c.spelling == ESpelling::ZDrive || c.spelling == ESpelling::Unc)) {
        GTEST_SKIP() << "the aliases are made in a Wine prefix";
    }
    if (c.spelling == ESpelling::Unc) {
        ASSERT_TRUE(MakeAdminShare());
    }
    CreateDirectoryA(Parent(m_realFolder).c_str(), nullptr);
    MakeTree(m_realFolder);
    const std::string value = Spelled(c.place, c.spelling);
    ASSERT_TRUE(c.spelling == ESpelling::OverLong || FileExists(value)) << value;
    ASSERT_TRUE(c.spelling != ESpelling::Short || value != m_realFolder);
    if (c.asComponent) {
        WriteRecord("Aliased", {{"_nuvr_setup_directory", value}});
        WriteRecord("Nuvra",
                    {{"_sys_setup_dir", m_realFolder}, {"_cm_component__count", "1"}, {"_cm_component_0", "Aliased"}});
    } else {
        WriteRecord("Nuvra", {{"_sys_setup_dir", value}});
    }
    const std::string held = Join(m_realFolder, "data\\held.txt");
    if (c.lockFile) {
        ASSERT_TRUE(WriteFileText(held, "held"));
        HoldFile(held);
    }
    // Only the product's own places may change: its folder and the shortcuts.
    // The run log's folder changes too.
    std::vector<std::string> excluded = {Parent(m_realFolder),
                                         Join(SpecialFolder(CSIDL_APPDATA), std::string(kQuickLaunchLink) + ".lnk"),
                                         Parent(DefaultRunLogPath())};
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_PROGRAMS})
        excluded.push_back(Join(SpecialFolder(csidl), AnsiFromUtf8(kShortcutName) + ".lnk"));
    const std::map<std::string, std::string> before = DriveListing(excluded);

    HWND dialog = OpenDialog();
    ASSERT_NE(nullptr, dialog);
    const CRemovalSeen seen = PressDelete(dialog);
    ASSERT_TRUE(seen.ended);
    ASSERT_FALSE(seen.statuses.empty());
    EXPECT_TRUE(Driver().MessageBoxes().empty());
    EXPECT_EQ(c.lockFile ? kIncomplete : kDone, seen.statuses.back());
    if (c.lockFile)
        EXPECT_TRUE(FileExists(held));
    else
        EXPECT_EQ(!c.asComponent && c.place != EPlace::Product, FileExists(m_realFolder));
    EXPECT_FALSE(RecordExists("Nuvra"));
    // The maker's folder goes exactly when the product folder went and left it empty.
    EXPECT_EQ(FileExists(m_realFolder), FileExists(Parent(m_realFolder)));
    EXPECT_EQ("", ListingChanges(before, DriveListing(excluded)));
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, UninstallSpelling,
    ::testing::Values(
        CSpellingCase{"ProfileThroughAdminShare", EPlace::Profile, ESpelling::Unc, false, false},
        CSpellingCase{"ProgramFilesThroughAdminShare", EPlace::ProgramFiles, ESpelling::Unc, false, false},
        CSpellingCase{"ProfileThroughDriveZ", EPlace::Profile, ESpelling::ZDrive, false, false},
        CSpellingCase{"UsersFolderThroughDriveZ", EPlace::UsersFolder, ESpelling::ZDrive, false, false},
        CSpellingCase{"DriveCThroughDriveZ", EPlace::DriveC, ESpelling::ZDrive, false, false},
        CSpellingCase{"ComponentProfileThroughAdminShare", EPlace::Profile, ESpelling::Unc, true, false},
        CSpellingCase{"ComponentProfileThroughDriveZ", EPlace::Profile, ESpelling::ZDrive, true, false},
        CSpellingCase{"ComponentWindowsThroughDriveZ", EPlace::WindowsFolder, ESpelling::ZDrive, true, false},
        CSpellingCase{"ProductInShortForm", EPlace::Product, ESpelling::Short, false, false},
        CSpellingCase{"ProductWithTrailingSeparators", EPlace::Product, ESpelling::TrailingSeparators, false, false},
        CSpellingCase{"ProductWithTrailingBlank", EPlace::Product, ESpelling::TrailingBlanks, false, false},
        CSpellingCase{"ProductOverLong", EPlace::Product, ESpelling::OverLong, false, false},
        CSpellingCase{"ProductWithAHeldFile", EPlace::Product, ESpelling::AsIs, false, true}),
    [](const ::testing::TestParamInfo<CSpellingCase>& info) { return std::string(info.param.name); });

} // namespace
