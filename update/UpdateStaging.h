#pragma once
// The staging folder of an update or a repair, "_nuvr_update" inside the installation folder (so
// on its volume, and every commit a rename): "files\" holds the verified files of one release
// under their own paths, "partial\" the downloads not yet complete, and "release.txt" the
// version they belong to. Nothing in it counts as installed until the commit moves it.
// Used below the current directory, which is the installation folder.
#include "release/FileListEntry.h"

#include <string>

class CUpdateStaging {
public:
    static constexpr const char* kFolder = "_nuvr_update";

    // Makes the folder ready for `version`: staged files of another release are discarded.
    // False when it cannot be made.
    static bool Prepare(const std::string& version);
    // Where the entry's verified file and its partial download go ("/" separated, relative).
    static std::string StagedPath(const CFileListEntry& entry);
    static std::string PartialPath(const CFileListEntry& entry);
    // Makes the folders both need.
    static void MakeFoldersFor(const CFileListEntry& entry);
    // A staged file of the entry is there and still matches its size and hash (a file without
    // either is never trusted: it is fetched again).
    static bool HasVerified(const CFileListEntry& entry);
    // The bytes the entry's partial download already holds.
    static long long PartialBytes(const CFileListEntry& entry);
};
