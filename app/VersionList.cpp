#include "app/VersionList.h"
#include "release/FieldCursor.h"
#include <cctype>
#include <cstdlib>

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// atoi without its undefined behaviour on overflow; only "is it zero" matters here.
bool ReadsAsZero(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        if (text[i] != '0') return false;
    return true;
}

} // namespace

CVersionList::Decision CVersionList::Select(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '#') continue;
        CFieldCursor fields(line, true);
        if (!ReadsAsZero(fields.Next())) continue;
        for (int skipped = 0; skipped < 3; ++skipped) fields.Next();
        return Lower(fields.Next()) == "no" ? Decision::Refused : Decision::Allowed;
    }
    return Decision::NoRecord;
}
