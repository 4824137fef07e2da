#include "LoopbackPair.h"
#include "RecordingObserver.h"
#include "ScriptedFtpServer.h"
#include "Zum/ftp/FtpClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using nsFTP::CFirewallType;
using nsFTP::CFtpClient;
using nsFTP::CLogonInfo;
using nsTest::CRecordingObserver;
using nsTest::CScriptedFtpServer;
using Strings = std::vector<std::string>;

const char kRemote[] = "ftp.remote.example";

struct LogonCase {
    const char* name;
    int type;
    int remotePort;
    Strings replyCodes; // one per command after the greeting
    Strings commands;   // what the server must receive, in order
    bool loggedOn;
    bool logonFailedReported;
};

// Remote user "ruser"/"rpass"/"racct", firewall user "fuser"/"fpass". With a firewall the
// client connects to the firewall (our server) and names the remote host in its commands.
const LogonCase kCases[] = {
    {"NoFirewallUserPass", 0, 0, {"331", "230", "250"}, {"USER ruser", "PASS rpass", "CWD /"}, true, false},
    {"NoFirewallUserOnly", 0, 0, {"230", "250"}, {"USER ruser", "CWD /"}, true, false},
    {"NoFirewallAccount",
     0,
     0,
     {"331", "332", "230", "250"},
     {"USER ruser", "PASS rpass", "ACCT racct", "CWD /"},
     true,
     false},
    {"NoFirewallPassRejected", 0, 0, {"331", "530"}, {"USER ruser", "PASS rpass"}, false, false},
    {"NoFirewallAccount3xxFails", 0, 0, {"331", "332", "332"}, {"USER ruser", "PASS rpass", "ACCT racct"}, false, true},
    {"NoFirewallFinalCwdRejected", 0, 0, {"331", "230", "550"}, {"USER ruser", "PASS rpass", "CWD /"}, false, false},
    {"SiteHostname",
     1,
     21,
     {"331", "230", "331", "331", "230", "250"},
     {"USER fuser", "PASS fpass", "SITE ftp.remote.example", "USER ruser", "PASS rpass", "CWD /"},
     true,
     false},
    {"SiteHostnameAccount",
     1,
     21,
     {"230", "331", "230", "250"},
     {"USER fuser", "SITE ftp.remote.example", "USER ruser", "CWD /"},
     true,
     false},
    {"SiteAccepted2xxFails", 1, 21, {"230", "200"}, {"USER fuser", "SITE ftp.remote.example"}, false, true},
    {"SiteFirewallPass3xxFails", 1, 21, {"331", "332"}, {"USER fuser", "PASS fpass"}, false, true},
    {"UserAfterLogon",
     2,
     2121,
     {"331", "230", "331", "230", "250"},
     {"USER fuser", "PASS fpass", "USER ruser@ftp.remote.example:2121", "PASS rpass", "CWD /"},
     true,
     false},
    {"ProxyOpen",
     3,
     21,
     {"220", "331", "230", "250"},
     {"OPEN ftp.remote.example", "USER ruser", "PASS rpass", "CWD /"},
     true,
     false},
    {"ProxyOpen3xx", 3, 21, {"350", "230", "250"}, {"OPEN ftp.remote.example", "USER ruser", "CWD /"}, true, false},
    {"Transparent",
     4,
     21,
     {"230", "331", "332", "230", "250"},
     {"USER fuser", "USER ruser", "PASS rpass", "ACCT racct", "CWD /"},
     true,
     false},
    {"UserWithNoLogon",
     5,
     2121,
     {"331", "230", "250"},
     {"USER ruser@ftp.remote.example:2121", "PASS rpass", "CWD /"},
     true,
     false},
    {"UserFireIdAtRemoteHost",
     6,
     21,
     {"331", "230", "331", "230", "250"},
     {"USER fuser@ftp.remote.example", "PASS fpass", "USER ruser", "PASS rpass", "CWD /"},
     true,
     false},
    {"UserRemoteIdAtRemoteHostFireId",
     7,
     21,
     {"331", "230", "250"},
     {"USER ruser@ftp.remote.example fuser", "PASS rpass", "CWD /"},
     true,
     false},
    {"UserRemoteIdAtRemoteHostFireId2xxFails", 7, 21, {"230"}, {"USER ruser@ftp.remote.example fuser"}, false, true},
    {"UserRemoteIdAtFireIdAtRemoteHost",
     8,
     2121,
     {"331", "230", "250"},
     {"USER ruser@fuser@ftp.remote.example:2121", "PASS rpass@fpass", "CWD /"},
     true,
     false},
};

void PrintTo(const LogonCase& c, std::ostream* os)
{
    *os << c.name;
}

class FtpLogonTest : public ::testing::TestWithParam<LogonCase> {};

TEST_P(FtpLogonTest, SendsTheSchemesCommands)
{
    const LogonCase& c = GetParam();
    Strings script = {"220 hello\r\n"};
    for (const auto& code : c.replyCodes) script.push_back(code + " reply\r\n");
    CScriptedFtpServer server(script);

    CLogonInfo info;
    if (c.type == 0)
        info.SetHost("127.0.0.1", server.Port(), "ruser", "rpass", "racct");
    else {
        info.SetHost(kRemote, c.remotePort, "ruser", "rpass", "racct");
        info.SetFirewall("127.0.0.1", "fuser", "fpass", server.Port(), CFirewallType(c.type));
    }

    CRecordingObserver observer;
    {
        CFtpClient client(5, 2048, true);
        client.AttachObserver(&observer);
        EXPECT_EQ(c.loggedOn, client.Login(info));
        EXPECT_TRUE(client.IsConnected());
        EXPECT_EQ(c.type, client.LastLogonInfo().FwType().Value());
        EXPECT_EQ(c.commands, server.Commands());
        client.DetachObserver(&observer);
    }
    EXPECT_EQ(c.logonFailedReported ? Strings{"Logon failed."} : Strings{}, observer.Errors());
    if (c.logonFailedReported) {
        EXPECT_EQ(".\\Zum\\ftp\\FtpClient", observer.errorFile);
    }
}

INSTANTIATE_TEST_SUITE_P(Schemes, FtpLogonTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FtpLogonNotificationTest, EveryCommandAndReplyLineInOrder)
{
    CScriptedFtpServer server({"220-welcome\r\n220 hello\r\n", "331 password?\r\n", "230 in\r\n", "250 cwd\r\n"});
    CRecordingObserver observer;
    CFtpClient client(5, 2048, true);
    client.AttachObserver(&observer);
    ASSERT_TRUE(client.Login(CLogonInfo("127.0.0.1", server.Port(), "me", "secret", "")));
    EXPECT_EQ((Strings{"reply:220-welcome", "reply:220 hello", "send:USER me", "reply:331 password?",
                       "send:PASS secret", "reply:230 in", "send:CWD /", "reply:250 cwd"}),
              observer.events);
}

TEST(FtpLogonFailureTest, GreetingOtherThan2xxEndsTheLogon)
{
    for (const char* greeting : {"421 too many users\r\n", "120 wait\r\n", "welcome\r\n"}) {
        SCOPED_TRACE(greeting);
        CScriptedFtpServer server({greeting});
        CFtpClient client(5, 2048, true);
        EXPECT_FALSE(client.Login(CLogonInfo("127.0.0.1", server.Port(), "u", "p", "")));
        EXPECT_TRUE(server.Commands().empty());
    }
}

TEST(FtpLogonFailureTest, RefusedConnectionIsReported)
{
    CRecordingObserver observer;
    CFtpClient client(5, 2048, true);
    client.AttachObserver(&observer);
    EXPECT_FALSE(client.Login(CLogonInfo("127.0.0.1", nsTest::UnusedLoopbackPort(), "u", "p", "")));
    EXPECT_FALSE(client.IsConnected());
    const Strings errors = observer.Errors();
    ASSERT_EQ(1u, errors.size());
    EXPECT_NE(std::string::npos, errors[0].find(" (Connect error 0x")) << errors[0];
}

TEST(FtpLogonFailureTest, BadPortOrFirewallTypeIsRefusedBeforeConnecting)
{
    CRecordingObserver observer;
    CFtpClient client(5, 2048, true);
    client.AttachObserver(&observer);
    EXPECT_FALSE(client.Login(CLogonInfo("127.0.0.1", 70000, "u", "p", "")));
    EXPECT_FALSE(client.Login(CLogonInfo("127.0.0.1", 0, "u", "p", "")));
    CLogonInfo unknownType("127.0.0.1", 21, "u", "p", "");
    unknownType.SetFirewall("127.0.0.1", "f", "g", 21, CFirewallType(9));
    EXPECT_FALSE(client.Login(unknownType));
    EXPECT_EQ((Strings{"Invalid port 70000.", "Invalid port 0.", "Unknown firewall type 9."}), observer.Errors());
    EXPECT_FALSE(client.IsConnected());
}

TEST(FtpLogonFailureTest, LoginWhileConnectedLogsOutFirst)
{
    CScriptedFtpServer first({"220 one\r\n", "230 in\r\n", "250 cwd\r\n"});
    CScriptedFtpServer second({"220 two\r\n", "230 in\r\n", "250 cwd\r\n"});
    CFtpClient client(5, 2048, true);
    ASSERT_TRUE(client.Login(CLogonInfo("127.0.0.1", first.Port(), "u", "", "")));
    ASSERT_TRUE(client.Login(CLogonInfo("127.0.0.1", second.Port(), "v", "", "")));
    EXPECT_EQ((Strings{"USER u", "CWD /", "QUIT"}), first.Commands());
    EXPECT_EQ((Strings{"USER v", "CWD /"}), second.Commands());
}

// Lines left unread from one server must not be taken for the next server's greeting.
TEST(FtpLogonFailureTest, NewConnectionStartsWithoutOldReplyLines)
{
    CScriptedFtpServer first({"220 one\r\n", "230 in\r\n250 cwd\r\n200 stray\r\n"});
    CScriptedFtpServer second({"500 not ready\r\n"});
    CFtpClient client(5, 2048, true);
    ASSERT_TRUE(client.Login(CLogonInfo("127.0.0.1", first.Port(), "u", "", "")));
    // "200 stray" is still queued; the second server's 500 greeting must be the one read.
    EXPECT_FALSE(client.Login(CLogonInfo("127.0.0.1", second.Port(), "v", "", "")));
}

TEST(LogonInfoTest, DefaultsAndSettersKeepHostAndFirewallApart)
{
    CLogonInfo info;
    EXPECT_EQ("anonymous", info.Username());
    EXPECT_EQ(21, info.Hostport());
    EXPECT_EQ(21, info.FwPort());
    EXPECT_EQ(CFirewallType(0), info.FwType());

    info = CLogonInfo("h", 2121, "u", "p", "a", "fh", "fu", "fp", 8021, CFirewallType(6));
    info.SetHost("h2", 21, "u2", "p2", "a2");
    EXPECT_EQ("h2", info.Hostname());
    EXPECT_EQ("a2", info.Account());
    EXPECT_EQ("fh", info.FwHost());
    EXPECT_EQ("fp", info.FwPassword());
    EXPECT_EQ(8021, info.FwPort());
    EXPECT_EQ(CFirewallType(6), info.FwType());
}

TEST(FirewallTypeTest, NamesOfAllTypesInValueOrder)
{
    const Strings display = {"no firewall",
                             "SITE hostname",
                             "USER after logon",
                             "proxy OPEN",
                             "Transparent",
                             "USER with no logon",
                             "USER fireID@remotehost",
                             "USER remoteID@remotehost fireID",
                             "USER remoteID@fireID@remotehost"};
    const Strings names = {"NO_FIREWALL",
                           "SITE_HOSTNAME",
                           "USER_AFTER_LOGON",
                           "PROXY_OPEN",
                           "TRANSPARENT",
                           "USER_WITH_NO_LOGON",
                           "USER_FIREID@REMOTEHOST",
                           "USER_REMOTEID@REMOTEHOST_FIREID",
                           "USER_REMOTEID@FIREID@REMOTEHOST"};
    const auto all = CFirewallType::GetAllTypes();
    ASSERT_EQ(9u, all.size());
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(i, all[i].Value());
        EXPECT_EQ(display[i], all[i].AsDisplayString());
        EXPECT_EQ(names[i], all[i].AsEnumName());
    }
    for (int bad : {-1, 9, 100}) {
        EXPECT_EQ("", CFirewallType(bad).AsDisplayString());
        EXPECT_EQ("", CFirewallType(bad).AsEnumName());
    }
    EXPECT_TRUE(CFirewallType(1) < CFirewallType(2));
    EXPECT_NE(CFirewallType(1), CFirewallType(2));
}

} // namespace
