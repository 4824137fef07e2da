#pragma once
// The installation folder the install dialog offers first. Machine-wide under Program Files
// only where this process may create and write there (it runs elevated, or the system has no
// UAC); for everyone else the user's own programs folder, where no elevation is needed.
#include <string>

class CDefaultInstallDir {
public:
    // "C:\Program Files\Morvel" when writable, else "<per-user programs>\Morvel"; the first
    // also when the per-user folder cannot be found.
    static std::string Get();
    // The per-user programs folder, "" when it cannot be found or has no 8-bit form.
    static std::string UserProgramsFolder();
};
