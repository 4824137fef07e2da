#pragma once
// The update procedure, run on CUpdateDlg's worker thread once it is started: fetches the file
// list, replaces every newer file in the installation folder one at a time (the old one moved
// aside and put back when its download fails) and returns the result. It sees its dialog only
// through IUpdateView.
#include "update/UpdatePlan.h"
#include "update/UpdateView.h"

#include <windows.h>

#include <string>

class CDownloadManager;

// The success of a run, beside WorkerResult::kFailed.
constexpr int kUpdateDone = 3;

int RunUpdate(IUpdateView& view, const CUpdateInputs& inputs, CDownloadManager& downloads);

// The two steps the repair shares with the update, below the current directory, which is the
// installation folder. RepairInterruptedRun puts right what a killed earlier run left (a backup
// that is the only copy goes back, older backups and partial downloads go); ReplaceListedFile
// replaces one file in one step, and is false when its download failed, the installed file
// then as it was.
void RepairInterruptedRun(const CUpdatePlan& plan, HWND owner);
// Whether the work (named for the log: "update", "repair") may change the installation: the
// record names its folder and this user can write it.
bool InstallationCanBeChanged(const CUpdateInputs& inputs, const std::string& work);
bool ReplaceListedFile(CDownloadManager& downloads, const CUpdatePlan::Item& item, const std::string& serverFolder,
                       HWND owner);
