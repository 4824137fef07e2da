#pragma once
// The repair procedure: fetches the (signed) file list, checks every listed file of the
// installation against it (see CRepairCheck) and replaces only the missing or damaged ones, one
// at a time, as the update replaces a file. Good files, files the list does not name and the
// recorded version stay as they are. It sees its window only through IUpdateView, whose
// SetReplacedCount gets the number of files repaired.
#include "update/UpdateView.h"

class CDownloadManager;

// The success of a run, beside WorkerResult::kFailed; the same value as kUpdateDone, so the
// window ends it the same way.
constexpr int kRepairDone = 3;

int RunRepair(IUpdateView& view, const CUpdateInputs& inputs, CDownloadManager& downloads);
