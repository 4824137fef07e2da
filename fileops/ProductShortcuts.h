#pragma once
// The product's four shortcuts and where each one lives. The installer makes those the user
// chose; the uninstaller removes all four, in this order.
#include <vector>

enum class EProductShortcut { Desktop, StartMenu, Programs, QuickLaunch };

struct CProductShortcut {
    EProductShortcut which;
    int specialFolder; // CSIDL value
    // The Quick Launch link is named after the product inside the Quick Launch folder below the
    // special folder; the others carry the shortcut's name directly in theirs.
    bool inQuickLaunch;

    // The link's name below its special folder, from the texts of either width.
    template <typename Text>
    Text LinkName(const Text& shortcutName, const Text& quickLaunchFolder, const Text& productName) const
    {
        return inQuickLaunch ? quickLaunchFolder + productName : shortcutName;
    }
};

// Desktop, Start menu, Programs, then Quick Launch.
const std::vector<CProductShortcut>& ProductShortcuts();
