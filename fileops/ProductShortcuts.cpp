#include "fileops/ProductShortcuts.h"

#include "fileops/ShortcutHelper.h"

const std::vector<CProductShortcut>& ProductShortcuts()
{
    static const std::vector<CProductShortcut> shortcuts = {
        {EProductShortcut::Desktop, CShortcutHelper::Desktop, false},
        {EProductShortcut::StartMenu, CShortcutHelper::StartMenu, false},
        {EProductShortcut::Programs, CShortcutHelper::Programs, false},
        {EProductShortcut::QuickLaunch, CShortcutHelper::AppData, true},
    };
    return shortcuts;
}
