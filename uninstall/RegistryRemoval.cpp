#include "uninstall/RegistryRemoval.h"

#include "framework/Handles.h"
#include "framework/RunLog.h"
#include "framework/StringTable.h"
#include "install/InstallRecord.h"
#include "res/resource.h"
#include "uninstall/FolderRemoval.h"
#include "uninstall/RemovalPlan.h"

#include <cstring>
#include <utility>

namespace {

const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

} // namespace

void CRegistryRemoval::Run()
{
    const std::string product = CStringTable::Ansi(IDS_PRODUCT_KEY);

    // Failures are passed over: whatever does not open or does not exist is simply not there.
    // The product's entry is the machine's or the user's, as its installation was.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        CRegKey uninstall;
        if (::RegOpenKeyExA(root, InstallRecord::kUninstallKey, 0, KEY_WRITE, uninstall.put()) == ERROR_SUCCESS) {
            const LONG deleted = ::RegDeleteKeyA(uninstall.get(), product.c_str());
            if (deleted == ERROR_SUCCESS)
                CRunLog::Write(std::string("Apps & Features entry removed from ") +
                               (root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE"));
        }
    }
    CRegKey run;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, run.put()) == ERROR_SUCCESS) {
        ::RegDeleteValueA(run.get(), product.c_str());
    }
    run.reset();

    const std::vector<std::string> components = ReadProductComponents();
    DeleteComponentFolders(components);
    DeleteRecordKeys(components);
}

std::vector<std::string> CRegistryRemoval::ReadComponentNames(HKEY productKey)
{
    const std::string prefix = CStringTable::Ansi(IDS_VALUE_COMPONENT_PREFIX);
    const int count = ParseComponentCount(ReadRegString(productKey, CStringTable::Ansi(IDS_VALUE_COMPONENT_COUNT)));
    if (count <= 0) return {};

    DWORD valueCount = 0;
    DWORD longestName = 0;
    if (::RegQueryInfoKeyA(productKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, &longestName,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<std::pair<int, std::string>> indexed;
    std::vector<char> name(longestName + 1);
    for (DWORD i = 0; i < valueCount; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (::RegEnumValueA(productKey, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            continue;
        }
        const std::string valueName(name.data(), length);
        const int index = ComponentIndexOf(valueName, prefix, count);
        if (index >= 0) indexed.emplace_back(index, ReadRegString(productKey, valueName));
    }
    return OrderedComponentNames(std::move(indexed));
}

std::string CRegistryRemoval::ReadFolderValue(HKEY key, const std::string& valueName)
{
    if (!key) return std::string();
    // The value may grow between the two calls: ask again with the new size.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD size = 0;
        if (::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) {
            return std::string();
        }
        std::vector<char> buffer(size + 1, '\0');
        const LONG result =
            ::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) return std::string();
        // Up to the first zero: a value stored without its terminating zero ends at its size.
        return std::string(buffer.data(), ::strnlen(buffer.data(), size));
    }
    return std::string();
}

std::vector<std::string> CRegistryRemoval::ReadProductComponents() const
{
    CRegKey record = OpenProductKey(CStringTable::Ansi(IDS_PRODUCT_KEY));
    if (!record) return {};
    return ReadComponentNames(record.get());
}

void CRegistryRemoval::DeleteComponentFolders(const std::vector<std::string>& components)
{
    const std::string directoryValue = CStringTable::Ansi(IDS_VALUE_COMPONENT_DIR);
    for (const std::string& component : components) {
        CRegKey key = OpenProductKey(component);
        if (!key) continue;
        const std::string folder = ReadFolderValue(key.get(), directoryValue);
        key.reset();
        if (!folder.empty()) m_folders.DeleteWithEngine(folder);
    }
}

void CRegistryRemoval::DeleteRecordKeys(const std::vector<std::string>& components) const
{
    CRegKey maker = OpenMakerKey();
    if (!maker) return;
    for (const std::string& key : RecordKeysToDelete(CStringTable::Ansi(IDS_PRODUCT_KEY), components)) {
        ::RegDeleteKeyA(maker.get(), key.c_str());
    }
    maker.reset();

    // The platform refuses to delete a key that still has sub-keys: another product's stay.
    CRegKey software;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, CStringTable::Ansi(IDS_SOFTWARE_KEY).c_str(), 0, KEY_ALL_ACCESS,
                        software.put()) == ERROR_SUCCESS) {
        ::RegDeleteKeyA(software.get(), CStringTable::Ansi(IDS_MAKER_NAME).c_str());
    }
}
