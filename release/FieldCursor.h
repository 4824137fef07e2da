#pragma once
// Reads the comma-terminated fields of a line of the version list or the component file list.
// A field runs from the cursor up to the next comma, and the cursor moves past that comma. A
// field with no comma after it reads as empty and the cursor returns to the start of the line,
// so a line missing commas reads its early fields again.
#include <string>

class CFieldCursor {
public:
    // With `trim`, white space around each field is removed.
    CFieldCursor(const std::string& line, bool trim) : m_line(line), m_trim(trim) {}
    std::string Next();
    // True before the first field and after a field that had no comma after it: the line's
    // fields are used up.
    bool AtStart() const { return m_pos == 0; }

    static bool IsBlank(char c);
    static std::string Trimmed(const std::string& text);

private:
    const std::string& m_line;
    bool m_trim;
    std::string::size_type m_pos = 0;
};
