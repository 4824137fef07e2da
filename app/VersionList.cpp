#include "app/VersionList.h"
#include "release/FieldCursor.h"
#include "text/NumberText.h"
#include <cctype>

namespace {

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

CVersionList::Decision CVersionList::Select(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '#') continue;
        CFieldCursor fields(line, true);
        if (LeadingNumber(fields.Next()) != 0) continue;
        for (int skipped = 0; skipped < 3; ++skipped) fields.Next();
        return Lower(fields.Next()) == "no" ? Decision::Refused : Decision::Allowed;
    }
    return Decision::NoRecord;
}
