#include "net/WebFile.h"
#include "net/WebFileRequest.h"

#include "net/FileSink.h"
#include "net/HttpUrl.h"
#include "net/WebFileSession.h"
#include "net/WebFileText.h"

#include <vector>

namespace {

using namespace WebFileRequest;

CInternetHandle Connect(CWebFileSession& session, const std::string& host, unsigned short port)
{
    return CInternetHandle(::InternetConnectA(session.Handle(), host.c_str(), port, nullptr, nullptr,
                                              INTERNET_SERVICE_HTTP, 0, session.Context()));
}

// Opens and sends a GET; false on any WinInet failure.
bool SendGet(CWebFileSession& session, const CInternetHandle& connection, const std::string& object, bool withUserAgent,
             CInternetHandle& request, DWORD& status)
{
    request.reset(::HttpOpenRequestA(connection.get(), "GET", object.c_str(), nullptr, nullptr, nullptr, kRequestFlags,
                                     session.Context()));
    if (!request) return false;
    // Adding only if new fails when the header is there already, which is what is wanted then.
    ::HttpAddRequestHeadersA(request.get(), kAcceptHeader, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (withUserAgent)
        ::HttpAddRequestHeadersA(request.get(), kUserAgentHeader, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
    if (!::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return false;
    DWORD size = sizeof status;
    return ::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) !=
        FALSE;
}

// A response header as text; "" when the response has none.
std::string QueryText(const CInternetHandle& request, DWORD info)
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

int FetchWebFile(CWebFileSession& session, const std::string& host, unsigned short port, const std::string& localFolder,
                 const std::string& serverFolder, const std::string& fileName, bool sizeOnly, CFileSink& sink);

bool IsRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303;
}

// Streams the body into the target; true only when all of it arrived and is in place.
bool StoreBody(const CInternetHandle& request, CFileSink& sink, const std::string& target)
{
    // WinInet ends a body that the server cut short like a complete one, so the count is
    // compared with what the server announced.
    std::string announced = QueryText(request, HTTP_QUERY_CONTENT_LENGTH);
    // A body announced longer than the list's size (or the bound) is refused unread.
    if (!AnnouncedLengthAgrees(announced, sink.ExpectedSize(), sink.SizeLimit())) return false;
    if (!sink.Open(target)) return false;
    char chunk[kReadChunk];
    unsigned long long received = 0;
    for (;;) {
        DWORD read = 0;
        if (!::InternetReadFile(request.get(), chunk, kReadChunk, &read)) return false;
        if (read == 0) break;
        if (!sink.Write(chunk, read)) return false;
        received += read;
    }
    return IsCompleteBody(announced, received) && sink.Commit();
}

} // namespace

int GetWebFile(const std::string& agent, const std::string& host, unsigned short port, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, bool sizeOnly,
               const std::string& expectedSha256)
{
    CWebFileSession session(agent);
    return GetWebFile(session, host, port, localFolder, serverFolder, fileName, sizeOnly, expectedSha256);
}

int GetWebFile(CWebFileSession& session, const std::string& host, unsigned short port, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, bool sizeOnly,
               const std::string& expectedSha256)
{
    CFileSink sink;
    sink.ExpectDigest(expectedSha256);
    return FetchWebFile(session, host, port, localFolder, serverFolder, fileName, sizeOnly, sink);
}

int GetWebFile(CWebFileSession& session, const std::string& host, unsigned short port, const std::string& localFolder,
               const std::string& serverFolder, const std::string& fileName, CFileSink& sink)
{
    return FetchWebFile(session, host, port, localFolder, serverFolder, fileName, false, sink);
}

namespace {

int FetchWebFile(CWebFileSession& session, const std::string& host, unsigned short port, const std::string& localFolder,
                 const std::string& serverFolder, const std::string& fileName, bool sizeOnly, CFileSink& sink)
{
    if (!session.IsOpen()) return 0;
    // Declared after the session's creation, so closed before it on every return.
    CInternetHandle connection = Connect(session, host, port);
    if (!connection) return 0;
    CInternetHandle request;
    DWORD status = 0;
    if (!SendGet(session, connection, serverFolder + fileName, true, request, status)) return 0;

    if (status == 401) return 401;
    if (IsRedirect(status)) {
        auto location = FindRedirectLocation(QueryText(request, HTTP_QUERY_RAW_HEADERS_CRLF));
        if (!location) return 0;
        request.reset();
        connection.reset();
        CHttpUrl target;
        if (!ParseHttpUrl(*location, target)) return 0;
        connection = Connect(session, target.host, target.port);
        if (!connection) return 0;
        if (!SendGet(session, connection, target.object, false, request, status)) return 0;
        if (status != 200) return sizeOnly ? -1 : static_cast<int>(status);
    }
    if (status != 200) return sizeOnly ? -1 : static_cast<int>(status);

    if (sizeOnly) return ReportedLengthResult(QueryText(request, HTTP_QUERY_CONTENT_LENGTH));
    return StoreBody(request, sink, localFolder + fileName) ? 200 : 0;
}

} // namespace
