#include "product/UninstallEntry.h"

#include "product/ProductPaths.h"

#include <algorithm>
#include <cctype>

namespace {

const char kProductName[] = "Nuvra";
const char kPublisher[] = "Morvel";
const char kRepairSwitch[] = " -r";
const unsigned long long kLargestDword = 0xFFFFFFFFull;

CUninstallValue Text(const char* name, const std::string& text)
{
    CUninstallValue value;
    value.name = name;
    value.text = text;
    return value;
}

char Folded(char c)
{
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == '/' ? '\\' : lower;
}

} // namespace

std::vector<CUninstallValue> UninstallEntryValues(const CUninstallEntryInputs& inputs)
{
    const std::string updater = "\"" + inputs.updaterPath + "\"";
    CUninstallValue size;
    size.name = "EstimatedSize";
    size.isNumber = true;
    size.number = static_cast<unsigned long>(std::min(kLargestDword, inputs.bytes / 1024 + (inputs.bytes % 1024 != 0)));
    return {Text("DisplayName", inputs.title.empty() ? kProductName : inputs.title),
            Text("DisplayVersion", inputs.version),
            Text("Publisher", kPublisher),
            Text("DisplayIcon", inputs.productExe),
            Text("InstallLocation", inputs.productFolder),
            size,
            Text("UninstallString", updater),
            Text("ModifyPath", updater + kRepairSwitch)};
}

bool IsBelowFolder(const std::string& folder, const std::string& programsFolder)
{
    const std::string parent = StripTrailingSeparators(programsFolder);
    const std::string path = StripTrailingSeparators(folder);
    if (parent.empty() || path.size() < parent.size()) return false;
    if (!std::equal(parent.begin(), parent.end(), path.begin(), [](char a, char b) { return Folded(a) == Folded(b); }))
        return false;
    // "C:\Program Files2" is not below "C:\Program Files"; a root keeps its separator.
    return path.size() == parent.size() || parent.back() == '\\' || path[parent.size()] == '\\' ||
        path[parent.size()] == '/';
}
