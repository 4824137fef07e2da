#pragma once
// An HTTPS front for a test HTTP server: tests/support/tls_relay.py, started under Wine as a Linux
// process, listens on 127.0.0.1 with one of the test certificates (all for "localhost", the name
// Wine can check) and passes the decrypted bytes to the server. The test CA is trusted only in
// the prefix of the suite that calls TrustTestAuthority.
#include <string>

class CTlsRelay {
public:
    enum class ECertificate { Good, Expired, WrongName, Untrusted };

    // Starts the relay in front of 127.0.0.1:backendPort and waits until it listens.
    CTlsRelay(unsigned short backendPort, ECertificate certificate);
    // Removes the stop file: the relay ends within a fraction of a second.
    ~CTlsRelay();
    CTlsRelay(const CTlsRelay&) = delete;
    CTlsRelay& operator=(const CTlsRelay&) = delete;

    bool Started() const { return m_port != 0; }
    unsigned short Port() const { return m_port; }
    // "https://localhost:<port>", as NUVRA_UPDATE_SERVER takes it.
    std::string Address() const;

    // Adds the test CA to the current user's Root store of this Wine prefix. False on failure.
    static bool TrustTestAuthority();

private:
    std::string m_portFile; // Windows paths (drive Z:) of the files the relay shares with the test
    std::string m_stopFile;
    unsigned short m_port = 0;
};
