#pragma once
// What every request of the fetcher carries; the benchmark's bare loop sends exactly the same.
#include <windows.h>
#include <wininet.h>

namespace WebFileRequest {

const char kAcceptHeader[] =
    "Accept: audio/x-aiff, audio/basic, audio/midi, audio/mpeg, audio/wav, image/jpeg, image/gif, "
    "image/jpg, image/png, image/mng, image/bmp, text/plain, text/html, text/htm\r\n";
const char kUserAgentHeader[] = "User-Agent: GetWebFile/1.0\r\n";
// Sent with INTERNET_OPTION_HTTP_DECODING on downloads whose size or hash is known.
const char kAcceptGzipHeader[] = "Accept-Encoding: gzip\r\n";

// WinInet follows redirects on its own, any number of them, unless told not to. The fetcher
// follows exactly one itself (a second one is returned as its status, and the redirected request
// carries no User-Agent header of its own), so WinInet's following is switched off.
const DWORD kRequestFlags =
    INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT;
// Largest single read. Under Wine every InternetReadFile costs about the same wineserver time
// whatever its size, so few large reads beat many small ones; the reader asks first how much has
// arrived and reads only that, so a slow server's bytes are seen (and counted by the watch) as
// they come instead of after a full buffer.
const DWORD kReadChunk = 64 * 1024;

// How much to read next: what InternetQueryDataAvailable reported, bounded by the buffer; at least
// one byte, so a body whose end WinInet has not yet noticed still ends in a read of 0.
inline DWORD NextReadSize(DWORD available)
{
    if (available == 0) return 1;
    return available < kReadChunk ? available : kReadChunk;
}

} // namespace WebFileRequest
