#pragma once
// Removes the product's registry entries: the machine's uninstall entry, the Run value, the
// installation record with its components (and their folders), and the maker's key once no
// other product keeps a sub-key in it.
#include <windows.h>
#include <string>
#include <vector>

class CFolderRemoval;

class CRegistryRemoval {
public:
    explicit CRegistryRemoval(CFolderRemoval& folders) : m_folders(folders) {}

    void Run();

    // The component names the record key lists, in index order (see OrderedComponentNames).
    // Only values that exist are read, so a huge count costs no more than the values present.
    static std::vector<std::string> ReadComponentNames(HKEY productKey);

    // A folder value of the record, whatever its length: a spelling of a real folder may run
    // past the record's usual 259 characters (trailing blanks or separators) and must not be
    // cut or lost. "" when the value is missing.
    static std::string ReadFolderValue(HKEY key, const std::string& valueName);

private:
    std::vector<std::string> ReadProductComponents() const;
    void DeleteComponentFolders(const std::vector<std::string>& components);
    void DeleteRecordKeys(const std::vector<std::string>& components) const;

    CFolderRemoval& m_folders;
};
