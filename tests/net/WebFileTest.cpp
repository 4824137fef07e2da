#include "crypt/Sha256.h"
#include "framework/RunLog.h"
#include "net/FileSink.h"
#include "net/WebFile.h"
#include "net/WebFileSession.h"
#include "tests/support/Gzip.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/TlsRelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

const char kAccept[] = "audio/x-aiff, audio/basic, audio/midi, audio/mpeg, audio/wav, image/jpeg, image/gif, "
                       "image/jpg, image/png, image/mng, image/bmp, text/plain, text/html, text/htm";

std::string Pattern(std::size_t size)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

class WebFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.Path().empty());
        ASSERT_TRUE(folder.Write("srv/update/a.txt", "hello, world"));
        ASSERT_TRUE(folder.Write("srv/update/empty.txt", ""));
        ASSERT_TRUE(folder.Write("srv/update/big.bin", big));
        ASSERT_TRUE(folder.Write("dl/.keep", ""));
        ASSERT_TRUE(server.Start());
    }

    int Fetch(const std::string& file, bool sizeOnly = false)
    {
        return GetWebFile("GetWebFile", "127.0.0.1", server.Port(), folder.File("dl") + "\\", "/update/", file,
                          sizeOnly);
    }
    std::string Url(const std::string& path) const { return "http://" + server.HostPort() + path; }
    // What the download folder holds besides its marker: nothing after a failure, not even a
    // temporary file.
    std::vector<std::string> Downloaded() const
    {
        auto names = folder.List("dl");
        names.erase(std::remove(names.begin(), names.end(), ".keep"), names.end());
        return names;
    }

    const std::string big = Pattern(100000); // not a multiple of the read size
    CScratchFolder folder;
    CTestHttpServer server{folder.File("srv")};
};

TEST_F(WebFileTest, StoresBodyAndSendsTheProductHeaders)
{
    EXPECT_EQ(200, Fetch("a.txt"));
    EXPECT_EQ("hello, world", folder.Read("dl/a.txt"));

    auto log = server.Requests();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("GET", log[0].method);
    EXPECT_EQ("/update/a.txt", log[0].path);
    EXPECT_EQ(1u, log[0].CountHeader("Accept"));
    EXPECT_EQ(kAccept, log[0].Header("Accept"));
    EXPECT_EQ(1u, log[0].CountHeader("User-Agent"));
    EXPECT_EQ("GetWebFile/1.0", log[0].Header("User-Agent"));
}

TEST_F(WebFileTest, StoresLargeAndEmptyBodies)
{
    EXPECT_EQ(200, Fetch("big.bin"));
    EXPECT_TRUE(folder.Read("dl/big.bin") == big);
    EXPECT_EQ(200, Fetch("empty.txt"));
    EXPECT_TRUE(folder.Exists("dl/empty.txt"));
    EXPECT_EQ("", folder.Read("dl/empty.txt"));
    EXPECT_EQ((std::vector<std::string>{"big.bin", "empty.txt"}), Downloaded());
}

TEST_F(WebFileTest, SizeOnlyReturnsLengthAndWritesNothing)
{
    EXPECT_EQ(12, Fetch("a.txt", true));
    EXPECT_EQ(100000, Fetch("big.bin", true));
    EXPECT_EQ(0, Fetch("empty.txt", true));
    EXPECT_TRUE(Downloaded().empty());
}

TEST_F(WebFileTest, FollowsOneRedirectWithoutOwnUserAgent)
{
    for (int status : {301, 302, 303}) {
        SCOPED_TRACE(status);
        server.ClearLog();
        server.SetFault("/update/moved.txt", CHttpFault::Redirect(status, Url("/update/a.txt")));
        EXPECT_EQ(200, Fetch("moved.txt"));
        EXPECT_EQ("hello, world", folder.Read("dl/moved.txt")); // stored under the asked name
        EXPECT_EQ(12, Fetch("moved.txt", true));

        auto log = server.Requests();
        ASSERT_EQ(4u, log.size());
        EXPECT_EQ("/update/moved.txt", log[0].path);
        EXPECT_EQ("/update/a.txt", log[1].path);
        EXPECT_EQ(kAccept, log[1].Header("Accept"));
        // The product's own User-Agent is not added again; what arrives is the one WinInet makes
        // from the session's agent name.
        EXPECT_EQ(1u, log[1].CountHeader("User-Agent"));
        EXPECT_EQ("GetWebFile", log[1].Header("User-Agent"));
    }
}

TEST_F(WebFileTest, SecondRedirectIsNotFollowed)
{
    server.SetFault("/update/first", CHttpFault::Redirect(302, Url("/update/second")));
    server.SetFault("/update/second", CHttpFault::Redirect(301, Url("/update/a.txt")));
    EXPECT_EQ(301, Fetch("first"));
    EXPECT_EQ(-1, Fetch("first", true));
    EXPECT_TRUE(Downloaded().empty());
    for (const auto& request : server.Requests()) EXPECT_NE("/update/a.txt", request.path);
}

TEST_F(WebFileTest, RedirectThatCannotBeFollowedGivesZero)
{
    server.SetFault("/update/nowhere", CHttpFault::RedirectWithoutLocation(302));
    server.SetFault("/update/relative", CHttpFault::Redirect(302, "/update/a.txt"));
    for (const char* file : {"nowhere", "relative"}) {
        EXPECT_EQ(0, Fetch(file)) << file;
        EXPECT_EQ(0, Fetch(file, true)) << file;
    }
    EXPECT_TRUE(Downloaded().empty());
}

TEST_F(WebFileTest, ErrorStatusesAreReturned)
{
    const struct {
        int status;
        int sizeOnlyResult;
    } cases[] = {{401, 401}, {404, -1}, {500, -1}, {503, -1}};
    for (const auto& c : cases) {
        server.SetFault("/update/a.txt", CHttpFault::Status(c.status));
        EXPECT_EQ(c.status, Fetch("a.txt")) << c.status;
        EXPECT_EQ(c.sizeOnlyResult, Fetch("a.txt", true)) << c.status;
    }
    EXPECT_EQ(404, Fetch("missing.txt"));
    EXPECT_EQ(-1, Fetch("missing.txt", true));
    EXPECT_TRUE(Downloaded().empty());
}

TEST_F(WebFileTest, CutBodyIsAFailureAndLeavesNoFile)
{
    server.SetFault("/update/big.bin", CHttpFault::ShortBody(10));
    EXPECT_EQ(0, Fetch("big.bin"));
    server.SetFault("/update/big.bin", CHttpFault::DropMidBody(50000));
    EXPECT_EQ(0, Fetch("big.bin"));
    server.SetFault("/update/a.txt", CHttpFault::ShortBody(12)); // headers only
    EXPECT_EQ(0, Fetch("a.txt"));
    EXPECT_TRUE(Downloaded().empty());
}

TEST_F(WebFileTest, BytesOfAStalledBodyAreWrittenAsTheyArrive)
{
    // The rate floor judges a slow server by what was written; a read that waited for a full
    // buffer would hide these bytes until WinInet's own time-out ended the fetch.
    server.SetFault("/update/big.bin", CHttpFault::StallMidBody(4));
    CWebFileSession session("GetWebFile");
    CFileSink sink;
    std::atomic<bool> done{false};
    std::thread fetch([&] {
        GetWebFile(session, {"127.0.0.1", server.Port()}, folder.File("dl") + "\\", "/update/", "big.bin", sink);
        done = true;
    });
    while (!done && sink.BytesWritten() < 4) ::Sleep(20);
    EXPECT_EQ(4, sink.BytesWritten());
    server.Stop(); // ends the stalled body
    fetch.join();
}

TEST_F(WebFileTest, FailureKeepsExistingFileAndSuccessReplacesIt)
{
    ASSERT_TRUE(folder.Write("dl/big.bin", "previous version"));
    for (const CHttpFault& fault :
         {CHttpFault::ShortBody(1), CHttpFault::DropMidBody(4000), CHttpFault::Status(404), CHttpFault::Status(500)}) {
        server.SetFault("/update/big.bin", fault);
        EXPECT_NE(200, Fetch("big.bin"));
        EXPECT_EQ("previous version", folder.Read("dl/big.bin"));
        EXPECT_EQ(std::vector<std::string>{"big.bin"}, Downloaded());
    }
    server.ClearFaults();
    EXPECT_EQ(200, Fetch("big.bin"));
    EXPECT_TRUE(folder.Read("dl/big.bin") == big);
}

TEST_F(WebFileTest, LocalFileThatCannotBeCreatedGivesZero)
{
    EXPECT_EQ(0,
              GetWebFile("GetWebFile", "127.0.0.1", server.Port(), folder.File("missing") + "\\", "/update/", "a.txt",
                         false));
    ASSERT_TRUE(folder.Write("dl/a.txt/inside", "x")); // a folder where the file should go
    EXPECT_EQ(0, Fetch("a.txt"));
    EXPECT_EQ("x", folder.Read("dl/a.txt/inside"));
    EXPECT_EQ(std::vector<std::string>{"a.txt"}, Downloaded());
}

TEST_F(WebFileTest, UnreachableServerGivesZero)
{
    unsigned short closedPort;
    {
        CTestSocket probe = CTestSocket::Listen(0);
        ASSERT_TRUE(probe);
        closedPort = probe.LocalPort();
    }
    EXPECT_EQ(0,
              GetWebFile("GetWebFile", "127.0.0.1", closedPort, folder.File("dl") + "\\", "/update/", "a.txt", false));
    EXPECT_EQ(0, GetWebFile("GetWebFile", "127.0.0.1", closedPort, "", "/update/", "a.txt", true));
    EXPECT_TRUE(Downloaded().empty());
}

class RecordingSession : public CWebFileSession {
public:
    RecordingSession() : CWebFileSession("GetWebFile") {}
    std::vector<std::string> texts;

protected:
    void OnStatusText(const std::string& text) override { texts.push_back(text); }
};

TEST_F(WebFileTest, StatusTextsReachTheHook)
{
    RecordingSession session;
    ASSERT_TRUE(session.IsOpen());
    EXPECT_EQ(200,
              GetWebFile(session, {"127.0.0.1", server.Port()}, folder.File("dl") + "\\", "/update/", "a.txt", false));
    auto has = [&](const char* text) {
        return std::find(session.texts.begin(), session.texts.end(), text) != session.texts.end();
    };
    EXPECT_TRUE(has("Sending request"));
    EXPECT_TRUE(has("Request sent"));
    EXPECT_TRUE(has("Response received"));
    for (const auto& text : session.texts) EXPECT_FALSE(text.empty());
}

// The run log of one test, read back to see what a failure was put down to.
class LoggedWebFileTest : public WebFileTest {
protected:
    void SetUp() override
    {
        WebFileTest::SetUp();
        CRunLog::Open(folder.File("run.log"));
    }
    void TearDown() override { CRunLog::Close(); }
    std::string Log() const { return folder.Read("run.log"); }

    // A download as the manager makes it: through a sink that knows the list's size and hash.
    int Download(const CServerAddress& address, const std::string& file, const std::string& content,
                 long long bound = -1)
    {
        CWebFileSession session("GetWebFile", false);
        CFileSink sink;
        sink.ExpectSize(static_cast<long long>(content.size()));
        sink.ExpectDigest(CSha256::ToHex(CSha256::Of(content.data(), content.size())));
        sink.LimitSize(bound);
        return GetWebFile(session, address, folder.File("dl") + "\\", "/update/", file, sink);
    }
};

TEST_F(LoggedWebFileTest, HttpsServerIsUsedOnlyWithACertificateWindowsAccepts)
{
    ASSERT_TRUE(CTlsRelay::TrustTestAuthority());
    const struct {
        CTlsRelay::ECertificate certificate;
        const char* problem; // null: accepted
    } cases[] = {
        {CTlsRelay::ECertificate::Good, nullptr},
        {CTlsRelay::ECertificate::Untrusted, "not issued by a trusted authority"},
        {CTlsRelay::ECertificate::WrongName, "issued for another name"},
        {CTlsRelay::ECertificate::Expired, "has expired"},
    };
    for (const auto& c : cases) {
        CTlsRelay relay(server.Port(), c.certificate);
        ASSERT_TRUE(relay.Started());
        const CServerAddress address{"localhost", relay.Port(), true};
        server.ClearLog();
        EXPECT_EQ(c.problem ? 0 : 200, Download(address, "big.bin", big)) << c.problem;
        EXPECT_EQ(c.problem ? 0 : 1, server.Requests().size()) << c.problem; // nothing reaches the server
        if (c.problem) {
            EXPECT_NE(std::string::npos, Log().find(c.problem)) << Log();
        }
        EXPECT_EQ(c.problem ? std::vector<std::string>{} : std::vector<std::string>{"big.bin"}, Downloaded());
        ::DeleteFileA(folder.File("dl/big.bin").c_str());
    }
}

TEST_F(LoggedWebFileTest, RedirectsMayGoUpToHttpsButNeverDown)
{
    ASSERT_TRUE(CTlsRelay::TrustTestAuthority());
    CTlsRelay relay(server.Port(), CTlsRelay::ECertificate::Good);
    ASSERT_TRUE(relay.Started());
    const CServerAddress plain{"localhost", server.Port(), false};
    const CServerAddress secure{"localhost", relay.Port(), true};

    server.SetFault("/update/a.txt", CHttpFault::Redirect(302, relay.Address() + "/update/moved/a.txt"));
    ASSERT_TRUE(folder.Write("srv/update/moved/a.txt", "hello, world"));
    EXPECT_EQ(200, Download(plain, "a.txt", "hello, world"));

    ::DeleteFileA(folder.File("dl/a.txt").c_str());
    server.SetFault(
        "/update/a.txt",
        CHttpFault::Redirect(302, "http://localhost:" + std::to_string(server.Port()) + "/update/moved/a.txt"));
    server.ClearLog();
    EXPECT_EQ(0, Download(secure, "a.txt", "hello, world"));
    EXPECT_EQ(1u, server.Requests().size()); // the plain target was never asked
    EXPECT_NE(std::string::npos, Log().find("a redirect from https to plain http refused")) << Log();
    EXPECT_TRUE(Downloaded().empty());
}

TEST_F(LoggedWebFileTest, GzipBodiesAreCheckedOnTheirDecodedBytes)
{
    // 100 000 bytes that travel as a few hundred: the list's size and hash are the file's.
    const std::string runs = std::string(60000, 'a') + "hello" + std::string(39995, '\xff');
    ASSERT_TRUE(folder.Write("srv/update/runs.bin", runs));
    const std::string wire = GzipOf(runs);
    ASSERT_LT(wire.size(), 2000u);
    ASSERT_TRUE(folder.Write("srv/update/runs.bin.gz", wire));
    const CServerAddress address{"127.0.0.1", server.Port()};

    EXPECT_EQ(200, Download(address, "runs.bin", runs));
    EXPECT_TRUE(folder.Read("dl/runs.bin") == runs);
    auto log = server.Requests();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("gzip", log[0].Header("Accept-Encoding"));

    // The bound holds on what the body decodes to, not on the bytes on the wire.
    ::DeleteFileA(folder.File("dl/runs.bin").c_str());
    EXPECT_EQ(0, Download(address, "runs.bin", runs, static_cast<long long>(runs.size()) - 1));
    // A compressed body cut short decodes to fewer bytes than the list's.
    server.SetFault("/update/runs.bin", CHttpFault::ShortBody(100));
    EXPECT_EQ(0, Download(address, "runs.bin", runs));
    // Without a size or hash to check it, a body cut short must show in its length: no gzip then.
    server.ClearLog();
    EXPECT_NE(200, Fetch("runs.bin"));
    EXPECT_FALSE(server.Requests().at(0).HasHeader("Accept-Encoding"));
    EXPECT_TRUE(Downloaded().empty());

    // A size request wants the file's length, so it asks for no compression.
    server.ClearFaults();
    server.ClearLog();
    EXPECT_EQ(static_cast<int>(runs.size()), Fetch("runs.bin", true));
    EXPECT_FALSE(server.Requests().at(0).HasHeader("Accept-Encoding"));
}

} // namespace
