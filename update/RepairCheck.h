#pragma once
// Whether one installed file still is what the signed file list says: present, of the listed
// size when the list gives one, and with the listed SHA-256 when it gives one. A file whose
// entry has neither is judged by its presence alone.
#include "release/FileListEntry.h"

#include <functional>
#include <string>

class CRepairCheck {
public:
    enum class State { Good, Missing, Damaged };

    struct Installed {
        bool exists = false; // a plain file under the entry's name
        long long size = 0;
        // The file's SHA-256 as lower-case hex, "" when it cannot be read; asked only when the
        // entry lists a digest and the size did not decide already.
        std::function<std::string()> digest;
    };

    static State Judge(const CFileListEntry& entry, const Installed& file);
};
