#include "Zum/ftp/HeaderLineSocket.h"

#include <algorithm>
#include <cstring>

namespace nsSocket {

CHeaderLineSocket::CHeaderLineSocket() : m_pReceiveBuffer(new char[kReceiveBufferSize]) {}

int CHeaderLineSocket::ReadHeaderLine(char* buffer, int size, unsigned int seconds)
{
    char* const held = m_pReceiveBuffer.get();
    int searchFrom = 0;
    const char* lineFeed = nullptr;
    while ((lineFeed = static_cast<const char*>(
                std::memchr(held + searchFrom, '\n', static_cast<size_t>(m_nHeld - searchFrom)))) == nullptr) {
        searchFrom = m_nHeld;
        // With the buffer full this asks for 0 bytes, which yields 0 as soon as the socket is
        // readable: a line longer than the buffer ends here.
        const int received = Receive(held + m_nHeld, kReceiveBufferSize - m_nHeld, seconds);
        if (received <= 0) throw CBlockingSocketException("ReadHeaderLine", 0);
        m_nHeld += received;
    }

    if (buffer == nullptr || size <= 0) return 0;
    const int lineLength = static_cast<int>(lineFeed - held) + 1;
    const int stored = std::min(lineLength, size - 1);
    std::memcpy(buffer, held, static_cast<size_t>(stored));
    buffer[stored] = '\0';
    std::memmove(held, held + stored, static_cast<size_t>(m_nHeld - stored));
    m_nHeld -= stored;
    return stored;
}

int CHeaderLineSocket::ReadBlock(char* buffer, int size, unsigned int seconds)
{
    if (buffer == nullptr || size <= 0) return 0;
    // Held bytes beyond the caller's room stay held rather than overrunning the buffer.
    int total = std::min(m_nHeld, size);
    char* const held = m_pReceiveBuffer.get();
    std::memcpy(buffer, held, static_cast<size_t>(total));
    std::memmove(held, held + total, static_cast<size_t>(m_nHeld - total));
    m_nHeld -= total;

    while (total < size) {
        const int piece = std::min(kReceiveBufferSize, size - total);
        const int received = Receive(buffer + total, piece, seconds);
        if (received <= 0) break;
        total += received;
    }
    return total;
}

} // namespace nsSocket
