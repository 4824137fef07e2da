#include "net/ServerAddress.h"

#include <gtest/gtest.h>

namespace {

TEST(ServerAddress, DefaultIsCompiledInHostOnPort80)
{
    CServerAddress address = DefaultUpdateServer();
    EXPECT_FALSE(address.host.empty());
    EXPECT_EQ(80, address.port);
    EXPECT_EQ(address, SelectUpdateServer(nullptr));
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

TEST(ServerAddress, MalformedEnvironmentValueFallsBackToDefault)
{
    EXPECT_EQ((CServerAddress{"127.0.0.1", 8080}), SelectUpdateServer("127.0.0.1:8080"));
    EXPECT_EQ(DefaultUpdateServer(), SelectUpdateServer("127.0.0.1:99999"));
    EXPECT_EQ(DefaultUpdateServer(), SelectUpdateServer(""));
    EXPECT_EQ(DefaultUpdateServer(), SelectUpdateServer(":80"));
}

} // namespace
