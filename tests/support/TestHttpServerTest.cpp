#include "tests/support/ScratchFolder.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

namespace {

struct RawResponse {
    int status = 0;
    std::string head;
    std::string body;
    bool closed = false; // the server ended the connection after this response
};

std::string HeaderValue(const std::string& head, const std::string& name)
{
    std::size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return std::string();
    at += name.size() + 4;
    return head.substr(at, head.find("\r\n", at) - at);
}

// Reads one response from a connection; a body is read up to Content-Length or the end of stream.
RawResponse ReadResponse(const CTestSocket& socket)
{
    RawResponse r;
    std::string data;
    char chunk[4096];
    std::size_t end;
    while ((end = data.find("\r\n\r\n")) == std::string::npos) {
        if (!socket.WaitReadable(5000)) return r;
        long n = socket.Receive(chunk, sizeof chunk);
        if (n <= 0) {
            r.closed = true;
            return r;
        }
        data.append(chunk, static_cast<std::size_t>(n));
    }
    r.head = data.substr(0, end + 2);
    r.body = data.substr(end + 4);
    r.status = std::atoi(r.head.c_str() + 9);
    std::size_t length = std::strtoul(HeaderValue(r.head, "Content-Length").c_str(), nullptr, 10);
    while (r.body.size() < length) {
        if (!socket.WaitReadable(5000)) return r;
        long n = socket.Receive(chunk, sizeof chunk);
        if (n <= 0) {
            r.closed = true;
            return r;
        }
        r.body.append(chunk, static_cast<std::size_t>(n));
    }
    if (!r.closed && socket.WaitReadable(200)) r.closed = socket.Receive(chunk, sizeof chunk) <= 0;
    return r;
}

RawResponse Get(const CTestSocket& socket, const std::string& path, const std::string& extra = "")
{
    socket.SendAll("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n");
    return ReadResponse(socket);
}

class TestHttpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.Path().empty());
        ASSERT_TRUE(folder.Write("update/a.txt", "hello, world"));
        ASSERT_TRUE(folder.Write("update/big.bin", std::string(200000, 'x')));
        ASSERT_TRUE(server.Start());
    }

    CTestSocket Connect() { return CTestSocket::Connect(server.Port()); }

    CScratchFolder folder;
    CTestHttpServer server{folder.Path()};
};

TEST_F(TestHttpServerTest, ServesFileAndLogsRequest)
{
    CTestSocket s = Connect();
    RawResponse r = Get(s, "/update/a.txt", "X-Probe: one\r\n");
    EXPECT_EQ(200, r.status);
    EXPECT_EQ("12", HeaderValue(r.head, "Content-Length"));
    EXPECT_EQ("hello, world", r.body);
    EXPECT_EQ("127.0.0.1:" + std::to_string(server.Port()), server.HostPort());

    auto log = server.Requests();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("GET", log[0].method);
    EXPECT_EQ("/update/a.txt", log[0].path);
    EXPECT_EQ("one", log[0].Header("x-probe"));
    EXPECT_EQ(1u, log[0].CountHeader("Host"));
    server.ClearLog();
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(TestHttpServerTest, KeepsConnectionAliveAcrossRequests)
{
    CTestSocket s = Connect();
    RawResponse first = Get(s, "/update/a.txt");
    EXPECT_FALSE(first.closed);
    RawResponse second = Get(s, "/update/big.bin");
    EXPECT_EQ(200, second.status);
    EXPECT_EQ(200000u, second.body.size());
    RawResponse last = Get(s, "/update/a.txt", "Connection: close\r\n");
    EXPECT_EQ("hello, world", last.body);
    EXPECT_TRUE(last.closed);
    EXPECT_EQ(3u, server.Requests().size());
}

TEST_F(TestHttpServerTest, PathsOutsideRootOrMissingGet404)
{
    folder.Write("secret.txt", "secret");
    for (const char* path : {"/update/../secret.txt", "/update/%2e%2e/secret.txt", "/update/missing.txt", "/update",
                             "/update/..%5csecret.txt", "/update/a.txt/"}) {
        CTestSocket s = Connect();
        EXPECT_EQ(404, Get(s, path).status) << path;
    }
}

TEST_F(TestHttpServerTest, StatusAndRedirectFaults)
{
    server.SetFault("/update/a.txt", CHttpFault::Status(500));
    server.SetFault("/update/r1", CHttpFault::Redirect(302, "http://127.0.0.1/update/a.txt"));
    server.SetFault("/update/r2", CHttpFault::RedirectWithoutLocation(301));
    CTestSocket s = Connect();
    EXPECT_EQ(500, Get(s, "/update/a.txt?x=1").status); // the query does not hide the fault
    RawResponse r1 = Get(s, "/update/r1");
    EXPECT_EQ(302, r1.status);
    EXPECT_EQ("http://127.0.0.1/update/a.txt", HeaderValue(r1.head, "Location"));
    RawResponse r2 = Get(s, "/update/r2");
    EXPECT_EQ(301, r2.status);
    EXPECT_EQ(std::string::npos, r2.head.find("Location"));

    server.ClearFaults();
    EXPECT_EQ(200, Get(s, "/update/a.txt").status);
}

TEST_F(TestHttpServerTest, ShortBodyAndDropCutTheBodyAndClose)
{
    server.SetFault("/update/a.txt", CHttpFault::ShortBody(5));
    server.SetFault("/update/big.bin", CHttpFault::DropMidBody(1000));
    {
        CTestSocket s = Connect();
        RawResponse r = Get(s, "/update/a.txt");
        EXPECT_EQ("12", HeaderValue(r.head, "Content-Length"));
        EXPECT_EQ("hello, ", r.body);
        EXPECT_TRUE(r.closed);
    }
    CTestSocket s = Connect();
    RawResponse r = Get(s, "/update/big.bin");
    EXPECT_EQ("200000", HeaderValue(r.head, "Content-Length"));
    EXPECT_LE(r.body.size(), 1000u);
    EXPECT_TRUE(r.closed);
}

TEST_F(TestHttpServerTest, TamperChangesOneByteAndKeepsTheLengthAndConnection)
{
    server.SetFault("/update/big.bin", CHttpFault::Tamper(150000));
    CTestSocket s = Connect();
    RawResponse r = Get(s, "/update/big.bin");
    EXPECT_EQ("200000", HeaderValue(r.head, "Content-Length"));
    std::string expected(200000, 'x');
    expected[150000] = 'X';
    EXPECT_EQ(expected, r.body);
    EXPECT_EQ("hello, world", Get(s, "/update/a.txt").body);
}

TEST_F(TestHttpServerTest, TimedStallAnswersNothingThenCloses)
{
    server.SetFault("/update/a.txt", CHttpFault::Stall(std::chrono::milliseconds(300)));
    CTestSocket s = Connect();
    auto start = std::chrono::steady_clock::now();
    RawResponse r = Get(s, "/update/a.txt");
    EXPECT_EQ(0, r.status);
    EXPECT_TRUE(r.closed);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST_F(TestHttpServerTest, StallMidBodySendsPartThenFallsSilent)
{
    server.SetFault("/update/big.bin", CHttpFault::StallMidBody(1000, std::chrono::milliseconds(300)));
    CTestSocket s = Connect();
    RawResponse r = Get(s, "/update/big.bin");
    EXPECT_EQ(200, r.status);
    EXPECT_EQ("200000", HeaderValue(r.head, "Content-Length"));
    EXPECT_EQ(1000u, r.body.size());
    EXPECT_TRUE(r.closed);
}

TEST_F(TestHttpServerTest, StopDoesNotWaitForStalledOrIdleConnections)
{
    server.SetFault("/update/a.txt", CHttpFault::StallUntilStop());
    CTestSocket stalled = Connect();
    stalled.SendAll("GET /update/a.txt HTTP/1.1\r\nHost: x\r\n\r\n");
    CTestSocket idle = Connect();
    EXPECT_EQ(200, Get(idle, "/update/big.bin").status);
    CTestSocket silent = Connect(); // connected, never sends a byte

    auto start = std::chrono::steady_clock::now();
    server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(CTestSocket::Connect(server.Port()));
    server.Stop(); // a second stop is harmless
}

} // namespace
