#include "tests/support/SocketLibrary.h"

#ifdef _WIN32
#include <winsock2.h>

CSocketLibrary::CSocketLibrary()
{
    WSADATA data;
    m_ok = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

CSocketLibrary::~CSocketLibrary()
{
    if (m_ok) ::WSACleanup();
}

#else

CSocketLibrary::CSocketLibrary() : m_ok(true) {}
CSocketLibrary::~CSocketLibrary() = default;

#endif
