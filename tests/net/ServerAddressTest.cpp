#include "net/ServerAddress.h"

#include <gtest/gtest.h>

namespace {

TEST(ServerAddress, DefaultIsCompiledInHostOnPort80)
{
    CServerAddress address = DefaultUpdateServer();
    EXPECT_FALSE(address.host.empty());
    EXPECT_EQ(80, address.port);
    CServerAddress selected{"before", 1};
    EXPECT_TRUE(SelectUpdateServer(nullptr, selected));
    EXPECT_EQ(address, selected);
}

struct AddressCase {
    const char* text;
    bool valid;
    const char* host;
    unsigned short port;
};

TEST(ServerAddress, ParsesHostAndOptionalPort)
{
    const AddressCase cases[] = {
        {"127.0.0.1", true, "127.0.0.1", 80},
        {"127.0.0.1:8080", true, "127.0.0.1", 8080},
        {"update.example.test:1", true, "update.example.test", 1},
        {"my-host_2:65535", true, "my-host_2", 65535},
        {"localhost:00080", true, "localhost", 80},
        {"", false, "", 0},
        {":8080", false, "", 0},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:123456", false, "", 0},
        {"host:80x", false, "", 0},
        {"host:-1", false, "", 0},
        {"host: 80", false, "", 0},
        {"host:80:90", false, "", 0},
        {" host", false, "", 0},
        {"http://host", false, "", 0},
        {"host/path", false, "", 0},
    };
    for (const auto& c : cases) {
        CServerAddress address{"before", 1234};
        EXPECT_EQ(c.valid, ParseServerAddress(c.text, address)) << c.text;
        if (c.valid) {
            EXPECT_EQ(c.host, address.host) << c.text;
            EXPECT_EQ(c.port, address.port) << c.text;
        } else {
            EXPECT_EQ((CServerAddress{"before", 1234}), address) << c.text;
        }
    }
}

struct UpdateServerCase {
    const char* text;
    bool valid;
    CServerAddress address;
};

TEST(ServerAddress, UpdateServerIsBareHostOrHttpOrHttpsAddress)
{
    const UpdateServerCase cases[] = {
        {"127.0.0.1:8080", true, {"127.0.0.1", 8080, false}},
        {"update.example/", true, {"update.example", 80, false}},
        {"http://update.example", true, {"update.example", 80, false}},
        {"https://update.example", true, {"update.example", 443, true}},
        {"HTTPS://localhost:8443/", true, {"localhost", 8443, true}},
        {"https://localhost:8443/update/", false, {}},
        {"https://", false, {}},
        {"https://:443", false, {}},
        {"https://host:0", false, {}},
        {"ftp://host", false, {}},
        {"https//host", false, {}},
        {"127.0.0.1:99999", false, {}},
        {"", false, {}},
        {":80", false, {}},
    };
    for (const auto& c : cases) {
        const CServerAddress before{"before", 1234, false};
        CServerAddress address = before;
        EXPECT_EQ(c.valid, SelectUpdateServer(c.text, address)) << c.text;
        // A value that does not parse never turns into another server, the compiled-in one included.
        EXPECT_EQ(c.valid ? c.address : before, address) << c.text;
    }
    EXPECT_EQ("https://localhost:8443", ServerAddressText({"localhost", 8443, true}));
    EXPECT_EQ("127.0.0.1:80", ServerAddressText({"127.0.0.1", 80, false}));
}

} // namespace
