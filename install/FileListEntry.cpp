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

// 64 hex digits in either case, as lower case; anything else is no digest.
std::string DigestOrEmpty(const std::string& field)
{
    if (field.size() != 64) return std::string();
    std::string digest;
    for (char c : field) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::string();
        digest += c;
    }
    return digest;
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
    entry.m_hash = DigestOrEmpty(cursor.Next());
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
