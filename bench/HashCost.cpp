// What checking a download's SHA-256 costs by itself: hashes as many bytes as the release holds,
// in the pieces the fetcher reads, with the updater's own SHA-256.
//
//   bench-hash-cost <bytes>
//
// Prints key=value lines: seconds, bytes, mb_per_s (10^6 bytes per second).
#include "crypt/Sha256.h"
#include "net/WebFileRequest.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-hash-cost <bytes>\n");
        return 2;
    }
    const unsigned long long total = std::strtoull(argv[1], nullptr, 10);
    std::vector<unsigned char> piece(WebFileRequest::kReadChunk);
    for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<unsigned char>(i * 131);
    const auto start = std::chrono::steady_clock::now();
    CSha256 sha;
    for (unsigned long long done = 0; done < total; done += piece.size())
        sha.Update(piece.data(), static_cast<size_t>(std::min<unsigned long long>(piece.size(), total - done)));
    const CSha256::Digest digest = sha.Finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("seconds=%.4f\nbytes=%llu\nmb_per_s=%.0f\ndigest_head=%02x\n", seconds, total,
                seconds > 0 ? total / seconds / 1e6 : 0.0, digest[0]);
    return 0;
}
