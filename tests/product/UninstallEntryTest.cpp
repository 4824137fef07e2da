#include "product/UninstallEntry.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::map<std::string, std::string> ByName(const std::vector<CUninstallValue>& values)
{
    std::map<std::string, std::string> named;
    for (const CUninstallValue& value : values)
        named[value.name] = value.isNumber ? "#" + std::to_string(value.number) : value.text;
    return named;
}

} // namespace

TEST(UninstallEntry, NamesTheUpdaterQuotedForRemovalAndRepairAndRoundsTheSizeUp)
{
    CUninstallEntryInputs inputs;
    inputs.productFolder = "C:\\Program Files\\Morvel\\Nuvra";
    inputs.productExe = inputs.productFolder + "\\Nuvra.exe";
    inputs.updaterPath = inputs.productFolder + "\\NuvraUpdater.exe";
    inputs.title = "Morvel Nuvra";
    inputs.version = "1.0.0";
    inputs.bytes = 2049;
    const std::map<std::string, std::string> expected = {
        {"DisplayName", "Morvel Nuvra"},
        {"DisplayVersion", "1.0.0"},
        {"Publisher", "Morvel"},
        {"DisplayIcon", "C:\\Program Files\\Morvel\\Nuvra\\Nuvra.exe"},
        {"InstallLocation", "C:\\Program Files\\Morvel\\Nuvra"},
        {"EstimatedSize", "#3"},
        {"UninstallString", "\"C:\\Program Files\\Morvel\\Nuvra\\NuvraUpdater.exe\""},
        {"ModifyPath", "\"C:\\Program Files\\Morvel\\Nuvra\\NuvraUpdater.exe\" -r"}};
    EXPECT_EQ(expected, ByName(UninstallEntryValues(inputs)));

    inputs.title.clear();
    inputs.bytes = 0xFFFFFFFFull * 1024 + 1;
    const auto values = ByName(UninstallEntryValues(inputs));
    EXPECT_EQ("Nuvra", values.at("DisplayName"));
    EXPECT_EQ("#4294967295", values.at("EstimatedSize"));
}

TEST(UninstallEntry, MachineWideOnlyBelowTheProgramsFolder)
{
    const struct {
        const char* folder;
        const char* programs;
        bool below;
    } cases[] = {
        {"C:\\Program Files\\Morvel\\Nuvra", "C:\\Program Files", true},
        {"c:/program files/Morvel/Nuvra", "C:\\Program Files\\", true},
        {"C:\\Program Files", "C:\\Program Files", true},
        {"C:\\Program Files2\\Morvel\\Nuvra", "C:\\Program Files", false},
        {"C:\\Users\\u\\AppData\\Local\\Programs\\Morvel\\Nuvra", "C:\\Program Files", false},
        {"C:\\Program", "C:\\Program Files", false},
        {"C:\\Morvel\\Nuvra", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.below, IsBelowFolder(c.folder, c.programs)) << c.folder;
}
