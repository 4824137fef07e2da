#include "install/InstallRecord.h"

#include "framework/StringTable.h"
#include "res/resource.h"

#include <cstring>

CRegKey OpenMakerKey()
{
    CRegKey maker;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, InstallRecord::kMakerKey, 0, InstallRecord::kAccess, maker.put()) !=
        ERROR_SUCCESS) {
        return CRegKey();
    }
    return maker;
}

CRegKey OpenProductKey(const std::string& name)
{
    CRegKey maker = OpenMakerKey();
    if (!maker) return CRegKey();
    CRegKey product;
    if (::RegOpenKeyExA(maker.get(), name.c_str(), 0, InstallRecord::kAccess, product.put()) != ERROR_SUCCESS) {
        return CRegKey();
    }
    return product;
}

bool IsProductInstalled()
{
    return static_cast<bool>(OpenProductKey(InstallRecord::kProductName));
}

std::string ReadRegString(HKEY key, const std::string& valueName)
{
    if (!key) return std::string();
    char buffer[InstallRecord::kMaxText + 1] = {};
    DWORD size = sizeof buffer;
    if (::RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    // A value stored without its terminating zero may fill the whole buffer: stop before its end.
    return std::string(buffer, ::strnlen(buffer, InstallRecord::kMaxText));
}

bool WriteRegString(HKEY key, const std::string& valueName, const std::string& text)
{
    if (!key || text.size() > InstallRecord::kMaxText) return false;
    return ::RegSetValueExA(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
}

void RecordDisplayVersion(const std::string& version)
{
    const std::string entry = std::string(InstallRecord::kUninstallKey) + "\\" + InstallRecord::kProductName;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        CRegKey key;
        // An entry this user may not change (an administrator's) keeps its version.
        if (::RegOpenKeyExA(root, entry.c_str(), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) continue;
        WriteRegString(key.get(), InstallRecord::kDisplayVersion, version);
    }
}

bool RecordProductVersion(const std::string& version)
{
    CRegKey key = OpenProductKey(CStringTable::Ansi(IDS_PRODUCT_KEY));
    if (!key || !WriteRegString(key.get(), CStringTable::Ansi(IDS_VALUE_VERSION), version)) return false;
    RecordDisplayVersion(version);
    return true;
}
