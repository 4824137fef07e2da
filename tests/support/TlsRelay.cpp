#include "tests/support/TlsRelay.h"

#include <windows.h>
#include <wincrypt.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>

#if !defined(NUVRA_PYTHON) || !defined(NUVRA_TLS_RELAY_SCRIPT) || !defined(NUVRA_TEST_TLS_DIR)
#error "the build names Python, the relay script and the test certificates' folder"
#endif

namespace {

const char* const kKinds[] = {"good", "expired", "wrongname", "untrusted"};

// Linux paths reach Wine through drive Z:.
std::string WindowsPath(std::string unixPath)
{
    for (char& c : unixPath)
        if (c == '/') c = '\\';
    return "Z:" + unixPath;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

CTlsRelay::CTlsRelay(unsigned short backendPort, ECertificate certificate)
{
    static std::atomic<int> counter{0};
    const std::string base = std::string(NUVRA_TEST_TLS_DIR) + "/relay-" + std::to_string(::GetCurrentProcessId()) +
        "-" + std::to_string(++counter);
    m_portFile = WindowsPath(base + ".port");
    m_stopFile = WindowsPath(base + ".run");
    ::DeleteFileA(m_portFile.c_str());
    std::ofstream(m_stopFile).put('1');

    // Wine starts a Linux program as it is, its arguments untouched; the handle it returns cannot
    // be waited on, so the stop file ends the relay instead.
    std::string line = std::string("python3 \"") + NUVRA_TLS_RELAY_SCRIPT + "\" relay \"" + NUVRA_TEST_TLS_DIR + "\" " +
        kKinds[static_cast<int>(certificate)] + " " + std::to_string(backendPort) + " \"" + base + ".port\" \"" + base +
        ".run\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(WindowsPath(NUVRA_PYTHON).c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        return;
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    // Readiness, not a timing: the port file appears once the relay listens.
    for (int i = 0; i < 200 && m_port == 0; ++i) {
        const std::string text = ReadAll(m_portFile);
        if (!text.empty())
            m_port = static_cast<unsigned short>(std::stoi(text));
        else
            ::Sleep(50);
    }
}

CTlsRelay::~CTlsRelay()
{
    ::DeleteFileA(m_stopFile.c_str());
    ::DeleteFileA(m_portFile.c_str());
}

std::string CTlsRelay::Address() const
{
    return "https://localhost:" + std::to_string(m_port);
}

bool CTlsRelay::TrustTestAuthority()
{
    const std::string der = ReadAll(WindowsPath(std::string(NUVRA_TEST_TLS_DIR) + "/ca.der"));
    if (der.empty()) return false;
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!store) return false;
    const BOOL added =
        ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                           static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    ::CertCloseStore(store, 0);
    return added != FALSE;
}
