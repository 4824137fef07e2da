#pragma once
// The product's entry in Apps & Features (Programs and Features): the values the product writes
// below ...\CurrentVersion\Uninstall\Nuvra beside its record. Plain decisions, so that tests can
// check them anywhere.
#include <string>
#include <vector>

struct CUninstallEntryInputs {
    std::string productFolder; // the installation folder, without a trailing separator
    std::string productExe;    // the product's program, for the icon
    std::string updaterPath;   // the updater that removes and repairs the installation
    std::string title;         // "" gives the product's name
    std::string version;
    unsigned long long bytes = 0; // what the installation folder holds
};

struct CUninstallValue {
    std::string name;
    bool isNumber = false; // REG_DWORD `number`; otherwise REG_SZ `text`
    std::string text;
    unsigned long number = 0;
};

// DisplayName, DisplayVersion, Publisher, DisplayIcon, InstallLocation, EstimatedSize (in KB,
// rounded up), UninstallString (the updater, quoted) and ModifyPath (the same with the repair
// switch "-r").
std::vector<CUninstallValue> UninstallEntryValues(const CUninstallEntryInputs& inputs);

// Whether the installation is machine-wide: its folder is the programs folder or below it
// (ASCII case ignored; "" programs folder: never).
bool IsBelowFolder(const std::string& folder, const std::string& programsFolder);
