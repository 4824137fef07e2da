#include "net/FileSink.h"

bool CFileSink::Open(const std::string& targetPath)
{
    Discard();
    m_expectedDigest.clear();
    std::size_t slash = targetPath.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string(".") : targetPath.substr(0, slash + 1);

    // GetTempFileName makes the file, with a name no other download in the folder has.
    char temporary[MAX_PATH];
    if (::GetTempFileNameA(folder.c_str(), "nvw", 0, temporary) == 0) return false;
    m_temporary = temporary;
    m_file.reset(::CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
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
    m_digest.Finish();  // starts over
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
    if (!m_expectedDigest.empty() && CSha256::ToHex(m_digest.Finish()) != m_expectedDigest) {
        Discard();
        return false;
    }
    bool closed = ::CloseHandle(m_file.release()) != FALSE;
    if (!closed || !::MoveFileExA(m_temporary.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        Discard();
        return false;
    }
    m_temporary.clear();
    m_target.clear();
    return true;
}

void CFileSink::Discard()
{
    m_file.reset();
    if (!m_temporary.empty()) ::DeleteFileA(m_temporary.c_str());
    m_temporary.clear();
    m_target.clear();
}
