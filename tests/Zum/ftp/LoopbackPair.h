#pragma once
// Two connected TCP sockets on 127.0.0.1 in one thread: the listener's backlog completes the
// connection before Accept is called.
#include "Zum/ftp/HeaderLineSocket.h"

namespace nsTest {

class CLoopbackPair {
public:
    CLoopbackPair();

    nsSocket::CBlockingSocket listener;
    nsSocket::CBlockingSocket writer;   // the side that connected
    nsSocket::CHeaderLineSocket reader; // the accepted side
};

// A port on 127.0.0.1 where nothing listens (bound once, then released).
unsigned short UnusedLoopbackPort();

} // namespace nsTest
