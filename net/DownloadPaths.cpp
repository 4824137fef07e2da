#include "net/DownloadPaths.h"

const char* const kUpdateBasePath = "/update/";
const char* const kVersionListName = "version.txt";
const char* const kFileListName = "_nuvr_file_list.lst";
const char* const kFileListSignatureName = "_nuvr_file_list.lst.sig";

bool SplitDownload(const std::string& serverPath, const std::string& localPath, CDownloadTarget& target)
{
    std::size_t serverSlash = serverPath.rfind('/');
    std::string fileName = serverSlash == std::string::npos ? serverPath : serverPath.substr(serverSlash + 1);
    if (fileName.empty() || fileName == "." || fileName == ".." ||
        fileName.find_first_of("\\:") != std::string::npos)
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
