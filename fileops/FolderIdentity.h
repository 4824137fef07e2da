#pragma once
// What a folder on disk is, as opposed to how it is spelled: "\\localhost\c$\Users\kim", a
// substituted drive and "C:\Users\kim" all open the same folder, and only its identity shows it.
#include <cstdint>
#include <string>

struct CFolderIdentity {
    std::uint32_t volumeSerial = 0;
    std::uint64_t fileIndex = 0; // 0 when the file system gave none
    std::string finalPath;       // the platform's normalised path ("C:\Users\kim"), "" when it gave none
};
