#pragma once
// What the process returns. Windowed runs end with kDone whatever the user saw (the window told
// them), except kAlreadyRunning, kStartFailed, kNoResult and kInternalError; unattended runs
// ("/S") tell their result by these alone.
namespace ExitCode {
constexpr int kDone = 0;
constexpr int kFailed = 1;         // a download, a check, a folder or the list failed
constexpr int kRefused = 2;        // the version list refuses installing
constexpr int kNothingToDo = 3;    // the update had no newer file, the repair no damaged one
constexpr int kAlreadyRunning = 4; // another instance holds the lock
constexpr int kNotInstalled = 5;   // an update or repair with no installation record
constexpr int kIncomplete = 6;     // the uninstall kept something (held open, read-only)
constexpr int kBadServer = 7;      // NUVRA_UPDATE_SERVER names no update server
constexpr int kBadCommandLine = 8; // an unattended run with an unknown or malformed switch
constexpr int kStartFailed = 9;    // done, but the product could not be started afterwards
constexpr int kNoResult = 10;      // a window could not be made, or closed without a result
constexpr int kInternalError = 11; // a failure nobody expected ended the run
// A repair that replaced n files returns kRepairedBase + n.
constexpr int kRepairedBase = 100;
} // namespace ExitCode
