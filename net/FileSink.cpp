#include "net/FileSink.h"

#include "framework/RunLog.h"
#include "net/DownloadPaths.h"

bool CFileSink::Open(const std::string& targetPath)
{
    Discard();
    m_digest.Finish(); // starts the digest over
    std::size_t slash = targetPath.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string(".") : targetPath.substr(0, slash + 1);

    // GetTempFileName makes the file, with a name no other download in the folder has.
    char temporary[MAX_PATH];
    if (::GetTempFileNameA(folder.c_str(), kPartialDownloadPrefix, 0, temporary) == 0) return false;
    m_temporary = temporary;
    m_file.reset(
        ::CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) {
        Discard();
        return false;
    }
    m_target = targetPath;
    return true;
}

void CFileSink::ExpectDigest(const std::string& sha256Hex)
{
    m_expectedDigest = sha256Hex;
}

bool CFileSink::Write(const void* data, DWORD size)
{
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
    if (!m_file) return false;
    m_movedAside = false;
    if (!m_expectedDigest.empty()) {
        const std::string digest = CSha256::ToHex(m_digest.Finish());
        if (digest != m_expectedDigest) {
            CRunLog::Write(m_target + ": SHA-256 " + digest + " does not match the list's " + m_expectedDigest);
            Discard();
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
        Discard();
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

void CFileSink::Discard()
{
    m_file.reset();
    if (!m_temporary.empty()) ::DeleteFileA(m_temporary.c_str());
    m_temporary.clear();
    m_target.clear();
}
