#pragma once
// The folder identities of this machine: the path is opened for its attributes only, without
// following a link, junction or mount point at its end, so a link is judged as itself and the
// folder it points to is never reached through it.
#include "fileops/IFolderIdentitySource.h"

class CDiskFolderIdentity : public IFolderIdentitySource {
public:
    EIdentityLookup Identify(const std::string& path, CFolderIdentity& identity) override;
};
