#pragma once
// Makes a folder the process's current directory for a while and puts the previous one back on
// every path out, failures included. The current directory is process-wide: only the one worker
// that runs at a time changes it.
#include <string>

class CCurrentDirectoryScope {
public:
    CCurrentDirectoryScope() = default;
    ~CCurrentDirectoryScope() { Leave(); }
    CCurrentDirectoryScope(const CCurrentDirectoryScope&) = delete;
    CCurrentDirectoryScope& operator=(const CCurrentDirectoryScope&) = delete;

    // Remembers the present folder (the first time) and enters `folder`. False when it cannot be
    // entered, or the present folder could not be read; nothing changes then.
    bool Enter(const std::string& folder);
    // Returns to the remembered folder, if one was entered.
    void Leave();

private:
    std::string m_saved;
    bool m_entered = false;
};
