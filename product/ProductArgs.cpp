#include "product/ProductArgs.h"

#include <cctype>
#include <vector>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

size_t SkipBlanks(const std::string& s, size_t i)
{
    while (i < s.size() && IsBlank(s[i])) ++i;
    return i;
}

// Where the arguments begin after an unquoted program path, which may hold blanks and even
// " -" ("C:\My -dir\Nuvra.exe"). Programs end in ".exe", so the first ".exe" followed by a blank
// ends the path. Failing that: paths cannot hold a double quote, so the first quote belongs to an
// argument that starts after the blank before it; without any quote, the first blank-and-hyphen.
size_t EndOfUnquotedProgram(const std::string& s, size_t start)
{
    for (size_t i = start; i + 4 <= s.size(); ++i) {
        if (s[i] == '.' && std::tolower(static_cast<unsigned char>(s[i + 1])) == 'e' &&
            std::tolower(static_cast<unsigned char>(s[i + 2])) == 'x' &&
            std::tolower(static_cast<unsigned char>(s[i + 3])) == 'e' && (i + 4 == s.size() || IsBlank(s[i + 4])))
            return i + 4;
    }
    size_t quote = s.find('"', start);
    if (quote != std::string::npos) {
        size_t blank = s.find_last_of(" \t", quote);
        return (blank == std::string::npos || blank < start) ? quote : blank;
    }
    for (size_t i = start; i + 1 < s.size(); ++i) {
        if (IsBlank(s[i]) && s[i + 1] == '-') return i;
    }
    return s.size();
}

struct Token {
    std::string text;
    bool quoted = false; // held a quote, so an empty text is still a given value
};

// One blank-separated word; every double quote switches between quoted and plain text, so
// -d"C:\a b", "-dC:\a b" and -d"C:\a b"x all read as one word. Backslashes are plain
// characters: the installer writes folders as they are, "C:\" included.
Token ReadToken(const std::string& s, size_t& i)
{
    Token token;
    bool inQuotes = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            inQuotes = !inQuotes;
            token.quoted = true;
        } else if (IsBlank(c) && !inQuotes) {
            break;
        } else {
            token.text += c;
        }
    }
    return token;
}

} // namespace

CProductArgs ParseProductArgs(const std::string& line)
{
    CProductArgs args;
    size_t i = SkipBlanks(line, 0);
    if (i < line.size() && line[i] == '"') {
        size_t close = line.find('"', i + 1);
        if (close == std::string::npos) {
            args.programPath = line.substr(i + 1);
            return args;
        }
        args.programPath = line.substr(i + 1, close - i - 1);
        i = close + 1;
    } else {
        size_t end = EndOfUnquotedProgram(line, i);
        size_t last = end;
        while (last > i && IsBlank(line[last - 1])) --last;
        args.programPath = line.substr(i, last - i);
        i = end;
    }

    std::vector<Token> tokens;
    for (i = SkipBlanks(line, i); i < line.size(); i = SkipBlanks(line, i)) tokens.push_back(ReadToken(line, i));

    for (size_t t = 0; t < tokens.size(); ++t) {
        const std::string& word = tokens[t].text;
        if (word.size() < 2 || word[0] != '-') continue; // stray words are not ours
        std::string value = word.substr(2);
        // Tolerate a blank between a switch and its value: -d "C:\a b".
        if (value.empty() && !tokens[t].quoted && t + 1 < tokens.size() && tokens[t + 1].quoted &&
            tokens[t + 1].text.compare(0, 1, "-") != 0)
            value = tokens[++t].text;
        switch (word[1]) {
        case 'd':
        case 'D':
            args.hasFolder = true;
            args.folder = value;
            break;
        case 'v':
        case 'V':
            args.hasVersion = true;
            args.version = value;
            break;
        case 't':
        case 'T':
            args.hasTitle = true;
            args.title = value;
            break;
        default: break;
        }
    }
    return args;
}
