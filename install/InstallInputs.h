#pragma once
// What the install worker works from: a copy of the user's choices, taken on the dialog's
// thread when Install is pressed, so the worker never reads the dialog's controls or members.
#include "fileops/ProductShortcuts.h"

#include <string>

struct CInstallOptions {
    bool runAfter = true;
    bool desktop = true;
    bool quickLaunch = true;
    bool startMenu = true;
    bool programsMenu = true;

    bool Wants(EProductShortcut shortcut) const
    {
        switch (shortcut) {
        case EProductShortcut::Desktop: return desktop;
        case EProductShortcut::StartMenu: return startMenu;
        case EProductShortcut::Programs: return programsMenu;
        case EProductShortcut::QuickLaunch: return quickLaunch;
        }
        return false;
    }
};

struct CInstallInputs {
    std::string installDir; // the folder that receives the product folder
    CInstallOptions options;
};
