#include "net/DownloadPaths.h"

#include <algorithm>
#include <cctype>

const char* const kUpdateBasePath = "/update/";
const char* const kVersionListName = "version.txt";
const char* const kFileListName = "_nuvr_file_list.lst";
const char* const kFileListSignatureName = "_nuvr_file_list.lst.sig";
const char* const kPartialDownloadPrefix = "nvw";

bool SplitDownload(const std::string& serverPath, const std::string& localPath, CDownloadTarget& target)
{
    std::size_t serverSlash = serverPath.rfind('/');
    std::string fileName = serverSlash == std::string::npos ? serverPath : serverPath.substr(serverSlash + 1);
    if (fileName.empty() || fileName == "." || fileName == ".." || fileName.find_first_of("\\:") != std::string::npos)
        return false;

    std::size_t localSlash = localPath.rfind('/');
    target.fileName = fileName;
    target.serverFolder = std::string(kUpdateBasePath) +
        (serverSlash == std::string::npos ? std::string() : serverPath.substr(0, serverSlash + 1));
    target.localFolder = localSlash == std::string::npos ? std::string() : localPath.substr(0, localSlash + 1);
    return true;
}

std::string FileListFolder(const std::string& component)
{
    return std::string(kUpdateBasePath) + component + "/";
}

bool IsPartialDownloadName(const std::string& fileName)
{
    const std::string prefix = kPartialDownloadPrefix;
    const std::string suffix = ".tmp";
    const std::size_t digits = fileName.size() - std::min(fileName.size(), prefix.size() + suffix.size());
    if (fileName.size() < prefix.size() + suffix.size() || digits < 1 || digits > 4) return false;
    auto sameLetters = [&](std::size_t at, const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(fileName[at + i])) != text[i]) return false;
        return true;
    };
    for (std::size_t i = prefix.size(); i < prefix.size() + digits; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(fileName[i]))) return false;
    return sameLetters(0, prefix) && sameLetters(prefix.size() + digits, suffix);
}
