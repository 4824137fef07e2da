#include "release/FieldCursor.h"

bool CFieldCursor::IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string CFieldCursor::Trimmed(const std::string& text)
{
    std::string::size_type begin = 0;
    std::string::size_type end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string CFieldCursor::Next()
{
    const std::string::size_type comma = m_line.find(',', m_pos);
    if (comma == std::string::npos) {
        m_pos = 0;
        return std::string();
    }
    std::string field = m_line.substr(m_pos, comma - m_pos);
    m_pos = comma + 1;
    return m_trim ? Trimmed(field) : field;
}
