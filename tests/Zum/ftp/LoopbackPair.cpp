#include "LoopbackPair.h"

namespace nsTest {

using nsSocket::CSocketAddress;

CLoopbackPair::CLoopbackPair()
{
    listener.Create(SOCK_STREAM);
    listener.Bind(CSocketAddress("127.0.0.1", 0));
    listener.Listen();
    CSocketAddress bound;
    listener.GetSockName(bound);

    writer.Create(SOCK_STREAM);
    writer.Connect(CSocketAddress("127.0.0.1", bound.Port()));
    CSocketAddress peer;
    listener.Accept(reader, peer);
}

unsigned short UnusedLoopbackPort()
{
    nsSocket::CBlockingSocket probe;
    probe.Create(SOCK_STREAM);
    probe.Bind(CSocketAddress("127.0.0.1", 0));
    CSocketAddress bound;
    probe.GetSockName(bound);
    probe.Close();
    return bound.Port();
}

} // namespace nsTest
