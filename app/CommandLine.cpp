#include "app/CommandLine.h"

#include "app/LogSwitch.h"

#include <vector>

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

bool IsModeSwitch(const std::string& word)
{
    return word == "-u" || word == "-r";
}

// Whether the word at `at` ends an unquoted folder: one that begins with "/" (every other switch
// does) or a mode switch. A folder rarely holds " /", and never " -u" as a whole word.
bool StartsSwitch(const std::string& text, size_t at)
{
    if (at >= text.size()) return false;
    if (text[at] == '/') return true;
    size_t end = at;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    return IsModeSwitch(text.substr(at, end - at));
}

// The "/D=" switch at `at` (its name there, or a quote before it); `at` moves past it. False when
// it is malformed: no folder, a quote that is never closed, text glued to the closing quote, or
// a quote inside an unquoted folder (no Windows name holds one).
bool ReadFolderSwitch(const std::string& text, size_t& at, std::string& folder)
{
    const bool quotedWord = text[at] == '"';
    size_t value = at + (quotedWord ? 4 : 3);
    const bool quoted = quotedWord || (value < text.size() && text[value] == '"');
    if (quoted) {
        if (!quotedWord) ++value;
        const size_t close = text.find('"', value);
        if (close == std::string::npos) {
            at = text.size();
            return false;
        }
        folder = text.substr(value, close - value);
        at = close + 1;
        return !folder.empty() && (at == text.size() || IsBlank(text[at]));
    }
    size_t end = value;
    while (end < text.size()) {
        if (IsBlank(text[end])) {
            size_t next = end;
            while (next < text.size() && IsBlank(text[next])) ++next;
            if (next == text.size() || StartsSwitch(text, next)) break;
            end = next;
        } else {
            ++end;
        }
    }
    folder = text.substr(value, end - value);
    at = end;
    return !folder.empty() && folder.find('"') == std::string::npos;
}

} // namespace

CCommandLine CCommandLine::Parse(const std::string& commandTail)
{
    CCommandLine line;
    const CLogSwitch log = SplitLogSwitch(commandTail);
    line.logPath = log.path;
    const std::string& tail = log.rest;
    auto note = [&line](const std::string& problem) {
        if (line.problem.empty()) line.problem = problem;
    };
    if (log.rest != commandTail && log.path.empty()) note("\"/LOG=\" names no file");

    // The tail without the switches read here, each taken out with the blanks before it; what
    // is left must be exactly "-u" or "-r", as the mode switch alone always had to be.
    std::string rest;
    std::vector<std::string> others;
    bool folderGiven = false;
    size_t at = 0;
    while (at < tail.size()) {
        const size_t wordStart = at;
        while (at < tail.size() && IsBlank(tail[at])) ++at;
        if (at == tail.size()) {
            rest += tail.substr(wordStart);
            break;
        }
        const size_t switchStart = at;
        if (StartsWithNoCase(tail, at, "/D=") || (tail[at] == '"' && StartsWithNoCase(tail, at + 1, "/D="))) {
            std::string folder;
            const bool wellFormed = ReadFolderSwitch(tail, at, folder);
            const std::string given = tail.substr(switchStart, at - switchStart);
            if (!wellFormed)
                note("malformed \"" + given + "\" (a folder, quoted when it is followed by a switch it could swallow)");
            else if (folderGiven)
                note("a second folder \"" + given + "\"");
            else
                line.installDir = folder;
            folderGiven = true;
            continue;
        }
        const std::string word = ReadWord(tail, at);
        if (word == "/S") {
            line.silent = true;
        } else if (word == "/NOSHORTCUTS") {
            line.noShortcuts = true;
        } else {
            rest += tail.substr(wordStart, at - wordStart);
            others.push_back(tail.substr(switchStart, at - switchStart));
        }
    }
    const size_t first = rest.find_first_not_of(" \t");
    rest.erase(0, first == std::string::npos ? rest.size() : first);
    line.update = rest == "-u";
    line.repair = rest == "-r";
    // A script's trailing blank must not turn an unattended update into an uninstall: there the
    // one mode switch counts as a word.
    if (line.silent && others.size() == 1) {
        line.update = others[0] == "-u";
        line.repair = others[0] == "-r";
    }

    // Only one mode switch may stand beside the switches read here; anything else is named.
    bool modeSeen = false;
    for (const std::string& word : others) {
        if (IsModeSwitch(word) && !modeSeen) {
            modeSeen = true;
            continue;
        }
        note(IsModeSwitch(word) ? "a second mode switch \"" + word + "\"" : "unknown switch \"" + word + "\"");
    }
    return line;
}
