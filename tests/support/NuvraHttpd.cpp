// nuvra-httpd <folder> [port]
// Serves <folder> on 127.0.0.1 at <port> (a free one when left out or 0), prints the port on
// the first line of standard output, and runs until interrupted (Ctrl+C, SIGTERM).
#include "tests/support/TestHttpServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnSignal(int)
{
    g_stop = 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: nuvra-httpd <folder> [port]\n");
        return 2;
    }
    unsigned long port = 0;
    if (argc == 3) {
        char* end = nullptr;
        port = std::strtoul(argv[2], &end, 10);
        if (*argv[2] == '\0' || *end != '\0' || port > 65535) {
            std::fprintf(stderr, "nuvra-httpd: bad port '%s'\n", argv[2]);
            return 2;
        }
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    CTestHttpServer server(argv[1]);
    if (!server.Start(static_cast<unsigned short>(port))) {
        std::fprintf(stderr, "nuvra-httpd: cannot listen on 127.0.0.1:%lu\n", port);
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.Stop();
    return 0;
}
