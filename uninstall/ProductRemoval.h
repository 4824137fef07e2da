#pragma once
// The work of the uninstall: asks the running product to quit, then removes the registry
// entries, the folders the record names and the shortcuts. It sees its window only through
// IRemovalView, so it runs the same with the dialog and without any window.
#include <string>

class IRemovalView;

class CProductRemoval {
public:
    enum class Outcome {
        NothingRemoved, // the installation folder cannot be written: everything stays
        Removed,        // every folder that passed the guard is gone
        Incomplete,     // something stayed (held open, denied, a read-only item kept)
    };

    static Outcome Run(IRemovalView& view);

private:
    // False when the installation folder exists but this user cannot write into it.
    static bool CanRemoveFolder(const std::string& folder);
};
