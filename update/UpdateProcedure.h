#pragma once
// The update procedure, run on CUpdateDlg's worker thread once it is started: fetches the file
// list, replaces every newer file in the installation folder one at a time (the old one moved
// aside and put back when its download fails) and returns the result. It sees its dialog only
// through IUpdateView.
#include "update/UpdateView.h"

class CDownloadManager;

// The success of a run, beside WorkerResult::kFailed.
constexpr int kUpdateDone = 3;

int RunUpdate(IUpdateView& view, const CUpdateInputs& inputs, CDownloadManager& downloads);
