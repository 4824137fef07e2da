// A standard user, not elevated: Program Files is there but not theirs (the runner makes it so).
// The program installs into the user's own programs folder, updates and uninstalls there, and
// leaves an installation it cannot write as it is.
#include "tests/e2e/E2EFixture.h"
#include "fileops/ShortcutHelper.h"
#include "fileops/WritableFolder.h"
#include "res/resource.h"
#include <shlobj.h>

namespace {

const char kInstallCaption[] = "모르벨 누브라 설치";
const char kUninstallCaption[] = "모르벨 누브라 삭제";
const char kError106[] = "컴포넌트 설치 중 오류가 발생하여 설치를 종료합니다.";
const char kDone137[] = "모르벨 누브라 업데이트를 완료하였습니다.";
const char kIncomplete[] = "일부 파일을 삭제하지 못했습니다.";
const char kTitle[] = "Morvel Nuvra";
const char kMachineWide[] = "C:\\Program Files";
const wchar_t kShortcutName[] = L"모르벨 누브라";
const wchar_t kQuickLaunchLink[] = L"Microsoft\\Internet Explorer\\Quick Launch\\Nuvra";

std::string LocalAppData()
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> ShortcutFiles()
{
    return {CShortcutHelper::LinkPath(kShortcutName, CShortcutHelper::Desktop),
            CShortcutHelper::LinkPath(kShortcutName, CShortcutHelper::StartMenu),
            CShortcutHelper::LinkPath(kShortcutName, CShortcutHelper::Programs),
            CShortcutHelper::LinkPath(kQuickLaunchLink, CShortcutHelper::AppData)};
}

bool IsUpdateWindow(HWND window)
{
    return GetDlgItem(window, IDC_UPDATE_PROGRESS) && GetDlgItem(window, IDC_UPDATE_STATUS);
}

class StandardUser : public E2EFixture {
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        RemoveTree(InstallDir());
        for (const std::wstring& link : ShortcutFiles()) DeleteFileW(link.c_str());
    }
    void TearDown() override
    {
        m_driver.reset(); // ends a product the program started before its folder goes
        E2EFixture::TearDown();
        RemoveTree(InstallDir());
        for (const std::wstring& link : ShortcutFiles()) DeleteFileW(link.c_str());
        DeleteFileA(ProgramsFolder().c_str()); // a test's file in its place; the folder stays
    }

    static std::string ProgramsFolder() { return LocalAppData() + "\\Programs"; }
    static std::string InstallDir() { return ProgramsFolder() + "\\Morvel"; }
    static std::string ProductDir() { return InstallDir() + "\\Nuvra"; }

    // A new run of the program with a fresh driver (the old one ends what it started).
    bool RunAgain(const std::string& tail = std::string())
    {
        m_driver = std::make_unique<CUpdaterDriver>();
        return Run(tail);
    }

    // Waits until the product has written its record, as it does on its first start.
    bool WaitForRecord(const std::string& setupDir)
    {
        for (int i = 0; i < 300; ++i) {
            if (ReadRecord("Nuvra", "_sys_setup_dir") == setupDir) return true;
            Sleep(100);
        }
        return false;
    }

    std::string WaitForStatus(HWND dialog, const std::string& text)
    {
        std::string status;
        for (int i = 0; i < 600 && (status = CUpdaterDriver::ControlText(dialog, IDC_REMOVE_STATUS)) != text; ++i)
            Sleep(100);
        return status;
    }
};

TEST_F(StandardUser, InstallsUpdatesAndUninstallsInTheirOwnProgramsFolder)
{
    Publish(kTitle, "1.0.0", {SampleProduct("1.0.0"), {"", "config.ini", "first"}, {"res", "skin.bmp", "skin"}});

    // Install: the per-user folder is offered and used.
    ASSERT_TRUE(RunAgain());
    HWND dialog = Driver().WaitForWindow(kInstallCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(InstallDir(), CUpdaterDriver::ControlText(dialog, IDC_INSTALL_DIR));
    CUpdaterDriver::Click(dialog, IDC_INSTALL);
    ASSERT_TRUE(Driver().WaitForExit(60000));
    EXPECT_TRUE(Driver().MessageBoxes().empty());
    ASSERT_TRUE(WaitForRecord(ProductDir()));
    EXPECT_EQ("first", ReadFile(ProductDir() + "\\config.ini"));
    EXPECT_EQ("skin", ReadFile(ProductDir() + "\\res\\skin.bmp"));
    EXPECT_FALSE(FileExists(InstallDir() + "\\tempZUM"));
    EXPECT_FALSE(FileExists(std::string(kMachineWide) + "\\Morvel"));
    for (const std::wstring& link : ShortcutFiles()) EXPECT_TRUE(Exists(link));

    // Update in place.
    Publish(kTitle, "1.0.1", {SampleProduct("1.0.0"), {"", "config.ini", "second", "1.0.1"}});
    Server().ClearLog();
    ASSERT_TRUE(RunAgain("-u"));
    ASSERT_TRUE(Driver().Answer(kQuestionCaption, IDYES));
    ASSERT_NE(nullptr, Driver().WaitForWindowWhere(IsUpdateWindow));
    std::string text;
    ASSERT_TRUE(Driver().Answer(kQuestionCaption, IDOK, &text));
    EXPECT_EQ(kDone137, text);
    ASSERT_TRUE(Driver().WaitForExit(20000));
    EXPECT_EQ("second", ReadFile(ProductDir() + "\\config.ini"));
    EXPECT_EQ("1.0.1", ReadRecord("Nuvra", "_sys_version"));

    // Uninstall removes all of it.
    ASSERT_TRUE(RunAgain());
    dialog = Driver().WaitForWindow(kUninstallCaption);
    ASSERT_NE(nullptr, dialog);
    CUpdaterDriver::Click(dialog, IDC_DELETE);
    ASSERT_TRUE(Driver().WaitForExit(60000));
    EXPECT_FALSE(FileExists(ProductDir()));
    EXPECT_FALSE(RecordExists("Nuvra"));
    for (const std::wstring& link : ShortcutFiles()) EXPECT_FALSE(Exists(link));
}

TEST_F(StandardUser, InstallationTheyCannotWriteIsLeftAsItIs)
{
    // As if an administrator had installed it machine-wide.
    WriteRecord("Nuvra", {{"_sys_setup_dir", kMachineWide}, {"_sys_version", "1.0.0"}, {"_sys_title", kTitle}});
    Publish(kTitle, "1.0.1", {SampleProduct("1.0.1")});
    CShortcutHelper shortcuts;
    ASSERT_TRUE(shortcuts.CreateShortcut(std::string(kMachineWide) + "\\Nuvra.exe", kShortcutName,
                                         CShortcutHelper::Desktop, kShortcutName, "", 1));
    Server().ClearLog();

    // The update fails before it asks the server for anything.
    ASSERT_TRUE(RunAgain("-u"));
    ASSERT_TRUE(Driver().Answer(kQuestionCaption, IDYES));
    std::string text;
    ASSERT_TRUE(Driver().Answer(kUpdaterCaption, IDOK, &text));
    EXPECT_EQ(kError106, text);
    ASSERT_TRUE(Driver().WaitForExit(20000));
    EXPECT_TRUE(RequestPaths().empty());
    EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));

    // The uninstaller says so and removes nothing; Close ends it.
    ASSERT_TRUE(RunAgain());
    HWND dialog = Driver().WaitForWindow(kUninstallCaption);
    ASSERT_NE(nullptr, dialog);
    CUpdaterDriver::Click(dialog, IDC_DELETE);
    EXPECT_EQ(kIncomplete, WaitForStatus(dialog, kIncomplete));
    EXPECT_FALSE(CUpdaterDriver::IsEnabled(dialog, IDC_DELETE));
    EXPECT_TRUE(CUpdaterDriver::IsEnabled(dialog, IDOK));
    EXPECT_EQ(kMachineWide, ReadRecord("Nuvra", "_sys_setup_dir"));
    EXPECT_TRUE(Exists(CShortcutHelper::LinkPath(kShortcutName, CShortcutHelper::Desktop)));
    CUpdaterDriver::Click(dialog, IDOK);
    EXPECT_TRUE(Driver().WaitForExit(20000));
    EXPECT_TRUE(Driver().MessageBoxes().empty());
}

TEST_F(StandardUser, FolderTheyCannotWriteEndsTheInstallBeforeAnyDownload)
{
    // A file where the per-user programs folder would be: the offered folder cannot be made.
    const std::string programs = ProgramsFolder();
    RemoveTree(programs);
    HANDLE file = CreateFileA(programs.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    Publish(kTitle, "1.0.0", {SampleProduct("1.0.0")});

    ASSERT_TRUE(RunAgain());
    HWND dialog = Driver().WaitForWindow(kInstallCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(InstallDir(), CUpdaterDriver::ControlText(dialog, IDC_INSTALL_DIR));
    CUpdaterDriver::Click(dialog, IDC_INSTALL);
    std::string text;
    EXPECT_TRUE(Driver().Answer(kUpdaterCaption, IDOK, &text));
    EXPECT_EQ(kError106, text);
    EXPECT_TRUE(Driver().WaitForExit(20000));

    EXPECT_EQ(std::vector<std::string>{"/update/version.txt"}, RequestPaths()); // start-up's list only
    EXPECT_FALSE(RecordExists("Nuvra"));
    for (const std::wstring& link : ShortcutFiles()) EXPECT_FALSE(Exists(link));
}

struct ProbeCase {
    std::string folder;
    bool canCreateAndWrite;
};

// The write test itself, as this user: Program Files refuses, their own folders do not, and
// nothing the test made stays.
TEST(StandardUserWriteTest, OnlyTheirOwnFoldersTakeFilesAndNothingStaysBehind)
{
    const std::string own = LocalAppData() + "\\nuvra-write-test";
    RemoveDirectoryA(own.c_str());
    const ProbeCase cases[] = {
        {kMachineWide, false},
        {std::string(kMachineWide) + "\\Morvel\\Nuvra", false},
        {LocalAppData(), true},
        {own + "\\a\\b", true},
    };
    for (const ProbeCase& c : cases) {
        const bool existed = Exists(c.folder);
        EXPECT_EQ(c.canCreateAndWrite, CWritableFolder::CanCreateAndWrite(c.folder)) << c.folder;
        EXPECT_EQ(existed && c.canCreateAndWrite, CWritableFolder::CanWrite(c.folder)) << c.folder;
    }
    EXPECT_FALSE(Exists(std::string(kMachineWide) + "\\Morvel"));
    EXPECT_FALSE(Exists(own));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((LocalAppData() + "\\~nuvra-write-test-*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

} // namespace
