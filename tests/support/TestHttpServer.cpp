#include "tests/support/TestHttpServer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::size_t kMaxHeadBytes = 64 * 1024;
const std::size_t kChunkBytes = 64 * 1024;
const int kPollMs = 100;

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 206: return "Partial Content";
    case 307: return "Temporary Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

std::string Head(int status, unsigned long long contentLength, bool keepAlive,
                 const std::string& extraHeaders = std::string())
{
    std::ostringstream out;
    out << "HTTP/1.1 " << status << ' ' << Reason(status) << "\r\n"
        << extraHeaders << "Content-Length: " << contentLength << "\r\n"
        << "Connection: " << (keepAlive ? "keep-alive" : "close") << "\r\n\r\n";
    return out.str();
}

bool SendText(const CTestSocket& socket, int status, bool keepAlive, bool withBody,
              const std::string& extraHeaders = std::string())
{
    std::string body = "<html><body><h1>" + std::to_string(status) + " " + Reason(status) + "</h1></body></html>\n";
    std::string head = Head(status, body.size(), keepAlive, "Content-Type: text/html\r\n" + extraHeaders);
    return socket.SendAll(withBody ? head + body : head) && keepAlive;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The request target without query, or "" when it is not a plain absolute path.
std::string PathOnly(const std::string& target)
{
    std::string path = target.substr(0, target.find_first_of("?#"));
    return !path.empty() && path[0] == '/' ? path : std::string();
}

// Maps a request path onto a file below the root; "" when it would leave the root or is malformed.
std::string LocalPathFor(const std::string& root, const std::string& requestPath)
{
    std::string decoded;
    for (std::size_t i = 0; i < requestPath.size(); ++i) {
        char c = requestPath[i];
        if (c == '%') {
            if (i + 2 >= requestPath.size()) return std::string();
            int hi = HexValue(requestPath[i + 1]), lo = HexValue(requestPath[i + 2]);
            if (hi < 0 || lo < 0) return std::string();
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        if (c == '\0' || c == ':' || c == '\\') return std::string(); // no drives, streams, other separators
        decoded += c;
    }
    std::istringstream parts(decoded);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (part == "..") return std::string();
    return root + decoded;
}

} // namespace

CTestHttpServer::CTestHttpServer(std::string rootFolder) : m_root(std::move(rootFolder))
{
    while (!m_root.empty() && (m_root.back() == '/' || m_root.back() == '\\')) m_root.pop_back();
}

CTestHttpServer::~CTestHttpServer()
{
    Stop();
}

bool CTestHttpServer::Start(unsigned short port)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_running || !m_socketLibrary.Ok()) return false;
    m_listener = CTestSocket::Listen(port);
    if (!m_listener) return false;
    m_port = m_listener.LocalPort();
    m_stopping = false;
    m_running = true;
    m_acceptThread = std::thread(&CTestHttpServer::AcceptLoop, this);
    return true;
}

void CTestHttpServer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running) return;
        m_stopping = true;
        for (auto& c : m_connections) c->socket.ShutdownBoth();
    }
    m_stopSignal.notify_all();
    if (m_acceptThread.joinable()) m_acceptThread.join();

    std::list<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connections.swap(m_connections);
    }
    for (auto& c : connections)
        if (c->thread.joinable()) c->thread.join();

    std::lock_guard<std::mutex> lock(m_mutex);
    m_listener.Close();
    m_running = false;
}

std::string CTestHttpServer::HostPort() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

void CTestHttpServer::SetFault(const std::string& path, const CHttpFault& fault)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.insert_or_assign(path, fault);
}

void CTestHttpServer::ClearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.clear();
}

std::vector<CHttpRequest> CTestHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

void CTestHttpServer::ClearLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
    m_peakAnswering = 0;
}

void CTestHttpServer::AcceptLoop()
{
    try {
        while (!m_stopping) {
            ReapFinished();
            if (!m_listener.WaitReadable(kPollMs)) continue;
            CTestSocket accepted = m_listener.Accept();
            if (!accepted) continue;
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping) break; // Stop has already shut the others; this one just closes
            auto connection = std::make_unique<Connection>();
            connection->socket = std::move(accepted);
            connection->number = ++m_accepted;
            Connection* raw = connection.get();
            m_connections.push_back(std::move(connection));
            raw->thread = std::thread(&CTestHttpServer::RunConnection, this, raw);
        }
    } catch (...) {
        // A thread that cannot start leaves the server refusing work; tests see the failures.
    }
}

void CTestHttpServer::ReapFinished()
{
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if ((*it)->done)
                finished.splice(finished.end(), m_connections, it++);
            else
                ++it;
        }
    }
    for (auto& c : finished)
        if (c->thread.joinable()) c->thread.join();
}

void CTestHttpServer::RunConnection(Connection* connection)
{
    try {
        Serve(connection->socket, connection->number);
    } catch (...) {
    }
    // Closed under the lock so that Stop never shuts down a descriptor that was reused meanwhile.
    std::lock_guard<std::mutex> lock(m_mutex);
    connection->socket.Close();
    connection->done = true;
}

void CTestHttpServer::Serve(const CTestSocket& socket, std::size_t connectionNumber)
{
    std::string pending;
    while (!m_stopping) {
        CHttpRequest request;
        if (!ReadRequest(socket, pending, request)) return;
        request.connection = connectionNumber;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_log.push_back(request);
        }
        std::string connection = Lower(request.Header("Connection"));
        bool keepAlive = request.version == "HTTP/1.1" ? connection != "close" : connection == "keep-alive";
        // Counted from the request's arrival to the end of its answer: overlapping requests show.
        {
            std::lock_guard<std::mutex> lock(m_mutex); // a request held until others arrive sees it
            m_peakAnswering = std::max<std::size_t>(m_peakAnswering, ++m_answering);
        }
        m_stopSignal.notify_all();
        const bool more = Answer(socket, request, keepAlive);
        --m_answering;
        if (!more) return;
    }
}

bool CTestHttpServer::ReadRequest(const CTestSocket& socket, std::string& pending, CHttpRequest& request)
{
    char chunk[4096];
    std::size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        if (pending.size() > kMaxHeadBytes || m_stopping) return false;
        if (!socket.WaitReadable(kPollMs)) continue;
        long n = socket.Receive(chunk, sizeof chunk);
        if (n <= 0) return false;
        pending.append(chunk, static_cast<std::size_t>(n));
    }
    std::istringstream head(pending.substr(0, end));
    pending.erase(0, end + 4);

    std::string line;
    std::getline(head, line);
    std::istringstream requestLine(Trim(line));
    if (!(requestLine >> request.method >> request.path >> request.version)) return false;
    while (std::getline(head, line)) {
        std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }

    // A GET carries no body as a rule; drop one if it does, so the next request parses.
    unsigned long long bodyBytes = std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10);
    while (bodyBytes > 0) {
        if (pending.size() >= bodyBytes) {
            pending.erase(0, static_cast<std::size_t>(bodyBytes));
            break;
        }
        bodyBytes -= pending.size();
        pending.clear();
        if (m_stopping) return false;
        if (!socket.WaitReadable(kPollMs)) continue;
        long n = socket.Receive(chunk, sizeof chunk);
        if (n <= 0) return false;
        pending.append(chunk, static_cast<std::size_t>(n));
    }
    return true;
}

bool CTestHttpServer::Answer(const CTestSocket& socket, const CHttpRequest& request, bool keepAlive)
{
    if (request.method != "GET" && request.method != "HEAD")
        return SendText(socket, 405, keepAlive, true, "Allow: GET, HEAD\r\n");

    std::string path = PathOnly(request.path);
    bool faulty = false;
    CHttpFault fault = CHttpFault::Status(0);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_faults.find(path);
        if (it != m_faults.end()) {
            faulty = true;
            fault = it->second;
        }
    }
    if (faulty) return AnswerFault(socket, request, fault, keepAlive);
    return AnswerFile(socket, request, nullptr, keepAlive);
}

bool CTestHttpServer::AnswerFault(const CTestSocket& socket, const CHttpRequest& request, const CHttpFault& fault,
                                  bool keepAlive)
{
    bool withBody = request.method != "HEAD";
    switch (fault.kind) {
    case CHttpFault::Kind::Status:
        return SendText(socket, fault.status, keepAlive, withBody,
                        fault.status == 401 ? "WWW-Authenticate: Basic realm=\"nuvra\"\r\n" : "");
    case CHttpFault::Kind::Redirect:
        return socket.SendAll(
                   Head(fault.status, 0, keepAlive, fault.hasLocation ? "Location: " + fault.location + "\r\n" : "")) &&
            keepAlive;
    case CHttpFault::Kind::ShortBody:
    case CHttpFault::Kind::DropMidBody:
    case CHttpFault::Kind::StallMidBody:
    case CHttpFault::Kind::Tamper:
    case CHttpFault::Kind::Endless:
    case CHttpFault::Kind::Drip: return AnswerFile(socket, request, &fault, keepAlive);
    case CHttpFault::Kind::Stall: WaitForStopOrTimeout(fault); return false;
    case CHttpFault::Kind::Delay:
        WaitForTogetherOrTimeout(fault);
        return !m_stopping && AnswerFile(socket, request, nullptr, keepAlive);
    }
    return false;
}

void CTestHttpServer::WaitForTogetherOrTimeout(const CHttpFault& fault)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_stopSignal.wait_for(lock, fault.stall, [this, &fault] {
        return m_stopping.load() || (fault.together > 0 && m_peakAnswering >= fault.together);
    });
}

void CTestHttpServer::WaitForStopOrTimeout(const CHttpFault& fault)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (fault.stall == std::chrono::milliseconds::max())
        m_stopSignal.wait(lock, [this] { return m_stopping.load(); });
    else
        m_stopSignal.wait_for(lock, fault.stall, [this] { return m_stopping.load(); });
}

bool CTestHttpServer::SendEndless(const CTestSocket& socket, std::ifstream& file, bool withBody)
{
    // No length: the body ends only when the connection does, and this one never ends it.
    if (!socket.SendAll("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n"))
        return false;
    if (!withBody) return false;
    std::vector<char> buffer(kChunkBytes);
    file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    std::size_t got = static_cast<std::size_t>(file.gcount());
    while (!m_stopping) {
        if (got > 0 && !socket.SendAll(buffer.data(), got)) return false;
        got = file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))
            ? buffer.size()
            : static_cast<std::size_t>(file.gcount());
        if (got == 0) {
            std::fill(buffer.begin(), buffer.end(), 'z');
            got = buffer.size();
        }
    }
    return false;
}

bool CTestHttpServer::AnswerFile(const CTestSocket& socket, const CHttpRequest& request, const CHttpFault* fault,
                                 bool keepAlive)
{
    bool withBody = request.method != "HEAD";
    std::string requestPath = PathOnly(request.path);
    std::string local = requestPath.empty() ? std::string() : LocalPathFor(m_root, requestPath);
    std::error_code error;
    if (local.empty() || !std::filesystem::is_regular_file(local, error))
        return SendText(socket, 404, keepAlive, withBody);
    // As nginx's gzip_static does: a client that takes gzip gets the file's ".gz" sibling, when
    // there is one, as the same file's gzip-encoded body.
    std::string encoding;
    if (request.Header("Accept-Encoding").find("gzip") != std::string::npos &&
        std::filesystem::is_regular_file(local + ".gz", error)) {
        local += ".gz";
        encoding = "Content-Encoding: gzip\r\nVary: Accept-Encoding\r\n";
    }
    std::ifstream file(local, std::ios::binary);
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (size < 0 || !file) return SendText(socket, 404, keepAlive, withBody);

    auto total = static_cast<unsigned long long>(size);
    if (fault && fault->kind == CHttpFault::Kind::Endless) return SendEndless(socket, file, withBody);
    // "Range: bytes=N-" as a real server honours it (one open range; other forms get the file).
    const std::string range = request.Header("Range");
    unsigned long long from = 0;
    if (!m_ignoreRanges && encoding.empty() && range.rfind("bytes=", 0) == 0 && range.back() == '-' &&
        range.find_first_not_of("0123456789", 6) == range.size() - 1 && range.size() > 7)
        from = std::strtoull(range.c_str() + 6, nullptr, 10);
    if (from > 0 && from < total) {
        const std::string contentRange = "Content-Range: bytes " + std::to_string(from) + "-" +
            std::to_string(total - 1) + "/" + std::to_string(total);
        if (!socket.SendAll(Head(206, total - from, keepAlive,
                                 "Content-Type: application/octet-stream\r\n" + contentRange + "\r\n")))
            return false;
        file.seekg(static_cast<std::streamoff>(from));
        total -= from;
    } else if (!socket.SendAll(Head(200, total, keepAlive, "Content-Type: application/octet-stream\r\n" + encoding))) {
        return false;
    }
    if (!withBody) return keepAlive;

    unsigned long long toSend = total;
    if (fault && fault->kind == CHttpFault::Kind::ShortBody)
        toSend = fault->missingBytes >= total ? 0 : total - fault->missingBytes;
    if (fault && (fault->kind == CHttpFault::Kind::DropMidBody || fault->kind == CHttpFault::Kind::StallMidBody))
        toSend = std::min<unsigned long long>(total, fault->sentBytes);

    std::vector<char> buffer(kChunkBytes);
    unsigned long long sent = 0;
    if (fault && fault->kind == CHttpFault::Kind::Drip) {
        for (char byte; sent < total && file.get(byte); ++sent) {
            if (!socket.SendAll(&byte, 1)) return false;
            WaitForStopOrTimeout(*fault);
            if (m_stopping) return false;
        }
        return false;
    }
    while (toSend > 0) {
        if (m_stopping) return false;
        auto want = static_cast<std::size_t>(std::min<unsigned long long>(toSend, buffer.size()));
        file.read(buffer.data(), static_cast<std::streamsize>(want));
        auto got = static_cast<std::size_t>(file.gcount());
        // What a rewriting proxy does: different bytes, the announced length unchanged.
        if (fault && fault->kind == CHttpFault::Kind::Tamper && fault->tamperOffset >= sent &&
            fault->tamperOffset < sent + got)
            buffer[static_cast<std::size_t>(fault->tamperOffset - sent)] ^= 0x20;
        if (got == 0 || !socket.SendAll(buffer.data(), got)) return false;
        toSend -= got;
        sent += got;
    }
    if (fault && fault->kind == CHttpFault::Kind::DropMidBody) socket.SetAbortiveClose();
    if (fault && fault->kind == CHttpFault::Kind::StallMidBody) WaitForStopOrTimeout(*fault);
    return (fault == nullptr || fault->kind == CHttpFault::Kind::Tamper) && keepAlive;
}
