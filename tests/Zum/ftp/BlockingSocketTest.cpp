#include "LoopbackPair.h"
#include "Zum/ftp/BlockingSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
constexpr int kRefused = 10061; // WSAECONNREFUSED
#else
#include <cerrno>
constexpr int kRefused = ECONNREFUSED;
#endif

namespace {

using nsSocket::CBlockingSocket;
using nsSocket::CBlockingSocketException;
using nsSocket::CSocketAddress;
using nsTest::CLoopbackPair;
using Clock = std::chrono::steady_clock;

std::string ErrorMessage(const CBlockingSocketException& e, unsigned int maximum = 200)
{
    std::vector<char> buffer(maximum + 1, '#');
    EXPECT_TRUE(e.GetErrorMessage(buffer.data(), maximum));
    return buffer.data();
}

TEST(SocketAddressTest, IsASockaddrInInNetworkOrder)
{
    static_assert(sizeof(CSocketAddress) == 16, "");
    const CSocketAddress none;
    EXPECT_EQ(AF_INET, none.sin_family);
    EXPECT_EQ(0, none.Port());
    EXPECT_EQ(0u, none.Address());

    const CSocketAddress numeric(0x7f000001u, 2121);
    EXPECT_EQ(htons(2121), numeric.sin_port);
    EXPECT_EQ(htonl(0x7f000001u), numeric.sin_addr.s_addr);
    EXPECT_EQ("127.0.0.1", numeric.AddressText());
    EXPECT_EQ(2121, numeric.Port());
    const char zeros[8] = {};
    EXPECT_EQ(0, std::memcmp(zeros, numeric.sin_zero, sizeof zeros));

    const CSocketAddress dotted("10.1.2.3", 80);
    EXPECT_EQ(0x0a010203u, dotted.Address());
    EXPECT_EQ("10.1.2.3", dotted.AddressText());
    EXPECT_EQ(80, dotted.Port());
}

TEST(BlockingSocketExceptionTest, ErrorMessageForms)
{
    struct Case {
        const char* message;
        int error;
        unsigned int maximum;
        const char* expected;
    } cases[] = {
        {"Connect", 10061, 100, "Connect error 0x274d"},
        {"Connect", 111, 100, "Connect error 0x6f"},
        {"Receive timeout", 0, 100, "Receive timeout error"},
        {"Send", -1, 100, "Send error 0xffffffff"},
        {"Connect", 10061, 10, "Connect e"},
        {"Connect", 10061, 21, "Connect error 0x274d"},
        {"Connect", 10061, 20, "Connect error 0x274"},
        {"Close", 0, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const CBlockingSocketException e(c.message, c.error);
        unsigned int helpContext = 1234;
        char buffer[128];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_TRUE(e.GetErrorMessage(buffer, c.maximum, &helpContext));
        EXPECT_STREQ(c.expected, buffer);
        EXPECT_EQ(1234u, helpContext);
    }
}

TEST(BlockingSocketExceptionTest, NothingIsWrittenWithoutRoom)
{
    const CBlockingSocketException e("Bind", 5);
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_FALSE(e.GetErrorMessage(buffer, 0));
    EXPECT_EQ('#', buffer[0]);
    EXPECT_FALSE(e.GetErrorMessage(nullptr, 10));
}

TEST(BlockingSocketExceptionTest, ErrorTextIsSystemTextThenTheMessageForm)
{
    const CBlockingSocketException refused("Connect", kRefused);
    const std::string text = refused.GetErrorText();
    const std::string tail = " (" + std::string(refused.what()) + ")";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(tail, text.substr(text.size() - tail.size()));

    const CBlockingSocketException timeout("Receive timeout", 0);
    const std::string timeoutText = timeout.GetErrorText();
    EXPECT_NE(std::string::npos, timeoutText.find(" (Receive timeout error)"));
}

TEST(BlockingSocketTest, ReceiveTimesOutAfterTheGivenSeconds)
{
    CLoopbackPair pair;
    char buffer[16];
    const auto start = Clock::now();
    try {
        pair.reader.Receive(buffer, sizeof buffer, 1);
        FAIL() << "no exception";
    } catch (const CBlockingSocketException& e) {
        EXPECT_EQ("Receive timeout", e.Message());
        EXPECT_EQ(0, e.Error());
        EXPECT_EQ("Receive timeout error", ErrorMessage(e));
    }
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(5));
}

TEST(BlockingSocketTest, ReceiveReturnsZeroWhenThePeerCloses)
{
    CLoopbackPair pair;
    pair.writer.Close();
    char buffer[16];
    EXPECT_EQ(0, pair.reader.Receive(buffer, sizeof buffer, 2));
}

TEST(BlockingSocketTest, WriteOfNothingReturnsZeroAndSendsNoData)
{
    CLoopbackPair pair;
    EXPECT_EQ(0, pair.writer.Write("", 0, 2));
    EXPECT_EQ(1, pair.writer.Write("x", 1, 2));
    char buffer[16];
    ASSERT_EQ(1, pair.reader.Receive(buffer, sizeof buffer, 2));
    EXPECT_EQ('x', buffer[0]);
}

TEST(BlockingSocketTest, WriteDeliversEveryByteOfALargeBlock)
{
    CLoopbackPair pair;
    std::vector<char> data(4 * 1024 * 1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 4096);

    std::vector<char> received;
    std::thread readerThread([&] {
        try {
            char chunk[65536];
            for (;;) {
                const int n = pair.reader.Receive(chunk, sizeof chunk, 10);
                if (n <= 0) break;
                received.insert(received.end(), chunk, chunk + n);
            }
        } catch (const CBlockingSocketException&) {
        }
    });
    int written = -1;
    try {
        written = pair.writer.Write(data.data(), static_cast<int>(data.size()), 10);
        pair.writer.Close();
    } catch (const CBlockingSocketException& e) {
        ADD_FAILURE() << e.what();
        pair.writer.Cleanup();
    }
    readerThread.join();
    EXPECT_EQ(static_cast<int>(data.size()), written);
    EXPECT_TRUE(received == data);
}

TEST(BlockingSocketTest, SendingToAClosedPeerThrowsSend)
{
    CLoopbackPair pair;
    pair.reader.Close();
    const std::vector<char> chunk(65536, 'z');
    std::string message;
    for (int i = 0; i < 200 && message.empty(); ++i) {
        try {
            pair.writer.Write(chunk.data(), static_cast<int>(chunk.size()), 2);
        } catch (const CBlockingSocketException& e) {
            message = e.Message();
        }
    }
    EXPECT_EQ("Send", message);
}

TEST(BlockingSocketTest, CloseAndCleanupOnAnEmptyObject)
{
    CBlockingSocket socket;
    EXPECT_EQ(0u, static_cast<unsigned long long>(socket.Handle()));
    EXPECT_NO_THROW(socket.Close());
    EXPECT_EQ(0u, static_cast<unsigned long long>(socket.Handle()));
    EXPECT_NO_THROW(socket.Cleanup());
    EXPECT_EQ(0u, static_cast<unsigned long long>(socket.Handle()));
}

TEST(BlockingSocketTest, FailedCreateLeavesTheInvalidHandleUntilCleanup)
{
    CBlockingSocket socket;
    try {
        socket.Create(12345);
        FAIL() << "no exception";
    } catch (const CBlockingSocketException& e) {
        EXPECT_EQ("Create", e.Message());
        EXPECT_NE(0, e.Error());
    }
    EXPECT_TRUE(socket.Handle() == nsSocket::platform::InvalidHandle());
    socket.Cleanup();
    EXPECT_EQ(0u, static_cast<unsigned long long>(socket.Handle()));
}

TEST(BlockingSocketTest, RefusedConnectionNamesConnectAndTheCode)
{
    const unsigned short port = nsTest::UnusedLoopbackPort();
    CBlockingSocket socket;
    socket.Create(SOCK_STREAM);
    try {
        socket.Connect(CSocketAddress("127.0.0.1", port));
        FAIL() << "connected to a port nobody listens on";
    } catch (const CBlockingSocketException& e) {
        EXPECT_EQ("Connect", e.Message());
        EXPECT_EQ(kRefused, e.Error());
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", kRefused);
        EXPECT_EQ(std::string("Connect error 0x") + hex, ErrorMessage(e));
        const std::string text = e.GetErrorText();
        const size_t at = text.find(" (Connect error 0x");
        EXPECT_NE(std::string::npos, at) << text;
        EXPECT_GT(at, 0u) << "system text missing: " << text;
    }
    // A failed connect leaves the socket for its owner to clean up.
    EXPECT_NE(0u, static_cast<unsigned long long>(socket.Handle()));
    socket.Cleanup();
}

TEST(BlockingSocketTest, AcceptedSocketKnowsItsPeer)
{
    CLoopbackPair pair;
    CSocketAddress writerName, readerPeer;
    pair.writer.GetSockName(writerName);
    pair.reader.GetPeerName(readerPeer);
    EXPECT_EQ("127.0.0.1", readerPeer.AddressText());
    EXPECT_EQ(writerName.Port(), readerPeer.Port());
}

TEST(BlockingSocketTest, DatagramsCarryTheSenderAddress)
{
    CBlockingSocket receiver, sender;
    receiver.Create(SOCK_DGRAM);
    receiver.Bind(CSocketAddress("127.0.0.1", 0));
    CSocketAddress receiverAddress;
    receiver.GetSockName(receiverAddress);
    sender.Create(SOCK_DGRAM);
    sender.Bind(CSocketAddress("127.0.0.1", 0));
    CSocketAddress senderAddress;
    sender.GetSockName(senderAddress);

    EXPECT_EQ(5, sender.SendDatagram("hello", 5, receiverAddress, 2));
    char buffer[32];
    CSocketAddress from;
    ASSERT_EQ(5, receiver.ReceiveDatagram(buffer, sizeof buffer, from, 2));
    EXPECT_EQ("hello", std::string(buffer, 5));
    EXPECT_EQ(senderAddress.Port(), from.Port());
    EXPECT_EQ("127.0.0.1", from.AddressText());

    try {
        receiver.ReceiveDatagram(buffer, sizeof buffer, from, 1);
        FAIL() << "no exception";
    } catch (const CBlockingSocketException& e) {
        EXPECT_EQ("Receive timeout", e.Message());
    }
}

TEST(BlockingSocketTest, GetHostByNameTakesDottedAddressesAndThePort)
{
    const CSocketAddress address = CBlockingSocket::GetHostByName("127.0.0.1", 2121);
    EXPECT_EQ(AF_INET, address.sin_family);
    EXPECT_EQ("127.0.0.1", address.AddressText());
    EXPECT_EQ(2121, address.Port());
}

TEST(BlockingSocketTest, MovingHandsTheSocketOver)
{
    CLoopbackPair pair;
    CBlockingSocket moved(std::move(pair.writer));
    EXPECT_EQ(0u, static_cast<unsigned long long>(pair.writer.Handle()));
    EXPECT_EQ(2, moved.Write("ok", 2, 2));
    char buffer[4];
    EXPECT_EQ(2, pair.reader.Receive(buffer, sizeof buffer, 2));
}

} // namespace
