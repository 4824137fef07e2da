#pragma once
// Creates and deletes shell links (.lnk files) in the shell's special folders. Each call
// initialises COM for the calling thread for its own duration, so any thread may use it.
//
// Link names and descriptions are what the shell shows, and they are Korean: they go through the
// wide interfaces, so that they survive on a system whose ANSI code page has no Korean. Targets
// and icon files are paths of the program's own 8-bit world. The 8-bit overloads widen their
// texts from the ANSI code page.
#include <string>

class CShortcutHelper {
public:
    // Special folders by their platform identifiers (CSIDL values).
    enum : int { Desktop = 0, Programs = 2, StartMenu = 11, AppData = 26 };

    // Writes "<special folder>\<linkName>.lnk" pointing at target, with the target's folder as
    // working folder. linkName may contain sub-folders ("Microsoft\Internet Explorer\Quick
    // Launch\Nuvra"); missing ones are created below the special folder. An empty iconFile
    // leaves the target's own icon.
    bool CreateShortcut(const std::string& target, const std::wstring& linkName, int specialFolder,
                        const std::wstring& description, const std::string& iconFile, int iconIndex);
    bool CreateShortcut(const std::string& target, const std::string& linkName, int specialFolder,
                        const std::string& description, const std::string& iconFile, int iconIndex);

    // Deletes "<special folder>\<linkName>.lnk" through the shell without asking or reporting.
    bool DeleteShortcut(const std::wstring& linkName, int specialFolder);
    bool DeleteShortcut(const std::string& linkName, int specialFolder);

    // The full path of the link file, or "" when the special folder is unknown or the link
    // name could leave it (absolute, "..", ":", wildcards).
    static std::wstring LinkPath(const std::wstring& linkName, int specialFolder);
    // The same in the ANSI code page; "" also when the path has no ANSI form.
    static std::string LinkPath(const std::string& linkName, int specialFolder);
};
