// Unattended runs of the real program ("/S"): install, update, repair and uninstall with no
// window of the program at any moment, each telling its result by the exit code.
#include "tests/e2e/E2EFixture.h"

#include <shlobj.h>

#include <algorithm>
#include <fstream>

namespace {

const char kTitle[] = "Morvel Nuvra";
const char kDefaultInstallDir[] = "C:\\Program Files\\Morvel";
const char kListPath[] = "/update/Nuvra/_nuvr_file_list.lst";

// The exit codes the README lists.
enum : long {
    kDone = 0,
    kFailed = 1,
    kRefused = 2,
    kNothingToDo = 3,
    kAlreadyRunning = 4,
    kIncomplete = 6,
    kBadCommandLine = 8,
    kStartFailed = 9
};
constexpr long kRepaired = 100; // plus the number of files repaired

class Unattended : public E2EFixture {
protected:
    static std::string DesktopLink()
    {
        char path[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
        return std::string(path) + "\\" + AnsiFromUtf8("모르벨 누브라") + ".lnk";
    }

    void TearDown() override
    {
        E2EFixture::TearDown();
        RemoveTree(kDefaultInstallDir);
        DeleteFileA(DesktopLink().c_str());
    }

    std::string ProductDir() const { return Work("inst dir\\Nuvra"); }
    std::string Installed(const std::string& name) const { return ReadFile(ProductDir() + "\\" + name); }

    std::vector<CReleaseFile> Release(const std::string& version = "1.0.0") const
    {
        return Sized(Hashed({SampleProduct(version),
                             {"", "config.ini", "[nuvra]\r\ninterval=60\r\n", version},
                             {"res", "main.bmp", std::string(5000, 'B') + version, version},
                             {"doc", "readme.txt", "Morvel Nuvra " + version + "\n", version}}));
    }

    // The folder and the record as the product leaves them after installing this release.
    void InstallByHand(const std::vector<CReleaseFile>& files, const std::string& version)
    {
        for (const CReleaseFile& file : files) {
            const std::string folder = file.subFolder.empty() ? ProductDir() : ProductDir() + "\\" + file.subFolder;
            SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
            std::ofstream(folder + "\\" + file.name, std::ios::binary) << file.content;
        }
        WriteRecord("Nuvra", {{"_sys_setup_dir", ProductDir()}, {"_sys_version", version}, {"_sys_title", kTitle}});
    }

    // The record the product writes at its first start, waited for.
    std::string RecordedFolder()
    {
        for (int i = 0; i < 150 && ReadRecord("Nuvra", "_sys_setup_dir") == "<missing>"; ++i) Sleep(100);
        return ReadRecord("Nuvra", "_sys_setup_dir");
    }

    size_t RequestsFor(const std::string& path) const
    {
        const std::vector<std::string> paths = RequestPaths();
        return static_cast<size_t>(std::count(paths.begin(), paths.end(), path));
    }
};

TEST_F(Unattended, InstallsWithTheDefaultsWithoutAWindow)
{
    Publish(kTitle, "1.0.0", Release());
    EXPECT_EQ(kDone, RunToExit("/S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ(std::string(kDefaultInstallDir) + "\\Nuvra", RecordedFolder());
    EXPECT_EQ("Morvel Nuvra 1.0.0\n", ReadFile(std::string(kDefaultInstallDir) + "\\Nuvra\\doc\\readme.txt"));
    EXPECT_TRUE(FileExists(DesktopLink()));
}

TEST_F(Unattended, InstallsIntoTheGivenFolderWithoutShortcuts)
{
    Publish(kTitle, "1.0.0", Release());
    // "/D=" runs to the end of the line, blanks included.
    EXPECT_EQ(kDone, RunToExit("/S /NOSHORTCUTS /D=" + Work("inst dir")));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ(ProductDir(), RecordedFolder());
    EXPECT_EQ(std::string(5000, 'B') + "1.0.0", Installed("res\\main.bmp"));
    EXPECT_FALSE(FileExists(DesktopLink()));
}

TEST_F(Unattended, InstallRefusedByTheVersionListChangesNothing)
{
    Publish(kTitle, "1.0.0", Release(), false);
    EXPECT_EQ(kRefused, RunToExit("/S /D=" + Work("inst dir")));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_FALSE(FileExists(Work("inst dir")));
    EXPECT_EQ(1u, RequestPaths().size());
}

TEST_F(Unattended, UpdatesWithoutTheQuestionAndRecordsTheVersion)
{
    InstallByHand(Release("1.0.0"), "1.0.0");
    Publish(kTitle, "1.1.0", Release("1.1.0"));
    EXPECT_EQ(kDone, RunToExit("-u /S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ("Morvel Nuvra 1.1.0\n", Installed("doc\\readme.txt"));
    EXPECT_EQ("1.1.0", ReadRecord("Nuvra", "_sys_version"));
    EXPECT_EQ(1u, ProductStarts().size()); // started again

    // Nothing newer: nothing to do, and nothing started.
    m_driver = std::make_unique<CUpdaterDriver>();
    DeleteFileA(Work("sample.log").c_str());
    EXPECT_EQ(kNothingToDo, RunToExit("-u /S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_FALSE(ProductStarted());
}

TEST_F(Unattended, FailedUpdateEndsWithItsCode)
{
    InstallByHand(Release("1.0.0"), "1.0.0");
    Publish(kTitle, "1.1.0", Release("1.1.0"));
    WriteServerFile("update/Nuvra/doc/readme.txt", "not what the list says");
    EXPECT_EQ(kFailed, RunToExit("-u /S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ("Morvel Nuvra 1.0.0\n", Installed("doc\\readme.txt"));
    EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));
}

TEST_F(Unattended, RepairFetchesOnlyTheMissingAndTheDamagedFiles)
{
    const std::vector<CReleaseFile> files = Release("1.0.0");
    // The installed release: a newer one would be installed whole, as an update.
    InstallByHand(files, "1.0.0");
    Publish(kTitle, "1.0.0", files);
    ASSERT_TRUE(DeleteFileA((ProductDir() + "\\config.ini").c_str()));
    std::ofstream(ProductDir() + "\\res\\main.bmp", std::ios::binary | std::ios::in | std::ios::out) << "X";
    std::ofstream(ProductDir() + "\\mine.txt", std::ios::binary) << "not in the list";

    EXPECT_EQ(kRepaired + 2, RunToExit("-r /S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_EQ("[nuvra]\r\ninterval=60\r\n", Installed("config.ini"));
    EXPECT_EQ(std::string(5000, 'B') + "1.0.0", Installed("res\\main.bmp"));
    EXPECT_EQ("not in the list", Installed("mine.txt"));
    EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));
    std::vector<std::string> paths = RequestPaths();
    std::sort(paths.begin(), paths.end()); // the two files come at once, in either order
    EXPECT_EQ((std::vector<std::string>{kListPath, "/update/Nuvra/config.ini", "/update/Nuvra/res/main.bmp"}), paths);

    // A whole installation needs nothing.
    Server().ClearLog();
    m_driver = std::make_unique<CUpdaterDriver>();
    EXPECT_EQ(kNothingToDo, RunToExit("-r /S"));
    EXPECT_EQ(1u, RequestPaths().size());
}

// What a hostile server sends reaches the log as visible escapes, one line per event, each line
// bounded; the earlier history stays in the log's ".1".
TEST_F(Unattended, ServerTextCannotForgeOrWipeTheLog)
{
    const std::string history = "an earlier run's line\r\n" + std::string(1024 * 1024 - 100, 'h') + "\r\n";
    std::ofstream(Work("run.log"), std::ios::binary) << history;
    const std::string forged = "2026-01-01 00:00:00.000 [1] result: installed";
    // WinInet itself turns the bytes after a NUL, and a lead byte without its trail, into "?".
    const std::string location =
        "http://" + Server().HostPort() + "/c\x1b[2J\r" + forged + "\n" + forged + std::string("\0\x9b", 2);
    Server().SetFault("/update/Nuvra/c.dll", CHttpFault::Redirect(302, location));
    WriteVersionList("0,Nuvra,1.0.0,,yes,\r\n");
    // No sizes: the installer asks the server for each, so each entry meets a request line.
    WriteServerFile("update/Nuvra/_nuvr_file_list.lst",
                    "Morvel \xFF Nuvra\r\n1.0.0\r\nx,b\xFF\x80.dll,1.0.0,,,\r\n"
                    "x,c.dll,1.0.0,,,\r\nx," +
                        std::string(2 * 1024 * 1024, 'n') + ".dll,1.0.0,,,\r\n");

    EXPECT_EQ(kFailed, RunToExit("/S /LOG=" + Work("run.log") + " /D=" + Work("inst dir")));
    EXPECT_EQ(history, ReadFile(Work("run.log.1")));
    const std::string log = ReadFile(Work("run.log"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ("\r\n", log.substr(log.size() - 2));
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(log.substr(at, end - at));
    for (const std::string& line : lines) {
        ASSERT_GT(line.size(), 25u) << line;
        EXPECT_EQ(' ', line[23]) << line; // "yyyy-mm-dd hh:mm:ss.mmm [pid] text"
        EXPECT_EQ('[', line[24]) << line;
        EXPECT_LE(line.size(), 4200u) << line.substr(0, 200);
        EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char c) { return c >= 0 && c < 0x20; })) << line;
    }
    EXPECT_NE(std::string::npos, log.find("/c\\x1b[2J")) << log;
    EXPECT_NE(std::string::npos, log.find("title Morvel \\xff Nuvra")) << log;
    // Transfers run at once: whichever fails first is named, escaped.
    const std::size_t failed = log.find("] download failed: ");
    ASSERT_NE(std::string::npos, failed) << log;
    const std::string named = log.substr(failed + 19, log.find("\r\n", failed) - failed - 19);
    EXPECT_TRUE(named == "b\\xff\\x80.dll" || named == "c.dll" || named.compare(0, 4, "nnnn") == 0) << named;
    EXPECT_NE(std::string::npos, log.find("GET /update/Nuvra/nnnn")) << log;
    // A path of megabytes never reaches WinInet (Wine's overruns a buffer on one).
    EXPECT_NE(std::string::npos, log.find("bytes, longer than the 2048 WinInet takes")) << log;
    EXPECT_NE(std::string::npos, log.find(" bytes)\xE2\x80\xA6nnnn")) << log;
    // The forged line is no line of its own; the run's own last line is.
    for (const std::string& line : lines) EXPECT_NE(0u, line.find(forged)) << line;
    EXPECT_NE(std::string::npos, lines.back().find("] unattended install: exit code 1")) << lines.back();
}

TEST_F(Unattended, UninstallsWithoutAWindowAndKeepsReadOnlyFiles)
{
    InstallByHand(Release(), "1.0.0");
    EXPECT_EQ(kDone, RunToExit("/S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_FALSE(FileExists(ProductDir()));
    EXPECT_FALSE(RecordExists("Nuvra"));

    // The read-only question is answered No, without a box: the file stays.
    InstallByHand(Release(), "1.0.0");
    ASSERT_TRUE(SetFileAttributesA((ProductDir() + "\\config.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    m_driver = std::make_unique<CUpdaterDriver>();
    EXPECT_EQ(kIncomplete, RunToExit("/S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_TRUE(FileExists(ProductDir() + "\\config.ini"));
    EXPECT_FALSE(FileExists(ProductDir() + "\\doc\\readme.txt"));
    SetFileAttributesA((ProductDir() + "\\config.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Unattended, SecondInstanceEndsWithItsCode)
{
    // The lock another instance holds.
    HANDLE lock = CreateMutexA(nullptr, TRUE, "Morvel Updater Prefix");
    ASSERT_NE(nullptr, lock);
    EXPECT_EQ(kAlreadyRunning, RunToExit("/S"));
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_TRUE(RequestPaths().empty());
    CloseHandle(lock);
}

// Two copies started together: whichever takes the lock first runs (it waits on a list the
// server never sends), the other ends with 4 and never reaches the server.
TEST_F(Unattended, OfTwoCopiesStartedTogetherExactlyOneRuns)
{
    Server().SetFault("/update/version.txt", CHttpFault::StallUntilStop());
    CUpdaterDriver other;
    const std::string line = "\"" + UpdaterPath() + "\" /S /D=" + Work("inst dir");
    ASSERT_TRUE(Driver().Start(line, WorkRoot()));
    ASSERT_TRUE(other.Start(line, WorkRoot()));
    // Until one has ended (the bound is a failure: the loser ends at once).
    for (int i = 0; i < 1200 && Driver().IsRunning() && other.IsRunning(); ++i) Sleep(50);
    CUpdaterDriver& loser = Driver().IsRunning() ? other : Driver();
    CUpdaterDriver& winner = Driver().IsRunning() ? Driver() : other;
    DWORD code = 0;
    ASSERT_TRUE(loser.WaitForExit(0, &code));
    EXPECT_EQ(static_cast<DWORD>(kAlreadyRunning), code);
    // The one that runs asks for the list once; the loser asked for nothing.
    for (int i = 0; i < 1200 && RequestPaths().empty(); ++i) Sleep(50);
    EXPECT_EQ(std::vector<std::string>{"/update/version.txt"}, RequestPaths());
    EXPECT_TRUE(winner.IsRunning());
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_TRUE(other.Shown().empty());
}

// A switch the program does not know, or a folder it cannot read, ends an unattended run before
// anything is touched, whatever else the line says.
TEST_F(Unattended, UnknownOrMalformedSwitchEndsTheRunBeforeAnythingIsTouched)
{
    Publish(kTitle, "1.0.0", Release());
    const std::string log = Work("run.log");
    for (const std::string& tail :
         {std::string("/S /Q"), "/Q /S /D=" + Work("inst dir"), "/S /D=\"" + Work("inst dir")}) {
        SCOPED_TRACE(tail);
        m_driver = std::make_unique<CUpdaterDriver>();
        EXPECT_EQ(kBadCommandLine, RunToExit(tail + " /LOG=\"" + log + "\""));
        EXPECT_TRUE(Driver().Shown().empty());
    }
    EXPECT_TRUE(RequestPaths().empty());
    EXPECT_FALSE(FileExists(Work("inst dir")));
    const std::string text = ReadFile(log);
    EXPECT_NE(std::string::npos, text.find("unknown switch \"/Q\"")) << text;
    EXPECT_NE(std::string::npos, text.find("malformed \"/D=")) << text;
}

// "/D=" quoted, as installers made with NSIS or Inno Setup are scripted, in every position.
TEST_F(Unattended, QuotedFolderIsTakenInEveryPosition)
{
    Publish(kTitle, "1.0.0", Release());
    const std::string folder = "/D=\"" + Work("inst dir") + "\"";
    for (const std::string& tail : {"/S " + folder, folder + " /S", "/S " + folder + " /NOSHORTCUTS"}) {
        SCOPED_TRACE(tail);
        m_driver = std::make_unique<CUpdaterDriver>();
        EXPECT_EQ(kDone, RunToExit(tail));
        EXPECT_EQ(ProductDir(), RecordedFolder());
        EXPECT_EQ("Morvel Nuvra 1.0.0\n", Installed("doc\\readme.txt"));
        // Uninstalled for the next position, which must install again.
        m_driver = std::make_unique<CUpdaterDriver>();
        ASSERT_EQ(kDone, RunToExit("/S"));
    }
}

// Installed or updated, but the product cannot be started (its program is missing from the
// release): the run says so by its code, and the work done stays done.
TEST_F(Unattended, ProductThatCannotBeStartedEndsWithItsCode)
{
    std::vector<CReleaseFile> files = Release("1.0.0");
    files.erase(files.begin()); // the sample product
    Publish(kTitle, "1.0.0", files);
    EXPECT_EQ(kStartFailed, RunToExit("/S /NOSHORTCUTS /D=" + Work("inst dir")));
    EXPECT_EQ("Morvel Nuvra 1.0.0\n", Installed("doc\\readme.txt"));

    std::vector<CReleaseFile> newer = Release("1.1.0");
    newer.erase(newer.begin());
    InstallByHand(files, "1.0.0");
    Publish(kTitle, "1.1.0", newer);
    m_driver = std::make_unique<CUpdaterDriver>();
    EXPECT_EQ(kStartFailed, RunToExit("-u /S"));
    EXPECT_EQ("Morvel Nuvra 1.1.0\n", Installed("doc\\readme.txt"));
    EXPECT_EQ("1.1.0", ReadRecord("Nuvra", "_sys_version"));
}

// A version the record cannot hold (longer than a registry text of the record may be): the
// files of a release the record would not name are put back, and the old record stays.
TEST_F(Unattended, UpdateWhoseVersionCannotBeRecordedIsUndone)
{
    InstallByHand(Release("1.0.0"), "1.0.0");
    std::string version = "1.1";
    while (version.size() < 300) version += ".0";
    Publish(kTitle, version, Release("1.1.0"));
    EXPECT_EQ(kFailed, RunToExit("-u /S"));
    EXPECT_EQ("Morvel Nuvra 1.0.0\n", Installed("doc\\readme.txt"));
    EXPECT_EQ(std::string(5000, 'B') + "1.0.0", Installed("res\\main.bmp"));
    EXPECT_EQ("1.0.0", ReadRecord("Nuvra", "_sys_version"));
    EXPECT_FALSE(ProductStarted());
}

} // namespace
