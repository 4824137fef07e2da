#pragma once
// A stream socket that reads line-by-line through a 1000-byte receive buffer; bytes received
// beyond a line are kept for the next read.
#include "Zum/ftp/BlockingSocket.h"

#include <memory>

namespace nsSocket {

class CHeaderLineSocket : public CBlockingSocket {
public:
    static constexpr int kReceiveBufferSize = 1000;

    CHeaderLineSocket();

    // Stores the next line, line feed included, cut to size - 1 bytes and zero-terminated, and
    // returns its stored length. The part of a cut line that did not fit stays for the next
    // call. Throws "ReadHeaderLine" when the peer closes, or the buffer fills, before a line
    // feed arrives.
    int ReadHeaderLine(char* buffer, int size, unsigned int seconds);

    // Held bytes first, then received data, until the peer closes or the buffer is full.
    int ReadBlock(char* buffer, int size, unsigned int seconds);

    int HeldBytes() const { return m_nHeld; }

private:
    std::unique_ptr<char[]> m_pReceiveBuffer;
    int m_nHeld = 0;
};

} // namespace nsSocket
