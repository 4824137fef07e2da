#include "framework/RunLog.h"

#include "framework/Handles.h"
#include "framework/TextConvert.h"
#include "framework/Trace.h"

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
};

CLogState& State()
{
    static CLogState state;
    return state;
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

// Moves the full file to "<name>.1" and starts a new one. Called with the mutex held.
void Rotate(CLogState& state)
{
    state.file.reset();
    // A rename that fails (another run holds the old name without sharing it) only lets the
    // file grow: the lines matter more than the bound.
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
        // Converted before the lock: only the append itself is serialised.
        const std::string text = TimeStamp() + Utf8FromWide(WideFromAnsi(line)) + "\r\n";
        std::lock_guard<std::mutex> lock(state.mutex);
        if (!state.file) return;
        if (state.size > 0 && state.size + text.size() > kRotateBytes) Rotate(state);
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
