#pragma once
// Where the folder guard learns what a path names on disk. The platform's source opens the path
// without following a link at its end; tests hand in a table.
#include "fileops/FolderIdentity.h"

#include <string>

enum class EIdentityLookup {
    Found,   // identity filled in
    Missing, // nothing exists at that path
    Unknown, // something may exist there but could not be identified
};

class IFolderIdentitySource {
public:
    virtual ~IFolderIdentitySource() = default;
    virtual EIdentityLookup Identify(const std::string& path, CFolderIdentity& identity) = 0;
};
