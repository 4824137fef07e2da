// Mode selection of the real program: update question, uninstall, install, refusals, errors and
// the single-instance guard.
#include "tests/e2e/E2EFixture.h"
#include "res/resource.h"
#include <sddl.h>

namespace {

const char kInstallCaption[] = "모르벨 누브라 설치";
const char kUninstallCaption[] = "모르벨 누브라 삭제";
const char kQuestion[] = "모르벨 누브라를 업데이트하시겠습니까?";
const char kError106[] = "컴포넌트 설치 중 오류가 발생하여 설치를 종료합니다.";

class Startup : public E2EFixture {
protected:
    // Expects message 106 captioned with the program's name, then the end of the process.
    void ExpectInstallError()
    {
        std::string text;
        ASSERT_TRUE(Driver().Answer(kUpdaterCaption, IDOK, &text, 60000));
        EXPECT_EQ(kError106, text);
        EXPECT_TRUE(Driver().WaitForExit(10000));
        EXPECT_EQ(nullptr, Driver().WaitForWindow(kInstallCaption, 0));
    }

    void CloseDialog(HWND dialog, int closeButton)
    {
        CUpdaterDriver::Click(dialog, closeButton);
        EXPECT_TRUE(Driver().WaitForExit(10000));
    }
};

TEST_F(Startup, UpdateSwitchAsksAndNoEndsQuietly)
{
    ASSERT_TRUE(Run("-u"));
    HWND box = Driver().WaitForMessageBox(kQuestionCaption);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(kQuestion, CUpdaterDriver::MessageBoxText(box));
    EXPECT_NE(nullptr, GetDlgItem(box, IDYES));
    EXPECT_NE(nullptr, GetDlgItem(box, IDNO));
    CUpdaterDriver::Click(box, IDNO);
    EXPECT_TRUE(Driver().WaitForExit(10000));
    EXPECT_EQ(1u, Driver().Shown().size());
    // Update mode neither fetches the version list nor looks at the record.
    EXPECT_TRUE(RequestPaths().empty());
}

TEST_F(Startup, UpdateSwitchYesOpensTheUpdateWindow)
{
    // Asked even when the product is not installed.
    ASSERT_TRUE(Run("-u"));
    ASSERT_TRUE(Driver().Answer(kQuestionCaption, IDYES));
    HWND window = Driver().WaitForWindowWhere(
        [](HWND w) { return GetDlgItem(w, IDC_UPDATE_PROGRESS) && GetDlgItem(w, IDC_UPDATE_STATUS); });
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("", CUpdaterDriver::WindowText(window));
}

TEST_F(Startup, OtherTailsAreNoSwitch)
{
    for (const char* tail : {"-u ", "/u", "-U", "-u -u", "u"}) {
        SCOPED_TRACE(tail);
        WriteRecord("Nuvra", {});
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_TRUE(Run(tail));
        HWND dialog = Driver().WaitForWindow(kUninstallCaption);
        ASSERT_NE(nullptr, dialog);
        CloseDialog(dialog, IDOK);
        for (const auto& shown : Driver().Shown()) EXPECT_NE(kQuestionCaption, shown.caption);
    }
}

TEST_F(Startup, InstalledProductOpensUninstallWithoutServerAccess)
{
    WriteRecord("Nuvra", {}); // a key without values is enough
    Publish("Morvel Nuvra", "1.0.0", {});
    ASSERT_TRUE(Run());
    HWND dialog = Driver().WaitForWindow(kUninstallCaption);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("준비...", CUpdaterDriver::ControlText(dialog, IDC_REMOVE_STATUS));
    EXPECT_EQ("삭제", CUpdaterDriver::ControlText(dialog, IDC_DELETE));
    EXPECT_EQ("닫기", CUpdaterDriver::ControlText(dialog, IDOK));
    CloseDialog(dialog, IDOK);
    EXPECT_TRUE(RequestPaths().empty());
    EXPECT_TRUE(RecordExists("Nuvra"));
}

TEST_F(Startup, ProductKeyWithoutWriteAccessCountsAsNotInstalled)
{
    // The key exists but only grants reading: start-up needs read and write access.
    WriteRecord("Nuvra", {{"_sys_title", "Morvel Nuvra"}});
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel\\Nuvra", 0, WRITE_DAC, &key));
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(
        ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly));
    LocalFree(readOnly);
    RegCloseKey(key);
    HKEY probe = nullptr;
    LONG writable = RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel\\Nuvra", 0, KEY_READ | KEY_WRITE, &probe);
    if (writable == ERROR_SUCCESS) {
        RegCloseKey(probe);
        GTEST_SKIP() << "this registry does not enforce key permissions";
    }

    Publish("Morvel Nuvra", "1.0.0", {});
    ASSERT_TRUE(Run());
    HWND dialog = Driver().WaitForWindow(kInstallCaption);
    EXPECT_NE(nullptr, dialog);
    EXPECT_EQ(1u, RequestPaths().size());
    // Give the key its rights back so that the fixture can remove it.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel\\Nuvra", 0, WRITE_DAC, &key));
    PSECURITY_DESCRIPTOR full = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KA;;;WD)", SDDL_REVISION_1, &full, nullptr);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, full);
    LocalFree(full);
    RegCloseKey(key);
}

TEST_F(Startup, AllowingListOpensTheInstallDialog)
{
    Publish("Morvel Nuvra", "1.0.0", {});
    ASSERT_TRUE(Run());
    HWND dialog = Driver().WaitForWindow(kInstallCaption);
    ASSERT_NE(nullptr, dialog);
    ASSERT_EQ(1u, RequestPaths().size());
    EXPECT_EQ("/update/version.txt", RequestPaths()[0]);
    // The list was read and deleted again: nothing of it stays in the current folder.
    EXPECT_FALSE(FileExists(Work("version.txt")));
    EXPECT_TRUE(Driver().MessageBoxes().empty());
}

TEST_F(Startup, VersionListFailuresEndInMessage106)
{
    struct Case {
        const char* name;
        const char* list; // nullptr: no version.txt on the server (404)
    } cases[] = {
        {"refusing record", "0,Nuvra,1.0.0,,no,\r\n"},
        {"refusing in upper case", "0,Nuvra,1.0.0,,NO,\n"},
        {"comments only", "# nothing\r\n# here\r\n"},
        {"selectors all non-zero", "1,a,b,c,,\n2,a,b,c,,\n"},
        // Saved by Notepad: the mark must not hide the first record.
        {"refusing record behind a byte-order mark",
         "\xEF\xBB\xBF"
         "0,Nuvra,1.0.0,,no,\r\n0,Nuvra,1.0.0,,yes,\r\n"},
        {"missing list", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(Work("server/update/version.txt").c_str());
        if (c.list) WriteVersionList(c.list);
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_TRUE(Run());
        ExpectInstallError();
        EXPECT_FALSE(FileExists(Work("version.txt")));
    }
}

TEST_F(Startup, ServerErrorAndUnreachableServerEndInMessage106)
{
    Publish("Morvel Nuvra", "1.0.0", {});
    Server().SetFault("/update/version.txt", CHttpFault::Status(500));
    ASSERT_TRUE(Run());
    ExpectInstallError();

    // A port that nothing listens on any more.
    std::string address = Server().HostPort();
    Server().Stop();
    SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", address.c_str());
    m_driver = std::make_unique<CUpdaterDriver>();
    ASSERT_TRUE(Run());
    ExpectInstallError();
}

TEST_F(Startup, SecondInstanceEndsSilently)
{
    Publish("Morvel Nuvra", "1.0.0", {});
    ASSERT_TRUE(Run());
    ASSERT_NE(nullptr, Driver().WaitForWindow(kInstallCaption));

    CUpdaterDriver second;
    ASSERT_TRUE(second.Start("\"" + UpdaterPath() + "\" -u", WorkRoot()));
    DWORD exitCode = 0;
    EXPECT_TRUE(second.WaitForExit(10000, &exitCode));
    EXPECT_EQ(4u, exitCode); // "another instance is running"
    EXPECT_TRUE(second.Shown().empty());
    EXPECT_EQ(1u, RequestPaths().size());
}

} // namespace
