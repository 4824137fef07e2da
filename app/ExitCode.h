#pragma once
// What the process returns. Windowed runs end with kDone whatever the user saw (the window told
// them), except kAlreadyRunning; unattended runs ("/S") tell their result by these alone.
namespace ExitCode {
constexpr int kDone = 0;
constexpr int kFailed = 1;         // a download, a check, a folder or the list failed
constexpr int kRefused = 2;        // the version list refuses installing
constexpr int kNothingToDo = 3;    // the update had no newer file, the repair no damaged one
constexpr int kAlreadyRunning = 4; // another instance holds the lock
constexpr int kNotInstalled = 5;   // an update or repair with no installation record
constexpr int kIncomplete = 6;     // the uninstall kept something (held open, read-only)
constexpr int kBadServer = 7;      // NUVRA_UPDATE_SERVER names no update server
// A repair that replaced n files returns kRepairedBase + n.
constexpr int kRepairedBase = 100;
} // namespace ExitCode
