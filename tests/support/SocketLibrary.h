#pragma once
// Keeps the platform's socket library started for as long as an object lives. Winsock needs
// WSAStartup before any socket call and counts starts, so nested owners are fine; BSD sockets
// need nothing.

class CSocketLibrary {
public:
    CSocketLibrary();
    ~CSocketLibrary();
    CSocketLibrary(const CSocketLibrary&) = delete;
    CSocketLibrary& operator=(const CSocketLibrary&) = delete;

    bool Ok() const { return m_ok; }

private:
    bool m_ok = false;
};
