#include "app/CommandLine.h"

#include "app/LogSwitch.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix)
{
    for (size_t i = 0; prefix[i]; ++i) {
        if (at + i >= text.size()) return false;
        char c = text[at + i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i]) return false;
    }
    return true;
}

// One word from `at`: up to the next blank, with quoted stretches kept whole and their quotes
// dropped. `at` moves past it.
std::string ReadWord(const std::string& text, size_t& at)
{
    std::string word;
    bool quoted = false;
    for (; at < text.size() && (quoted || !IsBlank(text[at])); ++at) {
        if (text[at] == '"')
            quoted = !quoted;
        else
            word += text[at];
    }
    return word;
}

std::string TrimTrailingBlanks(std::string text)
{
    while (!text.empty() && IsBlank(text.back())) text.pop_back();
    return text;
}

} // namespace

CCommandLine CCommandLine::Parse(const std::string& commandTail)
{
    CCommandLine line;
    const CLogSwitch log = SplitLogSwitch(commandTail);
    line.logPath = log.path;
    const std::string& tail = log.rest;
    // The tail without the switches read here, each taken out with the blanks before it; what
    // is left must be exactly "-u" or "-r", as the mode switch alone always had to be.
    std::string rest;
    size_t at = 0;
    while (at < tail.size()) {
        const size_t wordStart = at;
        while (at < tail.size() && IsBlank(tail[at])) ++at;
        if (at == tail.size()) {
            rest += tail.substr(wordStart);
            break;
        }
        if (StartsWithNoCase(tail, at, "/D=")) {
            line.installDir = TrimTrailingBlanks(tail.substr(at + 3));
            break;
        }
        const std::string word = ReadWord(tail, at);
        if (word == "/S") {
            line.silent = true;
        } else if (word == "/NOSHORTCUTS") {
            line.noShortcuts = true;
        } else {
            rest += tail.substr(wordStart, at - wordStart);
        }
    }
    const size_t first = rest.find_first_not_of(" \t");
    rest.erase(0, first == std::string::npos ? rest.size() : first);
    line.update = rest == "-u";
    line.repair = rest == "-r";
    return line;
}
