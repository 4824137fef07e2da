// Winsock first: it must precede the <windows.h> that the client's header includes.
#include "Zum/ftp/BlockingSocket.h"
#include "Zum/ftp/FtpClient.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace nsFTP {

using nsSocket::CBlockingSocket;
using nsSocket::CBlockingSocketException;
using nsSocket::CSocketAddress;

namespace {

// The name observers are given as the source of an internal error.
const char kSourceName[] = ".\\Zum\\ftp\\FtpClient";

// Buffers smaller than this could not receive a single byte of a reply.
constexpr size_t kMinimumBufferSize = 2;

// A server that never ends its line must not make the client collect without limit; what came
// so far is then handed out as one line.
constexpr size_t kMaxUnendedText = 64 * 1024;

// Lets the rest of a reply that is on its way arrive before the received text is cut into lines.
constexpr std::chrono::milliseconds kReceivePause(50);

// ---- Logon sequences ------------------------------------------------------------------------
// Each firewall type logs on with its own short script: a command per step, and the step that
// follows a 2xx or a 3xx reply to it. Any other reply ends the logon at once.

enum class LogonCommand { U, P, A, FU, FP, S, UH, O, FUH, UHF, UFH, PFP };

constexpr int kMaxSteps = 6;
constexpr int kDone = 100; // logged on: change to "/" and finish
constexpr int kFail = 101; // the scheme does not allow this reply here

struct LogonStep {
    LogonCommand command;
    int after2xx;
    int after3xx;
};

struct LogonSequence {
    int steps;
    LogonStep step[kMaxSteps];
};

using C = LogonCommand;
constexpr LogonSequence kLogonSequences[CFirewallType::kCount] = {
    // 0 no firewall
    {3, {{C::U, kDone, 1}, {C::P, kDone, 2}, {C::A, kDone, kFail}}},
    // 1 SITE hostname
    {6, {{C::FU, 2, 1}, {C::FP, 2, kFail}, {C::S, kFail, 3}, {C::U, kDone, 4}, {C::P, kDone, 5}, {C::A, kDone, kFail}}},
    // 2 USER after logon
    {5, {{C::FU, 2, 1}, {C::FP, 2, kFail}, {C::UH, kDone, 3}, {C::P, kDone, 4}, {C::A, kDone, kFail}}},
    // 3 proxy OPEN
    {4, {{C::O, 1, 1}, {C::U, kDone, 2}, {C::P, kDone, 3}, {C::A, kDone, kFail}}},
    // 4 Transparent
    {5, {{C::FU, 2, 1}, {C::FP, 2, kFail}, {C::U, kDone, 3}, {C::P, kDone, 4}, {C::A, kDone, kFail}}},
    // 5 USER with no logon
    {3, {{C::UH, kDone, 1}, {C::P, kDone, 2}, {C::A, kDone, kFail}}},
    // 6 USER fireID@remotehost
    {5, {{C::FUH, 2, 1}, {C::FP, 2, kFail}, {C::U, kDone, 3}, {C::P, kDone, 4}, {C::A, kDone, kFail}}},
    // 7 USER remoteID@remotehost fireID
    {3, {{C::UHF, kFail, 1}, {C::P, kDone, 2}, {C::A, kDone, kFail}}},
    // 8 USER remoteID@fireID@remotehost
    {3, {{C::UFH, kDone, 1}, {C::PFP, kDone, 2}, {C::A, kDone, kFail}}},
};

// Every successor lies ahead within its row, so each logon ends after at most six commands.
constexpr bool SuccessorsMoveForward()
{
    for (const auto& sequence : kLogonSequences) {
        for (int i = 0; i < sequence.steps; ++i) {
            for (int next : {sequence.step[i].after2xx, sequence.step[i].after3xx}) {
                const bool terminal = next == kDone || next == kFail;
                if (!terminal && (next <= i || next >= sequence.steps)) return false;
            }
        }
    }
    return true;
}
static_assert(SuccessorsMoveForward(), "a logon step may only lead forward");

// The remote host as logon commands name it; the standard port is left out.
std::string HostText(const std::string& host, int port)
{
    return port == CLogonInfo::kDefaultPort ? host : host + ":" + std::to_string(port);
}

std::string LogonCommandText(LogonCommand command, const CLogonInfo& info, const std::string& hostText)
{
    switch (command) {
    case C::U: return "USER " + info.Username();
    case C::P: return "PASS " + info.Password();
    case C::A: return "ACCT " + info.Account();
    case C::FU: return "USER " + info.FwUsername();
    case C::FP: return "PASS " + info.FwPassword();
    case C::S: return "SITE " + hostText;
    case C::UH: return "USER " + info.Username() + "@" + hostText;
    case C::O: return "OPEN " + hostText;
    case C::FUH: return "USER " + info.FwUsername() + "@" + hostText;
    case C::UHF: return "USER " + info.Username() + "@" + hostText + " " + info.FwUsername();
    case C::UFH: return "USER " + info.Username() + "@" + info.FwUsername() + "@" + hostText;
    case C::PFP: return "PASS " + info.Password() + "@" + info.FwPassword();
    }
    return std::string();
}

// ---- Replies --------------------------------------------------------------------------------

int ResultOf(int code)
{
    if (code == 2) return RESULT_OK;
    if (code == 4 || code == 5) return RESULT_REJECTED;
    return RESULT_ERROR;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

CFtpClient::CFtpClient(unsigned int timeoutSeconds, unsigned int bufferSize, bool useStdioFiles)
    : m_uiTimeout(timeoutSeconds), m_fUseStdioFiles(useStdioFiles),
      m_vBuffer(std::max<size_t>(bufferSize, kMinimumBufferSize)),
      m_sckControlConnection(std::make_unique<CBlockingSocket>())
{
}

CFtpClient::~CFtpClient()
{
    try {
        if (m_fTransferInProgress) Abort();
        if (IsConnected()) Logout();
    } catch (...) {
        // An observer's exception must not leave a destructor.
    }
}

bool CFtpClient::IsConnected() const
{
    return m_sckControlConnection->Handle() != 0;
}

void CFtpClient::AttachObserver(CTransferObserver* observer)
{
    if (observer != nullptr) m_setObservers.insert(observer);
}

void CFtpClient::DetachObserver(CTransferObserver* observer)
{
    m_setObservers.erase(observer);
}

void CFtpClient::Abort()
{
    if (m_fTransferInProgress) m_fAbortTransfer = true;
}

void CFtpClient::ReportError(const std::string& text, unsigned int line)
{
    // A copy: an observer may detach itself while being told.
    const auto observers = m_setObservers;
    for (CTransferObserver* observer : observers) observer->OnInternalError(text, kSourceName, line);
}

void CFtpClient::ReportSocketError(const CBlockingSocketException& error, unsigned int line)
{
    ReportError(error.GetErrorText(), line);
    m_sckControlConnection->Cleanup();
    m_pCurrentRepresentation.reset();
}

// ---- Connection -----------------------------------------------------------------------------

void CFtpClient::CloseControlConnection() noexcept
{
    try {
        m_sckControlConnection->Close();
    } catch (const CBlockingSocketException&) {
        // Nothing useful can be done about a failed close; the handle is dropped below.
    }
    m_sckControlConnection->Cleanup();
    m_pCurrentRepresentation.reset();
}

bool CFtpClient::OpenControlConnection(const std::string& host, int port)
{
    CloseControlConnection();
    // Lines left from an earlier connection must not be taken for this server's replies.
    m_qResponseLines = std::queue<std::string>();

    if (port <= 0 || port > 65535) {
        ReportError("Invalid port " + std::to_string(port) + ".", __LINE__);
        return false;
    }
    try {
        m_sckControlConnection->Create(SOCK_STREAM);
        const CSocketAddress address = CBlockingSocket::GetHostByName(host, static_cast<unsigned short>(port));
        m_sckControlConnection->Connect(address);
    } catch (const CBlockingSocketException& error) {
        ReportSocketError(error, __LINE__);
        return false;
    }
    return true;
}

bool CFtpClient::Login(const CLogonInfo& logonInfo)
{
    m_LastLogonInfo = logonInfo;
    const CFirewallType type = logonInfo.FwType();
    if (!type.IsValid()) {
        ReportError("Unknown firewall type " + std::to_string(type.Value()) + ".", __LINE__);
        return false;
    }

    const bool direct = type.Value() == CFirewallType::kNoFirewall;
    const std::string& host = direct ? logonInfo.Hostname() : logonInfo.FwHost();
    const int port = direct ? logonInfo.Hostport() : logonInfo.FwPort();
    const std::string hostText = HostText(logonInfo.Hostname(), logonInfo.Hostport());

    if (IsConnected()) Logout();
    if (!OpenControlConnection(host, port)) return false;

    int code = 0;
    if (!GetResponse(code) || code != 2) return false;

    const LogonSequence& sequence = kLogonSequences[type.Value()];
    int step = 0;
    while (step != kDone && step != kFail) {
        const LogonStep& current = sequence.step[step];
        if (!SendCommand(LogonCommandText(current.command, logonInfo, hostText)) || !GetResponse(code)) return false;
        if (code == 2)
            step = current.after2xx;
        else if (code == 3)
            step = current.after3xx;
        else
            return false;
    }
    if (step == kFail) {
        ReportError("Logon failed.", __LINE__);
        return false;
    }
    return ChangeWorkingDirectory("/") == RESULT_OK;
}

int CFtpClient::Logout()
{
    int code = 0;
    if (!SendCommand("QUIT") || !GetResponse(code)) return RESULT_ERROR;
    CloseControlConnection();
    return ResultOf(code);
}

// ---- Commands and replies -------------------------------------------------------------------

bool CFtpClient::SendCommand(const std::string& command)
{
    if (!IsConnected()) return false;
    if (command.find_first_of("\r\n") != std::string::npos) {
        ReportError("Command contains a line break.", __LINE__);
        return false;
    }
    const auto observers = m_setObservers;
    for (CTransferObserver* observer : observers) observer->OnSendCommand(command);
    try {
        const std::string line = command + "\r\n";
        m_sckControlConnection->Write(line.data(), static_cast<int>(line.size()), m_uiTimeout);
    } catch (const CBlockingSocketException& error) {
        ReportSocketError(error, __LINE__);
        return false;
    }
    return true;
}

bool CFtpClient::ReadResponseLine(std::string& line, int& code)
{
    line.clear();
    code = 0;
    if (!IsConnected()) return false;

    try {
        if (m_qResponseLines.empty()) {
            const int room = static_cast<int>(m_vBuffer.size()) - 1;
            std::string text;
            int received = 0;
            do {
                received = m_sckControlConnection->Receive(m_vBuffer.data(), room, m_uiTimeout);
                std::this_thread::sleep_for(kReceivePause);
                if (received > 0) text.append(m_vBuffer.data(), static_cast<size_t>(received));
                // Keep receiving until the text ends a line: a full buffer, or a reply that
                // arrived in pieces, is finished before it is cut. A text that does end a line
                // is complete even when it filled the buffer; more waits in the socket.
            } while (received > 0 && text.back() != '\n' && text.size() < kMaxUnendedText);

            if (text.empty()) {
                // The server closed the connection: it is over.
                m_sckControlConnection->Cleanup();
                m_pCurrentRepresentation.reset();
                return false;
            }
            size_t start = 0;
            while (start < text.size()) {
                const size_t lineFeed = text.find('\n', start);
                const size_t end = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
                m_qResponseLines.push(text.substr(start, end - start));
                start = end;
            }
        }
        if (m_qResponseLines.empty()) return false;

        line = m_qResponseLines.front();
        m_qResponseLines.pop();
        if (!line.empty()) code = IsDigit(line[0]) ? line[0] - '0' : 0;
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.erase(line.size() - 2);

        const auto observers = m_setObservers;
        for (CTransferObserver* observer : observers) observer->OnResponse(line);
        return true;
    } catch (const CBlockingSocketException& error) {
        ReportSocketError(error, __LINE__);
        return false;
    }
}

bool CFtpClient::GetResponse(int& code)
{
    std::string text;
    return GetResponse(text, code);
}

bool CFtpClient::GetResponse(std::string& text, int& code)
{
    std::string line;
    if (!ReadResponseLine(line, code)) return false;
    text = line;
    if (line.size() <= 3 || line[3] != '-') return true;

    // A multi-line reply ends with the line that repeats the first line's number and a space.
    size_t digits = 0;
    while (digits < line.size() && IsDigit(line[digits])) ++digits;
    const std::string number = line.substr(0, digits);
    for (;;) {
        if (!ReadResponseLine(line, code)) return false;
        text += "\r\n";
        text += line;
        if (line.size() > 3 && line[3] == ' ' && line.compare(0, number.size(), number) == 0) return true;
    }
}

int CFtpClient::SimpleCommand(const std::string& command)
{
    int code = 0;
    if (!SendCommand(command) || !GetResponse(code)) return RESULT_ERROR;
    return ResultOf(code);
}

int CFtpClient::ChangeWorkingDirectory(const std::string& directory)
{
    return SimpleCommand("CWD " + directory);
}

int CFtpClient::ChangeToParentDirectory()
{
    return SimpleCommand("CDUP");
}

int CFtpClient::PrintWorkingDirectory()
{
    return SimpleCommand("PWD");
}

int CFtpClient::System()
{
    return SimpleCommand("SYST");
}

int CFtpClient::Noop()
{
    return SimpleCommand("NOOP");
}

int CFtpClient::MakeDirectory(const std::string& directory)
{
    return SimpleCommand("MKD " + directory);
}

int CFtpClient::Site(const std::string& text)
{
    return SimpleCommand("SITE " + text);
}

int CFtpClient::Help(const std::string& topic)
{
    return SimpleCommand(topic.empty() ? std::string("HELP") : "HELP " + topic);
}

int CFtpClient::Delete(const std::string& path)
{
    return SimpleCommand("DELE " + path);
}

int CFtpClient::RemoveDirectory(const std::string& directory)
{
    return SimpleCommand("RMD " + directory);
}

int CFtpClient::FileStructure(int structure)
{
    static const char* const kCodes[] = {"F", "R", "P"};
    if (structure < 0 || structure > 2) return RESULT_ERROR;
    return SimpleCommand(std::string("STRU ") + kCodes[structure]);
}

int CFtpClient::TransferMode(int mode)
{
    static const char* const kCodes[] = {"S", "B", "C"};
    if (mode < 0 || mode > 2) return RESULT_ERROR;
    return SimpleCommand(std::string("MODE ") + kCodes[mode]);
}

int CFtpClient::Status(const std::string& path)
{
    return SimpleCommand(path.empty() ? std::string("STAT") : "STAT " + path);
}

int CFtpClient::Allocate(long long bytes, std::optional<long long> recordSize)
{
    std::string command = "ALLO " + std::to_string(bytes);
    if (recordSize) command += " R " + std::to_string(*recordSize);
    return SimpleCommand(command);
}

int CFtpClient::StructureMount(const std::string& path)
{
    return SimpleCommand("SMNT " + path);
}

int CFtpClient::Reinitialize()
{
    int code = 0;
    if (!SendCommand("REIN") || !GetResponse(code)) return RESULT_ERROR;
    // "Ready in a moment": the outcome is the reply that follows, and only 2xx will do.
    if (code == 1 && (!GetResponse(code) || code != 2)) return RESULT_ERROR;
    if (code == 2) {
        // The server is back at its initial state, representation type included.
        m_pCurrentRepresentation.reset();
        return RESULT_OK;
    }
    return ResultOf(code);
}

int CFtpClient::Rename(const std::string& from, const std::string& to)
{
    int code = 0;
    if (!SendCommand("RNFR " + from) || !GetResponse(code)) return RESULT_ERROR;
    if (code != 3) return code == 2 ? RESULT_ERROR : ResultOf(code);
    if (!SendCommand("RNTO " + to) || !GetResponse(code)) return RESULT_ERROR;
    return ResultOf(code);
}

int CFtpClient::RepresentationType(const CRepresentation& representation)
{
    const int result = SimpleCommand("TYPE " + representation.TypeArgument());
    if (result == RESULT_OK) m_pCurrentRepresentation = std::make_unique<CRepresentation>(representation);
    return result;
}

} // namespace nsFTP
