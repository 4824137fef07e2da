// The application starts Winsock once at start-up; test programs must do it themselves.
#ifdef _WIN32
#include <winsock2.h>

#include <gtest/gtest.h>

namespace {

class WinsockEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        WSADATA data;
        ASSERT_EQ(0, ::WSAStartup(MAKEWORD(2, 2), &data));
    }
    void TearDown() override { ::WSACleanup(); }
};

::testing::Environment* const kWinsock = ::testing::AddGlobalTestEnvironment(new WinsockEnvironment);

} // namespace
#endif
