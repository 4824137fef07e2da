#include "release/EntryHashes.h"

bool EveryEntryHashed(const std::vector<std::string>& lines, CFileListEntry::Blanks blanks)
{
    for (std::size_t i = 2; i < lines.size(); ++i) {
        CFileListEntry entry = CFileListEntry::Read(lines[i], blanks);
        if (entry.IsEntry() && entry.Hash().empty()) return false;
    }
    return true;
}
