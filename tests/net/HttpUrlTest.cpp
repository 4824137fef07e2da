#include "net/HttpUrl.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpUrl, Parses)
{
    const struct {
        const char* url;
        bool valid;
        const char* host;
        unsigned short port;
        const char* object;
        bool secure = false;
    } cases[] = {
        {"http://127.0.0.1/update/a.txt", true, "127.0.0.1", 80, "/update/a.txt"},
        {"http://127.0.0.1:8080/update/a.txt", true, "127.0.0.1", 8080, "/update/a.txt"},
        {"HTTP://Host.Example/x?y=1", true, "Host.Example", 80, "/x?y=1"},
        {"http://host", true, "host", 80, "/"},
        {"http://host:81", true, "host", 81, "/"},
        {"http://host?q", true, "host", 80, "/?q"},
        {"http://host/a#frag", true, "host", 80, "/a"},
        {"/update/relative.txt", false, "", 0, ""},
        {"https://host/a", true, "host", 443, "/a", true},
        {"HTTPS://host:8443", true, "host", 8443, "/", true},
        {"https:/host/a", false, "", 0, ""},
        {"ftp://host/a", false, "", 0, ""},
        {"http://", false, "", 0, ""},
        {"http:///a", false, "", 0, ""},
        {"http://host:/a", false, "", 0, ""},
        {"http://host:0/a", false, "", 0, ""},
        {"http://host:70000/a", false, "", 0, ""},
        {"http://user:pw@host/a", false, "", 0, ""},
        {"http://host/a b", false, "", 0, ""},
        {"", false, "", 0, ""},
    };
    for (const auto& c : cases) {
        CHttpUrl url;
        EXPECT_EQ(c.valid, ParseHttpUrl(c.url, url)) << c.url;
        if (!c.valid) continue;
        EXPECT_EQ(c.host, url.host) << c.url;
        EXPECT_EQ(c.port, url.port) << c.url;
        EXPECT_EQ(c.object, url.object) << c.url;
        EXPECT_EQ(c.secure, url.secure) << c.url;
    }
}

TEST(HttpUrl, EscapesEveryReservedByteOfARequestPathAndKeepsKoreanBytes)
{
    const struct {
        const char* path;
        const char* request;
    } cases[] = {
        {"/update/Nuvra/doc/readme.txt", "/update/Nuvra/doc/readme.txt"},
        {"/update/Nuvra/a b#1%2?.txt", "/update/Nuvra/a%20b%231%252%3F.txt"},
        {"/update/Nuvra/x&y=z+w;v@u!(1)'$*,[]{}^`",
         "/update/Nuvra/x%26y%3Dz%2Bw%3Bv%40u%21%281%29%27%24%2A%2C%5B%5D%7B%7D%5E%60"},
        {"/update/Nuvra/\xb0\xf8\xc1\xf6 1.txt", "/update/Nuvra/\xb0\xf8\xc1\xf6%201.txt"},
        {"/update/~a-b_c.d/E9", "/update/~a-b_c.d/E9"},
        {"/update/\x7f\x01", "/update/%7F%01"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.request, EscapeRequestPath(c.path)) << c.path;
}

} // namespace
