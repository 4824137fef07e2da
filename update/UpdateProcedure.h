#pragma once
// The update procedure, run on CUpdateDlg's worker thread once it is started: fetches the file
// list and has it judged, stages every newer file (see CUpdateStaging), and only when all are
// staged and verified commits them with the new version (see CCommit). It sees its dialog only
// through IUpdateView.
#include "release/ListVerdict.h"
#include "update/UpdatePlan.h"
#include "update/UpdateView.h"

#include <windows.h>

#include <string>
#include <vector>

class CDownloadManager;

// The success of a run, beside WorkerResult::kFailed.
constexpr int kUpdateDone = 3;

int RunUpdate(IUpdateView& view, const CUpdateInputs& inputs, CDownloadManager& downloads);

// The steps the repair shares with the update, below the current directory, which is the
// installation folder. RepairInterruptedRun deletes what an older run left (partial downloads of
// the earlier per-file swap, stale backups; a backup that is the only copy goes back).
void RepairInterruptedRun(const CUpdatePlan& plan, HWND owner);
// Whether the work (named for the log: "update", "repair") may change the installation: the
// record names its folder and this user can write it.
bool InstallationCanBeChanged(const CUpdateInputs& inputs, const std::string& work);
// Fetches the file list and asks JudgeList about it; false (the cause in the log) when it cannot
// be fetched or may not be used.
bool FetchJudgedList(CDownloadManager& downloads, ListPurpose purpose, const std::string& installedVersion,
                     CListFacts& facts);
// Brings these items of the plan to the list's release: each staged and verified (only what is
// not staged already is downloaded, a partial file continued), then all committed by one journal,
// with the list's version recorded as the commit's last step when `recordVersion`. False when a
// download failed, space is short or the commit was undone: the installation and its record are
// as they were, and what was staged stays for the next run.
bool StageAndCommit(IUpdateView& view, CDownloadManager& downloads, const CUpdateInputs& inputs,
                    const CUpdatePlan& plan, const std::vector<const CUpdatePlan::Item*>& items, bool recordVersion);
