#pragma once
// Decisions of the uninstaller, kept apart from the registry and the file system so that they
// build natively and tests can call them with plain texts.
#include <string>
#include <utility>
#include <vector>

// The number of components a record lists: its leading decimal digits after optional blanks and
// sign, as the C library reads a number. Text that is no number, and a negative number, give 0;
// a number too large for an int gives the largest int.
int ParseComponentCount(const std::string& text);

// The index that a value name gives a component when the record lists count components: the
// name is prefix (in any ASCII case, as registry names are) followed by the index written as
// "%d" writes it, 0 <= index < count. -1 for any other name.
int ComponentIndexOf(const std::string& valueName, const std::string& prefix, int count);

// True when name can be a component's own sub-key of the maker's key: not empty and a single
// key name. An empty name would open the maker's key itself, and "a\b" another key's sub-key.
bool IsComponentName(const std::string& name);

// The component names from (index, text) pairs: in index order, leaving out what
// IsComponentName refuses.
std::vector<std::string> OrderedComponentNames(std::vector<std::pair<int, std::string>> indexed);

// The sub-keys of the maker's key to delete, in order: the product's, then each component's.
std::vector<std::string> RecordKeysToDelete(const std::string& productKey, const std::vector<std::string>& components);

// A shortcut the uninstaller deletes, and where the progress bar stands once it is gone.
struct CRemovalShortcut {
    std::string linkName;
    int specialFolder; // CSIDL value
    int barAfter;
};

// Desktop, Start menu and Programs shortcuts named shortcutName, then the Quick Launch link
// quickLaunchFolder + productName below the application-data folder.
std::vector<CRemovalShortcut> RemovalShortcuts(const std::string& shortcutName, const std::string& quickLaunchFolder,
                                               const std::string& productName);

enum class EFolderRemoval {
    Skip,        // not ours to delete (see IsDeletableFolder)
    Whole,       // the folder with everything in it
    KeepOwnFile, // everything except the uninstaller's own file and the folders that lead to it
};

// How a folder named in the registry is removed. ownFile is the uninstaller's program file.
EFolderRemoval DecideFolderRemoval(const std::string& folder, const std::vector<std::string>& protectedFolders,
                                   const std::string& ownFile);

// The maker's folder above a product folder ("C:\Program Files\Morvel" above
// "C:\Program Files\Morvel\Nuvra"), canonical: the folder above it when its last component is
// makerName (ASCII case ignored), else "". Whether it may go is the guard's to say.
std::string MakerFolderAbove(const std::string& productFolder, const std::string& makerName);

// What the shell's file operation takes as its source: the path, its terminating zero and one
// more zero to end the list.
std::vector<char> ShellPathList(const std::string& path);
