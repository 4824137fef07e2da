#include "update/CommitJournal.h"

#include <sstream>

namespace {

const char kHeader[] = "NuvraCommit 1";
const char kEnd[] = "end";

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

bool ReadNumber(const std::string& text, long long& value)
{
    if (text == "-1") {
        value = -1;
        return true;
    }
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

} // namespace

std::string CCommitJournal::Text() const
{
    std::ostringstream out;
    out << kHeader << "\r\n";
    if (m_recorded) out << "record\t" << m_oldVersion << '\t' << m_newVersion << "\r\n";
    if (!m_staging.empty()) out << "staging\t" << m_staging << "\r\n";
    for (const Move& move : m_moves) {
        if (move.folder) {
            out << "folder\t" << move.existed << '\t' << move.target << '\t' << move.backup << '\t' << move.staged
                << "\r\n";
        } else {
            out << "file\t" << move.existed << '\t' << move.copyAside << '\t' << move.size << '\t' << move.sha256
                << '\t' << move.target << '\t' << move.backup << '\t' << move.staged << "\r\n";
        }
    }
    out << kEnd << "\r\n";
    return out.str();
}

bool CCommitJournal::Parse(const std::string& text, CCommitJournal& journal)
{
    journal = CCommitJournal();
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            if (line != kHeader) return false;
            first = false;
            continue;
        }
        if (line == kEnd) return true;
        const std::vector<std::string> f = Fields(line);
        Move move;
        if (f[0] == "record" && f.size() == 3) {
            journal.SetRecord(f[1], f[2]);
        } else if (f[0] == "staging" && f.size() == 2) {
            journal.m_staging = f[1];
        } else if (f[0] == "folder" && f.size() == 5 && (f[1] == "0" || f[1] == "1")) {
            move.folder = true;
            move.existed = f[1] == "1";
            move.target = f[2];
            move.backup = f[3];
            move.staged = f[4];
            journal.m_moves.push_back(move);
        } else if (f[0] == "file" && f.size() == 8 && (f[1] == "0" || f[1] == "1") && (f[2] == "0" || f[2] == "1") &&
                   ReadNumber(f[3], move.size)) {
            move.existed = f[1] == "1";
            move.copyAside = f[2] == "1";
            move.sha256 = f[4];
            move.target = f[5];
            move.backup = f[6];
            move.staged = f[7];
            journal.m_moves.push_back(move);
        } else {
            return false;
        }
        if (!move.target.empty() && (move.backup.empty() || move.staged.empty())) return false;
    }
    return false; // no end line: cut while it was written
}
