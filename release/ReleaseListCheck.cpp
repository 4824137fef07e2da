#include "release/ReleaseListCheck.h"

#include "release/FieldCursor.h"
#include "release/FileListEntry.h"

bool IsDottedNumber(const std::string& text)
{
    const std::string trimmed = CFieldCursor::Trimmed(text);
    bool digit = false;
    for (char c : trimmed) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c != '.') {
            return false;
        }
    }
    return digit;
}

bool IsPlainListText(const std::string& text)
{
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '"') return false;
    }
    return true;
}

std::string ListVersion(const std::vector<std::string>& lines)
{
    return lines.size() < 2 ? std::string() : CFieldCursor::Trimmed(lines[1]);
}

bool IsReleaseList(const std::vector<std::string>& lines)
{
    if (lines.size() < 3 || !IsPlainListText(lines[0]) || !IsPlainListText(lines[1]) || !IsDottedNumber(lines[1]))
        return false;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        if (CFileListEntry::Read(lines[i], CFileListEntry::Blanks::Trim).IsEntry()) return true;
    }
    return false;
}

bool HasExpired(const std::vector<std::string>& lines, long long nowUnixSeconds)
{
    if (lines.size() < 3) return false;
    CFieldCursor fields(lines[2], true);
    if (!fields.Next().empty() || fields.Next() != "expires") return false;
    const std::string time = fields.Next();
    if (time.empty() || time.size() > 18) return true;
    long long expires = 0;
    for (char c : time) {
        if (c < '0' || c > '9') return true;
        expires = expires * 10 + (c - '0');
    }
    return nowUnixSeconds >= expires;
}
