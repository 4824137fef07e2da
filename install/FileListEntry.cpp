#include "install/FileListEntry.h"

#include "install/EntryPathSafety.h"
#include "install/FieldCursor.h"

#include <climits>

namespace {

std::string ReplaceDots(const std::string& text, const char* replacement)
{
    std::string out;
    for (char c : text) {
        if (c == '.') {
            out += replacement;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

CFileListEntry CFileListEntry::Read(const std::string& line, Blanks blanks)
{
    CFieldCursor cursor(line, blanks == Blanks::Trim);
    CFileListEntry entry;
    entry.m_marker = cursor.Next();
    entry.m_fileName = cursor.Next();
    entry.m_version = cursor.Next();
    entry.m_subFolder = cursor.Next();
    entry.m_flag = cursor.Next();
    return entry;
}

bool CFileListEntry::HasSafePath() const
{
    return IsSafeEntryPath(m_subFolder, m_fileName);
}

std::string CFileListEntry::ServerPath(const std::string& serverFolder) const
{
    const std::string folder = m_subFolder.empty() ? std::string() : m_subFolder + "/";
    return serverFolder + "/" + folder + m_fileName;
}

std::string CFileListEntry::RelativePath() const
{
    return m_subFolder.empty() ? m_fileName : m_subFolder + "/" + m_fileName;
}

std::string CFileListEntry::BackupName() const
{
    return ReplaceDots(RelativePath(), ".x");
}

std::string CFileListEntry::StagingName() const
{
    return ReplaceDots(RelativePath(), ".xx");
}

int VersionNumber(const std::string& dotted)
{
    std::string text;
    for (char c : dotted) {
        if (c != '.') text += c;
    }
    std::string::size_type i = 0;
    while (i < text.size() && CFieldCursor::IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude; once past the int range it only stays there.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int>(negative ? -value : value);
}
