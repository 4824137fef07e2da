// Install mode end to end: the real program, the test server and the sample product.
#include "tests/e2e/E2EFixture.h"
#include "res/resource.h"
#include <algorithm>
#include <shlobj.h>
#include <fstream>
#include <tuple>
#include <sstream>

namespace {

const char kInstallCaption[] = "모르벨 누브라 설치";
const char kError106[] = "컴포넌트 설치 중 오류가 발생하여 설치를 종료합니다.";
const char kInstalled126[] = "누브라를 성공적으로 설치하였습니다.";
const char kTitle[] = "Morvel Nuvra";

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

class Install : public E2EFixture {
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        RemoveTree(InstallDir());
        for (const std::string& link : Shortcuts()) DeleteFileA(link.c_str());
    }
    void TearDown() override
    {
        E2EFixture::TearDown();
        RemoveTree(InstallDir());
    }

    static std::string InstallDir() { return "C:\\Program Files\\Morvel"; }
    static std::string ProductDir() { return InstallDir() + "\\Nuvra"; }
    static std::vector<std::string> Shortcuts()
    {
        std::string name = AnsiFromUtf8("모르벨 누브라") + ".lnk";
        return {SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name, SpecialFolder(CSIDL_STARTMENU) + "\\" + name,
                SpecialFolder(CSIDL_PROGRAMS) + "\\" + name,
                SpecialFolder(CSIDL_APPDATA) + "\\Microsoft\\Internet Explorer\\Quick Launch\\Nuvra.lnk"};
    }

    std::vector<CReleaseFile> Release()
    {
        return {SampleProduct(),
                {"", "config.ini", "[nuvra]\r\ninterval=60\r\n"},
                {"res/skin", "main.bmp", std::string(70000, 'B') + "end"},
                {"doc", "readme.txt", "Morvel Nuvra\n"},
                {"a/b/c", "deep.dat", std::string(3000, '\x01')}};
    }

    // Starts the program, waits for its install dialog and presses Install.
    HWND StartInstall(const std::function<void(HWND)>& beforeInstall = nullptr, const std::string& tail = std::string())
    {
        EXPECT_TRUE(Run(tail));
        HWND dialog = Driver().WaitForWindow(kInstallCaption);
        if (!dialog) return nullptr;
        if (beforeInstall) beforeInstall(dialog);
        CUpdaterDriver::Click(dialog, IDC_INSTALL);
        return dialog;
    }

    // The sample product's log lines, waiting until `count` of them are there.
    std::vector<std::string> SampleLog(size_t count, DWORD timeoutMs = 15000)
    {
        std::vector<std::string> lines;
        DWORD waited = 0;
        for (;;) {
            lines.clear();
            std::istringstream in(ReadFile(Work("sample.log")));
            for (std::string line; std::getline(in, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                lines.push_back(line);
            }
            if (lines.size() >= count || waited >= timeoutMs) return lines;
            Sleep(100);
            waited += 100;
        }
    }

    // Presses OK on the final message box (captioned with the program's name) and waits for the
    // end; gives the message. Long enough for a stalled transfer to reach its time-out.
    std::string FinalMessage()
    {
        std::string text;
        EXPECT_TRUE(Driver().Answer(kUpdaterCaption, IDOK, &text, 120000)) << "no final message";
        EXPECT_TRUE(Driver().WaitForExit(10000));
        return text;
    }

    // Over an earlier installation without a record, the list ends the run with 106 before any
    // file is downloaded: only the two lists were fetched, nothing was staged or replaced.
    void ExpectRefusedBeforeAnyDownload(const std::string& list)
    {
        RemoveTree(InstallDir());
        CreateDirectoryA(InstallDir().c_str(), nullptr);
        CreateDirectoryA(ProductDir().c_str(), nullptr);
        std::ofstream(ProductDir() + "\\Nuvra.exe", std::ios::binary) << "old program";
        WriteVersionList("0,Nuvra,1.0.0,,yes,\r\n");
        WriteServerFile("update/Nuvra/_nuvr_file_list.lst", list);
        WriteServerFile("update/Nuvra/Nuvra.exe", SampleProduct().content);
        Server().ClearLog();
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_NE(nullptr, StartInstall());
        EXPECT_EQ(kError106, FinalMessage());
        EXPECT_EQ(2u, RequestPaths().size());
        EXPECT_EQ("old program", ReadFile(ProductDir() + "\\Nuvra.exe"));
        EXPECT_FALSE(FileExists(InstallDir() + "\\tempZUM"));
        EXPECT_TRUE(SampleLog(1, 500).empty());
    }

    void ExpectInstalled(const std::vector<CReleaseFile>& files)
    {
        for (const CReleaseFile& file : files) {
            std::string relative = (file.subFolder.empty() ? "" : file.subFolder + "/") + file.name;
            std::string path = ProductDir() + "\\" + relative;
            for (char& c : path)
                if (c == '/') c = '\\';
            EXPECT_EQ(file.content, ReadFile(path)) << relative;
        }
        EXPECT_FALSE(FileExists(InstallDir() + "\\tempZUM"));
    }
};

TEST_F(Install, InstallsEveryFileMakesShortcutsAndStartsTheProduct)
{
    std::vector<CReleaseFile> files = Release();
    Publish(kTitle, "1.0.0", files);
    HWND dialog = StartInstall([](HWND dialog) {
        EXPECT_EQ("C:\\Program Files\\Morvel", CUpdaterDriver::ControlText(dialog, IDC_INSTALL_DIR));
        for (int id : {IDC_RUN_AFTER, IDC_DESKTOP_ICON, IDC_QUICK_LAUNCH, IDC_START_MENU, IDC_PROGRAMS_MENU})
            EXPECT_TRUE(CUpdaterDriver::IsChecked(dialog, id)) << id;
    });
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(Driver().WaitForExit(60000));
    ExpectInstalled(files);
    for (const std::string& link : Shortcuts()) EXPECT_TRUE(FileExists(link)) << link;

    // The product starts in its folder with exactly the three quoted arguments.
    std::vector<std::string> log = SampleLog(1);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("start\t\"" + ProductDir() + "\\Nuvra.exe\" -d\"" + ProductDir() + "\" -v\"1.0.0\" -t\"" + kTitle +
                  "\"\t" + ProductDir(),
              log[0]);
    EXPECT_TRUE(Driver().MessageBoxes().empty());

    // Beside the record, Apps & Features' entry: the machine's, as the installation is. The
    // product writes the entry after the record (and both after its start line): once the entry
    // is there, so is the record.
    size_t bytes = 0;
    for (const CReleaseFile& file : files) bytes += file.content.size();
    const std::string updater = "\"" + ProductDir() + "\\NuvraUpdater.exe\"";
    EXPECT_EQ(updater + " -r", ReadUninstallEntry(HKEY_LOCAL_MACHINE, "ModifyPath", 15000));
    EXPECT_EQ(ProductDir(), ReadRecord("Nuvra", "_sys_setup_dir"));
    EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));
    EXPECT_EQ(kTitle, ReadRecord("Nuvra", "_sys_title"));
    const std::pair<std::string, std::string> entry[] = {
        {"DisplayName", kTitle},           {"DisplayVersion", "1.0.0"},
        {"Publisher", "Morvel"},           {"DisplayIcon", ProductDir() + "\\Nuvra.exe"},
        {"InstallLocation", ProductDir()}, {"EstimatedSize", std::to_string((bytes + 1023) / 1024)},
        {"UninstallString", updater}};
    for (const auto& value : entry) EXPECT_EQ(value.second, ReadUninstallEntry(HKEY_LOCAL_MACHINE, value.first));
    EXPECT_FALSE(UninstallEntryExists(HKEY_CURRENT_USER));

    // Every listed file was asked for its size once and downloaded once.
    std::vector<std::string> paths = RequestPaths();
    EXPECT_EQ("/update/version.txt", paths.at(0));
    EXPECT_EQ("/update/Nuvra/_nuvr_file_list.lst", paths.at(1));
    EXPECT_EQ(2u + 2 * files.size(), paths.size());
}

TEST_F(Install, WithoutStartBoxReportsSuccessAndMakesOnlyTheTickedShortcuts)
{
    std::vector<CReleaseFile> files = Release();
    Publish(kTitle, "1.0.0", files);
    HWND dialog = StartInstall([](HWND dialog) {
        for (int id : {IDC_RUN_AFTER, IDC_DESKTOP_ICON, IDC_START_MENU})
            SendMessageW(GetDlgItem(dialog, id), BM_SETCHECK, BST_UNCHECKED, 0);
    });
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(kInstalled126, FinalMessage());
    ExpectInstalled(files);
    std::vector<std::string> links = Shortcuts();
    EXPECT_FALSE(FileExists(links[0])); // desktop
    EXPECT_FALSE(FileExists(links[1])); // Start menu
    EXPECT_TRUE(FileExists(links[2]));  // programs
    EXPECT_TRUE(FileExists(links[3]));  // Quick Launch
    EXPECT_TRUE(SampleLog(1, 1000).empty());
}

TEST_F(Install, FailedDownloadOfAKoreanFileIsNamedInTheLogWithItsStatus)
{
    const std::string korean = AnsiFromUtf8("공지.txt");
    std::vector<CReleaseFile> files = Release();
    files.push_back({"doc", korean, "notice"});
    Publish(kTitle, "1.0.0", files);
    ASSERT_TRUE(DeleteFileA(Work("server/update/Nuvra/doc/" + korean).c_str()));
    const std::string logPath = Work("support log.txt");
    ASSERT_NE(nullptr, StartInstall(nullptr, "/LOG=\"" + logPath + "\""));
    EXPECT_EQ(kError106, FinalMessage());

    const std::string log = ReadFile(logPath); // UTF-8, as this source is
    EXPECT_NE(std::string::npos, log.find("started: mode install, server " + Server().HostPort())) << log;
    EXPECT_NE(std::string::npos, log.find("GET /update/Nuvra/doc/공지.txt: status 404")) << log;
    EXPECT_NE(std::string::npos, log.find("download failed: doc/공지.txt")) << log;
    EXPECT_NE(std::string::npos, log.find("result: failed (message 106)")) << log;
}

// Where the log goes when its usual folder is full or cannot be written: the run succeeds
// either way.
struct LogPlaceCase {
    const char* name;
    bool nearlyFull;         // the usual file holds almost its bound already
    bool localFolderIsAFile; // so the usual folder cannot be made
    const char* expectedLog; // below the work folder
};

void PrintTo(const LogPlaceCase& c, std::ostream* os)
{
    *os << c.name;
}

class InstallLog : public Install, public ::testing::WithParamInterface<LogPlaceCase> {
protected:
    void SetUp() override
    {
        Install::SetUp();
        for (const char* name : {"LOCALAPPDATA", "TEMP", "TMP"}) {
            char value[MAX_PATH] = {};
            GetEnvironmentVariableA(name, value, MAX_PATH);
            m_saved.emplace_back(name, value);
        }
        CreateDirectoryA(Work("temp").c_str(), nullptr);
        SetEnvironmentVariableA("TEMP", Work("temp").c_str());
        SetEnvironmentVariableA("TMP", Work("temp").c_str());
        SetEnvironmentVariableA("LOCALAPPDATA", Work("local").c_str());
    }
    void TearDown() override
    {
        for (const auto& saved : m_saved) SetEnvironmentVariableA(saved.first.c_str(), saved.second.c_str());
        Install::TearDown();
    }
    std::vector<std::pair<std::string, std::string>> m_saved;
};

TEST_P(InstallLog, RunSucceedsAndItsLinesLandWhereTheyCan)
{
    const LogPlaceCase& c = GetParam();
    const size_t bound = 1024 * 1024;
    const std::string earlier = std::string(bound - 200, 'x') + "\r\n";
    if (c.localFolderIsAFile) {
        ASSERT_TRUE(m_work.Write("local", "a file where the folder would be"));
    }
    if (c.nearlyFull) {
        ASSERT_TRUE(m_work.Write("local/Morvel/NuvraUpdater.log", earlier));
    }
    Publish(kTitle, "1.0.0", Release());
    ASSERT_NE(nullptr, StartInstall([](HWND dialog) {
                  SendMessageW(GetDlgItem(dialog, IDC_RUN_AFTER), BM_SETCHECK, BST_UNCHECKED, 0);
              }));
    EXPECT_EQ(kInstalled126, FinalMessage());

    const std::string log = m_work.Read(c.expectedLog);
    EXPECT_NE(std::string::npos, log.find("result: installed")) << c.expectedLog;
    EXPECT_LE(log.size(), bound);
    if (c.nearlyFull) {
        const std::string rotated = m_work.Read(std::string(c.expectedLog) + ".1");
        EXPECT_EQ(0u, rotated.rfind(earlier, 0)) << "the earlier lines moved to .1";
        EXPECT_LE(rotated.size(), bound);
        EXPECT_EQ(std::string::npos, log.find("xxxx"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, InstallLog,
    ::testing::Values(LogPlaceCase{"rotated_past_1_MB", true, false, "local/Morvel/NuvraUpdater.log"},
                      LogPlaceCase{"unwritable_folder_falls_back_to_temp", false, true, "temp/NuvraUpdater.log"}),
    [](const ::testing::TestParamInfo<LogPlaceCase>& info) { return std::string(info.param.name); });

TEST_F(Install, CloseBeforeInstallTouchesNothing)
{
    Publish(kTitle, "1.0.0", Release());
    ASSERT_TRUE(Run());
    HWND dialog = Driver().WaitForWindow(kInstallCaption);
    ASSERT_NE(nullptr, dialog);
    CUpdaterDriver::Click(dialog, IDC_CLOSE);
    ASSERT_TRUE(Driver().WaitForExit(10000));
    EXPECT_EQ(1u, RequestPaths().size()); // only the version list of start-up
    EXPECT_FALSE(FileExists(InstallDir()));
    EXPECT_TRUE(Driver().MessageBoxes().empty());
}

TEST_F(Install, EnterEscapeAndSystemCloseWhileWorkingDoNotEndIt)
{
    std::vector<CReleaseFile> files = Release();
    Publish(kTitle, "1.0.0", files);
    ASSERT_TRUE(Run());
    HWND dialog = Driver().WaitForWindow(kInstallCaption);
    ASSERT_NE(nullptr, dialog);
    SendMessageW(GetDlgItem(dialog, IDC_RUN_AFTER), BM_SETCHECK, BST_UNCHECKED, 0);
    // Keys before Install: neither presses the default Close button.
    PostMessageW(GetDlgItem(dialog, IDC_CLOSE), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(GetDlgItem(dialog, IDC_CLOSE), WM_KEYDOWN, VK_ESCAPE, 0);
    // A key that pressed Close would end the program: the wait running out is the pass.
    EXPECT_FALSE(Driver().WaitForExit(300));
    // The work has begun once Close is disabled, and lasts over a second (two fixed half-second
    // pauses at its end).
    CUpdaterDriver::Click(dialog, IDC_INSTALL);
    for (int i = 0; i < 200 && CUpdaterDriver::IsEnabled(dialog, IDC_CLOSE); ++i) Sleep(50);
    EXPECT_FALSE(CUpdaterDriver::IsEnabled(dialog, IDC_CLOSE));
    EXPECT_FALSE(CUpdaterDriver::IsEnabled(dialog, IDC_CHANGE));
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    // A close that got through would end the run without its final message.
    EXPECT_EQ(kInstalled126, FinalMessage());
    ExpectInstalled(files);
}

TEST_F(Install, FailedDownloadRemovesStagingAndKeepsTheEarlierInstallation)
{
    struct Case {
        const char* name;
        CHttpFault fault;
    } cases[] = {
        {"404", CHttpFault::Status(404)},
        {"short body", CHttpFault::ShortBody(100)},
        {"dropped connection", CHttpFault::DropMidBody(1000)},
        {"stalled transfer", CHttpFault::StallMidBody(1000)},
        {"tampered body of the same length", CHttpFault::Tamper(500)},
    };
    // An earlier installation, byte for byte.
    std::vector<CReleaseFile> old = {{"", "Nuvra.exe", "old program"}, {"doc", "old.txt", "old doc"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(InstallDir());
        CreateDirectoryA(InstallDir().c_str(), nullptr);
        CreateDirectoryA(ProductDir().c_str(), nullptr);
        CreateDirectoryA((ProductDir() + "\\doc").c_str(), nullptr);
        std::ofstream(ProductDir() + "\\Nuvra.exe", std::ios::binary) << "old program";
        std::ofstream(ProductDir() + "\\doc\\old.txt", std::ios::binary) << "old doc";

        // Listed with their hashes, which a tampered body cannot match.
        Publish(kTitle, "1.0.0", Hashed(Release()));
        Server().ClearFaults();
        Server().SetFault("/update/Nuvra/res/skin/main.bmp", c.fault); // the third file
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_NE(nullptr, StartInstall());
        EXPECT_EQ(kError106, FinalMessage());
        EXPECT_FALSE(FileExists(InstallDir() + "\\tempZUM"));
        EXPECT_EQ("old program", ReadFile(ProductDir() + "\\Nuvra.exe"));
        EXPECT_EQ("old doc", ReadFile(ProductDir() + "\\doc\\old.txt"));
        EXPECT_FALSE(FileExists(ProductDir() + "\\config.ini"));
    }
}

TEST_F(Install, ListedSizesMeanOneRequestPerFileAndNoSizeRequest)
{
    std::vector<CReleaseFile> files = Sized(Hashed(Release()));
    Publish(kTitle, "1.0.0", files);
    Server().ClearLog();
    ASSERT_NE(nullptr, StartInstall());
    ASSERT_TRUE(Driver().WaitForExit(60000));
    EXPECT_TRUE(Driver().MessageBoxes().empty());
    ExpectInstalled(files);
    // The server's log: the two lists, then each file exactly once (several at a time, so in
    // any order).
    std::vector<std::string> expected = {"/update/version.txt", "/update/Nuvra/_nuvr_file_list.lst"};
    for (const CReleaseFile& file : files)
        expected.push_back("/update/Nuvra/" + (file.subFolder.empty() ? "" : file.subFolder + "/") + file.name);
    std::vector<std::string> requested = RequestPaths();
    ASSERT_EQ(expected.size(), requested.size());
    std::sort(expected.begin() + 2, expected.end());
    std::sort(requested.begin() + 2, requested.end());
    EXPECT_EQ(expected, requested);
}

TEST_F(Install, BodyPastItsListedSizeFailsAndChangesNothing)
{
    struct Case {
        const char* name;
        CHttpFault fault;
        long long listedLess; // the list gives the file as this many bytes shorter than it is
    } cases[] = {
        {"endless body without a length", CHttpFault::Endless(), 0},
        {"body longer than listed", CHttpFault::Status(0), 1}, // no fault: the list is wrong
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(InstallDir());
        CreateDirectoryA(InstallDir().c_str(), nullptr);
        CreateDirectoryA(ProductDir().c_str(), nullptr);
        std::ofstream(ProductDir() + "\\Nuvra.exe", std::ios::binary) << "old program";

        std::vector<CReleaseFile> files = Sized(Release()); // no hashes: only the size guards it
        files[2].size -= c.listedLess;                      // res/skin/main.bmp
        Publish(kTitle, "1.0.0", files);
        Server().ClearFaults();
        if (c.listedLess == 0) Server().SetFault("/update/Nuvra/res/skin/main.bmp", c.fault);
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_NE(nullptr, StartInstall());
        EXPECT_EQ(kError106, FinalMessage());
        EXPECT_FALSE(FileExists(InstallDir() + "\\tempZUM"));
        EXPECT_EQ("old program", ReadFile(ProductDir() + "\\Nuvra.exe"));
        EXPECT_FALSE(FileExists(ProductDir() + "\\config.ini"));
    }
}

TEST_F(Install, SecondInstallationReplacesTheWholeProductFolder)
{
    Publish(kTitle, "1.0.0", Release());
    CreateDirectoryA(InstallDir().c_str(), nullptr);
    CreateDirectoryA(ProductDir().c_str(), nullptr);
    std::ofstream(ProductDir() + "\\gone.txt", std::ios::binary) << "no longer listed";
    ASSERT_NE(nullptr, StartInstall());
    ASSERT_TRUE(Driver().WaitForExit(60000));
    ExpectInstalled(Release());
    EXPECT_FALSE(FileExists(ProductDir() + "\\gone.txt"));
    EXPECT_FALSE(FileExists(ProductDir() + ".old"));
}

TEST_F(Install, ReadOnlyFileInTheOldProductFolderIsAskedAbout)
{
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer == IDYES ? "yes" : "no");
        // The product the first round started ends first: started late, it would write its
        // record after the clean-up, and the second round would find the product installed.
        m_driver = std::make_unique<CUpdaterDriver>();
        RemoveTree(InstallDir());
        DeleteMakerKey();
        CreateDirectoryA(InstallDir().c_str(), nullptr);
        CreateDirectoryA(ProductDir().c_str(), nullptr);
        std::string locked = ProductDir() + "\\locked.txt";
        std::ofstream(locked, std::ios::binary) << "keep me";
        SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
        Publish(kTitle, "1.0.0", Release());
        ASSERT_NE(nullptr, StartInstall());
        std::string question;
        ASSERT_TRUE(Driver().Answer("Warning", answer, &question, 60000));
        EXPECT_EQ("locked.txt is read olny. Do you want delete it?", question);
        ASSERT_TRUE(Driver().WaitForExit(60000));
        ExpectInstalled(Release());
        // The answer decides whether the file outlives the old installation (kept aside on No).
        bool kept = FileExists(ProductDir() + ".old\\locked.txt");
        EXPECT_EQ(answer == IDNO, kept);
        SetFileAttributesA((ProductDir() + ".old\\locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(Install, EntriesOfEveryShape)
{
    // Blanks around fields, an empty marker, an empty sub-folder, nested sub-folders.
    WriteVersionList("0,Nuvra,1.0.0,,yes,\r\n");
    std::string list = std::string(kTitle) + "\r\n1.0.0\r\n";
    list += "setup,Nuvra.exe,1.0.2,,I,\r\n";
    list += " x , main.bmp ,1.0.0, images ,,\r\n";
    list += ",readme.txt,1.0.0,doc,,\r\n";
    list += "x,deep.dat,1,a/b/c,,\r\n";
    list += "\r\n";
    WriteServerFile("update/Nuvra/_nuvr_file_list.lst", list);
    WriteServerFile("update/Nuvra/Nuvra.exe", SampleProduct().content);
    WriteServerFile("update/Nuvra/images/main.bmp", "bitmap");
    WriteServerFile("update/Nuvra/a/b/c/deep.dat", "deep");
    ASSERT_NE(nullptr, StartInstall());
    ASSERT_TRUE(Driver().WaitForExit(60000));
    EXPECT_EQ("bitmap", ReadFile(ProductDir() + "\\images\\main.bmp"));
    EXPECT_EQ("deep", ReadFile(ProductDir() + "\\a\\b\\c\\deep.dat"));
    EXPECT_FALSE(FileExists(ProductDir() + "\\doc"));
    for (const std::string& path : RequestPaths()) EXPECT_EQ(std::string::npos, path.find("readme")) << path;
}

TEST_F(Install, TwoHundredEntries)
{
    std::vector<CReleaseFile> files = {SampleProduct()};
    for (int i = 1; i < 200; ++i)
        files.push_back({i % 2 ? "data" : "", "f" + std::to_string(i) + ".dat", std::to_string(i * 7919)});
    Publish(kTitle, "2.0.0", files);
    HWND dialog = StartInstall(
        [](HWND dialog) { SendMessageW(GetDlgItem(dialog, IDC_RUN_AFTER), BM_SETCHECK, BST_UNCHECKED, 0); });
    ASSERT_NE(nullptr, dialog);
    FinalMessage();
    ExpectInstalled(files);
}

TEST_F(Install, UnsafeEntriesEndTheRunBeforeAnythingIsWritten)
{
    const char* unsafe[] = {
        "x,evil.exe,1,..,,",
        "x,evil.exe,1,a/../..,,",
        "x,..,1,,,",
        "x,evil.exe,1,C:/Windows,,",
        "x,C:evil.exe,1,,,",
        "x,evil.exe,1,/abs,,",
        "x,evil.exe,1,//server/share,,",
        "x,a\\..\\..\\evil.exe,1,,,",
        "x,nul,1,,,",
        "x,evil.exe,1,con,,",
        "x,file.txt:stream,1,,,",
        "x,evil.exe,1,dir.,,",
        "x,ev?l.exe,1,,,",
        "x,evil.exe,1,a//b,,",
        "x,COM\xa9\xf6,1,,,",
        "x,lpt\xa9\xf8.txt,1,,,",
        "x,a\xb0,1,,,",
    };
    for (const char* entry : unsafe) {
        SCOPED_TRACE(entry);
        ExpectRefusedBeforeAnyDownload(std::string(kTitle) + "\r\n1.0.0\r\nx,Nuvra.exe,1,,,\r\n" + entry + "\r\n");
        EXPECT_FALSE(FileExists("C:\\evil.exe"));
        EXPECT_FALSE(FileExists("C:\\Program Files\\evil.exe"));
    }
}

TEST_F(Install, ListsThatAreNoReleaseChangeNothing)
{
    struct Case {
        const char* name;
        std::string list;
    } cases[] = {
        // A captive portal's page served with status 200, over an installation without a record.
        {"login page", "<html>\r\n<head><title>Login</title></head>\r\n<body>Sign in</body>\r\n</html>\r\n"},
        {"no entries", std::string(kTitle) + "\r\n1.0.0\r\n,skipped.dll,1,,,\r\n"},
        // Quotes would reach the product's command line and name another folder.
        {"quoted version", std::string(kTitle) + "\r\n1.0\" -t\"Injected\" -d\"C:\\users\r\nx,Nuvra.exe,1,,,\r\n"},
        {"title too long for the command line", std::string(200, 'T') + "\r\n1.0.0\r\nx,Nuvra.exe,1,,,\r\n"},
        {"very long title", std::string(100000, 'T') + "\r\n1.0.0\r\nx,Nuvra.exe,1,,,\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRefusedBeforeAnyDownload(c.list);
    }
}

TEST_F(Install, InterruptedRunIsFinishedOrUndoneByTheNextRun)
{
    // A run killed while it downloads leaves the earlier installation as it was.
    CreateDirectoryA(InstallDir().c_str(), nullptr);
    CreateDirectoryA(ProductDir().c_str(), nullptr);
    std::ofstream(ProductDir() + "\\Nuvra.exe", std::ios::binary) << "old program";
    Publish(kTitle, "1.0.0", Release());
    Server().SetFault("/update/Nuvra/res/skin/main.bmp", CHttpFault::StallMidBody(1000));
    ASSERT_NE(nullptr, StartInstall());
    for (int i = 0; i < 600 && RequestPaths().size() < 2 + Release().size() + 3; ++i) Sleep(50);
    Sleep(500);
    ASSERT_TRUE(Driver().Kill());
    EXPECT_EQ("old program", ReadFile(ProductDir() + "\\Nuvra.exe"));
    Server().ClearFaults();

    // States a kill while the folders are swapped leaves: the next run undoes or finishes the
    // swap first, even when it goes no further (here the list is missing).
    DeleteFileA(Work("server/update/Nuvra/_nuvr_file_list.lst").c_str());
    struct Case {
        const char* name;
        bool product, aside, copy;
        const char* expected; // Nuvra.exe afterwards
    } cases[] = {
        {"only the old installation aside", false, true, false, "aside"},
        {"both, and a half copy", true, true, true, "product"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(InstallDir());
        CreateDirectoryA(InstallDir().c_str(), nullptr);
        for (auto [present, suffix, content] :
             {std::tuple{c.product, "", "product"}, std::tuple{c.aside, ".old", "aside"},
              std::tuple{c.copy, ".new", "half"}}) {
            if (!present) continue;
            CreateDirectoryA((ProductDir() + suffix).c_str(), nullptr);
            std::ofstream(ProductDir() + suffix + "\\Nuvra.exe", std::ios::binary) << content;
        }
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_NE(nullptr, StartInstall());
        FinalMessage();
        EXPECT_EQ(c.expected, ReadFile(ProductDir() + "\\Nuvra.exe"));
        EXPECT_FALSE(FileExists(ProductDir() + ".old"));
        EXPECT_FALSE(FileExists(ProductDir() + ".new"));
    }

    // With the server mended, the interrupted installation completes.
    Publish(kTitle, "1.0.0", Release());
    m_driver = std::make_unique<CUpdaterDriver>();
    ASSERT_NE(nullptr, StartInstall());
    ASSERT_TRUE(Driver().WaitForExit(60000));
    ExpectInstalled(Release());
}

TEST_F(Install, ChangeAddsMorvelToTheChosenFolder)
{
    Publish(kTitle, "1.0.0", {SampleProduct()});
    ASSERT_TRUE(Run());
    HWND dialog = Driver().WaitForWindow(kInstallCaption);
    ASSERT_NE(nullptr, dialog);
    CUpdaterDriver::Click(dialog, IDC_CHANGE);
    // The folder browser opens on the desktop; taking it as it is picks the desktop folder.
    HWND browser = Driver().WaitForWindowWhere([&](HWND w) {
        return w != dialog && GetDlgItem(w, IDOK) && GetDlgItem(w, IDCANCEL) && IsWindowEnabled(GetDlgItem(w, IDOK));
    });
    ASSERT_NE(nullptr, browser);
    CUpdaterDriver::Click(browser, IDOK);
    std::string expected = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\Morvel";
    for (int i = 0; i < 100 && CUpdaterDriver::ControlText(dialog, IDC_INSTALL_DIR) != expected; ++i) Sleep(50);
    EXPECT_EQ(expected, CUpdaterDriver::ControlText(dialog, IDC_INSTALL_DIR));
    CUpdaterDriver::Click(dialog, IDC_CLOSE);
    ASSERT_TRUE(Driver().WaitForExit(10000));
}

} // namespace
