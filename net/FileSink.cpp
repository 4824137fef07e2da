#include "net/FileSink.h"

#include "framework/RunLog.h"
#include "net/DownloadPaths.h"

#include <cstdio>

namespace {

// The target's own path in full: the names must still mean the same files if the current
// directory changes while an abandoned fetch is still blocked.
std::string FullPath(const std::string& path)
{
    char full[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(full, length);
}

} // namespace

bool CFileSink::Open(const std::string& targetPath)
{
    return Open(targetPath, 0);
}

long long CFileSink::ResumeOffset()
{
    if (m_partial.empty()) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(m_partial.c_str(), GetFileExInfoStandard, &data)) return 0;
    const long long size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (m_expectedSize >= 0 && size >= m_expectedSize) {
        ::DeleteFileA(m_partial.c_str());
        return 0;
    }
    return size;
}

bool CFileSink::Open(const std::string& targetPath, long long continueAt)
{
    std::lock_guard<std::mutex> lock(m_lock);
    DiscardLocked();
    m_digest.Finish(); // starts the digest over
    m_written = 0;
    m_partialWrong = false;
    if (m_abandoned) return false;
    const std::string target = FullPath(targetPath);
    if (target.empty()) return false;
    if (!m_partial.empty()) return OpenPartial(target, continueAt);
    const std::size_t slash = target.find_last_of("/\\");
    const std::string folder = target.substr(0, slash + 1);

    // Creating the file with a fresh name is the one call per file that finds a name no other
    // download in the folder has; a name in use is passed over.
    static std::atomic<unsigned> next{::GetTickCount()};
    for (int attempt = 0; attempt < 64; ++attempt) {
        char name[16];
        std::snprintf(name, sizeof name, "%s%x.tmp", kPartialDownloadPrefix, (next++ & 0xFFFFu));
        const std::string temporary = folder + name;
        m_file.reset(
            ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (m_file) {
            m_temporary = temporary;
            m_target = target;
            return true;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false; // no folder, no rights
    }
    return false;
}

bool CFileSink::OpenPartial(const std::string& target, long long continueAt)
{
    const std::string partial = FullPath(m_partial);
    if (partial.empty()) return false;
    m_file.reset(::CreateFileA(partial.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) return false;
    m_temporary = partial;
    m_target = target;
    LARGE_INTEGER size = {};
    if (continueAt <= 0 || !::GetFileSizeEx(m_file.get(), &size) || size.QuadPart != continueAt) {
        // Starting over: a server that ignores the range sends the whole file again.
        return ::SetFilePointer(m_file.get(), 0, nullptr, FILE_BEGIN) == 0 && ::SetEndOfFile(m_file.get()) &&
            continueAt <= 0;
    }
    // The bytes already there count, and are hashed, as if they had just arrived.
    char buffer[64 * 1024];
    DWORD read = 0;
    while (::ReadFile(m_file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        if (!m_expectedDigest.empty()) m_digest.Update(buffer, read);
        m_written += read;
    }
    return m_written.load() == continueAt;
}

void CFileSink::ExpectDigest(const std::string& sha256Hex)
{
    m_expectedDigest = sha256Hex;
}

bool CFileSink::Write(const void* data, DWORD size)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_abandoned) return false;
    // The first byte past the listed size (or the bound) ends the body: nothing more is written.
    const long long after = m_written.load() + static_cast<long long>(size);
    if ((m_expectedSize >= 0 && after > m_expectedSize) || (m_sizeLimit >= 0 && after > m_sizeLimit)) return false;
    m_written = after;
    const char* bytes = static_cast<const char*>(data);
    // Hashed on the way through, so that checking costs no second pass over the file.
    if (!m_expectedDigest.empty()) m_digest.Update(bytes, size);
    while (size > 0) {
        DWORD written = 0;
        if (!m_file || !::WriteFile(m_file.get(), bytes, size, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

bool CFileSink::Commit()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_file || m_abandoned) return false;
    m_movedAside = false;
    if (m_expectedSize >= 0 && m_written.load() != m_expectedSize) {
        CRunLog::Write(m_target + ": " + std::to_string(m_written.load()) + " bytes arrived, the list gives " +
                       std::to_string(m_expectedSize));
        m_partialWrong = true;
        DiscardLocked();
        return false;
    }
    if (!m_expectedDigest.empty()) {
        const std::string digest = CSha256::ToHex(m_digest.Finish());
        if (digest != m_expectedDigest) {
            CRunLog::Write(m_target + ": SHA-256 " + digest + " does not match the list's " + m_expectedDigest);
            m_partialWrong = true;
            DiscardLocked();
            return false;
        }
    }
    bool closed = ::CloseHandle(m_file.release()) != FALSE;
    // Windows never replaces a read-only file in one step (Wine would): such a file takes the
    // way aside too, so that its old copy is deleted only after the user's consent.
    const DWORD attributes = ::GetFileAttributesA(m_target.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (!closed ||
        !((!readOnly && ::MoveFileExA(m_temporary.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING)) ||
          ReplaceThroughAside())) {
        CRunLog::Write(m_target + " could not be replaced: Windows error " + std::to_string(::GetLastError()));
        DiscardLocked();
        return false;
    }
    m_temporary.clear();
    m_target.clear();
    return true;
}

bool CFileSink::ReplaceThroughAside()
{
    // A program that runs cannot be overwritten or deleted, but it can be renamed.
    if (m_aside.empty() || !::MoveFileA(m_target.c_str(), m_aside.c_str())) return false;
    if (::MoveFileA(m_temporary.c_str(), m_target.c_str())) {
        m_movedAside = true;
        return true;
    }
    // The old file goes back; if even that fails it stays under the aside name, where the next
    // run finds it and puts it back.
    ::MoveFileA(m_aside.c_str(), m_target.c_str());
    return false;
}

void CFileSink::Abandon()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_abandoned = true;
    DiscardLocked();
}

void CFileSink::Discard()
{
    std::lock_guard<std::mutex> lock(m_lock);
    DiscardLocked();
}

void CFileSink::DiscardLocked()
{
    m_file.reset();
    // A kept partial file stays for the next run, unless its bytes are known to be wrong.
    const bool keep = !m_partial.empty() && !m_partialWrong;
    if (!m_temporary.empty() && !keep) ::DeleteFileA(m_temporary.c_str());
    m_temporary.clear();
    m_target.clear();
}
