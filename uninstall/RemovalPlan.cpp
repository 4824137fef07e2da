#include "uninstall/RemovalPlan.h"

#include "fileops/FolderGuard.h"
#include "fileops/PathText.h"
#include "fileops/ProductShortcuts.h"
#include "text/NumberText.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive for ASCII only: the prefix is plain ASCII, so no double-byte character can
// start inside it.
bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
    }
    return true;
}

} // namespace

int ParseComponentCount(const std::string& text)
{
    return std::max(0, LeadingNumber(text));
}

int ComponentIndexOf(const std::string& valueName, const std::string& prefix, int count)
{
    if (!StartsWithIgnoringCase(valueName, prefix)) return -1;
    const std::string digits = valueName.substr(prefix.size());
    if (digits.empty() || digits.size() > 10 || !std::all_of(digits.begin(), digits.end(), IsDigit)) return -1;
    // "%d" writes no leading zeros: "_cm_component_01" is not the name of component 1.
    if (digits.size() > 1 && digits[0] == '0') return -1;
    // Past the int range the number reads as the largest int, which no count exceeds.
    const int index = LeadingNumber(digits);
    return index < count ? index : -1;
}

bool IsComponentName(const std::string& name)
{
    return !name.empty() && name.find('\\') == std::string::npos;
}

std::vector<std::string> OrderedComponentNames(std::vector<std::pair<int, std::string>> indexed)
{
    std::stable_sort(indexed.begin(), indexed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> names;
    for (auto& entry : indexed) {
        if (IsComponentName(entry.second)) names.push_back(std::move(entry.second));
    }
    return names;
}

std::vector<std::string> RecordKeysToDelete(const std::string& productKey, const std::vector<std::string>& components)
{
    std::vector<std::string> keys{productKey};
    keys.insert(keys.end(), components.begin(), components.end());
    return keys;
}

std::vector<CRemovalShortcut> RemovalShortcuts(const std::string& shortcutName, const std::string& quickLaunchFolder,
                                               const std::string& productName)
{
    // The bar moves from 60 to 100 in even steps, one per shortcut.
    std::vector<CRemovalShortcut> removals;
    int bar = 60;
    for (const CProductShortcut& shortcut : ProductShortcuts()) {
        bar += 10;
        removals.push_back(
            {shortcut.LinkName(shortcutName, quickLaunchFolder, productName), shortcut.specialFolder, bar});
    }
    return removals;
}

EFolderRemoval DecideFolderRemoval(const std::string& folder, const std::vector<std::string>& protectedFolders,
                                   const std::string& ownFile)
{
    if (!IsDeletableFolder(folder, protectedFolders)) return EFolderRemoval::Skip;
    if (!ownFile.empty() && IsSameOrBelowFolder(ownFile, folder)) return EFolderRemoval::KeepOwnFile;
    return EFolderRemoval::Whole;
}

std::string MakerFolderAbove(const std::string& productFolder, const std::string& makerName)
{
    const std::string product = CanonicalFolder(productFolder);
    if (product.empty()) return std::string();
    const std::string maker = CanonicalFolder(ParentFolder(product));
    // A root has no name of its own, and the product folder must be below the maker's.
    if (maker.empty() || maker == product) return std::string();
    const std::string name = LastPathComponent(maker);
    const auto sameLetter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    const bool ours = !makerName.empty() && name.size() == makerName.size() &&
        std::equal(name.begin(), name.end(), makerName.begin(), sameLetter);
    return ours ? maker : std::string();
}

std::vector<char> ShellPathList(const std::string& path)
{
    std::vector<char> list(path.begin(), path.end());
    list.push_back('\0');
    list.push_back('\0');
    return list;
}
