#include "app/LogSwitch.h"

#include <cctype>

namespace {

const char kSwitch[] = "/LOG=";
const std::size_t kSwitchLength = sizeof kSwitch - 1;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsSwitchAt(const std::string& text, std::size_t at)
{
    if (text.size() - at < kSwitchLength) return false;
    for (std::size_t i = 0; i < kSwitchLength; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != kSwitch[i]) return false;
    }
    return true;
}

} // namespace

CLogSwitch SplitLogSwitch(const std::string& commandTail)
{
    for (std::size_t word = 0; word < commandTail.size(); ++word) {
        if (word > 0 && !IsBlank(commandTail[word - 1])) continue;
        const bool quotedWord = commandTail[word] == '"';
        const std::size_t name = quotedWord ? word + 1 : word;
        if (!IsSwitchAt(commandTail, name)) continue;

        std::size_t value = name + kSwitchLength;
        bool quoted = quotedWord;
        if (!quoted && value < commandTail.size() && commandTail[value] == '"') {
            quoted = true;
            ++value;
        }
        std::size_t end = value;
        while (end < commandTail.size() && (quoted ? commandTail[end] != '"' : !IsBlank(commandTail[end]))) ++end;
        CLogSwitch result;
        result.path = commandTail.substr(value, end - value);
        const std::size_t after = quoted && end < commandTail.size() ? end + 1 : end;

        std::size_t before = word;
        while (before > 0 && IsBlank(commandTail[before - 1])) --before;
        std::size_t next = after;
        if (before == 0) {
            while (next < commandTail.size() && IsBlank(commandTail[next])) ++next;
        }
        result.rest = commandTail.substr(0, before) + commandTail.substr(next);
        return result;
    }
    return CLogSwitch{std::string(), commandTail};
}
