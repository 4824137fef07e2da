#include "update/FileDigest.h"

#include "crypt/Sha256.h"
#include "framework/Handles.h"

#include <windows.h>

#include <vector>

std::string Sha256OfFile(const std::string& path)
{
    constexpr DWORD kReadChunk = 64 * 1024;
    CHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return std::string();
    CSha256 hash;
    std::vector<unsigned char> buffer(kReadChunk);
    DWORD read = 0;
    while (ReadFile(file.get(), buffer.data(), kReadChunk, &read, nullptr)) {
        if (read == 0) return CSha256::ToHex(hash.Finish());
        hash.Update(buffer.data(), read);
    }
    return std::string();
}
