#include "net/DownloadManager.h"
#include "crypt/Sha256.h"
#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <thread>

namespace {

class DownloadManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.Path().empty());
        ASSERT_TRUE(folder.Write("srv/update/version.txt", "# versions\r\n0,1.0.0.1,a,b,yes,\r\n\r\nlast"));
        ASSERT_TRUE(folder.Write("srv/update/Nuvra/_nuvr_file_list.lst", "Nuvra,1.0.0.2\nNuvra.exe,1\n"));
        ASSERT_TRUE(folder.Write("srv/update/Nuvra/data/a.ini", "[a]\r\nx=1\r\n"));
        ASSERT_TRUE(folder.Write("cwd/data/.keep", ""));
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(::SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", server.HostPort().c_str()));
        char previous[MAX_PATH];
        ::GetCurrentDirectoryA(MAX_PATH, previous);
        previousDirectory = previous;
        ASSERT_TRUE(::SetCurrentDirectoryA(folder.File("cwd").c_str()));
    }
    void TearDown() override
    {
        ::SetCurrentDirectoryA(previousDirectory.c_str());
        ::SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", nullptr);
    }

    std::vector<std::string> CurrentDirectory() const { return folder.List("cwd"); }

    CScratchFolder folder;
    CTestHttpServer server{folder.File("srv")};
    std::string previousDirectory;
};

TEST_F(DownloadManagerTest, ServerAddressComesFromEnvironmentAndNeverFallsBack)
{
    EXPECT_EQ((CServerAddress{"127.0.0.1", server.Port()}), CDownloadManager().Server());
    ::SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", "https://localhost:8443");
    EXPECT_EQ((CServerAddress{"localhost", 8443, true}), CDownloadManager().Server());

    // A value that does not parse leaves the manager with no server at all, not the compiled-in one.
    ::SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", "127.0.0.1:0");
    EXPECT_FALSE(CDownloadManager::ConfiguredServer().usable);
    EXPECT_EQ("127.0.0.1:0", CDownloadManager::ConfiguredServer().environment);
    std::vector<std::string> lines;
    EXPECT_FALSE(CDownloadManager().GetVersionList(lines));
    EXPECT_EQ(0, CDownloadManager().GetRemoteFileSize("Nuvra/a.txt"));

    ::SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", nullptr);
    EXPECT_EQ(DefaultUpdateServer(), CDownloadManager().Server());
    EXPECT_EQ(80, DefaultUpdateServer().port);
}

TEST_F(DownloadManagerTest, VersionListIsFetchedReadAndDeleted)
{
    CDownloadManager manager;
    std::vector<std::string> lines;
    ASSERT_TRUE(manager.GetVersionList(lines));
    EXPECT_EQ((std::vector<std::string>{"# versions", "0,1.0.0.1,a,b,yes,", "", "last"}), lines);
    EXPECT_EQ(std::vector<std::string>{"data"}, CurrentDirectory());
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ("/update/version.txt", server.Requests()[0].path);
    EXPECT_EQ("GetWebFile/1.0", server.Requests()[0].Header("User-Agent"));
}

TEST_F(DownloadManagerTest, FileListIsFetchedReadAndDeleted)
{
    CDownloadManager manager;
    std::vector<std::string> lines;
    ASSERT_TRUE(manager.GetFileList("Nuvra", lines));
    EXPECT_EQ((std::vector<std::string>{"Nuvra,1.0.0.2", "Nuvra.exe,1"}), lines);
    EXPECT_EQ(std::vector<std::string>{"data"}, CurrentDirectory());
    EXPECT_EQ("/update/Nuvra/_nuvr_file_list.lst", server.Requests().at(0).path);
}

TEST_F(DownloadManagerTest, ListsThatCannotBeFetchedGiveFalseAndNoFile)
{
    server.SetFault("/update/version.txt", CHttpFault::Status(404));
    server.SetFault("/update/Nuvra/_nuvr_file_list.lst", CHttpFault::ShortBody(3));
    CDownloadManager manager;
    std::vector<std::string> lines;
    EXPECT_FALSE(manager.GetVersionList(lines));
    EXPECT_FALSE(manager.GetFileList("Nuvra", lines));
    EXPECT_FALSE(manager.GetFileList("Other", lines));
    EXPECT_EQ(std::vector<std::string>{"data"}, CurrentDirectory());
}

// Started from a place it cannot write (here: the list names are taken by folders), the
// program still gets its lists: they go through a folder of their own in the user's temporary
// folder, where another run's list of the same name is in nobody's way, and leave nothing.
TEST_F(DownloadManagerTest, ListsPassThroughTheTemporaryFolderNotTheCurrentOne)
{
    ASSERT_TRUE(folder.Write("cwd/version.txt/.keep", ""));
    ASSERT_TRUE(folder.Write("cwd/_nuvr_file_list.lst/.keep", ""));
    ASSERT_TRUE(folder.Write("tmp/.keep", ""));
    ASSERT_TRUE(folder.Write("tmp/version.txt", "another run's list"));
    char saved[MAX_PATH] = {};
    DWORD savedLength = ::GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    ASSERT_TRUE(::SetEnvironmentVariableA("TMP", folder.File("tmp").c_str()));

    CDownloadManager manager;
    std::vector<std::string> versions, files;
    const bool gotVersions = manager.GetVersionList(versions);
    const bool gotFiles = manager.GetFileList("Nuvra", files);
    ::SetEnvironmentVariableA("TMP", savedLength ? saved : nullptr);

    EXPECT_TRUE(gotVersions);
    EXPECT_EQ(4u, versions.size());
    EXPECT_TRUE(gotFiles);
    EXPECT_EQ((std::vector<std::string>{"Nuvra,1.0.0.2", "Nuvra.exe,1"}), files);
    EXPECT_EQ((std::vector<std::string>{".keep", "version.txt"}), folder.List("tmp"));
    EXPECT_EQ("another run's list", folder.Read("tmp/version.txt"));
    EXPECT_EQ(std::vector<std::string>{".keep"}, folder.List("cwd/version.txt"));
}

TEST_F(DownloadManagerTest, DownloadStoresUnderServerNameInLocalFolder)
{
    CDownloadManager manager;
    EXPECT_TRUE(manager.DownloadFile("Nuvra/data/a.ini", "data/a.ini.x"));
    EXPECT_EQ("/update/Nuvra/data/a.ini", server.Requests().at(0).path);
    EXPECT_EQ("[a]\r\nx=1\r\n", folder.Read("cwd/data/a.ini"));
    EXPECT_EQ((std::vector<std::string>{".keep", "a.ini"}), folder.List("cwd/data"));

    EXPECT_TRUE(manager.DownloadFile("Nuvra/data/a.ini", "b.ini.xx"));
    EXPECT_EQ("[a]\r\nx=1\r\n", folder.Read("cwd/a.ini"));
    EXPECT_EQ((std::vector<std::string>{"a.ini", "data"}), CurrentDirectory());
}

TEST_F(DownloadManagerTest, FailedOrUnsafeDownloadGivesFalseAndNoFile)
{
    CDownloadManager manager;
    EXPECT_FALSE(manager.DownloadFile("Nuvra/data/missing.ini", "data/missing.ini.x"));
    server.SetFault("/update/Nuvra/data/a.ini", CHttpFault::DropMidBody(4));
    EXPECT_FALSE(manager.DownloadFile("Nuvra/data/a.ini", "data/a.ini.x"));
    server.ClearLog();
    EXPECT_FALSE(manager.DownloadFile("Nuvra/..\\..\\evil.exe", "data/x"));
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(std::vector<std::string>{".keep"}, folder.List("cwd/data"));
}

TEST_F(DownloadManagerTest, RemoteFileSizeAndHooks)
{
    server.SetFault("/update/Nuvra/locked.ini", CHttpFault::Status(401));
    CDownloadManager manager;
    EXPECT_TRUE(manager.PrepareTransfers());
    EXPECT_EQ(10, manager.GetRemoteFileSize("Nuvra/data/a.ini"));
    EXPECT_EQ(-1, manager.GetRemoteFileSize("Nuvra/missing.ini"));
    EXPECT_EQ(401, manager.GetRemoteFileSize("Nuvra/locked.ini"));
    EXPECT_TRUE(manager.FinishTransfers());
    EXPECT_EQ(std::vector<std::string>{"data"}, CurrentDirectory());
}

TEST_F(DownloadManagerTest, ListedSizeIsTheWholeBodyAndNoByteMore)
{
    ASSERT_TRUE(folder.Write("cwd/data/a.ini", "installed"));
    const std::string body = "[a]\r\nx=1\r\n"; // 10 bytes on the server
    struct {
        const char* name;
        long long listedSize;
        bool endless; // served without a length, then filler without end
        bool stored;
    } cases[] = {
        {"exactly the listed size", 10, false, true},
        {"announced longer than listed", 9, false, false},
        {"announced shorter than listed", 11, false, false},
        {"endless body cut at the listed size", 10, true, false},
    };
    CDownloadManager manager;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(folder.Write("cwd/data/a.ini", "installed"));
        server.ClearFaults();
        if (c.endless) server.SetFault("/update/Nuvra/data/a.ini", CHttpFault::Endless());
        EXPECT_EQ(c.stored, manager.DownloadFile("Nuvra/data/a.ini", "data/a.ini", CExpectedBody("", c.listedSize)));
        EXPECT_EQ(c.stored ? body : "installed", folder.Read("cwd/data/a.ini"));
        EXPECT_EQ((std::vector<std::string>{".keep", "a.ini"}), folder.List("cwd/data"));
    }
}

TEST_F(DownloadManagerTest, StopEventEndsAStalledTransferAndChangesNothing)
{
    ASSERT_TRUE(folder.Write("cwd/data/a.ini", "installed"));
    server.SetFault("/update/Nuvra/data/a.ini", CHttpFault::StallMidBody(4)); // stalls until Stop
    CHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    CDownloadManager manager;
    manager.SetStopEvent(stop.get());
    std::thread closer([&] {
        while (server.Requests().empty()) ::Sleep(20);
        ::Sleep(300);
        ::SetEvent(stop.get());
    });
    // Without the stop event it would wait for WinInet's time-out or the rate floor (a minute).
    EXPECT_FALSE(manager.DownloadFile("Nuvra/data/a.ini", "data/a.ini"));
    closer.join();
    EXPECT_EQ("installed", folder.Read("cwd/data/a.ini"));
    EXPECT_EQ((std::vector<std::string>{".keep", "a.ini"}), folder.List("cwd/data")); // no partial download
    // Once stopped, nothing more is asked for.
    server.ClearLog();
    EXPECT_FALSE(manager.DownloadFile("Nuvra/data/a.ini", "data/a.ini"));
    EXPECT_TRUE(server.Requests().empty());
}

// A batch of eight: what each file's server path and staged path are.
std::vector<CDownloadManager::CJob> BatchOfEight(CScratchFolder& folder)
{
    std::vector<CDownloadManager::CJob> jobs;
    for (int i = 1; i <= 8; ++i) {
        const std::string name = "f" + std::to_string(i) + ".dat";
        const std::string body(20000, static_cast<char>('a' + i));
        EXPECT_TRUE(folder.Write("srv/update/Nuvra/" + name, body));
        const std::string sha256 = CSha256::ToHex(CSha256::Of(body.data(), body.size()));
        jobs.push_back({"Nuvra/" + name, "data/" + name, "data/" + name + ".part", CExpectedBody(sha256, 20000)});
    }
    return jobs;
}

TEST_F(DownloadManagerTest, BatchRunsFourTransfersAtOnceOnFourKeptConnections)
{
    const std::vector<CDownloadManager::CJob> jobs = BatchOfEight(folder);
    // Each answer waits (up to a minute) until four requests are or were being answered together.
    for (const auto& job : jobs)
        server.SetFault("/update/" + job.serverPath, CHttpFault::Delay(std::chrono::minutes(1), 4));
    CDownloadManager manager;
    long long lastBytes = -1;
    std::size_t lastFiles = 0, failed = 0;
    ASSERT_TRUE(manager.DownloadAll(
        jobs, [&](long long bytes, std::size_t files) { lastBytes = bytes, lastFiles = files; }, failed));
    EXPECT_EQ(8 * 20000, lastBytes);
    EXPECT_EQ(8u, lastFiles);
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(std::string(20000, static_cast<char>('a' + i)),
                  folder.Read("cwd/data/f" + std::to_string(i) + ".dat"));
    EXPECT_EQ(CDownloadManager::kParallelTransfers, server.PeakConcurrentAnswers());
    std::set<std::size_t> connections;
    for (const CHttpRequest& request : server.Requests()) connections.insert(request.connection);
    EXPECT_EQ(CDownloadManager::kParallelTransfers, connections.size());
}

struct BatchFailure {
    const char* name;
    bool closeWindow;      // the stop event ends the batch; no transfer fails on its own
    CHttpFault secondFile; // what the server does to the second file
};

class DownloadManagerBatchTest : public DownloadManagerTest, public ::testing::WithParamInterface<BatchFailure> {};

TEST_P(DownloadManagerBatchTest, FirstFailureOrTheStopEventEndsEveryTransfer)
{
    const std::vector<CDownloadManager::CJob> jobs = BatchOfEight(folder);
    // The others would never end by themselves within the test: they stall after a few bytes.
    for (const auto& job : jobs) server.SetFault("/update/" + job.serverPath, CHttpFault::StallMidBody(100));
    server.SetFault("/update/" + jobs[1].serverPath, GetParam().secondFile);
    CHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    CDownloadManager manager;
    manager.SetStopEvent(stop.get());
    std::thread closer([&] {
        if (!GetParam().closeWindow) return;
        while (server.Requests().size() < CDownloadManager::kParallelTransfers) ::Sleep(20);
        ::SetEvent(stop.get());
    });
    std::size_t failed = 99;
    EXPECT_FALSE(manager.DownloadAll(jobs, nullptr, failed));
    closer.join();
    if (!GetParam().closeWindow) {
        EXPECT_EQ(1u, failed);
    }
    // No file was stored, and none was asked for after the end: at most the first four started.
    EXPECT_EQ(std::vector<std::string>{".keep"}, [&] {
        std::vector<std::string> stored;
        for (const std::string& name : folder.List("cwd/data"))
            if (name.find(".part") == std::string::npos) stored.push_back(name);
        return stored;
    }());
    for (const CHttpRequest& request : server.Requests())
        EXPECT_GE(jobs[3].serverPath, request.path.substr(std::string("/update/").size())) << request.path;
}

INSTANTIATE_TEST_SUITE_P(Ends, DownloadManagerBatchTest,
                         ::testing::Values(BatchFailure{"Status500", false, CHttpFault::Status(500)},
                                           BatchFailure{"CutBody", false, CHttpFault::DropMidBody(5000)},
                                           BatchFailure{"ShortBody", false, CHttpFault::ShortBody(10)},
                                           BatchFailure{"HashMismatch", false, CHttpFault::Tamper(7000)},
                                           BatchFailure{"WindowClosed", true, CHttpFault::StallMidBody(100)}),
                         [](const ::testing::TestParamInfo<BatchFailure>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(DownloadManagerTest, ListLargerThanTheBoundIsRefusedUnread)
{
    std::string big = "Nuvra\r\n1.0.0\r\n";
    big += std::string(static_cast<std::size_t>(CDownloadManager::kListSizeBound) - big.size() + 1, '#');
    ASSERT_TRUE(folder.Write("srv/update/Nuvra/_nuvr_file_list.lst", big));
    ASSERT_TRUE(folder.Write("srv/update/version.txt", big));
    CDownloadManager manager;
    std::vector<std::string> lines = {"before"};
    EXPECT_FALSE(manager.GetFileList("Nuvra", lines));
    EXPECT_FALSE(manager.GetVersionList(lines));
    // The same bytes without a length are cut at the bound.
    server.SetFault("/update/version.txt", CHttpFault::Endless());
    EXPECT_FALSE(manager.GetVersionList(lines));
    EXPECT_EQ(std::vector<std::string>{"before"}, lines);
}

TEST_F(DownloadManagerTest, ServerThatDripsUnderTheTimeOutFailsAtTheRateFloor)
{
    // A byte every 20 s keeps WinInet's 60 s receive time-out from ever firing; only the floor
    // (1 KiB/s over a minute) ends it, about a minute in.
    ASSERT_TRUE(folder.Write("cwd/data/a.ini", "installed"));
    server.SetFault("/update/Nuvra/data/a.ini", CHttpFault::Drip(std::chrono::seconds(20)));
    CRunLog::Open(folder.File("run.log"));
    CDownloadManager manager;
    EXPECT_FALSE(manager.DownloadFile("Nuvra/data/a.ini", "data/a.ini"));
    CRunLog::Close();
    EXPECT_EQ("installed", folder.Read("cwd/data/a.ini"));
    EXPECT_EQ((std::vector<std::string>{".keep", "a.ini"}), folder.List("cwd/data"));
    // The floor ended it, not a time-out or anything else.
    const std::string log = folder.Read("run.log");
    EXPECT_NE(std::string::npos, log.find("given up; failed: slower than the rate floor")) << log;
}

} // namespace
