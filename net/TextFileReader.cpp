#include "net/TextFileReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

bool CTextFileReader::ReadTextFile(const std::string& path, std::vector<std::string>& lines)
{
    // Binary mode: the CR of a CR LF is dropped here on every platform, not by the C runtime.
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        m_errorText = std::strerror(errno);
        return false;
    }
    m_errorText.clear();

    std::string content;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, n);

    SplitLines(std::move(content), lines);
    return true;
}

void CTextFileReader::SplitLines(std::string content, std::vector<std::string>& lines) const
{
    // A UTF-8 byte-order mark (Notepad wrote one for years) is no part of the first line.
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);

    lines.clear();
    const std::string end = m_lineEnd.empty() ? std::string("\n") : m_lineEnd;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t stop = content.find(end, start);
        bool last = stop == std::string::npos;
        std::string line = content.substr(start, (last ? content.size() : stop) - start);
        if (!last && !line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (last) break;
        start = stop + end.size();
    }
}
