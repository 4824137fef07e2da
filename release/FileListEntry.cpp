#include "release/FileListEntry.h"

#include "release/EntryPathSafety.h"
#include "release/FieldCursor.h"
#include "text/NumberText.h"

namespace {

// Only the file-name part changes, so the name stays in the file's own folder; a name without a
// dot would otherwise be its own backup.
std::string MarkFileName(const std::string& fileName, const char* marker)
{
    if (fileName.find('.') == std::string::npos) return fileName + marker;
    std::string out;
    for (char c : fileName) {
        if (c == '.') {
            out += marker;
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

// Decimal digits only, no sign, at most 18 of them (always within 63 bits); -1 otherwise.
long long SizeOrNone(const std::string& field)
{
    if (field.empty() || field.size() > 18) return -1;
    long long size = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return -1;
        size = size * 10 + (c - '0');
    }
    return size;
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
    // A line with fewer fields would read its marker again as the size.
    if (!cursor.AtStart()) entry.m_size = SizeOrNone(cursor.Next());
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
    const std::string folder = m_subFolder.empty() ? std::string() : m_subFolder + "/";
    return folder + MarkFileName(m_fileName, ".x");
}

std::string CFileListEntry::StagingName() const
{
    const std::string folder = m_subFolder.empty() ? std::string() : m_subFolder + "/";
    return folder + MarkFileName(m_fileName, ".xx");
}

std::vector<std::string> CFileListEntry::FolderLevels() const
{
    std::vector<std::string> levels;
    std::string level = m_subFolder;
    for (char& c : level)
        if (c == '/') c = '\\';
    for (std::size_t i = 0; i < level.size(); ++i)
        if (level[i] == '\\') levels.push_back(level.substr(0, i));
    if (!level.empty()) levels.push_back(level);
    return levels;
}

int VersionNumber(const std::string& dotted)
{
    std::string text;
    for (char c : dotted) {
        if (c != '.') text += c;
    }
    return LeadingNumber(text);
}
