#pragma once
// Move-only owner of one TCP socket, with the few blocking operations the test server and its
// tests need, over Winsock and BSD sockets alike.
#include <cstddef>
#include <cstdint>
#include <string>

class CTestSocket {
public:
#ifdef _WIN32
    // SOCKET itself, without pulling winsock2.h into every includer (it must come before
    // windows.h, which the product's headers include first).
    using native_type = std::uintptr_t;
#else
    using native_type = int;
#endif
    static native_type Invalid();

    CTestSocket() = default;
    explicit CTestSocket(native_type s) : m_s(s) {}
    ~CTestSocket()
    {
        Close();
    }
    CTestSocket(const CTestSocket&) = delete;
    CTestSocket& operator=(const CTestSocket&) = delete;
    CTestSocket(CTestSocket&& other) noexcept : m_s(other.Release()) {}
    CTestSocket& operator=(CTestSocket&& other) noexcept;

    explicit operator bool() const
    {
        return m_s != Invalid();
    }
    native_type Get() const
    {
        return m_s;
    }
    native_type Release();
    void Close();

    // A listening socket on 127.0.0.1; port 0 picks a free one.
    static CTestSocket Listen(unsigned short port);
    // A connected client socket to 127.0.0.1:port (invalid on failure).
    static CTestSocket Connect(unsigned short port);

    unsigned short LocalPort() const;
    // True when a read (or accept) would not block, waiting at most timeoutMs.
    bool WaitReadable(int timeoutMs) const;
    CTestSocket Accept() const;

    // Bytes read (0 at end of stream), or -1 on error.
    long Receive(char* buffer, std::size_t size) const;
    bool SendAll(const char* data, std::size_t size) const;
    bool SendAll(const std::string& data) const
    {
        return SendAll(data.data(), data.size());
    }

    // Ends both directions; wakes a thread blocked on this socket in another thread.
    void ShutdownBoth() const;
    // The next close sends a reset instead of an orderly end of stream.
    void SetAbortiveClose() const;

private:
    native_type m_s = Invalid();
};
