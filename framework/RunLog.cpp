#include "framework/RunLog.h"

#include "framework/Handles.h"
#include "framework/TextConvert.h"
#include "framework/Trace.h"
#include "text/LogText.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <vector>

namespace {

const wchar_t kMakerFolder[] = L"Morvel";
const wchar_t kFileName[] = L"NuvraUpdater.log";
const wchar_t kRotatedSuffix[] = L".1";

// The one open log of the process; every member is guarded by the mutex.
struct CLogState {
    std::mutex mutex;
    CHandle file;
    std::wstring path;
    unsigned long long size = 0;
    bool rotated = false; // this run has rotated (or tried to) once already
};

CLogState& State()
{
    // Never destroyed: a transfer thread left blocked in WinInet may still end, and try a line,
    // while the process exits; it must find a lock and a closed log, not freed memory.
    static CLogState* state = new CLogState;
    return *state;
}

// One character of the program's 8-bit text in the ANSI code page, as the log's escaping reads it.
std::size_t ReadAnsiCharacter(const char* text, std::size_t available, char32_t& code)
{
    const std::size_t length = ::IsDBCSLeadByte(static_cast<BYTE>(*text)) ? 2 : 1;
    if (length > available) return 0;
    wchar_t wide[2] = {};
    const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), wide, 2);
    if (n == 1 && (wide[0] < 0xD800 || wide[0] > 0xDFFF)) {
        code = wide[0];
    } else if (n == 2 && wide[0] >= 0xD800 && wide[0] < 0xDC00 && wide[1] >= 0xDC00 && wide[1] <= 0xDFFF) {
        code = 0x10000 + ((static_cast<char32_t>(wide[0]) - 0xD800) << 10) + (wide[1] - 0xDC00);
    } else {
        return 0;
    }
    // Code pages map the bytes they have no character for into the private use area (949 does for
    // its user-defined rows): nothing a reader could see, so shown as the bytes they were.
    if (code >= 0xE000 && code <= 0xF8FF) return 0;
    return length;
}

std::wstring EnvironmentFolder(const wchar_t* name)
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::wstring WithSeparator(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder;
}

std::wstring LocalAppDataFolder()
{
    std::wstring folder = EnvironmentFolder(L"LOCALAPPDATA");
    if (!folder.empty()) return folder;
    wchar_t known[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, known))) return {};
    return known;
}

std::wstring TemporaryFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// Appending only: lines of two runs at the same moment (an update started by the product while
// another run ends) stay whole, and either may rename the file.
CHandle OpenForAppend(const std::wstring& path)
{
    return CHandle(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

unsigned long long FileSize(const CHandle& file)
{
    LARGE_INTEGER size = {};
    return ::GetFileSizeEx(file.get(), &size) ? static_cast<unsigned long long>(size.QuadPart) : 0;
}

// Moves the full file to "<name>.1" and starts a new one; once per run, so that this run's lines
// never push the previous run's out. Called with the mutex held.
void Rotate(CLogState& state)
{
    state.rotated = true;
    state.file.reset();
    // A rename that fails (another run holds the old name without sharing it) keeps the file,
    // which then grows to twice the size and no further (DecideLogWrite).
    ::MoveFileExW(state.path.c_str(), (state.path + kRotatedSuffix).c_str(), MOVEFILE_REPLACE_EXISTING);
    state.file = OpenForAppend(state.path);
    state.size = state.file ? FileSize(state.file) : 0;
}

bool TryOpen(CLogState& state, const std::wstring& path)
{
    if (path.empty()) return false;
    CHandle file = OpenForAppend(path);
    if (!file) return false;
    state.file = std::move(file);
    state.path = path;
    state.size = FileSize(state.file);
    state.rotated = false;
    if (state.size >= CRunLog::kRotateBytes) Rotate(state);
    return static_cast<bool>(state.file);
}

std::string TimeStamp()
{
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] ", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, ::GetCurrentProcessId());
    return text;
}

} // namespace

void CRunLog::Open(const std::string& explicitPath)
{
    try {
        CLogState& state = State();
        std::lock_guard<std::mutex> lock(state.mutex);
        state.file.reset();
        state.path.clear();
        if (!explicitPath.empty() && TryOpen(state, WideFromAnsi(explicitPath))) return;
        const std::wstring local = LocalAppDataFolder();
        if (!local.empty()) {
            const std::wstring folder = WithSeparator(local) + kMakerFolder;
            ::CreateDirectoryW(folder.c_str(), nullptr); // one that exists already is fine
            if (TryOpen(state, WithSeparator(folder) + kFileName)) return;
        }
        const std::wstring temporary = TemporaryFolder();
        if (!temporary.empty() && TryOpen(state, WithSeparator(temporary) + kFileName)) return;
        state.path.clear();
    } catch (...) {
        // Without a log the run goes on as it would.
        TraceSwallowedException("run log: open");
    }
}

void CRunLog::Close()
{
    CLogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.file.reset();
    state.path.clear();
}

void CRunLog::Write(const std::string& line)
{
    try {
        CLogState& state = State();
        // Escaped and bounded before the lock: only the append itself is serialised.
        const std::string text =
            TimeStamp() + LogLineText(line, ReadAnsiCharacter, kLineBytes, kLineTailBytes) + "\r\n";
        std::lock_guard<std::mutex> lock(state.mutex);
        if (!state.file) return;
        switch (DecideLogWrite(state.size, text.size(), state.rotated, kRotateBytes)) {
        case LogWrite::Append: break;
        case LogWrite::RotateFirst: Rotate(state); break;
        case LogWrite::Drop: return;
        }
        DWORD written = 0;
        if (state.file &&
            ::WriteFile(state.file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
            state.size += written;
    } catch (...) {
        // A line that cannot be built (no memory) is lost; the run is not.
        TraceSwallowedException("run log: write");
    }
}

std::wstring CRunLog::Path()
{
    CLogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.path;
}
