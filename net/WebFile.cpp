#include "net/WebFile.h"
#include "net/WebFileRequest.h"

#include "framework/RunLog.h"
#include "net/FileSink.h"
#include "net/HttpUrl.h"
#include "net/TransferCancel.h"
#include "net/WebFileSession.h"
#include "net/WebFileText.h"

#include <vector>

namespace {

using namespace WebFileRequest;

// The run log's line for one request, written when the request is over: its path, what came
// back, the bytes and how long it took.
class CRequestLogLine {
public:
    CRequestLogLine(const std::string& path, bool sizeOnly) : m_path(path), m_sizeOnly(sizeOnly)
    {
        ::QueryPerformanceCounter(&m_start);
    }
    ~CRequestLogLine()
    {
        LARGE_INTEGER end = {}, frequency = {};
        ::QueryPerformanceCounter(&end);
        ::QueryPerformanceFrequency(&frequency);
        const long long ms = frequency.QuadPart ? (end.QuadPart - m_start.QuadPart) * 1000 / frequency.QuadPart : 0;
        std::string line = "GET " + m_path + (m_sizeOnly ? " (size only): " : ": ");
        line += m_status ? "status " + std::to_string(m_status) : std::string("no answer");
        line += ", " + std::to_string(m_bytes) + (m_sizeOnly ? " bytes announced, " : " bytes, ");
        line += std::to_string(ms) + " ms";
        if (!m_failure.empty()) line += "; failed: " + m_failure;
        // A transfer given up has its line from the watcher already; it says nothing more.
        if (!CTransferCancel::CurrentCancelled()) CRunLog::Write(line);
    }
    CRequestLogLine(const CRequestLogLine&) = delete;
    CRequestLogLine& operator=(const CRequestLogLine&) = delete;

    void Status(DWORD status) { m_status = status; }
    void Bytes(unsigned long long bytes) { m_bytes = bytes; }
    // What went wrong, with the thread's last Windows error.
    void Failed(const std::string& what)
    {
        const DWORD error = ::GetLastError();
        m_failure = error ? what + " (Windows error " + std::to_string(error) + ")" : what;
    }
    void Redirected(const std::string& location) { m_path += " -> " + location; }

private:
    std::string m_path;
    bool m_sizeOnly;
    LARGE_INTEGER m_start = {};
    DWORD m_status = 0;
    unsigned long long m_bytes = 0;
    std::string m_failure;
};

void Connect(CWebFileSession& session, const std::string& host, unsigned short port, CTransferHandle& connection)
{
    connection.reset(::InternetConnectA(session.Handle(), host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                        0, session.Context()));
}

// Opens and sends a GET; false on any WinInet failure. Over TLS Windows checks the certificate
// (chain, name, dates); no flag that ignores a certificate error is ever set. `rangeStart` above 0
// asks only for the bytes from there on.
bool SendGet(CWebFileSession& session, const CTransferHandle& connection, const std::string& object, bool secure,
             bool withUserAgent, bool compressed, CTransferHandle& request, DWORD& status, long long rangeStart = 0)
{
    request.reset(::HttpOpenRequestA(connection.get(), "GET", object.c_str(), nullptr, nullptr, nullptr,
                                     kRequestFlags | (secure ? INTERNET_FLAG_SECURE : 0), session.Context()));
    if (!request) return false;
    // Adding only if new fails when the header is there already, which is what is wanted then.
    ::HttpAddRequestHeadersA(request.get(), kAcceptHeader, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (withUserAgent)
        ::HttpAddRequestHeadersA(request.get(), kUserAgentHeader, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (compressed) {
        // WinInet decodes only when asked, and under Wine asking sends no Accept-Encoding: both.
        BOOL decode = TRUE;
        if (::InternetSetOptionA(request.get(), INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode))
            ::HttpAddRequestHeadersA(request.get(), kAcceptGzipHeader, static_cast<DWORD>(-1),
                                     HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    }
    if (rangeStart > 0) {
        const std::string range = "Range: bytes=" + std::to_string(rangeStart) + "-\r\n";
        ::HttpAddRequestHeadersA(request.get(), range.c_str(), static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD);
    }
    if (!::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return false;
    // Given up while it was sent: the handle is closed, and its number may be another transfer's
    // by now, so it is not used again.
    if (CTransferCancel::CurrentCancelled()) return false;
    DWORD size = sizeof status;
    return ::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) !=
        FALSE;
}

// A response header as text; "" when the response has none.
std::string QueryText(const CTransferHandle& request, DWORD info)
{
    std::vector<char> buffer(256);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (::HttpQueryInfoA(request.get(), info, buffer.data(), &size, nullptr))
            return std::string(buffer.data(), size);
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= buffer.size()) return std::string();
        buffer.resize(size + 1);
    }
}

int FetchWebFile(CWebFileSession& session, const CServerAddress& server, const std::string& localFolder,
                 const std::string& serverFolder, const std::string& fileName, bool sizeOnly, CFileSink& sink);

// Notes why a request could not be sent: a certificate problem by name, anything else with the
// Windows error.
void SendFailed(CRequestLogLine& log)
{
    const DWORD error = ::GetLastError();
    if (auto problem = CertificateProblem(error)) {
        log.Failed(*problem);
        return;
    }
    log.Failed("the request could not be sent");
}

// A path longer than WinInet takes is never handed to it (Wine's overruns a heap buffer on a
// path of megabytes; no name Windows can store comes near the bound): the request fails here.
bool PathTooLong(const std::string& object, CRequestLogLine& log)
{
    if (object.size() <= INTERNET_MAX_PATH_LENGTH) return false;
    ::SetLastError(0);
    log.Failed("a request path of " + std::to_string(object.size()) + " bytes, longer than the " +
               std::to_string(INTERNET_MAX_PATH_LENGTH) + " WinInet takes");
    return true;
}

bool IsRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303;
}

// Streams the body into the target; true only when all of it arrived and is in place.
// `continueAt` bytes of the file are in the sink's partial file already (a 206 answer).
bool StoreBody(const CTransferHandle& request, CFileSink& sink, const std::string& target, CRequestLogLine& log,
               long long continueAt)
{
    // WinInet ends a body that the server cut short like a complete one, so the count is
    // compared with what the server announced.
    // A body decoded on the way in (gzip) has no usable length: the list's size, the bound and the
    // digest hold on the decoded bytes, which the sink counts.
    std::string announced = QueryText(request, HTTP_QUERY_CONTENT_LENGTH);
    if (IsEncodedBody(QueryText(request, HTTP_QUERY_CONTENT_ENCODING))) announced.clear();
    // A body announced longer than the list's size (or the bound) is refused unread.
    const long long expected = sink.ExpectedSize() < 0 ? -1 : sink.ExpectedSize() - continueAt;
    if (!AnnouncedLengthAgrees(announced, expected, sink.SizeLimit())) {
        log.Failed("the announced length " + announced + " disagrees with the list's size");
        return false;
    }
    if (!sink.Open(target, continueAt)) {
        log.Failed("no temporary file could be made beside " + target);
        return false;
    }
    // On the heap: this runs on a transfer thread whose stack is small.
    std::vector<char> buffer(kReadChunk);
    char* const chunk = buffer.data();
    unsigned long long received = 0;
    for (;;) {
        DWORD available = 0, read = 0;
        // Waits for the next bytes (or the end) but not for a full buffer; a transfer given up
        // meanwhile does not read from its closed handle.
        if (!::InternetQueryDataAvailable(request.get(), &available, 0, 0) || CTransferCancel::CurrentCancelled() ||
            !::InternetReadFile(request.get(), chunk, NextReadSize(available), &read)) {
            log.Bytes(received);
            log.Failed("the transfer broke off");
            return false;
        }
        if (read == 0) break;
        // Given up meanwhile: its handle may be closed already, so it is not read again.
        if (CTransferCancel::CurrentCancelled()) {
            log.Failed("given up");
            return false;
        }
        if (!sink.Write(chunk, read)) {
            log.Bytes(received);
            log.Failed("writing the temporary file for " + target + " failed");
            return false;
        }
        received += read;
    }
    log.Bytes(received);
    if (!IsCompleteBody(announced, received)) {
        ::SetLastError(0);
        log.Failed("body cut short, " + announced + " bytes announced");
        return false;
    }
    // The sink names its own cause (a hash that does not match, a file that cannot be replaced).
    if (!sink.Commit()) {
        ::SetLastError(0);
        log.Failed(target + " was not stored");
        return false;
    }
    return true;
}

} // namespace

int GetWebFile(const std::string& agent, const std::string& host, unsigned short port, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, bool sizeOnly,
               const std::string& expectedSha256)
{
    CWebFileSession session(agent);
    CServerAddress server;
    server.host = host;
    server.port = port;
    return GetWebFile(session, server, localFolder, serverFolder, fileName, sizeOnly, expectedSha256);
}

int GetWebFile(CWebFileSession& session, const CServerAddress& server, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, bool sizeOnly,
               const std::string& expectedSha256)
{
    CFileSink sink;
    sink.ExpectDigest(expectedSha256);
    return FetchWebFile(session, server, localFolder, serverFolder, fileName, sizeOnly, sink);
}

int GetWebFile(CWebFileSession& session, const CServerAddress& server, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, CFileSink& sink)
{
    return FetchWebFile(session, server, localFolder, serverFolder, fileName, false, sink);
}

namespace {

int FetchWebFile(CWebFileSession& session, const CServerAddress& server, const std::string& localFolder,
                 const std::string& serverFolder, const std::string& fileName, bool sizeOnly, CFileSink& sink)
{
    CRequestLogLine log(serverFolder + fileName, sizeOnly);
    if (!session.IsOpen()) {
        log.Failed("no WinInet session");
        return 0;
    }
    // Declared after the session's creation, so closed before it on every return.
    CTransferHandle connection;
    Connect(session, server.host, server.port, connection);
    if (!connection) {
        log.Failed("no connection");
        return 0;
    }
    CTransferHandle request;
    DWORD status = 0;
    const long long rangeStart = sizeOnly ? 0 : sink.ResumeOffset();
    // Compression only where the list's size or hash checks the decoded body: WinInet ends a
    // compressed body that was cut short like a whole one, and then no length on the wire says so.
    // A size request wants the file's length, not the wire's; a resumed file continues raw bytes.
    const bool compressed = !sizeOnly && rangeStart == 0 && sink.ChecksWholeBody();
    const std::string object = EscapeRequestPath(serverFolder + fileName);
    if (PathTooLong(object, log)) return 0;
    if (!SendGet(session, connection, object, server.secure, true, compressed, request, status, rangeStart)) {
        SendFailed(log);
        return 0;
    }
    log.Status(status);

    if (status == 401) return 401;
    if (IsRedirect(status)) {
        auto location = FindRedirectLocation(QueryText(request, HTTP_QUERY_RAW_HEADERS_CRLF));
        if (!location) {
            ::SetLastError(0);
            log.Failed("a redirect without a Location");
            return 0;
        }
        log.Redirected(*location);
        request.reset();
        connection.reset();
        CHttpUrl target;
        if (!ParseHttpUrl(*location, target)) {
            ::SetLastError(0);
            log.Failed("a redirect to no http or https address");
            return 0;
        }
        // Once on TLS, never off it: a plain hop would hand the transfer to anyone on the path.
        if (server.secure && !target.secure) {
            ::SetLastError(0);
            log.Failed("a redirect from https to plain http refused");
            return 0;
        }
        if (PathTooLong(target.object, log)) return 0;
        Connect(session, target.host, target.port, connection);
        if (!connection) {
            log.Failed("no connection");
            return 0;
        }
        log.Status(0);
        if (!SendGet(session, connection, target.object, target.secure, false, compressed, request, status,
                     rangeStart)) {
            SendFailed(log);
            return 0;
        }
        log.Status(status);
    }
    // A range honoured goes on where the kept bytes end; any other answer to it is the whole file.
    long long continueAt = 0;
    if (rangeStart > 0 && status == 206) {
        if (QueryText(request, HTTP_QUERY_CONTENT_RANGE).rfind("bytes " + std::to_string(rangeStart) + "-", 0) != 0) {
            ::SetLastError(0);
            log.Failed("a partial answer that does not start where the kept bytes end");
            return 0;
        }
        continueAt = rangeStart;
        status = 200;
    }
    if (status != 200) return sizeOnly ? -1 : static_cast<int>(status);

    if (sizeOnly) {
        const int length = ReportedLengthResult(QueryText(request, HTTP_QUERY_CONTENT_LENGTH));
        log.Bytes(static_cast<unsigned int>(length));
        return length;
    }
    return StoreBody(request, sink, localFolder + fileName, log, continueAt) ? 200 : 0;
}

} // namespace
