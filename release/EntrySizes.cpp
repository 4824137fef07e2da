#include "release/EntrySizes.h"

#include "release/FileListEntry.h"

bool EverySizeListed(const std::vector<std::string>& lines)
{
    bool any = false;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const CFileListEntry entry = CFileListEntry::Read(lines[i], CFileListEntry::Blanks::Trim);
        if (!entry.IsEntry()) continue;
        if (!entry.HasSize()) return false;
        any = true;
    }
    return any;
}
