#include "LoopbackPair.h"
#include "Zum/ftp/HeaderLineSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using nsSocket::CBlockingSocketException;
using nsTest::CLoopbackPair;

void Send(CLoopbackPair& pair, const std::string& text)
{
    ASSERT_EQ(static_cast<int>(text.size()), pair.writer.Write(text.data(), static_cast<int>(text.size()), 2));
}

// Loopback delivers a small write at once; a short pause makes sure it is all there.
void LetItArrive()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

std::string ReadLine(CLoopbackPair& pair, int size = 200, unsigned int seconds = 2)
{
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '#');
    const int length = pair.reader.ReadHeaderLine(buffer.data(), size, seconds);
    EXPECT_EQ('\0', buffer[static_cast<size_t>(length)]);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string ThrownText(CLoopbackPair& pair, unsigned int seconds)
{
    char buffer[64];
    try {
        pair.reader.ReadHeaderLine(buffer, sizeof buffer, seconds);
    } catch (const CBlockingSocketException& e) {
        return e.Message();
    }
    return "no exception";
}

TEST(HeaderLineSocketTest, LineEndsAfterTheLineFeedAndTheRestWaits)
{
    CLoopbackPair pair;
    Send(pair, "abc\r\nefgh");
    EXPECT_EQ("abc\r\n", ReadLine(pair));
    EXPECT_EQ(4, pair.reader.HeldBytes());
    Send(pair, "\n");
    EXPECT_EQ("efgh\n", ReadLine(pair));
    EXPECT_EQ(0, pair.reader.HeldBytes());
}

TEST(HeaderLineSocketTest, HeldLinesAreServedWithoutReceiving)
{
    CLoopbackPair pair;
    Send(pair, "one\ntwo\nthree\n");
    LetItArrive();
    EXPECT_EQ("one\n", ReadLine(pair, 200, 1));
    EXPECT_EQ("two\n", ReadLine(pair, 200, 1));
    EXPECT_EQ("three\n", ReadLine(pair, 200, 1));
    EXPECT_EQ("Receive timeout", ThrownText(pair, 1));
}

TEST(HeaderLineSocketTest, LineArrivingInPiecesIsJoined)
{
    CLoopbackPair pair;
    std::thread sender([&] {
        Send(pair, "22");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Send(pair, "0 ready\r\n");
    });
    EXPECT_EQ("220 ready\r\n", ReadLine(pair));
    sender.join();
}

TEST(HeaderLineSocketTest, LongLineIsCutAndItsRestKept)
{
    CLoopbackPair pair;
    Send(pair, "abcdefgh\nnext\n");
    EXPECT_EQ("abcd", ReadLine(pair, 5));
    EXPECT_EQ("efgh\n", ReadLine(pair));
    EXPECT_EQ("next\n", ReadLine(pair));
}

TEST(HeaderLineSocketTest, FullBufferWithoutLineFeedFailsOnceMoreDataIsReadable)
{
    CLoopbackPair pair;
    Send(pair, std::string(1000, 'x') + "y");
    EXPECT_EQ("ReadHeaderLine", ThrownText(pair, 2));
}

TEST(HeaderLineSocketTest, FullBufferWithoutLineFeedTimesOutWhenNothingFollows)
{
    CLoopbackPair pair;
    Send(pair, std::string(1000, 'x'));
    EXPECT_EQ("Receive timeout", ThrownText(pair, 1));
    EXPECT_EQ(1000, pair.reader.HeldBytes());
}

TEST(HeaderLineSocketTest, PeerClosingBeforeTheLineEndsFails)
{
    CLoopbackPair pair;
    Send(pair, "unfinished");
    pair.writer.Close();
    EXPECT_EQ("ReadHeaderLine", ThrownText(pair, 2));
}

// "head\n" and 300 more bytes are received together; the 300 stay held after the line.
void HoldThreeHundred(CLoopbackPair& pair, std::string& held)
{
    held.clear();
    for (int i = 0; i < 300; ++i) held += static_cast<char>('a' + i % 26);
    Send(pair, "head\n" + held);
    LetItArrive();
    EXPECT_EQ("head\n", ReadLine(pair));
    ASSERT_EQ(300, pair.reader.HeldBytes());
}

TEST(HeaderLineSocketTest, ReadBlockStartsWithTheHeldBytes)
{
    CLoopbackPair pair;
    std::string expected;
    HoldThreeHundred(pair, expected);
    std::string more(2200, '\0');
    for (size_t i = 0; i < more.size(); ++i) more[i] = static_cast<char>(i % 251);
    Send(pair, more);
    Send(pair, "beyond the block");
    expected += more;

    std::vector<char> buffer(2500);
    ASSERT_EQ(2500, pair.reader.ReadBlock(buffer.data(), 2500, 2));
    EXPECT_EQ(expected, std::string(buffer.data(), buffer.size()));
}

TEST(HeaderLineSocketTest, ReadBlockEndsWhenThePeerCloses)
{
    CLoopbackPair pair;
    std::string expected;
    HoldThreeHundred(pair, expected);
    Send(pair, "tail");
    pair.writer.Close();
    expected += "tail";

    std::vector<char> buffer(2500);
    ASSERT_EQ(304, pair.reader.ReadBlock(buffer.data(), 2500, 2));
    EXPECT_EQ(expected, std::string(buffer.data(), 304));
}

TEST(HeaderLineSocketTest, ReadBlockSmallerThanTheHeldBytesKeepsTheRest)
{
    CLoopbackPair pair;
    std::string held;
    HoldThreeHundred(pair, held);

    char buffer[100];
    ASSERT_EQ(100, pair.reader.ReadBlock(buffer, sizeof buffer, 1));
    EXPECT_EQ(held.substr(0, 100), std::string(buffer, 100));
    EXPECT_EQ(200, pair.reader.HeldBytes());
    ASSERT_EQ(100, pair.reader.ReadBlock(buffer, sizeof buffer, 1));
    EXPECT_EQ(held.substr(100, 100), std::string(buffer, 100));
}

} // namespace
