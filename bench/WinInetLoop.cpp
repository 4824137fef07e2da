// The installation's transfers and nothing else: the same WinInet calls the updater makes, in
// the same order, without dialog, staging or copying. It is the floor the installation is
// measured against.
//
//   bench-wininet-loop <host> <port> <local folder> [--head | --no-sizes]
//
// Fetches /update/Nuvra/_nuvr_file_list.lst, asks every listed file's size with a GET whose body
// is not read (with --head: a HEAD request instead, to show what that would save; with
// --no-sizes not at all, one GET per file, as the installer does with sizes in its list), then downloads
// every file into <local folder>\<sub-folder>\<name>, each request in a session of its own.
// Prints key=value lines: seconds, downloads_at (when the first download began), files, bytes,
// requests, callbacks, start_ws (working set before the first request, bytes) and peak_ws (bytes).
#include "net/WebFileRequest.h"
#include <windows.h>
#include <psapi.h>
#include <wininet.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Exactly what the updater's fetcher sends.
const char kAgent[] = "GetWebFile";
using namespace WebFileRequest;
const char kListFolder[] = "/update/Nuvra/";
const char kListName[] = "_nuvr_file_list.lst";

const char* g_sizeVerb = "GET";
bool g_askSizes = true;
unsigned long g_requests = 0;
unsigned long g_callbacks = 0;

// The updater formats a text per notification and drops it; counting costs about the same.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR, DWORD, LPVOID, DWORD)
{
    ++g_callbacks;
}

class CNet {
public:
    explicit CNet(HINTERNET handle) : m_handle(handle) {}
    ~CNet()
    {
        if (m_handle) InternetCloseHandle(m_handle);
    }
    CNet(const CNet&) = delete;
    CNet& operator=(const CNet&) = delete;
    HINTERNET get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    HINTERNET m_handle;
};

void SetNumber(HINTERNET handle, DWORD option, DWORD value)
{
    InternetSetOptionA(handle, option, &value, sizeof value);
}

// One GET of `object`. With a local path the body goes into that file; without one only the
// reported length is read (the request is then a HEAD with --head). Returns the status (0 on a WinInet or file failure); `length` gets the
// Content-Length text.
DWORD Fetch(const std::string& host, INTERNET_PORT port, const std::string& object, const std::string& localPath,
            std::string& length)
{
    ++g_requests;
    CNet session(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return 0;
    SetNumber(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, 30000);
    SetNumber(session.get(), INTERNET_OPTION_CONNECT_BACKOFF, 1000);
    SetNumber(session.get(), INTERNET_OPTION_CONNECT_RETRIES, 1);
    InternetSetStatusCallbackA(session.get(), &OnStatus);
    const DWORD_PTR context = 1;
    DWORD status = 0;
    {
        CNet connection(
            InternetConnectA(session.get(), host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, context));
        if (!connection) return 0;
        const char* verb = localPath.empty() ? g_sizeVerb : "GET";
        CNet request(HttpOpenRequestA(connection.get(), verb, object.c_str(), nullptr, nullptr, nullptr, kRequestFlags,
                                      context));
        if (!request) return 0;
        HttpAddRequestHeadersA(request.get(), kAcceptHeader, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        HttpAddRequestHeadersA(request.get(), kUserAgentHeader, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        if (!localPath.empty()) { // as the fetcher's downloads: gzip asked for and decoded
            BOOL decode = TRUE;
            if (InternetSetOptionA(request.get(), INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode))
                HttpAddRequestHeadersA(request.get(), kAcceptGzipHeader, static_cast<DWORD>(-1),
                                       HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        }
        if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return 0;
        DWORD size = sizeof status;
        if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            return 0;
        char text[256] = {};
        size = sizeof text;
        length = HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) ? text : "";
        if (status == 200 && !localPath.empty()) {
            HANDLE file = CreateFileA(localPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) return 0;
            std::vector<char> buffer(kReadChunk);
            DWORD available = 0, read = 0;
            bool ok = true;
            // As the fetcher reads: what has arrived, at most a buffer's worth.
            while ((ok = InternetQueryDataAvailable(request.get(), &available, 0, 0) != FALSE &&
                        InternetReadFile(request.get(), buffer.data(), NextReadSize(available), &read) != FALSE) &&
                   read > 0) {
                DWORD written = 0;
                if (!WriteFile(file, buffer.data(), read, &written, nullptr) || written != read) {
                    ok = false;
                    break;
                }
            }
            CloseHandle(file);
            if (!ok) status = 0;
        }
    }
    InternetSetStatusCallbackA(session.get(), nullptr);
    return status;
}

std::string ReadWhole(const std::string& path)
{
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

struct CEntry {
    std::string folder; // "" or "a/b"
    std::string name;
};

// Lines 2 and later of the list, read as the installer reads them: comma-terminated fields,
// trimmed; a line with an empty first field is no entry.
std::vector<CEntry> Entries(const std::string& list)
{
    std::vector<CEntry> entries;
    size_t lineNumber = 0, start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos) end = list.size();
        std::string line = list.substr(start, end - start);
        start = end + 1;
        if (lineNumber++ < 2) continue;
        std::vector<std::string> fields;
        for (size_t at = 0, comma; fields.size() < 5 && (comma = line.find(',', at)) != std::string::npos;
             at = comma + 1)
            fields.push_back(Trim(line.substr(at, comma - at)));
        if (fields.size() == 5 && !fields[0].empty()) entries.push_back({fields[3], fields[1]});
    }
    return entries;
}

std::string Backslashed(std::string path)
{
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

SIZE_T WorkingSet(bool peak)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
    return peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize;
}

int Fail(const std::string& what)
{
    std::fprintf(stderr, "bench-wininet-loop: %s\n", what.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[4]) == "--head") {
        g_sizeVerb = "HEAD";
    } else if (argc == 5 && std::string(argv[4]) == "--no-sizes") {
        g_askSizes = false;
    } else if (argc != 4) {
        std::fprintf(stderr, "usage: bench-wininet-loop <host> <port> <local folder> [--head | --no-sizes]\n");
        return 2;
    }
    const std::string host = argv[1];
    const INTERNET_PORT port = static_cast<INTERNET_PORT>(std::atoi(argv[2]));
    const std::string local = std::string(argv[3]) + "\\";
    CreateDirectoryA(argv[3], nullptr);
    const SIZE_T startWs = WorkingSet(false);

    LARGE_INTEGER frequency, begin;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    auto elapsed = [&] {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - begin.QuadPart) / static_cast<double>(frequency.QuadPart);
    };

    std::string length;
    const std::string listPath = local + kListName;
    if (Fetch(host, port, std::string(kListFolder) + kListName, listPath, length) != 200) return Fail("no file list");
    std::vector<CEntry> entries = Entries(ReadWhole(listPath));
    DeleteFileA(listPath.c_str());

    // Sizes first, all of them, as the installer asks them before the first download.
    for (const CEntry& e : entries) {
        if (!g_askSizes) break;
        std::string object = kListFolder + (e.folder.empty() ? "" : e.folder + "/") + e.name;
        if (Fetch(host, port, object, "", length) != 200) return Fail("no size for " + object);
    }
    for (const CEntry& e : entries) {
        std::string levels = Backslashed(e.folder);
        for (size_t i = 0; i <= levels.size(); ++i)
            if (!levels.empty() && (i == levels.size() || levels[i] == '\\'))
                CreateDirectoryA((local + levels.substr(0, i)).c_str(), nullptr);
    }
    const double downloadsAt = elapsed();
    unsigned long long bytes = 0;
    for (const CEntry& e : entries) {
        std::string object = kListFolder + (e.folder.empty() ? "" : e.folder + "/") + e.name;
        std::string target = local + (e.folder.empty() ? "" : Backslashed(e.folder) + "\\") + e.name;
        if (Fetch(host, port, object, target, length) != 200) return Fail("download failed: " + object);
        bytes += std::strtoull(length.c_str(), nullptr, 10);
    }

    const double seconds = elapsed();
    std::printf("seconds=%.3f\ndownloads_at=%.3f\nfiles=%zu\nbytes=%llu\nrequests=%lu\ncallbacks=%lu\n", seconds,
                downloadsAt, entries.size(), bytes, g_requests, g_callbacks);
    std::printf("start_ws=%llu\npeak_ws=%llu\n", static_cast<unsigned long long>(startWs),
                static_cast<unsigned long long>(WorkingSet(true)));
    return 0;
}
