#include "RecordingObserver.h"
#include "ScriptedFtpServer.h"
#include "Zum/ftp/FtpClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using nsFTP::CFtpClient;
using nsFTP::CLogonInfo;
using nsFTP::CRepresentation;
using nsFTP::RESULT_ERROR;
using nsFTP::RESULT_OK;
using nsFTP::RESULT_REJECTED;
using nsTest::CRecordingObserver;
using nsTest::CScriptedFtpServer;
using Strings = std::vector<std::string>;

class FtpClientTest : public ::testing::Test {
protected:
    // Logs on directly (greeting, USER, CWD /); after that the server answers with `replies`.
    void Start(const Strings& replies, unsigned int timeout = 5, unsigned int bufferSize = 2048)
    {
        Strings script = {"220 ready\r\n", "230 logged in\r\n", "250 in /\r\n"};
        script.insert(script.end(), replies.begin(), replies.end());
        server = std::make_unique<CScriptedFtpServer>(script);
        client = std::make_unique<CFtpClient>(timeout, bufferSize, true);
        client->AttachObserver(&observer);
        ASSERT_TRUE(client->Login(CLogonInfo("127.0.0.1", server->Port(), "user", "", "")));
        ASSERT_TRUE(client->IsConnected());
        observer.events.clear();
    }

    // The commands the server received after the logon.
    Strings Sent() const
    {
        Strings all = server->Commands();
        return Strings(all.begin() + 2, all.end());
    }

    CRecordingObserver observer;
    std::unique_ptr<CScriptedFtpServer> server;
    std::unique_ptr<CFtpClient> client;
};

TEST_F(FtpClientTest, OneLineReplyGivesItsFirstDigitAndTheLineWithoutItsEnd)
{
    Start({"230 fine\r\n"});
    ASSERT_TRUE(client->SendCommand("NOOP"));
    std::string text;
    int code = -1;
    ASSERT_TRUE(client->GetResponse(text, code));
    EXPECT_EQ(2, code);
    EXPECT_EQ("230 fine", text);
    EXPECT_EQ((Strings{"send:NOOP", "reply:230 fine"}), observer.events);
}

TEST_F(FtpClientTest, MultiLineReplyIsOneReplyWithEveryLineShown)
{
    Start({"230-first\r\n230-second\r\n230 last\r\n"});
    ASSERT_TRUE(client->SendCommand("NOOP"));
    std::string text;
    int code = -1;
    ASSERT_TRUE(client->GetResponse(text, code));
    EXPECT_EQ(2, code);
    EXPECT_EQ("230-first\r\n230-second\r\n230 last", text);
    EXPECT_EQ((Strings{"send:NOOP", "reply:230-first", "reply:230-second", "reply:230 last"}), observer.events);
}

TEST_F(FtpClientTest, LineWithAnotherNumberDoesNotEndAMultiLineReply)
{
    Start({"230-first\r\n231 not yet\r\n 230 indented\r\n230 end\r\n", "200 next\r\n"});
    ASSERT_TRUE(client->SendCommand("NOOP"));
    std::string text;
    int code = -1;
    ASSERT_TRUE(client->GetResponse(text, code));
    EXPECT_EQ("230-first\r\n231 not yet\r\n 230 indented\r\n230 end", text);
    // The next reply is untouched.
    EXPECT_EQ(RESULT_OK, client->Noop());
}

TEST_F(FtpClientTest, ReplyNotStartingWithADigitIsAnError)
{
    Start({"OK fine\r\n", "hello\r\n"});
    EXPECT_EQ(RESULT_ERROR, client->Noop());
    ASSERT_TRUE(client->SendCommand("NOOP"));
    int code = -1;
    ASSERT_TRUE(client->GetResponse(code));
    EXPECT_EQ(0, code);
    EXPECT_TRUE(client->IsConnected());
}

TEST_F(FtpClientTest, ReplyArrivingInPiecesIsReadAsOneLine)
{
    Start({std::string("20") + CScriptedFtpServer::kPause + "0 o" + CScriptedFtpServer::kPause + "k\r\n"});
    EXPECT_EQ(RESULT_OK, client->Noop());
    EXPECT_EQ((Strings{"send:NOOP", "reply:200 ok"}), observer.events);
}

TEST_F(FtpClientTest, RepliesLongerThanTheBufferAreReadWhole)
{
    Start({"214-The following commands are recognized.\r\n ABOR ACCT ALLO APPE CDUP CWD\r\n"
           "214 Help OK.\r\n"},
          5, 8);
    EXPECT_EQ(RESULT_OK, client->Help());
    EXPECT_EQ((Strings{"send:HELP", "reply:214-The following commands are recognized.",
                       "reply: ABOR ACCT ALLO APPE CDUP CWD", "reply:214 Help OK."}),
              observer.events);
}

TEST_F(FtpClientTest, ReplyFillingTheBufferExactlyDoesNotWaitForMore)
{
    const std::string reply = "200 abcdefghi\r\n"; // 15 bytes: all a 16-byte buffer takes
    ASSERT_EQ(15u, reply.size());
    Start({reply}, 5, 16);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RESULT_OK, client->Noop());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(client->IsConnected());
}

TEST_F(FtpClientTest, EndlessLineIsHandedOutOnceItIsLongEnough)
{
    Start({"200 " + std::string(100000, 'x') + "\r\n"}, 5, 8192);
    EXPECT_EQ(RESULT_OK, client->Noop());
    ASSERT_EQ(2u, observer.events.size());
    EXPECT_GE(observer.events[1].size(), 64u * 1024);
    EXPECT_LT(observer.events[1].size(), 100000u);
}

struct CommandCase {
    std::function<int(CFtpClient&)> operation;
    std::string command;
    std::string reply;
    int result;
};

TEST_F(FtpClientTest, EachCommandSendsItsTextAndMapsTheReply)
{
    const std::vector<CommandCase> cases = {
        {[](CFtpClient& c) { return c.ChangeWorkingDirectory("/pub"); }, "CWD /pub", "250 ok", RESULT_OK},
        {[](CFtpClient& c) { return c.ChangeToParentDirectory(); }, "CDUP", "200 ok", RESULT_OK},
        {[](CFtpClient& c) { return c.PrintWorkingDirectory(); }, "PWD", "257 \"/\"", RESULT_OK},
        {[](CFtpClient& c) { return c.System(); }, "SYST", "215 UNIX Type: L8", RESULT_OK},
        {[](CFtpClient& c) { return c.Noop(); }, "NOOP", "200 ok", RESULT_OK},
        {[](CFtpClient& c) { return c.MakeDirectory("new dir"); }, "MKD new dir", "257 made", RESULT_OK},
        {[](CFtpClient& c) { return c.Site("CHMOD 644 f"); }, "SITE CHMOD 644 f", "500 no", RESULT_REJECTED},
        {[](CFtpClient& c) { return c.Help(); }, "HELP", "214 help", RESULT_OK},
        {[](CFtpClient& c) { return c.Help("RETR"); }, "HELP RETR", "214 syntax", RESULT_OK},
        {[](CFtpClient& c) { return c.Delete("a file"); }, "DELE a file", "550 no", RESULT_REJECTED},
        {[](CFtpClient& c) { return c.RemoveDirectory("d"); }, "RMD d", "450 busy", RESULT_REJECTED},
        {[](CFtpClient& c) { return c.FileStructure(0); }, "STRU F", "200 ok", RESULT_OK},
        {[](CFtpClient& c) { return c.FileStructure(1); }, "STRU R", "504 no", RESULT_REJECTED},
        {[](CFtpClient& c) { return c.FileStructure(2); }, "STRU P", "200 ok", RESULT_OK},
        {[](CFtpClient& c) { return c.TransferMode(0); }, "MODE S", "200 ok", RESULT_OK},
        {[](CFtpClient& c) { return c.TransferMode(1); }, "MODE B", "200 ok", RESULT_OK},
        {[](CFtpClient& c) { return c.TransferMode(2); }, "MODE C", "504 no", RESULT_REJECTED},
        {[](CFtpClient& c) { return c.Status(); }, "STAT", "211 fine", RESULT_OK},
        {[](CFtpClient& c) { return c.Status("x y"); }, "STAT x y", "213 info", RESULT_OK},
        {[](CFtpClient& c) { return c.Allocate(100); }, "ALLO 100", "202 not needed", RESULT_OK},
        {[](CFtpClient& c) { return c.Allocate(100, 10); }, "ALLO 100 R 10", "200 ok", RESULT_OK},
        {[](CFtpClient& c) { return c.StructureMount("/mnt"); }, "SMNT /mnt", "332 account?", RESULT_ERROR},
        {[](CFtpClient& c) { return c.Noop(); }, "NOOP", "150 opening", RESULT_ERROR},
        {[](CFtpClient& c) { return c.RepresentationType(CRepresentation(CRepresentation::Type::Image)); }, "TYPE I",
         "200 binary", RESULT_OK},
    };
    Strings replies;
    for (const auto& c : cases) replies.push_back(c.reply + "\r\n");
    Start(replies);

    Strings expectedCommands;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(c.result, c.operation(*client));
        expectedCommands.push_back(c.command);
    }
    EXPECT_EQ(expectedCommands, Sent());
}

TEST_F(FtpClientTest, OutOfRangeStructureAndModeSendNothing)
{
    Start({});
    EXPECT_EQ(RESULT_ERROR, client->FileStructure(3));
    EXPECT_EQ(RESULT_ERROR, client->TransferMode(3));
    EXPECT_EQ(RESULT_ERROR, client->FileStructure(-1));
    EXPECT_EQ(RESULT_ERROR, client->TransferMode(-1));
    EXPECT_TRUE(observer.events.empty());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(FtpClientTest, RenameSendsRntoOnlyAfterA3xxReply)
{
    Start({"350 ready\r\n", "250 renamed\r\n",  // a -> b
           "550 no such file\r\n",              // c -> d
           "350 ready\r\n", "553 bad name\r\n", // e -> f
           "250 odd\r\n",                       // g -> h
           "350 ready\r\n", "150 odd\r\n"});    // i -> j
    EXPECT_EQ(RESULT_OK, client->Rename("a", "b"));
    EXPECT_EQ(RESULT_REJECTED, client->Rename("c", "d"));
    EXPECT_EQ(RESULT_REJECTED, client->Rename("e", "f"));
    EXPECT_EQ(RESULT_ERROR, client->Rename("g", "h"));
    EXPECT_EQ(RESULT_ERROR, client->Rename("i", "j"));
    EXPECT_EQ((Strings{"RNFR a", "RNTO b", "RNFR c", "RNFR e", "RNTO f", "RNFR g", "RNFR i", "RNTO j"}), Sent());
}

TEST_F(FtpClientTest, ReinitializeWaitsForTheReplyAfterA1xx)
{
    const char p = CScriptedFtpServer::kPause;
    Start({std::string("120 soon\r\n") + p + "220 ready\r\n", "220 ready\r\n", "350 what\r\n", "421 closing\r\n",
           std::string("120 soon\r\n") + p + "421 no\r\n"});
    EXPECT_EQ(RESULT_OK, client->Reinitialize());
    EXPECT_EQ(RESULT_OK, client->Reinitialize());
    EXPECT_EQ(RESULT_ERROR, client->Reinitialize());
    EXPECT_EQ(RESULT_REJECTED, client->Reinitialize());
    EXPECT_EQ(RESULT_ERROR, client->Reinitialize());
    EXPECT_EQ(Strings(5, "REIN"), Sent());
}

TEST_F(FtpClientTest, RepresentationIsKeptOnlyWhileTheServerHasIt)
{
    Start({"200 binary\r\n", "504 no\r\n", "220 reset\r\n", "200 binary\r\n"});
    EXPECT_EQ(nullptr, client->CurrentRepresentation());
    const CRepresentation image(CRepresentation::Type::Image);
    ASSERT_EQ(RESULT_OK, client->RepresentationType(image));
    ASSERT_NE(nullptr, client->CurrentRepresentation());
    EXPECT_TRUE(*client->CurrentRepresentation() == image);

    // A refused TYPE leaves the previous one in force.
    EXPECT_EQ(RESULT_REJECTED, client->RepresentationType(CRepresentation(CRepresentation::Type::Local, {}, 16)));
    EXPECT_TRUE(*client->CurrentRepresentation() == image);

    EXPECT_EQ(RESULT_OK, client->Reinitialize());
    EXPECT_EQ(nullptr, client->CurrentRepresentation());

    ASSERT_EQ(RESULT_OK, client->RepresentationType(image));
    EXPECT_EQ(RESULT_OK, client->Logout());
    EXPECT_EQ(nullptr, client->CurrentRepresentation());
    EXPECT_EQ((Strings{"TYPE I", "TYPE L 16", "REIN", "TYPE I", "QUIT"}), Sent());
}

TEST(RepresentationTest, TypeArguments)
{
    using T = CRepresentation::Type;
    using F = CRepresentation::Format;
    EXPECT_EQ("A", CRepresentation(T::Ascii).TypeArgument());
    EXPECT_EQ("A T", CRepresentation(T::Ascii, F::Telnet).TypeArgument());
    EXPECT_EQ("E C", CRepresentation(T::Ebcdic, F::CarriageControl).TypeArgument());
    EXPECT_EQ("I", CRepresentation(T::Image, F::Telnet).TypeArgument());
    EXPECT_EQ("L 36", CRepresentation(T::Local, F::NonPrint, 36).TypeArgument());
}

TEST_F(FtpClientTest, LogoutSendsQuitAndDisconnects)
{
    Start({});
    EXPECT_EQ(RESULT_OK, client->Logout());
    EXPECT_FALSE(client->IsConnected());
    EXPECT_EQ((Strings{"send:QUIT", "reply:221 Bye"}), observer.events);

    // Nothing more goes out once disconnected.
    EXPECT_EQ(RESULT_ERROR, client->Noop());
    EXPECT_EQ(RESULT_ERROR, client->Logout());
    EXPECT_EQ(Strings{"QUIT"}, Sent());
}

TEST_F(FtpClientTest, DestructorLogsOut)
{
    Start({});
    client.reset();
    EXPECT_EQ(Strings{"QUIT"}, Sent());
}

TEST_F(FtpClientTest, ServerClosingTheConnectionDisconnects)
{
    Start({CScriptedFtpServer::kHangUp});
    EXPECT_EQ(RESULT_ERROR, client->Noop());
    EXPECT_FALSE(client->IsConnected());
}

TEST_F(FtpClientTest, SilentServerTimesOutAndTheErrorIsReported)
{
    Start({""}, 1);
    EXPECT_EQ(RESULT_ERROR, client->Noop());
    EXPECT_FALSE(client->IsConnected());
    const Strings errors = observer.Errors();
    ASSERT_EQ(1u, errors.size());
    const std::string tail = " (Receive timeout error)";
    ASSERT_GE(errors[0].size(), tail.size());
    EXPECT_EQ(tail, errors[0].substr(errors[0].size() - tail.size()));
    EXPECT_EQ(".\\Zum\\ftp\\FtpClient", observer.errorFile);
}

TEST_F(FtpClientTest, ArgumentWithALineBreakIsRefusedWithoutSending)
{
    Start({"200 ok\r\n"});
    EXPECT_EQ(RESULT_ERROR, client->Delete("x\r\nRMD /"));
    EXPECT_EQ(RESULT_ERROR, client->ChangeWorkingDirectory("a\nb"));
    EXPECT_EQ((Strings{"error:Command contains a line break.", "error:Command contains a line break."}),
              observer.events);
    EXPECT_TRUE(client->IsConnected());
    EXPECT_EQ(RESULT_OK, client->Noop());
    EXPECT_EQ(Strings{"NOOP"}, Sent());
}

// Writes its name into a shared log, to show the order of notification.
class NamedObserver : public nsFTP::CTransferObserver {
public:
    NamedObserver(std::string name, Strings& log) : m_name(std::move(name)), m_log(log) {}
    void OnSendCommand(const std::string& command) override { m_log.push_back(m_name + ":" + command); }

private:
    std::string m_name;
    Strings& m_log;
};

TEST_F(FtpClientTest, ObserversAreToldInAddressOrderAndCanBeDetached)
{
    Start({"200 ok\r\n", "200 ok\r\n"});
    client->DetachObserver(&observer);
    Strings log;
    NamedObserver pair[2] = {{"low", log}, {"high", log}};
    client->AttachObserver(&pair[1]);
    client->AttachObserver(&pair[0]);
    client->AttachObserver(&pair[0]);
    client->AttachObserver(nullptr);
    EXPECT_EQ(2u, client->GetObservers().size());

    EXPECT_EQ(RESULT_OK, client->Noop());
    EXPECT_EQ((Strings{"low:NOOP", "high:NOOP"}), log);

    client->DetachObserver(&pair[0]);
    client->DetachObserver(nullptr);
    EXPECT_EQ(RESULT_OK, client->Noop());
    EXPECT_EQ((Strings{"low:NOOP", "high:NOOP", "high:NOOP"}), log);
    client->DetachObserver(&pair[1]);
    EXPECT_TRUE(client->GetObservers().empty());
}

TEST(FtpClientSettingsTest, TooSmallBufferIsEnlargedToHoldAByteAndItsTerminator)
{
    EXPECT_EQ(2048u, CFtpClient(10, 2048, true).BufferSize());
    EXPECT_EQ(2u, CFtpClient(1, 0, false).BufferSize());
}

TEST(FtpClientSettingsTest, CommandsWithoutAConnectionFailQuietly)
{
    CFtpClient client(1, 64, false);
    CRecordingObserver observer;
    client.AttachObserver(&observer);
    EXPECT_FALSE(client.SendCommand("NOOP"));
    int code = 0;
    EXPECT_FALSE(client.GetResponse(code));
    EXPECT_EQ(RESULT_ERROR, client.Noop());
    EXPECT_EQ(RESULT_ERROR, client.Logout());
    EXPECT_TRUE(observer.events.empty());
}

} // namespace
