// The FTP client against a real vsftpd on 127.0.0.1, started by the test itself.
#include "LoopbackPair.h"
#include "RecordingObserver.h"
#include "Zum/ftp/FtpClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nsFTP::CFtpClient;
using nsFTP::CLogonInfo;
using nsFTP::RESULT_OK;
using nsFTP::RESULT_REJECTED;
using nsTest::CRecordingObserver;

const char kUser[] = "nuvraftp";

class VsftpdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::path(NUVRA_VSFTPD_DIR) / std::to_string(::getpid());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_port = nsTest::UnusedLoopbackPort();

        const std::string setup =
            std::string("bash '") + NUVRA_VSFTPD_SETUP + "' '" + m_dir.string() + "' " + std::to_string(m_port);
        FILE* pipe = ::popen(setup.c_str(), "r");
        ASSERT_NE(nullptr, pipe);
        char line[128] = {};
        const bool gotLine = std::fgets(line, sizeof line, pipe) != nullptr;
        const int status = ::pclose(pipe);
        if (!gotLine || status != 0) GTEST_SKIP() << "vsftpd could not be set up (" << setup << ")";
        m_password = line;
        while (!m_password.empty() && (m_password.back() == '\n' || m_password.back() == '\r')) m_password.pop_back();

        const std::string config = (m_dir / "vsftpd.conf").string();
        char* argv[] = {const_cast<char*>("vsftpd"), const_cast<char*>(config.c_str()), nullptr};
        if (::posix_spawn(&m_pid, "/usr/sbin/vsftpd", nullptr, nullptr, argv, environ) != 0) {
            m_pid = 0;
            GTEST_SKIP() << "vsftpd could not be started";
        }
        if (!WaitUntilListening()) GTEST_SKIP() << "vsftpd did not answer on port " << m_port;
    }

    void TearDown() override
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    bool WaitUntilListening()
    {
        for (int attempt = 0; attempt < 50; ++attempt) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = 0; // it ended by itself
                return false;
            }
            try {
                nsSocket::CBlockingSocket probe;
                probe.Create(SOCK_STREAM);
                probe.Connect(nsSocket::CSocketAddress("127.0.0.1", m_port));
                return true;
            } catch (const nsSocket::CBlockingSocketException&) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    CLogonInfo Logon(const std::string& password) const { return CLogonInfo("127.0.0.1", m_port, kUser, password, ""); }

    fs::path Home() const { return m_dir / "home"; }

    fs::path m_dir;
    unsigned short m_port = 0;
    std::string m_password;
    pid_t m_pid = 0;
};

std::string Transcript(const CRecordingObserver& observer)
{
    std::string text;
    for (const auto& e : observer.events) text += e + "\n";
    return text;
}

bool HasReplyStarting(const CRecordingObserver& observer, const std::string& start)
{
    for (const auto& e : observer.events)
        if (e.compare(0, 6 + start.size(), "reply:" + start) == 0) return true;
    return false;
}

TEST_F(VsftpdTest, LoginAndCommandsWithoutDataConnection)
{
    {
        std::ofstream placed(Home() / "placed.txt");
        placed << "put here by the test\n";
    }
    CRecordingObserver observer;
    CFtpClient client(10, 2048, true);
    client.AttachObserver(&observer);

    ASSERT_TRUE(client.Login(Logon(m_password))) << Transcript(observer);
    EXPECT_TRUE(HasReplyStarting(observer, "220 Nuvra test server"));
    EXPECT_TRUE(HasReplyStarting(observer, "331"));
    EXPECT_TRUE(HasReplyStarting(observer, "230"));

    // Login changed to "/"; go back to the user's folder.
    EXPECT_EQ(RESULT_OK, client.ChangeWorkingDirectory(Home().string()));
    observer.events.clear();
    EXPECT_EQ(RESULT_OK, client.PrintWorkingDirectory());
    EXPECT_TRUE(HasReplyStarting(observer, "257 \"" + Home().string() + "\""));

    EXPECT_EQ(RESULT_OK, client.MakeDirectory("made"));
    EXPECT_TRUE(fs::is_directory(Home() / "made"));
    EXPECT_EQ(RESULT_OK, client.ChangeWorkingDirectory("made"));
    EXPECT_EQ(RESULT_OK, client.ChangeToParentDirectory());
    EXPECT_EQ(RESULT_REJECTED, client.ChangeWorkingDirectory("missing"));

    EXPECT_EQ(RESULT_OK, client.Rename("placed.txt", "renamed.txt"));
    EXPECT_TRUE(fs::exists(Home() / "renamed.txt"));
    EXPECT_FALSE(fs::exists(Home() / "placed.txt"));
    EXPECT_EQ(RESULT_REJECTED, client.Rename("placed.txt", "again.txt"));

    EXPECT_EQ(RESULT_OK, client.Delete("renamed.txt"));
    EXPECT_FALSE(fs::exists(Home() / "renamed.txt"));
    EXPECT_EQ(RESULT_REJECTED, client.Delete("renamed.txt"));

    EXPECT_EQ(RESULT_OK, client.RemoveDirectory("made"));
    EXPECT_FALSE(fs::exists(Home() / "made"));

    observer.events.clear();
    EXPECT_EQ(RESULT_OK, client.System());
    EXPECT_TRUE(HasReplyStarting(observer, "215 UNIX"));
    EXPECT_EQ(RESULT_OK, client.Noop());

    // HELP and STAT answer with multi-line replies.
    observer.events.clear();
    EXPECT_EQ(RESULT_OK, client.Help());
    EXPECT_TRUE(HasReplyStarting(observer, "214-"));
    EXPECT_TRUE(HasReplyStarting(observer, "214 "));
    observer.events.clear();
    EXPECT_EQ(RESULT_OK, client.Status());
    EXPECT_TRUE(HasReplyStarting(observer, "211-"));
    EXPECT_TRUE(HasReplyStarting(observer, "211 "));

    EXPECT_EQ(RESULT_OK, client.Logout());
    EXPECT_FALSE(client.IsConnected());
    EXPECT_TRUE(observer.Errors().empty());
}

TEST_F(VsftpdTest, WrongPasswordIsRejected)
{
    CFtpClient client(10, 2048, true);
    EXPECT_FALSE(client.Login(Logon(m_password + "x")));
}

} // namespace
