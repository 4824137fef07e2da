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

private:
    std::vector<std::string> ReadProductComponents() const;
    void DeleteComponentFolders(const std::vector<std::string>& components);
    void DeleteRecordKeys(const std::vector<std::string>& components) const;

    CFolderRemoval& m_folders;
};
