#pragma once
// The text work of the HTTP fetcher, apart from WinInet so that it can be checked anywhere.
#include <optional>
#include <string>

// The text handed to the status hook for a WinInet status notification, or nothing for the
// notifications that get no text (40, 70). `info` is the notification's data read as text,
// used by the name-resolution notifications.
std::optional<std::string> FormatInternetStatus(unsigned long status, const std::string& info);

// The target of a redirect: the text after "Location: " (at the start of a header line, name in
// any case) up to the end of that line.
// Nothing when the raw headers (CR LF separated) have no such header.
std::optional<std::string> FindRedirectLocation(const std::string& rawHeaders);

// The size-only result for a Content-Length value: the length's low 32 bits, as the callers'
// int holds it. A response that reports no length (or no readable one) gives 0.
int ReportedLengthResult(const std::string& contentLength);

// Whether the body received is the whole body: with a reported length, exactly that many bytes;
// without one (chunked or ended by closing), whatever arrived.
bool IsCompleteBody(const std::string& contentLength, unsigned long long received);

// Whether a body announced with this Content-Length can be the one wanted before any of it is
// read: exactly `expectedSize` bytes when that is known (>= 0), at most `sizeLimit` when that is
// set (>= 0). A response that announces no readable length may still be; its bytes are counted.
bool AnnouncedLengthAgrees(const std::string& contentLength, long long expectedSize, long long sizeLimit);

// Whether a response with this Content-Encoding is decoded on the way in (gzip, deflate): its
// Content-Length then counts the bytes on the wire, not the body's, and says nothing about it.
bool IsEncodedBody(const std::string& contentEncoding);

// What is wrong with the server's certificate, for the log, when a request failed with this
// WinInet error because of it; nothing for any other failure.
std::optional<std::string> CertificateProblem(unsigned long error);
