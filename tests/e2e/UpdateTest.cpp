// Update mode of the real program: an installed product (a folder and its record) is brought
// to the server's versions file by file, and the outcome is recorded, told and acted on.
#include "tests/e2e/E2EFixture.h"
#include "res/resource.h"

#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <ostream>

namespace {

const char kTitle[] = "Morvel Nuvra";
const char kQuestion136[] = "모르벨 누브라를 업데이트하시겠습니까?";
const char kDone137[] = "모르벨 누브라 업데이트를 완료하였습니다.";
const char kError106[] = "컴포넌트 설치 중 오류가 발생하여 설치를 종료합니다.";
const char kSettingUp125[] = "컴포넌트 설정...";
const char kListPath[] = "/update/Nuvra/_nuvr_file_list.lst";
const char kReadOnlyCaption[] = "Warning";
// With a blank, so that an unquoted restart would start "<work>\\my.exe" instead.
const char kProductFolder[] = "my product";

using Files = std::vector<std::pair<std::string, std::string>>; // path below the product folder, content

bool IsUpdateWindow(HWND window)
{
    return GetDlgItem(window, IDC_UPDATE_PROGRESS) && GetDlgItem(window, IDC_UPDATE_STATUS);
}

// A body long enough to be cut short or dropped part-way.
std::string Big(const std::string& text)
{
    std::string body;
    while (body.size() < 6000) body += text + "\n";
    return body;
}

class Update : public E2EFixture {
protected:
    std::string ProductDir() const { return Work(kProductFolder); }
    std::string ProductFile(const std::string& path) const { return Work(std::string(kProductFolder) + "/" + path); }
    std::string Installed(const std::string& path) const { return m_work.Read(kProductFolder + ("/" + path)); }
    bool IsInstalled(const std::string& path) const { return m_work.Exists(kProductFolder + ("/" + path)); }
    std::vector<std::string> ProductFolder(const std::string& sub = std::string()) const
    {
        const std::string folder = kProductFolder;
        return m_work.List(sub.empty() ? folder : folder + "/" + sub);
    }

    // The product folder with these files and the sample product, and the record the product
    // would have written.
    void Install(const Files& files, const std::string& version)
    {
        for (const auto& file : files) ASSERT_TRUE(m_work.Write(kProductFolder + ("/" + file.first), file.second));
        // A product left running by an earlier run in the same test keeps its program.
        if (!IsInstalled("Nuvra.exe")) {
            ASSERT_TRUE(m_work.Write(kProductFolder + std::string("/Nuvra.exe"), SampleProduct().content));
        }
        WriteRecord("Nuvra", {{"_sys_setup_dir", ProductDir()}, {"_sys_version", version}, {"_sys_title", kTitle}});
    }

    // A file list with these entry lines as they are, and the files for the given server paths
    // below /update/Nuvra/.
    void PublishList(const std::string& version, const std::vector<std::string>& entryLines,
                     const Files& serverFiles = {}, const std::string& start = std::string())
    {
        std::string list = start + kTitle + "\r\n" + version + "\r\n";
        for (const std::string& line : entryLines) list += line + "\r\n";
        WriteServerFile("update/Nuvra/_nuvr_file_list.lst", list);
        for (const auto& file : serverFiles) WriteServerFile("update/Nuvra/" + file.first, file.second);
    }

    // Starts "-u", says Yes and gives the update window.
    HWND StartUpdate()
    {
        if (!Run("-u") || !Driver().Answer(kQuestionCaption, IDYES)) {
            ADD_FAILURE() << "no update question";
            return nullptr;
        }
        HWND window = Driver().WaitForWindowWhere(IsUpdateWindow);
        if (!window) ADD_FAILURE() << "no update window";
        return window;
    }

    // Presses OK on the final message box (which must have this caption) and waits for the end.
    std::string FinalMessage(const std::string& caption)
    {
        std::string text;
        // Long enough for a stalled transfer to reach its time-out.
        EXPECT_TRUE(Driver().Answer(caption, IDOK, &text, 120000)) << "no message box captioned " << caption;
        EXPECT_TRUE(Driver().WaitForExit(20000));
        return text;
    }

    // The files asked for after the list, sorted: several are fetched at once, in no fixed order.
    std::vector<std::string> FileRequests() const
    {
        std::vector<std::string> paths;
        for (const std::string& path : RequestPaths())
            if (path != kListPath) paths.push_back(path);
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    // The texts of the message boxes shown, each once, in the order first seen.
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& box : m_driver->MessageBoxes())
            if (std::find(texts.begin(), texts.end(), box.text) == texts.end()) texts.push_back(box.text);
        return texts;
    }

    std::string Version() const { return ReadRecord("Nuvra", "_sys_version"); }

    // Waits until the server was asked for `path` (below /update/Nuvra/).
    bool WaitForRequest(const std::string& path, DWORD timeoutMs = 30000) const
    {
        for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
            for (const std::string& requested : RequestPaths())
                if (requested == "/update/Nuvra/" + path) return true;
            Sleep(50);
        }
        return false;
    }

    std::string ExpectedProductStart() const { return "start\t\"" + ProductDir() + "\\Nuvra.exe\"\t" + ProductDir(); }

    void ExpectFailedWithoutChanges(const Files& installed, const std::string& version)
    {
        EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
        EXPECT_EQ(version, Version());
        for (const auto& file : installed) EXPECT_EQ(file.second, Installed(file.first)) << file.first;
        EXPECT_FALSE(ProductStarted());
    }
};

TEST_F(Update, NothingNewerRecordsTheListVersionAndStartsNothing)
{
    Install({{"a.dll", "old a"}, {"data/b.ini", "old b"}}, "1.0.5");
    PublishList("1.0.6", {"x,a.dll,1.0.5,,,", "x,b.ini,1.0.0,data,,", "x,Nuvra.exe,1.0.5,,,"},
                {{"a.dll", "new a"}, {"data/b.ini", "new b"}});
    // What an unquoted "<work>\my product\Nuvra.exe" would start first.
    ASSERT_TRUE(m_work.Write("my.exe", SampleProduct().content));

    HWND window = StartUpdate();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ("", CUpdaterDriver::WindowText(window)); // no caption
    HWND box = Driver().WaitForMessageBox(kQuestionCaption, 30000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(kDone137, CUpdaterDriver::MessageBoxText(box));
    // By the time the user is told, the version is recorded, the bar is full and the product
    // is not started yet.
    EXPECT_EQ("1.0.6", Version());
    EXPECT_EQ(100, CUpdaterDriver::ProgressPos(window, IDC_UPDATE_PROGRESS));
    EXPECT_EQ(kSettingUp125, CUpdaterDriver::ControlText(window, IDC_UPDATE_STATUS));
    CUpdaterDriver::Click(box, IDOK);
    DWORD code = 1;
    EXPECT_TRUE(Driver().WaitForExit(20000, &code));
    EXPECT_EQ(0u, code);

    EXPECT_EQ(std::vector<std::string>{kListPath}, RequestPaths());
    EXPECT_EQ("old a", Installed("a.dll"));
    EXPECT_EQ("old b", Installed("data/b.ini"));
    // No file of it changed: a product that was not running stays so.
    EXPECT_FALSE(ProductStarted());
    EXPECT_FALSE(FileExists(Work("_nuvr_file_list.lst")));
}

TEST_F(Update, ReplacesOnlyTheNewerEntries)
{
    Install({{"a.dll", "old a"},
             {"b.dll", "old b"},
             {"skin/main.bmp", "old bmp"},
             {"data/c.ini", "old c"},
             {"d.txt", "old d"}},
            "1.2.0");
    PublishList("1.3.0",
                {"x,a.dll,1.2.0,,,", "x,b.dll,1.3.0,,,", ",skipped.dll,9.9.9,,,", "x,main.bmp,1.3.0,skin,A,",
                 "x,c.ini,1.1.9,data,,", "x,d.txt,1.0.0,,A,"},
                {{"a.dll", "new a"},
                 {"b.dll", "new b"},
                 {"skipped.dll", "x"},
                 {"skin/main.bmp", "new bmp"},
                 {"data/c.ini", "new c"},
                 {"d.txt", "new d"}});

    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));

    EXPECT_EQ((std::vector<std::string>{"/update/Nuvra/b.dll", "/update/Nuvra/skin/main.bmp"}), FileRequests());
    EXPECT_EQ("new b", Installed("b.dll"));
    EXPECT_EQ("new bmp", Installed("skin/main.bmp"));
    EXPECT_EQ("old a", Installed("a.dll"));
    EXPECT_EQ("old c", Installed("data/c.ini"));
    EXPECT_EQ("old d", Installed("d.txt"));
    // No backup (b.xdll), staging name (main.xxbmp) or temporary file stays behind.
    EXPECT_EQ((std::vector<std::string>{"Nuvra.exe", "a.dll", "b.dll", "d.txt", "data", "skin"}), ProductFolder());
    EXPECT_EQ(std::vector<std::string>{"main.bmp"}, ProductFolder("skin"));
    EXPECT_EQ("1.3.0", Version());
    EXPECT_EQ(std::vector<std::string>{ExpectedProductStart()}, ProductStarts());
}

TEST_F(Update, NewEntryInANewFolderAndARunningProductAreUpdated)
{
    Install({}, "1.0.0");
    PublishList("2.0.0", {"x,Nuvra.exe,2.0.0,,,", "x,help.txt,2.0.0,doc,,"}, {{"doc/help.txt", "help"}});
    WriteServerFile("update/Nuvra/Nuvra.exe", SampleProduct().content + "v2");
    // The old program is in use while it is replaced: it is moved aside, not overwritten.
    CUpdaterDriver product;
    ASSERT_TRUE(product.Start("\"" + ProductFile("Nuvra.exe") + "\"", ProductDir()));
    ASSERT_EQ(1u, ProductStarts().size());

    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_EQ(SampleProduct().content + "v2", Installed("Nuvra.exe"));
    EXPECT_EQ("help", Installed("doc/help.txt"));
    EXPECT_EQ("2.0.0", Version());
}

TEST_F(Update, EntriesOfEveryShapeAreReplacedInTheirOwnPlace)
{
    // A name without a dot, a backup name that is another listed file, blank padding, a dotted
    // folder with an ordinary and an in-place entry, a new nested folder; a list saved with a
    // byte-order mark.
    Install({{"LICENSE", "old licence"},
             {"skin/main.bmp", "old bmp"},
             {"skin/main.xbmp", "old xbmp"},
             {"images/main.bmp", "old padded"},
             {"lib/v1.2/core.dll", "old core"},
             {"lib/v1.2/skin.dat", "old skin"}},
            "1.0.0");
    const Files fresh = {{"LICENSE", "new licence"},        {"skin/main.bmp", "new bmp"},
                         {"skin/main.xbmp", "new xbmp"},    {"images/main.bmp", "new padded"},
                         {"lib/v1.2/core.dll", "new core"}, {"lib/v1.2/skin.dat", "new skin"},
                         {"a/b/c/new.dat", "new nested"}};
    PublishList("2.0.0",
                {"x,LICENSE,2.0.0,,,", "x,main.bmp,2.0.0,skin,,", "x,main.xbmp,2.0.0,skin,,",
                 "x, main.bmp ,2.0.0, images ,,", "x,core.dll,2.0.0,lib/v1.2,,", "x,skin.dat,2.0.0,lib/v1.2,A,",
                 "x,new.dat,2.0.0,a/b/c,,"},
                fresh, "\xEF\xBB\xBF");

    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    for (const auto& file : fresh) EXPECT_EQ(file.second, Installed(file.first)) << file.first;
    EXPECT_EQ((std::vector<std::string>{"LICENSE", "Nuvra.exe", "a", "images", "lib", "skin"}), ProductFolder());
    EXPECT_EQ((std::vector<std::string>{"main.bmp", "main.xbmp"}), ProductFolder("skin"));
    EXPECT_EQ((std::vector<std::string>{"core.dll", "skin.dat"}), ProductFolder("lib/v1.2"));
    EXPECT_EQ("2.0.0", Version());
}

TEST_F(Update, KillMidDownloadLeavesEveryFileWholeAndTheNextRunFinishes)
{
    Install({{"a.dll", "old a"}, {"sub/c.dll", "old c"}, {"d.dll", "old d"}}, "1.0.0");
    const Files fresh = {{"a.dll", Big("new a")},
                         {"Nuvra.exe", SampleProduct().content + "v2"},
                         {"sub/c.dll", Big("new c")},
                         {"d.dll", Big("new d")}};
    PublishList("1.1.0", {"x,a.dll,1.1.0,,,", "x,Nuvra.exe,1.1.0,,,", "x,c.dll,1.1.0,sub,,", "x,d.dll,1.1.0,,,"},
                fresh);
    // The checkpoint: the program itself, the second of four files, trickles in and stops.
    Server().SetFault("/update/Nuvra/Nuvra.exe", CHttpFault::StallMidBody(3000));
    ASSERT_NE(nullptr, StartUpdate());
    ASSERT_TRUE(WaitForRequest("Nuvra.exe"));
    for (int i = 0; i < 100 && !IsInstalled("_nuvr_update/partial/Nuvra.exe"); ++i) Sleep(50);
    ASSERT_TRUE(Driver().Kill());

    // Nothing installed changed while files were staged.
    EXPECT_EQ("old a", Installed("a.dll"));
    EXPECT_EQ(SampleProduct().content, Installed("Nuvra.exe"));
    EXPECT_EQ("old c", Installed("sub/c.dll"));
    EXPECT_EQ("old d", Installed("d.dll"));
    EXPECT_TRUE(IsInstalled("_nuvr_update/partial/Nuvra.exe"));
    EXPECT_EQ("1.0.0", Version());

    // The product still starts the next run, which cleans up and finishes the job.
    Server().ClearFaults();
    m_driver = std::make_unique<CUpdaterDriver>();
    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    for (const auto& file : fresh) EXPECT_EQ(file.second, Installed(file.first)) << file.first;
    EXPECT_EQ((std::vector<std::string>{"Nuvra.exe", "a.dll", "d.dll", "sub"}), ProductFolder());
    EXPECT_EQ("1.1.0", Version());
}

TEST_F(Update, FilesThatArriveOutOfOrderAreCommittedAsTheListSays)
{
    // The first two files are held back by the server, so later ones finish first, four at a
    // time; the installation ends the same as if they had come in order.
    Files old, fresh;
    std::vector<std::string> entries;
    for (int i = 1; i <= 8; ++i) {
        const std::string name = "o" + std::to_string(i) + ".dll";
        old.push_back({name, "old " + std::to_string(i)});
        fresh.push_back({name, Big("new " + std::to_string(i))});
        entries.push_back("x," + name + ",1.1.0,,," + Sha256Hex(fresh.back().second) + "," +
                          std::to_string(fresh.back().second.size()) + ",");
    }
    Install(old, "1.0.0");
    PublishList("1.1.0", entries, fresh);
    Server().SetFault("/update/Nuvra/o1.dll", CHttpFault::Delay(std::chrono::milliseconds(1500)));
    Server().SetFault("/update/Nuvra/o2.dll", CHttpFault::Delay(std::chrono::milliseconds(1500)));
    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_LE(2u, Server().PeakConcurrentAnswers());
    for (const auto& file : fresh) EXPECT_EQ(file.second, Installed(file.first)) << file.first;
    std::vector<std::string> expected = {"Nuvra.exe"};
    for (const auto& file : fresh) expected.push_back(file.first);
    EXPECT_EQ(expected, ProductFolder()); // no backup or staging folder stays
    EXPECT_EQ("1.1.0", Version());
}

TEST_F(Update, ClosingWhileTheWorkerRunsHidesTheWindowEndsTheRunAndSaysNothing)
{
    // a.dll arrives at once; b.dll and c.dll, fetched beside it, stall and never go on.
    Install({{"a.dll", "old a"}, {"b.dll", "old b"}, {"c.dll", "old c"}}, "1.0.0");
    PublishList("1.1.0", {"x,a.dll,1.1.0,,,", "x,b.dll,1.1.0,,,", "x,c.dll,1.1.0,,,"},
                {{"a.dll", "new a"}, {"b.dll", Big("new b")}, {"c.dll", Big("new c")}});
    Server().SetFault("/update/Nuvra/b.dll", CHttpFault::StallMidBody(1000));
    Server().SetFault("/update/Nuvra/c.dll", CHttpFault::StallMidBody(1000));
    DeleteFileA(DefaultRunLogPath().c_str());
    HWND window = StartUpdate();
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(WaitForRequest("b.dll"));
    ASSERT_TRUE(WaitForRequest("c.dll"));
    Sleep(500);
    // While it stalls the installed file stays under its own name.
    EXPECT_EQ("old b", Installed("b.dll"));
    EXPECT_FALSE(IsInstalled("b.xdll"));

    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    for (int i = 0; i < 100 && IsWindowVisible(window); ++i) Sleep(50);
    EXPECT_FALSE(IsWindowVisible(window));
    // Both stalled transfers are given up at the close, long before WinInet's minute or the floor's;
    // the run had no result.
    DWORD code = 0;
    EXPECT_TRUE(Driver().WaitForExit(30000, &code));
    EXPECT_EQ(10u, code);
    // Its thread, cancelled (and under Wine left blocked), wrote nothing after the run's result.
    const std::string log = ReadFile(DefaultRunLogPath());
    const std::size_t givenUp = log.find("GET /update/Nuvra/b.dll: given up; failed: stopped\r\n");
    const std::size_t result = log.rfind("] result: ");
    EXPECT_NE(std::string::npos, givenUp) << log;
    ASSERT_NE(std::string::npos, result) << log;
    EXPECT_LT(givenUp, result);
    EXPECT_EQ(log.size(), log.find("\r\n", result) + 2) << "no line after the result";
    // Not told, not recorded: the next update offers them again.
    EXPECT_EQ(std::vector<std::string>{kQuestion136}, BoxTexts());
    EXPECT_EQ("old a", Installed("a.dll"));
    EXPECT_EQ("old b", Installed("b.dll"));
    EXPECT_EQ("old c", Installed("c.dll"));
    // a.dll waits staged for the next run.
    EXPECT_EQ((std::vector<std::string>{"Nuvra.exe", "_nuvr_update", "a.dll", "b.dll", "c.dll"}), ProductFolder());
    EXPECT_TRUE(IsInstalled("_nuvr_update/files/a.dll"));
    EXPECT_EQ("1.0.0", Version());
    EXPECT_FALSE(ProductStarted());
}

struct FaultCase {
    const char* name;
    CHttpFault fault;
    const char* logged; // the cause as the run log gives it
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpdateFailure : public Update, public ::testing::WithParamInterface<FaultCase> {};
class UpdateResume : public Update, public ::testing::WithParamInterface<bool> {};

TEST_P(UpdateFailure, EleventhOfTwentyFailsChangesNothingAndTheRerunFetchesOnlyWhatIsNotStaged)
{
    Files old, fresh;
    std::vector<std::string> entries;
    for (int i = 1; i <= 20; ++i) {
        const std::string folder = i == 11 ? "sub" : "";
        const std::string name = "e" + std::to_string(i) + ".dll";
        const std::string path = folder.empty() ? name : folder + "/" + name;
        old.push_back({path, "old " + std::to_string(i)});
        fresh.push_back({path, Big("new " + std::to_string(i))});
        // Listed with their hashes and sizes, which a tampered or cut body cannot match.
        entries.push_back("x," + name + ",1.1.0," + folder + ",," + Sha256Hex(fresh.back().second) + "," +
                          std::to_string(fresh.back().second.size()) + ",");
    }
    Install(old, "1.0.0");
    PublishList("1.1.0", entries, fresh);
    Server().SetFault("/update/Nuvra/sub/e11.dll", GetParam().fault);
    WriteUninstallEntryValues(HKEY_CURRENT_USER, {{"DisplayName", kTitle}, {"DisplayVersion", "1.0.0"}});
    DeleteFileA(DefaultRunLogPath().c_str());

    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
    const std::string log = ReadFile(DefaultRunLogPath());
    EXPECT_NE(std::string::npos, log.find("update failed: sub/e11.dll")) << log;
    EXPECT_NE(std::string::npos, log.find(GetParam().logged)) << log;
    // Nothing installed changed: every file, the record and Apps & Features are the old release.
    for (const auto& file : old) EXPECT_EQ(file.second, Installed(file.first)) << file.first;
    EXPECT_EQ("1.0.0", Version());
    EXPECT_EQ("1.0.0", ReadUninstallEntry(HKEY_CURRENT_USER, "DisplayVersion"));
    EXPECT_EQ(std::vector<std::string>{"e11.dll"}, ProductFolder("sub"));
    EXPECT_FALSE(ProductStarted());
    // A run that gave up a stalled transfer still ends; until it has, the next one would meet it
    // as another instance.
    EXPECT_TRUE(Driver().WaitForExit(30000));

    // The mended server is asked only for what was not staged: the failed file (continued where
    // the server allows it) and those the run did not finish (the others ran beside it).
    std::vector<std::string> expected;
    for (const auto& file : fresh)
        if (!IsInstalled("_nuvr_update/files/" + file.first)) expected.push_back("/update/Nuvra/" + file.first);
    EXPECT_NE(expected.end(), std::find(expected.begin(), expected.end(), "/update/Nuvra/sub/e11.dll"));
    Server().ClearFaults();
    Server().ClearLog();
    m_driver = std::make_unique<CUpdaterDriver>();
    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FileRequests());
    for (const auto& file : fresh) EXPECT_EQ(file.second, Installed(file.first)) << file.first;
    EXPECT_EQ("1.1.0", Version());
    EXPECT_EQ("1.1.0", ReadUninstallEntry(HKEY_CURRENT_USER, "DisplayVersion"));
    EXPECT_FALSE(IsInstalled("_nuvr_update"));
    EXPECT_EQ(21u, ProductFolder().size()); // Nuvra.exe, 19 files and sub: no backup stays
}

// A file cut off part-way is continued with a range request where the server honours one, and
// fetched whole again where it does not; either way it ends checked against the list.
TEST_P(UpdateResume, CutFileIsContinuedOrFetchedAgain)
{
    const std::string fresh = Big("new a") + Big("more a");
    Install({{"a.dll", "old a"}}, "1.0.0");
    PublishList("1.1.0", {"x,a.dll,1.1.0,,," + Sha256Hex(fresh) + "," + std::to_string(fresh.size()) + ","},
                {{"a.dll", fresh}});
    Server().SetFault("/update/Nuvra/a.dll", CHttpFault::DropMidBody(5000));
    ASSERT_NE(nullptr, StartUpdate());
    ExpectFailedWithoutChanges({{"a.dll", "old a"}}, "1.0.0");
    EXPECT_TRUE(Driver().WaitForExit(30000));

    Server().ClearFaults();
    Server().ClearLog();
    Server().SetIgnoreRanges(GetParam());
    m_driver = std::make_unique<CUpdaterDriver>();
    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    std::vector<std::string> ranges;
    for (const CHttpRequest& request : Requests())
        if (request.path == "/update/Nuvra/a.dll") ranges.push_back(request.Header("Range"));
    ASSERT_EQ(1u, ranges.size());
    EXPECT_EQ(0u, ranges[0].rfind("bytes=", 0)) << ranges[0]; // asked for the rest either way
    EXPECT_EQ(fresh, Installed("a.dll"));
    EXPECT_EQ("1.1.0", Version());
}

INSTANTIATE_TEST_SUITE_P(Servers, UpdateResume, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "IgnoringRanges" : "HonouringRanges";
                         });

INSTANTIATE_TEST_SUITE_P(
    Faults, UpdateFailure,
    ::testing::Values(FaultCase{"NotFound", CHttpFault::Status(404), "GET /update/Nuvra/sub/e11.dll: status 404"},
                      FaultCase{"ShortBody", CHttpFault::ShortBody(100), "body cut short"},
                      FaultCase{"DroppedConnection", CHttpFault::DropMidBody(2000), "; failed: "},
                      FaultCase{"StalledTransfer", CHttpFault::StallMidBody(2000), "; failed: "},
                      FaultCase{"TamperedBody", CHttpFault::Tamper(3000), "does not match the list's "}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_F(Update, FailedInPlaceDownloadKeepsTheInstalledFile)
{
    Install({{"skin/main.bmp", "installed bmp"}}, "1.0.0");
    PublishList("1.1.0", {"x,main.bmp,1.1.0,skin,A,"}, {{"skin/main.bmp", Big("new bmp")}});
    Server().SetFault("/update/Nuvra/skin/main.bmp", CHttpFault::DropMidBody(1000));

    ASSERT_NE(nullptr, StartUpdate());
    ExpectFailedWithoutChanges({{"skin/main.bmp", "installed bmp"}}, "1.0.0");
    EXPECT_EQ(std::vector<std::string>{"main.bmp"}, ProductFolder("skin"));
}

TEST_F(Update, TamperedInPlaceDownloadKeepsTheInstalledFile)
{
    const std::string fresh = Big("new bmp");
    Install({{"skin/main.bmp", "installed bmp"}}, "1.0.0");
    PublishList("1.1.0", {"x,main.bmp,1.1.0,skin,A," + Sha256Hex(fresh) + ","}, {{"skin/main.bmp", fresh}});
    Server().SetFault("/update/Nuvra/skin/main.bmp", CHttpFault::Tamper(10));

    ASSERT_NE(nullptr, StartUpdate());
    ExpectFailedWithoutChanges({{"skin/main.bmp", "installed bmp"}}, "1.0.0");
    EXPECT_EQ(std::vector<std::string>{"main.bmp"}, ProductFolder("skin"));
}

TEST_F(Update, BackupLeftByAnInterruptedRunIsReplaced)
{
    Install({{"a.dll", "current a"}, {"a.xdll", "stale backup"}}, "1.0.0");
    PublishList("1.1.0", {"x,a.dll,1.1.0,,,"}, {{"a.dll", "new a"}});
    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_EQ("new a", Installed("a.dll"));
    EXPECT_FALSE(IsInstalled("a.xdll"));
}

TEST_F(Update, BackupThatIsTheOnlyCopyComesBackWhenTheDownloadFails)
{
    // A run stopped after moving b.dll aside: its backup is the installed file.
    Install({{"b.xdll", "only copy of b"}}, "1.0.0");
    PublishList("1.1.0", {"x,b.dll,1.1.0,,,"}); // b.dll is missing on the server (404)
    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
    EXPECT_EQ("only copy of b", Installed("b.dll"));
    EXPECT_FALSE(IsInstalled("b.xdll"));
}

struct ReadOnlyCase {
    const char* name;
    int answer;
    bool backupKept;
};

void PrintTo(const ReadOnlyCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpdateWithReadOnlyFiles : public Update {
protected:
    void TearDown() override
    {
        // The scratch folder cannot remove a read-only file.
        SetFileAttributesA(ProductFile("a.xdll").c_str(), FILE_ATTRIBUTE_NORMAL);
        SetFileAttributesA(ProductFile("a.dll").c_str(), FILE_ATTRIBUTE_NORMAL);
        Update::TearDown();
    }
};

class UpdateReadOnly : public UpdateWithReadOnlyFiles, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(UpdateReadOnly, OldFileIsMovedAsideAndItsBackupDeletedOnlyWithConsent)
{
    Install({{"a.dll", "old a"}, {"b.dll", "old b"}}, "1.0.0");
    ASSERT_TRUE(SetFileAttributesA(ProductFile("a.dll").c_str(), FILE_ATTRIBUTE_READONLY));
    PublishList("1.1.0", {"x,a.dll,1.1.0,,,", "x,b.dll,1.1.0,,,"}, {{"a.dll", "new a"}, {"b.dll", "new b"}});

    ASSERT_NE(nullptr, StartUpdate());
    std::string question;
    ASSERT_TRUE(Driver().Answer(kReadOnlyCaption, GetParam().answer, &question, 30000));
    EXPECT_EQ("a.xdll is read olny. Do you want delete it?", question);
    // Any answer lets the run go on to the next entry and to its end.
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_EQ("new a", Installed("a.dll"));
    EXPECT_EQ("new b", Installed("b.dll"));
    EXPECT_EQ(GetParam().backupKept, IsInstalled("a.xdll"));
    if (GetParam().backupKept) {
        EXPECT_EQ("old a", Installed("a.xdll"));
    }
    EXPECT_EQ("1.1.0", Version());
}

INSTANTIATE_TEST_SUITE_P(Answers, UpdateReadOnly,
                         ::testing::Values(ReadOnlyCase{"Yes", IDYES, false}, ReadOnlyCase{"No", IDNO, true},
                                           ReadOnlyCase{"Cancel", IDCANCEL, true}),
                         [](const ::testing::TestParamInfo<ReadOnlyCase>& info) { return info.param.name; });

TEST_F(UpdateWithReadOnlyFiles, FailedDownloadNeverDeletesAFileThatWasNotMovedAside)
{
    // The user keeps the read-only old backup, so the installed file cannot be moved aside
    // and stays in place while its download fails.
    Install({{"a.dll", "current a"}, {"a.xdll", "older backup"}}, "1.0.0");
    ASSERT_TRUE(SetFileAttributesA(ProductFile("a.xdll").c_str(), FILE_ATTRIBUTE_READONLY));
    PublishList("1.1.0", {"x,a.dll,1.1.0,,,"}); // a.dll is missing on the server (404)

    ASSERT_NE(nullptr, StartUpdate());
    ASSERT_TRUE(Driver().Answer(kReadOnlyCaption, IDNO, nullptr, 30000));
    EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
    EXPECT_EQ("current a", Installed("a.dll"));
    EXPECT_EQ("older backup", Installed("a.xdll"));
    EXPECT_EQ("1.0.0", Version());
}

TEST_F(Update, VersionsCompareComponentByComponent)
{
    // 1.1.0 is above 1.0.12 (the dot-less 110 would be below 1012); 1.0.13 is above; 1.0.9 is not.
    Install({{"a.dll", "old a"}, {"b.dll", "old b"}, {"c.dll", "old c"}}, "1.0.12");
    PublishList("1.1.0", {"x,a.dll,1.1.0,,,", "x,b.dll,1.0.13,,B", "x,c.dll,1.0.9,,,"},
                {{"a.dll", "new a"}, {"b.dll", "new b"}, {"c.dll", "new c"}});
    ASSERT_NE(nullptr, StartUpdate());
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_EQ((std::vector<std::string>{"/update/Nuvra/a.dll", "/update/Nuvra/b.dll"}), FileRequests());
    EXPECT_EQ("new a", Installed("a.dll"));
    EXPECT_EQ("new b", Installed("b.dll"));
    EXPECT_EQ("old c", Installed("c.dll"));
    EXPECT_FALSE(IsInstalled("b.xdll"));
    EXPECT_EQ("1.1.0", Version());
}

TEST_F(Update, OlderListEndsWith106AndTheInstalledOneRecordsNothing)
{
    struct {
        const char* list;
        bool refused;
    } cases[] = {{"1.0.10", true}, {"1.1.0", false}}; // 1.0.10 would be 1010 > 110 without dots
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        Install({{"a.dll", "old a"}}, "1.1.0");
        PublishList(c.list, {"x,a.dll,1.2.0,,,"}, {{"a.dll", "new a"}});
        // Marks the record so that a write of the same text would show.
        RegSetKeyValueA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel\\Nuvra", "_sys_version", REG_SZ, " 1.1.0",
                        sizeof " 1.1.0");
        Server().ClearLog();
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_NE(nullptr, StartUpdate());
        EXPECT_EQ(c.refused ? kError106 : kDone137, FinalMessage(c.refused ? kUpdaterCaption : kQuestionCaption));
        EXPECT_TRUE(FileRequests().empty());
        EXPECT_EQ("old a", Installed("a.dll"));
        EXPECT_EQ(" 1.1.0", Version());
    }
}

TEST_F(Update, MissingOrNonNumericInstalledVersionCountsAsZero)
{
    for (const char* installed : {"", "beta"}) {
        SCOPED_TRACE(installed);
        Install({{"a.dll", "old a"}, {"b.dll", "old b"}}, installed);
        // "": no version recorded at all.
        if (*installed == '\0') RegDeleteKeyValueA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel\\Nuvra", "_sys_version");
        PublishList("0.0.1", {"x,a.dll,0.0.1,,,", "x,b.dll,0,,,"}, {{"a.dll", "new a"}, {"b.dll", "new b"}});
        Server().ClearLog();
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_NE(nullptr, StartUpdate());
        EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
        EXPECT_EQ(std::vector<std::string>{"/update/Nuvra/a.dll"}, FileRequests());
        EXPECT_EQ("new a", Installed("a.dll"));
        EXPECT_EQ("old b", Installed("b.dll"));
        EXPECT_EQ("0.0.1", Version());
    }
}

TEST_F(Update, ClosingBeforeTheStartChangesNothing)
{
    struct Close {
        const char* name;
        UINT message;
        WPARAM wParam;
    } closes[] = {{"Alt+F4", WM_SYSCOMMAND, SC_CLOSE}, {"WM_CLOSE", WM_CLOSE, 0}};
    for (const Close& close : closes) {
        SCOPED_TRACE(close.name);
        Install({{"a.dll", "old a"}}, "1.0.0");
        PublishList("1.1.0", {"x,a.dll,1.1.0,,,"}, {{"a.dll", "new a"}});
        m_driver = std::make_unique<CUpdaterDriver>();
        HWND window = StartUpdate();
        ASSERT_NE(nullptr, window);
        PostMessageW(window, close.message, close.wParam, 0);
        DWORD code = 0;
        EXPECT_TRUE(Driver().WaitForExit(10000, &code));
        EXPECT_EQ(10u, code); // closed without a result
        EXPECT_TRUE(RequestPaths().empty());
        EXPECT_EQ("old a", Installed("a.dll"));
        EXPECT_EQ((std::vector<std::string>{"Nuvra.exe", "a.dll"}), ProductFolder());
        EXPECT_EQ("1.0.0", Version());
        EXPECT_EQ(std::vector<std::string>{kQuestion136}, BoxTexts());
        EXPECT_FALSE(ProductStarted());
    }
}

TEST_F(UpdateWithReadOnlyFiles, ReadOnlyQuestionIsModalToTheWindow)
{
    // The read-only question holds the worker mid-run.
    Install({{"a.dll", "old a"}, {"b.dll", "old b"}}, "1.0.0");
    ASSERT_TRUE(SetFileAttributesA(ProductFile("a.dll").c_str(), FILE_ATTRIBUTE_READONLY));
    PublishList("1.1.0", {"x,a.dll,1.1.0,,,", "x,b.dll,1.1.0,,,"}, {{"a.dll", "new a"}, {"b.dll", "new b"}});

    HWND window = StartUpdate();
    ASSERT_NE(nullptr, window);
    HWND box = Driver().WaitForMessageBox(kReadOnlyCaption, 30000);
    ASSERT_NE(nullptr, box);
    // Owned by the window, so it never opens behind it, and the window waits for the answer.
    EXPECT_EQ(window, GetWindow(box, GW_OWNER));

    // Enter and Escape, sent where a real key goes, and Alt+F4 do not end the window.
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    HWND focus = info.hwndFocus ? info.hwndFocus : window;
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) PostMessageW(focus, WM_KEYDOWN, key, 0);
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    // One that got through would end the program: the wait running out is the pass.
    EXPECT_FALSE(Driver().WaitForExit(1000));
    EXPECT_TRUE(IsWindowVisible(window));

    ASSERT_TRUE(Driver().Answer(kReadOnlyCaption, IDYES));
    EXPECT_EQ(kDone137, FinalMessage(kQuestionCaption));
    EXPECT_EQ("new a", Installed("a.dll"));
    EXPECT_EQ("new b", Installed("b.dll"));
    EXPECT_EQ((std::vector<std::string>{"Nuvra.exe", "a.dll", "b.dll"}), ProductFolder());
    EXPECT_EQ("1.1.0", Version());
}

TEST_F(Update, UnsafeEntryFailsBeforeAnythingIsTouched)
{
    const Files installed = {{"a.dll", "old a"}};
    for (const char* unsafe : {"x,evil.dll,1.1.0,..,,", "x,..\\evil.dll,1.1.0,,,", "x,evil.dll,1.1.0,C:,,"}) {
        SCOPED_TRACE(unsafe);
        Install(installed, "1.0.0");
        // A good entry first: it is not updated either.
        PublishList("1.1.0", {"x,a.dll,1.1.0,,,", unsafe}, {{"a.dll", "new a"}});
        WriteServerFile("update/Nuvra/evil.dll", "evil");
        Server().ClearLog();
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_NE(nullptr, StartUpdate());
        ExpectFailedWithoutChanges(installed, "1.0.0");
        EXPECT_TRUE(FileRequests().empty());
        EXPECT_FALSE(FileExists(Work("evil.dll")));
        EXPECT_EQ((std::vector<std::string>{"Nuvra.exe", "a.dll"}), ProductFolder());
    }
}

TEST_F(Update, RunsThatCannotStartFailWithMessage106)
{
    enum class Folder { Unrecorded, Missing, Present };
    const std::string goodList = "T\r\n1.1.0\r\nx,a.dll,1.1.0,,,\r\n";
    struct Case {
        const char* name;
        bool record;
        Folder folder;
        const char* list; // the whole list file; nullptr: none on the server
        bool listRequested;
    } cases[] = {
        {"no record", false, Folder::Unrecorded, goodList.c_str(), false},
        {"record without folder", true, Folder::Unrecorded, goodList.c_str(), false},
        // Without a way into the folder, a.dll would land in the current one (the work folder).
        // A folder that cannot be written to ends the run before the list is fetched.
        {"folder missing", true, Folder::Missing, goodList.c_str(), false},
        {"list missing", true, Folder::Present, nullptr, true},
        {"list of one line", true, Folder::Present, "T\r\n", true},
        {"empty list", true, Folder::Present, "", true},
        // What a captive portal or a hostile server serves with status 200.
        {"login page", true, Folder::Present, "<html>\r\n<head><title>Login</title></head>\r\n</html>\r\n", true},
        {"no entries", true, Folder::Present, "T\r\n1.1.0\r\n", true},
        {"quoted version", true, Folder::Present, "T\r\n1.1\" -t\"Injected\" -d\"C:\\users\r\nx,a.dll,1.1.0,,,\r\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteMakerKey();
        Install({{"a.dll", "old a"}}, "1.0.0");
        if (!c.record) DeleteMakerKey();
        if (c.record && c.folder == Folder::Unrecorded)
            RegDeleteKeyValueA(HKEY_CURRENT_USER, "SOFTWARE\\Morvel\\Nuvra", "_sys_setup_dir");
        if (c.folder == Folder::Missing) WriteRecord("Nuvra", {{"_sys_setup_dir", Work("gone")}});
        DeleteFileA(Work("server/update/Nuvra/_nuvr_file_list.lst").c_str());
        if (c.list) WriteServerFile("update/Nuvra/_nuvr_file_list.lst", c.list);
        WriteServerFile("update/Nuvra/a.dll", "new a");
        Server().ClearLog();
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_NE(nullptr, StartUpdate());
        EXPECT_EQ(kError106, FinalMessage(kUpdaterCaption));
        EXPECT_EQ(c.listRequested ? std::vector<std::string>{kListPath} : std::vector<std::string>{}, RequestPaths());
        EXPECT_EQ("old a", Installed("a.dll"));
        EXPECT_FALSE(FileExists(Work("a.dll")));
        EXPECT_FALSE(FileExists(Work("gone")));
        EXPECT_EQ(c.record ? "1.0.0" : "<missing>", Version());
        EXPECT_FALSE(FileExists(Work("_nuvr_file_list.lst")));
        EXPECT_FALSE(ProductStarted());
    }
}

} // namespace

namespace {

// A commit killed after a.dll was replaced and b.dll moved aside, before b.dll moved in: every
// start, whatever its mode and with no list on the server, finishes it before anything else.
TEST_F(Update, InterruptedCommitIsFinishedByAStartInEveryMode)
{
    char appData[MAX_PATH];
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
    const std::string journalPath = std::string(appData) + "\\Morvel\\NuvraUpdater.journal";
    CreateDirectoryA((std::string(appData) + "\\Morvel").c_str(), nullptr);
    const std::string dir = ProductDir();
    const std::string journal = "NuvraCommit 1\r\nrecord\t1.0.0\t1.1.0\r\nstaging\t" + dir + "\\_nuvr_update\r\n" +
        "file\t1\t0\t5\t\t" + dir + "\\a.dll\t" + dir + "\\a.xdll\t" + dir + "\\_nuvr_update\\files\\a.dll\r\n" +
        "file\t1\t0\t5\t\t" + dir + "\\b.dll\t" + dir + "\\b.xdll\t" + dir + "\\_nuvr_update\\files\\b.dll\r\nend\r\n";
    DeleteFileA(Work("server/update/Nuvra/_nuvr_file_list.lst").c_str());
    for (const char* mode : {"-u", "-u /S", "-r /S"}) {
        SCOPED_TRACE(mode);
        Install({{"a.dll", "new a"}, {"a.xdll", "old a"}, {"b.xdll", "old b"}, {"_nuvr_update/files/b.dll", "new b"}},
                "1.0.0");
        ASSERT_TRUE(m_work.Write("journal", journal));
        ASSERT_TRUE(CopyFileA(Work("journal").c_str(), journalPath.c_str(), FALSE));
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_TRUE(Run(mode));
        if (std::string(mode) == "-u") {
            EXPECT_TRUE(Driver().Answer(kQuestionCaption, IDNO));
        }
        EXPECT_TRUE(Driver().WaitForExit(60000));
        EXPECT_EQ("new a", Installed("a.dll"));
        EXPECT_EQ("new b", Installed("b.dll"));
        EXPECT_EQ((std::vector<std::string>{"Nuvra.exe", "a.dll", "b.dll"}), ProductFolder());
        EXPECT_EQ("1.1.0", Version());
        EXPECT_FALSE(FileExists(journalPath));
        DeleteFileA(ProductFile("a.dll").c_str());
        DeleteFileA(ProductFile("b.dll").c_str());
    }
}

// "-r" in its window: the same progress window, no question, and a message with the count.
TEST_F(Update, RepairWindowTellsHowManyFilesItRepaired)
{
    Install({{"a.dll", "old a"}, {"b.dll", "b"}}, "1.0.0");
    PublishList("1.0.0", {"x,a.dll,1.0.0,,," + Sha256Hex("a") + ",1,", "x,b.dll,1.0.0,,," + Sha256Hex("b") + ",1,"},
                {{"a.dll", "a"}, {"b.dll", "b"}});
    ASSERT_TRUE(Run("-r"));
    ASSERT_NE(nullptr, Driver().WaitForWindowWhere(IsUpdateWindow));
    EXPECT_EQ("모르벨 누브라 파일 1개를 복구하였습니다.", FinalMessage(kQuestionCaption));
    EXPECT_EQ(std::vector<std::string>{"/update/Nuvra/a.dll"}, FileRequests());
    EXPECT_EQ("a", Installed("a.dll"));
    EXPECT_EQ("1.0.0", Version());
    EXPECT_FALSE(ProductStarted());
}

} // namespace
