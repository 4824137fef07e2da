#pragma once
// A small HTTP/1.1 file server on 127.0.0.1 for tests, the demo and the benchmark. It serves the
// files below one folder, keeps connections alive like a real server (WinInet reuses them), logs
// every request, and misbehaves on purpose for the paths given a fault. Like nginx's gzip_static,
// it answers a client that accepts gzip with a file's ".gz" sibling where there is one.
#include "tests/support/HttpFault.h"
#include "tests/support/HttpRequest.h"
#include "tests/support/SocketLibrary.h"
#include "tests/support/TestSocket.h"

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CTestHttpServer {
public:
    explicit CTestHttpServer(std::string rootFolder);
    ~CTestHttpServer();
    CTestHttpServer(const CTestHttpServer&) = delete;
    CTestHttpServer& operator=(const CTestHttpServer&) = delete;

    // Listens on 127.0.0.1; port 0 (the default) picks a free one. False on failure.
    bool Start(unsigned short port = 0);
    // Ends every connection, stalled and kept-alive ones too, and joins every thread.
    void Stop();
    unsigned short Port() const { return m_port; }
    std::string HostPort() const; // "127.0.0.1:<port>"

    // `path` is the request path without its query, exactly as requested, e.g. "/update/Nuvra/a.txt".
    void SetFault(const std::string& path, const CHttpFault& fault);
    void ClearFaults();
    // Answers "Range: bytes=N-" with the whole file, as a server without range support does.
    void SetIgnoreRanges(bool ignore) { m_ignoreRanges = ignore; }

    std::vector<CHttpRequest> Requests() const;
    void ClearLog();
    // The most requests that were being answered at one moment since the start or ClearLog.
    std::size_t PeakConcurrentAnswers() const { return m_peakAnswering; }

private:
    struct Connection {
        CTestSocket socket;
        std::size_t number = 0;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void RunConnection(Connection* connection);
    void Serve(const CTestSocket& socket, std::size_t connection);
    bool ReadRequest(const CTestSocket& socket, std::string& pending, CHttpRequest& request);
    // Each answer returns whether the connection may carry another request.
    bool Answer(const CTestSocket& socket, const CHttpRequest& request, bool keepAlive);
    bool AnswerFault(const CTestSocket& socket, const CHttpRequest& request, const CHttpFault& fault, bool keepAlive);
    bool AnswerFile(const CTestSocket& socket, const CHttpRequest& request, const CHttpFault* fault, bool keepAlive);
    bool SendEndless(const CTestSocket& socket, std::ifstream& file, bool withBody);
    void ReapFinished();
    void WaitForStopOrTimeout(const CHttpFault& fault);
    void WaitForTogetherOrTimeout(const CHttpFault& fault);

    std::string m_root;
    CSocketLibrary m_socketLibrary;
    CTestSocket m_listener;
    unsigned short m_port = 0;
    std::thread m_acceptThread;

    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_stopSignal;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_ignoreRanges{false};
    std::atomic<std::size_t> m_answering{0};
    std::atomic<std::size_t> m_peakAnswering{0};
    std::size_t m_accepted = 0;
    bool m_running = false;
    std::list<std::unique_ptr<Connection>> m_connections;
    std::map<std::string, CHttpFault> m_faults;
    std::vector<CHttpRequest> m_log;
};
