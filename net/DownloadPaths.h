#pragma once
// The update server's path layout and how a download's server path and local path become the
// fetcher's arguments.
#include <string>

extern const char* const kUpdateBasePath;        // "/update/"
extern const char* const kVersionListName;       // "version.txt"
extern const char* const kFileListName;          // "_nuvr_file_list.lst"
extern const char* const kFileListSignatureName; // "_nuvr_file_list.lst.sig", beside the list

struct CDownloadTarget {
    std::string serverFolder; // "/update/" + the server path's folders, ending in "/"
    std::string fileName;     // the server path's last component; also the local file's name
    std::string localFolder;  // the local path up to and including its last "/", or ""
};

// Splits a download. The file is stored under the server's file name in the local path's folder;
// the local path's own file name plays no role. False when the server's file name could name
// something else than one file in that folder (empty, "." or "..", or holding "\" or ":"), since
// it comes from the server's list.
bool SplitDownload(const std::string& serverPath, const std::string& localPath, CDownloadTarget& target);

// "/update/<component>/", the folder of a component's file list.
std::string FileListFolder(const std::string& component);

// Downloads are written under "<prefix><1-4 hex digits>.tmp" beside their target until complete.
extern const char* const kPartialDownloadPrefix; // "nvw"
// True for such a name: a partial download that a killed run left behind.
bool IsPartialDownloadName(const std::string& fileName);
