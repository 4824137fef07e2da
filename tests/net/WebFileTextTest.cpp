#include "net/WebFileText.h"

#include <gtest/gtest.h>

namespace {

TEST(WebFileText, StatusTexts)
{
    const struct {
        unsigned long status;
        const char* text; // null: the hook is not called
    } cases[] = {
        {10, "Resolving name update.example.test"},
        {11, "Name resolved update.example.test"},
        {20, "Connecting to socket address"},
        {21, "Connected to socket address"},
        {30, "Sending request"},
        {31, "Request sent"},
        {40, nullptr},
        {41, "Response received"},
        {50, "Closing the connection to the server"},
        {51, "Connection to the server closed"},
        {60, "Handle created"},
        {70, nullptr},
        {100, "Request complete"},
        {110, "Being redirected"},
        {120, "Unknown status: 120"},
        {0, "Unknown status: 0"},
    };
    for (const auto& c : cases) {
        auto text = FormatInternetStatus(c.status, "update.example.test");
        if (c.text) {
            ASSERT_TRUE(text.has_value()) << c.status;
            EXPECT_EQ(c.text, *text);
        } else {
            EXPECT_FALSE(text.has_value()) << c.status;
        }
    }
}

TEST(WebFileText, RedirectLocation)
{
    const struct {
        const char* headers;
        const char* location; // null: none found
    } cases[] = {
        {"HTTP/1.1 302 Found\r\nLocation: http://h/a.txt\r\nContent-Length: 0\r\n\r\n", "http://h/a.txt"},
        {"HTTP/1.1 301 Moved\r\nContent-Length: 0\r\nLocation: http://h:81/x\r\n\r\n", "http://h:81/x"},
        {"HTTP/1.1 302 Found\r\nLocation: http://h/last", "http://h/last"},
        {"HTTP/1.1 302 Found\r\nlocation: http://h/lower\r\n\r\n", "http://h/lower"},
        {"HTTP/1.1 302 Found\r\nLocation: \r\n\r\n", ""},
        {"HTTP/1.1 302 Found\r\nContent-Location: http://h/not-this\r\n\r\n", nullptr},
        {"HTTP/1.1 302 Found\r\nLocation:http://h/no-blank\r\n\r\n", nullptr},
        {"HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        auto location = FindRedirectLocation(c.headers);
        if (c.location) {
            ASSERT_TRUE(location.has_value()) << c.headers;
            EXPECT_EQ(c.location, *location);
        } else {
            EXPECT_FALSE(location.has_value()) << c.headers;
        }
    }
}

TEST(WebFileText, ReportedLengthIsLow32Bits)
{
    EXPECT_EQ(0, ReportedLengthResult("0"));
    EXPECT_EQ(12, ReportedLengthResult("12"));
    EXPECT_EQ(268435456, ReportedLengthResult("268435456"));
    EXPECT_EQ(5, ReportedLengthResult("4294967301")); // 4 GiB + 5
    EXPECT_EQ(0, ReportedLengthResult(""));           // no length reported
    EXPECT_EQ(0, ReportedLengthResult("twelve"));
}

TEST(WebFileText, BodyIsCompleteOnlyWithAnnouncedLength)
{
    EXPECT_TRUE(IsCompleteBody("12", 12));
    EXPECT_FALSE(IsCompleteBody("12", 7));
    EXPECT_FALSE(IsCompleteBody("12", 13));
    EXPECT_TRUE(IsCompleteBody("0", 0));
    EXPECT_TRUE(IsCompleteBody("", 7)); // chunked or ended by closing: nothing to compare with
    EXPECT_TRUE(IsCompleteBody("5000000000", 5000000000ULL));
}

TEST(WebFileText, AnnouncedLengthMustBeTheListedSizeAndWithinTheBound)
{
    struct {
        const char* contentLength;
        long long expected;
        long long limit;
        bool agrees;
    } cases[] = {
        {"12", 12, -1, true},
        {"13", 12, -1, false},
        {"11", 12, -1, false},
        {"", 12, -1, true},
        {"x", 12, -1, true},
        {"16777216", -1, 16777216, true},
        {"16777217", -1, 16777216, false},
        {"52428800", -1, 16777216, false},
        {"5000000000", 5000000000LL, -1, true},
        {"7", -1, -1, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.agrees, AnnouncedLengthAgrees(c.contentLength, c.expected, c.limit))
            << c.contentLength << " " << c.expected << " " << c.limit;
}

TEST(WebFileText, OnlyAnIdentityOrAbsentEncodingLeavesTheLengthUsable)
{
    for (const char* coding : {"gzip", "GZIP", " deflate ", "br"}) EXPECT_TRUE(IsEncodedBody(coding)) << coding;
    for (const char* coding : {"", "  ", "identity", "Identity\r\n"}) EXPECT_FALSE(IsEncodedBody(coding)) << coding;
}

} // namespace
