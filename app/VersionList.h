#pragma once
// The version list ("version.txt" on the update server) decides whether a fresh installation
// may start: the first record whose selector reads as 0 counts, and its fifth field "no"
// (any case) refuses.
#include <string>
#include <vector>

class CVersionList {
public:
    enum class Decision { NoRecord, Allowed, Refused };

    static Decision Select(const std::vector<std::string>& lines);

    // Reads comma-terminated fields from a line: a field runs from the cursor to the next comma
    // and is trimmed; with no comma left the field is empty and the cursor returns to the start.
    class CFieldCursor {
    public:
        explicit CFieldCursor(const std::string& line) : m_line(line) {}
        std::string Next();

    private:
        const std::string& m_line;
        size_t m_pos = 0;
    };
};
