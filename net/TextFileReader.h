#pragma once
// Reads a text file into lines. Line ends (CR LF or LF) are removed, an empty line gives an
// empty string, and a last line without an end is delivered too. A UTF-8 byte-order mark at the
// start is skipped.
#include <string>
#include <vector>

class CTextFileReader {
public:
    explicit CTextFileReader(std::string lineEnd = "\n") : m_lineEnd(std::move(lineEnd)) {}

    // False when the file cannot be opened; the reason is kept in ErrorText() and `lines` is
    // left as it was.
    bool ReadTextFile(const std::string& path, std::vector<std::string>& lines);

    // The same for bytes already in memory (a list read once, checked and then used).
    void SplitLines(std::string content, std::vector<std::string>& lines) const;

    const std::string& ErrorText() const { return m_errorText; }

private:
    std::string m_errorText;
    std::string m_lineEnd; // lines are cut at this text; a CR left before it is dropped too
};
