// The real program against an HTTPS update server: a TLS front on the test server whose CA this
// suite's Wine prefix alone trusts.
#include "tests/e2e/E2EFixture.h"
#include "tests/support/TlsRelay.h"

namespace {

const char kTitle[] = "Morvel Nuvra";

// The exit codes the README lists.
enum : long { kDone = 0, kFailed = 1, kBadServer = 7 };

class Https : public E2EFixture {
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        ASSERT_TRUE(CTlsRelay::TrustTestAuthority());
    }

    // Points the program at a TLS front with this certificate.
    void ServeOverTls(CTlsRelay::ECertificate certificate)
    {
        m_relay = std::make_unique<CTlsRelay>(Server().Port(), certificate);
        ASSERT_TRUE(m_relay->Started());
        SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", m_relay->Address().c_str());
    }

    std::vector<CReleaseFile> Release(const std::string& version) const
    {
        return Sized(
            Hashed({SampleProduct(version), {"doc", "readme.txt", "Morvel Nuvra " + version + "\n", version}}));
    }
    std::string ProductDir() const { return Work("inst\\Nuvra"); }
    std::string LogPath() const { return Work("run.log"); }
    std::string Log() const { return ReadFile(LogPath()); }
    long Install() { return RunToExit("/S /NOSHORTCUTS /LOG=" + LogPath() + " /D=" + Work("inst")); }

    std::unique_ptr<CTlsRelay> m_relay;
};

TEST_F(Https, InstallsAndUpdatesOverHttps)
{
    ServeOverTls(CTlsRelay::ECertificate::Good);
    Publish(kTitle, "1.0.0", Release("1.0.0"));
    EXPECT_EQ(kDone, Install());
    EXPECT_EQ("Morvel Nuvra 1.0.0\n", ReadFile(ProductDir() + "\\doc\\readme.txt"));
    EXPECT_NE(std::string::npos,
              Log().find("server " + m_relay->Address() +
                         ", lists not verified (no release key), "
                         "over HTTPS"))
        << Log();
    // The product writes its record at its first start; the update needs it.
    for (int i = 0; i < 150 && ReadRecord("Nuvra", "_sys_version") == "<missing>"; ++i) Sleep(100);

    Publish(kTitle, "1.1.0", Release("1.1.0"));
    m_driver = std::make_unique<CUpdaterDriver>();
    EXPECT_EQ(kDone, RunToExit("-u /S"));
    EXPECT_EQ("Morvel Nuvra 1.1.0\n", ReadFile(ProductDir() + "\\doc\\readme.txt"));
    EXPECT_EQ("1.1.0", ReadRecord("Nuvra", "_sys_version"));
}

// The fetcher's tests go through every certificate Windows refuses; here, that the run ends so.
TEST_F(Https, CertificateWindowsRefusesEndsTheRunBeforeAnyRequest)
{
    ServeOverTls(CTlsRelay::ECertificate::WrongName);
    Publish(kTitle, "1.0.0", Release("1.0.0"));
    EXPECT_EQ(kFailed, Install());
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_TRUE(RequestPaths().empty());
    EXPECT_NE(std::string::npos, Log().find("issued for another name")) << Log();
    EXPECT_FALSE(FileExists(ProductDir()));
}

// A mistyped staging address never turns into the compiled-in server (the address forms are the
// parser's tests).
TEST_F(Https, UnparsableServerEndsTheRunInsteadOfAskingAnother)
{
    SetEnvironmentVariableA("NUVRA_UPDATE_SERVER", "https://localhost/update/");
    EXPECT_EQ(kBadServer, Install());
    EXPECT_TRUE(Driver().Shown().empty());
    EXPECT_NE(std::string::npos, Log().find("NUVRA_UPDATE_SERVER \"https://localhost/update/\" is no update server"))
        << Log();
    EXPECT_TRUE(RequestPaths().empty());
    EXPECT_FALSE(FileExists(ProductDir()));
}

} // namespace
